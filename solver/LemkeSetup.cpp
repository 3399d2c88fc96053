// Lemke: problem setup (the augmented problem and the status-derived basis),
// the model dump, and the two basis repairs used by the starting basis.
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "problems/LCP.hpp"
#include "problems/MCP.hpp"
#include "solver/Information.hpp"
#include "solver/LemkeOptions.hpp"
#include "solver/Lemke_internal.hpp"

namespace {

// BasisStatus codes as the setup reads them, with the one code that only
// the setup knows: a variable strictly between its bounds that starts with
// its artificial basic (no record produces it; the setup makes it of an
// inconsistent code).
constexpr int STATUS_NONE = BASIS_NONE;
constexpr int STATUS_BASIC = BASIS_BASIC;
constexpr int STATUS_ARTIFICIAL = 2;
constexpr int STATUS_LOWER = BASIS_LOWER;
constexpr int STATUS_UPPER = BASIS_UPPER;

// Puts column c basic in position k.
inline void SetBasic(LemkeWorkspace* ws, int k, int c) { IDenseVector_SetValue(ws->basis, k, c); }

}  // namespace

void Lemke_Setup(LCP* lcp, Information* info) {
  // The problem and the workspace.
  LCP_Start(lcp, 0);
  const int n = LCP_Variables(lcp);
  const int nnz = LCP_Nonzeros(lcp);
  LemkeWorkspace* ws = Lemke_CreateWorkspace(n, nnz);
  ws->in_solve = 1;
  ws->n = n;
  ws->nnz = nnz;
  ws->output_mask = info->output_mask;
  ws->factor_given_basis = info->factor_given_basis;
  ws->start_from_given_basis = info->start_from_given_basis;
  ws->factor_given_basis_used = info->factor_given_basis;
  ws->start_from_given_basis_used = info->start_from_given_basis;
  ws->streams_written = 0;
  ws->log_streams_written = 0;
  ws->log_header_written = 0;

  // M, q, bounds, start point and status codes.
  SparseMatrix_Clone(ws->A, LCP_M(lcp), nullptr, nullptr, 0);
  DenseVector_Clone(ws->q, LCP_Q(lcp), nullptr);
  DenseVector_Clone(ws->lower, LCP_Lower(lcp), nullptr);
  DenseVector_Clone(ws->upper, LCP_Upper(lcp), nullptr);
  DenseVector_Clone(ws->x, LCP_X(lcp), nullptr);
  IDenseVector_Clone(ws->status, LCP_Basis(lcp), nullptr);
  DenseVector_SetLength(ws->q, n);
  DenseVector_SetLength(ws->lower, n);
  DenseVector_SetLength(ws->upper, n);
  DenseVector_SetLength(ws->x, n);
  IDenseVector_SetLength(ws->status, n);

  // Project the start point; r = M z + q.
  DenseVector_Mid(ws->x, ws->x, ws->lower, ws->upper);
  SparseMatrix_Mult(ws->cover, ws->A, ws->x, ws->q);

  // Values and bounds of w, v, the artificials and t.
  const double infinity = Lemke_Infinity();
  DenseVector_AppendZero(ws->x, 3 * n);
  DenseVector_Push(ws->x, 1.0);
  DenseVector_AppendZero(ws->lower, 2 * n);
  DenseVector_AppendFill(ws->lower, n, Lemke_OptionDouble(LEMKE_ARTIFICIAL_MINIMUM));
  DenseVector_Push(ws->lower, 0.0);
  DenseVector_AppendFill(ws->upper, 2 * n, infinity);
  DenseVector_AppendFill(ws->upper, n, Lemke_OptionDouble(LEMKE_ARTIFICIAL_MAXIMUM));
  DenseVector_Push(ws->upper, infinity);
  ws->rows = n;
  ws->cols = 4 * n + 1;
  IDenseVector_FillZero(ws->artificial, n);
  IDenseVector_Ramp(ws->basis, n, 1, 1);

  // Starting basis from the status codes (exact comparisons).
  double* x = DenseVector_Array(ws->x);
  const double* l = DenseVector_Array(ws->lower);
  const double* u = DenseVector_Array(ws->upper);
  const double* r = DenseVector_Array(ws->cover);
  int* code = IDenseVector_Array(ws->status);
  int artificials = 0;
  for (int i = 1; i <= n; ++i) {
    const double li = l[i - 1], ui = u[i - 1], zi = x[i - 1], ri = r[i - 1];
    int b = code[i - 1];
    if (li > ui) Error_SolverError("Lemke: incorrect bound value.\n");
    if (zi == li) {
      if (b == STATUS_NONE) {
        b = ri > 0 ? STATUS_LOWER : STATUS_BASIC;
      } else if (b == STATUS_ARTIFICIAL) {
        b = STATUS_LOWER;
      } else if (b == STATUS_UPPER) {
        Error_Warning("Inconsistent Basis.\n");
        b = STATUS_LOWER;
      }
      if (b == STATUS_BASIC) {
        SetBasic(ws, i, i);
      } else if (b == STATUS_LOWER) {
        SetBasic(ws, i, n + i);
        if (ri > 0) x[n + i - 1] = ri;
      }
    } else if (zi == ui) {
      if (b == STATUS_NONE) {
        b = ri < 0 ? STATUS_UPPER : STATUS_BASIC;
      } else if (b == STATUS_ARTIFICIAL) {
        b = STATUS_UPPER;
      } else if (b == STATUS_LOWER) {
        Error_Warning("Inconsistent Basis.\n");
        b = STATUS_UPPER;
      }
      if (b == STATUS_BASIC) {
        SetBasic(ws, i, i);
      } else if (b == STATUS_UPPER) {
        SetBasic(ws, i, 2 * n + i);
        if (ri < 0) x[2 * n + i - 1] = -ri;
      }
    } else {
      if (b == STATUS_NONE) {
        b = STATUS_BASIC;
      } else if (b == STATUS_LOWER || b == STATUS_UPPER) {
        Error_Warning("Inconsistent Basis.\n");
        b = STATUS_ARTIFICIAL;
      }
      if (b == STATUS_BASIC) {
        SetBasic(ws, i, i);
      } else if (b == STATUS_ARTIFICIAL) {
        SetBasic(ws, i, 3 * n + i);
        IDenseVector_SetValue(ws->artificial, i, i);
        artificials += 1;
      }
    }
  }

  // Report and dump (A still holds M alone).
  if (artificials > 0) Error_Warning("Artificials: %d\n", artificials);
  Lemke_DisplayLCP();

  // A = [M, -I, I, I].
  SparseMatrix_AppendNegIdentity(ws->A, n);
  SparseMatrix_AppendIdentity(ws->A, n);
  SparseMatrix_AppendIdentity(ws->A, n);
  ws->a_nnz = SparseMatrix_NNZ(ws->A);
}

