// SparseMatrix: record, lifecycle, sizes, the exchange form and the clones.
#include "core/SparseMatrix.hpp"

#include <algorithm>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix_internal.hpp"

using namespace sparse_internal;

namespace {

std::int32_t AtLeastOne(std::int32_t n) { return n < 1 ? 1 : n; }

void FreeMembers(SparseMatrix* A) {
  IDenseVector_Destroy(A->col_start);
  IDenseVector_Destroy(A->col_len);
  IDenseVector_Destroy(A->row_index);
  DenseVector_Destroy(A->values);
}

}  // namespace

// ---------------------------------------------------------------------------
// Lifecycle and sizes

SparseMatrix* SparseMatrix_Create(std::int32_t rows, std::int32_t cols, std::int32_t nnz) {
  auto* A = Memory_AllocateArray<SparseMatrix>(1);
  A->col_start = nullptr;
  A->col_len = nullptr;
  A->row_index = nullptr;
  A->values = nullptr;
  A->max_rows = AtLeastOne(rows);
  A->max_cols = AtLeastOne(cols);
  A->max_nnz = AtLeastOne(nnz);
  A->rows = 0;
  A->cols = 0;
  A->nnz = 0;
  A->flags = 0;
  A->refcount = 1;
  try {
    A->col_start = IDenseVector_Create(A->max_cols);
    A->col_len = IDenseVector_Create(A->max_cols);
    A->row_index = IDenseVector_Create(A->max_nnz);
    A->values = DenseVector_Create(A->max_nnz);
  } catch (...) {
    // An allocation failure left by exception: release what was made.
    FreeMembers(A);
    Memory_Free(A);
    throw;
  }
  return A;
}

std::int32_t SparseMatrix_Destroy(SparseMatrix* A) {
  if (A == nullptr) return 0;
  A->refcount -= 1;
  if (A->refcount > 0) return A->refcount;
  FreeMembers(A);
  Memory_Free(A);
  return 0;
}

std::int32_t SparseMatrix_Reference(SparseMatrix* A) {
  A->refcount += 1;
  return A->refcount;
}

void SparseMatrix_Resize(SparseMatrix* A, std::int32_t rows, std::int32_t cols,
                         std::int32_t nnz) {
  rows = AtLeastOne(rows);
  cols = AtLeastOne(cols);
  nnz = AtLeastOne(nnz);
  if (rows > A->max_rows) A->max_rows = rows;
  if (cols > A->max_cols) {
    IDenseVector_Size(A->col_start, cols);
    IDenseVector_Size(A->col_len, cols);
    A->max_cols = cols;
  }
  if (nnz > A->max_nnz) {
    IDenseVector_Size(A->row_index, nnz);
    DenseVector_Size(A->values, nnz);
    A->max_nnz = nnz;
  }
}

void SparseMatrix_SetRows(SparseMatrix* A, std::int32_t n) { A->rows = n; }

void SparseMatrix_SetCols(SparseMatrix* A, std::int32_t n) {
  if (n < 0 || n > A->max_cols) Error_Report(kModule, __LINE__, "SetCols", "insufficient capacity");
  A->cols = n;
  IDenseVector_SetLength(A->col_start, n);
  IDenseVector_SetLength(A->col_len, n);
}

void SparseMatrix_SetNNZ(SparseMatrix* A, std::int32_t n) {
  if (n < 0 || n > A->max_nnz) Error_Report(kModule, __LINE__, "SetNNZ", "insufficient capacity");
  A->nnz = n;
  IDenseVector_SetLength(A->row_index, n);
  DenseVector_SetLength(A->values, n);
}

void SparseMatrix_SetSize(SparseMatrix* A, std::int32_t rows, std::int32_t cols,
                          std::int32_t nnz) {
  SparseMatrix_SetRows(A, rows);
  SparseMatrix_SetCols(A, cols);
  SparseMatrix_SetNNZ(A, nnz);
}

