// Residual functions: the scalar kernels, every residual code in every norm
// against reference formulas written here from the definitions, the
// solution check on classic problems, NaN handling and the normal-map point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/FunctionJacobian.hpp"
#include "core/Options.hpp"
#include "problems/MCPFixture.hpp"
#include "problems/Residual.hpp"
#include "fixtures/Problems.hpp"
#include "support/TestSupport.hpp"

namespace {

constexpr double kEps = 2.220446049250313e-16;
constexpr double kLambda = 0.8;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kHuge = HUGE_VAL;

// ---------------------------------------------------------------------------
// Reference formulas, straight from the definitions.

double Pos(double t) { return std::max(t, 0.0); }
double RefFB(double a, double b) { return std::hypot(a, b) - a - b; }
double RefPFB(double a, double b, double lambda) {
  return lambda * RefFB(a, b) + (lambda - 1.0) * Pos(a) * Pos(b);
}

struct Var {
  double l, u, x, f;
};

// Measure m, square s and one-norm term t of one variable.
struct Ref {
  double m, s, t;
};

Ref Signed(double r) { return {std::fabs(r), r * r, std::fabs(r)}; }

Ref Reference(int code, const Var& v, double lambda) {
  const double l = v.l, u = v.u, x = v.x, f = v.f;
  const bool lf = l > -kInf, uf = u < kInf;
  switch (code) {
    case RESIDUAL_NORMAL_MAP:  // F unless x sits on a bound with F pointing outwards
      if ((x == l && f > 0) || (x == u && f < 0)) return Signed(0.0);
      return Signed(f);
    case RESIDUAL_FISCHER_BURMEISTER:
      if (lf && uf) return Signed(RefFB(x - l, RefFB(u - x, -f)));
      if (lf) return Signed(RefFB(x - l, f));
      if (uf) return Signed(RefFB(u - x, -f));
      return Signed(f);
    case RESIDUAL_PENALIZED_FISCHER_BURMEISTER:
      if (lf && uf) return Signed(RefFB(x - l, RefPFB(u - x, -f, lambda)));
      if (lf) return Signed(RefPFB(x - l, f, lambda));
      if (uf) return Signed(RefPFB(u - x, -f, lambda));
      return Signed(f);
    case RESIDUAL_NATURAL:  // x minus its projected step
      return Signed(x - std::min(std::max(x - f, l), u));
    case RESIDUAL_RELATIVE_COMPLEMENTARITY: {
      double p = lf ? Pos(l - x) : 0.0;
      double q = uf ? Pos(x - u) : 0.0;
      double c = lf ? Pos((x - l) / (std::fabs(l) + 1)) * Pos(f) : Pos(f);
      double d = uf ? Pos((u - x) / (std::fabs(u) + 1)) * Pos(-f) : Pos(-f);
      return {p + q + c + d, (p + q) * (p + q) + c * c + d * d, p + q + c + d};
    }
    case RESIDUAL_SCALED_PENALIZED_FISCHER_BURMEISTER: {
      double lower = Pos(x - l) * Pos(f) / (std::fabs(l) + 1);
      double upper = Pos(u - x) * Pos(-f) / (std::fabs(u) + 1);
      if (lf && uf)
        return Signed(lambda * RefFB(x - l, RefFB(u - x, -f)) + (lambda - 1) * (lower - upper));
      if (lf) return Signed(lambda * RefFB(x - l, f) + (lambda - 1) * (lower - Pos(-f)));
      if (uf) return Signed(-lambda * RefFB(u - x, -f) + (lambda - 1) * (Pos(f) - upper));
      return Signed(f);
    }
    case RESIDUAL_BOUNDED_FISCHER_BURMEISTER: {
      double a = lf ? std::min(x - l, Pos(-RefFB(x - l, f))) : Pos(f);
      double b = uf ? std::min(u - x, Pos(-RefFB(u - x, -f))) : Pos(-f);
      return {std::hypot(a, b), a * a + b * b, std::hypot(a, b)};
    }
    case RESIDUAL_PIECEWISE: {
      double r = 0.0;
      if (f < 0) {
        if (x > u + kEps) {
          r = x - u;
        } else if (x >= u - kEps) {
          r = 0.0;
        } else if (x < l) {
          if (x < l - kEps || f < -kEps) r = (uf ? RefFB(u - x, -f) - f : 0.0) - std::hypot(x - l, f);
        } else if (f < -kEps) {
          r = uf ? RefFB(u - x, -f) : f;
        }
      } else {
        if (x < l - kEps) {
          r = x - l;
        } else if (x <= l + kEps) {
          r = 0.0;
        } else if (x > u) {
          if (x > u + kEps || f > kEps) r = (lf ? -RefFB(x - l, f) - f : 0.0) + std::hypot(x - u, f);
        } else if (f > kEps) {
          r = lf ? -RefFB(x - l, f) : f;
        }
      }
      return Signed(r);
    }
  }
  ADD_FAILURE() << "no reference for code " << code;
  return {0, 0, 0};
}

// ---------------------------------------------------------------------------
// Helpers

struct Arrays {
  std::vector<double> l, u, x, f;
  explicit Arrays(const std::vector<Var>& vars) {
    for (const auto& v : vars) {
      l.push_back(v.l);
      u.push_back(v.u);
      x.push_back(v.x);
      f.push_back(v.f);
    }
  }
  ResidualProblem Problem(double lambda = kLambda) const {
    return {static_cast<std::int32_t>(l.size()), l.data(), u.data(), x.data(), f.data(), kInf,
            lambda};
  }
};

struct Result {
  double value;
  int index;
};

Result Evaluate(const std::vector<Var>& vars, int code, int norm, double lambda = kLambda) {
  Arrays a(vars);
  Result r{-1.0, -1};
  Residual_Evaluate(a.Problem(lambda), code, norm, &r.value, &r.index);
  return r;
}

struct BoundPattern {
  const char* name;
  double l, u;
};

const BoundPattern kPatterns[] = {
    {"free", -kInf, kInf},
    {"lower only", -0.5, kInf},
    {"upper only", -kInf, 2.0},
    {"boxed", -1.5, 0.75},
    {"boxed wide", -1.0, 3.0},
    {"fixed", 0.5, 0.5},
};

// Points below, on, within eps of, inside and above the bounds of a pattern
// (values that stand for positions when a bound is infinite), crossed with
// F values of every sign and size, zero and sub-eps values included.
std::vector<Var> Grid(const BoundPattern& p) {
  std::vector<double> xs = {-4.0, -0.3, 0.0, 1.7, 5.0};
  for (double b : {p.l, p.u}) {
    if (std::fabs(b) < kInf) {
      for (double d : {-0.7, -1e-3, 0.0, 1e-3, 0.4}) xs.push_back(b + d);
      // Within eps of the bound: the bands of the piecewise residual.
      xs.push_back(std::nextafter(b, -kHuge));
      xs.push_back(std::nextafter(b, kHuge));
    }
  }
  std::vector<Var> vars;
  for (double x : xs) {
    for (double f : {-2.5, -1e-3, -1e-16, 0.0, 1e-16, 0.7, 3.0}) vars.push_back({p.l, p.u, x, f});
  }
  return vars;
}

const char* const kNormNames[] = {"one", "two", "infinity"};

}  // namespace

