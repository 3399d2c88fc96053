// Workspace: the shared scratch pool, and the pivoting method's start-vector
// setting that the pool clears when it goes.
#include "core/Workspace.hpp"

#include <cstdint>
#include <new>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix.hpp"

namespace {

constexpr std::int32_t kScratchCount = 15;
constexpr std::int32_t kOrthoCount = 10;
constexpr std::int32_t kBand = 10;
constexpr std::int32_t kGmresRestart = 200;

// Every member pointer starts null and every group unbuilt; members are
// destroyed and grown wherever they exist, so a group whose build was
// abandoned half-way (allocation failure) is neither leaked nor read.
struct Pool {
  std::int32_t n;
  std::int32_t nnz;
  FunctionJacobian* function_jacobian;
  SparseMatrix* matrix;
  DenseVector* vectors[kScratchCount];
  IDenseVector* ivectors[kScratchCount];
  bool factor_built;
  Basis* basis;  // kept for the basis layer
  const Workspace_BasisOperations* basis_operations;
  DenseVector* factor_vectors[2];
  IDenseVector* factor_ivector;
  bool merit_built;
  SparseMatrix* merit_matrix;
  DenseVector* merit_vectors[4];
  IDenseVector* merit_ivectors[2];
  bool krylov_built;
  DenseVector* krylov[12];
  bool ortho_built;
  DenseVector* ortho_directions[kOrthoCount];
  DenseVector* ortho_products[kOrthoCount];
  DenseVector* ortho_coefficients;
  bool gmres_built;
  DenseVector* gmres_basis[kGmresRestart];
  DenseVector* gmres_vectors[2];
  DenseVector* gmres_small[4];
  bool preconditioner_built;
  DenseVector* preconditioner_vectors[kBand];
  DenseVector* preconditioner_vectors2[kBand];
  bool scale_built;
  DenseVector* scale[4];
  bool search_built;
  DenseVector* search[2];
  std::int32_t refcount;
};

Pool* pool = nullptr;
Lemke_StartVector start_vector = {nullptr, 0};

std::int32_t AtLeastOne(std::int32_t n) { return n < 1 ? 1 : n; }

Pool* Require(const char* operation, int line) {
  if (pool == nullptr) Error_Report("Workspace", line, operation, "no workspace");
  return pool;
}

// Calls fn(DenseVector*&) for every vector slot whose length follows n (all
// but the orthogonal-direction coefficients).
template <class Fn>
void ForEachGrowingVector(Pool* w, Fn fn) {
  for (auto& v : w->vectors) fn(v);
  for (auto& v : w->factor_vectors) fn(v);
  for (auto& v : w->merit_vectors) fn(v);
  for (auto& v : w->krylov) fn(v);
  for (auto& v : w->ortho_directions) fn(v);
  for (auto& v : w->ortho_products) fn(v);
  for (auto& v : w->gmres_basis) fn(v);
  for (auto& v : w->gmres_vectors) fn(v);
  for (auto& v : w->gmres_small) fn(v);
  for (auto& v : w->preconditioner_vectors) fn(v);
  for (auto& v : w->preconditioner_vectors2) fn(v);
  for (auto& v : w->scale) fn(v);
  for (auto& v : w->search) fn(v);
}

template <class Fn>
void ForEachIVector(Pool* w, Fn fn) {
  for (auto& v : w->ivectors) fn(v);
  fn(w->factor_ivector);
  for (auto& v : w->merit_ivectors) fn(v);
}

// Creates a missing vector with capacity n.
void Make(DenseVector*& v, std::int32_t n) {
  if (v == nullptr) v = DenseVector_Create(n);
}
void Make(IDenseVector*& v, std::int32_t n) {
  if (v == nullptr) v = IDenseVector_Create(n);
}
template <std::size_t N>
void MakeAll(DenseVector* (&list)[N], std::int32_t n) {
  for (auto& v : list) Make(v, n);
}

void FreePool(Pool* w) {
  ForEachGrowingVector(w, [](DenseVector*& v) { DenseVector_Destroy(v); });
  ForEachIVector(w, [](IDenseVector*& v) { IDenseVector_Destroy(v); });
  DenseVector_Destroy(w->ortho_coefficients);
  FunctionJacobian_Destroy(w->function_jacobian);
  SparseMatrix_Destroy(w->matrix);
  SparseMatrix_Destroy(w->merit_matrix);
  Basis* basis = w->basis;
  const Workspace_BasisOperations* operations = w->basis_operations;
  Memory_Free(w);
  // Last, so that a back-end failure here leaves nothing else behind.
  if (basis != nullptr) operations->destroy(basis);
}

}  // namespace

