// Every solver on the class of systems it is made for, checked against
// LAPACK: the returned x against dposv / dgesv / dgelsd, the reported
// residuals against a dense recomputation, and the exact-termination cases
// (identity, 1 x 1) that must end in success.
#include <cmath>
#include <string>
#include <vector>

#include "IterativeHarness.hpp"
#include "iterative/CG.hpp"
#include "iterative/LSQR.hpp"

namespace ittest {
namespace {

// Which solvers each class of system is for.
const std::vector<std::string> kSymmetricDefinite = {
    "CG",    "CR",       "CG_NE", "CG_NR", "LSQR",  "DLSQR",   "GMRES",  "BCG",
    "BICGSTAB", "QMR", "TFQMR", "ORMIN", "ORDIR", "R_ORMIN", "R_ORDIR"};
const std::vector<std::string> kNonsymmetric = {
    "CG_NE", "CG_NR", "LSQR",  "DLSQR", "GMRES",   "BCG",     "BICGSTAB",
    "QMR",   "TFQMR", "ORMIN", "ORDIR", "R_ORMIN", "R_ORDIR"};
// Larger than the window of 10 directions: ORTHODIR's truncated recurrence
// is not expected to converge there.
const std::vector<std::string> kNonsymmetricLarge = {
    "CG_NE", "CG_NR", "LSQR", "DLSQR", "GMRES", "BCG", "BICGSTAB", "QMR", "TFQMR",
    "ORMIN", "R_ORMIN"};
// Indefinite (the swap): no method that needs a definite (symmetric part of) A.
const std::vector<std::string> kIndefinite = {"CG_NE", "CG_NR", "LSQR", "DLSQR", "GMRES",
                                               "BCG",   "QMR",   "TFQMR", "ORDIR", "R_ORDIR"};

struct Case {
  System system;
  std::vector<std::string> solvers;
};

std::vector<Case> Cases() {
  return {
      {Identity(1), kSymmetricDefinite},
      {Identity(2), kSymmetricDefinite},
      {Identity(5), kSymmetricDefinite},
      {Diagonal({2.0}), kSymmetricDefinite},
      {Diagonal({1.0, 2.0, 3.0, 4.0, 5.0}), kSymmetricDefinite},
      {Diagonal({1.0, 3.0, 3.0, 9.0, 1.0, 9.0, 3.0}), kSymmetricDefinite},
      {Tridiagonal(10, -1.0, 2.0, -1.0), kSymmetricDefinite},
      {Tridiagonal(50, -1.0, 2.0, -1.0), kSymmetricDefinite},
      {ConvectionDiffusion(10, 0.5), kNonsymmetric},
      {ConvectionDiffusion(50, 0.1), kNonsymmetricLarge},
      {Swap(), kIndefinite},
  };
}

class SolverTest : public IterativeTest {};

// The solution against LAPACK and the report against a recomputation.
TEST_F(SolverTest, SolvesEachClassOfSystemLikeLapack) {
  for (const Case& c : Cases()) {
    const Values reference = c.system.spd ? SolveSPD(c.system.A, c.system.b)
                                          : SolveGeneral(c.system.A, c.system.b);
    for (const std::string& name : c.solvers) {
      SCOPED_TRACE(name + " on " + c.system.name);
      const Outcome out = Run(SolverNamed(name), c.system, DefaultParams());
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      // Backward error: LSQR's own test also weighs ||A|| ||x||.
      const double r = Norm(Residual(c.system.A, out.x, c.system.b));
      const double scale = Norm(c.system.b) + Norm(c.system.A.a) * Norm(out.x);
      EXPECT_LE(r, 1e-7 * scale);
      EXPECT_LE(Distance(out.x, reference), 1e-5 * Norm(reference));
      // The report is b - A x recomputed: equal up to rounding.
      EXPECT_NEAR(out.params.absolute_residual, r, 1e-13 * scale);
      EXPECT_NEAR(out.params.relative_residual * Norm(c.system.b), r, 1e-13 * scale);
      EXPECT_GE(out.params.iterations, 1);
    }
  }
}

// A Krylov process that ends exactly is the solution, not a breakdown: the
// identity and 1 x 1 systems are solved within two steps by every solver.
TEST_F(SolverTest, ExactTerminationIsSuccess) {
  for (const System& s : {Identity(1), Identity(2), Identity(5), Diagonal({2.0}),
                          Diagonal({4.0, 4.0, 4.0})}) {
    for (const Solver& solver : AllSolvers()) {
      SCOPED_TRACE(std::string(solver.name) + " on " + s.name);
      const Outcome out = Run(solver, s, DefaultParams());
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      EXPECT_LE(out.params.iterations, 2);
      EXPECT_LE(Distance(out.x, SolveSPD(s.A, s.b)), 1e-14 * Norm(s.b));
    }
  }
}

// Least squares: from x = 0 without a preconditioner the least-squares
// solvers return the minimum-norm solution of a rank-deficient system whose
// right-hand side lies outside the range, and report it solved.
// A right-hand side orthogonal to the range has the solution 0 from the
// start.
TEST_F(SolverTest, LeastSquaresSolversReturnTheMinimumNormSolution) {
  System orthogonal = Diagonal({1.0, 0.0});
  orthogonal.b = {0.0, 1.0};
  for (const System& s : {RankDeficient(), orthogonal}) {
    const Values reference = MinimumNorm(s.A, s.b);
    for (const char* name : {"CG_NR", "LSQR", "DLSQR"}) {
      SCOPED_TRACE(std::string(name) + " on " + s.name);
      const Outcome out = Run(SolverNamed(name), s, DefaultParams());
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      EXPECT_LE(Distance(out.x, reference), 1e-7 * Norm(s.b));
      const Values r = Residual(s.A, out.x, s.b);
      EXPECT_LE(Norm(Multiply(Transpose(s.A), r)), 1e-7 * Norm(s.b));
    }
  }
}

// A singular system whose right-hand side lies outside the range has no
// solution: no solver that solves the system itself may report one, whatever
// the scale, and the iterate stays finite. GMRES stops where its triangular
// factor turns singular instead of dividing by rounding noise, and never
// leaves a residual larger than the one it started from.
TEST_F(SolverTest, SingularSystemWithoutSolutionIsNeverSolved) {
  const Values lambda = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.7, 1.0, 1.2, 1.5, 2.0, 2.5};
  for (unsigned seed : {1u, 2u, 3u}) {
    for (double scale : {1.0, 1e12}) {
      const System s = ScaledMatrix(Spectrum("singular", lambda, seed), scale);
      for (const Solver& solver : AllSolvers()) {
        const std::string name = solver.name;
        if (name == "CG_NR" || name == "LSQR" || name == "DLSQR") continue;
        SCOPED_TRACE(name + " seed " + std::to_string(seed) + " scale " + std::to_string(scale));
        Iterative_Params p = DefaultParams();
        p.iteration_limit = 300;
        const Outcome out = Run(solver, s, p);
        EXPECT_NE(out.params.termination, ITERATIVE_SOLVED);
        for (double v : out.x) ASSERT_TRUE(std::isfinite(v));
        if (name == "GMRES") {
          EXPECT_EQ(out.params.termination, ITERATIVE_ERROR);
          EXPECT_LE(Norm(Residual(s.A, out.x, s.b)), Norm(s.b));
        }
      }
    }
  }
}

// No outcome depends on the scale of the system: with A scaled by a power
// of 2 (which rounds nothing), every solver, without a preconditioner and
// with the band kinds (whose operator M^-1 A then scales the other way),
// takes the same steps to the same end, and x scales back. (The breakdown
// tests compared quantities such as p'Ap with an absolute 1e-32: with a band
// preconditioner, a matrix of norm 1e4 already ended BCG, CG_NE and TFQMR
// with code 3, and without one a matrix of norm 1e-9 ended CG_NR so.)
TEST_F(SolverTest, OutcomeDoesNotDependOnTheScale) {
  const System unit =
      Spectrum("spd10", {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0}, 13);
  for (int width : {0, 1, 3}) {
    for (const Solver& solver : AllSolvers()) {
      Preconditioner pre;
      Precond_CreateBand(&pre, width);
      Iterative_Params p = DefaultParams();
      p.use_preconditioner = width > 0 ? 1 : 0;
      const Outcome base = Run(solver, unit, p, &pre);
      for (int power : {-60, -30, 30, 60}) {
        SCOPED_TRACE(std::string(solver.name) + " band " + std::to_string(width) + " scale 2^" +
                     std::to_string(power));
        const Outcome out = Run(solver, ScaledMatrix(unit, std::ldexp(1.0, power)), p, &pre);
        EXPECT_EQ(out.params.termination, base.params.termination);
        EXPECT_EQ(out.params.iterations, base.params.iterations);
        Values unscaled = out.x;
        for (double& v : unscaled) v = std::ldexp(v, power);
        EXPECT_LE(Distance(unscaled, base.x), 1e-12 * Norm(base.x));
      }
    }
  }
}

// Damped least squares against dgels on [A; damp I] x = [b; 0].
TEST_F(SolverTest, DampedLsqrMatchesTheAugmentedLeastSquaresProblem) {
  struct DampCase {
    System system;
    double damp;
  };
  for (const DampCase& c : {DampCase{ConvectionDiffusion(20, 0.3), 0.5},
                            DampCase{RankDeficient(), 1e-3}, DampCase{Identity(4), 2.0},
                            DampCase{Tridiagonal(30, -1.0, 2.0, -1.0), 0.05}}) {
    SCOPED_TRACE(c.system.name + " damp " + std::to_string(c.damp));
    const int n = c.system.A.rows;
    Dense augmented(2 * n, n);
    Values rhs(2 * n, 0.0);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) augmented(i, j) = c.system.A(i, j);
      augmented(n + i, i) = c.damp;
      rhs[i] = c.system.b[i];
    }
    const Values reference = LeastSquares(augmented, rhs);
    Matrix A(c.system.A);
    Vector b(c.system.b);
    Vector x(Values(n, 0.0));
    Iterative_Params params = DefaultParams();
    Iterative_DLSQR(&params, nullptr, c.damp, A, b, x);
    EXPECT_EQ(params.termination, ITERATIVE_SOLVED);
    EXPECT_LE(Distance(x.values(), reference), 1e-7 * Norm(reference));
  }
}

