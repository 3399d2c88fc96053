// The life of one plug-in call: entry, exits, log, options, solve.
#include "gateway/common/GatewaySession.hpp"

#include <cstring>
#include <limits>

#if defined(__unix__) || defined(__APPLE__)
#include <pthread.h>
#endif

#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "gateway/common/GatewayCall.hpp"
#include "gateway/common/GatewayCommon.hpp"
#include "problems/MCP.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"

namespace {

char kept_message[2048];
char kept_identifier[256];
char refusal[256];
char taken_refusal[256];
// The call whose solve has the interrupt signal routed to the library, or
// nullptr; the callbacks into the host lend the signal back through it.
Gateway_Call* window_owner = nullptr;

// Routes SIGINT to the library for the length of the solve. A host may
// block the signal in its calling thread and take it in a thread of its own
// (Octave does); the library's handler only counts interrupts, so the signal
// is unblocked in this thread, where the process delivers it first. The
// exact disposition and mask are put back afterwards, whatever the library
// installed in between.
void OpenSignalWindow(Gateway_Call* call) {
#if defined(__unix__) || defined(__APPLE__)
  sigaction(SIGINT, nullptr, &call->saved_action);
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  pthread_sigmask(SIG_UNBLOCK, &interrupt, &call->saved_mask);
#endif
  call->window_open = true;
  call->lent_to_host = false;
  window_owner = call;
}

void CloseSignalWindow(Gateway_Call* call) {
  if (window_owner == call) window_owner = nullptr;
  if (!call->window_open) return;
#if defined(__unix__) || defined(__APPLE__)
  sigaction(SIGINT, &call->saved_action, nullptr);
  pthread_sigmask(SIG_SETMASK, &call->saved_mask, nullptr);
#endif
  call->window_open = false;
  call->lent_to_host = false;
}

// The host's disposition and mask for a call into it; the library's are
// kept in the call record.
void LendSignalToHost(Gateway_Call* call) {
#if defined(__unix__) || defined(__APPLE__)
  sigaction(SIGINT, &call->saved_action, &call->library_action);
  pthread_sigmask(SIG_SETMASK, &call->saved_mask, nullptr);
#endif
  call->lent_to_host = true;
}

void TakeSignalBack(Gateway_Call* call) {
  if (!call->window_open || !call->lent_to_host) return;
#if defined(__unix__) || defined(__APPLE__)
  sigaction(SIGINT, &call->library_action, nullptr);
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr);
#endif
  call->lent_to_host = false;
}

}  // namespace

Gateway_HostSignalScope::Gateway_HostSignalScope() : call_(nullptr) {
  Gateway_Call* owner = window_owner;
  if (owner == nullptr || !owner->window_open || owner->lent_to_host) return;
  LendSignalToHost(owner);
  call_ = owner;
}

Gateway_HostSignalScope::~Gateway_HostSignalScope() {
  if (call_ != nullptr && window_owner == call_) TakeSignalBack(call_);
}

Gateway_Call Gateway_NewCall(const Gateway_Plugin* plugin) {
  Gateway_Call call;
  std::memset(&call, 0, sizeof call);
  call.plugin = plugin;
  return call;
}

bool Gateway_Enter(Gateway_Call* call) {
  if (call->busy) return false;
  call->busy = true;
  call->window_open = false;
  Gateway_ForgetCall(call);
  // A log left open by a call that never reached its end is closed now.
  Gateway_CloseLog(call);
  return true;
}

void Gateway_Leave(Gateway_Call* call) { call->busy = false; }

void Gateway_Abandon(Gateway_Call* call) {
  Gateway_ForgetCall(call);
  CloseSignalWindow(call);
  Gateway_CloseLog(call);
  call->busy = false;
}

void Gateway_ForgetCall(const Gateway_Call* call) {
  Gateway_ForgetState();
  call->plugin->forget_state();
}

void Gateway_KeepMessage(const char* text, const char* identifier) {
  std::snprintf(kept_message, sizeof kept_message, "%s", text);
  std::snprintf(kept_identifier, sizeof kept_identifier, "%s",
                identifier != nullptr ? identifier : "");
}

