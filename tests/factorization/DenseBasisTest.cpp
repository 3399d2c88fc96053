// Dense basis back-end: factor, replace, solves and the update limit,
// checked against the dense picture of the basis.
#include "factorization/DenseBasis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/Timer.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "support/TestSupport.hpp"
#include "factorization/BasisBackendCheck.hpp"

namespace {

using namespace basis_test;

class DenseBasisTest : public FactorizationDefaultsTest {
 protected:
  void SetUp() override {
    FactorizationDefaultsTest::SetUp();
    DenseBasis_Select();
  }
};

// 3 x 5 matrix: columns 1..3 a nonsingular block, 4 = column 1 + column 2,
// 5 = unit column 3.
Matrix SmallProblem() {
  return MakeMatrix(3, 5, {{1, 1, 2.0}, {2, 1, 1.0}, {1, 2, -1.0}, {3, 2, 4.0}, {2, 3, 3.0},
                           {3, 3, 1.0}, {1, 4, 1.0}, {2, 4, 1.0}, {3, 4, 4.0}, {3, 5, 1.0}});
}

TEST_F(DenseBasisTest, RandomSequencesAgreeWithTheBasisAndRebuildAtTheLimit) {
  struct Case {
    int n, steps, limit;
    unsigned seed;
    std::vector<int> rebuilt_at;
  };
  const Case cases[] = {
      {1, 5, 50, 11u, {}},
      {2, 30, 50, 12u, {}},
      {6, 120, 50, 13u, {51, 102}},
      {12, 120, 50, 14u, {51, 102}},
      {25, 60, 50, 15u, {51}},
      {8, 20, 5, 16u, {6, 12, 18}},
      {8, 6, 0, 17u, {1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n) + " seed " + std::to_string(c.seed));
    Factorization_OptionTable[FACTORIZATION_UPDATE_LIMIT].int_value = c.limit;
    const std::vector<int> statuses = RunRandomSequence(c.n, c.steps, c.seed);
    EXPECT_EQ(int(statuses.size()), c.steps);
    // Only the update limit makes the dense back-end rebuild a regular basis.
    EXPECT_EQ(StepsWith(statuses, BASIS_REBUILT), c.rebuilt_at);
    CheckUpdateLimit(statuses, c.limit);
  }
}

TEST_F(DenseBasisTest, FactorStatusFollowsThePivotTolerance) {
  const double tol = Factorization_OptionDouble(FACTORIZATION_PIVOT_TOLERANCE);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    int n;
    std::vector<Entry> entries;
    int status;
  };
  const Case cases[] = {
      {"1x1 regular", 1, {{1, 1, -3.0}}, BASIS_FACTORED},
      {"1x1 at the tolerance", 1, {{1, 1, tol}}, BASIS_FACTORED},
      {"1x1 below the tolerance", 1, {{1, 1, tol * 0.5}}, BASIS_SINGULAR},
      {"1x1 empty", 1, {}, BASIS_SINGULAR},
      {"1x1 NaN", 1, {{1, 1, nan}}, BASIS_SINGULAR},
      {"3x3 permuted", 3, {{2, 1, 1.0}, {3, 2, 5.0}, {1, 3, -2.0}}, BASIS_FACTORED},
      {"3x3 dependent columns", 3, {{1, 1, 1.0}, {2, 1, 2.0}, {1, 2, 2.0}, {2, 2, 4.0}, {3, 3, 1.0}},
       BASIS_SINGULAR},
      {"3x3 zero row", 3, {{1, 1, 1.0}, {1, 2, 1.0}, {2, 2, 1.0}, {2, 3, 1.0}}, BASIS_SINGULAR},
      {"2x2 NaN pivot", 2, {{1, 1, nan}, {2, 2, 1.0}}, BASIS_SINGULAR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix problem = MakeMatrix(c.n, c.n, c.entries);
    std::vector<int> cols;
    for (int k = 1; k <= c.n; ++k) cols.push_back(k);
    IVectorPtr basis_cols = MakeIVector(cols);
    BasisPtr basis(Basis_Create(c.n, c.n, 4));
    EXPECT_EQ(Basis_Factor(basis.get(), problem.A.get(), basis_cols.get()), c.status);
    if (c.status == BASIS_FACTORED) {
      std::mt19937 rng(5);
      CheckSolves(basis.get(), BasisOf(problem.dense, cols), &rng, c.name);
    } else {
      // The factors stop at the failed pivot: no solve may use them.
      VectorPtr b = MakeVector(std::vector<double>(c.n, 1.0));
      VectorPtr x = MakeVector({}, c.n);
      EXPECT_SOLVER_ERROR(Basis_Solve(basis.get(), x.get(), b.get()),
                          "DenseBasis: Solve: the basis is singular.\n");
      EXPECT_SOLVER_ERROR(Basis_SolveT(basis.get(), x.get(), b.get()),
                          "DenseBasis: SolveT: the basis is singular.\n");
    }
  }
}

TEST_F(DenseBasisTest, FactorRejectsANonSquareBasis) {
  Matrix problem = SmallProblem();
  IVectorPtr cols = MakeIVector({1, 2});
  BasisPtr basis(Basis_Create(3, 3, 10));
  EXPECT_SOLVER_ERROR(Basis_Factor(basis.get(), problem.A.get(), cols.get()),
                      "Basis: Factor: need square system.\n");
}

TEST_F(DenseBasisTest, ColumnsAreChosenFromTheMatrixInBasisOrder) {
  Matrix problem = SmallProblem();
  std::mt19937 rng(3);
  const std::vector<std::vector<int>> orders = {{1, 2, 3}, {3, 1, 2}, {5, 3, 1}, {2, 5, 3}};
  for (const auto& order : orders) {
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(3, 3, 10));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "order");
  }
}

