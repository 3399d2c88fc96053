// Tolerant comparisons of the row presolve's exact small solves, and the
// tolerance record they read from the options.
//
// A value v is +infinite when v >= inf and -infinite when v <= -inf; NaN is
// neither, and every comparison below is false for a NaN operand except
// RowCompare_Ne. The tolerance t is absolute.
#pragma once

#include <cmath>

// The three option values a solve reads once at its start.
struct RowTolerance {
  double zerotol;   // presolve_zero_tolerance: two values within it are equal
  double jactol;    // presolve_jacobian_tolerance: a coefficient within it is zero
  double infinity;  // the common option infinity
};

// Reads the three options afresh (they may change between calls).
RowTolerance RowTolerance_Current();

// True when |v| < inf (NaN is not finite).
inline bool RowCompare_Finite(double v, double inf) { return std::fabs(v) < inf; }

// a and b both +infinite, or both -infinite; otherwise false when either is
// infinite; otherwise |a - b| <= t.
inline bool RowCompare_Eq(double a, double b, double t, double inf) {
  if (a >= inf && b >= inf) return true;
  if (a <= -inf && b <= -inf) return true;
  if (!RowCompare_Finite(a, inf) || !RowCompare_Finite(b, inf)) return false;
  return std::fabs(a - b) <= t;
}

inline bool RowCompare_Ne(double a, double b, double t, double inf) {
  return !RowCompare_Eq(a, b, t, inf);
}

// a > -inf, b < inf and a - b > t: -infinity is never above anything and
// nothing is above +infinity.
inline bool RowCompare_Gt(double a, double b, double t, double inf) {
  return a > -inf && b < inf && a - b > t;
}

inline bool RowCompare_Lt(double a, double b, double t, double inf) {
  return RowCompare_Gt(b, a, t, inf);
}

// Both +infinite or both -infinite; otherwise a > -inf, b < inf and
// a - b >= -t.
inline bool RowCompare_Ge(double a, double b, double t, double inf) {
  if (a >= inf && b >= inf) return true;
  if (a <= -inf && b <= -inf) return true;
  return a > -inf && b < inf && a - b >= -t;
}

// The median of l, v and u, exact: v clamped to [l, u] when l <= u; with
// inverted ends v stays when it lies between them.
inline double RowCompare_Median(double l, double v, double u) {
  double lo = l < u ? l : u;
  double hi = l < u ? u : l;
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}