void SparseMatrix_SetFlags(SparseMatrix* A, std::int32_t flags) { A->flags = flags; }

SparseMatrix_ColumnView SparseMatrix_Columns(const SparseMatrix* A) {
  assert(A);
  return {Starts(A), Lengths(A), Rows(A), Values(A)};
}

std::int64_t SparseMatrix_StoredEntries(const SparseMatrix* A) {
  const std::int32_t* len = Lengths(A);
  std::int64_t total = 0;
  for (std::int32_t j = 0; j < A->cols; ++j) total += len[j];
  return total;
}

// ---------------------------------------------------------------------------
// Exchange form

std::int32_t SparseMatrix_PrepareExchange(SparseMatrix* J, std::int32_t n, std::int32_t room) {
  if (n < 0 || n > J->max_cols || room < 0 || room > J->max_nnz) {
    Error_Report(kModule, __LINE__, "PrepareExchange", "insufficient capacity");
  }
  J->rows = n;
  J->cols = n;
  J->nnz = room;
  J->flags &= ~(SPARSE_DIAGONAL | SPARSE_PACKED);
  SyncLengths(J);
  std::int32_t* start = Starts(J);
  std::int32_t* len = Lengths(J);
  for (std::int32_t j = 0; j < n; ++j) {
    start[j] = 1;
    len[j] = 0;
  }
  return room;
}

namespace {

// Leaves J empty (every column start 1, length 0, nnz 0) so that nothing of a
// rejected exchange is ever read.
void ClearExchange(SparseMatrix* J) {
  std::int32_t* start = Starts(J);
  std::int32_t* len = Lengths(J);
  for (std::int32_t j = 0; j < J->cols; ++j) {
    start[j] = 1;
    len[j] = 0;
  }
  J->nnz = 0;
  SyncLengths(J);
}

// What is wrong with the row indices of J's stored positions, in column
// order: a row outside 1..J->rows, or a row twice in one column (kNone when
// neither). *column and *row (1-based) name the first such entry.
enum class RowFault { kNone, kOutside, kTwice };

RowFault FindRowFault(const SparseMatrix* J, std::int32_t* column, std::int32_t* row) {
  const std::int32_t* start = Starts(J);
  const std::int32_t* len = Lengths(J);
  const std::int32_t* rows = Rows(J);
  // seen[i] = j + 1 once row i + 1 occurred in column j + 1.
  std::int32_t* seen = Memory_AllocateArray<std::int32_t>(J->rows > 0 ? J->rows : 1);
  for (std::int32_t i = 0; i < J->rows; ++i) seen[i] = 0;
  RowFault fault = RowFault::kNone;
  for (std::int32_t j = 0; j < J->cols && fault == RowFault::kNone; ++j) {
    for (std::int64_t p = start[j] - 1; p < start[j] - 1 + len[j]; ++p) {
      const std::int32_t i = rows[p];
      if (i < 1 || i > J->rows) {
        fault = RowFault::kOutside;
      } else if (seen[i - 1] == j + 1) {
        fault = RowFault::kTwice;
      } else {
        seen[i - 1] = j + 1;
        continue;
      }
      *column = j + 1;
      *row = i;
      break;
    }
  }
  Memory_Free(seen);
  return fault;
}

}  // namespace

