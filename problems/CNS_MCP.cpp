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
  if (data == nullptr) Error_Report("CNS_MCP", __LINE__, operation, "adapter missing");
  return static_cast<CNS_MCP*>(data);
}

int EvaluateFunction(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return CNS_Function(static_cast<CNS*>(problem), x, pair);
}

int EvaluateJacobian(void* problem, DenseVector* x, FunctionJacobian* pair) {
  return CNS_Jacobian(static_cast<CNS*>(problem), x, pair);
}

void FreeAdapter(CNS_MCP* a) {
  IDenseVector_Destroy(a->map);
  IDenseVector_Destroy(a->types);
  if (g_table.data == a) g_table.data = nullptr;
  if (g_presolve_table.data == a) g_presolve_table.data = nullptr;
  Memory_Free(a);
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

  std::int32_t n = CNS_Variables(cns);
  std::int32_t nnz = CNS_Nonzeros(cns);
  std::int32_t k = pc::CountBounded(CNS_Lower(cns), CNS_Upper(cns), n);
  pc::CheckPairedSize(n, nnz, k);

  CNS_MCP* a = static_cast<CNS_MCP*>(Memory_Allocate(sizeof(CNS_MCP)));
  *a = CNS_MCP{};
  a->cns = cns;
  a->n = n;
  a->nnz = nnz;
  try {
    a->map = IDenseVector_Create(n + k);
    a->k = pc::BuildPairing(a->map, CNS_Lower(cns), CNS_Upper(cns), n);
    a->mcp = MCP_Create(n + a->k, nnz + a->k);
  } catch (...) {
    FreeAdapter(a);
    throw;
  }
  MCP_SetPresolve(a->mcp, CNS_Presolve(cns));
  g_table.data = a;
  g_presolve_table.data = a;
  MCP_SetInterface(a->mcp, &g_table);
  MCP_SetPresolveInterface(a->mcp, &g_presolve_table);

  *out = a->mcp;
  if (out_n != nullptr) *out_n = n + a->k;
  if (out_nnz != nullptr) *out_nnz = nnz + a->k;
  return CNS_CONTINUE;
}

void CNS_MCP_Finish(CNS* cns, MCP** record) {
  if (record == nullptr || *record == nullptr) {
    Error_SolverError("CNS_MCP: Finish: no MCP record given.\n");
  }
  MCP* mcp = *record;
  MCP_Interface in;
  MCP_GetInterface(mcp, &in);
  CNS_MCP* a = static_cast<CNS_MCP*>(in.data);
  if (in.problem_size != &CNS_MCP_ProblemSize || a == nullptr || a->cns != cns ||
      a->mcp != mcp) {
    Error_SolverError("CNS_MCP: Finish: the MCP record was not made for this CNS.\n");
  }

  DenseVector* x = MCP_FullX(mcp);
  IDenseVector* basis = MCP_FullBasis(mcp);
  if (MCP_FullVariables(mcp) != a->n + a->k) {
    // The MCP never held the full problem (not started, or its start
    // failed): the CNS gets its own start point back.
    DenseVector_Clone(x, CNS_X(cns), nullptr);
    IDenseVector_Clone(basis, CNS_Basis(cns), nullptr);
  }
  DenseVector_SetLength(x, a->n);
  IDenseVector_SetLength(basis, a->n);

  // The MCP and the adapter go whatever the finish does.
  *record = nullptr;
  try {
    CNS_Finish(cns, CNS_CONTINUE, x, basis);
  } catch (...) {
    MCP_Destroy(mcp);
    FreeAdapter(a);
    throw;
  }
  MCP_Destroy(mcp);
  FreeAdapter(a);
}

void CNS_MCP_ProblemSize(void* data, int* n, int* nnz) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_ProblemSize");
  *n = a->n + a->k;
  *nnz = a->nnz + a->k;
}

