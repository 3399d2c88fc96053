// DenseBasis: dense LU with complete pivoting and in-place column updates.
#include "factorization/DenseBasis.hpp"

#include <cmath>
#include <cstdint>
#include <utility>

#include "core/DenseMatrix.hpp"
#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"

namespace {

double PivotTolerance() { return Factorization_OptionDouble(FACTORIZATION_PIVOT_TOLERANCE); }

// A pivot is acceptable when its magnitude reaches the tolerance; NaN is not.
bool Acceptable(double magnitude, double tolerance) { return magnitude >= tolerance; }

// Pinv and Qinv from P and Q over all n positions.
void SetInverses(DenseBasis* d) {
  const std::int32_t* P = IDenseVector_Array(d->P);
  const std::int32_t* Q = IDenseVector_Array(d->Q);
  std::int32_t* Pinv = IDenseVector_Array(d->Pinv);
  std::int32_t* Qinv = IDenseVector_Array(d->Qinv);
  for (std::int32_t i = 1; i <= d->m; ++i) Pinv[P[i - 1] - 1] = i;
  for (std::int32_t i = 1; i <= d->n; ++i) Qinv[Q[i - 1] - 1] = i;
}

// The factorization status of a fresh factor as replace reports it.
int Rebuilt(DenseBasis* d, SparseMatrix* A, IDenseVector* cols) {
  const int status = DenseBasis_Factor(d, A, cols);
  return status == BASIS_FACTORED ? BASIS_REBUILT : status;
}

// Whether every stored value of column j (1-based) is finite.
bool ColumnFinite(const SparseMatrix_ColumnView& a, std::int32_t j) {
  const std::int32_t first = a.start[j - 1] - 1;
  for (std::int32_t l = first; l < first + a.length[j - 1]; ++l) {
    if (!std::isfinite(a.value[l])) return false;
  }
  return true;
}

// Forward substitution with the unit lower triangular L on work[0..m-1].
void ForwardL(double* const* W, double* work, std::int32_t m) {
  for (std::int32_t i = 1; i < m; ++i) {
    const double* row = W[i];
    double t = work[i];
    for (std::int32_t j = 0; j < i; ++j) t -= row[j] * work[j];
    work[i] = t;
  }
}

// Checks that a vector of the caller holds the elements a solve reads or
// writes.
void RequireRoom(const DenseVector* v, std::int32_t count, const char* operation,
                 const char* role) {
  if (v == nullptr || DenseVector_Capacity(v) < count) {
    Error_SolverError("DenseBasis: %s: %s vector holds %d elements, the basis needs %d.\n",
                      operation, role, v == nullptr ? 0 : DenseVector_Capacity(v), count);
  }
}

// Factors of a singular B stop at the failed pivot: a solve with them
// would divide by what is left of the unfactored block.
void RequireFactors(const DenseBasis* d, const char* operation) {
  if (!d->factored) {
    Error_SolverError("DenseBasis: %s: the basis has no usable factorization.\n", operation);
  }
  if (d->singular) Error_SolverError("DenseBasis: %s: the basis is singular.\n", operation);
}

void* SlotCreate(std::int32_t m, std::int32_t n, std::int32_t nnz) {
  return DenseBasis_Create(m, n, nnz);
}
void SlotDestroy(void* handle) { DenseBasis_Destroy(static_cast<DenseBasis*>(handle)); }
void SlotSize(void* handle, std::int32_t m, std::int32_t n, std::int32_t nnz) {
  DenseBasis_Size(static_cast<DenseBasis*>(handle), m, n, nnz);
}
int SlotFactor(void* handle, SparseMatrix* A, IDenseVector* cols) {
  return DenseBasis_Factor(static_cast<DenseBasis*>(handle), A, cols);
}
int SlotReplace(void* handle, SparseMatrix* A, IDenseVector* cols, std::int32_t k) {
  return DenseBasis_Replace(static_cast<DenseBasis*>(handle), A, cols, k);
}
int SlotSolve(void* handle, DenseVector* x, DenseVector* b) {
  return DenseBasis_Solve(static_cast<DenseBasis*>(handle), x, b);
}
int SlotSolveT(void* handle, DenseVector* x, DenseVector* b) {
  return DenseBasis_SolveT(static_cast<DenseBasis*>(handle), x, b);
}

const Basis_Interface dense_table = {SlotCreate, SlotDestroy, SlotSize,  SlotFactor, SlotReplace,
                                     SlotSolve,  SlotSolveT,  nullptr,   nullptr,    nullptr};

}  // namespace

