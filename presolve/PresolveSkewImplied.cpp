// The implied round: bounds that the half-bounded and free rows of one
// class imply on their columns, and their use (fix where they meet,
// tighten on request, force or drop rows over them, free one-entry columns
// whose bounds their row already implies).
//
// The derived bounds are shared by every solution: a row classed by the
// caller keeps its sign condition (sum a z <= c when l_i = -inf, >= c when
// u_i = +inf) at every solution, and bound propagation over such a row is
// exact. Fixes and explicit bounds made from them are recorded with kind 0
// and the deriving row as second index, so that the postsolve re-chooses
// the variable of that row (its multiplier in a primal-dual pair) to
// restore the dropped conditions. That repair rests on the pairing of
// primal and dual rows that the caller's classes assert.
#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveSkew.hpp"
#include "presolve/PresolveSkew_internal.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr double kTol = PRESOLVE_ROW_TOLERANCE;

// Tightenings left to presolve_tighten in this presolve. Propagating bounds
// over rows that contradict each other moves them on without end (each
// round a little further towards infinity); once the allowance is spent the
// implied bounds are no longer made explicit for their own sake.
std::int32_t tightenings_left = 0;

// A lower bound raised from old to bound by a step worth recording: more
// than a thousandth of the bound's size (any step from an infinite bound).
bool Worthwhile(double bound, double old) {
  if (!(old > -Presolve_Infinity())) return bound > -Presolve_Infinity();
  return bound - old > 1e-3 * std::fmax(1.0, std::fabs(old));
}

double Inf() { return Presolve_Infinity(); }

std::int32_t Sum(const std::int32_t* counts[5]) {
  std::int32_t total = 0;
  for (int k = 0; k < 5; ++k) total += *counts[k];
  return total;
}

// Keeps candidate bound t of column j when it improves the kept one.
void OfferUpper(const DerivedBounds& d, std::int32_t j, double t, std::int32_t row) {
  if (DenseVector_Value(d.upper, j) - kTol > t) {
    DenseVector_SetValue(d.upper, j, t);
    IDenseVector_SetValue(d.upper_row, j, row);
  }
}

void OfferLower(const DerivedBounds& d, std::int32_t j, double t, std::int32_t row) {
  if (t > DenseVector_Value(d.lower, j) + kTol) {
    DenseVector_SetValue(d.lower, j, t);
    IDenseVector_SetValue(d.lower_row, j, row);
  }
}

// Offers the bound that the entry (a, column j) of row i gets from the
// row's slack s = c - L (le: sum a z <= c) or s = c - U (sum a z >= c),
// where base is the entry's own contribution bound that the activity
// bound used (0 for the single entry with an infinite contribution).
void OfferFromEntry(const DerivedBounds& d, std::int32_t i, std::int32_t j, double a, double s,
                    double base, bool le) {
  const double t = s / a + base;
  if ((a > 0) == le) {
    OfferUpper(d, j, t, i);
  } else {
    OfferLower(d, j, t, i);
  }
}

// The bounds one row implies, from its lower (le) or upper activity bound.
void DeriveFromRow(const PresolveView& v, std::int32_t i, const double* lo, const double* up,
                   double bound, double c, std::int32_t marker, bool le,
                   const DerivedBounds& d) {
  if (marker < 0) return;
  if (marker >= 1) {
    const std::int32_t p = v.row_entry[marker - 1] - 1;
    const double a = v.value[p];
    if (Presolve_NonZero(a)) OfferFromEntry(d, i, v.entry_column[p], a, c - bound, 0.0, le);
    return;
  }
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(j) || v.entry_type[p] != 0 || !Presolve_NonZero(a)) continue;
    if (lo[j - 1] == up[j - 1]) continue;
    // The bound of the entry that the activity bound used.
    const double base = (a > 0) == le ? lo[j - 1] : up[j - 1];
    OfferFromEntry(d, i, j, a, c - bound, base, le);
  }
}

