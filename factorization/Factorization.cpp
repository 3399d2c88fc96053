// Factorization: the sparse basis back-end on the LU engine.
#include "factorization/Factorization.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "factorization/DenseBasis.hpp"
#include "factorization/FactorizationOptions.hpp"

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

double OptionDouble(int index) { return Factorization_OptionDouble(index); }

// Mode of the update and resize messages.
int UpdateMode() {
  return Factorization_OptionBool(OUTPUT_FACTORIZATION_UPDATES) ? OUTPUT_LOG | OUTPUT_STATUS
                                                                 : OUTPUT_STATUS;
}

// int(value) of a non-negative size computed in doubles. Values beyond the
// 64-bit range (or NaN) saturate, so that the allocation refuses them.
std::int64_t Truncate(double value) {
  if (!(value < 9.0e18)) return std::numeric_limits<std::int64_t>::max();
  if (value < 0.0) return 0;
  return static_cast<std::int64_t>(value);
}

std::int32_t Larger(std::int32_t a, std::int32_t b) { return a > b ? a : b; }

// The most storage the room options may ask for a rows x cols basis: dense
// factors (2 rows cols) and, for every update until the update limit forces
// a rebuild, room for a new column of L and a row of U, twice over. A factor
// never uses more; the engine's own requirement, when it reports one, still
// goes beyond it. In 64 bits: the update limit may be any int.
std::int64_t MostUsefulStorage(std::int32_t rows, std::int32_t cols) {
  const std::int64_t m = rows > 0 ? rows : 1;
  const std::int64_t n = cols > 0 ? cols : 1;
  const std::int64_t limit = Factorization_OptionInt(FACTORIZATION_UPDATE_LIMIT);
  const std::int64_t updates = (limit > 0 ? limit : 0) + 2;
  const std::int64_t per_update = 2 * (m + n);
  const std::int64_t most = std::numeric_limits<std::int64_t>::max() / 4;
  if (updates > (most - 2 * m * n) / per_update) return most;
  return 2 * m * n + updates * per_update;
}

// length, capped at the most useful storage of a rows x cols basis, and
// never below floor (what the basis must hold).
std::int64_t Fit(std::int64_t length, std::int32_t rows, std::int32_t cols, std::int64_t floor) {
  const std::int64_t most = MostUsefulStorage(rows, cols);
  if (length > most) length = most;
  return length < floor ? floor : length;
}

// The storage length that the sizing rule gives for an rows x cols basis
// with nnz entries.
std::int64_t SizingRule(std::int32_t rows, std::int32_t cols, std::int64_t nnz) {
  const std::int64_t from_entries =
      Truncate((1.0 + OptionDouble(FACTORIZATION_ELBOWROOM)) * static_cast<double>(nnz));
  const double from_dimension =
      OptionDouble(FACTORIZATION_VECTORROOM) * static_cast<double>(Larger(rows, cols));
  const double larger = static_cast<double>(from_entries) > from_dimension
                            ? static_cast<double>(from_entries)
                            : from_dimension;
  return Fit(Truncate(larger), rows, cols, nnz);
}

// Storage block: lu_row_index, lu_col_index and lu_value of L entries each,
// in that order, 16 L bytes through the factor allocator. A long block (one
// the engine advises large pages for) starts on a large-page boundary and
// has room for a whole large page past its end: the files at its front and
// the factors at its back are written first, and a large page serves them
// only where it lies whole inside the allocation. The allocation's own
// address then sits just before the block.
constexpr std::int64_t kLargePage = std::int64_t{1} << 21;
constexpr std::int64_t kAlignedLeast = std::int64_t{1} << 18;  // slots
constexpr std::int64_t kAlignmentSlots = 2 * kLargePage / 16 + 1;

// Whether a block of `length` slots is aligned (the padding must keep the
// allocation within the allocator's 32-bit count).
bool Aligned(std::int64_t length) {
  return length >= kAlignedLeast && length <= kInt32Max - kAlignmentSlots;
}

