// Two-row block rules (not in place yet: every block is left alone).
#include "presolve/rows/RowBlockTwo.hpp"

#include "presolve/rows/RowShared.hpp"

int Row_TwoBlock(MCP*, std::int32_t, std::int32_t*, double*, double*, double (*)[4], double*,
                 std::int32_t*, std::int32_t*) {
  return ROW_CONTINUE;
}
