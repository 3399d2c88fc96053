// SparseMatrix: element access, extraction, builders and structural edits.
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "core/SparseMatrix_internal.hpp"

using namespace sparse_internal;

namespace {

// v := n zeros (length n); capacity checked by the caller.
void ZeroVector(DenseVector* v, std::int32_t n) {
  double* x = DenseVector_Array(v);
  for (std::int32_t i = 0; i < n; ++i) x[i] = 0.0;
  DenseVector_SetLength(v, n);
}

// Number of positive values of a map that covers `source_count` rows or
// columns; a shorter map is a solver error.
std::int32_t MapCount(const IDenseVector* map, std::int32_t source_count, const char* operation,
                      int line) {
  if (IDenseVector_Length(map) < source_count) {
    Error_Report(kModule, line, operation, "map shorter than the matrix");
  }
  return IDenseVector_CountGT(map, 0);
}

// A map value v >= 1 must lie within the result's count.
inline void RequireMapped(std::int32_t v, std::int32_t count, const char* operation, int line) {
  if (v > count) Error_Report(kModule, line, operation, "map value out of range");
}

// Position of (row, col) or the solver error "<operation>: <message>".
std::int64_t RequireEntry(const SparseMatrix* A, std::int32_t row, std::int32_t col,
                          const char* operation, const char* message, int line) {
  const std::int64_t p = FindEntry(A, row, col);
  if (p < 0) Error_Report(kModule, line, operation, message);
  return p;
}

// After an edit that may widen the diagonal range min(rows, cols), keeps the
// every-diagonal flag only when the newly covered columns hold their
// diagonal entries.
void KeepDiagonalFlag(SparseMatrix* A, std::int32_t old_rows, std::int32_t old_cols) {
  if ((A->flags & SPARSE_DIAGONAL) == 0) return;
  const std::int32_t old_m = MinInt(old_rows, old_cols);
  const std::int32_t new_m = MinInt(A->rows, A->cols);
  for (std::int32_t j = (old_m < 0 ? 0 : old_m) + 1; j <= new_m; ++j) {
    if (FindEntry(A, j, j) < 0) {
      A->flags &= ~SPARSE_DIAGONAL;
      return;
    }
  }
}

// Appends one column holding the given entries at positions nnz + 1 onward
// (room checked by the caller).
struct ColumnWriter {
  SparseMatrix* A;
  std::int64_t begin;
  void Start() { begin = A->nnz; }
  void Add(std::int32_t row, double value) {
    Rows(A)[A->nnz] = row;
    Values(A)[A->nnz] = value;
    A->nnz += 1;
  }
  void Finish() {
    Starts(A)[A->cols] = static_cast<std::int32_t>(begin + 1);
    Lengths(A)[A->cols] = static_cast<std::int32_t>(A->nnz - begin);
    A->cols += 1;
  }
};

// Appends k columns whose i-th (i = 1..k) holds `value` in row row_of(i) when
// has_entry(i); rows is raised by `add_rows` first.
template <class HasEntry, class RowOf>
void AppendPatternColumns(SparseMatrix* A, std::int32_t add_rows, std::int32_t k, double value,
                          HasEntry has_entry, RowOf row_of, const char* operation, int line) {
  if (k < 0 || add_rows < 0) Error_Report(kModule, line, operation, "negative count");
  const std::int32_t old_rows = A->rows;
  const std::int32_t old_cols = A->cols;
  const std::int64_t new_rows = static_cast<std::int64_t>(A->rows) + add_rows;
  if (new_rows > INT32_MAX) Error_Report(kModule, line, operation, "insufficient capacity");
  std::int64_t entries = 0;
  for (std::int32_t i = 1; i <= k; ++i) {
    if (!has_entry(i)) continue;
    const std::int64_t r = row_of(i);
    if (r < 1 || r > new_rows) Error_Report(kModule, line, operation, "row out of range");
    ++entries;
  }
  RequireRoom(A, static_cast<std::int64_t>(A->cols) + k, A->nnz + entries, operation, line);
  A->rows = static_cast<std::int32_t>(new_rows);
  ColumnWriter writer{A, 0};
  for (std::int32_t i = 1; i <= k; ++i) {
    writer.Start();
    if (has_entry(i)) writer.Add(row_of(i), value);
    writer.Finish();
  }
  SyncLengths(A);
  KeepDiagonalFlag(A, old_rows, old_cols);
}

}  // namespace

