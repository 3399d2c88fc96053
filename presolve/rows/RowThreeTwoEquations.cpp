// The three-row rules for a block with two free variables: the coupled
// equations (ThrRowEqnTwo) and the equations in x alone (ThrRowEqnZer).
#include "presolve/rows/RowThreeTwoEquations.hpp"

#include <cmath>

#include "core/Error.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowSolve.hpp"

namespace {

constexpr int X = 0;
constexpr int Y = 1;
constexpr int Z = 2;

void Require(bool holds, int line, const char* rule, const char* text) {
  if (!holds) Error_Report("Presolve_Row", line, rule, text);
}

// The listed point of (count > 0) nearest to p; ties keep the earlier one.
double NearestListed(std::int32_t count, const double points[3], double p) {
  double best = points[0];
  for (int k = 1; k < count; ++k) {
    if (std::fabs(points[k] - p) < std::fabs(best - p)) best = points[k];
  }
  return best;
}

// x chosen from the solution set: a listed point nearest to p, or p
// projected onto the segment. False for any other count.
bool ChooseX(const SolutionSet& set, double p, double* x) {
  if (set.count > 0) {
    *x = NearestListed(set.count, set.points, p);
  } else if (set.count == -1) {
    *x = ThreeRow_Nearest(set.points[0], p, set.points[1]);
  } else {
    return false;
  }
  return true;
}

bool AllFinite(const double* values, int count, double inf) {
  for (int k = 0; k < count; ++k) {
    if (!RowCompare_Finite(values[k], inf)) return false;
  }
  return true;
}

}  // namespace

ThreeRowPlan ThrRowEqnTwo(const ThreeRowArgs& blk) {
  const RowTolerance tol = RowTolerance_Current();
  const double(&m)[3][3] = blk.a;
  Require(!ThreeRow_Counts(m[1][1], tol), __LINE__, "ThrRowEqnTwo", "PRESOLVE_EQ(e, 0.0, jactol)");
  Require(!ThreeRow_Counts(m[2][2], tol), __LINE__, "ThrRowEqnTwo", "PRESOLVE_EQ(j, 0.0, jactol)");
  Require(ThreeRow_Counts(m[1][2], tol), __LINE__, "ThrRowEqnTwo", "PRESOLVE_NE(f, 0.0, jactol)");
  Require(ThreeRow_Counts(m[2][1], tol), __LINE__, "ThrRowEqnTwo", "PRESOLVE_NE(h, 0.0, jactol)");
  // Row y: z = pz*x + qz; row z: y = py*x + qy.
  const bool zOnX = ThreeRow_Counts(m[1][0], tol);
  const bool yOnX = ThreeRow_Counts(m[2][0], tol);
  const double pz = zOnX ? -m[1][0] / m[1][2] : 0.0;
  const double qz = -blk.b[1] / m[1][2];
  const double py = yOnX ? -m[2][0] / m[2][1] : 0.0;
  const double qy = -blk.b[2] / m[2][1];
  double alpha = m[0][0];
  double beta = blk.b[0];
  // A reduced coefficient or constant that cancels to rounding is 0.
  if (ThreeRow_Counts(m[0][1], tol)) {
    alpha = Row_RoundedDifference(alpha, -m[0][1] * py);
    beta = Row_RoundedDifference(beta, -m[0][1] * qy);
  }
  if (ThreeRow_Counts(m[0][2], tol)) {
    alpha = Row_RoundedDifference(alpha, -m[0][2] * pz);
    beta = Row_RoundedDifference(beta, -m[0][2] * qz);
  }
  const double reduction[6] = {pz, qz, py, qy, alpha, beta};
  SolutionSet set;
  if (!AllFinite(reduction, 6, tol.infinity) ||
      !Row_SolveOne(alpha, beta, blk.lower[X], blk.upper[X], &set.count, set.points)) {
    return ThreeRow_Leave();
  }
  if (set.count == 0) return ThreeRow_Infeasible("ThrRowEqnTwo");
  double x = set.points[0];
  if (set.count != 1) {
    // Several solutions: x, and through it y and z, may be chosen only when
    // no row outside the block sees them.
    const bool inside = ThreeRow_Inside(blk, X, tol) && (!yOnX || ThreeRow_Inside(blk, Y, tol)) &&
                        (!zOnX || ThreeRow_Inside(blk, Z, tol));
    if (!inside || !ChooseX(set, blk.saved[X], &x)) return ThreeRow_Leave();
  }
  const char* label = set.count == 1 ? "ThrRowEqnTwo Unique" : "ThrRowEqnTwo Col";
  // y and z from their equations, the division last (py * x + qy would
  // round the product after the division).
  const double y = -((yOnX ? m[2][0] * x : 0.0) + blk.b[2]) / m[2][1];
  const double z = -((zOnX ? m[1][0] * x : 0.0) + blk.b[1]) / m[1][2];
  ThreeRowPlan plan = ThreeRow_FixAll(label, x, y, z);
  plan.unique = set.count == 1;
  return plan;
}

