// ORTHOMIN and ORTHODIR: the ring window of directions and the restarted
// forms, equal to the truncated ones within a cycle.
#include <string>

#include "IterativeHarness.hpp"
#include "core/Workspace.hpp"

namespace ittest {
namespace {

class OrthoTest : public IterativeTest {
 protected:
  // The directions in the window after a run with the given limit.
  std::vector<Values> DirectionsAfter(const char* solver, const System& s, int limit) {
    Iterative_Params p = DefaultParams();
    p.iteration_limit = limit;
    Run(SolverNamed(solver), s, p);
    std::vector<Values> slots;
    DenseVector** P = Workspace_OrthoDirections();
    for (int i = 0; i < Workspace_OrthoCount(); ++i) {
      slots.emplace_back(P[i]->data, P[i]->data + s.A.rows);
    }
    return slots;
  }
};

// The window is a ring: the 11th direction replaces slot 0, the 12th slot 1,
// and nothing else moves.
TEST_F(OrthoTest, EleventhDirectionReplacesTheOldest) {
  const System s = ConvectionDiffusion(30, 0.1);
  for (const char* solver : {"ORMIN", "ORDIR"}) {
    SCOPED_TRACE(solver);
    // After `limit` steps, `limit` directions have been stored.
    const auto ten = DirectionsAfter(solver, s, 10);
    const auto eleven = DirectionsAfter(solver, s, 11);
    const auto twelve = DirectionsAfter(solver, s, 12);
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(ten[i] != eleven[i], i == 0) << "slot " << i;
      EXPECT_EQ(eleven[i] != twelve[i], i == 1) << "slot " << i;
    }
  }
}

// Within one cycle the restarted forms are the truncated ones; past 100
// steps they restart from the true residual and still converge.
TEST_F(OrthoTest, RestartedFormsMatchWithinACycle) {
  System s = Tridiagonal(150, -1.0, 2.0, -1.0);
  for (int i = 0; i < 150; ++i) s.b[i] = 1.0 + i;
  const struct {
    const char* truncated;
    const char* restarted;
  } pairs[] = {{"ORMIN", "R_ORMIN"}, {"ORDIR", "R_ORDIR"}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair.restarted);
    Iterative_Params p = DefaultParams();
    p.iteration_limit = 60;
    const Outcome a = Run(SolverNamed(pair.truncated), s, p);
    const Outcome b = Run(SolverNamed(pair.restarted), s, p);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.params.iterations, b.params.iterations);
    p.iteration_limit = 2000;
    const Outcome solved = Run(SolverNamed(pair.restarted), s, p);
    EXPECT_EQ(solved.params.termination, ITERATIVE_SOLVED);
    EXPECT_GT(solved.params.iterations, 100);
    const Values reference = SolveSPD(s.A, s.b);
    EXPECT_LE(Distance(solved.x, reference), 1e-6 * Norm(reference));
  }
}

// The steps do not depend on the scale of the system: ORTHODIR's directions
// (powers of the operator applied to the residual) neither overflow when A
// is large nor vanish when it is small.
TEST_F(OrthoTest, ScaledSystemIsSolvedLikeTheUnscaledOne) {
  const Values lambda = {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0, 12.0,
                         13.0, 14.0, 15.0, 16.0, 17.0, 18.0, 19.0, 20.0};
  const System unit = Spectrum("spd20", lambda, 5);
  const Values reference = SolveSPD(unit.A, unit.b);
  for (const char* solver : {"ORMIN", "ORDIR", "R_ORMIN", "R_ORDIR"}) {
    const Outcome base = Run(SolverNamed(solver), unit, DefaultParams());
    ASSERT_EQ(base.params.termination, ITERATIVE_SOLVED) << solver;
    for (double scale : {1e-30, 1e-12, 1e12, 1e30}) {
      SCOPED_TRACE(std::string(solver) + " scale " + std::to_string(scale));
      const Outcome out = Run(SolverNamed(solver), ScaledMatrix(unit, scale), DefaultParams());
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      EXPECT_EQ(out.params.iterations, base.params.iterations);
      Values unscaled = out.x;  // the solution of the unit system
      for (double& v : unscaled) v *= scale;
      EXPECT_LE(Distance(unscaled, reference), 1e-6 * Norm(reference));
    }
  }
}

}  // namespace
}  // namespace ittest
