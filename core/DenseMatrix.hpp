// DenseMatrix: the library's reference-counted dense matrix of doubles, used
// by the dense basis back-end for its basis and factors.
//
// The entries live in one block of max_rows * max_cols doubles; row[r]
// (0-based) points at row r+1, which starts at block + r * max_cols, so
// row[i-1][j-1] is entry (i, j). Element operations take 1-based row and
// column indices. No operation checks an index or a size against the
// capacity: rows <= max_rows and cols <= max_cols are the caller's
// obligations. New and regrown blocks are not initialised. Capacity
// products are formed in 64 bits; a block beyond the 32-bit element counts
// is the solver error "allocation failed".
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"

struct DenseMatrix {
  std::int32_t max_rows;  // row capacity
  std::int32_t max_cols;  // column capacity
  std::int32_t rows;      // current number of rows
  std::int32_t cols;      // current number of columns
  double** row;           // max_rows row pointers; row[0] is the start of the block
  std::int32_t refcount;  // holders; freed at 0
};

// ---------------------------------------------------------------------------
// Lifecycle and size
// ---------------------------------------------------------------------------

// New max_rows x max_cols matrix (callers ask for at least 1 x 1) with rows
// = cols = 0 and reference count 1.
DenseMatrix* DenseMatrix_Create(std::int32_t max_rows, std::int32_t max_cols);

// Drops one reference; at 0 (or below) frees block, row pointers and record
// and returns 0, otherwise returns the remaining count. nullptr is ignored.
std::int32_t DenseMatrix_Destroy(DenseMatrix* m);

// Adds one reference; returns the new count.
std::int32_t DenseMatrix_Reference(DenseMatrix* m);

// Ensures max_rows >= r and max_cols >= c. When the matrix must grow both
// capacities become the larger of old and asked, a new block is allocated
// and the contents are lost; rows and cols are kept. Otherwise nothing
// changes. A failed allocation leaves the matrix as it was.
void DenseMatrix_Size(DenseMatrix* m, std::int32_t r, std::int32_t c);

inline std::int32_t DenseMatrix_Rows(const DenseMatrix* m) { return m->rows; }
inline std::int32_t DenseMatrix_Cols(const DenseMatrix* m) { return m->cols; }
inline void DenseMatrix_SetRows(DenseMatrix* m, std::int32_t n) { m->rows = n; }
inline void DenseMatrix_SetCols(DenseMatrix* m, std::int32_t n) { m->cols = n; }

// dst takes src's rows and cols and every entry of that block; dst == src
// does nothing.
void DenseMatrix_Copy(DenseMatrix* dst, const DenseMatrix* src);

// Keeps the rows i with rowmap_i > 0 and the columns j with colmap_j > 0 and
// writes src (i, j) to dst (rowmap_i, colmap_j); a null map keeps every row
// (column) in place. dst's rows (cols) become the number of positive entries
// among the first src rows (cols) map entries; entries of dst that no pair
// reaches keep their values. The positive entries number the kept rows and
// columns 1..count and dst's capacity holds the result (caller's
// obligations). dst == src is the solver error
// "DenseMatrix: ClonePartial: cannot clone partial in place.\n".
void DenseMatrix_ClonePartial(DenseMatrix* dst, const DenseMatrix* src, const IDenseVector* rowmap,
                              const IDenseVector* colmap);
// Both maps null: DenseMatrix_Copy; otherwise DenseMatrix_ClonePartial.
void DenseMatrix_Clone(DenseMatrix* dst, const DenseMatrix* src, const IDenseVector* rowmap,
                       const IDenseVector* colmap);

// ---------------------------------------------------------------------------
// Builders and structural operations (indices 1-based)
// ---------------------------------------------------------------------------

// rows := r, cols := c, every entry 0.0.
void DenseMatrix_Zeros(DenseMatrix* m, std::int32_t r, std::int32_t c);
// n x n with 1.0 (-1.0) on the diagonal and 0.0 elsewhere.
void DenseMatrix_Identity(DenseMatrix* m, std::int32_t n);
void DenseMatrix_MinusIdentity(DenseMatrix* m, std::int32_t n);
// Every entry := 0 - entry.
void DenseMatrix_Negate(DenseMatrix* m);
// Appends r zero rows (across all cols + c columns) and c zero columns.
void DenseMatrix_AppendZeros(DenseMatrix* m, std::int32_t r, std::int32_t c);
// Appends n columns; in every current row i the new columns hold 1.0 (-1.0)
// in new column i and 0.0 elsewhere (rows beyond n get zeros only).
void DenseMatrix_AppendIdentityCols(DenseMatrix* m, std::int32_t n);
void DenseMatrix_AppendMinusIdentityCols(DenseMatrix* m, std::int32_t n);
// Row rows+1 := v's first cols elements; rows += 1.
void DenseMatrix_AppendRow(DenseMatrix* m, const DenseVector* v);
// Column cols+1 := v's first rows elements; cols += 1.
void DenseMatrix_AppendCol(DenseMatrix* m, const DenseVector* v);
// Row i := v's first cols elements; column j := v's first rows elements.
void DenseMatrix_SetRow(DenseMatrix* m, std::int32_t i, const DenseVector* v);
void DenseMatrix_SetCol(DenseMatrix* m, std::int32_t j, const DenseVector* v);

