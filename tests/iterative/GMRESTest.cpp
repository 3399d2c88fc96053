// GMRES: the restart length, restarted cycles that still converge, and the
// 1 x 1 system solved in the first cycle.
#include <string>

#include "IterativeHarness.hpp"
#include "core/Options.hpp"
#include "iterative/GMRES.hpp"

namespace ittest {
namespace {

class GMRESTest : public IterativeTest {
 protected:
  void SetFrequency(int value) {
    Options_CommonTable[COMMON_GMRES_UPDATE_FREQUENCY].int_value = value;
  }
};

// m = min(200, gmres_update_frequency, n + 1), but at least 2: a cycle needs
// two steps to form a correction.
TEST_F(GMRESTest, RestartLengthIsCappedAndAtLeastTwo) {
  const struct {
    int frequency, n, m;
  } cases[] = {
      {100, 1000, 100}, {1000, 1000, 200}, {100, 5, 6}, {100, 1, 2},
      {1, 50, 2},       {0, 50, 2},        {-7, 50, 2}, {30, 50, 30},
  };
  for (const auto& c : cases) {
    SetFrequency(c.frequency);
    EXPECT_EQ(Iterative_GMRESRestart(c.n), c.m) << c.frequency << " " << c.n;
  }
}

// Short cycles still converge (restarting from the true residual), and a
// frequency below 2 no longer loops forever.
TEST_F(GMRESTest, RestartedCyclesConverge) {
  const struct {
    int frequency;
    System system;
  } cases[] = {
      {5, ConvectionDiffusion(20, 0.2)},
      {1, Tridiagonal(10, -1.0, 3.0, -1.0)},
      {0, Tridiagonal(10, -1.0, 3.0, -1.0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.frequency);
    SetFrequency(c.frequency);
    Iterative_Params p = DefaultParams();
    p.iteration_limit = 5000;
    const Outcome out = Run(SolverNamed("GMRES"), c.system, p);
    EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
    const Values reference = SolveGeneral(c.system.A, c.system.b);
    EXPECT_LE(Distance(out.x, reference), 1e-7 * Norm(reference));
  }
}

TEST_F(GMRESTest, OneByOneIsSolvedInTheFirstCycle) {
  for (double a : {2.0, -3.0, 1e-30, 1e30}) {
    SCOPED_TRACE(a);
    const Outcome out = Run(SolverNamed("GMRES"), Diagonal({a}), DefaultParams());
    EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
    EXPECT_EQ(out.params.iterations, 2);
    EXPECT_DOUBLE_EQ(out.x[0], 1.0 / a);
  }
}

}  // namespace
}  // namespace ittest
