// Forcing and redundant rows: the decision of each kind of row from its
// activity bounds, the fixes and records it makes, the infeasibility
// lines, bounds recomputed within a sweep, and the reductions the pass
// refuses because the postsolve could not undo them.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveRig.hpp"
#include "presolve/PresolveSkew.hpp"

namespace {

class ForcingRowsTest : public PresolveRig {};

struct RowCase {
  const char* what;
  double l1, u1;       // bounds of z1, whose row is tested
  double a2, a3;       // F1 = a2 z2 + a3 z3 + q1
  double q1;
  int status;
  int forced, redundant;
  std::vector<double> z;  // z1, z2, z3 afterwards (NAN: not fixed)
  int z1_kind;            // kind of z1's record (-1: none)
  const char* line;       // the infeasibility line, or nullptr
};

// z2, z3 in [0, 1]; rows 2 and 3 are zero (their F is 0 everywhere): once
// z1 is fixed, z2 and z3 appear in no live row and their rows are dropped
// too (at the upper bound, the first of two equal choices).
LinearProblem OneRow(const RowCase& c) {
  return Lcp({{0, c.a2, c.a3}, {0, 0, 0}, {0, 0, 0}}, {c.q1, 0, 0}, {c.l1, 0, 0}, {c.u1, 1, 1});
}

TEST_F(ForcingRowsTest, EachKindOfRowIsForcedDroppedOrFoundInfeasible) {
  const double free = std::numeric_limits<double>::quiet_NaN();
  const RowCase cases[] = {
      // F1 = z2 + z3 + q1 ranges over [q1, q1 + 2].
      {"equation at its lower activity bound", -kInf, kInf, 1, 1, 0, MCP_CONTINUE, 3, 0,
       {0, 0, 0}, PRESOLVE_KIND_FIX, nullptr},
      {"equation at its upper activity bound", -kInf, kInf, 1, 1, -2, MCP_CONTINUE, 3, 0,
       {0, 1, 1}, PRESOLVE_KIND_FIX, nullptr},
      {"equation with mixed signs", -kInf, kInf, 1, -1, 1, MCP_CONTINUE, 3, 0, {0, 0, 1},
       PRESOLVE_KIND_FIX, nullptr},
      {"equation between its bounds", -kInf, kInf, 1, 1, -1, MCP_CONTINUE, 0, 0,
       {free, free, free}, -1, nullptr},
      {"equation above 0", -kInf, kInf, 1, 1, 1, MCP_INFEASIBLE, 0, 0, {free, free, free}, -1,
       "Equality (f[    1]): infeasible: rhs: -1.0000e+00 lb: 0.0000e+00(1.0000e+00) ub: "
       "2.0000e+00(3.0000e+00)\n"},
      {"LE at its lower activity bound", -kInf, 3, 1, 1, 0, MCP_CONTINUE, 3, 0, {3, 0, 0},
       PRESOLVE_KIND_FIX, nullptr},
      {"LE below 0 everywhere", -kInf, 3, 1, 1, -3, MCP_CONTINUE, 0, 3, {3, 1, 1},
       PRESOLVE_KIND_FIX, nullptr},
      {"LE above 0", -kInf, 3, 1, 1, 1, MCP_INFEASIBLE, 0, 0, {free, free, free}, -1,
       "LE inequality (f[    1]): infeasible: rhs: -1.0000e+00 lb: 0.0000e+00(1.0000e+00) ub: "
       "2.0000e+00(3.0000e+00)\n"},
      {"GE at its upper activity bound", -1, kInf, 1, 1, -2, MCP_CONTINUE, 3, 0, {-1, 1, 1},
       PRESOLVE_KIND_FIX, nullptr},
      {"GE above 0 everywhere", -1, kInf, 1, 1, 1, MCP_CONTINUE, 0, 3, {-1, 1, 1},
       PRESOLVE_KIND_FIX, nullptr},
      {"GE below 0", -1, kInf, 1, 1, -3, MCP_INFEASIBLE, 0, 0, {free, free, free}, -1,
       "GE inequality (f[    1]): infeasible: rhs: 3.0000e+00 lb: 0.0000e+00(-3.0000e+00) ub: "
       "2.0000e+00(-1.0000e+00)\n"},
      {"boxed, F <= 0 everywhere", 0, 2, 1, 1, -3, MCP_CONTINUE, 0, 3, {2, 1, 1},
       PRESOLVE_KIND_BOUND, nullptr},
      {"boxed, F >= 0 everywhere", 0, 2, 1, 1, 1, MCP_CONTINUE, 0, 3, {0, 1, 1},
       PRESOLVE_KIND_BOUND, nullptr},
      {"boxed, F of both signs", 0, 2, 1, 1, -1, MCP_CONTINUE, 0, 0, {free, free, free}, -1,
       nullptr},
      // Differences within 1e-10 count as equal.
      {"LE 0.5e-10 above its bound forces", -kInf, 3, 1, 1, 0.5e-10, MCP_CONTINUE, 3, 0,
       {3, 0, 0}, PRESOLVE_KIND_FIX, nullptr},
      {"LE 2e-10 above its bound is infeasible", -kInf, 3, 1, 1, 2e-10, MCP_INFEASIBLE, 0, 0,
       {free, free, free}, -1, "LE inequality (f[    1]): infeasible"},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(OneRow(c));
    const int before = Records(mcp);
    int forced = -1, redundant = -1;
    EXPECT_EQ(Skew_ForceRows(mcp, 1, &forced, &redundant), c.status);
    if (c.status == MCP_CONTINUE) {
      EXPECT_EQ(forced, c.forced);
      EXPECT_EQ(redundant, c.redundant);
    }
    for (int j = 0; j < 3; ++j) {
      const bool fixed = Lower(mcp)[j] == Upper(mcp)[j];
      EXPECT_EQ(fixed, !std::isnan(c.z[j])) << "z" << j + 1;
      if (fixed) {
        EXPECT_EQ(X(mcp)[j], c.z[j]) << "z" << j + 1;
      }
    }
    ExpectFCurrent(mcp);
    if (c.line != nullptr) {
      EXPECT_TRUE(Logged(c.line)) << Log();
      EXPECT_EQ(Records(mcp), before);
    }
    // z1's record lies under the pins of its row, which carry kind 1 and
    // row 1.
    RecordStack* stack = MCP_PresolveStack(mcp);
    PresolveRecord r;
    bool seen_z1 = false;
    while (RecordStack_Count(stack) > before) {
      RecordStack_Pop(stack, r);
      if (r.variable_index == 1) {
        seen_z1 = true;
        EXPECT_EQ(r.kind, c.z1_kind);
        EXPECT_EQ(r.second_index, 1);
      } else if (r.second_index == 1) {
        EXPECT_EQ(r.kind, PRESOLVE_KIND_BOUND);
      }
    }
    EXPECT_EQ(seen_z1, c.z1_kind >= 0);
  }
}

TEST_F(ForcingRowsTest, RowsWithTwoInfiniteContributionsAreLeftAlone) {
  // F1 = z2 + z3 with z2 and z3 free: both activity bounds infinite twice.
  MCP* mcp = Prepare(Lcp({{0, 1, 1}, {0, 0, 1}, {0, 1, 0}}, {0, 0, 0}, {-kInf, -kInf, -kInf},
                         {kInf, kInf, kInf}));
  int forced = -1, redundant = -1;
  EXPECT_EQ(Skew_ForceRows(mcp, 1, &forced, &redundant), MCP_CONTINUE);
  EXPECT_EQ(forced + redundant, 0);
  EXPECT_EQ(Records(mcp), 1);
}

// z1 and z4 free; z2, z3, z5 in [0, 1]; F1 = z2 + z3, F4 = -z2 + z5 + 1, the
// rest 0. Row 1 pins z2 = z3 = 0, after which row 4 asks z5 = -1.
LinearProblem Fixture() {
  return Lcp({{0, 1, 1, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, -1, 0, 0, 1}, {0, 0, 0, 0, 0}},
             {0, 0, 0, 1, 0}, {-kInf, 0, 0, -kInf, 0}, {kInf, 1, 1, kInf, 1});
}

TEST_F(ForcingRowsTest, LaterRowsOfASweepSeeTheBoundsOfEarlierFixes) {
  MCP* mcp = Prepare(Fixture());
  int forced = -1, redundant = -1;
  EXPECT_EQ(Skew_ForceRows(mcp, 1, &forced, &redundant), MCP_INFEASIBLE);
  EXPECT_TRUE(Logged("Equality (f[    4]): infeasible: rhs: -1.0000e+00 lb: 0.0000e+00(1.0000e+00) "
                     "ub: 1.0000e+00(2.0000e+00)\n"))
      << Log();

  // The whole solve ends infeasible, with the caller's bounds back.
  std::vector<double> z;
  EXPECT_EQ(SolveWhole(Fixture(), &z), TERMINATION_INFEASIBLE_BOUNDS);
  const LinearProblem p = Fixture();
  std::vector<double> lower = Lower(adapter().mcp()), upper = Upper(adapter().mcp());
  EXPECT_EQ(lower, p.lower);
  EXPECT_EQ(upper, p.upper);
}

TEST_F(ForcingRowsTest, ASweepThatChangedSomethingIsFollowedByAnother) {
  // Row 2 (z2 free, F2 = z4 - 1) pins z4 = 1; only then is row 1 (z1 free,
  // F1 = z3 - z4) at its upper activity bound, pinning z3 = 1.
  MCP* mcp = Prepare(Lcp({{0, 0, 1, -1}, {0, 0, 0, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}},
                         {0, -1, 0, 0}, {-kInf, -kInf, 0, 0}, {kInf, kInf, 1, 1}));
  int forced = -1, redundant = -1;
  EXPECT_EQ(Skew_ForceRows(mcp, 1, &forced, &redundant), MCP_CONTINUE);
  EXPECT_EQ(forced, 4);
  EXPECT_EQ(redundant, 0);
  EXPECT_EQ(X(mcp), (std::vector<double>{0, 0, 1, 1}));
  // A second pass finds nothing more.
  EXPECT_EQ(Skew_ForceRows(mcp, 1, &forced, &redundant), MCP_CONTINUE);
  EXPECT_EQ(forced + redundant, 0);
}

// Reductions that could not be undone are not made; those that can be are,
// and the whole solve then returns a point of the original problem.
TEST_F(ForcingRowsTest, OnlyReductionsThePostsolveCanUndoAreMade) {
  struct Case {
    const char* what;
    LinearProblem p;
    int changed;  // forced + redundant
  };
  const Case cases[] = {
      // Row 1 (z1 free, F1 = z2, z2 in [0, 1]) pins z2 = 0; row 2 then needs
      // F2 >= 0, which z1 restores when its entry there is negative.
      {"pinned row repaired by z1", Lcp({{0, 1}, {-1, 0}}, {0, -3}, {-kInf, 0}, {kInf, 1}), 2},
      {"pinned row z1 cannot repair", Lcp({{0, 1}, {1, 0}}, {0, -3}, {-kInf, 0}, {kInf, 1}), 0},
      // The same pin, but z1 also appears in row 3: its value matters there.
      {"z1 needed by another row",
       Lcp({{0, 1, 0}, {-1, 0, 0}, {1, 0, 1}}, {0, -3, 0}, {-kInf, 0, -kInf}, {kInf, 1, kInf}), 0},
      // z1 >= 0 with F1 = z2 >= 0: z1 = 0 is a choice when F1 can vanish,
      // made only while z1 appears in no other live row (z2, whose row is
      // 0, then appears in none either and is dropped too) ...
      {"redundant choice, z1 alone", Lcp({{0, 1}, {0, 0}}, {0, 0}, {0, 0}, {kInf, 1}), 2},
      {"redundant choice, z1 needed",
       Lcp({{0, 1, 0}, {0, 0, 0}, {1, 0, 1}}, {0, 0, -1}, {0, 0, -kInf}, {kInf, 1, kInf}), 0},
      // ... and always when F1 > 0 everywhere.
      {"redundant and necessary",
       Lcp({{0, 1, 0}, {0, 0, 0}, {1, 0, 1}}, {1, 0, -1}, {0, 0, -kInf}, {kInf, 1, kInf}), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(c.p);
    int forced = -1, redundant = -1;
    EXPECT_EQ(Skew_ForceRows(mcp, 1, &forced, &redundant), MCP_CONTINUE);
    EXPECT_EQ(forced + redundant, c.changed);
    std::vector<double> z;
    EXPECT_EQ(SolveWhole(c.p, &z), TERMINATION_SOLVED);
    EXPECT_LE(ComplementarityViolation(c.p, z), 1e-6);
  }
}

// Values settled in other rows are known only to those rows' rounding, and
// a row with a much larger coefficient in them carries that rounding in its
// constant. z1, z2 are fixed by hand where rows 1 and 2 put them; row 3
// then reads F3 = 1000 z2 + q3. A miss within what rows 1 and 2 leave z2
// open is no verdict: an equation (z3 free, in no other row) is forced,
// and a GE row (z3 >= 0, also in row 4: F4 = z3 + z4, z4 free) does not
// fix z3 as if F3 > 0 were certain. A miss beyond it, or values that rows
// 1 and 2 do not hold, still is one.
TEST_F(ForcingRowsTest, RowsMissingByTheRoundingOfSettledValuesAreNotInfeasible) {
  struct Case {
    const char* what;
    std::vector<std::vector<double>> rows;  // rows 1 and 2 (columns 1, 2)
    std::vector<double> q;                  // q1, q2, q3
    double z1, z2;
    double l3, a43;  // z3's lower bound, its entry in row 4
    int status;
    int forced, redundant;
  };
  // Row 1 alone settles z2 = 0.3 (z1 = 1) from terms near 5e3 through the
  // coefficient 0.5: z2 is open by about 4e-11.
  const std::vector<std::vector<double>> single = {{-5000, 0.5}, {0, 0}};
  // Rows 1 and 2 settle z1 = 0.3, z2 = 0.7 together; their determinant, 1,
  // is small beside their terms (near 300), so z2 is open by about 4e-12
  // although each row alone would pin it to 1e-14.
  const std::vector<std::vector<double>> pair = {{1, 1}, {300, 301}};
  const double z2 = 0.3 + 2e-13;
  const Case cases[] = {
      {"one row, miss 2e-10 within its rounding", single, {4999.85, 0, -300}, 1, z2, -kInf, 0,
       MCP_CONTINUE, 1, 0},
      {"one row, miss 1e-6 beyond it", single, {4999.85, 0, -300 + 1e-6}, 1, z2, -kInf, 0,
       MCP_INFEASIBLE, 0, 0},
      {"one row that does not hold the value", single, {4999.85, 0, -300}, 1, 0.3 + 1e-9, -kInf,
       0, MCP_INFEASIBLE, 0, 0},
      {"two rows, miss 2e-10 within their rounding", pair, {-1, -300.7, -700}, 0.3 - 2.007e-13,
       0.7 + 2e-13, -kInf, 0, MCP_CONTINUE, 1, 0},
      {"two rows, miss 1e-6 beyond it", pair, {-1, -300.7, -700 + 1e-6}, 0.3 - 2.007e-13,
       0.7 + 2e-13, -kInf, 0, MCP_INFEASIBLE, 0, 0},
      {"GE row 2e-10 above 0 within the rounding", single, {4999.85, 0, -300}, 1, z2, 0, 1,
       MCP_CONTINUE, 0, 0},
      {"GE row 1e-6 above 0: z3 = 0 is necessary", single, {4999.85, 0, -300 + 1e-6}, 1, z2, 0,
       1, MCP_CONTINUE, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LinearProblem p = Lcp({{c.rows[0][0], c.rows[0][1], 0, 0},
                                 {c.rows[1][0], c.rows[1][1], 0, 0},
                                 {0, 1000, 0, 0},
                                 {0, 0, c.a43, 1}},
                                {c.q[0], c.q[1], c.q[2], 0}, {-kInf, -kInf, c.l3, -kInf},
                                {kInf, kInf, kInf, kInf});
    MCP* mcp = Prepare(p);
    MCP_FixVariable(mcp, 1, 1, PRESOLVE_KIND_BOUND, 1, c.z1);
    MCP_FixVariable(mcp, 1, 2, PRESOLVE_KIND_BOUND, 2, c.z2);
    int forced = -1, redundant = -1;
    EXPECT_EQ(Skew_ForceRows(mcp, 1, &forced, &redundant), c.status) << Log();
    if (c.status == MCP_CONTINUE) {
      EXPECT_EQ(forced, c.forced);
      EXPECT_EQ(redundant, c.redundant);
      EXPECT_EQ(Lower(mcp)[2] == Upper(mcp)[2], c.forced + c.redundant > 0);
    } else {
      EXPECT_TRUE(Logged("Equality (f[    3]): infeasible")) << Log();
    }
  }
}

}  // namespace
