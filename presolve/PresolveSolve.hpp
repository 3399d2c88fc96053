// Closed-form solves of 3 x 3 box-constrained complementarity blocks: the
// coherent-orientation test that licenses a block's unique solution, and
// the solve by enumeration of its active sets.
//
// Block: row i reads F_i = a_i1*x + a_i2*y + a_i3*z + b_i and is
// complementary to variable i of (x, y, z) with bounds [l_i, u_i] (either
// may be infinite). The tolerances are read from the options on every call:
// presolve_zero_tolerance (zerotol) and the common option infinity.
#pragma once

// 1 when the block's piecewise-affine map is coherently oriented, so that
// the block has exactly one solution for any constants; else 0.
// With D the determinant, s = +1 when D > zerotol, s = -1 when -D > zerotol,
// otherwise 0. Then for every non-empty set S of variables with a finite
// bound, the principal minor on the variables outside S (1 for all three)
// must satisfy s * minor > zerotol (or be +infinite), else 0. The sets are
// tested in the order {x}, {x,y}, {x,y,z}, {x,z}, {y}, {y,z}, {z}.
// No side effects.
int Solve_TestThree(double a11, double a12, double a13, double a21, double a22, double a23,
                    double a31, double a32, double a33, double lx, double ux, double ly,
                    double uy, double lz, double uz);

// Finds a solution of the block by trying its active sets in a fixed order:
// first all three variables inside their bounds, then one variable at a
// bound, then two, then all three. Among sets with equal numbers of
// variables at bounds the order is lexicographic over (x, y, z), each
// variable taking lower bound, upper bound, inside in that order. A set
// that holds a variable at an infinite bound is skipped.
// Each set is solved for its inside variables by elimination with partial
// pivoting; a set whose inside submatrix has a determinant within zerotol
// of 0 is skipped. A set is accepted when every inside value is finite and
// within zerotol of its box, and every row of a variable at its lower
// (upper) bound has F >= -zerotol (F <= zerotol). Inside values within
// zerotol outside their box are moved onto it.
//   out: sx, sy, sz, written only when a set was accepted.
// Returns true when a set was accepted, false when none was (the caller
// then leaves the block alone). Never fails otherwise.
[[nodiscard]] bool Solve_Three(double a11, double a12, double a13, double b1, double a21,
                               double a22, double a23, double b2, double a31, double a32,
                               double a33, double b3, double lx, double ux, double ly,
                               double uy, double lz, double uz, double* sx, double* sy,
                               double* sz);
