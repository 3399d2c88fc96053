// QP record: start (sizes, bounds, projected and calculated start points,
// fallback), checks of what the callbacks return, evaluations, finish,
// copy and names.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/QP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QP_Interface Interface(FakeCaller& fake) {
  QP_Interface in{};
  in.data = &fake;
  in.problem_size = &FakeCaller::ProblemSize;
  in.bounds = &FakeCaller::Bounds;
  in.function_evaluation = &FakeCaller::Function;
  in.jacobian_evaluation = &FakeCaller::Jacobian;
  in.start = &FakeCaller::Start;
  in.finish = &FakeCaller::Finish;
  return in;
}

class QPTest : public LibraryTest {
 protected:
  void TearDown() override {
    QP_Destroy(qp_);
    LibraryTest::TearDown();
  }
  // A record for the fake (the interface stays installed for the test).
  QP* Make(FakeCaller& fake, int n = 3, int nnz = 9) {
    interface_ = Interface(fake);
    QP_SetInterface(&interface_);
    qp_ = QP_Create(n, nnz);
    return qp_;
  }
  QP_Interface interface_{};
  QP* qp_ = nullptr;
};

TEST_F(QPTest, StartProjectsTheStartAndFillsTheWorkingBlock) {
  FakeCaller fake;
  fake.lower = {0.0, -kInf, -1e30};
  fake.upper = {1.0, 2.0, 1e30};
  fake.start = {3.0, 5.0, -4.0};
  QP* q = Make(fake);
  ASSERT_EQ(QP_Start(q), QP_READY);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"start", "problem_size", "bounds", "jacobian"}));
  // The first evaluation is already at the projected point.
  ASSERT_EQ(fake.points.size(), 1u);
  EXPECT_EQ(fake.points[0], (std::vector<double>{1.0, 2.0, -4.0}));
  EXPECT_EQ(Values(QP_X(q)), (std::vector<double>{1.0, 2.0, -4.0}));
  EXPECT_EQ(Values(QP_Lower(q)), (std::vector<double>{0.0, -1e20, -1e20}));
  EXPECT_EQ(Values(QP_FullUpper(q)), (std::vector<double>{1.0, 2.0, 1e20}));
  EXPECT_EQ(QP_Variables(q), 3);
  EXPECT_EQ(QP_Nonzeros(q), 9);  // min(9 + 3, 3 * 3)
}

TEST_F(QPTest, CalculatedStartComesFromTheBounds) {
  Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = 0;
  FakeCaller fake;
  fake.lower = {-kInf, 2.0, -kInf};
  fake.upper = {kInf, 5.0, -1.0};
  fake.start = {7.0, 7.0, 7.0};
  QP* q = Make(fake);
  ASSERT_EQ(QP_Start(q), QP_READY);
  ASSERT_EQ(fake.points.size(), 1u);
  // Both bounds infinite: 0; a finite lower bound wins over a finite upper.
  EXPECT_EQ(fake.points[0], (std::vector<double>{0.0, 2.0, -1.0}));
}

TEST_F(QPTest, UndefinedModelStartSwitchesItOffForLaterStarts) {
  FakeCaller fake;
  fake.start = {0.5, 0.5, 0.5};
  fake.undefined = [](const double* x) { return x[0] == 0.5; };
  QP* q = Make(fake);
  ASSERT_EQ(QP_Start(q), QP_READY);
  EXPECT_NE(output()->status().find("F or dF/dx undefined at model start.\n"), std::string::npos);
  EXPECT_FALSE(Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START));
  EXPECT_EQ(fake.points.size(), 2u);
  fake.points.clear();
  ASSERT_EQ(QP_Start(q), QP_READY);
  ASSERT_EQ(fake.points.size(), 1u);
  EXPECT_EQ(fake.points[0], (std::vector<double>{0.0, 0.0, 0.0}));

  fake.undefined = [](const double*) { return true; };
  EXPECT_EQ(QP_Start(q), QP_UNDEFINED);
  EXPECT_NE(output()->status().find("F or dF/dx undefined at calculated start.\n"),
            std::string::npos);
  EXPECT_EQ(QP_Variables(q), 0);
}

TEST_F(QPTest, CrossedBoundsAreAllReported) {
  FakeCaller fake;
  fake.lower = {2.0, 0.0, 0.0};
  fake.upper = {1.0, 1.0, kNaN};
  QP* q = Make(fake);
  EXPECT_EQ(QP_Start(q), QP_BOUND_ERROR);
  const std::string& text = output()->status();
  EXPECT_NE(text.find("x[    1]: lb = 2.0000e+00 > 1.0000e+00 = ub\n"), std::string::npos);
  EXPECT_NE(text.find("x[    3]: lb = "), std::string::npos);
  EXPECT_EQ(text.find("x[    2]"), std::string::npos);
  EXPECT_TRUE(fake.points.empty());
}

TEST_F(QPTest, ProblemSizes) {
  FakeCaller empty;
  empty.n_reported = 0;
  QP* q = Make(empty);
  EXPECT_EQ(QP_Start(q), QP_SOLVED);
  EXPECT_EQ(empty.calls, (std::vector<std::string>{"start", "problem_size"}));
  EXPECT_EQ(q->size.full_n, 1);
  EXPECT_EQ(QP_Variables(q), 0);

  FakeCaller none;
  none.nnz_reported = 0;
  none.system.evaluate = [](const double*, double, double* f, std::vector<Triplet>* j, double*) {
    f[0] = f[1] = f[2] = 1.0;
    if (j != nullptr) j->clear();
    return 0;
  };
  interface_ = Interface(none);
  EXPECT_EQ(QP_Start(q), QP_READY);
  EXPECT_NE(output()->status().find("Empty jacobian.\n"), std::string::npos);
  EXPECT_EQ(QP_Nonzeros(q), 4);  // min(1 + 3, 9)

  FakeCaller negative;
  negative.n_reported = -2;
  interface_ = Interface(negative);
  EXPECT_SOLVER_ERROR(QP_Start(q), "invalid problem size");

  interface_.jacobian_evaluation = nullptr;
  EXPECT_SOLVER_ERROR(QP_Start(q), "callbacks not installed");
  EXPECT_SOLVER_ERROR(QP_Create(50000, 2147483647), "Problem size too large.\n");
}

