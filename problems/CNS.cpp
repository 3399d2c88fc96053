// CNS record: lifetime, interfaces, start (bounds, start point, basis),
// finish, evaluations and names.
#include "problems/CNS.hpp"

#include <algorithm>
#include <cmath>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

constexpr double kLargestCount = 2147483647.0;
// Bounds closer than this are taken as equal; a lower bound above the upper
// bound by more than this is an error.
constexpr double kBoundTolerance = 1e-10;
constexpr int kNameLength = 256;

// min(side * side, sum) in double precision; beyond the 32-bit range the
// report "problem size too large" of the named operation.
std::int32_t CheckedEntryCapacity(double side, double sum, const char* operation) {
  double bound = std::min(side * side, sum);
  if (bound > kLargestCount) Error_Report("CNS", __LINE__, operation, "problem size too large");
  return static_cast<std::int32_t>(bound);
}

void FreeRecord(CNS* cns) {
  DenseVector_Destroy(cns->start_lower);
  DenseVector_Destroy(cns->start_upper);
  DenseVector_Destroy(cns->start_x);
  IDenseVector_Destroy(cns->start_basis);
  DenseVector_Destroy(cns->user_lower);
  DenseVector_Destroy(cns->user_upper);
  DenseVector_Destroy(cns->user_x);
  IDenseVector_Destroy(cns->user_basis);
  FunctionJacobian_Destroy(cns->evaluation);
  Memory_Free(cns);
}

void CheckRequiredSlots(const CNS* cns) {
  const CNS_Interface& in = cns->interface;
  if (in.problem_size == nullptr || in.bounds == nullptr || in.function_evaluation == nullptr ||
      in.jacobian_evaluation == nullptr) {
    Error_SolverError("CNS: Start: problem callbacks not installed.\n");
  }
}

void RequireStarted(const CNS* cns, const char* operation) {
  if (cns->user_n < 1 || cns->n < 1) {
    Error_SolverError("%s: the problem has not been started.\n", operation);
  }
}

// Ends a start that left no usable problem.
int Abandon(CNS* cns, int status) {
  cns->n = 0;
  cns->user_n = 0;
  return status;
}

// F and J at the caller's point into the record's pair, the entry count and
// structure checked against the room and the announced bound. Returns the
// callback's domain-error count.
int EvaluateUserPoint(CNS* cns) {
  std::int32_t n = cns->user_n;
  FunctionJacobian* pair = cns->evaluation;
  SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  DenseVector* F = FunctionJacobian_Function(pair);
  std::int32_t count = SparseMatrix_PrepareExchange(J, n, cns->max_user_nnz);
  DenseVector_SetLength(F, n);
  const CNS_Interface& in = cns->interface;
  int errors = in.jacobian_evaluation(
      in.data, n, DenseVector_Array(cns->user_x), 1, DenseVector_Array(F), &count,
      IDenseVector_Array(SparseMatrix_ColStart(J)), IDenseVector_Array(SparseMatrix_ColLen(J)),
      IDenseVector_Array(SparseMatrix_RowIndex(J)), DenseVector_Array(SparseMatrix_Values(J)));
  pc::FinishExchange(J, count, cns->user_nnz, "CNS: Jacobian evaluation");
  FunctionJacobian_SetN(pair, n);
  FunctionJacobian_SetNnz(pair, count);
  return errors;
}

// The point built from the bounds: the finite lower bound, else the finite
// upper bound, else 0.0.
void CalculatedStart(CNS* cns) {
  double inf = pc::Infinity();
  const double* lower = DenseVector_Array(cns->user_lower);
  const double* upper = DenseVector_Array(cns->user_upper);
  double* x = DenseVector_Array(cns->user_x);
  for (std::int32_t i = 0; i < cns->user_n; ++i) {
    if (lower[i] > -inf) {
      x[i] = lower[i];
    } else if (upper[i] < inf) {
      x[i] = upper[i];
    } else {
      x[i] = 0.0;
    }
  }
}

std::int32_t RepairedCode(std::int32_t b, double l, double u, double x) {
  if (l == u) return BASIS_FIXED;
  if (x == l) return (b == BASIS_UPPER || b == BASIS_FIXED) ? BASIS_LOWER : b;
  if (x == u) return (b == BASIS_LOWER || b == BASIS_FIXED) ? BASIS_UPPER : b;
  if (x < l || x > u) return b == BASIS_FIXED ? BASIS_BASIC : b;
  if (l < x && x < u) {
    return (b == BASIS_LOWER || b == BASIS_UPPER || b == BASIS_FIXED) ? BASIS_BASIC : b;
  }
  return b;  // a NaN value or bound: nothing to say
}

}  // namespace

