// The block reductions: fixes and bound steps push their records, move the
// working point with F of the linear rows, keep the counts and the block
// queue current, refuse infeasible lists whole, and are undone by
// postsolve; the reports print the rows involved.
#include <limits>
#include <vector>

#include "presolve/rows/RowBlockReduce.hpp"
#include "presolve/RowBlockRig.hpp"

namespace {

// Row 1 reaches every column (five entries); rows 2-5 are short.
LinearProblem Wide() {
  return Lcp({{1, 1, 1, 1, 1}, {1, 2, 0, 0, 0}, {0, 1, 3, 0, 0}, {0, 0, 1, 4, 1e-13},
              {0, 0, 0, 1, 5}},
             {-1, -2, -3, -4, -5}, {0, 0, 0, 0, 0}, {10, 10, 10, 10, kInf});
}

class RowBlockReduceTest : public RowBlockRig {};

TEST_F(RowBlockReduceTest, FixPushesRecordsMovesTheRowsAndQueuesShortRows) {
  MCP* mcp = Ready(Wide(), {}, 2);
  EXPECT_EQ(Queue(), (std::vector<int>{2, 3, 4, 5}));  // row 1 has five entries
  // Empty the queue, so that its head stands at slot 5 and appends wrap.
  for (int r : {2, 3, 4, 5}) EXPECT_EQ(PresolveQueue_Take(), r);
  const int records = Records(mcp);
  std::int32_t counter = 0;
  const std::int32_t rows[] = {4};
  const std::int32_t vars[] = {5};
  const double values[] = {3.0};
  EXPECT_EQ(Row_BlockFixKind(mcp, 7, rows, 1, vars, values, 0.5, 1, "Test", &counter),
            ROW_HANDLED);
  EXPECT_EQ(counter, 1);
  ASSERT_EQ(Records(mcp), records + 1);
  const PresolveRecord top = Top(mcp);
  EXPECT_EQ(top.old_lower, 0.0);
  EXPECT_EQ(top.old_upper, kInf);
  EXPECT_EQ(top.value, 0.5);
  EXPECT_EQ(top.second_index, 4);
  EXPECT_EQ(top.variable_index, 5);
  EXPECT_EQ(top.level, 7);
  EXPECT_EQ(top.kind, PRESOLVE_KIND_BOUND);
  EXPECT_EQ(Lower(mcp)[4], 3.0);
  EXPECT_EQ(Upper(mcp)[4], 3.0);
  EXPECT_EQ(Saved(mcp)[4], 3.0);
  EXPECT_EQ(Marks(mcp)[4], 0);
  // Row 1 falls to four entries and enters slot 5.
  EXPECT_EQ(Queue(), (std::vector<int>{1}));
  ExpectConsistent(mcp);
  // Fixing x3 shortens row 4 (taken earlier) and row 1 (queued already):
  // row 4 enters slot 1.
  const std::int32_t three[] = {3};
  const double two[] = {2.0};
  EXPECT_EQ(Row_BlockFix(mcp, 7, three, three, two, 1, "Test", &counter), ROW_HANDLED);
  EXPECT_EQ(Queue(), (std::vector<int>{1, 4}));
  EXPECT_EQ(IDenseVector_Array(Workspace_IVector(1))[0], 4);
  EXPECT_EQ(counter, 2);
  ExpectConsistent(mcp);
  EXPECT_TRUE(Logged("Test Fixes Variables\n     x[    5] =  3.0000e+00 (f[    4])\n")) << Log();
}

TEST_F(RowBlockReduceTest, FixAlongAnEntryBelowTheToleranceMovesFOnly) {
  MCP* mcp = Ready(Wide());
  const std::vector<int> before = BlockCounts(mcp);
  const double f4 = F(mcp)[3];
  std::int32_t counter = 0;
  const std::int32_t rows[] = {5};
  const std::int32_t vars[] = {5};
  const double values[] = {2.0};
  ASSERT_EQ(Row_BlockFix(mcp, 1, rows, vars, values, 1, "Test", &counter), ROW_HANDLED);
  // Row 4 holds 1e-13 in column 5: F moves by 2e-13, the counts stay.
  EXPECT_EQ(F(mcp)[3], f4 + 2e-13);
  EXPECT_EQ(BlockCounts(mcp)[3], before[3]);
  EXPECT_EQ(BlockCounts(mcp)[0], before[0] - 1);
  ExpectConsistent(mcp);
}

TEST_F(RowBlockReduceTest, FixChecksTheWholeListFirst) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    double second;  // value for variable 3 in [0, 10]
    int status;
    const char* line;
  } cases[] = {
      {"inside", 4.0, ROW_HANDLED, nullptr},
      {"within zerotol below", -1e-13, ROW_HANDLED, nullptr},
      {"within zerotol above", 10 + 5e-13, ROW_HANDLED, nullptr},
      {"below", -1e-11, ROW_INFEASIBLE, "Test Infeasible\n     f[    3]\n"},
      {"above", 10.5, ROW_INFEASIBLE, "Test Infeasible\n     f[    3]\n"},
      {"infinite", kInf, ROW_INFEASIBLE, "Test Infinite Value\n     f[    3]\n"},
      {"not a number", nan, ROW_INFEASIBLE, "Test Infinite Value\n     f[    3]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Ready(Wide(), {}, 0);
    const int records = Records(mcp);
    const std::vector<double> lower = Lower(mcp);
    std::int32_t counter = 0;
    const std::int32_t rows[] = {2, 3};
    const std::int32_t vars[] = {2, 3};
    const double values[] = {1.0, c.second};
    EXPECT_EQ(Row_BlockFix(mcp, 1, rows, vars, values, 2, "Test", &counter), c.status);
    if (c.status == ROW_INFEASIBLE) {
      EXPECT_EQ(Log(), c.line);
      EXPECT_EQ(counter, 0);
      EXPECT_EQ(Records(mcp), records);
      EXPECT_EQ(Lower(mcp), lower);  // nothing fixed, not even the first item
    } else {
      EXPECT_EQ(Log(), "");  // reports start at level 2
      EXPECT_EQ(counter, 2);
      EXPECT_EQ(Lower(mcp)[2], c.second);
      EXPECT_EQ(Upper(mcp)[2], c.second);
    }
    ExpectConsistent(mcp);
  }
}

