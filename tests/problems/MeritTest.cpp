// Merit function and its gradient: central differences of the merit (half
// the squared two-norm residual) at random points away from the kinks, for
// every differentiable code and every bound pattern; the plain cases; the
// storage of the Jacobian; rows that contribute nothing; the second-function
// blend; the predicates and the errors.
#include <gtest/gtest.h>
#include <algorithm>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/Workspace.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/MCPFixture.hpp"
#include "problems/Residual.hpp"
#include "fixtures/Problems.hpp"
#include "support/TestSupport.hpp"

namespace {

constexpr double kEps = 2.220446049250313e-16;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const int kDifferentiable[] = {1, 2, 5, 6, 7};

// A square Jacobian in compressed-column form with indices from 1, built
// from 0-based triplets (duplicates added). Columns are stored in the given
// order with an optional gap of unused positions between them.
struct Csc {
  int n = 0;
  std::vector<std::int32_t> start, len, row;
  std::vector<double> value;

  static Csc Build(int n, const std::vector<Triplet>& entries, bool reversed = false,
                   int gap = 0) {
    std::vector<std::vector<std::pair<int, double>>> cols(n);
    for (const auto& t : entries) {
      bool found = false;
      for (auto& e : cols[t.col]) {
        if (e.first == t.row) {
          e.second += t.value;
          found = true;
        }
      }
      if (!found) cols[t.col].push_back({t.row, t.value});
    }
    Csc m;
    m.n = n;
    m.start.assign(n, 0);
    m.len.assign(n, 0);
    for (int k = 0; k < n; ++k) {
      int j = reversed ? n - 1 - k : k;
      for (int g = 0; g < gap; ++g) {
        m.row.push_back(1);
        m.value.push_back(kNaN);  // never read
      }
      m.start[j] = static_cast<int>(m.row.size()) + 1;
      m.len[j] = static_cast<int>(cols[j].size());
      for (const auto& e : cols[j]) {
        m.row.push_back(e.first + 1);
        m.value.push_back(e.second);
      }
    }
    if (m.row.empty()) {
      m.row.push_back(1);
      m.value.push_back(0.0);
    }
    return m;
  }
  SparseMatrix_ColumnView View() const {
    return {start.data(), len.data(), row.data(), value.data()};
  }
};

struct Scratch {
  std::vector<double> phi, da, db, jg;
  std::vector<std::int32_t> lower, upper;
  explicit Scratch(int n) : phi(n), da(n), db(n), jg(n), lower(n), upper(n) {}
  ResidualScratch View() {
    return {phi.data(), da.data(), db.data(), jg.data(), lower.data(), upper.data()};
  }
};

// A nonlinear test function on n variables: F = A x + c + beta .* x.^3 with
// a sparse A whose diagonal is empty in some rows; the Jacobian stores a
// diagonal entry only where A or beta has one.
struct TestFunction {
  int n;
  std::vector<Triplet> a;  // 0-based
  std::vector<double> c, beta;

  explicit TestFunction(int size, std::uint32_t seed) : n(size), c(size), beta(size) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coef(-2.0, 2.0);
    for (int i = 0; i < n; ++i) {
      if (i % 3 != 1) a.push_back({i, i, 3.0 + coef(rng)});
      a.push_back({i, (i + 1) % n, coef(rng)});
      a.push_back({(i + 3) % n, i, coef(rng)});
      c[i] = coef(rng);
      beta[i] = (i % 2 == 0) ? 0.3 * coef(rng) : 0.0;
    }
  }
  std::vector<double> F(const std::vector<double>& x) const {
    std::vector<double> f(c);
    for (const auto& t : a) f[t.row] += t.value * x[t.col];
    for (int i = 0; i < n; ++i) f[i] += beta[i] * x[i] * x[i] * x[i];
    return f;
  }
  std::vector<Triplet> J(const std::vector<double>& x) const {
    // The cubic term's derivative joins the diagonal entry of A where it
    // has one: a row occurs at most once in a column.
    std::vector<Triplet> j(a);
    for (int i = 0; i < n; ++i) {
      if (beta[i] == 0.0) continue;
      const double d = 3.0 * beta[i] * x[i] * x[i];
      auto diagonal = std::find_if(j.begin(), j.end(),
                                   [i](const Triplet& t) { return t.row == i && t.col == i; });
      if (diagonal != j.end()) {
        diagonal->value += d;
      } else {
        j.push_back({i, i, d});
      }
    }
    return j;
  }
};

