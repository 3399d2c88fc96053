// DenseBasis: the dense basis back-end (factorization_method dense).
//
// The basis B (column k of B is column cols[k] of a SparseMatrix A) is
// copied into a dense matrix W and factored by Gaussian elimination with
// complete pivoting into one combined array: the multipliers of the unit
// lower triangular L below the diagonal, U on and above it, with a row order
// P and a column order Q (position i of the factors holds row P[i] and
// column Q[i] of B, all 1-based). A column replacement updates L and U in
// place; too many updates, a negligible elimination step or a tiny final
// pivot make it factor afresh instead.
//
// The back-end has no singularity report: its table fills the create,
// destroy, size, factor, replace, solve and solveT slots and leaves
// num_singular, get_singular and banner empty.
#pragma once

#include <cstdint>

struct Basis_Interface;
struct DenseMatrix;
struct DenseVector;
struct IDenseVector;
struct SparseMatrix;

struct DenseBasis {
  DenseMatrix* W;        // B, then its factors: W(i, j) for j < i is L, else U (0-based)
  DenseVector* work;     // scratch of the solves and of replace, capacity max_rows
  IDenseVector* P;       // row order, capacity max_rows
  IDenseVector* Q;       // column order, capacity max_cols
  IDenseVector* Pinv;    // Pinv[P[i]] = i
  IDenseVector* Qinv;    // Qinv[Q[i]] = i
  std::int32_t max_rows;  // capacities
  std::int32_t max_cols;
  std::int64_t max_size;  // max_rows * max_cols
  std::int32_t m;         // current rows and columns of the loaded basis
  std::int32_t n;
  std::int64_t size;      // m * n
  std::int32_t updates;   // column updates since the latest factorization
  std::int32_t singular;  // 1 when the latest factorization found B singular
  std::int32_t factored;  // 1 while W, P, Q and their inverses hold factors
};

// New back-end record with room for an M x N basis (capacities at least 1);
// current sizes 0. nnz is not used. Allocation failure is Memory's solver
// error.
DenseBasis* DenseBasis_Create(std::int32_t M, std::int32_t N, std::int32_t nnz);

// Frees the matrix, the vectors and the record; nullptr is ignored.
void DenseBasis_Destroy(DenseBasis* d);

// Raises each capacity to the larger of its old value and the argument;
// members that grow lose their contents, and a factorization must follow
// before the next solve. nnz is not used. Never shrinks. A failed
// allocation leaves the record usable at its old capacities.
void DenseBasis_Size(DenseBasis* d, std::int32_t M, std::int32_t N, std::int32_t nnz);

// Copies B into W: m := A's rows, n := length of cols, W := the m x n zero
// matrix, P = Q = 1, 2, ..., and every stored entry (row r) of column
// cols[k] of A goes to W(r - 1, k - 1) (a later entry of the same row
// overwrites); a column with an infinite or NaN value stays zero, so that
// the factorization finds it singular. Grows the capacities when the basis
// does not fit. A column number outside 1..A's columns is a solver error.
// Returns 1.
int DenseBasis_Load(DenseBasis* d, SparseMatrix* A, IDenseVector* cols);

// Loads and factors B. Returns 0 (nonsingular) or 3 (a pivot of magnitude
// below factorization_pivot_tolerance, NaN included). A non-square basis is
// the solver error "Basis: Factor: need square system.\n". An empty basis
// is factored trivially (0).
int DenseBasis_Factor(DenseBasis* d, SparseMatrix* A, IDenseVector* cols);

// Column k (1-based) of B is now column cols[k] of A (the caller stored it).
// Returns 2 after an update of the factors; 1 (or 3 when singular) when the
// factors were rebuilt instead: k < 1, factorization_update_limit updates
// reached, a negligible elimination step, or a final pivot below the pivot
// tolerance, factors of a singular B, no factors at all, or an entering
// column with an infinite or NaN value (B is then singular). k > n, or an
// entering column that A does not have, is a solver error raised before
// the factors change.
int DenseBasis_Replace(DenseBasis* d, SparseMatrix* A, IDenseVector* cols, std::int32_t k);

// x := B^-1 b (x gets length n) and x := B^-T b (x gets length m), using the
// latest factors. b must hold m (n for SolveT) elements, x must have room
// for the result, and a factorization of a nonsingular B must be in place;
// otherwise a solver error. x may be b. Return 0.
int DenseBasis_Solve(DenseBasis* d, DenseVector* x, DenseVector* b);
int DenseBasis_SolveT(DenseBasis* d, DenseVector* x, DenseVector* b);

// The dense back-end's table (slots 0 to 6 filled, 7 to 9 empty).
const Basis_Interface* DenseBasis_Interface();

// Makes the dense back-end's table the current Basis_Interface.
void DenseBasis_Select();
