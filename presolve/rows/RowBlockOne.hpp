// One-row blocks: a linear row whose only counted entry, if any, is its own
// variable, F_x = a*x + b perp l <= x <= u, solved exactly; the variable is
// fixed when the solution is unique, or when several solutions exist and
// its column reaches no other row.
#pragma once

#include <cstdint>

struct MCP;

// The rule for a gathered 1 x 1 block (see RowBlockRule in RowBlocks.hpp):
// x = rows[0], l = lower[0], u = upper[0], a = coef[0][0], b = constant[0].
// counter counts the variables fixed; wbd is never changed (no one-row rule
// tightens bounds), nor is the constant's scale read (the block's constant
// is 0 already when it cancels to rounding). Returns ROW_CONTINUE (nothing
// done), ROW_HANDLED (x fixed) or ROW_INFEASIBLE.
int Row_OneBlock(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower, double* upper,
                 double (*coef)[4], double* constant, std::int32_t* counter, std::int32_t* wbd,
                 const double* scale = nullptr);
