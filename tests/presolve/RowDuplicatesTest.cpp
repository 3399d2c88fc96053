// Duplicate rows: which pairs of rows are found (equal, scaled, opposite,
// differing in fixed columns or below the tolerances) and which only look
// alike; every outcome of the rule (fixes, infeasibility, merge, pairs left
// alone) with the point that postsolve returns checked against the
// original problem; the column comparison; the postsolve of a merge; and
// random small problems with planted duplicates.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/RowBlockRig.hpp"
#include "presolve/rows/RowDuplicates.hpp"

namespace {

class RowDuplicatesTest : public RowBlockRig {
 protected:
  // Runs the pass at level 1 on a record made ready by Ready.
  int Run(MCP* mcp) {
    dup_ = -1;
    dbd_ = -1;
    return Row_Duplicates(mcp, 1, &dup_, &dbd_);
  }
  static std::string CheckLine(int i, int r) {
    char text[64];
    std::snprintf(text, sizeof text, "DuplicateRowCheck (f[%5d], f[%5d])\n", i, r);
    return text;
  }
  static int Checks(const std::string& log) {
    int count = 0;
    for (size_t at = log.find("DuplicateRowCheck"); at != std::string::npos;
         at = log.find("DuplicateRowCheck", at + 1)) {
      ++count;
    }
    return count;
  }

  std::int32_t dup_ = 0;
  std::int32_t dbd_ = 0;
};

// ---------------------------------------------------------------------------
// Which rows are compared

struct FindCase {
  const char* name;
  std::vector<double> row2;  // row 1 is (0 0 1 2 5); rows 3-5 as below
  double q2;
  bool compared;
};

// Five variables; x5 is fixed at 1, so column 5 never counts. Rows 3 and 4
// have patterns no other row has.
LinearProblem FindProblem(const FindCase& c) {
  return Lcp({{0, 0, 1, 2, 5}, c.row2, {1, 0, 1, 0, 0}, {0, 1, 0, 1, 0}, {0, 0, 0, 0, 1}},
             {-1, c.q2, 0, 0, 0}, {0, 0, 0, 0, 1}, {kInf, kInf, kInf, kInf, 1});
}

TEST_F(RowDuplicatesTest, ProportionalRowsAreComparedAndLookalikesAreNot) {
  const FindCase cases[] = {
      {"equal, differing in the fixed column", {0, 0, 1, 2, 0}, -1, true},
      {"scaled", {0, 0, 3, 6, 0}, -3, true},
      {"opposite sign", {0, 0, -3, -6, 0}, 3, true},
      {"different constant", {0, 0, 1, 2, 0}, 4, true},
      {"ratio off by 1e-13", {0, 0, 1, 2 + 1e-13, 0}, -1, true},
      {"extra entry below the coefficient tolerance", {0, 1e-13, 1, 2, 0}, -1, true},
      {"ratio off by 1e-11", {0, 0, 1, 2 + 1e-11, 0}, -1, false},
      {"ratio off by 1e-3", {0, 0, 1, 2.001, 0}, -1, false},
      {"an extra column", {0, 1, 1, 2, 0}, -1, false},
      {"a missing column", {0, 0, 1, 0, 0}, -1, false},
      {"same columns, other order of ratios", {0, 0, 2, 1, 0}, -1, false},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.name);
    MCP* mcp = Ready(FindProblem(c), {}, 2);
    EXPECT_EQ(Run(mcp), ROW_CONTINUE);
    EXPECT_EQ(Checks(Log()), c.compared ? 1 : 0) << Log();
    if (c.compared) {
      EXPECT_TRUE(Logged(CheckLine(1, 2))) << Log();
    }
  }
}

