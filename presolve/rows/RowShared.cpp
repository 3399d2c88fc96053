// What every family of the row presolve shares: marks, tests, names, the
// primitive fix and bound changes and the printout of a row.
#include "presolve/rows/RowShared.hpp"

#include <cmath>
#include <limits>

#include "core/DenseVector.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/RecordStack.hpp"
#include "core/Workspace.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowCompare.hpp"

namespace {

// The working point, element j at offset j - 1.
double* Saved(MCP* mcp) { return DenseVector_Array(MCP_PresolveSavedX(mcp)); }

void PushRecord(MCP* mcp, const PresolveView& v, std::int32_t level, std::int32_t row,
                std::int32_t kind, std::int32_t var, double aux) {
  const PresolveRecord record = {v.lower[var - 1], v.upper[var - 1], aux, row, var, level, kind};
  RecordStack_Push(MCP_PresolveStack(mcp), record);
}

// savedX(var) moved by d: F of every unfixed row follows along the linear
// entries of column var. A zero move changes nothing (not even through an
// infinite coefficient).
void FollowMove(const PresolveView& v, std::int32_t var, double d) {
  if (d == 0.0) return;
  for (std::int32_t p = v.ColBegin(var); p < v.ColEnd(var); ++p) {
    const std::int32_t r = v.row[p];
    if (v.Fixed(r) || !Row_EntryLinear(v.entry_type[p])) continue;
    v.f[r - 1] = Row_RoundedDifference(v.f[r - 1], -v.value[p] * d);
  }
}

// Row var leaves the problem: its counted entries leave their columns.
void DropRowFromColumns(const PresolveView& v, std::int32_t var, double jactol) {
  for (std::int32_t k = v.RowBegin(var); k < v.RowEnd(var); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    if (v.Fixed(c) || !Row_EntryCounts(v.entry_type[p], v.value[p], jactol)) continue;
    v.col_count[c - 1] -= 1;
  }
}

// Column var leaves the problem: its counted entries leave their rows.
void DropColumnFromRows(const PresolveView& v, std::int32_t var, double jactol,
                        RowEntryGone on_gone) {
  for (std::int32_t p = v.ColBegin(var); p < v.ColEnd(var); ++p) {
    const std::int32_t r = v.row[p];
    if (v.Fixed(r) || !Row_EntryCounts(v.entry_type[p], v.value[p], jactol)) continue;
    v.row_count[r - 1] -= 1;
    if (on_gone != nullptr) on_gone(r);
  }
}

const char* Sense(double lower, double upper, double inf) {
  const bool lower_inf = !RowCompare_Finite(lower, inf);
  const bool upper_inf = !RowCompare_Finite(upper, inf);
  if (lower_inf && upper_inf) return " == 0\n";
  if (lower_inf) return " <= 0\n";
  if (upper_inf) return " >= 0\n";
  return " ?= 0\n";
}

}  // namespace

IDenseVector* Row_LinearMark() { return Workspace_IVector(3); }

bool Row_EntryCounts(std::int32_t type, double a, double jactol) {
  return !Row_EntryLinear(type) || !(std::fabs(a) <= jactol);
}

double Row_RoundedZero(double value, double scale) {
  if (!std::isfinite(scale) || !(std::fabs(value) <= Presolve_Rounding(scale))) return value;
  return 0.0;
}

double Row_RoundedDifference(double value, double term) {
  return Row_RoundedZero(value - term, std::fabs(value) + std::fabs(term));
}

RowSum RowSum_StartRow(const PresolveView& v, const double* saved, std::int32_t i) {
  RowSum sum = RowSum_Start(v.f[i - 1]);
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    sum.scale += std::fabs(v.value[p] * saved[v.entry_column[p] - 1]);
  }
  return sum;
}

double Row_RowLessTerm(const PresolveView& v, const double* saved, std::int32_t i, double term) {
  RowSum sum = RowSum_StartRow(v, saved, i);
  RowSum_Take(&sum, term);
  return RowSum_Value(sum);
}

