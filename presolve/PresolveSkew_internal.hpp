// Shared parts of the row-level rules (PresolveSkew.cpp, the implied round
// in PresolveSkewImplied.cpp and the recursive round in
// PresolveSkewRecursive.cpp): the decision of a linear row from its
// activity bounds, its infeasibility line, the scratch vectors of the bound
// rounds and the steps the two rounds share.
#pragma once

#include <cstdint>

#include "presolve/PresolveUtil.hpp"
#include "presolve/Presolve_internal.hpp"

struct DenseVector;
struct IDenseVector;
struct MCP;

// What z_i's bounds ask of F_i.
enum class RowSense {
  kEquation,      // z_i free: F_i = 0
  kLessEqual,     // only u_i finite: F_i <= 0
  kGreaterEqual,  // only l_i finite: F_i >= 0
  kBoxed,         // both bounds finite
};

RowSense Skew_Sense(double l, double u);

// The tolerance with which a row's activity bounds are compared with its
// constant: the fixed 1e-10, or more where the terms that formed them are
// so large that their rounding alone exceeds it (a row whose columns were
// fixed at values such as 1/3 by terms near 1e6 keeps about 1e-10 of
// rounding in F, which must not make a solvable row infeasible).
double Skew_RowTolerance(const RowActivity& a);

// The outcome of a row's activity bounds L, U (infinite where a marker is
// set) against its constant c, with the tolerance tol.
enum class RowDecision {
  kNone,
  kInfeasible,
  kForceLower,     // pin the row at L
  kForceUpper,     // pin the row at U
  kRedundantUpper, // half-bounded: z_i := u_i (record kind 0)
  kRedundantLower, // half-bounded: z_i := l_i (record kind 0)
  kBoxUpper,       // both bounds finite: z_i := u_i (record kind 1)
  kBoxLower,       // both bounds finite: z_i := l_i (record kind 1)
};

RowDecision Skew_Decide(RowSense sense, double L, double U, double c, double tol);

// Which round a decision belongs to; picks the infeasibility lines.
enum class RoundKind { kPlain, kImplied, kRecursive };

// Writes the infeasibility line of row i ("Equality (%s): infeasible: rhs:
// ...", with "implied " or "recursive " before "infeasible" in the bound
// rounds) and returns MCP_INFEASIBLE.
int Skew_ReportInfeasible(MCP* mcp, std::int32_t i, RowSense sense, RoundKind round, double L,
                          double U, double c);

// L and U of an activity with its markers applied (-inf / +inf where set).
void Skew_EffectiveBounds(const RowActivity& a, double* L, double* U);

// The forcing verdict of row i with activity a whose variable has bounds
// lower, upper: the effective activity bounds, the tolerance, the row's
// sense and the decision. A row that misses by more than its own
// tolerance is judged again with the rounding that the settled values of
// its fixed columns carry into its constant added to it (a value solved
// from another row is known only to that row's rounding over the
// coefficient it was solved through); only a miss beyond both is
// infeasible.
struct RowVerdict {
  double L = 0.0;
  double U = 0.0;
  double tol = 0.0;
  RowSense sense;
  RowDecision decision;
};
RowVerdict Skew_Judge(const PresolveView& v, std::int32_t i, const RowActivity& a, double lower,
                      double upper);

// True when the fix of redundant row i (verdict r, constant c) is shared by
// every solution: F_i keeps its sign strictly over the row's activity
// range, by more than the verdict's tolerance and the rounding that the
// settled values of its fixed columns carry, so z_i can sit nowhere but at
// that bound.
bool Skew_RedundantIsNecessary(const PresolveView& v, std::int32_t i, const RowVerdict& r,
                               double c);

// Column i has no active entry in a live row other than row i itself and
// the rows of the columns of row `pinned` (0: none) that a forcing of that
// row fixes.
bool Skew_ColumnIsolated(const PresolveView& v, std::int32_t i, std::int32_t pinned);

// Fixes z_i at the bound a redundant decision names (kind 0 for the
// half-bounded cases, kind 1 for the boxed ones; second index i).
void Skew_FixRedundant(MCP* mcp, std::int32_t level, std::int32_t i, RowDecision decision);

// ---------------------------------------------------------------------------
// Scratch of the bound rounds (Workspace vectors): bounds derived from the
// rows, with the row that gave each (0 when none).
struct DerivedBounds {
  DenseVector* lower;  // initial -inf
  DenseVector* upper;  // initial +inf
  IDenseVector* lower_row;
  IDenseVector* upper_row;
};

