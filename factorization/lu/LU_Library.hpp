// Separately callable routines of the sparse LU engine: the steps of the
// factorization, of the column replacement and of the solves, the heap of
// column maxima, the dense kernels, and list and permutation helpers. The
// three entries of LU_Engine.hpp are built from them.
//
// Conventions: positions, rows and columns count from 1; LU_Array gives a
// 1-based view of a plain block; nothing allocates or prints.
#pragma once

#include <cstdint>
#include <type_traits>

#include "core/Interrupt.hpp"
#include "factorization/lu/LU_Engine.hpp"

// Polls for an interrupt. Only a registered jump point leaves the engine;
// the result is not consulted, so without one the work goes on.
inline void LU_Poll() { Interrupt_Check(); }

// 1-based view of a block whose element 1 is at offset 0.
template <class T>
struct LU_Array {
  T* base = nullptr;
  LU_Array() = default;
  explicit LU_Array(T* block) : base(block) {}
  // A writable view converts to a read-only one.
  template <class U, std::enable_if_t<std::is_same<const U, T>::value && !std::is_const<U>::value,
                                      int> = 0>
  LU_Array(LU_Array<U> other) : base(other.base) {}
  T& operator[](std::int64_t i) const { return base[i - 1]; }
  // View whose element i is element offset + i of this one.
  LU_Array Shifted(std::int64_t offset) const { return LU_Array(base + offset); }
};

template <class T>
inline LU_Array<T> LU_View(T* block) {
  return LU_Array<T>(block);
}

// Per-row scratch of the elimination, one record per row so that a pivot
// step reads all of it with one memory access: the multiplier of the row in
// the current L column (0 for a row outside it), the row's position (+1) in
// that column (0 outside it) and the update stamp of the column last
// updated in the row.
struct LU_RowTag {
  double multiplier;
  std::int32_t l_position;
  std::int32_t stamp;
};

// Working state of one factorization: the arrays as 1-based views, the
// parameters read at the start, the file ends and the outputs accumulated.
// LU_Factor builds it with LU_CoreSetup; the routines that take it are steps
// of the factorization.
struct LU_Core {
  LU_Factors* factors;  // the caller's arrays (their storage may be replaced by growth)
  std::int32_t m, n, maxmn;
  std::int32_t storage;  // storage_length
  std::int32_t usable;   // storage less the area the rule reserves
  std::int32_t element_count;
  LU_Array<double> val;
  LU_Array<std::int32_t> ri, ci;
  LU_Array<std::int32_t> rperm, cperm, rlen, clen, rstart, cstart;
  LU_Array<std::int32_t> rcount, ccount, rinv, cinv;
  LU_Array<double> cmax;
  // Scratch: per row its tag record, pending fill-ins and the count before
  // the pivot step; per column the count before the pivot step and the
  // offset (+1) of its first pending fill-in.
  LU_Array<LU_RowTag> tags;
  LU_Array<std::int32_t> pend, rold, cold, cpend;
  std::int32_t& LPos(std::int32_t i) const { return tags[i].l_position; }
  std::int32_t& Mark(std::int32_t i) const { return tags[i].stamp; }
  // Rule 1: row maxima; rule 2: heap keys, heap columns, heap positions.
  LU_Array<double> rowmax, heap_key;
  LU_Array<std::int32_t> heap_col, heap_pos;
  std::int32_t heap_length;

  std::int32_t rule;
  bool keep;
  double lbound, drop, space, density1, density2;
  std::int32_t col_limit, row_limit;

  std::int32_t col_end, row_end;  // last positions of the column and row files
  std::int32_t last_compressed;   // length of the last compressed file
  std::int32_t written;           // positions 1..written of the storage were written before
  std::int32_t fp;                // lowest position used by the factors
  // The current pivot step's factor slot: its lowest position (the factor
  // pointer while it is only claimed, `claim` positions below it), its U row
  // and its L column (storage growth moves them with the factors).
  std::int32_t slot_low, claim, u_first, l_first;
  std::int64_t active;            // entries given, plus the net change of eliminated rows
  std::int32_t stamp;             // update stamp of the elimination
  double threshold;               // rule 2: largest heap key / L bound

