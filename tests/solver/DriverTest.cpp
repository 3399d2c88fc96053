// The driver: termination tests and their order, the interrupt, restarts,
// the warm-start retry, the major iteration log, the banner, the statistics
// and the release of every record on every way out.
#include <csignal>
#include <memory>
#include <regex>

#include "core/Output.hpp"
#include "factorization/Basis.hpp"
#include "solver/Report.hpp"
#include "solver/SarnOptions.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

// The lines of text that match pattern.
std::vector<std::string> Lines(const std::string& text, const std::regex& pattern) {
  std::vector<std::string> out;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (std::regex_search(line, pattern)) out.push_back(line);
    begin = end + 1;
  }
  return out;
}

// Major log lines: five numbers, then the two letters.
const std::regex kLogLine(R"(^ +\d+ +\d+ +\d+ +\d+ \d\.\d{4}e[-+]\d\d [ -]\d\.\de[-+]\d\d ..)");

}  // namespace

// ---------------------------------------------------------------------------
// Termination tests, in their order.

struct LimitCase {
  const char* name;
  std::vector<const char*> lines;
  std::vector<double> start;
  int code;
  const char* exit_text;
};

TEST_F(DriverTest, TopOfIterationTestsEndInTheirOrder) {
  const LimitCase cases[] = {
      // A solved start beats every limit.
      {"solved start",
       {"major_iteration_limit 0", "cumulative_iteration_limit 0", "time_limit 0"},
       {1.0, 2.0},
       TERMINATION_SOLVED,
       "solution found"},
      {"cumulative before major",
       {"major_iteration_limit 0", "cumulative_iteration_limit 0"},
       {0.0, 0.0},
       TERMINATION_CUMULATIVE_ITERATION_LIMIT,
       "cumulative iteration limit"},
      {"major before time",
       {"major_iteration_limit 0", "time_limit 0"},
       {0.0, 0.0},
       TERMINATION_MAJOR_ITERATION_LIMIT,
       "major iteration limit"},
      {"time", {"time_limit 0"}, {0.0, 0.0}, TERMINATION_TIME_LIMIT, "time limit"},
  };
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    Options_Default(options());
    Set("nms no");
    NoCrash();
    for (const char* line : c.lines) Set(line);
    output()->Clear();
    ProblemAdapter adapter(LinearSystem(c.start));
    Information info;
    EXPECT_EQ(Solve(adapter, &info), c.code);
    EXPECT_EQ(info.major_iterations, 0);
    EXPECT_EQ(info.minor_iterations, 0);
    // The initial log line and nothing after it; then the exit message.
    const auto log = Lines(output()->status(), kLogLine);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("  I "), std::string::npos) << log[0];
    EXPECT_NE(output()->log().find(std::string("\n ** EXIT - ") + c.exit_text + ".\n"),
              std::string::npos);
    EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), adapter.Point()));
  }
}

TEST_F(DriverTest, SolvedStartReportsZeroIterations) {
  ProblemAdapter adapter(LinearSystem({1.0, 2.0}));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  EXPECT_EQ(info.major_iterations, 0);
  EXPECT_EQ(info.residual, 0.0);
  EXPECT_EQ(adapter.Point(), (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(adapter.finish_calls, 1);
}

// ---------------------------------------------------------------------------
// Interrupt

TEST_F(DriverTest, InterruptDuringIterationsEndsWithCodeSixAtARecomputedPoint) {
  for (int best : {1, 0}) {
    SCOPED_TRACE(best ? "best point" : "last point");
    Options_Default(options());
    Set("nms no");
    NoCrash();
    Set(best ? "return_best_point yes" : "return_best_point no");
    ProblemAdapter adapter(Cubic(1.0));
    // F is evaluated once for the initial point and once per iteration: the
    // interrupt arrives inside iteration 2 and the check at the top of
    // iteration 3 ends the solve.
    adapter.before_evaluation = [](int function_calls, int) {
      if (function_calls == 3) std::raise(SIGINT);
    };
    Information info;
    EXPECT_EQ(Solve(adapter, &info), TERMINATION_USER_INTERRUPT);
    EXPECT_EQ(info.major_iterations, 2);
    EXPECT_NE(output()->status().find("\n ** EXIT - user interrupt.\n"), std::string::npos);
    const std::vector<double> z = adapter.Point();
    EXPECT_NEAR(z[0], 4.0 / 9.0, 1e-15);  // two Newton steps from 1
    EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), z));
  }
}

