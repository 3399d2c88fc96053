// Harness of the iterative solver tests: dense fixtures turned into sparse
// systems, LAPACK references, the table of the fifteen solvers, a recording
// preconditioner with non-symmetric factors, and a fixture that owns the
// Workspace.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "iterative/Iterative.hpp"
#include "iterative/Precond.hpp"
#include "support/TestSupport.hpp"

extern "C" {
void dgesv_(const int* n, const int* nrhs, double* a, const int* lda, int* ipiv, double* b,
            const int* ldb, int* info);
void dposv_(const char* uplo, const int* n, const int* nrhs, double* a, const int* lda,
            double* b, const int* ldb, int* info);
void dgels_(const char* trans, const int* m, const int* n, const int* nrhs, double* a,
            const int* lda, double* b, const int* ldb, double* work, const int* lwork, int* info);
void dgelsd_(const int* m, const int* n, const int* nrhs, double* a, const int* lda, double* b,
             const int* ldb, double* s, const double* rcond, int* rank, double* work,
             const int* lwork, int* iwork, int* info);
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda,
             const int* ipiv, double* b, const int* ldb, int* info);
}

namespace ittest {

using Values = std::vector<double>;

// A dense m x n matrix, row-major.
struct Dense {
  int rows = 0;
  int cols = 0;
  Values a;
  Dense() = default;
  Dense(int m, int n) : rows(m), cols(n), a(static_cast<size_t>(m) * n, 0.0) {}
  double& operator()(int i, int j) { return a[static_cast<size_t>(i) * cols + j]; }
  double operator()(int i, int j) const { return a[static_cast<size_t>(i) * cols + j]; }
};

// A linear system of the fixtures: the matrix, the right-hand side and the
// class of methods it is made for.
struct System {
  std::string name;
  Dense A;
  Values b;
  bool spd = false;        // symmetric positive definite
  bool symmetric = false;  // symmetric (definite or not)
  bool positive_real = false;  // A + A' positive definite (ORTHOMIN)
};

// ---------------------------------------------------------------------------
// Owners of library objects.

// A DenseVector with room for `room` elements holding `values`.
class Vector {
 public:
  explicit Vector(const Values& values, int room = 0);
  ~Vector() { DenseVector_Destroy(v_); }
  Vector(const Vector&) = delete;
  Vector& operator=(const Vector&) = delete;
  DenseVector* get() const { return v_; }
  operator DenseVector*() const { return v_; }
  Values values() const;

 private:
  DenseVector* v_;
};

// A packed SparseMatrix holding the non-zero entries of a dense matrix
// (and, with keep_zero_diagonal, explicit zeros on the diagonal).
class Matrix {
 public:
  explicit Matrix(const Dense& A, bool keep_zero_diagonal = false);
  ~Matrix() { SparseMatrix_Destroy(A_); }
  Matrix(const Matrix&) = delete;
  Matrix& operator=(const Matrix&) = delete;
  SparseMatrix* get() const { return A_; }
  operator SparseMatrix*() const { return A_; }

 private:
  SparseMatrix* A_;
};

// ---------------------------------------------------------------------------
// Fixtures.

System Identity(int n);
System Diagonal(const Values& d);
System Tridiagonal(int n, double lower, double diagonal, double upper);
// tridiag(-1 - c, 2, -1 + c): one-dimensional convection-diffusion.
System ConvectionDiffusion(int n, double c);
// A 3 x 3 matrix of rank 2 with b outside its range.
System RankDeficient();
// [[0, 1], [1, 0]]: no diagonal entry stored.
System Swap();
// A scaled copy of b.
System ScaledRightHandSide(System s, double factor);
// Q diag(lambda) Q' for a random orthogonal Q drawn from seed, entries below
// 1e-15 in magnitude dropped, and b drawn from [-1, 1]: a symmetric matrix
// with the given eigenvalues whose eigenvectors lie in no coordinate plane
// (with eigenvalues 0, b lies outside its range).
System Spectrum(const std::string& name, const Values& lambda, unsigned seed);
// A copy of s with A scaled by factor.
System ScaledMatrix(System s, double factor);

// ---------------------------------------------------------------------------
// Dense arithmetic and LAPACK references.

Values Multiply(const Dense& A, const Values& x);
Values Residual(const Dense& A, const Values& x, const Values& b);
double Norm(const Values& v);
double Distance(const Values& x, const Values& y);
Dense Transpose(const Dense& A);
Dense Product(const Dense& A, const Dense& B);

// An orthonormal basis (columns of an n x j matrix) of the Krylov space
// span{v, M v, ..., M^(j-1) v}, by Gram-Schmidt applied twice.
Dense KrylovBasis(const Dense& M, const Values& v, int j);
// K' A K, K' v and the like.
Values TransposeTimes(const Dense& K, const Values& v);

Values SolveGeneral(const Dense& A, const Values& b);        // dgesv
Values SolveTransposed(const Dense& A, const Values& b);     // dgetrf + dgetrs('T')
Values SolveSPD(const Dense& A, const Values& b);            // dposv
Values LeastSquares(const Dense& A, const Values& b);        // dgels, full column rank
Values MinimumNorm(const Dense& A, const Values& b);         // dgelsd

// ---------------------------------------------------------------------------
// The solvers.

using SolverFunction = void (*)(Iterative_Params*, Preconditioner*, SparseMatrix*, DenseVector*,
                                DenseVector*);

struct Solver {
  const char* name;
  SolverFunction solve;
  // Tests the limit before the first step (CG, CR, LSQR); the others do one
  // step first.
  bool limit_before_step;
};

// All fifteen, DLSQR without damping.
const std::vector<Solver>& AllSolvers();
const Solver& SolverNamed(const std::string& name);

// Parameters with every input set: tolerance 1e-10, limit 1000, start 0, no
// preconditioner.
Iterative_Params DefaultParams();

// ---------------------------------------------------------------------------
// The recording preconditioner: every slot appends its name to the events;
// the factors are L = I + l N (lower bidiagonal) and R = diag(d) + u N'
// (upper bidiagonal), so a transpose applied in place of the operator (or the
// sides swapped) changes the result.
struct Recorder {
  std::vector<std::string> events;
  double lower = 0.5;   // l
  double upper = 0.25;  // u
  Values diagonal;      // d (ones when empty)
  // Set by setup: whether x still held the caller's values then.
  std::vector<Values> x_at_setup;
  const DenseVector* watched_x = nullptr;
  // Log length when finish ran.
  std::size_t log_at_finish = 0;
  const OutputCapture* output = nullptr;
};

// Installs the recorder behind the slots and fills record with all slots and
// the side.
void RecordingPreconditioner(Preconditioner* record, std::int32_t side, Recorder* recorder);

// The dense factors of the recording preconditioner for order n (L and R
// themselves; the slots apply their inverses).
Dense RecorderLeft(const Recorder& r, int n);
Dense RecorderRight(const Recorder& r, int n);

// ---------------------------------------------------------------------------
// The fixture: library services as a host sets them, a Workspace of room
// 256 (entries 8192) for every test, the process-wide settings of the
// preconditioners and the scaling forgotten before and after.
class IterativeTest : public LibraryTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  struct Outcome {
    Iterative_Params params;
    Values x;
  };
  // Runs solver on the system with params (and a preconditioner), starting
  // from start when params.start_from_x is set.
  Outcome Run(const Solver& solver, const System& s, Iterative_Params params,
              Preconditioner* preconditioner = nullptr, const Values& start = {});
};

}  // namespace ittest
