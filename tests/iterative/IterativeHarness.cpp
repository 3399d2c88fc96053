// Harness of the iterative solver tests: fixtures, owners, LAPACK references,
// the solver table and the recording preconditioner.
#include "IterativeHarness.hpp"

#include <algorithm>
#include <random>
#include <stdexcept>

#include "core/Workspace.hpp"
#include "iterative/BCG.hpp"
#include "iterative/CG.hpp"
#include "iterative/GMRES.hpp"
#include "iterative/LSQR.hpp"
#include "iterative/Ortho.hpp"
#include "iterative/Scale.hpp"

namespace ittest {

// ---------------------------------------------------------------------------
// Owners

Vector::Vector(const Values& values, int room)
    : v_(DenseVector_Create(std::max<int>(static_cast<int>(values.size()), room))) {
  for (double x : values) DenseVector_Push(v_, x);
}

Values Vector::values() const {
  return Values(v_->data, v_->data + v_->length);
}

Matrix::Matrix(const Dense& A, bool keep_zero_diagonal) {
  int count = 0;
  for (int i = 0; i < A.rows; ++i) {
    for (int j = 0; j < A.cols; ++j) {
      if (A(i, j) != 0.0 || (keep_zero_diagonal && i == j)) ++count;
    }
  }
  A_ = SparseMatrix_Create(A.rows, A.cols, count);
  SparseMatrix_SetSize(A_, A.rows, A.cols, count);
  std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(A_));
  std::int32_t* length = IDenseVector_Array(SparseMatrix_ColLen(A_));
  std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(A_));
  double* value = DenseVector_Array(SparseMatrix_Values(A_));
  int position = 0;
  for (int j = 0; j < A.cols; ++j) {
    start[j] = position + 1;
    for (int i = 0; i < A.rows; ++i) {
      if (A(i, j) != 0.0 || (keep_zero_diagonal && i == j)) {
        row[position] = i + 1;
        value[position] = A(i, j);
        ++position;
      }
    }
    length[j] = position + 1 - start[j];
  }
  SparseMatrix_SetFlags(A_, SPARSE_PACKED);
}

// ---------------------------------------------------------------------------
// Fixtures

namespace {

Values Ones(int n) { return Values(n, 1.0); }

// b with entries 1, 2, ..., n: generic enough that no Krylov method meets a
// chance breakdown on the small fixtures.
Values Ramp(int n) {
  Values b(n);
  for (int i = 0; i < n; ++i) b[i] = 1.0 + i;
  return b;
}

}  // namespace

System Identity(int n) {
  System s;
  s.name = "I" + std::to_string(n);
  s.A = Dense(n, n);
  for (int i = 0; i < n; ++i) s.A(i, i) = 1.0;
  s.b = Ramp(n);
  s.spd = s.symmetric = s.positive_real = true;
  return s;
}

System Diagonal(const Values& d) {
  const int n = static_cast<int>(d.size());
  System s;
  s.name = "diag" + std::to_string(n);
  s.A = Dense(n, n);
  bool positive = true;
  for (int i = 0; i < n; ++i) {
    s.A(i, i) = d[i];
    positive = positive && d[i] > 0.0;
  }
  s.b = Ones(n);
  s.spd = s.positive_real = positive;
  s.symmetric = true;
  return s;
}

System Tridiagonal(int n, double lower, double diagonal, double upper) {
  System s;
  s.name = "tridiag" + std::to_string(n);
  s.A = Dense(n, n);
  for (int i = 0; i < n; ++i) {
    s.A(i, i) = diagonal;
    if (i > 0) s.A(i, i - 1) = lower;
    if (i + 1 < n) s.A(i, i + 1) = upper;
  }
  s.b = Ones(n);
  s.symmetric = lower == upper;
  s.spd = s.symmetric && diagonal >= 2.0 * std::fabs(lower) && diagonal > 0.0;
  s.positive_real = diagonal >= std::fabs(lower + upper) && diagonal > 0.0;
  return s;
}

System ConvectionDiffusion(int n, double c) {
  System s = Tridiagonal(n, -1.0 - c, 2.0, -1.0 + c);
  s.name = "convdiff" + std::to_string(n);
  s.b = Ramp(n);
  return s;
}

System RankDeficient() {
  System s;
  s.name = "rankdeficient";
  s.A = Dense(3, 3);
  const double a[3][3] = {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}, {7.0, 8.0, 9.0}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) s.A(i, j) = a[i][j];
  }
  s.b = {1.0, 0.0, 0.0};  // not in the range (1, 1, 1)', (1, 2, 3)'... of A
  return s;
}

