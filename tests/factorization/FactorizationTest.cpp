// Sparse basis back-end: factor, replace and solves against the dense
// picture of the basis, storage growth, singular pairs, messages, and the
// timing of both back-ends through the Basis wrappers.
#include "factorization/Factorization.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Timer.hpp"
#include "factorization/Basis.hpp"
#include "factorization/BasisBackendCheck.hpp"
#include "factorization/DenseBasis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace basis_test;

class FactorizationTest : public FactorizationDefaultsTest {
 protected:
  Option& option(int index) { return Factorization_OptionTable[index]; }
};

int Count(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

std::vector<int> Identity(int n) {
  std::vector<int> cols;
  for (int k = 1; k <= n; ++k) cols.push_back(k);
  return cols;
}

// ---------------------------------------------------------------------------
// Factor, replace and solves

// With room to spare only the limit makes the back-end rebuild a regular
// basis. With the storage sized from the entries alone, the growing factors
// run out of storage during the updates: the back-end then enlarges the
// storage and rebuilds, and the limit still forces a rebuild whenever
// `limit` updates have accumulated.
TEST_F(FactorizationTest, RandomSequencesAgreeWithTheBasisAndRebuildAtTheLimit) {
  struct Case {
    int n, steps, limit, rule, room;
    unsigned seed;
    std::vector<int> rebuilt_at;  // exact, with room to spare
    int forced;                   // rebuilds the limit must force at least
  };
  const Case cases[] = {
      {1, 5, 50, 0, 20, 21u, {}, 0},
      {3, 40, 50, 0, 20, 22u, {}, 0},
      {6, 120, 50, 0, 20, 23u, {51, 102}, 2},
      {15, 120, 50, 0, 20, 24u, {51, 102}, 2},
      {40, 60, 50, 0, 20, 25u, {51}, 1},
      {10, 20, 5, 0, 20, 26u, {6, 12, 18}, 3},
      {10, 6, 0, 0, 20, 27u, {1, 2, 3, 4, 5, 6}, 6},
      {12, 60, 50, 1, 20, 28u, {51}, 1},
      {12, 60, 50, 2, 20, 29u, {51}, 1},
      {12, 60, 50, 3, 20, 30u, {51}, 1},
      {6, 120, 50, 0, 1, 23u, {}, 0},
      {15, 120, 50, 0, 1, 24u, {}, 1},
      {20, 150, 50, 0, 1, 31u, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n) + " rule " + std::to_string(c.rule) + " room " +
                 std::to_string(c.room) + " seed " + std::to_string(c.seed));
    option(FACTORIZATION_UPDATE_LIMIT).int_value = c.limit;
    option(FACTORIZATION_PIVOT_TYPE).int_value = c.rule;
    output()->Clear();
    const std::vector<int> statuses = RunRandomSequence(c.n, c.steps, c.seed, c.room);
    EXPECT_EQ(int(statuses.size()), c.steps);
    const int forced = CheckUpdateLimit(statuses, c.limit);
    EXPECT_GE(forced, c.forced);
    const int rebuilds = int(StepsWith(statuses, BASIS_REBUILT).size());
    if (c.room > 1) {
      EXPECT_EQ(StepsWith(statuses, BASIS_REBUILT), c.rebuilt_at);
    } else {
      EXPECT_GT(rebuilds, forced) << "no update ran out of storage";
      EXPECT_NE(output()->status().find("Basis: Resize: refactorization: 0, storage allocated"),
                std::string::npos);
    }
  }
}

// Rule 3 pivots on the diagonal only; a basis whose diagonal offers no
// acceptable pivot is factored by rule 0 instead of ending the solve.
TEST_F(FactorizationTest, EveryPivotRuleFactorsBasesWithoutADiagonal) {
  // Columns: e2, e3, e1, a full column, and the zero-diagonal block
  // [[0, 1, 1], [1, 0, 1], [1, 1, 0]] in columns 5..7.
  Matrix problem = MakeMatrix(3, 7, {{2, 1, 1.0}, {3, 2, 2.0}, {1, 3, -1.0}, {1, 4, 1.0},
                                     {2, 4, 1.0}, {3, 4, 1.0}, {2, 5, 1.0}, {3, 5, 1.0},
                                     {1, 6, 1.0}, {3, 6, 1.0}, {1, 7, 1.0}, {2, 7, 1.0}});
  const std::vector<std::vector<int>> bases = {{1, 2, 3}, {4, 2, 3}, {1, 4, 3}, {3, 1, 2},
                                               {5, 6, 7}};
  std::mt19937 rng(8);
  for (int rule = 0; rule <= 3; ++rule) {
    option(FACTORIZATION_PIVOT_TYPE).int_value = rule;
    for (const auto& order : bases) {
      SCOPED_TRACE("rule " + std::to_string(rule));
      IVectorPtr cols = MakeIVector(order);
      BasisPtr basis(Basis_Create(3, 3, 12));
      ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
      CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "rule");
    }
  }
}