struct Bounds {
  std::vector<double> l, u;
};

// Every bound pattern in turn: free, lower only, upper only, boxed, fixed.
Bounds MixedBounds(int n) {
  const double patterns[5][2] = {{-kInf, kInf}, {-1.0, kInf}, {-kInf, 2.0}, {-0.5, 1.5},
                                 {0.25, 0.25}};
  Bounds b;
  for (int i = 0; i < n; ++i) {
    b.l.push_back(patterns[i % 5][0]);
    b.u.push_back(patterns[i % 5][1]);
  }
  return b;
}

ResidualProblem Problem(const Bounds& b, const std::vector<double>& x, const std::vector<double>& f,
                        double lambda) {
  return {static_cast<std::int32_t>(x.size()), b.l.data(), b.u.data(), x.data(), f.data(), kInf,
          lambda};
}

// The merit the solver measures: half the squared two-norm residual.
double MeritByResidual(const Bounds& b, const std::vector<double>& x, const std::vector<double>& f,
                       int code, double lambda) {
  double value = 0;
  int index = 0;
  Residual_Evaluate(Problem(b, x, f, lambda), code, RESIDUAL_TWO_NORM, &value, &index);
  return 0.5 * value * value;
}

struct MeritGradient {
  double merit;
  std::vector<double> gradient;
  Scratch scratch;
};

MeritGradient Gradient(const Bounds& b, const std::vector<double>& x, const std::vector<double>& f,
                       const Csc& jac, int code, double lambda) {
  int n = static_cast<int>(x.size());
  MeritGradient out{0.0, std::vector<double>(n, kNaN), Scratch(n)};
  out.merit = Residual_EvaluateMeritGradient(Problem(b, x, f, lambda), code, jac.View(),
                                             out.scratch.View(), out.gradient.data());
  return out;
}