// Convergence with a preconditioner on each side: the recording
// preconditioner's non-symmetric factors make any confusion of a side or of
// a transpose visible in the answer.
TEST_F(SolverTest, SolvesWithAPreconditionerOnEachSide) {
  const System spd = Tridiagonal(10, -1.0, 2.0, -1.0);
  const System general = ConvectionDiffusion(10, 0.4);
  for (const Solver& solver : AllSolvers()) {
    const bool symmetric_only = std::string(solver.name) == "CG" ||
                                std::string(solver.name) == "CR";
    // CG and CR need a symmetric positive definite preconditioner: a
    // diagonal one on one side.
    for (std::int32_t side : {PRECOND_LEFT, PRECOND_RIGHT, PRECOND_BOTH}) {
      SCOPED_TRACE(std::string(solver.name) + " side " + std::to_string(side));
      Recorder recorder;
      if (symmetric_only) {
        recorder.lower = recorder.upper = 0.0;
        recorder.diagonal = Values(10, 0.0);
        for (int i = 0; i < 10; ++i) recorder.diagonal[i] = 1.0 + 0.1 * i;
        if (side == PRECOND_BOTH) continue;
      }
      Preconditioner pre;
      RecordingPreconditioner(&pre, side, &recorder);
      const System& s = symmetric_only ? spd : general;
      Iterative_Params params = DefaultParams();
      params.use_preconditioner = 1;
      const Outcome out = Run(solver, s, params, &pre);
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      EXPECT_LE(Distance(out.x, SolveGeneral(s.A, s.b)), 1e-6 * Norm(SolveGeneral(s.A, s.b)));
    }
  }
}

}  // namespace
}  // namespace ittest