void CNS_MCP_Bounds(void* data, int n, double* x, double* lower, double* upper) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_Bounds");
  if (n != a->n + a->k) Error_Report("CNS_MCP", __LINE__, "CNS_MCP_Bounds", "n == N");
  const double* x0 = DenseVector_Array(CNS_X(a->cns));
  const double* l0 = DenseVector_Array(CNS_Lower(a->cns));
  const double* u0 = DenseVector_Array(CNS_Upper(a->cns));
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

int CNS_MCP_Function(void* data, int n, const double* x, double* f) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_Function");
  pc::RequireMCPStorage(a->mcp, n, a->n + a->k, x, f, nullptr, nullptr, nullptr, nullptr,
                        "CNS_MCP", "CNS_MCP_Function");
  int ok = pc::AdapterFunction(a->mcp, a->cns, &EvaluateFunction, a->map, a->n, a->k, x, f);
  return ok ? 0 : 1;
}

int CNS_MCP_Jacobian(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                     int* col_start, int* col_len, int* row, double* value) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_Jacobian");
  pc::RequireMCPStorage(a->mcp, n, a->n + a->k, x, want_f ? f : nullptr, col_start, col_len, row,
                        value, "CNS_MCP", "CNS_MCP_Jacobian");
  int ok = pc::AdapterJacobian(a->mcp, a->cns, &EvaluateJacobian, a->map, a->n, a->k, x, want_f,
                               f, nnz, "CNS_MCP: Jacobian");
  return ok ? 0 : 1;
}

int CNS_MCP_VariableName(void* data, int i, char* buffer, int length) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_VariableName");
  if (i > a->n) return pc::MultiplierName(i - a->n, buffer, length);
  return CNS_VariableName(a->cns, i, buffer, length);
}

int CNS_MCP_ConstraintName(void* data, int i, char* buffer, int length) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_ConstraintName");
  int p = (i >= 1 && i <= a->n + a->k) ? IDenseVector_Value(a->map, i) : i;
  if (p > a->n) return pc::PairRowName(p - a->n, buffer, length);
  return CNS_ConstraintName(a->cns, p, buffer, length);
}

void CNS_MCP_Basis(void* data, int n, int* status) {
  CNS_MCP* a = Adapter(data, "CNS_MCP_Basis");
  if (n != a->n + a->k) Error_Report("CNS_MCP", __LINE__, "CNS_MCP_Basis", "n == N");
  const std::int32_t* codes = IDenseVector_Array(CNS_Basis(a->cns));
  for (std::int32_t i = 0; i < a->n; ++i) status[i] = codes[i];
  for (std::int32_t i = a->n; i < n; ++i) status[i] = BASIS_BASIC;
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
  IDenseVector_FillOne(a->types, m0);
  const CNS_PresolveInterface& hooks = a->cns->presolve_interface;
  if (hooks.jacobian_types != nullptr) {
    hooks.jacobian_types(hooks.data, m0, IDenseVector_Array(a->types));
  }

  const std::int32_t* own = IDenseVector_Array(a->types);
  const std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(J));
  const std::int32_t* length = IDenseVector_Array(SparseMatrix_ColLen(J));
  const std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  std::int32_t written = 0;
  for (std::int32_t j = 1; j <= a->n; ++j) {
    bool diagonal = false;
    std::int32_t first = start[j - 1] - 1;
    for (std::int32_t p = first; p < first + length[j - 1]; ++p) {
      PutType(types, nnz, written, own[p]);
      if (row[p] == j) diagonal = true;
    }
    if (!diagonal) PutType(types, nnz, written, 0);
  }
  for (std::int32_t j = 0; j < a->k; ++j) PutType(types, nnz, written, 0);
  if (written != nnz) Error_Report("CNS_MCP", __LINE__, "CNS_MCP_Jac_Typ", "sizes do not match");
}

void CNS_MCP_ForgetState() {
  g_table.data = nullptr;
  g_presolve_table.data = nullptr;
}
