// CNS record: start (bounds, start point, fallback, basis codes), checks of
// what the callbacks return, evaluations, finish, copy and names.
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "problems/CNS.hpp"
#include "problems/ClassProblems.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The CNS record's view of the fake caller.
CNS_Interface Interface(FakeCaller& fake) {
  CNS_Interface in{};
  in.data = &fake;
  in.problem_size = &FakeCaller::ProblemSize;
  in.bounds = &FakeCaller::Bounds;
  in.function_evaluation = &FakeCaller::Function;
  in.jacobian_evaluation = &FakeCaller::Jacobian;
  in.start = &FakeCaller::Start;
  in.finish = &FakeCaller::Finish;
  if (!fake.basis.empty()) in.basis = &FakeCaller::Basis;
  return in;
}

class CNSTest : public LibraryTest {
 protected:
  void TearDown() override {
    CNS_Destroy(cns_);
    LibraryTest::TearDown();
  }
  CNS* Make(FakeCaller& fake, int n = 3, int nnz = 9) {
    cns_ = CNS_Create(n, nnz);
    CNS_Interface in = Interface(fake);
    CNS_SetInterface(cns_, &in);
    return cns_;
  }
  CNS* cns_ = nullptr;
};

TEST_F(CNSTest, StartReadsTheProblemAndKeepsAStartCopy) {
  FakeCaller fake;
  fake.lower = {0.0, -kInf, -1.0};
  fake.upper = {kInf, kInf, 1.0};
  fake.start = {0.7, 0.3, 0.2};
  CNS* cns = Make(fake);
  ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"start", "problem_size", "bounds", "jacobian"}));
  EXPECT_EQ(CNS_Variables(cns), 3);
  EXPECT_EQ(CNS_Nonzeros(cns), 9);  // min(9, 9 + 3)
  EXPECT_EQ(Values(CNS_X(cns)), (std::vector<double>{0.7, 0.3, 0.2}));
  EXPECT_EQ(Values(CNS_Lower(cns)), (std::vector<double>{0.0, -1e20, -1.0}));
  EXPECT_EQ(Values(CNS_Upper(cns)), (std::vector<double>{1e20, 1e20, 1.0}));
  // Codes: strictly inside turns nothing from 0; a fixed or bounded code
  // stays 0.
  EXPECT_EQ(Values(CNS_Basis(cns)), (std::vector<int>{0, 0, 0}));
  // The evaluation at the start point is in the record.
  std::vector<double> f(3);
  fake.system.evaluate(fake.start.data(), 0.0, f.data(), nullptr, nullptr);
  EXPECT_EQ(Values(CNS_EvaluationF(cns)), f);
  EXPECT_EQ(SparseMatrix_NNZ(CNS_EvaluationJ(cns)), kCurvedEntries);
}

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
    CNS_Interface in = Interface(fake);
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

TEST_F(CNSTest, EveryCrossedPairIsReportedOnce) {
  FakeCaller fake;
  fake.lower = {2.0, -kInf, 5.0};
  fake.upper = {1.0, kInf, 4.0};
  CNS* cns = Make(fake);
  EXPECT_EQ(CNS_Start(cns), CNS_BOUND_ERROR);
  EXPECT_NE(output()->status().find("x[    1]: lb = 2.0000e+00 > 1.0000e+00 = ub\n"),
            std::string::npos);
  EXPECT_NE(output()->status().find("x[    3]: lb = 5.0000e+00 > 4.0000e+00 = ub\n"),
            std::string::npos);
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
    CNS_Interface in = Interface(fake);
    CNS_SetInterface(cns, &in);
    ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
    ASSERT_EQ(fake.points.size(), 1u);
    EXPECT_EQ(fake.points[0], c.evaluated);
    EXPECT_EQ(Values(CNS_X(cns)), c.evaluated);
    CNS_Destroy(cns);
  }
}

TEST_F(CNSTest, UndefinedModelStartFallsBackAndStaysOff) {
  FakeCaller fake;
  fake.lower = {1.0, -kInf, -kInf};
  fake.start = {3.0, 3.0, 3.0};
  fake.undefined = [](const double* x) { return x[0] == 3.0; };
  CNS* cns = Make(fake);
  ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
  EXPECT_NE(output()->status().find("F or dF/dx undefined at model start.\n"), std::string::npos);
  EXPECT_FALSE(Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START));
  ASSERT_EQ(fake.points.size(), 2u);
  EXPECT_EQ(fake.points[1], (std::vector<double>{1.0, 0.0, 0.0}));

  // The next start goes straight to the calculated point.
  fake.points.clear();
  ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
  ASSERT_EQ(fake.points.size(), 1u);
  EXPECT_EQ(fake.points[0], (std::vector<double>{1.0, 0.0, 0.0}));
}

