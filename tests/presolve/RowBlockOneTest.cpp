// The one-row block rule: a row in its own variable alone, a*x + b perp
// l <= x <= u, fixed where its solution is unique, chosen nearest to the
// saved point where x reaches no other row, reported infeasible where no x
// solves it, otherwise left alone. Every outcome is checked against the
// problem: a fix keeps a solution of the whole problem, an infeasible
// report means none exists.
#include <cmath>
#include <limits>

#include "fixtures/BoxLCP.hpp"
#include "presolve/RowBlockRig.hpp"
#include "presolve/rows/RowBlockOne.hpp"

namespace {

const double kNone = std::numeric_limits<double>::quiet_NaN();

struct Case {
  const char* what;
  double a, b;  // row 1: a*x1 + b
  double c;     // row 2: c*x1 + x2 - 0.5, x2 in [0, 1]: c != 0 puts x1 in another row
  double l, u;
  double saved;  // saved x1
  int trace;
  int status;
  double value;  // x1 fixed there, or kNone
  const char* line;
};

class RowBlockOneTest : public RowBlockRig {
 protected:
  int Run(const Case& c, MCP** out) {
    const LinearProblem p = Lcp({{c.a, 0}, {c.c, 1}}, {c.b, -0.5}, {c.l, 0}, {c.u, 1});
    MCP* mcp = Ready(p, {c.saved, 0.5}, c.trace);
    *out = mcp;
    RowBlock block;
    EXPECT_EQ(GetBlock(mcp, 1, block.rows, block.lower, block.upper, block.coef, block.constant),
              1);
    std::int32_t one = 0, wbd = 0;
    const int status = Row_OneBlock(mcp, 1, block.rows, block.lower, block.upper, block.coef,
                                    block.constant, &one, &wbd);
    EXPECT_EQ(one, std::isnan(c.value) ? 0 : 1);
    EXPECT_EQ(wbd, 0);
    return status;
  }
};

TEST_F(RowBlockOneTest, EachShapeOfTheSolutionSet) {
  const Case cases[] = {
      {"rising: unique inside", 2, -2, 1, 0, 5, 0, 2, ROW_HANDLED, 1.0,
       "OneRow Unique Fixes Variables\n     x[    1] =  1.0000e+00 (f[    1])\n"},
      {"rising: unique at a bound", 2, 4, 1, 0, 5, 3, 2, ROW_HANDLED, 0.0, nullptr},
      {"falling, three points, x alone: nearest", -1, 2, 0, 0, 5, 2.5, 2, ROW_HANDLED, 2.0,
       "OneRowCol Fixes Variables\n     x[    1] =  2.0000e+00 (f[    1])\n"},
      {"falling, tie below the middle: lower point", -1, 2, 0, 0, 4, 1, 2, ROW_HANDLED, 0.0,
       nullptr},
      {"falling, tie above the middle: lower point", -1, 2, 0, 0, 4, 3, 2, ROW_HANDLED, 2.0,
       nullptr},
      {"falling, three points, x reaches out", -1, 2, 1, 0, 5, 0, 2, ROW_CONTINUE, kNone,
       "OneRow (f[    1]): Antitone: (x[    1]) has 3 solutions.\n"},
      {"falling, three points, long note", -1, 2, 1, 0, 5, 0, 3, ROW_CONTINUE, kNone,
       "OneRow (f[    1]): Antitone:\n  0.0000e+00 <= (x[    1]) <= 5.0000e+00  perp  "
       "-1.0000e+00*x + 2.0000e+00  -->  (x[    1]) = 0.0000e+00 or 2.0000e+00 or 5.0000e+00\n"},
      {"falling, two points, long note", -1, 0, 1, 0, 5, 0, 3, ROW_CONTINUE, kNone,
       "  -->  (x[    1]) = 0.0000e+00 or 5.0000e+00\n"},
      {"vanishing row, x nowhere else: saved value", 0, 0, 0, 0, 5, 3.5, 2, ROW_HANDLED, 3.5,
       "ZerRowCol Fixes Variables\n"},
      {"vanishing row, x nowhere else: nearer end", 0, 0, 0, -1, 2, 3.5, 2, ROW_HANDLED, 2.0,
       nullptr},
      {"vanishing row, x reaches out", 0, 0, 1, 0, 5, 3, 2, ROW_CONTINUE, kNone, nullptr},
      // A constant within rounding of 0 may stand for a row that vanishes:
      // x goes to the bound its sign points to only where no other row
      // depends on x.
      {"constant row within rounding, x reaches out", 0, -3e-12, 1, -kInf, 0, -1, 2,
       ROW_CONTINUE, kNone, nullptr},
      {"constant row within rounding, x nowhere else", 0, -3e-12, 0, -kInf, 0, -1, 2,
       ROW_HANDLED, 0.0, "OneRow Unique Fixes Variables\n"},
      {"constant row beyond rounding, x reaches out", 0, -1e-6, 1, -kInf, 0, -1, 2,
       ROW_HANDLED, 0.0, "OneRow Unique Fixes Variables\n"},
      {"constant row, no bound to go to", 0, 1, 1, -kInf, 5, 0, 0, ROW_INFEASIBLE, kNone,
       "OneRowInfeasible\n     f[    1]\n"},
      {"falling, nothing solves", -1, -1, 1, 0, kInf, 0, 0, ROW_INFEASIBLE, kNone,
       "OneRowInfeasible\n     f[    1]\n"},
      // A root through a small coefficient is known only to the rounding of
      // the row's terms (here at a start 1e6 away) over it: a coefficient
      // 3.5e5 in row 2 would carry that past the point tolerance, so the
      // row is left to the solver; an exact root beside a large
      // coefficient is fixed.
      {"root through a small coefficient, magnified elsewhere", 7e-3, -1.75e-2, 3.5e5, 0, 5,
       1e6, 2, ROW_CONTINUE, kNone, nullptr},
      {"exact root beside a large coefficient elsewhere", 3, 3, 6e6, -5, 5, 0, 2, ROW_HANDLED,
       -1.0, "OneRow Unique Fixes Variables\n"},
      // The root -b/a = 1e21 lies beyond the infinite upper bound: the row
      // is left to the solver rather than fixed at a value no box holds.
      {"root beyond an infinite end", 1e-11, -1e10, 1, 0, kInf, 0, 2, ROW_CONTINUE, kNone,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = nullptr;
    const int status = Run(c, &mcp);
    EXPECT_EQ(status, c.status);
    if (c.line != nullptr) {
      EXPECT_TRUE(Logged(c.line)) << Log();
    }
    const bool fixed = Lower(mcp)[0] == Upper(mcp)[0];
    EXPECT_EQ(fixed, !std::isnan(c.value));
    if (fixed) {
      EXPECT_EQ(Saved(mcp)[0], c.value);
      EXPECT_EQ(Top(mcp).kind, PRESOLVE_KIND_BOUND);
      EXPECT_EQ(Top(mcp).second_index, 1);
    }
    ExpectConsistent(mcp);
    CheckAgainstProblem(mcp, status);
  }
}

}  // namespace
