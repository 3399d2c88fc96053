// A bounded constrained nonlinear system and a bounded QP-class problem,
// each stated through its class and presented to the solver by its MCP
// adapter, solved end to end. Each answer is checked on the adapter's MCP
// (bounds and complementarity with F recomputed from the problem) and, once
// mapped back, against the class's own conditions: F(x) = 0 within the
// bounds.
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "presolve/MCP_Finish.hpp"
#include "problems/CNS.hpp"
#include "problems/CNS_MCP.hpp"
#include "problems/MCP.hpp"
#include "problems/QP.hpp"
#include "problems/QP_MCP.hpp"
#include "problems/ClassProblems.hpp"
#include "fixtures/Problems.hpp"
#include "support/TestSupport.hpp"

#if __has_include("solver/Sarn.hpp")
#include "solver/Sarn.hpp"
#define SARN_SOLVER_AVAILABLE 1
#else
#define SARN_SOLVER_AVAILABLE 0
#endif

namespace {

#if SARN_SOLVER_AVAILABLE

// A square system with bounds, its Jacobian written column by column.
struct BoundedSystem {
  int n = 0;
  std::vector<double> lower, upper, start;
  std::function<void(const double* x, double* f)> F;
  std::function<void(const double* x, std::vector<Triplet>* jacobian)> J;  // 0-based
  std::vector<double> solution;

  std::vector<double> Evaluate(const std::vector<double>& x) const {
    std::vector<double> f(n);
    F(x.data(), f.data());
    return f;
  }
};

// x1^2 = 4 with x1 in [0, 10] (the root -2 lies outside), x1 + x2 = 1 with
// x2 free, exp(x3) = 1 + x1 / 2 with x3 in [-5, 1].
BoundedSystem Curve() {
  BoundedSystem s;
  s.n = 3;
  s.lower = {0.0, -kInf, -5.0};
  s.upper = {10.0, kInf, 1.0};
  s.start = {5.0, 0.0, 0.0};
  s.F = [](const double* x, double* f) {
    f[0] = x[0] * x[0] - 4.0;
    f[1] = x[0] + x[1] - 1.0;
    f[2] = std::exp(x[2]) - 1.0 - 0.5 * x[0];
  };
  s.J = [](const double* x, std::vector<Triplet>* j) {
    *j = {{0, 0, 2.0 * x[0]}, {1, 0, 1.0}, {2, 0, -0.5}, {1, 1, 1.0}, {2, 2, std::exp(x[2])}};
  };
  s.solution = {2.0, -1.0, std::log(2.0)};
  return s;
}

// Stationarity of 0.5 x'Qx + c'x + 0.025 sum x^4: F(x) = Q x + c + 0.1 x^3,
// with finite bounds on x1 (both), x3 (lower) and x4 (upper), x2 free. The
// stationary point x* lies inside the box.
BoundedSystem Quadratic() {
  BoundedSystem s;
  s.n = 4;
  static const double Q[4][4] = {
      {4.0, 1.0, 0.0, 0.0}, {1.0, 3.0, 1.0, 0.0}, {0.0, 1.0, 2.0, 0.5}, {0.0, 0.0, 0.5, 1.5}};
  s.solution = {1.0, -2.0, 0.5, 2.0};
  auto c = std::make_shared<std::vector<double>>(4, 0.0);
  for (int i = 0; i < 4; ++i) {
    double value = 0.1 * std::pow(s.solution[i], 3);
    for (int j = 0; j < 4; ++j) value += Q[i][j] * s.solution[j];
    (*c)[i] = -value;
  }
  s.lower = {0.0, -kInf, -1.0, -kInf};
  s.upper = {5.0, kInf, kInf, 3.0};
  s.start = {4.0, 1.0, 2.0, -1.0};
  s.F = [c](const double* x, double* f) {
    for (int i = 0; i < 4; ++i) {
      f[i] = (*c)[i] + 0.1 * x[i] * x[i] * x[i];
      for (int j = 0; j < 4; ++j) f[i] += Q[i][j] * x[j];
    }
  };
  s.J = [](const double* x, std::vector<Triplet>* j) {
    j->clear();
    for (int col = 0; col < 4; ++col) {
      for (int row = 0; row < 4; ++row) {
        double v = Q[row][col] + (row == col ? 0.3 * x[col] * x[col] : 0.0);
        if (Q[row][col] != 0.0 || row == col) j->push_back({row, col, v});
      }
    }
  };
  return s;
}

// The callbacks of both classes over a BoundedSystem.
struct Caller {
  const BoundedSystem* system;
  std::vector<double> finished;