void SparseMatrix_FinishExchange(SparseMatrix* J, std::int32_t count, const char* source) {
  if (source == nullptr) source = "Sparse matrix";
  const std::int32_t room = J->nnz;
  const std::int32_t n = J->cols;
  if (count < 0 || count > room) {
    ClearExchange(J);
    Error_SolverError("%s: the entry count %d is outside 0..%d.\n", source, count, room);
  }
  const std::int32_t* start = Starts(J);
  const std::int32_t* len = Lengths(J);
  std::int64_t total = 0;
  for (std::int32_t j = 0; j < n; ++j) {
    const std::int64_t first = start[j];
    const std::int64_t length = len[j];
    if (length < 0 || (length > 0 && (first < 1 || first + length - 1 > count))) {
      ClearExchange(J);
      Error_SolverError("%s: column %d (start %lld, length %lld) lies outside the %d entries.\n",
                        source, j + 1, static_cast<long long>(first),
                        static_cast<long long>(length), count);
    }
    total += length;
  }
  if (total > count) {
    ClearExchange(J);
    Error_SolverError("%s: the column lengths add up to %lld, more than the %d entries.\n",
                      source, static_cast<long long>(total), count);
  }
  std::int32_t column = 0;
  std::int32_t row = 0;
  RowFault fault = RowFault::kNone;
  try {
    fault = FindRowFault(J, &column, &row);
  } catch (...) {  // its scratch could not be had: nothing of J is read
    ClearExchange(J);
    throw;
  }
  if (fault != RowFault::kNone) {
    ClearExchange(J);
    if (fault == RowFault::kOutside) {
      Error_SolverError("%s: row index %d in column %d is outside 1..%d.\n", source, row, column,
                        n);
    }
    Error_SolverError("%s: row index %d occurs twice in column %d.\n", source, row, column);
  }
  J->nnz = count;
  SyncLengths(J);
}

// ---------------------------------------------------------------------------
// Clones

void sparse_internal::WritePattern(SparseMatrix* A, std::int32_t rows, std::int32_t cols,
                                   bool with_diagonal, const char* operation, int line) {
  const std::int32_t m = with_diagonal ? MinInt(rows, cols) : 0;
  const std::int32_t diagonals = m < 0 ? 0 : m;
  RequireRoom(A, cols < 0 ? 0 : cols, diagonals, operation, line);
  std::int32_t* start = Starts(A);
  std::int32_t* len = Lengths(A);
  std::int32_t* row = Rows(A);
  double* value = Values(A);
  for (std::int32_t j = 1; j <= cols; ++j) {
    if (j <= diagonals) {
      start[j - 1] = j;
      len[j - 1] = 1;
      row[j - 1] = j;
      value[j - 1] = 0.0;
    } else {
      start[j - 1] = diagonals + 1;
      len[j - 1] = 0;
    }
  }
  A->rows = rows;
  A->cols = cols < 0 ? 0 : cols;
  A->nnz = diagonals;
  SyncLengths(A);
}

