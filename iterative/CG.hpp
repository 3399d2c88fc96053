// Conjugate gradient family: CG and conjugate residuals for symmetric
// systems, and conjugate gradients on the two kinds of normal equations for
// general and least-squares systems.
//
// Each solver: (params, preconditioner or null, A, b, x) as Iterative.hpp
// describes; the solution is returned in x, the outcome in params.
#pragma once

#include "iterative/Iterative.hpp"

struct DenseVector;
struct Preconditioner;
struct SparseMatrix;

// Preconditioned conjugate gradients for symmetric positive definite A with
// a symmetric positive definite preconditioner (z = R(L(r))). Solved when
// ||b - A x|| / ||b|| falls below params->tolerance (or the residual is 0);
// a non-positive or non-finite curvature p'Ap or r'z ends the solve with
// code 3 and the last iterate. b = 0 gives x = 0. Workspace: Krylov 4, 5, 6, 11.
void Iterative_CG(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                  DenseVector* b, DenseVector* x);

// Preconditioned conjugate residuals for symmetric A (definite, positive or
// negative). Solved at a relative residual of 1e-8 (tolerance is not read);
// a non-positive u'w or a zero z'Az ends with code 3. Workspace: Krylov 3,
// 4, 5, 6, 9, 10, 11, 12.
void Iterative_CR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                  DenseVector* b, DenseVector* x);

// Craig's method: CG on (L A R)(L A R)' z = r with the correction R (L A R)' z,
// for any non-singular A. Workspace: Krylov 3, 4, 5, 6, 10, 11.
void Iterative_CG_NE(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x);

// CG on the normal equations (L A R)'(L A R) y = (L A R)' r for any A: the
// least-squares solution (from x = 0 without a preconditioner, the one of
// least norm). Solved when the residual or the normal-equations residual
// falls below 1e-8 of its start. Workspace: Krylov 3, 4, 5, 6, 10, 11.
void Iterative_CG_NR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x);
