// Factorization: the sparse basis back-end (factorization_method sparse, the
// default).
//
// Keeps a sparse LU factorization of the basis B (column k of B is column
// cols[k] of a SparseMatrix A) in the storage of the LU engine, sizes and
// grows that storage from the factorization options, factors again with more
// storage when the engine runs out, updates the factors when one column is
// replaced, falls back to a fresh factorization when an update is refused or
// factorization_update_limit updates have accumulated, solves with B and B',
// and turns the engine's singular columns into (row, column) pairs that the
// callers use to repair B. Its table fills slots 0 to 8; the banner slot is
// empty.
#pragma once

#include <cstdint>

#include "factorization/lu/LU_Engine.hpp"

struct Basis_Interface;
struct DenseVector;
struct IDenseVector;
struct SparseMatrix;

struct Factorization {
  std::int32_t max_rows;  // capacity M of the per-row arrays
  std::int32_t max_cols;  // capacity N of the per-column arrays
  std::int32_t m;         // rows and columns of the loaded basis
  std::int32_t n;
  std::int32_t entries;   // entries loaded by the latest load
  LU_Factors lu;          // the engine's arrays; lu.storage_length is the storage length L
  std::int64_t lu_work_length;  // allocated length of lu.work
  double* solve_work;     // M: right-hand side of Solve, then L^-1 times it
  double* transpose_work; // N: right-hand side of SolveT (overwritten by the engine)
  LU_IntParams ip;
  LU_RealParams rp;
  std::int32_t attempts;  // factorization attempts of the latest factor call
  std::int32_t growths;   // storage growths inside the engine during the latest factor call
  std::int32_t updates;   // column updates since the latest factorization
  std::int32_t factored;  // 1 while the engine's arrays hold usable factors
  // Singular (row, column) pairs of the latest factorization.
  std::int32_t* singular_row;     // max(M, N)
  std::int32_t* singular_column;  // max(M, N)
  std::int32_t* marks;            // max(M, N), one per row
  std::int32_t singular_capacity;
  std::int32_t singular_pairs;    // pairs in the list
  std::int32_t singular_built;    // 1 when the list belongs to the latest factorization
};

// New back-end record for M rows, N columns and about nnz entries: every
// array allocated through Memory (the storage as one block of 16 L bytes
// through Memory_AllocateFactors, L from the sizing rule; a long block, of
// 2^18 slots or more, gets up to 4 MiB more so that it can start on a
// large-page boundary), the engine's parameters set from the options,
// sizes and counters 0.
Factorization* Factorization_Create(std::int32_t M, std::int32_t N, std::int32_t nnz);

// Frees every array, the storage block and the record; nullptr is ignored.
void Factorization_Destroy(Factorization* f);

// Grows the per-row arrays to M, the per-column arrays to N and the storage
// to the sizing rule for (M, N, nnz), each only when larger. Contents are
// not kept: a factorization must follow before any solve. A failed
// allocation leaves the record usable at its old capacities.
void Factorization_Size(Factorization* f, std::int32_t M, std::int32_t N, std::int32_t nnz);

// Copies B into the engine's entry arrays (row index, position k in B,
// value), growing the arrays and the storage first; a column with an
// infinite or NaN value is loaded without entries, so that the factorization
// reports it singular. A column number outside 1..A's columns is a solver
// error. Returns 1.
int Factorization_Load(Factorization* f, SparseMatrix* A, IDenseVector* cols);

// Storage growth before a load of `entries` entries, from the options and
// the engine's counts of its latest call; may raise factorization_luroom by
// 0.1 on a retry. Prints the resize messages. Returns 1.
int Factorization_Resize(Factorization* f, std::int64_t entries);

// Engine result to Basis_Status: LU_OK -> BASIS_FACTORED; LU_SINGULAR (and
// LU_RANK_UP), LU_RANK_DOWN, LU_UNSTABLE -> BASIS_SINGULAR; LU_NO_STORAGE ->
// BASIS_STORAGE. LU_BAD_INDEX, LU_DUPLICATE and LU_INCONSISTENT up are the
// solver error "...error status: %d.\n", anything else "...unknown status:
// %d.\n".
int Factorization_FactorStatus(int inform);

// Loads and factors B, retrying with more storage while the engine runs
// short. Returns 0 or 3 (prints the number of singularities then). A basis
// that pivot rule 3 cannot factor from its diagonal is factored with rule 0.
int Factorization_Factor(Factorization* f, SparseMatrix* A, IDenseVector* cols);

// Prints the periodic update message; returns 1 when the update limit is
// reached (updates >= factorization_update_limit), else 0.
int Factorization_UpdateCheck(Factorization* f);

// Column k (1-based) of B is now column cols[k] of A (the caller stored
// it). The entering column is taken from A itself. Returns 2 after an
// update; 1 (or 3 when singular) when the factors were rebuilt instead: k <
// 1, the update limit reached, no usable factors, factors of a singular B,
// an update the engine refused, an update that leaves B singular, or an
// entering column with an infinite or NaN value (B is then singular). k > n
// is a solver error.
int Factorization_Replace(Factorization* f, SparseMatrix* A, IDenseVector* cols, std::int32_t k);

// x := B^-1 b (x gets length n) and x := B^-T b (x gets length m). b must
// hold m (n) elements, x must have room for the result, and a factorization
// must be in place; otherwise a solver error. x may be b. Neither solve
// touches the singularity marks; SolveT leaves the work vector of Solve
// alone. A failed forward solve prints "Solve failed: residual: %e\n" and is
// a solver error. Return 0.
int Factorization_Solve(Factorization* f, DenseVector* x, DenseVector* b);
int Factorization_SolveT(Factorization* f, DenseVector* x, DenseVector* b);

// 0 for LU_OK; any other engine solve result is a solver error.
int Factorization_SolveStatus(int inform);

// Builds the singular pairs of the latest factorization (when not built)
// and returns the engine's count of singular columns.
int Factorization_NumSingular(Factorization* f);

// The k-th (1-based) singular pair: row of the unit column that can take
// the place of basis position column. k outside the list, or a pair whose
// column is not singular, is a solver error.
void Factorization_GetSingular(Factorization* f, std::int32_t k, std::int32_t* row,
                               std::int32_t* column);

// The sparse back-end's table (slots 0 to 8 filled, banner empty).
const Basis_Interface* Factorization_Interface();

// Makes the sparse back-end's table the current Basis_Interface.
void Factorization_Select();

// Which back-end's table is current: 0 dense, 1 sparse, -1 another or none.
int Factorization_SelectedBackend();
