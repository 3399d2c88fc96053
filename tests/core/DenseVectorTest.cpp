// DenseVector: lifecycle, cloning and the operation family.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "support/TestSupport.hpp"
#include "VectorFixtures.hpp"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class DenseVectorTest : public LibraryTest {};

// --- Lifecycle ----------------------------------------------------------------------

TEST_F(DenseVectorTest, CreateGivesAtLeastOneElementOfCapacity) {
  for (std::int32_t n : {0, -3, 1, 7}) {
    DenseVector* v = DenseVector_Create(n);
    EXPECT_EQ(DenseVector_Capacity(v), n > 1 ? n : 1) << n;
    EXPECT_EQ(DenseVector_Length(v), 0);
    EXPECT_EQ(v->refcount, 1);
    DenseVector_Destroy(v);
  }
}

TEST_F(DenseVectorTest, SizeGrowsOnlyAndKeepsTheLength) {
  Vec v({1.0, 2.0, 3.0}, 1);  // capacity 4
  double* array = DenseVector_Array(v.get());
  DenseVector_Size(v, 2);
  DenseVector_Size(v, 4);
  EXPECT_EQ(DenseVector_Array(v.get()), array);
  EXPECT_EQ(DenseVector_Capacity(v), 4);
  EXPECT_TRUE(SameVector(v.values(), {1.0, 2.0, 3.0}));

  DenseVector_Size(v, 50);
  EXPECT_EQ(DenseVector_Capacity(v), 50);
  EXPECT_EQ(DenseVector_Length(v), 3);
}

TEST_F(DenseVectorTest, FailedGrowthLeavesTheVectorUsable) {
  Vec v({1.0, 2.0});
  CountingMemory memory;
  memory.fail = true;
  EXPECT_SOLVER_ERROR(DenseVector_Size(v, 1000), "allocation failed");
  memory.fail = false;
  EXPECT_EQ(DenseVector_Capacity(v), 10);
  EXPECT_TRUE(SameVector(v.values(), {1.0, 2.0}));
  DenseVector_Size(v, 1000);  // the old array is still the vector's own
  EXPECT_EQ(DenseVector_Capacity(v), 1000);
  EXPECT_EQ(memory.allocations, 1);  // the new array
  EXPECT_EQ(memory.frees, 1);        // the old one, freed once
}

TEST_F(DenseVectorTest, ReferenceCountDecidesWhenTheRecordGoes) {
  CountingMemory memory;
  DenseVector* v = DenseVector_Create(3);
  EXPECT_EQ(memory.live(), 2);  // record and array
  EXPECT_EQ(DenseVector_Reference(v), 2);
  EXPECT_EQ(DenseVector_Destroy(v), 1);
  EXPECT_EQ(memory.live(), 2);
  EXPECT_EQ(DenseVector_Destroy(v), 0);
  EXPECT_EQ(memory.live(), 0);
  EXPECT_EQ(DenseVector_Destroy(nullptr), 0);
}

TEST_F(DenseVectorTest, ElementAccessIsOneBased) {
  Vec v({10.0, 20.0, 30.0});
  EXPECT_EQ(DenseVector_Value(v, 1), 10.0);
  EXPECT_EQ(DenseVector_Value(v, 3), 30.0);
  DenseVector_SetValue(v, 2, 5.0);
  DenseVector_IncrementValue(v, 1);
  DenseVector_DecrementValue(v, 3);
  DenseVector_AddValue(v, 2, 1.5);
  DenseVector_SubValue(v, 1, 1.0);
  DenseVector_MulValue(v, 3, 2.0);
  EXPECT_TRUE(SameVector(v.values(), {10.0, 6.5, 58.0}));
  DenseVector_DivValue(v, 1, 0.0);
  EXPECT_EQ(DenseVector_Value(v, 1), kInf);
}

// --- Cloning --------------------------------------------------------------------------

