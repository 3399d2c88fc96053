// The three-row rule for a block with one free variable whose own row is an
// equation: eliminate the free variable, solve the two-variable piece that
// remains exactly, and fix, bound, report or leave the block by the shape
// of its solutions and by which columns reach rows outside the block.
#pragma once

#include <cstdint>

#include "presolve/rows/RowThreeArgs.hpp"

// The plan for blk with the free variable z in slot 2 and row slot 2 the
// equation that holds z with a counting coefficient a[2][2].
//   skipPartial 0: rows 1 and 2 are the own rows of y and z;
//   skipPartial 1: y is free too and the two rows come exchanged (row slot 1
//                  is z's own row, row slot 2 y's); the partial reductions
//                  that fix one variable and leave a dependent one are then
//                  not planned (the block is left alone in their place).
// Reads only blk (its saved point and column counts included) and the
// tolerance options; prints only the two-variable solve's trace.
// Preconditions: z free, a[2][2] counts, the block linear.
ThreeRowPlan ThrRowEqn(const ThreeRowArgs& blk, std::int32_t skipPartial);
