// PMCP record: start (fixed variables taken out, the parameter, codes),
// reduced evaluations of F, J and the parameter column against the problem
// and finite differences, finish, names in the caller's numbering and copy.
// The start checks, names, codes and the count checks of the Jacobian
// callback it shares with the PLCP are checked on both in
// ProblemClassesTest.cpp.
#include <cstdio>
#include <string>
#include <vector>

#include "presolve/MCP_Finish.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "problems/PMCP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

class PMCPTest : public LibraryTest {
 protected:
  // A reduced point, a parameter column and a pair for it.
  struct Outputs {
    DenseVector* x;
    DenseVector* column;
    FunctionJacobian* pair;
  };
  void TearDown() override {
    for (const Outputs& o : outputs_) {
      FunctionJacobian_Destroy(o.pair);
      DenseVector_Destroy(o.column);
      DenseVector_Destroy(o.x);
    }
    PMCP_Destroy(pmcp_);
    LibraryTest::TearDown();
  }
  PMCP* Start(FakePMCP& fake, int nnz = 9) {
    interface_ = fake.Interface();
    PMCP_SetInterface(&interface_);
    pmcp_ = PMCP_Create(3, nnz);
    PMCP_Start(pmcp_);
    return pmcp_;
  }
  // Outputs for point (x set to it) with nnz entries of room; the fixture
  // frees them.
  Outputs MakeOutputs(const std::vector<double>& point, int nnz) {
    int n = static_cast<int>(point.size());
    outputs_.push_back(
        {DenseVector_Create(n), DenseVector_Create(n), FunctionJacobian_Create(n, nnz)});
    Assign(outputs_.back().x, point);
    return outputs_.back();
  }
  PMCP_Interface interface_{};
  PMCP* pmcp_ = nullptr;
  std::vector<Outputs> outputs_;
};

TEST_F(PMCPTest, StartTakesOutFixedVariables) {
  FakePMCP fake;
  fake.lower = {0.0, 1.5, -1e30};
  fake.upper = {kInf, 1.5, 1e30};
  fake.start = {0.0, 0.0, 2.0};
  fake.basis = {4, 0, 3};
  fake.t_lower = 0.0;
  fake.t_upper = 2.0;
  fake.t = 0.5;
  PMCP* p = Start(fake);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"start", "problem_size", "bounds", "basis"}));
  EXPECT_NE(output()->status().find("PMCP: Start: 1 fixed variables encountered.\n"),
            std::string::npos);
  // Full block: the fixed variable sits at its bound with code 5; bounds
  // beyond infinity are written back as infinity.
  EXPECT_EQ(Values(PMCP_FullX(p)), (std::vector<double>{0.0, 1.5, 2.0}));
  EXPECT_EQ(Values(PMCP_FullLower(p)), (std::vector<double>{0.0, 1.5, -1e20}));
  EXPECT_EQ(Values(PMCP_FullUpper(p)), (std::vector<double>{1e20, 1.5, 1e20}));
  EXPECT_EQ(Values(PMCP_FullBasis(p)), (std::vector<int>{3, 5, 1}));
  // Reduced block: variables 1 and 3.
  EXPECT_EQ(PMCP_Variables(p), 2);
  EXPECT_EQ(PMCP_Nonzeros(p), 4);  // min(9 + 2, 2 * 2)
  EXPECT_EQ(Values(PMCP_X(p)), (std::vector<double>{0.0, 2.0}));
  EXPECT_EQ(Values(PMCP_Lower(p)), (std::vector<double>{0.0, -1e20}));
  EXPECT_EQ(Values(PMCP_Basis(p)), (std::vector<int>{3, 1}));
  EXPECT_EQ(PMCP_T(p), 0.5);
  EXPECT_EQ(PMCP_TLower(p), 0.0);
  EXPECT_EQ(PMCP_TUpper(p), 2.0);
  EXPECT_EQ(PMCP_TBasis(p), BASIS_BASIC);
  // The point is not projected: nothing is evaluated by the start.
  EXPECT_TRUE(fake.points.empty());
}

TEST_F(PMCPTest, FixedParameterStaysAndGetsLowerCode) {
  FakePMCP fake;
  fake.t_lower = 1.0;
  fake.t_upper = 1.0;
  fake.t = 1.0;
  PMCP* p = Start(fake);
  EXPECT_EQ(PMCP_Variables(p), 3);
  EXPECT_EQ(PMCP_FullTBasis(p), BASIS_LOWER);
  EXPECT_EQ(PMCP_T(p), 1.0);
  EXPECT_EQ(output()->status().find("fixed variables"), std::string::npos);
}