  static Caller* Self(void* d) { return static_cast<Caller*>(d); }
  static void ProblemSize(void* d, int* n, int* nnz) {
    *n = Self(d)->system->n;
    *nnz = Self(d)->system->n * Self(d)->system->n;
  }
  static void Bounds(void* d, int n, double* x, double* l, double* u) {
    const BoundedSystem* s = Self(d)->system;
    for (int i = 0; i < n; ++i) {
      x[i] = s->start[i];
      l[i] = s->lower[i];
      u[i] = s->upper[i];
    }
  }
  static int Function(void* d, int, const double* x, double* f) {
    Self(d)->system->F(x, f);
    return 0;
  }
  static int Jacobian(void* d, int n, const double* x, int, double* f, int* nnz, int* start,
                      int* len, int* row, double* value) {
    const BoundedSystem* s = Self(d)->system;
    s->F(x, f);
    std::vector<Triplet> entries;
    s->J(x, &entries);
    if (static_cast<int>(entries.size()) > *nnz) return 1;
    *nnz = class_tests::WriteExchange(n, entries, *nnz, start, len, row, value);
    return 0;
  }
  static void Finish(void* d, const double* x) {
    Self(d)->finished.assign(x, x + Self(d)->system->n);
  }
  // The slots of either class's interface.
  SystemCallbacks Callbacks() { return class_tests::CallbacksOf(this); }
};

// The adapter's MCP recomputed from the problem: every variable with a
// finite bound is paired, in order, with a free multiplier y; the
// multiplier's row is F_i(x) and the variable's row is -y.
struct PairedMCP {
  std::vector<double> lower, upper;
  std::vector<int> paired;  // 0-based variable of each multiplier
  const BoundedSystem* system;

