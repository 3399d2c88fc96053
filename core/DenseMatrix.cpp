// DenseMatrix: one block of entries addressed through one pointer per row.
#include "core/DenseMatrix.hpp"

#include <cstring>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Output.hpp"

namespace {

// Allocates a block of max_rows * max_cols doubles (the product in 64 bits)
// with its row pointers. Both are stored only when both allocations
// succeeded; when the second fails the first is given back.
void AllocateBlock(DenseMatrix* m, std::int32_t max_rows, std::int32_t max_cols) {
  double* block =
      Memory_AllocateArray<double>(static_cast<std::int64_t>(max_rows) * max_cols);
  double** row;
  try {
    row = Memory_AllocateArray<double*>(max_rows);
  } catch (...) {  // a solver error leaving through the host's callback
    Memory_Free(block);
    throw;
  }
  for (std::int32_t r = 0; r < max_rows; ++r) {
    row[r] = block == nullptr ? nullptr : block + static_cast<std::size_t>(r) * max_cols;
  }
  m->row = row;
  m->max_rows = max_rows;
  m->max_cols = max_cols;
}

void FreeBlock(DenseMatrix* m) {
  if (m->row != nullptr) Memory_Free(m->row[0]);
  Memory_Free(m->row);
  m->row = nullptr;
}

// Writes value into columns first..first+count-1 (0-based) of row r.
void FillRow(DenseMatrix* m, std::int32_t r, std::int32_t first, std::int32_t count, double value) {
  for (std::int32_t j = 0; j < count; ++j) m->row[r][first + j] = value;
}

void AppendSignedIdentityCols(DenseMatrix* m, std::int32_t n, double diagonal) {
  if (n <= 0) return;
  for (std::int32_t i = 0; i < m->rows; ++i) {
    FillRow(m, i, m->cols, n, 0.0);
    if (i < n) m->row[i][m->cols + i] = diagonal;
  }
  m->cols += n;
}

void SignedIdentity(DenseMatrix* m, std::int32_t n, double diagonal) {
  DenseMatrix_Zeros(m, n, n);
  for (std::int32_t i = 0; i < n; ++i) m->row[i][i] = diagonal;
}

// Applies entry := op(entry, factor) over the current block, with the
// factor of the entry's row (by_row) or column.
template <class Op>
void ScaleBlock(DenseMatrix* m, const DenseVector* d, bool by_row, Op op) {
  for (std::int32_t i = 0; i < m->rows; ++i) {
    double* entries = m->row[i];
    for (std::int32_t j = 0; j < m->cols; ++j) {
      entries[j] = op(entries[j], d->data[by_row ? i : j]);
    }
  }
}

// Map entry i (0-based) of a clone map; an absent map is the identity.
inline std::int32_t MapEntry(const IDenseVector* map, std::int32_t i) {
  return map == nullptr ? i + 1 : map->data[i];
}

// Number of positive entries among the first n of map (n for no map).
std::int32_t CountKept(const IDenseVector* map, std::int32_t n) {
  if (map == nullptr) return n > 0 ? n : 0;
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (map->data[i] > 0) ++kept;
  }
  return kept;
}

// A product whose result overlaps its operand would read entries it has
// already changed.
void CheckNoOverlap(const DenseVector* y, const DenseVector* x, const char* operation) {
  if (y->data == x->data) {
    Error_SolverError("DenseMatrix: %s: result overlaps the operand.\n", operation);
  }
}

void MulAddChecked(DenseVector* y, const DenseMatrix* a, const DenseVector* x) {
  for (std::int32_t i = 0; i < a->rows; ++i) {
    const double* entries = a->row[i];
    double sum = y->data[i];
    for (std::int32_t j = 0; j < a->cols; ++j) {
      const double xj = x->data[j];
      if (xj != 0.0) sum += entries[j] * xj;
    }
    y->data[i] = sum;
  }
}

[[noreturn]] void NotImplemented(const char* text) { Error_SolverError("%s", text); }

}  // namespace

// --- Lifecycle and size -----------------------------------------------------------

DenseMatrix* DenseMatrix_Create(std::int32_t max_rows, std::int32_t max_cols) {
  DenseMatrix shape{};
  AllocateBlock(&shape, max_rows, max_cols);
  DenseMatrix* m;
  try {
    m = static_cast<DenseMatrix*>(Memory_Allocate(sizeof(DenseMatrix)));
  } catch (...) {  // a solver error leaving through the host's callback
    FreeBlock(&shape);
    throw;
  }
  *m = shape;
  m->rows = 0;
  m->cols = 0;
  m->refcount = 1;
  return m;
}

std::int32_t DenseMatrix_Destroy(DenseMatrix* m) {
  if (m == nullptr) return 0;
  m->refcount -= 1;
  if (m->refcount > 0) return m->refcount;
  FreeBlock(m);
  Memory_Free(m);
  return 0;
}

std::int32_t DenseMatrix_Reference(DenseMatrix* m) { return ++m->refcount; }

