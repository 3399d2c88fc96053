// The iterative layer's list of process-wide state to forget.
#include "iterative/IterativeState.hpp"

#include "iterative/Precond.hpp"
#include "iterative/Scale.hpp"

void IterativeState_Forget() {
  // Band width and the incomplete-LU factor's readiness.
  Precond_ForgetState();
  // The scaling factors count as units again.
  Scale_ForgetState();
}
