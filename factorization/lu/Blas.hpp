// Level-1 BLAS used by the sparse LU engine's dense kernels: a thin wrapper
// over the Fortran routines of the system BLAS (32-bit integers, arguments by
// reference). Every call uses stride 1.
#pragma once

#include <cstdint>

// Index (1-based) of the first element of largest magnitude among x[0..n-1];
// 0 when n < 1.
std::int32_t Blas_Idamax(std::int32_t n, const double* x);

// x[0..n-1] *= alpha. Nothing when n < 1.
void Blas_Dscal(std::int32_t n, double alpha, double* x);

// y[0..n-1] += alpha * x[0..n-1]. Nothing when n < 1; x and y must not overlap.
void Blas_Daxpy(std::int32_t n, double alpha, const double* x, double* y);

// y[0..n-1] = x[0..n-1]. Nothing when n < 1; x and y must not overlap.
void Blas_Dcopy(std::int32_t n, const double* x, double* y);
