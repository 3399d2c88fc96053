// Helpers shared by the problem classes and their MCP adapters.
#include <cmath>
#include <cstdio>

#include "core/Error.hpp"
#include "core/Options.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace problem_classes {

namespace {

constexpr double kLargestCount = 2147483647.0;

}  // namespace

double Infinity() { return Options_CommonDouble(COMMON_INFINITY); }

std::int32_t EntryBound(double sum, double side) {
  double square = side * side;
  double bound = sum < square ? sum : square;
  if (bound > kLargestCount) Error_SolverError("Problem size too large.\n");
  return static_cast<std::int32_t>(bound);
}

void CheckProblemSize(const char* owner, int n, int nnz) {
  if (n < 0 || nnz < 0) {
    Error_SolverError("%s: invalid problem size (n = %d, nnz = %d).\n", owner, n, nnz);
  }
}

bool ClampBounds(double& lower, double& upper, double inf) {
  if (lower < -inf) lower = -inf;
  if (upper > inf) upper = inf;
  if (std::isnan(lower) || std::isnan(upper)) return false;
  return !(upper < lower);
}

std::int32_t ClassifyCode(double l, double u, double x, std::int32_t s, bool fixed_rule) {
  if (fixed_rule && l == u) return 5;
  if (x < l || x > u || (l < x && x < u)) {
    return (s == 0 || s == 3 || s == 4 || s == 5) ? 1 : s;
  }
  if (x == l) return (s == 0 || s == 4) ? 3 : s;
  if (x == u) return (s == 0 || s == 3) ? 4 : s;
  return s;  // a NaN value or bound: no rule applies
}

int DefaultName(const char* format, int i, char* buffer, int length) {
  if (buffer == nullptr || length <= 0) return 0;
  return std::snprintf(buffer, static_cast<std::size_t>(length), format, i);
}

void RequireLength(const DenseVector* x, std::int32_t n, const char* operation) {
  if (x == nullptr || DenseVector_Length(x) != n) {
    Error_SolverError("%s: point has %d entries, %d expected.\n", operation,
                      x == nullptr ? 0 : DenseVector_Length(x), n);
  }
}

void RequireLength(const IDenseVector* x, std::int32_t n, const char* operation) {
  if (x == nullptr || IDenseVector_Length(x) != n) {
    Error_SolverError("%s: basis has %d entries, %d expected.\n", operation,
                      x == nullptr ? 0 : IDenseVector_Length(x), n);
  }
}

void RequireCapacity(const DenseVector* v, std::int32_t n, const char* operation) {
  if (v == nullptr || DenseVector_Capacity(v) < n) {
    Error_SolverError("%s: room for %d entries needed, %d available.\n", operation, n,
                      v == nullptr ? 0 : DenseVector_Capacity(v));
  }
}

void RequireCapacity(const IDenseVector* v, std::int32_t n, const char* operation) {
  if (v == nullptr || IDenseVector_Capacity(v) < n) {
    Error_SolverError("%s: room for %d entries needed, %d available.\n", operation, n,
                      v == nullptr ? 0 : IDenseVector_Capacity(v));
  }
}

void RequirePairRoom(const FunctionJacobian* pair, std::int32_t n, const char* operation) {
  if (pair == nullptr) {
    Error_SolverError("%s: no function-Jacobian pair given.\n", operation);
  }
  RequireCapacity(FunctionJacobian_Function(pair), n, operation);
  if (FunctionJacobian_MaxN(pair) < n ||
      SparseMatrix_ColCapacity(FunctionJacobian_Jacobian(pair)) < n) {
    Error_SolverError("%s: room for %d variables needed, %d available.\n", operation, n,
                      FunctionJacobian_MaxN(pair));
  }
}

void FinishExchange(SparseMatrix* J, std::int32_t count, std::int32_t bound, const char* source) {
  SparseMatrix_FinishExchange(J, count, source);
  std::int64_t stored = SparseMatrix_StoredEntries(J);
  if (stored > bound) {
    SparseMatrix_SetNNZ(J, 0);
    Error_SolverError("%s: %lld entries stored, at most %d announced.\n", source,
                      static_cast<long long>(stored), bound);
  }
}

void GrowForClone(SparseMatrix* dst, const SparseMatrix* src, int add_diagonal) {
  std::int64_t needed = SparseMatrix_CloneEntryCount(src, nullptr, nullptr, add_diagonal);
  if (static_cast<double>(needed) > kLargestCount) Error_SolverError("Problem size too large.\n");
  std::int32_t cols = SparseMatrix_Cols(src);
  if (needed > SparseMatrix_NNZCapacity(dst) || cols > SparseMatrix_ColCapacity(dst)) {
    SparseMatrix_Resize(dst, SparseMatrix_Rows(src), cols, static_cast<std::int32_t>(needed));
  }
}

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

void CheckPairedSize(std::int32_t n, std::int32_t nnz, std::int32_t k) {
  if (static_cast<double>(n) + k > kLargestCount || static_cast<double>(nnz) + k > kLargestCount) {
    Error_SolverError("Problem size too large.\n");
  }
}