TEST_F(DenseVectorTest, CloneCopiesOrScattersThroughTheMap) {
  Vec abc({1.0, 2.0, 3.0});
  Vec ab({1.0, 2.0});
  Vec empty({});
  IVec map({2, 0, 1});
  IVec drop_all({0, -1, 0});
  struct Case {
    const char* name;
    const DenseVector* src;
    const IDenseVector* map;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"plain copy", abc, nullptr, {1.0, 2.0, 3.0}},
      {"map (2, 0, 1)", abc, map, {3.0, 1.0}},
      // The map is longer than the source: its third entry counts, but
      // nothing is written to position 1, which stays zero.
      {"map longer than the source", ab, map, {0.0, 1.0}},
      {"map without positive entries", abc, drop_all, {}},
      {"empty source", empty, nullptr, {}},
      {"empty source with map", empty, map, {}},
  };
  for (const auto& c : cases) {
    Vec dst({9.0, 9.0, 9.0, 9.0});
    DenseVector_Clone(dst, c.src, c.map);
    EXPECT_TRUE(SameVector(dst.values(), c.expected)) << c.name;
  }
}

TEST_F(DenseVectorTest, CloneFromAnEmptyVectorLeavesTheArrayAlone) {
  Vec empty({});
  Vec dst({7.0, 8.0});
  DenseVector_Clone(dst, empty, nullptr);
  EXPECT_EQ(DenseVector_Length(dst), 0);
  EXPECT_EQ(DenseVector_Array(dst.get())[1], 8.0);
}

TEST_F(DenseVectorTest, CloneIntoItself) {
  Vec v({1.0, 2.0});
  DenseVector_Clone(v, v, nullptr);
  EXPECT_TRUE(SameVector(v.values(), {1.0, 2.0}));
  IVec map({1, 2});
  EXPECT_SOLVER_ERROR(DenseVector_Clone(v, v, map),
                      "): Clone: cannot partial clone in place\n");
  EXPECT_EQ(std::string(output()->status()).find("DenseVector("), 21u);
  Vec empty({});
  DenseVector_Clone(empty, empty, map);  // nothing to scatter: no error
  EXPECT_EQ(DenseVector_Length(empty), 0);
}

// --- Fills and appends ------------------------------------------------------------------

TEST_F(DenseVectorTest, FillsAndAppends) {
  using Op = std::function<void(DenseVector*)>;
  struct Case {
    const char* name;
    Op op;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"FillZero", [](DenseVector* v) { DenseVector_FillZero(v, 2); }, {0.0, 0.0}},
      {"FillOne", [](DenseVector* v) { DenseVector_FillOne(v, 2); }, {1.0, 1.0}},
      {"FillMinusOne", [](DenseVector* v) { DenseVector_FillMinusOne(v, 1); }, {-1.0}},
      {"Fill 0 elements", [](DenseVector* v) { DenseVector_Fill(v, 0, 4.0); }, {}},
      {"Ramp", [](DenseVector* v) { DenseVector_Ramp(v, 4, 1.0, 0.5); }, {1.0, 1.5, 2.0, 2.5}},
      // Each element is the previous plus the step: the seventh is 0.6
      // (0.1 added six times), where 6 * 0.1 would give 0.6000000000000001.
      {"Ramp accumulates", [](DenseVector* v) { DenseVector_Ramp(v, 7, 0.0, 0.1); },
       {0.0, 0.1, 0.2, 0.30000000000000004, 0.4, 0.5, 0.6}},
      // Step 0 repeats start: -0.0 + 0.0 would give +0.
      {"Ramp step 0", [](DenseVector* v) { DenseVector_Ramp(v, 2, -0.0, 0.0); }, {-0.0, -0.0}},
      {"AppendZero", [](DenseVector* v) { DenseVector_AppendZero(v, 2); }, {5.0, 6.0, 0.0, 0.0}},
      {"AppendOne", [](DenseVector* v) { DenseVector_AppendOne(v, 1); }, {5.0, 6.0, 1.0}},
      {"AppendMinusOne", [](DenseVector* v) { DenseVector_AppendMinusOne(v, 1); },
       {5.0, 6.0, -1.0}},
      {"AppendFill 0", [](DenseVector* v) { DenseVector_AppendFill(v, 0, 3.0); }, {5.0, 6.0}},
      {"AppendRamp", [](DenseVector* v) { DenseVector_AppendRamp(v, 3, 2.0, -1.0); },
       {5.0, 6.0, 2.0, 1.0, 0.0}},
      {"AppendRamp step 0", [](DenseVector* v) { DenseVector_AppendRamp(v, 2, kNaN, 0.0); },
       {5.0, 6.0, kNaN, kNaN}},
      {"AppendVector itself", [](DenseVector* v) { DenseVector_AppendVector(v, v); },
       {5.0, 6.0, 5.0, 6.0}},
      {"Push", [](DenseVector* v) { DenseVector_Push(v, kInf); }, {5.0, 6.0, kInf}},
  };
  for (const auto& c : cases) {
    Vec v({5.0, 6.0});
    c.op(v);
    EXPECT_TRUE(SameVector(v.values(), c.expected)) << c.name;
  }
}

