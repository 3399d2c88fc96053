// Duplicate rows (not in place yet: no merge is ever made).
#include "presolve/rows/RowDuplicates.hpp"

#include "core/DenseVector.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/rows/RowShared.hpp"
#include "problems/MCP.hpp"

int Row_Duplicates(MCP*, std::int32_t, std::int32_t* dup, std::int32_t* dbd) {
  *dup = 0;
  *dbd = 0;
  return ROW_CONTINUE;
}

void Row_PostsolveDuplicate(MCP* mcp, const PresolveRecord& first, const PresolveRecord&) {
  // Without merges to split, the bound change under the merge is undone as
  // any bound change is: its old bounds come back and x moves inside them.
  const std::int32_t j = first.variable_index;
  DenseVector_SetValue(mcp->lower, j, first.old_lower);
  DenseVector_SetValue(mcp->upper, j, first.old_upper);
  const double x = DenseVector_Value(mcp->x, j);
  if (x < first.old_lower) Presolve_SetValue(mcp, j, first.old_lower);
  if (x > first.old_upper) Presolve_SetValue(mcp, j, first.old_upper);
}
