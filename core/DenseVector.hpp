// DenseVector: the library's reference-counted vector of doubles. Every
// point, bound vector, function value and scratch vector is one.
//
// Rules of the whole family:
// - elements are addressed from 1 by the element operations; the raw array
//   from DenseVector_Array is addressed from 0;
// - the record never grows by itself: only DenseVector_Size changes the
//   capacity, and an operation writing n elements assumes capacity >= n;
// - the result vector z comes first; the element count n is the length of
//   the leading vector operand; z's length becomes n; the other operands are
//   read at their first n elements (no length or capacity is compared);
// - n = 0 gives z length 0 and writes nothing else;
// - z may be the same record as any operand (element i of a result depends
//   only on element i of the operands);
// - the scalars 0, 1 and -1 are recognised by exact comparison and take the
//   shortcut documented with the operation; the shortcut is the result
//   (scaling by 0 gives exact zeros even over infinities and NaNs);
// - negation is 0 - x, so a zero element stays +0;
// - reductions return 0 for an empty vector unless stated otherwise, and
//   report indices from 1, keeping the first of equal extremes.
#pragma once

#include <cstdint>

#include "core/IDenseVector.hpp"

struct DenseVector {
  double* data;           // capacity doubles, element i (1-based) at data[i-1]
  std::int32_t capacity;  // at least 1
  std::int32_t length;    // elements in use, 0 <= length <= capacity
  std::int32_t refcount;  // holders; freed when it drops to 0
};

// ---------------------------------------------------------------------------
// Lifecycle and element access
// ---------------------------------------------------------------------------

// New vector with capacity max(n, 1), length 0, reference count 1. The
// array is not initialised.
DenseVector* DenseVector_Create(std::int32_t n);

// Drops one reference; at 0 (or below) frees the array and the record and
// returns 0, otherwise returns the remaining count. nullptr is ignored.
std::int32_t DenseVector_Destroy(DenseVector* v);

// Adds one reference; returns the new count.
std::int32_t DenseVector_Reference(DenseVector* v);

// Ensures capacity >= max(n, 1). A growing vector gets a new, uninitialised
// array: the old contents are not copied and the length is kept, so the
// caller refills it. The capacity never shrinks. A failed allocation leaves
// the vector as it was.
void DenseVector_Size(DenseVector* v, std::int32_t n);

inline std::int32_t DenseVector_Capacity(const DenseVector* v) { return v->capacity; }
inline std::int32_t DenseVector_Length(const DenseVector* v) { return v->length; }
// Sets the length; no check against the capacity.
inline void DenseVector_SetLength(DenseVector* v, std::int32_t n) { v->length = n; }
// The data array, element 1 at offset 0.
inline double* DenseVector_Array(DenseVector* v) { return v->data; }
inline const double* DenseVector_Array(const DenseVector* v) { return v->data; }

// Element i, 1-based; no bounds check.
inline double DenseVector_Value(const DenseVector* v, std::int32_t i) { return v->data[i - 1]; }
inline void DenseVector_SetValue(DenseVector* v, std::int32_t i, double value) {
  v->data[i - 1] = value;
}
// Element i (1-based) changed in place: +1.0, -1.0, +a, -a, *a, /a (IEEE
// division, no zero test).
inline void DenseVector_IncrementValue(DenseVector* v, std::int32_t i) { v->data[i - 1] += 1.0; }
inline void DenseVector_DecrementValue(DenseVector* v, std::int32_t i) { v->data[i - 1] -= 1.0; }
inline void DenseVector_AddValue(DenseVector* v, std::int32_t i, double a) { v->data[i - 1] += a; }
inline void DenseVector_SubValue(DenseVector* v, std::int32_t i, double a) { v->data[i - 1] -= a; }
inline void DenseVector_MulValue(DenseVector* v, std::int32_t i, double a) { v->data[i - 1] *= a; }
inline void DenseVector_DivValue(DenseVector* v, std::int32_t i, double a) { v->data[i - 1] /= a; }

