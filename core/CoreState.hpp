// The process-wide state of the library, listed layer by layer. Every
// file-scope object whose value lives from one call to the next is named in
// its layer's list: either with the function that puts it back to its value
// at load (the reset after an abandoned call runs them all) and the one that
// tells whether it holds that value, or as kept on purpose, with the reason.
//
// The core layer's list: the interrupt service's jump point, counts and
// SIGINT disposition, the scratch pool and the pivoting method's start
// vector, the option registry's note of a setting in progress. Kept: the
// installed service records (error, memory, output, timer, interrupt) and
// the output streams, which belong to the host that installed them and
// outlive a call, and the common option table, which holds values only and
// keeps them until the next Options_Default.
#pragma once

// One module's objects in a layer's list. objects names each as
// "<file>:<name>" (the file from the top folder), separated by spaces.
// Objects the reset puts back have forget and at_rest; objects kept on
// purpose have neither, and kept says why.
struct StateEntry {
  const char* module;
  const char* objects;
  void (*forget)();      // puts the objects back to their values at load
  bool (*at_rest)();     // true while they hold their values at load
  const char* kept;      // why the reset leaves them alone (nullptr: it does not)
};

// Runs the forget function of every entry of a list, in order.
void StateEntry_ForgetAll(const StateEntry* list, int count);

// The core layer's list (count entries).
const StateEntry* CoreState_List(int* count);
