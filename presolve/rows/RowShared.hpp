// What every family of the row presolve shares: its status codes, the marks
// of the linear rows, the tests for a fixed variable and for an entry that
// counts, the trace level, the names used in reports, and the primitive
// changes every family makes to the problem (fix a variable, narrow its
// bounds) with the printout of a row, and the sums that form a row's value,
// where a cancellation to rounding is exactly 0.
//
// All indices are 1-based. Row i of the Jacobian pairs with variable i.
// The working point of the row rules is savedX (MCP_PresolveSavedX); F of
// every unfixed linear row holds F at savedX while a level runs.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/IDenseVector.hpp"
#include "problems/MCP.hpp"

struct DenseVector;

// Status codes of the row presolve's families and rules.
enum RowStatus : int {
  ROW_UNDEFINED = MCP_UNDEFINED,      // F cannot be evaluated at the new point
  ROW_INFEASIBLE = MCP_INFEASIBLE,    // a rule found no solution for a row
  ROW_CANNOT = MCP_OTHER_FAILURE,     // a rule met a row it cannot handle
  ROW_HANDLED = 11,                   // between a rule and its driver only
  ROW_CONTINUE = MCP_CONTINUE,        // nothing went wrong
};

// Length of the name buffers of the reports.
constexpr int kRowNameLength = 256;

// The marks of the linear rows (1 linear, 0 not linear or fixed), shared by
// all families: integer scratch vector 3 of the Workspace. The duplicate-row
// pass keeps its class numbers there while it runs.
IDenseVector* Row_LinearMark();

// Variable j is fixed when its bounds are equal (exact comparison).
inline bool Row_Fixed(MCP* mcp, std::int32_t j) {
  return DenseVector_Value(MCP_FullLower(mcp), j) == DenseVector_Value(MCP_FullUpper(mcp), j);
}

// An entry is linear when its type (MCP_EntryType) declares it constant;
// any other type is taken for nonlinear, so that no rule ever treats an
// entry as constant that the caller did not declare so.
inline bool Row_EntryLinear(std::int32_t type) { return type == ENTRY_CONSTANT; }

// An entry of type type (MCP_EntryType) and value a counts (is active, with
// its row and column unfixed) when it is nonlinear or a differs from 0 by
// more than jactol (an infinite a counts).
bool Row_EntryCounts(std::int32_t type, double a, double jactol);

// The option output_presolve_level, read afresh.
int Row_TraceLevel();

// Names of full variable j and full row i for the reports, into buffers of
// kRowNameLength characters; the buffer is returned.
const char* Row_VariableName(const MCP* mcp, std::int32_t j, char* buffer);
const char* Row_ConstraintName(const MCP* mcp, std::int32_t i, char* buffer);

// A row's value formed by adding terms: value is the computed sum and scale
// the sum of the magnitudes of the terms (and of any value it started
// from). A sum that cancels to within a few units in the last place of that
// scale is exactly 0: the absolute zero tolerance cannot tell such rounding
// apart from a real value once the terms are large (a fixed value a few
// units in the last place off, met by terms near 1e4, leaves about 1e-12),
// and a rule would then call a solvable row infeasible. Any other value,
// and every value with a non-finite scale, comes back unchanged.
double Row_RoundedZero(double value, double scale);

// How closely a point must meet a row before the row presolve takes it for
// a solution of that row where its exact tests found none: a hundredth of
// the convergence tolerance. The rules decide on values formed by
// eliminations and by the absolute zero tolerance, whose rounding can hide
// a solution; no row is called infeasible, and no point fixed, on rounding
// alone.
double Row_PointTolerance();

// A row value that may be rounding alone: within Row_PointTolerance of 0.
bool Row_MayBeRounding(double value);

// A non-zero row value that would put its variable at the bound on its side
// (the lower bound for value > 0, the upper for value < 0) where that bound
// is infinite, which proves the row infeasible, while the value may be
// rounding alone (Row_MayBeRounding): a rule leaves such a row alone.
bool Row_InfiniteSideMayBeRounding(double value, double lower, double upper);

