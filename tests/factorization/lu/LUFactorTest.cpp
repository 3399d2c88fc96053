// Sparse LU factorization: reconstruction of the matrix from the stored
// factors under every pivoting rule, result codes and output parameters.
#include <cstring>

#include "LUHarnessTest.hpp"
#include "factorization/lu/LU_Library.hpp"

namespace {

using lutest::CheckFactors;
using lutest::Dense;
using lutest::Engine;
using lutest::Triple;

struct ShapeCase {
  const char* name;
  std::int32_t m, n;
  int per_column;
  bool diagonal;
};

// Matrices of the reconstruction table.
std::vector<Triple> MakeMatrix(std::mt19937& rng, const ShapeCase& c) {
  return lutest::RandomSparse(rng, c.m, c.n, c.per_column, c.diagonal);
}

TEST(LUFactorTest, FactorsRebuildTheMatrixUnderEveryRule) {
  const ShapeCase cases[] = {
      {"square sparse", 40, 40, 3, true},    {"square sparse no diagonal", 50, 50, 3, false},
      {"square denser", 30, 30, 10, false},  {"fully dense", 25, 25, 200, false},
      {"tall", 60, 30, 4, false},            {"wide", 30, 60, 3, false},
      {"very sparse (singular)", 40, 40, 1, false}, {"one by one", 1, 1, 1, false},
      {"single row", 1, 12, 1, false},       {"single column", 12, 1, 4, false},
      {"larger sparse", 300, 300, 3, true},
  };
  for (std::int32_t rule = 0; rule <= 3; ++rule) {
    for (const ShapeCase& c : cases) {
      std::mt19937 rng(1000 + rule * 31 + c.m * 7 + c.n);
      for (int trial = 0; trial < 3; ++trial) {
        std::vector<Triple> t = MakeMatrix(rng, c);
        Dense a = lutest::ToDense(c.m, c.n, t);
        Engine e(c.m, c.n, 3 * lutest::EntryStorage(c.m, c.n, t.size()) + 100, rule);
        std::int32_t r = e.FactorGrowing(t);
        SCOPED_TRACE(std::string(c.name) + " rule " + std::to_string(rule));
        if (rule == LU_RULE_DIAGONAL && r == LU_NO_DIAGONAL) continue;
        ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR) << "result " << r;
        EXPECT_EQ(CheckFactors(e, a), "");
        EXPECT_LE(e.R(LU_Real::l_max), 10.0 * (1 + 1e-12));
        EXPECT_EQ(e.I(LU_Int::required_storage),
                  e.I(LU_Int::l_length) + e.I(LU_Int::u_length) + 2 * (c.m + c.n));
        EXPECT_EQ(e.I(LU_Int::result_code), r);
        EXPECT_EQ(r == LU_SINGULAR, e.I(LU_Int::singular_count) > 0);
      }
    }
  }
}

// Well and badly conditioned, exactly singular, permutation and triangular
// inputs, each under every rule.
struct StructuredCase {
  const char* name;
  std::int32_t n;
  std::vector<Triple> (*make)(std::int32_t n);
  std::int32_t expected_rank;  // -1: n
};

std::vector<Triple> Permutation(std::int32_t n) {
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) t.push_back({(j * 7) % n + 1, j, 1.0 + j});
  return t;
}

std::vector<Triple> UpperTriangular(std::int32_t n) {
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t i = 1; i <= j; ++i) t.push_back({i, j, i == j ? 2.0 : 0.5 / (i + j)});
  }
  return t;
}

std::vector<Triple> LowerTriangular(std::int32_t n) {
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t i = j; i <= n; ++i) t.push_back({i, j, i == j ? -3.0 : 1.0 / (i + j)});
  }
  return t;
}

// Hilbert matrix: badly conditioned but nonsingular in exact arithmetic.
std::vector<Triple> Hilbert(std::int32_t n) {
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t i = 1; i <= n; ++i) t.push_back({i, j, 1.0 / (i + j - 1)});
  }
  return t;
}

// Column n = column 1 + column 2 exactly: rank n - 1.
std::vector<Triple> DependentColumn(std::int32_t n) {
  std::vector<Triple> t;
  std::vector<double> c1(n + 1, 0.0), c2(n + 1, 0.0);
  for (std::int32_t i = 1; i <= n; ++i) {
    c1[i] = (i % 3 == 0) ? 0.0 : 0.25 * i;
    c2[i] = (i % 2 == 0) ? 0.5 : 0.0;
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    if (c1[i] != 0.0) t.push_back({i, 1, c1[i]});
    if (c2[i] != 0.0) t.push_back({i, 2, c2[i]});
    if (c1[i] + c2[i] != 0.0) t.push_back({i, n, c1[i] + c2[i]});
  }
  for (std::int32_t j = 3; j < n; ++j) {
    t.push_back({j, j, 4.0});
    t.push_back({(j % n) + 1, j, 1.0});
  }
  return t;
}