System Swap() {
  System s;
  s.name = "swap";
  s.A = Dense(2, 2);
  s.A(0, 1) = 1.0;
  s.A(1, 0) = 1.0;
  s.b = {1.0, 2.0};
  s.symmetric = true;
  return s;
}

System ScaledRightHandSide(System s, double factor) {
  for (double& v : s.b) v *= factor;
  return s;
}

System ScaledMatrix(System s, double factor) {
  for (double& a : s.A.a) a *= factor;
  return s;
}

namespace {

// Columns made orthonormal by Gram-Schmidt, applied twice.
void Orthonormalise(Dense& Q) {
  for (int j = 0; j < Q.cols; ++j) {
    for (int pass = 0; pass < 2; ++pass) {
      for (int k = 0; k < j; ++k) {
        double d = 0.0;
        for (int i = 0; i < Q.rows; ++i) d += Q(i, j) * Q(i, k);
        for (int i = 0; i < Q.rows; ++i) Q(i, j) -= d * Q(i, k);
      }
    }
    double s = 0.0;
    for (int i = 0; i < Q.rows; ++i) s += Q(i, j) * Q(i, j);
    for (int i = 0; i < Q.rows; ++i) Q(i, j) /= std::sqrt(s);
  }
}

}  // namespace

System Spectrum(const std::string& name, const Values& lambda, unsigned seed) {
  const int n = static_cast<int>(lambda.size());
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense Q(n, n);
  for (double& q : Q.a) q = u(rng);
  Orthonormalise(Q);
  System s;
  s.name = name;
  s.A = Dense(n, n);
  bool positive = true;
  for (int i = 0; i < n; ++i) {
    positive = positive && lambda[i] > 0.0;
    for (int j = 0; j < n; ++j) {
      double a = 0.0;
      for (int k = 0; k < n; ++k) a += Q(i, k) * lambda[k] * Q(j, k);
      s.A(i, j) = std::fabs(a) < 1e-15 ? 0.0 : a;
    }
  }
  s.b.resize(n);
  for (double& v : s.b) v = u(rng);
  s.symmetric = true;
  s.spd = s.positive_real = positive;
  return s;
}

// ---------------------------------------------------------------------------
// Dense arithmetic and LAPACK references (LAPACK takes column-major arrays).

Values Multiply(const Dense& A, const Values& x) {
  Values y(A.rows, 0.0);
  for (int i = 0; i < A.rows; ++i) {
    for (int j = 0; j < A.cols; ++j) y[i] += A(i, j) * x[j];
  }
  return y;
}

Values Residual(const Dense& A, const Values& x, const Values& b) {
  Values r = Multiply(A, x);
  for (size_t i = 0; i < r.size(); ++i) r[i] = b[i] - r[i];
  return r;
}

double Norm(const Values& v) {
  // Scaled by the largest magnitude, so that the checks of systems far from
  // unit scale neither overflow nor underflow.
  double largest = 0.0;
  for (double x : v) {
    if (std::isnan(x)) return x;
    largest = std::max(largest, std::fabs(x));
  }
  if (largest == 0.0 || std::isinf(largest)) return largest;
  double s = 0.0;
  for (double x : v) s += (x / largest) * (x / largest);
  return largest * std::sqrt(s);
}

double Distance(const Values& x, const Values& y) {
  Values d(x.size());
  for (size_t i = 0; i < x.size(); ++i) d[i] = x[i] - y[i];
  return Norm(d);
}

Dense Transpose(const Dense& A) {
  Dense T(A.cols, A.rows);
  for (int i = 0; i < A.rows; ++i) {
    for (int j = 0; j < A.cols; ++j) T(j, i) = A(i, j);
  }
  return T;
}

Dense Product(const Dense& A, const Dense& B) {
  Dense C(A.rows, B.cols);
  for (int i = 0; i < A.rows; ++i) {
    for (int k = 0; k < A.cols; ++k) {
      for (int j = 0; j < B.cols; ++j) C(i, j) += A(i, k) * B(k, j);
    }
  }
  return C;
}

Dense KrylovBasis(const Dense& M, const Values& v, int j) {
  const int n = M.rows;
  Dense K(n, j);
  Values next = v;
  for (int c = 0; c < j; ++c) {
    for (int pass = 0; pass < 2; ++pass) {
      for (int k = 0; k < c; ++k) {
        double dot = 0.0;
        for (int i = 0; i < n; ++i) dot += K(i, k) * next[i];
        for (int i = 0; i < n; ++i) next[i] -= dot * K(i, k);
      }
    }
    const double norm = Norm(next);
    for (int i = 0; i < n; ++i) K(i, c) = next[i] / norm;
    Values column(n);
    for (int i = 0; i < n; ++i) column[i] = K(i, c);
    next = Multiply(M, column);
  }
  return K;
}

