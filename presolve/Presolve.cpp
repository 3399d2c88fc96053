// Presolve framework: bound check, fixed-variable split, basis repair, the
// presolve set-up, and the driver and postsolve around the reduction stack.
#include "presolve/Presolve.hpp"

#include <cmath>

#include "core/Error.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "presolve/PresolveOptions.hpp"

namespace {

constexpr int kNameLength = 256;
constexpr double kActiveTolerance = 1e-10;
constexpr double kBasisTolerance = 1e-10;

bool IsBoundError(double lower, double upper, double inf, double tolerance) {
  if (std::isnan(lower) || std::isnan(upper)) return true;
  if (lower >= inf || upper <= -inf) return true;
  bool finite = lower > -inf && upper < inf;
  return finite && lower - upper > tolerance;
}

// The code a variable's basis status should have, given its bounds, point
// and F; codes no rule names stay.
std::int32_t RepairedCode(std::int32_t code, double l, double u, double x, double f) {
  if (l == u) return BASIS_FIXED;
  if (x == l) {
    if (code == BASIS_UPPER || code == BASIS_FIXED) return BASIS_LOWER;
    if (code == BASIS_BASIC && f > kBasisTolerance) return BASIS_LOWER;
    return code;
  }
  if (x == u) {
    if (code == BASIS_LOWER || code == BASIS_FIXED) return BASIS_UPPER;
    if (code == BASIS_BASIC && f < -kBasisTolerance) return BASIS_UPPER;
    return code;
  }
  if (l <= x && x <= u) {
    if (code == BASIS_LOWER || code == BASIS_UPPER || code == BASIS_FIXED) return BASIS_BASIC;
    return code;
  }
  return code == BASIS_FIXED ? BASIS_BASIC : code;
}

bool IsFixed(const double* lower, const double* upper, std::int32_t i) {
  return lower[i] == upper[i];
}

// The per-entry vectors hold one value per stored position of the
// evaluation's Jacobian; a Jacobian copied in from elsewhere may hold more
// positions than the record's entry room.
void EnsureEntryRoom(MCP* mcp, std::int32_t nnz) {
  IDenseVector_Size(mcp->row_entry, nnz);
  IDenseVector_Size(mcp->entry_column, nnz);
  IDenseVector_Size(mcp->entry_type, nnz);
}

// Entry types (nonlinear unless the caller marks them constant), row types (0
// unless the caller sets them), row-wise index and active counts, built from
// the evaluation's Jacobian.
void SetUpPresolve(MCP* mcp) {
  MCP_AllocatePresolve(mcp);
  std::int32_t n = mcp->n;
  std::int32_t nnz = SparseMatrix_NNZ(FunctionJacobian_Jacobian(mcp->evaluation));
  const MCP_PresolveInterface& hooks = mcp->presolve_interface;
  EnsureEntryRoom(mcp, nnz);

  IDenseVector_Fill(mcp->entry_type, nnz, ENTRY_NONLINEAR);
  if (hooks.jacobian_types != nullptr) {
    hooks.jacobian_types(hooks.data, nnz, IDenseVector_Array(mcp->entry_type));
  }
  IDenseVector_FillZero(mcp->row_type, n);
  if (hooks.constraint_types != nullptr) {
    hooks.constraint_types(hooks.data, n, IDenseVector_Array(mcp->row_type));
  }
  MCP_BuildRowIndex(mcp);
  MCP_CountActive(mcp);
}

}  // namespace

int MCP_CheckBounds(MCP* mcp) {
  std::int32_t n = mcp->n;
  double inf = Options_CommonDouble(COMMON_INFINITY);
  double tolerance = Presolve_OptionDouble(PRESOLVE_ZERO_TOLERANCE);
  double* lower = DenseVector_Array(mcp->lower);
  double* upper = DenseVector_Array(mcp->upper);
  std::int32_t fixed = 0;
  std::int32_t errors = 0;
  char name[kNameLength];

  for (std::int32_t i = 0; i < n; ++i) {
    if (lower[i] < -inf) lower[i] = -inf;
    if (upper[i] > inf) upper[i] = inf;
    if (IsBoundError(lower[i], upper[i], inf, tolerance)) {
      MCP_FullVariableName(mcp, i + 1, name, kNameLength);
      Error_Warning("%s: lb = %5.4e > %5.4e = ub\n", name, lower[i], upper[i]);
      errors += 1;
    } else if (lower[i] > -inf && upper[i] < inf && std::fabs(lower[i] - upper[i]) <= tolerance) {
      upper[i] = lower[i];
      fixed += 1;
    }
  }
  if (fixed > 0) Error_Warning("Found: %d fixed variables.\n", fixed);
  if (errors > 0) {
    Error_Warning("Found: %d bound errors.\n", errors);
    return MCP_BOUND_ERROR;
  }
  return MCP_CONTINUE;
}

int MCP_SplitFixed(MCP* mcp) {
  std::int32_t n = mcp->n;
  const double* lower = DenseVector_Array(mcp->lower);
  const double* upper = DenseVector_Array(mcp->upper);
  double* x = DenseVector_Array(mcp->x);
  std::int32_t* f2r = IDenseVector_Array(mcp->full_to_reduced);
  std::int32_t* r2f = IDenseVector_Array(mcp->reduced_to_full);
  std::int32_t kept = 0;

  for (std::int32_t i = 0; i < n; ++i) {
    if (IsFixed(lower, upper, i)) {
      x[i] = lower[i];
      f2r[i] = 0;
    } else {
      r2f[kept] = i + 1;
      kept += 1;
      f2r[i] = kept;
    }
  }
  IDenseVector_SetLength(mcp->full_to_reduced, n);
  IDenseVector_SetLength(mcp->reduced_to_full, kept);
  mcp->fixed_count = n - kept;
  return kept == 0 ? MCP_SOLVED : MCP_CONTINUE;
}

