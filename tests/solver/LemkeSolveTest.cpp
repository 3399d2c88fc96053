// The pivoting method end to end through Lemke_Method: problems with known
// answers and random problems under every pivot rule and every start stage,
// problems without a solution, degenerate problems, limits and codes.
#include <gtest/gtest.h>

#include <climits>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "problems/MCP.hpp"
#include "solver/LemkeTestSupport.hpp"

using namespace lemke_test;

namespace {

const char* const kRuleNames[] = {"textbook", "devex", "expand", "adaptive"};

// How the start is given: the two controls and whether a start point and
// status codes come with the problem.
struct StartCase {
  const char* name;
  int factor_given;
  int start_given;
  bool with_status;
};

const StartCase kStarts[] = {
    {"given", 1, 1, true},       // factor the given basis
    {"advanced", 0, 1, true},    // advanced start from the given basis
    {"constructed", 1, 0, false},  // basis built from the start point
    {"slack", 0, 0, false},      // slack basis, ray start
};

// A start point inside the bounds (some variables at a bound) and status
// codes that mostly agree with it.
void GiveStart(PlainLCP& p, unsigned seed, bool with_status) {
  // The status code the setup reads as "inside, with its artificial basic".
  constexpr int kArtificialStart = 2;
  std::mt19937 gen(seed * 7919u + 17u);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  p.status.clear();
  if (with_status) p.status.assign(p.n, BASIS_NONE);
  for (int i = 0; i < p.n; ++i) {
    const double l = p.lower[i], h = p.upper[i];
    const double lo = l > -INF ? l : -2.0, hi = h < INF ? h : lo + 4.0;
    const double r = u(gen);
    double z;
    int code;
    if (r < 0.3 && l > -INF) {
      z = l;
      code = BASIS_LOWER;
    } else if (r < 0.5 && h < INF) {
      z = h;
      code = BASIS_UPPER;
    } else {
      z = lo + (hi - lo) * (0.2 + 0.6 * u(gen));
      code = u(gen) < 0.2 ? kArtificialStart : BASIS_BASIC;
    }
    if (u(gen) < 0.15) code = BASIS_NONE;
    p.start[i] = z;
    if (with_status) p.status[i] = code;
  }
}

std::vector<PlainLCP> SolvableProblems() {
  std::vector<PlainLCP> list;
  list.push_back(FromLinear(ConvexQP()));
  list.push_back(FromLinear(DegenerateCyclic()));
  list.push_back(FromLinear(Exponential(8)));
  list.push_back(FromLinear(Obstacle(5)));
  for (unsigned seed = 1; seed <= 3; ++seed) {
    list.push_back(RandomPMatrixProblem(12 + 4 * seed, seed, false));
    list.push_back(RandomPMatrixProblem(10 + 4 * seed, 100 + seed, true));
    list.push_back(RandomTriangularProblem(9, 200 + seed));
    list.push_back(FromLinear(PlantedMonotone(30 + 20 * seed, 300 + seed)));
  }
  return list;
}

// A convex program in KKT form: min 1/2 x'Qx + c'x subject to A x >= b,
// x >= 0, with z = (x, multipliers), M = [Q, -A'; A, 0], q = (c, -b).
// bounded: Q positive definite and A x >= b feasible (a solution exists);
// otherwise a linear program with A >= 0 and c_1 < 0, unbounded along x_1
// (no solution).
PlainLCP ConvexProgramProblem(unsigned seed, bool bounded) {
  std::mt19937 gen(seed * 77u + 5u);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const int nx = 5 + static_cast<int>(seed % 7), mc = 2 + static_cast<int>(seed % 4);
  const int n = nx + mc;
  PlainLCP p = MakeProblem((bounded ? "convex program " : "unbounded program ") +
                               std::to_string(seed), n);
  DenseBuilder m(n);
  if (bounded) {
    std::vector<double> G(nx * 3);
    for (double& g : G) g = u(gen);
    for (int i = 0; i < nx; ++i)
      for (int j = 0; j < nx; ++j) {
        double v = i == j ? 0.01 : 0.0;
        for (int k = 0; k < 3; ++k) v += G[i * 3 + k] * G[j * 3 + k];
        m(i + 1, j + 1) = v;
      }
  }
  std::vector<double> x0(nx);
  for (double& v : x0) v = 1.0 + u(gen);
  for (int r = 0; r < mc; ++r) {
    double ax = 0.0;
    for (int j = 0; j < nx; ++j) {
      const double a = bounded ? u(gen) : 0.5 * (u(gen) + 1.0);
      m(nx + r + 1, j + 1) = a;
      m(j + 1, nx + r + 1) = -a;
      ax += a * x0[j];
    }
    p.q[nx + r] = -(ax - 0.5);  // x0 satisfies A x >= b with slack 0.5
  }
  for (int j = 0; j < nx; ++j) p.q[j] = u(gen);
  if (!bounded) p.q[0] = -1.0;
  SetMatrix(p, m);
  p.solvable = bounded;
  return p;
}

double Tolerance(const PlainLCP& p) {
  double scale = 1.0;
  for (double v : p.q) scale = std::max(scale, std::fabs(v));
  return 1e-6 * scale;
}

}  // namespace

