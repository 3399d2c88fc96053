// FunctionJacobian: the pair that every evaluation of a problem fills, the
// function value F(x) and its square sparse Jacobian J, with the current size
// and number of Jacobian entries. Evaluation callbacks write straight into F
// and J and then record the sizes with FunctionJacobian_SetN/SetNnz.
#pragma once

#include <cassert>
#include <cstdint>

struct DenseVector;
struct SparseMatrix;

struct FunctionJacobian {
  std::int32_t max_n;    // capacity in variables
  std::int32_t max_nnz;  // capacity in Jacobian entries
  std::int32_t n;        // current size
  std::int32_t nnz;      // current number of Jacobian entries
  DenseVector* F;        // function value, capacity max_n (owned)
  SparseMatrix* J;       // Jacobian, max_n x max_n with max_nnz entries (owned)
  std::int32_t refcount;
};

// New pair: F with capacity n, J with capacities (n, n, nnz) (both at least
// 1); max_n := n, max_nnz := nnz, counts 0, refcount 1.
FunctionJacobian* FunctionJacobian_Create(std::int32_t n, std::int32_t nnz);

// Removes one reference; at 0 or below destroys F, J and the record. Returns
// the remaining count. A null pair is ignored.
std::int32_t FunctionJacobian_Destroy(FunctionJacobian* p);

// Adds one reference; returns the new count.
std::int32_t FunctionJacobian_Reference(FunctionJacobian* p);

// Raises max_n and max_nnz to at least n and nnz, then grows F and J to them
// (only grows; a grown member loses its contents).
void FunctionJacobian_Size(FunctionJacobian* p, std::int32_t n, std::int32_t nnz);

// dst := src with every missing diagonal entry of the Jacobian inserted as
// 0.0; dst's nnz counts the inserted entries. dst is grown first when it
// cannot hold the result. dst == src: nothing.
void FunctionJacobian_Copy(FunctionJacobian* dst, const FunctionJacobian* src);

inline std::int32_t FunctionJacobian_MaxN(const FunctionJacobian* p) { assert(p); return p->max_n; }
inline std::int32_t FunctionJacobian_MaxNnz(const FunctionJacobian* p) { assert(p); return p->max_nnz; }
inline std::int32_t FunctionJacobian_N(const FunctionJacobian* p) { assert(p); return p->n; }
inline std::int32_t FunctionJacobian_Nnz(const FunctionJacobian* p) { assert(p); return p->nnz; }
// The members themselves (no reference is added).
inline DenseVector* FunctionJacobian_Function(const FunctionJacobian* p) { assert(p); return p->F; }
inline SparseMatrix* FunctionJacobian_Jacobian(const FunctionJacobian* p) { assert(p); return p->J; }

// F's length := n, J's rows and cols := n, the pair's n := n. n beyond the
// members' capacities (or negative) is a solver error.
void FunctionJacobian_SetN(FunctionJacobian* p, std::int32_t n);

// J's nnz := nnz (SparseMatrix_SetNNZ, which checks the capacity), the pair's
// nnz := nnz.
void FunctionJacobian_SetNnz(FunctionJacobian* p, std::int32_t nnz);
