// Presolve framework operations: bound check, fixed-variable split, basis
// repair, row-wise index, active counts, and the reduction stack around the
// presolve and postsolve.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "presolve/MCP_Start.hpp"
#include "presolve/Presolve.hpp"
#include "problems/MCPFixture.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class PresolveTest : public MCPFixture {
 protected:
  // A record whose full problem holds these bounds, point and F.
  MCP* FullProblem(const std::vector<double>& lower, const std::vector<double>& upper,
                   const std::vector<double>& x = {}, const std::vector<double>& f = {},
                   const std::vector<int>& basis = {}) {
    int n = static_cast<int>(lower.size());
    MCP* mcp = Record(n, n);
    mcp->n = n;
    mcp->nnz = n;
    Fill(mcp->lower, lower);
    Fill(mcp->upper, upper);
    Fill(mcp->x, x.empty() ? std::vector<double>(n, 0.0) : x);
    Fill(FunctionJacobian_Function(mcp->evaluation), f.empty() ? std::vector<double>(n, 0.0) : f);
    IDenseVector_FillZero(mcp->basis, n);
    for (size_t i = 0; i < basis.size(); ++i) IDenseVector_SetValue(mcp->basis, i + 1, basis[i]);
    return mcp;
  }

  static void Fill(DenseVector* v, const std::vector<double>& values) {
    DenseVector_SetLength(v, static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) DenseVector_SetValue(v, i + 1, values[i]);
  }
};