Values TransposeTimes(const Dense& K, const Values& v) { return Multiply(Transpose(K), v); }

namespace {

Values ColumnMajor(const Dense& A) {
  Values c(A.a.size());
  for (int i = 0; i < A.rows; ++i) {
    for (int j = 0; j < A.cols; ++j) c[static_cast<size_t>(j) * A.rows + i] = A(i, j);
  }
  return c;
}

void Require(int info, const char* routine) {
  if (info != 0) throw std::runtime_error(std::string(routine) + " failed");
}

}  // namespace

Values SolveGeneral(const Dense& A, const Values& b) {
  Values a = ColumnMajor(A), x = b;
  const int n = A.rows, one = 1;
  std::vector<int> pivots(n);
  int info = 0;
  dgesv_(&n, &one, a.data(), &n, pivots.data(), x.data(), &n, &info);
  Require(info, "dgesv");
  return x;
}

Values SolveTransposed(const Dense& A, const Values& b) {
  Values a = ColumnMajor(A), x = b;
  const int n = A.rows, one = 1;
  std::vector<int> pivots(n);
  int info = 0;
  dgetrf_(&n, &n, a.data(), &n, pivots.data(), &info);
  Require(info, "dgetrf");
  dgetrs_("T", &n, &one, a.data(), &n, pivots.data(), x.data(), &n, &info);
  Require(info, "dgetrs");
  return x;
}

Values SolveSPD(const Dense& A, const Values& b) {
  Values a = ColumnMajor(A), x = b;
  const int n = A.rows, one = 1;
  int info = 0;
  dposv_("L", &n, &one, a.data(), &n, x.data(), &n, &info);
  Require(info, "dposv");
  return x;
}

Values LeastSquares(const Dense& A, const Values& b) {
  Values a = ColumnMajor(A);
  const int m = A.rows, n = A.cols, one = 1, ldb = std::max(m, n);
  Values x(ldb, 0.0);
  std::copy(b.begin(), b.end(), x.begin());
  int info = 0, lwork = -1;
  double query = 0.0;
  dgels_("N", &m, &n, &one, a.data(), &m, x.data(), &ldb, &query, &lwork, &info);
  lwork = static_cast<int>(query);
  Values work(lwork);
  dgels_("N", &m, &n, &one, a.data(), &m, x.data(), &ldb, work.data(), &lwork, &info);
  Require(info, "dgels");
  x.resize(n);
  return x;
}

Values MinimumNorm(const Dense& A, const Values& b) {
  Values a = ColumnMajor(A);
  const int m = A.rows, n = A.cols, one = 1, ldb = std::max(m, n);
  Values x(ldb, 0.0), s(std::min(m, n));
  std::copy(b.begin(), b.end(), x.begin());
  const double rcond = 1e-12;
  int rank = 0, info = 0, lwork = -1;
  double query = 0.0;
  std::vector<int> iwork(64 * (m + n) + 64);
  dgelsd_(&m, &n, &one, a.data(), &m, x.data(), &ldb, s.data(), &rcond, &rank, &query, &lwork,
          iwork.data(), &info);
  lwork = static_cast<int>(query);
  Values work(lwork);
  dgelsd_(&m, &n, &one, a.data(), &m, x.data(), &ldb, s.data(), &rcond, &rank, work.data(),
          &lwork, iwork.data(), &info);
  Require(info, "dgelsd");
  x.resize(n);
  return x;
}

// ---------------------------------------------------------------------------
// Solvers

namespace {

void DLSQRUndamped(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                   DenseVector* b, DenseVector* x) {
  Iterative_DLSQR(params, preconditioner, 0.0, A, b, x);
}

}  // namespace

const std::vector<Solver>& AllSolvers() {
  static const std::vector<Solver> solvers = {
      {"CG", Iterative_CG, true},          {"CR", Iterative_CR, true},
      {"CG_NE", Iterative_CG_NE, false},   {"CG_NR", Iterative_CG_NR, false},
      {"LSQR", Iterative_LSQR, true},      {"DLSQR", DLSQRUndamped, false},
      {"GMRES", Iterative_GMRES, false},   {"BCG", Iterative_BCG, false},
      {"BICGSTAB", Iterative_BICGSTAB, false}, {"QMR", Iterative_QMR, false},
      {"TFQMR", Iterative_TFQMR, false},   {"ORMIN", Iterative_ORMIN, false},
      {"ORDIR", Iterative_ORDIR, false},   {"R_ORMIN", Iterative_R_ORMIN, false},
      {"R_ORDIR", Iterative_R_ORDIR, false},
  };
  return solvers;
}