// Every rule and every start stage solve every solvable problem; the answer
// meets the bounds and complementarity and, where unique, is the known one.
TEST_F(LemkeTest, SolvesUnderEveryRuleAndStartStage) {
  const std::vector<PlainLCP> problems = SolvableProblems();
  for (int rule = 0; rule < 4; ++rule) {
    for (const StartCase& start : kStarts) {
      for (size_t k = 0; k < problems.size(); ++k) {
        PlainLCP p = problems[k];
        GiveStart(p, static_cast<unsigned>(k + 31 * rule), start.with_status);
        SetDefaults();
        Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
        Options_CommonTable[COMMON_MINOR_ITERATION_LIMIT].int_value = 100000;
        Lemke_OptionTable[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = 100000;
        Information info = MakeInfo(start.factor_given, start.start_given);
        const int code = Solve(p, info);
        SCOPED_TRACE(std::string(kRuleNames[rule]) + " / " + start.name + " / " + p.name);
        ASSERT_EQ(code, LEMKE_SOLVED);
        EXPECT_EQ(p.finish_calls, 1);
        EXPECT_LE(Violation(p, p.result), Tolerance(p));
        if (!p.solution.empty()) {
          for (int i = 0; i < p.n; ++i) EXPECT_NEAR(p.result[i], p.solution[i], 1e-6) << i;
        }
      }
    }
  }
}

// Larger problems with hundreds of pivots, many column replacements and
// refactorizations of the sparse back-end, under the default rule.
TEST_F(LemkeTest, SolvesLargerProblems) {
  struct Case {
    LinearProblem problem;
    int factor_given;  // 1: basis built from the start point; 0: slack basis
  };
  const Case cases[] = {
      {Obstacle(30), 0},
      {Obstacle(20), 1},
      {PlantedMonotone(300, 21), 0},
      {PlantedMonotone(300, 22), 1},
  };
  for (const Case& c : cases) {
    PlainLCP p = FromLinear(c.problem);
    SetDefaults();
    Options_CommonTable[COMMON_MINOR_ITERATION_LIMIT].int_value = 100000;
    Information info = MakeInfo(c.factor_given, 0);
    SCOPED_TRACE(p.name + (c.factor_given ? " / constructed" : " / slack"));
    ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
    EXPECT_GT(info.major_iterations, 100);
    EXPECT_LE(Violation(p, p.result), Tolerance(p));
    if (!p.solution.empty()) {
      for (int i = 0; i < p.n; ++i) EXPECT_NEAR(p.result[i], p.solution[i], 1e-6) << i;
    }
  }
}

// The dense back-end (no singularity report) solves as well.
TEST_F(LemkeTest, SolvesWithTheDenseBackEnd) {
  const std::vector<PlainLCP> problems = SolvableProblems();
  for (const StartCase& start : kStarts) {
    for (size_t k = 0; k < problems.size(); ++k) {
      PlainLCP p = problems[k];
      GiveStart(p, static_cast<unsigned>(k + 5), start.with_status);
      SetDefaults();
      UseDenseBackEnd();
      Options_CommonTable[COMMON_MINOR_ITERATION_LIMIT].int_value = 100000;
      Information info = MakeInfo(start.factor_given, start.start_given);
      const int code = Solve(p, info);
      SCOPED_TRACE(std::string(start.name) + " / " + p.name);
      ASSERT_EQ(code, LEMKE_SOLVED);
      EXPECT_LE(Violation(p, p.result), Tolerance(p));
    }
  }
}

// Monotone problems that are not P-matrix problems (convex programs in KKT
// form) are solved from the slack basis, whose ray start the method
// processes for every copositive-plus matrix.
TEST_F(LemkeTest, MonotoneProgramsSolveFromTheSlackStart) {
  for (int rule = 0; rule < 4; ++rule) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
      PlainLCP p = ConvexProgramProblem(seed, true);
      SetDefaults();
      Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
      Information info = MakeInfo(0, 0);
      SCOPED_TRACE(std::string(kRuleNames[rule]) + " / " + p.name);
      ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
      EXPECT_LE(Violation(p, p.result), Tolerance(p));
    }
  }
}

