// IDenseVector: the library's reference-counted vector of 32-bit integers
// (index lists, permutations, clone maps, basis status codes, counters).
//
// Same layout, lifecycle and operation rules as DenseVector:
// - elements are addressed from 1 by the element operations; the raw array
//   from IDenseVector_Array is addressed from 0;
// - the result vector comes first, the element count n is the length of the
//   leading vector operand, the result's length becomes n, the other
//   operands are read at their first n elements (no length or capacity
//   check: capacity >= n is the caller's obligation);
// - the result may be the same record as any operand;
// - the scalars 0, 1 and -1 are recognised exactly and take shortcuts.
//
// Integer arithmetic is carried out in 64 bits. An integer result that does
// not fit in 32 bits is the solver error "integer overflow"; a division or
// remainder by zero is the solver error "division by zero", and the quotient
// of the most negative integer by -1 is "integer overflow". A remainder by
// -1 is 0. Division truncates toward zero; a remainder takes the sign of the
// dividend. Reductions that return a double convert each exact 64-bit term
// to double before adding it.
#pragma once

#include <cstdint>

struct IDenseVector {
  std::int32_t* data;     // capacity integers, element i (1-based) at data[i-1]
  std::int32_t capacity;  // at least 1
  std::int32_t length;    // elements in use, 0 <= length <= capacity
  std::int32_t refcount;  // holders; freed when it drops to 0
};

// ---------------------------------------------------------------------------
// Lifecycle and element access
// ---------------------------------------------------------------------------

// New vector with capacity max(n, 1), length 0, reference count 1. The
// array is not initialised.
IDenseVector* IDenseVector_Create(std::int32_t n);

// Drops one reference; at 0 (or below) frees the array and the record and
// returns 0, otherwise returns the remaining count. nullptr is ignored.
std::int32_t IDenseVector_Destroy(IDenseVector* v);

// Adds one reference. Returns nothing (unlike the double twin).
void IDenseVector_Reference(IDenseVector* v);

// Ensures capacity >= max(n, 1). A growing vector gets a new, uninitialised
// array (old contents are not copied, the length is kept); the capacity
// never shrinks.
void IDenseVector_Size(IDenseVector* v, std::int32_t n);

inline std::int32_t IDenseVector_Capacity(const IDenseVector* v) { return v->capacity; }
inline std::int32_t IDenseVector_Length(const IDenseVector* v) { return v->length; }
// Sets the length; no check against the capacity.
inline void IDenseVector_SetLength(IDenseVector* v, std::int32_t n) { v->length = n; }
// The data array, element 1 at offset 0.
inline std::int32_t* IDenseVector_Array(IDenseVector* v) { return v->data; }
inline const std::int32_t* IDenseVector_Array(const IDenseVector* v) { return v->data; }

// Element i, 1-based; no bounds check.
inline std::int32_t IDenseVector_Value(const IDenseVector* v, std::int32_t i) {
  return v->data[i - 1];
}
inline void IDenseVector_SetValue(IDenseVector* v, std::int32_t i, std::int32_t value) {
  v->data[i - 1] = value;
}

// Element i (1-based) changed in place: +1, -1, +a, -a, *a, /a, remainder a.
// Overflow and a zero divisor are solver errors (see the top of this file).
void IDenseVector_IncrementValue(IDenseVector* v, std::int32_t i);
void IDenseVector_DecrementValue(IDenseVector* v, std::int32_t i);
void IDenseVector_AddValue(IDenseVector* v, std::int32_t i, std::int32_t a);
void IDenseVector_SubValue(IDenseVector* v, std::int32_t i, std::int32_t a);
void IDenseVector_MulValue(IDenseVector* v, std::int32_t i, std::int32_t a);
void IDenseVector_DivValue(IDenseVector* v, std::int32_t i, std::int32_t a);
void IDenseVector_ModValue(IDenseVector* v, std::int32_t i, std::int32_t a);

