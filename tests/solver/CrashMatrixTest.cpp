// The crash phase's Newton matrix kept factored across steps: directions
// from updated factors against the Newton system itself and against fresh
// factors, the cases that factor afresh (many changes, the update limit, a
// new proximal term, a Jacobian that moved), and the counts the crash
// phase reports on linear and nonlinear problems.
#include "solver/CrashMatrix.hpp"

#include <cmath>
#include <vector>

#include "core/IDenseVector.hpp"
#include "core/Timer.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "solver/Crash.hpp"
#include "solver/Information.hpp"
#include "solver/StepFixture.hpp"

namespace {

constexpr double kMu = 0.25;

class CrashMatrixTest : public StepFixture {
 protected:
  void SetUp() override {
    StepFixture::SetUp();
    limit_ = Factorization_OptionTable[FACTORIZATION_UPDATE_LIMIT].int_value;
  }
  void TearDown() override {
    Factorization_OptionTable[FACTORIZATION_UPDATE_LIMIT].int_value = limit_;
    for (IDenseVector* v : ivectors_) IDenseVector_Destroy(v);
    ivectors_.clear();
    StepFixture::TearDown();
  }

  // A nonsymmetric linear problem (n = 40) with its pair at the start.
  void StartPlanted() { Start(AsNonlinear(PlantedMonotone(40, 3))); }

  IDenseVector* Codes(const std::vector<int>& codes) {
    const int n = static_cast<int>(codes.size());
    IDenseVector* v = IDenseVector_Create(n);
    ivectors_.push_back(v);
    IDenseVector_SetLength(v, n);
    for (int i = 0; i < n; ++i) IDenseVector_SetValue(v, i + 1, codes[i]);
    return v;
  }

  // Every third variable held at its lower bound, the rest free.
  std::vector<int> Pattern() const {
    std::vector<int> codes(n_, BASIS_BASIC);
    for (int i = 0; i < n_; i += 3) codes[i] = BASIS_LOWER;
    return codes;
  }

  // Memberships of the first count variables flipped.
  static std::vector<int> Flipped(std::vector<int> codes, int count) {
    for (int i = 0; i < count; ++i) {
      codes[i] = codes[i] == BASIS_BASIC ? BASIS_UPPER : BASIS_BASIC;
    }
    return codes;
  }

  CrashMatrix Fresh() {
    return CrashMatrix_Start(IDenseVector_Create(1), DenseVector_Create(1), DenseVector_Create(1));
  }
  static void Release(CrashMatrix* m) {
    IDenseVector_Destroy(m->cols);
    DenseVector_Destroy(m->work);
    DenseVector_Destroy(m->correction);
  }

  // y := B^-1 r for the right-hand side r_i = 1 + i/n on the free rows, 0
  // on the held ones.
  std::vector<double> Direction(CrashMatrix* m, const std::vector<int>& codes) {
    std::vector<double> r(n_, 0.0);
    for (int i = 0; i < n_; ++i) r[i] = codes[i] == BASIS_BASIC ? 1.0 + double(i) / n_ : 0.0;
    DenseVector* rhs = Vector(r);
    DenseVector* y = Vector(std::vector<double>(n_, 0.0));
    EXPECT_EQ(CrashMatrix_Solve(m, y, rhs), 1);
    return Values(y);
  }

  // Largest |(J_II + mu I) y_I - r_I| with J from the problem itself.
  double NewtonError(const std::vector<int>& codes, const std::vector<double>& y, double mu) {
    const std::vector<double> J = ProblemJ(Values(x_));
    double worst = 0.0;
    for (int i = 0; i < n_; ++i) {
      if (codes[i] != BASIS_BASIC) continue;
      double s = mu * y[i] - (1.0 + double(i) / n_);
      for (int j = 0; j < n_; ++j) {
        if (codes[j] == BASIS_BASIC) s += J[i * n_ + j] * y[j];
      }
      worst = std::fmax(worst, std::fabs(s));
    }
    return worst;
  }

