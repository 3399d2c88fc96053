// CNS record, what only it does: bounds merged within 1e-10, the
// project_start option, basis codes and their repair, the finish of a
// failed start, the interface held in the record. What it shares with the
// QP is checked on both in ProblemClassesTest.cpp.
#include <cmath>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "problems/CNS.hpp"
#include "problems/ClassProblems.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

class CNSTest : public LibraryTest {
 protected:
  void TearDown() override {
    CNS_Destroy(cns_);
    LibraryTest::TearDown();
  }
  CNS* Make(FakeCaller& fake, int n = 3, int nnz = 9) {
    cns_ = CNS_Create(n, nnz);
    CNS_Interface in = CNSInterface(fake);
    CNS_SetInterface(cns_, &in);
    return cns_;
  }
  CNS* cns_ = nullptr;
};

TEST_F(CNSTest, BoundsAreCheckedVariableByVariable) {
  struct Case {
    const char* name;
    double lower, upper;
    int status;
    double lower_after, upper_after;
    bool warned;
  };
  const Case cases[] = {
      {"within 1e-10 merge", 1.0, 1.0 + 5e-11, CNS_CONTINUE, 1.0, 1.0, false},
      {"crossed beyond 1e-10", 1.0 + 2e-10, 1.0, CNS_BOUND_ERROR, 1.0 + 2e-10, 1.0, true},
      {"crossed within 1e-10 merge", 1.0 + 5e-11, 1.0, CNS_CONTINUE, 1.0 + 5e-11, 1.0 + 5e-11,
       false},
      {"beyond infinity clamped", -1e30, 1e30, CNS_CONTINUE, -1e20, 1e20, false},
      {"NaN bound", kNaN, 1.0, CNS_BOUND_ERROR, kNaN, 1.0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    output()->Clear();
    FakeCaller fake;
    fake.lower = {c.lower, -kInf, -kInf};
    fake.upper = {c.upper, kInf, kInf};
    CNS* cns = CNS_Create(3, 9);
    CNS_Interface in = CNSInterface(fake);
    CNS_SetInterface(cns, &in);
    EXPECT_EQ(CNS_Start(cns), c.status);
    double l = DenseVector_Value(CNS_UserLower(cns), 1);
    double u = DenseVector_Value(CNS_UserUpper(cns), 1);
    if (std::isnan(c.lower_after)) {
      EXPECT_TRUE(std::isnan(l));
    } else {
      EXPECT_EQ(l, c.lower_after);
    }
    EXPECT_EQ(u, c.upper_after);
    bool warned = output()->status().find("x[    1]: lb = ") != std::string::npos;
    EXPECT_EQ(warned, c.warned) << output()->status();
    if (c.status != CNS_CONTINUE) {
      EXPECT_EQ(CNS_Variables(cns), 0);
      EXPECT_EQ(cns->size.full_n, 0);
      // Nothing is evaluated once the bounds are wrong.
      EXPECT_EQ(fake.points.size(), 0u);
    }
    CNS_Destroy(cns);
  }
}

TEST_F(CNSTest, StartPointIsProjectedOrBuiltFromTheBounds) {
  struct Case {
    const char* name;
    bool use_start;
    bool project;
    std::vector<double> evaluated;
  };
  // Bounds: x1 in [2, 5] starting at 7, x2 in (-inf, 3] at 9, x3 free at 4.
  const Case cases[] = {
      {"model start projected", true, true, {5.0, 3.0, 4.0}},
      {"model start as given", true, false, {7.0, 9.0, 4.0}},
      {"calculated start", false, true, {2.0, 3.0, 0.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = c.use_start;
    Options_CommonTable[COMMON_PROJECT_START].bool_value = c.project;
    FakeCaller fake;
    fake.lower = {2.0, -kInf, -kInf};
    fake.upper = {5.0, 3.0, kInf};
    fake.start = {7.0, 9.0, 4.0};
    CNS* cns = CNS_Create(3, 9);
    CNS_Interface in = CNSInterface(fake);
    CNS_SetInterface(cns, &in);
    ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
    ASSERT_EQ(fake.points.size(), 1u);
    EXPECT_EQ(fake.points[0], c.evaluated);
    EXPECT_EQ(Values(CNS_X(cns)), c.evaluated);
    CNS_Destroy(cns);
  }
}

TEST_F(CNSTest, FailedStartOnlyHandsThePointToTheFinish) {
  FakeCaller fake;
  fake.undefined = [](const double*) { return true; };
  CNS* cns = Make(fake);
  EXPECT_EQ(CNS_Start(cns), CNS_UNDEFINED);
  EXPECT_EQ(CNS_Variables(cns), 0);
  EXPECT_EQ(cns->size.full_n, 0);
  fake.calls.clear();
  DenseVector* x = DenseVector_Create(3);
  Assign(x, {0.0, 0.0, 0.0});
  CNS_Finish(cns, CNS_UNDEFINED, x, nullptr);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"finish"}));
  DenseVector_Destroy(x);
}