// The adaptive rule's phase lengths are options: the largest ones a user
// can give must not overflow when the rule adds them.
TEST_F(LemkeTest, AdaptiveRuleTakesTheLargestPhaseLengths) {
  PlainLCP p = ConvexProgramProblem(3, true);
  SetDefaults();
  Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = PIVOT_TYPE_ADAPTIVE;
  Lemke_OptionTable[ADAPTIVE_ITERATIONS_HIGH].int_value = INT_MAX;
  Lemke_OptionTable[ADAPTIVE_ITERATIONS_LOW].int_value = INT_MAX;
  Information info = MakeInfo(0, 0);
  ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
  EXPECT_LE(Violation(p, p.result), Tolerance(p));
}

// Problems without a solution end with ray termination, never "solved".
TEST_F(LemkeTest, ProblemsWithoutSolutionEndWithARay) {
  const PlainLCP problems[] = {FromLinear(NoSolution()), InfeasibleMonotoneProblem(),
                               ConvexProgramProblem(1, false), ConvexProgramProblem(2, false),
                               ConvexProgramProblem(3, false)};
  for (int rule = 0; rule < 4; ++rule) {
    for (const StartCase& start : kStarts) {
      for (const PlainLCP& base : problems) {
        PlainLCP p = base;
        GiveStart(p, 3, start.with_status);
        SetDefaults();
        Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
        Information info = MakeInfo(start.factor_given, start.start_given);
        SCOPED_TRACE(std::string(kRuleNames[rule]) + " / " + start.name + " / " + p.name);
        EXPECT_EQ(Solve(p, info), LEMKE_RAY);
        EXPECT_EQ(p.finish_calls, 1);
      }
    }
  }
}

