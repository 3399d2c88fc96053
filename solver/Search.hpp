// Search: the arc and line searches of the Newton method, and the merit
// evaluations that the stabilisation, the gradient step and the crash phase
// share.
//
// Every search is non-monotone Armijo backtracking on a merit function. It
// starts at a point x inside its bounds [l, u] (the MCP record's reduced
// bounds), walks a path x(lambda) with x(0) = x towards a target, and accepts
// the first trial step lambda = initial, shrunk after each rejection, whose
// merit f(lambda) passes the sufficient-decrease test against a reference
// value f_ref (the largest recent merit for the stabilisation, the merit at x
// for the monotone searches):
//   differentiable merit (gradient g at x):
//       f(lambda) <= f_ref + sigma * min(0, g'(x(lambda) - x));
//   the normal-map residual (no gradient):
//       f(lambda) <= (1 - sigma * lambda) * f_ref.
// A trial where F is undefined, or whose merit is NaN, is rejected. A search
// fails, having written nothing but F, when the step falls below its minimum,
// when it has used its trial bound, or at once (no evaluation) when the path
// does not lead downhill: g'(x(1) - x) >= 0 for a differentiable merit.
//
// Paths towards a target t, with y the start in the target's space (y = x
// when the target is a point; the normal-map point of x when t is the
// normal-map form of a point) and pi the projection onto [l, u]:
//   line:  x(lambda) = x + lambda * (pi(t) - x);
//   arc:   x(lambda) = pi(y + lambda * (t - y)).
// Both end at pi(t) for lambda = 1.
//
// Scratch: the Workspace search group (vector 1 holds the trial point,
// vector 2 the target of Search_Bounded).
#pragma once

#include <cstdint>

struct DenseVector;
struct FunctionJacobian;
struct MCP;

// Search modes. The projected variants walk the same paths as the plain
// ones: every point a search visits is already projected onto the bounds.
enum SearchMode : int {
  SEARCH_MODE_LINE = 0,
  SEARCH_MODE_PLINE = 1,
  SEARCH_MODE_PARC = 2,
  SEARCH_MODE_ARC = 3,
};

// Why a search ended.
enum SearchStatus : int {
  SEARCH_ACCEPTED = 1,
  SEARCH_NOT_DESCENT = 2,     // the path does not lead downhill; nothing evaluated
  SEARCH_STEP_TOO_SMALL = 3,  // the step fell below the minimum
  SEARCH_TRIAL_LIMIT = 4,     // every allowed trial was rejected
};

// Trials of the stabilisation and gradient searches.
constexpr std::int32_t SEARCH_MAXIMUM_TRIALS = 60;

struct SearchParameters {
  int mode;                       // SearchMode
  int merit_code;                 // ResidualFunction code of the merit
  double sigma;                   // sufficient-decrease fraction
  double minimum_step;            // fail below this step (> 0)
  double shrink;                  // backtracking factor, within (0, 1)
  std::int32_t refine_frequency;  // every this many cuts is interpolated (>= 1)
  int interpolate;                // 0: shrink only
  double initial_step;            // first trial step, within (0, 1]
  std::int32_t maximum_trials;    // evaluations at most (>= 1)
};

struct SearchResult {
  int status;                        // SearchStatus
  double step;                       // accepted step (0 on failure)
  double merit;                      // merit at the accepted point
  std::int32_t function_evaluations; // evaluations of F made by the search
};

// ---------------------------------------------------------------------------
// Option values

// ResidualFunction code of a merit_function / crash_merit_function value:
// automatic and fischer give 1, normal gives 0; any other value is the solver
// error "Invalid merit function.\n".
int Search_MeritCode(int merit_function);

// SearchMode of a search-type option value (arc, line, parc, pline) for the
// stabilisation and the crash: line 0, pline 1, parc 2, arc 3. Another value
// is the solver error "Invalid search type.\n".
int Search_ModeFromOption(int search_type);

// The same for the gradient step, which walks only line (line, pline) or arc
// (arc, parc) paths: 0 or 3.
int Search_GradientModeFromOption(int search_type);

// Option values made safe where they are read, so that no search or phase
// loops forever: a shrink factor is kept within [0.01, 0.99], a step minimum
// above 0, a frequency or count at least 1, an increase factor above 1. A
// NaN takes the lower end.
double Search_ClampShrink(double value);
double Search_ClampMinimumStep(double value);
std::int32_t Search_ClampCount(std::int32_t value);
double Search_ClampIncrease(double value);

// Parameters from the options of each user (mode and sigma included); the
// caller sets merit_code. The stabilisation starts at nms_shrink_factor (its
// full step was already tried) and interpolates when
// nms_sarnsearch_interpolate is on; the gradient step starts at 1.0; the
// crash starts at 1.0 and makes at most crash_minor_iteration_limit trials.
SearchParameters Search_NMSParameters();
SearchParameters Search_GradientParameters();
SearchParameters Search_CrashParameters();

// ---------------------------------------------------------------------------
// Merit at a point
//
// x has the problem's n entries; pair holds F at x (and J at x for the
// gradient). Bounds are the record's reduced ones.

// 0.5 * residual^2 for a differentiable code (MCP_Merit_Function), else the
// two-norm residual (MCP_Residual, norm 1).
double Search_Merit(MCP* mcp, int code, DenseVector* x, FunctionJacobian* pair);

// Merit of a differentiable code and its gradient into g (length := n)
// through MCP_DMerit_Function.
double Search_MeritGradient(MCP* mcp, int code, DenseVector* x, FunctionJacobian* pair,
                            DenseVector* g);

// ---------------------------------------------------------------------------
// Searches
//
// x: start (n entries, inside the bounds); g: merit gradient at x (read only
// for a differentiable merit; may be null otherwise); f_x: merit at x (used
// to interpolate); f_ref: reference value; pair: receives F at every trial,
// so after success it holds F at the accepted point, and after a failure F
// at the last trial. x_out (n entries of room; may be x) receives the
// accepted point and is not written on failure. Returns 1 on success, 0 on
// failure, with the details in *result. Never evaluates the Jacobian.

// Path from x (with start y in the target's space, y may be x) to the
// target t.
int Search_Between(MCP* mcp, const SearchParameters* p, DenseVector* x, DenseVector* y,
                   DenseVector* t, DenseVector* g, double f_x, double f_ref,
                   FunctionJacobian* pair, DenseVector* x_out, SearchResult* result);

// Downhill from x along minus the gradient g, with the merit at x as the
// reference: line x + lambda (pi(x - g) - x), arc pi(x - lambda g).
int Search_Bounded(MCP* mcp, const SearchParameters* p, DenseVector* x, DenseVector* g,
                   double f_x, FunctionJacobian* pair, DenseVector* x_out, SearchResult* result);
