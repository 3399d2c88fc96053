// Presolve framework operations that the MCP start and finish call: bound
// check, basis repair, fixed-variable split, the presolve set-up (entry and
// row types, row-wise index, active counts) and the presolve driver (the
// postsolve is in PresolveRecord.hpp). All of them work on the full problem
// of the record (numbering 1..n as the caller's callbacks see it).
//
// The driver alternates two kinds of pass until neither changes anything:
// the row-level pass (short rows, forcing and redundant rows, implied and
// recursive bounds over classed rows, duplicate rows) and the alternation
// of the row pass (MCPR) with the column pass (MCPC). Every pass returns a
// status: MCP_CONTINUE (13) to go on, or MCP_UNDEFINED (8), MCP_INFEASIBLE
// (9), MCP_OTHER_FAILURE (10), which end the presolve and are handed on
// unchanged. A level counter, starting at 1, rises after every pass round
// that changed the problem; each record carries the level at which it was
// made.
#pragma once

#include "presolve/PresolveRecord.hpp"
#include "problems/MCP.hpp"

// Clamps the full bounds to +-infinity (the option infinity) and checks
// them. A bound error is: a NaN bound, a lower bound at +infinity, an upper
// bound at -infinity, or finite bounds with lower - upper above the option
// presolve_zero_tolerance. It is warned about with the variable's full name
// and its bounds: "%s: lb = %5.4e > %5.4e = ub\n"; two bounds at the same
// infinity as "%s: lb = ub = +infinity\n" (or -infinity). Finite bounds
// within that tolerance of each other are made equal (upper := lower). Warns "Found: %d fixed variables.\n" and
// "Found: %d bound errors.\n" when there were any. Returns MCP_BOUND_ERROR
// with bound errors, else MCP_CONTINUE.
int MCP_CheckBounds(MCP* mcp);

// Builds the full-to-reduced map (length n; 0 for a fixed variable) and the
// reduced-to-full map (length n - fixed): a variable is fixed when
// lower == upper exactly (NaN counts as unequal), and its point is set to
// that bound. Stores the fixed count. Returns MCP_SOLVED when every
// variable is fixed, else MCP_CONTINUE.
int MCP_SplitFixed(MCP* mcp);

// Makes the full basis codes agree with the full bounds, point and F of the
// evaluation (lower == upper: 5; at a bound: 3 or 4 from 4/5, 3/5 and from 1
// when F points outward beyond 1e-10; strictly inside: 1 from 3, 4, 5;
// outside: 1 from 5; every other code stays). Prints "MCP modified basis.\n"
// on the status stream when it changed any code.
void MCP_RepairBasis(MCP* mcp);

// Makes the presolve part and fills its structures from the evaluation's
// Jacobian at the current point (entry types, row types, row-wise index,
// active counts). The problem itself is not changed.
void MCP_CheckSkewSymmetry(MCP* mcp);

// Sets up the presolve structures as MCP_CheckSkewSymmetry does, drops any
// record left on the stack by an earlier, interrupted presolve, pushes the
// bottom record (kind PRESOLVE_KIND_BOTTOM: bounds -/+ the option infinity,
// every integer -1) and runs the passes, polling for an interrupt between
// them, until a round of both changes nothing. Every variable it removes
// ends with lower = upper = its value; F stays current with x. Returns
// MCP_CONTINUE or the status of the pass that ended it.
int MCP_Presolve(MCP* mcp);

// Steps 2-6 of the presolve: the presolve part, entry and row types,
// row-wise index, counts, an empty queue, an emptied stack with the bottom
// record. The problem itself is not changed.
void MCP_PresolvePrepare(MCP* mcp);

// The row-level pass: while candidate rows exist, the short rows of the
// queue, the forcing rows, the implied and recursive bound rounds (with
// presolve_implied on and classed rows), the duplicate rows; each rule
// that changed something prints its counts ("Zero: %5d Single: %5d Double:
// %5d\n", "Forced: %5d Redundant: %5d\n", "Implied: Fixed: %5d Forced: %5d
// Redundant: %5d Freed: %5d\n", "Duplicated: %5d\n") on the log. A round
// that changed something raises *level and evaluates F at x ("Function
// undefined.\n" and MCP_UNDEFINED when that fails), then the pass repeats.
int MCP_PresolveRows(MCP* mcp, std::int32_t* level);

// MCPR then MCPC, then MCPR again (and MCPC after a changing MCPR) while
// MCPC changes something. *changed := 1 when either changed anything.
int MCP_PresolveRowsCols(MCP* mcp, std::int32_t* level, std::int32_t* changed);

// Empties the row queue and queues every unfixed candidate row with fewer
// than 5 active entries, in increasing order.
void MCP_FillRowQueue(MCP* mcp);

// Takes the queued rows until the queue is empty and runs the rule for
// rows with 0, 1 or 2 active entries on each unfixed candidate; adds the
// variables each rule fixed to *zero, *single or *two. Rows with more
// entries are taken off without a rule. Returns the first status other than
// MCP_CONTINUE.
int MCP_RowDispatch(MCP* mcp, std::int32_t level, std::int32_t* zero, std::int32_t* single,
                    std::int32_t* two);

// Row-wise index of the evaluation's Jacobian: row lengths, row starts, the
// row-ordered list of entry positions (columns in increasing order) and the
// column of every stored position (0 for a position no column holds).
void MCP_BuildRowIndex(MCP* mcp);

// Active entries per row and per column: entries whose column and row
// variables are both unfixed and that are nonlinear (type 1) or of
// magnitude above presolve_jacobian_tolerance (the one test the fix
// operations use when they decrement the counts).
void MCP_CountActive(MCP* mcp);
