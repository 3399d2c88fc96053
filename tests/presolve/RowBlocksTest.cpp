// The block phase: block counts and the queue of candidate rows, the
// gathering of a row's block (sizes 1 to 4 and the refusals), and the
// dispatch of whole phases on small problems whose solutions are known,
// checked against the problem itself after postsolve.
#include <random>
#include <vector>

#include "presolve/Presolve_internal.hpp"
#include "presolve/RowBlockRig.hpp"

namespace {

// Rows i and i + 1 share column i + 1: a chain over five variables.
LinearProblem Chain() {
  return Lcp({{2, 1, 0, 0, 0}, {0, 2, 1, 0, 0}, {0, 0, 2, 1, 0}, {0, 0, 0, 2, 1}, {0, 0, 0, 0, 2}},
             {-1, -1, -1, -1, -1}, {0, 0, 0, 0, 0}, {kInf, kInf, kInf, kInf, kInf});
}

struct Gathered {
  int k;
  RowBlock block;
};

class RowBlocksTest : public RowBlockRig {
 protected:
  static Gathered Gather(MCP* mcp, std::int32_t row) {
    Gathered g{};
    g.k = GetBlock(mcp, row, g.block.rows, g.block.lower, g.block.upper, g.block.coef,
                   g.block.constant);
    return g;
  }

