// Sparse LU engine: factors a sparse m by n matrix A as P A Q = L U with a
// unit lower triangular L and an upper triangular U, solves with the factors,
// and replaces single columns of the factored matrix by updating the factors.
//
// The engine has no record of its own. The caller owns every array (the
// LU_Factors record below) and the two parameter arrays, fills the "in"
// parameters, and keeps everything untouched between a factorization and the
// solves and replacements that use it. The engine allocates nothing and
// prints nothing; it reports through result codes and the parameter arrays.
// A factorization may advise the system to back a long storage with large
// pages (a hint that changes no content; see LU_AdviseLargePages).
// Only one factorization (with its solves and replacements) is in use at a
// time. Long computations poll Interrupt_CheckFlag; an interrupt leaves only
// through a registered jump point and the arrays then hold no usable
// factorization.
//
// Addressing: row, column and storage positions count from 1. Every array is
// a plain block whose element 1 sits at offset 0 (the layout of
// DenseVector_Array), so position l of lu_value is lu_value[l - 1].
//
// Layout of the storage after a factorization that keeps the factors:
// - U by rows at the front: for k = 1..rank, row i = row_perm(k) occupies
//   positions row_start(i) .. row_start(i) + row_len(i) - 1 (value in
//   lu_value, column in lu_col_index); the first entry of a row is its pivot,
//   in column col_perm(k). Rows at positions beyond the rank have row_len 0.
// - L by columns at the back, the first pivot's column last: l_length
//   multipliers at positions storage_length - l_length + 1 .. storage_length;
//   col_len(1..l_column_count) are the lengths of the nonempty columns in
//   pivot order. An L entry means v(lu_row_index) += lu_value * v(lu_col_index)
//   (lu_col_index holds the pivot row). Entries appended by column
//   replacements lie below the initial ones, newest lowest.
// - col_start is 0 for every column; col_umax(j) is the largest magnitude in
//   column j of U, negated (so not positive, -0.0 included) when column j was
//   judged singular.
#pragma once

#include <cstdint>

// Indices of LU_IntParams (1..30). "in" entries are set by the caller, the
// others are written by the engine.
enum class LU_Int : int {
  message_unit = 2,           // in: not read by the engine; -1 (no messages) by default
  search_limit = 3,           // in: columns a Markowitz search examines (rows: one fewer)
  pivot_rule = 6,             // in: LU_RULE_* (other values act as LU_RULE_PARTIAL)
  keep_factors = 8,           // in: non-zero keeps L and U for solves and replacements
  result_code = 10,           // result of the latest call
  singular_count = 11,        // columns judged singular
  last_singular_column = 12,  // last singular column in pivot order (0 if none)
  required_storage = 13,      // storage length needed (see LU_Factor)
  update_count = 15,          // column replacements since the factorization
  rank = 16,                  // pivots taken
  dense1_columns = 17,        // columns left at the first density threshold (0 if never)
  dense2_columns = 18,        // columns left at the second threshold or the dense switch
  min_diag_column = 19,       // column of the smallest pivot (0 when the rank is 0)
  l_column_count = 20,        // nonempty columns of L
  l_length_initial = 21,      // entries of L after the factorization
  u_length_initial = 22,      // entries of U after the factorization
  l_length = 23,              // current entries of L
  u_length = 24,              // current entries of U
  row_file_end = 25,          // last position used by the rows of U
  compression_count = 26,     // compressions since the factorization began
  merit_sum = 27,             // sum of the Markowitz merits of the pivots
  u_triangle_size = 28,       // pivots of the opening column-singleton phase
  l_triangle_size = 29,       // pivots of the following row-singleton phase
};

