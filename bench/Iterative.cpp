// The library's iterative solvers against Eigen's on the same matrices, with
// the same tolerance and the same kind of preconditioner (the library's
// diagonal kind, mirrored on Eigen's side, or none): CG on the 2-D
// Laplacian, BiCGSTAB and GMRES on 2-D convection-diffusion, LSQR against
// Eigen's least-squares CG on a sparse, inconsistent least-squares problem.
// Prints iterations, seconds per iteration and the true relative residual of
// each solve (best of a few repetitions).
//
// Usage: bench_Iterative [grid side, default 500 (n = 250000)] [repetitions, default 3]
//                        [convection c, default 0.05] [methods, default "cg,bicgstab,gmres,lsqr"]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchCommon.hpp"
#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "iterative/BCG.hpp"
#include "iterative/CG.hpp"
#include "iterative/GMRES.hpp"
#include "iterative/LSQR.hpp"
#include "iterative/Precond.hpp"

#ifdef SARN_HAVE_EIGEN
#include <Eigen/IterativeLinearSolvers>
#include <Eigen/SparseCore>
#include <unsupported/Eigen/IterativeSolvers>
#endif

namespace {

struct Problem {
  std::string name;
  int n = 0;
  std::vector<Triplet> entries;  // 0-based
  std::vector<double> b;
};

// 5-point stencil on a side x side grid: centre 4, west/south -1 - c,
// east/north -1 + c (c = 0: the Laplacian).
Problem Stencil(const std::string& name, int side, double c) {
  Problem p;
  p.name = name;
  p.n = side * side;
  p.entries.reserve(5 * static_cast<size_t>(p.n));
  for (int gy = 0; gy < side; ++gy) {
    for (int gx = 0; gx < side; ++gx) {
      const int i = gy * side + gx;
      p.entries.push_back({i, i, 4.0});
      if (gx > 0) p.entries.push_back({i, i - 1, -1.0 - c});
      if (gx + 1 < side) p.entries.push_back({i, i + 1, -1.0 + c});
      if (gy > 0) p.entries.push_back({i, i - side, -1.0 - c});
      if (gy + 1 < side) p.entries.push_back({i, i + side, -1.0 + c});
    }
  }
  p.b.assign(p.n, 1.0);
  return p;
}

// A square least-squares problem without an exact solution: a diagonal of
// 1..2 with four pseudo-random entries of size 0.1 per column, every tenth
// row left empty while b is 1 everywhere.
Problem LeastSquares(int n) {
  Problem p;
  p.name = "sparse least squares";
  p.n = n;
  std::uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(0x7fffffff));
  };
  for (int j = 0; j < n; ++j) {
    if (j % 10 != 3) p.entries.push_back({j, j, 1.0 + static_cast<double>(j % 97) / 97.0});
    for (int k = 0; k < 4; ++k) {
      const int i = next() % n;
      if (i % 10 != 3 && i != j) p.entries.push_back({i, j, (k % 2 ? 0.1 : -0.1)});
    }
  }
  p.b.assign(n, 1.0);
  return p;
}

// The library's packed compressed-column form; duplicate positions summed.
SparseMatrix* LibraryMatrix(const Problem& p) {
  return Bench_LibraryMatrix(ColumnMatrix::FromTriplets(p.n, p.n, p.entries));
}

double Seconds(const std::function<void()>& work) {
  const double start = Bench_Now();
  work();
  return Bench_Now() - start;
}

struct Result {
  int iterations = 0;
  double seconds = 0.0;
  double relative_residual = 0.0;  // ||b - A x|| / ||b||, recomputed
  double normal_residual = 0.0;    // ||A'(b - A x)|| / ||A'b||, recomputed
};

// True residuals of x, computed with the library's products.
void Residuals(SparseMatrix* A, const std::vector<double>& b, const std::vector<double>& x,
               Result& r) {
  const int n = static_cast<int>(b.size());
  DenseVector* xv = DenseVector_Create(n);
  DenseVector* bv = DenseVector_Create(n);
  DenseVector* res = DenseVector_Create(n);
  DenseVector* g = DenseVector_Create(n);
  DenseVector* gb = DenseVector_Create(n);
  for (int i = 0; i < n; ++i) {
    DenseVector_Push(xv, x[i]);
    DenseVector_Push(bv, b[i]);
  }
  SparseMatrix_ScaledMult(res, -1.0, A, xv, bv);
  SparseMatrix_TransMult(g, A, res, nullptr);
  SparseMatrix_TransMult(gb, A, bv, nullptr);
  r.relative_residual = DenseVector_TwoNorm(res) / DenseVector_TwoNorm(bv);
  r.normal_residual = DenseVector_TwoNorm(g) / DenseVector_TwoNorm(gb);
  for (DenseVector* v : {xv, bv, res, g, gb}) DenseVector_Destroy(v);
}

