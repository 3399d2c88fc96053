// PLCP record: lifetime, start (bounds, basis codes, M, q, d, working
// block), evaluations, finish and names.
#include "problems/PLCP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

PLCP_Interface g_empty = {};
PLCP_Interface* g_current = &g_empty;

void CreateBlock(PLCP_Block& b, std::int32_t n, std::int32_t nnz) {
  b.lower = DenseVector_Create(n);
  b.upper = DenseVector_Create(n);
  b.x = DenseVector_Create(n);
  b.basis = IDenseVector_Create(n);
  b.q = DenseVector_Create(n);
  b.d = DenseVector_Create(n);
  b.M = SparseMatrix_Create(n, n, nnz);
}

void SizeBlock(PLCP_Block& b, std::int32_t n, std::int32_t nnz) {
  DenseVector_Size(b.lower, n);
  DenseVector_Size(b.upper, n);
  DenseVector_Size(b.x, n);
  IDenseVector_Size(b.basis, n);
  DenseVector_Size(b.q, n);
  DenseVector_Size(b.d, n);
  SparseMatrix_Resize(b.M, n, n, nnz);
}

void FreeBlock(PLCP_Block& b) {
  DenseVector_Destroy(b.lower);
  DenseVector_Destroy(b.upper);
  DenseVector_Destroy(b.x);
  IDenseVector_Destroy(b.basis);
  DenseVector_Destroy(b.q);
  DenseVector_Destroy(b.d);
  SparseMatrix_Destroy(b.M);
}

// dst := src, the matrix with every diagonal entry stored; dst has the room
// for the vectors (the caller's obligation) and is grown for the matrix.
void CopyBlock(PLCP_Block& dst, const PLCP_Block& src) {
  DenseVector_Clone(dst.lower, src.lower, nullptr);
  DenseVector_Clone(dst.upper, src.upper, nullptr);
  DenseVector_Clone(dst.x, src.x, nullptr);
  IDenseVector_Clone(dst.basis, src.basis, nullptr);
  dst.t_lower = src.t_lower;
  dst.t_upper = src.t_upper;
  dst.t = src.t;
  dst.t_basis = src.t_basis;
  DenseVector_Clone(dst.q, src.q, nullptr);
  DenseVector_Clone(dst.d, src.d, nullptr);
  pc::GrowForClone(dst.M, src.M, 1);
  SparseMatrix_Clone(dst.M, src.M, nullptr, nullptr, 1);
}

void FreeRecord(PLCP* p) {
  FreeBlock(p->working);
  FreeBlock(p->full);
  Memory_Free(p);
}

void RequireStarted(const PLCP* p, const char* operation) {
  if (p->n < 1) Error_SolverError("%s: the problem has not been started.\n", operation);
}

// Reads bounds, parameter and codes into the full block and checks the
// bounds.
void ReadBounds(PLCP* p) {
  const PLCP_Interface& in = *g_current;
  PLCP_Block& b = p->full;
  std::int32_t n = p->full_n;
  double inf = pc::Infinity();
  DenseVector_Fill(b.lower, n, -inf);
  DenseVector_Fill(b.upper, n, inf);
  DenseVector_FillZero(b.x, n);
  b.t_lower = -inf;
  b.t_upper = inf;
  b.t = 0.0;
  if (in.bounds != nullptr) {
    in.bounds(in.data, n, DenseVector_Array(b.x), DenseVector_Array(b.lower),
              DenseVector_Array(b.upper), &b.t, &b.t_lower, &b.t_upper);
  }
  IDenseVector_FillZero(b.basis, n);
  b.t_basis = 0;
  if (in.basis != nullptr) in.basis(in.data, n, IDenseVector_Array(b.basis), &b.t_basis);

  double* lower = DenseVector_Array(b.lower);
  double* upper = DenseVector_Array(b.upper);
  for (std::int32_t i = 0; i < n; ++i) {
    if (!pc::ClampBounds(lower[i], upper[i], inf)) {
      Error_SolverError("PLCP: Initialize: L > U.\n");
    }
  }
  if (!pc::ClampBounds(b.t_lower, b.t_upper, inf)) {
    Error_SolverError("PLCP: Initialize: L > U.\n");
  }
}