  std::vector<IDenseVector*> ivectors_;
  int limit_ = 0;
};

TEST_F(CrashMatrixTest, UpdatedFactorsGiveTheNewtonDirectionOfFreshOnes) {
  StartPlanted();
  CrashMatrix m = Fresh();
  const std::vector<int> first = Pattern();
  ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(first), kMu), 1);
  EXPECT_EQ(m.factorizations, 1);
  EXPECT_LT(NewtonError(first, Direction(&m, first), kMu), 1e-10);

  // Three memberships change, in both directions: three column updates.
  const std::vector<int> second = Flipped(first, 3);
  ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(second), kMu), 1);
  EXPECT_EQ(m.factorizations, 1);
  EXPECT_EQ(m.total_updates, 3);
  const std::vector<double> updated = Direction(&m, second);
  EXPECT_LT(NewtonError(second, updated, kMu), 1e-10);

  CrashMatrix fresh = Fresh();
  ASSERT_EQ(CrashMatrix_Prepare(&fresh, FJ_, Codes(second), kMu), 1);
  EXPECT_EQ(fresh.total_updates, 0);
  const std::vector<double> direct = Direction(&fresh, second);
  for (int i = 0; i < n_; ++i) {
    if (second[i] == BASIS_BASIC) {
      EXPECT_NEAR(updated[i], direct[i], 1e-10 * (1.0 + std::fabs(direct[i]))) << i;
    }
  }
  Release(&m);
  Release(&fresh);
}

// Each case leaves the factors of the first pattern behind and asks for a
// second one: whether that takes updates or a fresh factorization.
TEST_F(CrashMatrixTest, FactorsAfreshWhenUpdatesDoNotPay) {
  struct Case {
    const char* label;
    int flips;        // memberships changed
    int update_limit;
    double mu;        // proximal term of the second call
    int factorizations;
    int updates;
  };
  const Case cases[] = {
      {"few changes", 3, 50, kMu, 1, 3},
      {"more than a tenth of n", 5, 50, kMu, 2, 0},
      {"update limit", 3, 2, kMu, 2, 0},
      {"larger proximal term", 1, 50, 2 * kMu, 2, 0},
      {"no change", 0, 50, kMu, 1, 0},
  };
  StartPlanted();
  for (const Case& c : cases) {
    Factorization_OptionTable[FACTORIZATION_UPDATE_LIMIT].int_value = c.update_limit;
    CrashMatrix m = Fresh();
    ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(Pattern()), kMu), 1) << c.label;
    const std::vector<int> second = Flipped(Pattern(), c.flips);
    ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(second), c.mu), 1) << c.label;
    EXPECT_EQ(m.factorizations, c.factorizations) << c.label;
    EXPECT_EQ(m.total_updates, c.updates) << c.label;
    EXPECT_LT(NewtonError(second, Direction(&m, second), c.mu), 1e-10) << c.label;
    Release(&m);
  }
}

// A clock under which every call into the basis takes 20 ms: a
// factorization is long enough to time, and each update costs as much as
// it. After one update, a second one would take the kept factors past the
// time of a fresh factorization, so the matrix is factored afresh.
TEST_F(CrashMatrixTest, UpdatesStopWhenTheyTakeLongerThanAFactorization) {
  Timer_Interface slow{nullptr, [](void*) -> void* { return new int(0); },
                       [](void*, void* h) { delete static_cast<int*>(h); }, [](void*, void*) {},
                       [](void*, void*) { return 0.02; }};
  Timer_SetInterface(&slow);
  StartPlanted();
  CrashMatrix m = Fresh();
  ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(Pattern()), kMu), 1);
  ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(Flipped(Pattern(), 1)), kMu), 1);
  EXPECT_EQ(m.total_updates, 1);
  EXPECT_EQ(m.factorizations, 1);
  const std::vector<int> third = Flipped(Pattern(), 2);
  ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(third), kMu), 1);
  EXPECT_EQ(m.total_updates, 1);
  EXPECT_EQ(m.factorizations, 2);
  EXPECT_LT(NewtonError(third, Direction(&m, third), kMu), 1e-10);
  Release(&m);
  TearDown();
  Timer_Reset();
  SetUp();
}

// A smaller proximal term than the one inside the factors keeps them and
// refines the direction for the smaller term; a much smaller one, which
// refinement would take too long to reach, or a larger one factors afresh.
TEST_F(CrashMatrixTest, SmallerProximalTermsAreReachedByRefinement) {
  struct Case {
    const char* label;
    double mu;
    bool refined;  // reached by refinement with the first factors
  };
  const Case cases[] = {
      {"a tenth smaller", 0.9 * kMu, true},
      {"same", kMu, false},
      {"zero", 0.0, false},
      {"larger", 2 * kMu, false},
  };
  StartPlanted();
  for (const Case& c : cases) {
    CrashMatrix m = Fresh();
    ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(Pattern()), kMu), 1) << c.label;
    const std::vector<int> second = Flipped(Pattern(), 2);
    ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(second), c.mu), 1) << c.label;
    const std::vector<double> y = Direction(&m, second);
    EXPECT_LT(NewtonError(second, y, c.mu), 1e-9) << c.label;
    if (c.refined) {
      EXPECT_EQ(m.factorizations, 1) << c.label;
      EXPECT_GT(m.refinements, 0) << c.label;
      EXPECT_EQ(m.mu, kMu) << c.label;
    } else {
      EXPECT_EQ(m.mu, c.mu) << c.label;
    }
    Release(&m);
  }
}

