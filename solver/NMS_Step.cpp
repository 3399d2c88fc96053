// The stabilised step as the major iteration calls it: the Newton point of
// the linearised problem, then the step itself.
#include "core/DenseVector.hpp"
#include "core/Workspace.hpp"
#include "problems/MCP.hpp"
#include "solver/NMS.hpp"
#include "solver/Sarn.hpp"

int NMS_Step(MCP* mcp, LCP* lcp, int lc, Information* record, DenseVector* x, DenseVector* y,
             FunctionJacobian* FJ, std::int32_t* k) {
  (void)lc;
  const std::int32_t n = MCP_Variables(mcp);
  DenseVector* z = Workspace_Vector(1);
  DenseVector* zn = Workspace_Vector(2);
  if (DenseVector_Capacity(z) < n) DenseVector_Size(z, n);
  if (DenseVector_Capacity(zn) < n) DenseVector_Size(zn, n);
  Sarn_NewtonPoint(lcp, z);
  Sarn_NewtonNormalPoint(lcp, zn);
  return NMS_StepWithNewtonPoint(mcp, record, x, y, FJ, k, z, zn);
}
