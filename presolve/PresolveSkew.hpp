// Row-level rules of the presolve: which rows the rules may treat, the rules
// for rows with no, one or two active entries, forcing and redundant rows,
// the implied and recursive bound rounds over classed rows, and the
// duplicate-row pass.
//
// Row i is the function F_i paired with variable z_i, l_i <= z_i <= u_i. A
// linear candidate row reads F_i(z) = sum_j a_ij z_j - c over its active
// entries, so F_i lies in [L - c, U - c] for the activity bounds L, U of the
// row. The bounds of z_i give the sign F_i must have: F_i = 0 for a free z_i
// (an "equation"), F_i <= 0 when only u_i is finite ("LE inequality"),
// F_i >= 0 when only l_i is finite ("GE inequality").
//
// Every rule changes the problem through MCP_FixVariable or
// Presolve_SetBounds, so each change leaves a record and keeps F and the
// counts current. The rules return MCP_CONTINUE (13) or MCP_INFEASIBLE (9,
// after a line on the log naming the row); an impossible situation is the
// solver error "Presolve_Skew(...): ...: cannot happen".
//
// Soundness. A fix of variable j drops row j's complementarity condition
// from the reduced problem, and a fix that picks one value among several
// feasible ones may change what the reduced problem can solve. The rules
// therefore make only these reductions:
//  - necessary ones, which every solution of the problem shares (a row
//    whose F cannot vanish pins z_i to a bound; a forcing row pins its
//    columns), and only where the dropped row conditions still hold at
//    every point the postsolve returns;
//  - choices of a value only for a variable whose column has no active
//    entry in any other live row, so that the choice cannot change the
//    reduced problem.
// The details are given at each rule (PresolveSkew.cpp).
#pragma once

#include <cstdint>

struct MCP;

// Marks (Workspace integer vector 3) the candidate rows: row i is a
// candidate when z_i is unfixed and every entry of row i in an unfixed
// column is linear. Returns the number of candidates.
std::int32_t MCP_MarkCandidateRows(MCP* mcp);

// The caller's classes (constraint_types hook) claim that the problem is
// the optimality conditions of a QP, and the implied and recursive bound
// rounds rest on that claim: a bound derived from a classed row is undone
// in the postsolve by moving the row's own variable as a multiplier. A row
// keeps its class only where it has that shape: its variable has no entry
// of its own in the row, and the row's other entries and those of its
// variable's column mirror each other with opposite signs, all linear
// (the constraint rows of a QP, and both kinds of rows of an LP). Other
// rows lose their class for this presolve (rows classed at random on
// other problems made the rounds fix variables wrongly or call solvable
// problems infeasible); the caller's own types are not touched.
void Skew_CheckClasses(MCP* mcp);

// Number of rows classed primal (+1) or dual (-1): by the caller through
// its constraint_types hook (0 without the hook), as Skew_CheckClasses
// kept them.
std::int32_t MCP_CheckConstraintSets(MCP* mcp);

// Rules for a queued candidate row i with 0, 1 or 2 active entries; *count
// receives the number of variables fixed.
// Zero entries: F_i is a constant and the row is settled as a forcing row
// with L = U = 0 (Skew_ForceRows, one row).
int Skew_ZeroRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count);
// One entry: when it is z_i's own entry, F_i = a z_i + b is a problem in z_i
// alone: a unique solution fixes z_i there; no solution with an infinite
// bound is infeasibility (9); several solutions fix z_i only when its
// column has no active entry in another live row. An entry of another
// column is left to the other rules.
int Skew_OneRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count);
// Two entries: left to the other rules (nothing changes).
int Skew_TwoRow(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count);

// Sweeps the candidate rows in index order, deciding each from its
// activity bounds recomputed over the current bounds just before the
// decision (and stored in Workspace vectors 1-3 and integer vectors 4, 5):
// infeasible (9 at the first such row, with "Equality (%s): infeasible:
// ...", "LE inequality (%s): ..." or "GE inequality (%s): ..."), forcing
// (Force_Lower / Force_Upper) or redundant (z_i fixed at the bound its sign
// condition allows). Sweeps until one changes nothing. *forced and
// *redundant are the totals of the complete sweeps.
int Skew_ForceRows(MCP* mcp, std::int32_t level, std::int32_t* forced, std::int32_t* redundant);

// Pin row i at its lower (upper) activity bound over the current bounds:
// z_i is fixed (record kind 0, at l_i, else u_i, else 0) and every other
// unfixed column of a non-zero entry at the bound that attains the activity
// bound (kind 1, second index i); each fix adds 1 to *count. The row and
// the fixed variables' rows leave the candidates. A needed bound that is
// infinite is the solver error "cannot happen".
void Force_Lower(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count);
void Force_Upper(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* count);

// The implied and recursive bound rounds over the rows classed +1, then -1
// (only when the +1 rounds changed something is the class -1 input
// recomputed); each count is zeroed on entry. Returns 13 or the first
// other status.
int Skew_BoundRounds(MCP* mcp, std::int32_t level, std::int32_t* fixed, std::int32_t* forced,
                     std::int32_t* redundant, std::int32_t* freed, std::int32_t* changes);

// Gives the presolve of a problem with n variables its allowance of bound
// tightenings (presolve_tighten); 0 forgets it. Called by the set-up of
// every presolve.
void Skew_ResetTightenings(std::int32_t n);
// Forgets the allowance (none left, as at load); and tells whether it is so.
void Skew_ForgetTightenings();
bool Skew_TighteningsAtRest();

// The duplicate-row pass: no rule is built, *duplicated := 0, returns 13.
int Skew_DuplicateRows(MCP* mcp, std::int32_t level, std::int32_t* duplicated);
