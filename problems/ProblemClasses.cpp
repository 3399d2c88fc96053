// Helpers shared by the problem classes: sizes, blocks, bound checks and
// codes, what callers and callbacks hand in, and the start and evaluations
// of a bounded nonlinear system.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Error.hpp"
#include "core/Options.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace problem_classes {

namespace {

constexpr double kLargestCount = 2147483647.0;
constexpr int kNameLength = 256;

// min(sum, side * side) in double precision, or the overflow error of
// GrowSizes.
std::int32_t CheckedBound(double sum, double side, const char* module, const char* operation) {
  double square = side * side;
  double bound = sum < square ? sum : square;
  if (bound > kLargestCount) {
    if (module == nullptr) Error_SolverError("Problem size too large.\n");
    Error_Report(module, __LINE__, operation, "problem size too large");
  }
  return static_cast<std::int32_t>(bound);
}

// Clamps lower below -inf to -inf and upper above +inf to +inf, in place.
// Returns false when the pair is unusable: upper < lower, or a NaN bound.
bool ClampBounds(double& lower, double& upper, double inf) {
  if (lower < -inf) lower = -inf;
  if (upper > inf) upper = inf;
  if (std::isnan(lower) || std::isnan(upper)) return false;
  return !(upper < lower);
}

// x_i := lower_i when finite, else upper_i when finite, else 0.0.
void CalculatedStart(ClassBlock& b, std::int32_t n) {
  double inf = Infinity();
  const double* lower = DenseVector_Array(b.lower);
  const double* upper = DenseVector_Array(b.upper);
  double* x = DenseVector_Array(b.x);
  for (std::int32_t i = 0; i < n; ++i) {
    if (lower[i] > -inf) {
      x[i] = lower[i];
    } else if (upper[i] < inf) {
      x[i] = upper[i];
    } else {
      x[i] = 0.0;
    }
  }
}

// The code of one variable by the rules of ClassifyBasis; fixed_rule
// switches the first one on.
std::int32_t ClassifyCode(double l, double u, double x, std::int32_t s, bool fixed_rule) {
  if (fixed_rule && l == u) return BASIS_FIXED;
  if (x < l || x > u || (l < x && x < u)) {
    const bool bound_code = s == BASIS_LOWER || s == BASIS_UPPER || s == BASIS_FIXED;
    return (s == BASIS_NONE || bound_code) ? BASIS_BASIC : s;
  }
  if (x == l) return (s == BASIS_NONE || s == BASIS_UPPER) ? BASIS_LOWER : s;
  if (x == u) return (s == BASIS_NONE || s == BASIS_LOWER) ? BASIS_UPPER : s;
  return s;  // a NaN value or bound: no rule applies
}

// A pair that receives an evaluation must hold n variables.
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

}  // namespace

double Infinity() { return Options_CommonDouble(COMMON_INFINITY); }

std::int32_t EntryBound(double sum, double side) {
  return CheckedBound(sum, side, nullptr, nullptr);
}

void CheckProblemSize(const char* module, const char* operation, int n, int nnz) {
  if (n < 0 || nnz < 0) {
    Error_SolverError("%s: %s: invalid problem size (n = %d, nnz = %d).\n", module, operation, n,
                      nnz);
  }
}

// ---------------------------------------------------------------------------
// Sizes, blocks, bounds and codes

void GrowSizes(ClassSizes& s, std::int32_t n, std::int32_t nnz, const char* module,
               const char* operation) {
  std::int32_t max_full_n = std::max(s.max_full_n, n);
  std::int32_t max_full_nnz = std::max(s.max_full_nnz, nnz);
  std::int32_t max_n = std::max(s.max_n, max_full_n);
  std::int32_t candidate =
      CheckedBound(static_cast<double>(max_full_nnz) + static_cast<double>(max_full_n), max_n,
                   module, operation);
  s.max_full_n = max_full_n;
  s.max_full_nnz = max_full_nnz;
  s.max_n = max_n;
  s.max_nnz = std::max(s.max_nnz, candidate);
}

void CopyCounts(ClassSizes& dst, const ClassSizes& src) {
  dst.n = src.n;
  dst.nnz = src.nnz;
  dst.full_n = src.full_n;
  dst.full_nnz = src.full_nnz;
}

void CreateBlock(ClassBlock& b, std::int32_t n, bool with_basis) {
  b.lower = DenseVector_Create(n);
  b.upper = DenseVector_Create(n);
  b.x = DenseVector_Create(n);
  if (with_basis) b.basis = IDenseVector_Create(n);
}

