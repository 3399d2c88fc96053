// One-row block rules: the exact solution set of a*x + b perp l <= x <= u
// decides whether x is fixed, reported infeasible or left alone.
#include "presolve/rows/RowBlockOne.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowBlockReduce.hpp"
#include "presolve/rows/RowBlockRefine.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowSolve.hpp"

namespace {

double SavedX(MCP* mcp, std::int32_t x) { return DenseVector_Value(MCP_PresolveSavedX(mcp), x); }

std::int32_t ColumnCount(MCP* mcp, std::int32_t x) {
  return IDenseVector_Value(MCP_PresolveColCount(mcp), x);
}

// The listed point nearest to saved; a tie keeps the earlier (lower) one.
double Nearest(const SolutionSet& set, double saved) {
  double best = set.points[0];
  for (std::int32_t i = 1; i < set.count; ++i) {
    if (std::fabs(set.points[i] - saved) < std::fabs(best - saved)) best = set.points[i];
  }
  return best;
}

// The note on a row with several isolated solutions that is left alone.
void ReportAntitone(MCP* mcp, std::int32_t x, double l, double u, double a, double b,
                    const SolutionSet& set) {
  const int trace = Row_TraceLevel();
  if (trace < 2) return;
  char variable[kRowNameLength];
  char constraint[kRowNameLength];
  Row_VariableName(mcp, x, variable);
  Row_ConstraintName(mcp, x, constraint);
  if (trace == 2) {
    Output_Printf(OUTPUT_LOG, "OneRow (%s): Antitone: (%s) has %d solutions.\n", constraint,
                  variable, set.count);
    return;
  }
  Output_Printf(OUTPUT_LOG,
                "OneRow (%s): Antitone:\n  %5.4e <= (%s) <= %5.4e  perp  %5.4e*x + %5.4e  -->  "
                "(%s) = %5.4e",
                constraint, l, variable, u, a, b, variable, set.points[0]);
  for (std::int32_t i = 1; i < set.count; ++i) {
    Output_Printf(OUTPUT_LOG, " or %5.4e", set.points[i]);
  }
  Output_Printf(OUTPUT_LOG, "\n");
}

// Fixes x at value for its own row.
int FixOwn(MCP* mcp, std::int32_t level, std::int32_t x, double value, const char* label,
           std::int32_t* counter) {
  return Row_BlockFix(mcp, level, &x, &x, &value, 1, label, counter);
}

// The rule: x the variable and row (1-based), l, u its bounds, a, b the
// row's coefficient and constant; counter counts fixes. Returns
// ROW_CONTINUE, ROW_HANDLED or ROW_INFEASIBLE.
int OneRow(MCP* mcp, std::int32_t level, std::int32_t* counter, std::int32_t x, double l,
           double u, double a, double b) {
  const RowTolerance tol = RowTolerance_Current();
  SolutionSet set;
  // A solution beyond an infinite end cannot be written down: leave the
  // row to the solver.
  if (!Row_SolveOne(a, b, l, u, &set.count, set.points)) return ROW_CONTINUE;
  if (set.count == 0) {
    if (Row_OneRowHasPoint(a, b, l, u, SavedX(mcp, x))) return ROW_CONTINUE;
    // A constant row that misses by what the values fixed in it carry.
    if (RowCompare_Eq(a, 0.0, tol.jactol, tol.infinity) &&
        Row_ConstantMayBeCarried(Presolve_View(mcp), DenseVector_Array(MCP_PresolveSavedX(mcp)),
                                 x, b)) {
      return ROW_CONTINUE;
    }
    return Row_BlockInfeasible(mcp, &x, 1, "OneRow", "Infeasible");
  }
  if (set.count == 1) {
    if (RowCompare_Eq(a, 0.0, tol.jactol, tol.infinity) &&
        Row_ConstantSettlesOnRounding(b, ColumnCount(mcp, x))) {
      return ROW_CONTINUE;
    }
    // A value known only to a rounding that other rows magnify is left to
    // the solver.
    if (Row_SolvedValueReachesBeyond(Presolve_View(mcp), DenseVector_Array(MCP_PresolveSavedX(mcp)),
                                     x, x, a, set.points[0])) {
      return ROW_CONTINUE;
    }
    return FixOwn(mcp, level, x, set.points[0], "OneRow Unique", counter);
  }
  if (set.count > 1) {
    // Any of the points solves the row; one may be chosen only when x
    // appears in no other row.
    if (ColumnCount(mcp, x) == 1) {
      return FixOwn(mcp, level, x, Nearest(set, SavedX(mcp, x)), "OneRowCol", counter);
    }
    ReportAntitone(mcp, x, l, u, a, b, set);
    return ROW_CONTINUE;
  }
  // The row vanishes: every x in [points[0], points[1]] solves it.
  if (ColumnCount(mcp, x) == 0) {
    const double value = RowCompare_Median(set.points[0], SavedX(mcp, x), set.points[1]);
    return FixOwn(mcp, level, x, value, "ZerRowCol", counter);
  }
  return ROW_CONTINUE;
}

}  // namespace

int Row_OneBlock(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower, double* upper,
                 double (*coef)[4], double* constant, std::int32_t* counter, std::int32_t*,
                 const double*) {
  return OneRow(mcp, level, counter, rows[0], lower[0], upper[0], coef[0][0], constant[0]);
}
