// Arc and line searches: the acceptance rule, the paths, rejection of
// undefined trials, clean failures, and the option values they read.
#include "solver/Search.hpp"

#include <cmath>
#include <limits>

#include "solver/StepFixture.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// n = 2, x1 >= 0, x2 free; F nonlinear enough that long steps overshoot.
NonlinearProblem Curved() {
  return MakeProblem("curved", {0.0, -kInf}, {kInf, kInf}, {2.0, -1.0},
                     [](const double* x, double* f, double* J) {
                       f[0] = x[0] * x[0] - 1.0 + 0.5 * x[1];
                       f[1] = x[1] * x[1] * x[1] + x[0] - 2.0;
                       J[0] = 2.0 * x[0];
                       J[1] = 0.5;
                       J[2] = 1.0;
                       J[3] = 3.0 * x[1] * x[1];
                       return true;
                     });
}

// F = x - 1 on two free variables; F undefined where x1 >= 1.5.
NonlinearProblem Fenced() {
  return MakeProblem("fenced", {-kInf, -kInf}, {kInf, kInf}, {0.0, 0.0},
                     [](const double* x, double* f, double* J) {
                       f[0] = x[0] - 1.0;
                       f[1] = x[1] - 1.0;
                       J[0] = 1.0;
                       J[3] = 1.0;
                       return x[0] < 1.5;
                     });
}

// F = x - 1 on one free variable: the merit 0.5 (x - 1)^2 is a quadratic.
NonlinearProblem Line1() {
  return MakeProblem("line", {-kInf}, {kInf}, {0.0}, [](const double* x, double* f, double* J) {
    f[0] = x[0] - 1.0;
    J[0] = 1.0;
    return true;
  });
}

double Mid(double l, double v, double u) { return v < l ? l : (v > u ? u : v); }

class SearchTest : public StepFixture {
 protected:
  SearchParameters Parameters(int mode, int code) {
    SearchParameters p = Search_NMSParameters();
    p.mode = mode;
    p.merit_code = code;
    p.initial_step = 1.0;
    return p;
  }
};

// ---------------------------------------------------------------------------
// Option values

TEST_F(SearchTest, SearchTypeValuesMapToModes) {
  struct Case {
    int option;
    int mode;           // stabilisation and crash
    int gradient_mode;  // gradient step
  };
  const Case cases[] = {{SEARCH_TYPE_ARC, SEARCH_MODE_ARC, SEARCH_MODE_ARC},
                        {SEARCH_TYPE_LINE, SEARCH_MODE_LINE, SEARCH_MODE_LINE},
                        {SEARCH_TYPE_PARC, SEARCH_MODE_PARC, SEARCH_MODE_ARC},
                        {SEARCH_TYPE_PLINE, SEARCH_MODE_PLINE, SEARCH_MODE_LINE}};
  for (const Case& c : cases) {
    EXPECT_EQ(Search_ModeFromOption(c.option), c.mode) << c.option;
    EXPECT_EQ(Search_GradientModeFromOption(c.option), c.gradient_mode) << c.option;
  }
  EXPECT_SOLVER_ERROR(Search_ModeFromOption(4), "Invalid search type.\n");
  EXPECT_SOLVER_ERROR(Search_GradientModeFromOption(-1), "Invalid search type.\n");
}

TEST_F(SearchTest, MeritFunctionValuesMapToResidualCodes) {
  EXPECT_EQ(Search_MeritCode(MERIT_FUNCTION_AUTOMATIC), RESIDUAL_FISCHER_BURMEISTER);
  EXPECT_EQ(Search_MeritCode(MERIT_FUNCTION_NORMAL), RESIDUAL_NORMAL_MAP);
  EXPECT_EQ(Search_MeritCode(MERIT_FUNCTION_FISCHER), RESIDUAL_FISCHER_BURMEISTER);
  EXPECT_SOLVER_ERROR(Search_MeritCode(3), "Invalid merit function.\n");
}

