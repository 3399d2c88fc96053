// Row-level rules: candidate rows, the decision of a linear row from its
// activity bounds, forcing and redundant rows, the short-row rules, the
// entry of the bound rounds and the scratch they share.
//
// Why the reductions here are sound (z* any solution of the problem before
// the reduction, z' any solution of the reduced problem the solver returns,
// "the lifted point" z' with the removed variables at their values after
// postsolve):
//
// Infeasible row. F_i(z) lies in [L - c, U - c] at every z within the
// bounds, so a row whose range misses what z_i's bounds ask of F_i (0 for
// a free z_i, <= 0 or >= 0 for a half-bounded one) has no solution. The
// reductions made before it are all shared by every solution or leave the
// rest of the problem unchanged (below), so the problem itself has none.
//
// Forcing row (Force_Lower; Force_Upper mirrors it). F_i must be 0 (free
// z_i) or <= 0 (only u_i finite) and F_i >= L - c >= -tol, so every z*
// attains L: each column of the row sits at the bound giving its lower
// contribution. These pins are shared by every solution. Pinning z_j drops
// row j's condition (F_j >= 0 at l_j, F_j <= 0 at u_j) from the reduced
// problem; z_i is fixed too, at a value no row needs (see below), and the
// postsolve moves it to restore the dropped conditions. The force is made
// only when that always works:
//  - z_i's own entry is zero: then F_i = L - c ~ 0 whatever z_i is, z_i
//    may decrease without bound (l_i = -inf in both cases) and, because its
//    column has no active entry outside row i and the pinned rows, moving
//    it changes only the pinned rows. Each pinned row j either keeps its
//    condition at every point within the bounds (its own activity range
//    shows it), or has a linear entry of z_i whose sign makes a smaller z_i
//    push F_j towards its condition; all of them ask z_i to be small
//    enough, which the postsolve of z_i's record (MCP_PostsolveRow) finds.
//    Because z_i changes no live row, z* restricted to the reduced problem
//    still solves it.
//  - z_i's own entry is not zero: then z_i is pinned like the others and
//    cannot move, so every pinned row must keep its condition over its
//    whole activity range.
//
// Redundant row. F_i <= U - c <= tol everywhere (or >= L - c >= -tol), so
// z_i at u_i (l_i) meets row i's condition at every z': the lifted point
// solves row i. When F_i stays strictly below zero (above), every z* has
// z_i there too, and the reduction is shared by all solutions. When F_i may
// vanish, other values of z_i may solve the row as well; the fix is then a
// choice, made only when z_i's column has no active entry in another live
// row, so that the choice does not change the reduced problem.
#include "presolve/PresolveSkew.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveSkew_internal.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowSolve.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr double kTol = PRESOLVE_ROW_TOLERANCE;
// How many steps back the rounding of settled values is followed (a value
// solved from a row whose other values were solved from further rows).
constexpr int kChainDepth = 2;
constexpr int kNameLength = 256;

double Inf() { return Presolve_Infinity(); }

// Row `row` has a non-zero linear entry in the unfixed column col.
bool RowHasColumn(const PresolveView& v, std::int32_t row, std::int32_t col) {
  for (std::int32_t k = v.RowBegin(row); k < v.RowEnd(row); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (v.entry_column[p] == col && Presolve_NonZero(v.value[p])) return true;
  }
  return false;
}

// Row j is linear in its unfixed columns and keeps F_j >= 0 (nonneg) or
// F_j <= 0 at every point within the current bounds.
bool KeepsCondition(const PresolveView& v, std::int32_t j, bool nonneg) {
  for (std::int32_t k = v.RowBegin(j); k < v.RowEnd(j); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (v.entry_type[p] != 0 && !v.Fixed(v.entry_column[p])) return false;
  }
  const RowActivity a = Presolve_ActivityOf(v, j, v.lower, v.upper);
  const double tol = Skew_RowTolerance(a);
  if (nonneg) return a.klo == 0 && a.lo - a.c >= -tol;
  return a.khi == 0 && a.hi - a.c <= tol;
}

// The coefficient of column i in row j (the sum of its stored entries);
// *linear is false when one of them is nonlinear.
double CoefficientOf(const PresolveView& v, std::int32_t j, std::int32_t i, bool* linear) {
  double sum = 0.0;
  *linear = true;
  for (std::int32_t k = v.RowBegin(j); k < v.RowEnd(j); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (v.entry_column[p] != i) continue;
    sum += v.value[p];
    if (v.entry_type[p] != 0) *linear = false;
  }
  return sum;
}

