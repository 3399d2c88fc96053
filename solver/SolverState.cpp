// The solver layer's list of process-wide state to forget.
#include "solver/SolverState.hpp"

#include "solver/Lemke.hpp"
#include "solver/NMS.hpp"
#include "solver/Sarn.hpp"

void SolverState_Forget() {
  // The driver workspace and the proximal flag.
  Sarn_ForgetState();
  // The pivoting method's workspace and its random generator.
  Lemke_ForgetState();
  // The stabilisation state and its settings.
  NMS_ForgetState();
}
