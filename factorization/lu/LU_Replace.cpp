// Column replacement of the sparse LU engine. The old column leaves the rows
// of U, the new one (transformed by L^-1) enters them, and the column moves
// to the last position that received an entry; the row that held the old
// pivot becomes a spike at that position and is eliminated by the rows in
// between, with row interchanges when a multiplier would be too large. New
// multipliers are appended to L. The pivot at the end is judged, so the rank
// may stay, fall or rise by one.
#include <cmath>
#include <utility>

#include "factorization/lu/LU_Library.hpp"

namespace {

std::int64_t FreeSpace(const LU_Update& u) {
  return static_cast<std::int64_t>(u.storage) - u.l_length - u.row_end;
}

void TrimRowEnd(LU_Update& u) {
  while (u.row_end >= 1 && u.ci[u.row_end] == 0) --u.row_end;
}

void CompressRows(LU_Update& u) {
  u.row_end = LU_Compress(u.m, u.val.base, u.ci, u.rlen, u.rstart, u.row_end, u.compressions);
}

bool RowGrowsInPlace(const LU_Update& u, std::int32_t i, std::int32_t extra,
                     std::int32_t reserve) {
  std::int32_t len = u.rlen[i];
  if (len <= 0) return false;
  std::int32_t next = u.rstart[i] + len;
  if (next - 1 == u.row_end) return FreeSpace(u) >= extra + reserve;
  if (next + extra - 1 > u.row_end || FreeSpace(u) < reserve) return false;
  for (std::int32_t q = next; q < next + extra; ++q) {
    if (u.ci[q] != 0) return false;
  }
  return true;
}

// Makes row i able to take `extra` entries after its last one while
// `reserve` positions stay free below L: in place, or by moving the row to
// the end of the row file (compressing first when needed). Returns 0 or 7.
std::int32_t RoomForRow(LU_Update& u, std::int32_t i, std::int32_t extra, std::int32_t reserve) {
  if (RowGrowsInPlace(u, i, extra, reserve)) return LU_OK;
  std::int32_t len = u.rlen[i];
  if (FreeSpace(u) < static_cast<std::int64_t>(len) + extra + reserve) {
    CompressRows(u);
    if (RowGrowsInPlace(u, i, extra, reserve)) return LU_OK;
    if (FreeSpace(u) < static_cast<std::int64_t>(len) + extra + reserve) return LU_NO_STORAGE;
  }
  std::int32_t from = u.rstart[i], to = u.row_end + 1;
  for (std::int32_t t = 0; t < len; ++t) {
    u.val[to + t] = u.val[from + t];
    u.ci[to + t] = u.ci[from + t];
    u.ci[from + t] = 0;
  }
  u.rstart[i] = to;
  u.row_end = to + len - 1;
  return LU_OK;
}

void AppendToRow(LU_Update& u, std::int32_t i, std::int32_t col, double value) {
  std::int32_t q = u.rstart[i] + u.rlen[i];
  u.val[q] = value;
  u.ci[q] = col;
  ++u.rlen[i];
  ++u.u_length;
  if (q > u.row_end) u.row_end = q;
}

// Removes the entry at position q of row i: the row's last entry takes its
// place.
void RemoveFromRow(LU_Update& u, std::int32_t i, std::int32_t q) {
  std::int32_t last = u.rstart[i] + u.rlen[i] - 1;
  u.val[q] = u.val[last];
  u.ci[q] = u.ci[last];
  u.ci[last] = 0;
  --u.rlen[i];
  --u.u_length;
  if (last == u.row_end) TrimRowEnd(u);
}

// One multiplier below the current L (the caller made room):
// v(row) += value * v(pivot_row).
void AppendL(LU_Update& u, std::int32_t row, std::int32_t pivot_row, double value) {
  ++u.l_length;
  std::int32_t q = static_cast<std::int32_t>(u.storage - u.l_length + 1);
  u.val[q] = value;
  u.ri[q] = row;
  u.ci[q] = pivot_row;
}

void DeleteRow(LU_Update& u, std::int32_t i) {
  for (std::int32_t q = u.rstart[i], e = u.rstart[i] + u.rlen[i]; q < e; ++q) u.ci[q] = 0;
  u.u_length -= u.rlen[i];
  u.rlen[i] = 0;
  TrimRowEnd(u);
}

void Scatter(LU_Update& u, std::int32_t r) {
  for (std::int32_t q = u.rstart[r], e = u.rstart[r] + u.rlen[r]; q < e; ++q) u.scatter[u.ci[q]] = q;
}

void ClearScatter(LU_Update& u, std::int32_t r) {
  for (std::int32_t q = u.rstart[r], e = u.rstart[r] + u.rlen[r]; q < e; ++q) u.scatter[u.ci[q]] = 0;
}

// Removes the spike row's entry at position q, keeping the scatter current.
void RemoveSpikeEntry(LU_Update& u, std::int32_t r, std::int32_t q) {
  u.scatter[u.ci[q]] = 0;
  std::int32_t last = u.rstart[r] + u.rlen[r] - 1;
  if (q != last) u.scatter[u.ci[last]] = q;
  RemoveFromRow(u, r, q);
}

// Adds multiplier times the entries of row i after its pivot into the spike
// row r (scattered); sums that become negligible are removed. Returns 0 or 7.
std::int32_t AddRowIntoSpike(LU_Update& u, std::int32_t r, std::int32_t i, double multiplier) {
  std::int32_t start = u.rstart[r];
  std::int32_t result = RoomForRow(u, r, u.rlen[i] - 1, 1);
  if (result != LU_OK) return result;
  if (u.rstart[r] != start) Scatter(u, r);
  AppendL(u, r, i, multiplier);
  const std::int32_t first = u.rstart[i] + 1, end = u.rstart[i] + u.rlen[i];
  for (std::int32_t q = first; q < end; ++q) {
    std::int32_t col = u.ci[q];
    double add = multiplier * u.val[q];
    std::int32_t at = u.scatter[col];
    if (at != 0) {
      u.val[at] += add;
    } else if (std::fabs(add) > u.drop) {
      AppendToRow(u, r, col, add);
      u.scatter[col] = u.rstart[r] + u.rlen[r] - 1;
    }
  }
  for (std::int32_t q = first; q < end; ++q) {
    std::int32_t at = u.scatter[u.ci[q]];
    if (at != 0 && std::fabs(u.val[at]) <= u.drop) RemoveSpikeEntry(u, r, at);
  }
  return LU_OK;
}

// Removes the row at the rank position when its largest entry (j's entry
// excluded when `exclude` is j) is negligible; otherwise that entry becomes
// its pivot. Returns the pivot, 0 when the row was deleted.
double ExamineRankRow(LU_Update& u, std::int32_t exclude) {
  if (u.rank == 0) return 0.0;
  // A tentative pivot row beyond the last column (a full-column-rank update)
  // has had every entry eliminated; it cannot stay.
  const double d = u.rank <= u.n ? LU_CheckLastRow(u, exclude) : 0.0;
  if (std::fabs(d) > u.abs_tol) return d;
  DeleteRow(u, u.rperm[u.rank]);
  --u.rank;
  return 0.0;
}

std::int32_t PositionOf(const LU_Array<std::int32_t>& perm, std::int32_t count, std::int32_t x) {
  for (std::int32_t k = 1; k <= count; ++k) {
    if (perm[k] == x) return k;
  }
  return 0;
}

bool Singular(const LU_Update& u, double diag, double vnorm) {
  double a = std::fabs(diag);
  return !(a > u.abs_tol) || !(a > u.rel_tol * vnorm);
}

// The entries of the new column below the old rank, after the rows above
// have been settled: they form a new L column whose pivot row becomes a
// pivot row of column j (when j has no pivot) or a spike to be eliminated.
// placed: whether such a pivot row was added.
std::int32_t PlaceBelowRank(LU_Update& u, std::int32_t j, const double* v, std::int32_t first,
                            double& vnorm, bool& placed) {
  double pivot = 0.0;
  placed = false;
  std::int32_t result = LU_EliminateBelowRank(u, j, v, first, pivot);
  if (result != LU_OK || pivot == 0.0) return result;
  placed = true;
  vnorm += std::fabs(pivot);
  std::int32_t kj = PositionOf(u.cperm, u.n, j);
  if (kj >= u.rank) {
    std::swap(u.cperm[kj], u.cperm[u.rank]);
    if (Singular(u, pivot, vnorm)) ExamineRankRow(u, j);
    return LU_OK;
  }
  double diag = 0.0;
  result = LU_ForwardSweep(u, kj, u.rank, diag);
  if (result == LU_NO_STORAGE) return result;
  ExamineRankRow(u, 0);
  return LU_OK;
}

// The replacement proper on a valid column j. Returns 0, 2 or 7; diag is
// the spike's diagonal behind result 2.
std::int32_t Replace(LU_Update& u, const LU_IntParams& ip, const LU_RealParams& rp,
                     const LU_Factors& f, std::int32_t mode_old, std::int32_t mode_new,
                     std::int32_t j, double* v, double& diag, double& vnorm) {
  const std::int32_t rank0 = u.rank;
  const std::int32_t krep = LU_DeleteColumnU(u, mode_old, j);
  if (mode_new == LU_NEW_GIVEN) LU_SolveL(ip, rp, f, v);  // L is unchanged so far
  std::int32_t touched = 0, result = LU_OK;
  bool placed = false;
  const bool has_column = mode_new == LU_NEW_GIVEN || mode_new == LU_NEW_TRANSFORMED;
  if (has_column) {
    result = LU_AddColumnU(u, j, v, vnorm, touched);
    if (result != LU_OK) return result;
  }

  if (krep > rank0) {
    // j had no pivot: its entries above the rank lie right of every pivot.
    if (has_column && rank0 < u.m) {
      result = PlaceBelowRank(u, j, v, rank0 + 1, vnorm, placed);
      if (result != LU_OK || placed) return result;
    }
    if (u.rank < u.n) ExamineRankRow(u, 0);
    return LU_OK;
  }

  const std::int32_t klast = touched > krep ? touched : krep;
  LU_CyclicPermute(u.rperm, krep, klast);
  LU_CyclicPermute(u.cperm, krep, klast);
  result = LU_ForwardSweep(u, krep, klast, diag);
  if (result == LU_NO_STORAGE) return result;
  if (vnorm < u.rel_tol * std::fabs(diag)) return LU_UNSTABLE;
  const bool singular = result == LU_NO_SPIKE_DIAGONAL || Singular(u, diag, vnorm);
  if (singular && klast < u.rank) {
    LU_CyclicPermute(u.rperm, klast, u.rank);
    LU_CyclicPermute(u.cperm, klast, u.rank);
    double ignored = 0.0;
    if (LU_ForwardSweep(u, klast, u.rank, ignored) == LU_NO_STORAGE) return LU_NO_STORAGE;
  }
  if (singular || u.rank < u.n) ExamineRankRow(u, singular ? j : 0);
  if (has_column && rank0 < u.m) return PlaceBelowRank(u, j, v, rank0 + 1, vnorm, placed);
  return LU_OK;
}

}  // namespace

