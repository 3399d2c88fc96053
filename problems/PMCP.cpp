// PMCP record: lifetime, start (bounds, fixed variables, reduced block),
// evaluations with the parameter column, finish and names.
#include "problems/PMCP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

PMCP_Interface g_empty = {};
PMCP_Interface* g_current = &g_empty;

void FreeRecord(PMCP* p) {
  DenseVector_Destroy(p->lower);
  DenseVector_Destroy(p->upper);
  DenseVector_Destroy(p->x);
  IDenseVector_Destroy(p->basis);
  DenseVector_Destroy(p->full_lower);
  DenseVector_Destroy(p->full_upper);
  DenseVector_Destroy(p->full_x);
  IDenseVector_Destroy(p->full_basis);
  DenseVector_Destroy(p->F);
  DenseVector_Destroy(p->column);
  SparseMatrix_Destroy(p->J);
  IDenseVector_Destroy(p->to_reduced);
  IDenseVector_Destroy(p->to_full);
  Memory_Free(p);
}

void RequireStarted(const PMCP* p, const char* operation) {
  if (p->n < 1) Error_SolverError("%s: the problem has not been started.\n", operation);
}

void RequireJacobianSlot(const char* operation) {
  if (g_current->jacobian_evaluation == nullptr) {
    Error_SolverError("%s: jacobian_evaluation not installed.\n", operation);
  }
}

// Writes the reduced point into the full point; fixed variables keep their
// values.
void ScatterPoint(PMCP* p, const DenseVector* x) {
  const double* xr = DenseVector_Array(x);
  const std::int32_t* to_full = IDenseVector_Array(p->to_full);
  double* full = DenseVector_Array(p->full_x);
  for (std::int32_t i = 0; i < p->n; ++i) full[to_full[i] - 1] = xr[i];
}

// F, J and the parameter column at the full point (x of m values, m = n
// without fixed variables, else the full point) into the record. Returns the
// callback's domain-error count.
int EvaluateJacobian(PMCP* p, const double* x, double t, std::int32_t room) {
  std::int32_t full_n = p->full_n;
  std::int32_t count = SparseMatrix_PrepareExchange(p->J, full_n, room);
  DenseVector_SetLength(p->F, full_n);
  DenseVector_SetLength(p->column, full_n);
  const PMCP_Interface& in = *g_current;
  int errors = in.jacobian_evaluation(
      in.data, full_n, x, t, 1, &count, IDenseVector_Array(SparseMatrix_ColStart(p->J)),
      IDenseVector_Array(SparseMatrix_ColLen(p->J)), IDenseVector_Array(SparseMatrix_RowIndex(p->J)),
      DenseVector_Array(SparseMatrix_Values(p->J)), DenseVector_Array(p->F),
      DenseVector_Array(p->column));
  pc::FinishExchange(p->J, count, p->full_nnz, "PMCP: Jacobian evaluation");
  return errors;
}

// Reads bounds, parameter and basis codes into the full block.
void ReadFullBlock(PMCP* p) {
  const PMCP_Interface& in = *g_current;
  std::int32_t n = p->full_n;
  double inf = pc::Infinity();
  DenseVector_Fill(p->full_lower, n, -inf);
  DenseVector_Fill(p->full_upper, n, inf);
  DenseVector_FillZero(p->full_x, n);
  p->full_t_lower = -inf;
  p->full_t_upper = inf;
  p->full_t = 0.0;
  if (in.bounds != nullptr) {
    in.bounds(in.data, n, DenseVector_Array(p->full_x), DenseVector_Array(p->full_lower),
              DenseVector_Array(p->full_upper), &p->full_t, &p->full_t_lower, &p->full_t_upper);
  }
  IDenseVector_FillZero(p->full_basis, n);
  p->full_t_basis = 0;
  if (in.basis != nullptr) {
    in.basis(in.data, n, IDenseVector_Array(p->full_basis), &p->full_t_basis);
  }
}

