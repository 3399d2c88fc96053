// MCP record: capacities, growth, interfaces, parts, copy, lifetime and
// names.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/Memory.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/MCPFixture.hpp"

namespace {

class MCPRecordTest : public MCPFixture {};

TEST_F(MCPRecordTest, CapacitiesAtCreation) {
  struct Case {
    std::int32_t n, nnz;
    std::int32_t max_n, max_nnz, max_nnz_r;
  };
  const Case cases[] = {
      {0, 0, 1, 1, 1},         // raised to one
      {-4, -2, 1, 1, 1},
      {3, 100, 3, 100, 9},     // n * n is the smaller bound
      {100, 5, 100, 5, 105},   // n + nnz is the smaller bound
      {50000, 1, 50000, 1, 50001},
  };
  for (const Case& c : cases) {
    MCP* mcp = Record(c.n, c.nnz);
    EXPECT_EQ(mcp->max_n, c.max_n) << c.n << " " << c.nnz;
    EXPECT_EQ(mcp->max_nnz, c.max_nnz) << c.n << " " << c.nnz;
    EXPECT_EQ(MCP_MaxVariables(mcp), c.max_n) << c.n << " " << c.nnz;
    EXPECT_EQ(MCP_MaxNonzeros(mcp), c.max_nnz_r) << c.n << " " << c.nnz;
  }
  EXPECT_SOLVER_ERROR(Record(2147483647, 2147483647), "problem size too large");
}

TEST_F(MCPRecordTest, NewRecordDefaults) {
  MCP* mcp = Record(4, 8);
  EXPECT_EQ(MCP_MeritWeight(mcp), 0.7);
  EXPECT_EQ(MCP_HasSecondFunction(mcp), 0);
  EXPECT_EQ(MCP_PresolveAllowed(mcp), 0);
  EXPECT_EQ(MCP_FreeVariableTransform(mcp), 0);
  EXPECT_EQ(MCP_ProblemClass(mcp), PROBLEM_CLASS_NONE);
  EXPECT_EQ(MCP_Variables(mcp), 0);
  EXPECT_EQ(MCP_FullVariables(mcp), 0);
  EXPECT_EQ(MCP_PresolveMade(mcp), 0);
  MCP_Interface in;
  MCP_GetInterface(mcp, &in);
  EXPECT_EQ(in.problem_size, nullptr);
  EXPECT_EQ(in.jacobian_evaluation, nullptr);
}

TEST_F(MCPRecordTest, SizeOnlyGrows) {
  MCP* mcp = Record(10, 20);
  MCP_Size(mcp, 5, 5);
  EXPECT_EQ(mcp->max_n, 10);
  EXPECT_EQ(mcp->max_nnz, 20);
  EXPECT_EQ(MCP_MaxNonzeros(mcp), 30);
  MCP_Size(mcp, 12, 30);
  EXPECT_EQ(mcp->max_n, 12);
  EXPECT_EQ(MCP_MaxNonzeros(mcp), 42);
  EXPECT_GE(DenseVector_Capacity(MCP_FullX(mcp)), 12);
  EXPECT_GE(FunctionJacobian_MaxNnz(MCP_Evaluation(mcp)), 30);
  EXPECT_SOLVER_ERROR(MCP_Size(mcp, 2000000000, 2000000000), "problem size too large");
}

TEST_F(MCPRecordTest, FreeVariableTransformMakesRoomForEta) {
  MCP* mcp = Record(10, 20);
  MCP_SetFreeVariableTransform(mcp, 1);
  EXPECT_EQ(MCP_MaxVariables(mcp), 11);
  EXPECT_EQ(MCP_MaxNonzeros(mcp), 51);  // min(20 + 30 + 1, 121)
  EXPECT_EQ(mcp->free_allocated, 1);
  EXPECT_GE(DenseVector_Capacity(MCP_X(mcp)), 11);
}

TEST_F(MCPRecordTest, SecondFunctionGradientHasRoomForEta) {
  MCP* mcp = Record(3, 3);
  MCP_SetFreeVariableTransform(mcp, 1);
  MCP_SecondFunctionInterface second{};
  MCP_SetSecondFunctionInterface(mcp, &second);
  EXPECT_EQ(MCP_HasSecondFunction(mcp), 1);
  EXPECT_GE(DenseVector_Capacity(MCP_SecondFunctionWork(mcp)), 4);
  EXPECT_GE(DenseVector_Capacity(MCP_SecondFunctionF(mcp)), 3);
  MCP_SetSecondFunctionInterface(mcp, nullptr);
  EXPECT_EQ(MCP_HasSecondFunction(mcp), 0);
  EXPECT_NE(MCP_SecondFunctionWork(mcp), nullptr);  // the part stays
}

void SizeSlot(void*, int* n, int* nnz) { *n = *nnz = 1; }

TEST_F(MCPRecordTest, InterfaceCopiesEverySlotButTheReservedOne) {
  MCP* mcp = Record(2, 2);
  int marker = 0;
  MCP_Interface in{};
  in.data = &marker;
  in.problem_size = &SizeSlot;
  in.reserved = &marker;
  MCP_SetInterface(mcp, &in);
  in.problem_size = nullptr;  // the record keeps its own copy

  MCP_Interface out{};
  out.reserved = &in;
  MCP_GetInterface(mcp, &out);
  EXPECT_EQ(out.data, &marker);
  EXPECT_EQ(out.problem_size, &SizeSlot);
  EXPECT_EQ(out.reserved, &in);  // left alone on the way out too
  EXPECT_EQ(mcp->interface.reserved, nullptr);

  MCP_SetInterface(mcp, nullptr);
  MCP_GetInterface(mcp, &out);
  EXPECT_EQ(out.data, nullptr);
  EXPECT_EQ(out.problem_size, nullptr);
}

TEST_F(MCPRecordTest, ReferencesKeepTheRecordAlive) {
  MCP* mcp = MCP_Create(2, 2);
  EXPECT_EQ(MCP_Reference(mcp), 2);
  EXPECT_EQ(MCP_Destroy(mcp), 1);
  EXPECT_EQ(MCP_Variables(mcp), 0);  // still readable
  EXPECT_EQ(MCP_Destroy(mcp), 0);
  EXPECT_EQ(MCP_Destroy(nullptr), 0);
}

TEST_F(MCPRecordTest, CopyCarriesTheProblemAndItsFreePart) {
  FakeMCP fake(3, 3, ShiftedIdentity({0.0, 0.0, 0.0}));
  fake.lower = {-kInf, 1.0, 0.0};
  fake.upper = {kInf, 1.0, 4.0};
  fake.start = {-2.0, 1.0, 3.0};
  MCP* src = Make(fake, 3);
  MCP_SetFreeVariableTransform(src, 1);
  ASSERT_EQ(MCP_Start(src), MCP_CONTINUE);
  FunctionJacobian* pair = Pair(3, MCP_Nonzeros(src));
  MCP_Jacobian(src, MCP_X(src), pair);

  MCP* dst = Record(1, 1);
  MCP_Copy(dst, src);
  EXPECT_EQ(MCP_Variables(dst), 3);
  EXPECT_EQ(MCP_Nonzeros(dst), MCP_Nonzeros(src));
  EXPECT_EQ(MCP_FixedCount(dst), 1);
  EXPECT_EQ(MCP_FreeCount(dst), 1);
  EXPECT_EQ(Values(MCP_X(dst)), Values(MCP_X(src)));
  EXPECT_EQ(Values(MCP_FullLower(dst)), Values(MCP_FullLower(src)));
  EXPECT_EQ(Values(MCP_ReducedToFull(dst)), Values(MCP_ReducedToFull(src)));
  EXPECT_EQ(Values(dst->free_flag), Values(src->free_flag));
  EXPECT_EQ(MCP_FreeVariableTransform(dst), 1);
  // The copied evaluation stores every diagonal.
  EXPECT_EQ(FunctionJacobian_Nnz(MCP_Evaluation(dst)), 3);

  // Reduced evaluations on the copy use the copied maps.
  MCP_Interface in = fake.Interface();
  MCP_SetInterface(dst, &in);
  FunctionJacobian* copy_pair = Pair(3, MCP_Nonzeros(dst));
  MCP_Function(dst, MCP_X(dst), copy_pair);
  EXPECT_EQ(Values(FunctionJacobian_Function(copy_pair)),
            Values(FunctionJacobian_Function(pair)));
}

TEST_F(MCPRecordTest, CopyOfAFullJacobianFitsTheDestination) {
  // Every entry of the room used and no diagonal stored: the copy adds two.
  FakeMCP fake(2, 2, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = x[1];
    f[1] = x[0];
    if (j) *j = {{1, 0, 1.0}, {0, 1, 1.0}};
    return 0;
  });
  MCP* src = Make(fake, 2);
  ASSERT_EQ(MCP_Start(src), MCP_CONTINUE);
  MCP* dst = Record(2, 2);
  MCP_Copy(dst, src);
  EXPECT_EQ(FunctionJacobian_Nnz(MCP_Evaluation(dst)), 4);
}

