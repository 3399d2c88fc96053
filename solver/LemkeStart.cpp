// Lemke: the starting basis (given, advanced, constructed, slack, artificial),
// the start (residual or ray covering column) and the reset of the pivot
// state before the first step.
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

// Private generator of the random ray type (a 64-bit linear congruential
// generator; the library never touches the runtime's rand state).
// The generator's state at load; seed 0 puts it back.
constexpr std::uint64_t LEMKE_RANDOM_BASE = 0x853c49e6748fea9bULL;
std::uint64_t lemke_random_state = LEMKE_RANDOM_BASE;

constexpr unsigned int LEMKE_RANDOM_SEED = 20031u;

// True when the basis factored and is nonsingular.
bool FactorBasis(LemkeWorkspace* ws) {
  return Basis_Factor(ws->factor, ws->A, ws->basis) == BASIS_FACTORED;
}

void SetWorking(LemkeWorkspace* ws, int factor_given, int start_given) {
  ws->factor_given_basis_used = factor_given;
  ws->start_from_given_basis_used = start_given;
}

// Stage 2: the given basis with every variable put at the bound its slack
// says (an advanced start).
bool AdvancedStart(LemkeWorkspace* ws) {
  Error_Warning("Advanced Lemke Start.\n");
  Lemke_RemoveArtificials();
  const int n = ws->n;
  const double infinity = Lemke_Infinity();
  double* x = DenseVector_Array(ws->x);
  const double* lower = DenseVector_Array(ws->lower);
  const double* upper = DenseVector_Array(ws->upper);
  int* basis = IDenseVector_Array(ws->basis);
  bool changed = false;
  for (int k = 1; k <= n; ++k) {
    const int c = basis[k - 1];
    const int i = Lemke_ColumnRow(n, c);
    const double l = lower[i - 1], u = upper[i - 1];
    switch (Lemke_ColumnClass(n, c)) {
      case LEMKE_COLUMN_W: x[i - 1] = l; break;
      case LEMKE_COLUMN_V: x[i - 1] = u; break;
      case LEMKE_COLUMN_ARTIFICIAL:
        // The artificial keeps standing in for z_i, which keeps its start
        // value strictly inside its bounds (the setup gives an artificial
        // only there), so that it can later enter in either direction.
        IDenseVector_SetValue(ws->artificial, i, i);
        break;
      default:  // z column
        if (l <= -infinity && u >= infinity) {
          x[i - 1] = 0.0;
        } else if (l <= -infinity) {
          x[i - 1] = u - 1.0;
        } else if (u >= infinity) {
          x[i - 1] = l + 1.0;
        } else {
          basis[k - 1] = c + n;
          changed = true;
          x[i - 1] = l;
        }
        break;
    }
    x[n + i - 1] = 0.0;
    x[2 * n + i - 1] = 0.0;
  }
  if (FactorBasis(ws)) {
    SetWorking(ws, 0, changed ? 0 : 1);
    return true;
  }
  Error_Warning("Lemke: Basis: given basis not invertible; generating one.\n");
  return false;
}

// Stage 3: a basis built from the start point and r = M z + q.
bool ConstructedStart(LemkeWorkspace* ws, LCP* lcp) {
  Error_Warning("Advanced Basis Start.\n");
  SetWorking(ws, 1, 0);
  Lemke_RemoveArtificials();
  const int n = ws->n;
  double* x = DenseVector_Array(ws->x);
  const double* lower = DenseVector_Array(ws->lower);
  const double* upper = DenseVector_Array(ws->upper);
  const double* r = DenseVector_Array(ws->cover);
  int* basis = IDenseVector_Array(ws->basis);
  for (int i = 1; i <= n; ++i) {
    const double l = lower[i - 1], u = upper[i - 1], xi = x[i - 1], di = r[i - 1];
    int column = i;
    double w = 0.0, v = 0.0;
    if (l < xi && xi < u) {
      column = i;
    } else if (xi == l) {
      if (di > 0) {
        column = n + i;
        w = di;
      }
    } else if (xi == u) {
      if (di < 0) {
        column = 2 * n + i;
        v = -di;
      }
    } else {
      Error_SolverError("Lemke: Basis: inconsistent element.\n");
    }
    basis[i - 1] = column;
    x[n + i - 1] = w;
    x[2 * n + i - 1] = v;
  }
  if (FactorBasis(ws)) return true;
  Error_Warning("Constructed basis not invertible.\n");
  if (Lemke_Factor(lcp)) return true;
  Error_Warning("Lemke: Basis: basis not invertible; generating slack one.\n");
  return false;
}

