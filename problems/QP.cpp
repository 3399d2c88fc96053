// QP record: lifetime, start (bounds, start point), evaluations, finish and
// names.
#include "problems/QP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

constexpr int kNameLength = 256;

QP_Interface g_empty = {};
QP_Interface* g_current = &g_empty;

void FreeRecord(QP* q) {
  DenseVector_Destroy(q->lower);
  DenseVector_Destroy(q->upper);
  DenseVector_Destroy(q->x);
  DenseVector_Destroy(q->full_lower);
  DenseVector_Destroy(q->full_upper);
  DenseVector_Destroy(q->full_x);
  DenseVector_Destroy(q->F);
  SparseMatrix_Destroy(q->J);
  Memory_Free(q);
}

void RequireStarted(const QP* q, const char* operation) {
  if (q->n < 1) Error_SolverError("%s: the problem has not been started.\n", operation);
}

// F and J at the full point into the record, the exchange checked against
// room and the announced bound. Returns the callback's domain-error count.
int EvaluateFull(QP* q, std::int32_t room) {
  std::int32_t n = q->full_n;
  std::int32_t count = SparseMatrix_PrepareExchange(q->J, n, room);
  DenseVector_SetLength(q->F, n);
  const QP_Interface& in = *g_current;
  int errors = in.jacobian_evaluation(
      in.data, n, DenseVector_Array(q->full_x), 1, DenseVector_Array(q->F), &count,
      IDenseVector_Array(SparseMatrix_ColStart(q->J)), IDenseVector_Array(SparseMatrix_ColLen(q->J)),
      IDenseVector_Array(SparseMatrix_RowIndex(q->J)), DenseVector_Array(SparseMatrix_Values(q->J)));
  pc::FinishExchange(q->J, count, q->full_nnz, "QP: Jacobian evaluation");
  return errors;
}

// The point built from the bounds: the finite lower bound, else the finite
// upper bound, else 0.0.
void CalculatedStart(QP* q) {
  double inf = pc::Infinity();
  const double* lower = DenseVector_Array(q->full_lower);
  const double* upper = DenseVector_Array(q->full_upper);
  double* x = DenseVector_Array(q->full_x);
  for (std::int32_t i = 0; i < q->full_n; ++i) {
    if (lower[i] > -inf) {
      x[i] = lower[i];
    } else if (upper[i] < inf) {
      x[i] = upper[i];
    } else {
      x[i] = 0.0;
    }
  }
}

}  // namespace

QP_Interface* QP_GetInterface() { return g_current; }

void QP_SetInterface(QP_Interface* interface) {
  g_current = interface != nullptr ? interface : &g_empty;
}

void QP_ForgetState() {
  g_empty = QP_Interface{};
  g_current = &g_empty;
}

QP* QP_Create(std::int32_t n, std::int32_t nnz) {
  pc::CheckProblemSize("QP: Create", n, nnz);
  std::int32_t max_nnz =
      pc::EntryBound(static_cast<double>(n) + static_cast<double>(nnz), static_cast<double>(n));
  QP* q = static_cast<QP*>(Memory_Allocate(sizeof(QP)));
  *q = QP{};
  q->max_full_n = n;
  q->max_full_nnz = nnz;
  q->max_n = n;
  q->max_nnz = max_nnz;
  q->refcount = 1;
  try {
    q->lower = DenseVector_Create(n);
    q->upper = DenseVector_Create(n);
    q->x = DenseVector_Create(n);
    q->full_lower = DenseVector_Create(n);
    q->full_upper = DenseVector_Create(n);
    q->full_x = DenseVector_Create(n);
    q->F = DenseVector_Create(n);
    q->J = SparseMatrix_Create(n, n, nnz);
  } catch (...) {
    FreeRecord(q);
    throw;
  }
  return q;
}

std::int32_t QP_Destroy(QP* q) {
  if (q == nullptr) return 0;
  q->refcount -= 1;
  if (q->refcount > 0) return q->refcount;
  FreeRecord(q);
  return 0;
}

std::int32_t QP_Reference(QP* q) {
  q->refcount += 1;
  return q->refcount;
}

