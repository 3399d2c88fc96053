// Merit function gradient: the derivative of 0.5 * sum phi_i^2 for the
// differentiable residual codes, the blend with a second function, and the
// predicates that tell the solver what it may do with a code.
//
// Row i of the Jacobian of phi is db_i * (row i of J) + da_i * e_i: da_i is
// the derivative of phi_i with respect to x_i itself and db_i the one with
// respect to f_i. The gradient is therefore
//   g_j = da_j phi_j + sum_i J_ij db_i phi_i,
// one pass over the columns of J, with no copy of J.
#include <cmath>

#include "problems/Residual.hpp"
#include "problems/Residual_internal.hpp"

namespace {

constexpr double kEps = RESIDUAL_EPS;
// Floor of the norms that are divided by away from the degenerate points.
constexpr double kFloor = 1e-12;

double H(double a, double b) { return Residual_Hypot(a, b); }
double FB(double a, double b) { return Residual_FischerBurmeister(a, b); }
double PFB(double a, double b, double lambda) {
  return Residual_PenalizedFischerBurmeister(a, b, lambda);
}
// max(h, floor), keeping a NaN.
double Floored(double h) { return h < kFloor ? kFloor : h; }

// Derivatives of phi_i with respect to x_i (da) and f_i (db).
struct Weights {
  double da;
  double db;
};

// What one variable contributes to the weights.
struct Variable {
  double l, u, x, f;
  bool lf, uf;          // bound finite
  bool lower_marked;    // degenerate at its lower bound (codes 1, 2, 5)
  bool upper_marked;    // degenerate at its upper bound (codes 1, 2, 5)
  double jg;            // row i of J times the indicator of the marked variables
};

// Derivative of FB(a, b) along the direction (1, t) at a degenerate point:
// (1 / h - 1, t / h - 1) with h = |(1, t)|, scaled by s.
Weights Degenerate(double sign, double t, double s) {
  double h = H(1.0, t);
  return {s * (sign / h - 1.0), s * (sign * t / h - 1.0)};
}

// Code 1: phi = FB(x - l, FB(u - x, -f)), FB(x - l, f), -FB(u - x, -f) or -f.
Weights FischerWeights(const Variable& v) {
  if (!v.lf && !v.uf) return {0.0, -1.0};
  if (v.lf && v.uf) {
    // p and q: minus the derivatives of the inner FB(u - x, -f) by x and f.
    double p, q;
    if (v.upper_marked) {
      double h = H(1.0, v.jg);
      p = 1.0 / h + 1.0;
      q = v.jg / h + 1.0;
    } else {
      double h = Floored(H(v.u - v.x, v.f));
      p = (v.x - v.u) / h + 1.0;
      q = v.f / h + 1.0;
    }
    // alpha and beta: derivatives of the outer FB by its two arguments.
    double alpha, beta;
    if (v.lower_marked) {
      double t = p + q * v.jg;
      double h = H(1.0, t);
      alpha = 1.0 / h - 1.0;
      beta = t / h - 1.0;
    } else {
      double psi = FB(v.u - v.x, -v.f);
      double h = Floored(H(v.x - v.l, psi));
      alpha = (v.x - v.l) / h - 1.0;
      beta = psi / h - 1.0;
    }
    return {alpha + beta * p, beta * q};
  }
  if (v.lf) {
    if (v.lower_marked) return Degenerate(1.0, v.jg, 1.0);
    double h = Floored(H(v.x - v.l, v.f));
    return {(v.x - v.l) / h - 1.0, v.f / h - 1.0};
  }
  if (v.upper_marked) return Degenerate(-1.0, v.jg, 1.0);
  double h = Floored(H(v.u - v.x, v.f));
  return {(v.u - v.x) / h - 1.0, -v.f / h - 1.0};
}

// Derivatives (c, d) of PFB(a, b, lambda) by a and b away from (0, 0).
Weights PenalizedPartials(double a, double b, double lambda) {
  double h = Floored(H(a, b));
  Weights w{lambda * (a / h - 1.0), lambda * (b / h - 1.0)};
  if (a > 0.0 && b > 0.0) {
    w.da += (lambda - 1.0) * b;
    w.db += (lambda - 1.0) * a;
  }
  return w;
}

// Code 2: phi = FB(x - l, PFB(u - x, -f)), PFB(x - l, f), -PFB(u - x, -f)
// or -f. The outer function of the boxed case is the plain FB, so its
// partial derivatives carry no factor lambda.
Weights PenalizedWeights(const Variable& v, double lambda) {
  if (!v.lf && !v.uf) return {0.0, -1.0};
  if (v.lf && v.uf) {
    double psi = PFB(v.u - v.x, -v.f, lambda);
    double h1 = Floored(H(v.x - v.l, psi));
    double ao = (v.x - v.l) / h1 - 1.0;
    double bo = psi / h1 - 1.0;
    Weights inner = PenalizedPartials(v.u - v.x, -v.f, lambda);
    // d/dx = ao + bo * dPFB/da * (-1); d/df = bo * dPFB/db * (-1).
    return {ao - bo * inner.da, -bo * inner.db};
  }
  if (v.lf) {
    if (v.lower_marked) return Degenerate(1.0, v.jg, lambda);
    return PenalizedPartials(v.x - v.l, v.f, lambda);
  }
  if (v.upper_marked) return Degenerate(-1.0, v.jg, lambda);
  return PenalizedPartials(v.u - v.x, -v.f, lambda);
}

// Code 5: lambda * (the code 1 form) + (lambda - 1) * the scaled products
// (x - l)+ f+ / (|l| + 1) and (u - x)+ (-f)+ / (|u| + 1) (the latter taken
// negatively), with (-f)+ and f+ in their places when only one bound is
// finite. The boxed case multiplies the plain FB derivatives by lambda once.
Weights ScaledPenalizedWeights(const Variable& v, double lambda) {
  if (!v.lf && !v.uf) return {0.0, -1.0};
  double sl = std::fabs(v.l) + 1.0;
  double su = std::fabs(v.u) + 1.0;
  double mu = lambda - 1.0;
  Weights w;
  if (v.lf && v.uf) {
    double psi = FB(v.u - v.x, -v.f);
    double h1 = Floored(H(v.x - v.l, psi));
    double ao = (v.x - v.l) / h1 - 1.0;
    double bo = psi / h1 - 1.0;
    double h2 = Floored(H(v.u - v.x, v.f));
    double ai = (v.u - v.x) / h2 - 1.0;
    double bi = -v.f / h2 - 1.0;
    w = {lambda * (ao - bo * ai), lambda * (-bo * bi)};
    if (std::fabs(v.f) <= kEps && v.l + kEps < v.x && v.x < v.u - kEps) {
      double lower = (v.x - v.l) / sl;
      double upper = (v.u - v.x) / su;
      w.db += mu * (upper < lower ? upper : lower);
    }
    if (v.f < -kEps && v.x < v.u - kEps) {
      w.da += mu * (-v.f) / su;
      w.db += mu * (v.u - v.x) / su;
    }
    if (v.f > kEps && v.x > v.l + kEps) {
      w.da += mu * v.f / sl;
      w.db += mu * (v.x - v.l) / sl;
    }
    return w;
  }
  if (v.lf) {
    if (v.lower_marked) return Degenerate(1.0, v.jg, lambda);
    double h = Floored(H(v.x - v.l, v.f));
    w = {lambda * ((v.x - v.l) / h - 1.0), lambda * (v.f / h - 1.0)};
    if ((std::fabs(v.f) <= kEps && v.l <= v.x) || v.f < -kEps) w.db += mu;
    if (v.f > kEps && v.x > v.l + kEps) {
      w.da += mu * v.f / sl;
      w.db += mu * (v.x - v.l) / sl;
    }
    return w;
  }
  if (v.upper_marked) return Degenerate(-1.0, v.jg, lambda);
  double h = Floored(H(v.u - v.x, v.f));
  w = {lambda * ((v.u - v.x) / h - 1.0), lambda * (-v.f / h - 1.0)};
  if ((std::fabs(v.f) <= kEps && v.x <= v.u) || v.f > kEps) w.db += mu;
  if (v.f < -kEps && v.x < v.u - kEps) {
    w.da += mu * (-v.f) / su;
    w.db += mu * (v.u - v.x) / su;
  }
  return w;
}

// Code 6: phi = |(a, b)| with the lower and upper parts a and b. Only called
// with phi != 0.
Weights BoundedWeights(const Variable& v, double phi) {
  double l = v.l, u = v.u, x = v.x, f = v.f;
  if (l + kEps < x && x < u - kEps) {
    if (std::fabs(f) <= kEps) return {0.0, 1.0};
    if (f < -kEps) {
      if (!v.uf) return {0.0, -1.0};
      double h = H(u - x, f);
      return {-(1.0 - (u - x) / h), -(1.0 - (-f) / h)};
    }
    if (!v.lf) return {0.0, 1.0};
    double h = H(x - l, f);
    return {1.0 - (x - l) / h, 1.0 - f / h};
  }
  if (x > l + kEps) {  // and x >= u - eps: at or above the upper bound
    if (!(f > kEps)) return {1.0, 0.0};
    if (!v.lf) return {(x - u) / phi, f / phi};
    double g = FB(x - l, f);
    double h = H(x - l, f);
    return {(x - u) / phi + (g / phi) * ((x - l) / h - 1.0), (g / phi) * (f / h - 1.0)};
  }
  // At or below the lower bound.
  if (!(f < -kEps)) return {-1.0, 0.0};
  if (!v.uf) return {(x - l) / phi, f / phi};
  double g = FB(u - x, -f);
  double h = H(u - x, f);
  return {-((l - x) / phi + (g / phi) * ((u - x) / h - 1.0)), -(g / phi) * (-f / h - 1.0)};
}

// Code 7: the derivative of each branch of the piecewise residual, tried in
// this order.
Weights PiecewiseWeights(const Variable& v) {
  double l = v.l, u = v.u, x = v.x, f = v.f;
  if ((x <= l + kEps && f >= -kEps) || (x >= u - kEps && f <= kEps)) return {1.0, 0.0};
  if (f < kEps) {
    Weights w{0.0, 0.0};
    if (x < l - kEps) {
      if (v.uf) {
        double h = Floored(H(x - u, f));
        w = {(x - u) / h + 1.0, f / h};
      }
      double h2 = Floored(H(x - l, f));
      w.da -= (x - l) / h2;
      w.db -= f / h2;
      return w;
    }
    if (!v.uf) return {0.0, 1.0};
    double h = Floored(H(x - u, f));
    return {(x - u) / h + 1.0, f / h + 1.0};
  }
  if (x > u + kEps) {
    Weights w{0.0, 0.0};
    if (v.lf) {
      double h = Floored(H(x - l, f));
      w = {1.0 - (x - l) / h, -f / h};
    }
    double h2 = Floored(H(x - u, f));
    w.da += (x - u) / h2;
    w.db += f / h2;
    return w;
  }
  if (!v.lf) return {0.0, 1.0};
  double h = Floored(H(x - l, f));
  return {1.0 - (x - l) / h, 1.0 - f / h};
}

Weights CodeWeights(int code, const Variable& v, double phi, double lambda) {
  switch (code) {
    case RESIDUAL_FISCHER_BURMEISTER:
      return FischerWeights(v);
    case RESIDUAL_PENALIZED_FISCHER_BURMEISTER:
      return PenalizedWeights(v, lambda);
    case RESIDUAL_SCALED_PENALIZED_FISCHER_BURMEISTER:
      return ScaledPenalizedWeights(v, lambda);
    case RESIDUAL_BOUNDED_FISCHER_BURMEISTER:
      return BoundedWeights(v, phi);
    default:
      return PiecewiseWeights(v);
  }
}

}  // namespace