// Whether forcing row i at its lower (upper) activity bound keeps every
// dropped row condition within reach of the postsolve (see the banner).
bool ForceIsSound(MCP* mcp, std::int32_t i, bool lower) {
  const PresolveView v = Presolve_View(mcp);
  const bool zi_pinned = RowHasColumn(v, i, i);
  if (!zi_pinned && !Skew_ColumnIsolated(v, i, i)) return false;
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (j == i || v.Fixed(j) || !Presolve_NonZero(a)) continue;
    // Pinned at its lower bound row j needs F_j >= 0, at its upper F_j <= 0.
    const bool nonneg = lower ? a > 0 : a < 0;
    if (KeepsCondition(v, j, nonneg)) continue;
    if (zi_pinned) return false;
    bool linear = false;
    const double b = CoefficientOf(v, j, i, &linear);
    if (!linear || !Presolve_NonZero(b)) return false;
    // z_i moves down after Force_Lower and up after Force_Upper.
    const bool raises_fj = lower ? b < 0 : b > 0;
    if (raises_fj != nonneg) return false;
  }
  return true;
}

void ForceRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count, bool lower,
              const char* operation) {
  const PresolveView v = Presolve_View(mcp);
  const double inf = Inf();
  *count += 1;
  const double li = v.lower[i - 1];
  const double ui = v.upper[i - 1];
  const double zi = li > -inf ? li : (ui < inf ? ui : 0.0);
  MCP_FixVariable(mcp, level, i, PRESOLVE_KIND_FIX, i, zi);
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(j) || !Presolve_NonZero(a)) continue;
    const bool to_lower = lower ? a > 0 : a < 0;
    const double bound = to_lower ? v.lower[j - 1] : v.upper[j - 1];
    if (!(std::fabs(bound) < inf)) Error_Report("Presolve_Skew", __LINE__, operation, "cannot happen");
    *count += 1;
    MCP_FixVariable(mcp, level, i, PRESOLVE_KIND_BOUND, j, bound);
  }
  v.mark[i - 1] = 0;
}

// One row of the forcing pass over the current bounds; adds the variables
// fixed by forcing to *forced and the redundant rows to *redundant.
int ForceOneRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* forced,
                std::int32_t* redundant) {
  const PresolveView v = Presolve_View(mcp);
  if (v.Fixed(i)) {
    v.mark[i - 1] = 0;
    return MCP_CONTINUE;
  }
  const RowActivity act = Presolve_ActivityOf(v, i, v.lower, v.upper);
  Skew_StoreActivity(Skew_CurrentActivity(), i, act);
  if (act.klo != 0 && act.khi != 0) return MCP_CONTINUE;
  const RowVerdict r = Skew_Judge(v, i, act, v.lower[i - 1], v.upper[i - 1]);
  switch (r.decision) {
    case RowDecision::kNone:
      return MCP_CONTINUE;
    case RowDecision::kInfeasible:
      return Skew_ReportInfeasible(mcp, i, r.sense, RoundKind::kPlain, r.L, r.U, act.c);
    case RowDecision::kForceLower:
      if (ForceIsSound(mcp, i, true)) Force_Lower(mcp, level, i, forced);
      return MCP_CONTINUE;
    case RowDecision::kForceUpper:
      if (ForceIsSound(mcp, i, false)) Force_Upper(mcp, level, i, forced);
      return MCP_CONTINUE;
    default:
      if (Skew_RedundantIsNecessary(v, i, r, act.c) ||
          Skew_ColumnIsolated(v, i, 0)) {
        *redundant += 1;
        Skew_FixRedundant(mcp, level, i, r.decision);
      }
      return MCP_CONTINUE;
  }
}

// A point of a solution set: the listed point, or the finite end of a
// segment nearest to 0.
double PickPoint(std::int32_t count, const double points[3]) {
  if (count > 0) return points[0];
  const double inf = Inf();
  if (std::fabs(points[0]) < inf) return points[0];
  if (std::fabs(points[1]) < inf) return points[1];
  return 0.0;
}

// The constant of a row holds the rounding of the terms F was evaluated
// with. From a start far away (terms near 1e6 where the row settles near 1)
// that exceeds the row tolerance, and a value solved from the constant is
// off by as much, which larger coefficients elsewhere carry into rows that
// then look infeasible. Stale: the rounding exceeds the row tolerance and
// many times what an evaluation at the solved value v would leave.
bool ConstantIsStale(const RowActivity& act, double a, double v) {
  constexpr double kFarAway = 8.0;
  const double rounding = Presolve_Rounding(act.scale);
  const double at_value = Presolve_Rounding(std::fabs(act.c) + std::fabs(a * v));
  return rounding > kTol && rounding > kFarAway * at_value;
}

