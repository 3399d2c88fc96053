// The operations through which the forcing rows act and report: fixing a
// list of variables, narrowing the bounds of a list of variables, reporting
// the values a row implies, reporting an infeasible row, printing rows.
//
// Lists are parallel arrays of count items: rows (the row that justifies
// each reduction), vars (the variable changed), values or lowers/uppers;
// all indices 1-based. label names the rule in the reports. Every check of
// a list runs before anything changes, so a list that fails leaves the
// problem untouched. Each change pushes a bound record (kind 1, the row as
// second index, the level given) that postsolve undoes, and keeps F of the
// unfixed linear rows equal to F at the working point savedX.
#pragma once

#include <cstdint>

struct MCP;

// Fixes variable var at value with a record of the given kind for row and
// takes its row and column out of the counts (see Row_FixAt); adds 1 to
// *counter. No check, no report. A variable fixed already is left as it is
// and not counted.
void Row_FixVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                     std::int32_t var, double value, std::int32_t* counter);

// Checks every item (the value finite, and within the variable's bounds up
// to zerotol), then reports "%s Fixes Variables" (trace level 2 and above)
// and fixes each variable in order. Returns ROW_INFEASIBLE after reporting
// the first failing item's row (" Infinite Value" or " Infeasible"), with
// nothing applied, else ROW_HANDLED.
int Row_FixVariables(MCP* mcp, std::int32_t level, const std::int32_t* rows,
                     const std::int32_t* vars, const double* values, std::int32_t count,
                     const char* label, std::int32_t* counter);

// Narrows the bounds of variable var to [lower, upper] with a record of the
// given kind for row. New bounds equal to the old ones within zerotol, or
// meeting each other within zerotol, change nothing; a bound within zerotol
// of the old one keeps the old value. savedX moves into the new bounds and
// F follows. Adds 1 to *counter only when the bounds changed.
void Row_BoundVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                       std::int32_t var, double lower, double upper, std::int32_t* counter);

// Checks every item, then reports "%s Bounds Variables" (trace level 2 and
// above) and narrows each variable's bounds in order. Returns
// ROW_INFEASIBLE (lower above upper by more than zerotol, reported, nothing
// applied) or ROW_HANDLED. An item that would loosen a current bound by
// more than zerotol is no narrowing: the list is left alone, nothing is
// applied or printed, and ROW_CONTINUE is returned.
int Row_BoundVariables(MCP* mcp, std::int32_t level, const std::int32_t* rows,
                       const std::int32_t* vars, const double* lowers, const double* uppers,
                       std::int32_t count, const char* label, std::int32_t* counter);

// The checks of Row_FixVariables (ROW_INFEASIBLE after the report), then
// "%s Implies Variables" at trace level 2 and above. Changes nothing;
// returns ROW_CONTINUE when every item passes.
int Row_ReportImplied(MCP* mcp, const std::int32_t* rows, const std::int32_t* vars,
                      const double* values, std::int32_t count, const char* label);

// "%s%s\n" with label and reason (reasons begin with a blank), then each
// row's name, each followed by its printout at trace level 3 and above.
// Silent below trace level 0. Returns ROW_INFEASIBLE.
int Row_ReportInfeasible(MCP* mcp, const std::int32_t* rows, std::int32_t count,
                         const char* label, const char* reason);

// Prints the listed rows term by term, at trace level 3 and above only.
void Row_Print(MCP* mcp, const std::int32_t* rows, std::int32_t count);