using LibrarySolve = std::function<void(Iterative_Params*, SparseMatrix*, DenseVector*,
                                        DenseVector*)>;

Result RunLibrary(const Problem& p, SparseMatrix* A, const LibrarySolve& solve, double tolerance,
                  int repetitions) {
  DenseVector* b = DenseVector_Create(p.n);
  DenseVector* x = DenseVector_Create(p.n);
  for (double v : p.b) DenseVector_Push(b, v);
  Result best;
  best.seconds = 1e300;
  for (int k = 0; k < repetitions; ++k) {
    Iterative_Params params{};
    params.tolerance = tolerance;
    params.iteration_limit = 100000;
    params.use_preconditioner = 1;
    const double s = Seconds([&] { solve(&params, A, b, x); });
    if (s < best.seconds) {
      best.seconds = s;
      best.iterations = params.iterations;
    }
  }
  Residuals(A, p.b, std::vector<double>(x->data, x->data + p.n), best);
  DenseVector_Destroy(b);
  DenseVector_Destroy(x);
  return best;
}

void Print(const char* method, const char* side, const Result& r) {
  std::printf("  %-34s %-6s %7d its  %9.3f ms/it  %8.3f s  rel.res %.2e  normal %.2e\n", method,
              side, r.iterations, 1e3 * r.seconds / std::max(r.iterations, 1), r.seconds,
              r.relative_residual, r.normal_residual);
}


// A right-side diagonal preconditioner (the band kind of width 1 moved to
// the right slots), matching a preconditioner that is applied to the
// search direction.
Preconditioner RightDiagonal() {
  Preconditioner pre;
  Precond_CreateBand(&pre, 1);
  pre.side = PRECOND_RIGHT;
  pre.right_apply = pre.left_apply;
  pre.right_apply_transpose = pre.left_apply;
  pre.left_apply = pre.left_apply_transpose = nullptr;
  return pre;
}

#ifdef SARN_HAVE_EIGEN
void Compare(const Result& ours, const Result& theirs) {
  const double iterations = static_cast<double>(ours.iterations) / std::max(theirs.iterations, 1);
  const double per_iteration = (ours.seconds / std::max(ours.iterations, 1)) /
                               (theirs.seconds / std::max(theirs.iterations, 1));
  std::printf("  %-34s iterations x%.3f, time per iteration x%.3f\n\n", "ratio library / Eigen",
              iterations, per_iteration);
}

using EigenMatrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;

EigenMatrix ToEigen(const Problem& p) {
  std::vector<Eigen::Triplet<double>> t;
  t.reserve(p.entries.size());
  for (const Triplet& e : p.entries) t.emplace_back(e.row, e.col, e.value);
  EigenMatrix A(p.n, p.n);
  A.setFromTriplets(t.begin(), t.end());
  A.makeCompressed();
  return A;
}

// The library's diagonal kind (1 / squared column norm, 1 for an empty
// column) as an Eigen preconditioner, so that both sides precondition
// alike.
class ColumnNormDiagonal {
 public:
  ColumnNormDiagonal() = default;
  template <class M>
  explicit ColumnNormDiagonal(const M& m) {
    compute(m);
  }
  template <class M>
  ColumnNormDiagonal& analyzePattern(const M&) {
    return *this;
  }
  template <class M>
  ColumnNormDiagonal& factorize(const M& m) {
    inverse_.resize(m.cols());
    for (Eigen::Index j = 0; j < m.outerSize(); ++j) {
      double sum = 0.0;
      for (typename M::InnerIterator it(m, j); it; ++it) sum += it.value() * it.value();
      inverse_(j) = sum > 0.0 ? 1.0 / sum : 1.0;
    }
    return *this;
  }
  template <class M>
  ColumnNormDiagonal& compute(const M& m) {
    return factorize(m);
  }
  // An expression, evaluated into the caller's vector (no temporary).
  template <class V>
  auto solve(const Eigen::MatrixBase<V>& b) const {
    return inverse_.cwiseProduct(b.derived());
  }
  Eigen::ComputationInfo info() const { return Eigen::Success; }
  Eigen::Index rows() const { return inverse_.size(); }
  Eigen::Index cols() const { return inverse_.size(); }

