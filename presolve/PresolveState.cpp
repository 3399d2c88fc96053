// The presolve layer's list of process-wide state to forget.
#include "presolve/PresolveState.hpp"

#include "presolve/PresolveDebug.hpp"
#include "presolve/PresolveQueue.hpp"
#include "presolve/PresolveSkew.hpp"

void PresolveState_Forget() {
  PresolveQueue_Forget();
  PresolveDebug_Forget();
  Skew_ResetTightenings(0);
}
