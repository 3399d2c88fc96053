// Block reductions: fixing and bounding lists of variables with their
// records, the reports of reductions and infeasibilities, and the term by
// term printout of rows.
#include "presolve/rows/RowBlockReduce.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Output.hpp"
#include "core/RecordStack.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowBlocks.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"

namespace {

// The working point of the row rules (savedX), element j at offset j - 1.
double* Saved(MCP* mcp) { return DenseVector_Array(MCP_PresolveSavedX(mcp)); }

bool Linear(std::int32_t type) { return type != ENTRY_NONLINEAR; }

// Pushes the record of a change of variable var made for row.
void PushRecord(MCP* mcp, const PresolveView& v, std::int32_t level, std::int32_t row,
                std::int32_t kind, std::int32_t var, double aux) {
  const PresolveRecord record = {v.lower[var - 1], v.upper[var - 1], aux, row, var, level, kind};
  RecordStack_Push(MCP_PresolveStack(mcp), record);
}

// x_var moved by d: F of every unfixed row follows along the linear entries
// of column var (a zero move changes nothing, even for an infinite entry).
void FollowMove(const PresolveView& v, std::int32_t var, double d) {
  if (d == 0.0) return;
  for (std::int32_t p = v.ColBegin(var); p < v.ColEnd(var); ++p) {
    const std::int32_t r = v.row[p];
    if (v.Fixed(r) || !Linear(v.entry_type[p])) continue;
    v.f[r - 1] += v.value[p] * d;
  }
}

// The columns of row var lose its counted entries (var is fixed already).
void DropRowFromColumns(const PresolveView& v, std::int32_t var, double jactol) {
  for (std::int32_t k = v.RowBegin(var); k < v.RowEnd(var); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    if (v.Fixed(c) || !Row_EntryCounts(v.entry_type[p], v.value[p], jactol)) continue;
    v.col_count[c - 1] -= 1;
  }
}

// The rows of column var lose its counted entries (var is fixed already);
// rows that become short enough are queued for the block phase.
void DropColumnFromRows(const PresolveView& v, std::int32_t var, double jactol) {
  for (std::int32_t p = v.ColBegin(var); p < v.ColEnd(var); ++p) {
    const std::int32_t r = v.row[p];
    if (v.Fixed(r) || !Row_EntryCounts(v.entry_type[p], v.value[p], jactol)) continue;
    v.row_count[r - 1] -= 1;
    Row_BlockEntryGone(r);
  }
}

// The first item of a list that cannot be fixed: its reason, or nullptr.
const char* FixFault(const PresolveView& v, std::int32_t var, double value,
                     const RowTolerance& tol) {
  if (!RowCompare_Finite(value, tol.infinity)) return " Infinite Value";
  if (RowCompare_Gt(v.lower[var - 1], value, tol.zerotol, tol.infinity) ||
      RowCompare_Gt(value, v.upper[var - 1], tol.zerotol, tol.infinity)) {
    return " Infeasible";
  }
  return nullptr;
}

const char* BoundFault(double lower, double upper, const RowTolerance& tol) {
  if (lower >= tol.infinity) return " Lower PInfinity";
  if (upper <= -tol.infinity) return " Upper MInfinity";
  if (RowCompare_Gt(lower, upper, tol.zerotol, tol.infinity)) return " Lower > Upper";
  return nullptr;
}

// The rows printed under a report line, at trace level 3 and above.
void PrintRowIfTraced(MCP* mcp, std::int32_t row) {
  if (Row_TraceLevel() >= 3) Row_PrintBlockRows(mcp, &row, 1);
}

// "%s%s\n" and the names of the rows, printed when the trace level is at
// least threshold.
void PrintRowsReport(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                     const char* text, int threshold) {
  if (Row_TraceLevel() < threshold) return;
  char name[kRowNameLength];
  Output_Printf(OUTPUT_LOG, "%s%s\n", label, text);
  for (std::int32_t i = 0; i < count; ++i) {
    Output_Printf(OUTPUT_LOG, "     %s\n", Row_ConstraintName(mcp, rows[i], name));
    PrintRowIfTraced(mcp, rows[i]);
  }
}

// One row term by term: the counted entries in unfixed columns, the
// constant at the working point, then the relation its bounds impose.
void PrintOneRow(MCP* mcp, const PresolveView& v, std::int32_t r, const RowTolerance& tol) {
  const double* saved = Saved(mcp);
  const double lb = v.lower[r - 1];
  const double ub = v.upper[r - 1];
  double b = v.f[r - 1];
  bool first = true;
  for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(c) || !(std::fabs(a) > tol.jactol)) continue;
    if (first) {
      Output_Printf(OUTPUT_LOG, "     % 5.4e <= x[%4d] <= % 5.4e : % 5.4e*x[%4d]", lb, r, ub, a, c);
    } else {
      Output_Printf(OUTPUT_LOG, " + % 5.4e*x[%4d]", a, c);
    }
    first = false;
    b -= a * saved[c - 1];
  }
  if (first) {
    Output_Printf(OUTPUT_LOG, "     % 5.4e <= x[%4d] <= % 5.4e : % 5.4e", lb, r, ub, b);
  } else {
    Output_Printf(OUTPUT_LOG, " + % 5.4e", b);
  }
  const bool lower_inf = std::fabs(lb) >= tol.infinity;
  const bool upper_inf = std::fabs(ub) >= tol.infinity;
  const char* relation = " ?= 0\n";
  if (lower_inf && upper_inf) {
    relation = " == 0\n";
  } else if (upper_inf) {
    relation = " >= 0\n";
  } else if (lower_inf) {
    relation = " <= 0\n";
  }
  Output_Printf(OUTPUT_LOG, "%s", relation);
}

}  // namespace

