// Arc and line searches: non-monotone Armijo backtracking on a merit
// function along a projected path, with safeguarded quadratic cuts.
#include "solver/Search.hpp"

#include <cmath>
#include <limits>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/Options.hpp"
#include "core/Workspace.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/SarnOptions.hpp"

namespace {

constexpr double kShrinkLow = 0.01;
constexpr double kShrinkHigh = 0.99;
// Smallest fraction of the last step that an interpolated cut may take.
constexpr double kInterpolateLow = 0.1;

// Median of a, x and b for a <= b (the projection of x onto [a, b]).
double Mid(double a, double x, double b) {
  if (x < a) return a;
  if (x > b) return b;
  return x;
}

// Scratch vector v with room for n entries.
DenseVector* Room(DenseVector* v, std::int32_t n) {
  if (DenseVector_Capacity(v) < n) DenseVector_Size(v, n);
  return v;
}

// trial := x(lambda) on the path from x (start y) to t.
void PathPoint(bool arc, double lambda, std::int32_t n, const double* l, const double* u,
               const double* x, const double* y, const double* t, double* trial) {
  if (arc) {
    for (std::int32_t i = 0; i < n; ++i) {
      trial[i] = Mid(l[i], y[i] + lambda * (t[i] - y[i]), u[i]);
    }
  } else {
    // x + (pi(t) - x) need not round to pi(t), nor stay within [l, u]: the
    // full step takes pi(t) itself and a shorter one is kept in the bounds.
    for (std::int32_t i = 0; i < n; ++i) {
      const double p = Mid(l[i], t[i], u[i]);
      trial[i] = lambda == 1.0 ? p : Mid(l[i], x[i] + lambda * (p - x[i]), u[i]);
    }
  }
}

// g'(v - x) over n entries.
double Slope(std::int32_t n, const double* g, const double* v, const double* x) {
  double s = 0.0;
  for (std::int32_t i = 0; i < n; ++i) s += g[i] * (v[i] - x[i]);
  return s;
}

// The next trial step after a rejection. A cut after a defined trial of a
// differentiable merit takes the minimiser of the quadratic through f_x,
// the slope s along the trial and f_t, kept within [0.1, shrink] times the
// last step; any other cut multiplies by shrink.
double NextStep(const SearchParameters* p, double lambda, std::int32_t cuts, bool modelled,
                double f_x, double s, double f_t) {
  double plain = lambda * p->shrink;
  if (!modelled || !p->interpolate || cuts % p->refine_frequency != 0) return plain;
  if (!(s < 0.0) || !std::isfinite(f_t) || !std::isfinite(f_x)) return plain;
  // q(tau) = f_x + a tau + b tau^2 on [0, lambda] with q(lambda) = f_t.
  double a = s / lambda;
  double b = (f_t - f_x - s) / (lambda * lambda);
  if (!(b > 0.0)) return plain;
  double tau = -a / (2.0 * b);
  double low = kInterpolateLow * lambda;
  if (!(tau >= low)) return low;
  if (tau > plain) return plain;
  return tau;
}

}  // namespace

// ---------------------------------------------------------------------------
// Option values

int Search_MeritCode(int merit_function) {
  switch (merit_function) {
    case MERIT_FUNCTION_AUTOMATIC:
    case MERIT_FUNCTION_FISCHER:
      return RESIDUAL_FISCHER_BURMEISTER;
    case MERIT_FUNCTION_NORMAL:
      return RESIDUAL_NORMAL_MAP;
    default:
      Error_SolverError("Invalid merit function.\n");
  }
}

int Search_ModeFromOption(int search_type) {
  switch (search_type) {
    case SEARCH_TYPE_LINE: return SEARCH_MODE_LINE;
    case SEARCH_TYPE_PLINE: return SEARCH_MODE_PLINE;
    case SEARCH_TYPE_PARC: return SEARCH_MODE_PARC;
    case SEARCH_TYPE_ARC: return SEARCH_MODE_ARC;
    default: Error_SolverError("Invalid search type.\n");
  }
}

