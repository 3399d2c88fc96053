// Benchmark of the sparse LU engine on three matrices: factor, then 50 column
// replacements each followed by a solve, then a refactorization; the same
// factor and solve with UMFPACK (and LAPACK's dgetrf for the dense matrix)
// in the same run. Prints times (seconds) and fill (entries of L and U).
//
// Usage: bench_LUEngine [a|b|c ...] [--grid N] [--random-n N] [--dense-n N]
// Without a selection it runs (a) and (c). A random sparse matrix fills in
// almost completely (the fill grows like n^2 and the time like n^3 for both
// solvers), so (b) at n = 100 000 needs tens of gigabytes and hours; pick n
// with --random-n.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "factorization/lu/LU_Engine.hpp"

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

// The engine with the basis back-end's settings and storage grown from
// required_storage on a shortage.
struct Engine {
  std::int32_t n;
  LU_IntParams ip{};
  LU_RealParams rp{};
  std::vector<double> value, col_umax;
  std::vector<std::int32_t> row_index, col_index, row_perm, col_perm, row_len, col_len, row_start,
      col_start, row_count_start, col_count_start, row_perm_inv, col_perm_inv, work;
  LU_Factors f{};
  int retries = 0;

  explicit Engine(std::int32_t size) : n(size) {
    LU_DefaultParams(ip, rp);
    for (auto* v : {&row_perm, &col_perm, &row_len, &col_len, &row_start, &col_start,
                    &row_count_start, &col_count_start, &row_perm_inv, &col_perm_inv}) {
      v->assign(n, 0);
    }
    col_umax.assign(n, 0.0);
    work.assign(LU_WorkLength(n, n), 0);
  }

  void Resize(std::int64_t length) {
    value.assign(length, 0.0);
    row_index.assign(length, 0);
    col_index.assign(length, 0);
    f = LU_Factors{static_cast<std::int32_t>(length), value.data(), row_index.data(),
                   col_index.data(), row_perm.data(), col_perm.data(), row_len.data(),
                   col_len.data(), row_start.data(), col_start.data(), row_count_start.data(),
                   col_count_start.data(), row_perm_inv.data(), col_perm_inv.data(),
                   col_umax.data(), work.data()};
  }

  // Storage sizing of the sparse basis back-end before every load: room for
  // the entries, at least 1.75 times the latest fill, and 1.75 times the
  // engine's estimate after a shortage.
  void Size(std::int64_t entries) {
    const double room = 0.75;
    double t = std::max<double>(f.storage_length, entries * 2.5);
    t = std::max(t, 5.0 * n);
    if (t < ip[LU_Int::required_storage]) t = ip[LU_Int::required_storage] * (1.0 + room);
    t = std::max(t, (1.0 + room) * (static_cast<double>(ip[LU_Int::l_length]) +
                                     ip[LU_Int::u_length]));
    if (t > f.storage_length) Resize(static_cast<std::int64_t>(t));
  }

  std::int32_t Factor(const Csc& a) {
    for (retries = 0;; ++retries) {
      Size(a.Entries());
      std::int64_t l = 0;
      for (std::int32_t j = 0; j < n; ++j) {
        for (std::int32_t p = a.start[j]; p < a.start[j + 1]; ++p, ++l) {
          value[l] = a.value[p];
          row_index[l] = a.row[p] + 1;
          col_index[l] = j + 1;
        }
      }
      std::int32_t r = LU_Factor(n, n, static_cast<std::int32_t>(a.Entries()), ip, rp, f);
      if (r != LU_NO_STORAGE) return r;
    }
  }
};