// The value of z_i solved from one-entry row i (coefficient a, bounds l,
// u), made exact when the constant is stale: z_i moves to the value, F is
// evaluated there and the row is solved once more. F undefined there is
// MCP_UNDEFINED ("Function undefined.\n"), as after a round of the rules.
int RefineFromFreshF(MCP* mcp, std::int32_t i, double a, double l, double u,
                     const RowActivity& act, double* value) {
  if (!ConstantIsStale(act, a, *value)) return MCP_CONTINUE;
  Presolve_SetValue(mcp, i, *value);
  if (MCP_EvaluateFullFunction(mcp) != 0) {
    Output_Printf(OUTPUT_LOG, "Function undefined.\n");
    return MCP_UNDEFINED;
  }
  Presolve_MarkEvaluated(mcp);
  const PresolveView v = Presolve_View(mcp);
  const RowActivity fresh = Presolve_ActivityOf(v, i, v.lower, v.upper);
  std::int32_t solutions = 0;
  double points[3] = {0.0, 0.0, 0.0};
  if (Row_SolveOne(a, -fresh.c, l, u, &solutions, points) && solutions == 1) {
    *value = points[0];
  }
  return MCP_CONTINUE;
}

// The view a search for carried rounding reads and the reads it has left
// (past them it stops, and the row is judged as without it).
struct CarriedWalk {
  const PresolveView& v;
  Presolve_ReadBudget reads;
};

// Entry p is linear and its coefficient counts (outside jactol).
bool LinearCounts(const PresolveView& v, std::int32_t p) {
  return v.entry_type[p] == 0 && Presolve_NonZero(v.value[p]);
}

// How far row r leaves the values of its columns open when all of them
// are fixed and F_r vanishes within the row's tolerance (the row may have
// settled them): |F_r| plus the rounding of its terms. -1 when the row
// holds nothing (an unfixed column, or F_r clear of zero).
double HeldMargin(CarriedWalk* w, std::int32_t r) {
  const PresolveView& v = w->v;
  if (!w->reads.Spend(2 * (v.RowEnd(r) - v.RowBegin(r)))) return -1.0;
  for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (!v.Fixed(v.entry_column[p]) && Presolve_EntryCounts(v.entry_type[p], v.value[p])) {
      return -1.0;
    }
  }
  const RowActivity act = Presolve_ActivityOf(v, r, v.lower, v.upper);
  const double miss = std::fabs(v.f[r - 1]);
  if (!(miss <= Skew_RowTolerance(act))) return -1.0;
  return miss + Presolve_Rounding(act.scale);
}

// Rows r and s (margins mr, ms) solved together for columns j and k
// (coefficients arj, ark in row r, asj, ask in row s) leave x_j open by
// (|ask| mr + |ark| ms) / |det|. Nearly proportional rows settle no pair
// (they are duplicates, or one of the values came from elsewhere): 0.
double PairRounding(double arj, double ark, double asj, double ask, double mr, double ms) {
  constexpr double kLeastDeterminant = 1e-6;
  const double det = arj * ask - ark * asj;
  const double size = std::fabs(arj * ask) + std::fabs(ark * asj);
  if (!(std::fabs(det) > kLeastDeterminant * size)) return 0.0;
  return (std::fabs(ask) * mr + std::fabs(ark) * ms) / std::fabs(det);
}

// The largest rounding that row r (margin mr, coefficient arj of column
// j) and another row s (not skip) holding the same values leave x_j with,
// taking each other fixed column k of row r as solved together with x_j.
double PairedRounding(CarriedWalk* w, std::int32_t r, std::int32_t j, double arj, double mr,
                      std::int32_t skip) {
  const PresolveView& v = w->v;
  double largest = 0.0;
  for (std::int32_t q = v.RowBegin(r); q < v.RowEnd(r); ++q) {
    const std::int32_t e = v.row_entry[q] - 1;
    const std::int32_t k = v.entry_column[e];
    if (k == j || !LinearCounts(v, e)) continue;
    if (!w->reads.Spend(v.ColEnd(k) - v.ColBegin(k))) return largest;
    for (std::int32_t p = v.ColBegin(k); p < v.ColEnd(k); ++p) {
      const std::int32_t s = v.row[p];
      if (s == r || s == skip || v.entry_type[p] != 0) continue;
      if (!w->reads.Spend(v.RowEnd(s) - v.RowBegin(s))) return largest;
      bool linear = false;
      const double asj = CoefficientOf(v, s, j, &linear);
      if (!linear || !Presolve_NonZero(asj)) continue;
      const double ms = HeldMargin(w, s);
      if (ms < 0.0) continue;
      largest = std::fmax(largest, PairRounding(arj, v.value[e], asj, v.value[p], mr, ms));
    }
  }
  return largest;
}

double SettledRounding(CarriedWalk* w, std::int32_t j, std::int32_t skip, int depth);

// The rounding that the other settled values of row r bring into a value
// solved from it for column j: their coefficients times their own
// rounding (taken from rows other than r), followed depth steps back.
double ChainedRounding(CarriedWalk* w, std::int32_t r, std::int32_t j, int depth) {
  const PresolveView& v = w->v;
  if (depth == 0) return 0.0;
  return Presolve_SumOverRow(v, &w->reads, r, j, [&](std::int32_t e, std::int32_t k) {
    if (!LinearCounts(v, e)) return 0.0;
    return std::fabs(v.value[e]) * SettledRounding(w, k, r, depth - 1);
  });
}

