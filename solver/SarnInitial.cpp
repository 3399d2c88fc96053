// Sarn driver: banner, run statistics, re-classification of basis codes and
// the initial point of a solve.
#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/Sarn.hpp"
#include "solver/Sarn_internal.hpp"

namespace {

FunctionJacobian* Pair() { return Workspace_FunctionJacobian(); }

// F and J at x; 1 when both are defined.
int Evaluate(MCP* mcp, DenseVector* x) { return MCP_Jacobian(mcp, x, Pair()); }

// The current triple := the start triple, with the start point's residual.
void TakeStartTriple(DriverWorkspace* ws) {
  DenseVector_CloneFull(ws->x, ws->start_x);
  DenseVector_CloneFull(ws->y, ws->start_y);
  IDenseVector_CloneFull(ws->basis, ws->start_basis);
  ws->residual = ws->start_residual;
}

// Evaluates the start point for the first time (F known defined there):
// J, the normal-map point and the residual. 0 when J is undefined.
int EvaluateStart(MCP* mcp, DriverWorkspace* ws) {
  if (!Evaluate(mcp, ws->start_x)) return 0;
  MCP_NormalMapPoint(mcp, ws->start_y, ws->start_x, Pair());
  ws->start_residual = Sarn_ResidualAt(mcp, ws->start_x);
  return 1;
}

// First choice: the given start point. Returns 1 when the current triple was set
// from it; 0 when it cannot be used (the option is switched off then).
int UseStartPoint(MCP* mcp, DriverWorkspace* ws, double inf) {
  if (ws->start_residual != inf) {
    Evaluate(mcp, ws->start_x);
    TakeStartTriple(ws);
    ws->function_evaluations += 1;
    ws->jacobian_evaluations += 1;
    return 1;
  }
  ws->function_evaluations += 1;
  if (MCP_Function(mcp, ws->start_x, Pair())) {
    ws->jacobian_evaluations += 1;
    if (EvaluateStart(mcp, ws)) {
      TakeStartTriple(ws);
      return 1;
    }
  }
  Error_Warning("Sarn: GenerateInitialPoint: cannot evaluate f at given initial point.\n");
  Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = 0;
  return 0;
}

// Second choice: a point built from the bounds (a finite lower bound, else a finite
// upper bound, else 0), falling back to the start point when F is undefined
// there.
void UseGeneratedPoint(MCP* mcp, DriverWorkspace* ws, double inf) {
  const std::int32_t n = ws->n;
  const double* l = DenseVector_Array(MCP_Lower(mcp));
  const double* u = DenseVector_Array(MCP_Upper(mcp));
  DenseVector_SetLength(ws->x, n);
  IDenseVector_Fill(ws->basis, n, BASIS_BASIC);
  double* x = DenseVector_Array(ws->x);
  std::int32_t* b = IDenseVector_Array(ws->basis);
  for (std::int32_t i = 0; i < n; ++i) {
    if (l[i] > -inf) {
      x[i] = l[i];
      b[i] = BASIS_LOWER;
    } else if (u[i] < inf) {
      x[i] = u[i];
      b[i] = BASIS_UPPER;
    } else {
      x[i] = 0.0;
    }
  }
  ws->function_evaluations += 1;
  if (MCP_Function(mcp, ws->x, Pair())) {
    ws->jacobian_evaluations += 1;
    if (Evaluate(mcp, ws->x)) {
      MCP_NormalMapPoint(mcp, ws->y, ws->x, Pair());
      ws->residual = Sarn_ResidualAt(mcp, ws->x);
      return;
    }
  }
  Error_Warning("Sarn: GenerateInitialPoint: cannot eval f at generated initial point.\n");
  if (ws->start_residual == inf) {
    const int defined = MCP_Function(mcp, ws->start_x, Pair()) && EvaluateStart(mcp, ws);
    if (!defined) Error_SolverError("Sarn: GenerateInitialPoint: cannot find initial point.\n");
  } else {
    Evaluate(mcp, ws->start_x);
  }
  TakeStartTriple(ws);
  ws->function_evaluations += 1;
  ws->jacobian_evaluations += 1;
}

}  // namespace

void Sarn_Banner() {
  Output_Printf(OUTPUT_ALL, "%s (Wed Nov 21 16:05:37 2012)\n", SARN_VERSION);
  bool first = true;
  for (std::int32_t i = 1; i <= 6; ++i) {
    char line[80] = {0};
    Basis_Banner(i, line, 80);
    line[79] = '\0';
    if (line[0] == '\0') continue;
    if (first) Output_Printf(OUTPUT_ALL, "\n");
    first = false;
    Output_Printf(OUTPUT_ALL, "%s\n", line);
  }
}

void Sarn_Statistics(int mode, const Information* info) {
  Output_Printf(mode, "\nMajor Iterations. . . . %d\n", info->major_iterations);
  Output_Printf(mode, "Minor Iterations. . . . %d\n", info->minor_iterations);
  Output_Printf(mode, "Restarts. . . . . . . . %d\n", info->restarts);
  Output_Printf(mode, "Crash Iterations. . . . %d\n", info->crash_iterations);
  Output_Printf(mode, "Gradient Steps. . . . . %d\n", info->gradient_steps);
  Output_Printf(mode, "Function Evaluations. . %d\n", info->function_evaluations);
  Output_Printf(mode, "Gradient Evaluations. . %d\n", info->jacobian_evaluations);
  Output_Printf(mode, "Basis Time. . . . . . . %f\n", info->basis_time);
  Output_Printf(mode, "Total Time. . . . . . . %f\n", info->total_time);
  Output_Printf(mode, "Residual. . . . . . . . %e\n", info->residual);
}

void Sarn_BasisModifications(MCP* mcp) {
  DriverWorkspace* ws = Sarn_GetWorkspace();
  const std::int32_t n = ws->n;
  const double* l = DenseVector_Array(MCP_Lower(mcp));
  const double* u = DenseVector_Array(MCP_Upper(mcp));
  const double* x = DenseVector_Array(ws->x);
  const double* F = DenseVector_Array(FunctionJacobian_Function(Pair()));
  std::int32_t* b = IDenseVector_Array(ws->basis);
  std::int32_t changed = 0;
  auto set = [&](std::int32_t i, std::int32_t code) {
    b[i] = code;
    changed += 1;
  };
  for (std::int32_t i = 0; i < n; ++i) {
    if (l[i] < x[i] && x[i] < u[i] && b[i] != BASIS_BASIC) set(i, BASIS_BASIC);
    if (x[i] == l[i]) {
      if (F[i] <= 0.0) {
        if (b[i] != BASIS_LOWER && b[i] != BASIS_BASIC) set(i, BASIS_BASIC);
      } else if (b[i] != BASIS_LOWER) {
        set(i, BASIS_LOWER);
      }
    }
    if (x[i] == u[i]) {
      if (F[i] >= 0.0) {
        if (b[i] != BASIS_UPPER && b[i] != BASIS_BASIC) set(i, BASIS_BASIC);
      } else if (b[i] != BASIS_UPPER) {
        set(i, BASIS_UPPER);
      }
    }
  }
  if (changed > 0) Error_Warning("Basis modifications: %d\n", changed);
}

void Sarn_GenerateInitialPoint(MCP* mcp) {
  DriverWorkspace* ws = Sarn_GetWorkspace();
  const double inf = Options_CommonDouble(COMMON_INFINITY);
  bool done = false;
  if (Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START)) done = UseStartPoint(mcp, ws, inf);
  if (!done) UseGeneratedPoint(mcp, ws, inf);
  Sarn_BasisModifications(mcp);
  Sarn_KeepBest(ws);
}
