// The driver's start: the start triple, the initial point from the start or
// from the bounds, the re-classification of basis codes, and an interrupt
// inside the crash phase.
#include <csignal>
#include <memory>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "problems/MCP.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

// n = 4 with a lower-bounded, an upper-bounded, a boxed and a free variable;
// F(x) = x - c, defined only where defined(x, call) says so.
NonlinearProblem Shifted(std::function<bool(const double*, int)> defined) {
  NonlinearProblem p;
  p.name = "shifted";
  p.n = 4;
  p.lower = {1.0, -kInf, -2.0, -kInf};
  p.upper = {kInf, 3.0, 2.0, kInf};
  p.start = {5.0, 0.0, 9.0, 0.5};  // variable 3 starts beyond its upper bound
  auto calls = std::make_shared<int>(0);
  p.evaluate = [defined, calls](const double* x, double* f, std::vector<Triplet>* jac) {
    if (!defined(x, ++*calls)) return false;
    const double c[4] = {2.0, 1.0, 0.0, -1.0};
    for (int i = 0; i < 4; ++i) f[i] = x[i] - c[i];
    if (jac) *jac = {{0, 0, 1.0}, {1, 1, 1.0}, {2, 2, 1.0}, {3, 3, 1.0}};
    return true;
  };
  return p;
}

std::vector<double> Values(const DenseVector* v) {
  return std::vector<double>(DenseVector_Array(v), DenseVector_Array(v) + DenseVector_Length(v));
}
std::vector<int> Codes(const IDenseVector* v) {
  return std::vector<int>(IDenseVector_Array(v), IDenseVector_Array(v) + IDenseVector_Length(v));
}

}  // namespace

class DriverStartTest : public DriverTest {
 protected:
  void TearDown() override {
    if (Sarn_GetWorkspace() != nullptr) Sarn_DestroyWorkspace();
    adapter_.reset();
    DriverTest::TearDown();
  }
  DriverWorkspace* Start(NonlinearProblem p) {
    adapter_ = std::make_unique<ProblemAdapter>(std::move(p));
    EXPECT_EQ(Sarn_Start(adapter_->mcp()), MCP_CONTINUE);
    return Sarn_GetWorkspace();
  }
  std::unique_ptr<ProblemAdapter> adapter_;
};

TEST_F(DriverStartTest, StartTripleIsTheProjectedStart) {
  Set("project_start no");  // the record keeps the start as given
  DriverWorkspace* ws = Start(Shifted([](const double*, int) { return true; }));
  EXPECT_EQ(Values(ws->start_x), (std::vector<double>{5.0, 0.0, 2.0, 0.5}));
  EXPECT_EQ(Codes(ws->start_basis)[2], 0);  // moved: no code
  EXPECT_EQ(ws->start_residual, Options_CommonDouble(COMMON_INFINITY));
  EXPECT_EQ(ws->best_residual, Options_CommonDouble(COMMON_INFINITY));
  EXPECT_EQ(ws->residual_code, 1);
}

TEST_F(DriverStartTest, InitialPointFromTheStartThenReusedOnRestart) {
  DriverWorkspace* ws = Start(Shifted([](const double*, int) { return true; }));
  Sarn_GenerateInitialPoint(adapter_->mcp());
  EXPECT_EQ(Values(ws->x), (std::vector<double>{5.0, 0.0, 2.0, 0.5}));
  EXPECT_EQ(ws->function_evaluations, 1);
  EXPECT_EQ(ws->jacobian_evaluations, 1);
  const double r = ws->residual;
  EXPECT_DOUBLE_EQ(r, ResidualAt(adapter_->problem(), {5.0, 0.0, 2.0, 0.5}));
  EXPECT_EQ(ws->start_residual, r);
  EXPECT_EQ(ws->best_residual, r);
  // A restart goes back to the evaluated start: F is not evaluated alone.
  DenseVector_Fill(ws->x, 4, 1.5);
  const int functions = adapter_->function_calls;
  Sarn_GenerateInitialPoint(adapter_->mcp());
  EXPECT_EQ(adapter_->function_calls, functions);
  EXPECT_EQ(Values(ws->x), (std::vector<double>{5.0, 0.0, 2.0, 0.5}));
  EXPECT_EQ(ws->residual, r);
  EXPECT_EQ(ws->function_evaluations, 2);
  EXPECT_EQ(ws->jacobian_evaluations, 2);
}