void FreeStorage(Factorization* f) {
  void* block = f->lu.lu_row_index;
  if (block != nullptr && Aligned(f->lu.storage_length)) block = static_cast<void**>(block)[-1];
  Memory_FreeFactors(block);
  f->lu.lu_row_index = nullptr;
  f->lu.lu_col_index = nullptr;
  f->lu.lu_value = nullptr;
  f->lu.storage_length = 0;
}

// The three storage arrays in one new block of `length` (at least 1) slots.
struct StorageBlock {
  double* value;
  std::int32_t* row_index;
  std::int32_t* col_index;
};

StorageBlock NewStorageBlock(std::int64_t length) {
  const std::int64_t slots = length > 0 ? length : 1;
  char* block = nullptr;
  if (Aligned(slots)) {
    char* raw = static_cast<char*>(Memory_AllocateFactorsCount(slots + kAlignmentSlots, 16));
    const auto after = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    const auto mask = static_cast<std::uintptr_t>(kLargePage - 1);
    block = raw + (((after + mask) & ~mask) - reinterpret_cast<std::uintptr_t>(raw));
    reinterpret_cast<void**>(block)[-1] = raw;
  } else {
    block = static_cast<char*>(Memory_AllocateFactorsCount(slots, 16));
  }
  const StorageBlock storage{reinterpret_cast<double*>(block + 8 * slots),
                             reinterpret_cast<std::int32_t*>(block),
                             reinterpret_cast<std::int32_t*>(block + 4 * slots)};
  // The advice comes before the first writes (a load or a growth's copy),
  // which fault the pages in.
  LU_Factors view{};
  view.storage_length = static_cast<std::int32_t>(slots);
  view.lu_value = storage.value;
  view.lu_row_index = storage.row_index;
  view.lu_col_index = storage.col_index;
  LU_AdviseLargePages(view);
  return storage;
}

void UseStorageBlock(Factorization* f, const StorageBlock& block, std::int64_t length) {
  f->lu.lu_row_index = block.row_index;
  f->lu.lu_col_index = block.col_index;
  f->lu.lu_value = block.value;
  f->lu.storage_length = static_cast<std::int32_t>(length);
  f->lu.front_written = 0;
}

void AllocateStorage(Factorization* f, std::int64_t length) {
  if (length > kInt32Max) Error_Report("Factorization", __LINE__, "Resize", "allocation failed");
  FreeStorage(f);
  f->factored = 0;
  UseStorageBlock(f, NewStorageBlock(length), length);
}

// Growth of the storage during a factorization: each growth triples it (up
// to what any factor of the basis can use), so that a few growths reach any
// fill. Each copies only the
// parts in use (and the first use of new memory is costly), so fewer and
// larger growths are cheaper; the part never used costs address space only.
constexpr double kGrowthFactor = 3.0;

// The engine's storage growth during a factorization: a new block of at
// least min_length slots, and at least kGrowthFactor times the current
// length, takes over the parts in use. The work done so far is kept; no
// factorization starts over. Refuses (the engine then reports the shortage)
// beyond the 32-bit range.
bool GrowStorage(void* context, LU_Factors& lu, std::int64_t min_length, std::int32_t front_end,
                 std::int32_t back_start) {
  auto* f = static_cast<Factorization*>(context);
  std::int64_t length = Truncate(kGrowthFactor * static_cast<double>(lu.storage_length));
  // No more than any factor of the basis can use, unless the engine needs it.
  length = Fit(length, f->max_rows, f->max_cols, min_length);
  if (length > kInt32Max) length = kInt32Max;
  if (length < min_length) length = min_length;
  if (length > kInt32Max || length <= lu.storage_length) return false;
  const StorageBlock block = NewStorageBlock(length);
  LU_CopyStorage(lu, block.value, block.row_index, block.col_index,
                 static_cast<std::int32_t>(length), front_end, back_start);
  FreeStorage(f);
  UseStorageBlock(f, block, length);
  ++f->growths;
  return true;
}

