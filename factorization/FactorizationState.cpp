// The basis layer's list of process-wide state.
#include "factorization/FactorizationState.hpp"

#include "factorization/Basis.hpp"

namespace {

const StateEntry kList[] = {
    {"Basis", "factorization/Basis.cpp:current", Basis_ForgetState, Basis_StateAtRest, nullptr},
    {"Basis counters", "factorization/Basis.cpp:counters", nullptr, nullptr,
     "work counts kept for the caller to read; Basis_ResetCounters clears them"},
    {"LU dense update", "factorization/lu/LU_Dense.cpp:choice", nullptr, nullptr,
     "a measure of the BLAS the engine is linked with, the same for every call"},
    {"Factorization options",
     "factorization/FactorizationOptions.cpp:printers factorization/FactorizationOptions.cpp:parsers "
     "factorization/FactorizationOptions.cpp:Factorization_OptionTable "
     "factorization/FactorizationOptions.cpp:Factorization_OptionGroup",
     nullptr, nullptr, "option values, kept until the next Options_Default"},
};

}  // namespace

const StateEntry* FactorizationState_List(int* count) {
  *count = static_cast<int>(sizeof kList / sizeof kList[0]);
  return kList;
}
