// Forcing rows: the sweeps over the linear rows, the bounds of F_i over the
// box, and the fixings and implied values those bounds settle. The rows
// with at most one counted entry are in RowForceOne.cpp.
#include "presolve/rows/RowForce.hpp"

#include "core/Output.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowForce_internal.hpp"
#include "presolve/rows/RowShared.hpp"

namespace {

// What one pass over row i learns: the counted entries, the bounds of the
// sum of their terms over the box (finite terms in lo and hi, the number of
// infinite ones in lo_inf and hi_inf), the coefficient of x_i and the
// constant b of F_i = sum a_j x_j + b.
struct RowScan {
  std::int32_t count = 0;
  double lo = 0.0;
  double hi = 0.0;
  std::int32_t lo_inf = 0;
  std::int32_t hi_inf = 0;
  double diag = 0.0;
  double b = 0.0;
  bool nonlinear = false;
};

// Adds the term a * x_j over [lower, upper] to the bounds of the scan.
void AddTerm(double a, double lower, double upper, double inf, RowScan* s) {
  const double least = a > 0 ? lower : upper;
  const double most = a > 0 ? upper : lower;
  if (RowCompare_Finite(least, inf)) {
    s->lo += a * least;
  } else {
    s->lo_inf += 1;
  }
  if (RowCompare_Finite(most, inf)) {
    s->hi += a * most;
  } else {
    s->hi_inf += 1;
  }
}

// Scans row i. Stops at a nonlinear counted entry, and once two terms are
// infinite on each side (the bounds then settle nothing).
RowScan ScanRow(const PresolveView& v, const double* saved, std::int32_t i,
                const RowTolerance& tol) {
  RowScan s;
  RowSum b = RowSum_StartRow(v, saved, i);
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(j)) continue;
    if (!Row_EntryLinear(v.entry_type[p])) {
      s.nonlinear = true;
      return s;
    }
    if (RowCompare_Eq(a, 0.0, tol.jactol, tol.infinity)) continue;
    s.count += 1;
    if (j == i) s.diag = a;
    AddTerm(a, v.lower[j - 1], v.upper[j - 1], tol.infinity, &s);
    RowSum_Take(&b, a * saved[j - 1]);
    if (s.lo_inf >= 2 && s.hi_inf >= 2) break;
  }
  s.b = RowSum_Value(b);
  return s;
}

// The labels of the two sides on which F_i has 0 as its extreme value.
struct Side {
  bool lower;  // F_i >= 0 with least value 0 (x_i towards l_i); else F_i <= 0, greatest 0
  const char* monotone;
  const char* one_column;
  const char* zero_column;
};
constexpr Side kLowerSide = {true, "Force Row Monotone Lower", "Force Row OneCol Lower",
                             "Force Row ZeroCol Lower"};
constexpr Side kUpperSide = {false, "Force Row Monotone Upper", "Force Row OneCol Upper",
                             "Force Row ZeroCol Upper"};

// Whether a zero extreme with a finite bound on its side puts x_i there:
// a rising diagonal always does, else only a column that reaches no other
// row.
bool ExtremeFixes(const PresolveView& v, std::int32_t i, double diag, const RowTolerance& tol) {
  if (RowCompare_Gt(diag, 0.0, tol.jactol, tol.infinity)) return true;
  const bool falling = RowCompare_Lt(diag, 0.0, tol.jactol, tol.infinity);
  return v.col_count[i - 1] == (falling ? 1 : 0);
}

// F_i keeps one sign over the box and reaches 0 at its extreme. With x_i
// rising towards that extreme (diag > 0) x_i must sit at the side's bound;
// otherwise the bound is a valid choice when column i reaches no other row
// (falling diagonal: only row i; no diagonal: no row at all). An infinite
// bound there forces F_i = 0: every variable of the row sits where F_i is
// extreme (reported).
int ForceAtExtreme(MCP* mcp, std::int32_t level, const PresolveView& v, std::int32_t i,
                   double diag, const Side& side, const RowTolerance& tol,
                   std::int32_t* counter) {
  const double bound = side.lower ? v.lower[i - 1] : v.upper[i - 1];
  if (RowCompare_Gt(diag, 0.0, tol.jactol, tol.infinity)) {
    return RowForce_Fix(mcp, level, i, i, bound, side.monotone, counter);
  }
  const bool falling = RowCompare_Lt(diag, 0.0, tol.jactol, tol.infinity);
  if (!RowCompare_Finite(bound, tol.infinity)) {
    return side.lower ? Row_ForceLower(mcp, i) : Row_ForceUpper(mcp, i);
  }
  if (ExtremeFixes(v, i, diag, tol)) {
    return RowForce_Fix(mcp, level, i, i, bound, falling ? side.one_column : side.zero_column,
                        counter);
  }
  return ROW_CONTINUE;
}