// Clamps the bounds and builds both maps; returns the number of variables
// left in the reduced problem.
std::int32_t SplitFixed(PMCP* p) {
  std::int32_t n = p->full_n;
  double inf = pc::Infinity();
  double* lower = DenseVector_Array(p->full_lower);
  double* upper = DenseVector_Array(p->full_upper);
  double* x = DenseVector_Array(p->full_x);
  IDenseVector_FillZero(p->to_reduced, n);
  IDenseVector_FillZero(p->to_full, n);
  std::int32_t* to_reduced = IDenseVector_Array(p->to_reduced);
  std::int32_t* to_full = IDenseVector_Array(p->to_full);
  std::int32_t k = 0;
  p->fixed = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (!pc::ClampBounds(lower[i], upper[i], inf)) {
      Error_SolverError("PMCP: Initialize: L > U.\n");
    }
    if (lower[i] == upper[i]) {
      p->fixed += 1;
      x[i] = lower[i];
    } else {
      to_full[k] = i + 1;
      k += 1;
      to_reduced[i] = k;
    }
  }
  if (!pc::ClampBounds(p->full_t_lower, p->full_t_upper, inf)) {
    Error_SolverError("PMCP: Initialize: L > U.\n");
  }
  return k;
}

int NameIndex(const PMCP* p, int i) {
  if (p->fixed == 0 || i < 1 || i > p->n) return i;
  return IDenseVector_Value(p->to_full, i);
}

}  // namespace

PMCP_Interface* PMCP_GetInterface() { return g_current; }

void PMCP_SetInterface(PMCP_Interface* interface) {
  g_current = interface != nullptr ? interface : &g_empty;
}

void PMCP_ForgetState() {
  g_empty = PMCP_Interface{};
  g_current = &g_empty;
}

PMCP* PMCP_Create(std::int32_t n, std::int32_t nnz) {
  pc::CheckProblemSize("PMCP: Create", n, nnz);
  std::int32_t max_nnz =
      pc::EntryBound(static_cast<double>(n) + static_cast<double>(nnz), static_cast<double>(n));
  PMCP* p = static_cast<PMCP*>(Memory_Allocate(sizeof(PMCP)));
  *p = PMCP{};
  p->max_full_n = n;
  p->max_full_nnz = nnz;
  p->max_n = n;
  p->max_nnz = max_nnz;
  p->refcount = 1;
  try {
    p->lower = DenseVector_Create(n);
    p->upper = DenseVector_Create(n);
    p->x = DenseVector_Create(n);
    p->basis = IDenseVector_Create(n);
    p->full_lower = DenseVector_Create(n);
    p->full_upper = DenseVector_Create(n);
    p->full_x = DenseVector_Create(n);
    p->full_basis = IDenseVector_Create(n);
    p->F = DenseVector_Create(n);
    p->column = DenseVector_Create(n);
    p->J = SparseMatrix_Create(n, n, nnz);
    p->to_reduced = IDenseVector_Create(n);
    p->to_full = IDenseVector_Create(n);
  } catch (...) {
    FreeRecord(p);
    throw;
  }
  return p;
}

std::int32_t PMCP_Destroy(PMCP* p) {
  if (p == nullptr) return 0;
  p->refcount -= 1;
  if (p->refcount > 0) return p->refcount;
  FreeRecord(p);
  return 0;
}

std::int32_t PMCP_Reference(PMCP* p) {
  p->refcount += 1;
  return p->refcount;
}

void PMCP_Size(PMCP* p, std::int32_t n, std::int32_t nnz) {
  std::int32_t max_full_n = std::max(p->max_full_n, n);
  std::int32_t max_full_nnz = std::max(p->max_full_nnz, nnz);
  std::int32_t max_n = std::max(p->max_n, max_full_n);
  std::int32_t candidate = pc::EntryBound(
      static_cast<double>(max_full_nnz) + static_cast<double>(max_full_n), max_n);
  p->max_full_n = max_full_n;
  p->max_full_nnz = max_full_nnz;
  p->max_n = max_n;
  p->max_nnz = std::max(p->max_nnz, candidate);

  DenseVector_Size(p->lower, max_n);
  DenseVector_Size(p->upper, max_n);
  DenseVector_Size(p->x, max_n);
  IDenseVector_Size(p->basis, max_n);
  DenseVector_Size(p->full_lower, max_full_n);
  DenseVector_Size(p->full_upper, max_full_n);
  DenseVector_Size(p->full_x, max_full_n);
  IDenseVector_Size(p->full_basis, max_n);
  DenseVector_Size(p->F, max_full_n);
  DenseVector_Size(p->column, max_full_n);
  IDenseVector_Size(p->to_reduced, max_full_n);
  IDenseVector_Size(p->to_full, max_full_n);
  SparseMatrix_Resize(p->J, max_full_n, max_full_n, max_full_nnz);
}

