// File compression, count buckets, column and row maxima, the heap of column
// maxima and list helpers of the LU engine.
#include <cmath>

#include "factorization/lu/LU_Library.hpp"

std::int32_t LU_Compress(std::int32_t count, double* values, LU_Array<std::int32_t> index,
                         LU_Array<std::int32_t> lengths, LU_Array<std::int32_t> starts,
                         std::int32_t file_end, std::int32_t& compressions) {
  // The last entry of every item with entries carries the marker -item; its
  // real index waits in the item's start meanwhile.
  for (std::int32_t x = 1; x <= count; ++x) {
    if (lengths[x] <= 0) continue;
    std::int32_t last = starts[x] + lengths[x] - 1;
    starts[x] = index[last];
    index[last] = -x;
  }
  LU_Array<double> val(values);
  std::int32_t w = 0;
  for (std::int32_t p = 1; p <= file_end; ++p) {
    std::int32_t idx = index[p];
    if (idx == 0) continue;
    ++w;
    if (values != nullptr) val[w] = val[p];
    if (idx < 0) {
      std::int32_t x = -idx;
      index[w] = starts[x];
      starts[x] = w - lengths[x] + 1;
    } else {
      index[w] = idx;
    }
  }
  ++compressions;
  return w;
}

std::int64_t LU_UpdateOrdering(std::int32_t count, LU_Array<const std::int32_t> list,
                               LU_Array<const std::int32_t> old_count,
                               LU_Array<const std::int32_t> new_count,
                               LU_Array<std::int32_t> count_start, std::int32_t max_count,
                               LU_Array<std::int32_t> perm, LU_Array<std::int32_t> inv) {
  std::int64_t net = 0;
  for (std::int32_t t = 1; t <= count; ++t) {
    const std::int32_t x = list[t];
    const std::int32_t from = old_count[x], to = new_count[x];
    net += to - from;
    if (from == to) continue;
    // x travels one bucket at a time; each member it passes takes x's
    // previous place, and x is written once where it ends.
    std::int32_t pos = inv[x];
    // Up: x changes places with the last member of its bucket, whose end
    // then belongs to the next bucket.
    for (std::int32_t b = from; b < to && b < max_count; ++b) {
      const std::int32_t last = count_start[b + 1] - 1;
      if (last != pos) {
        const std::int32_t y = perm[last];
        perm[pos] = y;
        inv[y] = pos;
        pos = last;
      }
      count_start[b + 1] = last;
    }
    // Down: x changes places with the first member of its bucket, whose
    // start then moves up by one.
    for (std::int32_t b = from; b > to; --b) {
      const std::int32_t first = count_start[b];
      if (first != pos) {
        const std::int32_t y = perm[first];
        perm[pos] = y;
        inv[y] = pos;
        pos = first;
      }
      count_start[b] = first + 1;
    }
    perm[pos] = x;
    inv[x] = pos;
  }
  return net;
}

void LU_RowMax(const LU_Core& s, std::int32_t count, LU_Array<const std::int32_t> rows) {
  for (std::int32_t t = 1; t <= count; ++t) {
    std::int32_t i = rows[t];
    double amax = 0.0;
    for (std::int32_t q = s.rstart[i], qe = s.rstart[i] + s.rlen[i]; q < qe; ++q) {
      std::int32_t j = s.ci[q];
      for (std::int32_t p = s.cstart[j], pe = s.cstart[j] + s.clen[j]; p < pe; ++p) {
        if (s.ri[p] == i) {
          double a = std::fabs(s.val[p]);
          if (a > amax) amax = a;
          break;
        }
      }
    }
    s.rowmax[i] = amax;
  }
}

void LU_ColumnMaxFirst(const LU_Core& s, std::int32_t count, LU_Array<const std::int32_t> cols) {
  for (std::int32_t t = 1; t <= count; ++t) {
    std::int32_t j = cols[t];
    std::int32_t len = s.clen[j];
    if (len <= 1) continue;
    std::int32_t first = s.cstart[j], best = first;
    double amax = std::fabs(s.val[first]);
    for (std::int32_t p = first + 1; p < first + len; ++p) {
      double a = std::fabs(s.val[p]);
      if (a > amax) {
        amax = a;
        best = p;
      }
    }
    if (best != first) {
      double v = s.val[best];
      std::int32_t r = s.ri[best];
      s.val[best] = s.val[first];
      s.ri[best] = s.ri[first];
      s.val[first] = v;
      s.ri[first] = r;
    }
  }
}

