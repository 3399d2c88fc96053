// IDenseVector: lifecycle, cloning and the integer operation family.
//
// Every integer term is formed in 64 bits (128 bits for the combined inner
// product), so sums, norms and inner products that return a double are
// exact up to the final conversion. Results stored back into 32-bit
// elements are range checked: overflow and a zero divisor are solver errors
// instead of undefined behaviour.
#include "core/IDenseVector.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/DenseVector_internal.hpp"

namespace vi = vector_internal;

namespace {

const char kModule[] = "IDenseVector";
const char kLineFormat[] = "%5d   %5d\n";

__extension__ typedef __int128 Int128;

[[noreturn]] void Overflow(const char* operation) {
  Error_Report(kModule, __LINE__, operation, "integer overflow");
}

[[noreturn]] void DivisionByZero(const char* operation) {
  Error_Report(kModule, __LINE__, operation, "division by zero");
}

// The value as a 32-bit element; out of range is "integer overflow".
inline std::int32_t Narrow(std::int64_t value, const char* operation) {
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    Overflow(operation);
  }
  return static_cast<std::int32_t>(value);
}

// Truncating quotient (the most negative integer by -1 gives 2^31, which the
// narrowing then reports).
inline std::int64_t Quotient(std::int64_t a, std::int64_t b, const char* operation) {
  if (b == 0) DivisionByZero(operation);
  return a / b;
}

// Remainder with the sign of the dividend; by -1 it is 0 for every a.
inline std::int64_t Remainder(std::int64_t a, std::int64_t b, const char* operation) {
  if (b == 0) DivisionByZero(operation);
  return a % b;
}

inline std::int64_t Magnitude(std::int32_t x) { return std::llabs(static_cast<std::int64_t>(x)); }

// z_i := element(i) for i < n, each 64-bit result narrowed to 32 bits.
template <class Element>
void Apply(IDenseVector* z, std::int32_t n, const char* operation, Element element) {
  vi::Elementwise(z, n, [&](std::int32_t i) { return Narrow(element(i), operation); });
}

void Copy(IDenseVector* z, const IDenseVector* x) { IDenseVector_Clone(z, x, nullptr); }

void Zeros(IDenseVector* z, std::int32_t n) {
  vi::Elementwise(z, n, [](std::int32_t) { return std::int32_t{0}; });
}

void Negated(IDenseVector* z, const IDenseVector* x, const char* operation) {
  const std::int32_t* xs = x->data;
  Apply(z, x->length, operation, [&](std::int32_t i) { return -std::int64_t{xs[i]}; });
}

// x_i + a with a 64-bit a, so that SubScalar can pass 0 - a for any a.
void AddScalarWide(IDenseVector* z, const IDenseVector* x, std::int64_t a, const char* operation) {
  if (a == 0) {
    Copy(z, x);
    return;
  }
  const std::int32_t* xs = x->data;
  Apply(z, x->length, operation, [&](std::int32_t i) { return xs[i] + a; });
}

// x_i + a * y_i with a 64-bit a (see AddScalarWide).
void AddScaledWide(IDenseVector* z, const IDenseVector* x, const IDenseVector* y, std::int64_t a,
                   const char* operation) {
  const std::int32_t *xs = x->data, *ys = y->data;
  if (a == 0) {
    Copy(z, x);
  } else if (a == 1) {
    Apply(z, x->length, operation, [&](std::int32_t i) { return std::int64_t{xs[i]} + ys[i]; });
  } else if (a == -1) {
    Apply(z, x->length, operation, [&](std::int32_t i) { return std::int64_t{xs[i]} - ys[i]; });
  } else {
    // |a| <= 2^31, so the term stays far inside the 64-bit range.
    Apply(z, x->length, operation, [&](std::int32_t i) { return xs[i] + a * ys[i]; });
  }
}

void RampFrom(IDenseVector* v, std::int32_t first, std::int32_t n, std::int32_t start,
              std::int32_t step, const char* operation) {
  std::int64_t value = start;
  for (std::int32_t i = 0; i < n; ++i) {
    v->data[first + i] = Narrow(value, operation);
    value += step;
  }
}

void AccumulateList(IDenseVector* z, const IDenseVector* const* list, std::int32_t terms,
                    std::int32_t n) {
  Apply(z, n, "AddList", [&](std::int32_t i) {
    std::int64_t sum = list[0]->data[i];
    for (std::int32_t k = 1; k < terms; ++k) sum += list[k]->data[i];
    return sum;
  });
}

