// QP: a bounded nonlinear problem class. n variables with
// lower <= x <= upper, a function F and its sparse Jacobian, described
// through the module's current QP_Interface (process-wide, stored by
// pointer: the caller keeps it alive). The QP_MCP adapter presents a QP to
// the solver as an MCP with bound multipliers.
//
// QP_Start reads the size, bounds and start point, checks the bounds,
// evaluates at the (projected) start or at a point built from the bounds
// and fills the working block, which equals the caller's block: no variable
// is taken out. Status codes: 10 ready, 1 empty problem, 7 bound error,
// 8 undefined at the calculated start.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/ProblemClasses.hpp"

enum QP_Status : int {
  QP_SOLVED = 1,       // empty problem
  QP_BOUND_ERROR = 7,  // some lower bound above its upper bound
  QP_UNDEFINED = 8,    // F or J undefined at the calculated start
  QP_READY = 10,       // started: go on
};

// The caller's callbacks: the slots of a bounded nonlinear system
// (problems/ProblemClasses.hpp). problem_size (0 variables: empty; negative
// counts are rejected), bounds and jacobian_evaluation are required,
// function_evaluation by QP_Function; start is the first thing of
// QP_Start, finish the last thing of QP_Finish.
struct QP_Interface : SystemCallbacks {};

// Sizes: n and nnz of the working block (nnz = min(full nnz + n, n * n)),
// full n = max(1, n from problem_size) and full nnz = max(1, nnz from
// problem_size); all counts 0 until started.
struct QP {
  ClassSizes size;
  ClassBlock working;  // no codes (basis stays null)
  ClassBlock full;     // as delivered, bounds clamped to +-infinity
  DenseVector* F;      // F at the last evaluated point
  SparseMatrix* J;     // J at the last evaluated point
  std::int32_t tag;
  std::int32_t refcount;
};

// The module's current interface (at load: a record with every slot empty).
// Set stores the pointer (nullptr puts the empty record back).
QP_Interface* QP_GetInterface();
void QP_SetInterface(QP_Interface* interface);
// Puts the empty record back without touching the caller's record.
void QP_ForgetState();
// True while the empty record is current.
bool QP_StateAtRest();

// New record for n variables and nnz entries (negative counts are solver
// errors), reference count 1. min(n + nnz, n * n) beyond the 32-bit range is
// "Problem size too large.\n".
QP* QP_Create(std::int32_t n, std::int32_t nnz);
// Drops one reference; at 0 frees the record. Returns the count left.
std::int32_t QP_Destroy(QP* qp);
std::int32_t QP_Reference(QP* qp);
// Grows the capacities to at least (n, nnz); never shrinks. Grown vectors
// lose their contents.
void QP_Size(QP* qp, std::int32_t n, std::int32_t nnz);
// Copies sizes, the seven vectors and J (every diagonal stored); dst is grown
// to hold them first. The tag, capacities otherwise and the reference count
// of dst stay.
void QP_Copy(QP* dst, const QP* src);

// Reads and checks the problem and evaluates at the start. Returns 10, 1, 7
// or 8 (see above); a missing required slot, a negative size or a Jacobian
// beyond its room or its announced bound is a solver error.
int QP_Start(QP* qp);
// Clamps the full bounds to +-infinity and warns about every crossed (or
// NaN) pair. Returns 7 when there was one, else 10.
int QP_CheckBounds(QP* qp);
// Projects the full point onto the bounds and evaluates there (option
// nonlinear_model_use_start), falling back to the point built from the
// bounds. Returns 10, or 8.
int QP_EvaluateStart(QP* qp);

// Takes x (full n values) as the final point, evaluates F and J there and
// calls finish. status is not used.
void QP_Finish(QP* qp, int status, DenseVector* x);
// F at x (n values) into pair; pair's n := n. Returns 1 when no domain error
// was reported, else 0. The record must be started.
int QP_Function(QP* qp, DenseVector* x, FunctionJacobian* pair);
// F and J at x into pair, every missing diagonal entry of J added as 0.0
// (pair's J needs the room). Result as QP_Function.
int QP_Jacobian(QP* qp, DenseVector* x, FunctionJacobian* pair);

// Name of variable / row i: the caller's slot, else "x[%5d]" / "f[%5d]",
// cut to the buffer.
int QP_VariableName(const QP* qp, int i, char* buffer, int length);
int QP_ConstraintName(const QP* qp, int i, char* buffer, int length);

// The record's own members (never destroy them).
inline std::int32_t QP_Variables(const QP* q) { return q->size.n; }
inline std::int32_t QP_Nonzeros(const QP* q) { return q->size.nnz; }
inline std::int32_t QP_MaxVariables(const QP* q) { return q->size.max_n; }
inline std::int32_t QP_MaxNonzeros(const QP* q) { return q->size.max_nnz; }
inline DenseVector* QP_X(QP* q) { return q->working.x; }
inline DenseVector* QP_Lower(QP* q) { return q->working.lower; }
inline DenseVector* QP_Upper(QP* q) { return q->working.upper; }
inline DenseVector* QP_FullX(QP* q) { return q->full.x; }
inline DenseVector* QP_FullLower(QP* q) { return q->full.lower; }
inline DenseVector* QP_FullUpper(QP* q) { return q->full.upper; }
inline std::int32_t QP_Tag(const QP* q) { return q->tag; }
inline void QP_SetTag(QP* q, std::int32_t value) { q->tag = value; }
