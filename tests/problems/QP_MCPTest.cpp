// QP_MCP adapter: the MCP built from a QP (pairing, names, layout of the
// Jacobian), its evaluations through the MCP record against the paired
// system and finite differences, failed starts, storage checks and the
// hand-back of the final point.
#include <string>
#include <vector>

#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "problems/QP.hpp"
#include "problems/QP_MCP.hpp"
#include "problems/Residual.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

QP_Interface Interface(FakeCaller& fake) {
  QP_Interface in{};
  in.data = &fake;
  in.problem_size = &FakeCaller::ProblemSize;
  in.bounds = &FakeCaller::Bounds;
  in.function_evaluation = &FakeCaller::Function;
  in.jacobian_evaluation = &FakeCaller::Jacobian;
  in.finish = &FakeCaller::Finish;
  return in;
}

// The MCP function of the paired system, computed from the problem: z holds
// x (n values) and the multipliers of the bounded variables in order.
std::vector<double> PairedF(const System& system, const std::vector<int>& bounded,
                            const std::vector<double>& z) {
  int n = system.n;
  std::vector<double> f(n);
  system.evaluate(z.data(), 0.0, f.data(), nullptr, nullptr);
  std::vector<double> out(z.size());
  for (int i = 0; i < n; ++i) out[i] = f[i];
  for (size_t j = 0; j < bounded.size(); ++j) {
    out[n + j] = f[bounded[j]];
    out[bounded[j]] = -z[n + j];
  }
  return out;
}

QP_MCP* AdapterOf(MCP* mcp) {
  MCP_Interface in;
  MCP_GetInterface(mcp, &in);
  return static_cast<QP_MCP*>(in.data);
}

class QP_MCPTest : public LibraryTest {
 protected:
  void TearDown() override {
    if (mcp_ != nullptr) QP_MCP_Destroy(qp_, &mcp_);
    QP_Destroy(qp_);
    LibraryTest::TearDown();
  }
  int Build() {
    interface_ = Interface(fake);
    QP_SetInterface(&interface_);
    qp_ = QP_Create(3, 9);
    return QP_MCP_Create(qp_, &mcp_);
  }
  FakeCaller fake;  // outlives the records: the tear-down finishes through it
  QP_Interface interface_{};
  QP* qp_ = nullptr;
  MCP* mcp_ = nullptr;
};

TEST_F(QP_MCPTest, WithoutFiniteBoundsTheMCPIsTheQP) {
  ASSERT_EQ(Build(), QP_READY);
  QP_MCP* a = AdapterOf(mcp_);
  EXPECT_EQ(a->pairing.k, 0);
  EXPECT_EQ(Values(a->pairing.map), (std::vector<int>{1, 2, 3}));
  int n = 0;
  int nnz = 0;
  QP_MCP_ProblemSize(a, &n, &nnz);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(nnz, QP_Nonzeros(qp_));
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  EXPECT_EQ(SparseMatrix_Cols(MCP_EvaluationJ(mcp_)), 3);
  EXPECT_EQ(SparseMatrix_NNZ(MCP_EvaluationJ(mcp_)), kCurvedEntries + 1);
}

TEST_F(QP_MCPTest, OneBoundedVariableGetsOneMultiplier) {
  fake.lower = {-kInf, -kInf, -kInf};
  fake.upper = {kInf, 4.0, kInf};
  fake.start = {0.5, 0.25, -0.5};
  ASSERT_EQ(Build(), QP_READY);
  QP_MCP* a = AdapterOf(mcp_);
  EXPECT_EQ(a->pairing.k, 1);
  EXPECT_EQ(Values(a->pairing.map), (std::vector<int>{1, 4, 3, 2}));
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  EXPECT_EQ(Values(MCP_FullX(mcp_)), (std::vector<double>{0.5, 0.25, -0.5, 0.0}));
  EXPECT_EQ(Values(MCP_FullLower(mcp_)), (std::vector<double>{-1e20, -1e20, -1e20, -1e20}));
  EXPECT_EQ(Values(MCP_FullUpper(mcp_)), (std::vector<double>{1e20, 4.0, 1e20, 1e20}));

  char buffer[32];
  MCP_FullVariableName(mcp_, 4, buffer, 32);
  EXPECT_STREQ(buffer, "y(1)");
  MCP_FullVariableName(mcp_, 2, buffer, 32);
  EXPECT_STREQ(buffer, "x[    2]");
  MCP_FullConstraintName(mcp_, 2, buffer, 32);
  EXPECT_STREQ(buffer, "s(1)");
  MCP_FullConstraintName(mcp_, 4, buffer, 32);
  EXPECT_STREQ(buffer, "f[    2]");

  // The multiplier column comes after every QP entry: one entry -1.0 in
  // the row of the variable it is paired with.
  const SparseMatrix* J = MCP_EvaluationJ(mcp_);
  ASSERT_EQ(SparseMatrix_NNZ(J), kCurvedEntries + 1 + 1);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColStart(J), 4), kCurvedEntries + 2);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColLen(J), 4), 1);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_RowIndex(J), kCurvedEntries + 2), 2);
  EXPECT_EQ(DenseVector_Value(SparseMatrix_Values(J), kCurvedEntries + 2), -1.0);
  // Every column's last position lies before the multiplier column.
  for (int c = 1; c <= 3; ++c) {
    EXPECT_LE(IDenseVector_Value(SparseMatrix_ColStart(J), c) +
                  IDenseVector_Value(SparseMatrix_ColLen(J), c) - 1,
              kCurvedEntries + 1);
  }
}

