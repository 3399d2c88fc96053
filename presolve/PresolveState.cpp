// The presolve layer's list of process-wide state.
#include "presolve/PresolveState.hpp"

#include "presolve/PresolveQueue.hpp"
#include "presolve/PresolveSkew.hpp"

namespace {

const StateEntry kList[] = {
    {"PresolveQueue",
     "presolve/PresolveQueue.cpp:queue_size presolve/PresolveQueue.cpp:queue_head "
     "presolve/PresolveQueue.cpp:queue_count",
     PresolveQueue_Forget, PresolveQueue_AtRest, nullptr},
    {"PresolveSkew", "presolve/PresolveSkewImplied.cpp:tightenings_left", Skew_ForgetTightenings,
     Skew_TighteningsAtRest, nullptr},
    {"PresolveDebug", "presolve/PresolveDebug.cpp:checks_on", nullptr, nullptr,
     "a switch its owner sets (the tests turn the invariant check on), not state of a call"},
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
