// LSQR's exits and their messages, the condition exit that is only a
// success when a residual test holds, and damped LSQR's start.
#include <cmath>
#include <string>

#include "IterativeHarness.hpp"
#include "iterative/LSQR.hpp"

namespace ittest {
namespace {

class LSQRTest : public IterativeTest {};

TEST_F(LSQRTest, EachExitWritesItsMessage) {
  System ill = Diagonal({1.0, 1e-8});
  System solved = Identity(3);
  const struct Case {
    const char* what;
    System system;
    std::int32_t limit;
    bool start_solves;
    const char* message;
    std::int32_t code;
    std::int32_t iterations;  // -1: any
  } cases[] = {
      // The start solves: beta = 0.
      {"solved start", solved, 100, true, "alpha * beta test failed.\n", ITERATIVE_SOLVED, 0},
      {"limit", Tridiagonal(20, -1.0, 2.0, -1.0), 3, false, "lsqr iterlim.\n",
       ITERATIVE_ITERATION_LIMIT, 3},
      // No exact solution: the normal-equations residual decides.
      {"inconsistent", RankDeficient(), 100, false, "Incompatible test failed.\n",
       ITERATIVE_SOLVED, -1},
      {"consistent", ConvectionDiffusion(10, 0.2), 100, false, "Compatible test failed.\n",
       ITERATIVE_SOLVED, -1},
      // The condition estimate passes 1 / ctol while the residual is still
      // a third of b: that is no solution.
      {"ill-conditioned", ill, 100, false, "Condition test failed.\n", ITERATIVE_NO_PROGRESS, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    output()->Clear();
    Iterative_Params p = DefaultParams();
    p.iteration_limit = c.limit;
    p.start_from_x = c.start_solves ? 1 : 0;
    const Values start = c.start_solves ? SolveGeneral(c.system.A, c.system.b) : Values{};
    const Outcome out = Run(SolverNamed("LSQR"), c.system, p, nullptr, start);
    EXPECT_EQ(out.params.termination, c.code);
    if (c.iterations >= 0) {
      EXPECT_EQ(out.params.iterations, c.iterations);
    }
    const std::string& log = output()->log();
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    // The message comes before the summary.
    EXPECT_LT(log.find(c.message), log.find("Iterative Method Summary."));
    if (c.code == ITERATIVE_NO_PROGRESS) {
      EXPECT_GT(out.params.relative_residual, 1e-2);
    }
  }
}

// A well-conditioned system that ends on the condition test only after the
// residual is negligible is a success.
TEST_F(LSQRTest, ConditionExitAfterConvergenceIsSuccess) {
  const System s = Diagonal({1.0, 1e-4, 1e-8});
  output()->Clear();
  const Outcome out = Run(SolverNamed("LSQR"), s, DefaultParams());
  EXPECT_NE(output()->log().find("Condition test failed.\n"), std::string::npos);
  EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
  EXPECT_LE(Distance(out.x, SolveGeneral(s.A, s.b)), 1e-8 * Norm(SolveGeneral(s.A, s.b)));
}

// The end of the bidiagonalisation (alpha beta negligible) is judged
// against the operator's own scale: a system scaled down does not end
// before it has begun (alpha beta fell below 1e-32 after six steps on a
// matrix of norm 1e-12, which was reported solved at a relative residual of
// 0.5). Every success is a least-squares solution.
TEST_F(LSQRTest, ScaledSystemEndsLikeTheUnscaledOne) {
  Values lambda;
  for (int i = 0; i < 14; ++i) lambda.push_back(std::pow(10.0, -8.0 * i / 13.0));
  const System unit = Spectrum("cond1e8", lambda, 3);
  const Outcome base = Run(SolverNamed("LSQR"), unit, DefaultParams());
  // Powers of 2 scale without rounding: the steps are the same to the bit.
  for (double scale : {0x1p-70, 0x1p-40, 0x1p40}) {
    SCOPED_TRACE(scale);
    const System s = ScaledMatrix(unit, scale);
    const Outcome out = Run(SolverNamed("LSQR"), s, DefaultParams());
    EXPECT_EQ(out.params.termination, base.params.termination);
    EXPECT_EQ(out.params.iterations, base.params.iterations);
    if (out.params.termination != ITERATIVE_SOLVED) continue;
    const Values normal = Multiply(Transpose(s.A), Residual(s.A, out.x, s.b));
    EXPECT_LE(Norm(normal), 1e-6 * Norm(s.A.a) * Norm(s.b));
  }
}

// DLSQR reads the start only when asked to, and a start that solves the
// system takes no step.
TEST_F(LSQRTest, DampedLsqrHonoursStartFromX) {
  const System s = ConvectionDiffusion(8, 0.3);
  const Values exact = SolveGeneral(s.A, s.b);
  for (int start : {0, 1}) {
    SCOPED_TRACE(start);
    Matrix A(s.A);
    Vector b(s.b);
    Vector x(exact);
    Iterative_Params p = DefaultParams();
    p.start_from_x = start;
    p.iteration_limit = 1;
    Iterative_DLSQR(&p, nullptr, 0.0, A, b, x);
    if (start == 1) {
      EXPECT_EQ(p.termination, ITERATIVE_SOLVED);
      EXPECT_EQ(p.iterations, 0);
      EXPECT_EQ(x.values(), exact);
    } else {
      EXPECT_EQ(p.termination, ITERATIVE_ITERATION_LIMIT);
      EXPECT_EQ(p.iterations, 1);
    }
  }
}

}  // namespace
}  // namespace ittest