TEST_F(DriverTest, InterruptDuringTheInitialPointStillEndsWithCodeSix) {
  Set("nms no");
  NoCrash();
  ProblemAdapter adapter(Cubic(1.0));
  adapter.before_evaluation = [](int function_calls, int) {
    if (function_calls == 1) std::raise(SIGINT);
  };
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_USER_INTERRUPT);
  EXPECT_EQ(info.major_iterations, 0);
  EXPECT_DOUBLE_EQ(info.residual, 1.0);
}

// ---------------------------------------------------------------------------
// Errors on the way leave nothing behind (checked by the fixture).

TEST_F(DriverTest, SolverErrorInsideTheSolveReleasesTheWorkspace) {
  // Defined for the start's own evaluation only.
  NonlinearProblem p = Cubic(1.0);
  auto calls = std::make_shared<int>(0);
  p.evaluate = [calls](const double* x, double* f, std::vector<Triplet>* jac) {
    if (++*calls > 1) return false;
    f[0] = x[0];
    if (jac) *jac = {{0, 0, 1.0}};
    return true;
  };
  ProblemAdapter adapter(p);
  Information info;
  EXPECT_SOLVER_ERROR(Solve(adapter, &info),
                      "Sarn: GenerateInitialPoint: cannot find initial point.");
  EXPECT_NE(output()->status().find("cannot evaluate f at given initial point"), std::string::npos);
  EXPECT_NE(output()->status().find("cannot eval f at generated initial point"), std::string::npos);
}

TEST_F(DriverTest, UndefinedStartEndsInTheStartWithDomainViolation) {
  NonlinearProblem p = Cubic(1.0);
  p.evaluate = [](const double*, double*, std::vector<Triplet>*) { return false; };
  ProblemAdapter adapter(p);
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_DOMAIN_VIOLATION);
  EXPECT_EQ(info.major_iterations, 0);
  EXPECT_EQ(info.function_evaluations, 0);
  EXPECT_EQ(info.residual, Options_CommonDouble(COMMON_INFINITY));
  EXPECT_NE(output()->status().find("\n ** EXIT - domain violation.\n"), std::string::npos);
  EXPECT_EQ(info.streams_written, 3);
  EXPECT_EQ(adapter.finish_calls, 1);
}

TEST_F(DriverTest, StartVectorIsClearedAtTheEndOfEverySolve) {
  const double start[2] = {1.0, 1.0};
  Lemke_SetStartVector(start, 2);
  ProblemAdapter adapter(LinearSystem({1.0, 2.0}));  // solved before any pivot
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  EXPECT_EQ(Lemke_GetStartVector().values, nullptr);
}

// ---------------------------------------------------------------------------
// Restarts

TEST_F(DriverTest, SlowProgressRestartsAndRestartLimitZeroEndsWithCodeTwo) {
  Set("nms no");
  NoCrash();
  Set("residual_size 2");
  Set("residual_factor 0.01");
  Set("restart_limit 0");
  ProblemAdapter adapter(Cubic(1.0));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_NO_PROGRESS);
  const std::string& status = output()->status();
  EXPECT_EQ(Count(status, "Not enough progress. Restarting.\n"), 1);
  EXPECT_EQ(Count(status, "Too many restarts.\n"), 1);
  EXPECT_EQ(Count(status, "Restart Log"), 0);
  EXPECT_EQ(info.restarts, 0);
  // The residual of iteration 2 is measured against the initial one, two
  // entries back: (4/9)^3 is not below 0.01, so iteration 2 ends in the
  // restart request and only iteration 1 counts.
  EXPECT_EQ(info.major_iterations, 1);
  EXPECT_NE(status.find("\n ** EXIT - no further progress.\n"), std::string::npos);
  EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), adapter.Point()));
}

