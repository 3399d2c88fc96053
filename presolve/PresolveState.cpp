// The presolve layer's list of process-wide state to forget.
#include "presolve/PresolveState.hpp"

void PresolveState_Forget() {}