std::int32_t LU_DeleteColumnU(LU_Update& u, std::int32_t mode_old, std::int32_t j) {
  if (mode_old == LU_OLD_ZERO) return PositionOf(u.cperm, u.n, j);
  for (std::int32_t k = 1; k <= u.n; ++k) {
    if (k <= u.rank) {
      const std::int32_t i = u.rperm[k];
      if (u.rlen[i] > 0) {
        const std::int32_t at = LU_FindIndex(&u.ci[u.rstart[i]], u.rlen[i], j);
        if (at >= 0) RemoveFromRow(u, i, u.rstart[i] + at);
      }
    }
    if (u.cperm[k] == j) return k;
  }
  return 0;
}

std::int32_t LU_AddColumnU(LU_Update& u, std::int32_t j, const double* v, double& vnorm,
                           std::int32_t& touched) {
  LU_Array<const double> x(v);
  touched = 0;
  for (std::int32_t k = 1; k <= u.rank; ++k) {
    std::int32_t i = u.rperm[k];
    double a = std::fabs(x[i]);
    if (!(a > u.drop)) continue;
    vnorm += a;
    if (RoomForRow(u, i, 1, 0) != LU_OK) return LU_NO_STORAGE;
    AppendToRow(u, i, j, x[i]);
    touched = k;
  }
  return LU_OK;
}

