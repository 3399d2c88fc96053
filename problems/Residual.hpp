// Residual and merit functions of a mixed complementarity problem.
//
// A residual function turns each variable i (bounds l_i <= u_i, point x_i,
// function value f_i = F_i(x)) into a measure of how far the pair is from
// complementarity, and a norm reduces the measures to one number together
// with the 1-based index of the worst variable. The merit function is half
// the squared two-norm of a residual; its gradient drives the searches of
// the solver.
//
// Every operation comes in two layers: a kernel on raw arrays (element i of
// a vector at offset i - 1, Jacobian indices counting from 1), and the form
// on the library's records that the solver calls. Bounds are infinite only
// when they equal -infinity or +infinity exactly, infinity being the value
// of the option `infinity`; lambda is the option `chen_lambda`.
//
// A NaN anywhere in l_i, u_i, x_i or f_i makes that variable's measure NaN,
// and a NaN measure wins every norm, the infinity norm included, so that a
// point where F is undefined is never taken for a solution: NaN compares as
// "not below" any tolerance.
#pragma once

#include <cstdint>

#include "core/SparseMatrix.hpp"

struct DenseVector;
struct FunctionJacobian;
struct MCP;

// Residual function codes.
enum ResidualFunction : std::int32_t {
  RESIDUAL_NORMAL_MAP = 0,
  RESIDUAL_FISCHER_BURMEISTER = 1,
  RESIDUAL_PENALIZED_FISCHER_BURMEISTER = 2,
  RESIDUAL_NATURAL = 3,
  RESIDUAL_RELATIVE_COMPLEMENTARITY = 4,
  RESIDUAL_SCALED_PENALIZED_FISCHER_BURMEISTER = 5,
  RESIDUAL_BOUNDED_FISCHER_BURMEISTER = 6,
  RESIDUAL_PIECEWISE = 7,
  RESIDUAL_ULBRICH = 8,  // not implemented: a solver error wherever it is used
};

// Norm codes.
enum ResidualNorm : std::int32_t {
  RESIDUAL_ONE_NORM = 0,
  RESIDUAL_TWO_NORM = 1,
  RESIDUAL_INFINITY_NORM = 2,
};

// 2^-52, the tolerance of the kernels and of the position tests.
constexpr double RESIDUAL_EPS = 2.220446049250313e-16;

// ---------------------------------------------------------------------------
// Scalar kernels
// ---------------------------------------------------------------------------
// All three return 0.0 when abs(a) + abs(b) <= RESIDUAL_EPS and otherwise
// work on a and b scaled by the larger magnitude, so that no intermediate
// square overflows or underflows and no difference of nearly equal numbers
// loses the result. A NaN argument gives NaN; an infinite one gives the
// limit of the formula.

// sqrt(a^2 + b^2).
double Residual_Hypot(double a, double b);

// FB(a, b) = sqrt(a^2 + b^2) - (a + b); zero exactly when a >= 0, b >= 0 and
// a * b = 0. Computed as -2ab / (sqrt(a^2 + b^2) + a + b) when a + b > 0.
double Residual_FischerBurmeister(double a, double b);

// PFB(a, b, lambda) = lambda * FB(a, b) + (lambda - 1) * max(a, 0) * max(b, 0).
double Residual_PenalizedFischerBurmeister(double a, double b, double lambda);

// ---------------------------------------------------------------------------
// Kernels on raw arrays
// ---------------------------------------------------------------------------

// The problem data one residual or merit evaluation reads: n variables, each
// array of n entries (offset i - 1 for variable i), never written.
struct ResidualProblem {
  std::int32_t n;
  const double* lower;
  const double* upper;
  const double* x;
  const double* f;
  double infinity;  // bounds equal to -infinity / +infinity are absent
  double lambda;    // weight of the penalised forms (codes 2 and 5)
};


// Scratch of the merit gradient: four arrays of n doubles and two of n ints,
// overwritten by every call.
struct ResidualScratch {
  double* phi;
  double* da;
  double* db;
  double* jg;
  std::int32_t* lower_mark;
  std::int32_t* upper_mark;
};

// Residual of code 0..7 in norm 0..2: writes the norm to *value and the
// 1-based index of the largest measure to *index (the first of equal ones;
// 0 when n is 0). An unknown norm code writes 0.0. Code 8 is the solver
// error "Ulbrich not implemented yet.", any other code "Invalid residual
// function used." (operation MCP_Residual_FFunction); nothing is written then.
void Residual_Evaluate(const ResidualProblem& problem, int code, int norm, double* value,
                       int* index);

// Norm 0..2 of f (n entries) with the index of the largest abs(f_i), under
// the same rules; an unknown norm code writes 0.0.
void Residual_EvaluateNorm(std::int32_t n, const double* f, int norm, double* value, int* index);

