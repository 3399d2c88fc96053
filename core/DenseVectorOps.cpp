// DenseVector operations: fills, reductions, arithmetic, projections,
// comparisons, inner products and display.
#include <cmath>

#include "core/DenseVector.hpp"
#include "core/DenseVector_internal.hpp"

namespace vi = vector_internal;

namespace {

const char kLineFormat[] = "%5d   %20.19e\n";

// Writes n elements of a ramp from position first: start, start + step, ...,
// each the previous plus step; step 0 repeats start exactly (a -0.0 start
// stays -0.0).
void RampFrom(DenseVector* v, std::int32_t first, std::int32_t n, double start, double step) {
  if (step == 0.0) {
    vi::FillFrom(v, first, n, start);
    return;
  }
  double value = start;
  for (std::int32_t i = 0; i < n; ++i) {
    v->data[first + i] = value;
    value += step;
  }
}

// Left-to-right sum of the first terms vectors of list over n elements.
void AccumulateList(DenseVector* z, const DenseVector* const* list, std::int32_t terms,
                    std::int32_t n) {
  vi::Elementwise(z, n, [&](std::int32_t i) {
    double sum = list[0]->data[i];
    for (std::int32_t k = 1; k < terms; ++k) sum += list[k]->data[i];
    return sum;
  });
}

// True when element i of the projection keeps no step: x at its lower bound
// moving down, or at its upper bound moving up.
inline bool Blocked(double d, double x, double l, double u) {
  return (l >= x && d <= 0.0) || (x >= u && d >= 0.0);
}

// Best x_i + y_i over i = 1..k by better (first wins); 0.0 when k < 1.
template <class Better>
double SumPrefixExtreme(const DenseVector* x, const DenseVector* y, std::int32_t k,
                        Better better) {
  if (k < 1) return 0.0;
  double best = x->data[0] + y->data[0];
  for (std::int32_t i = 1; i < k; ++i) {
    const double sum = x->data[i] + y->data[i];
    if (better(sum, best)) best = sum;
  }
  return best;
}

}  // namespace

// --- Display ------------------------------------------------------------------

void DenseVector_DisplayFormat(const DenseVector* v, const char* format, int mode) {
  vi::DisplayFormat(v, format, mode);
}

void DenseVector_Display(const DenseVector* v, int mode) { vi::DisplayFormat(v, kLineFormat, mode); }

void DenseVector_DisplaySparse(const DenseVector* v, int mode) {
  vi::DisplaySparse(v, kLineFormat, mode);
}

// --- Fills and appends ---------------------------------------------------------

void DenseVector_FillZero(DenseVector* v, std::int32_t n) { DenseVector_Fill(v, n, 0.0); }
void DenseVector_FillOne(DenseVector* v, std::int32_t n) { DenseVector_Fill(v, n, 1.0); }
void DenseVector_FillMinusOne(DenseVector* v, std::int32_t n) { DenseVector_Fill(v, n, -1.0); }

void DenseVector_Fill(DenseVector* v, std::int32_t n, double a) {
  v->length = n > 0 ? n : 0;
  vi::FillFrom(v, 0, n, a);
}

void DenseVector_Ramp(DenseVector* v, std::int32_t n, double start, double step) {
  v->length = n > 0 ? n : 0;
  if (n > 0) RampFrom(v, 0, n, start, step);
}

void DenseVector_AppendZero(DenseVector* v, std::int32_t n) { DenseVector_AppendFill(v, n, 0.0); }
void DenseVector_AppendOne(DenseVector* v, std::int32_t n) { DenseVector_AppendFill(v, n, 1.0); }
void DenseVector_AppendMinusOne(DenseVector* v, std::int32_t n) {
  DenseVector_AppendFill(v, n, -1.0);
}

void DenseVector_AppendFill(DenseVector* v, std::int32_t n, double a) {
  if (n <= 0) return;
  vi::FillFrom(v, v->length, n, a);
  v->length += n;
}

void DenseVector_AppendRamp(DenseVector* v, std::int32_t n, double start, double step) {
  if (n <= 0) return;
  RampFrom(v, v->length, n, start, step);
  v->length += n;
}

void DenseVector_AppendVector(DenseVector* v, const DenseVector* w) { vi::AppendVector(v, w); }

void DenseVector_Push(DenseVector* v, double a) { v->data[v->length++] = a; }

std::int32_t DenseVector_Replace(DenseVector* v, double a, double b) {
  return vi::Replace(v, a, b);
}

// --- Counts, sums and norms ------------------------------------------------------

