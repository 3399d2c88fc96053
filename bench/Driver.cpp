// Whole solves through Sarn_Solve, as a C++ caller makes them through an
// MCP_Interface (the test fixtures' problems and adapter): the Nash-Cournot
// oligopoly (n = 5), the Broyden tridiagonal system (n = 1000, free
// variables) and the obstacle problem on an m x m grid (m = 100 and 300, n
// up to 90 000). Each run reports the termination code, major iterations,
// pivots, function and Jacobian evaluations next to the time of the whole
// solve (start, iterations, reports, finish).
#include <benchmark/benchmark.h>

#include "BenchCommon.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"

namespace {

// One full solve per run, through an MCP record over the problem with room
// for nnz Jacobian entries; the options are set afresh for each run, as a
// gateway does.
void Solve(benchmark::State& state, const NonlinearProblem& problem, int nnz) {
  Bench_QuietLibrary();
  Options* options = Sarn_CreateOptions();
  Sarn_AddOptions(options);
  Information info{};
  int code = 0;
  for (auto _ : state) {
    Options_Default(options);
    ProblemAdapter adapter(problem, nnz);
    info = Information{};
    info.output_mask = OUTPUT_ALL;
    code = Sarn_Solve(adapter.mcp(), &info);
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

void BM_NashCournot(benchmark::State& state) { Solve(state, NashCournot(), 25); }
void BM_Broyden(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Solve(state, BroydenTridiagonal(n), 3 * n);
}
// The obstacle problem as an MCP: v = u - psi >= 0 perp A v + q.
void BM_Obstacle(benchmark::State& state) {
  const int m = static_cast<int>(state.range(0));
  Solve(state, AsNonlinear(Obstacle(m)), 5 * m * m);
}

}  // namespace

BENCHMARK(BM_NashCournot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Broyden)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Obstacle)->Arg(100)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
