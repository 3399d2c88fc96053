// mcpgate: solves a nonlinear mixed complementarity problem whose F and
// sparse Jacobian come from a function of the host.
//
//   [status, time, F, J] = mcpgate(n, nnz, z, lb, ub, fname[, startvec])
//
// status is 1 when a solution was found and 0 otherwise, time the elapsed
// seconds, F and J the function and its Jacobian at the returned point. The
// point itself is written into the caller's z array, in place: every host
// value that shares z's storage sees it, so callers pass an array of their
// own (zeros(n, 1), z0 + 0), not a literal. fname is called as
// [f, J, domerr] = fname(x, flag). startvec, when given, is the start of the
// pivoting method, and switches presolve and the crash phase off unless
// "sarn.opt" switches them on again. Everything the solver prints goes to
// "logfile.tmp" in the current folder.
#include <cstdint>

#include "mex.h"

#include "core/Options.hpp"
#include "core/Timer.hpp"
#include "gateway/common/GatewayCommon.hpp"
#include "gateway/common/GatewayInput.hpp"
#include "gateway/mcp/GatewayMCP.hpp"
#include "gateway/common/GatewaySession.hpp"
#include "problems/MCP.hpp"

namespace {

Gateway_Call call = Gateway_NewCall("mcpgate");

// Writes the library's Jacobian at the solution into output 4 in the host's
// 0-based compressed columns. An undefined Jacobian (no evaluation, or a
// domain error at the last one) gives an empty matrix.
void ReturnJacobian(MCP* mcp, mxArray* J, std::int32_t n, std::int32_t room) {
  mwIndex* start = mxGetJc(J);
  mwIndex* index = mxGetIr(J);
  double* entries = mxGetPr(J);
  for (std::int32_t j = 0; j <= n; ++j) start[j] = 0;
  if (!Gateway_GetFunctionState()->jacobian_defined) return;

  int count = 0;
  int* col_start = nullptr;
  int* col_len = nullptr;
  int* row = nullptr;
  double* value = nullptr;
  MCP_JacobianArrays(mcp, &count, &col_start, &col_len, &row, &value);
  if (count > room) Gateway_Fail("Jacobian has too many entries.");
  std::int32_t k = 0;
  for (std::int32_t j = 0; j < n; ++j) {
    start[j] = k;
    const std::int32_t first = col_start[j] - 1;
    if (first < 0 || col_len[j] < 0 || col_len[j] > count - first || col_len[j] > room - k) {
      Gateway_Fail("Jacobian at the solution is inconsistent.");
    }
    for (std::int32_t p = first; p < first + col_len[j]; ++p) {
      if (row[p] < 1 || row[p] > n) Gateway_Fail("Jacobian at the solution is inconsistent.");
      index[k] = row[p] - 1;
      entries[k] = value[p];
      ++k;
    }
  }
  start[n] = k;
}

void Solve(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  // Everything the host passed is checked before anything is made.
  Gateway_CheckCounts(nlhs, nrhs, 6, 7);
  const std::int32_t n = Gateway_ReadCount(prhs[0], "n");
  const std::int32_t nnz_argument = Gateway_ReadCount(prhs[1], "nnz");
  double* z = Gateway_ReadVector(prhs[2], "z", n);
  const double* lb = Gateway_ReadVector(prhs[3], "lb", n);
  const double* ub = Gateway_ReadVector(prhs[4], "ub", n);
  const std::int32_t name_length = Gateway_CheckName(prhs[5], "fname");
  const double* start = nrhs > 6 ? Gateway_ReadVector(prhs[6], "startvec", n) : nullptr;
  // The record gets one entry more than the bound; both must be 32-bit counts.
  const std::int64_t bound = Gateway_NonzeroBound(n, nnz_argument);
  const bool too_large = bound + 1 > 2147483647;
  const std::int32_t room = too_large ? 1 : static_cast<std::int32_t>(bound > 0 ? bound : 1);

  Gateway_SetErrorInterface();
  Gateway_SetMemoryInterface();
  Gateway_OpenLog(&call);
  Options* options = Gateway_CreateOptions();
  void* timer = Timer_Create();
  Timer_Start(timer);

  Gateway_State* state = Gateway_GetState();
  *state = Gateway_State{n, 0, z, lb, ub, 0};
  char* name = static_cast<char*>(mxCalloc(static_cast<std::size_t>(name_length) + 1, 1));
  if (mxGetString(prhs[5], name, name_length + 1) != 0) {
    Gateway_Fail("Input fname must be a function name (a non-empty character row vector).");
  }
  Gateway_FunctionState* function = Gateway_GetFunctionState();
  *function = Gateway_FunctionState{name, static_cast<std::int32_t>(too_large ? 0 : bound), 0};

  double* status = nullptr;
  double* time = nullptr;
  Gateway_CreateOutputs(nlhs, plhs, n, &status, &time);
  if (nlhs > 3) plhs[3] = mxCreateSparse(n, n, room, mxREAL);

  Gateway_PrintLink();
  if (n == 0 || too_large) {
    if (n == 0) {
      Gateway_PrintDegenerateExit();
    } else {
      Gateway_PrintTooLargeExit();
    }
    *status = n == 0 ? 1.0 : 0.0;
    *time = Timer_Query(timer);
    Timer_Destroy(timer);
    Options_Destroy(options);
    mxFree(name);
    Gateway_CloseLog(&call);
    return;
  }

  Gateway_PrintSize(n, static_cast<std::int32_t>(bound));
  state->nnz = static_cast<std::int32_t>(bound) + 1;
  if (start != nullptr) Gateway_UseStartVector(options, start, n);
  MCP* mcp = MCP_Create(n, state->nnz);
  Gateway_SetInterface(mcp);
  const int code = Gateway_Solve(&call, options, mcp);

  Gateway_ReturnSolution(mcp, z, nlhs, plhs);
  if (nlhs > 3) ReturnJacobian(mcp, plhs[3], n, room);
  *status = code == 1 ? 1.0 : 0.0;
  *time = Timer_Query(timer);
  Timer_Destroy(timer);
  MCP_Destroy(mcp);
  Options_Destroy(options);
  mxFree(name);
  Gateway_CloseLog(&call);
}

}  // namespace

extern "C" GATEWAY_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                           const mxArray* prhs[]) {
  Gateway_RunCall(&call, [&] { Solve(nlhs, plhs, nrhs, prhs); });
}
