// Two-row blocks: a pair of linear rows x and y whose counted entries lie
// only in the columns x and y, a two-variable complementarity problem once
// everything outside is held; solved exactly, then both variables fixed,
// one fixed and the other bounded, one fixed alone, the block reported
// infeasible, or left alone.
#pragma once

#include <cstdint>

struct MCP;

// The rule for a gathered 2 x 2 block (see RowBlockRule in RowBlocks.hpp):
// x = rows[0], y = rows[1]; F_x = coef[0][0]*x + coef[0][1]*y + constant[0],
// F_y = coef[1][0]*x + coef[1][1]*y + constant[1]. counter counts the
// variables fixed, wbd those whose bounds were tightened; scale holds the
// scales of the two constants (null: their magnitudes). Returns
// ROW_CONTINUE (nothing fixed), ROW_HANDLED or ROW_INFEASIBLE.
int Row_TwoBlock(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower, double* upper,
                 double (*coef)[4], double* constant, std::int32_t* counter, std::int32_t* wbd,
                 const double* scale = nullptr);
