// Allocation failures while the problem classes and adapters build their
// records: every failure point, one after the other, must end in the solver
// error "allocation failed" with every block obtained so far given back and
// the shared Workspace reference dropped.
#include <functional>

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

class ClassAllocationTest : public LibraryTest {
 protected:
  void SweepFailures(const std::function<void()>& build) { SweepAllocationFailures(build); }
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
