// The row pass: when a level ends it, the level counter and the new
// evaluation of F after every level that changed something, the point it
// leaves, the summary and level lines at each trace level, and the statuses
// it hands on.
#include <cmath>
#include <string>
#include <vector>

#include "presolve/RowForceTestRig.hpp"

namespace {

class RowPassTest : public RowForceRig {
 protected:
  struct Pass {
    int status;
    std::int32_t level;
    std::int32_t changed;
  };

  Pass Run(MCP* mcp) {
    Pass r{0, 1, -1};
    r.status = MCPR(mcp, &r.level, &r.changed);
    return r;
  }
};

const char* kFixOne =
    "MCPR: One:    0 Two:    0 Thr:    0 Qua:    0 WBd:    0 Fix:    1 IFx:    0\n";

TEST_F(RowPassTest, NoLinearRowEndsTheFirstLevelSilently) {
  SetTrace(3);
  MCP* mcp = Prepare(Lcp({{1, 1}, {1, -1}}, {1, -2}, {0, -kInf}, {kInf, kInf}));
  MarkNonlinear(mcp, {1, 2});
  const std::vector<double> x = X(mcp);
  const Pass r = Run(mcp);
  EXPECT_EQ(r.status, MCP_CONTINUE);
  EXPECT_EQ(r.changed, 0);
  EXPECT_EQ(r.level, 1);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(adapter().function_calls, 0);
  EXPECT_EQ(X(mcp), x);
  EXPECT_EQ(Records(mcp), 1);  // the bottom record alone
}

TEST_F(RowPassTest, ALevelThatReducesNothingKeepsLevelPointAndF) {
  // Five free variables, every row with five terms, no two rows alike.
  const LinearProblem p = Lcp({{4, 1, 2, 1, 1},
                               {1, 5, 1, 3, 1},
                               {2, 1, 6, 1, 2},
                               {1, 2, 1, 7, 1},
                               {3, 1, 1, 1, 8}},
                              {1, 2, 3, 4, 5}, std::vector<double>(5, -kInf),
                              std::vector<double>(5, kInf));
  for (int trace : {1, 2}) {
    SCOPED_TRACE(trace);
    SetTrace(trace);
    MCP* mcp = Prepare(p);
    const Pass r = Run(mcp);
    EXPECT_EQ(r.status, MCP_CONTINUE);
    EXPECT_EQ(r.changed, 0);
    EXPECT_EQ(r.level, 1);
    EXPECT_EQ(adapter().function_calls, 0);
    EXPECT_EQ(Log(), trace >= 2 ? "MCPR: Level:  1 Linear Rows:    5\n" : "");
    EXPECT_EQ(Records(mcp), 1);
  }
}

// F1 = x1 + 1, F2 = x1^2 + x2 + 1, F3 = x3^3 + x3 - 2 with x1, x2 >= 0 and
// x3 free: row 2 becomes linear only once x1 is fixed, row 3 never is.
NonlinearProblem Chain() {
  NonlinearProblem p;
  p.name = "chain";
  p.n = 3;
  p.lower = {0, 0, -kInf};
  p.upper = {kInf, kInf, kInf};
  p.start = {0.5, 0.5, 0};
  p.evaluate = [](const double* x, double* f, std::vector<Triplet>* jac) {
    f[0] = x[0] + 1;
    f[1] = x[0] * x[0] + x[1] + 1;
    f[2] = x[2] * x[2] * x[2] + x[2] - 2;
    if (jac != nullptr) {
      *jac = {{0, 0, 1}, {1, 0, 2 * x[0]}, {1, 1, 1}, {2, 2, 3 * x[2] * x[2] + 1}};
    }
    return true;
  };
  return p;
}

TEST_F(RowPassTest, EachReducingLevelRaisesTheLevelAndEvaluatesF) {
  SetTrace(2);
  MCP* mcp = Prepare(Chain());
  MarkEntryNonlinear(mcp, 2, 1);
  MarkEntryNonlinear(mcp, 3, 3);
  const Pass r = Run(mcp);
  EXPECT_EQ(r.status, MCP_CONTINUE);
  EXPECT_EQ(r.changed, 1);
  EXPECT_EQ(r.level, 3);
  EXPECT_EQ(adapter().function_calls, 2);
  EXPECT_EQ(X(mcp), (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(F(mcp), (std::vector<double>{1, 1, -2}));
  EXPECT_EQ(Log(),
            "MCPR: Level:  1 Linear Rows:    1\n"
            "Force Row One Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n"
            "Force Lev:  1 Pas:  1 Fix:    1\n" +
                std::string(kFixOne) +
                "MCPR: Level:  2 Linear Rows:    1\n"
                "Force Row One Fixes Variables\n     x[    2] =  0.0000e+00 (f[    2])\n"
                "Force Lev:  1 Pas:  1 Fix:    1\n" +
                kFixOne);
  // One record per fixing, each with the level it was made at.
  const PresolveRecord top = Top(mcp);
  EXPECT_EQ(top.variable_index, 2);
  EXPECT_EQ(top.level, 2);
  EXPECT_EQ(Records(mcp), 3);
}

TEST_F(RowPassTest, SummariesAtEveryTraceLevelLevelLinesFromTwo) {
  // F1 = x1 + 1 over x1 >= 0 fixes x1 = 0; the next level has no linear row.
  const LinearProblem p = Lcp({{1}}, {1}, {0}, {kInf});
  const std::string detail =
      "MCPR: Level:  1 Linear Rows:    1\n"
      "Force Row One Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n"
      "Force Lev:  1 Pas:  1 Fix:    1\n";
  for (int trace : {-1, 0, 1, 2}) {
    SCOPED_TRACE(trace);
    SetTrace(trace);
    MCP* mcp = Prepare(p);
    const Pass r = Run(mcp);
    EXPECT_EQ(r.status, MCP_CONTINUE);
    EXPECT_EQ(r.level, 2);
    EXPECT_EQ(Log(), (trace >= 2 ? detail : std::string()) + kFixOne);
  }
}

TEST_F(RowPassTest, FailedStatusesArePassedOnWithoutSummary) {
  // F1 = 1 over x1 <= 0 unbounded below has no solution.
  SetTrace(1);
  MCP* mcp = Prepare(Lcp({{0}}, {1}, {-kInf}, {0}));
  const Pass r = Run(mcp);
  EXPECT_EQ(r.status, MCP_INFEASIBLE);
  EXPECT_EQ(r.level, 1);
  EXPECT_EQ(r.changed, 0);
  EXPECT_EQ(adapter().function_calls, 0);
  EXPECT_EQ(Log(), "Force Row Zero Infeasible\n     f[    1]\n");
  std::vector<double> z;
  EXPECT_EQ(SolveWhole(Lcp({{0}}, {1}, {-kInf}, {0}), &z), TERMINATION_INFEASIBLE_BOUNDS);
}

TEST_F(RowPassTest, FUndefinedAfterAChangedLevelEndsThePassAtTheRaisedLevel) {
  // F1 = x1 - 2 over [0, 5] fixes x1 = 2, where F is undefined.
  NonlinearProblem p = AsNonlinear(Lcp({{1}}, {-2}, {0}, {5}));
  const auto evaluate = p.evaluate;
  p.evaluate = [evaluate](const double* x, double* f, std::vector<Triplet>* jac) {
    return x[0] <= 1 && evaluate(x, f, jac);
  };
  SetTrace(1);
  MCP* mcp = Prepare(p);
  const Pass r = Run(mcp);
  EXPECT_EQ(r.status, MCP_UNDEFINED);
  EXPECT_EQ(r.level, 2);
  EXPECT_EQ(r.changed, 0);
  EXPECT_EQ(Log(), std::string(kFixOne) + "Function undefined.\n");
  EXPECT_EQ(X(mcp), (std::vector<double>{2}));
}

// Blocks that fix variables send the level back to the forcing rows, on
// the counts and marks the fixings kept, without a recount.
TEST_F(RowPassTest, BlockFixingsRunTheForcingRowsAgainInTheSameLevel) {
  // Rows 1-2 form a block with the one solution (0.5, 1); only with x1 =
  // 0.5 is F3 = x1 + x4 + x5 - 0.25 above 0 over the box, fixing x3 = 0.
  // Rows 4 and 5 are declared nonlinear.
  const LinearProblem p = Lcp({{2, 1, 0, 0, 0},
                               {1, 2, 0, 0, 0},
                               {1, 0, 0, 1, 1},
                               {0, 0, 0, 2, 0},
                               {0, 0, 0, 0, 2}},
                              {-2, -2.5, -0.25, -1, -1}, std::vector<double>(5, 0),
                              {kInf, kInf, kInf, 1, 1});
  SetTrace(2);
  MCP* mcp = Prepare(p);
  MarkNonlinear(mcp, {4, 5});
  const Pass r = Run(mcp);
  EXPECT_EQ(r.status, MCP_CONTINUE);
  EXPECT_EQ(r.level, 2);
  EXPECT_EQ(adapter().function_calls, 1);
  EXPECT_EQ(Lower(mcp), (std::vector<double>{0.5, 1, 0, 0, 0}));
  EXPECT_EQ(Upper(mcp), (std::vector<double>{0.5, 1, 0, 1, 1}));
  const std::string log = Log();
  const size_t first = log.find("MCPR: Level:  1 Linear Rows:    3\n");
  const size_t blocks = log.find("MCPR: One:    0 Two:    2 Thr:    0 Qua:    0 WBd:    0 Fix:    0");
  const size_t again = log.find("MCPR: Level:  1 Linear Rows:    1\n");
  const size_t forced = log.find("Force Row Lower Fixes Variables\n     x[    3]");
  const size_t summary = log.find(kFixOne);
  EXPECT_LT(first, blocks) << log;
  EXPECT_LT(blocks, again) << log;
  EXPECT_LT(again, forced) << log;
  EXPECT_LT(forced, summary) << log;
  EXPECT_NE(summary, std::string::npos) << log;
  EXPECT_EQ(log.find("MCPR: Level:  2"), std::string::npos) << log;
}

// With presolve_project_implied on, x takes the working point the rules
// placed every variable in; off, x keeps its values projected onto the new
// bounds. The forcing rules move the working point exactly there, so both
// give the same point; F is evaluated at it either way.
TEST_F(RowPassTest, PointAfterALevelWithAndWithoutProjection) {
  // F1 = -x1 + 1 over x1 >= 0 bounds x1 to [0, 1] (x1 reaches row 2);
  // F3 = x3 + 1 over x3 >= 0 fixes x3 = 0. Row 2 (declared nonlinear)
  // keeps x2 where it starts.
  const LinearProblem lcp =
      Lcp({{-1, 0, 0}, {1, 1, 0}, {0, 0, 1}}, {1, -1, 1}, {0, 0, 0}, {kInf, 1, kInf});
  for (bool project : {true, false}) {
    SCOPED_TRACE(project);
    SetProject(project);
    NonlinearProblem p = AsNonlinear(lcp);
    p.start = {3, 0.7, 2};
    MCP* mcp = Prepare(p);
    problem_ = lcp;
    MarkNonlinear(mcp, {2});
    const Pass r = Run(mcp);
    EXPECT_EQ(r.status, MCP_CONTINUE);
    EXPECT_EQ(r.level, 2);
    EXPECT_EQ(X(mcp), (std::vector<double>{1, 0.7, 0}));
    EXPECT_EQ(Lower(mcp), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(Upper(mcp), (std::vector<double>{1, 1, 0}));
    ExpectFCurrent(mcp);
  }
}

}  // namespace