// Implied bounds of column j meet: j is fixed at their midpoint, clipped
// into its bounds, with the rows that implied them as second indices.
void FixAtMeet(MCP* mcp, std::int32_t level, std::int32_t j, double lo, double up,
               const DerivedBounds& d, std::int32_t* changes) {
  const double lj = DenseVector_Value(mcp->lower, j);
  const double uj = DenseVector_Value(mcp->upper, j);
  const double mid = Presolve_Clip((lo + up) * 0.5, lj, uj);
  const std::int32_t row_lo = IDenseVector_Value(d.lower_row, j);
  const std::int32_t row_up = IDenseVector_Value(d.upper_row, j);
  if (row_lo > 0 && mid >= lj + kTol) {
    Presolve_SetBounds(mcp, level, row_lo, PRESOLVE_KIND_FIX, j, mid, uj);
    *changes += 1;
  }
  if (Presolve_IsFixed(mcp, j)) return;
  const std::int32_t second = row_up > 0 ? row_up : row_lo;
  const std::int32_t kind = second > 0 ? PRESOLVE_KIND_FIX : PRESOLVE_KIND_BOUND;
  MCP_FixVariable(mcp, level, second > 0 ? second : j, kind, j, mid);
  *changes += 1;
}

// The implied bound of column j on the given side made explicit.
void ImpliedTighten(MCP* mcp, std::int32_t level, std::int32_t j, bool lower,
                    std::int32_t* changes) {
  const DerivedBounds d = Skew_ImpliedSet();
  if (lower) {
    Skew_ExplicitLower(mcp, level, j, d, changes);
  } else {
    Skew_ExplicitUpper(mcp, level, j, d, changes);
  }
}

// Explicit bounds of row i's columns on the side of its lower (upper)
// activity bound over the combined bounds, then the row pinned there.
void ImpliedPin(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* forced,
                std::int32_t* changes, bool lower) {
  Skew_PinRow(mcp, level, i, forced, changes, lower,
              lower ? "Implied_Lower" : "Implied_Upper", ImpliedTighten);
}

// One sweep over the class's rows with the activity over the combined
// bounds.
int ImpliedForceRows(MCP* mcp, std::int32_t level, std::int32_t row_class, std::int32_t* forced,
                     std::int32_t* redundant, std::int32_t* changes) {
  const CombinedRound round = {false, Skew_CombinedActivity(), RoundKind::kImplied, ImpliedPin,
                               Implied_Redundant};
  return Skew_CombinedForceRows(mcp, level, row_class, round, forced, redundant, changes);
}

// Column j of row r is a candidate of the free-column rule: its only
// active entry is in row r, its row is a candidate, the derived bounds d
// cover one of its finite bounds, and it was not freed before in this
// presolve. (Two columns whose bounds each row implies from the other's
// bounds would otherwise be freed and bounded again in turn for ever:
// freeing one makes the bounds its row gave the other explicit.)
bool FreeCandidate(MCP* mcp, std::int32_t j, const DerivedBounds& d) {
  const PresolveView v = Presolve_View(mcp);
  if (v.col_count[j - 1] != 1 || v.mark[j - 1] != 1) return false;
  if (Skew_FreedFlags()[j - 1] != 0) return false;
  const double inf = Inf();
  const double lj = v.lower[j - 1];
  const double uj = v.upper[j - 1];
  return (lj > -inf && DenseVector_Value(d.lower, j) >= lj - kTol) ||
         (uj < inf && DenseVector_Value(d.upper, j) <= uj + kTol);
}

int ImpliedFreeColumn(MCP* mcp, std::int32_t level, std::int32_t r, std::int32_t j,
                      std::int32_t* freed, std::int32_t* changes) {
  const DerivedBounds d = Skew_ImpliedSet();
  const int free_case = Skew_FreeColumnCase(mcp, j, d);
  if (free_case == 0) return MCP_CONTINUE;
  const PresolveView v = Presolve_View(mcp);
  for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t i = v.entry_column[p];
    const double b = v.value[p];
    if (i == j || v.Fixed(i) || !Presolve_NonZero(b)) continue;
    Skew_ExplicitSides(mcp, level, r, i, free_case, b, d, changes);
  }
  return Skew_RelaxColumn(mcp, level, r, j, d, freed, changes);
}

