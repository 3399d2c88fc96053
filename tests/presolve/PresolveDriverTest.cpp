// The presolve driver: its rounds and their log lines, the level counter and
// the evaluations of F, the end at an undefined F, the record stack across
// starts, and interrupts during the presolve.
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/Interrupt.hpp"
#include "presolve/MCP_Finish.hpp"
#include "presolve/PresolveQueue.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveRig.hpp"

namespace {

class PresolveDriverTest : public PresolveRig {
 protected:
  void TearDown() override {
    adapter_.reset();
    PresolveRig::TearDown();
  }

  // A started record of p with the presolve on; returns MCP_Start's status.
  int Start(const NonlinearProblem& p, bool constant = true, std::vector<int> row_types = {}) {
    adapter_ = std::make_unique<ProblemAdapter>(p);
    adapter_->AllowPresolve(constant, std::move(row_types));
    output()->Clear();
    return MCP_Start(adapter_->mcp());
  }
  MCP* mcp() { return adapter_->mcp(); }

  // Levels of the records above the bottom one, oldest first.
  std::vector<int> Levels() {
    std::vector<PresolveRecord> records;
    RecordStack* stack = MCP_PresolveStack(mcp());
    PresolveRecord r;
    while (RecordStack_Count(stack) > 0) {
      RecordStack_Pop(stack, r);
      records.push_back(r);
    }
    std::vector<int> levels;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
      RecordStack_Push(stack, *it);
      if (it->kind != PRESOLVE_KIND_BOTTOM) levels.push_back(it->level);
    }
    return levels;
  }

  std::unique_ptr<ProblemAdapter> adapter_;
};

// z1 free with F1 = z2 + z3 (z2, z3 in [0, 1], rows 2 and 3 zero): a
// forcing row; z4 >= 0 with F4 = 2: a constant row; z5 in [0, 5] with
// F5 = 2 z5 + z2 - 2: a row in z5 alone once z2 is pinned.
LinearProblem Staged() {
  return Lcp({{0, 1, 1, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 1, 0, 0, 2}},
             {0, 0, 0, 2, -2}, {-kInf, 0, 0, 0, 0}, {kInf, 1, 1, kInf, 5});
}

TEST_F(PresolveDriverTest, RoundsLogWhatTheyChangedAndRaiseTheLevel) {
  EXPECT_EQ(Start(AsNonlinear(Staged())), MCP_SOLVED);
  // Level 1: the constant row, then the forcing row; level 2: row 5 has
  // one entry left and is solved; level 3 changes nothing.
  EXPECT_NE(Log().find("Zero:     1 Single:     0 Double:     0\n"
                       "Forced:     3 Redundant:     0\n"
                       "Zero:     0 Single:     1 Double:     0\n"),
            std::string::npos)
      << Log();
  EXPECT_EQ(Log().find("Implied:"), std::string::npos);
  EXPECT_EQ(Log().find("Duplicated:"), std::string::npos);
  EXPECT_EQ(Levels(), (std::vector<int>{1, 1, 1, 1, 2}));
  // One evaluation of F after each changing round.
  EXPECT_EQ(adapter_->function_calls, 2);
  EXPECT_EQ(X(mcp()), (std::vector<double>{0, 0, 0, 0, 1}));

  // The finish undoes all of it with one evaluation per level.
  adapter_->function_calls = 0;
  MCP_Finish(mcp(), 1, MCP_X(mcp()), MCP_Basis(mcp()));
  EXPECT_EQ(adapter_->function_calls, 2);
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp())), 0);
  const LinearProblem p = Staged();
  EXPECT_EQ(Lower(mcp()), p.lower);
  EXPECT_EQ(Upper(mcp()), p.upper);
  EXPECT_LE(ComplementarityViolation(p, adapter_->Point()), 1e-12);
}

TEST_F(PresolveDriverTest, WithoutCandidateRowsNothingRuns) {
  // Every entry is reported nonlinear and every row has one: no row is a
  // candidate.
  const LinearProblem p = Lcp({{1, 1, 0}, {1, 2, 1}, {0, 1, 1}}, {0, 0, 2}, {0, 0, 0}, {5, 5, 5});
  EXPECT_EQ(Start(AsNonlinear(p), false), MCP_CONTINUE);
  EXPECT_EQ(Log().find("Zero:"), std::string::npos);
  EXPECT_EQ(Log().find("Forced:"), std::string::npos);
  EXPECT_EQ(adapter_->function_calls, 0);
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp())), 1);
}

