// Column replacement of the sparse LU engine: after every update the factors
// must still rebuild the current matrix and solve with it like LAPACK does.
#include "LUHarnessTest.hpp"

namespace {

using lutest::CheckFactors;
using lutest::Dense;
using lutest::Engine;
using lutest::Triple;

// The current matrix by columns, for updates and refactorizations.
struct Columns {
  std::int32_t m, n;
  std::vector<std::vector<std::pair<std::int32_t, double>>> col;

  Columns(std::int32_t rows, const std::vector<Triple>& t, std::int32_t cols)
      : m(rows), n(cols), col(cols + 1) {
    for (const Triple& e : t) col[e.col].push_back({e.row, e.value});
  }
  std::vector<Triple> Triples() const {
    std::vector<Triple> t;
    for (std::int32_t j = 1; j <= n; ++j) {
      for (auto& e : col[j]) t.push_back({e.first, j, e.second});
    }
    return t;
  }
  Dense ToDense() const { return lutest::ToDense(m, n, Triples()); }
  std::vector<double> Column(std::int32_t j) const {
    std::vector<double> v(m, 0.0);
    for (auto& e : col[j]) v[e.first - 1] = e.second;
    return v;
  }
};

std::vector<std::pair<std::int32_t, double>> RandomColumn(std::mt19937& rng, std::int32_t m,
                                                           int entries) {
  std::uniform_int_distribution<std::int32_t> row(1, m);
  std::uniform_real_distribution<double> val(-1.0, 1.0);
  std::vector<std::int32_t> rows;
  for (int k = 0; k < entries; ++k) rows.push_back(row(rng));
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<std::pair<std::int32_t, double>> c;
  for (std::int32_t i : rows) c.push_back({i, val(rng)});
  return c;
}

double MaxAbsDiff(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0.0;
  for (size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(a[i] - b[i]));
  return d;
}

double MaxAbs(const std::vector<double>& a) { return MaxAbsDiff(a, std::vector<double>(a.size())); }

// Solve and transposed solve of the factors against LAPACK on the current
// square matrix (which must be nonsingular).
void ExpectSolvesAgree(Engine& e, const Dense& a, std::mt19937& rng) {
  const std::int32_t n = a.n;
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> b(n), bt(n);
  for (std::int32_t i = 0; i < n; ++i) {
    b[i] = u(rng);
    bt[i] = u(rng);
  }
  std::vector<double> x = b, xt = bt;
  ASSERT_TRUE(lutest::LapackSolve(a, x, 'N'));
  ASSERT_TRUE(lutest::LapackSolve(a, xt, 'T'));
  std::vector<double> v = b, w(n, 0.0);
  EXPECT_EQ(e.Solve(LU_SOLVE_A, v, w), LU_OK);
  EXPECT_LT(MaxAbsDiff(w, x), 1e-8 * (1.0 + MaxAbs(x)));
  std::vector<double> vt(n, 0.0), wt = bt;
  EXPECT_EQ(e.Solve(LU_SOLVE_AT, vt, wt), LU_OK);
  EXPECT_LT(MaxAbsDiff(vt, xt), 1e-8 * (1.0 + MaxAbs(xt)));
}

TEST(LUReplaceTest, ReplacingAColumnByItselfKeepsTheRank) {
  std::mt19937 rng(1);
  const std::int32_t n = 25;
  std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 3, true);
  Columns cols(n, t, n);
  for (std::int32_t j : {1, 9, n}) {
    Engine e(n, n, 2000);
    ASSERT_EQ(e.Factor(t), LU_OK);
    // LU_NEW_TRANSFORMED: v already holds L^-1 times the column (from an
    // LU_SOLVE_L solve).
    std::vector<double> v = cols.Column(j), none(n);
    e.Solve(LU_SOLVE_L, v, none);
    double diag = 0.0, vnorm = 0.0;
    EXPECT_EQ(e.Replace(j, v, LU_NEW_TRANSFORMED, &diag, &vnorm), LU_OK);
    EXPECT_EQ(e.I(LU_Int::update_count), 1);
    EXPECT_GT(vnorm, 0.0);
    EXPECT_NE(diag, 0.0);
    EXPECT_EQ(CheckFactors(e, cols.ToDense()), "");
    ExpectSolvesAgree(e, cols.ToDense(), rng);
  }
}

