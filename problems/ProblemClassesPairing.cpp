// The MCP adapters' side of the problem classes: the pairing of bounded
// variables with free multipliers, the MCP built on it, and the callbacks
// that evaluate a class through the MCP record's own storage.
#include <cstdio>

#include "core/Error.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace problem_classes {

namespace {

constexpr double kLargestCount = 2147483647.0;

// Number of variables with lower_i > -inf or upper_i < +inf (first n).
std::int32_t CountBounded(const DenseVector* lower, const DenseVector* upper, std::int32_t n) {
  double inf = Infinity();
  const double* l = DenseVector_Array(lower);
  const double* u = DenseVector_Array(upper);
  std::int32_t k = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (l[i] > -inf || u[i] < inf) k += 1;
  }
  return k;
}

// map_i := n + j and map_(n+j) := i for the j-th bounded variable i, map_i
// := i for the others, in increasing i (map has room for n + k).
void FillMap(IDenseVector* map, const DenseVector* lower, const DenseVector* upper,
             std::int32_t n, std::int32_t k) {
  double inf = Infinity();
  const double* l = DenseVector_Array(lower);
  const double* u = DenseVector_Array(upper);
  std::int32_t* m = IDenseVector_Array(map);
  std::int32_t j = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    if (l[i - 1] > -inf || u[i - 1] < inf) {
      j += 1;
      m[n + j - 1] = i;
      m[i - 1] = n + j;
    } else {
      m[i - 1] = i;
    }
  }
  IDenseVector_SetLength(map, n + k);
}

// In place on f (n + k values, F_1..F_n of the class in its first n):
// f[map_i] := F_i for i = 1..n, then f[map_p] := -x_p for p = n+1..n+k.
// Safe in place because map_i is either i or above n.
void PairFunction(double* f, const double* x, const MultiplierPairing& p) {
  const std::int32_t* m = IDenseVector_Array(p.map);
  for (std::int32_t i = 1; i <= p.n; ++i) f[m[i - 1] - 1] = f[i - 1];
  for (std::int32_t q = p.n + 1; q <= p.n + p.k; ++q) f[m[q - 1] - 1] = 0.0 - x[q - 1];
}

// In place on J (n by n with its entries packed in positions 1..m): every
// row index r of columns 1..n becomes map_r, and columns n+1..n+k get the
// one entry -1.0 in row map_p at positions m+1..m+k. room is the number of
// positions the receiver allows; m + k beyond it or beyond J's capacity is
// a solver error. Returns m + k; J's sizes and flags are the caller's.
std::int32_t PairJacobian(SparseMatrix* J, const MultiplierPairing& p, std::int32_t room,
                          const char* module) {
  std::int32_t m = SparseMatrix_NNZ(J);
  std::int64_t needed = static_cast<std::int64_t>(m) + p.k;
  if (needed > room || needed > SparseMatrix_NNZCapacity(J) ||
      p.n + p.k > SparseMatrix_ColCapacity(J)) {
    Error_SolverError("%s: Jacobian: Jacobian needs %lld entries, room for %d.\n", module,
                      static_cast<long long>(needed), room);
  }
  const std::int32_t* pairing = IDenseVector_Array(p.map);
  std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(J));
  std::int32_t* length = IDenseVector_Array(SparseMatrix_ColLen(J));
  std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  double* value = DenseVector_Array(SparseMatrix_Values(J));
  for (std::int32_t c = 0; c < p.n; ++c) {
    std::int32_t first = start[c] - 1;
    for (std::int32_t q = first; q < first + length[c]; ++q) row[q] = pairing[row[q] - 1];
  }
  std::int32_t count = m;
  for (std::int32_t c = p.n; c < p.n + p.k; ++c) {
    row[count] = pairing[c];
    value[count] = -1.0;
    count += 1;
    start[c] = count;
    length[c] = 1;
  }
  return count;
}

