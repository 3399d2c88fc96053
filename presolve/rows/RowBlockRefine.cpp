// Refinement and check of the point at which a block rule fixes a whole
// block.
#include "presolve/rows/RowBlockRefine.hpp"

#include <cmath>
#include <limits>

#include "core/Options.hpp"
#include "presolve/rows/RowCompare.hpp"

namespace {

constexpr int kSteps = 2;

double RowValue(const RowBlockRows& blk, int i, const double* v) {
  double f = blk.b[i];
  for (int j = 0; j < blk.k; ++j) f += blk.a[i][j] * v[j];
  return f;
}

// Solves m x = r (order n <= 3) by elimination with partial pivoting; false
// when a pivot vanishes beside the largest coefficient.
bool SolveSmall(int n, double m[3][3], double r[3], double x[3]) {
  double largest = 0.0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) largest = std::fmax(largest, std::fabs(m[i][j]));
  }
  const double tiny = 64 * std::numeric_limits<double>::epsilon() * largest;
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int i = c + 1; i < n; ++i) {
      if (std::fabs(m[i][c]) > std::fabs(m[p][c])) p = i;
    }
    if (!(std::fabs(m[p][c]) > tiny)) return false;
    for (int j = 0; j < n; ++j) std::swap(m[c][j], m[p][j]);
    std::swap(r[c], r[p]);
    for (int i = c + 1; i < n; ++i) {
      const double f = m[i][c] / m[c][c];
      for (int j = c; j < n; ++j) m[i][j] -= f * m[c][j];
      r[i] -= f * r[c];
    }
  }
  for (int c = n - 1; c >= 0; --c) {
    double s = r[c];
    for (int j = c + 1; j < n; ++j) s -= m[c][j] * x[j];
    x[c] = s / m[c][c];
  }
  return true;
}

// One Newton step on the rows of the variables strictly inside their
// bounds; false when there is none or their matrix is singular.
bool Step(const RowBlockRows& blk, double* v) {
  int inside[3];
  int n = 0;
  for (int j = 0; j < blk.k; ++j) {
    if (blk.lower[j] < v[j] && v[j] < blk.upper[j]) inside[n++] = j;
  }
  if (n == 0) return false;
  double m[3][3];
  double r[3];
  double d[3];
  for (int i = 0; i < n; ++i) {
    r[i] = -RowValue(blk, inside[i], v);
    for (int j = 0; j < n; ++j) m[i][j] = blk.a[inside[i]][inside[j]];
  }
  if (!SolveSmall(n, m, r, d)) return false;
  for (int i = 0; i < n; ++i) v[inside[i]] += d[i];
  return true;
}

// |v - mid(l, u, v - F)|: how far row i misses its condition.
double Violation(const RowBlockRows& blk, int i, const double* v) {
  const double f = RowValue(blk, i, v);
  return std::fabs(v[i] - RowCompare_Median(blk.lower[i], v[i] - f, blk.upper[i]));
}

}  // namespace

bool Row_RefineBlockPoint(const RowBlockRows& blk, double values[3]) {
  double v[3] = {values[0], values[1], values[2]};
  for (int s = 0; s < kSteps; ++s) {
    if (!Step(blk, v)) break;
  }
  for (int j = 0; j < blk.k; ++j) {
    if (!std::isfinite(v[j])) return false;
  }
  const double limit = 0.01 * Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE);
  for (int i = 0; i < blk.k; ++i) {
    if (!(Violation(blk, i, v) <= limit)) return false;
  }
  for (int j = 0; j < blk.k; ++j) values[j] = v[j];
  return true;
}
