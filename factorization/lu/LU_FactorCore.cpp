// Factor core of the sparse LU engine: chooses one pivot at a time by a
// Markowitz merit under the stability test of the pivoting rule, eliminates
// it with fill-in in the column file (values) and the row file (pattern),
// keeps the count buckets, column maxima, row maxima (rule 1) and the heap of
// column maxima (rule 2) current, compresses the files when space runs
// short, and hands a dense remainder to the dense kernels.
//
// Factor area: each pivot's slot lies just below the previous one (newest
// lowest): its U row first (pivot, then the other entries), its L column
// above it. The pivot row and column are marked with row_len = -(U length)
// and col_len = -(L length + 1).
#include <algorithm>
#include <cmath>
#include <limits>
#ifdef LU_DEBUG_CHECK
#include <cstdio>
#include <cstdlib>
#endif

#include "factorization/lu/LU_Library.hpp"

namespace {

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

std::int32_t ClampToInt(double x) {
  if (!(x < static_cast<double>(kIntMax))) return kIntMax;
  if (x < 0.0) return 0;
  return static_cast<std::int32_t>(x);
}

#ifdef LU_DEBUG_CHECK
// Debug builds with LU_DEBUG_CHECK verify after every pivot step that the
// row and column files agree, free positions hold 0, buckets match counts.
void CheckInvariants(const LU_Core& s, const char* where) {
  auto fail = [&](const char* what, int a, int b) {
    std::fprintf(stderr, "invariant %s (%d, %d) at %s\n", what, a, b, where);
    std::abort();
  };
  for (std::int32_t j = 1; j <= s.n; ++j) {
    if (s.clen[j] <= 0) continue;
    for (std::int32_t p = s.cstart[j]; p < s.cstart[j] + s.clen[j]; ++p) {
      std::int32_t i = s.ri[p];
      if (i < 1 || i > s.m) fail("column entry row", j, i);
      if (p > s.col_end) fail("column beyond end", j, p);
      bool found = false;
      for (std::int32_t q = s.rstart[i]; q < s.rstart[i] + s.rlen[i]; ++q) found |= s.ci[q] == j;
      if (!found) fail("column entry missing in row", i, j);
    }
  }
  for (std::int32_t i = 1; i <= s.m; ++i) {
    if (s.rlen[i] <= 0) continue;
    for (std::int32_t q = s.rstart[i]; q < s.rstart[i] + s.rlen[i]; ++q) {
      std::int32_t j = s.ci[q];
      if (j < 1 || j > s.n || s.clen[j] <= 0) fail("row entry column", i, j);
      if (q > s.row_end) fail("row beyond end", i, q);
      bool found = false;
      for (std::int32_t p = s.cstart[j]; p < s.cstart[j] + s.clen[j]; ++p) found |= s.ri[p] == i;
      if (!found) fail("row entry missing in column", i, j);
    }
  }
  // Free positions hold index 0: the non-zero indices inside each file are
  // exactly its entries.
  std::int64_t col_entries = 0, row_entries = 0, col_used = 0, row_used = 0;
  for (std::int32_t j = 1; j <= s.n; ++j) col_entries += s.clen[j] > 0 ? s.clen[j] : 0;
  for (std::int32_t i = 1; i <= s.m; ++i) row_entries += s.rlen[i] > 0 ? s.rlen[i] : 0;
  for (std::int32_t p = 1; p <= s.col_end; ++p) col_used += s.ri[p] != 0;
  for (std::int32_t q = 1; q <= s.row_end; ++q) row_used += s.ci[q] != 0;
  if (col_used != col_entries) fail("column file positions", s.col_end, 0);
  if (row_used != row_entries) fail("row file positions", s.row_end, 0);
  for (std::int32_t pos = 1; pos <= s.m; ++pos) {
    std::int32_t i = s.rperm[pos];
    if (s.rinv[i] != pos) fail("row inverse", i, pos);
    std::int32_t c = s.rlen[i] < 0 ? 0 : s.rlen[i];
    std::int32_t lo = c == 0 ? 1 : s.rcount[c], hi = c < s.n ? s.rcount[c + 1] - 1 : s.m;
    if (pos < lo || pos > hi) fail("row bucket", i, c);
  }
  for (std::int32_t pos = 1; pos <= s.n; ++pos) {
    std::int32_t j = s.cperm[pos];
    if (s.cinv[j] != pos) fail("column inverse", j, pos);
    std::int32_t c = s.clen[j] < 0 ? 0 : s.clen[j];
    std::int32_t lo = c == 0 ? 1 : s.ccount[c], hi = c < s.m ? s.ccount[c + 1] - 1 : s.n;
    if (pos < lo || pos > hi) fail("column bucket", j, c);
  }
}
#else
void CheckInvariants(const LU_Core&, const char*) {}
#endif

// Trailing free positions (index 0) leave the end of a file.
void TrimEnd(LU_Array<std::int32_t> index, std::int32_t& end) {
  while (end >= 1 && index[end] == 0) --end;
}

// Removes column j from the pattern of row i: the row's last column takes
// its place and the last position is freed.
void RowDropColumn(LU_Core& s, std::int32_t i, std::int32_t j) {
  const std::int32_t first = s.rstart[i], last = first + s.rlen[i] - 1;
  const std::int32_t k = LU_FindIndex(&s.ci[first], s.rlen[i], j);
  if (k < 0) return;
  s.ci[first + k] = s.ci[last];
  s.ci[last] = 0;
  --s.rlen[i];
  if (last == s.row_end) TrimEnd(s.ci, s.row_end);
}

// Removes the entry of row i from column j the same way; returns its value.
double ColumnTakeRow(LU_Core& s, std::int32_t j, std::int32_t i) {
  const std::int32_t first = s.cstart[j], last = first + s.clen[j] - 1;
  const std::int32_t k = LU_FindIndex(&s.ri[first], s.clen[j], i);
  if (k < 0) return 0.0;
  const std::int32_t p = first + k;
  const double a = s.val[p];
  s.val[p] = s.val[last];
  s.ri[p] = s.ri[last];
  s.ri[last] = 0;
  --s.clen[j];
  if (last == s.col_end) TrimEnd(s.ri, s.col_end);
  return a;
}

std::int32_t CompressColumns(LU_Core& s) {
  s.col_end = LU_Compress(s.n, s.val.base, s.ri, s.clen, s.cstart, s.col_end, s.compressions);
  s.last_compressed = s.col_end;
  return s.col_end;
}

std::int32_t CompressRows(LU_Core& s) {
  s.row_end = LU_Compress(s.m, nullptr, s.ci, s.rlen, s.rstart, s.row_end, s.compressions);
  s.last_compressed = s.row_end;
  return s.row_end;
}

// Result 7 with the estimate of the storage a retry needs.
std::int32_t OutOfStorage(LU_Core& s) {
  s.required = static_cast<std::int64_t>(s.usable) + 2 * (static_cast<std::int64_t>(s.m) + s.n) +
               s.last_compressed;
  return LU_NO_STORAGE;
}

// Compression before a pivot step whose slot starts at slot_low: each file
// needs `need` free positions below the slot and no end beyond the limit.
std::int32_t MakeRoom(LU_Core& s, std::int32_t slot_low, std::int32_t need) {
  double limit = s.space * s.last_compressed + s.m + s.n + 1000.0;
  std::int32_t max_end = ClampToInt(limit);
  if (slot_low - 1 - s.col_end < need || s.col_end > max_end) {
    CompressColumns(s);
    if (slot_low - 1 - s.col_end < need) return OutOfStorage(s);
  }
  if (slot_low - 1 - s.row_end < need || s.row_end > max_end) {
    CompressRows(s);
    if (slot_low - 1 - s.row_end < need) return OutOfStorage(s);
  }
  return LU_OK;
}

// Removes the entries of column j that the update made negligible, closing
// the column up in order; each such row loses j from its pattern.
void RemoveDropped(LU_Core& s, std::int32_t j) {
  std::int32_t first = s.cstart[j], end = first + s.clen[j], w = first;
  for (std::int32_t p = first; p < end; ++p) {
    std::int32_t row = s.ri[p];
    if (s.LPos(row) != 0 && std::fabs(s.val[p]) <= s.drop) {
      RowDropColumn(s, row, j);
      continue;
    }
    s.val[w] = s.val[p];
    s.ri[w] = row;
    ++w;
  }
  for (std::int32_t p = w; p < end; ++p) s.ri[p] = 0;
  s.clen[j] = w - first;
  if (end - 1 == s.col_end) TrimEnd(s.ri, s.col_end);
}

// True when column j can take `extra` entries right after its last one.
bool ColumnGrowsInPlace(const LU_Core& s, std::int32_t j, std::int32_t extra,
                        std::int32_t slot_low) {
  std::int32_t next = s.cstart[j] + s.clen[j];
  if (next - 1 == s.col_end) return slot_low - 1 - s.col_end >= extra;
  if (next + extra - 1 > s.col_end) return false;
  for (std::int32_t p = next; p < next + extra; ++p) {
    if (s.ri[p] != 0) return false;
  }
  return true;
}

// Makes room for `extra` new entries of column j, moving it to the end of the
// column file (compressing first when needed). Returns 0 or 7.
std::int32_t PlaceColumn(LU_Core& s, std::int32_t j, std::int32_t extra, std::int32_t slot_low) {
  if (ColumnGrowsInPlace(s, j, extra, slot_low)) return LU_OK;
  std::int32_t len = s.clen[j];
  if (slot_low - 1 - s.col_end < len + extra) {
    CompressColumns(s);
    LU_Poll();
    if (ColumnGrowsInPlace(s, j, extra, slot_low)) return LU_OK;
    if (slot_low - 1 - s.col_end < len + extra) return OutOfStorage(s);
  }
  std::int32_t from = s.cstart[j], to = s.col_end + 1;
  for (std::int32_t t = 0; t < len; ++t) {
    s.val[to + t] = s.val[from + t];
    s.ri[to + t] = s.ri[from + t];
    s.ri[from + t] = 0;
  }
  s.cstart[j] = to;
  s.col_end = to + len - 1;
  return LU_OK;
}

// Enters the fill-in (row, column j) in the row file: in place when the
// position after the row is free inside the file, otherwise pending (the
// column entry carries row + m until the row is moved).
void EnterFill(LU_Core& s, std::int32_t row, std::int32_t j, std::int32_t p) {
  std::int32_t next = s.rstart[row] + s.rlen[row];
  if (s.pend[row] == 0 && next <= s.row_end && s.ci[next] == 0) {
    s.ci[next] = j;
    ++s.rlen[row];
    s.ri[p] = row;
    return;
  }
  s.ri[p] = row + s.m;
  ++s.pend[row];
  if (s.cpend[j] == 0) s.cpend[j] = p - s.cstart[j] + 1;
}

std::int32_t ColumnSingleton(const LU_Core& s) {
  std::int32_t first = s.ccount[1], last = s.m == 1 ? s.n : s.ccount[2] - 1;
  for (std::int32_t pos = first; pos <= last; ++pos) {
    std::int32_t j = s.cperm[pos];
    if (s.rule == LU_RULE_PARTIAL || s.rule == LU_RULE_DIAGONAL) return j;
    if (s.cmax[j] > 0.0) return j;  // unit column
    double a = std::fabs(s.val[s.cstart[j]]);
    if (s.rule == LU_RULE_ROOK && a >= s.rowmax[s.ri[s.cstart[j]]] / s.lbound) return j;
    if (s.rule == LU_RULE_COMPLETE && a >= s.threshold) return j;
  }
  return 0;
}

LU_Candidate SearchByRule(const LU_Core& s) {
  switch (s.rule) {
    case LU_RULE_ROOK:
      return LU_SearchRook(s);
    case LU_RULE_COMPLETE:
      return LU_SearchMarkowitz(s, true);
    case LU_RULE_DIAGONAL:
      return LU_SearchDiagonal(s);
    default:
      return LU_SearchMarkowitz(s, false);
  }
}

// One pivot step on a(i, j). keep_maxima is false in the column-singleton
// phase under rule 0, where column maxima are not maintained.
std::int32_t PivotStep(LU_Core& s, std::int32_t i, std::int32_t j, std::int64_t merit,
                       bool keep_maxima) {
  const std::int32_t r = s.rlen[i], c = s.clen[j];
  s.merit_sum += merit;
  s.l_length += c - 1;
  s.u_length += r;
  const std::int32_t slot = r + c - 1;
  const std::int32_t slot_low = s.fp - slot;
  std::int32_t result = MakeRoom(s, slot_low, slot);
  if (result != LU_OK) return result;

  // The pivot goes to the front of its row pattern and of its column.
  const std::int32_t rs = s.rstart[i], cs = s.cstart[j];
  for (std::int32_t q = rs; q < rs + r; ++q) {
    if (s.ci[q] == j) {
      std::swap(s.ci[q], s.ci[rs]);
      break;
    }
  }
  for (std::int32_t p = cs; p < cs + c; ++p) {
    if (s.ri[p] == i) {
      std::swap(s.val[p], s.val[cs]);
      std::swap(s.ri[p], s.ri[cs]);
      break;
    }
  }
  const double pivot = s.val[cs];
  if (!s.keep) s.val[s.usable - s.n + j] = pivot;
  if (s.rule == LU_RULE_COMPLETE) {
    LU_HeapDelete(s.heap_key, s.heap_col, s.heap_pos, s.heap_length, s.heap_pos[j]);
  }

  // U row: the pivot, then the pivot row's other entries, each taken out of
  // its column.
  const std::int32_t u_first = slot_low;
  const double apivot = std::fabs(pivot);
  if (apivot > s.diag_max) s.diag_max = apivot;
  if (apivot < s.diag_min) s.diag_min = apivot;
  if (apivot > s.u_max) s.u_max = apivot;
  s.val[u_first] = pivot;
  s.ci[u_first] = j;
  s.ri[u_first] = 0;
  s.cold[j] = c;
  for (std::int32_t t = 1; t < r; ++t) {
    std::int32_t jj = s.ci[rs + t];
    s.cold[jj] = s.clen[jj];
    double a = ColumnTakeRow(s, jj, i);
    s.val[u_first + t] = a;
    s.ci[u_first + t] = jj;
    s.ri[u_first + t] = 0;
    if (std::fabs(a) > s.u_max) s.u_max = std::fabs(a);
  }

  // L column: multipliers of the pivot column's other rows.
  const std::int32_t l_first = slot_low + r;
  const double inverse = 1.0 / pivot;
  s.rold[i] = r;
  for (std::int32_t t = 1; t < c; ++t) {
    std::int32_t row = s.ri[cs + t];
    double multiplier = -s.val[cs + t] * inverse;
    std::int32_t l = l_first + t - 1;
    s.val[l] = multiplier;
    s.ri[l] = row;
    s.ci[l] = i;
    if (std::fabs(multiplier) > s.l_max) s.l_max = std::fabs(multiplier);
    s.LPos(row) = t;
    s.rold[row] = s.rlen[row];
    RowDropColumn(s, row, j);
  }

  // The pivot row and column leave the files.
  for (std::int32_t q = rs; q < rs + r; ++q) s.ci[q] = 0;
  for (std::int32_t p = cs; p < cs + c; ++p) s.ri[p] = 0;
  s.rlen[i] = 0;
  s.clen[j] = 0;
  TrimEnd(s.ci, s.row_end);
  TrimEnd(s.ri, s.col_end);

  if (r > 1) {
    LU_Poll();
    result = LU_EliminateStep(s, u_first, r, l_first, c - 1, slot_low, keep_maxima);
    if (result == LU_OK) result = LU_PendingFill(s, u_first, r, l_first, c - 1, slot_low);
    if (result != LU_OK) return result;
  }

  // Count buckets: the columns of the pivot row, then the pivot row and the
  // rows of the pivot column (pivot row and column go to count 0, where they
  // collect in pivot order). The active count follows the rows the pivot
  // eliminated: each lost its entry in the pivot column and gained its
  // fill-ins.
  LU_UpdateOrdering(r, s.ci.Shifted(u_first - 1), s.cold, s.clen, s.ccount, s.m, s.cperm,
                    s.cinv);
  std::int32_t pivot_row[1] = {i};
  LU_UpdateOrdering(1, LU_Array<const std::int32_t>(pivot_row), s.rold, s.rlen, s.rcount, s.n,
                    s.rperm, s.rinv);
  s.active += LU_UpdateOrdering(c - 1, s.ri.Shifted(l_first - 1), s.rold, s.rlen, s.rcount, s.n,
                                s.rperm, s.rinv);

  if (keep_maxima) {
    if (s.rule == LU_RULE_ROOK) LU_RowMax(s, c - 1, s.ri.Shifted(l_first - 1));
    // The elimination moved each column's largest entry to its front.
    if (r > 1) {
      if (s.rule == LU_RULE_COMPLETE) {
        for (std::int32_t t = 1; t < r; ++t) {
          std::int32_t jj = s.ci[u_first + t];
          double key = s.clen[jj] > 0 ? std::fabs(s.val[s.cstart[jj]]) : 0.0;
          LU_HeapChange(s.heap_key, s.heap_col, s.heap_pos, s.heap_length, s.heap_pos[jj], key,
                        jj);
        }
      }
    }
  }

  s.rlen[i] = -r;
  s.clen[j] = -c;
  for (std::int32_t t = 1; t < c; ++t) s.LPos(s.ri[l_first + t - 1]) = 0;
  CheckInvariants(s, "pivot step");
  if (s.keep) s.fp = slot_low;
  if (slot_low <= s.col_end || slot_low <= s.row_end) return LU_INCONSISTENT;
  return LU_OK;
}


}  // namespace