std::int32_t LU_EliminateBelowRank(LU_Update& u, std::int32_t j, const double* v,
                                   std::int32_t first, double& diag) {
  LU_Array<const double> x(v);
  diag = 0.0;
  std::int32_t count = 0, best = 0;
  double best_value = 0.0;
  for (std::int32_t k = first; k <= u.m; ++k) {
    double a = std::fabs(x[u.rperm[k]]);
    if (!(a > u.drop)) continue;
    ++count;
    if (a > best_value) {
      best_value = a;
      best = k;
    }
  }
  if (count == 0 || best == 0) return LU_OK;
  // count - 1 multipliers and the one-entry row of the pivot.
  if (FreeSpace(u) < count) {
    CompressRows(u);
    if (FreeSpace(u) < count) return LU_NO_STORAGE;
  }
  const std::int32_t p = u.rperm[best];
  const double pivot = x[p];
  for (std::int32_t k = first; k <= u.m; ++k) {
    std::int32_t i = u.rperm[k];
    if (i == p || !(std::fabs(x[i]) > u.drop)) continue;
    AppendL(u, i, p, -x[i] / pivot);
  }
  u.rperm[best] = u.rperm[u.rank + 1];
  u.rperm[u.rank + 1] = p;
  ++u.rank;
  u.rstart[p] = u.row_end + 1;
  u.rlen[p] = 0;
  AppendToRow(u, p, j, pivot);
  diag = pivot;
  return LU_OK;
}