 private:
  Eigen::VectorXd inverse_;
};

template <class Solver>
Result RunEigen(const Problem& p, SparseMatrix* library_A, const EigenMatrix& A, Solver& solver,
                double tolerance, int repetitions) {
  Eigen::VectorXd b = Eigen::Map<const Eigen::VectorXd>(p.b.data(), p.n);
  Eigen::VectorXd x(p.n);
  solver.setTolerance(tolerance);
  solver.setMaxIterations(100000);
  Result best;
  best.seconds = 1e300;
  for (int k = 0; k < repetitions; ++k) {
    const double s = Seconds([&] {
      solver.compute(A);
      x = solver.solve(b);
    });
    if (s < best.seconds) {
      best.seconds = s;
      best.iterations = static_cast<int>(solver.iterations());
    }
  }
  Residuals(library_A, p.b, std::vector<double>(x.data(), x.data() + p.n), best);
  return best;
}
#endif

// Everything a comparison needs: the problems in both forms.
struct Bench {
  double tolerance = 1e-8;
  int repetitions = 3;
  int restart = 30;
  Problem laplacian, convection, least;
  SparseMatrix *L = nullptr, *C = nullptr, *S = nullptr;
#ifdef SARN_HAVE_EIGEN
  EigenMatrix eL, eC, eS;
#endif
};

void BenchCG(const Bench& k) {
  std::printf("CG, diagonal preconditioner, %s\n", k.laplacian.name.c_str());
  Preconditioner diagonal;
  Precond_CreateBand(&diagonal, 1);
  const Result ours = RunLibrary(k.laplacian, k.L, [&](Iterative_Params* p, SparseMatrix* A,
                                                       DenseVector* b, DenseVector* x) {
    Iterative_CG(p, &diagonal, A, b, x);
  }, k.tolerance, k.repetitions);
  Print("library Iterative_CG", "left", ours);
#ifdef SARN_HAVE_EIGEN
  Eigen::ConjugateGradient<EigenMatrix, Eigen::Lower | Eigen::Upper, ColumnNormDiagonal> solver;
  const Result theirs = RunEigen(k.laplacian, k.L, k.eL, solver, k.tolerance, k.repetitions);
  Print("Eigen ConjugateGradient", "", theirs);
  Compare(ours, theirs);
#endif
}

#ifdef SARN_HAVE_EIGEN
template <class Solver>
void EigenNonsymmetric(const Bench& k, Solver& solver, const char* label, const Result& ours) {
  const Result theirs = RunEigen(k.convection, k.C, k.eC, solver, k.tolerance, k.repetitions);
  Print(label, "", theirs);
  Compare(ours, theirs);
}

// Eigen's counterpart of a nonsymmetric method, with the given preconditioner.
template <class Preconditioner>
void EigenCounterpart(const Bench& k, bool gmres, const Result& ours) {
  if (gmres) {
    Eigen::GMRES<EigenMatrix, Preconditioner> solver;
    solver.set_restart(k.restart);
    EigenNonsymmetric(k, solver, "Eigen GMRES", ours);
  } else {
    Eigen::BiCGSTAB<EigenMatrix, Preconditioner> solver;
    EigenNonsymmetric(k, solver, "Eigen BiCGSTAB", ours);
  }
}
#endif

// The nonsymmetric methods, each run on the convection matrix without and
// with the right-side diagonal preconditioner.
struct NonsymmetricMethod {
  const char* option;   // its name in the method list
  const char* title;
  const char* library;  // the library's routine
  bool gmres;           // restarted: the cycle length is printed and set on Eigen's side
  void (*solve)(Iterative_Params*, Preconditioner*, SparseMatrix*, DenseVector*, DenseVector*);
};

const NonsymmetricMethod kNonsymmetric[] = {
    {"bicgstab", "BiCGSTAB", "library Iterative_BICGSTAB", false, Iterative_BICGSTAB},
    {"gmres", "GMRES", "library Iterative_GMRES", true, Iterative_GMRES},
};

