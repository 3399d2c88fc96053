// Convergence suite: classic nonlinear and linear complementarity problems
// solved end to end through Sarn_Solve, each answer checked against the
// problem itself (bounds and complementarity with F recomputed), and the
// residual the solve reports checked against the residual recomputed at the
// point it returns.
#include <cmath>
#include <functional>

#include "factorization/Basis.hpp"
#include "solver/SarnOptions.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

struct ConvergenceCase {
  std::function<NonlinearProblem()> make;
  std::vector<const char*> options;  // option lines on top of the defaults
  double solution_tolerance;         // distance to a known solution
};

std::vector<ConvergenceCase> NonlinearCases() {
  return {
      {[] { return KojimaShindo(0.0); }, {}, 1e-6},
      {[] { return KojimaShindo(1.0); }, {}, 1e-6},
      {[] { return Josephy(); }, {}, 1e-6},
      {[] { return NashCournot(); }, {}, 1e-6},
      {[] { return DomainErrors(); }, {}, 1e-6},
      {[] { return BroydenTridiagonal(10); }, {}, 1e-6},
      {[] { return BroydenTridiagonal(1000); }, {}, 1e-6},
      {[] { return MixedBoxes(); }, {}, 1e-6},
  };
}

std::vector<ConvergenceCase> LinearCases() {
  return {
      {[] { return AsNonlinear(ConvexQP()); }, {}, 1e-6},
      {[] { return AsNonlinear(DegenerateCyclic()); }, {}, 1e-6},
      {[] { return AsNonlinear(Exponential(8)); }, {}, 1e-6},
      {[] { return AsNonlinear(Exponential(16)); }, {}, 1e-6},
      {[] { return AsNonlinear(Obstacle(10)); }, {}, 1e-6},
      {[] { return AsNonlinear(Obstacle(30)); }, {}, 1e-6},
      {[] { return AsNonlinear(PlantedMonotone(60, 7)); }, {}, 1e-5},
      {[] { return AsNonlinear(PlantedMonotone(200, 11)); }, {}, 1e-5},
  };
}

// The same problems under other settings of the driver and the linearised
// problem.
std::vector<ConvergenceCase> VariantCases() {
  return {
      {[] { return Josephy(); }, {"merit_function normal"}, 1e-6},
      {[] { return KojimaShindo(0.0); }, {"linear_scale_method both"}, 1e-6},
      {[] { return NashCournot(); }, {"linear_scale_method symmetric"}, 1e-6},
      {[] { return MixedBoxes(); }, {"linear_scale_method col"}, 1e-6},
      {[] { return BroydenTridiagonal(10); }, {"nms no", "crash_method none", "crash_perturb no"},
       1e-6},
      {[] { return AsNonlinear(ConvexQP()); }, {"lemke_start always", "lemke_start_type advanced"},
       1e-6},
      {[] { return Josephy(); }, {"crash_method none", "crash_perturb yes"}, 1e-6},
  };
}

double Distance(const std::vector<double>& a, const std::vector<double>& b) {
  double worst = 0.0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = std::fabs(a[i] - b[i]);
    if (!(d <= worst)) worst = d;  // a NaN wins
  }
  return worst;
}

}  // namespace

class ConvergenceTest : public DriverTest {
 protected:
  void Check(const std::vector<ConvergenceCase>& cases) {
    for (const ConvergenceCase& c : cases) {
      const NonlinearProblem problem = c.make();
      std::string label = problem.name;
      for (const char* line : c.options) label += std::string(", ") + line;
      SCOPED_TRACE(label);
      Options_Default(options());
      for (const char* line : c.options) Set(line);
      ProblemAdapter adapter(problem);
      Information info;
      ASSERT_EQ(Solve(adapter, &info), TERMINATION_SOLVED) << output()->status().substr(0, 20000);
      const std::vector<double> z = adapter.Point();
      EXPECT_LE(ComplementarityViolation(problem, z), 1e-6);
      const double recomputed =
          ResidualAt(problem, z,
                     Options_GetOther(options(), "merit_function") == MERIT_FUNCTION_NORMAL
                         ? RESIDUAL_NORMAL_MAP
                         : RESIDUAL_FISCHER_BURMEISTER);
      EXPECT_NEAR(info.residual, recomputed, 1e-12 * (1.0 + recomputed));
      EXPECT_LT(info.residual, Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE));
      if (!problem.solutions.empty()) {
        double nearest = INFINITY;
        for (const auto& s : problem.solutions) {
          const double d = Distance(z, s);
          if (d < nearest) nearest = d;
        }
        EXPECT_LE(nearest, c.solution_tolerance);
      }
      output()->Clear();
    }
  }
};

