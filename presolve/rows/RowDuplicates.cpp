// Duplicate rows: grouping the linear rows by their pattern of counted
// columns, and the pairing of the rows inside each group.
#include "presolve/rows/RowDuplicates.hpp"

#include <cstdint>

#include "core/IDenseVector.hpp"
#include "core/Workspace.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"
#include "problems/MCP.hpp"

namespace {

// What the pass reads: the plain arrays of the record, savedX and the
// tolerances of this pass.
struct DupView {
  PresolveView v;
  const double* saved_x;
  RowTolerance tol;

  // The entry at stored position p (0-based) counts: its column is unfixed
  // and its coefficient is not zero.
  bool Counted(std::int32_t p) const {
    return !v.Fixed(v.entry_column[p]) &&
           !RowCompare_Eq(v.value[p], 0.0, tol.jactol, tol.infinity);
  }
};

DupView MakeView(MCP* mcp) {
  return {Presolve_View(mcp), DenseVector_Array(MCP_PresolveSavedX(mcp)),
          RowTolerance_Current()};
}

// A walk over the counted entries of one row in row-wise order (increasing
// column), keeping the row's constant: F at savedX less the counted terms
// met so far.
struct CountedWalk {
  std::int32_t next;  // list position (0-based) of the next entry
  std::int32_t end;
  RowSum constant;
};

CountedWalk StartWalk(const DupView& d, std::int32_t row) {
  return {d.v.RowBegin(row), d.v.RowEnd(row), RowSum_StartRow(d.v, d.saved_x, row)};
}

// Moves to the next counted entry: its column and coefficient. False when
// the row has no more.
bool NextCounted(const DupView& d, CountedWalk* w, std::int32_t* column, double* a) {
  while (w->next < w->end) {
    const std::int32_t p = d.v.row_entry[w->next++] - 1;
    if (!d.Counted(p)) continue;
    *column = d.v.entry_column[p];
    *a = d.v.value[p];
    RowSum_Take(&w->constant, *a * d.saved_x[*column - 1]);
    return true;
  }
  return false;
}

// Hash of the counted columns of a row; *empty tells that it has none.
std::uint64_t PatternHash(const DupView& d, std::int32_t row, bool* empty) {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL;
  CountedWalk w = StartWalk(d, row);
  std::int32_t column = 0;
  double a = 0.0;
  *empty = true;
  while (NextCounted(d, &w, &column, &a)) {
    *empty = false;
    h ^= static_cast<std::uint64_t>(column) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  }
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

// Rows a and b have their counted entries in the same columns.
bool SamePattern(const DupView& d, std::int32_t a, std::int32_t b) {
  CountedWalk wa = StartWalk(d, a);
  CountedWalk wb = StartWalk(d, b);
  for (;;) {
    std::int32_t ca = 0, cb = 0;
    double va = 0.0, vb = 0.0;
    const bool more_a = NextCounted(d, &wa, &ca, &va);
    const bool more_b = NextCounted(d, &wb, &cb, &vb);
    if (more_a != more_b || ca != cb) return false;
    if (!more_a) return true;
  }
}

// Groups the candidate rows (linear mark 1, variable unfixed) by their
// pattern of counted columns. group[] is the linear marks (row k at k - 1),
// heads[] n hash buckets. A row with a counted entry ends in group f + 1,
// f the first row of its pattern, or 0 when no other row shares the
// pattern; a row without counted entries keeps 1 and is never paired.
// While the groups form, the first row of a pattern holds -1 - (the next
// first row in its bucket, 0 at the end of the chain). Returns the number
// of rows that share their pattern with another.
std::int32_t FormGroups(const DupView& d, std::int32_t* group, std::int32_t* heads) {
  const std::int32_t n = d.v.n;
  for (std::int32_t b = 0; b < n; ++b) heads[b] = 0;
  for (std::int32_t k = 1; k <= n; ++k) {
    if (group[k - 1] != 1 || d.v.Fixed(k)) {
      group[k - 1] = 0;
      continue;
    }
    bool empty = true;
    const std::uint64_t h = PatternHash(d, k, &empty);
    if (empty) continue;
    const std::int32_t bucket = static_cast<std::int32_t>(h % static_cast<std::uint64_t>(n));
    std::int32_t first = heads[bucket];
    while (first != 0 && !SamePattern(d, k, first)) first = -1 - group[first - 1];
    if (first != 0) {
      group[k - 1] = first + 1;
    } else {
      group[k - 1] = -1 - heads[bucket];
      heads[bucket] = k;
    }
  }
  // The first row of a shared pattern takes its group number; the first
  // row of a pattern no other row has leaves the candidates.
  std::int32_t shared = 0;
  for (std::int32_t k = 1; k <= n; ++k) {
    if (group[k - 1] < 2) continue;
    const std::int32_t first = group[k - 1] - 1;
    if (first == k) continue;
    shared += 1;
    if (group[first - 1] < 0) {
      group[first - 1] = first + 1;
      shared += 1;
    }
  }
  for (std::int32_t k = 0; k < n; ++k) {
    if (group[k] < 0) group[k] = 0;
  }
  return shared;
}

// The first entry of row v in an unfixed column (whatever its
// coefficient), 0 when there is none.
std::int32_t FirstUnfixedColumn(const DupView& d, std::int32_t v) {
  for (std::int32_t k = d.v.RowBegin(v); k < d.v.RowEnd(v); ++k) {
    const std::int32_t c = d.v.entry_column[d.v.row_entry[k] - 1];
    if (!d.v.Fixed(c)) return c;
  }
  return 0;
}

// Compares reference row v with every other row of its group m that has a
// stored entry in column c, in the column's stored order. When a pair
// fixes the reference's variable, the partner that survived becomes the
// reference for the rest of the column. *reference receives the last
// reference. Returns ROW_INFEASIBLE or ROW_CONTINUE.
int PairAlongColumn(MCP* mcp, const DupView& d, std::int32_t level, std::int32_t m,
                    std::int32_t c, std::int32_t* group, std::int32_t* reference,
                    std::int32_t* dup, std::int32_t* dbd) {
  std::int32_t v = *reference;
  for (std::int32_t p = d.v.ColBegin(c); p < d.v.ColEnd(c); ++p) {
    const std::int32_t k = d.v.row[p];
    if (k == v || group[k - 1] != m) continue;
    const int status = Row_DuplicatePair(mcp, level, v, k, dup, dbd);
    if (status == ROW_INFEASIBLE) {
      *reference = v;
      return status;
    }
    if (status != ROW_HANDLED) continue;
    if (!d.v.Fixed(v)) {
      if (d.v.Fixed(k)) group[k - 1] = 0;
    } else {
      group[v - 1] = 0;
      v = k;
    }
  }
  *reference = v;
  return ROW_CONTINUE;
}

}  // namespace

int Row_Duplicates(MCP* mcp, std::int32_t level, std::int32_t* dup, std::int32_t* dbd) {
  *dup = 0;
  *dbd = 0;
  const DupView d = MakeView(mcp);
  std::int32_t* group = IDenseVector_Array(Row_LinearMark());
  if (FormGroups(d, group, IDenseVector_Array(Workspace_IVector(15))) == 0) {
    return ROW_CONTINUE;
  }
  for (std::int32_t row = 1; row <= d.v.n; ++row) {
    const std::int32_t m = group[row - 1];
    if (m < 2) continue;
    std::int32_t v = row;
    const std::int32_t c = FirstUnfixedColumn(d, v);
    if (c != 0) {
      const int status = PairAlongColumn(mcp, d, level, m, c, group, &v, dup, dbd);
      if (status != ROW_CONTINUE) return status;
    }
    group[v - 1] = 0;
    // After a change of reference the scan goes on after the new one.
    row = v;
  }
  return ROW_CONTINUE;
}

int Row_DuplicatePair(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t r,
                      std::int32_t* dup, std::int32_t* dbd) {
  const DupView d = MakeView(mcp);
  CountedWalk wi = StartWalk(d, i);
  CountedWalk wr = StartWalk(d, r);
  std::int32_t col_i = 0, col_r = 0;
  double a_i = 0.0, a_r = 0.0;
  const bool has_i = NextCounted(d, &wi, &col_i, &a_i);
  const bool has_r = NextCounted(d, &wr, &col_r, &a_r);
  if (!has_i || !has_r || col_i != col_r) return ROW_CONTINUE;
  for (;;) {
    std::int32_t ci = 0, cr = 0;
    double b_i = 0.0, b_r = 0.0;
    const bool more_i = NextCounted(d, &wi, &ci, &b_i);
    const bool more_r = NextCounted(d, &wr, &cr, &b_r);
    if (!more_i && !more_r) {
      return DuplicateRow(mcp, level, i, a_i, RowSum_Value(wi.constant), r, a_r,
                          RowSum_Value(wr.constant), dup, dbd, wi.constant.scale,
                          wr.constant.scale);
    }
    if (more_i != more_r || ci != cr) return ROW_CONTINUE;
    if (RowCompare_Ne(b_i / a_i, b_r / a_r, d.tol.zerotol, d.tol.infinity)) return ROW_CONTINUE;
  }
}