// Entry (i, j), 1-based: read, :=, +=, -=, += 1.0, -= 1.0. No index check.
inline double DenseMatrix_Value(const DenseMatrix* m, std::int32_t i, std::int32_t j) {
  return m->row[i - 1][j - 1];
}
inline void DenseMatrix_SetValue(DenseMatrix* m, std::int32_t i, std::int32_t j, double a) {
  m->row[i - 1][j - 1] = a;
}
inline void DenseMatrix_AddValue(DenseMatrix* m, std::int32_t i, std::int32_t j, double a) {
  m->row[i - 1][j - 1] += a;
}
inline void DenseMatrix_SubValue(DenseMatrix* m, std::int32_t i, std::int32_t j, double a) {
  m->row[i - 1][j - 1] -= a;
}
inline void DenseMatrix_IncrementValue(DenseMatrix* m, std::int32_t i, std::int32_t j) {
  m->row[i - 1][j - 1] += 1.0;
}
inline void DenseMatrix_DecrementValue(DenseMatrix* m, std::int32_t i, std::int32_t j) {
  m->row[i - 1][j - 1] -= 1.0;
}

// v's length := cols (rows); v := row i (column j).
void DenseMatrix_RowFull(DenseVector* v, const DenseMatrix* m, std::int32_t i);
void DenseMatrix_ColFull(DenseVector* v, const DenseMatrix* m, std::int32_t j);
// A null partial index: RowFull / ColFull. A partial index is the solver
// error "DenseMatrix: Row: partial row not implemented yet.\n" ("... Col:
// partial col ...").
void DenseMatrix_Row(DenseVector* v, const DenseMatrix* m, std::int32_t i,
                     const IDenseVector* partial);
void DenseMatrix_Col(DenseVector* v, const DenseMatrix* m, std::int32_t j,
                     const IDenseVector* partial);

// Entry (i, j) *= d_i, /= d_i (rows); *= d_j, /= d_j (columns). IEEE
// division, no zero test.
void DenseMatrix_ScaleRows(DenseMatrix* m, const DenseVector* d);
void DenseMatrix_DivRows(DenseMatrix* m, const DenseVector* d);
void DenseMatrix_ScaleCols(DenseMatrix* m, const DenseVector* d);
void DenseMatrix_DivCols(DenseMatrix* m, const DenseVector* d);
// Entry (i, i) += d_i, -= d_i for i = 1..rows (callers keep rows <= cols).
void DenseMatrix_AddDiagonal(DenseMatrix* m, const DenseVector* d);
void DenseMatrix_SubDiagonal(DenseMatrix* m, const DenseVector* d);

// dst := transpose of src (dst's rows := src's cols and the reverse). dst ==
// src is the solver error
// "DenseMatrix: Transpose: in place transpose not implemented.\n".
void DenseMatrix_Transpose(DenseMatrix* dst, const DenseMatrix* src);

// y += A x: for each column j with x_j != 0 (a NaN counts as non-zero),
// y_i += A(i, j) * x_j for i = 1..rows; y's length is not changed. In all
// three products y and x sharing one array is the solver error
// "DenseMatrix: <Op>: result overlaps the operand.\n".
void DenseMatrix_MulAdd(DenseVector* y, const DenseMatrix* a, const DenseVector* x);
// y := b (or rows zeros when b is null), then y += A x.
void DenseMatrix_MulPlus(DenseVector* y, const DenseMatrix* a, const DenseVector* x,
                         const DenseVector* b);
// y := 0 - b (or rows zeros when b is null), then y += A x.
void DenseMatrix_MulMinus(DenseVector* y, const DenseMatrix* a, const DenseVector* x,
                          const DenseVector* b);

// Prints every entry with " %5.2f" and ends each row with a newline, on the
// log stream.
void DenseMatrix_Display(const DenseMatrix* m);

// ---------------------------------------------------------------------------
// Operations the library never needs: each is the solver error
// "DenseMatrix: <Op>: ... not implemented yet.\n" and does not return.
// ---------------------------------------------------------------------------

[[noreturn]] void DenseMatrix_Augment(DenseMatrix* dst, const DenseMatrix* a,
                                      const DenseMatrix* b);
[[noreturn]] void DenseMatrix_Add(DenseMatrix* dst, const DenseMatrix* a, const DenseMatrix* b);
[[noreturn]] void DenseMatrix_Sub(DenseMatrix* dst, const DenseMatrix* a, const DenseMatrix* b);
[[noreturn]] void DenseMatrix_Mul(DenseMatrix* dst, const DenseMatrix* a, const DenseMatrix* b);
[[noreturn]] void DenseMatrix_SMul(DenseMatrix* dst, const DenseMatrix* a, double s);
[[noreturn]] void DenseMatrix_DisplaySparse(const DenseMatrix* m);
[[noreturn]] double DenseMatrix_OneNorm(const DenseMatrix* m);
[[noreturn]] double DenseMatrix_TwoNorm(const DenseMatrix* m);
[[noreturn]] double DenseMatrix_InfNorm(const DenseMatrix* m);
