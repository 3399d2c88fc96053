// MCP finish: the solver's reduced solution back into the caller's
// numbering, postsolve, the evaluation at the full point, the postsolved
// residual, the basis repair and the finish callbacks.
#include "presolve/MCP_Finish.hpp"

#include "core/Error.hpp"
#include "core/Output.hpp"
#include "presolve/Presolve.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"

namespace {

constexpr double kLargeResidual = 0.001;

void MapBack(MCP* mcp, const DenseVector* x_r, const IDenseVector* basis_r) {
  std::int32_t n_r = mcp->n_r;
  if (x_r == nullptr || DenseVector_Capacity(x_r) < n_r || IDenseVector_Capacity(basis_r) < n_r) {
    Error_SolverError("MCP: Finish: room for %d variables needed.\n", n_r);
  }
  const double* xr = DenseVector_Array(x_r);
  const std::int32_t* br = IDenseVector_Array(basis_r);
  double* x = DenseVector_Array(mcp->x);
  std::int32_t* basis = IDenseVector_Array(mcp->basis);
  const std::int32_t* r2f = IDenseVector_Array(mcp->reduced_to_full);

  if (mcp->free_count > 0) {
    const std::int32_t* free_flag = IDenseVector_Array(mcp->free_flag);
    double eta = xr[n_r - 1];
    for (std::int32_t i = 0; i < n_r - 1; ++i) {
      std::int32_t j = r2f[i] - 1;
      x[j] = free_flag[i] ? xr[i] - eta : xr[i];
      basis[j] = br[i];
    }
  } else if (mcp->fixed_count > 0) {
    for (std::int32_t i = 0; i < n_r; ++i) {
      std::int32_t j = r2f[i] - 1;
      x[j] = xr[i];
      basis[j] = br[i];
    }
  } else {
    for (std::int32_t i = 0; i < n_r; ++i) {
      x[i] = xr[i];
      basis[i] = br[i];
    }
  }
}

// Undoes the presolve of this start. Returns true when it had removed
// something (records above the bottom one).
bool RunPostsolve(MCP* mcp) {
  if (!mcp->presolve_ran || !mcp->presolve_allocated) return false;
  bool reduced = RecordStack_Count(mcp->stack) > 1;
  MCP_Postsolve(mcp);
  mcp->presolve_ran = 0;
  return reduced;
}

void EvaluateAtSolution(MCP* mcp) {
  // Domain errors at the final point are not reported; the values the
  // callbacks left are delivered.
  (void)MCP_EvaluateFullJacobian(mcp);
  const MCP_SecondFunctionInterface& second = mcp->second_interface;
  if (second.function_evaluation != nullptr) {
    DenseVector_SetLength(mcp->second_gradient, mcp->n);
    (void)second.function_evaluation(second.data, mcp->n, DenseVector_Array(mcp->x), 1,
                                     &mcp->second_value,
                                     DenseVector_Array(mcp->second_gradient));
  }
}

void ReportPostsolvedResidual(MCP* mcp) {
  const double residual = MCP_FinishedResidual(mcp, RESIDUAL_FISCHER_BURMEISTER);
  Output_Printf(OUTPUT_LOG, "Postsolved residual: %5.4e\n", residual);
  if (residual > kLargeResidual) Error_Warning("Postsolved residual large.\n");
}

}  // namespace

void MCP_Finish(MCP* mcp, int code, DenseVector* x_r, IDenseVector* basis_r) {
  (void)code;
  if (basis_r == nullptr) {
    basis_r = mcp->basis_r;
    if (mcp->n_r != 0) IDenseVector_FillZero(basis_r, mcp->n_r);
  }
  if (mcp->n_r != 0) MapBack(mcp, x_r, basis_r);

  if (mcp->n != 0) {
    const MCP_PresolveInterface& hooks = mcp->presolve_interface;
    if (hooks.before_postsolve != nullptr) hooks.before_postsolve(hooks.data);
    bool reduced = RunPostsolve(mcp);
    if (hooks.after_postsolve != nullptr) hooks.after_postsolve(hooks.data);
    EvaluateAtSolution(mcp);
    if (mcp->fixed_count != 0 || reduced) ReportPostsolvedResidual(mcp);
    MCP_RepairBasis(mcp);
  }

  const MCP_SecondFunctionInterface& second = mcp->second_interface;
  if (second.finish != nullptr) second.finish(second.data, DenseVector_Array(mcp->x));
  if (mcp->interface.finish != nullptr) {
    mcp->interface.finish(mcp->interface.data, DenseVector_Array(mcp->x));
  }
}

double MCP_FinishedResidual(MCP* mcp, int residual_code) {
  if (mcp->n == 0) return 0.0;
  double residual = 0.0;
  int index = 0;
  MCP_Residual(mcp, residual_code, RESIDUAL_TWO_NORM, mcp->lower, mcp->upper, mcp->x,
               mcp->evaluation, &residual, &index);
  return residual;
}