// A chain of columns e_j - 4 e_(j+1) closed by a full column: threshold
// pivoting with multipliers up to 10 prefers the sparse chain entries, and
// each step multiplies the full column's remainder by 4, so the factors of
// this well-conditioned basis lose every digit by n = 40. The back-end sees
// the growth and factors again under a tighter bound.
TEST_F(FactorizationTest, FactorsThatGrewAreRebuiltUnderATighterBound) {
  option(FACTORIZATION_TOLERANCE).double_value = 0.1;
  std::mt19937 rng(12);
  for (int n : {10, 40, 80}) {
    SCOPED_TRACE("n " + std::to_string(n));
    std::vector<Entry> entries;
    for (int j = 1; j < n; ++j) {
      entries.push_back({j, j, 1.0});
      entries.push_back({j + 1, j, -4.0});
    }
    for (int i = 1; i <= n; ++i) entries.push_back({i, n, 1.0});
    Matrix problem = MakeMatrix(n, n, entries);
    const std::vector<int> order = Identity(n);
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(n, n, int(entries.size())));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "chain");
  }
}

TEST_F(FactorizationTest, ReplacePositionsAtTheEdges) {
  Matrix problem = MakeMatrix(3, 5, {{1, 1, 2.0}, {2, 1, 1.0}, {1, 2, -1.0}, {3, 2, 4.0},
                                     {2, 3, 3.0}, {3, 3, 1.0}, {3, 5, 1.0}, {1, 4, 1.0},
                                     {2, 4, 1.0}});
  std::vector<int> order = {1, 2, 3};
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(3, 3, 9));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  std::mt19937 rng(4);
  option(OUTPUT_FACTORIZATION_UPDATES_FREQUENCY).int_value = 1;

  order[2] = 5;  // k = n is a valid position
  StoreColumns(cols.get(), order);
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 3), BASIS_UPDATED);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "k = n");
  EXPECT_EQ(Count(output()->status(), "Basis: update "), 1);

  output()->Clear();
  order[0] = 4;
  StoreColumns(cols.get(), order);
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 0), BASIS_REBUILT);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "k = 0");
  EXPECT_EQ(output()->status(), "") << "k = 0 prints no update message";

  EXPECT_SOLVER_ERROR(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 4),
                      "Factorization: Replace: called replace with index 4 >= n\n");
}

// After a singular factorization a replace reports B as it now stands: an
// exchange that leaves B singular is status 3 with the pairs of that B,
// never an update, and one that makes B regular rebuilds.
TEST_F(FactorizationTest, ReplaceAfterASingularFactorization) {
  // Columns 1..3 = e1, 0, 0; columns 4, 5 = e2, e3.
  Matrix problem = MakeMatrix(3, 5, {{1, 1, 1.0}, {2, 4, 1.0}, {3, 5, 1.0}});
  struct Case {
    std::vector<int> order;  // B after the exchange at position k
    int k;
    int status, singular;
  };
  const Case cases[] = {
      {{1, 4, 3}, 2, BASIS_SINGULAR, 1},  // column 3 still zero
      {{1, 2, 5}, 3, BASIS_SINGULAR, 1},  // column 2 still zero
      {{4, 2, 3}, 1, BASIS_SINGULAR, 2},  // e2, 0, 0: the rank stays 1
      {{5, 2, 3}, 1, BASIS_SINGULAR, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("k " + std::to_string(c.k));
    IVectorPtr cols = MakeIVector({1, 2, 3});
    BasisPtr basis(Basis_Create(3, 3, 3));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
    StoreColumns(cols.get(), c.order);
    EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), c.k), c.status);
    EXPECT_EQ(Basis_NumSingular(basis.get()), c.singular);
  }
  // Two exchanges that leave B regular.
  IVectorPtr cols = MakeIVector({1, 2, 3});
  BasisPtr basis(Basis_Create(3, 3, 3));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
  StoreColumns(cols.get(), {1, 4, 3});
  ASSERT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 2), BASIS_SINGULAR);
  StoreColumns(cols.get(), {1, 4, 5});
  EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 3), BASIS_REBUILT);
  std::mt19937 rng(2);
  CheckSolves(basis.get(), BasisOf(problem.dense, {1, 4, 5}), &rng, "rebuilt");
}

