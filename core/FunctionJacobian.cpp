// FunctionJacobian: the (F, J) pair of an evaluation.
#include "core/FunctionJacobian.hpp"

#include <algorithm>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix.hpp"

FunctionJacobian* FunctionJacobian_Create(std::int32_t n, std::int32_t nnz) {
  auto* p = Memory_AllocateArray<FunctionJacobian>(1);
  p->max_n = n;
  p->max_nnz = nnz;
  p->n = 0;
  p->nnz = 0;
  p->F = nullptr;
  p->J = nullptr;
  p->refcount = 1;
  try {
    p->F = DenseVector_Create(n);
    p->J = SparseMatrix_Create(n, n, nnz);
  } catch (...) {
    // An allocation failure left by exception: release what was made.
    DenseVector_Destroy(p->F);
    Memory_Free(p);
    throw;
  }
  return p;
}

std::int32_t FunctionJacobian_Destroy(FunctionJacobian* p) {
  if (p == nullptr) return 0;
  p->refcount -= 1;
  if (p->refcount > 0) return p->refcount;
  DenseVector_Destroy(p->F);
  SparseMatrix_Destroy(p->J);
  Memory_Free(p);
  return 0;
}

std::int32_t FunctionJacobian_Reference(FunctionJacobian* p) {
  p->refcount += 1;
  return p->refcount;
}

void FunctionJacobian_Size(FunctionJacobian* p, std::int32_t n, std::int32_t nnz) {
  p->max_n = std::max(p->max_n, n);
  p->max_nnz = std::max(p->max_nnz, nnz);
  DenseVector_Size(p->F, p->max_n);
  SparseMatrix_Resize(p->J, p->max_n, p->max_n, p->max_nnz);
}

void FunctionJacobian_Copy(FunctionJacobian* dst, const FunctionJacobian* src) {
  if (dst == src) return;
  const SparseMatrix* J = src->J;
  // Room for the copy: src's size and F, J's columns, and J's entries with
  // the missing diagonal entries added (a quick bound, the exact count only
  // when the bound does not fit).
  const std::int32_t need_n = std::max({src->n, DenseVector_Length(src->F),
                                        SparseMatrix_Rows(J), SparseMatrix_Cols(J), 0});
  std::int64_t need_nnz = SparseMatrix_StoredEntries(J) + std::max(need_n, 0);
  if (need_nnz > SparseMatrix_NNZCapacity(dst->J)) {
    need_nnz = SparseMatrix_CloneEntryCount(J, nullptr, nullptr, 1);
  }
  if (need_nnz > INT32_MAX) Error_Report("FunctionJacobian", __LINE__, "Copy", "allocation failed");
  if (need_n > dst->max_n || need_nnz > dst->max_nnz ||
      need_n > SparseMatrix_ColCapacity(dst->J) || need_nnz > SparseMatrix_NNZCapacity(dst->J) ||
      need_n > DenseVector_Capacity(dst->F)) {
    FunctionJacobian_Size(dst, need_n, static_cast<std::int32_t>(need_nnz));
  }
  dst->n = src->n;
  DenseVector_Clone(dst->F, src->F, nullptr);
  SparseMatrix_Clone(dst->J, J, nullptr, nullptr, 1);
  dst->nnz = SparseMatrix_NNZ(dst->J);
}

void FunctionJacobian_SetN(FunctionJacobian* p, std::int32_t n) {
  if (n < 0 || n > DenseVector_Capacity(p->F)) {
    Error_Report("FunctionJacobian", __LINE__, "SetN", "insufficient capacity");
  }
  DenseVector_SetLength(p->F, n);
  SparseMatrix_SetRows(p->J, n);
  SparseMatrix_SetCols(p->J, n);
  p->n = n;
}

void FunctionJacobian_SetNnz(FunctionJacobian* p, std::int32_t nnz) {
  SparseMatrix_SetNNZ(p->J, nnz);
  p->nnz = nnz;
}
