// Reduction records and postsolve: the kinds of PresolveRecord that the
// presolve rules push on the MCP record's stack, the two operations through
// which a rule fixes a variable, and the postsolve that undoes every record
// of the last presolve in reverse order after the solve.
//
// A rule that needs several records pushes them one after the other, the
// record carrying the kind last. Every record holds the bounds of its
// variable before the reduction and the presolve level at which it was made.
#pragma once

#include <cstdint>

#include "core/RecordStack.hpp"

struct MCP;

// Reduction kinds (PresolveRecord::kind).
enum PresolveRecordKind : std::int32_t {
  PRESOLVE_KIND_BOTTOM = -1,    // pushed first by every presolve; ends the postsolve
  PRESOLVE_KIND_FIX = 0,        // bounds restored, x projected, then x of the second
                                // index re-chosen from its rows (MCP_PostsolveRow)
  PRESOLVE_KIND_BOUND = 1,      // bounds restored, x projected
  PRESOLVE_KIND_EQUATION = 2,   // bounds restored, then MCP_PostsolveEquation
  PRESOLVE_KIND_ROW_DUPLICATE = 100,  // two records: Row_PostsolveDuplicate
  PRESOLVE_KIND_ZERO_COLUMN = 1000,   // column rules (none is built: never pushed)
  PRESOLVE_KIND_ONE_COLUMN = 1001,
  PRESOLVE_KIND_TWO_COLUMN = 1002,
  PRESOLVE_KIND_THREE_COLUMN = 1003,
  PRESOLVE_KIND_DUPLICATE_COLUMN = 1004,  // bounds restored, then MCP_PostsolveDuplicate
};

// Fixes variable j (1-based) at v for the row rules: pushes {old bounds, 0,
// second, j, level, kind}, sets both bounds and x_j to v, adds a * (v - old
// x_j) to F of every row with an entry in column j, and takes j's row and
// column out of the active counts: every unfixed row r with an active entry
// in column j loses one (clamped at 0) and is queued when its candidate mark
// is 1, it is not queued and its count is below 5; every unfixed column with
// an active entry in row j loses one; j's own counts and candidate mark
// become 0. An already fixed variable is not fixed again: only x_j and F
// move back to its fixed value. v must be finite (internal check).
void MCP_FixVariable(MCP* mcp, std::int32_t level, std::int32_t second, std::int32_t kind,
                     std::int32_t j, double v);

// The same for the column rules: the columns of row j whose counts fall
// below 5 are queued instead of the rows of column j.
void MCP_FixVariableCol(MCP* mcp, std::int32_t level, std::int32_t second, std::int32_t kind,
                        std::int32_t j, double v);

// Undoes the records of the last presolve, newest first, down to and
// including the bottom record, on the full point, bounds and F of the
// record. F is evaluated at the full point before the first record is
// undone and again whenever the level of the popped records changes ("Function
// undefined at new point.\n" on the log when that fails; the postsolve goes
// on). Nothing happens without a presolve part or on an empty stack. An
// unknown kind is a solver error.
void MCP_Postsolve(MCP* mcp);

// Chooses x_j from the rows in which x_j has a non-zero entry and whose
// variables are unfixed, and from the sign of F_j (tolerance: the option
// convergence_tolerance): each row bounds x_j from the side that keeps its
// own complementarity; crossing limits meet at their midpoint; F_j > tol
// takes the lowest value, F_j < -tol the highest, otherwise the lowest
// finite one. An infinite target is the warning "Error during postsolve:
// problem infeasible.\n" and x_j stays. The value is kept in j's bounds.
void MCP_PostsolveRow(MCP* mcp, std::int32_t j);

// Restores the merged equation of a kind-2 record (variable v, partner row
// s): a violated old bound of x_v is met by moving x_s along their common
// column; a partner value outside its bounds is the warning "Error during
// postsolve: equations inconsistent\n".
void MCP_PostsolveEquation(MCP* mcp, const PresolveRecord& record);

// Splits the sum of a merged duplicate pair (variable j, partner i): x_j
// goes to the bound F_j points to (nothing when F_j is 0 or that bound is
// infinite) and x_i keeps the sum.
void MCP_PostsolveDuplicate(MCP* mcp, const PresolveRecord& record);
