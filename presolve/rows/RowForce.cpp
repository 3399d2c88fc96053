// Forcing rows (not in place yet: the family reduces nothing).
#include "presolve/rows/RowForce.hpp"

#include "presolve/rows/RowShared.hpp"

int Row_ForceRows(MCP*, std::int32_t, std::int32_t* fix, std::int32_t* ifx) {
  *fix = 0;
  *ifx = 0;
  return ROW_CONTINUE;
}