void SizeBlock(ClassBlock& b, std::int32_t n) {
  DenseVector_Size(b.lower, n);
  DenseVector_Size(b.upper, n);
  DenseVector_Size(b.x, n);
  if (b.basis != nullptr) IDenseVector_Size(b.basis, n);
}

void FreeBlock(ClassBlock& b) {
  DenseVector_Destroy(b.lower);
  DenseVector_Destroy(b.upper);
  DenseVector_Destroy(b.x);
  IDenseVector_Destroy(b.basis);
}

void CopyBlock(ClassBlock& dst, const ClassBlock& src, const IDenseVector* map) {
  DenseVector_Clone(dst.lower, src.lower, map);
  DenseVector_Clone(dst.upper, src.upper, map);
  DenseVector_Clone(dst.x, src.x, map);
  if (dst.basis != nullptr && src.basis != nullptr) IDenseVector_Clone(dst.basis, src.basis, map);
}

void PresetBlock(ClassBlock& b, std::int32_t n) {
  double inf = Infinity();
  DenseVector_Fill(b.lower, n, -inf);
  DenseVector_Fill(b.upper, n, inf);
  DenseVector_FillZero(b.x, n);
  if (b.basis != nullptr) IDenseVector_FillZero(b.basis, n);
}

void ClassifyBasis(ClassBlock& b, ClassParameter& t, std::int32_t n) {
  const double* lower = DenseVector_Array(b.lower);
  const double* upper = DenseVector_Array(b.upper);
  const double* x = DenseVector_Array(b.x);
  std::int32_t* basis = IDenseVector_Array(b.basis);
  for (std::int32_t i = 0; i < n; ++i) {
    basis[i] = ClassifyCode(lower[i], upper[i], x[i], basis[i], true);
  }
  t.basis = ClassifyCode(t.lower, t.upper, t.value, t.basis, false);
}

void RequireOrderedBounds(ClassBlock& b, ClassParameter& t, std::int32_t n, const char* module) {
  double inf = Infinity();
  double* lower = DenseVector_Array(b.lower);
  double* upper = DenseVector_Array(b.upper);
  bool ordered = true;
  for (std::int32_t i = 0; i < n && ordered; ++i) ordered = ClampBounds(lower[i], upper[i], inf);
  if (!ordered || !ClampBounds(t.lower, t.upper, inf)) {
    Error_SolverError("%s: Initialize: L > U.\n", module);
  }
}

std::int32_t WarnCrossedBounds(const SystemCallbacks& in, ClassBlock& b, std::int32_t n,
                               double tolerance) {
  double inf = Infinity();
  double* lower = DenseVector_Array(b.lower);
  double* upper = DenseVector_Array(b.upper);
  std::int32_t errors = 0;
  char name[kNameLength];
  for (std::int32_t i = 0; i < n; ++i) {
    if (lower[i] < -inf) lower[i] = -inf;
    if (upper[i] > inf) upper[i] = inf;
    double l = lower[i];
    double u = upper[i];
    if (l > u + tolerance || std::isnan(l) || std::isnan(u)) {
      CallerName(in.variable_name, in.data, "x[%5d]", i + 1, name, kNameLength);
      Error_Warning("%s: lb = %5.4e > %5.4e = ub\n", name, l, u);
      errors += 1;
    } else if (tolerance > 0.0 && l >= u - tolerance) {
      upper[i] = l;
    }
  }
  return errors;
}

// ---------------------------------------------------------------------------
// What callers and callbacks hand in

ReportedSize ReadProblemSize(ClassSizes& s, void (*start)(void*),
                             void (*problem_size)(void*, int*, int*), void* data,
                             const char* module) {
  s.n = 0;
  s.nnz = 0;
  if (start != nullptr) start(data);
  ReportedSize reported{0, 0};
  problem_size(data, &reported.n, &reported.nnz);
  CheckProblemSize(module, "Start", reported.n, reported.nnz);
  return reported;
}

void ReadParametricBlock(ParametricBounds bounds, ParametricBasis basis, void* data,
                         ClassBlock& b, ClassParameter& t, std::int32_t n) {
  PresetBlock(b, n);
  double inf = Infinity();
  t = ClassParameter{0.0, -inf, inf, 0};
  if (bounds != nullptr) {
    bounds(data, n, DenseVector_Array(b.x), DenseVector_Array(b.lower), DenseVector_Array(b.upper),
           &t.value, &t.lower, &t.upper);
  }
  if (basis != nullptr) basis(data, n, IDenseVector_Array(b.basis), &t.basis);
}

