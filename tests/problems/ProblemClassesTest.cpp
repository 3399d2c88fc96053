// What the problem classes do alike, checked on each of them: the start,
// bound checks, start points, callback checks, evaluations, finish, copy,
// sizes and names of the bounded systems (CNS, QP); the start checks, names
// and basis codes of the parametric classes (PMCP, PLCP); and the
// module-wide interfaces (QP, PMCP, PLCP).
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/CNS.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "problems/PLCP.hpp"
#include "problems/PMCP.hpp"
#include "problems/QP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

// ---------------------------------------------------------------------------
// The bounded systems
// ---------------------------------------------------------------------------

template <class Class>
class SystemClassTest : public LibraryTest {
 protected:
  using Record = typename Class::Record;
  void TearDown() override {
    for (Record* r : records_) Class::Destroy(r);
    LibraryTest::TearDown();
  }
  // A record for the fake with its interface installed; the fixture
  // destroys it.
  Record* Make(FakeCaller& fake, int n = 3, int nnz = 9) {
    Record* r = Class::Create(n, nnz);
    records_.push_back(r);
    class_.Install(r, fake);
    return r;
  }
  // F at x of the fake's system.
  static std::vector<double> F(const FakeCaller& fake, const std::vector<double>& x) {
    std::vector<double> f(3);
    fake.system.evaluate(x.data(), 0.0, f.data(), nullptr, nullptr);
    return f;
  }
  Class class_;
  std::vector<Record*> records_;
};

using Systems = ::testing::Types<CNSClass, QPClass>;
TYPED_TEST_SUITE(SystemClassTest, Systems);

TYPED_TEST(SystemClassTest, StartProjectsTheStartAndFillsTheWorkingBlock) {
  using C = TypeParam;
  FakeCaller fake;
  fake.lower = {0.0, -kInf, -1e30};
  fake.upper = {1.0, 2.0, 1e30};
  fake.start = {3.0, 5.0, -4.0};
  auto* r = this->Make(fake);
  ASSERT_EQ(C::Start(r), C::kStarted);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"start", "problem_size", "bounds", "jacobian"}));
  // The first evaluation is already at the projected point.
  const std::vector<double> projected = {1.0, 2.0, -4.0};
  ASSERT_EQ(fake.points.size(), 1u);
  EXPECT_EQ(fake.points[0], projected);
  EXPECT_EQ(Values(C::X(r)), projected);
  EXPECT_EQ(Values(C::Lower(r)), (std::vector<double>{0.0, -1e20, -1e20}));
  EXPECT_EQ(Values(C::Upper(r)), (std::vector<double>{1.0, 2.0, 1e20}));
  EXPECT_EQ(Values(C::FullUpper(r)), (std::vector<double>{1.0, 2.0, 1e20}));
  EXPECT_EQ(C::Variables(r), 3);
  EXPECT_EQ(C::Nonzeros(r), 9);  // min(9 + 3, 3 * 3)
  // The evaluation at the start point is in the record, as delivered.
  EXPECT_EQ(Values(C::OwnF(r)), this->F(fake, projected));
  EXPECT_EQ(SparseMatrix_NNZ(C::OwnJ(r)), kCurvedEntries);
  // Without a basis slot every code starts at 0.
  if (C::kHasCodes) {
    EXPECT_EQ(C::Codes(r), (std::vector<int>{0, 0, 0}));
  }
}

TYPED_TEST(SystemClassTest, CalculatedStartComesFromTheBounds) {
  using C = TypeParam;
  Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = 0;
  FakeCaller fake;
  fake.lower = {-kInf, 2.0, -kInf};
  fake.upper = {kInf, 5.0, -1.0};
  fake.start = {7.0, 7.0, 7.0};
  auto* r = this->Make(fake);
  ASSERT_EQ(C::Start(r), C::kStarted);
  ASSERT_EQ(fake.points.size(), 1u);
  // Both bounds infinite: 0; a finite lower bound wins over a finite upper.
  EXPECT_EQ(fake.points[0], (std::vector<double>{0.0, 2.0, -1.0}));
}

