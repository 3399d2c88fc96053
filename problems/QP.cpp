// QP record: lifetime, start (bounds, start point), evaluations, finish and
// names.
#include "problems/QP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

pc::InterfaceHolder<QP_Interface> g_interface;

const QP_Interface& Current() { return *g_interface.current; }

void FreeRecord(QP* q) {
  pc::FreeBlock(q->working);
  pc::FreeBlock(q->full);
  DenseVector_Destroy(q->F);
  SparseMatrix_Destroy(q->J);
  Memory_Free(q);
}

// F and J at the full point into the record, the exchange checked against
// room and the announced bound. Returns the callback's domain-error count.
int EvaluateFull(QP* q, std::int32_t room) {
  return pc::EvaluateSystem(Current(), q->size.full_n, q->full.x, q->F, q->J, room,
                            q->size.full_nnz, "QP: Jacobian evaluation");
}

int EvaluateAtStart(void* record) {
  QP* q = static_cast<QP*>(record);
  return EvaluateFull(q, q->size.max_full_nnz);
}

}  // namespace

QP_Interface* QP_GetInterface() { return g_interface.current; }
void QP_SetInterface(QP_Interface* interface) { pc::SetInterface(g_interface, interface); }
void QP_ForgetState() { pc::ForgetInterface(g_interface); }

bool QP_StateAtRest() { return pc::InterfaceAtRest(g_interface); }

QP* QP_Create(std::int32_t n, std::int32_t nnz) {
  auto build = [&](QP* q) {
    pc::CreateBlock(q->working, n, false);
    pc::CreateBlock(q->full, n, false);
    q->F = DenseVector_Create(n);
    q->J = SparseMatrix_Create(n, n, nnz);
  };
  return pc::NewClassRecord<QP>(n, nnz, "QP", build, &FreeRecord);
}

std::int32_t QP_Destroy(QP* q) { return pc::DropReference(q, &FreeRecord); }
std::int32_t QP_Reference(QP* q) { return pc::AddReference(q); }

void QP_Size(QP* q, std::int32_t n, std::int32_t nnz) {
  ClassSizes& s = q->size;
  pc::GrowSizes(s, n, nnz);
  pc::SizeBlock(q->working, s.max_n);
  pc::SizeBlock(q->full, s.max_full_n);
  DenseVector_Size(q->F, s.max_full_n);
  SparseMatrix_Resize(q->J, s.max_full_n, s.max_full_n, s.max_full_nnz);
}

void QP_Copy(QP* dst, const QP* src) {
  if (dst == src) return;
  // The clones below write at src's lengths: dst needs src's room first.
  QP_Size(dst, std::max(src->size.max_n, src->size.max_full_n), src->size.max_full_nnz);
  pc::GrowForClone(dst->J, src->J, 1);
  pc::CopyCounts(dst->size, src->size);
  pc::CopyBlock(dst->working, src->working, nullptr);
  pc::CopyBlock(dst->full, src->full, nullptr);
  DenseVector_Clone(dst->F, src->F, nullptr);
  SparseMatrix_Clone(dst->J, src->J, nullptr, nullptr, 1);
}

int QP_Start(QP* q) {
  const QP_Interface& in = Current();
  if (in.problem_size == nullptr || in.bounds == nullptr || in.jacobian_evaluation == nullptr) {
    Error_SolverError("QP: Start: problem callbacks not installed.\n");
  }
  // The capacities may grow below, and a grown vector loses its contents:
  // no working problem is left until this start succeeds.
  if (!pc::ReadSystem(q, in, q->full, &QP_Size, "QP")) return QP_SOLVED;
  int status = QP_CheckBounds(q);
  if (status != QP_READY) return status;
  status = QP_EvaluateStart(q);
  if (status != QP_READY) return status;

  ClassSizes& s = q->size;
  pc::CopyBlock(q->working, q->full, nullptr);
  s.nnz = pc::EntryBound(static_cast<double>(s.full_nnz) + s.full_n, s.full_n);
  s.n = s.full_n;
  return QP_READY;
}

int QP_CheckBounds(QP* q) {
  std::int32_t errors = pc::WarnCrossedBounds(Current(), q->full, q->size.full_n, 0.0);
  return errors > 0 ? QP_BOUND_ERROR : QP_READY;
}

int QP_EvaluateStart(QP* q) {
  DenseVector_Mid(q->full.x, q->full.x, q->full.lower, q->full.upper);
  return pc::EvaluateStartPoint(q->full, q->size.full_n, &EvaluateAtStart, q) ? QP_READY
                                                                                : QP_UNDEFINED;
}

void QP_Finish(QP* q, int status, DenseVector* x) {
  (void)status;
  const char* op = "QP: Finish";
  pc::RequireStarted(q->size.n > 0, op);
  pc::RequireLength(x, q->size.full_n, op);
  DenseVector_Clone(q->full.x, x, nullptr);
  (void)EvaluateFull(q, q->size.max_full_nnz);
  const QP_Interface& in = Current();
  if (in.finish != nullptr) in.finish(in.data, DenseVector_Array(q->full.x));
}

int QP_Function(QP* q, DenseVector* x, FunctionJacobian* pair) {
  const char* op = "QP: Function";
  pc::RequireEvaluation(q->size.n > 0, x, q->size.n, pair, op);
  return pc::SystemFunction(Current(), q->size.n, x, q->full.x, q->F, pair, op);
}

int QP_Jacobian(QP* q, DenseVector* x, FunctionJacobian* pair) {
  pc::RequireEvaluation(q->size.n > 0, x, q->size.n, pair, "QP: Jacobian");
  DenseVector_Clone(q->full.x, x, nullptr);
  int errors = EvaluateFull(q, SparseMatrix_NNZCapacity(q->J));
  return pc::HandOver(pair, q->F, q->J, nullptr, q->size.n, errors);
}

int QP_VariableName(const QP* q, int i, char* buffer, int length) {
  (void)q;
  return pc::CallerName(Current().variable_name, Current().data, "x[%5d]", i, buffer, length);
}

int QP_ConstraintName(const QP* q, int i, char* buffer, int length) {
  (void)q;
  return pc::CallerName(Current().constraint_name, Current().data, "f[%5d]", i, buffer, length);
}
