// Solves with the sparse LU factors in every mode, checked against LAPACK and
// against the stored factors' definitions.
#include "LUHarnessTest.hpp"

namespace {

using lutest::Dense;
using lutest::Engine;
using lutest::Triple;

double MaxDiff(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0.0;
  for (size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
  return d;
}

std::vector<double> RandomVector(std::mt19937& rng, std::int32_t n) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> v(n);
  for (double& x : v) x = u(rng);
  return v;
}

TEST(LUSolveTest, ForwardAndTransposedSolvesAgreeWithLapack) {
  struct Case {
    std::int32_t n;
    int per_column;
    bool diagonal;
  };
  // The last two reach the dense phase with a remainder of several panels
  // of the blocked dense kernel.
  const Case cases[] = {{1, 1, true},       {8, 2, true},    {60, 3, true}, {40, 40, false},
                        {150, 4, false},    {200, 200, false}, {260, 30, true}};
  for (std::int32_t rule = 0; rule <= 3; ++rule) {
    for (const Case& c : cases) {
      SCOPED_TRACE("rule " + std::to_string(rule) + " n " + std::to_string(c.n));
      std::mt19937 rng(300 + rule + c.n);
      std::vector<Triple> t = lutest::RandomSparse(rng, c.n, c.n, c.per_column, c.diagonal);
      Dense a = lutest::ToDense(c.n, c.n, t);
      std::vector<double> probe(c.n, 1.0);
      if (!lutest::LapackSolve(a, probe, 'N')) continue;  // exactly singular pattern
      Engine e(c.n, c.n, 5 * lutest::EntryStorage(c.n, c.n, t.size()), rule);
      std::int32_t r = e.FactorGrowing(t);
      if (r == LU_NO_DIAGONAL) continue;
      ASSERT_EQ(r, LU_OK);
      const double scale = 1e-9 * (1.0 + a.MaxAbs());
      for (int rhs = 0; rhs < 3; ++rhs) {
        std::vector<double> b = RandomVector(rng, c.n), w(c.n, 7.0);
        std::vector<double> v = b, x = b;
        ASSERT_TRUE(lutest::LapackSolve(a, x, 'N'));
        EXPECT_EQ(e.Solve(LU_SOLVE_A, v, w), LU_OK);
        EXPECT_LT(MaxDiff(w, x), scale * (1.0 + MaxDiff(x, std::vector<double>(c.n, 0.0))));
        // v is left holding L^-1 b.
        Dense lb(c.n, 1);
        for (std::int32_t i = 1; i <= c.n; ++i) lb(i, 1) = b[i - 1];
        lutest::ApplyLInverse(e, lb);
        EXPECT_LT(MaxDiff(v, lb.a), 1e-12 * (1.0 + lb.MaxAbs()));

        std::vector<double> bt = RandomVector(rng, c.n), xt = bt, vt(c.n, 3.0);
        std::vector<double> wt = bt;
        ASSERT_TRUE(lutest::LapackSolve(a, xt, 'T'));
        EXPECT_EQ(e.Solve(LU_SOLVE_AT, vt, wt), LU_OK);
        EXPECT_LT(MaxDiff(vt, xt), scale * (1.0 + MaxDiff(xt, std::vector<double>(c.n, 0.0))));
      }
    }
  }
}

// The triangular modes one by one on a rectangular factorization:
// LU_SOLVE_L maps a column of A to the same column of U; LU_SOLVE_L and
// LU_SOLVE_LT are adjoint; LU_SOLVE_U inverts U and LU_SOLVE_UT inverts U'.
TEST(LUSolveTest, TriangularModesMatchTheStoredFactors) {
  for (auto shape : {std::pair<int, int>{30, 30}, {40, 25}, {25, 40}}) {
    const std::int32_t m = shape.first, n = shape.second;
    std::mt19937 rng(m * 100 + n);
    std::vector<Triple> t = lutest::RandomSparse(rng, m, n, 4, true);
    Dense a = lutest::ToDense(m, n, t);
    Engine e(m, n, 6 * lutest::EntryStorage(m, n, t.size()));
    std::int32_t r = e.FactorGrowing(t);
    ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR);
    Dense u = lutest::UDense(e);
    std::vector<double> none(std::max(n, 1), 0.0);
    // Mode 1: L^-1 A(:, j) = U(:, j).
    for (std::int32_t j = 1; j <= n; j += 7) {
      std::vector<double> v(m);
      for (std::int32_t i = 1; i <= m; ++i) v[i - 1] = a(i, j);
      EXPECT_EQ(e.Solve(LU_SOLVE_L, v, none), LU_OK);
      for (std::int32_t i = 1; i <= m; ++i) EXPECT_NEAR(v[i - 1], u(i, j), 1e-12);
    }
    // Modes 1 and 2: y . (L^-1 x) = (L^-T y) . x.
    std::vector<double> x = RandomVector(rng, m), y = RandomVector(rng, m);
    std::vector<double> lx = x, lty = y;
    e.Solve(LU_SOLVE_L, lx, none);
    e.Solve(LU_SOLVE_LT, lty, none);
    double left = 0.0, right = 0.0;
    for (std::int32_t i = 0; i < m; ++i) {
      left += y[i] * lx[i];
      right += lty[i] * x[i];
    }
    EXPECT_NEAR(left, right, 1e-10 * (1.0 + std::fabs(left)));
    // Mode 3: U w = v on the pivot rows, w zero on the columns beyond the rank.
    const std::int32_t rank = e.I(LU_Int::rank);
    std::vector<double> v(m, 0.0), w(n, 5.0);
    for (std::int32_t k = 1; k <= rank; ++k) v[e.RowPerm(k) - 1] = std::sin(k);
    EXPECT_EQ(e.Solve(LU_SOLVE_U, v, w), LU_OK);
    for (std::int32_t k = rank + 1; k <= n; ++k) EXPECT_EQ(w[e.ColPerm(k) - 1], 0.0);
    for (std::int32_t k = 1; k <= rank; ++k) {
      std::int32_t i = e.RowPerm(k);
      double s = 0.0;
      for (std::int32_t j = 1; j <= n; ++j) s += u(i, j) * w[j - 1];
      EXPECT_NEAR(s, v[i - 1], 1e-9);
    }
    // Mode 4: U' v = w on the pivot columns.
    std::vector<double> rhs(n, 0.0), vv(m, 9.0);
    for (std::int32_t k = 1; k <= rank; ++k) rhs[e.ColPerm(k) - 1] = std::cos(k);
    std::vector<double> rhs_copy = rhs;
    std::int32_t result = e.Solve(LU_SOLVE_UT, vv, rhs);
    for (std::int32_t k = rank + 1; k <= m; ++k) EXPECT_EQ(vv[e.RowPerm(k) - 1], 0.0);
    double residual = 0.0;
    for (std::int32_t k = 1; k <= n; ++k) {
      std::int32_t j = e.ColPerm(k);
      double s = 0.0;
      for (std::int32_t i = 1; i <= m; ++i) s += u(i, j) * vv[i - 1];
      if (k <= rank) {
        EXPECT_NEAR(s, rhs_copy[j - 1], 1e-9);
      } else {
        residual += std::fabs(s - rhs_copy[j - 1]);
      }
    }
    // Beyond the rank the residual is what U' v misses of w.
    EXPECT_NEAR(e.R(LU_Real::solve_residual), residual, 1e-9);
    EXPECT_EQ(result, e.R(LU_Real::solve_residual) > 0.0 ? 1 : 0);
  }
}

