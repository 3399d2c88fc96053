// Band preconditioners: LDL' factorizations of the diagonal, the tridiagonal
// part and a banded part of J'J, formed column by column from J's
// compressed-column arrays with dense scatter vectors, and their solves.
//
// The band kinds approximate J'J, not J, and are applied to the system as
// they are: they balance the columns of J rather than invert it. A pivot
// that is not positive (the retained part of J'J need not be positive
// definite) or is rounding noise against its column's squared norm gives way
// to that squared norm, and its column's multipliers to 0; an empty column
// gets the factor 1. So the factors stay finite and of the scale of J'J, and
// the preconditioner positive definite.
#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "iterative/Precond.hpp"
#include "iterative/Precond_internal.hpp"

namespace {

// Read access to the columns of J; columns beyond J's own count are empty.
struct Columns : SparseMatrix_ColumnView {
  std::int32_t count;

  explicit Columns(const SparseMatrix* J)
      : SparseMatrix_ColumnView(SparseMatrix_Columns(J)), count(SparseMatrix_Cols(J)) {}
  // 0-based positions [first, last) of column j (1-based).
  std::int32_t First(std::int32_t j) const { return j <= count ? start[j - 1] - 1 : 0; }
  std::int32_t Last(std::int32_t j) const { return j <= count ? First(j) + length[j - 1] : 0; }
};

// A pivot at most this fraction of its column's squared norm is rounding
// noise (the column lies in the span of the retained earlier ones).
constexpr double kPivotNoise = 1e4 * 0x1p-52;

// 1 / pivot, or 1 when the pivot is not positive or its reciprocal not finite.
double Reciprocal(double pivot) {
  if (!(pivot > 0.0)) return 1.0;
  const double t = 1.0 / pivot;
  return std::isfinite(t) ? t : 1.0;
}

// The factor 1/D_j of column j from its pivot and its squared norm
// (diagonal); false when the column is to be decoupled from the later ones
// (its multipliers 0): a pivot that is not positive, is rounding noise
// against the diagonal, or has no finite reciprocal then gives way to the
// diagonal itself (1 for an empty column). Dividing by such a pivot would
// make the multipliers, and with them the later pivots, explode.
bool PivotFactor(double pivot, double diagonal, double* t) {
  if (pivot > kPivotNoise * diagonal && std::isfinite(1.0 / pivot)) {
    *t = 1.0 / pivot;
    return true;
  }
  *t = Reciprocal(diagonal);
  return false;
}

// The first `count` vectors of list, zeroed to length n; raw arrays into out.
void ZeroVectors(DenseVector** list, std::int32_t count, std::int32_t n, double** out) {
  for (std::int32_t k = 0; k < count; ++k) {
    if (DenseVector_Capacity(list[k]) < n) {
      Error_SolverError("Preconditioner: the workspace holds %d elements, the matrix has %d "
                        "rows.\n",
                        DenseVector_Capacity(list[k]), n);
    }
    DenseVector_FillZero(list[k], n);
    out[k] = DenseVector_Array(list[k]);
  }
}

// Squared two-norm of column j, scattering it into w (dense by row) when w
// is given.
double ScatterColumn(const Columns& J, std::int32_t j, double* w) {
  double sum = 0.0;
  for (std::int32_t p = J.First(j); p < J.Last(j); ++p) {
    const double a = J.value[p];
    if (w != nullptr) w[J.row[p] - 1] = a;
    sum += a * a;
  }
  return sum;
}

// Elements the apply works on: the vector's, at most the factors'.
std::int32_t ApplyLength(const DenseVector* v, const DenseVector* factor) {
  const std::int32_t m = DenseVector_Length(v);
  const std::int32_t n = DenseVector_Length(factor);
  return m < n ? m : n;
}

// ---------------------------------------------------------------------------
// Banded kind

// Column i against the scattered columns i+1..last of the ring:
// P[d][i] += col_i . col_(i+d); then column i's scattered entries are cleared.
void MultiplyAgainst(const Columns& J, std::int32_t i, std::int32_t last, std::int32_t b,
                     double* const* P, double* const* W) {
  for (std::int32_t p = J.First(i); p < J.Last(i); ++p) {
    const std::int32_t r = J.row[p] - 1;
    const double a = J.value[p];
    for (std::int32_t d = 1; d <= last - i; ++d) P[d][i - 1] += a * W[(i + d - 1) % b][r];
  }
  double* own = W[(i - 1) % b];
  for (std::int32_t p = J.First(i); p < J.Last(i); ++p) own[J.row[p] - 1] = 0.0;
}

// The retained entries of J'J: the pairs of columns inside each chunk of b
// consecutive columns, and, when the last chunk is shorter than b - 1, the
// pairs that its tail step reaches before the chunk.
void AssembleBand(const Columns& J, std::int32_t n, std::int32_t b, double* const* P,
                  double* const* W) {
  for (std::int32_t s = 1; s <= n; s += b) {
    const std::int32_t e = s + b - 1 < n ? s + b - 1 : n;
    for (std::int32_t j = s; j <= e; ++j) {
      P[0][j - 1] = ScatterColumn(J, j, W[(j - 1) % b]);
      const std::int32_t i = j - b + 1;
      if (i >= s) MultiplyAgainst(J, i, j, b, P, W);
    }
    for (std::int32_t i = (e - b + 2 > 1 ? e - b + 2 : 1); i <= e; ++i) {
      MultiplyAgainst(J, i, e, b, P, W);
    }
  }
}

// In-place LDL' of the band: P[0][j] becomes 1/D_j, P[d][j] the multiplier
// L(j+d, j). diagonal receives the squared column norms (the diagonal
// before the factorization) for the pivot test.
void FactorBand(std::int32_t n, std::int32_t b, double* const* P, double* diagonal) {
  for (std::int32_t j = 0; j < n; ++j) diagonal[j] = P[0][j];
  for (std::int32_t j = 1; j <= n; ++j) {
    double t = 0.0;
    const bool coupled = PivotFactor(P[0][j - 1], diagonal[j - 1], &t);
    P[0][j - 1] = t;
    const std::int32_t m = b < n - j + 1 ? b : n - j + 1;
    if (!coupled) {
      for (std::int32_t d = 1; d < m; ++d) P[d][j - 1] = 0.0;
      continue;
    }
    for (std::int32_t d = 1; d < m; ++d) {
      const double l = t * P[d][j - 1];
      for (std::int32_t e = 0; e < m - d; ++e) P[e][j + d - 1] -= P[e + d][j - 1] * l;
      P[d][j - 1] = l;
    }
  }
}

}  // namespace