void Residual_CheckGradientCode(int code) {
  switch (code) {
    case RESIDUAL_FISCHER_BURMEISTER:
    case RESIDUAL_PENALIZED_FISCHER_BURMEISTER:
    case RESIDUAL_SCALED_PENALIZED_FISCHER_BURMEISTER:
    case RESIDUAL_BOUNDED_FISCHER_BURMEISTER:
    case RESIDUAL_PIECEWISE:
      return;
    case RESIDUAL_ULBRICH:
      Residual_Fault(__LINE__, "MCP_DMerit_Function", "Ulbrich not implemented yet.");
    default:
      Residual_Fault(__LINE__, "MCP_DMerit_Function", "merit function not differentiable.");
  }
}

namespace {

bool UsesMarks(int code) {
  return code == RESIDUAL_FISCHER_BURMEISTER || code == RESIDUAL_PENALIZED_FISCHER_BURMEISTER ||
         code == RESIDUAL_SCALED_PENALIZED_FISCHER_BURMEISTER;
}

// Marks the variables that sit on a finite bound with f_i = 0 (both within
// eps) and sets jg := J times their indicator. Returns the number marked.
std::int32_t MarkDegenerate(const ResidualProblem& p, const SparseMatrix_ColumnView& jac,
                            const ResidualScratch& s) {
  std::int32_t marked = 0;
  for (std::int32_t i = 0; i < p.n; ++i) {
    s.lower_mark[i] = 0;
    s.upper_mark[i] = 0;
    s.jg[i] = 0.0;
    if (!(std::fabs(p.f[i]) <= kEps)) continue;
    if (p.lower[i] > -p.infinity && std::fabs(p.x[i] - p.lower[i]) <= kEps) s.lower_mark[i] = 1;
    if (p.upper[i] < p.infinity && std::fabs(p.upper[i] - p.x[i]) <= kEps) s.upper_mark[i] = 1;
    if (s.lower_mark[i] || s.upper_mark[i]) ++marked;
  }
  if (marked == 0) return 0;
  for (std::int32_t j = 0; j < p.n; ++j) {
    if (!s.lower_mark[j] && !s.upper_mark[j]) continue;
    std::int32_t first = jac.start[j] - 1;
    std::int32_t last = first + jac.length[j];
    for (std::int32_t k = first; k < last; ++k) s.jg[jac.row[k] - 1] += jac.value[k];
  }
  return marked;
}

int CheckMeritCode(int code, const char* operation, int differentiable) {
  switch (code) {
    case RESIDUAL_NORMAL_MAP:
      return differentiable;
    case RESIDUAL_FISCHER_BURMEISTER:
    case RESIDUAL_PENALIZED_FISCHER_BURMEISTER:
    case RESIDUAL_BOUNDED_FISCHER_BURMEISTER:
    case RESIDUAL_PIECEWISE:
    case RESIDUAL_ULBRICH:
      return 1;
    default:
      Residual_Fault(__LINE__, operation, "Invalid merit function.");
  }
}

}  // namespace

