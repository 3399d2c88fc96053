// The row pass of the presolve: the one entry through which the presolve
// driver runs the row presolve. Each level recounts the active entries,
// marks the linear rows and runs the forcing rows, the row blocks and the
// duplicate rows; after a level that reduced something it raises the level
// counter, resets the point and evaluates F again.
#pragma once

#include <cstdint>

struct MCP;

// Runs the row presolve rules on the full problem of mcp with the shared
// presolve state (row-wise index, entry types, counts, candidate marks,
// reduction stack). Sets *changed to 1 when it changed anything (else 0);
// may raise *level. Returns MCP_CONTINUE (13), or MCP_UNDEFINED (8, F
// undefined after a change), MCP_INFEASIBLE (9) or MCP_OTHER_FAILURE (10),
// which the driver hands on unchanged.
int MCPR(MCP* mcp, std::int32_t* level, std::int32_t* changed);
