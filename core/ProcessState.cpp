// Process-wide state of the library, listed and forgotten in one place.
#include "core/ProcessState.hpp"

#include "core/Interrupt.hpp"
#include "core/Workspace.hpp"
#include "problems/CNS_MCP.hpp"
#include "problems/LCP.hpp"
#include "problems/PLCP.hpp"
#include "problems/PMCP.hpp"
#include "problems/QP.hpp"
#include "problems/QP_MCP.hpp"
#include "solver/Lemke.hpp"
#include "solver/NMS.hpp"
#include "solver/Sarn.hpp"

void ProcessState_Forget() {
  // Services: the jump point and the SIGINT disposition of an abandoned start.
  Interrupt_ForgetState();
  // The solver's single records: driver workspace, pivoting method, stabilisation.
  Sarn_ForgetState();
  Lemke_ForgetState();
  NMS_ForgetState();
  // The scratch pool and the start vector handed to the pivoting method.
  Workspace_ForgetState();
  // The current interfaces of the problem classes.
  LCP_ForgetState();
  PMCP_ForgetState();
  PLCP_ForgetState();
  QP_ForgetState();
  CNS_MCP_ForgetState();
  QP_MCP_ForgetState();
}
