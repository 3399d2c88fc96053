// The two-row block rule: a pair of rows in their two variables alone,
// solved exactly; every outcome (both fixed, one fixed and the other
// bounded, one fixed, infeasible, left alone) on a small case, and a
// randomized comparison with a brute-force solve of the whole problem.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "fixtures/BoxLCP.hpp"
#include "presolve/RowBlockRig.hpp"
#include "presolve/rows/RowBlockTwo.hpp"

namespace {

const double kNone = std::numeric_limits<double>::quiet_NaN();

// Rows 1 and 2 form the block in x1, x2; row 3 is e1*x1 + e2*x2 + d3*x3 +
// c3 with x3 in [l3, u3] (by default x3 - 0.5 on [0, 1], which any x1, x2
// leave solvable), so e1 (e2) != 0 makes column 1 (2) reach out.
struct Block {
  double a11, a12, b1, a21, a22, b2;
  double lx, ux, ly, uy;
  double e1, e2;
  double d3 = 1, c3 = -0.5, l3 = 0, u3 = 1;
};

LinearProblem WithOutsideRow(const Block& b) {
  return Lcp({{b.a11, b.a12, 0}, {b.a21, b.a22, 0}, {b.e1, b.e2, b.d3}}, {b.b1, b.b2, b.c3},
             {b.lx, b.ly, b.l3}, {b.ux, b.uy, b.u3});
}

struct Case {
  const char* what;
  Block block;
  std::vector<double> saved;
  int status;
  std::int32_t two, wbd;
  double x, y;  // values fixed (kNone: not fixed)
  double ylo, yhi;  // bounds of y afterwards
  const char* line;
};

class RowBlockTwoTest : public RowBlockRig {
 protected:
  // Gathers the block of row 1 and runs the rule on it.
  int Run(MCP* mcp, std::int32_t* two, std::int32_t* wbd) {
    RowBlock block;
    if (GetBlock(mcp, 1, block.rows, block.lower, block.upper, block.coef, block.constant) != 2) {
      ADD_FAILURE() << "not a 2 x 2 block";
      return -1;
    }
    *two = 0;
    *wbd = 0;
    return Row_TwoBlock(mcp, 1, block.rows, block.lower, block.upper, block.coef,
                        block.constant, two, wbd);
  }
};

TEST_F(RowBlockTwoTest, EachOutcome) {
  // F1 = y - 1, F2 = x - 1 on [0, 2]^2: (0, 2), (2, 0) and (1, 1).
  const Block three{0, 1, -1, 1, 0, -1, 0, 2, 0, 2, 1, 0};
  Block three_inside = three;
  three_inside.e1 = 0;
  // F1 = x - y + 2 on x >= 0, F2 = x on y in [0, 5]: x = 0, y in [0, 2].
  const Block range{1, -1, 2, 1, 0, 0, 0, kInf, 0, 5, 0, 1};
  Block range_y_inside = range;
  range_y_inside.e1 = 1;
  range_y_inside.e2 = 0;
  // F1 = y - 1 with x free, F2 = y - 1 on [0, 2]: y = 1, any x.
  const Block line{0, 1, -1, 0, 1, -1, -kInf, kInf, 0, 2, 0, 1};
  Block line_out = line;
  line_out.e1 = 1;
  const Case cases[] = {
      {"unique, a column reaching out", {2, 1, -2, 1, 2, -2.5, 0, kInf, 0, kInf, 1, 0}, {},
       ROW_HANDLED, 2, 0, 0.5, 1, 1, 1,
       "TwoRow Unique Fixes Variables\n     x[    1] =  5.0000e-01 (f[    1])\n"
       "     x[    2] =  1.0000e+00 (f[    2])\n"},
      {"unique, both columns inside", {2, 1, -2, 1, 2, -2.5, 0, kInf, 0, kInf, 0, 0}, {},
       ROW_HANDLED, 2, 0, 0.5, 1, 1, 1, "TwoRowCol Fixes Variables\n"},
      {"three points, a column reaching out", three, {}, ROW_CONTINUE, 0, 0, kNone, kNone, 0, 2,
       "TwoRow (f[    1], f[    2]): 3 solutions\n"},
      // The corners (0, 2) and (2, 0) are held by the y edges.
      {"three points, both inside: the y = ly one", three_inside, {}, ROW_HANDLED, 2, 0, 2, 0, 0,
       0, "TwoRowCol Fixes Variables\n     x[    1] =  2.0000e+00 (f[    1])\n"
          "     x[    2] =  0.0000e+00 (f[    2])\n"},
      {"x at its lower bound over a range of y reaching out", range, {}, ROW_HANDLED, 1, 1, 0,
       kNone, 0, 2,
       "TwoRow y Range Bounds Variables\n     x[    2] lb =  0.0000e+00 ub =  2.0000e+00 "
       "(f[    2])\nTwoRow x Lower Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n"},
      {"the same with x reaching out, y inside: y nearest the saved point", range_y_inside,
       {0, 1.25, 0},
       ROW_HANDLED, 2, 0, 0, 1.25, 1.25, 1.25, "TwoRowCol x Lower Fixes Variables\n"},
      {"y fixed on a line, x nowhere else", line, {0.75, 0, 0}, ROW_HANDLED, 2, 0, 0.75, 1, 1, 1,
       "TwoRowCol y Mid Fixes Variables\n"},
      {"y fixed on a line, x reaching out", line_out, {0.75, 0, 0}, ROW_HANDLED, 1, 0, kNone, 1,
       1, 1, "TwoRow y Mid Fixes Variables\n     x[    2] =  1.0000e+00 (f[    2])\n"},
      {"no solution", {0, 1, 1, 1, 1, 0, -kInf, 5, 0, 1, 1, 1}, {}, ROW_INFEASIBLE, 0, 0, kNone,
       kNone, 0, 1, "TwoRowInfeasible\n     f[    1]\n     f[    2]\n"},
      // F1 = y, F2 = 0: x = 0 with y in [0, 2], and y = 0 with x in [0, 1].
      {"segments in two sets, a column reaching out", {0, 1, 0, 0, 0, 0, 0, 1, 0, 2, 1, 0},
       {}, ROW_CONTINUE, 0, 0, kNone, kNone, 0, 2,
       "TwoRow (f[    1], f[    2]): Infinite solutions.\n"},
      // The root x = 1e21 lies beyond the infinite ends of x: left alone.
      {"a root beyond an infinite end", {1e-11, 1, -1e10, 0, 1, 0, -kInf, kInf, 0, 1, 1, 1}, {},
       ROW_CONTINUE, 0, 0, kNone, kNone, 0, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The notes on blocks left alone come at level 3, which also prints
    // the rows under every report.
    MCP* mcp = Ready(WithOutsideRow(c.block), c.saved, c.status == ROW_CONTINUE ? 3 : 2);
    std::int32_t two = -1, wbd = -1;
    const int status = Run(mcp, &two, &wbd);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(two, c.two);
    EXPECT_EQ(wbd, c.wbd);
    if (c.line != nullptr) {
      EXPECT_TRUE(Logged(c.line)) << Log();
    }
    const std::vector<double> lo = Lower(mcp), up = Upper(mcp), saved = Saved(mcp);
    EXPECT_EQ(lo[0] == up[0], !std::isnan(c.x));
    if (!std::isnan(c.x)) {
      EXPECT_EQ(saved[0], c.x);
    }
    if (!std::isnan(c.y)) {
      EXPECT_EQ(saved[1], c.y);
    }
    EXPECT_EQ(lo[1], c.ylo);
    EXPECT_EQ(up[1], c.yhi);
    ExpectConsistent(mcp);
    CheckAgainstProblem(mcp, status);
  }
}

// Rows 1 and 2 are proportional (F1 = 20 F2) up to the rounding of their
// decimal data, and their constants at the working point (near 7.5 and
// 0.375) are formed from terms near 33000 in the fixed x3. Tested against
// each other on the scale of the constants alone, the two equations looked
// contradicting: the block lost its line of solutions x2 = 1/128, fixed x2
// at its lower bound, and row 4 (which needs x2 >= 1/128) was then called
// infeasible.
TEST_F(RowBlockTwoTest, ConstantsCarryTheRoundingOfTheTermsThatFormedThem) {
  const LinearProblem p =
      Lcp({{0, -960, 330000.4, 0}, {0, -48, 16500.02, 0}, {0, 0, 1, 0}, {0, 3.5, 0, 0}},
          {-32992.54, -1649.627, 0, -0.02734375}, {-448, -0.0546875, 0.1, 3.5},
          {kInf, kInf, 0.1, kInf});
  MCP* mcp = Ready(p, {0, 0, 0.1, 3.5});
  const BlockRun run = RunBlocks(mcp);
  EXPECT_NE(run.status, ROW_INFEASIBLE) << output()->log();
  ExpectConsistent(mcp);
  CheckAgainstProblem(mcp, run.status);
}

// Row 2 is the constant -3e-12, rounding that values fixed through other
// rows may leave in a row that vanishes. Taken exactly, it puts x2 at its
// upper bound 0, where row 1 has no solution; but x1 = 0, x2 = -3 (x2
// settled by row 1 rather than its own) meets both rows within the point
// tolerance. Neither the block nor row 2 alone may settle anything on that
// rounding: nothing is fixed and nothing called infeasible.
TEST_F(RowBlockTwoTest, ARowThatMayVanishSettlesNothing) {
  const LinearProblem p = Lcp({{-1, 1}, {0, 0}}, {3, -3e-12}, {-kInf, -kInf}, {0, 0});
  MCP* mcp = Ready(p, {0, 0});
  const BlockRun run = RunBlocks(mcp);
  EXPECT_EQ(run.status, ROW_CONTINUE) << output()->log();
  EXPECT_EQ(run.one + run.two, 0);
  EXPECT_EQ(Lower(mcp), p.lower);
  EXPECT_EQ(Upper(mcp), p.upper);
  ExpectConsistent(mcp);
}

// Random small-integer blocks, boxes with finite and infinite ends, with
// and without columns reaching out into a random third row (which, without
// its own variable, is an equation that a careless choice among several
// solutions breaks).
TEST_F(RowBlockTwoTest, RandomBlocksAgainstBruteForce) {
  std::mt19937 rng(20261211);
  std::uniform_int_distribution<int> coef(-1, 1), constant(-2, 2), box(0, 4), link(0, 1);
  const double lows[] = {-kInf, 0, -kInf, 0, -1};
  const double highs[] = {kInf, kInf, 0, 2, 1};
  int fixed = 0, infeasible = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    const int bx = box(rng), by = box(rng);
    Block b{double(coef(rng)), double(coef(rng)), double(constant(rng)),
            double(coef(rng)), double(coef(rng)), double(constant(rng)),
            lows[bx], highs[bx], lows[by], highs[by], double(link(rng)), double(link(rng))};
    const int b3 = box(rng);
    b.d3 = link(rng);
    b.c3 = constant(rng);
    // Without its own variable and with x3 >= 0, row 3 asks e1*x1 + e2*x2
    // + c3 >= 0 (an equation with x3 free would have no vertex solution).
    b.l3 = b.d3 == 0 ? 0 : lows[b3];
    b.u3 = b.d3 == 0 ? kInf : highs[b3];
    // Row 1 needs an entry so that the block reaches x2 through it or row 2.
    if (b.a12 == 0 && b.a21 == 0) b.a12 = 1;
    SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << b.a11 << " " << b.a12 << " "
                                    << b.b1 << " / " << b.a21 << " " << b.a22 << " " << b.b2
                                    << " box " << bx << " " << by << " links " << b.e1 << " "
                                    << b.e2);
    const std::vector<double> saved = {b.lx > -kInf ? b.lx : 0.0, b.ly > -kInf ? b.ly : 0.0, 0};
    MCP* mcp = Ready(WithOutsideRow(b), saved, 0);
    RowBlock block;
    const int k =
        GetBlock(mcp, 1, block.rows, block.lower, block.upper, block.coef, block.constant);
    if (k != 2) continue;  // row 1 alone (a12 = 0 and column 1 reached only by row 2)
    std::int32_t two = 0, wbd = 0;
    const int status = Row_TwoBlock(mcp, 1, block.rows, block.lower, block.upper, block.coef,
                                    block.constant, &two, &wbd);
    fixed += two > 0 ? 1 : 0;
    infeasible += status == ROW_INFEASIBLE ? 1 : 0;
    ExpectConsistent(mcp);
    CheckAgainstProblem(mcp, status);
    if (HasFailure()) break;
  }
  // The draw reaches the outcomes that matter.
  EXPECT_GT(fixed, 50);
  EXPECT_GT(infeasible, 5);
}

}  // namespace
