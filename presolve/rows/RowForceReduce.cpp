// The forcing rows' reductions and reports: checked lists of fixings and
// bound changes, implied values, infeasible rows and row printouts.
#include "presolve/rows/RowForceReduce.hpp"

#include "core/DenseVector.hpp"
#include "core/Output.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"
#include "problems/MCP.hpp"

namespace {

// Checks the values of a list; reports the first failing item's row.
int CheckValues(MCP* mcp, const std::int32_t* rows, const std::int32_t* vars,
                const double* values, std::int32_t count, const char* label) {
  for (std::int32_t k = 0; k < count; ++k) {
    const char* fault = Row_ValueFault(mcp, vars[k], values[k]);
    if (fault != nullptr) return Row_ReportInfeasible(mcp, &rows[k], 1, label, fault);
  }
  return ROW_CONTINUE;
}

}  // namespace

void Row_FixVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                     std::int32_t var, double value, std::int32_t* counter) {
  if (Row_FixAt(mcp, level, row, kind, var, value, 0.0, nullptr)) *counter += 1;
}

int Row_FixVariables(MCP* mcp, std::int32_t level, const std::int32_t* rows,
                     const std::int32_t* vars, const double* values, std::int32_t count,
                     const char* label, std::int32_t* counter) {
  if (CheckValues(mcp, rows, vars, values, count, label) != ROW_CONTINUE) return ROW_INFEASIBLE;
  Row_ReportValues(mcp, rows, vars, values, count, label, "Fixes Variables");
  for (std::int32_t k = 0; k < count; ++k) {
    Row_FixVariable(mcp, level, rows[k], PRESOLVE_KIND_BOUND, vars[k], values[k], counter);
  }
  return ROW_HANDLED;
}

void Row_BoundVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                       std::int32_t var, double lower, double upper, std::int32_t* counter) {
  const RowTolerance tol = RowTolerance_Current();
  const double old_lower = DenseVector_Value(MCP_FullLower(mcp), var);
  const double old_upper = DenseVector_Value(MCP_FullUpper(mcp), var);
  const bool same_lower = RowCompare_Eq(lower, old_lower, tol.zerotol, tol.infinity);
  const bool same_upper = RowCompare_Eq(upper, old_upper, tol.zerotol, tol.infinity);
  if (same_lower && same_upper) return;
  if (same_lower) lower = old_lower;
  if (same_upper) upper = old_upper;
  // Bounds that meet would fix the variable; fixing goes through
  // Row_FixVariable with its own checks.
  if (RowCompare_Eq(lower, upper, tol.zerotol, tol.infinity)) return;
  Row_BoundTo(mcp, level, row, kind, var, lower, upper, 0.0);
  *counter += 1;
}

int Row_BoundVariables(MCP* mcp, std::int32_t level, const std::int32_t* rows,
                       const std::int32_t* vars, const double* lowers, const double* uppers,
                       std::int32_t count, const char* label, std::int32_t* counter) {
  const RowTolerance tol = RowTolerance_Current();
  for (std::int32_t k = 0; k < count; ++k) {
    if (RowCompare_Gt(lowers[k], uppers[k], tol.zerotol, tol.infinity)) {
      return Row_ReportInfeasible(mcp, &rows[k], 1, label, " Infeasible");
    }
    const std::int32_t j = vars[k];
    // A bound looser than the current one is no reduction a consistent rule
    // asks for; applying it would widen the box the solve works in, so the
    // list is left alone and the presolve goes on.
    if (RowCompare_Gt(DenseVector_Value(MCP_FullLower(mcp), j), lowers[k], tol.zerotol,
                      tol.infinity) ||
        RowCompare_Gt(uppers[k], DenseVector_Value(MCP_FullUpper(mcp), j), tol.zerotol,
                      tol.infinity)) {
      return ROW_CONTINUE;
    }
  }
  Row_ReportBounds(mcp, rows, vars, lowers, uppers, count, label);
  for (std::int32_t k = 0; k < count; ++k) {
    Row_BoundVariable(mcp, level, rows[k], PRESOLVE_KIND_BOUND, vars[k], lowers[k],
                      uppers[k], counter);
  }
  return ROW_HANDLED;
}

int Row_ReportImplied(MCP* mcp, const std::int32_t* rows, const std::int32_t* vars,
                      const double* values, std::int32_t count, const char* label) {
  if (CheckValues(mcp, rows, vars, values, count, label) != ROW_CONTINUE) return ROW_INFEASIBLE;
  Row_ReportValues(mcp, rows, vars, values, count, label, "Implies Variables");
  return ROW_CONTINUE;
}

int Row_ReportInfeasible(MCP* mcp, const std::int32_t* rows, std::int32_t count,
                         const char* label, const char* reason) {
  Row_ReportRows(mcp, rows, count, label, reason, 0);
  return ROW_INFEASIBLE;
}

void Row_Print(MCP* mcp, const std::int32_t* rows, std::int32_t count) {
  Row_PrintRows(mcp, rows, count);
}
