// The solver layer's process-wide state, listed and forgotten in one place:
// the driver workspace and proximal flag, the pivoting method's workspace
// and random generator, the stabilisation state and settings.
#pragma once

// Clears every pointer the solver layer keeps across calls without touching
// what it points to, and puts its settings back to their values at load.
void SolverState_Forget();
