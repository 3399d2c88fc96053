// Lemke: the pivoting loop, one step with its best-point and cycle checks,
// the exchange of variables, the complementary rule and the finish.
#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "problems/LCP.hpp"
#include "problems/MCP.hpp"
#include "solver/Information.hpp"
#include "solver/LemkeOptions.hpp"
#include "solver/Lemke_internal.hpp"

namespace {

// Stops the cycle watch: only the counts that were raised are cleared, so
// the cost follows the pivots made, not the problem size.
void StopCycleWatch(LemkeWorkspace* ws) {
  int* counts = IDenseVector_Array(ws->cycle_counts);
  const int* touched = IDenseVector_Array(ws->cycle_touched);
  for (int j = 0; j < ws->cycle_touched_count; ++j) counts[touched[j] - 1] = 0;
  ws->cycle_touched_count = 0;
  ws->cycle_watch = 0;
}

// Adds one to the count of column c; returns the new count.
int CountEntering(LemkeWorkspace* ws, int c) {
  int* counts = IDenseVector_Array(ws->cycle_counts);
  if (counts[c - 1] == 0) {
    IDenseVector_Array(ws->cycle_touched)[ws->cycle_touched_count] = c;
    ws->cycle_touched_count += 1;
  }
  counts[c - 1] += 1;
  return counts[c - 1];
}

}  // namespace

void Lemke_SaveBest(LemkeWorkspace* ws, const LemkePivot* pivot) {
  DenseVector_Clone(ws->best_xB, ws->xB, nullptr);
  DenseVector_Clone(ws->best_x, ws->x, nullptr);
  IDenseVector_Clone(ws->best_basis, ws->basis, nullptr);
  ws->best_pivot = *pivot;
  // At the saved point the entering variable has not moved yet.
  ws->best_pivot.leaving = pivot->entering;
  ws->best_pivot.leaving_value = pivot->entering_value;
  ws->best_pivot.theta = 0.0;
  ws->best_saved = 1;
}

void Lemke_BasicValuesAt(LemkeWorkspace* ws, const DenseVector* point) {
  SparseMatrix_Mult(ws->column, ws->A, point, ws->q);
  DenseVector_Negate(ws->column);
  Basis_Solve(ws->factor, ws->xB, ws->column);
}

int Lemke_Refactor(LemkeWorkspace* ws) {
  if (Basis_Factor(ws->factor, ws->A, ws->basis) != BASIS_FACTORED) return LEMKE_SINGULAR;
  DenseVector_FillOne(ws->weights, ws->n);
  // Before the first step of a ray start the basic values are not yet
  // feasible: they are recomputed, not judged.
  const int failed = Lemke_Reset(Lemke_RuleDelta());
  if (failed && !ws->first_step) {
    Error_Warning("Reset could not be performed.\n");
    return LEMKE_RESET_FAILED;
  }
  ws->refactor_count += 1;
  return LEMKE_SOLVED;
}

int Lemke_Solve() {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Solve");
  LemkePivot* pivot = &ws->pivot;
  const int t_column = 4 * ws->n + 1;

  // The rule, its state and the column of t. Only a ray start begins
  // with infeasible basic values, which the first step repairs.
  Lemke_RuleReset(ws);
  ws->first_step = ws->ray_start;
  int code = Lemke_EnteringColumn(ws);
  if (code != LEMKE_SOLVED) return code;

  // First step.
  code = ws->first_step ? Lemke_FirstStep(pivot) : Lemke_Step(pivot);
  ws->first_step = 0;
  ws->t_position = pivot->position > 0 ? pivot->position : 0;
  ws->minor_count += 1;
  Lemke_LogIteration(pivot);
  if (code != LEMKE_SOLVED) return code;

  // Complementary pivots until t leaves.
  Lemke_Complement(pivot);
  while (pivot->leaving != t_column) {
    if (ws->minor_count >= ws->minor_limit) {
      Error_Warning("Minor iteration limit (%d) exceeded.\n", ws->minor_limit);
      return LEMKE_ITERATION_LIMIT;
    }
    code = Lemke_EnteringColumn(ws);
    if (code != LEMKE_SOLVED) return code;
    pivot->t_now = DenseVector_Value(ws->xB, ws->t_position);
    code = Lemke_Step(pivot);
    ws->minor_count += 1;
    Lemke_LogIteration(pivot);
    if (code != LEMKE_SOLVED) return code;
    Lemke_Complement(pivot);
  }
  return LEMKE_SOLVED;
}

