// CNS_MCP adapter: a CNS record presented as an MCP record, with one free
// multiplier per bounded variable.
#include "problems/CNS_MCP.hpp"

#include <cstdint>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

// The callback tables installed into every MCP this module makes; the data
// word names the adapter made last (MCP_SetInterface copies the slots, so
// every MCP keeps its own adapter).
MCP_Interface g_table = {nullptr,
                         &CNS_MCP_ProblemSize,
                         &CNS_MCP_Bounds,
                         &CNS_MCP_Function,
                         &CNS_MCP_Jacobian,
                         nullptr,
                         nullptr,
                         nullptr,
                         &CNS_MCP_VariableName,
                         &CNS_MCP_ConstraintName,
                         &CNS_MCP_Basis};
MCP_PresolveInterface g_presolve_table = {nullptr, nullptr, nullptr, nullptr,
                                          nullptr, &CNS_MCP_Jac_Typ, nullptr};

CNS_MCP* Adapter(void* data, const char* operation) {
  return static_cast<CNS_MCP*>(pc::RequireAdapter(data, "CNS_MCP", operation));
}

int EvaluateFunction(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return CNS_Function(static_cast<CNS*>(problem), x, pair);
}

int EvaluateJacobian(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return CNS_Jacobian(static_cast<CNS*>(problem), x, pair);
}

void FreeAdapter(CNS_MCP* a) {
  pc::FreePairing(a->pairing);
  IDenseVector_Destroy(a->types);
  if (g_table.data == a) g_table.data = nullptr;
  if (g_presolve_table.data == a) g_presolve_table.data = nullptr;
  Memory_Free(a);
}

// The MCP and then the adapter.
void Release(CNS_MCP* a) {
  MCP_Destroy(a->pairing.mcp);
  FreeAdapter(a);
}

// Writes the type of one MCP Jacobian entry, never past the count the
// caller has room for.
void PutType(int* types, int nnz, std::int32_t& written, int type) {
  if (written >= nnz) Error_Report("CNS_MCP", __LINE__, "CNS_MCP_Jac_Typ", "sizes do not match");
  types[written] = type;
  written += 1;
}

}  // namespace

int CNS_MCP_Create(CNS* cns, MCP** out, int* out_n, int* out_nnz) {
  *out = nullptr;
  int status = CNS_Start(cns);
  if (status != CNS_CONTINUE) {
    CNS_Finish(cns, status, CNS_UserX(cns), nullptr);
    return status;
  }
  auto build = [&](CNS_MCP* a) {
    a->cns = cns;
    pc::BuildPairing(a->pairing, cns->start, CNS_Variables(cns), CNS_Nonzeros(cns));
  };
  CNS_MCP* a = pc::NewRecord<CNS_MCP>(build, &FreeAdapter);
  MCP* mcp = a->pairing.mcp;
  MCP_SetPresolve(mcp, CNS_Presolve(cns));
  g_table.data = a;
  g_presolve_table.data = a;
  MCP_SetInterface(mcp, &g_table);
  MCP_SetPresolveInterface(mcp, &g_presolve_table);
  *out = mcp;
  if (out_n != nullptr) *out_n = a->pairing.n + a->pairing.k;
  if (out_nnz != nullptr) *out_nnz = a->pairing.nnz + a->pairing.k;
  return CNS_CONTINUE;
}

void CNS_MCP_Finish(CNS* cns, MCP** record) {
  const char* op = "CNS_MCP: Finish";
  auto* a = static_cast<CNS_MCP*>(pc::AdapterOfRecord(record, &CNS_MCP_ProblemSize, op));
  if (a == nullptr || a->cns != cns || a->pairing.mcp != *record) {
    Error_SolverError("%s: the MCP record was not made for this CNS.\n", op);
  }
  MCP* mcp = *record;
  pc::CutSolution(a->pairing, cns->start);
  // The MCP and the adapter go whatever the finish does.
  *record = nullptr;
  try {
    CNS_Finish(cns, CNS_CONTINUE, MCP_FullX(mcp), MCP_FullBasis(mcp));
  } catch (...) {
    Release(a);
    throw;
  }
  Release(a);
}