// Diagonal 4 with a cyclic superdiagonal of 1, then row 3 replaced by a copy
// of row 2: rank n - 1 (the other rows are diagonally dominant).
std::vector<Triple> DependentRows(std::int32_t n) {
  std::vector<Triple> t;
  for (std::int32_t i = 1; i <= n; ++i) {
    std::int32_t source = i == 3 ? 2 : i;
    t.push_back({i, source, 4.0});
    t.push_back({i, source % n + 1, 1.0});
  }
  return t;
}

TEST(LUFactorTest, StructuredMatricesUnderEveryRule) {
  const StructuredCase cases[] = {
      {"permutation", 30, Permutation, -1},     {"upper triangular", 20, UpperTriangular, -1},
      {"lower triangular", 20, LowerTriangular, -1}, {"hilbert", 8, Hilbert, -1},
      {"dependent column", 30, DependentColumn, 29}, {"dependent rows", 12, DependentRows, 11},
  };
  for (std::int32_t rule = 0; rule <= 3; ++rule) {
    for (const StructuredCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " rule " + std::to_string(rule));
      std::vector<Triple> t = c.make(c.n);
      Dense a = lutest::ToDense(c.n, c.n, t);
      Engine e(c.n, c.n, 4 * lutest::EntryStorage(c.n, c.n, t.size()), rule);
      std::int32_t r = e.FactorGrowing(t);
      if (rule == LU_RULE_DIAGONAL && r == LU_NO_DIAGONAL) continue;
      ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR) << "result " << r;
      EXPECT_EQ(CheckFactors(e, a, 1e-9), "");
      const std::int32_t expected = c.expected_rank < 0 ? c.n : c.expected_rank;
      EXPECT_EQ(e.I(LU_Int::singular_count), c.n - expected);
      EXPECT_EQ(r, expected == c.n ? LU_OK : LU_SINGULAR);
    }
  }
}

TEST(LUFactorTest, PermutationAndTriangularInputsStayInTheSingletonPhase) {
  for (auto make : {Permutation, UpperTriangular, LowerTriangular}) {
    std::vector<Triple> t = make(15);
    Engine e(15, 15, 3 * lutest::EntryStorage(15, 15, t.size()), LU_RULE_PARTIAL);
    ASSERT_EQ(e.Factor(t), LU_OK);
    EXPECT_EQ(e.I(LU_Int::u_triangle_size), 15);
    EXPECT_EQ(e.I(LU_Int::merit_sum), 0);
    EXPECT_EQ(e.I(LU_Int::l_length), 0);
    EXPECT_EQ(e.I(LU_Int::u_length), static_cast<std::int32_t>(t.size()));
  }
}

TEST(LUFactorTest, DenseMatrixSwitchesToTheDensePhaseAfterTwoSparsePivots) {
  const std::int32_t n = 12;
  std::mt19937 rng(5);
  std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 1000);
  ASSERT_EQ(t.size(), static_cast<size_t>(n * n));
  for (std::int32_t rule = 0; rule <= 2; ++rule) {
    Engine e(n, n, 10 * n * n, rule);
    ASSERT_EQ(e.Factor(t), LU_OK);
    EXPECT_EQ(e.I(LU_Int::dense1_columns), n - 1);
    EXPECT_EQ(e.I(LU_Int::dense2_columns), n - 2);
    EXPECT_EQ(e.I(LU_Int::u_triangle_size), 0);
    EXPECT_EQ(e.I(LU_Int::l_triangle_size), 0);
    EXPECT_EQ(CheckFactors(e, lutest::ToDense(n, n, t)), "");
  }
}

// Dense panels update the later columns through the BLAS's matrix product
// or the column kernel: forced either way the factors rebuild the matrix
// and the pivots agree; left to measure, a matrix with panels large enough
// to time settles the choice.
TEST(LUFactorTest, DensePanelsUpdateThroughEitherKernel) {
  const std::int32_t n = 400;
  std::mt19937 rng(17);
  const std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 1000);
  const lutest::Dense a = lutest::ToDense(n, n, t);
  std::vector<std::int32_t> pivots[2];
  const LU_DenseUpdate forced[] = {LU_DENSE_UPDATE_PRODUCT, LU_DENSE_UPDATE_KERNEL};
  for (int k = 0; k < 2; ++k) {
    LU_SetDenseUpdate(forced[k]);
    Engine e(n, n, 4 * n * n, LU_RULE_PARTIAL);
    ASSERT_EQ(e.Factor(t), LU_OK);
    EXPECT_EQ(CheckFactors(e, a, 1e-9), "") << k;
    pivots[k] = e.row_perm;
  }
  EXPECT_EQ(pivots[0], pivots[1]);

  LU_SetDenseUpdate(LU_DENSE_UPDATE_MEASURE);
  Engine e(n, n, 4 * n * n, LU_RULE_PARTIAL);
  ASSERT_EQ(e.Factor(t), LU_OK);
  EXPECT_EQ(CheckFactors(e, a, 1e-9), "");
  EXPECT_NE(LU_GetDenseUpdate(), LU_DENSE_UPDATE_MEASURE);
  LU_SetDenseUpdate(LU_DENSE_UPDATE_MEASURE);
}

