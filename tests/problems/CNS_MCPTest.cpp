// CNS_MCP adapter: the MCP built from a CNS (pairing of bounded variables
// with multipliers, names, codes), its evaluations checked against the
// paired system and against finite differences, the entry types, failed
// starts and the hand-back of the solution.
#include <cmath>
#include <string>
#include <vector>

#include "problems/CNS.hpp"
#include "problems/CNS_MCP.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

CNS_Interface Interface(FakeCaller& fake) {
  CNS_Interface in{};
  in.data = &fake;
  in.problem_size = &FakeCaller::ProblemSize;
  in.bounds = &FakeCaller::Bounds;
  in.function_evaluation = &FakeCaller::Function;
  in.jacobian_evaluation = &FakeCaller::Jacobian;
  in.finish = &FakeCaller::Finish;
  if (!fake.basis.empty()) in.basis = &FakeCaller::Basis;
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
    int i = bounded[j];
    out[n + j] = f[i];
    out[i] = -z[n + j];
  }
  return out;
}

CNS_MCP* AdapterOf(MCP* mcp) {
  MCP_Interface in;
  MCP_GetInterface(mcp, &in);
  return static_cast<CNS_MCP*>(in.data);
}

class CNS_MCPTest : public LibraryTest {
 protected:
  void TearDown() override {
    if (mcp_ != nullptr) CNS_MCP_Finish(cns_, &mcp_);
    CNS_Destroy(cns_);
    LibraryTest::TearDown();
  }
  // The fake with variable 2 bounded below by 0 and the others free.
  int Build(int* n = nullptr, int* nnz = nullptr) {
    cns_ = CNS_Create(3, 9);
    CNS_Interface in = Interface(fake);
    CNS_SetInterface(cns_, &in);
    return CNS_MCP_Create(cns_, &mcp_, n, nnz);
  }
  // Outlives the records: the tear-down finishes through its callbacks.
  FakeCaller fake;
  CNS* cns_ = nullptr;
  MCP* mcp_ = nullptr;
};

TEST_F(CNS_MCPTest, BoundedVariablesArePairedWithMultipliers) {
  fake.lower = {-kInf, 0.0, -kInf};
  fake.start = {0.5, 0.25, -0.5};
  fake.basis = {0, 0, 0};
  int n = 0;
  int nnz = 0;
  ASSERT_EQ(Build(&n, &nnz), CNS_CONTINUE);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(nnz, 9 + 1);  // min(3 * 3, 9 + 3) + 1
  CNS_MCP* a = AdapterOf(mcp_);
  EXPECT_EQ(Values(a->pairing.map), (std::vector<int>{1, 4, 3, 2}));

  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  EXPECT_EQ(Values(MCP_FullX(mcp_)), (std::vector<double>{0.5, 0.25, -0.5, 0.0}));
  EXPECT_EQ(Values(MCP_FullLower(mcp_)), (std::vector<double>{-1e20, 0.0, -1e20, -1e20}));
  EXPECT_EQ(Values(MCP_FullUpper(mcp_)), (std::vector<double>{1e20, 1e20, 1e20, 1e20}));
  EXPECT_EQ(IDenseVector_Value(MCP_FullBasis(mcp_), 4), BASIS_BASIC);

  struct Name {
    bool variable;
    int i;
    const char* text;
  };
  const Name names[] = {{true, 2, "x[    2]"}, {true, 4, "y(1)"},     {false, 1, "f[    1]"},
                        {false, 2, "s(1)"},     {false, 4, "f[    2]"}};
  char buffer[32];
  for (const Name& name : names) {
    if (name.variable) {
      MCP_FullVariableName(mcp_, name.i, buffer, 32);
    } else {
      MCP_FullConstraintName(mcp_, name.i, buffer, 32);
    }
    EXPECT_STREQ(buffer, name.text);
  }
}