// Copy or scatter of src into dst.
// Without a map: src's elements and length are copied into dst (dst == src
// changes nothing; an empty src only sets dst's length).
// With a map (an IDenseVector with at least src's length entries; entry i
// >= 1 is src element i's 1-based position in dst, entries <= 0 drop the
// element): dst's length becomes c, the number of positive map entries, its
// first c elements are zeroed and then the kept elements are written. The
// positive entries are distinct and lie in 1..c, and dst's capacity is at
// least c (caller's obligations). A map clone of a non-empty vector into
// itself is the solver error "cannot partial clone in place".
void DenseVector_Clone(DenseVector* dst, const DenseVector* src, const IDenseVector* map);
// The plain copy step of DenseVector_Clone.
void DenseVector_CloneFull(DenseVector* dst, const DenseVector* src);
// The scatter step of DenseVector_Clone (dst and src distinct).
void DenseVector_CloneScatter(DenseVector* dst, const DenseVector* src, const IDenseVector* map);

// ---------------------------------------------------------------------------
// Display (through Output_Printf on the given OutputMode)
// ---------------------------------------------------------------------------

// One line per element, printed with format and the arguments (i, x_i),
// i 1-based (an int and a double).
void DenseVector_DisplayFormat(const DenseVector* v, const char* format, int mode);
// DisplayFormat with "%5d   %20.19e\n".
void DenseVector_Display(const DenseVector* v, int mode);
// The same line for every element that is not 0.0 (a NaN is printed).
void DenseVector_DisplaySparse(const DenseVector* v, int mode);

// ---------------------------------------------------------------------------
// Fills and appends: fills set the length to n and write elements 1..n,
// appends write n elements after the current length and add n to it;
// n <= 0 writes nothing.
// ---------------------------------------------------------------------------

void DenseVector_FillZero(DenseVector* v, std::int32_t n);
void DenseVector_FillOne(DenseVector* v, std::int32_t n);
void DenseVector_FillMinusOne(DenseVector* v, std::int32_t n);
void DenseVector_Fill(DenseVector* v, std::int32_t n, double a);
// start, start + step, ..., each element the previous plus step; step 0
// fills with start.
void DenseVector_Ramp(DenseVector* v, std::int32_t n, double start, double step);
void DenseVector_AppendZero(DenseVector* v, std::int32_t n);
void DenseVector_AppendOne(DenseVector* v, std::int32_t n);
void DenseVector_AppendMinusOne(DenseVector* v, std::int32_t n);
void DenseVector_AppendFill(DenseVector* v, std::int32_t n, double a);
void DenseVector_AppendRamp(DenseVector* v, std::int32_t n, double start, double step);
// Appends w's elements (v and w may be the same record).
void DenseVector_AppendVector(DenseVector* v, const DenseVector* w);
// Appends one element a.
void DenseVector_Push(DenseVector* v, double a);
// Every element equal to a becomes b; returns the number replaced.
std::int32_t DenseVector_Replace(DenseVector* v, double a, double b);

// ---------------------------------------------------------------------------
// Counts, sums and norms (over v's length; 0 for an empty vector)
// ---------------------------------------------------------------------------

// Number of elements x_i with x_i == a, != a, < a, <= a, > a, >= a.
std::int32_t DenseVector_CountEQ(const DenseVector* v, double a);
std::int32_t DenseVector_CountNE(const DenseVector* v, double a);
std::int32_t DenseVector_CountLT(const DenseVector* v, double a);
std::int32_t DenseVector_CountLE(const DenseVector* v, double a);
std::int32_t DenseVector_CountGT(const DenseVector* v, double a);
std::int32_t DenseVector_CountGE(const DenseVector* v, double a);

// Sums of x_i, abs(x_i), x_i squared, in element order.
double DenseVector_Sum(const DenseVector* v);
double DenseVector_SumAbs(const DenseVector* v);
double DenseVector_SumSquares(const DenseVector* v);
// SumAbs; square root of SumSquares; the value of MaxAbsIndex.
double DenseVector_OneNorm(const DenseVector* v);
double DenseVector_TwoNorm(const DenseVector* v);
double DenseVector_InfNorm(const DenseVector* v);
// Smallest / largest of elements 1..k (read whatever the length); 0.0 when
// k < 1.
double DenseVector_MinPrefix(const DenseVector* v, std::int32_t k);
double DenseVector_MaxPrefix(const DenseVector* v, std::int32_t k);
// Smallest / largest x_i + y_i over i = 1..k; 0.0 when k < 1.
double DenseVector_MinSumPrefix(const DenseVector* x, const DenseVector* y, std::int32_t k);
double DenseVector_MaxSumPrefix(const DenseVector* x, const DenseVector* y, std::int32_t k);
// Sum of elements 1..k; 0.0 when k <= 0.
double DenseVector_SumPrefix(const DenseVector* v, std::int32_t k);

