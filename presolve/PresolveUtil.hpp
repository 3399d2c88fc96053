// Presolve utilities: the tolerant comparisons every presolve rule uses, the
// one test of an active Jacobian entry, changing a variable's bounds with
// its reduction record, setting a value during postsolve, the finders of
// the first active entries of a row or column, and the activity bounds of
// linear rows.
//
// All of them work on the full problem of an MCP record whose presolve part
// is set up (row-wise index, entry types, counts; see Presolve.hpp), with
// variables and rows numbered 1..n. The tolerances are read from the
// options on every call:
//   zerotol  presolve_zero_tolerance      two values or bounds within it are equal
//   jactol   presolve_jacobian_tolerance  a coefficient within it is zero
//   inf      the common option infinity   a value at or beyond +-inf is infinite
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/Options.hpp"
#include "presolve/PresolveOptions.hpp"

struct DenseVector;
struct IDenseVector;
struct MCP;

// ---------------------------------------------------------------------------
// Tolerances and comparisons

inline double Presolve_Infinity() { return Options_CommonDouble(COMMON_INFINITY); }
// The rounding of a sum of terms whose magnitudes add up to scale: a few
// roundings (a solved value, its product, the sums), each within one unit
// in the last place of the scale.
inline double Presolve_Rounding(double scale) {
  return 16.0 * std::numeric_limits<double>::epsilon() * scale;
}
// The entries one search for the rounding that settled values carry into a
// row may read. Such a search follows columns and rows outward, which on a
// dense problem would read the matrix over for every row it judges; a
// search that runs out of reads is cut short.
struct Presolve_ReadBudget {
  std::int64_t left = std::int64_t{1} << 14;
  // Takes n reads; false once none are left.
  bool Spend(std::int64_t n) {
    left -= n;
    return left >= 0;
  }
  bool Spent() const { return left < 0; }
};
inline double Presolve_ZeroTolerance() { return Presolve_OptionDouble(PRESOLVE_ZERO_TOLERANCE); }
inline double Presolve_JacobianTolerance() {
  return Presolve_OptionDouble(PRESOLVE_JACOBIAN_TOLERANCE);
}

// The fixed tolerance with which the row-level rules compare activity
// bounds with right-hand sides (not an option).
constexpr double PRESOLVE_ROW_TOLERANCE = 1e-10;

// a and b both +infinite, or both -infinite: true; either infinite (or NaN)
// otherwise: false; else |a - b| <= t.
inline bool PRESOLVE_EQ(double a, double b, double t) {
  const double inf = Presolve_Infinity();
  if (a >= inf && b >= inf) return true;
  if (a <= -inf && b <= -inf) return true;
  if (!(std::fabs(a) < inf) || !(std::fabs(b) < inf)) return false;
  return std::fabs(a - b) <= t;
}

inline bool PRESOLVE_NE(double a, double b, double t) { return !PRESOLVE_EQ(a, b, t); }

// a > -inf, b < inf and a - b > t: -infinity is above nothing and nothing is
// above +infinity.
inline bool PRESOLVE_GT(double a, double b, double t) {
  const double inf = Presolve_Infinity();
  return a > -inf && b < inf && a - b > t;
}

inline bool PRESOLVE_LT(double a, double b, double t) { return PRESOLVE_GT(b, a, t); }

// Both +infinite or both -infinite; otherwise a > -inf, b < inf and
// a - b >= -t.
inline bool PRESOLVE_GE(double a, double b, double t) {
  const double inf = Presolve_Infinity();
  if (a >= inf && b >= inf) return true;
  if (a <= -inf && b <= -inf) return true;
  return a > -inf && b < inf && a - b >= -t;
}

// The one test of an active entry, used when the counts are built, when
// they are decremented and by every rule that skips zero coefficients: the
// entry is nonlinear (type 1), or its coefficient is not zero within
// jactol. (Whether its row and column variables are unfixed is the
// caller's test.)
inline bool Presolve_EntryCounts(std::int32_t type, double a) {
  return type != 0 || PRESOLVE_NE(a, 0.0, Presolve_JacobianTolerance());
}

// A linear coefficient that the rules treat as non-zero (type 0 entries
// only; see Presolve_EntryCounts for the nonlinear ones).
inline bool Presolve_NonZero(double a) { return PRESOLVE_NE(a, 0.0, Presolve_JacobianTolerance()); }

// Variable j (1-based) is fixed: its bounds are equal (exact comparison).
bool Presolve_IsFixed(const MCP* mcp, std::int32_t j);

// F has just been evaluated at x: x is kept as the point of that
// evaluation (Workspace vector 14) until the next one. F carries the
// rounding of the terms it was evaluated with, and of every update since,
// so that a row's tolerance grows with the terms at that point as well as
// at x (see RowActivity). The debug check takes its reference there too.
void Presolve_MarkEvaluated(MCP* mcp);

// ---------------------------------------------------------------------------
// Changing the problem

