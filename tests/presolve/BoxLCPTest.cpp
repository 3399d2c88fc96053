// The test fixtures' random box LCPs and brute-force enumerator: the
// enumerator's verdicts on problems with known answers (unique, none, only
// on a line of solutions) and against the solver, and the features the
// generator promises.
#include <vector>

#include "fixtures/BoxLCP.hpp"
#include "presolve/PresolveRig.hpp"

namespace {

class BoxLCPTest : public PresolveRig {};

TEST_F(BoxLCPTest, EnumeratorVerdictsOnKnownProblems) {
  struct Case {
    const char* what;
    LinearProblem p;
    BoxLCPVerdict verdict;
    bool witness;
  };
  const Case cases[] = {
      {"the convex QP", ConvexQP(), BoxLCPVerdict::kSolvable, true},
      {"the degenerate cyclic LCP", DegenerateCyclic(), BoxLCPVerdict::kSolvable, true},
      {"no solution", NoSolution(), BoxLCPVerdict::kInfeasible, false},
      // F1 = 0 on a free z1: every z1 solves it, and no single point stands
      // out: the line of solutions is found all the same.
      {"a free variable in a zero row", Lcp({{0, 0}, {0, 1}}, {0, -1}, {-kInf, 0}, {kInf, 5}),
       BoxLCPVerdict::kSolvable, false},
      // z1 + z2 = 1 and z1 + z2 = 2 on free variables.
      {"inconsistent duplicate rows", Lcp({{1, 1}, {1, 1}}, {-1, -2}, {-kInf, -kInf}, {kInf, kInf}),
       BoxLCPVerdict::kInfeasible, false},
      // The same rows once consistent, but z1 + z2 = 1 outside [2, 3]^2.
      {"consistent rows outside the box", Lcp({{1, 1}, {1, 1}}, {-1, -1}, {2, 2}, {3, 3}),
       BoxLCPVerdict::kSolvable, true},  // at the lower bounds F = 3 >= 0
      {"fixed variables", Lcp({{1, 0}, {5, -1}}, {7, 0}, {2, -kInf}, {2, kInf}),
       BoxLCPVerdict::kSolvable, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BoxLCPEnumeration e = EnumerateBoxLCP(c.p);
    EXPECT_EQ(e.verdict, c.verdict);
    EXPECT_EQ(!e.witness.empty(), c.witness);
    if (!e.witness.empty()) {
      EXPECT_LE(ComplementarityViolation(c.p, e.witness), 1e-12);
    }
  }
}

TEST_F(BoxLCPTest, EnumeratorAgreesWithTheSolverAndGeneratorHasItsFeatures) {
  int solved = 0, fixed = 0, free_vars = 0, one_sided = 0, boxed = 0, duplicates = 0;
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    const LinearProblem p = RandomBoxLCP(seed);
    SCOPED_TRACE(p.name);
    ASSERT_LE(p.n, 8);
    for (int i = 0; i < p.n; ++i) {
      const bool lf = p.lower[i] > -kInf, uf = p.upper[i] < kInf;
      fixed += lf && uf && p.lower[i] == p.upper[i];
      free_vars += !lf && !uf;
      one_sided += lf != uf;
      boxed += lf && uf && p.lower[i] < p.upper[i];
    }
    const std::vector<double> dense = [&] {
      std::vector<double> d(static_cast<size_t>(p.n) * p.n, 0.0);
      for (int j = 0; j < p.n; ++j)
        for (int k = p.M.start[j]; k < p.M.start[j + 1]; ++k) d[p.M.index[k] * p.n + j] = p.M.value[k];
      return d;
    }();
    for (int a = 0; a < p.n; ++a)
      for (int b = a + 1; b < p.n; ++b) {
        bool same = true, any = false;
        for (int j = 0; j < p.n; ++j) {
          same &= dense[a * p.n + j] == dense[b * p.n + j];
          any |= dense[a * p.n + j] != 0.0;
        }
        duplicates += same && any;
      }
    std::vector<double> z;
    Presolve_OptionTable[PRESOLVE].bool_value = 0;
    if (SolveWhole(p, &z) == TERMINATION_SOLVED) {
      solved += 1;
      EXPECT_EQ(EnumerateBoxLCP(p).verdict, BoxLCPVerdict::kSolvable);
    }
  }
  EXPECT_GT(solved, 100);
  EXPECT_GT(fixed, 50);
  EXPECT_GT(free_vars, 50);
  EXPECT_GT(one_sided, 50);
  EXPECT_GT(boxed, 50);
  EXPECT_GT(duplicates, 20);
}

}  // namespace
