// The implied and recursive bound rounds over classed rows (convex QPs in
// optimality form: the rows of x classed dual, those of the multipliers
// primal): where they fix, tighten, or prove infeasibility, each line they
// write, and that every verdict holds for the problem itself.
#include <string>
#include <vector>

#include "fixtures/BoxLCP.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveRig.hpp"
#include "presolve/Presolve_internal.hpp"

namespace {

class ImpliedBoundsTest : public PresolveRig {
 protected:
  void SetUp() override {
    PresolveRig::SetUp();
    Presolve_OptionTable[PRESOLVE_IMPLIED].bool_value = 1;
  }
};

const std::vector<int> kDual2Primal1 = {-1, -1, 1};

// min (x1^2 + x2^2) / 2 - x1 - x2 over x1 in [0, 3], x2 in [0, 5] with
// x1 + x2 >= 4 (solution x = (2, 2), multiplier 1): the row implies x2 >= 1
// and nothing more settles.
LinearProblem OneConstraint() {
  return Lcp({{1, 0, -1}, {0, 1, -1}, {1, 1, 0}}, {-1, -1, -4}, {0, 0, 0}, {3, 5, kInf});
}

TEST_F(ImpliedBoundsTest, TighteningMakesImpliedBoundsExplicitOnlyWhenAskedFor) {
  for (const bool tighten : {false, true}) {
    SCOPED_TRACE(tighten);
    Presolve_OptionTable[PRESOLVE_TIGHTEN].bool_value = tighten;
    MCP* mcp = Prepare(OneConstraint(), kDual2Primal1);
    std::int32_t fixed = 0, forced = 0, redundant = 0, freed = 0, changes = 0;
    EXPECT_EQ(Skew_BoundRounds(mcp, 1, &fixed, &forced, &redundant, &freed, &changes),
              MCP_CONTINUE);
    EXPECT_EQ(fixed + forced + redundant + freed, 0);
    EXPECT_EQ(Lower(mcp)[1], tighten ? 1.0 : 0.0);
    EXPECT_EQ(changes, tighten ? 1 : 0);
    if (tighten) {
      // Kind 0 with the deriving row: its multiplier is chosen again in
      // the postsolve.
      const PresolveRecord r = Top(mcp);
      EXPECT_EQ(r.kind, PRESOLVE_KIND_FIX);
      EXPECT_EQ(r.variable_index, 2);
      EXPECT_EQ(r.second_index, 3);
    }
    std::vector<double> z;
    EXPECT_EQ(SolveWhole(OneConstraint(), &z, kDual2Primal1), TERMINATION_SOLVED);
    EXPECT_LE(ComplementarityViolation(OneConstraint(), z), 1e-6);
  }
}

// Problems drawn by RandomQPKKT, written out, with the verdicts of their
// bound rounds.
struct Verdict {
  const char* what;
  std::vector<std::vector<double>> m;
  std::vector<double> q, l, u;
  std::vector<int> types;
  bool recursive;
  int code;
  const char* line;
};

TEST_F(ImpliedBoundsTest, InfeasibilityFoundByTheRoundsHoldsForTheProblem) {
  const Verdict cases[] = {
      {"implied bounds cross",
       {{5, -6, 2, 0, -1, 0},
        {-6, 8, 1, 1, -2, 0},
        {-2, -1, 0, 0, 0, 0},
        {0, -1, 0, 0, 0, 0},
        {1, 2, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0}},
       {3, 3, 2, 2, -1, 2}, {1, -2, 0, 0, 0, 0}, {kInf, -2, kInf, kInf, kInf, kInf},
       {-1, -1, 1, 1, 1, 1}, true, TERMINATION_INFEASIBLE_BOUNDS,
       "Implied (1): infeasible: original 1.0000e+00 1.0000e+20 implied: 5.0000e+00 "
       "2.0000e+00\n"},
      {"a row over the implied bounds",
       {{2, 2, -2, 2}, {2, 4, -1, 2}, {2, 1, 0, 0}, {-2, -2, 0, 0}},
       {-1, 3, -2, -1}, {-2, 0, 0, 0}, {kInf, kInf, kInf, kInf}, {-1, -1, 1, 1}, false,
       TERMINATION_INFEASIBLE_BOUNDS,
       "GE inequality (f[    3]): implied infeasible: rhs: 2.0000e+00 lb: -4.0000e+00(-6.0000e+00) "
       "ub: 5.0000e-01(-1.5000e+00)\n"},
      {"recursive bounds cross",
       {{0, 0, 0, -2, 2}, {0, 4, -2, 1, 2}, {0, -2, 2, 2, -1}, {2, -1, -2, 0, 0},
        {-2, -2, 1, 0, 0}},
       {3, 0, 2, 0, -2}, {1, -1, 0, 0, 0}, {2, kInf, kInf, kInf, kInf}, {-1, -1, -1, 1, 1}, true,
       TERMINATION_INFEASIBLE_BOUNDS,
       "Recursive (1): infeasible: original 1.0000e+00 2.0000e+00 recursive implied: "
       "1.5000e+00 1.2500e+00\n"},
      {"a row over the recursive bounds",
       {{4, 4, 0, -1, 1}, {4, 8, 0, 0, 0}, {0, 0, 0, -2, 2}, {1, 0, 2, 0, 0}, {-1, 0, -2, 0, 0}},
       {-3, 0, -2, -2, 0}, {1, -1, -2, 0, 0}, {kInf, kInf, kInf, kInf, kInf},
       {-1, -1, -1, 1, 1}, true, TERMINATION_INFEASIBLE_BOUNDS,
       "GE inequality (f[    5]): recursive infeasible: rhs: 0.0000e+00 lb: "
       "-3.0000e+00(-3.0000e+00) ub: -1.0000e+00(-1.0000e+00)\n"},
  };
  for (const Verdict& c : cases) {
    SCOPED_TRACE(c.what);
    Presolve_OptionTable[PRESOLVE_RECURSIVE].bool_value = c.recursive;
    const LinearProblem p = Lcp(c.m, c.q, c.l, c.u);
    output()->Clear();
    std::vector<double> z;
    EXPECT_EQ(SolveWhole(p, &z, c.types), c.code);
    EXPECT_TRUE(Logged(c.line)) << Log();
    EXPECT_EQ(EnumerateBoxLCP(p).verdict, BoxLCPVerdict::kInfeasible);
  }
}

TEST_F(ImpliedBoundsTest, RecursiveRoundsOnlyRunWhenSwitchedOn) {
  const LinearProblem p =
      Lcp({{0, 0, 0, -2, -2, 0},
           {0, 1, 0, 1, 0, -2},
           {0, 0, 0, 0, 1, 2},
           {2, -1, 0, 0, 0, 0},
           {2, 0, -1, 0, 0, 0},
           {0, 2, -2, 0, 0, 0}},
          {3, -1, -2, -2, -1, 0}, {-1, -1, -kInf, 0, 0, 0}, {1, kInf, kInf, kInf, kInf, kInf});
  const std::vector<int> types = {-1, -1, -1, 1, 1, 1};
  for (const bool recursive : {false, true}) {
    SCOPED_TRACE(recursive);
    Presolve_OptionTable[PRESOLVE_RECURSIVE].bool_value = recursive;
    output()->Clear();
    std::vector<double> z;
    EXPECT_EQ(SolveWhole(p, &z, types), TERMINATION_SOLVED);
    EXPECT_LE(ComplementarityViolation(p, z), 1e-6);
    EXPECT_EQ(Logged("Implied: Fixed:     1 Forced:     1 Redundant:     1 Freed:     0\n"),
              recursive)
        << Log();
  }
}

// min (x1 - x3)^2 / 2 + x2^2 / 2 - 3 x2 over x1 <= 1, x2 in [-1, 0],
// x3 >= 1 with 2 x1 + x3 >= 2 and -2 x2 - 2 x3 >= -1, its rows classed as
// they are. The rows of x1 and x3 couple through the objective, and a
// bound derived from them cannot be undone by moving x1 or x3 the way a
// multiplier moves: the rounds took them, and the solve ended unsolved.
// They keep to the constraint rows now.
TEST_F(ImpliedBoundsTest, RowsCoupledThroughTheObjectiveAreNotUsed) {
  const LinearProblem p = Lcp({{1, 0, -1, -2, 0},
                               {0, 1, 0, 0, 2},
                               {-1, 0, 1, -1, 2},
                               {2, 0, 1, 0, 0},
                               {0, -2, -2, 0, 0}},
                              {0, -3, 0, -2, 1}, {-kInf, -1, 1, 0, 0}, {1, 0, kInf, kInf, kInf});
  std::vector<double> z;
  EXPECT_EQ(SolveWhole(p, &z, {-1, -1, -1, 1, 1}), TERMINATION_SOLVED) << Log();
  EXPECT_LE(ComplementarityViolation(p, z), 1e-6);
}

// Rows classed {1, -1, -1} keep their class only in the shape of a
// constraint row and its multiplier: no entry of their own, every other
// entry mirrored in their column with the opposite sign.
TEST_F(ImpliedBoundsTest, RowsKeepTheirClassOnlyInTheShapeOfAConstraintRow) {
  struct Case {
    const char* what;
    std::vector<std::vector<double>> m;
    std::vector<int> kept;
  };
  const Case cases[] = {
      {"a constraint row and its multiplier's rows",
       {{0, 1, 2}, {-1, 0, 0}, {-2, 0, 0}}, {1, -1, -1}},
      {"an entry of its own", {{1, 1, 2}, {-1, 0, 0}, {-2, 0, 0}}, {0, -1, -1}},
      {"a mirror of the same sign", {{0, 1, 2}, {1, 0, 0}, {-2, 0, 0}}, {0, 0, -1}},
      {"an entry without a mirror", {{0, 1, 0}, {-1, 0, 0}, {-2, 0, 0}}, {0, -1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(Lcp(c.m, {0, 0, 0}, {0, 0, 0}, {kInf, kInf, kInf}), {1, -1, -1});
    const std::int32_t* types = Presolve_View(mcp).row_type;
    EXPECT_EQ(std::vector<int>(types, types + 3), c.kept);
  }
}

}  // namespace