// The restart log of each strategy: the option changes with their own
// names and values, in order.
TEST_F(DriverTest, RestartsWriteTheirOptionLinesAndStopAfterThree) {
  struct Case {
    int limit;
    int restarts;
    bool warned;
  } cases[] = {{10, 3, false}, {2, 2, true}, {1, 1, true}};
  // The option lines of each strategy (warnings may come between them).
  const std::vector<std::string> blocks[] = {
      {"proximal_perturbation 0", "crash_method none", "crash_perturb yes",
       "nms_initial_reference_factor 2", "lemke_start_type slack",
       "proximal_perturbation 1.0000e-02"},
      {"proximal_perturbation 0", "crash_method none", "crash_perturb no",
       "nms_initial_reference_factor 10", "nms_memory_size 2", "nms_mstep_frequency 1",
       "lemke_start_type slack"},
      {"proximal_perturbation 0", "crash_method pnewton", "crash_perturb no",
       "crash_nbchange_limit 10", "nms_initial_reference_factor 2", "crash_searchtype parc",
       "nms_searchtype parc", "gradient_searchtype parc", "lemke_start_type slack"},
  };
  const std::regex option_line("^[a-z_]+ [-+.e0-9a-z]+$");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    Options_Default(options());
    Set("nms no");
    Set("crash_iteration_limit 0");  // the crash itself would change the counts
    Set("residual_size 2");
    Set("residual_factor 0.01");
    Set(("restart_limit " + std::to_string(c.limit)).c_str());
    output()->Clear();
    ProblemAdapter adapter(Cubic(1.0));  // residual 1 at the start
    Information info;
    EXPECT_EQ(Solve(adapter, &info), TERMINATION_NO_PROGRESS);
    EXPECT_EQ(info.restarts, c.restarts);
    const std::string& status = output()->status();
    EXPECT_EQ(Count(status, "Not enough progress. Restarting.\n"), c.restarts + 1);
    EXPECT_EQ(Count(status, "Too many restarts.\n"), c.warned ? 1 : 0);
    EXPECT_EQ(Count(status, "\nRestart Log\n"), c.restarts);
    size_t at = 0;
    for (int r = 0; r < c.restarts; ++r) {
      at = status.find("\nRestart Log\n", at);
      ASSERT_NE(at, std::string::npos);
      at += 13;
      // Up to the restart line of the major log, back at the start point
      // with its residual 1.
      std::vector<std::string> options_set;
      std::string line;
      for (;;) {
        const size_t end = status.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        line = status.substr(at, end - at);
        at = end + 1;
        if (std::regex_search(line, kLogLine)) break;
        if (std::regex_search(line, option_line)) options_set.push_back(line);
      }
      EXPECT_EQ(options_set, blocks[r]) << "restart " << r;
      EXPECT_NE(line.find(" 1.0000e+00  0.0e+00  R "), std::string::npos) << line;
    }
    // The restart log also reaches the log stream (output_restart_log).
    EXPECT_EQ(Count(output()->log(), "\nRestart Log\n"), c.restarts);
    EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), adapter.Point()));
  }
  // The settings of the last strategy stay in force.
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_SEARCHTYPE), SEARCH_TYPE_LINE);
}

TEST_F(DriverTest, RestartLogStaysOffTheLogStreamWhenAsked) {
  Set("nms no");
  Set("crash_iteration_limit 0");
  Set("residual_size 2");
  Set("residual_factor 0.01");
  Set("restart_limit 1");
  Set("output_restart_log no");
  ProblemAdapter adapter(Cubic(1.0));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_NO_PROGRESS);
  EXPECT_EQ(Count(output()->status(), "\nRestart Log\n"), 1);
  EXPECT_EQ(Count(output()->log(), "\nRestart Log\n"), 0);
  EXPECT_EQ(Count(output()->log(), "crash_method none\n"), 0);
}

