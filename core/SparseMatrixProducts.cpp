// SparseMatrix: products, per-row and per-column measures, norms, extreme
// values, statistics and printing. The kernels walk the raw arrays column by
// column with no per-element calls and no temporary storage.
#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "core/SparseMatrix_internal.hpp"

using namespace sparse_internal;

namespace {

// y := sign * z (z given) or n zeros; y's capacity is checked by the caller.
void StartResult(DenseVector* y, double sign, const DenseVector* z, std::int32_t n) {
  if (z != nullptr) {
    DenseVector_Scale(y, z, sign);
  } else {
    double* v = DenseVector_Array(y);
    for (std::int32_t i = 0; i < n; ++i) v[i] = 0.0;
    DenseVector_SetLength(y, n);
  }
}

// The checks of every public product: y must hold `out` elements and be a
// different record from x, x must hold `in` elements, and z (when given)
// must not be longer than y can hold.
void CheckProduct(const DenseVector* y, const DenseVector* x, const DenseVector* z,
                  std::int32_t out, std::int32_t in, const char* operation, int line) {
  RequireVector(y, out, operation, line);
  RequireVector(x, in, operation, line);
  if (y == x) Error_Report(kModule, line, operation, "result aliases the operand");
  if (z != nullptr && DenseVector_Length(z) > DenseVector_Capacity(y)) {
    Error_Report(kModule, line, operation, "insufficient capacity");
  }
}

// y(i) += a(i,j) * t_j with t_j = scale * x(j), skipping columns whose t_j
// is 0.0. With kScaled false, t_j = x(j).
template <bool kScaled>
void ColumnKernel(double* y, const SparseMatrix* A, const double* x, double scale) {
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* row = Rows(A);
  const double* value = Values(A);
  const std::int32_t cols = A->cols;
  for (std::int32_t j = 0; j < cols; ++j) {
    const double t = kScaled ? scale * x[j] : x[j];
    if (t == 0.0) continue;
    const std::int32_t* r = row + (start[j] - 1);
    const double* a = value + (start[j] - 1);
    const std::int32_t n = len[j];
    for (std::int32_t k = 0; k < n; ++k) y[r[k] - 1] += a[k] * t;
  }
}

// y(j) += scale * (sum over column j of a(i,j) x(i)), the sum formed from
// 0.0; with kScaled false the sum is added as it is.
template <bool kScaled>
void DotKernel(double* y, const SparseMatrix* A, const double* x, double scale) {
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* row = Rows(A);
  const double* value = Values(A);
  const std::int32_t cols = A->cols;
  for (std::int32_t j = 0; j < cols; ++j) {
    const std::int32_t* r = row + (start[j] - 1);
    const double* a = value + (start[j] - 1);
    const std::int32_t n = len[j];
    double sum = 0.0;
    for (std::int32_t k = 0; k < n; ++k) sum += a[k] * x[r[k] - 1];
    y[j] += kScaled ? scale * sum : sum;
  }
}

void MultForm(DenseVector* y, const SparseMatrix* A, const DenseVector* x, double sign,
              const DenseVector* z, const char* operation, int line) {
  CheckProduct(y, x, z, A->rows, A->cols, operation, line);
  StartResult(y, sign, z, A->rows);
  SparseMatrix_MultAccumulate(y, A, x);
}

void ScaledMultForm(DenseVector* y, double alpha, const SparseMatrix* A, const DenseVector* x,
                    double sign, const DenseVector* z, const char* operation, int line) {
  CheckProduct(y, x, z, A->rows, A->cols, operation, line);
  StartResult(y, sign, z, A->rows);
  SparseMatrix_ScaledMultAccumulate(y, alpha, A, x);
}

void TransMultForm(DenseVector* y, const SparseMatrix* A, const DenseVector* x, double sign,
                   const DenseVector* z, const char* operation, int line) {
  CheckProduct(y, x, z, A->cols, A->rows, operation, line);
  StartResult(y, sign, z, A->cols);
  SparseMatrix_TransMultAccumulate(y, A, x);
}

void ScaledTransMultForm(DenseVector* y, double alpha, const SparseMatrix* A,
                         const DenseVector* x, double sign, const DenseVector* z,
                         const char* operation, int line) {
  CheckProduct(y, x, z, A->cols, A->rows, operation, line);
  StartResult(y, sign, z, A->cols);
  SparseMatrix_ScaledTransMultAccumulate(y, alpha, A, x);
}

}  // namespace