// ---------------------------------------------------------------------------
// Extremes with their 1-based index. Element 1 is the first candidate and a
// later element replaces it only when strictly smaller (larger), so the
// first of equal extremes wins and a NaN candidate is never replaced. An
// empty vector gives value 0.0 and index 0.
// ---------------------------------------------------------------------------

void DenseVector_MinIndex(double& value, std::int32_t& index, const DenseVector* v);
void DenseVector_MaxIndex(double& value, std::int32_t& index, const DenseVector* v);
// Largest abs(x_i).
void DenseVector_MaxAbsIndex(double& value, std::int32_t& index, const DenseVector* v);
// Smallest abs(x_i) among the elements with abs(x_i) > 0 (NaNs are
// skipped); value 0.0 and index 1 when no element qualifies.
void DenseVector_MinAbsNonzeroIndex(double& value, std::int32_t& index, const DenseVector* v);

// ---------------------------------------------------------------------------
// In place
// ---------------------------------------------------------------------------

// x_i := 0 - x_i.
void DenseVector_Negate(DenseVector* v);
// x_i := 1 / x_i (IEEE division, no zero test).
void DenseVector_Invert(DenseVector* v);

// ---------------------------------------------------------------------------
// With a scalar (z, x, a); leading operand x
// ---------------------------------------------------------------------------

// x_i + a; a = 0: copy of x.
void DenseVector_AddScalar(DenseVector* z, const DenseVector* x, double a);
// AddScalar with 0 - a.
void DenseVector_SubScalar(DenseVector* z, const DenseVector* x, double a);
// a * x_i; a = 0: zeros; a = 1: copy of x; a = -1: 0 - x_i.
void DenseVector_Scale(DenseVector* z, const DenseVector* x, double a);
// x_i / a; a = 1: copy; a = -1: 0 - x_i; no zero test.
void DenseVector_DivScalar(DenseVector* z, const DenseVector* x, double a);
// x_i when a > x_i, else a.
void DenseVector_MinScalar(DenseVector* z, const DenseVector* x, double a);
// x_i when x_i > a, else a.
void DenseVector_MaxScalar(DenseVector* z, const DenseVector* x, double a);
// a / x_i; a = 0: zeros.
void DenseVector_ScalarDiv(DenseVector* z, double a, const DenseVector* x);

// ---------------------------------------------------------------------------
// Elementwise (z, x, y[, w]); leading operand x
// ---------------------------------------------------------------------------

void DenseVector_Add(DenseVector* z, const DenseVector* x, const DenseVector* y);
void DenseVector_Sub(DenseVector* z, const DenseVector* x, const DenseVector* y);
void DenseVector_Mul(DenseVector* z, const DenseVector* x, const DenseVector* y);
// x_i / y_i, no zero test.
void DenseVector_Div(DenseVector* z, const DenseVector* x, const DenseVector* y);
// y_i when x_i > y_i, else x_i.
void DenseVector_Min(DenseVector* z, const DenseVector* x, const DenseVector* y);
// y_i when y_i > x_i, else x_i.
void DenseVector_Max(DenseVector* z, const DenseVector* x, const DenseVector* y);
// abs(y_i) when abs(x_i) > abs(y_i), else abs(x_i).
void DenseVector_MinAbs(DenseVector* z, const DenseVector* x, const DenseVector* y);
// abs(y_i) when abs(y_i) > abs(x_i), else abs(x_i).
void DenseVector_MaxAbs(DenseVector* z, const DenseVector* x, const DenseVector* y);
// x_i + a * y_i; a = 0: copy of x; a = 1: Add; a = -1: Sub.
void DenseVector_AddScaled(DenseVector* z, const DenseVector* x, const DenseVector* y, double a);
// AddScaled with 0 - a.
void DenseVector_SubScaled(DenseVector* z, const DenseVector* x, const DenseVector* y, double a);
// a * x_i + b * y_i; tested in this order: a = 0: Scale (z, y, b) (count
// from y); b = 0: Scale (z, x, a); a = 1: AddScaled (z, x, y, b); b = 1:
// AddScaled (z, y, x, a) (count from y).
void DenseVector_Combine(DenseVector* z, const DenseVector* x, double a, const DenseVector* y,
                         double b);