int Lemke_FirstStep(LemkePivot* pivot) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("FirstStep");
  const int n = ws->n;
  const double infinity = Lemke_Infinity();
  const double p = Lemke_OptionDouble(EXPAND_PIVOT_TOLERANCE);
  const double* lower = DenseVector_Array(ws->lower);
  const double* upper = DenseVector_Array(ws->upper);
  const double* xB = DenseVector_Array(ws->xB);
  const double* d = DenseVector_Array(ws->d);
  const int* basis = IDenseVector_Array(ws->basis);

  pivot->direction = 1;
  pivot->leaving = 4 * n + 1;
  pivot->kind = LEMKE_LEAVE_LOWER;
  pivot->leaving_value = 0.0;
  pivot->position = LEMKE_POSITION_FLIP;
  pivot->theta = 0.0;
  for (int k = 1; k <= n; ++k) {
    const int c = basis[k - 1];
    const double dk = d[k - 1];
    double ratio;
    int kind;
    double bound;
    if (dk < -p && lower[c - 1] > -infinity) {
      bound = lower[c - 1];
      ratio = (xB[k - 1] - bound) / dk;
      kind = LEMKE_LEAVE_LOWER;
    } else if (dk > p && upper[c - 1] < infinity) {
      bound = upper[c - 1];
      ratio = (xB[k - 1] - bound) / dk;
      kind = LEMKE_LEAVE_UPPER;
    } else {
      continue;
    }
    if (ratio > pivot->theta) {
      pivot->leaving = c;
      pivot->kind = kind;
      pivot->leaving_value = bound;
      pivot->position = k;
      pivot->theta = ratio;
    }
  }
  pivot->pivot_element = pivot->position > 0 ? d[pivot->position - 1] : 0.0;
  pivot->t_after = pivot->t_now + pivot->theta;
  return Lemke_Pivot(pivot);
}

int Lemke_Step(LemkePivot* pivot) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Step");

  // The rule; the cycle watch asks for lexicographic ties once the
  // entering column comes back without t having made progress.
  ws->rule.lexicographic =
      ws->cycle_watch && IDenseVector_Value(ws->cycle_counts, pivot->entering) > 0;
  Lemke_RatioTest(ws, pivot);

  // Direction; a ray moves a fixed distance along itself.
  const double s = pivot->direction;
  if (pivot->position < 0) {
    pivot->leaving = pivot->entering;
    pivot->kind = LEMKE_LEAVE_RAY;
    pivot->theta = Lemke_OptionDouble(LEMKE_RAYTERM_MINIMUM);
    pivot->leaving_value = DenseVector_Value(ws->x, pivot->entering) + s * pivot->theta;
  }

  // T after the step.
  if (ws->t_position == 0) {
    pivot->t_after = pivot->t_now + s * pivot->theta;
  } else {
    pivot->t_after = DenseVector_Value(ws->xB, ws->t_position) -
                     s * pivot->theta * DenseVector_Value(ws->d, ws->t_position);
  }

  // Best point: the point before a step that raises t from a new low.
  if (pivot->t_now < pivot->t_after && pivot->t_now < ws->best_t) {
    Lemke_SaveBest(ws, pivot);
    ws->best_t = pivot->t_now;
  }

  // Cycle check.
  if (ws->cycle_watch && !ws->first_step) {
    if (CountEntering(ws, pivot->entering) > Lemke_OptionInt(LEMKE_CYCLE_LIMIT)) {
      Error_Warning("Cycle: Detected.\n");
      const int code = Lemke_Pivot(pivot);
      return code != LEMKE_SOLVED ? code : LEMKE_CYCLE;
    }
  }
  return Lemke_Pivot(pivot);
}

