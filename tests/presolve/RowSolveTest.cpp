// Exact solves of one- and two-variable pieces: case tables for the one-
// variable solution sets and their operations, the cut of a line with a
// box, the corner thinning and the two-variable solve, including values
// beyond infinity and the tolerance options.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "presolve/rows/RowSolve.hpp"
#include "support/TestSupport.hpp"

namespace {

constexpr double kInf = 1e20;  // the option infinity
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A set written as in a table: count and the points it uses.
struct Set {
  std::int32_t count;
  std::vector<double> points;
};

Set Empty() { return {0, {}}; }
Set Segment(double lo, double hi) { return {-1, {lo, hi}}; }
Set List(std::vector<double> points) {
  return {static_cast<std::int32_t>(points.size()), points};
}

std::string Describe(std::int32_t count, const double* points) {
  std::string text = "count " + std::to_string(count) + ":";
  const int used = count < 0 ? 2 : count;
  for (int k = 0; k < used && k < 3; ++k) text += " " + std::to_string(points[k]);
  return text;
}

// The set (count, points) equals the expected one; values compared exactly.
void ExpectSet(std::int32_t count, const double* points, const Set& expected) {
  Set actual{count, {}};
  const int used = count < 0 ? 2 : count;
  for (int k = 0; k < used && k < 3; ++k) actual.points.push_back(points[k]);
  EXPECT_EQ(actual.count, expected.count) << Describe(count, points);
  EXPECT_EQ(actual.points, expected.points) << Describe(count, points);
}

void Load(const Set& set, std::int32_t* count, double points[3]) {
  *count = set.count;
  for (int k = 0; k < 3; ++k) {
    points[k] = k < static_cast<int>(set.points.size()) ? set.points[k] : 0.0;
  }
}

using RowSolveTest = LibraryTest;

// ---------------------------------------------------------------------------
// One variable
// ---------------------------------------------------------------------------

TEST_F(RowSolveTest, SolveOneGivesEverySolutionOfTheBoxedPiece) {
  struct Case {
    const char* what;
    double a, b, l, u;
    bool settled;
    Set expected;
  };
  const Case cases[] = {
      // F constant.
      {"zero piece: the whole box", 0, 0, 0, 5, true, Segment(0, 5)},
      {"zero piece: the whole line", 0, 0, -kInf, kInf, true, Segment(-kInf, kInf)},
      {"coefficient within jactol is zero", 0.5e-12, 0, 0, 5, true, Segment(0, 5)},
      {"constant within zerotol is zero", 0, 0.5e-12, 0, 5, true, Segment(0, 5)},
      {"positive constant: lower bound", 0, 2e-12, 0, 5, true, List({0})},
      {"positive constant, no lower bound", 0, 1, -kInf, 3, true, Empty()},
      {"negative constant: upper bound", 0, -1, -kInf, 5, true, List({5})},
      {"negative constant, no upper bound", 0, -1, 0, kInf, true, Empty()},
      // F rising: one point, the zero clamped to the box.
      {"rising, zero above the box", 2, -4, 0, 1, true, List({1})},
      {"rising, zero below the box", 2, -4, 3, 10, true, List({3})},
      {"rising, free variable", 2, -4, -kInf, kInf, true, List({2})},
      // F falling: the bounds and the zero.
      {"falling, zero inside", -1, 1, 0, 2, true, List({0, 1, 2})},
      {"falling, no lower bound", -1, 1, -kInf, 2, true, List({1, 2})},
      {"falling, no upper bound", -1, 1, 0, kInf, true, List({0, 1})},
      {"falling, free variable", -1, 1, -kInf, kInf, true, List({1})},
      {"falling, zero at the upper bound", -1, 1, 0, 1, true, List({0, 1})},
      {"falling, zero at the upper bound, no lower", -1, 1, -kInf, 1, true, List({1})},
      {"falling, zero within zerotol of l: l kept", -1, 1, 1 + 1e-13, 2, true,
       List({1 + 1e-13, 2})},
      {"falling, zero at the lower bound, no upper", -1, 1, 1, kInf, true, List({1})},
      {"falling, zero below the box", -1, 1, 2, 5, true, List({5})},
      {"falling, zero below the box, no upper", -1, 1, 2, kInf, true, Empty()},
      {"falling, zero above the box", -1, 1, -3, 0, true, List({-3})},
      {"falling, zero above the box, no lower", -1, 1, -kInf, 0, true, Empty()},
      // Zeros beyond infinity: beyond a finite end they are no solution.
      {"rising, zero at -1e21, finite lower", 1e-11, 1e10, 0, 5, true, List({0})},
      {"rising, zero at +1e21, finite upper", 1e-11, -1e10, 0, 5, true, List({5})},
      {"falling, zero at +1e21 above the box", -1e-11, 1e10, 0, 5, true, List({0})},
      {"falling, zero at +1e21, no lower bound", -1e-11, 1e10, -kInf, 5, true, Empty()},
      {"falling, zero at -1e21 below the box", -1e-11, -1e10, 0, 5, true, List({5})},
      // ... and beyond an infinite end the set is unsettled.
      {"rising, zero at -1e21, no lower bound", 1e-11, 1e10, -kInf, 5, false, Empty()},
      {"rising, zero at +1e21, no upper bound", 1e-11, -1e10, 0, kInf, false, Empty()},
      {"falling, zero at +1e21, no upper bound", -1e-11, 1e10, 0, kInf, false, Empty()},
      {"falling, zero at -1e21, no lower bound", -1e-11, -1e10, -kInf, 5, false, Empty()},
      {"NaN constant", 1, kNaN, 0, 5, false, Empty()},
      {"NaN coefficient", kNaN, 1, 0, 5, false, Empty()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::int32_t count = 99;
    double points[3] = {-7, -7, -7};
    EXPECT_EQ(Row_SolveOne(c.a, c.b, c.l, c.u, &count, points), c.settled);
    ExpectSet(count, points, c.expected);
  }
}

TEST_F(RowSolveTest, RestrictNonnegativeNarrowsSegmentsAndLists) {
  struct Case {
    const char* what;
    Set in;
    double a, b;
    bool settled;
    Set expected;
  };
  const Case cases[] = {
      {"segment raised from below", Segment(0, 10), 2, -4, true, Segment(2, 10)},
      {"segment lowered to its lower end", Segment(0, 10), -1, 0, true, List({0})},
      {"segment lowered below its lower end", Segment(0, 10), -1, -1, true, Empty()},
      {"segment cut above, infinite lower end", Segment(-kInf, kInf), -1, 2, true,
       Segment(-kInf, 2)},
      {"segment raised, infinite upper end", Segment(0, kInf), 1, -3, true, Segment(3, kInf)},
      {"segment not reached", Segment(0, 10), 1, 5, true, Segment(0, 10)},
      {"ends meeting within zerotol keep the end not moved (raised)", Segment(0, 2), 1,
       -(2 - 1e-13), true, List({2})},
      {"ends meeting within zerotol keep the end not moved (lowered)", Segment(0, 2), -1, 1e-13,
       true, List({0})},
      {"zero coefficient, negative constant empties a segment", Segment(0, 10), 0, -1, true,
       Empty()},
      {"list keeps the points with a*p + b >= 0", List({0, 1, 2}), 1, -1, true, List({1, 2})},
      {"list emptied by a negative constant", List({0, 1, 2}), 0, -1, true, Empty()},
      {"constant within zerotol changes nothing", List({0, 1, 2}), 0, -1e-13, true,
       List({0, 1, 2})},
      {"list point within zerotol kept", List({0, 1}), 1, -1e-13, true, List({0, 1})},
      {"list point beyond zerotol dropped", List({0, 1}), 1, -2e-12, true, List({1})},
      {"empty set stays empty", Empty(), 1, 1, true, Empty()},
      // Cuts beyond infinity.
      {"cut beyond a finite upper end empties", Segment(0, 10), 1e-9, -1e12, true, Empty()},
      {"cut beyond a finite lower end empties", Segment(-5, 0), -1e-9, -1e12, true, Empty()},
      {"cut on the far side changes nothing", Segment(0, kInf), 1e-9, 1e12, true,
       Segment(0, kInf)},
      {"cut beyond an infinite upper end is unsettled", Segment(0, kInf), 1e-9, -1e12, false,
       Empty()},
      {"cut beyond an infinite lower end is unsettled", Segment(-kInf, 0), -1e-9, -1e12, false,
       Empty()},
      {"NaN constant is unsettled", List({0, 1}), 1, kNaN, false, Empty()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::int32_t count;
    double points[3];
    Load(c.in, &count, points);
    EXPECT_EQ(Row_RestrictNonnegative(c.a, c.b, &count, points), c.settled);
    ExpectSet(count, points, c.expected);
  }
}

TEST_F(RowSolveTest, RemovePointAndInteriorTest) {
  struct RemoveCase {
    const char* what;
    Set in;
    double key, value, bound;
    Set expected;
  };
  const RemoveCase removals[] = {
      {"key off the bound changes nothing", List({1, 2}), 1, 1, 2, List({1, 2})},
      {"key on the bound removes the value", List({0, 1, 2}), 2, 1, 2, List({0, 2})},
      {"every copy within zerotol goes", List({1, 1 + 1e-13, 3}), 5, 1, 5, List({3})},
      {"infinite key and bound are equal", List({4}), -kInf, 4, -kInf, Empty()},
      {"a segment is never changed", Segment(0, 1), 0, 0, 0, Segment(0, 1)},
  };
  for (const RemoveCase& c : removals) {
    SCOPED_TRACE(c.what);
    std::int32_t count;
    double points[3];
    Load(c.in, &count, points);
    RemovePoint(c.key, c.value, &count, c.bound, points);
    ExpectSet(count, points, c.expected);
  }

  struct InteriorCase {
    const char* what;
    Set set;
    double lo, hi;
    int expected;
  };
  const InteriorCase interiors[] = {
      {"only the ends", List({0, 1}), 0, 1, 0},
      {"a point inside", List({0, 0.5}), 0, 1, 1},
      {"within zerotol of an end is not inside", List({1e-13, 1 - 1e-13}), 0, 1, 0},
      {"any segment", Segment(5, 6), 0, 1, 1},
      {"empty set", Empty(), 0, 1, 0},
      {"infinite ends", List({1e6}), -kInf, kInf, 1},
  };
  for (const InteriorCase& c : interiors) {
    SCOPED_TRACE(c.what);
    std::int32_t count;
    double points[3];
    Load(c.set, &count, points);
    EXPECT_EQ(HasInteriorPoint(c.lo, c.hi, count, points), c.expected);
  }
}

// ---------------------------------------------------------------------------
// A line through a box
// ---------------------------------------------------------------------------

TEST_F(RowSolveTest, SolveTwoNonzeroCutsTheLineWithTheBox) {
  struct Case {
    const char* what;
    double a, b, r, xl, xu, yl, yu;
    int result;
    double x0, y0, x1, y1;  // ends written (the second only for a segment)
  };
  const Case cases[] = {
      {"falling line across the box", 1, 1, -1, 0, 2, 0, 2, ROW_LINE_SEGMENT, 0, 1, 1, 0},
      {"falling line touching a corner", 1, 1, 0, 0, 2, 0, 2, ROW_LINE_CORNER, 0, 0, 0, 0},
      {"falling line missing the box", 1, 1, 1, 0, 2, 0, 2, ROW_LINE_NONE, 0, 0, 0, 0},
      {"rising line through an unbounded plane", 1, -1, 0, -kInf, kInf, -kInf, kInf,
       ROW_LINE_SEGMENT, -kInf, -kInf, kInf, kInf},
      {"rising line corner to corner side", 1, -1, 0, 0, 2, 0, 3, ROW_LINE_SEGMENT, 0, 0, 2, 2},
      {"falling line entering through the top", 1, 1, -1, -kInf, 2, 0, 5, ROW_LINE_SEGMENT, -4, 5,
       1, 0},
      {"falling line touching the far corner", 1, 1, -2, 0, 2, -kInf, 0, ROW_LINE_CORNER, 2, 0, 0,
       0},
      {"rising line entering through the bottom", 2, -1, -2, 0, 5, 0, 4, ROW_LINE_SEGMENT, 1, 0, 3,
       4},
      {"rising line above the box", -1, 1, -5, 0, 2, 0, 3, ROW_LINE_NONE, 0, 0, 0, 0},
      // A crossing beyond infinity.
      {"crossing below a finite lower end", 1, 1e-9, 1e12, 0, 5, 0, 5, ROW_LINE_NONE, 0, 0, 0,
       0},
      {"crossing below an infinite lower end", 1, 1e-9, 1e12, 0, 5, -kInf, 5,
       ROW_LINE_UNSETTLED, 0, 0, 0, 0},
      {"crossing right of an infinite upper end", 1e-9, 1, -1e12, -kInf, kInf, 0, 5,
       ROW_LINE_UNSETTLED, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    double x[2] = {0, 0}, y[2] = {0, 0};
    EXPECT_EQ(Row_SolveTwoNonzero(c.a, c.b, c.r, c.xl, c.xu, c.yl, c.yu, x, y), c.result);
    if (c.result == ROW_LINE_SEGMENT || c.result == ROW_LINE_CORNER) {
      EXPECT_DOUBLE_EQ(x[0], c.x0);
      EXPECT_DOUBLE_EQ(y[0], c.y0);
    }
    if (c.result == ROW_LINE_SEGMENT) {
      EXPECT_DOUBLE_EQ(x[1], c.x1);
      EXPECT_DOUBLE_EQ(y[1], c.y1);
    }
  }
}

TEST_F(RowSolveTest, SolveTwoNonzeroRefusesAZeroCoefficient) {
  double x[2], y[2];
  EXPECT_SOLVER_ERROR(Row_SolveTwoNonzero(0.5e-12, 1, 0, 0, 1, 0, 1, x, y),
                      "Presolve_Row(");
  EXPECT_SOLVER_ERROR(Row_SolveTwoNonzero(1, 0, 0, 0, 1, 0, 1, x, y),
                      "PRESOLVE_NE(a, 0.0, jactol) && PRESOLVE_NE(b, 0.0, jactol)");
}

// ---------------------------------------------------------------------------
// Two variables
// ---------------------------------------------------------------------------

struct TwoExpected {
  Set xl, xu, yl, yu;
  std::int32_t eq;
  std::vector<double> sol_x, sol_y, coeff;  // compared when not empty
};

void ExpectTwo(const TwoSolution& s, const TwoExpected& e) {
  {
    SCOPED_TRACE("x = xl");
    ExpectSet(s.nsol_xl, s.sol_xl, e.xl);
  }
  {
    SCOPED_TRACE("x = xu");
    ExpectSet(s.nsol_xu, s.sol_xu, e.xu);
  }
  {
    SCOPED_TRACE("y = yl");
    ExpectSet(s.nsol_yl, s.sol_yl, e.yl);
  }
  {
    SCOPED_TRACE("y = yu");
    ExpectSet(s.nsol_yu, s.sol_yu, e.yu);
  }
  EXPECT_EQ(s.nsol_eq, e.eq);
  for (size_t k = 0; k < e.sol_x.size(); ++k) EXPECT_DOUBLE_EQ(s.sol_x[k], e.sol_x[k]);
  for (size_t k = 0; k < e.sol_y.size(); ++k) EXPECT_DOUBLE_EQ(s.sol_y[k], e.sol_y[k]);
  for (size_t k = 0; k < e.coeff.size(); ++k) EXPECT_EQ(s.coeff[k], e.coeff[k]);
}

struct TwoCase {
  const char* what;
  double a, b, r, c, d, s, xl, xu, yl, yu;
  TwoExpected expected;
};

void RunTwoCases(const TwoCase* cases, size_t n) {
  for (size_t k = 0; k < n; ++k) {
    const TwoCase& c = cases[k];
    SCOPED_TRACE(c.what);
    TwoSolution s;
    ASSERT_TRUE(Row_SolveTwo(c.a, c.b, c.r, c.c, c.d, c.s, c.xl, c.xu, c.yl, c.yu, &s));
    ExpectTwo(s, c.expected);
  }
}

TEST_F(RowSolveTest, SolveTwoDescribesEachShapeOfSolutionSet) {
  const TwoCase cases[] = {
      {"regular, solution inside", 2, 1, -2, 1, 2, -2, 0, 10, 0, 10,
       {Empty(), Empty(), Empty(), Empty(), 1, {2.0 / 3}, {2.0 / 3}, {0, 0, 0}}},
      {"regular, solution outside: found on the edge x = xl", 2, 1, -2, 1, 2, -2, 1, 10, 0, 10,
       {List({0.5}), Empty(), Empty(), Empty(), 0, {2.0 / 3}, {2.0 / 3}, {0, 0, 0}}},
      {"both functions vanish: the whole box", 0, 0, 0, 0, 0, 0, 0, kInf, -1, 1,
       {Empty(), Empty(), Empty(), Empty(), -5, {0, kInf}, {-1, 1}, {0, 0, 0}}},
      {"F1 positive constant: the edge x = xl", 0, 0, 1, 0, 0, 0, 0, 2, 0, 3,
       {Segment(0, 3), Empty(), Empty(), Empty(), 0, {}, {}, {0, 0, 0}}},
      {"vertical solution line inside", 1, 0, -1, 1, 0, -1, 0, 2, 0, 3,
       {Empty(), Empty(), Empty(), Empty(), -1, {1, 1}, {0, 3}, {1, 0, -1}}},
      {"vertical solution line on the edge x = xu", 1, 0, -2, 1, 0, -2, 0, 2, 0, 3,
       {Empty(), Segment(0, 3), Empty(), Empty(), 0, {2}, {}, {1, 0, -2}}},
      {"two lone corners gathered on x = xl", 0, 0, 1, 0, -1, 0, 0, 5, 0, 2,
       {List({0, 2}), Empty(), Empty(), Empty(), 0, {}, {}, {0, 0, 0}}},
      {"solution line on an edge: corner kept in both segments", 0, 0, 0, 1, 0, 0, 0, 1, 0, 1,
       {Segment(0, 1), Empty(), Segment(0, 1), Empty(), 0, {0}, {}, {1, 0, 0}}},
      {"parallel distinct lines: the corner only", 1, 1, 0, 1, 1, 1, 0, 5, 0, 5,
       {Empty(), Empty(), List({0}), Empty(), 0, {}, {}, {0, 0, 0}}},
      {"horizontal solution line inside", 0, 1, -1, 0, 2, -2, -kInf, kInf, 0, 3,
       {Empty(), Empty(), Empty(), Empty(), -2, {-kInf, kInf}, {1, 1}, {0, 1, -1}}},
      {"coinciding slanted lines", 1, 1, -1, 2, 2, -2, 0, 2, 0, 2,
       {Empty(), Empty(), Empty(), Empty(), -3, {0, 1}, {1, 0}, {1, 1, -1}}},
      {"coinciding lines, F1 free of x", 0, 0, 0, 1, 1, -1, 0, 2, 0, 2,
       {Empty(), Empty(), Segment(1, 2), Empty(), -4, {0, 1}, {1, 0}, {1, 1, -1}}},
      {"solution of the equations at 1e21 beyond a finite end", 1e-9, 0, -1e12, 0, 1, 0, 0, 10,
       0, 10, {Empty(), Empty(), List({10}), Empty(), 0, {}, {}, {0, 0, 0}}},
  };
  RunTwoCases(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(RowSolveTest, SolveTwoCoincidenceTestsUseTheirOwnTolerances) {
  ASSERT_EQ(Options_SetDouble(options(), "presolve_zero_tolerance", 1e-6), 0);
  const TwoCase cases[] = {
      // c*r - a*s = -1e-9 is non-zero under jactol: two distinct vertical lines.
      {"vertical lines 1e-9 apart are distinct", 1, 0, 0, 1, 0, 1e-9, -1, 1, -1, 1,
       {Empty(), Empty(), List({0}), List({0}), 0, {}, {}, {0, 0, 0}}},
      // b*s - d*r = 1e-9 is zero under zerotol: one horizontal line.
      {"horizontal lines 1e-9 apart coincide", 0, 1, 0, 0, 1, 1e-9, 0, 1, -1, 1,
       {Empty(), Empty(), Empty(), Empty(), -2, {0, 1}, {0, 0}, {0, 1, 0}}},
  };
  RunTwoCases(cases, sizeof cases / sizeof cases[0]);
}

// A point on an edge solves its own row through a small coefficient (6.4
// beside constants formed from terms near 1.3e4), so it is known only to
// that rounding over 6.4; the other row meets it through -768 and must not
// take that rounding for a sign. The piece is the reduced block of a
// planted problem whose solution, x = 3.25 with y at its lower bound 1.25,
// the edge y = yl once lost (both orders of the two rows).
TEST_F(RowSolveTest, SolveTwoEdgeRootCarriesItsRowsRoundingIntoTheOther) {
  const double a = 0x1.9b6db6db6db6cp+2, b = 0x1.3fffffc6db6dbp+12, r = -0x1.914e48dd24925p+12;
  const double c = -0x1.8p+9, d = -0x1.8p-4, s = 0x1.3803cp+11;
  const double r_scale = 0x1.9284496cp+13, s_scale = 0x1.c8078p+11;
  TwoSolution xy{}, yx{};
  ASSERT_TRUE(Row_SolveTwoScaled(a, b, r, c, d, s, r_scale, s_scale, 1.5, kInf, 1.25, kInf, &xy));
  ASSERT_EQ(xy.nsol_yl, 1);
  EXPECT_NEAR(xy.sol_yl[0], 3.25, 1e-12);
  ASSERT_TRUE(Row_SolveTwoScaled(d, c, s, b, a, r, s_scale, r_scale, 1.25, kInf, 1.5, kInf, &yx));
  ASSERT_EQ(yx.nsol_xl, 1);
  EXPECT_NEAR(yx.sol_xl[0], 3.25, 1e-12);
}

TEST_F(RowSolveTest, SolveTwoBeyondInfinityIsUnsettledNeverAnError) {
  struct Case {
    const char* what;
    double a, b, r, c, d, s, xl, xu, yl, yu;
  };
  const Case cases[] = {
      {"solution of the equations beyond an infinite end", 1e-9, 0, -1e12, 0, 1, 0, 0, kInf,
       -kInf, kInf},
      {"vertical solution line beyond an infinite end", 1e-9, 0, -1e12, 2e-9, 0, -2e12, 0, kInf,
       -kInf, kInf},
      {"edge solution beyond an infinite end", 1e-9, 0, -1e12, 0, 1, 0, 0, kInf, 0, 10},
      {"NaN constant", 1, 0, kNaN, 0, 1, 0, 0, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TwoSolution s;
    s.nsol_xl = s.nsol_eq = 7;
    EXPECT_FALSE(Row_SolveTwo(c.a, c.b, c.r, c.c, c.d, c.s, c.xl, c.xu, c.yl, c.yu, &s));
    EXPECT_EQ(s.nsol_xl + s.nsol_xu + s.nsol_yl + s.nsol_yu, 0);
    EXPECT_EQ(s.nsol_eq, 0);
  }
}

TEST_F(RowSolveTest, SolveTwoTracesItsCountsAtLevelThree) {
  TwoSolution s;
  ASSERT_TRUE(Row_SolveTwo(2, 1, -2, 1, 2, -2, 1, 10, 0, 10, &s));
  EXPECT_EQ(output()->log(), "");
  ASSERT_EQ(Options_SetInt(options(), "output_presolve_level", 3), 0);
  ASSERT_TRUE(Row_SolveTwo(2, 1, -2, 1, 2, -2, 1, 10, 0, 10, &s));
  EXPECT_EQ(output()->log(), "Solve Two: xl = 1, xu = 0, yl = 0, yu = 0, eq = 0\n");
}

TEST_F(RowSolveTest, MergeCornersKeepsEachCornerOnce) {
  struct Case {
    const char* what;
    Set xl, xu, yl, yu;
    TwoExpected expected;
  };
  // Box [0, 4] x [0, 2].
  const Case cases[] = {
      {"x-edge set with an inside point keeps its corners", List({0, 1, 2}), Empty(),
       List({0, 3}), List({0}), {List({0, 1, 2}), Empty(), List({3}), Empty(), 0, {}, {}, {}}},
      {"x-edge set of corners only is emptied", List({0}), Empty(), List({0, 3}), Empty(),
       {Empty(), Empty(), List({0, 3}), Empty(), 0, {}, {}, {}}},
      {"a y-edge segment from the corner takes it from the x-edge set", List({0, 1}), Empty(),
       Segment(0, 2), Empty(), {List({1}), Empty(), Segment(0, 2), Empty(), 0, {}, {}, {}}},
      {"lone corners on x = xu are gathered", Empty(), List({0}), List({4}), List({4}),
       {Empty(), List({0, 2}), Empty(), Empty(), 0, {}, {}, {}}},
      {"lone corners on different x edges stay", Empty(), Empty(), List({0}), List({4}),
       {Empty(), Empty(), List({0}), List({4}), 0, {}, {}, {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TwoSolution s{};
    Load(c.xl, &s.nsol_xl, s.sol_xl);
    Load(c.xu, &s.nsol_xu, s.sol_xu);
    Load(c.yl, &s.nsol_yl, s.sol_yl);
    Load(c.yu, &s.nsol_yu, s.sol_yu);
    Row_MergeCorners(0, 4, 0, 2, &s);
    ExpectTwo(s, c.expected);
  }
}

}  // namespace