// Stages 4 and 5: slacks at a finite bound; a free row takes z_i (stage 4)
// or its artificial (stage 5).
void SlackBasis(LemkeWorkspace* ws, bool artificial_for_free) {
  Lemke_RemoveArtificials();
  const int n = ws->n;
  const double infinity = Lemke_Infinity();
  double* x = DenseVector_Array(ws->x);
  const double* lower = DenseVector_Array(ws->lower);
  const double* upper = DenseVector_Array(ws->upper);
  int* basis = IDenseVector_Array(ws->basis);
  for (int i = 1; i <= n; ++i) {
    const double l = lower[i - 1], u = upper[i - 1];
    if (l > -infinity) {
      basis[i - 1] = n + i;
      x[i - 1] = l;
    } else if (u < infinity) {
      basis[i - 1] = 2 * n + i;
      x[i - 1] = u;
    } else {
      x[i - 1] = 0.0;
      if (artificial_for_free) {
        basis[i - 1] = 3 * n + i;
        IDenseVector_SetValue(ws->artificial, i, i);
      } else {
        basis[i - 1] = i;
      }
    }
    x[n + i - 1] = 0.0;
    x[2 * n + i - 1] = 0.0;
  }
}

}  // namespace

void Lemke_RandomSeed(unsigned int seed) {
  lemke_random_state = LEMKE_RANDOM_BASE ^ (static_cast<std::uint64_t>(seed) << 17);
}

bool Lemke_RandomAtRest() { return lemke_random_state == LEMKE_RANDOM_BASE; }

double Lemke_RandomUniform() {
  lemke_random_state = lemke_random_state * 6364136223846793005ULL + 1442695040888963407ULL;
  // The top 53 bits as a fraction in [0, 1).
  return static_cast<double>(lemke_random_state >> 11) * (1.0 / 9007199254740992.0);
}