// The implied bounds of row s's columns on the side of its lower (upper)
// activity bound, made explicit.
void ApplyRowSide(MCP* mcp, std::int32_t level, std::int32_t s, std::int32_t* count, bool lower) {
  const PresolveView v = Presolve_View(mcp);
  const DerivedBounds d = Skew_ImpliedSet();
  for (std::int32_t k = v.RowBegin(s); k < v.RowEnd(s); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t i = v.entry_column[p];
    const double a = v.value[p];
    if (v.Fixed(i) || !Presolve_NonZero(a)) continue;
    if (lower == (a > 0)) {
      Skew_ExplicitLower(mcp, level, i, d, count);
    } else {
      Skew_ExplicitUpper(mcp, level, i, d, count);
    }
  }
}

}  // namespace

void Skew_ResetTightenings(std::int32_t n) { tightenings_left = 20 * n + 100; }

void Skew_ForgetTightenings() { tightenings_left = 0; }

bool Skew_TighteningsAtRest() { return tightenings_left == 0; }

void Skew_ImpliedBounds(MCP* mcp, std::int32_t row_class, const double* lo, const double* up,
                        const ActivitySet& act, const DerivedBounds& out) {
  const PresolveView v = Presolve_View(mcp);
  const double inf = Inf();
  DenseVector_Fill(out.lower, v.n, -inf);
  DenseVector_Fill(out.upper, v.n, inf);
  IDenseVector_FillZero(out.lower_row, v.n);
  IDenseVector_FillZero(out.upper_row, v.n);
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (v.mark[i - 1] == 0 || v.row_type[i - 1] != row_class) continue;
    const bool lower_infinite = !(v.lower[i - 1] > -inf);
    const bool upper_infinite = !(v.upper[i - 1] < inf);
    if (!lower_infinite && !upper_infinite) continue;
    const std::int32_t klo = IDenseVector_Value(act.klo, i);
    const std::int32_t khi = IDenseVector_Value(act.khi, i);
    if (klo < 0 && khi < 0) continue;
    const double c = DenseVector_Value(act.c, i);
    if (lower_infinite) {
      DeriveFromRow(v, i, lo, up, DenseVector_Value(act.lo, i), c, klo, true, out);
    }
    if (upper_infinite) {
      DeriveFromRow(v, i, lo, up, DenseVector_Value(act.hi, i), c, khi, false, out);
    }
  }
}

int Skew_ApplyImplied(MCP* mcp, std::int32_t level, std::int32_t* fixed, std::int32_t* changes) {
  const PresolveView v = Presolve_View(mcp);
  const DerivedBounds d = Skew_ImpliedSet();
  const bool tighten = Presolve_OptionBool(PRESOLVE_TIGHTEN);
  for (std::int32_t j = 1; j <= v.n; ++j) {
    if (v.Fixed(j)) continue;
    double lo = v.lower[j - 1];
    double up = v.upper[j - 1];
    const double implied_lo = DenseVector_Value(d.lower, j);
    const double implied_up = DenseVector_Value(d.upper, j);
    if (implied_lo > lo) lo = implied_lo;
    if (implied_up < up - kTol) up = implied_up;
    // Crossing and meeting bounds are settled before any bound is made
    // explicit, so that no explicit bound ever crosses the other.
    if (lo > up + kTol) {
      Output_Printf(OUTPUT_LOG, "Implied (%d): infeasible: original %5.4e %5.4e implied: %5.4e %5.4e\n",
                    j, v.lower[j - 1], v.upper[j - 1], lo, up);
      return MCP_INFEASIBLE;
    }
    if (lo >= up - kTol) {
      FixAtMeet(mcp, level, j, lo, up, d, changes);
      *fixed += 1;
    } else if (tighten && tightenings_left > 0) {
      if (Worthwhile(implied_lo, v.lower[j - 1]) && Skew_ExplicitLower(mcp, level, j, d, changes)) {
        tightenings_left -= 1;
      }
      if (Worthwhile(-implied_up, -v.upper[j - 1]) &&
          Skew_ExplicitUpper(mcp, level, j, d, changes)) {
        tightenings_left -= 1;
      }
    }
  }
  return MCP_CONTINUE;
}