TEST_F(CNS_MCPTest, EvaluationsAreThePairedSystem) {
  fake.lower = {-kInf, 0.0, -kInf};
  fake.upper = {2.0, kInf, kInf};  // variable 1 bounded above
  fake.start = {0.5, 0.25, -0.5};
  ASSERT_EQ(Build(), CNS_CONTINUE);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  const std::vector<int> bounded = {0, 1};
  int N = MCP_Variables(mcp_);
  ASSERT_EQ(N, 5);

  DenseVector* z = DenseVector_Create(N);
  FunctionJacobian* pair = FunctionJacobian_Create(N, MCP_Nonzeros(mcp_));
  auto f_of = [&](const std::vector<double>& point) {
    Assign(z, point);
    EXPECT_EQ(MCP_Function(mcp_, z, pair), 1);
    return Values(FunctionJacobian_Function(pair));
  };
  const std::vector<double> point = {0.3, 0.7, -0.2, 1.5, -2.5};
  EXPECT_EQ(f_of(point), PairedF(fake.system, bounded, point));

  Assign(z, point);
  ASSERT_EQ(MCP_Jacobian(mcp_, z, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), PairedF(fake.system, bounded, point));
  // Rows moved and columns appended: the record adds the diagonals the
  // multiplier columns lack.
  EXPECT_TRUE(StoresEveryDiagonal(FunctionJacobian_Jacobian(pair)));
  std::vector<double> analytic = Dense(FunctionJacobian_Jacobian(pair));
  std::vector<double> numeric = FiniteDifferences(
      [&](const std::vector<double>& p) { return PairedF(fake.system, bounded, p); }, point);
  ASSERT_EQ(analytic.size(), numeric.size());
  for (size_t k = 0; k < analytic.size(); ++k) EXPECT_NEAR(analytic[k], numeric[k], 1e-6) << k;

  // The merit gradient perturbs a clone of that Jacobian's diagonal.
  DenseVector* gradient = DenseVector_Create(N);
  double merit = 0.0;
  Assign(z, point);
  MCP_DMerit_Function(mcp_, 1, MCP_Lower(mcp_), MCP_Upper(mcp_), z, pair, &merit, gradient);
  EXPECT_GT(merit, 0.0);
  DenseVector_Destroy(gradient);

  // A domain error of the CNS reaches the record as a failed evaluation.
  fake.undefined = [](const double*) { return true; };
  Assign(z, point);
  EXPECT_EQ(MCP_Function(mcp_, z, pair), 0);
  EXPECT_EQ(MCP_Jacobian(mcp_, z, pair), 0);
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(z);
}

