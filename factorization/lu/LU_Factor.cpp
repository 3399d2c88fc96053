// Entry of the sparse LU factorization: input checks, the column and row
// files with count-ordered permutations, the factor core, the move of the
// factors into their final layout, and the judgement of the pivots.
#include <cmath>
#include <initializer_list>
#include <limits>

#include "factorization/lu/LU_Library.hpp"

namespace {

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

std::int32_t Clamp(std::int64_t x) {
  if (x > kIntMax) return kIntMax;
  if (x < 0) return 0;
  return static_cast<std::int32_t>(x);
}

// Integer and real outputs at their starting values.
void ResetOutputs(std::int32_t m, LU_IntParams& ip, LU_RealParams& rp) {
  for (LU_Int index : {LU_Int::result_code, LU_Int::singular_count,
                       LU_Int::last_singular_column, LU_Int::required_storage,
                       LU_Int::update_count, LU_Int::rank, LU_Int::dense1_columns,
                       LU_Int::dense2_columns, LU_Int::min_diag_column, LU_Int::l_column_count,
                       LU_Int::l_length_initial, LU_Int::u_length_initial, LU_Int::l_length,
                       LU_Int::u_length, LU_Int::row_file_end, LU_Int::compression_count,
                       LU_Int::merit_sum, LU_Int::l_triangle_size}) {
    ip[index] = 0;
  }
  ip[LU_Int::u_triangle_size] = m;
  for (LU_Real index : {LU_Real::a_max, LU_Real::l_max, LU_Real::u_max, LU_Real::diag_max,
                        LU_Real::diag_min, LU_Real::active_max, LU_Real::growth}) {
    rp[index] = 0.0;
  }
}

// Counters and maxima the core reached.
void WriteCoreOutputs(const LU_Core& s, LU_IntParams& ip, LU_RealParams& rp) {
  ip[LU_Int::rank] = s.rank;
  ip[LU_Int::dense1_columns] = s.dense1;
  ip[LU_Int::dense2_columns] = s.dense2;
  ip[LU_Int::l_length] = Clamp(s.l_length);
  ip[LU_Int::u_length] = Clamp(s.u_length);
  ip[LU_Int::l_length_initial] = Clamp(s.l_length);
  ip[LU_Int::u_length_initial] = Clamp(s.u_length);
  ip[LU_Int::compression_count] = s.compressions;
  ip[LU_Int::merit_sum] = Clamp(s.merit_sum);
  ip[LU_Int::u_triangle_size] = s.u_triangle;
  ip[LU_Int::l_triangle_size] = s.l_triangle;
  rp[LU_Real::l_max] = s.l_max;
  rp[LU_Real::u_max] = s.u_max;
  rp[LU_Real::diag_max] = s.diag_max;
  rp[LU_Real::diag_min] = s.diag_min;
  rp[LU_Real::active_max] = s.active_max;
}

// Moves block [from, from + length) of the three storage arrays to `to`
// (either direction, overlap allowed).
void MoveBlock(const LU_Core& s, std::int32_t from, std::int32_t to, std::int32_t length) {
  if (to == from || length <= 0) return;
  if (to > from) {
    for (std::int32_t t = length - 1; t >= 0; --t) {
      s.val[to + t] = s.val[from + t];
      s.ri[to + t] = s.ri[from + t];
      s.ci[to + t] = s.ci[from + t];
    }
  } else {
    for (std::int32_t t = 0; t < length; ++t) {
      s.val[to + t] = s.val[from + t];
      s.ri[to + t] = s.ri[from + t];
      s.ci[to + t] = s.ci[from + t];
    }
  }
}

// Moves the factor slots (pivot 1 highest, each a U row below an L column)
// into the final layout: U rows packed from position 1 in pivot order, L
// columns packed at the end of the storage, the first pivot's column last.
// When the next U row would overrun the slots not yet moved, the remaining
// slots are first shifted up against the moved L columns; if even that
// leaves too little room, returns 7. Sets l_column_count and col_len.
std::int32_t MoveFactors(LU_Core& s, LU_IntParams& ip) {
  const std::int32_t rank = s.rank;
  std::int32_t low = s.fp;         // lowest position of the slots not yet moved
  std::int32_t top = s.usable;     // top of the next slot
  std::int32_t l_end = s.storage;  // the next L column ends here
  std::int32_t front = 1;          // the next U row starts here
  for (std::int32_t k = 1; k <= rank; ++k) {
    const std::int32_t i = s.rperm[k], j = s.cperm[k];
    const std::int32_t ulen = -s.rlen[i], llen = -s.clen[j] - 1;
    s.cstart[k] = llen;  // remembered until the lengths are written
    MoveBlock(s, top - llen + 1, l_end - llen + 1, llen);
    l_end -= llen;
    std::int32_t u_bottom = top - llen - ulen + 1;
    if (front + ulen - 1 >= low && low < u_bottom) {
      std::int32_t shift = l_end - (u_bottom + ulen - 1);
      MoveBlock(s, low, low + shift, u_bottom + ulen - low);
      low += shift;
      u_bottom += shift;
      if (front + ulen - 1 >= low && low < u_bottom) {
        s.required = s.l_length + s.u_length + 2 * (static_cast<std::int64_t>(s.m) + s.n);
        return LU_NO_STORAGE;
      }
    }
    for (std::int32_t t = 0; t < ulen; ++t) {
      s.val[front + t] = s.val[u_bottom + t];
      s.ci[front + t] = s.ci[u_bottom + t];
    }
    s.rstart[i] = front;
    s.rlen[i] = ulen;
    front += ulen;
    top = u_bottom - 1;
  }
  std::int32_t columns = 0;
  for (std::int32_t k = 1; k <= rank; ++k) {
    std::int32_t llen = s.cstart[k];
    if (llen > 0) s.clen[++columns] = llen;
  }
  for (std::int32_t j = 1; j <= s.n; ++j) s.cstart[j] = 0;
  ip[LU_Int::l_column_count] = columns;
  ip[LU_Int::row_file_end] = front - 1;
  return LU_OK;
}

}  // namespace

