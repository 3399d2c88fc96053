// CrashMatrix: the Newton matrix of the crash phase, kept factored in the
// Workspace's timed basis from one crash step to the next.
//
// For active-set codes status (n entries: BASIS_BASIC for a free variable,
// BASIS_LOWER or BASIS_UPPER for one held at a bound) and a proximal term
// mu, column j of the n x n matrix B is
//   J(:, j) + mu e_j   for a free j (every row 1..n of J),
//   e_j                for a held j.
// With the free variables I ordered first and the held ones A after them,
// B = [J_II + mu I, 0; J_AI, I], so the first block of B y = r solves
// (J_II + mu I) y_I = r_I whatever r_A is: y_I is the Newton direction of
// the free block. One variable changing its membership is exactly one
// column replacement of B, which the basis layer does by updating the
// factors it has (Basis_Replace).
//
// The matrix the basis reads, the Workspace matrix, holds both candidate
// columns of every variable: column j (1..n) is J(:, j) + mu e_j and column
// n + j is e_j; the basis column vector (cols, n entries, 1-based values)
// picks j or n + j for position j. It is built from J and mu only, so the
// factors stay valid for as long as J and mu stay what they were.
//
// The factors are brought up to date by column replacements when J (same
// pattern, same values) has not changed, the basis holds factors, and the
// memberships that changed fit within what the update limit
// (factorization_update_limit) still allows, within a tenth of n and, once
// a factorization took long enough to time (10 ms), within the time it
// took: the updates and refinement solves on kept factors, at their
// average time so far, stop when they would take longer than a fresh
// factorization did; otherwise B is factored afresh. The timing decides
// only between two ways to the same directions. A smaller proximal term
// than the one inside the factors keeps them too: the solve then refines
// the direction for the smaller term with the factors it has. A solve with
// updated factors or for another proximal term is checked against the
// matrix it stands for, and when a few refinement steps cannot bring it
// within rounding, the matrix is factored afresh for the term asked for.
#pragma once

#include <cstdint>

struct DenseVector;
struct FunctionJacobian;
struct IDenseVector;
struct SparseMatrix;

struct CrashMatrix {
  IDenseVector* cols;            // basis columns (n entries), the caller's scratch
  DenseVector* work;             // 2n entries of scratch for the refinement
  DenseVector* correction;       // n entries of scratch for the refinement
  const SparseMatrix* J;         // the Jacobian of the latest Prepare
  bool factored;                 // the basis holds factors of B for cols, J and mu
  double mu;                     // proximal term inside the free columns
  double target;                 // proximal term of the latest Prepare (at most mu)
  std::int32_t updates;          // column replacements since the latest factorization
  std::int32_t factorizations;   // factorizations from scratch so far (counts for reports)
  std::int32_t total_updates;    // column replacements so far
  std::int32_t refinements;      // refinement steps so far
  double factor_seconds;         // basis time of the latest factorization
  double kept_seconds;           // basis time of the updates and refinements since
  std::int32_t kept_operations;  // updates and refinement solves since
};

// A record without factors over the caller's scratch vectors.
CrashMatrix CrashMatrix_Start(IDenseVector* cols, DenseVector* work, DenseVector* correction);

// Brings the basis to factors that serve B for status (n entries), the
// Jacobian of FJ and mu: factors of that very matrix, or, when mu is
// smaller than the proximal term inside the factors, factors that differ
// from it only in that term. Returns 1 when B is nonsingular, 0 when it is
// singular (the record then holds no factors).
int CrashMatrix_Prepare(CrashMatrix* matrix, FunctionJacobian* FJ, const IDenseVector* status,
                        double mu);

// y := B^-1 r (n entries each; y may not be r) for B of the latest Prepare.
// Unless the factors are fresh factors of that very B, the result is
// refined until |B y - r| is within 1e-10 (|B| |y| + |r|) in its largest
// entry; when that takes more than a few steps or stops converging, B is
// factored afresh and solved again. Returns 1, or 0 when that fresh
// factorization finds B singular.
int CrashMatrix_Solve(CrashMatrix* matrix, DenseVector* y, DenseVector* r);
// How many more changed memberships the factors can take as column
// replacements before the next Prepare factors afresh (0 without factors),
// for n variables.
std::int32_t CrashMatrix_UpdateRoom(const CrashMatrix* matrix, std::int32_t n);

// Whether the Jacobian of the next point is the one of the current point
// (pattern and every value within rows and columns 1..n); when it is not,
// the factors are dropped. A linear problem keeps them.
bool CrashMatrix_NextJacobian(CrashMatrix* matrix, const SparseMatrix* before,
                              const SparseMatrix* after);