  explicit PairedMCP(const BoundedSystem& s) : lower(s.lower), upper(s.upper), system(&s) {
    for (int i = 0; i < s.n; ++i) {
      if (s.lower[i] > -kInf || s.upper[i] < kInf) paired.push_back(i);
    }
    lower.resize(s.n + paired.size(), -kInf);
    upper.resize(s.n + paired.size(), kInf);
  }
  std::vector<double> F(const std::vector<double>& z) const {
    int n = system->n;
    std::vector<double> x(z.begin(), z.begin() + n);
    std::vector<double> f = system->Evaluate(x);
    std::vector<double> out(z.size());
    for (int i = 0; i < n; ++i) out[i] = f[i];
    for (size_t j = 0; j < paired.size(); ++j) {
      out[n + j] = f[paired[j]];
      out[paired[j]] = -z[n + j];
    }
    return out;
  }
};

double InfNorm(const std::vector<double>& v) {
  double worst = 0.0;
  for (double e : v) {
    if (!(std::fabs(e) <= worst)) worst = std::fabs(e);
  }
  return worst;
}

// The class's own conditions at x: within the bounds and F(x) = 0.
void ExpectSolves(const BoundedSystem& s, const std::vector<double>& x, double tol) {
  ASSERT_EQ(static_cast<int>(x.size()), s.n);
  for (int i = 0; i < s.n; ++i) {
    EXPECT_GE(x[i], s.lower[i] - tol) << i;
    EXPECT_LE(x[i], s.upper[i] + tol) << i;
    EXPECT_NEAR(x[i], s.solution[i], 1e-6) << i;
  }
  EXPECT_LE(InfNorm(s.Evaluate(x)), tol);
}

std::vector<double> Point(MCP* mcp) {
  DenseVector* x = MCP_FullX(mcp);
  return std::vector<double>(DenseVector_Array(x), DenseVector_Array(x) + DenseVector_Length(x));
}

// One way of stating a system: make builds the class record for the caller
// and returns its adapter's MCP; finish hands the solution back through the
// adapter and checks what only that class keeps; release frees the class.
struct Route {
  std::function<MCP*(Caller& caller)> make;
  std::function<void(MCP** mcp)> finish;
  std::function<void()> release;
};

#endif  // SARN_SOLVER_AVAILABLE

// Option settings each problem is solved under: the defaults, a forced
// crash phase with the proximal perturbation, and the normal-map merit
// function.
const std::vector<std::vector<const char*>> kSettings = {
    {},
    {"crash_minimum_dimension 1", "crash_perturb yes"},
    {"merit_function normal"},
};

class ProblemClassesSolveTest : public LibraryTest {
 protected:
  void Apply(const std::vector<const char*>& lines) {
    Options_Default(options());
    for (const char* line : lines) ASSERT_EQ(Options_Set(options(), line), OPTIONS_APPLIED) << line;
  }
#if SARN_SOLVER_AVAILABLE
  // Under every setting: states system through route, solves the adapter's
  // MCP, checks it against the paired problem and, once handed back, the
  // class's own conditions.
  void ExpectSolvedThrough(BoundedSystem (*problem)(), const Route& route) {
    for (const auto& lines : kSettings) {
      SCOPED_TRACE(lines.empty() ? "defaults" : lines[0]);
      Apply(lines);
      BoundedSystem system = problem();
      Caller caller{&system, {}};
      MCP* mcp = route.make(caller);
      ASSERT_NE(mcp, nullptr);

      Information info{};
      info.output_mask = OUTPUT_ALL;
      EXPECT_EQ(Sarn_Solve(mcp, &info), TERMINATION_SOLVED) << output()->log();
      PairedMCP paired(system);
      std::vector<double> z = Point(mcp);
      EXPECT_LE(ComplementarityViolation(paired.lower, paired.upper, z, paired.F(z)), 1e-6);

      route.finish(&mcp);
      EXPECT_EQ(mcp, nullptr);
      ExpectSolves(system, caller.finished, 1e-6);
      route.release();
      output()->Clear();
    }
  }
#endif
};

TEST_F(ProblemClassesSolveTest, BoundedSystemSolvesThroughItsAdapter) {
#if SARN_SOLVER_AVAILABLE
  CNS* cns = nullptr;
  Route route;
  route.make = [&](Caller& caller) {
    CNS_Interface in{caller.Callbacks(), nullptr};
    cns = CNS_Create(caller.system->n, caller.system->n * caller.system->n);
    CNS_SetInterface(cns, &in);
    MCP* mcp = nullptr;
    EXPECT_EQ(CNS_MCP_Create(cns, &mcp, nullptr, nullptr), CNS_CONTINUE);
    return mcp;
  };
  route.finish = [&](MCP** mcp) { CNS_MCP_Finish(cns, mcp); };
  route.release = [&] { CNS_Destroy(cns); };
  ExpectSolvedThrough(&Curve, route);
#else
  GTEST_SKIP() << "the Newton solver (solver/Sarn.hpp) is not part of this build yet";
#endif
}

TEST_F(ProblemClassesSolveTest, BoundedQPSolvesThroughItsAdapter) {
#if SARN_SOLVER_AVAILABLE
  QP* qp = nullptr;
  QP_Interface in{};
  Route route;
  route.make = [&](Caller& caller) {
    in = QP_Interface{caller.Callbacks()};
    QP_SetInterface(&in);
    qp = QP_Create(caller.system->n, caller.system->n * caller.system->n);
    MCP* mcp = nullptr;
    EXPECT_EQ(QP_MCP_Create(qp, &mcp), QP_READY);
    return mcp;
  };
  route.finish = [&](MCP** mcp) {
    QP_MCP_Destroy(qp, mcp);
    // The QP keeps the final point the caller was handed.
    std::vector<double> final_x(DenseVector_Array(QP_FullX(qp)),
                                DenseVector_Array(QP_FullX(qp)) + QP_Variables(qp));
    const Caller* caller = static_cast<const Caller*>(in.data);
    EXPECT_EQ(final_x, caller->finished);
  };
  route.release = [&] {
    QP_Destroy(qp);
    QP_SetInterface(nullptr);
  };
  ExpectSolvedThrough(&Quadratic, route);
#else
  GTEST_SKIP() << "the Newton solver (solver/Sarn.hpp) is not part of this build yet";
#endif
}

}  // namespace
