// CNS: a constrained nonlinear system. Find x with lower <= x <= upper and
// F(x) = 0 for a square F with a sparse Jacobian.
//
// A caller describes the problem through a CNS_Interface held in the record
// itself. CNS_Start reads the problem, checks the bounds, prepares and
// evaluates the start point and keeps a start copy of bounds, point and
// basis; the CNS_MCP adapter builds the MCP the solver works on from that
// copy, and CNS_Finish takes the solution back and evaluates F and J there.
//
// The record keeps two blocks: the caller's block (user lower, upper, x,
// basis; the evaluation pair) and the start copy. Indices are the caller's
// throughout (1-based); nothing is renumbered.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/MCP.hpp"
#include "problems/ProblemClasses.hpp"

// Status codes of CNS_Start.
enum CNS_Status : int {
  CNS_SOLVED = 1,        // empty model: nothing to solve
  CNS_BOUND_ERROR = 7,   // some lower bound above its upper bound
  CNS_UNDEFINED = 8,     // F or J undefined at the calculated start
  CNS_CONTINUE = 13,     // started
};

// The caller's callbacks: the slots of a bounded nonlinear system
// (problems/ProblemClasses.hpp) and the codes. problem_size (0 variables:
// empty model; negative counts are rejected), bounds, function_evaluation
// and jacobian_evaluation are required; start is the first thing of
// CNS_Start, finish the last thing of CNS_Finish.
struct CNS_Interface : SystemCallbacks {
  void (*basis)(void* data, int n, int* status);  // BasisStatus codes, preset to 0
};

// Same slots as the MCP's presolve record; only jacobian_types is read (by
// the CNS_MCP adapter): one type per stored Jacobian entry, preset to 1,
// 0 marking a constant entry.
using CNS_PresolveInterface = MCP_PresolveInterface;

// Sizes: n and nnz of a started problem (nnz = min(n * n, user nnz + n)),
// 0 otherwise; the full counts are the caller's (user) n and nnz, each
// max(1, value from problem_size), and 0 after a failed start. Capacities
// are at least 1.
struct CNS {
  CNS_Interface interface;
  CNS_PresolveInterface presolve_interface;
  ClassSizes size;
  ClassBlock start;              // start copy, taken by a successful start
  ClassBlock user;               // the caller's block
  FunctionJacobian* evaluation;  // F and J as the callback delivered them last
  std::int32_t tag;
  std::int32_t presolve;         // handed to MCP_SetPresolve by the adapter
  std::int32_t refcount;
};

// ---------------------------------------------------------------------------
// Lifetime
// ---------------------------------------------------------------------------

// New record for n variables and nnz Jacobian entries (each raised to 1),
// every slot empty, reference count 1; takes a reference on the Workspace.
// An entry capacity min(max n * max n, max nnz + max n) beyond the 32-bit
// range is the solver error "CNS(line): Create: problem size too large".
CNS* CNS_Create(std::int32_t n, std::int32_t nnz);
std::int32_t CNS_Reference(CNS* cns);
// Drops one reference; at 0 frees the vectors, the pair and the record and
// releases the Workspace reference. Returns the count left; nullptr: 0.
std::int32_t CNS_Destroy(CNS* cns);
// Grows every capacity to at least (n, nnz); never shrinks. Error as in
// CNS_Create with the operation "Size". Grown vectors lose their contents.
void CNS_Size(CNS* cns, std::int32_t n, std::int32_t nnz);
// Copies sizes, both blocks and the evaluation pair of src into dst, which
// is grown to src's capacities first. Interfaces, tag, presolve setting and
// reference count stay. dst == src: nothing.
void CNS_Copy(CNS* dst, const CNS* src);

// ---------------------------------------------------------------------------
// Interfaces and settings
// ---------------------------------------------------------------------------

// Copies the slots in (nullptr clears them) / out.
void CNS_SetInterface(CNS* cns, const CNS_Interface* interface);
void CNS_GetInterface(const CNS* cns, CNS_Interface* out);
void CNS_SetPresolveInterface(CNS* cns, const CNS_PresolveInterface* interface);
void CNS_GetPresolveInterface(const CNS* cns, CNS_PresolveInterface* out);
void CNS_SetPresolve(CNS* cns, int value);
inline std::int32_t CNS_Presolve(const CNS* cns) { return cns->presolve; }
inline std::int32_t CNS_Tag(const CNS* cns) { return cns->tag; }
inline void CNS_SetTag(CNS* cns, std::int32_t value) { cns->tag = value; }