std::int32_t DenseVector_CountEQ(const DenseVector* v, double a) {
  return vi::Count(v, [a](double x) { return x == a; });
}
std::int32_t DenseVector_CountNE(const DenseVector* v, double a) {
  return vi::Count(v, [a](double x) { return x != a; });
}
std::int32_t DenseVector_CountLT(const DenseVector* v, double a) {
  return vi::Count(v, [a](double x) { return x < a; });
}
std::int32_t DenseVector_CountLE(const DenseVector* v, double a) {
  return vi::Count(v, [a](double x) { return x <= a; });
}
std::int32_t DenseVector_CountGT(const DenseVector* v, double a) {
  return vi::Count(v, [a](double x) { return x > a; });
}
std::int32_t DenseVector_CountGE(const DenseVector* v, double a) {
  return vi::Count(v, [a](double x) { return x >= a; });
}

double DenseVector_Sum(const DenseVector* v) { return DenseVector_SumPrefix(v, v->length); }

double DenseVector_SumAbs(const DenseVector* v) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < v->length; ++i) sum += std::fabs(v->data[i]);
  return sum;
}

double DenseVector_SumSquares(const DenseVector* v) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < v->length; ++i) sum += v->data[i] * v->data[i];
  return sum;
}

double DenseVector_OneNorm(const DenseVector* v) { return DenseVector_SumAbs(v); }

double DenseVector_TwoNorm(const DenseVector* v) { return std::sqrt(DenseVector_SumSquares(v)); }

double DenseVector_InfNorm(const DenseVector* v) {
  double value;
  std::int32_t index;
  DenseVector_MaxAbsIndex(value, index, v);
  return value;
}

double DenseVector_MinPrefix(const DenseVector* v, std::int32_t k) {
  double value;
  std::int32_t index;
  vi::Extreme(value, index, v->data, k, [](double x, double best) { return x < best; });
  return value;
}

double DenseVector_MaxPrefix(const DenseVector* v, std::int32_t k) {
  double value;
  std::int32_t index;
  vi::Extreme(value, index, v->data, k, [](double x, double best) { return x > best; });
  return value;
}

double DenseVector_MinSumPrefix(const DenseVector* x, const DenseVector* y, std::int32_t k) {
  return SumPrefixExtreme(x, y, k, [](double sum, double best) { return sum < best; });
}

double DenseVector_MaxSumPrefix(const DenseVector* x, const DenseVector* y, std::int32_t k) {
  return SumPrefixExtreme(x, y, k, [](double sum, double best) { return sum > best; });
}

double DenseVector_SumPrefix(const DenseVector* v, std::int32_t k) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < k; ++i) sum += v->data[i];
  return sum;
}

// --- Extremes -------------------------------------------------------------------

void DenseVector_MinIndex(double& value, std::int32_t& index, const DenseVector* v) {
  vi::Extreme(value, index, v->data, v->length, [](double x, double best) { return x < best; });
}

void DenseVector_MaxIndex(double& value, std::int32_t& index, const DenseVector* v) {
  vi::Extreme(value, index, v->data, v->length, [](double x, double best) { return x > best; });
}

void DenseVector_MaxAbsIndex(double& value, std::int32_t& index, const DenseVector* v) {
  value = 0.0;
  index = 0;
  for (std::int32_t i = 0; i < v->length; ++i) {
    const double magnitude = std::fabs(v->data[i]);
    if (i == 0 || magnitude > value) {
      value = magnitude;
      index = i + 1;
    }
  }
}

void DenseVector_MinAbsNonzeroIndex(double& value, std::int32_t& index, const DenseVector* v) {
  value = 0.0;
  index = v->length > 0 ? 1 : 0;
  bool found = false;
  for (std::int32_t i = 0; i < v->length; ++i) {
    const double magnitude = std::fabs(v->data[i]);
    if (magnitude > 0.0 && (!found || magnitude < value)) {
      value = magnitude;
      index = i + 1;
      found = true;
    }
  }
}

// --- In place ---------------------------------------------------------------------

void DenseVector_Negate(DenseVector* v) {
  for (std::int32_t i = 0; i < v->length; ++i) v->data[i] = 0.0 - v->data[i];
}

void DenseVector_Invert(DenseVector* v) {
  for (std::int32_t i = 0; i < v->length; ++i) v->data[i] = 1.0 / v->data[i];
}

// --- With a scalar ------------------------------------------------------------------

void DenseVector_AddScalar(DenseVector* z, const DenseVector* x, double a) {
  if (a == 0.0) {
    DenseVector_Clone(z, x, nullptr);
    return;
  }
  const double* xs = x->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] + a; });
}

