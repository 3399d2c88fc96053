// The solver layer's process-wide state, listed in one place (see
// core/CoreState.hpp): the driver workspace and proximal flag, the pivoting
// method's workspace and random generator, the stabilisation state and
// settings. Kept: the option tables and the linearised problem's callback
// table, which is constant in use.
#pragma once

#include "core/CoreState.hpp"

// The solver layer's list (count entries).
const StateEntry* SolverState_List(int* count);