// The new array is obtained before the old one is freed: when the
// allocation fails, the array keeps its block (and the capacity its value).
template <class T>
void Reallocate(T** array, std::int64_t count) {
  T* grown = Memory_AllocateArray<T>(count > 0 ? count : 1);
  Memory_Free(*array);
  *array = grown;
}

// Per-row arrays for M rows.
void AllocateRows(Factorization* f, std::int32_t M) {
  Reallocate(&f->lu.row_len, M);
  Reallocate(&f->lu.row_start, M);
  Reallocate(&f->lu.row_perm, M);
  Reallocate(&f->lu.row_perm_inv, M);
  Reallocate(&f->lu.col_count_start, M);
  Reallocate(&f->solve_work, M);
}

// Per-column arrays for N columns.
void AllocateColumns(Factorization* f, std::int32_t N) {
  Reallocate(&f->lu.col_len, N);
  Reallocate(&f->lu.col_start, N);
  Reallocate(&f->lu.col_perm, N);
  Reallocate(&f->lu.col_perm_inv, N);
  Reallocate(&f->lu.row_count_start, N);
  Reallocate(&f->lu.col_umax, N);
  Reallocate(&f->transpose_work, N);
}

// Arrays that depend on both capacities: the engine's scratch and the
// singularity list.
void AllocateShared(Factorization* f, std::int32_t M, std::int32_t N) {
  const std::int64_t work = LU_WorkLength(M, N);
  if (work > f->lu_work_length || f->lu.work == nullptr) {
    Reallocate(&f->lu.work, work);
    f->lu_work_length = work;
  }
  const std::int32_t list = Larger(M, N);
  if (list > f->singular_capacity || f->marks == nullptr) {
    Reallocate(&f->singular_row, list);
    Reallocate(&f->singular_column, list);
    Reallocate(&f->marks, list);
    f->singular_capacity = list;
  }
}

// Grows the arrays to M rows and N columns (each only when larger). The
// capacities change only once every array has its new block, so an
// allocation that fails on the way leaves capacities that every array
// still has.
void AllocateArrays(Factorization* f, std::int32_t M, std::int32_t N) {
  const bool rows = f->lu.row_len == nullptr || M > f->max_rows;
  const bool columns = f->lu.col_len == nullptr || N > f->max_cols;
  if (!rows && !columns) return;
  f->factored = 0;
  f->singular_built = 0;
  M = Larger(M, f->max_rows);
  N = Larger(N, f->max_cols);
  if (rows) AllocateRows(f, M);
  if (columns) AllocateColumns(f, N);
  AllocateShared(f, M, N);
  f->max_rows = M;
  f->max_cols = N;
}

// The parameters that every factorization re-reads from the options.
void ReadFactorParams(Factorization* f) {
  f->ip[LU_Int::pivot_rule] = Factorization_OptionInt(FACTORIZATION_PIVOT_TYPE);
  f->rp[LU_Real::l_factor_limit] = 1.0 / OptionDouble(FACTORIZATION_TOLERANCE);
  f->rp[LU_Real::l_update_limit] = 1.0 / OptionDouble(FACTORIZATION_UPDATE_TOLERANCE);
  f->rp[LU_Real::drop_tolerance] = OptionDouble(FACTORIZATION_SMALL_TOLERANCE);
  f->rp[LU_Real::u_abs_tolerance] = OptionDouble(FACTORIZATION_PIVOT_TOLERANCE);
  f->rp[LU_Real::u_rel_tolerance] = OptionDouble(FACTORIZATION_PIVOT_TOLERANCE);
}

void ReadDropTolerance(Factorization* f) {
  f->rp[LU_Real::drop_tolerance] = OptionDouble(FACTORIZATION_SMALL_TOLERANCE);
}

// Growth of U over the largest entry of B above which a factorization is
// repeated with a tighter bound on the multipliers. Threshold pivoting with a
// loose bound lets the sparsest pivots be taken at a fraction of their
// column's largest entry; on some patterns (grid operators among unit
// columns) such choices chain and the entries of U grow geometrically, so
// that the factors lose every digit. The bounds tried in turn: 2, then
// strict partial pivoting.
constexpr double kGrowthLimit = 1e6;
constexpr double kTightLimit = 2.0;
constexpr double kStrictLimit = 1.0001;

