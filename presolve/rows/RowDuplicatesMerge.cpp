// The duplicate-row rule (fix, infeasibility, merge of a pair of duplicate
// rows), the test that two columns are proportional, and the postsolve of
// a merge.
#include "presolve/rows/RowDuplicatesMerge.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/DenseVector.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowBlockReduce.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr double kUnbounded = std::numeric_limits<double>::infinity();

// Returned by a settling step that fixed nothing (never a status code).
constexpr int kNoFix = 0;

// One row of the pair with its variable X: F_X = a * s + c.
struct Side {
  std::int32_t x;
  double a, c;
  double c_scale;  // the magnitudes of the terms that formed c (at least |c|)
  double l, u;
  double mid;  // savedX(X) projected onto [l, u]
  bool free;   // both bounds infinite: F_X = 0 at a solution
  std::int32_t col_count;
  double lo, hi;  // the values of s that complementarity of row X allows
};

struct Pair {
  MCP* mcp;
  std::int32_t level;
  RowTolerance tol;
  std::int32_t* dup;
  std::int32_t* dbd;
  Side i, r;

  bool Gt(double a, double b) const { return RowCompare_Gt(a, b, tol.zerotol, tol.infinity); }
  bool Eq(double a, double b) const { return RowCompare_Eq(a, b, tol.zerotol, tol.infinity); }
  bool Finite(double v) const { return RowCompare_Finite(v, tol.infinity); }
};

// The interval of s allowed by row X: a finite lower bound alone means
// F_X >= 0, a finite upper bound alone F_X <= 0; otherwise no restriction.
void SetInterval(const Pair& p, Side* s) {
  s->lo = -kUnbounded;
  s->hi = kUnbounded;
  const bool lower = p.Finite(s->l);
  const bool upper = p.Finite(s->u);
  const double root = -s->c / s->a;
  if (lower && !upper) {  // F_X >= 0
    (s->a > 0 ? s->lo : s->hi) = root;
  } else if (!lower && upper) {  // F_X <= 0
    (s->a > 0 ? s->hi : s->lo) = root;
  }
}

Side MakeSide(MCP* mcp, const Pair& p, std::int32_t x, double a, double c, double c_scale) {
  Side s;
  s.x = x;
  s.a = a;
  s.c = c;
  s.c_scale = std::fmax(std::fabs(c), c_scale);
  s.l = DenseVector_Value(MCP_FullLower(mcp), x);
  s.u = DenseVector_Value(MCP_FullUpper(mcp), x);
  s.mid = RowCompare_Median(s.l, DenseVector_Value(MCP_PresolveSavedX(mcp), x), s.u);
  s.free = s.l <= -p.tol.infinity && s.u >= p.tol.infinity;
  s.col_count = IDenseVector_Value(MCP_PresolveColCount(mcp), x);
  SetInterval(p, &s);
  return s;
}

// A value of row y formed from its constant and the other row x's (as
// c_y - (a_y / a_x) c_x does, or F_Y at the root of row x): exactly 0 when
// it cancels to the rounding both constants carry, the other one's
// magnified by the ratio of the rows.
double PairZero(double value, const Side& y, const Side& x) {
  return Row_RoundedZero(value, y.c_scale + std::fabs(y.a / x.a) * x.c_scale);
}

// F_Y at s = end (finite), the root of row x: a value that cancels to
// rounding is that row's zero as well, exactly 0.
double ValueAt(const Side& y, const Side& x, double end) {
  return PairZero(y.c + y.a * end, y, x);
}

// The least (*m) and greatest (*big_m) value of F_Y while s ranges over the
// interval of the other row X; an infinite end of that interval gives an
// infinite end of the range.
void RangeOver(const Pair& p, const Side& y, const Side& x, double* m, double* big_m) {
  const double low_end = y.a > 0 ? x.lo : x.hi;
  const double high_end = y.a > 0 ? x.hi : x.lo;
  *m = p.Finite(low_end) ? ValueAt(y, x, low_end) : -kUnbounded;
  *big_m = p.Finite(high_end) ? ValueAt(y, x, high_end) : kUnbounded;
}

int Fix(const Pair& p, const Side& s, double value, const char* label) {
  return Row_BlockFix(p.mcp, p.level, &s.x, &s.x, &value, 1, label, p.dup);
}

// A fix of X that rests on F_X = 0 (rather than on its sign) takes row X
// out of the problem while row Y, which carries F_X = (a_X / a_Y) F_Y, stays
// for the solver: row X then ends with the residual the solver leaves in row
// Y times the ratio of the rows. Such a fix is made only when row X is not
// the larger of the two, so that row X meets the convergence tolerance
// whenever row Y does.
bool MayDrop(const Side& x, const Side& y) { return std::fabs(x.a) <= std::fabs(y.a); }

