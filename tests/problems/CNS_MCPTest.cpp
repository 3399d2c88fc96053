// CNS_MCP adapter, what only it does: the sizes handed out by the create,
// basis codes both ways, the presolve setting and the Jacobian entry types.
// What it shares with QP_MCP is checked on both in
// ProblemClassesPairingTest.cpp.
#include <string>
#include <vector>

#include "presolve/MCP_Finish.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/CNS.hpp"
#include "problems/CNS_MCP.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/MCP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

CNS_MCP* AdapterOf(MCP* mcp) { return class_tests::AdapterOf<CNS_MCP>(mcp); }

class CNS_MCPTest : public LibraryTest {
 protected:
  void TearDown() override {
    if (mcp_ != nullptr) CNS_MCP_Finish(cns_, &mcp_);
    CNS_Destroy(cns_);
    LibraryTest::TearDown();
  }
  // The fake with variable 2 bounded below by 0 and the others free.
  int Build(int* n = nullptr, int* nnz = nullptr) {
    cns_ = CNS_Create(3, 9);
    CNS_Interface in = CNSInterface(fake);
    CNS_SetInterface(cns_, &in);
    return CNS_MCP_Create(cns_, &mcp_, n, nnz);
  }
  // Outlives the records: the tear-down finishes through its callbacks.
  FakeCaller fake;
  CNS* cns_ = nullptr;
  MCP* mcp_ = nullptr;
};

TEST_F(CNS_MCPTest, CreateHandsOutTheSizesAndMultipliersAreBasic) {
  fake.lower = {-kInf, 0.0, -kInf};
  fake.basis = {0, 0, 0};
  int n = 0;
  int nnz = 0;
  ASSERT_EQ(Build(&n, &nnz), CNS_CONTINUE);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(nnz, 9 + 1);  // min(3 * 3, 9 + 3) + 1
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  EXPECT_EQ(IDenseVector_Value(MCP_FullBasis(mcp_), 4), BASIS_BASIC);
}

TEST_F(CNS_MCPTest, EntryTypesFollowTheMCPJacobian) {
  fake.lower = {-kInf, 0.0, -kInf};
  cns_ = CNS_Create(3, 9);
  CNS_Interface in = CNSInterface(fake);
  CNS_SetInterface(cns_, &in);
  // The CNS marks its entries 0 and 1 in turn (entry order 1..7).
  CNS_PresolveInterface hooks{};
  hooks.jacobian_types = [](void*, int nnz, int* types) {
    for (int e = 0; e < nnz; ++e) types[e] = e % 2;
  };
  CNS_SetPresolveInterface(cns_, &hooks);
  ASSERT_EQ(CNS_MCP_Create(cns_, &mcp_, nullptr, nullptr), CNS_CONTINUE);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  int nnz = SparseMatrix_NNZ(MCP_EvaluationJ(mcp_));
  ASSERT_EQ(nnz, kCurvedEntries + 1 + 1);

  // Columns 1 and 2 keep their types; column 3 has one entry and then the
  // added diagonal (0); the multiplier column is constant (0).
  std::vector<int> types(nnz + 1, 99);
  CNS_MCP_Jac_Typ(AdapterOf(mcp_), nnz, types.data());
  EXPECT_EQ(types, (std::vector<int>{0, 1, 0, 1, 0, 1, 0, 0, 0, 99}));

  // A count that does not match is refused, and nothing is written past it.
  std::vector<int> short_types(nnz, 99);
  EXPECT_SOLVER_ERROR(CNS_MCP_Jac_Typ(AdapterOf(mcp_), nnz - 2, short_types.data()),
                      "CNS_MCP_Jac_Typ: sizes do not match");
  EXPECT_EQ(short_types[nnz - 2], 99);
  EXPECT_EQ(short_types[nnz - 1], 99);
  EXPECT_SOLVER_ERROR(CNS_MCP_Jac_Typ(AdapterOf(mcp_), nnz + 1, types.data()),
                      "sizes do not match");
}

TEST_F(CNS_MCPTest, PresolveOfTheMCPReadsTheEntryTypes) {
  fake.lower = {-kInf, 0.0, -kInf};
  cns_ = CNS_Create(3, 9);
  CNS_Interface in = CNSInterface(fake);
  CNS_SetInterface(cns_, &in);
  CNS_SetPresolve(cns_, 1);
  static int consulted = 0;
  consulted = 0;
  CNS_PresolveInterface hooks{};
  hooks.jacobian_types = [](void*, int nnz, int*) { consulted = nnz; };
  CNS_SetPresolveInterface(cns_, &hooks);
  ASSERT_EQ(CNS_MCP_Create(cns_, &mcp_, nullptr, nullptr), CNS_CONTINUE);
  EXPECT_EQ(MCP_PresolveAllowed(mcp_), 1);
  int status = MCP_Start(mcp_);
  EXPECT_TRUE(status == MCP_CONTINUE || status == MCP_SOLVED) << status;
  EXPECT_EQ(consulted, kCurvedEntries);
}

TEST_F(CNS_MCPTest, FinishHandsTheCodesBack) {
  fake.lower = {-kInf, 0.0, -kInf};
  ASSERT_EQ(Build(), CNS_CONTINUE);
  ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
  DenseVector* z = DenseVector_Create(4);
  Assign(z, {1.5, 0.0, -0.75, 3.0});
  IDenseVector* codes = IDenseVector_Create(4);
  Assign(codes, {1, 3, 1, 1});
  MCP_Finish(mcp_, 1, z, codes);
  CNS_MCP_Finish(cns_, &mcp_);
  // The multiplier's code is dropped; the CNS repairs the others.
  EXPECT_EQ(Values(CNS_UserBasis(cns_)), (std::vector<int>{1, 3, 1}));
  IDenseVector_Destroy(codes);
  DenseVector_Destroy(z);
}

}  // namespace