int Row_BlockFixKind(MCP* mcp, std::int32_t level, const std::int32_t* rows, std::int32_t kind,
                     const std::int32_t* vars, const double* values, double aux,
                     std::int32_t count, const char* label, std::int32_t* counter) {
  const RowTolerance tol = RowTolerance_Current();
  const PresolveView v = Presolve_View(mcp);
  for (std::int32_t i = 0; i < count; ++i) {
    const char* fault = FixFault(v, vars[i], values[i], tol);
    if (fault != nullptr) return Row_BlockInfeasible(mcp, &rows[i], 1, label, fault);
  }
  if (Row_TraceLevel() >= 2) {
    char variable[kRowNameLength];
    char constraint[kRowNameLength];
    Output_Printf(OUTPUT_LOG, "%s Fixes Variables\n", label);
    for (std::int32_t i = 0; i < count; ++i) {
      Output_Printf(OUTPUT_LOG, "     %s = % 5.4e (%s)\n", Row_VariableName(mcp, vars[i], variable),
                    values[i], Row_ConstraintName(mcp, rows[i], constraint));
      PrintRowIfTraced(mcp, rows[i]);
    }
  }
  for (std::int32_t i = 0; i < count; ++i) {
    Row_BlockFixVariable(mcp, level, rows[i], kind, vars[i], values[i], aux, counter);
  }
  return ROW_HANDLED;
}

int Row_BlockFix(MCP* mcp, std::int32_t level, const std::int32_t* rows, const std::int32_t* vars,
                 const double* values, std::int32_t count, const char* label,
                 std::int32_t* counter) {
  return Row_BlockFixKind(mcp, level, rows, PRESOLVE_KIND_BOUND, vars, values, 0.0, count, label,
                          counter);
}

void Row_BlockFixVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                          std::int32_t var, double value, double aux, std::int32_t* counter) {
  const PresolveView v = Presolve_View(mcp);
  // A variable fixed already has its record, and its entries left the
  // counts then: fixing it again would count them out twice.
  if (v.Fixed(var)) return;
  const double jactol = RowTolerance_Current().jactol;
  double* saved = Saved(mcp);
  PushRecord(mcp, v, level, row, kind, var, aux);
  const double d = value - saved[var - 1];
  v.lower[var - 1] = value;
  v.upper[var - 1] = value;
  saved[var - 1] = value;
  DropRowFromColumns(v, var, jactol);
  FollowMove(v, var, d);
  DropColumnFromRows(v, var, jactol);
  v.row_count[var - 1] = 0;
  v.col_count[var - 1] = 0;
  v.mark[var - 1] = 0;
  Row_BlockRowGone(var);
  *counter += 1;
}

