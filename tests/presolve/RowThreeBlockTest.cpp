// Three-row blocks on the problem: a block gathered from a small LCP is
// handed to Row_ThreeBlock; the fixes and bound steps it makes keep the
// presolve's counts and F consistent, the rest of the problem solved by
// brute force and put back through postsolve solves the original problem,
// an infeasible block is reported with nothing changed, and a block that
// cannot be settled in finite values is left as it is. Whole solves with
// the presolve on (the row pass reaching the three-row rules) and off both
// end at solutions.
#include <algorithm>
#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "presolve/RowBlockRig.hpp"
#include "presolve/rows/RowThree.hpp"
#include "presolve/rows/RowThreeArgs.hpp"

namespace {

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

// No point of a fine grid over each face of the block (every variable at
// a finite bound or inside within [-8, 8]) solves it; faces with one or two
// inside variables are solved for them exactly when they are determined.
bool BlockHasNoSolution(const ThreeRowArgs& blk) {
  const auto solves = [&](const double p[3]) {
    for (int i = 0; i < 3; ++i) {
      const double f = blk.a[i][0] * p[0] + blk.a[i][1] * p[1] + blk.a[i][2] * p[2] + blk.b[i];
      if (p[i] < blk.lower[i] - 1e-9 || p[i] > blk.upper[i] + 1e-9) return false;
      const bool atL = std::fabs(p[i] - blk.lower[i]) <= 1e-9;
      const bool atU = std::fabs(p[i] - blk.upper[i]) <= 1e-9;
      if (!(std::fabs(f) <= 1e-9 || (atL && f >= -1e-9) || (atU && f <= 1e-9))) return false;
    }
    return true;
  };
  // Candidate values per variable: its finite bounds and a grid of halves
  // and thirds.
  std::vector<double> grid[3];
  for (int j = 0; j < 3; ++j) {
    for (int k = -48; k <= 48; ++k) {
      grid[j].push_back(k / 6.0);
    }
    if (std::fabs(blk.lower[j]) < kInf) grid[j].push_back(blk.lower[j]);
    if (std::fabs(blk.upper[j]) < kInf) grid[j].push_back(blk.upper[j]);
  }
  for (double x : grid[0]) {
    for (double y : grid[1]) {
      for (double z : grid[2]) {
        const double p[3] = {x, y, z};
        if (solves(p)) return false;
      }
    }
  }
  return true;
}

struct BlockCase {
  const char* what;
  LinearProblem problem;
  int row;  // the row the block is gathered for
  int status;
  int thr, wbd;                    // counters after the rule
  std::vector<std::string> lines;  // in the log (trace level 3)
  std::vector<double> fixed;       // values fixed (NaN: not fixed)
};

// clang-format off
std::vector<BlockCase> Cases() {
  const double no = NAN;
  const double I = kInf;  // an infinite bound
  return {
      {"coherent block, x1 at its bound",
       Lcp({{4, -1, 0}, {-1, 4, -1}, {0, -1, 4}}, {2, -3, -3}, {0, 0, 0}, {I, I, I}), 1,
       ROW_HANDLED, 3, 0,
       {"ThrRow Coherent Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n"},
       {0, 1, 1}},
      // Block (x1, x3, x2) goes to the equation rule with x3 eliminated;
      // x1 reaches row 4, x2 and x3 stay inside: all three fixed.
      {"one equation, x at its lower bound",
       Lcp({{1, 0, 1, 0}, {0, 1, -1, 0}, {1, 1, 1, 0}, {1, 0, 0, 1}}, {-1, 0, -2, -1},
           {0, 0, -I, 0}, {I, I, I, I}),
       1, ROW_HANDLED, 3, 0, {"ThrRowEqn x Lower Fixes Variables\n"}, {0, 1, 1, no}},
      // x1 = 0 on every solution, x2 anywhere in [0, 2] and read by row 4:
      // x2's bounds become [0, 2], x1 and x3 are fixed.
      {"one equation, the partner bounded",
       Lcp({{1, -1, 0, 0}, {1, 0, 0, 0}, {-1, 0, 1, 0}, {0, 1, 0, 1}}, {2, 0, 0, -1},
           {0, 0, -I, 0}, {I, 5, I, I}),
       3, ROW_HANDLED, 2, 1,
       {"ThrRowEqn y Range Bounds Variables\n", "ThrRowEqn x,z Lower Fixes Variables\n"},
       {0, no, 0, no}},
      // Three solutions x1 in {0, 1, 2}; x1 reaches row 4: nothing chosen.
      {"one equation, several solutions",
       Lcp({{-1, 0, 0, 0}, {0, 1, 0, 0}, {-1, -1, 1, 0}, {1, 0, 0, 1}}, {1, 0, 0, -1},
           {0, 0, -I, 0}, {2, I, I, I}),
       3, ROW_CONTINUE, 0, 0,
       {"Solve Two: xl = 0, xu = 0, yl = 3, yu = 0, eq = 0\n",
        "ThrRowEqn (f[    1], f[    2], f[    3]): 3 solutions\n"},
       {no, no, no, no}},
      {"two coupled equations",
       Lcp({{1, 1, 1}, {-1, 0, 1}, {0, 1, 0}}, {-3, 0, -1}, {0, -I, -I}, {I, I, I}), 1,
       ROW_HANDLED, 3, 0, {"ThrRowEqnTwo Unique Fixes Variables\n"}, {1, 1, 1}},
      {"two equations in x3 alone",
       Lcp({{0, 0, 1}, {0, 0, 1}, {1, 1, 1}}, {-2, -2, -1}, {-I, -I, 0}, {I, I, I}), 1,
       ROW_HANDLED, 3, 0, {"ThrRowEqnZer Col Fixes Variables\n"}, {0, -1, 2}},
      // Row 1 reads -1 on [0, infinity): no x1 solves it.
      {"two coupled equations, no solution",
       Lcp({{0, 0, 0}, {1, 0, 1}, {0, 1, 0}}, {-1, -1, -2}, {0, -I, -I}, {I, I, I}), 2,
       ROW_INFEASIBLE, 0, 0, {"ThrRowEqnTwoInfeasible\n"}, {no, no, no}},
      // Row 3 fixes x1 = 2; row 2, x2's equation, is left with the fixed
      // x4 alone and reads 1: no solution, although x2 and x3 could absorb
      // row 1.
      {"equation in x1 alone with the other equation a non-zero constant",
       Lcp({{1, 1, 1, 0}, {0, 0, 0, 1}, {1, 0, 0, 0}, {0, 0, 0, 1}}, {0, 0, -2, 0},
           {0, -I, -I, 1}, {5, I, I, 1}),
       1, ROW_INFEASIBLE, 0, 0, {"ThrRowEqnZerInfeasible\n"}, {no, no, no, 1}},
      // Row 3 would set x2 = -(2e10 - 1)/1e-11, beyond infinity, although
      // x1 can take the slack: the block is left alone, not called
      // infeasible.
      {"a value beyond infinity",
       Lcp({{0, 0, 1}, {0, 0, 1}, {1, 1e-11, 1e10}}, {-2, -2, -1}, {-I, -I, 0}, {I, I, I}), 1,
       ROW_CONTINUE, 0, 0, {}, {no, no, no}},
      // Coherent, but the solution x1 = 1e25 lies beyond infinity.
      {"coherent block without a finite solution",
       Lcp({{1, 0.1, 0}, {0, 1, 0.1}, {0.1, 0, 1}}, {-1e25, 1, 1}, {0, 0, 0}, {I, I, I}), 1,
       ROW_CONTINUE, 0, 0, {}, {no, no, no}},
  };
}
// clang-format on

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
  int reached = 0;  // solves in which the row pass used a three-row rule
  for (const BlockCase& c : Cases()) {
    if (c.status != ROW_HANDLED) continue;
    SCOPED_TRACE(c.what);
    const DenseLcp dense = Dense(c.problem);
    for (int presolve : {0, 1}) {
      Presolve_OptionTable[PRESOLVE].bool_value = presolve;
      std::vector<double> z;
      output()->Clear();
      EXPECT_EQ(SolveWhole(c.problem, &z), 1) << "presolve " << presolve << "\n" << Log();
      EXPECT_TRUE(Solves(dense, z)) << "presolve " << presolve;
      if (presolve && std::regex_search(Log(), std::regex("MCPR: .* Thr: +[1-9]"))) ++reached;
    }
  }
  // All but the block that the two-row rule settles first.
  EXPECT_GE(reached, 4);
}

