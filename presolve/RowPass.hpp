// The row pass of the presolve: the one entry through which the presolve
// driver runs the row presolve. Each level recounts the active entries,
// marks the linear rows and runs the forcing rows, the row blocks and the
// duplicate rows; after a level that reduced something it raises the level
// counter, resets the point and evaluates F again.
//
// All indices are 1-based; n is the full problem size. Row i pairs with
// variable i; a variable is fixed when its bounds are equal.
#pragma once

#include <cstdint>

struct MCP;

// Runs the row presolve rules on the full problem of mcp with the shared
// presolve state (row-wise index, entry types, counts, reduction stack) as
// the presolve set-up leaves it, F evaluated at x. Sets *changed to 1 when
// a level changed anything and F was evaluated again (else 0); raises
// *level by 1 after every such level. Returns MCP_CONTINUE (13), or
// MCP_UNDEFINED (8, F undefined after a change, "Function undefined.\n";
// *level is raised already), MCP_INFEASIBLE (9) or MCP_OTHER_FAILURE (10),
// which the driver hands on unchanged.
int MCPR(MCP* mcp, std::int32_t* level, std::int32_t* changed);

// Recounts the active entries per row and per column (rowCount, colCount,
// length n each) from scratch: entries whose row and column variables are
// unfixed and that are nonlinear or not zero within jactol.
void Row_CountActive(MCP* mcp);

// Marks the linear rows in Row_LinearMark (length n): 1 for a row whose
// variable is unfixed and which has no nonlinear entry in an unfixed
// column, else 0. Returns the number of rows marked 1.
std::int32_t Row_MarkLinear(MCP* mcp);
