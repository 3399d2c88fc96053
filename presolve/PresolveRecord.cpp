// Reduction records: the fix operations of the rules and the postsolve.
#include "presolve/PresolveRecord.hpp"

#include <cmath>
#include <limits>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "presolve/PresolveDebug.hpp"
#include "presolve/PresolveQueue.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowDuplicates.hpp"
#include "problems/MCP.hpp"

namespace {

// Rows whose count falls below this are queued for the short-row rules.
constexpr std::int32_t kShortRow = 5;

// Which lines a fix re-queues: the rows of the fixed column (row rules) or
// the columns of the fixed row (column rules).
enum class Requeue { kRows, kColumns };

void Decrement(std::int32_t* count) {
  if (*count > 0) *count -= 1;
}

void QueueIfShort(const PresolveView& v, std::int32_t index, std::int32_t count) {
  if (v.mark[index - 1] == 1 && !PresolveQueue_Queued(index) && count < kShortRow) {
    PresolveQueue_Append(index);
  }
}

void Fix(MCP* mcp, std::int32_t level, std::int32_t second, std::int32_t kind, std::int32_t j,
         double value, Requeue requeue) {
  const PresolveView v = Presolve_View(mcp);
  if (!(std::fabs(value) < Presolve_Infinity())) {
    Error_Report("Presolve", __LINE__, "FixVariable", "value not finite");
  }
  if (v.Fixed(j)) {
    // Fixed already: its record and counts exist; x and F follow the fixed
    // value and nothing else changes.
    const double dx = v.lower[j - 1] - v.x[j - 1];
    v.x[j - 1] = v.lower[j - 1];
    Presolve_MoveColumn(v, j, dx);
    return;
  }
  const PresolveRecord record = {v.lower[j - 1], v.upper[j - 1], 0.0, second, j, level, kind};
  RecordStack_Push(mcp->stack, record);
  const double dx = value - v.x[j - 1];
  v.lower[j - 1] = value;
  v.upper[j - 1] = value;
  v.x[j - 1] = value;
  Presolve_MoveColumn(v, j, dx);

  // Column j leaves every unfixed row; row j leaves every unfixed column.
  for (std::int32_t p = v.ColBegin(j); p < v.ColEnd(j); ++p) {
    const std::int32_t r = v.row[p];
    if (v.Fixed(r) || !Presolve_EntryCounts(v.entry_type[p], v.value[p])) continue;
    Decrement(&v.row_count[r - 1]);
    if (requeue == Requeue::kRows) QueueIfShort(v, r, v.row_count[r - 1]);
  }
  for (std::int32_t k = v.RowBegin(j); k < v.RowEnd(j); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    if (v.Fixed(c) || !Presolve_EntryCounts(v.entry_type[p], v.value[p])) continue;
    Decrement(&v.col_count[c - 1]);
    if (requeue == Requeue::kColumns) QueueIfShort(v, c, v.col_count[c - 1]);
  }
  v.row_count[j - 1] = 0;
  v.col_count[j - 1] = 0;
  v.mark[j - 1] = 0;
  PresolveDebug_AfterReduction(mcp);
}

// F at the full point through the caller's function evaluation.
void EvaluateF(MCP* mcp) {
  DenseVector* f = FunctionJacobian_Function(mcp->evaluation);
  DenseVector_SetLength(f, mcp->n);
  const int errors = mcp->interface.function_evaluation(mcp->interface.data, mcp->n,
                                                        DenseVector_Array(mcp->x),
                                                        DenseVector_Array(f));
  if (errors != 0) Output_Printf(OUTPUT_LOG, "Function undefined at new point.\n");
}

// Bounds of the record's variable back to their old values.
void RestoreBounds(MCP* mcp, const PresolveRecord& record) {
  DenseVector_SetValue(mcp->lower, record.variable_index, record.old_lower);
  DenseVector_SetValue(mcp->upper, record.variable_index, record.old_upper);
}

// Restores the bounds and moves x back inside them.
void RestoreAndProject(MCP* mcp, const PresolveRecord& record) {
  RestoreBounds(mcp, record);
  const std::int32_t j = record.variable_index;
  const double x = DenseVector_Value(mcp->x, j);
  if (x < record.old_lower) {
    Presolve_SetValue(mcp, j, record.old_lower);
  } else if (x > record.old_upper) {
    Presolve_SetValue(mcp, j, record.old_upper);
  }
}

PresolveRecord PopPartner(MCP* mcp) {
  PresolveRecord partner;
  if (RecordStack_Count(mcp->stack) <= 1) {
    Error_Report("Presolve", __LINE__, "Postsolve", "record pair incomplete");
  }
  RecordStack_Pop(mcp->stack, partner);
  if (partner.kind == PRESOLVE_KIND_BOTTOM) {
    Error_Report("Presolve", __LINE__, "Postsolve", "record pair incomplete");
  }
  return partner;
}

void Undo(MCP* mcp, const PresolveRecord& record) {
  switch (record.kind) {
    case PRESOLVE_KIND_FIX:
      RestoreAndProject(mcp, record);
      MCP_PostsolveRow(mcp, record.second_index);
      return;
    case PRESOLVE_KIND_BOUND:
      RestoreAndProject(mcp, record);
      return;
    case PRESOLVE_KIND_EQUATION:
      RestoreBounds(mcp, record);
      MCP_PostsolveEquation(mcp, record);
      return;
    case PRESOLVE_KIND_DUPLICATE_COLUMN:
      RestoreBounds(mcp, record);
      MCP_PostsolveDuplicate(mcp, record);
      return;
    case PRESOLVE_KIND_ROW_DUPLICATE: {
      const PresolveRecord first = PopPartner(mcp);
      Row_PostsolveDuplicate(mcp, first, record);
      return;
    }
    default:
      // The column rules are not built, so their kinds never reach here.
      Error_Report("Presolve", __LINE__, "Postsolve", "unknown reduction kind");
  }
}

// The first non-zero entry in an unfixed column of row i: its coefficient
// and column (0 when none).
std::int32_t FirstLiveEntry(const PresolveView& v, std::int32_t i, double* a) {
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    if (v.Fixed(c) || !(std::fabs(v.value[p]) > PRESOLVE_ROW_TOLERANCE)) continue;
    *a = v.value[p];
    return c;
  }
  return 0;
}

}  // namespace

