// Plain-array view of an MCP record's full problem and presolve state, for
// the loops of the presolve modules. Arrays hold element k (1-based) at
// offset k - 1; index values stored in them (rows, columns, positions) are
// 1-based as everywhere in the library. A view stays valid while no vector
// of the record or of the Workspace is regrown (the presolve never regrows
// them once set up).
#pragma once

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

// Median of l, value and u for l <= u.
inline double Presolve_Clip(double value, double l, double u) {
  return value < l ? l : (value > u ? u : value);
}