void CNS_MCP_ProblemSize(void* data, int* n, int* nnz) {
  pc::PairedSize(Adapter(data, "CNS_MCP_ProblemSize")->pairing, n, nnz);
}

void CNS_MCP_Bounds(void* data, int n, double* x, double* lower, double* upper) {
  const char* op = "CNS_MCP_Bounds";
  CNS_MCP* a = Adapter(data, op);
  pc::PairedBounds(a->pairing, a->cns->start, n, x, lower, upper, "CNS_MCP", op);
}

int CNS_MCP_Function(void* data, int n, const double* x, double* f) {
  const char* op = "CNS_MCP_Function";
  CNS_MCP* a = Adapter(data, op);
  return pc::PairedFunction(a->pairing, a->cns, &EvaluateFunction, n, x, f, "CNS_MCP", op);
}

int CNS_MCP_Jacobian(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                     int* col_start, int* col_len, int* row, double* value) {
  const char* op = "CNS_MCP_Jacobian";
  CNS_MCP* a = Adapter(data, op);
  return pc::PairedJacobian(a->pairing, a->cns, &EvaluateJacobian, n, x, want_f, f, nnz,
                            col_start, col_len, row, value, "CNS_MCP", op);
}

int CNS_MCP_VariableName(void* data, int i, char* buffer, int length) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_VariableName");
  return pc::PairedVariableName(a->pairing, a->cns->interface, i, buffer, length);
}

int CNS_MCP_ConstraintName(void* data, int i, char* buffer, int length) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_ConstraintName");
  return pc::PairedConstraintName(a->pairing, a->cns->interface, i, buffer, length);
}

void CNS_MCP_Basis(void* data, int n, int* status) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_Basis");
  std::int32_t cns_n = a->pairing.n;
  if (n != cns_n + a->pairing.k) Error_Report("CNS_MCP", __LINE__, "CNS_MCP_Basis", "n == N");
  const std::int32_t* codes = IDenseVector_Array(CNS_Basis(a->cns));
  for (std::int32_t i = 0; i < cns_n; ++i) status[i] = codes[i];
  for (std::int32_t i = cns_n; i < n; ++i) status[i] = BASIS_BASIC;
}

void CNS_MCP_Jac_Typ(void* data, int nnz, int* types) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_Jac_Typ");
  const SparseMatrix* J = CNS_EvaluationJ(a->cns);
  std::int32_t m0 = SparseMatrix_NNZ(J);
  if (a->types == nullptr) {
    a->types = IDenseVector_Create(m0);
  } else {
    IDenseVector_Size(a->types, m0);
  }
  IDenseVector_Fill(a->types, m0, ENTRY_NONLINEAR);
  const CNS_PresolveInterface& hooks = a->cns->presolve_interface;
  if (hooks.jacobian_types != nullptr) {
    hooks.jacobian_types(hooks.data, m0, IDenseVector_Array(a->types));
  }

  const std::int32_t* own = IDenseVector_Array(a->types);
  const SparseMatrix_ColumnView jac = SparseMatrix_Columns(J);
  std::int32_t written = 0;
  for (std::int32_t j = 1; j <= a->pairing.n; ++j) {
    bool diagonal = false;
    std::int32_t first = jac.start[j - 1] - 1;
    for (std::int32_t p = first; p < first + jac.length[j - 1]; ++p) {
      PutType(types, nnz, written, own[p]);
      if (jac.row[p] == j) diagonal = true;
    }
    if (!diagonal) PutType(types, nnz, written, ENTRY_CONSTANT);
  }
  for (std::int32_t j = 0; j < a->pairing.k; ++j) PutType(types, nnz, written, ENTRY_CONSTANT);
  if (written != nnz) Error_Report("CNS_MCP", __LINE__, "CNS_MCP_Jac_Typ", "sizes do not match");
}

void CNS_MCP_ForgetState() {
  g_table.data = nullptr;
  g_presolve_table.data = nullptr;
}

bool CNS_MCP_StateAtRest() { return g_table.data == nullptr && g_presolve_table.data == nullptr; }
