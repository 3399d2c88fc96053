// Preparation of the input of the LU factorization: dropping and checking the
// triples, sorting them into a column file, the duplicate check, the row file
// and the count-ordered permutations.
#include <cmath>

#include "factorization/lu/LU_Library.hpp"

double LU_CleanEntries(std::int32_t m, std::int32_t n, std::int32_t& element_count, double drop,
                       LU_Factors& f, bool& bad) {
  LU_Array<double> val = LU_View(f.lu_value);
  LU_Array<std::int32_t> ri = LU_View(f.lu_row_index), ci = LU_View(f.lu_col_index);
  LU_Array<std::int32_t> rlen = LU_View(f.row_len), clen = LU_View(f.col_len);
  for (std::int32_t i = 1; i <= m; ++i) rlen[i] = 0;
  for (std::int32_t j = 1; j <= n; ++j) clen[j] = 0;
  bad = false;
  double amax = 0.0;
  std::int32_t count = element_count;
  // Walking down, the triple moved into a deleted slot has been examined
  // already, so it is not looked at again.
  for (std::int32_t l = count; l >= 1; --l) {
    double a = std::fabs(val[l]);
    if (a <= drop) {
      val[l] = val[count];
      ri[l] = ri[count];
      ci[l] = ci[count];
      --count;
      continue;
    }
    if (a > amax) amax = a;
    std::int32_t i = ri[l], j = ci[l];
    if (i < 1 || i > m || j < 1 || j > n) {
      bad = true;
      break;
    }
    ++rlen[i];
    ++clen[j];
  }
  element_count = count;
  return amax;
}

void LU_SortByColumn(std::int32_t n, std::int32_t element_count, LU_Factors& f) {
  LU_Array<double> val = LU_View(f.lu_value);
  LU_Array<std::int32_t> ri = LU_View(f.lu_row_index), ci = LU_View(f.lu_col_index);
  LU_Array<std::int32_t> clen = LU_View(f.col_len), cstart = LU_View(f.col_start);
  std::int32_t next = 1;
  for (std::int32_t j = 1; j <= n; ++j) {
    cstart[j] = next;  // next free position of column j while placing
    next += clen[j];
  }
  // Follow the chain of displaced triples from every unplaced one. A placed
  // triple has column index 0; the chain closes at the slot it started from.
  for (std::int32_t l = 1; l <= element_count; ++l) {
    if (ci[l] == 0) continue;
    double v = val[l];
    std::int32_t r = ri[l], c = ci[l];
    ci[l] = 0;
    for (;;) {
      std::int32_t dest = cstart[c]++;
      double v2 = val[dest];
      std::int32_t r2 = ri[dest], c2 = ci[dest];
      val[dest] = v;
      ri[dest] = r;
      ci[dest] = 0;
      if (c2 == 0) break;
      v = v2;
      r = r2;
      c = c2;
    }
  }
  for (std::int32_t j = 1; j <= n; ++j) cstart[j] -= clen[j];
}

std::int32_t LU_FindDuplicate(std::int32_t m, std::int32_t n, LU_Factors& f) {
  LU_Array<std::int32_t> ri = LU_View(f.lu_row_index), marker = LU_View(f.row_perm);
  LU_Array<std::int32_t> clen = LU_View(f.col_len), cstart = LU_View(f.col_start);
  for (std::int32_t i = 1; i <= m; ++i) marker[i] = 0;
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t p = cstart[j], e = cstart[j] + clen[j]; p < e; ++p) {
      if (marker[ri[p]] == j) return p;
      marker[ri[p]] = j;
    }
  }
  return 0;
}

void LU_BuildRowFile(std::int32_t m, std::int32_t n, LU_Factors& f) {
  LU_Array<std::int32_t> ri = LU_View(f.lu_row_index), ci = LU_View(f.lu_col_index);
  LU_Array<std::int32_t> rlen = LU_View(f.row_len), rstart = LU_View(f.row_start);
  LU_Array<std::int32_t> clen = LU_View(f.col_len), cstart = LU_View(f.col_start);
  std::int32_t next = 1;
  for (std::int32_t i = 1; i <= m; ++i) {
    next += rlen[i];
    rstart[i] = next;  // one past the end of row i's share
  }
  // Columns from the last down, so each row's columns come out increasing.
  for (std::int32_t j = n; j >= 1; --j) {
    for (std::int32_t p = cstart[j], e = cstart[j] + clen[j]; p < e; ++p) {
      std::int32_t i = ri[p];
      ci[--rstart[i]] = j;
    }
  }
}

void LU_OrderByCount(std::int32_t count, std::int32_t max_count, LU_Array<std::int32_t> lengths,
                     LU_Array<std::int32_t> perm, LU_Array<std::int32_t> inv,
                     LU_Array<std::int32_t> count_start, LU_Array<std::int32_t> buffer) {
  // buffer(c + 1): number of items of length c, then their next position.
  for (std::int32_t c = 0; c <= max_count; ++c) buffer[c + 1] = 0;
  for (std::int32_t x = 1; x <= count; ++x) ++buffer[lengths[x] + 1];
  std::int32_t next = 1;
  for (std::int32_t c = 0; c <= max_count; ++c) {
    std::int32_t size = buffer[c + 1];
    buffer[c + 1] = next;
    if (c >= 1) count_start[c] = next;
    next += size;
  }
  for (std::int32_t x = 1; x <= count; ++x) {
    std::int32_t pos = buffer[lengths[x] + 1]++;
    perm[pos] = x;
    inv[x] = pos;
  }
}

void LU_MarkUnitColumns(std::int32_t m, std::int32_t n, LU_Factors& f) {
  LU_Array<double> val = LU_View(f.lu_value), cmax = LU_View(f.col_umax);
  LU_Array<std::int32_t> cperm = LU_View(f.col_perm), ccount = LU_View(f.col_count_start);
  LU_Array<std::int32_t> cstart = LU_View(f.col_start);
  for (std::int32_t j = 1; j <= n; ++j) cmax[j] = 0.0;
  if (m < 1) return;
  std::int32_t last = m == 1 ? n : ccount[2] - 1;
  for (std::int32_t pos = ccount[1]; pos <= last; ++pos) {
    std::int32_t j = cperm[pos];
    if (std::fabs(val[cstart[j]]) == 1.0) cmax[j] = 1.0;
  }
}