TEST_F(DriverTest, ClampedOptionsNeverDivideByZero) {
  const char* lines[] = {"residual_size 0", "residual_size -3",
                         "output_major_iterations_frequency 0",
                         "output_major_iterations_frequency -1", "nms_memory_size 0"};
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    Options_Default(options());
    Set("nms no");
    Set(line);
    ProblemAdapter adapter(LinearSystem({0.0, 0.0}));
    Information info;
    EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
    EXPECT_LE(ComplementarityViolation(adapter.problem(), adapter.Point()), 1e-6);
  }
}

// ---------------------------------------------------------------------------
// The major iteration log

TEST_F(DriverTest, WithoutStabilisationTheLogShowsFullNewtonSteps) {
  Set("nms no");
  NoCrash();
  ProblemAdapter adapter(Cubic(1.0));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  const auto log = Lines(output()->status(), kLogLine);
  ASSERT_EQ(static_cast<int>(log.size()), info.major_iterations + 1);
  for (size_t k = 1; k < log.size(); ++k) {
    // Lemke solved ('S'), full step 'U' of length 1.0.
    EXPECT_NE(log[k].find("  1.0e+00 SU "), std::string::npos) << log[k];
  }
  // The log also goes to the log stream with output_major_iterations.
  EXPECT_EQ(Lines(output()->log(), kLogLine).size(), log.size());
  // The initial line: iteration 0, one function and one Jacobian evaluation.
  EXPECT_EQ(log[0].substr(0, 24), "    0     0     1     1 ");
  EXPECT_NE(log[0].find("(f[    1])"), std::string::npos) << log[0];
}

TEST_F(DriverTest, LogFrequencyAndSwitch) {
  Set("nms no");
  NoCrash();
  Set("output_major_iterations_frequency 3");
  Set("output_major_iterations no");
  ProblemAdapter adapter(Cubic(1.0));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  const auto log = Lines(output()->status(), kLogLine);
  EXPECT_EQ(static_cast<int>(log.size()), 1 + info.major_iterations / 3);
  for (size_t k = 1; k < log.size(); ++k) {
    EXPECT_EQ(std::stoi(log[k].substr(0, 5)) % 3, 0) << log[k];
  }
  EXPECT_TRUE(Lines(output()->log(), kLogLine).empty());
}

TEST(ReportLetters, StepLettersAreDistinct) {
  const std::string letters = {Report_StepLetter(NMS_DSTEP_NONMONOTONE, 0),
                               Report_StepLetter(NMS_DSTEP_NONMONOTONE, 1),
                               Report_StepLetter(NMS_DSTEP_ACCEPTED, 0),
                               Report_StepLetter(NMS_MSTEP_ACCEPTED, 0),
                               Report_StepLetter(NMS_SEARCH_ACCEPTED, 0),
                               Report_StepLetter(NMS_WATCHDOG_ACCEPTED, 0),
                               Report_StepLetter(NMS_GRADIENT_STEP, 0),
                               Report_StepLetter(NMS_FAILED, 0),
                               REPORT_STEP_INITIAL,
                               REPORT_STEP_RESTART,
                               REPORT_STEP_NEWTON};
  for (size_t i = 0; i < letters.size(); ++i)
    for (size_t j = i + 1; j < letters.size(); ++j) EXPECT_NE(letters[i], letters[j]);
  // A code the stabilisation does not return reads as a failure.
  EXPECT_EQ(Report_StepLetter(NMS_GRADIENT_STEP + 1, 0), Report_StepLetter(NMS_FAILED, 0));
}

// ---------------------------------------------------------------------------
// Banner, statistics, exit texts, problem class

namespace {
int TwoLineBanner(std::int32_t line, char* buffer, std::int32_t size) {
  const char* text = line == 2 ? "Back-end A" : line == 5 ? "Back-end B" : "";
  std::snprintf(buffer, static_cast<size_t>(size), "%s", text);
  return 0;
}
}  // namespace

