// Fixture and helpers of the driver tests: library defaults, a solve through
// Sarn_Solve of a NonlinearProblem, and checks that a solve leaves nothing
// behind.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Timer.hpp"
#include "core/Workspace.hpp"
#include "problems/Residual.hpp"
#include "solver/Information.hpp"
#include "solver/Lemke.hpp"
#include "solver/NMS.hpp"
#include "solver/Sarn.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "support/TestSupport.hpp"

namespace driver_test {

// F(x) = x^3 on a free variable: Newton shrinks x by 2/3 per step, so the
// residual |x|^3 falls by about 0.3 per iteration (slow but steady).
inline NonlinearProblem Cubic(double start) {
  NonlinearProblem p;
  p.name = "cubic";
  p.n = 1;
  p.lower = {-kInf};
  p.upper = {kInf};
  p.start = {start};
  p.solutions = {{0.0}};
  p.evaluate = [](const double* x, double* f, std::vector<Triplet>* jac) {
    f[0] = x[0] * x[0] * x[0];
    if (jac) *jac = {{0, 0, 3.0 * x[0] * x[0]}};
    return true;
  };
  return p;
}

// F(x) = A x - b with a fixed nonsingular A on free variables: one Newton
// step solves it.
inline NonlinearProblem LinearSystem(std::vector<double> start) {
  NonlinearProblem p;
  p.name = "linear system";
  p.n = 2;
  p.lower = {-kInf, -kInf};
  p.upper = {kInf, kInf};
  p.start = std::move(start);
  p.solutions = {{1.0, 2.0}};
  p.evaluate = [](const double* x, double* f, std::vector<Triplet>* jac) {
    f[0] = 2.0 * x[0] + x[1] - 4.0;
    f[1] = x[0] + 3.0 * x[1] - 7.0;
    if (jac) *jac = {{0, 0, 2.0}, {1, 0, 1.0}, {0, 1, 1.0}, {1, 1, 3.0}};
    return true;
  };
  return p;
}

// The residual the driver reports (Fischer-Burmeister, two-norm, the
// default merit), recomputed from the problem's own F at z.
inline double ResidualAt(const NonlinearProblem& p, const std::vector<double>& z, int code = 1) {
  std::vector<double> f(p.n);
  if (!p.evaluate(z.data(), f.data(), nullptr)) return NAN;
  const ResidualProblem rp{p.n, p.lower.data(), p.upper.data(), z.data(), f.data(),
                           Options_CommonDouble(COMMON_INFINITY),
                           Options_CommonDouble(COMMON_CHEN_LAMBDA)};
  double value = 0.0;
  int index = 0;
  Residual_Evaluate(rp, code, RESIDUAL_TWO_NORM, &value, &index);
  return value;
}

inline int Count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// Counts the timers the driver creates and destroys.
struct TimerCount {
  inline static int live = 0;
  static void* Create(void*) {
    ++live;
    return new double(0.0);
  }
  static void Destroy(void*, void* h) {
    --live;
    delete static_cast<double*>(h);
  }
  static void Start(void*, void*) {}
  static double Query(void*, void*) { return 0.0; }
};

}  // namespace driver_test

// Library defaults; after each test no solver record may be left.
class DriverTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    driver_test::TimerCount::live = 0;
    timer_ = {nullptr, driver_test::TimerCount::Create, driver_test::TimerCount::Destroy,
              driver_test::TimerCount::Start, driver_test::TimerCount::Query};
    Timer_SetInterface(&timer_);
  }
  void TearDown() override {
    ExpectNothingHeld();
    Timer_Reset();
    LibraryTest::TearDown();
  }

  // No solver record, timer, jump point, start vector or scratch pool is
  // left (every record that held a pool reference is gone).
  void ExpectNothingHeld() {
    EXPECT_EQ(Sarn_GetWorkspace(), nullptr);
    EXPECT_EQ(Lemke_GetWorkspace(), nullptr);
    EXPECT_EQ(NMS_GetState(), nullptr);
    EXPECT_EQ(driver_test::TimerCount::live, 0);
    EXPECT_EQ(Interrupt_GetJumpBuffer(), nullptr);
    EXPECT_EQ(Lemke_GetStartVector().values, nullptr);
    try {
      Workspace_Reference();
      Workspace_Destroy();
      ADD_FAILURE() << "a scratch Workspace reference was left behind";
    } catch (const SolverErrorException&) {
    }
  }

  void Set(const char* line) { ASSERT_EQ(Options_Set(options(), line), OPTIONS_APPLIED) << line; }

  // No crash phase: the iterations start at the initial point itself.
  void NoCrash() {
    Set("crash_method none");
    Set("crash_perturb no");
  }

  // Solves through Sarn_Solve with every stream allowed.
  int Solve(ProblemAdapter& adapter, Information* info) {
    *info = Information{};
    info->output_mask = 7;
    return Sarn_Solve(adapter.mcp(), info);
  }

 private:
  Timer_Interface timer_{};
};