// Copy (map == nullptr) or scatter (map given) of src into dst, exactly as
// DenseVector_Clone: map entry i >= 1 is src element i's 1-based position in
// dst, entries <= 0 drop the element; dst's length becomes the number of
// positive map entries and unreached elements are 0. Cloning a non-empty
// vector into itself with a map is the solver error "cannot partial clone in
// place".
void IDenseVector_Clone(IDenseVector* dst, const IDenseVector* src, const IDenseVector* map);
void IDenseVector_CloneFull(IDenseVector* dst, const IDenseVector* src);
void IDenseVector_CloneScatter(IDenseVector* dst, const IDenseVector* src,
                               const IDenseVector* map);

// ---------------------------------------------------------------------------
// Display (through Output_Printf on the given OutputMode)
// ---------------------------------------------------------------------------

// One line per element, printed with format and the arguments (i, x_i),
// i 1-based.
void IDenseVector_DisplayFormat(const IDenseVector* v, const char* format, int mode);
// DisplayFormat with "%5d   %5d\n".
void IDenseVector_Display(const IDenseVector* v, int mode);
// The same line for every element that is not 0.
void IDenseVector_DisplaySparse(const IDenseVector* v, int mode);

// ---------------------------------------------------------------------------
// Fills and appends: fills set the length to n and write elements 1..n,
// appends write n elements after the current length; n <= 0 writes nothing.
// ---------------------------------------------------------------------------

void IDenseVector_FillZero(IDenseVector* v, std::int32_t n);
void IDenseVector_FillOne(IDenseVector* v, std::int32_t n);
void IDenseVector_FillMinusOne(IDenseVector* v, std::int32_t n);
void IDenseVector_Fill(IDenseVector* v, std::int32_t n, std::int32_t a);
// start, start + step, ...; step 0 fills with start.
void IDenseVector_Ramp(IDenseVector* v, std::int32_t n, std::int32_t start, std::int32_t step);
void IDenseVector_AppendZero(IDenseVector* v, std::int32_t n);
void IDenseVector_AppendOne(IDenseVector* v, std::int32_t n);
void IDenseVector_AppendMinusOne(IDenseVector* v, std::int32_t n);
void IDenseVector_AppendFill(IDenseVector* v, std::int32_t n, std::int32_t a);
void IDenseVector_AppendRamp(IDenseVector* v, std::int32_t n, std::int32_t start,
                             std::int32_t step);
// Appends w's elements (v and w may be the same record).
void IDenseVector_AppendVector(IDenseVector* v, const IDenseVector* w);
// Appends one element a.
void IDenseVector_Push(IDenseVector* v, std::int32_t a);
// Every element equal to a becomes b; returns the number replaced.
std::int32_t IDenseVector_Replace(IDenseVector* v, std::int32_t a, std::int32_t b);

// ---------------------------------------------------------------------------
// Counts, sums and norms (over v's length; 0 for an empty vector)
// ---------------------------------------------------------------------------

std::int32_t IDenseVector_CountEQ(const IDenseVector* v, std::int32_t a);
std::int32_t IDenseVector_CountNE(const IDenseVector* v, std::int32_t a);
std::int32_t IDenseVector_CountLT(const IDenseVector* v, std::int32_t a);
std::int32_t IDenseVector_CountLE(const IDenseVector* v, std::int32_t a);
std::int32_t IDenseVector_CountGT(const IDenseVector* v, std::int32_t a);
std::int32_t IDenseVector_CountGE(const IDenseVector* v, std::int32_t a);

// Sums of x_i, abs(x_i), x_i * x_i; the norms; each term is exact in 64 bits
// and converted to double before it is added.
double IDenseVector_Sum(const IDenseVector* v);
double IDenseVector_SumAbs(const IDenseVector* v);
double IDenseVector_SumSquares(const IDenseVector* v);
double IDenseVector_OneNorm(const IDenseVector* v);
double IDenseVector_TwoNorm(const IDenseVector* v);
// Largest abs(x_i) (0.0 for an empty vector).
double IDenseVector_InfNorm(const IDenseVector* v);
// Sum of elements 1..k (read whatever the length); 0.0 when k <= 0.
double IDenseVector_SumPrefix(const IDenseVector* v, std::int32_t k);

