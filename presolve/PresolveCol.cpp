// The column pass: no column rule, so nothing changes and no record of a
// column kind is ever pushed.
#include "presolve/PresolveCol.hpp"

#include "problems/MCP.hpp"

int MCPC(MCP*, std::int32_t*, std::int32_t* changed) {
  *changed = 0;
  return MCP_CONTINUE;
}