std::int32_t LU_Factor(std::int32_t m, std::int32_t n, std::int32_t element_count,
                       LU_IntParams& ip, LU_RealParams& rp, LU_Factors& f) {
  ResetOutputs(m, ip, rp);
  auto finish = [&](std::int32_t result) {
    ip[LU_Int::result_code] = result;
    return result;
  };
  if (m < 0 || n < 0 || element_count < 0) return finish(LU_BAD_INDEX);
  const std::int64_t needed =
      static_cast<std::int64_t>(element_count) + 2 * (static_cast<std::int64_t>(m) + n);
  if (f.storage_length < needed) {
    ip[LU_Int::required_storage] = Clamp(needed);
    return finish(LU_NO_STORAGE);
  }

  LU_AdviseLargePages(f);
  std::int32_t count = element_count;
  bool bad = false;
  rp[LU_Real::a_max] = LU_CleanEntries(m, n, count, rp[LU_Real::drop_tolerance], f, bad);
  if (bad) return finish(LU_BAD_INDEX);
  LU_SortByColumn(n, count, f);
  if (LU_FindDuplicate(m, n, f) != 0) return finish(LU_DUPLICATE);
  LU_BuildRowFile(m, n, f);
  LU_Array<std::int32_t> buffer = LU_View(f.lu_row_index).Shifted(count);
  LU_OrderByCount(m, n, LU_View(f.row_len), LU_View(f.row_perm), LU_View(f.row_perm_inv),
                  LU_View(f.row_count_start), buffer);
  LU_OrderByCount(n, m, LU_View(f.col_len), LU_View(f.col_perm), LU_View(f.col_perm_inv),
                  LU_View(f.col_count_start), buffer);

  LU_Core s;
  LU_CoreSetup(m, n, count, ip, rp, f, s);
  std::int32_t result = LU_FactorCore(s);
  if (result == LU_OK && s.keep) result = MoveFactors(s, ip);
  WriteCoreOutputs(s, ip, rp);
  f.front_written = s.written;
  if (result != LU_OK) {
    ip[LU_Int::l_column_count] = 0;
    ip[LU_Int::row_file_end] = 0;
    if (result == LU_NO_STORAGE) {
      ip[LU_Int::required_storage] = Clamp(s.required);
      return finish(LU_NO_STORAGE);
    }
    return finish(result == LU_NO_DIAGONAL ? LU_NO_DIAGONAL : LU_INCONSISTENT);
  }
  ip[LU_Int::required_storage] = Clamp(s.required);
  result = LU_CheckDiagonal(LU_CHECK_PIVOTS, m, n, s.keep ? s.storage : s.usable, ip, rp, f);
  const double a_max = rp[LU_Real::a_max];
  rp[LU_Real::growth] = s.rule == LU_RULE_PARTIAL ? rp[LU_Real::u_max] / (a_max + 1e-20)
                                                  : s.active_max / (a_max + 1e-20);
  return finish(result);
}

