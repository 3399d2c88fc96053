// Test helpers for SparseMatrix: build a matrix from triplets in a chosen
// storage layout, and read any matrix back into a dense reference while
// checking its storage invariants.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"

namespace sparse_test {

struct Entry {
  int row;
  int col;
  double value;
};

// How the columns sit in the storage arrays.
enum class Layout {
  kPacked,     // column order, no gaps, flag 4 set
  kScattered,  // reverse column order, one unused position before each
               // column, entries of a column in reverse order, flags 0
};

// Dense picture of a matrix: values (0.0 where nothing is stored) and the
// stored-entry mask, row-major.
struct Dense {
  int rows = 0;
  int cols = 0;
  std::vector<double> a;
  std::vector<char> stored;
  Dense() = default;
  Dense(int r, int c) : rows(r), cols(c), a(size_t(r) * c, 0.0), stored(size_t(r) * c, 0) {}
  double& at(int i, int j) { return a[size_t(i - 1) * cols + (j - 1)]; }
  double at(int i, int j) const { return a[size_t(i - 1) * cols + (j - 1)]; }
  char& mask(int i, int j) { return stored[size_t(i - 1) * cols + (j - 1)]; }
  char mask(int i, int j) const { return stored[size_t(i - 1) * cols + (j - 1)]; }
  int count() const {
    int n = 0;
    for (char s : stored) n += s;
    return n;
  }
};

inline Dense FromEntries(int rows, int cols, const std::vector<Entry>& entries) {
  Dense d(rows, cols);
  for (const auto& e : entries) {
    d.at(e.row, e.col) = e.value;
    d.mask(e.row, e.col) = 1;
  }
  return d;
}

// Builds a rows x cols matrix holding the entries in the given layout, with
// `spare` extra column and entry capacity.
inline SparseMatrix* Build(int rows, int cols, const std::vector<Entry>& entries, Layout layout,
                           int spare = 0) {
  const int room = int(entries.size()) + (layout == Layout::kScattered ? cols : 0) + spare;
  SparseMatrix* A = SparseMatrix_Create(rows, cols + spare, room);
  SparseMatrix_SetRows(A, rows);
  SparseMatrix_SetCols(A, cols);
  SparseMatrix_SetNNZ(A, room);
  int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(A));
  int32_t* len = IDenseVector_Array(SparseMatrix_ColLen(A));
  int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(A));
  double* value = DenseVector_Array(SparseMatrix_Values(A));
  for (int p = 0; p < room; ++p) {
    row[p] = -7;  // garbage in unused positions
    value[p] = 1e300;
  }
  int pos = 0;
  const bool scattered = layout == Layout::kScattered;
  for (int k = 0; k < cols; ++k) {
    const int j = scattered ? cols - k : k + 1;
    if (scattered) ++pos;  // leave a gap
    start[j - 1] = pos + 1;
    std::vector<Entry> column;
    for (const auto& e : entries) {
      if (e.col == j) column.push_back(e);
    }
    if (scattered) std::reverse(column.begin(), column.end());
    for (const auto& e : column) {
      row[pos] = e.row;
      value[pos] = e.value;
      ++pos;
    }
    len[j - 1] = int(column.size());
  }
  if (!scattered) SparseMatrix_SetNNZ(A, pos);
  SparseMatrix_SetFlags(A, scattered ? 0 : SPARSE_PACKED);
  return A;
}

// Reads A column by column into a dense picture and checks the storage
// invariants: positions within 1..nnz, rows within 1..rows, no row twice in
// a column, vector lengths following cols and nnz.
inline Dense Read(const SparseMatrix* A) {
  const int rows = SparseMatrix_Rows(A);
  const int cols = SparseMatrix_Cols(A);
  const int nnz = SparseMatrix_NNZ(A);
  Dense d(rows, cols);
  EXPECT_EQ(IDenseVector_Length(SparseMatrix_ColStart(A)), cols);
  EXPECT_EQ(IDenseVector_Length(SparseMatrix_ColLen(A)), cols);
  EXPECT_EQ(IDenseVector_Length(SparseMatrix_RowIndex(A)), nnz);
  EXPECT_EQ(DenseVector_Length(SparseMatrix_Values(A)), nnz);
  for (int j = 1; j <= cols; ++j) {
    const int s = IDenseVector_Value(SparseMatrix_ColStart(A), j);
    const int l = IDenseVector_Value(SparseMatrix_ColLen(A), j);
    EXPECT_GE(l, 0);
    if (l == 0) continue;
    EXPECT_GE(s, 1);
    EXPECT_LE(s + l - 1, nnz) << "column " << j;
    if (s < 1 || s + l - 1 > nnz) continue;
    for (int p = s; p < s + l; ++p) {
      const int i = IDenseVector_Value(SparseMatrix_RowIndex(A), p);
      EXPECT_GE(i, 1);
      EXPECT_LE(i, rows);
      if (i < 1 || i > rows) continue;
      EXPECT_FALSE(d.mask(i, j)) << "row " << i << " twice in column " << j;
      d.mask(i, j) = 1;
      d.at(i, j) = DenseVector_Value(SparseMatrix_Values(A), p);
    }
  }
  return d;
}

// True when every diagonal entry (j, j), j <= min(rows, cols), is stored.
inline bool AllDiagonalsStored(const Dense& d) {
  for (int j = 1; j <= std::min(d.rows, d.cols); ++j) {
    if (!d.mask(j, j)) return false;
  }
  return true;
}

// Checks that A is packed: columns in order from position 1 without gaps.
inline void ExpectPacked(const SparseMatrix* A) {
  int next = 1;
  for (int j = 1; j <= SparseMatrix_Cols(A); ++j) {
    const int l = IDenseVector_Value(SparseMatrix_ColLen(A), j);
    if (l == 0) continue;
    EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColStart(A), j), next) << "column " << j;
    next += l;
  }
  EXPECT_EQ(next - 1, SparseMatrix_NNZ(A));
}

inline void ExpectSameDense(const Dense& got, const Dense& want) {
  ASSERT_EQ(got.rows, want.rows);
  ASSERT_EQ(got.cols, want.cols);
  for (int i = 1; i <= want.rows; ++i) {
    for (int j = 1; j <= want.cols; ++j) {
      EXPECT_EQ(got.mask(i, j), want.mask(i, j)) << "stored (" << i << "," << j << ")";
      EXPECT_EQ(got.at(i, j), want.at(i, j)) << "value (" << i << "," << j << ")";
    }
  }
}

// Owning helpers for tests.
inline DenseVector* Vector(const std::vector<double>& values, int capacity = 0) {
  DenseVector* v = DenseVector_Create(std::max<int>(capacity, int(values.size())));
  for (size_t i = 0; i < values.size(); ++i) DenseVector_Array(v)[i] = values[i];
  DenseVector_SetLength(v, int(values.size()));
  return v;
}

inline IDenseVector* IVector(const std::vector<int>& values) {
  IDenseVector* v = IDenseVector_Create(int(values.size()));
  for (size_t i = 0; i < values.size(); ++i) IDenseVector_Array(v)[i] = values[i];
  IDenseVector_SetLength(v, int(values.size()));
  return v;
}

inline std::vector<double> Values(const DenseVector* v) {
  return std::vector<double>(DenseVector_Array(v), DenseVector_Array(v) + DenseVector_Length(v));
}

}  // namespace sparse_test