// After the dense phase's first pivots a column becomes negligible below
// them; its entries in the rows already pivoted are U entries and stay.
TEST(LUFactorTest, NegligibleColumnInTheDensePhaseKeepsItsUEntries) {
  const std::vector<Triple> t = {{3, 3, 0.325177},  {4, 1, 0.789571},  {6, 2, 0.486308},
                                 {3, 5, -0.407355}, {6, 3, -0.81589},  {3, 1, -0.624459},
                                 {4, 4, -0.793823}, {4, 5, -0.557696}, {5, 2, 0.170613},
                                 {5, 4, -0.648953}};
  for (std::int32_t rule = 0; rule <= 2; ++rule) {
    Engine e(6, 5, 500, rule);
    ASSERT_EQ(e.Factor(t), LU_SINGULAR);
    EXPECT_GT(e.I(LU_Int::dense2_columns), 0);
    EXPECT_EQ(e.I(LU_Int::rank), 4);
    EXPECT_EQ(CheckFactors(e, lutest::ToDense(6, 5, t)), "");
  }
}

TEST(LUFactorTest, StorageBoundaryAtTheEntryCheck) {
  std::mt19937 rng(7);
  const std::int32_t m = 9, n = 7;
  std::vector<Triple> t = lutest::RandomSparse(rng, m, n, 2);
  const std::int64_t bound = lutest::EntryStorage(m, n, t.size());
  // One below: 7 at once, the storage untouched.
  Engine below(m, n, bound - 1);
  below.Load(t);
  std::vector<double> before = below.value;
  std::vector<std::int32_t> rows_before = below.row_index, cols_before = below.col_index;
  EXPECT_EQ(LU_Factor(m, n, static_cast<std::int32_t>(t.size()), below.ip, below.rp, below.f),
            LU_NO_STORAGE);
  EXPECT_EQ(below.I(LU_Int::required_storage), bound);
  EXPECT_EQ(below.I(LU_Int::rank), 0);
  EXPECT_EQ(below.I(LU_Int::singular_count), 0);
  EXPECT_EQ(below.I(LU_Int::u_triangle_size), m);
  EXPECT_EQ(std::memcmp(before.data(), below.value.data(), before.size() * sizeof(double)), 0);
  EXPECT_EQ(rows_before, below.row_index);
  EXPECT_EQ(cols_before, below.col_index);
  // Exactly at the bound the entry check passes.
  Engine at(m, n, bound);
  std::int32_t r = at.Factor(t);
  if (r == LU_NO_STORAGE) {
    EXPECT_GT(at.I(LU_Int::required_storage), bound);
  } else {
    EXPECT_EQ(CheckFactors(at, lutest::ToDense(m, n, t)), "");
  }
}

TEST(LUFactorTest, TooLittleStorageThenARetryWithRequiredStorage) {
  std::mt19937 rng(11);
  const std::int32_t n = 120;
  std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 4, true);
  Dense a = lutest::ToDense(n, n, t);
  for (std::int32_t rule = 0; rule <= 3; ++rule) {
    SCOPED_TRACE(rule);
    Engine e(n, n, lutest::EntryStorage(n, n, t.size()), rule);
    std::int32_t r = e.Factor(t);
    ASSERT_EQ(r, LU_NO_STORAGE);
    const std::int32_t required = e.I(LU_Int::required_storage);
    EXPECT_GT(required, e.f.storage_length);
    int retries = 0;
    r = e.FactorGrowing(t, &retries);
    ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR) << r;
    EXPECT_EQ(CheckFactors(e, a), "");
  }
}

TEST(LUFactorTest, TightStorageCompressesAndStillFactorsCorrectly) {
  std::mt19937 rng(13);
  const std::int32_t n = 200;
  std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 3, true);
  Dense a = lutest::ToDense(n, n, t);
  Engine roomy(n, n, 20 * lutest::EntryStorage(n, n, t.size()));
  ASSERT_EQ(roomy.Factor(t), LU_OK);
  // Just above what the factors need: the files must be compressed.
  Engine tight(n, n, roomy.I(LU_Int::required_storage) + n);
  std::int32_t r = tight.FactorGrowing(t);
  ASSERT_EQ(r, LU_OK);
  EXPECT_GT(tight.I(LU_Int::compression_count), 0);
  EXPECT_EQ(CheckFactors(tight, a), "");
}

