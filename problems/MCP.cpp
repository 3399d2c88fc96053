// MCP record: creation, growth, copy, destruction, interfaces and the
// optional parts (free-variable transform, presolve, second function).
#include "problems/MCP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Workspace.hpp"

namespace {

constexpr double kLargestCount = 2147483647.0;

// min(bound, side * side) in double precision; beyond the 32-bit range the
// solver error "problem size too large" of the named operation.
std::int32_t CheckedEntryCapacity(double bound, double side, const char* operation) {
  double candidate = std::min(bound, side * side);
  if (candidate > kLargestCount) {
    Error_Report("MCP", __LINE__, operation, "problem size too large");
  }
  return static_cast<std::int32_t>(candidate);
}

void DestroyVector(DenseVector*& v) {
  if (v != nullptr) DenseVector_Destroy(v);
  v = nullptr;
}

void DestroyVector(IDenseVector*& v) {
  if (v != nullptr) IDenseVector_Destroy(v);
  v = nullptr;
}

// Frees the presolve part (whatever of it exists).
void FreePresolveParts(MCP* mcp) {
  DestroyVector(mcp->saved_x);
  DestroyVector(mcp->row_count);
  DestroyVector(mcp->col_count);
  DestroyVector(mcp->row_start);
  DestroyVector(mcp->row_length);
  DestroyVector(mcp->row_entry);
  DestroyVector(mcp->entry_column);
  DestroyVector(mcp->entry_type);
  DestroyVector(mcp->row_type);
  if (mcp->stack != nullptr) RecordStack_Destroy(mcp->stack);
  mcp->stack = nullptr;
}

// Frees every member that exists and the record itself; safe on a record
// whose construction stopped half-way.
void FreeRecord(MCP* mcp) {
  DestroyVector(mcp->lower_r);
  DestroyVector(mcp->upper_r);
  DestroyVector(mcp->x_r);
  DestroyVector(mcp->basis_r);
  DestroyVector(mcp->lower);
  DestroyVector(mcp->upper);
  DestroyVector(mcp->x);
  DestroyVector(mcp->basis);
  if (mcp->evaluation != nullptr) FunctionJacobian_Destroy(mcp->evaluation);
  DestroyVector(mcp->full_to_reduced);
  DestroyVector(mcp->reduced_to_full);
  DestroyVector(mcp->free_flag);
  DestroyVector(mcp->free_list);
  DestroyVector(mcp->row_sums);
  FreePresolveParts(mcp);
  DestroyVector(mcp->second_gradient_r);
  DestroyVector(mcp->second_gradient);
  Memory_Free(mcp);
}

}  // namespace

MCP* MCP_Create(std::int32_t n, std::int32_t nnz) {
  n = std::max(n, 1);
  nnz = std::max(nnz, 1);
  std::int32_t max_nnz_r = CheckedEntryCapacity(static_cast<double>(n) + static_cast<double>(nnz),
                                                static_cast<double>(n), "Create");

  MCP* mcp = static_cast<MCP*>(Memory_Allocate(sizeof(MCP)));
  *mcp = MCP{};
  mcp->merit_weight = 0.7;
  mcp->refcount = 1;
  mcp->max_n = n;
  mcp->max_nnz = nnz;
  mcp->max_n_r = n;
  mcp->max_nnz_r = max_nnz_r;
  try {
    mcp->lower_r = DenseVector_Create(n);
    mcp->upper_r = DenseVector_Create(n);
    mcp->x_r = DenseVector_Create(n);
    mcp->basis_r = IDenseVector_Create(n);
    mcp->lower = DenseVector_Create(n);
    mcp->upper = DenseVector_Create(n);
    mcp->x = DenseVector_Create(n);
    mcp->basis = IDenseVector_Create(n);
    mcp->evaluation = FunctionJacobian_Create(n, nnz);
    mcp->full_to_reduced = IDenseVector_Create(n);
    mcp->reduced_to_full = IDenseVector_Create(n);
    Workspace_Create(n, nnz);
  } catch (...) {
    FreeRecord(mcp);
    throw;
  }
  return mcp;
}

std::int32_t MCP_Destroy(MCP* mcp) {
  if (mcp == nullptr) return 0;
  mcp->refcount -= 1;
  if (mcp->refcount > 0) return mcp->refcount;
  FreeRecord(mcp);
  Workspace_Destroy();
  return 0;
}

std::int32_t MCP_Reference(MCP* mcp) {
  mcp->refcount += 1;
  return mcp->refcount;
}

