// Small LCPs on which each rule of the row presolve fires in a known way
// (forcing rows, one-, two- and three-row blocks, duplicate rows), run
// through the row presolve harness: the lines each should print, the
// status, the point that comes back, and the same results under other trace
// levels, with the implied-point projection off, under renumbering, and
// through whole solves.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "RowHarness.hpp"
#include "presolve/PresolveOptions.hpp"
#include "solver/Information.hpp"

namespace {

constexpr double I = kInf;


struct RowFixture {
  const char* id;
  std::vector<std::vector<double>> rows;  // M by rows
  std::vector<double> q, lower, upper;
  std::vector<double> start;              // empty: 0
  int status;                             // of the row pass
  std::vector<std::string> lines;         // printed at output_presolve_level 2; for an
                                          // infeasible problem its report comes last
  std::vector<std::string> absent;        // never printed
  std::vector<double> solution;           // the point that comes back; empty: any valid one
  bool unique;                            // the problem has exactly this one solution
  bool whole_solve = true;                // the whole solve is expected to find a point
};

LinearProblem ProblemOf(const RowFixture& f) {
  LinearProblem p = Lcp(f.rows, f.q, f.lower, f.upper, f.id);
  if (f.unique) p.solution = f.solution;
  p.solvable = f.status != MCP_INFEASIBLE;
  return p;
}

const std::vector<double> kZero3 = {0, 0, 0};

std::vector<RowFixture> Fixtures() {
  const std::vector<std::vector<double>> b = {{2, 1, 0}, {1, 2, 0}, {1, 0, -1}};
  const std::vector<std::vector<double>> e2 = {
      {0, 0, 1, -1}, {0, 0, 1, -1}, {1, 1, 1, 1}, {1, -1, 1, -1}};
  return {
      {"A",
       {{0, 1, 1, 1}, {-1, 0, -1, 0}, {0, 0, 2, 1}, {0, 0, 1, 2}},
       {1, -2, -1, -1}, {0, 0, 0, 0}, {I, 5, I, I}, {},
       MCP_CONTINUE,
       {"Force Row Lower Fixes Variables", "Force Row Upper Fixes Variables",
        "Force Lev:  1 Pas:  1 Fix:    2", "TwoRowCol Fixes Variables"},
       {},
       {0, 5, 1.0 / 3, 1.0 / 3}, true},
      {"A0", {{0}}, {1}, {-I}, {0}, {},
       MCP_INFEASIBLE, {"Force Row Zero Infeasible\n     f[    1]\n"}, {}, {}, false},
      {"B", b, {-2, -2.5, 1}, {0, 0, 0}, {I, I, 2}, {},
       MCP_CONTINUE, {"TwoRow Unique Fixes Variables", "OneRowCol Fixes Variables"}, {},
       {0.5, 1, 0}, false},
      {"B tie", b, {-2, -2.5, 1}, {0, 0, 0}, {I, I, 2}, {0, 0, 1.75},
       MCP_CONTINUE, {"TwoRow Unique Fixes Variables", "OneRowCol Fixes Variables"}, {},
       {0.5, 1, 1.5}, false},
      {"B'",
       {{2, 1, 0, 0}, {1, 2, 0, 0}, {1, 0, -1, 0}, {0, 0, 1, 1}},
       {-2, -2.5, 1, -1}, {0, 0, 0, 0}, {I, I, 2, I}, {},
       MCP_CONTINUE,
       {"OneRow (f[    3]): Antitone: (x[    3]) has 3 solutions.", "TwoRowCol Fixes Variables"},
       {},
       {0.5, 1, 1.5, 0}, false},
      {"C", {{1, -1, 0}, {1, 0, 0}, {0, 1, 1}}, {2, 0, -1}, {0, 0, 0}, {I, 5, I}, {},
       MCP_CONTINUE,
       {"TwoRow y Range Bounds Variables", "TwoRow x Lower Fixes Variables",
        "TwoRowCol Fixes Variables"},
       {},
       {0, 1, 0}, false},
      {"T", {{-1, 0}, {1, 0}}, {1, -0.5}, {0, -I}, {2, I}, {},
       MCP_INFEASIBLE,
       {"Force Row One Implies Variables", "TwoRowInfeasible\n     f[    2]\n     f[    1]\n"},
       {},
       {}, false},
      {"D1", {{4, -1, 0}, {-1, 4, -1}, {0, -1, 4}}, {2, -3, -3}, kZero3, {I, I, I}, {},
       MCP_CONTINUE, {"ThrRow Coherent Fixes Variables"}, {}, {0, 1, 1}, true},
      {"D2",
       {{1, 0, 1, 0}, {0, 1, -1, 0}, {1, 1, 1, 0}, {1, 0, 0, 1}},
       {-1, 0, -2, -1}, {0, 0, -I, 0}, {I, I, I, I}, {},
       MCP_CONTINUE, {"ThrRowEqn x Lower Fixes Variables", "OneRow Unique Fixes Variables"}, {},
       {0, 1, 1, 1}, true},
      {"D2 closed", {{1, 0, 1}, {0, 1, -1}, {1, 1, 1}}, {-1, 0, -2}, {0, 0, -I}, {I, I, I}, {},
       MCP_CONTINUE, {"ThrRowEqnCol Fixes Variables"}, {}, {0, 1, 1}, true},
      {"D3", {{1, 1, 1}, {-1, 0, 1}, {0, 1, 0}}, {-3, 0, -1}, {0, -I, -I}, {I, I, I}, {},
       MCP_CONTINUE,
       {"Force Row One Implies Variables", "ThrRowEqnTwo Unique Fixes Variables"}, {},
       {1, 1, 1}, true},
      {"D4", {{0, 0, 1}, {0, 0, 1}, {1, 1, 1}}, {-2, -2, -1}, {-I, -I, 0}, {I, I, I}, {},
       MCP_CONTINUE, {"ThrRowEqnZer Col Fixes Variables"}, {}, {0, -1, 2}, false},
      {"E1",
       {{0, 0, 1, 1}, {0, 0, 2, 2}, {-1, -1, 1, 0}, {-1, -1, 0, 1}},
       {-3, -6, 0, 0}, {0, 0, 0, 0}, {1, 1, I, I}, {},
       MCP_CONTINUE,
       {"Duplicate Redundant Bounds Variables", "Duplicate Redundant Fixes Variables"}, {},
       {0.5, 1, 1.5, 1.5}, false},
      {"E2", e2, {1, 0, -2, 0}, {0, -I, -I, -I}, {I, I, I, I}, {},
       MCP_CONTINUE,
       {"DuplicateRow Lower Fixes Variables", "ThrRowEqnCol Fixes Variables"}, {},
       {0, 0, 1, 1}, true},
      {"E3", e2, {-1, -0.5, -2, 0}, {0, -I, -I, -I}, {I, 0, I, I}, {},
       MCP_INFEASIBLE, {"DuplicateRows Implied\n     f[    1]\n     f[    2]\n"}, {}, {}, false},
      // An empty column and a duplicate row whose variable is unbounded on
      // the side it would be fixed at: nothing may be fixed at an infinite
      // value, and the problem stays solvable.
      {"E4",
       {{0, 0, 1, -1, 0}, {0, 0, 1, -1, 0}, {1, 0, 1, 1, 1}, {1, 0, 1, 0, -1}, {0, 0, 0, 1, 1}},
       {0, 0, -2, 0, -1}, {0, -I, -I, -I, -I}, {I, 5, I, I, I}, {},
       MCP_CONTINUE, {}, {"Infinite Value", "DuplicateRow ZeroCol"}, {}, false},
      // The one root of a row lies beyond infinity (1e22): no rule may fix
      // the variable there or end the solve; the row is left alone.
      {"F3 one row", {{1e-10}}, {-1e12}, {0}, {I}, {},
       MCP_CONTINUE, {}, {"Fixes Variables", "Infinite Value"}, {}, false, false},
      // The same in a two-row and a three-row block: (1e22, 0) and
      // (1e22, 0, 0) are their solutions.
      {"F3 two rows", {{1e-10, 1e-10}, {1, 2}}, {-1e12, -1}, {0, 0}, {I, I}, {},
       MCP_CONTINUE, {}, {"Infinite Value"}, {}, false, false},
      {"F3 three rows", {{1e-10, 1e-10, 1e-10}, {1, 2, 1}, {1, 1, 2}}, {-1e12, -1, -1}, {0, 0, 0},
       {I, I, I}, {},
       MCP_CONTINUE, {}, {"Infinite Value"}, {}, false, false},
  };
}

class RowFixturesTest : public RowHarness {
 protected:
  RowRun Run(const RowFixture& f, RowSettings settings = RowSettings()) {
    if (settings.start.empty()) settings.start = f.start;
    return RunRows(ProblemOf(f), settings);
  }
};

bool Near(const std::vector<double>& a, const std::vector<double>& b, double tol) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (std::fabs(a[k] - b[k]) > tol) return false;
  }
  return true;
}