// The files compress rather than extend into storage not written before:
// with no storage marked as written (a fresh storage) the factorization
// compresses more often than with all of it marked, and ends with the very
// factors of the marked run, with storage to spare and while it grows. The
// mark it leaves lies within the storage. A storage long enough for large
// pages (2^18 positions) takes a fault per large page only: there the files
// extend into fresh storage, compressing no more than with all of it
// marked. Dropping is off, as in the growth test below (a drop makes the
// order in a row depend on the free space).
TEST(LUFactorTest, CompressingBeforeFreshStorageKeepsTheFactors) {
  struct Case {
    const char* name;
    std::int32_t n;
    int per_column;
    std::int64_t storage_factor;  // storage over the least the entry check accepts
    bool grow;
  };
  const Case cases[] = {
      {"ample storage", 160, 4, 40, false},
      {"small storage, growing", 160, 4, 1, true},
      {"sparser, ample storage", 220, 3, 40, false},
      {"large-page storage", 160, 4, 210, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(5200 + c.n + c.per_column);
    const std::vector<Triple> t = lutest::RandomSparse(rng, c.n, c.n, c.per_column, true);
    const std::int64_t storage = c.storage_factor * lutest::EntryStorage(c.n, c.n, t.size());
    auto run = [&](Engine& e, bool written) {
      e.rp[LU_Real::drop_tolerance] = -1.0;
      e.rp[LU_Real::density_1] = e.rp[LU_Real::density_2] = 1e30;
      if (c.grow) e.EnableGrowth(1.0);
      e.f.front_written = written ? e.f.storage_length : 0;
      return e.Factor(t);
    };
    Engine fresh(c.n, c.n, storage), written(c.n, c.n, storage);
    const std::int32_t expected = run(written, true);
    ASSERT_TRUE(expected == LU_OK || expected == LU_SINGULAR) << expected;
    ASSERT_EQ(run(fresh, false), expected);
    if (storage >= (1 << 18)) {
      EXPECT_EQ(fresh.I(LU_Int::compression_count), written.I(LU_Int::compression_count));
    } else {
      EXPECT_GT(fresh.I(LU_Int::compression_count), written.I(LU_Int::compression_count));
    }
    EXPECT_EQ(c.grow, fresh.growths > 0);
    EXPECT_GT(fresh.f.front_written, 0);
    EXPECT_LE(fresh.f.front_written, fresh.f.storage_length);
    for (LU_Int k : {LU_Int::rank, LU_Int::l_length, LU_Int::u_length, LU_Int::merit_sum}) {
      EXPECT_EQ(fresh.I(k), written.I(k)) << static_cast<int>(k);
    }
    EXPECT_EQ(fresh.row_perm, written.row_perm);
    EXPECT_EQ(fresh.col_perm, written.col_perm);
    EXPECT_EQ(lutest::UDense(fresh).a, lutest::UDense(written).a);
    EXPECT_EQ(CheckFactors(fresh, lutest::ToDense(c.n, c.n, t), 1e-9), "");
  }
}

// Storage growth during the factorization keeps the work done: started from
// the least storage the entry check accepts, the factorization grows its
// storage as often as it must and ends with the very factors (pivots,
// values, counts) that ample storage gives. Two things may depend on the
// storage by design and are kept out so that the runs must agree exactly:
// the dense switch (it waits until the remainder fits), and dropped entries
// (a dropped entry's place in its row goes to the row's last column, and
// whether a fill-in is already in the row then depends on the free space
// after it); a negative drop tolerance drops nothing.
TEST(LUFactorTest, GrowthDuringTheFactorizationGivesTheFactorsOfAmpleStorage) {
  struct Case {
    const char* name;
    std::int32_t m, n;
    int per_column;
    std::int32_t rule;
    bool keep;
    double factor;  // growth beyond the minimum asked for
  };
  const Case cases[] = {
      {"partial, minimum growth", 150, 150, 4, LU_RULE_PARTIAL, true, 1.0},
      {"partial, doubling", 150, 150, 4, LU_RULE_PARTIAL, true, 2.0},
      {"rook (row maxima at the end)", 120, 120, 4, LU_RULE_ROOK, true, 1.0},
      {"complete (heap at the end)", 120, 120, 4, LU_RULE_COMPLETE, true, 1.0},
      {"diagonal", 120, 120, 4, LU_RULE_DIAGONAL, true, 1.5},
      {"tall", 160, 90, 5, LU_RULE_PARTIAL, true, 1.0},
      {"wide", 90, 160, 3, LU_RULE_PARTIAL, true, 1.0},
      {"pivots only", 150, 150, 4, LU_RULE_PARTIAL, false, 1.0},
      {"pivots only, rook", 120, 120, 4, LU_RULE_ROOK, false, 1.0},
      {"pivots only, complete", 120, 120, 4, LU_RULE_COMPLETE, false, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(4100 + c.m + c.n + c.rule);
    const std::vector<Triple> t = lutest::RandomSparse(rng, c.m, c.n, c.per_column, true);
    const std::int64_t least = lutest::EntryStorage(c.m, c.n, t.size());
    auto setup = [&](Engine& e) {
      e.ip[LU_Int::keep_factors] = c.keep ? 1 : 0;
      // No dense switch: the active count the density test reads may exceed
      // the area of the active submatrix, so the thresholds are out of reach.
      e.rp[LU_Real::density_1] = e.rp[LU_Real::density_2] = 1e30;
      e.rp[LU_Real::drop_tolerance] = -1.0;
    };
    Engine ample(c.m, c.n, 200 * least, c.rule);
    setup(ample);
    const std::int32_t expected = ample.Factor(t);
    ASSERT_TRUE(expected == LU_OK || expected == LU_SINGULAR) << expected;
    Engine grown(c.m, c.n, least, c.rule);
    setup(grown);
    grown.EnableGrowth(c.factor);
    ASSERT_EQ(grown.Factor(t), expected);
    EXPECT_GT(grown.growths, 0);
    EXPECT_LT(grown.f.storage_length, ample.f.storage_length);
    for (LU_Int k : {LU_Int::rank, LU_Int::l_length, LU_Int::u_length, LU_Int::merit_sum,
                     LU_Int::singular_count, LU_Int::u_triangle_size, LU_Int::l_triangle_size,
                     LU_Int::dense1_columns, LU_Int::l_column_count}) {
      EXPECT_EQ(grown.I(k), ample.I(k)) << static_cast<int>(k);
    }
    EXPECT_EQ(grown.row_perm, ample.row_perm);
    EXPECT_EQ(grown.col_perm, ample.col_perm);
    EXPECT_EQ(grown.col_umax, ample.col_umax);
    if (!c.keep) continue;
    EXPECT_EQ(lutest::CheckLayout(grown), "");
    const Dense ug = lutest::UDense(grown), ua = lutest::UDense(ample);
    EXPECT_EQ(ug.a, ua.a);
    // The L entries, column by column from the end of the storage.
    const std::int32_t llen = grown.I(LU_Int::l_length);
    for (std::int32_t q = 1; q <= llen; ++q) {
      const size_t g = static_cast<size_t>(grown.f.storage_length - q);
      const size_t a = static_cast<size_t>(ample.f.storage_length - q);
      ASSERT_EQ(grown.value[g], ample.value[a]) << q;
      ASSERT_EQ(grown.row_index[g], ample.row_index[a]) << q;
      ASSERT_EQ(grown.col_index[g], ample.col_index[a]) << q;
    }
  }
}

// A growth that the caller refuses leaves the shortage to the caller, as
// without growth: result 7 with a larger storage requirement; the same
// matrix with growth reaching the dense phase still factors correctly.
TEST(LUFactorTest, RefusedGrowthReportsTheShortageAndGrowthReachesTheDensePhase) {
  std::mt19937 rng(4200);
  const std::int32_t n = 180;
  const std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 6, true);
  const Dense a = lutest::ToDense(n, n, t);
  const std::int64_t least = lutest::EntryStorage(n, n, t.size());
  for (std::int32_t rule = 0; rule <= 3; ++rule) {
    SCOPED_TRACE(rule);
    Engine refused(n, n, least, rule);
    refused.EnableGrowth(1.0);
    refused.refuse_growth = true;
    ASSERT_EQ(refused.Factor(t), LU_NO_STORAGE);
    EXPECT_GT(refused.I(LU_Int::required_storage), refused.f.storage_length);
    EXPECT_EQ(refused.growths, 0);

    Engine grown(n, n, least, rule);
    grown.EnableGrowth(1.75);
    const std::int32_t r = grown.Factor(t);
    if (rule == LU_RULE_DIAGONAL && r == LU_NO_DIAGONAL) continue;
    ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR) << r;
    EXPECT_GT(grown.growths, 0);
    EXPECT_GT(grown.I(LU_Int::dense2_columns), 0);
    EXPECT_EQ(CheckFactors(grown, a), "");
  }
}

