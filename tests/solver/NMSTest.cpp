// Non-monotone stabilisation on a scripted 2-variable problem: F = x - t
// with t = (1, 2) and free bounds, so that the merit is 0.5 |x - t|^2, its
// gradient x - t, the normal-map point of x is x itself, and every
// reference value, step bound and acceptance can be worked out by hand.
// The Newton point z of each step is given by the test.
#include "solver/NMS.hpp"

#include <cmath>
#include <string>

#include "core/Memory.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/DenseBasis.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "solver/Search.hpp"
#include "solver/StepFixture.hpp"
#include "fixtures/ProblemAdapter.hpp"

namespace {

// F = x - (1, 2); undefined where x1 > limit.
NonlinearProblem Shifted(double limit = 1e300) {
  return MakeProblem("shifted", {-kInf, -kInf}, {kInf, kInf}, {0.0, 0.0},
                     [limit](const double* x, double* f, double* J) {
                       f[0] = x[0] - 1.0;
                       f[1] = x[1] - 2.0;
                       J[0] = 1.0;
                       J[3] = 1.0;
                       return x[0] <= limit;
                     });
}

// Merits go through square roots: equal up to rounding.
void ExpectMerits(const std::vector<double>& got, const std::vector<double>& want,
                  const std::string& label) {
  ASSERT_EQ(got.size(), want.size()) << label;
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << label;
}

// 0.5 |x - (1, 2)|^2.
double Merit(double x1, double x2) { return 0.5 * ((x1 - 1) * (x1 - 1) + (x2 - 2) * (x2 - 2)); }

class NMSTest : public StepFixture {
 protected:
  void TearDown() override {
    while (NMS_GetState() != nullptr) NMS_Destroy();
    StepFixture::TearDown();
  }

  void Begin(NonlinearProblem problem = Shifted()) {
    Start(problem);
    NMS_Create(n_, Sarn_OptionInt(SARN_NMS_MEMORY_SIZE));
    record_ = Information{};
    record_.output_mask = 7;
  }

  NMS_State* State() { return NMS_GetState(); }
  NMS_Checkpoint* Current() { return NMS_GetState()->current; }
  NMS_Checkpoint* Best() { return NMS_GetState()->best; }

  // One step at *k with Newton point z (its own normal-map form here).
  int Step(std::int32_t* k, const std::vector<double>& z) {
    DenseVector* zv = Vector(z);
    return NMS_StepWithNewtonPoint(mcp_, &record_, x_, y_, FJ_, k, zv, zv);
  }

  // Checkpoints started at the current x for iteration k with Newton point
  // z stored as the step itself stores it.
  void InitializeAt(std::int32_t k, const std::vector<double>& z) {
    NMS_SetMeritCode(RESIDUAL_FISCHER_BURMEISTER);
    for (int i : {1, 2}) {
      DenseVector* v = Workspace_Vector(i);
      DenseVector_SetLength(v, n_);
      for (int j = 0; j < n_; ++j) DenseVector_SetValue(v, j + 1, z[j]);
    }
    NMS_Initialize(mcp_, x_, y_, FJ_, k);
    // The gradient at x, as the step computes it before its sub-steps.
    Search_MeritGradient(mcp_, RESIDUAL_FISCHER_BURMEISTER, x_, FJ_, Workspace_Vector(3));
    DenseVector_CloneFull(Current()->z, Workspace_Vector(1));
    DenseVector_CloneFull(Current()->zn, Workspace_Vector(2));
  }

  std::vector<double> References() {
    const DenseVector* r = Current()->reference;
    return std::vector<double>(DenseVector_Array(r), DenseVector_Array(r) + Current()->count);
  }