void QP_Size(QP* q, std::int32_t n, std::int32_t nnz) {
  std::int32_t max_full_n = std::max(q->max_full_n, n);
  std::int32_t max_full_nnz = std::max(q->max_full_nnz, nnz);
  std::int32_t max_n = std::max(q->max_n, max_full_n);
  std::int32_t candidate = pc::EntryBound(
      static_cast<double>(max_full_nnz) + static_cast<double>(max_full_n), max_n);
  q->max_full_n = max_full_n;
  q->max_full_nnz = max_full_nnz;
  q->max_n = max_n;
  q->max_nnz = std::max(q->max_nnz, candidate);
  DenseVector_Size(q->lower, max_n);
  DenseVector_Size(q->upper, max_n);
  DenseVector_Size(q->x, max_n);
  DenseVector_Size(q->full_lower, max_full_n);
  DenseVector_Size(q->full_upper, max_full_n);
  DenseVector_Size(q->full_x, max_full_n);
  DenseVector_Size(q->F, max_full_n);
  SparseMatrix_Resize(q->J, max_full_n, max_full_n, max_full_nnz);
}

void QP_Copy(QP* dst, const QP* src) {
  if (dst == src) return;
  // The clones below write at src's lengths: dst needs src's room first.
  QP_Size(dst, std::max(src->max_n, src->max_full_n), src->max_full_nnz);
  pc::GrowForClone(dst->J, src->J, 1);
  dst->n = src->n;
  dst->nnz = src->nnz;
  dst->full_n = src->full_n;
  dst->full_nnz = src->full_nnz;
  DenseVector_Clone(dst->lower, src->lower, nullptr);
  DenseVector_Clone(dst->upper, src->upper, nullptr);
  DenseVector_Clone(dst->x, src->x, nullptr);
  DenseVector_Clone(dst->full_lower, src->full_lower, nullptr);
  DenseVector_Clone(dst->full_upper, src->full_upper, nullptr);
  DenseVector_Clone(dst->full_x, src->full_x, nullptr);
  DenseVector_Clone(dst->F, src->F, nullptr);
  SparseMatrix_Clone(dst->J, src->J, nullptr, nullptr, 1);
}

int QP_Start(QP* q) {
  const QP_Interface& in = *g_current;
  if (in.problem_size == nullptr || in.bounds == nullptr || in.jacobian_evaluation == nullptr) {
    Error_SolverError("QP: Start: problem callbacks not installed.\n");
  }
  // The capacities may grow below, and a grown vector loses its contents:
  // no working problem is left until this start succeeds.
  q->n = 0;
  q->nnz = 0;
  if (in.start != nullptr) in.start(in.data);
  int n = 0;
  int nnz = 0;
  in.problem_size(in.data, &n, &nnz);
  pc::CheckProblemSize("QP: Start", n, nnz);
  q->full_n = std::max(n, 1);
  q->full_nnz = std::max(nnz, 1);
  if (n == 0) return QP_SOLVED;
  if (nnz == 0) Error_Warning("Empty jacobian.\n");
  QP_Size(q, q->full_n, q->full_nnz);

  double inf = pc::Infinity();
  DenseVector_Fill(q->full_lower, n, -inf);
  DenseVector_Fill(q->full_upper, n, inf);
  DenseVector_FillZero(q->full_x, n);
  in.bounds(in.data, n, DenseVector_Array(q->full_x), DenseVector_Array(q->full_lower),
            DenseVector_Array(q->full_upper));

  int status = QP_CheckBounds(q);
  if (status != QP_READY) return status;
  status = QP_EvaluateStart(q);
  if (status != QP_READY) return status;

  DenseVector_Clone(q->lower, q->full_lower, nullptr);
  DenseVector_Clone(q->upper, q->full_upper, nullptr);
  DenseVector_Clone(q->x, q->full_x, nullptr);
  q->nnz = pc::EntryBound(static_cast<double>(q->full_nnz) + q->full_n, q->full_n);
  q->n = q->full_n;
  return QP_READY;
}