// The first growth of a factorization asks for nine times the storage, so
// that one growth does the work of several, within what dense factors could
// use and 2^24 positions; every later growth asks only for what it needs.
TEST(LUFactorTest, FirstGrowthAsksForNineTimesTheStorage) {
  struct LengthCase {
    const char* name;
    std::int32_t m, n, storage;
    std::int64_t min_length, expected;
  };
  const LengthCase lengths[] = {
      {"nine times", 1000, 1000, 10000, 10500, 90000},
      {"need beyond nine times", 1000, 1000, 10000, 200000, 200000},
      {"capped by dense factors", 10, 20, 100, 150, 2 * 10 * 20 + 2 * 30},
      {"need beyond the dense cap", 10, 20, 100, 500, 500},
      {"capped at 2^24 positions", 100000, 100000, 2000000, 2000100, 1 << 24},
      {"long storage: its own need", 100000, 100000, 300000000, 300000100, 300000100},
  };
  for (const LengthCase& c : lengths) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LU_FirstGrowthLength(c.m, c.n, c.storage, c.min_length), c.expected);
  }

  // Fill beyond nine times the least storage: the factorization grows again
  // (the hook here gives just what is asked) and its factors hold.
  std::mt19937 rng(4300);
  const std::int32_t n = 400;
  const std::vector<Triple> t = lutest::RandomSparse(rng, n, n, 8, true);
  const std::int64_t least = lutest::EntryStorage(n, n, t.size());
  Engine grown(n, n, least, LU_RULE_PARTIAL);
  grown.EnableGrowth(1.0);
  const std::int32_t r = grown.Factor(t);
  ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR) << r;
  ASSERT_GE(grown.asked.size(), 2u);
  EXPECT_EQ(grown.asked[0].first, least);
  EXPECT_EQ(grown.asked[0].second, 9 * least);
  for (size_t k = 1; k < grown.asked.size(); ++k) {
    EXPECT_LT(grown.asked[k].second, 2 * grown.asked[k].first) << k;
  }
  EXPECT_EQ(CheckFactors(grown, lutest::ToDense(n, n, t)), "");
}