  // Marks the stored entry (row i, column j) nonlinear.
  static void SetNonlinear(MCP* mcp, std::int32_t i, std::int32_t j) {
    const PresolveView v = Presolve_View(mcp);
    for (std::int32_t p = v.ColBegin(j); p < v.ColEnd(j); ++p) {
      if (v.row[p] == i) IDenseVector_Array(MCP_PresolveEntryType(mcp))[p] = ENTRY_NONLINEAR;
    }
  }
};

TEST_F(RowBlocksTest, CountsAndQueueTakeTheShortLinearRows) {
  // Row 1 has five entries, row 2 has one below the tolerance, variable 4
  // is fixed and row 5 is not linear-marked.
  MCP* mcp = Ready(Lcp({{1, 1, 1, 1, 1}, {1e-12, 1, 0, 0, 0}, {0, 0, 1, 1, 0}, {0, 0, 0, 1, 0},
                        {0, 0, 0, 0, 1}},
                       {0, 0, 0, 0, 0}, {0, 0, 0, 3, 0}, {1, 1, 1, 3, 1}));
  EXPECT_EQ(BlockCounts(mcp), (std::vector<int>{4, 1, 1, 0, 1}));
  IDenseVector_SetValue(Row_LinearMark(), 5, 0);
  Row_FillQueue(mcp);
  EXPECT_EQ(Queue(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(PresolveQueue_Head(), 1);
}

TEST_F(RowBlocksTest, GatheringFollowsThePairingOfRowsAndVariables) {
  MCP* mcp = Ready(Chain(), {0, 0, 0, 0, 1.5}, 3);
  // Row 4 reaches x5, whose row reaches nothing new: a 2 x 2 block.
  const Gathered two = Gather(mcp, 4);
  ASSERT_EQ(two.k, 2);
  EXPECT_EQ(two.block.rows[0], 4);
  EXPECT_EQ(two.block.rows[1], 5);
  EXPECT_EQ(two.block.rows[2], 0);
  EXPECT_EQ(two.block.coef[0][0], 2.0);
  EXPECT_EQ(two.block.coef[0][1], 1.0);
  EXPECT_EQ(two.block.coef[1][0], 0.0);
  EXPECT_EQ(two.block.coef[1][1], 2.0);
  // F4 = 2 x4 + x5 - 1 at x5 = 1.5 is 0.5; less the block's terms: -1.
  EXPECT_EQ(two.block.constant[0], -1.0);
  EXPECT_EQ(two.block.constant[1], -1.0);
  EXPECT_EQ(two.block.upper[1], kInf);
  EXPECT_EQ(Log(),
            "GetBlock ( 4):  2 x  2:\n"
            "      0.0e+00 <= x[ 4] <=  1.0e+20  perp  +2.0e+00*x[ 4]  +1.0e+00*x[ 5]  -1.0e+00\n"
            "      0.0e+00 <= x[ 5] <=  1.0e+20  perp  +0.0e+00*x[ 4]  +2.0e+00*x[ 5]  -1.0e+00\n");
  EXPECT_EQ(Gather(mcp, 5).k, 1);
  EXPECT_EQ(Gather(mcp, 2).k, 4);
  // Row 1 reaches a fifth variable through the chain.
  EXPECT_EQ(Gather(mcp, 1).k, -1);
}

TEST_F(RowBlocksTest, GatheringRefusesWhatNoRuleTakes) {
  {
    SCOPED_TRACE("a block row with five entries");
    MCP* mcp = Ready(Lcp({{1, 1, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1}, {0, 0, 1, 0, 0, 0},
                          {0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 1}},
                         std::vector<double>(6, 0.0), std::vector<double>(6, 0.0),
                         std::vector<double>(6, 1.0)));
    EXPECT_EQ(Gather(mcp, 1).k, -1);
    EXPECT_EQ(Gather(mcp, 3).k, 1);
  }
  {
    SCOPED_TRACE("a block row not linear-marked, a nonlinear entry");
    MCP* mcp = Ready(Chain());
    IDenseVector_SetValue(Row_LinearMark(), 5, 0);
    EXPECT_EQ(Gather(mcp, 4).k, -2);
    EXPECT_EQ(Gather(mcp, 5).k, -2);
    SetNonlinear(mcp, 3, 4);
    EXPECT_EQ(Gather(mcp, 3).k, -3);
    // A nonlinear entry in a fixed column is outside the block.
    DenseVector_SetValue(MCP_FullLower(mcp), 4, 0.0);
    DenseVector_SetValue(MCP_FullUpper(mcp), 4, 0.0);
    EXPECT_EQ(Gather(mcp, 3).k, 1);
  }
  {
    SCOPED_TRACE("coefficients at the tolerance");
    MCP* mcp = Ready(Lcp({{1, 1e-12}, {0, 0}}, {1, 0}, {0, 0}, {1, 1}));
    const Gathered g = Gather(mcp, 1);
    EXPECT_EQ(g.k, 1);
    const Gathered empty = Gather(mcp, 2);
    EXPECT_EQ(empty.k, 1);
    EXPECT_EQ(empty.block.coef[0][0], 0.0);
  }
}

TEST_F(RowBlocksTest, APhaseWithNothingQueuedCountsNothing) {
  MCP* mcp = Ready(Chain());
  IDenseVector_FillZero(Row_LinearMark(), 5);
  Row_FillQueue(mcp);
  const BlockRun run = RunBlocks(mcp);
  EXPECT_EQ(run.status, ROW_CONTINUE);
  EXPECT_EQ(run.one + run.two + run.thr + run.qua + run.wbd, 0);
}

TEST_F(RowBlocksTest, ANonlinearEntryInALinearRowEndsThePhase) {
  MCP* mcp = Ready(Chain());
  SetNonlinear(mcp, 1, 2);
  EXPECT_EQ(RunBlocks(mcp).status, ROW_CANNOT);
}

TEST_F(RowBlocksTest, FourRowBlocksAreLeftAlone) {
  // Rows 1-4 form a block of four; row 5 is alone.
  MCP* mcp = Ready(Lcp({{2, 1, 0, 0, 0}, {0, 2, 1, 0, 0}, {0, 0, 2, 1, 0}, {1, 0, 0, 2, 0},
                        {0, 0, 0, 0, 0}},
                       {-1, -1, -1, -1, 1}, std::vector<double>(5, 0.0),
                       std::vector<double>(5, kInf)));
  const BlockRun run = RunBlocks(mcp);
  EXPECT_EQ(run.status, ROW_CONTINUE);
  EXPECT_EQ(run.qua, 0);
  EXPECT_EQ(run.one, 1);  // x5 = 0: the one row with F5 = 1
  for (int i = 0; i < 4; ++i) EXPECT_NE(Lower(mcp)[i], Upper(mcp)[i]);
  ExpectConsistent(mcp);
}

// Whole phases on problems with known answers: what fires, the point the
// rules leave, and the original problem solved after postsolve.
struct PhaseCase {
  const char* what;
  LinearProblem problem;
  std::vector<double> saved;
  BlockRun run;
  std::vector<double> fixed;  // the working point after the phase
  std::vector<const char*> lines;
};

TEST_F(RowBlocksTest, PhasesOnProblemsWithKnownAnswers) {
  const LinearProblem b = Lcp({{2, 1, 0}, {1, 2, 0}, {1, 0, -1}}, {-2, -2.5, 1}, {0, 0, 0},
                              {kInf, kInf, 2});
  const LinearProblem b4 = Lcp({{2, 1, 0, 0}, {1, 2, 0, 0}, {1, 0, -1, 0}, {0, 0, 1, 1}},
                               {-2, -2.5, 1, -1}, {0, 0, 0, 0}, {kInf, kInf, 2, kInf});
  const LinearProblem c = Lcp({{1, -1, 0}, {1, 0, 0}, {0, 1, 1}}, {2, 0, -1}, {0, 0, 0},
                              {kInf, 5, kInf});
  const PhaseCase cases[] = {
      {"a unique pair, then a row alone with three points", b, {},
       {ROW_CONTINUE, 1, 2, 0, 0, 0}, {0.5, 1, 0},
       {"TwoRow Unique Fixes Variables\n     x[    1] =  5.0000e-01 (f[    1])\n"
        "     x[    2] =  1.0000e+00 (f[    2])\n",
        "OneRowCol Fixes Variables\n     x[    3] =  0.0000e+00 (f[    3])\n"}},
      {"the same with a saved point halfway between two of the points", b, {0, 0, 1.75},
       {ROW_CONTINUE, 1, 2, 0, 0, 0}, {0.5, 1, 1.5},
       {"OneRowCol Fixes Variables\n     x[    3] =  1.5000e+00 (f[    3])\n"}},
      {"a row with three points reaching out, then a pair inside", b4, {},
       {ROW_CONTINUE, 0, 4, 0, 0, 0}, {0.5, 1, 1.5, 0},
       {"OneRow (f[    3]): Antitone: (x[    3]) has 3 solutions.\n",
        "TwoRowCol Fixes Variables\n     x[    4] =  0.0000e+00 (f[    4])\n"
        "     x[    3] =  1.5000e+00 (f[    3])\n"}},
      {"a range, then a pair inside", c, {},
       {ROW_CONTINUE, 0, 3, 0, 0, 1}, {0, 1, 0},
       {"TwoRow y Range Bounds Variables\n     x[    2] lb =  0.0000e+00 ub =  2.0000e+00 "
        "(f[    2])\n",
        "TwoRow x Lower Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n",
        "TwoRowCol Fixes Variables\n     x[    3] =  0.0000e+00 (f[    3])\n"
        "     x[    2] =  1.0000e+00 (f[    2])\n"}},
  };
  for (const PhaseCase& pc : cases) {
    SCOPED_TRACE(pc.what);
    MCP* mcp = Ready(pc.problem, pc.saved, 2);
    const BlockRun run = RunBlocks(mcp, 3);
    EXPECT_EQ(run.status, pc.run.status);
    EXPECT_EQ(run.one, pc.run.one);
    EXPECT_EQ(run.two, pc.run.two);
    EXPECT_EQ(run.wbd, pc.run.wbd);
    EXPECT_EQ(Saved(mcp), pc.fixed);
    for (const char* line : pc.lines) EXPECT_TRUE(Logged(line)) << line << "\n" << Log();
    EXPECT_EQ(PresolveQueue_Count(), 0);
    ExpectConsistent(mcp);
    EXPECT_TRUE(Solves(original_, pc.fixed));
    EXPECT_TRUE(SolveRestAndPostsolve(mcp));
  }
}

// Random sparse problems of five variables through whole phases: the
// phase never gives up, keeps its counts, reports infeasibility only for
// problems without a solution, and leaves a problem whose solution
// postsolves to a solution of the original one.
TEST_F(RowBlocksTest, RandomPhasesAgainstBruteForce) {
  std::mt19937 rng(1211);
  std::uniform_int_distribution<int> coef(-2, 2), constant(-3, 3), box(0, 4), column(0, 4),
      extra(0, 2);
  const double lows[] = {-kInf, 0, -kInf, 0, -1};
  const double highs[] = {kInf, kInf, 0, 2, 1};
  constexpr int n = 5;
  int reduced = 0, infeasible = 0;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::vector<double>> rows(n, std::vector<double>(n, 0.0));
    std::vector<double> q(n), l(n), u(n);
    for (int i = 0; i < n; ++i) {
      rows[i][i] = coef(rng);
      for (int e = extra(rng); e > 0; --e) rows[i][column(rng)] = coef(rng);
      q[i] = constant(rng);
      const int b = box(rng);
      l[i] = lows[b];
      u[i] = highs[b];
    }
    SCOPED_TRACE(testing::Message() << "trial " << trial);
    MCP* mcp = Ready(Lcp(rows, q, l, u), {}, 0);
    const BlockRun run = RunBlocks(mcp);
    ASSERT_TRUE(run.status == ROW_CONTINUE || run.status == ROW_INFEASIBLE) << run.status;
    EXPECT_EQ(run.qua, 0);
    reduced += run.one + run.two + run.wbd > 0 ? 1 : 0;
    infeasible += run.status == ROW_INFEASIBLE ? 1 : 0;
    ExpectConsistent(mcp);
    const bool solvable = !BruteForce(original_).empty();
    if (run.status == ROW_INFEASIBLE) {
      EXPECT_FALSE(solvable);
    } else {
      EXPECT_EQ(PresolveQueue_Count(), 0);
    }
    if (solvable) {
      EXPECT_TRUE(SolveRestAndPostsolve(mcp));
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(reduced, 100) << reduced;
  EXPECT_GT(infeasible, 10) << infeasible;
}

}  // namespace
