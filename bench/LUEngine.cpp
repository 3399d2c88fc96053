// Benchmark of the sparse LU engine through the sparse basis back-end, each
// case against UMFPACK (symbolic + numeric factorization) in the same run,
// and LAPACK's dgetrf for the dense matrix.
//
// Per case: the first factorization as a solve makes it (a back-end created
// with the storage the solver gives it for a problem of that size, so the
// storage sizing and growth are part of the time), with its storage
// restarts, in-place storage growths, compressions and fill; then the
// factorization again with the storage the first one left (best of three).
// Cases (a) to (c) then make 50 column replacements, each followed by a
// solve, and a refactorization.
//
// Usage: bench_LUEngine [o|p|a|b|c ...] [--obstacle-m M] [--planted-n N ...]
//                       [--grid N] [--random-n N] [--dense-n N]
//   (o) the first basis of the crash on the obstacle problem: J + mu I with
//       every variable free (the 5-point operator of an M x M grid, M = 200
//       by default);
//   (p) the same basis of the planted monotone box LCP (n = 5000 and 10000
//       by default; each --planted-n replaces the list);
//   (a) 5-point Laplacian on an N x N grid; (b) 5 random entries per column
//       plus a unit diagonal; (c) dense random matrix.
// Without a selection it runs (o), (p) and (c). A random sparse matrix fills
// in almost completely (the fill grows like n^2 and the time like n^3), so
// pick the sizes of (b) and (p) with care.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "factorization/Factorization.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "fixtures/Problems.hpp"

#ifdef SARN_HAVE_UMFPACK
#include <umfpack.h>
#endif

extern "C" void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv,
                        int* info);

namespace {

double Now() {
  using clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

// Compressed-column matrix, 0-based, rows sorted within each column.
struct Csc {
  std::int32_t n = 0;
  std::vector<std::int32_t> start, row;
  std::vector<double> value;
  std::int64_t Entries() const { return static_cast<std::int64_t>(row.size()); }
};

Csc FromColumns(std::int32_t n, std::vector<std::vector<std::pair<std::int32_t, double>>>& cols) {
  Csc a;
  a.n = n;
  a.start.push_back(0);
  for (auto& c : cols) {
    std::sort(c.begin(), c.end());
    for (auto& e : c) {
      a.row.push_back(e.first);
      a.value.push_back(e.second);
    }
    a.start.push_back(static_cast<std::int32_t>(a.row.size()));
  }
  return a;
}

// (o), (p): M + mu I of a fixture problem, M with a stored diagonal.
Csc ShiftedBasis(const LinearProblem& p, double mu) {
  Csc a;
  a.n = p.n;
  a.start = p.M.start;
  a.row = p.M.index;
  a.value = p.M.value;
  for (std::int32_t j = 0; j < a.n; ++j) {
    for (std::int32_t k = a.start[j]; k < a.start[j + 1]; ++k) {
      if (a.row[k] == j) a.value[k] += mu;
    }
  }
  return a;
}

// The crash's first proximal term: 1% of the natural residual at the start
// point 0 (projected onto the bounds), at most 10.
double FirstProximalTerm(const LinearProblem& p) {
  std::vector<double> z(p.n);
  for (int i = 0; i < p.n; ++i) z[i] = std::min(std::max(0.0, p.lower[i]), p.upper[i]);
  std::vector<double> f = p.F(z);
  double sum = 0.0;
  for (int i = 0; i < p.n; ++i) {
    const double r = z[i] - std::min(std::max(z[i] - f[i], p.lower[i]), p.upper[i]);
    sum += r * r;
  }
  return std::min(0.01 * std::sqrt(sum), 10.0);
}

// (a) 5-point Laplacian on a k by k grid.
Csc Laplacian(std::int32_t k) {
  const std::int32_t n = k * k;
  std::vector<std::vector<std::pair<std::int32_t, double>>> cols(n);
  for (std::int32_t y = 0; y < k; ++y) {
    for (std::int32_t x = 0; x < k; ++x) {
      std::int32_t j = y * k + x;
      cols[j].push_back({j, 4.0});
      if (x > 0) cols[j].push_back({j - 1, -1.0});
      if (x < k - 1) cols[j].push_back({j + 1, -1.0});
      if (y > 0) cols[j].push_back({j - k, -1.0});
      if (y < k - 1) cols[j].push_back({j + k, -1.0});
    }
  }
  return FromColumns(n, cols);
}

// (b) 5 random entries per column plus a unit diagonal.
Csc RandomWithDiagonal(std::int32_t n, std::mt19937& rng) {
  std::uniform_int_distribution<std::int32_t> pick(0, n - 1);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<std::vector<std::pair<std::int32_t, double>>> cols(n);
  for (std::int32_t j = 0; j < n; ++j) {
    std::vector<std::int32_t> rows = {j};
    while (rows.size() < 6) {
      std::int32_t i = pick(rng);
      if (std::find(rows.begin(), rows.end(), i) == rows.end()) rows.push_back(i);
    }
    cols[j].push_back({j, 1.0});
    for (size_t t = 1; t < rows.size(); ++t) cols[j].push_back({rows[t], val(rng)});
  }
  return FromColumns(n, cols);
}

// (c) dense random matrix.
Csc DenseRandom(std::int32_t n, std::mt19937& rng) {
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<std::vector<std::pair<std::int32_t, double>>> cols(n);
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t i = 0; i < n; ++i) cols[j].push_back({i, val(rng)});
  }
  return FromColumns(n, cols);
}

