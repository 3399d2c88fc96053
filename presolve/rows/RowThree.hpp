// Three-row blocks: the rules that settle a square linear block of three
// rows in closed form.
#pragma once

#include <cstdint>

struct MCP;

// The rule for a gathered block of three rows (see RowBlockRule in
// RowBlocks.hpp); counter counts the variables it fixed, wbd those whose
// bounds it tightened. Returns ROW_CONTINUE, ROW_HANDLED, ROW_INFEASIBLE or
// ROW_CANNOT.
int Row_ThreeBlock(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower, double* upper,
                   double (*coef)[4], double* constant, std::int32_t* counter, std::int32_t* wbd);
