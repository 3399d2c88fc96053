// LCP: the linear complementarity problem as the pivoting method reads it:
// find z with lower <= z <= upper complementary to F(z) = M z + q.
//
// The problem comes through the module's current LCP_Interface. The record
// keeps what the callbacks delivered (the user block, in the caller's
// numbering) and, when the start had to change the problem, a working block
// without the fixed variables (their contribution folded into q) and/or
// with every diagonal entry of M stored. The active accessors (LCP_Lower,
// LCP_M, ...) return the working block when it is in use, else the user
// block; LCP_User* always return the user block.
//
// Typical use (the pivoting method):
//   LCP_Start(lcp, 0);                    // fill from the current interface
//   ... read LCP_Variables, LCP_Nonzeros, LCP_Lower, LCP_Upper, LCP_X,
//       LCP_Basis, LCP_Q, LCP_M; solve ...
//   LCP_Finish(lcp, z, basis);            // z, basis in active numbering
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"

// The callbacks of a linear complementarity problem. Arrays are plain
// (element 1 at offset 0); M is in the sparse exchange form (column starts
// and row indices from 1).
struct LCP_Interface {
  void* data;  // handed back as the first argument of every callback
  // Required. Number of variables (0 is an error) and a bound on M's entries.
  void (*problem_size)(void* data, int* n, int* nnz);
  // Required. Start point z and both bounds (n each); note: point first.
  void (*bounds)(void* data, int n, double* z, double* lower, double* upper);
  // Required. *nnz holds the room on entry and M's entry count on return;
  // fills M column by column and q (n values).
  void (*matrix)(void* data, int n, int* nnz, int* col_start, int* col_len, int* row,
                 double* value, double* q);
  void (*start)(void* data);                    // first thing of LCP_Start
  void (*finish)(void* data, const double* z);  // last thing of LCP_Finish (caller's numbering)
  // Name of variable / row i (caller's numbering) into buffer; returns the
  // character count.
  int (*variable_name)(void* data, int i, char* buffer, int length);
  int (*constraint_name)(void* data, int i, char* buffer, int length);
  void (*basis)(void* data, int n, int* status);  // BasisStatus codes, preset to 0
  // F = M z + q at the start point; computed by the record when empty.
  void (*start_function)(void* data, int n, double* f);
};

struct LCP {
  std::int32_t n;             // variables of the active problem
  std::int32_t nnz;           // entries of the active M
  std::int32_t max_n;         // capacities of the working block
  std::int32_t max_nnz;
  std::int32_t user_n;        // as delivered at the last start
  std::int32_t user_nnz;
  std::int32_t max_user_n;    // capacities of the user block
  std::int32_t max_user_nnz;
  DenseVector* user_lower;
  DenseVector* user_upper;
  DenseVector* user_z;
  DenseVector* user_start_f;
  IDenseVector* user_basis;
  DenseVector* user_q;
  SparseMatrix* user_m;
  std::int32_t tag;
  DenseVector* lower;         // working block (nullptr until first needed)
  DenseVector* upper;
  DenseVector* z;
  DenseVector* start_f;
  IDenseVector* basis;
  DenseVector* q;
  SparseMatrix* m;
  std::int32_t fixed;
  IDenseVector* to_working;   // caller's index -> working index, 0 when fixed
  IDenseVector* to_user;      // working index -> caller's index
  std::int32_t add_diagonal;
  std::int32_t diagonal_added;
  std::int32_t working_allocated;
  std::int32_t refcount;
};

// ---------------------------------------------------------------------------
// Record and interface (LCP.cpp)
// ---------------------------------------------------------------------------

// New record for n variables and nnz entries of M (user block only),
// reference count 1. A working entry capacity min(n * n, n + nnz) beyond the
// 32-bit range is the solver error "Problem size too large.\n".
LCP* LCP_Create(std::int32_t n, std::int32_t nnz);
std::int32_t LCP_Reference(LCP* lcp);
// Drops one reference; below 1 frees the record and both blocks. Returns the
// count left. nullptr: returns 0.
std::int32_t LCP_Destroy(LCP* lcp);
// Grows (never shrinks) both blocks to at least n variables and nnz entries.
void LCP_Size(LCP* lcp, std::int32_t n, std::int32_t nnz);
// Makes the working block once, with the working capacities.
void LCP_AllocateWorking(LCP* lcp);
// Number of records alive.
std::int32_t LCP_LiveRecords();

// Installs interface as the current one (stored by pointer: the caller keeps
// it alive); nullptr installs the built-in record with every slot empty.
void LCP_SetInterface(LCP_Interface* interface);
LCP_Interface* LCP_GetInterface();
// Forgets the current interface pointer and the live-record count without
// touching what they refer to (used after an abandoned call).
void LCP_ForgetState();
// True while the empty interface is current and no record is counted.
bool LCP_StateAtRest();