// ---------------------------------------------------------------------------
// Lifetime

CNS* CNS_Create(std::int32_t n, std::int32_t nnz) {
  std::int32_t user_n = std::max(n, 1);
  std::int32_t user_nnz = std::max(nnz, 1);
  std::int32_t max_nnz = CheckedEntryCapacity(
      user_n, static_cast<double>(user_nnz) + static_cast<double>(user_n), "Create");

  CNS* cns = static_cast<CNS*>(Memory_Allocate(sizeof(CNS)));
  *cns = CNS{};
  cns->max_user_n = user_n;
  cns->max_user_nnz = user_nnz;
  cns->max_n = user_n;
  cns->max_nnz = max_nnz;
  cns->refcount = 1;
  try {
    cns->start_lower = DenseVector_Create(user_n);
    cns->start_upper = DenseVector_Create(user_n);
    cns->start_x = DenseVector_Create(user_n);
    cns->start_basis = IDenseVector_Create(user_n);
    cns->user_lower = DenseVector_Create(user_n);
    cns->user_upper = DenseVector_Create(user_n);
    cns->user_x = DenseVector_Create(user_n);
    cns->user_basis = IDenseVector_Create(user_n);
    cns->evaluation = FunctionJacobian_Create(user_n, user_nnz);
    Workspace_Create(user_n, user_nnz);
  } catch (...) {
    FreeRecord(cns);
    throw;
  }
  return cns;
}

std::int32_t CNS_Reference(CNS* cns) {
  cns->refcount += 1;
  return cns->refcount;
}

std::int32_t CNS_Destroy(CNS* cns) {
  if (cns == nullptr) return 0;
  cns->refcount -= 1;
  if (cns->refcount > 0) return cns->refcount;
  FreeRecord(cns);
  Workspace_Destroy();
  return 0;
}

void CNS_Size(CNS* cns, std::int32_t n, std::int32_t nnz) {
  std::int32_t max_user_n = std::max(cns->max_user_n, std::max(n, 1));
  std::int32_t max_user_nnz = std::max(cns->max_user_nnz, std::max(nnz, 1));
  std::int32_t max_n = std::max(cns->max_n, max_user_n);
  std::int32_t candidate = CheckedEntryCapacity(
      max_n, static_cast<double>(max_user_nnz) + static_cast<double>(max_user_n), "Size");

  cns->max_user_n = max_user_n;
  cns->max_user_nnz = max_user_nnz;
  cns->max_n = max_n;
  cns->max_nnz = std::max(cns->max_nnz, candidate);

  DenseVector_Size(cns->start_lower, max_n);
  DenseVector_Size(cns->start_upper, max_n);
  DenseVector_Size(cns->start_x, max_n);
  IDenseVector_Size(cns->start_basis, max_n);
  DenseVector_Size(cns->user_lower, max_user_n);
  DenseVector_Size(cns->user_upper, max_user_n);
  DenseVector_Size(cns->user_x, max_user_n);
  IDenseVector_Size(cns->user_basis, max_user_n);
  FunctionJacobian_Size(cns->evaluation, max_user_n, max_user_nnz);
  Workspace_Size(max_user_n, max_user_nnz);
}

void CNS_Copy(CNS* dst, const CNS* src) {
  if (dst == src) return;
  // The plain clones below write at src's lengths: dst needs src's room.
  CNS_Size(dst, src->max_user_n, src->max_user_nnz);
  dst->n = src->n;
  dst->nnz = src->nnz;
  dst->user_n = src->user_n;
  dst->user_nnz = src->user_nnz;
  DenseVector_Clone(dst->start_lower, src->start_lower, nullptr);
  DenseVector_Clone(dst->start_upper, src->start_upper, nullptr);
  DenseVector_Clone(dst->start_x, src->start_x, nullptr);
  IDenseVector_Clone(dst->start_basis, src->start_basis, nullptr);
  DenseVector_Clone(dst->user_lower, src->user_lower, nullptr);
  DenseVector_Clone(dst->user_upper, src->user_upper, nullptr);
  DenseVector_Clone(dst->user_x, src->user_x, nullptr);
  IDenseVector_Clone(dst->user_basis, src->user_basis, nullptr);
  FunctionJacobian_Copy(dst->evaluation, src->evaluation);
}

// ---------------------------------------------------------------------------
// Interfaces and settings

void CNS_SetInterface(CNS* cns, const CNS_Interface* interface) {
  cns->interface = interface != nullptr ? *interface : CNS_Interface{};
}

void CNS_GetInterface(const CNS* cns, CNS_Interface* out) { *out = cns->interface; }

