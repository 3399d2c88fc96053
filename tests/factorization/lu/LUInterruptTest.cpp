// User interrupts during the LU engine's work: a poll that finds an
// interrupt leaves through the registered jump point; without one the engine
// carries on.
#include <csignal>

#include "LUHarnessTest.hpp"
#include "core/Interrupt.hpp"
#include "support/TestSupport.hpp"

namespace {

using lutest::Engine;
using lutest::Triple;

class LUInterruptTest : public LibraryTest {
 protected:
  void TearDown() override {
    Interrupt_Reset();
    LibraryTest::TearDown();
  }
};

// An interrupt service that reports an interrupt from the fire_at-th poll on.
struct ScriptedInterrupt {
  long polls = 0;
  long fire_at = -1;  // never
  Interrupt_Interface record{this, [](void*) {}, [](void*) {}, [](void* context) {
                               auto* self = static_cast<ScriptedInterrupt*>(context);
                               ++self->polls;
                               return self->fire_at > 0 && self->polls >= self->fire_at ? 1 : 0;
                             }};
};

std::vector<Triple> LargeMatrix() {
  std::mt19937 rng(99);
  return lutest::RandomSparse(rng, 1500, 1500, 4, true);
}

TEST_F(LUInterruptTest, SigintDuringAFactorizationLeavesThroughTheJumpPoint) {
  std::vector<Triple> t = LargeMatrix();
  Engine e(1500, 1500, 40 * lutest::EntryStorage(1500, 1500, t.size()));
  Interrupt_Start();
  bool finished = false;
  const bool jumped = Interrupt_RunWithJumpPoint([&] {
    std::raise(SIGINT);
    e.Factor(t);
    finished = true;
  });
  Interrupt_Restore();
  EXPECT_TRUE(jumped);
  EXPECT_FALSE(finished);
  EXPECT_EQ(Interrupt_GetJumpBuffer(), nullptr);
  // Nothing of the abandoned factorization is left behind.
  EXPECT_EQ(e.Factor(t), LU_OK);
  EXPECT_EQ(lutest::CheckLayout(e), "");
}

struct WorkCase {
  const char* name;
  std::int32_t n;
  int per_column;
};

// The engine polls all through its work: an interrupt at any later poll, in
// the sparse or the dense phase, in a solve or an update, also leaves.
TEST_F(LUInterruptTest, EveryPollCanLeave) {
  const WorkCase cases[] = {{"sparse", 400, 3}, {"dense", 60, 1000}};
  for (const WorkCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(5);
    std::vector<Triple> t = lutest::RandomSparse(rng, c.n, c.n, c.per_column, true);
    ScriptedInterrupt counter;
    Interrupt_SetInterface(&counter.record);
    Engine e(c.n, c.n, 30 * lutest::EntryStorage(c.n, c.n, t.size()));
    ASSERT_EQ(e.Factor(t), LU_OK);
    const long factor_polls = counter.polls;
    EXPECT_GT(factor_polls, c.n / 2);
    std::vector<double> v(c.n, 1.0), w(c.n);
    e.Solve(LU_SOLVE_A, v, w);
    const long solve_polls = counter.polls - factor_polls;
    EXPECT_GE(solve_polls, 1);
    for (long at : {factor_polls / 2, factor_polls - 1}) {
      ScriptedInterrupt scripted;
      scripted.fire_at = at;
      Interrupt_SetInterface(&scripted.record);
      bool finished = false;
      EXPECT_TRUE(Interrupt_RunWithJumpPoint([&] {
        e.Factor(t);
        finished = true;
      }));
      EXPECT_FALSE(finished);
      EXPECT_EQ(scripted.polls, at);
    }
    // An update polls too.
    ScriptedInterrupt scripted;
    Interrupt_SetInterface(&scripted.record);
    ASSERT_EQ(e.Factor(t), LU_OK);
    scripted.fire_at = scripted.polls + 1;
    std::vector<double> column(c.n, 0.0);
    column[0] = 2.0;
    EXPECT_TRUE(Interrupt_RunWithJumpPoint([&] { e.Replace(1, column); }));
    Interrupt_Reset();
  }
}

TEST_F(LUInterruptTest, WithoutAJumpPointTheFlagIsIgnored) {
  std::mt19937 rng(8);
  std::vector<Triple> t = lutest::RandomSparse(rng, 200, 200, 3, true);
  ScriptedInterrupt always;
  always.fire_at = 1;
  Interrupt_SetInterface(&always.record);
  Engine e(200, 200, 20000);
  EXPECT_EQ(e.Factor(t), LU_OK);
  EXPECT_GT(always.polls, 100);
  EXPECT_EQ(lutest::CheckFactors(e, lutest::ToDense(200, 200, t)), "");
  std::vector<double> v(200, 1.0), w(200);
  EXPECT_EQ(e.Solve(LU_SOLVE_A, v, w), LU_OK);
}

}  // namespace
