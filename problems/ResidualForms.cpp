// The residual and merit functions on the library's records: the forms the
// solver calls. Each takes its arrays from the vectors, the constants from
// the common options and the scratch from the Workspace, and hands over to
// the array kernels of Residual.cpp and Merit.cpp.
#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "problems/Residual_internal.hpp"

namespace {

ResidualProblem ProblemOf(std::int32_t n, const DenseVector* l, const DenseVector* u,
                          const DenseVector* x, const DenseVector* f, const char* operation) {
  Residual_CheckCapacity(DenseVector_Capacity(l), n, operation);
  Residual_CheckCapacity(DenseVector_Capacity(u), n, operation);
  Residual_CheckCapacity(DenseVector_Capacity(x), n, operation);
  Residual_CheckCapacity(DenseVector_Capacity(f), n, operation);
  return {n,
          DenseVector_Array(l),
          DenseVector_Array(u),
          DenseVector_Array(x),
          DenseVector_Array(f),
          Options_CommonDouble(COMMON_INFINITY),
          Options_CommonDouble(COMMON_CHEN_LAMBDA)};
}

bool HasSecondFunction(const MCP* mcp) {
  return mcp != nullptr && MCP_HasSecondFunction(mcp) != 0;
}

// A Workspace merit vector with room for n elements and length n.
double* MeritArray(DenseVector* v, std::int32_t n) {
  if (DenseVector_Capacity(v) < n) DenseVector_Size(v, n);
  DenseVector_SetLength(v, n);
  return DenseVector_Array(v);
}

std::int32_t* MeritArray(IDenseVector* v, std::int32_t n) {
  if (IDenseVector_Capacity(v) < n) IDenseVector_Size(v, n);
  IDenseVector_SetLength(v, n);
  return IDenseVector_Array(v);
}

}  // namespace

void MCP_Residual_FFunction(MCP*, int code, int norm, const DenseVector* l, const DenseVector* u,
                            const DenseVector* x, const DenseVector* f, double* value,
                            int* index) {
  ResidualProblem p = ProblemOf(DenseVector_Length(l), l, u, x, f, "MCP_Residual_FFunction");
  Residual_Evaluate(p, code, norm, value, index);
}

void MCP_Residual(MCP* mcp, int code, int norm, const DenseVector* l, const DenseVector* u,
                  const DenseVector* x, FunctionJacobian* pair, double* value, int* index) {
  MCP_Residual_FFunction(mcp, code, norm, l, u, x, FunctionJacobian_Function(pair), value, index);
}

void Residual_Norm(MCP*, int norm, const DenseVector* x, const DenseVector*, const DenseVector*,
                   FunctionJacobian* pair, double* value, int* index) {
  const DenseVector* f = FunctionJacobian_Function(pair);
  std::int32_t n = DenseVector_Length(x);
  Residual_CheckCapacity(DenseVector_Capacity(f), n, "Residual_Norm");
  Residual_EvaluateNorm(n, DenseVector_Array(f), norm, value, index);
}

void MCP_NormalMapPoint(MCP* mcp, DenseVector* z, const DenseVector* x, FunctionJacobian* pair) {
  std::int32_t n = DenseVector_Length(x);
  ResidualProblem p = ProblemOf(n, MCP_Lower(mcp), MCP_Upper(mcp), x,
                                FunctionJacobian_Function(pair), "MCP_NormalMapPoint");
  Residual_CheckCapacity(DenseVector_Capacity(z), n, "MCP_NormalMapPoint");
  Residual_EvaluateNormalMap(n, p.lower, p.upper, p.x, p.f, DenseVector_Array(z));
  DenseVector_SetLength(z, n);
}

void MCP_Merit_Function(MCP* mcp, int code, const DenseVector* l, const DenseVector* u,
                        const DenseVector* x, FunctionJacobian* pair, double* merit) {
  double residual = 0.0;
  int index = 0;
  MCP_Residual(mcp, code, RESIDUAL_TWO_NORM, l, u, x, pair, &residual, &index);
  double value = 0.5 * residual * residual;
  if (HasSecondFunction(mcp)) {
    Residual_BlendSecondFunction(MCP_MeritWeight(mcp), MCP_SecondFunctionValue(mcp), nullptr, 0,
                                 &value, nullptr);
  }
  *merit = value;
}

void MCP_Merit_FFunction(MCP* mcp, const DenseVector* x, const DenseVector* l,
                         const DenseVector* u, FunctionJacobian* pair, double* merit) {
  double norm = 0.0;
  int index = 0;
  Residual_Norm(mcp, RESIDUAL_TWO_NORM, x, l, u, pair, &norm, &index);
  *merit = 0.5 * norm * norm;
}

void MCP_DMerit_Function(MCP* mcp, int code, const DenseVector* l, const DenseVector* u,
                         const DenseVector* x, FunctionJacobian* pair, double* merit,
                         DenseVector* gradient) {
  const char* op = "MCP_DMerit_Function";
  Residual_CheckGradientCode(code);
  std::int32_t n = DenseVector_Length(x);
  ResidualProblem p = ProblemOf(n, l, u, x, FunctionJacobian_Function(pair), op);
  Residual_CheckCapacity(DenseVector_Capacity(gradient), n, op);
  const SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  Residual_CheckCapacity(SparseMatrix_ColCapacity(J), n, op);
  const SparseMatrix_ColumnView jacobian = SparseMatrix_Columns(J);

  Workspace_BuildMeritGroup();
  ResidualScratch scratch{MeritArray(Workspace_MeritVector1(), n),
                          MeritArray(Workspace_MeritVector2(), n),
                          MeritArray(Workspace_MeritVector3(), n),
                          MeritArray(Workspace_MeritVector4(), n),
                          MeritArray(Workspace_MeritIVector1(), n),
                          MeritArray(Workspace_MeritIVector2(), n)};

  double value = Residual_EvaluateMeritGradient(p, code, jacobian, scratch,
                                                DenseVector_Array(gradient));
  DenseVector_SetLength(gradient, n);
  if (HasSecondFunction(mcp)) {
    const DenseVector* second = MCP_SecondFunctionWork(mcp);
    Residual_CheckCapacity(DenseVector_Length(second), n, op);
    Residual_BlendSecondFunction(MCP_MeritWeight(mcp), MCP_SecondFunctionValue(mcp),
                                 DenseVector_Array(second), n, &value,
                                 DenseVector_Array(gradient));
  }
  *merit = value;
}