namespace {

// The column-by-column copy behind every clone. Result column c is source
// column j (or colmap(j) when there is a column map); rows go through the
// row map when there is one (dropped when <= 0); with kAdd a missing
// diagonal (c, 0.0) is appended at the end of column c <= min(new_rows,
// new_cols). The result is written from position 1 without gaps in source
// column order. With kWrite false only the number of entries is counted.
template <bool kRowMap, bool kColMap, bool kAdd, bool kWrite>
std::int64_t CopyColumns(SparseMatrix* dst, const SparseMatrix* src, const std::int32_t* rowmap,
                         const std::int32_t* colmap, std::int32_t new_rows,
                         std::int32_t new_cols) {
  const std::int32_t* s_start = Starts(src);
  const std::int32_t* s_len = Lengths(src);
  const std::int32_t* s_row = Rows(src);
  const double* s_val = Values(src);
  std::int32_t* d_start = kWrite ? Starts(dst) : nullptr;
  std::int32_t* d_len = kWrite ? Lengths(dst) : nullptr;
  std::int32_t* d_row = kWrite ? Rows(dst) : nullptr;
  double* d_val = kWrite ? Values(dst) : nullptr;
  const std::int32_t m = MinInt(new_rows, new_cols);
  if (kColMap && kWrite) {
    for (std::int32_t c = 0; c < new_cols; ++c) {
      d_start[c] = 1;
      d_len[c] = 0;
    }
  }
  std::int64_t pos = 0;
  for (std::int32_t j = 1; j <= src->cols; ++j) {
    const std::int32_t c = kColMap ? colmap[j - 1] : j;
    if (kColMap && c < 1) continue;
    const std::int64_t begin = pos;
    bool has_diagonal = false;
    const std::int64_t first = s_start[j - 1] - 1;
    const std::int64_t end = first + s_len[j - 1];
    for (std::int64_t p = first; p < end; ++p) {
      std::int32_t r = s_row[p];
      if (kRowMap) {
        r = rowmap[r - 1];
        if (r < 1) continue;
      }
      if (kAdd && r == c) has_diagonal = true;
      if (kWrite) {
        d_row[pos] = r;
        d_val[pos] = s_val[p];
      }
      ++pos;
    }
    if (kAdd && !has_diagonal && c <= m) {
      if (kWrite) {
        d_row[pos] = c;
        d_val[pos] = 0.0;
      }
      ++pos;
    }
    if (kWrite) {
      d_start[c - 1] = static_cast<std::int32_t>(begin + 1);
      d_len[c - 1] = static_cast<std::int32_t>(pos - begin);
    }
  }
  return pos;
}

template <bool kRowMap, bool kColMap, bool kAdd>
std::int64_t CountColumns(const SparseMatrix* src, const std::int32_t* rowmap,
                          const std::int32_t* colmap, std::int32_t new_rows,
                          std::int32_t new_cols) {
  return CopyColumns<kRowMap, kColMap, kAdd, false>(nullptr, src, rowmap, colmap, new_rows,
                                                     new_cols);
}

// Exact entry count of a copy step, by map presence and add.
std::int64_t CountStep(const SparseMatrix* src, const std::int32_t* rowmap,
                       const std::int32_t* colmap, std::int32_t new_rows, std::int32_t new_cols,
                       bool add) {
  const bool r = rowmap != nullptr;
  const bool c = colmap != nullptr;
  if (add) {
    if (r && c) return CountColumns<true, true, true>(src, rowmap, colmap, new_rows, new_cols);
    if (r) return CountColumns<true, false, true>(src, rowmap, colmap, new_rows, new_cols);
    if (c) return CountColumns<false, true, true>(src, rowmap, colmap, new_rows, new_cols);
    return CountColumns<false, false, true>(src, rowmap, colmap, new_rows, new_cols);
  }
  if (r && c) return CountColumns<true, true, false>(src, rowmap, colmap, new_rows, new_cols);
  if (r) return CountColumns<true, false, false>(src, rowmap, colmap, new_rows, new_cols);
  if (c) return CountColumns<false, true, false>(src, rowmap, colmap, new_rows, new_cols);
  return CountColumns<false, false, false>(src, rowmap, colmap, new_rows, new_cols);
}

// Checks that dst can hold a copy step's result: its columns, and its entries
// (a quick bound first, the exact count only when the bound does not fit).
void RequireCloneRoom(const SparseMatrix* dst, const SparseMatrix* src, const std::int32_t* rowmap,
                      const std::int32_t* colmap, std::int32_t new_rows, std::int32_t new_cols,
                      bool add, const char* operation, int line) {
  RequireRoom(dst, new_cols, 0, operation, line);
  std::int64_t bound = SparseMatrix_StoredEntries(src);
  if (add) {
    const std::int32_t m = MinInt(new_rows, new_cols);
    bound += m > 0 ? m : 0;
  }
  if (bound <= dst->max_nnz) return;
  RequireRoom(dst, new_cols, CountStep(src, rowmap, colmap, new_rows, new_cols, add), operation,
              line);
}

// A map must cover the source's rows (columns) and have exactly `count`
// positive values, each within 1..count.
void CheckMap(const IDenseVector* map, std::int32_t source_count, std::int32_t count,
              const char* operation, int line) {
  if (IDenseVector_Length(map) < source_count) {
    Error_Report(kModule, line, operation, "map shorter than the matrix");
  }
  const std::int32_t* v = IDenseVector_Array(map);
  std::int32_t positives = 0;
  for (std::int32_t i = 0; i < IDenseVector_Length(map); ++i) {
    if (v[i] < 1) continue;
    if (v[i] > count) Error_Report(kModule, line, operation, "map value out of range");
    ++positives;
  }
  if (positives != count) Error_Report(kModule, line, operation, "map count mismatch");
}

// Every positive column-map value must occur once; dst's start vector (room
// already checked) serves as the mark array.
void CheckColumnMapDistinct(SparseMatrix* dst, const IDenseVector* colmap, std::int32_t new_cols,
                            const char* operation, int line) {
  std::int32_t* mark = Starts(dst);
  for (std::int32_t c = 0; c < new_cols; ++c) mark[c] = 0;
  const std::int32_t* v = IDenseVector_Array(colmap);
  for (std::int32_t i = 0; i < IDenseVector_Length(colmap); ++i) {
    if (v[i] < 1) continue;
    if (mark[v[i] - 1] != 0) Error_Report(kModule, line, operation, "map value repeated");
    mark[v[i] - 1] = 1;
  }
}

void FinishCopy(SparseMatrix* dst, std::int32_t rows, std::int32_t cols, std::int64_t entries,
                std::int32_t flags) {
  dst->rows = rows;
  dst->cols = cols;
  dst->nnz = static_cast<std::int32_t>(entries);
  dst->flags = flags;
  SyncLengths(dst);
}

// One copy step of the partial clone: checks the maps and the room, writes,
// and assigns flags 5 (add) or 4.
template <bool kRowMap, bool kColMap, bool kAdd>
void PartialStep(SparseMatrix* dst, const SparseMatrix* src, const IDenseVector* rowmap,
                 std::int32_t new_rows, const IDenseVector* colmap, std::int32_t new_cols,
                 const char* operation, int line) {
  if (dst == src) Error_Report(kModule, line, operation, "cannot partial clone in place");
  if (!kRowMap) new_rows = src->rows;
  if (!kColMap) new_cols = src->cols;
  if (kRowMap) CheckMap(rowmap, src->rows, new_rows, operation, line);
  if (kColMap) CheckMap(colmap, src->cols, new_cols, operation, line);
  const std::int32_t* rmap = kRowMap ? IDenseVector_Array(rowmap) : nullptr;
  const std::int32_t* cmap = kColMap ? IDenseVector_Array(colmap) : nullptr;
  RequireCloneRoom(dst, src, rmap, cmap, new_rows, new_cols, kAdd, operation, line);
  if (kColMap) CheckColumnMapDistinct(dst, colmap, new_cols, operation, line);
  const std::int64_t entries =
      CopyColumns<kRowMap, kColMap, kAdd, true>(dst, src, rmap, cmap, new_rows, new_cols);
  FinishCopy(dst, new_rows, new_cols, entries, kAdd ? SPARSE_DIAGONAL | SPARSE_PACKED : SPARSE_PACKED);
}

bool HasContent(const SparseMatrix* src, std::int32_t rows, std::int32_t cols) {
  return rows != 0 && cols != 0 && src->nnz != 0;
}

}  // namespace