TEST_F(PMCPTest, AllVariablesFixedIsRefusedEvenWithAFreeParameter) {
  FakePMCP fake;
  fake.lower = {1.0, 2.0, 3.0};
  fake.upper = {1.0, 2.0, 3.0};
  interface_ = fake.Interface();
  PMCP_SetInterface(&interface_);
  pmcp_ = PMCP_Create(3, 9);
  EXPECT_SOLVER_ERROR(PMCP_Start(pmcp_), "PMCP: Start: all variables fixed.\n");
  EXPECT_EQ(PMCP_Variables(pmcp_), 0);
}

TEST_F(PMCPTest, ReducedEvaluationsMatchTheProblem) {
  // Variable 2 fixed at 1.5; the reduced point is (x1, x3).
  FakePMCP fake;
  fake.lower = {-kInf, 1.5, -kInf};
  fake.upper = {kInf, 1.5, kInf};
  PMCP* p = Start(fake);
  ASSERT_EQ(PMCP_Variables(p), 2);
  const std::vector<double> point = {0.4, -0.3};
  const double t = 0.75;
  auto [x, column, pair] = MakeOutputs(point, PMCP_Nonzeros(p));
  EXPECT_EQ(PMCP_Function(p, x, t, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), fake.ReducedF(point, t, 1, 1.5));
  EXPECT_EQ(FunctionJacobian_N(pair), 2);
  // The callback saw the full point with the fixed value in place.
  EXPECT_EQ(fake.points.back(), (std::vector<double>{0.4, 1.5, -0.3}));

  EXPECT_EQ(PMCP_Jacobian(p, x, t, pair, column), 1);
  EXPECT_EQ(PMCP_Nonzeros(p), 4);  // the evaluation leaves the record's bound alone
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), fake.ReducedF(point, t, 1, 1.5));
  EXPECT_TRUE(StoresEveryDiagonal(FunctionJacobian_Jacobian(pair)));
  EXPECT_EQ(FunctionJacobian_Nnz(pair), SparseMatrix_NNZ(FunctionJacobian_Jacobian(pair)));
  std::vector<double> numeric = FiniteDifferences(
      [&](const std::vector<double>& xr) { return fake.ReducedF(xr, t, 1, 1.5); }, point);
  std::vector<double> analytic = DenseOf(FunctionJacobian_Jacobian(pair));
  for (size_t k = 0; k < numeric.size(); ++k) EXPECT_NEAR(analytic[k], numeric[k], 1e-6) << k;
  std::vector<double> dt = FiniteDifferences(
      [&](const std::vector<double>& tv) { return fake.ReducedF(point, tv[0], 1, 1.5); }, {t});
  ASSERT_EQ(DenseVector_Length(column), 2);
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(DenseVector_Value(column, i + 1), dt[i], 1e-6);

  // A domain error makes the evaluations return 0.
  fake.undefined = true;
  EXPECT_EQ(PMCP_Function(p, x, t, pair), 0);
  EXPECT_EQ(PMCP_Jacobian(p, x, t, pair, column), 0);

  // Outputs without room and points of the wrong length are refused.
  DenseVector* tiny = DenseVector_Create(1);
  EXPECT_SOLVER_ERROR(PMCP_Jacobian(p, x, t, pair, tiny), "room for 2");
  EXPECT_SOLVER_ERROR(PMCP_Function(p, tiny, t, pair), "point has 0 entries, 2 expected");
  DenseVector_Destroy(tiny);
}

TEST_F(PMCPTest, WithoutFixedVariablesTheCallbacksSeeTheCallersPoint) {
  FakePMCP fake;
  PMCP* p = Start(fake);
  auto [x, column, pair] = MakeOutputs({0.1, 0.2, 0.3}, PMCP_Nonzeros(p));
  PMCP_Function(p, x, 0.5, pair);
  EXPECT_EQ(fake.arrays.back(), DenseVector_Array(x));
  PMCP_Jacobian(p, x, 0.5, pair, column);
  EXPECT_EQ(fake.arrays.back(), DenseVector_Array(x));
  // Column 3 lacks its diagonal in the problem; the reduced Jacobian has it.
  EXPECT_EQ(FunctionJacobian_Nnz(pair), kCurvedEntries + 1);
  EXPECT_EQ(Values(column), (std::vector<double>{0.1, 0.0, 1.0}));
}

