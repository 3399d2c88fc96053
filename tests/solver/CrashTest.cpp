// Crash phase: projected Newton on the classic problems, its stopping
// rules, its log, the perturbation-only variant, and what an interrupt
// leaves behind.
#include "solver/Crash.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "core/Interrupt.hpp"
#include "solver/Information.hpp"
#include "solver/StepFixture.hpp"

namespace {

// Number of references held on the scratch pool.
int PoolReferences() {
  int count = Workspace_Reference();
  Workspace_Destroy();
  return count - 1;
}

int CountOf(const std::string& text, const std::string& piece) {
  int count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

// J singular at the start (rows proportional), merit gradient not zero.
NonlinearProblem SingularStart() {
  return MakeProblem("singular", {-kInf, -kInf}, {kInf, kInf}, {0.0, 0.0},
                     [](const double* x, double* f, double* J) {
                       f[0] = x[0] + x[1] - 2.0;
                       f[1] = 2.0 * x[0] + 2.0 * x[1] - 4.0 + x[0] * x[0];
                       J[0] = 1.0;
                       J[1] = 1.0;
                       J[2] = 2.0 + 2.0 * x[0];
                       J[3] = 2.0;
                       return true;
                     });
}

// An interrupt service whose check reports an interrupt from its n-th call
// on.
struct ScriptedInterrupt {
  int calls = 0;
  int from = 1000000;
  Interrupt_Interface record{this, [](void*) {}, [](void*) {},
                             [](void* c) {
                               auto* self = static_cast<ScriptedInterrupt*>(c);
                               return ++self->calls >= self->from ? 1 : 0;
                             }};
};

class CrashTest : public StepFixture {
 protected:
  void SetUp() override {
    StepFixture::SetUp();
    record_ = Information{};
    record_.output_mask = 7;
  }
  void TearDown() override {
    Interrupt_Reset();
    StepFixture::TearDown();
  }

  // The pair holds F and J of the problem at x, and x lies in its bounds.
  void ExpectConsistent(const std::string& label) {
    const std::vector<double> x = Values(x_);
    for (int i = 0; i < n_; ++i) {
      EXPECT_GE(x[i], problem_.lower[i]) << label;
      EXPECT_LE(x[i], problem_.upper[i]) << label;
    }
    const std::vector<double> f = ProblemF(x);
    ASSERT_FALSE(f.empty()) << label << ": F undefined at the crash point";
    for (int i = 0; i < n_; ++i) {
      EXPECT_NEAR(DenseVector_Value(FunctionJacobian_Function(FJ_), i + 1), f[i],
                  1e-12 * (1.0 + std::fabs(f[i])))
          << label << " F" << i + 1;
    }
    const std::vector<double> J = ProblemJ(x), P = PairJ();
    for (int k = 0; k < n_ * n_; ++k) {
      EXPECT_NEAR(P[k], J[k], 1e-12 * (1.0 + std::fabs(J[k]))) << label << " J entry " << k;
    }
  }

  double Residual() const { return ProblemResidual(RESIDUAL_FISCHER_BURMEISTER, Values(x_)); }

  Information record_{};
};

// ---------------------------------------------------------------------------
// Classic problems

TEST_F(CrashTest, ReducesTheResidualOfTheClassicProblems) {
  const NonlinearProblem problems[] = {KojimaShindo(0.0), KojimaShindo(1.0), Josephy(),
                                       NashCournot(),     DomainErrors(),    BroydenTridiagonal(10),
                                       MixedBoxes()};
  for (const NonlinearProblem& problem : problems) {
    TearDown();
    SetUp();
    Start(problem);
    const double before = Residual();
    Crash_Newton(mcp_, &record_, x_, FJ_);
    const double after = Residual();
    EXPECT_GE(record_.crash_iterations, 1) << problem.name;
    EXPECT_LT(after, before) << problem.name;
    EXPECT_EQ(record_.mstep_request, 1) << problem.name;
    EXPECT_GE(record_.jacobian_evaluations, record_.crash_iterations) << problem.name;
    EXPECT_GT(record_.function_evaluations, record_.jacobian_evaluations) << problem.name;
    EXPECT_LE(record_.crash_iterations, Options_CommonInt(COMMON_CRASH_ITERATION_LIMIT));
    ExpectConsistent(problem.name);
    EXPECT_EQ(PoolReferences(), 2) << problem.name;  // the record's and the fixture's
  }
}

// An LCP whose solution (1, 1) lies inside the bounds although F_1 > 0 at
// the start 0: the first step, which treats every variable as free, lands
// on it. Holding z_1 at its bound first would take a second step.
TEST_F(CrashTest, FirstStepTreatsEveryVariableAsFree) {
  SetBool(SARN_CRASH_PERTURB, false);
  Start(AsNonlinear([] {
    LinearProblem p;
    p.name = "interior";
    p.n = 2;
    p.M = ColumnMatrix::FromDense(2, 2, {1.0, -2.0, 0.0, 1.0});
    p.q = {1.0, -1.0};
    p.lower = {0.0, 0.0};
    p.upper = {kInf, kInf};
    p.solution = {1.0, 1.0};
    return p;
  }()));
  Crash_Newton(mcp_, &record_, x_, FJ_);
  EXPECT_EQ(record_.crash_iterations, 1);
  EXPECT_NEAR(Values(x_)[0], 1.0, 1e-12);
  EXPECT_NEAR(Values(x_)[1], 1.0, 1e-12);
  ExpectConsistent("interior");
}

// A membrane over a concave obstacle on a line of n nodes: F = A z + q with
// A the second-difference matrix (times (n + 1)^2), z the height above the
// obstacle. The membrane lies on the obstacle in the middle and is free
// near the ends. From the all-free first step the held middle is too wide
// and the rule frees one node at each of its ends per step.
LinearProblem ObstacleLine(int n) {
  LinearProblem p;
  p.name = "obstacle line " + std::to_string(n);
  p.n = n;
  const double h = 1.0 / (n + 1), s = 1.0 / (h * h);
  std::vector<Triplet> entries;
  std::vector<double> psi(n);
  for (int i = 0; i < n; ++i) {
    const double t = (i + 1) * h;
    psi[i] = -0.1 - (t - 0.5) * (t - 0.5);
    entries.push_back({i, i, 2.0 * s});
    if (i > 0) entries.push_back({i - 1, i, -s});
    if (i + 1 < n) entries.push_back({i + 1, i, -s});
  }
  p.M = ColumnMatrix::FromTriplets(n, n, entries);
  p.q = p.M.Multiply(psi);
  for (double& v : p.q) v += 8.0;
  p.lower.assign(n, 0.0);
  p.upper.assign(n, kInf);
  return p;
}

// Widening the free set along the moving ends of the held middle reaches
// the solution in a few steps where one node per step would take many; the
// crash, without a proximal term, then ends on the solution itself.
TEST_F(CrashTest, WidenedFreeSetCrossesAMovingFrontInFewSteps) {
  SetBool(SARN_CRASH_PERTURB, false);
  const LinearProblem line = ObstacleLine(400);
  Start(AsNonlinear(line));
  Crash_Newton(mcp_, &record_, x_, FJ_);
  EXPECT_LE(record_.crash_iterations, 16);  // one node per step: over 50
  EXPECT_LT(ComplementarityViolation(line, Values(x_)), 1e-8);
  ExpectConsistent(line.name);
  const CrashStatistics counts = Crash_GetStatistics();
  EXPECT_EQ(counts.steps, record_.crash_iterations);
  EXPECT_GE(counts.systems, counts.steps);
}

// With a proximal term (the default) every step on the line is biased
// towards the point it starts from, so the crash would end off the
// solution; once the memberships settle, a step without the term ends on
// it. Cases: the default term, and terms held fixed from step to step.
TEST_F(CrashTest, SettledMembershipsOfALinearProblemEndOnItsSolution) {
  const LinearProblem line = ObstacleLine(60);
  struct Case {
    const char* label;
    double initial_maximum;
    double shrink;
  };
  const Case cases[] = {
      {"default", 0.0, 0.0},
      {"fixed at 1", 1.0, 0.99},
      {"fixed at 10", 10.0, 0.99},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    if (c.initial_maximum > 0.0) {
      SetDouble(SARN_CRASH_PROXIMAL_INITIAL_MAXIMUM, c.initial_maximum);
      SetDouble(SARN_CRASH_PROXIMAL_SHRINK_FACTOR, c.shrink);
    }
    Start(AsNonlinear(line));
    Crash_Newton(mcp_, &record_, x_, FJ_);
    EXPECT_LT(ComplementarityViolation(line, Values(x_)), 1e-8) << c.label;
    ExpectConsistent(c.label);
  }
}

// A monotone LCP whose variable 2 has no diagonal entry: it meets 1 and 6
// only through skew-symmetric entries. Where the memberships settle, the
// system without the proximal term is singular, and the step that a
// proximal term makes possible moves memberships again.
LinearProblem SkewCoupled() {
  LinearProblem p;
  p.name = "skew coupled";
  p.n = 6;
  p.M = ColumnMatrix::FromDense(6, 6, {0.155, -0.802, 0.594, 0, 0, 0,       //
                                       0.802, 0, 0, 0, 0, 1.228,            //
                                       0.594, 0, 3.093, -1.251, 0.436, -0.165,  //
                                       0, 0, 0.358, 0.246, -0.726, -0.028,  //
                                       0, 0, 0.436, 0.179, 0.894, 0,        //
                                       0, -1.228, 0.165, 0.028, 0, 0});
  p.q = {1.182, 0, -4.411, -0.385, 0.255, 0.746};
  p.lower.assign(6, 0.0);
  p.upper.assign(6, kInf);
  return p;
}

// The last step without the proximal term is kept only when it confirms
// the settled memberships. Here the memberships settle after two steps; the
// system without the proximal term is then singular, and the step that a
// proximal term makes possible moves memberships again: the phase ends on
// the point where they settled, as one stopped there by its limit does.
TEST_F(CrashTest, FinalStepThatMovesSettledMembershipsIsNotKept) {
  const LinearProblem p = SkewCoupled();
  Options_CommonTable[COMMON_CRASH_ITERATION_LIMIT].int_value = 2;
  Start(AsNonlinear(p));
  Crash_Newton(mcp_, &record_, x_, FJ_);
  const std::vector<double> settled = Values(x_);

  TearDown();
  SetUp();
  Start(AsNonlinear(p));
  Crash_Newton(mcp_, &record_, x_, FJ_);
  EXPECT_EQ(record_.crash_iterations, 3);
  EXPECT_EQ(Values(x_), settled);
  ExpectConsistent("skew coupled");
}

TEST_F(CrashTest, SingularSystemIsPerturbed) {
  SetBool(SARN_CRASH_PERTURB, false);
  Start(SingularStart());
  const double before = Residual();
  Crash_Newton(mcp_, &record_, x_, FJ_);
  EXPECT_GE(record_.crash_iterations, 1);
  EXPECT_LT(Residual(), before);
  ExpectConsistent("singular");
}

// ---------------------------------------------------------------------------
// Stopping rules

TEST_F(CrashTest, StopsOnFewActiveSetChanges) {
  // Kojima-Shindo from 0: every F_i < 0, all variables leave the bound.
  struct Case {
    int change_limit;
    int iteration_limit;
    int max_iterations;
  };
  const Case cases[] = {
      {100, 50, 1},  // no step changes 100 memberships: stop after the first
      {1, 1, 1},     // the iteration limit
      {1, 50, 49},   // stops early once the active set settles
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetInt(SARN_CRASH_NBCHANGE_LIMIT, c.change_limit);
    Options_CommonTable[COMMON_CRASH_ITERATION_LIMIT].int_value = c.iteration_limit;
    Start(KojimaShindo(0.0));
    Crash_Newton(mcp_, &record_, x_, FJ_);
    EXPECT_GE(record_.crash_iterations, 1) << c.change_limit;
    EXPECT_LE(record_.crash_iterations, c.max_iterations) << c.change_limit;
    ExpectConsistent("stop");
  }
}

TEST_F(CrashTest, NothingHappensWhenNotWanted) {
  struct Case {
    const char* name;
    int minimum_dimension;
    int iteration_limit;
    bool at_solution;
  };
  const Case cases[] = {
      {"below the minimum dimension", 5, 50, false},
      {"iteration limit 0", 1, 0, false},
      {"already solved", 1, 50, true},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetInt(SARN_CRASH_MINIMUM_DIMENSION, c.minimum_dimension);
    Options_CommonTable[COMMON_CRASH_ITERATION_LIMIT].int_value = c.iteration_limit;
    NonlinearProblem p = Josephy();
    if (c.at_solution) p.start = {std::sqrt(6.0) / 2.0, 0.0, 0.0, 0.5};
    Start(p);
    fake_->calls.clear();
    const std::vector<double> before = Values(x_);
    record_.crash_iterations = 9;  // counts are zeroed
    Crash_Newton(mcp_, &record_, x_, FJ_);
    EXPECT_EQ(record_.crash_iterations, 0) << c.name;
    EXPECT_EQ(record_.function_evaluations, 0) << c.name;
    EXPECT_EQ(record_.mstep_request, 0) << c.name;
    EXPECT_TRUE(fake_->calls.empty()) << c.name;
    EXPECT_EQ(Values(x_), before) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Methods and log

TEST_F(CrashTest, UnavailableMethodsRunProjectedNewtonWithAWarning) {
  struct Case {
    int method;
    const char* warning;
  };
  const Case cases[] = {
      {CRASH_METHOD_PNEWTON, nullptr},
      {CRASH_METHOD_AUTOMATIC, nullptr},
      {CRASH_METHOD_BDIFF, "Crash: bdiff method not available; using pnewton.\n"},
      {CRASH_METHOD_SMOOTH, "Crash: smooth method not available; using pnewton.\n"},
  };
  std::vector<double> reference;
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetInt(SARN_CRASH_METHOD, c.method);
    Start(Josephy());
    Crash_Newton(mcp_, &record_, x_, FJ_);
    if (reference.empty()) reference = Values(x_);
    EXPECT_EQ(Values(x_), reference) << c.method;
    if (c.warning != nullptr) {
      EXPECT_NE(output()->status().find(std::string("  ** WARNING **\n") + c.warning),
                std::string::npos)
          << c.method;
    } else {
      EXPECT_EQ(output()->status().find("WARNING"), std::string::npos) << c.method;
    }
  }
}

TEST_F(CrashTest, LogFollowsItsSwitchFrequencyAndMask) {
  struct Case {
    bool to_log;
    int frequency;
    int mask;
  };
  const Case cases[] = {{true, 1, 7}, {false, 1, 7}, {true, 2, 7}, {true, 1, 0}, {true, 0, 7}};
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    Options_CommonTable[COMMON_OUTPUT_CRASH_ITERATIONS].bool_value = c.to_log ? 1 : 0;
    Options_CommonTable[COMMON_OUTPUT_CRASH_ITERATIONS_FREQUENCY].int_value = c.frequency;
    record_.output_mask = c.mask;
    Start(KojimaShindo(0.0));
    Crash_Newton(mcp_, &record_, x_, FJ_);
    const int iterations = record_.crash_iterations;
    ASSERT_GE(iterations, 1);
    const std::string& status = output()->status();
    const std::string& log = output()->log();
    if (c.mask == 0) {
      EXPECT_EQ(status.find("Crash Log"), std::string::npos);
      EXPECT_EQ(log.find("Crash Log"), std::string::npos);
      continue;
    }
    const int every = c.frequency < 1 ? 1 : c.frequency;
    // The header, the start line (iteration 0) and one line per `every`
    // iterations; all lines end in the proximal term's "e+" or "e-".
    EXPECT_EQ(CountOf(status, "\nCrash Log\n iter  chng  func  grad   residual     step    prox\n"),
              1);
    EXPECT_EQ(CountOf(status, "    0     0     0     0 "), 1);
    int lines = 0;
    for (int k = 1; k <= iterations; ++k) {
      if (k % every == 0) ++lines;
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "\n%5d ", k);
      EXPECT_EQ(CountOf(status, prefix), k % every == 0 ? 1 : 0) << k;
    }
    EXPECT_EQ(CountOf(status, "\n"), 3 + lines + 1);
    EXPECT_EQ(log.find("Crash Log") != std::string::npos, c.to_log);
  }
}

// ---------------------------------------------------------------------------
// Perturbation only

TEST_F(CrashTest, PerturbationFromTheResidual) {
  struct Case {
    const char* name;
    bool perturb;
    double proximal;      // before
    double merit_factor;  // crash_proximal_merit_factor
    bool at_solution;
    // expected proximal_perturbation afterwards: -1 for factor * residual
    double expected;
  };
  const Case cases[] = {
      {"from the residual", true, 0.0, 0.01, false, -1.0},
      {"already set", true, 0.5, 0.01, false, 0.5},
      {"switched off", false, 0.0, 0.01, false, 0.0},
      {"capped", true, 0.0, 100.0, false, 10.0},   // crash_proximal_initial_maximum
      {"at least", true, 0.0, 0.01, true, 1e-15},  // crash_proximal_minimum
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetBool(SARN_CRASH_PERTURB, c.perturb);
    SetDouble(SARN_PROXIMAL_PERTURBATION, c.proximal);
    SetDouble(SARN_CRASH_PROXIMAL_MERIT_FACTOR, c.merit_factor);
    NonlinearProblem p = Josephy();
    if (c.at_solution) p.start = {std::sqrt(6.0) / 2.0, 0.0, 0.0, 0.5};
    Start(p);
    const std::vector<double> before = Values(x_);
    const double expected = c.expected < 0 ? c.merit_factor * Residual() : c.expected;
    Crash_Perturb(mcp_, &record_, x_, FJ_);
    if (c.at_solution) {
      EXPECT_LE(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION), 1e-15) << c.name;
      EXPECT_GT(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION), 0.0) << c.name;
    } else {
      EXPECT_NEAR(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION), expected, 1e-12 * expected)
          << c.name;
    }
    EXPECT_EQ(record_.crash_iterations, 0) << c.name;
    EXPECT_EQ(record_.function_evaluations, 0) << c.name;
    EXPECT_EQ(Values(x_), before) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Interrupts

