// What every family of the row presolve shares: its status codes, the marks
// of the linear rows, the tests for a fixed variable and for an entry that
// counts, the trace level and the names used in reports.
//
// All indices are 1-based. Row i of the Jacobian pairs with variable i.
#pragma once

#include <cstdint>

#include "core/IDenseVector.hpp"
#include "problems/MCP.hpp"

struct DenseVector;

// Status codes of the row presolve's families and rules.
enum RowStatus : int {
  ROW_UNDEFINED = MCP_UNDEFINED,      // F cannot be evaluated at the new point
  ROW_INFEASIBLE = MCP_INFEASIBLE,    // a rule found no solution for a row
  ROW_CANNOT = MCP_OTHER_FAILURE,     // a rule met a row it cannot handle
  ROW_HANDLED = 11,                   // between a rule and its driver only
  ROW_CONTINUE = MCP_CONTINUE,        // nothing went wrong
};

// Length of the name buffers of the reports.
constexpr int kRowNameLength = 256;

// The marks of the linear rows (1 linear, 0 not linear or fixed), shared by
// all families: integer scratch vector 3 of the Workspace. The duplicate-row
// pass keeps its class numbers there while it runs.
IDenseVector* Row_LinearMark();

// Variable j is fixed when its bounds are equal (exact comparison).
inline bool Row_Fixed(MCP* mcp, std::int32_t j) {
  return DenseVector_Value(MCP_FullLower(mcp), j) == DenseVector_Value(MCP_FullUpper(mcp), j);
}

// An entry of type type (MCP_EntryType) and value a counts (is active, with
// its row and column unfixed) when it is nonlinear or a differs from 0 by
// more than jactol (an infinite a counts).
bool Row_EntryCounts(std::int32_t type, double a, double jactol);

// The option output_presolve_level, read afresh.
int Row_TraceLevel();

// Names of full variable j and full row i for the reports, into buffers of
// kRowNameLength characters; the buffer is returned.
const char* Row_VariableName(const MCP* mcp, std::int32_t j, char* buffer);
const char* Row_ConstraintName(const MCP* mcp, std::int32_t i, char* buffer);
