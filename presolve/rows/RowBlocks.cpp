// Row blocks (not in place yet: no block is gathered).
#include "presolve/rows/RowBlocks.hpp"

#include "presolve/rows/RowShared.hpp"

void Row_CountBlockEntries(MCP*) {}

void Row_FillQueue(MCP*) {}

int Row_Blocks(MCP*, std::int32_t, std::int32_t* one, std::int32_t* two, std::int32_t* thr,
               std::int32_t* qua, std::int32_t* wbd) {
  *one = *two = *thr = *qua = *wbd = 0;
  return ROW_CONTINUE;
}
