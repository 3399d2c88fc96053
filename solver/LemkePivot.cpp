// Lemke: the pivot rules, i.e. the ratio tests that choose the leaving
// variable of a step.
//
// All rules run the same bounded-variable ratio test. The entering variable
// e moves by s*theta (s = +1 up, -1 down); the basic values move as
// xB_k(theta) = xB_k - s*theta*d_k with d = B^-1 a_e. Writing a_k = s*d_k, a
// basic variable with a_k > tolerance falls toward its lower bound and one
// with a_k < -tolerance rises toward its upper bound; infinite bounds never
// block, and nor do entries of magnitude at most the pivot tolerance. The
// entering variable's own opposite bound, when finite, blocks too (a bound
// flip: no basis change). Nothing blocking is a ray.
//
// The rules differ in how they choose among the blocking rows:
// - textbook: the smallest ratio; ties (within epsilon) go to t, then an
//   artificial, then a bound flip (no basis change), then the largest
//   |a_k|, then the lowest column.
// - expand (default) and adaptive: Harris' two passes with a growing
//   relaxation delta. Pass 1 finds the largest step theta_max at which no
//   basic value is beyond its bound by more than delta; pass 2 takes, among
//   the rows whose exact ratio is at most theta_max, t first, then an
//   artificial, then a bound flip, then the largest |a_k|. The step is at
//   least
//   min(tau/|a_k|, theta_max) with tau the growth of delta per pivot, so no
//   step is zero and degenerate vertices are left; delta grows by tau every
//   pivot so that the small infeasibilities this allows stay inside the
//   relaxation (expand: from expand_delta_start towards expand_delta_end;
//   adaptive: a fast rise from adaptive_delta_high to adaptive_delta_break,
//   then a slow one to adaptive_delta_low). After the maximum number of
//   iterations delta starts again and the basis is refactored.
// - devex: Harris' two passes with the fixed devex_delta, choosing in pass 2
//   by |a_k| relative to a reference weight of row k of B^-1 (devex weights,
//   reset to 1 at every refactorization), which keeps B^-1 from growing.
// When the cycle watch sees an entering column come back without t having
// reached a new low, ties of the smallest ratio are broken lexicographically
// on the rows of B^-1 (the rule of a perturbed right-hand side), which
// breaks the repetition of degenerate pivots in practice; the cycle limit
// ends the method when it does not.
//
// The entering column itself is checked: B d must reproduce a_e to rounding
// accuracy, else the factors are rebuilt before the ratio test uses d.
#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "solver/LemkeOptions.hpp"
#include "solver/Lemke_internal.hpp"

namespace {

constexpr double HUGE_STEP = HUGE_VAL;

double NonNegative(double v) { return v > 0.0 ? v : 0.0; }

// Priority classes of a leaving candidate, higher first: t ends the
// method, artificials must leave.
enum CandidatePriority : int {
  PRIORITY_OTHER = 0,
  PRIORITY_ARTIFICIAL = 1,
  PRIORITY_T = 2,
};

int Priority(int n, int column) {
  const int kind = Lemke_ColumnClass(n, column);
  if (kind == LEMKE_COLUMN_T) return PRIORITY_T;
  if (kind == LEMKE_COLUMN_ARTIFICIAL) return PRIORITY_ARTIFICIAL;
  return PRIORITY_OTHER;
}

// Row k of B^-1 into row (a transposed solve with the unit vector e_k).
void InverseRow(LemkeWorkspace* ws, int k, DenseVector* row) {
  const int n = ws->n;
  DenseVector_FillZero(ws->column, n);
  DenseVector_SetValue(ws->column, k, 1.0);
  Basis_SolveT(ws->factor, row, ws->column);
}

// -1 when row a / alpha_a is lexicographically below row b / alpha_b, 1
// when above, 0 when equal within a relative tolerance.
int LexCompare(const DenseVector* a, double alpha_a, const DenseVector* b, double alpha_b,
               int n) {
  const double* ra = DenseVector_Array(a);
  const double* rb = DenseVector_Array(b);
  for (int j = 0; j < n; ++j) {
    const double va = ra[j] / alpha_a, vb = rb[j] / alpha_b;
    const double scale = std::fabs(va) > std::fabs(vb) ? std::fabs(va) : std::fabs(vb);
    if (std::fabs(va - vb) > 1e-11 * (scale > 1.0 ? scale : 1.0)) return va < vb ? -1 : 1;
  }
  return 0;
}

// The candidate chosen so far by the ratio test.
struct Choice {
  int position;   // a basic row, LEMKE_POSITION_FLIP, or LEMKE_POSITION_RAY: none yet
  int column;
  int kind;
  double ratio;   // exact ratio
  double alpha;   // s*d at the row (1 for a flip)
  double score;   // magnitude used in pass 2
  int priority;
};

bool Better(const Choice& a, const Choice& b) {
  if (b.position < 0) return true;
  if (a.priority != b.priority) return a.priority > b.priority;
  if (a.score != b.score) return a.score > b.score;
  return a.column < b.column;
}

}  // namespace

