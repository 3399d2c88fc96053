// Test harness for the sparse LU engine: owns exactly sized arrays for one
// matrix, loads triples, and checks factors against the matrix independently
// of the engine's own algorithms (a dense reconstruction, LAPACK solves).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "factorization/lu/LU_Engine.hpp"

extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda,
             const int* ipiv, double* b, const int* ldb, int* info);
}

namespace lutest {

struct Triple {
  std::int32_t row, col;
  double value;
};

// Dense column-major m by n matrix.
struct Dense {
  std::int32_t m = 0, n = 0;
  std::vector<double> a;
  Dense() = default;
  Dense(std::int32_t rows, std::int32_t cols)
      : m(rows), n(cols), a(static_cast<size_t>(rows) * cols, 0.0) {}
  double& operator()(std::int32_t i, std::int32_t j) {  // 1-based
    return a[static_cast<size_t>(j - 1) * m + (i - 1)];
  }
  double operator()(std::int32_t i, std::int32_t j) const {
    return a[static_cast<size_t>(j - 1) * m + (i - 1)];
  }
  double MaxAbs() const {
    double x = 0.0;
    for (double v : a) x = std::max(x, std::fabs(v));
    return x;
  }
};

inline Dense ToDense(std::int32_t m, std::int32_t n, const std::vector<Triple>& t) {
  Dense d(m, n);
  for (const Triple& e : t) d(e.row, e.col) += e.value;
  return d;
}

// The settings the sparse basis back-end gives the engine, under the rule.
inline void DefaultParams(LU_IntParams& ip, LU_RealParams& rp, std::int32_t rule) {
  LU_DefaultParams(ip, rp);
  ip[LU_Int::pivot_rule] = rule;
}

// One engine instance with exactly sized arrays.
struct Engine {
  std::int32_t m = 0, n = 0;
  LU_IntParams ip{};
  LU_RealParams rp{};
  std::vector<double> value, col_umax;
  std::vector<std::int32_t> row_index, col_index;
  std::vector<std::int32_t> row_perm, col_perm, row_len, col_len, row_start, col_start;
  std::vector<std::int32_t> row_count_start, col_count_start, row_perm_inv, col_perm_inv, work;
  LU_Factors f{};

  Engine(std::int32_t rows, std::int32_t cols, std::int64_t storage, std::int32_t rule = 0)
      : m(rows), n(cols) {
    DefaultParams(ip, rp, rule);
    Resize(storage);
    auto rows_of = [&](std::vector<std::int32_t>& v) { v.assign(std::max(m, 1), 0); };
    auto cols_of = [&](std::vector<std::int32_t>& v) { v.assign(std::max(n, 1), 0); };
    rows_of(row_perm);
    rows_of(row_len);
    rows_of(row_start);
    rows_of(col_count_start);
    rows_of(row_perm_inv);
    cols_of(col_perm);
    cols_of(col_len);
    cols_of(col_start);
    cols_of(row_count_start);
    cols_of(col_perm_inv);
    col_umax.assign(std::max(n, 1), 0.0);
    work.assign(static_cast<size_t>(std::max<std::int64_t>(LU_WorkLength(m, n), 1)), 0);
    Bind();
  }

  void Resize(std::int64_t storage) {
    size_t len = static_cast<size_t>(std::max<std::int64_t>(storage, 1));
    value.assign(len, 0.0);
    row_index.assign(len, 0);
    col_index.assign(len, 0);
    f.storage_length = static_cast<std::int32_t>(storage);
    Bind();
  }

  void Bind() {
    f.lu_value = value.data();
    f.lu_row_index = row_index.data();
    f.lu_col_index = col_index.data();
    f.row_perm = row_perm.data();
    f.col_perm = col_perm.data();
    f.row_len = row_len.data();
    f.col_len = col_len.data();
    f.row_start = row_start.data();
    f.col_start = col_start.data();
    f.row_count_start = row_count_start.data();
    f.col_count_start = col_count_start.data();
    f.row_perm_inv = row_perm_inv.data();
    f.col_perm_inv = col_perm_inv.data();
    f.col_umax = col_umax.data();
    f.work = work.data();
  }

  // Copies the triples that fit (the engine refuses a storage below the
  // entry count before reading any).
  void Load(const std::vector<Triple>& t) {
    for (size_t l = 0; l < t.size() && static_cast<std::int64_t>(l) < f.storage_length; ++l) {
      value[l] = t[l].value;
      row_index[l] = t[l].row;
      col_index[l] = t[l].col;
    }
  }

  std::int32_t Factor(const std::vector<Triple>& t) {
    Load(t);
    return LU_Factor(m, n, static_cast<std::int32_t>(t.size()), ip, rp, f);
  }

  // Factors, growing the storage to required_storage while the engine asks.
  std::int32_t FactorGrowing(const std::vector<Triple>& t, int* retries = nullptr) {
    for (int attempt = 0;; ++attempt) {
      std::int32_t r = Factor(t);
      if (r != LU_NO_STORAGE || attempt > 20) {
        if (retries != nullptr) *retries = attempt;
        return r;
      }
      Resize(ip[LU_Int::required_storage]);
    }
  }