TEST_F(DenseVectorTest, ReplaceCountsExactMatchesOnly) {
  Vec v({1.0, kNaN, 1.0, -0.0, 2.0});
  EXPECT_EQ(DenseVector_Replace(v, 1.0, 7.0), 2);
  EXPECT_EQ(DenseVector_Replace(v, kNaN, 0.0), 0);  // a NaN equals nothing
  EXPECT_EQ(DenseVector_Replace(v, 0.0, 3.0), 1);   // -0.0 == 0.0
  EXPECT_TRUE(SameVector(v.values(), {7.0, kNaN, 7.0, 3.0, 2.0}));
}

// --- Reductions ---------------------------------------------------------------------------

TEST_F(DenseVectorTest, CountsSumsAndNorms) {
  Vec v({3.0, -4.0, 0.0, kNaN, 3.0});
  EXPECT_EQ(DenseVector_CountEQ(v, 3.0), 2);
  EXPECT_EQ(DenseVector_CountNE(v, 3.0), 3);  // the NaN is unequal
  EXPECT_EQ(DenseVector_CountLT(v, 3.0), 2);
  EXPECT_EQ(DenseVector_CountLE(v, 3.0), 4);
  EXPECT_EQ(DenseVector_CountGT(v, -4.0), 3);
  EXPECT_EQ(DenseVector_CountGE(v, -4.0), 4);

  Vec w({3.0, -4.0});
  EXPECT_EQ(DenseVector_Sum(w), -1.0);
  EXPECT_EQ(DenseVector_SumAbs(w), 7.0);
  EXPECT_EQ(DenseVector_OneNorm(w), 7.0);
  EXPECT_EQ(DenseVector_SumSquares(w), 25.0);
  EXPECT_EQ(DenseVector_TwoNorm(w), 5.0);
  EXPECT_EQ(DenseVector_InfNorm(w), 4.0);

  Vec empty({});
  for (auto f : {DenseVector_Sum, DenseVector_SumAbs, DenseVector_SumSquares,
                 DenseVector_OneNorm, DenseVector_TwoNorm, DenseVector_InfNorm}) {
    EXPECT_EQ(f(empty), 0.0);
  }
}

