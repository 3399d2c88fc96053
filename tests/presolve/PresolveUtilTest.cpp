// Presolve utilities: tolerant comparisons, bound and value changes with
// their records, the active-entry finders and the activity bounds.
#include <cmath>
#include <limits>

#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/PresolveRig.hpp"

namespace {

class PresolveUtilTest : public PresolveRig {};

TEST_F(PresolveUtilTest, ComparisonsTreatInfinitiesBySign) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double a, b, t;
    bool eq, gt, lt, ge;
  };
  const Case cases[] = {
      {1.0, 1.0 + 1e-13, 1e-12, true, false, false, true},
      {1.0, 1.0 + 1e-11, 1e-12, false, false, true, false},
      {1.0 + 1e-11, 1.0, 1e-12, false, true, false, true},
      {kInf, 1e25, 0.0, true, false, false, true},      // both +infinite
      {-kInf, -1e30, 0.0, true, false, false, true},    // both -infinite
      {kInf, 5.0, 0.0, false, true, false, true},       // +inf above a finite value
      {-kInf, 5.0, 1e6, false, false, true, false},     // -inf above nothing
      {5.0, kInf, 1e6, false, false, true, false},      // nothing above +inf
      {kInf, -kInf, 0.0, false, true, false, true},
      {nan, 1.0, 1.0, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b << " tol " << c.t);
    EXPECT_EQ(PRESOLVE_EQ(c.a, c.b, c.t), c.eq);
    EXPECT_EQ(PRESOLVE_NE(c.a, c.b, c.t), !c.eq);
    EXPECT_EQ(PRESOLVE_GT(c.a, c.b, c.t), c.gt);
    EXPECT_EQ(PRESOLVE_LT(c.a, c.b, c.t), c.lt);
    EXPECT_EQ(PRESOLVE_GE(c.a, c.b, c.t), c.ge);
  }
}

// Two variables, F1 = 2 z1 + z2 + 1, F2 = -z1 + 3 z2: z1 in [0, 4] starts
// at 0, z2 in [-1, 5] at 0.
LinearProblem TwoByTwo() {
  return Lcp({{2.0, 1.0}, {-1.0, 3.0}}, {1.0, 0.0}, {0.0, -1.0}, {4.0, 5.0});
}

