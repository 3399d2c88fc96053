// Lemke: the process-wide workspace, the method's entry point and the minor
// iteration log.
#include "solver/Lemke.hpp"

#include <cstdint>
#include <cstdio>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Timer.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "solver/Information.hpp"
#include "solver/Lemke_internal.hpp"

namespace {

LemkeWorkspace* lemke_workspace = nullptr;

// Capacities of the augmented problem, checked against the 32-bit range.
struct LemkeSizes {
  std::int32_t n, nnz, a_cols, a_nnz;
};

LemkeSizes Lemke_ComputeSizes(std::int32_t n, std::int32_t nnz) {
  if (n < 1) n = 1;
  if (nnz < 1) nnz = 1;
  std::int64_t a_cols = 4 * static_cast<std::int64_t>(n) + 1;
  std::int64_t a_nnz = static_cast<std::int64_t>(nnz) + 4 * static_cast<std::int64_t>(n);
  if (a_cols > INT32_MAX || a_nnz > INT32_MAX) {
    Error_SolverError("Lemke: CreateWorkspace: problem too large.\n");
  }
  return LemkeSizes{n, nnz, static_cast<std::int32_t>(a_cols), static_cast<std::int32_t>(a_nnz)};
}

// Grows every member to the capacities of ws (never shrinks).
void Lemke_SizeMembers(LemkeWorkspace* ws) {
  const std::int32_t n = ws->max_n;
  const std::int32_t cols = ws->a_cols_capacity;
  SparseMatrix_Resize(ws->A, n, cols, ws->a_nnz_capacity);
  DenseVector* n_vectors[] = {ws->q, ws->xB, ws->d, ws->column, ws->best_xB, ws->cover,
                              ws->weights, ws->direction, ws->lex_row, ws->lex_best};
  for (DenseVector* v : n_vectors) DenseVector_Size(v, n);
  DenseVector* long_vectors[] = {ws->lower, ws->upper, ws->x, ws->best_x};
  for (DenseVector* v : long_vectors) DenseVector_Size(v, cols);
  IDenseVector* n_ivectors[] = {ws->basis, ws->artificial, ws->best_basis, ws->status};
  for (IDenseVector* v : n_ivectors) IDenseVector_Size(v, n);
  IDenseVector_Size(ws->cycle_counts, cols);
  IDenseVector_Size(ws->cycle_touched, cols);
}

// The members of a new workspace of the given capacities, one after the
// other (a failure leaves the ones made so far for Lemke_FreeRecord).
void Lemke_BuildMembers(LemkeWorkspace* ws, const LemkeSizes& sizes, Basis* factor) {
  ws->max_n = sizes.n;
  ws->max_nnz = sizes.nnz;
  ws->a_rows_capacity = sizes.n;
  ws->a_cols_capacity = sizes.a_cols;
  ws->a_nnz_capacity = sizes.a_nnz;
  ws->refcount = 1;
  ws->factor = factor;

  const std::int32_t cols = sizes.a_cols;
  ws->A = SparseMatrix_Create(sizes.n, cols, sizes.a_nnz);
  ws->q = DenseVector_Create(sizes.n);
  ws->lower = DenseVector_Create(cols);
  ws->upper = DenseVector_Create(cols);
  ws->x = DenseVector_Create(cols);
  ws->xB = DenseVector_Create(sizes.n);
  ws->basis = IDenseVector_Create(sizes.n);
  ws->best_x = DenseVector_Create(cols);
  ws->d = DenseVector_Create(sizes.n);
  ws->column = DenseVector_Create(sizes.n);
  ws->artificial = IDenseVector_Create(sizes.n);
  ws->cycle_counts = IDenseVector_Create(cols);
  ws->cycle_touched = IDenseVector_Create(cols);
  ws->best_xB = DenseVector_Create(sizes.n);
  ws->cover = DenseVector_Create(sizes.n);
  ws->weights = DenseVector_Create(sizes.n);
  ws->direction = DenseVector_Create(sizes.n);
  ws->best_basis = IDenseVector_Create(sizes.n);
  ws->status = IDenseVector_Create(sizes.n);
  ws->lex_row = DenseVector_Create(sizes.n);
  ws->lex_best = DenseVector_Create(sizes.n);
  IDenseVector_FillZero(ws->cycle_counts, cols);
}

// Gives back every member that exists and the record itself (the basis
// belongs to the scratch pool).
void Lemke_FreeRecord(LemkeWorkspace* ws) {
  SparseMatrix_Destroy(ws->A);
  DenseVector* vectors[] = {ws->q,       ws->lower,   ws->upper,     ws->x,
                            ws->xB,      ws->best_x,  ws->d,         ws->column,
                            ws->best_xB, ws->cover,   ws->weights,   ws->direction,
                            ws->lex_row, ws->lex_best};
  for (DenseVector* v : vectors) DenseVector_Destroy(v);
  IDenseVector* ivectors[] = {ws->basis,      ws->artificial,  ws->cycle_counts,
                              ws->cycle_touched, ws->best_basis, ws->status};
  for (IDenseVector* v : ivectors) IDenseVector_Destroy(v);
  Memory_Free(ws);
}

}  // namespace