int CallerName(int (*slot)(void*, int, char*, int), void* data, const char* format, int i,
               char* buffer, int length) {
  if (slot != nullptr) return slot(data, i, buffer, length);
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

void RequireStarted(bool started, const char* operation) {
  if (!started) Error_SolverError("%s: the problem has not been started.\n", operation);
}

void RequireEvaluation(bool started, const DenseVector* x, std::int32_t n,
                       const FunctionJacobian* pair, const char* operation) {
  RequireStarted(started, operation);
  RequireLength(x, n, operation);
  RequirePairRoom(pair, n, operation);
}

void StoreSolution(ClassBlock& full, ClassParameter& t, std::int32_t full_n, const DenseVector* x,
                   double value, const IDenseVector* basis, std::int32_t t_basis,
                   const IDenseVector* to_full, const char* operation) {
  std::int32_t n = to_full != nullptr ? IDenseVector_Length(to_full) : full_n;
  RequireLength(x, n, operation);
  if (basis != nullptr) RequireLength(basis, n, operation);
  if (to_full == nullptr) {
    DenseVector_Clone(full.x, x, nullptr);
    if (basis != nullptr) IDenseVector_Clone(full.basis, basis, nullptr);
  } else {
    const std::int32_t* position = IDenseVector_Array(to_full);
    const double* values = DenseVector_Array(x);
    double* full_x = DenseVector_Array(full.x);
    for (std::int32_t i = 0; i < n; ++i) full_x[position[i] - 1] = values[i];
    if (basis != nullptr) {
      const std::int32_t* codes = IDenseVector_Array(basis);
      std::int32_t* full_codes = IDenseVector_Array(full.basis);
      for (std::int32_t i = 0; i < n; ++i) full_codes[position[i] - 1] = codes[i];
    }
  }
  t.value = value;
  t.basis = t_basis;
  ClassifyBasis(full, t, full_n);
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

// ---------------------------------------------------------------------------
// Start and evaluations of a bounded nonlinear system

int EvaluateSystem(const SystemCallbacks& in, std::int32_t n, const DenseVector* x, DenseVector* F,
                   SparseMatrix* J, std::int32_t room, std::int32_t bound, const char* source) {
  std::int32_t count = SparseMatrix_PrepareExchange(J, n, room);
  DenseVector_SetLength(F, n);
  int errors = in.jacobian_evaluation(
      in.data, n, DenseVector_Array(x), 1, DenseVector_Array(F), &count,
      IDenseVector_Array(SparseMatrix_ColStart(J)), IDenseVector_Array(SparseMatrix_ColLen(J)),
      IDenseVector_Array(SparseMatrix_RowIndex(J)), DenseVector_Array(SparseMatrix_Values(J)));
  FinishExchange(J, count, bound, source);
  return errors;
}

bool EvaluateStartPoint(ClassBlock& b, std::int32_t n, int (*evaluate)(void* record),
                        void* record) {
  if (Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START)) {
    if (evaluate(record) != 0) {
      Error_Warning("F or dF/dx undefined at model start.\n");
      // Stays off until the options are next reset to their defaults.
      Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = 0;
    }
  }
  if (!Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START)) {
    CalculatedStart(b, n);
    if (evaluate(record) != 0) {
      Error_Warning("F or dF/dx undefined at calculated start.\n");
      return false;
    }
  }
  return true;
}

int SystemFunction(const SystemCallbacks& in, std::int32_t n, const DenseVector* x,
                   DenseVector* point, DenseVector* F, FunctionJacobian* pair,
                   const char* operation) {
  if (in.function_evaluation == nullptr) {
    Error_SolverError("%s: function_evaluation not installed.\n", operation);
  }
  DenseVector_Clone(point, x, nullptr);
  DenseVector_SetLength(F, n);
  int errors = in.function_evaluation(in.data, n, DenseVector_Array(point), DenseVector_Array(F));
  DenseVector_Clone(FunctionJacobian_Function(pair), F, nullptr);
  FunctionJacobian_SetN(pair, n);
  return errors == 0 ? 1 : 0;
}

int HandOver(FunctionJacobian* pair, const DenseVector* F, const SparseMatrix* J,
             const IDenseVector* map, std::int32_t n, int errors) {
  DenseVector_Clone(FunctionJacobian_Function(pair), F, map);
  SparseMatrix* out = FunctionJacobian_Jacobian(pair);
  SparseMatrix_Clone(out, J, map, map, 1);
  FunctionJacobian_SetN(pair, n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(out));
  return errors == 0 ? 1 : 0;
}

}  // namespace problem_classes
