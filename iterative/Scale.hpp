// Jacobian scaling: scales a square Jacobian J with its function vector F
// (and, for the norm rule, the point x) by rows and columns before a linear
// solve, keeps the factors, and converts matrices and vectors between the
// scaled and the unscaled space.
//
// Row scaling multiplies row i of J and F_i by r_i; column scaling
// multiplies column j of J by s_j and divides x_j by s_j. The factors live in
// the Workspace's scaling group (r: Workspace_ScaleVector1, s:
// Workspace_ScaleVector2) and are overwritten by every scaling call. Before
// any scaling call, the unscale and conversion operations use unit factors
// (they change nothing). J must be n x n with n = length(F) (and x of
// length n for the norm rule); a mismatch is a solver error.
#pragma once

#include <cstdint>

struct DenseVector;
struct SparseMatrix;

// Scaling rules of Scale_Jacobian.
enum Scale_Type : std::int32_t {
  SCALE_LARGE_DIAGONAL = 0,
  SCALE_SMALL_DIAGONAL = 1,
  SCALE_BOTH_DIAGONAL = 2,
  SCALE_ROW_COL_NORMS = 3,
};

// Applies the rule of type (0 to 3); any other type does nothing.
void Scale_Jacobian(std::int32_t type, SparseMatrix* J, DenseVector* F, DenseVector* x);

// Row rules on the diagonal d_i of J (0 where not stored), s := ones:
// large: r_i = 10 / |d_i| when |d_i| >= 100, else 1;
// small: r_i = 0.1 / |d_i| when floor <= |d_i| <= 0.01, floor when below, else 1;
// both:  the large rule above 0.01, the small rule up to 0.01.
// floor = eps^(2/3), about 3.67e-11.
void Scale_LargeDiagonal(SparseMatrix* J, DenseVector* F);
void Scale_SmallDiagonal(SparseMatrix* J, DenseVector* F);
void Scale_BothDiagonal(SparseMatrix* J, DenseVector* F);

// Rows by 1 / sqrt(sum of row i's squares + F_i^2), then the columns of the
// row-scaled J by 1 / sqrt(sum of column j's squares); a sum below floor
// takes the factor 1 / floor.
void Scale_RowColNorms(SparseMatrix* J, DenseVector* F, DenseVector* x);

// Undoes the last scaling: J's columns divided by s, x := x .* s, then J's
// rows divided by r, F := F ./ r.
void Scale_Unscale(SparseMatrix* J, DenseVector* F, DenseVector* x);

// v := v .* r then v .* s; v .* r; v ./ r then v ./ s; v ./ r. v may not be
// longer than the factors (solver error).
void Scale_MulBoth(DenseVector* v);
void Scale_MulFirst(DenseVector* v);
void Scale_DivBoth(DenseVector* v);
void Scale_DivFirst(DenseVector* v);

// Forgets that a scaling was made (the factors count as units again).
void Scale_ForgetState();
// True while no scaling is noted.
bool Scale_StateAtRest();