// ---------------------------------------------------------------------------
// Extremes. The index is 1-based, the first of equal extremes wins, an
// empty vector gives value 0 and index 0.
// ---------------------------------------------------------------------------

void IDenseVector_MinIndex(std::int32_t& value, std::int32_t& index, const IDenseVector* v);
void IDenseVector_MaxIndex(std::int32_t& value, std::int32_t& index, const IDenseVector* v);
// Largest abs(x_i) (the magnitude of the most negative integer does not fit
// and is the solver error "integer overflow").
void IDenseVector_MaxAbsIndex(std::int32_t& value, std::int32_t& index, const IDenseVector* v);
// Smallest abs(x_i) among the non-zero elements; value 0 and index 1 when
// every element is 0.
void IDenseVector_MinAbsNonzeroIndex(std::int32_t& value, std::int32_t& index,
                                     const IDenseVector* v);
// Smallest / largest of elements 1..k (read whatever the length); 0 when
// k < 1.
std::int32_t IDenseVector_MinPrefix(const IDenseVector* v, std::int32_t k);
std::int32_t IDenseVector_MaxPrefix(const IDenseVector* v, std::int32_t k);
// Smallest / largest x_i + y_i over i = 1..k; 0 when k < 1. The sums are
// exact (64 bits).
std::int64_t IDenseVector_MinSumPrefix(const IDenseVector* x, const IDenseVector* y,
                                       std::int32_t k);
std::int64_t IDenseVector_MaxSumPrefix(const IDenseVector* x, const IDenseVector* y,
                                       std::int32_t k);

// ---------------------------------------------------------------------------
// In place
// ---------------------------------------------------------------------------

// x_i := 0 - x_i.
void IDenseVector_Negate(IDenseVector* v);

// ---------------------------------------------------------------------------
// With a scalar (z, x, a); leading operand x
// ---------------------------------------------------------------------------

// x_i + a; a = 0: copy of x.
void IDenseVector_AddScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a);
// x_i - a (AddScalar with 0 - a, formed in 64 bits).
void IDenseVector_SubScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a);
// a * x_i; a = 0: zeros; a = 1: copy; a = -1: 0 - x_i.
void IDenseVector_Scale(IDenseVector* z, const IDenseVector* x, std::int32_t a);
// x_i / a; a = 1: copy; a = -1: 0 - x_i.
void IDenseVector_DivScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a);
// x_i remainder a; a = 1 or -1: zeros.
void IDenseVector_ModScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a);
// x_i when a > x_i, else a.
void IDenseVector_MinScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a);
// x_i when x_i > a, else a.
void IDenseVector_MaxScalar(IDenseVector* z, const IDenseVector* x, std::int32_t a);
// a / x_i; a = 0: zeros.
void IDenseVector_ScalarDiv(IDenseVector* z, std::int32_t a, const IDenseVector* x);
// a remainder x_i; a = 0: zeros.
void IDenseVector_ScalarMod(IDenseVector* z, std::int32_t a, const IDenseVector* x);

// ---------------------------------------------------------------------------
// Elementwise (z, x, y[, w]); leading operand x
// ---------------------------------------------------------------------------

void IDenseVector_Add(IDenseVector* z, const IDenseVector* x, const IDenseVector* y);
void IDenseVector_Sub(IDenseVector* z, const IDenseVector* x, const IDenseVector* y);
void IDenseVector_Mul(IDenseVector* z, const IDenseVector* x, const IDenseVector* y);
void IDenseVector_Div(IDenseVector* z, const IDenseVector* x, const IDenseVector* y);
// x_i remainder y_i.
void IDenseVector_Mod(IDenseVector* z, const IDenseVector* x, const IDenseVector* y);
// x_i + a * y_i; a = 0: copy of x; a = 1: Add; a = -1: Sub.
void IDenseVector_AddScaled(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                            std::int32_t a);
// AddScaled with 0 - a.
void IDenseVector_SubScaled(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                            std::int32_t a);
// a * x_i + b * y_i; tested in this order: a = 0: Scale (z, y, b) (count
// from y); b = 0: Scale (z, x, a); a = 1: AddScaled (z, x, y, b); b = 1:
// AddScaled (z, y, x, a) (count from y).
void IDenseVector_Combine(IDenseVector* z, const IDenseVector* x, std::int32_t a,
                          const IDenseVector* y, std::int32_t b);
