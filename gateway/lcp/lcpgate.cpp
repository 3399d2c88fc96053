// lcpgate: solves a linear complementarity problem F(z) = M z + q with
// bounds, M sparse.
//
//   [status, time, F, basis] = lcpgate(n, nnz, z, lb, ub, M, q[, startvec])
//
// status is 1 when a solution was found and 0 otherwise, time the elapsed
// seconds, F = M z + q at the returned point and basis, per variable, -1 at
// its lower bound, +1 at its upper bound and 0 otherwise. The point itself
// is written into the caller's z array, in place: every host value that
// shares z's storage sees it, so callers pass an array of their own
// (zeros(n, 1), z0 + 0), not a literal. Presolve runs unless the option
// presolve is off. startvec, when given, is the start of the pivoting
// method, and switches presolve and the crash phase off unless "sarn.opt"
// switches them on again. Everything the solver prints goes to
// "logfile.tmp" in the current folder.
#include <cstdint>

#include "mex.h"

#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/Timer.hpp"
#include "gateway/lcp/LCPGateway.hpp"
#include "gateway/common/GatewayCommon.hpp"
#include "gateway/common/GatewayInput.hpp"
#include "gateway/common/GatewaySession.hpp"
#include "problems/MCP.hpp"

namespace {

Gateway_Call call = Gateway_NewCall("lcpgate");

// Output 4: -1 at the lower bound, +1 at the upper bound, 0 otherwise.
void ReturnBasis(MCP* mcp, mxArray* basis, std::int32_t n) {
  const int* code = MCP_BasisArray(mcp);
  double* out = mxGetPr(basis);
  for (std::int32_t i = 0; i < n; ++i) {
    out[i] = code[i] == BASIS_LOWER ? -1.0 : code[i] == BASIS_UPPER ? 1.0 : 0.0;
  }
}

void Solve(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  // Everything the host passed is checked before anything is made.
  Gateway_CheckCounts(nlhs, nrhs, 7, 8);
  const std::int32_t n = Gateway_ReadCount(prhs[0], "n");
  const std::int32_t nnz_argument = Gateway_ReadCount(prhs[1], "nnz");
  double* z = Gateway_ReadVector(prhs[2], "z", n);
  const double* lb = Gateway_ReadVector(prhs[3], "lb", n);
  const double* ub = Gateway_ReadVector(prhs[4], "ub", n);
  if (!Gateway_IsRealSparse(prhs[5], n)) {
    Gateway_Fail("Input M must be a real sparse double matrix of size %d-by-%d.", n, n);
  }
  const std::int32_t total_nnz = Gateway_SparseEntries(prhs[5], n, "Input M");
  const double* q = Gateway_ReadVector(prhs[6], "q", n);
  const double* start = nrhs > 7 ? Gateway_ReadVector(prhs[7], "startvec", n) : nullptr;
  // min(nnz, n*n) is at most nnz, a 32-bit count: this model always fits.
  const std::int64_t bound = Gateway_NonzeroBound(n, nnz_argument);
  const std::int32_t room = static_cast<std::int32_t>(bound > 0 ? bound : 1);
  if (n > 0 && total_nnz > room) {
    Gateway_Fail("Input M stores %d entries, more than nnz allows (%d).", total_nnz, room);
  }

  Gateway_SetErrorInterface();
  Gateway_SetMemoryInterface();
  Gateway_OpenLog(&call);
  Options* options = Gateway_CreateOptions();

  double* status = nullptr;
  double* time = nullptr;
  Gateway_CreateOutputs(nlhs, plhs, n, &status, &time);
  if (nlhs > 3) plhs[3] = mxCreateDoubleMatrix(n, 1, mxREAL);
  void* timer = Timer_Create();
  Timer_Start(timer);

  Gateway_PrintLink();
  if (n == 0) {
    Gateway_PrintDegenerateExit();
    *status = 1.0;
    *time = Timer_Query(timer);
    Timer_Destroy(timer);
    Options_Destroy(options);
    Gateway_CloseLog(&call);
    return;
  }
  Gateway_PrintSize(n, static_cast<std::int32_t>(bound));

  Gateway_State* state = Gateway_GetState();
  *state = Gateway_State{n, room, z, lb, ub, 0};
  LCPGateway_State* lcp = LCPGateway_GetState();
  const mwIndex* col_start = mxGetJc(prhs[5]);
  std::int32_t* col_len = Memory_AllocateArray<std::int32_t>(n);
  for (std::int32_t j = 0; j < n; ++j) {
    col_len[j] = static_cast<std::int32_t>(col_start[j + 1] - col_start[j]);
  }
  *lcp = LCPGateway_State{0, col_start, mxGetIr(prhs[5]), mxGetPr(prhs[5]), col_len, total_nnz, q};
  if (start != nullptr) Gateway_UseStartVector(options, start, n);

  MCP* mcp = MCP_Create(n, room);
  MCP_SetPresolve(mcp, 1);
  LCPGateway_SetInterfaces(mcp);
  const int code = Gateway_Solve(&call, options, mcp);

  Gateway_ReturnSolution(mcp, z, nlhs, plhs);
  if (nlhs > 3) ReturnBasis(mcp, plhs[3], n);
  *status = code == 1 ? 1.0 : 0.0;
  *time = Timer_Query(timer);
  Timer_Destroy(timer);
  MCP_Destroy(mcp);
  Memory_Free(col_len);
  Options_Destroy(options);
  Gateway_CloseLog(&call);
}

}  // namespace

extern "C" GATEWAY_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                           const mxArray* prhs[]) {
  Gateway_RunCall(&call, [&] { Solve(nlhs, plhs, nrhs, prhs); });
}
