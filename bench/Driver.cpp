// Whole solves through Sarn_Solve, as a C++ caller makes them through an
// MCP_Interface: the Nash-Cournot oligopoly (n = 5), the Broyden tridiagonal
// system (n = 1000, free variables) and the obstacle problem on an m x m grid
// (m = 100 and 300, n up to 90 000). Each run reports the termination code,
// major iterations, pivots, function and Jacobian evaluations next to the
// time of the whole solve (start, iterations, reports, finish).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "core/Error.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "problems/MCP.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"

namespace {

constexpr double kInf = 1e20;

// A problem given by its bounds, start and an evaluation that writes F and,
// when asked, the Jacobian in the exchange form (column starts from 1).
struct Problem {
  int n = 0;
  int nnz = 0;
  std::vector<double> lower, upper, start;
  // Returns the number of domain errors.
  int (*evaluate)(const Problem& p, const double* x, double* f, int* col_start, int* col_len,
                  int* row, double* value);
  int grid = 0;                 // obstacle: m
  std::vector<double> q;        // obstacle: q = A psi + 8
};

// ---------------------------------------------------------------------------
// Nash-Cournot oligopoly, five firms.

int NashEvaluate(const Problem&, const double* x, double* f, int* col_start, int* col_len,
                 int* row, double* value) {
  const double c[5] = {10, 8, 6, 4, 2}, beta[5] = {1.2, 1.1, 1.0, 0.9, 0.8};
  const double K = 5.0, g = 1.0 / 1.1;
  double Q = 0.0;
  for (int i = 0; i < 5; ++i) {
    if (x[i] < 0.0) return 1;
    Q += x[i];
  }
  if (!(Q > 0.0)) return 1;
  const double p = std::pow(5000.0, g) * std::pow(Q, -g);
  const double dp = -g * p / Q;
  for (int i = 0; i < 5; ++i) {
    f[i] = c[i] + std::pow(x[i] / K, 1.0 / beta[i]) - p + x[i] * g * p / Q;
  }
  if (col_start == nullptr) return 0;
  int k = 0;
  for (int j = 0; j < 5; ++j) {
    col_start[j] = k + 1;
    col_len[j] = 5;
    for (int i = 0; i < 5; ++i) {
      double v = -dp + x[i] * g * (dp * Q - p) / (Q * Q);
      if (i == j) {
        v += g * p / Q;
        if (x[i] > 0.0) v += (1.0 / beta[i]) * std::pow(x[i] / K, 1.0 / beta[i] - 1.0) / K;
      }
      row[k] = i + 1;
      value[k] = v;
      ++k;
    }
  }
  return 0;
}

Problem Nash() {
  Problem p;
  p.n = 5;
  p.nnz = 25;
  p.lower.assign(5, 0.0);
  p.upper.assign(5, kInf);
  p.start.assign(5, 10.0);
  p.evaluate = NashEvaluate;
  return p;
}

// ---------------------------------------------------------------------------
// Broyden tridiagonal: F_i = (3 - 2 x_i) x_i - x_{i-1} - 2 x_{i+1} + 1.

int BroydenEvaluate(const Problem& p, const double* x, double* f, int* col_start, int* col_len,
                    int* row, double* value) {
  const int n = p.n;
  for (int i = 0; i < n; ++i) {
    const double left = i > 0 ? x[i - 1] : 0.0;
    const double right = i + 1 < n ? x[i + 1] : 0.0;
    f[i] = (3.0 - 2.0 * x[i]) * x[i] - left - 2.0 * right + 1.0;
  }
  if (col_start == nullptr) return 0;
  int k = 0;
  for (int j = 0; j < n; ++j) {
    col_start[j] = k + 1;
    col_len[j] = 0;
    auto put = [&](int i, double v) {
      row[k] = i + 1;
      value[k] = v;
      ++k;
      ++col_len[j];
    };
    if (j > 0) put(j - 1, -2.0);
    put(j, 3.0 - 4.0 * x[j]);
    if (j + 1 < n) put(j + 1, -1.0);
  }
  return 0;
}

Problem Broyden(int n) {
  Problem p;
  p.n = n;
  p.nnz = 3 * n;
  p.lower.assign(n, -kInf);
  p.upper.assign(n, kInf);
  p.start.assign(n, -1.0);
  p.evaluate = BroydenEvaluate;
  return p;
}

// ---------------------------------------------------------------------------
// Obstacle problem: v = u - psi >= 0 perp A v + q, A the 5-point Laplacian
// over h^2, q = A psi + 8.

int ObstacleEvaluate(const Problem& p, const double* x, double* f, int* col_start, int* col_len,
                     int* row, double* value) {
  const int m = p.grid;
  const double h = 1.0 / (m + 1), s = 1.0 / (h * h);
  for (int i = 0; i < p.n; ++i) f[i] = p.q[i];
  int k = 0;
  for (int gy = 0; gy < m; ++gy) {
    for (int gx = 0; gx < m; ++gx) {
      const int j = gy * m + gx;
      auto put = [&](int i, double v) {
        f[i] += v * x[j];
        if (col_start == nullptr) return;
        row[k] = i + 1;
        value[k] = v;
        ++k;
        ++col_len[j];
      };
      if (col_start != nullptr) {
        col_start[j] = k + 1;
        col_len[j] = 0;
      }
      if (gy > 0) put(j - m, -s);
      if (gx > 0) put(j - 1, -s);
      put(j, 4.0 * s);
      if (gx + 1 < m) put(j + 1, -s);
      if (gy + 1 < m) put(j + m, -s);
    }
  }
  return 0;
}

Problem Obstacle(int m) {
  Problem p;
  p.grid = m;
  p.n = m * m;
  p.nnz = 5 * p.n;
  p.lower.assign(p.n, 0.0);
  p.upper.assign(p.n, kInf);
  p.start.assign(p.n, 0.0);
  p.evaluate = ObstacleEvaluate;
  // q = A psi + 8 with psi = -0.1 - (x - 1/2)^2 - (y - 1/2)^2 on the grid.
  const double h = 1.0 / (m + 1), s = 1.0 / (h * h);
  auto psi = [&](int gx, int gy) {
    if (gx < 0 || gy < 0 || gx >= m || gy >= m) return 0.0;
    const double x = (gx + 1) * h, y = (gy + 1) * h;
    return -0.1 - (x - 0.5) * (x - 0.5) - (y - 0.5) * (y - 0.5);
  };
  p.q.resize(p.n);
  for (int gy = 0; gy < m; ++gy) {
    for (int gx = 0; gx < m; ++gx) {
      // Neighbours outside the grid are boundary points, where psi is
      // replaced by the boundary value 0.
      const double a = 4.0 * s * psi(gx, gy) - s * (psi(gx - 1, gy) + psi(gx + 1, gy) +
                                                     psi(gx, gy - 1) + psi(gx, gy + 1));
      p.q[gy * m + gx] = a + 8.0;
    }
  }
  return p;
}

// ---------------------------------------------------------------------------
// The MCP_Interface callbacks over a Problem.

void Size(void* data, int* n, int* nnz) {
  const Problem& p = *static_cast<Problem*>(data);
  *n = p.n;
  *nnz = p.nnz;
}

void Bounds(void* data, int n, double* x, double* lower, double* upper) {
  const Problem& p = *static_cast<Problem*>(data);
  for (int i = 0; i < n; ++i) {
    x[i] = p.start[i];
    lower[i] = p.lower[i];
    upper[i] = p.upper[i];
  }
}

int Function(void* data, int, const double* x, double* f) {
  const Problem& p = *static_cast<Problem*>(data);
  return p.evaluate(p, x, f, nullptr, nullptr, nullptr, nullptr);
}

int Jacobian(void* data, int, const double* x, int, double* f, int* nnz, int* col_start,
             int* col_len, int* row, double* value) {
  const Problem& p = *static_cast<Problem*>(data);
  if (*nnz < p.nnz) return 1;
  const int errors = p.evaluate(p, x, f, col_start, col_len, row, value);
  *nnz = col_start[p.n - 1] - 1 + col_len[p.n - 1];
  return errors;
}

// One full solve; the options are set afresh for each run, as a gateway does.
void Solve(benchmark::State& state, Problem problem) {
  Error_SetInterface(Error_ThrowingInterface());
  Output_SetLogFile(nullptr);
  Output_SetStatusFile(nullptr);
  Output_SetListingFile(nullptr);
  Options* options = Sarn_CreateOptions();
  Sarn_AddOptions(options);
  Information info{};
  int code = 0;
  for (auto _ : state) {
    Options_Default(options);
    MCP* mcp = MCP_Create(problem.n, problem.nnz);
    MCP_Interface record{};
    record.data = &problem;
    record.problem_size = Size;
    record.bounds = Bounds;
    record.function_evaluation = Function;
    record.jacobian_evaluation = Jacobian;
    MCP_SetInterface(mcp, &record);
    info = Information{};
    info.output_mask = 7;
    code = Sarn_Solve(mcp, &info);
    MCP_Destroy(mcp);
  }
  Options_Destroy(options);
  state.counters["code"] = code;
  state.counters["major"] = info.major_iterations;
  state.counters["pivots"] = info.minor_iterations;
  state.counters["restarts"] = info.restarts;
  state.counters["fevals"] = info.function_evaluations;
  state.counters["jevals"] = info.jacobian_evaluations;
  state.counters["residual"] = info.residual;
  state.counters["basis_s"] = info.basis_time;
}

void BM_NashCournot(benchmark::State& state) { Solve(state, Nash()); }
void BM_Broyden(benchmark::State& state) { Solve(state, Broyden(int(state.range(0)))); }
void BM_Obstacle(benchmark::State& state) { Solve(state, Obstacle(int(state.range(0)))); }

}  // namespace

BENCHMARK(BM_NashCournot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Broyden)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Obstacle)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