// ---------------------------------------------------------------------------
// Products

void SparseMatrix_MultAccumulate(DenseVector* y, const SparseMatrix* A, const DenseVector* x) {
  ColumnKernel<false>(DenseVector_Array(y), A, DenseVector_Array(x), 1.0);
}

void SparseMatrix_ScaledMultAccumulate(DenseVector* y, double alpha, const SparseMatrix* A,
                                       const DenseVector* x) {
  if (alpha == 0.0) return;
  ColumnKernel<true>(DenseVector_Array(y), A, DenseVector_Array(x), alpha);
}

void SparseMatrix_TransMultAccumulate(DenseVector* y, const SparseMatrix* A,
                                      const DenseVector* x) {
  DotKernel<false>(DenseVector_Array(y), A, DenseVector_Array(x), 1.0);
}

void SparseMatrix_ScaledTransMultAccumulate(DenseVector* y, double alpha, const SparseMatrix* A,
                                            const DenseVector* x) {
  if (alpha == 0.0) return;
  DotKernel<true>(DenseVector_Array(y), A, DenseVector_Array(x), alpha);
}

void SparseMatrix_Mult(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                       const DenseVector* z) {
  MultForm(y, A, x, 1.0, z, "Mult", __LINE__);
}

void SparseMatrix_MultSub(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                          const DenseVector* z) {
  MultForm(y, A, x, -1.0, z, "MultSub", __LINE__);
}

void SparseMatrix_MultSigned(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                             double sign, const DenseVector* z) {
  MultForm(y, A, x, sign, z, "MultSigned", __LINE__);
}

void SparseMatrix_ScaledMult(DenseVector* y, double alpha, const SparseMatrix* A,
                             const DenseVector* x, const DenseVector* z) {
  ScaledMultForm(y, alpha, A, x, 1.0, z, "ScaledMult", __LINE__);
}

void SparseMatrix_ScaledMultSub(DenseVector* y, double alpha, const SparseMatrix* A,
                                const DenseVector* x, const DenseVector* z) {
  ScaledMultForm(y, alpha, A, x, -1.0, z, "ScaledMultSub", __LINE__);
}

void SparseMatrix_ScaledMultSigned(DenseVector* y, double alpha, const SparseMatrix* A,
                                   const DenseVector* x, double sign, const DenseVector* z) {
  ScaledMultForm(y, alpha, A, x, sign, z, "ScaledMultSigned", __LINE__);
}

void SparseMatrix_TransMult(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                            const DenseVector* z) {
  TransMultForm(y, A, x, 1.0, z, "TransMult", __LINE__);
}

void SparseMatrix_TransMultSub(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                               const DenseVector* z) {
  TransMultForm(y, A, x, -1.0, z, "TransMultSub", __LINE__);
}

void SparseMatrix_TransMultSigned(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                                  double sign, const DenseVector* z) {
  TransMultForm(y, A, x, sign, z, "TransMultSigned", __LINE__);
}

void SparseMatrix_ScaledTransMult(DenseVector* y, double alpha, const SparseMatrix* A,
                                  const DenseVector* x, const DenseVector* z) {
  ScaledTransMultForm(y, alpha, A, x, 1.0, z, "ScaledTransMult", __LINE__);
}

void SparseMatrix_ScaledTransMultSub(DenseVector* y, double alpha, const SparseMatrix* A,
                                     const DenseVector* x, const DenseVector* z) {
  ScaledTransMultForm(y, alpha, A, x, -1.0, z, "ScaledTransMultSub", __LINE__);
}

void SparseMatrix_ScaledTransMultSigned(DenseVector* y, double alpha, const SparseMatrix* A,
                                        const DenseVector* x, double sign, const DenseVector* z) {
  ScaledTransMultForm(y, alpha, A, x, sign, z, "ScaledTransMultSigned", __LINE__);
}