// An allocator that fails the allocation with a given number. Vector
// records (24 bytes) are never failed: what a vector does when its own
// record cannot be had is the vector's business, not the MCP record's.
struct FailingAllocator {
  static int countdown;
  static void* Allocate(void*, std::size_t size) {
    if (size != sizeof(DenseVector)) {
      if (countdown == 0) return nullptr;
      countdown -= 1;
    }
    return std::malloc(size);
  }
  static void Free(void*, void* block) { std::free(block); }
  Memory_Interface record{nullptr, &Allocate, &Allocate, &Free, &Free};
  explicit FailingAllocator(int allowed) {
    countdown = allowed;
    Memory_SetInterface(&record);
  }
  ~FailingAllocator() { Memory_Reset(); }
};
int FailingAllocator::countdown = -1;

TEST_F(MCPRecordTest, FailedAllocationDuringCreateLeavesNothingBehind) {
  static_assert(sizeof(DenseVector) == sizeof(IDenseVector), "one record size");
  // Count the allocations of one creation (sizes chosen so that no array is
  // as large as a vector record), then fail each of them in turn.
  int count = 0;
  {
    FailingAllocator counter(1000000);
    MCP_Destroy(MCP_Create(5, 7));
    count = 1000000 - FailingAllocator::countdown;
  }
  ASSERT_GT(count, 10);
  for (int allowed = 0; allowed < count; ++allowed) {
    FailingAllocator failing(allowed);
    EXPECT_SOLVER_ERROR(MCP_Create(5, 7), "allocation failed");
  }
}