void MCP_RepairBasis(MCP* mcp) {
  std::int32_t n = mcp->n;
  const double* lower = DenseVector_Array(mcp->lower);
  const double* upper = DenseVector_Array(mcp->upper);
  const double* x = DenseVector_Array(mcp->x);
  const double* f = DenseVector_Array(FunctionJacobian_Function(mcp->evaluation));
  std::int32_t* basis = IDenseVector_Array(mcp->basis);
  std::int32_t changed = 0;

  for (std::int32_t i = 0; i < n; ++i) {
    std::int32_t code = RepairedCode(basis[i], lower[i], upper[i], x[i], f[i]);
    if (code != basis[i]) {
      basis[i] = code;
      changed += 1;
    }
  }
  if (changed > 0) Output_Printf(OUTPUT_STATUS, "MCP modified basis.\n");
}

void MCP_BuildRowIndex(MCP* mcp) {
  std::int32_t n = mcp->n;
  const SparseMatrix* J = FunctionJacobian_Jacobian(mcp->evaluation);
  std::int32_t nnz = SparseMatrix_NNZ(J);
  const std::int32_t* col_start = IDenseVector_Array(SparseMatrix_ColStart(J));
  const std::int32_t* col_len = IDenseVector_Array(SparseMatrix_ColLen(J));
  const std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  EnsureEntryRoom(mcp, nnz);

  IDenseVector_FillZero(mcp->row_length, n);
  IDenseVector_FillZero(mcp->entry_column, nnz);
  std::int32_t* length = IDenseVector_Array(mcp->row_length);
  std::int32_t* start = IDenseVector_Array(mcp->row_start);
  std::int32_t* entry_column = IDenseVector_Array(mcp->entry_column);
  std::int32_t* row_entry = IDenseVector_Array(mcp->row_entry);

  std::int32_t stored = 0;
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t p = col_start[j] - 1; p < col_start[j] - 1 + col_len[j]; ++p) {
      length[row[p] - 1] += 1;
      stored += 1;
    }
  }
  // Row starts; the lengths then serve as the rows' cursors.
  std::int32_t next = 1;
  for (std::int32_t i = 0; i < n; ++i) {
    start[i] = next;
    next += length[i];
    length[i] = start[i];
  }
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t p = col_start[j] - 1; p < col_start[j] - 1 + col_len[j]; ++p) {
      std::int32_t r = row[p] - 1;
      entry_column[p] = j + 1;
      row_entry[length[r] - 1] = p + 1;
      length[r] += 1;
    }
  }
  for (std::int32_t i = 0; i < n; ++i) length[i] -= start[i];
  IDenseVector_SetLength(mcp->row_start, n);
  IDenseVector_SetLength(mcp->row_entry, stored);
}

void MCP_CountActive(MCP* mcp) {
  std::int32_t n = mcp->n;
  const SparseMatrix* J = FunctionJacobian_Jacobian(mcp->evaluation);
  const std::int32_t* col_start = IDenseVector_Array(SparseMatrix_ColStart(J));
  const std::int32_t* col_len = IDenseVector_Array(SparseMatrix_ColLen(J));
  const std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  const double* value = DenseVector_Array(SparseMatrix_Values(J));
  const std::int32_t* type = IDenseVector_Array(mcp->entry_type);
  const double* lower = DenseVector_Array(mcp->lower);
  const double* upper = DenseVector_Array(mcp->upper);

  IDenseVector_FillZero(mcp->row_count, n);
  IDenseVector_FillZero(mcp->col_count, n);
  std::int32_t* row_count = IDenseVector_Array(mcp->row_count);
  std::int32_t* col_count = IDenseVector_Array(mcp->col_count);
  for (std::int32_t j = 0; j < n; ++j) {
    if (IsFixed(lower, upper, j)) continue;
    for (std::int32_t p = col_start[j] - 1; p < col_start[j] - 1 + col_len[j]; ++p) {
      std::int32_t r = row[p] - 1;
      if (IsFixed(lower, upper, r)) continue;
      if (type[p] == ENTRY_NONLINEAR || std::fabs(value[p]) > kActiveTolerance) {
        row_count[r] += 1;
        col_count[j] += 1;
      }
    }
  }
}

void MCP_CheckSkewSymmetry(MCP* mcp) { SetUpPresolve(mcp); }

int MCP_Presolve(MCP* mcp) {
  SetUpPresolve(mcp);
  // An interrupted presolve leaves its records behind; they belong to no
  // postsolve.
  PresolveRecord record;
  while (RecordStack_Count(mcp->stack) > 0) RecordStack_Pop(mcp->stack, record);

  double inf = Options_CommonDouble(COMMON_INFINITY);
  PresolveRecord bottom = {-inf, inf, 0.0, -1, -1, -1, PRESOLVE_KIND_BOTTOM};
  RecordStack_Push(mcp->stack, bottom);
  Interrupt_Check();
  return MCP_CONTINUE;
}

void MCP_Postsolve(MCP* mcp) {
  if (!mcp->presolve_allocated) return;
  PresolveRecord record;
  while (RecordStack_Count(mcp->stack) > 0) {
    RecordStack_Pop(mcp->stack, record);
    if (record.kind == PRESOLVE_KIND_BOTTOM) break;
  }
}