TEST_F(PresolveTest, CheckBoundsClampsFixesAndCountsErrors) {
  struct Case {
    const char* what;
    double lower, upper;
    int status;
    double lower_after, upper_after;
  };
  const Case cases[] = {
      {"ordinary box", 0.0, 1.0, MCP_CONTINUE, 0.0, 1.0},
      {"beyond infinity is clamped", -1e30, 1e30, MCP_CONTINUE, -kInf, kInf},
      {"equal bounds", 2.0, 2.0, MCP_CONTINUE, 2.0, 2.0},
      {"within the zero tolerance", 2.0 + 5e-13, 2.0, MCP_CONTINUE, 2.0 + 5e-13, 2.0 + 5e-13},
      {"crossed by the tolerance", 2.0 + 1e-11, 2.0, MCP_BOUND_ERROR, 2.0 + 1e-11, 2.0},
      {"lower at +infinity", 1e25, 1e25, MCP_BOUND_ERROR, 1e25, kInf},
      {"upper at -infinity", -kInf, -kInf, MCP_BOUND_ERROR, -kInf, -kInf},
      {"NaN lower", kNaN, 1.0, MCP_BOUND_ERROR, kNaN, 1.0},
      {"NaN upper", 0.0, kNaN, MCP_BOUND_ERROR, 0.0, kNaN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    output()->Clear();
    MCP* mcp = FullProblem({c.lower, 0.0}, {c.upper, 1.0});
    EXPECT_EQ(MCP_CheckBounds(mcp), c.status);
    double lower = DenseVector_Value(MCP_FullLower(mcp), 1);
    double upper = DenseVector_Value(MCP_FullUpper(mcp), 1);
    if (std::isnan(c.lower_after)) {
      EXPECT_TRUE(std::isnan(lower));
    } else {
      EXPECT_EQ(lower, c.lower_after);
    }
    if (std::isnan(c.upper_after)) {
      EXPECT_TRUE(std::isnan(upper));
    } else {
      EXPECT_EQ(upper, c.upper_after);
    }
    bool error = c.status == MCP_BOUND_ERROR;
    EXPECT_EQ(output()->status().find("Found: 1 bound errors.\n") != std::string::npos, error);
    EXPECT_EQ(output()->status().find("x[    1]: lb = ") != std::string::npos, error);
  }
}

TEST_F(PresolveTest, CheckBoundsReportsEveryErrorAndTheFixedCount) {
  MCP* mcp = FullProblem({5.0, 1.0, 3.0, 0.0}, {4.0, 1.0, 2.0, 0.0});
  EXPECT_EQ(MCP_CheckBounds(mcp), MCP_BOUND_ERROR);
  EXPECT_NE(output()->status().find("x[    1]: lb = 5.0000e+00 > 4.0000e+00 = ub\n"),
            std::string::npos);
  EXPECT_NE(output()->status().find("x[    3]: lb = 3.0000e+00 > 2.0000e+00 = ub\n"),
            std::string::npos);
  EXPECT_NE(output()->status().find("Found: 2 fixed variables.\n"), std::string::npos);
  EXPECT_NE(output()->status().find("Found: 2 bound errors.\n"), std::string::npos);
}

TEST_F(PresolveTest, BoundErrorsShowTheBoundsThatClash) {
  struct Case {
    double lower, upper;
    const char* line;
  };
  const Case cases[] = {
      {3.0, 2.0, "x[    1]: lb = 3.0000e+00 > 2.0000e+00 = ub\n"},
      {kInf, kInf, "x[    1]: lb = ub = +infinity\n"},
      {1e30, 1e25, "x[    1]: lb = ub = +infinity\n"},
      {-kInf, -kInf, "x[    1]: lb = ub = -infinity\n"},
      {kInf, 4.0, "x[    1]: lb = 1.0000e+20 > 4.0000e+00 = ub\n"},
  };
  for (const Case& c : cases) {
    output()->Clear();
    MCP* mcp = FullProblem({c.lower}, {c.upper});
    EXPECT_EQ(MCP_CheckBounds(mcp), MCP_BOUND_ERROR);
    EXPECT_NE(output()->status().find(c.line), std::string::npos) << output()->status();
  }
}

TEST_F(PresolveTest, SplitFixedBuildsBothMaps) {
  MCP* mcp = FullProblem({0.0, 1.0, kNaN, 3.0}, {1.0, 1.0, kNaN, 3.0}, {0.5, 7.0, 0.0, 2.0});
  EXPECT_EQ(MCP_SplitFixed(mcp), MCP_CONTINUE);
  EXPECT_EQ(MCP_FixedCount(mcp), 2);
  EXPECT_EQ(Values(MCP_FullToReduced(mcp)), (std::vector<int>{1, 0, 2, 0}));
  EXPECT_EQ(Values(MCP_ReducedToFull(mcp)), (std::vector<int>{1, 3}));
  EXPECT_EQ(Values(MCP_FullX(mcp))[1], 1.0);  // moved to its bound
  EXPECT_EQ(Values(MCP_FullX(mcp))[3], 3.0);

  MCP* all = FullProblem({1.0, 2.0}, {1.0, 2.0});
  EXPECT_EQ(MCP_SplitFixed(all), MCP_SOLVED);
  EXPECT_EQ(MCP_FixedCount(all), 2);
}

TEST_F(PresolveTest, RepairBasisMakesCodesAgreeWithBoundsPointAndF) {
  struct Case {
    double l, u, x, f;
    int before, after;
  };
  const Case cases[] = {
      {1.0, 1.0, 1.0, 0.0, 1, 5},     // fixed
      {1.0, 1.0, 1.0, 0.0, 0, 5},
      {0.0, 2.0, 0.0, 0.0, 4, 3},     // at the lower bound
      {0.0, 2.0, 0.0, 0.0, 5, 3},
      {0.0, 2.0, 0.0, 1.0, 1, 3},     // basic, F pushes against the bound
      {0.0, 2.0, 0.0, 1e-11, 1, 1},   // F too small to count
      {0.0, 2.0, 0.0, 0.0, 0, 0},     // no status stays
      {0.0, 2.0, 2.0, 0.0, 3, 4},     // at the upper bound
      {0.0, 2.0, 2.0, -1.0, 1, 4},
      {0.0, 2.0, 2.0, -1e-11, 1, 1},
      {0.0, 2.0, 1.0, 5.0, 3, 1},     // strictly inside
      {0.0, 2.0, 1.0, 5.0, 5, 1},
      {0.0, 2.0, 1.0, 5.0, 0, 0},
      {0.0, 2.0, 3.0, 0.0, 5, 1},     // outside its bounds
      {0.0, 2.0, 3.0, 0.0, 3, 3},
  };
  for (const Case& c : cases) {
    output()->Clear();
    MCP* mcp = FullProblem({c.l}, {c.u}, {c.x}, {c.f}, {c.before});
    MCP_RepairBasis(mcp);
    EXPECT_EQ(IDenseVector_Value(MCP_FullBasis(mcp), 1), c.after)
        << c.l << " " << c.u << " " << c.x << " " << c.f << " " << c.before;
    bool changed = c.before != c.after;
    EXPECT_EQ(output()->status() == "MCP modified basis.\n", changed);
    EXPECT_EQ(output()->log(), "");
  }
}

TEST_F(PresolveTest, RowIndexFollowsTheColumnsWhereverTheyAreStored) {
  // 3 x 3 matrix stored with columns out of order and a gap at position 4:
  //   column 1: rows 3, 1 at positions 5, 6
  //   column 2: row 2 at position 7
  //   column 3: rows 1, 3, 2 at positions 1, 2, 3
  MCP* mcp = FullProblem({0.0, 0.0, 0.0}, {1.0, 1.0, 1.0});
  SparseMatrix* J = MCP_EvaluationJ(mcp);
  SparseMatrix_Resize(J, 3, 3, 7);
  SparseMatrix_SetSize(J, 3, 3, 7);
  const int start[] = {5, 7, 1};
  const int length[] = {2, 1, 3};
  const int row[] = {1, 3, 2, 1, 3, 1, 2};
  for (int j = 0; j < 3; ++j) {
    IDenseVector_SetValue(SparseMatrix_ColStart(J), j + 1, start[j]);
    IDenseVector_SetValue(SparseMatrix_ColLen(J), j + 1, length[j]);
  }
  for (int p = 0; p < 7; ++p) {
    IDenseVector_SetValue(SparseMatrix_RowIndex(J), p + 1, row[p]);
    DenseVector_SetValue(SparseMatrix_Values(J), p + 1, 1.0);
  }
  MCP_AllocatePresolve(mcp);
  MCP_BuildRowIndex(mcp);
  EXPECT_EQ(Values(MCP_PresolveRowLength(mcp)), (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(Values(MCP_PresolveRowStart(mcp)), (std::vector<int>{1, 3, 5}));
  // Row 1: (col 1, pos 6), (col 3, pos 1); row 2: (col 2, pos 7), (col 3,
  // pos 3); row 3: (col 1, pos 5), (col 3, pos 2).
  EXPECT_EQ(Values(MCP_PresolveRowEntry(mcp)), (std::vector<int>{6, 1, 7, 3, 5, 2}));
  EXPECT_EQ(Values(MCP_PresolveEntryColumn(mcp)), (std::vector<int>{3, 3, 3, 0, 1, 1, 2}));
}

TEST_F(PresolveTest, ActiveCountsSkipFixedVariablesAndTinyLinearEntries) {
  // F = J x with J = [1 0 5; 1e-11 2 0; 0 3 1e-13] stored densely; x2 fixed.
  // The tiny entry (3,3) lies below presolve_jacobian_tolerance (1e-12).
  FakeMCP fake(3, 9, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = x[0] + 5.0 * x[2];
    f[1] = 1e-11 * x[0] + 2.0 * x[1];
    f[2] = 3.0 * x[1] + 1e-13 * x[2];
    if (j) {
      *j = {{0, 0, 1.0}, {1, 0, 1e-11}, {2, 0, 0.0}, {0, 1, 0.0}, {1, 1, 2.0},
            {2, 1, 3.0}, {0, 2, 5.0},   {1, 2, 0.0}, {2, 2, 1e-13}};
    }
    return 0;
  });
  fake.lower = {0.0, 1.0, 0.0};
  fake.upper = {9.0, 1.0, 9.0};
  MCP* mcp = Make(fake, 9);
  MCP_PresolveInterface hooks{};
  // Entries 1-3 (column 1) nonlinear, the rest linear.
  hooks.jacobian_types = [](void*, int nnz, int* type) {
    for (int k = 3; k < nnz; ++k) type[k] = 0;
  };
  MCP_SetPresolveInterface(mcp, &hooks);
  MCP_SetPresolve(mcp, 1);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  // Row 1: (1,1) and (1,3); row 3: (3,1) nonlinear although 0.0, (3,3)
  // linear and tiny: not active. Row and column 2 belong to x2: none.
  EXPECT_EQ(Values(MCP_PresolveRowCount(mcp)), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(Values(MCP_PresolveColCount(mcp)), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(Values(MCP_PresolveEntryType(mcp)), (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Values(MCP_PresolveRowType(mcp)), (std::vector<int>{0, 0, 0}));
}

TEST_F(PresolveTest, SkewSymmetryCheckSetsUpWithoutChangingTheProblem) {
  Options_CommonTable[COMMON_CHECK_SKEW_SYMMETRY].bool_value = 1;
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  fake.lower = {0.0, 0.0};
  fake.upper = {5.0, 5.0};
  MCP* mcp = Make(fake, 2);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_EQ(MCP_PresolveMade(mcp), 1);
  EXPECT_EQ(Values(MCP_PresolveRowCount(mcp)), (std::vector<int>{1, 1}));
  EXPECT_EQ(Values(MCP_FullLower(mcp)), (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(MCP_Variables(mcp), 2);
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp)), 0);  // no presolve ran
}

TEST_F(PresolveTest, PresolvePushesOneBottomRecordAndPostsolvePopsToIt) {
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  MCP* mcp = Make(fake, 2);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  MCP_AllocatePresolve(mcp);
  RecordStack* stack = MCP_PresolveStack(mcp);
  PresolveRecord stale = {0.0, 1.0, 0.0, 0, 1, 3, 1};
  RecordStack_Push(stack, stale);
  RecordStack_Push(stack, stale);

  EXPECT_EQ(MCP_Presolve(mcp), MCP_CONTINUE);
  ASSERT_EQ(RecordStack_Count(stack), 1);
  PresolveRecord bottom;
  RecordStack_Top(stack, bottom);
  EXPECT_EQ(bottom.kind, -1);
  EXPECT_EQ(bottom.variable_index, -1);
  EXPECT_EQ(bottom.second_index, -1);
  EXPECT_EQ(bottom.level, -1);
  EXPECT_EQ(bottom.old_lower, -kInf);
  EXPECT_EQ(bottom.old_upper, kInf);

  // Records older than the bottom one stay; postsolve stops at it.
  PresolveRecord older = {0.0, 1.0, 0.0, 0, 2, 1, 1};
  RecordStack_Pop(stack, bottom);
  RecordStack_Push(stack, older);
  RecordStack_Push(stack, bottom);
  RecordStack_Push(stack, stale);
  MCP_Postsolve(mcp);
  ASSERT_EQ(RecordStack_Count(stack), 1);
  RecordStack_Top(stack, bottom);
  EXPECT_EQ(bottom.variable_index, 2);

  // Nothing to undo: an empty stack and a record without the part.
  RecordStack_Pop(stack, bottom);
  MCP_Postsolve(mcp);
  EXPECT_EQ(RecordStack_Count(stack), 0);
  MCP_Postsolve(Record(2, 2));
}

}  // namespace