// The matrix as the back-end reads it (1-based, packed) and the identity
// column list of the basis.
struct BackendMatrix {
  SparseMatrix* A = nullptr;
  IDenseVector* cols = nullptr;
  explicit BackendMatrix(const Csc& a) {
    const std::int32_t nnz = static_cast<std::int32_t>(a.Entries());
    A = SparseMatrix_Create(a.n, a.n, nnz);
    SparseMatrix_SetSize(A, a.n, a.n, nnz);
    std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(A));
    std::int32_t* length = IDenseVector_Array(SparseMatrix_ColLen(A));
    std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(A));
    double* value = DenseVector_Array(SparseMatrix_Values(A));
    for (std::int32_t j = 0; j < a.n; ++j) {
      start[j] = a.start[j] + 1;
      length[j] = a.start[j + 1] - a.start[j];
    }
    for (std::int64_t k = 0; k < a.Entries(); ++k) {
      row[k] = a.row[k] + 1;
      value[k] = a.value[k];
    }
    SparseMatrix_SetFlags(A, SPARSE_PACKED);
    cols = IDenseVector_Create(a.n);
    IDenseVector_Ramp(cols, a.n, 1, 1);
  }
  ~BackendMatrix() {
    SparseMatrix_Destroy(A);
    IDenseVector_Destroy(cols);
  }
  BackendMatrix(const BackendMatrix&) = delete;
  BackendMatrix& operator=(const BackendMatrix&) = delete;
};

struct Result {
  double factor_first = 0, factor = 0, update = 0, solve = 0, refactor = 0;
  std::int64_t fill = 0, fill_after = 0;
  int restarts = 0, growths = 0, compressions = 0;
  int dense1 = 0, dense2 = 0;
  std::int64_t storage = 0;
  double residual = 0;
};

// max |A x - b| / max |b| for the current columns.
double Residual(const Csc& a, const std::vector<double>& x, const std::vector<double>& b) {
  std::vector<double> ax(a.n, 0.0);
  for (std::int32_t j = 0; j < a.n; ++j) {
    for (std::int32_t p = a.start[j]; p < a.start[j + 1]; ++p) ax[a.row[p]] += a.value[p] * x[j];
  }
  double r = 0, s = 0;
  for (std::int32_t i = 0; i < a.n; ++i) {
    r = std::max(r, std::fabs(ax[i] - b[i]));
    s = std::max(s, std::fabs(b[i]));
  }
  return r / std::max(s, 1e-300);
}

std::int64_t Fill(const Factorization* f) {
  return static_cast<std::int64_t>(f->ip[LU_Int::l_length]) + f->ip[LU_Int::u_length];
}

