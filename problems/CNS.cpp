// CNS record: lifetime, interfaces, start (bounds, start point, basis),
// finish, evaluations and names.
#include "problems/CNS.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

// Bounds closer than this are taken as equal; a lower bound above the upper
// bound by more than this is an error.
constexpr double kBoundTolerance = 1e-10;

void FreeRecord(CNS* cns) {
  pc::FreeBlock(cns->start);
  pc::FreeBlock(cns->user);
  FunctionJacobian_Destroy(cns->evaluation);
  Memory_Free(cns);
}

// The record and its Workspace reference.
void Release(CNS* cns) {
  FreeRecord(cns);
  Workspace_Destroy();
}

void CheckRequiredSlots(const CNS* cns) {
  const CNS_Interface& in = cns->interface;
  if (in.problem_size == nullptr || in.bounds == nullptr || in.function_evaluation == nullptr ||
      in.jacobian_evaluation == nullptr) {
    Error_SolverError("CNS: Start: problem callbacks not installed.\n");
  }
}

bool Started(const CNS* cns) { return cns->size.full_n > 0 && cns->size.n > 0; }

// Ends a start that left no usable problem.
int Abandon(CNS* cns, int status) {
  cns->size.n = 0;
  cns->size.full_n = 0;
  return status;
}

// F and J at the caller's point into the record's pair, the entry count and
// structure checked against the room and the announced bound. Returns the
// callback's domain-error count.
int EvaluateUserPoint(CNS* cns) {
  const ClassSizes& s = cns->size;
  FunctionJacobian* pair = cns->evaluation;
  int errors = pc::EvaluateSystem(cns->interface, s.full_n, cns->user.x,
                                  FunctionJacobian_Function(pair), FunctionJacobian_Jacobian(pair),
                                  s.max_full_nnz, s.full_nnz, "CNS: Jacobian evaluation");
  FunctionJacobian_SetN(pair, s.full_n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(FunctionJacobian_Jacobian(pair)));
  return errors;
}

int EvaluateAtStart(void* record) { return EvaluateUserPoint(static_cast<CNS*>(record)); }

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
  auto build = [&](CNS* cns) {
    cns->refcount = 1;
    ClassSizes& s = cns->size;
    pc::GrowSizes(s, std::max(n, 1), std::max(nnz, 1), "CNS", "Create");
    pc::CreateBlock(cns->start, s.max_n, true);
    pc::CreateBlock(cns->user, s.max_full_n, true);
    cns->evaluation = FunctionJacobian_Create(s.max_full_n, s.max_full_nnz);
    Workspace_Create(s.max_full_n, s.max_full_nnz);
  };
  return pc::NewRecord<CNS>(build, &FreeRecord);
}

std::int32_t CNS_Reference(CNS* cns) { return pc::AddReference(cns); }
std::int32_t CNS_Destroy(CNS* cns) { return pc::DropReference(cns, &Release); }

void CNS_Size(CNS* cns, std::int32_t n, std::int32_t nnz) {
  ClassSizes& s = cns->size;
  pc::GrowSizes(s, std::max(n, 1), std::max(nnz, 1), "CNS", "Size");
  pc::SizeBlock(cns->start, s.max_n);
  pc::SizeBlock(cns->user, s.max_full_n);
  FunctionJacobian_Size(cns->evaluation, s.max_full_n, s.max_full_nnz);
  Workspace_Size(s.max_full_n, s.max_full_nnz);
}