// Degenerate problems where every basic value ties at once: each rule ends
// (solved, or with the cycle code), and solves the classic degenerate
// example.
TEST_F(LemkeTest, DegenerateProblemsTerminate) {
  std::vector<PlainLCP> problems;
  problems.push_back(FromLinear(DegenerateCyclic()));
  for (int n : {4, 6, 9}) {
    // Circulant [1 2 0 ...]: every w ties at the first step.
    PlainLCP p = MakeProblem("circulant" + std::to_string(n), n);
    DenseBuilder m(n);
    for (int i = 1; i <= n; ++i) {
      m(i, i) = 1;
      m(i, i % n + 1) = 2;
    }
    SetMatrix(p, m);
    p.q.assign(n, -1.0);
    problems.push_back(p);
  }
  {
    // q = 0: the start is already degenerate everywhere.
    PlainLCP p = RandomPMatrixProblem(6, 9, false);
    p.q.assign(6, 0.0);
    problems.push_back(p);
  }
  for (int rule = 0; rule < 4; ++rule) {
    for (const PlainLCP& base : problems) {
      PlainLCP p = base;
      SetDefaults();
      Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
      Information info = MakeInfo(0, 0);
      const int code = Solve(p, info);
      SCOPED_TRACE(std::string(kRuleNames[rule]) + " / " + p.name);
      EXPECT_EQ(code, LEMKE_SOLVED);
      EXPECT_LE(Violation(p, p.result), 1e-8);
      EXPECT_LE(info.major_iterations, 200);
    }
  }
}

// A tie between t and another basic variable goes to t, which ends the
// method: M = I, q = (-1, 0) from the slack basis takes two pivots (w1
// leaves, then z1 enters and t and w2 reach 0 together).
TEST_F(LemkeTest, TiesGoToTheCoveringVariable) {
  for (int rule = 0; rule < 4; ++rule) {
    SCOPED_TRACE(kRuleNames[rule]);
    SetDefaults();
    Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
    PlainLCP p = MakeProblem("tie", 2);
    DenseBuilder m(2);
    m(1, 1) = 1.0;
    m(2, 2) = 1.0;
    SetMatrix(p, m);
    p.q = {-1.0, 0.0};
    Information info = MakeInfo(0, 0);
    ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
    EXPECT_EQ(info.major_iterations, 2);
    EXPECT_NEAR(p.result[0], 1.0, 1e-12);
    EXPECT_NEAR(p.result[1], 0.0, 1e-12);
  }
}

// The cycle watch counts the entering columns of the current stretch
// without progress in t only: with a cycle limit of 1, convex programs
// whose paths raise t more than once are still solved.
TEST_F(LemkeTest, CycleWatchCountsOnlyTheCurrentStretch) {
  for (unsigned seed : {19u, 71u, 139u, 343u}) {
    SCOPED_TRACE(seed);
    SetDefaults();
    Lemke_OptionTable[LEMKE_CYCLE_LIMIT].int_value = 1;
    PlainLCP p = ConvexProgramProblem(seed, true);
    Information info = MakeInfo(0, 0);
    ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
    EXPECT_LE(Violation(p, p.result), Tolerance(p));
  }
}