TYPED_TEST(SystemClassTest, UndefinedModelStartFallsBackAndStaysOff) {
  using C = TypeParam;
  FakeCaller fake;
  fake.lower = {1.0, -kInf, -kInf};
  fake.start = {3.0, 3.0, 3.0};
  fake.undefined = [](const double* x) { return x[0] == 3.0; };
  auto* r = this->Make(fake);
  ASSERT_EQ(C::Start(r), C::kStarted);
  EXPECT_NE(this->output()->status().find("F or dF/dx undefined at model start.\n"),
            std::string::npos);
  EXPECT_FALSE(Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START));
  ASSERT_EQ(fake.points.size(), 2u);
  EXPECT_EQ(fake.points[1], (std::vector<double>{1.0, 0.0, 0.0}));

  // The next start goes straight to the calculated point.
  fake.points.clear();
  ASSERT_EQ(C::Start(r), C::kStarted);
  ASSERT_EQ(fake.points.size(), 1u);
  EXPECT_EQ(fake.points[0], (std::vector<double>{1.0, 0.0, 0.0}));

  // Undefined there too: the start fails and leaves nothing to evaluate.
  fake.undefined = [](const double*) { return true; };
  EXPECT_EQ(C::Start(r), C::kUndefined);
  EXPECT_NE(this->output()->status().find("F or dF/dx undefined at calculated start.\n"),
            std::string::npos);
  EXPECT_EQ(C::Variables(r), 0);
  EXPECT_EQ(C::Nonzeros(r), 0);  // no bound of an earlier start is left
  DenseVector* x = DenseVector_Create(3);
  Assign(x, {0.0, 0.0, 0.0});
  FunctionJacobian* pair = FunctionJacobian_Create(3, 12);
  EXPECT_SOLVER_ERROR(C::Function(r, x, pair), "not been started");
  EXPECT_SOLVER_ERROR(C::Jacobian(r, x, pair), "not been started");
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(x);
}