template <class Better>
std::int64_t SumPrefixExtreme(const IDenseVector* x, const IDenseVector* y, std::int32_t k,
                              Better better) {
  if (k < 1) return 0;
  std::int64_t best = std::int64_t{x->data[0]} + y->data[0];
  for (std::int32_t i = 1; i < k; ++i) {
    const std::int64_t sum = std::int64_t{x->data[i]} + y->data[i];
    if (better(sum, best)) best = sum;
  }
  return best;
}

// Sum of term(x_i) over the first k elements, each exact term converted to
// double before it is added.
template <class Term>
double SumTerms(const IDenseVector* v, std::int32_t k, Term term) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < k; ++i) sum += static_cast<double>(term(v->data[i]));
  return sum;
}

}  // namespace

// --- Lifecycle and element access -------------------------------------------------

IDenseVector* IDenseVector_Create(std::int32_t n) {
  return vi::Create<IDenseVector, std::int32_t>(n);
}

std::int32_t IDenseVector_Destroy(IDenseVector* v) { return vi::Destroy(v); }

void IDenseVector_Reference(IDenseVector* v) { ++v->refcount; }

void IDenseVector_Size(IDenseVector* v, std::int32_t n) {
  vi::Size<IDenseVector, std::int32_t>(v, n);
}

void IDenseVector_IncrementValue(IDenseVector* v, std::int32_t i) {
  v->data[i - 1] = Narrow(std::int64_t{v->data[i - 1]} + 1, "IncrementValue");
}

void IDenseVector_DecrementValue(IDenseVector* v, std::int32_t i) {
  v->data[i - 1] = Narrow(std::int64_t{v->data[i - 1]} - 1, "DecrementValue");
}

void IDenseVector_AddValue(IDenseVector* v, std::int32_t i, std::int32_t a) {
  v->data[i - 1] = Narrow(std::int64_t{v->data[i - 1]} + a, "AddValue");
}

void IDenseVector_SubValue(IDenseVector* v, std::int32_t i, std::int32_t a) {
  v->data[i - 1] = Narrow(std::int64_t{v->data[i - 1]} - a, "SubValue");
}

void IDenseVector_MulValue(IDenseVector* v, std::int32_t i, std::int32_t a) {
  v->data[i - 1] = Narrow(std::int64_t{v->data[i - 1]} * a, "MulValue");
}

void IDenseVector_DivValue(IDenseVector* v, std::int32_t i, std::int32_t a) {
  v->data[i - 1] = Narrow(Quotient(v->data[i - 1], a, "DivValue"), "DivValue");
}

void IDenseVector_ModValue(IDenseVector* v, std::int32_t i, std::int32_t a) {
  v->data[i - 1] = Narrow(Remainder(v->data[i - 1], a, "ModValue"), "ModValue");
}

void IDenseVector_Clone(IDenseVector* dst, const IDenseVector* src, const IDenseVector* map) {
  vi::Clone(kModule, dst, src, map);
}

void IDenseVector_CloneFull(IDenseVector* dst, const IDenseVector* src) {
  vi::CloneFull(dst, src);
}

void IDenseVector_CloneScatter(IDenseVector* dst, const IDenseVector* src,
                               const IDenseVector* map) {
  vi::CloneScatter(dst, src, map);
}

// --- Display -------------------------------------------------------------------

void IDenseVector_DisplayFormat(const IDenseVector* v, const char* format, int mode) {
  vi::DisplayFormat(v, format, mode);
}

void IDenseVector_Display(const IDenseVector* v, int mode) {
  vi::DisplayFormat(v, kLineFormat, mode);
}

void IDenseVector_DisplaySparse(const IDenseVector* v, int mode) {
  vi::DisplaySparse(v, kLineFormat, mode);
}

// --- Fills and appends -----------------------------------------------------------

void IDenseVector_FillZero(IDenseVector* v, std::int32_t n) { IDenseVector_Fill(v, n, 0); }
void IDenseVector_FillOne(IDenseVector* v, std::int32_t n) { IDenseVector_Fill(v, n, 1); }
void IDenseVector_FillMinusOne(IDenseVector* v, std::int32_t n) { IDenseVector_Fill(v, n, -1); }

