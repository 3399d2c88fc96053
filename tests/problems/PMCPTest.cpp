// PMCP record: start (bounds, fixed variables and parameter, codes),
// reduced evaluations of F, J and the parameter column against the problem
// and finite differences, finish, names, copy and the checks of what the
// callbacks return.
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "problems/PMCP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A caller of the PMCP record serving a System.
struct FakePMCP {
  System system = Curved();
  int n_reported = 3;
  int nnz_reported = 9;
  std::vector<double> lower{-kInf, -kInf, -kInf}, upper{kInf, kInf, kInf}, start{0.5, 0.5, 0.5};
  double t = 0.25, t_lower = -kInf, t_upper = kInf;
  std::vector<int> basis;  // empty: no basis slot
  int t_basis = 0;
  std::vector<std::string> calls;
  std::vector<std::vector<double>> points;  // x at every evaluation
  std::vector<const double*> arrays;        // the x array of every evaluation
  std::vector<double> finished;
  double finished_t = kNaN;
  static constexpr int kNoOverride = -1000000;
  int count_override = kNoOverride;
  bool undefined = false;

  PMCP_Interface Interface() {
    PMCP_Interface in{};
    in.data = this;
    in.problem_size = [](void* d, int* n, int* nnz) {
      Self(d)->calls.push_back("problem_size");
      *n = Self(d)->n_reported;
      *nnz = Self(d)->nnz_reported;
    };
    in.bounds = [](void* d, int n, double* x, double* l, double* u, double* t, double* tl,
                   double* tu) {
      FakePMCP* self = Self(d);
      self->calls.push_back("bounds");
      for (int i = 0; i < n; ++i) {
        x[i] = self->start[i];
        l[i] = self->lower[i];
        u[i] = self->upper[i];
      }
      *t = self->t;
      *tl = self->t_lower;
      *tu = self->t_upper;
    };
    in.function_evaluation = [](void* d, int n, const double* x, double t, double* f) {
      FakePMCP* self = Self(d);
      self->calls.push_back("function");
      self->Record(n, x);
      return self->system.evaluate(x, t, f, nullptr, nullptr) + (self->undefined ? 1 : 0);
    };
    in.jacobian_evaluation = [](void* d, int n, const double* x, double t, int, int* nnz,
                                int* start, int* len, int* row, double* value, double* f,
                                double* column) {
      FakePMCP* self = Self(d);
      self->calls.push_back("jacobian");
      self->Record(n, x);
      std::vector<Triplet> entries;
      int errors = self->system.evaluate(x, t, f, &entries, column);
      int count = WriteExchange(n, entries, *nnz, start, len, row, value);
      *nnz = self->count_override != kNoOverride ? self->count_override : count;
      return errors + (self->undefined ? 1 : 0);
    };
    in.start = [](void* d) { Self(d)->calls.push_back("start"); };
    in.finish = [](void* d, const double* x, double t) {
      Self(d)->calls.push_back("finish");
      Self(d)->finished.assign(x, x + Self(d)->n_reported);
      Self(d)->finished_t = t;
    };
    if (!basis.empty()) {
      in.basis = [](void* d, int n, int* status, int* t_status) {
        Self(d)->calls.push_back("basis");
        for (int i = 0; i < n; ++i) status[i] = Self(d)->basis[i];
        *t_status = Self(d)->t_basis;
      };
    }
    return in;
  }

  void Record(int n, const double* x) {
    points.emplace_back(x, x + n);
    arrays.push_back(x);
  }

  // F of the full problem with variable `fixed` (0-based, -1: none) held at
  // value and the others from the reduced point xr.
  std::vector<double> ReducedF(const std::vector<double>& xr, double tt, int fixed,
                               double value) const {
    std::vector<double> x;
    for (int i = 0, k = 0; i < system.n; ++i) x.push_back(i == fixed ? value : xr[k++]);
    std::vector<double> f(system.n);
    system.evaluate(x.data(), tt, f.data(), nullptr, nullptr);
    std::vector<double> out;
    for (int i = 0; i < system.n; ++i) {
      if (i != fixed) out.push_back(f[i]);
    }
    return out;
  }

  static FakePMCP* Self(void* d) { return static_cast<FakePMCP*>(d); }
};