// Normal-map point: for each i, z_i = l_i - f_i when l_i >= x_i and f_i > 0,
// else u_i - f_i when x_i >= u_i and f_i < 0, else x_i. z may be x.
void Residual_EvaluateNormalMap(std::int32_t n, const double* lower, const double* upper,
                                const double* x, const double* f, double* z);

// Merit 0.5 * sum phi_i^2 of code 1, 2, 5, 6 or 7 and its gradient with
// respect to x, for F with Jacobian jacobian at x (n columns stored in any
// order, a diagonal entry may be missing): the exact derivative away from
// the kinks; for codes 1, 2 and 5 a variable on a finite bound with F_i = 0
// (both within eps) takes the derivative along the direction of all such
// variables; a variable whose phi_i is 0 contributes nothing. gradient
// receives n entries; scratch is overwritten; J is not copied. Returns the
// merit (NaN when some phi_i is NaN). Code 8 is the solver
// error "Ulbrich not implemented yet.", every other code "merit function not
// differentiable." (operation MCP_DMerit_Function).
double Residual_EvaluateMeritGradient(const ResidualProblem& problem, int code,
                                      const SparseMatrix_ColumnView& jacobian,
                                      const ResidualScratch& scratch, double* gradient);

// Blends a merit and its gradient (n entries; may be null for the merit
// alone) with a second function of value value and gradient second_gradient
// (n entries): merit := w * merit + (1 - w) * value and gradient :=
// w * gradient + (1 - w) * second_gradient (w = 0 takes the second gradient
// alone, w = 1 keeps the gradient alone).
void Residual_BlendSecondFunction(double weight, double value, const double* second_gradient,
                                  std::int32_t n, double* merit, double* gradient);

// ---------------------------------------------------------------------------
// Forms on the library's records
// ---------------------------------------------------------------------------
// mcp is not read by the residual forms; the merit forms read only its
// second function (mcp may be null: no second function). Vectors must hold
// at least n elements (n from the vector named in each contract); a shorter
// one is the solver error "vector shorter than the problem".

// Residual of code and norm at x with F = f; n is the length of l.
void MCP_Residual_FFunction(MCP* mcp, int code, int norm, const DenseVector* l,
                            const DenseVector* u, const DenseVector* x, const DenseVector* f,
                            double* value, int* index);

// MCP_Residual_FFunction with f the pair's function vector.
void MCP_Residual(MCP* mcp, int code, int norm, const DenseVector* l, const DenseVector* u,
                  const DenseVector* x, FunctionJacobian* pair, double* value, int* index);

// Norm of the pair's function vector over the length of x (l, u and mcp are
// not read); index of its largest abs(f_i).
void Residual_Norm(MCP* mcp, int norm, const DenseVector* x, const DenseVector* l,
                   const DenseVector* u, FunctionJacobian* pair, double* value, int* index);

// z := the normal-map point of x with the record's reduced bounds (MCP_Lower,
// MCP_Upper) and the pair's F; z's length := length of x. z may be x.
void MCP_NormalMapPoint(MCP* mcp, DenseVector* z, const DenseVector* x, FunctionJacobian* pair);

// *merit := 0.5 * (two-norm residual of code)^2, blended with the record's
// second function when one is installed.
void MCP_Merit_Function(MCP* mcp, int code, const DenseVector* l, const DenseVector* u,
                        const DenseVector* x, FunctionJacobian* pair, double* merit);

// *merit := 0.5 * (two-norm of the pair's F over the length of x)^2.
void MCP_Merit_FFunction(MCP* mcp, const DenseVector* x, const DenseVector* l,
                         const DenseVector* u, FunctionJacobian* pair, double* merit);

// Merit of code 1, 2, 5, 6 or 7 at x and its gradient (length := n, the
// length of x; capacity at least n), from the pair's F and Jacobian, blended
// with the record's second function when one is installed (its reduced
// gradient, MCP_SecondFunctionWork, of length n at least). Borrows the
// Workspace merit vectors (a pool must exist; they are grown when shorter
// than n). Errors as Residual_EvaluateMeritGradient.
void MCP_DMerit_Function(MCP* mcp, int code, const DenseVector* l, const DenseVector* u,
                         const DenseVector* x, FunctionJacobian* pair, double* merit,
                         DenseVector* gradient);

// Which residual codes the solver may differentiate, line-search and
// arc-search. Is_Differentiable: 0 for code 0, 1 for 1, 2, 6, 7, 8.
// Is_Linesearchable, Is_Arcsearchable: 1 for 0, 1, 2, 6, 7, 8. Any other
// code is the solver error "Invalid merit function." with the operation's
// name.
int Is_Differentiable(int code);
int Is_Linesearchable(int code);
int Is_Arcsearchable(int code);