struct Result {
  double factor = 0, factor_first = 0, update = 0, solve = 0, refactor = 0;
  std::int64_t fill = 0, fill_after = 0;
  int retries = 0;
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

Result RunEngine(Csc a, std::mt19937& rng) {
  Result res;
  const std::int32_t n = a.n;
  Engine e(n);
  double t0 = Now();
  if (e.Factor(a) != LU_OK) std::printf("  engine: factorization not clean\n");
  res.factor_first = Now() - t0;
  // Timed with storage sized from this first factorization: the best of
  // three runs (the machine may be shared).
  res.factor = 1e30;
  for (int run = 0; run < 3; ++run) {
    t0 = Now();
    e.Factor(a);
    res.factor = std::min(res.factor, Now() - t0);
  }
  res.retries = e.retries;
  res.fill = static_cast<std::int64_t>(e.ip[LU_Int::l_length]) + e.ip[LU_Int::u_length];
  std::printf("  engine : dense1 %d dense2 %d compressions %d storage %d\n",
              e.ip[LU_Int::dense1_columns], e.ip[LU_Int::dense2_columns],
              e.ip[LU_Int::compression_count], e.f.storage_length);

  // 50 updates as a pivoting method makes them: column j of the basis swaps
  // between the original column j and a unit column at position j. The
  // entering column is solved for first (mode 5 leaves L^-1 a in v), the
  // factors take it (mode_new 2), then one solve with a new right-hand side.
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
    t0 = Now();
    LU_Solve(LU_SOLVE_A, n, n, v.data(), w.data(), e.ip, e.rp, e.f, result);
    double diag = 0, vnorm = 0;
    std::int32_t r = LU_ReplaceColumn(LU_OLD_REMOVE, LU_NEW_TRANSFORMED, n, n, j + 1, v.data(),
                                      e.ip, e.rp, e.f, diag, vnorm);
    update += Now() - t0;
    if (r != LU_OK) {
      ++refused;
      e.Factor(a);
    }
    for (std::int32_t i = 0; i < n; ++i) b[i] = val(rng);
    v = b;
    t0 = Now();
    LU_Solve(LU_SOLVE_A, n, n, v.data(), w.data(), e.ip, e.rp, e.f, result);
    solve += Now() - t0;
    if (step == 49) res.residual = Residual(a, w, b);
  }
  res.update = update / 50;
  res.solve = solve / 50;
  res.fill_after = static_cast<std::int64_t>(e.ip[LU_Int::l_length]) + e.ip[LU_Int::u_length];
  if (refused > 0) std::printf("  engine: %d updates refused (refactored)\n", refused);
  t0 = Now();
  e.Factor(a);
  res.refactor = Now() - t0;
  std::printf("  engine : refactor dense1 %d dense2 %d compressions %d storage %d fill %d\n",
              e.ip[LU_Int::dense1_columns], e.ip[LU_Int::dense2_columns],
              e.ip[LU_Int::compression_count], e.f.storage_length,
              e.ip[LU_Int::l_length] + e.ip[LU_Int::u_length]);
  return res;
}

#ifdef SARN_HAVE_UMFPACK
struct UmfResult {
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
    if (status != UMFPACK_OK) {
      std::printf("  umfpack numeric failed: %d\n", status);
      umfpack_di_free_symbolic(&symbolic);
      return res;
    }
  }
  double t0 = 0;
  res.fill = static_cast<std::int64_t>(info[UMFPACK_LNZ] + info[UMFPACK_UNZ]);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> b(a.n), x(a.n);
  const int solves = 20;
  double total = 0;
  for (int s = 0; s < solves; ++s) {
    for (double& y : b) y = val(rng);
    t0 = Now();
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

void Report(const char* name, const Csc& a, std::mt19937& rng) {
  std::printf("\n%s: n = %d, entries = %lld\n", name, a.n, static_cast<long long>(a.Entries()));
  std::fflush(stdout);
  Result r = RunEngine(a, rng);
  std::printf("  engine : factor %.4f s (first call %.4f s with storage retries), fill %lld\n",
              r.factor, r.factor_first, static_cast<long long>(r.fill));
  std::printf("           update+entering solve %.6f s, solve %.6f s (averages of 50)\n", r.update,
              r.solve);
  std::printf("           fill after 50 updates %lld, refactor %.4f s, residual %.1e\n",
              static_cast<long long>(r.fill_after), r.refactor, r.residual);
#ifdef SARN_HAVE_UMFPACK
  UmfResult u = RunUmfpack(a, rng);
  const double umf_factor = u.symbolic + u.numeric;
  std::printf("  umfpack: factor %.4f s (symbolic %.4f + numeric %.4f), fill %lld, solve %.6f s\n",
              umf_factor, u.symbolic, u.numeric, static_cast<long long>(u.fill), u.solve);
  std::printf("  ratios : factor %.2f (target <= 3), solve %.2f (target <= 2)\n",
              r.factor / std::max(umf_factor, 1e-9), r.solve / std::max(u.solve, 1e-9));
#endif
  if (std::strstr(name, "dense") != nullptr) {
    double t = RunDgetrf(a);
    std::printf("  dgetrf : %.4f s; ratio %.2f (target <= 2)\n", t, r.factor / t);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::int32_t grid = 300, random_n = 100000, dense_n = 1000;
  std::string which;
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    if (arg == "--grid" && k + 1 < argc) {
      grid = std::atoi(argv[++k]);
    } else if (arg == "--random-n" && k + 1 < argc) {
      random_n = std::atoi(argv[++k]);
    } else if (arg == "--dense-n" && k + 1 < argc) {
      dense_n = std::atoi(argv[++k]);
    } else {
      which += arg;
    }
  }
  if (which.empty()) which = "ac";
  std::mt19937 rng(2024);
  if (which.find('a') != std::string::npos) Report("(a) Laplacian", Laplacian(grid), rng);
  if (which.find('b') != std::string::npos) {
    Report("(b) random + unit diagonal", RandomWithDiagonal(random_n, rng), rng);
  }
  if (which.find('c') != std::string::npos) Report("(c) dense", DenseRandom(dense_n, rng), rng);
  return 0;
}