// ---------------------------------------------------------------------------
// Start vector

void Lemke_SetStartVector(const double* values, std::int32_t length) {
  if (values == nullptr) {
    Lemke_ClearStartVector();
    return;
  }
  start_vector.values = values;
  start_vector.length = length < 0 ? 0 : length;
}

Lemke_StartVector Lemke_GetStartVector() { return start_vector; }

void Lemke_ClearStartVector() { start_vector = {nullptr, 0}; }

// ---------------------------------------------------------------------------
// Lifecycle

void Workspace_Create(std::int32_t n, std::int32_t nnz) {
  n = AtLeastOne(n);
  nnz = AtLeastOne(nnz);
  if (pool != nullptr) {
    Workspace_Size(n, nnz);
    Workspace_Reference();
    return;
  }
  auto* w = new (Memory_AllocateArray<Pool>(1)) Pool{};
  w->n = n;
  w->nnz = nnz;
  w->refcount = 1;
  pool = w;
}

void Workspace_Destroy() {
  if (pool == nullptr) return;
  pool->refcount -= 1;
  if (pool->refcount >= 1) return;
  Pool* w = pool;
  pool = nullptr;
  Lemke_ClearStartVector();
  FreePool(w);
}

std::int32_t Workspace_Reference() {
  Pool* w = Require("Reference", __LINE__);
  w->refcount += 1;
  return w->refcount;
}

// The new sizes are stored only after every member has been grown: a growth
// cut short by a failed allocation leaves the old sizes, so that the next
// call grows whatever was not reached (members only ever grow).
void Workspace_Size(std::int32_t n, std::int32_t nnz) {
  Pool* w = Require("Size", __LINE__);
  n = AtLeastOne(n);
  nnz = AtLeastOne(nnz);
  if (n <= w->n && nnz <= w->nnz) return;
  if (n > w->n) {
    ForEachGrowingVector(w, [n](DenseVector*& v) {
      if (v != nullptr) DenseVector_Size(v, n);
    });
    ForEachIVector(w, [n](IDenseVector*& v) {
      if (v != nullptr) IDenseVector_Size(v, n);
    });
  }
  const std::int32_t new_n = n > w->n ? n : w->n;
  const std::int32_t new_nnz = nnz > w->nnz ? nnz : w->nnz;
  if (w->function_jacobian != nullptr) FunctionJacobian_Size(w->function_jacobian, new_n, new_nnz);
  if (w->matrix != nullptr) SparseMatrix_Resize(w->matrix, new_n, new_n, new_nnz);
  if (w->basis != nullptr) w->basis_operations->size(w->basis, new_n, new_n, new_nnz);
  if (w->merit_matrix != nullptr) SparseMatrix_Resize(w->merit_matrix, new_n, new_n, new_nnz);
  w->n = new_n;
  w->nnz = new_nnz;
}

void Workspace_ForgetState() {
  pool = nullptr;
  Lemke_ClearStartVector();
}

bool Workspace_StateAtRest() {
  return pool == nullptr && start_vector.values == nullptr && start_vector.length == 0;
}

// ---------------------------------------------------------------------------
// Members

DenseVector* Workspace_Vector(std::int32_t i) {
  Pool* w = Require("Vector", __LINE__);
  if (i < 1 || i > kScratchCount) Error_Report("Workspace", __LINE__, "Vector", "index out of range");
  Make(w->vectors[i - 1], w->n);
  return w->vectors[i - 1];
}

IDenseVector* Workspace_IVector(std::int32_t i) {
  Pool* w = Require("IVector", __LINE__);
  if (i < 1 || i > kScratchCount) {
    Error_Report("Workspace", __LINE__, "IVector", "index out of range");
  }
  Make(w->ivectors[i - 1], w->n);
  return w->ivectors[i - 1];
}