// ---------------------------------------------------------------------------
// Element access and extraction

double SparseMatrix_GetElement(const SparseMatrix* A, std::int32_t row, std::int32_t col) {
  RequireColumn(A, col, "GetElement", __LINE__);
  const std::int64_t p = FindEntry(A, row, col);
  return p < 0 ? 0.0 : Values(A)[p];
}

void SparseMatrix_GetRow(DenseVector* dst, const SparseMatrix* A, std::int32_t row,
                         const IDenseVector* colmap) {
  if (colmap == nullptr) {
    SparseMatrix_GetRowFull(dst, A, row);
  } else {
    SparseMatrix_GetRowPartial(dst, A, row, colmap);
  }
}

void SparseMatrix_GetRowFull(DenseVector* dst, const SparseMatrix* A, std::int32_t row) {
  RequireVector(dst, A->cols, "GetRowFull", __LINE__);
  double* d = DenseVector_Array(dst);
  const double* value = Values(A);
  for (std::int32_t j = 1; j <= A->cols; ++j) {
    const std::int64_t p = FindEntry(A, row, j);
    d[j - 1] = p < 0 ? 0.0 : value[p];
  }
  DenseVector_SetLength(dst, A->cols);
}

void SparseMatrix_GetRowPartial(DenseVector* dst, const SparseMatrix* A, std::int32_t row,
                                const IDenseVector* colmap) {
  const std::int32_t count = MapCount(colmap, A->cols, "GetRowPartial", __LINE__);
  RequireVector(dst, count, "GetRowPartial", __LINE__);
  ZeroVector(dst, count);
  if (count == 0) return;
  double* d = DenseVector_Array(dst);
  const std::int32_t* map = IDenseVector_Array(colmap);
  const double* value = Values(A);
  for (std::int32_t j = 1; j <= A->cols; ++j) {
    const std::int32_t c = map[j - 1];
    if (c < 1) continue;
    RequireMapped(c, count, "GetRowPartial", __LINE__);
    const std::int64_t p = FindEntry(A, row, j);
    d[c - 1] = p < 0 ? 0.0 : value[p];
  }
}

void SparseMatrix_GetCol(DenseVector* dst, const SparseMatrix* A, std::int32_t col,
                         const IDenseVector* rowmap) {
  if (rowmap == nullptr) {
    SparseMatrix_GetColFull(dst, A, col);
  } else {
    SparseMatrix_GetColPartial(dst, A, col, rowmap);
  }
}

void SparseMatrix_GetColFull(DenseVector* dst, const SparseMatrix* A, std::int32_t col) {
  RequireColumn(A, col, "GetColFull", __LINE__);
  RequireVector(dst, A->rows, "GetColFull", __LINE__);
  ZeroVector(dst, A->rows);
  double* d = DenseVector_Array(dst);
  const std::int32_t* rows = Rows(A);
  const double* value = Values(A);
  const std::int64_t first = Starts(A)[col - 1] - 1;
  const std::int64_t end = first + Lengths(A)[col - 1];
  for (std::int64_t p = first; p < end; ++p) d[rows[p] - 1] = value[p];
}

