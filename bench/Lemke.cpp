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
// basis work, and the largest violation of the solution check. The problems
// come from the test fixtures.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchCommon.hpp"
#include "core/Options.hpp"
#include "core/Timer.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/DenseBasis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "fixtures/PlainLCP.hpp"
#include "fixtures/Problems.hpp"
#include "problems/LCP.hpp"
#include "solver/Information.hpp"
#include "solver/Lemke.hpp"
#include "solver/LemkeOptions.hpp"

namespace {

// --- a timer with nanosecond resolution, so that the basis time of each
// replacement and solve is measured, not rounded to milliseconds ---------------

double* Started(void* handle) { return static_cast<double*>(handle); }
void* FineCreate(void*) { return new double(Bench_Now()); }
void FineDestroy(void*, void* handle) { delete Started(handle); }
void FineStart(void*, void* handle) { *Started(handle) = Bench_Now(); }
double FineQuery(void*, void* handle) { return Bench_Now() - *Started(handle); }
Timer_Interface fine_timer{nullptr, FineCreate, FineDestroy, FineStart, FineQuery};

// Variables strictly between their bounds.
int Inside(const PlainLCP& p, const std::vector<double>& z) {
  int count = 0;
  for (int i = 0; i < p.n && i < static_cast<int>(z.size()); ++i) {
    if (z[i] > p.lower[i] && z[i] < p.upper[i]) ++count;
  }
  return count;
}

void Measure(PlainLCP& p, const char* start_name, int factor_given, bool dense, int rule) {
  Options_CommonDefaults();
  Factorization_Defaults();
  Lemke_Defaults();
  Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
  if (dense) Basis_SetInterface(DenseBasis_Interface());
  Options_CommonTable[COMMON_MINOR_ITERATION_LIMIT].int_value = 100000000;
  Lemke_OptionTable[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = 100000000;

  p.result.clear();
  LCP_Interface table = PlainLCPInterface(&p);
  LCP_SetInterface(&table);
  LCP* lcp = LCP_Create(p.n, PlainLCPEntries(p));
  // Hold the scratch pool so that its basis (and its clock) outlives the solve.
  Workspace_Create(p.n, PlainLCPEntries(p));
  Basis* basis = Workspace_Basis();
  const double basis_before = Basis_Seconds(basis);

  Information info{};
  info.output_mask = 0;
  info.factor_given_basis = factor_given;
  info.start_from_given_basis = 0;
  const double begin = Bench_Now();
  const int code = Lemke_Method(lcp, &info);
  const double seconds = Bench_Now() - begin;
  const double basis_seconds = Basis_Seconds(basis) - basis_before;
  const int pivots = info.major_iterations;

  std::printf("%-24s %-9s %-8s %-6s code %d  pivots %7d  inside %7d  %8.3f s  %9.0f pivots/s  "
              "basis %8.3f s  pivot/basis %5.2f  violation %.1e\n",
              p.name.c_str(), start_name, Lemke_PivotTypeKeywords[rule],
              dense ? "dense" : "sparse", code, pivots, Inside(p, p.result), seconds,
              pivots / seconds, basis_seconds, seconds / basis_seconds, Violation(p, p.result));
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
      PlainLCP planted = FromLinear(PlantedMonotone(n, 11));
      Measure(planted, "slack", 0, dense, rule);
      Measure(planted, "residual", 1, dense, rule);
    }
    if (m > 0) {
      PlainLCP obstacle = FromLinear(Obstacle(m));
      Measure(obstacle, "slack", 0, dense, rule);
      Measure(obstacle, "residual", 1, dense, rule);
    }
  }
  return 0;
}
