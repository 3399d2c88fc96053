// BLAS used by the sparse LU engine's dense kernels: a thin wrapper over the
// Fortran routines of the system BLAS (32-bit integers, arguments by
// reference). Level-1 calls use stride 1; level-3 calls take column-major
// blocks with their leading dimensions.
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

// C += alpha * A * B for column-major blocks: C m by n, A m by k, B k by n,
// with leading dimensions ldc, lda, ldb. Nothing when m, n or k < 1.
void Blas_DgemmAdd(std::int32_t m, std::int32_t n, std::int32_t k, double alpha, const double* a,
                   std::int32_t lda, const double* b, std::int32_t ldb, double* c,
                   std::int32_t ldc);

// B := L^-1 B with L the unit lower triangular m by m block whose strictly
// lower part is stored in a (leading dimension lda); B is m by n (leading
// dimension ldb). Nothing when m or n < 1.
void Blas_DtrsmLowerUnit(std::int32_t m, std::int32_t n, const double* a, std::int32_t lda,
                         double* b, std::int32_t ldb);