TEST_F(CrashTest, InterruptInsideAnEvaluationLeavesPointAndPairTogether) {
  // Every evaluation of F (alone or with J) that the crash makes on
  // Josephy's problem meets an interrupt in turn, as a poll inside it would.
  auto armed = std::make_shared<bool>(false);
  auto seen = std::make_shared<int>(0);
  auto hit = std::make_shared<int>(0);
  NonlinearProblem p = Josephy();
  auto evaluate = p.evaluate;
  p.evaluate = [=](const double* x, double* f, std::vector<Triplet>* jac) {
    if (*armed && ++*seen == *hit) throw InterruptJump{Interrupt_GetJumpBuffer()};
    return evaluate(x, f, jac);
  };
  Start(p);
  *armed = true;
  Crash_Newton(mcp_, &record_, x_, FJ_);  // no hit: counts the evaluations
  const int evaluations = *seen;
  ASSERT_GE(evaluations, 4);
  ASSERT_GE(record_.crash_iterations, 2);

  for (*hit = 1; *hit <= evaluations; ++*hit) {
    TearDown();
    SetUp();
    *armed = false;
    Start(p);
    const std::vector<double> start = Values(x_);
    const int pool = PoolReferences();
    *seen = 0;
    *armed = true;
    const bool interrupted =
        Interrupt_RunWithJumpPoint([&] { Crash_Newton(mcp_, &record_, x_, FJ_); });
    *armed = false;
    const std::string label = "interrupt at evaluation " + std::to_string(*hit);
    EXPECT_TRUE(interrupted) << label;
    EXPECT_EQ(PoolReferences(), pool) << label;
    EXPECT_EQ(Interrupt_GetJumpBuffer(), nullptr) << label;
    if (record_.crash_iterations == 0) {
      EXPECT_EQ(Values(x_), start) << label;
    }
    ExpectConsistent(label);
  }
}