// True when the latest factorization grew beyond kGrowthLimit while a
// tighter multiplier bound is left to try; the bound is then tightened.
bool FactorGrew(Factorization* f) {
  double& limit = f->rp[LU_Real::l_factor_limit];
  if (!(f->rp[LU_Real::growth] > kGrowthLimit) || limit <= kStrictLimit) return false;
  limit = limit > kTightLimit ? kTightLimit : kStrictLimit;
  return true;
}

// The fresh factorization that replace falls back to, reported as replace
// reports it: 1 for a nonsingular B, 3 for a singular one.
int Rebuilt(Factorization* f, SparseMatrix* A, IDenseVector* cols) {
  const int status = Factorization_Factor(f, A, cols);
  return status == BASIS_FACTORED ? BASIS_REBUILT : status;
}

// Column j of A, after checking that A has it.
void CheckColumn(const SparseMatrix* A, std::int32_t position, std::int32_t j,
                 const char* operation) {
  if (j < 1 || j > SparseMatrix_Cols(A)) {
    Error_SolverError("Factorization: %s: basis column %d is column %d of a matrix with %d "
                      "columns.\n",
                      operation, position, j, SparseMatrix_Cols(A));
  }
}

void RequireRoom(const DenseVector* v, std::int32_t count, const char* operation,
                 const char* role) {
  if (v == nullptr || DenseVector_Capacity(v) < count) {
    Error_SolverError("Factorization: %s: %s vector holds %d elements, the basis needs %d.\n",
                      operation, role, v == nullptr ? 0 : DenseVector_Capacity(v), count);
  }
}

void RequireFactors(const Factorization* f, const char* operation) {
  if (!f->factored) {
    Error_SolverError("Factorization: %s: the basis has no usable factorization.\n", operation);
  }
}

// One solve in engine mode LU_SOLVE_A (v = right-hand side, w = result) or
// LU_SOLVE_AT (w = right-hand side, v = result).
void EngineSolve(Factorization* f, LU_SolveMode mode, double* v, double* w) {
  std::int32_t result = LU_OK;
  LU_Solve(mode, f->m, f->n, v, w, f->ip, f->rp, f->lu, result);
  if (result == LU_SINGULAR) {
    Output_Printf(OUTPUT_LOG | OUTPUT_STATUS, "Solve failed: residual: %e\n",
                  f->rp[LU_Real::solve_residual]);
  }
  Factorization_SolveStatus(result);
}

void* SlotCreate(std::int32_t m, std::int32_t n, std::int32_t nnz) {
  return Factorization_Create(m, n, nnz);
}
void SlotDestroy(void* handle) { Factorization_Destroy(static_cast<Factorization*>(handle)); }
void SlotSize(void* handle, std::int32_t m, std::int32_t n, std::int32_t nnz) {
  Factorization_Size(static_cast<Factorization*>(handle), m, n, nnz);
}
int SlotFactor(void* handle, SparseMatrix* A, IDenseVector* cols) {
  return Factorization_Factor(static_cast<Factorization*>(handle), A, cols);
}
int SlotReplace(void* handle, SparseMatrix* A, IDenseVector* cols, std::int32_t k) {
  return Factorization_Replace(static_cast<Factorization*>(handle), A, cols, k);
}
int SlotSolve(void* handle, DenseVector* x, DenseVector* b) {
  return Factorization_Solve(static_cast<Factorization*>(handle), x, b);
}
int SlotSolveT(void* handle, DenseVector* x, DenseVector* b) {
  return Factorization_SolveT(static_cast<Factorization*>(handle), x, b);
}
int SlotNumSingular(void* handle) {
  return Factorization_NumSingular(static_cast<Factorization*>(handle));
}
void SlotGetSingular(void* handle, std::int32_t k, std::int32_t* row, std::int32_t* column) {
  Factorization_GetSingular(static_cast<Factorization*>(handle), k, row, column);
}

