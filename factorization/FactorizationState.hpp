// The basis layer's process-wide state, listed in one place (see
// core/CoreState.hpp): the current back-end table. The sparse LU engine
// keeps nothing between calls. Kept: the option table and its printer and
// parser tables, which hold values only and keep them until the next
// defaults.
#pragma once

#include "core/CoreState.hpp"

// The basis layer's list (count entries).
const StateEntry* FactorizationState_List(int* count);