namespace {

struct CarriedSearch {
  const PresolveView& v;
  const double* saved;
  double jactol;
  Presolve_ReadBudget reads;
  // A linear entry p that counts, in a fixed column or row.
  bool Linear(std::int32_t p) const {
    return Row_EntryLinear(v.entry_type[p]) && std::fabs(v.value[p]) > jactol;
  }
};

double SettledRounding(CarriedSearch* s, std::int32_t c, std::int32_t skip, int depth);

// What the fixed columns of row r other than c carry into it, their own
// values followed depth steps back (nothing at depth 0).
double RowCarried(CarriedSearch* s, std::int32_t r, std::int32_t c, int depth) {
  const PresolveView& v = s->v;
  if (depth < 0) return 0.0;
  return Presolve_SumOverRow(v, &s->reads, r, c, [&](std::int32_t p, std::int32_t j) {
    if (!v.Fixed(j) || !s->Linear(p)) return 0.0;
    return std::fabs(v.value[p]) * SettledRounding(s, j, r, depth);
  });
}

// How far the value of fixed column c may be off: the largest over the
// rows other than skip that left the problem and hold c of their rounding
// (with what their other fixed columns carry, depth steps back) over c's
// coefficient there.
double SettledRounding(CarriedSearch* s, std::int32_t c, std::int32_t skip, int depth) {
  const PresolveView& v = s->v;
  return Presolve_LargestOverColumn(v, &s->reads, c, skip, [&](std::int32_t p, std::int32_t r) {
    if (!v.Fixed(r) || !s->Linear(p)) return 0.0;
    if (!s->reads.Spend(v.RowEnd(r) - v.RowBegin(r))) return 0.0;
    const double own = Presolve_Rounding(RowSum_StartRow(v, s->saved, r).scale);
    const double carried = RowCarried(s, r, c, depth - 1);
    return (own + carried) / std::fabs(v.value[p]);
  });
}

}  // namespace

double Row_CarriedRounding(const PresolveView& v, const double* saved, std::int32_t i) {
  CarriedSearch s{v, saved, RowTolerance_Current().jactol, {}};
  const double carried = RowCarried(&s, i, i, 1);
  return std::isfinite(carried) ? carried : 0.0;
}

bool Row_ConstantMayBeCarried(const PresolveView& v, const double* saved, std::int32_t i,
                              double b) {
  if (Row_MayBeRounding(b)) return true;
  const double slack = Row_PointTolerance() + Row_UncountedReach(v, saved, i);
  return std::fabs(b) <= slack + Row_CarriedRounding(v, saved, i);
}

bool Row_SolvedValueReachesBeyond(const PresolveView& v, const double* saved, std::int32_t i,
                                  std::int32_t x, double a, double value) {
  if (value == v.lower[x - 1] || value == v.upper[x - 1]) return false;
  // One unit in the last place of the terms' sum and one of the division:
  // what the value is at least open by, not a bound on it (an exact
  // value, such as -1 from 3 x + 3, beside a coefficient 6e6 stays fixed).
  constexpr double kUnits = 2.0;
  const double ulp = std::numeric_limits<double>::epsilon();
  const double open = kUnits * ulp * RowSum_StartRow(v, saved, i).scale / std::fabs(a);
  const double jactol = RowTolerance_Current().jactol;
  for (std::int32_t p = v.ColBegin(x); p < v.ColEnd(x); ++p) {
    const std::int32_t r = v.row[p];
    if (r == i || v.Fixed(r) || !Row_EntryCounts(v.entry_type[p], v.value[p], jactol)) continue;
    if (std::fabs(v.value[p]) * open > Row_PointTolerance()) return true;
  }
  return false;
}