using namespace precond_internal;

// ---------------------------------------------------------------------------
// Diagonal kind

void Precond_DiagonalSetup(SparseMatrix* matrix) {
  Interrupt_Check();
  const Columns J(matrix);
  const std::int32_t n = SparseMatrix_Rows(matrix);
  double* P0 = nullptr;
  ZeroVectors(Workspace_PreconditionerVectors(), 1, n, &P0);
  for (std::int32_t j = 1; j <= n; ++j) P0[j - 1] = Reciprocal(ScatterColumn(J, j, nullptr));
}

void Precond_DiagonalFinish() {}

void Precond_DiagonalApply(DenseVector* v) {
  Interrupt_Check();
  const DenseVector* P0 = Workspace_PreconditionerVectors()[0];
  const std::int32_t n = ApplyLength(v, P0);
  double* x = DenseVector_Array(v);
  const double* d = DenseVector_Array(P0);
  // Blocks of four, loaded before they are stored: the compiler pairs them
  // into vector instructions.
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double x0 = x[i] * d[i], x1 = x[i + 1] * d[i + 1];
    const double x2 = x[i + 2] * d[i + 2], x3 = x[i + 3] * d[i + 3];
    x[i] = x0;
    x[i + 1] = x1;
    x[i + 2] = x2;
    x[i + 3] = x3;
  }
  for (; i < n; ++i) x[i] *= d[i];
}