void CNS_SetPresolveInterface(CNS* cns, const CNS_PresolveInterface* interface) {
  cns->presolve_interface = interface != nullptr ? *interface : CNS_PresolveInterface{};
}

void CNS_GetPresolveInterface(const CNS* cns, CNS_PresolveInterface* out) {
  *out = cns->presolve_interface;
}

void CNS_SetPresolve(CNS* cns, int value) { cns->presolve = value; }

double* CNS_XArray(CNS* cns) { return DenseVector_Array(cns->user_x); }
double* CNS_LowerArray(CNS* cns) { return DenseVector_Array(cns->user_lower); }
double* CNS_UpperArray(CNS* cns) { return DenseVector_Array(cns->user_upper); }
int* CNS_BasisArray(CNS* cns) { return IDenseVector_Array(cns->user_basis); }
double* CNS_FArray(CNS* cns) { return DenseVector_Array(CNS_EvaluationF(cns)); }

void CNS_JacobianArrays(CNS* cns, int* nnz, int** col_start, int** col_len, int** row,
                        double** value) {
  SparseMatrix* J = CNS_EvaluationJ(cns);
  *nnz = SparseMatrix_NNZ(J);
  *col_start = IDenseVector_Array(SparseMatrix_ColStart(J));
  *col_len = IDenseVector_Array(SparseMatrix_ColLen(J));
  *row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  *value = DenseVector_Array(SparseMatrix_Values(J));
}

// ---------------------------------------------------------------------------
// Start

int CNS_Start(CNS* cns) {
  CheckRequiredSlots(cns);
  const CNS_Interface& in = cns->interface;
  // Nothing of an earlier start stays usable once this one has begun.
  cns->n = 0;
  if (in.start != nullptr) in.start(in.data);

  int n = 0;
  int nnz = 0;
  in.problem_size(in.data, &n, &nnz);
  pc::CheckProblemSize("CNS: Start", n, nnz);
  cns->user_n = std::max(n, 1);
  cns->user_nnz = std::max(nnz, 1);
  if (n == 0) return Abandon(cns, CNS_SOLVED);
  if (nnz == 0) Error_Warning("Empty jacobian.\n");
  CNS_Size(cns, cns->user_n, cns->user_nnz);

  double inf = pc::Infinity();
  DenseVector_Fill(cns->user_lower, n, -inf);
  DenseVector_Fill(cns->user_upper, n, inf);
  DenseVector_FillZero(cns->user_x, n);
  in.bounds(in.data, n, DenseVector_Array(cns->user_x), DenseVector_Array(cns->user_lower),
            DenseVector_Array(cns->user_upper));

  int status = CNS_CheckBounds(cns);
  if (status != CNS_CONTINUE) return Abandon(cns, status);

  IDenseVector_FillZero(cns->user_basis, n);
  if (in.basis != nullptr) in.basis(in.data, n, IDenseVector_Array(cns->user_basis));

  status = CNS_EvaluateStart(cns);
  if (status != CNS_CONTINUE) return Abandon(cns, status);
  CNS_RepairBasis(cns);

  DenseVector_Clone(cns->start_lower, cns->user_lower, nullptr);
  DenseVector_Clone(cns->start_upper, cns->user_upper, nullptr);
  DenseVector_Clone(cns->start_x, cns->user_x, nullptr);
  IDenseVector_Clone(cns->start_basis, cns->user_basis, nullptr);

  cns->n = cns->user_n;
  double side = cns->n;
  cns->nnz = static_cast<std::int32_t>(
      std::min(side * side, static_cast<double>(cns->user_nnz) + side));
  return CNS_CONTINUE;
}

int CNS_CheckBounds(CNS* cns) {
  double inf = pc::Infinity();
  double* lower = DenseVector_Array(cns->user_lower);
  double* upper = DenseVector_Array(cns->user_upper);
  std::int32_t errors = 0;
  char name[kNameLength];
  for (std::int32_t i = 0; i < cns->user_n; ++i) {
    if (lower[i] < -inf) lower[i] = -inf;
    if (upper[i] > inf) upper[i] = inf;
    double l = lower[i];
    double u = upper[i];
    if (l > u + kBoundTolerance || std::isnan(l) || std::isnan(u)) {
      CNS_VariableName(cns, i + 1, name, kNameLength);
      Error_Warning("%s: lb = %5.4e > %5.4e = ub\n", name, l, u);
      errors += 1;
    } else if (l >= u - kBoundTolerance) {
      upper[i] = l;
    }
  }
  return errors > 0 ? CNS_BOUND_ERROR : CNS_CONTINUE;
}