TEST(LUReplaceTest, DependentColumnLowersTheRank) {
  std::mt19937 rng(2);
  const std::int32_t n = 20;
  std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 3, true);
  Columns cols(n, t, n);
  Engine e(n, n, 3000);
  ASSERT_EQ(e.Factor(t), LU_OK);
  // Column 5 becomes column 2 - 3 * column 11.
  std::vector<double> v(n, 0.0);
  std::vector<double> c2 = cols.Column(2), c11 = cols.Column(11);
  cols.col[5].clear();
  for (std::int32_t i = 1; i <= n; ++i) {
    v[i - 1] = c2[i - 1] - 3.0 * c11[i - 1];
    if (v[i - 1] != 0.0) cols.col[5].push_back({i, v[i - 1]});
  }
  EXPECT_EQ(e.Replace(5, v), LU_RANK_DOWN);
  EXPECT_EQ(e.I(LU_Int::rank), n - 1);
  EXPECT_EQ(e.I(LU_Int::result_code), LU_RANK_DOWN);
  // The factors still describe the new (singular) matrix.
  EXPECT_EQ(CheckFactors(e, cols.ToDense(), 1e-9), "");
  // A right-hand side outside the range is reported by the solve.
  std::vector<double> b(n, 0.0), w(n);
  for (std::int32_t k = 1; k <= n; ++k) b[k - 1] = std::cos(3.0 * k);
  EXPECT_EQ(e.Solve(LU_SOLVE_A, b, w), LU_SINGULAR);
  EXPECT_GT(e.R(LU_Real::solve_residual), 1e-6);
}

TEST(LUReplaceTest, NewColumnWithoutEntriesAtOrAfterItsPositionIsSingular) {
  // Diagonal matrix; column 3 becomes e_1, parallel to column 1.
  const std::int32_t n = 5;
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) t.push_back({j, j, 1.0 + j});
  Columns cols(n, t, n);
  for (std::int32_t mode_new : {LU_NEW_GIVEN, LU_NEW_TRANSFORMED}) {
    Engine e(n, n, 200);
    ASSERT_EQ(e.Factor(t), LU_OK);
    std::vector<double> v(n, 0.0);
    v[0] = 5.0;
    Columns now = cols;
    now.col[3] = {{1, 5.0}};
    EXPECT_EQ(e.Replace(3, v, mode_new), LU_RANK_DOWN);
    EXPECT_EQ(e.I(LU_Int::rank), n - 1);
    EXPECT_EQ(CheckFactors(e, now.ToDense()), "");
  }
}

TEST(LUReplaceTest, ZeroColumnLowersTheRank) {
  const std::int32_t n = 4;
  std::vector<Triple> t = {{1, 1, 2.0}, {2, 1, 1.0}, {2, 2, 3.0}, {3, 3, 4.0}, {3, 4, 1.0},
                           {4, 4, 5.0}, {1, 3, 1.0}};
  Engine e(n, n, 200);
  ASSERT_EQ(e.Factor(t), LU_OK);
  double diag = 1.0, vnorm = 1.0;
  EXPECT_EQ(
      LU_ReplaceColumn(LU_OLD_REMOVE, LU_NEW_ZERO, n, n, 3, nullptr, e.ip, e.rp, e.f, diag, vnorm),
      LU_RANK_DOWN);
  EXPECT_EQ(diag, 0.0);
  EXPECT_EQ(vnorm, 0.0);
  Columns cols(n, t, n);
  cols.col[3].clear();
  EXPECT_EQ(CheckFactors(e, cols.ToDense()), "");
}

TEST(LUReplaceTest, ColumnOutOfRangeChangesNothingButTheCounter) {
  const std::int32_t n = 4;
  std::vector<Triple> t = {{1, 1, 2.0}, {2, 2, 3.0}, {3, 3, 4.0}, {4, 4, 5.0}, {1, 4, 1.0}};
  Engine e(n, n, 200);
  ASSERT_EQ(e.Factor(t), LU_OK);
  std::int32_t expected_count = 0;
  for (std::int32_t j : {0, n + 1, -3}) {
    std::vector<double> value = e.value;
    std::vector<std::int32_t> rows = e.row_perm, cols = e.col_perm;
    std::vector<double> v = {1.0, 2.0, 3.0, 4.0};
    EXPECT_EQ(e.Replace(j, v), LU_BAD_COLUMN);
    EXPECT_EQ(e.I(LU_Int::update_count), ++expected_count);
    EXPECT_EQ(e.I(LU_Int::result_code), LU_BAD_COLUMN);
    EXPECT_EQ(e.I(LU_Int::rank), n);
    EXPECT_EQ(v, (std::vector<double>{1.0, 2.0, 3.0, 4.0}));
    EXPECT_EQ(e.value, value);
    EXPECT_EQ(e.row_perm, rows);
    EXPECT_EQ(e.col_perm, cols);
  }
}