int Search_GradientModeFromOption(int search_type) {
  switch (search_type) {
    case SEARCH_TYPE_LINE:
    case SEARCH_TYPE_PLINE:
      return SEARCH_MODE_LINE;
    case SEARCH_TYPE_ARC:
    case SEARCH_TYPE_PARC:
      return SEARCH_MODE_ARC;
    default:
      Error_SolverError("Invalid search type.\n");
  }
}

double Search_ClampShrink(double value) {
  if (!(value >= kShrinkLow)) return kShrinkLow;
  if (value > kShrinkHigh) return kShrinkHigh;
  return value;
}

double Search_ClampMinimumStep(double value) {
  if (!(value > 0.0)) return std::numeric_limits<double>::min();
  return value;
}

std::int32_t Search_ClampCount(std::int32_t value) { return value < 1 ? 1 : value; }

double Search_ClampIncrease(double value) {
  if (!(value > 1.0)) return 2.0;
  return value;
}

namespace {

SearchParameters ReadParameters(int mode, int sigma, int minimum, int shrink, int refine) {
  SearchParameters p{};
  p.mode = mode;
  p.merit_code = RESIDUAL_FISCHER_BURMEISTER;
  p.sigma = Sarn_OptionDouble(sigma);
  p.minimum_step = Search_ClampMinimumStep(Sarn_OptionDouble(minimum));
  p.shrink = Search_ClampShrink(Sarn_OptionDouble(shrink));
  p.refine_frequency = Search_ClampCount(Sarn_OptionInt(refine));
  p.interpolate = 1;
  p.initial_step = 1.0;
  p.maximum_trials = SEARCH_MAXIMUM_TRIALS;
  return p;
}

}  // namespace

SearchParameters Search_NMSParameters() {
  SearchParameters p = ReadParameters(Search_ModeFromOption(Sarn_OptionInt(SARN_NMS_SEARCHTYPE)),
                                      SARN_NMS_SIGMA, SARN_NMS_STEPSIZE_MINIMUM,
                                      SARN_NMS_SHRINK_FACTOR, SARN_NMS_REFINE_FREQUENCY);
  p.interpolate = Sarn_OptionBool(SARN_NMS_SARNSEARCH_INTERPOLATE) ? 1 : 0;
  p.initial_step = p.shrink;
  return p;
}

SearchParameters Search_GradientParameters() {
  return ReadParameters(Search_GradientModeFromOption(Sarn_OptionInt(SARN_GRADIENT_SEARCHTYPE)),
                        SARN_GRADIENT_SIGMA, SARN_GRADIENT_STEPSIZE_MINIMUM,
                        SARN_GRADIENT_SHRINK_FACTOR, SARN_GRADIENT_REFINE_FREQUENCY);
}

SearchParameters Search_CrashParameters() {
  SearchParameters p =
      ReadParameters(Search_ModeFromOption(Sarn_OptionInt(SARN_CRASH_SEARCHTYPE)),
                     SARN_CRASH_SIGMA, SARN_CRASH_STEPSIZE_MINIMUM, SARN_CRASH_SHRINK_FACTOR,
                     SARN_CRASH_REFINE_FREQUENCY);
  p.maximum_trials = Search_ClampCount(Options_CommonInt(COMMON_CRASH_MINOR_ITERATION_LIMIT));
  return p;
}

// ---------------------------------------------------------------------------
// Merit at a point

double Search_Merit(MCP* mcp, int code, DenseVector* x, FunctionJacobian* pair) {
  double merit = 0.0;
  if (Is_Differentiable(code)) {
    MCP_Merit_Function(mcp, code, MCP_Lower(mcp), MCP_Upper(mcp), x, pair, &merit);
  } else {
    int index = 0;
    MCP_Residual(mcp, code, RESIDUAL_TWO_NORM, MCP_Lower(mcp), MCP_Upper(mcp), x, pair, &merit,
                 &index);
  }
  return merit;
}