// A replace that makes B singular is refused by the engine; the back-end
// factors afresh and reports the singular basis, whose pairs then describe
// the new B.
TEST_F(FactorizationTest, ReplaceThatMakesTheBasisSingularReportsIt) {
  Matrix problem = MakeMatrix(3, 6, {{1, 1, 2.0}, {2, 1, 1.0}, {1, 2, -1.0}, {3, 2, 4.0},
                                     {2, 3, 3.0}, {3, 3, 1.0}, {1, 4, 1.0}, {2, 4, 1.0},
                                     {3, 4, 4.0}, {1, 5, 1.0}, {2, 6, 1.0}});
  struct Case {
    int k, enter;
  };
  const Case cases[] = {{3, 1}, {3, 4}, {1, 2}};
  for (const Case& c : cases) {
    std::vector<int> order = {1, 2, 3};
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(3, 3, 12));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    order[c.k - 1] = c.enter;
    StoreColumns(cols.get(), order);
    EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), c.k), BASIS_SINGULAR)
        << "k " << c.k << " enter " << c.enter;
    EXPECT_EQ(Basis_NumSingular(basis.get()), 1);
  }
}

TEST_F(FactorizationTest, ColumnsWithInfiniteOrNaNValuesAreSingular) {
  CheckNonFiniteColumnsAreSingular(true);
}

// The update takes the entering column from A: a solve with an unrelated
// right-hand side between the entering-column solve and the replace, or no
// solve at all, leaves the factors right.
TEST_F(FactorizationTest, ReplaceDoesNotDependOnTheLatestSolve) {
  std::mt19937 rng(31);
  Matrix problem = RandomUnitAndBlock(8, 0.4, &rng);
  std::vector<int> order = Identity(8);
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(8, 8, 40));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  for (int k = 1; k <= 8; ++k) {
    // Solve with the entering column, then with something else.
    std::vector<double> entering(8);
    for (int i = 1; i <= 8; ++i) entering[i - 1] = problem.dense.at(i, 8 + k);
    VectorPtr b = MakeVector(entering);
    VectorPtr x = MakeVector({}, 8);
    Basis_Solve(basis.get(), x.get(), b.get());
    VectorPtr other = MakeVector(std::vector<double>(8, 1.0));
    if (k % 2 == 0) Basis_Solve(basis.get(), x.get(), other.get());
    if (k % 3 == 0) Basis_SolveT(basis.get(), x.get(), other.get());
    order[k - 1] = 8 + k;
    StoreColumns(cols.get(), order);
    ASSERT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), k), BASIS_UPDATED);
    CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "replace");
  }
}

// ---------------------------------------------------------------------------
// Sizes and storage

TEST_F(FactorizationTest, CreateSizesTheStorageFromTheOptions) {
  struct Case {
    int m, n, nnz;
    double elbowroom, vectorroom;
    int length;
  };
  const Case cases[] = {
      {10, 10, 100, 1.5, 5.0, 250},  // int(2.5 * 100) from the entries
      {40, 30, 10, 1.5, 5.0, 200},   // 5 * max(40, 30) from the dimension
      {3, 3, 7, 0.3, 0.5, 9},        // int(1.3 * 7)
      {0, 0, 0, 1.5, 5.0, 0},
  };
  for (const Case& c : cases) {
    option(FACTORIZATION_ELBOWROOM).double_value = c.elbowroom;
    option(FACTORIZATION_VECTORROOM).double_value = c.vectorroom;
    Factorization* f = Factorization_Create(c.m, c.n, c.nnz);
    EXPECT_EQ(f->lu.storage_length, c.length) << c.m << " " << c.n << " " << c.nnz;
    Factorization_Size(f, c.m, c.n, c.nnz / 2);  // never shrinks
    EXPECT_EQ(f->lu.storage_length, c.length);
    Factorization_Size(f, c.m + 1, c.n + 2, 4 * c.nnz + 10);
    EXPECT_EQ(f->max_rows, c.m + 1);
    EXPECT_EQ(f->max_cols, c.n + 2);
    EXPECT_GE(f->lu.storage_length, int((1.0 + c.elbowroom) * (4 * c.nnz + 10)));
    Factorization_Destroy(f);
  }
}