void DenseVector_SubScalar(DenseVector* z, const DenseVector* x, double a) {
  DenseVector_AddScalar(z, x, 0.0 - a);
}

void DenseVector_Scale(DenseVector* z, const DenseVector* x, double a) {
  const double* xs = x->data;
  if (a == 0.0) {
    vi::Elementwise(z, x->length, [](std::int32_t) { return 0.0; });
  } else if (a == 1.0) {
    DenseVector_Clone(z, x, nullptr);
  } else if (a == -1.0) {
    vi::Elementwise(z, x->length, [&](std::int32_t i) { return 0.0 - xs[i]; });
  } else {
    vi::Elementwise(z, x->length, [&](std::int32_t i) { return a * xs[i]; });
  }
}

void DenseVector_DivScalar(DenseVector* z, const DenseVector* x, double a) {
  const double* xs = x->data;
  if (a == 1.0) {
    DenseVector_Clone(z, x, nullptr);
  } else if (a == -1.0) {
    vi::Elementwise(z, x->length, [&](std::int32_t i) { return 0.0 - xs[i]; });
  } else {
    vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] / a; });
  }
}

void DenseVector_MinScalar(DenseVector* z, const DenseVector* x, double a) {
  const double* xs = x->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return a > xs[i] ? xs[i] : a; });
}

void DenseVector_MaxScalar(DenseVector* z, const DenseVector* x, double a) {
  const double* xs = x->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] > a ? xs[i] : a; });
}

void DenseVector_ScalarDiv(DenseVector* z, double a, const DenseVector* x) {
  const double* xs = x->data;
  if (a == 0.0) {
    vi::Elementwise(z, x->length, [](std::int32_t) { return 0.0; });
  } else {
    vi::Elementwise(z, x->length, [&](std::int32_t i) { return a / xs[i]; });
  }
}

// --- Elementwise ----------------------------------------------------------------------

void DenseVector_Add(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] + ys[i]; });
}

void DenseVector_Sub(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] - ys[i]; });
}

void DenseVector_Mul(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] * ys[i]; });
}

void DenseVector_Div(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] / ys[i]; });
}

void DenseVector_Min(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] > ys[i] ? ys[i] : xs[i]; });
}

void DenseVector_Max(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return ys[i] > xs[i] ? ys[i] : xs[i]; });
}

void DenseVector_MinAbs(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) {
    const double ax = std::fabs(xs[i]), ay = std::fabs(ys[i]);
    return ax > ay ? ay : ax;
  });
}

void DenseVector_MaxAbs(DenseVector* z, const DenseVector* x, const DenseVector* y) {
  const double *xs = x->data, *ys = y->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) {
    const double ax = std::fabs(xs[i]), ay = std::fabs(ys[i]);
    return ay > ax ? ay : ax;
  });
}

void DenseVector_AddScaled(DenseVector* z, const DenseVector* x, const DenseVector* y, double a) {
  if (a == 0.0) {
    DenseVector_Clone(z, x, nullptr);
  } else if (a == 1.0) {
    DenseVector_Add(z, x, y);
  } else if (a == -1.0) {
    DenseVector_Sub(z, x, y);
  } else {
    const double *xs = x->data, *ys = y->data;
    vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] + a * ys[i]; });
  }
}

void DenseVector_SubScaled(DenseVector* z, const DenseVector* x, const DenseVector* y, double a) {
  DenseVector_AddScaled(z, x, y, 0.0 - a);
}

void DenseVector_Combine(DenseVector* z, const DenseVector* x, double a, const DenseVector* y,
                         double b) {
  if (a == 0.0) {
    DenseVector_Scale(z, y, b);
  } else if (b == 0.0) {
    DenseVector_Scale(z, x, a);
  } else if (a == 1.0) {
    DenseVector_AddScaled(z, x, y, b);
  } else if (b == 1.0) {
    DenseVector_AddScaled(z, y, x, a);
  } else {
    const double *xs = x->data, *ys = y->data;
    vi::Elementwise(z, x->length, [&](std::int32_t i) { return a * xs[i] + b * ys[i]; });
  }
}

void DenseVector_AddMul(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w) {
  const double *xs = x->data, *ys = y->data, *ws = w->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] + ys[i] * ws[i]; });
}

void DenseVector_AddDiv(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w) {
  const double *xs = x->data, *ys = y->data, *ws = w->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] + ys[i] / ws[i]; });
}

void DenseVector_SubMul(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w) {
  const double *xs = x->data, *ys = y->data, *ws = w->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] - ys[i] * ws[i]; });
}