void PMCP_Copy(PMCP* dst, const PMCP* src) {
  if (dst == src) return;
  // The clones below write at src's lengths: dst needs src's room first.
  PMCP_Size(dst, std::max(src->max_n, src->max_full_n), src->max_full_nnz);
  pc::GrowForClone(dst->J, src->J, 1);
  dst->n = src->n;
  dst->nnz = src->nnz;
  dst->full_n = src->full_n;
  dst->full_nnz = src->full_nnz;
  DenseVector_Clone(dst->lower, src->lower, nullptr);
  DenseVector_Clone(dst->upper, src->upper, nullptr);
  DenseVector_Clone(dst->x, src->x, nullptr);
  IDenseVector_Clone(dst->basis, src->basis, nullptr);
  dst->t = src->t;
  dst->t_lower = src->t_lower;
  dst->t_upper = src->t_upper;
  dst->t_basis = src->t_basis;
  DenseVector_Clone(dst->full_lower, src->full_lower, nullptr);
  DenseVector_Clone(dst->full_upper, src->full_upper, nullptr);
  DenseVector_Clone(dst->full_x, src->full_x, nullptr);
  IDenseVector_Clone(dst->full_basis, src->full_basis, nullptr);
  dst->full_t = src->full_t;
  dst->full_t_lower = src->full_t_lower;
  dst->full_t_upper = src->full_t_upper;
  dst->full_t_basis = src->full_t_basis;
  DenseVector_Clone(dst->F, src->F, nullptr);
  DenseVector_Clone(dst->column, src->column, nullptr);
  SparseMatrix_Clone(dst->J, src->J, nullptr, nullptr, 1);
  dst->fixed = src->fixed;
  IDenseVector_Clone(dst->to_reduced, src->to_reduced, nullptr);
  IDenseVector_Clone(dst->to_full, src->to_full, nullptr);
  dst->tag = src->tag;
}

void PMCP_Start(PMCP* p) {
  const PMCP_Interface& in = *g_current;
  if (in.problem_size == nullptr) {
    Error_SolverError("PMCP: Start: problem callbacks not installed.\n");
  }
  // Nothing of an earlier start stays usable once this one has begun.
  p->n = 0;
  p->nnz = 0;
  if (in.start != nullptr) in.start(in.data);
  int n = 0;
  int nnz = 0;
  in.problem_size(in.data, &n, &nnz);
  pc::CheckProblemSize("PMCP: Start", n, nnz);
  if (n == 0) Error_SolverError("PMCP: Start: Empty model.\n");
  PMCP_Size(p, n, nnz);
  p->full_n = n;
  p->full_nnz = nnz;

  ReadFullBlock(p);
  std::int32_t k = SplitFixed(p);
  if (k == 0) Error_SolverError("PMCP: Start: all variables fixed.\n");
  IDenseVector_SetLength(p->to_full, k);
  if (p->fixed > 0) Error_Warning("PMCP: Start: %d fixed variables encountered.\n", p->fixed);
  PMCP_ClassifyBasis(p);

  DenseVector_Clone(p->lower, p->full_lower, p->to_reduced);
  DenseVector_Clone(p->upper, p->full_upper, p->to_reduced);
  DenseVector_Clone(p->x, p->full_x, p->to_reduced);
  IDenseVector_Clone(p->basis, p->full_basis, p->to_reduced);
  p->t = p->full_t;
  p->t_lower = p->full_t_lower;
  p->t_upper = p->full_t_upper;
  p->t_basis = p->full_t_basis;
  p->nnz = pc::EntryBound(static_cast<double>(nnz) + k, k);
  p->n = k;
}

void PMCP_ClassifyBasis(PMCP* p) {
  const double* lower = DenseVector_Array(p->full_lower);
  const double* upper = DenseVector_Array(p->full_upper);
  const double* x = DenseVector_Array(p->full_x);
  std::int32_t* basis = IDenseVector_Array(p->full_basis);
  for (std::int32_t i = 0; i < p->full_n; ++i) {
    basis[i] = pc::ClassifyCode(lower[i], upper[i], x[i], basis[i], true);
  }
  p->full_t_basis =
      pc::ClassifyCode(p->full_t_lower, p->full_t_upper, p->full_t, p->full_t_basis, false);
}