double Row_UncountedReach(const PresolveView& v, const double* saved, std::int32_t i) {
  const RowTolerance tol = RowTolerance_Current();
  double reach = 0.0;
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(c) || a == 0.0 || std::fabs(a) > tol.jactol) continue;
    if (!Row_EntryLinear(v.entry_type[p])) continue;
    const double l = v.lower[c - 1], u = v.upper[c - 1];
    if (!RowCompare_Finite(l, tol.infinity) || !RowCompare_Finite(u, tol.infinity)) {
      return HUGE_VAL;
    }
    reach += std::fabs(a) * std::fmax(std::fabs(l - saved[c - 1]), std::fabs(u - saved[c - 1]));
  }
  return reach;
}

bool Row_RowsMayMove(MCP* mcp, const std::int32_t* rows, std::int32_t count) {
  const PresolveView v = Presolve_View(mcp);
  const double* saved = Saved(mcp);
  for (std::int32_t k = 0; k < count; ++k) {
    if (Row_UncountedReach(v, saved, rows[k]) > Row_PointTolerance()) return true;
  }
  return false;
}

double Row_PointTolerance() {
  return 0.01 * Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE);
}

bool Row_MayBeRounding(double value) { return std::fabs(value) <= Row_PointTolerance(); }

bool Row_InfiniteSideMayBeRounding(double value, double lower, double upper) {
  const double bound = value > 0 ? lower : upper;
  return value != 0.0 && !RowCompare_Finite(bound, RowTolerance_Current().infinity) &&
         Row_MayBeRounding(value);
}

bool Row_ConstantSettlesOnRounding(double b, std::int32_t col_count) {
  return col_count != 0 && Row_MayBeRounding(b);
}

double Row_RootTolerance(double a) { return Row_PointTolerance() / std::fabs(a); }

int Row_TraceLevel() { return Presolve_OptionInt(OUTPUT_PRESOLVE_LEVEL); }

const char* Row_VariableName(const MCP* mcp, std::int32_t j, char* buffer) {
  MCP_FullVariableName(mcp, j, buffer, kRowNameLength);
  return buffer;
}

const char* Row_ConstraintName(const MCP* mcp, std::int32_t i, char* buffer) {
  MCP_FullConstraintName(mcp, i, buffer, kRowNameLength);
  return buffer;
}

bool Row_FixAt(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
               std::int32_t var, double value, double aux, RowEntryGone on_gone) {
  const PresolveView v = Presolve_View(mcp);
  // A fixed variable has its record already, and its entries left the
  // counts then: taking them out again would count them twice.
  if (v.Fixed(var)) return false;
  const double jactol = RowTolerance_Current().jactol;
  double* saved = Saved(mcp);
  PushRecord(mcp, v, level, row, kind, var, aux);
  const double d = value - saved[var - 1];
  v.lower[var - 1] = value;
  v.upper[var - 1] = value;
  saved[var - 1] = value;
  DropRowFromColumns(v, var, jactol);
  FollowMove(v, var, d);
  DropColumnFromRows(v, var, jactol, on_gone);
  v.row_count[var - 1] = 0;
  v.col_count[var - 1] = 0;
  v.mark[var - 1] = 0;
  return true;
}

void Row_BoundTo(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                 std::int32_t var, double lower, double upper, double aux) {
  const PresolveView v = Presolve_View(mcp);
  PushRecord(mcp, v, level, row, kind, var, aux);
  double* saved = Saved(mcp);
  const double old = saved[var - 1];
  const double moved = RowCompare_Median(lower, old, upper);
  v.lower[var - 1] = lower;
  v.upper[var - 1] = upper;
  saved[var - 1] = moved;
  FollowMove(v, var, moved - old);
}