// The table's own claims, checked on the problems before any presolve.
TEST_F(RowFixturesTest, ExpectationsHoldOnTheProblemsThemselves) {
  for (const RowFixture& f : Fixtures()) {
    SCOPED_TRACE(f.id);
    const LinearProblem p = ProblemOf(f);
    const BoxLCPVerdict verdict = VerdictOf(p);
    if (f.status == MCP_INFEASIBLE) {
      EXPECT_EQ(verdict, BoxLCPVerdict::kInfeasible);
      continue;
    }
    EXPECT_EQ(verdict, BoxLCPVerdict::kSolvable);
    if (!f.solution.empty()) {
      EXPECT_LE(ComplementarityViolation(p, f.solution), 1e-12);
    }
    if (f.unique) {
      const EnumeratedSolutions all = EnumerateSolutions(p, p.lower, p.upper, 5);
      EXPECT_EQ(all.points.size(), 1u);
    }
  }
}

TEST_F(RowFixturesTest, EachRulePrintsItsLinesAndThePointSolvesTheProblem) {
  for (const RowFixture& f : Fixtures()) {
    SCOPED_TRACE(f.id);
    const RowRun run = Run(f);
    EXPECT_TRUE(run.faults.empty()) << Describe(run);
    EXPECT_EQ(run.status, f.status) << Describe(run);
    for (const std::string& line : f.lines) {
      EXPECT_NE(run.log.find(line), std::string::npos) << "missing: " << line << "\n" << run.log;
    }
    for (const std::string& text : f.absent) {
      EXPECT_EQ(run.log.find(text), std::string::npos) << "printed: " << text << "\n" << run.log;
    }
    if (!f.solution.empty() && f.status == MCP_CONTINUE) {
      ASSERT_FALSE(run.postsolved.empty()) << Describe(run);
      EXPECT_TRUE(Near(run.postsolved.front(), f.solution, 1e-9)) << Describe(run);
    }
  }
}