void Lemke_DisplayLCP() {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("DisplayLCP");
  if (!Lemke_OptionBool(OUTPUT_LINEAR_MODEL)) return;
  const int mode = ws->output_mask & (OUTPUT_LOG | OUTPUT_STATUS);
  if (mode == 0) return;
  const int n = ws->n;
  const double* x = DenseVector_Array(ws->x);
  const double* l = DenseVector_Array(ws->lower);
  const double* u = DenseVector_Array(ws->upper);

  Output_Printf(mode, "Pivotal method called: LCP follows.\n");
  Output_Printf(mode, "Dimension: %d\n", n);
  Output_Printf(mode, "t: % 5.4e\n", 0.0);
  Output_Printf(mode, "q:\n");
  DenseVector_Display(ws->q, mode);
  Output_Printf(mode, "\n");
  Output_Printf(mode, "M (row, col, val):\n");
  SparseMatrix_Print(ws->A, mode);
  Output_Printf(mode, "\n");
  for (int i = 1; i <= n; ++i) {
    Output_Printf(mode, "z[%5d] = % .5e   w[%5d] = % .5e   v[%5d] = % .5e\n", i, x[i - 1], i,
                  x[n + i - 1], i, x[2 * n + i - 1]);
  }
  Output_Printf(mode, "\n");
  for (int i = 1; i <= n; ++i) {
    Output_Printf(mode, "l[%5d] = % .10e   u[%5d] = % .10e\n", i, l[i - 1], i, u[i - 1]);
  }
  Output_Printf(mode, "\nBasics:\n");
  IDenseVector_Display(ws->basis, mode);
  ws->streams_written |= mode;
}

void Lemke_RemoveArtificials() {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("RemoveArtificials");
  const int n = ws->n;
  SparseMatrix_RemoveCols(ws->A, 3 * n + 1, 4 * n);
  SparseMatrix_AppendIdentity(ws->A, n);
  IDenseVector_FillZero(ws->artificial, n);
  ws->a_nnz = SparseMatrix_NNZ(ws->A);
}

// ---------------------------------------------------------------------------
// Repair of a singular basis.

namespace {

// Prints the singularity count and the names of the uncovered rows.
void Lemke_ReportSingular(LemkeWorkspace* ws, LCP* lcp, int count) {
  const int streams = Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES)
                          ? OUTPUT_LOG | OUTPUT_STATUS
                          : OUTPUT_STATUS;
  const int mode = streams & ws->output_mask;
  if (mode == 0) return;
  Output_Printf(mode, "Lemke: Factor: %d singularities.\n", count);
  for (int j = 1; j <= count; ++j) {
    int row = 0, position = 0;
    Basis_GetSingular(ws->factor, j, &row, &position);
    char name[256];
    name[0] = '\0';
    LCP_ConstraintName(lcp, row, name, static_cast<int>(sizeof name));
    name[sizeof name - 1] = '\0';
    Output_Printf(mode, "Crash: Factor: singular constraint: %s\n", name);
  }
  ws->streams_written |= mode;
}