void SparseMatrix_GetColPartial(DenseVector* dst, const SparseMatrix* A, std::int32_t col,
                                const IDenseVector* rowmap) {
  RequireColumn(A, col, "GetColPartial", __LINE__);
  const std::int32_t count = MapCount(rowmap, A->rows, "GetColPartial", __LINE__);
  RequireVector(dst, count, "GetColPartial", __LINE__);
  ZeroVector(dst, count);
  if (count == 0) return;
  double* d = DenseVector_Array(dst);
  const std::int32_t* map = IDenseVector_Array(rowmap);
  const std::int32_t* rows = Rows(A);
  const double* value = Values(A);
  const std::int64_t first = Starts(A)[col - 1] - 1;
  const std::int64_t end = first + Lengths(A)[col - 1];
  for (std::int64_t p = first; p < end; ++p) {
    const std::int32_t r = map[rows[p] - 1];
    if (r < 1) continue;
    RequireMapped(r, count, "GetColPartial", __LINE__);
    d[r - 1] = value[p];
  }
}

void SparseMatrix_GetDiagonal(DenseVector* dst, const SparseMatrix* A) {
  std::int32_t m = MinInt(A->rows, A->cols);
  if (m < 0) m = 0;
  RequireVector(dst, m, "GetDiagonal", __LINE__);
  ZeroVector(dst, m);
  double* d = DenseVector_Array(dst);
  const double* value = Values(A);
  for (std::int32_t j = 1; j <= m; ++j) {
    const std::int64_t p = FindEntry(A, j, j);
    if (p >= 0) d[j - 1] = value[p];
  }
}

void SparseMatrix_ReplaceElement(SparseMatrix* A, std::int32_t row, std::int32_t col,
                                 double value) {
  RequireColumn(A, col, "ReplaceElement", __LINE__);
  Values(A)[RequireEntry(A, row, col, "ReplaceElement", "element not found", __LINE__)] = value;
}

void SparseMatrix_AddElement(SparseMatrix* A, std::int32_t row, std::int32_t col, double value) {
  RequireColumn(A, col, "AddElement", __LINE__);
  Values(A)[RequireEntry(A, row, col, "AddElement", "element not found", __LINE__)] += value;
}

void SparseMatrix_SubElement(SparseMatrix* A, std::int32_t row, std::int32_t col, double value) {
  SparseMatrix_AddElement(A, row, col, 0.0 - value);
}

void SparseMatrix_SMulElement(SparseMatrix* A, std::int32_t row, std::int32_t col, double value) {
  RequireColumn(A, col, "SMulElement", __LINE__);
  Values(A)[RequireEntry(A, row, col, "SMulElement", "element not found", __LINE__)] *= value;
}

namespace {

// Applies op(value, row, col) to every stored entry, column by column.
template <class Op>
void ForEachEntry(SparseMatrix* A, Op op) {
  const std::int32_t* start = Starts(A);
  const std::int32_t* len = Lengths(A);
  const std::int32_t* rows = Rows(A);
  double* value = Values(A);
  for (std::int32_t j = 0; j < A->cols; ++j) {
    const std::int64_t first = start[j] - 1;
    const std::int64_t end = first + len[j];
    for (std::int64_t p = first; p < end; ++p) op(value[p], rows[p], j + 1);
  }
}

}  // namespace

void SparseMatrix_Negate(SparseMatrix* A) {
  ForEachEntry(A, [](double& v, std::int32_t, std::int32_t) { v = 0.0 - v; });
}

void SparseMatrix_NegateCol(SparseMatrix* A, std::int32_t col) {
  RequireColumn(A, col, "NegateCol", __LINE__);
  double* value = Values(A);
  const std::int64_t first = Starts(A)[col - 1] - 1;
  const std::int64_t end = first + Lengths(A)[col - 1];
  for (std::int64_t p = first; p < end; ++p) value[p] = 0.0 - value[p];
}

void SparseMatrix_ScaleRows(SparseMatrix* A, const DenseVector* s) {
  if (A->rows < 1) return;
  RequireVector(s, A->rows, "ScaleRows", __LINE__);
  const double* f = DenseVector_Array(s);
  ForEachEntry(A, [f](double& v, std::int32_t i, std::int32_t) { v = v * f[i - 1]; });
}