void LU_CoreSetup(std::int32_t m, std::int32_t n, std::int32_t element_count,
                  const LU_IntParams& ip, const LU_RealParams& rp, LU_Factors& f, LU_Core& s) {
  s.m = m;
  s.n = n;
  s.maxmn = std::max(m, n);
  s.storage = f.storage_length;
  s.element_count = element_count;
  s.val = LU_View(f.lu_value);
  s.ri = LU_View(f.lu_row_index);
  s.ci = LU_View(f.lu_col_index);
  s.rperm = LU_View(f.row_perm);
  s.cperm = LU_View(f.col_perm);
  s.rlen = LU_View(f.row_len);
  s.clen = LU_View(f.col_len);
  s.rstart = LU_View(f.row_start);
  s.cstart = LU_View(f.col_start);
  s.rcount = LU_View(f.row_count_start);
  s.ccount = LU_View(f.col_count_start);
  s.rinv = LU_View(f.row_perm_inv);
  s.cinv = LU_View(f.col_perm_inv);
  s.cmax = LU_View(f.col_umax);
  LU_Array<std::int32_t> work = LU_View(f.work);
  s.row_tags = f.work;
  s.pend = work.Shifted(2 * static_cast<std::int64_t>(m));
  s.rold = work.Shifted(3 * static_cast<std::int64_t>(m));
  s.cold = work.Shifted(4 * static_cast<std::int64_t>(m));
  s.cpend = work.Shifted(4 * static_cast<std::int64_t>(m) + n);
  for (std::int32_t i = 1; i <= m; ++i) s.LPos(i) = s.Mark(i) = s.pend[i] = 0;
  for (std::int32_t j = 1; j <= n; ++j) s.cpend[j] = 0;

  std::int32_t rule = ip[LU_Int::pivot_rule];
  s.rule = rule >= LU_RULE_PARTIAL && rule <= LU_RULE_DIAGONAL ? rule : LU_RULE_PARTIAL;
  s.usable = s.storage;
  if (s.rule == LU_RULE_ROOK) s.usable -= m;
  if (s.rule == LU_RULE_COMPLETE) s.usable -= n;
  s.rowmax = s.val.Shifted(static_cast<std::int64_t>(s.storage) - m);
  s.heap_key = s.val.Shifted(static_cast<std::int64_t>(s.storage) - n);
  s.heap_col = s.ri.Shifted(static_cast<std::int64_t>(s.storage) - n);
  s.heap_pos = s.ci.Shifted(static_cast<std::int64_t>(s.storage) - n);
  s.heap_length = 0;

  s.keep = ip[LU_Int::keep_factors] != 0;
  double limit = rp[LU_Real::l_factor_limit];
  s.lbound = limit >= 1.0001 ? limit : 1.0001;
  s.drop = rp[LU_Real::drop_tolerance];
  s.space = rp[LU_Real::space_factor];
  double d1 = rp[LU_Real::density_1], d2 = rp[LU_Real::density_2];
  s.density1 = d2 < d1 ? d2 : d1;
  s.density2 = d2;
  s.col_limit = ip[LU_Int::search_limit];
  s.row_limit = s.col_limit - 1;

  s.col_end = s.row_end = s.last_compressed = element_count;
  s.fp = s.keep ? s.usable + 1 : s.usable - n + 1;
  s.active = element_count;
  s.stamp = 0;
  s.threshold = 0.0;
  s.l_length = s.u_length = s.merit_sum = 0;
  s.u_triangle = m;
  s.l_triangle = s.dense1 = s.dense2 = s.rank = s.compressions = 0;
  s.l_max = s.u_max = s.diag_max = s.active_max = 0.0;
  s.diag_min = element_count == 0 ? 0.0 : 1e20;
  s.required = 0;
}