// Indices of LU_RealParams (1..30).
enum class LU_Real : int {
  l_factor_limit = 1,   // in: largest multiplier the factorization accepts (at least 1.0001)
  l_update_limit = 2,   // in: largest multiplier a column replacement accepts
  drop_tolerance = 3,   // in: entries of magnitude at most this are dropped
  u_abs_tolerance = 4,  // in: a pivot at most this in magnitude is singular
  u_rel_tolerance = 5,  // in: a pivot at most this times its U column maximum is singular
  space_factor = 6,     // in: free-space factor of the compression test
  density_1 = 7,        // in: first density threshold (the smaller of 7 and 8 is used)
  density_2 = 8,        // in: second density threshold
  a_max = 10,           // largest input magnitude after dropping
  l_max = 11,           // largest multiplier magnitude
  u_max = 12,           // largest magnitude in U
  diag_max = 13,        // largest pivot magnitude
  diag_min = 14,        // smallest pivot magnitude (0 when the rank is 0)
  active_max = 15,      // largest magnitude of the active submatrices (rule 2 only)
  growth = 16,          // u_max (rule 0) or active_max (other rules) over a_max + 1e-20
  solve_residual = 20,  // residual of the latest U solve beyond the rank
};

// The 30 integer parameters, addressed 1..30 (entry 0 is not used).
struct LU_IntParams {
  std::int32_t value[31];
  std::int32_t& operator[](LU_Int index) { return value[static_cast<int>(index)]; }
  std::int32_t operator[](LU_Int index) const { return value[static_cast<int>(index)]; }
};

// The 30 real parameters, addressed 1..30 (entry 0 is not used).
struct LU_RealParams {
  double value[31];
  double& operator[](LU_Real index) { return value[static_cast<int>(index)]; }
  double operator[](LU_Real index) const { return value[static_cast<int>(index)]; }
};

// Pivoting rules (pivot_rule).
enum : std::int32_t {
  LU_RULE_PARTIAL = 0,   // threshold partial pivoting, Markowitz search
  LU_RULE_ROOK = 1,      // threshold rook pivoting (last m positions of lu_value reserved)
  LU_RULE_COMPLETE = 2,  // threshold complete pivoting (last n positions reserved)
  LU_RULE_DIAGONAL = 3,  // pivots from the diagonal only
};

// Result codes.
enum : std::int32_t {
  LU_RANK_DOWN = -1,       // replacement: the rank fell by one
  LU_OK = 0,               // factors computed / rank unchanged / solve consistent
  LU_SINGULAR = 1,         // factorization: columns judged singular; solve: residual > 0
  LU_RANK_UP = 1,          // replacement: the rank rose by one
  LU_UNSTABLE = 2,         // replacement: unstable update, factors not usable
  LU_BAD_INDEX = 3,        // factorization: a triple's row or column out of range
  LU_DUPLICATE = 4,        // factorization: two triples with the same row and column
  LU_NO_STORAGE = 7,       // storage too small; required_storage says how much
  LU_INCONSISTENT = 8,     // factorization: free-space inconsistency
  LU_BAD_COLUMN = 8,       // replacement: column outside 1..n
  LU_NO_DIAGONAL = 9,      // factorization under rule 3: no acceptable diagonal pivot
};

// Modes of LU_Solve.
enum LU_SolveMode : std::int32_t {
  LU_SOLVE_L = 1,         // L v = v
  LU_SOLVE_LT = 2,        // L' v = v
  LU_SOLVE_U = 3,         // U w = v
  LU_SOLVE_UT = 4,        // U' v = w (w is overwritten)
  LU_SOLVE_A = 5,         // A w = v (v ends holding L^-1 v)
  LU_SOLVE_AT = 6,        // A' v = w (w is overwritten)
  LU_SOLVE_LDLT = 7,      // forward L pass scaled by the U pivots, then L' v = v
  LU_SOLVE_LDLT_ABS = 8,  // the same, scaled by the pivots' magnitudes
};

// The old column of LU_ReplaceColumn (mode_old).
enum LU_ReplaceOld : std::int32_t {
  LU_OLD_ZERO = 0,    // taken as zero: nothing is removed from U (the caller guarantees it)
  LU_OLD_REMOVE = 1,  // removed from U (any other value acts the same)
};