double Residual_EvaluateMeritGradient(const ResidualProblem& p, int code,
                                      const SparseMatrix_ColumnView& jac, const ResidualScratch& s,
                                      double* gradient) {
  Residual_CheckGradientCode(code);
  bool marks = UsesMarks(code) && MarkDegenerate(p, jac, s) > 0;

  double sum = 0.0;
  for (std::int32_t i = 0; i < p.n; ++i) {
    double phi = Residual_Phi(code, p.lower[i], p.upper[i], p.x[i], p.f[i], p.infinity, p.lambda);
    s.phi[i] = phi;
    sum += phi * phi;
    // A variable with phi = 0 contributes nothing, whatever its weights.
    if (phi == 0.0) {
      s.da[i] = 0.0;
      s.db[i] = 0.0;
      continue;
    }
    Variable v{p.lower[i], p.upper[i], p.x[i], p.f[i], p.lower[i] != -p.infinity,
               p.upper[i] != p.infinity, marks && s.lower_mark[i] != 0,
               marks && s.upper_mark[i] != 0, marks ? s.jg[i] : 0.0};
    Weights w = CodeWeights(code, v, phi, p.lambda);
    s.da[i] = w.da;
    s.db[i] = w.db;
  }

  // g_j = da_j phi_j + sum over column j of J_ij db_i phi_i.
  for (std::int32_t i = 0; i < p.n; ++i) s.db[i] *= s.phi[i];
  for (std::int32_t j = 0; j < p.n; ++j) {
    double g = 0.0;
    std::int32_t first = jac.start[j] - 1;
    std::int32_t last = first + jac.length[j];
    for (std::int32_t k = first; k < last; ++k) g += jac.value[k] * s.db[jac.row[k] - 1];
    gradient[j] = g + s.da[j] * s.phi[j];
  }
  return 0.5 * sum;
}

void Residual_BlendSecondFunction(double weight, double value, const double* second_gradient,
                                  std::int32_t n, double* merit, double* gradient) {
  double rest = 1.0 - weight;
  *merit = weight * *merit + rest * value;
  if (gradient == nullptr) return;
  for (std::int32_t i = 0; i < n; ++i) {
    if (weight == 0.0) {
      gradient[i] = rest * second_gradient[i];
    } else if (rest == 0.0) {
      gradient[i] = weight * gradient[i];
    } else {
      gradient[i] = weight * gradient[i] + rest * second_gradient[i];
    }
  }
}

int Is_Differentiable(int code) { return CheckMeritCode(code, "Is_Differentiable", 0); }
int Is_Linesearchable(int code) { return CheckMeritCode(code, "Is_Linesearchable", 1); }
int Is_Arcsearchable(int code) { return CheckMeritCode(code, "Is_Arcsearchable", 1); }