TYPED_TEST(SystemClassTest, EveryCrossedPairIsWarnedAbout) {
  using C = TypeParam;
  struct Case {
    const char* name;
    std::vector<double> lower, upper;
    std::vector<std::string> warned;  // texts that must be there
  };
  const Case cases[] = {
      {"two crossed pairs",
       {2.0, -kInf, 5.0},
       {1.0, kInf, 4.0},
       {"x[    1]: lb = 2.0000e+00 > 1.0000e+00 = ub\n",
        "x[    3]: lb = 5.0000e+00 > 4.0000e+00 = ub\n"}},
      {"crossed and NaN", {2.0, 0.0, 0.0}, {1.0, 1.0, kNaN},
       {"x[    1]: lb = 2.0000e+00 > 1.0000e+00 = ub\n", "x[    3]: lb = "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    this->output()->Clear();
    FakeCaller fake;
    fake.lower = c.lower;
    fake.upper = c.upper;
    auto* r = this->Make(fake);
    EXPECT_EQ(C::Start(r), C::kBoundError);
    const std::string& text = this->output()->status();
    for (const std::string& w : c.warned) EXPECT_NE(text.find(w), std::string::npos) << w;
    EXPECT_EQ(text.find("x[    2]"), std::string::npos);
    // Nothing is evaluated once the bounds are wrong.
    EXPECT_TRUE(fake.points.empty());
    EXPECT_EQ(C::Variables(r), 0);
  }
}

TYPED_TEST(SystemClassTest, ProblemSizesFromTheCallback) {
  using C = TypeParam;
  FakeCaller empty;
  empty.n_reported = 0;
  auto* r = this->Make(empty);
  EXPECT_EQ(C::Start(r), C::kSolved);
  EXPECT_EQ(empty.calls, (std::vector<std::string>{"start", "problem_size"}));
  EXPECT_EQ(C::FullN(r), C::kFullNWhenEmpty);
  EXPECT_EQ(C::Variables(r), 0);

  // No entries announced: a warning, then the start goes on with room 1.
  FakeCaller none;
  none.nnz_reported = 0;
  none.system.evaluate = [](const double*, double, double* f, std::vector<Triplet>* j, double*) {
    f[0] = f[1] = f[2] = 1.0;
    if (j != nullptr) j->clear();
    return 0;
  };
  this->class_.Install(r, none);
  EXPECT_EQ(C::Start(r), C::kStarted);
  EXPECT_NE(this->output()->status().find("Empty jacobian.\n"), std::string::npos);
  EXPECT_EQ(C::Nonzeros(r), 4);  // min(1 + 3, 9)

  FakeCaller negative_n;
  negative_n.n_reported = -2;
  this->class_.Install(r, negative_n);
  EXPECT_SOLVER_ERROR(C::Start(r), "invalid problem size");
  FakeCaller negative_nnz;
  negative_nnz.nnz_reported = -1;
  this->class_.Install(r, negative_nnz);
  EXPECT_SOLVER_ERROR(C::Start(r), "invalid problem size");

  this->class_.DropJacobianSlot(r);
  EXPECT_SOLVER_ERROR(C::Start(r), "callbacks not installed");
}

TYPED_TEST(SystemClassTest, CapacitiesOnlyGrowWithinTheCountRange) {
  using C = TypeParam;
  EXPECT_SOLVER_ERROR(C::Create(50000, 2147483647), C::kCreateTooLarge);
  EXPECT_SOLVER_ERROR(C::Create(2147483647, 2147483647), C::kCreateTooLarge);
  FakeCaller fake;
  auto* r = this->Make(fake, 2, 3);
  EXPECT_EQ(C::MaxVariables(r), 2);
  EXPECT_EQ(C::MaxNonzeros(r), 4);  // min(2 + 3, 2 * 2)
  C::Size(r, 10, 20);
  EXPECT_EQ(C::MaxVariables(r), 10);
  EXPECT_EQ(C::MaxNonzeros(r), 30);
  C::Size(r, 2, 2);  // never shrinks
  EXPECT_EQ(C::MaxVariables(r), 10);
  EXPECT_EQ(C::MaxNonzeros(r), 30);
  EXPECT_SOLVER_ERROR(C::Size(r, 2147483647, 10), C::kSizeTooLarge);
  EXPECT_EQ(C::MaxVariables(r), 10);  // a refused size changes nothing
}

TYPED_TEST(SystemClassTest, JacobianCountsAndRowsAreChecked) {
  using C = TypeParam;
  struct Case {
    const char* name;
    int nnz_reported;
    int count;
    int bad_row;
    const char* message;
  };
  const int none = FakeCaller::kNoOverride;
  const Case cases[] = {
      {"count just beyond the room", 9, 10, 0, "count 10 is outside 0..9"},
      {"count far beyond the room", 9, 1000, 0, "count 1000 is outside 0..9"},
      {"negative count", 9, -5, 0, "count -5 is outside 0..9"},
      {"more entries than announced", 6, none, 0, "at most 6 announced"},
      {"fewer announced still", 4, none, 0, "at most 4 announced"},
      {"row below 1", 9, none, -1, "row index -1"},
      {"row beyond n", 9, none, 4, "row index 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCaller fake;
    fake.nnz_reported = c.nnz_reported;
    fake.count_override = c.count;
    fake.bad_row = c.bad_row;
    auto* r = this->Make(fake);
    EXPECT_SOLVER_ERROR(C::Start(r), c.message);
  }
}

TYPED_TEST(SystemClassTest, EvaluationsFillTheCallersPair) {
  using C = TypeParam;
  FakeCaller fake;
  auto* r = this->Make(fake);
  ASSERT_EQ(C::Start(r), C::kStarted);
  DenseVector* x = DenseVector_Create(3);
  FunctionJacobian* pair = FunctionJacobian_Create(3, C::Nonzeros(r));
  const std::vector<double> point = {0.4, -0.2, 1.5};
  Assign(x, point);
  std::vector<double> f(3);
  std::vector<Triplet> entries;
  fake.system.evaluate(point.data(), 0.0, f.data(), &entries, nullptr);

  EXPECT_EQ(C::Function(r, x, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), f);
  EXPECT_EQ(FunctionJacobian_N(pair), 3);
  EXPECT_EQ(Values(C::FullX(r)), point);

  EXPECT_EQ(C::Jacobian(r, x, pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), f);
  // Column 3 had no diagonal: it is stored as 0.0 in the pair.
  EXPECT_EQ(FunctionJacobian_Nnz(pair), kCurvedEntries + 1);
  EXPECT_TRUE(StoresEveryDiagonal(FunctionJacobian_Jacobian(pair)));
  std::vector<double> dense(9, 0.0);
  for (const Triplet& e : entries) dense[e.row * 3 + e.col] = e.value;
  EXPECT_EQ(DenseOf(FunctionJacobian_Jacobian(pair)), dense);
  // The record's own J is the callback's, without the added entry.
  EXPECT_EQ(SparseMatrix_NNZ(C::OwnJ(r)), kCurvedEntries);

  // A domain error is reported as 0.
  fake.undefined = [](const double*) { return true; };
  EXPECT_EQ(C::Function(r, x, pair), 0);
  EXPECT_EQ(C::Jacobian(r, x, pair), 0);
  fake.undefined = nullptr;

  // A point of the wrong length or a pair without room is refused.
  Assign(x, {0.4, -0.2});
  EXPECT_SOLVER_ERROR(C::Function(r, x, pair), "point has 2 entries, 3 expected");
  Assign(x, point);
  FunctionJacobian* small = FunctionJacobian_Create(2, 4);
  EXPECT_SOLVER_ERROR(C::Jacobian(r, x, small), "room for 3");
  FunctionJacobian_Destroy(small);
  FunctionJacobian* no_room = FunctionJacobian_Create(3, 7);
  EXPECT_SOLVER_ERROR(C::Jacobian(r, x, no_room), "insufficient capacity");
  FunctionJacobian_Destroy(no_room);
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(x);
}

TYPED_TEST(SystemClassTest, FinishEvaluatesAtTheFinalPoint) {
  using C = TypeParam;
  FakeCaller fake;
  auto* r = this->Make(fake);
  ASSERT_EQ(C::Start(r), C::kStarted);
  fake.calls.clear();
  DenseVector* x = DenseVector_Create(3);
  const std::vector<double> final_point = {1.0, -1.0, 2.0};
  Assign(x, final_point);
  C::Finish(r, x);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"jacobian", "finish"}));
  EXPECT_EQ(fake.finished, final_point);
  EXPECT_EQ(Values(C::FullX(r)), final_point);
  EXPECT_EQ(Values(C::OwnF(r)), this->F(fake, final_point));
  Assign(x, {1.0});
  EXPECT_SOLVER_ERROR(C::Finish(r, x), "point has 1 entries, 3 expected");
  DenseVector_Destroy(x);
}

