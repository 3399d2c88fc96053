// Workspace: the process-wide, reference-counted pool of scratch storage that
// the algorithms borrow instead of allocating in their loops.
//
// Members: 15 numbered DenseVectors and 15 numbered IDenseVectors, one
// SparseMatrix, one FunctionJacobian, the solver's one timed Basis (kept here
// for the basis layer, which makes it: Workspace_Basis), and eight groups of
// vectors for particular algorithms. Every member is created on its
// first request (a group as a whole) and lives until the pool is freed; the
// pool only grows, and all members follow the largest n (vector length) and
// nnz (matrix entries) seen. Borrowers never destroy members, and nothing a
// borrower writes survives beyond its own use. Member records keep their
// identity for the life of the pool (a growth reallocates their arrays only).
//
// Slot usage by convention (the pool does not track leases):
//   MCP and CNS records: a reference each for their lifetime, nothing else;
//   driver: the function-Jacobian pair and the basis;
//   pivoting method: the basis;
//   crash phase: vectors 1..7, integer vectors 1..2, the matrix, the basis,
//     the factorization group (and a reference while it runs);
//   stabilisation and reports: vectors 1..4 (reports: 1);
//   arc and line searches: the search group;
//   merit gradient: the merit group;
//   presolve and column rules: vectors and integer vectors 1..13, integer
//     vector 14 (columns freed by the bound rounds);
//   presolve invariant check (tests): vectors 14 and 15, integer vector 15;
//   row presolve: vectors 4..6, integer vectors 1..6;
//   iterative solvers: the Krylov, orthogonal-direction, GMRES,
//     preconditioner, scaling and factorization groups and the basis.
#pragma once

#include <cstdint>

struct Basis;
struct DenseVector;
struct FunctionJacobian;
struct IDenseVector;
struct SparseMatrix;

// ---------------------------------------------------------------------------
// The pivoting method's start vector: a library-wide setting through which a
// gateway hands optional start values to the pivoting method. The array of
// `length` doubles stays owned by whoever set it; the pivoting method clears
// the setting when it has used it, and the last Workspace_Destroy clears it
// too, so that a start vector of one call never reaches a later solve.

struct Lemke_StartVector {
  const double* values;  // null when no start vector is set
  std::int32_t length;   // number of doubles at values
};

// Sets the start vector (values may be null, which clears it).
void Lemke_SetStartVector(const double* values, std::int32_t length);
// The current setting ({nullptr, 0} when none).
Lemke_StartVector Lemke_GetStartVector();
// Clears the setting; never touches the array.
void Lemke_ClearStartVector();

// ---------------------------------------------------------------------------
// Lifecycle

// Raises n and nnz to at least 1. With a pool: Workspace_Size(n, nnz) and one
// more reference. Without: a new pool of (n, nnz) with refcount 1, every
// member absent.
void Workspace_Create(std::int32_t n, std::int32_t nnz);

// Removes one reference; when the count falls below 1 every member is
// destroyed (the basis included), the pool is freed and the start vector
// cleared. No pool: nothing.
void Workspace_Destroy();

// Adds one reference to the existing pool; returns the new count.
std::int32_t Workspace_Reference();

// Grows the pool: a larger n regrows every existing vector that follows n
// (contents lost); a larger n or nnz regrows the pair, the matrices and the
// basis. Never shrinks.
void Workspace_Size(std::int32_t n, std::int32_t nnz);

// Forgets the pool pointer and the start vector without freeing anything (a
// host may already have reclaimed that memory after an abandoned call).
void Workspace_ForgetState();
// True while there is no pool and no start vector.
bool Workspace_StateAtRest();

// ---------------------------------------------------------------------------
// Members. Every getter requires a pool (solver error otherwise) and returns
// the member itself, created on first use with length 0: vectors with
// capacity n, matrices with (n, n, nnz).

