// Iterative solver frame: the parameter-and-result record and termination
// codes that the fifteen iterative linear solvers share, their summary and
// the overflow-safe hypotenuse.
//
// Every solver solves A x = b for a square SparseMatrix A of order n =
// length(b), optionally with a Preconditioner (Precond.hpp), borrows its
// scratch vectors from the process-wide Workspace (created by the caller
// with vectors of at least n elements), reports through the record, and
// writes a summary to the log. Solvers: CG.hpp (CG, CR, CG_NE, CG_NR),
// LSQR.hpp (LSQR, DLSQR), GMRES.hpp, BCG.hpp (BCG, BICGSTAB, QMR, TFQMR),
// Ortho.hpp (ORMIN, ORDIR and their restarted forms).
#pragma once

#include <cstdint>

// Outcome of a solve.
enum Iterative_Termination : std::int32_t {
  ITERATIVE_SOLVED = 0,           // solved to tolerances
  ITERATIVE_ITERATION_LIMIT = 1,  // iteration_limit reached
  ITERATIVE_NO_PROGRESS = 2,      // the residual stalled
  ITERATIVE_ERROR = 3,            // bad input, breakdown or divergence
};

// Owned by the caller, passed by reference.
struct Iterative_Params {
  double tolerance;          // in: relative residual target (read by CG alone)
  double absolute_residual;  // out: ||b - A x|| at the returned x
  double relative_residual;  // out: ||b - A x|| / ||b|| (the absolute one when b = 0)
  std::int32_t iteration_limit;     // in: largest number of iterations
  std::int32_t iterations;          // out: iterations performed
  std::int32_t termination;         // out: an Iterative_Termination code
  std::int32_t start_from_x;        // in: non-zero: x holds the initial guess
  std::int32_t use_preconditioner;  // in: non-zero: apply the given preconditioner
};

// Writes the five summary lines of params to the log.
void Iterative_Summary(const Iterative_Params* params);

// sqrt(a^2 + b^2) without overflow or harmful underflow: with s = |a| + |b|,
// s * sqrt((a/s)^2 + (b/s)^2); 0 only when both are 0.
double Iterative_SafeHypot(double a, double b);
