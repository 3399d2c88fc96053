// Biconjugate family: breakdowns without look-ahead end in an error (with
// TFQMR's messages), and TFQMR counts half steps.
#include <string>

#include "IterativeHarness.hpp"

namespace ittest {
namespace {

class BCGTest : public IterativeTest {};

// A skew-symmetric A makes r'Ar = 0 at the start: every Lanczos-based method
// without look-ahead breaks down at once.
TEST_F(BCGTest, SkewSystemBreaksDownWithError) {
  System skew;
  skew.name = "skew";
  skew.A = Dense(2, 2);
  skew.A(0, 1) = 1.0;
  skew.A(1, 0) = -1.0;
  skew.b = {1.0, 0.0};
  const struct {
    const char* solver;
    const char* message;
  } cases[] = {
      {"BCG", nullptr},
      {"BICGSTAB", nullptr},
      {"QMR", nullptr},
      {"TFQMR", "delta < zero tolerance.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.solver);
    output()->Clear();
    const Outcome out = Run(SolverNamed(c.solver), skew, DefaultParams());
    EXPECT_EQ(out.params.termination, ITERATIVE_ERROR);
    EXPECT_EQ(out.x, Values(2, 0.0));
    if (c.message != nullptr) {
      EXPECT_LT(output()->log().find(c.message), output()->log().find("Iterative Method"));
    }
  }
  // Methods that do not rest on the Lanczos biorthogonality solve it.
  for (const char* name : {"GMRES", "CG_NR", "LSQR"}) {
    EXPECT_EQ(Run(SolverNamed(name), skew, DefaultParams()).params.termination, ITERATIVE_SOLVED)
        << name;
  }
}

// Every half step of TFQMR is an iteration: a limit stops it after either.
TEST_F(BCGTest, TfqmrCountsHalfSteps) {
  const System s = ConvectionDiffusion(20, 0.2);
  for (int limit : {1, 2, 3, 4}) {
    Iterative_Params p = DefaultParams();
    p.iteration_limit = limit;
    const Outcome out = Run(SolverNamed("TFQMR"), s, p);
    EXPECT_EQ(out.params.termination, ITERATIVE_ITERATION_LIMIT);
    EXPECT_EQ(out.params.iterations, limit);
  }
}

}  // namespace
}  // namespace ittest