void CNS_Copy(CNS* dst, const CNS* src) {
  if (dst == src) return;
  // The plain clones below write at src's lengths: dst needs src's room.
  CNS_Size(dst, src->size.max_full_n, src->size.max_full_nnz);
  pc::CopyCounts(dst->size, src->size);
  pc::CopyBlock(dst->start, src->start, nullptr);
  pc::CopyBlock(dst->user, src->user, nullptr);
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

double* CNS_XArray(CNS* cns) { return DenseVector_Array(cns->user.x); }
double* CNS_LowerArray(CNS* cns) { return DenseVector_Array(cns->user.lower); }
double* CNS_UpperArray(CNS* cns) { return DenseVector_Array(cns->user.upper); }
int* CNS_BasisArray(CNS* cns) { return IDenseVector_Array(cns->user.basis); }
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
  if (!pc::ReadSystem(cns, in, cns->user, &CNS_Size, "CNS")) return Abandon(cns, CNS_SOLVED);
  int status = CNS_CheckBounds(cns);
  if (status != CNS_CONTINUE) return Abandon(cns, status);
  if (in.basis != nullptr) {
    in.basis(in.data, cns->size.full_n, IDenseVector_Array(cns->user.basis));
  }
  status = CNS_EvaluateStart(cns);
  if (status != CNS_CONTINUE) return Abandon(cns, status);
  CNS_RepairBasis(cns);

  ClassSizes& s = cns->size;
  pc::CopyBlock(cns->start, cns->user, nullptr);
  s.n = s.full_n;
  double side = s.n;
  s.nnz = static_cast<std::int32_t>(std::min(side * side, static_cast<double>(s.full_nnz) + side));
  return CNS_CONTINUE;
}

int CNS_CheckBounds(CNS* cns) {
  std::int32_t errors =
      pc::WarnCrossedBounds(cns->interface, cns->user, cns->size.full_n, kBoundTolerance);
  return errors > 0 ? CNS_BOUND_ERROR : CNS_CONTINUE;
}

int CNS_EvaluateStart(CNS* cns) {
  ClassBlock& b = cns->user;
  if (Options_CommonBool(COMMON_PROJECT_START)) DenseVector_Mid(b.x, b.x, b.lower, b.upper);
  return pc::EvaluateStartPoint(b, cns->size.full_n, &EvaluateAtStart, cns) ? CNS_CONTINUE
                                                                             : CNS_UNDEFINED;
}

void CNS_RepairBasis(CNS* cns) {
  const double* lower = DenseVector_Array(cns->user.lower);
  const double* upper = DenseVector_Array(cns->user.upper);
  const double* x = DenseVector_Array(cns->user.x);
  std::int32_t* basis = IDenseVector_Array(cns->user.basis);
  std::int32_t changed = 0;
  for (std::int32_t i = 0; i < cns->size.full_n; ++i) {
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
  std::int32_t n = cns->size.n;
  if (basis == nullptr) {
    basis = cns->start.basis;
    if (n != 0) IDenseVector_FillZero(basis, n);
  }
  if (n != 0) {
    pc::RequireLength(x, n, "CNS: Finish");
    pc::RequireLength(basis, n, "CNS: Finish");
    DenseVector_Clone(cns->user.x, x, nullptr);
    IDenseVector_Clone(cns->user.basis, basis, nullptr);
  }
  if (cns->size.full_n != 0) {
    (void)EvaluateUserPoint(cns);
    CNS_RepairBasis(cns);
  }
  const CNS_Interface& in = cns->interface;
  if (in.finish != nullptr) in.finish(in.data, DenseVector_Array(cns->user.x));
}

int CNS_Function(CNS* cns, DenseVector* x, FunctionJacobian* pair) {
  const char* op = "CNS: Function";
  std::int32_t n = cns->size.full_n;
  pc::RequireEvaluation(Started(cns), x, n, pair, op);
  return pc::SystemFunction(cns->interface, n, x, cns->user.x, CNS_EvaluationF(cns), pair, op);
}

int CNS_Jacobian(CNS* cns, DenseVector* x, FunctionJacobian* pair) {
  std::int32_t n = cns->size.full_n;
  pc::RequireEvaluation(Started(cns), x, n, pair, "CNS: Jacobian");
  DenseVector_Clone(cns->user.x, x, nullptr);
  int errors = EvaluateUserPoint(cns);
  return pc::HandOver(pair, CNS_EvaluationF(cns), CNS_EvaluationJ(cns), nullptr, n, errors);
}

int CNS_VariableName(const CNS* cns, int i, char* buffer, int length) {
  const CNS_Interface& in = cns->interface;
  return pc::CallerName(in.variable_name, in.data, "x[%5d]", i, buffer, length);
}

int CNS_ConstraintName(const CNS* cns, int i, char* buffer, int length) {
  const CNS_Interface& in = cns->interface;
  return pc::CallerName(in.constraint_name, in.data, "f[%5d]", i, buffer, length);
}
