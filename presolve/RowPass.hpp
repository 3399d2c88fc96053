// The row pass of the presolve: the one entry through which the presolve
// driver runs the row presolve, and the postsolve of the row presolve's
// duplicate-row merges. Until the row presolve is in place the pass changes
// nothing.
#pragma once

#include <cstdint>

#include "core/RecordStack.hpp"

struct MCP;

// Runs the row presolve rules on the full problem of mcp with the shared
// presolve state (row-wise index, entry types, counts, candidate marks,
// reduction stack). Sets *changed to 1 when it changed anything (else 0);
// may raise *level. Returns MCP_CONTINUE (13), or MCP_UNDEFINED (8, F
// undefined after a change), MCP_INFEASIBLE (9) or MCP_OTHER_FAILURE (10),
// which the driver hands on unchanged.
int MCPR(MCP* mcp, std::int32_t* level, std::int32_t* changed);

// Postsolve of a duplicate-row merge of the row presolve: first is the
// kind-1 record pushed first, second the kind-100 record on top of it.
void Row_PostsolveDuplicate(MCP* mcp, const PresolveRecord& first, const PresolveRecord& second);
