// Residual functions: scalar kernels, the residual of each code in each norm,
// the plain norm of F and the normal-map point.
#include "problems/Residual.hpp"

#include <cmath>

#include "core/Error.hpp"
#include "problems/Residual_internal.hpp"

namespace {

constexpr double kEps = RESIDUAL_EPS;

double Plus(double t) { return t > 0.0 ? t : 0.0; }
double Smaller(double a, double b) { return b < a ? b : a; }

// The larger of abs(a) and abs(b); neither may be NaN.
double Scale(double a, double b) {
  double fa = std::fabs(a);
  double fb = std::fabs(b);
  return fb > fa ? fb : fa;
}

// FB when a or b is infinite (and neither is NaN): the limit of the formula.
// With one argument +inf the other is what is left (FB(inf, b) -> -b); two
// infinities of the same sign give -inf (both +inf) or +inf; any -inf not
// met by a +inf gives +inf.
double FischerBurmeisterLimit(double a, double b) {
  if (a == HUGE_VAL) {
    if (std::isinf(b)) return b > 0.0 ? -HUGE_VAL : HUGE_VAL;
    return -b;
  }
  if (b == HUGE_VAL) {
    if (std::isinf(a)) return HUGE_VAL;
    return -a;
  }
  return HUGE_VAL;
}

// FB of finite a, b with abs(a) + abs(b) > eps.
double FischerBurmeisterScaled(double a, double b) {
  double s = Scale(a, b);
  double as = a / s;
  double bs = b / s;
  double root = std::sqrt(as * as + bs * bs);
  double sum = as + bs;
  if (sum > 0.0) return -s * (2.0 * as * bs / (root + sum));
  return s * (root - sum);
}

// Measure, square and one-norm term of one variable.
struct Component {
  double measure;
  double square;
  double term;
};

Component FromSigned(double r) {
  double m = std::fabs(r);
  return {m, r * r, m};
}

// Code 4: bound violations p, q and the relative complementarity products.
Component RelativeComplementarity(double l, double u, double x, double f, double inf) {
  double p = 0.0, c = Plus(f);
  if (l > -inf) {
    p = (x > l ? x : l) - x;
    c = Plus((x - l) / (std::fabs(l) + 1.0)) * Plus(f);
  }
  double q = 0.0, d = Plus(-f);
  if (u < inf) {
    q = x - (u < x ? u : x);
    d = Plus((u - x) / (std::fabs(u) + 1.0)) * Plus(-f);
  }
  double pq = p + q;
  double m = pq + c + d;
  return {m, pq * pq + c * c + d * d, m};
}

Component BoundedFischerBurmeister(double l, double u, double x, double f, double inf) {
  double a, b;
  Residual_BoundedParts(l, u, x, f, inf, &a, &b);
  double square = a * a + b * b;
  double m = std::sqrt(square);
  return {m, square, m};
}

Component Measure(int code, double l, double u, double x, double f, double inf,
                  double lambda) {
  if (std::isnan(l) || std::isnan(u) || std::isnan(x) || std::isnan(f)) {
    return {NAN, NAN, NAN};
  }
  switch (code) {
    case RESIDUAL_RELATIVE_COMPLEMENTARITY:
      return RelativeComplementarity(l, u, x, f, inf);
    case RESIDUAL_BOUNDED_FISCHER_BURMEISTER:
      return BoundedFischerBurmeister(l, u, x, f, inf);
    default:
      return FromSigned(Residual_Phi(code, l, u, x, f, inf, lambda));
  }
}

void CheckResidualCode(int code) {
  if (code == RESIDUAL_ULBRICH) {
    Residual_Fault(__LINE__, "MCP_Residual_FFunction", "Ulbrich not implemented yet.");
  }
  if (code < RESIDUAL_NORMAL_MAP || code > RESIDUAL_ULBRICH) {
    Residual_Fault(__LINE__, "MCP_Residual_FFunction", "Invalid residual function used.");
  }
}

// The three accumulators of a residual and the index of its largest measure.
// A NaN measure replaces a number and is never replaced, so that it reaches
// the infinity norm too.
struct Accumulator {
  double one = 0.0;
  double squares = 0.0;
  double largest = 0.0;
  int index = 0;

