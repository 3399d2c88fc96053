// Helpers shared by the two source files of the forcing rows (RowForce.cpp:
// the sweeps and the activity cases; RowForceOne.cpp: the rows with at most
// one counted entry). Indices 1-based.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "presolve/rows/RowForceReduce.hpp"
#include "problems/MCP.hpp"

// The working point savedX, element j at offset j - 1.
inline double* RowForce_Saved(MCP* mcp) { return DenseVector_Array(MCP_PresolveSavedX(mcp)); }

// Fixes var at value for row through the checked one-item list.
inline int RowForce_Fix(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t var,
                        double value, const char* label, std::int32_t* counter) {
  return Row_FixVariables(mcp, level, &row, &var, &value, 1, label, counter);
}

// Narrows var to [lower, upper] for row through the checked one-item list.
inline int RowForce_Bound(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t var,
                          double lower, double upper, const char* label, std::int32_t* counter) {
  return Row_BoundVariables(mcp, level, &row, &var, &lower, &upper, 1, label, counter);
}