// A callback works on the MCP record's own storage: N must be the MCP's
// variable count, x its full point, f (when not null) its evaluation F and
// the four arrays (when col_start is not null) its evaluation J.
void RequireMCPStorage(const MultiplierPairing& p, int N, const double* x, const double* f,
                       const int* col_start, const int* col_len, const int* row,
                       const double* value, const char* module, const char* operation) {
  MCP* mcp = p.mcp;
  if (N != p.n + p.k) Error_Report(module, __LINE__, operation, "n == N");
  if (DenseVector_Array(MCP_FullX(mcp)) != x) {
    Error_Report(module, __LINE__, operation, "DenseVector_Array(xval) == x");
  }
  if (f != nullptr && DenseVector_Array(MCP_EvaluationF(mcp)) != f) {
    Error_Report(module, __LINE__, operation, "DenseVector_Array(fval) == f");
  }
  if (col_start == nullptr) return;
  const SparseMatrix* J = MCP_EvaluationJ(mcp);
  if (IDenseVector_Array(SparseMatrix_ColStart(J)) != col_start) {
    Error_Report(module, __LINE__, operation, "IDenseVector_Array(colArray) == c");
  }
  if (IDenseVector_Array(SparseMatrix_ColLen(J)) != col_len) {
    Error_Report(module, __LINE__, operation, "IDenseVector_Array(lenArray) == l");
  }
  if (IDenseVector_Array(SparseMatrix_RowIndex(J)) != row) {
    Error_Report(module, __LINE__, operation, "IDenseVector_Array(rowArray) == r");
  }
  if (DenseVector_Array(SparseMatrix_Values(J)) != value) {
    Error_Report(module, __LINE__, operation, "DenseVector_Array(dataArray) == d");
  }
}

// The sizes of the MCP's evaluation pair and full point that a callback
// borrows: saved on entry and put back before it returns, so that the MCP
// record finds the room it handed over.
struct SavedSizes {
  std::int32_t x_length;
  std::int32_t f_length;
  std::int32_t rows;
  std::int32_t cols;
  std::int32_t nnz;
  std::int32_t pair_n;
  std::int32_t pair_nnz;
};

SavedSizes SaveSizes(MCP* mcp) {
  const FunctionJacobian* pair = MCP_Evaluation(mcp);
  const SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  return SavedSizes{DenseVector_Length(MCP_FullX(mcp)),
                    DenseVector_Length(FunctionJacobian_Function(pair)),
                    SparseMatrix_Rows(J),
                    SparseMatrix_Cols(J),
                    SparseMatrix_NNZ(J),
                    FunctionJacobian_N(pair),
                    FunctionJacobian_Nnz(pair)};
}

void RestoreSizes(MCP* mcp, const SavedSizes& saved) {
  FunctionJacobian* pair = MCP_Evaluation(mcp);
  SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  DenseVector_SetLength(MCP_FullX(mcp), saved.x_length);
  DenseVector_SetLength(FunctionJacobian_Function(pair), saved.f_length);
  SparseMatrix_SetRows(J, saved.rows);
  SparseMatrix_SetCols(J, saved.cols);
  SparseMatrix_SetNNZ(J, saved.nnz);
  pair->n = saved.pair_n;
  pair->nnz = saved.pair_nnz;
}

// The class's evaluation at the MCP's full point cut to n values, into the
// MCP's evaluation pair; F is then paired in place when wanted.
int EvaluateClass(MultiplierPairing& p, void* problem, ClassEvaluation evaluate, const double* x,
                  double* f) {
  DenseVector* X = MCP_FullX(p.mcp);
  DenseVector_SetLength(X, p.n);
  int ok = evaluate(problem, X, MCP_Evaluation(p.mcp));
  if (f != nullptr) PairFunction(f, x, p);
  return ok;
}

}  // namespace

void* RequireAdapter(void* data, const char* module, const char* operation) {
  if (data == nullptr) Error_Report(module, __LINE__, operation, "adapter missing");
  return data;
}

void BuildPairing(MultiplierPairing& p, const ClassBlock& start, std::int32_t n, std::int32_t nnz) {
  std::int32_t k = CountBounded(start.lower, start.upper, n);
  if (static_cast<double>(n) + k > kLargestCount || static_cast<double>(nnz) + k > kLargestCount) {
    Error_SolverError("Problem size too large.\n");
  }
  p.n = n;
  p.nnz = nnz;
  p.map = IDenseVector_Create(n + k);
  FillMap(p.map, start.lower, start.upper, n, k);
  p.k = k;
  p.mcp = MCP_Create(n + k, nnz + k);
}

void FreePairing(MultiplierPairing& p) { IDenseVector_Destroy(p.map); }

