// PLCP record: lifetime, start (bounds, basis codes, M, q, d, working
// block), evaluations, finish and names.
#include "problems/PLCP.hpp"

#include <algorithm>

#include "core/Error.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace pc = problem_classes;

namespace {

pc::InterfaceHolder<PLCP_Interface> g_interface;

const PLCP_Interface& Current() { return *g_interface.current; }

void CreateBlock(PLCP_Block& b, std::int32_t n, std::int32_t nnz) {
  pc::CreateBlock(b.variables, n, true);
  b.q = DenseVector_Create(n);
  b.d = DenseVector_Create(n);
  b.M = SparseMatrix_Create(n, n, nnz);
}

void SizeBlock(PLCP_Block& b, std::int32_t n, std::int32_t nnz) {
  pc::SizeBlock(b.variables, n);
  DenseVector_Size(b.q, n);
  DenseVector_Size(b.d, n);
  SparseMatrix_Resize(b.M, n, n, nnz);
}

void FreeBlock(PLCP_Block& b) {
  pc::FreeBlock(b.variables);
  DenseVector_Destroy(b.q);
  DenseVector_Destroy(b.d);
  SparseMatrix_Destroy(b.M);
}

// dst := src, the matrix with every diagonal entry stored; dst has the room
// for the vectors (the caller's obligation) and is grown for the matrix.
void CopyBlock(PLCP_Block& dst, const PLCP_Block& src) {
  pc::CopyBlock(dst.variables, src.variables, nullptr);
  dst.t = src.t;
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

// M, q and d of the full block through the matrix slot.
void ReadMatrix(PLCP* p) {
  const PLCP_Interface& in = Current();
  PLCP_Block& b = p->full;
  std::int32_t n = p->size.full_n;
  DenseVector_SetLength(b.q, n);
  DenseVector_SetLength(b.d, n);
  std::int32_t count = SparseMatrix_PrepareExchange(b.M, n, SparseMatrix_NNZCapacity(b.M));
  in.matrix(in.data, n, &count, IDenseVector_Array(SparseMatrix_ColStart(b.M)),
            IDenseVector_Array(SparseMatrix_ColLen(b.M)),
            IDenseVector_Array(SparseMatrix_RowIndex(b.M)),
            DenseVector_Array(SparseMatrix_Values(b.M)), DenseVector_Array(b.q),
            DenseVector_Array(b.d));
  pc::FinishExchange(b.M, count, p->size.full_nnz, "PLCP: Matrix");
}

// F := M x + q + t d with the working block.
void Evaluate(PLCP* p, const DenseVector* x, double t, DenseVector* F) {
  SparseMatrix_Mult(F, p->working.M, x, p->working.q);
  DenseVector_AddScaled(F, F, p->working.d, t);
}

}  // namespace

PLCP_Interface* PLCP_GetInterface() { return g_interface.current; }
void PLCP_SetInterface(PLCP_Interface* interface) { pc::SetInterface(g_interface, interface); }
void PLCP_ForgetState() { pc::ForgetInterface(g_interface); }

bool PLCP_StateAtRest() { return pc::InterfaceAtRest(g_interface); }

PLCP* PLCP_Create(std::int32_t n, std::int32_t nnz) {
  auto build = [&](PLCP* p) {
    CreateBlock(p->working, n, p->size.max_nnz);
    CreateBlock(p->full, n, nnz);
  };
  return pc::NewClassRecord<PLCP>(n, nnz, "PLCP", build, &FreeRecord);
}

std::int32_t PLCP_Destroy(PLCP* p) { return pc::DropReference(p, &FreeRecord); }
std::int32_t PLCP_Reference(PLCP* p) { return pc::AddReference(p); }

void PLCP_Size(PLCP* p, std::int32_t n, std::int32_t nnz) {
  ClassSizes& s = p->size;
  pc::GrowSizes(s, n, nnz);
  SizeBlock(p->working, s.max_n, s.max_nnz);
  SizeBlock(p->full, s.max_full_n, s.max_full_nnz);
}

void PLCP_Copy(PLCP* dst, const PLCP* src) {
  if (dst == src) return;
  // The clones below write at src's lengths: dst needs src's room first.
  PLCP_Size(dst, std::max(src->size.max_n, src->size.max_full_n), src->size.max_full_nnz);
  pc::CopyCounts(dst->size, src->size);
  CopyBlock(dst->working, src->working);
  CopyBlock(dst->full, src->full);
  dst->tag = src->tag;
}

int PLCP_Start(PLCP* p) {
  const PLCP_Interface& in = Current();
  if (in.problem_size == nullptr || in.matrix == nullptr) {
    Error_SolverError("PLCP: Start: problem callbacks not installed.\n");
  }
  // Nothing of an earlier start stays usable once this one has begun.
  pc::ReadParametric(p, in, p->full.variables, p->full.t, &PLCP_Size, "PLCP");
  PLCP_ClassifyBasis(p);
  ReadMatrix(p);

  CopyBlock(p->working, p->full);
  p->size.nnz = SparseMatrix_NNZ(p->working.M);
  p->size.n = p->size.full_n;
  return PLCP_STARTED;
}

void PLCP_ClassifyBasis(PLCP* p) {
  pc::ClassifyBasis(p->full.variables, p->full.t, p->size.full_n);
}

int PLCP_Function(PLCP* p, DenseVector* x, double t, FunctionJacobian* pair) {
  pc::RequireEvaluation(p->size.n > 0, x, p->size.n, pair, "PLCP: Function");
  Evaluate(p, x, t, FunctionJacobian_Function(pair));
  FunctionJacobian_SetN(pair, p->size.n);
  return 1;
}

int PLCP_Jacobian(PLCP* p, DenseVector* x, double t, FunctionJacobian* pair,
                  DenseVector* column) {
  const char* op = "PLCP: Jacobian";
  pc::RequireEvaluation(p->size.n > 0, x, p->size.n, pair, op);
  pc::RequireCapacity(column, p->size.n, op);
  SparseMatrix* out = FunctionJacobian_Jacobian(pair);
  SparseMatrix_Clone(out, p->working.M, nullptr, nullptr, 1);
  DenseVector_Clone(column, p->working.d, nullptr);
  Evaluate(p, x, t, FunctionJacobian_Function(pair));
  FunctionJacobian_SetN(pair, p->size.n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(out));
  return 1;
}

void PLCP_Finish(PLCP* p, DenseVector* x, double t, IDenseVector* basis,
                 std::int32_t t_basis) {
  const char* op = "PLCP: Finish";
  pc::RequireStarted(p->size.n > 0, op);
  pc::StoreSolution(p->full.variables, p->full.t, p->size.full_n, x, t, basis, t_basis, nullptr,
                    op);
  const PLCP_Interface& in = Current();
  if (in.finish != nullptr) {
    in.finish(in.data, DenseVector_Array(p->full.variables.x), p->full.t.value);
  }
}

int PLCP_VariableName(const PLCP* p, int i, char* buffer, int length) {
  (void)p;
  return pc::CallerName(Current().variable_name, Current().data, "x[%5d]", i, buffer, length);
}

int PLCP_ConstraintName(const PLCP* p, int i, char* buffer, int length) {
  (void)p;
  return pc::CallerName(Current().constraint_name, Current().data, "f[%5d]", i, buffer, length);
}