int QP_CheckBounds(QP* q) {
  double inf = pc::Infinity();
  double* lower = DenseVector_Array(q->full_lower);
  double* upper = DenseVector_Array(q->full_upper);
  std::int32_t errors = 0;
  char name[kNameLength];
  for (std::int32_t i = 0; i < q->full_n; ++i) {
    if (!pc::ClampBounds(lower[i], upper[i], inf)) {
      QP_VariableName(q, i + 1, name, kNameLength);
      Error_Warning("%s: lb = %5.4e > %5.4e = ub\n", name, lower[i], upper[i]);
      errors += 1;
    }
  }
  return errors > 0 ? QP_BOUND_ERROR : QP_READY;
}

int QP_EvaluateStart(QP* q) {
  DenseVector_Mid(q->full_x, q->full_x, q->full_lower, q->full_upper);
  if (Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START)) {
    if (EvaluateFull(q, q->max_full_nnz) != 0) {
      Error_Warning("F or dF/dx undefined at model start.\n");
      // Stays off until the options are next reset to their defaults.
      Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = 0;
    }
  }
  if (!Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START)) {
    CalculatedStart(q);
    if (EvaluateFull(q, q->max_full_nnz) != 0) {
      Error_Warning("F or dF/dx undefined at calculated start.\n");
      return QP_UNDEFINED;
    }
  }
  return QP_READY;
}

void QP_Finish(QP* q, int status, DenseVector* x) {
  (void)status;
  const char* op = "QP: Finish";
  RequireStarted(q, op);
  pc::RequireLength(x, q->full_n, op);
  DenseVector_Clone(q->full_x, x, nullptr);
  (void)EvaluateFull(q, q->max_full_nnz);
  const QP_Interface& in = *g_current;
  if (in.finish != nullptr) in.finish(in.data, DenseVector_Array(q->full_x));
}

int QP_Function(QP* q, DenseVector* x, FunctionJacobian* pair) {
  const char* op = "QP: Function";
  RequireStarted(q, op);
  if (g_current->function_evaluation == nullptr) {
    Error_SolverError("%s: function_evaluation not installed.\n", op);
  }
  pc::RequireLength(x, q->n, op);
  pc::RequirePairRoom(pair, q->n, op);
  DenseVector_Clone(q->full_x, x, nullptr);
  DenseVector_SetLength(q->F, q->n);
  const QP_Interface& in = *g_current;
  int errors = in.function_evaluation(in.data, q->n, DenseVector_Array(q->full_x),
                                      DenseVector_Array(q->F));
  DenseVector_Clone(FunctionJacobian_Function(pair), q->F, nullptr);
  FunctionJacobian_SetN(pair, q->full_n);
  return errors == 0 ? 1 : 0;
}

int QP_Jacobian(QP* q, DenseVector* x, FunctionJacobian* pair) {
  const char* op = "QP: Jacobian";
  RequireStarted(q, op);
  pc::RequireLength(x, q->n, op);
  pc::RequirePairRoom(pair, q->n, op);
  DenseVector_Clone(q->full_x, x, nullptr);
  int errors = EvaluateFull(q, SparseMatrix_NNZCapacity(q->J));
  DenseVector_Clone(FunctionJacobian_Function(pair), q->F, nullptr);
  SparseMatrix* out = FunctionJacobian_Jacobian(pair);
  SparseMatrix_Clone(out, q->J, nullptr, nullptr, 1);
  FunctionJacobian_SetN(pair, q->n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(out));
  return errors == 0 ? 1 : 0;
}

int QP_VariableName(const QP* q, int i, char* buffer, int length) {
  (void)q;
  const QP_Interface& in = *g_current;
  if (in.variable_name != nullptr) return in.variable_name(in.data, i, buffer, length);
  return pc::DefaultName("x[%5d]", i, buffer, length);
}

int QP_ConstraintName(const QP* q, int i, char* buffer, int length) {
  (void)q;
  const QP_Interface& in = *g_current;
  if (in.constraint_name != nullptr) return in.constraint_name(in.data, i, buffer, length);
  return pc::DefaultName("f[%5d]", i, buffer, length);
}