TEST_F(RowBlockReduceTest, InfeasibilityIsSilentOnlyBelowLevelZero) {
  MCP* mcp = Ready(Wide(), {}, -1);
  std::int32_t counter = 0;
  const std::int32_t rows[] = {2};
  const double values[] = {-1.0};
  EXPECT_EQ(Row_BlockFix(mcp, 1, rows, rows, values, 1, "Test", &counter), ROW_INFEASIBLE);
  EXPECT_EQ(Log(), "");
}

TEST_F(RowBlockReduceTest, EmptyFixListPrintsItsHeadingOnly) {
  MCP* mcp = Ready(Wide(), {}, 2);
  std::int32_t counter = 0;
  EXPECT_EQ(Row_BlockFix(mcp, 1, nullptr, nullptr, nullptr, 0, "Empty", &counter), ROW_HANDLED);
  EXPECT_EQ(Log(), "Empty Fixes Variables\n");
  EXPECT_EQ(counter, 0);
}

TEST_F(RowBlockReduceTest, FixingAFixedVariableAgainChangesNothing) {
  MCP* mcp = Ready(Wide());
  std::int32_t counter = 0;
  const std::int32_t rows[] = {3};
  const double values[] = {2.0};
  ASSERT_EQ(Row_BlockFix(mcp, 1, rows, rows, values, 1, "Test", &counter), ROW_HANDLED);
  const int records = Records(mcp);
  ASSERT_EQ(Row_BlockFix(mcp, 1, rows, rows, values, 1, "Test", &counter), ROW_HANDLED);
  EXPECT_EQ(Records(mcp), records);
  EXPECT_EQ(counter, 1);
  ExpectConsistent(mcp);
}

