// Block reductions: fixing and bounding lists of variables with their
// records (through the row presolve's shared fix and bound primitives), the
// reports of reductions and infeasibilities, and the term by term printout
// of rows.
#include "presolve/rows/RowBlockReduce.hpp"

#include "core/Output.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowBlocks.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"

namespace {

const char* BoundFault(double lower, double upper, const RowTolerance& tol) {
  if (lower >= tol.infinity) return " Lower PInfinity";
  if (upper <= -tol.infinity) return " Upper MInfinity";
  if (RowCompare_Gt(lower, upper, tol.zerotol, tol.infinity)) return " Lower > Upper";
  return nullptr;
}

}  // namespace

int Row_BlockFixKind(MCP* mcp, std::int32_t level, const std::int32_t* rows, std::int32_t kind,
                     const std::int32_t* vars, const double* values, double aux,
                     std::int32_t count, const char* label, std::int32_t* counter) {
  for (std::int32_t i = 0; i < count; ++i) {
    const char* fault = Row_ValueFault(mcp, vars[i], values[i]);
    if (fault != nullptr) return Row_BlockInfeasible(mcp, &rows[i], 1, label, fault);
  }
  Row_ReportValues(mcp, rows, vars, values, count, label, "Fixes Variables");
  for (std::int32_t i = 0; i < count; ++i) {
    Row_BlockFixVariable(mcp, level, rows[i], kind, vars[i], values[i], aux, counter);
  }
  return ROW_HANDLED;
}

int Row_BlockFix(MCP* mcp, std::int32_t level, const std::int32_t* rows, const std::int32_t* vars,
                 const double* values, std::int32_t count, const char* label,
                 std::int32_t* counter) {
  return Row_BlockFixKind(mcp, level, rows, PRESOLVE_KIND_BOUND, vars, values, 0.0, count, label,
                          counter);
}

void Row_BlockFixVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                          std::int32_t var, double value, double aux, std::int32_t* counter) {
  // Rows that lose a counted entry may become short enough for a block.
  if (!Row_FixAt(mcp, level, row, kind, var, value, aux, Row_BlockEntryGone)) return;
  Row_BlockRowGone(var);
  *counter += 1;
}

int Row_BlockBoundKind(MCP* mcp, std::int32_t level, const std::int32_t* rows, std::int32_t kind,
                       const std::int32_t* vars, const double* lowers, const double* uppers,
                       double aux, std::int32_t count, const char* label, std::int32_t* counter,
                       std::int32_t force) {
  const RowTolerance tol = RowTolerance_Current();
  for (std::int32_t i = 0; i < count; ++i) {
    const char* fault = BoundFault(lowers[i], uppers[i], tol);
    if (fault != nullptr) return Row_BlockInfeasible(mcp, &rows[i], 1, label, fault);
  }
  Row_ReportBounds(mcp, rows, vars, lowers, uppers, count, label);
  for (std::int32_t i = 0; i < count; ++i) {
    Row_BlockBoundVariable(mcp, level, rows[i], kind, vars[i], lowers[i], uppers[i], aux, force,
                           counter);
  }
  return ROW_CONTINUE;
}

int Row_BlockBound(MCP* mcp, std::int32_t level, const std::int32_t* rows,
                   const std::int32_t* vars, const double* lowers, const double* uppers,
                   std::int32_t count, const char* label, std::int32_t* counter) {
  return Row_BlockBoundKind(mcp, level, rows, PRESOLVE_KIND_BOUND, vars, lowers, uppers, 0.0,
                            count, label, counter, 0);
}

void Row_BlockBoundVariable(MCP* mcp, std::int32_t level, std::int32_t row, std::int32_t kind,
                            std::int32_t var, double lower, double upper, double aux,
                            std::int32_t force, std::int32_t* counter) {
  const RowTolerance tol = RowTolerance_Current();
  const PresolveView v = Presolve_View(mcp);
  const double lb = v.lower[var - 1];
  const double ub = v.upper[var - 1];
  const bool same_lower = RowCompare_Eq(lower, lb, tol.zerotol, tol.infinity);
  const bool same_upper = RowCompare_Eq(upper, ub, tol.zerotol, tol.infinity);
  if (!force && same_lower && same_upper) return;
  if (same_lower) lower = lb;
  if (same_upper) upper = ub;
  // A bound step never fixes a variable unless forced to.
  if (!force && RowCompare_Eq(lower, upper, tol.zerotol, tol.infinity)) return;
  Row_BoundTo(mcp, level, row, kind, var, lower, upper, aux);
  *counter += 1;
}

int Row_BlockReport(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                    const char* suffix) {
  Row_ReportRows(mcp, rows, count, label, suffix, 2);
  return ROW_CONTINUE;
}

int Row_BlockInfeasible(MCP* mcp, const std::int32_t* rows, std::int32_t count, const char* label,
                        const char* reason) {
  Row_ReportRows(mcp, rows, count, label, reason, 0);
  return ROW_INFEASIBLE;
}

void Row_PrintBlockRows(MCP* mcp, const std::int32_t* rows, std::int32_t count) {
  Row_PrintRows(mcp, rows, count);
}
