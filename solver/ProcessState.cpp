// The library's process-wide state, forgotten layer by layer.
#include "solver/ProcessState.hpp"

#include "core/CoreState.hpp"
#include "factorization/FactorizationState.hpp"
#include "iterative/IterativeState.hpp"
#include "presolve/PresolveState.hpp"
#include "problems/ProblemsState.hpp"
#include "solver/SolverState.hpp"

void ProcessState_Forget() {
  CoreState_Forget();
  FactorizationState_Forget();
  IterativeState_Forget();
  ProblemsState_Forget();
  PresolveState_Forget();
  SolverState_Forget();
}