// x_i + y_i * w_i, x_i + y_i / w_i, x_i + (y_i remainder w_i), and the
// same with minus.
void IDenseVector_AddMul(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w);
void IDenseVector_AddDiv(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w);
void IDenseVector_AddMod(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w);
void IDenseVector_SubMul(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w);
void IDenseVector_SubDiv(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w);
void IDenseVector_SubMod(IDenseVector* z, const IDenseVector* x, const IDenseVector* y,
                         const IDenseVector* w);
// Sums of 3, 4, 5 vectors, count from the first.
void IDenseVector_Add3(IDenseVector* z, const IDenseVector* a, const IDenseVector* b,
                       const IDenseVector* c);
void IDenseVector_Add4(IDenseVector* z, const IDenseVector* a, const IDenseVector* b,
                       const IDenseVector* c, const IDenseVector* d);
void IDenseVector_Add5(IDenseVector* z, const IDenseVector* a, const IDenseVector* b,
                       const IDenseVector* c, const IDenseVector* d, const IDenseVector* e);

// Sum of the first count vectors of list, stopping early at a null entry;
// count from list[0]; an empty or absent first vector gives length 0. z may
// be any of the operands.
void IDenseVector_AddListArray(IDenseVector* z, const IDenseVector* const* list,
                               std::int32_t count);
// IDenseVector_AddList (z, w1, w2, ..., nullptr): sum of a null-terminated
// list of vectors, count from w1; z may be any of the operands.
template <class... Vectors>
inline void IDenseVector_AddList(IDenseVector* z, Vectors... list) {
  const IDenseVector* entries[] = {static_cast<const IDenseVector*>(list)..., nullptr};
  IDenseVector_AddListArray(z, entries, static_cast<std::int32_t>(sizeof...(list)));
}

// ---------------------------------------------------------------------------
// Projection, comparisons, inner products
// ---------------------------------------------------------------------------

// The median of l_i, x_i, u_i (the projection of x_i onto [l_i, u_i] when
// l_i <= u_i); leading operand x.
void IDenseVector_Mid(IDenseVector* z, const IDenseVector* x, const IDenseVector* l,
                      const IDenseVector* u);

// 1 or 0 over x's length. Empty x or x and y sharing one array: Equal,
// LessEqual, GreaterEqual give 1; NotEqual, Less, Greater give 0.
std::int32_t IDenseVector_Equal(const IDenseVector* x, const IDenseVector* y);
std::int32_t IDenseVector_NotEqual(const IDenseVector* x, const IDenseVector* y);
std::int32_t IDenseVector_Less(const IDenseVector* x, const IDenseVector* y);
std::int32_t IDenseVector_LessEqual(const IDenseVector* x, const IDenseVector* y);
std::int32_t IDenseVector_Greater(const IDenseVector* x, const IDenseVector* y);
std::int32_t IDenseVector_GreaterEqual(const IDenseVector* x, const IDenseVector* y);

// Square root of the sum of (x_i - y_i)^2; sum of x_i * y_i; sum of
// x_i * (a * y_i + b * z_i) with a = b = 0: 0.0, a = 0: b * Dot (x, z),
// b = 0: a * Dot (x, y). Terms exact, then converted to double.
double IDenseVector_Distance(const IDenseVector* x, const IDenseVector* y);
double IDenseVector_Dot(const IDenseVector* x, const IDenseVector* y);
double IDenseVector_DotCombine(const IDenseVector* x, const IDenseVector* y, std::int32_t a,
                               const IDenseVector* z, std::int32_t b);