DenseBasis* DenseBasis_Create(std::int32_t M, std::int32_t N, std::int32_t) {
  if (M < 1) M = 1;
  if (N < 1) N = 1;
  auto* d = Memory_AllocateArray<DenseBasis>(1);
  *d = DenseBasis{};
  d->max_rows = M;
  d->max_cols = N;
  d->max_size = static_cast<std::int64_t>(M) * N;
  try {
    d->W = DenseMatrix_Create(M, N);
    d->work = DenseVector_Create(M > N ? M : N);
    d->P = IDenseVector_Create(M);
    d->Pinv = IDenseVector_Create(M);
    d->Q = IDenseVector_Create(N);
    d->Qinv = IDenseVector_Create(N);
  } catch (...) {
    DenseBasis_Destroy(d);  // what was made so far
    throw;
  }
  return d;
}

void DenseBasis_Destroy(DenseBasis* d) {
  if (d == nullptr) return;
  DenseMatrix_Destroy(d->W);
  DenseVector_Destroy(d->work);
  IDenseVector_Destroy(d->P);
  IDenseVector_Destroy(d->Pinv);
  IDenseVector_Destroy(d->Q);
  IDenseVector_Destroy(d->Qinv);
  Memory_Free(d);
}

void DenseBasis_Size(DenseBasis* d, std::int32_t M, std::int32_t N, std::int32_t) {
  if (M <= d->max_rows && N <= d->max_cols) return;
  d->factored = 0;
  const std::int32_t rows = M > d->max_rows ? M : d->max_rows;
  const std::int32_t cols = N > d->max_cols ? N : d->max_cols;
  // Each member keeps its old block when its growth fails, so the
  // capacities are raised only once every member has grown.
  DenseMatrix_Size(d->W, rows, cols);
  DenseVector_Size(d->work, rows > cols ? rows : cols);
  IDenseVector_Size(d->P, rows);
  IDenseVector_Size(d->Pinv, rows);
  IDenseVector_Size(d->Q, cols);
  IDenseVector_Size(d->Qinv, cols);
  d->max_rows = rows;
  d->max_cols = cols;
  d->max_size = static_cast<std::int64_t>(rows) * cols;
}

int DenseBasis_Load(DenseBasis* d, SparseMatrix* A, IDenseVector* cols) {
  const std::int32_t m = SparseMatrix_Rows(A);
  const std::int32_t n = IDenseVector_Length(cols);
  const std::int32_t a_cols = SparseMatrix_Cols(A);
  if (m > d->max_rows || n > d->max_cols) DenseBasis_Size(d, m, n, 0);
  d->m = m;
  d->n = n;
  d->size = static_cast<std::int64_t>(m) * n;

  DenseMatrix_Zeros(d->W, m, n);
  IDenseVector_Ramp(d->P, m, 1, 1);
  IDenseVector_Ramp(d->Q, n, 1, 1);
  IDenseVector_FillZero(d->Pinv, m);
  IDenseVector_FillZero(d->Qinv, n);

  double* const* W = d->W->row;
  const std::int32_t* column = IDenseVector_Array(cols);
  const SparseMatrix_ColumnView a = SparseMatrix_Columns(A);
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t j = column[k];
    if (j < 1 || j > a_cols) {
      Error_SolverError("DenseBasis: Load: basis column %d is column %d of a matrix with %d "
                        "columns.\n",
                        k + 1, j, a_cols);
    }
    const std::int32_t first = a.start[j - 1] - 1;
    for (std::int32_t l = first; l < first + a.length[j - 1]; ++l) {
      const std::int32_t r = a.row[l];
      if (r < 1 || r > m) {
        Error_SolverError("DenseBasis: Load: row %d of column %d outside 1..%d.\n", r, j, m);
      }
      W[r - 1][k] = a.value[l];
    }
    // A column with an infinite or NaN value is loaded as zeros: the
    // factorization then finds it singular (an infinite pivot would
    // otherwise pass and divide the column's part of every solve to 0).
    if (!ColumnFinite(a, j)) {
      for (std::int32_t r = 0; r < m; ++r) W[r][k] = 0.0;
    }
  }
  return 1;
}

