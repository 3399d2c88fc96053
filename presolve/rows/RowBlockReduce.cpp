// Block reductions (not in place yet: nothing is changed).
#include "presolve/rows/RowBlockReduce.hpp"

#include "presolve/rows/RowShared.hpp"

int Row_BlockFixKind(MCP*, std::int32_t, const std::int32_t*, std::int32_t, const std::int32_t*,
                     const double*, double, std::int32_t, const char*, std::int32_t*) {
  return ROW_CONTINUE;
}
int Row_BlockFix(MCP*, std::int32_t, const std::int32_t*, const std::int32_t*, const double*,
                 std::int32_t, const char*, std::int32_t*) {
  return ROW_CONTINUE;
}
void Row_BlockFixVariable(MCP*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, double,
                          double, std::int32_t*) {}
int Row_BlockBoundKind(MCP*, std::int32_t, const std::int32_t*, std::int32_t, const std::int32_t*,
                       const double*, const double*, double, std::int32_t, const char*,
                       std::int32_t*, std::int32_t) {
  return ROW_CONTINUE;
}
int Row_BlockBound(MCP*, std::int32_t, const std::int32_t*, const std::int32_t*, const double*,
                   const double*, std::int32_t, const char*, std::int32_t*) {
  return ROW_CONTINUE;
}
void Row_BlockBoundVariable(MCP*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, double,
                            double, double, std::int32_t, std::int32_t*) {}
int Row_BlockReport(MCP*, const std::int32_t*, std::int32_t, const char*, const char*) {
  return ROW_CONTINUE;
}
int Row_BlockInfeasible(MCP*, const std::int32_t*, std::int32_t, const char*, const char*) {
  return ROW_INFEASIBLE;
}
void Row_PrintBlockRows(MCP*, const std::int32_t*, std::int32_t) {}
