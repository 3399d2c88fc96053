// PLCP record: start (bounds, codes, M, q and d, the working block with
// every diagonal stored), evaluations against M x + q + t d, finish and
// copy. The start checks, names, codes and the count checks of the matrix
// callback it shares with the PMCP are checked on both in
// ProblemClassesTest.cpp.
#include <string>
#include <vector>

#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "problems/PLCP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

class PLCPTest : public LibraryTest {
 protected:
  void TearDown() override {
    PLCP_Destroy(plcp_);
    LibraryTest::TearDown();
  }
  PLCP* Start(FakePLCP& fake, int nnz = 5) {
    interface_ = fake.Interface();
    PLCP_SetInterface(&interface_);
    plcp_ = PLCP_Create(3, nnz);
    EXPECT_EQ(PLCP_Start(plcp_), PLCP_STARTED);
    return plcp_;
  }
  PLCP_Interface interface_{};
  PLCP* plcp_ = nullptr;
};

TEST_F(PLCPTest, StartKeepsEveryVariableAndStoresTheDiagonal) {
  FakePLCP fake;
  fake.lower = {1.0, -1e30, 0.0};
  fake.upper = {1.0, 1e30, 2.0};
  fake.start = {0.3, 0.0, 2.0};
  fake.t = 0.5;
  fake.t_lower = 0.0;
  fake.t_upper = 1.0;
  PLCP* p = Start(fake);
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"start", "problem_size", "bounds", "matrix"}));
  EXPECT_EQ(PLCP_Variables(p), 3);
  // A variable with lower = upper stays, keeps the x it was given and gets
  // code 5; bounds beyond infinity come back as infinity.
  EXPECT_EQ(Values(PLCP_X(p)), (std::vector<double>{0.3, 0.0, 2.0}));
  EXPECT_EQ(Values(PLCP_FullLower(p)), (std::vector<double>{1.0, -1e20, 0.0}));
  EXPECT_EQ(Values(PLCP_Upper(p)), (std::vector<double>{1.0, 1e20, 2.0}));
  EXPECT_EQ(Values(PLCP_FullBasis(p)), (std::vector<int>{5, 1, 4}));
  EXPECT_EQ(Values(PLCP_Basis(p)), (std::vector<int>{5, 1, 4}));
  EXPECT_EQ(PLCP_TBasis(p), BASIS_BASIC);
  EXPECT_EQ(PLCP_T(p), 0.5);
  EXPECT_EQ(Values(PLCP_Q(p)), fake.q);
  EXPECT_EQ(Values(PLCP_FullD(p)), fake.d);
  // The full M keeps the caller's pattern; the working M stores column 2's
  // missing diagonal as 0.0.
  EXPECT_EQ(SparseMatrix_NNZ(PLCP_FullM(p)), 5);
  EXPECT_FALSE(StoresEveryDiagonal(PLCP_FullM(p)));
  EXPECT_EQ(PLCP_Nonzeros(p), 6);
  EXPECT_TRUE(StoresEveryDiagonal(PLCP_M(p)));
  EXPECT_EQ(DenseOf(PLCP_M(p)), DenseOf(PLCP_FullM(p)));
}

TEST_F(PLCPTest, MatrixCallbackIsRequired) {
  FakePLCP fake;
  interface_ = fake.Interface();
  interface_.matrix = nullptr;
  PLCP_SetInterface(&interface_);
  plcp_ = PLCP_Create(3, 5);
  EXPECT_SOLVER_ERROR(PLCP_Start(plcp_), "callbacks not installed");
  EXPECT_EQ(PLCP_Variables(plcp_), 0);
}

