// Process-wide state of the library, listed and forgotten in one place.
#include "core/ProcessState.hpp"

#include "core/Interrupt.hpp"
#include "core/Workspace.hpp"
#include "problems/LCP.hpp"

void ProcessState_Forget() {
  Interrupt_ForgetState();
  Workspace_ForgetState();
  LCP_ForgetState();
}