TEST_F(SearchTest, UnsafeOptionValuesAreClamped) {
  struct Case {
    double value, shrink;
  };
  for (Case c : {Case{-1.0, 0.01}, Case{0.0, 0.01}, Case{0.5, 0.5}, Case{1.0, 0.99},
                 Case{7.0, 0.99}, Case{kNaN, 0.01}}) {
    EXPECT_EQ(Search_ClampShrink(c.value), c.shrink) << c.value;
  }
  EXPECT_GT(Search_ClampMinimumStep(0.0), 0.0);
  EXPECT_GT(Search_ClampMinimumStep(-3.0), 0.0);
  EXPECT_GT(Search_ClampMinimumStep(kNaN), 0.0);
  EXPECT_EQ(Search_ClampMinimumStep(1e-8), 1e-8);
  EXPECT_EQ(Search_ClampCount(0), 1);
  EXPECT_EQ(Search_ClampCount(-4), 1);
  EXPECT_EQ(Search_ClampCount(3), 3);
  EXPECT_GT(Search_ClampIncrease(1.0), 1.0);
  EXPECT_GT(Search_ClampIncrease(0.2), 1.0);
  EXPECT_EQ(Search_ClampIncrease(10.0), 10.0);

  SetDouble(SARN_NMS_SHRINK_FACTOR, 1.0);
  SetDouble(SARN_NMS_STEPSIZE_MINIMUM, 0.0);
  SetInt(SARN_NMS_REFINE_FREQUENCY, 0);
  SearchParameters p = Search_NMSParameters();
  EXPECT_LT(p.shrink, 1.0);
  EXPECT_GT(p.minimum_step, 0.0);
  EXPECT_EQ(p.refine_frequency, 1);
  EXPECT_EQ(p.initial_step, p.shrink);  // the full step was tried already

  Options_CommonTable[COMMON_CRASH_MINOR_ITERATION_LIMIT].int_value = 0;
  EXPECT_EQ(Search_CrashParameters().maximum_trials, 1);
  EXPECT_EQ(Search_GradientParameters().initial_step, 1.0);
}

// ---------------------------------------------------------------------------
// Accepted steps

TEST_F(SearchTest, AcceptedStepsSatisfyTheRuleAndLieOnThePath) {
  Start(Curved());
  struct Case {
    int mode;
    int code;
  };
  const Case cases[] = {{SEARCH_MODE_LINE, RESIDUAL_FISCHER_BURMEISTER},
                        {SEARCH_MODE_PLINE, RESIDUAL_FISCHER_BURMEISTER},
                        {SEARCH_MODE_PARC, RESIDUAL_FISCHER_BURMEISTER},
                        {SEARCH_MODE_ARC, RESIDUAL_FISCHER_BURMEISTER},
                        {SEARCH_MODE_LINE, RESIDUAL_NORMAL_MAP},
                        {SEARCH_MODE_ARC, RESIDUAL_NORMAL_MAP}};
  const std::vector<double> x0 = {2.0, -1.0};
  for (const Case& c : cases) {
    MoveTo(x0);
    const bool differentiable = c.code != RESIDUAL_NORMAL_MAP;
    const std::vector<double> g = ProblemGradient(c.code, x0);
    // A target far down the gradient, across the bound x1 >= 0: the full
    // step overshoots and the arc bends along the bound.
    DenseVector* t = Vector({x0[0] - 8.0 * g[0], x0[1] - 8.0 * g[1]});
    DenseVector* gv = Vector(g);
    DenseVector* out = Vector({kNaN, kNaN});
    SearchParameters p = Parameters(c.mode, c.code);
    const double f_x = ProblemMerit(c.code, x0);
    SearchResult r{};
    ASSERT_EQ(Search_Between(mcp_, &p, x_, x_, t, differentiable ? gv : nullptr, f_x, f_x, FJ_,
                             out, &r),
              1)
        << c.mode << " " << c.code;
    EXPECT_EQ(r.status, SEARCH_ACCEPTED);
    EXPECT_LT(r.step, 1.0);  // the full step was rejected
    const std::vector<double> xn = Values(out);

    // On the path for the accepted step.
    const double tt[2] = {DenseVector_Value(t, 1), DenseVector_Value(t, 2)};
    const bool arc = c.mode == SEARCH_MODE_ARC || c.mode == SEARCH_MODE_PARC;
    for (int i = 0; i < 2; ++i) {
      const double l = problem_.lower[i], u = problem_.upper[i];
      const double expected = arc ? Mid(l, x0[i] + r.step * (tt[i] - x0[i]), u)
                                  : x0[i] + r.step * (Mid(l, tt[i], u) - x0[i]);
      EXPECT_NEAR(xn[i], expected, 1e-12) << c.mode << " " << i;
    }

    // The acceptance rule, with merit and slope from the problem.
    const double f_new = ProblemMerit(c.code, xn);
    EXPECT_NEAR(r.merit, f_new, 1e-9 * (1.0 + f_new));
    if (differentiable) {
      const double slope = g[0] * (xn[0] - x0[0]) + g[1] * (xn[1] - x0[1]);
      EXPECT_LE(f_new, f_x + p.sigma * std::min(slope, 0.0) + 1e-9);
      EXPECT_LT(f_new, f_x);
    } else {
      EXPECT_LE(f_new, (1.0 - p.sigma * r.step) * f_x + 1e-12);
    }

    // F in the pair is F at the accepted point.
    const std::vector<double> f = ProblemF(xn);
    for (int i = 0; i < 2; ++i) {
      EXPECT_NEAR(DenseVector_Value(FunctionJacobian_Function(FJ_), i + 1), f[i], 1e-12);
    }
  }
}

