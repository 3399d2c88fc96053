// Benchmark of the row presolve (MCPR): its time per level against the
// number of Jacobian entries, and the whole presolve's share of a solve in
// which it reduces nothing.
//
//   bench_RowPresolve [m_obstacle] [n_blocks] [n_planted]
//
// (defaults 200, 100000 and 3000; 0 skips a problem.)
//  - The row pass alone, run to its fixed point on a record set up for the
//    presolve: on the obstacle problem of an m x m grid (and m/2), and on
//    a block model of n variables (and n/2, n/4) in independent one-, two-
//    and three-row P-matrix blocks with mixed bounds. Printed: entries,
//    levels run (the changing ones and the last, which finds nothing),
//    variables fixed, seconds (best of five runs), and nanoseconds per
//    entry and level, which stays flat when the time is linear in the
//    entries.
//  - The share: the presolve alone (MCP_Presolve on the started record)
//    against the whole solve with the presolve on, on the planted monotone
//    LCP of size n and on the obstacle problem, where the presolve makes
//    no reduction (records 0 on the obstacle problem);
//    the target is at most 5%.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/Error.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/RecordStack.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "presolve/MCP_Start.hpp"
#include "presolve/Presolve.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/RowPass.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// n variables in independent blocks of one, two and three rows, each
// strictly diagonally dominant with a positive diagonal (a P-matrix, one
// solution whatever the bounds), bounds [0, inf), [-1, 1], free and
// (-inf, 2] in turn, q drawn from [-3, 3].
LinearProblem BlockModel(int n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> coef(-1.0, 1.0);
  std::uniform_int_distribution<int> size(1, 3);
  LinearProblem p;
  p.name = "row blocks";
  p.n = n;
  std::vector<Triplet> entries;
  for (int first = 0; first < n;) {
    const int k = std::min(size(rng), n - first);
    for (int i = first; i < first + k; ++i) {
      for (int j = first; j < first + k; ++j) {
        entries.push_back({i, j, i == j ? 2.5 + coef(rng) : coef(rng)});
      }
    }
    first += k;
  }
  p.M = ColumnMatrix::FromTriplets(n, n, entries);
  const double lower[] = {0.0, -1.0, -kInf, -kInf};
  const double upper[] = {kInf, 1.0, kInf, 2.0};
  for (int i = 0; i < n; ++i) {
    p.q.push_back(3.0 * coef(rng));
    p.lower.push_back(lower[i % 4]);
    p.upper.push_back(upper[i % 4]);
  }
  return p;
}

struct PassRun {
  double seconds = 0.0;
  int levels = 0;
  int fixed = 0;
  int status = 0;
};

// One run of the row pass to its fixed point on a record set up for the
// presolve (the set-up is not timed).
PassRun RowPassOnce(const LinearProblem& p) {
  ProblemAdapter adapter(AsNonlinear(p));
  adapter.AllowPresolve(true);
  Presolve_OptionTable[PRESOLVE].bool_value = 0;
  MCP_Start(adapter.mcp());
  Presolve_OptionTable[PRESOLVE].bool_value = 1;
  MCP_PresolvePrepare(adapter.mcp());
  std::int32_t level = 1, changed = 1;
  int calls = 0;
  PassRun run;
  run.status = MCP_CONTINUE;
  const Clock::time_point start = Clock::now();
  while (changed != 0 && run.status == MCP_CONTINUE) {
    run.status = MCPR(adapter.mcp(), &level, &changed);
    calls += 1;
  }
  run.seconds = Seconds(start);
  const double* l = DenseVector_Array(MCP_FullLower(adapter.mcp()));
  const double* u = DenseVector_Array(MCP_FullUpper(adapter.mcp()));
  for (int j = 0; j < p.n; ++j) run.fixed += l[j] == u[j] ? 1 : 0;
  run.levels = (level - 1) + calls;  // each call ends with a level that finds nothing
  return run;
}

// The best of five runs of the row pass.
void TimeRowPass(const char* name, const LinearProblem& p) {
  PassRun best = RowPassOnce(p);
  for (int k = 1; k < 5; ++k) {
    const PassRun run = RowPassOnce(p);
    if (run.seconds < best.seconds) best = run;
  }
  const double entries = p.M.nnz();
  std::printf("%-14s n %7d  entries %8.0f  levels %3d  fixed %7d  status %2d  row pass %8.4f s  "
              "%6.1f ns/entry/level\n",
              name, p.n, entries, best.levels, best.fixed, best.status, best.seconds,
              1e9 * best.seconds / (entries * best.levels));
}

// The whole presolve's share of a solve.
void PresolveShare(const char* name, const LinearProblem& p) {
  double presolve = 0.0;
  int records = 0;
  {
    ProblemAdapter adapter(AsNonlinear(p));
    adapter.AllowPresolve(true);
    Presolve_OptionTable[PRESOLVE].bool_value = 0;
    MCP_Start(adapter.mcp());
    Presolve_OptionTable[PRESOLVE].bool_value = 1;
    const Clock::time_point start = Clock::now();
    MCP_Presolve(adapter.mcp());
    presolve = Seconds(start);
    records = RecordStack_Count(MCP_PresolveStack(adapter.mcp())) - 1;
  }
  ProblemAdapter adapter(AsNonlinear(p));
  adapter.AllowPresolve(true);
  Information info{};
  info.output_mask = OUTPUT_LOG;
  const Clock::time_point start = Clock::now();
  const int code = Sarn_Solve(adapter.mcp(), &info);
  const double solve = Seconds(start);
  std::printf("%-14s n %7d  entries %8d  records %5d  presolve %8.4f s  solve %8.3f s  "
              "share %5.2f%%  code %d  violation %.1e\n",
              name, p.n, p.M.nnz(), records, presolve, solve, 100.0 * presolve / solve, code,
              ComplementarityViolation(p, adapter.Point()));
}

}  // namespace

int main(int argc, char** argv) {
  const int m = argc > 1 ? std::atoi(argv[1]) : 200;
  const int n = argc > 2 ? std::atoi(argv[2]) : 100000;
  const int planted = argc > 3 ? std::atoi(argv[3]) : 3000;
  Error_SetInterface(Error_ThrowingInterface());
  Output_SetLogFile(nullptr);
  Output_SetStatusFile(nullptr);
  Output_SetListingFile(nullptr);
  Options* options = Sarn_CreateOptions();
  Sarn_AddOptions(options);
  Options_Default(options);
  Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = 0;
  if (m > 0) {
    TimeRowPass("obstacle m/2", Obstacle(m / 2));
    TimeRowPass("obstacle m", Obstacle(m));
  }
  if (n > 0) {
    TimeRowPass("blocks n/4", BlockModel(n / 4, 1));
    TimeRowPass("blocks n/2", BlockModel(n / 2, 1));
    TimeRowPass("blocks n", BlockModel(n, 1));
  }
  if (planted > 0) PresolveShare("planted n", PlantedMonotone(planted, 1));
  if (m > 0) PresolveShare("obstacle m", Obstacle(m));
  Options_Destroy(options);
  return 0;
}
