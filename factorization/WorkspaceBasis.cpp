// The scratch pool's basis: made here, kept in the pool's slot.
#include "factorization/WorkspaceBasis.hpp"

#include <cstdint>

#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"

namespace {

const Workspace_BasisOperations basis_operations = {Basis_Size, Basis_Destroy};

}  // namespace

Basis* Workspace_Basis() {
  std::int32_t n = 0;
  std::int32_t nnz = 0;
  Basis* basis = Workspace_BasisSlot(&n, &nnz);
  if (basis != nullptr) return basis;
  basis = Basis_Create(n, n, nnz);
  Workspace_FillBasisSlot(basis, &basis_operations);
  return basis;
}