// A row in no counting coefficient, of value b, puts its variable at the
// bound that the sign of b points to. Values fixed through other rows carry
// their rounding into b, so a b that may be rounding alone
// (Row_MayBeRounding) may stand for a row that vanishes, which every value
// solves: the bound is then a choice, made only while the variable's
// column (col_count counted entries) reaches no other row. True when the
// rule must leave the variable alone.
bool Row_ConstantSettlesOnRounding(double b, std::int32_t col_count);

// How far the root of a row with coefficient a (not 0) may move while the
// row stays within Row_PointTolerance of 0.
double Row_RootTolerance(double a);

// value - term, exactly 0 when it cancels to rounding (Row_RoundedZero).
double Row_RoundedDifference(double value, double term);

// A row's constant formed by taking terms from a start value (F at savedX
// less the terms of the row's variables), with the scale of what formed it.
struct RowSum {
  double value;
  double scale;  // |start| plus the magnitudes of the terms taken
};

inline RowSum RowSum_Start(double start) { return {start, std::fabs(start)}; }

struct PresolveView;

// F of row i at savedX as a start value, with the scale of what formed it:
// F_i sums the terms of every column of the row (fixed ones included) and
// the constant, so its rounding is that of the sum of their magnitudes.
// Measured on the terms at savedX: |F_i| plus |a * savedX(c)| over the
// row's stored entries.
RowSum RowSum_StartRow(const PresolveView& v, const double* saved, std::int32_t i);

// F_i less the term a * savedX(c) of one of its entries, exactly 0 when it
// cancels to rounding on the scale of row i (RowSum_StartRow).
double Row_RowLessTerm(const PresolveView& v, const double* saved, std::int32_t i, double term);

// The rounding that the values of row i's fixed columns carry into its
// constant: F_i took their terms when they were fixed, and a value solved
// from another row is known only to that row's rounding over the
// coefficient it was solved through (a row of terms near 1.4e4 that settles
// a value through a coefficient 128 leaves it some 4e-13 open, and a row
// with coefficient 6e5 in it may miss by 2.4e-7 on that alone). Each
// fixed column counts with the largest such rounding over the rows that
// left the problem and hold it, and the values those rows were formed from
// are followed one step further back. The search reads a bounded number of
// entries and returns what it found by then.
double Row_CarriedRounding(const PresolveView& v, const double* saved, std::int32_t i);

// How far F_i may move through its linear terms whose coefficients count
// as zero (jactol) in unfixed columns: the constants of the rules hold
// them at savedX, but their variables still move within their bounds (a
// coefficient 2e-13 on a variable started at 2e6 holds 4e-7 in the
// constant). Infinite when such a variable has an infinite bound.
double Row_UncountedReach(const PresolveView& v, const double* saved, std::int32_t i);

// A value solved from row i for column x through coefficient a is known
// only to the rounding of that row's terms over |a|: a small coefficient
// beside large terms leaves it open by far more than the terms' own
// rounding (terms near 1.3e3 through a coefficient 7e-3 leave some 8e-11
// at the least). The rounding is taken at a couple of units in the last
// place, what the value is surely open by, not a bound; the rounding the
// row's settled values carry is not counted: its estimate is a bound far
// above what it usually is, and counting it would keep sound values from
// being fixed. True when some other live row with an entry in column x
// would move beyond Row_PointTolerance by that much (a coefficient 3.5e5
// there misses by 3e-5): the value cannot be fixed from row i, and the
// row is left to the solver. A value at a bound of x is that bound
// exactly, whatever the row's rounding: false.
bool Row_SolvedValueReachesBeyond(const PresolveView& v, const double* saved, std::int32_t i,
                                  std::int32_t x, double a, double value);

// Some listed row may move beyond Row_PointTolerance through such terms
// (Row_UncountedReach): its constant is not settled, and no rule decides
// on it.
bool Row_RowsMayMove(MCP* mcp, const std::int32_t* rows, std::int32_t count);