// x_i + y_i * w_i, x_i + y_i / w_i, x_i - y_i * w_i, x_i - y_i / w_i.
void DenseVector_AddMul(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w);
void DenseVector_AddDiv(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w);
void DenseVector_SubMul(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w);
void DenseVector_SubDiv(DenseVector* z, const DenseVector* x, const DenseVector* y,
                        const DenseVector* w);
// Sums of 3, 4, 5 vectors, added left to right; count from the first.
void DenseVector_Add3(DenseVector* z, const DenseVector* a, const DenseVector* b,
                      const DenseVector* c);
void DenseVector_Add4(DenseVector* z, const DenseVector* a, const DenseVector* b,
                      const DenseVector* c, const DenseVector* d);
void DenseVector_Add5(DenseVector* z, const DenseVector* a, const DenseVector* b,
                      const DenseVector* c, const DenseVector* d, const DenseVector* e);

// Sum of the first count vectors of list, added left to right and stopping
// early at a null entry; count from list[0]; an empty or absent first vector
// gives length 0. z may be any of the operands, a later one included.
void DenseVector_AddListArray(DenseVector* z, const DenseVector* const* list,
                              std::int32_t count);
// DenseVector_AddList (z, w1, w2, ..., nullptr): sum of a null-terminated
// list, as DenseVector_AddListArray.
template <class... Vectors>
inline void DenseVector_AddList(DenseVector* z, Vectors... list) {
  const DenseVector* entries[] = {static_cast<const DenseVector*>(list)..., nullptr};
  DenseVector_AddListArray(z, entries, static_cast<std::int32_t>(sizeof...(list)));
}

// ---------------------------------------------------------------------------
// Projections onto bounds l, u
// ---------------------------------------------------------------------------

// The median of l_i, x_i and u_i (the projection of x_i onto [l_i, u_i]
// when l_i <= u_i); leading operand x.
void DenseVector_Mid(DenseVector* z, const DenseVector* x, const DenseVector* l,
                     const DenseVector* u);
// 0 when l_i >= x_i and d_i <= 0, or x_i >= u_i and d_i >= 0; otherwise
// median(l_i, x_i + d_i, u_i) - x_i. Leading operand d.
void DenseVector_ProjectedStep(DenseVector* z, const DenseVector* d, const DenseVector* x,
                               const DenseVector* l, const DenseVector* u);
// 0 under the same two conditions, otherwise d_i. Leading operand d.
void DenseVector_ProjectedDirection(DenseVector* z, const DenseVector* d, const DenseVector* x,
                                    const DenseVector* l, const DenseVector* u);

// ---------------------------------------------------------------------------
// Comparisons: 1 or 0 over x's length. Empty x, or x and y sharing one data
// array: Equal, LessEqual, GreaterEqual give 1; NotEqual, Less, Greater 0.
// ---------------------------------------------------------------------------

// Every x_i == y_i (a pair with a NaN is unequal).
std::int32_t DenseVector_Equal(const DenseVector* x, const DenseVector* y);
std::int32_t DenseVector_NotEqual(const DenseVector* x, const DenseVector* y);
// No pair with x_i >= y_i.
std::int32_t DenseVector_Less(const DenseVector* x, const DenseVector* y);
// No pair with x_i > y_i.
std::int32_t DenseVector_LessEqual(const DenseVector* x, const DenseVector* y);
// No pair with y_i >= x_i.
std::int32_t DenseVector_Greater(const DenseVector* x, const DenseVector* y);
// No pair with y_i > x_i.
std::int32_t DenseVector_GreaterEqual(const DenseVector* x, const DenseVector* y);

// ---------------------------------------------------------------------------
// Inner products (leading operand x; empty x gives 0.0)
// ---------------------------------------------------------------------------

// Square root of the sum of (x_i - y_i)^2.
double DenseVector_Distance(const DenseVector* x, const DenseVector* y);
// Sum of x_i * y_i.
double DenseVector_Dot(const DenseVector* x, const DenseVector* y);
// Sum of x_i * (a * y_i + b * z_i); a = b = 0: 0.0; a = 0: b * Dot (x, z);
// b = 0: a * Dot (x, y).
double DenseVector_DotCombine(const DenseVector* x, const DenseVector* y, double a,
                              const DenseVector* z, double b);
