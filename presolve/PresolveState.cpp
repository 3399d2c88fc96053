// The presolve layer's list of process-wide state.
#include "presolve/PresolveState.hpp"

namespace {

const StateEntry kList[] = {
    {"Presolve options",
     "presolve/PresolveOptions.cpp:printers presolve/PresolveOptions.cpp:parsers "
     "presolve/PresolveOptions.cpp:Presolve_OptionTable "
     "presolve/PresolveOptions.cpp:Presolve_OptionGroup",
     nullptr, nullptr, "option values, kept until the next Options_Default"},
};

}  // namespace

const StateEntry* PresolveState_List(int* count) {
  *count = static_cast<int>(sizeof kList / sizeof kList[0]);
  return kList;
}