void Implied_ExplicitRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* changes) {
  const PresolveView v = Presolve_View(mcp);
  const DerivedBounds d = Skew_ImpliedSet();
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t j = v.entry_column[v.row_entry[k] - 1];
    if (IDenseVector_Value(d.lower_row, j) == i) {
      if (!v.Fixed(j)) Skew_ExplicitLower(mcp, level, j, d, changes);
      Skew_ForgetLower(d, j);
    }
    if (IDenseVector_Value(d.upper_row, j) == i) {
      if (!v.Fixed(j)) Skew_ExplicitUpper(mcp, level, j, d, changes);
      Skew_ForgetUpper(d, j);
    }
  }
}

void Implied_FixRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* redundant) {
  const double li = DenseVector_Value(mcp->lower, i);
  const double ui = DenseVector_Value(mcp->upper, i);
  if (Presolve_IsFixed(mcp, i)) return;
  const double value = li > -Inf() ? li : ui;
  MCP_FixVariable(mcp, level, i, PRESOLVE_KIND_FIX, i, value);
  *redundant += 1;
}

void Implied_Redundant(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* redundant,
                       std::int32_t* changes) {
  Implied_ExplicitRow(mcp, level, i, changes);
  Implied_FixRow(mcp, level, i, redundant);
}

void Implied_ApplyRowLower(MCP* mcp, std::int32_t level, std::int32_t s, std::int32_t* count) {
  ApplyRowSide(mcp, level, s, count, true);
}

void Implied_ApplyRowUpper(MCP* mcp, std::int32_t level, std::int32_t s, std::int32_t* count) {
  ApplyRowSide(mcp, level, s, count, false);
}

int Skew_FreeColumnCase(MCP* mcp, std::int32_t j, const DerivedBounds& d) {
  double a = 0.0;
  std::int32_t k = 0;
  double lk = 0.0;
  double uk = 0.0;
  // Row j must have an active entry for the rule to read it.
  if (!Presolve_RowOne(mcp, j, &a, &k, &lk, &uk)) return 0;
  const double inf = Inf();
  double lo = DenseVector_Value(mcp->lower, j);
  double up = DenseVector_Value(mcp->upper, j);
  if (DenseVector_Value(d.lower, j) >= lo - kTol) lo = -inf;
  if (DenseVector_Value(d.upper, j) <= up + kTol) up = inf;
  const bool lo_free = !(lo > -inf);
  const bool up_free = !(up < inf);
  const bool lk_free = !(lk > -inf);
  const bool uk_free = !(uk < inf);
  if (lo_free && up_free) return 1;
  if (!lo_free && up_free) {
    if (a < 0 && uk_free) return lk_free ? 2 : 1;
    if (a > 0 && lk_free) return uk_free ? 3 : 1;
    return 0;
  }
  if (lo_free && !up_free) {
    if (a > 0 && uk_free) return lk_free ? 2 : 1;
    if (a < 0 && lk_free) return uk_free ? 3 : 1;
  }
  return 0;
}

bool Skew_FreeColumnSide(int free_case, double b, bool lower) {
  if (free_case == 1) return true;
  const bool lower_side = free_case == 2 ? b >= 0 : b <= 0;
  return lower_side == lower;
}