void SparseMatrix_ScaleCols(SparseMatrix* A, const DenseVector* s) {
  RequireVector(s, A->cols, "ScaleCols", __LINE__);
  const double* f = DenseVector_Array(s);
  ForEachEntry(A, [f](double& v, std::int32_t, std::int32_t j) { v = v * f[j - 1]; });
}

void SparseMatrix_UnscaleRows(SparseMatrix* A, const DenseVector* s) {
  if (A->rows < 1) return;
  RequireVector(s, A->rows, "UnscaleRows", __LINE__);
  const double* f = DenseVector_Array(s);
  ForEachEntry(A, [f](double& v, std::int32_t i, std::int32_t) { v = v / f[i - 1]; });
}

void SparseMatrix_UnscaleCols(SparseMatrix* A, const DenseVector* s) {
  RequireVector(s, A->cols, "UnscaleCols", __LINE__);
  const double* f = DenseVector_Array(s);
  ForEachEntry(A, [f](double& v, std::int32_t, std::int32_t j) { v = v / f[j - 1]; });
}

namespace {

// a(j,j) := a(j,j) + sign * amount(j) for j = 1..min(rows, cols) in order;
// stops with the operation's error at the first missing diagonal entry.
template <class Amount>
void ShiftDiagonal(SparseMatrix* A, double sign, Amount amount, const char* operation, int line) {
  const std::int32_t m = MinInt(A->rows, A->cols);
  double* value = Values(A);
  for (std::int32_t j = 1; j <= m; ++j) {
    const std::int64_t p =
        RequireEntry(A, j, j, operation, "could not perform perturbation", line);
    if (sign > 0.0) {
      value[p] += amount(j);
    } else {
      value[p] -= amount(j);
    }
  }
}

std::int32_t DiagonalLength(const SparseMatrix* A) {
  const std::int32_t m = MinInt(A->rows, A->cols);
  return m < 0 ? 0 : m;
}

}  // namespace

void SparseMatrix_PerturbDiagonal(SparseMatrix* A, const DenseVector* d) {
  RequireVector(d, DiagonalLength(A), "PerturbDiagonal", __LINE__);
  const double* x = DenseVector_Array(d);
  ShiftDiagonal(A, 1.0, [x](std::int32_t j) { return x[j - 1]; }, "PerturbDiagonal", __LINE__);
}

void SparseMatrix_PerturbDiagonalVal(SparseMatrix* A, double value) {
  ShiftDiagonal(A, 1.0, [value](std::int32_t) { return value; }, "PerturbDiagonalVal", __LINE__);
}

void SparseMatrix_UnperturbDiagonal(SparseMatrix* A, const DenseVector* d) {
  RequireVector(d, DiagonalLength(A), "UnperturbDiagonal", __LINE__);
  const double* x = DenseVector_Array(d);
  ShiftDiagonal(A, -1.0, [x](std::int32_t j) { return x[j - 1]; }, "UnperturbDiagonal",
                __LINE__);
}

void SparseMatrix_UnperturbDiagonalVal(SparseMatrix* A, double value) {
  ShiftDiagonal(A, -1.0, [value](std::int32_t) { return value; }, "UnperturbDiagonalVal",
                __LINE__);
}

void SparseMatrix_RPermElement(SparseMatrix* A, std::int32_t r, std::int32_t col,
                               std::int32_t s) {
  if (r == s) return;
  RequireColumn(A, col, "RPermElement", __LINE__);
  std::int32_t* rows = Rows(A);
  const std::int64_t first = Starts(A)[col - 1] - 1;
  const std::int64_t end = first + Lengths(A)[col - 1];
  int count = 0;
  bool moved = false;
  for (std::int64_t p = first; p < end; ++p) {
    if (rows[p] == s) {
      ++count;
    } else if (rows[p] == r) {
      rows[p] = s;
      moved = true;
      ++count;
    }
  }
  // A diagonal entry moved away: the matrix no longer stores every diagonal.
  if (moved && r == col && col <= MinInt(A->rows, A->cols)) A->flags &= ~SPARSE_DIAGONAL;
  if (count == 0) Error_Report(kModule, __LINE__, "RPermElement", "permutation not done");
  if (count >= 2) Error_Report(kModule, __LINE__, "RPermElement", "column contains two entries");
}