TEST_F(DenseVectorTest, PrefixReductionsReadKElementsWhateverTheLength) {
  Vec x({4.0, -1.0, 6.0, -9.0});
  Vec y({1.0, 5.0, -7.0, 0.0});
  DenseVector_SetLength(x, 1);  // the prefix ignores the length
  struct Case {
    const char* name;
    double (*f)(const DenseVector*, std::int32_t);
    std::int32_t k;
    double expected;
  };
  const Case cases[] = {
      {"MinPrefix", DenseVector_MinPrefix, 3, -1.0}, {"MinPrefix k 0", DenseVector_MinPrefix, 0, 0.0},
      {"MaxPrefix", DenseVector_MaxPrefix, 3, 6.0},  {"MaxPrefix k -2", DenseVector_MaxPrefix, -2, 0.0},
      {"SumPrefix", DenseVector_SumPrefix, 4, 0.0},  {"SumPrefix k 2", DenseVector_SumPrefix, 2, 3.0},
      {"SumPrefix k 0", DenseVector_SumPrefix, 0, 0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.f(x, c.k), c.expected) << c.name;
  // x + y = (5, 4, -1, -9)
  EXPECT_EQ(DenseVector_MinSumPrefix(x, y, 3), -1.0);
  EXPECT_EQ(DenseVector_MaxSumPrefix(x, y, 3), 5.0);
  EXPECT_EQ(DenseVector_MinSumPrefix(x, y, 0), 0.0);
  EXPECT_EQ(DenseVector_MaxSumPrefix(x, y, -1), 0.0);
}

TEST_F(DenseVectorTest, ExtremesKeepTheFirstAndCountFromOne) {
  using Extreme = void (*)(double&, std::int32_t&, const DenseVector*);
  struct Case {
    const char* name;
    Extreme f;
    std::vector<double> x;
    double value;
    std::int32_t index;
  };
  const Case cases[] = {
      {"MinIndex ties", DenseVector_MinIndex, {3.0, 1.0, 1.0}, 1.0, 2},
      {"MinIndex empty", DenseVector_MinIndex, {}, 0.0, 0},
      {"MinIndex NaN first stays", DenseVector_MinIndex, {kNaN, -5.0}, kNaN, 1},
      {"MinIndex NaN later skipped", DenseVector_MinIndex, {2.0, kNaN, -kInf}, -kInf, 3},
      {"MaxIndex ties", DenseVector_MaxIndex, {1.0, 4.0, 4.0}, 4.0, 2},
      {"MaxIndex empty", DenseVector_MaxIndex, {}, 0.0, 0},
      {"MaxAbsIndex ties", DenseVector_MaxAbsIndex, {-4.0, 4.0, 1.0}, 4.0, 1},
      {"MaxAbsIndex infinity", DenseVector_MaxAbsIndex, {1.0, -kInf}, kInf, 2},
      {"MaxAbsIndex empty", DenseVector_MaxAbsIndex, {}, 0.0, 0},
      {"MinAbsNonzero", DenseVector_MinAbsNonzeroIndex, {0.0, -2.0, 2.0}, 2.0, 2},
      {"MinAbsNonzero all zero", DenseVector_MinAbsNonzeroIndex, {0.0, -0.0}, 0.0, 1},
      {"MinAbsNonzero skips NaN", DenseVector_MinAbsNonzeroIndex, {0.0, kNaN, 3.0}, 3.0, 3},
      {"MinAbsNonzero empty", DenseVector_MinAbsNonzeroIndex, {}, 0.0, 0},
  };
  for (const auto& c : cases) {
    Vec x(c.x);
    double value = -99.0;
    std::int32_t index = -99;
    c.f(value, index, x);
    EXPECT_TRUE(SameDouble(value, c.value)) << c.name << ": " << value;
    EXPECT_EQ(index, c.index) << c.name;
  }
}

// --- In place, scalar and elementwise operations --------------------------------------------

TEST_F(DenseVectorTest, InPlaceOperations) {
  Vec v({0.0, 2.0, -kInf});
  DenseVector_Negate(v);
  EXPECT_TRUE(SameVector(v.values(), {0.0, -2.0, kInf}));  // 0 - 0 is +0
  DenseVector_Invert(v);
  EXPECT_TRUE(SameVector(v.values(), {kInf, -0.5, 0.0}));
}

TEST_F(DenseVectorTest, OperationsWithAScalar) {
  using Op = void (*)(DenseVector*, const DenseVector*, double);
  struct Case {
    const char* name;
    Op op;
    std::vector<double> x;
    double a;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"AddScalar", DenseVector_AddScalar, {1.0, -2.0}, 0.5, {1.5, -1.5}},
      // a = 0 copies: -0.0 + 0.0 would be +0.
      {"AddScalar 0 copies", DenseVector_AddScalar, {-0.0, kNaN}, 0.0, {-0.0, kNaN}},
      {"SubScalar", DenseVector_SubScalar, {1.0, 3.0}, 2.0, {-1.0, 1.0}},
      {"SubScalar 0 copies", DenseVector_SubScalar, {-0.0}, 0.0, {-0.0}},
      {"Scale", DenseVector_Scale, {1.0, -3.0}, 2.0, {2.0, -6.0}},
      {"Scale 0 gives exact zeros", DenseVector_Scale, {kInf, 1.0, kNaN}, 0.0, {0.0, 0.0, 0.0}},
      {"Scale 1 copies", DenseVector_Scale, {-0.0, kInf}, 1.0, {-0.0, kInf}},
      {"Scale -1 is 0 - x", DenseVector_Scale, {0.0, 2.0}, -1.0, {0.0, -2.0}},
      {"DivScalar", DenseVector_DivScalar, {1.0, -3.0}, 4.0, {0.25, -0.75}},
      {"DivScalar 1 copies", DenseVector_DivScalar, {-0.0}, 1.0, {-0.0}},
      {"DivScalar -1 is 0 - x", DenseVector_DivScalar, {0.0, 4.0}, -1.0, {0.0, -4.0}},
      {"DivScalar 0 is IEEE", DenseVector_DivScalar, {1.0, -1.0, 0.0}, 0.0, {kInf, -kInf, kNaN}},
      {"MinScalar", DenseVector_MinScalar, {kNaN, 1.0, 3.0}, 2.0, {2.0, 1.0, 2.0}},
      {"MaxScalar", DenseVector_MaxScalar, {kNaN, 1.0, 3.0}, 2.0, {2.0, 2.0, 3.0}},
      {"empty operand", DenseVector_Scale, {}, 3.0, {}},
  };
  for (const auto& c : cases) {
    Vec x(c.x);
    Vec z({7.0, 7.0, 7.0, 7.0});
    c.op(z, x, c.a);
    EXPECT_TRUE(SameVector(z.values(), c.expected)) << c.name;
    c.op(x, x, c.a);  // the result may be the operand
    EXPECT_TRUE(SameVector(x.values(), c.expected)) << c.name << " in place";
  }
}

