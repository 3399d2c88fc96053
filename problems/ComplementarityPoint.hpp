// ComplementarityPoint: a point z of an MCP's reduced problem with its bound
// multipliers: w for the lower bounds, v for the upper bounds. At a
// solution F(z) = w - v with w, v >= 0, w_i > 0 only where z_i = lower_i
// and v_i > 0 only where z_i = upper_i.
//
// Every loop runs over i = 1..n of the record (the first record for the
// distances); the bounds are the MCP record's reduced bounds (MCP_Lower,
// MCP_Upper) and f is the function vector of the given pair. Vectors that
// are read must hold at least n values (solver error otherwise).
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "problems/MCP.hpp"

struct ComplementarityPoint {
  std::int32_t capacity;  // capacity of the three vectors
  std::int32_t n;         // current length; 0 at creation
  DenseVector* z;         // the point
  DenseVector* w;         // lower-bound multipliers
  DenseVector* v;         // upper-bound multipliers
  std::int32_t refcount;
};

// New record with room for n values (negative n is a solver error), length
// 0, reference count 1.
ComplementarityPoint* ComplementarityPoint_Create(std::int32_t n);
// Drops one reference; at 0 frees the vectors and the record. Returns the
// count left; nullptr: 0.
std::int32_t ComplementarityPoint_Destroy(ComplementarityPoint* point);
std::int32_t ComplementarityPoint_Reference(ComplementarityPoint* point);
// capacity := max(capacity, n); the vectors grow to it (a grown vector
// loses its contents).
void ComplementarityPoint_Size(ComplementarityPoint* point, std::int32_t n);
// n and the three lengths := n. n outside 0..capacity is the solver error
// "ComplementarityPoint(line): SetN: insufficient capacity".
void ComplementarityPoint_SetN(ComplementarityPoint* point, std::int32_t n);
// dst's n, z, w, v := src's; dst grows to src's n first. Capacity and
// reference count otherwise stay. dst == src: nothing.
void ComplementarityPoint_Copy(ComplementarityPoint* dst, const ComplementarityPoint* src);

inline std::int32_t ComplementarityPoint_N(const ComplementarityPoint* p) { return p->n; }
inline DenseVector* ComplementarityPoint_Z(ComplementarityPoint* p) { return p->z; }
inline DenseVector* ComplementarityPoint_W(ComplementarityPoint* p) { return p->w; }
inline DenseVector* ComplementarityPoint_V(ComplementarityPoint* p) { return p->v; }

// With z, w, v the values on entry: z moves onto its bounds; w is kept
// (clamped at 0) only where z <= l, v (clamped at 0) only where z >= u.
void ComplementarityPoint_Project(ComplementarityPoint* point, MCP* mcp);
// w_i := f_i where z_i = l_i and f_i > 0, else 0; v_i := -f_i where
// z_i = u_i and f_i < 0, else 0.
void ComplementarityPoint_FromF(ComplementarityPoint* point, MCP* mcp,
                                const FunctionJacobian* pair);
// As FromF with the codes: w from code 3 (at lower bound), v from code 4
// (at upper bound); every other code gives 0 and 0. mcp is not read.
void ComplementarityPoint_FromBasis(ComplementarityPoint* point, MCP* mcp,
                                    const FunctionJacobian* pair, const IDenseVector* basis);
// sqrt(sum over i of ((a.z - a.w + a.v) - (b.z - b.w + b.v))^2).
double ComplementarityPoint_Distance(const ComplementarityPoint* a,
                                     const ComplementarityPoint* b);
// sqrt(sum over i of (a.z - b.z)^2).
double ComplementarityPoint_DistanceZ(const ComplementarityPoint* a,
                                      const ComplementarityPoint* b);
