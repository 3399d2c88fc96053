// Three-row blocks: the rule each kind of block goes to, and every rule's
// plan on small 3 x 3 blocks, checked against a brute-force enumeration of
// the block's active sets: a block reported infeasible has no solution, a
// fixed value is shared by every solution unless its column lies wholly
// inside the block, a fixed point is a solution, a bound step keeps every
// solution.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "gtest/gtest-spi.h"
#include "presolve/rows/RowThree.hpp"
#include "presolve/rows/RowThreeEquation.hpp"
#include "presolve/rows/RowThreeTwoEquations.hpp"
#include "support/TestSupport.hpp"

namespace {

constexpr double kInf = 1e20;  // the option infinity
constexpr double kTol = 1e-9;  // tolerance of the brute-force checks

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

// A block on variables 1, 2, 3 whose rows are their own rows. Every column
// lies inside the block (its column count is its counting coefficients)
// unless Outside says otherwise.
ThreeRowArgs Block(Vec3 l, Vec3 u, Mat3 a, Vec3 b, Vec3 saved = {0, 0, 0}) {
  ThreeRowArgs blk;
  for (int j = 0; j < 3; ++j) {
    blk.var[j] = j + 1;
    blk.lower[j] = l[j];
    blk.upper[j] = u[j];
    blk.b[j] = b[j];
    blk.saved[j] = saved[j];
    blk.colCount[j] = 0;
    for (int i = 0; i < 3; ++i) blk.a[i][j] = a[i][j];
  }
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) blk.colCount[j] += std::fabs(blk.a[i][j]) > 1e-12 ? 1 : 0;
  }
  return blk;
}

// The column of variable j (from 1) also reaches a row outside the block.
ThreeRowArgs Outside(ThreeRowArgs blk, int j) {
  blk.colCount[j - 1] += 1;
  return blk;
}

// ---------------------------------------------------------------------------
// Brute force
// ---------------------------------------------------------------------------

double RowValue(const ThreeRowArgs& blk, int i, const Vec3& p) {
  return blk.a[i][0] * p[0] + blk.a[i][1] * p[1] + blk.a[i][2] * p[2] + blk.b[i];
}

// p solves the block: row i is complementary to variable i. Rows of free
// variables are equations, so the order of their rows does not matter.
bool IsSolution(const ThreeRowArgs& blk, const Vec3& p) {
  for (int i = 0; i < 3; ++i) {
    const double f = RowValue(blk, i, p);
    if (p[i] < blk.lower[i] - kTol || p[i] > blk.upper[i] + kTol) return false;
    const bool atLower = std::fabs(blk.lower[i]) < kInf && std::fabs(p[i] - blk.lower[i]) <= kTol;
    const bool atUpper = std::fabs(blk.upper[i]) < kInf && std::fabs(p[i] - blk.upper[i]) <= kTol;
    const bool ok = std::fabs(f) <= kTol || (atLower && f >= -kTol) || (atUpper && f <= kTol);
    if (!ok) return false;
  }
  return true;
}

struct Enumeration {
  std::vector<Vec3> points;  // solutions found, each once
  bool continuum = false;    // some active set holds a line or more of them
};

void AddPoint(Enumeration* e, const Vec3& p) {
  for (const Vec3& q : e->points) {
    if (std::fabs(p[0] - q[0]) + std::fabs(p[1] - q[1]) + std::fabs(p[2] - q[2]) < 1e-7) return;
  }
  e->points.push_back(p);
}

// Reduces m (k x k) with full pivoting; returns the rank, the pivot column
// of each pivot row, and leaves m, rhs in row echelon form.
int Echelon(double m[3][3], double rhs[3], int k, int pivotCol[3]) {
  int rank = 0;
  bool used[3] = {false, false, false};
  for (int row = 0; row < k; ++row) {
    int bestR = -1, bestC = -1;
    double best = 1e-12;
    for (int r = row; r < k; ++r) {
      for (int c = 0; c < k; ++c) {
        if (!used[c] && std::fabs(m[r][c]) > best) best = std::fabs(m[r][c]), bestR = r, bestC = c;
      }
    }
    if (bestR < 0) break;
    for (int c = 0; c < k; ++c) std::swap(m[row][c], m[bestR][c]);
    std::swap(rhs[row], rhs[bestR]);
    used[bestC] = true;
    pivotCol[row] = bestC;
    for (int r = 0; r < k; ++r) {
      if (r == row) continue;
      const double f = m[r][bestC] / m[row][bestC];
      for (int c = 0; c < k; ++c) m[r][c] -= f * m[row][c];
      rhs[r] -= f * rhs[row];
    }
    ++rank;
  }
  return rank;
}

