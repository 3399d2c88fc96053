// Forcing rows with at most one counted entry: constant rows, rows in the
// row's own variable alone, and rows in one other variable, whose sign
// restricts that variable through its own row.
#include <cmath>

#include "core/IDenseVector.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowBlockRefine.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowForce.hpp"
#include "presolve/rows/RowForce_internal.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowSolve.hpp"

namespace {

// The listed point nearest to target; the first one wins a tie.
double Nearest(const SolutionSet& set, double target) {
  double best = set.points[0];
  for (std::int32_t k = 1; k < set.count; ++k) {
    if (std::fabs(set.points[k] - target) < std::fabs(best - target)) best = set.points[k];
  }
  return best;
}

// Keeps the listed points of set inside [lo, hi] (tolerance t).
void KeepInside(double lo, double hi, double t, const RowTolerance& tol, SolutionSet* set) {
  std::int32_t kept = 0;
  for (std::int32_t k = 0; k < set->count; ++k) {
    const double p = set->points[k];
    if (RowCompare_Gt(lo, p, t, tol.infinity)) continue;
    if (RowCompare_Gt(p, hi, t, tol.infinity)) continue;
    set->points[kept++] = p;
  }
  set->count = kept;
}

// How far past the range [lo, hi] that row i implies for x_j a point may
// lie and still count as inside: the range ends at the root of row i,
// a x_j + b, which rounds apart from the points that row j gives even
// where the two agree, so a point is inside while row i meets its sign
// within Row_PointTolerance there (and at least within zerotol).
double RangeSlack(const PresolveView& v, std::int32_t i, std::int32_t j, const RowTolerance& tol) {
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (v.entry_column[p] != j || RowCompare_Eq(v.value[p], 0.0, tol.jactol, tol.infinity)) {
      continue;
    }
    return std::fmax(tol.zerotol, Row_RootTolerance(v.value[p]));
  }
  return tol.zerotol;
}

// What row j holds besides constants, as row j's rule sees it.
enum class RowShape { kOnlyOwn, kOther, kNonlinear };

// Walks row j: its one counted entry in its own column gives d and the
// constant bj of F_j = d x_j + bj; no counted entry gives d = 0, bj = F_j.
RowShape OwnTerm(const PresolveView& v, const double* saved, std::int32_t j,
                 const RowTolerance& tol, double* d, double* bj) {
  *d = 0.0;
  *bj = v.f[j - 1];
  for (std::int32_t k = v.RowBegin(j); k < v.RowEnd(j); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t c = v.entry_column[p];
    if (v.Fixed(c) || !Row_EntryCounts(v.entry_type[p], v.value[p], tol.jactol)) continue;
    if (!Row_EntryLinear(v.entry_type[p])) return RowShape::kNonlinear;
    if (c != j) return RowShape::kOther;
    *d = v.value[p];
    *bj = Row_RowLessTerm(v, saved, j, *d * saved[j - 1]);
  }
  return RowShape::kOnlyOwn;
}

// Row j reads F_j = d x_j + bj with d < 0; row i confines x_j to [lo, hi].
// The solutions of row j inside the range decide x_j.
int ImplyFalling(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t j, double lo,
                 double hi, double d, double bj, const RowTolerance& tol,
                 std::int32_t* counter) {
  const PresolveView v = Presolve_View(mcp);
  const double lower = v.lower[j - 1];
  const double upper = v.upper[j - 1];
  SolutionSet set;
  // Unsettled, or a segment (a falling row has isolated solutions only):
  // row j gives nothing to apply, and the pair is left as it is.
  if (!Row_SolveOne(d, bj, lower, upper, &set.count, set.points) || set.count < 0) {
    return ROW_CONTINUE;
  }
  KeepInside(lo, hi, RangeSlack(v, i, j, tol), tol, &set);
  switch (set.count) {
    case 0:
      return Row_ReportInfeasible(mcp, &j, 1, "Force Imply One", " Infeasible");
    case 1:
      return RowForce_Fix(mcp, level, i, j, set.points[0], "Force Row Imply One", counter);
    case 2:
      if (RowCompare_Gt(set.points[0], lower, tol.zerotol, tol.infinity) ||
          RowCompare_Gt(upper, set.points[1], tol.zerotol, tol.infinity)) {
        return RowForce_Bound(mcp, level, i, j, set.points[0], set.points[1], "Force Imply One",
                              counter);
      }
      return ROW_CONTINUE;
    default:
      return ROW_CONTINUE;
  }
}

}  // namespace