TEST_F(QP_MCPTest, BoundedQPEvaluatesThroughTheMCPRecord) {
  // Finite and infinite bounds mixed: variables 1 and 3 bounded.
  fake.lower = {0.0, -kInf, -1.0};
  fake.upper = {2.0, kInf, kInf};
  fake.start = {0.5, 0.25, 0.5};
  ASSERT_EQ(Build(), QP_READY);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  const std::vector<int> bounded = {0, 2};
  int N = MCP_Variables(mcp_);
  ASSERT_EQ(N, 5);
  DenseVector* z = DenseVector_Create(N);
  FunctionJacobian* pair = FunctionJacobian_Create(N, MCP_Nonzeros(mcp_));
  const std::vector<double> point = {0.3, 0.7, 0.2, 1.5, -2.5};

  Assign(z, point);
  ASSERT_EQ(MCP_Function(mcp_, z, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), PairedF(fake.system, bounded, point));
  Assign(z, point);
  ASSERT_EQ(MCP_Jacobian(mcp_, z, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), PairedF(fake.system, bounded, point));
  // The moved rows leave the multiplier columns without a diagonal entry;
  // the reduced Jacobian must store them all for the perturbations.
  EXPECT_TRUE(StoresEveryDiagonal(FunctionJacobian_Jacobian(pair)));
  std::vector<double> analytic = Dense(FunctionJacobian_Jacobian(pair));
  std::vector<double> numeric = FiniteDifferences(
      [&](const std::vector<double>& p) { return PairedF(fake.system, bounded, p); }, point);
  for (size_t k = 0; k < analytic.size(); ++k) EXPECT_NEAR(analytic[k], numeric[k], 1e-6) << k;

  DenseVector* gradient = DenseVector_Create(N);
  double merit = 0.0;
  Assign(z, point);
  MCP_DMerit_Function(mcp_, 1, MCP_Lower(mcp_), MCP_Upper(mcp_), z, pair, &merit, gradient);
  EXPECT_GT(merit, 0.0);
  DenseVector_Destroy(gradient);

  fake.undefined = [](const double*) { return true; };
  Assign(z, point);
  EXPECT_EQ(MCP_Function(mcp_, z, pair), 0);
  EXPECT_EQ(MCP_Jacobian(mcp_, z, pair), 0);
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(z);
}

TEST_F(QP_MCPTest, FailedStartGivesNoProblem) {
  struct Case {
    const char* name;
    int n;
    double lower;
    bool undefined;
    int status;
  };
  const Case cases[] = {
      {"empty problem", 0, -kInf, false, QP_SOLVED},
      {"crossed bounds", 3, 5.0, false, QP_BOUND_ERROR},
      {"undefined start", 3, -kInf, true, QP_UNDEFINED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCaller caller;
    caller.n_reported = c.n;
    caller.lower = {c.lower, -kInf, -kInf};
    caller.upper = {1.0, kInf, kInf};
    if (c.undefined) caller.undefined = [](const double*) { return true; };
    QP_Interface in = Interface(caller);
    QP_SetInterface(&in);
    QP* qp = QP_Create(3, 9);
    MCP* mcp = reinterpret_cast<MCP*>(&caller);  // must be cleared
    EXPECT_EQ(QP_MCP_Create(qp, &mcp), c.status);
    EXPECT_EQ(mcp, nullptr);
    QP_Destroy(qp);
  }
}

TEST_F(QP_MCPTest, DestroyHandsTheFinalPointBack) {
  fake.lower = {0.0, -kInf, -kInf};
  ASSERT_EQ(Build(), QP_READY);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  DenseVector* z = DenseVector_Create(4);
  Assign(z, {1.25, -0.5, 0.75, 2.0});
  MCP_Finish(mcp_, 1, z, nullptr);
  fake.calls.clear();
  QP_MCP_Destroy(qp_, &mcp_);
  EXPECT_EQ(mcp_, nullptr);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"jacobian", "finish"}));
  EXPECT_EQ(fake.finished, (std::vector<double>{1.25, -0.5, 0.75}));
  EXPECT_EQ(Values(QP_FullX(qp_)), fake.finished);
  DenseVector_Destroy(z);
}

TEST_F(QP_MCPTest, CallbacksInsistOnTheRecordsStorage) {
  fake.lower = {0.0, -kInf, -kInf};
  ASSERT_EQ(Build(), QP_READY);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  QP_MCP* a = AdapterOf(mcp_);
  std::vector<double> x(4, 0.0), f(4, 0.0), value(20, 0.0);
  std::vector<int> start(4), len(4), row(20);
  int nnz = 20;
  EXPECT_SOLVER_ERROR(QP_MCP_Function(a, 4, x.data(), f.data()),
                      "QP_MCP_Function: DenseVector_Array(xval) == x");
  EXPECT_SOLVER_ERROR(QP_MCP_Jacobian(a, 4, MCP_XArray(mcp_), 1, MCP_FArray(mcp_), &nnz,
                                      start.data(), len.data(), row.data(), value.data()),
                      "QP_MCP_Jacobian: IDenseVector_Array(colArray) == c");
  EXPECT_SOLVER_ERROR(QP_MCP_Function(a, 3, MCP_XArray(mcp_), MCP_FArray(mcp_)), "n == N");

  QP* other = QP_Create(3, 9);
  EXPECT_SOLVER_ERROR(QP_MCP_Destroy(other, &mcp_), "not made for this QP");
  EXPECT_NE(mcp_, nullptr);
  QP_Destroy(other);
}

}  // namespace