TEST_F(QPTest, JacobianCountsAreChecked) {
  struct Case {
    const char* name;
    int nnz_reported;
    int count;
    int bad_row;
    const char* message;
  };
  const int none = FakeCaller::kNoOverride;
  const Case cases[] = {
      {"count beyond the room", 9, 10, 0, "count 10 is outside 0..9"},
      {"more entries than announced", 6, none, 0, "at most 6 announced"},
      {"row outside 1..n", 9, none, -1, "row index -1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCaller fake;
    fake.nnz_reported = c.nnz_reported;
    fake.count_override = c.count;
    fake.bad_row = c.bad_row;
    QP_Interface in = Interface(fake);
    QP_SetInterface(&in);
    QP* q = QP_Create(3, 9);
    EXPECT_SOLVER_ERROR(QP_Start(q), c.message);
    QP_Destroy(q);
  }
}

TEST_F(QPTest, EvaluationsFillTheCallersPair) {
  FakeCaller fake;
  QP* q = Make(fake);
  ASSERT_EQ(QP_Start(q), QP_READY);
  DenseVector* x = DenseVector_Create(3);
  FunctionJacobian* pair = FunctionJacobian_Create(3, QP_Nonzeros(q));
  Assign(x, {0.2, 0.4, 0.8});
  std::vector<double> f(3);
  std::vector<Triplet> entries;
  fake.system.evaluate(DenseVector_Array(x), 0.0, f.data(), &entries, nullptr);

  EXPECT_EQ(QP_Function(q, x, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), f);
  EXPECT_EQ(Values(QP_FullX(q)), Values(x));
  EXPECT_EQ(QP_Jacobian(q, x, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), f);
  EXPECT_EQ(FunctionJacobian_Nnz(pair), kCurvedEntries + 1);
  EXPECT_TRUE(StoresEveryDiagonal(FunctionJacobian_Jacobian(pair)));
  std::vector<double> dense(9, 0.0);
  for (const Triplet& e : entries) dense[e.row * 3 + e.col] = e.value;
  EXPECT_EQ(Dense(FunctionJacobian_Jacobian(pair)), dense);

  fake.undefined = [](const double*) { return true; };
  EXPECT_EQ(QP_Function(q, x, pair), 0);
  EXPECT_EQ(QP_Jacobian(q, x, pair), 0);

  FunctionJacobian* small = FunctionJacobian_Create(3, 7);
  fake.undefined = nullptr;
  EXPECT_SOLVER_ERROR(QP_Jacobian(q, x, small), "insufficient capacity");
  FunctionJacobian_Destroy(small);
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(x);
}

TEST_F(QPTest, FinishEvaluatesAtTheFinalPoint) {
  FakeCaller fake;
  QP* q = Make(fake);
  ASSERT_EQ(QP_Start(q), QP_READY);
  fake.calls.clear();
  DenseVector* x = DenseVector_Create(3);
  Assign(x, {1.0, -1.0, 2.0});
  QP_Finish(q, 7, x);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"jacobian", "finish"}));
  EXPECT_EQ(fake.finished, (std::vector<double>{1.0, -1.0, 2.0}));
  std::vector<double> f(3);
  fake.system.evaluate(DenseVector_Array(x), 0.0, f.data(), nullptr, nullptr);
  EXPECT_EQ(Values(q->F), f);
  Assign(x, {1.0});
  EXPECT_SOLVER_ERROR(QP_Finish(q, 1, x), "point has 1 entries, 3 expected");
  DenseVector_Destroy(x);
}

TEST_F(QPTest, ForgettingTheStateDropsTheCallersInterface) {
  FakeCaller fake;
  Make(fake);
  EXPECT_EQ(QP_GetInterface(), &interface_);
  QP_ForgetState();
  EXPECT_NE(QP_GetInterface(), &interface_);
  EXPECT_SOLVER_ERROR(QP_Start(qp_), "callbacks not installed");
}

TEST_F(QPTest, CopyKeepsTheDestinationsTagAndGrowsIt) {
  FakeCaller fake;
  fake.nnz_reported = kCurvedEntries;
  QP* q = Make(fake, 3, kCurvedEntries);
  ASSERT_EQ(QP_Start(q), QP_READY);
  QP_SetTag(q, 5);
  QP* copy = QP_Create(1, 1);
  QP_SetTag(copy, 2);
  QP_Copy(copy, q);
  EXPECT_EQ(QP_Tag(copy), 2);
  EXPECT_EQ(QP_Variables(copy), 3);
  EXPECT_EQ(QP_Nonzeros(copy), QP_Nonzeros(q));
  EXPECT_EQ(Values(QP_X(copy)), Values(QP_X(q)));
  EXPECT_EQ(Values(QP_FullLower(copy)), Values(QP_FullLower(q)));
  EXPECT_EQ(Values(copy->F), Values(q->F));
  // J of the copy stores column 3's diagonal, one entry beyond the source.
  EXPECT_EQ(SparseMatrix_NNZ(copy->J), kCurvedEntries + 1);
  EXPECT_EQ(Dense(copy->J), Dense(q->J));
  QP_Destroy(copy);
}

}  // namespace