void Lemke_RuleReset(LemkeWorkspace* ws) {
  LemkeRule& rule = ws->rule;
  rule.type = Lemke_OptionInt(LEMKE_PIVOT_TYPE);
  rule.lexicographic = 0;
  switch (rule.type) {
    case PIVOT_TYPE_TEXTBOOK:
      rule.pivot_tolerance = Lemke_OptionDouble(TEXTBOOK_PIVOT_TOLERANCE);
      rule.epsilon = Lemke_OptionDouble(TEXTBOOK_EPSILON);
      rule.delta = Lemke_OptionDouble(TEXTBOOK_DELTA);
      rule.minimum_step = 0.0;
      break;
    case PIVOT_TYPE_DEVEX:
      rule.pivot_tolerance = Lemke_OptionDouble(DEVEX_PIVOT_TOLERANCE);
      rule.epsilon = Lemke_OptionDouble(DEVEX_EPSILON);
      rule.delta = Lemke_OptionDouble(DEVEX_DELTA);
      rule.minimum_step = 0.0;
      break;
    case PIVOT_TYPE_EXPAND:
      rule.pivot_tolerance = Lemke_OptionDouble(EXPAND_PIVOT_TOLERANCE);
      rule.epsilon = Lemke_OptionDouble(EXPAND_EPSILON);
      rule.delta = Lemke_OptionDouble(EXPAND_DELTA_CURRENT);
      rule.minimum_step = Lemke_OptionDouble(EXPAND_TAU);
      break;
    case PIVOT_TYPE_ADAPTIVE:
      rule.pivot_tolerance = Lemke_OptionDouble(ADAPTIVE_PIVOT_TOLERANCE);
      rule.epsilon = Lemke_OptionDouble(ADAPTIVE_EPSILON);
      rule.delta = Lemke_OptionDouble(ADAPTIVE_DELTA_CURRENT);
      rule.minimum_step = Lemke_OptionDouble(ADAPTIVE_TAU_HIGH);
      break;
    default:
      Error_SolverError("Lemke: Solve: Invalid pivot rule selected.\n");
  }
  // Tolerances below zero (or NaN) would accept every entry or tie.
  if (!(rule.pivot_tolerance >= 0.0)) rule.pivot_tolerance = 0.0;
  if (!(rule.epsilon >= 0.0)) rule.epsilon = 0.0;
  if (!(rule.delta >= 0.0)) rule.delta = 0.0;
  if (!(rule.minimum_step >= 0.0)) rule.minimum_step = 0.0;
  DenseVector_FillOne(ws->weights, ws->n);
}

double Lemke_RuleDelta() {
  switch (Lemke_OptionInt(LEMKE_PIVOT_TYPE)) {
    case PIVOT_TYPE_TEXTBOOK: return Lemke_OptionDouble(TEXTBOOK_DELTA);
    case PIVOT_TYPE_DEVEX: return Lemke_OptionDouble(DEVEX_DELTA);
    case PIVOT_TYPE_EXPAND: return Lemke_OptionDouble(EXPAND_DELTA_CURRENT);
    case PIVOT_TYPE_ADAPTIVE: return Lemke_OptionDouble(ADAPTIVE_DELTA_CURRENT);
    default: Error_SolverError("Incorrect pivot type.\n");
  }
}