struct InputCase {
  const char* name;
  std::int32_t m, n;
  std::vector<Triple> triples;
  std::int32_t expected;
};

TEST(LUFactorTest, InputChecks) {
  const double drop = std::pow(std::ldexp(1.0, -52), 0.9);
  const InputCase cases[] = {
      {"row 0", 3, 3, {{1, 1, 1.0}, {0, 2, 1.0}, {3, 3, 1.0}}, LU_BAD_INDEX},
      {"row m+1", 3, 3, {{1, 1, 1.0}, {4, 2, 1.0}, {3, 3, 1.0}}, LU_BAD_INDEX},
      {"column n+1", 3, 3, {{1, 1, 1.0}, {2, 4, 1.0}}, LU_BAD_INDEX},
      {"negative column", 3, 3, {{1, -1, 1.0}}, LU_BAD_INDEX},
      {"row 0 but tiny: dropped", 3, 3, {{1, 1, 1.0}, {0, 2, drop}, {2, 2, 1.0}, {3, 3, 1.0}},
       LU_OK},
      {"row m+1 but zero: dropped", 2, 2, {{1, 1, 1.0}, {3, 2, 0.0}, {2, 2, 1.0}}, LU_OK},
      {"duplicate", 3, 3, {{1, 1, 1.0}, {2, 2, 1.0}, {1, 1, 2.0}, {3, 3, 1.0}}, LU_DUPLICATE},
      {"duplicate cancelling", 2, 2, {{1, 1, 1.0}, {1, 1, -1.0}, {2, 2, 1.0}}, LU_DUPLICATE},
      {"all entries tiny", 3, 3, {{1, 1, drop}, {2, 2, -drop / 2}}, LU_SINGULAR},
      {"no entries", 4, 4, {}, LU_SINGULAR},
      {"no entries, no columns", 4, 0, {}, LU_OK},
      {"empty matrix", 0, 0, {}, LU_OK},
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.name);
    Engine e(c.m, c.n, lutest::EntryStorage(c.m, c.n, c.triples.size()) + 10);
    std::int32_t r = e.Factor(c.triples);
    EXPECT_EQ(r, c.expected);
    EXPECT_EQ(e.I(LU_Int::result_code), c.expected);
    if (r != LU_OK && r != LU_SINGULAR) {
      EXPECT_EQ(e.I(LU_Int::singular_count), 0);
      EXPECT_EQ(e.I(LU_Int::last_singular_column), 0);
      EXPECT_EQ(e.I(LU_Int::min_diag_column), 0);
      EXPECT_EQ(e.I(LU_Int::l_column_count), 0);
      EXPECT_EQ(e.I(LU_Int::row_file_end), 0);
    }
  }
}

