// Randomized inputs with a fixed seed: arbitrary triples, sizes, storage and
// parameters must never crash the engine or make it touch memory outside the
// arrays (the arrays are sized exactly, so the sanitizer build sees any
// overrun), and every accepted factorization or update keeps the layout.
#include <limits>

#include "LUHarnessTest.hpp"

namespace {

using lutest::Engine;
using lutest::Triple;

struct Fuzzer {
  std::mt19937 rng{20240611u};

  std::int32_t Int(std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng); }
  template <class T>
  T Pick(std::initializer_list<T> values) {
    return *(values.begin() + Int(0, static_cast<std::int32_t>(values.size()) - 1));
  }

  double Value() {
    switch (Int(0, 9)) {
      case 0:
        return 0.0;
      case 1:
        return Pick({1e-300, -1e-20, 1e-14, 5e-324});
      case 2:
        return Pick({1e300, -1e200, 1.0, -1.0});
      case 3:
        return Chance(0.5) ? std::numeric_limits<double>::quiet_NaN()
                           : std::numeric_limits<double>::infinity();
      default:
        return std::uniform_real_distribution<double>(-10.0, 10.0)(rng);
    }
  }

  std::vector<Triple> Triples(std::int32_t m, std::int32_t n) {
    std::vector<Triple> t;
    const std::int32_t count = Int(0, std::max(1, m * n + 3));
    const bool sane_indices = Chance(0.7);
    for (std::int32_t l = 0; l < count; ++l) {
      Triple e{Int(1, std::max(m, 1)), Int(1, std::max(n, 1)), Value()};
      if (!sane_indices && Chance(0.1)) e.row = Int(-1, m + 2);
      if (!sane_indices && Chance(0.1)) e.col = Int(-1, n + 2);
      t.push_back(e);
    }
    // Mostly distinct positions, so that many inputs reach the factor core.
    if (Chance(0.8)) {
      std::sort(t.begin(), t.end(), [](const Triple& a, const Triple& b) {
        return a.col != b.col ? a.col < b.col : a.row < b.row;
      });
      t.erase(std::unique(t.begin(), t.end(),
                          [](const Triple& a, const Triple& b) {
                            return a.row == b.row && a.col == b.col;
                          }),
              t.end());
      std::shuffle(t.begin(), t.end(), rng);
    }
    return t;
  }

  void Params(Engine& e) {
    e.ip[LU_Int::pivot_rule] = Int(-2, 5);
    e.ip[LU_Int::keep_factors] = Chance(0.85) ? 1 : 0;
    e.ip[LU_Int::search_limit] = Int(-1, 8);
    e.rp[LU_Real::l_factor_limit] = Pick({0.5, 1.0, 2.0, 10.0, 1e10});
    e.rp[LU_Real::l_update_limit] = Pick({0.5, 2.0, 10.0, 1e10});
    e.rp[LU_Real::drop_tolerance] = Pick({0.0, 1e-300, 1e-14, 0.1, -1.0});
    e.rp[LU_Real::u_abs_tolerance] = Pick({0.0, 1e-11, 1e-3, 1.0});
    e.rp[LU_Real::u_rel_tolerance] = Pick({0.0, 1e-11, 0.5});
    e.rp[LU_Real::space_factor] = Pick({0.0, 0.5, 3.0, 100.0});
    e.rp[LU_Real::density_1] = Pick({0.0, 0.05, 0.3, 1.0, 2.0});
    e.rp[LU_Real::density_2] = Pick({0.0, 0.2, 0.5, 1.0, -1.0});
  }

  std::vector<double> Vector(std::int32_t size) {
    std::vector<double> v(std::max(size, 1));
    for (double& x : v) x = Chance(0.3) ? 0.0 : Value();
    return v;
  }
};

TEST(LUFuzzTest, ArbitraryInputsNeverBreakTheEngine) {
  Fuzzer fz;
  int factored = 0, updated = 0;
  for (int iteration = 0; iteration < 5000; ++iteration) {
    const std::int32_t m = fz.Int(0, 30), n = fz.Int(0, 30);
    std::vector<Triple> t = fz.Triples(m, n);
    const std::int64_t bound = lutest::EntryStorage(m, n, t.size());
    const std::int64_t storage =
        std::max<std::int64_t>(0, bound + fz.Int(-3, 3 * static_cast<std::int32_t>(t.size()) + 60));
    Engine e(m, n, storage);
    fz.Params(e);
    SCOPED_TRACE("iteration " + std::to_string(iteration));
    const std::int32_t r = e.Factor(t);
    ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR || r == LU_BAD_INDEX || r == LU_DUPLICATE ||
                r == LU_NO_STORAGE || r == LU_NO_DIAGONAL)
        << r;
    if (r == LU_NO_STORAGE) {
      ASSERT_GT(static_cast<std::int64_t>(e.I(LU_Int::required_storage)), storage);
    }
    if ((r != LU_OK && r != LU_SINGULAR) || e.I(LU_Int::keep_factors) == 0) continue;
    ++factored;
    ASSERT_EQ(lutest::CheckLayout(e), "");
    for (int s = 0; s < 3; ++s) {
      std::vector<double> v = fz.Vector(m), w = fz.Vector(n);
      std::int32_t result = -7;
      // Every mode, and the unknown ones next to them.
      LU_Solve(fz.Int(LU_SOLVE_L - 1, LU_SOLVE_LDLT_ABS + 1), m, n, v.data(), w.data(), e.ip, e.rp,
               e.f, result);
    }
    for (int u = 0; u < 6; ++u) {
      const std::int32_t j = fz.Int(-1, n + 1);
      const std::int32_t mode_new = fz.Int(0, 2);
      std::vector<double> v = fz.Vector(m);
      double diag = 0.0, vnorm = 0.0;
      const std::int32_t ru = LU_ReplaceColumn(LU_OLD_REMOVE, mode_new, m, n, j, v.data(), e.ip,
                                               e.rp, e.f, diag, vnorm);
      ASSERT_TRUE((ru >= LU_RANK_DOWN && ru <= LU_UNSTABLE) || ru == LU_NO_STORAGE ||
                  ru == LU_BAD_COLUMN)
          << ru;
      if (ru == LU_UNSTABLE || ru == LU_NO_STORAGE) break;
      if (ru != LU_BAD_COLUMN) ++updated;
      ASSERT_EQ(lutest::CheckLayout(e), "") << "update " << u << " result " << ru;
      std::vector<double> x = fz.Vector(m), y = fz.Vector(n);
      std::int32_t result = 0;
      const std::int32_t mode = fz.Pick({LU_SOLVE_A, LU_SOLVE_AT});
      LU_Solve(mode, m, n, x.data(), y.data(), e.ip, e.rp, e.f, result);
    }
  }
  EXPECT_GT(factored, 600);
  EXPECT_GT(updated, 1000);
}

