// Incomplete LU preconditioner: J is factored on the Workspace's basis with
// the drop tolerance raised to ilu_drop_tolerance, and with ilu_perturbation
// added to its diagonal when a factorization fails. Both options adapt over
// up to ten attempts and are relaxed again after each solve, so what one
// solve learns carries over to the next.
#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "iterative/Iterative_internal.hpp"
#include "iterative/Precond.hpp"
#include "iterative/Precond_internal.hpp"

namespace {

constexpr int kAttempts = 10;

double& DropTolerance() { return Options_CommonTable[COMMON_ILU_DROP_TOLERANCE].double_value; }
double& Perturbation() { return Options_CommonTable[COMMON_ILU_PERTURBATION].double_value; }
double& SmallTolerance() {
  return Factorization_OptionTable[FACTORIZATION_SMALL_TOLERANCE].double_value;
}

// Keeps factorization_small_tolerance and puts it back when it goes, on
// every path out of the setup (an interrupt jump or a solver error included).
class SmallToleranceKeeper {
 public:
  SmallToleranceKeeper() : kept_(SmallTolerance()) {}
  ~SmallToleranceKeeper() { SmallTolerance() = kept_; }
  SmallToleranceKeeper(const SmallToleranceKeeper&) = delete;
  SmallToleranceKeeper& operator=(const SmallToleranceKeeper&) = delete;

 private:
  double kept_;
};

// The exponent k of the power of two that brings the largest magnitude of J
// into [1, 2). The factor is of 2^k J: the basis's tolerances are absolute
// (the drop tolerance, its small pivot bound), and so is the perturbation,
// so that a well-conditioned J far from unit scale would otherwise be taken
// for singular (or have every entry dropped). A J at unit scale has k = 0
// and is factored as it is.
int UnitScaleExponent(const SparseMatrix* J) {
  const double largest = SparseMatrix_MaxAbsNonzero(J);
  if (!(largest > 0.0) || !std::isfinite(largest)) return 0;
  int exponent = 0;
  std::frexp(largest, &exponent);
  return 1 - exponent;
}

// Factors 2^k J (k = ilu_exponent), and with a perturbation a copy of it
// holding every diagonal entry, raised by the perturbation. J itself is
// factored when neither applies; otherwise a copy, so the caller's matrix is
// never written (adding and then subtracting a value would not give its
// entries back).
int FactorAttempt(Basis* basis, SparseMatrix* J, IDenseVector* columns, double perturbation) {
  const int exponent = precond_internal::ilu_exponent;
  if (perturbation == 0.0 && exponent == 0) return Basis_Factor(basis, J, columns);
  const int add_diagonal = perturbation != 0.0 ? 1 : 0;
  SparseMatrix* copy = Workspace_Matrix();
  const std::int64_t entries = SparseMatrix_CloneEntryCount(J, nullptr, nullptr, add_diagonal);
  if (entries > INT32_MAX) Error_SolverError("Preconditioner: matrix too large to copy.\n");
  SparseMatrix_Resize(copy, SparseMatrix_Rows(J), SparseMatrix_Cols(J),
                      static_cast<std::int32_t>(entries));
  SparseMatrix_CloneFull(copy, J, add_diagonal);
  iterative_frame::ScaleByPowerOfTwo(SparseMatrix_Values(copy), exponent);
  if (perturbation != 0.0) SparseMatrix_PerturbDiagonalVal(copy, perturbation);
  return Basis_Factor(basis, copy, columns);
}

// The options after a failed attempt with the given basis status.
void Adapt(int status) {
  if (status == BASIS_STORAGE) {
    DropTolerance() = std::sqrt(DropTolerance());
    if (Perturbation() != 0.0) {
      const double floor = std::sqrt(DropTolerance());
      if (Perturbation() < floor) Perturbation() = floor;
    }
  } else if (status == BASIS_SINGULAR) {
    Perturbation() = Perturbation() != 0.0
                         ? Perturbation() * Options_CommonDouble(COMMON_ILU_PERTURBATION_INCREASE_FACTOR)
                         : Options_CommonDouble(COMMON_ILU_PERTURBATION_INITIAL_VALUE);
  } else {
    Error_SolverError("Basis returns unknown condition.\n");
  }
}

// v := J^-1 v (transpose: J^-T v) with the factor of B = 2^k J in the
// workspace basis, when ready: J^-1 = 2^k B^-1. The basis drops values below
// its small tolerance, an absolute bound, from its solves: v is solved for
// at a largest magnitude of 1 and scaled back, so that a small vector (a
// residual near convergence) is not taken for 0. A v that is not finite (a
// product that overflowed) is left as it is: the solve would turn a NaN into
// 0, which a solver takes for a solution.
void Solve(DenseVector* v, int (*solve)(Basis*, DenseVector*, DenseVector*)) {
  if (!precond_internal::ilu_factor_ready || !iterative_frame::AllFinite(v)) return;
  DenseVector* copy = Workspace_FactorVector1();
  if (DenseVector_Capacity(copy) < DenseVector_Length(v)) {
    Error_SolverError("Preconditioner: the workspace holds %d elements, the vector %d.\n",
                      DenseVector_Capacity(copy), DenseVector_Length(v));
  }
  DenseVector_CloneFull(copy, v);
  const double largest = DenseVector_InfNorm(copy);
  const bool scaled = largest > 0.0 && std::isfinite(largest);
  if (scaled) DenseVector_Scale(copy, copy, 1.0 / largest);
  solve(Workspace_Basis(), v, copy);
  const double factor = std::ldexp(scaled ? largest : 1.0, precond_internal::ilu_exponent);
  if (factor != 1.0) DenseVector_Scale(v, v, factor);
}

}  // namespace

