// Selection of the current basis back-end. Until the back-ends exist this
// only records which one was asked for last.
#include "factorization/FactorizationOptions.hpp"

namespace {
int selected_backend = -1;
}  // namespace

void Factorization_Select() { selected_backend = FACTORIZATION_SPARSE; }

void DenseBasis_Select() { selected_backend = FACTORIZATION_DENSE; }

int Factorization_SelectedBackend() { return selected_backend; }