std::int32_t LU_FactorCore(LU_Core& s) {
  LU_Poll();
  const std::int32_t m = s.m, n = s.n;
  if (s.rule == LU_RULE_ROOK || s.rule == LU_RULE_COMPLETE) {
    LU_ColumnMaxFirst(s, n, s.cperm);
    LU_Factors unit_view{};
    unit_view.lu_value = s.val.base;
    unit_view.col_perm = s.cperm.base;
    unit_view.col_count_start = s.ccount.base;
    unit_view.col_start = s.cstart.base;
    unit_view.col_umax = s.cmax.base;
    LU_MarkUnitColumns(m, n, unit_view);
    if (s.rule == LU_RULE_ROOK) LU_RowMax(s, m, s.rperm);
    if (s.rule == LU_RULE_COMPLETE) {
      for (std::int32_t pos = 1; pos <= n; ++pos) {
        std::int32_t j = s.cperm[pos];
        double key = s.clen[j] > 0 ? std::fabs(s.val[s.cstart[j]]) : 0.0;
        LU_HeapInsert(s.heap_key, s.heap_col, s.heap_pos, pos, key, j);
      }
      s.heap_length = n;
    }
  }

  bool column_singletons = true, row_singletons = false, sparse = false, restricted = false;
  bool dense_ready = false, dense = false;
  const std::int32_t steps = std::min(m, n);
  std::int32_t k = 1;
  for (; k <= steps; ++k) {
    LU_Poll();
    const std::int32_t mleft = m - k + 1, nleft = n - k + 1;
    if (s.rcount[1] > m) break;  // every remaining row is empty
    if (s.rule == LU_RULE_COMPLETE) {
      double top = s.heap_length > 0 ? s.heap_key[1] : 0.0;
      if (top > s.active_max) s.active_max = top;
      s.threshold = top / s.lbound;
    }
    if (column_singletons) {
      std::int32_t j = ColumnSingleton(s);
      if (j != 0) {
        bool keep_maxima = s.rule != LU_RULE_PARTIAL;
        std::int32_t result = PivotStep(s, s.ri[s.cstart[j]], j, 0, keep_maxima);
        if (result != LU_OK) return result;
        continue;
      }
      column_singletons = false;
      s.u_triangle = k - 1;
      if (s.rule == LU_RULE_PARTIAL || s.rule == LU_RULE_DIAGONAL) {
        LU_ColumnMaxFirst(s, n, s.cperm);
      }
      row_singletons = true;
      sparse = true;
    }
    LU_Candidate best = SearchByRule(s);
    if (best.row == 0) {
      if (s.rule == LU_RULE_DIAGONAL) return LU_NO_DIAGONAL;
      break;  // nothing acceptable is left: the remainder counts as singular
    }
    const double area = static_cast<double>(mleft) * static_cast<double>(nleft);
    if (sparse) {
      if (row_singletons) {
        if (best.merit > 0) {
          row_singletons = false;
          s.l_triangle = k - 1 - s.u_triangle;
        }
      } else if (area * s.density1 <= static_cast<double>(s.active)) {
        sparse = false;
        restricted = true;
        s.row_limit = 0;
        s.dense1 = nleft;
      }
    } else if (restricted) {
      if (area * s.density2 <= static_cast<double>(s.active)) {
        restricted = false;
        dense_ready = true;
        s.col_limit = 1;
        s.dense2 = nleft;
      }
    }
    if (dense_ready && 2 * static_cast<std::int64_t>(mleft) * nleft < s.fp) {
      s.dense2 = nleft;
      dense = true;
      break;
    }
    std::int32_t result = PivotStep(s, best.row, best.col, best.merit, true);
    if (result != LU_OK) return result;
  }

  const std::int32_t done = k - 1;
  if (column_singletons) s.u_triangle = done;
  if (row_singletons) s.l_triangle = done - s.u_triangle;
  // Rows and columns without entries go to the end of their orders; the
  // pivots stay in front in pivot order.
  LU_PartitionList(m, s.rperm, s.rlen, s.rold);
  LU_PartitionList(n, s.cperm, s.clen, s.cold);
  if (dense) {
    LU_DenseFactor(s, done, s.rule == LU_RULE_PARTIAL);
  } else {
    s.rank = done;
    for (std::int32_t pos = done + 1; pos <= m; ++pos) s.rlen[s.rperm[pos]] = 0;
    for (std::int32_t pos = done + 1; pos <= n; ++pos) s.clen[s.cperm[pos]] = 0;
  }
  s.required = s.l_length + s.u_length + 2 * (static_cast<std::int64_t>(m) + n);
  return LU_OK;
}

