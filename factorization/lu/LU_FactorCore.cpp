// Factor core of the sparse LU engine: chooses one pivot at a time by a
// Markowitz merit under the stability test of the pivoting rule, eliminates
// it with fill-in in the column file (values) and the row file (pattern),
// keeps the count buckets, column maxima, row maxima (rule 1) and the heap of
// column maxima (rule 2) current, compresses the files when space runs
// short (and grows the storage through the caller's hook, the first growth
// by a large step), and hands a dense remainder to the dense kernels.
//
// Factor area: each pivot's slot lies just below the previous one (newest
// lowest): its U row first (pivot, then the other entries), its L column
// above it. The pivot row and column are marked with row_len = -(U length)
// and col_len = -(L length + 1).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#ifdef LU_DEBUG_CHECK
#include <cstdio>
#include <cstdlib>
#endif

#include "factorization/lu/LU_Library.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

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
  // Between pivot steps no row belongs to an L column: the elimination's
  // update without tests relies on every multiplier being 0 then.
  for (std::int32_t i = 1; i <= s.m; ++i) {
    if (s.tags[i].l_position != 0 || s.tags[i].multiplier != 0.0) fail("row tag", i, 0);
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

// Storage of at least this many positions is advised for large pages
// (LU_AdviseLargePages); below it the values fill less than one.
constexpr std::int32_t kLargePageStorage = 1 << 18;

// How many items ahead the walks over the columns of a U row and the rows of
// an L column ask for the first entries of the item they will reach: each
// item lies elsewhere in its file, and its first line is a cache miss that
// the walk would otherwise wait for.
constexpr std::int32_t kAhead = 4;

// Asks the cache for the line at p ahead of its use (only a hint).
inline void Prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

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

// Free positions between a file's end and the current slot (or the slot
// being claimed).
std::int64_t FreeBelowSlot(const LU_Core& s, std::int32_t file_end) {
  return static_cast<std::int64_t>(s.slot_low) - s.claim - 1 - file_end;
}

// After a file was compressed (its end file_end): true when the free space
// below the slot holds `need` positions, growing the storage first when the
// caller provides growth and either the space is short or it is smaller than
// the file itself (so that compressions do not follow each other closely).
bool RoomAfterCompress(LU_Core& s, std::int32_t file_end, std::int64_t need) {
  const std::int64_t free = FreeBelowSlot(s, file_end);
  const std::int64_t wanted = need + file_end;
  if (free < wanted) LU_GrowCore(s, wanted - free);
  return FreeBelowSlot(s, file_end) >= need;
}

// Below this share of free positions a file is not compressed only to stay
// in storage written before: a compression reads every position of the file
// once, while a first write costs the system a fault and the clearing of
// the page (about 10 us per 4 KiB page), several times more per position.
constexpr std::int64_t kWrittenShare = 8;

// True when a file ending at file_end, about to take `need` more positions
// beyond the storage written so far, holds enough free positions that
// compressing it costs less than extending it into fresh storage. Storage
// advised for large pages takes one fault per large page, far less per
// position than a compression: files there extend without compressing
// (on the obstacle basis of a 200 x 200 grid they compressed 23 times
// instead of 9 for 3 faults saved).
bool CompressBeforeFresh(const LU_Core& s, std::int32_t file_end, std::int32_t need) {
  if (s.storage >= kLargePageStorage) return false;
  if (static_cast<std::int64_t>(file_end) + need <= s.written) return false;
  const std::int64_t free = file_end - s.active;
  return free * kWrittenShare > file_end;
}

// Records that a file reached file_end: positions up to there are written.
void NoteWritten(LU_Core& s, std::int32_t file_end) {
  if (file_end > s.written) s.written = file_end;
}

// Compression before a pivot step whose slot of `need` positions lies just
// below the factors: each file needs `need` free positions below the slot
// and no end beyond the limit, and is compressed rather than extended into
// storage not yet written when that is cheaper.
std::int32_t MakeRoom(LU_Core& s, std::int32_t need) {
  // Until the room is there the slot is only claimed: a growth meanwhile
  // moves the factors from the factor pointer on.
  s.claim = need;
  double limit = s.space * s.last_compressed + s.m + s.n + 1000.0;
  std::int32_t max_end = ClampToInt(limit);
  NoteWritten(s, std::min(s.col_end, s.row_end));
  if (FreeBelowSlot(s, s.col_end) < need || s.col_end > max_end ||
      CompressBeforeFresh(s, s.col_end, need)) {
    CompressColumns(s);
    if (!RoomAfterCompress(s, s.col_end, need)) return OutOfStorage(s);
  }
  if (FreeBelowSlot(s, s.row_end) < need || s.row_end > max_end ||
      CompressBeforeFresh(s, s.row_end, need)) {
    CompressRows(s);
    if (!RoomAfterCompress(s, s.row_end, need)) return OutOfStorage(s);
  }
  s.claim = 0;
  s.slot_low = s.fp - need;
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
bool ColumnGrowsInPlace(const LU_Core& s, std::int32_t j, std::int32_t extra) {
  std::int32_t next = s.cstart[j] + s.clen[j];
  if (next - 1 == s.col_end) return FreeBelowSlot(s, s.col_end) >= extra;
  if (next + extra - 1 > s.col_end) return false;
  for (std::int32_t p = next; p < next + extra; ++p) {
    if (s.ri[p] != 0) return false;
  }
  return true;
}

// Makes room for `extra` new entries of column j, moving it to the end of the
// column file (compressing, and growing the storage, first when needed).
// Returns 0 or 7.
std::int32_t PlaceColumn(LU_Core& s, std::int32_t j, std::int32_t extra) {
  if (ColumnGrowsInPlace(s, j, extra)) return LU_OK;
  std::int32_t len = s.clen[j];
  if (FreeBelowSlot(s, s.col_end) < len + extra) {
    CompressColumns(s);
    LU_Poll();
    if (ColumnGrowsInPlace(s, j, extra)) return LU_OK;
    if (!RoomAfterCompress(s, s.col_end, len + extra)) return OutOfStorage(s);
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
  std::int32_t result = MakeRoom(s, slot);
  if (result != LU_OK) return result;
  // Storage growth moves the slot along with the factors: positions in it
  // are read from s after every step that may grow the storage.
  const std::int32_t slot_low = s.slot_low;

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
  s.u_first = u_first;
  const double apivot = std::fabs(pivot);
  if (apivot > s.diag_max) s.diag_max = apivot;
  if (apivot < s.diag_min) s.diag_min = apivot;
  if (apivot > s.u_max) s.u_max = apivot;
  s.val[u_first] = pivot;
  s.ci[u_first] = j;
  s.ri[u_first] = 0;
  s.cold[j] = c;
  for (std::int32_t t = 1; t < r; ++t) {
    if (t + kAhead < r) {
      // The walk reads the column's first entries and its last, which takes
      // the place of the entry taken out.
      const std::int32_t ahead = s.ci[rs + t + kAhead];
      Prefetch(&s.ri[s.cstart[ahead]]);
      Prefetch(&s.val[s.cstart[ahead] + s.clen[ahead] - 1]);
    }
    std::int32_t jj = s.ci[rs + t];
    s.cold[jj] = s.clen[jj];
    double a = ColumnTakeRow(s, jj, i);
    s.val[u_first + t] = a;
    s.ci[u_first + t] = jj;
    s.ri[u_first + t] = 0;
    if (std::fabs(a) > s.u_max) s.u_max = std::fabs(a);
  }

  // L column: multipliers of the pivot column's other rows, also scattered
  // into the rows' tags for the elimination.
  const std::int32_t l_first = slot_low + r;
  s.l_first = l_first;
  const double inverse = 1.0 / pivot;
  s.rold[i] = r;
  for (std::int32_t t = 1; t < c; ++t) {
    if (t + kAhead < c) Prefetch(&s.ci[s.rstart[s.ri[cs + t + kAhead]]]);
    std::int32_t row = s.ri[cs + t];
    double multiplier = -s.val[cs + t] * inverse;
    std::int32_t l = l_first + t - 1;
    s.val[l] = multiplier;
    s.ri[l] = row;
    s.ci[l] = i;
    if (std::fabs(multiplier) > s.l_max) s.l_max = std::fabs(multiplier);
    s.tags[row].multiplier = multiplier;
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
    result = LU_EliminateStep(s, r, c - 1, keep_maxima);
    if (result == LU_OK) result = LU_PendingFill(s, r, c - 1);
    if (result != LU_OK) return result;
  }
  const std::int32_t u_row = s.u_first, l_column = s.l_first;

  // Count buckets: the columns of the pivot row, then the pivot row and the
  // rows of the pivot column (pivot row and column go to count 0, where they
  // collect in pivot order). The active count follows the rows the pivot
  // eliminated: each lost its entry in the pivot column and gained its
  // fill-ins.
  LU_UpdateOrdering(r, s.ci.Shifted(u_row - 1), s.cold, s.clen, s.ccount, s.m, s.cperm,
                    s.cinv);
  std::int32_t pivot_row[1] = {i};
  LU_UpdateOrdering(1, LU_Array<const std::int32_t>(pivot_row), s.rold, s.rlen, s.rcount, s.n,
                    s.rperm, s.rinv);
  s.active += LU_UpdateOrdering(c - 1, s.ri.Shifted(l_column - 1), s.rold, s.rlen, s.rcount,
                                s.n, s.rperm, s.rinv);

  if (keep_maxima) {
    if (s.rule == LU_RULE_ROOK) LU_RowMax(s, c - 1, s.ri.Shifted(l_column - 1));
    // The elimination moved each column's largest entry to its front.
    if (r > 1) {
      if (s.rule == LU_RULE_COMPLETE) {
        for (std::int32_t t = 1; t < r; ++t) {
          std::int32_t jj = s.ci[u_row + t];
          double key = s.clen[jj] > 0 ? std::fabs(s.val[s.cstart[jj]]) : 0.0;
          LU_HeapChange(s.heap_key, s.heap_col, s.heap_pos, s.heap_length, s.heap_pos[jj], key,
                        jj);
        }
      }
    }
  }

  s.rlen[i] = -r;
  s.clen[j] = -c;
  for (std::int32_t t = 1; t < c; ++t) {
    LU_RowTag& tag = s.tags[s.ri[l_column + t - 1]];
    tag.l_position = 0;
    tag.multiplier = 0.0;
  }
  CheckInvariants(s, "pivot step");
  if (s.keep) s.fp = s.slot_low;
  const std::int32_t low = s.slot_low;
  s.slot_low = s.fp;
  if (low <= s.col_end || low <= s.row_end) return LU_INCONSISTENT;
  return LU_OK;
}

// Views of the storage arrays and of the areas the rule reserves at their
// end (the row maxima of rule 1, the heap of rule 2).
void BindStorage(LU_Core& s) {
  const LU_Factors& f = *s.factors;
  s.val = LU_View(f.lu_value);
  s.ri = LU_View(f.lu_row_index);
  s.ci = LU_View(f.lu_col_index);
  s.rowmax = s.val.Shifted(static_cast<std::int64_t>(s.storage) - s.m);
  s.heap_key = s.val.Shifted(static_cast<std::int64_t>(s.storage) - s.n);
  s.heap_col = s.ri.Shifted(static_cast<std::int64_t>(s.storage) - s.n);
  s.heap_pos = s.ci.Shifted(static_cast<std::int64_t>(s.storage) - s.n);
}

// Offset (in int32 elements) of the row tags in the work array: after the
// integer scratch, rounded up so that the doubles of the tags are aligned.
std::int64_t TagOffset(const std::int32_t* work, std::int32_t m, std::int32_t n) {
  std::int64_t offset = 3 * static_cast<std::int64_t>(m) + 2 * static_cast<std::int64_t>(n);
  const auto address = reinterpret_cast<std::uintptr_t>(work + offset);
  if (address % alignof(LU_RowTag) != 0) ++offset;
  return offset;
}

}  // namespace

std::int64_t LU_WorkLength(std::int32_t m, std::int32_t n) {
  // Integer scratch 3m + 2n, the row tags (4 int32 each) and one element to
  // align them.
  return 3 * static_cast<std::int64_t>(m) + 2 * static_cast<std::int64_t>(n) +
         4 * static_cast<std::int64_t>(m) + 1;
}

void LU_CopyStorage(const LU_Factors& from, double* val, std::int32_t* ri, std::int32_t* ci,
                    std::int32_t length, std::int32_t front_end, std::int32_t back_start) {
  const std::int64_t front = front_end > 0 ? front_end : 0;
  const std::int64_t back = static_cast<std::int64_t>(from.storage_length) - back_start + 1;
  const std::int64_t shift = static_cast<std::int64_t>(length) - from.storage_length;
  std::copy(from.lu_value, from.lu_value + front, val);
  std::copy(from.lu_row_index, from.lu_row_index + front, ri);
  std::copy(from.lu_col_index, from.lu_col_index + front, ci);
  if (back <= 0) return;
  const std::int64_t at = back_start - 1;
  std::copy(from.lu_value + at, from.lu_value + at + back, val + at + shift);
  std::copy(from.lu_row_index + at, from.lu_row_index + at + back, ri + at + shift);
  std::copy(from.lu_col_index + at, from.lu_col_index + at + back, ci + at + shift);
}

namespace {

// Asks the system to back the pages that block (`bytes` long) touches with
// large pages. The advice takes whole pages, so it covers the pages block
// shares with its neighbours too: storage arrays that lie one after the
// other then form one advised range, where a large page may straddle the
// border of two arrays (the files start at those borders).
void AdviseLargePages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kPage = 4096;
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = begin & ~(kPage - 1);
  const std::uintptr_t last = (begin + bytes + kPage - 1) & ~(kPage - 1);
  // Only a hint: the pages stay usable whatever the answer.
  if (last > first) (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace

void LU_AdviseLargePages(const LU_Factors& f) {
  if (f.storage_length < kLargePageStorage) return;
  const auto length = static_cast<std::size_t>(f.storage_length);
  AdviseLargePages(f.lu_value, length * sizeof(double));
  AdviseLargePages(f.lu_row_index, length * sizeof(std::int32_t));
  AdviseLargePages(f.lu_col_index, length * sizeof(std::int32_t));
}

bool LU_GrowCore(LU_Core& s, std::int64_t extra) {
  LU_Factors& f = *s.factors;
  if (f.grow == nullptr || extra <= 0) return false;
  const std::int32_t old_length = s.storage;
  std::int64_t min_length = static_cast<std::int64_t>(old_length) + extra;
  if (min_length > kIntMax) return false;
  if (s.growths == 0) min_length = LU_FirstGrowthLength(s.m, s.n, old_length, min_length);
  const std::int32_t front = std::max(s.col_end, s.row_end);
  const std::int32_t back = std::min(s.fp, s.slot_low);
  if (!f.grow(f.grow_context, f, min_length, front, back)) return false;
  // The factors, the reserved areas and the current slot moved up by the
  // growth; the files stayed where they were.
  const std::int32_t delta = f.storage_length - old_length;
  ++s.growths;
  s.written = front;  // the copy wrote the files' part of the new storage
  s.storage += delta;
  s.usable += delta;
  s.fp += delta;
  s.slot_low += delta;
  s.u_first += delta;
  s.l_first += delta;
  BindStorage(s);
  return delta >= extra;
}

std::int64_t LU_FirstGrowthLength(std::int32_t m, std::int32_t n, std::int32_t storage,
                                  std::int64_t min_length) {
  // Fill tends to come late in a factorization (it grows with the active
  // submatrix), so a storage that runs short once usually runs short again.
  // Each growth copies what is in use and writes fresh memory; positions
  // that are never used cost address space only, but a request far beyond
  // the need may still fail where a smaller one would not: the boost stops
  // at kMostBoosted positions.
  constexpr std::int64_t kFirstGrowthFactor = 9;
  constexpr std::int64_t kMostBoosted = std::int64_t{1} << 24;  // 256 MiB of storage
  const std::int64_t dense =
      2 * static_cast<std::int64_t>(m) * n + 2 * (static_cast<std::int64_t>(m) + n);
  const std::int64_t wanted =
      std::min({kFirstGrowthFactor * storage, dense, kMostBoosted});
  return std::max(min_length, wanted);
}

void LU_CoreSetup(std::int32_t m, std::int32_t n, std::int32_t element_count,
                  const LU_IntParams& ip, const LU_RealParams& rp, LU_Factors& f, LU_Core& s) {
  s.factors = &f;
  s.m = m;
  s.n = n;
  s.maxmn = std::max(m, n);
  s.storage = f.storage_length;
  s.element_count = element_count;
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
  s.pend = work;
  s.rold = work.Shifted(m);
  s.cold = work.Shifted(2 * static_cast<std::int64_t>(m));
  s.cpend = work.Shifted(2 * static_cast<std::int64_t>(m) + n);
  s.tags = LU_View(reinterpret_cast<LU_RowTag*>(f.work + TagOffset(f.work, m, n)));
  for (std::int32_t i = 1; i <= m; ++i) {
    s.tags[i] = LU_RowTag{0.0, 0, 0};
    s.pend[i] = 0;
  }
  for (std::int32_t j = 1; j <= n; ++j) s.cpend[j] = 0;

  std::int32_t rule = ip[LU_Int::pivot_rule];
  s.rule = rule >= LU_RULE_PARTIAL && rule <= LU_RULE_DIAGONAL ? rule : LU_RULE_PARTIAL;
  s.usable = s.storage;
  if (s.rule == LU_RULE_ROOK) s.usable -= m;
  if (s.rule == LU_RULE_COMPLETE) s.usable -= n;
  BindStorage(s);
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
  s.written = std::max(f.front_written, element_count);
  s.fp = s.keep ? s.usable + 1 : s.usable - n + 1;
  s.slot_low = s.fp;
  s.claim = s.u_first = s.l_first = 0;
  s.active = element_count;
  s.stamp = 0;
  s.threshold = 0.0;
  s.l_length = s.u_length = s.merit_sum = 0;
  s.u_triangle = m;
  s.l_triangle = s.dense1 = s.dense2 = s.rank = s.compressions = s.growths = 0;
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

// The first largest magnitude of a column met so far, scanning positions in
// increasing order, and its position (0 when none).
struct ColumnMax {
  double value = -1.0;
  std::int32_t at = 0;
  void Take(double magnitude, std::int32_t p) {
    if (magnitude > value) {
      value = magnitude;
      at = p;
    }
  }
};

// What updating a column's existing entries found: the entries in rows of
// the pivot column, whether one became negligible, and the column maximum.
struct ExistingUpdate {
  std::int32_t hits = 0;
  bool dropped = false;
  ColumnMax max;
};

// Existing entries of column j: a += multiplier(row) * u for each entry in a
// row of the pivot column, whose tag then carries the stamp.
ExistingUpdate UpdateExisting(LU_Core& s, std::int32_t j, double u, std::int32_t stamp) {
  // Local copies of the bases and the tolerance (stores into the arrays
  // cannot change them); plain pointers address element 1 at offset 0.
  double* const val = s.val.base;
  const std::int32_t* const ri = s.ri.base;
  LU_RowTag* const tags = s.tags.base;
  const double drop = s.drop;
  const std::int32_t first = s.cstart[j] - 1, end = first + s.clen[j];
  ExistingUpdate r;
  if (drop >= 0.0 && std::isfinite(u)) {
    // Every entry of the file is above drop (or NaN), so non-zero, and a row
    // outside the pivot column has multiplier 0: a + 0 * u leaves its entry
    // exactly as it is, and its stamp is never read. So the loop needs no
    // test per entry, which a branch predictor cannot foresee.
    std::int32_t hits = 0;
    double least = std::numeric_limits<double>::infinity();
    ColumnMax max;
    for (std::int32_t p = first; p < end; ++p) {
      LU_RowTag& tag = tags[ri[p] - 1];
      const double a = val[p] + tag.multiplier * u;
      val[p] = a;
      tag.stamp = stamp;
      hits += tag.l_position != 0;
      const double magnitude = std::fabs(a);
      least = std::min(least, magnitude);  // a NaN never takes the place
      max.Take(magnitude, p + 1);
    }
    r.hits = hits;
    r.dropped = least <= drop;
    r.max = max;
    return r;
  }
  for (std::int32_t p = first; p < end; ++p) {
    LU_RowTag& tag = tags[ri[p] - 1];
    if (tag.l_position == 0) {
      r.max.Take(std::fabs(val[p]), p + 1);
      continue;
    }
    const double a = val[p] + tag.multiplier * u;
    val[p] = a;
    tag.stamp = stamp;
    ++r.hits;
    const double magnitude = std::fabs(a);
    r.dropped |= magnitude <= drop;
    r.max.Take(magnitude, p + 1);
  }
  return r;
}

// Fill-in of column j: every row of the pivot column without an entry in it
// (tag not stamped) gets multiplier * u when that exceeds the drop
// tolerance, appended in L column order; `most` is the number of such rows.
// Returns 0 or 7.
std::int32_t AppendFill(LU_Core& s, std::int32_t j, double u, std::int32_t stamp,
                        std::int32_t l_count, std::int32_t most, ColumnMax& max) {
  const std::int32_t start = s.cstart[j];
  const std::int32_t result = PlaceColumn(s, j, most);
  if (result != LU_OK) return result;
  if (max.at != 0) max.at += s.cstart[j] - start;
  // First the candidates are compacted into the room made, without a test
  // per row: each is written at the next position, which advances only when
  // it is kept (at most `most` are kept; a write past the room goes to a
  // sink). Then the kept ones are entered in their rows.
  double* const val = s.val.base;
  std::int32_t* const ri = s.ri.base;
  const LU_RowTag* const tags = s.tags.base;
  const double* const multipliers = val + (s.l_first - 1);
  const std::int32_t* const lrows = ri + (s.l_first - 1);
  const double drop = s.drop;
  const std::int32_t p0 = s.cstart[j] + s.clen[j], limit = p0 + most;
  double value_sink = 0.0;
  std::int32_t row_sink = 0;
  std::int32_t p = p0;
  for (std::int32_t l = 0; l < l_count; ++l) {
    const std::int32_t row = lrows[l];
    const double a = multipliers[l] * u;
    const bool keep = (tags[row - 1].stamp != stamp) & (std::fabs(a) > drop);
    const bool inside = p < limit;
    *(inside ? &val[p - 1] : &value_sink) = a;
    *(inside ? &ri[p - 1] : &row_sink) = row;
    p += keep;
  }
  if (p < limit) ri[p - 1] = 0;  // a candidate written there was not kept
  for (std::int32_t q = p0; q < p; ++q) {
    EnterFill(s, ri[q - 1], j, q);
    max.Take(std::fabs(val[q - 1]), q);
  }
  s.clen[j] = p - s.cstart[j];
  if (p - 1 > s.col_end) s.col_end = p - 1;
  return LU_OK;
}

// Moves the first largest entry of column j to its front (max: the one met
// while updating, unless the column closed up over dropped entries).
void LargestFirst(LU_Core& s, std::int32_t j, bool dropped, const ColumnMax& max) {
  const std::int32_t first = s.cstart[j];
  const std::int32_t best = dropped ? ColumnMaxPosition(s, j) : max.at;
  if (best > first) {
    std::swap(s.val[best], s.val[first]);
    std::swap(s.ri[best], s.ri[first]);
    // A pending fill-in remembers the offset of the first one in its
    // column; the swap may move a pending entry before it.
    if (s.cpend[j] != 0 && s.ri[first] > s.m) s.cpend[j] = 1;
  }
}

}  // namespace

std::int32_t LU_EliminateStep(LU_Core& s, std::int32_t u_count, std::int32_t l_count,
                              bool max_first) {
  // Without an L column nothing in the other columns changes; only the
  // column maxima, when kept, need the walk below. Skipping it matters for
  // a long (dense) column met by many singleton pivots.
  if (l_count == 0 && !max_first) return LU_OK;
  for (std::int32_t t = 1; t < u_count; ++t) {
    // The U row is read through s: storage growth may move it.
    const std::int32_t j = s.ci[s.u_first + t];
    if (t + 1 < u_count) {
      const std::int32_t next = s.cstart[s.ci[s.u_first + t + 1]];
      Prefetch(&s.ri[next]);
      Prefetch(&s.val[next]);
    }
    const double u = s.val[s.u_first + t];
    const std::int32_t stamp = ++s.stamp;
    ExistingUpdate update = UpdateExisting(s, j, u, stamp);
    if (update.dropped) RemoveDropped(s, j);
    const std::int32_t most = l_count - update.hits;
    if (most > 0) {
      const std::int32_t result = AppendFill(s, j, u, stamp, l_count, most, update.max);
      if (result != LU_OK) return result;
    }
    if (max_first && s.clen[j] > 0) LargestFirst(s, j, update.dropped, update.max);
  }
  return LU_OK;
}

std::int32_t LU_PendingFill(LU_Core& s, std::int32_t u_count, std::int32_t l_count) {
  std::int64_t room = 0;
  for (std::int32_t l = 0; l < l_count; ++l) {
    std::int32_t row = s.ri[s.l_first + l];
    if (s.pend[row] > 0) room += s.rlen[row] + s.pend[row];
  }
  if (room == 0) return LU_OK;
  if (FreeBelowSlot(s, s.row_end) < room) {
    CompressRows(s);
    if (!RoomAfterCompress(s, s.row_end, room)) return OutOfStorage(s);
  }
  // Every growing row moves to the end with room for its pending entries.
  const std::int32_t l_first = s.l_first, u_first = s.u_first;
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
