// The pivoting method's starting basis and start, the reset, the finish's
// fallbacks and the release of the workspace on abnormal exits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "solver/LemkeTestSupport.hpp"

using namespace lemke_test;

namespace {

bool Has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

// An equality-constrained QP in KKT form: x in [0, inf), y free with a zero
// diagonal block, so that a slack basis (z_y basic for the free rows) is
// singular. Solution x = (1, 1), y = 1 for min (x1^2 + x2^2)/2 - ... with
// x1 + x2 = 2: F = (x1 - y, x2 - y, x1 + x2 - 2).
PlainLCP FreeKKTProblem() {
  PlainLCP p = MakeProblem("kkt", 3);
  DenseBuilder m(3);
  m(1, 1) = 1.0;
  m(2, 2) = 1.0;
  m(1, 3) = -1.0;
  m(2, 3) = -1.0;
  m(3, 1) = 1.0;
  m(3, 2) = 1.0;
  SetMatrix(p, m);
  p.q = {0.0, 0.0, -2.0};
  p.lower = {0.0, 0.0, -INF};
  p.upper = {INF, INF, INF};
  p.solution = {1.0, 1.0, 1.0};
  return p;
}

}  // namespace

// The stage of the starting basis follows the controls; each stage names
// itself and reports the controls it applied.
TEST_F(LemkeTest, StartingBasisStagesFollowTheControls) {
  struct Case {
    const char* name;
    int factor_given, start_given;
    bool dense;
    std::vector<const char*> warnings;
    int used_factor, used_start;
  };
  const Case cases[] = {
      {"given basis", 1, 1, false, {}, 1, 1},
      {"advanced", 0, 1, false, {"Advanced Lemke Start.\n"}, 0, 1},
      {"constructed", 1, 0, false, {"Advanced Basis Start.\n"}, 1, 0},
      {"slack", 0, 0, false, {"Lemke Start.\n"}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetDefaults();
    PlainLCP p = FromLinear(ConvexQP());
    p.start = {0.5, 0.5, 0.0, 0.0, 0.0};
    p.status = {1, 1, 3, 3, 3};
    output()->Clear();
    Information info = MakeInfo(c.factor_given, c.start_given);
    ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
    for (const char* w : c.warnings) EXPECT_TRUE(Has(output()->status(), w)) << w;
    EXPECT_EQ(info.factor_given_basis_used, c.used_factor);
    EXPECT_EQ(info.start_from_given_basis_used, c.used_start);
    EXPECT_LE(Violation(p, p.result), 1e-8);
  }
}

// The advanced start replaces a basic z with two finite bounds by its w and
// reports the basis as changed.
TEST_F(LemkeTest, AdvancedStartReportsAChangedBasis) {
  PlainLCP p = RandomPMatrixProblem(4, 12, true);
  p.start = {0.0, 0.0, 0.0, 0.0};
  p.status = {1, 1, 1, 1};
  Information info = MakeInfo(0, 1);
  ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
  EXPECT_TRUE(Has(output()->status(), "Advanced Lemke Start.\n"));
  EXPECT_EQ(info.factor_given_basis_used, 0);
  EXPECT_EQ(info.start_from_given_basis_used, 0);
  EXPECT_LE(Violation(p, p.result), 1e-8);
}

// Singular starting bases fall through the stages: with the sparse back-end
// the repair names the singularity; the dense back-end has no singularity
// report, which counts as a failed repair (never a fatal error), and the
// next stage is tried down to the artificial basis.
TEST_F(LemkeTest, SingularStartsFallThroughTheStages) {
  struct Case {
    const char* name;
    int factor_given, start_given;
    bool dense;
    std::vector<const char*> warnings;
  };
  const Case cases[] = {
      {"slack, sparse", 0, 0, false, {"Lemke Start.\n", "Lemke: Factor: "}},
      {"slack, dense",
       0,
       0,
       true,
       {"Lemke Start.\n",
        "Lemke: Basis: fixed basis not invertible.  Generating all slack basis.\n",
        "Artificial Lemke Start.\n"}},
      {"given, dense",
       1,
       1,
       true,
       {"Lemke: GivenBasis not factored.\n",
        "Lemke: Basis: given basis not invertible.  Generating basis.\n",
        "Advanced Basis Start.\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetDefaults();
    if (c.dense) UseDenseBackEnd();
    PlainLCP p = FreeKKTProblem();
    p.start = {0.0, 0.0, 5.0};
    if (c.factor_given) p.status = {3, 3, 1};  // singular: w1, w2 and z3
    output()->Clear();
    Information info = MakeInfo(c.factor_given, c.start_given);
    ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
    for (const char* w : c.warnings) EXPECT_TRUE(Has(output()->status(), w)) << w;
    EXPECT_FALSE(Has(output()->status(), "No basis num_singular routine"));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p.result[i], p.solution[i], 1e-9) << i;
  }
}

// The covering column of a ray start from the slack basis, per ray type:
// w rows (lower bound) and v rows (upper bound only) need a negative
// direction; a free row has none. The column holds B e.
TEST_F(LemkeTest, RayTypesBuildTheCoveringColumn) {
  PlainLCP p = MakeProblem("mixed", 3);
  DenseBuilder m(3);
  m(1, 1) = m(2, 2) = m(3, 3) = 1.0;
  SetMatrix(p, m);
  p.q = {-1.0, 1.0, 0.5};
  p.lower = {0.0, -INF, -INF};
  p.upper = {INF, 2.0, INF};
  // Basis: w1 (column 4), v2 (column 8), z3 (column 3).
  struct Case {
    const char* name;
    int type;
    double e1, e2;  // directions of rows 1 and 2
  };
  const Case cases[] = {
      {"standard", 0, -1.0, -1.0},
      {"uniform", 1, -4.0 / 3.0, 1.0 - 8.0 / 3.0},
      {"decreasing", 2, -2.0, -1.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lemke_OptionTable[LEMKE_RAY_TYPE].int_value = c.type;
    ManualSolve solve(p, 0, 0);
    LemkeWorkspace* ws = solve.Start();
    ASSERT_EQ(ws->ray_start, 1);
    EXPECT_EQ(SparseMatrix_Cols(ws->A), 13);
    // w1 has -1 in row 1, v2 has +1 in row 2.
    EXPECT_DOUBLE_EQ(SparseMatrix_GetElement(ws->A, 1, 13), -c.e1);
    EXPECT_DOUBLE_EQ(SparseMatrix_GetElement(ws->A, 2, 13), c.e2);
    EXPECT_EQ(SparseMatrix_GetElement(ws->A, 3, 13), 0.0);
    EXPECT_EQ(DenseVector_Value(ws->x, 13), 0.0);
  }
}

// The random ray type draws from a private generator with a fixed seed: the
// same covering column every time, entries in [1, 2) in magnitude, and the
// runtime's rand sequence untouched.
TEST_F(LemkeTest, RandomRayIsReproducibleAndPrivate) {
  PlainLCP p = RandomPMatrixProblem(6, 3, false);
  Lemke_OptionTable[LEMKE_RAY_TYPE].int_value = 3;
  std::srand(4242);
  const int expected_next = std::rand();
  std::srand(4242);
  std::vector<double> first, second;
  for (std::vector<double>* column : {&first, &second}) {
    ManualSolve solve(p, 0, 0);
    LemkeWorkspace* ws = solve.Start();
    for (int i = 1; i <= 6; ++i) column->push_back(SparseMatrix_GetElement(ws->A, i, 25));
  }
  EXPECT_EQ(std::rand(), expected_next);
  EXPECT_EQ(first, second);
  for (double v : first) {
    EXPECT_GE(v, 1.0);  // w has -1: entry -e with e in (-2, -1]
    EXPECT_LT(v, 2.0);
  }
  Information info = MakeInfo(0, 0);
  ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
  EXPECT_LE(Violation(p, p.result), 1e-8);
}

// The gateways' start vector: used on a ray start when its length is n
// (entries of the wrong sign, zero or not finite are replaced by the ray
// type's value), ignored otherwise, and cleared after every ray start.
TEST_F(LemkeTest, StartVectorIsCheckedAndCleared) {
  PlainLCP p = RandomPMatrixProblem(3, 8, false);
  struct Case {
    const char* name;
    std::vector<double> values;
    std::vector<double> expected;  // covering column (= -e for w rows)
  };
  const Case cases[] = {
      {"used", {-2.0, -3.0, -0.5}, {2.0, 3.0, 0.5}},
      {"bad entries replaced", {2.0, 0.0, NAN}, {1.0, 1.0, 1.0}},
      {"wrong length", {-2.0, -3.0}, {1.0, 1.0, 1.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lemke_SetStartVector(c.values.data(), static_cast<int>(c.values.size()));
    {
      ManualSolve solve(p, 0, 0);
      LemkeWorkspace* ws = solve.Start();
      ASSERT_EQ(ws->ray_start, 1);
      for (int i = 1; i <= 3; ++i) {
        EXPECT_DOUBLE_EQ(SparseMatrix_GetElement(ws->A, i, 13), c.expected[i - 1]) << i;
      }
    }
    EXPECT_EQ(Lemke_GetStartVector().values, nullptr);
  }
  // Solved with the start vector in force.
  const double values[] = {-0.5, -4.0, -1.0};
  Lemke_SetStartVector(values, 3);
  Information info = MakeInfo(0, 0);
  ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
  EXPECT_LE(Violation(p, p.result), 1e-8);
  EXPECT_EQ(Lemke_GetStartVector().values, nullptr);
}

// The residual start scales the covering column by its largest entry and
// starts t there; a zero residual leaves it unscaled.
TEST_F(LemkeTest, ResidualStartScalesTheResidual) {
  PlainLCP p = MakeProblem("diag", 2);
  DenseBuilder m(2);
  m(1, 1) = 2.0;
  m(2, 2) = 1.0;
  SetMatrix(p, m);
  p.q = {-4.0, 1.0};
  p.start = {0.5, 0.0};
  {
    ManualSolve solve(p, 1, 0);  // constructed basis: z1 inside, z2 at 0 with F > 0
    LemkeWorkspace* ws = solve.Start();
    ASSERT_EQ(ws->ray_start, 0);
    EXPECT_EQ(ws->residual_scaled, 1);
    // d = -(A x + q): row 1: -(2*0.5 - 4) = 3; row 2: -(0 + 1 - w2) = 0.
    EXPECT_DOUBLE_EQ(ws->residual_scale, 3.0);
    EXPECT_DOUBLE_EQ(DenseVector_Value(ws->x, 9), 3.0);
    EXPECT_DOUBLE_EQ(SparseMatrix_GetElement(ws->A, 1, 9), 1.0);
    EXPECT_TRUE(Has(output()->status(), "Residual scaled (3.000000e+00).\n"));
  }
  output()->Clear();
  p.start = {2.0, 0.0};  // the solution: zero residual
  {
    ManualSolve solve(p, 1, 0);
    LemkeWorkspace* ws = solve.Start();
    EXPECT_EQ(ws->residual_scaled, 0);
    EXPECT_EQ(ws->residual_scale, 0.0);
    EXPECT_EQ(DenseVector_Value(ws->x, 9), 1.0);
    EXPECT_FALSE(Has(output()->status(), "Residual scaled"));
  }
}

// The reset after a refactorization fails when a basic value ends beyond
// its bounds by more than a small multiple of the tolerance, and passes
// small violations.
TEST_F(LemkeTest, ResetFailsOnLargeViolations) {
  PlainLCP p = MakeProblem("diag", 2);
  DenseBuilder m(2);
  m(1, 1) = 1.0;
  m(2, 2) = 1.0;
  SetMatrix(p, m);
  p.q = {-1.0, -1.0};
  p.start = {0.5, 0.5};
  ManualSolve solve(p, 1, 0);  // z1, z2 basic in [0, inf)
  LemkeWorkspace* ws = solve.Start();
  Lemke_ResetPivotState(&ws->pivot);
  // With t = 1 at the start, shifting q moves the basic z by -shift.
  struct Case {
    double shift;
    int expected;
  };
  for (const Case& c : {Case{0.0, 0}, Case{0.5 + 1e-9, 0}, Case{0.5 + 1e-3, 1}, Case{10.0, 1}}) {
    SCOPED_TRACE(c.shift);
    DenseVector_SetValue(ws->q, 1, -1.0 + c.shift);
    EXPECT_EQ(Lemke_Reset(1e-8), c.expected);
  }
  DenseVector_SetValue(ws->q, 1, -1.0);
}

// The finish after a singular basis without a saved best point keeps the
// current values (it reads no copy that was never made).
TEST_F(LemkeTest, FinishWithoutBestCopyKeepsCurrentValues) {
  PlainLCP p = FromLinear(PlantedMonotone(6, 5));
  for (int i = 0; i < 6; ++i) {
    p.start[i] = std::min(std::max(0.25, p.lower[i]), p.upper[i]);
  }
  ManualSolve solve(p, 1, 0);
  LemkeWorkspace* ws = solve.Start();
  Lemke_ResetPivotState(&ws->pivot);
  ASSERT_EQ(ws->best_saved, 0);
  DenseVector_FillZero(ws->best_xB, 6);
  for (int k = 1; k <= 6; ++k) DenseVector_SetValue(ws->best_xB, k, NAN);
  EXPECT_EQ(Lemke_Finish(solve.lcp(), &solve.info(), LEMKE_SINGULAR), LEMKE_SINGULAR);
  ASSERT_EQ(p.finish_calls, 1);
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(std::isfinite(p.result[i])) << i;
    const double projected = std::min(std::max(p.start[i], p.lower[i]), p.upper[i]);
    EXPECT_DOUBLE_EQ(p.result[i], projected) << i;
  }
}

// The direction of an entering variable: up from its lower bound, down
// from its upper bound; a variable that an artificial stood in for moves
// away from the bound it sits at (a w or v at 0 always up), and from
// strictly inside its bounds the way that lowers t.
TEST_F(LemkeTest, EnteringDirection) {
  PlainLCP p = RandomPMatrixProblem(2, 1, true);
  ManualSolve solve(p, 0, 0);
  LemkeWorkspace* ws = solve.Start();
  Lemke_ResetPivotState(&ws->pivot);
  const int n = 2;
  struct Case {
    const char* name;
    int status;
    int column;
    double value;  // x of the column
    int t_position;
    double d_t;  // entry of d at t's position
    int expected;
  };
  const double l1 = p.lower[0], u1 = p.upper[0];
  const Case cases[] = {
      {"from lower", LEMKE_ENTER_FROM_LOWER, 1, l1, 1, 1.0, 1},
      {"ray start", LEMKE_ENTER_RAY_START, 4 * n + 1, 0.0, 0, 0.0, 1},
      {"from upper", LEMKE_ENTER_FROM_UPPER, 1, u1, 1, 1.0, -1},
      {"residual start", LEMKE_ENTER_RESIDUAL_START, 4 * n + 1, 1.0, 0, 0.0, -1},
      {"replaced w at 0", LEMKE_ENTER_REPLACED, n + 1, 0.0, 1, -1.0, 1},
      {"replaced v at 0", LEMKE_ENTER_REPLACED, 2 * n + 2, 0.0, 2, -1.0, 1},
      {"replaced z at upper", LEMKE_ENTER_REPLACED, 1, u1, 1, 1.0, -1},
      {"replaced z inside, t falls going up", LEMKE_ENTER_REPLACED, 1, 0.5 * (l1 + u1), 2, 2.0, 1},
      {"replaced z inside, t falls going down", LEMKE_ENTER_REPLACED, 1, 0.5 * (l1 + u1), 2, -2.0,
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LemkePivot pivot = ws->pivot;
    pivot.entering = c.column;
    pivot.entering_status = c.status;
    DenseVector_SetValue(ws->x, c.column, c.value);
    ws->t_position = c.t_position;
    DenseVector_FillZero(ws->d, n);
    if (c.t_position > 0) DenseVector_SetValue(ws->d, c.t_position, c.d_t);
    EXPECT_EQ(Lemke_Direction(ws, &pivot), c.expected);
  }
}

// A solver error or an interrupt jump passing through the method releases
// the workspace; the next solve runs normally.
TEST_F(LemkeTest, AbnormalExitsReleaseTheWorkspace) {
  for (int failure : {1, 2}) {
    SCOPED_TRACE(failure);
    PlainLCP p = FromLinear(ConvexQP());
    p.fail_in_finish = failure;
    Information info = MakeInfo(0, 0);
    bool caught = false;
    try {
      Solve(p, info);
    } catch (const SolverErrorException&) {
      caught = failure == 1;
    } catch (const InterruptJump&) {
      caught = failure == 2;
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(Lemke_GetWorkspace(), nullptr);
  }
  PlainLCP p = FromLinear(ConvexQP());
  Information info = MakeInfo(0, 0);
  EXPECT_EQ(Solve(p, info), LEMKE_SOLVED);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(p.result[i], p.solution[i], 1e-9);
}

// An invalid pivot rule is a solver error, and the workspace is released.
TEST_F(LemkeTest, InvalidPivotRuleIsAnError) {
  PlainLCP p = FromLinear(ConvexQP());
  Lemke_OptionTable[LEMKE_PIVOT_TYPE].int_value = 7;
  Information info = MakeInfo(0, 0);
  EXPECT_SOLVER_ERROR(Solve(p, info), "Lemke: Solve: Invalid pivot rule selected.\n");
  EXPECT_EQ(Lemke_GetWorkspace(), nullptr);
}

// The minor log: a header and one line per logged pivot, every so many
// pivots, on status (and log with output_minor_iterations), nothing with a
// mask without those streams; the streams go into the record.
TEST_F(LemkeTest, MinorIterationLog) {
  struct Case {
    const char* name;
    int frequency;
    bool to_log;
    int mask;
    int lines;  // expected lines after the header
  };
  PlainLCP base = FromLinear(Obstacle(3));
  Information probe = MakeInfo(0, 0);
  PlainLCP first = base;
  ASSERT_EQ(Solve(first, probe), LEMKE_SOLVED);
  const int pivots = probe.major_iterations;
  ASSERT_GE(pivots, 4);
  const Case cases[] = {
      {"every pivot", 1, true, 7, pivots},
      {"every second", 2, true, 7, pivots / 2},
      {"status only", 1, false, 7, pivots},
      {"masked", 1, true, 4, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetDefaults();
    Options_CommonTable[COMMON_OUTPUT_MINOR_ITERATIONS_FREQUENCY].int_value = c.frequency;
    Options_CommonTable[COMMON_OUTPUT_MINOR_ITERATIONS].bool_value = c.to_log ? 1 : 0;
    output()->Clear();
    PlainLCP p = base;
    Information info = MakeInfo(0, 0);
    info.output_mask = c.mask;
    ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
    // Other messages share the status stream: count the lines of the log
    // format (a pivot count right-aligned in 9 characters).
    const std::string& status = output()->status();
    int lines = 0;
    size_t at = 0;
    while (at < status.size()) {
      const size_t end = status.find('\n', at);
      const std::string line = status.substr(at, end - at);
      at = end == std::string::npos ? status.size() : end + 1;
      if (line.size() < 10 || line[9] != ' ' || line[8] < '0' || line[8] > '9') continue;
      if (line.find_first_not_of(" 0123456789") < 9) continue;
      lines += 1;
    }
    const size_t header = status.find("    Minor");
    if (c.lines == 0) {
      EXPECT_EQ(header, std::string::npos);
      EXPECT_EQ(lines, 0);
      EXPECT_EQ(info.streams_written & 3, 0);
      continue;
    }
    ASSERT_NE(header, std::string::npos);
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(!output()->log().empty(), c.to_log);
    EXPECT_EQ(info.streams_written & 3, c.to_log ? 3 : 2);
  }
}