TEST_F(DenseVectorTest, ScalarDivision) {
  Vec x({0.0, kInf, 2.0});
  Vec z({});
  DenseVector_ScalarDiv(z, 0.0, x);  // a = 0: zeros, never 0/0
  EXPECT_TRUE(SameVector(z.values(), {0.0, 0.0, 0.0}));
  DenseVector_ScalarDiv(z, 1.0, x);
  EXPECT_TRUE(SameVector(z.values(), {kInf, 0.0, 0.5}));
}

TEST_F(DenseVectorTest, ElementwiseOperations) {
  using Op = std::function<void(DenseVector*, const DenseVector*, const DenseVector*)>;
  struct Case {
    const char* name;
    Op op;
    std::vector<double> x, y, expected;
  };
  const Case cases[] = {
      {"Add", DenseVector_Add, {1.0, 2.0}, {3.0, -5.0}, {4.0, -3.0}},
      {"Sub", DenseVector_Sub, {1.0, 2.0}, {3.0, -5.0}, {-2.0, 7.0}},
      {"Mul", DenseVector_Mul, {1.0, 2.0}, {3.0, -5.0}, {3.0, -10.0}},
      {"Div", DenseVector_Div, {1.0, 2.0, 0.0}, {4.0, 0.0, 0.0}, {0.25, kInf, kNaN}},
      {"Min with NaN", DenseVector_Min, {kNaN, 1.0, 3.0}, {1.0, kNaN, 2.0}, {kNaN, 1.0, 2.0}},
      {"Max with NaN", DenseVector_Max, {kNaN, 1.0, 3.0}, {1.0, kNaN, 2.0}, {kNaN, 1.0, 3.0}},
      {"MinAbs", DenseVector_MinAbs, {-3.0, 2.0}, {1.0, -5.0}, {1.0, 2.0}},
      {"MaxAbs", DenseVector_MaxAbs, {-3.0, 2.0}, {1.0, -5.0}, {3.0, 5.0}},
      {"length from x", DenseVector_Add, {1.0}, {1.0, 1.0, 1.0}, {2.0}},
      {"empty x", DenseVector_Add, {}, {1.0}, {}},
      {"AddScaled", [](DenseVector* z, const DenseVector* x,
                       const DenseVector* y) { DenseVector_AddScaled(z, x, y, 2.0); },
       {1.0, 1.0}, {3.0, -1.0}, {7.0, -1.0}},
      // a = 0 copies x even where y is infinite (0 * inf would be NaN).
      {"AddScaled 0", [](DenseVector* z, const DenseVector* x,
                         const DenseVector* y) { DenseVector_AddScaled(z, x, y, 0.0); },
       {1.0, -0.0}, {kInf, kNaN}, {1.0, -0.0}},
      {"AddScaled 1", [](DenseVector* z, const DenseVector* x,
                         const DenseVector* y) { DenseVector_AddScaled(z, x, y, 1.0); },
       {1.0}, {2.0}, {3.0}},
      {"AddScaled -1", [](DenseVector* z, const DenseVector* x,
                          const DenseVector* y) { DenseVector_AddScaled(z, x, y, -1.0); },
       {1.0}, {2.0}, {-1.0}},
      {"SubScaled", [](DenseVector* z, const DenseVector* x,
                       const DenseVector* y) { DenseVector_SubScaled(z, x, y, 2.0); },
       {1.0}, {3.0}, {-5.0}},
      {"SubScaled 0", [](DenseVector* z, const DenseVector* x,
                         const DenseVector* y) { DenseVector_SubScaled(z, x, y, 0.0); },
       {-0.0}, {kInf}, {-0.0}},
      {"Combine", [](DenseVector* z, const DenseVector* x,
                     const DenseVector* y) { DenseVector_Combine(z, x, 2.0, y, 3.0); },
       {1.0, 2.0}, {1.0, -1.0}, {5.0, 1.0}},
      // a = 0 is Scale (z, y, b): the count comes from y and x is not read.
      {"Combine a 0", [](DenseVector* z, const DenseVector* x,
                         const DenseVector* y) { DenseVector_Combine(z, x, 0.0, y, 2.0); },
       {kInf}, {1.0, 2.0, 3.0}, {2.0, 4.0, 6.0}},
      {"Combine b 0", [](DenseVector* z, const DenseVector* x,
                         const DenseVector* y) { DenseVector_Combine(z, x, 3.0, y, 0.0); },
       {1.0, 2.0}, {kNaN, kInf}, {3.0, 6.0}},
      {"Combine a 1", [](DenseVector* z, const DenseVector* x,
                         const DenseVector* y) { DenseVector_Combine(z, x, 1.0, y, 0.5); },
       {1.0, 2.0}, {2.0, 2.0}, {2.0, 3.0}},
      // b = 1 is AddScaled (z, y, x, a): the count comes from y.
      {"Combine b 1", [](DenseVector* z, const DenseVector* x,
                         const DenseVector* y) { DenseVector_Combine(z, x, 2.0, y, 1.0); },
       {1.0, 1.0, 1.0}, {5.0}, {7.0}},
  };
  for (const auto& c : cases) {
    Vec x(c.x), y(c.y);
    Vec z({9.0, 9.0, 9.0, 9.0});
    c.op(z, x, y);
    EXPECT_TRUE(SameVector(z.values(), c.expected)) << c.name;
  }
}

