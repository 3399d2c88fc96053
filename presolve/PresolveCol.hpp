// The column pass of the presolve (MCPC): the column rules that would fix
// or merge variables from their columns. No column rule is built, so the
// pass changes nothing; the driver alternates it with the row pass all the
// same.
#pragma once

#include <cstdint>

struct MCP;

// Runs the column rules on the full problem of mcp: sets *changed to 0 and
// returns MCP_CONTINUE (13); *level is not changed.
int MCPC(MCP* mcp, std::int32_t* level, std::int32_t* changed);