const Basis_Interface sparse_table = {SlotCreate,  SlotDestroy, SlotSize,        SlotFactor,
                                      SlotReplace, SlotSolve,   SlotSolveT,      SlotNumSingular,
                                      SlotGetSingular, nullptr};

}  // namespace

Factorization* Factorization_Create(std::int32_t M, std::int32_t N, std::int32_t nnz) {
  auto* f = Memory_AllocateArray<Factorization>(1);
  *f = Factorization{};
  try {
    AllocateArrays(f, M, N);
    AllocateStorage(f, SizingRule(M, N, nnz));
  } catch (...) {
    Factorization_Destroy(f);
    throw;
  }
  LU_DefaultParams(f->ip, f->rp);
  ReadFactorParams(f);
  f->lu.grow = GrowStorage;
  f->lu.grow_context = f;
  return f;
}

void Factorization_Destroy(Factorization* f) {
  if (f == nullptr) return;
  FreeStorage(f);
  void* arrays[] = {f->lu.row_len,    f->lu.row_start,       f->lu.row_perm,
                    f->lu.row_perm_inv, f->lu.col_count_start, f->solve_work,
                    f->lu.col_len,    f->lu.col_start,       f->lu.col_perm,
                    f->lu.col_perm_inv, f->lu.row_count_start, f->lu.col_umax,
                    f->transpose_work, f->lu.work,           f->singular_row,
                    f->singular_column, f->marks};
  for (void* array : arrays) Memory_Free(array);
  Memory_Free(f);
}

void Factorization_Size(Factorization* f, std::int32_t M, std::int32_t N, std::int32_t nnz) {
  AllocateArrays(f, M, N);
  const std::int64_t length = SizingRule(M, N, nnz);
  if (length > f->lu.storage_length) AllocateStorage(f, length);
}

int Factorization_Resize(Factorization* f, std::int64_t entries) {
  const std::int64_t L = f->lu.storage_length;
  const std::int64_t required = f->ip[LU_Int::required_storage];
  const double elbowroom = OptionDouble(FACTORIZATION_ELBOWROOM);
  double t = static_cast<double>(L);
  const double from_entries = static_cast<double>(entries) * (1.0 + elbowroom);
  if (from_entries > t) t = from_entries;
  std::int64_t length = Truncate(t);
  const double from_dimension =
      OptionDouble(FACTORIZATION_VECTORROOM) * static_cast<double>(Larger(f->m, f->n));
  if (from_dimension > static_cast<double>(length)) length = Truncate(from_dimension);

  Option& luroom = Factorization_OptionTable[FACTORIZATION_LUROOM];
  if (length < required) {
    length = Truncate(static_cast<double>(required) * (1.0 + luroom.double_value));
    // Never below what the engine asked for, whatever luroom holds.
    if (length < required) length = required;
  } else if (f->attempts > 0 && luroom.double_value < 5.0) {
    const double old_value = luroom.double_value;
    luroom.double_value = old_value + 0.1;
    Output_Printf(UpdateMode(), "Basis: Resize: factorization_luroom increase (%.2f -> %.2f)\n",
                  old_value, luroom.double_value);
  }
  const double from_factors =
      (1.0 + luroom.double_value) *
      static_cast<double>(static_cast<std::int64_t>(f->ip[LU_Int::l_length]) +
                          f->ip[LU_Int::u_length]);
  if (from_factors > static_cast<double>(length)) length = Truncate(from_factors);
  length = Fit(length, f->max_rows, f->max_cols, required > entries ? required : entries);

  if (length <= L) return 1;
  if (length > kInt32Max) Error_Report("Factorization", __LINE__, "Resize", "allocation failed");
  Output_Printf(UpdateMode(),
                "Basis: Resize: refactorization: %d, storage allocated for basis: %d elements "
                "(%d min)\n",
                f->attempts, static_cast<std::int32_t>(length), f->ip[LU_Int::required_storage]);
  AllocateStorage(f, length);
  return 1;
}