// Identity with column 4 empty: rank n - 1, row 4 beyond the rank.
TEST(LUSolveTest, RankDeficientSolvesReportTheResidual) {
  const std::int32_t n = 6;
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) {
    if (j != 4) t.push_back({j, j, 2.0});
  }
  Engine e(n, n, 100);
  ASSERT_EQ(e.Factor(t), LU_SINGULAR);
  ASSERT_EQ(e.I(LU_Int::rank), n - 1);
  struct Case {
    const char* name;
    double b4;
    std::int32_t result;
  };
  for (const Case& c : {Case{"consistent", 0.0, LU_OK}, Case{"inconsistent", -3.0, LU_SINGULAR}}) {
    SCOPED_TRACE(c.name);
    std::vector<double> v = {2.0, 4.0, 6.0, c.b4, 10.0, 12.0}, w(n, 9.0);
    EXPECT_EQ(e.Solve(LU_SOLVE_A, v, w), c.result);
    EXPECT_EQ(e.I(LU_Int::result_code), c.result);
    EXPECT_EQ(e.R(LU_Real::solve_residual), std::fabs(c.b4));
    EXPECT_EQ(w, (std::vector<double>{1.0, 2.0, 3.0, 0.0, 5.0, 6.0}));
    // The transposed solve returns 0 but keeps its residual.
    std::vector<double> vt(n, 9.0), wt = {2.0, 4.0, 6.0, c.b4, 10.0, 12.0};
    EXPECT_EQ(e.Solve(LU_SOLVE_AT, vt, wt), LU_OK);
    EXPECT_EQ(e.I(LU_Int::result_code), LU_OK);
    EXPECT_EQ(e.R(LU_Real::solve_residual), std::fabs(c.b4));
    EXPECT_EQ(vt, (std::vector<double>{1.0, 2.0, 3.0, 0.0, 5.0, 6.0}));
  }
}

