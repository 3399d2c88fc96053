// The LU engine and the reference factorizations on one matrix, timed.
#include "LUReference.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

#include "BenchCommon.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "factorization/Factorization.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "factorization/lu/LU_Library.hpp"

#ifdef SARN_HAVE_UMFPACK
#include <umfpack.h>
#endif

extern "C" void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv,
                        int* info);

namespace {

double Ratio(double a, double b) { return a / std::max(b, 1e-9); }

// Page faults (minor) of the process so far.
long PageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

#ifdef SARN_HAVE_UMFPACK
// Symbolic and numeric factorization, the best of three runs of each; the
// last run's objects stay in *symbolic and *numeric. False on a failure.
bool UmfpackFactor(const ColumnMatrix& a, void** symbolic, void** numeric,
                   LUReference_Umfpack* res) {
  double control[UMFPACK_CONTROL], info[UMFPACK_INFO];
  umfpack_di_defaults(control);
  res->symbolic = res->numeric = 1e30;
  for (int run = 0; run < 3; ++run) {
    if (*symbolic != nullptr) umfpack_di_free_symbolic(symbolic);
    if (*numeric != nullptr) umfpack_di_free_numeric(numeric);
    double t0 = Bench_Now();
    int status = umfpack_di_symbolic(a.rows, a.cols, a.start.data(), a.index.data(),
                                     a.value.data(), symbolic, control, info);
    res->symbolic = std::min(res->symbolic, Bench_Now() - t0);
    if (status != UMFPACK_OK) {
      std::printf("  umfpack symbolic failed: %d\n", status);
      return false;
    }
    t0 = Bench_Now();
    status = umfpack_di_numeric(a.start.data(), a.index.data(), a.value.data(), *symbolic,
                                numeric, control, info);
    res->numeric = std::min(res->numeric, Bench_Now() - t0);
    if (run == 0) res->first = res->symbolic + res->numeric;
    if (status != UMFPACK_OK) {
      std::printf("  umfpack numeric failed: %d\n", status);
      return false;
    }
  }
  res->fill = static_cast<std::int64_t>(info[UMFPACK_LNZ] + info[UMFPACK_UNZ]);
  return true;
}

// Average seconds of `solves` solves with random right-hand sides.
double UmfpackSolves(const ColumnMatrix& a, void* numeric, int solves, std::mt19937& rng) {
  double control[UMFPACK_CONTROL], info[UMFPACK_INFO];
  umfpack_di_defaults(control);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> b(a.rows), x(a.cols);
  double total = 0;
  for (int s = 0; s < solves; ++s) {
    for (double& y : b) y = val(rng);
    const double t0 = Bench_Now();
    umfpack_di_solve(UMFPACK_A, a.start.data(), a.index.data(), a.value.data(), x.data(),
                     b.data(), numeric, control, info);
    total += Bench_Now() - t0;
  }
  return solves > 0 ? total / solves : 0.0;
}
#endif

// Digest of the pivot sequence (row and column of each pivot, in order),
// so that runs can tell whether a change kept the pivots.
std::uint64_t PivotDigest(const Factorization* f) {
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&h](std::int32_t x) { h = (h ^ static_cast<std::uint32_t>(x)) * 1099511628211ull; };
  for (std::int32_t k = 0; k < f->ip[LU_Int::rank]; ++k) {
    mix(f->lu.row_perm[k]);
    mix(f->lu.col_perm[k]);
  }
  return h;
}

}  // namespace

double LUReference_FirstProximalTerm(const LinearProblem& p) {
  std::vector<double> z(p.n);
  for (int i = 0; i < p.n; ++i) z[i] = std::min(std::max(0.0, p.lower[i]), p.upper[i]);
  const std::vector<double> f = p.F(z);
  double sum = 0.0;
  for (int i = 0; i < p.n; ++i) {
    const double r = z[i] - std::min(std::max(z[i] - f[i], p.lower[i]), p.upper[i]);
    sum += r * r;
  }
  return std::min(0.01 * std::sqrt(sum), 10.0);
}

ColumnMatrix LUReference_ShiftedBasis(const LinearProblem& p, double mu) {
  ColumnMatrix a = p.M;
  for (int j = 0; j < a.cols; ++j) {
    for (int k = a.start[j]; k < a.start[j + 1]; ++k) {
      if (a.index[k] == j) a.value[k] += mu;
    }
  }
  return a;
}

std::int64_t LUReference_Fill(const Factorization* f) {
  return static_cast<std::int64_t>(f->ip[LU_Int::l_length]) + f->ip[LU_Int::u_length];
}

int LUReference_Refactor(Factorization* f, const ColumnMatrix& a) {
  SparseMatrix* A = Bench_LibraryMatrix(a);
  IDenseVector* cols = IDenseVector_Create(a.cols);
  IDenseVector_Ramp(cols, a.cols, 1, 1);
  const int status = Factorization_Factor(f, A, cols);
  SparseMatrix_Destroy(A);
  IDenseVector_Destroy(cols);
  return status;
}

