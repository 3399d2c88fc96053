// QP_MCP adapter: a QP record presented as an MCP record, with one free
// multiplier per bounded variable.
#include "problems/QP_MCP.hpp"

#include <cstdint>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

// The callback table installed into every MCP this module makes; the data
// word names the adapter made last (MCP_SetInterface copies the slots, so
// every MCP keeps its own adapter).
MCP_Interface g_table = {nullptr,
                         &QP_MCP_ProblemSize,
                         &QP_MCP_Bounds,
                         &QP_MCP_Function,
                         &QP_MCP_Jacobian,
                         nullptr,
                         nullptr,
                         nullptr,
                         &QP_MCP_VariableName,
                         &QP_MCP_ConstraintName,
                         nullptr};

QP_MCP* Adapter(void* data, const char* operation) {
  if (data == nullptr) Error_Report("QP_MCP", __LINE__, operation, "adapter missing");
  return static_cast<QP_MCP*>(data);
}

int EvaluateFunction(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return QP_Function(static_cast<QP*>(problem), x, pair);
}

int EvaluateJacobian(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return QP_Jacobian(static_cast<QP*>(problem), x, pair);
}

void FreeAdapter(QP_MCP* a) {
  IDenseVector_Destroy(a->map);
  if (g_table.data == a) g_table.data = nullptr;
  Memory_Free(a);
}

}  // namespace

int QP_MCP_Create(QP* qp, MCP** out) {
  *out = nullptr;
  int status = QP_Start(qp);
  // A failed start leaves no problem to present: an MCP built on it would
  // be empty and end as solved.
  if (status != QP_READY) return status;

  std::int32_t n = QP_Variables(qp);
  std::int32_t nnz = QP_Nonzeros(qp);
  std::int32_t k = pc::CountBounded(QP_Lower(qp), QP_Upper(qp), n);
  pc::CheckPairedSize(n, nnz, k);

  QP_MCP* a = static_cast<QP_MCP*>(Memory_Allocate(sizeof(QP_MCP)));
  *a = QP_MCP{};
  a->qp = qp;
  a->n = n;
  a->nnz = nnz;
  try {
    a->map = IDenseVector_Create(n + k);
    a->k = pc::BuildPairing(a->map, QP_Lower(qp), QP_Upper(qp), n);
    a->mcp = MCP_Create(n + a->k, nnz + a->k);
  } catch (...) {
    FreeAdapter(a);
    throw;
  }
  g_table.data = a;
  MCP_SetInterface(a->mcp, &g_table);
  *out = a->mcp;
  return QP_READY;
}

void QP_MCP_Destroy(QP* qp, MCP** record) {
  if (record == nullptr || *record == nullptr) {
    Error_SolverError("QP_MCP: Destroy: no MCP record given.\n");
  }
  MCP* mcp = *record;
  MCP_Interface in;
  MCP_GetInterface(mcp, &in);
  QP_MCP* a = static_cast<QP_MCP*>(in.data);
  if (in.problem_size != &QP_MCP_ProblemSize || a == nullptr || a->qp != qp || a->mcp != mcp) {
    Error_SolverError("QP_MCP: Destroy: the MCP record was not made for this QP.\n");
  }

  DenseVector* x = MCP_FullX(mcp);
  if (MCP_FullVariables(mcp) != a->n + a->k) {
    // The MCP never held the full problem (not started, or its start
    // failed): the QP gets its own start point back.
    DenseVector_Clone(x, QP_X(qp), nullptr);
  }
  DenseVector_SetLength(x, a->n);

  // The MCP and the adapter go whatever the finish does.
  *record = nullptr;
  try {
    QP_Finish(qp, QP_READY, x);
  } catch (...) {
    MCP_Destroy(mcp);
    FreeAdapter(a);
    throw;
  }
  MCP_Destroy(mcp);
  FreeAdapter(a);
}

void QP_MCP_ProblemSize(void* data, int* n, int* nnz) {
  QP_MCP* a = Adapter(data, "QP_MCP_ProblemSize");
  *n = a->n + a->k;
  *nnz = a->nnz + a->k;
}

void QP_MCP_Bounds(void* data, int n, double* x, double* lower, double* upper) {
  QP_MCP* a = Adapter(data, "QP_MCP_Bounds");
  if (n != a->n + a->k) Error_Report("QP_MCP", __LINE__, "QP_MCP_Bounds", "n == N");
  const double* x0 = DenseVector_Array(QP_X(a->qp));
  const double* l0 = DenseVector_Array(QP_Lower(a->qp));
  const double* u0 = DenseVector_Array(QP_Upper(a->qp));
  double inf = pc::Infinity();
  for (std::int32_t i = 0; i < a->n; ++i) {
    x[i] = x0[i];
    lower[i] = l0[i];
    upper[i] = u0[i];
  }
  for (std::int32_t i = a->n; i < n; ++i) {
    x[i] = 0.0;
    lower[i] = -inf;
    upper[i] = inf;
  }
}

int QP_MCP_Function(void* data, int n, const double* x, double* f) {
  QP_MCP* a = Adapter(data, "QP_MCP_Function");
  pc::RequireMCPStorage(a->mcp, n, a->n + a->k, x, f, nullptr, nullptr, nullptr, nullptr,
                        "QP_MCP", "QP_MCP_Function");
  int ok = pc::AdapterFunction(a->mcp, a->qp, &EvaluateFunction, a->map, a->n, a->k, x, f);
  return ok ? 0 : 1;
}

int QP_MCP_Jacobian(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                    int* col_start, int* col_len, int* row, double* value) {
  QP_MCP* a = Adapter(data, "QP_MCP_Jacobian");
  pc::RequireMCPStorage(a->mcp, n, a->n + a->k, x, want_f ? f : nullptr, col_start, col_len, row,
                        value, "QP_MCP", "QP_MCP_Jacobian");
  int ok = pc::AdapterJacobian(a->mcp, a->qp, &EvaluateJacobian, a->map, a->n, a->k, x, want_f,
                               f, nnz, "QP_MCP: Jacobian");
  return ok ? 0 : 1;
}

int QP_MCP_VariableName(void* data, int i, char* buffer, int length) {
  QP_MCP* a = Adapter(data, "QP_MCP_VariableName");
  if (i > a->n) return pc::MultiplierName(i - a->n, buffer, length);
  return QP_VariableName(a->qp, i, buffer, length);
}

int QP_MCP_ConstraintName(void* data, int i, char* buffer, int length) {
  QP_MCP* a = Adapter(data, "QP_MCP_ConstraintName");
  int m = (i >= 1 && i <= a->n + a->k) ? IDenseVector_Value(a->map, i) : i;
  if (m > a->n) return pc::PairRowName(m - a->n, buffer, length);
  return QP_ConstraintName(a->qp, m, buffer, length);
}

void QP_MCP_ForgetState() { g_table.data = nullptr; }