// ---------------------------------------------------------------------------
// Builders

void SparseMatrix_SetDiagonalPattern(SparseMatrix* A, std::int32_t rows, std::int32_t cols) {
  WritePattern(A, rows, cols, true, "SetDiagonalPattern", __LINE__);
}

void SparseMatrix_SetScaledIdentity(SparseMatrix* A, std::int32_t n, double value) {
  WritePattern(A, n, n, true, "SetScaledIdentity", __LINE__);
  double* v = Values(A);
  for (std::int32_t j = 0; j < A->nnz; ++j) v[j] = value;
  A->flags = SPARSE_DIAGONAL | SPARSE_PACKED;
}

void SparseMatrix_SetIdentity(SparseMatrix* A, std::int32_t n) {
  SparseMatrix_SetScaledIdentity(A, n, 1.0);
}

void SparseMatrix_SetNegIdentity(SparseMatrix* A, std::int32_t n) {
  SparseMatrix_SetScaledIdentity(A, n, -1.0);
}

void SparseMatrix_AddRows(SparseMatrix* A, std::int32_t k) {
  AppendPatternColumns(
      A, k, 0, 0.0, [](std::int32_t) { return false; }, [](std::int32_t) { return 0; },
      "AddRows", __LINE__);
}

void SparseMatrix_AppendDiagonalCols(SparseMatrix* A, std::int32_t k) {
  const std::int64_t base = A->cols;
  const std::int64_t rows = A->rows;
  AppendPatternColumns(
      A, 0, k, 0.0, [=](std::int32_t i) { return base + i <= rows; },
      [=](std::int32_t i) { return static_cast<std::int32_t>(base + i); },
      "AppendDiagonalCols", __LINE__);
}

void SparseMatrix_AppendDiagonalBlock(SparseMatrix* A, std::int32_t r, std::int32_t k) {
  const std::int64_t base = A->cols;
  const std::int64_t grown_rows = static_cast<std::int64_t>(A->rows) + (r < 0 ? 0 : r);
  const std::int32_t with_entry = MinInt(r, k);
  AppendPatternColumns(
      A, r, k, 0.0, [=](std::int32_t i) { return i <= with_entry && base + i <= grown_rows; },
      [=](std::int32_t i) { return static_cast<std::int32_t>(base + i); },
      "AppendDiagonalBlock", __LINE__);
}

void SparseMatrix_AppendIdentity(SparseMatrix* A, std::int32_t k) {
  AppendPatternColumns(
      A, 0, k, 1.0, [](std::int32_t) { return true; }, [](std::int32_t i) { return i; },
      "AppendIdentity", __LINE__);
}

void SparseMatrix_AppendNegIdentity(SparseMatrix* A, std::int32_t k) {
  AppendPatternColumns(
      A, 0, k, -1.0, [](std::int32_t) { return true; }, [](std::int32_t i) { return i; },
      "AppendNegIdentity", __LINE__);
}

void SparseMatrix_AppendIdentityBlock(SparseMatrix* A, std::int32_t k) {
  const std::int64_t base = A->cols;
  AppendPatternColumns(
      A, k, k, 1.0, [](std::int32_t) { return true; },
      [=](std::int32_t i) { return static_cast<std::int32_t>(base + i); }, "AppendIdentityBlock",
      __LINE__);
}

void SparseMatrix_AppendNegIdentityBlock(SparseMatrix* A, std::int32_t k) {
  const std::int64_t base = A->cols;
  AppendPatternColumns(
      A, k, k, -1.0, [](std::int32_t) { return true; },
      [=](std::int32_t i) { return static_cast<std::int32_t>(base + i); },
      "AppendNegIdentityBlock", __LINE__);
}

