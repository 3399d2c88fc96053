// Plain-array view of an MCP record's full problem and presolve state, for
// the loops of the presolve modules. Arrays hold element k (1-based) at
// offset k - 1; index values stored in them (rows, columns, positions) are
// 1-based as everywhere in the library. A view stays valid while no vector
// of the record or of the Workspace is regrown (the presolve never regrows
// them once set up).
#pragma once

#include <cmath>
#include <cstdint>

#include "presolve/PresolveUtil.hpp"

struct MCP;

struct PresolveView {
  std::int32_t n;
  double* lower;
  double* upper;
  double* x;
  double* f;
  // Jacobian in compressed columns (starts and rows 1-based).
  const std::int32_t* col_start;
  const std::int32_t* col_len;
  const std::int32_t* row;
  const double* value;
  // Row-wise index and per-entry data.
  const std::int32_t* row_start;
  const std::int32_t* row_length;
  const std::int32_t* row_entry;     // list position -> stored position
  const std::int32_t* entry_column;  // stored position -> column
  const std::int32_t* entry_type;    // stored position -> 1 nonlinear, 0 linear
  std::int32_t* row_type;
  std::int32_t* row_count;
  std::int32_t* col_count;
  std::int32_t* mark;  // candidate marks (Workspace integer vector 3)
  // x at the last evaluation of F (Presolve_MarkEvaluated); null before
  // the first one.
  const double* x_evaluated;

  bool Fixed(std::int32_t j) const { return lower[j - 1] == upper[j - 1]; }
  // Stored positions (0-based) of column j: [ColBegin, ColEnd).
  std::int32_t ColBegin(std::int32_t j) const { return col_start[j - 1] - 1; }
  std::int32_t ColEnd(std::int32_t j) const { return col_start[j - 1] - 1 + col_len[j - 1]; }
  // Row-ordered list positions (0-based) of row i: [RowBegin, RowEnd).
  std::int32_t RowBegin(std::int32_t i) const { return row_start[i - 1] - 1; }
  std::int32_t RowEnd(std::int32_t i) const { return row_start[i - 1] - 1 + row_length[i - 1]; }
};

// The view of mcp (its presolve part must be made; the candidate marks get
// length n).
PresolveView Presolve_View(MCP* mcp);

// x_var moves by dx: F of every row with a stored entry in column var
// (fixed rows included) changes by a * dx; x itself is not written.
void Presolve_MoveColumn(const PresolveView& v, std::int32_t var, double dx);

// Presolve_OneRowBounds on a view.
RowActivity Presolve_ActivityOf(const PresolveView& v, std::int32_t i, const double* lb,
                                const double* ub);

// The two walks of a search for the rounding that settled values carry
// into a row (each reads within *reads, and gives what it has once they
// are spent):
//  - Presolve_SumOverRow: the sum over the entries p of row r, in columns
//    j other than c, of term(p, j) (a column's coefficient times its own
//    rounding, or 0 for an entry that does not count);
//  - Presolve_LargestOverColumn: the largest over the entries p of column
//    c, in rows r other than skip, of rounding(p, r) (what row r leaves
//    c's value open by, 0 when it holds none of it).
template <class Term>
double Presolve_SumOverRow(const PresolveView& v, Presolve_ReadBudget* reads, std::int32_t r,
                           std::int32_t c, Term term) {
  double sum = 0.0;
  if (!reads->Spend(v.RowEnd(r) - v.RowBegin(r))) return sum;
  for (std::int32_t k = v.RowBegin(r); k < v.RowEnd(r); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    if (j != c) sum += term(p, j);
  }
  return sum;
}
template <class Rounding>
double Presolve_LargestOverColumn(const PresolveView& v, Presolve_ReadBudget* reads,
                                  std::int32_t c, std::int32_t skip, Rounding rounding) {
  double largest = 0.0;
  if (!reads->Spend(v.ColEnd(c) - v.ColBegin(c))) return largest;
  for (std::int32_t p = v.ColBegin(c); p < v.ColEnd(c); ++p) {
    const std::int32_t r = v.row[p];
    if (r != skip) largest = std::fmax(largest, rounding(p, r));
  }
  return largest;
}

// Median of l, value and u for l <= u.
inline double Presolve_Clip(double value, double l, double u) {
  return value < l ? l : (value > u ? u : value);
}
