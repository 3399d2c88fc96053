// Whole solves of large sparse LCPs against one sparse LU factorization of
// their matrix M by UMFPACK, and the iteration counts of the classic
// problems.
//
// Each large problem is solved as lcpgate solves it: an MCP record over
// F(z) = M z + q with room for M's entries, start z = 0, presolve on with
// every Jacobian entry constant, default options, every output stream on
// (the streams themselves closed). In the same run UMFPACK factors M
// (symbolic + numeric, best of three). Per problem: n, entries, solve
// seconds (wall clock and processor), UMFPACK seconds, units = solve /
// UMFPACK, crash steps, pivots of the pivoting method, major iterations,
// restarts, basis factorizations and column updates (counted at the basis
// interface: factor calls and replacements the back-end rebuilt count as
// factorizations, replacements it updated as updates), seconds inside the basis, the solver's residual,
// the largest violation of the solution check recomputed from the problem,
// and the termination code (1 solved).
//
// --classic prints the same counts for every classic problem with a known
// answer: nonlinear ones as mcpgate solves them (no presolve), linear ones
// as above and once more without the presolve; "ok" says whether the status
// is the expected one and the point passes the solution check (1e-6) and,
// where the answer is unique, lies within 1e-5 of it.
//
// --lu compares the LU engine's first factorization of the crash's first
// basis of the obstacle problem (m = 200, or the grid --lu-grid M names)
// with UMFPACK's on the same matrix.
//
// Usage: bench_LargeLCP [p2000 p5000 p10000 p20000 o50 o100 o200 ...] [--classic] [--lu]
//                       [--lu-grid M] [--seed S] [--option "name value" ...]
//   pN: the planted monotone box LCP of size N (seed S, default 11);
//   oM: the obstacle problem on an M x M grid (n = M^2).
// Any size is accepted. Without a selection it runs every problem listed
// above, then --lu; a selection runs only what it names. Each --option
// line is applied after the defaults of every solve (as an option file
// would be).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchCommon.hpp"
#include "LUReference.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "factorization/Basis.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"