void SparseMatrix_MultColumns(DenseVector* y, const SparseMatrix* A, const IDenseVector* c,
                              const DenseVector* v, const DenseVector* z) {
  RequireVector(y, A->rows, "MultColumns", __LINE__);
  const std::int32_t count = IDenseVector_Length(c);
  RequireVector(v, count, "MultColumns", __LINE__);
  if (y == v) Error_Report(kModule, __LINE__, "MultColumns", "result aliases the operand");
  if (z != nullptr) {
    if (DenseVector_Length(z) > DenseVector_Capacity(y)) {
      Error_Report(kModule, __LINE__, "MultColumns", "insufficient capacity");
    }
    DenseVector_Clone(y, z, nullptr);
  } else {
    StartResult(y, 1.0, nullptr, A->rows);
  }
  const std::int32_t* list = IDenseVector_Array(c);
  const double* x = DenseVector_Array(v);
  double* out = DenseVector_Array(y);
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* row = Rows(A);
  const double* value = Values(A);
  for (std::int32_t k = 0; k < count; ++k) {
    const double t = x[k];
    if (t == 0.0) continue;
    const std::int32_t j = list[k];
    RequireColumn(A, j, "MultColumns", __LINE__);
    const std::int64_t first = start[j - 1] - 1;
    const std::int64_t end = first + len[j - 1];
    for (std::int64_t p = first; p < end; ++p) out[row[p] - 1] += value[p] * t;
  }
}

// ---------------------------------------------------------------------------
// Per-row and per-column measures

namespace {

// d := zeros of length n; then d(index) := combine(d(index), a(i,j), i, j)
// for every stored entry, index being the row (kByRow) or the column.
template <bool kByRow, class Combine>
void Measure(DenseVector* d, const SparseMatrix* A, Combine combine, const char* operation,
             int line) {
  const std::int32_t n = kByRow ? A->rows : A->cols;
  RequireVector(d, n < 0 ? 0 : n, operation, line);
  StartResult(d, 1.0, nullptr, n < 0 ? 0 : n);
  double* out = DenseVector_Array(d);
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* row = Rows(A);
  const double* value = Values(A);
  for (std::int32_t j = 0; j < A->cols; ++j) {
    const std::int64_t first = start[j] - 1;
    const std::int64_t end = first + len[j];
    for (std::int64_t p = first; p < end; ++p) {
      const std::int32_t i = row[p] - 1;
      double& target = out[kByRow ? i : j];
      target = combine(target, value[p], i);
    }
  }
}

double AddValue(double s, double a, std::int32_t) { return s + a; }
double AddSquare(double s, double a, std::int32_t) { return s + a * a; }
double AddAbs(double s, double a, std::int32_t) { return s + std::fabs(a); }
double MaxAbs(double m, double a, std::int32_t) { return std::fabs(a) > m ? std::fabs(a) : m; }

}  // namespace

void SparseMatrix_RowSum(DenseVector* d, const SparseMatrix* A) {
  Measure<true>(d, A, AddValue, "RowSum", __LINE__);
}
void SparseMatrix_ColSum(DenseVector* d, const SparseMatrix* A) {
  Measure<false>(d, A, AddValue, "ColSum", __LINE__);
}
void SparseMatrix_RowSumSquares(DenseVector* d, const SparseMatrix* A) {
  Measure<true>(d, A, AddSquare, "RowSumSquares", __LINE__);
}
void SparseMatrix_ColSumSquares(DenseVector* d, const SparseMatrix* A) {
  Measure<false>(d, A, AddSquare, "ColSumSquares", __LINE__);
}
void SparseMatrix_ScaledColSumSquares(DenseVector* d, const SparseMatrix* A, const DenseVector* x) {
  RequireVector(x, A->rows, "ScaledColSumSquares", __LINE__);
  const double* s = DenseVector_Array(x);
  Measure<false>(
      d, A,
      [s](double sum, double a, std::int32_t i) {
        const double t = s[i] * a;
        return sum + t * t;
      },
      "ScaledColSumSquares", __LINE__);
}
void SparseMatrix_RowSumAbs(DenseVector* d, const SparseMatrix* A) {
  Measure<true>(d, A, AddAbs, "RowSumAbs", __LINE__);
}
void SparseMatrix_ColSumAbs(DenseVector* d, const SparseMatrix* A) {
  Measure<false>(d, A, AddAbs, "ColSumAbs", __LINE__);
}
void SparseMatrix_RowMaxAbs(DenseVector* d, const SparseMatrix* A) {
  Measure<true>(d, A, MaxAbs, "RowMaxAbs", __LINE__);
}
void SparseMatrix_ColMaxAbs(DenseVector* d, const SparseMatrix* A) {
  Measure<false>(d, A, MaxAbs, "ColMaxAbs", __LINE__);
}

// ---------------------------------------------------------------------------
// Norms and extreme values