TEST_F(SearchTest, NonMonotoneReferenceAcceptsAnIncreaseUpToTheReference) {
  Start(Line1());
  // From x = 0 (merit 0.5) towards 3: the full step has merit 2.
  DenseVector* t = Vector({3.0});
  DenseVector* g = Vector({-1.0});
  DenseVector* out = Vector({kNaN});
  SearchParameters p = Parameters(SEARCH_MODE_LINE, RESIDUAL_FISCHER_BURMEISTER);
  SearchResult r{};
  // Reference 2.5: 2 <= 2.5 + sigma * (-3): accepted at once.
  ASSERT_EQ(Search_Between(mcp_, &p, x_, x_, t, g, 0.5, 2.5, FJ_, out, &r), 1);
  EXPECT_EQ(r.step, 1.0);
  EXPECT_EQ(DenseVector_Value(out, 1), 3.0);
  // The merit at x as reference: the step has to be shortened.
  ASSERT_EQ(Search_Between(mcp_, &p, x_, x_, t, g, 0.5, 0.5, FJ_, out, &r), 1);
  EXPECT_LT(r.step, 1.0);
  EXPECT_LT(r.merit, 0.5);
}

TEST_F(SearchTest, ArcFromANormalMapPointProjectsItsPath) {
  // One variable x >= 0 with F = x + 1: at x = 0, F = 1 > 0, the normal-map
  // point is y = -1; the arc pi(y + lambda (t - y)) stays at the bound until
  // it crosses 0.
  Start(MakeProblem("bound", {0.0}, {kInf}, {0.0}, [](const double* x, double* f, double* J) {
    f[0] = x[0] + 1.0;
    J[0] = 1.0;
    return true;
  }));
  EXPECT_EQ(DenseVector_Value(y_, 1), -1.0);
  DenseVector* t = Vector({1.0});
  DenseVector* out = Vector({kNaN});
  SearchParameters p = Parameters(SEARCH_MODE_ARC, RESIDUAL_NORMAL_MAP);
  SearchResult r{};
  // The first trial, pi(y + 1 (t - y)) = 1, is accepted against a
  // reference above its residual.
  ASSERT_EQ(Search_Between(mcp_, &p, x_, y_, t, nullptr, 0.0, 10.0, FJ_, out, &r), 1);
  EXPECT_EQ(DenseVector_Value(out, 1), 1.0);
  // Half way the arc is still at the bound: pi(-1 + 0.5 * 2) = 0, where
  // the line would be at 0.5.
  p.initial_step = 0.5;
  ASSERT_EQ(Search_Between(mcp_, &p, x_, y_, t, nullptr, 0.0, 10.0, FJ_, out, &r), 1);
  EXPECT_EQ(DenseVector_Value(out, 1), 0.0);
  p.mode = SEARCH_MODE_LINE;
  ASSERT_EQ(Search_Between(mcp_, &p, x_, y_, t, nullptr, 0.0, 10.0, FJ_, out, &r), 1);
  EXPECT_EQ(DenseVector_Value(out, 1), 0.5);
}