DerivedBounds Skew_ImpliedSet();    // vectors 4, 5, integer vectors 6, 7
DerivedBounds Skew_RecursiveSet();  // vectors 9, 10, integer vectors 10, 11

// Activity vectors of one kind of bounds.
struct ActivitySet {
  DenseVector* lo;
  DenseVector* hi;
  DenseVector* c;
  IDenseVector* klo;
  IDenseVector* khi;
};

ActivitySet Skew_CurrentActivity();    // vectors 1-3, integer 4, 5
ActivitySet Skew_CombinedActivity();   // vectors 6-8, integer 8, 9
ActivitySet Skew_RecursiveActivity();  // vectors 11-13, integer 12, 13

// Stores activity a of row i in set s.
void Skew_StoreActivity(const ActivitySet& s, std::int32_t i, const RowActivity& a);

// Derives the bounds that the half-bounded and free candidate rows of the
// class imply on their columns, from the bound arrays lo/up (n values) and
// the rows' activities act; writes out (lower -inf, upper +inf, rows 0
// first). A candidate bound is kept when it improves the kept one by more
// than the tolerance.
void Skew_ImpliedBounds(MCP* mcp, std::int32_t row_class, const double* lo, const double* up,
                        const ActivitySet& act, const DerivedBounds& out);

// The combined bounds of column j: max(l_j, lI_j) and min(u_j, uI_j), with
// the recursive ones too when recursive is set, stored in the record's
// reduced-bound vectors (the presolve's scratch until the reduced problem
// is built). Skew_CombineAll does every column.
void Skew_Combine(MCP* mcp, std::int32_t j, bool recursive);
void Skew_CombineAll(MCP* mcp, bool recursive);
// The columns of row i and i itself.
void Skew_CombineRow(MCP* mcp, std::int32_t i, bool recursive);
const double* Skew_CombinedLower(MCP* mcp);
const double* Skew_CombinedUpper(MCP* mcp);

// Row i forced to the side of its lower (upper, when lower is false)
// activity bound over the combined bounds: tighten(mcp, level, j, side,
// changes) for each unfixed, non-zero column j not fixed by its combined
// bounds, on the side that attains the bound (its combined bound there must
// be finite: else an internal error naming operation), then the row is
// pinned there.
void Skew_PinRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* forced,
                 std::int32_t* changes, bool lower, const char* operation,
                 void (*tighten)(MCP* mcp, std::int32_t level, std::int32_t j, bool lower,
                                 std::int32_t* changes));

// What a sweep over combined bounds does with the rows it decides: the
// combined bounds to use (recursive ones too or not), where the row
// activities are kept, the round that reports an infeasible row, and the
// actions for a forcing row (at its lower side when lower is set) and a
// redundant one.
struct CombinedRound {
  bool recursive;
  ActivitySet store;
  RoundKind kind;
  void (*pin)(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* forced,
              std::int32_t* changes, bool lower);
  void (*redundant)(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* redundant,
                    std::int32_t* changes);
};

// One sweep over the class's candidate rows with the activity over the
// combined bounds, recomputed for each row just before its decision.
// Returns MCP_CONTINUE, or the infeasibility report's status.
int Skew_CombinedForceRows(MCP* mcp, std::int32_t level, std::int32_t row_class,
                           const CombinedRound& round, std::int32_t* forced,
                           std::int32_t* redundant, std::int32_t* changes);

// Makes a derived bound of column j explicit when it tightens the current
// one by more than the tolerance (record kind 0, second index the bound's
// row); counts the change. Returns true when a bound was set.
bool Skew_ExplicitLower(MCP* mcp, std::int32_t level, std::int32_t j, const DerivedBounds& d,
                        std::int32_t* changes);
bool Skew_ExplicitUpper(MCP* mcp, std::int32_t level, std::int32_t j, const DerivedBounds& d,
                        std::int32_t* changes);

// Forgets a derived bound of column j (back to -inf / +inf, row 0).
void Skew_ForgetLower(const DerivedBounds& d, std::int32_t j);
void Skew_ForgetUpper(const DerivedBounds& d, std::int32_t j);

// ---------------------------------------------------------------------------
// The steps of the implied round (PresolveSkewImplied.cpp), several of which
// the recursive round reuses.

