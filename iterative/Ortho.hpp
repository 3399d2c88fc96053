// ORTHOMIN and ORTHODIR solvers: each step minimises the preconditioned
// residual along a new direction whose product with L A R is made orthogonal
// to those of the last 10 directions (a ring window of the Workspace's
// orthogonal-direction group). The restarted forms recompute the true
// residual and empty the window every 100 steps.
#pragma once

#include "iterative/Iterative.hpp"

struct DenseVector;
struct Preconditioner;
struct SparseMatrix;

// Truncated ORTHOMIN (new direction from the residual) and ORTHODIR (from
// the last product). Workspace: Krylov 3, 4, 5, 6, 10, 11 and the whole
// orthogonal-direction group.
void Iterative_ORMIN(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x);
void Iterative_ORDIR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x);

// The same methods restarted every 100 inner steps from the true residual;
// the iteration count and the stall counter run across cycles.
void Iterative_R_ORMIN(Iterative_Params* params, Preconditioner* preconditioner,
                       SparseMatrix* A, DenseVector* b, DenseVector* x);
void Iterative_R_ORDIR(Iterative_Params* params, Preconditioner* preconditioner,
                       SparseMatrix* A, DenseVector* b, DenseVector* x);