// Storage far too small: the back-end grows it, retries, and the caller
// sees only the factorization's status.
TEST_F(FactorizationTest, StorageShortageResizesAndRetries) {
  option(FACTORIZATION_ELBOWROOM).double_value = 0.0;
  option(FACTORIZATION_VECTORROOM).double_value = 0.0;
  // Tridiagonal 6 x 6: 16 entries.
  std::vector<Entry> entries;
  for (int j = 1; j <= 6; ++j) {
    for (int i = j - 1; i <= j + 1; ++i) {
      if (i >= 1 && i <= 6) entries.push_back({i, j, i == j ? 4.0 : -1.0});
    }
  }
  Matrix problem = MakeMatrix(6, 6, entries);
  IVectorPtr cols = MakeIVector(Identity(6));
  BasisPtr basis(Basis_Create(6, 6, 1));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  std::mt19937 rng(2);
  CheckSolves(basis.get(), BasisOf(problem.dense, Identity(6)), &rng, "after retries");

  // First load: the storage grows to the 16 entries; the engine then asks
  // for 16 + 2 (6 + 6) = 40, and the retry gets int(40 * 1.75) = 70.
  EXPECT_EQ(output()->status(),
            "Basis: Resize: refactorization: 0, storage allocated for basis: 16 elements (0 min)\n"
            "Basis: Resize: refactorization: 1, storage allocated for basis: 70 elements (40 "
            "min)\n");
  EXPECT_EQ(output()->log(), "");
  const Factorization* f = static_cast<const Factorization*>(Basis_Handle(basis.get()));
  EXPECT_EQ(f->attempts, 2);
  EXPECT_EQ(f->lu.storage_length, 70);

  // The same messages reach the log as well with output_factorization_updates.
  output()->Clear();
  option(FACTORIZATION_LUROOM).double_value = 0.75;
  option(OUTPUT_FACTORIZATION_UPDATES).bool_value = 1;
  BasisPtr second(Basis_Create(6, 6, 1));
  ASSERT_EQ(Basis_Factor(second.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  EXPECT_EQ(output()->log(), output()->status());
  EXPECT_NE(output()->log(), "");
}

// The first factorization of a basis whose factors outgrow the storage of
// the sizing rule grows the storage while it runs and keeps its work: one
// attempt, no retry message, and the next factorization of a like basis
// finds the storage it needs. A basis that the sizing rule covers never
// grows.
TEST_F(FactorizationTest, FirstFactorizationGrowsItsStorageInsteadOfStartingOver) {
  struct Case {
    const char* name;
    int n;
    double density;   // of the block beside the unit columns
    bool must_grow;
  };
  const Case cases[] = {
      {"fill far beyond the entries", 150, 0.04, true},
      {"dense block", 80, 0.6, true},
      {"dense block, grown storage aligned to large pages", 400, 0.6, true},
      {"fill the sizing rule covers", 60, 0.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    output()->Clear();
    std::mt19937 rng(610 + c.n);
    Matrix problem = RandomUnitAndBlock(c.n, c.density, &rng);
    std::vector<int> block;
    for (int k = 1; k <= c.n; ++k) block.push_back(c.n + k);
    IVectorPtr cols = MakeIVector(block);
    BasisPtr basis(Basis_Create(c.n, 2 * c.n, SparseMatrix_NNZ(problem.A.get())));
    const Factorization* f = static_cast<const Factorization*>(Basis_Handle(basis.get()));
    const std::int32_t created = f->lu.storage_length;
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    EXPECT_EQ(f->attempts, 1);
    EXPECT_EQ(f->growths > 0, c.must_grow) << f->growths;
    EXPECT_EQ(f->lu.storage_length > created, c.must_grow);
    EXPECT_EQ(output()->status().find("refactorization: 1"), std::string::npos)
        << output()->status();
    CheckSolves(basis.get(), BasisOf(problem.dense, block), &rng, "after growth");
    // The storage the growth left covers the same basis again.
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    EXPECT_EQ(f->attempts, 1);
    EXPECT_EQ(f->growths, 0);
    CheckSolves(basis.get(), BasisOf(problem.dense, block), &rng, "again");
  }
}

// The growth rule, step by step on one record (created with L = 250 for
// 100 entries): the engine's requirement, the room factor, the fill of the
// latest factorization, and the room raise on a retry that already has
// enough storage.
TEST_F(FactorizationTest, ResizeFollowsTheGrowthRule) {
  // Capacity for a 40 x 40 basis: every length below stays within what its
  // factors and their updates can use (11520 entries), the last case aside.
  Factorization* f = Factorization_Create(40, 40, 100);
  ASSERT_EQ(f->lu.storage_length, 250);
  struct Case {
    const char* name;
    int attempts, required, l_length, u_length;
    double luroom, luroom_after;
    int length;
    const char* message;
  };
  const Case cases[] = {
      {"enough storage", 0, 10, 0, 0, 0.75, 0.75, 250, ""},
      {"retry raises the room", 1, 10, 0, 0, 0.75, 0.85, 250,
       "Basis: Resize: factorization_luroom increase (0.75 -> 0.85)\n"},
      {"last raise", 3, 10, 0, 0, 4.95, 5.05, 250,
       "Basis: Resize: factorization_luroom increase (4.95 -> 5.05)\n"},
      {"no raise from 5", 2, 10, 0, 0, 5.0, 5.0, 250, ""},
      {"requirement with room", 1, 400, 0, 0, 0.75, 0.75, 700,
       "Basis: Resize: refactorization: 1, storage allocated for basis: 700 elements (400 "
       "min)\n"},
      {"negative room still meets the requirement", 2, 800, 0, 0, -1.0, -1.0, 800,
       "Basis: Resize: refactorization: 2, storage allocated for basis: 800 elements (800 "
       "min)\n"},
      {"fill of the latest factorization", 0, 0, 500, 100, 0.75, 0.75, 1050,
       "Basis: Resize: refactorization: 0, storage allocated for basis: 1050 elements (0 "
       "min)\n"},
      // 2 40 40 dense entries and 2 (40 + 40) for each of the 50 + 2 updates.
      {"room beyond any factor", 1, 2000, 0, 0, 1e6, 1e6, 11520,
       "Basis: Resize: refactorization: 1, storage allocated for basis: 11520 elements (2000 "
       "min)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    output()->Clear();
    option(FACTORIZATION_LUROOM).double_value = c.luroom;
    f->attempts = c.attempts;
    f->ip[LU_Int::required_storage] = c.required;
    f->ip[LU_Int::l_length] = c.l_length;
    f->ip[LU_Int::u_length] = c.u_length;
    Factorization_Resize(f, 20);
    EXPECT_DOUBLE_EQ(option(FACTORIZATION_LUROOM).double_value, c.luroom_after);
    EXPECT_EQ(output()->status(), c.message);
    EXPECT_EQ(f->lu.storage_length, c.length);
  }
  Factorization_Destroy(f);
  // A raised value stays until the options are reset.
  Factorization_Defaults();
  EXPECT_DOUBLE_EQ(option(FACTORIZATION_LUROOM).double_value, 0.75);
}

// A Basis made small still factors a larger basis; vectors too short for a
// solve and solves without factors are refused instead of overrun.
TEST_F(FactorizationTest, LoadGrowsAndSolvesCheckTheirVectors) {
  std::mt19937 rng(21);
  Matrix problem = RandomUnitAndBlock(30, 0.2, &rng);
  std::vector<int> order;
  for (int k = 1; k <= 30; ++k) order.push_back(k % 3 ? k : 30 + k);
  ASSERT_GT(PivotRatio(BasisOf(problem.dense, order)), 1e-8);
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(2, 2, 1));

  VectorPtr b = MakeVector(std::vector<double>(30, 1.0));
  VectorPtr x = MakeVector({}, 30);
  EXPECT_SOLVER_ERROR(Basis_Solve(basis.get(), x.get(), b.get()), "no usable factorization");
  EXPECT_SOLVER_ERROR(Basis_SolveT(basis.get(), x.get(), b.get()), "no usable factorization");

  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "grown");

  CheckShortVectorsAreRefused(basis.get(), 30, "Factorization");

  // Growing the record discards the factors until the next factorization.
  Basis_Size(basis.get(), 40, 40, 10);
  EXPECT_SOLVER_ERROR(Basis_Solve(basis.get(), x.get(), b.get()), "no usable factorization");
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "after size");

  for (int bad : {0, 61}) {
    std::vector<int> wrong = order;
    wrong[4] = bad;
    StoreColumns(cols.get(), wrong);
    EXPECT_SOLVER_ERROR(Basis_Factor(basis.get(), problem.A.get(), cols.get()),
                        "Factorization: Load:");
  }
}

// ---------------------------------------------------------------------------
// Statuses and messages

TEST_F(FactorizationTest, EngineResultsMapToStatusesOrErrors) {
  const std::pair<int, int> statuses[] = {
      {0, BASIS_FACTORED}, {1, BASIS_SINGULAR}, {-1, BASIS_SINGULAR},
      {2, BASIS_SINGULAR}, {7, BASIS_STORAGE}};
  for (auto [inform, status] : statuses) {
    EXPECT_EQ(Factorization_FactorStatus(inform), status) << inform;
  }
  const std::pair<int, const char*> errors[] = {
      {3, "Factorization: FactorStatus: error status: 3.\n"},
      {4, "Factorization: FactorStatus: error status: 4.\n"},
      {8, "Factorization: FactorStatus: error status: 8.\n"},
      {9, "Factorization: FactorStatus: error status: 9.\n"},
      {12, "Factorization: FactorStatus: error status: 12.\n"},
      {5, "Factorization: FactorStatus: unknown status: 5.\n"},
      {6, "Factorization: FactorStatus: unknown status: 6.\n"},
      {-2, "Factorization: FactorStatus: unknown status: -2.\n"},
  };
  for (auto [inform, message] : errors) {
    EXPECT_SOLVER_ERROR(Factorization_FactorStatus(inform), message);
  }
  EXPECT_EQ(Factorization_SolveStatus(0), 0);
  EXPECT_SOLVER_ERROR(Factorization_SolveStatus(1),
                      "Factorization: SolveStatus: unknown status: 1\n");
}

TEST_F(FactorizationTest, UpdateMessagesFollowTheFrequency) {
  struct Case {
    int frequency;
    bool to_log;
    std::vector<int> at;  // update counts printed
  };
  const Case cases[] = {
      {20, false, {1, 21, 41}},
      {20, true, {1, 21, 41}},
      {0, false, {}},
      {1, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                  21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39,
                  40, 41, 42, 43, 44}},
      {7, false, {1, 8, 15, 22, 29, 36, 43}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("frequency " + std::to_string(c.frequency));
    option(OUTPUT_FACTORIZATION_UPDATES_FREQUENCY).int_value = c.frequency;
    option(OUTPUT_FACTORIZATION_UPDATES).bool_value = c.to_log ? 1 : 0;
    std::mt19937 rng(40);
    Matrix problem = RandomUnitAndBlock(5, 0.5, &rng);
    std::vector<int> order = Identity(5);
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(5, 5, 30));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    output()->Clear();
    // 45 replaces swapping one position between a unit column and a column
    // of M.
    for (int step = 0; step < 45; ++step) {
      order[0] = order[0] == 1 ? 6 : 1;
      StoreColumns(cols.get(), order);
      ASSERT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 1), BASIS_UPDATED);
    }
    std::string expected_prefixes;
    int printed = 0;
    for (int at : c.at) {
      char prefix[40];
      std::snprintf(prefix, sizeof prefix, "Basis: update %2d: LU: ", at);
      EXPECT_NE(output()->status().find(prefix), std::string::npos) << prefix;
      ++printed;
    }
    EXPECT_EQ(Count(output()->status(), "Basis: update "), printed);
    EXPECT_EQ(output()->log(), c.to_log ? output()->status() : "");
  }
}

