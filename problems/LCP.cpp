// LCP record: creation, growth, destruction, the working block and the
// module's current interface.
#include "problems/LCP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "core/Memory.hpp"

namespace {

// The record in force until a caller installs its own: every slot empty.
LCP_Interface empty_interface = {};
LCP_Interface* current_interface = &empty_interface;
std::int32_t live_records = 0;

constexpr double kLargestCount = 2147483647.0;

// min(side * side, n + nnz) in double precision, or the solver error
// "Problem size too large.\n" beyond the 32-bit range.
std::int32_t WorkingEntryCapacity(std::int32_t side, std::int32_t n, std::int32_t nnz) {
  double square = static_cast<double>(side) * static_cast<double>(side);
  double sum = static_cast<double>(n) + static_cast<double>(nnz);
  double capacity = square > sum ? sum : square;
  if (capacity > kLargestCount) Error_SolverError("Problem size too large.\n");
  return static_cast<std::int32_t>(capacity);
}

template <class Vector, class Destroy>
void Release(Vector*& v, Destroy destroy) {
  if (v != nullptr) destroy(v);
  v = nullptr;
}

// Frees every member that exists and the record; safe on a record whose
// construction stopped half-way.
void FreeRecord(LCP* lcp) {
  auto dv = [](DenseVector* v) { DenseVector_Destroy(v); };
  auto iv = [](IDenseVector* v) { IDenseVector_Destroy(v); };
  auto sm = [](SparseMatrix* m) { SparseMatrix_Destroy(m); };
  Release(lcp->user_lower, dv);
  Release(lcp->user_upper, dv);
  Release(lcp->user_z, dv);
  Release(lcp->user_start_f, dv);
  Release(lcp->user_basis, iv);
  Release(lcp->user_q, dv);
  Release(lcp->user_m, sm);
  Release(lcp->lower, dv);
  Release(lcp->upper, dv);
  Release(lcp->z, dv);
  Release(lcp->start_f, dv);
  Release(lcp->basis, iv);
  Release(lcp->q, dv);
  Release(lcp->m, sm);
  Release(lcp->to_working, iv);
  Release(lcp->to_user, iv);
  Memory_Free(lcp);
}

}  // namespace

LCP* LCP_Create(std::int32_t n, std::int32_t nnz) {
  n = std::max(n, 1);
  nnz = std::max(nnz, 1);
  std::int32_t max_nnz = WorkingEntryCapacity(n, n, nnz);

  LCP* lcp = static_cast<LCP*>(Memory_Allocate(sizeof(LCP)));
  *lcp = LCP{};
  lcp->max_n = n;
  lcp->max_nnz = max_nnz;
  lcp->max_user_n = n;
  lcp->max_user_nnz = nnz;
  lcp->refcount = 1;
  try {
    lcp->user_lower = DenseVector_Create(n);
    lcp->user_upper = DenseVector_Create(n);
    lcp->user_z = DenseVector_Create(n);
    lcp->user_start_f = DenseVector_Create(n);
    lcp->user_basis = IDenseVector_Create(n);
    lcp->user_q = DenseVector_Create(n);
    lcp->user_m = SparseMatrix_Create(n, n, nnz);
    lcp->to_working = IDenseVector_Create(n);
    lcp->to_user = IDenseVector_Create(n);
  } catch (...) {
    FreeRecord(lcp);
    throw;
  }
  live_records += 1;
  return lcp;
}

std::int32_t LCP_Reference(LCP* lcp) {
  lcp->refcount += 1;
  return lcp->refcount;
}

std::int32_t LCP_Destroy(LCP* lcp) {
  if (lcp == nullptr) return 0;
  lcp->refcount -= 1;
  if (lcp->refcount >= 1) return lcp->refcount;
  FreeRecord(lcp);
  live_records -= 1;
  return 0;
}

void LCP_Size(LCP* lcp, std::int32_t n, std::int32_t nnz) {
  std::int32_t max_user_n = std::max(lcp->max_user_n, n);
  std::int32_t max_user_nnz = std::max(lcp->max_user_nnz, nnz);
  std::int32_t max_n = std::max(lcp->max_n, max_user_n);
  std::int32_t candidate = WorkingEntryCapacity(max_n, max_user_n, max_user_nnz);
  lcp->max_user_n = max_user_n;
  lcp->max_user_nnz = max_user_nnz;
  lcp->max_n = max_n;
  lcp->max_nnz = std::max(lcp->max_nnz, candidate);

  DenseVector_Size(lcp->user_lower, max_user_n);
  DenseVector_Size(lcp->user_upper, max_user_n);
  DenseVector_Size(lcp->user_z, max_user_n);
  DenseVector_Size(lcp->user_start_f, max_user_n);
  IDenseVector_Size(lcp->user_basis, max_user_n);
  DenseVector_Size(lcp->user_q, max_user_n);
  SparseMatrix_Resize(lcp->user_m, max_user_n, max_user_n, max_user_nnz);
  IDenseVector_Size(lcp->to_working, max_user_n);
  IDenseVector_Size(lcp->to_user, max_user_n);
  if (lcp->working_allocated) {
    DenseVector_Size(lcp->lower, max_n);
    DenseVector_Size(lcp->upper, max_n);
    DenseVector_Size(lcp->z, max_n);
    DenseVector_Size(lcp->start_f, max_n);
    IDenseVector_Size(lcp->basis, max_n);
    DenseVector_Size(lcp->q, max_n);
    SparseMatrix_Resize(lcp->m, max_n, max_n, lcp->max_nnz);
  }
}

void LCP_AllocateWorking(LCP* lcp) {
  if (lcp->working_allocated) return;
  auto dv = [](DenseVector* v) { DenseVector_Destroy(v); };
  auto iv = [](IDenseVector* v) { IDenseVector_Destroy(v); };
  auto sm = [](SparseMatrix* m) { SparseMatrix_Destroy(m); };
  // Members left by an earlier attempt that failed half-way are released
  // first; until then they stay owned by the record.
  Release(lcp->lower, dv);
  Release(lcp->upper, dv);
  Release(lcp->z, dv);
  Release(lcp->start_f, dv);
  Release(lcp->basis, iv);
  Release(lcp->q, dv);
  Release(lcp->m, sm);
  lcp->lower = DenseVector_Create(lcp->max_n);
  lcp->upper = DenseVector_Create(lcp->max_n);
  lcp->z = DenseVector_Create(lcp->max_n);
  lcp->start_f = DenseVector_Create(lcp->max_n);
  lcp->basis = IDenseVector_Create(lcp->max_n);
  lcp->q = DenseVector_Create(lcp->max_n);
  lcp->m = SparseMatrix_Create(lcp->max_n, lcp->max_n, lcp->max_nnz);
  lcp->working_allocated = 1;
}

std::int32_t LCP_LiveRecords() { return live_records; }

void LCP_SetInterface(LCP_Interface* interface) {
  current_interface = interface != nullptr ? interface : &empty_interface;
}

LCP_Interface* LCP_GetInterface() { return current_interface; }

void LCP_ForgetState() {
  empty_interface = LCP_Interface{};
  current_interface = &empty_interface;
  live_records = 0;
}

bool LCP_StateAtRest() { return current_interface == &empty_interface && live_records == 0; }
