// The library's process-wide state, listed and forgotten layer by layer.
#include "solver/ProcessState.hpp"

#include "factorization/FactorizationState.hpp"
#include "iterative/IterativeState.hpp"
#include "presolve/PresolveState.hpp"
#include "problems/ProblemsState.hpp"
#include "solver/SolverState.hpp"

namespace {

using ListFunction = const StateEntry* (*)(int* count);

const ListFunction kLayers[] = {CoreState_List,     FactorizationState_List, IterativeState_List,
                                ProblemsState_List, PresolveState_List,      SolverState_List};

constexpr int kLayerCount = static_cast<int>(sizeof kLayers / sizeof kLayers[0]);

}  // namespace

void ProcessState_Forget() {
  for (int k = 0; k < kLayerCount; ++k) {
    int count = 0;
    const StateEntry* list = kLayers[k](&count);
    StateEntry_ForgetAll(list, count);
  }
}

int ProcessState_LayerCount() { return kLayerCount; }

const StateEntry* ProcessState_Layer(int k, int* count) {
  if (k < 0 || k >= kLayerCount) {
    *count = 0;
    return nullptr;
  }
  return kLayers[k](count);
}