TEST_F(ConvergenceTest, NonlinearProblemsSolveFromTheirStarts) { Check(NonlinearCases()); }

TEST_F(ConvergenceTest, LinearProblemsSolveThroughTheDriver) { Check(LinearCases()); }

TEST_F(ConvergenceTest, OtherSettingsSolveToo) { Check(VariantCases()); }

TEST_F(ConvergenceTest, ProblemWithoutSolutionEndsUnsolvedWithoutError) {
  ProblemAdapter adapter(AsNonlinear(NoSolution()));
  Information info;
  const int code = Solve(adapter, &info);
  EXPECT_NE(code, 1);
  EXPECT_GE(code, 2);
  EXPECT_LE(code, 5);
  EXPECT_GT(info.residual, Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE));
  EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), adapter.Point()));
}

// The crash moves the active set by whole regions, so the contact region of
// the obstacle problem is found in far fewer crash steps than the grid has
// layers between the start's active set and the solution's, and the
// pivoting method has next to nothing left to do.
TEST_F(ConvergenceTest, CrashFindsTheObstacleContactRegionInFewSteps) {
  const LinearProblem obstacle = Obstacle(60);
  ProblemAdapter adapter(AsNonlinear(obstacle));
  Information info;
  ASSERT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  EXPECT_LE(info.crash_iterations, 14);
  EXPECT_LE(info.minor_iterations, 5);
  EXPECT_LE(ComplementarityViolation(obstacle, adapter.Point()), 1e-6);
}

// Without the crash the pivoting method meets the whole grid: thousands of
// pivots, among them long chains of grid columns whose factors grow without
// bound under loose threshold pivoting. The basis must stay accurate enough
// for the first Newton step to solve the problem outright.
TEST_F(ConvergenceTest, PivotingAloneSolvesTheObstacleProblem) {
  const LinearProblem obstacle = Obstacle(90);
  ProblemAdapter adapter(AsNonlinear(obstacle));
  NoCrash();
  Information info;
  ASSERT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  EXPECT_EQ(info.major_iterations, 1);
  EXPECT_EQ(info.restarts, 0);
  EXPECT_LE(ComplementarityViolation(obstacle, adapter.Point()), 1e-6);
}

// A tolerance at or below what rounding lets the residual reach: the solve
// ends once the residual stalls there, with the best point and an honest
// code (solved only when the tolerance was met), in about the work of a
// solve with the default tolerance instead of restarts and thousands of
// pivots.
TEST_F(ConvergenceTest, ToleranceBelowTheRoundingFloorEndsPromptlyWithTheBestPoint) {
  const LinearProblem obstacle = Obstacle(100);
  Information plain;
  std::int64_t plain_factorizations = 0;
  {
    ProblemAdapter adapter(AsNonlinear(obstacle));
    Basis_ResetCounters();
    ASSERT_EQ(Solve(adapter, &plain), TERMINATION_SOLVED);
    plain_factorizations = Basis_GetCounters().factorizations;
  }
  for (const char* tolerance : {"convergence_tolerance 1e-9", "convergence_tolerance 1e-12",
                                "convergence_tolerance 1e-15"}) {
    SCOPED_TRACE(tolerance);
    Options_Default(options());
    Set(tolerance);
    output()->Clear();
    ProblemAdapter adapter(AsNonlinear(obstacle));
    Information info;
    Basis_ResetCounters();
    const int code = Solve(adapter, &info);
    const std::vector<double> z = adapter.Point();
    const bool met = info.residual < Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE);
    EXPECT_EQ(code, met ? TERMINATION_SOLVED : TERMINATION_NO_PROGRESS);
    if (!met) {
      EXPECT_EQ(Count(output()->status(), "rounding floor"), 1);
    }
    EXPECT_EQ(info.restarts, 0);
    EXPECT_LE(info.major_iterations, plain.major_iterations + 11);
    EXPECT_LE(info.minor_iterations, plain.minor_iterations + 2 * 11);
    EXPECT_LE(Basis_GetCounters().factorizations, 3 * plain_factorizations);
    EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), z));
    EXPECT_LE(info.residual, 2.0 * plain.residual);
    EXPECT_LE(ComplementarityViolation(obstacle, z), 1e-6);
  }
}

// Once the best residual is below the rounding floor itself, what an
// iteration gains or loses is rounding: the first iteration that does not
// bring it down by a tenth ends the solve (each such iteration can cost
// hundreds of pivots on a large problem; five of them were taken).
TEST_F(ConvergenceTest, AResidualBelowTheRoundingFloorEndsAtTheFirstStall) {
  const LinearProblem planted = PlantedMonotone(300, 11);
  Set("convergence_tolerance 1e-16");
  ProblemAdapter adapter(AsNonlinear(planted));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_NO_PROGRESS);
  EXPECT_EQ(Count(output()->status(), "rounding floor"), 1);
  EXPECT_LE(info.major_iterations, 2);
  EXPECT_EQ(info.restarts, 0);
  const std::vector<double> z = adapter.Point();
  EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), z));
  EXPECT_LE(ComplementarityViolation(planted, z), 1e-12);
}

