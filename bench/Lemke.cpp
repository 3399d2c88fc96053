// Benchmark of the pivoting method: pivots per second on large LCPs, and
// the share of each pivot spent in the basis factorization (its column
// replacement and solves) against the method's own work.
//
//   bench_Lemke [n_planted] [m_obstacle] [dense|sparse] [rule|all]
//
// (a size of 0 skips that problem; the defaults are 10000 and 100; the rule
// is textbook, devex, expand (the default) or adaptive, or all four in turn)
// Prints, per problem, start and rule: the result code, pivots, the
// variables strictly between their bounds at the solution (each entered the
// basis at least once from a slack start), seconds, pivots per second, the
// seconds inside the basis back-end, the ratio of the whole pivot to the
// basis work, and the largest violation of the solution check.
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

#include "core/Options.hpp"
#include "core/Timer.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "factorization/DenseBasis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "problems/LCP.hpp"
#include "solver/Information.hpp"
#include "solver/Lemke.hpp"
#include "solver/LemkeOptions.hpp"

namespace {

constexpr double kInfinity = 1e20;

// A sparse LCP, 0-based compressed columns.
struct Problem {
  std::string name;
  int n = 0;
  std::vector<int> start, index;
  std::vector<double> value, q, lower, upper, z0;
};

Problem FromTriplets(const std::string& name, int n,
                     std::vector<std::pair<std::pair<int, int>, double>> entries) {
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.first.second != b.first.second ? a.first.second < b.first.second
                                            : a.first.first < b.first.first;
  });
  Problem p;
  p.name = name;
  p.n = n;
  p.start.assign(n + 1, 0);
  for (size_t k = 0; k < entries.size(); ++k) {
    const int i = entries[k].first.first, j = entries[k].first.second;
    if (k > 0 && entries[k - 1].first == entries[k].first) {
      p.value.back() += entries[k].second;
      continue;
    }
    p.index.push_back(i);
    p.value.push_back(entries[k].second);
    p.start[j + 1] += 1;
  }
  for (int j = 0; j < n; ++j) p.start[j + 1] += p.start[j];
  p.q.assign(n, 0.0);
  p.lower.assign(n, 0.0);
  p.upper.assign(n, kInfinity);
  p.z0.assign(n, 0.0);
  return p;
}

std::vector<double> Multiply(const Problem& p, const std::vector<double>& x) {
  std::vector<double> y(p.n, 0.0);
  for (int j = 0; j < p.n; ++j)
    for (int k = p.start[j]; k < p.start[j + 1]; ++k) y[p.index[k]] += p.value[k] * x[j];
  return y;
}

// Planted monotone LCP with mixed bounds: M = B B' + S + 0.1 I (B with three
// entries per column, S sparse skew), a third of the variables in [0, inf),
// a third in [-1, 1], a third free; a planted solution with variables at
// their finite bounds and between them; q = w* - M z*.
Problem PlantedMonotone(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> pick(0, n - 1);
  std::vector<std::pair<std::pair<int, int>, double>> entries;
  for (int j = 0; j < n; ++j) {
    int rows[3];
    double vals[3];
    for (int t = 0; t < 3; ++t) {
      rows[t] = pick(rng);
      vals[t] = unit(rng);
    }
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) entries.push_back({{rows[a], rows[b]}, vals[a] * vals[b]});
  }
  for (int k = 0; k < n; ++k) {
    const int i = pick(rng), j = pick(rng);
    if (i == j) continue;
    const double v = unit(rng);
    entries.push_back({{i, j}, v});
    entries.push_back({{j, i}, -v});
  }
  for (int i = 0; i < n; ++i) entries.push_back({{i, i}, 0.1});
  Problem p = FromTriplets("planted monotone " + std::to_string(n), n, entries);
  std::vector<double> z(n), w(n, 0.0);
  for (int i = 0; i < n; ++i) {
    const int kind = i % 3;
    p.lower[i] = kind == 0 ? 0.0 : kind == 1 ? -1.0 : -kInfinity;
    p.upper[i] = kind == 1 ? 1.0 : kInfinity;
    const int where = static_cast<int>(rng() % 3);
    if (where == 0 && kind != 2) {
      z[i] = p.lower[i];
      w[i] = 0.5 + std::fabs(unit(rng));
    } else if (where == 1 && kind == 1) {
      z[i] = p.upper[i];
      w[i] = -0.5 - std::fabs(unit(rng));
    } else {
      z[i] = kind == 1 ? 0.9 * unit(rng) : kind == 0 ? 0.1 + std::fabs(unit(rng)) : 2.0 * unit(rng);
    }
  }
  const std::vector<double> mz = Multiply(p, z);
  for (int i = 0; i < n; ++i) p.q[i] = w[i] - mz[i];
  return p;
}