int PMCP_Function(PMCP* p, DenseVector* x, double t, FunctionJacobian* pair) {
  const char* op = "PMCP: Function";
  RequireStarted(p, op);
  if (g_current->function_evaluation == nullptr) {
    Error_SolverError("%s: function_evaluation not installed.\n", op);
  }
  pc::RequireLength(x, p->n, op);
  pc::RequirePairRoom(pair, p->n, op);
  const PMCP_Interface& in = *g_current;
  DenseVector_SetLength(p->F, p->full_n);
  int errors;
  if (p->fixed == 0) {
    errors = in.function_evaluation(in.data, p->n, DenseVector_Array(x), t,
                                    DenseVector_Array(p->F));
    DenseVector_Clone(FunctionJacobian_Function(pair), p->F, nullptr);
  } else {
    ScatterPoint(p, x);
    errors = in.function_evaluation(in.data, p->full_n, DenseVector_Array(p->full_x), t,
                                    DenseVector_Array(p->F));
    DenseVector_Clone(FunctionJacobian_Function(pair), p->F, p->to_reduced);
  }
  FunctionJacobian_SetN(pair, p->n);
  return errors == 0 ? 1 : 0;
}

int PMCP_Jacobian(PMCP* p, DenseVector* x, double t, FunctionJacobian* pair,
                  DenseVector* column) {
  const char* op = "PMCP: Jacobian";
  RequireStarted(p, op);
  RequireJacobianSlot(op);
  pc::RequireLength(x, p->n, op);
  pc::RequirePairRoom(pair, p->n, op);
  pc::RequireCapacity(column, p->n, op);
  const double* point = DenseVector_Array(x);
  const IDenseVector* map = nullptr;
  if (p->fixed > 0) {
    ScatterPoint(p, x);
    point = DenseVector_Array(p->full_x);
    map = p->to_reduced;
  }
  int errors = EvaluateJacobian(p, point, t, SparseMatrix_NNZCapacity(p->J));
  DenseVector_Clone(FunctionJacobian_Function(pair), p->F, map);
  DenseVector_Clone(column, p->column, map);
  SparseMatrix* out = FunctionJacobian_Jacobian(pair);
  SparseMatrix_Clone(out, p->J, map, map, 1);
  FunctionJacobian_SetN(pair, p->n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(out));
  return errors == 0 ? 1 : 0;
}

void PMCP_Finish(PMCP* p, DenseVector* x, double t, IDenseVector* basis,
                 std::int32_t t_basis) {
  const char* op = "PMCP: Finish";
  RequireStarted(p, op);
  RequireJacobianSlot(op);
  pc::RequireLength(x, p->n, op);
  if (basis != nullptr) pc::RequireLength(basis, p->n, op);
  if (p->fixed == 0) {
    DenseVector_Clone(p->full_x, x, nullptr);
    if (basis != nullptr) IDenseVector_Clone(p->full_basis, basis, nullptr);
  } else {
    ScatterPoint(p, x);
    if (basis != nullptr) {
      const std::int32_t* codes = IDenseVector_Array(basis);
      const std::int32_t* to_full = IDenseVector_Array(p->to_full);
      std::int32_t* full = IDenseVector_Array(p->full_basis);
      for (std::int32_t i = 0; i < p->n; ++i) full[to_full[i] - 1] = codes[i];
    }
  }
  p->full_t = t;
  p->full_t_basis = t_basis;
  PMCP_ClassifyBasis(p);
  (void)EvaluateJacobian(p, DenseVector_Array(p->full_x), p->full_t, p->max_full_nnz);
  const PMCP_Interface& in = *g_current;
  if (in.finish != nullptr) in.finish(in.data, DenseVector_Array(p->full_x), p->full_t);
}

int PMCP_VariableName(const PMCP* p, int i, char* buffer, int length) {
  int index = NameIndex(p, i);
  const PMCP_Interface& in = *g_current;
  if (in.variable_name != nullptr) return in.variable_name(in.data, index, buffer, length);
  return pc::DefaultName("x[%5d]", index, buffer, length);
}

int PMCP_ConstraintName(const PMCP* p, int i, char* buffer, int length) {
  int index = NameIndex(p, i);
  const PMCP_Interface& in = *g_current;
  if (in.constraint_name != nullptr) return in.constraint_name(in.data, index, buffer, length);
  return pc::DefaultName("f[%5d]", index, buffer, length);
}