TEST_F(PresolveUtilTest, SetBoundsRecordsMovesXAndKeepsF) {
  struct Case {
    const char* what;
    double newlb, newub;
    int records;                  // records pushed
    double lb, ub, x;             // z1 afterwards
    bool fixed;
  };
  const Case cases[] = {
      {"same bounds", 0.0, 4.0, 0, 0.0, 4.0, 0.0, false},
      {"within zerotol: old values kept", 5e-13, 4.0 - 5e-13, 0, 0.0, 4.0, 0.0, false},
      {"lower raised above x", 1.5, 4.0, 1, 1.5, 4.0, 1.5, false},
      {"one side within zerotol keeps it", 1.5, 4.0 + 1e-13, 1, 1.5, 4.0, 1.5, false},
      {"lower to -infinity", -kInf, 3.0, 1, -kInf, 3.0, 0.0, false},
      {"bounds meet within zerotol", 2.0, 2.0 + 1e-13, 1, 2.0 + 5e-14, 2.0 + 5e-14, 2.0 + 5e-14,
       true},
      {"narrow crossing: clipped midpoint", 3.0 + 5e-11, 3.0, 1, 3.0 + 2.5e-11, 3.0 + 2.5e-11,
       3.0 + 2.5e-11, true},
      {"crossing at the upper bound: kept inside", 4.0 + 5e-11, 4.0, 1, 4.0, 4.0, 4.0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(TwoByTwo());
    const int before = Records(mcp);
    Presolve_SetBounds(mcp, 3, 2, PRESOLVE_KIND_BOUND, 1, c.newlb, c.newub);
    EXPECT_EQ(Records(mcp) - before, c.records);
    EXPECT_DOUBLE_EQ(Lower(mcp)[0], c.lb);
    EXPECT_DOUBLE_EQ(Upper(mcp)[0], c.ub);
    EXPECT_DOUBLE_EQ(X(mcp)[0], c.x);
    EXPECT_EQ(Lower(mcp)[0] == Upper(mcp)[0], c.fixed);
    ExpectFCurrent(mcp);
    if (c.records == 1) {
      const PresolveRecord r = Top(mcp);
      EXPECT_EQ(r.old_lower, 0.0);
      EXPECT_EQ(r.old_upper, 4.0);
      EXPECT_EQ(r.second_index, 2);
      EXPECT_EQ(r.variable_index, 1);
      EXPECT_EQ(r.level, 3);
      EXPECT_EQ(r.kind, PRESOLVE_KIND_BOUND);
    }
    if (c.fixed) {
      EXPECT_EQ(Marks(mcp)[0], 0) << "the fixed variable's row stays a candidate";
      EXPECT_EQ(IDenseVector_Value(MCP_PresolveRowCount(mcp), 2), 1);  // only z2 left in row 2
    }
  }
}

TEST_F(PresolveUtilTest, CrossedBoundsAreAnInternalError) {
  MCP* mcp = Prepare(TwoByTwo());
  EXPECT_SOLVER_ERROR(Presolve_SetBounds(mcp, 1, 2, PRESOLVE_KIND_BOUND, 1, 3.0, 2.0),
                      "Bound incorrect: 2: 1 3.0000e+00 2.0000e+00\n");
  EXPECT_SOLVER_ERROR(Presolve_SetBounds(mcp, 1, 2, PRESOLVE_KIND_BOUND, 1, kInf, kInf),
                      "Bound incorrect: 2: 1");
}

TEST_F(PresolveUtilTest, SetValueSnapsToTheBoundsTheUpperOneLast) {
  struct Case {
    double lower, upper, v, expected;
  };
  const Case cases[] = {
      {0.0, 4.0, 2.5, 2.5},
      {0.0, 4.0, 5e-13, 0.0},
      {0.0, 4.0, 4.0 - 5e-13, 4.0},
      {0.0, 1.5e-12, 0.8e-12, 1.5e-12},  // within zerotol of both: the upper bound
      {0.0, 4.0, 7.0, 7.0},        // outside: not clipped, no record
  };
  for (const Case& c : cases) {
    MCP* mcp = Prepare(Lcp({{2.0, 1.0}, {-1.0, 3.0}}, {1.0, 0.0}, {c.lower, -1.0}, {c.upper, 5.0}));
    const int before = Records(mcp);
    Presolve_SetValue(mcp, 1, c.v);
    EXPECT_EQ(X(mcp)[0], c.expected) << c.v;
    EXPECT_EQ(Records(mcp), before);
    ExpectFCurrent(mcp);
  }
}

TEST_F(PresolveUtilTest, FindersReportActiveLinearEntriesOnly) {
  // Row 1 has entries in columns 1 (fixed), 2 and 4; column 3's entry is
  // below jactol.
  MCP* mcp = Prepare(Lcp({{1.0, -2.0, 1e-13, 3.0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 1}},
                         {0, 0, 0, 0}, {2.0, 0.0, -1.0, -kInf}, {2.0, 1.0, 1.0, 7.0}));
  double a[3];
  int c[3];
  double l[3], u[3];
  ASSERT_EQ(Presolve_RowTwo(mcp, 1, &a[0], &c[0], &l[0], &u[0], &a[1], &c[1], &l[1], &u[1]), 1);
  EXPECT_EQ(c[0], 2);
  EXPECT_EQ(a[0], -2.0);
  EXPECT_EQ(c[1], 4);
  EXPECT_EQ(l[1], -kInf);
  EXPECT_EQ(u[1], 7.0);
  // Asked for three, the two found are written and the result is 0.
  c[0] = c[1] = c[2] = -1;
  EXPECT_EQ(Presolve_RowThree(mcp, 1, &a[0], &c[0], &l[0], &u[0], &a[1], &c[1], &l[1], &u[1],
                              &a[2], &c[2], &l[2], &u[2]),
            0);
  EXPECT_EQ(c[0], 2);
  EXPECT_EQ(c[1], 4);
  EXPECT_EQ(c[2], -1);
  // Column 1: rows 1 and 4, but row 1's variable is fixed.
  EXPECT_EQ(Presolve_ColOne(mcp, 1, &a[0], &c[0], &l[0], &u[0]), 1);
  EXPECT_EQ(c[0], 4);
  EXPECT_EQ(l[0], -kInf);
  EXPECT_EQ(Presolve_ColTwo(mcp, 1, &a[0], &c[0], &l[0], &u[0], &a[1], &c[1], &l[1], &u[1]), 0);
  EXPECT_EQ(Presolve_RowDiagonal(mcp, 1), 1.0);
  EXPECT_EQ(Presolve_RowDiagonal(mcp, 2), 1.0);
  EXPECT_EQ(Presolve_RowDiagonal(mcp, 4), 1.0);
  EXPECT_EQ(Presolve_RowDiagonal(mcp, 3), 1.0);
}

TEST_F(PresolveUtilTest, RowBoundsMarkInfiniteContributions) {
  // z1 and z2 free, z3 >= 1, z4 fixed at 3; the start point is (0, 0, 1, 3).
  // Row-ordered list positions: row 1 (1,3) 1, (1,4) 2; row 2 (2,1) 3,
  // (2,3) 4; row 3 (3,1) 5, (3,2) 6, (3,3) 7; row 4 (4,4) 8.
  MCP* mcp = Prepare(Lcp({{0, 0, 2, 5}, {1, 0, -1, 0}, {1, 1, 1, 0}, {0, 0, 0, 1}}, {1, 0, 0, 0},
                         {-kInf, -kInf, 1.0, 3.0}, {kInf, kInf, kInf, 3.0}));
  const double* l = DenseVector_Array(MCP_FullLower(mcp));
  const double* u = DenseVector_Array(MCP_FullUpper(mcp));
  const std::vector<double> f = F(mcp);
  struct Case {
    const char* what;
    int row;
    double lo, hi, c;
    int klo, khi;
  };
  const Case cases[] = {
      // z4 is fixed and left out; z3's upper contribution is infinite.
      {"one infinite contribution", 1, 2.0, 0.0, -f[0] + 2.0, 0, 1},
      // z1 both ways, then z3 to the lower bound: two there, one above.
      {"two and one", 2, 0.0, -1.0, -f[1] - 1.0, -1, 3},
      // z1 and z2 make both markers -1: the walk stops before z3.
      {"early stop", 3, 0.0, 0.0, -f[2], -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RowActivity r = Presolve_OneRowBounds(mcp, c.row, l, u);
    EXPECT_EQ(r.lo, c.lo);
    EXPECT_EQ(r.hi, c.hi);
    EXPECT_EQ(r.c, c.c);
    EXPECT_EQ(r.klo, c.klo);
    EXPECT_EQ(r.khi, c.khi);
  }
}

// A constraint row and its multiplier's row (the shape in which rows keep
// their classes), z in [0, 1]: F2 = -z1 lies in [-1, 0].
TEST_F(PresolveUtilTest, RowBoundsFillOnlyCandidateRowsOfTheClass) {
  MCP* mcp = Prepare(Lcp({{0, 1}, {-1, 0}}, {0, 0}, {0, 0}, {1, 1}), {1, -1});
  DenseVector* lo = Workspace_Vector(1);
  DenseVector* hi = Workspace_Vector(2);
  DenseVector* c = Workspace_Vector(3);
  IDenseVector* klo = Workspace_IVector(4);
  IDenseVector* khi = Workspace_IVector(5);
  DenseVector_Fill(lo, 2, 99.0);
  Presolve_RowBounds(mcp, -1, MCP_FullLower(mcp), MCP_FullUpper(mcp), lo, hi, c, klo, khi);
  EXPECT_EQ(DenseVector_Value(lo, 1), 99.0);  // class +1: untouched
  EXPECT_EQ(DenseVector_Value(lo, 2), -1.0);
  EXPECT_EQ(DenseVector_Value(hi, 2), 0.0);
}

TEST_F(PresolveUtilTest, HugeFiniteActivityIsWarnedAndTakenAsInfinite) {
  MCP* mcp = Prepare(Lcp({{1e19, 1e19}, {0, 1}}, {0, 0}, {0, 0}, {20, 20}));
  const RowActivity r = Presolve_OneRowBounds(mcp, 1, DenseVector_Array(MCP_FullLower(mcp)),
                                              DenseVector_Array(MCP_FullUpper(mcp)));
  EXPECT_EQ(r.hi, kInf);
  EXPECT_EQ(r.khi, 0);
  EXPECT_NE(output()->status().find("Bad calculation of function upper bound.\n"),
            std::string::npos);
}

}  // namespace