TEST_F(CNSTest, UndefinedCalculatedStartEndsTheStart) {
  FakeCaller fake;
  fake.undefined = [](const double*) { return true; };
  CNS* cns = Make(fake);
  EXPECT_EQ(CNS_Start(cns), CNS_UNDEFINED);
  EXPECT_NE(output()->status().find("F or dF/dx undefined at calculated start.\n"),
            std::string::npos);
  EXPECT_EQ(CNS_Variables(cns), 0);
  EXPECT_EQ(cns->size.full_n, 0);
  // A failed start leaves nothing to evaluate.
  DenseVector* x = DenseVector_Create(3);
  Assign(x, {0.0, 0.0, 0.0});
  FunctionJacobian* pair = FunctionJacobian_Create(3, 12);
  EXPECT_SOLVER_ERROR(CNS_Function(cns, x, pair), "not been started");
  // The finish only hands the caller's point over.
  fake.calls.clear();
  CNS_Finish(cns, CNS_UNDEFINED, x, nullptr);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"finish"}));
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(x);
}

TEST_F(CNSTest, ProblemSizesFromTheCallback) {
  FakeCaller empty;
  empty.n_reported = 0;
  CNS* cns = Make(empty);
  EXPECT_EQ(CNS_Start(cns), CNS_SOLVED);
  EXPECT_EQ(empty.calls, (std::vector<std::string>{"start", "problem_size"}));
  EXPECT_EQ(CNS_Variables(cns), 0);

  // No entries announced: a warning, then the start goes on; a Jacobian
  // with entries is then more than announced.
  FakeCaller none;
  none.nnz_reported = 0;
  none.system.evaluate = [](const double* x, double, double* f, std::vector<Triplet>* j,
                            double*) {
    for (int i = 0; i < 3; ++i) f[i] = 1.0 + 0.0 * x[i];
    if (j != nullptr) j->clear();
    return 0;
  };
  CNS_Interface in = Interface(none);
  CNS_SetInterface(cns, &in);
  EXPECT_EQ(CNS_Start(cns), CNS_CONTINUE);
  EXPECT_NE(output()->status().find("Empty jacobian.\n"), std::string::npos);
  EXPECT_EQ(CNS_Nonzeros(cns), 4);  // min(9, 1 + 3)

  FakeCaller negative;
  negative.nnz_reported = -1;
  in = Interface(negative);
  CNS_SetInterface(cns, &in);
  EXPECT_SOLVER_ERROR(CNS_Start(cns), "invalid problem size");
}

TEST_F(CNSTest, JacobianCountsAndRowsAreChecked) {
  struct Case {
    const char* name;
    int nnz_reported;
    int count_override;
    int bad_row;
    const char* message;
  };
  const Case cases[] = {
      {"count beyond the room", 9, 1000, 0, "count 1000 is outside 0..9"},
      {"negative count", 9, -5, 0, "count -5 is outside 0..9"},
      {"more entries than announced", 4, FakeCaller::kNoOverride, 0, "at most 4 announced"},
      {"row outside 1..n", 9, FakeCaller::kNoOverride, 4, "row index 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCaller fake;
    fake.nnz_reported = c.nnz_reported;
    fake.count_override = c.count_override;
    fake.bad_row = c.bad_row;
    CNS* cns = CNS_Create(3, 9);
    CNS_Interface in = Interface(fake);
    CNS_SetInterface(cns, &in);
    EXPECT_SOLVER_ERROR(CNS_Start(cns), c.message);
    CNS_Destroy(cns);
  }
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
    CNS_Interface in = Interface(fake);
    CNS_SetInterface(cns, &in);
    ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
    EXPECT_EQ(IDenseVector_Value(CNS_Basis(cns), 1), c.repaired);
    bool changed = c.given != c.repaired;
    EXPECT_EQ(output()->status().find("CNS modified basis.\n") != std::string::npos, changed);
    EXPECT_EQ(output()->log().find("CNS modified basis.\n"), std::string::npos);
    CNS_Destroy(cns);
  }
}

