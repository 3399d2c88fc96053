// What the two MCP adapters (CNS_MCP, QP_MCP) do alike, checked on each:
// the pairing of bounded variables with multipliers, the MCP's bounds,
// start point, names and Jacobian layout, its evaluations against the
// paired system and finite differences, failed starts, the checks of the
// record's storage and the hand-back of the solution.
#include <string>
#include <vector>

#include "presolve/MCP_Finish.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/CNS.hpp"
#include "problems/CNS_MCP.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "problems/QP.hpp"
#include "problems/QP_MCP.hpp"
#include "problems/Residual.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

// A CNS presented through CNS_MCP.
struct CNSRoute : CNSClass {
  using Adapter = CNS_MCP;
  static constexpr bool kFinishesFailedStart = true;
  static constexpr const char* kModule = "CNS_MCP";
  static constexpr const char* kNotMadeForIt = "not made for this CNS";
  static int MakeMCP(CNS* r, MCP** mcp) { return CNS_MCP_Create(r, mcp, nullptr, nullptr); }
  static void FinishMCP(CNS* r, MCP** mcp) { CNS_MCP_Finish(r, mcp); }
};

// A QP presented through QP_MCP: the QP stays with its caller after a
// failed start.
struct QPRoute : QPClass {
  using Adapter = QP_MCP;
  static constexpr bool kFinishesFailedStart = false;
  static constexpr const char* kModule = "QP_MCP";
  static constexpr const char* kNotMadeForIt = "not made for this QP";
  static int MakeMCP(QP* r, MCP** mcp) { return QP_MCP_Create(r, mcp); }
  static void FinishMCP(QP* r, MCP** mcp) { QP_MCP_Destroy(r, mcp); }
};

// A class record for a fake and the MCP its adapter makes.
template <class Class>
struct Presented {
  Class route;
  typename Class::Record* record = nullptr;
  MCP* mcp = nullptr;

  // Makes the record for fake and its MCP; returns the create's status.
  int Build(FakeCaller& fake) {
    record = Class::Create(3, 9);
    route.Install(record, fake);
    return Class::MakeMCP(record, &mcp);
  }
  void Finish() { Class::FinishMCP(record, &mcp); }
  // Finishes the MCP (when there is one) and destroys the record.
  void Release() {
    if (mcp != nullptr) Finish();
    Class::Destroy(record);
    record = nullptr;
  }
  // Finishing through another record of the class is refused.
  void FinishThroughAnother() {
    auto* other = Class::Create(3, 9);
    EXPECT_SOLVER_ERROR(Class::FinishMCP(other, &mcp), Class::kNotMadeForIt);
    Class::Destroy(other);
  }
  int Nonzeros() const { return Class::Nonzeros(record); }
  DenseVector* FullX() { return Class::FullX(record); }
  DenseVector* OwnF() { return Class::OwnF(record); }
};

template <class Route>
class AdapterTest : public LibraryTest {
 protected:
  void TearDown() override {
    if (route_.record != nullptr) route_.Release();
    LibraryTest::TearDown();
  }
  // The adapter's callbacks as installed in the MCP.
  MCP_Interface Callbacks() {
    MCP_Interface in;
    MCP_GetInterface(route_.mcp, &in);
    return in;
  }
  MultiplierPairing& Pairing() { return AdapterOf<typename Route::Adapter>(route_.mcp)->pairing; }

  FakeCaller fake;  // outlives the records: the tear-down finishes through it
  Presented<Route> route_;
};

using Routes = ::testing::Types<CNSRoute, QPRoute>;
TYPED_TEST_SUITE(AdapterTest, Routes);

TYPED_TEST(AdapterTest, OneBoundedVariableGetsOneMultiplier) {
  using R = TypeParam;
  struct Case {
    const char* name;
    double lower, upper;  // of variable 2
  };
  const Case cases[] = {{"bounded below", 0.0, kInf}, {"bounded above", -kInf, 4.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (this->route_.record != nullptr) this->route_.Release();
    this->fake = FakeCaller{};
    this->fake.lower = {-kInf, c.lower, -kInf};
    this->fake.upper = {kInf, c.upper, kInf};
    this->fake.start = {0.5, 0.25, -0.5};
    ASSERT_EQ(this->route_.Build(this->fake), R::kStarted);
    EXPECT_EQ(this->Pairing().k, 1);
    EXPECT_EQ(Values(this->Pairing().map), (std::vector<int>{1, 4, 3, 2}));
    int n = 0;
    int nnz = 0;
    MCP_Interface in = this->Callbacks();
    in.problem_size(in.data, &n, &nnz);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(nnz, this->route_.Nonzeros() + 1);

    MCP* mcp = this->route_.mcp;
    ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
    EXPECT_EQ(Values(MCP_FullX(mcp)), (std::vector<double>{0.5, 0.25, -0.5, 0.0}));
    EXPECT_EQ(Values(MCP_FullLower(mcp)),
              (std::vector<double>{-1e20, c.lower == 0.0 ? 0.0 : -1e20, -1e20, -1e20}));
    EXPECT_EQ(Values(MCP_FullUpper(mcp)),
              (std::vector<double>{1e20, c.upper == 4.0 ? 4.0 : 1e20, 1e20, 1e20}));

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
        MCP_FullVariableName(mcp, name.i, buffer, 32);
      } else {
        MCP_FullConstraintName(mcp, name.i, buffer, 32);
      }
      EXPECT_STREQ(buffer, name.text);
    }

    // The multiplier column comes after every class entry: one entry -1.0
    // in the row of the variable it is paired with.
    const SparseMatrix* J = MCP_EvaluationJ(mcp);
    ASSERT_EQ(SparseMatrix_NNZ(J), kCurvedEntries + 1 + 1);
    EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColStart(J), 4), kCurvedEntries + 2);
    EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColLen(J), 4), 1);
    EXPECT_EQ(IDenseVector_Value(SparseMatrix_RowIndex(J), kCurvedEntries + 2), 2);
    EXPECT_EQ(DenseVector_Value(SparseMatrix_Values(J), kCurvedEntries + 2), -1.0);
    for (int col = 1; col <= 3; ++col) {
      EXPECT_LE(IDenseVector_Value(SparseMatrix_ColStart(J), col) +
                    IDenseVector_Value(SparseMatrix_ColLen(J), col) - 1,
                kCurvedEntries + 1);
    }
  }
}