// Larger matrices, sparse and dense parts mixed, so that many reach the
// dense phase with a remainder of several panels; random rules, density
// thresholds and drop tolerances, storage from the least the entry check
// accepts to ample, with and without storage growth. Every accepted
// factorization rebuilds the matrix.
TEST(LUFuzzTest, LargeMatricesThroughTheDensePhaseAndStorageGrowth) {
  Fuzzer fz;
  int dense_tails = 0, grown = 0, factored = 0;
  for (int iteration = 0; iteration < 100; ++iteration) {
    const std::int32_t m = fz.Int(60, 180), n = fz.Chance(0.7) ? m : fz.Int(60, 180);
    SCOPED_TRACE("iteration " + std::to_string(iteration));
    // A sparse part with a few dense rows and columns that fill in.
    std::vector<Triple> t = lutest::RandomSparse(fz.rng, m, n, fz.Int(1, 6), fz.Chance(0.5));
    std::vector<char> taken(static_cast<size_t>(m) * n, 0);
    for (const Triple& e : t) taken[static_cast<size_t>(e.col - 1) * m + (e.row - 1)] = 1;
    const std::int32_t dense_lines = fz.Int(0, 12);
    for (std::int32_t d = 0; d < dense_lines; ++d) {
      const bool row = fz.Chance(0.5);
      const std::int32_t at = row ? fz.Int(1, m) : fz.Int(1, n);
      for (std::int32_t k = 1; k <= (row ? n : m); ++k) {
        const std::int32_t i = row ? at : k, j = row ? k : at;
        char& mark = taken[static_cast<size_t>(j - 1) * m + (i - 1)];
        if (mark || !fz.Chance(0.8)) continue;
        mark = 1;
        t.push_back({i, j, std::uniform_real_distribution<double>(-1.0, 1.0)(fz.rng)});
      }
    }
    const lutest::Dense a = lutest::ToDense(m, n, t);
    const std::int64_t least = lutest::EntryStorage(m, n, t.size());
    const std::int32_t scale = static_cast<std::int32_t>(least);
    const std::int64_t storage = fz.Chance(0.5) ? least + fz.Int(0, scale) : least * fz.Int(2, 30);
    Engine e(m, n, storage, fz.Int(0, 3));
    e.ip[LU_Int::search_limit] = fz.Int(1, 6);
    e.rp[LU_Real::l_factor_limit] = fz.Pick({2.0, 10.0});
    e.rp[LU_Real::drop_tolerance] = fz.Pick({0.0, 1e-14});
    e.rp[LU_Real::density_1] = fz.Pick({0.05, 0.3});
    e.rp[LU_Real::density_2] = fz.Pick({0.1, 0.5});
    if (fz.Chance(0.6)) e.EnableGrowth(fz.Pick({1.0, 1.75, 3.0}));
    const std::int32_t r = e.Factor(t);
    ASSERT_TRUE(r == LU_OK || r == LU_SINGULAR || r == LU_NO_STORAGE || r == LU_NO_DIAGONAL) << r;
    if (r == LU_NO_STORAGE) {
      ASSERT_EQ(e.f.grow, nullptr);  // growth never leaves a shortage behind
      ASSERT_GT(static_cast<std::int64_t>(e.I(LU_Int::required_storage)), e.f.storage_length);
      continue;
    }
    if (r == LU_NO_DIAGONAL) continue;
    ++factored;
    grown += e.growths > 0;
    dense_tails += e.I(LU_Int::dense2_columns) > 64;
    ASSERT_EQ(lutest::CheckFactors(e, a, 1e-8), "")
        << m << " x " << n << " rule " << e.I(LU_Int::pivot_rule) << " storage " << storage
        << " growths " << e.growths << " dense tail " << e.I(LU_Int::dense2_columns);
  }
  EXPECT_GT(factored, 60);
  EXPECT_GT(grown, 15);
  EXPECT_GT(dense_tails, 10);
}

}  // namespace
