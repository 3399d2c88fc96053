// PMCP record: lifetime, start (bounds, fixed variables, reduced block),
// evaluations with the parameter column, finish and names.
#include "problems/PMCP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

pc::InterfaceHolder<PMCP_Interface> g_interface;

const PMCP_Interface& Current() { return *g_interface.current; }

void FreeRecord(PMCP* p) {
  pc::FreeBlock(p->reduced);
  pc::FreeBlock(p->full);
  DenseVector_Destroy(p->F);
  DenseVector_Destroy(p->column);
  SparseMatrix_Destroy(p->J);
  IDenseVector_Destroy(p->to_reduced);
  IDenseVector_Destroy(p->to_full);
  Memory_Free(p);
}

void RequireJacobianSlot(const char* operation) {
  if (Current().jacobian_evaluation == nullptr) {
    Error_SolverError("%s: jacobian_evaluation not installed.\n", operation);
  }
}

// The map of a reduced evaluation back to the reduced numbering: nullptr
// without fixed variables.
const IDenseVector* ReducedMap(const PMCP* p) { return p->fixed > 0 ? p->to_reduced : nullptr; }

// The point the callbacks see for the reduced point x: x itself without
// fixed variables, else the full point with x written in (fixed variables
// keep their values).
const double* FullPoint(PMCP* p, const DenseVector* x) {
  if (p->fixed == 0) return DenseVector_Array(x);
  const double* xr = DenseVector_Array(x);
  const std::int32_t* to_full = IDenseVector_Array(p->to_full);
  double* full = DenseVector_Array(p->full.x);
  for (std::int32_t i = 0; i < p->size.n; ++i) full[to_full[i] - 1] = xr[i];
  return full;
}

// F, J and the parameter column at the full point (x of m values, m = n
// without fixed variables, else the full point) into the record. Returns the
// callback's domain-error count.
int EvaluateJacobian(PMCP* p, const double* x, double t, std::int32_t room) {
  std::int32_t full_n = p->size.full_n;
  SparseMatrix* J = p->J;
  std::int32_t count = SparseMatrix_PrepareExchange(J, full_n, room);
  DenseVector_SetLength(p->F, full_n);
  DenseVector_SetLength(p->column, full_n);
  const PMCP_Interface& in = Current();
  int errors = in.jacobian_evaluation(
      in.data, full_n, x, t, 1, &count, IDenseVector_Array(SparseMatrix_ColStart(J)),
      IDenseVector_Array(SparseMatrix_ColLen(J)), IDenseVector_Array(SparseMatrix_RowIndex(J)),
      DenseVector_Array(SparseMatrix_Values(J)), DenseVector_Array(p->F),
      DenseVector_Array(p->column));
  pc::FinishExchange(J, count, p->size.full_nnz, "PMCP: Jacobian evaluation");
  return errors;
}

// Takes out the fixed variables of the (checked) full block: builds both
// maps and returns the number of variables left.
std::int32_t SplitFixed(PMCP* p) {
  std::int32_t n = p->size.full_n;
  const double* lower = DenseVector_Array(p->full.lower);
  const double* upper = DenseVector_Array(p->full.upper);
  double* x = DenseVector_Array(p->full.x);
  IDenseVector_FillZero(p->to_reduced, n);
  IDenseVector_FillZero(p->to_full, n);
  std::int32_t* to_reduced = IDenseVector_Array(p->to_reduced);
  std::int32_t* to_full = IDenseVector_Array(p->to_full);
  std::int32_t k = 0;
  p->fixed = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (lower[i] == upper[i]) {
      p->fixed += 1;
      x[i] = lower[i];
    } else {
      to_full[k] = i + 1;
      k += 1;
      to_reduced[i] = k;
    }
  }
  return k;
}

int NameIndex(const PMCP* p, int i) {
  if (p->fixed == 0 || i < 1 || i > p->size.n) return i;
  return IDenseVector_Value(p->to_full, i);
}

}  // namespace

PMCP_Interface* PMCP_GetInterface() { return g_interface.current; }
void PMCP_SetInterface(PMCP_Interface* interface) { pc::SetInterface(g_interface, interface); }
void PMCP_ForgetState() { pc::ForgetInterface(g_interface); }

bool PMCP_StateAtRest() { return pc::InterfaceAtRest(g_interface); }

PMCP* PMCP_Create(std::int32_t n, std::int32_t nnz) {
  auto build = [&](PMCP* p) {
    pc::CreateBlock(p->reduced, n, true);
    pc::CreateBlock(p->full, n, true);
    p->F = DenseVector_Create(n);
    p->column = DenseVector_Create(n);
    p->J = SparseMatrix_Create(n, n, nnz);
    p->to_reduced = IDenseVector_Create(n);
    p->to_full = IDenseVector_Create(n);
  };
  return pc::NewClassRecord<PMCP>(n, nnz, "PMCP", build, &FreeRecord);
}

std::int32_t PMCP_Destroy(PMCP* p) { return pc::DropReference(p, &FreeRecord); }
std::int32_t PMCP_Reference(PMCP* p) { return pc::AddReference(p); }

void PMCP_Size(PMCP* p, std::int32_t n, std::int32_t nnz) {
  ClassSizes& s = p->size;
  pc::GrowSizes(s, n, nnz);
  pc::SizeBlock(p->reduced, s.max_n);
  pc::SizeBlock(p->full, s.max_full_n);
  DenseVector_Size(p->F, s.max_full_n);
  DenseVector_Size(p->column, s.max_full_n);
  IDenseVector_Size(p->to_reduced, s.max_full_n);
  IDenseVector_Size(p->to_full, s.max_full_n);
  SparseMatrix_Resize(p->J, s.max_full_n, s.max_full_n, s.max_full_nnz);
}

