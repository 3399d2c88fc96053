// Exact solution sets of the smallest pieces of a complementarity problem,
// which the row rules settle in closed form:
// - one variable: a*x + b complementary to l <= x <= u (Row_SolveOne), and
//   the operations on such a set (narrowing, point removal, interior test);
// - two variables: F1 = a*x + b*y + r perp xl <= x <= xu together with
//   F2 = c*x + d*y + s perp yl <= y <= yu (Row_SolveTwo), with the cut of a
//   line through a box and the thinning of shared corners.
//
// Every operation is a pure computation on caller-owned storage: nothing is
// allocated, nothing kept between calls. The tolerances (zerotol, jactol,
// infinity; see RowCompare.hpp) are read from the options on every call.
//
// Non-finite values. A candidate solution whose magnitude reaches infinity
// (or is NaN) never becomes a listed point or a segment end: it lies beyond
// every box. When it lies beyond a finite end of the box it is simply no
// solution and the result is exact. When it lies beyond an infinite end
// (or is NaN, or an input is NaN), the solution set cannot be described in
// finite values: the operation returns false ("unsettled"), and a caller
// leaves its row or block alone. An unsettled result never ends the solve.
#pragma once

#include <cstdint>

// The solution set of one variable.
//   count < 0: the closed segment points[0] <= x <= points[1] (either end
//              may be infinite); the operations here write -1;
//   count 0:   no solution;
//   count 1-3: that many isolated solutions points[0..count-1], ascending.
struct SolutionSet {
  std::int32_t count;
  double points[3];
};

// The solutions of a two-variable piece. Boundary sets (SolutionSets split
// into count and points): the y values of the solutions with x = xl (xl),
// with x = xu (xu); the x values of those with y = yl (yl), y = yu (yu).
// Interior part nsol_eq, the solutions with both variables strictly inside:
//    1  the point (sol_x[0], sol_y[0]);
//    0  none; when the two equations have exactly one solution it is still
//       in (sol_x[0], sol_y[0]) (on the boundary within zerotol, or outside);
//   -1  the segment x = sol_x[0] = sol_x[1], sol_y[0] <= y <= sol_y[1];
//   -2  the segment y = sol_y[0] = sol_y[1], sol_x[0] <= x <= sol_x[1];
//   -3  the segment of a*x + b*y + r = 0 from (sol_x[0], sol_y[0]) to
//       (sol_x[1], sol_y[1]), sol_x[0] <= sol_x[1];
//   -4  the same on c*x + d*y + s = 0;
//   -5  the whole box (both functions vanish identically).
// coeff is the line coeff[0]*x + coeff[1]*y + coeff[2] = 0 that carries the
// interior solutions for -1 to -4, kept when a vertical or horizontal
// solution line lies on an edge or outside the box; otherwise zero.
// Every solution is listed once, except that a corner shared by two
// segment-form sets stays in both.
struct TwoSolution {
  std::int32_t nsol_xl;
  double sol_xl[3];
  std::int32_t nsol_xu;
  double sol_xu[3];
  std::int32_t nsol_yl;
  double sol_yl[3];
  std::int32_t nsol_yu;
  double sol_yu[3];
  std::int32_t nsol_eq;
  double sol_x[2];
  double sol_y[2];
  double coeff[3];
};

// Results of Row_SolveTwoNonzero.
enum RowLineResult : int {
  ROW_LINE_SEGMENT = -1,   // a segment from (sol_x[0], sol_y[0]) to (sol_x[1], sol_y[1])
  ROW_LINE_NONE = 0,       // the line misses the box
  ROW_LINE_CORNER = 1,     // it touches the box in one corner (sol_x[0], sol_y[0])
  ROW_LINE_UNSETTLED = 2,  // it meets the box only beyond an infinite end
};

// ---------------------------------------------------------------------------
// One variable
// ---------------------------------------------------------------------------

