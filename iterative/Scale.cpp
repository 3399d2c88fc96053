// Jacobian scaling: the four rules, the unscaling and the conversions
// through the process-wide row and column factors.
#include "iterative/Scale.hpp"

#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"

namespace {

// Set by every scaling call; until then the factors count as units.
bool scaled = false;

double Floor() { return std::pow(std::pow(2.0, -52.0), 2.0 / 3.0); }

DenseVector* RowFactors() { return Workspace_ScaleVector1(); }
DenseVector* ColFactors() { return Workspace_ScaleVector2(); }

// The sizes every scaling call relies on.
void CheckSizes(const char* operation, const SparseMatrix* J, const DenseVector* F,
                const DenseVector* x) {
  if (J == nullptr || F == nullptr) Error_SolverError("Scale: %s: missing argument.\n", operation);
  const std::int32_t n = DenseVector_Length(F);
  if (SparseMatrix_Rows(J) != n || SparseMatrix_Cols(J) != n) {
    Error_SolverError("Scale: %s: the matrix is %d x %d, the function has %d elements.\n",
                      operation, SparseMatrix_Rows(J), SparseMatrix_Cols(J), n);
  }
  if (x != nullptr && DenseVector_Length(x) != n) {
    Error_SolverError("Scale: %s: the point has %d elements, the function %d.\n", operation,
                      DenseVector_Length(x), n);
  }
  if (DenseVector_Capacity(RowFactors()) < n) {
    Error_SolverError("Scale: %s: the workspace holds %d elements, the function has %d.\n",
                      operation, DenseVector_Capacity(RowFactors()), n);
  }
}

// The diagonal rules: r from J's diagonal through rule, s := ones, then the
// rows of J and F are scaled.
template <class Rule>
void ScaleByDiagonal(const char* operation, SparseMatrix* J, DenseVector* F, Rule rule) {
  CheckSizes(operation, J, F, nullptr);
  const std::int32_t n = DenseVector_Length(F);
  DenseVector* r = RowFactors();
  DenseVector_FillOne(ColFactors(), n);
  SparseMatrix_GetDiagonal(r, J);
  double* d = DenseVector_Array(r);
  for (std::int32_t i = 0; i < n; ++i) d[i] = rule(std::fabs(d[i]));
  SparseMatrix_ScaleRows(J, r);
  DenseVector_Mul(F, F, r);
  scaled = true;
}

// The factor of the large-diagonal rule (1 below 100).
double LargeFactor(double d) { return d >= 100.0 ? 10.0 / d : 1.0; }

// The factor of the small-diagonal rule (1 above 0.01). Below the floor the
// factor is the floor itself, not 0.1 / floor: such a row is scaled down,
// and the unscaling undoes it exactly.
double SmallFactor(double d) {
  if (d > 0.01) return 1.0;
  return d >= Floor() ? 0.1 / d : Floor();
}

// 1 / sqrt(sum), or 1 / floor for a sum below the floor (again the floor
// itself, not its square root: the unscaling undoes it exactly).
void InvertRootsWithFloor(DenseVector* v) {
  const double floor = Floor();
  double* a = DenseVector_Array(v);
  const std::int32_t n = DenseVector_Length(v);
  for (std::int32_t i = 0; i < n; ++i) a[i] = a[i] >= floor ? 1.0 / std::sqrt(a[i]) : 1.0 / floor;
}

// v (at most as long as the factors) := v op factors.
void Convert(DenseVector* v, DenseVector* factors, bool multiply) {
  if (DenseVector_Length(v) > DenseVector_Length(factors)) {
    Error_SolverError("Scale: the vector has %d elements, the scale factors %d.\n",
                      DenseVector_Length(v), DenseVector_Length(factors));
  }
  if (multiply) {
    DenseVector_Mul(v, v, factors);
  } else {
    DenseVector_Div(v, v, factors);
  }
}

}  // namespace

void Scale_Jacobian(std::int32_t type, SparseMatrix* J, DenseVector* F, DenseVector* x) {
  switch (type) {
    case SCALE_LARGE_DIAGONAL:
      return Scale_LargeDiagonal(J, F);
    case SCALE_SMALL_DIAGONAL:
      return Scale_SmallDiagonal(J, F);
    case SCALE_BOTH_DIAGONAL:
      return Scale_BothDiagonal(J, F);
    case SCALE_ROW_COL_NORMS:
      return Scale_RowColNorms(J, F, x);
    default:
      return;
  }
}

void Scale_LargeDiagonal(SparseMatrix* J, DenseVector* F) {
  ScaleByDiagonal("LargeDiagonal", J, F, LargeFactor);
}

void Scale_SmallDiagonal(SparseMatrix* J, DenseVector* F) {
  ScaleByDiagonal("SmallDiagonal", J, F, SmallFactor);
}

void Scale_BothDiagonal(SparseMatrix* J, DenseVector* F) {
  ScaleByDiagonal("BothDiagonal", J, F,
                  [](double d) { return d > 0.01 ? LargeFactor(d) : SmallFactor(d); });
}

void Scale_RowColNorms(SparseMatrix* J, DenseVector* F, DenseVector* x) {
  if (x == nullptr) Error_SolverError("Scale: RowColNorms: missing argument.\n");
  CheckSizes("RowColNorms", J, F, x);
  DenseVector* r = RowFactors();
  DenseVector* s = ColFactors();
  SparseMatrix_RowSumSquares(r, J);
  const std::int32_t n = DenseVector_Length(F);
  double* ra = DenseVector_Array(r);
  const double* f = DenseVector_Array(F);
  for (std::int32_t i = 0; i < n; ++i) ra[i] += f[i] * f[i];
  InvertRootsWithFloor(r);
  SparseMatrix_ScaleRows(J, r);
  DenseVector_Mul(F, F, r);
  SparseMatrix_ColSumSquares(s, J);
  InvertRootsWithFloor(s);
  SparseMatrix_ScaleCols(J, s);
  DenseVector_Div(x, x, s);
  scaled = true;
}

void Scale_Unscale(SparseMatrix* J, DenseVector* F, DenseVector* x) {
  if (!scaled) return;
  CheckSizes("Unscale", J, F, x);
  if (DenseVector_Length(F) > DenseVector_Length(RowFactors())) {
    Error_SolverError("Scale: Unscale: the function has %d elements, the scale factors %d.\n",
                      DenseVector_Length(F), DenseVector_Length(RowFactors()));
  }
  SparseMatrix_UnscaleCols(J, ColFactors());
  if (x != nullptr) DenseVector_Mul(x, x, ColFactors());
  SparseMatrix_UnscaleRows(J, RowFactors());
  DenseVector_Div(F, F, RowFactors());
}

void Scale_MulBoth(DenseVector* v) {
  if (!scaled) return;
  Convert(v, RowFactors(), true);
  Convert(v, ColFactors(), true);
}

void Scale_MulFirst(DenseVector* v) {
  if (scaled) Convert(v, RowFactors(), true);
}

void Scale_DivBoth(DenseVector* v) {
  if (!scaled) return;
  Convert(v, RowFactors(), false);
  Convert(v, ColFactors(), false);
}

void Scale_DivFirst(DenseVector* v) {
  if (scaled) Convert(v, RowFactors(), false);
}

void Scale_ForgetState() { scaled = false; }

bool Scale_StateAtRest() { return !scaled; }
