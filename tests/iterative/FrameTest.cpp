// The frame every solver shares: the summary, the log lines, the iteration
// limit, the guarded start, the preconditioner's lifecycle and sides, the
// interrupt, the argument checks and the stopping policy (relative to the
// problem's own scale, no NaN out of a guard).
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "IterativeHarness.hpp"
#include "core/Interrupt.hpp"
#include "core/Workspace.hpp"
#include "iterative/CG.hpp"
#include "iterative/GMRES.hpp"

namespace ittest {
namespace {

class FrameTest : public IterativeTest {};

int Count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// ---------------------------------------------------------------------------
// Summary and helpers

TEST_F(FrameTest, SummaryNamesEachTerminationCode) {
  const struct {
    std::int32_t code;
    const char* line;
  } cases[] = {
      {0, "Termination         : Solved to tolerances.\n"},
      {1, "Termination         : Iteration limit.\n"},
      {2, "Termination         : No progress.\n"},
      {3, "Termination         : Error reported.\n"},
      {7, "Termination         : Error reported.\n"},
  };
  for (const auto& c : cases) {
    output()->Clear();
    Iterative_Params p = DefaultParams();
    p.iterations = 42;
    p.absolute_residual = 1.5e-3;
    p.relative_residual = 2.25e-9;
    p.termination = c.code;
    Iterative_Summary(&p);
    EXPECT_EQ(output()->log(), std::string("Iterative Method Summary.\n"
                                           "Iterations          : 42\n"
                                           "Absolute Residual   : 1.5000e-03\n"
                                           "Relative Residual   : 2.2500e-09\n") +
                                   c.line);
  }
}

TEST_F(FrameTest, SafeHypotIsZeroOnlyForTwoZeros) {
  const double tiny = 1e-300;
  const struct {
    double a, b, expected;
  } cases[] = {
      {0.0, 0.0, 0.0},
      {3.0, -4.0, 5.0},
      {-0.0, 2.0, 2.0},
      {tiny, tiny, tiny * std::sqrt(2.0)},  // far below machine epsilon, not 0
      {1e-20, 0.0, 1e-20},
      {1e200, 1e200, 1e200 * std::sqrt(2.0)},  // no overflow
      {std::numeric_limits<double>::infinity(), 1.0, std::numeric_limits<double>::infinity()},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(Iterative_SafeHypot(c.a, c.b), c.expected) << c.a << ", " << c.b;
  }
}

// ---------------------------------------------------------------------------
// Log lines, limits and starts

// A 250-step run logs after steps 1, 101 and 201, in each solver's format.
TEST_F(FrameTest, LogsAfterStepsOneHundredOneAndTwoHundredOne) {
  System s = Tridiagonal(256, -1.0, 2.0, -1.0);
  for (int i = 0; i < 256; ++i) s.b[i] = 1.0 + i;
  for (const Solver& solver : AllSolvers()) {
    SCOPED_TRACE(solver.name);
    output()->Clear();
    Iterative_Params p = DefaultParams();
    p.iteration_limit = 250;
    p.tolerance = 0.0;
    const Outcome out = Run(solver, s, p);
    EXPECT_EQ(out.params.termination, ITERATIVE_ITERATION_LIMIT);
    EXPECT_EQ(out.params.iterations, 250);
    const std::string name = solver.name;
    const std::string log = "\n" + output()->log();
    EXPECT_EQ(Count(log, "\n" + name + " "), 3) << log;
    for (int k : {1, 101, 201}) {
      const std::string head = "\n" + name + " " + std::to_string(k) + ": ";
      const size_t at = log.find(head);
      ASSERT_NE(at, std::string::npos) << head;
      // "%5.4e" for the ratio, and "(%5.4e)" for the norm where there is one.
      const std::string line = log.substr(at + head.size(), log.find('\n', at + 1) - at - head.size());
      const bool two_values = name != "CG" && name != "CR" && name != "LSQR";
      EXPECT_EQ(line.size(), two_values ? 10u + 12u : 10u) << line;
      EXPECT_EQ(line[1], '.');
      EXPECT_EQ(line[6], 'e');
      if (two_values) {
        EXPECT_EQ(line[10], '(');
        EXPECT_EQ(line.back(), ')');
      }
    }
  }
}

// Limit 0: the solvers that test the limit first do no step, the others one.
TEST_F(FrameTest, LimitZeroStopsBeforeOrAfterTheFirstStep) {
  const System s = Tridiagonal(10, -1.0, 2.0, -1.0);
  for (const Solver& solver : AllSolvers()) {
    SCOPED_TRACE(solver.name);
    Iterative_Params p = DefaultParams();
    p.iteration_limit = 0;
    const Outcome out = Run(solver, s, p);
    EXPECT_EQ(out.params.termination, ITERATIVE_ITERATION_LIMIT);
    EXPECT_EQ(out.params.iterations, solver.limit_before_step ? 0 : 1);
  }
}

// A start whose residual is already below 1e-8 of ||b|| ends after no step
// (LSQR has no such test and polishes it).
TEST_F(FrameTest, StartThatAlreadySolvesTakesNoStep) {
  const System s = ConvectionDiffusion(10, 0.2);
  Values start = SolveGeneral(s.A, s.b);
  for (double& v : start) v *= 1.0 + 1e-11;
  for (const Solver& solver : AllSolvers()) {
    SCOPED_TRACE(solver.name);
    Iterative_Params p = DefaultParams();
    p.tolerance = 1e-8;
    p.start_from_x = 1;
    const Outcome out = Run(solver, s, p, nullptr, start);
    EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
    if (std::string(solver.name) == "LSQR") {
      EXPECT_GE(out.params.iterations, 1);
    } else {
      EXPECT_EQ(out.params.iterations, 0);
      EXPECT_EQ(out.x, start);
    }
  }
}

// start_from_x 0 overwrites x (of any length, given the room) with zeros
// before the solve; DLSQR included.
TEST_F(FrameTest, ZeroStartIgnoresTheCallersX) {
  const System s = Diagonal({2.0, 4.0});
  for (const Solver& solver : AllSolvers()) {
    SCOPED_TRACE(solver.name);
    Matrix A(s.A);
    Vector b(s.b);
    Vector x(Values{std::nan(""), 1e300, 5.0}, 3);
    Iterative_Params p = DefaultParams();
    p.iteration_limit = 0;
    solver.solve(&p, nullptr, A, b, x);
    EXPECT_EQ(DenseVector_Length(x), 2);
    for (double v : x.values()) EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(p.absolute_residual));
  }
}

// ---------------------------------------------------------------------------
// Preconditioner lifecycle and sides

bool IsApply(const std::string& e) { return e == "L" || e == "LT" || e == "R" || e == "RT"; }

TEST_F(FrameTest, PreconditionerSetupFirstFinishLastOnlyActiveSides) {
  const System s = ConvectionDiffusion(8, 0.2);
  for (const Solver& solver : AllSolvers()) {
    const std::string name = solver.name;
    const bool residual_form = name == "CG" || name == "CR";
    for (std::int32_t side : {PRECOND_LEFT, PRECOND_RIGHT, PRECOND_BOTH}) {
      SCOPED_TRACE(name + " side " + std::to_string(side));
      output()->Clear();
      Recorder recorder;
      recorder.output = output();
      Preconditioner pre;
      RecordingPreconditioner(&pre, side, &recorder);
      Matrix A(s.A);
      Vector b(s.b);
      Vector x(Values(8, 7.0));
      recorder.watched_x = x;
      Iterative_Params p = DefaultParams();
      p.use_preconditioner = 1;
      p.iteration_limit = 3;
      solver.solve(&p, &pre, A, b, x);
      const auto& ev = recorder.events;
      ASSERT_GE(ev.size(), 2u);
      // Setup once, first, while x still held the caller's values.
      EXPECT_EQ(ev.front(), "setup");
      EXPECT_EQ(std::count(ev.begin(), ev.end(), "setup"), 1);
      ASSERT_EQ(recorder.x_at_setup.size(), 1u);
      EXPECT_EQ(recorder.x_at_setup[0], Values(8, 7.0));
      // Finish once, last, after the summary.
      EXPECT_EQ(ev.back(), "finish");
      EXPECT_EQ(std::count(ev.begin(), ev.end(), "finish"), 1);
      EXPECT_EQ(recorder.log_at_finish, output()->log().size());
      EXPECT_NE(output()->log().find("Termination"), std::string::npos);
      // Only the active sides are applied.
      for (const std::string& e : ev) {
        if (side == PRECOND_LEFT) {
          EXPECT_TRUE(e != "R" && e != "RT") << e;
        }
        if (side == PRECOND_RIGHT) {
          EXPECT_TRUE(e != "L" && e != "LT") << e;
        }
      }
      // A transposed product applies L' and then R'.
      for (size_t i = 0; i + 1 < ev.size(); ++i) {
        if (side == PRECOND_BOTH && ev[i] == "LT") {
          EXPECT_EQ(ev[i + 1], "RT");
        }
      }
      std::vector<std::string> applies;
      for (const std::string& e : ev) {
        if (IsApply(e)) applies.push_back(e);
      }
      ASSERT_FALSE(applies.empty());
      if (!residual_form && side != PRECOND_RIGHT) {
        // The start residual goes through L first.
        EXPECT_EQ(applies.front(), "L");
      }
      if (!residual_form && side != PRECOND_LEFT) {
        // The correction goes through R last (a check of the residual after
        // it may apply L).
        const auto right = std::find_if(applies.rbegin(), applies.rend(), [](const std::string& e) {
          return e == "R" || e == "RT";
        });
        ASSERT_NE(right, applies.rend());
        EXPECT_EQ(*right, "R");
      }
    }
  }
}

TEST_F(FrameTest, InactivePreconditionerIsNeverCalled) {
  const System s = Tridiagonal(6, -1.0, 2.0, -1.0);
  for (const Solver& solver : AllSolvers()) {
    for (int variant = 0; variant < 3; ++variant) {
      SCOPED_TRACE(std::string(solver.name) + " variant " + std::to_string(variant));
      Recorder recorder;
      Preconditioner pre;
      RecordingPreconditioner(&pre, variant == 0 ? 3 : PRECOND_BOTH, &recorder);
      Iterative_Params p = DefaultParams();
      p.use_preconditioner = variant == 1 ? 0 : 1;
      const Outcome out = Run(solver, s, p, variant == 2 ? nullptr : &pre);
      EXPECT_TRUE(recorder.events.empty());
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
    }
  }
}

// ---------------------------------------------------------------------------
// Interrupt

// An interrupt service that reports an interrupt at the given poll.
struct InterruptAt {
  int polls = 0;
  int at = 0;
  Interrupt_Interface record{this, [](void*) {}, [](void*) {},
                             [](void* c) {
                               auto* self = static_cast<InterruptAt*>(c);
                               return ++self->polls >= self->at ? 1 : 0;
                             }};
};

TEST_F(FrameTest, InterruptJumpAbandonsTheSolveWithoutSummaryOrFinish) {
  const System s = Tridiagonal(40, -1.0, 2.0, -1.0);
  for (const Solver& solver : AllSolvers()) {
    SCOPED_TRACE(solver.name);
    output()->Clear();
    Recorder recorder;
    Preconditioner pre;
    RecordingPreconditioner(&pre, PRECOND_LEFT, &recorder);
    recorder.lower = 0.0;
    InterruptAt interrupt;
    interrupt.at = 4;
    Interrupt_SetInterface(&interrupt.record);
    Matrix A(s.A);
    Vector b(s.b);
    Vector x(Values(40, 0.0));
    Iterative_Params p = DefaultParams();
    p.use_preconditioner = 1;
    p.termination = -1;
    const bool jumped =
        Interrupt_RunWithJumpPoint([&] { solver.solve(&p, &pre, A, b, x); });
    Interrupt_Reset();
    EXPECT_TRUE(jumped);
    EXPECT_EQ(output()->log().find("Iterative Method Summary."), std::string::npos);
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "finish"), 0);
    EXPECT_EQ(p.termination, -1);
  }
}