// The rounding the value of fixed column j carries: a value solved from a
// row is known only as closely as that row's terms and its other settled
// values round, divided by the coefficient it was solved through (a row of
// terms near 5e3 that settles x_j through a coefficient 0.5 leaves it some
// 7e-11 open, and a row with coefficient 2e3 in x_j may miss by 1.4e-7 on
// that alone), and a value solved from two rows together as closely as
// their determinant allows. The largest over the rows other than row skip
// that hold the value; 0 when none does (a bound, or a value no row pins).
// depth: how many steps back the settled values of those rows are
// followed.
double SettledRounding(CarriedWalk* w, std::int32_t j, std::int32_t skip, int depth) {
  const PresolveView& v = w->v;
  return Presolve_LargestOverColumn(v, &w->reads, j, skip, [&](std::int32_t p, std::int32_t r) {
    const double a = v.value[p];
    if (!LinearCounts(v, p)) return 0.0;
    const double mr = HeldMargin(w, r);
    if (mr < 0.0) return 0.0;
    return std::fmax((mr + ChainedRounding(w, r, j, depth)) / std::fabs(a),
                     PairedRounding(w, r, j, a, mr, skip));
  });
}

// The rounding row i's constant carries from the settled values of its
// fixed columns: F_i took their terms when they were fixed, each off by
// its coefficient times the value's own rounding. -1 when the search ran
// out of reads before it was done.
double CarriedRounding(const PresolveView& v, std::int32_t i) {
  CarriedWalk w{v, {}};
  double carried = 0.0;
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    if (!v.Fixed(j) || !LinearCounts(v, p)) continue;
    carried += std::fabs(v.value[p]) * SettledRounding(&w, j, i, kChainDepth);
    if (w.reads.Spent()) return -1.0;
  }
  return carried;
}

DenseVector* CombinedLowerVector(MCP* mcp) { return mcp->lower_r; }
DenseVector* CombinedUpperVector(MCP* mcp) { return mcp->upper_r; }

}  // namespace

// ---------------------------------------------------------------------------
// Decisions and reports

RowSense Skew_Sense(double l, double u) {
  const double inf = Inf();
  const bool lower_finite = l > -inf;
  const bool upper_finite = u < inf;
  if (!lower_finite && !upper_finite) return RowSense::kEquation;
  if (!lower_finite) return RowSense::kLessEqual;
  if (!upper_finite) return RowSense::kGreaterEqual;
  return RowSense::kBoxed;
}

double Skew_RowTolerance(const RowActivity& a) {
  const double rounding = Presolve_Rounding(a.scale);
  return std::isfinite(rounding) && rounding > kTol ? rounding : kTol;
}

RowDecision Skew_Decide(RowSense sense, double L, double U, double c, double tol) {
  switch (sense) {
    case RowSense::kEquation:
      if (U < c - tol || L > c + tol) return RowDecision::kInfeasible;
      if (L >= c - tol) return RowDecision::kForceLower;
      if (U <= c + tol) return RowDecision::kForceUpper;
      return RowDecision::kNone;
    case RowSense::kLessEqual:
      if (L > c + tol) return RowDecision::kInfeasible;
      if (L >= c - tol) return RowDecision::kForceLower;
      if (U <= c + tol) return RowDecision::kRedundantUpper;
      return RowDecision::kNone;
    case RowSense::kGreaterEqual:
      if (U < c - tol) return RowDecision::kInfeasible;
      if (U <= c + tol) return RowDecision::kForceUpper;
      if (L >= c - tol) return RowDecision::kRedundantLower;
      return RowDecision::kNone;
    case RowSense::kBoxed:
      if (U <= c + tol) return RowDecision::kBoxUpper;
      if (L >= c - tol) return RowDecision::kBoxLower;
      return RowDecision::kNone;
  }
  return RowDecision::kNone;
}

bool Skew_RedundantIsNecessary(const PresolveView& v, std::int32_t i, const RowVerdict& r,
                               double c) {
  const bool upper =
      r.decision == RowDecision::kRedundantUpper || r.decision == RowDecision::kBoxUpper;
  const auto strict = [&](double tol) { return upper ? r.U < c - tol : r.L > c + tol; };
  // The rounding carried in is looked for only where the plain test holds;
  // a search cut short leaves the plain test's answer.
  if (!strict(r.tol)) return false;
  const double carried = CarriedRounding(v, i);
  return carried < 0.0 || strict(r.tol + carried);
}

