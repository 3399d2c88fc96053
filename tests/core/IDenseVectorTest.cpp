// IDenseVector: the integer twin, its division and remainder family, and
// its behaviour at the ends of the 32-bit range.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/IDenseVector.hpp"
#include "support/TestSupport.hpp"
#include "VectorFixtures.hpp"

namespace {

const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

class IDenseVectorTest : public LibraryTest {};

using Ints = std::vector<std::int32_t>;

TEST_F(IDenseVectorTest, LifecycleAndAccess) {
  CountingMemory memory;
  IDenseVector* v = IDenseVector_Create(0);
  EXPECT_EQ(IDenseVector_Capacity(v), 1);
  EXPECT_EQ(IDenseVector_Length(v), 0);
  IDenseVector_Array(v)[0] = 42;
  EXPECT_EQ(IDenseVector_Value(v, 1), 42);  // element 1 is data[0]
  IDenseVector_Size(v, 5);
  EXPECT_EQ(IDenseVector_Capacity(v), 5);
  EXPECT_EQ(IDenseVector_Length(v), 0);
  IDenseVector_Reference(v);
  EXPECT_EQ(v->refcount, 2);
  EXPECT_EQ(IDenseVector_Destroy(v), 1);
  EXPECT_EQ(IDenseVector_Destroy(v), 0);
  EXPECT_EQ(memory.live(), 0);
}

TEST_F(IDenseVectorTest, ElementUpdates) {
  IVec v({10, -7, 7, 5});
  IDenseVector_SetValue(v, 1, 3);
  IDenseVector_IncrementValue(v, 1);
  IDenseVector_DecrementValue(v, 4);
  IDenseVector_AddValue(v, 4, 10);
  IDenseVector_SubValue(v, 1, 1);
  IDenseVector_MulValue(v, 1, -2);
  IDenseVector_DivValue(v, 2, 2);  // truncates toward zero
  IDenseVector_ModValue(v, 3, -4);  // sign of the dividend
  EXPECT_EQ(v.values(), (Ints{-6, -3, 3, 14}));
}

TEST_F(IDenseVectorTest, CloneFollowsTheDoubleTwin) {
  IVec src({5, 6, 7});
  IVec map({2, 0, 1});
  IVec dst({9, 9, 9, 9});
  IDenseVector_Clone(dst, src, map);
  EXPECT_EQ(dst.values(), (Ints{7, 5}));
  IDenseVector_Clone(dst, src, nullptr);
  EXPECT_EQ(dst.values(), (Ints{5, 6, 7}));
  EXPECT_SOLVER_ERROR(IDenseVector_Clone(src, src, map),
                      "): Clone: cannot partial clone in place\n");
  EXPECT_NE(output()->status().find("IDenseVector("), std::string::npos);
  // The kept entries of a clone map.
  EXPECT_EQ(IDenseVector_CountGT(map, 0), 2);
}

TEST_F(IDenseVectorTest, FillsAppendsAndCounts) {
  IVec v({1, 2}, 20);
  IDenseVector_AppendRamp(v, 3, 10, -5);
  IDenseVector_AppendFill(v, 1, 4);
  IDenseVector_AppendOne(v, 1);
  IDenseVector_AppendMinusOne(v, 1);
  IDenseVector_AppendZero(v, 1);
  IDenseVector_AppendVector(v, v);
  EXPECT_EQ(v.values().size(), 18u);
  IDenseVector_Ramp(v, 4, 3, 0);
  EXPECT_EQ(v.values(), (Ints{3, 3, 3, 3}));
  IDenseVector_Ramp(v, 3, -1, 2);
  IDenseVector_Push(v, -1);
  EXPECT_EQ(v.values(), (Ints{-1, 1, 3, -1}));
  EXPECT_EQ(IDenseVector_Replace(v, -1, 0), 2);
  EXPECT_EQ(IDenseVector_CountEQ(v, 0), 2);
  EXPECT_EQ(IDenseVector_CountNE(v, 0), 2);
  EXPECT_EQ(IDenseVector_CountLT(v, 3), 3);
  EXPECT_EQ(IDenseVector_CountLE(v, 3), 4);
  EXPECT_EQ(IDenseVector_CountGE(v, 1), 2);
  IDenseVector_FillMinusOne(v, 2);
  EXPECT_EQ(v.values(), (Ints{-1, -1}));
  IDenseVector_FillOne(v, 1);
  EXPECT_EQ(v.values(), (Ints{1}));
  IDenseVector_FillZero(v, 0);
  EXPECT_EQ(v.values(), Ints{});
}

TEST_F(IDenseVectorTest, RampStopsAtTheLastWrittenElement) {
  IVec v({});
  // The value after the last element would leave the range but is never
  // stored.
  IDenseVector_Ramp(v, 2, kMax - 1, 1);
  EXPECT_EQ(v.values(), (Ints{kMax - 1, kMax}));
  EXPECT_SOLVER_ERROR(IDenseVector_Ramp(v, 3, kMax - 1, 1), "Ramp: integer overflow");
}

// --- Operations: one table for the integer results ---------------------------------------

struct OpCase {
  const char* name;
  std::function<void(IDenseVector* z, const IDenseVector* x, const IDenseVector* y)> op;
  Ints x, y, expected;
};

void RunCases(const std::vector<OpCase>& cases) {
  for (const auto& c : cases) {
    IVec x(c.x), y(c.y);
    IVec z({99, 99, 99, 99});
    c.op(z, x, y);
    EXPECT_EQ(z.values(), c.expected) << c.name;
    c.op(x, x, y);  // the result may be the leading operand
    EXPECT_EQ(x.values(), c.expected) << c.name << " in place";
  }
}

TEST_F(IDenseVectorTest, OperationsWithAScalar) {
  auto with = [](auto f, std::int32_t a) {
    return [f, a](IDenseVector* z, const IDenseVector* x, const IDenseVector*) { f(z, x, a); };
  };
  auto scalar_first = [](auto f, std::int32_t a) {
    return [f, a](IDenseVector* z, const IDenseVector* x, const IDenseVector*) { f(z, a, x); };
  };
  RunCases({
      {"AddScalar", with(IDenseVector_AddScalar, 3), {1, -2}, {}, {4, 1}},
      {"AddScalar 0", with(IDenseVector_AddScalar, 0), {1, -2}, {}, {1, -2}},
      {"SubScalar", with(IDenseVector_SubScalar, 3), {1, -2}, {}, {-2, -5}},
      // 0 - a is formed in 64 bits: -1 - (-2^31) = 2^31 - 1 fits.
      {"SubScalar most negative", with(IDenseVector_SubScalar, kMin), {-1}, {}, {kMax}},
      {"Scale", with(IDenseVector_Scale, 3), {2, -3}, {}, {6, -9}},
      {"Scale -1", with(IDenseVector_Scale, -1), {2, -3}, {}, {-2, 3}},
      {"Scale 0", with(IDenseVector_Scale, 0), {2, -3}, {}, {0, 0}},
      {"Scale 1", with(IDenseVector_Scale, 1), {2, kMin}, {}, {2, kMin}},
      {"DivScalar truncates", with(IDenseVector_DivScalar, 2), {7, -7}, {}, {3, -3}},
      {"DivScalar by negative", with(IDenseVector_DivScalar, -2), {7, -7}, {}, {-3, 3}},
      {"DivScalar 1", with(IDenseVector_DivScalar, 1), {kMin}, {}, {kMin}},
      {"DivScalar -1", with(IDenseVector_DivScalar, -1), {7, 0}, {}, {-7, 0}},
      {"ModScalar", with(IDenseVector_ModScalar, 3), {7, -7}, {}, {1, -1}},
      {"ModScalar by negative", with(IDenseVector_ModScalar, -3), {7, -7}, {}, {1, -1}},
      {"ModScalar 1", with(IDenseVector_ModScalar, 1), {7, -7}, {}, {0, 0}},
      {"ModScalar -1 of the most negative", with(IDenseVector_ModScalar, -1), {kMin}, {}, {0}},
      {"MinScalar", with(IDenseVector_MinScalar, 2), {1, 3}, {}, {1, 2}},
      {"MaxScalar", with(IDenseVector_MaxScalar, 2), {1, 3}, {}, {2, 3}},
      {"ScalarDiv", scalar_first(IDenseVector_ScalarDiv, 7), {2, -3}, {}, {3, -2}},
      {"ScalarDiv 0", scalar_first(IDenseVector_ScalarDiv, 0), {0, 5}, {}, {0, 0}},
      {"ScalarMod", scalar_first(IDenseVector_ScalarMod, 7), {3, -4}, {}, {1, 3}},
      {"ScalarMod 0", scalar_first(IDenseVector_ScalarMod, 0), {0, 5}, {}, {0, 0}},
      {"empty", with(IDenseVector_Scale, 5), {}, {}, {}},
  });
}

TEST_F(IDenseVectorTest, ElementwiseOperations) {
  auto scaled = [](auto f, std::int32_t a) {
    return [f, a](IDenseVector* z, const IDenseVector* x, const IDenseVector* y) { f(z, x, y, a); };
  };
  auto combine = [](std::int32_t a, std::int32_t b) {
    return [a, b](IDenseVector* z, const IDenseVector* x, const IDenseVector* y) {
      IDenseVector_Combine(z, x, a, y, b);
    };
  };
  RunCases({
      {"Add", IDenseVector_Add, {1, 2}, {3, -5}, {4, -3}},
      {"Sub", IDenseVector_Sub, {1, 2}, {3, -5}, {-2, 7}},
      {"Mul", IDenseVector_Mul, {4, -2}, {3, -5}, {12, 10}},
      {"Div", IDenseVector_Div, {7, -7, 7}, {2, 2, -2}, {3, -3, -3}},
      {"Mod", IDenseVector_Mod, {7, -7}, {3, 3}, {1, -1}},
      {"length from x", IDenseVector_Add, {1}, {1, 1, 1}, {2}},
      {"AddScaled", scaled(IDenseVector_AddScaled, 2), {1, 1}, {3, -1}, {7, -1}},
      {"AddScaled 0", scaled(IDenseVector_AddScaled, 0), {1, 1}, {kMax, kMin}, {1, 1}},
      {"SubScaled", scaled(IDenseVector_SubScaled, 2), {1}, {3}, {-5}},
      {"Combine", combine(2, 3), {1, 2}, {1, -1}, {5, 1}},
      // a = 0 is Scale (z, y, b): the count comes from y.
      {"Combine a 0", combine(0, 2), {1}, {1, 2, 3}, {2, 4, 6}},
      {"Combine b 0", combine(3, 0), {1, 2}, {kMax, kMax}, {3, 6}},
      {"Combine a 1", combine(1, 4), {1, 2}, {2, 2}, {9, 10}},
      {"Combine b 1", combine(2, 1), {1, 1, 1}, {5}, {7}},
  });
}

TEST_F(IDenseVectorTest, ThreeOperandFormsUseTheRemainderOfTheSecondOperand) {
  using Op = void (*)(IDenseVector*, const IDenseVector*, const IDenseVector*,
                      const IDenseVector*);
  IVec x({10, 10}), y({7, -7}), w({3, 3});
  struct Case {
    const char* name;
    Op op;
    Ints expected;
  };
  const Case cases[] = {
      {"AddMul", IDenseVector_AddMul, {31, -11}}, {"AddDiv", IDenseVector_AddDiv, {12, 8}},
      {"AddMod", IDenseVector_AddMod, {11, 9}},   {"SubMul", IDenseVector_SubMul, {-11, 31}},
      {"SubDiv", IDenseVector_SubDiv, {8, 12}},   {"SubMod", IDenseVector_SubMod, {9, 11}},
  };
  for (const auto& c : cases) {
    IVec z({});
    c.op(z, x, y, w);
    EXPECT_EQ(z.values(), c.expected) << c.name;
  }
}

TEST_F(IDenseVectorTest, SumsOfSeveralVectors) {
  IVec a({1, kMax}), b({2, 1}), c({3, -1}), d({4, 0}), e({5, 0}), f({6, -kMax});
  IVec z({});
  IDenseVector_Add3(z, a, b, c);
  EXPECT_EQ(z.values(), (Ints{6, kMax}));  // kMax + 1 - 1: the partial sum may leave the range
  IDenseVector_Add4(z, a, b, c, d);
  EXPECT_EQ(z.values(), (Ints{10, kMax}));
  IDenseVector_Add5(z, a, b, c, d, e);
  EXPECT_EQ(z.values(), (Ints{15, kMax}));
  // The result is a later operand of the list.
  IDenseVector_AddList(c.get(), a.get(), b.get(), c.get(), d.get(), e.get(), f.get(), nullptr);
  EXPECT_EQ(c.values(), (Ints{21, 0}));
}

TEST_F(IDenseVectorTest, MidWithCrossedBounds) {
  struct Case {
    std::int32_t l, x, u, expected;
  };
  const Case cases[] = {{5, 9, 1, 5}, {5, 0, 1, 1}, {5, 3, 1, 3}, {0, -4, 8, 0}, {0, 9, 8, 8}};
  for (const auto& c : cases) {
    IVec l({c.l}), x({c.x}), u({c.u}), z({});
    IDenseVector_Mid(z, x, l, u);
    EXPECT_EQ(z.values(), (Ints{c.expected})) << c.l << " " << c.x << " " << c.u;
  }
}

TEST_F(IDenseVectorTest, Comparisons) {
  IVec x({1, 2}), y({1, 3}), empty({});
  EXPECT_EQ(IDenseVector_Equal(x, y), 0);
  EXPECT_EQ(IDenseVector_NotEqual(x, y), 1);
  EXPECT_EQ(IDenseVector_Less(x, y), 0);
  EXPECT_EQ(IDenseVector_LessEqual(x, y), 1);
  EXPECT_EQ(IDenseVector_Greater(y, x), 0);
  EXPECT_EQ(IDenseVector_GreaterEqual(y, x), 1);
  EXPECT_EQ(IDenseVector_Less(empty, empty), 0);
  EXPECT_EQ(IDenseVector_LessEqual(empty, empty), 1);
  EXPECT_EQ(IDenseVector_Equal(x, x), 1);
  EXPECT_EQ(IDenseVector_Greater(x, x), 0);
}

TEST_F(IDenseVectorTest, ReductionsAreExactBeyondTheIntegerRange) {
  IVec big({50000, kMin});
  // Terms formed in 32 bits would overflow: 50000^2 and abs(-2^31).
  EXPECT_EQ(IDenseVector_SumSquares(big), 2500000000.0 + 4611686018427387904.0);
  EXPECT_EQ(IDenseVector_SumAbs(big), 50000.0 + 2147483648.0);
  EXPECT_EQ(IDenseVector_OneNorm(big), 50000.0 + 2147483648.0);
  EXPECT_EQ(IDenseVector_Sum(big), 50000.0 - 2147483648.0);
  EXPECT_EQ(IDenseVector_InfNorm(big), 2147483648.0);
  IVec three_four({3, -4});
  EXPECT_EQ(IDenseVector_TwoNorm(three_four), 5.0);
  EXPECT_EQ(IDenseVector_SumPrefix(three_four, 1), 3.0);
  EXPECT_EQ(IDenseVector_SumPrefix(three_four, 0), 0.0);

  IVec x({65536, kMax}), y({65536, kMin});
  EXPECT_EQ(IDenseVector_Dot(x, y), 4294967296.0 + -4611686016279904256.0);
  IVec p({kMax}), q({kMin});
  EXPECT_EQ(IDenseVector_Distance(p, q), 4294967295.0);
  // (a y + b z) x = (2^62 + 2^62) * 2 = 2^64.
  IVec two({2}), m({kMin});
  EXPECT_EQ(IDenseVector_DotCombine(two, m, kMin, m, kMin), 18446744073709551616.0);
  EXPECT_EQ(IDenseVector_DotCombine(two, m, 0, p, 3), 3.0 * 2 * kMax);
  EXPECT_EQ(IDenseVector_DotCombine(two, p, 3, m, 0), 3.0 * 2 * kMax);
  EXPECT_EQ(IDenseVector_DotCombine(two, p, 0, m, 0), 0.0);

  IVec s({kMax, 1}), t({kMax, 1});
  EXPECT_EQ(IDenseVector_MaxSumPrefix(s, t, 2), 2 * std::int64_t{kMax});
  EXPECT_EQ(IDenseVector_MinSumPrefix(s, t, 2), 2);
  EXPECT_EQ(IDenseVector_MinSumPrefix(s, t, 0), 0);
}

TEST_F(IDenseVectorTest, Extremes) {
  using Extreme = void (*)(std::int32_t&, std::int32_t&, const IDenseVector*);
  struct Case {
    const char* name;
    Extreme f;
    Ints x;
    std::int32_t value, index;
  };
  const Case cases[] = {
      {"MinIndex", IDenseVector_MinIndex, {3, 1, 1}, 1, 2},
      {"MinIndex empty", IDenseVector_MinIndex, {}, 0, 0},
      {"MaxIndex", IDenseVector_MaxIndex, {3, 8, 8}, 8, 2},
      {"MaxAbsIndex", IDenseVector_MaxAbsIndex, {-4, 4, 1}, 4, 1},
      {"MaxAbsIndex empty", IDenseVector_MaxAbsIndex, {}, 0, 0},
      {"MinAbsNonzero", IDenseVector_MinAbsNonzeroIndex, {0, -4, 2, 2}, 2, 3},
      {"MinAbsNonzero all zero", IDenseVector_MinAbsNonzeroIndex, {0, 0}, 0, 1},
      {"MinAbsNonzero empty", IDenseVector_MinAbsNonzeroIndex, {}, 0, 0},
  };
  for (const auto& c : cases) {
    IVec x(c.x);
    std::int32_t value = -99, index = -99;
    c.f(value, index, x);
    EXPECT_EQ(value, c.value) << c.name;
    EXPECT_EQ(index, c.index) << c.name;
  }
  IVec v({4, -1, 6});
  EXPECT_EQ(IDenseVector_MinPrefix(v, 2), -1);
  EXPECT_EQ(IDenseVector_MaxPrefix(v, 2), 4);
  EXPECT_EQ(IDenseVector_MaxPrefix(v, 0), 0);
}

// --- Faults that a 32-bit computation cannot express ------------------------------------------

TEST_F(IDenseVectorTest, ZeroDivisorsAndOverflowAreSolverErrors) {
  struct Case {
    const char* name;
    std::function<void()> op;
    const char* message;
  };
  IVec x({7, kMin}), low({kMin}), zero({0, 0}), one({1, 1}), minus_one({-1, -1}), top({kMax}),
      z({});
  const Case cases[] = {
      {"DivScalar 0", [&] { IDenseVector_DivScalar(z, x, 0); }, "DivScalar: division by zero"},
      {"ModScalar 0", [&] { IDenseVector_ModScalar(z, x, 0); }, "ModScalar: division by zero"},
      {"ScalarDiv by element 0", [&] { IDenseVector_ScalarDiv(z, 3, zero); },
       "ScalarDiv: division by zero"},
      {"ScalarMod by element 0", [&] { IDenseVector_ScalarMod(z, 3, zero); },
       "ScalarMod: division by zero"},
      {"Div by 0", [&] { IDenseVector_Div(z, x, zero); }, "Div: division by zero"},
      {"Mod by 0", [&] { IDenseVector_Mod(z, x, zero); }, "Mod: division by zero"},
      {"AddDiv by 0", [&] { IDenseVector_AddDiv(z, x, one, zero); }, "AddDiv: division by zero"},
      {"AddMod by 0", [&] { IDenseVector_AddMod(z, x, one, zero); }, "AddMod: division by zero"},
      {"SubDiv by 0", [&] { IDenseVector_SubDiv(z, x, one, zero); }, "SubDiv: division by zero"},
      {"SubMod by 0", [&] { IDenseVector_SubMod(z, x, one, zero); }, "SubMod: division by zero"},
      {"DivValue 0", [&] { IDenseVector_DivValue(x, 1, 0); }, "DivValue: division by zero"},
      {"ModValue 0", [&] { IDenseVector_ModValue(x, 1, 0); }, "ModValue: division by zero"},
      {"most negative / -1", [&] { IDenseVector_Div(z, x, minus_one); }, "Div: integer overflow"},
      {"DivValue most negative / -1", [&] { IDenseVector_DivValue(x, 2, -1); },
       "DivValue: integer overflow"},
      {"DivScalar most negative / -1", [&] { IDenseVector_DivScalar(z, x, -1); },
       "DivScalar: integer overflow"},
      {"Negate most negative", [&] { IDenseVector_Negate(low); }, "Negate: integer overflow"},
      {"Scale -1 of most negative", [&] { IDenseVector_Scale(z, x, -1); },
       "Scale: integer overflow"},
      {"Add", [&] { IDenseVector_Add(z, top, one); }, "Add: integer overflow"},
      {"Sub", [&] { IDenseVector_Sub(z, x, one); }, "Sub: integer overflow"},
      {"Mul", [&] { IDenseVector_Mul(z, top, top); }, "Mul: integer overflow"},
      {"AddScalar", [&] { IDenseVector_AddScalar(z, top, 1); }, "AddScalar: integer overflow"},
      {"SubScalar of the most negative", [&] { IDenseVector_SubScalar(z, zero, kMin); },
       "SubScalar: integer overflow"},
      {"Combine", [&] { IDenseVector_Combine(z, x, kMin, x, kMin); }, "Combine: integer overflow"},
      {"IncrementValue", [&] { IDenseVector_IncrementValue(top, 1); },
       "IncrementValue: integer overflow"},
      {"DecrementValue", [&] { IDenseVector_DecrementValue(x, 2); },
       "DecrementValue: integer overflow"},
      {"MaxAbsIndex of the most negative", [&] {
         std::int32_t value, index;
         IDenseVector_MaxAbsIndex(value, index, x);
       }, "MaxAbsIndex: integer overflow"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_SOLVER_ERROR(c.op(), std::string(c.message) + "\n");
    EXPECT_NE(output()->status().find("IDenseVector("), std::string::npos);
    output()->Clear();
  }
  // The element updates that failed changed nothing.
  EXPECT_EQ(x.values(), (Ints{7, kMin}));
  EXPECT_EQ(top.values(), Ints{kMax});
}

TEST_F(IDenseVectorTest, DivisionOfAnEmptyVectorDividesNothing) {
  IVec empty({}), z({1});
  IDenseVector_DivScalar(z, empty, 0);
  EXPECT_EQ(IDenseVector_Length(z), 0);
}

// --- Display -------------------------------------------------------------------------------------

TEST_F(IDenseVectorTest, DisplayFormats) {
  IVec v({0, 7, -123456});
  IDenseVector_Display(v, OUTPUT_LOG);
  EXPECT_EQ(output()->log(), "    1       0\n    2       7\n    3   -123456\n");
  output()->Clear();
  IDenseVector_DisplaySparse(v, OUTPUT_STATUS);
  EXPECT_EQ(output()->status(), "    2       7\n    3   -123456\n");
  output()->Clear();
  IVec one_line({0, 7, 0});
  IDenseVector_DisplaySparse(one_line, OUTPUT_LOG);
  EXPECT_EQ(output()->log(), "    2       7\n");
  output()->Clear();
  IDenseVector_DisplayFormat(one_line, "%d=%d;", OUTPUT_LISTING);
  EXPECT_EQ(output()->listing(), "1=0;2=7;3=0;");
}

}  // namespace
