// Benchmark of the presolve: its time against the time of the whole solve,
// and its cost per Jacobian entry and level at two sizes of each problem.
//
//   bench_Presolve [m_obstacle] [n_planted] [blocks] [n_dense]
//
// (defaults 200, 10000, 20000 and 400; 0 skips a problem.) For the obstacle
// problem on an m x m grid and the planted monotone LCP of size n (each
// also at half its size), for a chain of blocks the presolve solves on
// its own (each block: a forcing row, a constant row and a row left with
// one entry once the forcing row is settled), and for a dense LCP whose
// rows the presolve finds redundant one after another, it prints the entries, the
// presolve's records and levels, the seconds of the presolve alone (run on
// the record as the start leaves it), the seconds of the whole solve with
// the presolve on, the presolve's share of it, the nanoseconds per entry
// and level, the termination code and the largest violation of the
// solution check. The problems come from the test fixtures.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "BenchCommon.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/RecordStack.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "presolve/MCP_Finish.hpp"
#include "presolve/MCP_Start.hpp"
#include "presolve/Presolve.hpp"
#include "presolve/PresolveOptions.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"

namespace {

// k copies of the five-variable block z1 free with F1 = z2 + z3; z2, z3 in
// [0, 1] with F = 0; z4 >= 0 with F4 = 2; z5 in [0, 5] with F5 = 2 z5 + z2
// - 2. The presolve fixes every variable in three levels.
LinearProblem Blocks(int k) {
  LinearProblem p;
  p.name = "blocks";
  p.n = 5 * k;
  std::vector<Triplet> entries;
  for (int b = 0; b < k; ++b) {
    const int o = 5 * b;
    entries.push_back({o, o + 1, 1.0});
    entries.push_back({o, o + 2, 1.0});
    entries.push_back({o + 4, o + 1, 1.0});
    entries.push_back({o + 4, o + 4, 2.0});
    p.q.insert(p.q.end(), {0.0, 0.0, 0.0, 2.0, -2.0});
    p.lower.insert(p.lower.end(), {-kInf, 0.0, 0.0, 0.0, 0.0});
    p.upper.insert(p.upper.end(), {kInf, 1.0, 1.0, kInf, 5.0});
  }
  p.M = ColumnMatrix::FromTriplets(p.n, p.n, entries);
  return p;
}

// A dense n x n LCP, M = R + n I with R uniform in [0, 1] and q uniform in
// [1, 2]: F > 0 at every z >= 0, so each row fixes its variable at 0 as
// redundant, and every row is judged with most of the others settled.
LinearProblem Dense(int n) {
  LinearProblem p;
  p.name = "dense";
  p.n = n;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> values(static_cast<size_t>(n) * n);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) values[static_cast<size_t>(i) * n + j] = unit(rng) + (i == j ? n : 0);
  }
  p.M = ColumnMatrix::FromDense(n, n, values);
  for (int i = 0; i < n; ++i) p.q.push_back(1.0 + unit(rng));
  p.lower.assign(n, 0.0);
  p.upper.assign(n, kInf);
  return p;
}

struct Run {
  double presolve = 0.0;
  double solve = 0.0;
  int records = 0;
  int levels = 0;
  int code = 0;
  double violation = 0.0;
};

// The presolve alone on a started record, then the whole solve.
Run Measure(const LinearProblem& p) {
  Run run;
  {
    ProblemAdapter adapter(AsNonlinear(p));
    adapter.AllowPresolve(true);
    Presolve_OptionTable[PRESOLVE].bool_value = 0;
    MCP_Start(adapter.mcp());
    Presolve_OptionTable[PRESOLVE].bool_value = 1;
    const double start = Bench_Now();
    MCP_Presolve(adapter.mcp());
    run.presolve = Bench_Now() - start;
    RecordStack* stack = MCP_PresolveStack(adapter.mcp());
    run.records = RecordStack_Count(stack) - 1;
    PresolveRecord top;
    RecordStack_Top(stack, top);
    run.levels = top.level > 0 ? top.level + 1 : 1;
  }
  ProblemAdapter adapter(AsNonlinear(p));
  adapter.AllowPresolve(true);
  Information info{};
  info.output_mask = OUTPUT_LOG;
  const double start = Bench_Now();
  run.code = Sarn_Solve(adapter.mcp(), &info);
  run.solve = Bench_Now() - start;
  run.violation = ComplementarityViolation(p, adapter.Point());
  return run;
}

void Report(const char* name, const LinearProblem& p) {
  const Run r = Measure(p);
  const double entries = p.M.nnz();
  std::printf("%-16s n %7d  entries %8.0f  records %7d  levels %d  presolve %8.4f s  "
              "solve %8.3f s  share %5.2f%%  %6.1f ns/entry/level  code %d  violation %.1e\n",
              name, p.n, entries, r.records, r.levels, r.presolve, r.solve,
              100.0 * r.presolve / r.solve, 1e9 * r.presolve / (entries * r.levels), r.code,
              r.violation);
}

}  // namespace

int main(int argc, char** argv) {
  const int m = argc > 1 ? std::atoi(argv[1]) : 200;
  const int n = argc > 2 ? std::atoi(argv[2]) : 10000;
  const int blocks = argc > 3 ? std::atoi(argv[3]) : 20000;
  const int dense = argc > 4 ? std::atoi(argv[4]) : 400;
  Bench_QuietLibrary();
  Options* options = Sarn_CreateOptions();
  Sarn_AddOptions(options);
  Options_Default(options);
  if (m > 0) {
    Report("obstacle m/2", Obstacle(m / 2));
    Report("obstacle m", Obstacle(m));
  }
  if (n > 0) {
    Report("planted n/2", PlantedMonotone(n / 2, 1));
    Report("planted n", PlantedMonotone(n, 1));
  }
  if (blocks > 0) {
    Report("blocks k/2", Blocks(blocks / 2));
    Report("blocks k", Blocks(blocks));
  }
  if (dense > 0) {
    Report("dense d/2", Dense(dense / 2));
    Report("dense d", Dense(dense));
  }
  Options_Destroy(options);
  return 0;
}
