// Exact solution sets of one- and two-variable complementarity pieces: the
// one-variable solve and set operations, the cut of a line through a box,
// the thinning of shared corners and the two-variable solve.
#include "presolve/rows/RowSolve.hpp"

#include <algorithm>
#include <cmath>

#include "core/Error.hpp"
#include "core/Output.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"

namespace {

// Shorthands over the tolerance record of one call.
struct Cmp {
  RowTolerance tol;
  bool Finite(double v) const { return RowCompare_Finite(v, tol.infinity); }
  bool Zero(double a) const { return RowCompare_Eq(a, 0.0, tol.jactol, tol.infinity); }
  bool Eq(double a, double b) const { return RowCompare_Eq(a, b, tol.zerotol, tol.infinity); }
  bool Gt(double a, double b) const { return RowCompare_Gt(a, b, tol.zerotol, tol.infinity); }
  bool Ge(double a, double b) const { return RowCompare_Ge(a, b, tol.zerotol, tol.infinity); }
};

Cmp CurrentCmp() { return Cmp{RowTolerance_Current()}; }

int ListedCount(std::int32_t count) { return std::min<std::int32_t>(count, 3); }

bool Unsettled(std::int32_t* count) {
  *count = 0;
  return false;
}

void SetList(std::int32_t* count, double points[3], std::int32_t n, double p0 = 0.0,
             double p1 = 0.0, double p2 = 0.0) {
  *count = n;
  if (n >= 1) points[0] = p0;
  if (n >= 2) points[1] = p1;
  if (n >= 3) points[2] = p2;
}

void SetSegment(std::int32_t* count, double points[3], double lo, double hi) {
  *count = -1;
  points[0] = lo;
  points[1] = hi;
}

// A bound as the only candidate: one point when it is finite, else none.
void SetBoundOnly(const Cmp& cmp, double bound, std::int32_t* count, double points[3]) {
  if (cmp.Finite(bound)) {
    SetList(count, points, 1, bound);
  } else {
    *count = 0;
  }
}

// F constant (= b) on [l, u].
void SolveConstant(const Cmp& cmp, double b, double l, double u, std::int32_t* count,
                   double points[3]) {
  if (cmp.Gt(b, 0.0)) {
    SetBoundOnly(cmp, l, count, points);
  } else if (cmp.Gt(0.0, b)) {
    SetBoundOnly(cmp, u, count, points);
  } else {
    SetSegment(count, points, l, u);
  }
}

// F falling with its zero at t: x = l solves when F(l) >= 0, x = u when
// F(u) <= 0, and t itself when it lies strictly inside.
void SolveFalling(const Cmp& cmp, double t, double l, double u, std::int32_t* count,
                  double points[3]) {
  const bool lf = cmp.Finite(l), uf = cmp.Finite(u);
  if (cmp.Gt(l, t)) {
    SetBoundOnly(cmp, u, count, points);
  } else if (cmp.Eq(t, l)) {
    if (uf) SetList(count, points, 2, l, u); else SetList(count, points, 1, l);
  } else if (cmp.Gt(t, u)) {
    SetBoundOnly(cmp, l, count, points);
  } else if (cmp.Eq(t, u)) {
    if (lf) SetList(count, points, 2, l, u); else SetList(count, points, 1, u);
  } else if (lf && uf) {
    SetList(count, points, 3, l, t, u);
  } else if (lf) {
    SetList(count, points, 2, l, t);
  } else if (uf) {
    SetList(count, points, 2, t, u);
  } else {
    SetList(count, points, 1, t);
  }
}

// A segment narrowed to a*x + b >= 0 (a not zero).
bool NarrowSegment(const Cmp& cmp, double a, double b, std::int32_t* count, double points[3]) {
  const double t = -b / a;
  const bool finite = cmp.Finite(t);
  if (!finite) {
    if (std::isnan(t)) return Unsettled(count);
    // a > 0 cuts from below and a < 0 from above: a non-finite t on the
    // other side cuts nothing. On the cutting side it empties a segment
    // whose far end is finite; beyond an infinite far end it is unsettled.
    if ((a > 0) == (t > 0)) {
      if (!cmp.Finite(a > 0 ? points[1] : points[0])) return Unsettled(count);
      *count = 0;
      return true;
    }
  }
  if (finite && a > 0 && t > points[0]) points[0] = t;
  if (finite && a < 0 && t < points[1]) points[1] = t;
  if (cmp.Gt(points[0], points[1])) {
    *count = 0;
  } else if (cmp.Eq(points[0], points[1])) {
    // One point left: the end that was not moved.
    *count = 1;
    if (a > 0) points[0] = points[1];
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// One variable
// ---------------------------------------------------------------------------

bool Row_SolveOne(double a, double b, double l, double u, std::int32_t* count,
                  double points[3]) {
  const Cmp cmp = CurrentCmp();
  if (std::isnan(a) || std::isnan(b) || std::isnan(l) || std::isnan(u)) return Unsettled(count);
  if (cmp.Zero(a)) {
    SolveConstant(cmp, b, l, u, count, points);
    return true;
  }
  const double t = -b / a;
  if (!cmp.Finite(t)) {
    // The zero lies beyond every box: beyond a finite end it is no solution
    // and the steps below never list it; beyond an infinite end the set has
    // no finite description.
    if (std::isnan(t) || !cmp.Finite(t > 0 ? u : l)) return Unsettled(count);
  }
  if (a > 0) {
    SetList(count, points, 1, RowCompare_Median(l, t, u));
  } else {
    SolveFalling(cmp, t, l, u, count, points);
  }
  return true;
}

namespace {

// Row_RestrictNonnegative with the scale of b (the magnitudes of the terms
// that formed it): a value a*p + b that cancels to rounding on that scale
// is 0 and keeps its point.
bool RestrictScaled(double a, double b, double b_scale, std::int32_t* count, double points[3]) {
  const Cmp cmp = CurrentCmp();
  if (std::isnan(a) || std::isnan(b)) return Unsettled(count);
  if (cmp.Zero(a)) {
    if (cmp.Gt(0.0, b)) *count = 0;
    return true;
  }
  if (*count < 0) return NarrowSegment(cmp, a, b, count, points);
  std::int32_t kept = 0;
  for (int k = 0; k < ListedCount(*count); ++k) {
    const double term = a * points[k];
    const double value = Row_RoundedZero(term + b, std::fabs(term) + b_scale);
    if (std::isnan(value)) return Unsettled(count);
    if (cmp.Ge(value, 0.0)) points[kept++] = points[k];
  }
  *count = kept;
  return true;
}

}  // namespace

bool Row_RestrictNonnegative(double a, double b, std::int32_t* count, double points[3]) {
  return RestrictScaled(a, b, std::fabs(b), count, points);
}

void RemovePoint(double key, double value, std::int32_t* count, double bound, double points[3]) {
  const Cmp cmp = CurrentCmp();
  if (!cmp.Eq(key, bound) || *count < 1) return;
  std::int32_t kept = 0;
  for (int k = 0; k < ListedCount(*count); ++k) {
    if (!cmp.Eq(points[k], value)) points[kept++] = points[k];
  }
  *count = kept;
}

int HasInteriorPoint(double lo, double hi, const std::int32_t& count, const double points[3]) {
  if (count < 0) return 1;
  const Cmp cmp = CurrentCmp();
  for (int k = 0; k < ListedCount(count); ++k) {
    if (cmp.Gt(points[k], lo) && cmp.Gt(hi, points[k])) return 1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// A line through a box
// ---------------------------------------------------------------------------

namespace {

// The line a*x + b*y + r = 0 (a, b non-zero) walked by growing x. It comes
// into the box's y range through the entry bound and leaves it through the
// exit bound: a falling line enters at yu and leaves at yl, a rising one the
// other way round. entry_dir is +1 when "beyond the entry bound" means above
// it (falling line), -1 when it means below.
struct LineCut {
  Cmp cmp;
  double a, b, r;
  double xl, xu, y_entry, y_exit;
  int entry_dir;

  double XAt(double y) const { return -(b * y + r) / a; }
  double YAt(double x) const { return -(a * x + r) / b; }
  // v beyond bound in direction dir (more than zerotol), or at or beyond it.
  bool Beyond(double v, double bound, int dir) const {
    return dir > 0 ? cmp.Gt(v, bound) : cmp.Gt(bound, v);
  }
  bool AtOrBeyond(double v, double bound, int dir) const {
    return dir > 0 ? cmp.Ge(v, bound) : cmp.Ge(bound, v);
  }
};

constexpr int kGoOn = 100;  // the first end lies in the box; look for the second

void SetEnd(double* x, double* y, double ex, double ey) {
  *x = ex;
  *y = ey;
}

// First end where the line crosses the entry bound, at x = x(entry).
int EnterThroughEntryBound(const LineCut& line, double* x, double* y) {
  const Cmp& cmp = line.cmp;
  double cross = line.XAt(line.y_entry);
  if (!cmp.Finite(cross)) {
    // Beyond a finite xu the line misses the box; anywhere else the crossing
    // has no finite place.
    return cmp.Gt(cross, line.xu) ? ROW_LINE_NONE : ROW_LINE_UNSETTLED;
  }
  if (cmp.Gt(cross, line.xu)) return ROW_LINE_NONE;
  if (cmp.Eq(cross, line.xu)) {
    SetEnd(x, y, line.xu, line.y_entry);
    return ROW_LINE_CORNER;
  }
  if (cmp.Eq(cross, line.xl)) cross = line.xl;
  SetEnd(x, y, cross, line.y_entry);
  return kGoOn;
}

int FirstEnd(const LineCut& line, double* x, double* y) {
  const Cmp& cmp = line.cmp;
  const int exit_dir = -line.entry_dir;
  if (!cmp.Finite(line.xl)) {
    if (!cmp.Finite(line.y_entry)) {
      SetEnd(x, y, line.xl, line.y_entry);
      return kGoOn;
    }
    return EnterThroughEntryBound(line, x, y);
  }
  const double at_xl = line.YAt(line.xl);
  SetEnd(x, y, line.xl, at_xl);
  if (line.Beyond(at_xl, line.y_exit, exit_dir)) return ROW_LINE_NONE;
  if (!cmp.Finite(at_xl)) {
    // Only a finite entry bound that the value lies beyond gives a place
    // where the line comes into the box.
    const bool enters = cmp.Finite(line.y_entry) &&
                        line.AtOrBeyond(at_xl, line.y_entry, line.entry_dir);
    if (!enters) return ROW_LINE_UNSETTLED;
  }
  if (cmp.Eq(at_xl, line.y_exit)) {
    SetEnd(x, y, line.xl, line.y_exit);
    return ROW_LINE_CORNER;
  }
  if (line.AtOrBeyond(at_xl, line.y_entry, line.entry_dir)) {
    return EnterThroughEntryBound(line, x, y);
  }
  return kGoOn;
}

int SecondEnd(const LineCut& line, double* x, double* y) {
  const Cmp& cmp = line.cmp;
  const int exit_dir = -line.entry_dir;
  bool through_exit = true;
  if (cmp.Finite(line.xu)) {
    const double at_xu = line.YAt(line.xu);
    through_exit = line.AtOrBeyond(at_xu, line.y_exit, exit_dir);
    if (!cmp.Finite(at_xu) && !(through_exit && cmp.Finite(line.y_exit))) {
      return ROW_LINE_UNSETTLED;
    }
    if (!through_exit) SetEnd(x, y, line.xu, at_xu);
  } else if (!cmp.Finite(line.y_exit)) {
    SetEnd(x, y, line.xu, line.y_exit);
    return ROW_LINE_SEGMENT;
  }
  if (through_exit) {
    double cross = line.XAt(line.y_exit);
    if (!cmp.Finite(cross)) return ROW_LINE_UNSETTLED;
    if (cmp.Finite(line.xu) && cmp.Eq(cross, line.xu)) cross = line.xu;
    SetEnd(x, y, cross, line.y_exit);
  }
  return ROW_LINE_SEGMENT;
}

}  // namespace

int Row_SolveTwoNonzero(double a, double b, double r, double xl, double xu, double yl,
                        double yu, double sol_x[2], double sol_y[2]) {
  const Cmp cmp = CurrentCmp();
  if (cmp.Zero(a) || cmp.Zero(b)) {
    Error_Report("Presolve_Row", __LINE__, "Row_SolveTwoNonzero",
                 "PRESOLVE_NE(a, 0.0, jactol) && PRESOLVE_NE(b, 0.0, jactol)");
  }
  const bool falling = (a > 0) == (b > 0);
  const LineCut line{cmp, a, b, r, xl, xu, falling ? yu : yl, falling ? yl : yu,
                     falling ? 1 : -1};
  const int first = FirstEnd(line, &sol_x[0], &sol_y[0]);
  if (first != kGoOn) return first;
  return SecondEnd(line, &sol_x[1], &sol_y[1]);
}

// ---------------------------------------------------------------------------
// Shared corners
// ---------------------------------------------------------------------------

namespace {

// One x edge (x = edge_x) with its set: emptied when it has no point inside
// (yl, yu); otherwise it keeps its corners, which leave the y-edge lists.
// end is 0 for the edge x = xl (a y-edge segment holds its corner when its
// first end is xl) and 1 for x = xu (second end).
void MergeXEdge(const Cmp& cmp, double edge_x, int end, double yl, double yu,
                std::int32_t* count, double points[3], TwoSolution* s) {
  if (!HasInteriorPoint(yl, yu, *count, points)) {
    *count = 0;
    return;
  }
  std::int32_t* y_counts[2] = {&s->nsol_yl, &s->nsol_yu};
  double* y_sets[2] = {s->sol_yl, s->sol_yu};
  const double y_bounds[2] = {yl, yu};
  for (int k = 0; k < 2; ++k) {
    if (*y_counts[k] < 0) {
      if (cmp.Eq(y_sets[k][end], edge_x)) {
        RemovePoint(y_bounds[k], y_bounds[k], count, y_bounds[k], points);
      }
    } else {
      RemovePoint(edge_x, edge_x, y_counts[k], edge_x, y_sets[k]);
    }
  }
}

}  // namespace

void Row_MergeCorners(double xl, double xu, double yl, double yu, TwoSolution* s) {
  const Cmp cmp = CurrentCmp();
  MergeXEdge(cmp, xl, 0, yl, yu, &s->nsol_xl, s->sol_xl, s);
  MergeXEdge(cmp, xu, 1, yl, yu, &s->nsol_xu, s->sol_xu, s);
  if (HasInteriorPoint(xl, xu, s->nsol_yl, s->sol_yl) ||
      HasInteriorPoint(xl, xu, s->nsol_yu, s->sol_yu)) {
    return;
  }
  // Each y edge now lists corners only; two lone corners on one x edge go
  // into that edge's set.
  auto lone = [](std::int32_t n) { return n != 0 && n != 2; };
  if (!lone(s->nsol_yl) || !lone(s->nsol_yu)) return;
  const double edges[2] = {xl, xu};
  std::int32_t* x_counts[2] = {&s->nsol_xl, &s->nsol_xu};
  double* x_sets[2] = {s->sol_xl, s->sol_xu};
  for (int k = 0; k < 2; ++k) {
    if (cmp.Eq(s->sol_yl[0], edges[k]) && cmp.Eq(s->sol_yu[0], edges[k])) {
      SetList(x_counts[k], x_sets[k], 2, yl, yu);
      s->nsol_yl = 0;
      s->nsol_yu = 0;
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Two variables
// ---------------------------------------------------------------------------

namespace {

// The solutions on one edge, the variable held at its finite bound: the
// other variable solves its own row (oa*v + oc*bound + os) and the held
// variable's row (ra*v + rc*bound + rs) keeps its sign. The constants on
// the edge are 0 when they cancel to rounding. An infinite bound has no
// edge.
struct EdgeRows {
  double oa, oc, os, os_scale;  // the other variable's row
  double ra, rc, rs, rs_scale;  // the held variable's row, signed to be >= 0
};

bool SolveEdge(const Cmp& cmp, double bound, const EdgeRows& e, double lo, double hi,
               std::int32_t* count, double points[3]) {
  if (!cmp.Finite(bound)) {
    *count = 0;
    return true;
  }
  const double own_scale = std::fabs(e.oc * bound) + e.os_scale;
  const double own = Row_RoundedZero(e.oc * bound + e.os, own_scale);
  // A root of the own row is known to that row's rounding over oa; the held
  // row meets it through ra, so its value there carries that rounding too.
  const double root_scale = cmp.Zero(e.oa) ? 0.0 : std::fabs(e.ra / e.oa) * own_scale;
  const double held_scale = std::fabs(e.rc * bound) + e.rs_scale;
  const double held = Row_RoundedZero(e.rc * bound + e.rs, held_scale);
  return Row_SolveOne(e.oa, own, lo, hi, count, points) &&
         RestrictScaled(e.ra, held, held_scale + root_scale, count, points);
}

// A coordinate of the equations' solution is outside the box's range
// [lo, hi]: not strictly inside when finite; when not finite, beyond a
// finite end (beyond an infinite end it is not outside).
bool OutsideRange(const Cmp& cmp, double v, double lo, double hi) {
  if (cmp.Finite(v)) return !(cmp.Gt(v, lo) && cmp.Gt(hi, v));
  return v > 0 ? cmp.Finite(hi) : cmp.Finite(lo);
}

// The equations have one solution.
bool SolveRegular(const Cmp& cmp, double a, double b, double r, double c, double d, double s,
                  double det, double xl, double xu, double yl, double yu, TwoSolution* t) {
  const double x = (b * s - d * r) / det, y = (c * r - a * s) / det;
  t->sol_x[0] = x;
  t->sol_y[0] = y;
  if (std::isnan(x) || std::isnan(y)) return false;
  const bool out_x = OutsideRange(cmp, x, xl, xu), out_y = OutsideRange(cmp, y, yl, yu);
  if (!cmp.Finite(x) || !cmp.Finite(y)) {
    // A non-finite solution is no solution when it lies outside the box for
    // a finite reason; otherwise it lies beyond an infinite end.
    if (!out_x && !out_y) return false;
  }
  t->nsol_eq = (out_x || out_y) ? 0 : 1;
  return true;
}

// The solutions of the equations form the line v = value across the box,
// vertical (v = x) or horizontal (v = y). lo, hi: the range of v; the lo
// and hi edge sets; other_lo, other_hi: the range of the other variable;
// pos: the coordinate array of v, span: that of the other variable.
struct AxisLine {
  double lo, hi, other_lo, other_hi;
  std::int32_t* lo_count;
  double* lo_set;
  std::int32_t* hi_count;
  double* hi_set;
  double* pos;
  double* span;
  std::int32_t code;  // nsol_eq of a line strictly inside: -1 or -2
};

bool PlaceAxisLine(const Cmp& cmp, double value, const AxisLine& line, TwoSolution* t) {
  line.pos[0] = value;
  t->nsol_eq = 0;
  if (std::isnan(value)) return false;
  if (!cmp.Finite(value) && !(value > 0 ? cmp.Finite(line.hi) : cmp.Finite(line.lo))) {
    return false;  // beyond an infinite end
  }
  if (cmp.Gt(line.lo, value) || cmp.Gt(value, line.hi)) return true;
  if (cmp.Eq(value, line.lo)) {
    SetSegment(line.lo_count, line.lo_set, line.other_lo, line.other_hi);
  } else if (cmp.Eq(value, line.hi)) {
    SetSegment(line.hi_count, line.hi_set, line.other_lo, line.other_hi);
  } else {
    t->nsol_eq = line.code;
    line.pos[1] = value;
    line.span[0] = line.other_lo;
    line.span[1] = line.other_hi;
  }
  return true;
}

bool PlaceVertical(const Cmp& cmp, double value, double xl, double xu, double yl, double yu,
                   TwoSolution* t) {
  const AxisLine line{xl, xu, yl, yu, &t->nsol_xl, t->sol_xl, &t->nsol_xu, t->sol_xu,
                      t->sol_x, t->sol_y, -1};
  return PlaceAxisLine(cmp, value, line, t);
}

bool PlaceHorizontal(const Cmp& cmp, double value, double xl, double xu, double yl, double yu,
                     TwoSolution* t) {
  const AxisLine line{yl, yu, xl, xu, &t->nsol_yl, t->sol_yl, &t->nsol_yu, t->sol_yu,
                      t->sol_y, t->sol_x, -2};
  return PlaceAxisLine(cmp, value, line, t);
}

void SetCoeff(TwoSolution* t, double p, double q, double w) {
  t->coeff[0] = p;
  t->coeff[1] = q;
  t->coeff[2] = w;
}

// The constants of the two rows with the scales of what formed them.
struct Constants {
  double r, r_scale, s, s_scale;
};

// p*s - q*r (the rows' constants combined through coefficients of the
// other row), exactly 0 when it cancels to the rounding the constants carry.
double CrossConstants(double p, double q, const Constants& k) {
  return Row_RoundedZero(p * k.s - q * k.r, std::fabs(p) * k.s_scale + std::fabs(q) * k.r_scale);
}

// The equations are singular with a and c both zero: no x in them.
bool SolveWithoutX(const Cmp& cmp, double b, double d, const Constants& k, double xl, double xu,
                   double yl, double yu, TwoSolution* t) {
  const double r = k.r, s = k.s;
  if (cmp.Zero(b) && cmp.Zero(d)) {
    if (cmp.Eq(Row_RoundedZero(r, k.r_scale), 0.0) && cmp.Eq(Row_RoundedZero(s, k.s_scale), 0.0)) {
      t->nsol_eq = -5;
      t->nsol_xl = t->nsol_xu = t->nsol_yl = t->nsol_yu = 0;
      t->sol_x[0] = xl;
      t->sol_x[1] = xu;
      t->sol_y[0] = yl;
      t->sol_y[1] = yu;
    }
    return true;
  }
  if (!cmp.Eq(CrossConstants(b, d, k), 0.0)) return true;  // contradicting equations
  double y;
  if (!cmp.Zero(b)) {
    y = -r / b;
    SetCoeff(t, 0.0, b, r);
  } else {
    y = -s / d;
    SetCoeff(t, 0.0, d, s);
  }
  return PlaceHorizontal(cmp, y, xl, xu, yl, yu, t);
}

// The solution line of coinciding equations, p*x + q*y + w = 0 with p and q
// non-zero, cut with the box.
bool PlaceSlanted(double p, double q, double w, std::int32_t code, double xl, double xu,
                  double yl, double yu, TwoSolution* t) {
  const int k = Row_SolveTwoNonzero(p, q, w, xl, xu, yl, yu, t->sol_x, t->sol_y);
  if (k == ROW_LINE_UNSETTLED) return false;
  if (k < 0) {
    t->nsol_eq = code;
    SetCoeff(t, p, q, w);
  }
  return true;
}

// The equations are singular with a or c non-zero.
bool SolveWithX(const Cmp& cmp, double a, double b, double c, double d, const Constants& k,
                double xl, double xu, double yl, double yu, TwoSolution* t) {
  const double r = k.r, s = k.s;
  if (!cmp.Zero(CrossConstants(-a, -c, k))) return true;  // parallel, distinct lines
  if (cmp.Zero(a)) {
    if (!cmp.Zero(d)) return PlaceSlanted(c, d, s, -4, xl, xu, yl, yu, t);
    SetCoeff(t, c, 0.0, s);
    return PlaceVertical(cmp, -s / c, xl, xu, yl, yu, t);
  }
  if (cmp.Zero(b)) {
    SetCoeff(t, a, 0.0, r);
    return PlaceVertical(cmp, -r / a, xl, xu, yl, yu, t);
  }
  if (!cmp.Zero(c) && cmp.Zero(d)) {
    SetCoeff(t, c, 0.0, s);
    return PlaceVertical(cmp, -s / c, xl, xu, yl, yu, t);
  }
  return PlaceSlanted(a, b, r, -3, xl, xu, yl, yu, t);
}

// The ends of an interior segment leave the point lists of the edges they
// lie on.
void RemoveSegmentEnds(const Cmp& cmp, double xl, double xu, double yl, double yu,
                       TwoSolution* t) {
  for (int j = 0; j < 2; ++j) {
    const double x = t->sol_x[j], y = t->sol_y[j];
    if (!cmp.Finite(x)) continue;
    RemovePoint(x, y, &t->nsol_xl, xl, t->sol_xl);
    RemovePoint(x, y, &t->nsol_xu, xu, t->sol_xu);
    RemovePoint(y, x, &t->nsol_yl, yl, t->sol_yl);
    RemovePoint(y, x, &t->nsol_yu, yu, t->sol_yu);
  }
}

bool SolveTwoInto(const Cmp& cmp, double a, double b, double c, double d, const Constants& k,
                  double xl, double xu, double yl, double yu, TwoSolution* t) {
  const double r = k.r, s = k.s, rk = k.r_scale, sk = k.s_scale;
  // x = xl: y solves F2 there and F1 >= 0; x = xu: F1 <= 0; likewise the y edges.
  if (!SolveEdge(cmp, xl, {d, c, s, sk, b, a, r, rk}, yl, yu, &t->nsol_xl, t->sol_xl) ||
      !SolveEdge(cmp, xu, {d, c, s, sk, -b, -a, -r, rk}, yl, yu, &t->nsol_xu, t->sol_xu) ||
      !SolveEdge(cmp, yl, {a, b, r, rk, c, d, s, sk}, xl, xu, &t->nsol_yl, t->sol_yl) ||
      !SolveEdge(cmp, yu, {a, b, r, rk, -c, -d, -s, sk}, xl, xu, &t->nsol_yu, t->sol_yu)) {
    return false;
  }
  t->nsol_eq = 0;
  SetCoeff(t, 0.0, 0.0, 0.0);
  const double det = Row_RoundedDifference(a * d, c * b);
  bool settled;
  if (!cmp.Eq(det, 0.0)) {
    settled = SolveRegular(cmp, a, b, r, c, d, s, det, xl, xu, yl, yu, t);
  } else if (cmp.Zero(a) && cmp.Zero(c)) {
    settled = SolveWithoutX(cmp, b, d, k, xl, xu, yl, yu, t);
  } else {
    settled = SolveWithX(cmp, a, b, c, d, k, xl, xu, yl, yu, t);
  }
  if (!settled) return false;
  if (t->nsol_eq <= -1 && t->nsol_eq >= -4) RemoveSegmentEnds(cmp, xl, xu, yl, yu, t);
  Row_MergeCorners(xl, xu, yl, yu, t);
  return true;
}

}  // namespace

bool Row_SolveTwo(double a, double b, double r, double c, double d, double s, double xl,
                  double xu, double yl, double yu, TwoSolution* solution) {
  return Row_SolveTwoScaled(a, b, r, c, d, s, std::fabs(r), std::fabs(s), xl, xu, yl, yu,
                            solution);
}

bool Row_SolveTwoScaled(double a, double b, double r, double c, double d, double s,
                        double r_scale, double s_scale, double xl, double xu, double yl,
                        double yu, TwoSolution* solution) {
  const Cmp cmp = CurrentCmp();
  TwoSolution t{};
  const double inputs[10] = {a, b, r, c, d, s, xl, xu, yl, yu};
  bool settled = std::none_of(inputs, inputs + 10, [](double v) { return std::isnan(v); });
  const Constants k = {r, std::fmax(r_scale, std::fabs(r)), s, std::fmax(s_scale, std::fabs(s))};
  settled = settled && SolveTwoInto(cmp, a, b, c, d, k, xl, xu, yl, yu, &t);
  if (!settled) {
    *solution = TwoSolution{};
    return false;
  }
  *solution = t;
  if (Presolve_OptionInt(OUTPUT_PRESOLVE_LEVEL) >= 3) {
    Output_Printf(OUTPUT_LOG, "Solve Two: xl = %d, xu = %d, yl = %d, yu = %d, eq = %d\n",
                  t.nsol_xl, t.nsol_xu, t.nsol_yl, t.nsol_yu, t.nsol_eq);
  }
  return true;
}