// ---------------------------------------------------------------------------
// Scalar kernels

TEST(ResidualKernelTest, FischerBurmeisterValues) {
  struct Case {
    double a, b, expected, relative;
  };
  const double r2 = std::sqrt(2.0);
  const Case cases[] = {
      {3, 4, -2, 0},  // exact through the cancellation-free form
      {-3, 4, 4, 0},
      {4, -3, 4, 0},
      {-3, -4, 12, 0},
      {0, 5, 0, 0},
      {5, 0, 0, 0},
      {2, 5, std::sqrt(29.0) - 7, 1e-15},
      // Below the threshold abs(a) + abs(b) <= eps the value is 0.
      {1e-17, 1e-17, 0, 0},
      {1e-16, -1e-16, 0, 0},
      // Cancellation: a plain sqrt(a^2 + b^2) - (a + b) loses these.
      {1e8, 1e-8, -1e-8, 1e-14},
      {1e-20, 1.0, -1e-20, 1e-14},
      {1e8, -1e-8, 1e-8, 1e-14},
      // Huge arguments: the squares would overflow.
      {1e200, 1e200, (r2 - 2) * 1e200, 1e-14},
      {1e300, -1e300, r2 * 1e300, 1e-14},
      {1e308, 1e308, (r2 - 2) * 1e308, 1e-14},
      {-1e300, 1e-300, 2e300, 1e-14},
      // Tiny arguments: the squares would underflow.
      {3e-200, 4e-200, 0, 0},
      {1e-150, 1e-3, -1e-150, 1e-14},
      // Infinite arguments take the limit.
      {kHuge, 2, -2, 0},
      {2, kHuge, -2, 0},
      {-kHuge, 2, kHuge, 0},
      {kHuge, kHuge, -kHuge, 0},
      {kHuge, -kHuge, kHuge, 0},
  };
  for (const auto& c : cases) {
    double got = Residual_FischerBurmeister(c.a, c.b);
    SCOPED_TRACE(testing::Message() << "FB(" << c.a << ", " << c.b << ") = " << got);
    if (c.relative == 0) {
      EXPECT_EQ(got, c.expected);
    } else {
      EXPECT_NEAR(got, c.expected, c.relative * std::fabs(c.expected));
    }
  }
  EXPECT_TRUE(std::isnan(Residual_FischerBurmeister(kNaN, 1.0)));
  EXPECT_TRUE(std::isnan(Residual_FischerBurmeister(0.0, kNaN)));
}

