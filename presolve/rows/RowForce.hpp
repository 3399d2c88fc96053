// Forcing rows: the first family of every row-presolve level. It sweeps the
// linear rows, solves rows with at most one counted entry in closed form and
// fixes the row's own variable when the bounds of F_i over the box settle
// its sign.
#pragma once

#include <cstdint>

struct MCP;

// Sweeps the linear rows until a sweep fixes and bounds nothing. *fix
// receives the number of variables fixed or bounded, *ifx 0. Returns
// ROW_CONTINUE, ROW_INFEASIBLE or ROW_CANNOT (RowShared.hpp).
int Row_ForceRows(MCP* mcp, std::int32_t level, std::int32_t* fix, std::int32_t* ifx);