int Factor(Factorization* f, const Csc& a) {
  BackendMatrix b(a);
  return Factorization_Factor(f, b.A, b.cols);
}

// 50 updates as a pivoting method makes them: column j of the basis swaps
// between the original column j and a unit column at position j. The
// entering column is solved for first (mode 5 leaves L^-1 a in v), the
// factors take it (mode_new 2), then one solve with a new right-hand side.
void RunUpdates(Factorization* f, Csc a, std::mt19937& rng, Result& res) {
  const std::int32_t n = a.n;
  const Csc original = a;
  std::vector<char> is_unit(n, 0);
  std::uniform_int_distribution<std::int32_t> pick(0, n - 1);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> v(n), w(n), b(n);
  double update = 0, solve = 0;
  int refused = 0;
  for (int step = 0; step < 50; ++step) {
    const std::int32_t j = pick(rng);
    std::vector<std::pair<std::int32_t, double>> column;
    if (is_unit[j]) {
      for (std::int32_t p = original.start[j]; p < original.start[j + 1]; ++p) {
        column.push_back({original.row[p], original.value[p]});
      }
    } else {
      column.push_back({j, 1.0});
    }
    is_unit[j] = !is_unit[j];
    // Splice it into the current matrix.
    Csc next;
    next.n = n;
    next.start.push_back(0);
    for (std::int32_t c = 0; c < n; ++c) {
      if (c == j) {
        for (auto& x : column) {
          next.row.push_back(x.first);
          next.value.push_back(x.second);
        }
      } else {
        next.row.insert(next.row.end(), a.row.begin() + a.start[c], a.row.begin() + a.start[c + 1]);
        next.value.insert(next.value.end(), a.value.begin() + a.start[c],
                          a.value.begin() + a.start[c + 1]);
      }
      next.start.push_back(static_cast<std::int32_t>(next.row.size()));
    }
    a = std::move(next);
    std::fill(v.begin(), v.end(), 0.0);
    for (auto& x : column) v[x.first] = x.second;
    std::int32_t result = LU_OK;
    double t0 = Now();
    LU_Solve(LU_SOLVE_A, n, n, v.data(), w.data(), f->ip, f->rp, f->lu, result);
    double diag = 0, vnorm = 0;
    std::int32_t r = LU_ReplaceColumn(LU_OLD_REMOVE, LU_NEW_TRANSFORMED, n, n, j + 1, v.data(),
                                      f->ip, f->rp, f->lu, diag, vnorm);
    update += Now() - t0;
    if (r != LU_OK) {
      ++refused;
      Factor(f, a);
    }
    for (std::int32_t i = 0; i < n; ++i) b[i] = val(rng);
    v = b;
    t0 = Now();
    LU_Solve(LU_SOLVE_A, n, n, v.data(), w.data(), f->ip, f->rp, f->lu, result);
    solve += Now() - t0;
    if (step == 49) res.residual = Residual(a, w, b);
  }
  res.update = update / 50;
  res.solve = solve / 50;
  res.fill_after = Fill(f);
  if (refused > 0) std::printf("  engine : %d updates refused (refactored)\n", refused);
  const double t0 = Now();
  Factor(f, a);
  res.refactor = Now() - t0;
}

// The first factorization with the storage a solve of a problem with
// `problem_entries` entries starts from, then the same again (best of
// three) with the storage it left; then the updates when asked for.
Result RunEngine(const Csc& a, std::int64_t problem_entries, bool updates, std::mt19937& rng) {
  Result res;
  Factorization_Defaults();
  Factorization* f = Factorization_Create(a.n, a.n, static_cast<std::int32_t>(problem_entries));
  double t0 = Now();
  if (Factor(f, a) != BASIS_FACTORED) std::printf("  engine : basis judged singular\n");
  res.factor_first = Now() - t0;
  res.restarts = f->attempts - 1;
  res.growths = f->growths;
  res.compressions = f->ip[LU_Int::compression_count];
  res.fill = Fill(f);
  res.storage = f->lu.storage_length;
  res.factor = 1e30;
  for (int run = 0; run < 3; ++run) {
    t0 = Now();
    Factor(f, a);
    res.factor = std::min(res.factor, Now() - t0);
  }
  res.dense1 = f->ip[LU_Int::dense1_columns];
  res.dense2 = f->ip[LU_Int::dense2_columns];
  if (updates) RunUpdates(f, a, rng, res);
  Factorization_Destroy(f);
  return res;
}