// Every active set (each variable at a finite lower bound, at a finite
// upper bound, or inside) solved for its inside variables; a singular set
// is sampled along its solution space on a grid. Only verified solutions
// are kept.
Enumeration Enumerate(const ThreeRowArgs& blk) {
  Enumeration e;
  for (int code = 0; code < 27; ++code) {
    int place[3] = {code % 3, (code / 3) % 3, code / 9};
    Vec3 base{0, 0, 0};
    int inside[3];
    int k = 0;
    bool skip = false;
    for (int j = 0; j < 3; ++j) {
      if (place[j] == 2) {
        inside[k++] = j;
        continue;
      }
      base[j] = place[j] == 0 ? blk.lower[j] : blk.upper[j];
      if (std::fabs(base[j]) >= kInf) skip = true;
    }
    if (skip) continue;
    double m[3][3] = {};
    double rhs[3] = {};
    for (int p = 0; p < k; ++p) {
      rhs[p] = -RowValue(blk, inside[p], base);
      for (int q = 0; q < k; ++q) m[p][q] = blk.a[inside[p]][inside[q]];
    }
    int pivotCol[3] = {0, 0, 0};
    const int rank = Echelon(m, rhs, k, pivotCol);
    bool consistent = true;
    for (int r = rank; r < k; ++r) consistent = consistent && std::fabs(rhs[r]) <= 1e-9;
    if (!consistent) continue;
    // Free columns of the inside system take grid values t.
    int freeCols[3];
    int nfree = 0;
    for (int c = 0; c < k; ++c) {
      bool pivot = false;
      for (int r = 0; r < rank; ++r) pivot = pivot || pivotCol[r] == c;
      if (!pivot) freeCols[nfree++] = c;
    }
    const int steps = nfree == 0 ? 1 : 49;
    int total = 1;
    for (int f = 0; f < nfree; ++f) total *= steps;
    for (int s = 0; s < total; ++s) {
      double value[3] = {0, 0, 0};
      int rest = s;
      for (int f = 0; f < nfree; ++f) {
        value[freeCols[f]] = -6.0 + 0.25 * (rest % steps);
        rest /= steps;
      }
      for (int r = 0; r < rank; ++r) {
        double v = rhs[r];
        for (int f = 0; f < nfree; ++f) v -= m[r][freeCols[f]] * value[freeCols[f]];
        value[pivotCol[r]] = v / m[r][pivotCol[r]];
      }
      Vec3 p = base;
      for (int q = 0; q < k; ++q) p[inside[q]] = value[q];
      if (IsSolution(blk, p)) {
        AddPoint(&e, p);
        if (nfree > 0) e.continuum = true;
      }
    }
  }
  return e;
}

// ---------------------------------------------------------------------------
// Soundness of a plan against the enumeration
// ---------------------------------------------------------------------------

// Position (0-2) of variable v in the input block.
int SlotOf(const ThreeRowArgs& input, int v) {
  for (int j = 0; j < 3; ++j) {
    if (input.var[j] == v) return j;
  }
  ADD_FAILURE() << "variable " << v << " not in the block";
  return 0;
}

bool Counts(double a) { return std::fabs(a) > 1e-12; }

// The column of slot j of the input lies inside the block.
bool Inside(const ThreeRowArgs& input, int j) {
  int counted = 0;
  for (int i = 0; i < 3; ++i) counted += Counts(input.a[i][j]) ? 1 : 0;
  return counted == input.colCount[j];
}

// What the plan does, checked against every solution of input (own rows).
void ExpectSound(const ThreeRowArgs& input, const ThreeRowArgs& ordered,
                 const ThreeRowPlan& plan) {
  if (plan.action == THREE_LEAVE) return;
  const Enumeration e = Enumerate(input);
  if (plan.action == THREE_INFEASIBLE) {
    EXPECT_TRUE(e.points.empty()) << "reported infeasible, but a solution exists";
    return;
  }
  ASSERT_FALSE(e.points.empty()) << "a reduction for a block without solutions";
  Vec3 fixed{NAN, NAN, NAN};
  for (int k = 0; k < plan.count; ++k) {
    fixed[SlotOf(input, ordered.var[plan.slot[k]])] = plan.value[k];
  }
  // A value shared by every solution may be fixed; any other only when its
  // column lies inside the block.
  for (int j = 0; j < 3; ++j) {
    if (std::isnan(fixed[j])) continue;
    bool forced = true;
    for (const Vec3& p : e.points) forced = forced && std::fabs(p[j] - fixed[j]) <= 1e-7;
    EXPECT_TRUE(forced || Inside(input, j)) << "variable " << j + 1 << " chosen, column outside";
  }
  // The fixed values extend to a solution.
  if (plan.count == 3) {
    EXPECT_TRUE(IsSolution(input, fixed))
        << "fixed point (" << fixed[0] << ", " << fixed[1] << ", " << fixed[2] << ")";
  } else {
    bool extends = false;
    for (const Vec3& p : e.points) {
      bool agrees = true;
      for (int j = 0; j < 3; ++j) {
        agrees = agrees && (std::isnan(fixed[j]) || std::fabs(p[j] - fixed[j]) <= 1e-7);
      }
      extends = extends || agrees;
    }
    EXPECT_TRUE(extends) << "no solution has the fixed values";
  }
  if (plan.action == THREE_BOUND_FIX) {
    const int j = SlotOf(input, ordered.var[plan.boundSlot]);
    bool kept = true;
    for (const Vec3& p : e.points) {
      kept = kept && p[j] >= plan.boundLower - 1e-7 && p[j] <= plan.boundUpper + 1e-7;
    }
    EXPECT_TRUE(kept) << "the bound step cuts off a solution";
  }
}