double LU_CheckLastRow(LU_Update& u, std::int32_t exclude) {
  if (u.rank < 1) return 0.0;
  const std::int32_t i = u.rperm[u.rank];
  const std::int32_t first = u.rstart[i], end = first + u.rlen[i];
  std::int32_t best = 0;
  double best_value = -1.0;
  for (std::int32_t q = first; q < end; ++q) {
    if (u.ci[q] == exclude) continue;
    double a = std::fabs(u.val[q]);
    if (best == 0 || a > best_value) {
      best = q;
      best_value = a;
    }
  }
  if (best == 0) return 0.0;
  double value = u.val[best];
  std::int32_t col = u.ci[best];
  u.val[best] = u.val[first];
  u.ci[best] = u.ci[first];
  u.val[first] = value;
  u.ci[first] = col;
  for (std::int32_t k = u.rank; k <= u.n; ++k) {
    if (u.cperm[k] == col) {
      u.cperm[k] = u.cperm[u.rank];
      u.cperm[u.rank] = col;
      break;
    }
  }
  return value;
}

std::int32_t LU_ForwardSweep(LU_Update& u, std::int32_t first, std::int32_t last, double& diag) {
  LU_Poll();
  diag = 0.0;
  std::int32_t r = u.rperm[last];
  if (u.rlen[r] == 0) return LU_NO_SPIKE_DIAGONAL;
  Scatter(u, r);
  std::int32_t interchanged_at = 0;
  std::int32_t k = first;
  while (k < last) {
    LU_Poll();
    const std::int32_t c = u.cperm[k];
    const std::int32_t at = u.scatter[c];
    const std::int32_t i = u.rperm[k];
    if (at == 0 || u.rlen[i] == 0 || u.ci[u.rstart[i]] != c) {
      ++k;
      continue;
    }
    const double x = u.val[at], y = u.val[u.rstart[i]];
    const double ax = std::fabs(x), ay = std::fabs(y);
    const bool eliminate = k == interchanged_at || u.update_limit * ax < ay ||
                           (ax <= u.update_limit * ay && u.rlen[i] <= u.rlen[r]);
    if (eliminate) {
      RemoveSpikeEntry(u, r, at);
      if (ax > u.drop) {
        std::int32_t result = AddRowIntoSpike(u, r, i, -x / y);
        if (result != LU_OK) {
          ClearScatter(u, r);
          return result;
        }
      }
      ++k;
      continue;
    }
    // Interchange: the spike takes position k with x as its pivot, and row i
    // becomes the spike.
    u.rperm[k] = r;
    u.rperm[last] = i;
    const std::int32_t front = u.rstart[r];
    std::swap(u.val[at], u.val[front]);
    std::swap(u.ci[at], u.ci[front]);
    ClearScatter(u, r);
    r = i;
    Scatter(u, r);
    interchanged_at = k;
  }
  ClearScatter(u, r);
  std::int32_t result = LU_NO_SPIKE_DIAGONAL;
  // The spike may sit one past the last column when a full-column-rank
  // update eliminates a new row; it then has no diagonal.
  const std::int32_t col = last <= u.n ? u.cperm[last] : 0;
  const std::int32_t front = u.rstart[r];
  for (std::int32_t q = front; q < front + u.rlen[r] && col != 0; ++q) {
    if (u.ci[q] != col) continue;
    std::swap(u.val[q], u.val[front]);
    std::swap(u.ci[q], u.ci[front]);
    diag = u.val[front];
    result = LU_OK;
    break;
  }
  double limit = u.space * static_cast<double>(u.u_length) + u.m + u.n + 1000.0;
  if (static_cast<double>(u.row_end) > limit) CompressRows(u);
  return result;
}