// A random problem of four variables: rows 1-3 a block of small integers
// (free, half-bounded and boxed variables; row 1 reaches all three), row 4
// reading the block's columns at random and taking any slack through
// x4 >= 0.
LinearProblem RandomProblem(std::mt19937* rng) {
  const double lows[5] = {-kInf, 0, 0, -kInf, -1};
  const double highs[5] = {kInf, kInf, 2, 1, 1};
  const double coefs[7] = {-2, -1, 0, 0, 1, 1, 2};
  auto pick = [rng](int n) { return static_cast<int>((*rng)() % static_cast<unsigned>(n)); };
  std::vector<std::vector<double>> m(4, std::vector<double>(4, 0.0));
  std::vector<double> q(4), l(4), u(4);
  for (int i = 0; i < 3; ++i) {
    const int kind = pick(3) == 0 ? 0 : pick(5);
    l[i] = lows[kind];
    u[i] = highs[kind];
    q[i] = 0.5 * (pick(7) - 3);
    for (int j = 0; j < 3; ++j) m[i][j] = coefs[pick(7)];
    m[3][i] = pick(2) == 0 ? 0.0 : coefs[pick(7)];
  }
  if (m[0][1] == 0) m[0][1] = 1;
  if (m[1][2] == 0) m[1][2] = -1;
  m[3][3] = 1;
  q[3] = 0;
  l[3] = 0;
  u[3] = kInf;
  return Lcp(m, q, l, u);
}