TEST(ResidualKernelTest, FischerBurmeisterIsZeroExactlyOnTheComplementaritySet) {
  // Zero when a >= 0, b >= 0, a b = 0; of the right sign elsewhere.
  for (double a : {-2.0, -1e-6, 0.0, 1e-6, 3.0}) {
    for (double b : {-2.0, -1e-6, 0.0, 1e-6, 3.0}) {
      double fb = Residual_FischerBurmeister(a, b);
      SCOPED_TRACE(testing::Message() << "a = " << a << ", b = " << b);
      if (a >= 0 && b >= 0 && a * b == 0) {
        EXPECT_EQ(fb, 0.0);
      } else if (a > 0 && b > 0) {
        EXPECT_LT(fb, 0.0);
      } else {
        EXPECT_GT(fb, 0.0);
      }
      EXPECT_NEAR(fb, RefFB(a, b), 1e-15);
    }
  }
}

TEST(ResidualKernelTest, HypotAndPenalizedForm) {
  EXPECT_EQ(Residual_Hypot(3, 4), 5);
  EXPECT_EQ(Residual_Hypot(-3, -4), 5);
  EXPECT_EQ(Residual_Hypot(1e-17, 1e-17), 0);
  EXPECT_NEAR(Residual_Hypot(1e300, 1e300), std::sqrt(2.0) * 1e300, 1e286);
  EXPECT_NEAR(Residual_Hypot(1e-150, 1e-3), 1e-3, 1e-19);
  EXPECT_EQ(Residual_Hypot(1e200, 1), 1e200);
  EXPECT_EQ(Residual_Hypot(-kHuge, 1), kHuge);
  EXPECT_TRUE(std::isnan(Residual_Hypot(kNaN, 1)));

  struct Case {
    double a, b, lambda;
  };
  const Case cases[] = {{2, 5, 0.8}, {-1, 5, 0.8}, {2, -5, 0.8}, {3, 4, 0.5}, {0, 7, 0.8},
                        {1e-3, 1e3, 0.9}, {3, 4, 1.0}};
  for (const auto& c : cases) {
    EXPECT_NEAR(Residual_PenalizedFischerBurmeister(c.a, c.b, c.lambda),
                RefPFB(c.a, c.b, c.lambda), 1e-13)
        << c.a << ", " << c.b << ", " << c.lambda;
  }
  // The threshold removes the penalty too.
  EXPECT_EQ(Residual_PenalizedFischerBurmeister(1e-17, 1e-17, 0.8), 0.0);
  EXPECT_EQ(Residual_PenalizedFischerBurmeister(kHuge, 0.0, 0.8), 0.0);
}

// ---------------------------------------------------------------------------
// Residual codes against the reference formulas

