// Separately callable routines of the LU engine: vector helpers, the heap of
// column maxima, list helpers, count buckets and the dense kernels.
#include "LUHarnessTest.hpp"
#include "factorization/lu/LU_Library.hpp"

namespace {

TEST(LULibraryTest, StridedVectorRoutines) {
  const double x[] = {3.0, -4.0};
  EXPECT_DOUBLE_EQ(LU_Norm1Scaled(2, x, 1), 7.0 / std::sqrt(2.0));
  EXPECT_EQ(LU_Norm1Scaled(0, x, 1), 0.0);
  const double spaced[] = {1.0, 99.0, -2.0, 99.0, 2.0};
  EXPECT_DOUBLE_EQ(LU_Norm1Scaled(3, spaced, 2), 5.0 / std::sqrt(3.0));

  struct Case {
    const char* name;
    std::vector<double> d;
    std::int32_t d_stride;
    std::int32_t x_stride;
    bool divide;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"divide, zero stride of d", {4.0}, 0, 1, true, {0.25, 0.5, 0.75}},
      {"scale, zero stride of d", {4.0}, 0, 1, false, {4.0, 8.0, 12.0}},
      {"divide elementwise", {1.0, 2.0, 4.0}, 1, 1, true, {1.0, 1.0, 0.75}},
      {"scale, reversed d", {1.0, 2.0, 4.0}, -1, 1, false, {4.0, 4.0, 3.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<double> v = {1.0, 2.0, 3.0};
    if (c.divide) {
      LU_DivideElements(3, c.d.data(), c.d_stride, v.data(), c.x_stride);
    } else {
      LU_ScaleElements(3, c.d.data(), c.d_stride, v.data(), c.x_stride);
    }
    EXPECT_EQ(v, c.expected);
  }
  std::vector<double> filled(5, 0.0);
  LU_Fill(3, 2.5, filled.data(), 2);
  EXPECT_EQ(filled, (std::vector<double>{2.5, 0.0, 2.5, 0.0, 2.5}));
  LU_Fill(0, 9.0, filled.data(), 1);
  EXPECT_EQ(filled[0], 2.5);
  std::vector<std::int32_t> ints = {1, 2, 3}, copy(3, 0);
  LU_CopyInt(3, ints.data(), 1, copy.data(), -1);
  EXPECT_EQ(copy, (std::vector<std::int32_t>{3, 2, 1}));
  LU_FillInt(2, 7, copy.data(), 2);
  EXPECT_EQ(copy, (std::vector<std::int32_t>{7, 2, 7}));
}

// Heap invariants: every parent at least its children, positions inverse to
// columns.
void ExpectHeap(const std::vector<double>& keys, const std::vector<std::int32_t>& cols,
                const std::vector<std::int32_t>& pos, std::int32_t length) {
  for (std::int32_t k = 2; k <= length; ++k) EXPECT_GE(keys[k / 2 - 1], keys[k - 1]) << k;
  for (std::int32_t k = 1; k <= length; ++k) EXPECT_EQ(pos[cols[k - 1] - 1], k);
}

TEST(LULibraryTest, HeapOfColumnMaxima) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> key(0.0, 10.0);
  const std::int32_t n = 60;
  std::vector<double> keys(n);
  std::vector<std::int32_t> cols(n), pos(n);
  for (std::int32_t k = 1; k <= n; ++k) {
    keys[k - 1] = std::floor(key(rng));  // many ties
    cols[k - 1] = k;
  }
  auto K = LU_View(keys.data());
  auto C = LU_View(cols.data());
  auto P = LU_View(pos.data());
  LU_HeapBuild(K, C, P, n);
  ExpectHeap(keys, cols, pos, n);
  std::int32_t length = n;
  for (int step = 0; step < 300 && length > 1; ++step) {
    std::int32_t at = 1 + static_cast<std::int32_t>(rng() % length);
    if (step % 3 == 0) {
      LU_HeapDelete(K, C, P, length, at);
    } else {
      LU_HeapChange(K, C, P, length, at, std::floor(key(rng)), cols[at - 1]);
    }
    ExpectHeap(keys, cols, pos, length);
  }
  // An equal key moves up past its parent.
  std::vector<double> k2 = {5.0, 3.0};
  std::vector<std::int32_t> c2 = {1, 2}, p2(3, 0);
  EXPECT_EQ(LU_HeapInsert(LU_View(k2.data()), LU_View(c2.data()), LU_View(p2.data()), 1, 5.0, 1),
            0);
  k2.push_back(0.0);
  c2.push_back(0);
  EXPECT_EQ(LU_HeapInsert(LU_View(k2.data()), LU_View(c2.data()), LU_View(p2.data()), 3, 5.0, 3),
            1);
  EXPECT_EQ(c2[0], 3);
}

TEST(LULibraryTest, ListHelpers) {
  std::vector<std::int32_t> list = {5, 1, 4, 2, 3}, buffer(5);
  std::vector<std::int32_t> mark = {1, 0, 1, 0, 1};  // items 1, 3, 5 marked
  EXPECT_EQ(LU_PartitionList(5, LU_View(list.data()), LU_View(mark.data()),
                             LU_View(buffer.data())),
            3);
  EXPECT_EQ(list, (std::vector<std::int32_t>{5, 1, 3, 4, 2}));
  std::vector<std::int32_t> c = {1, 2, 3, 4, 5};
  LU_CyclicPermute(LU_View(c.data()), 2, 4);
  EXPECT_EQ(c, (std::vector<std::int32_t>{1, 3, 4, 2, 5}));
  LU_CyclicPermute(LU_View(c.data()), 4, 4);
  LU_CyclicPermute(LU_View(c.data()), 5, 1);
  EXPECT_EQ(c, (std::vector<std::int32_t>{1, 3, 4, 2, 5}));
}

TEST(LULibraryTest, CountBucketsFollowChangingCounts) {
  std::mt19937 rng(12);
  const std::int32_t count = 40, max_count = 9;
  std::vector<std::int32_t> len(count), perm(count), inv(count), start(max_count),
      buffer(max_count + 1);
  for (auto& x : len) x = static_cast<std::int32_t>(rng() % (max_count + 1));
  auto check = [&]() {
    for (std::int32_t pos = 1; pos <= count; ++pos) {
      std::int32_t x = perm[pos - 1], c = len[x - 1];
      ASSERT_EQ(inv[x - 1], pos);
      std::int32_t lo = c == 0 ? 1 : start[c - 1];
      std::int32_t hi = c < max_count ? start[c] - 1 : count;
      ASSERT_TRUE(pos >= lo && pos <= hi) << "item " << x << " count " << c;
    }
  };
  LU_OrderByCount(count, max_count, LU_View(len.data()), LU_View(perm.data()),
                  LU_View(inv.data()), LU_View(start.data()), LU_View(buffer.data()));
  check();
  // Items of equal count keep increasing item numbers at first.
  for (std::int32_t pos = 2; pos <= count; ++pos) {
    std::int32_t a = perm[pos - 2], b = perm[pos - 1];
    if (len[a - 1] == len[b - 1]) {
      EXPECT_LT(a, b);
    }
  }
  for (int round = 0; round < 50; ++round) {
    std::vector<std::int32_t> list, old = len;
    for (std::int32_t x = 1; x <= count; ++x) {
      if (rng() % 4 == 0) {
        list.push_back(x);
        len[x - 1] = static_cast<std::int32_t>(rng() % (max_count + 1));
      }
    }
    std::int64_t expected = 0;
    for (std::int32_t x : list) expected += len[x - 1] - old[x - 1];
    EXPECT_EQ(LU_UpdateOrdering(static_cast<std::int32_t>(list.size()), LU_View(list.data()),
                                LU_View(old.data()), LU_View(len.data()), LU_View(start.data()),
                                max_count, LU_View(perm.data()), LU_View(inv.data())),
              expected);
    check();
  }
}

// The heap search over prepared files: the lowest merit among entries at
// least the threshold, in columns whose maximum reaches it; merit 0 ends it.
TEST(LULibraryTest, HeapSearch) {
  const std::vector<lutest::Triple> t = {{1, 1, 4.0}, {2, 1, 1.0}, {3, 1, 1.0},
                                         {1, 2, 5.0}, {2, 2, 0.5}, {3, 3, 3.0}};
  struct Case {
    double threshold;
    std::int32_t row, col;
  };
  for (const Case& c : {Case{2.5, 3, 3}, Case{3.5, 1, 2}, Case{6.0, 0, 0}}) {
    SCOPED_TRACE(c.threshold);
    lutest::Engine e(3, 3, 100, LU_RULE_COMPLETE);
    e.Load(t);
    std::int32_t count = static_cast<std::int32_t>(t.size());
    bool bad = false;
    LU_CleanEntries(3, 3, count, 0.0, e.f, bad);
    ASSERT_FALSE(bad);
    LU_SortByColumn(3, count, e.f);
    LU_BuildRowFile(3, 3, e.f);
    auto buffer = LU_View(e.f.lu_row_index).Shifted(count);
    LU_OrderByCount(3, 3, LU_View(e.f.row_len), LU_View(e.f.row_perm), LU_View(e.f.row_perm_inv),
                    LU_View(e.f.row_count_start), buffer);
    LU_OrderByCount(3, 3, LU_View(e.f.col_len), LU_View(e.f.col_perm), LU_View(e.f.col_perm_inv),
                    LU_View(e.f.col_count_start), buffer);
    LU_Core s;
    LU_CoreSetup(3, 3, count, e.ip, e.rp, e.f, s);
    LU_ColumnMaxFirst(s, 3, s.cperm);
    for (std::int32_t pos = 1; pos <= 3; ++pos) {
      std::int32_t j = s.cperm[pos];
      LU_HeapInsert(s.heap_key, s.heap_col, s.heap_pos, pos, std::fabs(s.val[s.cstart[j]]), j);
    }
    s.heap_length = 3;
    LU_Candidate best = LU_SearchHeap(s, c.threshold);
    EXPECT_EQ(best.row, c.row);
    EXPECT_EQ(best.col, c.col);
  }
}

// The dense kernels leave L (multipliers below the diagonal, negated) and U
// in the block with P A Q = L U; a negligible column goes last untouched in
// the pivot rows.
TEST(LULibraryTest, DenseKernelsFactorTheBlock) {
  const std::int32_t m = 7, n = 6;
  std::mt19937 rng(31);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (bool partial : {true, false}) {
    SCOPED_TRACE(partial ? "partial" : "complete");
    lutest::Dense a(m, n);
    for (auto& x : a.a) x = u(rng);
    for (std::int32_t i = 1; i <= m; ++i) a(i, 2) = 1e-30;  // negligible column
    lutest::Dense block = a;
    std::vector<std::int32_t> rows(m, 0), cols(n);
    for (std::int32_t j = 1; j <= n; ++j) cols[j - 1] = j;
    std::int32_t pivots =
        partial ? LU_DenseFactorPartial(m, n, block.a.data(), m, 1e-20, LU_View(rows.data()),
                                        LU_View(cols.data()))
                : LU_DenseFactorComplete(m, n, block.a.data(), m, 1e-20, LU_View(rows.data()),
                                         LU_View(cols.data()));
    ASSERT_EQ(pivots, n - 1);
    EXPECT_EQ(cols[n - 1], 2);
    // Row order from the recorded exchanges.
    std::vector<std::int32_t> order(m);
    for (std::int32_t i = 1; i <= m; ++i) order[i - 1] = i;
    for (std::int32_t k = 1; k <= pivots; ++k) std::swap(order[k - 1], order[rows[k - 1] - 1]);
    // L^-1 (P A Q) = U with the stored negated multipliers.
    lutest::Dense paq(m, n);
    for (std::int32_t i = 1; i <= m; ++i) {
      for (std::int32_t j = 1; j <= n; ++j) paq(i, j) = a(order[i - 1], cols[j - 1]);
    }
    for (std::int32_t k = 1; k <= pivots; ++k) {
      for (std::int32_t i = k + 1; i <= m; ++i) {
        for (std::int32_t j = 1; j <= n; ++j) paq(i, j) += block(i, k) * paq(k, j);
      }
    }
    for (std::int32_t i = 1; i <= m; ++i) {
      for (std::int32_t j = 1; j <= n; ++j) {
        double expected = i <= j && i <= pivots ? block(i, j) : 0.0;
        if (j == n && i > pivots) expected = 0.0;
        EXPECT_NEAR(paq(i, j), expected, 1e-12) << i << "," << j;
      }
    }
    if (!partial) {
      // Complete pivoting takes the largest magnitude of the whole block first.
      double amax = 0.0;
      for (double x : a.a) amax = std::max(amax, std::fabs(x));
      EXPECT_EQ(std::fabs(block(1, 1)), amax);
    }
  }
}

// Pivot-by-pivot partial pivoting by the rules of the dense phase: at
// column k the first largest magnitude of rows k..m is the pivot; a column
// whose largest is at most tol takes the place of the last remaining column,
// which comes to position k (the retired column's rows k..m become 0), and
// the test repeats. Multipliers are stored negated below the pivots.
std::int32_t PivotByPivot(lutest::Dense& a, double tol, std::vector<std::int32_t>& rows,
                          std::vector<std::int32_t>& cols) {
  const std::int32_t m = a.m, n = a.n;
  std::int32_t last = n, k = 1;
  while (k <= m && k <= last) {
    std::int32_t p = k;
    for (std::int32_t i = k + 1; i <= m; ++i) {
      if (std::fabs(a(i, k)) > std::fabs(a(p, k))) p = i;
    }
    if (std::fabs(a(p, k)) <= tol) {
      for (std::int32_t i = 1; i <= m; ++i) std::swap(a(i, k), a(i, last));
      std::swap(cols[k - 1], cols[last - 1]);
      for (std::int32_t i = k; i <= m; ++i) a(i, last) = 0.0;
      --last;
      continue;
    }
    rows[k - 1] = p;
    for (std::int32_t j = 1; j <= n; ++j) std::swap(a(k, j), a(p, j));
    const double inverse = -1.0 / a(k, k);
    for (std::int32_t i = k + 1; i <= m; ++i) a(i, k) *= inverse;
    for (std::int32_t j = k + 1; j <= last; ++j) {
      for (std::int32_t i = k + 1; i <= m; ++i) a(i, j) += a(i, k) * a(k, j);
    }
    ++k;
  }
  return k - 1;
}

// The blocked partial-pivoting kernel (panels, then a level-3 update of the
// later columns) takes exactly the pivots of pivot-by-pivot elimination:
// the same rows on exact ties (the first of equal magnitudes, from rows that
// are copies of each other up to sign), the same retired columns (zero and
// negligible ones, some at the edges of panels, and columns that become
// negligible once the copied rows are eliminated), the same factors.
// The trailing update's kernel adds its products element by element in the
// order given, four at a time: its sums equal, bit for bit, those of one
// axpy per product, whatever the row count (odd counts leave a last row
// outside the pairs) and the product count (groups of four and the rest).
TEST(LULibraryTest, AddProductsMatchesOneAxpyPerProduct) {
  std::mt19937 rng(5000);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (std::int32_t rows : {0, 1, 2, 7, 64, 131}) {
    for (std::int32_t count : {0, 1, 3, 4, 5, 9, 64}) {
      SCOPED_TRACE(testing::Message() << rows << " rows, " << count << " products");
      std::vector<std::vector<double>> columns(static_cast<size_t>(count));
      std::vector<const double*> pointers;
      std::vector<double> alpha;
      for (auto& column : columns) {
        for (std::int32_t i = 0; i < rows; ++i) column.push_back(u(rng) * 1e3);
        pointers.push_back(column.data());
        alpha.push_back(u(rng));
      }
      std::vector<double> x(static_cast<size_t>(rows)), expected;
      for (double& v : x) v = u(rng);
      expected = x;
      for (std::int32_t t = 0; t < count; ++t) {
        for (std::int32_t i = 0; i < rows; ++i) {
          expected[i] = expected[i] + alpha[t] * columns[t][i];
        }
      }
      LU_AddProducts(rows, count, alpha.data(), pointers.data(), x.data());
      EXPECT_EQ(x, expected);
    }
  }
}

TEST(LULibraryTest, BlockedPartialKernelTakesThePivotsOfPivotByPivotElimination) {
  struct Case {
    const char* name;
    std::int32_t m, n;
    std::vector<std::int32_t> zero_columns, tiny_columns;
    std::vector<std::pair<std::int32_t, std::int32_t>> copied_rows;  // (copy, original)
    double density;  // share of non-zero entries (a sparse block keeps zero U entries)
  };
  const Case cases[] = {
      {"square, three panels", 150, 150, {3, 64, 65}, {100}, {{20, 5}, {90, 40}}, 1.0},
      {"tall", 200, 130, {1, 128}, {64}, {{150, 2}}, 1.0},
      {"wide", 130, 200, {129, 130}, {66}, {{7, 6}, {100, 99}}, 1.0},
      {"one panel", 40, 40, {10}, {}, {{30, 3}}, 1.0},
      {"no retirements", 129, 129, {}, {}, {}, 1.0},
      {"sparse block", 200, 200, {70}, {}, {{150, 12}}, 0.02},
  };
  const double tol = 1e-10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(5100 + c.m + c.n);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::bernoulli_distribution present(c.density);
    lutest::Dense a(c.m, c.n);
    for (auto& x : a.a) x = present(rng) ? u(rng) : 0.0;
    for (std::int32_t i = 1; i <= std::min(c.m, c.n); ++i) a(i, i) += 0.5;
    a(2, 1) = 3.0;  // exact ties in the first column
    a(5, 1) = -3.0;
    a(9, 1) = 3.0;
    for (std::int32_t j : c.zero_columns) {
      for (std::int32_t i = 1; i <= c.m; ++i) a(i, j) = 0.0;
    }
    for (std::int32_t j : c.tiny_columns) {
      for (std::int32_t i = 1; i <= c.m; ++i) a(i, j) = 1e-12 * u(rng);
    }
    for (const auto& copy : c.copied_rows) {
      for (std::int32_t j = 1; j <= c.n; ++j) a(copy.first, j) = -a(copy.second, j);
    }
    lutest::Dense blocked = a, reference = a;
    std::vector<std::int32_t> rows(c.m, 0), cols(c.n), ref_rows(c.m, 0), ref_cols(c.n);
    for (std::int32_t j = 1; j <= c.n; ++j) cols[j - 1] = ref_cols[j - 1] = j;
    const std::int32_t pivots = LU_DenseFactorPartial(c.m, c.n, blocked.a.data(), c.m, tol,
                                                      LU_View(rows.data()), LU_View(cols.data()));
    const std::int32_t ref_pivots = PivotByPivot(reference, tol, ref_rows, ref_cols);
    ASSERT_EQ(pivots, ref_pivots);
    EXPECT_EQ(rows, ref_rows);
    EXPECT_EQ(cols, ref_cols);
    for (size_t q = 0; q < a.a.size(); ++q) {
      ASSERT_NEAR(blocked.a[q], reference.a[q], 1e-12 * (1.0 + std::fabs(reference.a[q]))) << q;
    }
    const bool first_column_kept =
        std::find(c.zero_columns.begin(), c.zero_columns.end(), 1) == c.zero_columns.end();
    if (first_column_kept) {
      EXPECT_EQ(rows[0], 2);  // the first of the tied rows
    }
    // Each copied row lowers the rank of the rows, each zeroed or tiny column
    // that of the columns: those columns (or the ones that became negligible
    // in their place) were retired.
    const std::int32_t row_rank = c.m - static_cast<std::int32_t>(c.copied_rows.size());
    const std::int32_t col_rank =
        c.n - static_cast<std::int32_t>(c.zero_columns.size() + c.tiny_columns.size());
    EXPECT_LE(pivots, std::min(row_rank, col_rank));
  }
}

}  // namespace