// ---------------------------------------------------------------------------
// Accessors: the record's own members (never destroy them)
// ---------------------------------------------------------------------------

inline std::int32_t CNS_Variables(const CNS* cns) { return cns->size.n; }
inline std::int32_t CNS_Nonzeros(const CNS* cns) { return cns->size.nnz; }
inline std::int32_t CNS_MaxVariables(const CNS* cns) { return cns->size.max_n; }
inline std::int32_t CNS_MaxNonzeros(const CNS* cns) { return cns->size.max_nnz; }
inline DenseVector* CNS_Lower(CNS* cns) { return cns->start.lower; }
inline DenseVector* CNS_Upper(CNS* cns) { return cns->start.upper; }
inline DenseVector* CNS_X(CNS* cns) { return cns->start.x; }
inline IDenseVector* CNS_Basis(CNS* cns) { return cns->start.basis; }
inline DenseVector* CNS_UserLower(CNS* cns) { return cns->user.lower; }
inline DenseVector* CNS_UserUpper(CNS* cns) { return cns->user.upper; }
inline DenseVector* CNS_UserX(CNS* cns) { return cns->user.x; }
inline IDenseVector* CNS_UserBasis(CNS* cns) { return cns->user.basis; }
inline FunctionJacobian* CNS_Evaluation(CNS* cns) { return cns->evaluation; }
inline DenseVector* CNS_EvaluationF(CNS* cns) { return FunctionJacobian_Function(cns->evaluation); }
inline SparseMatrix* CNS_EvaluationJ(CNS* cns) {
  return FunctionJacobian_Jacobian(cns->evaluation);
}

// Plain arrays of the caller's block and of the last evaluation, valid until
// the record is next sized, started or destroyed.
double* CNS_XArray(CNS* cns);
double* CNS_LowerArray(CNS* cns);
double* CNS_UpperArray(CNS* cns);
int* CNS_BasisArray(CNS* cns);
double* CNS_FArray(CNS* cns);
// Entry count and the four arrays of the evaluation's J (starts, rows from 1).
void CNS_JacobianArrays(CNS* cns, int* nnz, int** col_start, int** col_len, int** row,
                        double** value);

// ---------------------------------------------------------------------------
// Operations (CNS.cpp)
// ---------------------------------------------------------------------------

// Reads the problem through the callbacks (missing required slots and
// negative sizes are solver errors), checks the bounds, evaluates at the
// start point (falling back to a point built from the bounds), repairs the
// basis codes and takes the start copy. Returns 13 (started), 1 (empty
// model), 7 (crossed bounds) or 8 (undefined at the calculated start); on
// 1, 7 and 8 n and user n are 0.
int CNS_Start(CNS* cns);

// Checks the caller's block: bounds beyond +-infinity are clamped, bounds
// within 1e-10 of each other made equal, each crossed (or NaN) pair warned
// about. Returns 7 when any pair was crossed, else 13.
int CNS_CheckBounds(CNS* cns);
// Projects (option project_start) and evaluates the caller's point, falling
// back to the point built from the bounds. Returns 13, or 8.
int CNS_EvaluateStart(CNS* cns);
// Makes the caller's basis codes agree with its point and bounds; prints
// "CNS modified basis.\n" to the status stream when any code changed.
void CNS_RepairBasis(CNS* cns);

// Takes the solution x (n values) and basis (nullptr: codes 0) into the
// caller's block, evaluates F and J there, repairs the codes and calls the
// finish slot. status is not used. After a failed start only the finish
// slot runs, with the caller's point.
void CNS_Finish(CNS* cns, int status, DenseVector* x, IDenseVector* basis);

// F at x (user n values) into pair; pair's n := user n. Returns 1 when the
// callback reported no domain error, else 0. The record must be started.
int CNS_Function(CNS* cns, DenseVector* x, FunctionJacobian* pair);
// F and J at x into pair, every missing diagonal entry of J added as 0.0
// (pair's J must have room; solver error otherwise). Result as CNS_Function.
int CNS_Jacobian(CNS* cns, DenseVector* x, FunctionJacobian* pair);

// Name of variable / row i: the caller's slot, else "x[%5d]" / "f[%5d]"
// cut to the buffer. Returns the character count.
int CNS_VariableName(const CNS* cns, int i, char* buffer, int length);
int CNS_ConstraintName(const CNS* cns, int i, char* buffer, int length);
