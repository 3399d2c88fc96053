// CrashMatrix: the crash phase's Newton matrix, factored once and then
// kept up to date by column replacements while J and mu stay the same.
#include "solver/CrashMatrix.hpp"

#include <cmath>
#include <cstring>
#include <limits>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "problems/MCP.hpp"

namespace {

// More changed memberships than this fraction of n are cheaper as one fresh
// factorization than as that many updates.
constexpr double kManyChanges = 0.1;
// Largest backward error of a solve with factors that are not fresh
// factors of B itself, relative to |B| |y| + |r|.
constexpr double kSolveAccuracy = 1e-10;
// Refinement steps a solve may take before B is factored afresh; a step
// that does not halve the error ends the refinement early.
constexpr int kRefineSteps = 8;
// Factorizations that take at least this many seconds are long enough to
// time: the factors are then kept only while the updates and refinement
// solves since the factorization took less time than it did.
constexpr double kTimedFactorization = 0.01;

double BasisSeconds() { return Basis_Seconds(Workspace_Basis()); }

// The basis column of position j (1-based) under status.
std::int32_t ColumnOf(const std::int32_t* codes, std::int32_t j, std::int32_t n) {
  return codes[j - 1] == BASIS_BASIC ? j : n + j;
}

// Room for n rows, 2n columns and need entries in the Workspace matrix.
SparseMatrix* SizedMatrix(std::int32_t n, std::int64_t need) {
  SparseMatrix* A = Workspace_Matrix();
  const std::int64_t columns = 2 * static_cast<std::int64_t>(n);
  if (need > std::numeric_limits<std::int32_t>::max() ||
      columns > std::numeric_limits<std::int32_t>::max()) {
    Error_Report("CrashMatrix", __LINE__, "Build", "system too large");
  }
  if (need > SparseMatrix_NNZCapacity(A) || columns > SparseMatrix_ColCapacity(A) ||
      n > SparseMatrix_RowCapacity(A)) {
    SparseMatrix_Resize(A, n, static_cast<std::int32_t>(columns), static_cast<std::int32_t>(need));
  }
  SparseMatrix_SetSize(A, n, static_cast<std::int32_t>(columns), static_cast<std::int32_t>(need));
  return A;
}

// The Workspace matrix := [J + mu I, I] on rows and columns 1..n of J
// (entries of J outside them are left out; a missing diagonal is added).
void BuildMatrix(const SparseMatrix* J, std::int32_t n, double mu) {
  SparseMatrix* A = SizedMatrix(n, static_cast<std::int64_t>(SparseMatrix_NNZ(J)) + 2 * n);
  std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(A));
  std::int32_t* length = IDenseVector_Array(SparseMatrix_ColLen(A));
  std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(A));
  double* value = DenseVector_Array(SparseMatrix_Values(A));
  const SparseMatrix_ColumnView jac = SparseMatrix_Columns(J);
  const std::int32_t jcols = SparseMatrix_Cols(J);

  std::int32_t count = 0;
  for (std::int32_t j = 1; j <= n; ++j) {
    start[j - 1] = count + 1;
    bool diagonal = false;
    const std::int32_t first = j <= jcols ? jac.start[j - 1] : 0;
    const std::int32_t last = j <= jcols ? first + jac.length[j - 1] : 0;
    for (std::int32_t p = first; p < last; ++p) {
      const std::int32_t i = jac.row[p - 1];
      if (i < 1 || i > n) continue;
      row[count] = i;
      value[count] = jac.value[p - 1];
      if (i == j && !diagonal) {
        value[count] += mu;
        diagonal = true;
      }
      ++count;
    }
    if (!diagonal) {
      row[count] = j;
      value[count] = mu;
      ++count;
    }
    length[j - 1] = count - start[j - 1] + 1;
  }
  for (std::int32_t j = 1; j <= n; ++j) {
    start[n + j - 1] = count + 1;
    length[n + j - 1] = 1;
    row[count] = j;
    value[count] = 1.0;
    ++count;
  }
  SparseMatrix_SetNNZ(A, count);
  SparseMatrix_SetFlags(A, SPARSE_PACKED);
}

// cols := the basis columns of status.
void SetColumns(IDenseVector* cols, const IDenseVector* status) {
  const std::int32_t n = IDenseVector_Length(status);
  const std::int32_t* codes = IDenseVector_Array(status);
  if (IDenseVector_Capacity(cols) < n) IDenseVector_Size(cols, n);
  IDenseVector_SetLength(cols, n);
  std::int32_t* c = IDenseVector_Array(cols);
  for (std::int32_t j = 1; j <= n; ++j) c[j - 1] = ColumnOf(codes, j, n);
}

