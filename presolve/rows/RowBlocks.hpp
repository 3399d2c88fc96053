// Row blocks: the queue of candidate rows, the gathering of the square
// linear block of at most four rows that a row belongs to, and the dispatch
// of each block to the rule for its size.
#pragma once

#include <cstdint>

struct MCP;

// The gathered block of k <= 4 rows. rows[j] names both the j-th variable
// and the j-th row; rows[0] is the row the block was gathered for.
// coef[i][j] is the coefficient of variable rows[j] in row rows[i];
// constant[i] = F(rows[i]) - sum_j coef[i][j] * savedX(rows[j]), and
// scale[i] the magnitudes of the terms that formed it (RowSum), which tell
// the rounding it carries. Slots beyond k are 0.
struct RowBlock {
  std::int32_t rows[4];
  double lower[4];
  double upper[4];
  double coef[4][4];
  double constant[4];
  double scale[4];
};

// A block rule: (mcp, level, rows, lower, upper, coef, constant, its own
// counter, the bound counter WBd, the scales of the constants) -> status.
// The rules take a null scale for the constants' own magnitudes.
using RowBlockRule = int (*)(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower,
                             double* upper, double (*coef)[4], double* constant,
                             std::int32_t* counter, std::int32_t* wbd, const double* scale);

// Recomputes blockCount, the counted entries of every row (Workspace integer
// vector 6, length n): entries in unfixed columns of unfixed rows that are
// nonlinear or whose coefficient exceeds jactol in magnitude.
void Row_CountBlockEntries(MCP* mcp);
// Resets the queue (presolve/PresolveQueue.hpp: n slots, head 1, count 0)
// and fills it with the linear-marked rows of fewer than five counted
// entries, in increasing order.
void Row_FillQueue(MCP* mcp);
// Takes rows from the queue until it is empty, gathering and solving their
// blocks. The five counters are set to 0 on entry. Returns ROW_CONTINUE,
// ROW_INFEASIBLE or ROW_CANNOT.
int Row_Blocks(MCP* mcp, std::int32_t level, std::int32_t* one, std::int32_t* two,
               std::int32_t* thr, std::int32_t* qua, std::int32_t* wbd);

// Gathers the block of row (1-based) into the five arrays (all four slots
// written, unused ones 0): the rows reached from row through the pairing of
// variable i with row i, closed, with their counted entries. Returns k
// (1..4), -1 (more than four variables, or a row with more than four
// counted entries), -2 (a row of the block not linear-marked) or -3 (a
// nonlinear entry in an unfixed column of a block row). scale, when given,
// receives the scales of the constants (see RowBlock).
int GetBlock(MCP* mcp, std::int32_t row, std::int32_t* rows, double* lower, double* upper,
             double (*coef)[4], double* constant, double* scale = nullptr);

// For the block reductions: row r (1-based) lost one counted entry. Lowers
// blockCount(r) and appends r to the queue when it is linear-marked, not
// queued and now has fewer than five counted entries. Valid after
// Row_CountBlockEntries and Row_FillQueue of the current level.
void Row_BlockEntryGone(std::int32_t r);

// For the block reductions: row r (1-based) leaves the block phase for
// good (its variable was fixed): blockCount(r) := 0.
void Row_BlockRowGone(std::int32_t r);