  std::int64_t l_length, u_length, merit_sum;
  std::int32_t u_triangle, l_triangle, dense1, dense2, rank, compressions;
  std::int32_t growths;  // storage growths during this factorization
  double l_max, u_max, diag_max, diag_min, active_max;
  std::int64_t required;
};

// Offset k (0-based) of the first x[k] == value with k < length, or -1.
// Blocks of eight are compared without an exit inside the block, which the
// compiler turns into vector compares.
inline std::int32_t LU_FindIndex(const std::int32_t* x, std::int32_t length, std::int32_t value) {
  std::int32_t k = 0;
  for (; k + 8 <= length; k += 8) {
    int any = 0;
    for (int t = 0; t < 8; ++t) any |= x[k + t] == value;
    if (any) break;
  }
  for (; k < length; ++k) {
    if (x[k] == value) return k;
  }
  return -1;
}

// A pivot candidate of the searches: row 0 means none.
struct LU_Candidate {
  std::int32_t row, col;
  std::int64_t merit;
  double magnitude, ratio;
};

// ---------------------------------------------------------------------------
// Preparation of the input (steps of LU_Factor)
// ---------------------------------------------------------------------------

// Walks the triples 1..element_count from the last to the first, deleting
// each of magnitude at most drop (the current last triple takes its place),
// counting row_len and col_len (set to 0 first) of the others and checking
// their indices against 1..m and 1..n. element_count becomes the kept count;
// returns the largest kept magnitude; bad is set at the first index out of
// range (the walk stops there).
double LU_CleanEntries(std::int32_t m, std::int32_t n, std::int32_t& element_count, double drop,
                       LU_Factors& f, bool& bad);

// Column starts from col_len, then the triples 1..element_count rearranged in
// place into column order (lu_col_index cleared to 0 on the way). col_start
// ends holding the first position of each column.
void LU_SortByColumn(std::int32_t n, std::int32_t element_count, LU_Factors& f);

// Marks rows column by column (row_perm serves as the marker array); returns
// the position of the first row met twice in one column, or 0.
std::int32_t LU_FindDuplicate(std::int32_t m, std::int32_t n, LU_Factors& f);

// Row starts from row_len and the column numbers of every row, in increasing
// order, into lu_col_index from the column file.
void LU_BuildRowFile(std::int32_t m, std::int32_t n, LU_Factors& f);

// Items 1..count with lengths 0..max_count: perm lists the items of length 0
// first, then length 1 and so on (each group in increasing item number);
// inv is its inverse; count_start(c), c = 1..max_count, is the position of
// the first item of length c (one past the earlier groups when empty).
// buffer needs max_count + 1 entries.
void LU_OrderByCount(std::int32_t count, std::int32_t max_count, LU_Array<std::int32_t> lengths,
                     LU_Array<std::int32_t> perm, LU_Array<std::int32_t> inv,
                     LU_Array<std::int32_t> count_start, LU_Array<std::int32_t> buffer);

// col_umax(1..n) = 0, then 1.0 for each one-entry column of the count-ordered
// col_perm whose entry has magnitude exactly 1.0.
void LU_MarkUnitColumns(std::int32_t m, std::int32_t n, LU_Factors& f);

// ---------------------------------------------------------------------------
// Factor core
// ---------------------------------------------------------------------------

// Fills the core state for LU_Factor: views of f, parameters from ip and rp,
// the usable length of the rule, and every output at its starting value.
void LU_CoreSetup(std::int32_t m, std::int32_t n, std::int32_t element_count,
                  const LU_IntParams& ip, const LU_RealParams& rp, LU_Factors& f, LU_Core& s);

// Runs the elimination on the column and row files that LU_Factor prepared.
// Returns 0 (factors in the factor area, rank set), 7 (storage; s.required
// holds an estimate above the storage length), 8 or 9.
std::int32_t LU_FactorCore(LU_Core& s);