TEST_F(PMCPTest, FinishStoresTheSolutionInTheCallersNumbering) {
  FakePMCP fake;
  fake.lower = {0.0, 1.5, -kInf};
  fake.upper = {kInf, 1.5, kInf};
  fake.t_lower = 0.0;
  fake.t_upper = 1.0;
  PMCP* p = Start(fake);
  fake.calls.clear();
  DenseVector* x = DenseVector_Create(2);
  Assign(x, {0.0, -2.0});
  IDenseVector* codes = IDenseVector_Create(2);
  Assign(codes, {4, 3});
  PMCP_Finish(p, x, 1.0, codes, 0);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"jacobian", "finish"}));
  EXPECT_EQ(fake.finished, (std::vector<double>{0.0, 1.5, -2.0}));
  EXPECT_EQ(fake.finished_t, 1.0);
  EXPECT_EQ(fake.points.back(), (std::vector<double>{0.0, 1.5, -2.0}));
  // Codes scattered and reclassified: at lower 4 -> 3, fixed 5, free 3 -> 1;
  // t at its upper bound.
  EXPECT_EQ(Values(PMCP_FullBasis(p)), (std::vector<int>{3, 5, 1}));
  EXPECT_EQ(PMCP_FullT(p), 1.0);
  EXPECT_EQ(PMCP_FullTBasis(p), BASIS_UPPER);

  // Without codes the full codes of the start are reclassified.
  Assign(x, {0.5, -2.0});
  PMCP_Finish(p, x, 0.5, nullptr, 0);
  EXPECT_EQ(Values(PMCP_FullBasis(p)), (std::vector<int>{1, 5, 1}));
  EXPECT_EQ(PMCP_FullTBasis(p), BASIS_BASIC);
  IDenseVector_Destroy(codes);
  DenseVector_Destroy(x);
}

TEST_F(PMCPTest, NamesCarryTheFullIndex) {
  FakePMCP fake;
  fake.lower = {-kInf, 1.0, -kInf};
  fake.upper = {kInf, 1.0, kInf};
  PMCP* p = Start(fake);
  char buffer[32];
  PMCP_VariableName(p, 2, buffer, 32);
  EXPECT_STREQ(buffer, "x[    3]");
  PMCP_ConstraintName(p, 1, buffer, 32);
  EXPECT_STREQ(buffer, "f[    1]");
  interface_.variable_name = [](void*, int i, char* b, int len) {
    return std::snprintf(b, len, "v%d", i);
  };
  PMCP_VariableName(p, 2, buffer, 32);
  EXPECT_STREQ(buffer, "v3");
}

TEST_F(PMCPTest, CopyGrowsTheDestination) {
  // J's room is exactly the problem's 7 entries; its copy needs 8.
  FakePMCP fake;
  fake.nnz_reported = kCurvedEntries;
  fake.lower = {-kInf, 1.5, -kInf};
  fake.upper = {kInf, 1.5, kInf};
  PMCP* p = Start(fake, kCurvedEntries);
  auto [x, column, pair] = MakeOutputs({0.2, 0.4}, PMCP_Nonzeros(p));
  PMCP_Jacobian(p, x, 0.1, pair, column);
  PMCP_SetTag(p, 9);

  // The destination is as small as can be; the copy of J stores every
  // diagonal, beyond what src's capacities would hold.
  PMCP* copy = PMCP_Create(0, 0);
  PMCP_Copy(copy, p);
  EXPECT_EQ(PMCP_Variables(copy), 2);
  EXPECT_EQ(PMCP_Nonzeros(copy), PMCP_Nonzeros(p));
  EXPECT_EQ(Values(PMCP_X(copy)), Values(PMCP_X(p)));
  EXPECT_EQ(Values(PMCP_FullX(copy)), Values(PMCP_FullX(p)));
  EXPECT_EQ(Values(PMCP_FullBasis(copy)), Values(PMCP_FullBasis(p)));
  EXPECT_EQ(PMCP_Tag(copy), 9);
  EXPECT_EQ(DenseOf(copy->J), DenseOf(p->J));
  EXPECT_TRUE(StoresEveryDiagonal(copy->J));
  // The copy evaluates like the original.
  FunctionJacobian* other = FunctionJacobian_Create(2, PMCP_Nonzeros(copy));
  PMCP_Function(copy, x, 0.1, other);
  PMCP_Function(p, x, 0.1, pair);
  EXPECT_EQ(Values(FunctionJacobian_Function(other)), Values(FunctionJacobian_Function(pair)));
  FunctionJacobian_Destroy(other);
  PMCP_Destroy(copy);

  EXPECT_SOLVER_ERROR(PMCP_Create(50000, 2147483647), "Problem size too large.\n");
}

}  // namespace