// One update message checked in full against the engine's counts.
TEST_F(FactorizationTest, UpdateMessageCarriesTheEngineCounts) {
  option(OUTPUT_FACTORIZATION_UPDATES_FREQUENCY).int_value = 1;
  Matrix problem = MakeMatrix(2, 3, {{1, 1, 1.0}, {2, 2, 4.0}, {1, 3, 2.0}, {2, 3, 1.0}});
  std::vector<int> order = {1, 2};
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(2, 2, 4));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
  const Factorization* f = static_cast<const Factorization*>(Basis_Handle(basis.get()));
  char expected[120];
  std::snprintf(expected, sizeof expected, "Basis: update  0: LU: %d z: %d dmin: %g\n",
                f->ip[LU_Int::l_length] + f->ip[LU_Int::u_length],
                f->ip[LU_Int::compression_count], f->rp[LU_Real::diag_min]);
  EXPECT_EQ(std::string(expected), "Basis: update  0: LU: 2 z: 0 dmin: 1\n");
  output()->Clear();
  order[0] = 3;
  StoreColumns(cols.get(), order);
  ASSERT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 1), BASIS_UPDATED);
  EXPECT_EQ(output()->status(), expected);
}

// ---------------------------------------------------------------------------
// Singular bases

TEST_F(FactorizationTest, SingularPairsTakeTheirOwnRowOrTheNextFreeOne) {
  // B = [e1, 0, e4, e5, 0]: columns 2 and 5 singular, rows 2 and 3 free.
  Matrix problem = MakeMatrix(5, 10, {{1, 1, 1.0}, {4, 3, 1.0}, {5, 4, 1.0}});
  IVectorPtr cols = MakeIVector({1, 2, 3, 4, 5});
  BasisPtr basis(Basis_Create(5, 5, 3));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
  EXPECT_EQ(output()->status(), "Factorization: number of singularities 2(5)\n");
  EXPECT_EQ(output()->log(), "");
  ASSERT_EQ(Basis_NumSingular(basis.get()), 2);
  int row = 0, column = 0;
  Basis_GetSingular(basis.get(), 1, &row, &column);
  EXPECT_EQ(std::make_pair(row, column), std::make_pair(2, 2));
  Basis_GetSingular(basis.get(), 2, &row, &column);
  EXPECT_EQ(std::make_pair(row, column), std::make_pair(3, 5));
  for (int bad : {0, 3, -1}) {
    EXPECT_SOLVER_ERROR(Basis_GetSingular(basis.get(), bad, &row, &column),
                        "Factorization: GetSingular:");
  }

  // The singularity message reaches the log with its option.
  output()->Clear();
  option(OUTPUT_FACTORIZATION_SINGULARITIES).bool_value = 1;
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
  EXPECT_EQ(output()->log(), "Factorization: number of singularities 2(5)\n");
}