void MCP_FixVariable(MCP* mcp, std::int32_t level, std::int32_t second, std::int32_t kind,
                     std::int32_t j, double v) {
  Fix(mcp, level, second, kind, j, v, Requeue::kRows);
}

void MCP_FixVariableCol(MCP* mcp, std::int32_t level, std::int32_t second, std::int32_t kind,
                        std::int32_t j, double v) {
  Fix(mcp, level, second, kind, j, v, Requeue::kColumns);
}

void MCP_Postsolve(MCP* mcp) {
  if (!mcp->presolve_allocated) return;
  // The point arrives from the solver, whose last evaluation need not have
  // been at it: F is evaluated before the first record is undone.
  std::int32_t current = std::numeric_limits<std::int32_t>::min();
  PresolveRecord record;
  while (RecordStack_Count(mcp->stack) > 0) {
    RecordStack_Pop(mcp->stack, record);
    if (record.kind == PRESOLVE_KIND_BOTTOM) return;
    if (record.level != current) {
      EvaluateF(mcp);
      current = record.level;
    }
    Undo(mcp, record);
  }
}

void MCP_PostsolveRow(MCP* mcp, std::int32_t j) {
  const PresolveView v = Presolve_View(mcp);
  const double tol = Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE);
  const double inf = Presolve_Infinity();
  double lo = v.lower[j - 1];
  double hi = v.upper[j - 1];
  for (std::int32_t p = v.ColBegin(j); p < v.ColEnd(j); ++p) {
    const std::int32_t r = v.row[p];
    const double a = v.value[p];
    if (v.Fixed(r) || !Presolve_NonZero(a)) continue;
    double f = v.f[r - 1];
    if (std::fabs(f) < tol) f = 0.0;
    // The value of x_j at which the linearised F_r vanishes.
    const double t = v.x[j - 1] - f / a;
    const double xr = v.x[r - 1];
    const bool at_lower = xr <= v.lower[r - 1] + tol;
    const bool at_upper = xr >= v.upper[r - 1] - tol;
    if (!at_lower && !at_upper) {
      lo = std::fmax(lo, t);
      hi = std::fmin(hi, t);
    } else if (at_lower == (a > 0)) {
      lo = std::fmax(lo, t);
    } else {
      hi = std::fmin(hi, t);
    }
  }
  if (lo - tol > hi) {
    lo = Presolve_Clip((lo + hi) * 0.5, v.lower[j - 1], v.upper[j - 1]);
    hi = lo;
  }
  const double fj = v.f[j - 1];
  double target;
  if (fj > tol || fj < -tol) {
    target = fj > tol ? lo : hi;
    if (!(std::fabs(target) < inf)) {
      Error_Warning("Error during postsolve: problem infeasible.\n");
      return;
    }
  } else if (lo > -inf) {
    target = lo;
  } else if (hi < inf) {
    target = hi;
  } else {
    target = 0.0;
  }
  Presolve_SetValue(mcp, j, Presolve_Clip(target, v.lower[j - 1], v.upper[j - 1]));
}

void MCP_PostsolveEquation(MCP* mcp, const PresolveRecord& record) {
  const PresolveView v = Presolve_View(mcp);
  const std::int32_t var = record.variable_index;
  const std::int32_t s = record.second_index;
  const double x = v.x[var - 1];
  if (record.old_lower <= x && x <= record.old_upper) return;
  const double bound = x < record.old_lower ? record.old_lower : record.old_upper;
  const double d = x - bound;
  Presolve_SetValue(mcp, var, bound);
  double a1 = 0.0;
  double a2 = 0.0;
  const std::int32_t c1 = FirstLiveEntry(v, var, &a1);
  const std::int32_t c2 = FirstLiveEntry(v, s, &a2);
  if (c1 != c2 || c1 == 0) {
    Error_Report("Presolve", __LINE__, "PostsolveEquation", "equations without a common column");
  }
  const double y = v.x[s - 1] + (a1 / a2) * d;
  if (v.lower[s - 1] - PRESOLVE_ROW_TOLERANCE <= y && y <= v.upper[s - 1] + PRESOLVE_ROW_TOLERANCE) {
    Presolve_SetValue(mcp, s, y);
  } else {
    Error_Warning("Error during postsolve: equations inconsistent\n");
  }
}

void MCP_PostsolveDuplicate(MCP* mcp, const PresolveRecord& record) {
  const PresolveView v = Presolve_View(mcp);
  const std::int32_t j = record.variable_index;
  const std::int32_t i = record.second_index;
  const double sum = v.x[i - 1] + v.x[j - 1];
  const double fj = v.f[j - 1];
  if (fj == 0.0) return;
  const double target = fj < 0.0 ? v.upper[j - 1] : v.lower[j - 1];
  // The pair's sum cannot be split at an infinite bound.
  if (!(std::fabs(target) < Presolve_Infinity())) return;
  Presolve_SetValue(mcp, j, target);
  Presolve_SetValue(mcp, i, sum - v.x[j - 1]);
}