// U = [[1, 1], [0, 1e-14]] in pivot order; replacing column 1 by (1, 1)
// makes the spike's multiplier 1e14. Without row interchanges (a huge update
// limit) the new diagonal is about 1e14 against vnorm 2: unstable. With the
// default limit the interchange keeps it small.
TEST(LUReplaceTest, UnstableUpdateIsRefused) {
  std::vector<Triple> t = {{1, 1, 1.0}, {1, 2, 1.0}, {2, 2, 1e-14}};
  struct Case {
    double limit;
    std::int32_t result;
  };
  for (const Case& c : {Case{1e30, LU_UNSTABLE}, Case{10.0, LU_OK}}) {
    Engine e(2, 2, 100);
    e.rp[LU_Real::u_abs_tolerance] = 1e-20;
    e.rp[LU_Real::u_rel_tolerance] = 1e-12;
    e.rp[LU_Real::l_update_limit] = c.limit;
    std::int32_t r = e.Factor(t);
    ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR);
    std::vector<double> v = {1.0, 1.0};
    double diag = 0.0, vnorm = 0.0;
    EXPECT_EQ(e.Replace(1, v, 1, &diag, &vnorm), c.result);
    EXPECT_EQ(vnorm, 2.0);
    if (c.result == LU_UNSTABLE) {
      EXPECT_GT(std::fabs(diag), 1e13);
    }
    for (std::int32_t x : e.col_start) EXPECT_EQ(x, 0);
    if (c.result == LU_OK) {
      Columns cols(2, t, 2);
      cols.col[1] = {{1, 1.0}, {2, 1.0}};
      EXPECT_EQ(CheckFactors(e, cols.ToDense()), "");
    }
  }
}

TEST(LUReplaceTest, SingularFactorsGainRankFromANewColumn) {
  // Identity with column 4 empty: replacing column 4 by a column with an
  // entry in row 4 restores full rank.
  const std::int32_t n = 6;
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) {
    if (j != 4) t.push_back({j, j, 1.0});
  }
  t.push_back({2, 5, 0.5});
  Engine e(n, n, 200);
  ASSERT_EQ(e.Factor(t), LU_SINGULAR);
  std::vector<double> v = {0.0, 1.0, 0.0, 2.0, 3.0, 0.0};
  EXPECT_EQ(e.Replace(4, v), LU_RANK_UP);
  EXPECT_EQ(e.I(LU_Int::rank), n);
  Columns cols(n, t, n);
  cols.col[4] = {{2, 1.0}, {4, 2.0}, {5, 3.0}};
  EXPECT_EQ(CheckFactors(e, cols.ToDense()), "");
  std::mt19937 rng(3);
  ExpectSolvesAgree(e, cols.ToDense(), rng);
}

// The key property: long random update sequences stay equal to a fresh
// factorization of the current matrix. Updates other than "rank unchanged"
// are followed by a refactorization, as the basis back-end does.
TEST(LUReplaceTest, RandomUpdateSequencesAgreeWithFreshFactorizations) {
  struct Case {
    std::int32_t n;
    int per_column;
    std::int32_t rule;
    std::int32_t mode_new;
    std::int64_t storage;
  };
  const Case cases[] = {
      {30, 3, LU_RULE_PARTIAL, LU_NEW_GIVEN, 3000},
      {30, 3, LU_RULE_ROOK, LU_NEW_TRANSFORMED, 3000},
      {60, 4, LU_RULE_COMPLETE, LU_NEW_GIVEN, 8000},
      {60, 4, LU_RULE_DIAGONAL, LU_NEW_TRANSFORMED, 8000},
      {20, 20, LU_RULE_PARTIAL, LU_NEW_GIVEN, 4000},
      // Small storage: compressions and refactorizations.
      {120, 3, LU_RULE_PARTIAL, LU_NEW_TRANSFORMED, 2500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n) + " rule " + std::to_string(c.rule));
    std::mt19937 rng(77 + c.n + c.rule);
    std::vector<Triple> t = lutest::RandomSparse(rng, c.n, c.n, c.per_column, true);
    Columns cols(c.n, t, c.n);
    Engine e(c.n, c.n, c.storage, c.rule);
    std::int32_t r = e.FactorGrowing(t);
    if (r == LU_NO_DIAGONAL) {
      e.ip[LU_Int::pivot_rule] = 0;
      r = e.FactorGrowing(t);
    }
    ASSERT_EQ(r, LU_OK);
    int updates = 0, refactors = 0;
    std::uniform_int_distribution<std::int32_t> pick(1, c.n);
    for (int step = 0; step < 60; ++step) {
      const std::int32_t j = pick(rng);
      auto column = RandomColumn(rng, c.n, 1 + static_cast<int>(rng() % 4));
      column.push_back({j, 3.0});  // keeps the matrix well away from singular
      std::sort(column.begin(), column.end());
      column.erase(std::unique(column.begin(), column.end(),
                               [](auto& a, auto& b) { return a.first == b.first; }),
                   column.end());
      cols.col[j] = column;
      std::vector<double> v = cols.Column(j), none(c.n);
      if (c.mode_new == LU_NEW_TRANSFORMED) e.Solve(LU_SOLVE_L, v, none);
      r = e.Replace(j, v, c.mode_new);
      Dense a = cols.ToDense();
      std::vector<double> probe(c.n, 1.0);
      const bool nonsingular = lutest::LapackSolve(a, probe, 'N');
      if (r == LU_OK) {
        ++updates;
        ASSERT_EQ(CheckFactors(e, a, 1e-8), "") << "step " << step;
      } else {
        ASSERT_TRUE(r == LU_RANK_DOWN || r == LU_UNSTABLE || r == LU_NO_STORAGE) << r;
        if (r == LU_RANK_DOWN) {
          EXPECT_EQ(CheckFactors(e, a, 1e-8), "");
        }
        ++refactors;
        r = e.FactorGrowing(cols.Triples());
        ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR);
      }
      if (nonsingular && e.I(LU_Int::rank) == c.n) ExpectSolvesAgree(e, a, rng);
    }
    EXPECT_GT(updates, 30);
  }
}