// The solutions of a*x + b perp l <= x <= u.
//   in:  a, b, l, u (l <= u; either bound may be infinite)
//   out: count, points[3] (only the points the count uses are written)
// a within jactol of 0: b above 0 gives {l}, below 0 gives {u} (count 0 when
// that bound is infinite), else the segment [l, u]. a > 0 gives one point,
// the median of l, -b/a and u. a < 0 gives up to three points among l, -b/a
// and u, the values themselves (never snapped). Returns false, with count 0,
// when the set is unsettled (see the banner).
[[nodiscard]] bool Row_SolveOne(double a, double b, double l, double u, std::int32_t* count,
                                double points[3]);

// Narrows a set to the x with a*x + b >= 0.
//   in/out: count, points[3]
// a within jactol of 0: b below 0 (more than zerotol) empties the set,
// otherwise nothing changes. A segment gets its lower end raised (a > 0) or
// its upper end lowered (a < 0) to -b/a; ends crossing by more than zerotol
// empty it, ends within zerotol leave the one point of the end not moved. A
// list keeps, in order, the points with a*p + b >= -zerotol. Returns false,
// with count 0, when the result is unsettled.
[[nodiscard]] bool Row_RestrictNonnegative(double a, double b, std::int32_t* count,
                                           double points[3]);

// When key equals bound (zerotol) and the set is a list of at least one
// point, removes every point equal to value (zerotol), keeping the order.
// A segment or an empty set is never changed. Callers that want the plain
// set operation pass key = bound.
void RemovePoint(double key, double value, std::int32_t* count, double bound, double points[3]);

// 1 when the set has a point strictly inside (lo, hi), more than zerotol
// from both ends; a segment always counts, an empty set never.
int HasInteriorPoint(double lo, double hi, const std::int32_t& count, const double points[3]);

// ---------------------------------------------------------------------------
// Two variables
// ---------------------------------------------------------------------------

// All solutions of the two-variable piece (see TwoSolution), each listed
// once. Prints "Solve Two: xl = %d, xu = %d, yl = %d, yu = %d, eq = %d\n" on
// the log at output_presolve_level 3 and above. Returns false when the set
// is unsettled; solution then holds all counts 0 and must not be read as
// "no solution".
[[nodiscard]] bool Row_SolveTwo(double a, double b, double r, double c, double d, double s,
                                double xl, double xu, double yl, double yu,
                                TwoSolution* solution);

// Row_SolveTwo for constants r and s formed from larger terms: r_scale and
// s_scale are the magnitudes of the terms that formed them (taken as at
// least |r| and |s|). A value on an edge, or a test of the two equations
// against each other, that cancels to the rounding the constants carry is
// 0: rows that agree up to that rounding are not taken for contradicting
// ones, and an edge value is not given a sign by it.
[[nodiscard]] bool Row_SolveTwoScaled(double a, double b, double r, double c, double d,
                                      double s, double r_scale, double s_scale, double xl,
                                      double xu, double yl, double yu, TwoSolution* solution);

// The points of the line a*x + b*y + r = 0 inside the box [xl, xu] x [yl, yu]
// (a RowLineResult). Precondition: a and b not within jactol of 0; a
// violation is a solver error. sol_x[2], sol_y[2] receive the ends; a result
// of NONE or CORNER leaves the second end unwritten.
int Row_SolveTwoNonzero(double a, double b, double r, double xl, double xu, double yl,
                        double yu, double sol_x[2], double sol_y[2]);

// Thins the four boundary sets of solution in place: an x-edge set with no
// point strictly inside (yl, yu) is emptied (its corners are in the y-edge
// sets); a corner held by an x-edge set with an interior point leaves the
// y-edge lists (or, when a y-edge segment already holds it, leaves the
// x-edge set); two lone corners on one x edge are gathered into that edge's
// set. Segment-form sets are never changed.
void Row_MergeCorners(double xl, double xu, double yl, double yu, TwoSolution* solution);