TYPED_TEST(SystemClassTest, CopyGrowsTheDestinationAndKeepsItsTag) {
  using C = TypeParam;
  // J's room is exactly the problem's 7 entries; its copy needs 8.
  FakeCaller fake;
  fake.nnz_reported = kCurvedEntries;
  fake.lower = {0.0, -1.0, -kInf};
  auto* r = this->Make(fake, 3, kCurvedEntries);
  ASSERT_EQ(C::Start(r), C::kStarted);
  C::SetTag(r, 5);
  auto* copy = C::Create(1, 1);
  this->records_.push_back(copy);
  C::SetTag(copy, 2);
  C::Copy(copy, r);
  EXPECT_EQ(C::Tag(copy), 2);
  EXPECT_EQ(C::Variables(copy), 3);
  EXPECT_EQ(C::Nonzeros(copy), C::Nonzeros(r));
  EXPECT_GE(C::MaxVariables(copy), 3);
  EXPECT_EQ(Values(C::X(copy)), Values(C::X(r)));
  EXPECT_EQ(Values(C::Lower(copy)), Values(C::Lower(r)));
  EXPECT_EQ(Values(C::FullLower(copy)), Values(C::FullLower(r)));
  EXPECT_EQ(C::Codes(copy), C::Codes(r));
  EXPECT_EQ(C::FullCodes(copy), C::FullCodes(r));
  EXPECT_EQ(Values(C::OwnF(copy)), Values(C::OwnF(r)));
  // J of the copy stores column 3's diagonal, one entry beyond the source.
  EXPECT_EQ(SparseMatrix_NNZ(C::OwnJ(copy)), kCurvedEntries + 1);
  EXPECT_EQ(DenseOf(C::OwnJ(copy)), DenseOf(C::OwnJ(r)));
  C::Copy(copy, copy);  // onto itself: nothing
  EXPECT_EQ(Values(C::X(copy)), Values(C::X(r)));
}

TYPED_TEST(SystemClassTest, NamesAreTheCallersOrBuiltIn) {
  using C = TypeParam;
  FakeCaller fake;
  auto* r = this->Make(fake);
  char buffer[32];
  EXPECT_EQ(C::VariableName(r, 7, buffer, 32), 8);
  EXPECT_STREQ(buffer, "x[    7]");
  C::ConstraintName(r, 12, buffer, 32);
  EXPECT_STREQ(buffer, "f[   12]");
  C::VariableName(r, 7, buffer, 4);  // cut to the buffer
  EXPECT_STREQ(buffer, "x[ ");
  this->class_.SetVariableName(r, [](void*, int i, char* b, int len) {
    return std::snprintf(b, len, "v%d", i);
  });
  C::VariableName(r, 2, buffer, 32);
  EXPECT_STREQ(buffer, "v2");
}