int DenseBasis_Factor(DenseBasis* d, SparseMatrix* A, IDenseVector* cols) {
  d->updates = 0;
  d->singular = 1;
  d->factored = 0;
  DenseBasis_Load(d, A, cols);
  const std::int32_t m = d->m;
  const std::int32_t n = d->n;
  if (m != n) Error_SolverError("Basis: Factor: need square system.\n");
  if (n == 0) {
    d->singular = 0;
    d->factored = 1;
    return BASIS_FACTORED;
  }

  const double tolerance = PivotTolerance();
  double* const* W = d->W->row;
  std::int32_t* P = IDenseVector_Array(d->P);
  std::int32_t* Q = IDenseVector_Array(d->Q);
  for (std::int32_t i = 0; i < n - 1; ++i) {
    // Largest magnitude of the active submatrix, the first in row-major order.
    double largest = std::fabs(W[i][i]);
    std::int32_t pr = i;
    std::int32_t pc = i;
    for (std::int32_t r = i; r < m; ++r) {
      for (std::int32_t c = i; c < n; ++c) {
        const double v = std::fabs(W[r][c]);
        if (v > largest) {
          largest = v;
          pr = r;
          pc = c;
        }
      }
    }
    if (!Acceptable(largest, tolerance)) {
      SetInverses(d);
      d->factored = 1;
      return BASIS_SINGULAR;
    }
    if (pr != i) {
      std::swap(P[pr], P[i]);
      for (std::int32_t c = 0; c < n; ++c) std::swap(W[pr][c], W[i][c]);
    }
    if (pc != i) {
      std::swap(Q[pc], Q[i]);
      for (std::int32_t r = 0; r < m; ++r) std::swap(W[r][pc], W[r][i]);
    }
    const double pivot = W[i][i];
    const double* pivot_row = W[i];
    for (std::int32_t r = i + 1; r < m; ++r) {
      double* target = W[r];
      const double multiplier = target[i] / pivot;
      target[i] = multiplier;
      for (std::int32_t c = i + 1; c < n; ++c) target[c] -= multiplier * pivot_row[c];
    }
  }
  SetInverses(d);
  d->factored = 1;
  if (!Acceptable(std::fabs(W[n - 1][n - 1]), tolerance)) return BASIS_SINGULAR;
  d->singular = 0;
  return BASIS_FACTORED;
}

int DenseBasis_Replace(DenseBasis* d, SparseMatrix* A, IDenseVector* cols, std::int32_t k) {
  const std::int32_t m = d->m;
  const std::int32_t n = d->n;
  if (k > n) {
    Error_SolverError("DenseBasis: Replace: called replace with index %d >= n\n", k);
  }
  // Factors of a singular B are incomplete: no update can start from them.
  if (k < 1 || !d->factored || d->singular ||
      d->updates >= Factorization_OptionInt(FACTORIZATION_UPDATE_LIMIT)) {
    return Rebuilt(d, A, cols);
  }
  const std::int32_t j = IDenseVector_Value(cols, k);
  if (j < 1 || j > SparseMatrix_Cols(A)) {
    Error_SolverError("DenseBasis: Replace: basis column %d is column %d of a matrix with %d "
                      "columns.\n",
                      k, j, SparseMatrix_Cols(A));
  }

  // An entering column with an infinite or NaN value leaves B singular.
  if (!ColumnFinite(SparseMatrix_Columns(A), j)) return Rebuilt(d, A, cols);

  const double tolerance = PivotTolerance();
  double* const* W = d->W->row;
  std::int32_t* P = IDenseVector_Array(d->P);
  std::int32_t* Q = IDenseVector_Array(d->Q);
  const std::int32_t p = IDenseVector_Value(d->Qinv, k);
  d->factored = 0;

  // Remove the column at position p from U and shift the later columns one
  // place left; the upper Hessenberg part that this leaves is reduced row
  // pair by row pair, with L updated so that L U still equals P B Q.
  for (std::int32_t t = p - 1; t <= n - 2; ++t) {
    for (std::int32_t r = 0; r <= p - 2; ++r) W[r][t] = W[r][t + 1];
    double* upper = W[t];
    double* lower = W[t + 1];
    const double s = upper[t + 1];
    const double e = lower[t + 1] + lower[t] * s;
    bool interchange;
    if (s == 0.0) {
      interchange = true;
    } else if (e == 0.0) {
      interchange = false;
    } else {
      const double r1 = lower[t + 1] / s;
      const double r2 = s / e;
      const double r3 = lower[t + 1] / e;
      const double lead = std::fabs(lower[t]) > 1.0 ? std::fabs(lower[t]) : 1.0;
      const double ratio = std::fabs(r2) < std::fabs(r3) ? std::fabs(r2) : std::fabs(r3);
      const double bound = std::fabs(r1) > 1.0 ? std::fabs(r1) : 1.0;
      interchange = lead * ratio < bound;
    }
    // A negligible pivot means the remaining columns are (nearly)
    // dependent: the update cannot be trusted, so factor afresh.
    if (!Acceptable(std::fabs(interchange ? e : s), tolerance)) return Rebuilt(d, A, cols);

    if (!interchange) {
      const double multiplier = lower[t + 1] / s;
      upper[t] = s;
      lower[t] += multiplier;
      for (std::int32_t r = t + 2; r < m; ++r) W[r][t] += multiplier * W[r][t + 1];
      for (std::int32_t c = t + 1; c <= n - 2; ++c) {
        upper[c] = upper[c + 1];
        lower[c + 1] -= multiplier * upper[c];
      }
    } else {
      for (std::int32_t c = 0; c < t; ++c) std::swap(upper[c], lower[c]);
      std::swap(P[t], P[t + 1]);
      const double h = lower[t];
      const double g = s / e;
      lower[t] = g;
      upper[t] = e;
      for (std::int32_t r = t + 2; r < m; ++r) {
        const double v = W[r][t + 1];
        W[r][t + 1] = W[r][t] - h * v;
        W[r][t] = v + g * W[r][t + 1];
      }
      for (std::int32_t c = t + 1; c <= n - 2; ++c) {
        const double v = upper[c + 1];
        upper[c] = lower[c + 1] + h * v;
        lower[c + 1] = v - g * upper[c];
      }
    }
  }

  // Column k of B moves to the last position.
  for (std::int32_t i = p - 1; i < n - 1; ++i) Q[i] = Q[i + 1];
  Q[n - 1] = k;
  SetInverses(d);

  // The new last column of U is L^-1 times the new column in pivot row order.
  const std::int32_t* Pinv = IDenseVector_Array(d->Pinv);
  double* work = DenseVector_Array(d->work);
  for (std::int32_t r = 0; r < m; ++r) work[r] = 0.0;
  const SparseMatrix_ColumnView a = SparseMatrix_Columns(A);
  const std::int32_t first = a.start[j - 1] - 1;
  for (std::int32_t l = first; l < first + a.length[j - 1]; ++l) {
    const std::int32_t r = a.row[l];
    if (r < 1 || r > m) {
      Error_SolverError("DenseBasis: Replace: row %d of column %d outside 1..%d.\n", r, j, m);
    }
    work[Pinv[r - 1] - 1] = a.value[l];
  }
  ForwardL(W, work, m);
  for (std::int32_t r = 0; r < m; ++r) W[r][n - 1] = work[r];

  if (!Acceptable(std::fabs(W[n - 1][n - 1]), tolerance)) return Rebuilt(d, A, cols);
  d->factored = 1;
  ++d->updates;
  return BASIS_UPDATED;
}