void SparseMatrix_AppendColumn(SparseMatrix* A, const DenseVector* x) {
  const std::int32_t n = DenseVector_Length(x);
  const double* v = DenseVector_Array(x);
  std::int64_t entries = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    if (!(v[i - 1] != 0.0)) continue;
    if (i > A->rows) Error_Report(kModule, __LINE__, "AppendColumn", "row out of range");
    ++entries;
  }
  RequireRoom(A, static_cast<std::int64_t>(A->cols) + 1, A->nnz + entries, "AppendColumn",
              __LINE__);
  const std::int32_t old_cols = A->cols;
  ColumnWriter writer{A, 0};
  writer.Start();
  for (std::int32_t i = 1; i <= n; ++i) {
    if (v[i - 1] != 0.0) writer.Add(i, v[i - 1]);
  }
  writer.Finish();
  SyncLengths(A);
  KeepDiagonalFlag(A, A->rows, old_cols);
}

void SparseMatrix_AppendMatrix(SparseMatrix* A, const SparseMatrix* B) {
  // B's sizes are taken before anything is written, so B may be A.
  const std::int32_t b_cols = B->cols;
  if (B->rows > A->rows) Error_Report(kModule, __LINE__, "AppendMatrix", "row out of range");
  std::int64_t entries = 0;
  {
    const std::int32_t* start = Starts(B);
    const std::int32_t* len = Lengths(B);
    const double* value = Values(B);
    for (std::int32_t j = 0; j < b_cols; ++j) {
      const std::int64_t first = start[j] - 1;
      for (std::int64_t p = first; p < first + len[j]; ++p) entries += value[p] != 0.0;
    }
  }
  RequireRoom(A, static_cast<std::int64_t>(A->cols) + b_cols, A->nnz + entries, "AppendMatrix",
              __LINE__);
  const std::int32_t old_cols = A->cols;
  ColumnWriter writer{A, 0};
  for (std::int32_t j = 0; j < b_cols; ++j) {
    const std::int64_t first = Starts(B)[j] - 1;
    const std::int64_t end = first + Lengths(B)[j];
    writer.Start();
    for (std::int64_t p = first; p < end; ++p) {
      const double v = Values(B)[p];
      if (v != 0.0) writer.Add(Rows(B)[p], v);
    }
    writer.Finish();
  }
  SyncLengths(A);
  KeepDiagonalFlag(A, A->rows, old_cols);
}

namespace {

// Walks B as the diagonal block appended to A: for B's column j (result
// column c = a_cols + j) it reports every kept entry (row a_rows + i, value;
// kept when not 0.0 or on the diagonal) and, when the column has no diagonal
// entry and c <= a_rows + b_rows, the placeholder (c, 0.0).
template <class Emit, class EndColumn>
void WalkBlockDiagonal(const SparseMatrix* B, std::int32_t a_rows, std::int32_t a_cols,
                       std::int32_t b_cols, Emit emit, EndColumn end_column) {
  const std::int64_t grown_rows = static_cast<std::int64_t>(a_rows) + B->rows;
  for (std::int32_t j = 1; j <= b_cols; ++j) {
    const std::int64_t c = static_cast<std::int64_t>(a_cols) + j;
    const std::int64_t first = Starts(B)[j - 1] - 1;
    const std::int64_t end = first + Lengths(B)[j - 1];
    bool has_diagonal = false;
    for (std::int64_t p = first; p < end; ++p) {
      const std::int64_t row = static_cast<std::int64_t>(a_rows) + Rows(B)[p];
      const double v = Values(B)[p];
      if (row == c) has_diagonal = true;
      if (v != 0.0 || row == c) emit(row, v);
    }
    if (!has_diagonal && c <= grown_rows) emit(c, 0.0);
    end_column();
  }
}

}  // namespace

