// The call skeleton of both plug-ins: inputs, set-up, solve, one release.
#include "gateway/common/GatewayCall.hpp"

#include <algorithm>
#include <limits>

#include "core/Options.hpp"
#include "core/Timer.hpp"
#include "gateway/common/GatewayCommon.hpp"
#include "gateway/common/GatewayInput.hpp"
#include "problems/MCP.hpp"
#include "solver/Information.hpp"

namespace {

// What a call makes and gives back on its normal way out.
struct Held {
  Options* options = nullptr;
  void* timer = nullptr;
  MCP* mcp = nullptr;
};

// Counts first, then n, nnz, z, lb, ub, then the plug-in's inputs.
Gateway_Problem ReadInputs(const Gateway_Plugin* plugin, int nlhs, int nrhs,
                           const mxArray* prhs[]) {
  Gateway_CheckCounts(nlhs, nrhs, plugin->inputs, plugin->inputs + 1);
  Gateway_Problem problem{};
  problem.n = Gateway_ReadCount(prhs[0], "n");
  const double nnz = Gateway_ReadBound(prhs[1], "nnz");
  // Before anything reads z's data: a copy made for the plug-in cannot
  // receive the solution.
  if (problem.n > 0) Gateway_CheckShared(prhs[2], "z");
  problem.z = Gateway_ReadVector(prhs[2], "z", problem.n);
  problem.lb = Gateway_ReadVector(prhs[3], "lb", problem.n);
  problem.ub = Gateway_ReadVector(prhs[4], "ub", problem.n);
  problem.bound = Gateway_NonzeroBound(problem.n, nnz);
  plugin->read_inputs(nrhs, prhs, &problem);
  return problem;
}

// The early end of a model with nothing to solve or too large to take:
// its exit line and the code the status output reports. Otherwise
// TERMINATION_OTHER with nothing printed and *early false.
int EarlyEnd(const Gateway_Problem& problem, bool* early) {
  *early = problem.n == 0 || problem.too_large;
  if (problem.n == 0) {
    Gateway_PrintDegenerateExit();
    return TERMINATION_SOLVED;
  }
  if (problem.too_large) Gateway_PrintTooLargeExit();
  return TERMINATION_OTHER;
}

// The too-large exit evaluates nothing: F, when asked for, is unknown (NaN)
// at the caller's z, as after a solve that ends without F.
void ReturnUnknownF(int nlhs, mxArray* plhs[], std::int32_t n) {
  if (nlhs <= 2) return;
  std::fill_n(mxGetPr(plhs[2]), n, std::numeric_limits<double>::quiet_NaN());
}

// The solve of a model that fits: the record, the solve, the outputs.
int Solve(Gateway_Call* call, Held* held, int nlhs, mxArray* plhs[], const mxArray* prhs[],
          const Gateway_Problem& problem) {
  const Gateway_Plugin* plugin = call->plugin;
  Gateway_PrintSize(problem.n, static_cast<std::int32_t>(problem.bound));
  *Gateway_GetState() =
      Gateway_State{problem.n, problem.entries, problem.z, problem.lb, problem.ub, 0};
  if (problem.start != nullptr) Gateway_UseStartVector(held->options, problem.start, problem.n);
  held->mcp = plugin->create_problem(prhs, problem);
  const int code = Gateway_Solve(call, held->options, held->mcp);
  Gateway_ReturnSolution(held->mcp, problem.z, nlhs, plhs);
  if (nlhs > 3) plugin->return_output(held->mcp, nlhs, plhs, problem);
  return code;
}

// The one release path of a call that ends normally.
void Release(Gateway_Call* call, Held* held) {
  Timer_Destroy(held->timer);
  MCP_Destroy(held->mcp);
  call->plugin->release();
  Options_Destroy(held->options);
  Gateway_CloseLog(call);
}

void RunSkeleton(Gateway_Call* call, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const Gateway_Plugin* plugin = call->plugin;
  const Gateway_Problem problem = ReadInputs(plugin, nlhs, nrhs, prhs);

  Gateway_SetErrorInterface();
  Gateway_SetMemoryInterface();
  Gateway_OpenLog(call);
  Held held;
  held.options = Gateway_CreateOptions();
  held.timer = Timer_Create();
  Timer_Start(held.timer);
  double* status = nullptr;
  double* time = nullptr;
  Gateway_CreateOutputs(nlhs, plhs, problem.n, &status, &time);
  if (nlhs > 3) plugin->create_output(nlhs, plhs, problem);
  Gateway_PrintLink();

  bool early = false;
  int code = EarlyEnd(problem, &early);
  if (!early) code = Solve(call, &held, nlhs, plhs, prhs, problem);
  if (problem.too_large) ReturnUnknownF(nlhs, plhs, problem.n);
  *status = code == TERMINATION_SOLVED ? 1.0 : 0.0;
  *time = Timer_Query(held.timer);
  Release(call, &held);
}

}  // namespace

void Gateway_ReadStart(int nrhs, const mxArray* prhs[], int index, Gateway_Problem* problem) {
  problem->start = nrhs > index ? Gateway_ReadVector(prhs[index], "startvec", problem->n) : nullptr;
}

void Gateway_Main(Gateway_Call* call, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  Gateway_RunCall(call, [&] { RunSkeleton(call, nlhs, plhs, nrhs, prhs); });
}