SparseMatrix* Workspace_Matrix() {
  Pool* w = Require("Matrix", __LINE__);
  if (w->matrix == nullptr) w->matrix = SparseMatrix_Create(w->n, w->n, w->nnz);
  return w->matrix;
}

FunctionJacobian* Workspace_FunctionJacobian() {
  Pool* w = Require("FunctionJacobian", __LINE__);
  if (w->function_jacobian == nullptr) {
    w->function_jacobian = FunctionJacobian_Create(w->n, w->nnz);
  }
  return w->function_jacobian;
}

Basis* Workspace_BasisSlot(std::int32_t* n, std::int32_t* nnz) {
  Pool* w = Require("Basis", __LINE__);
  *n = w->n;
  *nnz = w->nnz;
  return w->basis;
}

void Workspace_FillBasisSlot(Basis* basis, const Workspace_BasisOperations* operations) {
  Pool* w = Require("Basis", __LINE__);
  if (w->basis != nullptr || basis == nullptr || operations == nullptr ||
      operations->size == nullptr || operations->destroy == nullptr) {
    Error_Report("Workspace", __LINE__, "Basis", "invalid basis slot");
  }
  w->basis = basis;
  w->basis_operations = operations;
}

// ---------------------------------------------------------------------------
// Groups

void Workspace_BuildFactorGroup() {
  Pool* w = Require("BuildFactorGroup", __LINE__);
  if (w->factor_built) return;
  MakeAll(w->factor_vectors, w->n);
  Make(w->factor_ivector, w->n);
  w->factor_built = true;
}

void Workspace_BuildMeritGroup() {
  Pool* w = Require("BuildMeritGroup", __LINE__);
  if (w->merit_built) return;
  if (w->merit_matrix == nullptr) w->merit_matrix = SparseMatrix_Create(w->n, w->n, w->nnz);
  MakeAll(w->merit_vectors, w->n);
  for (auto& v : w->merit_ivectors) Make(v, w->n);
  w->merit_built = true;
}

void Workspace_BuildKrylovGroup() {
  Pool* w = Require("BuildKrylovGroup", __LINE__);
  if (w->krylov_built) return;
  MakeAll(w->krylov, w->n);
  w->krylov_built = true;
}

void Workspace_BuildOrthoGroup() {
  Pool* w = Require("BuildOrthoGroup", __LINE__);
  if (w->ortho_built) return;
  MakeAll(w->ortho_directions, w->n);
  MakeAll(w->ortho_products, w->n);
  Make(w->ortho_coefficients, kOrthoCount);
  w->ortho_built = true;
}

void Workspace_BuildGmresGroup() {
  Pool* w = Require("BuildGmresGroup", __LINE__);
  if (w->gmres_built) return;
  MakeAll(w->gmres_basis, w->n);
  MakeAll(w->gmres_vectors, w->n);
  MakeAll(w->gmres_small, kGmresRestart);
  w->gmres_built = true;
}

void Workspace_BuildPreconditionerGroup() {
  Pool* w = Require("BuildPreconditionerGroup", __LINE__);
  if (w->preconditioner_built) return;
  MakeAll(w->preconditioner_vectors, w->n);
  MakeAll(w->preconditioner_vectors2, w->n);
  w->preconditioner_built = true;
}

void Workspace_BuildScaleGroup() {
  Pool* w = Require("BuildScaleGroup", __LINE__);
  if (w->scale_built) return;
  MakeAll(w->scale, w->n);
  w->scale_built = true;
}

void Workspace_BuildSearchGroup() {
  Pool* w = Require("BuildSearchGroup", __LINE__);
  if (w->search_built) return;
  MakeAll(w->search, w->n);
  w->search_built = true;
}

DenseVector* Workspace_FactorVector1() { Workspace_BuildFactorGroup(); return pool->factor_vectors[0]; }
DenseVector* Workspace_FactorVector2() { Workspace_BuildFactorGroup(); return pool->factor_vectors[1]; }
IDenseVector* Workspace_FactorIVector() { Workspace_BuildFactorGroup(); return pool->factor_ivector; }