TEST(LUFactorTest, AllEntriesDroppedLeavesEveryColumnSingular) {
  Engine e(3, 3, 50);
  ASSERT_EQ(e.Factor({{1, 1, 1e-30}, {2, 3, -1e-30}}), LU_SINGULAR);
  EXPECT_EQ(e.R(LU_Real::a_max), 0.0);
  EXPECT_EQ(e.I(LU_Int::rank), 0);
  EXPECT_EQ(e.I(LU_Int::singular_count), 3);
  EXPECT_EQ(e.R(LU_Real::diag_min), 0.0);
  EXPECT_EQ(e.I(LU_Int::min_diag_column), 0);
  for (double x : e.col_umax) EXPECT_FALSE(x > 0.0);
}

TEST(LUFactorTest, IdentityWithAnEmptyColumn) {
  const std::int32_t n = 6;
  std::vector<Triple> t;
  for (std::int32_t j = 1; j <= n; ++j) {
    if (j != 4) t.push_back({j, j, 1.0});
  }
  for (std::int32_t rule = 0; rule <= 3; ++rule) {
    Engine e(n, n, 100, rule);
    ASSERT_EQ(e.Factor(t), LU_SINGULAR);
    EXPECT_EQ(e.I(LU_Int::rank), n - 1);
    EXPECT_EQ(e.I(LU_Int::singular_count), 1);
    EXPECT_EQ(e.I(LU_Int::last_singular_column), 4);
    EXPECT_FALSE(e.col_umax[3] > 0.0);
    EXPECT_TRUE(std::signbit(e.col_umax[3]));
    for (std::int32_t j = 1; j <= n; ++j) {
      if (j != 4) {
        EXPECT_EQ(e.col_umax[j - 1], 1.0);
      }
    }
  }
}