void* AdapterOfRecord(MCP** record, void (*problem_size)(void*, int*, int*),
                      const char* operation) {
  if (record == nullptr || *record == nullptr) {
    Error_SolverError("%s: no MCP record given.\n", operation);
  }
  MCP_Interface in;
  MCP_GetInterface(*record, &in);
  return in.problem_size == problem_size ? in.data : nullptr;
}

void CutSolution(const MultiplierPairing& p, const ClassBlock& start) {
  DenseVector* x = MCP_FullX(p.mcp);
  IDenseVector* basis = MCP_FullBasis(p.mcp);
  if (MCP_FullVariables(p.mcp) != p.n + p.k) {
    DenseVector_Clone(x, start.x, nullptr);
    if (start.basis != nullptr) IDenseVector_Clone(basis, start.basis, nullptr);
  }
  DenseVector_SetLength(x, p.n);
  if (start.basis != nullptr) IDenseVector_SetLength(basis, p.n);
}

void PairedSize(const MultiplierPairing& p, int* n, int* nnz) {
  *n = p.n + p.k;
  *nnz = p.nnz + p.k;
}

void PairedBounds(const MultiplierPairing& p, const ClassBlock& start, int N, double* x,
                  double* lower, double* upper, const char* module, const char* operation) {
  if (N != p.n + p.k) Error_Report(module, __LINE__, operation, "n == N");
  const double* x0 = DenseVector_Array(start.x);
  const double* l0 = DenseVector_Array(start.lower);
  const double* u0 = DenseVector_Array(start.upper);
  double inf = Infinity();
  for (std::int32_t i = 0; i < p.n; ++i) {
    x[i] = x0[i];
    lower[i] = l0[i];
    upper[i] = u0[i];
  }
  for (std::int32_t i = p.n; i < N; ++i) {
    x[i] = 0.0;
    lower[i] = -inf;
    upper[i] = inf;
  }
}

int PairedFunction(MultiplierPairing& p, void* problem, ClassEvaluation evaluate, int N,
                   const double* x, double* f, const char* module, const char* operation) {
  RequireMCPStorage(p, N, x, f, nullptr, nullptr, nullptr, nullptr, module, operation);
  SavedSizes saved = SaveSizes(p.mcp);
  int ok = EvaluateClass(p, problem, evaluate, x, f);
  RestoreSizes(p.mcp, saved);
  return ok ? 0 : 1;
}

int PairedJacobian(MultiplierPairing& p, void* problem, ClassEvaluation evaluate, int N,
                   const double* x, int want_f, double* f, int* nnz, int* col_start,
                   int* col_len, int* row, double* value, const char* module,
                   const char* operation) {
  RequireMCPStorage(p, N, x, want_f ? f : nullptr, col_start, col_len, row, value, module,
                    operation);
  SparseMatrix* J = MCP_EvaluationJ(p.mcp);
  SavedSizes saved = SaveSizes(p.mcp);
  std::int32_t room = *nnz;
  int ok = EvaluateClass(p, problem, evaluate, x, want_f ? f : nullptr);
  std::int32_t count = PairJacobian(J, p, room, module);
  // Rows moved and columns appended: the diagonal is no longer known to be
  // stored.
  if (p.k > 0) SparseMatrix_SetFlags(J, 0);
  // The record reads the room it handed over back from the matrix and then
  // takes the count from *nnz.
  RestoreSizes(p.mcp, saved);
  *nnz = count;
  return ok ? 0 : 1;
}

int PairedVariableName(const MultiplierPairing& p, const SystemCallbacks& in, int i,
                       char* buffer, int length) {
  if (i > p.n) return CallerName(nullptr, nullptr, "y(%d)", i - p.n, buffer, length);
  return CallerName(in.variable_name, in.data, "x[%5d]", i, buffer, length);
}

int PairedConstraintName(const MultiplierPairing& p, const SystemCallbacks& in, int i,
                         char* buffer, int length) {
  int m = (i >= 1 && i <= p.n + p.k) ? IDenseVector_Value(p.map, i) : i;
  if (m > p.n) return CallerName(nullptr, nullptr, "s(%d)", m - p.n, buffer, length);
  return CallerName(in.constraint_name, in.data, "f[%5d]", m, buffer, length);
}

}  // namespace problem_classes