TEST_F(SearchTest, FullLineStepEndsExactlyOnTheProjectedTarget) {
  // On 0.1 <= x <= 0.9, x + (bound - x) rounds past the bound from these
  // starts: 0.3 + (0.9 - 0.3) is 0.9000000000000001 and 0.7 + (0.1 - 0.7)
  // is 0.09999999999999998 in doubles.
  Start(MakeProblem("box", {0.1}, {0.9}, {0.5}, [](const double* x, double* f, double* J) {
    f[0] = x[0] - 0.5;
    J[0] = 1.0;
    return true;
  }));
  struct Case {
    double start, target, bound;
  };
  const Case cases[] = {{0.3, 2.0, 0.9}, {0.7, -1.0, 0.1}};
  for (const Case& c : cases) {
    for (int mode : {SEARCH_MODE_LINE, SEARCH_MODE_PLINE}) {
      MoveTo({c.start});
      DenseVector* t = Vector({c.target});
      DenseVector* out = Vector({kNaN});
      SearchParameters p = Parameters(mode, RESIDUAL_NORMAL_MAP);
      SearchResult r{};
      ASSERT_EQ(Search_Between(mcp_, &p, x_, x_, t, nullptr, 0.0, 10.0, FJ_, out, &r), 1);
      EXPECT_EQ(r.step, 1.0);
      EXPECT_EQ(DenseVector_Value(out, 1), c.bound) << c.start << " towards " << c.target;
    }
  }
}

TEST_F(SearchTest, InterpolatedCutsFollowTheQuadraticModel) {
  Start(Line1());
  // merit(lambda) = 0.5 (10 lambda - 1)^2 from x = 0 towards 10: a
  // quadratic, so one interpolated cut lands on its minimiser 0.1.
  struct Case {
    int interpolate;
    double step;
    int evaluations;
  };
  for (Case c : {Case{1, 0.1, 2}, Case{0, std::pow(0.8, 8), 9}}) {
    DenseVector* t = Vector({10.0});
    DenseVector* g = Vector({-1.0});
    DenseVector* out = Vector({kNaN});
    SearchParameters p = Parameters(SEARCH_MODE_LINE, RESIDUAL_FISCHER_BURMEISTER);
    p.shrink = 0.8;
    p.refine_frequency = 1;
    p.interpolate = c.interpolate;
    SearchResult r{};
    ASSERT_EQ(Search_Between(mcp_, &p, x_, x_, t, g, 0.5, 0.5, FJ_, out, &r), 1);
    EXPECT_NEAR(r.step, c.step, 1e-12) << c.interpolate;
    EXPECT_EQ(r.function_evaluations, c.evaluations) << c.interpolate;
  }
}

// ---------------------------------------------------------------------------
// Rejections and failures

TEST_F(SearchTest, UndefinedTrialsAreRejected) {
  Start(Fenced());
  fake_->calls.clear();
  DenseVector* t = Vector({3.0, 3.0});
  DenseVector* g = Vector({-1.0, -1.0});  // gradient of 0.5 |x - 1|^2 at 0
  DenseVector* out = Vector({kNaN, kNaN});
  SearchParameters p = Parameters(SEARCH_MODE_LINE, RESIDUAL_FISCHER_BURMEISTER);
  p.interpolate = 0;
  SearchResult r{};
  ASSERT_EQ(Search_Between(mcp_, &p, x_, x_, t, g, 1.0, 1.0, FJ_, out, &r), 1);
  // 3, 2.4, 1.92, 1.536 are undefined; 3 * 0.8^4 = 1.2288 is the first
  // defined trial and decreases the merit.
  EXPECT_EQ(r.function_evaluations, 5);
  EXPECT_NEAR(r.step, std::pow(0.8, 4), 1e-15);
  EXPECT_LT(DenseVector_Value(out, 1), 1.5);
  EXPECT_EQ(fake_->calls.size(), 5u);
  const std::vector<double> f = ProblemF(Values(out));
  ASSERT_FALSE(f.empty());
  EXPECT_NEAR(DenseVector_Value(FunctionJacobian_Function(FJ_), 1), f[0], 1e-15);
}