// Obstacle problem on an m x m grid (5-point Laplacian / h^2, load -8,
// obstacle -0.1 - (x - 1/2)^2 - (y - 1/2)^2), unknown v = u - psi >= 0.
Problem Obstacle(int m) {
  const int n = m * m;
  const double h = 1.0 / (m + 1), s = 1.0 / (h * h);
  auto id = [m](int a, int b) { return b * m + a; };
  std::vector<std::pair<std::pair<int, int>, double>> entries;
  std::vector<double> psi(n);
  for (int b = 0; b < m; ++b)
    for (int a = 0; a < m; ++a) {
      const int k = id(a, b);
      const double x = (a + 1) * h, y = (b + 1) * h;
      psi[k] = -0.1 - (x - 0.5) * (x - 0.5) - (y - 0.5) * (y - 0.5);
      entries.push_back({{k, k}, 4 * s});
      if (a > 0) entries.push_back({{k, id(a - 1, b)}, -s});
      if (a < m - 1) entries.push_back({{k, id(a + 1, b)}, -s});
      if (b > 0) entries.push_back({{k, id(a, b - 1)}, -s});
      if (b < m - 1) entries.push_back({{k, id(a, b + 1)}, -s});
    }
  Problem p = FromTriplets("obstacle " + std::to_string(m), n, entries);
  const std::vector<double> apsi = Multiply(p, psi);
  for (int i = 0; i < n; ++i) p.q[i] = apsi[i] + 8.0;
  return p;
}

double Violation(const Problem& p, const std::vector<double>& z) {
  std::vector<double> f = Multiply(p, z);
  double worst = 0.0;
  for (int i = 0; i < p.n; ++i) {
    f[i] += p.q[i];
    const double mid = std::min(std::max(z[i] - f[i], p.lower[i]), p.upper[i]);
    worst = std::max({worst, p.lower[i] - z[i], z[i] - p.upper[i], std::fabs(z[i] - mid)});
  }
  return worst;
}

// --- the LCP interface over the problem --------------------------------------

struct Run {
  const Problem* problem;
  std::vector<double> z;
};

void Size(void* data, int* n, int* nnz) {
  const Problem* p = static_cast<Run*>(data)->problem;
  *n = p->n;
  *nnz = static_cast<int>(p->index.size());
}

void Bounds(void* data, int n, double* z, double* lower, double* upper) {
  const Problem* p = static_cast<Run*>(data)->problem;
  for (int i = 0; i < n; ++i) {
    z[i] = p->z0[i];
    lower[i] = p->lower[i];
    upper[i] = p->upper[i];
  }
}

void Matrix(void* data, int n, int* nnz, int* col_start, int* col_len, int* row, double* value,
            double* q) {
  const Problem* p = static_cast<Run*>(data)->problem;
  for (int j = 0; j < n; ++j) {
    col_start[j] = p->start[j] + 1;
    col_len[j] = p->start[j + 1] - p->start[j];
  }
  for (size_t k = 0; k < p->index.size(); ++k) {
    row[k] = p->index[k] + 1;
    value[k] = p->value[k];
  }
  *nnz = static_cast<int>(p->index.size());
  for (int i = 0; i < n; ++i) q[i] = p->q[i];
}

void Finish(void* data, const double* z) {
  Run* run = static_cast<Run*>(data);
  run->z.assign(z, z + run->problem->n);
}

// --- a timer with nanosecond resolution, so that the basis time of each
// replacement and solve is measured, not rounded to milliseconds ---------------

