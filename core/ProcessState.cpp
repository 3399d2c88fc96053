// Process-wide state of the library, listed and forgotten in one place.
#include "core/ProcessState.hpp"

#include "core/Interrupt.hpp"

void ProcessState_Forget() {
  Interrupt_ForgetState();
}
