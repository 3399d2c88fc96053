// SparseMatrix: the library's reference-counted compressed-column matrix.
//
// Column j (1..cols) holds col_len(j) entries at the 1-based positions
// col_start(j) .. col_start(j) + col_len(j) - 1 of the row-index and value
// vectors; row indices count from 1. Columns need not be stored in column
// order or without gaps unless the packed flag says so. Within a column the
// rows are in no particular order and a row occurs at most once.
//
// The four storage vectors, as they stand, are the sparse exchange form
// through which callbacks deliver matrices: see SparseMatrix_PrepareExchange
// and SparseMatrix_FinishExchange.
//
// Files: SparseMatrix.cpp (record, exchange form, clones),
// SparseMatrixEdit.cpp (element access, builders, structural edits),
// SparseMatrixProducts.cpp (products, norms, statistics, printing).
#pragma once

#include <cassert>
#include <cstdint>

struct DenseVector;
struct IDenseVector;

// Flag bits of a SparseMatrix.
enum SparseMatrix_Flags : std::int32_t {
  // Every diagonal entry (j, j), j = 1..min(rows, cols), is stored (maybe 0.0).
  SPARSE_DIAGONAL = 1,
  // The entries fill positions 1..nnz without gaps, in column order.
  SPARSE_PACKED = 4,
};

struct SparseMatrix {
  IDenseVector* col_start;  // per column, 1-based first position
  IDenseVector* col_len;    // per column, number of stored entries
  IDenseVector* row_index;  // per position, 1-based row
  DenseVector* values;      // per position, the entry's value
  std::int32_t max_rows;    // row capacity (no storage depends on it)
  std::int32_t max_cols;    // capacity of the two column vectors
  std::int32_t max_nnz;     // capacity of the row-index and value vectors
  std::int32_t rows;
  std::int32_t cols;
  std::int32_t nnz;
  std::int32_t flags;       // SparseMatrix_Flags bit set
  std::int32_t refcount;
};

// ---------------------------------------------------------------------------
// Lifecycle and sizes (SparseMatrix.cpp)

// New matrix with capacities max(rows,1), max(cols,1), max(nnz,1); sizes and
// flags 0; refcount 1. Allocation failure is the solver error of Memory.
SparseMatrix* SparseMatrix_Create(std::int32_t rows, std::int32_t cols, std::int32_t nnz);

// Removes one reference; at 0 or below frees the vectors and the record.
// Returns the remaining count. A null matrix is ignored (returns 0).
std::int32_t SparseMatrix_Destroy(SparseMatrix* A);

// Adds one reference; returns the new count.
std::int32_t SparseMatrix_Reference(SparseMatrix* A);

// Grows the capacities to at least (rows, cols, nnz), each raised to 1 first;
// never shrinks. A grown vector loses its contents: the caller refills the
// matrix. Sizes and flags are left alone.
void SparseMatrix_Resize(SparseMatrix* A, std::int32_t rows, std::int32_t cols,
                         std::int32_t nnz);

inline std::int32_t SparseMatrix_RowCapacity(const SparseMatrix* A) { assert(A); return A->max_rows; }
inline std::int32_t SparseMatrix_ColCapacity(const SparseMatrix* A) { assert(A); return A->max_cols; }
inline std::int32_t SparseMatrix_NNZCapacity(const SparseMatrix* A) { assert(A); return A->max_nnz; }
inline std::int32_t SparseMatrix_Rows(const SparseMatrix* A) { assert(A); return A->rows; }
inline std::int32_t SparseMatrix_Cols(const SparseMatrix* A) { assert(A); return A->cols; }
inline std::int32_t SparseMatrix_NNZ(const SparseMatrix* A) { assert(A); return A->nnz; }
inline std::int32_t SparseMatrix_GetFlags(const SparseMatrix* A) { assert(A); return A->flags; }

// The four member vectors themselves (not copies); callers index them
// directly in their loops.
inline IDenseVector* SparseMatrix_ColStart(const SparseMatrix* A) { assert(A); return A->col_start; }
inline IDenseVector* SparseMatrix_ColLen(const SparseMatrix* A) { assert(A); return A->col_len; }
inline IDenseVector* SparseMatrix_RowIndex(const SparseMatrix* A) { assert(A); return A->row_index; }
inline DenseVector* SparseMatrix_Values(const SparseMatrix* A) { assert(A); return A->values; }