std::int32_t LU_ReplaceColumn(std::int32_t mode_old, std::int32_t mode_new, std::int32_t m,
                              std::int32_t n, std::int32_t j, double* v, LU_IntParams& ip,
                              LU_RealParams& rp, LU_Factors& f, double& diag, double& vnorm) {
  LU_Poll();
  diag = 0.0;
  vnorm = 0.0;
  LU_Update u;
  u.m = m;
  u.n = n;
  u.storage = f.storage_length;
  u.rank = ip[LU_Int::rank];
  u.l_length = ip[LU_Int::l_length];
  u.u_length = ip[LU_Int::u_length];
  u.row_end = ip[LU_Int::row_file_end];
  u.compressions = ip[LU_Int::compression_count];
  u.drop = rp[LU_Real::drop_tolerance];
  u.abs_tol = rp[LU_Real::u_abs_tolerance];
  u.rel_tol = rp[LU_Real::u_rel_tolerance];
  u.update_limit = rp[LU_Real::l_update_limit];
  u.space = rp[LU_Real::space_factor];
  u.val = LU_View(f.lu_value);
  u.ci = LU_View(f.lu_col_index);
  u.ri = LU_View(f.lu_row_index);
  u.rperm = LU_View(f.row_perm);
  u.cperm = LU_View(f.col_perm);
  u.rlen = LU_View(f.row_len);
  u.rstart = LU_View(f.row_start);
  u.scatter = LU_View(f.col_start);

  const std::int32_t rank0 = u.rank;
  std::int32_t result;
  if (j < 1 || j > n) {
    result = LU_BAD_COLUMN;
  } else {
    result = Replace(u, ip, rp, f, mode_old, mode_new, j, v, diag, vnorm);
    if (result == LU_OK) {
      result = u.rank == rank0 ? LU_OK : (u.rank < rank0 ? LU_RANK_DOWN : LU_RANK_UP);
      std::int32_t kj = PositionOf(u.cperm, u.rank, j);
      diag = kj != 0 ? u.val[u.rstart[u.rperm[kj]]] : 0.0;
    }
  }
  ip[LU_Int::result_code] = result;
  ++ip[LU_Int::update_count];
  ip[LU_Int::rank] = u.rank;
  ip[LU_Int::l_length] = static_cast<std::int32_t>(u.l_length);
  ip[LU_Int::u_length] = static_cast<std::int32_t>(u.u_length);
  ip[LU_Int::row_file_end] = u.row_end;
  ip[LU_Int::compression_count] = u.compressions;
  return result;
}
