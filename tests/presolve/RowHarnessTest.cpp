// The row presolve harness itself: its enumeration finds every solution of
// small problems, and faulty row passes (a wrong fix, a lost record, a
// stale F, a false infeasibility, "cannot handle") are each reported,
// while a sound pass is not.
#include <string>
#include <vector>

#include "RowHarness.hpp"
#include "core/DenseVector.hpp"
#include "presolve/PresolveRecord.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr double I = kInf;

// F1 = x2 + x3 + 1 > 0 on x >= 0 forces x1 = 0; (0, 1/3, 1/3) is the
// only solution.
LinearProblem Forced() {
  return Lcp({{0, 1, 1}, {0, 2, 1}, {0, 1, 2}}, {1, -1, -1}, {0, 0, 0}, {I, I, I}, "forced");
}

// Each pass acts once: on its first call (x1 still unfixed) it changes the
// problem and reports it, on the next it reports nothing.
bool FirstCall(MCP* mcp, std::int32_t* changed) {
  *changed = 0;
  return DenseVector_Value(MCP_FullLower(mcp), 1) != DenseVector_Value(MCP_FullUpper(mcp), 1);
}

int FixAtZero(MCP* mcp, std::int32_t* level, std::int32_t* changed) {
  if (!FirstCall(mcp, changed)) return MCP_CONTINUE;
  MCP_FixVariable(mcp, *level, 1, PRESOLVE_KIND_BOUND, 1, 0.0);
  *changed = 1;
  *level += 1;
  return MCP_CONTINUE;
}

int FixAtOne(MCP* mcp, std::int32_t* level, std::int32_t* changed) {
  if (!FirstCall(mcp, changed)) return MCP_CONTINUE;
  MCP_FixVariable(mcp, *level, 1, PRESOLVE_KIND_BOUND, 1, 1.0);
  *changed = 1;
  return MCP_CONTINUE;
}

// Fixes x1 at its right value but pushes no record.
int FixWithoutRecord(MCP* mcp, std::int32_t*, std::int32_t* changed) {
  if (!FirstCall(mcp, changed)) return MCP_CONTINUE;
  DenseVector_SetValue(MCP_FullUpper(mcp), 1, 0.0);
  *changed = 1;
  return MCP_CONTINUE;
}

// Moves x2 without updating F.
int MoveWithoutF(MCP* mcp, std::int32_t* level, std::int32_t* changed) {
  if (!FirstCall(mcp, changed)) return MCP_CONTINUE;
  MCP_FixVariable(mcp, *level, 1, PRESOLVE_KIND_BOUND, 1, 0.0);
  DenseVector_SetValue(MCP_FullX(mcp), 2, 5.0);
  *changed = 1;
  return MCP_CONTINUE;
}

int Infeasible(MCP*, std::int32_t*, std::int32_t* changed) {
  *changed = 0;
  return MCP_INFEASIBLE;
}

int Cannot(MCP*, std::int32_t*, std::int32_t* changed) {
  *changed = 0;
  return MCP_OTHER_FAILURE;
}

class RowHarnessTest : public RowHarness {
 protected:
  RowRun RunWith(RowPassFunction pass, const LinearProblem& p = Forced()) {
    RowSettings settings;
    settings.pass = pass;
    return RunRows(p, settings);
  }
};

bool Reports(const RowRun& run, const std::string& text) {
  for (const std::string& f : run.faults) {
    if (f.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST_F(RowHarnessTest, EnumerationFindsEverySolution) {
  // F = 1 - x on [0, 2]: 0 (F > 0), 1 (F = 0) and 2 (F < 0).
  const LinearProblem antitone = Lcp({{-1}}, {1}, {0}, {2});
  const EnumeratedSolutions all = EnumerateSolutions(antitone, antitone.lower, antitone.upper, 10);
  ASSERT_TRUE(all.decided);
  ASSERT_EQ(all.points.size(), 3u);
  for (const auto& z : all.points) EXPECT_EQ(ComplementarityViolation(antitone, z), 0.0);
  // Over tightened bounds [1, 2] only two remain.
  EXPECT_EQ(EnumerateSolutions(antitone, {1}, {2}, 10).points.size(), 2u);
  // A free variable with F = 1 has none.
  const LinearProblem none = Lcp({{0}}, {1}, {-I}, {I});
  EXPECT_TRUE(EnumerateSolutions(none, none.lower, none.upper, 10).points.empty());
  EXPECT_EQ(VerdictOf(none), BoxLCPVerdict::kInfeasible);
  // Free variables whose equations leave a line of solutions, none of them
  // with the undetermined unknowns at 0 unless a sign condition is pinned.
  const LinearProblem line = RandomRowBlockLCP(354);
  EXPECT_EQ(VerdictOf(line), BoxLCPVerdict::kSolvable);
  const EnumeratedSolutions found = EnumerateSolutions(line, line.lower, line.upper, 1);
  ASSERT_EQ(found.points.size(), 1u);
  EXPECT_LE(ComplementarityViolation(line, found.points[0]), 1e-9);
  // Rows with halves are scaled to integers for the exact verdict.
  EXPECT_EQ(VerdictOf(Lcp({{1}}, {-0.5}, {0}, {I})), BoxLCPVerdict::kSolvable);
}

TEST_F(RowHarnessTest, RenumberingKeepsTheSolutions) {
  const LinearProblem p = Forced();
  const LinearProblem r = PermuteProblem(p, {2, 0, 1});
  EXPECT_EQ(ComplementarityViolation(r, {1.0 / 3, 0, 1.0 / 3}), 0.0);
  EXPECT_GT(ComplementarityViolation(r, {0, 1.0 / 3, 1.0 / 3}), 0.1);
}

TEST_F(RowHarnessTest, ASoundPassPasses) {
  const RowRun run = RunWith(&FixAtZero);
  EXPECT_TRUE(run.faults.empty()) << Describe(run);
  EXPECT_EQ(run.status, MCP_CONTINUE);
  EXPECT_EQ(run.unfixed, 2);
  EXPECT_EQ(run.levels, 1);
  ASSERT_EQ(run.postsolved.size(), 1u);
}

TEST_F(RowHarnessTest, EachFaultOfAPassIsReported) {
  const struct {
    RowPassFunction pass;
    const char* fault;
  } cases[] = {
      {&FixAtOne, "does not solve the problem"},
      {&FixWithoutRecord, "bounds not restored"},
      {&MoveWithoutF, "F not current"},
      {&Infeasible, "solvable problem was called infeasible"},
      {&Cannot, "status 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    const RowRun run = RunWith(c.pass);
    EXPECT_TRUE(Reports(run, c.fault)) << Describe(run);
  }
}

// A wrong fix that leaves the reduced problem without a solution: F1 = x1
// on x1 >= 0 and F2 = x1 with x2 free; x1 fixed at 1 leaves F2 = 1 != 0.
TEST_F(RowHarnessTest, AReductionThatLosesEverySolutionIsReported) {
  const LinearProblem p = Lcp({{1, 0}, {1, 0}}, {0, 0}, {0, -I}, {I, I});
  const RowRun run = RunWith(&FixAtOne, p);
  EXPECT_TRUE(Reports(run, "lost every solution")) << Describe(run);
}

}  // namespace
