// The duplicate-row rule: settles one pair of linear rows i and r whose
// functions are affine in one common linear form s of the variables,
//   F_i = a_i * s + c_i,   F_r = a_r * s + c_r   (a_i, a_r never 0),
// by fixing one of the two variables, proving the pair infeasible, or, when
// the two columns are proportional as well, merging the variable of one row
// into the variable of the other: the row of larger scale is kept (|a_r| >
// |a_i| keeps r, otherwise i); and the postsolve that splits a merged pair
// again. A fix that rests on F = 0 of the row it removes (rather than on
// that row's sign) is made only when the row removed is not the larger of
// the two, since the row left carries the solver's residual for both.
//
// Indices are 1-based; row X of the Jacobian pairs with variable X. The
// rule changes the problem only through the block reductions of
// RowBlockReduce.hpp, so the counts, marks, savedX and F stay current. A
// merge of variable g into variable k pushes two records, directly one
// above the other:
//   {l_k, u_k, 0.0, k, k, level, kind 1}   the widened bounds of k (always)
//   {l_g, u_g, q,   g, g, level, kind 100} g fixed; column g = q column k
#pragma once

#include <cstdint>

#include "core/RecordStack.hpp"

struct MCP;

// Decides the pair (i, a_i, c_i) and (r, a_r, c_r). *dup counts the
// variables fixed, *dbd the bound changes. c_i_scale and c_r_scale are the
// magnitudes of the terms that formed each constant (0: the constant's
// own), on which a value that cancels to rounding counts as 0. Returns
// ROW_HANDLED (a variable fixed or the pair merged), ROW_INFEASIBLE
// (reported; nothing changed) or ROW_CONTINUE (nothing done).
int DuplicateRow(MCP* mcp, std::int32_t level, std::int32_t i, double a_i, double c_i,
                 std::int32_t r, double a_r, double c_r, std::int32_t* dup, std::int32_t* dbd,
                 double c_i_scale = 0.0, double c_r_scale = 0.0);

// Returns 1 when columns i and r of the Jacobian are proportional over the
// unfixed rows (entries within presolve_jacobian_tolerance of 0 skipped,
// ratios compared within presolve_zero_tolerance, any nonlinear entry
// refuses), with *v_i and *v_r the two coefficients in the first unfixed
// row, in column r's stored order, where column r has a non-zero; else 0
// with *v_i and *v_r untouched. Scratch: DenseVector 6 of the Workspace.
int Row_DuplicateColumns(MCP* mcp, std::int32_t i, double* v_i, std::int32_t r, double* v_r);

// Merges variable r into variable i (column r = q * column i, q != 0): i
// takes the bounds that x_i + q * (x_r - v) can reach, v the projection of
// savedX(r) onto [l_r, u_r], and r is fixed at v. l_i, u_i, l_r, u_r are the
// bounds before the merge. Returns ROW_INFEASIBLE (nothing changed) or
// ROW_HANDLED.
int Row_DuplicateRedundant(MCP* mcp, std::int32_t level, std::int32_t i, double l_i, double u_i,
                           std::int32_t r, double l_r, double u_r, double q, std::int32_t* dup,
                           std::int32_t* dbd);

// Postsolve of a merge of g into k: first is the kind-1 record of k, second
// the kind-100 record of g above it. Restores both variables' bounds and
// splits the solver's value y of the merged variable: x_k takes y projected
// onto its old bounds, x_g its fixed value plus the excess divided by q,
// projected onto its bounds; F follows along both columns.
void Row_PostsolveDuplicate(MCP* mcp, const PresolveRecord& first, const PresolveRecord& second);
