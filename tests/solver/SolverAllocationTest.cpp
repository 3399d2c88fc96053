// Allocation failures in the solver: each record of the solver given back
// whole when building it fails part-way, and every failure point of one
// whole small solve through Sarn_Solve ending the solve cleanly, with every
// block given back, no record left, and a fresh solve succeeding after it.
#include <functional>
#include <string>
#include <vector>

#include "problems/MCP.hpp"
#include "solver/LMCP.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

class SolverAllocationTest : public DriverTest {
 protected:
  // Solves problem (a new MCP record each time); returns the termination
  // code after checking that a solved point is a solution.
  int SolveWhole(const NonlinearProblem& problem, bool presolve) {
    ProblemAdapter adapter(problem);
    MCP_SetPresolve(adapter.mcp(), presolve ? 1 : 0);
    Information info{};
    const int code = Solve(adapter, &info);
    if (code == TERMINATION_SOLVED) {
      EXPECT_LE(ComplementarityViolation(problem, adapter.Point()), 1e-6);
    }
    return code;
  }
};

TEST_F(SolverAllocationTest, SolverRecordsGiveBackWhatTheyHadWhenCreateFails) {
  struct Case {
    const char* name;
    std::function<void()> build;
  };
  const Case cases[] = {
      {"pivoting workspace", [] { Lemke_CreateWorkspace(3, 3); Lemke_DestroyWorkspace(); }},
      {"driver workspace", [] { Sarn_CreateWorkspace(3, 3); Sarn_DestroyWorkspace(); }},
      {"linearised problem", [] { LMCP_Destroy(LMCP_Create(3)); }},
      {"stabilisation state", [] { NMS_Create(3, 10); NMS_Destroy(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SweepAllocationFailures(c.build);
    ExpectNothingHeld();
  }
}

TEST_F(SolverAllocationTest, EveryFailedAllocationOfASolveEndsItCleanly) {
  struct Case {
    NonlinearProblem problem;
    bool presolve;
  };
  const Case cases[] = {{Josephy(), false}, {AsNonlinear(ConvexQP()), true}};
  constexpr int kPlenty = 1000000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem.name);
    CountingAllocator counter;
    counter.allowed = kPlenty;
    ASSERT_EQ(SolveWhole(c.problem, c.presolve), TERMINATION_SOLVED);
    ASSERT_TRUE(counter.blocks.empty()) << "a solve itself leaves blocks behind";
    const int count = kPlenty - counter.allowed;
    ASSERT_GT(count, 20);
    for (int allowed = 0; allowed < count; ++allowed) {
      SCOPED_TRACE("allocations granted: " + std::to_string(allowed));
      counter.allowed = allowed;
      try {
        SolveWhole(c.problem, c.presolve);
      } catch (const SolverErrorException& e) {
        EXPECT_NE(std::string(e.what()).find("allocation failed"), std::string::npos) << e.what();
      }
      counter.allowed = -1;
      EXPECT_TRUE(counter.blocks.empty()) << counter.blocks.size() << " blocks left";
      ExpectNothingHeld();
      EXPECT_EQ(SolveWhole(c.problem, c.presolve), TERMINATION_SOLVED);
      if (HasFailure()) return;
    }
  }
}

}  // namespace
