// Pivot searches of the LU factor core. The Markowitz, rook and diagonal
// searches share one skeleton: they visit counts nz = 1, 2, ..., first the
// columns with nz entries and then the rows with nz entries, and keep the
// best candidate. kbest bounds the other count - 1 of a useful candidate:
// within a count it is that of the best candidate, between counts
// best merit / nz. The column and row limits stop the scans once a
// candidate exists; a candidate of count 1 is taken at once.
#include <cmath>

#include "factorization/lu/LU_Library.hpp"

namespace {

constexpr double kTieRatio = 2.0;  // ratios up to this count as equally stable

// Position of row i in column j (0 if absent).
std::int32_t FindInColumn(const LU_Core& s, std::int32_t j, std::int32_t i) {
  for (std::int32_t p = s.cstart[j], e = s.cstart[j] + s.clen[j]; p < e; ++p) {
    if (s.ri[p] == i) return p;
  }
  return 0;
}

// Threshold partial or complete pivoting (rules 0 and 2).
struct MarkowitzRule {
  bool complete;
  bool Qualifies(const LU_Core& s, std::int32_t p, std::int32_t first, double a,
                 double amax) const {
    if (complete) return a >= s.threshold;
    return p == first || a * s.lbound >= amax;
  }
  bool SkipsColumn(const LU_Core& s, double amax) const {
    return complete && amax < s.threshold;
  }
  static bool Better(const LU_Candidate& best, std::int64_t merit, double a, double ratio) {
    if (best.row == 0 || merit < best.merit) return true;
    if (merit > best.merit) return false;
    if (best.ratio <= kTieRatio && ratio <= kTieRatio) return a > best.magnitude;
    return ratio < best.ratio;
  }
};

// Threshold rook pivoting (rule 1): stable in its column and in its row.
struct RookRule {
  bool Qualifies(const LU_Core& s, std::int32_t p, std::int32_t, double a, double amax) const {
    return a >= amax / s.lbound && s.rowmax[s.ri[p]] <= s.lbound * a;
  }
  bool SkipsColumn(const LU_Core&, double) const { return false; }
  static bool Better(const LU_Candidate& best, std::int64_t merit, double a, double) {
    if (best.row == 0 || merit < best.merit) return true;
    return merit == best.merit && a > best.magnitude;
  }
};

template <class Rule>
struct Skeleton {
  const LU_Core& s;
  Rule rule;
  LU_Candidate best{0, 0, -1, 0.0, 0.0};
  std::int64_t kbest;

  void Consider(std::int32_t i, std::int32_t j, std::int32_t p, std::int64_t other,
                std::int64_t merit) {
    std::int32_t first = s.cstart[j];
    double amax = std::fabs(s.val[first]);
    double a = std::fabs(s.val[p]);
    if (!rule.Qualifies(s, p, first, a, amax)) return;
    double ratio = p == first ? 1.0 : amax / a;
    if (!Rule::Better(best, merit, a, ratio)) return;
    best = LU_Candidate{i, j, merit, a, ratio};
    kbest = other;
  }

  void Column(std::int32_t j, std::int32_t nz) {
    std::int32_t first = s.cstart[j], end = first + s.clen[j];
    if (rule.SkipsColumn(s, std::fabs(s.val[first]))) return;
    for (std::int32_t p = first; p < end; ++p) {
      std::int32_t i = s.ri[p];
      std::int64_t other = s.rlen[i] - 1;
      if (other > kbest) continue;
      Consider(i, j, p, other, static_cast<std::int64_t>(nz - 1) * other);
    }
  }

  void Row(std::int32_t i, std::int32_t nz) {
    for (std::int32_t q = s.rstart[i], e = s.rstart[i] + s.rlen[i]; q < e; ++q) {
      std::int32_t j = s.ci[q];
      std::int64_t other = s.clen[j] - 1;
      if (other > kbest) continue;
      std::int32_t p = FindInColumn(s, j, i);
      if (p == 0) continue;
      Consider(i, j, p, other, other * (nz - 1));
    }
  }

