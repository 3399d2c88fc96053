// DenseVector record: lifecycle, capacity and cloning.
#include "core/DenseVector.hpp"

#include "core/DenseVector_internal.hpp"

namespace vi = vector_internal;

DenseVector* DenseVector_Create(std::int32_t n) { return vi::Create<DenseVector, double>(n); }

std::int32_t DenseVector_Destroy(DenseVector* v) { return vi::Destroy(v); }

std::int32_t DenseVector_Reference(DenseVector* v) { return ++v->refcount; }

void DenseVector_Size(DenseVector* v, std::int32_t n) { vi::Size<DenseVector, double>(v, n); }

void DenseVector_Clone(DenseVector* dst, const DenseVector* src, const IDenseVector* map) {
  vi::Clone("DenseVector", dst, src, map);
}

void DenseVector_CloneFull(DenseVector* dst, const DenseVector* src) { vi::CloneFull(dst, src); }

void DenseVector_CloneScatter(DenseVector* dst, const DenseVector* src, const IDenseVector* map) {
  vi::CloneScatter(dst, src, map);
}
