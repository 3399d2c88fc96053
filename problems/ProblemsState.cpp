// The problem layer's list of process-wide state to forget.
#include "problems/ProblemsState.hpp"

#include "problems/CNS_MCP.hpp"
#include "problems/LCP.hpp"
#include "problems/PLCP.hpp"
#include "problems/PMCP.hpp"
#include "problems/QP.hpp"
#include "problems/QP_MCP.hpp"

void ProblemsState_Forget() {
  // The current interfaces of the problem classes.
  LCP_ForgetState();
  PMCP_ForgetState();
  PLCP_ForgetState();
  QP_ForgetState();
  // The callback tables of the adapters to the MCP record.
  CNS_MCP_ForgetState();
  QP_MCP_ForgetState();
}