int Skew_ReportInfeasible(MCP* mcp, std::int32_t i, RowSense sense, RoundKind round, double L,
                          double U, double c) {
  const char* label = "Equality";
  if (sense == RowSense::kLessEqual) {
    label = round == RoundKind::kRecursive ? "LE ineqaulity" : "LE inequality";
  } else if (sense == RowSense::kGreaterEqual) {
    label = "GE inequality";
  }
  const char* prefix = "";
  if (round == RoundKind::kImplied) prefix = "implied ";
  if (round == RoundKind::kRecursive) prefix = "recursive ";
  char name[kNameLength];
  MCP_FullConstraintName(mcp, i, name, kNameLength);
  Output_Printf(OUTPUT_LOG, "%s (%s): %sinfeasible: rhs: %5.4e lb: %5.4e(%5.4e) ub: %5.4e(%5.4e)\n",
                label, name, prefix, c, L, L - c, U, U - c);
  return MCP_INFEASIBLE;
}

RowVerdict Skew_Judge(const PresolveView& v, std::int32_t i, const RowActivity& a, double lower,
                      double upper) {
  RowVerdict r;
  Skew_EffectiveBounds(a, &r.L, &r.U);
  r.tol = Skew_RowTolerance(a);
  r.sense = Skew_Sense(lower, upper);
  r.decision = Skew_Decide(r.sense, r.L, r.U, a.c, r.tol);
  if (r.decision != RowDecision::kInfeasible) return r;
  // A miss is only a verdict beyond the rounding that the settled values
  // of the row's fixed columns brought into its constant (rare, so only
  // looked for here).
  const double carried = CarriedRounding(v, i);
  if (!(carried > 0.0)) return r;  // none, or a search cut short
  r.tol += carried;
  if (std::isfinite(r.tol)) {
    r.decision = Skew_Decide(r.sense, r.L, r.U, a.c, r.tol);
  } else {
    r.decision = RowDecision::kNone;  // nothing can be told
  }
  return r;
}

void Skew_EffectiveBounds(const RowActivity& a, double* L, double* U) {
  const double inf = Inf();
  *L = a.klo != 0 ? -inf : a.lo;
  *U = a.khi != 0 ? inf : a.hi;
}

bool Skew_ColumnIsolated(const PresolveView& v, std::int32_t i, std::int32_t pinned) {
  for (std::int32_t p = v.ColBegin(i); p < v.ColEnd(i); ++p) {
    const std::int32_t r = v.row[p];
    if (r == i || v.Fixed(r) || !Presolve_EntryCounts(v.entry_type[p], v.value[p])) continue;
    if (pinned != 0 && r != pinned && RowHasColumn(v, pinned, r)) continue;
    return false;
  }
  return true;
}

void Skew_FixRedundant(MCP* mcp, std::int32_t level, std::int32_t i, RowDecision decision) {
  const bool upper = decision == RowDecision::kRedundantUpper || decision == RowDecision::kBoxUpper;
  const bool boxed = decision == RowDecision::kBoxUpper || decision == RowDecision::kBoxLower;
  const double value = upper ? DenseVector_Value(mcp->upper, i) : DenseVector_Value(mcp->lower, i);
  MCP_FixVariable(mcp, level, i, boxed ? PRESOLVE_KIND_BOUND : PRESOLVE_KIND_FIX, i, value);
}

// ---------------------------------------------------------------------------
// Candidate rows and classes

std::int32_t MCP_MarkCandidateRows(MCP* mcp) {
  const PresolveView v = Presolve_View(mcp);
  std::int32_t count = 0;
  for (std::int32_t i = 1; i <= v.n; ++i) {
    v.mark[i - 1] = 0;
    if (v.Fixed(i)) continue;
    bool linear = true;
    for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i) && linear; ++k) {
      const std::int32_t p = v.row_entry[k] - 1;
      if (v.entry_type[p] != 0 && !v.Fixed(v.entry_column[p])) linear = false;
    }
    if (linear) {
      v.mark[i - 1] = 1;
      count += 1;
    }
  }
  return count;
}

namespace {

// Row i has the shape of a constraint row in the optimality conditions of
// a QP or LP (F_i = a'x - b, z_i its multiplier, which enters the rows of
// x as -a_ij z_i): z_i has no entry of its own in the row, and the row's
// other entries and those of z_i's column mirror each other with opposite
// signs, all of them linear. column is scratch of n zeros, left so.
bool ShapedAsConstraint(const PresolveView& v, std::int32_t i, double* column) {
  bool shaped = true;
  for (std::int32_t p = v.ColBegin(i); p < v.ColEnd(i); ++p) {
    if (!Presolve_NonZero(v.value[p])) continue;
    if (v.entry_type[p] != 0 || v.row[p] == i) shaped = false;
    column[v.row[p] - 1] = v.value[p];
  }
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i) && shaped; ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    if (!Presolve_NonZero(v.value[p])) continue;
    if (v.entry_type[p] != 0 || !(column[j - 1] * v.value[p] < 0.0)) shaped = false;
    column[j - 1] = 0.0;  // matched
  }
  for (std::int32_t p = v.ColBegin(i); p < v.ColEnd(i); ++p) {
    if (column[v.row[p] - 1] != 0.0) shaped = false;  // no mirror in the row
    column[v.row[p] - 1] = 0.0;
  }
  return shaped;
}

}  // namespace

