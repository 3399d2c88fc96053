// PLCP: a parametric linear complementarity problem. F(x, t) = M x + q + t d
// over n variables with lower <= x <= upper, one scalar parameter t with
// t_lower <= t <= t_upper, a sparse n by n matrix M and vectors q, d.
//
// The caller describes the problem through the module's current
// PLCP_Interface (process-wide, stored by pointer: the caller keeps it
// alive). PLCP_Start reads and validates it and sets up a working block,
// which equals the block the caller delivered (the full block) except that
// the working M stores every diagonal entry (0.0 where the caller gave
// none). No variable is taken out. The evaluations cannot fail.
//
// Calling order: PLCP_SetInterface, PLCP_Create, PLCP_Start, evaluations and
// names, PLCP_Finish, PLCP_Destroy.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/ProblemClasses.hpp"

// Status returned by PLCP_Start (its failures are solver errors).
constexpr int PLCP_STARTED = 11;

// The caller's callbacks. Arrays are plain (element 1 at offset 0); M is in
// the sparse exchange form (starts and rows from 1).
struct PLCP_Interface {
  void* data;  // handed back as the first argument of every callback
  // Required. Number of variables (0 is an error) and a bound on M's entries.
  void (*problem_size)(void* data, int* n, int* nnz);
  // Optional. Start point, bounds, parameter and its bounds, preset to 0,
  // -inf, +inf, 0, -inf, +inf.
  void (*bounds)(void* data, int n, double* x, double* lower, double* upper, double* t,
                 double* t_lower, double* t_upper);
  // Required. *nnz holds the room on entry and M's entry count on return;
  // fills M, q and d (n values each).
  void (*matrix)(void* data, int n, int* nnz, int* col_start, int* col_len, int* row,
                 double* value, double* q, double* d);
  void (*start)(void* data);                              // first thing of PLCP_Start
  void (*finish)(void* data, const double* x, double t);  // last thing of PLCP_Finish
  // Name of variable / row i; returns the character count.
  int (*variable_name)(void* data, int i, char* buffer, int length);
  int (*constraint_name)(void* data, int i, char* buffer, int length);
  // BasisStatus codes of x and of t, preset to 0.
  void (*basis)(void* data, int n, int* status, int* t_status);
};

// One block of a PLCP record.
struct PLCP_Block {
  ClassBlock variables;  // bounds, point and codes
  ClassParameter t;
  DenseVector* q;
  DenseVector* d;
  SparseMatrix* M;
};

// Sizes: n is the working block's (= full n after a start), nnz the
// entries stored in the working M; full n as delivered by problem_size,
// full nnz M's entries as announced; all 0 until started.
struct PLCP {
  ClassSizes size;
  PLCP_Block working;
  PLCP_Block full;
  std::int32_t tag;
  std::int32_t refcount;
};

// The module's current interface (at load: a record with every slot empty).
// Set stores the pointer (nullptr puts the empty record back).
PLCP_Interface* PLCP_GetInterface();
void PLCP_SetInterface(PLCP_Interface* interface);
// Puts the empty record back without touching the caller's record.
void PLCP_ForgetState();
// True while the empty record is current.
bool PLCP_StateAtRest();

// New record for n variables and nnz entries of M (negative counts are
// solver errors), reference count 1. A working entry capacity
// min(n + nnz, n * n) beyond the 32-bit range is "Problem size too large.\n".
PLCP* PLCP_Create(std::int32_t n, std::int32_t nnz);
// Drops one reference; at 0 frees both blocks. Returns the count left.
std::int32_t PLCP_Destroy(PLCP* plcp);
std::int32_t PLCP_Reference(PLCP* plcp);
// Grows the capacities to at least (n, nnz); never shrinks. Grown vectors
// lose their contents.
void PLCP_Size(PLCP* plcp, std::int32_t n, std::int32_t nnz);
// Copies sizes, both blocks (each M with every diagonal stored) and the tag;
// dst is grown to hold them first.
void PLCP_Copy(PLCP* dst, const PLCP* src);

