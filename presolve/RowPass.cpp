// The row pass as it stands: no row rule runs yet, so the pass changes
// nothing and no duplicate-row merge is ever recorded.
#include "presolve/RowPass.hpp"

#include "core/DenseVector.hpp"
#include "presolve/PresolveUtil.hpp"
#include "problems/MCP.hpp"

int MCPR(MCP*, std::int32_t*, std::int32_t* changed) {
  *changed = 0;
  return MCP_CONTINUE;
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