int Lemke_Pivot(LemkePivot* pivot) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Pivot");
  const int n = ws->n;
  const double s = pivot->direction;
  const double step = s * pivot->theta;
  const int e = pivot->entering;
  const int position = pivot->position;
  double* x = DenseVector_Array(ws->x);
  double* xB = DenseVector_Array(ws->xB);

  // Values and basis.
  if (step != 0.0) {
    const double* d = DenseVector_Array(ws->d);
    for (int k = 0; k < n; ++k) xB[k] -= step * d[k];
  }
  x[e - 1] += step;
  x[pivot->leaving - 1] = pivot->leaving_value;
  if (position > 0) {
    IDenseVector_SetValue(ws->basis, position, e);
    xB[position - 1] = x[e - 1];
    x[e - 1] = 0.0;
  }

  // Cycle watch: off while t reaches new lows or an artificial or t
  // leaves; on otherwise.
  if (pivot->t_after < ws->smallest_t || pivot->leaving > 3 * n) {
    StopCycleWatch(ws);
    if (pivot->t_after < ws->smallest_t) ws->smallest_t = pivot->t_after;
  } else {
    ws->cycle_watch = 1;
  }

  // A ray or a bound flip leaves the basis alone.
  if (position < 0) return LEMKE_RAY;
  if (position == LEMKE_POSITION_FLIP) return Lemke_RuleAdvance(ws, pivot);

  // The exchange in the factorization.
  const int status = Basis_Replace(ws->factor, ws->A, ws->basis, position);
  if (status == BASIS_SINGULAR) return LEMKE_SINGULAR;
  if (status == BASIS_REBUILT) {
    Error_Warning("Basis refactored.\n");
    DenseVector_FillOne(ws->weights, n);
    if (Lemke_Reset(Lemke_RuleDelta()) != 0) {
      Error_Warning("Reset could not be performed.\n");
      return LEMKE_RESET_FAILED;
    }
    ws->refactor_count += 1;
  }
  return Lemke_RuleAdvance(ws, pivot);
}

int Lemke_Reset(double delta) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Reset");
  const int n = ws->n;
  if (!(delta >= 0.0)) delta = 0.0;
  Lemke_BasicValuesAt(ws, ws->x);

  // Largest violation of the bounds widened by delta, against a tolerance
  // that grows with delta and with the size of the values.
  const double* xB = DenseVector_Array(ws->xB);
  const double* lower = DenseVector_Array(ws->lower);
  const double* upper = DenseVector_Array(ws->upper);
  const int* basis = IDenseVector_Array(ws->basis);
  double violation = 0.0;
  double largest = 0.0;
  for (int k = 0; k < n; ++k) {
    const double v = xB[k];
    if (!std::isfinite(v)) return 1;
    const int c = basis[k];
    const double below = lower[c - 1] - delta - v;
    const double above = v - upper[c - 1] - delta;
    if (below > violation) violation = below;
    if (above > violation) violation = above;
    if (std::fabs(v) > largest) largest = std::fabs(v);
  }
  const double scale = 100.0 * delta > 1e-6 ? 100.0 * delta : 1e-6;
  return violation > scale * (1.0 + largest) ? 1 : 0;
}

void Lemke_Complement(LemkePivot* pivot) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Complement");
  const int n = ws->n;
  const int L = pivot->leaving;
  switch (Lemke_ColumnClass(n, L)) {
    case LEMKE_COLUMN_Z:
      pivot->entering = pivot->kind == LEMKE_LEAVE_LOWER ? n + L : 2 * n + L;
      pivot->entering_status = LEMKE_ENTER_FROM_LOWER;
      break;
    case LEMKE_COLUMN_W:
      pivot->entering = L - n;
      pivot->entering_status = LEMKE_ENTER_FROM_LOWER;
      break;
    case LEMKE_COLUMN_V:
      pivot->entering = L - 2 * n;
      pivot->entering_status = LEMKE_ENTER_FROM_UPPER;
      break;
    case LEMKE_COLUMN_ARTIFICIAL:
      pivot->entering = IDenseVector_Value(ws->artificial, L - 3 * n);
      pivot->entering_status = LEMKE_ENTER_REPLACED;
      if (pivot->entering < 1 || pivot->entering > 3 * n) {
        Error_Report("Lemke", __LINE__, "Complement", "artificial without a replaced column");
      }
      break;
    default:
      pivot->entering = 0;
      break;
  }
  if (pivot->entering > 0) pivot->entering_value = DenseVector_Value(ws->x, pivot->entering);
  pivot->t_now = pivot->t_after;
}

// ---------------------------------------------------------------------------
// Finish.

namespace {

// The column that stands for basic column c in the status of its row: t is
// replaced by the last leaving column, an artificial by the column it
// replaced.
int StatusColumn(LemkeWorkspace* ws, int c, int last_leaving) {
  const int n = ws->n;
  for (int hop = 0; hop < 3; ++hop) {
    const int kind = Lemke_ColumnClass(n, c);
    if (kind == LEMKE_COLUMN_T) {
      c = last_leaving;
    } else if (kind == LEMKE_COLUMN_ARTIFICIAL) {
      c = IDenseVector_Value(ws->artificial, c - 3 * n);
    } else {
      break;
    }
    if (c < 1) break;
  }
  return c;
}

}  // namespace