// ---------------------------------------------------------------------------
// Argument checks

TEST_F(FrameTest, BadSizesEndWithErrorBeforeAnythingRuns) {
  Workspace_Size(256, 8192);
  Dense wide(3, 4);
  for (int i = 0; i < 3; ++i) wide(i, i) = 1.0;
  const System four = Identity(4);
  const System big = Identity(300);  // more than the workspace holds
  const struct Case {
    const char* what;
    const Dense* A;
    Values b;
    Values x;
    int x_room;
    bool start;
  } cases[] = {
      {"not square", &wide, {1, 1, 1}, {0, 0, 0, 0}, 4, false},
      {"right-hand side", &four.A, {1, 1, 1}, {0, 0, 0}, 3, false},
      {"solution vector", &four.A, {1, 1, 1, 1}, {0, 0}, 2, false},
      {"start vector", &four.A, {1, 1, 1, 1}, {0, 0, 0}, 8, true},
      {"workspace", &big.A, Values(300, 1.0), Values(300, 0.0), 300, false},
  };
  for (const Solver& solver : AllSolvers()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(solver.name) + ": " + c.what);
      output()->Clear();
      Recorder recorder;
      Preconditioner pre;
      RecordingPreconditioner(&pre, PRECOND_BOTH, &recorder);
      Matrix A(*c.A);
      Vector b(c.b);
      Vector x(c.x, c.x_room);
      Iterative_Params p = DefaultParams();
      p.start_from_x = c.start ? 1 : 0;
      p.use_preconditioner = 1;
      solver.solve(&p, &pre, A, b, x);
      EXPECT_EQ(p.termination, ITERATIVE_ERROR);
      EXPECT_EQ(p.iterations, 0);
      EXPECT_TRUE(recorder.events.empty());
      EXPECT_EQ(x.values(), c.x);
      EXPECT_NE(output()->log().find(std::string(solver.name) + ": "), std::string::npos);
      EXPECT_NE(output()->log().find("Termination         : Error reported.\n"),
                std::string::npos);
    }
    output()->Clear();
    Vector b(Values{1.0});
    Iterative_Params p = DefaultParams();
    solver.solve(&p, nullptr, nullptr, b, b);
    EXPECT_EQ(p.termination, ITERATIVE_ERROR);
    EXPECT_SOLVER_ERROR(solver.solve(nullptr, nullptr, nullptr, b, b), "no parameter record");
  }
}