// One implied round for the class: repeats derive, apply, force and free
// until an iteration changes nothing. Adds to the five counts.
int Skew_ImpliedRound(MCP* mcp, std::int32_t level, std::int32_t row_class, std::int32_t* fixed,
                      std::int32_t* forced, std::int32_t* redundant, std::int32_t* freed,
                      std::int32_t* changes);

// Every unfixed column whose implied bounds (Workspace vectors 4, 5) meet is
// fixed at their midpoint ("Implied (%d): infeasible: ..." and 9 when they
// cross by more than the tolerance); with presolve_tighten on, implied
// bounds that tighten by more than the tolerance are made explicit.
int Skew_ApplyImplied(MCP* mcp, std::int32_t level, std::int32_t* fixed, std::int32_t* changes);

// Makes the implied bounds that row i gave explicit and forgets them.
void Implied_ExplicitRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* changes);

// Fixes the unfixed half-bounded z_i at its finite bound (record kind 0,
// second index i) and counts it in *redundant.
void Implied_FixRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* redundant);

// The redundant row i: its implied bounds made explicit, then z_i fixed.
void Implied_Redundant(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* redundant,
                       std::int32_t* changes);

// The implied bounds of the columns of row s on the side that attains the
// row's lower (upper) activity bound, made explicit.
void Implied_ApplyRowLower(MCP* mcp, std::int32_t level, std::int32_t s, std::int32_t* count);
void Implied_ApplyRowUpper(MCP* mcp, std::int32_t level, std::int32_t s, std::int32_t* count);

// The case of the free-column rule for column j (0: nothing is freed; 1,
// 2, 3: which sides of the row's other columns are made explicit first),
// from the one active entry of row j and the derived bounds d, which decide
// which of j's bounds are implied.
int Skew_FreeColumnCase(MCP* mcp, std::int32_t j, const DerivedBounds& d);

// Whether the lower (upper) side of a column with coefficient b is made
// explicit in a case of the free-column rule.
bool Skew_FreeColumnSide(int free_case, double b, bool lower);

// Makes the bounds that row r gave column i (coefficient b) explicit on
// the sides the case names, and forgets them.
void Skew_ExplicitSides(MCP* mcp, std::int32_t level, std::int32_t r, std::int32_t i,
                        int free_case, double b, const DerivedBounds& d, std::int32_t* changes);

// Relaxes the bounds of column j that d shows implied (record kind 1, second
// index r), then runs the one-entry rule on row j; its fixes count in
// *freed, the relaxed bounds in *changes. Returns the rule's status.
int Skew_RelaxColumn(MCP* mcp, std::int32_t level, std::int32_t r, std::int32_t j,
                     const DerivedBounds& d, std::int32_t* freed, std::int32_t* changes);

// Flags of the columns the free-column rule relaxed in this presolve
// (Workspace integer vector 14, zeroed by MCP_PresolvePrepare); a column is
// freed once at most.
std::int32_t* Skew_FreedFlags();

// The free-column rule applied to column j of row r.
using FreeColumnRule = int (*)(MCP* mcp, std::int32_t level, std::int32_t r, std::int32_t j,
                               std::int32_t* freed, std::int32_t* changes);

// Runs rule on every column of the class's half-bounded and free candidate
// rows whose only active entry is in that row, whose row is a candidate and
// one of whose finite bounds d covers.
int Skew_FreeColumns(MCP* mcp, std::int32_t level, std::int32_t row_class, const DerivedBounds& d,
                     std::int32_t* freed, std::int32_t* changes, FreeColumnRule rule);

// ---------------------------------------------------------------------------
// The recursive round (PresolveSkewRecursive.cpp).

int Skew_RecursiveRound(MCP* mcp, std::int32_t level, std::int32_t row_class,
                        std::int32_t* fixed, std::int32_t* forced, std::int32_t* redundant,
                        std::int32_t* freed, std::int32_t* changes);

// Makes the recursive bound of column j explicit (lower / upper side), after
// j's implied bound on that side and the implied bounds that the deriving
// row's activity bound rests on.
void Recursive_BoundLower(MCP* mcp, std::int32_t level, std::int32_t j, std::int32_t* count);
void Recursive_BoundUpper(MCP* mcp, std::int32_t level, std::int32_t j, std::int32_t* count);