int Lemke_Finish(LCP* lcp, Information* info, int code) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Finish");
  const int n = ws->n;

  // The best point met, when the method ended above it. The copy exists
  // only when a step that raised t saved it.
  if (Lemke_OptionBool(LEMKE_RETURN_BEST_POINT) && ws->best_saved &&
      ws->best_t < ws->pivot.t_after) {
    DenseVector_Clone(ws->xB, ws->best_xB, nullptr);
    DenseVector_Clone(ws->x, ws->best_x, nullptr);
    IDenseVector_Clone(ws->basis, ws->best_basis, nullptr);
    ws->pivot = ws->best_pivot;
    if (Basis_Factor(ws->factor, ws->A, ws->basis) != BASIS_FACTORED) {
      Output_Printf(OUTPUT_LOG, "Basis not invertible at best point.\n");
      ws->streams_written |= OUTPUT_LOG;
      code = LEMKE_SINGULAR;
    }
  }

  // Controls, streams and pivots for the caller.
  info->factor_given_basis_used = ws->factor_given_basis_used;
  info->start_from_given_basis_used = ws->start_from_given_basis_used;
  info->streams_written = ws->streams_written | ws->log_streams_written;
  info->major_iterations = ws->minor_count;

  // The nonbasic part of the solution (the best-point copy of x is free
  // now and holds it).
  DenseVector* full = ws->best_x;
  DenseVector_Clone(full, ws->x, nullptr);
  double* z = DenseVector_Array(full);
  const double* lower = DenseVector_Array(ws->lower);
  const double* upper = DenseVector_Array(ws->upper);
  const int* basis = IDenseVector_Array(ws->basis);
  for (int k = 0; k < n; ++k) {
    const int c = basis[k];
    const int kind = Lemke_ColumnClass(n, c);
    if (kind > LEMKE_COLUMN_V) continue;
    const int i = Lemke_ColumnRow(n, c);
    if (kind == LEMKE_COLUMN_Z) z[i - 1] = 0.0;
    if (kind == LEMKE_COLUMN_W) z[i - 1] = lower[i - 1];
    if (kind == LEMKE_COLUMN_V) z[i - 1] = upper[i - 1];
    z[n + i - 1] = 0.0;
    z[2 * n + i - 1] = 0.0;
    z[3 * n + i - 1] = 0.0;
  }

  // The basic values: recomputed from the factorization, except after a
  // singular basis, where the values of the last valid state are kept (the
  // restored best copy, or the current ones).
  if (code != LEMKE_SINGULAR) Lemke_BasicValuesAt(ws, full);
  const double* xB = DenseVector_Array(ws->xB);
  for (int k = 0; k < n; ++k) {
    const int c = basis[k];
    if (c > n) continue;
    double v = xB[k];
    if (v < lower[c - 1]) v = lower[c - 1];
    if (v > upper[c - 1]) v = upper[c - 1];
    z[c - 1] = v;
  }

  // Basis status per row: from the position of z, then from the basic
  // column of the row (z basic: between its bounds, w basic: at its lower
  // bound, v basic: at its upper bound).
  IDenseVector_SetLength(ws->status, n);
  int* status = IDenseVector_Array(ws->status);
  for (int i = 0; i < n; ++i) {
    status[i] = z[i] == lower[i] ? BASIS_LOWER : (z[i] == upper[i] ? BASIS_UPPER : BASIS_BASIC);
  }
  for (int k = 0; k < n; ++k) {
    const int c = StatusColumn(ws, basis[k], ws->pivot.leaving);
    if (c < 1 || c > 3 * n) Error_SolverError("Bad basic variable.\n");
    switch (Lemke_ColumnClass(n, c)) {
      case LEMKE_COLUMN_Z: status[c - 1] = BASIS_BASIC; break;
      case LEMKE_COLUMN_W: status[c - n - 1] = BASIS_LOWER; break;
      default: status[c - 2 * n - 1] = BASIS_UPPER; break;
    }
  }

  // Hand over and release.
  DenseVector_SetLength(full, n);
  LCP_Finish(lcp, full, ws->status);
  ws->in_solve = 0;
  Lemke_DestroyWorkspace();
  return code;
}