// Markowitz search (rules 0 and 2; complete: threshold-complete mode with the
// step's threshold). Returns the best candidate (row 0: none).
LU_Candidate LU_SearchMarkowitz(const LU_Core& s, bool complete);
// Rook search of rule 1 with the row maxima.
LU_Candidate LU_SearchRook(const LU_Core& s);
// Diagonal search of rule 3: only diagonal entries of columns.
LU_Candidate LU_SearchDiagonal(const LU_Core& s);
// Threshold complete-pivoting search over columns in heap order: entries of
// magnitude at least threshold, lowest merit, ties by ratio or magnitude;
// stops at merit 0 and after the 40th column.
LU_Candidate LU_SearchHeap(const LU_Core& s, double threshold);

// Eliminates the pivot row from the columns of the current step's U row
// (u_count entries from s.u_first, the pivot first), using its L column
// (l_count entries from s.l_first, each row's multiplier scattered into its
// tag); the column file stays below s.slot_low. With max_first each column's
// largest entry (the first on ties) is moved to its front. Returns 0, or 7
// when the column file cannot hold a column even after compressing (and
// growing, when the caller provides growth).
std::int32_t LU_EliminateStep(LU_Core& s, std::int32_t u_count, std::int32_t l_count,
                              bool max_first);

// Appends the pending fill-ins of the rows of the current step's L column to
// the row file (moving each growing row to its end) and unmarks them in the
// columns of its U row. Returns 0 or 7.
std::int32_t LU_PendingFill(LU_Core& s, std::int32_t u_count, std::int32_t l_count);

// Storage growth through the caller's hook when free space below the factors
// is short: grows the storage by at least `extra` positions, moving the
// factors, the reserved areas and the current slot to its new end; the
// first growth of a factorization asks for nine times the storage (see
// LU_FirstGrowthLength). False when there is no hook or it refused.
bool LU_GrowCore(LU_Core& s, std::int64_t extra);

// Length the first growth of a factorization asks for: nine times the
// storage, so that one growth does what would otherwise take several, but
// no more than dense factors of the m by n matrix could use (2 m n + 2 (m +
// n)) nor 2^24 positions, and never less than min_length.
std::int64_t LU_FirstGrowthLength(std::int32_t m, std::int32_t n, std::int32_t storage,
                                  std::int64_t min_length);

// Compresses a file of `count` items (entries of item x at
// starts(x)..starts(x) + lengths(x) - 1 of index, and of values when given;
// free positions hold index 0): entries move down in order, starts are reset,
// items without entries keep their starts. Returns the new file end and adds
// 1 to compressions.
std::int32_t LU_Compress(std::int32_t count, double* values, LU_Array<std::int32_t> index,
                         LU_Array<std::int32_t> lengths, LU_Array<std::int32_t> starts,
                         std::int32_t file_end, std::int32_t& compressions);

// Moves the `count` items list(1..count) of perm from the count buckets of
// old_count(item) to those of new_count(item), one bucket at a time;
// count_start has max_count entries. Returns the sum of new minus old counts.
std::int64_t LU_UpdateOrdering(std::int32_t count, LU_Array<const std::int32_t> list,
                               LU_Array<const std::int32_t> old_count,
                               LU_Array<const std::int32_t> new_count,
                               LU_Array<std::int32_t> count_start, std::int32_t max_count,
                               LU_Array<std::int32_t> perm, LU_Array<std::int32_t> inv);

// Largest magnitude of each listed row, its entries located through the
// column file (0 for an empty row), into rowmax.
void LU_RowMax(const LU_Core& s, std::int32_t count, LU_Array<const std::int32_t> rows);

// Swaps the largest entry (the first on ties) of each listed column to its
// front, value and row together.
void LU_ColumnMaxFirst(const LU_Core& s, std::int32_t count, LU_Array<const std::int32_t> cols);

// ---------------------------------------------------------------------------
// Heap of column maxima: keys (magnitudes), the column at each heap position,
// and the heap position of each column. Each routine returns its moves.
// ---------------------------------------------------------------------------

std::int32_t LU_HeapBuild(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                          LU_Array<std::int32_t> positions, std::int32_t length);
std::int32_t LU_HeapInsert(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                           LU_Array<std::int32_t> positions, std::int32_t length, double key,
                           std::int32_t col);
std::int32_t LU_HeapSiftDown(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                             LU_Array<std::int32_t> positions, std::int32_t length,
                             std::int32_t k);