// Gives variable var (1-based) the bounds [newlb, newub], recording the
// change with (level, second, kind). Bounds tolerantly equal (zerotol) to
// the current ones change nothing and push nothing; a new bound tolerantly
// equal to the old one on its side keeps the old value exactly. Bounds that
// stay apart: one record, x moves to the median of x, newlb and newub, and
// F of every row with an entry in column var follows the move (the counts
// do not change). Bounds that meet within zerotol, or cross by no more than
// the row-level tolerance 1e-10: the variable is fixed with MCP_FixVariable
// at their midpoint clipped into its current bounds, and its row leaves
// the candidate rows.
// Precondition (an internal check, never an answer to the caller's data):
// newlb < +inf, newub > -inf and newlb - newub <= 1e-10 unless a bound is
// infinite; a violation is the solver error "Bound incorrect: ...".
// (The rules report wider crossings as infeasibility before they get here.)
void Presolve_SetBounds(MCP* mcp, std::int32_t level, std::int32_t second, std::int32_t kind,
                        std::int32_t var, double newlb, double newub);

// Sets x[var] := v during postsolve, v snapped to the lower bound, then to
// the upper bound, when within zerotol of it (the upper one wins), and
// keeps F of every row with an entry in column var up to date. No record.
void Presolve_SetValue(MCP* mcp, std::int32_t var, double v);

// ---------------------------------------------------------------------------
// Finders

// The coefficient of row's entry in column row (its diagonal), scanning the
// row's entries without any activity test; 0.0 when none is stored.
double Presolve_RowDiagonal(MCP* mcp, std::int32_t row);

// The first count (1..3) active entries of a row in row-ordered list order:
// an entry is active here when it is linear (type 0), its column's bounds
// differ and its coefficient is non-zero (jactol). Writes, for each entry
// found, its coefficient, its column and the column's bounds, in the order
// found (entries found are written even when fewer than count exist).
// Returns 1 when count entries were found, else 0.
int Presolve_RowOne(MCP* mcp, std::int32_t row, double* a1, std::int32_t* c1, double* l1,
                    double* u1);
int Presolve_RowTwo(MCP* mcp, std::int32_t row, double* a1, std::int32_t* c1, double* l1,
                    double* u1, double* a2, std::int32_t* c2, double* l2, double* u2);
int Presolve_RowThree(MCP* mcp, std::int32_t row, double* a1, std::int32_t* c1, double* l1,
                      double* u1, double* a2, std::int32_t* c2, double* l2, double* u2,
                      double* a3, std::int32_t* c3, double* l3, double* u3);

// The same over a column's stored entries in column order; an entry is
// active when it is linear, the bounds of its row's paired variable differ
// and its coefficient is non-zero. The bounds written are those of the
// row's paired variable, the index that of the row.
int Presolve_ColOne(MCP* mcp, std::int32_t col, double* a1, std::int32_t* r1, double* l1,
                    double* u1);
int Presolve_ColTwo(MCP* mcp, std::int32_t col, double* a1, std::int32_t* r1, double* l1,
                    double* u1, double* a2, std::int32_t* r2, double* l2, double* u2);
int Presolve_ColThree(MCP* mcp, std::int32_t col, double* a1, std::int32_t* r1, double* l1,
                      double* u1, double* a2, std::int32_t* r2, double* l2, double* u2,
                      double* a3, std::int32_t* r3, double* l3, double* u3);

// ---------------------------------------------------------------------------
// Activity bounds

// The activity of a linear row over column bounds: F_i(z) = sum a_ij z_j - c
// over the row's entries in unfixed columns with non-zero coefficients,
// with lo <= sum a_ij z_j <= hi over the bounds. A marker is 0 when no
// entry makes an infinite contribution to its bound, the row-ordered list
// position (1-based) of the one entry that does, or -1 when two or more do;
// a bound with a non-zero marker is not meaningful. The walk stops once
// both markers are -1 (c is partial then). scale is the magnitude of the
// terms that formed c, lo and hi (|F_i|, |a_ij x_j| over the row's linear
// entries, fixed columns included, at x and at the point of the last
// evaluation, and the finite bound terms): their rounding is relative to
// it.
struct RowActivity {
  double lo;
  double hi;
  double c;
  std::int32_t klo;
  std::int32_t khi;
  double scale;
};

// The activity of row i over the bounds lb, ub (arrays of n values,
// element j - 1 for column j); which columns are fixed is read from the
// record's own bounds. A finite bound sum reaching inf in magnitude is
// warned about ("Bad calculation of function lower bound.\n" / "... upper
// bound.\n") and set to -inf / +inf.
RowActivity Presolve_OneRowBounds(MCP* mcp, std::int32_t i, const double* lb, const double* ub);

// Fills lo, hi, c, klo, khi (set to length n) at every candidate row
// (candidate mark non-zero) of the class (0: all rows; +1 primal, -1 dual:
// rows of that row type) with Presolve_OneRowBounds over lb, ub (DenseVectors
// of length n). Other rows keep the values the vectors held.
void Presolve_RowBounds(MCP* mcp, std::int32_t row_class, const DenseVector* lb,
                        const DenseVector* ub, DenseVector* lo, DenseVector* hi, DenseVector* c,
                        IDenseVector* klo, IDenseVector* khi);