#ifdef SARN_HAVE_UMFPACK
struct UmfResult {
  double first = 0;  // symbolic + numeric of the first run
  double symbolic = 0, numeric = 0, solve = 0;
  std::int64_t fill = 0;
};

UmfResult RunUmfpack(const Csc& a, std::mt19937& rng) {
  UmfResult res;
  double control[UMFPACK_CONTROL], info[UMFPACK_INFO];
  umfpack_di_defaults(control);
  void *symbolic = nullptr, *numeric = nullptr;
  // The best of three runs of each phase, as for the engine.
  res.symbolic = res.numeric = 1e30;
  for (int run = 0; run < 3; ++run) {
    if (symbolic != nullptr) umfpack_di_free_symbolic(&symbolic);
    if (numeric != nullptr) umfpack_di_free_numeric(&numeric);
    double t0 = Now();
    int status = umfpack_di_symbolic(a.n, a.n, a.start.data(), a.row.data(), a.value.data(),
                                     &symbolic, control, info);
    res.symbolic = std::min(res.symbolic, Now() - t0);
    if (status != UMFPACK_OK) {
      std::printf("  umfpack symbolic failed: %d\n", status);
      return res;
    }
    t0 = Now();
    status = umfpack_di_numeric(a.start.data(), a.row.data(), a.value.data(), symbolic, &numeric,
                                control, info);
    res.numeric = std::min(res.numeric, Now() - t0);
    if (run == 0) res.first = res.symbolic + res.numeric;
    if (status != UMFPACK_OK) {
      std::printf("  umfpack numeric failed: %d\n", status);
      umfpack_di_free_symbolic(&symbolic);
      return res;
    }
  }
  res.fill = static_cast<std::int64_t>(info[UMFPACK_LNZ] + info[UMFPACK_UNZ]);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> b(a.n), x(a.n);
  const int solves = 20;
  double total = 0;
  for (int s = 0; s < solves; ++s) {
    for (double& y : b) y = val(rng);
    const double t0 = Now();
    umfpack_di_solve(UMFPACK_A, a.start.data(), a.row.data(), a.value.data(), x.data(), b.data(),
                     numeric, control, info);
    total += Now() - t0;
  }
  res.solve = total / solves;
  umfpack_di_free_numeric(&numeric);
  umfpack_di_free_symbolic(&symbolic);
  return res;
}
#endif

double RunDgetrf(const Csc& a) {
  int n = a.n, info = 0;
  std::vector<double> dense(static_cast<size_t>(n) * n, 0.0);
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t p = a.start[j]; p < a.start[j + 1]; ++p) {
      dense[static_cast<size_t>(j) * n + a.row[p]] = a.value[p];
    }
  }
  std::vector<int> ipiv(n);
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    std::vector<double> work = dense;
    double t0 = Now();
    dgetrf_(&n, &n, work.data(), &n, ipiv.data(), &info);
    best = std::min(best, Now() - t0);
  }
  return best;
}

