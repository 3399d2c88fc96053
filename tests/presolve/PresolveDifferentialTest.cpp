// Presolve on against presolve off on thousands of small random box LCPs
// with small-integer data (exact ties, rows at their activity bounds,
// duplicate rows, fixed, free, one-sided and boxed variables), each solved
// whole through Sarn_Solve with the presolve's invariant check on:
//  - every point reported solved passes the check against the problem,
//  - the caller's bounds come back bit for bit,
//  - a problem the presolve calls infeasible has no solution (the
//    brute-force enumerator decides),
//  - every problem with a diagonally dominant M (one solution) is solved,
//  - on problems made of independent small row blocks with duplicate rows
//    injected, the presolve never ends a solve as "cannot handle".
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fixtures/BoxLCP.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "RowHarness.hpp"
#include "presolve/WholeSolveRig.hpp"
#include "solver/Information.hpp"

namespace {

constexpr double kTolerance = 1e-6;

struct Outcome {
  int code = 0;
  std::vector<double> z, lower, upper;
  bool reduced = false;  // the presolve changed the problem
};

class PresolveDifferentialTest : public WholeSolveRig {
 protected:
  Outcome Solve(const LinearProblem& p, bool presolve) {
    PresolveSwitches on;
    on.presolve = presolve;
    return Solve(p, on, {});
  }