void BenchNonsymmetric(const Bench& k, const NonsymmetricMethod& method) {
  Preconditioner right = RightDiagonal();
  for (bool with_diagonal : {false, true}) {
    std::printf("%s, ", method.title);
    if (method.gmres) std::printf("%d Krylov vectors per cycle, ", k.restart);
    std::printf("%s, %s\n", with_diagonal ? "diagonal preconditioner" : "no preconditioner",
                k.convection.name.c_str());
    const Result ours = RunLibrary(k.convection, k.C, [&](Iterative_Params* p, SparseMatrix* A,
                                                          DenseVector* b, DenseVector* x) {
      p->use_preconditioner = with_diagonal ? 1 : 0;
      method.solve(p, &right, A, b, x);
    }, k.tolerance, k.repetitions);
    Print(method.library, with_diagonal ? "right" : "", ours);
#ifdef SARN_HAVE_EIGEN
    if (with_diagonal) {
      EigenCounterpart<ColumnNormDiagonal>(k, method.gmres, ours);
    } else {
      EigenCounterpart<Eigen::IdentityPreconditioner>(k, method.gmres, ours);
    }
#endif
  }
}

// LSQR stops on its own tests; Eigen's least-squares CG is given the
// normal-equations accuracy LSQR reached, so both deliver the same answer.
void BenchLSQR(const Bench& k) {
  std::printf("LSQR, no preconditioner, %s\n", k.least.name.c_str());
  const Result ours = RunLibrary(k.least, k.S, [&](Iterative_Params* p, SparseMatrix* A,
                                                   DenseVector* b, DenseVector* x) {
    p->use_preconditioner = 0;
    Iterative_LSQR(p, nullptr, A, b, x);
  }, k.tolerance, k.repetitions);
  Print("library Iterative_LSQR", "", ours);
#ifdef SARN_HAVE_EIGEN
  Eigen::LeastSquaresConjugateGradient<EigenMatrix, Eigen::IdentityPreconditioner> solver;
  const Result theirs = RunEigen(k.least, k.S, k.eS, solver, ours.normal_residual, k.repetitions);
  Print("Eigen LeastSquaresConjugateGradient", "", theirs);
  Compare(ours, theirs);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const int side = argc > 1 ? std::atoi(argv[1]) : 500;
  Bench k;
  k.repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
  const double c = argc > 3 ? std::atof(argv[3]) : 0.05;
  const std::string methods = argc > 4 ? argv[4] : "cg,bicgstab,gmres,lsqr";
  char title[64];
  std::snprintf(title, sizeof title, "2-D convection-diffusion (c = %g)", c);
  k.laplacian = Stencil("2-D Laplacian", side, 0.0);
  k.convection = Stencil(title, side, c);
  k.least = LeastSquares(side * side);
  k.L = LibraryMatrix(k.laplacian);
  k.C = LibraryMatrix(k.convection);
  k.S = LibraryMatrix(k.least);
#ifdef SARN_HAVE_EIGEN
  k.eL = ToEigen(k.laplacian);
  k.eC = ToEigen(k.convection);
  k.eS = ToEigen(k.least);
#else
  std::printf("(built without Eigen: no reference figures)\n");
#endif
  const int n = k.laplacian.n;
  Workspace_Create(n, std::max(SparseMatrix_NNZ(k.S), SparseMatrix_NNZ(k.L)));
  // The library's cycle of m inner steps spends its first step on the first
  // reflector and uses m - 1 Krylov vectors: m = 31 matches Eigen's 30.
  Options_CommonTable[COMMON_GMRES_UPDATE_FREQUENCY].int_value = k.restart + 1;
  std::printf("n = %d, tolerance %.0e, best of %d\n\n", n, k.tolerance, k.repetitions);
  const std::string list = "," + methods + ",";
  auto wanted = [&list](const char* m) {
    return list.find("," + std::string(m) + ",") != std::string::npos;
  };
  if (wanted("cg")) BenchCG(k);
  for (const NonsymmetricMethod& method : kNonsymmetric) {
    if (wanted(method.option)) BenchNonsymmetric(k, method);
  }
  if (wanted("lsqr")) BenchLSQR(k);
  SparseMatrix_Destroy(k.L);
  SparseMatrix_Destroy(k.C);
  SparseMatrix_Destroy(k.S);
  Workspace_Destroy();
  return 0;
}