// A replace that makes B singular is reported as singular, and the factors
// stay usable for the next exchange that makes B regular again.
TEST_F(DenseBasisTest, ReplaceThatMakesTheBasisSingularReportsIt) {
  struct Case {
    const char* name;
    int k;      // position replaced
    int enter;  // entering column
  };
  // Basis (1, 2, 3); column 4 = column 1 + column 2, column 5 = e3.
  const Case cases[] = {
      {"copy of a basis column", 3, 1},
      {"sum of two basis columns", 3, 4},
      {"same column twice at the last position", 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix problem = MakeMatrix(3, 6, {{1, 1, 2.0}, {2, 1, 1.0}, {1, 2, -1.0}, {3, 2, 4.0},
                                       {2, 3, 3.0}, {3, 3, 1.0}, {1, 4, 1.0}, {2, 4, 1.0},
                                       {3, 4, 4.0}, {3, 5, 1.0}, {1, 6, 0.5}});
    std::vector<int> order = {1, 2, 3};
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(3, 3, 12));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    order[c.k - 1] = c.enter;
    StoreColumns(cols.get(), order);
    EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), c.k), BASIS_SINGULAR);
    // Repair: put the unit column 5 or column 6 in, whichever makes B regular.
    order[c.k - 1] = 5;
    if (PivotRatio(BasisOf(problem.dense, order)) < 1e-8) order[c.k - 1] = 6;
    ASSERT_GT(PivotRatio(BasisOf(problem.dense, order)), 1e-8);
    StoreColumns(cols.get(), order);
    const int status = Basis_Replace(basis.get(), problem.A.get(), cols.get(), c.k);
    EXPECT_TRUE(status == BASIS_REBUILT || status == BASIS_UPDATED) << status;
    std::mt19937 rng(9);
    CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, c.name);
  }
}

TEST_F(DenseBasisTest, ColumnsWithInfiniteOrNaNValuesAreSingular) {
  CheckNonFiniteColumnsAreSingular(false);
}

