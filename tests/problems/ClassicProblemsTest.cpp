// The classic test problems themselves: their known solutions pass the
// solution check and their Jacobians agree with finite differences, so that
// solver tests built on them check against the right answers.
#include <gtest/gtest.h>

#include <cmath>

#include "fixtures/Problems.hpp"

namespace {

std::vector<NonlinearProblem> AllNonlinear() {
  return {KojimaShindo(0.0), Josephy(),          NashCournot(),
          DomainErrors(),    BroydenTridiagonal(10), MixedBoxes(),
          AsNonlinear(ConvexQP())};
}

TEST(ClassicProblemsTest, KnownSolutionsPassTheCheck) {
  for (const auto& p : AllNonlinear()) {
    for (const auto& z : p.solutions) {
      EXPECT_LT(ComplementarityViolation(p, z), 1e-6) << p.name;
    }
  }
  for (const auto& p : {ConvexQP(), DegenerateCyclic(), Exponential(8), Exponential(16),
                        PlantedMonotone(60, 7)}) {
    EXPECT_LT(ComplementarityViolation(p, p.solution), 1e-12) << p.name;
  }
  // A wrong point fails it.
  EXPECT_GT(ComplementarityViolation(ConvexQP(), std::vector<double>(5, 0.0)), 0.1);
}

TEST(ClassicProblemsTest, JacobiansAgreeWithFiniteDifferences) {
  for (const auto& p : AllNonlinear()) {
    std::vector<double> x(p.n);
    for (int i = 0; i < p.n; ++i) x[i] = 0.7 + 0.1 * i;  // inside every domain
    std::vector<double> f(p.n), fp(p.n), fm(p.n);
    std::vector<Triplet> jac;
    ASSERT_TRUE(p.evaluate(x.data(), f.data(), &jac)) << p.name;
    std::vector<double> dense(p.n * p.n, 0.0);
    for (const auto& t : jac) dense[t.row * p.n + t.col] += t.value;
    for (int j = 0; j < p.n; ++j) {
      const double h = 1e-6 * std::max(1.0, std::fabs(x[j]));
      auto xp = x, xm = x;
      xp[j] += h;
      xm[j] -= h;
      ASSERT_TRUE(p.evaluate(xp.data(), fp.data(), nullptr));
      ASSERT_TRUE(p.evaluate(xm.data(), fm.data(), nullptr));
      for (int i = 0; i < p.n; ++i) {
        const double fd = (fp[i] - fm[i]) / (2 * h);
        EXPECT_NEAR(dense[i * p.n + j], fd, 1e-5 * std::max(1.0, std::fabs(fd)))
            << p.name << " (" << i << "," << j << ")";
      }
    }
  }
}

TEST(ClassicProblemsTest, DomainErrorsAreReported) {
  std::vector<double> f(5);
  EXPECT_FALSE(DomainErrors().evaluate(std::vector<double>{-1.0, 0.0}.data(), f.data(), nullptr));
  EXPECT_FALSE(NashCournot().evaluate(std::vector<double>(5, 0.0).data(), f.data(), nullptr));
}

TEST(ClassicProblemsTest, ObstacleAndNoSolutionAreWellFormed) {
  LinearProblem p = Obstacle(10);
  EXPECT_EQ(p.n, 100);
  EXPECT_EQ(p.M.nnz(), 5 * 100 - 4 * 10);
  // Resting on the obstacle is consistent in the middle (q = 4 + 8 there)
  // but not next to the boundary, where the membrane is held at 0.
  EXPECT_NEAR(p.q[55], 12.0, 1e-9);
  EXPECT_LT(p.q[0], 0.0);
  EXPECT_GT(ComplementarityViolation(p, std::vector<double>(100, 0.0)), 0.0);
  LinearProblem none = NoSolution();
  EXPECT_FALSE(none.solvable);
  EXPECT_GT(ComplementarityViolation(none, {0.0}), 0.5);
}

}  // namespace
