// The life of one plug-in call, shared by both entry points: refusal of
// re-entry, the exit path for errors, the log file, the option object, the
// log lines every call prints, the optional start vector, and the solve
// itself with the host's interrupt signal routed to the library.
//
// Errors leave the library and the gateway's own code as C++ exceptions
// (SolverErrorException from the error callback, Gateway_Failure from the
// gateway's checks). Gateway_RunCall catches them at the top of the entry
// point, releases process-wide state and only then raises the host error, so
// that no host error unwinds through library frames and the next call starts
// clean.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>

#include "core/Error.hpp"
#include "gateway/common/GatewayInput.hpp"
#include "mex.h"

struct Gateway_Plugin;
struct MCP;
struct Options;

// The entry point is the only symbol a plug-in exports.
#if defined(__GNUC__)
#define GATEWAY_EXPORT __attribute__((visibility("default")))
#else
#define GATEWAY_EXPORT
#endif

// What a plug-in keeps from one call to the next: whether a call is running
// and what must be put back when it ends.
struct Gateway_Call {
  const Gateway_Plugin* plugin;  // the plug-in's part of every call
  bool busy;                     // a call of this plug-in is running
  std::FILE* log;                // "logfile.tmp", or nullptr when it could not be opened
  bool window_open;              // the interrupt signal is routed to the library
  bool lent_to_host;             // ... and lent back to the host for a call into it
#if defined(__unix__) || defined(__APPLE__)
  struct sigaction saved_action;    // the host's disposition before the solve
  sigset_t saved_mask;              // the host's signal mask before the solve
  struct sigaction library_action;  // the library's disposition while it is lent
#endif
};

// A record for the plug-in with no call running.
Gateway_Call Gateway_NewCall(const Gateway_Plugin* plugin);

// Begins a call: false when a call of this plug-in is already running (the
// user's function called the plug-in again; nothing is touched then).
// Otherwise marks the call running and forgets any process-wide state that
// an abandoned earlier call left behind (Gateway_ForgetCall).
bool Gateway_Enter(Gateway_Call* call);

// Ends a call normally (everything it made has been released).
void Gateway_Leave(Gateway_Call* call);

// Ends a call that failed: forgets the process-wide state without touching
// its memory (the host reclaims what it allocated), puts the signal
// disposition back, closes the log and marks the call ended. Never throws.
void Gateway_Abandon(Gateway_Call* call);

// Forgets every process-wide state a call may leave behind, one list per
// layer: the library's and the shared glue's (Gateway_ForgetState), then
// the plug-in's own (its forget_state).
void Gateway_ForgetCall(const Gateway_Call* call);

// Keeps a copy of text and of the error identifier (empty: none) for the
// host error raised after the abandon path (at most 2047 and 255
// characters).
void Gateway_KeepMessage(const char* text, const char* identifier);

// Raises the host error kept by Gateway_KeepMessage, with its identifier
// when it has one. Does not return.
[[noreturn]] void Gateway_RaiseKeptMessage();

// Raises the host error "<plugin> cannot be called again while it is
// solving." for a refused re-entry, and keeps the text for the running call:
// a host that traps errors in the user's function may not pass it on.
[[noreturn]] void Gateway_RefuseReentry(const Gateway_Call* call);

// The text of a re-entry refused since the last call (empty when none), and
// forgets it.
const char* Gateway_TakeRefusal();

// Runs body as the call: re-entry refused, solver errors and gateway
// failures turned into host errors after Gateway_Abandon, any other
// exception (a host error or interrupt passing through) let through after
// Gateway_Abandon.
template <class Body>
void Gateway_RunCall(Gateway_Call* call, Body&& body) {
  if (!Gateway_Enter(call)) Gateway_RefuseReentry(call);
  bool failed = false;
  try {
    body();
  } catch (const SolverErrorException& e) {
    Gateway_KeepMessage(e.what(), "");
    failed = true;
  } catch (const Gateway_Failure& e) {
    Gateway_KeepMessage(e.what(), e.identifier());
    failed = true;
  } catch (...) {
    Gateway_Abandon(call);
    throw;
  }
  if (failed) {
    Gateway_Abandon(call);
    Gateway_RaiseKeptMessage();
  }
  Gateway_Leave(call);
}

// While it lives, SIGINT is the host's again: when the solve has routed it
// to the library, the host's disposition and signal mask from before the
// solve are put back for a call into the host (the user's function), so that
// Ctrl-C reaches the host there, and the library's are taken back when the
// scope ends, on every way out (a host error or interrupt passing through
// included). Nothing when no solve routes the signal.
class Gateway_HostSignalScope {
 public:
  Gateway_HostSignalScope();
  ~Gateway_HostSignalScope();
  Gateway_HostSignalScope(const Gateway_HostSignalScope&) = delete;
  Gateway_HostSignalScope& operator=(const Gateway_HostSignalScope&) = delete;

 private:
  Gateway_Call* call_;  // the call whose window was lent, or nullptr
};

// Opens "logfile.tmp" for writing in the current folder and makes it the
// log stream; when it cannot be opened the call runs without a log.
void Gateway_OpenLog(Gateway_Call* call);
// Unsets the log stream and closes the file (nothing when none is open).
void Gateway_CloseLog(Gateway_Call* call);

// Options_Create, Sarn_AddOptions, Options_Default: every option at its
// default.
Options* Gateway_CreateOptions();

// "%s: Matlab Link\n" with the version string, to every stream.
void Gateway_PrintLink();
// The early exits' lines: "\n ** EXIT - solution found (degenerate model).\n"
// and "\n ** EXIT - model too large.\n" (mode 3).
void Gateway_PrintDegenerateExit();
void Gateway_PrintTooLargeExit();
// "%d row/cols, %d non-zeros, %3.2f%% dense.\n\n" (mode 7) with the density
// 100 nnz / (n n) in double precision; n > 0.
void Gateway_PrintSize(std::int32_t n, std::int32_t nnz);

// Hands the caller's start vector (n values, kept by the caller) to the
// pivoting method's start and forces "pre no", "cra_met none", "cra_per no"
// and "lem_sta first", in this order.
void Gateway_UseStartVector(Options* options, const double* values, std::int32_t n);

// Creates outputs 1 and 2 (1-by-1 reals: status and time) and, with more
// than 2 outputs, output 3 (n-by-1 real: F). Stores the data pointers of
// the first two.
void Gateway_CreateOutputs(int nlhs, mxArray* plhs[], std::int32_t n, double** status,
                           double** time);

// After the solve: copies the solution (n entries of MCP_XArray) into the
// caller's z in place and, with more than 2 outputs, F into output 3 (NaN
// entries when the last evaluation left F undefined at the solution).
void Gateway_ReturnSolution(MCP* mcp, double* z, int nlhs, mxArray* plhs[]);

// Reads "sarn.opt" (its lines override the defaults and forced lines),
// prints the option values and runs Sarn_Solve with an Information record
// whose output mask is 7 and whose two Lemke start controls are 1, with the
// interrupt signal delivered to the library during the solve. Returns the
// TerminationCode.
int Gateway_Solve(Gateway_Call* call, Options* options, MCP* mcp);