// After a singular factorization the factors are incomplete: a replace
// reports the basis as it now stands, singular or rebuilt.
TEST_F(DenseBasisTest, ReplaceAfterASingularFactorization) {
  // Columns 1..3 = e1, 0, 0; columns 4, 5 = e2, e3.
  struct Case {
    int k, enter;
    int status;
  };
  const Case cases[] = {
      {2, 4, BASIS_SINGULAR},  // column 3 still zero
      {3, 5, BASIS_SINGULAR},  // column 2 still zero
      {1, 4, BASIS_SINGULAR},
  };
  for (const Case& c : cases) {
    Matrix problem = MakeMatrix(3, 5, {{1, 1, 1.0}, {2, 4, 1.0}, {3, 5, 1.0}});
    std::vector<int> order = {1, 2, 3};
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(3, 3, 3));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
    order[c.k - 1] = c.enter;
    StoreColumns(cols.get(), order);
    EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), c.k), c.status)
        << "k " << c.k;
  }
  // Two exchanges that leave B regular: the second one rebuilds.
  Matrix problem = MakeMatrix(3, 5, {{1, 1, 1.0}, {2, 4, 1.0}, {3, 5, 1.0}});
  std::vector<int> order = {1, 2, 3};
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(3, 3, 3));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
  order = {1, 4, 3};
  StoreColumns(cols.get(), order);
  ASSERT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 2), BASIS_SINGULAR);
  order = {1, 4, 5};
  StoreColumns(cols.get(), order);
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 3), BASIS_REBUILT);
  std::mt19937 rng(2);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "rebuilt");
}

TEST_F(DenseBasisTest, ReplacePositionsAtTheEdges) {
  Matrix problem = SmallProblem();
  std::vector<int> order = {1, 2, 3};
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(3, 3, 10));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  std::mt19937 rng(4);

  // The column at the last position of the factors: no elimination step.
  DenseBasis* d = static_cast<DenseBasis*>(Basis_Handle(basis.get()));
  const int last = IDenseVector_Value(d->Q, 3);
  order[last - 1] = 5;
  StoreColumns(cols.get(), order);
  ASSERT_GT(PivotRatio(BasisOf(problem.dense, order)), 1e-8);
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), last), BASIS_UPDATED);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "last position");

  // Position 0 factors afresh.
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 0), BASIS_REBUILT);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "position 0");

  EXPECT_SOLVER_ERROR(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 4),
                      "called replace with index 4 >= n");
}

// Lowering the update limit below the updates already made still forces
// the next replace to factor afresh.
TEST_F(DenseBasisTest, UpdateLimitLoweredBelowTheCount) {
  Matrix problem = SmallProblem();
  std::vector<int> order = {1, 2, 3};
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(3, 3, 10));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  const std::vector<std::pair<int, int>> exchanges = {{3, 5}, {3, 3}, {3, 5}, {3, 3}};
  for (auto [k, enter] : exchanges) {
    order[k - 1] = enter;
    StoreColumns(cols.get(), order);
    ASSERT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), k), BASIS_UPDATED);
  }
  Factorization_OptionTable[FACTORIZATION_UPDATE_LIMIT].int_value = 2;
  order[2] = 5;
  StoreColumns(cols.get(), order);
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 3), BASIS_REBUILT);
  std::mt19937 rng(6);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "after limit");
}