// The new column of LU_ReplaceColumn (mode_new).
enum LU_ReplaceNew : std::int32_t {
  LU_NEW_ZERO = 0,         // the new column is zero
  LU_NEW_GIVEN = 1,        // v holds it (m doubles) and is transformed in place by L^-1
  LU_NEW_TRANSFORMED = 2,  // v already holds L^-1 times it
};

// The one mode of LU_CheckDiagonal that judges the pivots (any other does
// nothing).
constexpr std::int32_t LU_CHECK_PIVOTS = 1;

struct LU_Factors;

// Storage growth inside a factorization, provided by the caller (optional).
// When the storage runs short even after compressing, the factorization
// calls it with a minimum length and the two parts of the storage in use:
// positions 1..front_end (the row and column files) and back_start..
// storage_length (the factors and the areas the rule reserves). The caller
// obtains storage of at least min_length positions, copies the parts over
// with LU_CopyStorage (the front to the same positions, the back to the end
// of the new storage), points the storage arrays and storage_length of f at
// it and releases the old storage. It returns false (f untouched) when it
// cannot; the factorization then reports LU_NO_STORAGE as without it.
using LU_GrowStorage = bool (*)(void* context, LU_Factors& f, std::int64_t min_length,
                                std::int32_t front_end, std::int32_t back_start);

// The caller-owned arrays. Lengths: the storage arrays storage_length each
// (the back-end allocates them as one block of 16 * storage_length bytes,
// a long one starting on a large page); the row arrays at least m, the
// column arrays at least n, work at least LU_WorkLength(m, n). Between a
// factorization and its solves and replacements the caller leaves
// everything untouched except work.
struct LU_Factors {
  std::int32_t storage_length;
  double* lu_value;
  std::int32_t* lu_row_index;
  std::int32_t* lu_col_index;
  std::int32_t* row_perm;         // m: k-th pivot row after a factorization
  std::int32_t* col_perm;         // n: k-th pivot column after a factorization
  std::int32_t* row_len;          // m
  std::int32_t* col_len;          // n
  std::int32_t* row_start;        // m
  std::int32_t* col_start;        // n
  std::int32_t* row_count_start;  // n: used by the factorization only
  std::int32_t* col_count_start;  // m: used by the factorization only
  std::int32_t* row_perm_inv;     // m: used by the factorization only
  std::int32_t* col_perm_inv;     // n: used by the factorization only
  double* col_umax;               // n
  std::int32_t* work;             // LU_WorkLength(m, n): scratch of the factorization
  LU_GrowStorage grow = nullptr;  // optional: storage growth during a factorization
  void* grow_context = nullptr;   // passed to grow
  // Positions 1..front_written of the storage arrays were written since the
  // storage was obtained (a hint kept by the factorization: the first write
  // of a page costs a fault, so the row and column files prefer
  // compressing to extending beyond it). A caller that installs new storage
  // sets it to 0; a value too low costs only compressions.
  std::int32_t front_written = 0;
};

// Copies the parts in use of from's storage arrays into val, ri and ci of
// `length` positions: positions 1..front_end to the same positions and
// back_start..from.storage_length to the end (length - from.storage_length
// positions further on). Needs length >= from.storage_length and front_end <
// back_start.
void LU_CopyStorage(const LU_Factors& from, double* val, std::int32_t* ri, std::int32_t* ci,
                    std::int32_t length, std::int32_t front_end, std::int32_t back_start);

// A storage of many positions is mostly written for the first time during
// the factorization, and a fresh page costs a fault to the system: asks the
// system (where it takes such advice) to back the storage arrays with large
// pages, which take a fault each for many small ones. Storage too short to
// fill a large page (under 2^18 positions) is left alone. Only a hint:
// nothing changes in the arrays. LU_Factor advises its storage; a caller
// may advise a new storage before filling it (or copying into it).
void LU_AdviseLargePages(const LU_Factors& f);

// Length of the integer scratch array `work` for an m by n matrix (64-bit,
// so that the caller can check it against the 32-bit range).
std::int64_t LU_WorkLength(std::int32_t m, std::int32_t n);

