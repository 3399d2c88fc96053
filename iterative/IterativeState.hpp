// The iterative solvers' process-wide state, listed and forgotten in one
// place: the preconditioners' band width and incomplete-LU readiness, and
// whether a Jacobian scaling was made.
#pragma once

// Puts every setting back to its state at load without touching storage.
void IterativeState_Forget();