TEST(ResidualCodeTest, EveryCodeBoundPatternAndNormAgreesWithTheDefinition) {
  std::vector<std::pair<std::string, std::vector<Var>>> groups;
  std::vector<Var> all;
  for (const auto& p : kPatterns) {
    groups.push_back({p.name, Grid(p)});
    all.insert(all.end(), groups.back().second.begin(), groups.back().second.end());
  }
  groups.push_back({"all patterns", all});

  for (double lambda : {0.8, 0.3}) {
    for (const auto& group : groups) {
      for (int code = RESIDUAL_NORMAL_MAP; code <= RESIDUAL_PIECEWISE; ++code) {
        std::vector<Ref> refs;
        for (const auto& v : group.second) refs.push_back(Reference(code, v, lambda));
        double one = 0, squares = 0, largest = 0;
        for (const auto& r : refs) {
          one += r.t;
          squares += r.s;
          largest = std::max(largest, r.m);
        }
        const double expected[3] = {one, std::sqrt(squares), largest};
        for (int norm = RESIDUAL_ONE_NORM; norm <= RESIDUAL_INFINITY_NORM; ++norm) {
          SCOPED_TRACE(testing::Message() << group.first << ", code " << code << ", "
                                          << kNormNames[norm] << " norm, lambda " << lambda);
          Result r = Evaluate(group.second, code, norm, lambda);
          EXPECT_NEAR(r.value, expected[norm], 1e-12 * std::max(1.0, expected[norm]));
          // The index names a variable with the largest measure.
          ASSERT_GE(r.index, 1);
          ASSERT_LE(r.index, static_cast<int>(refs.size()));
          EXPECT_NEAR(refs[r.index - 1].m, largest, 1e-12 * std::max(1.0, largest));
        }
      }
    }
  }
}

TEST(ResidualCodeTest, ZeroExactlyAtSolutionsOfEachBoundPattern) {
  // Per pattern: points that solve the one-variable problem and points that
  // do not (infeasible, or F of the wrong sign, or interior with F != 0).
  struct Case {
    Var v;
    bool solved;
  };
  const Case cases[] = {
      {{-kInf, kInf, 1.3, 0.0}, true},   {{-kInf, kInf, 1.3, 0.2}, false},
      {{0.0, kInf, 0.0, 2.0}, true},     {{0.0, kInf, 0.0, 0.0}, true},
      {{0.0, kInf, 4.0, 0.0}, true},     {{0.0, kInf, 0.0, -2.0}, false},
      {{0.0, kInf, 4.0, 1.0}, false},    {{0.0, kInf, -1.0, 2.0}, false},
      {{-kInf, 2.0, 2.0, -3.0}, true},   {{-kInf, 2.0, -5.0, 0.0}, true},
      {{-kInf, 2.0, 2.0, 3.0}, false},   {{-kInf, 2.0, 2.5, -3.0}, false},
      {{-1.0, 3.0, -1.0, 0.5}, true},    {{-1.0, 3.0, 3.0, -0.5}, true},
      {{-1.0, 3.0, 0.2, 0.0}, true},     {{-1.0, 3.0, -1.0, -0.5}, false},
      {{-1.0, 3.0, 3.0, 0.5}, false},    {{-1.0, 3.0, 0.2, -0.5}, false},
      {{-1.0, 3.0, 3.5, -1.0}, false},   {{-1.0, 3.0, -2.0, 1.0}, false},
      {{0.5, 0.5, 0.5, -7.0}, true},     {{0.5, 0.5, 0.5, 7.0}, true},
      {{0.5, 0.5, 0.6, 0.0}, false},
  };
  for (const auto& c : cases) {
    for (int code = RESIDUAL_NORMAL_MAP; code <= RESIDUAL_PIECEWISE; ++code) {
      // The normal-map residual measures F only: it cannot see an
      // infeasible x whose F is 0 (the solver keeps x within its bounds).
      if (code == 0 && c.v.f == 0.0 && !(c.v.l <= c.v.x && c.v.x <= c.v.u)) continue;
      SCOPED_TRACE(testing::Message() << "code " << code << " at l = " << c.v.l << ", u = "
                                      << c.v.u << ", x = " << c.v.x << ", f = " << c.v.f);
      Result r = Evaluate({c.v}, code, RESIDUAL_TWO_NORM);
      if (c.solved) {
        EXPECT_EQ(r.value, 0.0);
      } else {
        EXPECT_GT(r.value, 1e-3);
      }
    }
  }
}

