// Preconditioners of the iterative solvers: the Preconditioner record of
// function slots, its constructors, and four kinds: diagonal, tridiagonal and
// banded approximations of the normal matrix J'J of the system matrix J, and
// an incomplete LU factorization of J through the basis layer.
//
// The kinds keep their factors in process-wide storage (the preconditioner
// and factorization groups of the Workspace, the Workspace's basis), so one
// preconditioner of each family is in use at a time.
//
// Files: Precond.cpp (record, constructors, process-wide settings),
// PrecondBand.cpp (diagonal, tridiagonal and banded kinds), PrecondILU.cpp
// (incomplete LU).
#pragma once

#include <cstdint>

struct DenseVector;
struct SparseMatrix;

// Which side of the system a preconditioner works on. Any other value makes
// the solvers run without the preconditioner.
enum Precond_Side : std::int32_t {
  PRECOND_LEFT = 0,
  PRECOND_RIGHT = 1,
  PRECOND_BOTH = 2,
};

// Slot types: setup takes the system matrix, apply slots replace their
// vector by its image, finish takes nothing.
using Precond_SetupFunction = void (*)(SparseMatrix* matrix);
using Precond_FinishFunction = void (*)();
using Precond_ApplyFunction = void (*)(DenseVector* v);

// Eight slots in this order; an empty (null) slot is skipped by the solvers.
struct Preconditioner {
  void* reserved;                               // 0: always empty
  std::int32_t side;                            // 1: a Precond_Side
  Precond_SetupFunction setup;                  // 2: before the iterations
  Precond_FinishFunction finish;                // 3: after the solve
  Precond_ApplyFunction left_apply;             // 4: v := M^-1 v
  Precond_ApplyFunction left_apply_transpose;   // 5: v := M^-T v
  Precond_ApplyFunction right_apply;            // 6
  Precond_ApplyFunction right_apply_transpose;  // 7
};

// ---------------------------------------------------------------------------
// Constructors (Precond.cpp). Each fills the caller's record and returns it.

// Every slot empty, side 0 (left).
Preconditioner* Precond_Clear(Preconditioner* record);

// A band approximation of J'J of band width b, clamped to 1..10 (the largest
// width the preconditioner storage holds): the diagonal kind for b = 1, the
// tridiagonal kind for b = 2, the banded kind otherwise. Left side; setup,
// finish and left apply set. The factors are symmetric, so the left
// apply-transpose slot holds the same apply (a transposed product then uses
// the right operator instead of silently skipping it).
Preconditioner* Precond_CreateBand(Preconditioner* record, std::int32_t b);

// Incomplete LU of J on the left (slots 2, 3, 4, 5), on the right (2, 3, 6,
// 7) or on both sides (2, 3 and every apply slot).
Preconditioner* Precond_CreateILULeft(Preconditioner* record);
Preconditioner* Precond_CreateILURight(Preconditioner* record);
Preconditioner* Precond_CreateILUBoth(Preconditioner* record);

// The band width and chunk length the band kinds use (set by
// Precond_CreateBand; 1 before any call).
std::int32_t Precond_BandWidth();

// Forgets the process-wide settings (band width back to 1, no incomplete LU
// factor ready) without touching any storage.
void Precond_ForgetState();
// True while the settings hold their values at load.
bool Precond_StateAtRest();

// ---------------------------------------------------------------------------
// Band kinds (PrecondBand.cpp). n is the matrix's row count; column j of J
// (j = 1..n) is read from its compressed-column arrays. A pivot that is not
// positive, or is rounding noise against its column's squared norm, gives
// way to that squared norm and the column's multipliers to 0; a column
// without entries gets the factor 1. So the factors are always finite and
// the preconditioner positive definite.
// The Workspace must hold vectors of at least n elements (solver error
// otherwise). Setup and apply poll the interrupt service first. Apply works
// on the first min(length(v), n of the last setup) elements.

void Precond_DiagonalSetup(SparseMatrix* matrix);
void Precond_DiagonalFinish();
void Precond_DiagonalApply(DenseVector* v);

void Precond_TridiagonalSetup(SparseMatrix* matrix);
void Precond_TridiagonalFinish();
void Precond_TridiagonalApply(DenseVector* v);

void Precond_BandSetup(SparseMatrix* matrix);
void Precond_BandFinish();
void Precond_BandApply(DenseVector* v);

// ---------------------------------------------------------------------------
// Incomplete LU (PrecondILU.cpp). Setup factors J (or a copy of J with its
// diagonal raised by ilu_perturbation) on the Workspace's basis with the
// drop tolerance ilu_drop_tolerance, adapting both over up to ten attempts;
// the caller's matrix is never written. Finish relaxes both options for the
// next solve. Apply and apply-transpose solve with the factors, or leave v
// unchanged when no factorization succeeded.

void Precond_ILUSetup(SparseMatrix* matrix);
void Precond_ILUFinish();
void Precond_ILUApply(DenseVector* v);
void Precond_ILUApplyT(DenseVector* v);
