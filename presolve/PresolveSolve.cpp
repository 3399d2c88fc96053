// Closed-form solves of 3 x 3 box-constrained complementarity blocks: the
// coherent-orientation test and the active-set enumeration.
#include "presolve/PresolveSolve.hpp"

#include <cmath>
#include <utility>

#include "presolve/rows/RowCompare.hpp"

namespace {

// Where a variable of an active set sits.
enum Place : int { AT_LOWER = 0, AT_UPPER = 1, INSIDE = 2 };

struct Block {
  double a[3][3];
  double b[3];
  double lo[3];
  double hi[3];
};

struct Checks {
  RowTolerance tol;
  bool Finite(double v) const { return RowCompare_Finite(v, tol.infinity); }
  bool Gt(double a, double b) const { return RowCompare_Gt(a, b, tol.zerotol, tol.infinity); }
  bool Ge(double a, double b) const { return RowCompare_Ge(a, b, tol.zerotol, tol.infinity); }
};

// Solves m * v = rhs (k <= 3) by elimination with partial pivoting. False
// when the determinant (the signed product of the pivots) is within zerotol
// of 0 or not a number; rhs then holds garbage.
bool SolveDense(double m[3][3], double rhs[3], int k, double zerotol) {
  double det = 1.0;
  for (int col = 0; col < k; ++col) {
    int pivot = col;
    for (int row = col + 1; row < k; ++row) {
      if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) pivot = row;
    }
    if (pivot != col) {
      for (int j = 0; j < k; ++j) std::swap(m[pivot][j], m[col][j]);
      std::swap(rhs[pivot], rhs[col]);
      det = -det;
    }
    det *= m[col][col];
    if (m[col][col] == 0.0) return false;
    for (int row = col + 1; row < k; ++row) {
      const double factor = m[row][col] / m[col][col];
      for (int j = col; j < k; ++j) m[row][j] -= factor * m[col][j];
      rhs[row] -= factor * rhs[col];
    }
  }
  if (!(std::fabs(det) > zerotol)) return false;
  for (int row = k - 1; row >= 0; --row) {
    double sum = rhs[row];
    for (int j = row + 1; j < k; ++j) sum -= m[row][j] * rhs[j];
    rhs[row] = sum / m[row][row];
  }
  return true;
}

// Solves the inside variables of one active set into s (bound variables
// already placed). False when the set is skipped or its values fail.
bool SolveInside(const Checks& checks, const Block& blk, const int place[3], double s[3]) {
  int inside[3];
  int k = 0;
  for (int i = 0; i < 3; ++i) {
    if (place[i] == INSIDE) inside[k++] = i;
  }
  double m[3][3];
  double rhs[3];
  for (int p = 0; p < k; ++p) {
    const int i = inside[p];
    rhs[p] = -blk.b[i];
    for (int j = 0; j < 3; ++j) {
      if (place[j] != INSIDE) rhs[p] -= blk.a[i][j] * s[j];
    }
    for (int q = 0; q < k; ++q) m[p][q] = blk.a[i][inside[q]];
  }
  if (!SolveDense(m, rhs, k, checks.tol.zerotol)) return false;
  for (int p = 0; p < k; ++p) {
    const int i = inside[p];
    const double v = rhs[p];
    // A non-finite value lies beyond every box.
    if (!checks.Finite(v) || !checks.Ge(v, blk.lo[i]) || !checks.Ge(blk.hi[i], v)) return false;
    s[i] = RowCompare_Median(blk.lo[i], v, blk.hi[i]);
  }
  return true;
}

// Tries one active set; on success s holds the block's solution.
bool TryActiveSet(const Checks& checks, const Block& blk, const int place[3], double s[3]) {
  for (int i = 0; i < 3; ++i) {
    if (place[i] == INSIDE) continue;
    s[i] = place[i] == AT_LOWER ? blk.lo[i] : blk.hi[i];
    if (!checks.Finite(s[i])) return false;
  }
  if (!SolveInside(checks, blk, place, s)) return false;
  for (int i = 0; i < 3; ++i) {
    if (place[i] == INSIDE) continue;
    const double f = blk.a[i][0] * s[0] + blk.a[i][1] * s[1] + blk.a[i][2] * s[2] + blk.b[i];
    const bool sign_ok = place[i] == AT_LOWER ? checks.Ge(f, 0.0) : checks.Ge(0.0, f);
    if (!sign_ok) return false;
  }
  return true;
}

// Active set number code (0..26) in base 3, x the most significant digit.
void DecodePlaces(int code, int place[3]) {
  place[0] = code / 9;
  place[1] = (code / 3) % 3;
  place[2] = code % 3;
}

int BoundCount(const int place[3]) {
  return (place[0] != INSIDE) + (place[1] != INSIDE) + (place[2] != INSIDE);
}

}  // namespace

int Solve_TestThree(double a11, double a12, double a13, double a21, double a22, double a23,
                    double a31, double a32, double a33, double lx, double ux, double ly,
                    double uy, double lz, double uz) {
  const Checks checks{RowTolerance_Current()};
  const double det = a11 * (a22 * a33 - a32 * a23) + a21 * (a32 * a13 - a12 * a33) +
                     a31 * (a12 * a23 - a22 * a13);
  double sign;
  if (checks.Gt(det, 0.0)) {
    sign = 1.0;
  } else if (checks.Gt(0.0, det)) {
    sign = -1.0;
  } else {
    return 0;
  }
  auto agrees = [&](double minor) { return checks.Gt(sign * minor, 0.0); };
  const bool bx = checks.Finite(lx) || checks.Finite(ux);
  const bool by = checks.Finite(ly) || checks.Finite(uy);
  const bool bz = checks.Finite(lz) || checks.Finite(uz);
  if (bx) {
    if (!agrees(a22 * a33 - a32 * a23)) return 0;
    if (by) {
      if (!agrees(a33)) return 0;
      if (bz && !agrees(1.0)) return 0;
    }
    if (bz && !agrees(a22)) return 0;
  }
  if (by) {
    if (!agrees(a11 * a33 - a31 * a13)) return 0;
    if (bz && !agrees(a11)) return 0;
  }
  if (bz && !agrees(a11 * a22 - a21 * a12)) return 0;
  return 1;
}

bool Solve_Three(double a11, double a12, double a13, double b1, double a21, double a22,
                 double a23, double b2, double a31, double a32, double a33, double b3,
                 double lx, double ux, double ly, double uy, double lz, double uz, double* sx,
                 double* sy, double* sz) {
  const Checks checks{RowTolerance_Current()};
  const Block blk{{{a11, a12, a13}, {a21, a22, a23}, {a31, a32, a33}},
                  {b1, b2, b3},
                  {lx, ly, lz},
                  {ux, uy, uz}};
  for (int bound = 0; bound <= 3; ++bound) {
    for (int code = 0; code < 27; ++code) {
      int place[3];
      DecodePlaces(code, place);
      if (BoundCount(place) != bound) continue;
      double s[3];
      if (!TryActiveSet(checks, blk, place, s)) continue;
      *sx = s[0];
      *sy = s[1];
      *sz = s[2];
      return true;
    }
  }
  return false;
}