using Clock = std::chrono::steady_clock;

void* FineCreate(void*) { return new Clock::time_point(Clock::now()); }
void FineDestroy(void*, void* handle) { delete static_cast<Clock::time_point*>(handle); }
void FineStart(void*, void* handle) { *static_cast<Clock::time_point*>(handle) = Clock::now(); }
double FineQuery(void*, void* handle) {
  return std::chrono::duration<double>(Clock::now() - *static_cast<Clock::time_point*>(handle))
      .count();
}
Timer_Interface fine_timer{nullptr, FineCreate, FineDestroy, FineStart, FineQuery};

// Variables strictly between their bounds.
int Inside(const Problem& p, const std::vector<double>& z) {
  int count = 0;
  for (int i = 0; i < p.n && i < static_cast<int>(z.size()); ++i) {
    if (z[i] > p.lower[i] && z[i] < p.upper[i]) ++count;
  }
  return count;
}

void Measure(const Problem& p, const char* start_name, int factor_given, bool dense, int rule) {
  Options_CommonDefaults();
  Factorization_Defaults();
  Lemke_Defaults();
  Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
  if (dense) Basis_SetInterface(DenseBasis_Interface());
  Options_CommonTable[COMMON_MINOR_ITERATION_LIMIT].int_value = 100000000;
  Lemke_OptionTable[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = 100000000;

  Run run{&p, {}};
  LCP_Interface table{};
  table.data = &run;
  table.problem_size = Size;
  table.bounds = Bounds;
  table.matrix = Matrix;
  table.finish = Finish;
  LCP_SetInterface(&table);
  LCP* lcp = LCP_Create(p.n, static_cast<int>(p.index.size()));
  // Hold the scratch pool so that its basis (and its clock) outlives the solve.
  Workspace_Create(p.n, static_cast<int>(p.index.size()));
  Basis* basis = Workspace_Basis();
  const double basis_before = Basis_Seconds(basis);

  Information info{};
  info.output_mask = 0;
  info.factor_given_basis = factor_given;
  info.start_from_given_basis = 0;
  const auto begin = Clock::now();
  const int code = Lemke_Method(lcp, &info);
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  const double basis_seconds = Basis_Seconds(basis) - basis_before;
  const int pivots = info.major_iterations;

  std::printf("%-24s %-9s %-8s %-6s code %d  pivots %7d  inside %7d  %8.3f s  %9.0f pivots/s  "
              "basis %8.3f s  pivot/basis %5.2f  violation %.1e\n",
              p.name.c_str(), start_name, Lemke_PivotTypeKeywords[rule],
              dense ? "dense" : "sparse", code, pivots, Inside(p, run.z), seconds,
              pivots / seconds, basis_seconds, seconds / basis_seconds, Violation(p, run.z));
  std::fflush(stdout);
  Workspace_Destroy();
  LCP_Destroy(lcp);
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int m = argc > 2 ? std::atoi(argv[2]) : 100;
  const bool dense = argc > 3 && std::strcmp(argv[3], "dense") == 0;
  std::vector<int> rules = {PIVOT_TYPE_EXPAND};
  if (argc > 4) {
    int rule = 0;
    if (std::strcmp(argv[4], "all") == 0) {
      rules = {PIVOT_TYPE_TEXTBOOK, PIVOT_TYPE_DEVEX, PIVOT_TYPE_EXPAND, PIVOT_TYPE_ADAPTIVE};
    } else if (Lemke_ParsePivotType(argv[4], &rule) == 1) {
      rules = {rule};
    } else {
      std::fprintf(stderr, "unknown pivot rule %s\n", argv[4]);
      return 1;
    }
  }
  Timer_SetInterface(&fine_timer);
  for (int rule : rules) {
    if (n > 0) {
      const Problem planted = PlantedMonotone(n, 11);
      Measure(planted, "slack", 0, dense, rule);
      Measure(planted, "residual", 1, dense, rule);
    }
    if (m > 0) {
      const Problem obstacle = Obstacle(m);
      Measure(obstacle, "slack", 0, dense, rule);
      Measure(obstacle, "residual", 1, dense, rule);
    }
  }
  return 0;
}