void Skew_CheckClasses(MCP* mcp) {
  const PresolveView v = Presolve_View(mcp);
  DenseVector_Size(mcp->lower_r, v.n);
  DenseVector_FillZero(mcp->lower_r, v.n);
  double* column = DenseVector_Array(mcp->lower_r);
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (v.row_type[i - 1] != 0 && !ShapedAsConstraint(v, i, column)) v.row_type[i - 1] = 0;
  }
}

std::int32_t MCP_CheckConstraintSets(MCP* mcp) {
  const PresolveView v = Presolve_View(mcp);
  std::int32_t count = 0;
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (v.row_type[i - 1] != 0) count += 1;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Short rows

int Skew_ZeroRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count) {
  std::int32_t forced = 0;
  std::int32_t redundant = 0;
  const int status = ForceOneRow(mcp, level, i, &forced, &redundant);
  *count = forced + redundant;
  return status;
}

// Row i reads F_i = a z_i + b when its only active entry is z_i's own. For
// a > 0 the solution is unique (the median of l_i, -b/a and u_i) and every
// solution of the problem has it, so fixing z_i there is shared by all
// solutions and keeps row i solved. Several solutions (a <= 0) make the fix
// a choice, made only when z_i's column has no active entry in another live
// row. No solution (possible only with an infinite bound) is infeasibility.
int Skew_OneRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count) {
  *count = 0;
  double a[2] = {0.0, 0.0};
  std::int32_t col[2] = {0, 0};
  double l[2] = {0.0, 0.0};
  double u[2] = {0.0, 0.0};
  if (Presolve_RowTwo(mcp, i, &a[0], &col[0], &l[0], &u[0], &a[1], &col[1], &l[1], &u[1])) {
    return MCP_CONTINUE;  // more than one active entry
  }
  if (col[0] != i) return MCP_CONTINUE;
  const PresolveView v = Presolve_View(mcp);
  // F_i = a z_i - c: the constant leaves out the terms of the coefficients
  // that count as zero, as the activity does.
  const RowActivity act = Presolve_ActivityOf(v, i, v.lower, v.upper);
  std::int32_t solutions = 0;
  double points[3] = {0.0, 0.0, 0.0};
  if (!Row_SolveOne(a[0], -act.c, l[0], u[0], &solutions, points)) return MCP_CONTINUE;
  if (solutions == 0) {
    // Within the rounding of the row's terms the row may still have a
    // solution: only a row that misses by more is infeasible.
    const RowVerdict r = Skew_Judge(v, i, act, l[0], u[0]);
    if (r.decision != RowDecision::kInfeasible) return MCP_CONTINUE;
    return Skew_ReportInfeasible(mcp, i, r.sense, RoundKind::kPlain, r.L, r.U, act.c);
  }
  if (solutions != 1 && !Skew_ColumnIsolated(v, i, 0)) return MCP_CONTINUE;
  double value = PickPoint(solutions, points);
  const int status = RefineFromFreshF(mcp, i, a[0], l[0], u[0], act, &value);
  if (status != MCP_CONTINUE) return status;
  // A value known only to a rounding that other rows magnify is left to
  // the solver (measured after the refinement, which may have made the
  // constant exact).
  if (Row_SolvedValueReachesBeyond(v, DenseVector_Array(MCP_PresolveSavedX(mcp)), i, i, a[0],
                                   value)) {
    return MCP_CONTINUE;
  }
  MCP_FixVariable(mcp, level, i, PRESOLVE_KIND_BOUND, i, value);
  *count = 1;
  return MCP_CONTINUE;
}

int Skew_TwoRow(MCP*, std::int32_t, std::int32_t, std::int32_t* count) {
  *count = 0;
  return MCP_CONTINUE;
}

// ---------------------------------------------------------------------------
// Forcing rows

void Force_Lower(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count) {
  ForceRow(mcp, level, i, count, true, "Force_Lower");
}

void Force_Upper(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count) {
  ForceRow(mcp, level, i, count, false, "Force_Upper");
}

