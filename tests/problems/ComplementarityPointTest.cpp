// ComplementarityPoint record: projection onto the complementarity
// pattern, multipliers from F and from basis codes, both distances, sizes
// and copies.
#include <cmath>
#include <vector>

#include "problems/ClassProblems.hpp"
#include "problems/ComplementarityPoint.hpp"
#include "problems/MCP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

class ComplementarityPointTest : public LibraryTest {
 protected:
  void TearDown() override {
    ComplementarityPoint_Destroy(point_);
    FunctionJacobian_Destroy(pair_);
    MCP_Destroy(mcp_);
    LibraryTest::TearDown();
  }
  // A point of one variable with bounds (l, u) in an MCP record's reduced
  // bounds.
  void OneVariable(double l, double u, double z, double w, double v) {
    if (mcp_ == nullptr) {
      mcp_ = MCP_Create(1, 1);
      point_ = ComplementarityPoint_Create(1);
      pair_ = FunctionJacobian_Create(1, 1);
    }
    Assign(MCP_Lower(mcp_), {l});
    Assign(MCP_Upper(mcp_), {u});
    ComplementarityPoint_SetN(point_, 1);
    Assign(ComplementarityPoint_Z(point_), {z});
    Assign(ComplementarityPoint_W(point_), {w});
    Assign(ComplementarityPoint_V(point_), {v});
  }
  double Z() { return DenseVector_Value(ComplementarityPoint_Z(point_), 1); }
  double W() { return DenseVector_Value(ComplementarityPoint_W(point_), 1); }
  double V() { return DenseVector_Value(ComplementarityPoint_V(point_), 1); }

  MCP* mcp_ = nullptr;
  ComplementarityPoint* point_ = nullptr;
  FunctionJacobian* pair_ = nullptr;
};