  Outcome Solve(const LinearProblem& p, const PresolveSwitches& with,
                const std::vector<int>& row_types) {
    ProblemAdapter adapter(AsNonlinear(p));
    adapter.AllowPresolve(true, row_types);
    const WholeSolve solve = SolveRecord(&adapter, with);
    Outcome out;
    if (!solve.error.empty()) {
      ADD_FAILURE() << p.name << ": " << solve.error << solve.log;
      return out;
    }
    out.code = solve.code;
    out.z = solve.z;
    const double* lower = DenseVector_Array(MCP_FullLower(adapter.mcp()));
    const double* upper = DenseVector_Array(MCP_FullUpper(adapter.mcp()));
    out.lower.assign(lower, lower + p.n);
    out.upper.assign(upper, upper + p.n);
    out.reduced = PresolveReduced(solve.log);
    return out;
  }
};

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// One problem both ways; counts the solves that presolve lost or won.
struct Tally {
  int solved_on = 0, solved_off = 0, infeasible_on = 0, lost = 0, reduced = 0;
};

void Compare(PresolveDifferentialTest* test, const LinearProblem& p, Tally* tally,
             const Outcome& on, const Outcome& off) {
  (void)test;
  SCOPED_TRACE(p.name);
  EXPECT_TRUE(SameBits(on.lower, p.lower) && SameBits(on.upper, p.upper))
      << "bounds not restored";
  if (on.code == TERMINATION_SOLVED) {
    tally->solved_on += 1;
    EXPECT_LE(ComplementarityViolation(p, on.z), kTolerance) << "solved with presolve";
  }
  if (off.code == TERMINATION_SOLVED) {
    tally->solved_off += 1;
    EXPECT_LE(ComplementarityViolation(p, off.z), kTolerance) << "solved without presolve";
  }
  if (on.code == TERMINATION_INFEASIBLE_BOUNDS) {
    tally->infeasible_on += 1;
    const BoxLCPEnumeration e = EnumerateBoxLCP(p);
    EXPECT_NE(e.verdict, BoxLCPVerdict::kSolvable) << "presolve called a solvable problem infeasible";
    EXPECT_NE(off.code, TERMINATION_SOLVED) << "presolve called a solved problem infeasible";
  }
  if (off.code == TERMINATION_SOLVED && on.code != TERMINATION_SOLVED) tally->lost += 1;
  if (on.reduced) tally->reduced += 1;
}

TEST_F(PresolveDifferentialTest, RandomBoxLCPsAgreeWithAndWithoutPresolve) {
  constexpr std::uint32_t kProblems = 3000;
  Tally tally;
  for (std::uint32_t seed = 1; seed <= kProblems; ++seed) {
    const LinearProblem p = RandomBoxLCP(seed);
    const Outcome on = Solve(p, true);
    const Outcome off = Solve(p, false);
    Compare(this, p, &tally, on, off);
    if (HasFailure()) break;
  }
  RecordProperty("solved_with_presolve", tally.solved_on);
  RecordProperty("solved_without_presolve", tally.solved_off);
  std::printf("reduced %d; solved with presolve %d, without %d; infeasible by presolve %d; "
              "lost %d\n",
              tally.reduced, tally.solved_on, tally.solved_off, tally.infeasible_on, tally.lost);
  // The problems must exercise the presolve.
  EXPECT_GT(tally.reduced, static_cast<int>(kProblems) / 4);
  EXPECT_GT(tally.infeasible_on, 0);
}

// Convex QPs in optimality form with their rows classed, so that the
// implied and recursive bound rounds run too, in every combination of
// their switches.
TEST_F(PresolveDifferentialTest, ClassedQPsAgreeWithAndWithoutTheBoundRounds) {
  Tally tally;
  int implied = 0;
  for (std::uint32_t seed = 1; seed <= 800; ++seed) {
    const ClassedLCP c = RandomQPKKT(seed);
    const Outcome off = Solve(c.problem, false);
    for (const bool recursive : {true, false}) {
      for (const bool tighten : {false, true}) {
        SCOPED_TRACE(testing::Message() << "recursive " << recursive << " tighten " << tighten);
        PresolveSwitches with;
        with.implied = true;
        with.recursive = recursive;
        with.tighten = tighten;
        const Outcome on = Solve(c.problem, with, c.row_types);
        if (output()->log().find("Implied:") != std::string::npos) implied += 1;
        Compare(this, c.problem, &tally, on, off);
      }
    }
    if (HasFailure()) break;
  }
  std::printf("implied rounds changed %d; solved with presolve %d, without %d; infeasible by "
              "presolve %d; lost %d\n",
              implied, tally.solved_on, tally.solved_off, tally.infeasible_on, tally.lost);
  EXPECT_GT(implied, 0);
}

// Rows classed at random, on random box LCPs and on QPs in optimality
// form: the bound rounds use only the classes the problem's shape bears
// out, so that they never fix a variable wrongly (the solve would end
// unsolved, the residual of the whole problem above the tolerance) nor call
// a solvable problem infeasible (trusting every class, about one such
// problem in forty came out one way or the other).
TEST_F(PresolveDifferentialTest, RandomRowClassesNeverMisleadTheBoundRounds) {
  int implied = 0;
  for (std::uint32_t seed = 1; seed <= 2000; ++seed) {
    std::mt19937 rng(seed);
    ClassedLCP c;
    if (seed % 2 == 0) {
      c = RandomQPKKT(seed);
    } else {
      c.problem = RandomBoxLCP(seed);
      c.row_types.resize(c.problem.n);
    }
    for (int& type : c.row_types) type = static_cast<int>(rng() % 3) - 1;
    SCOPED_TRACE(c.problem.name);
    PresolveSwitches with;
    with.implied = true;
    const Outcome on = Solve(c.problem, with, c.row_types);
    const std::string& log = output()->log();
    if (log.find("Implied:") != std::string::npos) implied += 1;
    EXPECT_EQ(log.find("Residual of the whole problem"), std::string::npos) << log;
    if (on.code == TERMINATION_INFEASIBLE_BOUNDS) {
      EXPECT_NE(EnumerateBoxLCP(c.problem).verdict, BoxLCPVerdict::kSolvable) << log;
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(implied, 0);
}

TEST_F(PresolveDifferentialTest, DiagonallyDominantProblemsAreAlwaysSolved) {
  BoxLCPShape shape;
  shape.diagonally_dominant = true;
  for (std::uint32_t seed = 1; seed <= 1000; ++seed) {
    const LinearProblem p = RandomBoxLCP(seed, shape);
    SCOPED_TRACE(p.name);
    for (const bool presolve : {true, false}) {
      const Outcome out = Solve(p, presolve);
      EXPECT_EQ(out.code, TERMINATION_SOLVED) << "presolve " << presolve;
      EXPECT_LE(ComplementarityViolation(p, out.z), kTolerance) << "presolve " << presolve;
      EXPECT_TRUE(SameBits(out.lower, p.lower) && SameBits(out.upper, p.upper));
    }
    if (HasFailure()) break;
  }
}

// Problems made of independent one-, two- and three-row blocks, a coupled
// part and injected duplicate rows: what the row presolve's rules are made
// for.
TEST_F(PresolveDifferentialTest, RowBlockProblemsAgreeWithAndWithoutPresolve) {
  constexpr std::uint32_t kProblems = 1500;
  Tally tally;
  int other = 0;
  for (std::uint32_t seed = 1; seed <= kProblems; ++seed) {
    const LinearProblem p = RandomRowBlockLCP(seed);
    const Outcome on = Solve(p, true);
    const Outcome off = Solve(p, false);
    Compare(this, p, &tally, on, off);
    if (on.code == TERMINATION_OTHER) other += 1;
    EXPECT_NE(on.code, TERMINATION_OTHER) << p.name << "\n" << output()->log();
    if (HasFailure()) break;
  }
  std::printf("row blocks: reduced %d; solved with presolve %d, without %d; infeasible by "
              "presolve %d; lost %d; other error %d\n",
              tally.reduced, tally.solved_on, tally.solved_off, tally.infeasible_on, tally.lost,
              other);
  EXPECT_EQ(other, 0);
}

}  // namespace