TEST_F(DriverStartTest, InitialPointFromTheBounds) {
  Set("nonlinear_model_use_start no");
  DriverWorkspace* ws = Start(Shifted([](const double*, int) { return true; }));
  Sarn_GenerateInitialPoint(adapter_->mcp());
  // Lower bound, else upper bound, else 0; codes 3, 4, 3 and 1 (free at 0).
  EXPECT_EQ(Values(ws->x), (std::vector<double>{1.0, 3.0, -2.0, 0.0}));
  // F = (-1, 2, -2, 1) points inwards at each bound, but a variable that
  // already carries its bound's code keeps it: nothing to re-classify.
  EXPECT_EQ(Codes(ws->basis), (std::vector<int>{3, 4, 3, 1}));
  EXPECT_EQ(Count(output()->status(), "Basis modifications"), 0);
  EXPECT_EQ(ws->start_residual, Options_CommonDouble(COMMON_INFINITY));
}

TEST_F(DriverStartTest, UndefinedPointFromTheBoundsFallsBackToTheStart) {
  // Defined at the record's own start evaluation (call 1) and wherever
  // x_1 = 5, so the point from the bounds (x_1 = 1) is undefined.
  auto defined = [](const double* x, int call) { return call == 1 || x[0] == 5.0; };
  Set("nonlinear_model_use_start no");
  DriverWorkspace* ws = Start(Shifted(defined));
  // Without the start the record began at the point from the bounds; give
  // the driver a start triple of its own that F accepts.
  DenseVector_SetValue(ws->start_x, 1, 5.0);
  Sarn_GenerateInitialPoint(adapter_->mcp());
  EXPECT_NE(output()->status().find("cannot eval f at generated initial point"),
            std::string::npos);
  EXPECT_EQ(Values(ws->x), (std::vector<double>{5.0, 3.0, -2.0, 0.0}));
  EXPECT_EQ(ws->residual, ws->start_residual);
  EXPECT_DOUBLE_EQ(ws->residual, ResidualAt(adapter_->problem(), Values(ws->x)));
  EXPECT_EQ(ws->best_residual, ws->residual);
}

TEST_F(DriverStartTest, BasisCodesFollowThePointAndF) {
  // Variable 3 has bounds [-2, 2]; the other variables sit strictly inside
  // with code 1 and are never counted.
  struct Case {
    double x, F;
    int code_before, code_after;
    bool counted;
  } cases[] = {
      {-2.0, 2.0, 1, 3, true},    // at lower, F > 0: lower
      {-2.0, 0.0, 3, 3, false},   // at lower, F = 0: keeps lower
      {-2.0, -1.0, 3, 3, false},  // at lower, F < 0, code 3 kept
      {-2.0, -1.0, 4, 1, true},   // at lower, F <= 0, neither 3 nor 1: basic
      {0.0, 0.0, 3, 1, true},     // between the bounds: basic
      {0.0, 5.0, 1, 1, false},
      {2.0, -1.0, 1, 4, true},    // at upper, F < 0: upper
      {2.0, 0.0, 4, 4, false},
      {2.0, 2.0, 3, 1, true},     // at upper, F >= 0, neither 4 nor 1: basic
  };
  DriverWorkspace* ws = Start(Shifted([](const double*, int) { return true; }));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + " " + std::to_string(c.F) + " " +
                 std::to_string(c.code_before));
    const double inside[4] = {4.0, 0.0, c.x, 0.5};
    for (int i = 0; i < 4; ++i) DenseVector_SetValue(ws->x, i + 1, inside[i]);
    FunctionJacobian* pair = Workspace_FunctionJacobian();
    FunctionJacobian_SetN(pair, 4);
    DenseVector_Fill(FunctionJacobian_Function(pair), 4, 1.0);
    DenseVector_SetValue(FunctionJacobian_Function(pair), 3, c.F);
    IDenseVector_Fill(ws->basis, 4, 1);
    IDenseVector_SetValue(ws->basis, 3, c.code_before);
    output()->Clear();
    Sarn_BasisModifications(adapter_->mcp());
    EXPECT_EQ(IDenseVector_Value(ws->basis, 3), c.code_after);
    EXPECT_EQ(output()->status().find("Basis modifications: 1\n") != std::string::npos,
              c.counted);
    EXPECT_EQ(Count(output()->status(), "Basis modifications"), c.counted ? 1 : 0);
  }
}

TEST_F(DriverTest, InterruptInsideTheCrashEndsTheSolveWithCodeSix) {
  ProblemAdapter adapter(Cubic(1.0));
  // Jacobian call 1 is the record's start, 2 the initial point, 3 the first
  // crash step: the crash's next check finds the interrupt.
  adapter.before_evaluation = [](int, int jacobian_calls) {
    if (jacobian_calls == 3) std::raise(SIGINT);
  };
  Information info;
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_USER_INTERRUPT);
  EXPECT_EQ(info.major_iterations, 0);
  EXPECT_EQ(info.crash_iterations, 1);
  const std::vector<double> z = adapter.Point();
  EXPECT_LT(std::fabs(z[0]), 1.0);  // the crash's step was kept
  EXPECT_DOUBLE_EQ(info.residual, ResidualAt(adapter.problem(), z));
}