void Gateway_RaiseKeptMessage() {
  if (kept_identifier[0] != '\0') mexErrMsgIdAndTxt(kept_identifier, "%s", kept_message);
  mexErrMsgTxt(kept_message);
  // mexErrMsgTxt does not return; this keeps the promise if a host's does.
  throw Gateway_Failure(kept_message);
}

void Gateway_RefuseReentry(const Gateway_Call* call) {
  std::snprintf(refusal, sizeof refusal, "%s cannot be called again while it is solving.",
                call->plugin->name);
  mexErrMsgTxt(refusal);
  // mexErrMsgTxt does not return; this keeps the promise if a host's does.
  throw Gateway_Failure(refusal);
}

const char* Gateway_TakeRefusal() {
  std::snprintf(taken_refusal, sizeof taken_refusal, "%s", refusal);
  refusal[0] = '\0';
  return taken_refusal;
}

void Gateway_OpenLog(Gateway_Call* call) {
  call->log = std::fopen("logfile.tmp", "w");
  Output_SetLogFile(call->log);
}

void Gateway_CloseLog(Gateway_Call* call) {
  Output_SetLogFile(nullptr);
  if (call->log != nullptr) std::fclose(call->log);
  call->log = nullptr;
}

Options* Gateway_CreateOptions() {
  Options* options = Sarn_CreateOptions();
  Sarn_AddOptions(options);
  Options_Default(options);
  return options;
}

void Gateway_PrintLink() { Output_Printf(OUTPUT_ALL, "%s: Matlab Link\n", Sarn_Version()); }

void Gateway_PrintDegenerateExit() {
  Output_Printf(OUTPUT_LOG | OUTPUT_STATUS, "\n ** EXIT - solution found (degenerate model).\n");
}

void Gateway_PrintTooLargeExit() {
  Output_Printf(OUTPUT_LOG | OUTPUT_STATUS, "\n ** EXIT - model too large.\n");
}

void Gateway_PrintSize(std::int32_t n, std::int32_t nnz) {
  const double square = static_cast<double>(n) * static_cast<double>(n);
  Output_Printf(OUTPUT_ALL, "%d row/cols, %d non-zeros, %3.2f%% dense.\n\n", n, nnz,
                100.0 * static_cast<double>(nnz) / square);
}

void Gateway_UseStartVector(Options* options, const double* values, std::int32_t n) {
  Lemke_SetStartVector(values, n);
  Options_Set(options, "pre no");
  Options_Set(options, "cra_met none");
  Options_Set(options, "cra_per no");
  Options_Set(options, "lem_sta first");
}

int Gateway_Solve(Gateway_Call* call, Options* options, MCP* mcp) {
  Options_Read(options, "sarn.opt");
  Options_Display(options);
  Information info;
  std::memset(&info, 0, sizeof info);
  info.output_mask = OUTPUT_ALL;
  info.factor_given_basis = 1;
  info.start_from_given_basis = 1;
  OpenSignalWindow(call);
  const int code = Sarn_Solve(mcp, &info);
  CloseSignalWindow(call);
  return code;
}

void Gateway_CreateOutputs(int nlhs, mxArray* plhs[], std::int32_t n, double** status,
                           double** time) {
  plhs[0] = mxCreateDoubleMatrix(1, 1, mxREAL);
  plhs[1] = mxCreateDoubleMatrix(1, 1, mxREAL);
  if (nlhs > 2) plhs[2] = mxCreateDoubleMatrix(n, 1, mxREAL);
  *status = mxGetPr(plhs[0]);
  *time = mxGetPr(plhs[1]);
}

void Gateway_ReturnSolution(MCP* mcp, double* z, int nlhs, mxArray* plhs[]) {
  const Gateway_State* state = Gateway_GetState();
  const std::int32_t n = state->n;
  if (n > 0) std::memcpy(z, MCP_XArray(mcp), sizeof(double) * n);
  if (nlhs <= 2) return;
  double* F = mxGetPr(plhs[2]);
  const double* f = MCP_FArray(mcp);
  for (std::int32_t i = 0; i < n; ++i) {
    F[i] = state->f_defined ? f[i] : std::numeric_limits<double>::quiet_NaN();
  }
}