TEST_F(DenseVectorTest, ThreeOperandForms) {
  using Op = void (*)(DenseVector*, const DenseVector*, const DenseVector*, const DenseVector*);
  Vec x({1.0, 10.0}), y({6.0, 3.0}), w({2.0, 0.0});
  struct Case {
    const char* name;
    Op op;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"AddMul", DenseVector_AddMul, {13.0, 10.0}},
      {"AddDiv", DenseVector_AddDiv, {4.0, kInf}},
      {"SubMul", DenseVector_SubMul, {-11.0, 10.0}},
      {"SubDiv", DenseVector_SubDiv, {-2.0, -kInf}},
  };
  for (const auto& c : cases) {
    Vec z({});
    c.op(z, x, y, w);
    EXPECT_TRUE(SameVector(z.values(), c.expected)) << c.name;
  }
}

// --- Sums of several vectors -------------------------------------------------------------------

// Six terms whose left-to-right sum differs from any other order: 1e16 + 1
// rounds back to 1e16, so the ones vanish and the total is 0.
std::vector<std::vector<double>> SixTerms() {
  return {{1e16, 1.0}, {1.0, 2.0}, {1.0, 3.0}, {1.0, 4.0}, {1.0, 5.0}, {-1e16, 6.0}};
}

TEST_F(DenseVectorTest, SumsOfSeveralVectorsAddLeftToRight) {
  const auto terms = SixTerms();
  Vec w1(terms[0]), w2(terms[1]), w3(terms[2]), w4(terms[3]), w5(terms[4]), w6(terms[5]);
  Vec z({});
  DenseVector_Add3(z, w1, w2, w3);
  EXPECT_TRUE(SameVector(z.values(), {1e16, 6.0}));
  DenseVector_Add4(z, w6, w1, w2, w3);
  EXPECT_TRUE(SameVector(z.values(), {2.0, 12.0}));  // -1e16 + 1e16 first, then 1 + 1
  DenseVector_Add5(z, w1, w2, w3, w4, w5);
  EXPECT_TRUE(SameVector(z.values(), {1e16, 15.0}));
  DenseVector_AddList(z, w1.get(), w2.get(), w3.get(), w4.get(), w5.get(), w6.get(), nullptr);
  EXPECT_TRUE(SameVector(z.values(), {0.0, 21.0}));
  // Entries after the terminator are not read.
  DenseVector_AddList(z, w2.get(), w3.get(), nullptr, w6.get());
  EXPECT_TRUE(SameVector(z.values(), {2.0, 5.0}));
}