// ---------------------------------------------------------------------------
// Heap of column maxima
// ---------------------------------------------------------------------------

namespace {

struct Heap {
  LU_Array<double> keys;
  LU_Array<std::int32_t> cols, positions;
  void Put(std::int32_t k, double key, std::int32_t col) const {
    keys[k] = key;
    cols[k] = col;
    positions[col] = k;
  }
};

// Moves (key, col) from position k up while the parent's key is not larger.
std::int32_t SiftUp(const Heap& h, std::int32_t k, double key, std::int32_t col) {
  std::int32_t moves = 0;
  while (k > 1) {
    std::int32_t parent = k / 2;
    if (!(h.keys[parent] <= key)) break;
    h.Put(k, h.keys[parent], h.cols[parent]);
    k = parent;
    ++moves;
  }
  h.Put(k, key, col);
  return moves;
}

// Moves (key, col) from position k down while the larger child (the right one
// only when strictly larger) is strictly larger.
std::int32_t SiftDown(const Heap& h, std::int32_t length, std::int32_t k, double key,
                      std::int32_t col) {
  std::int32_t moves = 0;
  for (;;) {
    std::int32_t child = 2 * k;
    if (child > length) break;
    if (child < length && h.keys[child + 1] > h.keys[child]) ++child;
    if (!(h.keys[child] > key)) break;
    h.Put(k, h.keys[child], h.cols[child]);
    k = child;
    ++moves;
  }
  h.Put(k, key, col);
  return moves;
}

}  // namespace

std::int32_t LU_HeapInsert(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                           LU_Array<std::int32_t> positions, std::int32_t length, double key,
                           std::int32_t col) {
  return SiftUp(Heap{keys, cols, positions}, length, key, col);
}

std::int32_t LU_HeapBuild(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                          LU_Array<std::int32_t> positions, std::int32_t length) {
  std::int32_t moves = 0;
  for (std::int32_t k = 1; k <= length; ++k) {
    moves += LU_HeapInsert(keys, cols, positions, k, keys[k], cols[k]);
  }
  return moves;
}

std::int32_t LU_HeapSiftDown(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                             LU_Array<std::int32_t> positions, std::int32_t length,
                             std::int32_t k) {
  return SiftDown(Heap{keys, cols, positions}, length, k, keys[k], cols[k]);
}

std::int32_t LU_HeapChange(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                           LU_Array<std::int32_t> positions, std::int32_t length,
                           std::int32_t k, double key, std::int32_t col) {
  Heap h{keys, cols, positions};
  double old = keys[k];
  if (key > old) return SiftUp(h, k, key, col);
  return SiftDown(h, length, k, key, col);
}

std::int32_t LU_HeapDelete(LU_Array<double> keys, LU_Array<std::int32_t> cols,
                           LU_Array<std::int32_t> positions, std::int32_t& length,
                           std::int32_t k) {
  Heap h{keys, cols, positions};
  double removed = keys[k];
  double key = keys[length];
  std::int32_t col = cols[length];
  --length;
  if (k > length) return 0;
  if (key > removed) return SiftUp(h, k, key, col);
  return SiftDown(h, length, k, key, col);
}

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------

std::int32_t LU_PartitionList(std::int32_t count, LU_Array<std::int32_t> list,
                              LU_Array<const std::int32_t> mark, LU_Array<std::int32_t> buffer) {
  std::int32_t kept = 0, rest = 0;
  for (std::int32_t t = 1; t <= count; ++t) {
    std::int32_t x = list[t];
    if (mark[x] != 0) {
      list[++kept] = x;
    } else {
      buffer[++rest] = x;
    }
  }
  for (std::int32_t t = 1; t <= rest; ++t) list[kept + t] = buffer[t];
  return kept;
}

void LU_CyclicPermute(LU_Array<std::int32_t> list, std::int32_t first, std::int32_t last) {
  if (last <= first) return;
  std::int32_t x = list[first];
  for (std::int32_t k = first; k < last; ++k) list[k] = list[k + 1];
  list[last] = x;
}