int Factorization_Load(Factorization* f, SparseMatrix* A, IDenseVector* cols) {
  const std::int32_t m = SparseMatrix_Rows(A);
  const std::int32_t n = IDenseVector_Length(cols);
  if (m > f->max_rows || n > f->max_cols) {
    Factorization_Size(f, Larger(m, f->max_rows), Larger(n, f->max_cols), 0);
  }
  f->m = m;
  f->n = n;

  const std::int32_t* column = IDenseVector_Array(cols);
  const SparseMatrix_ColumnView a = SparseMatrix_Columns(A);
  std::int64_t count = 0;
  for (std::int32_t k = 0; k < n; ++k) {
    CheckColumn(A, k + 1, column[k], "Load");
    count += a.length[column[k] - 1];
  }
  Factorization_Resize(f, count);
  if (count > f->lu.storage_length) Error_SolverError("nnz > maxNNZ");

  // A column with an infinite or NaN value is loaded empty: the engine then
  // reports it singular, and the value reaches neither the factors of the
  // other columns nor the updates that follow.
  std::int32_t e = 0;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t first = a.start[column[k] - 1] - 1;
    const std::int32_t last = first + a.length[column[k] - 1];
    const std::int32_t column_start = e;
    for (std::int32_t l = first; l < last; ++l, ++e) {
      if (!std::isfinite(a.value[l])) {
        e = column_start;
        break;
      }
      f->lu.lu_row_index[e] = a.row[l];
      f->lu.lu_col_index[e] = k + 1;
      f->lu.lu_value[e] = a.value[l];
    }
  }
  f->entries = e;
  return 1;
}

int Factorization_FactorStatus(int inform) {
  switch (inform) {
    case LU_OK:
      return BASIS_FACTORED;
    case LU_SINGULAR:  // also LU_RANK_UP
    case LU_RANK_DOWN:
    case LU_UNSTABLE:
      return BASIS_SINGULAR;
    case LU_NO_STORAGE:
      return BASIS_STORAGE;
    default:
      break;
  }
  if (inform == LU_BAD_INDEX || inform == LU_DUPLICATE || inform >= LU_INCONSISTENT) {
    Error_SolverError("Factorization: FactorStatus: error status: %d.\n", inform);
  }
  Error_SolverError("Factorization: FactorStatus: unknown status: %d.\n", inform);
}

int Factorization_Factor(Factorization* f, SparseMatrix* A, IDenseVector* cols) {
  f->singular_built = 0;
  f->attempts = 0;
  f->growths = 0;
  f->entries = 0;
  ReadFactorParams(f);
  int status = BASIS_STORAGE;
  while (status == BASIS_STORAGE) {
    f->factored = 0;
    Factorization_Load(f, A, cols);
    const std::int32_t storage = f->lu.storage_length;
    const int inform = LU_Factor(f->m, f->n, f->entries, f->ip, f->rp, f->lu);
    if (inform == LU_NO_DIAGONAL && f->ip[LU_Int::pivot_rule] == LU_RULE_DIAGONAL) {
      // The diagonal offers no acceptable pivot: factor this basis with
      // threshold partial pivoting instead of ending the solve.
      f->ip[LU_Int::pivot_rule] = LU_RULE_PARTIAL;
      continue;
    }
    if ((inform == LU_OK || inform == LU_SINGULAR) && FactorGrew(f)) {
      // The factors are useless, and their tiny pivots may even call a
      // regular basis singular: factor again with a tighter stability bound.
      continue;
    }
    status = Factorization_FactorStatus(inform);
    if (status == BASIS_SINGULAR) {
      Output_Printf(Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES)
                        ? OUTPUT_LOG | OUTPUT_STATUS
                        : OUTPUT_STATUS,
                    "Factorization: number of singularities %d(%d)\n",
                    f->ip[LU_Int::singular_count], f->m);
    }
    ++f->attempts;
    f->updates = 0;
    if (status == BASIS_STORAGE && f->ip[LU_Int::required_storage] <= storage) {
      Error_SolverError("Factorization: Factor: storage shortage of %d elements reported "
                        "without a larger requirement.\n",
                        storage);
    }
  }
  f->factored = 1;
  return status;
}