TEST(ResidualCodeTest, ClassicProblemsAreSolvedExactlyAtTheirSolutions) {
  // The residual of every code is small at a known solution and large at a
  // point that the solution check rejects.
  auto check = [](const std::string& name, const std::vector<double>& l,
                  const std::vector<double>& u, const std::vector<double>& x,
                  const std::vector<double>& f, bool solved) {
    std::vector<Var> vars;
    for (size_t i = 0; i < x.size(); ++i) vars.push_back({l[i], u[i], x[i], f[i]});
    bool oracle = ComplementarityViolation(l, u, x, f) < 1e-9;
    ASSERT_EQ(oracle, solved) << name;
    for (int code = RESIDUAL_NORMAL_MAP; code <= RESIDUAL_PIECEWISE; ++code) {
      for (int norm = RESIDUAL_ONE_NORM; norm <= RESIDUAL_INFINITY_NORM; ++norm) {
        Result r = Evaluate(vars, code, norm);
        if (solved) {
          EXPECT_LT(r.value, 1e-9) << name << " code " << code << " norm " << norm;
        } else {
          EXPECT_GT(r.value, 1e-3) << name << " code " << code << " norm " << norm;
        }
      }
    }
  };
  for (const auto& p : {KojimaShindo(0.0), Josephy(), MixedBoxes()}) {
    std::vector<double> f(p.n);
    for (const auto& z : p.solutions) {
      ASSERT_TRUE(p.evaluate(z.data(), f.data(), nullptr));
      check(p.name + " solution", p.lower, p.upper, z, f, true);
    }
    ASSERT_TRUE(p.evaluate(p.start.data(), f.data(), nullptr));
    check(p.name + " start", p.lower, p.upper, p.start, f, false);
  }
  for (const auto& p : {ConvexQP(), DegenerateCyclic(), Exponential(8), PlantedMonotone(40, 3)}) {
    check(p.name + " solution", p.lower, p.upper, p.solution, p.F(p.solution), true);
    std::vector<double> z(p.n, 0.5);
    check(p.name + " other point", p.lower, p.upper, z, p.F(z), false);
  }
}

TEST(ResidualCodeTest, EdgeCases) {
  // An empty problem.
  for (int code = RESIDUAL_NORMAL_MAP; code <= RESIDUAL_PIECEWISE; ++code) {
    for (int norm = RESIDUAL_ONE_NORM; norm <= RESIDUAL_INFINITY_NORM; ++norm) {
      Result r = Evaluate({}, code, norm);
      EXPECT_EQ(r.value, 0.0);
      EXPECT_EQ(r.index, 0);
    }
  }
  // The normal map looks at exact equality with the bound.
  EXPECT_EQ(Evaluate({{0, kInf, 0, 3}}, RESIDUAL_NORMAL_MAP, RESIDUAL_ONE_NORM).value, 0.0);
  EXPECT_EQ(Evaluate({{0, kInf, 1e-20, 3}}, RESIDUAL_NORMAL_MAP, RESIDUAL_ONE_NORM).value, 3.0);
  // Fischer-Burmeister with both bounds infinite is the norm of F.
  EXPECT_EQ(Evaluate({{-kInf, kInf, 7, 3}, {-kInf, kInf, 1, -4}}, RESIDUAL_FISCHER_BURMEISTER,
                     RESIDUAL_TWO_NORM)
                .value,
            5.0);
  // Fischer-Burmeister at the worked values.
  EXPECT_EQ(Evaluate({{0, kInf, 0, 5}}, RESIDUAL_FISCHER_BURMEISTER, RESIDUAL_ONE_NORM).value, 0.0);
  EXPECT_NEAR(Evaluate({{0, kInf, 2, 5}}, RESIDUAL_FISCHER_BURMEISTER, RESIDUAL_ONE_NORM).value,
              7 - std::sqrt(29.0), 1e-15);
  // Relative complementarity, infinity norm: the largest p + q + c + d, not
  // sqrt of a square.
  Result r4 = Evaluate({{0, 1, 2, 3}, {0, 1, 0.5, 0.1}}, RESIDUAL_RELATIVE_COMPLEMENTARITY,
                       RESIDUAL_INFINITY_NORM);
  // First variable: q = 2 - 1, c = (2 / 1) * 3, p = d = 0: 7, while the
  // square root of its square (1 + 36) would be about 6.08.
  EXPECT_EQ(r4.index, 1);
  EXPECT_EQ(r4.value, 7.0);
}