void DenseMatrix_Size(DenseMatrix* m, std::int32_t r, std::int32_t c) {
  if (m->max_rows >= r && m->max_cols >= c) return;
  DenseMatrix grown{};
  AllocateBlock(&grown, m->max_rows > r ? m->max_rows : r, m->max_cols > c ? m->max_cols : c);
  FreeBlock(m);
  m->row = grown.row;
  m->max_rows = grown.max_rows;
  m->max_cols = grown.max_cols;
}

void DenseMatrix_Copy(DenseMatrix* dst, const DenseMatrix* src) {
  if (dst == src) return;
  dst->rows = src->rows;
  dst->cols = src->cols;
  if (src->cols <= 0) return;
  for (std::int32_t i = 0; i < src->rows; ++i) {
    std::memcpy(dst->row[i], src->row[i], sizeof(double) * static_cast<std::size_t>(src->cols));
  }
}

void DenseMatrix_ClonePartial(DenseMatrix* dst, const DenseMatrix* src, const IDenseVector* rowmap,
                              const IDenseVector* colmap) {
  if (dst == src) NotImplemented("DenseMatrix: ClonePartial: cannot clone partial in place.\n");
  dst->rows = CountKept(rowmap, src->rows);
  dst->cols = CountKept(colmap, src->cols);
  for (std::int32_t i = 0; i < src->rows; ++i) {
    const std::int32_t r = MapEntry(rowmap, i);
    if (r <= 0) continue;
    for (std::int32_t j = 0; j < src->cols; ++j) {
      const std::int32_t c = MapEntry(colmap, j);
      if (c > 0) dst->row[r - 1][c - 1] = src->row[i][j];
    }
  }
}

void DenseMatrix_Clone(DenseMatrix* dst, const DenseMatrix* src, const IDenseVector* rowmap,
                       const IDenseVector* colmap) {
  if (rowmap == nullptr && colmap == nullptr) {
    DenseMatrix_Copy(dst, src);
  } else {
    DenseMatrix_ClonePartial(dst, src, rowmap, colmap);
  }
}

// --- Builders and structural operations ------------------------------------------

void DenseMatrix_Zeros(DenseMatrix* m, std::int32_t r, std::int32_t c) {
  m->rows = r;
  m->cols = c;
  for (std::int32_t i = 0; i < r; ++i) FillRow(m, i, 0, c, 0.0);
}

void DenseMatrix_Identity(DenseMatrix* m, std::int32_t n) { SignedIdentity(m, n, 1.0); }

void DenseMatrix_MinusIdentity(DenseMatrix* m, std::int32_t n) { SignedIdentity(m, n, -1.0); }

void DenseMatrix_Negate(DenseMatrix* m) {
  for (std::int32_t i = 0; i < m->rows; ++i) {
    for (std::int32_t j = 0; j < m->cols; ++j) m->row[i][j] = 0.0 - m->row[i][j];
  }
}

void DenseMatrix_AppendZeros(DenseMatrix* m, std::int32_t r, std::int32_t c) {
  for (std::int32_t i = 0; i < m->rows; ++i) FillRow(m, i, m->cols, c, 0.0);
  for (std::int32_t i = m->rows; i < m->rows + r; ++i) FillRow(m, i, 0, m->cols + c, 0.0);
  m->rows += r;
  m->cols += c;
}

void DenseMatrix_AppendIdentityCols(DenseMatrix* m, std::int32_t n) {
  AppendSignedIdentityCols(m, n, 1.0);
}

void DenseMatrix_AppendMinusIdentityCols(DenseMatrix* m, std::int32_t n) {
  AppendSignedIdentityCols(m, n, -1.0);
}

void DenseMatrix_AppendRow(DenseMatrix* m, const DenseVector* v) {
  DenseMatrix_SetRow(m, m->rows + 1, v);
  m->rows += 1;
}

void DenseMatrix_AppendCol(DenseMatrix* m, const DenseVector* v) {
  DenseMatrix_SetCol(m, m->cols + 1, v);
  m->cols += 1;
}

void DenseMatrix_SetRow(DenseMatrix* m, std::int32_t i, const DenseVector* v) {
  for (std::int32_t j = 0; j < m->cols; ++j) m->row[i - 1][j] = v->data[j];
}

void DenseMatrix_SetCol(DenseMatrix* m, std::int32_t j, const DenseVector* v) {
  for (std::int32_t i = 0; i < m->rows; ++i) m->row[i][j - 1] = v->data[i];
}

void DenseMatrix_RowFull(DenseVector* v, const DenseMatrix* m, std::int32_t i) {
  v->length = m->cols;
  for (std::int32_t j = 0; j < m->cols; ++j) v->data[j] = m->row[i - 1][j];
}

void DenseMatrix_ColFull(DenseVector* v, const DenseMatrix* m, std::int32_t j) {
  v->length = m->rows;
  for (std::int32_t i = 0; i < m->rows; ++i) v->data[i] = m->row[i][j - 1];
}

void DenseMatrix_Row(DenseVector* v, const DenseMatrix* m, std::int32_t i,
                     const IDenseVector* partial) {
  if (partial != nullptr) NotImplemented("DenseMatrix: Row: partial row not implemented yet.\n");
  DenseMatrix_RowFull(v, m, i);
}

