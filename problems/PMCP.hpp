// PMCP: a mixed complementarity problem whose function depends on one
// scalar parameter t. F(x, t) over n variables with lower <= x <= upper, and
// t with its own bounds t_lower <= t <= t_upper.
//
// The caller describes the problem through the module's current
// PMCP_Interface (process-wide, stored by pointer: the caller keeps it
// alive). PMCP_Start reads it, validates the bounds and takes out the fixed
// variables (lower == upper) into a reduced problem; PMCP_Function and
// PMCP_Jacobian evaluate F, the Jacobian with respect to x and the
// parameter column dF/dt at reduced points; PMCP_Finish hands the solution
// back in the caller's numbering. A fixed t is never taken out.
//
// Calling order: PMCP_SetInterface, PMCP_Create, PMCP_Start, evaluations and
// names, PMCP_Finish, PMCP_Destroy.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/ProblemClasses.hpp"

// The caller's callbacks. Arrays are plain (element 1 at offset 0); t travels
// by value; the Jacobian is in the sparse exchange form (starts and rows
// from 1).
struct PMCP_Interface {
  void* data;  // handed back as the first argument of every callback
  // Required. Number of variables (0 is an error) and a bound on the
  // Jacobian entries.
  void (*problem_size)(void* data, int* n, int* nnz);
  // Optional. Start point, bounds, parameter and its bounds, preset to 0,
  // -inf, +inf, 0, -inf, +inf.
  void (*bounds)(void* data, int n, double* x, double* lower, double* upper, double* t,
                 double* t_lower, double* t_upper);
  // Required by PMCP_Function. F(x, t) into f; returns the number of domain
  // errors.
  int (*function_evaluation)(void* data, int n, const double* x, double t, double* f);
  // Required by PMCP_Jacobian and PMCP_Finish. want_f is always 1; *nnz
  // holds the room on entry and the entry count on return; f gets F and
  // column gets dF/dt. Returns the number of domain errors.
  int (*jacobian_evaluation)(void* data, int n, const double* x, double t, int want_f, int* nnz,
                             int* col_start, int* col_len, int* row, double* value, double* f,
                             double* column);
  void (*start)(void* data);                              // first thing of PMCP_Start
  void (*finish)(void* data, const double* x, double t);  // last thing of PMCP_Finish
  // Name of variable / row i (caller's numbering); returns the character
  // count.
  int (*variable_name)(void* data, int i, char* buffer, int length);
  int (*constraint_name)(void* data, int i, char* buffer, int length);
  // BasisStatus codes of x and of t, preset to 0.
  void (*basis)(void* data, int n, int* status, int* t_status);
};

// Sizes: n is the reduced problem's (full n minus fixed), nnz its entry
// bound min(full nnz + n, n * n); full n and nnz as delivered by
// problem_size; all 0 until started.
struct PMCP {
  ClassSizes size;
  ClassBlock reduced;
  ClassParameter t;           // the reduced block's copy of the parameter
  ClassBlock full;            // caller's numbering
  ClassParameter full_t;
  DenseVector* F;             // F at the full point
  DenseVector* column;        // dF/dt at the full point
  SparseMatrix* J;            // Jacobian at the full point
  std::int32_t fixed;         // fixed variables found by the last start
  IDenseVector* to_reduced;   // full index -> reduced index, 0 when fixed
  IDenseVector* to_full;      // reduced index -> full index
  std::int32_t tag;
  std::int32_t refcount;
};

// The module's current interface (at load: a record with every slot empty).
// Set stores the pointer (nullptr puts the empty record back).
PMCP_Interface* PMCP_GetInterface();
void PMCP_SetInterface(PMCP_Interface* interface);
// Puts the empty record back without touching the caller's record.
void PMCP_ForgetState();
// True while the empty record is current.
bool PMCP_StateAtRest();