TEST_F(CNS_MCPTest, WithoutFiniteBoundsTheMCPIsTheSystem) {
  int n = 0;
  int nnz = 0;
  ASSERT_EQ(Build(&n, &nnz), CNS_CONTINUE);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(nnz, CNS_Nonzeros(cns_));
  EXPECT_EQ(Values(AdapterOf(mcp_)->pairing.map), (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  // The evaluation holds the system's Jacobian with every diagonal, and
  // says so.
  const SparseMatrix* J = MCP_EvaluationJ(mcp_);
  EXPECT_EQ(SparseMatrix_NNZ(J), kCurvedEntries + 1);
  EXPECT_TRUE(StoresEveryDiagonal(J));
  EXPECT_NE(SparseMatrix_GetFlags(J) & SPARSE_DIAGONAL, 0);
}

TEST_F(CNS_MCPTest, EntryTypesFollowTheMCPJacobian) {
  fake.lower = {-kInf, 0.0, -kInf};
  cns_ = CNS_Create(3, 9);
  CNS_Interface in = Interface(fake);
  CNS_SetInterface(cns_, &in);
  // The CNS marks its entries 0 and 1 in turn (entry order 1..7).
  CNS_PresolveInterface hooks{};
  hooks.jacobian_types = [](void*, int nnz, int* types) {
    for (int e = 0; e < nnz; ++e) types[e] = e % 2;
  };
  CNS_SetPresolveInterface(cns_, &hooks);
  ASSERT_EQ(CNS_MCP_Create(cns_, &mcp_, nullptr, nullptr), CNS_CONTINUE);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  int nnz = SparseMatrix_NNZ(MCP_EvaluationJ(mcp_));
  ASSERT_EQ(nnz, kCurvedEntries + 1 + 1);

  // Columns 1 and 2 keep their types; column 3 has one entry and then the
  // added diagonal (0); the multiplier column is constant (0).
  std::vector<int> types(nnz + 1, 99);
  CNS_MCP_Jac_Typ(AdapterOf(mcp_), nnz, types.data());
  EXPECT_EQ(types, (std::vector<int>{0, 1, 0, 1, 0, 1, 0, 0, 0, 99}));

  // A count that does not match is refused, and nothing is written past it.
  std::vector<int> short_types(nnz, 99);
  EXPECT_SOLVER_ERROR(CNS_MCP_Jac_Typ(AdapterOf(mcp_), nnz - 2, short_types.data()),
                      "CNS_MCP_Jac_Typ: sizes do not match");
  EXPECT_EQ(short_types[nnz - 2], 99);
  EXPECT_EQ(short_types[nnz - 1], 99);
  EXPECT_SOLVER_ERROR(CNS_MCP_Jac_Typ(AdapterOf(mcp_), nnz + 1, types.data()),
                      "sizes do not match");
}

TEST_F(CNS_MCPTest, PresolveOfTheMCPReadsTheEntryTypes) {
  fake.lower = {-kInf, 0.0, -kInf};
  cns_ = CNS_Create(3, 9);
  CNS_Interface in = Interface(fake);
  CNS_SetInterface(cns_, &in);
  CNS_SetPresolve(cns_, 1);
  static int consulted = 0;
  consulted = 0;
  CNS_PresolveInterface hooks{};
  hooks.jacobian_types = [](void*, int nnz, int*) { consulted = nnz; };
  CNS_SetPresolveInterface(cns_, &hooks);
  ASSERT_EQ(CNS_MCP_Create(cns_, &mcp_, nullptr, nullptr), CNS_CONTINUE);
  EXPECT_EQ(MCP_PresolveAllowed(mcp_), 1);
  int status = MCP_Start(mcp_);
  EXPECT_TRUE(status == MCP_CONTINUE || status == MCP_SOLVED) << status;
  EXPECT_EQ(consulted, kCurvedEntries);
}

TEST_F(CNS_MCPTest, FailedStartMakesNothing) {
  struct Case {
    const char* name;
    int n;
    double lower;
    bool undefined;
    int status;
  };
  const Case cases[] = {
      {"empty model", 0, -kInf, false, CNS_SOLVED},
      {"crossed bounds", 3, 5.0, false, CNS_BOUND_ERROR},
      {"undefined start", 3, -kInf, true, CNS_UNDEFINED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCaller caller;
    caller.n_reported = c.n;
    caller.lower = {c.lower, -kInf, -kInf};
    caller.upper = {1.0, kInf, kInf};
    if (c.undefined) caller.undefined = [](const double*) { return true; };
    CNS* cns = CNS_Create(3, 9);
    CNS_Interface in = Interface(caller);
    CNS_SetInterface(cns, &in);
    MCP* mcp = reinterpret_cast<MCP*>(&caller);  // must be cleared
    EXPECT_EQ(CNS_MCP_Create(cns, &mcp, nullptr, nullptr), c.status);
    EXPECT_EQ(mcp, nullptr);
    // The CNS was finished on the caller's point.
    EXPECT_EQ(caller.calls.back(), "finish");
    CNS_Destroy(cns);
  }
}

TEST_F(CNS_MCPTest, FinishHandsTheSolutionBack) {
  fake.lower = {-kInf, 0.0, -kInf};
  ASSERT_EQ(Build(), CNS_CONTINUE);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  DenseVector* z = DenseVector_Create(4);
  Assign(z, {1.5, 0.0, -0.75, 3.0});
  IDenseVector* codes = IDenseVector_Create(4);
  Assign(codes, {1, 3, 1, 1});
  MCP_Finish(mcp_, 1, z, codes);
  fake.calls.clear();
  CNS_MCP_Finish(cns_, &mcp_);
  EXPECT_EQ(mcp_, nullptr);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"jacobian", "finish"}));
  EXPECT_EQ(fake.finished, (std::vector<double>{1.5, 0.0, -0.75}));
  EXPECT_EQ(Values(CNS_UserBasis(cns_)), (std::vector<int>{1, 3, 1}));
  std::vector<double> f(3);
  fake.system.evaluate(fake.finished.data(), 0.0, f.data(), nullptr, nullptr);
  EXPECT_EQ(Values(CNS_EvaluationF(cns_)), f);
  IDenseVector_Destroy(codes);
  DenseVector_Destroy(z);
}

TEST_F(CNS_MCPTest, UnstartedMCPGivesTheStartPointBack) {
  fake.start = {0.1, 0.2, 0.3};
  ASSERT_EQ(Build(), CNS_CONTINUE);
  CNS_MCP_Finish(cns_, &mcp_);
  EXPECT_EQ(fake.finished, (std::vector<double>{0.1, 0.2, 0.3}));
}

TEST_F(CNS_MCPTest, CallbacksInsistOnTheRecordsStorage) {
  fake.lower = {-kInf, 0.0, -kInf};
  ASSERT_EQ(Build(), CNS_CONTINUE);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  std::vector<double> x(4, 0.0), f(4, 0.0);
  EXPECT_SOLVER_ERROR(CNS_MCP_Function(AdapterOf(mcp_), 4, x.data(), f.data()),
                      "CNS_MCP_Function: DenseVector_Array(xval) == x");
  EXPECT_SOLVER_ERROR(CNS_MCP_Function(AdapterOf(mcp_), 4, MCP_XArray(mcp_), f.data()),
                      "DenseVector_Array(fval) == f");

  // A record made for another CNS is not finished through this one.
  CNS* other = CNS_Create(3, 9);
  EXPECT_SOLVER_ERROR(CNS_MCP_Finish(other, &mcp_), "not made for this CNS");
  EXPECT_NE(mcp_, nullptr);
  CNS_Destroy(other);
}

}  // namespace
