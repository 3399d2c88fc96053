// The presolve layer's process-wide state, listed in one place (see
// core/CoreState.hpp). The presolve keeps its reductions on the MCP record,
// so only its option tables are listed, kept: they hold values only and
// keep them until the next defaults.
#pragma once

#include "core/CoreState.hpp"

// The presolve layer's list (count entries).
const StateEntry* PresolveState_List(int* count);