// M, q and d of the full block through the matrix slot.
void ReadMatrix(PLCP* p) {
  const PLCP_Interface& in = *g_current;
  PLCP_Block& b = p->full;
  std::int32_t n = p->full_n;
  DenseVector_SetLength(b.q, n);
  DenseVector_SetLength(b.d, n);
  std::int32_t count = SparseMatrix_PrepareExchange(b.M, n, SparseMatrix_NNZCapacity(b.M));
  in.matrix(in.data, n, &count, IDenseVector_Array(SparseMatrix_ColStart(b.M)),
            IDenseVector_Array(SparseMatrix_ColLen(b.M)),
            IDenseVector_Array(SparseMatrix_RowIndex(b.M)),
            DenseVector_Array(SparseMatrix_Values(b.M)), DenseVector_Array(b.q),
            DenseVector_Array(b.d));
  pc::FinishExchange(b.M, count, p->full_nnz, "PLCP: Matrix");
}

// F := M x + q + t d with the working block.
void Evaluate(PLCP* p, const DenseVector* x, double t, DenseVector* F) {
  SparseMatrix_Mult(F, p->working.M, x, p->working.q);
  DenseVector_AddScaled(F, F, p->working.d, t);
}

}  // namespace

PLCP_Interface* PLCP_GetInterface() { return g_current; }

void PLCP_SetInterface(PLCP_Interface* interface) {
  g_current = interface != nullptr ? interface : &g_empty;
}

void PLCP_ForgetState() {
  g_empty = PLCP_Interface{};
  g_current = &g_empty;
}

PLCP* PLCP_Create(std::int32_t n, std::int32_t nnz) {
  pc::CheckProblemSize("PLCP: Create", n, nnz);
  std::int32_t max_nnz =
      pc::EntryBound(static_cast<double>(n) + static_cast<double>(nnz), static_cast<double>(n));
  PLCP* p = static_cast<PLCP*>(Memory_Allocate(sizeof(PLCP)));
  *p = PLCP{};
  p->max_full_n = n;
  p->max_full_nnz = nnz;
  p->max_n = n;
  p->max_nnz = max_nnz;
  p->refcount = 1;
  try {
    CreateBlock(p->working, n, max_nnz);
    CreateBlock(p->full, n, nnz);
  } catch (...) {
    FreeRecord(p);
    throw;
  }
  return p;
}

std::int32_t PLCP_Destroy(PLCP* p) {
  if (p == nullptr) return 0;
  p->refcount -= 1;
  if (p->refcount > 0) return p->refcount;
  FreeRecord(p);
  return 0;
}

std::int32_t PLCP_Reference(PLCP* p) {
  p->refcount += 1;
  return p->refcount;
}

void PLCP_Size(PLCP* p, std::int32_t n, std::int32_t nnz) {
  std::int32_t max_full_n = std::max(p->max_full_n, n);
  std::int32_t max_full_nnz = std::max(p->max_full_nnz, nnz);
  std::int32_t max_n = std::max(p->max_n, max_full_n);
  std::int32_t candidate = pc::EntryBound(
      static_cast<double>(max_full_nnz) + static_cast<double>(max_full_n), max_n);
  p->max_full_n = max_full_n;
  p->max_full_nnz = max_full_nnz;
  p->max_n = max_n;
  p->max_nnz = std::max(p->max_nnz, candidate);
  SizeBlock(p->working, p->max_n, p->max_nnz);
  SizeBlock(p->full, p->max_full_n, p->max_full_nnz);
}

void PLCP_Copy(PLCP* dst, const PLCP* src) {
  if (dst == src) return;
  // The clones below write at src's lengths: dst needs src's room first.
  PLCP_Size(dst, std::max(src->max_n, src->max_full_n), src->max_full_nnz);
  dst->n = src->n;
  dst->nnz = src->nnz;
  dst->full_n = src->full_n;
  dst->full_nnz = src->full_nnz;
  CopyBlock(dst->working, src->working);
  CopyBlock(dst->full, src->full);
  dst->tag = src->tag;
}