namespace {

// column := a_e (dense), d := B^-1 a_e.
void SolveEnteringColumn(LemkeWorkspace* ws) {
  const int n = ws->n;
  const int e = ws->pivot.entering;
  DenseVector_FillZero(ws->column, n);
  double* column = DenseVector_Array(ws->column);
  const SparseMatrix_ColumnView matrix = SparseMatrix_Columns(ws->A);
  const int start = matrix.start[e - 1];
  for (int p = start; p < start + matrix.length[e - 1]; ++p) {
    column[matrix.row[p - 1] - 1] += matrix.value[p - 1];
  }
  Basis_Solve(ws->factor, ws->d, ws->column);
}

// Relative residual of the entering column: max |B d - a_e| over the
// largest term of the product. Uses the scratch vector of the rule's
// lexicographic rows.
double EnteringResidual(LemkeWorkspace* ws) {
  const int n = ws->n;
  DenseVector_FillZero(ws->lex_row, n);
  double* r = DenseVector_Array(ws->lex_row);
  const double* d = DenseVector_Array(ws->d);
  const double* a = DenseVector_Array(ws->column);
  const int* basis = IDenseVector_Array(ws->basis);
  const SparseMatrix_ColumnView matrix = SparseMatrix_Columns(ws->A);
  double scale = 0.0;
  for (int k = 0; k < n; ++k) {
    const double dk = d[k];
    if (dk == 0.0) continue;
    const int c = basis[k];
    for (int p = matrix.start[c - 1]; p < matrix.start[c - 1] + matrix.length[c - 1]; ++p) {
      const double term = matrix.value[p - 1] * dk;
      r[matrix.row[p - 1] - 1] += term;
      if (std::fabs(term) > scale) scale = std::fabs(term);
    }
  }
  double worst = 0.0;
  for (int i = 0; i < n; ++i) {
    const double v = std::fabs(r[i] - a[i]);
    if (!(v <= worst)) worst = v;  // NaN counts as worst
    if (std::fabs(a[i]) > scale) scale = std::fabs(a[i]);
  }
  return scale > 0.0 ? worst / scale : worst;
}

// Above this relative residual the factors are rebuilt.
constexpr double ENTERING_RESIDUAL_LIMIT = 1e-9;

}  // namespace

int Lemke_EnteringColumn(LemkeWorkspace* ws) {
  SolveEnteringColumn(ws);
  // The column replacements of the back-end may lose accuracy; the product
  // B d costs less than the solve and tells. Lost accuracy: refactor, put
  // the basic values right and solve again.
  const double residual = EnteringResidual(ws);
  if (residual <= ENTERING_RESIDUAL_LIMIT) return LEMKE_SOLVED;
  const int code = Lemke_Refactor(ws);
  if (code != LEMKE_SOLVED) return code;
  SolveEnteringColumn(ws);
  return LEMKE_SOLVED;
}

int Lemke_Direction(const LemkeWorkspace* ws, const LemkePivot* pivot) {
  switch (pivot->entering_status) {
    case LEMKE_ENTER_FROM_LOWER:
    case LEMKE_ENTER_RAY_START:
      return 1;
    case LEMKE_ENTER_REPLACED: {
      // The variable an artificial stood in for moves away from the bound
      // it sits at; strictly between its bounds, the way that lowers t.
      const int e = pivot->entering;
      const double x = DenseVector_Value(ws->x, e);
      const double l = DenseVector_Value(ws->lower, e);
      const double u = DenseVector_Value(ws->upper, e);
      if (x <= l) return 1;
      if (x >= u) return -1;
      if (ws->t_position > 0) return DenseVector_Value(ws->d, ws->t_position) >= 0.0 ? 1 : -1;
      return 1;
    }
    default:
      return -1;
  }
}