TEST_F(DenseVectorTest, AddListResultMayBeAnyOperand) {
  const auto terms = SixTerms();
  for (int alias = 0; alias < 6; ++alias) {
    Vec w1(terms[0]), w2(terms[1]), w3(terms[2]), w4(terms[3]), w5(terms[4]), w6(terms[5]);
    DenseVector* list[] = {w1, w2, w3, w4, w5, w6};
    DenseVector_AddList(list[alias], w1.get(), w2.get(), w3.get(), w4.get(), w5.get(), w6.get(),
                        nullptr);
    EXPECT_TRUE(SameVector(std::vector<double>(list[alias]->data, list[alias]->data + 2),
                           {0.0, 21.0}))
        << "result is w" << alias + 1;
    EXPECT_EQ(DenseVector_Length(list[alias]), 2);
  }
}

TEST_F(DenseVectorTest, AddListWithoutAFirstVectorIsEmpty) {
  Vec z({1.0, 2.0});
  Vec empty({});
  Vec w({3.0});
  DenseVector_AddList(z, empty.get(), w.get(), nullptr);
  EXPECT_EQ(DenseVector_Length(z), 0);
  DenseVector_SetLength(z, 2);
  DenseVector_AddList(z, nullptr);
  EXPECT_EQ(DenseVector_Length(z), 0);
}

// --- Projections -------------------------------------------------------------------------------

TEST_F(DenseVectorTest, MidIsTheMedianOfBoundsAndPoint) {
  struct Case {
    double l, x, u, expected;
  };
  const Case cases[] = {
      {0.0, -1.0, 2.0, 0.0},   {0.0, 3.0, 2.0, 2.0},    {0.0, 1.0, 2.0, 1.0},
      {2.0, 3.0, 1.0, 2.0},    {2.0, 0.0, 1.0, 1.0},    {2.0, 1.5, 1.0, 1.5},  // crossed bounds
      {-kInf, -5.0, kInf, -5.0}, {1.0, 1.0, 1.0, 1.0},  {-kInf, kInf, 3.0, 3.0},
      {0.0, kNaN, 1.0, 1.0},   // no comparison with the NaN holds: the upper bound
  };
  for (const auto& c : cases) {
    Vec l({c.l}), x({c.x}), u({c.u}), z({});
    DenseVector_Mid(z, x, l, u);
    EXPECT_TRUE(SameVector(z.values(), {c.expected}))
        << "l " << c.l << " x " << c.x << " u " << c.u;
  }
}

TEST_F(DenseVectorTest, ProjectedStepAndDirection) {
  struct Case {
    const char* name;
    double d, x, l, u, step, direction;
  };
  const Case cases[] = {
      {"at lower, moving down", -1.0, 0.0, 0.0, 2.0, 0.0, 0.0},
      {"at lower, no move", 0.0, 0.0, 0.0, 2.0, 0.0, 0.0},
      {"at upper, moving up", 1.0, 2.0, 0.0, 2.0, 0.0, 0.0},
      {"from lower, cut at upper", 5.0, 0.0, 0.0, 2.0, 2.0, 5.0},
      {"interior", 0.5, 1.0, 0.0, 2.0, 0.5, 0.5},
      {"interior, cut at lower", -5.0, 1.0, 0.0, 2.0, -1.0, -5.0},
      {"infinite bounds", -7.0, 1.0, -kInf, kInf, -7.0, -7.0},
  };
  for (const auto& c : cases) {
    Vec d({c.d}), x({c.x}), l({c.l}), u({c.u}), z({});
    DenseVector_ProjectedStep(z, d, x, l, u);
    EXPECT_TRUE(SameVector(z.values(), {c.step})) << c.name;
    DenseVector_ProjectedDirection(z, d, x, l, u);
    EXPECT_TRUE(SameVector(z.values(), {c.direction})) << c.name;
  }
}

// --- Comparisons ---------------------------------------------------------------------------------