// The constant b of row i (no counting coefficient left) may be the
// rounding alone: within Row_PointTolerance plus the rounding the settled
// values of its fixed columns carry (Row_CarriedRounding), or it may move
// to 0 through terms that count as zero (Row_UncountedReach). Such a row
// is not called infeasible; it is left to the solver.
bool Row_ConstantMayBeCarried(const PresolveView& v, const double* saved, std::int32_t i,
                              double b);

inline void RowSum_Take(RowSum* sum, double term) {
  sum->value -= term;
  sum->scale += std::fabs(term);
}

// The sum, exactly 0 when it cancels to rounding (Row_RoundedZero).
inline double RowSum_Value(const RowSum& sum) { return Row_RoundedZero(sum.value, sum.scale); }

// ---------------------------------------------------------------------------
// Primitive changes (no checks, no reports: the callers check and report)

// Called with each unfixed row r that loses a counted entry (its row count
// has just been lowered) when a variable is fixed.
using RowEntryGone = void (*)(std::int32_t r);

// Fixes the unfixed variable var at value (finite; the caller checked it):
// pushes the record {old lower, old upper, aux, row, var, level, kind};
// lower = upper = savedX(var) = value; every unfixed column with a counted
// entry in row var loses one from its column count; F of every unfixed row
// with a linear entry in column var follows the move of savedX(var) (also
// along entries within jactol of 0), and every unfixed row with a counted
// entry in column var loses one from its row count (on_gone, when not null,
// is called for it); var's own counts and linear mark become 0. Nonlinear
// entries leave F alone (the row pass evaluates F again after the level).
// Returns false, changing nothing, when var is fixed already.
bool Row_FixAt(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
               std::int32_t var, double value, double aux, RowEntryGone on_gone);

// Gives variable var the bounds [lower, upper] (the caller decided that they
// change something): pushes the record {old lower, old upper, aux, row, var,
// level, kind}, moves savedX(var) to the median of lower, savedX(var) and
// upper, and lets F of every unfixed row with a linear entry in column var
// follow that move. Counts and marks do not change.
void Row_BoundTo(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                 std::int32_t var, double lower, double upper, double aux);

// Prints row r term by term on the log when variable r is unfixed, whatever
// the trace level: its bounds, the terms of the unfixed columns whose
// coefficients are not zero (jactol), the constant at savedX, and the sense
// the bounds give it (" == 0", " <= 0", " >= 0" or " ?= 0").
void Row_PrintRow(MCP* mcp, std::int32_t r);

// ---------------------------------------------------------------------------
// Reports shared by the forcing-row and block reductions. All print on the
// log; rows are printed term by term under their line at trace level 3.

// The reason value cannot be given to variable j (" Infinite Value" when it
// is not finite, " Infeasible" when it lies outside j's bounds by more than
// zerotol), or nullptr.
const char* Row_ValueFault(MCP* mcp, std::int32_t j, double value);
// Rows printed term by term (Row_PrintRow), at trace level 3 and above.
void Row_PrintRows(MCP* mcp, const std::int32_t* rows, std::int32_t count);
// "%s%s\n" with label and text, then each row's name, at trace level
// threshold and above.
void Row_ReportRows(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                    const char* text, int threshold);
// "%s %s\n" with label and heading, then "     %s = % 5.4e (%s)\n" per item,
// at trace level 2 and above.
void Row_ReportValues(MCP* mcp, const std::int32_t* rows, const std::int32_t* vars,
                      const double* values, std::int32_t count, const char* label,
                      const char* heading);
// "%s Bounds Variables\n", then "     %s lb = % 5.4e ub = % 5.4e (%s)\n"
// per item, at trace level 2 and above.
void Row_ReportBounds(MCP* mcp, const std::int32_t* rows, const std::int32_t* vars,
                      const double* lowers, const double* uppers, std::int32_t count,
                      const char* label);