// Read-only view of the four storage arrays, indexed from 0 but holding the
// matrix's 1-based values: column j's entries are at row[p - 1], value[p - 1]
// for p = start[j - 1] .. start[j - 1] + length[j - 1] - 1. The pointers stay
// valid until the matrix's storage grows (SparseMatrix_Resize) or the
// matrix is destroyed.
struct SparseMatrix_ColumnView {
  const std::int32_t* start;   // per column, 1-based first position
  const std::int32_t* length;  // per column, number of stored entries
  const std::int32_t* row;     // per position, 1-based row
  const double* value;         // per position, the entry's value
};

// The view of A's arrays as they stand.
SparseMatrix_ColumnView SparseMatrix_Columns(const SparseMatrix* A);

// rows := n. No storage depends on the row count; flags are left alone.
void SparseMatrix_SetRows(SparseMatrix* A, std::int32_t n);
// cols := n and the lengths of both column vectors := n. n outside
// 0..column capacity is a solver error. Flags are left alone.
void SparseMatrix_SetCols(SparseMatrix* A, std::int32_t n);
// nnz := n and the lengths of the row-index and value vectors := n. n outside
// 0..entry capacity is a solver error. Flags are left alone.
void SparseMatrix_SetNNZ(SparseMatrix* A, std::int32_t n);
// The three setters at once.
void SparseMatrix_SetSize(SparseMatrix* A, std::int32_t rows, std::int32_t cols,
                          std::int32_t nnz);
// flags := value.
void SparseMatrix_SetFlags(SparseMatrix* A, std::int32_t flags);

// ---------------------------------------------------------------------------
// Exchange form (SparseMatrix.cpp)
//
// A receiver of a matrix from a callback does:
//   std::int32_t count = SparseMatrix_PrepareExchange(J, n, room);
//   callback(..., n, &count, IDenseVector_Array(SparseMatrix_ColStart(J)),
//            IDenseVector_Array(SparseMatrix_ColLen(J)),
//            IDenseVector_Array(SparseMatrix_RowIndex(J)),
//            DenseVector_Array(SparseMatrix_Values(J)));
//   SparseMatrix_FinishExchange(J, count, "MCP: Jacobian");
// and never reads the arrays between the two calls.

// Makes J an n x n matrix ready to be filled through its raw arrays: every
// column empty (start 1, length 0), nnz := room, flags cleared (the result is
// handled as unpacked and without known diagonal). Returns room, the count to
// hand to the callback. n or room outside the matrix's capacities (or
// negative) is a solver error.
std::int32_t SparseMatrix_PrepareExchange(SparseMatrix* J, std::int32_t n, std::int32_t room);

// Checks what the callback wrote against the room set by the preparation:
// 0 <= count <= room; every column's start >= 1, length >= 0 and last
// position <= count; the lengths add up to at most count; every row index of
// a stored position in 1..n, and no row twice in a column. A violation is
// the solver error
// "<source>: <what is wrong>\n" and leaves J empty (nnz 0). Otherwise
// nnz := count. Never reads positions outside the room.
void SparseMatrix_FinishExchange(SparseMatrix* J, std::int32_t count, const char* source);

// ---------------------------------------------------------------------------
// Clones (SparseMatrix.cpp)
//
// A map is an IDenseVector indexed by the source row (column): a value v >= 1
// sends that row (column) to number v of the result, a value <= 0 drops it.
// The positive values must be exactly 1..count; a map shorter than the
// source's rows (columns) or with a positive value above its count is a
// solver error. Every clone checks that dst has room for its result (solver
// error "insufficient capacity"); dst is never grown.

// Both maps null: SparseMatrix_CloneFull; otherwise SparseMatrix_ClonePartial.
void SparseMatrix_Clone(SparseMatrix* dst, const SparseMatrix* src, const IDenseVector* rowmap,
                        const IDenseVector* colmap, int add_diagonal);

// dst := src, adding (j, 0.0) for every missing diagonal entry when
// add_diagonal is set (then dst's flags have bits 1 and 4). dst == src: no-op
// without add, solver error with add.
void SparseMatrix_CloneFull(SparseMatrix* dst, const SparseMatrix* src, int add_diagonal);

// dst := the submatrix selected and renumbered by the maps (null map: keep
// all), with missing diagonals added when asked; flags := 5 with add, 4
// without. dst == src is a solver error.
void SparseMatrix_ClonePartial(SparseMatrix* dst, const SparseMatrix* src,
                               const IDenseVector* rowmap, const IDenseVector* colmap,
                               int add_diagonal);