void DenseVector_SubDiv(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w) {
  const double *xs = x->data, *ys = y->data, *ws = w->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] - ys[i] / ws[i]; });
}

void DenseVector_Add3(DenseVector* z, const DenseVector* a, const DenseVector* b,
                      const DenseVector* c) {
  const DenseVector* list[] = {a, b, c};
  AccumulateList(z, list, 3, a->length);
}

void DenseVector_Add4(DenseVector* z, const DenseVector* a, const DenseVector* b,
                      const DenseVector* c, const DenseVector* d) {
  const DenseVector* list[] = {a, b, c, d};
  AccumulateList(z, list, 4, a->length);
}

void DenseVector_Add5(DenseVector* z, const DenseVector* a, const DenseVector* b,
                      const DenseVector* c, const DenseVector* d, const DenseVector* e) {
  const DenseVector* list[] = {a, b, c, d, e};
  AccumulateList(z, list, 5, a->length);
}

void DenseVector_AddListArray(DenseVector* z, const DenseVector* const* list,
                              std::int32_t count) {
  vi::SumList(z, list, count, AccumulateList);
}

// --- Projections ----------------------------------------------------------------------

void DenseVector_Mid(DenseVector* z, const DenseVector* x, const DenseVector* l,
                     const DenseVector* u) {
  const double *xs = x->data, *ls = l->data, *us = u->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return vi::Median(ls[i], xs[i], us[i]); });
}

void DenseVector_ProjectedStep(DenseVector* z, const DenseVector* d, const DenseVector* x,
                               const DenseVector* l, const DenseVector* u) {
  const double *ds = d->data, *xs = x->data, *ls = l->data, *us = u->data;
  vi::Elementwise(z, d->length, [&](std::int32_t i) {
    if (Blocked(ds[i], xs[i], ls[i], us[i])) return 0.0;
    return vi::Median(ls[i], xs[i] + ds[i], us[i]) - xs[i];
  });
}

void DenseVector_ProjectedDirection(DenseVector* z, const DenseVector* d, const DenseVector* x,
                                    const DenseVector* l, const DenseVector* u) {
  const double *ds = d->data, *xs = x->data, *ls = l->data, *us = u->data;
  vi::Elementwise(z, d->length, [&](std::int32_t i) {
    return Blocked(ds[i], xs[i], ls[i], us[i]) ? 0.0 : ds[i];
  });
}

// --- Comparisons ------------------------------------------------------------------------

std::int32_t DenseVector_Equal(const DenseVector* x, const DenseVector* y) {
  return vi::AllPairs(x, y, 1, [](double a, double b) { return !(a == b); });
}

std::int32_t DenseVector_NotEqual(const DenseVector* x, const DenseVector* y) {
  return DenseVector_Equal(x, y) == 1 ? 0 : 1;
}

std::int32_t DenseVector_Less(const DenseVector* x, const DenseVector* y) {
  return vi::AllPairs(x, y, 0, [](double a, double b) { return a >= b; });
}

std::int32_t DenseVector_LessEqual(const DenseVector* x, const DenseVector* y) {
  return vi::AllPairs(x, y, 1, [](double a, double b) { return a > b; });
}

std::int32_t DenseVector_Greater(const DenseVector* x, const DenseVector* y) {
  return vi::AllPairs(x, y, 0, [](double a, double b) { return b >= a; });
}

std::int32_t DenseVector_GreaterEqual(const DenseVector* x, const DenseVector* y) {
  return vi::AllPairs(x, y, 1, [](double a, double b) { return b > a; });
}

// --- Inner products -----------------------------------------------------------------------

double DenseVector_Distance(const DenseVector* x, const DenseVector* y) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < x->length; ++i) {
    const double difference = x->data[i] - y->data[i];
    sum += difference * difference;
  }
  return std::sqrt(sum);
}

double DenseVector_Dot(const DenseVector* x, const DenseVector* y) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < x->length; ++i) sum += x->data[i] * y->data[i];
  return sum;
}

double DenseVector_DotCombine(const DenseVector* x, const DenseVector* y, double a,
                              const DenseVector* z, double b) {
  if (a == 0.0 && b == 0.0) return 0.0;
  if (a == 0.0) return b * DenseVector_Dot(x, z);
  if (b == 0.0) return a * DenseVector_Dot(x, y);
  double sum = 0.0;
  for (std::int32_t i = 0; i < x->length; ++i) {
    sum += x->data[i] * (a * y->data[i] + b * z->data[i]);
  }
  return sum;
}
