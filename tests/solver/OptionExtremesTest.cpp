// Options at the extremes of their type. Every integer option of the
// registry at 0, -1 and the smallest and largest 32-bit value, and every
// double option at 0, -1, the infinities and the largest and a tiny
// magnitude, set as an option line sets it, through small solves: each solve
// must end cleanly (a termination code, or a solver error with a message),
// leave no solver record behind, never report a wrong point as solved and
// never call a problem with a solution infeasible; under the sanitizers this
// also shows that no arithmetic on an option value overflows. The options that size the driver's rings ask for no more
// memory than the iterations can use.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <string>
#include <vector>

#include "problems/MCP.hpp"
#include "solver/LemkeOptions.hpp"
#include "solver/SarnOptions.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

// Blocks above this size fail in these tests: no small solve needs one,
// and a regression then fails the test instead of exhausting the machine.
constexpr std::size_t kLargestSolveBlock = std::size_t{64} << 20;

// One option of the registry: its group, index and name.
struct TableOption {
  int group;
  int index;
  std::string name;
};

// The options of one type in every table the options object knows: the
// common table, then each group in order of addition.
std::vector<TableOption> OptionsOfType(Options* options, int type) {
  std::vector<TableOption> found;
  for (int k = 0; k < COMMON_OPTION_COUNT; ++k) {
    const Option& o = Options_CommonTable[k];
    if (o.type == type) found.push_back({OPTIONS_COMMON_GROUP, k, o.name});
  }
  for (int g = 1; g <= options->group_count; ++g) {
    const OptionGroup* group = options->groups[g - 1];
    for (int k = 0; k < group->option_count; ++k) {
      const Option& o = group->options[k];
      if (o.type == type) found.push_back({g, k, o.name});
    }
  }
  return found;
}

// A problem of the sweep and whether its record may presolve.
struct SweepProblem {
  NonlinearProblem problem;
  bool presolve;
};

// Small problems that between them run the crash phase, many stabilised
// Newton steps, restarts, domain errors, degenerate pivoting and the
// presolve.
std::vector<SweepProblem> SweepProblems() {
  return {{Cubic(100.0), false},
          {KojimaShindo(0.0), false},
          {DomainErrors(), false},
          {BroydenTridiagonal(10), false},
          {AsNonlinear(DegenerateCyclic()), false},
          {AsNonlinear(ConvexQP()), true}};
}

// What a solve reports, for comparing two solves.
struct Outcome {
  int code = -1;
  int major_iterations = -1;
  double residual = -1.0;
  std::string error;
};

class OptionExtremesTest : public DriverTest {
 protected:
  // Solves sweep.problem with the options as they stand; fails the test on
  // a wrong point reported as solved (beyond what the convergence tolerance
  // in force allows), on a problem with a solution called infeasible, or on
  // a record left behind.
  Outcome SolveOnce(const SweepProblem& sweep) {
    ProblemAdapter adapter(sweep.problem);
    MCP_SetPresolve(adapter.mcp(), sweep.presolve ? 1 : 0);
    Information info{};
    Outcome outcome;
    try {
      outcome.code = Solve(adapter, &info);
      outcome.major_iterations = info.major_iterations;
      outcome.residual = info.residual;
      if (outcome.code == TERMINATION_SOLVED) {
        const double asked = 10.0 * Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE);
        EXPECT_LE(ComplementarityViolation(sweep.problem, adapter.Point()),
                  std::max(1e-5, asked))
            << "reported solved at a point that is not a solution";
      }
      EXPECT_NE(outcome.code, TERMINATION_INFEASIBLE) << "a problem with a solution";
      EXPECT_NE(outcome.code, TERMINATION_INFEASIBLE_BOUNDS) << "a problem with a solution";
    } catch (const SolverErrorException& e) {
      outcome.error = e.what();
      EXPECT_FALSE(outcome.error.empty());
    }
    EXPECT_EQ(Sarn_GetWorkspace(), nullptr);
    EXPECT_EQ(Lemke_GetWorkspace(), nullptr);
    EXPECT_EQ(NMS_GetState(), nullptr);
    return outcome;
  }

  // Solves each problem with the options as they stand, under a memory
  // bound no small solve reaches; false once a solve failed the test.
  bool SolveEach(const std::vector<SweepProblem>& problems) {
    CountingAllocator memory;
    memory.refuse_above = kLargestSolveBlock;
    for (const SweepProblem& p : problems) {
      SCOPED_TRACE(p.problem.name);
      const Outcome outcome = SolveOnce(p);
      EXPECT_EQ(outcome.error.find("allocation failed"), std::string::npos) << outcome.error;
      if (HasFailure()) return false;
    }
    return true;
  }

  void SetInt(const TableOption& option, long long value) {
    const std::string text = std::to_string(value);
    ASSERT_EQ(Options_SetIntValue(options(), option.group, text.c_str(), option.index),
              OPTIONS_STORED);
  }
};