// The three copy steps of the full clone; src has rows, cols and entries.
// Add-diagonal copy (packed, flags | 5), compacting copy (packed, flags | 4),
// and the four-array copy of a packed source (flags copied).
void SparseMatrix_CopyAddDiagonal(SparseMatrix* dst, const SparseMatrix* src);
void SparseMatrix_CopyCompact(SparseMatrix* dst, const SparseMatrix* src);
void SparseMatrix_CopyPacked(SparseMatrix* dst, const SparseMatrix* src);

// The six copy steps of the partial clone; the counts are the numbers of
// positive map values (the result's rows and columns).
void SparseMatrix_CloneRows(SparseMatrix* dst, const SparseMatrix* src,
                            const IDenseVector* rowmap, std::int32_t new_rows);
void SparseMatrix_CloneCols(SparseMatrix* dst, const SparseMatrix* src,
                            const IDenseVector* colmap, std::int32_t new_cols);
void SparseMatrix_CloneRowsCols(SparseMatrix* dst, const SparseMatrix* src,
                                const IDenseVector* rowmap, std::int32_t new_rows,
                                const IDenseVector* colmap, std::int32_t new_cols);
void SparseMatrix_CloneRowsAddDiagonal(SparseMatrix* dst, const SparseMatrix* src,
                                       const IDenseVector* rowmap, std::int32_t new_rows);
void SparseMatrix_CloneColsAddDiagonal(SparseMatrix* dst, const SparseMatrix* src,
                                       const IDenseVector* colmap, std::int32_t new_cols);
void SparseMatrix_CloneRowsColsAddDiagonal(SparseMatrix* dst, const SparseMatrix* src,
                                           const IDenseVector* rowmap, std::int32_t new_rows,
                                           const IDenseVector* colmap, std::int32_t new_cols);

// Number of entries a clone with these maps would write (64-bit; maps may be
// null). Used to size a destination before cloning into it.
std::int64_t SparseMatrix_CloneEntryCount(const SparseMatrix* src, const IDenseVector* rowmap,
                                          const IDenseVector* colmap, int add_diagonal);

// Sum of the column lengths (64-bit): the number of entries the columns hold.
std::int64_t SparseMatrix_StoredEntries(const SparseMatrix* A);

// ---------------------------------------------------------------------------
// Element access and extraction (SparseMatrixEdit.cpp)
//
// Rows and columns count from 1. An entry (i, j) is found by scanning column
// j in stored order; the first match counts. A column argument outside
// 1..cols is a solver error; a destination vector without the capacity for
// its result is a solver error.

// Value of (row, col); 0.0 when not stored.
double SparseMatrix_GetElement(const SparseMatrix* A, std::int32_t row, std::int32_t col);

// dst := row `row` of A (length cols), or its columns renumbered by colmap
// (length = number of positive colmap values). Missing entries are 0.0.
void SparseMatrix_GetRow(DenseVector* dst, const SparseMatrix* A, std::int32_t row,
                         const IDenseVector* colmap);
void SparseMatrix_GetRowFull(DenseVector* dst, const SparseMatrix* A, std::int32_t row);
void SparseMatrix_GetRowPartial(DenseVector* dst, const SparseMatrix* A, std::int32_t row,
                                const IDenseVector* colmap);

// dst := column `col` of A (length rows), or its rows renumbered by rowmap
// (length = number of positive rowmap values).
void SparseMatrix_GetCol(DenseVector* dst, const SparseMatrix* A, std::int32_t col,
                         const IDenseVector* rowmap);
void SparseMatrix_GetColFull(DenseVector* dst, const SparseMatrix* A, std::int32_t col);
void SparseMatrix_GetColPartial(DenseVector* dst, const SparseMatrix* A, std::int32_t col,
                                const IDenseVector* rowmap);

// dst := the diagonal, length min(rows, cols); 0.0 where not stored.
void SparseMatrix_GetDiagonal(DenseVector* dst, const SparseMatrix* A);