// ---------------------------------------------------------------------------
// The parametric classes
// ---------------------------------------------------------------------------

struct PMCPClass {
  using Record = PMCP;
  using Fake = FakePMCP;
  static constexpr const char* kModule = "PMCP";
  PMCP_Interface interface{};
  DenseVector* x = DenseVector_Create(3);
  DenseVector* column = DenseVector_Create(3);
  FunctionJacobian* pair = FunctionJacobian_Create(3, 12);

  ~PMCPClass() {
    FunctionJacobian_Destroy(pair);
    DenseVector_Destroy(column);
    DenseVector_Destroy(x);
    if (PMCP_GetInterface() == &interface) PMCP_SetInterface(nullptr);
  }
  PMCPClass() = default;
  PMCPClass(const PMCPClass&) = delete;
  PMCPClass& operator=(const PMCPClass&) = delete;
  // The class's matrix through the callback: the Jacobian at a point.
  void Exchange(PMCP* r) {
    PMCP_Start(r);
    Assign(x, {0.1, 0.2, 0.3});
    PMCP_Jacobian(r, x, 0.0, pair, column);
  }

  void Install(Fake& fake) {
    interface = fake.Interface();
    PMCP_SetInterface(&interface);
  }
  static PMCP* Create(int n, int nnz) { return PMCP_Create(n, nnz); }
  static void Destroy(PMCP* r) { PMCP_Destroy(r); }
  static void Start(PMCP* r) { PMCP_Start(r); }
  static void ClassifyBasis(PMCP* r) { PMCP_ClassifyBasis(r); }
  static ClassBlock& Full(PMCP* r) { return r->full; }
  static ClassParameter& FullT(PMCP* r) { return r->full_t; }
  static int Variables(PMCP* r) { return PMCP_Variables(r); }
  static int VariableName(PMCP* r, int i, char* b, int n) { return PMCP_VariableName(r, i, b, n); }
  static int ConstraintName(PMCP* r, int i, char* b, int n) {
    return PMCP_ConstraintName(r, i, b, n);
  }
};

struct PLCPClass {
  using Record = PLCP;
  using Fake = FakePLCP;
  static constexpr const char* kModule = "PLCP";
  PLCP_Interface interface{};

  ~PLCPClass() {
    if (PLCP_GetInterface() == &interface) PLCP_SetInterface(nullptr);
  }
  // The class's matrix through the callback: M, read by the start.
  void Exchange(PLCP* r) { PLCP_Start(r); }

  void Install(Fake& fake) {
    interface = fake.Interface();
    PLCP_SetInterface(&interface);
  }
  static PLCP* Create(int n, int nnz) { return PLCP_Create(n, nnz); }
  static void Destroy(PLCP* r) { PLCP_Destroy(r); }
  static void Start(PLCP* r) { EXPECT_EQ(PLCP_Start(r), PLCP_STARTED); }
  static void ClassifyBasis(PLCP* r) { PLCP_ClassifyBasis(r); }
  static ClassBlock& Full(PLCP* r) { return r->full.variables; }
  static ClassParameter& FullT(PLCP* r) { return r->full.t; }
  static int Variables(PLCP* r) { return PLCP_Variables(r); }
  static int VariableName(PLCP* r, int i, char* b, int n) { return PLCP_VariableName(r, i, b, n); }
  static int ConstraintName(PLCP* r, int i, char* b, int n) {
    return PLCP_ConstraintName(r, i, b, n);
  }
};

template <class Class>
class ParametricClassTest : public LibraryTest {
 protected:
  using Record = typename Class::Record;
  void TearDown() override {
    for (Record* r : records_) Class::Destroy(r);
    LibraryTest::TearDown();
  }
  // A record with the fake's interface installed (not started).
  Record* Make(typename Class::Fake& fake) {
    class_.Install(fake);
    records_.push_back(Class::Create(3, 9));
    return records_.back();
  }
  Class class_;
  std::vector<Record*> records_;
};

using Parametric = ::testing::Types<PMCPClass, PLCPClass>;
TYPED_TEST_SUITE(ParametricClassTest, Parametric);