TEST_F(ComplementarityPointTest, ProjectOntoThePattern) {
  struct Case {
    const char* name;
    double l, u, z, w, v;
    double z_after, w_after, v_after;
  };
  const Case cases[] = {
      {"inside: both multipliers go", 0.0, 2.0, 1.0, 3.0, 4.0, 1.0, 0.0, 0.0},
      {"below lower keeps w", 0.0, 2.0, -1.0, 3.0, 4.0, 0.0, 3.0, 0.0},
      {"at lower, negatives clamped", 0.0, 2.0, 0.0, -1.0, -2.0, 0.0, 0.0, 0.0},
      {"above upper keeps v", 0.0, 2.0, 3.0, 2.0, 5.0, 2.0, 0.0, 5.0},
      {"at upper keeps v", 0.0, 2.0, 2.0, 1.0, 1.0, 2.0, 0.0, 1.0},
      {"fixed keeps both", 1.0, 1.0, 1.0, 2.0, 3.0, 1.0, 2.0, 3.0},
      {"free", -1e20, 1e20, 5.0, 1.0, 1.0, 5.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OneVariable(c.l, c.u, c.z, c.w, c.v);
    ComplementarityPoint_Project(point_, mcp_);
    EXPECT_EQ(Z(), c.z_after);
    EXPECT_EQ(W(), c.w_after);
    EXPECT_EQ(V(), c.v_after);
  }
}

TEST_F(ComplementarityPointTest, MultipliersFromF) {
  struct Case {
    const char* name;
    double l, u, z, f;
    double w, v;
  };
  const Case cases[] = {
      {"at lower, f > 0", 0.0, 2.0, 0.0, 2.0, 2.0, 0.0},
      {"at lower, f < 0", 0.0, 2.0, 0.0, -1.0, 0.0, 0.0},
      {"at upper, f < 0", 0.0, 2.0, 2.0, -3.0, 0.0, 3.0},
      {"at upper, f > 0", 0.0, 2.0, 2.0, 1.0, 0.0, 0.0},
      {"fixed, f > 0", 1.0, 1.0, 1.0, 4.0, 4.0, 0.0},
      {"fixed, f < 0", 1.0, 1.0, 1.0, -4.0, 0.0, 4.0},
      {"inside", 0.0, 2.0, 1.0, 5.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OneVariable(c.l, c.u, c.z, 9.0, 9.0);
    Assign(FunctionJacobian_Function(pair_), {c.f});
    ComplementarityPoint_FromF(point_, mcp_, pair_);
    EXPECT_EQ(W(), c.w);
    EXPECT_EQ(V(), c.v);
    EXPECT_EQ(Z(), c.z);
    // At every case F = w - v where a multiplier was taken.
    if (c.w != 0.0 || c.v != 0.0) {
      EXPECT_EQ(c.f, W() - V());
    }
  }
}

TEST_F(ComplementarityPointTest, MultipliersFromBasisCodes) {
  struct Case {
    int code;
    double f, w, v;
  };
  const Case cases[] = {
      {BASIS_LOWER, 2.0, 2.0, 0.0}, {BASIS_LOWER, -2.0, 0.0, 0.0}, {BASIS_UPPER, -2.0, 0.0, 2.0},
      {BASIS_UPPER, 2.0, 0.0, 0.0}, {BASIS_BASIC, 2.0, 0.0, 0.0},  {BASIS_FIXED, 2.0, 0.0, 0.0},
      {BASIS_FIXED, -2.0, 0.0, 0.0}, {BASIS_NONE, 2.0, 0.0, 0.0},
  };
  IDenseVector* basis = IDenseVector_Create(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << " " << c.f);
    // The bounds say "inside": only the codes count.
    OneVariable(0.0, 2.0, 1.0, 9.0, 9.0);
    Assign(FunctionJacobian_Function(pair_), {c.f});
    Assign(basis, {c.code});
    ComplementarityPoint_FromBasis(point_, mcp_, pair_, basis);
    EXPECT_EQ(W(), c.w);
    EXPECT_EQ(V(), c.v);
  }
  Assign(basis, std::vector<int>{});
  EXPECT_SOLVER_ERROR(ComplementarityPoint_FromBasis(point_, mcp_, pair_, basis),
                      "1 codes needed, 0 given");
  IDenseVector_Destroy(basis);
}

TEST_F(ComplementarityPointTest, Distances) {
  ComplementarityPoint* a = ComplementarityPoint_Create(2);
  ComplementarityPoint* b = ComplementarityPoint_Create(2);
  ComplementarityPoint_SetN(a, 2);
  ComplementarityPoint_SetN(b, 2);
  Assign(ComplementarityPoint_Z(a), {1.0, 2.0});
  Assign(ComplementarityPoint_W(a), {0.5, 0.0});
  Assign(ComplementarityPoint_V(a), {0.0, 1.0});
  Assign(ComplementarityPoint_Z(b), {0.0, 0.0});
  Assign(ComplementarityPoint_W(b), {0.0, 0.0});
  Assign(ComplementarityPoint_V(b), {0.0, 0.0});
  // z - w + v of a is (0.5, 3).
  EXPECT_DOUBLE_EQ(ComplementarityPoint_Distance(a, b), std::sqrt(9.25));
  EXPECT_DOUBLE_EQ(ComplementarityPoint_Distance(b, a), std::sqrt(9.25));
  EXPECT_DOUBLE_EQ(ComplementarityPoint_DistanceZ(a, b), std::sqrt(5.0));
  EXPECT_EQ(ComplementarityPoint_Distance(a, a), 0.0);

  // The second point must hold the first one's values.
  ComplementarityPoint_SetN(b, 1);
  EXPECT_SOLVER_ERROR(ComplementarityPoint_Distance(a, b), "2 values needed, 1 given");

  // Empty points: both distances 0, projections change nothing.
  ComplementarityPoint_SetN(a, 0);
  EXPECT_EQ(ComplementarityPoint_Distance(a, b), 0.0);
  EXPECT_EQ(ComplementarityPoint_DistanceZ(a, b), 0.0);
  MCP* mcp = MCP_Create(1, 1);
  DenseVector_SetLength(MCP_Lower(mcp), 0);
  DenseVector_SetLength(MCP_Upper(mcp), 0);
  ComplementarityPoint_Project(a, mcp);
  EXPECT_EQ(DenseVector_Value(ComplementarityPoint_Z(a), 1), 1.0);
  MCP_Destroy(mcp);
  ComplementarityPoint_Destroy(a);
  ComplementarityPoint_Destroy(b);
}

TEST_F(ComplementarityPointTest, SizesAndCopies) {
  ComplementarityPoint* a = ComplementarityPoint_Create(2);
  EXPECT_EQ(ComplementarityPoint_N(a), 0);
  EXPECT_SOLVER_ERROR(ComplementarityPoint_SetN(a, 3), "SetN: insufficient capacity");
  EXPECT_SOLVER_ERROR(ComplementarityPoint_SetN(a, -1), "SetN: insufficient capacity");
  ComplementarityPoint_Size(a, 4);
  ComplementarityPoint_SetN(a, 4);
  Assign(ComplementarityPoint_Z(a), {1.0, 2.0, 3.0, 4.0});
  Assign(ComplementarityPoint_W(a), {0.0, 1.0, 0.0, 0.0});
  Assign(ComplementarityPoint_V(a), {0.0, 0.0, 0.0, 2.0});

  // A destination too small for the source grows.
  ComplementarityPoint* b = ComplementarityPoint_Create(1);
  ComplementarityPoint_Reference(b);
  ComplementarityPoint_Copy(b, a);
  EXPECT_EQ(ComplementarityPoint_N(b), 4);
  EXPECT_EQ(Values(ComplementarityPoint_Z(b)), (std::vector<double>{1.0, 2.0, 3.0, 4.0}));
  EXPECT_EQ(Values(ComplementarityPoint_V(b)), (std::vector<double>{0.0, 0.0, 0.0, 2.0}));
  EXPECT_EQ(ComplementarityPoint_Distance(a, b), 0.0);
  EXPECT_EQ(ComplementarityPoint_Destroy(b), 1);
  EXPECT_EQ(ComplementarityPoint_Destroy(b), 0);

  // Reading bounds shorter than the point is refused.
  MCP* mcp = MCP_Create(4, 4);
  Assign(MCP_Lower(mcp), {0.0, 0.0});
  Assign(MCP_Upper(mcp), {1.0, 1.0});
  EXPECT_SOLVER_ERROR(ComplementarityPoint_Project(a, mcp), "4 values needed, 2 given");
  MCP_Destroy(mcp);
  ComplementarityPoint_Destroy(a);
}

}  // namespace