// The expected outcome of a case.
struct Expect {
  ThreeRowAction action;
  std::string label;            // of the fix or of the infeasibility ("" for none)
  std::vector<int> vars;        // variables fixed, in list order
  std::vector<double> values;   // their values
  std::string boundLabel = "";  // THREE_BOUND_FIX
  int boundVar = 0;
  double boundLower = 0, boundUpper = 0;
  ThreeRowNote note = THREE_NOTE_NONE;
  int solutions = 0;
};

void ExpectPlan(const ThreeRowArgs& ordered, const ThreeRowPlan& plan, const Expect& want) {
  EXPECT_EQ(plan.action, want.action);
  EXPECT_EQ(std::string(plan.label ? plan.label : ""), want.label);
  ASSERT_EQ(plan.count, static_cast<int>(want.vars.size()));
  for (int k = 0; k < plan.count; ++k) {
    EXPECT_EQ(ordered.var[plan.slot[k]], want.vars[k]) << "item " << k;
    EXPECT_NEAR(plan.value[k], want.values[k], 1e-12) << "item " << k;
  }
  EXPECT_EQ(std::string(plan.boundLabel ? plan.boundLabel : ""), want.boundLabel);
  if (plan.action == THREE_BOUND_FIX) {
    EXPECT_EQ(ordered.var[plan.boundSlot], want.boundVar);
    EXPECT_DOUBLE_EQ(plan.boundLower, want.boundLower);
    EXPECT_DOUBLE_EQ(plan.boundUpper, want.boundUpper);
  }
  EXPECT_EQ(plan.note, want.note);
  if (want.note == THREE_NOTE_COUNT) {
    EXPECT_EQ(plan.solutions, want.solutions);
  }
}

struct Case {
  const char* what;
  ThreeRowArgs block;
  Expect want;
};

// Runs each case through the classifier: the plan is the expected one and
// sound against the enumeration.
void RunThroughClassifier(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ThreeRowDecision d = ThrRowChoose(c.block);
    ExpectPlan(d.block, d.plan, c.want);
    ExpectSound(c.block, d.block, d.plan);
  }
}

Expect Fix(const char* label, std::vector<int> vars, std::vector<double> values) {
  return {THREE_FIX, label, std::move(vars), std::move(values)};
}
Expect BoundFix(const char* boundLabel, int var, double lo, double hi, const char* label,
                std::vector<int> vars, std::vector<double> values) {
  Expect e{THREE_BOUND_FIX, label, std::move(vars), std::move(values)};
  e.boundLabel = boundLabel;
  e.boundVar = var;
  e.boundLower = lo;
  e.boundUpper = hi;
  return e;
}
Expect Leave(ThreeRowNote note = THREE_NOTE_NONE, int solutions = 0) {
  Expect e{THREE_LEAVE, "", {}, {}};
  e.note = note;
  e.solutions = solutions;
  return e;
}
Expect Infeasible(const char* label) { return {THREE_INFEASIBLE, label, {}, {}}; }

using RowThreeTest = LibraryTest;

// The checks themselves: the enumeration finds the solutions of known
// blocks, and an unsound plan is flagged.
TEST_F(RowThreeTest, BruteForceFindsTheSolutionsAndFlagsUnsoundPlans) {
  const double F = kInf;
  const ThreeRowArgs unique =
      Block({0, 0, -F}, {F, F, F}, {{{2, 0, 0}, {0, 1, 0}, {-1, -1, 1}}}, {-2, 1, 0});
  const Enumeration one = Enumerate(unique);
  ASSERT_EQ(one.points.size(), 1u);
  EXPECT_FALSE(one.continuum);
  EXPECT_NEAR(one.points[0][0], 1, 1e-12);
  EXPECT_NEAR(one.points[0][2], 1, 1e-12);
  const ThreeRowArgs three =
      Block({0, 0, -F}, {2, F, F}, {{{-1, 0, 0}, {0, 1, 0}, {-1, 0, 1}}}, {1, 0, 0});
  EXPECT_EQ(Enumerate(three).points.size(), 3u);
  const ThreeRowArgs segment = Block({0, 0, -F}, {F, 5, F},
                                     {{{1, -1, 0}, {1, 0, 0}, {-1, 0, 1}}}, {2, 0, 0});
  const Enumeration many = Enumerate(segment);
  EXPECT_TRUE(many.continuum);
  for (const Vec3& p : many.points) EXPECT_LE(p[1], 2 + 1e-9);
  // Choosing y = 1 although its column reaches outside, fixing a point
  // that is no solution, calling a feasible block infeasible, a bound that
  // cuts off solutions.
  EXPECT_NONFATAL_FAILURE(
      ExpectSound(Outside(segment, 2), segment, ThreeRow_FixAll("wrong", 0, 1, 0)),
      "column outside");
  EXPECT_NONFATAL_FAILURE(ExpectSound(unique, unique, ThreeRow_FixAll("wrong", 1, 1, 2)),
                          "fixed point");
  EXPECT_NONFATAL_FAILURE(ExpectSound(unique, unique, ThreeRow_Infeasible("wrong")),
                          "reported infeasible");
  EXPECT_NONFATAL_FAILURE(
      ExpectSound(segment, segment,
                  ThreeRow_BoundFirst(ThreeRow_FixOne("wrong", 0, 0), "wrong", 1, 0, 1)),
      "cuts off a solution");
}