  void Add(int i, const Component& c) {
    if (index == 0 || c.measure > largest || (std::isnan(c.measure) && !std::isnan(largest))) {
      index = i;
      largest = c.measure;
    }
    squares += c.square;
    one += c.term;
  }

  double Norm(int norm) const {
    switch (norm) {
      case RESIDUAL_ONE_NORM:
        return one;
      case RESIDUAL_TWO_NORM:
        return std::sqrt(squares);
      case RESIDUAL_INFINITY_NORM:
        return largest;
      default:
        return 0.0;
    }
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Scalar kernels
// ---------------------------------------------------------------------------

double Residual_Hypot(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return a + b;
  if (std::fabs(a) + std::fabs(b) <= kEps) return 0.0;
  if (std::isinf(a) || std::isinf(b)) return HUGE_VAL;
  double s = Scale(a, b);
  double as = a / s;
  double bs = b / s;
  return s * std::sqrt(as * as + bs * bs);
}

double Residual_FischerBurmeister(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return a + b;
  if (std::fabs(a) + std::fabs(b) <= kEps) return 0.0;
  if (std::isinf(a) || std::isinf(b)) return FischerBurmeisterLimit(a, b);
  return FischerBurmeisterScaled(a, b);
}

double Residual_PenalizedFischerBurmeister(double a, double b, double lambda) {
  if (std::isnan(a) || std::isnan(b)) return a + b;
  if (std::fabs(a) + std::fabs(b) <= kEps) return 0.0;
  double fb = (std::isinf(a) || std::isinf(b)) ? FischerBurmeisterLimit(a, b)
                                               : FischerBurmeisterScaled(a, b);
  // Both factors positive, so the product is positive or +inf, never NaN.
  double penalty = (a > 0.0 && b > 0.0) ? a * b : 0.0;
  return lambda * fb + (lambda - 1.0) * penalty;
}

// ---------------------------------------------------------------------------
// Per-variable components
// ---------------------------------------------------------------------------

void Residual_BoundedParts(double l, double u, double x, double f, double inf, double* a,
                           double* b) {
  *a = (l != -inf) ? Smaller(x - l, Plus(-Residual_FischerBurmeister(x - l, f))) : Plus(f);
  *b = (u != inf) ? Smaller(u - x, Plus(-Residual_FischerBurmeister(u - x, -f))) : Plus(-f);
}

namespace {

double NormalMap(double l, double u, double x, double f) {
  if ((x == l && f > 0.0) || (x == u && f < 0.0)) return 0.0;
  return f;
}

double FischerBurmeister(double l, double u, double x, double f, bool lf, bool uf) {
  if (lf && uf) return Residual_FischerBurmeister(x - l, Residual_FischerBurmeister(u - x, -f));
  if (lf) return Residual_FischerBurmeister(x - l, f);
  if (uf) return -Residual_FischerBurmeister(u - x, -f);
  return -f;
}

double PenalizedFischerBurmeister(double l, double u, double x, double f, bool lf, bool uf,
                                  double lambda) {
  if (lf && uf) {
    return Residual_FischerBurmeister(x - l,
                                      Residual_PenalizedFischerBurmeister(u - x, -f, lambda));
  }
  if (lf) return Residual_PenalizedFischerBurmeister(x - l, f, lambda);
  if (uf) return -Residual_PenalizedFischerBurmeister(u - x, -f, lambda);
  return -f;
}

double Natural(double l, double u, double x, double f) {
  double t = x - f;
  double p = (l > t) ? l : ((t > u) ? u : t);
  return x - p;
}

double ScaledPenalizedFischerBurmeister(double l, double u, double x, double f, bool lf,
                                        bool uf, double lambda) {
  double lower_term = lf ? Plus(x - l) * Plus(f) / (std::fabs(l) + 1.0) : 0.0;
  double upper_term = uf ? Plus(u - x) * Plus(-f) / (std::fabs(u) + 1.0) : 0.0;
  if (lf && uf) {
    return lambda * Residual_FischerBurmeister(x - l, Residual_FischerBurmeister(u - x, -f)) +
           (lambda - 1.0) * (lower_term - upper_term);
  }
  if (lf) {
    return lambda * Residual_FischerBurmeister(x - l, f) +
           (lambda - 1.0) * (lower_term - Plus(-f));
  }
  if (uf) {
    return -lambda * Residual_FischerBurmeister(u - x, -f) +
           (lambda - 1.0) * (Plus(f) - upper_term);
  }
  return -f;
}

// Code 7: a decision table on the sign of f and the position of x.
double Piecewise(double l, double u, double x, double f, bool lf, bool uf) {
  if (f < 0.0) {
    if (x > u + kEps) return x - u;
    if (x >= u - kEps) return 0.0;
    if (x < l) {
      if (!(x < l - kEps || f < -kEps)) return 0.0;
      double upper = uf ? Residual_FischerBurmeister(u - x, -f) - f : 0.0;
      return upper - Residual_Hypot(x - l, f);
    }
    if (!(f < -kEps)) return 0.0;
    return uf ? Residual_FischerBurmeister(u - x, -f) : f;
  }
  if (x < l - kEps) return x - l;
  if (x <= l + kEps) return 0.0;
  if (x > u) {
    if (!(x > u + kEps || f > kEps)) return 0.0;
    double lower = lf ? -Residual_FischerBurmeister(x - l, f) - f : 0.0;
    return lower + Residual_Hypot(x - u, f);
  }
  if (!(f > kEps)) return 0.0;
  return lf ? -Residual_FischerBurmeister(x - l, f) : f;
}

}  // namespace

double Residual_Phi(int code, double l, double u, double x, double f, double inf,
                    double lambda) {
  if (std::isnan(l) || std::isnan(u) || std::isnan(x) || std::isnan(f)) return NAN;
  bool lf = (l != -inf);
  bool uf = (u != inf);
  switch (code) {
    case RESIDUAL_NORMAL_MAP:
      return NormalMap(l, u, x, f);
    case RESIDUAL_FISCHER_BURMEISTER:
      return FischerBurmeister(l, u, x, f, lf, uf);
    case RESIDUAL_PENALIZED_FISCHER_BURMEISTER:
      return PenalizedFischerBurmeister(l, u, x, f, lf, uf, lambda);
    case RESIDUAL_NATURAL:
      return Natural(l, u, x, f);
    case RESIDUAL_SCALED_PENALIZED_FISCHER_BURMEISTER:
      return ScaledPenalizedFischerBurmeister(l, u, x, f, lf, uf, lambda);
    case RESIDUAL_BOUNDED_FISCHER_BURMEISTER: {
      double a, b;
      Residual_BoundedParts(l, u, x, f, inf, &a, &b);
      return Residual_Hypot(a, b);
    }
    case RESIDUAL_PIECEWISE:
      return Piecewise(l, u, x, f, lf, uf);
    default:
      return NAN;
  }
}

void Residual_Fault(int line, const char* operation, const char* message) {
  Error_Report("Residual", line, operation, message);
}

void Residual_CheckCapacity(std::int32_t capacity, std::int32_t n, const char* operation) {
  if (capacity < n) Residual_Fault(__LINE__, operation, "vector shorter than the problem");
}

// ---------------------------------------------------------------------------
// Array kernels
// ---------------------------------------------------------------------------

void Residual_Evaluate(const ResidualProblem& p, int code, int norm, double* value, int* index) {
  CheckResidualCode(code);
  Accumulator acc;
  for (std::int32_t i = 0; i < p.n; ++i) {
    acc.Add(i + 1, Measure(code, p.lower[i], p.upper[i], p.x[i], p.f[i], p.infinity, p.lambda));
  }
  *value = acc.Norm(norm);
  *index = acc.index;
}

void Residual_EvaluateNorm(std::int32_t n, const double* f, int norm, double* value, int* index) {
  Accumulator acc;
  for (std::int32_t i = 0; i < n; ++i) acc.Add(i + 1, FromSigned(f[i]));
  *value = acc.Norm(norm);
  *index = acc.index;
}

void Residual_EvaluateNormalMap(std::int32_t n, const double* lower, const double* upper,
                                const double* x, const double* f, double* z) {
  for (std::int32_t i = 0; i < n; ++i) {
    if (lower[i] >= x[i] && f[i] > 0.0) {
      z[i] = lower[i] - f[i];
    } else if (x[i] >= upper[i] && f[i] < 0.0) {
      z[i] = upper[i] - f[i];
    } else {
      z[i] = x[i];
    }
  }
}