// True when x is at least delta away from every kink of the residuals:
// finite bounds and F = 0.
bool AwayFromKinks(const Bounds& b, const std::vector<double>& x, const std::vector<double>& f,
                   double delta) {
  for (size_t i = 0; i < x.size(); ++i) {
    if (std::fabs(f[i]) < delta) return false;
    if (b.l[i] > -kInf && std::fabs(x[i] - b.l[i]) < delta) return false;
    if (b.u[i] < kInf && std::fabs(x[i] - b.u[i]) < delta) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(MeritGradientTest, AgreesWithCentralDifferencesForEveryCodeAndBoundPattern) {
  const int n = 15;  // three variables of each bound pattern
  TestFunction fn(n, 11);
  Bounds b = MixedBounds(n);
  std::mt19937 rng(5);
  for (double lambda : {0.8, 0.5}) {
    for (int code : kDifferentiable) {
      int points = 0;
      for (int attempt = 0; attempt < 4000 && points < 25; ++attempt) {
        std::vector<double> x(n);
        for (int i = 0; i < n; ++i) {
          double lo = b.l[i] > -kInf ? b.l[i] - 1.0 : -3.0;
          double hi = b.u[i] < kInf ? b.u[i] + 1.0 : 3.0;
          x[i] = std::uniform_real_distribution<double>(lo, hi)(rng);
        }
        std::vector<double> f = fn.F(x);
        if (!AwayFromKinks(b, x, f, 0.02)) continue;
        ++points;
        Csc jac = Csc::Build(n, fn.J(x));
        MeritGradient g = Gradient(b, x, f, jac, code, lambda);
        EXPECT_NEAR(g.merit, MeritByResidual(b, x, f, code, lambda), 1e-12 * (1 + g.merit));
        for (int j = 0; j < n; ++j) {
          double h = 1e-6 * std::max(1.0, std::fabs(x[j]));
          std::vector<double> xp(x), xm(x);
          xp[j] += h;
          xm[j] -= h;
          double fd = (MeritByResidual(b, xp, fn.F(xp), code, lambda) -
                       MeritByResidual(b, xm, fn.F(xm), code, lambda)) /
                      (xp[j] - xm[j]);
          EXPECT_NEAR(g.gradient[j], fd, 1e-6 * std::max(1.0, std::fabs(fd)))
              << "code " << code << ", lambda " << lambda << ", variable " << j + 1
              << " (bounds " << b.l[j] << ", " << b.u[j] << "), point " << points;
        }
      }
      EXPECT_EQ(points, 25) << "too few points away from the kinks for code " << code;
    }
  }
}

TEST(MeritGradientTest, FreeVariablesGiveHalfTheSquaredNormAndJTransposedF) {
  const int n = 8;
  TestFunction fn(n, 3);
  Bounds b{std::vector<double>(n, -kInf), std::vector<double>(n, kInf)};
  std::vector<double> x = {0.3, -1.2, 2.0, 0.0, -0.7, 1.1, 0.5, -2.5};
  std::vector<double> f = fn.F(x);
  std::vector<Triplet> entries = fn.J(x);
  std::vector<double> jtf(n, 0.0);
  double half = 0.0;
  for (const auto& t : entries) jtf[t.col] += t.value * f[t.row];
  for (double v : f) half += 0.5 * v * v;
  for (int code : kDifferentiable) {
    MeritGradient g = Gradient(b, x, f, Csc::Build(n, entries), code, 0.8);
    EXPECT_NEAR(g.merit, half, 1e-13 * half) << "code " << code;
    for (int j = 0; j < n; ++j) EXPECT_NEAR(g.gradient[j], jtf[j], 1e-12) << "code " << code;
  }
}

TEST(MeritGradientTest, JacobianStorageDoesNotMatter) {
  // Missing diagonal entries, explicit zeros on the diagonal, columns in
  // reverse order and gaps between columns all give the same gradient.
  const int n = 10;
  TestFunction fn(n, 8);
  Bounds b = MixedBounds(n);
  std::vector<double> x = {0.3, -0.2, 2.5, 0.6, 0.9, -1.7, 0.1, 1.8, 1.0, 0.25};
  std::vector<double> f = fn.F(x);
  std::vector<Triplet> entries = fn.J(x);
  std::vector<Triplet> with_zeros(entries);
  for (int i = 0; i < n; ++i) with_zeros.push_back({i, i, 0.0});
  for (int code : kDifferentiable) {
    MeritGradient base = Gradient(b, x, f, Csc::Build(n, entries), code, 0.8);
    for (const Csc& other : {Csc::Build(n, with_zeros), Csc::Build(n, entries, true, 2)}) {
      MeritGradient g = Gradient(b, x, f, other, code, 0.8);
      EXPECT_EQ(g.merit, base.merit);
      EXPECT_EQ(g.gradient, base.gradient) << "code " << code;
    }
  }
}

TEST(MeritGradientTest, RowsWithZeroPhiContributeNothing) {
  // A point that solves every variable, degenerate ones (on a bound with
  // F = 0) included: merit and gradient are exactly zero.
  struct Var {
    double l, u, x, f;
  };
  const Var solved[] = {{0, kInf, 0, 2},     {0, kInf, 0, 0},     {0, kInf, 3, 0},
                        {-kInf, 1, 1, -2},   {-kInf, 1, 1, 0},    {-1, 2, -1, 0},
                        {-1, 2, 2, 0},       {-1, 2, 0.5, 0},     {-1, 2, 2, -3},
                        {-kInf, kInf, 4, 0}, {0.5, 0.5, 0.5, 1.0}};
  const int n = sizeof solved / sizeof solved[0];
  Bounds b;
  std::vector<double> x, f;
  for (const auto& v : solved) {
    b.l.push_back(v.l);
    b.u.push_back(v.u);
    x.push_back(v.x);
    f.push_back(v.f);
  }
  TestFunction fn(n, 21);
  Csc jac = Csc::Build(n, fn.J(x));
  for (int code : kDifferentiable) {
    MeritGradient g = Gradient(b, x, f, jac, code, 0.8);
    EXPECT_EQ(g.merit, 0.0) << "code " << code;
    for (int j = 0; j < n; ++j) EXPECT_EQ(g.gradient[j], 0.0) << "code " << code << ", " << j;
  }
}

TEST(MeritGradientTest, ZeroPhiInADividingRowOfTheBoundedCode) {
  // Code 6 divides by phi in the rows at or beyond a bound. Variable 2 is
  // such a row whose parts both vanish (x - l = 2.3e-16 > eps against an
  // F so large that FB(x - l, F) rounds to 0): phi = 0 there, and the
  // gradient must equal the one with variable 2 at an ordinary solution.
  Bounds b{{-1.0, 0.0, -kInf}, {2.0, 3e-16, kInf}};
  std::vector<double> x = {0.4, 2.3e-16, 1.2};
  std::vector<double> f = {1.5, 1.7e308, -0.8};
  Csc jac = Csc::Build(3, {{0, 0, 2.0}, {1, 0, -1.0}, {1, 1, 4.0}, {0, 1, 0.5}, {2, 2, 1.0},
                           {1, 2, 3.0}, {2, 0, 0.25}});
  MeritGradient g = Gradient(b, x, f, jac, 6, 0.8);
  ASSERT_EQ(g.scratch.phi[1], 0.0);
  Bounds b2{{-1.0, 0.0, -kInf}, {2.0, 1.0, kInf}};
  std::vector<double> x2 = {0.4, 0.0, 1.2};
  std::vector<double> f2 = {1.5, 5.0, -0.8};
  MeritGradient g2 = Gradient(b2, x2, f2, jac, 6, 0.8);
  ASSERT_EQ(g2.scratch.phi[1], 0.0);
  for (int j = 0; j < 3; ++j) {
    EXPECT_TRUE(std::isfinite(g.gradient[j])) << j;
    EXPECT_EQ(g.gradient[j], g2.gradient[j]) << j;
  }
  EXPECT_EQ(g.merit, g2.merit);
}

TEST(MeritGradientTest, NaNInFGivesANaNMerit) {
  Bounds b{{0.0, -1.0}, {kInf, 1.0}};
  std::vector<double> x = {0.5, 0.2};
  std::vector<double> f = {kNaN, 0.3};
  Csc jac = Csc::Build(2, {{0, 0, 1.0}, {1, 1, 1.0}});
  for (int code : kDifferentiable) {
    MeritGradient g = Gradient(b, x, f, jac, code, 0.8);
    EXPECT_TRUE(std::isnan(g.merit)) << "code " << code;
  }
}

// ---------------------------------------------------------------------------
// The blend with a second function

TEST(MeritBlendTest, WeightsMeritAndGradient) {
  double merit = 2.0;
  std::vector<double> gradient = {1.0, -2.0, 0.5};
  const std::vector<double> second = {4.0, 0.0, -1.0};
  Residual_BlendSecondFunction(0.7, 10.0, second.data(), 3, &merit, gradient.data());
  EXPECT_NEAR(merit, 0.7 * 2.0 + 0.3 * 10.0, 1e-15);
  EXPECT_NEAR(gradient[0], 0.7 * 1.0 + 0.3 * 4.0, 1e-15);
  EXPECT_NEAR(gradient[1], -1.4, 1e-15);
  EXPECT_NEAR(gradient[2], 0.35 - 0.3, 1e-15);
  // The merit alone.
  merit = 2.0;
  Residual_BlendSecondFunction(0.7, 10.0, second.data(), 3, &merit, nullptr);
  EXPECT_NEAR(merit, 4.4, 1e-15);
  // Weight 1 keeps the gradient even over a NaN of the second function,
  // weight 0 takes the second gradient alone.
  const std::vector<double> undefined = {kNaN, kNaN, kNaN};
  gradient = {1.0, -2.0, 0.5};
  Residual_BlendSecondFunction(1.0, 0.0, undefined.data(), 3, &merit, gradient.data());
  EXPECT_EQ(gradient, (std::vector<double>{1.0, -2.0, 0.5}));
  gradient = {kNaN, 1.0, 2.0};
  Residual_BlendSecondFunction(0.0, 0.0, second.data(), 3, &merit, gradient.data());
  EXPECT_EQ(gradient, second);
}

// ---------------------------------------------------------------------------
// Predicates and errors

class MeritCodeTest : public LibraryTest {};

TEST_F(MeritCodeTest, Predicates) {
  struct Case {
    int code, differentiable, searchable;  // -1: solver error
  };
  const Case cases[] = {{0, 0, 1},   {1, 1, 1},   {2, 1, 1},   {3, -1, -1}, {4, -1, -1},
                        {5, -1, -1}, {6, 1, 1},   {7, 1, 1},   {8, 1, 1},   {9, -1, -1},
                        {-1, -1, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code);
    if (c.differentiable < 0) {
      EXPECT_SOLVER_ERROR(Is_Differentiable(c.code), "Is_Differentiable: Invalid merit function.");
    } else {
      EXPECT_EQ(Is_Differentiable(c.code), c.differentiable);
    }
    if (c.searchable < 0) {
      EXPECT_SOLVER_ERROR(Is_Linesearchable(c.code), "Is_Linesearchable: Invalid merit function.");
      EXPECT_SOLVER_ERROR(Is_Arcsearchable(c.code), "Is_Arcsearchable: Invalid merit function.");
    } else {
      EXPECT_EQ(Is_Linesearchable(c.code), c.searchable);
      EXPECT_EQ(Is_Arcsearchable(c.code), c.searchable);
    }
  }
}

TEST_F(MeritCodeTest, GradientOfANonDifferentiableCodeIsAnError) {
  Bounds b{{0.0}, {kInf}};
  std::vector<double> x = {1.0}, f = {2.0};
  Csc jac = Csc::Build(1, {{0, 0, 1.0}});
  for (int code : {0, 3, 4, 9, -2}) {
    EXPECT_SOLVER_ERROR(Gradient(b, x, f, jac, code, 0.8),
                        "MCP_DMerit_Function: merit function not differentiable.");
  }
  EXPECT_SOLVER_ERROR(Gradient(b, x, f, jac, 8, 0.8),
                      "MCP_DMerit_Function: Ulbrich not implemented yet.");
}

// ---------------------------------------------------------------------------
// The forms on the records

namespace {

// A second function on the full variables with its gradient.
double Theta(const double* y) { return 0.5 * y[0] * y[0] + y[1] * y[5] + std::sin(y[3]) + 0.1 * y[2]; }
void ThetaGradient(const double* y, double* g) {
  g[0] = y[0];
  g[1] = y[5];
  g[2] = 0.1;
  g[3] = std::cos(y[3]);
  g[4] = 0.0;
  g[5] = y[1];
}

}  // namespace

class MeritFormTest : public MCPFixture {
 protected:
  // A started record over six variables: free, lower only, upper only,
  // boxed, fixed and free again; with the free-variable transform the
  // solver sees x1', x2, x3, x4, x6' and the shift eta. The second
  // function Theta is installed.
  MCP* StartedRecord(FakeMCP& fake) {
    MCP* mcp = Make(fake, 40);
    MCP_SetFreeVariableTransform(mcp, 1);
    MCP_SecondFunctionInterface second{};
    second.function_evaluation = [](void*, int n, const double* x, int, double* value,
                                    double* gradient) {
      EXPECT_EQ(n, 6);
      *value = Theta(x);
      ThetaGradient(x, gradient);
      return 0;
    };
    MCP_SetSecondFunctionInterface(mcp, &second);
    EXPECT_EQ(MCP_Start(mcp), MCP_CONTINUE);
    return mcp;
  }
};

TEST_F(MeritFormTest, GradientOfTheRecordsMeritAgreesWithCentralDifferences) {
  // The whole chain the solver uses: reduced evaluations (with the shift
  // variable of the free variables), residual, merit, gradient and the
  // blend with the second function, whose derivative in the shift
  // variable is minus the sum over the free variables.
  TestFunction fn(6, 17);
  FakeMCP fake(6, 40, [&fn](const double* x, double* f, std::vector<Triplet>* jacobian) {
    std::vector<double> xv(x, x + 6);
    std::vector<double> fv = fn.F(xv);
    std::copy(fv.begin(), fv.end(), f);
    if (jacobian != nullptr) *jacobian = fn.J(xv);
    return 0;
  });
  fake.lower = {-kInf, 0.0, -kInf, -1.0, 0.3, -kInf};
  fake.upper = {kInf, kInf, 2.0, 1.5, 0.3, kInf};
  MCP* mcp = StartedRecord(fake);
  const int n = MCP_Variables(mcp);
  ASSERT_EQ(n, 6);  // five non-fixed variables and eta
  DenseVector* l = MCP_Lower(mcp);
  DenseVector* u = MCP_Upper(mcp);
  Bounds b{Values(l), Values(u)};
  FunctionJacobian* pair = Pair(n, MCP_Nonzeros(mcp));
  FunctionJacobian* trial = Pair(n, MCP_Nonzeros(mcp));
  DenseVector* x = Vector(std::vector<double>(n, 0.0));
  DenseVector* xt = Vector(std::vector<double>(n, 0.0));
  DenseVector* gradient = Vector({}, n);

  auto merit_at = [&](const std::vector<double>& point, int code) {
    for (int i = 0; i < n; ++i) DenseVector_SetValue(xt, i + 1, point[i]);
    EXPECT_EQ(MCP_Function(mcp, xt, trial), 1);
    double merit = 0;
    MCP_Merit_Function(mcp, code, l, u, xt, trial, &merit);
    return merit;
  };

  std::mt19937 rng(2);
  for (double weight : {0.7, 0.25}) {
    MCP_SetMeritWeight(mcp, weight);
    for (int code : kDifferentiable) {
      int points = 0;
      for (int attempt = 0; attempt < 4000 && points < 10; ++attempt) {
        std::vector<double> point(n);
        for (int i = 0; i < n; ++i) {
          double lo = b.l[i] > -kInf ? b.l[i] - 1.0 : -3.0;
          double hi = b.u[i] < kInf ? b.u[i] + 1.0 : 3.0;
          point[i] = std::uniform_real_distribution<double>(lo, hi)(rng);
        }
        for (int i = 0; i < n; ++i) DenseVector_SetValue(x, i + 1, point[i]);
        ASSERT_EQ(MCP_Jacobian(mcp, x, pair), 1);
        if (!AwayFromKinks(b, point, Values(FunctionJacobian_Function(pair)), 0.02)) continue;
        ++points;
        double merit = 0;
        MCP_DMerit_Function(mcp, code, l, u, x, pair, &merit, gradient);
        ASSERT_EQ(DenseVector_Length(gradient), n);
        EXPECT_NEAR(merit, merit_at(point, code), 1e-12 * (1 + merit));
        for (int j = 0; j < n; ++j) {
          std::vector<double> xp(point), xm(point);
          xp[j] += 1e-6;
          xm[j] -= 1e-6;
          double fd = (merit_at(xp, code) - merit_at(xm, code)) / (xp[j] - xm[j]);
          EXPECT_NEAR(DenseVector_Value(gradient, j + 1), fd, 1e-6 * std::max(1.0, std::fabs(fd)))
              << "code " << code << ", weight " << weight << ", variable " << j + 1;
        }
      }
      EXPECT_EQ(points, 10) << "code " << code;
    }
  }
}

TEST_F(MeritFormTest, MeritOfTheRecordIsBlendedWithTheSecondFunction) {
  FakeMCP fake(6, 40, [](const double* x, double* f, std::vector<Triplet>* jacobian) {
    for (int i = 0; i < 6; ++i) f[i] = x[i] - 1.0;
    if (jacobian != nullptr) {
      jacobian->clear();
      for (int i = 0; i < 6; ++i) jacobian->push_back({i, i, 1.0});
    }
    return 0;
  });
  fake.lower = {-5.0, -5.0, -5.0, -5.0, 0.3, -5.0};  // variable 5 fixed, none free
  fake.upper = {5.0, 5.0, 5.0, 5.0, 0.3, 5.0};
  MCP* mcp = StartedRecord(fake);
  const int n = MCP_Variables(mcp);
  ASSERT_EQ(n, 5);
  FunctionJacobian* pair = Pair(n, MCP_Nonzeros(mcp));
  DenseVector* x = Vector({0.5, 2.0, -1.0, 0.0, 4.0});
  ASSERT_EQ(MCP_Jacobian(mcp, x, pair), 1);
  double residual = 0, merit = 0, plain = 0;
  int index = 0;
  MCP_Residual(mcp, RESIDUAL_FISCHER_BURMEISTER, RESIDUAL_TWO_NORM, MCP_Lower(mcp), MCP_Upper(mcp),
               x, pair, &residual, &index);
  MCP_Merit_Function(mcp, RESIDUAL_FISCHER_BURMEISTER, MCP_Lower(mcp), MCP_Upper(mcp), x, pair,
                     &merit);
  const double full[] = {0.5, 2.0, -1.0, 0.0, 0.3, 4.0};
  EXPECT_NEAR(merit, 0.7 * 0.5 * residual * residual + 0.3 * Theta(full), 1e-14);
  // The plain merit of F does not blend.
  MCP_Merit_FFunction(mcp, x, nullptr, nullptr, pair, &plain);
  double sum = 0;
  for (int i = 0; i < n; ++i) sum += 0.5 * std::pow(DenseVector_Value(x, i + 1) - 1.0, 2);
  EXPECT_NEAR(plain, sum, 1e-15);
}

TEST_F(MeritFormTest, ScratchGrowsWhenThePoolIsSmallerThanTheProblem) {
  // A pool sized for 2 variables and a problem of 12: the merit vectors are
  // grown, not overrun (the sanitizer build would see an overrun).
  Workspace_Create(2, 2);
  const int n = 12;
  TestFunction fn(n, 4);
  Bounds b = MixedBounds(n);
  std::vector<double> xv(n);
  for (int i = 0; i < n; ++i) xv[i] = 0.1 * i - 0.4;
  std::vector<double> fv = fn.F(xv);
  Csc jac = Csc::Build(n, fn.J(xv));
  FunctionJacobian* pair = Pair(n, static_cast<int>(jac.row.size()) + n);
  DenseVector* f = FunctionJacobian_Function(pair);
  DenseVector_SetLength(f, n);
  for (int i = 0; i < n; ++i) DenseVector_SetValue(f, i + 1, fv[i]);
  SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  SparseMatrix_SetSize(J, n, n, static_cast<int>(jac.row.size()));
  std::copy(jac.start.begin(), jac.start.end(), IDenseVector_Array(SparseMatrix_ColStart(J)));
  std::copy(jac.len.begin(), jac.len.end(), IDenseVector_Array(SparseMatrix_ColLen(J)));
  std::copy(jac.row.begin(), jac.row.end(), IDenseVector_Array(SparseMatrix_RowIndex(J)));
  std::copy(jac.value.begin(), jac.value.end(), DenseVector_Array(SparseMatrix_Values(J)));
  DenseVector* l = Vector(b.l);
  DenseVector* u = Vector(b.u);
  DenseVector* x = Vector(xv);
  DenseVector* gradient = Vector({}, n);
  for (int code : kDifferentiable) {
    double merit = 0;
    MCP_DMerit_Function(nullptr, code, l, u, x, pair, &merit, gradient);
    MeritGradient expected = Gradient(b, xv, fv, jac, code, 0.8);
    EXPECT_EQ(merit, expected.merit);
    EXPECT_EQ(Values(gradient), expected.gradient) << "code " << code;
  }
  // A gradient vector without room is reported.
  DenseVector* small = Vector({}, n - 1);
  double merit = 0;
  EXPECT_SOLVER_ERROR(MCP_DMerit_Function(nullptr, 1, l, u, x, pair, &merit, small),
                      "MCP_DMerit_Function: vector shorter than the problem");
  Workspace_Destroy();
}

TEST_F(MeritFormTest, CodeIsCheckedBeforeAnythingElse) {
  // No pool exists: the code error comes first all the same.
  DenseVector* v = Vector({1.0});
  FunctionJacobian* pair = Pair(1, 1);
  double merit = 0;
  EXPECT_SOLVER_ERROR(MCP_DMerit_Function(nullptr, 0, v, v, v, pair, &merit, v),
                      "merit function not differentiable.");
}