TEST_F(DenseVectorTest, Comparisons) {
  using Compare = std::int32_t (*)(const DenseVector*, const DenseVector*);
  const Compare ops[] = {DenseVector_Equal, DenseVector_NotEqual, DenseVector_Less,
                         DenseVector_LessEqual, DenseVector_Greater, DenseVector_GreaterEqual};
  const char* names[] = {"Equal", "NotEqual", "Less", "LessEqual", "Greater", "GreaterEqual"};
  struct Case {
    const char* name;
    std::vector<double> x, y;
    bool same_record;
    std::int32_t expected[6];  // Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual
  };
  const Case cases[] = {
      {"equal", {1.0, 2.0}, {1.0, 2.0}, false, {1, 0, 0, 1, 0, 1}},
      {"all less", {1.0, 2.0}, {2.0, 3.0}, false, {0, 1, 1, 1, 0, 0}},
      {"mixed", {1.0, 4.0}, {2.0, 3.0}, false, {0, 1, 0, 0, 0, 0}},
      {"all greater", {3.0, 4.0}, {2.0, 3.0}, false, {0, 1, 0, 0, 1, 1}},
      {"length from x", {1.0}, {1.0, 5.0}, false, {1, 0, 0, 1, 0, 1}},
      {"empty", {}, {}, false, {1, 0, 0, 1, 0, 1}},
      // A NaN pair is unequal and fails none of the ordering tests.
      {"NaN pair", {kNaN}, {kNaN}, false, {0, 1, 1, 1, 1, 1}},
      // One shared array decides without looking at the elements.
      {"same record with NaN", {kNaN, 1.0}, {}, true, {1, 0, 0, 1, 0, 1}},
  };
  for (const auto& c : cases) {
    Vec x(c.x), y(c.y);
    const DenseVector* other = c.same_record ? x.get() : y.get();
    for (int k = 0; k < 6; ++k) {
      EXPECT_EQ(ops[k](x, other), c.expected[k]) << c.name << ": " << names[k];
    }
  }
}

// --- Inner products ----------------------------------------------------------------------------------

TEST_F(DenseVectorTest, InnerProducts) {
  Vec x({1.0, 2.0}), y({4.0, 6.0}), z({kInf, kNaN}), empty({});
  EXPECT_EQ(DenseVector_Distance(x, y), 5.0);
  EXPECT_EQ(DenseVector_Dot(x, y), 16.0);
  EXPECT_EQ(DenseVector_DotCombine(x, y, 2.0, y, -1.0), 16.0);
  // The shortcuts never read the operand whose factor is 0.
  EXPECT_EQ(DenseVector_DotCombine(x, y, 0.5, z, 0.0), 8.0);
  EXPECT_EQ(DenseVector_DotCombine(x, z, 0.0, y, 2.0), 32.0);
  EXPECT_EQ(DenseVector_DotCombine(x, z, 0.0, z, 0.0), 0.0);
  EXPECT_EQ(DenseVector_Distance(empty, x), 0.0);
  EXPECT_EQ(DenseVector_Dot(empty, x), 0.0);
}

// --- Display -------------------------------------------------------------------------------------------

TEST_F(DenseVectorTest, DisplayFormats) {
  Vec v({1.5, 0.0, -1e300});
  DenseVector_Display(v, OUTPUT_STATUS);
  EXPECT_EQ(output()->status(),
            "    1   1.5000000000000000000e+00\n"
            "    2   0.0000000000000000000e+00\n"
            "    3   -1.0000000000000000525e+300\n");
  EXPECT_EQ(output()->log(), "");
  output()->Clear();

  Vec sparse({0.0, 7.0, -0.0});
  DenseVector_DisplaySparse(sparse, OUTPUT_LOG);
  EXPECT_EQ(output()->log(), "    2   7.0000000000000000000e+00\n");
  output()->Clear();

  Vec with_nan({0.0, kNaN});
  DenseVector_DisplaySparse(with_nan, OUTPUT_LOG);
  EXPECT_EQ(output()->log().substr(0, 8), "    2   ");  // a NaN is printed
  output()->Clear();

  DenseVector_DisplayFormat(v, "[%d] %g\n", OUTPUT_ALL);
  EXPECT_EQ(output()->listing(), "[1] 1.5\n[2] 0\n[3] -1e+300\n");
}

}  // namespace