void SparseMatrix_AppendBlockDiagonal(SparseMatrix* A, const SparseMatrix* B) {
  // B's sizes are taken before anything is written, so B may be A.
  const std::int32_t a_rows = A->rows;
  const std::int32_t a_cols = A->cols;
  const std::int32_t b_rows = B->rows;
  const std::int32_t b_cols = B->cols;
  if (static_cast<std::int64_t>(a_rows) + b_rows > INT32_MAX) {
    Error_Report(kModule, __LINE__, "AppendBlockDiagonal", "insufficient capacity");
  }
  std::int64_t entries = 0;
  WalkBlockDiagonal(
      B, a_rows, a_cols, b_cols, [&](std::int64_t, double) { ++entries; }, [] {});
  RequireRoom(A, static_cast<std::int64_t>(a_cols) + b_cols, A->nnz + entries,
              "AppendBlockDiagonal", __LINE__);
  ColumnWriter writer{A, 0};
  writer.Start();
  WalkBlockDiagonal(
      B, a_rows, a_cols, b_cols,
      [&](std::int64_t row, double v) { writer.Add(static_cast<std::int32_t>(row), v); },
      [&] {
        writer.Finish();
        writer.Start();
      });
  A->rows = a_rows + b_rows;
  SyncLengths(A);
  KeepDiagonalFlag(A, a_rows, a_cols);
}

void SparseMatrix_RemoveCols(SparseMatrix* A, std::int32_t first, std::int32_t last) {
  if (last != A->cols) Error_Report(kModule, __LINE__, "RemoveCols", "not done in general");
  if (first < 1) Error_Report(kModule, __LINE__, "RemoveCols", "column out of range");
  const std::int32_t* len = Lengths(A);
  for (std::int32_t j = first; j <= last; ++j) {
    A->nnz -= len[j - 1];
    A->cols -= 1;
  }
  if (A->nnz < 0) A->nnz = 0;
  SyncLengths(A);
}

void SparseMatrix_Transpose(SparseMatrix* B, const SparseMatrix* A) {
  if (B == A) Error_Report(kModule, __LINE__, "Transpose", "cannot transpose in place");
  const std::int64_t entries = SparseMatrix_StoredEntries(A);
  RequireRoom(B, A->rows < 0 ? 0 : A->rows, entries, "Transpose", __LINE__);
  B->rows = A->cols;
  B->cols = A->rows;
  B->nnz = static_cast<std::int32_t>(entries);
  SyncLengths(B);
  std::int32_t* count = Lengths(B);
  std::int32_t* start = Starts(B);
  for (std::int32_t i = 0; i < B->cols; ++i) count[i] = 0;
  const std::int32_t* a_start = Starts(A);
  const std::int32_t* a_len = Lengths(A);
  const std::int32_t* a_row = Rows(A);
  const double* a_val = Values(A);
  for (std::int32_t j = 0; j < A->cols; ++j) {
    const std::int64_t first = a_start[j] - 1;
    for (std::int64_t p = first; p < first + a_len[j]; ++p) count[a_row[p] - 1] += 1;
  }
  if (B->cols > 0) start[0] = 1;
  for (std::int32_t i = 1; i < B->cols; ++i) start[i] = start[i - 1] + count[i - 1];
  for (std::int32_t i = 0; i < B->cols; ++i) count[i] = 0;
  std::int32_t* b_row = Rows(B);
  double* b_val = Values(B);
  for (std::int32_t j = 0; j < A->cols; ++j) {
    const std::int64_t first = a_start[j] - 1;
    for (std::int64_t p = first; p < first + a_len[j]; ++p) {
      const std::int32_t i = a_row[p] - 1;
      const std::int64_t q = static_cast<std::int64_t>(start[i]) - 1 + count[i];
      b_row[q] = j + 1;
      b_val[q] = a_val[p];
      count[i] += 1;
    }
  }
  // The result is packed; it stores every diagonal when A is known to.
  B->flags = (B->flags & ~(SPARSE_DIAGONAL | SPARSE_PACKED)) | SPARSE_PACKED |
             (A->flags & SPARSE_DIAGONAL);
}