void Precond_ILUSetup(SparseMatrix* matrix) {
  SmallToleranceKeeper keeper;
  const std::int32_t n = SparseMatrix_Rows(matrix);
  Basis* basis = Workspace_Basis();
  Basis_Size(basis, n, n, SparseMatrix_NNZ(matrix));
  IDenseVector* columns = Workspace_FactorIVector();
  if (IDenseVector_Capacity(columns) < n) {
    Error_SolverError("Preconditioner: the workspace holds %d elements, the matrix has %d rows.\n",
                      IDenseVector_Capacity(columns), n);
  }
  IDenseVector_Ramp(columns, n, 1, 1);
  precond_internal::ilu_factor_ready = 0;
  precond_internal::ilu_exponent = UnitScaleExponent(matrix);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    SmallTolerance() = DropTolerance();
    Output_Printf(OUTPUT_LOG, "Drop tolerance: %5.4e\n", DropTolerance());
    Output_Printf(OUTPUT_LOG, "Perturbation  : %5.4e\n", Perturbation());
    const int status = FactorAttempt(basis, matrix, columns, Perturbation());
    Output_Printf(OUTPUT_LOG, "ILU Factor: %d\n", status);
    if (status == BASIS_FACTORED) {
      precond_internal::ilu_factor_ready = 1;
      return;
    }
    Adapt(status);
  }
  // Ten failures are not an error: the preconditioner acts as the identity.
}

void Precond_ILUFinish() {
  const double squared = DropTolerance() * DropTolerance();
  DropTolerance() = squared < SmallTolerance() ? SmallTolerance() : squared;
  const double relaxed =
      Perturbation() * Options_CommonDouble(COMMON_ILU_PERTURBATION_DECREASE_FACTOR);
  Perturbation() =
      relaxed < Options_CommonDouble(COMMON_ILU_PERTURBATION_SMALL_VALUE) ? 0.0 : relaxed;
}

void Precond_ILUApply(DenseVector* v) { Solve(v, Basis_Solve); }

void Precond_ILUApplyT(DenseVector* v) { Solve(v, Basis_SolveT); }