void Report(const std::string& name, const Csc& a, std::int64_t problem_entries, bool updates,
            bool dense, std::mt19937& rng) {
  std::printf("\n%s: n = %d, entries = %lld\n", name.c_str(), a.n,
              static_cast<long long>(a.Entries()));
  std::fflush(stdout);
  const Result r = RunEngine(a, problem_entries, updates, rng);
  std::printf("  engine : first factor %.4f s (storage restarts %d, growths %d, compressions %d, "
              "storage %lld), fill %lld\n",
              r.factor_first, r.restarts, r.growths, r.compressions,
              static_cast<long long>(r.storage), static_cast<long long>(r.fill));
  std::printf("           factor again %.4f s (best of 3), dense1 %d dense2 %d\n", r.factor,
              r.dense1, r.dense2);
  if (updates) {
    std::printf("           update+entering solve %.6f s, solve %.6f s (averages of 50)\n",
                r.update, r.solve);
    std::printf("           fill after 50 updates %lld, refactor %.4f s, residual %.1e\n",
                static_cast<long long>(r.fill_after), r.refactor, r.residual);
  }
#ifdef SARN_HAVE_UMFPACK
  const UmfResult u = RunUmfpack(a, rng);
  const double umf_factor = u.symbolic + u.numeric;
  std::printf("  umfpack: factor %.4f s (best of 3: symbolic %.4f + numeric %.4f; first run "
              "%.4f s), fill %lld, solve %.6f s\n",
              umf_factor, u.symbolic, u.numeric, u.first, static_cast<long long>(u.fill),
              u.solve);
  std::printf("  ratios : first factor / umfpack %.2f (/ its first run %.2f), factor again / "
              "umfpack %.2f",
              r.factor_first / std::max(umf_factor, 1e-9), r.factor_first / std::max(u.first, 1e-9),
              r.factor / std::max(umf_factor, 1e-9));
  if (updates) std::printf(", solve %.2f", r.solve / std::max(u.solve, 1e-9));
  std::printf("\n");
#endif
  if (dense) {
    const double t = RunDgetrf(a);
    std::printf("  dgetrf : %.4f s; factor again / dgetrf %.2f\n", t, r.factor / t);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::int32_t grid = 300, random_n = 100000, dense_n = 1000, obstacle_m = 200;
  std::vector<std::int32_t> planted = {5000, 10000};
  bool planted_given = false;
  std::string which;
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    if (arg == "--grid" && k + 1 < argc) {
      grid = std::atoi(argv[++k]);
    } else if (arg == "--random-n" && k + 1 < argc) {
      random_n = std::atoi(argv[++k]);
    } else if (arg == "--dense-n" && k + 1 < argc) {
      dense_n = std::atoi(argv[++k]);
    } else if (arg == "--obstacle-m" && k + 1 < argc) {
      obstacle_m = std::atoi(argv[++k]);
    } else if (arg == "--planted-n" && k + 1 < argc) {
      if (!planted_given) planted.clear();
      planted_given = true;
      planted.push_back(std::atoi(argv[++k]));
    } else {
      which += arg;
    }
  }
  if (which.empty()) which = "opc";
  Error_SetInterface(Error_ThrowingInterface());
  Output_SetLogFile(nullptr);
  Output_SetStatusFile(nullptr);
  Output_SetListingFile(nullptr);
  std::mt19937 rng(2024);
  if (which.find('o') != std::string::npos) {
    const LinearProblem p = Obstacle(obstacle_m);
    const double mu = FirstProximalTerm(p);
    Report("(o) obstacle basis m = " + std::to_string(obstacle_m) + ", mu = " +
               std::to_string(mu),
           ShiftedBasis(p, mu), p.M.nnz(), false, false, rng);
  }
  if (which.find('p') != std::string::npos) {
    for (std::int32_t n : planted) {
      const LinearProblem p = PlantedMonotone(n, 11);
      const double mu = FirstProximalTerm(p);
      Report("(p) planted monotone basis n = " + std::to_string(n) + ", mu = " +
                 std::to_string(mu),
             ShiftedBasis(p, mu), p.M.nnz(), false, false, rng);
    }
  }
  if (which.find('a') != std::string::npos) {
    const Csc a = Laplacian(grid);
    Report("(a) Laplacian", a, a.Entries(), true, false, rng);
  }
  if (which.find('b') != std::string::npos) {
    const Csc a = RandomWithDiagonal(random_n, rng);
    Report("(b) random + unit diagonal", a, a.Entries(), true, false, rng);
  }
  if (which.find('c') != std::string::npos) {
    const Csc a = DenseRandom(dense_n, rng);
    Report("(c) dense", a, a.Entries(), true, true, rng);
  }
  return 0;
}