int Skew_ForceRows(MCP* mcp, std::int32_t level, std::int32_t* forced, std::int32_t* redundant) {
  *forced = 0;
  *redundant = 0;
  const std::int32_t n = mcp->n;
  const ActivitySet current = Skew_CurrentActivity();
  DenseVector_SetLength(current.lo, n);
  DenseVector_SetLength(current.hi, n);
  DenseVector_SetLength(current.c, n);
  IDenseVector_SetLength(current.klo, n);
  IDenseVector_SetLength(current.khi, n);
  const std::int32_t* mark = Presolve_View(mcp).mark;
  for (;;) {
    std::int32_t f = 0;
    std::int32_t r = 0;
    for (std::int32_t i = 1; i <= n; ++i) {
      if (mark[i - 1] == 0) continue;
      const int status = ForceOneRow(mcp, level, i, &f, &r);
      if (status != MCP_CONTINUE) return status;
    }
    *forced += f;
    *redundant += r;
    if (f + r == 0) return MCP_CONTINUE;
  }
}

int Skew_DuplicateRows(MCP*, std::int32_t, std::int32_t* duplicated) {
  *duplicated = 0;
  return MCP_CONTINUE;
}

// ---------------------------------------------------------------------------
// Bound rounds: entry and scratch

int Skew_BoundRounds(MCP* mcp, std::int32_t level, std::int32_t* fixed, std::int32_t* forced,
                     std::int32_t* redundant, std::int32_t* freed, std::int32_t* changes) {
  *fixed = 0;
  *forced = 0;
  *redundant = 0;
  *freed = 0;
  *changes = 0;
  DenseVector_Size(mcp->lower_r, mcp->n);
  DenseVector_Size(mcp->upper_r, mcp->n);
  const bool recursive = Presolve_OptionBool(PRESOLVE_RECURSIVE);
  for (const std::int32_t row_class : {1, -1}) {
    int status =
        Skew_ImpliedRound(mcp, level, row_class, fixed, forced, redundant, freed, changes);
    if (status != MCP_CONTINUE) return status;
    if (!recursive) continue;
    status = Skew_RecursiveRound(mcp, level, row_class, fixed, forced, redundant, freed, changes);
    if (status != MCP_CONTINUE) return status;
  }
  return MCP_CONTINUE;
}

DerivedBounds Skew_ImpliedSet() {
  return {Workspace_Vector(4), Workspace_Vector(5), Workspace_IVector(6), Workspace_IVector(7)};
}

DerivedBounds Skew_RecursiveSet() {
  return {Workspace_Vector(9), Workspace_Vector(10), Workspace_IVector(10), Workspace_IVector(11)};
}

ActivitySet Skew_CurrentActivity() {
  return {Workspace_Vector(1), Workspace_Vector(2), Workspace_Vector(3), Workspace_IVector(4),
          Workspace_IVector(5)};
}

ActivitySet Skew_CombinedActivity() {
  return {Workspace_Vector(6), Workspace_Vector(7), Workspace_Vector(8), Workspace_IVector(8),
          Workspace_IVector(9)};
}

ActivitySet Skew_RecursiveActivity() {
  return {Workspace_Vector(11), Workspace_Vector(12), Workspace_Vector(13), Workspace_IVector(12),
          Workspace_IVector(13)};
}

void Skew_StoreActivity(const ActivitySet& s, std::int32_t i, const RowActivity& a) {
  DenseVector_SetValue(s.lo, i, a.lo);
  DenseVector_SetValue(s.hi, i, a.hi);
  DenseVector_SetValue(s.c, i, a.c);
  IDenseVector_SetValue(s.klo, i, a.klo);
  IDenseVector_SetValue(s.khi, i, a.khi);
}

void Skew_Combine(MCP* mcp, std::int32_t j, bool recursive) {
  const DerivedBounds implied = Skew_ImpliedSet();
  double lo = DenseVector_Value(mcp->lower, j);
  double up = DenseVector_Value(mcp->upper, j);
  if (DenseVector_Value(implied.lower, j) > lo) lo = DenseVector_Value(implied.lower, j);
  if (DenseVector_Value(implied.upper, j) < up) up = DenseVector_Value(implied.upper, j);
  if (recursive) {
    const DerivedBounds rec = Skew_RecursiveSet();
    if (DenseVector_Value(rec.lower, j) > lo) lo = DenseVector_Value(rec.lower, j);
    if (DenseVector_Value(rec.upper, j) < up) up = DenseVector_Value(rec.upper, j);
  }
  // A fixed column keeps its value: derived bounds say nothing more.
  if (Presolve_IsFixed(mcp, j)) lo = up = DenseVector_Value(mcp->lower, j);
  DenseVector_SetValue(CombinedLowerVector(mcp), j, lo);
  DenseVector_SetValue(CombinedUpperVector(mcp), j, up);
}

void Skew_CombineAll(MCP* mcp, bool recursive) {
  DenseVector_SetLength(CombinedLowerVector(mcp), mcp->n);
  DenseVector_SetLength(CombinedUpperVector(mcp), mcp->n);
  for (std::int32_t j = 1; j <= mcp->n; ++j) Skew_Combine(mcp, j, recursive);
}

