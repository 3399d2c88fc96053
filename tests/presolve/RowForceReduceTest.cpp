// The forcing rows' reductions and reports: the checks that run before any
// change, the records, counts and F each change keeps, the bound changes
// that change nothing, and what each trace level prints.
#include <string>
#include <vector>

#include "presolve/PresolveRecord.hpp"
#include "presolve/RowForceTestRig.hpp"
#include "presolve/rows/RowForceReduce.hpp"

namespace {

class RowForceReduceTest : public RowForceRig {
 protected:
  // F1 = x1 + 2 x2 + 1e-13 x3 - 1, F2 = x2 + x3, F3 = 1e-13 x1 + x3 + 4;
  // x1 in [0, 2], x2 in [-1, 1], x3 free. The 1e-13 entries lie below
  // jactol.
  LinearProblem Small() {
    return Lcp({{1, 2, 1e-13}, {0, 1, 1}, {1e-13, 0, 1}}, {-1, 0, 4}, {0, -1, -kInf},
               {2, 1, kInf});
  }

  // The record of Small at the start of a level (savedX = x, fresh counts
  // and marks).
  MCP* Level(const LinearProblem& p) {
    MCP* mcp = Prepare(p);
    DenseVector_CloneFull(MCP_PresolveSavedX(mcp), MCP_FullX(mcp));
    Row_CountActive(mcp);
    Row_MarkLinear(mcp);
    return mcp;
  }
};

TEST_F(RowForceReduceTest, FixingKeepsCountsAndFAlongEveryLinearEntry) {
  const LinearProblem p = Small();
  MCP* mcp = Level(p);
  const int records = Records(mcp);
  const std::vector<int> rows_before = Counts(MCP_PresolveRowCount(mcp));
  std::int32_t counter = 0;
  const std::int32_t row = 3;
  const std::int32_t var = 3;
  const double value = 1e3;
  EXPECT_EQ(Row_FixVariables(mcp, 7, &row, &var, &value, 1, "Test", &counter), ROW_HANDLED);
  EXPECT_EQ(counter, 1);
  EXPECT_EQ(Records(mcp), records + 1);
  const PresolveRecord r = Top(mcp);
  EXPECT_EQ(r.old_lower, -kInf);
  EXPECT_EQ(r.old_upper, kInf);
  EXPECT_EQ(r.value, 0.0);
  EXPECT_EQ(r.second_index, 3);
  EXPECT_EQ(r.variable_index, 3);
  EXPECT_EQ(r.level, 7);
  EXPECT_EQ(r.kind, PRESOLVE_KIND_BOUND);
  EXPECT_EQ(Lower(mcp)[2], 1e3);
  EXPECT_EQ(Upper(mcp)[2], 1e3);
  EXPECT_EQ(Saved(mcp)[2], 1e3);
  // Row 1 gets 1e-13 * 1e3 added although its x3 entry does not count.
  EXPECT_EQ(F(mcp)[0], -1 + 1e-10);
  EXPECT_EQ(F(mcp)[1], 1e3);
  const std::vector<int> rows = Counts(MCP_PresolveRowCount(mcp));
  EXPECT_EQ(rows[0], rows_before[0]);
  EXPECT_EQ(rows[1], rows_before[1] - 1);
  EXPECT_EQ(rows[2], 0);
  EXPECT_EQ(Marks(mcp)[2], 0);
  ExpectWorkingState(mcp, p);
}

TEST_F(RowForceReduceTest, FixListsAreCheckedWhole) {
  struct Case {
    const char* what;
    double v1, v2;  // values for x1 (row 1) and x2 (row 2)
    int status;
    const char* line;
    std::vector<double> lower;  // afterwards
  };
  const Case cases[] = {
      {"within zerotol outside the bounds", 2 + 0.5e-12, -1 - 0.5e-12, ROW_HANDLED,
       "Test Fixes Variables\n     x[    1] =  2.0000e+00 (f[    1])\n"
       "     x[    2] = -1.0000e+00 (f[    2])\n",
       {2 + 0.5e-12, -1 - 0.5e-12, -kInf}},
      {"second value 2e-12 outside", 1, -1 - 2e-12, ROW_INFEASIBLE,
       "Test Infeasible\n     f[    2]\n", {0, -1, -kInf}},
      {"first value infinite", kInf, 0, ROW_INFEASIBLE, "Test Infinite Value\n     f[    1]\n",
       {0, -1, -kInf}},
  };
  SetTrace(2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Level(Small());
    const int records = Records(mcp);
    const std::vector<double> f = F(mcp);
    const std::int32_t rows[] = {1, 2};
    const double values[] = {c.v1, c.v2};
    std::int32_t counter = 0;
    EXPECT_EQ(Row_FixVariables(mcp, 1, rows, rows, values, 2, "Test", &counter), c.status);
    EXPECT_EQ(Log(), c.line);
    EXPECT_EQ(Lower(mcp), c.lower);
    if (c.status == ROW_INFEASIBLE) {
      EXPECT_EQ(counter, 0);
      EXPECT_EQ(Records(mcp), records);
      EXPECT_EQ(F(mcp), f);
    }
  }
}

TEST_F(RowForceReduceTest, BoundChangesThatChangeNothingLeaveNoRecord) {
  struct Case {
    const char* what;
    double lo, up;  // for x1 in [0, 2]
    int status;
    int counter;
    std::vector<double> bounds;  // of x1 afterwards
    double saved;                // savedX(1) afterwards (start 0)
  };
  const Case cases[] = {
      {"narrower", 0.5, 1.5, ROW_HANDLED, 1, {0.5, 1.5}, 0.5},
      {"equal within zerotol", 0.5e-12, 2 - 0.5e-12, ROW_HANDLED, 0, {0, 2}, 0},
      {"one side within zerotol keeps the old value", 0.5e-12, 1, ROW_HANDLED, 1, {0, 1}, 0},
      {"lower and upper meet", 1, 1 + 0.5e-12, ROW_HANDLED, 0, {0, 2}, 0},
      {"crossing", 1.5, 1, ROW_INFEASIBLE, 0, {0, 2}, 0},
      // A looser bound is no reduction: the list is left alone.
      {"looser", -1, 1, ROW_CONTINUE, 0, {0, 2}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LinearProblem p = Small();
    MCP* mcp = Level(p);
    const int records = Records(mcp);
    const std::int32_t one = 1;
    std::int32_t counter = 0;
    EXPECT_EQ(Row_BoundVariables(mcp, 1, &one, &one, &c.lo, &c.up, 1, "Test", &counter),
              c.status);
    EXPECT_EQ(counter, c.counter);
    EXPECT_EQ(Records(mcp), records + c.counter);
    EXPECT_EQ(Lower(mcp)[0], c.bounds[0]);
    EXPECT_EQ(Upper(mcp)[0], c.bounds[1]);
    EXPECT_EQ(Saved(mcp)[0], c.saved);
    ExpectWorkingState(mcp, p);
  }
}

TEST_F(RowForceReduceTest, ImpliedValuesAreCheckedAndReportedOnly) {
  MCP* mcp = Level(Small());
  SetTrace(2);
  const int records = Records(mcp);
  const std::int32_t rows[] = {1, 2};
  const std::int32_t vars[] = {1, 2};
  const double fine[] = {1, 0.5};
  EXPECT_EQ(Row_ReportImplied(mcp, rows, vars, fine, 2, "Test"), ROW_CONTINUE);
  EXPECT_EQ(Log(),
            "Test Implies Variables\n     x[    1] =  1.0000e+00 (f[    1])\n"
            "     x[    2] =  5.0000e-01 (f[    2])\n");
  EXPECT_EQ(Records(mcp), records);
  EXPECT_EQ(Lower(mcp), Small().lower);
  output()->Clear();
  const double outside[] = {1, 3};
  EXPECT_EQ(Row_ReportImplied(mcp, rows, vars, outside, 2, "Test"), ROW_INFEASIBLE);
  EXPECT_EQ(Log(), "Test Infeasible\n     f[    2]\n");
}

// What each trace level prints for a fixing and for an infeasible row.
TEST_F(RowForceReduceTest, TraceLevelsChooseWhatIsPrinted) {
  const std::string fix_lines = "Test Fixes Variables\n     x[    1] =  1.0000e+00 (f[    1])\n";
  // Row 1 at savedX = 0 (x3 free at 0): 1e-13 x3 lies below jactol.
  const std::string row1 =
      "      0.0000e+00 <= x[   1] <=  2.0000e+00 :  1.0000e+00*x[   1] +  2.0000e+00*x[   2]"
      " + -1.0000e+00 ?= 0\n";
  const std::string infeasible = "Test Infeasible\n     f[    1]\n";
  struct Case {
    int level;
    std::string fix;
    std::string infeasible;
  };
  const Case cases[] = {
      {-1, "", ""},
      {0, "", infeasible},
      {1, "", infeasible},
      {2, fix_lines, infeasible},
      {3, fix_lines + row1, infeasible + row1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    SetTrace(c.level);
    MCP* mcp = Level(Small());
    const std::int32_t one = 1;
    const double bad = 3;
    std::int32_t counter = 0;
    EXPECT_EQ(Row_FixVariables(mcp, 1, &one, &one, &bad, 1, "Test", &counter), ROW_INFEASIBLE);
    EXPECT_EQ(Log(), c.infeasible);
    output()->Clear();
    const double good = 1;
    EXPECT_EQ(Row_FixVariables(mcp, 1, &one, &one, &good, 1, "Test", &counter), ROW_HANDLED);
    EXPECT_EQ(Log(), c.fix);
    EXPECT_EQ(counter, 1);
  }
}

TEST_F(RowForceReduceTest, RowPrintoutsShowTheSenseAndAConstantAlone) {
  // x1 in [0, 2] (?=), x2 <= 1 free below (<=), x3 >= 0 (>=), x4 free (==);
  // row 4 has no term left once x1 is fixed at 1.
  const LinearProblem p = Lcp({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {3, 0, 0, 0}},
                              {1, 0, 0, -1}, {0, -kInf, 0, -kInf}, {2, 1, kInf, kInf});
  SetTrace(3);
  MCP* mcp = Level(p);
  const std::int32_t rows[] = {2, 3, 4};
  Row_Print(mcp, rows, 3);
  EXPECT_EQ(Log(),
            "     -1.0000e+20 <= x[   2] <=  1.0000e+00 :  1.0000e+00*x[   2] +  0.0000e+00 <= 0\n"
            "      0.0000e+00 <= x[   3] <=  1.0000e+20 : -1.0000e+00*x[   3] +  0.0000e+00 >= 0\n"
            "     -1.0000e+20 <= x[   4] <=  1.0000e+20 :  3.0000e+00*x[   1] + -1.0000e+00 == 0\n");
  output()->Clear();
  std::int32_t counter = 0;
  Row_FixVariable(mcp, 1, 1, PRESOLVE_KIND_BOUND, 1, 1.0, &counter);
  const std::int32_t fixed_and_empty[] = {1, 4};
  Row_Print(mcp, fixed_and_empty, 2);
  EXPECT_EQ(Log(), "     -1.0000e+20 <= x[   4] <=  1.0000e+20 :  2.0000e+00 == 0\n");
}

}  // namespace