int DenseBasis_Solve(DenseBasis* d, DenseVector* x, DenseVector* b) {
  const std::int32_t m = d->m;
  const std::int32_t n = d->n;
  RequireRoom(b, m, "Solve", "right-hand side");
  RequireRoom(x, n, "Solve", "result");
  RequireFactors(d, "Solve");
  double* const* W = d->W->row;
  double* work = DenseVector_Array(d->work);
  const std::int32_t* Pinv = IDenseVector_Array(d->Pinv);
  const std::int32_t* Q = IDenseVector_Array(d->Q);
  const double* rhs = DenseVector_Array(b);
  for (std::int32_t i = 0; i < m; ++i) work[Pinv[i] - 1] = rhs[i];

  ForwardL(W, work, m);
  if (m > 0) {
    work[m - 1] *= 1.0 / W[m - 1][m - 1];
    for (std::int32_t i = m - 2; i >= 0; --i) {
      const double* row = W[i];
      double t = work[i];
      for (std::int32_t j = i + 1; j < m; ++j) t -= row[j] * work[j];
      work[i] = t * (1.0 / row[i]);
    }
  }

  double* result = DenseVector_Array(x);
  for (std::int32_t i = 0; i < n; ++i) result[Q[i] - 1] = work[i];
  DenseVector_SetLength(x, n);
  return 0;
}

int DenseBasis_SolveT(DenseBasis* d, DenseVector* x, DenseVector* b) {
  const std::int32_t m = d->m;
  const std::int32_t n = d->n;
  RequireRoom(b, n, "SolveT", "right-hand side");
  RequireRoom(x, m, "SolveT", "result");
  RequireFactors(d, "SolveT");
  double* const* W = d->W->row;
  double* work = DenseVector_Array(d->work);
  const std::int32_t* Qinv = IDenseVector_Array(d->Qinv);
  const std::int32_t* P = IDenseVector_Array(d->P);
  const double* rhs = DenseVector_Array(b);
  for (std::int32_t i = 0; i < n; ++i) work[Qinv[i] - 1] = rhs[i];

  // U' then L', both by columns of the transposed factors.
  for (std::int32_t i = 0; i < n; ++i) {
    const double* row = W[i];
    const double t = work[i] * (1.0 / row[i]);
    work[i] = t;
    for (std::int32_t j = i + 1; j < n; ++j) work[j] -= row[j] * t;
  }
  for (std::int32_t i = m - 1; i >= 0; --i) {
    const double* row = W[i];
    const double t = work[i];
    for (std::int32_t j = i - 1; j >= 0; --j) work[j] -= row[j] * t;
  }

  double* result = DenseVector_Array(x);
  for (std::int32_t i = 0; i < m; ++i) result[P[i] - 1] = work[i];
  DenseVector_SetLength(x, m);
  return 0;
}

const Basis_Interface* DenseBasis_Interface() { return &dense_table; }

void DenseBasis_Select() { Basis_SetInterface(&dense_table); }