namespace {

// Position of the first largest entry of column j (0 when empty).
std::int32_t ColumnMaxPosition(const LU_Core& s, std::int32_t j) {
  std::int32_t first = s.cstart[j], best = 0;
  double best_value = -1.0;
  for (std::int32_t p = first, e = first + s.clen[j]; p < e; ++p) {
    double a = std::fabs(s.val[p]);
    if (a > best_value) {
      best_value = a;
      best = p;
    }
  }
  return best;
}

}  // namespace

std::int32_t LU_EliminateStep(LU_Core& s, std::int32_t u_first, std::int32_t u_count,
                              std::int32_t l_first, std::int32_t l_count, std::int32_t slot_low,
                              bool max_first) {
  // Without an L column nothing in the other columns changes; only the
  // column maxima, when kept, need the walk below. Skipping it matters for
  // a long (dense) column met by many singleton pivots.
  if (l_count == 0 && !max_first) return LU_OK;
  for (std::int32_t t = 1; t < u_count; ++t) {
    const std::int32_t j = s.ci[u_first + t];
    const double u = s.val[u_first + t];
    const std::int32_t stamp = ++s.stamp;
    // The loops work on local copies of the array bases and the tolerance
    // (stores into the arrays cannot change them); plain pointers address
    // element 1 at offset 0.
    double* const val = s.val.base;
    const std::int32_t* const ri = s.ri.base;
    std::int32_t* const tags = s.row_tags;  // row i: L position at 2i-2, stamp at 2i-1
    const double* const multipliers = val + (l_first - 1);  // entry l at [l - 1]
    const double drop = s.drop;

    // The column's first largest entry is tracked on the way, separately
    // for the entries the step leaves alone and for the touched ones.
    double touched_max = -1.0, other_max = -1.0;
    std::int32_t touched_at = 0, other_at = 0;

    // Existing entries in rows of the pivot column are updated.
    bool dropped = false;
    std::int32_t hits = 0;
    for (std::int32_t p = s.cstart[j] - 1, e = p + s.clen[j]; p < e; ++p) {
      const std::int32_t row = ri[p];
      const std::int32_t l = tags[2 * row - 2];
      if (l == 0) {
        const double magnitude = std::fabs(val[p]);
        if (magnitude > other_max) {
          other_max = magnitude;
          other_at = p + 1;
        }
        continue;
      }
      const double a = val[p] + multipliers[l - 1] * u;
      val[p] = a;
      tags[2 * row - 1] = stamp;
      ++hits;
      const double magnitude = std::fabs(a);
      dropped |= magnitude <= drop;
      if (magnitude > touched_max) {
        touched_max = magnitude;
        touched_at = p + 1;
      }
    }
    if (dropped) RemoveDropped(s, j);

    // Fill-in goes to the other rows of the pivot column: room for all of
    // them, then the entries above the drop tolerance.
    const std::int32_t most = l_count - hits;
    if (most > 0) {
      const std::int32_t start = s.cstart[j];
      std::int32_t result = PlaceColumn(s, j, most, slot_low);
      if (result != LU_OK) return result;
      if (touched_at != 0) touched_at += s.cstart[j] - start;
      if (other_at != 0) other_at += s.cstart[j] - start;
      std::int32_t p = s.cstart[j] + s.clen[j];
      const std::int32_t* const lrows = s.ri.base + (l_first - 1);
      for (std::int32_t l = 0; l < l_count; ++l) {
        const std::int32_t row = lrows[l];
        if (s.Mark(row) == stamp) continue;
        const double a = multipliers[l] * u;
        const double magnitude = std::fabs(a);
        if (!(magnitude > drop)) continue;
        s.val[p] = a;
        EnterFill(s, row, j, p);
        if (magnitude > touched_max) {
          touched_max = magnitude;
          touched_at = p;
        }
        ++p;
      }
      s.clen[j] = p - s.cstart[j];
      if (p - 1 > s.col_end) s.col_end = p - 1;
    }

    if (!max_first || s.clen[j] == 0) continue;
    const std::int32_t first = s.cstart[j];
    std::int32_t best;
    if (dropped) {
      best = ColumnMaxPosition(s, j);  // the column closed up
    } else if (touched_max > other_max ||
               (touched_max == other_max && touched_at < other_at)) {
      best = touched_at;
    } else {
      best = other_at;
    }
    if (best > first) {
      std::swap(s.val[best], s.val[first]);
      std::swap(s.ri[best], s.ri[first]);
      // A pending fill-in remembers the offset of the first one in its
      // column; the swap may move a pending entry before it.
      if (s.cpend[j] != 0 && s.ri[first] > s.m) s.cpend[j] = 1;
    }
  }
  return LU_OK;
}

