// LSQR solvers: Golub-Kahan bidiagonalisation with plane rotations on the
// preconditioned operator L A R, for least-squares and damped least-squares
// problems.
#pragma once

#include "iterative/Iterative.hpp"

struct DenseVector;
struct Preconditioner;
struct SparseMatrix;

// Minimises ||L A R y - L (b - A x)|| and returns x + R y, stopping on the
// method's own tests (written to the log): "alpha * beta test failed." (the
// process ended), "Condition test failed." (the condition estimate exceeds
// 1 / ctol: solved only when a residual test also holds, otherwise no
// progress), "Incompatible test failed." (the normal-equations residual is
// negligible), "Compatible test failed." (the residual is negligible), and
// "lsqr iterlim." at the iteration limit. Workspace: Krylov 3, 4, 5, 6, 10,
// 11, 12.
void Iterative_LSQR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                    DenseVector* b, DenseVector* x);

// Minimises ||L A R y - L (b - A x)||^2 + damp^2 ||y||^2 and returns x + R y,
// with the guarded start and the standard tests on the estimated residual;
// solved also when the estimated normal-equations residual of the damped
// problem falls below 1e-8 of its start. Honours start_from_x. Workspace:
// Krylov 3, 4, 5, 6, 10, 11, 12.
void Iterative_DLSQR(Iterative_Params* params, Preconditioner* preconditioner, double damp,
                     SparseMatrix* A, DenseVector* b, DenseVector* x);