// In-place changes of one stored entry; a missing entry is the solver error
// "SparseMatrix(line): <Op>: element not found". SubElement adds 0.0 - value
// and reports as AddElement.
void SparseMatrix_ReplaceElement(SparseMatrix* A, std::int32_t row, std::int32_t col, double value);
void SparseMatrix_AddElement(SparseMatrix* A, std::int32_t row, std::int32_t col, double value);
void SparseMatrix_SubElement(SparseMatrix* A, std::int32_t row, std::int32_t col, double value);
void SparseMatrix_SMulElement(SparseMatrix* A, std::int32_t row, std::int32_t col, double value);

// Every stored value (of one column) v := 0.0 - v.
void SparseMatrix_Negate(SparseMatrix* A);
void SparseMatrix_NegateCol(SparseMatrix* A, std::int32_t col);

// a(i,j) := a(i,j) * s(i) (rows), * s(j) (cols), / s(i), / s(j); s is read
// at the first rows (cols) elements. No zero tests.
void SparseMatrix_ScaleRows(SparseMatrix* A, const DenseVector* s);
void SparseMatrix_ScaleCols(SparseMatrix* A, const DenseVector* s);
void SparseMatrix_UnscaleRows(SparseMatrix* A, const DenseVector* s);
void SparseMatrix_UnscaleCols(SparseMatrix* A, const DenseVector* s);

// a(j,j) += d(j) / += value / -= d(j) / -= value for j = 1..min(rows, cols),
// in order; a column without its diagonal entry stops with the solver error
// "could not perform perturbation" (earlier columns already changed).
void SparseMatrix_PerturbDiagonal(SparseMatrix* A, const DenseVector* d);
void SparseMatrix_PerturbDiagonalVal(SparseMatrix* A, double value);
void SparseMatrix_UnperturbDiagonal(SparseMatrix* A, const DenseVector* d);
void SparseMatrix_UnperturbDiagonalVal(SparseMatrix* A, double value);

// Moves column col's entry from row r to row s. r == s: nothing. Exactly one
// entry must end in row s: none is "permutation not done", two or more
// "column contains two entries". Moving a diagonal entry away clears the
// every-diagonal flag.
void SparseMatrix_RPermElement(SparseMatrix* A, std::int32_t r, std::int32_t col, std::int32_t s);

// ---------------------------------------------------------------------------
// Builders and structural edits (SparseMatrixEdit.cpp)
//
// New columns are written at positions nnz + 1 onward (a packed matrix stays
// packed). Every operation checks the capacities first (solver error
// "insufficient capacity") and ends with the vector lengths set to cols and
// nnz. When an edit widens the diagonal range of a matrix flagged as storing
// every diagonal, the flag is kept only if the new diagonal entries exist.

// rows x cols zero-diagonal pattern: columns 1..m = min(rows, cols) hold
// (j, 0.0) at position j, later columns are empty; flags unchanged.
void SparseMatrix_SetDiagonalPattern(SparseMatrix* A, std::int32_t rows, std::int32_t cols);
// n x n diagonal matrix with every diagonal entry = value; flags := 5.
void SparseMatrix_SetScaledIdentity(SparseMatrix* A, std::int32_t n, double value);
void SparseMatrix_SetIdentity(SparseMatrix* A, std::int32_t n);
void SparseMatrix_SetNegIdentity(SparseMatrix* A, std::int32_t n);

// rows += k; storage untouched.
void SparseMatrix_AddRows(SparseMatrix* A, std::int32_t k);
// Appends k columns; new column c holds (c, 0.0) when c <= rows.
void SparseMatrix_AppendDiagonalCols(SparseMatrix* A, std::int32_t k);
// Appends k columns and r rows; the first min(r, k) new columns c hold
// (c, 0.0) when c <= the grown row count.
void SparseMatrix_AppendDiagonalBlock(SparseMatrix* A, std::int32_t r, std::int32_t k);
// Appends k columns, the i-th holding +1.0 (-1.0) in row i; rows unchanged.
void SparseMatrix_AppendIdentity(SparseMatrix* A, std::int32_t k);
void SparseMatrix_AppendNegIdentity(SparseMatrix* A, std::int32_t k);
// Appends k columns and k rows; new column c holds +1.0 (-1.0) in row c.
void SparseMatrix_AppendIdentityBlock(SparseMatrix* A, std::int32_t k);
void SparseMatrix_AppendNegIdentityBlock(SparseMatrix* A, std::int32_t k);
// Appends one column holding (i, x(i)) for every x(i) != 0.0 (NaN kept);
// x's rows must lie within A's rows.
void SparseMatrix_AppendColumn(SparseMatrix* A, const DenseVector* x);
// Appends B's columns, dropping entries equal to 0.0; rows unchanged (B's
// rows must not exceed A's). B must not be A.
void SparseMatrix_AppendMatrix(SparseMatrix* A, const SparseMatrix* B);
// Appends B as a diagonal block below and right of A (see the source for the
// diagonal rule); rows += B rows, cols += B cols. B must not be A.
void SparseMatrix_AppendBlockDiagonal(SparseMatrix* A, const SparseMatrix* B);
// Removes columns first..last; last must equal cols ("not done in general").
// The removed columns' entries are taken to be the last positions.
void SparseMatrix_RemoveCols(SparseMatrix* A, std::int32_t first, std::int32_t last);
// B := A transposed, packed, rows ascending in every column. B must not be A
// and must have room for A's rows as columns and A's entries. B keeps its
// other flag bits; it is marked packed, and as storing every diagonal when A
// is so marked.
void SparseMatrix_Transpose(SparseMatrix* B, const SparseMatrix* A);

