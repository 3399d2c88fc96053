// The problem layer's process-wide state, listed in one place (see
// core/CoreState.hpp): the current interfaces of the problem classes, the
// LCP live-record count and the data words of the adapters' callback
// tables.
#pragma once

#include "core/CoreState.hpp"

// The problem layer's list (count entries).
const StateEntry* ProblemsState_List(int* count);