TEST_F(RowBlockReduceTest, BoundStepsMoveThePointIntoTheNewBounds) {
  struct Case {
    const char* what;
    double lower, upper;  // for variable 2 in [0, 10], saved at 5
    int force;
    bool recorded;
    double lb, ub, saved;
  } cases[] = {
      {"tighter above", 0, 4, 0, true, 0, 4, 4},
      {"tighter below", 6, 10, 0, true, 6, 10, 6},
      {"point inside stays", 1, 9, 0, true, 1, 9, 5},
      {"same within zerotol", 1e-13, 10 - 1e-13, 0, false, 0, 10, 5},
      {"same, forced", 1e-13, 10, 1, true, 0, 10, 5},
      {"one side within zerotol keeps its old value", -1e-13, 7, 0, true, 0, 7, 5},
      {"ends that meet are ignored", 3, 3 + 1e-13, 0, false, 0, 10, 5},
      {"ends that meet, forced", 3, 3, 1, true, 3, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Ready(Wide(), {0, 5, 0, 0, 0});
    const int records = Records(mcp);
    std::int32_t counter = 0;
    const std::int32_t rows[] = {3};
    const std::int32_t vars[] = {2};
    const double lowers[] = {c.lower};
    const double uppers[] = {c.upper};
    EXPECT_EQ(Row_BlockBoundKind(mcp, 2, rows, 1, vars, lowers, uppers, 0.0, 1, "B", &counter,
                                 c.force),
              ROW_CONTINUE);
    EXPECT_EQ(Records(mcp), records + (c.recorded ? 1 : 0));
    EXPECT_EQ(counter, c.recorded ? 1 : 0);
    EXPECT_EQ(Lower(mcp)[1], c.lb);
    EXPECT_EQ(Upper(mcp)[1], c.ub);
    EXPECT_EQ(Saved(mcp)[1], c.saved);
    if (c.recorded) {
      EXPECT_EQ(Top(mcp).old_lower, 0.0);
      EXPECT_EQ(Top(mcp).old_upper, 10.0);
      EXPECT_EQ(Top(mcp).second_index, 3);
    }
    if (c.lb != c.ub) ExpectConsistent(mcp);
  }
}

TEST_F(RowBlockReduceTest, BoundListsAreCheckedWholeBeforeAnyChange) {
  struct Case {
    double lower, upper;
    const char* line;
  } cases[] = {
      {kInf, kInf, "B Lower PInfinity\n     f[    4]\n"},
      {-kInf, -kInf, "B Upper MInfinity\n     f[    4]\n"},
      {3, 2, "B Lower > Upper\n     f[    4]\n"},
  };
  for (const Case& c : cases) {
    MCP* mcp = Ready(Wide());
    const int records = Records(mcp);
    std::int32_t counter = 0;
    const std::int32_t rows[] = {3, 4};
    const std::int32_t vars[] = {2, 3};
    const double lowers[] = {1, c.lower};
    const double uppers[] = {2, c.upper};
    EXPECT_EQ(Row_BlockBound(mcp, 1, rows, vars, lowers, uppers, 2, "B", &counter),
              ROW_INFEASIBLE);
    EXPECT_EQ(Log(), c.line);
    EXPECT_EQ(Records(mcp), records);
    EXPECT_EQ(Upper(mcp)[1], 10.0);
  }
}

TEST_F(RowBlockReduceTest, PostsolveUndoesFixesAndBounds) {
  MCP* mcp = Ready(Wide());
  std::int32_t counter = 0;
  const std::int32_t rows[] = {2, 5};
  const double values[] = {1.0, 0.5};
  ASSERT_EQ(Row_BlockFix(mcp, 1, rows, rows, values, 2, "Fix", &counter), ROW_HANDLED);
  const std::int32_t brow[] = {4};
  const double lowers[] = {0.0};
  const double uppers[] = {2.0};
  ASSERT_EQ(Row_BlockBound(mcp, 2, brow, brow, lowers, uppers, 1, "Bound", &counter),
            ROW_CONTINUE);
  ExpectConsistent(mcp);
  // Every bound comes back exactly, down to the bottom record.
  MCP_Postsolve(mcp);
  EXPECT_EQ(Lower(mcp), original_.l);
  EXPECT_EQ(Upper(mcp), original_.u);
  EXPECT_EQ(Records(mcp), 0);
}

TEST_F(RowBlockReduceTest, ReportsPrintTheRowsTermByTermAtLevelThree) {
  MCP* mcp = Ready(Wide(), {0, 1, 0, 0, 0}, 3);
  std::int32_t counter = 0;
  const std::int32_t rows[] = {3, 5};
  EXPECT_EQ(Row_BlockReport(mcp, rows, 2, "Label", " Done"), ROW_CONTINUE);
  // Row 3: 1 x2 + 3 x3 - 3 with x2 = 1 saved (F = -2); row 5 is x4 + 5 x5 - 5.
  EXPECT_EQ(Log(),
            "Label Done\n     f[    3]\n"
            "      0.0000e+00 <= x[   3] <=  1.0000e+01 :  1.0000e+00*x[   2] +  3.0000e+00*x[   3]"
            " + -3.0000e+00 ?= 0\n"
            "     f[    5]\n"
            "      0.0000e+00 <= x[   5] <=  1.0000e+20 :  1.0000e+00*x[   4] +  5.0000e+00*x[   5]"
            " + -5.0000e+00 >= 0\n");
  output()->Clear();
  // Fixed columns leave the printout; their terms sit in the constant.
  const std::int32_t fix[] = {2, 3};
  const double values[] = {1.0, 1.0};
  Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = 1;
  ASSERT_EQ(Row_BlockFix(mcp, 1, fix, fix, values, 2, "Fix", &counter), ROW_HANDLED);
  Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = 3;
  const std::int32_t before[] = {1, 2, 4};
  Row_PrintBlockRows(mcp, before, 3);
  // Row 2 is fixed and not printed; row 4's 1e-13 in column 5 is left out.
  EXPECT_EQ(Log(),
            "      0.0000e+00 <= x[   1] <=  1.0000e+01 :  1.0000e+00*x[   1] +  1.0000e+00*x[   4]"
            " +  1.0000e+00*x[   5] +  1.0000e+00 ?= 0\n"
            "      0.0000e+00 <= x[   4] <=  1.0000e+01 :  4.0000e+00*x[   4]"
            " + -3.0000e+00 ?= 0\n");
  // At level 2 nothing is printed term by term.
  output()->Clear();
  Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = 2;
  Row_PrintBlockRows(mcp, before, 1);
  EXPECT_EQ(Log(), "");
}

TEST_F(RowBlockReduceTest, ARowWithoutLiveTermsPrintsItsConstant) {
  MCP* mcp = Ready(Lcp({{0, 1}, {1, 1}}, {2, 0}, {0, 0}, {10, kInf}), {}, 1);
  std::int32_t counter = 0;
  const std::int32_t two[] = {2};
  const double one[] = {1.0};
  ASSERT_EQ(Row_BlockFix(mcp, 1, two, two, one, 1, "Fix", &counter), ROW_HANDLED);
  Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = 3;
  const std::int32_t first[] = {1};
  Row_PrintBlockRows(mcp, first, 1);
  EXPECT_EQ(Log(), "      0.0000e+00 <= x[   1] <=  1.0000e+01 :  3.0000e+00 ?= 0\n");
}

}  // namespace
