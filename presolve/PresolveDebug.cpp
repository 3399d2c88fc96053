// Invariant check of the presolve: counts against a recount, F of the
// linear live rows against the working point. The reference point and F
// live in the Workspace's vectors 14 and 15, the recount in its integer
// vector 15.
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

// Recounts the active entries per row (rows) or per column into
// Workspace integer vector 15 and compares with the kept counts.
void CheckCounts(const PresolveView& v, bool rows) {
  IDenseVector* scratch = Workspace_IVector(15);
  IDenseVector_FillZero(scratch, v.n);
  std::int32_t* count = IDenseVector_Array(scratch);
  for (std::int32_t j = 1; j <= v.n; ++j) {
    if (v.Fixed(j)) continue;
    for (std::int32_t p = v.ColBegin(j); p < v.ColEnd(j); ++p) {
      const std::int32_t r = v.row[p];
      if (v.Fixed(r) || !Presolve_EntryCounts(v.entry_type[p], v.value[p])) continue;
      count[(rows ? r : j) - 1] += 1;
    }
  }
  const std::int32_t* kept = rows ? v.row_count : v.col_count;
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (count[i - 1] != kept[i - 1]) {
      Error_SolverError("PresolveDebug: %s %d counts %d active entries, a recount %d.\n",
                        rows ? "row" : "column", i, kept[i - 1], count[i - 1]);
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
  DenseVector_CloneFull(Workspace_Vector(15), FunctionJacobian_Function(mcp->evaluation));
}

void PresolveDebug_AfterReduction(MCP* mcp) {
  if (!checks_on) return;
  const PresolveView v = Presolve_View(mcp);
  CheckCounts(v, true);
  CheckCounts(v, false);
  if (v.x_evaluated == nullptr) Error_SolverError("PresolveDebug: no reference point.\n");
  const double* f0 = DenseVector_Array(Workspace_Vector(15));
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (!v.Fixed(i)) CheckRow(v, i, v.x_evaluated, f0);
  }
}