int CNS_EvaluateStart(CNS* cns) {
  if (Options_CommonBool(COMMON_PROJECT_START)) {
    DenseVector_Mid(cns->user_x, cns->user_x, cns->user_lower, cns->user_upper);
  }
  if (Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START)) {
    if (EvaluateUserPoint(cns) != 0) {
      Error_Warning("F or dF/dx undefined at model start.\n");
      // Stays off until the options are next reset to their defaults.
      Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = 0;
    }
  }
  if (!Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START)) {
    CalculatedStart(cns);
    if (EvaluateUserPoint(cns) != 0) {
      Error_Warning("F or dF/dx undefined at calculated start.\n");
      return CNS_UNDEFINED;
    }
  }
  return CNS_CONTINUE;
}

void CNS_RepairBasis(CNS* cns) {
  const double* lower = DenseVector_Array(cns->user_lower);
  const double* upper = DenseVector_Array(cns->user_upper);
  const double* x = DenseVector_Array(cns->user_x);
  std::int32_t* basis = IDenseVector_Array(cns->user_basis);
  std::int32_t changed = 0;
  for (std::int32_t i = 0; i < cns->user_n; ++i) {
    std::int32_t code = RepairedCode(basis[i], lower[i], upper[i], x[i]);
    if (code != basis[i]) {
      basis[i] = code;
      changed += 1;
    }
  }
  if (changed > 0) Output_Printf(OUTPUT_STATUS, "CNS modified basis.\n");
}

// ---------------------------------------------------------------------------
// Finish, evaluations, names

void CNS_Finish(CNS* cns, int status, DenseVector* x, IDenseVector* basis) {
  (void)status;
  std::int32_t n = cns->n;
  if (basis == nullptr) {
    basis = cns->start_basis;
    if (n != 0) IDenseVector_FillZero(basis, n);
  }
  if (n != 0) {
    pc::RequireLength(x, n, "CNS: Finish");
    pc::RequireLength(basis, n, "CNS: Finish");
    DenseVector_Clone(cns->user_x, x, nullptr);
    IDenseVector_Clone(cns->user_basis, basis, nullptr);
  }
  if (cns->user_n != 0) {
    (void)EvaluateUserPoint(cns);
    CNS_RepairBasis(cns);
  }
  const CNS_Interface& in = cns->interface;
  if (in.finish != nullptr) in.finish(in.data, DenseVector_Array(cns->user_x));
}

int CNS_Function(CNS* cns, DenseVector* x, FunctionJacobian* pair) {
  RequireStarted(cns, "CNS: Function");
  std::int32_t n = cns->user_n;
  pc::RequireLength(x, n, "CNS: Function");
  pc::RequirePairRoom(pair, n, "CNS: Function");
  DenseVector_Clone(cns->user_x, x, nullptr);
  DenseVector* F = CNS_EvaluationF(cns);
  DenseVector_SetLength(F, n);
  const CNS_Interface& in = cns->interface;
  int errors = in.function_evaluation(in.data, n, DenseVector_Array(cns->user_x),
                                      DenseVector_Array(F));
  DenseVector_Clone(FunctionJacobian_Function(pair), F, nullptr);
  FunctionJacobian_SetN(pair, n);
  return errors == 0 ? 1 : 0;
}

int CNS_Jacobian(CNS* cns, DenseVector* x, FunctionJacobian* pair) {
  RequireStarted(cns, "CNS: Jacobian");
  std::int32_t n = cns->user_n;
  pc::RequireLength(x, n, "CNS: Jacobian");
  pc::RequirePairRoom(pair, n, "CNS: Jacobian");
  DenseVector_Clone(cns->user_x, x, nullptr);
  int errors = EvaluateUserPoint(cns);
  DenseVector_Clone(FunctionJacobian_Function(pair), CNS_EvaluationF(cns), nullptr);
  SparseMatrix_Clone(FunctionJacobian_Jacobian(pair), CNS_EvaluationJ(cns), nullptr, nullptr, 1);
  FunctionJacobian_SetN(pair, n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(FunctionJacobian_Jacobian(pair)));
  return errors == 0 ? 1 : 0;
}

int CNS_VariableName(const CNS* cns, int i, char* buffer, int length) {
  const CNS_Interface& in = cns->interface;
  if (in.variable_name != nullptr) return in.variable_name(in.data, i, buffer, length);
  return pc::DefaultName("x[%5d]", i, buffer, length);
}

int CNS_ConstraintName(const CNS* cns, int i, char* buffer, int length) {
  const CNS_Interface& in = cns->interface;
  if (in.constraint_name != nullptr) return in.constraint_name(in.data, i, buffer, length);
  return pc::DefaultName("f[%5d]", i, buffer, length);
}
