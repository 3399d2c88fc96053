// Presolve framework: bound check, fixed-variable split, basis repair, the
// presolve set-up and the presolve driver with its row queue and dispatch.
#include "presolve/Presolve.hpp"

#include <cmath>

#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "presolve/PresolveCol.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveQueue.hpp"
#include "presolve/PresolveSkew.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/RowPass.hpp"

namespace {

constexpr int kNameLength = 256;
constexpr double kBasisTolerance = 1e-10;
// Rows with fewer active entries than this are queued for the short-row
// rules.
constexpr std::int32_t kShortRow = 5;

bool IsBoundError(double lower, double upper, double inf, double tolerance) {
  if (std::isnan(lower) || std::isnan(upper)) return true;
  if (lower >= inf || upper <= -inf) return true;
  bool finite = lower > -inf && upper < inf;
  return finite && lower - upper > tolerance;
}

// Names the variable and the bounds that clash; two bounds at the same
// infinity are not shown as one above the other.
void WarnBoundError(const char* name, double lower, double upper, double inf) {
  if (lower >= inf && upper >= inf) {
    Error_Warning("%s: lb = ub = +infinity\n", name);
  } else if (lower <= -inf && upper <= -inf) {
    Error_Warning("%s: lb = ub = -infinity\n", name);
  } else {
    Error_Warning("%s: lb = %5.4e > %5.4e = ub\n", name, lower, upper);
  }
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
      WarnBoundError(name, lower[i], upper[i], inf);
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
  const SparseMatrix_ColumnView jac = SparseMatrix_Columns(J);
  EnsureEntryRoom(mcp, nnz);

  IDenseVector_FillZero(mcp->row_length, n);
  IDenseVector_FillZero(mcp->entry_column, nnz);
  std::int32_t* length = IDenseVector_Array(mcp->row_length);
  std::int32_t* start = IDenseVector_Array(mcp->row_start);
  std::int32_t* entry_column = IDenseVector_Array(mcp->entry_column);
  std::int32_t* row_entry = IDenseVector_Array(mcp->row_entry);

  std::int32_t stored = 0;
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t p = jac.start[j] - 1; p < jac.start[j] - 1 + jac.length[j]; ++p) {
      length[jac.row[p] - 1] += 1;
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
    for (std::int32_t p = jac.start[j] - 1; p < jac.start[j] - 1 + jac.length[j]; ++p) {
      std::int32_t r = jac.row[p] - 1;
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
  const SparseMatrix_ColumnView jac = SparseMatrix_Columns(J);
  const std::int32_t* type = IDenseVector_Array(mcp->entry_type);
  const double* lower = DenseVector_Array(mcp->lower);
  const double* upper = DenseVector_Array(mcp->upper);

  IDenseVector_FillZero(mcp->row_count, n);
  IDenseVector_FillZero(mcp->col_count, n);
  std::int32_t* row_count = IDenseVector_Array(mcp->row_count);
  std::int32_t* col_count = IDenseVector_Array(mcp->col_count);
  for (std::int32_t j = 0; j < n; ++j) {
    if (IsFixed(lower, upper, j)) continue;
    for (std::int32_t p = jac.start[j] - 1; p < jac.start[j] - 1 + jac.length[j]; ++p) {
      std::int32_t r = jac.row[p] - 1;
      if (IsFixed(lower, upper, r)) continue;
      if (Presolve_EntryCounts(type[p], jac.value[p])) {
        row_count[r] += 1;
        col_count[j] += 1;
      }
    }
  }
}

void MCP_CheckSkewSymmetry(MCP* mcp) { SetUpPresolve(mcp); }

void MCP_PresolvePrepare(MCP* mcp) {
  SetUpPresolve(mcp);
  Skew_CheckClasses(mcp);
  // An interrupted presolve leaves its records behind; they belong to no
  // postsolve.
  PresolveRecord record;
  while (RecordStack_Count(mcp->stack) > 0) RecordStack_Pop(mcp->stack, record);
  const double inf = Options_CommonDouble(COMMON_INFINITY);
  const PresolveRecord bottom = {-inf, inf, 0.0, -1, -1, -1, PRESOLVE_KIND_BOTTOM};
  RecordStack_Push(mcp->stack, bottom);
  PresolveQueue_Reset(mcp->n);
  IDenseVector_FillZero(Workspace_IVector(3), mcp->n);
  IDenseVector_FillZero(Workspace_IVector(14), mcp->n);  // columns freed by the bound rounds
  Skew_ResetTightenings(mcp->n);
  Presolve_MarkEvaluated(mcp);
}

int MCP_Presolve(MCP* mcp) {
  MCP_PresolvePrepare(mcp);
  std::int32_t level = 1;
  for (;;) {
    Interrupt_Check();
    int status = MCP_PresolveRows(mcp, &level);
    if (status != MCP_CONTINUE) return status;
    Interrupt_Check();
    std::int32_t changed = 0;
    status = MCP_PresolveRowsCols(mcp, &level, &changed);
    if (status != MCP_CONTINUE) return status;
    if (changed == 0) return MCP_CONTINUE;
  }
}

void MCP_FillRowQueue(MCP* mcp) {
  const PresolveView v = Presolve_View(mcp);
  PresolveQueue_Reset(v.n);
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (!v.Fixed(i) && v.mark[i - 1] == 1 && v.row_count[i - 1] < kShortRow) {
      PresolveQueue_Append(i);
    }
  }
}

int MCP_RowDispatch(MCP* mcp, std::int32_t level, std::int32_t* zero, std::int32_t* single,
                    std::int32_t* two) {
  *zero = 0;
  *single = 0;
  *two = 0;
  const PresolveView v = Presolve_View(mcp);
  while (PresolveQueue_Count() > 0) {
    const std::int32_t i = PresolveQueue_Take();
    if (v.mark[i - 1] == 0 || v.Fixed(i)) continue;
    std::int32_t count = 0;
    int status = MCP_CONTINUE;
    switch (v.row_count[i - 1]) {
      case 0:
        status = Skew_ZeroRow(mcp, level, i, &count);
        *zero += count;
        break;
      case 1:
        status = Skew_OneRow(mcp, level, i, &count);
        *single += count;
        break;
      case 2:
        status = Skew_TwoRow(mcp, level, i, &count);
        *two += count;
        break;
      default:
        break;
    }
    if (status != MCP_CONTINUE) return status;
  }
  return MCP_CONTINUE;
}

namespace {

// The rules of one round of the row-level pass; *changed := 1 when one of
// them changed the problem.
int RowRound(MCP* mcp, std::int32_t level, bool* changed) {
  MCP_FillRowQueue(mcp);
  Interrupt_Check();
  std::int32_t zero = 0;
  std::int32_t single = 0;
  std::int32_t two = 0;
  int status = MCP_RowDispatch(mcp, level, &zero, &single, &two);
  if (status != MCP_CONTINUE) return status;
  if (zero + single + two != 0) {
    *changed = true;
    Output_Printf(OUTPUT_LOG, "Zero: %5d Single: %5d Double: %5d\n", zero, single, two);
  }

  Interrupt_Check();
  std::int32_t forced = 0;
  std::int32_t redundant = 0;
  status = Skew_ForceRows(mcp, level, &forced, &redundant);
  if (status != MCP_CONTINUE) return status;
  if (forced + redundant != 0) {
    *changed = true;
    Output_Printf(OUTPUT_LOG, "Forced: %5d Redundant: %5d\n", forced, redundant);
  }

  if (Presolve_OptionBool(PRESOLVE_IMPLIED) && MCP_CheckConstraintSets(mcp) != 0) {
    Interrupt_Check();
    std::int32_t fixed = 0;
    std::int32_t freed = 0;
    std::int32_t changes = 0;
    status = Skew_BoundRounds(mcp, level, &fixed, &forced, &redundant, &freed, &changes);
    if (status != MCP_CONTINUE) return status;
    if (fixed + forced + redundant + freed != 0) {
      *changed = true;
      Output_Printf(OUTPUT_LOG, "Implied: Fixed: %5d Forced: %5d Redundant: %5d Freed: %5d\n",
                    fixed, forced, redundant, freed);
    }
  }

  Interrupt_Check();
  std::int32_t duplicated = 0;
  status = Skew_DuplicateRows(mcp, level, &duplicated);
  if (status != MCP_CONTINUE) return status;
  if (duplicated != 0) {
    *changed = true;
    Output_Printf(OUTPUT_LOG, "Duplicated: %5d\n", duplicated);
  }
  return MCP_CONTINUE;
}

}  // namespace

int MCP_PresolveRows(MCP* mcp, std::int32_t* level) {
  for (;;) {
    if (MCP_MarkCandidateRows(mcp) == 0) return MCP_CONTINUE;
    bool changed = false;
    const int status = RowRound(mcp, *level, &changed);
    if (status != MCP_CONTINUE) return status;
    if (!changed) return MCP_CONTINUE;
    *level += 1;
    DenseVector* f = FunctionJacobian_Function(mcp->evaluation);
    DenseVector_SetLength(f, mcp->n);
    const int errors = mcp->interface.function_evaluation(
        mcp->interface.data, mcp->n, DenseVector_Array(mcp->x), DenseVector_Array(f));
    if (errors != 0) {
      Output_Printf(OUTPUT_LOG, "Function undefined.\n");
      return MCP_UNDEFINED;
    }
    Presolve_MarkEvaluated(mcp);
  }
}

int MCP_PresolveRowsCols(MCP* mcp, std::int32_t* level, std::int32_t* changed) {
  *changed = 0;
  std::int32_t rows_changed = 0;
  std::int32_t cols_changed = 0;
  int status = MCPR(mcp, level, &rows_changed);
  Presolve_MarkEvaluated(mcp);
  if (status != MCP_CONTINUE) return status;
  status = MCPC(mcp, level, &cols_changed);
  Presolve_MarkEvaluated(mcp);
  if (status != MCP_CONTINUE) return status;
  if (rows_changed != 0 || cols_changed != 0) *changed = 1;
  while (cols_changed != 0) {
    cols_changed = 0;
    status = MCPR(mcp, level, &rows_changed);
    Presolve_MarkEvaluated(mcp);
    if (status != MCP_CONTINUE) return status;
    if (rows_changed != 0) {
      status = MCPC(mcp, level, &cols_changed);
      Presolve_MarkEvaluated(mcp);
      if (status != MCP_CONTINUE) return status;
    }
  }
  return MCP_CONTINUE;
}