std::int32_t LU_CheckDiagonal(std::int32_t mode, std::int32_t m, std::int32_t n,
                              std::int32_t length, LU_IntParams& ip, LU_RealParams& rp,
                              LU_Factors& f) {
  (void)m;
  if (mode != LU_CHECK_PIVOTS) return 0;
  LU_Array<double> val = LU_View(f.lu_value), cmax = LU_View(f.col_umax);
  LU_Array<std::int32_t> ci = LU_View(f.lu_col_index);
  LU_Array<std::int32_t> rperm = LU_View(f.row_perm), cperm = LU_View(f.col_perm);
  LU_Array<std::int32_t> rlen = LU_View(f.row_len), rstart = LU_View(f.row_start);
  const std::int32_t rank = ip[LU_Int::rank];
  const bool keep = ip[LU_Int::keep_factors] != 0;
  for (std::int32_t j = 1; j <= n; ++j) cmax[j] = 0.0;

  // Magnitude of pivot k (1..rank).
  auto pivot = [&](std::int32_t k) {
    return keep ? std::fabs(val[rstart[rperm[k]]]) : std::fabs(val[length - n + cperm[k]]);
  };
  if (keep) {
    double u_max = 0.0, l_max = 0.0;
    for (std::int32_t k = 1; k <= rank; ++k) {
      std::int32_t i = rperm[k];
      for (std::int32_t q = rstart[i], e = rstart[i] + rlen[i]; q < e; ++q) {
        double a = std::fabs(val[q]);
        if (a > cmax[ci[q]]) cmax[ci[q]] = a;
        if (a > u_max) u_max = a;
      }
    }
    for (std::int32_t l = length - ip[LU_Int::l_length] + 1; l <= length; ++l) {
      double a = std::fabs(val[l]);
      if (a > l_max) l_max = a;
    }
    rp[LU_Real::u_max] = u_max;
    rp[LU_Real::l_max] = l_max;
  } else {
    for (std::int32_t k = 1; k <= rank; ++k) cmax[cperm[k]] = pivot(k);
  }

  double diag_max = 0.0, diag_min = std::numeric_limits<double>::infinity();
  std::int32_t min_column = 0;
  for (std::int32_t k = 1; k <= rank; ++k) {
    double d = pivot(k);
    if (d > diag_max) diag_max = d;
    if (d < diag_min) {
      diag_min = d;
      min_column = cperm[k];
    }
  }
  if (min_column == 0) diag_min = 0.0;

  const double rel_tol = rp[LU_Real::u_rel_tolerance];
  double abs_tol = rp[LU_Real::u_abs_tolerance];
  if (ip[LU_Int::pivot_rule] == LU_RULE_ROOK && rel_tol * diag_max > abs_tol) {
    abs_tol = rel_tol * diag_max;
  }
  // A pivot is singular unless it is clearly above both tolerances (a NaN
  // pivot is singular); columns beyond the rank have no pivot at all.
  std::int32_t singular = 0, last_singular = 0;
  for (std::int32_t k = 1; k <= n; ++k) {
    std::int32_t j = cperm[k];
    bool is_singular;
    if (k > rank) {
      is_singular = true;
    } else if (keep) {
      double d = pivot(k);
      is_singular = !(d > abs_tol) || !(d > rel_tol * cmax[j]);
    } else {
      is_singular = !(cmax[j] > abs_tol);
    }
    if (is_singular) {
      ++singular;
      last_singular = j;
      cmax[j] = -cmax[j];
    }
  }
  ip[LU_Int::min_diag_column] = min_column;
  ip[LU_Int::singular_count] = singular;
  ip[LU_Int::last_singular_column] = last_singular;
  rp[LU_Real::diag_max] = diag_max;
  rp[LU_Real::diag_min] = diag_min;
  ip[LU_Int::result_code] = singular > 0 ? LU_SINGULAR : LU_OK;
  return singular > 0 ? 1 : 0;
}
