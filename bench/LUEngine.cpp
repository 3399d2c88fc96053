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
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "BenchCommon.hpp"
#include "LUReference.hpp"
#include "factorization/Factorization.hpp"
#include "fixtures/Problems.hpp"

namespace {

// (a) 5-point Laplacian on a k by k grid.
ColumnMatrix Laplacian(int k) {
  std::vector<Triplet> entries;
  for (int y = 0; y < k; ++y) {
    for (int x = 0; x < k; ++x) {
      const int j = y * k + x;
      entries.push_back({j, j, 4.0});
      if (x > 0) entries.push_back({j - 1, j, -1.0});
      if (x < k - 1) entries.push_back({j + 1, j, -1.0});
      if (y > 0) entries.push_back({j - k, j, -1.0});
      if (y < k - 1) entries.push_back({j + k, j, -1.0});
    }
  }
  return ColumnMatrix::FromTriplets(k * k, k * k, entries);
}

// (b) 5 random entries per column plus a unit diagonal.
ColumnMatrix RandomWithDiagonal(int n, std::mt19937& rng) {
  std::uniform_int_distribution<int> pick(0, n - 1);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<Triplet> entries;
  for (int j = 0; j < n; ++j) {
    std::vector<int> rows = {j};
    while (rows.size() < 6) {
      const int i = pick(rng);
      if (std::find(rows.begin(), rows.end(), i) == rows.end()) rows.push_back(i);
    }
    entries.push_back({j, j, 1.0});
    for (size_t t = 1; t < rows.size(); ++t) entries.push_back({rows[t], j, val(rng)});
  }
  return ColumnMatrix::FromTriplets(n, n, entries);
}

// (c) dense random matrix.
ColumnMatrix DenseRandom(int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<Triplet> entries;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) entries.push_back({i, j, val(rng)});
  }
  return ColumnMatrix::FromTriplets(n, n, entries);
}

struct Updates {
  double update = 0, solve = 0, refactor = 0;
  std::int64_t fill_after = 0;
  double residual = 0;
};

// max |A x - b| / max |b| for the current columns.
double Residual(const ColumnMatrix& a, const std::vector<double>& x, const std::vector<double>& b) {
  const std::vector<double> ax = a.Multiply(x);
  double r = 0, s = 0;
  for (int i = 0; i < a.rows; ++i) {
    r = std::max(r, std::fabs(ax[i] - b[i]));
    s = std::max(s, std::fabs(b[i]));
  }
  return r / std::max(s, 1e-300);
}

// a with column j replaced by the given entries (rows sorted).
ColumnMatrix SpliceColumn(const ColumnMatrix& a, int j, const std::vector<Triplet>& column) {
  ColumnMatrix next;
  next.rows = a.rows;
  next.cols = a.cols;
  next.start.push_back(0);
  for (int c = 0; c < a.cols; ++c) {
    if (c == j) {
      for (const Triplet& x : column) {
        next.index.push_back(x.row);
        next.value.push_back(x.value);
      }
    } else {
      next.index.insert(next.index.end(), a.index.begin() + a.start[c],
                        a.index.begin() + a.start[c + 1]);
      next.value.insert(next.value.end(), a.value.begin() + a.start[c],
                        a.value.begin() + a.start[c + 1]);
    }
    next.start.push_back(next.nnz());
  }
  return next;
}

