// Forcing rows: the first family of every row-presolve level. It sweeps the
// linear rows, solves rows with at most one counted entry in closed form and
// fixes the row's own variable when the bounds of F_i over the box settle
// its sign.
//
// A linear row i reads F_i(x) = sum_j a_j x_j + b over its counted entries
// (unfixed column, coefficient not zero within jactol), complementary to
// x_i in [l_i, u_i]; F holds F at the working point savedX. All indices are
// 1-based. The cases return the row statuses of RowShared.hpp: ROW_HANDLED
// when the row is settled (a variable fixed or bounded, or nothing more to
// do for it), ROW_CONTINUE when the sweep should go on to the activity
// bounds of the row, ROW_INFEASIBLE when the row has no solution (reported),
// ROW_CANNOT when a row marked linear holds a nonlinear entry (an internal
// inconsistency). counter counts the variables fixed or bounded.
#pragma once

#include <cstdint>

struct MCP;

// Sweeps the linear rows until a sweep fixes and bounds nothing. *fix
// receives the number of variables fixed or bounded, *ifx 0; both are
// written only on ROW_CONTINUE. Returns ROW_CONTINUE, ROW_INFEASIBLE or
// ROW_CANNOT.
int Row_ForceRows(MCP* mcp, std::int32_t level, std::int32_t* fix, std::int32_t* ifx);

// Row i without counted entries (F_i constant): fixes x_i at the bound F_i
// points to, or, when F_i is zero and column i has no active entry, at
// savedX(i) kept in its bounds. ROW_HANDLED, ROW_INFEASIBLE.
int Row_ForceZero(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* counter);

// Row i with one counted entry a x_j: Row_ForceOne when j = i, else
// Row_ForceOneImply. ROW_HANDLED, ROW_CONTINUE, ROW_INFEASIBLE, ROW_CANNOT.
int Row_ForceSingle(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t* counter);

// F_i = a x_i + b over [l, u]: fixes x_i at its one solution (or, when x_i
// appears in no other row, at the solution nearest savedX(i)); with one
// infinite bound, narrows x_i to its two solutions ("Force Row One UB Inf",
// "Force Row One LB Inf"). ROW_HANDLED, ROW_INFEASIBLE.
int Row_ForceOne(MCP* mcp, std::int32_t level, std::int32_t i, double l, double u, double a,
                 double b, std::int32_t* counter);

// F_i = a x_j + b with j != i: when x_i is free, F_i = 0 implies x_j = -b/a
// (reported only); when one bound of x_i is infinite, the sign F_i must
// take gives a range of x_j that Row_ForceImply applies through row j.
// ROW_HANDLED, ROW_CONTINUE, ROW_INFEASIBLE, ROW_CANNOT.
int Row_ForceOneImply(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t j, double a,
                      double b, std::int32_t* counter);

// Applies the range [lo, hi] that row i implies for x_j when row j holds
// only x_j: keeps the solutions of row j inside the range (fixing x_j at
// one, narrowing it to two, or reporting none), or, when row j is
// identically zero, narrows x_j to the range. ROW_HANDLED, ROW_CONTINUE,
// ROW_INFEASIBLE, ROW_CANNOT.
int Row_ForceImply(MCP* mcp, std::int32_t level, std::int32_t i, std::int32_t j, double lo,
                   double hi, std::int32_t* counter);

// A forcing row whose F_i must be 0 at its least (Row_ForceLower) or
// greatest (Row_ForceUpper) value over the box: reports the value every
// variable of the row then takes ("Force Row Lower" / "Force Row Upper"
// Implies Variables); changes nothing. ROW_CONTINUE, ROW_INFEASIBLE.
int Row_ForceLower(MCP* mcp, std::int32_t i);
int Row_ForceUpper(MCP* mcp, std::int32_t i);
