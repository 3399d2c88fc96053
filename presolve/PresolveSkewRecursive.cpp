// The recursive round: the derivation of the implied round once more, over
// the combined (explicit and implied) bounds, and the same three uses of
// its bounds. Before a recursive bound is made explicit, the implied bounds
// it rests on are made explicit, so that every explicit bound is justified
// by bounds that are explicit themselves.
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

// The coefficient of the first stored entry of row s in column j (0.0 when
// none).
double EntryOf(MCP* mcp, std::int32_t s, std::int32_t j) {
  const PresolveView v = Presolve_View(mcp);
  for (std::int32_t k = v.RowBegin(s); k < v.RowEnd(s); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (v.entry_column[p] == j) return v.value[p];
  }
  return 0.0;
}

// Makes the recursive bound of column j on one side explicit, after the
// implied bound on that side and the implied bounds of the deriving row
// that the recursive bound rests on.
void RecursiveBound(MCP* mcp, std::int32_t level, std::int32_t j, std::int32_t* count,
                    bool lower) {
  const DerivedBounds implied = Skew_ImpliedSet();
  const DerivedBounds rec = Skew_RecursiveSet();
  const char* operation = lower ? "Recursive_BoundLower" : "Recursive_BoundUpper";
  if (lower) {
    Skew_ExplicitLower(mcp, level, j, implied, count);
  } else {
    Skew_ExplicitUpper(mcp, level, j, implied, count);
  }
  const double bound = DenseVector_Value(lower ? rec.lower : rec.upper, j);
  const bool tighter = lower ? bound > DenseVector_Value(mcp->lower, j) + kTol
                             : bound < DenseVector_Value(mcp->upper, j) - kTol;
  if (!tighter) return;
  const std::int32_t s = IDenseVector_Value(lower ? rec.lower_row : rec.upper_row, j);
  const double a = EntryOf(mcp, s, j);
  if (!Presolve_NonZero(a)) Error_Report("Presolve_Skew", __LINE__, operation, "cannot happen");
  // A lower bound from a positive entry came from the row's upper activity
  // bound, from a negative one from its lower activity bound (and the
  // reverse for an upper bound).
  if ((a > 0) == lower) {
    Implied_ApplyRowUpper(mcp, level, s, count);
  } else {
    Implied_ApplyRowLower(mcp, level, s, count);
  }
  if (lower) {
    Skew_ExplicitLower(mcp, level, j, rec, count);
  } else {
    Skew_ExplicitUpper(mcp, level, j, rec, count);
  }
}

int ApplyRecursive(MCP* mcp, std::int32_t level, std::int32_t* fixed, std::int32_t* changes,
                   std::int32_t* found) {
  const PresolveView v = Presolve_View(mcp);
  const DerivedBounds rec = Skew_RecursiveSet();
  for (std::int32_t j = 1; j <= v.n; ++j) {
    if (v.Fixed(j)) continue;
    Skew_Combine(mcp, j, false);
    double lo = Skew_CombinedLower(mcp)[j - 1];
    double up = Skew_CombinedUpper(mcp)[j - 1];
    if (lo == up) continue;
    if (DenseVector_Value(rec.lower, j) > lo) {
      lo = DenseVector_Value(rec.lower, j);
      *found += 1;
    }
    if (DenseVector_Value(rec.upper, j) < up) {
      up = DenseVector_Value(rec.upper, j);
      *found += 1;
    }
    if (lo > up + kTol) {
      Output_Printf(OUTPUT_LOG,
                    "Recursive (%d): infeasible: original %5.4e %5.4e recursive implied: %5.4e "
                    "%5.4e\n",
                    j, v.lower[j - 1], v.upper[j - 1], lo, up);
      return MCP_INFEASIBLE;
    }
    if (lo >= up - kTol) {
      Recursive_BoundLower(mcp, level, j, changes);
      Recursive_BoundUpper(mcp, level, j, changes);
      if (!v.Fixed(j)) {
        // The bounds met within the tolerance without becoming equal: fix
        // at their midpoint.
        const double mid = Presolve_Clip((lo + up) * 0.5, v.lower[j - 1], v.upper[j - 1]);
        const std::int32_t s = IDenseVector_Value(rec.upper_row, j) > 0
                                   ? IDenseVector_Value(rec.upper_row, j)
                                   : IDenseVector_Value(rec.lower_row, j);
        MCP_FixVariable(mcp, level, s > 0 ? s : j, s > 0 ? PRESOLVE_KIND_FIX : PRESOLVE_KIND_BOUND,
                        j, mid);
        *changes += 1;
      }
      *fixed += 1;
    }
  }
  return MCP_CONTINUE;
}

// The combined bound of column j on the given side made explicit when it
// tightens the current one by more than the tolerance.
void RecursiveTighten(MCP* mcp, std::int32_t level, std::int32_t j, bool lower,
                      std::int32_t* changes) {
  const PresolveView v = Presolve_View(mcp);
  if (lower) {
    if (Skew_CombinedLower(mcp)[j - 1] > v.lower[j - 1] + kTol) {
      Recursive_BoundLower(mcp, level, j, changes);
    }
  } else if (v.upper[j - 1] - kTol > Skew_CombinedUpper(mcp)[j - 1]) {
    Recursive_BoundUpper(mcp, level, j, changes);
  }
}