// Reads the problem through the current interface, clamps the bounds to
// +-infinity, classifies the basis codes, reads M (checked against the room,
// n and the announced bound), q and d, and builds the working block.
// Returns 11. Solver errors: "PLCP: Start: Empty model.\n", "PLCP:
// Initialize: L > U.\n" (crossed or NaN bounds of a variable or of t), a
// negative size, missing problem_size or matrix slots.
int PLCP_Start(PLCP* plcp);

// Basis codes of the full block made to agree with its point and bounds
// (lower == upper gives 5); t by the same rules without the fixed rule.
void PLCP_ClassifyBasis(PLCP* plcp);

// F = M x + q + t d (working block; x of n values) into pair; pair's n := n.
// Returns 1.
int PLCP_Function(PLCP* plcp, DenseVector* x, double t, FunctionJacobian* pair);
// F, the Jacobian M (every diagonal stored) into pair and d into column
// (room for n needed). Returns 1.
int PLCP_Jacobian(PLCP* plcp, DenseVector* x, double t, FunctionJacobian* pair,
                  DenseVector* column);
// Stores (x, t) and the codes (basis may be nullptr: the start's codes stay)
// in the full block, reclassifies, and calls finish. Evaluates nothing.
void PLCP_Finish(PLCP* plcp, DenseVector* x, double t, IDenseVector* basis,
                 std::int32_t t_basis);

// Name of variable / row i: the caller's slot, else "x[%5d]" / "f[%5d]",
// cut to the buffer.
int PLCP_VariableName(const PLCP* plcp, int i, char* buffer, int length);
int PLCP_ConstraintName(const PLCP* plcp, int i, char* buffer, int length);

// The record's own members (never destroy them).
inline std::int32_t PLCP_Variables(const PLCP* p) { return p->size.n; }
inline std::int32_t PLCP_Nonzeros(const PLCP* p) { return p->size.nnz; }
inline std::int32_t PLCP_MaxVariables(const PLCP* p) { return p->size.max_n; }
inline std::int32_t PLCP_MaxNonzeros(const PLCP* p) { return p->size.max_nnz; }
inline DenseVector* PLCP_X(PLCP* p) { return p->working.variables.x; }
inline DenseVector* PLCP_Lower(PLCP* p) { return p->working.variables.lower; }
inline DenseVector* PLCP_Upper(PLCP* p) { return p->working.variables.upper; }
inline IDenseVector* PLCP_Basis(PLCP* p) { return p->working.variables.basis; }
inline double PLCP_T(const PLCP* p) { return p->working.t.value; }
inline double PLCP_TLower(const PLCP* p) { return p->working.t.lower; }
inline double PLCP_TUpper(const PLCP* p) { return p->working.t.upper; }
inline std::int32_t PLCP_TBasis(const PLCP* p) { return p->working.t.basis; }
inline DenseVector* PLCP_Q(PLCP* p) { return p->working.q; }
inline DenseVector* PLCP_D(PLCP* p) { return p->working.d; }
inline SparseMatrix* PLCP_M(PLCP* p) { return p->working.M; }
inline DenseVector* PLCP_FullX(PLCP* p) { return p->full.variables.x; }
inline DenseVector* PLCP_FullLower(PLCP* p) { return p->full.variables.lower; }
inline DenseVector* PLCP_FullUpper(PLCP* p) { return p->full.variables.upper; }
inline IDenseVector* PLCP_FullBasis(PLCP* p) { return p->full.variables.basis; }
inline double PLCP_FullT(const PLCP* p) { return p->full.t.value; }
inline double PLCP_FullTLower(const PLCP* p) { return p->full.t.lower; }
inline double PLCP_FullTUpper(const PLCP* p) { return p->full.t.upper; }
inline std::int32_t PLCP_FullTBasis(const PLCP* p) { return p->full.t.basis; }
inline DenseVector* PLCP_FullQ(PLCP* p) { return p->full.q; }
inline DenseVector* PLCP_FullD(PLCP* p) { return p->full.d; }
inline SparseMatrix* PLCP_FullM(PLCP* p) { return p->full.M; }
inline std::int32_t PLCP_Tag(const PLCP* p) { return p->tag; }
inline void PLCP_SetTag(PLCP* p, std::int32_t value) { p->tag = value; }