  LU_Candidate Run() {
    if (s.maxmn < 1) return best;
    kbest = static_cast<std::int64_t>(s.maxmn) + 1;
    std::int32_t ncol = 0, nrow = 0;
    auto done = [&]() { return ncol >= s.col_limit && nrow >= s.row_limit; };
    for (std::int32_t nz = 1; nz <= s.maxmn; ++nz) {
      if (nz > 1 && best.row != 0 && kbest <= nz - 1) break;
      if (nz <= s.m) {
        std::int32_t last = nz < s.m ? s.ccount[nz + 1] - 1 : s.n;
        for (std::int32_t pos = s.ccount[nz]; pos <= last; ++pos) {
          if (best.row != 0 && ncol >= s.col_limit) break;
          ++ncol;
          Column(s.cperm[pos], nz);
          if (best.row != 0 && (nz == 1 || done())) return best;
        }
      }
      if (best.row != 0 && kbest <= nz) break;
      if (nz <= s.n) {
        std::int32_t last = nz < s.n ? s.rcount[nz + 1] - 1 : s.m;
        for (std::int32_t pos = s.rcount[nz]; pos <= last; ++pos) {
          if (best.row != 0 && nrow >= s.row_limit) break;
          ++nrow;
          Row(s.rperm[pos], nz);
          if (best.row != 0 && (nz == 1 || done())) return best;
        }
      }
      if (best.row != 0) {
        if (done()) return best;
        kbest = best.merit / nz;
      }
    }
    return best;
  }
};

}  // namespace

LU_Candidate LU_SearchMarkowitz(const LU_Core& s, bool complete) {
  Skeleton<MarkowitzRule> search{s, MarkowitzRule{complete}, {0, 0, -1, 0.0, 0.0}, 0};
  return search.Run();
}

LU_Candidate LU_SearchRook(const LU_Core& s) {
  Skeleton<RookRule> search{s, RookRule{}, {0, 0, -1, 0.0, 0.0}, 0};
  return search.Run();
}

LU_Candidate LU_SearchDiagonal(const LU_Core& s) {
  LU_Candidate best{0, 0, -1, 0.0, 0.0};
  std::int32_t ncol = 0;
  for (std::int32_t nz = 1; nz <= s.m && best.row == 0; ++nz) {
    std::int32_t last = nz < s.m ? s.ccount[nz + 1] - 1 : s.n;
    const std::int64_t merit = static_cast<std::int64_t>(nz - 1) * (nz - 1);
    for (std::int32_t pos = s.ccount[nz]; pos <= last; ++pos) {
      if (best.row != 0 && ncol >= s.col_limit) break;
      ++ncol;
      std::int32_t j = s.cperm[pos];
      std::int32_t first = s.cstart[j];
      double amax = std::fabs(s.val[first]);
      for (std::int32_t p = first, e = first + s.clen[j]; p < e; ++p) {
        if (s.ri[p] != j) continue;
        double a = std::fabs(s.val[p]);
        if (a >= amax / s.lbound && (best.row == 0 || a > best.magnitude)) {
          best = LU_Candidate{j, j, merit, a, p == first ? 1.0 : amax / a};
        }
        break;
      }
      if (best.row != 0 && nz == 1) return best;
    }
  }
  // A later count can only give a larger merit, so the search ends with the
  // first count that has a candidate.
  return best;
}

LU_Candidate LU_SearchHeap(const LU_Core& s, double threshold) {
  constexpr std::int32_t kMaxColumns = 40;
  LU_Candidate best{0, 0, -1, 0.0, 0.0};
  std::int32_t examined = 0;
  for (std::int32_t h = 1; h <= s.heap_length && examined < kMaxColumns; ++h) {
    if (!(s.heap_key[h] >= threshold)) continue;
    std::int32_t j = s.heap_col[h];
    ++examined;
    std::int32_t first = s.cstart[j], len = s.clen[j];
    if (len <= 0) continue;
    double amax = std::fabs(s.val[first]);
    for (std::int32_t p = first; p < first + len; ++p) {
      double a = std::fabs(s.val[p]);
      if (p != first && !(a >= threshold)) continue;
      std::int64_t merit = static_cast<std::int64_t>(s.rlen[s.ri[p]] - 1) * (len - 1);
      if (best.row != 0 && merit > best.merit) continue;
      double ratio = p == first ? 1.0 : amax / a;
      if (!MarkowitzRule::Better(best, merit, a, ratio)) continue;
      best = LU_Candidate{s.ri[p], j, merit, a, ratio};
      if (merit == 0) return best;
    }
  }
  return best;
}