int Row_ForceZero(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* counter) {
  const PresolveView v = Presolve_View(mcp);
  SolutionSet set;
  // An unsettled set has no finite description: the row is left alone.
  // F_i, exactly 0 when it cancels to rounding of the terms that formed it.
  const double f = Row_RowLessTerm(v, RowForce_Saved(mcp), i, 0.0);
  if (!Row_SolveOne(0.0, f, v.lower[i - 1], v.upper[i - 1], &set.count, set.points)) {
    return ROW_HANDLED;
  }
  if (set.count == 0) {
    // A constant within the rounding of its terms and of the values fixed
    // in it may be met anywhere: left alone.
    if (Row_ConstantMayBeCarried(v, RowForce_Saved(mcp), i, f)) return ROW_HANDLED;
    return Row_ReportInfeasible(mcp, &i, 1, "Force Row Zero", " Infeasible");
  }
  if (set.count == 1) {
    if (Row_ConstantSettlesOnRounding(f, v.col_count[i - 1])) return ROW_HANDLED;
    return RowForce_Fix(mcp, level, i, i, set.points[0], "Force Row Zero", counter);
  }
  if (set.count < 0) {
    // F_i vanishes: any x_i in its bounds will do, but only when no other
    // row depends on it.
    if (v.col_count[i - 1] != 0) return ROW_HANDLED;
    const double value =
        RowCompare_Median(set.points[0], RowForce_Saved(mcp)[i - 1], set.points[1]);
    return RowForce_Fix(mcp, level, i, i, value, "Force Row Zero", counter);
  }
  // A constant row has no pair of isolated solutions; should one be
  // reported, the row is left as it is.
  return ROW_HANDLED;
}

int Row_ForceSingle(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* counter) {
  const PresolveView v = Presolve_View(mcp);
  const RowTolerance tol = RowTolerance_Current();
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(j) || !Row_EntryCounts(v.entry_type[p], a, tol.jactol)) continue;
    // The row is marked linear: a nonlinear entry here is an inconsistency.
    if (!Row_EntryLinear(v.entry_type[p])) return ROW_CANNOT;
    const double b = Row_RowLessTerm(v, RowForce_Saved(mcp), i, a * RowForce_Saved(mcp)[j - 1]);
    if (j == i) return Row_ForceOne(mcp, level, i, v.lower[i - 1], v.upper[i - 1], a, b, counter);
    return Row_ForceOneImply(mcp, level, i, j, a, b, counter);
  }
  // The sweep counted one entry that is not there.
  return ROW_CANNOT;
}

int Row_ForceOne(MCP* mcp, std::int32_t level, std::int32_t i, double l, double u, double a,
                 double b, std::int32_t* counter) {
  const RowTolerance tol = RowTolerance_Current();
  SolutionSet set;
  // Unsettled, or a segment (a non-zero coefficient never gives one): the
  // row is left alone.
  if (!Row_SolveOne(a, b, l, u, &set.count, set.points) || set.count < 0) return ROW_HANDLED;
  if (set.count == 0) {
    if (Row_OneRowHasPoint(a, b, l, u, RowForce_Saved(mcp)[i - 1])) return ROW_HANDLED;
    return Row_ReportInfeasible(mcp, &i, 1, "Force Row One", " Infeasible");
  }
  if (set.count == 1) {
    // A value known only to a rounding that other rows magnify is left to
    // the solver.
    if (Row_SolvedValueReachesBeyond(Presolve_View(mcp), RowForce_Saved(mcp), i, i, a,
                                     set.points[0])) {
      return ROW_HANDLED;
    }
    return RowForce_Fix(mcp, level, i, i, set.points[0], "Force Row One", counter);
  }
  if (IDenseVector_Value(MCP_PresolveColCount(mcp), i) == 1) {
    // x_i appears in row i alone: any of its solutions will do.
    const double value = Nearest(set, RowForce_Saved(mcp)[i - 1]);
    return RowForce_Fix(mcp, level, i, i, value, "Force Row One", counter);
  }
  const bool lower_finite = RowCompare_Finite(l, tol.infinity);
  if (lower_finite && RowCompare_Finite(u, tol.infinity)) return ROW_HANDLED;
  // With an infinite bound the solutions are the two ends of the range.
  return RowForce_Bound(mcp, level, i, i, set.points[0], set.points[1],
                        lower_finite ? "Force Row One UB Inf" : "Force Row One LB Inf", counter);
}