void IDenseVector_Fill(IDenseVector* v, std::int32_t n, std::int32_t a) {
  v->length = n > 0 ? n : 0;
  vi::FillFrom(v, 0, n, a);
}

void IDenseVector_Ramp(IDenseVector* v, std::int32_t n, std::int32_t start, std::int32_t step) {
  if (n <= 0) {
    v->length = 0;
    return;
  }
  RampFrom(v, 0, n, start, step, "Ramp");
  v->length = n;
}

void IDenseVector_AppendZero(IDenseVector* v, std::int32_t n) { IDenseVector_AppendFill(v, n, 0); }
void IDenseVector_AppendOne(IDenseVector* v, std::int32_t n) { IDenseVector_AppendFill(v, n, 1); }
void IDenseVector_AppendMinusOne(IDenseVector* v, std::int32_t n) {
  IDenseVector_AppendFill(v, n, -1);
}

void IDenseVector_AppendFill(IDenseVector* v, std::int32_t n, std::int32_t a) {
  if (n <= 0) return;
  vi::FillFrom(v, v->length, n, a);
  v->length += n;
}

void IDenseVector_AppendRamp(IDenseVector* v, std::int32_t n, std::int32_t start,
                             std::int32_t step) {
  if (n <= 0) return;
  RampFrom(v, v->length, n, start, step, "AppendRamp");
  v->length += n;
}

void IDenseVector_AppendVector(IDenseVector* v, const IDenseVector* w) { vi::AppendVector(v, w); }

void IDenseVector_Push(IDenseVector* v, std::int32_t a) { v->data[v->length++] = a; }

std::int32_t IDenseVector_Replace(IDenseVector* v, std::int32_t a, std::int32_t b) {
  return vi::Replace(v, a, b);
}

// --- Counts, sums and norms -----------------------------------------------------------

std::int32_t IDenseVector_CountEQ(const IDenseVector* v, std::int32_t a) {
  return vi::Count(v, [a](std::int32_t x) { return x == a; });
}
std::int32_t IDenseVector_CountNE(const IDenseVector* v, std::int32_t a) {
  return vi::Count(v, [a](std::int32_t x) { return x != a; });
}
std::int32_t IDenseVector_CountLT(const IDenseVector* v, std::int32_t a) {
  return vi::Count(v, [a](std::int32_t x) { return x < a; });
}
std::int32_t IDenseVector_CountLE(const IDenseVector* v, std::int32_t a) {
  return vi::Count(v, [a](std::int32_t x) { return x <= a; });
}
std::int32_t IDenseVector_CountGT(const IDenseVector* v, std::int32_t a) {
  return vi::Count(v, [a](std::int32_t x) { return x > a; });
}
std::int32_t IDenseVector_CountGE(const IDenseVector* v, std::int32_t a) {
  return vi::Count(v, [a](std::int32_t x) { return x >= a; });
}

double IDenseVector_Sum(const IDenseVector* v) { return IDenseVector_SumPrefix(v, v->length); }

double IDenseVector_SumAbs(const IDenseVector* v) { return SumTerms(v, v->length, Magnitude); }

double IDenseVector_SumSquares(const IDenseVector* v) {
  return SumTerms(v, v->length, [](std::int32_t x) { return std::int64_t{x} * x; });
}

double IDenseVector_OneNorm(const IDenseVector* v) { return IDenseVector_SumAbs(v); }

double IDenseVector_TwoNorm(const IDenseVector* v) { return std::sqrt(IDenseVector_SumSquares(v)); }

double IDenseVector_InfNorm(const IDenseVector* v) {
  std::int64_t largest = 0;
  for (std::int32_t i = 0; i < v->length; ++i) {
    const std::int64_t magnitude = Magnitude(v->data[i]);
    if (magnitude > largest) largest = magnitude;
  }
  return static_cast<double>(largest);
}

double IDenseVector_SumPrefix(const IDenseVector* v, std::int32_t k) {
  return SumTerms(v, k, [](std::int32_t x) { return x; });
}

// --- Extremes ---------------------------------------------------------------------

void IDenseVector_MinIndex(std::int32_t& value, std::int32_t& index, const IDenseVector* v) {
  vi::Extreme(value, index, v->data, v->length,
              [](std::int32_t x, std::int32_t best) { return x < best; });
}