std::int32_t LU_PendingFill(LU_Core& s, std::int32_t u_first, std::int32_t u_count,
                            std::int32_t l_first, std::int32_t l_count, std::int32_t slot_low) {
  std::int64_t room = 0;
  for (std::int32_t l = 0; l < l_count; ++l) {
    std::int32_t row = s.ri[l_first + l];
    if (s.pend[row] > 0) room += s.rlen[row] + s.pend[row];
  }
  if (room == 0) return LU_OK;
  if (slot_low - 1 - s.row_end < room) {
    CompressRows(s);
    if (slot_low - 1 - s.row_end < room) return OutOfStorage(s);
  }
  // Every growing row moves to the end with room for its pending entries.
  for (std::int32_t l = 0; l < l_count; ++l) {
    std::int32_t row = s.ri[l_first + l];
    if (s.pend[row] == 0) continue;
    std::int32_t from = s.rstart[row], len = s.rlen[row], to = s.row_end + 1;
    for (std::int32_t t = 0; t < len; ++t) {
      s.ci[to + t] = s.ci[from + t];
      s.ci[from + t] = 0;
    }
    s.rstart[row] = to;
    s.row_end = to + len + s.pend[row] - 1;
    for (std::int32_t q = to + len; q <= s.row_end; ++q) s.ci[q] = 0;
    s.pend[row] = 0;
  }
  // Unmark the pending entries in their columns and append them to the rows.
  for (std::int32_t t = 1; t < u_count; ++t) {
    std::int32_t j = s.ci[u_first + t];
    if (s.cpend[j] == 0) continue;
    for (std::int32_t p = s.cstart[j] + s.cpend[j] - 1, e = s.cstart[j] + s.clen[j]; p < e; ++p) {
      if (s.ri[p] <= s.m) continue;
      std::int32_t row = s.ri[p] - s.m;
      s.ri[p] = row;
      s.ci[s.rstart[row] + s.rlen[row]] = j;
      ++s.rlen[row];
    }
    s.cpend[j] = 0;
  }
  return LU_OK;
}
