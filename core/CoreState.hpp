// The core layer's process-wide state, listed and forgotten in one place: the
// interrupt service's jump point, counts and SIGINT disposition, the scratch
// pool and the pivoting method's start vector, the option registry's note
// of a setting in progress.
//
// Not listed, on purpose: the installed service records (error, memory,
// output, timer, interrupt) and the output streams belong to the host that
// installed them and outlive a call; the option tables hold values only and
// keep them until the next Options_Default.
#pragma once

// Clears every pointer the core layer keeps across calls without touching
// what it points to (a host may already have reclaimed that memory), drops
// the jump point and puts back the SIGINT disposition that was in place
// before an abandoned start.
void CoreState_Forget();
