// Reduction records: the fix operations and their effect on F, the counts
// and the row queue; the postsolve of every record kind, its evaluations
// at level changes and its warnings.
#include <vector>

#include "presolve/PresolveQueue.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveRig.hpp"
#include "presolve/PresolveUtil.hpp"

namespace {

class PostsolveTest : public PresolveRig {
 protected:
  static void Push(MCP* mcp, const PresolveRecord& r) { RecordStack_Push(MCP_PresolveStack(mcp), r); }
  static std::vector<int> Counts(IDenseVector* v) {
    return std::vector<int>(IDenseVector_Array(v), IDenseVector_Array(v) + IDenseVector_Length(v));
  }
};

// Four boxed variables in [0, 5] with
//   F1 = z1 + z2, F2 = z1 + 2 z2 + z3, F3 = z2 + z3 + z4, F4 = z1 + z4.
LinearProblem Chain() {
  return Lcp({{1, 1, 0, 0}, {1, 2, 1, 0}, {0, 1, 1, 1}, {1, 0, 0, 1}}, {0, 0, 0, 0}, {0, 0, 0, 0},
             {5, 5, 5, 5});
}

TEST_F(PostsolveTest, FixingAVariableRecordsItAndUpdatesFCountsAndQueue) {
  MCP* mcp = Prepare(Chain());
  EXPECT_EQ(Counts(MCP_PresolveRowCount(mcp)), (std::vector<int>{2, 3, 3, 2}));
  EXPECT_EQ(Counts(MCP_PresolveColCount(mcp)), (std::vector<int>{3, 3, 2, 2}));
  MCP_FixVariable(mcp, 2, 1, PRESOLVE_KIND_BOUND, 2, 3.0);

  const PresolveRecord r = Top(mcp);
  EXPECT_EQ(r.old_lower, 0.0);
  EXPECT_EQ(r.old_upper, 5.0);
  EXPECT_EQ(r.value, 0.0);
  EXPECT_EQ(r.second_index, 1);
  EXPECT_EQ(r.variable_index, 2);
  EXPECT_EQ(r.level, 2);
  EXPECT_EQ(r.kind, PRESOLVE_KIND_BOUND);
  EXPECT_EQ(X(mcp)[1], 3.0);
  EXPECT_EQ(Lower(mcp)[1], 3.0);
  EXPECT_EQ(Upper(mcp)[1], 3.0);
  ExpectFCurrent(mcp);
  // Row 2 and column 2 leave the counts; rows 1 and 3 become short and are
  // queued in column order.
  EXPECT_EQ(Counts(MCP_PresolveRowCount(mcp)), (std::vector<int>{1, 0, 2, 2}));
  EXPECT_EQ(Counts(MCP_PresolveColCount(mcp)), (std::vector<int>{2, 0, 1, 2}));
  EXPECT_EQ(Marks(mcp)[1], 0);
  ASSERT_EQ(PresolveQueue_Count(), 2);
  EXPECT_EQ(PresolveQueue_Take(), 1);
  EXPECT_EQ(PresolveQueue_Take(), 3);

  // Fixing it again pushes nothing and changes no count; x and F follow the
  // fixed value only.
  Presolve_SetValue(mcp, 2, 4.0);
  const int records = Records(mcp);
  MCP_FixVariable(mcp, 2, 1, PRESOLVE_KIND_BOUND, 2, 1.0);
  EXPECT_EQ(Records(mcp), records);
  EXPECT_EQ(X(mcp)[1], 3.0);
  ExpectFCurrent(mcp);
  EXPECT_EQ(Counts(MCP_PresolveRowCount(mcp)), (std::vector<int>{1, 0, 2, 2}));
}

TEST_F(PostsolveTest, ColumnFixQueuesTheColumnsOfItsRow) {
  MCP* mcp = Prepare(Chain());
  MCP_FixVariableCol(mcp, 1, 4, PRESOLVE_KIND_BOUND, 4, 0.0);
  // Row 4 holds columns 1 and 4: column 1 keeps 2 entries and is queued.
  EXPECT_EQ(Counts(MCP_PresolveColCount(mcp)), (std::vector<int>{2, 3, 2, 0}));
  ASSERT_EQ(PresolveQueue_Count(), 1);
  EXPECT_EQ(PresolveQueue_Take(), 1);
}

TEST_F(PostsolveTest, QueueWrapsAroundAndKeepsEachRowOnce) {
  Prepare(Chain());
  PresolveQueue_Reset(3);
  for (int i : {1, 2, 3, 2}) PresolveQueue_Append(i);
  EXPECT_EQ(PresolveQueue_Count(), 3);
  EXPECT_EQ(PresolveQueue_Take(), 1);
  PresolveQueue_Append(1);  // slot 4 wraps to slot 1
  EXPECT_EQ(PresolveQueue_Take(), 2);
  EXPECT_EQ(PresolveQueue_Take(), 3);
  EXPECT_EQ(PresolveQueue_Head(), 1);
  EXPECT_EQ(PresolveQueue_Take(), 1);
  EXPECT_EQ(PresolveQueue_Take(), 0);
  EXPECT_EQ(PresolveQueue_Queued(1), 0);
}

TEST_F(PostsolveTest, AStackWithTheBottomRecordOnlyEvaluatesNothing) {
  MCP* mcp = Prepare(Chain());
  ASSERT_EQ(Records(mcp), 1);
  MCP_Postsolve(mcp);
  EXPECT_EQ(Records(mcp), 0);
  EXPECT_EQ(adapter().function_calls, 0);
  MCP_Postsolve(mcp);  // an empty stack: nothing
  EXPECT_EQ(adapter().function_calls, 0);
}

TEST_F(PostsolveTest, FIsEvaluatedFirstAndOncePerLevelChange) {
  MCP* mcp = Prepare(Chain());
  MCP_FixVariable(mcp, 1, 1, PRESOLVE_KIND_BOUND, 1, 1.0);
  MCP_FixVariable(mcp, 1, 3, PRESOLVE_KIND_BOUND, 3, 2.0);
  MCP_FixVariable(mcp, 2, 4, PRESOLVE_KIND_BOUND, 4, 0.0);
  // The solver's last evaluation may be at another point: F is stale here.
  DenseVector_SetValue(MCP_EvaluationF(mcp), 2, 99.0);
  MCP_Postsolve(mcp);
  EXPECT_EQ(adapter().function_calls, 2);
  EXPECT_EQ(Records(mcp), 0);
  EXPECT_EQ(Lower(mcp), (std::vector<double>{0, 0, 0, 0}));
  EXPECT_EQ(Upper(mcp), (std::vector<double>{5, 5, 5, 5}));
  ExpectFCurrent(mcp);
}

TEST_F(PostsolveTest, BoundRecordsRestoreTheBoundsAndProjectX) {
  MCP* mcp = Prepare(Chain());
  // A record of bounds [0, 2] while x_2 ended at 3: x_2 is moved to 2.
  Push(mcp, {0.0, 2.0, 0.0, 1, 2, 1, PRESOLVE_KIND_BOUND});
  Presolve_SetValue(mcp, 2, 3.0);
  MCP_Postsolve(mcp);
  EXPECT_EQ(X(mcp)[1], 2.0);
  EXPECT_EQ(Upper(mcp)[1], 2.0);
  ExpectFCurrent(mcp);
}

// F1 = z2 + 1 and F2 = -z1 + z2, z1 in [0, 4] and z2 in [0, 10].
LinearProblem Repair() { return Lcp({{0, 1}, {-1, 1}}, {1, 0}, {0, 0}, {4, 10}); }

TEST_F(PostsolveTest, AFixRecordReChoosesItsVariableFromItsRows) {
  MCP* mcp = Prepare(Repair());
  // z1 fixed at 2: row 2 (z2 = 0 at its lower bound) wants F2 = -z1 >= 0,
  // row 1 (F1 = 1 > 0) wants z1 at its lowest.
  MCP_FixVariable(mcp, 1, 1, PRESOLVE_KIND_FIX, 1, 2.0);
  MCP_Postsolve(mcp);
  EXPECT_EQ(X(mcp)[0], 0.0);
  ExpectFCurrent(mcp);
  EXPECT_LE(ComplementarityViolation(problem_, X(mcp)), 1e-12);
}

TEST_F(PostsolveTest, AFixRecordWithAnInfiniteTargetWarnsAndStays) {
  // F1 = -1 pushes z1 up to its infinite upper bound.
  MCP* mcp = Prepare(Lcp({{0, 0}, {0, 1}}, {-1, 0}, {0, 0}, {kInf, 1}));
  Options_CommonTable[COMMON_OUTPUT_WARNINGS].bool_value = 1;
  MCP_FixVariable(mcp, 1, 1, PRESOLVE_KIND_FIX, 1, 2.0);
  MCP_Postsolve(mcp);
  EXPECT_EQ(X(mcp)[0], 2.0);
  EXPECT_TRUE(Logged("Error during postsolve: problem infeasible.\n"));
}

TEST_F(PostsolveTest, EquationRecordsMoveThePartnerAlongTheCommonColumn) {
  // Rows 1 and 2 share their live column 3 (2 z3 and z3).
  const LinearProblem p = Lcp({{0, 0, 2}, {0, 0, 1}, {0, 0, 1}}, {0, 0, 0}, {-5, -5, -10},
                              {5, 5, 10});
  struct Case {
    const char* what;
    double partner_upper;
    double x1, x2;
    bool warned;
  };
  const Case cases[] = {
      {"partner within its bounds", 5.0, 1.0, 4.0, false},
      {"partner beyond its bounds", 3.0, 1.0, 0.0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LinearProblem q = p;
    q.upper[1] = c.partner_upper;
    MCP* mcp = Prepare(q);
    Presolve_SetValue(mcp, 1, 3.0);
    Push(mcp, {0.0, 1.0, 0.0, 2, 1, 1, PRESOLVE_KIND_EQUATION});
    MCP_Postsolve(mcp);
    EXPECT_EQ(X(mcp)[0], c.x1);
    EXPECT_EQ(X(mcp)[1], c.x2);
    EXPECT_EQ(output()->status().find("Error during postsolve: equations inconsistent\n") !=
                  std::string::npos,
              c.warned);
  }
  MCP* mcp = Prepare(Lcp({{2, 0, 0}, {0, 0, 1}, {0, 0, 1}}, {0, 0, 0}, {-5, -5, -10},
                         {5, 5, 10}));
  Presolve_SetValue(mcp, 1, 3.0);
  Push(mcp, {0.0, 1.0, 0.0, 2, 1, 1, PRESOLVE_KIND_EQUATION});
  EXPECT_SOLVER_ERROR(MCP_Postsolve(mcp), "equations without a common column");
}

TEST_F(PostsolveTest, DuplicateColumnRecordsSplitTheSumAtAFiniteBound) {
  struct Case {
    const char* what;
    double q2, u2;
    double x1, x2;
  };
  // F2 = q2; x1 = 1, x2 = 2 before.
  const Case cases[] = {
      {"F below 0: to the upper bound", -1.0, 4.0, -1.0, 4.0},
      {"F above 0: to the lower bound", 1.0, 4.0, 3.0, 0.0},
      {"F exactly 0: left", 0.0, 4.0, 1.0, 2.0},
      {"an infinite bound is never a target", -1.0, kInf, 1.0, 2.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(Lcp({{1, 0}, {0, 0}}, {0, c.q2}, {-5, 0}, {5, c.u2}));
    Presolve_SetValue(mcp, 1, 1.0);
    Presolve_SetValue(mcp, 2, 2.0);
    Push(mcp, {0.0, c.u2, 0.0, 1, 2, 1, PRESOLVE_KIND_DUPLICATE_COLUMN});
    MCP_Postsolve(mcp);
    EXPECT_EQ(X(mcp)[0], c.x1);
    EXPECT_EQ(X(mcp)[1], c.x2);
  }
}

TEST_F(PostsolveTest, RowDuplicatePairsArePoppedTogether) {
  MCP* mcp = Prepare(Chain());
  Push(mcp, {0.0, 5.0, 0.0, 1, 2, 1, PRESOLVE_KIND_BOUND});
  Push(mcp, {0.0, 5.0, 0.0, 1, 3, 1, PRESOLVE_KIND_ROW_DUPLICATE});
  MCP_Postsolve(mcp);
  EXPECT_EQ(Records(mcp), 0);

  // A pair without its first record is an internal error.
  MCP* lone = Prepare(Chain());
  Push(lone, {0.0, 5.0, 0.0, 1, 3, 1, PRESOLVE_KIND_ROW_DUPLICATE});
  EXPECT_SOLVER_ERROR(MCP_Postsolve(lone), "record pair incomplete");
}

TEST_F(PostsolveTest, UnknownKindsAreAnInternalError) {
  for (const std::int32_t kind : {std::int32_t{PRESOLVE_KIND_ZERO_COLUMN},
                                  std::int32_t{PRESOLVE_KIND_THREE_COLUMN}, std::int32_t{77}}) {
    MCP* mcp = Prepare(Chain());
    Push(mcp, {0.0, 5.0, 0.0, 1, 2, 1, kind});
    EXPECT_SOLVER_ERROR(MCP_Postsolve(mcp), "unknown reduction kind");
  }
}

TEST_F(PostsolveTest, AnUndefinedFunctionIsLoggedAndThePostsolveGoesOn) {
  NonlinearProblem p = AsNonlinear(Chain());
  bool fail = false;
  const auto linear = p.evaluate;
  p.evaluate = [&fail, linear](const double* x, double* f, std::vector<Triplet>* j) {
    return linear(x, f, j) && !fail;
  };
  MCP* mcp = Prepare(p);
  MCP_FixVariable(mcp, 1, 1, PRESOLVE_KIND_BOUND, 1, 1.0);
  fail = true;
  MCP_Postsolve(mcp);
  EXPECT_TRUE(Logged("Function undefined at new point.\n"));
  EXPECT_EQ(Lower(mcp)[0], 0.0);
  EXPECT_EQ(Records(mcp), 0);
}

// F = 7 z - 1e6 with z free: the presolve solves the row for z = 1e6 / 7,
// which leaves the solver nothing, and F there is 1.16e-10 (no double
// does better than about 1e-10). That point is reported as a solution only
// under a tolerance it meets.
TEST_F(PostsolveTest, APointSettledByThePresolveIsSolvedOnlyWithinTheTolerance) {
  const LinearProblem p = Lcp({{7.0}}, {-1e6}, {-kInf}, {kInf}, "one free row");
  struct Case {
    const char* tolerance;
    int code;
  };
  for (const Case& c : {Case{"convergence_tolerance 1e-9", TERMINATION_SOLVED},
                        Case{"convergence_tolerance 1e-12", TERMINATION_NO_PROGRESS}}) {
    SCOPED_TRACE(c.tolerance);
    ASSERT_EQ(Options_Set(options(), c.tolerance), OPTIONS_APPLIED);
    output()->Clear();
    std::vector<double> z;
    EXPECT_EQ(SolveWhole(p, &z), c.code) << Log();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0], 1e6 / 7.0);
    EXPECT_EQ(Logged("above the convergence tolerance"), c.code != TERMINATION_SOLVED) << Log();
    // One exit message, and it names the code the caller gets.
    EXPECT_EQ(Logged("EXIT - solution found"), c.code == TERMINATION_SOLVED) << Log();
    EXPECT_EQ(Logged("EXIT - no further progress"), c.code != TERMINATION_SOLVED) << Log();
  }
}

}  // namespace