// F_X = d at every solution (the variable of the other row, y, is free):
// d > 0 puts X at its lower bound, d < 0 at its upper bound (an infinite one
// is reported infeasible); with d = 0 a variable that no active row uses
// may stay where it is.
int Settle(const Pair& p, const Side& s, const Side& y, double d) {
  // d within rounding of 0 that would put X at an infinite bound: left alone.
  if (Row_InfiniteSideMayBeRounding(d, s.l, s.u)) return ROW_CONTINUE;
  // d may move through terms that count as zero: its sign settles nothing.
  const std::int32_t rows[2] = {s.x, y.x};
  if (d != 0.0 && Row_RowsMayMove(p.mcp, rows, 2)) return ROW_CONTINUE;
  if (p.Gt(d, 0.0)) return Fix(p, s, s.l, "DuplicateRow Lower");
  if (p.Gt(0.0, d)) return Fix(p, s, s.u, "DuplicateRow Upper");
  if (s.col_count == 0 && MayDrop(s, y)) return Fix(p, s, s.mid, "DuplicateRow ZeroCol");
  return kNoFix;
}

// Both rows vanish together and the free variable of the other row, y, can
// take over the column of x: x stays where it is. Columns that differ, or a
// row x larger than row y, are reported against row x and the pair is left
// alone.
int DupCol(const Pair& p, const Side& x, const Side& y) {
  double v_i = 0.0, v_r = 0.0;
  if (MayDrop(x, y) && Row_DuplicateColumns(p.mcp, p.i.x, &v_i, p.r.x, &v_r) == 1) {
    return Fix(p, x, x.mid, "DuplicateRow DupCol");
  }
  return Row_BlockReport(p.mcp, &x.x, 1, "DuplicateRow", " Redundant");
}

// Row y over the interval of row x: F_Y of one sign throughout puts Y at a
// bound. When the range only touches 0 and no active row uses Y, Y goes to
// the bound on the touching side, but only a finite one: the solutions may
// all have F_Y = 0 with Y elsewhere, so an infinite bound there proves
// nothing and the pair is left alone. Touching 0 is a fix that rests on F_Y
// = 0 at the end of row x's interval (MayDrop).
int SettleOver(const Pair& p, const Side& y, const Side& x) {
  double m = 0.0, big_m = 0.0;
  RangeOver(p, y, x, &m, &big_m);
  if (p.Gt(m, 0.0)) {
    if (Row_InfiniteSideMayBeRounding(m, y.l, y.u)) return ROW_CONTINUE;
    return Fix(p, y, y.l, "DuplicateRow Lower");
  }
  if (p.Gt(0.0, big_m)) {
    if (Row_InfiniteSideMayBeRounding(big_m, y.l, y.u)) return ROW_CONTINUE;
    return Fix(p, y, y.u, "DuplicateRow Upper");
  }
  const bool droppable = y.col_count == 0 && MayDrop(y, x);
  if (p.Eq(m, 0.0)) {
    if (droppable && p.Finite(y.l)) return Fix(p, y, y.l, "DuplicateRow ZeroCol");
    return kNoFix;
  }
  if (p.Eq(big_m, 0.0) && droppable && p.Finite(y.u)) {
    return Fix(p, y, y.u, "DuplicateRow ZeroCol");
  }
  return kNoFix;
}

// The rows are proportional, constants included: merge the pair when the
// columns are proportional with the orientation of the rows. The row of
// larger scale is kept (r into i, or i into r when |a_r| > |a_i|): the
// solver stops once the kept row is within its tolerance, and the row
// removed, a fraction of it, is then within it as well.
int MergeWhenColumnsAgree(const Pair& p) {
  double v_i = 0.0, v_r = 0.0;
  if (Row_DuplicateColumns(p.mcp, p.i.x, &v_i, p.r.x, &v_r) != 1) return ROW_CONTINUE;
  const bool rows_agree = (p.i.a > 0) == (p.r.a > 0);
  const bool columns_agree = (v_i > 0) == (v_r > 0);
  if (rows_agree != columns_agree) return ROW_CONTINUE;
  const bool keep_r = std::fabs(p.r.a) > std::fabs(p.i.a);
  const Side& kept = keep_r ? p.r : p.i;
  const Side& gone = keep_r ? p.i : p.r;
  // The merged variable would be fixed at its savedX projected on its
  // bounds; a point beyond every finite value there cannot be fixed, so the
  // pair stays as it is.
  if (!p.Finite(gone.mid)) return ROW_CONTINUE;
  const double q = keep_r ? v_i / v_r : v_r / v_i;  // column gone = q column kept
  return Row_DuplicateRedundant(p.mcp, p.level, kept.x, kept.l, kept.u, gone.x, gone.l, gone.u,
                                q, p.dup, p.dbd);
}