TYPED_TEST(ParametricClassTest, StartRefusesBadProblems) {
  using C = TypeParam;
  struct Case {
    const char* name;
    int n;
    int nnz;
    std::vector<double> lower, upper;
    double t_lower, t_upper;
    const char* message;  // after "<module>: "
  };
  const std::vector<double> free_l{-kInf, -kInf, -kInf}, free_u{kInf, kInf, kInf};
  const Case cases[] = {
      {"empty model", 0, 9, free_l, free_u, -kInf, kInf, "Start: Empty model.\n"},
      {"negative size", 3, -1, free_l, free_u, -kInf, kInf, "Start: invalid problem size"},
      {"crossed variable", 3, 9, {0.0, 2.0, 0.0}, {1.0, 1.0, 1.0}, -kInf, kInf,
       "Initialize: L > U.\n"},
      {"NaN bound", 3, 9, {0.0, kNaN, 0.0}, {1.0, 1.0, 1.0}, -kInf, kInf,
       "Initialize: L > U.\n"},
      {"NaN upper bound", 3, 9, {0.0, 0.0, 0.0}, {1.0, kNaN, 1.0}, -kInf, kInf,
       "Initialize: L > U.\n"},
      {"crossed parameter", 3, 9, free_l, free_u, 2.0, 1.0, "Initialize: L > U.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    typename C::Fake fake;
    fake.n_reported = c.n;
    fake.nnz_reported = c.nnz;
    fake.lower = c.lower;
    fake.upper = c.upper;
    fake.t_lower = c.t_lower;
    fake.t_upper = c.t_upper;
    auto* r = this->Make(fake);
    EXPECT_SOLVER_ERROR(C::Start(r), std::string(C::kModule) + ": " + c.message);
    EXPECT_EQ(C::Variables(r), 0);
  }
  typename C::Fake fake;
  auto* r = this->Make(fake);
  this->class_.interface.problem_size = nullptr;
  EXPECT_SOLVER_ERROR(C::Start(r), "callbacks not installed");
}

TYPED_TEST(ParametricClassTest, TheMatrixCallbacksCountIsChecked) {
  using C = TypeParam;
  struct Case {
    const char* name;
    int nnz_reported;
    int count;
    const char* message;
  };
  const Case cases[] = {
      {"count beyond the room", 9, 50, "count 50 is outside 0..9"},
      {"count just beyond the room", 9, 10, "count 10 is outside 0..9"},
      {"negative count", 9, -1, "count -1 is outside 0..9"},
      {"more entries than announced", 4, ParametricCaller::kNoOverride, "at most 4 announced"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    typename C::Fake fake;
    fake.nnz_reported = c.nnz_reported;
    fake.count_override = c.count;
    auto* r = this->Make(fake);
    EXPECT_SOLVER_ERROR(this->class_.Exchange(r), c.message);
  }
}

TYPED_TEST(ParametricClassTest, BoundsBeyondInfinityAreWrittenBack) {
  using C = TypeParam;
  typename C::Fake fake;
  fake.lower = {0.0, -1e30, -kInf};
  fake.upper = {1e30, 1.0, kInf};
  fake.t_lower = -1e25;
  fake.t_upper = 1e25;
  auto* r = this->Make(fake);
  C::Start(r);
  EXPECT_EQ(Values(C::Full(r).lower), (std::vector<double>{0.0, -1e20, -1e20}));
  EXPECT_EQ(Values(C::Full(r).upper), (std::vector<double>{1e20, 1.0, 1e20}));
  EXPECT_EQ(C::FullT(r).lower, -1e20);
  EXPECT_EQ(C::FullT(r).upper, 1e20);
}

TYPED_TEST(ParametricClassTest, ClassifyBasisRules) {
  using C = TypeParam;
  // l, u, x, code before, code after (fixed rule on, as for the variables).
  struct Case {
    double l, u, x;
    int before, after;
  };
  const Case cases[] = {
      {1.0, 1.0, 1.0, 0, 5}, {0.0, 1.0, -1.0, 3, 1}, {0.0, 1.0, 2.0, 5, 1},
      {0.0, 1.0, 0.5, 4, 1}, {0.0, 1.0, 0.5, 2, 2},  {0.0, 1.0, 0.0, 0, 3},
      {0.0, 1.0, 0.0, 4, 3}, {0.0, 1.0, 0.0, 1, 1},  {0.0, 1.0, 1.0, 3, 4},
      {0.0, 1.0, 1.0, 5, 5},
  };
  typename C::Fake fake;
  auto* r = this->Make(fake);
  C::Start(r);
  ClassBlock& full = C::Full(r);
  ClassParameter& t = C::FullT(r);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.l << " " << c.u << " " << c.x << " " << c.before);
    DenseVector_SetValue(full.lower, 1, c.l);
    DenseVector_SetValue(full.upper, 1, c.u);
    DenseVector_SetValue(full.x, 1, c.x);
    IDenseVector_SetValue(full.basis, 1, c.before);
    // The parameter follows the same rules without the fixed rule.
    t = ClassParameter{c.x, c.l, c.u, c.before};
    C::ClassifyBasis(r);
    EXPECT_EQ(IDenseVector_Value(full.basis, 1), c.after);
    int t_after = (c.l == c.u) ? (c.before == 0 || c.before == 4 ? 3 : c.before) : c.after;
    EXPECT_EQ(t.basis, t_after);
  }
}