Factorization* LUReference_EngineFactor(const ColumnMatrix& a, std::int64_t problem_entries,
                                        LUReference_Engine* r) {
  Factorization_Defaults();
  Factorization* f =
      Factorization_Create(a.rows, a.cols, static_cast<std::int32_t>(problem_entries));
  const long faults = PageFaults();
  double t0 = Bench_Now();
  r->singular = LUReference_Refactor(f, a) != BASIS_FACTORED;
  r->factor_first = Bench_Now() - t0;
  r->faults_first = PageFaults() - faults;
  r->pivots = PivotDigest(f);
  r->written = f->lu.front_written;
  r->restarts = f->attempts - 1;
  r->growths = f->growths;
  r->compressions = f->ip[LU_Int::compression_count];
  r->fill = LUReference_Fill(f);
  r->storage = f->lu.storage_length;
  r->factor = 1e30;
  for (int run = 0; run < 3; ++run) {
    t0 = Bench_Now();
    LUReference_Refactor(f, a);
    r->factor = std::min(r->factor, Bench_Now() - t0);
  }
  r->dense1 = f->ip[LU_Int::dense1_columns];
  r->dense2 = f->ip[LU_Int::dense2_columns];
  return f;
}

LUReference_Umfpack LUReference_RunUmfpack(const ColumnMatrix& a, int solves, std::mt19937& rng) {
  LUReference_Umfpack res;
#ifdef SARN_HAVE_UMFPACK
  void *symbolic = nullptr, *numeric = nullptr;
  res.available = UmfpackFactor(a, &symbolic, &numeric, &res);
  if (res.available) res.solve = UmfpackSolves(a, numeric, solves, rng);
  if (numeric != nullptr) umfpack_di_free_numeric(&numeric);
  if (symbolic != nullptr) umfpack_di_free_symbolic(&symbolic);
#else
  (void)a;
  (void)solves;
  (void)rng;
#endif
  return res;
}

double LUReference_RunDgetrf(const ColumnMatrix& a) {
  int n = a.rows, info = 0;
  std::vector<double> dense(static_cast<size_t>(n) * n, 0.0);
  for (int j = 0; j < a.cols; ++j) {
    for (int p = a.start[j]; p < a.start[j + 1]; ++p) {
      dense[static_cast<size_t>(j) * n + a.index[p]] = a.value[p];
    }
  }
  std::vector<int> ipiv(n);
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    std::vector<double> work = dense;
    const double t0 = Bench_Now();
    dgetrf_(&n, &n, work.data(), &n, ipiv.data(), &info);
    best = std::min(best, Bench_Now() - t0);
  }
  return best;
}

void LUReference_PrintEngine(const std::string& name, const ColumnMatrix& a,
                             const LUReference_Engine& e) {
  std::printf("\n%s: n = %d, entries = %d\n", name.c_str(), a.cols, a.nnz());
  if (e.singular) std::printf("  engine : basis judged singular\n");
  std::printf("  engine : first factor %.4f s (storage restarts %d, growths %d, compressions %d, "
              "storage %lld), fill %lld, pivots %016llx\n",
              e.factor_first, e.restarts, e.growths, e.compressions,
              static_cast<long long>(e.storage), static_cast<long long>(e.fill),
              static_cast<unsigned long long>(e.pivots));
  std::printf("           page faults of the first %ld (files wrote %lld positions); "
              "factor again %.4f s (best of 3), dense1 %d dense2 %d\n",
              e.faults_first, static_cast<long long>(e.written), e.factor, e.dense1, e.dense2);
  const LU_DenseUpdate how = LU_GetDenseUpdate();
  std::printf("           dense panels update through %s\n",
              how == LU_DENSE_UPDATE_PRODUCT ? "the BLAS matrix product (measured faster)"
              : how == LU_DENSE_UPDATE_KERNEL ? "the column kernel (measured faster)"
                                               : "the column kernel (not measured yet)");
}

void LUReference_PrintUmfpack(const LUReference_Umfpack& u, const LUReference_Engine& e,
                              double solve_ratio) {
  if (!u.available) {
    std::printf("  umfpack: not available\n");
    return;
  }
  std::printf("  umfpack: factor %.4f s (best of 3: symbolic %.4f + numeric %.4f; first run "
              "%.4f s), fill %lld, solve %.6f s\n",
              u.Factor(), u.symbolic, u.numeric, u.first, static_cast<long long>(u.fill),
              u.solve);
  std::printf("  ratios : first factor / umfpack %.2f (/ its first run %.2f), factor again / "
              "umfpack %.2f",
              Ratio(e.factor_first, u.Factor()), Ratio(e.factor_first, u.first),
              Ratio(e.factor, u.Factor()));
  if (solve_ratio >= 0) std::printf(", solve %.2f", solve_ratio);
  std::printf("\n");
}

void LUReference_Compare(const std::string& name, const ColumnMatrix& a,
                         std::int64_t problem_entries, std::mt19937& rng) {
  LUReference_Engine e;
  Factorization_Destroy(LUReference_EngineFactor(a, problem_entries, &e));
  LUReference_PrintEngine(name, a, e);
  LUReference_PrintUmfpack(LUReference_RunUmfpack(a, 20, rng), e, -1.0);
  std::fflush(stdout);
}

void LUReference_CompareCrashBasis(const std::string& label, const LinearProblem& p,
                                   std::mt19937& rng) {
  const double mu = LUReference_FirstProximalTerm(p);
  char title[160];
  std::snprintf(title, sizeof title, "%s: %s, mu = %g", label.c_str(), p.name.c_str(), mu);
  LUReference_Compare(title, LUReference_ShiftedBasis(p, mu), p.M.nnz(), rng);
}