// An unused artificial for uncovered row s: the artificial of the preferred
// row when it is free, else the first free one; 0 when none is free. The
// artificial's +1 is moved to row s. in_basis marks the basic columns.
int Lemke_FreeArtificial(LemkeWorkspace* ws, int preferred, int s, const int* in_basis) {
  const int n = ws->n;
  const int* used = IDenseVector_Array(ws->artificial);
  auto is_free = [&](int j) { return used[j - 1] == 0 && in_basis[3 * n + j - 1] == 0; };
  int chosen = 0;
  if (is_free(preferred)) {
    chosen = preferred;
  } else {
    for (int j = 1; j <= n && chosen == 0; ++j) {
      if (is_free(j)) chosen = j;
    }
  }
  if (chosen != 0 && chosen != s) {
    // A free artificial still holds its +1 in its own row.
    SparseMatrix_RPermElement(ws->A, chosen, 3 * n + chosen, s);
  }
  return chosen;
}

}  // namespace

int Lemke_Factor(LCP* lcp) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Factor");
  const int rounds = Lemke_OptionInt(LEMKE_RANK_DEFICIENCY_ITERATIONS);
  if (rounds <= 0) return 0;
  // A back-end that cannot name its singular columns cannot be repaired:
  // the caller goes on with its next stage.
  if (!Lemke_BasisReportsSingular(ws)) return 0;

  const int n = ws->n;
  const double* x = DenseVector_Array(ws->x);
  const double* l = DenseVector_Array(ws->lower);
  const double* u = DenseVector_Array(ws->upper);
  int* basis = IDenseVector_Array(ws->basis);
  // Marks of the basic columns (scratch; the pivot reset clears it).
  int* in_basis = IDenseVector_Array(ws->cycle_counts);

  for (int round = 1; round <= rounds; ++round) {
    const int count = Basis_NumSingular(ws->factor);
    Lemke_ReportSingular(ws, lcp, count);

    IDenseVector_FillZero(ws->cycle_counts, 4 * n + 1);
    for (int k = 1; k <= n; ++k) in_basis[basis[k - 1] - 1] = k;

    int slack_changes = 0, identity_columns = 0, artificial_columns = 0;
    for (int j = 1; j <= count; ++j) {
      int s = 0, p = 0;
      Basis_GetSingular(ws->factor, j, &s, &p);
      if (s < 1 || s > n || p < 1 || p > n) {
        Error_Report("Lemke", __LINE__, "Factor", "singular pair out of range");
      }
      const int c = basis[p - 1];
      int replacement = 0;
      if (c == s) {
        // z_s of the uncovered row itself: its slack at the bound where z_s
        // sits, else an artificial.
        const int w = n + s, v = 2 * n + s;
        if (x[s - 1] == l[s - 1] && in_basis[w - 1] == 0) {
          replacement = w;
          slack_changes += 1;
        } else if (x[s - 1] == u[s - 1] && in_basis[v - 1] == 0) {
          replacement = v;
          slack_changes += 1;
        } else {
          const int a = Lemke_FreeArtificial(ws, s, s, in_basis);
          if (a == 0) return 0;
          IDenseVector_SetValue(ws->artificial, a, c);
          replacement = 3 * n + a;
          identity_columns += 1;
        }
      } else {
        if (c > 3 * n) {
          Error_Warning("Artificial causes problem.\n");
          return 0;
        }
        const int i = Lemke_ColumnRow(n, c);
        const int a = Lemke_FreeArtificial(ws, i, s, in_basis);
        if (a == 0) return 0;
        IDenseVector_SetValue(ws->artificial, a, c);
        replacement = 3 * n + a;
        artificial_columns += 1;
      }
      in_basis[c - 1] = 0;
      in_basis[replacement - 1] = p;
      basis[p - 1] = replacement;
    }
    ws->a_nnz = SparseMatrix_NNZ(ws->A);

    Error_Warning("Slack change            : %d\n", slack_changes);
    Error_Warning("Artificial identity cols: %d\n", identity_columns);
    Error_Warning("Artificial          cols: %d\n", artificial_columns);
    Error_Warning("Total Artificials       : %d\n", identity_columns + artificial_columns);

    if (Basis_Factor(ws->factor, ws->A, ws->basis) == BASIS_FACTORED) return 1;
  }
  return 0;
}