std::int64_t SparseMatrix_CloneEntryCount(const SparseMatrix* src, const IDenseVector* rowmap,
                                          const IDenseVector* colmap, int add_diagonal) {
  const bool add = add_diagonal != 0;
  if (rowmap == nullptr && colmap == nullptr) {
    if (!HasContent(src, src->rows, src->cols)) {
      const std::int32_t m = MinInt(src->rows, src->cols);
      return add && m > 0 ? m : 0;
    }
    if (add && (src->flags & SPARSE_DIAGONAL) == 0) {
      return CountColumns<false, false, true>(src, nullptr, nullptr, src->rows, src->cols);
    }
    if ((src->flags & SPARSE_PACKED) == 0) return SparseMatrix_StoredEntries(src);
    return src->nnz;
  }
  const std::int32_t new_rows = rowmap ? IDenseVector_CountGT(rowmap, 0) : src->rows;
  const std::int32_t new_cols = colmap ? IDenseVector_CountGT(colmap, 0) : src->cols;
  if (!HasContent(src, new_rows, new_cols)) {
    const std::int32_t m = MinInt(new_rows, new_cols);
    return add && m > 0 ? m : 0;
  }
  return CountStep(src, rowmap ? IDenseVector_Array(rowmap) : nullptr,
                   colmap ? IDenseVector_Array(colmap) : nullptr, new_rows, new_cols, add);
}

