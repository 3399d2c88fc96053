// The iterative solvers' process-wide state, listed in one place (see
// core/CoreState.hpp): the preconditioners' band width and incomplete-LU
// readiness, and whether a Jacobian scaling was made.
#pragma once

#include "core/CoreState.hpp"

// The iterative layer's list (count entries).
const StateEntry* IterativeState_List(int* count);