TEST(LUSolveTest, NegligibleRightHandSideGivesZero) {
  std::mt19937 rng(21);
  std::vector<Triple> t = lutest::RandomSparse(rng, 20, 20, 3, true);
  Engine e(20, 20, 1000);
  ASSERT_EQ(e.Factor(t), LU_OK);
  std::vector<double> v(20, 0.0), w(20, 4.0);
  v[3] = 1e-30;
  v[7] = -1e-31;
  EXPECT_EQ(e.Solve(LU_SOLVE_A, v, w), LU_OK);
  EXPECT_EQ(w, std::vector<double>(20, 0.0));
  EXPECT_EQ(e.R(LU_Real::solve_residual), 0.0);
}

TEST(LUSolveTest, UnknownModeChangesNothing) {
  Engine e(2, 2, 50);
  ASSERT_EQ(e.Factor({{1, 1, 2.0}, {2, 2, 4.0}}), LU_OK);
  e.ip[LU_Int::result_code] = 17;
  for (std::int32_t mode : {0, 9, -1}) {
    std::vector<double> v = {1.0, 1.0}, w = {3.0, 3.0};
    std::int32_t result = 42;
    LU_Solve(mode, 2, 2, v.data(), w.data(), e.ip, e.rp, e.f, result);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(e.I(LU_Int::result_code), 17);
    EXPECT_EQ(v, (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(w, (std::vector<double>{3.0, 3.0}));
  }
}

// A = [[4, 2], [2, 3]] (rule 3): pivot 4 with multiplier -0.5 for row 2,
// then U = [[4, 2], [0, 2]]. Modes 7 and 8 scale the first pivot's value by
// 1/4 in the forward pass (the second pivot has no L column), then apply
// L' v = v: v = (1, 1) -> (1, 0.5) -> (0.25, 0.5) -> (0.25 - 0.25, 0.5).
TEST(LUSolveTest, ScaledModes) {
  struct Case {
    std::int32_t mode;
    double a11;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {LU_SOLVE_LDLT, 4.0, {0.0, 0.5}},
      {LU_SOLVE_LDLT_ABS, 4.0, {0.0, 0.5}},
      // Pivot -4, multiplier 0.5: (1, 1) -> (1, 1.5); LU_SOLVE_LDLT divides by
      // -4, LU_SOLVE_LDLT_ABS by 4; then v(1) += 0.5 * 1.5.
      {LU_SOLVE_LDLT, -4.0, {0.5, 1.5}},
      {LU_SOLVE_LDLT_ABS, -4.0, {1.0, 1.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Engine e(2, 2, 50, LU_RULE_DIAGONAL);
    ASSERT_EQ(e.Factor({{1, 1, c.a11}, {2, 1, 2.0}, {1, 2, 2.0}, {2, 2, 3.0}}), LU_OK);
    ASSERT_EQ(e.RowPerm(1), 1);
    std::vector<double> v = {1.0, 1.0}, w = {0.0, 0.0};
    EXPECT_EQ(e.Solve(c.mode, v, w), LU_OK);
    EXPECT_NEAR(v[0], c.expected[0], 1e-15);
    EXPECT_NEAR(v[1], c.expected[1], 1e-15);
  }
}

}  // namespace