TEST(ResidualCodeTest, EqualLargestMeasuresReportTheFirst) {
  for (int code = RESIDUAL_NORMAL_MAP; code <= RESIDUAL_PIECEWISE; ++code) {
    Result r = Evaluate({{-kInf, kInf, 0, 3}, {-kInf, kInf, 0, -3}}, code, RESIDUAL_INFINITY_NORM);
    EXPECT_EQ(r.index, 1) << "code " << code;
    EXPECT_EQ(r.value, 3.0) << "code " << code;
  }
}

TEST(ResidualCodeTest, NaNNeverCountsAsConverged) {
  // A solved problem with one variable whose F (or x) is NaN: every code and
  // every norm gives NaN, which is not below any tolerance, and the infinity
  // norm points at the NaN variable.
  const double tolerance = 1e-6;
  for (int position = 0; position < 3; ++position) {
    for (int which = 0; which < 2; ++which) {
      std::vector<Var> vars = {{0, kInf, 0, 2}, {-1, 3, 3, -1}, {-kInf, 2, 0.5, 0}};
      (which == 0 ? vars[position].f : vars[position].x) = kNaN;
      for (int code = RESIDUAL_NORMAL_MAP; code <= RESIDUAL_PIECEWISE; ++code) {
        for (int norm = RESIDUAL_ONE_NORM; norm <= RESIDUAL_INFINITY_NORM; ++norm) {
          SCOPED_TRACE(testing::Message() << "NaN " << (which == 0 ? "f" : "x") << " at "
                                          << position + 1 << ", code " << code << ", norm "
                                          << norm);
          Result r = Evaluate(vars, code, norm);
          EXPECT_FALSE(r.value <= tolerance);
          EXPECT_TRUE(std::isnan(r.value));
          if (norm == RESIDUAL_INFINITY_NORM) {
            EXPECT_EQ(r.index, position + 1);
          }
        }
      }
    }
  }
  // The plain norm of F as well.
  const double f[] = {0.0, kNaN, 5.0};
  for (int norm = RESIDUAL_ONE_NORM; norm <= RESIDUAL_INFINITY_NORM; ++norm) {
    double value = 0;
    int index = -1;
    Residual_EvaluateNorm(3, f, norm, &value, &index);
    EXPECT_TRUE(std::isnan(value)) << norm;
    if (norm == RESIDUAL_INFINITY_NORM) {
      EXPECT_EQ(index, 2);
    }
  }
}

TEST(ResidualCodeTest, PlainNormOfF) {
  const double f[] = {3.0, -4.0, 4.0, 0.0};
  const double expected[3] = {11.0, std::sqrt(41.0), 4.0};
  for (int norm = RESIDUAL_ONE_NORM; norm <= RESIDUAL_INFINITY_NORM; ++norm) {
    double value = -1;
    int index = -1;
    Residual_EvaluateNorm(4, f, norm, &value, &index);
    EXPECT_NEAR(value, expected[norm], 1e-15);
    EXPECT_EQ(index, 2);
  }
  double value = -1;
  int index = -1;
  Residual_EvaluateNorm(0, f, RESIDUAL_TWO_NORM, &value, &index);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(index, 0);
}

TEST(ResidualCodeTest, UnknownNormWritesZero) {
  constexpr int kUnknownNorm = 7;
  Result r = Evaluate({{0, kInf, 1, 3}}, RESIDUAL_FISCHER_BURMEISTER, kUnknownNorm);
  EXPECT_EQ(r.value, 0.0);
  EXPECT_EQ(r.index, 1);
  double value = -1;
  int index = -1;
  const double f[] = {2.0};
  Residual_EvaluateNorm(1, f, -1, &value, &index);
  EXPECT_EQ(value, 0.0);
}