TEST_F(PresolveDriverTest, LongRowsAreTakenOffTheQueueWithoutARule) {
  // Row 1 has three entries, row 2 four: both short of 5 and queued.
  Prepare(Lcp({{1, 1, 1, 0}, {1, 1, 1, 1}, {0, 0, 1, 1}, {1, 0, 0, 1}}, {-1, -1, -1, -1},
              {-kInf, -kInf, -kInf, -kInf}, {kInf, kInf, kInf, kInf}));
  MCP* m = adapter().mcp();
  MCP_FillRowQueue(m);
  EXPECT_EQ(PresolveQueue_Count(), 4);
  int zero = -1, single = -1, two = -1;
  EXPECT_EQ(MCP_RowDispatch(m, 1, &zero, &single, &two), MCP_CONTINUE);
  EXPECT_EQ(zero + single + two, 0);
  EXPECT_EQ(PresolveQueue_Count(), 0);
  EXPECT_EQ(Records(m), 1);
}

TEST_F(PresolveDriverTest, UndefinedFAfterAChangingRoundEndsWithStatusEight) {
  NonlinearProblem p = AsNonlinear(Staged());
  const auto linear = p.evaluate;
  // F alone (no Jacobian asked) is undefined: the start's evaluation works,
  // the presolve's does not.
  p.evaluate = [linear](const double* x, double* f, std::vector<Triplet>* j) {
    return linear(x, f, j) && j != nullptr;
  };
  EXPECT_EQ(Start(p), MCP_UNDEFINED);
  EXPECT_TRUE(Logged("Function undefined.\n"));
  EXPECT_GT(RecordStack_Count(MCP_PresolveStack(mcp())), 1);  // the reductions stay
}

// An interrupt service that reports an interrupt from its n-th check on.
struct CountingInterrupt {
  static int checks, from;
  static int Check(void*) { return ++checks >= from ? 1 : 0; }
  static void Nothing(void*) {}
  Interrupt_Interface record{nullptr, &Nothing, &Nothing, &Check};
  explicit CountingInterrupt(int n) {
    checks = 0;
    from = n;
    Interrupt_SetInterface(&record);
  }
  ~CountingInterrupt() { Interrupt_Reset(); }
};
int CountingInterrupt::checks = 0;
int CountingInterrupt::from = 0;

TEST_F(PresolveDriverTest, AnInterruptedPresolveEndsTheStartAndTheNextStartPresolvesAfresh) {
  {
    // The fourth poll comes after the constant row was fixed.
    CountingInterrupt interrupt(4);
    EXPECT_EQ(Start(AsNonlinear(Staged())), MCP_INTERRUPTED);
  }
  EXPECT_GT(RecordStack_Count(MCP_PresolveStack(mcp())), 1);
  EXPECT_EQ(Interrupt_GetJumpBuffer(), nullptr);
  // The finish of the interrupted start runs no postsolve.
  MCP_Finish(mcp(), MCP_INTERRUPTED, MCP_FullX(mcp()), MCP_FullBasis(mcp()));
  EXPECT_GT(RecordStack_Count(MCP_PresolveStack(mcp())), 1);

  // The next start drops the old records before its own presolve.
  output()->Clear();
  EXPECT_EQ(MCP_Start(mcp()), MCP_SOLVED);
  EXPECT_EQ(Levels(), (std::vector<int>{1, 1, 1, 1, 2}));
  MCP_Finish(mcp(), 1, MCP_X(mcp()), MCP_Basis(mcp()));
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp())), 0);
  EXPECT_LE(ComplementarityViolation(Staged(), adapter_->Point()), 1e-12);
}

TEST_F(PresolveDriverTest, AnInterruptedSolveEndsCleanlyAndTheNextOneSolves) {
  const LinearProblem p = Staged();
  for (int from : {2, 3, 4, 5, 6}) {
    SCOPED_TRACE(from);
    std::vector<double> z;
    {
      CountingInterrupt interrupt(from);
      EXPECT_EQ(SolveWhole(p, &z), TERMINATION_USER_INTERRUPT);
    }
    EXPECT_EQ(SolveWhole(p, &z), TERMINATION_SOLVED);
    EXPECT_LE(ComplementarityViolation(p, z), 1e-9);
  }
}

// The optimality conditions of an LP without objective over x1 in [0, 1],
// x2 in [0, 5], x1 + x2 >= 2 and x1 - x2 >= 0: (x1, x2, lambda_A,
// lambda_B), the constraint rows classed primal. The two rows imply
// 1 <= x2 <= 1 without either being forcing.
LinearProblem ImpliedFix() {
  return Lcp({{0, 0, -1, -1}, {0, 0, -1, 1}, {1, 1, 0, 0}, {1, -1, 0, 0}}, {0, 0, -2, 0},
             {0, 0, 0, 0}, {1, 5, kInf, kInf});
}

