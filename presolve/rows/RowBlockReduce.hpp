// The operations through which the block rules and the duplicate-row rule
// change the problem: fix a list of variables, tighten the bounds of a list
// of variables, report a reduction or an infeasibility, print rows. Every
// change pushes a record for postsolve, keeps F of the linear rows
// consistent with the working point and keeps the counts, the linear marks
// and the block queue current.
//
// Lists are parallel arrays of count items: rows (the row that justifies
// each reduction), vars (the variable changed), values or lowers/uppers.
// counter is increased by one for every variable fixed or bounded.
#pragma once

#include <cstdint>

struct MCP;

// Checks every item (finite value within the bounds), reports, then fixes
// each variable with a record of the given kind and aux value. Returns
// ROW_INFEASIBLE (nothing applied) or ROW_HANDLED.
int Row_BlockFixKind(MCP* mcp, std::int32_t level, const std::int32_t* rows, std::int32_t kind,
                     const std::int32_t* vars, const double* values, double aux,
                     std::int32_t count, const char* label, std::int32_t* counter);
// Row_BlockFixKind with kind 1 and aux 0.
int Row_BlockFix(MCP* mcp, std::int32_t level, const std::int32_t* rows, const std::int32_t* vars,
                 const double* values, std::int32_t count, const char* label,
                 std::int32_t* counter);
// Fixes one variable without checks or report.
void Row_BlockFixVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                          std::int32_t var, double value, double aux, std::int32_t* counter);

// Checks every item, reports, then tightens each variable's bounds with a
// record of the given kind and aux value. Returns ROW_INFEASIBLE (nothing
// applied) or ROW_CONTINUE.
int Row_BlockBoundKind(MCP* mcp, std::int32_t level, const std::int32_t* rows, std::int32_t kind,
                       const std::int32_t* vars, const double* lowers, const double* uppers,
                       double aux, std::int32_t count, const char* label, std::int32_t* counter,
                       std::int32_t force);
// Row_BlockBoundKind with kind 1, aux 0 and force 0.
int Row_BlockBound(MCP* mcp, std::int32_t level, const std::int32_t* rows,
                   const std::int32_t* vars, const double* lowers, const double* uppers,
                   std::int32_t count, const char* label, std::int32_t* counter);
// Tightens the bounds of one variable without checks or report.
void Row_BlockBoundVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                            std::int32_t var, double lower, double upper, double aux,
                            std::int32_t force, std::int32_t* counter);

// Reports a reduction of the listed rows; returns ROW_CONTINUE.
int Row_BlockReport(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                    const char* suffix);
// Reports the listed rows as infeasible; returns ROW_INFEASIBLE.
int Row_BlockInfeasible(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                        const char* reason);
// Prints the listed rows term by term (trace level 3 and above).
void Row_PrintBlockRows(MCP* mcp, const std::int32_t* rows, std::int32_t count);