// ---------------------------------------------------------------------------
// The classifier
// ---------------------------------------------------------------------------

struct RouteCase {
  const char* what;
  Vec3 l, u;
  Mat3 a;
  std::array<int, 3> vars;  // variable order the rule takes
  std::array<int, 3> rows;  // own rows in the order the rule takes them
};

TEST_F(RowThreeTest, EachPatternOfFreeVariablesGoesToItsRuleInItsOrder) {
  const double F = kInf;
  const RouteCase cases[] = {
      {"x free, own coefficient", {-F, 0, 0}, {F, F, F}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
       {2, 3, 1}, {2, 3, 1}},
      {"y free, own coefficient", {0, -F, 0}, {F, F, F}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
       {1, 3, 2}, {1, 3, 2}},
      {"z free, own coefficient", {0, 0, -F}, {F, F, F}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
       {1, 2, 3}, {1, 2, 3}},
      {"x's own coefficient at jactol does not count", {-F, -F, 0}, {F, F, F},
       {{{1e-12, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {1, 3, 2}, {1, 3, 2}},
      {"y's own coefficient infinite counts", {0, -F, 0}, {F, F, F},
       {{{1, 0, 0}, {0, 1e20, 0}, {0, 0, 1}}}, {1, 3, 2}, {1, 3, 2}},
      {"x, y coupled both ways but x's own coefficient counts", {-F, -F, 0}, {F, F, F},
       {{{1, 1, 0}, {1, 0, 0}, {0, 0, 1}}}, {2, 3, 1}, {2, 3, 1}},
      {"x, y coupled both ways", {-F, -F, 0}, {F, F, F}, {{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}},
       {3, 2, 1}, {3, 2, 1}},
      {"x, z coupled both ways", {-F, 0, -F}, {F, F, F}, {{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}}},
       {2, 3, 1}, {2, 3, 1}},
      {"y, z coupled both ways", {0, -F, -F}, {F, F, F}, {{{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}},
       {1, 2, 3}, {1, 2, 3}},
      {"x, y: y in x's row only", {-F, -F, 0}, {F, F, F}, {{{0, 1, 0}, {0, 0, 0}, {0, 0, 1}}},
       {3, 1, 2}, {3, 2, 1}},
      {"x, y: x in y's row only", {-F, -F, 0}, {F, F, F}, {{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}},
       {3, 2, 1}, {3, 1, 2}},
      {"x, y uncoupled, z bounded", {-F, -F, 0}, {F, F, F}, {{{0, 0, 1}, {0, 0, 1}, {1, 1, 1}}},
       {3, 2, 1}, {3, 2, 1}},
      {"x, z: z in x's row only", {-F, 0, -F}, {F, F, F}, {{{0, 0, 1}, {0, 1, 0}, {0, 0, 0}}},
       {2, 1, 3}, {2, 3, 1}},
      {"x, z: x in z's row only", {-F, 0, -F}, {F, F, F}, {{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}},
       {2, 3, 1}, {2, 1, 3}},
      {"x, z uncoupled, y bounded", {-F, 0, -F}, {F, 5, F}, {{{0, 1, 0}, {1, 1, 1}, {0, 1, 0}}},
       {2, 3, 1}, {2, 3, 1}},
      {"y, z: z in y's row only", {0, -F, -F}, {F, F, F}, {{{1, 0, 0}, {0, 0, 1}, {0, 0, 0}}},
       {1, 2, 3}, {1, 3, 2}},
      {"y, z: y in z's row only", {0, -F, -F}, {F, F, F}, {{{1, 0, 0}, {0, 0, 0}, {0, 1, 0}}},
       {1, 3, 2}, {1, 2, 3}},
      {"y, z uncoupled, x bounded", {0, -F, -F}, {F, F, F}, {{{1, 1, 1}, {1, 0, 0}, {1, 0, 0}}},
       {1, 2, 3}, {1, 2, 3}},
      {"three free, uncoupled: the whole block", {-F, -F, -F}, {F, F, F},
       {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, {1, 2, 3}, {1, 2, 3}},
      {"a lower bound of -infinity with a finite upper bound is not free", {-F, 0, 0},
       {5, F, F}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {1, 2, 3}, {1, 2, 3}},
  };
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.what);
    // Distinct constants show the order of the rows.
    const ThreeRowArgs blk = Block(c.l, c.u, c.a, {0.125, 0.25, 0.375});
    const ThreeRowDecision d = ThrRowChoose(blk);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(d.block.var[j], c.vars[j]) << "variable slot " << j;
      EXPECT_EQ(d.block.b[j], 0.125 * c.rows[j]) << "row slot " << j;
      const int r = c.rows[j] - 1;
      for (int k = 0; k < 3; ++k) EXPECT_EQ(d.block.a[j][k], c.a[r][c.vars[k] - 1]);
    }
    ExpectSound(blk, d.block, d.plan);
  }
}

// ---------------------------------------------------------------------------
// One free variable and its equation
// ---------------------------------------------------------------------------

TEST_F(RowThreeTest, OneEquationRuleFixesWhatEverySolutionSharesAndChoosesOnlyInside) {
  const double F = kInf;
  // Unique: x = 1, y = 0 (F_y = y + 1 > 0), z = x + y.
  const ThreeRowArgs unique =
      Block({0, 0, -F}, {F, F, F}, {{{2, 0, 0}, {0, 1, 0}, {-1, -1, 1}}}, {-2, 1, 0});
  // Every solution has x = 0, y anywhere in [0, 2] (y in [0, 5]), z = x.
  const ThreeRowArgs xLower = Block({0, 0, -F}, {F, 5, F}, {{{1, -1, 0}, {1, 0, 0}, {-1, 0, 1}}},
                                    {2, 0, 0}, {0, 1.5, 0});
  // The same with z = x + y.
  const ThreeRowArgs xLowerZy = Block({0, 0, -F}, {F, 5, F},
                                      {{{1, -1, 0}, {1, 0, 0}, {-1, -1, 1}}}, {2, 0, 0});
  // Every solution has x = 3 (F_x < 0), y anywhere in [0, 2], z = x.
  const ThreeRowArgs xUpper =
      Block({0, 0, -F}, {3, 2, F}, {{{-1, 0, 0}, {0, 0, 0}, {-1, 0, 1}}}, {-1, 0, 0});
  // x = 1 strictly inside, y anywhere in [0, 2]; z = x, or z = x + y.
  const ThreeRowArgs xMid = Block({0, 0, -F}, {5, 2, F}, {{{1, 0, 0}, {1, 0, 0}, {-1, 0, 1}}},
                                  {-1, -1, 0}, {0, 0.5, 0});
  const ThreeRowArgs xMidZy =
      Block({0, 0, -F}, {5, 2, F}, {{{1, 0, 0}, {1, 0, 0}, {-1, -1, 1}}}, {-1, -1, 0});
  // y = 1 strictly inside, x anywhere in [0, 2], z = x + y.
  const ThreeRowArgs yMid = Block({0, 0, -F}, {2, 5, F}, {{{0, 1, 0}, {0, 1, 0}, {-1, -1, 1}}},
                                  {-1, -1, 0}, {0.5, 0, 0});
  // y = 0 and x in {0, 1, 2} (F_x = 1 - x falls across [0, 2]), z = x.
  const ThreeRowArgs three =
      Block({0, 0, -F}, {2, F, F}, {{{-1, 0, 0}, {0, 1, 0}, {-1, 0, 1}}}, {1, 0, 0});
  // F_x = -1 would need x at an infinite upper bound.
  const ThreeRowArgs none =
      Block({0, 0, -F}, {F, F, F}, {{{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {-1, 0, 0});
  // Both reduced rows vanish: the whole box [0, 1] x [0, 1] solves.
  const ThreeRowArgs box =
      Block({0, 0, -F}, {1, 1, F}, {{{0, 0, 0}, {0, 0, 0}, {0, 0, 1}}}, {0, 0, 0});
  RunThroughClassifier({
      {"closed block, unique", unique, Fix("ThrRowEqnCol", {1, 2, 3}, {1, 0, 1})},
      {"x reaching outside: the unique solution", Outside(unique, 1),
       Fix("ThrRowEqn Unique", {1, 2, 3}, {1, 0, 1})},
      {"y reaching outside, x and z inside", Outside(unique, 2),
       Fix("ThrRowEqn y Lower", {1, 2, 3}, {1, 0, 1})},
      {"closed block with a segment: nearest to the saved point", xLower,
       Fix("ThrRowEqnCol", {1, 2, 3}, {0, 1.5, 0})},
      {"x lower, z apart from y, y inside", Outside(xLower, 1),
       Fix("ThrRowEqnCol x Lower", {1, 2, 3}, {0, 1.5, 0})},
      {"x lower, z apart from y, y outside", Outside(xLower, 2),
       BoundFix("ThrRowEqn y Range", 2, 0, 2, "ThrRowEqn x,z Lower", {1, 3}, {0, 0})},
      {"x lower, z on y, y outside", Outside(xLowerZy, 2),
       BoundFix("ThrRowEqn y Range", 2, 0, 2, "ThrRowEqn x Lower", {1}, {0})},
      {"x upper, z apart from y, y outside", Outside(xUpper, 2),
       BoundFix("ThrRowEqn y Range", 2, 0, 2, "ThrRowEqn x,z Upper", {1, 3}, {3, 3})},
      {"x mid, z apart from y, y outside", Outside(xMid, 2),
       Fix("ThrRowEqn x,z Mid", {1, 3}, {1, 1})},
      {"x mid, z apart from y, y inside", Outside(xMid, 1),
       Fix("ThrRowEqnCol x Mid", {1, 2, 3}, {1, 0.5, 1})},
      {"x mid, z on y, y outside", Outside(xMidZy, 2), Fix("ThrRowEqn x Mid", {1}, {1})},
      {"y mid, z on x, x outside", Outside(yMid, 1), Fix("ThrRowEqn y Mid", {2}, {1})},
      {"y mid, z on x, x and z inside", Outside(yMid, 2),
       Fix("ThrRowEqn y Mid", {1, 2, 3}, {0.5, 1, 1.5})},
      {"three solutions, x reaching outside", Outside(three, 1), Leave(THREE_NOTE_COUNT, 3)},
      {"three solutions, closed: the first listed", three,
       Fix("ThrRowEqnCol", {1, 2, 3}, {0, 0, 0})},
      {"no solution", none, Infeasible("ThrRowEqn")},
      {"a whole box, not closed", Outside(box, 1), Leave(THREE_NOTE_INFINITE)},
  });
}

TEST_F(RowThreeTest, PartialReductionsAreSkippedOnlyWhereTheyLeaveADependentVariable) {
  const double F = kInf;
  // y free too (y = 1 on every solution), x anywhere in [0, 2], z = x + y.
  const ThreeRowArgs yMid = Outside(
      Block({0, -F, -F}, {2, F, F}, {{{0, 1, 0}, {0, 1, 0}, {-1, -1, 1}}}, {-1, -1, 0}), 1);
  ExpectPlan(yMid, ThrRowEqn(yMid, 0), Fix("ThrRowEqn y Mid", {2}, {1}));
  ExpectPlan(yMid, ThrRowEqn(yMid, 1), Leave());
  // x = 1 on every solution is fixed whatever skipPartial says.
  const ThreeRowArgs xMid = Outside(
      Block({0, -F, -F}, {5, F, F}, {{{1, 0, 0}, {1, 0, 0}, {-1, -1, 1}}}, {-1, -1, 0}), 2);
  ExpectPlan(xMid, ThrRowEqn(xMid, 1), Fix("ThrRowEqn x Mid", {1}, {1}));
  // x at its lower bound, y on a segment, z on y: bound and fix, or nothing.
  const ThreeRowArgs xLower = Outside(
      Block({0, 0, -F}, {F, 5, F}, {{{1, -1, 0}, {1, 0, 0}, {-1, -1, 1}}}, {2, 0, 0}), 2);
  ExpectPlan(xLower, ThrRowEqn(xLower, 1), Leave());
  for (const ThreeRowArgs& blk : {yMid, xMid, xLower}) {
    ExpectSound(blk, blk, ThrRowEqn(blk, 0));
    ExpectSound(blk, blk, ThrRowEqn(blk, 1));
  }
}

TEST_F(RowThreeTest, OneEquationRuleLeavesABlockItCannotWriteInFiniteValues) {
  const double F = kInf;
  // z = -b3/a33 = -1e21: beyond infinity.
  const ThreeRowArgs far =
      Block({0, 0, -F}, {F, F, F}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1e-11}}}, {-1, -1, 1e10});
  ExpectPlan(far, ThrRowEqn(far, 0), Leave());
  // The reduced equations meet at x = 1e21, beyond x's infinite upper bound.
  const ThreeRowArgs beyond =
      Block({0, 0, -F}, {F, F, F}, {{{1e-10, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {-1e11, 0, 0});
  ExpectPlan(beyond, ThrRowEqn(beyond, 0), Leave());
}

// ---------------------------------------------------------------------------
// Two free variables
// ---------------------------------------------------------------------------

TEST_F(RowThreeTest, CoupledEquationsLeaveOnePieceInX) {
  const double F = kInf;
  // Row y: z = x; row z: y = 1; row x: 2x - 2 -> (1, 1, 1).
  const ThreeRowArgs unique =
      Block({0, -F, -F}, {F, F, F}, {{{1, 1, 1}, {-1, 0, 1}, {0, 1, 0}}}, {-3, 0, -1});
  // y = 2, z = 1 constants; F_x = 1 - x on [0, 2]: x in {0, 1, 2}.
  const ThreeRowArgs three = Block({0, -F, -F}, {2, F, F}, {{{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}},
                                   {1, -1, -2}, {1.4, 0, 0});
  ThreeRowArgs tie = three;
  tie.saved[0] = 0.5;
  // The same with z = x: z's column must be inside as well.
  const ThreeRowArgs threeZx =
      Block({0, -F, -F}, {2, F, F}, {{{-1, 0, 0}, {-1, 0, 1}, {0, 1, 0}}}, {1, 0, -2}, {1.4, 0, 0});
  // F_x = 0 on [0, 2]: every x; the saved 3 projects to 2.
  const ThreeRowArgs segment = Block({0, -F, -F}, {2, F, F}, {{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}},
                                     {0, -1, -2}, {3, 0, 0});
  // F_x = -1 on [0, infinity): no x.
  const ThreeRowArgs none = Block({0, -F, -F}, {F, F, F}, {{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}},
                                  {-1, -1, -2});
  RunThroughClassifier({
      {"unique", unique, Fix("ThrRowEqnTwo Unique", {1, 2, 3}, {1, 1, 1})},
      {"unique, columns outside", Outside(Outside(unique, 1), 3),
       Fix("ThrRowEqnTwo Unique", {1, 2, 3}, {1, 1, 1})},
      {"three, x inside: nearest to the saved x", three,
       Fix("ThrRowEqnTwo Col", {1, 2, 3}, {1, 2, 1})},
      {"three, equal distances: the smaller", tie, Fix("ThrRowEqnTwo Col", {1, 2, 3}, {0, 2, 1})},
      {"three, x outside", Outside(three, 1), Leave()},
      {"three, constant y and z may reach outside", Outside(Outside(three, 2), 3),
       Fix("ThrRowEqnTwo Col", {1, 2, 3}, {1, 2, 1})},
      {"three, z on x reaching outside", Outside(threeZx, 3), Leave()},
      {"segment: the saved x projected", segment, Fix("ThrRowEqnTwo Col", {1, 2, 3}, {2, 2, 1})},
      {"no x", none, Infeasible("ThrRowEqnTwo")},
  });
}

TEST_F(RowThreeTest, EquationsInXAloneFixXAndLetRowXSetAFreeVariable) {
  const double F = kInf;
  // Both equations give z = 2; z's row then sets y = -1 (x = 0), in the
  // order the rule takes the block: the bounded z first.
  const ThreeRowArgs twoEquations =
      Block({-F, -F, 0}, {F, F, F}, {{{0, 0, 1}, {0, 0, 1}, {1, 1, 1}}}, {-2, -2, -1});
  // The same block with its equations disagreeing (x = 2 and x = 3).
  const ThreeRowArgs disagree =
      Block({-F, -F, 0}, {F, F, F}, {{{0, 0, 1}, {0, 0, 1}, {1, 1, 1}}}, {-2, -3, -1});
  // x = 7 lies above its upper bound 5.
  const ThreeRowArgs above =
      Block({0, -F, -F}, {5, F, F}, {{{1, 1, 1}, {1, 0, 0}, {1, 0, 0}}}, {-1, -7, -7});
  // Equations free of x: both constants must vanish; row x sets y.
  const ThreeRowArgs freeOfX = Block({0, -F, -F}, {4, F, F}, {{{2, 1, 1}, {0, 0, 0}, {0, 0, 0}}},
                                     {-1, 0, 0}, {3, 0, 0});
  RunThroughClassifier({
      {"x fixed by the equations, y from row x", twoEquations,
       Fix("ThrRowEqnZer Col", {3, 2, 1}, {2, -1, 0})},
      {"y reaching outside", Outside(twoEquations, 2), Leave()},
      {"equations disagree", disagree, Infeasible("ThrRowEqnZer")},
      {"x fixed beyond its bound", above, Infeasible("ThrRowEqnZer")},
      {"equations free of x: y absorbs row x", freeOfX,
       Fix("ThrRowEqnZer Col", {1, 2, 3}, {3, -5, 0})},
      {"equations free of x with a non-zero constant", [&] {
         ThreeRowArgs b = freeOfX;
         b.b[2] = 1e-6;
         return b;
       }(),
       Infeasible("ThrRowEqnZer")},
  });
}

// The rules called directly, for shapes that a gathered block cannot take
// (a free variable that appears in no row of its block).
TEST_F(RowThreeTest, EquationsInXAloneCheckEveryRowOfThePointTheyFix) {
  const double F = kInf;
  struct ZerCase {
    const char* what;
    ThreeRowArgs block;
    Expect want;
  };
  const ZerCase cases[] = {
      // Row y fixes x = 2; row x (x + 1 > 0) needs x at its lower bound 0.
      {"x fixed by row y breaks row x", Block({0, -F, -F}, {5, F, F},
                                              {{{1, 0, 0}, {1, 0, 0}, {0, 0, 0}}}, {1, -2, 0}),
       Infeasible("ThrRowEqnZer")},
      {"x fixed by row y solves row x", Block({0, -F, -F}, {5, F, F},
                                              {{{1, 0, 0}, {1, 0, 0}, {0, 0, 0}}}, {-2, -2, 0}),
       Fix("ThrRowEqnZer Col", {1, 2, 3}, {2, 0, 0})},
      {"x fixed by row z, at its lower bound with row x positive",
       Block({0, -F, -F}, {5, F, F}, {{{1, 0, 0}, {0, 0, 0}, {2, 0, 0}}}, {1, 0, 0}),
       Fix("ThrRowEqnZer Col", {1, 2, 3}, {0, 0, 0})},
      // Row y fixes x = 2 while row z reads the constant 1: y's row (an
      // equation of a free variable) cannot vanish.
      {"row y fixes x, row z a non-zero constant", Block({0, -F, -F}, {5, F, F},
                                                         {{{1, 1, 0}, {1, 0, 0}, {0, 0, 0}}},
                                                         {0, -2, 1}),
       Infeasible("ThrRowEqnZer")},
      {"row z fixes x, row y a non-zero constant", Block({0, -F, -F}, {5, F, F},
                                                         {{{1, 1, 0}, {0, 0, 0}, {1, 0, 0}}},
                                                         {0, 1, -2}),
       Infeasible("ThrRowEqnZer")},
      {"x within zerotol below its bound is kept as computed",
       Block({0, -F, -F}, {5, F, F}, {{{1, 1, 0}, {1, 0, 0}, {0, 0, 0}}}, {0, 0.5e-12, 0}),
       Fix("ThrRowEqnZer Col", {1, 2, 3}, {-0.5e-12, 0.5e-12, 0})},
      {"both y and z in row x: y takes the correction", Block({0, -F, -F}, {5, F, F},
                                                              {{{1, 2, 3}, {1, 0, 0}, {0, 0, 0}}},
                                                              {0, -2, 0}),
       Fix("ThrRowEqnZer Col", {1, 2, 3}, {2, -1, 0})},
      {"equations free of x and y, z absent from row x: y, z keep their saved values",
       Block({0, -F, -F}, {2, F, F}, {{{-1, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, {1, 0, 0},
             {1.7, 4, -3}),
       Fix("ThrRowEqnZer Col", {1, 2, 3}, {2, 4, -3})},
  };
  for (const ZerCase& c : cases) {
    SCOPED_TRACE(c.what);
    const ThreeRowPlan plan = ThrRowEqnZer(c.block);
    ExpectPlan(c.block, plan, c.want);
    ExpectSound(c.block, c.block, plan);
  }
}

TEST_F(RowThreeTest, RulesRefuseBlocksOutsideTheirPreconditions) {
  const double F = kInf;
  const ThreeRowArgs coupled =
      Block({0, -F, -F}, {F, F, F}, {{{1, 1, 1}, {-1, 0, 1}, {0, 1, 0}}}, {-3, 0, -1});
  EXPECT_SOLVER_ERROR(ThrRowEqnZer(coupled), "PRESOLVE_EQ(f, 0.0, jactol)");
  ThreeRowArgs ownY = coupled;
  ownY.a[1][1] = 1;
  EXPECT_SOLVER_ERROR(ThrRowEqnTwo(ownY), "PRESOLVE_EQ(e, 0.0, jactol)");
}

// ---------------------------------------------------------------------------
// The whole block
// ---------------------------------------------------------------------------

TEST_F(RowThreeTest, CoherentBlocksAreSolvedWholeAndOthersLeftAlone) {
  const double F = kInf;
  RunThroughClassifier({
      {"P-matrix, x at its bound",
       Block({0, 0, 0}, {F, F, F}, {{{4, -1, 0}, {-1, 4, -1}, {0, -1, 4}}}, {2, -3, -3}),
       Fix("ThrRow Coherent", {1, 2, 3}, {0, 1, 1})},
      {"singular matrix",
       Block({0, 0, 0}, {F, F, F}, {{{1, 1, 0}, {1, 1, 0}, {0, 0, 1}}}, {-1, -1, -1}), Leave()},
      {"determinant within zerotol",
       Block({0, 0, 0}, {F, F, F}, {{{1e-5, 0, 0}, {0, 1e-5, 0}, {0, 0, 1e-5}}}, {-1, -1, -1}),
       Leave()},
      // The solution x = 1e25 lies beyond infinity: no active set passes.
      {"solution beyond infinity",
       Block({0, 0, 0}, {F, F, F}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {-1e25, 1, 1}), Leave()},
  });
}

// ---------------------------------------------------------------------------
// Random blocks
// ---------------------------------------------------------------------------

// Small integer blocks with every mix of free, half-bounded and boxed
// variables, and columns reaching outside at random: whatever rule a block
// goes to, its plan must hold against the enumeration. A third of the
// blocks have no free variable and positive diagonals (for the whole-block
// solve), a third two free variables often absent from their own and each
// other's rows (for the two-equation rules).
TEST_F(RowThreeTest, EveryRulePlansSoundlyOnRandomBlocks) {
  const double F = kInf;
  const double lows[5] = {-F, 0, 0, -F, -1};
  const double highs[5] = {F, F, 2, 1, 1};
  const double coefs[8] = {-2, -1, 0, 0, 0, 0, 1, 2};
  std::mt19937 rng(20261211);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::map<std::string, int> labels;
  for (int trial = 0; trial < 6000; ++trial) {
    const int shape = trial % 3;
    const int freeA = pick(3);
    const int freeB = (freeA + 1 + pick(2)) % 3;
    Vec3 l, u, b, saved;
    Mat3 a;
    for (int j = 0; j < 3; ++j) {
      int kind = pick(3) == 0 ? 0 : pick(5);
      if (shape == 1) kind = 1 + pick(4);
      if (shape == 2) kind = (j == freeA || j == freeB) ? 0 : 1 + pick(4);
      l[j] = lows[kind];
      u[j] = highs[kind];
      b[j] = 0.5 * (pick(7) - 3);
      saved[j] = std::min(std::max(0.5 * (pick(9) - 4), l[j]), u[j]);
      for (int i = 0; i < 3; ++i) a[i][j] = coefs[pick(8)];
      if (shape == 1) a[j][j] = 1 + pick(3);
    }
    if (shape == 2) {
      for (int i : {freeA, freeB}) {
        for (int j : {freeA, freeB}) {
          if (pick(2) == 0) a[i][j] = 0;
        }
      }
    }
    ThreeRowArgs blk = Block(l, u, a, b, saved);
    for (int j = 1; j <= 3; ++j) {
      if (pick(3) == 0) blk = Outside(blk, j);
    }
    SCOPED_TRACE("trial " + std::to_string(trial));
    const ThreeRowDecision d = ThrRowChoose(blk);
    ExpectSound(blk, d.block, d.plan);
    if (HasFailure()) break;
    if (d.plan.action == THREE_FIX || d.plan.action == THREE_BOUND_FIX) labels[d.plan.label]++;
  }
  // Every rule fixed blocks of its own.
  for (const char* label : {"ThrRow Coherent", "ThrRowEqnCol", "ThrRowEqn Unique",
                            "ThrRowEqn x,z Lower", "ThrRowEqn y Mid", "ThrRowEqnTwo Unique",
                            "ThrRowEqnTwo Col", "ThrRowEqnZer Col"}) {
    EXPECT_GT(labels[label], 0) << label;
  }
}

}  // namespace
