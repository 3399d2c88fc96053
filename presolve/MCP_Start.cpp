// MCP start: reads the caller's problem through its callbacks, checks it,
// evaluates it at the start point, runs the presolve when allowed and sets
// up the reduced problem (fixed variables out, "eta" in with the
// free-variable transform).
#include "presolve/MCP_Start.hpp"

#include <algorithm>
#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "presolve/Presolve.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveUtil.hpp"
#include "presolve/Presolve_internal.hpp"
#include "problems/MCP.hpp"

namespace {

// The option infinity: bounds at or beyond it are infinite.
double Infinity() { return Options_CommonDouble(COMMON_INFINITY); }

// The four callbacks every start needs; a record without them cannot be
// solved, and calling an empty slot would crash.
void CheckRequiredSlots(const MCP* mcp) {
  const MCP_Interface& in = mcp->interface;
  if (in.problem_size == nullptr || in.bounds == nullptr || in.function_evaluation == nullptr ||
      in.jacobian_evaluation == nullptr) {
    Error_SolverError("MCP: Start: problem callbacks not installed.\n");
  }
}

void CallAfterPresolve(MCP* mcp) {
  const MCP_PresolveInterface& p = mcp->presolve_interface;
  if (p.after_presolve != nullptr) p.after_presolve(p.data);
}

// Ends the start before the problem was usable: no full and no reduced
// problem, so that the finish only runs the finish callbacks.
int Abandon(MCP* mcp, int status) {
  mcp->n = 0;
  mcp->n_r = 0;
  return status;
}

// Reads the sizes; returns false when there is no variable.
bool ReadProblemSize(MCP* mcp) {
  int n = 0;
  int nnz = 0;
  mcp->interface.problem_size(mcp->interface.data, &n, &nnz);
  if (n < 0 || nnz < 0) {
    Error_SolverError("MCP: Start: invalid problem size (n = %d, nnz = %d).\n", n, nnz);
  }
  mcp->n = std::max(n, 1);
  mcp->nnz = std::max(nnz, 1);
  mcp->fixed_count = 0;
  if (n == 0) return false;
  if (nnz == 0) Error_Warning("Empty jacobian.\n");
  MCP_Size(mcp, mcp->n, mcp->nnz);
  return true;
}

void ReadBounds(MCP* mcp) {
  std::int32_t n = mcp->n;
  double inf = Infinity();
  DenseVector_Fill(mcp->lower, n, -inf);
  DenseVector_Fill(mcp->upper, n, inf);
  DenseVector_FillZero(mcp->x, n);
  mcp->interface.bounds(mcp->interface.data, n, DenseVector_Array(mcp->x),
                        DenseVector_Array(mcp->lower), DenseVector_Array(mcp->upper));
}

void ReadBasis(MCP* mcp) {
  IDenseVector_FillZero(mcp->basis, mcp->n);
  if (mcp->interface.basis != nullptr) {
    mcp->interface.basis(mcp->interface.data, mcp->n, IDenseVector_Array(mcp->basis));
  }
}

// The reduced vectors: the full ones without the fixed variables.
void BuildReducedProblem(MCP* mcp) {
  const IDenseVector* map = mcp->full_to_reduced;
  DenseVector_Clone(mcp->lower_r, mcp->lower, map);
  DenseVector_Clone(mcp->upper_r, mcp->upper, map);
  DenseVector_Clone(mcp->x_r, mcp->x, map);
  IDenseVector_Clone(mcp->basis_r, mcp->basis, map);
  mcp->n_r = mcp->n - mcp->fixed_count;
  double n_r = mcp->n_r;
  mcp->nnz_r = static_cast<std::int32_t>(std::min(static_cast<double>(mcp->nnz) + n_r, n_r * n_r));
}

// Moves the free variables to x' = x + eta with x' >= 0 and appends the
// extra variable eta >= 0 last.
void ApplyFreeVariableTransform(MCP* mcp) {
  double inf = Infinity();
  std::int32_t n_r = mcp->n_r;
  double* lower = DenseVector_Array(mcp->lower_r);
  double* upper = DenseVector_Array(mcp->upper_r);
  double* x = DenseVector_Array(mcp->x_r);
  std::int32_t* flag = IDenseVector_Array(mcp->free_flag);
  std::int32_t* list = IDenseVector_Array(mcp->free_list);

  mcp->free_count = 0;
  IDenseVector_FillZero(mcp->free_flag, n_r);
  IDenseVector_FillZero(mcp->free_list, n_r);
  for (std::int32_t i = 0; i < n_r; ++i) {
    if (lower[i] == -inf && upper[i] == inf) {
      flag[i] = 1;
      list[mcp->free_count] = i + 1;
      mcp->free_count += 1;
    }
  }
  IDenseVector_SetLength(mcp->free_list, mcp->free_count);
  if (mcp->free_count == 0) return;

  double smallest = inf;
  for (std::int32_t k = 0; k < mcp->free_count; ++k) {
    double value = x[list[k] - 1];
    if (value < smallest) smallest = value;
  }
  double shift = -smallest > 0.0 ? -smallest : 0.0;
  for (std::int32_t k = 0; k < mcp->free_count; ++k) {
    x[list[k] - 1] += shift;
    lower[list[k] - 1] = 0.0;
  }
  DenseVector_Push(mcp->lower_r, 0.0);
  DenseVector_Push(mcp->upper_r, inf);
  DenseVector_Push(mcp->x_r, shift);
  IDenseVector_Push(mcp->basis_r, BASIS_NONE);
  mcp->n_r += 1;
  double m = mcp->n_r;
  mcp->nnz_r = static_cast<std::int32_t>(
      std::min(static_cast<double>(mcp->nnz_r) + 2.0 * m - 1.0, m * m));
}

// The presolve reads the constant part of each row from x and F at the
// start: a start or an F there that is not finite, or at the option
// infinity (where a start that is not a number ends up), would make the
// constants it touches NaN or leave nothing of them, and the presolve
// settle variables on them. Such a start is left to the solver.
bool StartWithinReach(MCP* mcp) {
  const double inf = Infinity();
  const double* x = DenseVector_Array(mcp->x);
  const double* f = DenseVector_Array(FunctionJacobian_Function(mcp->evaluation));
  for (std::int32_t i = 0; i < mcp->n; ++i) {
    if (!(std::fabs(x[i]) < inf) || !(std::fabs(f[i]) < inf)) {
      Output_Printf(OUTPUT_LOG, "\nPresolve skipped: the start point or F there is infinite.\n");
      return false;
    }
  }
  return true;
}

// A term a x_j of column j whose rounding alone exceeds the tolerance with
// which the presolve compares its rows: the constant of a row holding it
// (F_i less its linear terms) is lost to cancellation.
bool TermTooLarge(const SparseMatrix* jac, std::int32_t j, double x) {
  return Presolve_Rounding(SparseMatrix_ColMaxAbsNonzero(jac, j + 1) * std::fabs(x)) >
         PRESOLVE_ROW_TOLERANCE;
}

// The presolve reads the constant of each row from F and x at the point it
// starts from. A start far out (1e15 in a problem whose constants are near
// 1) would leave nothing of them, and the presolve settle variables on the
// rounding. The entries of x with such terms move to the point of their
// bounds nearest zero, and F is evaluated there for the presolve; the
// caller's start waits in the reduced point, which is not built before the
// presolve ends. A start without such terms is used as it is, with nothing
// evaluated.
enum class Reading { kAtStart, kMoved, kUndefined };

Reading MoveFarEntries(MCP* mcp) {
  const SparseMatrix* jac = FunctionJacobian_Jacobian(mcp->evaluation);
  const double* lower = DenseVector_Array(mcp->lower);
  const double* upper = DenseVector_Array(mcp->upper);
  double* x = DenseVector_Array(mcp->x);
  DenseVector_CloneFull(mcp->x_r, mcp->x);
  bool moved = false;
  for (std::int32_t j = 0; j < mcp->n; ++j) {
    const double nearest = Presolve_Clip(0.0, lower[j], upper[j]);
    if (std::fabs(nearest) < std::fabs(x[j]) && TermTooLarge(jac, j, x[j])) {
      x[j] = nearest;
      moved = true;
    }
  }
  if (!moved) return Reading::kAtStart;
  return MCP_EvaluateFullFunction(mcp) == 0 ? Reading::kMoved : Reading::kUndefined;
}

// F at x once more; an error ends the start as undefined.
int EvaluateAgain(MCP* mcp) {
  if (MCP_EvaluateFullFunction(mcp) == 0) return MCP_CONTINUE;
  Output_Printf(OUTPUT_LOG, "Function undefined.\n");
  return MCP_UNDEFINED;
}

// The entries MoveFarEntries moved go back to the caller's start, within the
// bounds the presolve left them; F is evaluated there.
int BackToStart(MCP* mcp) {
  const SparseMatrix* jac = FunctionJacobian_Jacobian(mcp->evaluation);
  const double* lower = DenseVector_Array(mcp->lower);
  const double* upper = DenseVector_Array(mcp->upper);
  const double* start = DenseVector_Array(mcp->x_r);
  double* x = DenseVector_Array(mcp->x);
  for (std::int32_t j = 0; j < mcp->n; ++j) {
    if (lower[j] != upper[j] && TermTooLarge(jac, j, start[j])) {
      x[j] = Presolve_Clip(start[j], lower[j], upper[j]);
    }
  }
  return EvaluateAgain(mcp);
}

// The presolve, from a point where the row constants can be read. Where F
// is undefined at such a point, the start is left to the solver.
int PresolveNearStart(MCP* mcp) {
  const Reading reading = MoveFarEntries(mcp);
  if (reading == Reading::kUndefined) {
    Output_Printf(OUTPUT_LOG,
                  "\nPresolve skipped: F is undefined where the row constants can be read.\n");
    DenseVector_CloneFull(mcp->x, mcp->x_r);
    return EvaluateAgain(mcp);
  }
  Output_Printf(OUTPUT_LOG, "\n");
  mcp->presolve_ran = 1;
  const int status = MCP_Presolve(mcp);
  if (status != MCP_CONTINUE || reading == Reading::kAtStart) return status;
  return BackToStart(mcp);
}

// The start's steps after the interrupt scope is in place.
int StartSteps(MCP* mcp) {
  mcp->n_r = 0;
  mcp->nnz_r = 0;
  mcp->free_count = 0;
  mcp->presolve_ran = 0;

  if (mcp->interface.start != nullptr) mcp->interface.start(mcp->interface.data);
  const MCP_SecondFunctionInterface& second = mcp->second_interface;
  if (second.start != nullptr) second.start(second.data);

  if (!ReadProblemSize(mcp)) return Abandon(mcp, MCP_SOLVED);
  ReadBounds(mcp);
  // Codes from an earlier problem must not survive a start that stops at
  // the bound check, before the caller's codes are read.
  IDenseVector_FillZero(mcp->basis, mcp->n);
  int status = MCP_CheckBounds(mcp);
  if (status != MCP_CONTINUE) return Abandon(mcp, status);
  ReadBasis(mcp);
  status = MCP_EvaluateStart(mcp);
  if (status != MCP_CONTINUE) return Abandon(mcp, status);

  Interrupt_Check();
  const MCP_PresolveInterface& hooks = mcp->presolve_interface;
  if (hooks.after_start != nullptr) hooks.after_start(hooks.data);

  if (Options_CommonBool(COMMON_CHECK_SKEW_SYMMETRY)) {
    Output_Printf(OUTPUT_LOG, "\n");
    MCP_CheckSkewSymmetry(mcp);
  }
  if (Presolve_OptionBool(PRESOLVE) && mcp->presolve_allowed && StartWithinReach(mcp)) {
    status = PresolveNearStart(mcp);
    if (status != MCP_CONTINUE) {
      CallAfterPresolve(mcp);
      mcp->n_r = 0;
      return status;
    }
  }

  MCP_RepairBasis(mcp);
  if (MCP_SplitFixed(mcp) == MCP_SOLVED) {
    CallAfterPresolve(mcp);
    mcp->n_r = 0;
    return MCP_SOLVED;
  }
  BuildReducedProblem(mcp);
  if (mcp->fixed_count != 0) Output_Printf(OUTPUT_LOG, "Preprocessed size   : %d\n", mcp->n_r);
  CallAfterPresolve(mcp);

  Interrupt_Check();
  if (mcp->free_transform) ApplyFreeVariableTransform(mcp);
  Interrupt_Check();
  return MCP_CONTINUE;
}

}  // namespace

int MCP_Start(MCP* mcp) {
  CheckRequiredSlots(mcp);
  int status = MCP_CONTINUE;
  bool interrupted = Interrupt_RunWithJumpPoint([&] { status = StartSteps(mcp); });
  if (interrupted) return Abandon(mcp, MCP_INTERRUPTED);
  return status;
}