void Lemke_Basis(LCP* lcp) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Basis");
  const int given_factor = ws->factor_given_basis;
  const int given_start = ws->start_from_given_basis;
  bool made = false;

  // The given basis, factored unchanged.
  if (given_factor && given_start) {
    if (FactorBasis(ws)) {
      SetWorking(ws, 1, 1);
      made = true;
    } else {
      Error_Warning("Lemke: GivenBasis not factored.\n");
      if (Lemke_Factor(lcp)) {
        SetWorking(ws, 1, 0);
        made = true;
      } else {
        Error_Warning("Lemke: Basis: given basis not invertible.  Generating basis.\n");
      }
    }
  }
  // Advanced start from the given basis.
  if (!made && !given_factor && given_start) made = AdvancedStart(ws);
  // Basis constructed from the start point.
  if (!made && given_factor) made = ConstructedStart(ws, lcp);
  // Slack basis.
  if (!made) {
    Error_Warning("Lemke Start.\n");
    SetWorking(ws, 0, 0);
    SlackBasis(ws, false);
    if (FactorBasis(ws) || Lemke_Factor(lcp)) {
      made = true;
    } else {
      Error_Warning("Lemke: Basis: fixed basis not invertible.  Generating all slack basis.\n");
    }
  }
  // Slacks and artificials only: always invertible in exact arithmetic.
  if (!made) {
    Error_Warning("Artificial Lemke Start.\n");
    SetWorking(ws, 0, 0);
    SlackBasis(ws, true);
    made = FactorBasis(ws);
  }
  if (!made) {
    Error_SolverError(
        "Lemke: invertible basis could not be computed.\n"
        "       You may avoid this error by increasing the\n"
        "       lemke_rank_deficiency_iterations option.\n");
  }

  // A ray start needs a basis of slacks and z columns only.
  ws->ray_start = 0;
  if (!ws->factor_given_basis_used) {
    ws->ray_start = 1;
    const int n = ws->n;
    const int* basis = IDenseVector_Array(ws->basis);
    for (int k = 1; k <= n; ++k) {
      if (Lemke_ColumnClass(n, basis[k - 1]) == LEMKE_COLUMN_ARTIFICIAL) {
        ws->ray_start = 0;
        break;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Start.

namespace {

// Sign a ray-start direction must have in row i so that t moves the basic
// variable toward its bounds: -1 (w, v, z bounded below only), +1 (z
// bounded above only), 0 (free z, no direction).
int RayRowSign(LemkeWorkspace* ws, int c, int* row) {
  const int n = ws->n;
  const double infinity = Lemke_Infinity();
  switch (Lemke_ColumnClass(n, c)) {
    case LEMKE_COLUMN_W: *row = c - n; return -1;
    case LEMKE_COLUMN_V: *row = c - 2 * n; return -1;
    case LEMKE_COLUMN_Z: {
      *row = c;
      const double l = DenseVector_Value(ws->lower, c);
      const double u = DenseVector_Value(ws->upper, c);
      const bool low = l > -infinity, up = u < infinity;
      if (!low && !up) return 0;
      if (low && !up) return -1;
      if (!low && up) return 1;
      Error_SolverError("Problem with Lemke Start.\n");
    }
    default:
      Error_SolverError("Artificials not allowed in lemke start.\n");
  }
}

// Default ray entry of the ray type for basic column c in row i.
double RayDefault(int type, int sign, int c, int i, int n) {
  const double m = n;
  switch (type) {
    case RAY_TYPE_UNIFORM:
      if (sign > 0) return 1.0 + c / m;
      if (c <= n) return -1.0 - c / m;          // z bounded below
      if (c <= 2 * n) return -c / m;            // w
      return 1.0 - c / m;                       // v
    case RAY_TYPE_DECREASING:
      return sign * (1.0 / i + 1.0);
    case RAY_TYPE_RANDOM:
      return sign * (1.0 + Lemke_RandomUniform());
    default:
      return sign;
  }
}

void ResidualStart(LemkeWorkspace* ws) {
  const int n = ws->n;
  ws->residual_scaled = 0;
  ws->residual_scale = 0.0;
  // d := -(A x + q) over the 4n columns of A (t excluded).
  SparseMatrix_Mult(ws->cover, ws->A, ws->x, ws->q);
  DenseVector_Negate(ws->cover);
  if (Lemke_OptionBool(LEMKE_SCALE_RESIDUAL)) {
    double s = 0.0;
    const double* d = DenseVector_Array(ws->cover);
    for (int i = 0; i < n; ++i) {
      const double a = std::fabs(d[i]);
      if (a > s) s = a;
    }
    if (s > 0.0 && s < Lemke_Infinity()) {
      Error_Warning("Residual scaled (%e).\n", s);
      ws->residual_scaled = 1;
      ws->residual_scale = s;
      DenseVector_SetValue(ws->x, 4 * n + 1, s);
      DenseVector_DivScalar(ws->cover, ws->cover, s);
    }
  }
  SparseMatrix_AppendColumn(ws->A, ws->cover);
  ws->a_nnz = SparseMatrix_NNZ(ws->A);
  double* x = DenseVector_Array(ws->x);
  double* xB = DenseVector_Array(ws->xB);
  const int* basis = IDenseVector_Array(ws->basis);
  DenseVector_SetLength(ws->xB, n);
  for (int k = 0; k < n; ++k) {
    xB[k] = x[basis[k] - 1];
    x[basis[k] - 1] = 0.0;
  }
}

void RayStart(LemkeWorkspace* ws) {
  const int n = ws->n;
  ws->residual_scaled = 0;
  ws->residual_scale = 0.0;
  double* x = DenseVector_Array(ws->x);
  const int* basis = IDenseVector_Array(ws->basis);
  for (int k = 0; k < n; ++k) x[basis[k] - 1] = 0.0;

  // Basic values at t = 0.
  Lemke_BasicValuesAt(ws, ws->x);

  // Direction per row: the gateway's start values when they fit, else the
  // ray type. A start value of the wrong sign (or zero, or not finite) would
  // leave a basic variable infeasible at every t, so it is replaced.
  const int type = Lemke_OptionInt(LEMKE_RAY_TYPE);
  const double* start = Lemke_StartValues(n);
  if (type == RAY_TYPE_RANDOM) Lemke_RandomSeed(LEMKE_RANDOM_SEED);
  DenseVector_FillZero(ws->direction, n);
  DenseVector_FillZero(ws->column, n);
  double* e = DenseVector_Array(ws->direction);
  double* by_position = DenseVector_Array(ws->column);
  for (int k = 1; k <= n; ++k) {
    const int c = basis[k - 1];
    int row = 0;
    const int sign = RayRowSign(ws, c, &row);
    double value = 0.0;
    if (sign != 0) {
      const double given = start != nullptr ? start[k - 1] : 0.0;
      if (std::isfinite(given) && given * sign > 0.0) {
        value = given;
      } else {
        value = RayDefault(type, sign, c, row, n);
      }
    }
    e[row - 1] = value;
    by_position[k - 1] = value;
  }
  Lemke_ClearStartValues();

  // Covering column B e: B^-1 of it is the direction in position order.
  SparseMatrix_MultColumns(ws->cover, ws->A, ws->basis, ws->column, nullptr);
  SparseMatrix_AppendColumn(ws->A, ws->cover);
  ws->a_nnz = SparseMatrix_NNZ(ws->A);
  DenseVector_SetValue(ws->x, 4 * n + 1, 0.0);
}

}  // namespace

void Lemke_Start() {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("Start");
  if (ws->ray_start) {
    RayStart(ws);
  } else {
    ResidualStart(ws);
  }
  ws->cols = SparseMatrix_Cols(ws->A);
}

void Lemke_ResetPivotState(LemkePivot* pivot) {
  LemkeWorkspace* ws = Lemke_RequireWorkspace("ResetPivotState");
  const int n = ws->n;

  // Limits and counters.
  if (ws->ray_start) {
    const std::int64_t by_size =
        static_cast<std::int64_t>(n) * Lemke_OptionInt(LEMKE_SIZE_FACTOR);
    const std::int64_t maximum = Lemke_OptionInt(LEMKE_MAXIMUM_ITERATION_LIMIT);
    const std::int64_t limit = by_size < maximum ? by_size : maximum;
    ws->minor_limit = static_cast<std::int32_t>(limit < 0 ? 0 : limit);
  } else {
    ws->minor_limit = Options_CommonInt(COMMON_MINOR_ITERATION_LIMIT);
  }
  ws->minor_count = 0;
  ws->refactor_count = 0;
  IDenseVector_FillZero(ws->cycle_counts, 4 * n + 1);
  ws->cycle_touched_count = 0;
  ws->cycle_watch = 0;

  // Expanding tolerances of the rule (kept in the option records).
  const int type = Lemke_OptionInt(LEMKE_PIVOT_TYPE);
  if (type == PIVOT_TYPE_EXPAND) {
    Option* o = Lemke_OptionTable;
    o[EXPAND_DELTA_START].double_value = 0.5 * o[EXPAND_DELTA].double_value;
    o[EXPAND_DELTA_END].double_value = 0.99 * o[EXPAND_DELTA].double_value;
    o[EXPAND_ITERATION].int_value = 0;
    const int iterations = o[EXPAND_MAXIMUM_ITERATIONS].int_value;
    o[EXPAND_TAU].double_value =
        (o[EXPAND_DELTA_END].double_value - o[EXPAND_DELTA_START].double_value) /
        (iterations > 0 ? iterations : 1);
    o[EXPAND_DELTA_CURRENT].double_value = o[EXPAND_DELTA_START].double_value;
  } else if (type == PIVOT_TYPE_ADAPTIVE) {
    Option* o = Lemke_OptionTable;
    const int high = o[ADAPTIVE_ITERATIONS_HIGH].int_value;
    const int low = o[ADAPTIVE_ITERATIONS_LOW].int_value;
    o[ADAPTIVE_DELTA_CURRENT].double_value = o[ADAPTIVE_DELTA_HIGH].double_value;
    o[ADAPTIVE_TAU_HIGH].double_value =
        (o[ADAPTIVE_DELTA_BREAK].double_value - o[ADAPTIVE_DELTA_HIGH].double_value) /
        (high > 0 ? high : 1);
    o[ADAPTIVE_TAU_LOW].double_value =
        (o[ADAPTIVE_DELTA_LOW].double_value - o[ADAPTIVE_DELTA_BREAK].double_value) /
        (low > 0 ? low : 1);
    o[ADAPTIVE_ITERATION].int_value = 0;
  }

  // Best point and smallest t.
  ws->best_t = Lemke_Infinity();
  ws->smallest_t = Lemke_Infinity();
  ws->best_saved = 0;
  ws->first_step = 0;
  ws->t_position = 0;

  // T enters first: up from 0 on a ray start, down from its value on a
  // residual start.
  const double t = DenseVector_Value(ws->x, 4 * n + 1);
  *pivot = LemkePivot{};
  pivot->entering = 4 * n + 1;
  pivot->t_now = t;
  pivot->t_after = t;
  pivot->entering_value = t;
  pivot->entering_status = ws->ray_start ? LEMKE_ENTER_RAY_START : LEMKE_ENTER_RESIDUAL_START;
  pivot->leaving = -1;
  pivot->position = LEMKE_POSITION_RAY;
  pivot->theta = -1.0;
  pivot->leaving_value = -1.0;
  pivot->kind = LEMKE_LEAVE_RAY;
  pivot->direction = ws->ray_start ? 1 : -1;
  pivot->pivot_element = 0.0;
}