int Row_ForceOneImply(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t j, double a,
                      double b, std::int32_t* counter) {
  const PresolveView v = Presolve_View(mcp);
  const RowTolerance tol = RowTolerance_Current();
  const double inf = tol.infinity;
  const bool lower_finite = RowCompare_Finite(v.lower[i - 1], inf);
  const bool upper_finite = RowCompare_Finite(v.upper[i - 1], inf);
  if (!lower_finite && !upper_finite) {
    // x_i is free, so F_i = 0 at every solution. A root within the point
    // tolerance of row i (measured on F_i) past a bound of x_j is that
    // bound: the bound may be another row's root, rounded apart.
    const double root = -b / a;
    const double slack = Row_RootTolerance(a);
    double value = root;
    if (std::fabs(RowCompare_Median(v.lower[j - 1], root, v.upper[j - 1]) - root) <= slack) {
      value = RowCompare_Median(v.lower[j - 1], root, v.upper[j - 1]);
    }
    return Row_ReportImplied(mcp, &i, &j, &value, 1, "Force Row One");
  }
  if (lower_finite && upper_finite) return ROW_CONTINUE;
  // x_i cannot rest at its infinite bound: F_i <= 0 when that bound is the
  // lower one, F_i >= 0 when it is the upper one. a x_j + b then limits x_j
  // from above or from below at c.
  const double c = -b / a;
  const bool limits_above = (a > 0) == !lower_finite;
  const double lo = limits_above ? -inf : c;
  const double hi = limits_above ? c : inf;
  if (!RowCompare_Gt(lo, v.lower[j - 1], tol.zerotol, inf) &&
      !RowCompare_Gt(v.upper[j - 1], hi, tol.zerotol, inf)) {
    return ROW_CONTINUE;
  }
  return Row_ForceImply(mcp, level, i, j, lo, hi, counter);
}

int Row_ForceImply(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t j, double lo,
                   double hi, std::int32_t* counter) {
  const PresolveView v = Presolve_View(mcp);
  const RowTolerance tol = RowTolerance_Current();
  const double lower = v.lower[j - 1];
  const double upper = v.upper[j - 1];
  // A range that only touches the box at one end (up to the rounding of
  // row i's root, RangeSlack) is left to other rules.
  const double slack = RangeSlack(v, i, j, tol);
  if (RowCompare_Eq(lo, upper, slack, tol.infinity) ||
      RowCompare_Eq(hi, lower, slack, tol.infinity)) {
    return ROW_CONTINUE;
  }
  if (IDenseVector_Value(Row_LinearMark(), j) == 0) return ROW_CONTINUE;
  double d = 0.0;
  double bj = 0.0;
  switch (OwnTerm(v, RowForce_Saved(mcp), j, tol, &d, &bj)) {
    case RowShape::kNonlinear:
      return ROW_CANNOT;  // row j is marked linear
    case RowShape::kOther:
      return ROW_CONTINUE;
    case RowShape::kOnlyOwn:
      break;
  }
  if (RowCompare_Ne(d, 0.0, tol.jactol, tol.infinity)) {
    if (d >= 0) return ROW_CONTINUE;
    return ImplyFalling(mcp, level, i, j, lo, hi, d, bj, tol, counter);
  }
  // Row j vanishes identically: x_j may lie anywhere in the range.
  if (!RowCompare_Eq(bj, 0.0, tol.zerotol, tol.infinity)) return ROW_CONTINUE;
  return RowForce_Bound(mcp, level, i, j, std::fmax(lower, lo), std::fmin(upper, hi),
                        "Force Imply Zer", counter);
}