namespace {

// Largest element of work (first of equals) with its 1-based index; an empty
// work vector gives 0.0 and 0.
void LargestOf(double* value, std::int32_t* index, const DenseVector* work) {
  *value = 0.0;
  *index = 0;
  const std::int32_t n = DenseVector_Length(work);
  const double* w = DenseVector_Array(work);
  for (std::int32_t i = 0; i < n; ++i) {
    if (i == 0 || w[i] > *value) {
      *value = w[i];
      *index = i + 1;
    }
  }
}

}  // namespace

void SparseMatrix_Norm1(double* value, std::int32_t* index, DenseVector* work,
                        const SparseMatrix* A) {
  SparseMatrix_ColSumAbs(work, A);
  LargestOf(value, index, work);
}

void SparseMatrix_NormInf(double* value, std::int32_t* index, DenseVector* work,
                          const SparseMatrix* A) {
  SparseMatrix_RowSumAbs(work, A);
  LargestOf(value, index, work);
}

double SparseMatrix_Norm2Bound(const SparseMatrix* A, DenseVector* work) {
  double one = 0.0;
  double inf = 0.0;
  std::int32_t index = 0;
  SparseMatrix_Norm1(&one, &index, work, A);
  SparseMatrix_NormInf(&inf, &index, work, A);
  return std::sqrt(one * inf);
}

double SparseMatrix_NormFrobenius(const SparseMatrix* A) {
  double sum = 0.0;
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const double* value = Values(A);
  for (std::int32_t j = 0; j < A->cols; ++j) {
    const std::int64_t first = start[j] - 1;
    for (std::int64_t p = first; p < first + len[j]; ++p) sum += value[p] * value[p];
  }
  return std::sqrt(sum);
}

namespace {

// Scans the stored entries selected by (row filter, column range) that are
// not 0.0; keeps the first candidate and replaces it only by a strictly
// better one. row_filter 0 takes every row.
template <bool kAbs, bool kMin>
double Extreme(const SparseMatrix* A, std::int32_t row_filter, std::int32_t first_col,
               std::int32_t last_col) {
  bool found = false;
  double best = 0.0;
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* row = Rows(A);
  const double* value = Values(A);
  for (std::int32_t j = first_col; j <= last_col; ++j) {
    const std::int64_t first = start[j - 1] - 1;
    for (std::int64_t p = first; p < first + len[j - 1]; ++p) {
      if (row_filter != 0 && row[p] != row_filter) continue;
      const double v = kAbs ? std::fabs(value[p]) : value[p];
      if (v == 0.0) continue;
      if (!found || (kMin ? v < best : v > best)) {
        best = v;
        found = true;
      }
    }
  }
  return best;
}

template <bool kAbs, bool kMin>
double ColumnExtreme(const SparseMatrix* A, std::int32_t col, const char* operation, int line) {
  RequireColumn(A, col, operation, line);
  return Extreme<kAbs, kMin>(A, 0, col, col);
}

}  // namespace

double SparseMatrix_MinNonzero(const SparseMatrix* A) { return Extreme<false, true>(A, 0, 1, A->cols); }
double SparseMatrix_MaxNonzero(const SparseMatrix* A) { return Extreme<false, false>(A, 0, 1, A->cols); }
double SparseMatrix_RowMinNonzero(const SparseMatrix* A, std::int32_t row) {
  return Extreme<false, true>(A, row, 1, A->cols);
}
double SparseMatrix_RowMaxNonzero(const SparseMatrix* A, std::int32_t row) {
  return Extreme<false, false>(A, row, 1, A->cols);
}
double SparseMatrix_ColMinNonzero(const SparseMatrix* A, std::int32_t col) {
  return ColumnExtreme<false, true>(A, col, "ColMinNonzero", __LINE__);
}
double SparseMatrix_ColMaxNonzero(const SparseMatrix* A, std::int32_t col) {
  return ColumnExtreme<false, false>(A, col, "ColMaxNonzero", __LINE__);
}
double SparseMatrix_MinAbsNonzero(const SparseMatrix* A) { return Extreme<true, true>(A, 0, 1, A->cols); }
double SparseMatrix_MaxAbsNonzero(const SparseMatrix* A) { return Extreme<true, false>(A, 0, 1, A->cols); }
double SparseMatrix_RowMinAbsNonzero(const SparseMatrix* A, std::int32_t row) {
  return Extreme<true, true>(A, row, 1, A->cols);
}
double SparseMatrix_RowMaxAbsNonzero(const SparseMatrix* A, std::int32_t row) {
  return Extreme<true, false>(A, row, 1, A->cols);
}
double SparseMatrix_ColMinAbsNonzero(const SparseMatrix* A, std::int32_t col) {
  return ColumnExtreme<true, true>(A, col, "ColMinAbsNonzero", __LINE__);
}
double SparseMatrix_ColMaxAbsNonzero(const SparseMatrix* A, std::int32_t col) {
  return ColumnExtreme<true, false>(A, col, "ColMaxAbsNonzero", __LINE__);
}

