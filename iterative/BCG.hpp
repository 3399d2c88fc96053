// Biconjugate gradient family for general non-singular systems: BCG,
// BiCGSTAB, QMR without look-ahead and transpose-free QMR, all on the
// preconditioned operator L A R with the guarded start and the standard
// tests of the frame.
#pragma once

#include "iterative/Iterative.hpp"

struct DenseVector;
struct Preconditioner;
struct SparseMatrix;

// Biconjugate gradients: one product with L A R and one with its transpose
// per iteration. Workspace: Krylov 3, 4, 5, 6, 9, 10, 11, 12.
void Iterative_BCG(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                   DenseVector* b, DenseVector* x);

// BiCGSTAB: two products per iteration; a half step that already solves the
// system ends the solve. Workspace: Krylov 3, 4, 5, 6, 9, 10, 11, 12.
void Iterative_BICGSTAB(Iterative_Params* params, Preconditioner* preconditioner,
                        SparseMatrix* A, DenseVector* b, DenseVector* x);

// Quasi-minimal residual in the coupled two-term form: one product with
// L A R and one with its transpose per iteration; a Lanczos process that
// ends exactly completes its last step. Workspace: Krylov 1 to 7 and 9 to 12.
void Iterative_QMR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                   DenseVector* b, DenseVector* x);

// Transpose-free QMR: two half steps per pass, each counted as an iteration;
// no divergence test; breakdowns are reported on the log. Workspace: Krylov
// 1 to 12.
void Iterative_TFQMR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x);