  std::int32_t Solve(std::int32_t mode, std::vector<double>& v, std::vector<double>& w) {
    std::int32_t result = -99;
    LU_Solve(mode, m, n, v.data(), w.data(), ip, rp, f, result);
    return result;
  }

  std::int32_t Replace(std::int32_t j, std::vector<double>& v, std::int32_t mode_new = LU_NEW_GIVEN,
                       double* diag = nullptr, double* vnorm = nullptr) {
    double d = 0.0, s = 0.0;
    std::int32_t r = LU_ReplaceColumn(LU_OLD_REMOVE, mode_new, m, n, j, v.data(), ip, rp, f, d, s);
    if (diag != nullptr) *diag = d;
    if (vnorm != nullptr) *vnorm = s;
    return r;
  }

  // Storage growth during a factorization through the engine's hook: each
  // growth gives max(min_length, factor * current length) positions, unless
  // refused; `asked` records each call's length and min_length. The engine
  // must not move once growth is on (the hook keeps a pointer to it).
  int growths = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> asked;
  double growth_factor = 1.0;
  bool refuse_growth = false;
  void EnableGrowth(double factor) {
    growth_factor = factor;
    f.grow = &Engine::Grow;
    f.grow_context = this;
  }
  static bool Grow(void* context, LU_Factors& lu, std::int64_t min_length, std::int32_t front_end,
                   std::int32_t back_start) {
    Engine& e = *static_cast<Engine*>(context);
    EXPECT_EQ(&lu, &e.f);
    EXPECT_GT(min_length, lu.storage_length);
    EXPECT_LT(front_end, back_start);
    e.asked.emplace_back(lu.storage_length, min_length);
    if (e.refuse_growth) return false;
    const std::int64_t length = std::max<std::int64_t>(
        min_length, static_cast<std::int64_t>(e.growth_factor * lu.storage_length));
    std::vector<double> v(static_cast<size_t>(length));
    std::vector<std::int32_t> ri(static_cast<size_t>(length)), ci(static_cast<size_t>(length));
    LU_CopyStorage(lu, v.data(), ri.data(), ci.data(), static_cast<std::int32_t>(length),
                   front_end, back_start);
    e.value.swap(v);
    e.row_index.swap(ri);
    e.col_index.swap(ci);
    e.f.storage_length = static_cast<std::int32_t>(length);
    e.Bind();
    ++e.growths;
    return true;
  }

