// Small strided vector routines of the LU engine. Element i (1..n) of a
// vector with stride s sits at offset (i - 1) * s; a negative stride walks
// the vector from its far end, as in BLAS.
#include <cmath>

#include "factorization/lu/LU_Library.hpp"

namespace {

std::int64_t Offset(std::int32_t i, std::int32_t n, std::int32_t stride) {
  if (stride >= 0) return static_cast<std::int64_t>(i - 1) * stride;
  return static_cast<std::int64_t>(n - i) * -static_cast<std::int64_t>(stride);
}

}  // namespace

void LU_DivideElements(std::int32_t n, const double* d, std::int32_t d_stride, double* x,
                       std::int32_t x_stride) {
  if (n < 1) return;
  if (d_stride == 0 && x_stride != 0) {
    const double factor = 1.0 / d[0];
    for (std::int32_t i = 1; i <= n; ++i) x[Offset(i, n, x_stride)] *= factor;
    return;
  }
  for (std::int32_t i = 1; i <= n; ++i) x[Offset(i, n, x_stride)] /= d[Offset(i, n, d_stride)];
}

void LU_ScaleElements(std::int32_t n, const double* d, std::int32_t d_stride, double* x,
                      std::int32_t x_stride) {
  if (n < 1) return;
  if (d_stride == 0 && x_stride != 0) {
    const double factor = d[0];
    for (std::int32_t i = 1; i <= n; ++i) x[Offset(i, n, x_stride)] *= factor;
    return;
  }
  for (std::int32_t i = 1; i <= n; ++i) x[Offset(i, n, x_stride)] *= d[Offset(i, n, d_stride)];
}

void LU_Fill(std::int32_t n, double c, double* x, std::int32_t stride) {
  for (std::int32_t i = 1; i <= n; ++i) x[Offset(i, n, stride)] = c;
}

double LU_Norm1Scaled(std::int32_t n, const double* x, std::int32_t stride) {
  if (n < 1) return 0.0;
  double sum = 0.0;
  for (std::int32_t i = 1; i <= n; ++i) sum += std::fabs(x[Offset(i, n, stride)]);
  return sum / std::sqrt(static_cast<double>(n));
}

void LU_CopyInt(std::int32_t n, const std::int32_t* x, std::int32_t x_stride, std::int32_t* y,
                std::int32_t y_stride) {
  for (std::int32_t i = 1; i <= n; ++i) y[Offset(i, n, y_stride)] = x[Offset(i, n, x_stride)];
}

void LU_FillInt(std::int32_t n, std::int32_t c, std::int32_t* x, std::int32_t stride) {
  for (std::int32_t i = 1; i <= n; ++i) x[Offset(i, n, stride)] = c;
}