TEST_F(MCPRecordTest, NamesInBothNumberings) {
  MCP* mcp = Record(12, 12);
  char buf[256];
  MCP_FullVariableName(mcp, 7, buf, 256);
  EXPECT_STREQ(buf, "x[    7]");
  MCP_FullConstraintName(mcp, 12, buf, 256);
  EXPECT_STREQ(buf, "f[   12]");
  EXPECT_EQ(MCP_FullConstraintName(mcp, 3, buf, 4), 8);  // cut to the buffer
  EXPECT_STREQ(buf, "f[ ");

  // Variables 2 and 3 of 4 fixed: reduced 2 is full 4.
  FakeMCP fake(4, 4, ShiftedIdentity({0.0, 0.0, 0.0, 0.0}));
  fake.lower = {0.0, 1.0, 2.0, 0.0};
  fake.upper = {9.0, 1.0, 2.0, 9.0};
  MCP* reduced = Make(fake, 4);
  ASSERT_EQ(MCP_Start(reduced), MCP_CONTINUE);
  MCP_VariableName(reduced, 2, buf, 256);
  EXPECT_STREQ(buf, "x[    4]");
  MCP_ConstraintName(reduced, 2, buf, 256);
  EXPECT_STREQ(buf, "f[    4]");

  // With "eta": the last reduced index; the one before names the last
  // non-fixed full variable.
  MCP_SetFreeVariableTransform(reduced, 1);
  fake.lower[0] = -kInf;
  fake.upper[0] = kInf;
  ASSERT_EQ(MCP_Start(reduced), MCP_CONTINUE);
  ASSERT_EQ(MCP_Variables(reduced), 3);
  MCP_VariableName(reduced, 3, buf, 256);
  EXPECT_STREQ(buf, "eta");
  MCP_ConstraintName(reduced, 3, buf, 256);
  EXPECT_STREQ(buf, "eta");
  MCP_VariableName(reduced, 2, buf, 256);
  EXPECT_STREQ(buf, "x[    4]");
}

int NameSlot(void*, int i, char* buf, int len) {
  return std::snprintf(buf, static_cast<std::size_t>(len), "v%d", i);
}

TEST_F(MCPRecordTest, NamesComeFromTheCallbacksWhenInstalled) {
  MCP* mcp = Record(3, 3);
  MCP_Interface in{};
  in.variable_name = &NameSlot;
  in.constraint_name = &NameSlot;
  MCP_SetInterface(mcp, &in);
  char buf[256];
  EXPECT_EQ(MCP_FullVariableName(mcp, 2, buf, 256), 2);
  EXPECT_STREQ(buf, "v2");
  MCP_FullConstraintName(mcp, 3, buf, 256);
  EXPECT_STREQ(buf, "v3");
}

}  // namespace