// Random blocks of three rows inside a four-variable problem: row 4 reads
// the block's columns at random (so they reach outside) and takes any
// slack through x4 >= 0. Whatever the rule does must keep the counts and F
// consistent; a reported infeasibility must be real (no solution of the
// block, checked on a grid of its solution faces); a block whose three
// variables were fixed leaves a rest that postsolve turns into a solution
// of the original problem.
TEST_F(RowThreeBlockTest, RandomBlocksInsideALargerProblemStaySolvable) {
  std::mt19937 rng(1211);
  int fixed = 0, infeasible = 0;
  for (int trial = 0; trial < 1500 && !HasFailure(); ++trial) {
    const LinearProblem p = RandomProblem(&rng);
    SCOPED_TRACE("trial " + std::to_string(trial));
    thr_ = wbd_ = 0;
    MCP* mcp = Ready(p, {}, -1);
    std::int32_t rows[4];
    double lower[4], upper[4], coef[4][4], constant[4];
    ASSERT_EQ(GetBlock(mcp, 1, rows, lower, upper, coef, constant), 3);
    const int status = Row_ThreeBlock(mcp, 1, rows, lower, upper, coef, constant, &thr_, &wbd_);
    if (status == ROW_INFEASIBLE) {
      ++infeasible;
      // The block alone, in its own rows, has no solution at all.
      ThreeRowArgs blk;
      for (int i = 0; i < 3; ++i) {
        blk.var[i] = rows[i];
        blk.lower[i] = lower[i];
        blk.upper[i] = upper[i];
        blk.b[i] = constant[i];
        for (int j = 0; j < 3; ++j) blk.a[i][j] = coef[i][j];
      }
      EXPECT_TRUE(BlockHasNoSolution(blk));
      continue;
    }
    ASSERT_TRUE(status == ROW_HANDLED || status == ROW_CONTINUE) << status;
    ExpectConsistent(mcp);
    if (thr_ == 3) {
      ++fixed;
      EXPECT_TRUE(SolveRestAndPostsolve(mcp));
    }
  }
  EXPECT_GT(fixed, 300);
  EXPECT_GT(infeasible, 50);
}

// The same problems solved whole with the presolve on and off: a problem
// solved without the presolve is solved with it, every point reported
// solved solves the problem, and a presolve that calls a problem
// infeasible is right.
TEST_F(RowThreeBlockTest, RandomProblemsSolvedWholeWithAndWithoutPresolve) {
  std::mt19937 rng(2026);
  int infeasible = 0;
  int reached = 0;  // solves in which the row pass used a three-row rule
  for (int trial = 0; trial < 300 && !HasFailure(); ++trial) {
    const LinearProblem p = RandomProblem(&rng);
    const DenseLcp dense = Dense(p);
    SCOPED_TRACE("trial " + std::to_string(trial));
    int codes[2];
    for (int presolve : {0, 1}) {
      Presolve_OptionTable[PRESOLVE].bool_value = presolve;
      std::vector<double> z;
      output()->Clear();
      codes[presolve] = SolveWhole(p, &z);
      if (presolve && std::regex_search(Log(), std::regex("MCPR: .* Thr: +[1-9]"))) ++reached;
      if (codes[presolve] == 1) {
        EXPECT_TRUE(Solves(dense, z, 1e-6)) << "presolve " << presolve;
      }
    }
    if (codes[0] == 1) {
      EXPECT_EQ(codes[1], 1) << Log();
    }
    if (codes[1] == 7 || codes[1] == 9) {
      // Row 4 takes any slack, so the problem is infeasible exactly when
      // its block of rows 1-3 is.
      ThreeRowArgs blk;
      for (int i = 0; i < 3; ++i) {
        blk.var[i] = i + 1;
        blk.lower[i] = dense.l[i];
        blk.upper[i] = dense.u[i];
        blk.b[i] = dense.q[i];
        for (int j = 0; j < 3; ++j) blk.a[i][j] = dense.m[i * 4 + j];
      }
      EXPECT_TRUE(BlockHasNoSolution(blk)) << Log();
      ++infeasible;
    }
  }
  EXPECT_GT(infeasible, 10);
  EXPECT_GT(reached, 100);
}

}  // namespace