void SparseMatrix_Clone(SparseMatrix* dst, const SparseMatrix* src, const IDenseVector* rowmap,
                        const IDenseVector* colmap, int add_diagonal) {
  if (rowmap == nullptr && colmap == nullptr) {
    SparseMatrix_CloneFull(dst, src, add_diagonal);
  } else {
    SparseMatrix_ClonePartial(dst, src, rowmap, colmap, add_diagonal);
  }
}

void SparseMatrix_CloneFull(SparseMatrix* dst, const SparseMatrix* src, int add_diagonal) {
  if (dst == src) {
    if (add_diagonal) {
      Error_Report(kModule, __LINE__, "CloneFull", "cannot clone adding diagonal in place");
    }
    return;
  }
  if (HasContent(src, src->rows, src->cols)) {
    if (add_diagonal && (src->flags & SPARSE_DIAGONAL) == 0) {
      SparseMatrix_CopyAddDiagonal(dst, src);
    } else if ((src->flags & SPARSE_PACKED) == 0) {
      SparseMatrix_CopyCompact(dst, src);
    } else {
      SparseMatrix_CopyPacked(dst, src);
    }
    return;
  }
  WritePattern(dst, src->rows, src->cols, add_diagonal != 0, "CloneFull", __LINE__);
  dst->flags = add_diagonal ? (SPARSE_DIAGONAL | SPARSE_PACKED) : SPARSE_PACKED;
}

void SparseMatrix_CopyAddDiagonal(SparseMatrix* dst, const SparseMatrix* src) {
  if (dst == src) {
    Error_Report(kModule, __LINE__, "CopyAddDiagonal", "cannot clone adding diagonal in place");
  }
  RequireCloneRoom(dst, src, nullptr, nullptr, src->rows, src->cols, true, "CopyAddDiagonal",
                   __LINE__);
  const std::int64_t entries =
      CopyColumns<false, false, true, true>(dst, src, nullptr, nullptr, src->rows, src->cols);
  FinishCopy(dst, src->rows, src->cols, entries, src->flags | SPARSE_DIAGONAL | SPARSE_PACKED);
}

void SparseMatrix_CopyCompact(SparseMatrix* dst, const SparseMatrix* src) {
  if (dst == src) return;
  RequireCloneRoom(dst, src, nullptr, nullptr, src->rows, src->cols, false, "CopyCompact",
                   __LINE__);
  const std::int64_t entries =
      CopyColumns<false, false, false, true>(dst, src, nullptr, nullptr, src->rows, src->cols);
  FinishCopy(dst, src->rows, src->cols, entries, src->flags | SPARSE_PACKED);
}

void SparseMatrix_CopyPacked(SparseMatrix* dst, const SparseMatrix* src) {
  if (dst == src) return;
  // The four vectors are copied at their own lengths.
  const std::int32_t col_length =
      std::max(IDenseVector_Length(src->col_start), IDenseVector_Length(src->col_len));
  const std::int32_t entry_length =
      std::max(IDenseVector_Length(src->row_index), DenseVector_Length(src->values));
  RequireRoom(dst, col_length, entry_length, "CopyPacked", __LINE__);
  IDenseVector_CloneFull(dst->col_start, src->col_start);
  IDenseVector_CloneFull(dst->col_len, src->col_len);
  IDenseVector_CloneFull(dst->row_index, src->row_index);
  DenseVector_CloneFull(dst->values, src->values);
  dst->rows = src->rows;
  dst->cols = src->cols;
  dst->nnz = src->nnz;
  dst->flags = src->flags;
}