void Skew_ExplicitSides(MCP* mcp, std::int32_t level, std::int32_t r, std::int32_t i,
                        int free_case, double b, const DerivedBounds& d, std::int32_t* changes) {
  if (Skew_FreeColumnSide(free_case, b, true) && IDenseVector_Value(d.lower_row, i) == r) {
    Skew_ExplicitLower(mcp, level, i, d, changes);
    Skew_ForgetLower(d, i);
  }
  if (Skew_FreeColumnSide(free_case, b, false) && IDenseVector_Value(d.upper_row, i) == r) {
    Skew_ExplicitUpper(mcp, level, i, d, changes);
    Skew_ForgetUpper(d, i);
  }
}

int Skew_RelaxColumn(MCP* mcp, std::int32_t level, std::int32_t r, std::int32_t j,
                     const DerivedBounds& d, std::int32_t* freed, std::int32_t* changes) {
  const double inf = Inf();
  double lo = DenseVector_Value(mcp->lower, j);
  double up = DenseVector_Value(mcp->upper, j);
  if (DenseVector_Value(d.lower, j) >= lo - kTol && lo > -inf) {
    lo = -inf;
    *changes += 1;
  }
  if (DenseVector_Value(d.upper, j) <= up + kTol && up < inf) {
    up = inf;
    *changes += 1;
  }
  Presolve_SetBounds(mcp, level, r, PRESOLVE_KIND_BOUND, j, lo, up);
  Skew_FreedFlags()[j - 1] = 1;
  std::int32_t count = 0;
  const int status = Skew_OneRow(mcp, level, j, &count);
  *freed += count;
  return status;
}

int Skew_FreeColumns(MCP* mcp, std::int32_t level, std::int32_t row_class, const DerivedBounds& d,
                     std::int32_t* freed, std::int32_t* changes, FreeColumnRule rule) {
  const PresolveView v = Presolve_View(mcp);
  const double inf = Inf();
  for (std::int32_t r = 1; r <= v.n; ++r) {
    if (v.mark[r - 1] == 0 || v.row_type[r - 1] != row_class || v.Fixed(r)) continue;
    for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
      if (v.lower[r - 1] > -inf && v.upper[r - 1] < inf) break;
      const std::int32_t p = v.row_entry[k] - 1;
      const std::int32_t j = v.entry_column[p];
      if (v.Fixed(j) || !Presolve_NonZero(v.value[p])) continue;
      if (!FreeCandidate(mcp, j, d)) continue;
      const int status = rule(mcp, level, r, j, freed, changes);
      if (status != MCP_CONTINUE) return status;
    }
  }
  return MCP_CONTINUE;
}

int Skew_ImpliedRound(MCP* mcp, std::int32_t level, std::int32_t row_class, std::int32_t* fixed,
                      std::int32_t* forced, std::int32_t* redundant, std::int32_t* freed,
                      std::int32_t* changes) {
  const std::int32_t* counts[5] = {fixed, forced, redundant, freed, changes};
  const DerivedBounds d = Skew_ImpliedSet();
  const ActivitySet current = Skew_CurrentActivity();
  for (;;) {
    const std::int32_t before = Sum(counts);
    Presolve_RowBounds(mcp, row_class, mcp->lower, mcp->upper, current.lo, current.hi, current.c,
                       current.klo, current.khi);
    Skew_ImpliedBounds(mcp, row_class, DenseVector_Array(mcp->lower),
                       DenseVector_Array(mcp->upper), current, d);
    int status = Skew_ApplyImplied(mcp, level, fixed, changes);
    if (status != MCP_CONTINUE) return status;
    status = ImpliedForceRows(mcp, level, row_class, forced, redundant, changes);
    if (status != MCP_CONTINUE) return status;
    // Freeing a column relaxes the very bounds that tightening makes
    // explicit: with both, every round would undo the last one.
    if (!Presolve_OptionBool(PRESOLVE_TIGHTEN)) {
      status = Skew_FreeColumns(mcp, level, row_class, d, freed, changes, &ImpliedFreeColumn);
      if (status != MCP_CONTINUE) return status;
    }
    if (Sum(counts) == before) return MCP_CONTINUE;
  }
}