void MCP_Size(MCP* mcp, std::int32_t n, std::int32_t nnz) {
  std::int32_t max_n = std::max(mcp->max_n, std::max(n, 1));
  std::int32_t max_nnz = std::max(mcp->max_nnz, std::max(nnz, 1));
  std::int32_t max_n_r;
  double bound;
  if (mcp->free_transform) {
    max_n_r = std::max(mcp->max_n_r, max_n + 1);
    bound = static_cast<double>(max_nnz) + 3.0 * max_n + 1.0;
  } else {
    max_n_r = std::max(mcp->max_n_r, max_n);
    bound = static_cast<double>(max_nnz) + static_cast<double>(max_n);
  }
  std::int32_t candidate = CheckedEntryCapacity(bound, static_cast<double>(max_n_r), "Size");

  mcp->max_n = max_n;
  mcp->max_nnz = max_nnz;
  mcp->max_n_r = max_n_r;
  mcp->max_nnz_r = std::max(candidate, mcp->max_nnz_r);

  DenseVector_Size(mcp->lower_r, max_n_r);
  DenseVector_Size(mcp->upper_r, max_n_r);
  DenseVector_Size(mcp->x_r, max_n_r);
  IDenseVector_Size(mcp->basis_r, max_n_r);
  DenseVector_Size(mcp->lower, max_n);
  DenseVector_Size(mcp->upper, max_n);
  DenseVector_Size(mcp->x, max_n);
  IDenseVector_Size(mcp->basis, max_n);
  IDenseVector_Size(mcp->full_to_reduced, max_n);
  IDenseVector_Size(mcp->reduced_to_full, max_n);
  FunctionJacobian_Size(mcp->evaluation, max_n, max_nnz);
  if (mcp->free_allocated) {
    IDenseVector_Size(mcp->free_flag, max_n);
    IDenseVector_Size(mcp->free_list, max_n);
    DenseVector_Size(mcp->row_sums, max_n);
  }
  if (mcp->presolve_allocated) {
    DenseVector_Size(mcp->saved_x, max_n);
    IDenseVector_Size(mcp->row_count, max_n);
    IDenseVector_Size(mcp->col_count, max_n);
    IDenseVector_Size(mcp->row_start, max_n);
    IDenseVector_Size(mcp->row_length, max_n);
    IDenseVector_Size(mcp->row_type, max_n);
    IDenseVector_Size(mcp->row_entry, max_nnz);
    IDenseVector_Size(mcp->entry_column, max_nnz);
    IDenseVector_Size(mcp->entry_type, max_nnz);
  }
  if (mcp->second_allocated) {
    // The reduced gradient carries "eta" too, so it follows the reduced
    // capacity.
    DenseVector_Size(mcp->second_gradient_r, max_n_r);
    DenseVector_Size(mcp->second_gradient, max_n);
  }
  Workspace_Size(max_n, max_nnz);
}

void MCP_Copy(MCP* dst, const MCP* src) {
  if (dst == src) return;
  if (src->free_allocated) {
    dst->free_transform = src->free_transform;
    MCP_AllocateFreeVariables(dst);
  }
  MCP_Size(dst, src->max_n, src->max_nnz);

  dst->n_r = src->n_r;
  dst->nnz_r = src->nnz_r;
  dst->n = src->n;
  dst->nnz = src->nnz;
  dst->fixed_count = src->fixed_count;
  dst->free_count = src->free_count;

  DenseVector_Clone(dst->lower_r, src->lower_r, nullptr);
  DenseVector_Clone(dst->upper_r, src->upper_r, nullptr);
  DenseVector_Clone(dst->x_r, src->x_r, nullptr);
  IDenseVector_Clone(dst->basis_r, src->basis_r, nullptr);
  DenseVector_Clone(dst->lower, src->lower, nullptr);
  DenseVector_Clone(dst->upper, src->upper, nullptr);
  DenseVector_Clone(dst->x, src->x, nullptr);
  IDenseVector_Clone(dst->basis, src->basis, nullptr);
  IDenseVector_Clone(dst->full_to_reduced, src->full_to_reduced, nullptr);
  IDenseVector_Clone(dst->reduced_to_full, src->reduced_to_full, nullptr);

  // The copy stores every diagonal entry; the pair grows itself to hold
  // them beyond src's entries.
  FunctionJacobian_Copy(dst->evaluation, src->evaluation);

  if (src->free_allocated) {
    IDenseVector_Clone(dst->free_flag, src->free_flag, nullptr);
    IDenseVector_Clone(dst->free_list, src->free_list, nullptr);
    DenseVector_Clone(dst->row_sums, src->row_sums, nullptr);
  }
}

void MCP_SetInterface(MCP* mcp, const MCP_Interface* record) {
  if (record == nullptr) {
    mcp->interface = MCP_Interface{};
    return;
  }
  mcp->interface = *record;
  mcp->interface.reserved = nullptr;
}