int Refactor(CrashMatrix* matrix) {
  matrix->factorizations += 1;
  matrix->updates = 0;
  matrix->kept_seconds = 0.0;
  matrix->kept_operations = 0;
  const double before = BasisSeconds();
  matrix->factored =
      Basis_Factor(Workspace_Basis(), Workspace_Matrix(), matrix->cols) == BASIS_FACTORED;
  matrix->factor_seconds = BasisSeconds() - before;
  return matrix->factored ? 1 : 0;
}

// Work on kept factors: operations updates or refinement solves that took
// seconds in all.
void KeptWork(CrashMatrix* matrix, std::int32_t operations, double seconds) {
  matrix->kept_operations += operations;
  matrix->kept_seconds += seconds;
}

// True when changes more updates would, at the average time of the work
// on the kept factors so far, take the factors past the time of a fresh
// factorization (with changes 0: when they are past it already).
bool CheaperAfresh(const CrashMatrix* matrix, std::int32_t changes) {
  if (matrix->factor_seconds < kTimedFactorization || matrix->kept_operations == 0) return false;
  const double each = matrix->kept_seconds / matrix->kept_operations;
  return matrix->kept_seconds + changes * each > matrix->factor_seconds;
}

// Factors afresh with the proximal term asked for.
int Rebuild(CrashMatrix* matrix, std::int32_t n) {
  BuildMatrix(matrix->J, n, matrix->target);
  matrix->mu = matrix->target;
  return Refactor(matrix);
}

// Positions whose basis column differs from the one status asks for.
std::int32_t Changes(const CrashMatrix* matrix, const IDenseVector* status) {
  const std::int32_t n = IDenseVector_Length(status);
  if (IDenseVector_Length(matrix->cols) != n) return n;
  const std::int32_t* codes = IDenseVector_Array(status);
  const std::int32_t* c = IDenseVector_Array(matrix->cols);
  std::int32_t changes = 0;
  for (std::int32_t j = 1; j <= n; ++j) changes += c[j - 1] != ColumnOf(codes, j, n) ? 1 : 0;
  return changes;
}

// How many replacements the factors may still take.
std::int64_t UpdateRoom(const CrashMatrix* matrix, std::int32_t n) {
  const std::int64_t limit = Factorization_OptionInt(FACTORIZATION_UPDATE_LIMIT);
  const std::int64_t left = limit - matrix->updates;
  const auto share = static_cast<std::int64_t>(kManyChanges * n);
  return left < share ? left : share;
}

// Replaces every changed column by an update, or factors afresh once the
// updates took longer than a factorization. Returns 0 when B is singular.
int Replace(CrashMatrix* matrix, const IDenseVector* status) {
  const std::int32_t n = IDenseVector_Length(status);
  const std::int32_t* codes = IDenseVector_Array(status);
  std::int32_t* c = IDenseVector_Array(matrix->cols);
  for (std::int32_t j = 1; j <= n; ++j) {
    const std::int32_t column = ColumnOf(codes, j, n);
    if (c[j - 1] == column) continue;
    c[j - 1] = column;
    const double before = BasisSeconds();
    const int result = Basis_Replace(Workspace_Basis(), Workspace_Matrix(), matrix->cols, j);
    if (result == BASIS_UPDATED) {
      matrix->updates += 1;
      matrix->total_updates += 1;
      KeptWork(matrix, 1, BasisSeconds() - before);
      if (!CheaperAfresh(matrix, 0)) continue;
      SetColumns(matrix->cols, status);
      return Rebuild(matrix, n);
    }
    // The basis factored B afresh instead.
    matrix->factorizations += 1;
    matrix->updates = 0;
    matrix->kept_seconds = 0.0;
    matrix->kept_operations = 0;
    matrix->factor_seconds = BasisSeconds() - before;
    if (result != BASIS_REBUILT) {
      matrix->factored = false;
      return 0;
    }
  }
  return 1;
}

// work := r - B y for B of the latest Prepare (its proximal term target
// rather than the one inside A). Returns the largest entry of it against
// the largest entry of |B| |y| + |r|: within rounding when at most
// kSolveAccuracy, and NaN makes it fail that test.
double Residual(const CrashMatrix* matrix, const DenseVector* y, const DenseVector* r) {
  const SparseMatrix* A = Workspace_Matrix();
  const std::int32_t n = DenseVector_Length(r);
  if (DenseVector_Capacity(matrix->work) < 2 * n) DenseVector_Size(matrix->work, 2 * n);
  DenseVector_SetLength(matrix->work, n);
  double* residual = DenseVector_Array(matrix->work);
  double* size = residual + n;
  const double* ys = DenseVector_Array(y);
  const double* rs = DenseVector_Array(r);
  for (std::int32_t i = 0; i < n; ++i) {
    residual[i] = rs[i];
    size[i] = std::fabs(rs[i]);
  }
  const SparseMatrix_ColumnView a = SparseMatrix_Columns(A);
  const std::int32_t* c = IDenseVector_Array(matrix->cols);
  const double shift = matrix->target - matrix->mu;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t j = c[k];
    for (std::int32_t p = a.start[j - 1]; p < a.start[j - 1] + a.length[j - 1]; ++p) {
      residual[a.row[p - 1] - 1] -= a.value[p - 1] * ys[k];
      size[a.row[p - 1] - 1] += std::fabs(a.value[p - 1] * ys[k]);
    }
    if (j == k + 1) residual[k] -= shift * ys[k];
  }
  double error = 0.0;
  double scale = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    error = std::fmax(error, std::fabs(residual[i]));
    scale = std::fmax(scale, size[i]);
  }
  if (std::isnan(error)) return error;
  return scale > 0.0 ? error / scale : error;
}

