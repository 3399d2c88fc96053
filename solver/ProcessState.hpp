// The library's process-wide state: one list per layer (see
// core/CoreState.hpp), composed here, in the top layer of the library,
// which knows them all.
#pragma once

#include "core/CoreState.hpp"

// Forgets every piece of process-wide state that a previous, abandoned call
// may have left behind, layer by layer (core, basis, iterative, problems,
// presolve, solver): pointers are cleared without touching what they point
// to (a host may already have reclaimed that memory), the jump point is
// dropped and the SIGINT disposition before the abandoned start is put
// back. The installed service records are left as they are.
void ProcessState_Forget();

// Number of layer lists, and list k (0 <= k < that number, bottom layer
// first) with its count entries.
int ProcessState_LayerCount();
const StateEntry* ProcessState_Layer(int k, int* count);