void SparseMatrix_ClonePartial(SparseMatrix* dst, const SparseMatrix* src,
                               const IDenseVector* rowmap, const IDenseVector* colmap,
                               int add_diagonal) {
  if (dst == src) {
    Error_Report(kModule, __LINE__, "ClonePartial", "cannot partial clone in place");
  }
  const std::int32_t new_rows = rowmap ? IDenseVector_CountGT(rowmap, 0) : src->rows;
  const std::int32_t new_cols = colmap ? IDenseVector_CountGT(colmap, 0) : src->cols;
  if (!HasContent(src, new_rows, new_cols)) {
    WritePattern(dst, new_rows, new_cols, add_diagonal != 0, "ClonePartial", __LINE__);
    dst->flags = add_diagonal ? (SPARSE_DIAGONAL | SPARSE_PACKED) : SPARSE_PACKED;
    return;
  }
  const bool r = rowmap != nullptr;
  const bool c = colmap != nullptr;
  if (add_diagonal) {
    if (r && c) {
      SparseMatrix_CloneRowsColsAddDiagonal(dst, src, rowmap, new_rows, colmap, new_cols);
    } else if (r) {
      SparseMatrix_CloneRowsAddDiagonal(dst, src, rowmap, new_rows);
    } else {
      SparseMatrix_CloneColsAddDiagonal(dst, src, colmap, new_cols);
    }
  } else {
    if (r && c) {
      SparseMatrix_CloneRowsCols(dst, src, rowmap, new_rows, colmap, new_cols);
    } else if (r) {
      SparseMatrix_CloneRows(dst, src, rowmap, new_rows);
    } else {
      SparseMatrix_CloneCols(dst, src, colmap, new_cols);
    }
  }
}

void SparseMatrix_CloneRows(SparseMatrix* dst, const SparseMatrix* src,
                            const IDenseVector* rowmap, std::int32_t new_rows) {
  PartialStep<true, false, false>(dst, src, rowmap, new_rows, nullptr, 0, "CloneRows", __LINE__);
}

void SparseMatrix_CloneCols(SparseMatrix* dst, const SparseMatrix* src,
                            const IDenseVector* colmap, std::int32_t new_cols) {
  PartialStep<false, true, false>(dst, src, nullptr, 0, colmap, new_cols, "CloneCols", __LINE__);
}

void SparseMatrix_CloneRowsCols(SparseMatrix* dst, const SparseMatrix* src,
                                const IDenseVector* rowmap, std::int32_t new_rows,
                                const IDenseVector* colmap, std::int32_t new_cols) {
  PartialStep<true, true, false>(dst, src, rowmap, new_rows, colmap, new_cols, "CloneRowsCols",
                                 __LINE__);
}

void SparseMatrix_CloneRowsAddDiagonal(SparseMatrix* dst, const SparseMatrix* src,
                                       const IDenseVector* rowmap, std::int32_t new_rows) {
  PartialStep<true, false, true>(dst, src, rowmap, new_rows, nullptr, 0,
                                 "CloneRowsAddDiagonal", __LINE__);
}

void SparseMatrix_CloneColsAddDiagonal(SparseMatrix* dst, const SparseMatrix* src,
                                       const IDenseVector* colmap, std::int32_t new_cols) {
  PartialStep<false, true, true>(dst, src, nullptr, 0, colmap, new_cols,
                                 "CloneColsAddDiagonal", __LINE__);
}

void SparseMatrix_CloneRowsColsAddDiagonal(SparseMatrix* dst, const SparseMatrix* src,
                                           const IDenseVector* rowmap, std::int32_t new_rows,
                                           const IDenseVector* colmap, std::int32_t new_cols) {
  PartialStep<true, true, true>(dst, src, rowmap, new_rows, colmap, new_cols,
                                "CloneRowsColsAddDiagonal", __LINE__);
}