// Neither variable is free: the sign restrictions of both rows.
int DecideRestricted(const Pair& p) {
  const double lo = std::max(p.i.lo, p.r.lo);
  const double hi = std::min(p.i.hi, p.r.hi);
  // The ends are the rows' roots, each -c / a of its own row: ends that
  // differ by the rounding of the constants (measured on row i) are the
  // same root.
  const double a = std::fabs(p.i.a);
  if (p.Gt(PairZero((lo - hi) * a, p.i, p.r) / a, 0.0)) {
    // Roots apart by less than both rows allow within the point tolerance
    // leave a point that meets both rows (the constants of the caller's
    // rows may carry more rounding than the terms at savedX show): the pair
    // is left to the solver.
    if (lo - hi <= Row_RootTolerance(p.i.a) + Row_RootTolerance(p.r.a)) return ROW_CONTINUE;
    const std::int32_t rows[2] = {p.i.x, p.r.x};
    return Row_BlockInfeasible(p.mcp, rows, 2, "DuplicateRows", " Implied");
  }
  int status = SettleOver(p, p.r, p.i);
  if (status != kNoFix) return status;
  status = SettleOver(p, p.i, p.r);
  if (status != kNoFix) return status;
  if (p.Eq(Row_RoundedDifference(p.i.c / p.i.a, p.r.c / p.r.a), 0.0)) {
    return MergeWhenColumnsAgree(p);
  }
  return ROW_CONTINUE;
}

void TraceCheck(MCP* mcp, std::int32_t i, std::int32_t r) {
  const int trace = Row_TraceLevel();
  if (trace < 2) return;
  char name_i[kRowNameLength];
  char name_r[kRowNameLength];
  Output_Printf(OUTPUT_LOG, "DuplicateRowCheck (%s, %s)\n", Row_ConstraintName(mcp, i, name_i),
                Row_ConstraintName(mcp, r, name_r));
  if (trace >= 3) {
    const std::int32_t rows[2] = {i, r};
    Row_PrintBlockRows(mcp, rows, 2);
  }
}

// How an entry of a column takes part in the comparison of two columns.
enum ColumnEntry { kSkip, kUse, kRefuse };

ColumnEntry Classify(const PresolveView& v, const RowTolerance& tol, std::int32_t p) {
  if (v.Fixed(v.row[p])) return kSkip;
  if (v.entry_type[p] == ENTRY_NONLINEAR) return kRefuse;
  if (RowCompare_Eq(v.value[p], 0.0, tol.jactol, tol.infinity)) return kSkip;
  return kUse;
}

// Sets w to 0 in the rows of column j's stored entries.
void ClearRows(const PresolveView& v, std::int32_t j, double* w) {
  for (std::int32_t p = v.ColBegin(j); p < v.ColEnd(j); ++p) w[v.row[p] - 1] = 0.0;
}

// Scatters column i into w (row k at k - 1); false at a nonlinear entry.
bool Scatter(const PresolveView& v, const RowTolerance& tol, std::int32_t i, double* w) {
  for (std::int32_t p = v.ColBegin(i); p < v.ColEnd(i); ++p) {
    const ColumnEntry use = Classify(v, tol, p);
    if (use == kRefuse) return false;
    if (use == kUse) w[v.row[p] - 1] = v.value[p];
  }
  return true;
}

}  // namespace

int DuplicateRow(MCP* mcp, std::int32_t level, std::int32_t i, double a_i, double c_i,
                 std::int32_t r, double a_r, double c_r, std::int32_t* dup, std::int32_t* dbd,
                 double c_i_scale, double c_r_scale) {
  TraceCheck(mcp, i, r);
  Pair p{mcp, level, RowTolerance_Current(), dup, dbd, {}, {}};
  p.i = MakeSide(mcp, p, i, a_i, c_i, c_i_scale);
  p.r = MakeSide(mcp, p, r, a_r, c_r, c_r_scale);
  // F_i where F_r = 0, and F_r where F_i = 0.
  // Rows equal up to rounding in their ratio give exactly 0.
  const double d_i = PairZero(c_i - a_i * c_r / a_r, p.i, p.r);
  const double d_r = PairZero(c_r - a_r * c_i / a_i, p.r, p.i);
  int status = kNoFix;
  if (p.i.free) {
    status = Settle(p, p.r, p.i, d_r);
    if (status != kNoFix) return status;
    if (!p.r.free) return DupCol(p, p.r, p.i);
    status = Settle(p, p.i, p.r, d_i);
    if (status != kNoFix) return status;
    // Both free: either variable may stay; the smaller row leaves.
    return MayDrop(p.r, p.i) ? DupCol(p, p.r, p.i) : DupCol(p, p.i, p.r);
  }
  if (p.r.free) {
    status = Settle(p, p.i, p.r, d_i);
    if (status != kNoFix) return status;
    return DupCol(p, p.i, p.r);
  }
  return DecideRestricted(p);
}