const Solver& SolverNamed(const std::string& name) {
  for (const Solver& s : AllSolvers()) {
    if (name == s.name) return s;
  }
  throw std::runtime_error("no solver " + name);
}

Iterative_Params DefaultParams() {
  Iterative_Params p{};
  p.tolerance = 1e-10;
  p.iteration_limit = 1000;
  p.start_from_x = 0;
  p.use_preconditioner = 0;
  p.absolute_residual = -1.0;
  p.relative_residual = -1.0;
  p.iterations = -1;
  p.termination = -1;
  return p;
}

// ---------------------------------------------------------------------------
// Recording preconditioner

namespace {

Recorder* active = nullptr;

double DiagonalAt(int i) {
  return active->diagonal.empty() ? 1.0 : active->diagonal[static_cast<size_t>(i)];
}

// v := L^-1 v (forward substitution with the unit lower bidiagonal L).
void Left(DenseVector* v) {
  active->events.push_back("L");
  double* x = DenseVector_Array(v);
  for (int i = 1; i < DenseVector_Length(v); ++i) x[i] -= active->lower * x[i - 1];
}
// v := L^-T v.
void LeftT(DenseVector* v) {
  active->events.push_back("LT");
  double* x = DenseVector_Array(v);
  for (int i = DenseVector_Length(v) - 2; i >= 0; --i) x[i] -= active->lower * x[i + 1];
}
// v := R^-1 v with R = diag(d) + u N' (upper bidiagonal): back substitution.
void Right(DenseVector* v) {
  active->events.push_back("R");
  double* x = DenseVector_Array(v);
  const int n = DenseVector_Length(v);
  for (int i = n - 1; i >= 0; --i) {
    const double above = i + 1 < n ? active->upper * x[i + 1] : 0.0;
    x[i] = (x[i] - above) / DiagonalAt(i);
  }
}
// v := R^-T v: forward substitution with R'.
void RightT(DenseVector* v) {
  active->events.push_back("RT");
  double* x = DenseVector_Array(v);
  const int n = DenseVector_Length(v);
  for (int i = 0; i < n; ++i) {
    const double before = i > 0 ? active->upper * x[i - 1] : 0.0;
    x[i] = (x[i] - before) / DiagonalAt(i);
  }
}
void Setup(SparseMatrix*) {
  active->events.push_back("setup");
  if (active->watched_x != nullptr) {
    const DenseVector* x = active->watched_x;
    active->x_at_setup.emplace_back(x->data, x->data + x->length);
  }
}
void Finish() {
  active->events.push_back("finish");
  if (active->output != nullptr) active->log_at_finish = active->output->log().size();
}

}  // namespace

void RecordingPreconditioner(Preconditioner* record, std::int32_t side, Recorder* recorder) {
  active = recorder;
  *record = Preconditioner{};
  record->side = side;
  record->setup = Setup;
  record->finish = Finish;
  record->left_apply = Left;
  record->left_apply_transpose = LeftT;
  record->right_apply = Right;
  record->right_apply_transpose = RightT;
}

Dense RecorderLeft(const Recorder& r, int n) {
  Dense L(n, n);
  for (int i = 0; i < n; ++i) {
    L(i, i) = 1.0;
    if (i > 0) L(i, i - 1) = r.lower;
  }
  return L;
}

Dense RecorderRight(const Recorder& r, int n) {
  Dense R(n, n);
  for (int i = 0; i < n; ++i) {
    R(i, i) = r.diagonal.empty() ? 1.0 : r.diagonal[static_cast<size_t>(i)];
    if (i + 1 < n) R(i, i + 1) = r.upper;
  }
  return R;
}

// ---------------------------------------------------------------------------
// Fixture

void IterativeTest::SetUp() {
  LibraryTest::SetUp();
  Workspace_Create(256, 8192);
  Precond_ForgetState();
  Scale_ForgetState();
}

void IterativeTest::TearDown() {
  Workspace_Destroy();
  Precond_ForgetState();
  Scale_ForgetState();
  LibraryTest::TearDown();
}

IterativeTest::Outcome IterativeTest::Run(const Solver& solver, const System& s,
                                          Iterative_Params params,
                                          Preconditioner* preconditioner, const Values& start) {
  Matrix A(s.A);
  Vector b(s.b);
  Vector x(params.start_from_x != 0 ? start : Values(s.b.size(), 7.0));
  solver.solve(&params, preconditioner, A, b, x);
  return {params, x.values()};
}

}  // namespace ittest