// ---------------------------------------------------------------------------
// Stopping policy

// b = 0: x = 0 exactly after no step, solved, residuals 0 (the relative one
// reported as the absolute one).
TEST_F(FrameTest, ZeroRightHandSideGivesZeroSolution) {
  System s = ConvectionDiffusion(6, 0.2);
  s.b = Values(6, 0.0);
  for (const Solver& solver : AllSolvers()) {
    SCOPED_TRACE(solver.name);
    Iterative_Params p = DefaultParams();
    // LSQR has no guard for b = 0: it starts from x = 0.
    p.start_from_x = std::string(solver.name) == "LSQR" ? 0 : 1;
    const Outcome out = Run(solver, s, p, nullptr, Values(6, 1.0));
    EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
    EXPECT_EQ(out.params.iterations, 0);
    EXPECT_EQ(out.x, Values(6, 0.0));
    EXPECT_EQ(out.params.absolute_residual, 0.0);
    EXPECT_EQ(out.params.relative_residual, 0.0);
  }
}

// The empty system (n = 0) is solved at once by every solver with every
// preconditioner kind, touching nothing.
TEST_F(FrameTest, EmptySystemIsSolvedAtOnce) {
  System empty;
  empty.name = "empty";
  for (int kind = 0; kind < 6; ++kind) {
    for (const Solver& solver : AllSolvers()) {
      SCOPED_TRACE(std::string(solver.name) + " preconditioner " + std::to_string(kind));
      Preconditioner pre;
      if (kind < 3) Precond_CreateBand(&pre, 2 * kind + 1);
      if (kind == 3) Precond_CreateILULeft(&pre);
      if (kind == 4) Precond_CreateILURight(&pre);
      if (kind == 5) Precond_CreateILUBoth(&pre);
      Iterative_Params p = DefaultParams();
      p.use_preconditioner = 1;
      const Outcome out = Run(solver, empty, p, &pre);
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      EXPECT_EQ(out.params.iterations, 0);
      EXPECT_EQ(out.params.absolute_residual, 0.0);
    }
  }
}