// ---------------------------------------------------------------------------
// Products (SparseMatrixProducts.cpp)
//
// y is set to its stated length (rows for A x, cols for A' x); its capacity
// and x's capacity are checked (solver error "insufficient capacity"); y must
// not be x. z may be null (treated as zeros) and may be y.

// y := A x + z, A x - z, sign z + A x.
void SparseMatrix_Mult(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                       const DenseVector* z);
void SparseMatrix_MultSub(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                          const DenseVector* z);
void SparseMatrix_MultSigned(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                             double sign, const DenseVector* z);
// y(i) += a(i,j) x(j), skipping columns whose x(j) is 0.0 (no checks).
void SparseMatrix_MultAccumulate(DenseVector* y, const SparseMatrix* A, const DenseVector* x);

// y := alpha A x + z, alpha A x - z, sign z + alpha A x.
void SparseMatrix_ScaledMult(DenseVector* y, double alpha, const SparseMatrix* A,
                             const DenseVector* x, const DenseVector* z);
void SparseMatrix_ScaledMultSub(DenseVector* y, double alpha, const SparseMatrix* A,
                                const DenseVector* x, const DenseVector* z);
void SparseMatrix_ScaledMultSigned(DenseVector* y, double alpha, const SparseMatrix* A,
                                   const DenseVector* x, double sign, const DenseVector* z);
// alpha == 0.0: nothing; else y(i) += t a(i,j), t = alpha x(j), skipping t == 0.0.
void SparseMatrix_ScaledMultAccumulate(DenseVector* y, double alpha, const SparseMatrix* A,
                                       const DenseVector* x);

// y := A' x + z, A' x - z, sign z + A' x.
void SparseMatrix_TransMult(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                            const DenseVector* z);
void SparseMatrix_TransMultSub(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                               const DenseVector* z);
void SparseMatrix_TransMultSigned(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                                  double sign, const DenseVector* z);
// y(j) += (sum over column j of a(i,j) x(i)), the sum formed from 0.0.
void SparseMatrix_TransMultAccumulate(DenseVector* y, const SparseMatrix* A, const DenseVector* x);

// y := alpha A' x + z, alpha A' x - z, sign z + alpha A' x.
void SparseMatrix_ScaledTransMult(DenseVector* y, double alpha, const SparseMatrix* A,
                                  const DenseVector* x, const DenseVector* z);
void SparseMatrix_ScaledTransMultSub(DenseVector* y, double alpha, const SparseMatrix* A,
                                     const DenseVector* x, const DenseVector* z);
void SparseMatrix_ScaledTransMultSigned(DenseVector* y, double alpha, const SparseMatrix* A,
                                        const DenseVector* x, double sign, const DenseVector* z);
// alpha == 0.0: nothing; else y(j) += alpha * (sum over column j of a(i,j) x(i)).
void SparseMatrix_ScaledTransMultAccumulate(DenseVector* y, double alpha, const SparseMatrix* A,
                                            const DenseVector* x);

// y := z (or zeros of length rows); then y += a(:, c(k)) v(k) for every k
// with v(k) != 0.0. A column number outside 1..cols is a solver error.
void SparseMatrix_MultColumns(DenseVector* y, const SparseMatrix* A, const IDenseVector* c,
                              const DenseVector* v, const DenseVector* z);