TEST_F(CrashMatrixTest, JacobianThatMovedDropsTheFactors) {
  StartPlanted();
  CrashMatrix m = Fresh();
  ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(Pattern()), kMu), 1);
  FunctionJacobian* next = FunctionJacobian_Create(n_, n_ * n_);
  FunctionJacobian_Copy(next, FJ_);
  EXPECT_TRUE(CrashMatrix_NextJacobian(&m, FunctionJacobian_Jacobian(FJ_),
                                       FunctionJacobian_Jacobian(next)));
  EXPECT_TRUE(m.factored);

  DenseVector* values = SparseMatrix_Values(FunctionJacobian_Jacobian(next));
  DenseVector_SetValue(values, 1, DenseVector_Value(values, 1) * (1.0 + 1e-15));
  EXPECT_FALSE(CrashMatrix_NextJacobian(&m, FunctionJacobian_Jacobian(FJ_),
                                        FunctionJacobian_Jacobian(next)));
  EXPECT_FALSE(m.factored);
  ASSERT_EQ(CrashMatrix_Prepare(&m, FJ_, Codes(Pattern()), kMu), 1);
  EXPECT_EQ(m.factorizations, 2);
  FunctionJacobian_Destroy(next);
  Release(&m);
}

// The whole crash phase: on a linear problem the steps after the first
// factorizations update the factors, and take no more factorizations than
// a crash that factors afresh at every step (update limit 0; it widens its
// free set at every step of a moving front, while the updating crash keeps
// to the rule's own steps where updates take them); on nonlinear problems,
// whose J moves every step, every step factors afresh, and the crash still
// reduces the residual.
TEST_F(CrashMatrixTest, CrashUpdatesOnlyWhileTheJacobianStaysTheSame) {
  CrashStatistics counts[2];
  for (int limit : {0, 50}) {
    TearDown();
    SetUp();
    Factorization_OptionTable[FACTORIZATION_UPDATE_LIMIT].int_value = limit;
    Start(AsNonlinear(Obstacle(16)));
    const double before = ProblemResidual(RESIDUAL_FISCHER_BURMEISTER, Values(x_));
    Information record{};
    Crash_Newton(mcp_, &record, x_, FJ_);
    const int k = limit == 0 ? 0 : 1;
    counts[k] = Crash_GetStatistics();
    EXPECT_EQ(counts[k].steps, record.crash_iterations);
    EXPECT_LT(ProblemResidual(RESIDUAL_FISCHER_BURMEISTER, Values(x_)), 1e-3 * before);
  }
  EXPECT_EQ(counts[0].updates, 0);
  // Without updates every system is factored afresh, but for the last one:
  // the step without the proximal term keeps the memberships of the
  // factors and refines on them.
  EXPECT_GE(counts[0].factorizations, counts[0].systems - 1);
  EXPECT_GT(counts[1].updates, 0);
  EXPECT_LT(counts[1].factorizations, counts[1].systems);
  EXPECT_LE(counts[1].factorizations, counts[0].factorizations);

  const NonlinearProblem nonlinear[] = {KojimaShindo(0.0), Josephy(), BroydenTridiagonal(10),
                                        NashCournot()};
  for (const NonlinearProblem& problem : nonlinear) {
    TearDown();
    SetUp();
    Start(problem);
    Information record{};
    const double start = ProblemResidual(RESIDUAL_FISCHER_BURMEISTER, Values(x_));
    Crash_Newton(mcp_, &record, x_, FJ_);
    const CrashStatistics s = Crash_GetStatistics();
    EXPECT_GE(s.steps, 1) << problem.name;
    EXPECT_GE(s.factorizations, s.steps) << problem.name;
    EXPECT_EQ(s.updates, 0) << problem.name;
    EXPECT_LT(ProblemResidual(RESIDUAL_FISCHER_BURMEISTER, Values(x_)), start) << problem.name;
  }
}

}  // namespace