// The outcome does not depend on the scale of b: a huge right-hand side is
// not divergence, a tiny one is not zero.
TEST_F(FrameTest, SolvesWhateverTheScaleOfTheRightHandSide) {
  const System spd = Tridiagonal(10, -1.0, 2.0, -1.0);
  const System general = ConvectionDiffusion(10, 0.3);
  for (double factor : {1e-12, 1e6, 1e12}) {
    for (const Solver& solver : AllSolvers()) {
      SCOPED_TRACE(std::string(solver.name) + " factor " + std::to_string(factor));
      const bool symmetric = std::string(solver.name) == "CG" ||
                             std::string(solver.name) == "CR";
      const System s = ScaledRightHandSide(symmetric ? spd : general, factor);
      const Outcome out = Run(solver, s, DefaultParams());
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      const Values reference = SolveGeneral(s.A, s.b);
      EXPECT_LE(Distance(out.x, reference), 1e-6 * Norm(reference));
    }
  }
}

// A NaN in A (or an infinite b) is an error, never a success and never a
// run to the limit.
TEST_F(FrameTest, NonFiniteValuesEndWithError) {
  System nan_matrix = Tridiagonal(6, -1.0, 2.0, -1.0);
  nan_matrix.A(3, 2) = std::nan("");
  System inf_rhs = Tridiagonal(6, -1.0, 2.0, -1.0);
  inf_rhs.b[2] = std::numeric_limits<double>::infinity();
  for (const System* s : {&nan_matrix, &inf_rhs}) {
    for (const Solver& solver : AllSolvers()) {
      SCOPED_TRACE(std::string(solver.name) + (s == &inf_rhs ? " inf b" : " NaN A"));
      const Outcome out = Run(solver, *s, DefaultParams());
      EXPECT_EQ(out.params.termination, ITERATIVE_ERROR);
      EXPECT_LT(out.params.iterations, 5);
    }
  }
}

}  // namespace
}  // namespace ittest
