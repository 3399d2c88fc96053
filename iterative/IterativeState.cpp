// The iterative layer's list of process-wide state.
#include "iterative/IterativeState.hpp"

#include "iterative/Precond.hpp"
#include "iterative/Scale.hpp"

namespace {

const StateEntry kList[] = {
    {"Precond",
     "iterative/Precond.cpp:band_width iterative/Precond.cpp:ilu_factor_ready "
     "iterative/Precond.cpp:ilu_exponent",
     Precond_ForgetState, Precond_StateAtRest, nullptr},
    {"Scale", "iterative/Scale.cpp:scaled", Scale_ForgetState, Scale_StateAtRest, nullptr},
};

}  // namespace

const StateEntry* IterativeState_List(int* count) {
  *count = static_cast<int>(sizeof kList / sizeof kList[0]);
  return kList;
}
