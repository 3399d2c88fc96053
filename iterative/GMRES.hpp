// Restarted GMRES with Householder orthogonalisation and Givens rotations on
// the preconditioned operator L A R.
#pragma once

#include "iterative/Iterative.hpp"

struct DenseVector;
struct Preconditioner;
struct SparseMatrix;

// Solves A x = b for non-singular A. Each cycle starts from the true
// residual of x, runs at most m inner steps (m = min(200,
// gmres_update_frequency, n + 1), at least 2), adds the minimising
// correction to x and tests the true residual again. The iteration count
// grows by one per inner step. Workspace: the GMRES group (the first m basis
// vectors, both further vectors, the four short vectors).
void Iterative_GMRES(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x);

// The restart length that Iterative_GMRES uses for a system of order n.
int Iterative_GMRESRestart(int n);