// The trace level changes what is printed, never what is reduced; at -1
// the rules print nothing at all.
TEST_F(RowFixturesTest, TraceLevelsReduceAlike) {
  for (const RowFixture& f : Fixtures()) {
    SCOPED_TRACE(f.id);
    const RowRun base = Run(f);
    for (const int level : {-1, 0, 1, 3}) {
      RowSettings settings;
      settings.trace_level = level;
      const RowRun run = Run(f, settings);
      SCOPED_TRACE(level);
      EXPECT_TRUE(run.faults.empty()) << Describe(run);
      EXPECT_EQ(run.status, base.status);
      EXPECT_EQ(run.lower, base.lower);
      EXPECT_EQ(run.upper, base.upper);
      if (level < 2) {
        EXPECT_EQ(run.log.find("Fixes Variables"), std::string::npos) << run.log;
      }
      // The infeasibility report (the last lines listed; level 3 prints
      // the rows between its names) is printed from level 0 on.
      if (f.status == MCP_INFEASIBLE) {
        const std::string& report = f.lines.back();
        const std::string heading = report.substr(0, report.find('\n'));
        EXPECT_EQ(run.log.find(level == 3 ? heading : report) != std::string::npos, level >= 0)
            << run.log;
      }
    }
  }
}

TEST_F(RowFixturesTest, WithoutProjectingTheImpliedPointEveryResultStillSolves) {
  for (const RowFixture& f : Fixtures()) {
    SCOPED_TRACE(f.id);
    RowSettings settings;
    settings.project_implied = false;
    const RowRun run = Run(f, settings);
    EXPECT_TRUE(run.faults.empty()) << Describe(run);
    EXPECT_EQ(run.status, f.status) << Describe(run);
  }
}