class PMCPTest : public LibraryTest {
 protected:
  void TearDown() override {
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
  PMCP_Interface interface_{};
  PMCP* pmcp_ = nullptr;
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

TEST_F(PMCPTest, StartRefusesBadProblems) {
  struct Case {
    const char* name;
    int n;
    int nnz;
    std::vector<double> lower, upper;
    double t_lower, t_upper;
    const char* message;
  };
  const std::vector<double> free_l{-kInf, -kInf, -kInf}, free_u{kInf, kInf, kInf};
  const Case cases[] = {
      {"empty model", 0, 9, free_l, free_u, -kInf, kInf, "PMCP: Start: Empty model.\n"},
      {"negative size", 3, -1, free_l, free_u, -kInf, kInf, "invalid problem size"},
      {"crossed variable", 3, 9, {0.0, 2.0, 0.0}, {1.0, 1.0, 1.0}, -kInf, kInf,
       "PMCP: Initialize: L > U.\n"},
      {"NaN bound", 3, 9, {0.0, kNaN, 0.0}, {1.0, 1.0, 1.0}, -kInf, kInf,
       "PMCP: Initialize: L > U.\n"},
      {"crossed parameter", 3, 9, free_l, free_u, 2.0, 1.0, "PMCP: Initialize: L > U.\n"},
      {"all fixed, t free", 3, 9, {1.0, 2.0, 3.0}, {1.0, 2.0, 3.0}, -kInf, kInf,
       "PMCP: Start: all variables fixed.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePMCP fake;
    fake.n_reported = c.n;
    fake.nnz_reported = c.nnz;
    fake.lower = c.lower;
    fake.upper = c.upper;
    fake.t_lower = c.t_lower;
    fake.t_upper = c.t_upper;
    PMCP_Interface in = fake.Interface();
    PMCP_SetInterface(&in);
    PMCP* p = PMCP_Create(3, 9);
    EXPECT_SOLVER_ERROR(PMCP_Start(p), c.message);
    EXPECT_EQ(PMCP_Variables(p), 0);
    PMCP_Destroy(p);
  }
  PMCP_SetInterface(nullptr);
  PMCP* p = PMCP_Create(3, 9);
  EXPECT_SOLVER_ERROR(PMCP_Start(p), "callbacks not installed");
  PMCP_Destroy(p);
}

TEST_F(PMCPTest, ReducedEvaluationsMatchTheProblem) {
  // Variable 2 fixed at 1.5; the reduced point is (x1, x3).
  FakePMCP fake;
  fake.lower = {-kInf, 1.5, -kInf};
  fake.upper = {kInf, 1.5, kInf};
  PMCP* p = Start(fake);
  ASSERT_EQ(PMCP_Variables(p), 2);
  DenseVector* x = DenseVector_Create(2);
  DenseVector* column = DenseVector_Create(2);
  FunctionJacobian* pair = FunctionJacobian_Create(2, PMCP_Nonzeros(p));
  const std::vector<double> point = {0.4, -0.3};
  const double t = 0.75;

  Assign(x, point);
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
  std::vector<double> analytic = Dense(FunctionJacobian_Jacobian(pair));
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
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(column);
  DenseVector_Destroy(x);
}

TEST_F(PMCPTest, WithoutFixedVariablesTheCallbacksSeeTheCallersPoint) {
  FakePMCP fake;
  PMCP* p = Start(fake);
  DenseVector* x = DenseVector_Create(3);
  DenseVector* column = DenseVector_Create(3);
  FunctionJacobian* pair = FunctionJacobian_Create(3, PMCP_Nonzeros(p));
  Assign(x, {0.1, 0.2, 0.3});
  PMCP_Function(p, x, 0.5, pair);
  EXPECT_EQ(fake.arrays.back(), DenseVector_Array(x));
  PMCP_Jacobian(p, x, 0.5, pair, column);
  EXPECT_EQ(fake.arrays.back(), DenseVector_Array(x));
  // Column 3 lacks its diagonal in the problem; the reduced Jacobian has it.
  EXPECT_EQ(FunctionJacobian_Nnz(pair), kCurvedEntries + 1);
  EXPECT_EQ(Values(column), (std::vector<double>{0.1, 0.0, 1.0}));
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(column);
  DenseVector_Destroy(x);
}

TEST_F(PMCPTest, JacobianCountsAreChecked) {
  struct Case {
    const char* name;
    int nnz_reported;
    int count;
    const char* message;
  };
  const Case cases[] = {
      {"count beyond the room", 9, 50, "count 50 is outside 0..9"},
      {"negative count", 9, -1, "count -1 is outside"},
      {"more entries than announced", 5, FakePMCP::kNoOverride, "at most 5 announced"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePMCP fake;
    fake.nnz_reported = c.nnz_reported;
    fake.count_override = c.count;
    PMCP_Interface in = fake.Interface();
    PMCP_SetInterface(&in);
    PMCP* p = PMCP_Create(3, 9);
    PMCP_Start(p);
    DenseVector* x = DenseVector_Create(3);
    DenseVector* column = DenseVector_Create(3);
    FunctionJacobian* pair = FunctionJacobian_Create(3, 12);
    Assign(x, {0.1, 0.2, 0.3});
    EXPECT_SOLVER_ERROR(PMCP_Jacobian(p, x, 0.0, pair, column), c.message);
    FunctionJacobian_Destroy(pair);
    DenseVector_Destroy(column);
    DenseVector_Destroy(x);
    PMCP_Destroy(p);
  }
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

TEST_F(PMCPTest, ForgettingTheStateDropsTheCallersInterface) {
  FakePMCP fake;
  PMCP_Interface in = fake.Interface();
  PMCP_SetInterface(&in);
  EXPECT_EQ(PMCP_GetInterface(), &in);
  PMCP_ForgetState();
  EXPECT_NE(PMCP_GetInterface(), &in);
  EXPECT_EQ(PMCP_GetInterface()->problem_size, nullptr);
  PMCP* p = PMCP_Create(3, 9);
  EXPECT_SOLVER_ERROR(PMCP_Start(p), "callbacks not installed");
  PMCP_Destroy(p);
}

TEST_F(PMCPTest, ClassifyBasisRules) {
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
  FakePMCP fake;
  PMCP* p = Start(fake);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.l << " " << c.u << " " << c.x << " " << c.before);
    DenseVector_SetValue(PMCP_FullLower(p), 1, c.l);
    DenseVector_SetValue(PMCP_FullUpper(p), 1, c.u);
    DenseVector_SetValue(PMCP_FullX(p), 1, c.x);
    IDenseVector_SetValue(PMCP_FullBasis(p), 1, c.before);
    // The parameter follows the same rules without the fixed rule.
    p->full_t.lower = c.l;
    p->full_t.upper = c.u;
    p->full_t.value = c.x;
    p->full_t.basis = c.before;
    PMCP_ClassifyBasis(p);
    EXPECT_EQ(IDenseVector_Value(PMCP_FullBasis(p), 1), c.after);
    int t_after = (c.l == c.u) ? (c.before == 0 || c.before == 4 ? 3 : c.before) : c.after;
    EXPECT_EQ(PMCP_FullTBasis(p), t_after);
  }
}

TEST_F(PMCPTest, CopyGrowsTheDestination) {
  // J's room is exactly the problem's 7 entries; its copy needs 8.
  FakePMCP fake;
  fake.nnz_reported = kCurvedEntries;
  fake.lower = {-kInf, 1.5, -kInf};
  fake.upper = {kInf, 1.5, kInf};
  PMCP* p = Start(fake, kCurvedEntries);
  DenseVector* x = DenseVector_Create(2);
  DenseVector* column = DenseVector_Create(2);
  FunctionJacobian* pair = FunctionJacobian_Create(2, PMCP_Nonzeros(p));
  Assign(x, {0.2, 0.4});
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
  EXPECT_EQ(Dense(copy->J), Dense(p->J));
  EXPECT_TRUE(StoresEveryDiagonal(copy->J));
  // The copy evaluates like the original.
  FunctionJacobian* other = FunctionJacobian_Create(2, PMCP_Nonzeros(copy));
  PMCP_Function(copy, x, 0.1, other);
  PMCP_Function(p, x, 0.1, pair);
  EXPECT_EQ(Values(FunctionJacobian_Function(other)), Values(FunctionJacobian_Function(pair)));
  FunctionJacobian_Destroy(other);
  PMCP_Destroy(copy);
  FunctionJacobian_Destroy(pair);
  DenseVector_Destroy(column);
  DenseVector_Destroy(x);

  EXPECT_SOLVER_ERROR(PMCP_Create(50000, 2147483647), "Problem size too large.\n");
}

}  // namespace
