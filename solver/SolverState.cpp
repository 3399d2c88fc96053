// The solver layer's list of process-wide state.
#include "solver/SolverState.hpp"

#include "solver/Lemke.hpp"
#include "solver/NMS.hpp"
#include "solver/Sarn.hpp"

namespace {

constexpr const char* kOptionValues = "option values, kept until the next Options_Default";

const StateEntry kList[] = {
    {"Sarn", "solver/Sarn.cpp:driver_workspace solver/Sarn.cpp:proximal_in_use",
     Sarn_ForgetState, Sarn_StateAtRest, nullptr},
    {"Lemke", "solver/Lemke.cpp:lemke_workspace solver/LemkeStart.cpp:lemke_random_state",
     Lemke_ForgetState, Lemke_StateAtRest, nullptr},
    {"NMS",
     "solver/NMS.cpp:state solver/NMS.cpp:merit_code solver/NMS.cpp:watchdog_count "
     "solver/NMS.cpp:saved_reference_factor solver/NMS.cpp:merit_at_x",
     NMS_ForgetState, NMS_StateAtRest, nullptr},
    {"Crash", "solver/Crash.cpp:statistics", nullptr, nullptr,
     "counts of the latest crash phase, kept for the caller to read and replaced by the next"},
    {"LMCP", "solver/LMCP.cpp:lmcp_interface", nullptr, nullptr,
     "the linearised problem's callback table, handed out by address and never written"},
    {"Sarn options",
     "solver/SarnOptions.cpp:printers solver/SarnOptions.cpp:parsers "
     "solver/SarnOptions.cpp:Sarn_OptionTable solver/SarnOptions.cpp:Sarn_OptionGroup",
     nullptr, nullptr, kOptionValues},
    {"Lemke options",
     "solver/LemkeOptions.cpp:printers solver/LemkeOptions.cpp:parsers "
     "solver/LemkeOptions.cpp:Lemke_OptionTable solver/LemkeOptions.cpp:Lemke_OptionGroup",
     nullptr, nullptr, kOptionValues},
};

}  // namespace

const StateEntry* SolverState_List(int* count) {
  *count = static_cast<int>(sizeof kList / sizeof kList[0]);
  return kList;
}
