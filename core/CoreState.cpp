// The core layer's list of process-wide state.
#include "core/CoreState.hpp"

#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Workspace.hpp"

namespace {

constexpr const char* kServiceRecord = "a service record the host installs; it outlives a call";

const StateEntry kList[] = {
    {"Interrupt",
     "core/Interrupt.cpp:interrupted core/Interrupt.cpp:interrupt_count "
     "core/Interrupt.cpp:handler_before_start core/Interrupt.cpp:started "
     "core/Interrupt.cpp:kept_by_ignore core/Interrupt.cpp:jump_point",
     Interrupt_ForgetState, Interrupt_StateAtRest, nullptr},
    {"Workspace", "core/Workspace.cpp:pool core/Workspace.cpp:start_vector",
     Workspace_ForgetState, Workspace_StateAtRest, nullptr},
    {"Options", "core/Options.cpp:common_change_from_line", Options_ForgetState,
     Options_StateAtRest, nullptr},
    {"Interrupt service", "core/Interrupt.cpp:default_interface core/Interrupt.cpp:current",
     nullptr, nullptr, kServiceRecord},
    {"Error service",
     "core/Error.cpp:default_interface core/Error.cpp:current core/Error.cpp:throwing_interface",
     nullptr, nullptr, kServiceRecord},
    {"Memory service", "core/Memory.cpp:default_interface core/Memory.cpp:current", nullptr,
     nullptr, kServiceRecord},
    {"Timer service", "core/Timer.cpp:default_interface core/Timer.cpp:current", nullptr,
     nullptr, kServiceRecord},
    {"Output service",
     "core/Output.cpp:default_interface core/Output.cpp:current core/Output.cpp:streams", nullptr,
     nullptr, "the host's streams and service record; the plug-ins unset their log on every way out"},
    {"Common options",
     "core/OptionsCommon.cpp:Options_CommonTable core/OptionsCommon.cpp:common_defaults_at_load",
     nullptr, nullptr, "option values, kept until the next Options_Default"},
};

}  // namespace

void StateEntry_ForgetAll(const StateEntry* list, int count) {
  for (int k = 0; k < count; ++k) {
    if (list[k].forget != nullptr) list[k].forget();
  }
}

const StateEntry* CoreState_List(int* count) {
  *count = static_cast<int>(sizeof kList / sizeof kList[0]);
  return kList;
}