// ---------------------------------------------------------------------------
// Tridiagonal kind

void Precond_TridiagonalSetup(SparseMatrix* matrix) {
  Interrupt_Check();
  const Columns J(matrix);
  const std::int32_t n = SparseMatrix_Rows(matrix);
  double* P[2];
  double* W[2];
  ZeroVectors(Workspace_PreconditionerVectors(), 2, n, P);
  ZeroVectors(Workspace_PreconditionerVectors2(), 2, n, W);
  if (n < 1) return;
  const double first = ScatterColumn(J, 1, W[0]);
  bool coupled = PivotFactor(first, first, &P[0][0]);
  double* previous = W[0];
  double* current = W[1];
  for (std::int32_t j = 2; j <= n; ++j) {
    const double s = ScatterColumn(J, j, current);
    double c = 0.0;
    for (std::int32_t p = J.First(j - 1); p < J.Last(j - 1); ++p) {
      const std::int32_t r = J.row[p] - 1;
      c += J.value[p] * current[r];
      previous[r] = 0.0;
    }
    const double l = coupled ? c * P[0][j - 2] : 0.0;
    coupled = PivotFactor(s - c * l, s, &P[0][j - 1]);
    P[1][j - 2] = l;
    double* swap = previous;
    previous = current;
    current = swap;
  }
}

void Precond_TridiagonalFinish() {}

void Precond_TridiagonalApply(DenseVector* v) {
  Interrupt_Check();
  DenseVector** P = Workspace_PreconditionerVectors();
  const std::int32_t n = ApplyLength(v, P[0]);
  if (n < 1) return;
  double* x = DenseVector_Array(v);
  const double* d = DenseVector_Array(P[0]);
  const double* l = DenseVector_Array(P[1]);
  for (std::int32_t i = 1; i < n; ++i) x[i] -= l[i - 1] * x[i - 1];
  x[n - 1] *= d[n - 1];
  for (std::int32_t i = n - 2; i >= 0; --i) x[i] = x[i] * d[i] - l[i] * x[i + 1];
}

// ---------------------------------------------------------------------------
// Banded kind

void Precond_BandSetup(SparseMatrix* matrix) {
  Interrupt_Check();
  const Columns J(matrix);
  const std::int32_t n = SparseMatrix_Rows(matrix);
  const std::int32_t b = band_width;
  double* P[10];
  double* W[10];
  ZeroVectors(Workspace_PreconditionerVectors(), b, n, P);
  ZeroVectors(Workspace_PreconditionerVectors2(), b, n, W);
  AssembleBand(J, n, b, P, W);
  // The scattered columns are cleared again: W[0] is free for the diagonal.
  FactorBand(n, b, P, W[0]);
}

void Precond_BandFinish() {}

void Precond_BandApply(DenseVector* v) {
  Interrupt_Check();
  DenseVector** list = Workspace_PreconditionerVectors();
  const std::int32_t n = ApplyLength(v, list[0]);
  const std::int32_t b = band_width;
  const double* P[10];
  for (std::int32_t k = 0; k < b; ++k) P[k] = DenseVector_Array(list[k]);
  double* x = DenseVector_Array(v);
  for (std::int32_t j = 1; j < n; ++j) {
    const std::int32_t m = b < n - j + 1 ? b : n - j + 1;
    for (std::int32_t d = 1; d < m; ++d) x[j + d - 1] -= x[j - 1] * P[d][j - 1];
  }
  for (std::int32_t j = 0; j < n; ++j) x[j] *= P[0][j];
  for (std::int32_t i = n; i >= 1; --i) {
    const std::int32_t m = b < i ? b : i;
    for (std::int32_t d = 1; d < m; ++d) x[i - d - 1] -= x[i - 1] * P[d][i - d - 1];
  }
}