void RecursivePin(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* forced,
                  std::int32_t* changes, bool lower) {
  Skew_PinRow(mcp, level, i, forced, changes, lower,
              lower ? "Recursive_Lower" : "Recursive_Upper", RecursiveTighten);
}

// The recursive bounds that row i gave, made explicit and forgotten.
void RecursiveExplicitRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* changes) {
  const PresolveView v = Presolve_View(mcp);
  const DerivedBounds rec = Skew_RecursiveSet();
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t j = v.entry_column[v.row_entry[k] - 1];
    if (IDenseVector_Value(rec.lower_row, j) == i) {
      if (!v.Fixed(j)) Recursive_BoundLower(mcp, level, j, changes);
      Skew_ForgetLower(rec, j);
    }
    if (IDenseVector_Value(rec.upper_row, j) == i) {
      if (!v.Fixed(j)) Recursive_BoundUpper(mcp, level, j, changes);
      Skew_ForgetUpper(rec, j);
    }
  }
}

void RecursiveRedundant(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* redundant,
                        std::int32_t* changes) {
  Implied_ExplicitRow(mcp, level, i, changes);
  RecursiveExplicitRow(mcp, level, i, changes);
  Implied_FixRow(mcp, level, i, redundant);
}

// One sweep over the class's rows with the activity over the combined
// bounds, recursive ones included.
int RecursiveForceRows(MCP* mcp, std::int32_t level, std::int32_t row_class,
                       std::int32_t* forced, std::int32_t* redundant, std::int32_t* changes) {
  const CombinedRound round = {true, Skew_RecursiveActivity(), RoundKind::kRecursive,
                               RecursivePin, RecursiveRedundant};
  return Skew_CombinedForceRows(mcp, level, row_class, round, forced, redundant, changes);
}

int RecursiveFreeColumn(MCP* mcp, std::int32_t level, std::int32_t r, std::int32_t j,
                        std::int32_t* freed, std::int32_t* changes) {
  const DerivedBounds implied = Skew_ImpliedSet();
  const DerivedBounds rec = Skew_RecursiveSet();
  const int free_case = Skew_FreeColumnCase(mcp, j, rec);
  if (free_case == 0) return MCP_CONTINUE;
  const PresolveView v = Presolve_View(mcp);
  // First the implied bounds of row r (column j included), then its
  // recursive ones (column j left out).
  for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t i = v.entry_column[p];
    const double b = v.value[p];
    if (v.Fixed(i) || !Presolve_NonZero(b)) continue;
    Skew_ExplicitSides(mcp, level, r, i, free_case, b, implied, changes);
  }
  for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t i = v.entry_column[p];
    const double b = v.value[p];
    if (i == j || v.Fixed(i) || !Presolve_NonZero(b)) continue;
    if (Skew_FreeColumnSide(free_case, b, true) && IDenseVector_Value(rec.lower_row, i) == r) {
      if (DenseVector_Value(rec.lower, i) > v.lower[i - 1] + kTol) {
        Recursive_BoundLower(mcp, level, i, changes);
      }
      Skew_ForgetLower(rec, i);
    }
    if (Skew_FreeColumnSide(free_case, b, false) && IDenseVector_Value(rec.upper_row, i) == r) {
      if (DenseVector_Value(rec.upper, i) < v.upper[i - 1] - kTol) {
        Recursive_BoundUpper(mcp, level, i, changes);
      }
      Skew_ForgetUpper(rec, i);
    }
  }
  return Skew_RelaxColumn(mcp, level, r, j, rec, freed, changes);
}

}  // namespace

void Recursive_BoundLower(MCP* mcp, std::int32_t level, std::int32_t j, std::int32_t* count) {
  RecursiveBound(mcp, level, j, count, true);
}

void Recursive_BoundUpper(MCP* mcp, std::int32_t level, std::int32_t j, std::int32_t* count) {
  RecursiveBound(mcp, level, j, count, false);
}

int Skew_RecursiveRound(MCP* mcp, std::int32_t level, std::int32_t row_class,
                        std::int32_t* fixed, std::int32_t* forced, std::int32_t* redundant,
                        std::int32_t* freed, std::int32_t* changes) {
  // The input, over the combined bounds as they stand now.
  Skew_CombineAll(mcp, false);
  const ActivitySet combined = Skew_CombinedActivity();
  DenseVector* lower = mcp->lower_r;
  DenseVector* upper = mcp->upper_r;
  Presolve_RowBounds(mcp, row_class, lower, upper, combined.lo, combined.hi, combined.c,
                     combined.klo, combined.khi);
  const DerivedBounds rec = Skew_RecursiveSet();
  Skew_ImpliedBounds(mcp, row_class, DenseVector_Array(lower), DenseVector_Array(upper), combined,
                     rec);
  std::int32_t found = 0;
  int status = ApplyRecursive(mcp, level, fixed, changes, &found);
  if (status != MCP_CONTINUE || found == 0) return status;
  status = RecursiveForceRows(mcp, level, row_class, forced, redundant, changes);
  if (status != MCP_CONTINUE) return status;
  if (Presolve_OptionBool(PRESOLVE_TIGHTEN)) return MCP_CONTINUE;  // see Skew_ImpliedRound
  return Skew_FreeColumns(mcp, level, row_class, rec, freed, changes, &RecursiveFreeColumn);
}
