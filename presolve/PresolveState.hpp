// The presolve layer's process-wide state, listed in one place (see
// core/CoreState.hpp): the head, count and size of the row queue (its slots
// live in the Workspace) and the allowance of bound tightenings of the
// current presolve are put back; the switch of the debug invariant check and
// the option tables are kept. The reductions themselves live on the MCP
// record.
#pragma once

#include "core/CoreState.hpp"

// The presolve layer's list (count entries).
const StateEntry* PresolveState_List(int* count);