void IDenseVector_MaxIndex(std::int32_t& value, std::int32_t& index, const IDenseVector* v) {
  vi::Extreme(value, index, v->data, v->length,
              [](std::int32_t x, std::int32_t best) { return x > best; });
}

void IDenseVector_MaxAbsIndex(std::int32_t& value, std::int32_t& index, const IDenseVector* v) {
  std::int64_t best = 0;
  index = 0;
  for (std::int32_t i = 0; i < v->length; ++i) {
    const std::int64_t magnitude = Magnitude(v->data[i]);
    if (i == 0 || magnitude > best) {
      best = magnitude;
      index = i + 1;
    }
  }
  value = Narrow(best, "MaxAbsIndex");
}

void IDenseVector_MinAbsNonzeroIndex(std::int32_t& value, std::int32_t& index,
                                     const IDenseVector* v) {
  std::int64_t best = 0;
  index = v->length > 0 ? 1 : 0;
  for (std::int32_t i = 0; i < v->length; ++i) {
    const std::int64_t magnitude = Magnitude(v->data[i]);
    if (magnitude > 0 && (best == 0 || magnitude < best)) {
      best = magnitude;
      index = i + 1;
    }
  }
  value = Narrow(best, "MinAbsNonzeroIndex");
}

std::int32_t IDenseVector_MinPrefix(const IDenseVector* v, std::int32_t k) {
  std::int32_t value, index;
  vi::Extreme(value, index, v->data, k, [](std::int32_t x, std::int32_t best) { return x < best; });
  return value;
}

std::int32_t IDenseVector_MaxPrefix(const IDenseVector* v, std::int32_t k) {
  std::int32_t value, index;
  vi::Extreme(value, index, v->data, k, [](std::int32_t x, std::int32_t best) { return x > best; });
  return value;
}

std::int64_t IDenseVector_MinSumPrefix(const IDenseVector* x, const IDenseVector* y,
                                       std::int32_t k) {
  return SumPrefixExtreme(x, y, k, [](std::int64_t sum, std::int64_t best) { return sum < best; });
}

std::int64_t IDenseVector_MaxSumPrefix(const IDenseVector* x, const IDenseVector* y,
                                       std::int32_t k) {
  return SumPrefixExtreme(x, y, k, [](std::int64_t sum, std::int64_t best) { return sum > best; });
}

// --- In place ---------------------------------------------------------------------------

void IDenseVector_Negate(IDenseVector* v) { Negated(v, v, "Negate"); }

// --- With a scalar --------------------------------------------------------------------------

void IDenseVector_AddScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a) {
  AddScalarWide(z, x, a, "AddScalar");
}

void IDenseVector_SubScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a) {
  AddScalarWide(z, x, 0 - std::int64_t{a}, "SubScalar");
}

void IDenseVector_Scale(IDenseVector* z, const IDenseVector* x, std::int32_t a) {
  const std::int32_t* xs = x->data;
  if (a == 0) {
    Zeros(z, x->length);
  } else if (a == 1) {
    Copy(z, x);
  } else if (a == -1) {
    Negated(z, x, "Scale");
  } else {
    Apply(z, x->length, "Scale", [&](std::int32_t i) { return std::int64_t{a} * xs[i]; });
  }
}

void IDenseVector_DivScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a) {
  const std::int32_t* xs = x->data;
  if (a == 1) {
    Copy(z, x);
  } else if (a == -1) {
    Negated(z, x, "DivScalar");
  } else {
    Apply(z, x->length, "DivScalar",
          [&](std::int32_t i) { return Quotient(xs[i], a, "DivScalar"); });
  }
}

void IDenseVector_ModScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a) {
  const std::int32_t* xs = x->data;
  if (a == 1 || a == -1) {
    Zeros(z, x->length);
  } else {
    Apply(z, x->length, "ModScalar",
          [&](std::int32_t i) { return Remainder(xs[i], a, "ModScalar"); });
  }
}

void IDenseVector_MinScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a) {
  const std::int32_t* xs = x->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return a > xs[i] ? xs[i] : a; });
}

void IDenseVector_MaxScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a) {
  const std::int32_t* xs = x->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return xs[i] > a ? xs[i] : a; });
}

void IDenseVector_ScalarDiv(IDenseVector* z, std::int32_t a, const IDenseVector* x) {
  const std::int32_t* xs = x->data;
  if (a == 0) {
    Zeros(z, x->length);
  } else {
    Apply(z, x->length, "ScalarDiv",
          [&](std::int32_t i) { return Quotient(a, xs[i], "ScalarDiv"); });
  }
}