// The cases of a row whose F_i is bounded on at least one side.
int ForceBySign(MCP* mcp, std::int32_t level, const PresolveView& v, std::int32_t i,
                const RowScan& s, const RowTolerance& tol, std::int32_t* counter) {
  const double inf = tol.infinity;
  const double lo = s.lo_inf == 0 ? s.lo + s.b : -inf;
  const double hi = s.hi_inf == 0 ? s.hi + s.b : inf;
  // F_i of one sign puts x_i at a bound; at an infinite one the row has no
  // solution, unless F_i reaches 0 within rounding (left alone then). An
  // extreme within rounding of 0 may stand for 0 as well (its terms may
  // hold bounds solved from other rows): x_i goes to the bound then only
  // where a zero extreme would put it there too, else solutions are lost.
  const bool fixes = ExtremeFixes(v, i, s.diag, tol);
  const bool lo_open = Row_MayBeRounding(lo) && !fixes;
  const bool hi_open = Row_MayBeRounding(hi) && !fixes;
  if (RowCompare_Gt(lo, 0.0, tol.zerotol, inf)) {
    if (Row_InfiniteSideMayBeRounding(lo, v.lower[i - 1], v.upper[i - 1]) || lo_open) {
      return ROW_CONTINUE;
    }
    return RowForce_Fix(mcp, level, i, i, v.lower[i - 1], "Force Row Lower", counter);
  }
  if (RowCompare_Lt(hi, 0.0, tol.zerotol, inf)) {
    if (Row_InfiniteSideMayBeRounding(hi, v.lower[i - 1], v.upper[i - 1]) || hi_open) {
      return ROW_CONTINUE;
    }
    return RowForce_Fix(mcp, level, i, i, v.upper[i - 1], "Force Row Upper", counter);
  }
  if (RowCompare_Eq(lo, hi, tol.zerotol, inf)) return ROW_CONTINUE;
  if (RowCompare_Eq(lo, 0.0, tol.zerotol, inf)) {
    return ForceAtExtreme(mcp, level, v, i, s.diag, kLowerSide, tol, counter);
  }
  if (RowCompare_Eq(hi, 0.0, tol.zerotol, inf)) {
    return ForceAtExtreme(mcp, level, v, i, s.diag, kUpperSide, tol, counter);
  }
  return ROW_CONTINUE;
}

// One row of a sweep.
int ForceRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* counter) {
  const PresolveView v = Presolve_View(mcp);
  const RowTolerance tol = RowTolerance_Current();
  if (IDenseVector_Value(Row_LinearMark(), i) == 0 || v.Fixed(i)) return ROW_CONTINUE;
  const RowScan s = ScanRow(v, RowForce_Saved(mcp), i, tol);
  // A row marked linear has no nonlinear entry in an unfixed column.
  if (s.nonlinear) return ROW_CANNOT;
  int status = ROW_CONTINUE;
  if (s.count == 0) {
    status = Row_ForceZero(mcp, level, i, counter);
  } else if (s.count == 1) {
    status = Row_ForceSingle(mcp, level, i, counter);
  }
  if (status != ROW_CONTINUE) return status;
  if (s.lo_inf != 0 && s.hi_inf != 0) return ROW_CONTINUE;
  return ForceBySign(mcp, level, v, i, s, tol, counter);
}

// The values the variables of row i take where F_i is least (at_least) or
// greatest, each reported as implied by the row.
int ReportExtreme(MCP* mcp, std::int32_t i, bool at_least, const char* label) {
  const PresolveView v = Presolve_View(mcp);
  const RowTolerance tol = RowTolerance_Current();
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(j) || RowCompare_Eq(a, 0.0, tol.jactol, tol.infinity)) continue;
    double value = (a > 0) == at_least ? v.lower[j - 1] : v.upper[j - 1];
    // The callers come here only when every term of that extreme is
    // finite; an infinite value would mean the row is not forcing after
    // all, so nothing is reported for it.
    if (!RowCompare_Finite(value, tol.infinity)) return ROW_CONTINUE;
    const int status = Row_ReportImplied(mcp, &i, &j, &value, 1, label);
    if (status != ROW_CONTINUE) return status;
  }
  return ROW_CONTINUE;
}

}  // namespace

int Row_ForceRows(MCP* mcp, std::int32_t level, std::int32_t* fix, std::int32_t* ifx) {
  const std::int32_t n = MCP_FullVariables(mcp);
  std::int32_t total = 0;
  for (std::int32_t sweep = 1;; ++sweep) {
    std::int32_t counter = 0;
    for (std::int32_t i = 1; i <= n; ++i) {
      const int status = ForceRow(mcp, level, i, &counter);
      if (status == ROW_INFEASIBLE || status == ROW_CANNOT) return status;
    }
    if (Row_TraceLevel() >= 2 && counter != 0) {
      Output_Printf(OUTPUT_LOG, "Force Lev: %2d Pas: %2d Fix: %4d\n", 1, sweep, counter);
    }
    total += counter;
    if (counter == 0) break;
  }
  *fix = total;
  *ifx = 0;
  return ROW_CONTINUE;
}

int Row_ForceLower(MCP* mcp, std::int32_t i) {
  return ReportExtreme(mcp, i, true, "Force Row Lower");
}

int Row_ForceUpper(MCP* mcp, std::int32_t i) {
  return ReportExtreme(mcp, i, false, "Force Row Upper");
}