TEST_F(PLCPTest, EvaluationsAreTheLinearFunction) {
  FakePLCP fake;
  PLCP* p = Start(fake);
  DenseVector* x = DenseVector_Create(3);
  DenseVector* column = DenseVector_Create(3);
  FunctionJacobian* pair = FunctionJacobian_Create(3, PLCP_Nonzeros(p));
  const std::vector<double> point = {1.0, -2.0, 0.5};
  Assign(x, point);
  EXPECT_EQ(PLCP_Function(p, x, 2.0, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), fake.F(point, 2.0));
  EXPECT_EQ(FunctionJacobian_N(pair), 3);

  EXPECT_EQ(PLCP_Jacobian(p, x, -1.0, pair, column), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), fake.F(point, -1.0));
  EXPECT_EQ(Values(column), fake.d);
  EXPECT_EQ(FunctionJacobian_Nnz(pair), 6);
  EXPECT_TRUE(StoresEveryDiagonal(FunctionJacobian_Jacobian(pair)));
  std::vector<double> dense(9, 0.0);
  for (const Triplet& e : fake.m) dense[e.row * 3 + e.col] = e.value;
  EXPECT_EQ(DenseOf(FunctionJacobian_Jacobian(pair)), dense);

  DenseVector* tiny = DenseVector_Create(2);
  EXPECT_SOLVER_ERROR(PLCP_Jacobian(p, x, 0.0, pair, tiny), "room for 3");
  Assign(tiny, {1.0, 2.0});
  EXPECT_SOLVER_ERROR(PLCP_Function(p, tiny, 0.0, pair), "point has 2 entries, 3 expected");
  DenseVector_Destroy(tiny);
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(column);
  DenseVector_Destroy(x);
}

TEST_F(PLCPTest, FinishStoresTheSolutionAndReclassifies) {
  FakePLCP fake;
  fake.lower = {0.0, 0.0, -kInf};
  fake.upper = {kInf, 1.0, kInf};
  fake.start = {0.0, 1.0, 0.0};
  fake.t_lower = 0.0;
  fake.t_upper = 1.0;
  PLCP* p = Start(fake);
  EXPECT_EQ(Values(PLCP_FullBasis(p)), (std::vector<int>{3, 4, 1}));
  fake.calls.clear();
  DenseVector* x = DenseVector_Create(3);
  Assign(x, {0.5, 1.0, -3.0});
  PLCP_Finish(p, x, 1.0, nullptr, 0);
  // Nothing is evaluated; the start's codes are reclassified at the new x.
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"finish"}));
  EXPECT_EQ(fake.finished, (std::vector<double>{0.5, 1.0, -3.0}));
  EXPECT_EQ(fake.finished_t, 1.0);
  EXPECT_EQ(Values(PLCP_FullBasis(p)), (std::vector<int>{1, 4, 1}));
  EXPECT_EQ(PLCP_FullTBasis(p), BASIS_UPPER);

  IDenseVector* codes = IDenseVector_Create(3);
  Assign(codes, {4, 3, 0});
  Assign(x, {0.0, 0.0, 1.0});
  PLCP_Finish(p, x, 0.0, codes, 4);
  EXPECT_EQ(Values(PLCP_FullBasis(p)), (std::vector<int>{3, 3, 1}));
  EXPECT_EQ(PLCP_FullTBasis(p), BASIS_LOWER);
  IDenseVector_Destroy(codes);
  DenseVector_Destroy(x);
}

TEST_F(PLCPTest, CopyGrowsTheDestination) {
  FakePLCP fake;
  PLCP* p = Start(fake);
  PLCP_SetTag(p, 4);
  PLCP* copy = PLCP_Create(0, 0);
  PLCP_Copy(copy, p);
  EXPECT_EQ(PLCP_Variables(copy), 3);
  EXPECT_EQ(PLCP_Nonzeros(copy), 6);
  EXPECT_EQ(PLCP_Tag(copy), 4);
  EXPECT_EQ(Values(PLCP_Q(copy)), fake.q);
  EXPECT_EQ(DenseOf(PLCP_M(copy)), DenseOf(PLCP_M(p)));
  // Both matrices of the copy store every diagonal, the full one too.
  EXPECT_TRUE(StoresEveryDiagonal(PLCP_FullM(copy)));
  EXPECT_EQ(SparseMatrix_NNZ(PLCP_FullM(copy)), 6);
  DenseVector* x = DenseVector_Create(3);
  FunctionJacobian* a = FunctionJacobian_Create(3, 6);
  FunctionJacobian* b = FunctionJacobian_Create(3, 6);
  Assign(x, {1.0, 2.0, 3.0});
  PLCP_Function(p, x, 0.5, a);
  PLCP_Function(copy, x, 0.5, b);
  EXPECT_EQ(Values(FunctionJacobian_Function(a)), Values(FunctionJacobian_Function(b)));
  FunctionJacobian_Destroy(a);
  FunctionJacobian_Destroy(b);
  DenseVector_Destroy(x);
  PLCP_Destroy(copy);
}

}  // namespace