namespace {

// The ratio test for the entering variable of pivot moving in direction s.
void RatioTestInDirection(LemkeWorkspace* ws, LemkePivot* pivot, int s) {
  const int n = ws->n;
  const LemkeRule& rule = ws->rule;
  const double infinity = Lemke_Infinity();
  pivot->direction = s;

  const int e = pivot->entering;
  const double* lower = DenseVector_Array(ws->lower);
  const double* upper = DenseVector_Array(ws->upper);
  const double* xB = DenseVector_Array(ws->xB);
  const double* d = DenseVector_Array(ws->d);
  const double* weights = DenseVector_Array(ws->weights);
  const int* basis = IDenseVector_Array(ws->basis);
  const double tolerance = rule.pivot_tolerance;
  const double delta = rule.delta;

  // The entering variable's own opposite bound.
  double flip = HUGE_STEP;
  const double xe = DenseVector_Value(ws->x, e);
  if (s > 0 && upper[e - 1] < infinity) flip = NonNegative(upper[e - 1] - xe);
  if (s < 0 && lower[e - 1] > -infinity) flip = NonNegative(xe - lower[e - 1]);

  // Pass 1: the largest step with every basic value within delta of its
  // bounds (delta = 0: the smallest exact ratio).
  double theta_max = flip;
  for (int k = 0; k < n; ++k) {
    const double a = s * d[k];
    if (a > tolerance) {
      const double l = lower[basis[k] - 1];
      if (l > -infinity) {
        const double ratio = NonNegative((xB[k] - l + delta) / a);
        if (ratio < theta_max) theta_max = ratio;
      }
    } else if (a < -tolerance) {
      const double u = upper[basis[k] - 1];
      if (u < infinity) {
        const double ratio = NonNegative((u + delta - xB[k]) / -a);
        if (ratio < theta_max) theta_max = ratio;
      }
    }
  }
  if (theta_max == HUGE_STEP) {
    pivot->position = LEMKE_POSITION_RAY;
    pivot->kind = LEMKE_LEAVE_RAY;
    pivot->leaving = e;
    pivot->theta = 0.0;
    pivot->pivot_element = 0.0;
    return;
  }

  // Pass 2: the eligible candidates are those whose exact ratio is at most
  // theta_max (with a relative tie tolerance).
  const bool lexicographic = rule.lexicographic != 0;
  double bound = theta_max;
  if (lexicographic) {
    // Ties of the exact smallest ratio only.
    bound = flip;
    for (int k = 0; k < n; ++k) {
      const double a = s * d[k];
      if (a > tolerance && lower[basis[k] - 1] > -infinity) {
        const double ratio = NonNegative((xB[k] - lower[basis[k] - 1]) / a);
        if (ratio < bound) bound = ratio;
      } else if (a < -tolerance && upper[basis[k] - 1] < infinity) {
        const double ratio = NonNegative((upper[basis[k] - 1] - xB[k]) / -a);
        if (ratio < bound) bound = ratio;
      }
    }
  }
  const double tie = rule.epsilon * (bound > 1.0 ? bound : 1.0);
  const double limit = bound + tie;

  Choice best{LEMKE_POSITION_RAY, 0, 0, 0.0, 0.0, 0.0, PRIORITY_OTHER};
  if (flip <= limit) {
    const int kind = s > 0 ? LEMKE_LEAVE_UPPER : LEMKE_LEAVE_LOWER;
    best = Choice{LEMKE_POSITION_FLIP, e, kind, flip, 1.0, HUGE_STEP, Priority(n, e)};
  }
  int lex_candidates = 0;
  bool transposed_solves = false;
  for (int k = 0; k < n; ++k) {
    const double a = s * d[k];
    const int c = basis[k];
    double ratio;
    int kind;
    if (a > tolerance && lower[c - 1] > -infinity) {
      ratio = NonNegative((xB[k] - lower[c - 1]) / a);
      kind = LEMKE_LEAVE_LOWER;
    } else if (a < -tolerance && upper[c - 1] < infinity) {
      ratio = NonNegative((upper[c - 1] - xB[k]) / -a);
      kind = LEMKE_LEAVE_UPPER;
    } else {
      continue;
    }
    if (ratio > limit) continue;
    const double magnitude = std::fabs(a);
    const double score =
        rule.type == PIVOT_TYPE_DEVEX ? magnitude / weights[k] : magnitude;
    Choice candidate{k + 1, c, kind, ratio, a, score, Priority(n, c)};
    if (lexicographic && best.position >= 0 && candidate.priority == best.priority &&
        best.priority == PRIORITY_OTHER && best.position > 0) {
      // Resolve the tie between two ordinary rows on the rows of B^-1.
      if (lex_candidates == 0) {
        InverseRow(ws, best.position, ws->lex_best);
        lex_candidates = 1;
      }
      InverseRow(ws, candidate.position, ws->lex_row);
      lex_candidates += 1;
      transposed_solves = true;
      if (LexCompare(ws->lex_row, candidate.alpha, ws->lex_best, best.alpha, n) < 0) {
        best = candidate;
        DenseVector* swap = ws->lex_best;
        ws->lex_best = ws->lex_row;
        ws->lex_row = swap;
      }
      continue;
    }
    if (Better(candidate, best)) {
      best = candidate;
      lex_candidates = 0;
    }
  }
  // The transposed solves leave the back-end's work area holding another
  // right-hand side; the basis replacement needs the entering column's.
  if (transposed_solves) SolveEnteringColumn(ws);

  pivot->position = best.position;
  pivot->leaving = best.column;
  pivot->kind = best.kind;
  pivot->pivot_element = best.position > 0 ? d[best.position - 1] : 0.0;
  if (best.position == LEMKE_POSITION_FLIP) {
    pivot->leaving_value = s > 0 ? upper[e - 1] : lower[e - 1];
  } else {
    pivot->leaving_value =
        best.kind == LEMKE_LEAVE_LOWER ? lower[best.column - 1] : upper[best.column - 1];
  }
  double theta = best.ratio;
  if (best.position > 0 && rule.minimum_step > 0.0) {
    // Never a zero step: at least tau/|a| (the leaving variable ends at most
    // tau beyond its bound), yet never beyond the relaxed pass-1 step.
    double minimum = rule.minimum_step / std::fabs(best.alpha);
    if (minimum > theta_max) minimum = theta_max;
    if (minimum > theta) theta = minimum;
  }
  pivot->theta = theta;
}

}  // namespace