void SparseMatrix_Statistics(const SparseMatrix* A, double* largest, std::int32_t* row,
                             std::int32_t* col, double* mean, double* deviation) {
  double big = 0.0;
  std::int32_t big_row = 1;
  std::int32_t big_col = 1;
  double sum = 0.0;
  std::int64_t count = 0;
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* rows = Rows(A);
  const double* value = Values(A);
  for (std::int32_t j = 0; j < A->cols; ++j) {
    const std::int64_t first = start[j] - 1;
    for (std::int64_t p = first; p < first + len[j]; ++p) {
      const double a = std::fabs(value[p]);
      if (a == 0.0) continue;
      if (a > big) {
        big = a;
        big_row = rows[p];
        big_col = j + 1;
      }
      sum += a;
      ++count;
    }
  }
  const double average = sum / static_cast<double>(count > 1 ? count : 1);
  double squares = 0.0;
  for (std::int32_t j = 0; j < A->cols; ++j) {
    const std::int64_t first = start[j] - 1;
    for (std::int64_t p = first; p < first + len[j]; ++p) {
      const double a = std::fabs(value[p]);
      if (a == 0.0) continue;
      squares += (a - average) * (a - average);
    }
  }
  *largest = big;
  *row = big_row;
  *col = big_col;
  *mean = average;
  *deviation = std::sqrt(squares / static_cast<double>(count - 1 > 1 ? count - 1 : 1));
}

// ---------------------------------------------------------------------------
// Printing

namespace {

std::int32_t Mapped(const IDenseVector* map, std::int32_t k) {
  return map == nullptr ? k : IDenseVector_Value(map, k);
}

void RequireMapCovers(const IDenseVector* map, std::int32_t n, const char* operation, int line) {
  if (map != nullptr && IDenseVector_Length(map) < n) {
    Error_Report(kModule, line, operation, "map shorter than the matrix");
  }
}

}  // namespace

void SparseMatrix_Display(const SparseMatrix* A, const IDenseVector* rowmap,
                          const IDenseVector* colmap, const char* format, int mode) {
  RequireMapCovers(rowmap, A->rows, "Display", __LINE__);
  RequireMapCovers(colmap, A->cols, "Display", __LINE__);
  Output_Printf(mode, "%d\n", A->cols);
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* rows = Rows(A);
  const double* value = Values(A);
  for (std::int32_t j = 1; j <= A->cols; ++j) {
    const std::int32_t c = Mapped(colmap, j);
    if (c < 1) continue;
    const std::int64_t first = start[j - 1] - 1;
    for (std::int64_t p = first; p < first + len[j - 1]; ++p) {
      const std::int32_t r = Mapped(rowmap, rows[p]);
      if (r < 1) continue;
      Output_Printf(mode, format, r, c, value[p]);
    }
  }
}

void SparseMatrix_Print(const SparseMatrix* A, int mode) {
  SparseMatrix_Display(A, nullptr, nullptr, "(%5d,%5d)   % .10e\n", mode);
}

void SparseMatrix_DisplayColumns(const SparseMatrix* A, const IDenseVector* rowmap,
                                 const IDenseVector* list, const char* format, int mode) {
  RequireMapCovers(rowmap, A->rows, "DisplayColumns", __LINE__);
  const std::int32_t count = list == nullptr ? A->cols : IDenseVector_Length(list);
  const std::int32_t* rows = Rows(A);
  const double* value = Values(A);
  for (std::int32_t k = 1; k <= count; ++k) {
    const std::int32_t j = Mapped(list, k);
    RequireColumn(A, j, "DisplayColumns", __LINE__);
    const std::int64_t first = Starts(A)[j - 1] - 1;
    for (std::int64_t p = first; p < first + Lengths(A)[j - 1]; ++p) {
      const std::int32_t r = Mapped(rowmap, rows[p]);
      if (r < 1 || value[p] == 0.0) continue;
      Output_Printf(mode, format, r, k, value[p]);
    }
  }
}
