// Three-row blocks on the problem: a block gathered from a small LCP is
// handed to Row_ThreeBlock; the fixes and bound steps it makes keep the
// presolve's counts and F consistent, the rest of the problem solved by
// brute force and put back through postsolve solves the original problem,
// an infeasible block is reported with nothing changed, and a block that
// cannot be settled in finite values is left as it is. Whole solves with
// the presolve on and off both end at solutions.
#include <cmath>
#include <string>
#include <vector>

#include "presolve/RowBlockRig.hpp"
#include "presolve/rows/RowThree.hpp"

namespace {

constexpr double F = kInf;

class RowThreeBlockTest : public RowBlockRig {
 protected:
  // Gathers the block of row (it must have three rows) and hands it to
  // Row_ThreeBlock at level 1.
  int RunBlock(MCP* mcp, int row) {
    std::int32_t rows[4];
    double lower[4], upper[4], coef[4][4], constant[4];
    EXPECT_EQ(GetBlock(mcp, row, rows, lower, upper, coef, constant), 3);
    return Row_ThreeBlock(mcp, 1, rows, lower, upper, coef, constant, &thr_, &wbd_);
  }

  std::int32_t thr_ = 0;
  std::int32_t wbd_ = 0;
};

struct BlockCase {
  const char* what;
  LinearProblem problem;
  int row;                     // the row the block is gathered for
  int status;
  int thr, wbd;                // counters after the rule
  std::vector<std::string> lines;  // in the log (trace level 3)
  std::vector<double> fixed;   // values fixed (NaN: not fixed)
};

std::vector<BlockCase> Cases() {
  const double no = NAN;
  return {
      {"coherent block, x1 at its bound",
       Lcp({{4, -1, 0}, {-1, 4, -1}, {0, -1, 4}}, {2, -3, -3}, {0, 0, 0}, {F, F, F}), 1,
       ROW_HANDLED, 3, 0,
       {"ThrRow Coherent Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n"},
       {0, 1, 1}},
      // Block (x1, x3, x2) goes to the equation rule with x3 eliminated;
      // x1 reaches row 4, x2 and x3 stay inside: all three fixed.
      {"one equation, x at its lower bound",
       Lcp({{1, 0, 1, 0}, {0, 1, -1, 0}, {1, 1, 1, 0}, {1, 0, 0, 1}}, {-1, 0, -2, -1},
           {0, 0, -F, 0}, {F, F, F, F}),
       1, ROW_HANDLED, 3, 0, {"ThrRowEqn x Lower Fixes Variables\n"}, {0, 1, 1, no}},
      // x1 = 0 on every solution, x2 anywhere in [0, 2] and read by row 4:
      // x2's bounds become [0, 2], x1 and x3 are fixed.
      {"one equation, the partner bounded",
       Lcp({{1, -1, 0, 0}, {1, 0, 0, 0}, {-1, 0, 1, 0}, {0, 1, 0, 1}}, {2, 0, 0, -1},
           {0, 0, -F, 0}, {F, 5, F, F}),
       3, ROW_HANDLED, 2, 1,
       {"ThrRowEqn y Range Bounds Variables\n", "ThrRowEqn x,z Lower Fixes Variables\n"},
       {0, no, 0, no}},
      // Three solutions x1 in {0, 1, 2}; x1 reaches row 4: nothing chosen.
      {"one equation, several solutions",
       Lcp({{-1, 0, 0, 0}, {0, 1, 0, 0}, {-1, -1, 1, 0}, {1, 0, 0, 1}}, {1, 0, 0, -1},
           {0, 0, -F, 0}, {2, F, F, F}),
       3, ROW_CONTINUE, 0, 0,
       {"Solve Two: xl = 0, xu = 0, yl = 3, yu = 0, eq = 0\n",
        "ThrRowEqn (f[    1], f[    2], f[    3]): 3 solutions\n"},
       {no, no, no, no}},
      {"two coupled equations",
       Lcp({{1, 1, 1}, {-1, 0, 1}, {0, 1, 0}}, {-3, 0, -1}, {0, -F, -F}, {F, F, F}), 1,
       ROW_HANDLED, 3, 0, {"ThrRowEqnTwo Unique Fixes Variables\n"}, {1, 1, 1}},
      {"two equations in x3 alone",
       Lcp({{0, 0, 1}, {0, 0, 1}, {1, 1, 1}}, {-2, -2, -1}, {-F, -F, 0}, {F, F, F}), 1,
       ROW_HANDLED, 3, 0, {"ThrRowEqnZer Col Fixes Variables\n"}, {0, -1, 2}},
      // Row 1 reads -1 on [0, infinity): no x1 solves it.
      {"two coupled equations, no solution",
       Lcp({{0, 0, 0}, {1, 0, 1}, {0, 1, 0}}, {-1, -1, -2}, {0, -F, -F}, {F, F, F}), 2,
       ROW_INFEASIBLE, 0, 0, {"ThrRowEqnTwoInfeasible\n"}, {no, no, no}},
      // Row 3 would set x2 = -(2e10 - 1)/1e-11, beyond infinity, although
      // x1 can take the slack: the block is left alone, not called
      // infeasible.
      {"a value beyond infinity",
       Lcp({{0, 0, 1}, {0, 0, 1}, {1, 1e-11, 1e10}}, {-2, -2, -1}, {-F, -F, 0}, {F, F, F}), 1,
       ROW_CONTINUE, 0, 0, {}, {no, no, no}},
      // Coherent, but the solution x1 = 1e25 lies beyond infinity.
      {"coherent block without a finite solution",
       Lcp({{1, 0.1, 0}, {0, 1, 0.1}, {0.1, 0, 1}}, {-1e25, 1, 1}, {0, 0, 0}, {F, F, F}), 1,
       ROW_CONTINUE, 0, 0, {}, {no, no, no}},
  };
}

TEST_F(RowThreeBlockTest, EachRuleReducesTheProblemSoThatPostsolveSolvesIt) {
  for (const BlockCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    thr_ = wbd_ = 0;
    MCP* mcp = Ready(c.problem, {}, 3);
    const int records = Records(mcp);
    EXPECT_EQ(RunBlock(mcp, c.row), c.status);
    EXPECT_EQ(thr_, c.thr);
    EXPECT_EQ(wbd_, c.wbd);
    EXPECT_EQ(Records(mcp), records + c.thr + c.wbd);
    for (const std::string& line : c.lines) EXPECT_TRUE(Logged(line)) << line << "\n" << Log();
    if (c.status == ROW_CONTINUE) {
      EXPECT_EQ(Log().find("Variables"), std::string::npos) << Log();
    }
    const std::vector<double> lo = Lower(mcp), up = Upper(mcp);
    for (size_t j = 0; j < c.fixed.size(); ++j) {
      if (std::isnan(c.fixed[j])) {
        EXPECT_NE(lo[j], up[j]) << "x" << j + 1 << " fixed";
      } else {
        EXPECT_EQ(lo[j], up[j]) << "x" << j + 1 << " not fixed";
        EXPECT_NEAR(lo[j], c.fixed[j], 1e-12) << "x" << j + 1;
      }
    }
    if (c.status == ROW_HANDLED) ExpectConsistent(mcp);
    if (c.status != ROW_HANDLED) {
      EXPECT_EQ(lo, c.problem.lower);
      EXPECT_EQ(up, c.problem.upper);
    }
    if (c.status == ROW_INFEASIBLE) {
      EXPECT_TRUE(BruteForce(Dense(c.problem)).empty());
    } else if (c.status == ROW_HANDLED) {
      EXPECT_TRUE(SolveRestAndPostsolve(mcp));
    }
  }
}

TEST_F(RowThreeBlockTest, WholeSolvesWithAndWithoutPresolveEndAtSolutions) {
  for (const BlockCase& c : Cases()) {
    if (c.status != ROW_HANDLED) continue;
    SCOPED_TRACE(c.what);
    const DenseLcp dense = Dense(c.problem);
    for (int presolve : {0, 1}) {
      Presolve_OptionTable[PRESOLVE].bool_value = presolve;
      std::vector<double> z;
      EXPECT_EQ(SolveWhole(c.problem, &z), 1) << "presolve " << presolve << "\n" << Log();
      EXPECT_TRUE(Solves(dense, z)) << "presolve " << presolve;
    }
  }
}

}  // namespace
