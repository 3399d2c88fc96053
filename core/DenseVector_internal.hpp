// Shared algorithms of the two vector twins, DenseVector (doubles) and
// IDenseVector (32-bit integers). Both records have the same layout (data,
// capacity, length, refcount), so lifecycle, cloning, fills, counts,
// extremes, comparisons, the median and display are written once here over
// the record type V and its element type T. Only the sources of the two
// vector modules include this header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Output.hpp"

namespace vector_internal {

// --- Lifecycle --------------------------------------------------------------

template <class V, class T>
V* Create(std::int32_t n) {
  const std::int32_t capacity = std::max<std::int32_t>(n, 1);
  T* data = Memory_AllocateArray<T>(capacity);
  V* v;
  try {
    v = static_cast<V*>(Memory_Allocate(sizeof(V)));
  } catch (...) {  // a solver error leaving through the host's callback
    Memory_Free(data);
    throw;
  }
  v->data = data;
  v->capacity = capacity;
  v->length = 0;
  v->refcount = 1;
  return v;
}

template <class V>
std::int32_t Destroy(V* v) {
  if (v == nullptr) return 0;
  v->refcount -= 1;
  if (v->refcount > 0) return v->refcount;
  Memory_Free(v->data);
  Memory_Free(v);
  return 0;
}

// The new array is obtained before the old one is freed, so a failed
// allocation leaves the vector intact.
template <class V, class T>
void Size(V* v, std::int32_t n) {
  const std::int32_t m = std::max<std::int32_t>(n, 1);
  if (v->capacity >= m) return;
  T* data = Memory_AllocateArray<T>(m);
  Memory_Free(v->data);
  v->data = data;
  v->capacity = m;
}

// --- Cloning ----------------------------------------------------------------

template <class V>
void CloneFull(V* dst, const V* src) {
  if (dst == src) return;
  if (src->length > 0 && dst->data != src->data) {
    std::memmove(dst->data, src->data, sizeof(*src->data) * static_cast<std::size_t>(src->length));
  }
  dst->length = src->length;
}

template <class V, class M>
void CloneScatter(V* dst, const V* src, const M* map) {
  const std::int32_t* to = map->data;
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < map->length; ++i) {
    if (to[i] > 0) ++kept;
  }
  dst->length = kept;
  if (kept == 0) return;
  std::fill(dst->data, dst->data + kept, 0);
  for (std::int32_t i = 0; i < src->length; ++i) {
    if (to[i] >= 1) dst->data[to[i] - 1] = src->data[i];
  }
}

template <class V, class M>
void Clone(const char* module, V* dst, const V* src, const M* map) {
  if (src->length <= 0) {
    dst->length = src->length;
  } else if (map == nullptr) {
    CloneFull(dst, src);
  } else {
    if (dst == src) Error_Report(module, __LINE__, "Clone", "cannot partial clone in place");
    CloneScatter(dst, src, map);
  }
}

// --- Fills and appends --------------------------------------------------------

template <class V, class T>
void FillFrom(V* v, std::int32_t first, std::int32_t n, T a) {
  if (n <= 0) return;
  std::fill(v->data + first, v->data + first + n, a);
}

template <class V>
void AppendVector(V* v, const V* w) {
  const std::int32_t n = w->length;
  if (n <= 0) return;
  std::memmove(v->data + v->length, w->data, sizeof(*w->data) * static_cast<std::size_t>(n));
  v->length += n;
}

template <class V, class T>
std::int32_t Replace(V* v, T a, T b) {
  std::int32_t replaced = 0;
  for (std::int32_t i = 0; i < v->length; ++i) {
    if (v->data[i] == a) {
      v->data[i] = b;
      ++replaced;
    }
  }
  return replaced;
}

// --- Counts -----------------------------------------------------------------

template <class V, class Test>
std::int32_t Count(const V* v, Test test) {
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < v->length; ++i) {
    if (test(v->data[i])) ++count;
  }
  return count;
}

// --- Extremes ---------------------------------------------------------------

// First element of 1..n whose value replaces the candidate only when
// better(value, candidate) holds; the value is 0 and the index 0 when n < 1.
template <class T, class Better>
void Extreme(T& value, std::int32_t& index, const T* data, std::int32_t n, Better better) {
  if (n < 1) {
    value = 0;
    index = 0;
    return;
  }
  T best = data[0];
  std::int32_t at = 0;
  for (std::int32_t i = 1; i < n; ++i) {
    if (better(data[i], best)) {
      best = data[i];
      at = i;
    }
  }
  value = best;
  index = at + 1;
}

// --- Comparisons ------------------------------------------------------------

// 0 as soon as one pair satisfies fails(x_i, y_i), else 1; an empty x or
// shared arrays give trivial.
template <class V, class Fails>
std::int32_t AllPairs(const V* x, const V* y, std::int32_t trivial, Fails fails) {
  if (x->length <= 0 || x->data == y->data) return trivial;
  for (std::int32_t i = 0; i < x->length; ++i) {
    if (fails(x->data[i], y->data[i])) return 0;
  }
  return 1;
}

// --- Median -----------------------------------------------------------------

// The median of l, x and u; the order of the comparisons fixes which value
// comes back when the bounds are crossed.
template <class T>
inline T Median(T l, T x, T u) {
  if (l > x) {
    if (u <= l && u <= x) return x;
    if (u > l) return l;
    return u;
  }
  if (l <= u && u > x) return x;
  if (l > u) return l;
  return u;
}

// --- Elementwise results ----------------------------------------------------

// Writes element(i) (0-based) for i < n into z and sets z's length to n
// (0 when n <= 0). element reads only position i of its operands, so z may
// be one of them.
template <class V, class Element>
void Elementwise(V* z, std::int32_t n, Element element) {
  if (n <= 0) {
    z->length = 0;
    return;
  }
  auto* out = z->data;
  for (std::int32_t i = 0; i < n; ++i) out[i] = element(i);
  z->length = n;
}

// Sum of the first count entries of list up to the first null one, added
// left to right element by element. Every operand is read at position i
// before z's element i is written, so z may be any of them.
template <class V, class Accumulate>
void SumList(V* z, const V* const* list, std::int32_t count, Accumulate accumulate) {
  if (count < 1 || list[0] == nullptr || list[0]->length <= 0) {
    z->length = 0;
    return;
  }
  std::int32_t terms = 1;
  while (terms < count && list[terms] != nullptr) ++terms;
  accumulate(z, list, terms, list[0]->length);
}

// --- Display ----------------------------------------------------------------

template <class V>
void DisplayFormat(const V* v, const char* format, int mode) {
  for (std::int32_t i = 0; i < v->length; ++i) Output_Printf(mode, format, i + 1, v->data[i]);
}

// Lines for the elements that are not 0 (x != 0 holds for a NaN).
template <class V>
void DisplaySparse(const V* v, const char* format, int mode) {
  for (std::int32_t i = 0; i < v->length; ++i) {
    if (v->data[i] != 0) Output_Printf(mode, format, i + 1, v->data[i]);
  }
}

}  // namespace vector_internal
