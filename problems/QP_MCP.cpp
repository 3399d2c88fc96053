// QP_MCP adapter: a QP record presented as an MCP record, with one free
// multiplier per bounded variable.
#include "problems/QP_MCP.hpp"

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
  return static_cast<QP_MCP*>(pc::RequireAdapter(data, "QP_MCP", operation));
}

int EvaluateFunction(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return QP_Function(static_cast<QP*>(problem), x, pair);
}

int EvaluateJacobian(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return QP_Jacobian(static_cast<QP*>(problem), x, pair);
}

void FreeAdapter(QP_MCP* a) {
  pc::FreePairing(a->pairing);
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
  auto build = [&](QP_MCP* a) {
    a->qp = qp;
    pc::BuildPairing(a->pairing, qp->working, QP_Variables(qp), QP_Nonzeros(qp));
  };
  QP_MCP* a = pc::NewRecord<QP_MCP>(build, &FreeAdapter);
  g_table.data = a;
  MCP_SetInterface(a->pairing.mcp, &g_table);
  *out = a->pairing.mcp;
  return QP_READY;
}

void QP_MCP_Destroy(QP* qp, MCP** record) {
  const char* op = "QP_MCP: Destroy";
  auto* a = static_cast<QP_MCP*>(pc::AdapterOfRecord(record, &QP_MCP_ProblemSize, op));
  if (a == nullptr || a->qp != qp || a->pairing.mcp != *record) {
    Error_SolverError("%s: the MCP record was not made for this QP.\n", op);
  }
  MCP* mcp = *record;
  pc::CutSolution(a->pairing, qp->working);
  // The MCP and the adapter go whatever the finish does.
  *record = nullptr;
  try {
    QP_Finish(qp, QP_READY, MCP_FullX(mcp));
  } catch (...) {
    MCP_Destroy(mcp);
    FreeAdapter(a);
    throw;
  }
  MCP_Destroy(mcp);
  FreeAdapter(a);
}

void QP_MCP_ProblemSize(void* data, int* n, int* nnz) {
  pc::PairedSize(Adapter(data, "QP_MCP_ProblemSize")->pairing, n, nnz);
}

void QP_MCP_Bounds(void* data, int n, double* x, double* lower, double* upper) {
  const char* op = "QP_MCP_Bounds";
  QP_MCP* a = Adapter(data, op);
  pc::PairedBounds(a->pairing, a->qp->working, n, x, lower, upper, "QP_MCP", op);
}

int QP_MCP_Function(void* data, int n, const double* x, double* f) {
  const char* op = "QP_MCP_Function";
  QP_MCP* a = Adapter(data, op);
  return pc::PairedFunction(a->pairing, a->qp, &EvaluateFunction, n, x, f, "QP_MCP", op);
}

int QP_MCP_Jacobian(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                    int* col_start, int* col_len, int* row, double* value) {
  const char* op = "QP_MCP_Jacobian";
  QP_MCP* a = Adapter(data, op);
  return pc::PairedJacobian(a->pairing, a->qp, &EvaluateJacobian, n, x, want_f, f, nnz, col_start,
                            col_len, row, value, "QP_MCP", op);
}

int QP_MCP_VariableName(void* data, int i, char* buffer, int length) {
  QP_MCP* a = Adapter(data, "QP_MCP_VariableName");
  return pc::PairedVariableName(a->pairing, *QP_GetInterface(), i, buffer, length);
}

int QP_MCP_ConstraintName(void* data, int i, char* buffer, int length) {
  QP_MCP* a = Adapter(data, "QP_MCP_ConstraintName");
  return pc::PairedConstraintName(a->pairing, *QP_GetInterface(), i, buffer, length);
}

void QP_MCP_ForgetState() { g_table.data = nullptr; }

bool QP_MCP_StateAtRest() { return g_table.data == nullptr; }