// Rectangular and rank-deficient factors: every update result leaves factors
// that rebuild the current matrix.
TEST(LUReplaceTest, UpdatesOfRectangularAndSingularFactorsStayExact) {
  struct Case {
    std::int32_t m, n;
    int per_column;
    bool diagonal;  // with a diagonal: full column or row rank to begin with
  };
  const Case cases[] = {{30, 20, 2, false}, {20, 30, 2, false}, {25, 25, 1, false},
                        {12, 12, 1, false}, {30, 20, 2, true},  {20, 30, 2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.m) + "x" + std::to_string(c.n));
    std::mt19937 rng(500 + c.m * 3 + c.n);
    std::vector<Triple> t = lutest::RandomSparse(rng, c.m, c.n, c.per_column, c.diagonal);
    Columns cols(c.m, t, c.n);
    Engine e(c.m, c.n, 5000);
    std::int32_t r = e.FactorGrowing(t);
    ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR);
    int seen[3] = {0, 0, 0};
    std::uniform_int_distribution<std::int32_t> pick(1, c.n);
    for (int step = 0; step < 60; ++step) {
      const std::int32_t j = pick(rng);
      const int kind = static_cast<int>(rng() % 4);
      if (kind == 0) {
        cols.col[j].clear();
      } else if (kind == 1) {
        cols.col[j] = cols.col[pick(rng)];  // a copy of another column
      } else {
        cols.col[j] = RandomColumn(rng, c.m, kind);
      }
      std::vector<double> v = cols.Column(j);
      r = e.Replace(j, v, 1);
      ASSERT_TRUE(r >= LU_RANK_DOWN && r <= LU_UNSTABLE) << r;
      if (r != LU_UNSTABLE) {
        ++seen[r + 1];
        ASSERT_EQ(CheckFactors(e, cols.ToDense(), 1e-8), "") << "step " << step << " result " << r;
      } else {
        r = e.FactorGrowing(cols.Triples());
        ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR);
      }
    }
    EXPECT_GT(seen[0], 0);  // the rank fell
    if (!c.diagonal) {
      EXPECT_GT(seen[2], 0);  // and rose again
    }
  }
}

TEST(LUReplaceTest, StorageRunsOutAfterManyUpdates) {
  std::mt19937 rng(9);
  const std::int32_t n = 40;
  std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 3, true);
  Columns cols(n, t, n);
  Engine e(n, n, 1);
  ASSERT_EQ(e.FactorGrowing(t), LU_OK);
  bool ran_out = false;
  std::int32_t compressions = 0;
  for (int step = 0; step < 400 && !ran_out; ++step) {
    const std::int32_t j = 1 + static_cast<std::int32_t>(rng() % n);
    cols.col[j] = RandomColumn(rng, n, 8);
    cols.col[j].push_back({j, 5.0});
    std::sort(cols.col[j].begin(), cols.col[j].end());
    cols.col[j].erase(std::unique(cols.col[j].begin(), cols.col[j].end(),
                                  [](auto& a, auto& b) { return a.first == b.first; }),
                      cols.col[j].end());
    std::vector<double> v = cols.Column(j);
    std::int32_t r = e.Replace(j, v);
    compressions = std::max(compressions, e.I(LU_Int::compression_count));
    if (r == LU_NO_STORAGE) {
      ran_out = true;
      ASSERT_EQ(e.FactorGrowing(cols.Triples()), LU_OK);
      EXPECT_EQ(CheckFactors(e, cols.ToDense()), "");
    } else if (r == LU_OK) {
      ASSERT_EQ(CheckFactors(e, cols.ToDense(), 1e-8), "");
    } else {
      ASSERT_EQ(e.FactorGrowing(cols.Triples()), LU_OK);
    }
  }
  EXPECT_TRUE(ran_out);
  EXPECT_GT(compressions, 0);
}

}  // namespace