// A transposed solve keeps the singularity report of the factorization.
TEST_F(FactorizationTest, SingularPairsSurviveATransposedSolve) {
  Matrix problem = MakeMatrix(4, 4, {{1, 1, 1.0}, {2, 1, 1.0}, {1, 2, 2.0}, {2, 2, 2.0},
                                     {3, 3, 1.0}, {4, 4, 3.0}});
  IVectorPtr cols = MakeIVector(Identity(4));
  BasisPtr basis(Basis_Create(4, 4, 6));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
  VectorPtr b = MakeVector({0.0, 0.0, 1.0, 1.0});
  VectorPtr x = MakeVector({}, 4);
  EXPECT_EQ(Basis_SolveT(basis.get(), x.get(), b.get()), 0);
  ASSERT_EQ(Basis_NumSingular(basis.get()), 1);
  int row = 0, column = 0;
  Basis_GetSingular(basis.get(), 1, &row, &column);
  EXPECT_TRUE(row == 1 || row == 2) << row;
  EXPECT_TRUE(column == 1 || column == 2) << column;
  Basis_SolveT(basis.get(), x.get(), b.get());
  int row2 = 0, column2 = 0;
  Basis_GetSingular(basis.get(), 1, &row2, &column2);
  EXPECT_EQ(std::make_pair(row2, column2), std::make_pair(row, column));
}