int Factorization_UpdateCheck(Factorization* f) {
  const int frequency = Factorization_OptionInt(OUTPUT_FACTORIZATION_UPDATES_FREQUENCY);
  if (frequency > 0 && (f->updates - 1) % frequency == 0) {
    Output_Printf(UpdateMode(), "Basis: update %2d: LU: %d z: %d dmin: %g\n", f->updates,
                  f->ip[LU_Int::l_length] + f->ip[LU_Int::u_length],
                  f->ip[LU_Int::compression_count], f->rp[LU_Real::diag_min]);
  }
  return f->updates >= Factorization_OptionInt(FACTORIZATION_UPDATE_LIMIT) ? 1 : 0;
}

int Factorization_Replace(Factorization* f, SparseMatrix* A, IDenseVector* cols, std::int32_t k) {
  ReadDropTolerance(f);
  if (k > f->n) {
    Error_SolverError("Factorization: Replace: called replace with index %d >= n\n", k);
  }
  // Factors with a column judged singular (a tiny pivot keeps the rank at n)
  // stay singular whatever column an update brings in: the fresh
  // factorization judges the new B.
  if (k < 1 || !f->factored || f->ip[LU_Int::singular_count] > 0 ||
      Factorization_UpdateCheck(f) == 1) {
    return Rebuilt(f, A, cols);
  }

  // The entering column, scattered from A and transformed by the engine.
  const std::int32_t j = IDenseVector_Value(cols, k);
  CheckColumn(A, k, j, "Replace");
  double* v = f->solve_work;
  for (std::int32_t i = 0; i < f->m; ++i) v[i] = 0.0;
  const SparseMatrix_ColumnView a = SparseMatrix_Columns(A);
  const std::int32_t first = a.start[j - 1] - 1;
  const std::int32_t last = first + a.length[j - 1];
  for (std::int32_t l = first; l < last; ++l) {
    if (a.row[l] < 1 || a.row[l] > f->m) {
      Error_SolverError("Factorization: Replace: row %d of column %d outside 1..%d.\n", a.row[l],
                        j, f->m);
    }
    // An entering column with an infinite or NaN value leaves B singular.
    if (!std::isfinite(a.value[l])) return Rebuilt(f, A, cols);
    v[a.row[l] - 1] = a.value[l];
  }

  double diag = 0.0;
  double vnorm = 0.0;
  f->factored = 0;
  const int inform = LU_ReplaceColumn(LU_OLD_REMOVE, LU_NEW_GIVEN, f->m, f->n, k, v, f->ip, f->rp,
                                      f->lu, diag, vnorm);
  if (std::fabs(diag) < f->rp[LU_Real::diag_min]) f->rp[LU_Real::diag_min] = std::fabs(diag);
  const int status = Factorization_FactorStatus(inform);
  // An update that keeps the rank of singular factors leaves B singular:
  // the fresh factorization reports it (and lists its singular pairs).
  if (status == BASIS_FACTORED && f->ip[LU_Int::rank] >= f->n) {
    f->factored = 1;
    ++f->updates;
    return BASIS_UPDATED;
  }
  return Rebuilt(f, A, cols);
}

int Factorization_SolveStatus(int inform) {
  if (inform != LU_OK) {
    Error_SolverError("Factorization: SolveStatus: unknown status: %d\n", inform);
  }
  return 0;
}

int Factorization_Solve(Factorization* f, DenseVector* x, DenseVector* b) {
  ReadDropTolerance(f);
  RequireRoom(b, f->m, "Solve", "right-hand side");
  RequireRoom(x, f->n, "Solve", "result");
  RequireFactors(f, "Solve");
  const double* rhs = DenseVector_Array(b);
  for (std::int32_t i = 0; i < f->m; ++i) f->solve_work[i] = rhs[i];
  DenseVector_SetLength(x, f->n);
  EngineSolve(f, LU_SOLVE_A, f->solve_work, DenseVector_Array(x));
  return 0;
}

