// The basis layer's list of process-wide state to forget.
#include "factorization/FactorizationState.hpp"

#include "factorization/Basis.hpp"

void FactorizationState_Forget() {
  // The back-end that new Basis records are created on.
  Basis_ForgetState();
}
