// Presolve framework operations that the MCP start and finish call: bound
// check, basis repair, fixed-variable split, the presolve set-up (entry and
// row types, row-wise index, active counts), the presolve driver and the
// postsolve. All of them work on the full problem of the record (numbering
// 1..n as the caller's callbacks see it).
#pragma once

#include "problems/MCP.hpp"

// Kind of the record that every presolve pushes first and its postsolve
// pops last.
constexpr std::int32_t PRESOLVE_KIND_BOTTOM = -1;

// Clamps the full bounds to +-infinity (the option infinity) and checks
// them. A bound error (warning "%s: lb = %5.4e > %5.4e = ub\n" with the
// variable's full name) is: a NaN bound, a lower bound at +infinity, an upper
// bound at -infinity, or finite bounds with lower - upper above the option
// presolve_zero_tolerance. Finite bounds within that tolerance of each other
// are made equal (upper := lower). Warns "Found: %d fixed variables.\n" and
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
// bottom record (kind PRESOLVE_KIND_BOTTOM) and polls for an interrupt. No reduction rule is
// applied yet. Returns MCP_CONTINUE.
int MCP_Presolve(MCP* mcp);

// Pops the records of the last presolve down to and including the bottom
// record. Nothing happens when the presolve part has not been made or the
// stack is empty.
void MCP_Postsolve(MCP* mcp);

// Row-wise index of the evaluation's Jacobian: row lengths, row starts, the
// row-ordered list of entry positions (columns in increasing order) and the
// column of every stored position (0 for a position no column holds).
void MCP_BuildRowIndex(MCP* mcp);

// Active entries per row and per column: entries whose column and row
// variables are both unfixed and that are nonlinear (type 1) or of
// magnitude above 1e-10.
void MCP_CountActive(MCP* mcp);
