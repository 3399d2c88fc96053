// The problem layer's list of process-wide state.
#include "problems/ProblemsState.hpp"

#include "problems/CNS_MCP.hpp"
#include "problems/LCP.hpp"
#include "problems/PLCP.hpp"
#include "problems/PMCP.hpp"
#include "problems/QP.hpp"
#include "problems/QP_MCP.hpp"

namespace {

const StateEntry kList[] = {
    {"LCP",
     "problems/LCP.cpp:empty_interface problems/LCP.cpp:current_interface "
     "problems/LCP.cpp:live_records",
     LCP_ForgetState, LCP_StateAtRest, nullptr},
    {"PMCP", "problems/PMCP.cpp:g_interface", PMCP_ForgetState, PMCP_StateAtRest, nullptr},
    {"PLCP", "problems/PLCP.cpp:g_interface", PLCP_ForgetState, PLCP_StateAtRest, nullptr},
    {"QP", "problems/QP.cpp:g_interface", QP_ForgetState, QP_StateAtRest, nullptr},
    {"CNS_MCP", "problems/CNS_MCP.cpp:g_table problems/CNS_MCP.cpp:g_presolve_table",
     CNS_MCP_ForgetState, CNS_MCP_StateAtRest, nullptr},
    {"QP_MCP", "problems/QP_MCP.cpp:g_table", QP_MCP_ForgetState, QP_MCP_StateAtRest, nullptr},
};

}  // namespace

const StateEntry* ProblemsState_List(int* count) {
  *count = static_cast<int>(sizeof kList / sizeof kList[0]);
  return kList;
}