// Swapping every listed position for the unit column of its row gives a
// nonsingular basis.
TEST_F(FactorizationTest, SwappingSingularPairsForUnitColumnsRepairsTheBasis) {
  struct Case {
    int n;
    int zero_columns;       // columns of M that are zero
    int dependent_columns;  // columns of M that are sums of two others
    unsigned seed;
  };
  const Case cases[] = {
      {6, 1, 0, 51u}, {6, 0, 1, 52u}, {10, 2, 2, 53u}, {20, 3, 4, 54u}, {30, 0, 6, 55u},
      {12, 5, 0, 56u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    std::mt19937 rng(c.seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    const int n = c.n;
    // A = [I | M]; M's first columns are regular, then zero columns, then
    // sums of two earlier regular columns.
    const int regular = n - c.zero_columns - c.dependent_columns;
    std::vector<std::vector<double>> M(n, std::vector<double>(n, 0.0));
    for (int j = 0; j < regular; ++j) {
      for (int i = 0; i < n; ++i) M[j][i] = (i % 3 == j % 3 || i == j) ? value(rng) : 0.0;
      M[j][j] += 3.0;
    }
    for (int j = regular + c.zero_columns; j < n; ++j) {
      const int a = j % regular, b = (j + 1) % regular;
      for (int i = 0; i < n; ++i) M[j][i] = M[a][i] + M[b][i];
    }
    std::vector<Entry> entries;
    for (int i = 1; i <= n; ++i) entries.push_back({i, i, 1.0});
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i)
        if (M[j][i] != 0.0) entries.push_back({i + 1, n + j + 1, M[j][i]});
    Matrix problem = MakeMatrix(n, 2 * n, entries);

    // The basis: every column of M, in a shuffled order.
    std::vector<int> order;
    for (int j = 1; j <= n; ++j) order.push_back(n + j);
    std::shuffle(order.begin(), order.end(), rng);
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(n, n, int(entries.size())));
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
    const int count = Basis_NumSingular(basis.get());
    EXPECT_EQ(count, c.zero_columns + c.dependent_columns);
    std::set<int> rows, positions;
    for (int k = 1; k <= count; ++k) {
      int row = 0, column = 0;
      Basis_GetSingular(basis.get(), k, &row, &column);
      ASSERT_GE(row, 1);
      ASSERT_LE(row, n);
      ASSERT_GE(column, 1);
      ASSERT_LE(column, n);
      rows.insert(row);
      positions.insert(column);
      order[column - 1] = row;  // the unit column of row `row`
    }
    EXPECT_EQ(int(rows.size()), count) << "a row listed twice";
    EXPECT_EQ(int(positions.size()), count) << "a position listed twice";
    EXPECT_GT(PivotRatio(BasisOf(problem.dense, order)), 1e-10);
    StoreColumns(cols.get(), order);
    EXPECT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "repaired");
  }
}

