// The three-row rules for a block with two free variables y and z: their
// rows are two equations, which leave one complementarity piece in the
// third variable x.
#pragma once

#include "presolve/rows/RowThreeArgs.hpp"

// y and z free, each in the other's equation and neither in its own:
// a[1][1] and a[2][2] do not count, a[1][2] and a[2][1] do (a violation is a
// solver error). Row y gives z and row z gives y as affine functions of x;
// row x then becomes one piece in x. A unique x fixes all three; several
// are chosen among only when the columns whose values follow the choice lie
// inside the block; no x reports the block infeasible.
ThreeRowPlan ThrRowEqnTwo(const ThreeRowArgs& blk);

// y and z free and absent from both equations: none of a[1][1], a[1][2],
// a[2][1], a[2][2] counts (a violation is a solver error); x has a finite
// bound. The equations fix x (or must hold identically), row x then sets y
// or z. The x an equation fixes is checked against its bounds, against the
// other equation and, when neither y nor z is in row x, against row x's own
// complementarity: a block that breaks any of them is reported infeasible.
ThreeRowPlan ThrRowEqnZer(const ThreeRowArgs& blk);