TYPED_TEST(AdapterTest, EvaluationsAreThePairedSystem) {
  using R = TypeParam;
  struct Case {
    const char* name;
    std::vector<double> lower, upper;
    std::vector<int> bounded;  // 0-based
    std::vector<double> point;
  };
  const Case cases[] = {
      {"variable 1 above, 2 below", {-kInf, 0.0, -kInf}, {2.0, kInf, kInf}, {0, 1},
       {0.3, 0.7, -0.2, 1.5, -2.5}},
      {"variable 1 both, 3 below", {0.0, -kInf, -1.0}, {2.0, kInf, kInf}, {0, 2},
       {0.3, 0.7, 0.2, 1.5, -2.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (this->route_.record != nullptr) this->route_.Release();
    this->fake = FakeCaller{};
    this->fake.lower = c.lower;
    this->fake.upper = c.upper;
    this->fake.start = {0.5, 0.25, 0.5};
    ASSERT_EQ(this->route_.Build(this->fake), R::kStarted);
    MCP* mcp = this->route_.mcp;
    ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
    int N = MCP_Variables(mcp);
    ASSERT_EQ(N, 5);
    const System& system = this->fake.system;

    DenseVector* z = DenseVector_Create(N);
    FunctionJacobian* pair = FunctionJacobian_Create(N, MCP_Nonzeros(mcp));
    Assign(z, c.point);
    ASSERT_EQ(MCP_Function(mcp, z, pair), 1);
    EXPECT_EQ(Values(FunctionJacobian_Function(pair)), PairedF(system, c.bounded, c.point));
    Assign(z, c.point);
    ASSERT_EQ(MCP_Jacobian(mcp, z, pair), 1);
    EXPECT_EQ(Values(FunctionJacobian_Function(pair)), PairedF(system, c.bounded, c.point));
    // The moved rows leave the multiplier columns without a diagonal entry;
    // the reduced Jacobian stores them all for the perturbations.
    EXPECT_TRUE(StoresEveryDiagonal(FunctionJacobian_Jacobian(pair)));
    std::vector<double> analytic = DenseOf(FunctionJacobian_Jacobian(pair));
    std::vector<double> numeric = FiniteDifferences(
        [&](const std::vector<double>& p) { return PairedF(system, c.bounded, p); }, c.point);
    ASSERT_EQ(analytic.size(), numeric.size());
    for (size_t k = 0; k < analytic.size(); ++k) EXPECT_NEAR(analytic[k], numeric[k], 1e-6) << k;

    // The merit gradient perturbs a clone of that Jacobian's diagonal.
    DenseVector* gradient = DenseVector_Create(N);
    double merit = 0.0;
    Assign(z, c.point);
    MCP_DMerit_Function(mcp, 1, MCP_Lower(mcp), MCP_Upper(mcp), z, pair, &merit, gradient);
    EXPECT_GT(merit, 0.0);
    DenseVector_Destroy(gradient);

    // A domain error of the class reaches the record as a failed evaluation.
    this->fake.undefined = [](const double*) { return true; };
    Assign(z, c.point);
    EXPECT_EQ(MCP_Function(mcp, z, pair), 0);
    EXPECT_EQ(MCP_Jacobian(mcp, z, pair), 0);
    FunctionJacobian_Destroy(pair);
    DenseVector_Destroy(z);
  }
}

TYPED_TEST(AdapterTest, WithoutFiniteBoundsTheMCPIsTheSystem) {
  using R = TypeParam;
  ASSERT_EQ(this->route_.Build(this->fake), R::kStarted);
  EXPECT_EQ(this->Pairing().k, 0);
  EXPECT_EQ(Values(this->Pairing().map), (std::vector<int>{1, 2, 3}));
  int n = 0;
  int nnz = 0;
  MCP_Interface in = this->Callbacks();
  in.problem_size(in.data, &n, &nnz);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(nnz, this->route_.Nonzeros());
  ASSERT_EQ(MCP_Start(this->route_.mcp), MCP_CONTINUE);
  // The evaluation holds the system's Jacobian with every diagonal, and
  // says so.
  const SparseMatrix* J = MCP_EvaluationJ(this->route_.mcp);
  EXPECT_EQ(SparseMatrix_Cols(J), 3);
  EXPECT_EQ(SparseMatrix_NNZ(J), kCurvedEntries + 1);
  EXPECT_TRUE(StoresEveryDiagonal(J));
  EXPECT_NE(SparseMatrix_GetFlags(J) & SPARSE_DIAGONAL, 0);
}

TYPED_TEST(AdapterTest, FailedStartMakesNothing) {
  using R = TypeParam;
  struct Case {
    const char* name;
    int n;
    double lower;
    bool undefined;
    int status;
  };
  const Case cases[] = {
      {"empty model", 0, -kInf, false, R::kSolved},
      {"crossed bounds", 3, 5.0, false, R::kBoundError},
      {"undefined start", 3, -kInf, true, R::kUndefined},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCaller caller;
    caller.n_reported = c.n;
    caller.lower = {c.lower, -kInf, -kInf};
    caller.upper = {1.0, kInf, kInf};
    if (c.undefined) caller.undefined = [](const double*) { return true; };
    Presented<R> route;
    route.mcp = reinterpret_cast<MCP*>(&caller);  // must be cleared
    EXPECT_EQ(route.Build(caller), c.status);
    EXPECT_EQ(route.mcp, nullptr);
    // A CNS is finished on the caller's point; a QP stays unfinished.
    bool finished = !caller.calls.empty() && caller.calls.back() == "finish";
    EXPECT_EQ(finished, R::kFinishesFailedStart);
    route.Release();
  }
}

TYPED_TEST(AdapterTest, FinishHandsTheSolutionBack) {
  using R = TypeParam;
  this->fake.lower = {-kInf, 0.0, -kInf};
  ASSERT_EQ(this->route_.Build(this->fake), R::kStarted);
  MCP* mcp = this->route_.mcp;
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  DenseVector* z = DenseVector_Create(4);
  Assign(z, {1.5, 0.0, -0.75, 3.0});
  MCP_Finish(mcp, 1, z, nullptr);
  this->fake.calls.clear();
  this->route_.Finish();
  EXPECT_EQ(this->route_.mcp, nullptr);
  const std::vector<double> solution = {1.5, 0.0, -0.75};
  EXPECT_EQ(this->fake.calls, (std::vector<std::string>{"jacobian", "finish"}));
  EXPECT_EQ(this->fake.finished, solution);
  EXPECT_EQ(Values(this->route_.FullX()), solution);
  std::vector<double> f(3);
  this->fake.system.evaluate(solution.data(), 0.0, f.data(), nullptr, nullptr);
  EXPECT_EQ(Values(this->route_.OwnF()), f);
  DenseVector_Destroy(z);
}

TYPED_TEST(AdapterTest, UnstartedMCPGivesTheStartPointBack) {
  using R = TypeParam;
  this->fake.start = {0.1, 0.2, 0.3};
  ASSERT_EQ(this->route_.Build(this->fake), R::kStarted);
  this->route_.Finish();
  EXPECT_EQ(this->fake.finished, (std::vector<double>{0.1, 0.2, 0.3}));
}

TYPED_TEST(AdapterTest, CallbacksInsistOnTheRecordsStorage) {
  using R = TypeParam;
  this->fake.lower = {0.0, -kInf, -kInf};
  ASSERT_EQ(this->route_.Build(this->fake), R::kStarted);
  MCP* mcp = this->route_.mcp;
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  MCP_Interface in = this->Callbacks();
  const std::string module = R::kModule;
  std::vector<double> x(4, 0.0), f(4, 0.0), value(20, 0.0);
  std::vector<int> start(4), len(4), row(20);
  int nnz = 20;
  EXPECT_SOLVER_ERROR(in.function_evaluation(in.data, 4, x.data(), f.data()),
                      module + "_Function: DenseVector_Array(xval) == x");
  EXPECT_SOLVER_ERROR(in.function_evaluation(in.data, 4, MCP_XArray(mcp), f.data()),
                      "DenseVector_Array(fval) == f");
  EXPECT_SOLVER_ERROR(in.jacobian_evaluation(in.data, 4, MCP_XArray(mcp), 1, MCP_FArray(mcp),
                                             &nnz, start.data(), len.data(), row.data(),
                                             value.data()),
                      module + "_Jacobian: IDenseVector_Array(colArray) == c");
  EXPECT_SOLVER_ERROR(in.function_evaluation(in.data, 3, MCP_XArray(mcp), MCP_FArray(mcp)),
                      "n == N");
  int n = 0;
  EXPECT_SOLVER_ERROR(in.problem_size(nullptr, &n, &nnz), module + "_ProblemSize: adapter missing");

  // A record made for another problem of the class is not finished
  // through it.
  this->route_.FinishThroughAnother();
  EXPECT_NE(this->route_.mcp, nullptr);
}

}  // namespace
