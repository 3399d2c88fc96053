// Workspace: lazy members that keep their identity, growth that never
// shrinks, and the release of everything (the start vector included) with
// the last reference.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "support/TestSupport.hpp"
#include "VectorFixtures.hpp"

namespace {

// A basis back-end that records what the pool asks of it.
struct BackendLog {
  std::vector<std::vector<int>> creates;
  std::vector<std::vector<int>> sizes;
  int destroys = 0;
};
BackendLog backend_log;
int backend_handle = 0;

Basis_Interface RecordingTable() {
  Basis_Interface t = {};
  t.create = [](std::int32_t m, std::int32_t n, std::int32_t nnz) -> void* {
    backend_log.creates.push_back({m, n, nnz});
    return &backend_handle;
  };
  t.destroy = [](void*) { ++backend_log.destroys; };
  t.size = [](void*, std::int32_t m, std::int32_t n, std::int32_t nnz) {
    backend_log.sizes.push_back({m, n, nnz});
  };
  return t;
}

class WorkspaceTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    backend_log = BackendLog{};
    saved_table_ = Basis_GetInterface();
    table_ = RecordingTable();
    Basis_SetInterface(&table_);
  }
  void TearDown() override {
    for (int k = 0; k < 10; ++k) Workspace_Destroy();  // no pool left behind
    Basis_SetInterface(saved_table_);
    LibraryTest::TearDown();
  }
  const Basis_Interface* saved_table_ = nullptr;
  Basis_Interface table_{};
};

TEST_F(WorkspaceTest, CreateRaisesTheSizesToOne) {
  Workspace_Create(0, 0);
  EXPECT_EQ(DenseVector_Capacity(Workspace_Vector(1)), 1);
  EXPECT_EQ(DenseVector_Length(Workspace_Vector(1)), 0);
  EXPECT_EQ(SparseMatrix_NNZCapacity(Workspace_Matrix()), 1);
  Workspace_Basis();
  EXPECT_EQ(backend_log.creates, (std::vector<std::vector<int>>{{1, 1, 1}}));
  Workspace_Destroy();
}

struct GrowthCase {
  const char* name;
  int n0, nnz0;        // first Workspace_Create
  int n1, nnz1;        // second Workspace_Create
  int n, nnz;          // sizes afterwards
  bool grows_members;  // the matrix-like members were regrown
};