int Row_BlockBoundKind(MCP* mcp, std::int32_t level, const std::int32_t* rows, std::int32_t kind,
                       const std::int32_t* vars, const double* lowers, const double* uppers,
                       double aux, std::int32_t count, const char* label, std::int32_t* counter,
                       std::int32_t force) {
  const RowTolerance tol = RowTolerance_Current();
  for (std::int32_t i = 0; i < count; ++i) {
    const char* fault = BoundFault(lowers[i], uppers[i], tol);
    if (fault != nullptr) return Row_BlockInfeasible(mcp, &rows[i], 1, label, fault);
  }
  if (Row_TraceLevel() >= 2) {
    char variable[kRowNameLength];
    char constraint[kRowNameLength];
    Output_Printf(OUTPUT_LOG, "%s Bounds Variables\n", label);
    for (std::int32_t i = 0; i < count; ++i) {
      Output_Printf(OUTPUT_LOG, "     %s lb = % 5.4e ub = % 5.4e (%s)\n",
                    Row_VariableName(mcp, vars[i], variable), lowers[i], uppers[i],
                    Row_ConstraintName(mcp, rows[i], constraint));
      PrintRowIfTraced(mcp, rows[i]);
    }
  }
  for (std::int32_t i = 0; i < count; ++i) {
    Row_BlockBoundVariable(mcp, level, rows[i], kind, vars[i], lowers[i], uppers[i], aux, force,
                           counter);
  }
  return ROW_CONTINUE;
}

int Row_BlockBound(MCP* mcp, std::int32_t level, const std::int32_t* rows,
                   const std::int32_t* vars, const double* lowers, const double* uppers,
                   std::int32_t count, const char* label, std::int32_t* counter) {
  return Row_BlockBoundKind(mcp, level, rows, PRESOLVE_KIND_BOUND, vars, lowers, uppers, 0.0,
                            count, label, counter, 0);
}

void Row_BlockBoundVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                            std::int32_t var, double lower, double upper, double aux,
                            std::int32_t force, std::int32_t* counter) {
  const RowTolerance tol = RowTolerance_Current();
  const PresolveView v = Presolve_View(mcp);
  const double lb = v.lower[var - 1];
  const double ub = v.upper[var - 1];
  const bool same_lower = RowCompare_Eq(lower, lb, tol.zerotol, tol.infinity);
  const bool same_upper = RowCompare_Eq(upper, ub, tol.zerotol, tol.infinity);
  if (!force && same_lower && same_upper) return;
  if (same_lower) lower = lb;
  if (same_upper) upper = ub;
  // A bound step never fixes a variable unless forced to.
  if (!force && RowCompare_Eq(lower, upper, tol.zerotol, tol.infinity)) return;
  PushRecord(mcp, v, level, row, kind, var, aux);
  double* saved = Saved(mcp);
  const double x0 = saved[var - 1];
  const double x1 = RowCompare_Median(lower, x0, upper);
  v.lower[var - 1] = lower;
  v.upper[var - 1] = upper;
  saved[var - 1] = x1;
  FollowMove(v, var, x1 - x0);
  *counter += 1;
}

int Row_BlockReport(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                    const char* suffix) {
  PrintRowsReport(mcp, rows, count, label, suffix, 2);
  return ROW_CONTINUE;
}

int Row_BlockInfeasible(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                        const char* reason) {
  PrintRowsReport(mcp, rows, count, label, reason, 0);
  return ROW_INFEASIBLE;
}

void Row_PrintBlockRows(MCP* mcp, const std::int32_t* rows, std::int32_t count) {
  if (Row_TraceLevel() < 3) return;
  const RowTolerance tol = RowTolerance_Current();
  const PresolveView v = Presolve_View(mcp);
  for (std::int32_t i = 0; i < count; ++i) {
    if (!v.Fixed(rows[i])) PrintOneRow(mcp, v, rows[i], tol);
  }
}
