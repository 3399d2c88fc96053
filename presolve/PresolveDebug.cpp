// Invariant check of the presolve: counts against a recount, F of the
// linear live rows against the working point. The reference point and F and
// the recount live in the Workspace's spare vectors 14 and 15.
#include "presolve/PresolveDebug.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Workspace.hpp"
#include "presolve/Presolve_internal.hpp"
#include "problems/MCP.hpp"

namespace {

int checks_on = 0;

constexpr double kRelativeTolerance = 1e-9;

void CheckCounts(const PresolveView& v) {
  IDenseVector* rows = Workspace_IVector(14);
  IDenseVector* cols = Workspace_IVector(15);
  IDenseVector_FillZero(rows, v.n);
  IDenseVector_FillZero(cols, v.n);
  std::int32_t* row_count = IDenseVector_Array(rows);
  std::int32_t* col_count = IDenseVector_Array(cols);
  for (std::int32_t j = 1; j <= v.n; ++j) {
    if (v.Fixed(j)) continue;
    for (std::int32_t p = v.ColBegin(j); p < v.ColEnd(j); ++p) {
      const std::int32_t r = v.row[p];
      if (v.Fixed(r) || !Presolve_EntryCounts(v.entry_type[p], v.value[p])) continue;
      row_count[r - 1] += 1;
      col_count[j - 1] += 1;
    }
  }
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (row_count[i - 1] != v.row_count[i - 1]) {
      Error_SolverError("PresolveDebug: row %d counts %d active entries, a recount %d.\n", i,
                        v.row_count[i - 1], row_count[i - 1]);
    }
    if (col_count[i - 1] != v.col_count[i - 1]) {
      Error_SolverError("PresolveDebug: column %d counts %d active entries, a recount %d.\n", i,
                        v.col_count[i - 1], col_count[i - 1]);
    }
  }
}

// F_i against F at the reference plus the row's linear terms of the move.
void CheckRow(const PresolveView& v, std::int32_t i, const double* x0, const double* f0) {
  double expected = f0[i - 1];
  double scale = 1.0 + std::fabs(expected);
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (v.entry_type[p] != 0) return;  // not a linear row
    const std::int32_t c = v.entry_column[p];
    const double term = v.value[p] * (v.x[c - 1] - x0[c - 1]);
    expected += term;
    scale += std::fabs(term);
  }
  if (!(std::fabs(v.f[i - 1] - expected) <= kRelativeTolerance * scale)) {
    Error_SolverError("PresolveDebug: F of row %d is %.17g, at the working point %.17g.\n", i,
                      v.f[i - 1], expected);
  }
}

}  // namespace

void PresolveDebug_SetChecks(int on) { checks_on = on != 0 ? 1 : 0; }
int PresolveDebug_Checks() { return checks_on; }

void PresolveDebug_Snapshot(MCP* mcp) {
  if (!checks_on) return;
  DenseVector_CloneFull(Workspace_Vector(14), mcp->x);
  DenseVector_CloneFull(Workspace_Vector(15), FunctionJacobian_Function(mcp->evaluation));
}

void PresolveDebug_AfterReduction(MCP* mcp) {
  if (!checks_on) return;
  const PresolveView v = Presolve_View(mcp);
  CheckCounts(v);
  const double* x0 = DenseVector_Array(Workspace_Vector(14));
  const double* f0 = DenseVector_Array(Workspace_Vector(15));
  if (DenseVector_Length(Workspace_Vector(14)) != v.n) {
    Error_SolverError("PresolveDebug: no reference point.\n");
  }
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (!v.Fixed(i)) CheckRow(v, i, x0, f0);
  }
}

void PresolveDebug_Forget() { checks_on = 0; }
