// Refinement and check of the point at which a block rule fixes a whole
// block.
#include "presolve/rows/RowBlockRefine.hpp"

#include <cmath>
#include <limits>

#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"

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

// One Newton step for the n variables vars[] on the n rows rows[] (the
// other variables held); false when there is none or their matrix is
// singular.
bool StepOn(const RowBlockRows& blk, const int* rows, const int* vars, int n, double* v) {
  if (n == 0) return false;
  double m[3][3];
  double r[3];
  double d[3];
  for (int i = 0; i < n; ++i) {
    r[i] = -RowValue(blk, rows[i], v);
    for (int j = 0; j < n; ++j) m[i][j] = blk.a[rows[i]][vars[j]];
  }
  if (!SolveSmall(n, m, r, d)) return false;
  for (int i = 0; i < n; ++i) v[vars[i]] += d[i];
  return true;
}

// A Newton step on the rows of the variables strictly inside their bounds.
bool Step(const RowBlockRows& blk, double* v) {
  int inside[3];
  int n = 0;
  for (int j = 0; j < blk.k; ++j) {
    if (blk.lower[j] < v[j] && v[j] < blk.upper[j]) inside[n++] = j;
  }
  return StepOn(blk, inside, inside, n, v);
}

// |v - mid(l, u, v - F)|: how far row i misses its condition.
double Violation(const RowBlockRows& blk, int i, const double* v) {
  const double f = RowValue(blk, i, v);
  return std::fabs(v[i] - RowCompare_Median(blk.lower[i], v[i] - f, blk.upper[i]));
}

// v kept in the bounds; every row within the tolerance there.
bool MeetsRows(const RowBlockRows& blk, double* v) {
  for (int j = 0; j < blk.k; ++j) {
    if (!std::isfinite(v[j])) return false;
    v[j] = RowCompare_Median(blk.lower[j], v[j], blk.upper[j]);
  }
  const double limit = Row_PointTolerance();
  for (int i = 0; i < blk.k; ++i) {
    if (!(Violation(blk, i, v) <= limit)) return false;
  }
  return true;
}

// Where a variable sits in a trial point of Row_BlockHasPoint.
enum Place { kAtLower, kAtUpper, kSolved, kAtSaved, kPlaces };

// The rows of the block in row_mask (bit i: row i), in order; their count.
int RowsOf(int k, int row_mask, int* rows) {
  int n = 0;
  for (int i = 0; i < k; ++i) {
    if ((row_mask >> i) & 1) rows[n++] = i;
  }
  return n;
}

// The trial point of one combination of places (code: base kPlaces, one
// digit per variable), the solved variables taken from the rows in
// row_mask (as many as there are solved variables: a variable inside its
// bounds may be settled by another row of the block than its own, whose
// own row then meets its condition up to rounding); false when a place
// does not exist (an infinite bound), the counts differ or the solved rows
// are singular.
bool TrialPoint(const RowBlockRows& blk, const double* saved, int code, int row_mask,
                double* v) {
  const double inf = RowTolerance_Current().infinity;
  int solved[3];
  int n = 0;
  for (int j = 0; j < blk.k; ++j, code /= kPlaces) {
    const int place = code % kPlaces;
    const double bound = place == kAtLower ? blk.lower[j] : blk.upper[j];
    if (place == kSolved) solved[n++] = j;
    if (place == kAtLower || place == kAtUpper) {
      if (!RowCompare_Finite(bound, inf)) return false;
      v[j] = bound;
    } else {
      v[j] = RowCompare_Finite(saved[j], inf) ? saved[j] : 0.0;
    }
  }
  int rows[3];
  if (RowsOf(blk.k, row_mask, rows) != n) return false;
  for (int s = 0; s < kSteps; ++s) {
    if (!StepOn(blk, rows, solved, n, v)) return n == 0;
  }
  return true;
}

}  // namespace

bool Row_RefineBlockPoint(const RowBlockRows& blk, double values[3]) {
  double v[3] = {values[0], values[1], values[2]};
  for (int s = 0; s < kSteps; ++s) {
    if (!Step(blk, v)) break;
  }
  if (!MeetsRows(blk, v)) return false;
  for (int j = 0; j < blk.k; ++j) values[j] = v[j];
  return true;
}

namespace {

constexpr double kApart = 1e-7;

// v differs from point by more than kApart (relative) in some variable.
bool Apart(const RowBlockRows& blk, const double* v, const double* point) {
  for (int j = 0; j < blk.k; ++j) {
    if (std::fabs(v[j] - point[j]) > kApart * std::fmax(1.0, std::fabs(point[j]))) return true;
  }
  return false;
}

// Whether some trial point meets the rows (and, with point, lies apart from
// it).
bool FindPoint(const RowBlockRows& blk, const double* saved, const double* point) {
  int combinations = 1;
  for (int j = 0; j < blk.k; ++j) combinations *= kPlaces;
  for (int code = 0; code < combinations; ++code) {
    for (int row_mask = 0; row_mask < (1 << blk.k); ++row_mask) {
      double v[3] = {0.0, 0.0, 0.0};
      if (!TrialPoint(blk, saved, code, row_mask, v) || !MeetsRows(blk, v)) continue;
      if (point == nullptr || Apart(blk, v, point)) return true;
    }
  }
  return false;
}

}  // namespace

bool Row_BlockHasPoint(const RowBlockRows& blk, const double saved[3]) {
  return FindPoint(blk, saved, nullptr);
}

bool Row_OneRowHasPoint(double a, double b, double l, double u, double saved) {
  const RowBlockRows row = {1, {{a, 0.0, 0.0}, {}, {}}, {b, 0.0, 0.0}, {l, 0.0, 0.0},
                            {u, 0.0, 0.0}};
  const double at[3] = {saved, 0.0, 0.0};
  return Row_BlockHasPoint(row, at);
}

bool Row_BlockHasOtherPoint(const RowBlockRows& blk, const double saved[3],
                            const double point[3]) {
  return FindPoint(blk, saved, point);
}