std::int32_t LU_HeapDelete(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                           LU_Array<std::int32_t> positions, std::int32_t& length,
                           std::int32_t k);
// Places (key, col) at heap position k and restores the heap.
std::int32_t LU_HeapChange(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                           LU_Array<std::int32_t> positions, std::int32_t length,
                           std::int32_t k, double key, std::int32_t col);

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------

// Stable partition of list(1..count): items whose mark(item) is non-zero
// first, in their order, then the rest; buffer needs count entries. Returns
// the number marked.
std::int32_t LU_PartitionList(std::int32_t count, LU_Array<std::int32_t> list,
                              LU_Array<const std::int32_t> mark, LU_Array<std::int32_t> buffer);

// list(first..last-1) = list(first+1..last), list(last) = old list(first);
// nothing when last <= first.
void LU_CyclicPermute(LU_Array<std::int32_t> list, std::int32_t first, std::int32_t last);

// ---------------------------------------------------------------------------
// Dense kernels: a column-major block a (element (i, j) at a[(j-1)*lda + i - 1])
// of m rows and n columns. A column whose largest remaining magnitude is at
// most tol is exchanged with the last remaining column, zeroed and left
// unfactored. row_order(k) is the row exchanged with row k at pivot k;
// col_order is permuted with the columns. Each polls the interrupt once per
// pivot. Return the number of pivots taken.
// ---------------------------------------------------------------------------

std::int32_t LU_DenseFactorPartial(std::int32_t m, std::int32_t n, double* a, std::int32_t lda,
                                   double tol, LU_Array<std::int32_t> row_order,
                                   LU_Array<std::int32_t> col_order);
std::int32_t LU_DenseFactorComplete(std::int32_t m, std::int32_t n, double* a, std::int32_t lda,
                                    double tol, LU_Array<std::int32_t> row_order,
                                    LU_Array<std::int32_t> col_order);

// The dense phase after `done` sparse pivots: scatters the active submatrix
// into a zeroed block just below the factors, factors it (partial: the
// partial kernel, else the complete one), applies its row exchanges to
// row_perm and appends each pivot's L column and U row to the factor area
// (only the pivots without kept factors). Sets s.rank. Returns 0.
std::int32_t LU_DenseFactor(LU_Core& s, std::int32_t done, bool partial);

// How dense panels of the dense phase update the later columns: measured
// on the first panels large enough to time (the default), then the faster
// of the two for the rest of the process; or always the BLAS's matrix
// product, or always the column kernel. Both add the same products, so the
// choice changes speed and, with a BLAS that orders its sums otherwise,
// rounding only. The setter starts the measurement afresh.
enum LU_DenseUpdate {
  LU_DENSE_UPDATE_MEASURE = 0,
  LU_DENSE_UPDATE_PRODUCT = 1,
  LU_DENSE_UPDATE_KERNEL = 2,
};
void LU_SetDenseUpdate(LU_DenseUpdate how);
LU_DenseUpdate LU_GetDenseUpdate();

// Scale and update kernels of the dense phase (stride 1).
void LU_Scale(std::int32_t n, double alpha, double* x);
void LU_Axpy(std::int32_t n, double alpha, const double* x, double* y);
// x[0..rows-1] += u[t] * columns[t][0..rows-1] for t = 0..count-1, the
// products of each element added one after another in the order of t (the
// sums of as many LU_Axpy calls). x overlaps none of the columns.
void LU_AddProducts(std::int32_t rows, std::int32_t count, const double* u,
                    const double* const* columns, double* x);

// ---------------------------------------------------------------------------
// Column replacement steps
// ---------------------------------------------------------------------------

// Working state of one replacement.
struct LU_Update {
  std::int32_t m, n, storage, rank;
  std::int64_t l_length, u_length;
  std::int32_t row_end, compressions;
  double drop, abs_tol, rel_tol, update_limit, space;
  LU_Array<double> val;
  LU_Array<std::int32_t> ci, ri, rperm, cperm, rlen, rstart, scatter;
};

// Removes column j from the rows of U in pivot order up to j's position
// (mode_old 0: removes nothing) and returns that position.
std::int32_t LU_DeleteColumnU(LU_Update& u, std::int32_t mode_old, std::int32_t j);

