// Basis: the timed handle through which the pivoting method, the crash phase
// and the incomplete-LU preconditioner factor a square matrix B whose columns
// are chosen columns of a SparseMatrix, solve with B and B', replace a column
// and learn which columns made B singular.
//
// The work is done by a back-end, a table of function slots
// (Basis_Interface); one table is current for the process and is used by
// Basis_Create. A Basis keeps the table it was created with and sends every
// later call to it, so switching the current table never hands one back-end
// another's handle. Every wrapper except Basis_Destroy and Basis_Banner adds
// the time spent inside the back-end to the Basis's seconds.
#pragma once

#include <cassert>
#include <cstdint>

struct DenseVector;
struct IDenseVector;
struct SparseMatrix;

// Results of factor and replace. Storage shortages (4) and engine failures
// (5) are handled inside the back-ends and never reach callers.
enum Basis_Status : int {
  BASIS_FACTORED = 0,  // factored, B nonsingular
  BASIS_REBUILT = 1,   // replace rebuilt the factors from B; B nonsingular
  BASIS_UPDATED = 2,   // column replaced by an update of the factors
  BASIS_SINGULAR = 3,  // B singular: see Basis_NumSingular / Basis_GetSingular
  BASIS_STORAGE = 4,
  BASIS_FAILURE = 5,
};

// A back-end's table; any slot may be empty. m rows, n columns; B's k-th
// column is column cols[k] of A, k = 1..length(cols).
struct Basis_Interface {
  void* (*create)(std::int32_t m, std::int32_t n, std::int32_t nnz);
  void (*destroy)(void* handle);
  void (*size)(void* handle, std::int32_t m, std::int32_t n, std::int32_t nnz);  // grows only
  int (*factor)(void* handle, SparseMatrix* A, IDenseVector* cols);
  int (*replace)(void* handle, SparseMatrix* A, IDenseVector* cols, std::int32_t k);
  int (*solve)(void* handle, DenseVector* x, DenseVector* b);   // x := B^-1 b, returns 0
  int (*solveT)(void* handle, DenseVector* x, DenseVector* b);  // x := B^-T b, returns 0
  int (*num_singular)(void* handle);
  void (*get_singular)(void* handle, std::int32_t k, std::int32_t* row, std::int32_t* column);
  int (*banner)(std::int32_t line, char* buffer, std::int32_t size);  // no handle
};

// The timed record, owned by whoever called Basis_Create.
struct Basis {
  const Basis_Interface* table;  // the back-end it was created with
  void* handle;                  // the back-end's own record
  void* timer;                   // Timer handle
  double seconds;                // time spent inside the back-end
};

// Makes table the current back-end for Basis records created from now on.
// A null table is the solver error "null argument"; the slots are not looked at.
void Basis_SetInterface(const Basis_Interface* table);

// The current table (a table with every slot empty before any install).
const Basis_Interface* Basis_GetInterface();

// Puts the table with every slot empty back as the current one, as before
// any install, without touching the table that was current (used after an
// abandoned call). Existing Basis records keep their own tables.
void Basis_ForgetState();
// True while the empty table is the current one.
bool Basis_StateAtRest();

// New Basis for an m x n basis with about nnz entries, on the current table.
// A missing create slot is the solver error "No basis create routine.\n",
// raised before anything is allocated. seconds := the time spent in create.
Basis* Basis_Create(std::int32_t m, std::int32_t n, std::int32_t nnz);

// Calls the table's destroy slot ("No basis destroy routine.\n" when
// missing), destroys the timer and frees the record. Not timed. A null
// basis is ignored.
void Basis_Destroy(Basis* basis);

// Timed wrappers: each forwards to the slot of the Basis's own table, and a
// missing slot is the solver error "No basis <slot> routine.\n".
void Basis_Size(Basis* basis, std::int32_t m, std::int32_t n, std::int32_t nnz);
int Basis_Factor(Basis* basis, SparseMatrix* A, IDenseVector* cols);
// Column k of B becomes column cols[k] of A (the caller stores it first).
int Basis_Replace(Basis* basis, SparseMatrix* A, IDenseVector* cols, std::int32_t k);
int Basis_Solve(Basis* basis, DenseVector* x, DenseVector* b);
int Basis_SolveT(Basis* basis, DenseVector* x, DenseVector* b);
int Basis_NumSingular(Basis* basis);
// The k-th (1-based) singular (row, column) pair of the last factorization.
void Basis_GetSingular(Basis* basis, std::int32_t k, std::int32_t* row, std::int32_t* column);

// What the Basis records of the process did since the latest
// Basis_ResetCounters: factorizations from scratch (every factor call, and
// every replace that rebuilt the factors instead of updating them) and
// column replacements done by an update of the factors. The counts are
// process-wide and only ever grow between resets; a caller who wants the
// work of one solve resets them before it and reads them after it.
struct BasisCounters {
  std::int64_t factorizations;
  std::int64_t updates;
};
BasisCounters Basis_GetCounters();
void Basis_ResetCounters();

// Line `line` of the current back-end's banner into buffer (size bytes);
// without a table or banner slot writes "" and returns 0. Never fails.
int Basis_Banner(std::int32_t line, char* buffer, std::int32_t size);

// Seconds spent inside the back-end since the Basis was created.
inline double Basis_Seconds(const Basis* basis) {
  assert(basis);
  return basis->seconds;
}
// The back-end's handle of the Basis.
inline void* Basis_Handle(const Basis* basis) {
  assert(basis);
  return basis->handle;
}
// The table the Basis was created with.
inline const Basis_Interface* Basis_Table(const Basis* basis) {
  assert(basis);
  return basis->table;
}