LemkeWorkspace* Lemke_CreateWorkspace(int n, int nnz) {
  if (lemke_workspace != nullptr) {
    Lemke_ResizeWorkspace(n, nnz);
    lemke_workspace->refcount += 1;
    return lemke_workspace;
  }
  const LemkeSizes sizes = Lemke_ComputeSizes(n, nnz);
  // The scratch pool reference first and the timed basis next; whatever
  // fails later gives back the members made so far and that reference.
  Workspace_Create(sizes.n, sizes.nnz);
  try {
    Basis* factor = Workspace_Basis();
    lemke_workspace = Memory_NewRecord<LemkeWorkspace>(
        [&](LemkeWorkspace* ws) { Lemke_BuildMembers(ws, sizes, factor); }, &Lemke_FreeRecord);
  } catch (...) {
    Workspace_Destroy();
    throw;
  }
  return lemke_workspace;
}

void Lemke_ResizeWorkspace(int n, int nnz) {
  LemkeWorkspace* ws = lemke_workspace;
  if (ws == nullptr) return;
  const std::int32_t new_n = n > ws->max_n ? n : ws->max_n;
  const std::int32_t new_nnz = nnz > ws->max_nnz ? nnz : ws->max_nnz;
  if (new_n == ws->max_n && new_nnz == ws->max_nnz) return;
  const LemkeSizes sizes = Lemke_ComputeSizes(new_n, new_nnz);
  ws->max_n = sizes.n;
  ws->max_nnz = sizes.nnz;
  ws->a_rows_capacity = sizes.n;
  ws->a_cols_capacity = sizes.a_cols;
  ws->a_nnz_capacity = sizes.a_nnz;
  Lemke_SizeMembers(ws);
  IDenseVector_FillZero(ws->cycle_counts, sizes.a_cols);
  Workspace_Size(sizes.n, sizes.nnz);
}

int Lemke_ReferenceWorkspace() {
  if (lemke_workspace == nullptr) return 0;
  lemke_workspace->refcount += 1;
  return lemke_workspace->refcount;
}

int Lemke_DestroyWorkspace() {
  LemkeWorkspace* ws = lemke_workspace;
  if (ws == nullptr) return 0;
  ws->refcount -= 1;
  if (ws->refcount > 0) return ws->refcount;

  lemke_workspace = nullptr;
  Lemke_FreeRecord(ws);
  Workspace_Destroy();
  return 0;
}

LemkeWorkspace* Lemke_GetWorkspace() { return lemke_workspace; }

void Lemke_ForgetState() {
  lemke_workspace = nullptr;
  // The generator's state at load (seed 0 leaves the base state).
  Lemke_RandomSeed(0);
}

bool Lemke_StateAtRest() { return lemke_workspace == nullptr && Lemke_RandomAtRest(); }

LemkeWorkspace* Lemke_RequireWorkspace(const char* operation) {
  if (lemke_workspace == nullptr) {
    Error_Report("Lemke", __LINE__, operation, "no workspace");
  }
  return lemke_workspace;
}

double Lemke_Infinity() { return Options_CommonDouble(COMMON_INFINITY); }

char Lemke_CodeLetter(int code) {
  switch (code) {
    case LEMKE_SOLVED: return 'S';
    case LEMKE_RAY: return 'R';
    case LEMKE_SINGULAR: return 'N';
    case LEMKE_CYCLE: return 'C';
    case LEMKE_RESET_FAILED: return 'T';
    case LEMKE_ITERATION_LIMIT: return 'I';
    default: return '?';
  }
}