// The storage follows the basis: a Basis created small factors a larger
// basis; vectors too short for a solve are refused instead of overrun.
TEST_F(DenseBasisTest, StorageGrowsAndShortVectorsAreRefused) {
  std::mt19937 rng(21);
  Matrix problem = RandomUnitAndBlock(9, 0.4, &rng);
  std::vector<int> order;
  for (int k = 1; k <= 9; ++k) order.push_back(k % 2 ? k : 9 + k);
  ASSERT_GT(PivotRatio(BasisOf(problem.dense, order)), 1e-6);
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(2, 2, 1));
  VectorPtr b = MakeVector(std::vector<double>(9, 1.0));
  VectorPtr x = MakeVector({}, 9);
  EXPECT_SOLVER_ERROR(Basis_Solve(basis.get(), x.get(), b.get()), "no usable factorization");
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "grown");

  // Growing the record discards the factors: no solve until a factor, and
  // a replace rebuilds.
  Basis_Size(basis.get(), 12, 12, 0);
  EXPECT_SOLVER_ERROR(Basis_SolveT(basis.get(), x.get(), b.get()), "no usable factorization");
  order[1] = 2;
  StoreColumns(cols.get(), order);
  ASSERT_GT(PivotRatio(BasisOf(problem.dense, order)), 1e-6);
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 2), BASIS_REBUILT);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "after size");

  CheckShortVectorsAreRefused(basis.get(), 9, "DenseBasis");
}

TEST_F(DenseBasisTest, ColumnNumbersOutsideTheMatrixAreRefused) {
  Matrix problem = SmallProblem();
  BasisPtr basis(Basis_Create(3, 3, 10));
  for (int bad : {0, 6, -1}) {
    IVectorPtr cols = MakeIVector({1, bad, 3});
    EXPECT_SOLVER_ERROR(Basis_Factor(basis.get(), problem.A.get(), cols.get()),
                        "DenseBasis: Load:");
  }
  IVectorPtr cols = MakeIVector({1, 2, 3});
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  StoreColumns(cols.get(), {1, 2, 9});
  EXPECT_SOLVER_ERROR(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 3),
                      "DenseBasis: Replace:");
}

// The dense table has no singularity slots and no banner; a Basis made with
// it keeps using it after another back-end becomes current.
TEST_F(DenseBasisTest, TableLeavesTheSingularitySlotsEmpty) {
  const Basis_Interface* table = DenseBasis_Interface();
  EXPECT_EQ(Basis_GetInterface(), table);
  EXPECT_EQ(table->num_singular, nullptr);
  EXPECT_EQ(table->get_singular, nullptr);
  EXPECT_EQ(table->banner, nullptr);
  char line[80] = "x";
  EXPECT_EQ(Basis_Banner(1, line, sizeof line), 0);
  EXPECT_STREQ(line, "");

  Matrix problem = MakeMatrix(2, 2, {{1, 1, 1.0}, {2, 1, 1.0}, {1, 2, 1.0}, {2, 2, 1.0}});
  IVectorPtr cols = MakeIVector({1, 2});
  BasisPtr basis(Basis_Create(2, 2, 4));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
  int row = 0, column = 0;
  EXPECT_SOLVER_ERROR(Basis_NumSingular(basis.get()), "No basis num_singular routine.\n");
  EXPECT_SOLVER_ERROR(Basis_GetSingular(basis.get(), 1, &row, &column),
                      "No basis get_singular routine.\n");

  Factorization_Select();
  Matrix regular = MakeMatrix(2, 2, {{1, 1, 1.0}, {2, 2, 2.0}});
  EXPECT_EQ(Basis_Factor(basis.get(), regular.A.get(), cols.get()), BASIS_FACTORED);
  std::mt19937 rng(1);
  CheckSolves(basis.get(), BasisOf(regular.dense, {1, 2}), &rng, "after switching tables");
}


// An allocation that fails while a Basis is made leaves nothing behind; one
// that fails while it grows leaves a Basis that still works at every size.
TEST_F(DenseBasisTest, FailedAllocationsLeaveNothingBehindAndTheBasisUsable) {
  std::mt19937 rng(41);
  Matrix small = RandomUnitAndBlock(3, 0.5, &rng);
  Matrix large = RandomUnitAndBlock(12, 0.5, &rng);
  CheckFailedAllocations(small, large, &rng);
}

}  // namespace