TYPED_TEST(ParametricClassTest, NamesAreTheCallersOrBuiltIn) {
  using C = TypeParam;
  typename C::Fake fake;
  auto* r = this->Make(fake);
  C::Start(r);
  char buffer[32];
  C::VariableName(r, 3, buffer, 32);
  EXPECT_STREQ(buffer, "x[    3]");
  C::ConstraintName(r, 2, buffer, 32);
  EXPECT_STREQ(buffer, "f[    2]");
  this->class_.interface.constraint_name = [](void*, int i, char* b, int len) {
    return std::snprintf(b, len, "row%d", i);
  };
  C::ConstraintName(r, 2, buffer, 32);
  EXPECT_STREQ(buffer, "row2");
}

// ---------------------------------------------------------------------------
// The module-wide interfaces
// ---------------------------------------------------------------------------

class ModuleInterfaceTest : public LibraryTest {};

TEST_F(ModuleInterfaceTest, ForgettingTheStateDropsTheCallersInterface) {
  // For each module: install the caller's record, forget, and check that the
  // empty record is back and a start is refused.
  struct Module {
    const char* name;
    std::function<void*()> install;  // returns the caller's record
    std::function<const void*()> current;
    std::function<bool()> slots_empty;
    std::function<void()> forget;
    std::function<void()> start_fresh;  // starts a new record, then destroys it
  };
  FakeCaller fake;
  QP_Interface qp = QPInterface(fake);
  FakePMCP fake_pmcp;
  PMCP_Interface pmcp = fake_pmcp.Interface();
  FakePLCP fake_plcp;
  PLCP_Interface plcp = fake_plcp.Interface();
  const Module modules[] = {
      {"QP", [&]() -> void* { QP_SetInterface(&qp); return &qp; },
       [] { return static_cast<const void*>(QP_GetInterface()); },
       [] { return QP_GetInterface()->problem_size == nullptr; }, [] { QP_ForgetState(); },
       [] {
         QP* r = QP_Create(3, 9);
         EXPECT_SOLVER_ERROR(QP_Start(r), "callbacks not installed");
         QP_Destroy(r);
       }},
      {"PMCP", [&]() -> void* { PMCP_SetInterface(&pmcp); return &pmcp; },
       [] { return static_cast<const void*>(PMCP_GetInterface()); },
       [] { return PMCP_GetInterface()->problem_size == nullptr; }, [] { PMCP_ForgetState(); },
       [] {
         PMCP* r = PMCP_Create(3, 9);
         EXPECT_SOLVER_ERROR(PMCP_Start(r), "callbacks not installed");
         PMCP_Destroy(r);
       }},
      {"PLCP", [&]() -> void* { PLCP_SetInterface(&plcp); return &plcp; },
       [] { return static_cast<const void*>(PLCP_GetInterface()); },
       [] { return PLCP_GetInterface()->matrix == nullptr; }, [] { PLCP_ForgetState(); },
       [] {
         PLCP* r = PLCP_Create(3, 5);
         EXPECT_SOLVER_ERROR(PLCP_Start(r), "callbacks not installed");
         PLCP_Destroy(r);
       }},
  };
  for (const Module& m : modules) {
    SCOPED_TRACE(m.name);
    void* callers = m.install();
    EXPECT_EQ(m.current(), callers);
    m.forget();
    EXPECT_NE(m.current(), callers);
    EXPECT_TRUE(m.slots_empty());
    m.start_fresh();
  }
}

}  // namespace