  Information record_{};
};

// ---------------------------------------------------------------------------
// State lifecycle

TEST_F(NMSTest, StateIsSharedByReferenceAndOnlyGrows) {
  Start(Shifted());
  NMS_Create(3, 2);
  ASSERT_NE(State(), nullptr);
  EXPECT_EQ(State()->refcount, 1);
  EXPECT_EQ(State()->max_n, 3);
  EXPECT_EQ(State()->max_m, 2);
  EXPECT_EQ(State()->n, 0);
  NMS_Create(5, 1);
  EXPECT_EQ(State()->refcount, 2);
  EXPECT_EQ(State()->max_n, 5);
  EXPECT_EQ(State()->max_m, 2);
  NMS_Resize(2, 7);
  EXPECT_EQ(State()->max_n, 5);
  EXPECT_EQ(State()->max_m, 7);
  EXPECT_GE(DenseVector_Capacity(Best()->reference), 7);
  EXPECT_GE(DenseVector_Capacity(Best()->x), 5);
  NMS_Destroy();
  EXPECT_EQ(State()->refcount, 1);
  NMS_Destroy();
  EXPECT_EQ(State(), nullptr);
  NMS_Destroy();  // nothing left: no effect

  // A memory size below 1 still leaves room for one value.
  NMS_Create(0, 0);
  EXPECT_EQ(State()->max_n, 1);
  EXPECT_EQ(State()->max_m, 1);

  // Forgetting drops the pointer without touching the memory.
  NMS_State* kept = State();
  NMS_ForgetState();
  EXPECT_EQ(State(), nullptr);
  NMS_DestroyCheckpoint(kept->current);
  NMS_DestroyCheckpoint(kept->best);
  Memory_Free(kept);
}

// ---------------------------------------------------------------------------
// Initialisation

TEST_F(NMSTest, InitializationSetsReferenceAndStepBound) {
  // At x = (0, 0): merit 2.5; Newton point (3, 4) at distance 5.
  struct Case {
    double factor, reference_minimum, R;
    double stepsize_factor, stepsize_minimum, delta;
  };
  const Case cases[] = {
      {20.0, 0.0, 50.0, 20.0, 20.0, 100.0},
      {20.0, 100.0, 100.0, 20.0, 500.0, 500.0},
      {1.0, 0.0, 2.5, 1.0, 0.5, 5.0},
      {20.0, 50.0, 50.0, 4.0, 20.0, 20.0},  // equal to the minimum: the minimum
  };
  Begin();
  for (const Case& c : cases) {
    SetDouble(SARN_NMS_INITIAL_REFERENCE_FACTOR, c.factor);
    SetDouble(SARN_NMS_INITIAL_REFERENCE_MINIMUM, c.reference_minimum);
    SetDouble(SARN_NMS_INITIAL_STEPSIZE_FACTOR, c.stepsize_factor);
    SetDouble(SARN_NMS_INITIAL_STEPSIZE_MINIMUM, c.stepsize_minimum);
    SetDouble(SARN_PROXIMAL_PERTURBATION, 0.25);
    InitializeAt(4, {3.0, 4.0});
    EXPECT_DOUBLE_EQ(Current()->R, c.R);
    EXPECT_DOUBLE_EQ(Current()->merit, 2.5);
    ExpectMerits(References(), {Current()->R}, "init");
    EXPECT_DOUBLE_EQ(Current()->delta, c.delta);
    EXPECT_EQ(State()->delta, Current()->delta);
    EXPECT_EQ(Current()->iteration, 3);
    EXPECT_EQ(Current()->proximal, 0.25);
    EXPECT_EQ(Best()->R, Current()->R);
    EXPECT_EQ(Best()->iteration, 3);
    EXPECT_EQ(NMS_WatchdogCount(), 0);
  }
}

TEST_F(NMSTest, StepBoundIsMeasuredFromThisIterationsNewtonPoint) {
  Begin();
  // A stale point in the Newton-point scratch from an earlier iteration.
  DenseVector* stale = Workspace_Vector(1);
  DenseVector_SetLength(stale, 2);
  DenseVector_SetValue(stale, 1, 100.0);
  DenseVector_SetValue(stale, 2, 100.0);
  std::int32_t k = 1;
  // z = (3, 4): distance 5, delta 100; the D step accepts z (merit 4 < 50)
  // and shrinks delta to 90.
  EXPECT_EQ(Step(&k, {3.0, 4.0}), NMS_DSTEP_ACCEPTED);
  EXPECT_DOUBLE_EQ(State()->delta, 90.0);
}

TEST_F(NMSTest, InitialMonotoneStepsRunWithFactorOne) {
  // Newton point (1, 2), the solution, at every step. The steps within the
  // monotone phase are searches from x (0.8 of the way); afterwards the D
  // step takes z. The initialisation at each step sets R to the factor in
  // force times the merit at x, and no accepted merit exceeds it.
  struct Case {
    int monotone;
    std::vector<double> factor_used;   // by the initialisation of steps k = 1, 2, ...
    std::vector<double> factor_after;  // option value after each step
    std::vector<int> codes;
  };
  const Case cases[] = {
      {0, {20.0}, {20.0}, {NMS_DSTEP_ACCEPTED}},
      {2,
       {1.0, 1.0, 20.0},
       {1.0, 1.0, 20.0},
       {NMS_SEARCH_ACCEPTED, NMS_SEARCH_ACCEPTED, NMS_DSTEP_ACCEPTED}},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetInt(SARN_NMS_INITIAL_MONOTONE_STEPS, c.monotone);
    Begin();
    for (std::size_t s = 0; s < c.codes.size(); ++s) {
      std::int32_t k = static_cast<std::int32_t>(s) + 1;
      const double merit = Merit(DenseVector_Value(x_, 1), DenseVector_Value(x_, 2));
      EXPECT_EQ(Step(&k, {1.0, 2.0}), c.codes[s]) << c.monotone << " step " << s + 1;
      EXPECT_EQ(Sarn_OptionDouble(SARN_NMS_INITIAL_REFERENCE_FACTOR), c.factor_after[s])
          << c.monotone << " step " << s + 1;
      EXPECT_DOUBLE_EQ(Current()->R, c.factor_used[s] * merit) << c.monotone << " step " << s + 1;
    }
  }
}

// ---------------------------------------------------------------------------
// Reference memory

TEST_F(NMSTest, FullMemoryReplacesItsLargestValueTheFirstOfEqualOnes) {
  SetInt(SARN_NMS_MEMORY_SIZE, 3);
  Begin();
  InitializeAt(1, {1.0, 2.0});  // R = 20 * 2.5 = 50
  struct Update {
    double f;
    std::vector<double> memory;
    double R;
    double best_merit;
  };
  const double R0 = Current()->R;
  const Update updates[] = {
      {5.0, {R0, 5}, R0, 2.5},
      {3.0, {R0, 5, 3}, R0, 2.5},
      {5.0, {5, 5, 3}, 5, 2.5},  // full: the largest (R0) goes
      {2.0, {2, 5, 3}, 5, 2.0},  // two largest: the first goes
      {1.0, {2, 1, 3}, 3, 1.0},
      {1.0, {2, 1, 1}, 2, 1.0},  // equal to best's merit: best stays
  };
  std::int32_t k = 1;
  for (const Update& u : updates) {
    NMS_UpdateReference(x_, y_, u.f, k);
    ExpectMerits(References(), u.memory, "f = " + std::to_string(u.f));
    EXPECT_DOUBLE_EQ(Current()->R, u.R) << "f = " << u.f;
    EXPECT_EQ(Current()->iteration, k);
    EXPECT_EQ(Current()->merit, u.f);
    EXPECT_DOUBLE_EQ(Best()->merit, u.best_merit) << "f = " << u.f;
    ++k;
  }
  EXPECT_EQ(Best()->iteration, 5);  // the first update with merit 1.0
}

TEST_F(NMSTest, MemorySizeBelowOneKeepsOneValue) {
  SetInt(SARN_NMS_MEMORY_SIZE, 0);
  Begin();
  InitializeAt(1, {1.0, 2.0});
  NMS_UpdateReference(x_, y_, 3.0, 1);
  NMS_UpdateReference(x_, y_, 2.0, 2);
  EXPECT_EQ(References(), std::vector<double>({2.0}));
  EXPECT_EQ(Current()->R, 2.0);
}

// ---------------------------------------------------------------------------
// D and M steps

TEST_F(NMSTest, NewtonPointAcceptanceByDistanceAndMerit) {
  // From x = (0, 0): merit 2.5, R = 50, delta 20 * |z|.
  struct Case {
    const char* name;
    std::vector<double> z;
    double stepsize;  // initial stepsize factor and minimum
    int code;
    bool moved;            // x := z
    int references;        // stored values afterwards
    double delta_factor;   // delta afterwards / delta before
    const char* warning;   // expected in the status stream, or ""
  };
  const Case cases[] = {
      // Within delta: accepted by the D step, delta shrinks.
      {"D step", {1.0, 2.0}, 20.0, NMS_DSTEP_ACCEPTED, true, 2, 0.9, ""},
      // Longer than delta: the M step decides, delta unchanged.
      {"longer than delta", {1.0, 2.0}, 0.1, NMS_MSTEP_ACCEPTED, true, 2, 1.0, ""},
      // Merit 1740.5: fails the test against R but is within 100 R.
      {"non-monotone", {60.0, 2.0}, 20.0, NMS_DSTEP_NONMONOTONE, true, 1, 0.9, ""},
      // Merit 11100.5 > 100 R: the search from x finds a shorter step.
      {"large step", {150.0, 2.0}, 20.0, NMS_SEARCH_ACCEPTED, false, 2, 0.9, "Large Step.\n"},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetDouble(SARN_NMS_INITIAL_STEPSIZE_FACTOR, c.stepsize);
    SetDouble(SARN_NMS_INITIAL_STEPSIZE_MINIMUM, c.stepsize);
    Begin();
    std::int32_t k = 1;
    const double dist = std::hypot(c.z[0], c.z[1]);
    const double delta0 = std::max(dist * c.stepsize, c.stepsize);
    EXPECT_EQ(Step(&k, c.z), c.code) << c.name;
    EXPECT_EQ(k, 1) << c.name;
    EXPECT_DOUBLE_EQ(State()->delta, delta0 * c.delta_factor) << c.name;
    EXPECT_EQ(Current()->count, c.references) << c.name;
    if (c.moved) {
      EXPECT_EQ(Values(x_), c.z) << c.name;
      EXPECT_EQ(Values(y_), c.z) << c.name;
    } else {
      EXPECT_NE(Values(x_), c.z) << c.name;
    }
    // Whatever was accepted: F in the pair belongs to the new x.
    EXPECT_EQ(DenseVector_Value(FunctionJacobian_Function(FJ_), 1), DenseVector_Value(x_, 1) - 1);
    EXPECT_EQ(DenseVector_Value(FunctionJacobian_Function(FJ_), 2), DenseVector_Value(x_, 2) - 2);
    if (c.code != NMS_DSTEP_NONMONOTONE && c.references == 2) {
      EXPECT_DOUBLE_EQ(Current()->merit,
                       Merit(DenseVector_Value(x_, 1), DenseVector_Value(x_, 2)));
    }
    EXPECT_EQ(output()->status().find(c.warning) != std::string::npos, true) << c.name;
    if (std::string(c.warning).empty()) {
      EXPECT_EQ(output()->status().find("WARNING"), std::string::npos) << c.name;
    }
  }
}

TEST_F(NMSTest, DomainErrorsAtTheNewtonPoint) {
  // F is undefined where x1 > 10; z = (20, 2) lies there. The search from
  // x towards z backtracks into the defined region.
  struct Case {
    const char* name;
    int mstep_request;
    const char* warning;
  };
  const Case cases[] = {
      {"requested M step", 1, "NMS: MStep: domain error.\n"},
      {"ordinary step", 0, nullptr},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    Begin(Shifted(10.0));
    record_.mstep_request = c.mstep_request;
    std::int32_t k = 1;
    EXPECT_EQ(Step(&k, {20.0, 2.0}), NMS_SEARCH_ACCEPTED) << c.name;
    EXPECT_LE(DenseVector_Value(x_, 1), 10.0) << c.name;
    EXPECT_LT(Current()->merit, 50.0) << c.name;
    if (c.warning != nullptr) {
      EXPECT_NE(output()->status().find(std::string("  ** WARNING **\n") + c.warning),
                std::string::npos)
          << c.name;
    } else {
      EXPECT_EQ(output()->status().find("WARNING"), std::string::npos) << c.name;
    }
  }

  // The D step reports its own domain error when handed an undefined z.
  TearDown();
  SetUp();
  Begin(Shifted(10.0));
  InitializeAt(1, {20.0, 2.0});
  std::int32_t k = 1;
  EXPECT_EQ(NMS_DStep(mcp_, &record_, x_, y_, FJ_, &k, 0, 0.0), NMS_SEARCH_ACCEPTED);
  EXPECT_NE(output()->status().find("NMS: DStep: domain error.\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Gradient steps

TEST_F(NMSTest, GradientStepGoesDownhillFromTheBestPoint) {
  struct Case {
    int requested;
    std::vector<double> memory;  // afterwards
  };
  const Case cases[] = {
      {0, {0.0}},                  // unrequested: the memory is emptied first
      {1, {50.0, 5.0, 9.0, 0.0}},  // requested: the new merit joins the memory
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    Begin();
    InitializeAt(1, {1.0, 2.0});  // best: x = (0, 0), merit 2.5, iteration 0
    MoveTo({4.0, 0.0});
    NMS_UpdateReference(x_, y_, 5.0, 1);
    NMS_UpdateReference(x_, y_, 9.0, 2);
    record_.gradient_request = c.requested;
    std::int32_t k = 3;
    EXPECT_EQ(NMS_GradientStep(mcp_, &record_, x_, y_, FJ_, &k), NMS_GRADIENT_STEP);
    // Back at the best point (iteration 0), then along minus the gradient
    // (1, 2) of the merit there, which reaches the solution in one step.
    EXPECT_EQ(k, 1);
    EXPECT_EQ(record_.step_length, 1.0);
    EXPECT_EQ(Values(x_), std::vector<double>({1.0, 2.0}));
    ExpectMerits(References(), c.memory, std::to_string(c.requested));
    EXPECT_DOUBLE_EQ(Current()->R, c.requested ? 50.0 : 0.0);
    EXPECT_EQ(Best()->merit, 0.0);
  }
}

TEST_F(NMSTest, GradientRequestIsHonouredOnlyWithAGradient) {
  struct Case {
    int merit_function;
    int code;
    int request_after;
  };
  const Case cases[] = {
      {MERIT_FUNCTION_FISCHER, NMS_GRADIENT_STEP, 1},
      {MERIT_FUNCTION_NORMAL, NMS_DSTEP_ACCEPTED, 0},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetInt(SARN_MERIT_FUNCTION, c.merit_function);
    Begin();
    record_.gradient_request = 1;
    std::int32_t k = 1;
    EXPECT_EQ(Step(&k, {1.0, 2.0}), c.code) << c.merit_function;
    EXPECT_EQ(record_.gradient_request, c.request_after) << c.merit_function;
  }
}

// ---------------------------------------------------------------------------
// Watchdog

TEST_F(NMSTest, WatchdogReturnsToTheCheckpointUpToItsLimit) {
  struct Case {
    int limit;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {1, {NMS_WATCHDOG_ACCEPTED, NMS_FAILED}},
      {2, {NMS_WATCHDOG_ACCEPTED, NMS_WATCHDOG_ACCEPTED, NMS_FAILED}},
      {0, {NMS_WATCHDOG_ACCEPTED, NMS_FAILED}},  // read as 1
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    SetInt(SARN_NMS_MAXIMUM_WATCHDOGS, c.limit);
    SetDouble(SARN_PROXIMAL_PERTURBATION, 0.3);
    Begin();
    InitializeAt(1, {1.0, 2.0});  // checkpoint at (0, 0), iteration 0
    for (std::size_t call = 0; call < c.codes.size(); ++call) {
      SetDouble(SARN_PROXIMAL_PERTURBATION, 0.7);
      const std::vector<double> before = Values(x_);
      const std::int32_t checkpoint = Current()->iteration;
      std::int32_t k = 9;  // far beyond the checkpoint
      const int code = NMS_WatchdogStep(mcp_, &record_, x_, y_, FJ_, &k);
      EXPECT_EQ(code, c.codes[call]) << c.limit << " call " << call;
      if (code == NMS_FAILED) {
        EXPECT_EQ(Values(x_), before);
        EXPECT_EQ(k, 9);
        EXPECT_EQ(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION), 0.7);
      } else {
        // Rewound to the checkpoint's iteration and perturbation, then a
        // search step of 0.8 towards its Newton point (1, 2).
        EXPECT_EQ(k, checkpoint + 1);
        EXPECT_EQ(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION), 0.3);
        EXPECT_DOUBLE_EQ(DenseVector_Value(x_, 1), before[0] + 0.8 * (1.0 - before[0]));
      }
    }
  }
}

TEST_F(NMSTest, SearchFailureWithoutGradientFails) {
  // Normal-map merit: no gradient step to fall back on. From (0, 0)
  // towards the far point (1e6, 0) no trial down to the step minimum
  // passes.
  SetInt(SARN_MERIT_FUNCTION, MERIT_FUNCTION_NORMAL);
  SetDouble(SARN_NMS_STEPSIZE_MINIMUM, 1e-3);
  Begin();
  std::int32_t k = 1;
  record_.mstep_request = 1;
  EXPECT_EQ(Step(&k, {1e6, 0.0}), NMS_FAILED);
}

// ---------------------------------------------------------------------------
// Invalid option values

TEST_F(NMSTest, InvalidOptionValuesAreSolverErrors) {
  Begin();
  std::int32_t k = 1;
  SetInt(SARN_MERIT_FUNCTION, 5);
  EXPECT_SOLVER_ERROR(Step(&k, {1.0, 2.0}), "Invalid merit function.\n");
  SetInt(SARN_MERIT_FUNCTION, MERIT_FUNCTION_FISCHER);
  SetInt(SARN_NMS_SEARCHTYPE, 9);
  k = 1;
  EXPECT_SOLVER_ERROR(Step(&k, {150.0, 2.0}), "Invalid search type.\n");  // large step
  SetInt(SARN_NMS_SEARCHTYPE, SEARCH_TYPE_LINE);
  SetInt(SARN_GRADIENT_SEARCHTYPE, -2);
  record_.gradient_request = 1;
  k = 1;
  EXPECT_SOLVER_ERROR(Step(&k, {1.0, 2.0}), "Invalid search type.\n");
}

TEST_F(NMSTest, StepWithoutStateIsReported) {
  Start(Shifted());
  record_ = Information{};
  std::int32_t k = 1;
  EXPECT_SOLVER_ERROR(Step(&k, {1.0, 2.0}), "no stabilisation state");
}

// ---------------------------------------------------------------------------
// Whole solves

// The stabilised Newton method with its defaults (stabilisation on, the
// projected Newton crash) on the classic nonlinear problems, checked
// against the problems themselves.
class StabilisedSolveTest : public StepFixture {};

TEST_F(StabilisedSolveTest, DefaultsSolveTheClassicNonlinearProblems) {
  NonlinearProblem far = KojimaShindo(0.0);
  far.name = "Kojima-Shindo from 10";
  far.start = {10.0, 10.0, 10.0, 10.0};
  const NonlinearProblem problems[] = {KojimaShindo(0.0), KojimaShindo(1.0),      Josephy(),
                                       NashCournot(),     DomainErrors(),         MixedBoxes(),
                                       BroydenTridiagonal(10), BroydenTridiagonal(100), far};
  for (const NonlinearProblem& problem : problems) {
    ProblemAdapter adapter(problem);
    Information info{};
    info.output_mask = 7;
    const int code = Sarn_Solve(adapter.mcp(), &info);
    EXPECT_EQ(code, 1) << problem.name;
    const std::vector<double> z = adapter.Point();
    EXPECT_LT(ComplementarityViolation(problem, z), 1e-6) << problem.name;
    double nearest = problem.solutions.empty() ? 0.0 : 1e300;
    for (const std::vector<double>& s : problem.solutions) {
      double d = 0.0;
      for (int i = 0; i < problem.n; ++i) d = std::max(d, std::fabs(z[i] - s[i]));
      nearest = std::min(nearest, d);
    }
    EXPECT_LT(nearest, 1e-5) << problem.name;
    EXPECT_EQ(NMS_GetState(), nullptr) << problem.name;  // released with the driver
  }
}

}  // namespace