int Row_DuplicateColumns(MCP* mcp, std::int32_t i, double* v_i, std::int32_t r, double* v_r) {
  const PresolveView v = Presolve_View(mcp);
  const RowTolerance tol = RowTolerance_Current();
  double* w = DenseVector_Array(Workspace_Vector(6));
  ClearRows(v, i, w);
  ClearRows(v, r, w);
  if (!Scatter(v, tol, i, w)) return 0;
  double first_i = 0.0, first_r = 0.0;
  bool first = true;
  for (std::int32_t p = v.ColBegin(r); p < v.ColEnd(r); ++p) {
    const ColumnEntry use = Classify(v, tol, p);
    if (use == kRefuse) return 0;
    if (use == kSkip) continue;
    const std::int32_t k = v.row[p] - 1;
    const double b = w[k];
    if (b == 0.0) return 0;  // column i has no non-zero in this row
    w[k] = 0.0;
    if (first) {
      first_i = b;
      first_r = v.value[p];
      first = false;
    } else if (RowCompare_Ne(b / first_i, v.value[p] / first_r, tol.zerotol, tol.infinity)) {
      return 0;
    }
  }
  if (first) return 0;
  // A non-zero of column i left over lies in a row where column r has none.
  for (std::int32_t p = v.ColBegin(i); p < v.ColEnd(i); ++p) {
    if (w[v.row[p] - 1] != 0.0) return 0;
  }
  *v_i = first_i;
  *v_r = first_r;
  return 1;
}

int Row_DuplicateRedundant(MCP* mcp, std::int32_t level, std::int32_t i, double l_i, double u_i,
                           std::int32_t r, double l_r, double u_r, double q, std::int32_t* dup,
                           std::int32_t* dbd) {
  const RowTolerance tol = RowTolerance_Current();
  const double v = RowCompare_Median(l_r, DenseVector_Value(MCP_PresolveSavedX(mcp), r), u_r);
  // x_i + q (x_r - v) is least with x_r at the bound of r that q points
  // away from and greatest at the other one.
  const double toward_low = q > 0 ? l_r : u_r;
  const double toward_high = q > 0 ? u_r : l_r;
  double lower = l_i;
  double upper = u_i;
  if (RowCompare_Finite(l_i, tol.infinity)) {
    lower = RowCompare_Finite(toward_low, tol.infinity) ? l_i + q * (toward_low - v)
                                                        : -tol.infinity;
  }
  if (RowCompare_Finite(u_i, tol.infinity)) {
    upper = RowCompare_Finite(toward_high, tol.infinity) ? u_i + q * (toward_high - v)
                                                         : tol.infinity;
  }
  const int status = Row_BlockBoundKind(mcp, level, &i, PRESOLVE_KIND_BOUND, &i, &lower, &upper,
                                        0.0, 1, "Duplicate Redundant", dbd, 1);
  if (status != ROW_CONTINUE) return status;
  return Row_BlockFixKind(mcp, level, &r, PRESOLVE_KIND_ROW_DUPLICATE, &r, &v, q, 1,
                          "Duplicate Redundant", dup);
}

void Row_PostsolveDuplicate(MCP* mcp, const PresolveRecord& first, const PresolveRecord& second) {
  DenseVector* x = MCP_FullX(mcp);
  const std::int32_t j = first.variable_index;
  const std::int32_t k = second.variable_index;
  const double y = DenseVector_Value(x, j);
  DenseVector_SetValue(MCP_FullLower(mcp), j, first.old_lower);
  DenseVector_SetValue(MCP_FullUpper(mcp), j, first.old_upper);
  DenseVector_SetValue(MCP_FullLower(mcp), k, second.old_lower);
  DenseVector_SetValue(MCP_FullUpper(mcp), k, second.old_upper);
  const double z = RowCompare_Median(first.old_lower, y, first.old_upper);
  double w = (y - z) / second.value + DenseVector_Value(x, k);
  w = RowCompare_Median(second.old_lower, w, second.old_upper);
  Presolve_SetValue(mcp, j, z);
  Presolve_SetValue(mcp, k, w);
}