TEST_F(WorkspaceTest, SecondCreateGrowsThePoolAndAddsAReference) {
  const GrowthCase cases[] = {
      {"larger n, smaller nnz", 50, 1000, 100, 500, 100, 1000, true},
      {"smaller n and nnz", 50, 1000, 10, 10, 50, 1000, false},
      {"larger nnz only", 50, 1000, 20, 3000, 50, 3000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    backend_log = BackendLog{};
    Workspace_Create(c.n0, c.nnz0);
    DenseVector* v = Workspace_Vector(2);
    IDenseVector* iv = Workspace_IVector(15);
    SparseMatrix* m = Workspace_Matrix();
    FunctionJacobian* fj = Workspace_FunctionJacobian();
    DenseVector* merit = Workspace_MeritVector3();
    SparseMatrix* merit_matrix = Workspace_MeritMatrix();
    Workspace_Basis();
    Workspace_Create(c.n1, c.nnz1);
    // Same records, grown to the new sizes.
    EXPECT_EQ(Workspace_Vector(2), v);
    EXPECT_EQ(Workspace_IVector(15), iv);
    EXPECT_EQ(Workspace_Matrix(), m);
    EXPECT_EQ(Workspace_FunctionJacobian(), fj);
    EXPECT_EQ(Workspace_MeritMatrix(), merit_matrix);
    EXPECT_EQ(DenseVector_Capacity(v), c.n);
    EXPECT_EQ(IDenseVector_Capacity(iv), c.n);
    EXPECT_EQ(DenseVector_Capacity(merit), c.n);
    EXPECT_EQ(SparseMatrix_ColCapacity(m), c.n);
    EXPECT_EQ(SparseMatrix_NNZCapacity(m), c.nnz);
    EXPECT_EQ(SparseMatrix_NNZCapacity(merit_matrix), c.nnz);
    EXPECT_EQ(FunctionJacobian_MaxN(fj), c.n);
    EXPECT_EQ(FunctionJacobian_MaxNnz(fj), c.nnz);
    if (c.grows_members) {
      EXPECT_EQ(backend_log.sizes, (std::vector<std::vector<int>>{{c.n, c.n, c.nnz}}));
    } else {
      EXPECT_TRUE(backend_log.sizes.empty());
    }
    // Members made now take the stored sizes.
    EXPECT_EQ(DenseVector_Capacity(Workspace_Vector(9)), c.n);
    // Two references are held: one destroy leaves the pool alive.
    EXPECT_EQ(Workspace_Reference(), 3);
    Workspace_Destroy();
    Workspace_Destroy();
    EXPECT_EQ(Workspace_Vector(2), v);
    Workspace_Destroy();
    EXPECT_EQ(backend_log.destroys, 1);
  }
}

TEST_F(WorkspaceTest, LastReferenceFreesEverythingAndClearsTheStartVector) {
  const double start[3] = {1.0, 2.0, 3.0};
  Workspace_Create(5, 8);
  Workspace_Create(5, 8);
  Workspace_Basis();
  Workspace_BuildGmresGroup();
  Workspace_BuildKrylovGroup();
  Workspace_BuildOrthoGroup();
  Workspace_BuildPreconditionerGroup();
  Workspace_BuildScaleGroup();
  Workspace_BuildSearchGroup();
  Workspace_BuildFactorGroup();
  Workspace_BuildMeritGroup();
  Lemke_SetStartVector(start, 3);
  Workspace_Destroy();
  EXPECT_EQ(Lemke_GetStartVector().values, start);
  EXPECT_EQ(Lemke_GetStartVector().length, 3);
  Workspace_Destroy();
  EXPECT_EQ(Lemke_GetStartVector().values, nullptr);
  EXPECT_EQ(Lemke_GetStartVector().length, 0);
  EXPECT_EQ(start[1], 2.0);  // the caller's array is untouched
  EXPECT_EQ(backend_log.destroys, 1);
  EXPECT_SOLVER_ERROR(Workspace_Vector(1), "Workspace(");
  EXPECT_SOLVER_ERROR(Workspace_Vector(1), "Vector: no workspace");
  EXPECT_SOLVER_ERROR(Workspace_Size(3, 3), "Size: no workspace");
  Workspace_Destroy();  // no pool: nothing
  EXPECT_EQ(backend_log.destroys, 1);
}

TEST_F(WorkspaceTest, MembersKeepTheirIdentityUntilThePoolIsFreed) {
  Workspace_Create(4, 4);
  DenseVector* v = Workspace_Vector(3);
  DenseVector_SetLength(v, 2);
  EXPECT_EQ(Workspace_Vector(3), v);
  EXPECT_NE(Workspace_Vector(4), v);
  DenseVector* krylov = Workspace_KrylovVector7();
  EXPECT_EQ(Workspace_KrylovVector7(), krylov);
  EXPECT_NE(Workspace_KrylovVector8(), krylov);
  Workspace_Size(40, 4);
  EXPECT_EQ(Workspace_Vector(3), v);
  EXPECT_EQ(DenseVector_Capacity(v), 40);
  EXPECT_EQ(DenseVector_Capacity(krylov), 40);
  Workspace_Destroy();
  Workspace_Create(6, 6);
  DenseVector* fresh = Workspace_Vector(3);
  EXPECT_EQ(DenseVector_Length(fresh), 0);
  EXPECT_EQ(DenseVector_Capacity(fresh), 6);
  Workspace_Destroy();
}

TEST_F(WorkspaceTest, GmresSmallVectorsGrowWithNButOrthoCoefficientsStayAtTen) {
  Workspace_Create(50, 10);
  EXPECT_EQ(Workspace_GmresRestart(), 200);
  EXPECT_EQ(Workspace_OrthoCount(), 10);
  EXPECT_EQ(Workspace_PreconditionerBand(), 10);
  DenseVector* small = Workspace_GmresSmallVector1();
  DenseVector* coefficients = Workspace_OrthoCoefficients();
  DenseVector** basis = Workspace_GmresBasis();
  DenseVector** directions = Workspace_OrthoDirections();
  DenseVector** band = Workspace_PreconditionerVectors2();
  EXPECT_EQ(DenseVector_Capacity(small), 200);
  EXPECT_EQ(DenseVector_Capacity(coefficients), 10);
  EXPECT_EQ(DenseVector_Capacity(basis[199]), 50);
  Workspace_Size(500, 10);
  EXPECT_EQ(DenseVector_Capacity(small), 500);
  EXPECT_EQ(DenseVector_Capacity(Workspace_GmresSmallVector4()), 500);
  EXPECT_EQ(DenseVector_Capacity(coefficients), 10);
  EXPECT_EQ(DenseVector_Capacity(basis[0]), 500);
  EXPECT_EQ(DenseVector_Capacity(directions[9]), 500);
  EXPECT_EQ(DenseVector_Capacity(band[9]), 500);
  EXPECT_EQ(DenseVector_Capacity(Workspace_ScaleVector4()), 500);
  EXPECT_EQ(DenseVector_Capacity(Workspace_SearchVector2()), 500);
  EXPECT_EQ(IDenseVector_Capacity(Workspace_FactorIVector()), 500);
  Workspace_Destroy();
}

TEST_F(WorkspaceTest, ScratchNumbersOutsideOneToFifteenAreRefused) {
  Workspace_Create(3, 3);
  EXPECT_SOLVER_ERROR(Workspace_Vector(0), "Vector: index out of range");
  EXPECT_SOLVER_ERROR(Workspace_Vector(16), "Vector: index out of range");
  EXPECT_SOLVER_ERROR(Workspace_IVector(16), "IVector: index out of range");
  EXPECT_NE(Workspace_Vector(15), nullptr);
  Workspace_Destroy();
}

// A host allocator that can take back everything it handed out, as a host
// does after abandoning a call.
std::set<void*> host_blocks;
void* HostAllocate(void*, std::size_t size) {
  void* p = std::malloc(size);
  host_blocks.insert(p);
  return p;
}
void HostFree(void*, void* p) {
  host_blocks.erase(p);
  std::free(p);
}
Memory_Interface host_memory = {nullptr, HostAllocate, HostAllocate, HostFree, HostFree};

TEST_F(WorkspaceTest, ForgetStateDropsThePoolWithoutTouchingIt) {
  const double start[2] = {4.0, 5.0};
  Memory_SetInterface(&host_memory);
  Workspace_Create(3, 3);
  Workspace_Vector(1);
  Workspace_BuildKrylovGroup();
  Lemke_SetStartVector(start, 2);
  Workspace_ForgetState();
  // The host reclaims its memory; the library must not touch it again.
  for (void* p : host_blocks) std::free(p);
  host_blocks.clear();
  Memory_Reset();
  EXPECT_EQ(Lemke_GetStartVector().values, nullptr);
  EXPECT_SOLVER_ERROR(Workspace_Vector(1), "no workspace");
  Workspace_Destroy();  // nothing to release
  Workspace_Create(2, 2);
  EXPECT_EQ(DenseVector_Capacity(Workspace_Vector(1)), 2);
  Workspace_Destroy();
}

TEST_F(WorkspaceTest, AGrowthCutShortByAFailedAllocationIsCompletedByTheNextOne) {
  // Every allocation of the growth fails in turn; the caller's next growth
  // to the same sizes must then leave every member at those sizes.
  for (int k = 0; k < 1000; ++k) {
    Workspace_Create(2, 3);
    Workspace_Vector(1);
    Workspace_IVector(1);
    Workspace_Matrix();
    Workspace_FunctionJacobian();
    Workspace_Basis();
    Workspace_BuildMeritGroup();
    Workspace_BuildSearchGroup();
    backend_log.sizes.clear();
    bool failed = false;
    {
      CountingMemory memory;
      memory.fail_at = k;
      try {
        Workspace_Size(50, 80);
      } catch (const SolverErrorException&) {
        failed = true;
      }
    }
    Workspace_Size(50, 80);
    const FunctionJacobian* pair = Workspace_FunctionJacobian();
    const SparseMatrix* matrices[] = {Workspace_Matrix(), Workspace_MeritMatrix(),
                                      FunctionJacobian_Jacobian(pair)};
    for (const SparseMatrix* m : matrices) {
      EXPECT_GE(SparseMatrix_ColCapacity(m), 50) << "allocation " << k + 1 << " failing";
      EXPECT_GE(SparseMatrix_NNZCapacity(m), 80) << "allocation " << k + 1 << " failing";
    }
    EXPECT_GE(FunctionJacobian_MaxN(pair), 50) << "allocation " << k + 1 << " failing";
    EXPECT_GE(FunctionJacobian_MaxNnz(pair), 80) << "allocation " << k + 1 << " failing";
    EXPECT_GE(DenseVector_Capacity(FunctionJacobian_Function(pair)), 50);
    EXPECT_GE(DenseVector_Capacity(Workspace_Vector(1)), 50);
    EXPECT_GE(IDenseVector_Capacity(Workspace_IVector(1)), 50);
    EXPECT_GE(DenseVector_Capacity(Workspace_MeritVector4()), 50);
    EXPECT_GE(IDenseVector_Capacity(Workspace_MeritIVector2()), 50);
    EXPECT_GE(DenseVector_Capacity(Workspace_SearchVector2()), 50);
    ASSERT_FALSE(backend_log.sizes.empty()) << "allocation " << k + 1 << " failing";
    EXPECT_EQ(backend_log.sizes.back(), (std::vector<int>{50, 50, 80}));
    Workspace_Destroy();
    if (!failed) return;
  }
  ADD_FAILURE() << "the growth never succeeded";
}

TEST_F(WorkspaceTest, StartVectorSettingIsClearedByTheCallerToo) {
  const double start[1] = {7.0};
  Lemke_SetStartVector(start, 1);
  EXPECT_EQ(Lemke_GetStartVector().values, start);
  Lemke_ClearStartVector();
  EXPECT_EQ(Lemke_GetStartVector().values, nullptr);
  Lemke_SetStartVector(nullptr, 5);
  EXPECT_EQ(Lemke_GetStartVector().length, 0);
}

}  // namespace