// Refines y towards B^-1 r with the factors in the basis. Returns true once
// y is within rounding.
bool Refine(CrashMatrix* matrix, DenseVector* y, const DenseVector* r) {
  const std::int32_t n = DenseVector_Length(r);
  double previous = std::numeric_limits<double>::infinity();
  for (int step = 0;; ++step) {
    const double error = Residual(matrix, y, r);
    if (error <= kSolveAccuracy) return true;
    if (!(error <= 0.5 * previous) || step == kRefineSteps) return false;
    previous = error;
    if (DenseVector_Capacity(matrix->correction) < n) DenseVector_Size(matrix->correction, n);
    const double before = BasisSeconds();
    Basis_Solve(Workspace_Basis(), matrix->correction, matrix->work);
    matrix->refinements += 1;
    KeptWork(matrix, 1, BasisSeconds() - before);
    double* ys = DenseVector_Array(y);
    const double* dy = DenseVector_Array(matrix->correction);
    for (std::int32_t i = 0; i < n; ++i) ys[i] += dy[i];
  }
}

bool SameColumns(const SparseMatrix* A, const SparseMatrix* B) {
  if (SparseMatrix_Cols(A) != SparseMatrix_Cols(B)) return false;
  const SparseMatrix_ColumnView a = SparseMatrix_Columns(A);
  const SparseMatrix_ColumnView b = SparseMatrix_Columns(B);
  for (std::int32_t j = 0; j < SparseMatrix_Cols(A); ++j) {
    if (a.length[j] != b.length[j]) return false;
    const std::size_t count = static_cast<std::size_t>(a.length[j]);
    if (count == 0) continue;
    if (std::memcmp(a.row + a.start[j] - 1, b.row + b.start[j] - 1,
                    count * sizeof(std::int32_t)) != 0) {
      return false;
    }
    for (std::size_t p = 0; p < count; ++p) {
      // Exact comparison on purpose: the factors hold these very numbers.
      if (!(a.value[a.start[j] - 1 + p] == b.value[b.start[j] - 1 + p])) return false;
    }
  }
  return true;
}

}  // namespace

CrashMatrix CrashMatrix_Start(IDenseVector* cols, DenseVector* work, DenseVector* correction) {
  return CrashMatrix{cols, work, correction, nullptr, false, 0.0, 0.0, 0, 0, 0, 0, 0.0, 0.0, 0};
}

int CrashMatrix_Prepare(CrashMatrix* matrix, FunctionJacobian* FJ, const IDenseVector* status,
                        double mu) {
  const std::int32_t n = IDenseVector_Length(status);
  matrix->J = FunctionJacobian_Jacobian(FJ);
  matrix->target = mu;
  if (!matrix->factored || !(mu <= matrix->mu && mu >= 0.0)) {
    SetColumns(matrix->cols, status);
    return Rebuild(matrix, n);
  }
  const std::int32_t changes = Changes(matrix, status);
  if (changes == 0) return 1;
  if (changes > UpdateRoom(matrix, n) || CheaperAfresh(matrix, changes)) {
    SetColumns(matrix->cols, status);
    return Rebuild(matrix, n);
  }
  return Replace(matrix, status);
}

int CrashMatrix_Solve(CrashMatrix* matrix, DenseVector* y, DenseVector* r) {
  Basis_Solve(Workspace_Basis(), y, r);
  const bool fresh = matrix->updates == 0 && matrix->target == matrix->mu;
  if (fresh || Refine(matrix, y, r)) return 1;
  if (!Rebuild(matrix, DenseVector_Length(r))) return 0;
  Basis_Solve(Workspace_Basis(), y, r);
  return 1;
}

std::int32_t CrashMatrix_UpdateRoom(const CrashMatrix* matrix, std::int32_t n) {
  if (!matrix->factored) return 0;
  const std::int64_t room = UpdateRoom(matrix, n);
  return room > 0 ? static_cast<std::int32_t>(room) : 0;
}

bool CrashMatrix_NextJacobian(CrashMatrix* matrix, const SparseMatrix* before,
                              const SparseMatrix* after) {
  const bool same = SameColumns(before, after);
  if (!same) matrix->factored = false;
  return same;
}