namespace {

// y and z from row x at x0: the one of them in row x takes the value that
// makes row x vanish (y first); the other, and both when neither is in
// row x, is 0.
ThreeRowPlan FixFromRowX(const ThreeRowArgs& blk, const RowTolerance& tol, double x0) {
  const double(&m)[3][3] = blk.a;
  double y = 0.0;
  double z = 0.0;
  if (ThreeRow_Counts(m[0][1], tol)) {
    y = -(m[0][0] * x0 + blk.b[0]) / m[0][1];
  } else if (ThreeRow_Counts(m[0][2], tol)) {
    z = -(m[0][0] * x0 + blk.b[0]) / m[0][2];
  }
  return ThreeRow_FixAll("ThrRowEqnZer Col", x0, y, z);
}

// x0 belongs to the solution set (within zerotol).
bool InSet(const SolutionSet& set, double x0, const RowTolerance& tol) {
  if (set.count < 0) {
    return RowCompare_Ge(x0, set.points[0], tol.zerotol, tol.infinity) &&
           RowCompare_Ge(set.points[1], x0, tol.zerotol, tol.infinity);
  }
  for (int k = 0; k < set.count; ++k) {
    if (RowCompare_Eq(x0, set.points[k], tol.zerotol, tol.infinity)) return true;
  }
  return false;
}

// x0 = -b/a fixed by one equation (a counts); the other equation reads
// other*x + otherB = 0 and must hold at x0. When other does not count that
// equation is the constant otherB, which must vanish like any equation
// without x: a block whose second equation fails has no solution, and
// fixing it would leave a free variable's row away from zero.
ThreeRowPlan FixedByEquation(const ThreeRowArgs& blk, const RowTolerance& tol, double a, double b,
                             double other, double otherB) {
  const double x0 = -b / a;
  if (RowCompare_Gt(blk.lower[X], x0, tol.zerotol, tol.infinity) ||
      RowCompare_Gt(x0, blk.upper[X], tol.zerotol, tol.infinity)) {
    return ThreeRow_Infeasible("ThrRowEqnZer");
  }
  // Beyond an infinite bound: not a value that can be fixed or tested.
  if (!RowCompare_Finite(x0, tol.infinity)) return ThreeRow_Leave();
  const double residual = ThreeRow_Counts(other, tol) ? other * x0 + otherB : otherB;
  if (RowCompare_Ne(residual, 0.0, tol.zerotol, tol.infinity)) {
    return ThreeRow_Infeasible("ThrRowEqnZer");
  }
  const double(&m)[3][3] = blk.a;
  if (!ThreeRow_Counts(m[0][1], tol) && !ThreeRow_Counts(m[0][2], tol)) {
    // Neither y nor z can absorb row x: x0 must solve row x's own piece,
    // or the block has no solution at all.
    SolutionSet own;
    if (!Row_SolveOne(m[0][0], blk.b[0], blk.lower[X], blk.upper[X], &own.count, own.points)) {
      return ThreeRow_Leave();
    }
    if (!InSet(own, x0, tol)) return ThreeRow_Infeasible("ThrRowEqnZer");
  }
  if (!ThreeRow_Inside(blk, Y, tol) || !ThreeRow_Inside(blk, Z, tol)) return ThreeRow_Leave();
  return FixFromRowX(blk, tol, x0);
}

// x in neither equation (both must vanish identically).
ThreeRowPlan FreeOfEquations(const ThreeRowArgs& blk, const RowTolerance& tol) {
  if (RowCompare_Ne(blk.b[1], 0.0, tol.zerotol, tol.infinity) ||
      RowCompare_Ne(blk.b[2], 0.0, tol.zerotol, tol.infinity)) {
    return ThreeRow_Infeasible("ThrRowEqnZer");
  }
  const bool allInside =
      ThreeRow_Inside(blk, X, tol) && ThreeRow_Inside(blk, Y, tol) && ThreeRow_Inside(blk, Z, tol);
  const double(&m)[3][3] = blk.a;
  if (ThreeRow_Counts(m[0][1], tol) || ThreeRow_Counts(m[0][2], tol)) {
    if (!allInside) return ThreeRow_Leave();
    return FixFromRowX(blk, tol, ThreeRow_Nearest(blk.lower[X], blk.saved[X], blk.upper[X]));
  }
  SolutionSet own;
  if (!Row_SolveOne(m[0][0], blk.b[0], blk.lower[X], blk.upper[X], &own.count, own.points)) {
    return ThreeRow_Leave();
  }
  if (own.count == 0) return ThreeRow_Infeasible("ThrRowEqnZer");
  double x0 = 0.0;
  if (!allInside || !ChooseX(own, blk.saved[X], &x0)) return ThreeRow_Leave();
  return ThreeRow_FixAll("ThrRowEqnZer Col", x0,
                         ThreeRow_Nearest(blk.lower[Y], blk.saved[Y], blk.upper[Y]),
                         ThreeRow_Nearest(blk.lower[Z], blk.saved[Z], blk.upper[Z]));
}

}  // namespace

ThreeRowPlan ThrRowEqnZer(const ThreeRowArgs& blk) {
  const RowTolerance tol = RowTolerance_Current();
  const double(&m)[3][3] = blk.a;
  Require(!ThreeRow_Counts(m[1][1], tol), __LINE__, "ThrRowEqnZer", "PRESOLVE_EQ(e, 0.0, jactol)");
  Require(!ThreeRow_Counts(m[1][2], tol), __LINE__, "ThrRowEqnZer", "PRESOLVE_EQ(f, 0.0, jactol)");
  Require(!ThreeRow_Counts(m[2][1], tol), __LINE__, "ThrRowEqnZer", "PRESOLVE_EQ(h, 0.0, jactol)");
  Require(!ThreeRow_Counts(m[2][2], tol), __LINE__, "ThrRowEqnZer", "PRESOLVE_EQ(j, 0.0, jactol)");
  if (ThreeRow_Counts(m[1][0], tol)) {
    return FixedByEquation(blk, tol, m[1][0], blk.b[1], m[2][0], blk.b[2]);
  }
  if (ThreeRow_Counts(m[2][0], tol)) {
    return FixedByEquation(blk, tol, m[2][0], blk.b[2], m[1][0], blk.b[1]);
  }
  return FreeOfEquations(blk, tol);
}