DenseVector* Workspace_Vector(std::int32_t i);    // i = 1..15
IDenseVector* Workspace_IVector(std::int32_t i);  // i = 1..15
SparseMatrix* Workspace_Matrix();
FunctionJacobian* Workspace_FunctionJacobian();

// The basis slot. The basis layer creates the pool's one Basis on first use
// (Workspace_Basis in factorization/WorkspaceBasis.hpp) and hands it over
// with the two operations through which the pool grows it with the pool's
// sizes (size(basis, n, n, nnz)) and destroys it, last of all members, when
// the pool goes.
struct Workspace_BasisOperations {
  void (*size)(Basis* basis, std::int32_t m, std::int32_t n, std::int32_t nnz);
  void (*destroy)(Basis* basis);
};
// The Basis in the slot (nullptr while empty); stores the pool's n and nnz.
Basis* Workspace_BasisSlot(std::int32_t* n, std::int32_t* nnz);
// Fills the empty slot. A filled slot, an absent basis or incomplete
// operations are the solver error "invalid basis slot" (report form).
void Workspace_FillBasisSlot(Basis* basis, const Workspace_BasisOperations* operations);

// Groups: the first request of any member builds the whole group.
void Workspace_BuildFactorGroup();
void Workspace_BuildMeritGroup();
void Workspace_BuildKrylovGroup();
void Workspace_BuildOrthoGroup();
void Workspace_BuildGmresGroup();
void Workspace_BuildPreconditionerGroup();
void Workspace_BuildScaleGroup();
void Workspace_BuildSearchGroup();

DenseVector* Workspace_FactorVector1();
DenseVector* Workspace_FactorVector2();
IDenseVector* Workspace_FactorIVector();

SparseMatrix* Workspace_MeritMatrix();
DenseVector* Workspace_MeritVector1();
DenseVector* Workspace_MeritVector2();
DenseVector* Workspace_MeritVector3();
DenseVector* Workspace_MeritVector4();
IDenseVector* Workspace_MeritIVector1();
IDenseVector* Workspace_MeritIVector2();

DenseVector* Workspace_KrylovVector1();
DenseVector* Workspace_KrylovVector2();
DenseVector* Workspace_KrylovVector3();
DenseVector* Workspace_KrylovVector4();
DenseVector* Workspace_KrylovVector5();
DenseVector* Workspace_KrylovVector6();
DenseVector* Workspace_KrylovVector7();
DenseVector* Workspace_KrylovVector8();
DenseVector* Workspace_KrylovVector9();
DenseVector* Workspace_KrylovVector10();
DenseVector* Workspace_KrylovVector11();
DenseVector* Workspace_KrylovVector12();

// 10: the number of vectors in each orthogonal-direction array.
std::int32_t Workspace_OrthoCount();
// The arrays of 10 vectors themselves (entries 0..9).
DenseVector** Workspace_OrthoDirections();
DenseVector** Workspace_OrthoProducts();
// A vector of capacity 10 (never grown).
DenseVector* Workspace_OrthoCoefficients();

// 10: the number of vectors in each preconditioner array.
std::int32_t Workspace_PreconditionerBand();
DenseVector** Workspace_PreconditionerVectors();
DenseVector** Workspace_PreconditionerVectors2();

// 200: the number of GMRES basis vectors.
std::int32_t Workspace_GmresRestart();
DenseVector** Workspace_GmresBasis();  // entries 0..199
DenseVector* Workspace_GmresVector1();
DenseVector* Workspace_GmresVector2();
// Capacity 200 at creation; grown with n like the other vectors.
DenseVector* Workspace_GmresSmallVector1();
DenseVector* Workspace_GmresSmallVector2();
DenseVector* Workspace_GmresSmallVector3();
DenseVector* Workspace_GmresSmallVector4();

DenseVector* Workspace_ScaleVector1();
DenseVector* Workspace_ScaleVector2();
DenseVector* Workspace_ScaleVector3();
DenseVector* Workspace_ScaleVector4();

DenseVector* Workspace_SearchVector1();
DenseVector* Workspace_SearchVector2();