void Lemke_ColumnLabel(const LemkeWorkspace* ws, int c, char* buffer, int size) {
  const int n = ws->n;
  if (c < 1 || c > 4 * n + 1) {
    std::snprintf(buffer, size, "-");
    return;
  }
  static const char letters[] = {'z', 'w', 'v', 'a'};
  const int kind = Lemke_ColumnClass(n, c);
  if (kind == LEMKE_COLUMN_T) {
    std::snprintf(buffer, size, "t");
  } else {
    std::snprintf(buffer, size, "%c[%5d]", letters[kind], Lemke_ColumnRow(n, c));
  }
}

// ---------------------------------------------------------------------------
// Minor iteration log: a header before the first line of each solve, then
// one line per logged pivot with the pivot count, the step, t after the
// step, the entering and the leaving variable (or "ray" and "flip" for a
// step without a leaving basic variable).

void Lemke_LogIteration(const LemkePivot* pivot) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("LogIteration");
  int frequency = Options_CommonInt(COMMON_OUTPUT_MINOR_ITERATIONS_FREQUENCY);
  if (frequency < 1) frequency = 1;
  if (ws->minor_count % frequency != 0) return;
  const int mode =
      ws->output_mask &
      (Options_CommonBool(COMMON_OUTPUT_MINOR_ITERATIONS) ? OUTPUT_LOG | OUTPUT_STATUS
                                                          : OUTPUT_STATUS);
  if (mode == 0) return;

  if (!ws->log_header_written) {
    Output_Printf(mode, "%9s %12s %12s  %-8s  %-8s\n", "Minor", "Step", "t", "Enter", "Leave");
    ws->log_header_written = 1;
  }
  char entering[32];
  char leaving[32];
  Lemke_ColumnLabel(ws, pivot->entering, entering, sizeof entering);
  if (pivot->position < 0) {
    std::snprintf(leaving, sizeof leaving, "ray");
  } else if (pivot->position == LEMKE_POSITION_FLIP && pivot->leaving == pivot->entering) {
    std::snprintf(leaving, sizeof leaving, "flip");
  } else {
    Lemke_ColumnLabel(ws, pivot->leaving, leaving, sizeof leaving);
  }
  Output_Printf(mode, "%9d %12.4e %12.4e  %-8s  %-8s\n", ws->minor_count, pivot->theta,
                pivot->t_after, entering, leaving);
  ws->log_streams_written |= mode;
}

// ---------------------------------------------------------------------------
// Entry point.

int Lemke_Method(LCP* lcp, Information* info) {
  void* timer = Timer_Create();
  Timer_Start(timer);
  int code = LEMKE_SOLVED;
  try {
    Lemke_Setup(lcp, info);
    Lemke_Basis(lcp);
    Lemke_Start();
    LemkeWorkspace* ws = Lemke_RequireWorkspace("Method");
    Lemke_ResetPivotState(&ws->pivot);
    code = Lemke_Solve();
    code = Lemke_Finish(lcp, info, code);
  } catch (...) {
    // A solver error or an interrupt jump passes through: release the
    // reference taken by the setup and the timer, keep the workspace
    // consistent for the next solve, and let the exception go on.
    LemkeWorkspace* ws = lemke_workspace;
    if (ws != nullptr && ws->in_solve) {
      ws->in_solve = 0;
      Lemke_DestroyWorkspace();
    }
    Timer_Destroy(timer);
    throw;
  }
  info->total_time = Timer_Query(timer);
  Timer_Destroy(timer);
  return code;
}

// ---------------------------------------------------------------------------
// Adapters to the start-vector setting and the basis back-end.

const double* Lemke_StartValues(int n) {
  const Lemke_StartVector start = Lemke_GetStartVector();
  // A vector of another length belongs to another numbering (a reduced
  // problem, a different call): it is not used.
  if (start.values == nullptr || start.length != n) return nullptr;
  return start.values;
}

void Lemke_ClearStartValues() { Lemke_ClearStartVector(); }

int Lemke_BasisReportsSingular(LemkeWorkspace* ws) {
  const Basis_Interface* table = Basis_Table(ws->factor);
  return table != nullptr && table->num_singular != nullptr && table->get_singular != nullptr;
}