void Lemke_RatioTest(LemkeWorkspace* ws, LemkePivot* pivot) {
  const int s = Lemke_Direction(ws, pivot);
  RatioTestInDirection(ws, pivot, s);
  if (pivot->position >= 0 || pivot->entering_status != LEMKE_ENTER_REPLACED) return;
  // A variable that an artificial stood in for, strictly inside its bounds,
  // whose move leaves t unchanged: either direction is admissible, and the
  // one that meets a blocking variable is taken rather than a ray.
  const int e = pivot->entering;
  const double x = DenseVector_Value(ws->x, e);
  if (!(DenseVector_Value(ws->lower, e) < x && x < DenseVector_Value(ws->upper, e))) return;
  if (ws->t_position > 0 &&
      std::fabs(DenseVector_Value(ws->d, ws->t_position)) > ws->rule.pivot_tolerance) {
    return;
  }
  RatioTestInDirection(ws, pivot, -s);
  if (pivot->position < 0) RatioTestInDirection(ws, pivot, s);
}

int Lemke_RuleAdvance(LemkeWorkspace* ws, const LemkePivot* pivot) {
  LemkeRule& rule = ws->rule;
  Option* o = Lemke_OptionTable;
  switch (rule.type) {
    case PIVOT_TYPE_EXPAND: {
      o[EXPAND_ITERATION].int_value += 1;
      o[EXPAND_DELTA_CURRENT].double_value += o[EXPAND_TAU].double_value;
      if (o[EXPAND_ITERATION].int_value >= o[EXPAND_MAXIMUM_ITERATIONS].int_value) {
        o[EXPAND_ITERATION].int_value = 0;
        o[EXPAND_DELTA_CURRENT].double_value = o[EXPAND_DELTA_START].double_value;
        rule.delta = o[EXPAND_DELTA_CURRENT].double_value;
        return Lemke_Refactor(ws);
      }
      rule.delta = o[EXPAND_DELTA_CURRENT].double_value;
      rule.minimum_step = NonNegative(o[EXPAND_TAU].double_value);
      break;
    }
    case PIVOT_TYPE_ADAPTIVE: {
      const int high = o[ADAPTIVE_ITERATIONS_HIGH].int_value;
      const int low = o[ADAPTIVE_ITERATIONS_LOW].int_value;
      o[ADAPTIVE_ITERATION].int_value += 1;
      const int iteration = o[ADAPTIVE_ITERATION].int_value;
      const double tau =
          iteration <= high ? o[ADAPTIVE_TAU_HIGH].double_value : o[ADAPTIVE_TAU_LOW].double_value;
      o[ADAPTIVE_DELTA_CURRENT].double_value += tau;
      rule.minimum_step = NonNegative(tau);
      // In 64 bits: the two lengths are options and may be as large as int.
      if (std::int64_t{iteration} >= std::int64_t{high} + low) {
        o[ADAPTIVE_ITERATION].int_value = 0;
        o[ADAPTIVE_DELTA_CURRENT].double_value = o[ADAPTIVE_DELTA_HIGH].double_value;
        rule.delta = o[ADAPTIVE_DELTA_CURRENT].double_value;
        return Lemke_Refactor(ws);
      }
      rule.delta = o[ADAPTIVE_DELTA_CURRENT].double_value;
      break;
    }
    case PIVOT_TYPE_DEVEX: {
      // Reference weights of the rows of B^-1 after the exchange at row r:
      // row r is divided by the pivot, row k loses d_k/d_r times row r.
      const int r = pivot->position;
      if (r <= 0) break;
      const int n = ws->n;
      const double* d = DenseVector_Array(ws->d);
      double* w = DenseVector_Array(ws->weights);
      const double dr = std::fabs(d[r - 1]);
      if (!(dr > 0.0)) break;
      const double wr = w[r - 1];
      for (int k = 0; k < n; ++k) {
        if (k == r - 1 || d[k] == 0.0) continue;
        const double candidate = std::fabs(d[k] / dr) * wr;
        if (candidate > w[k]) w[k] = candidate;
      }
      const double scaled = wr / dr;
      w[r - 1] = scaled > 1.0 ? scaled : 1.0;
      break;
    }
    default:
      break;
  }
  rule.delta = NonNegative(rule.delta);
  return LEMKE_SOLVED;
}