TEST_F(DriverTest, BannerPrintsTheVersionAndTheBackEndLines) {
  const Basis_Interface* before = Basis_GetInterface();
  Basis_Interface silent{};
  Basis_SetInterface(&silent);
  output()->Clear();
  Sarn_Banner();
  const std::string line = "Sarn 4.7.03 (Wed Nov 21 16:05:37 2012)\n";
  EXPECT_EQ(output()->log(), line);
  EXPECT_EQ(output()->status(), line);
  EXPECT_EQ(output()->listing(), line);

  Basis_Interface talking{};
  talking.banner = TwoLineBanner;
  Basis_SetInterface(&talking);
  output()->Clear();
  Sarn_Banner();
  EXPECT_EQ(output()->log(), line + "\nBack-end A\nBack-end B\n");
  Basis_SetInterface(before);
  EXPECT_STREQ(Sarn_Version(), "Sarn 4.7.03");
}

TEST_F(DriverTest, StatisticsTextIsExact) {
  Information info{};
  info.major_iterations = 12;
  info.minor_iterations = 345;
  info.restarts = 1;
  info.crash_iterations = 3;
  info.gradient_steps = 2;
  info.function_evaluations = 20;
  info.jacobian_evaluations = 14;
  info.basis_time = 0.25;
  info.total_time = 1.5;
  info.residual = 1.25e-9;
  output()->Clear();
  Sarn_Statistics(2, &info);
  EXPECT_EQ(output()->status(),
            "\nMajor Iterations. . . . 12\n"
            "Minor Iterations. . . . 345\n"
            "Restarts. . . . . . . . 1\n"
            "Crash Iterations. . . . 3\n"
            "Gradient Steps. . . . . 2\n"
            "Function Evaluations. . 20\n"
            "Gradient Evaluations. . 14\n"
            "Basis Time. . . . . . . 0.250000\n"
            "Total Time. . . . . . . 1.500000\n"
            "Residual. . . . . . . . 1.250000e-09\n");
  EXPECT_EQ(output()->log(), "");
}

TEST_F(DriverTest, FinalSummaryGoesToTheLogOnlyWhenAsked) {
  for (bool on : {true, false}) {
    Options_Default(options());
    Set(on ? "output_final_summary yes" : "output_final_summary no");
    output()->Clear();
    ProblemAdapter adapter(LinearSystem({1.0, 2.0}));
    Information info;
    Solve(adapter, &info);
    EXPECT_EQ(Count(output()->status(), "\nMajor Iterations. . . . "), 1);
    EXPECT_EQ(Count(output()->log(), "\nMajor Iterations. . . . "), on ? 1 : 0);
  }
}

TEST(ReportExit, EveryCodeHasItsText) {
  const std::pair<int, const char*> cases[] = {
      {1, "solution found"},     {2, "no further progress"},
      {3, "major iteration limit"}, {4, "cumulative iteration limit"},
      {5, "time limit"},         {6, "user interrupt"},
      {7, "infeasible"},         {8, "domain violation"},
      {9, "infeasible"},         {10, "other error"},
      {0, "other error"},        {11, "other error"},
      {-1, "other error"},       {13, "other error"}};
  for (const auto& c : cases) EXPECT_STREQ(Report_ExitText(c.first), c.second) << c.first;
}

TEST_F(DriverTest, ExitMessageFollowsTheMask) {
  const std::pair<int, int> cases[] = {{7, 3}, {1, 1}, {2, 2}, {4, 0}, {0, 0}};
  for (const auto& c : cases) {
    output()->Clear();
    EXPECT_EQ(Report_Exit(3, c.first), c.second);
    const std::string text = "\n ** EXIT - major iteration limit.\n";
    EXPECT_EQ(output()->log(), (c.second & 1) ? text : "");
    EXPECT_EQ(output()->status(), (c.second & 2) ? text : "");
    EXPECT_EQ(output()->listing(), "");
  }
}

