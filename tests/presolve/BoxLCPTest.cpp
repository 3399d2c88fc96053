// The test fixtures' random box LCPs and brute-force enumerator: the
// enumerator's verdicts on problems with known answers (unique, none, only
// on a line of solutions) and against the solver, the points its search in
// doubles lists under each setting, and the features the generator
// promises.
#include <functional>
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

// The search in doubles lists every point its settings count as a
// solution, over the problem's bounds or others; each such point solves
// the problem over the bounds searched.
TEST_F(BoxLCPTest, SearchInDoublesListsThePointsItsSettingsAllow) {
  const LinearProblem antitone = Lcp({{-1}}, {1}, {0}, {2});  // F = 1 - x: 0, 1 and 2
  const LinearProblem zero_row =                              // z1 anything, z2 = 1
      Lcp({{0, 0}, {0, 1}}, {0, -1}, {-kInf, 0}, {kInf, 5});
  const LinearProblem constant = Lcp({{0}}, {1}, {-kInf}, {kInf});  // F = 1
  struct Case {
    const char* what;
    const LinearProblem& p;
    std::function<void(BoxLCPSearch*)> set;
    std::vector<std::vector<double>> points;
  };
  const Case cases[] = {
      {"all three", antitone, [](BoxLCPSearch* s) { s->limit = 0; }, {{0}, {2}, {1}}},
      {"up to the limit", antitone, [](BoxLCPSearch* s) { s->limit = 2; }, {{0}, {2}}},
      {"over other bounds", antitone,
       [](BoxLCPSearch* s) {
         s->limit = 0;
         s->lower = {1};
         s->upper = {2};
       },
       {{1}, {2}}},
      {"as the caller accepts", antitone,
       [](BoxLCPSearch* s) {
         s->limit = 0;
         s->accepts = [](const std::vector<double>& z) { return z[0] != 2.0; };
       },
       {{0}, {1}}},
      {"an open unknown at 0", zero_row, [](BoxLCPSearch* s) { s->limit = 0; }, {{0, 1}}},
      {"nonsingular assignments only", zero_row,
       [](BoxLCPSearch* s) {
         s->limit = 0;
         s->nonsingular_only = true;
       },
       {}},
      {"no solution", constant, [](BoxLCPSearch* s) { s->face_places = true; }, {}},
      {"a lower bound makes one", constant,
       [](BoxLCPSearch* s) {
         s->lower = {0};
         s->upper = {kInf};
       },
       {{0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoxLCPSearch search;
    search.arithmetic = BoxLCPArithmetic::kFloating;
    c.set(&search);
    const BoxLCPEnumeration e = EnumerateBoxLCP(c.p, search);
    EXPECT_EQ(e.points, c.points);
    EXPECT_EQ(e.verdict, c.points.empty() ? BoxLCPVerdict::kInfeasible : BoxLCPVerdict::kSolvable);
    const std::vector<double>& lower = search.lower.empty() ? c.p.lower : search.lower;
    const std::vector<double>& upper = search.upper.empty() ? c.p.upper : search.upper;
    for (const auto& z : e.points) {
      EXPECT_EQ(ComplementarityViolation(lower, upper, z, c.p.F(z)), 0.0);
    }
    // The exact search over the same bounds agrees where a vertex exists.
    BoxLCPSearch exact;
    exact.lower = search.lower;
    exact.upper = search.upper;
    if (!search.accepts && !search.nonsingular_only && !c.points.empty()) {
      EXPECT_EQ(EnumerateBoxLCP(c.p, exact).verdict, BoxLCPVerdict::kSolvable);
    }
  }
  // Over bounds that admit no point of F = 1, the exact verdict is none.
  EXPECT_EQ(EnumerateBoxLCP(constant).verdict, BoxLCPVerdict::kInfeasible);
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
