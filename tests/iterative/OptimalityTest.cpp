// The iterate after j steps (iteration_limit = j, start 0, no
// preconditioner) is the optimum each method defines over its Krylov space,
// computed here densely with LAPACK: the energy-norm optimum for CG (and BCG
// on a symmetric positive definite A), the least residual over K_j(A, b) for
// CR, ORTHOMIN and ORTHODIR (n within the window), over K_(j-1)(A, b) for
// GMRES (its first step only builds the first reflector), the least residual
// over K_j(A'A, A'b) for CG_NR, LSQR and DLSQR, and the least error over
// that space for CG_NE.
#include <functional>
#include <string>
#include <vector>

#include "IterativeHarness.hpp"
#include "core/Options.hpp"

namespace ittest {
namespace {

enum class Optimum { kEnergy, kResidual, kNormalResidual, kNormalError };

struct Case {
  const char* solver;
  System system;
  Optimum optimum;
  int shift;  // the space after j steps is K_(j - shift)
};

Values Reference(const System& s, Optimum optimum, int j) {
  const Dense At = Transpose(s.A);
  const bool normal = optimum == Optimum::kNormalResidual || optimum == Optimum::kNormalError;
  const Dense K = normal ? KrylovBasis(Product(At, s.A), Multiply(At, s.b), j)
                         : KrylovBasis(s.A, s.b, j);
  Values c;
  switch (optimum) {
    case Optimum::kEnergy:
      c = SolveGeneral(Product(Transpose(K), Product(s.A, K)), TransposeTimes(K, s.b));
      break;
    case Optimum::kResidual:
    case Optimum::kNormalResidual:
      c = LeastSquares(Product(s.A, K), s.b);
      break;
    case Optimum::kNormalError:
      c = TransposeTimes(K, SolveGeneral(s.A, s.b));
      break;
  }
  return Multiply(K, c);
}

class OptimalityTest : public IterativeTest {};

TEST_F(OptimalityTest, IterateIsTheKrylovOptimumOfTheMethod) {
  // GMRES with a restart longer than the system.
  Options_CommonTable[COMMON_GMRES_UPDATE_FREQUENCY].int_value = 200;
  System spd = Tridiagonal(10, -1.0, 2.5, -1.0);
  for (int i = 0; i < 10; ++i) spd.b[i] = 1.0 + i * i;
  const System general = ConvectionDiffusion(9, 0.3);
  const std::vector<Case> cases = {
      {"CG", spd, Optimum::kEnergy, 0},
      {"BCG", spd, Optimum::kEnergy, 0},
      {"CR", spd, Optimum::kResidual, 0},
      {"GMRES", general, Optimum::kResidual, 1},
      {"ORMIN", general, Optimum::kResidual, 0},
      {"ORDIR", general, Optimum::kResidual, 0},
      {"R_ORMIN", general, Optimum::kResidual, 0},
      {"R_ORDIR", general, Optimum::kResidual, 0},
      {"CG_NR", general, Optimum::kNormalResidual, 0},
      {"LSQR", general, Optimum::kNormalResidual, 0},
      {"DLSQR", general, Optimum::kNormalResidual, 0},
      {"CG_NE", general, Optimum::kNormalError, 0},
  };
  for (const Case& c : cases) {
    for (int j = 1; j <= 5; ++j) {
      if (j - c.shift < 1) continue;
      SCOPED_TRACE(std::string(c.solver) + " after " + std::to_string(j) + " steps");
      Iterative_Params p = DefaultParams();
      p.iteration_limit = j;
      const Outcome out = Run(SolverNamed(c.solver), c.system, p);
      EXPECT_EQ(out.params.termination, ITERATIVE_ITERATION_LIMIT);
      const Values reference = Reference(c.system, c.optimum, j - c.shift);
      EXPECT_LE(Distance(out.x, reference), 1e-9 * Norm(reference));
    }
  }
}

}  // namespace
}  // namespace ittest