int PLCP_Start(PLCP* p) {
  const PLCP_Interface& in = *g_current;
  if (in.problem_size == nullptr || in.matrix == nullptr) {
    Error_SolverError("PLCP: Start: problem callbacks not installed.\n");
  }
  // Nothing of an earlier start stays usable once this one has begun.
  p->n = 0;
  p->nnz = 0;
  if (in.start != nullptr) in.start(in.data);
  int n = 0;
  int nnz = 0;
  in.problem_size(in.data, &n, &nnz);
  pc::CheckProblemSize("PLCP: Start", n, nnz);
  if (n == 0) Error_SolverError("PLCP: Start: Empty model.\n");
  PLCP_Size(p, n, nnz);
  p->full_n = n;
  p->full_nnz = nnz;

  ReadBounds(p);
  PLCP_ClassifyBasis(p);
  ReadMatrix(p);

  CopyBlock(p->working, p->full);
  p->nnz = SparseMatrix_NNZ(p->working.M);
  p->n = n;
  return PLCP_STARTED;
}

void PLCP_ClassifyBasis(PLCP* p) {
  PLCP_Block& b = p->full;
  const double* lower = DenseVector_Array(b.lower);
  const double* upper = DenseVector_Array(b.upper);
  const double* x = DenseVector_Array(b.x);
  std::int32_t* basis = IDenseVector_Array(b.basis);
  for (std::int32_t i = 0; i < p->full_n; ++i) {
    basis[i] = pc::ClassifyCode(lower[i], upper[i], x[i], basis[i], true);
  }
  b.t_basis = pc::ClassifyCode(b.t_lower, b.t_upper, b.t, b.t_basis, false);
}

int PLCP_Function(PLCP* p, DenseVector* x, double t, FunctionJacobian* pair) {
  const char* op = "PLCP: Function";
  RequireStarted(p, op);
  pc::RequireLength(x, p->n, op);
  pc::RequirePairRoom(pair, p->n, op);
  Evaluate(p, x, t, FunctionJacobian_Function(pair));
  FunctionJacobian_SetN(pair, p->n);
  return 1;
}

int PLCP_Jacobian(PLCP* p, DenseVector* x, double t, FunctionJacobian* pair,
                  DenseVector* column) {
  const char* op = "PLCP: Jacobian";
  RequireStarted(p, op);
  pc::RequireLength(x, p->n, op);
  pc::RequirePairRoom(pair, p->n, op);
  pc::RequireCapacity(column, p->n, op);
  SparseMatrix* out = FunctionJacobian_Jacobian(pair);
  SparseMatrix_Clone(out, p->working.M, nullptr, nullptr, 1);
  DenseVector_Clone(column, p->working.d, nullptr);
  Evaluate(p, x, t, FunctionJacobian_Function(pair));
  FunctionJacobian_SetN(pair, p->n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(out));
  return 1;
}

void PLCP_Finish(PLCP* p, DenseVector* x, double t, IDenseVector* basis,
                 std::int32_t t_basis) {
  const char* op = "PLCP: Finish";
  RequireStarted(p, op);
  pc::RequireLength(x, p->full_n, op);
  if (basis != nullptr) pc::RequireLength(basis, p->full_n, op);
  DenseVector_Clone(p->full.x, x, nullptr);
  if (basis != nullptr) IDenseVector_Clone(p->full.basis, basis, nullptr);
  p->full.t = t;
  p->full.t_basis = t_basis;
  PLCP_ClassifyBasis(p);
  const PLCP_Interface& in = *g_current;
  if (in.finish != nullptr) in.finish(in.data, DenseVector_Array(p->full.x), p->full.t);
}

int PLCP_VariableName(const PLCP* p, int i, char* buffer, int length) {
  (void)p;
  const PLCP_Interface& in = *g_current;
  if (in.variable_name != nullptr) return in.variable_name(in.data, i, buffer, length);
  return pc::DefaultName("x[%5d]", i, buffer, length);
}

int PLCP_ConstraintName(const PLCP* p, int i, char* buffer, int length) {
  (void)p;
  const PLCP_Interface& in = *g_current;
  if (in.constraint_name != nullptr) return in.constraint_name(in.data, i, buffer, length);
  return pc::DefaultName("f[%5d]", i, buffer, length);
}