TEST_F(CNSTest, EvaluationWithoutItsCallbackIsRefused) {
  // The slots can be changed after the start; an evaluation then must not
  // call through an empty slot.
  FakeCaller fake;
  CNS* cns = Make(fake);
  ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
  CNS_Interface in;
  CNS_GetInterface(cns, &in);
  in.function_evaluation = nullptr;
  CNS_SetInterface(cns, &in);
  DenseVector* x = DenseVector_Create(3);
  Assign(x, {0.0, 0.0, 0.0});
  FunctionJacobian* pair = FunctionJacobian_Create(3, 12);
  EXPECT_SOLVER_ERROR(CNS_Function(cns, x, pair),
                      "CNS: Function: function_evaluation not installed");
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(x);
}

TEST_F(CNSTest, BasisCodesAreRepaired) {
  // l, u, x and the code the caller gave, the code after the start.
  struct Case {
    double l, u, x;
    int given, repaired;
  };
  const Case cases[] = {
      {1.0, 1.0, 1.0, 1, 5},  // fixed
      {0.0, 2.0, 0.0, 4, 3},  // at lower
      {0.0, 2.0, 0.0, 5, 3},
      {0.0, 2.0, 0.0, 1, 1},  // basic at a bound stays
      {0.0, 2.0, 2.0, 3, 4},  // at upper
      {0.0, 2.0, 1.0, 3, 1},  // inside
      {0.0, 2.0, 1.0, 0, 0},  // no code stays
      {-kInf, kInf, 0.5, 4, 1},
  };
  Options_CommonTable[COMMON_PROJECT_START].bool_value = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.l << " " << c.u << " " << c.x << " " << c.given);
    output()->Clear();
    FakeCaller fake;
    fake.lower = {c.l, -kInf, -kInf};
    fake.upper = {c.u, kInf, kInf};
    fake.start = {c.x, 0.0, 0.0};
    fake.basis = {c.given, 0, 0};
    CNS* cns = CNS_Create(3, 9);
    CNS_Interface in = CNSInterface(fake);
    CNS_SetInterface(cns, &in);
    ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
    EXPECT_EQ(IDenseVector_Value(CNS_Basis(cns), 1), c.repaired);
    bool changed = c.given != c.repaired;
    EXPECT_EQ(output()->status().find("CNS modified basis.\n") != std::string::npos, changed);
    EXPECT_EQ(output()->log().find("CNS modified basis.\n"), std::string::npos);
    CNS_Destroy(cns);
  }
}

TEST_F(CNSTest, FinishTakesTheSolutionAndEvaluatesThere) {
  FakeCaller fake;
  fake.lower = {0.0, -kInf, -kInf};
  fake.basis = {0, 0, 0};
  CNS* cns = Make(fake);
  ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
  fake.calls.clear();
  fake.points.clear();

  DenseVector* x = DenseVector_Create(3);
  Assign(x, {0.0, 2.0, -1.0});
  IDenseVector* codes = IDenseVector_Create(3);
  Assign(codes, {4, 3, 0});
  CNS_Finish(cns, 1, x, codes);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"jacobian", "finish"}));
  EXPECT_EQ(fake.finished, (std::vector<double>{0.0, 2.0, -1.0}));
  EXPECT_EQ(Values(CNS_UserX(cns)), (std::vector<double>{0.0, 2.0, -1.0}));
  // At its lower bound 4 becomes 3; strictly inside 3 becomes 1.
  EXPECT_EQ(Values(CNS_UserBasis(cns)), (std::vector<int>{3, 1, 0}));
  std::vector<double> f(3);
  fake.system.evaluate(DenseVector_Array(x), 0.0, f.data(), nullptr, nullptr);
  EXPECT_EQ(std::vector<double>(CNS_FArray(cns), CNS_FArray(cns) + 3), f);
  int nnz = 0;
  int *start = nullptr, *len = nullptr, *row = nullptr;
  double* value = nullptr;
  CNS_JacobianArrays(cns, &nnz, &start, &len, &row, &value);
  EXPECT_EQ(nnz, kCurvedEntries);

  // Without codes every code starts from 0.
  CNS_Finish(cns, 1, x, nullptr);
  EXPECT_EQ(Values(CNS_UserBasis(cns)), (std::vector<int>{0, 0, 0}));

  Assign(x, {1.0, 2.0});
  EXPECT_SOLVER_ERROR(CNS_Finish(cns, 1, x, nullptr), "point has 2 entries");
  IDenseVector_Destroy(codes);
  DenseVector_Destroy(x);
}

TEST_F(CNSTest, CapacitiesStartAtOneAndTheInterfaceIsTheRecords) {
  FakeCaller fake;
  CNS* cns = Make(fake, 0, 0);
  EXPECT_EQ(CNS_MaxVariables(cns), 1);
  EXPECT_EQ(CNS_MaxNonzeros(cns), 1);
  // Clearing the slots leaves a record that cannot start.
  CNS_SetInterface(cns, nullptr);
  CNS_Interface in;
  CNS_GetInterface(cns, &in);
  EXPECT_EQ(in.variable_name, nullptr);
  EXPECT_EQ(in.problem_size, nullptr);
  EXPECT_SOLVER_ERROR(CNS_Start(cns), "callbacks not installed");
}

}  // namespace