SparseMatrix* Workspace_MeritMatrix() { Workspace_BuildMeritGroup(); return pool->merit_matrix; }
DenseVector* Workspace_MeritVector1() { Workspace_BuildMeritGroup(); return pool->merit_vectors[0]; }
DenseVector* Workspace_MeritVector2() { Workspace_BuildMeritGroup(); return pool->merit_vectors[1]; }
DenseVector* Workspace_MeritVector3() { Workspace_BuildMeritGroup(); return pool->merit_vectors[2]; }
DenseVector* Workspace_MeritVector4() { Workspace_BuildMeritGroup(); return pool->merit_vectors[3]; }
IDenseVector* Workspace_MeritIVector1() { Workspace_BuildMeritGroup(); return pool->merit_ivectors[0]; }
IDenseVector* Workspace_MeritIVector2() { Workspace_BuildMeritGroup(); return pool->merit_ivectors[1]; }

namespace {
DenseVector* Krylov(int k) {
  Workspace_BuildKrylovGroup();
  return pool->krylov[k - 1];
}
}  // namespace

DenseVector* Workspace_KrylovVector1() { return Krylov(1); }
DenseVector* Workspace_KrylovVector2() { return Krylov(2); }
DenseVector* Workspace_KrylovVector3() { return Krylov(3); }
DenseVector* Workspace_KrylovVector4() { return Krylov(4); }
DenseVector* Workspace_KrylovVector5() { return Krylov(5); }
DenseVector* Workspace_KrylovVector6() { return Krylov(6); }
DenseVector* Workspace_KrylovVector7() { return Krylov(7); }
DenseVector* Workspace_KrylovVector8() { return Krylov(8); }
DenseVector* Workspace_KrylovVector9() { return Krylov(9); }
DenseVector* Workspace_KrylovVector10() { return Krylov(10); }
DenseVector* Workspace_KrylovVector11() { return Krylov(11); }
DenseVector* Workspace_KrylovVector12() { return Krylov(12); }

std::int32_t Workspace_OrthoCount() { return kOrthoCount; }
DenseVector** Workspace_OrthoDirections() { Workspace_BuildOrthoGroup(); return pool->ortho_directions; }
DenseVector** Workspace_OrthoProducts() { Workspace_BuildOrthoGroup(); return pool->ortho_products; }
DenseVector* Workspace_OrthoCoefficients() { Workspace_BuildOrthoGroup(); return pool->ortho_coefficients; }

std::int32_t Workspace_PreconditionerBand() { return kBand; }
DenseVector** Workspace_PreconditionerVectors() {
  Workspace_BuildPreconditionerGroup();
  return pool->preconditioner_vectors;
}
DenseVector** Workspace_PreconditionerVectors2() {
  Workspace_BuildPreconditionerGroup();
  return pool->preconditioner_vectors2;
}

std::int32_t Workspace_GmresRestart() { return kGmresRestart; }
DenseVector** Workspace_GmresBasis() { Workspace_BuildGmresGroup(); return pool->gmres_basis; }
DenseVector* Workspace_GmresVector1() { Workspace_BuildGmresGroup(); return pool->gmres_vectors[0]; }
DenseVector* Workspace_GmresVector2() { Workspace_BuildGmresGroup(); return pool->gmres_vectors[1]; }
DenseVector* Workspace_GmresSmallVector1() { Workspace_BuildGmresGroup(); return pool->gmres_small[0]; }
DenseVector* Workspace_GmresSmallVector2() { Workspace_BuildGmresGroup(); return pool->gmres_small[1]; }
DenseVector* Workspace_GmresSmallVector3() { Workspace_BuildGmresGroup(); return pool->gmres_small[2]; }
DenseVector* Workspace_GmresSmallVector4() { Workspace_BuildGmresGroup(); return pool->gmres_small[3]; }

DenseVector* Workspace_ScaleVector1() { Workspace_BuildScaleGroup(); return pool->scale[0]; }
DenseVector* Workspace_ScaleVector2() { Workspace_BuildScaleGroup(); return pool->scale[1]; }
DenseVector* Workspace_ScaleVector3() { Workspace_BuildScaleGroup(); return pool->scale[2]; }
DenseVector* Workspace_ScaleVector4() { Workspace_BuildScaleGroup(); return pool->scale[3]; }

DenseVector* Workspace_SearchVector1() { Workspace_BuildSearchGroup(); return pool->search[0]; }
DenseVector* Workspace_SearchVector2() { Workspace_BuildSearchGroup(); return pool->search[1]; }