// New record for n variables and nnz entries (negative counts are solver
// errors), reference count 1. A bound min(n + nnz, n * n) beyond the 32-bit
// range is the solver error "Problem size too large.\n".
PMCP* PMCP_Create(std::int32_t n, std::int32_t nnz);
// Drops one reference; at 0 frees everything. Returns the count left.
std::int32_t PMCP_Destroy(PMCP* pmcp);
std::int32_t PMCP_Reference(PMCP* pmcp);
// Grows the capacities to at least (n, nnz); never shrinks. Grown vectors
// lose their contents.
void PMCP_Size(PMCP* pmcp, std::int32_t n, std::int32_t nnz);
// Copies sizes, both blocks, F, the parameter column, J (every diagonal
// stored), the fixed count, the maps and the tag; dst is grown to hold them
// first. Capacities and reference count of dst stay otherwise.
void PMCP_Copy(PMCP* dst, const PMCP* src);

// Reads the problem, clamps the bounds to +-infinity, takes out the fixed
// variables and builds the reduced block. Solver errors: "PMCP: Start:
// Empty model.\n", "PMCP: Initialize: L > U.\n" (crossed or NaN bounds of a
// variable or of t), "PMCP: Start: all variables fixed.\n", a negative
// size, a missing problem_size. Warning "PMCP: Start: %d fixed variables
// encountered.\n".
void PMCP_Start(PMCP* pmcp);

// Basis codes of the full block made to agree with its point and bounds
// (fixed variables 5); t by the same rules without the fixed rule.
void PMCP_ClassifyBasis(PMCP* pmcp);

// F at the reduced point (x, t) into pair (n values); pair's n := n.
// Returns 1 when no domain error was reported, else 0.
int PMCP_Function(PMCP* pmcp, DenseVector* x, double t, FunctionJacobian* pair);
// F, the reduced Jacobian (every diagonal stored) and the reduced parameter
// column (into column, which needs room for n). Result as PMCP_Function.
int PMCP_Jacobian(PMCP* pmcp, DenseVector* x, double t, FunctionJacobian* pair,
                  DenseVector* column);
// Stores the reduced solution (x, t) and codes (basis may be nullptr) in the
// full block, reclassifies, evaluates there and calls finish.
void PMCP_Finish(PMCP* pmcp, DenseVector* x, double t, IDenseVector* basis,
                 std::int32_t t_basis);

// Name of reduced variable / row i: the caller's slot with the full index,
// else "x[%5d]" / "f[%5d]" with it, cut to the buffer.
int PMCP_VariableName(const PMCP* pmcp, int i, char* buffer, int length);
int PMCP_ConstraintName(const PMCP* pmcp, int i, char* buffer, int length);

// The record's own members (never destroy them).
inline std::int32_t PMCP_Variables(const PMCP* p) { return p->size.n; }
inline std::int32_t PMCP_Nonzeros(const PMCP* p) { return p->size.nnz; }
inline std::int32_t PMCP_MaxVariables(const PMCP* p) { return p->size.max_n; }
inline std::int32_t PMCP_MaxNonzeros(const PMCP* p) { return p->size.max_nnz; }
inline DenseVector* PMCP_X(PMCP* p) { return p->reduced.x; }
inline DenseVector* PMCP_Lower(PMCP* p) { return p->reduced.lower; }
inline DenseVector* PMCP_Upper(PMCP* p) { return p->reduced.upper; }
inline IDenseVector* PMCP_Basis(PMCP* p) { return p->reduced.basis; }
inline double PMCP_T(const PMCP* p) { return p->t.value; }
inline double PMCP_TLower(const PMCP* p) { return p->t.lower; }
inline double PMCP_TUpper(const PMCP* p) { return p->t.upper; }
inline std::int32_t PMCP_TBasis(const PMCP* p) { return p->t.basis; }
inline DenseVector* PMCP_FullX(PMCP* p) { return p->full.x; }
inline DenseVector* PMCP_FullLower(PMCP* p) { return p->full.lower; }
inline DenseVector* PMCP_FullUpper(PMCP* p) { return p->full.upper; }
inline IDenseVector* PMCP_FullBasis(PMCP* p) { return p->full.basis; }
inline double PMCP_FullT(const PMCP* p) { return p->full_t.value; }
inline double PMCP_FullTLower(const PMCP* p) { return p->full_t.lower; }
inline double PMCP_FullTUpper(const PMCP* p) { return p->full_t.upper; }
inline std::int32_t PMCP_FullTBasis(const PMCP* p) { return p->full_t.basis; }
inline std::int32_t PMCP_Tag(const PMCP* p) { return p->tag; }
inline void PMCP_SetTag(PMCP* p, std::int32_t value) { p->tag = value; }