// A badly scaled LCP (entries from 1e2 to 1e15) whose Newton steps stall
// far above what rounding allows, so that the solve must restart. The
// rounding floor is measured where the best residual was: at a restart the
// pair can hold F at a search trial far from x, which once made the floor
// look larger than the residual and ended the solve unsolved, "at the
// rounding floor", where the restarts solve it.
TEST_F(ConvergenceTest, RoundingFloorIsMeasuredAtTheBestPoint) {
  LinearProblem p;
  p.name = "badly scaled";
  p.n = 2;
  p.M = ColumnMatrix::FromDense(2, 2, {2342199649138675.5, 5509.5641197677778,  //
                                       -153674321056399.59, 784.71581858093703});
  p.q = {-85716318.815008759, -134946.11966700436};
  p.lower = {0.0, 0.0};
  p.upper = {kInf, kInf};
  ProblemAdapter adapter(AsNonlinear(p));
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  EXPECT_EQ(Count(output()->status(), "rounding floor"), 0);
  EXPECT_GT(info.restarts, 0);
  const std::vector<double> z = adapter.Point();
  EXPECT_LE(ComplementarityViolation(p, z), 1e-6);
  EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), z));
}

// Each problem under many single changes of the options: whatever the
// result, the residual the solve reports is the one of the point it
// returns, and a reported solution solves the problem.
TEST_F(ConvergenceTest, EverySettingReportsItsResultHonestly) {
  const std::vector<std::function<NonlinearProblem()>> problems = {
      [] { return KojimaShindo(0.0); },          [] { return Josephy(); },
      [] { return NashCournot(); },              [] { return DomainErrors(); },
      [] { return MixedBoxes(); },               [] { return AsNonlinear(DegenerateCyclic()); },
      [] { return AsNonlinear(Obstacle(6)); },   [] { return AsNonlinear(NoSolution()); }};
  const std::vector<std::vector<const char*>> settings = {
      {"lemke_pivot_type textbook"},
      {"lemke_pivot_type devex"},
      {"lemke_pivot_type adaptive", "adaptive_iterations_high 1", "adaptive_iterations_low 1"},
      {"expand_maximum_iterations 1"},
      {"linear_scale_method row"},
      {"linear_scale_method ro4"},
      {"linear_scale_method kelm"},
      {"linear_model_perturb no", "linear_model_scale no"},
      {"nms_searchtype arc"},
      {"nms_searchtype pline"},
      {"merit_function normal", "nms_searchtype parc"},
      {"lemke_start first", "lemke_start_type advanced"},
      {"lemke_start always", "lemke_ray_type random"},
      {"lemke_start always", "lemke_ray_type decreasing"},
      {"crash_searchtype arc", "crash_merit_function normal"},
      {"proximal_perturbation 0.5"},
      {"nms_initial_monotone_steps 3", "nms_mstep_frequency 1"},
      {"nms no", "residual_size 1"},
      {"nms_memory_size 1", "gradient_searchtype line", "lemke_start_tolerance 0"},
      {"lemke_cycle_limit 0", "lemke_scale_residual no"},
      {"lemke_artificial_maximum 1", "lemke_return_best_point no"},
      {"restart_limit 0"},
      {"major_iteration_limit 2"},
  };
  for (const auto& make : problems) {
    for (const auto& setting : settings) {
      const NonlinearProblem problem = make();
      std::string label = problem.name;
      for (const char* line : setting) label += std::string(", ") + line;
      SCOPED_TRACE(label);
      Options_Default(options());
      for (const char* line : setting) Set(line);
      ProblemAdapter adapter(problem);
      Information info;
      const int code = Solve(adapter, &info);
      const std::vector<double> z = adapter.Point();
      const double recomputed =
          ResidualAt(problem, z,
                     Options_GetOther(options(), "merit_function") == MERIT_FUNCTION_NORMAL
                         ? RESIDUAL_NORMAL_MAP
                         : RESIDUAL_FISCHER_BURMEISTER);
      EXPECT_NEAR(info.residual, recomputed, 1e-9 * (1.0 + recomputed));
      if (code == TERMINATION_SOLVED) {
        EXPECT_LE(ComplementarityViolation(problem, z), 1e-6);
      }
      output()->Clear();
    }
  }
}