TEST(LUFactorTest, PivotJudgement) {
  const double tol = 1e-6;
  struct Case {
    const char* name;
    std::int32_t rule;
    double small;
    bool singular;
  };
  const Case cases[] = {
      {"pivot equal to the tolerance", 0, tol, true},
      {"pivot just above the tolerance", 0, tol * 1.5, false},
      {"rule 1 raises the tolerance to rel * diag_max", 1, 2e-3, true},
      {"the same pivot under rule 0", 0, 2e-3, false},
      {"NaN pivot", 0, std::nan(""), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Engine e(2, 2, 50, c.rule);
    e.rp[LU_Real::u_abs_tolerance] = tol;
    e.rp[LU_Real::u_rel_tolerance] = 1e-3;
    ASSERT_EQ(e.Factor({{1, 1, 10.0}, {2, 2, c.small}}), c.singular ? LU_SINGULAR : LU_OK);
    EXPECT_EQ(e.I(LU_Int::singular_count), c.singular ? 1 : 0);
    EXPECT_EQ(e.I(LU_Int::last_singular_column), c.singular ? 2 : 0);
    if (!std::isnan(c.small)) {
      EXPECT_EQ(e.I(LU_Int::min_diag_column), 2);
      EXPECT_EQ(e.R(LU_Real::diag_min), c.small);
      EXPECT_EQ(e.R(LU_Real::diag_max), 10.0);
    }
  }
}

// Without kept factors only the pivots stay, the pivot of column j at
// position usable - n + j, and col_umax holds their magnitudes.
TEST(LUFactorTest, WithoutKeptFactorsOnlyThePivotsRemain) {
  const std::int32_t n = 30;
  std::vector<Triple> t = DependentColumn(n);
  for (std::int32_t rule = 0; rule <= 2; ++rule) {
    SCOPED_TRACE(rule);
    const std::int64_t storage = 50 * lutest::EntryStorage(n, n, t.size());
    Engine kept(n, n, storage, rule);
    Engine bare(n, n, storage, rule);
    bare.ip[LU_Int::keep_factors] = 0;
    const std::int32_t r = kept.Factor(t);
    ASSERT_EQ(r, LU_SINGULAR);
    ASSERT_EQ(bare.Factor(t), r);
    ASSERT_EQ(bare.row_perm, kept.row_perm);
    ASSERT_EQ(bare.col_perm, kept.col_perm);
    EXPECT_EQ(bare.I(LU_Int::rank), n - 1);
    EXPECT_EQ(bare.I(LU_Int::singular_count), 1);
    EXPECT_EQ(bare.I(LU_Int::last_singular_column), kept.I(LU_Int::last_singular_column));
    const std::int64_t usable = storage - (rule == LU_RULE_ROOK ? n : 0) -
                                (rule == LU_RULE_COMPLETE ? n : 0);
    for (std::int32_t k = 1; k <= n - 1; ++k) {
      const std::int32_t j = kept.ColPerm(k);
      const double pivot = kept.value[kept.row_start[kept.RowPerm(k) - 1] - 1];
      EXPECT_EQ(bare.value[usable - n + j - 1], pivot);
      EXPECT_EQ(bare.col_umax[j - 1], std::fabs(pivot));
    }
    EXPECT_FALSE(bare.col_umax[kept.ColPerm(n) - 1] > 0.0);
  }
}

TEST(LUFactorTest, DiagonalRuleWithoutDiagonalPivotGivesResult9) {
  std::vector<Triple> t;
  for (std::int32_t i = 1; i <= 3; ++i) {
    for (std::int32_t j = 1; j <= 3; ++j) {
      if (i != j) t.push_back({i, j, 1.0 + i + 2 * j});
    }
  }
  Engine e(3, 3, 100, LU_RULE_DIAGONAL);
  EXPECT_EQ(e.Factor(t), LU_NO_DIAGONAL);
  EXPECT_EQ(e.I(LU_Int::result_code), LU_NO_DIAGONAL);
  // The same matrix under the other rules factors.
  for (std::int32_t rule = 0; rule <= 2; ++rule) {
    Engine other(3, 3, 100, rule);
    EXPECT_EQ(other.Factor(t), LU_OK);
    EXPECT_EQ(CheckFactors(other, lutest::ToDense(3, 3, t)), "");
  }
}

TEST(LUFactorTest, PivotRuleOutsideTheTableActsAsPartialPivoting) {
  std::mt19937 rng(17);
  std::vector<Triple> t = lutest::RandomSparse(rng, 30, 30, 3, true);
  Engine reference(30, 30, 2000, LU_RULE_PARTIAL);
  ASSERT_EQ(reference.Factor(t), LU_OK);
  for (std::int32_t rule : {-1, 4, 1000}) {
    Engine e(30, 30, 2000, rule);
    ASSERT_EQ(e.Factor(t), LU_OK);
    EXPECT_EQ(e.row_perm, reference.row_perm);
    EXPECT_EQ(e.col_perm, reference.col_perm);
    EXPECT_EQ(e.I(LU_Int::l_length), reference.I(LU_Int::l_length));
  }
}

TEST(LUFactorTest, UnitColumnsAreAcceptedWithoutTheThresholdTest) {
  // Under rule 2 the singleton column 1 holds -1.0, far below the threshold
  // set by the large entry; it is still taken first as a unit column.
  std::vector<Triple> t = {{1, 1, -1.0}, {1, 2, 1000.0}, {2, 2, 1.0}, {2, 3, 3.0}, {3, 3, 2.0},
                           {3, 2, 5.0}};
  Engine e(3, 3, 100, LU_RULE_COMPLETE);
  ASSERT_EQ(e.Factor(t), LU_OK);
  EXPECT_EQ(e.ColPerm(1), 1);
  EXPECT_EQ(e.RowPerm(1), 1);
  EXPECT_EQ(CheckFactors(e, lutest::ToDense(3, 3, t)), "");
  // A singleton of 0.5 is tested and refused under the same rule.
  t[0].value = -0.5;
  Engine f(3, 3, 100, LU_RULE_COMPLETE);
  ASSERT_EQ(f.Factor(t), LU_OK);
  EXPECT_NE(f.ColPerm(1), 1);
  EXPECT_EQ(CheckFactors(f, lutest::ToDense(3, 3, t)), "");
}

TEST(LUFactorTest, MarkowitzTiesPreferMagnitudeOrRatio) {
  // No singletons; the first search visits the columns of two entries.
  struct Case {
    const char* name;
    std::vector<Triple> t;
    std::int32_t row, col;
  };
  const Case cases[] = {
      // Both ratios at most 2: the larger magnitude (3 in column 2) wins.
      {"larger magnitude", {{1, 1, 1.0}, {2, 1, 0.9}, {1, 2, 2.9}, {2, 2, 3.0}}, 2, 2},
      // (2,1) = 4 (ratio 2.5) becomes best with merit 1; (3,2) = 3 has the
      // same merit and ratio 1 and wins although it is smaller.
      {"smaller ratio",
       {{1, 1, 10.0}, {2, 1, 4.0}, {3, 2, 3.0}, {2, 2, 1.0}, {1, 3, 1.0}, {3, 3, 1.0},
        {4, 3, 1.0}, {1, 4, 1.0}, {4, 4, 2.0}},
       3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::int32_t n = c.t.size() > 4 ? 4 : 2;
    Engine e(n, n, 100, LU_RULE_PARTIAL);
    ASSERT_EQ(e.Factor(c.t), LU_OK);
    EXPECT_EQ(e.RowPerm(1), c.row);
    EXPECT_EQ(e.ColPerm(1), c.col);
  }
}

}  // namespace