void DenseMatrix_Col(DenseVector* v, const DenseMatrix* m, std::int32_t j,
                     const IDenseVector* partial) {
  if (partial != nullptr) NotImplemented("DenseMatrix: Col: partial col not implemented yet.\n");
  DenseMatrix_ColFull(v, m, j);
}

void DenseMatrix_ScaleRows(DenseMatrix* m, const DenseVector* d) {
  ScaleBlock(m, d, true, [](double entry, double factor) { return entry * factor; });
}

void DenseMatrix_DivRows(DenseMatrix* m, const DenseVector* d) {
  ScaleBlock(m, d, true, [](double entry, double factor) { return entry / factor; });
}

void DenseMatrix_ScaleCols(DenseMatrix* m, const DenseVector* d) {
  ScaleBlock(m, d, false, [](double entry, double factor) { return entry * factor; });
}

void DenseMatrix_DivCols(DenseMatrix* m, const DenseVector* d) {
  ScaleBlock(m, d, false, [](double entry, double factor) { return entry / factor; });
}

void DenseMatrix_AddDiagonal(DenseMatrix* m, const DenseVector* d) {
  for (std::int32_t i = 0; i < m->rows; ++i) m->row[i][i] += d->data[i];
}

void DenseMatrix_SubDiagonal(DenseMatrix* m, const DenseVector* d) {
  for (std::int32_t i = 0; i < m->rows; ++i) m->row[i][i] -= d->data[i];
}

void DenseMatrix_Transpose(DenseMatrix* dst, const DenseMatrix* src) {
  if (dst == src) NotImplemented("DenseMatrix: Transpose: in place transpose not implemented.\n");
  dst->rows = src->cols;
  dst->cols = src->rows;
  for (std::int32_t i = 0; i < src->rows; ++i) {
    for (std::int32_t j = 0; j < src->cols; ++j) dst->row[j][i] = src->row[i][j];
  }
}

// --- Products and display -----------------------------------------------------------

void DenseMatrix_MulAdd(DenseVector* y, const DenseMatrix* a, const DenseVector* x) {
  CheckNoOverlap(y, x, "MulAdd");
  MulAddChecked(y, a, x);
}

void DenseMatrix_MulPlus(DenseVector* y, const DenseMatrix* a, const DenseVector* x,
                         const DenseVector* b) {
  CheckNoOverlap(y, x, "MulPlus");
  if (b == nullptr) {
    DenseVector_FillZero(y, a->rows);
  } else {
    DenseVector_Clone(y, b, nullptr);
  }
  MulAddChecked(y, a, x);
}

void DenseMatrix_MulMinus(DenseVector* y, const DenseMatrix* a, const DenseVector* x,
                          const DenseVector* b) {
  CheckNoOverlap(y, x, "MulMinus");
  if (b == nullptr) {
    DenseVector_FillZero(y, a->rows);
  } else {
    DenseVector_Scale(y, b, -1.0);
  }
  MulAddChecked(y, a, x);
}

void DenseMatrix_Display(const DenseMatrix* m) {
  for (std::int32_t i = 0; i < m->rows; ++i) {
    for (std::int32_t j = 0; j < m->cols; ++j) Output_Printf(OUTPUT_LOG, " %5.2f", m->row[i][j]);
    Output_Printf(OUTPUT_LOG, "\n");
  }
}

// --- Operations the library never needs ----------------------------------------------

void DenseMatrix_Augment(DenseMatrix*, const DenseMatrix*, const DenseMatrix*) {
  NotImplemented("DenseMatrix: Augment: augment matrix not implemented yet.\n");
}

void DenseMatrix_Add(DenseMatrix*, const DenseMatrix*, const DenseMatrix*) {
  NotImplemented("DenseMatrix: Add: add not implemented yet.\n");
}

void DenseMatrix_Sub(DenseMatrix*, const DenseMatrix*, const DenseMatrix*) {
  NotImplemented("DenseMatrix: Sub: sub not implemented yet.\n");
}

void DenseMatrix_Mul(DenseMatrix*, const DenseMatrix*, const DenseMatrix*) {
  NotImplemented("DenseMatrix: Mul: mul not implemented yet.\n");
}

void DenseMatrix_SMul(DenseMatrix*, const DenseMatrix*, double) {
  NotImplemented("DenseMatrix: SMul: scalar mul not implemented yet.\n");
}

void DenseMatrix_DisplaySparse(const DenseMatrix*) {
  NotImplemented("DenseMatrix: DisplaySparse: Not implemented yet.\n");
}

double DenseMatrix_OneNorm(const DenseMatrix*) {
  NotImplemented("DenseMatrix: OneNorm: one norm not implemented yet.\n");
}

double DenseMatrix_TwoNorm(const DenseMatrix*) {
  NotImplemented("DenseMatrix: TwoNorm: two norm not implemented yet.\n");
}

double DenseMatrix_InfNorm(const DenseMatrix*) {
  NotImplemented("DenseMatrix: InfNorm: inf norm not implemented yet.\n");
}
