// Allocation failures while the problem classes and adapters build their
// records: every failure point, one after the other, must end in the solver
// error "allocation failed" with every block obtained so far given back and
// the shared Workspace reference dropped.
#include <cstdlib>
#include <functional>
#include <set>

#include "core/Memory.hpp"
#include "core/Workspace.hpp"
#include "presolve/MCP_Finish.hpp"
#include "problems/CNS.hpp"
#include "problems/CNS_MCP.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/ComplementarityPoint.hpp"
#include "problems/MCP.hpp"
#include "problems/PLCP.hpp"
#include "problems/PMCP.hpp"
#include "problems/QP.hpp"
#include "problems/QP_MCP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

// Hands out blocks until the allowed number is used up, then fails; keeps
// the set of blocks not yet freed.
struct CountingAllocator {
  static int allowed;
  static std::set<void*>* live;
  static void* Allocate(void*, std::size_t size) {
    if (allowed == 0) return nullptr;
    if (allowed > 0) allowed -= 1;
    void* block = std::malloc(size);
    live->insert(block);
    return block;
  }
  static void Free(void*, void* block) {
    live->erase(block);
    std::free(block);
  }
  Memory_Interface record{nullptr, &Allocate, &Allocate, &Free, &Free};
  std::set<void*> blocks;
  CountingAllocator() {
    live = &blocks;
    allowed = -1;
    Memory_SetInterface(&record);
  }
  ~CountingAllocator() {
    Memory_Reset();
    live = nullptr;
  }
};
int CountingAllocator::allowed = -1;
std::set<void*>* CountingAllocator::live = nullptr;

class ClassAllocationTest : public LibraryTest {
 protected:
  // Counts the allocations of build (which must leave nothing behind when
  // it succeeds), then fails each of them in turn.
  void SweepFailures(const std::function<void()>& build) {
    CountingAllocator counter;
    counter.allowed = 1000000;
    build();
    ASSERT_TRUE(counter.blocks.empty()) << "build itself leaves blocks behind";
    int count = 1000000 - counter.allowed;
    ASSERT_GT(count, 3);
    for (int allowed = 0; allowed < count; ++allowed) {
      SCOPED_TRACE(allowed);
      counter.allowed = allowed;
      EXPECT_SOLVER_ERROR(build(), "allocation failed");
      counter.allowed = -1;
      EXPECT_TRUE(counter.blocks.empty()) << counter.blocks.size() << " blocks left";
      if (!counter.blocks.empty()) return;
    }
  }
};

TEST_F(ClassAllocationTest, ClassRecordsGiveBackWhatTheyHadWhenCreateFails) {
  SweepFailures([] { CNS_Destroy(CNS_Create(4, 6)); });
  SweepFailures([] { QP_Destroy(QP_Create(4, 6)); });
  SweepFailures([] { PMCP_Destroy(PMCP_Create(4, 6)); });
  SweepFailures([] { PLCP_Destroy(PLCP_Create(4, 6)); });
  SweepFailures([] { ComplementarityPoint_Destroy(ComplementarityPoint_Create(4)); });
}

TEST_F(ClassAllocationTest, AdaptersGiveBackWhatTheyHadWhenBuildingFails) {
  FakeCaller fake;
  fake.lower = {0.0, -kInf, -kInf};  // one multiplier
  SweepFailures([&] {
    CNS* cns = CNS_Create(3, 9);
    CNS_Interface in = CNSInterface(fake);
    CNS_SetInterface(cns, &in);
    MCP* mcp = nullptr;
    try {
      CNS_MCP_Create(cns, &mcp, nullptr, nullptr);
      CNS_MCP_Finish(cns, &mcp);
    } catch (...) {
      CNS_Destroy(cns);
      throw;
    }
    CNS_Destroy(cns);
  });
  SweepFailures([&] {
    QP* qp = QP_Create(3, 9);
    QP_Interface in = QPInterface(fake);
    QP_SetInterface(&in);
    MCP* mcp = nullptr;
    try {
      QP_MCP_Create(qp, &mcp);
      QP_MCP_Destroy(qp, &mcp);
    } catch (...) {
      QP_Destroy(qp);
      QP_SetInterface(nullptr);
      throw;
    }
    QP_Destroy(qp);
    QP_SetInterface(nullptr);
  });
}

}  // namespace