// ---------------------------------------------------------------------------
// Tables, selection and timing

TEST_F(FactorizationTest, SelectionInstallsTheBackEndTables) {
  const Basis_Interface* sparse = Factorization_Interface();
  EXPECT_EQ(Basis_GetInterface(), sparse);
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_SPARSE);
  EXPECT_NE(sparse->num_singular, nullptr);
  EXPECT_NE(sparse->get_singular, nullptr);
  EXPECT_EQ(sparse->banner, nullptr);
  DenseBasis_Select();
  EXPECT_EQ(Basis_GetInterface(), DenseBasis_Interface());
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_DENSE);
  Factorization_Select();
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_SPARSE);
}

// A timer whose every reading is a quarter second: the Basis's seconds then
// count the timed back-end calls.
double QuarterSecond(void*, void*) { return 0.25; }
void* NewTimer(void*) { return nullptr; }
void NoTimer(void*, void*) {}

struct TimerScope {
  Timer_Interface record = {nullptr, NewTimer, NoTimer, NoTimer, QuarterSecond};
  TimerScope() { Timer_SetInterface(&record); }
  ~TimerScope() { Timer_Reset(); }
};

TEST_F(FactorizationTest, BasisTimeCountsEveryTimedCall) {
  TimerScope quarter;
  struct Case {
    void (*select)();
    bool singular_slots;
  };
  const Case cases[] = {{Factorization_Select, true}, {DenseBasis_Select, false}};
  Matrix problem = MakeMatrix(2, 3, {{1, 1, 1.0}, {2, 2, 4.0}, {1, 3, 2.0}, {2, 3, 1.0}});
  for (const Case& c : cases) {
    c.select();
    std::vector<int> order = {1, 2};
    IVectorPtr cols = MakeIVector(order);
    BasisPtr basis(Basis_Create(2, 2, 4));
    double expected = 0.25;
    EXPECT_EQ(Basis_Seconds(basis.get()), expected);
    Basis_Size(basis.get(), 3, 3, 8);
    EXPECT_EQ(Basis_Seconds(basis.get()), expected += 0.25);
    ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_FACTORED);
    EXPECT_EQ(Basis_Seconds(basis.get()), expected += 0.25);
    order[0] = 3;
    StoreColumns(cols.get(), order);
    Basis_Replace(basis.get(), problem.A.get(), cols.get(), 1);
    EXPECT_EQ(Basis_Seconds(basis.get()), expected += 0.25);
    VectorPtr b = MakeVector({1.0, 1.0});
    VectorPtr x = MakeVector({}, 2);
    Basis_Solve(basis.get(), x.get(), b.get());
    EXPECT_EQ(Basis_Seconds(basis.get()), expected += 0.25);
    Basis_SolveT(basis.get(), x.get(), b.get());
    EXPECT_EQ(Basis_Seconds(basis.get()), expected += 0.25);
    if (c.singular_slots) {
      Basis_NumSingular(basis.get());
      EXPECT_EQ(Basis_Seconds(basis.get()), expected += 0.25);
    }
  }
}



// An allocation that fails while a Basis is made leaves nothing behind; one
// that fails while it grows leaves a Basis that still works at every size.
TEST_F(FactorizationTest, FailedAllocationsLeaveNothingBehindAndTheBasisUsable) {
  std::mt19937 rng(41);
  Matrix small = RandomUnitAndBlock(3, 0.5, &rng);
  Matrix large = RandomUnitAndBlock(12, 0.5, &rng);
  CheckFailedAllocations(small, large, &rng);
}

}  // namespace