TEST_F(CNSTest, EvaluationsFillTheCallersPair) {
  FakeCaller fake;
  CNS* cns = Make(fake);
  ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
  DenseVector* x = DenseVector_Create(3);
  Assign(x, {0.4, -0.2, 1.5});
  FunctionJacobian* pair = FunctionJacobian_Create(3, CNS_Nonzeros(cns));

  std::vector<double> f(3);
  std::vector<Triplet> entries;
  fake.system.evaluate(DenseVector_Array(x), 0.0, f.data(), &entries, nullptr);
  EXPECT_EQ(CNS_Function(cns, x, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), f);
  EXPECT_EQ(FunctionJacobian_N(pair), 3);

  EXPECT_EQ(CNS_Jacobian(cns, x, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), f);
  const SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  // Column 3 had no diagonal: it is stored as 0.0 at the end of the column.
  EXPECT_EQ(FunctionJacobian_Nnz(pair), kCurvedEntries + 1);
  EXPECT_TRUE(StoresEveryDiagonal(J));
  std::vector<double> dense(9, 0.0);
  for (const Triplet& e : entries) dense[e.row * 3 + e.col] = e.value;
  EXPECT_EQ(Dense(J), dense);
  // The record's own J is the callback's, without the added entry.
  EXPECT_EQ(SparseMatrix_NNZ(CNS_EvaluationJ(cns)), kCurvedEntries);

  // A domain error is reported as 0; the values stay in the pair.
  fake.undefined = [](const double*) { return true; };
  EXPECT_EQ(CNS_Function(cns, x, pair), 0);
  EXPECT_EQ(CNS_Jacobian(cns, x, pair), 0);

  // A point of the wrong length or a pair without room is refused.
  Assign(x, {0.4, -0.2});
  EXPECT_SOLVER_ERROR(CNS_Function(cns, x, pair), "point has 2 entries, 3 expected");
  Assign(x, {0.4, -0.2, 1.5});
  FunctionJacobian* small = FunctionJacobian_Create(2, 4);
  EXPECT_SOLVER_ERROR(CNS_Jacobian(cns, x, small), "room for 3");
  FunctionJacobian_Destroy(small);
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(x);
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

TEST_F(CNSTest, CopyGrowsTheDestination) {
  FakeCaller fake;
  fake.lower = {0.0, -1.0, -kInf};
  CNS* cns = Make(fake, 3, 9);
  ASSERT_EQ(CNS_Start(cns), CNS_CONTINUE);
  CNS_SetTag(cns, 7);
  CNS* copy = CNS_Create(1, 1);
  CNS_SetTag(copy, 3);
  CNS_Copy(copy, cns);
  EXPECT_EQ(CNS_Variables(copy), 3);
  EXPECT_EQ(CNS_Nonzeros(copy), CNS_Nonzeros(cns));
  EXPECT_EQ(Values(CNS_Lower(copy)), Values(CNS_Lower(cns)));
  EXPECT_EQ(Values(CNS_X(copy)), Values(CNS_X(cns)));
  EXPECT_EQ(Values(CNS_UserBasis(copy)), Values(CNS_UserBasis(cns)));
  EXPECT_EQ(Values(CNS_EvaluationF(copy)), Values(CNS_EvaluationF(cns)));
  EXPECT_EQ(Dense(CNS_EvaluationJ(copy)), Dense(CNS_EvaluationJ(cns)));
  EXPECT_EQ(CNS_Tag(copy), 3);
  EXPECT_GE(CNS_MaxVariables(copy), 3);
  CNS_Destroy(copy);
}

TEST_F(CNSTest, SizesAndNames) {
  EXPECT_SOLVER_ERROR(CNS_Create(2147483647, 2147483647), "Create: problem size too large");
  CNS* cns = CNS_Create(0, 0);
  EXPECT_EQ(CNS_MaxVariables(cns), 1);
  EXPECT_EQ(CNS_MaxNonzeros(cns), 1);
  CNS_Size(cns, 10, 20);
  EXPECT_EQ(CNS_MaxVariables(cns), 10);
  EXPECT_EQ(CNS_MaxNonzeros(cns), 30);
  CNS_Size(cns, 2, 2);  // never shrinks
  EXPECT_EQ(CNS_MaxNonzeros(cns), 30);
  EXPECT_SOLVER_ERROR(CNS_Size(cns, 2147483647, 10), "Size: problem size too large");

  char buffer[32];
  EXPECT_EQ(CNS_VariableName(cns, 7, buffer, 32), 8);
  EXPECT_STREQ(buffer, "x[    7]");
  CNS_ConstraintName(cns, 12, buffer, 32);
  EXPECT_STREQ(buffer, "f[   12]");
  CNS_VariableName(cns, 7, buffer, 4);  // cut to the buffer
  EXPECT_STREQ(buffer, "x[ ");
  CNS_Interface in{};
  in.variable_name = [](void*, int i, char* b, int len) {
    return std::snprintf(b, len, "v%d", i);
  };
  CNS_SetInterface(cns, &in);
  CNS_VariableName(cns, 2, buffer, 32);
  EXPECT_STREQ(buffer, "v2");
  CNS_SetInterface(cns, nullptr);
  CNS_GetInterface(cns, &in);
  EXPECT_EQ(in.variable_name, nullptr);
  CNS_Destroy(cns);

  // A record without the required callbacks cannot start.
  FakeCaller fake;
  CNS* bare = Make(fake);
  CNS_SetInterface(bare, nullptr);
  EXPECT_SOLVER_ERROR(CNS_Start(bare), "callbacks not installed");
}

}  // namespace