// The exponential problem needs many pivots from a slack start; with room
// for them the method finishes with the solution.
TEST_F(LemkeTest, ExponentialProblemFinishes) {
  PlainLCP p = FromLinear(Exponential(16));
  Lemke_OptionTable[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = 1000000;
  Lemke_OptionTable[LEMKE_SIZE_FACTOR].int_value = 100000;
  Information info = MakeInfo(0, 0);
  ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
  for (int i = 0; i < p.n; ++i) EXPECT_NEAR(p.result[i], p.solution[i], 1e-9);
}

// A pivot limit of 0 still takes the first step, then stops with code 7.
TEST_F(LemkeTest, LimitZeroStopsAfterTheFirstStep) {
  struct Case {
    const char* name;
    int factor_given;  // residual start (1) or ray start (0)
  };
  for (const Case& c : {Case{"residual", 1}, Case{"ray", 0}}) {
    PlainLCP p = FromLinear(Obstacle(3));
    p.start.assign(p.n, 5.0);  // far from the solution: the residual start needs pivots
    SetDefaults();
    Options_CommonTable[COMMON_MINOR_ITERATION_LIMIT].int_value = 0;
    Lemke_OptionTable[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = 0;
    output()->Clear();
    Information info = MakeInfo(c.factor_given, 0);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Solve(p, info), LEMKE_ITERATION_LIMIT);
    EXPECT_EQ(info.major_iterations, 1);
    EXPECT_NE(output()->status().find("Minor iteration limit (0) exceeded.\n"), std::string::npos);
    EXPECT_EQ(p.finish_calls, 1);
  }
}

// A start that already solves the problem: t leaves at once by a bound
// flip, one counted step and no basis exchange.
TEST_F(LemkeTest, SolvedStartEndsAtOnce) {
  PlainLCP p = FromLinear(PlantedMonotone(20, 77));
  p.start = p.solution;
  Options_CommonTable[COMMON_OUTPUT_MINOR_ITERATIONS_FREQUENCY].int_value = 1;
  Information info = MakeInfo(1, 0);  // constructed basis, residual start
  ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
  EXPECT_EQ(info.major_iterations, 1);
  for (int i = 0; i < p.n; ++i) EXPECT_NEAR(p.result[i], p.solution[i], 1e-10);
  // The one log line: t entered and left again by a flip.
  EXPECT_NE(output()->log().find("t         flip"), std::string::npos) << output()->log();
  EXPECT_EQ(output()->status().find("Basis refactored."), std::string::npos);
}

// The letters of the codes used by the iteration logs.
TEST_F(LemkeTest, CodeLetters) {
  const struct {
    int code;
    char letter;
  } cases[] = {{1, 'S'}, {3, 'R'}, {4, 'N'}, {5, 'C'}, {6, 'T'}, {7, 'I'}, {2, '?'}};
  for (const auto& c : cases) EXPECT_EQ(Lemke_CodeLetter(c.code), c.letter) << c.code;
}

// Problems without the structure that guarantees a solution path (dense and
// sparse random matrices, integer data full of ties, mixed bounds, start
// points inside the boxes, given status codes) under every rule and start
// stage: the method may end without a solution, but whenever it reports one,
// the point must solve the problem.
TEST_F(LemkeTest, ReportedSolutionsOfArbitraryProblemsAreSolutions) {
  int solved = 0;
  for (unsigned seed = 1; seed <= 120; ++seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int n = 2 + seed % 7;
    const int kind = seed % 4;  // 0 sparse, 1 integer ties, 2 dense, 3 strong diagonal
    PlainLCP p = MakeProblem("arbitrary " + std::to_string(seed), n);
    DenseBuilder m(n);
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) {
        double v = u(gen);
        if (kind == 0 && std::fabs(v) < 0.5) v = 0.0;
        if (kind == 1) v = std::round(3.0 * v);
        if (kind == 3 && i == j) v = std::fabs(v) + 1.5;
        m(i, j) = v;
      }
    }
    SetMatrix(p, m);
    for (int i = 0; i < n; ++i) {
      p.q[i] = kind == 1 ? std::round(2.0 * u(gen)) : u(gen);
      switch ((seed / 4 + i) % 4) {
        case 1: p.lower[i] = -1.0; p.upper[i] = 1.0; break;
        case 2: p.lower[i] = -INF; p.upper[i] = INF; break;
        case 3: p.lower[i] = -INF; p.upper[i] = 0.5; break;
        default: break;
      }
      const double s = u(gen);
      if (seed % 3 == 0) p.start[i] = s;
    }
    if (seed % 5 == 0) {
      p.status.assign(n, 0);
      for (int i = 0; i < n; ++i) p.status[i] = static_cast<int>((seed + i) % 5);
    }
    for (int rule = PIVOT_TYPE_TEXTBOOK; rule <= PIVOT_TYPE_ADAPTIVE; ++rule) {
      for (int stage = 0; stage < 4; ++stage) {
        SCOPED_TRACE(p.name + ", rule " + std::to_string(rule) + ", controls " +
                     std::to_string(stage));
        Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = rule;
        Information info = MakeInfo(stage & 1, (stage >> 1) & 1);
        PlainLCP run = p;
        if (Solve(run, info) == LEMKE_SOLVED) {
          ++solved;
          EXPECT_LE(Violation(run, run.result), 1e-6);
        }
        output()->Clear();
      }
    }
  }
  EXPECT_GT(solved, 0);
}