void Skew_CombineRow(MCP* mcp, std::int32_t i, bool recursive) {
  const PresolveView v = Presolve_View(mcp);
  Skew_Combine(mcp, i, recursive);
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    Skew_Combine(mcp, v.entry_column[v.row_entry[k] - 1], recursive);
  }
}

const double* Skew_CombinedLower(MCP* mcp) { return DenseVector_Array(CombinedLowerVector(mcp)); }
const double* Skew_CombinedUpper(MCP* mcp) { return DenseVector_Array(CombinedUpperVector(mcp)); }

bool Skew_ExplicitLower(MCP* mcp, std::int32_t level, std::int32_t j, const DerivedBounds& d,
                        std::int32_t* changes) {
  const double bound = DenseVector_Value(d.lower, j);
  if (!(bound > DenseVector_Value(mcp->lower, j) + kTol)) return false;
  Presolve_SetBounds(mcp, level, IDenseVector_Value(d.lower_row, j), PRESOLVE_KIND_FIX, j, bound,
                     DenseVector_Value(mcp->upper, j));
  *changes += 1;
  return true;
}

bool Skew_ExplicitUpper(MCP* mcp, std::int32_t level, std::int32_t j, const DerivedBounds& d,
                        std::int32_t* changes) {
  const double bound = DenseVector_Value(d.upper, j);
  if (!(bound < DenseVector_Value(mcp->upper, j) - kTol)) return false;
  Presolve_SetBounds(mcp, level, IDenseVector_Value(d.upper_row, j), PRESOLVE_KIND_FIX, j,
                     DenseVector_Value(mcp->lower, j), bound);
  *changes += 1;
  return true;
}

std::int32_t* Skew_FreedFlags() { return IDenseVector_Array(Workspace_IVector(14)); }

void Skew_ForgetLower(const DerivedBounds& d, std::int32_t j) {
  DenseVector_SetValue(d.lower, j, -Inf());
  IDenseVector_SetValue(d.lower_row, j, 0);
}

void Skew_ForgetUpper(const DerivedBounds& d, std::int32_t j) {
  DenseVector_SetValue(d.upper, j, Inf());
  IDenseVector_SetValue(d.upper_row, j, 0);
}

int Skew_CombinedForceRows(MCP* mcp, std::int32_t level, std::int32_t row_class,
                           const CombinedRound& round, std::int32_t* forced,
                           std::int32_t* redundant, std::int32_t* changes) {
  const PresolveView v = Presolve_View(mcp);
  Skew_CombineAll(mcp, round.recursive);
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (v.mark[i - 1] == 0 || v.row_type[i - 1] != row_class || v.Fixed(i)) continue;
    Skew_CombineRow(mcp, i, round.recursive);
    const RowActivity act =
        Presolve_ActivityOf(v, i, Skew_CombinedLower(mcp), Skew_CombinedUpper(mcp));
    Skew_StoreActivity(round.store, i, act);
    if (act.klo != 0 && act.khi != 0) continue;
    const RowVerdict r = Skew_Judge(v, i, act, v.lower[i - 1], v.upper[i - 1]);
    switch (r.decision) {
      case RowDecision::kNone:
        break;
      case RowDecision::kInfeasible:
        return Skew_ReportInfeasible(mcp, i, r.sense, round.kind, r.L, r.U, act.c);
      case RowDecision::kForceLower:
      case RowDecision::kForceUpper:
        round.pin(mcp, level, i, forced, changes, r.decision == RowDecision::kForceLower);
        break;
      case RowDecision::kRedundantLower:
      case RowDecision::kRedundantUpper:
        round.redundant(mcp, level, i, redundant, changes);
        break;
      default:
        *redundant += 1;
        Skew_FixRedundant(mcp, level, i, r.decision);
        break;
    }
  }
  return MCP_CONTINUE;
}

void Skew_PinRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* forced,
                 std::int32_t* changes, bool lower, const char* operation,
                 void (*tighten)(MCP* mcp, std::int32_t level, std::int32_t j, bool lower,
                                 std::int32_t* changes)) {
  const PresolveView v = Presolve_View(mcp);
  const double* lo = Skew_CombinedLower(mcp);
  const double* up = Skew_CombinedUpper(mcp);
  const double inf = Inf();
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(j) || !Presolve_NonZero(a) || lo[j - 1] == up[j - 1]) continue;
    const bool at_lower = lower == (a > 0);
    if (at_lower ? !(lo[j - 1] > -inf) : !(up[j - 1] < inf)) {
      Error_Report("Presolve_Skew", __LINE__, operation, "cannot happen");
    }
    tighten(mcp, level, j, at_lower, changes);
  }
  if (lower) {
    Force_Lower(mcp, level, i, forced);
  } else {
    Force_Upper(mcp, level, i, forced);
  }
}