namespace {

// ---------------------------------------------------------------------------
// Basis work of a solve, counted between the solver and the back-end.

struct BasisCounts {
  int factorizations = 0;  // factor calls and replacements the back-end rebuilt
  int updates = 0;         // replacements done by updating the factors
};

BasisCounts counts;
Basis_Interface counting_table;
const Basis_Interface* counted_table = nullptr;  // the back-end behind counting_table

int CountedFactor(void* handle, SparseMatrix* A, IDenseVector* cols) {
  ++counts.factorizations;
  return counted_table->factor(handle, A, cols);
}

int CountedReplace(void* handle, SparseMatrix* A, IDenseVector* cols, std::int32_t k) {
  const int status = counted_table->replace(handle, A, cols, k);
  if (status == BASIS_UPDATED) {
    ++counts.updates;
  } else {
    ++counts.factorizations;
  }
  return status;
}

// Puts the counting table in front of the current back-end (the one the
// options selected) and zeroes the counts. Bases created from now on count.
void CountBasisWork() {
  const Basis_Interface* current = Basis_GetInterface();
  if (current != &counting_table) {
    counted_table = current;
    counting_table = *current;
    if (current->factor != nullptr) counting_table.factor = CountedFactor;
    if (current->replace != nullptr) counting_table.replace = CountedReplace;
    Basis_SetInterface(&counting_table);
  }
  counts = BasisCounts{};
}

// ---------------------------------------------------------------------------
// One solve.

struct Settings {
  std::vector<std::string> options;  // option lines applied after the defaults
  std::uint32_t seed = 11;
};

struct Solve {
  int code = 0;
  double seconds = 0;    // wall clock
  double processor = 0;  // processor seconds
  Information info{};
  BasisCounts basis;
  std::vector<double> z;
};

// Sarn_Solve on the adapter's record with the default options and the
// settings' lines, every output stream allowed, timed.
Solve RunSolve(ProblemAdapter& adapter, Options* options, const Settings& settings) {
  Options_Default(options);
  for (const std::string& line : settings.options) {
    if (Options_Set(options, line.c_str()) == OPTIONS_LINE_FAILED) {
      throw std::runtime_error("option refused: " + line);
    }
  }
  CountBasisWork();
  Solve s;
  s.info.output_mask = OUTPUT_ALL;
  s.info.factor_given_basis = 1;
  s.info.start_from_given_basis = 1;
  const double t0 = Bench_Now(), p0 = Bench_ProcessorNow();
  s.code = Sarn_Solve(adapter.mcp(), &s.info);
  s.seconds = Bench_Now() - t0;
  s.processor = Bench_ProcessorNow() - p0;
  s.basis = counts;
  s.z = adapter.Point();
  return s;
}

// A linear problem as lcpgate hands it over: room for M's entries, start 0,
// presolve on with constant entries (or, presolve false, as mcpgate would
// take the same F).
Solve SolveLinear(const LinearProblem& p, Options* options, const Settings& settings,
                  bool presolve = true) {
  ProblemAdapter adapter(AsNonlinear(p), std::max(p.M.nnz(), 1));
  if (presolve) adapter.AllowPresolve(true);
  return RunSolve(adapter, options, settings);
}

// A nonlinear problem as mcpgate hands it over: no presolve.
Solve SolveNonlinear(const NonlinearProblem& p, Options* options, const Settings& settings) {
  ProblemAdapter adapter(p);
  return RunSolve(adapter, options, settings);
}

// ---------------------------------------------------------------------------
// The large problems.

void PrintLargeHeader() {
  std::printf("%-22s %6s %8s %9s %9s %8s %8s %6s %6s %5s %4s %6s %6s %8s %8s %8s %4s\n",
              "problem", "n", "nnz", "solve s", "cpu s", "umf s", "units", "crash", "pivots",
              "major", "rst", "factor", "update", "basis s", "residual", "viol", "code");
}

void RunLarge(const LinearProblem& p, Options* options, const Settings& settings,
              std::mt19937& rng) {
  const LUReference_Umfpack umf = LUReference_RunUmfpack(p.M, 0, rng);
  const Solve s = SolveLinear(p, options, settings);
  const double units = umf.available ? s.seconds / std::max(umf.Factor(), 1e-9) : NAN;
  std::printf("%-22s %6d %8d %9.3f %9.3f %8.4f %8.1f %6d %6d %5d %4d %6d %6d %8.3f %8.1e %8.1e "
              "%4d\n",
              p.name.c_str(), p.n, p.M.nnz(), s.seconds, s.processor,
              umf.available ? umf.Factor() : NAN,
              units, s.info.crash_iterations, s.info.minor_iterations, s.info.major_iterations,
              s.info.restarts, s.basis.factorizations, s.basis.updates, s.info.basis_time,
              s.info.residual, ComplementarityViolation(p, s.z), s.code);
  std::fflush(stdout);
}

// "p5000" -> planted monotone n = 5000, "o200" -> obstacle m = 200; false
// for anything else.
bool ParseProblem(const std::string& arg, const Settings& settings,
                  std::function<LinearProblem()>* make) {
  if (arg.size() < 2 || (arg[0] != 'p' && arg[0] != 'o')) return false;
  char* end = nullptr;
  const long size = std::strtol(arg.c_str() + 1, &end, 10);
  // At most a million variables (an obstacle grid side of 1000).
  if (*end != '\0' || size < 1 || size > (arg[0] == 'p' ? 1000000 : 1000)) return false;
  const int k = static_cast<int>(size);
  const std::uint32_t seed = settings.seed;
  if (arg[0] == 'p') {
    *make = [k, seed] { return PlantedMonotone(k, seed); };
  } else {
    *make = [k] { return Obstacle(k); };
  }
  return true;
}

// ---------------------------------------------------------------------------
// The classic problems.

struct Classic {
  std::string name;
  bool linear = false;
  bool presolve = true;  // linear problems: through the presolve
  LinearProblem lcp;
  NonlinearProblem mcp;
  std::vector<std::vector<double>> solutions;  // known answers (empty: not unique)
  bool solvable = true;
};

std::vector<Classic> ClassicProblems() {
  std::vector<Classic> list;
  const auto nonlinear = [&list](NonlinearProblem p, const std::string& suffix) {
    Classic c;
    c.name = p.name + suffix;
    c.solutions = p.solutions;
    c.mcp = std::move(p);
    list.push_back(std::move(c));
  };
  // Each linear problem twice: as lcpgate takes it, and without the
  // presolve, which solves some of them alone.
  const auto linear = [&list](const LinearProblem& p) {
    for (bool presolve : {true, false}) {
      Classic c;
      c.name = presolve ? p.name : p.name + " (no presolve)";
      c.linear = true;
      c.presolve = presolve;
      c.solvable = p.solvable;
      if (!p.solution.empty()) c.solutions = {p.solution};
      c.lcp = p;
      list.push_back(std::move(c));
    }
  };
  nonlinear(KojimaShindo(0.0), " (x0 = 0)");
  nonlinear(KojimaShindo(1.0), " (x0 = 1)");
  nonlinear(Josephy(), "");
  nonlinear(NashCournot(), "");
  nonlinear(DomainErrors(), "");
  nonlinear(BroydenTridiagonal(10), "");
  nonlinear(BroydenTridiagonal(1000), "");
  nonlinear(MixedBoxes(), "");
  linear(ConvexQP());
  linear(DegenerateCyclic());
  linear(Exponential(8));
  linear(Exponential(16));
  linear(Obstacle(10));
  linear(Obstacle(100));
  linear(PlantedMonotone(300, 11));
  linear(NoSolution());
  return list;
}

// Largest distance from z to the nearest known solution (0 when none is known).
double Distance(const std::vector<std::vector<double>>& solutions, const std::vector<double>& z) {
  double best = solutions.empty() ? 0.0 : INFINITY;
  for (const std::vector<double>& s : solutions) {
    double worst = 0.0;
    for (size_t i = 0; i < s.size() && i < z.size(); ++i) {
      worst = std::max(worst, std::fabs(s[i] - z[i]));
    }
    best = std::min(best, worst);
  }
  return best;
}

void RunClassic(Options* options, const Settings& settings) {
  std::printf("%-36s %5s %8s %5s %6s %6s %4s %6s %6s %6s %6s %8s %8s %8s %4s %3s\n", "problem",
              "n", "s", "major", "minor", "crash", "rst", "factor", "update", "fevals", "jevals",
              "residual", "viol", "dist", "code", "ok");
  for (const Classic& c : ClassicProblems()) {
    const Solve s = c.linear ? SolveLinear(c.lcp, options, settings, c.presolve)
                             : SolveNonlinear(c.mcp, options, settings);
    const double violation = c.linear ? ComplementarityViolation(c.lcp, s.z)
                                      : ComplementarityViolation(c.mcp, s.z);
    const double distance = Distance(c.solutions, s.z);
    const bool ok = c.solvable ? s.code == TERMINATION_SOLVED && violation <= 1e-6 &&
                                     distance <= 1e-5
                               : s.code != TERMINATION_SOLVED;
    std::printf("%-36s %5d %8.3f %5d %6d %6d %4d %6d %6d %6d %6d %8.1e %8.1e %8.1e %4d %3s\n",
                c.name.c_str(), static_cast<int>(s.z.size()), s.seconds,
                s.info.major_iterations, s.info.minor_iterations, s.info.crash_iterations,
                s.info.restarts, s.basis.factorizations, s.basis.updates,
                s.info.function_evaluations, s.info.jacobian_evaluations, s.info.residual,
                violation, distance, s.code, ok ? "yes" : "NO");
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  bool classic = false, lu = false;
  int lu_grid = 200;
  std::vector<std::string> selected;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--classic") {
      classic = true;
    } else if (arg == "--lu") {
      lu = true;
    } else if (arg == "--lu-grid" && k + 1 < argc) {
      lu = true;
      lu_grid = std::max(1, std::atoi(argv[++k]));
    } else if (arg == "--seed" && k + 1 < argc) {
      settings.seed = static_cast<std::uint32_t>(std::strtoul(argv[++k], nullptr, 10));
    } else if (arg == "--option" && k + 1 < argc) {
      settings.options.push_back(argv[++k]);
    } else {
      selected.push_back(arg);
    }
  }
  if (selected.empty() && !classic && !lu) {
    selected = {"p2000", "p5000", "p10000", "p20000", "o50", "o100", "o200"};
    lu = true;
  }
  std::vector<std::function<LinearProblem()>> problems;
  for (const std::string& arg : selected) {
    std::function<LinearProblem()> make;
    if (!ParseProblem(arg, settings, &make)) {
      std::fprintf(stderr, "unknown argument %s (pN, oM, --classic, --lu, --lu-grid M, --seed S, "
                           "--option \"name value\")\n", arg.c_str());
      return 1;
    }
    problems.push_back(make);
  }
  Bench_QuietLibrary();
  Options* options = Sarn_CreateOptions();
  Sarn_AddOptions(options);
  std::mt19937 rng(2024);
  try {
    if (!problems.empty()) {
      PrintLargeHeader();
      for (const auto& make : problems) RunLarge(make(), options, settings, rng);
    }
    if (classic) {
      if (!problems.empty()) std::printf("\n");
      RunClassic(options, settings);
    }
    if (lu) {
      Options_Default(options);
      LUReference_CompareCrashBasis("first crash basis", Obstacle(lu_grid), rng);
    }
  } catch (const std::exception& e) {
    // A solver error leaves the library's process state behind: stop here.
    std::fprintf(stderr, "bench_LargeLCP: %s\n", e.what());
    return 1;
  }
  Options_Destroy(options);
  return 0;
}
