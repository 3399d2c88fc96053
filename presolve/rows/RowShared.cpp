// What every family of the row presolve shares.
#include "presolve/rows/RowShared.hpp"

#include <cmath>

#include "core/Workspace.hpp"
#include "presolve/PresolveOptions.hpp"

IDenseVector* Row_LinearMark() { return Workspace_IVector(3); }

bool Row_EntryCounts(std::int32_t type, double a, double jactol) {
  return type == ENTRY_NONLINEAR || !(std::fabs(a) <= jactol);
}

int Row_TraceLevel() { return Presolve_OptionInt(OUTPUT_PRESOLVE_LEVEL); }

const char* Row_VariableName(const MCP* mcp, std::int32_t j, char* buffer) {
  MCP_FullVariableName(mcp, j, buffer, kRowNameLength);
  return buffer;
}

const char* Row_ConstraintName(const MCP* mcp, std::int32_t i, char* buffer) {
  MCP_FullConstraintName(mcp, i, buffer, kRowNameLength);
  return buffer;
}