double Search_MeritGradient(MCP* mcp, int code, DenseVector* x, FunctionJacobian* pair,
                            DenseVector* g) {
  double merit = 0.0;
  MCP_DMerit_Function(mcp, code, MCP_Lower(mcp), MCP_Upper(mcp), x, pair, &merit, g);
  return merit;
}

// ---------------------------------------------------------------------------
// Searches

int Search_Between(MCP* mcp, const SearchParameters* p, DenseVector* x, DenseVector* y,
                   DenseVector* t, DenseVector* g, double f_x, double f_ref,
                   FunctionJacobian* pair, DenseVector* x_out, SearchResult* result) {
  *result = SearchResult{SEARCH_TRIAL_LIMIT, 0.0, f_x, 0};
  bool arc;
  switch (p->mode) {
    case SEARCH_MODE_LINE:
    case SEARCH_MODE_PLINE:
      arc = false;
      break;
    case SEARCH_MODE_PARC:
    case SEARCH_MODE_ARC:
      arc = true;
      break;
    default:
      Error_SolverError("Invalid search type.\n");
  }
  const std::int32_t n = DenseVector_Length(x);
  const bool differentiable = Is_Differentiable(p->merit_code) != 0;
  const double* l = DenseVector_Array(MCP_Lower(mcp));
  const double* u = DenseVector_Array(MCP_Upper(mcp));
  const double* xs = DenseVector_Array(x);
  const double* ys = DenseVector_Array(y);
  const double* ts = DenseVector_Array(t);
  const double* gs = differentiable ? DenseVector_Array(g) : nullptr;

  DenseVector* trial = Room(Workspace_SearchVector1(), n);
  DenseVector_SetLength(trial, n);
  double* ws = DenseVector_Array(trial);

  // The full step must lead downhill.
  if (differentiable) {
    PathPoint(false, 1.0, n, l, u, xs, ys, ts, ws);
    if (!(Slope(n, gs, ws, xs) < 0.0)) {
      result->status = SEARCH_NOT_DESCENT;
      return 0;
    }
  }

  const std::int32_t trials = Search_ClampCount(p->maximum_trials);
  const double minimum = Search_ClampMinimumStep(p->minimum_step);
  double lambda = p->initial_step > 0.0 && p->initial_step <= 1.0 ? p->initial_step : 1.0;
  for (std::int32_t cuts = 0; cuts < trials; ++cuts) {
    if (!(lambda >= minimum)) {
      result->status = SEARCH_STEP_TOO_SMALL;
      return 0;
    }
    PathPoint(arc, lambda, n, l, u, xs, ys, ts, ws);
    int defined = MCP_Function(mcp, trial, pair);
    result->function_evaluations += 1;
    double f_t = std::numeric_limits<double>::quiet_NaN();
    double s = 0.0;
    if (defined) {
      f_t = Search_Merit(mcp, p->merit_code, trial, pair);
      bool accept;
      if (differentiable) {
        s = Slope(n, gs, ws, xs);
        accept = f_t <= f_ref + p->sigma * (s < 0.0 ? s : 0.0);
      } else {
        accept = f_t <= (1.0 - p->sigma * lambda) * f_ref;
      }
      if (accept) {
        DenseVector_CloneFull(x_out, trial);
        *result = SearchResult{SEARCH_ACCEPTED, lambda, f_t, result->function_evaluations};
        return 1;
      }
    }
    lambda = NextStep(p, lambda, cuts + 1, defined && differentiable, f_x, s, f_t);
  }
  result->status = SEARCH_TRIAL_LIMIT;
  return 0;
}

int Search_Bounded(MCP* mcp, const SearchParameters* p, DenseVector* x, DenseVector* g,
                   double f_x, FunctionJacobian* pair, DenseVector* x_out,
                   SearchResult* result) {
  const std::int32_t n = DenseVector_Length(x);
  DenseVector* target = Room(Workspace_SearchVector2(), n);
  DenseVector_Sub(target, x, g);
  if (!Is_Differentiable(p->merit_code)) {
    Error_Report("Search", __LINE__, "Bounded", "merit function not differentiable");
  }
  return Search_Between(mcp, p, x, x, target, g, f_x, f_x, pair, x_out, result);
}
