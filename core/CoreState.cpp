// The core layer's list of process-wide state to forget.
#include "core/CoreState.hpp"

#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Workspace.hpp"

void CoreState_Forget() {
  // The jump point and the SIGINT disposition of an abandoned start.
  Interrupt_ForgetState();
  // The scratch pool and the start vector handed to the pivoting method.
  Workspace_ForgetState();
  // The option registry's note of a setting in progress.
  Options_ForgetState();
}
