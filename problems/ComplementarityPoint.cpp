// ComplementarityPoint record: lifetime, projection onto the complementarity
// pattern, multipliers from F or from basis codes, distances.
#include "problems/ComplementarityPoint.hpp"

#include <algorithm>
#include <cmath>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace {

void FreeRecord(ComplementarityPoint* p) {
  DenseVector_Destroy(p->z);
  DenseVector_Destroy(p->w);
  DenseVector_Destroy(p->v);
  Memory_Free(p);
}

// A vector read over the record's n values must hold them.
void RequireValues(const DenseVector* v, std::int32_t n, const char* operation) {
  if (v == nullptr || DenseVector_Length(v) < n) {
    Error_SolverError("ComplementarityPoint: %s: %d values needed, %d given.\n", operation, n,
                      v == nullptr ? 0 : DenseVector_Length(v));
  }
}

void RequirePoint(const ComplementarityPoint* p, std::int32_t n, const char* operation) {
  if (p->n < n) {
    Error_SolverError("ComplementarityPoint: %s: %d values needed, %d given.\n", operation, n,
                      p->n);
  }
}

}  // namespace

ComplementarityPoint* ComplementarityPoint_Create(std::int32_t n) {
  if (n < 0) Error_Report("ComplementarityPoint", __LINE__, "Create", "negative size");
  auto build = [n](ComplementarityPoint* p) {
    p->capacity = n;
    p->refcount = 1;
    p->z = DenseVector_Create(n);
    p->w = DenseVector_Create(n);
    p->v = DenseVector_Create(n);
  };
  return problem_classes::NewRecord<ComplementarityPoint>(build, &FreeRecord);
}

std::int32_t ComplementarityPoint_Destroy(ComplementarityPoint* p) {
  return problem_classes::DropReference(p, &FreeRecord);
}

std::int32_t ComplementarityPoint_Reference(ComplementarityPoint* p) {
  return problem_classes::AddReference(p);
}

void ComplementarityPoint_Size(ComplementarityPoint* p, std::int32_t n) {
  p->capacity = std::max(p->capacity, n);
  DenseVector_Size(p->z, p->capacity);
  DenseVector_Size(p->w, p->capacity);
  DenseVector_Size(p->v, p->capacity);
}

void ComplementarityPoint_SetN(ComplementarityPoint* p, std::int32_t n) {
  if (n < 0 || n > p->capacity) {
    Error_Report("ComplementarityPoint", __LINE__, "SetN", "insufficient capacity");
  }
  p->n = n;
  DenseVector_SetLength(p->z, n);
  DenseVector_SetLength(p->w, n);
  DenseVector_SetLength(p->v, n);
}

void ComplementarityPoint_Copy(ComplementarityPoint* dst, const ComplementarityPoint* src) {
  if (dst == src) return;
  if (dst->capacity < src->n) ComplementarityPoint_Size(dst, src->n);
  dst->n = src->n;
  DenseVector_Clone(dst->z, src->z, nullptr);
  DenseVector_Clone(dst->w, src->w, nullptr);
  DenseVector_Clone(dst->v, src->v, nullptr);
}

void ComplementarityPoint_Project(ComplementarityPoint* p, MCP* mcp) {
  const DenseVector* lower = MCP_Lower(mcp);
  const DenseVector* upper = MCP_Upper(mcp);
  RequireValues(lower, p->n, "Project");
  RequireValues(upper, p->n, "Project");
  const double* l = DenseVector_Array(lower);
  const double* u = DenseVector_Array(upper);
  double* z = DenseVector_Array(p->z);
  double* w = DenseVector_Array(p->w);
  double* v = DenseVector_Array(p->v);
  for (std::int32_t i = 0; i < p->n; ++i) {
    double zi = z[i];
    if (l[i] > zi) {
      z[i] = l[i];
    } else if (zi > u[i]) {
      z[i] = u[i];
    }
    if (w[i] < 0.0 || (zi > l[i] && w[i] > 0.0)) w[i] = 0.0;
    if (v[i] < 0.0 || (u[i] > zi && v[i] > 0.0)) v[i] = 0.0;
  }
}

void ComplementarityPoint_FromF(ComplementarityPoint* p, MCP* mcp, const FunctionJacobian* pair) {
  const DenseVector* lower = MCP_Lower(mcp);
  const DenseVector* upper = MCP_Upper(mcp);
  const DenseVector* F = FunctionJacobian_Function(pair);
  RequireValues(lower, p->n, "FromF");
  RequireValues(upper, p->n, "FromF");
  RequireValues(F, p->n, "FromF");
  const double* l = DenseVector_Array(lower);
  const double* u = DenseVector_Array(upper);
  const double* f = DenseVector_Array(F);
  const double* z = DenseVector_Array(p->z);
  double* w = DenseVector_Array(p->w);
  double* v = DenseVector_Array(p->v);
  for (std::int32_t i = 0; i < p->n; ++i) {
    w[i] = (z[i] == l[i] && f[i] > 0.0) ? f[i] : 0.0;
    v[i] = (z[i] == u[i] && f[i] < 0.0) ? 0.0 - f[i] : 0.0;
  }
}

void ComplementarityPoint_FromBasis(ComplementarityPoint* p, MCP* mcp,
                                    const FunctionJacobian* pair, const IDenseVector* basis) {
  (void)mcp;
  const DenseVector* F = FunctionJacobian_Function(pair);
  RequireValues(F, p->n, "FromBasis");
  if (basis == nullptr || IDenseVector_Length(basis) < p->n) {
    Error_SolverError("ComplementarityPoint: FromBasis: %d codes needed, %d given.\n", p->n,
                      basis == nullptr ? 0 : IDenseVector_Length(basis));
  }
  const double* f = DenseVector_Array(F);
  const std::int32_t* code = IDenseVector_Array(basis);
  double* w = DenseVector_Array(p->w);
  double* v = DenseVector_Array(p->v);
  for (std::int32_t i = 0; i < p->n; ++i) {
    w[i] = (code[i] == BASIS_LOWER && f[i] > 0.0) ? f[i] : 0.0;
    v[i] = (code[i] == BASIS_UPPER && f[i] < 0.0) ? 0.0 - f[i] : 0.0;
  }
}

double ComplementarityPoint_Distance(const ComplementarityPoint* a,
                                     const ComplementarityPoint* b) {
  RequirePoint(b, a->n, "Distance");
  const double* az = DenseVector_Array(a->z);
  const double* aw = DenseVector_Array(a->w);
  const double* av = DenseVector_Array(a->v);
  const double* bz = DenseVector_Array(b->z);
  const double* bw = DenseVector_Array(b->w);
  const double* bv = DenseVector_Array(b->v);
  double sum = 0.0;
  for (std::int32_t i = 0; i < a->n; ++i) {
    double d = (az[i] - aw[i] + av[i]) - (bz[i] - bw[i] + bv[i]);
    sum += d * d;
  }
  return std::sqrt(sum);
}

double ComplementarityPoint_DistanceZ(const ComplementarityPoint* a,
                                      const ComplementarityPoint* b) {
  RequirePoint(b, a->n, "DistanceZ");
  const double* az = DenseVector_Array(a->z);
  const double* bz = DenseVector_Array(b->z);
  double sum = 0.0;
  for (std::int32_t i = 0; i < a->n; ++i) {
    double d = az[i] - bz[i];
    sum += d * d;
  }
  return std::sqrt(sum);
}