void MCP_GetInterface(const MCP* mcp, MCP_Interface* out) {
  void* reserved = out->reserved;
  *out = mcp->interface;
  out->reserved = reserved;
}

void MCP_SetPresolveInterface(MCP* mcp, const MCP_PresolveInterface* record) {
  mcp->presolve_interface = record != nullptr ? *record : MCP_PresolveInterface{};
}

void MCP_GetPresolveInterface(const MCP* mcp, MCP_PresolveInterface* out) {
  *out = mcp->presolve_interface;
}

void MCP_SetSecondFunctionInterface(MCP* mcp, const MCP_SecondFunctionInterface* record) {
  if (record == nullptr) {
    mcp->second_interface = MCP_SecondFunctionInterface{};
    mcp->second_installed = 0;
    return;
  }
  MCP_AllocateSecondFunction(mcp);
  mcp->second_interface = *record;
  mcp->second_installed = 1;
}

void MCP_GetSecondFunctionInterface(const MCP* mcp, MCP_SecondFunctionInterface* out) {
  *out = mcp->second_interface;
}

void MCP_SetPresolve(MCP* mcp, int allowed) { mcp->presolve_allowed = allowed; }
int MCP_PresolveAllowed(const MCP* mcp) { return mcp->presolve_allowed; }

void MCP_SetFreeVariableTransform(MCP* mcp, int on) {
  if (mcp->free_transform == on) return;
  mcp->free_transform = on;
  if (on) MCP_AllocateFreeVariables(mcp);
  MCP_Size(mcp, mcp->max_n, mcp->max_nnz);
}

int MCP_FreeVariableTransform(const MCP* mcp) { return mcp->free_transform; }

void MCP_SetProblemClass(MCP* mcp, int problem_class) { mcp->problem_class = problem_class; }
int MCP_ProblemClass(const MCP* mcp) { return mcp->problem_class; }
void MCP_SetMeritWeight(MCP* mcp, double weight) { mcp->merit_weight = weight; }
double MCP_MeritWeight(const MCP* mcp) { return mcp->merit_weight; }

int MCP_HasSecondFunction(const MCP* mcp) { return mcp->second_installed; }
double MCP_SecondFunctionValue(const MCP* mcp) { return mcp->second_value; }
DenseVector* MCP_SecondFunctionWork(MCP* mcp) { return mcp->second_gradient_r; }
DenseVector* MCP_SecondFunctionF(MCP* mcp) { return mcp->second_gradient; }

void MCP_AllocateFreeVariables(MCP* mcp) {
  if (mcp->free_allocated) return;
  DestroyVector(mcp->free_flag);
  DestroyVector(mcp->free_list);
  DestroyVector(mcp->row_sums);
  // A part left half-made by a failed allocation is released above and
  // built again; its members stay owned by the record until then.
  mcp->free_flag = IDenseVector_Create(mcp->max_n);
  mcp->free_list = IDenseVector_Create(mcp->max_n);
  mcp->row_sums = DenseVector_Create(mcp->max_n);
  mcp->free_allocated = 1;
}

void MCP_AllocatePresolve(MCP* mcp) {
  if (mcp->presolve_allocated) return;
  FreePresolveParts(mcp);
  // A part left half-made by a failed allocation is released above and
  // built again; its members stay owned by the record until then.
  mcp->saved_x = DenseVector_Create(mcp->max_n);
  mcp->row_count = IDenseVector_Create(mcp->max_n);
  mcp->col_count = IDenseVector_Create(mcp->max_n);
  mcp->row_start = IDenseVector_Create(mcp->max_n);
  mcp->row_length = IDenseVector_Create(mcp->max_n);
  mcp->row_entry = IDenseVector_Create(mcp->max_nnz);
  mcp->entry_column = IDenseVector_Create(mcp->max_nnz);
  mcp->entry_type = IDenseVector_Create(mcp->max_nnz);
  mcp->row_type = IDenseVector_Create(mcp->max_n);
  mcp->stack = RecordStack_Create();
  mcp->presolve_allocated = 1;
}

void MCP_AllocateSecondFunction(MCP* mcp) {
  if (mcp->second_allocated) return;
  DestroyVector(mcp->second_gradient_r);
  DestroyVector(mcp->second_gradient);
  // A part left half-made by a failed allocation is released above and
  // built again; its members stay owned by the record until then.
  mcp->second_gradient_r = DenseVector_Create(mcp->max_n_r);
  mcp->second_gradient = DenseVector_Create(mcp->max_n);
  mcp->second_value = 0.0;
  mcp->second_allocated = 1;
}
