// The point at which a block rule fixes every variable of a square block of
// linear rows, checked against the block's own rows before it is applied.
//
// The rules compute that point in closed form, some after eliminating a
// variable through a pivot that may be small beside the other
// coefficients, and the rows of a fixed block leave the problem for good:
// what they miss at the point stays in the solution handed back. So the
// point is first refined (each variable strictly inside its bounds has its
// row at 0: Newton steps on those rows, solved with partial pivoting), and
// then every row must meet its complementarity condition within
// Row_PointTolerance (a hundredth of the convergence tolerance); a block whose point does not is left to the
// solver. Likewise a block that a rule finds without solution is reported
// infeasible only when no point meets its rows within that tolerance
// either: the rules decide on values formed by eliminations and exact
// comparisons, whose rounding can hide a solution.
#pragma once

#include <cstdint>

// A square block of k (1 to 3) rows: row i reads
//   F_i = a[i][0]*v[0] + ... + a[i][k-1]*v[k-1] + b[i],
// complementary to lower[i] <= v[i] <= upper[i] (a free variable's row is
// an equation, whichever of the free variables it is paired with).
struct RowBlockRows {
  std::int32_t k;
  double a[3][3];
  double b[3];
  double lower[3];
  double upper[3];
};

// Refines values[0..k-1] in place and keeps them in their bounds. Returns
// true when the block's rows meet their conditions at the refined point
// (the values may then be fixed).
[[nodiscard]] bool Row_RefineBlockPoint(const RowBlockRows& block, double values[3]);

// Whether some point meets the block's rows within the tolerance: each
// variable at a finite bound, or inside at its saved value
// (saved[0..k-1]), or inside and solved for, the solved variables together
// from as many rows of the block (their own or others), in every
// combination.
[[nodiscard]] bool Row_BlockHasPoint(const RowBlockRows& block, const double saved[3]);

// Row_BlockHasPoint for the one row a*x + b perp l <= x <= u, x saved at
// saved.
[[nodiscard]] bool Row_OneRowHasPoint(double a, double b, double l, double u, double saved);

// Whether a point of that search (Row_BlockHasPoint) lies apart from point
// (by more than 1e-7 relative in some variable): a rule that fixes point as
// the block's only solution, while a column reaches outside the block,
// leaves the block alone then, since the rule's exact tests may have lost
// the other solution to rounding.
[[nodiscard]] bool Row_BlockHasOtherPoint(const RowBlockRows& block, const double saved[3],
                                          const double point[3]);