  std::int32_t I(LU_Int k) const { return ip[k]; }
  double R(LU_Real k) const { return rp[k]; }
  std::int32_t RowPerm(std::int32_t k) const { return row_perm[k - 1]; }
  std::int32_t ColPerm(std::int32_t k) const { return col_perm[k - 1]; }
};

// Applies the L of the engine (initial columns in pivot order, then the
// replacement entries oldest first) to every column of a, in place. This is
// L^-1 by definition of the stored row operations, computed without the
// engine's tolerance tests.
inline void ApplyLInverse(const Engine& e, Dense& a) {
  const std::int32_t L = e.f.storage_length;
  auto apply = [&](std::int32_t q) {
    const std::int32_t row = e.row_index[q - 1], pivot_row = e.col_index[q - 1];
    const double mult = e.value[q - 1];
    for (std::int32_t j = 1; j <= a.n; ++j) a(row, j) += mult * a(pivot_row, j);
  };
  std::int32_t top = L;
  for (std::int32_t k = 1; k <= e.I(LU_Int::l_column_count); ++k) {
    for (std::int32_t q = top; q > top - e.col_len[k - 1]; --q) apply(q);
    top -= e.col_len[k - 1];
  }
  for (std::int32_t q = L - e.I(LU_Int::l_length_initial); q > L - e.I(LU_Int::l_length); --q) {
    apply(q);
  }
}

// U as a dense m by n matrix in the original row and column numbering.
inline Dense UDense(const Engine& e) {
  Dense u(e.m, e.n);
  for (std::int32_t k = 1; k <= e.I(LU_Int::rank); ++k) {
    const std::int32_t i = e.RowPerm(k);
    for (std::int32_t q = e.row_start[i - 1]; q < e.row_start[i - 1] + e.row_len[i - 1]; ++q) {
      u(i, e.col_index[q - 1]) += e.value[q - 1];
    }
  }
  return u;
}

// Checks the layout contract of kept factors: permutations, col_start all 0,
// U rows inside the row file with the pivot first and the rest right of it,
// lengths that add up, L entries with valid rows. Returns an empty string or
// a description of the first violation.
inline std::string CheckLayout(const Engine& e) {
  const std::int32_t m = e.m, n = e.n, rank = e.I(LU_Int::rank);
  if (rank < 0 || rank > std::min(m, n)) return "rank out of range";
  // Permutations.
  std::vector<int> seen_r(m + 1, 0), seen_c(n + 1, 0), col_pos(n + 1, 0);
  for (std::int32_t k = 1; k <= m; ++k) {
    std::int32_t i = e.RowPerm(k);
    if (i < 1 || i > m || seen_r[i]++) return "row_perm is not a permutation";
  }
  for (std::int32_t k = 1; k <= n; ++k) {
    std::int32_t j = e.ColPerm(k);
    if (j < 1 || j > n || seen_c[j]++) return "col_perm is not a permutation";
    col_pos[j] = k;
  }
  for (std::int32_t j = 1; j <= n; ++j) {
    if (e.col_start[j - 1] != 0) return "col_start not all 0";
  }
  // U rows: inside 1..row_file_end, pivot first, upper triangular.
  std::int64_t u_count = 0;
  std::vector<char> used(static_cast<size_t>(std::max(e.f.storage_length, 1)), 0);
  for (std::int32_t k = 1; k <= m; ++k) {
    const std::int32_t i = e.RowPerm(k), len = e.row_len[i - 1], start = e.row_start[i - 1];
    if (k > rank) {
      if (len != 0) return "row beyond the rank with entries";
      continue;
    }
    if (len < 1) return "pivot row without entries";
    if (start < 1 || start + len - 1 > e.I(LU_Int::row_file_end)) return "U row outside file";
    for (std::int32_t q = start; q < start + len; ++q) {
      if (used[q - 1]++) return "U rows overlap";
      std::int32_t c = e.col_index[q - 1];
      if (c < 1 || c > n) return "U column out of range";
      if (q == start && col_pos[c] != k) return "pivot not first in its row";
      if (q > start && col_pos[c] <= k) return "U not upper triangular";
    }
    u_count += len;
  }
  if (u_count != e.I(LU_Int::u_length)) return "u_length does not match the rows";
  const std::int32_t L = e.f.storage_length, llen = e.I(LU_Int::l_length);
  if (e.I(LU_Int::row_file_end) > L - llen) return "U file reaches into L";
  std::int64_t l_sum = 0;
  for (std::int32_t k = 1; k <= e.I(LU_Int::l_column_count); ++k) l_sum += e.col_len[k - 1];
  if (l_sum != e.I(LU_Int::l_length_initial)) return "L column lengths do not add up";
  for (std::int32_t q = L - llen + 1; q <= L; ++q) {
    std::int32_t r = e.row_index[q - 1], p = e.col_index[q - 1];
    if (r < 1 || r > m || p < 1 || p > m || r == p) return "bad L entry";
  }
  return "";
}

// CheckLayout, then L^-1 A = U (rows beyond the rank ~ 0) to `tol` times the
// largest magnitude of A.
inline std::string CheckFactors(const Engine& e, const Dense& a, double tol = 1e-10) {
  std::string layout = CheckLayout(e);
  if (!layout.empty()) return layout;
  const std::int32_t m = e.m, n = e.n;
  // L^-1 A = U.
  Dense b = a;
  ApplyLInverse(e, b);
  Dense u = UDense(e);
  const double scale = std::max(a.MaxAbs(), 1e-300);
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t i = 1; i <= m; ++i) {
      if (std::fabs(b(i, j) - u(i, j)) > tol * scale) {
        return "L^-1 A differs from U at (" + std::to_string(i) + "," + std::to_string(j) +
               "): " + std::to_string(b(i, j)) + " vs " + std::to_string(u(i, j));
      }
    }
  }
  return "";
}

// LAPACK reference for square systems: solves A x = b (trans 'N') or
// A' x = b ('T'); returns false when A is exactly singular.
inline bool LapackSolve(const Dense& a, std::vector<double>& b, char trans) {
  int n = a.n, nrhs = 1, info = 0;
  std::vector<double> lu = a.a;
  std::vector<int> ipiv(std::max(n, 1));
  dgetrf_(&n, &n, lu.data(), &n, ipiv.data(), &info);
  if (info != 0) return false;
  dgetrs_(&trans, &n, &nrhs, lu.data(), &n, ipiv.data(), b.data(), &n, &info);
  return info == 0;
}

// Random sparse m by n matrix with about `per_column` entries per column
// (distinct positions), values uniform in [-1, 1] away from 0.
inline std::vector<Triple> RandomSparse(std::mt19937& rng, std::int32_t m, std::int32_t n,
                                        int per_column, bool diagonal = false) {
  std::vector<Triple> t;
  std::uniform_int_distribution<std::int32_t> row(1, std::max(m, 1));
  std::uniform_real_distribution<double> val(0.1, 1.0);
  std::bernoulli_distribution sign(0.5);
  for (std::int32_t j = 1; j <= n; ++j) {
    std::vector<std::int32_t> rows;
    if (diagonal && j <= m) rows.push_back(j);
    for (int k = 0; k < per_column && m > 0; ++k) rows.push_back(row(rng));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (std::int32_t i : rows) {
      double v = val(rng) * (sign(rng) ? 1.0 : -1.0);
      if (diagonal && i == j) v += v > 0 ? 4.0 : -4.0;
      t.push_back({i, j, v});
    }
  }
  std::shuffle(t.begin(), t.end(), rng);
  return t;
}

inline std::int64_t EntryStorage(std::int32_t m, std::int32_t n, size_t entries) {
  return static_cast<std::int64_t>(entries) + 2 * (static_cast<std::int64_t>(m) + n);
}

}  // namespace lutest
