// The row pass as it stands: no row rule runs yet, so the pass changes
// nothing and no duplicate-row merge is ever recorded.
#include "presolve/RowPass.hpp"

#include "problems/MCP.hpp"

int MCPR(MCP*, std::int32_t*, std::int32_t* changed) {
  *changed = 0;
  return MCP_CONTINUE;
}