void IDenseVector_ScalarMod(IDenseVector* z, std::int32_t a, const IDenseVector* x) {
  const std::int32_t* xs = x->data;
  if (a == 0) {
    Zeros(z, x->length);
  } else {
    Apply(z, x->length, "ScalarMod",
          [&](std::int32_t i) { return Remainder(a, xs[i], "ScalarMod"); });
  }
}

// --- Elementwise -------------------------------------------------------------------------------

void IDenseVector_Add(IDenseVector* z, const IDenseVector* x, const IDenseVector* y) {
  AddScaledWide(z, x, y, 1, "Add");
}

void IDenseVector_Sub(IDenseVector* z, const IDenseVector* x, const IDenseVector* y) {
  AddScaledWide(z, x, y, -1, "Sub");
}

void IDenseVector_Mul(IDenseVector* z, const IDenseVector* x, const IDenseVector* y) {
  const std::int32_t *xs = x->data, *ys = y->data;
  Apply(z, x->length, "Mul", [&](std::int32_t i) { return std::int64_t{xs[i]} * ys[i]; });
}

void IDenseVector_Div(IDenseVector* z, const IDenseVector* x, const IDenseVector* y) {
  const std::int32_t *xs = x->data, *ys = y->data;
  Apply(z, x->length, "Div", [&](std::int32_t i) { return Quotient(xs[i], ys[i], "Div"); });
}

void IDenseVector_Mod(IDenseVector* z, const IDenseVector* x, const IDenseVector* y) {
  const std::int32_t *xs = x->data, *ys = y->data;
  Apply(z, x->length, "Mod", [&](std::int32_t i) { return Remainder(xs[i], ys[i], "Mod"); });
}

void IDenseVector_AddScaled(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                            std::int32_t a) {
  AddScaledWide(z, x, y, a, "AddScaled");
}

void IDenseVector_SubScaled(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                            std::int32_t a) {
  AddScaledWide(z, x, y, 0 - std::int64_t{a}, "SubScaled");
}

void IDenseVector_Combine(IDenseVector* z, const IDenseVector* x, std::int32_t a,
                          const IDenseVector* y, std::int32_t b) {
  if (a == 0) {
    IDenseVector_Scale(z, y, b);
  } else if (b == 0) {
    IDenseVector_Scale(z, x, a);
  } else if (a == 1) {
    IDenseVector_AddScaled(z, x, y, b);
  } else if (b == 1) {
    IDenseVector_AddScaled(z, y, x, a);
  } else {
    const std::int32_t *xs = x->data, *ys = y->data;
    Apply(z, x->length, "Combine", [&](std::int32_t i) {
      std::int64_t sum;
      if (__builtin_add_overflow(std::int64_t{a} * xs[i], std::int64_t{b} * ys[i], &sum)) {
        Overflow("Combine");
      }
      return sum;
    });
  }
}

void IDenseVector_AddMul(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w) {
  const std::int32_t *xs = x->data, *ys = y->data, *ws = w->data;
  Apply(z, x->length, "AddMul",
        [&](std::int32_t i) { return xs[i] + std::int64_t{ys[i]} * ws[i]; });
}

void IDenseVector_AddDiv(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w) {
  const std::int32_t *xs = x->data, *ys = y->data, *ws = w->data;
  Apply(z, x->length, "AddDiv",
        [&](std::int32_t i) { return xs[i] + Quotient(ys[i], ws[i], "AddDiv"); });
}

void IDenseVector_AddMod(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w) {
  const std::int32_t *xs = x->data, *ys = y->data, *ws = w->data;
  Apply(z, x->length, "AddMod",
        [&](std::int32_t i) { return xs[i] + Remainder(ys[i], ws[i], "AddMod"); });
}

void IDenseVector_SubMul(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w) {
  const std::int32_t *xs = x->data, *ys = y->data, *ws = w->data;
  Apply(z, x->length, "SubMul",
        [&](std::int32_t i) { return xs[i] - std::int64_t{ys[i]} * ws[i]; });
}