std::int32_t BuildPairing(IDenseVector* map, const DenseVector* lower, const DenseVector* upper,
                          std::int32_t n) {
  double inf = Infinity();
  const double* l = DenseVector_Array(lower);
  const double* u = DenseVector_Array(upper);
  std::int32_t k = CountBounded(lower, upper, n);
  RequireCapacity(map, n + k, "Pairing");
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
  return k;
}

void PairFunction(double* f, const double* x, const IDenseVector* map, std::int32_t n,
                  std::int32_t k) {
  const std::int32_t* m = IDenseVector_Array(map);
  for (std::int32_t i = 1; i <= n; ++i) f[m[i - 1] - 1] = f[i - 1];
  for (std::int32_t p = n + 1; p <= n + k; ++p) f[m[p - 1] - 1] = 0.0 - x[p - 1];
}

std::int32_t PairJacobian(SparseMatrix* J, const IDenseVector* map, std::int32_t n,
                          std::int32_t k, std::int32_t room, const char* source) {
  std::int32_t m = SparseMatrix_NNZ(J);
  std::int64_t needed = static_cast<std::int64_t>(m) + k;
  if (needed > room || needed > SparseMatrix_NNZCapacity(J) ||
      n + k > SparseMatrix_ColCapacity(J)) {
    Error_SolverError("%s: Jacobian needs %lld entries, room for %d.\n", source,
                      static_cast<long long>(needed), room);
  }
  const std::int32_t* pairing = IDenseVector_Array(map);
  std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(J));
  std::int32_t* length = IDenseVector_Array(SparseMatrix_ColLen(J));
  std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  double* value = DenseVector_Array(SparseMatrix_Values(J));
  for (std::int32_t c = 0; c < n; ++c) {
    std::int32_t first = start[c] - 1;
    for (std::int32_t p = first; p < first + length[c]; ++p) row[p] = pairing[row[p] - 1];
  }
  std::int32_t count = m;
  for (std::int32_t c = n; c < n + k; ++c) {
    row[count] = pairing[c];
    value[count] = -1.0;
    count += 1;
    start[c] = count;
    length[c] = 1;
  }
  return count;
}

int MultiplierName(int j, char* buffer, int length) {
  return DefaultName("y(%d)", j, buffer, length);
}

int PairRowName(int j, char* buffer, int length) {
  return DefaultName("s(%d)", j, buffer, length);
}

void RequireMCPStorage(MCP* mcp, int N, std::int32_t expected, const double* x, const double* f,
                       const int* col_start, const int* col_len, const int* row,
                       const double* value, const char* module, const char* operation) {
  if (N != expected) Error_Report(module, __LINE__, operation, "n == N");
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

namespace {

// The class's evaluation at the MCP's full point cut to n values.
int EvaluateOnMCP(MCP* mcp, void* problem, ClassEvaluation evaluate, std::int32_t n) {
  DenseVector* X = MCP_FullX(mcp);
  std::int32_t x_length = DenseVector_Length(X);
  DenseVector_SetLength(X, n);
  int ok = evaluate(problem, X, MCP_Evaluation(mcp));
  DenseVector_SetLength(X, x_length);
  return ok;
}

}  // namespace

int AdapterFunction(MCP* mcp, void* problem, ClassEvaluation evaluate, const IDenseVector* map,
                    std::int32_t n, std::int32_t k, const double* x, double* f) {
  FunctionJacobian* pair = MCP_Evaluation(mcp);
  SavedPair saved = SavePair(pair);
  int ok = EvaluateOnMCP(mcp, problem, evaluate, n);
  PairFunction(f, x, map, n, k);
  RestorePair(pair, saved);
  return ok;
}

int AdapterJacobian(MCP* mcp, void* problem, ClassEvaluation evaluate, const IDenseVector* map,
                    std::int32_t n, std::int32_t k, const double* x, int want_f, double* f,
                    int* nnz, const char* source) {
  FunctionJacobian* pair = MCP_Evaluation(mcp);
  SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  SavedPair saved = SavePair(pair);
  std::int32_t room = *nnz;
  int ok = EvaluateOnMCP(mcp, problem, evaluate, n);
  if (want_f) PairFunction(f, x, map, n, k);
  std::int32_t count = PairJacobian(J, map, n, k, room, source);
  if (k > 0) SparseMatrix_SetFlags(J, 0);
  // The record reads the room it handed over back from the matrix and then
  // takes the count from *nnz.
  RestorePair(pair, saved);
  *nnz = count;
  return ok;
}

SavedPair SavePair(const FunctionJacobian* pair) {
  const SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  return SavedPair{DenseVector_Length(FunctionJacobian_Function(pair)),
                   SparseMatrix_Rows(J),
                   SparseMatrix_Cols(J),
                   SparseMatrix_NNZ(J),
                   FunctionJacobian_N(pair),
                   FunctionJacobian_Nnz(pair)};
}

void RestorePair(FunctionJacobian* pair, const SavedPair& saved) {
  SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  DenseVector_SetLength(FunctionJacobian_Function(pair), saved.f_length);
  SparseMatrix_SetRows(J, saved.rows);
  SparseMatrix_SetCols(J, saved.cols);
  SparseMatrix_SetNNZ(J, saved.nnz);
  pair->n = saved.pair_n;
  pair->nnz = saved.pair_nnz;
}

}  // namespace problem_classes
