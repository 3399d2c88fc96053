// Duplicate rows: pairs of linear rows whose counted coefficients are
// proportional, found by grouping the rows by their pattern of non-zero
// columns (a hash of the pattern, checked entry by entry) and comparing the
// rows of each group; each such pair goes to the duplicate-row rule
// (RowDuplicatesMerge.hpp), which fixes a variable, merges the pair or
// proves it infeasible.
//
// Indices are 1-based; row i of the Jacobian pairs with variable i. A
// counted entry of a row lies in an unfixed column and has a coefficient a
// with |a| > presolve_jacobian_tolerance; the terms of all other entries
// (at savedX) stay in the row's constant.
//
// Scratch: while the pass runs, the linear marks (integer Workspace vector
// 3) hold the group of every row (0: not a candidate or done with, 1: a
// linear row without counted entries, never paired, k + 1: the group whose
// first row is k); integer Workspace vector 15 holds the hash buckets while
// the groups are formed, before any reduction is made. The marks are
// refilled by the row pass before anything reads them again.
#pragma once

#include <cstdint>

#include "presolve/rows/RowDuplicatesMerge.hpp"

struct MCP;

// Finds the duplicate linear rows of the full problem and settles each
// pair. *dup counts the variables fixed, *dbd the bound changes (both set
// to 0 first). Returns ROW_CONTINUE, or ROW_INFEASIBLE at once when a pair
// has no solution. Needs the row presolve's state of the level: savedX, F
// current at savedX along linear entries, counts and linear marks.
int Row_Duplicates(MCP* mcp, std::int32_t level, std::int32_t* dup, std::int32_t* dbd);

// Compares rows i and r (in this order). When their counted entries lie in
// the same columns with the same ratios to each row's first counted
// coefficient (within presolve_zero_tolerance), hands the pair to
// DuplicateRow with those first coefficients and the constants (F at
// savedX less the counted terms) and returns its status (ROW_INFEASIBLE,
// ROW_HANDLED or ROW_CONTINUE); otherwise returns ROW_CONTINUE.
int Row_DuplicatePair(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t r,
                      std::int32_t* dup, std::int32_t* dbd);