void IDenseVector_SubDiv(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w) {
  const std::int32_t *xs = x->data, *ys = y->data, *ws = w->data;
  Apply(z, x->length, "SubDiv",
        [&](std::int32_t i) { return xs[i] - Quotient(ys[i], ws[i], "SubDiv"); });
}

void IDenseVector_SubMod(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w) {
  const std::int32_t *xs = x->data, *ys = y->data, *ws = w->data;
  Apply(z, x->length, "SubMod",
        [&](std::int32_t i) { return xs[i] - Remainder(ys[i], ws[i], "SubMod"); });
}

void IDenseVector_Add3(IDenseVector* z, const IDenseVector* a, const IDenseVector* b,
                       const IDenseVector* c) {
  const IDenseVector* list[] = {a, b, c};
  AccumulateList(z, list, 3, a->length);
}

void IDenseVector_Add4(IDenseVector* z, const IDenseVector* a, const IDenseVector* b,
                       const IDenseVector* c, const IDenseVector* d) {
  const IDenseVector* list[] = {a, b, c, d};
  AccumulateList(z, list, 4, a->length);
}

void IDenseVector_Add5(IDenseVector* z, const IDenseVector* a, const IDenseVector* b,
                       const IDenseVector* c, const IDenseVector* d, const IDenseVector* e) {
  const IDenseVector* list[] = {a, b, c, d, e};
  AccumulateList(z, list, 5, a->length);
}

void IDenseVector_AddListArray(IDenseVector* z, const IDenseVector* const* list,
                               std::int32_t count) {
  vi::SumList(z, list, count, AccumulateList);
}

// --- Projection, comparisons, inner products --------------------------------------------------

void IDenseVector_Mid(IDenseVector* z, const IDenseVector* x, const IDenseVector* l,
                      const IDenseVector* u) {
  const std::int32_t *xs = x->data, *ls = l->data, *us = u->data;
  vi::Elementwise(z, x->length, [&](std::int32_t i) { return vi::Median(ls[i], xs[i], us[i]); });
}

std::int32_t IDenseVector_Equal(const IDenseVector* x, const IDenseVector* y) {
  return vi::AllPairs(x, y, 1, [](std::int32_t a, std::int32_t b) { return a != b; });
}

std::int32_t IDenseVector_NotEqual(const IDenseVector* x, const IDenseVector* y) {
  return IDenseVector_Equal(x, y) == 1 ? 0 : 1;
}

std::int32_t IDenseVector_Less(const IDenseVector* x, const IDenseVector* y) {
  return vi::AllPairs(x, y, 0, [](std::int32_t a, std::int32_t b) { return a >= b; });
}

std::int32_t IDenseVector_LessEqual(const IDenseVector* x, const IDenseVector* y) {
  return vi::AllPairs(x, y, 1, [](std::int32_t a, std::int32_t b) { return a > b; });
}

std::int32_t IDenseVector_Greater(const IDenseVector* x, const IDenseVector* y) {
  return vi::AllPairs(x, y, 0, [](std::int32_t a, std::int32_t b) { return b >= a; });
}

std::int32_t IDenseVector_GreaterEqual(const IDenseVector* x, const IDenseVector* y) {
  return vi::AllPairs(x, y, 1, [](std::int32_t a, std::int32_t b) { return b > a; });
}

double IDenseVector_Distance(const IDenseVector* x, const IDenseVector* y) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < x->length; ++i) {
    const double difference = static_cast<double>(std::int64_t{x->data[i]} - y->data[i]);
    sum += difference * difference;
  }
  return std::sqrt(sum);
}

double IDenseVector_Dot(const IDenseVector* x, const IDenseVector* y) {
  double sum = 0.0;
  for (std::int32_t i = 0; i < x->length; ++i) {
    sum += static_cast<double>(std::int64_t{x->data[i]} * y->data[i]);
  }
  return sum;
}

double IDenseVector_DotCombine(const IDenseVector* x, const IDenseVector* y, std::int32_t a,
                               const IDenseVector* z, std::int32_t b) {
  if (a == 0 && b == 0) return 0.0;
  if (a == 0) return b * IDenseVector_Dot(x, z);
  if (b == 0) return a * IDenseVector_Dot(x, y);
  double sum = 0.0;
  for (std::int32_t i = 0; i < x->length; ++i) {
    const Int128 inner = Int128{a} * y->data[i] + Int128{b} * z->data[i];
    sum += static_cast<double>(inner * x->data[i]);
  }
  return sum;
}