// The engine's default parameters: every entry 0, then the "in" entries
// message_unit -1, search_limit 5, pivot_rule LU_RULE_PARTIAL, keep_factors
// 1, l_factor_limit and l_update_limit 10, drop_tolerance eps^0.9,
// u_abs_tolerance and u_rel_tolerance eps^(2/3) (eps = 2^-52),
// space_factor 3, density_1 0.3 and density_2 0.5. These are the values the
// sparse basis back-end gives the engine under the default factorization
// options; it then reads the option-driven ones afresh for every
// factorization.
void LU_DefaultParams(LU_IntParams& ip, LU_RealParams& rp);

// Factors the m by n matrix whose element_count entries stand as triples
// (lu_value(l), lu_row_index(l), lu_col_index(l)) = (a_ij, i, j) at positions
// 1..element_count of the storage, each (i, j) at most once, in any order.
// Entries of magnitude at most drop_tolerance are dropped (and their indices
// not checked). Returns (and stores in result_code) LU_OK, LU_SINGULAR (factors
// complete, singular_count columns judged singular and marked in col_umax),
// LU_BAD_INDEX, LU_DUPLICATE, LU_NO_STORAGE (required_storage: how much is
// needed; more than storage_length), LU_INCONSISTENT or LU_NO_DIAGONAL. After
// success required_storage = l_length + u_length + 2(m + n). With f.grow set,
// a shortage during the elimination grows the storage (f then points at the
// new storage) and the factorization goes on; LU_NO_STORAGE comes only when
// the storage fails the entry check, the hook refuses, or the final move of
// the factors runs short.
std::int32_t LU_Factor(std::int32_t m, std::int32_t n, std::int32_t element_count,
                       LU_IntParams& ip, LU_RealParams& rp, LU_Factors& f);

// Judges the pivots of a finished factorization (mode LU_CHECK_PIVOTS; other
// modes do nothing and return 0): sets col_umax, singular_count, last_singular_column,
// min_diag_column, diag_max, diag_min and, with kept factors, l_max and u_max.
// length is storage_length with kept factors, else the usable length. Returns
// 1 when a column was judged singular, else 0.
std::int32_t LU_CheckDiagonal(std::int32_t mode, std::int32_t m, std::int32_t n,
                              std::int32_t length, LU_IntParams& ip, LU_RealParams& rp,
                              LU_Factors& f);

// Replaces column j of the factored matrix by a new column and updates the
// kept factors. mode_old: LU_ReplaceOld; mode_new: LU_ReplaceNew.
// Outputs: diag, the new diagonal element (0 when there is none); vnorm, the
// sum of the magnitudes of the entries of L^-1 v that went into U. Returns
// LU_RANK_DOWN, LU_OK, LU_RANK_UP, LU_UNSTABLE (factors not usable),
// LU_NO_STORAGE (factors not usable) or LU_BAD_COLUMN (nothing changed but
// update_count). col_start is all 0 again on every result but LU_NO_STORAGE.
std::int32_t LU_ReplaceColumn(std::int32_t mode_old, std::int32_t mode_new, std::int32_t m,
                              std::int32_t n, std::int32_t j, double* v, LU_IntParams& ip,
                              LU_RealParams& rp, LU_Factors& f, double& diag, double& vnorm);

// Solves with the kept factors (v: m doubles, w: n doubles, element i at
// offset i - 1) in one of the LU_SolveMode modes. Stores result in `result`
// and result_code: LU_SINGULAR in modes LU_SOLVE_U, LU_SOLVE_UT and
// LU_SOLVE_A when the residual beyond the rank (solve_residual) is positive,
// else LU_OK. An unknown mode does nothing and leaves `result` as it was.
void LU_Solve(std::int32_t mode, std::int32_t m, std::int32_t n, double* v, double* w,
              LU_IntParams& ip, LU_RealParams& rp, LU_Factors& f, std::int32_t& result);