int Factorization_SolveT(Factorization* f, DenseVector* x, DenseVector* b) {
  ReadDropTolerance(f);
  RequireRoom(b, f->n, "SolveT", "right-hand side");
  RequireRoom(x, f->m, "SolveT", "result");
  RequireFactors(f, "SolveT");
  const double* rhs = DenseVector_Array(b);
  for (std::int32_t i = 0; i < f->n; ++i) f->transpose_work[i] = rhs[i];
  DenseVector_SetLength(x, f->m);
  EngineSolve(f, LU_SOLVE_AT, DenseVector_Array(x), f->transpose_work);
  return 0;
}

int Factorization_NumSingular(Factorization* f) {
  // Row marks while the pairs are listed: free, taken, or the row of a
  // singular column that waits for a free row.
  constexpr std::int32_t kWaiting = -1;
  if (f->singular_built) return f->ip[LU_Int::singular_count];
  const std::int32_t m = f->m;
  const std::int32_t n = f->n;
  const std::int32_t pivots = m < n ? m : n;
  const std::int32_t* P = f->lu.row_perm;
  const std::int32_t* Q = f->lu.col_perm;
  const double* w = f->lu.col_umax;
  std::int32_t* marks = f->marks;
  std::int32_t pairs = 0;
  if (f->factored) {
    // Rows that pivot a nonsingular column are covered.
    for (std::int32_t i = 0; i < m; ++i) marks[i] = 0;
    for (std::int32_t i = 0; i < pivots; ++i) {
      if (w[Q[i] - 1] > 0.0) marks[P[i] - 1] = 1;
    }
    // A singular column j takes row j when that row is free; otherwise it
    // waits (its mark kWaiting) for the next free row.
    for (std::int32_t j = 1; j <= n; ++j) {
      if (w[j - 1] > 0.0 || j > m) continue;
      if (marks[j - 1] == 0) {
        f->singular_row[pairs] = j;
        f->singular_column[pairs] = j;
        ++pairs;
        marks[j - 1] = 1;
      } else {
        marks[j - 1] = kWaiting;
      }
    }
    std::int32_t r = 0;
    for (std::int32_t j = 1; j <= n; ++j) {
      if (w[j - 1] > 0.0) continue;
      if (j <= m && marks[j - 1] != kWaiting) continue;
      do {
        ++r;
      } while (r <= m && marks[r - 1] != 0);
      if (r > m) break;
      f->singular_row[pairs] = r;
      f->singular_column[pairs] = j;
      ++pairs;
    }
  }
  f->singular_pairs = pairs;
  f->singular_built = 1;
  return f->ip[LU_Int::singular_count];
}

void Factorization_GetSingular(Factorization* f, std::int32_t k, std::int32_t* row,
                               std::int32_t* column) {
  if (!f->singular_built) Factorization_NumSingular(f);
  if (k < 1 || k > f->singular_pairs) {
    Error_SolverError("Factorization: GetSingular: singularity %d requested, %d listed.\n", k,
                      f->singular_pairs);
  }
  *row = f->singular_row[k - 1];
  *column = f->singular_column[k - 1];
  if (f->lu.col_umax[*column - 1] > 0.0) Error_SolverError("Nonsingular variable obtained.\n");
}

const Basis_Interface* Factorization_Interface() { return &sparse_table; }

void Factorization_Select() { Basis_SetInterface(&sparse_table); }

int Factorization_SelectedBackend() {
  const Basis_Interface* current = Basis_GetInterface();
  if (current == &sparse_table) return FACTORIZATION_SPARSE;
  if (current == DenseBasis_Interface()) return FACTORIZATION_DENSE;
  return FACTORIZATION_NO_BACKEND;
}