TEST_F(SearchTest, FailuresLeaveTheOutputAlone) {
  Start(Line1());
  struct Case {
    const char* name;
    double target;
    int trials;
    double minimum;
    int status;
    int evaluations;
  };
  const Case cases[] = {
      // Every trial up to the bound is too long.
      {"trial bound", 1000.0, 3, 1e-8, SEARCH_TRIAL_LIMIT, 3},
      // 1 and 0.8 are rejected, 0.64 is below the minimum.
      {"step minimum", 1000.0, 60, 0.7, SEARCH_STEP_TOO_SMALL, 2},
      // Away from the solution at 1: uphill, nothing is evaluated.
      {"uphill", -5.0, 60, 1e-8, SEARCH_NOT_DESCENT, 0},
      // No move at all.
      {"zero direction", 0.0, 60, 1e-8, SEARCH_NOT_DESCENT, 0},
  };
  for (const Case& c : cases) {
    fake_->calls.clear();
    DenseVector* t = Vector({c.target});
    DenseVector* g = Vector({-1.0});
    DenseVector* out = Vector({kNaN});
    SearchParameters p = Parameters(SEARCH_MODE_LINE, RESIDUAL_FISCHER_BURMEISTER);
    p.interpolate = 0;
    p.maximum_trials = c.trials;
    p.minimum_step = c.minimum;
    SearchResult r{};
    EXPECT_EQ(Search_Between(mcp_, &p, x_, x_, t, g, 0.5, 0.5, FJ_, out, &r), 0) << c.name;
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.function_evaluations, c.evaluations) << c.name;
    EXPECT_EQ(static_cast<int>(fake_->calls.size()), c.evaluations) << c.name;
    EXPECT_TRUE(std::isnan(DenseVector_Value(out, 1))) << c.name;
  }
}

TEST_F(SearchTest, InvalidModeIsASolverError) {
  Start(Line1());
  DenseVector* t = Vector({2.0});
  DenseVector* g = Vector({-1.0});
  SearchParameters p = Parameters(7, RESIDUAL_FISCHER_BURMEISTER);
  SearchResult r{};
  EXPECT_SOLVER_ERROR(Search_Between(mcp_, &p, x_, x_, t, g, 0.5, 0.5, FJ_, x_, &r),
                      "Invalid search type.\n");
}

// ---------------------------------------------------------------------------
// Gradient search

TEST_F(SearchTest, BoundedSearchGoesDownhillAlongMinusTheGradient) {
  Start(Curved());
  for (int mode : {SEARCH_MODE_LINE, SEARCH_MODE_ARC}) {
    const std::vector<double> x0 = {0.5, 2.0};
    MoveTo(x0);
    const int code = RESIDUAL_FISCHER_BURMEISTER;
    DenseVector* g = Vector({0.0, 0.0});
    const double f_x = Search_MeritGradient(mcp_, code, x_, FJ_, g);
    const std::vector<double> fd = ProblemGradient(code, x0);
    for (int i = 0; i < 2; ++i) EXPECT_NEAR(DenseVector_Value(g, i + 1), fd[i], 1e-5);

    DenseVector* out = Vector({kNaN, kNaN});
    SearchParameters p = Search_GradientParameters();
    p.mode = mode;
    p.merit_code = code;
    SearchResult r{};
    ASSERT_EQ(Search_Bounded(mcp_, &p, x_, g, f_x, FJ_, out, &r), 1) << mode;
    const std::vector<double> xn = Values(out);
    EXPECT_LT(ProblemMerit(code, xn), f_x) << mode;
    for (int i = 0; i < 2; ++i) {
      const double l = problem_.lower[i], u = problem_.upper[i];
      const double gi = DenseVector_Value(g, i + 1);
      const double expected = mode == SEARCH_MODE_ARC
                                  ? Mid(l, x0[i] - r.step * gi, u)
                                  : x0[i] + r.step * (Mid(l, x0[i] - gi, u) - x0[i]);
      EXPECT_NEAR(xn[i], expected, 1e-12) << mode;
    }
  }
}

}  // namespace