// Sizes and the active block.
inline std::int32_t LCP_Variables(const LCP* lcp) { return lcp->n; }
inline std::int32_t LCP_Nonzeros(const LCP* lcp) { return lcp->nnz; }
inline std::int32_t LCP_MaxVariables(const LCP* lcp) { return lcp->max_n; }
inline std::int32_t LCP_MaxNonzeros(const LCP* lcp) { return lcp->max_nnz; }
inline bool LCP_WorkingInUse(const LCP* lcp) { return lcp->fixed > 0 || lcp->diagonal_added; }
inline DenseVector* LCP_Lower(LCP* lcp) {
  return LCP_WorkingInUse(lcp) ? lcp->lower : lcp->user_lower;
}
inline DenseVector* LCP_Upper(LCP* lcp) {
  return LCP_WorkingInUse(lcp) ? lcp->upper : lcp->user_upper;
}
inline DenseVector* LCP_X(LCP* lcp) { return LCP_WorkingInUse(lcp) ? lcp->z : lcp->user_z; }
inline DenseVector* LCP_StartF(LCP* lcp) {
  return LCP_WorkingInUse(lcp) ? lcp->start_f : lcp->user_start_f;
}
inline IDenseVector* LCP_Basis(LCP* lcp) {
  return LCP_WorkingInUse(lcp) ? lcp->basis : lcp->user_basis;
}
inline DenseVector* LCP_Q(LCP* lcp) { return LCP_WorkingInUse(lcp) ? lcp->q : lcp->user_q; }
inline SparseMatrix* LCP_M(LCP* lcp) { return LCP_WorkingInUse(lcp) ? lcp->m : lcp->user_m; }

// The user block, always.
inline DenseVector* LCP_UserLower(LCP* lcp) { return lcp->user_lower; }
inline DenseVector* LCP_UserUpper(LCP* lcp) { return lcp->user_upper; }
inline DenseVector* LCP_UserX(LCP* lcp) { return lcp->user_z; }
inline DenseVector* LCP_UserStartF(LCP* lcp) { return lcp->user_start_f; }
inline IDenseVector* LCP_UserBasis(LCP* lcp) { return lcp->user_basis; }
inline DenseVector* LCP_UserQ(LCP* lcp) { return lcp->user_q; }
inline SparseMatrix* LCP_UserM(LCP* lcp) { return lcp->user_m; }

inline std::int32_t LCP_Tag(const LCP* lcp) { return lcp->tag; }
inline void LCP_SetTag(LCP* lcp, std::int32_t value) { lcp->tag = value; }

// ---------------------------------------------------------------------------
// Start, finish, evaluation and names (LCP_Start.cpp)
// ---------------------------------------------------------------------------

// The one result of LCP_Start (its failures are solver errors).
constexpr int LCP_STARTED = 11;

// Fills the record from the current interface: sizes, bounds (clamped to
// +-infinity), basis (repaired), M and q (checked against the room and n),
// the start F; takes the fixed variables (lower == upper) out into the
// working block and folds their columns into q; with add_diagonal stores
// every missing diagonal entry of M as 0.0. Returns LCP_STARTED. Solver
// errors: "LCP: Start: Empty model.\n", "LCP: Initialize: L > U.\n" (also for
// NaN bounds), "LCP: Start: all variables fixed.\n", a negative size,
// missing required slots, a matrix beyond its room.
int LCP_Start(LCP* lcp, int add_diagonal);

// z and basis in the active numbering (n values each) back into the user
// block (fixed variables keep their value and code 5), basis repair, then
// the finish callback with the user z.
void LCP_Finish(LCP* lcp, DenseVector* z, IDenseVector* basis);

// Makes the user block's basis codes agree with its bounds and point; writes
// "LCP modified basis.\n" to the log when it changed any.
void LCP_RepairBasis(LCP* lcp);

// pair's F := M z + q of the active problem, pair's n := n. Returns 1.
int LCP_Function(LCP* lcp, DenseVector* z, FunctionJacobian* pair);
// As LCP_Function, and pair's J := a copy of the active M. Returns 1.
int LCP_Jacobian(LCP* lcp, DenseVector* z, FunctionJacobian* pair);

// Name of active variable / row i: the callback (caller's numbering), else
// "x[%5d]" / "f[%5d]"; returns the callback's result or the character count.
int LCP_VariableName(LCP* lcp, int i, char* buffer, int length);
int LCP_ConstraintName(LCP* lcp, int i, char* buffer, int length);
