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
// (zeros(n, 1), z0 + 0), not a literal; a z the host hands over as a copy
// (a range, a diagonal matrix) is refused. lcpgate.m beside the plug-in is
// its help text. Presolve runs unless the option
// presolve is off. startvec, when given, is the start of the pivoting
// method, and switches presolve and the crash phase off unless "sarn.opt"
// switches them on again. Everything the solver prints goes to
// "logfile.tmp" in the current folder.
#include <cstdint>

#include "mex.h"

#include "core/Memory.hpp"
#include "gateway/common/GatewayCall.hpp"
#include "gateway/common/GatewayInput.hpp"
#include "gateway/lcp/LCPGateway.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr int kInputs = 7;  // n, nnz, z, lb, ub, M, q; startvec may follow
constexpr int kMatrixInput = 5;
constexpr int kVectorInput = 6;

// Output 4: -1 at the lower bound, +1 at the upper bound, 0 otherwise.
void ReturnBasis(MCP* mcp, mxArray* basis, std::int32_t n) {
  const int* code = MCP_BasisArray(mcp);
  double* out = mxGetPr(basis);
  for (std::int32_t i = 0; i < n; ++i) {
    out[i] = code[i] == BASIS_LOWER ? -1.0 : code[i] == BASIS_UPPER ? 1.0 : 0.0;
  }
}

// M and q hold real numbers: a NaN or an infinite entry is refused, with
// its place (the problem it would define has no meaning).
void CheckFinite(const mxArray* M, const double* q, std::int32_t n, std::int32_t total_nnz) {
  const std::int64_t k = Gateway_FirstNonFinite(mxGetPr(M), total_nnz);
  if (k >= 0) {
    const mwIndex* col_start = mxGetJc(M);
    std::int32_t j = 0;
    while (static_cast<std::int64_t>(col_start[j + 1]) <= k) ++j;
    Gateway_Fail("Input M must have finite entries: M(%lld, %d) is %g.",
                 static_cast<long long>(mxGetIr(M)[k]) + 1, j + 1, mxGetPr(M)[k]);
  }
  const std::int64_t i = Gateway_FirstNonFinite(q, n);
  if (i >= 0) {
    Gateway_Fail("Input q must have finite entries: q(%lld) is %g.", static_cast<long long>(i) + 1,
                 q[i]);
  }
}

// M, q, the start vector and the Jacobian room min(nnz, n*n), which must be
// a 32-bit count (the record gets that room, at least 1).
void ReadInputs(int nrhs, const mxArray* prhs[], Gateway_Problem* problem) {
  const std::int32_t n = problem->n;
  if (!Gateway_IsRealSparse(prhs[kMatrixInput], n)) {
    Gateway_Fail("Input M must be a real sparse double matrix of size %d-by-%d.", n, n);
  }
  const std::int32_t total_nnz = Gateway_SparseEntries(prhs[kMatrixInput], n, "Input M");
  const double* q = Gateway_ReadVector(prhs[kVectorInput], "q", n);
  CheckFinite(prhs[kMatrixInput], q, n, total_nnz);
  Gateway_ReadStart(nrhs, prhs, kInputs, problem);
  problem->too_large = problem->bound > 2147483647;
  const std::int64_t room = problem->bound > 0 ? problem->bound : 1;
  problem->room = problem->too_large ? 1 : static_cast<std::int32_t>(room);
  problem->entries = problem->room;
  if (n > 0 && !problem->too_large && total_nnz > problem->room) {
    Gateway_Fail("Input M stores %d entries, more than nnz allows (%d).", total_nnz,
                 problem->room);
  }
}

// Output 4: the bound status, n-by-1.
void CreateOutput(int, mxArray* plhs[], const Gateway_Problem& problem) {
  plhs[3] = mxCreateDoubleMatrix(problem.n, 1, mxREAL);
}

// M and q for the callbacks (the column lengths in library memory, released
// by Release) and the record that presolves.
MCP* CreateProblem(const mxArray* prhs[], const Gateway_Problem& problem) {
  const std::int32_t n = problem.n;
  const mxArray* M = prhs[kMatrixInput];
  const mwIndex* col_start = mxGetJc(M);
  std::int32_t* col_len = Memory_AllocateArray<std::int32_t>(n);
  for (std::int32_t j = 0; j < n; ++j) {
    col_len[j] = static_cast<std::int32_t>(col_start[j + 1] - col_start[j]);
  }
  const std::int32_t total_nnz = static_cast<std::int32_t>(col_start[n]);
  *LCPGateway_GetState() = LCPGateway_State{0,       col_start, mxGetIr(M), mxGetPr(M),
                                            col_len, total_nnz, mxGetPr(prhs[kVectorInput])};
  MCP* mcp = MCP_Create(n, problem.entries);
  MCP_SetPresolve(mcp, 1);
  LCPGateway_SetInterfaces(mcp);
  return mcp;
}

void ReturnOutput(MCP* mcp, int, mxArray* plhs[], const Gateway_Problem& problem) {
  ReturnBasis(mcp, plhs[3], problem.n);
}

void Release() {
  Memory_Free(LCPGateway_GetState()->col_len);
  LCPGateway_ForgetState();
}

const Gateway_Plugin plugin = {"lcpgate",     kInputs,       ReadInputs,
                               CreateOutput,  CreateProblem, ReturnOutput,
                               Release,       LCPGateway_ForgetState};

Gateway_Call call = Gateway_NewCall(&plugin);

}  // namespace

extern "C" GATEWAY_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                           const mxArray* prhs[]) {
  Gateway_Main(&call, nlhs, plhs, nrhs, prhs);
}