// Each pivot rule of the pivoting method reads options of its own, so the
// sweep runs under every rule.
TEST_F(OptionExtremesTest, EveryIntegerOptionAtItsExtremesEndsEverySolveCleanly) {
  const std::vector<TableOption> integers = OptionsOfType(options(), OPTION_INTEGER);
  ASSERT_GT(integers.size(), 30u);
  const long long extremes[] = {0, -1, INT_MIN, INT_MAX};
  const std::vector<SweepProblem> problems = SweepProblems();
  for (int rule = 0; rule < PIVOT_TYPE_COUNT; ++rule) {
    for (const TableOption& option : integers) {
      for (long long value : extremes) {
        SCOPED_TRACE(std::string(Lemke_PivotTypeKeywords[rule]) + " rule, " + option.name + " " +
                     std::to_string(value));
        Options_Default(options());
        ASSERT_EQ(Options_SetOther(options(), "lemke_pivot_type", rule), OPTIONS_STORED);
        SetInt(option, value);
        if (!SolveEach(problems)) return;
      }
    }
  }
  Options_Default(options());
}

// A double the option lines refuse (an infinity of zero or less) is
// skipped: it never reaches a solve. The sweep runs under the default pivot
// rule; the integer sweep covers the rules.
TEST_F(OptionExtremesTest, EveryDoubleOptionAtItsExtremesEndsEverySolveCleanly) {
  const std::vector<TableOption> doubles = OptionsOfType(options(), OPTION_DOUBLE);
  ASSERT_GT(doubles.size(), 60u);
  const char* const extremes[] = {"0", "-1", "inf", "-inf", "1e300", "1e-300"};
  const std::vector<SweepProblem> problems = SweepProblems();
  for (const TableOption& option : doubles) {
    for (const char* value : extremes) {
      SCOPED_TRACE(option.name + " " + value);
      Options_Default(options());
      if (Options_SetDoubleValue(options(), option.group, value, option.index) != OPTIONS_STORED) {
        continue;
      }
      if (!SolveEach(problems)) return;
    }
  }
  Options_Default(options());
}

// residual_size and nms_memory_size far beyond what the iterations can fill
// allocate rings no longer than the iterations can fill, and the solve runs
// exactly as with a size just beyond that.
TEST_F(OptionExtremesTest, RingSizesAskForNoMoreThanTheIterationsCanUse) {
  const int sized[] = {SARN_RESIDUAL_SIZE, SARN_NMS_MEMORY_SIZE};
  const SweepProblem cubic{Cubic(100.0), false};
  const int group = 3;  // the algorithm group, added third (Sarn_AddOptions)
  ASSERT_EQ(options()->groups[group - 1], &Sarn_OptionGroup);
  for (int index : sized) {
    const TableOption option{group, index, Sarn_OptionTable[index].name};
    SCOPED_TRACE(option.name);
    Options_Default(options());
    SetInt(option, 600);  // beyond the 500 major iterations the defaults allow
    const Outcome beyond = SolveOnce(cubic);
    ASSERT_EQ(beyond.code, TERMINATION_SOLVED);
    ASSERT_GT(beyond.major_iterations, 10);

    SetInt(option, INT_MAX);
    CountingAllocator memory;
    memory.refuse_above = kLargestSolveBlock;
    const Outcome extreme = SolveOnce(cubic);
    EXPECT_EQ(extreme.error, "");
    EXPECT_EQ(extreme.code, beyond.code);
    EXPECT_EQ(extreme.major_iterations, beyond.major_iterations);
    EXPECT_EQ(extreme.residual, beyond.residual);
    // 502 doubles and a little for the record around them.
    EXPECT_LE(memory.largest, std::size_t{8192});
  }
  Options_Default(options());
}

}  // namespace