// Renumbered problems (P M P'): the rules may fire in another order, but
// the verdict and the soundness of every point stay.
TEST_F(RowFixturesTest, RenumberedFixturesKeepTheirVerdict) {
  for (const RowFixture& f : Fixtures()) {
    const int n = static_cast<int>(f.q.size());
    std::vector<int> reverse(n), rotate(n);
    std::iota(reverse.rbegin(), reverse.rend(), 0);
    for (int k = 0; k < n; ++k) rotate[k] = (k + 1) % n;
    for (const auto& perm : {reverse, rotate}) {
      SCOPED_TRACE(testing::Message() << f.id << " perm " << perm.front());
      RowSettings settings;
      if (!f.start.empty()) {
        for (int k = 0; k < n; ++k) settings.start.push_back(f.start[perm[k]]);
      }
      const RowRun run = RunRows(PermuteProblem(ProblemOf(f), perm), settings);
      EXPECT_TRUE(run.faults.empty()) << Describe(run);
      EXPECT_EQ(run.status, f.status) << Describe(run);
    }
  }
}

// The whole solve with the presolve on and off: the column-side rules may
// act first, so only the outcome is checked.
TEST_F(RowFixturesTest, WholeSolvesAgreeWithAndWithoutPresolve) {
  for (const RowFixture& f : Fixtures()) {
    const LinearProblem p = ProblemOf(f);
    for (const bool presolve : {true, false}) {
      SCOPED_TRACE(testing::Message() << f.id << " presolve " << presolve);
      Options_Default(options());
      Presolve_OptionTable[PRESOLVE].bool_value = presolve ? 1 : 0;
      std::vector<double> z;
      int code = 0;
      try {
        code = SolveWhole(p, &z);
      } catch (const SolverErrorException& error) {
        ADD_FAILURE() << error.what() << "\n" << Log();
        continue;
      }
      if (f.status == MCP_INFEASIBLE) {
        EXPECT_NE(code, TERMINATION_SOLVED);
      } else if (f.whole_solve || code == TERMINATION_SOLVED) {
        EXPECT_EQ(code, TERMINATION_SOLVED) << Log();
        EXPECT_LE(ComplementarityViolation(p, z), 1e-6);
      }
    }
  }
}

// A three-row block fixes x3 at 2 up to rounding (2 + 4e-16); row 4,
// F4 = -4000 x3 + 8000 with x4 free and its column empty, would be left
// with the constant -1.8e-12, beyond the absolute zero tolerance, and the
// one-row rule would call the problem infeasible, although (1, -1, 2, any
// x4) solves it. A row value that cancels to the rounding of its terms is
// 0, so the row vanishes and the solve succeeds.
TEST_F(RowFixturesTest, RoundingInAFixedValueIsNoInfeasibility) {
  const LinearProblem p =
      Lcp({{0.4, 0.3, 0, 0}, {0, 0.004, -0.002, 0}, {-3, 1, 5, 0}, {0, 0, -4000, 0}},
          {-0.1, 0.007, -6, 8000}, {0, -I, 1, -I}, {I, -1, 3, I}, "rounding");
  ASSERT_EQ(VerdictOf(p), BoxLCPVerdict::kSolvable);
  const RowRun run = RunRows(p);
  EXPECT_TRUE(run.faults.empty()) << Describe(run);
  EXPECT_EQ(run.status, MCP_CONTINUE);
  std::vector<double> z;
  EXPECT_EQ(SolveWhole(p, &z), TERMINATION_SOLVED) << Log();
}

}  // namespace