class ResidualErrorTest : public LibraryTest {};

TEST_F(ResidualErrorTest, UnsupportedCodesAreSolverErrors) {
  std::vector<Var> vars = {{0, kInf, 1, 2}};
  EXPECT_SOLVER_ERROR(Evaluate(vars, RESIDUAL_ULBRICH, RESIDUAL_TWO_NORM),
                      "MCP_Residual_FFunction: Ulbrich not implemented yet.");
  EXPECT_SOLVER_ERROR(Evaluate(vars, RESIDUAL_ULBRICH + 1, RESIDUAL_TWO_NORM),
                      "MCP_Residual_FFunction: Invalid residual function used.");
  EXPECT_SOLVER_ERROR(Evaluate(vars, -1, RESIDUAL_TWO_NORM), "Invalid residual function used.");
  // Also for an empty problem: the code is checked before the loop.
  EXPECT_SOLVER_ERROR(Evaluate({}, RESIDUAL_ULBRICH, RESIDUAL_TWO_NORM),
                      "Ulbrich not implemented yet.");
  EXPECT_NE(output()->status().find("** SOLVER ERROR **"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Normal-map point

TEST(ResidualNormalMapTest, PointsOnAndOffTheBounds) {
  struct Case {
    Var v;
    double z;
  };
  const Case cases[] = {
      {{1, 5, 1, 2}, -1},      // at the lower bound, F > 0: l - F
      {{1, 5, 0, 2}, -1},      // below it
      {{1, 5, 1, -2}, 1},      // F < 0 at the lower bound: x itself
      {{1, 5, 5, -2}, 7},      // at the upper bound, F < 0: u - F
      {{1, 5, 6, -2}, 7},      // above it
      {{1, 5, 5, 2}, 5},
      {{1, 5, 3, 9}, 3},       // between the bounds: x
      {{-kInf, kInf, 3, 9}, 3},
      {{2, 2, 2, 4}, -2},      // fixed, F > 0
      {{2, 2, 2, -4}, 6},      // fixed, F < 0: the upper bound's form
  };
  std::vector<Var> vars;
  for (const auto& c : cases) vars.push_back(c.v);
  Arrays a(vars);
  std::vector<double> z(vars.size(), -99);
  Residual_EvaluateNormalMap(static_cast<int>(vars.size()), a.l.data(), a.u.data(), a.x.data(),
                             a.f.data(), z.data());
  for (size_t i = 0; i < vars.size(); ++i) {
    EXPECT_EQ(z[i], cases[i].z) << "case " << i;
    // Projecting z back onto the bounds gives x when x lies within them.
    const Var& v = vars[i];
    if (v.l <= v.x && v.x <= v.u) {
      EXPECT_EQ(std::min(std::max(z[i], v.l), v.u), v.x);
    }
  }
  // In place.
  Residual_EvaluateNormalMap(static_cast<int>(vars.size()), a.l.data(), a.u.data(), a.x.data(),
                             a.f.data(), a.x.data());
  EXPECT_EQ(a.x, z);
}

// ---------------------------------------------------------------------------
// The forms on the records

class ResidualFormTest : public MCPFixture {};

TEST_F(ResidualFormTest, ResidualReadsTheVectorsAndTheOptions) {
  // n is the length of l; x and f may be longer.
  DenseVector* l = Vector({0.0, -1.0, -kInf});
  DenseVector* u = Vector({kInf, 2.0, 1e10});
  DenseVector* x = Vector({2.0, 2.0, 0.5, 99.0});
  FunctionJacobian* pair = Pair(4, 4);
  DenseVector* f = FunctionJacobian_Function(pair);
  DenseVector_SetLength(f, 4);
  const double fv[] = {5.0, -0.5, 0.25, 1e6};
  for (int i = 0; i < 4; ++i) DenseVector_SetValue(f, i + 1, fv[i]);

  std::vector<Var> vars = {{0.0, kInf, 2.0, 5.0}, {-1.0, 2.0, 2.0, -0.5}, {-kInf, 1e10, 0.5, 0.25}};
  for (int code = RESIDUAL_NORMAL_MAP; code <= RESIDUAL_PIECEWISE; ++code) {
    for (int norm = RESIDUAL_ONE_NORM; norm <= RESIDUAL_INFINITY_NORM; ++norm) {
      double value = -1;
      int index = -1;
      MCP_Residual(nullptr, code, norm, l, u, x, pair, &value, &index);
      Result r = Evaluate(vars, code, norm);
      EXPECT_EQ(value, r.value) << "code " << code << ", norm " << norm;
      EXPECT_EQ(index, r.index);
    }
  }
  // The options decide which bounds are infinite and the penalty weight.
  double before = 0, after = 0;
  int index = 0;
  MCP_Residual(nullptr, RESIDUAL_FISCHER_BURMEISTER, RESIDUAL_TWO_NORM, l, u, x, pair, &before,
               &index);
  Options_CommonTable[COMMON_INFINITY].double_value = 1e10;
  MCP_Residual(nullptr, RESIDUAL_FISCHER_BURMEISTER, RESIDUAL_TWO_NORM, l, u, x, pair, &after,
               &index);
  vars[2] = {-kInf, kInf, 0.5, 0.25};  // u = 1e10 is now infinite: r = f
  EXPECT_EQ(after, Evaluate(vars, RESIDUAL_FISCHER_BURMEISTER, RESIDUAL_TWO_NORM).value);
  EXPECT_NE(after, before);
  Options_CommonTable[COMMON_INFINITY].double_value = kInf;
  Options_CommonTable[COMMON_CHEN_LAMBDA].double_value = 0.3;
  MCP_Residual(nullptr, RESIDUAL_PENALIZED_FISCHER_BURMEISTER, RESIDUAL_TWO_NORM, l, u, x, pair,
               &after, &index);
  vars[2] = {-kInf, 1e10, 0.5, 0.25};
  EXPECT_EQ(after,
            Evaluate(vars, RESIDUAL_PENALIZED_FISCHER_BURMEISTER, RESIDUAL_TWO_NORM, 0.3).value);

  // The plain norm of F runs over the length of x.
  Residual_Norm(nullptr, RESIDUAL_INFINITY_NORM, x, nullptr, nullptr, pair, &after, &index);
  EXPECT_EQ(after, 1e6);
  EXPECT_EQ(index, 4);
}

TEST_F(ResidualFormTest, ShortVectorsAreReportedNotRead) {
  DenseVector* l = Vector({0.0, 0.0, 0.0});
  DenseVector* u = Vector({kInf, kInf});  // capacity 2 < 3
  DenseVector* x = Vector({1.0, 1.0, 1.0});
  DenseVector* f = Vector({1.0, 1.0, 1.0});
  double value = 0;
  int index = 0;
  EXPECT_SOLVER_ERROR(MCP_Residual_FFunction(nullptr, RESIDUAL_FISCHER_BURMEISTER,
                                             RESIDUAL_TWO_NORM, l, u, x, f, &value, &index),
                      "MCP_Residual_FFunction: vector shorter than the problem");
}

TEST_F(ResidualFormTest, NormalMapPointUsesTheReducedBoundsOfTheRecord) {
  MCP* mcp = Record(3, 3);
  DenseVector* lower = MCP_Lower(mcp);
  DenseVector* upper = MCP_Upper(mcp);
  DenseVector_SetLength(lower, 3);
  DenseVector_SetLength(upper, 3);
  const double l[] = {1.0, 1.0, 1.0}, u[] = {5.0, 5.0, 5.0};
  for (int i = 0; i < 3; ++i) {
    DenseVector_SetValue(lower, i + 1, l[i]);
    DenseVector_SetValue(upper, i + 1, u[i]);
  }
  DenseVector* x = Vector({1.0, 5.0, 3.0});
  FunctionJacobian* pair = Pair(3, 3);
  DenseVector* f = FunctionJacobian_Function(pair);
  DenseVector_SetLength(f, 3);
  DenseVector_SetValue(f, 1, 2.0);
  DenseVector_SetValue(f, 2, -2.0);
  DenseVector_SetValue(f, 3, 9.0);
  DenseVector* z = Vector({}, 3);
  MCP_NormalMapPoint(mcp, z, x, pair);
  EXPECT_EQ(Values(z), (std::vector<double>{-1.0, 7.0, 3.0}));
}
