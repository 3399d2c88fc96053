// mcpgate: solves a nonlinear mixed complementarity problem whose F and
// sparse Jacobian come from a function of the host.
//
//   [status, time, F, J] = mcpgate(n, nnz, z, lb, ub, fname[, startvec])
//
// status is 1 when a solution was found and 0 otherwise, time the elapsed
// seconds, F and J the function and its Jacobian at the returned point. The
// point itself is written into the caller's z array, in place: every host
// value that shares z's storage sees it, so callers pass an array of their
// own (zeros(n, 1), z0 + 0), not a literal; a z the host hands over as a
// copy (a range, a diagonal matrix) is refused. mcpgate.m beside the
// plug-in is its help text. fname is called as
// [f, J, domerr] = fname(x, flag). startvec, when given, is the start of the
// pivoting method, and switches presolve and the crash phase off unless
// "sarn.opt" switches them on again. Everything the solver prints goes to
// "logfile.tmp" in the current folder.
#include <cstdint>

#include "mex.h"

#include "gateway/common/GatewayCall.hpp"
#include "gateway/common/GatewayInput.hpp"
#include "gateway/mcp/GatewayMCP.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr int kInputs = 6;  // n, nnz, z, lb, ub, fname; startvec may follow
constexpr int kNameInput = 5;

// Copies count entries of the library's Jacobian (exchange form, indices
// from 1) into J, which has room for them, as 0-based compressed columns.
void CopyColumns(mxArray* J, std::int32_t n, int count, const int* col_start, const int* col_len,
                 const int* row, const double* value) {
  mwIndex* start = mxGetJc(J);
  mwIndex* index = mxGetIr(J);
  double* entries = mxGetPr(J);
  std::int32_t k = 0;
  for (std::int32_t j = 0; j < n; ++j) {
    start[j] = k;
    const std::int32_t first = count > 0 ? col_start[j] - 1 : 0;
    const std::int32_t length = count > 0 ? col_len[j] : 0;
    if (first < 0 || length < 0 || length > count - first || length > count - k) {
      Gateway_Fail("Jacobian at the solution is inconsistent.");
    }
    for (std::int32_t p = first; p < first + length; ++p) {
      if (row[p] < 1 || row[p] > n) Gateway_Fail("Jacobian at the solution is inconsistent.");
      index[k] = row[p] - 1;
      entries[k] = value[p];
      ++k;
    }
  }
  start[n] = k;
}

// Output 4: the library's Jacobian at the solution in the host's 0-based
// compressed columns, in an array made with room for exactly its entries
// (a bound of Inf must not make the host set aside n*n of them). An
// undefined Jacobian (no evaluation, or a domain error at the last one)
// gives an empty matrix.
void ReturnJacobian(MCP* mcp, mxArray** output, std::int32_t n, std::int32_t room) {
  int count = 0;
  int* col_start = nullptr;
  int* col_len = nullptr;
  int* row = nullptr;
  double* value = nullptr;
  if (Gateway_GetFunctionState()->jacobian_defined) {
    MCP_JacobianArrays(mcp, &count, &col_start, &col_len, &row, &value);
  }
  if (count > room) Gateway_Fail("Jacobian has too many entries.");
  mxArray* J = mxCreateSparse(n, n, count > 0 ? count : 1, mxREAL);
  mxDestroyArray(*output);
  *output = J;
  CopyColumns(J, n, count, col_start, col_len, row, value);
}

// fname, the start vector and the Jacobian room. The record gets one entry
// more than the bound; both must be 32-bit counts.
void ReadInputs(int nrhs, const mxArray* prhs[], Gateway_Problem* problem) {
  Gateway_CheckName(prhs[kNameInput], "fname");
  // A text that begins with "@" is a function's definition, not its name.
  const mxChar* text = mxGetChars(prhs[kNameInput]);
  if (text != nullptr && text[0] == '@') {
    Gateway_Fail("Input fname must be a function name (a non-empty character row vector).");
  }
  Gateway_ReadStart(nrhs, prhs, kInputs, problem);
  problem->too_large = problem->bound + 1 > 2147483647;
  const std::int64_t room = problem->bound > 0 ? problem->bound : 1;
  problem->room = problem->too_large ? 1 : static_cast<std::int32_t>(room);
  problem->entries = problem->too_large ? 0 : static_cast<std::int32_t>(problem->bound) + 1;
}

// Output 4: J, sparse n-by-n and empty until the solve gives it
// (ReturnJacobian).
void CreateOutput(int, mxArray* plhs[], const Gateway_Problem& problem) {
  plhs[3] = mxCreateSparse(problem.n, problem.n, 1, mxREAL);
}

// The user's function name (in host memory, released by Release) and the
// record whose callbacks call it.
MCP* CreateProblem(const mxArray* prhs[], const Gateway_Problem& problem) {
  const std::int32_t length = Gateway_CheckName(prhs[kNameInput], "fname");
  char* name = static_cast<char*>(mxCalloc(static_cast<std::size_t>(length) + 1, 1));
  Gateway_FunctionState* function = Gateway_GetFunctionState();
  Gateway_ForgetFunctionState();
  function->name = name;
  function->jacobian_limit = static_cast<std::int32_t>(problem.bound);
  if (mxGetString(prhs[kNameInput], name, length + 1) != 0) {
    Gateway_Fail("Input fname must be a function name (a non-empty character row vector).");
  }
  Gateway_PrepareCalls();
  MCP* mcp = MCP_Create(problem.n, problem.entries);
  Gateway_SetInterface(mcp);
  return mcp;
}

void ReturnOutput(MCP* mcp, int, mxArray* plhs[], const Gateway_Problem& problem) {
  ReturnJacobian(mcp, &plhs[3], problem.n, problem.room);
}

void Release() {
  Gateway_FunctionState* function = Gateway_GetFunctionState();
  Gateway_ReleaseCalls();
  if (function->name != nullptr) mxFree(const_cast<char*>(function->name));
  Gateway_ForgetFunctionState();
}

const Gateway_Plugin plugin = {"mcpgate",     kInputs,      ReadInputs,
                               CreateOutput,  CreateProblem, ReturnOutput,
                               Release,       Gateway_ForgetFunctionState};

Gateway_Call call = Gateway_NewCall(&plugin);

}  // namespace

extern "C" GATEWAY_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                           const mxArray* prhs[]) {
  Gateway_Main(&call, nlhs, plhs, nrhs, prhs);
}
