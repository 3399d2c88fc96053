// The one place that lists the library's process-wide state (current service
// records, the scratch pool, the pivoting method's start vector, the jump
// point, the SIGINT disposition, the solver's single records) and forgets it.
#pragma once

// Forgets every piece of process-wide state that a previous, abandoned call
// may have left behind: pointers are cleared without touching what they
// point to (a host may already have reclaimed that memory), the jump point
// is dropped and the SIGINT disposition before the abandoned start is put
// back. The installed service records are left as they are.
void ProcessState_Forget();