void Row_PrintRow(MCP* mcp, std::int32_t r) {
  const RowTolerance tol = RowTolerance_Current();
  const PresolveView v = Presolve_View(mcp);
  if (v.Fixed(r)) return;
  const double* saved = Saved(mcp);
  const double lower = v.lower[r - 1];
  const double upper = v.upper[r - 1];
  double constant = v.f[r - 1];
  bool first = true;
  for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(c) || RowCompare_Eq(a, 0.0, tol.jactol, tol.infinity)) continue;
    if (first) {
      Output_Printf(OUTPUT_LOG, "     % 5.4e <= x[%4d] <= % 5.4e : % 5.4e*x[%4d]", lower, r,
                    upper, a, c);
    } else {
      Output_Printf(OUTPUT_LOG, " + % 5.4e*x[%4d]", a, c);
    }
    first = false;
    constant -= a * saved[c - 1];
  }
  if (first) {
    Output_Printf(OUTPUT_LOG, "     % 5.4e <= x[%4d] <= % 5.4e : % 5.4e", lower, r, upper,
                  constant);
  } else {
    Output_Printf(OUTPUT_LOG, " + % 5.4e", constant);
  }
  Output_Printf(OUTPUT_LOG, "%s", Sense(lower, upper, tol.infinity));
}

const char* Row_ValueFault(MCP* mcp, std::int32_t j, double value) {
  const RowTolerance tol = RowTolerance_Current();
  if (!RowCompare_Finite(value, tol.infinity)) return " Infinite Value";
  const double lower = DenseVector_Value(MCP_FullLower(mcp), j);
  const double upper = DenseVector_Value(MCP_FullUpper(mcp), j);
  if (RowCompare_Gt(lower, value, tol.zerotol, tol.infinity) ||
      RowCompare_Gt(value, upper, tol.zerotol, tol.infinity)) {
    return " Infeasible";
  }
  return nullptr;
}

void Row_PrintRows(MCP* mcp, const std::int32_t* rows, std::int32_t count) {
  if (Row_TraceLevel() < 3) return;
  for (std::int32_t k = 0; k < count; ++k) Row_PrintRow(mcp, rows[k]);
}

void Row_ReportRows(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                    const char* text, int threshold) {
  if (Row_TraceLevel() < threshold) return;
  char name[kRowNameLength];
  Output_Printf(OUTPUT_LOG, "%s%s\n", label, text);
  for (std::int32_t k = 0; k < count; ++k) {
    Output_Printf(OUTPUT_LOG, "     %s\n", Row_ConstraintName(mcp, rows[k], name));
    Row_PrintRows(mcp, &rows[k], 1);
  }
}

void Row_ReportValues(MCP* mcp, const std::int32_t* rows, const std::int32_t* vars,
                      const double* values, std::int32_t count, const char* label,
                      const char* heading) {
  if (Row_TraceLevel() < 2) return;
  char variable[kRowNameLength];
  char constraint[kRowNameLength];
  Output_Printf(OUTPUT_LOG, "%s %s\n", label, heading);
  for (std::int32_t k = 0; k < count; ++k) {
    Output_Printf(OUTPUT_LOG, "     %s = % 5.4e (%s)\n", Row_VariableName(mcp, vars[k], variable),
                  values[k], Row_ConstraintName(mcp, rows[k], constraint));
    Row_PrintRows(mcp, &rows[k], 1);
  }
}

void Row_ReportBounds(MCP* mcp, const std::int32_t* rows, const std::int32_t* vars,
                      const double* lowers, const double* uppers, std::int32_t count,
                      const char* label) {
  if (Row_TraceLevel() < 2) return;
  char variable[kRowNameLength];
  char constraint[kRowNameLength];
  Output_Printf(OUTPUT_LOG, "%s Bounds Variables\n", label);
  for (std::int32_t k = 0; k < count; ++k) {
    Output_Printf(OUTPUT_LOG, "     %s lb = % 5.4e ub = % 5.4e (%s)\n",
                  Row_VariableName(mcp, vars[k], variable), lowers[k], uppers[k],
                  Row_ConstraintName(mcp, rows[k], constraint));
    Row_PrintRows(mcp, &rows[k], 1);
  }
}
