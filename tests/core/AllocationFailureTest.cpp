// An allocation that fails part-way through building a record must not leave
// the allocations made before it behind: each case is run once for every
// allocation it makes, with that allocation failing, and after the solver
// error and the release of whatever the case still holds no block may be
// live.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "core/DenseMatrix.hpp"
#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/RecordStack.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Timer.hpp"
#include "core/Workspace.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "support/TestSupport.hpp"
#include "VectorFixtures.hpp"

namespace {

class AllocationFailureTest : public LibraryTest {};

struct Case {
  const char* name;
  std::function<void()> setup;     // made with every allocation granted
  std::function<void()> act;       // the allocations under test
  std::function<void()> teardown;  // releases what setup and act left
};

// Runs c with its k-th allocation failing, for k = 1, 2, ... until act
// succeeds (act may need none).
void SweepFailures(const Case& c) {
  for (int k = 0; k < 10000; ++k) {
    CountingMemory memory;
    c.setup();
    memory.fail_at = memory.allocations + k;
    bool failed = false;
    try {
      c.act();
    } catch (const SolverErrorException& error) {
      failed = true;
      EXPECT_NE(std::string(error.what()).find("allocation failed"), std::string::npos)
          << c.name << ": " << error.what();
    }
    memory.fail_at = -1;
    c.teardown();
    EXPECT_EQ(memory.live(), 0) << c.name << " with allocation " << k + 1 << " failing";
    if (!failed) return;
  }
  ADD_FAILURE() << c.name << " never succeeded";
}

TEST_F(AllocationFailureTest, NothingIsLeftBehindWhenAnAllocationFails) {
  DenseVector* v = nullptr;
  IDenseVector* iv = nullptr;
  DenseMatrix* m = nullptr;
  DenseMatrix* m2 = nullptr;
  SparseMatrix* A = nullptr;
  FunctionJacobian* p = nullptr;
  FunctionJacobian* q = nullptr;
  Options* made = nullptr;
  RecordStack* stack = nullptr;
  void* timer = nullptr;
  bool pool = false;

  auto none = [] {};
  auto release = [&] {
    DenseVector_Destroy(v);
    IDenseVector_Destroy(iv);
    DenseMatrix_Destroy(m);
    DenseMatrix_Destroy(m2);
    SparseMatrix_Destroy(A);
    FunctionJacobian_Destroy(p);
    FunctionJacobian_Destroy(q);
    Options_Destroy(made);
    RecordStack_Destroy(stack);
    if (timer != nullptr) Timer_Destroy(timer);
    if (pool) Workspace_Destroy();
    v = nullptr;
    iv = nullptr;
    m = m2 = nullptr;
    A = nullptr;
    p = q = nullptr;
    made = nullptr;
    stack = nullptr;
    timer = nullptr;
    pool = false;
  };

  const std::vector<Case> cases = {
      {"DenseVector_Create", none, [&] { v = DenseVector_Create(5); }, release},
      {"IDenseVector_Create", none, [&] { iv = IDenseVector_Create(5); }, release},
      {"DenseMatrix_Create", none, [&] { m = DenseMatrix_Create(3, 4); }, release},
      {"DenseMatrix_Size", [&] { m = DenseMatrix_Create(2, 2); },
       [&] { DenseMatrix_Size(m, 5, 6); }, release},
      {"DenseMatrix_ClonePartial without maps",
       [&] {
         m = DenseMatrix_Create(2, 2);
         m2 = DenseMatrix_Create(2, 2);
         DenseMatrix_Identity(m, 2);
       },
       [&] { DenseMatrix_ClonePartial(m2, m, nullptr, nullptr); }, release},
      {"SparseMatrix_Create", none, [&] { A = SparseMatrix_Create(4, 4, 10); }, release},
      {"SparseMatrix_Resize", [&] { A = SparseMatrix_Create(1, 1, 1); },
       [&] { SparseMatrix_Resize(A, 4, 4, 10); }, release},
      {"FunctionJacobian_Create", none, [&] { p = FunctionJacobian_Create(3, 5); }, release},
      {"FunctionJacobian_Copy into a smaller pair",
       [&] {
         p = FunctionJacobian_Create(3, 3);
         q = FunctionJacobian_Create(1, 1);
         SparseMatrix_SetIdentity(FunctionJacobian_Jacobian(p), 3);
         DenseVector_FillOne(FunctionJacobian_Function(p), 3);
         FunctionJacobian_SetN(p, 3);
         FunctionJacobian_SetNnz(p, 3);
       },
       [&] { FunctionJacobian_Copy(q, p); }, release},
      {"Options_Create", none, [&] { made = Options_Create(); }, release},
      {"RecordStack_Push across chunks", none,
       [&] {
         stack = RecordStack_Create();
         const PresolveRecord record{1.0, 2.0, 3.0, 4, 5, 6, 7};
         for (int k = 0; k < 2 * RECORDSTACK_CHUNK_SIZE + 1; ++k) RecordStack_Push(stack, record);
       },
       release},
      {"Timer_Create", none, [&] { timer = Timer_Create(); }, release},
      {"Workspace members and groups", [&] { Workspace_Create(4, 9); pool = true; },
       [&] {
         Workspace_Vector(1);
         Workspace_IVector(2);
         Workspace_Matrix();
         Workspace_FunctionJacobian();
         Workspace_Basis();
         Workspace_BuildFactorGroup();
         Workspace_BuildMeritGroup();
         Workspace_BuildKrylovGroup();
         Workspace_BuildOrthoGroup();
         Workspace_BuildPreconditionerGroup();
         Workspace_BuildScaleGroup();
         Workspace_BuildSearchGroup();
         Workspace_Size(20, 40);
       },
       release},
  };
  for (const Case& c : cases) SweepFailures(c);
}

}  // namespace