// ---------------------------------------------------------------------------
// Per-row and per-column measures (SparseMatrixProducts.cpp): the result is
// zeroed first to length rows (row measures) or cols (column measures).

void SparseMatrix_RowSum(DenseVector* d, const SparseMatrix* A);
void SparseMatrix_ColSum(DenseVector* d, const SparseMatrix* A);
void SparseMatrix_RowSumSquares(DenseVector* d, const SparseMatrix* A);
void SparseMatrix_ColSumSquares(DenseVector* d, const SparseMatrix* A);
// d(j) = sum over column j of (x(i) a(i,j))^2.
void SparseMatrix_ScaledColSumSquares(DenseVector* d, const SparseMatrix* A, const DenseVector* x);
void SparseMatrix_RowSumAbs(DenseVector* d, const SparseMatrix* A);
void SparseMatrix_ColSumAbs(DenseVector* d, const SparseMatrix* A);
// Largest abs value per row (column); 0.0 when empty.
void SparseMatrix_RowMaxAbs(DenseVector* d, const SparseMatrix* A);
void SparseMatrix_ColMaxAbs(DenseVector* d, const SparseMatrix* A);

// ---------------------------------------------------------------------------
// Norms and extreme values (SparseMatrixProducts.cpp)

// work := column (row) sums of abs values; value := the largest (first of
// equals), index := its 1-based column (row); no columns (rows): 0.0 and 0.
void SparseMatrix_Norm1(double* value, std::int32_t* index, DenseVector* work,
                        const SparseMatrix* A);
void SparseMatrix_NormInf(double* value, std::int32_t* index, DenseVector* work,
                          const SparseMatrix* A);
// sqrt(Norm1 * NormInf), an upper bound of the 2-norm.
double SparseMatrix_Norm2Bound(const SparseMatrix* A, DenseVector* work);
// sqrt of the sum of squares of all stored values.
double SparseMatrix_NormFrobenius(const SparseMatrix* A);

// Smallest / largest stored value that is not 0.0 (of the whole matrix, one
// row, one column; or of the abs values); 0.0 when there is none. The first
// candidate is replaced only by a strictly smaller (larger) one.
double SparseMatrix_MinNonzero(const SparseMatrix* A);
double SparseMatrix_MaxNonzero(const SparseMatrix* A);
double SparseMatrix_RowMinNonzero(const SparseMatrix* A, std::int32_t row);
double SparseMatrix_RowMaxNonzero(const SparseMatrix* A, std::int32_t row);
double SparseMatrix_ColMinNonzero(const SparseMatrix* A, std::int32_t col);
double SparseMatrix_ColMaxNonzero(const SparseMatrix* A, std::int32_t col);
double SparseMatrix_MinAbsNonzero(const SparseMatrix* A);
double SparseMatrix_MaxAbsNonzero(const SparseMatrix* A);
double SparseMatrix_RowMinAbsNonzero(const SparseMatrix* A, std::int32_t row);
double SparseMatrix_RowMaxAbsNonzero(const SparseMatrix* A, std::int32_t row);
double SparseMatrix_ColMinAbsNonzero(const SparseMatrix* A, std::int32_t col);
double SparseMatrix_ColMaxAbsNonzero(const SparseMatrix* A, std::int32_t col);

// Magnitude statistics over the non-zero entries: the largest abs value with
// its row and column (first wins; (1, 1) when none), the mean and the sample
// deviation of the abs values (0.0 when none).
void SparseMatrix_Statistics(const SparseMatrix* A, double* largest, std::int32_t* row,
                             std::int32_t* col, double* mean, double* deviation);

// ---------------------------------------------------------------------------
// Printing through Output_Printf with the caller's mode (SparseMatrixProducts.cpp)

// "%d\n" with cols, then (r, c, value) with the printf format for every
// entry of every kept column (maps may be null).
void SparseMatrix_Display(const SparseMatrix* A, const IDenseVector* rowmap,
                          const IDenseVector* colmap, const char* format, int mode);
// Display without maps, format "(%5d,%5d)   % .10e\n".
void SparseMatrix_Print(const SparseMatrix* A, int mode);
// For k = 1..(list length, or cols) prints column list(k)'s entries with
// mapped row r >= 1 and value != 0.0 as (r, k, value); no header line.
void SparseMatrix_DisplayColumns(const SparseMatrix* A, const IDenseVector* rowmap,
                                 const IDenseVector* list, const char* format, int mode);
