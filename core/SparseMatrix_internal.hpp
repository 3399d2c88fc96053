// Helpers shared by the three source files of the SparseMatrix module.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"

namespace sparse_internal {

constexpr const char* kModule = "SparseMatrix";

// Raw 0-based arrays of a matrix.
inline std::int32_t* Starts(SparseMatrix* A) { return IDenseVector_Array(A->col_start); }
inline std::int32_t* Lengths(SparseMatrix* A) { return IDenseVector_Array(A->col_len); }
inline std::int32_t* Rows(SparseMatrix* A) { return IDenseVector_Array(A->row_index); }
inline double* Values(SparseMatrix* A) { return DenseVector_Array(A->values); }
inline const std::int32_t* Starts(const SparseMatrix* A) { return IDenseVector_Array(A->col_start); }
inline const std::int32_t* Lengths(const SparseMatrix* A) { return IDenseVector_Array(A->col_len); }
inline const std::int32_t* Rows(const SparseMatrix* A) { return IDenseVector_Array(A->row_index); }
inline const double* Values(const SparseMatrix* A) { return DenseVector_Array(A->values); }

inline std::int32_t MinInt(std::int32_t a, std::int32_t b) { return a < b ? a : b; }

// Lengths of the column vectors := cols, of the entry vectors := nnz.
inline void SyncLengths(SparseMatrix* A) {
  IDenseVector_SetLength(A->col_start, A->cols);
  IDenseVector_SetLength(A->col_len, A->cols);
  IDenseVector_SetLength(A->row_index, A->nnz);
  DenseVector_SetLength(A->values, A->nnz);
}

// Solver error "insufficient capacity" unless A can hold cols columns and
// entries entries.
inline void RequireRoom(const SparseMatrix* A, std::int64_t cols, std::int64_t entries,
                        const char* operation, int line) {
  if (cols < 0 || entries < 0 || cols > A->max_cols || entries > A->max_nnz) {
    Error_Report(kModule, line, operation, "insufficient capacity");
  }
}

// Solver error "insufficient capacity" unless v can hold n elements.
inline void RequireVector(const DenseVector* v, std::int64_t n, const char* operation, int line) {
  if (v == nullptr || n > DenseVector_Capacity(v)) {
    Error_Report(kModule, line, operation, "insufficient capacity");
  }
}

// Solver error "column out of range" unless 1 <= col <= cols.
inline void RequireColumn(const SparseMatrix* A, std::int32_t col, const char* operation,
                          int line) {
  if (col < 1 || col > A->cols) Error_Report(kModule, line, operation, "column out of range");
}

// 0-based position of the first entry of column col (1-based) in row `row`,
// or -1.
inline std::int64_t FindEntry(const SparseMatrix* A, std::int32_t row, std::int32_t col) {
  const std::int32_t* rows = Rows(A);
  std::int64_t p = Starts(A)[col - 1] - 1;
  const std::int64_t end = p + Lengths(A)[col - 1];
  for (; p < end; ++p) {
    if (rows[p] == row) return p;
  }
  return -1;
}

// Makes A the rows x cols zero-diagonal pattern (with_diagonal: columns
// 1..min(rows, cols) hold (j, 0.0) at position j, the rest start after them
// and are empty) or the empty pattern (every column start 1, length 0).
// Checks the room; does not touch the flags.
void WritePattern(SparseMatrix* A, std::int32_t rows, std::int32_t cols, bool with_diagonal,
                  const char* operation, int line);

}  // namespace sparse_internal
