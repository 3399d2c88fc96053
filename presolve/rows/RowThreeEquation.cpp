// The three-row rule for a block with one free variable and its equation.
//
// The free variable z is eliminated through its equation:
//   z = alpha*x + beta*y + gamma.
// What remains is a two-variable piece in x and y whose solution sets
// (Row_SolveTwo) describe every solution of the block. The block's rows see
// no variable outside the block, so a value shared by every solution may
// always be fixed; a choice among several solutions is made only for
// variables whose columns lie wholly inside the block.
#include "presolve/rows/RowThreeEquation.hpp"

#include <cmath>

#include "core/Error.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowSolve.hpp"

namespace {

constexpr int X = 0;
constexpr int Y = 1;
constexpr int Z = 2;

// z in terms of x and y, and the two-variable piece
//   F_x = a*x + b*y + r,  F_y = c*x + d*y + s.
struct Reduced {
  double alpha, beta, gamma;
  double a, b, r, c, d, s;
  double r_scale, s_scale;  // the magnitudes of the terms that formed r and s
  // Row z itself, zx*x + zy*y + zz*z + zb = 0 (coefficients that do not
  // count as 0): z is taken from it with the division last, which keeps a
  // value the row's terms give exactly where alpha*x + beta*y + gamma would
  // round each product after the division.
  double zx, zy, zz, zb;
  double ZAt(double x, double y) const { return -(zx * x + zy * y + zb) / zz; }
};

// The scale of constant i of the block: at least its magnitude.
double ScaleOf(const ThreeRowArgs& blk, int i) {
  return std::fmax(blk.scale[i], std::fabs(blk.b[i]));
}

// constant - coefficient * gamma, with the scale of the terms that formed
// it (gamma carries the rounding of row z's constant over |zz|); exactly 0
// when it cancels to that rounding.
double ReducedConstant(double constant, double constant_scale, double coefficient, double gamma,
                       double gamma_scale, double* scale) {
  *scale = constant_scale + std::fabs(coefficient) * gamma_scale;
  return Row_RoundedZero(constant + coefficient * gamma, *scale);
}

// Eliminates z. False when a value of the reduction is not finite: the
// block then cannot be described in finite values and is left alone.
bool Eliminate(const ThreeRowArgs& blk, const RowTolerance& tol, Reduced* red) {
  const double(&m)[3][3] = blk.a;
  red->alpha = ThreeRow_Counts(m[2][0], tol) ? -m[2][0] / m[2][2] : 0.0;
  red->beta = ThreeRow_Counts(m[2][1], tol) ? -m[2][1] / m[2][2] : 0.0;
  red->gamma = -blk.b[2] / m[2][2];
  red->zx = ThreeRow_Counts(m[2][0], tol) ? m[2][0] : 0.0;
  red->zy = ThreeRow_Counts(m[2][1], tol) ? m[2][1] : 0.0;
  red->zz = m[2][2];
  red->zb = blk.b[2];
  red->a = m[0][0];
  red->b = m[0][1];
  red->r = blk.b[0];
  red->c = m[1][0];
  red->d = m[1][1];
  red->s = blk.b[1];
  red->r_scale = ScaleOf(blk, 0);
  red->s_scale = ScaleOf(blk, 1);
  const double gamma_scale = ScaleOf(blk, 2) / std::fabs(m[2][2]);
  // A reduced coefficient or constant that cancels to rounding is 0.
  if (ThreeRow_Counts(m[0][2], tol)) {
    red->a = Row_RoundedDifference(red->a, -m[0][2] * red->alpha);
    red->b = Row_RoundedDifference(red->b, -m[0][2] * red->beta);
    red->r = ReducedConstant(red->r, red->r_scale, m[0][2], red->gamma, gamma_scale,
                             &red->r_scale);
  }
  if (ThreeRow_Counts(m[1][2], tol)) {
    red->c = Row_RoundedDifference(red->c, -m[1][2] * red->alpha);
    red->d = Row_RoundedDifference(red->d, -m[1][2] * red->beta);
    red->s = ReducedConstant(red->s, red->s_scale, m[1][2], red->gamma, gamma_scale,
                             &red->s_scale);
  }
  const double values[9] = {red->alpha, red->beta, red->gamma, red->a, red->b,
                            red->r,     red->c,    red->d,     red->s};
  for (double v : values) {
    if (!RowCompare_Finite(v, tol.infinity)) return false;
  }
  return true;
}

// A value from a boundary set: its first point, or for a segment the point
// nearest to p.
double FromSet(std::int32_t count, const double* points, double p) {
  return count < 0 ? ThreeRow_Nearest(points[0], p, points[1]) : points[0];
}

// A closed block: any solution may be taken; the first set that has one
// decides. False when no set has one.
bool PickAny(const ThreeRowArgs& blk, const TwoSolution& sol, double* x, double* y) {
  const double px = blk.saved[X];
  const double py = blk.saved[Y];
  if (sol.nsol_xl != 0) {
    *x = blk.lower[X];
    *y = FromSet(sol.nsol_xl, sol.sol_xl, py);
  } else if (sol.nsol_xu != 0) {
    *x = blk.upper[X];
    *y = FromSet(sol.nsol_xu, sol.sol_xu, py);
  } else if (sol.nsol_yl != 0) {
    *x = FromSet(sol.nsol_yl, sol.sol_yl, px);
    *y = blk.lower[Y];
  } else if (sol.nsol_yu != 0) {
    *x = FromSet(sol.nsol_yu, sol.sol_yu, px);
    *y = blk.upper[Y];
  } else if (sol.nsol_eq == 1) {
    *x = sol.sol_x[0];
    *y = sol.sol_y[0];
  } else if (sol.nsol_eq == -1) {
    *x = sol.sol_x[0];
    *y = ThreeRow_Nearest(blk.lower[Y], py, blk.upper[Y]);
  } else if (sol.nsol_eq == -2) {
    *x = ThreeRow_Nearest(blk.lower[X], px, blk.upper[X]);
    *y = sol.sol_y[0];
  } else if (sol.nsol_eq == -3 || sol.nsol_eq == -4) {
    // y on the line, kept in its bounds: a steep line rounds it past them.
    *x = ThreeRow_Nearest(sol.sol_x[0], px, sol.sol_x[1]);
    *y = ThreeRow_Nearest(blk.lower[Y], -(sol.coeff[0] * *x + sol.coeff[2]) / sol.coeff[1],
                          blk.upper[Y]);
  } else if (sol.nsol_eq == -5) {
    *x = ThreeRow_Nearest(blk.lower[X], px, blk.upper[X]);
    *y = ThreeRow_Nearest(blk.lower[Y], py, blk.upper[Y]);
  } else {
    return false;
  }
  return true;
}

// Non-empty parts of the solution (the four boundary sets and the interior).
int NonEmptyParts(const TwoSolution& sol) {
  return (sol.nsol_xl != 0) + (sol.nsol_xu != 0) + (sol.nsol_yl != 0) + (sol.nsol_yu != 0) +
         (sol.nsol_eq != 0);
}

// One of the cases in which every solution has the bound variable v at vb
// and its partner w ranges over the set (n, S).
struct EdgeCase {
  int v;
  double vb;
  std::int32_t n;
  const double* S;
  const char* closedLabel;
  const char* pairLabel;
  const char* ownLabel;
  const char* rangeLabel;
};

// Plans an edge case; false when the case takes no action (the next case
// is tried).
bool PlanEdge(const ThreeRowArgs& blk, const Reduced& red, const RowTolerance& tol,
              std::int32_t skipPartial, const EdgeCase& e, ThreeRowPlan* plan) {
  const int w = e.v == X ? Y : X;
  const double wv = FromSet(e.n, e.S, blk.saved[w]);
  const double x = e.v == X ? e.vb : wv;
  const double y = e.v == X ? wv : e.vb;
  if (!ThreeRow_Counts(blk.a[2][w], tol)) {
    // z does not depend on the partner.
    const double z = red.ZAt(x, y);  // w's term does not count
    if (ThreeRow_Inside(blk, w, tol)) {
      *plan = ThreeRow_FixAll(e.closedLabel, x, y, z);
    } else if (e.n < 0) {
      *plan = ThreeRow_BoundFirst(ThreeRow_FixTwo(e.pairLabel, e.v, e.vb, Z, z), e.rangeLabel, w,
                                  e.S[0], e.S[1]);
    } else {
      return false;
    }
    return true;
  }
  if (ThreeRow_InsideTwo(blk, w, Z, tol)) {
    *plan = ThreeRow_FixAll(e.ownLabel, x, y, red.ZAt(x, y));
  } else if (e.n < 0) {
    // Fixing v alone leaves z tied to the partner's range.
    *plan = skipPartial ? ThreeRow_Leave()
                        : ThreeRow_BoundFirst(ThreeRow_FixOne(e.ownLabel, e.v, e.vb), e.rangeLabel,
                                              w, e.S[0], e.S[1]);
  } else {
    return false;
  }
  return true;
}

// One of the two cases in which every solution has the variable v strictly
// inside at vb and its partner anywhere in the range [lo, hi]. skipPartial
// leaves the block alone where fixing v alone would be all there is to do.
struct MidCase {
  int v;
  double vb;
  double lo, hi;
  std::int32_t skipPartial;
  const char* closedLabel;
  const char* pairLabel;
  const char* ownLabel;
};

ThreeRowPlan PlanMid(const ThreeRowArgs& blk, const Reduced& red, const RowTolerance& tol,
                     const MidCase& c) {
  const int w = c.v == X ? Y : X;
  const double wv = ThreeRow_Nearest(c.lo, blk.saved[w], c.hi);
  const double x = c.v == X ? c.vb : wv;
  const double y = c.v == X ? wv : c.vb;
  if (!ThreeRow_Counts(blk.a[2][w], tol)) {
    const double z = red.ZAt(x, y);  // w's term does not count
    if (!ThreeRow_Inside(blk, w, tol)) return ThreeRow_FixTwo(c.pairLabel, c.v, c.vb, Z, z);
    return ThreeRow_FixAll(c.closedLabel, x, y, z);
  }
  if (!ThreeRow_InsideTwo(blk, w, Z, tol)) {
    return c.skipPartial ? ThreeRow_Leave() : ThreeRow_FixOne(c.ownLabel, c.v, c.vb);
  }
  return ThreeRow_FixAll(c.ownLabel, x, y, red.ZAt(x, y));
}

// The six cases in which one part alone holds every solution. False when
// none of them takes an action.
bool PlanSingleSet(const ThreeRowArgs& blk, const TwoSolution& sol, const Reduced& red,
                   const RowTolerance& tol, std::int32_t skipPartial, ThreeRowPlan* plan) {
  if (NonEmptyParts(sol) != 1) return false;
  const EdgeCase edges[4] = {
      {X, blk.lower[X], sol.nsol_xl, sol.sol_xl, "ThrRowEqnCol x Lower", "ThrRowEqn x,z Lower",
       "ThrRowEqn x Lower", "ThrRowEqn y Range"},
      {X, blk.upper[X], sol.nsol_xu, sol.sol_xu, "ThrRowEqnCol x Upper", "ThrRowEqn x,z Upper",
       "ThrRowEqn x Upper", "ThrRowEqn y Range"},
      {Y, blk.lower[Y], sol.nsol_yl, sol.sol_yl, "ThrRowEqnCol y Lower", "ThrRowEqn y,z Lower",
       "ThrRowEqn y Lower", "ThrRowEqn x Range"},
      {Y, blk.upper[Y], sol.nsol_yu, sol.sol_yu, "ThrRowEqnCol y Upper", "ThrRowEqn y,z Upper",
       "ThrRowEqn y Upper", "ThrRowEqn x Range"},
  };
  for (int k = 0; k < 2; ++k) {
    if (edges[k].n != 0) return PlanEdge(blk, red, tol, skipPartial, edges[k], plan);
  }
  if (sol.nsol_eq == -1) {
    // Fixing x alone is done even where the partial fixes are skipped.
    *plan = PlanMid(blk, red, tol,
                    {X, sol.sol_x[0], sol.sol_y[0], sol.sol_y[1], 0, "ThrRowEqnCol x Mid",
                     "ThrRowEqn x,z Mid", "ThrRowEqn x Mid"});
    return true;
  }
  for (int k = 2; k < 4; ++k) {
    if (edges[k].n != 0) return PlanEdge(blk, red, tol, skipPartial, edges[k], plan);
  }
  if (sol.nsol_eq == -2) {
    *plan = PlanMid(blk, red, tol,
                    {Y, sol.sol_y[0], sol.sol_x[0], sol.sol_x[1], skipPartial,
                     "ThrRowEqnCol y Mid", "ThrRowEqn y,z Mid", "ThrRowEqn y Mid"});
    return true;
  }
  return false;
}

void Require(bool holds, int line, const char* text) {
  if (!holds) Error_Report("Presolve_Row", line, "ThrRowEqn", text);
}

// What is left: a unique solution is fixed, anything else left alone.
ThreeRowPlan PlanRest(const TwoSolution& sol, const ThreeRowArgs& blk, const Reduced& red) {
  if (sol.nsol_xl < 0 || sol.nsol_xu < 0 || sol.nsol_yl < 0 || sol.nsol_yu < 0 || sol.nsol_eq < 0) {
    ThreeRowPlan plan = ThreeRow_Leave();
    plan.note = THREE_NOTE_INFINITE;
    return plan;
  }
  const int total = sol.nsol_xl + sol.nsol_xu + sol.nsol_yl + sol.nsol_yu + sol.nsol_eq;
  Require(total > 0, __LINE__, "nsol_xl + nsol_xu + nsol_yl + nsol_yu + nsol_eq > 0");
  if (total > 1) {
    ThreeRowPlan plan = ThreeRow_Leave();
    plan.note = THREE_NOTE_COUNT;
    plan.solutions = total;
    return plan;
  }
  double x = sol.sol_x[0];
  double y = sol.sol_y[0];
  if (sol.nsol_xl > 0) {
    x = blk.lower[X];
    y = sol.sol_xl[0];
  } else if (sol.nsol_xu > 0) {
    x = blk.upper[X];
    y = sol.sol_xu[0];
  } else if (sol.nsol_yl > 0) {
    x = sol.sol_yl[0];
    y = blk.lower[Y];
  } else if (sol.nsol_yu > 0) {
    x = sol.sol_yu[0];
    y = blk.upper[Y];
  }
  ThreeRowPlan plan = ThreeRow_FixAll("ThrRowEqn Unique", x, y, red.ZAt(x, y));
  plan.unique = true;
  return plan;
}

}  // namespace

ThreeRowPlan ThrRowEqn(const ThreeRowArgs& blk, std::int32_t skipPartial) {
  const RowTolerance tol = RowTolerance_Current();
  Reduced red;
  if (!Eliminate(blk, tol, &red)) return ThreeRow_Leave();
  TwoSolution sol;
  if (!Row_SolveTwoScaled(red.a, red.b, red.r, red.c, red.d, red.s, red.r_scale, red.s_scale,
                          blk.lower[X], blk.upper[X], blk.lower[Y], blk.upper[Y], &sol)) {
    return ThreeRow_Leave();
  }
  if (NonEmptyParts(sol) == 0) return ThreeRow_Infeasible("ThrRowEqn");
  if (ThreeRow_Closed(blk, tol)) {
    double x = 0.0;
    double y = 0.0;
    if (!PickAny(blk, sol, &x, &y)) return ThreeRow_Leave();
    return ThreeRow_FixAll("ThrRowEqnCol", x, y, red.ZAt(x, y));
  }
  ThreeRowPlan plan;
  if (PlanSingleSet(blk, sol, red, tol, skipPartial, &plan)) return plan;
  return PlanRest(sol, blk, red);
}