// Appends the entries of v above drop in the rows at positions 1..rank to
// those rows as entries of column j. vnorm adds their magnitudes; touched is
// the last position that received one (0 if none). Returns 0 or 7.
std::int32_t LU_AddColumnU(LU_Update& u, std::int32_t j, const double* v, double& vnorm,
                           std::int32_t& touched);

// Turns the entries of v above drop in the rows at positions first..m into a
// new L column with the largest as pivot; the pivot row moves to position
// rank + 1 with the one-entry row (pivot, j) and the rank grows. diag is the
// pivot (0 and nothing changed when every entry is negligible). Returns 0 or 7.
std::int32_t LU_EliminateBelowRank(LU_Update& u, std::int32_t j, const double* v,
                                   std::int32_t first, double& diag);

// Eliminates the spike row at position last with the rows at positions
// first..last-1 (row interchanges when an entry of the spike is too large
// against the pivot), appending the multipliers to L. diag is the spike's
// entry in column col_perm(last), moved to the row's front. Returns LU_OK,
// LU_NO_SPIKE_DIAGONAL (no such entry: diag 0) or LU_NO_STORAGE.
constexpr std::int32_t LU_NO_SPIKE_DIAGONAL = 1;
std::int32_t LU_ForwardSweep(LU_Update& u, std::int32_t first, std::int32_t last, double& diag);

// Moves the largest entry (exclude: a column not to choose, 0 for none) of the
// row at the rank position to its front and its column into the rank
// position of col_perm; returns that entry (0 when the row has none).
double LU_CheckLastRow(LU_Update& u, std::int32_t exclude);

// ---------------------------------------------------------------------------
// Solves (the modes of LU_Solve)
// ---------------------------------------------------------------------------

void LU_SolveL(const LU_IntParams& ip, const LU_RealParams& rp, const LU_Factors& f, double* v);
void LU_SolveLt(LU_IntParams& ip, const LU_RealParams& rp, const LU_Factors& f, double* v);
std::int32_t LU_SolveU(std::int32_t m, std::int32_t n, LU_IntParams& ip, LU_RealParams& rp,
                       const LU_Factors& f, const double* v, double* w);
std::int32_t LU_SolveUt(std::int32_t m, std::int32_t n, LU_IntParams& ip, LU_RealParams& rp,
                        const LU_Factors& f, double* v, double* w);
// Scaling of the forward pass over the initial columns of L.
enum LU_PivotScale : int {
  LU_SCALE_NONE = 0,       // plain L v = v
  LU_SCALE_PIVOT = 1,      // each applied value divided by its U pivot
  LU_SCALE_MAGNITUDE = 2,  // each applied value divided by its U pivot's magnitude
};

// Forward pass over the initial columns of L, each applied pivot value
// divided by its U pivot (LU_SCALE_PIVOT) or by its magnitude
// (LU_SCALE_MAGNITUDE).
void LU_SolveLD(LU_PivotScale scale, const LU_IntParams& ip, const LU_RealParams& rp,
                const LU_Factors& f, double* v);

// ---------------------------------------------------------------------------
// Auxiliary vector routines (x, y, d addressed from 1 with a stride; each
// does nothing when n < 1)
// ---------------------------------------------------------------------------

// x_i /= d_i; a zero stride of d multiplies every x_i by 1 / d_1.
void LU_DivideElements(std::int32_t n, const double* d, std::int32_t d_stride, double* x,
                       std::int32_t x_stride);
// x_i *= d_i; a zero stride of d multiplies every x_i by d_1.
void LU_ScaleElements(std::int32_t n, const double* d, std::int32_t d_stride, double* x,
                      std::int32_t x_stride);
void LU_Fill(std::int32_t n, double c, double* x, std::int32_t stride);
// Sum of magnitudes over sqrt(n); 0 when n < 1.
double LU_Norm1Scaled(std::int32_t n, const double* x, std::int32_t stride);
void LU_CopyInt(std::int32_t n, const std::int32_t* x, std::int32_t x_stride, std::int32_t* y,
                std::int32_t y_stride);
void LU_FillInt(std::int32_t n, std::int32_t c, std::int32_t* x, std::int32_t stride);