TEST_F(PresolveDriverTest, ImpliedRoundsRunOnlyWhenSwitchedOnAndRowsAreClassed) {
  struct Case {
    bool implied;
    std::vector<int> types;
    bool logged;
  };
  for (const Case& c : {Case{false, {-1, -1, 1, 1}, false}, Case{true, {}, false},
                        Case{true, {-1, -1, 1, 1}, true}}) {
    SCOPED_TRACE(testing::Message() << c.implied << " " << c.types.size());
    Presolve_OptionTable[PRESOLVE_IMPLIED].bool_value = c.implied;
    Start(AsNonlinear(ImpliedFix()), true, c.types);
    EXPECT_EQ(Logged("Implied: Fixed:"), c.logged) << Log();
    EXPECT_EQ(Lower(mcp())[1] == Upper(mcp())[1], c.logged);
    MCP_Finish(mcp(), 1, MCP_X(mcp()), MCP_Basis(mcp()));
  }
}

// F = M z + q with the solution (1/3, 1/3, 0): a start that is not a
// number (taken to the option infinity) or infinite left the presolve
// constants without the q they hold, on which it settled z = 0 and called
// that solved. The presolve leaves such a start to the solver, which solves
// the problem.
TEST_F(PresolveDriverTest, AStartThatIsNotFiniteIsLeftToTheSolver) {
  const LinearProblem p =
      Lcp({{2, 1, 0}, {1, 2, 0}, {0, 0, 1}}, {-1, -1, 1}, {0, 0, 0}, {kInf, kInf, kInf});
  for (const double start : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(start);
    output()->Clear();
    std::vector<double> z;
    ASSERT_EQ(SolveWholeFrom(p, {start, 0.0, 0.0}, &z), TERMINATION_SOLVED) << Log();
    EXPECT_TRUE(Logged("Presolve skipped: the start point or F there is infinite.\n"));
    ASSERT_EQ(z.size(), 3u);
    EXPECT_NEAR(z[0], 1.0 / 3.0, 1e-9);
    EXPECT_NEAR(z[1], 1.0 / 3.0, 1e-9);
    EXPECT_EQ(z[2], 0.0);
  }
}

// F = M z + q with a dense block in z1..z4 (solution 1/6 each) and z5 = 0,
// from starts so far out that the terms M z there leave nothing of q to
// rounding (at 1e15 the presolve settled on what was left, and the solve
// ended unsolved): the presolve reads its constants nearer the origin and
// settles z5, and the solver starts from the caller's point.
TEST_F(PresolveDriverTest, AFarStartIsPresolvedNearerTheOriginAndKeptForTheSolver) {
  const LinearProblem p = Lcp({{3, 1, 1, 1, 0},
                               {1, 3, 1, 1, 0},
                               {1, 1, 3, 1, 0},
                               {1, 1, 1, 3, 0},
                               {0, 0, 0, 0, 1}},
                              {-1, -1, -1, -1, 1}, {0, 0, 0, 0, 0}, {kInf, kInf, kInf, kInf, kInf});
  for (const double start : {1e15, 1e19, 1e8}) {
    SCOPED_TRACE(start);
    NonlinearProblem far = AsNonlinear(p);
    far.start.assign(5, start);
    ASSERT_EQ(Start(far), MCP_CONTINUE) << Log();
    EXPECT_FALSE(Logged("Presolve skipped"));
    EXPECT_EQ(X(mcp()), (std::vector<double>{start, start, start, start, 0.0}));
    const std::vector<double> f = p.F(X(mcp()));
    for (size_t i = 0; i < f.size(); ++i) EXPECT_NEAR(F(mcp())[i], f[i], 1e-15 * start) << i;
    MCP_Finish(mcp(), 1, MCP_X(mcp()), MCP_Basis(mcp()));

    output()->Clear();
    std::vector<double> z;
    ASSERT_EQ(SolveWholeFrom(p, far.start, &z), TERMINATION_SOLVED) << Log();
    EXPECT_LE(ComplementarityViolation(p, z), 1e-9);
  }
}

// F = z - 2, undefined below z = 1, from a start far out: F cannot be read
// nearer the origin, and the start is left to the solver as it is.
TEST_F(PresolveDriverTest, AFarStartWhoseFIsUndefinedNearerTheOriginIsLeftToTheSolver) {
  NonlinearProblem p;
  p.n = 1;
  p.lower = {0.0};
  p.upper = {kInf};
  p.start = {1e15};
  p.evaluate = [](const double* x, double* f, std::vector<Triplet>* jac) {
    f[0] = x[0] - 2.0;
    if (jac != nullptr) *jac = {{0, 0, 1.0}};
    return x[0] >= 1.0;
  };
  ASSERT_EQ(Start(p), MCP_CONTINUE) << Log();
  EXPECT_TRUE(Logged("Presolve skipped: F is undefined where the row constants can be read.\n"));
  EXPECT_EQ(MCP_PresolveMade(mcp()), 0);
  EXPECT_EQ(X(mcp()), (std::vector<double>{1e15}));
  EXPECT_EQ(F(mcp()), (std::vector<double>{1e15 - 2.0}));
}

}  // namespace