TEST_F(CrashTest, InterruptAtAPollEndsOnlyTheCrash) {
  struct Case {
    bool jump_point;
  };
  for (Case c : {Case{true}, Case{false}}) {
    TearDown();
    SetUp();
    Start(KojimaShindo(0.0));
    ScriptedInterrupt interrupt;
    interrupt.from = 2;  // the poll before the second iteration
    Interrupt_SetInterface(&interrupt.record);
    const int pool = PoolReferences();
    bool interrupted = false;
    if (c.jump_point) {
      interrupted = Interrupt_RunWithJumpPoint([&] { Crash_Newton(mcp_, &record_, x_, FJ_); });
    } else {
      Crash_Newton(mcp_, &record_, x_, FJ_);
    }
    EXPECT_EQ(interrupted, c.jump_point);
    EXPECT_EQ(record_.crash_iterations, 1);
    EXPECT_EQ(PoolReferences(), pool);
    ExpectConsistent(c.jump_point ? "jump" : "no jump point");
  }
}


// A monotone box LCP with a nearly singular M on which the crash without a
// proximal term takes many steps and its nonmonotone search passes points
// of smaller merit than the latest one. An interrupt at the poll before
// step k + 1 must leave the point that a limit of k steps leaves: the best
// one met, with F and J there.
TEST_F(CrashTest, InterruptAtAPollEndsAtTheBestPointMet) {
  LinearProblem p;
  p.name = "nearly singular box";
  p.n = 2;
  p.M = ColumnMatrix::FromDense(2, 2, {1.6129910057, 1.9256262752,  //
                                       1.9256262752, 2.3145393171});
  p.q = {-3.2216046182, -3.5531000004};
  p.lower = {-1.9375070345, -0.1714313753};
  p.upper = {0.8418899339, 1.6041573951};
  const NonlinearProblem problem = AsNonlinear(p);
  auto crash = [&](int limit, int interrupt_from, bool* interrupted) {
    TearDown();
    SetUp();
    SetBool(SARN_CRASH_PERTURB, false);
    if (limit > 0) Options_CommonTable[COMMON_CRASH_ITERATION_LIMIT].int_value = limit;
    Start(problem);
    ScriptedInterrupt interrupt;
    interrupt.from = interrupt_from;
    Interrupt_SetInterface(&interrupt.record);
    *interrupted = Interrupt_RunWithJumpPoint([&] { Crash_Newton(mcp_, &record_, x_, FJ_); });
    Interrupt_Reset();
    return Values(x_);
  };
  bool interrupted = false;
  crash(0, 1000000, &interrupted);
  const int steps = record_.crash_iterations;
  ASSERT_GE(steps, 12);
  for (int k = 1; k < steps; ++k) {
    const std::string label = "interrupt before step " + std::to_string(k + 1);
    const std::vector<double> limited = crash(k, 1000000, &interrupted);
    const std::vector<double> stopped = crash(0, k + 1, &interrupted);
    EXPECT_TRUE(interrupted) << label;
    EXPECT_EQ(record_.crash_iterations, k) << label;
    EXPECT_EQ(stopped, limited) << label;
    ExpectConsistent(label);
  }
}

}  // namespace
