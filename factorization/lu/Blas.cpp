// BLAS wrapper: declares the Fortran symbols of the system BLAS and calls
// them (level-1 routines with stride 1).
#include "factorization/lu/Blas.hpp"

extern "C" {
int idamax_(const int* n, const double* x, const int* incx);
void dscal_(const int* n, const double* alpha, double* x, const int* incx);
void daxpy_(const int* n, const double* alpha, const double* x, const int* incx, double* y,
            const int* incy);
void dcopy_(const int* n, const double* x, const int* incx, double* y, const int* incy);
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b,
            const int* ldb, const double* beta, double* c, const int* ldc);
void dtrsm_(const char* side, const char* uplo, const char* transa, const char* diag,
            const int* m, const int* n, const double* alpha, const double* a, const int* lda,
            double* b, const int* ldb);
}

namespace {
const int kUnitStride = 1;
}

std::int32_t Blas_Idamax(std::int32_t n, const double* x) {
  if (n < 1) return 0;
  int count = n;
  return idamax_(&count, x, &kUnitStride);
}

void Blas_Dscal(std::int32_t n, double alpha, double* x) {
  if (n < 1) return;
  int count = n;
  dscal_(&count, &alpha, x, &kUnitStride);
}

void Blas_Daxpy(std::int32_t n, double alpha, const double* x, double* y) {
  if (n < 1) return;
  int count = n;
  daxpy_(&count, &alpha, x, &kUnitStride, y, &kUnitStride);
}

void Blas_Dcopy(std::int32_t n, const double* x, double* y) {
  if (n < 1) return;
  int count = n;
  dcopy_(&count, x, &kUnitStride, y, &kUnitStride);
}

void Blas_DgemmAdd(std::int32_t m, std::int32_t n, std::int32_t k, double alpha, const double* a,
                   std::int32_t lda, const double* b, std::int32_t ldb, double* c,
                   std::int32_t ldc) {
  if (m < 1 || n < 1 || k < 1) return;
  const double one = 1.0;
  const int rows = m, cols = n, inner = k, la = lda, lb = ldb, lc = ldc;
  dgemm_("N", "N", &rows, &cols, &inner, &alpha, a, &la, b, &lb, &one, c, &lc);
}

void Blas_DtrsmLowerUnit(std::int32_t m, std::int32_t n, const double* a, std::int32_t lda,
                         double* b, std::int32_t ldb) {
  if (m < 1 || n < 1) return;
  const double one = 1.0;
  const int rows = m, cols = n, la = lda, lb = ldb;
  dtrsm_("L", "L", "N", "U", &rows, &cols, &one, a, &la, b, &lb);
}