TEST_F(RowDuplicatesTest, NoLinearRowMeansNoWork) {
  MCP* mcp = Ready(FindProblem({"", {0, 0, 1, 2, 0}, -1, true}), {}, 2);
  IDenseVector_FillZero(Row_LinearMark(), 5);
  EXPECT_EQ(Run(mcp), ROW_CONTINUE);
  EXPECT_EQ(dup_, 0);
  EXPECT_EQ(dbd_, 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(RowDuplicatesTest, RowsOfOneGroupMeetTheSurvivorOfAFixedReference) {
  // Rows 1-3 all read x4 alone. Pair (1, 2): x2 free and F1 = F2 + 1 > 0
  // put x1 at 0; row 2 then becomes the reference and meets row 3 (half of
  // it), whose variable no active row uses: x3 stays at its start.
  const LinearProblem p = Lcp({{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0.5}, {0, 1, 0, 1}},
                              {1, 0, 0, -1}, {0, -kInf, -1, -kInf}, {kInf, kInf, 3, kInf});
  MCP* mcp = Ready(p, {}, 2);
  EXPECT_EQ(Run(mcp), ROW_CONTINUE);
  EXPECT_EQ(dup_, 2);
  EXPECT_EQ(dbd_, 0);
  EXPECT_EQ(Checks(Log()), 2) << Log();
  EXPECT_TRUE(Logged(CheckLine(1, 2) + "DuplicateRow Lower Fixes Variables\n")) << Log();
  EXPECT_TRUE(Logged(CheckLine(2, 3) + "DuplicateRow ZeroCol Fixes Variables\n")) << Log();
  ExpectConsistent(mcp);
  EXPECT_TRUE(SolveRestAndPostsolve(mcp));
}

// ---------------------------------------------------------------------------
// What the rule does with a pair

enum class After { kSolved, kUnchanged, kInfeasible };

struct RuleCase {
  const char* name;
  std::vector<std::vector<double>> m;
  std::vector<double> q, l, u;
  After after;
  int dup, dbd;
  const char* log;                 // printed at output_presolve_level 2
  std::vector<double> postsolved;  // the point postsolve returns, when fixed
};

const RuleCase kRuleCases[] = {
    // Both variables boxed, columns equal, row 2 twice row 1: x1 merges into
    // x2, the variable of the larger row, which then ranges over [0, 2]; the
    // rest solves with x2' = 1.5, which postsolve splits into x2 = 1 and
    // x1 = 0.5.
    {"merge, split beyond the first bound",
     {{0, 0, 1, 1}, {0, 0, 2, 2}, {-1, -1, 1, 0}, {-1, -1, 0, 1}},
     {-3, -6, 0, 0}, {0, 0, 0, 0}, {1, 1, kInf, kInf}, After::kSolved, 1, 1,
     "Duplicate Redundant Bounds Variables\n     x[    2] lb =  0.0000e+00 ub =  2.0000e+00 "
     "(f[    2])\nDuplicate Redundant Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n",
     {0.5, 1, 1.5, 1.5}},
    {"merge, solution inside the first bounds",
     {{0, 0, 1, 1}, {0, 0, 2, 2}, {-1, -1, 1, 0}, {-1, -1, 0, 1}},
     {-1, -2, 0, 0}, {0, 0, 0, 0}, {1, 1, kInf, kInf}, After::kSolved, 1, 1,
     "Duplicate Redundant Fixes Variables\n", {0, 0.5, 0.5, 0.5}},
    // Column 1 is half column 2: x2' = x2 + x1 / 2 in [0, 1.5].
    {"merge, scaled columns",
     {{0, 0, 1, 1}, {0, 0, 2, 2}, {-1, -2, 1, 0}, {-1, -2, 0, 1}},
     {-3, -6, 0, 0}, {0, 0, 0, 0}, {1, 1, kInf, kInf}, After::kSolved, 1, 1,
     "     x[    2] lb =  0.0000e+00 ub =  1.5000e+00 (f[    2])\n", {0, 0.75, 1.5, 1.5}},
    // Opposite rows and opposite columns: x1' = x1 - x2 in [-1, 1].
    {"merge, opposite rows and columns",
     {{0, 0, 1, 1}, {0, 0, -1, -1}, {-1, 1, 1, 0}, {-1, 1, 0, 1}},
     {-3, 3, 0, 0}, {0, 0, 0, 0}, {1, 1, kInf, kInf}, After::kSolved, 1, 1,
     "     x[    1] lb = -1.0000e+00 ub =  1.0000e+00 (f[    1])\n", {1, 0, 1, 1}},
    {"no merge: opposite rows, columns alike",
     {{0, 0, 1, 1}, {0, 0, -1, -1}, {-1, -1, 1, 0}, {-1, -1, 0, 1}},
     {-3, 3, 0, 0}, {0, 0, 0, 0}, {1, 1, kInf, kInf}, After::kUnchanged, 0, 0, "", {}},
    {"no merge: different constants",
     {{0, 0, 1, 1}, {0, 0, 2, 2}, {-1, -1, 1, 0}, {-1, -1, 0, 1}},
     {-3, -5, 0, 0}, {0, 0, 0, 0}, {1, 1, kInf, kInf}, After::kUnchanged, 0, 0, "", {}},
    // x2 free: F2 = 0 leaves F1 = 1 > 0, so x1 sits at 0; the rest is a
    // three-by-three system.
    {"lower: the free partner leaves F1 positive",
     {{0, 0, 1, -1}, {0, 0, 1, -1}, {1, 1, 1, 1}, {1, -1, 1, -1}},
     {1, 0, -2, 0}, {0, -kInf, -kInf, -kInf}, {kInf, kInf, kInf, kInf}, After::kSolved, 1, 0,
     "DuplicateRow Lower Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n",
     {0, 0, 1, 1}},
    // Row 1 allows s >= 1 only, row 2 s <= 0.5 only.
    {"infeasible: the two rows allow no common value",
     {{0, 0, 1, -1}, {0, 0, 1, -1}, {1, 1, 1, 1}, {1, -1, 1, -1}},
     {-1, -0.5, -2, 0}, {0, -kInf, -kInf, -kInf}, {kInf, 0, kInf, kInf}, After::kInfeasible, 0,
     0, "DuplicateRows Implied\n     f[    1]\n     f[    2]\n", {}},
    // Row 1 gives s >= 1, where F2 = -s + 0.5 < 0 puts x2 at its upper
    // bound.
    {"upper: the partner row negative throughout",
     {{0, 0, 1}, {0, 0, -1}, {0, 1, 1}}, {-1, 0.5, -6}, {0, 0, 0}, {kInf, 4, kInf},
     After::kSolved, 1, 0, "DuplicateRow Upper Fixes Variables\n     x[    2] =  4.0000e+00",
     {0, 4, 2}},
    {"lower: the partner row positive throughout",
     {{0, 0, 1}, {0, 0, 1}, {0, 1, 1}}, {-1, 0.5, -6}, {0, 0, 0}, {kInf, 4, kInf},
     After::kSolved, 1, 0, "DuplicateRow Lower Fixes Variables\n     x[    2] =  0.0000e+00",
     {0, 0, 6}},
    // F2 = s >= 0 wherever row 1 allows s; column 2 is empty, so x2 goes to
    // its finite lower bound.
    {"zero column at the touching bound",
     {{0, 0, 1, -1}, {0, 0, 1, -1}, {1, 0, 1, 1}, {1, 0, 1, -1}},
     {0, 0, -2, 0}, {0, -1, -kInf, -kInf}, {kInf, kInf, kInf, kInf}, After::kSolved, 1, 0,
     "DuplicateRow ZeroCol Fixes Variables\n     x[    2] = -1.0000e+00", {}},
    // The same with x2 bounded above only: the touching side has no finite
    // bound, so nothing is fixed there, and the empty column 2 rules out a
    // merge. The problem is solvable: (1, 5, 0, 0, 1) for one.
    {"zero column without a finite bound: left alone",
     {{0, 0, 1, -1, 0}, {0, 0, 1, -1, 0}, {1, 0, 1, 1, 1}, {1, 0, 1, 0, -1}, {0, 0, 0, 1, 1}},
     {0, 0, -2, 0, -1}, {0, -kInf, -kInf, -kInf, -kInf}, {kInf, 5, kInf, kInf, kInf},
     After::kUnchanged, 0, 0, "", {}},
    // x1 free, F2 = F1 with x2 in no active row: x2 stays at its start.
    {"zero column of a partner of a free variable",
     {{0, 0, 1}, {0, 0, 0.5}, {-1, 0, 1}}, {-1, -0.5, -1}, {-kInf, -1, 0}, {kInf, 3, kInf},
     After::kSolved, 1, 0, "DuplicateRow ZeroCol Fixes Variables\n     x[    2] =  0.0000e+00",
     {0, 0, 1}},
    // The same with row 2 twice row 1: dropping row 2 would leave it twice
    // the residual the solver leaves in row 1, so the pair stays.
    {"zero column of a partner of a free variable, partner's row larger",
     {{0, 0, 1}, {0, 0, 2}, {-1, 0, 1}}, {-1, -2, -1}, {-kInf, -1, 0}, {kInf, 3, kInf},
     After::kUnchanged, 0, 0, "DuplicateRow Redundant\n     f[    2]\n", {}},
    // Both free: F1 = 0 forces F2 = -1, which x2 cannot meet.
    {"infeasible: both free, constants apart",
     {{1, 1}, {2, 2}}, {-1, -3}, {-kInf, -kInf}, {kInf, kInf}, After::kInfeasible, 0, 0,
     "DuplicateRow Upper Infinite Value\n     f[    2]\n", {}},
    // Both free: the variable of the smaller row is fixed, the larger row
    // stays.
    {"both free, same constants, columns alike",
     {{1, 1}, {2, 2}}, {-1, -2}, {-kInf, -kInf}, {kInf, kInf}, After::kSolved, 1, 0,
     "DuplicateRow DupCol Fixes Variables\n     x[    1] =  0.0000e+00 (f[    1])\n", {0, 1}},
    {"both free, same constants, columns differ",
     {{1, 1, 0}, {2, 2, 0}, {1, 0, 1}}, {-1, -2, 0}, {-kInf, -kInf, 0}, {kInf, kInf, kInf},
     After::kUnchanged, 0, 0, "DuplicateRow Redundant\n     f[    1]\n", {}},
};

TEST_F(RowDuplicatesTest, EveryOutcomeKeepsTheSolutionsOfTheOriginalProblem) {
  for (const RuleCase& c : kRuleCases) {
    SCOPED_TRACE(c.name);
    MCP* mcp = Ready(Lcp(c.m, c.q, c.l, c.u), {}, 2);
    const int records = Records(mcp);
    const int status = Run(mcp);
    EXPECT_EQ(status, c.after == After::kInfeasible ? ROW_INFEASIBLE : ROW_CONTINUE);
    EXPECT_EQ(dup_, c.dup);
    EXPECT_EQ(dbd_, c.dbd);
    EXPECT_TRUE(Logged(c.log)) << Log();
    EXPECT_EQ(Log().find("Infinite Value") != std::string::npos,
              std::string(c.log).find("Infinite Value") != std::string::npos)
        << Log();
    if (c.after != After::kSolved) {
      // Nothing of the problem changed.
      EXPECT_EQ(Records(mcp), records);
      EXPECT_EQ(Lower(mcp), c.l);
      EXPECT_EQ(Upper(mcp), c.u);
    }
    if (c.after == After::kInfeasible) {
      EXPECT_TRUE(BruteForce(original_).empty());
      continue;
    }
    ExpectConsistent(mcp);
    if (c.after == After::kSolved) {
      EXPECT_EQ(Records(mcp), records + c.dup + c.dbd);
      ASSERT_TRUE(SolveRestAndPostsolve(mcp));
      if (!c.postsolved.empty()) {
        for (size_t j = 0; j < c.postsolved.size(); ++j) {
          EXPECT_NEAR(X(mcp)[j], c.postsolved[j], 1e-12) << j + 1;
        }
      }
    } else if (!BruteForce(original_).empty()) {
      EXPECT_TRUE(SolveRestAndPostsolve(mcp));
    }
  }
}

TEST_F(RowDuplicatesTest, TraceLevelsChooseWhatIsPrinted) {
  // Both free, same constants, columns alike: x2 is fixed (see above).
  const LinearProblem p = Lcp({{1, 1}, {2, 2}}, {-1, -2}, {-kInf, -kInf}, {kInf, kInf});
  ASSERT_EQ(Run(Ready(p, {}, 3)), ROW_CONTINUE);
  EXPECT_TRUE(Logged(CheckLine(1, 2) +
                     "     -1.0000e+20 <= x[   1] <=  1.0000e+20 :  1.0000e+00*x[   1] +  "
                     "1.0000e+00*x[   2] + -1.0000e+00 == 0\n"))
      << Log();
  ASSERT_EQ(Run(Ready(p, {}, 1)), ROW_CONTINUE);
  EXPECT_EQ(dup_, 1);
  EXPECT_EQ(Log(), "");
  // Infeasibility is reported down to level 0.
  const LinearProblem apart = Lcp({{1, 1}, {2, 2}}, {-1, -3}, {-kInf, -kInf}, {kInf, kInf});
  ASSERT_EQ(Run(Ready(apart, {}, 0)), ROW_INFEASIBLE);
  EXPECT_EQ(Log(), "DuplicateRow Upper Infinite Value\n     f[    2]\n");
  ASSERT_EQ(Run(Ready(apart, {}, -1)), ROW_INFEASIBLE);
  EXPECT_EQ(Log(), "");
}

TEST_F(RowDuplicatesTest, MergeRecordsSitDirectlyOneAboveTheOther) {
  const RuleCase& c = kRuleCases[3];  // opposite rows and columns
  MCP* mcp = Ready(Lcp(c.m, c.q, c.l, c.u));
  ASSERT_EQ(Run(mcp), ROW_CONTINUE);
  PresolveRecord merge, bound;
  RecordStack_Pop(MCP_PresolveStack(mcp), merge);
  RecordStack_Pop(MCP_PresolveStack(mcp), bound);
  EXPECT_EQ(merge.kind, PRESOLVE_KIND_ROW_DUPLICATE);
  EXPECT_EQ(merge.variable_index, 2);
  EXPECT_EQ(merge.second_index, 2);
  EXPECT_EQ(merge.value, -1.0);
  EXPECT_EQ(merge.old_lower, 0.0);
  EXPECT_EQ(merge.old_upper, 1.0);
  EXPECT_EQ(merge.level, 1);
  EXPECT_EQ(bound.kind, PRESOLVE_KIND_BOUND);
  EXPECT_EQ(bound.variable_index, 1);
  EXPECT_EQ(bound.second_index, 1);
  EXPECT_EQ(bound.value, 0.0);
  EXPECT_EQ(bound.old_lower, 0.0);
  EXPECT_EQ(bound.old_upper, 1.0);
  EXPECT_EQ(Lower(mcp)[0], -1.0);
  EXPECT_EQ(Upper(mcp)[0], 1.0);
}

TEST_F(RowDuplicatesTest, MergeAlwaysRecordsTheBoundsEvenWhenUnchanged) {
  // x2 starts at its upper bound 0 and is bounded above only; q = 1: the
  // bounds of x1, (-inf, 1], do not move, yet both records are pushed.
  MCP* mcp = Ready(Lcp({{0, 0, 1}, {0, 0, 1}, {-1, -1, 1}}, {-1, -1, 0}, {-kInf, -kInf, 0},
                       {1, 0, kInf}),
                   {}, 2);
  const int records = Records(mcp);
  ASSERT_EQ(Run(mcp), ROW_CONTINUE);
  EXPECT_EQ(dbd_, 1);
  EXPECT_EQ(dup_, 1);
  EXPECT_EQ(Records(mcp), records + 2);
  EXPECT_EQ(Top(mcp).kind, PRESOLVE_KIND_ROW_DUPLICATE);
  EXPECT_EQ(Lower(mcp)[0], -kInf);
  EXPECT_EQ(Upper(mcp)[0], 1.0);
  ExpectConsistent(mcp);
  EXPECT_TRUE(SolveRestAndPostsolve(mcp));
}

// Row 2 is 100 times row 1 (constant included), and so is column 2, so the
// pair is merged and the reduced problem keeps one of the two rows. The
// solver stops once that row is below the convergence tolerance; both rows
// must then be below it at the point returned as solved.
TEST_F(RowDuplicatesTest, ScaledDuplicateRowMeetsTheToleranceAtTheSolvedPoint) {
  const LinearProblem p = Lcp({{1e-4, 1e-2, 2e-3, 0, 0},
                               {1e-2, 1, 0.2, 0, 0},
                               {2e-3, 0.2, 2.7, 0.05, -0.6},
                               {0, 0, 0.05, 0.3, 0},
                               {0, 0, -0.6, 0, 2.5}},
                              {-5e-3, -0.5, -4.4, -0.36, 2.1}, {0, 0, 0, 0, 0},
                              {kInf, kInf, kInf, kInf, kInf}, "scaled duplicate");
  // Without the crash the Newton steps stop just below the tolerance.
  ASSERT_EQ(Options_Set(options(), "crash_method none"), OPTIONS_APPLIED);
  std::vector<double> z;
  ASSERT_EQ(SolveWhole(p, &z), TERMINATION_SOLVED);
  EXPECT_LE(ComplementarityViolation(p, z), 1e-6);
}

// The problem above with its pair rebuilt: row 2 is rho times row 1 and
// column 2 rho times column 1, constants included, so the rows and the
// columns agree in sign and the pair is merged whatever rho is. The smaller
// row of the pair is always the small row above (row 1 is scaled up when
// |rho| < 1), and x2 is bounded on the side that keeps F2 = rho F1 of the
// sign its bound asks for.
LinearProblem ScaledPair(double rho) {
  const double g = std::fabs(rho) < 1 ? 1 / std::fabs(rho) : 1;  // the scale of row 1
  const double d = 1e-4 * g * g, c = 2e-3 * g;
  return Lcp({{d, rho * d, c, 0, 0},
              {rho * d, rho * rho * d, rho * c, 0, 0},
              {c, rho * c, 2.7, 0.05, -0.6},
              {0, 0, 0.05, 0.3, 0},
              {0, 0, -0.6, 0, 2.5}},
             {-5e-3 * g, -5e-3 * g * rho, -4.4, -0.36, 2.1},
             {0, rho > 0 ? 0 : -kInf, 0, 0, 0}, {kInf, rho > 0 ? kInf : 0, kInf, kInf, kInf},
             "scaled pair");
}

// Each ratio is a test of its own, so every solve starts from the state the
// library has at load.
class RowDuplicatesScaleTest : public RowDuplicatesTest,
                               public ::testing::WithParamInterface<double> {
 protected:
  void ExpectFreePairWithinTolerance(bool x1_free, bool x2_free);
};

TEST_P(RowDuplicatesScaleTest, MergedPairMeetsTheToleranceInBothRows) {
  const LinearProblem p = ScaledPair(GetParam());
  ASSERT_EQ(Options_Set(options(), "crash_method none"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options(), "convergence_tolerance 1e-6"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options(), "output_presolve_level 2"), OPTIONS_APPLIED);
  std::vector<double> z;
  ASSERT_EQ(SolveWhole(p, &z), TERMINATION_SOLVED) << Log();
  EXPECT_TRUE(Logged("Duplicate Redundant Fixes Variables")) << Log();
  EXPECT_LE(ComplementarityViolation(p, z), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(RowRatios, RowDuplicatesScaleTest,
                         ::testing::Values(-100.0, -0.01, 0.01, 100.0));

// The pair above with x1, x2 or both free: F = 0 on a free variable's row,
// and so on its twin. The rule fixes one variable of the pair, whose row
// leaves the problem while the other row stays for the solver; both rows
// must be within the tolerance at the point returned as solved, whichever
// row is the larger.
void RowDuplicatesScaleTest::ExpectFreePairWithinTolerance(bool x1_free, bool x2_free) {
  LinearProblem p = ScaledPair(GetParam());
  if (x1_free) p.lower[0] = -kInf;
  if (x2_free) {
    p.lower[1] = -kInf;
    p.upper[1] = kInf;
  }
  ASSERT_EQ(Options_Set(options(), "crash_method none"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options(), "convergence_tolerance 1e-6"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options(), "output_presolve_level 2"), OPTIONS_APPLIED);
  std::vector<double> z;
  ASSERT_EQ(SolveWhole(p, &z), TERMINATION_SOLVED) << Log();
  EXPECT_LE(ComplementarityViolation(p, z), 1e-6) << Log();
}

TEST_P(RowDuplicatesScaleTest, PairWithTheFirstVariableFreeMeetsTheTolerance) {
  ExpectFreePairWithinTolerance(true, false);
}

TEST_P(RowDuplicatesScaleTest, PairWithTheSecondVariableFreeMeetsTheTolerance) {
  ExpectFreePairWithinTolerance(false, true);
}

TEST_P(RowDuplicatesScaleTest, PairOfFreeVariablesMeetsTheTolerance) {
  ExpectFreePairWithinTolerance(true, true);
}

// ---------------------------------------------------------------------------
// The parts of the rule on their own

TEST_F(RowDuplicatesTest, ColumnsAreProportionalOnlyRowForRow) {
  struct ColumnCase {
    const char* name;
    std::vector<std::vector<double>> m;  // columns 1 and 2 compared
    int result;
    double v_i, v_r;
  };
  const ColumnCase cases[] = {
      {"scaled", {{1, -2, 0, 0}, {0, 0, 1, 0}, {2, -4, 0, 1}, {0, 0, 0, 1}}, 1, 1, -2},
      {"equal except below the tolerance",
       {{1, 1, 0, 0}, {0, 1e-13, 1, 0}, {2, 2, 0, 1}, {0, 0, 0, 1}}, 1, 1, 1},
      {"ratio off", {{1, 1, 0, 0}, {0, 0, 1, 0}, {2, 2.001, 0, 1}, {0, 0, 0, 1}}, 0, 0, 0},
      {"column 2 has an extra row", {{1, 1, 0, 0}, {0, 1, 1, 0}, {2, 2, 0, 1}, {0, 0, 0, 1}}, 0,
       0, 0},
      {"column 1 has an extra row", {{1, 1, 0, 0}, {1, 0, 1, 0}, {2, 2, 0, 1}, {0, 0, 0, 1}}, 0,
       0, 0},
      {"column 2 empty", {{1, 0, 0, 0}, {0, 0, 1, 0}, {2, 0, 0, 1}, {0, 0, 0, 1}}, 0, 0, 0},
      // Row 4's variable is fixed: its entries do not count.
      {"a fixed row differs", {{1, 1, 0, 0}, {0, 0, 1, 0}, {2, 2, 0, 1}, {1, 7, 0, 1}}, 1, 1, 1},
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(c.name);
    MCP* mcp = Ready(Lcp(c.m, {0, 0, 0, 0}, {0, 0, 0, 1}, {kInf, kInf, kInf, 1}));
    // Stale values in the scratch vector must not matter.
    DenseVector_FillOne(Workspace_Vector(6), 4);
    double v_i = 0.0, v_r = 0.0;
    EXPECT_EQ(Row_DuplicateColumns(mcp, 1, &v_i, 2, &v_r), c.result);
    EXPECT_EQ(v_i, c.v_i);
    EXPECT_EQ(v_r, c.v_r);
  }
}

TEST_F(RowDuplicatesTest, PostsolveSplitsTheMergedValue) {
  // x1 in [0, 1] and x2 in [0, 2] merged with q = -2 and x2 fixed at 0.5:
  // the merged x1 ranged over [-3, 2].
  struct SplitCase {
    double y;         // the solver's value of the merged variable
    double x1, x2;    // after postsolve
  };
  const SplitCase cases[] = {
      {0.5, 0.5, 0.5},   // inside x1's bounds: x2 keeps its fixed value
      {2.0, 1.0, 0.0},   // beyond the upper bound: (2 - 1) / -2 moves x2 down
      {-1.0, 0.0, 1.0},  // below the lower bound: (-1 - 0) / -2 moves x2 up
      {-3.0, 0.0, 2.0},  // the merged lower bound: x2 at its upper bound
      {-4.0, 0.0, 2.0},  // beyond it: x2 stops at its bound
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.y);
    MCP* mcp = Ready(Lcp({{1, -2}, {3, 1}}, {0, 0}, {0, 0}, {1, 2}));
    for (int j : {1, 2}) {
      DenseVector_SetValue(MCP_FullLower(mcp), j, j == 1 ? -3.0 : 0.5);
      DenseVector_SetValue(MCP_FullUpper(mcp), j, j == 1 ? 2.0 : 0.5);
    }
    Presolve_SetValue(mcp, 1, c.y);
    Presolve_SetValue(mcp, 2, 0.5);
    const PresolveRecord first = {0.0, 1.0, 0.0, 1, 1, 1, PRESOLVE_KIND_BOUND};
    const PresolveRecord second = {0.0, 2.0, -2.0, 2, 2, 1, PRESOLVE_KIND_ROW_DUPLICATE};
    Row_PostsolveDuplicate(mcp, first, second);
    EXPECT_EQ(X(mcp)[0], c.x1);
    EXPECT_EQ(X(mcp)[1], c.x2);
    EXPECT_EQ(Lower(mcp), (std::vector<double>{0, 0}));
    EXPECT_EQ(Upper(mcp), (std::vector<double>{1, 2}));
    ExpectFCurrent(mcp);
  }
}

// ---------------------------------------------------------------------------
// Random small problems with planted duplicate rows and columns

// A random LCP of n variables with small integer entries in which row r is
// s times row i (constant included or shifted) and, often, column r is t
// times column i, with bounds of every kind.
DenseLcp Planted(std::mt19937& rng, int n) {
  std::uniform_int_distribution<int> coef(-2, 2), pick(0, n - 1), coin(0, 1), kind(0, 4);
  const double factors[] = {-2, -1, 1, 2};
  DenseLcp p;
  p.n = n;
  p.m.assign(n * n, 0.0);
  p.q.assign(n, 0.0);
  for (double& a : p.m) a = coin(rng) ? coef(rng) : 0.0;
  for (double& b : p.q) b = coef(rng);
  const int i = pick(rng);
  int r = pick(rng);
  if (r == i) r = (i + 1) % n;
  if (coin(rng)) {
    const double t = factors[pick(rng) % 4];
    for (int k = 0; k < n; ++k) p.m[k * n + r] = t * p.m[k * n + i];
  }
  const double s = factors[pick(rng) % 4];
  for (int k = 0; k < n; ++k) p.m[r * n + k] = s * p.m[i * n + k];
  p.q[r] = s * p.q[i] + (coin(rng) ? 0.0 : coef(rng));
  for (int k = 0; k < n; ++k) {
    const double lows[] = {0, -kInf, -kInf, -1, 0};
    const double ups[] = {kInf, kInf, 0, 1, 2};
    const int b = kind(rng);
    p.l.push_back(lows[b]);
    p.u.push_back(ups[b]);
  }
  return p;
}

LinearProblem AsLcp(const DenseLcp& d) {
  std::vector<std::vector<double>> rows(d.n);
  for (int i = 0; i < d.n; ++i) rows[i].assign(d.m.begin() + i * d.n, d.m.begin() + (i + 1) * d.n);
  return Lcp(rows, d.q, d.l, d.u);
}

TEST_F(RowDuplicatesTest, PlantedDuplicatesNeverLoseASolution) {
  std::mt19937 rng(20261211);
  int reduced = 0, merged = 0, infeasible = 0, solved = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    SCOPED_TRACE(trial);
    const DenseLcp d = Planted(rng, 5);
    MCP* mcp = Ready(AsLcp(d));
    const int status = Run(mcp);
    const bool solvable = !BruteForce(original_).empty();
    if (status == ROW_INFEASIBLE) {
      ++infeasible;
      EXPECT_FALSE(solvable);
      continue;
    }
    ASSERT_EQ(status, ROW_CONTINUE);
    ExpectConsistent(mcp);
    if (dup_ + dbd_ > 0) ++reduced;
    if (dbd_ > 0) ++merged;
    // What is left keeps a solution whenever the original had one at a
    // vertex, and postsolve turns it into a solution of the original.
    if (solvable && dup_ + dbd_ > 0) {
      EXPECT_TRUE(SolveRestAndPostsolve(mcp));
      ++solved;
    }
    if (HasFailure()) break;
  }
  // The planted pairs reach every branch often enough to matter.
  EXPECT_GT(reduced, 300);
  EXPECT_GT(merged, 50);
  EXPECT_GT(infeasible, 40);
  EXPECT_GT(solved, 100);
}

// Many rows, few of them duplicates: the groups form by pattern, whatever
// the hash buckets share.
TEST_F(RowDuplicatesTest, OnlyRowsOfOnePatternAreCompared) {
  const int n = 400;
  std::vector<std::vector<double>> rows(n, std::vector<double>(n, 0.0));
  for (int i = 0; i < n; ++i) {
    rows[i][i] = 4;
    rows[i][(i * 7 + 1) % n] += 1;
    rows[i][(i * 13 + 5) % n] -= 1;
  }
  // Rows 100 and 300 copy row 17 (scaled); row 5 has row 17's columns with
  // other ratios.
  for (int j = 0; j < n; ++j) {
    rows[99][j] = 2 * rows[16][j];
    rows[299][j] = -rows[16][j];
    rows[4][j] = rows[16][j] == 0 ? 0 : rows[16][j] + (j % 2 == 0 ? 1 : 3);
  }
  // Boxed variables and constants that are not proportional: the rule
  // changes nothing, so every pair of the group is compared.
  std::vector<double> q(n, -1.0), l(n, 0.0), u(n, 1.0);
  MCP* mcp = Ready(Lcp(rows, q, l, u), {}, 2);
  EXPECT_EQ(Run(mcp), ROW_CONTINUE);
  EXPECT_EQ(dup_ + dbd_, 0);
  // Row 5 is the group's first row: it meets 17, 100 and 300 and matches
  // none; then 17 meets 100 and 300, and 100 meets 300.
  EXPECT_EQ(Checks(Log()), 3) << Log();
  EXPECT_TRUE(Logged(CheckLine(17, 100))) << Log();
  EXPECT_TRUE(Logged(CheckLine(17, 300))) << Log();
  EXPECT_TRUE(Logged(CheckLine(100, 300))) << Log();
}

}  // namespace
