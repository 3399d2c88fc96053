// lcpgate's callbacks over M and q.
#include "gateway/lcp/LCPGateway.hpp"

#include <cstdint>

#include "core/Error.hpp"
#include "gateway/common/GatewayCommon.hpp"
#include "problems/MCP.hpp"

namespace {

LCPGateway_State lcp_state = {0, nullptr, nullptr, nullptr, nullptr, 0, nullptr};

MCP_Interface interface_table = {nullptr,
                                 Gateway_ProblemSize,
                                 Gateway_Bounds,
                                 LCPGateway_FunctionEvaluation,
                                 LCPGateway_JacobianEvaluation,
                                 nullptr,
                                 LCPGateway_Start,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr};

MCP_PresolveInterface presolve_table = {nullptr, nullptr, nullptr, nullptr,
                                        nullptr, LCPGateway_JacobianTypes, nullptr};

void CheckSize(int n) {
  if (n != Gateway_GetState()->n) Error_Report("LCPGateway", __LINE__, "Evaluate", "size mismatch");
}

}  // namespace

LCPGateway_State* LCPGateway_GetState() { return &lcp_state; }

void LCPGateway_ForgetState() {
  lcp_state = LCPGateway_State{0, nullptr, nullptr, nullptr, nullptr, 0, nullptr};
}

void LCPGateway_Start(void*) { lcp_state.jacobian_done = 0; }

int LCPGateway_FunctionEvaluation(void*, int n, const double* x, double* f) {
  CheckSize(n);
  for (int i = 0; i < n; ++i) f[i] = lcp_state.q[i];
  for (int j = 0; j < n; ++j) {
    const double xj = x[j];
    if (xj == 0.0) continue;  // 0.0 and -0.0 add nothing; NaN is not skipped
    const std::int64_t end = static_cast<std::int64_t>(lcp_state.col_start[j + 1]);
    for (std::int64_t k = static_cast<std::int64_t>(lcp_state.col_start[j]); k < end; ++k) {
      f[static_cast<std::int64_t>(lcp_state.row[k])] += lcp_state.val[k] * xj;
    }
  }
  Gateway_GetState()->f_defined = 1;
  return 0;
}

int LCPGateway_JacobianEvaluation(void* context, int n, const double* x, int want_f, double* f,
                                  int* nnz, int* col_start, int* col_len, int* row,
                                  double* value) {
  CheckSize(n);
  if (want_f != 0) LCPGateway_FunctionEvaluation(context, n, x, f);
  if (lcp_state.jacobian_done == 0) {
    if (*nnz < lcp_state.total_nnz) {
      Error_Report("LCPGateway", __LINE__, "Jacobian", "matrix larger than the room");
    }
    for (int j = 0; j < n; ++j) {
      col_start[j] = static_cast<int>(lcp_state.col_start[j]) + 1;
      col_len[j] = lcp_state.col_len[j];
    }
    for (int k = 0; k < lcp_state.total_nnz; ++k) {
      row[k] = static_cast<int>(lcp_state.row[k]) + 1;
      value[k] = lcp_state.val[k];
    }
    lcp_state.jacobian_done = 1;
  }
  *nnz = lcp_state.total_nnz;
  return 0;
}

void LCPGateway_JacobianTypes(void*, int count, int* type) {
  for (int k = 0; k < count; ++k) type[k] = ENTRY_CONSTANT;
}

void LCPGateway_SetInterfaces(MCP* mcp) {
  MCP_SetInterface(mcp, &interface_table);
  MCP_SetPresolveInterface(mcp, &presolve_table);
}