void PMCP_Copy(PMCP* dst, const PMCP* src) {
  if (dst == src) return;
  // The clones below write at src's lengths: dst needs src's room first.
  PMCP_Size(dst, std::max(src->size.max_n, src->size.max_full_n), src->size.max_full_nnz);
  pc::GrowForClone(dst->J, src->J, 1);
  pc::CopyCounts(dst->size, src->size);
  pc::CopyBlock(dst->reduced, src->reduced, nullptr);
  dst->t = src->t;
  pc::CopyBlock(dst->full, src->full, nullptr);
  dst->full_t = src->full_t;
  DenseVector_Clone(dst->F, src->F, nullptr);
  DenseVector_Clone(dst->column, src->column, nullptr);
  SparseMatrix_Clone(dst->J, src->J, nullptr, nullptr, 1);
  dst->fixed = src->fixed;
  IDenseVector_Clone(dst->to_reduced, src->to_reduced, nullptr);
  IDenseVector_Clone(dst->to_full, src->to_full, nullptr);
  dst->tag = src->tag;
}

void PMCP_Start(PMCP* p) {
  const PMCP_Interface& in = Current();
  if (in.problem_size == nullptr) {
    Error_SolverError("PMCP: Start: problem callbacks not installed.\n");
  }
  // Nothing of an earlier start stays usable once this one has begun.
  pc::ReadParametric(p, in, p->full, p->full_t, &PMCP_Size, "PMCP");
  std::int32_t k = SplitFixed(p);
  if (k == 0) Error_SolverError("PMCP: Start: all variables fixed.\n");
  IDenseVector_SetLength(p->to_full, k);
  if (p->fixed > 0) Error_Warning("PMCP: Start: %d fixed variables encountered.\n", p->fixed);
  PMCP_ClassifyBasis(p);

  pc::CopyBlock(p->reduced, p->full, p->to_reduced);
  p->t = p->full_t;
  ClassSizes& s = p->size;
  s.nnz = pc::EntryBound(static_cast<double>(s.full_nnz) + k, k);
  s.n = k;
}

void PMCP_ClassifyBasis(PMCP* p) { pc::ClassifyBasis(p->full, p->full_t, p->size.full_n); }

int PMCP_Function(PMCP* p, DenseVector* x, double t, FunctionJacobian* pair) {
  const char* op = "PMCP: Function";
  pc::RequireStarted(p->size.n > 0, op);
  if (Current().function_evaluation == nullptr) {
    Error_SolverError("%s: function_evaluation not installed.\n", op);
  }
  pc::RequireEvaluation(true, x, p->size.n, pair, op);
  const PMCP_Interface& in = Current();
  // Without fixed variables the callback sees the caller's x and n.
  std::int32_t m = p->fixed == 0 ? p->size.n : p->size.full_n;
  DenseVector_SetLength(p->F, p->size.full_n);
  int errors = in.function_evaluation(in.data, m, FullPoint(p, x), t, DenseVector_Array(p->F));
  DenseVector_Clone(FunctionJacobian_Function(pair), p->F, ReducedMap(p));
  FunctionJacobian_SetN(pair, p->size.n);
  return errors == 0 ? 1 : 0;
}

int PMCP_Jacobian(PMCP* p, DenseVector* x, double t, FunctionJacobian* pair,
                  DenseVector* column) {
  const char* op = "PMCP: Jacobian";
  pc::RequireStarted(p->size.n > 0, op);
  RequireJacobianSlot(op);
  pc::RequireEvaluation(true, x, p->size.n, pair, op);
  pc::RequireCapacity(column, p->size.n, op);
  const double* point = FullPoint(p, x);
  int errors = EvaluateJacobian(p, point, t, SparseMatrix_NNZCapacity(p->J));
  DenseVector_Clone(column, p->column, ReducedMap(p));
  return pc::HandOver(pair, p->F, p->J, ReducedMap(p), p->size.n, errors);
}

void PMCP_Finish(PMCP* p, DenseVector* x, double t, IDenseVector* basis,
                 std::int32_t t_basis) {
  const char* op = "PMCP: Finish";
  pc::RequireStarted(p->size.n > 0, op);
  RequireJacobianSlot(op);
  const IDenseVector* to_full = p->fixed > 0 ? p->to_full : nullptr;
  pc::StoreSolution(p->full, p->full_t, p->size.full_n, x, t, basis, t_basis, to_full, op);
  const double* point = DenseVector_Array(p->full.x);
  (void)EvaluateJacobian(p, point, p->full_t.value, p->size.max_full_nnz);
  const PMCP_Interface& in = Current();
  if (in.finish != nullptr) in.finish(in.data, point, p->full_t.value);
}

int PMCP_VariableName(const PMCP* p, int i, char* buffer, int length) {
  const PMCP_Interface& in = Current();
  return pc::CallerName(in.variable_name, in.data, "x[%5d]", NameIndex(p, i), buffer, length);
}

int PMCP_ConstraintName(const PMCP* p, int i, char* buffer, int length) {
  const PMCP_Interface& in = Current();
  return pc::CallerName(in.constraint_name, in.data, "f[%5d]", NameIndex(p, i), buffer, length);
}