TEST_F(DriverTest, ProblemClassSix) {
  ProblemAdapter adapter(Cubic(1.0));
  Sarn_SetProblemClass(nullptr, PROBLEM_CLASS_NO_CRASH);  // ignored
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_METHOD), CRASH_METHOD_PNEWTON);
  for (int c = PROBLEM_CLASS_NONE; c < PROBLEM_CLASS_NO_CRASH; ++c) {
    Sarn_SetProblemClass(adapter.mcp(), c);
    EXPECT_EQ(MCP_ProblemClass(adapter.mcp()), c);
    EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_METHOD), CRASH_METHOD_PNEWTON);
  }
  Set("crash_perturb no");
  Sarn_SetProblemClass(adapter.mcp(), PROBLEM_CLASS_NO_CRASH);
  EXPECT_EQ(MCP_ProblemClass(adapter.mcp()), PROBLEM_CLASS_NO_CRASH);
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_METHOD), CRASH_METHOD_NONE);
  EXPECT_TRUE(Sarn_OptionBool(SARN_CRASH_PERTURB));
  for (int bad : {int{PROBLEM_CLASS_COUNT}, PROBLEM_CLASS_NONE - 1}) {
    EXPECT_SOLVER_ERROR(Sarn_SetProblemClass(adapter.mcp(), bad), "Invalid problem class");
    EXPECT_EQ(MCP_ProblemClass(adapter.mcp()), PROBLEM_CLASS_NO_CRASH);
  }
}

// ---------------------------------------------------------------------------
// The warm-start retry

TEST_F(DriverTest, FailedWarmStartInTheFirstIterationIsRetriedWithoutTheGivenBasis) {
  Set("nms no");
  NoCrash();
  // The first call factors the given basis and starts from the residual,
  // where the minor limit 0 stops it at its second pivot. The one retry
  // starts from the slack basis ("Lemke Start."), a ray start that the minor
  // limit does not bound, and solves the subproblem.
  Set("minor_iteration_limit 0");
  ProblemAdapter adapter(AsNonlinear(ConvexQP()));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  const std::string& status = output()->status();
  EXPECT_EQ(Count(status, "Minor iteration limit (0) exceeded.\n"), 1);
  EXPECT_EQ(Count(status, "Lemke Start.\n"), 1);
  EXPECT_LT(status.find("Minor iteration limit"), status.find("Lemke Start."));
  const auto log = Lines(status, kLogLine);
  ASSERT_EQ(log.size(), 2u);
  // Solved by the retry, full step, no proximal term: the retry was not the
  // proximal one. The pivots of both calls are counted.
  EXPECT_NE(log[1].find(" SU 0.0e+00 "), std::string::npos) << log[1];
  EXPECT_EQ(std::stoi(log[1].substr(6, 5)), info.minor_iterations);
  EXPECT_GE(info.minor_iterations, 2);
  EXPECT_LE(ComplementarityViolation(adapter.problem(), adapter.Point()), 1e-6);
}

// An interrupt found inside the pivoting method (its factorizations poll)
// leaves through Lemke_Method, which gives back its workspace reference and
// its timer on the way (the fixture checks that nothing is left).
namespace {
struct ArmedInterrupt {
  static bool armed;
  static int calls;
  static void Start(void*) {}
  static void Restore(void*) {}
  static int Check(void*) {
    if (!armed) return 0;
    ++calls;
    return calls >= 2 ? 1 : 0;  // the first poll after arming is the loop's own
  }
};
bool ArmedInterrupt::armed = false;
int ArmedInterrupt::calls = 0;
}  // namespace

TEST_F(DriverTest, InterruptInsideThePivotingMethodReleasesItsWorkspace) {
  Set("nms no");
  NoCrash();
  Interrupt_Interface record{nullptr, ArmedInterrupt::Start, ArmedInterrupt::Restore,
                             ArmedInterrupt::Check};
  Interrupt_SetInterface(&record);
  ArmedInterrupt::armed = false;
  ArmedInterrupt::calls = 0;
  ProblemAdapter adapter(Josephy());
  // Armed by the Jacobian evaluation that ends iteration 1.
  adapter.before_evaluation = [](int, int jacobian_calls) {
    if (jacobian_calls == 3) ArmedInterrupt::armed = true;
  };
  Information info;
  const int code = Solve(adapter, &info);
  Interrupt_Reset();
  EXPECT_EQ(code, 6);
  EXPECT_EQ(info.major_iterations, 1);
  EXPECT_EQ(ArmedInterrupt::calls, 2);  // the jump came from the second poll
  EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), adapter.Point()));
}