// 50 updates as a pivoting method makes them: column j of the basis swaps
// between the original column j and a unit column at position j. The
// entering column is solved for first (mode 5 leaves L^-1 a in v), the
// factors take it (mode_new 2), then one solve with a new right-hand side.
Updates RunUpdates(Factorization* f, ColumnMatrix a, std::mt19937& rng) {
  Updates res;
  const int n = a.cols;
  const ColumnMatrix original = a;
  std::vector<char> is_unit(n, 0);
  std::uniform_int_distribution<int> pick(0, n - 1);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<double> v(n), w(n), b(n);
  int refused = 0;
  for (int step = 0; step < 50; ++step) {
    const int j = pick(rng);
    std::vector<Triplet> column;
    if (is_unit[j]) {
      for (int p = original.start[j]; p < original.start[j + 1]; ++p) {
        column.push_back({original.index[p], j, original.value[p]});
      }
    } else {
      column.push_back({j, j, 1.0});
    }
    is_unit[j] = !is_unit[j];
    a = SpliceColumn(a, j, column);
    std::fill(v.begin(), v.end(), 0.0);
    for (const Triplet& x : column) v[x.row] = x.value;
    std::int32_t result = LU_OK;
    double t0 = Bench_Now();
    LU_Solve(LU_SOLVE_A, n, n, v.data(), w.data(), f->ip, f->rp, f->lu, result);
    double diag = 0, vnorm = 0;
    const std::int32_t r = LU_ReplaceColumn(LU_OLD_REMOVE, LU_NEW_TRANSFORMED, n, n, j + 1,
                                            v.data(), f->ip, f->rp, f->lu, diag, vnorm);
    res.update += Bench_Now() - t0;
    if (r != LU_OK) {
      ++refused;
      LUReference_Refactor(f, a);
    }
    for (int i = 0; i < n; ++i) b[i] = val(rng);
    v = b;
    t0 = Bench_Now();
    LU_Solve(LU_SOLVE_A, n, n, v.data(), w.data(), f->ip, f->rp, f->lu, result);
    res.solve += Bench_Now() - t0;
    if (step == 49) res.residual = Residual(a, w, b);
  }
  res.update /= 50;
  res.solve /= 50;
  res.fill_after = LUReference_Fill(f);
  if (refused > 0) std::printf("  engine : %d updates refused (refactored)\n", refused);
  const double t0 = Bench_Now();
  LUReference_Refactor(f, a);
  res.refactor = Bench_Now() - t0;
  return res;
}

void Report(const std::string& name, const ColumnMatrix& a, std::int64_t problem_entries,
            bool updates, bool dense, std::mt19937& rng) {
  LUReference_Engine e;
  Factorization* f = LUReference_EngineFactor(a, problem_entries, &e);
  LUReference_PrintEngine(name, a, e);
  Updates u;
  if (updates) {
    u = RunUpdates(f, a, rng);
    std::printf("           update+entering solve %.6f s, solve %.6f s (averages of 50)\n",
                u.update, u.solve);
    std::printf("           fill after 50 updates %lld, refactor %.4f s, residual %.1e\n",
                static_cast<long long>(u.fill_after), u.refactor, u.residual);
  }
  Factorization_Destroy(f);
  const LUReference_Umfpack ref = LUReference_RunUmfpack(a, 20, rng);
  LUReference_PrintUmfpack(ref, e, updates ? u.solve / std::max(ref.solve, 1e-9) : -1.0);
  if (dense) {
    const double t = LUReference_RunDgetrf(a);
    std::printf("  dgetrf : %.4f s; factor again / dgetrf %.2f\n", t, e.factor / t);
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
  Bench_QuietLibrary();
  std::mt19937 rng(2024);
  if (which.find('o') != std::string::npos) {
    LUReference_CompareCrashBasis("(o) obstacle basis", Obstacle(obstacle_m), rng);
  }
  if (which.find('p') != std::string::npos) {
    for (std::int32_t n : planted) {
      LUReference_CompareCrashBasis("(p) planted monotone basis", PlantedMonotone(n, 11), rng);
    }
  }
  if (which.find('a') != std::string::npos) {
    const ColumnMatrix a = Laplacian(grid);
    Report("(a) Laplacian", a, a.nnz(), true, false, rng);
  }
  if (which.find('b') != std::string::npos) {
    const ColumnMatrix a = RandomWithDiagonal(random_n, rng);
    Report("(b) random + unit diagonal", a, a.nnz(), true, false, rng);
  }
  if (which.find('c') != std::string::npos) {
    const ColumnMatrix a = DenseRandom(dense_n, rng);
    Report("(c) dense", a, a.nnz(), true, true, rng);
  }
  return 0;
}
