// LMCP: the linearisation of the MCP at the driver's current point x,
// presented to the pivoting method as an LCP through a static LCP_Interface
// table: find z in [l, u] with w = M z + q complementary to z, where
//   M = R J C + D,  q = R F - M x',  x' = x ./ C,
// R and C being row and column scale factors (all 1 unless scaling is on)
// and D the proximal perturbation diagonal p (times C under column scaling),
// so that M z' + q = R .* (F + J d) + p d with z = C .* z' and d = z - x.
// J and F are read from the scratch Workspace's FunctionJacobian, x, the
// basis codes and the direction from the driver workspace (solver/Sarn.hpp).
//
// The finish slot maps Lemke's solution back to the problem's own terms:
// afterwards the record's point holds the new point z (bounds met exactly)
// and its model vector the normal-map point of z under the linear model
// w = F + J d + (p ./ R) .* d, d = z - x. These two are what the Newton-point
// helpers (Sarn_NewtonPoint, Sarn_NewtonNormalPoint) hand out.
#pragma once

#include <cstdint>

struct DenseVector;
struct LCP_Interface;

struct LMCP {
  DenseVector* point;   // x' (x ./ C) after the start; the unscaled z after the finish
  DenseVector* model;   // after the finish: the normal-map point of z
  DenseVector* R;       // row scale factors
  DenseVector* C;       // column scale factors
  DenseVector* D;       // perturbation diagonal
  std::int32_t row_scaled;
  std::int32_t column_scaled;
  std::int32_t perturbed;
  std::int32_t started;
};

// New record with five vectors of capacity n (at least 1), flags 0.
LMCP* LMCP_Create(std::int32_t n);
// Grows the five vectors to capacity n; contents are not kept.
void LMCP_Size(LMCP* lmcp, std::int32_t n);
// Frees the vectors and the record; nullptr is ignored.
void LMCP_Destroy(LMCP* lmcp);

// The static table: slots problem_size, bounds, matrix, start, finish,
// variable_name, constraint_name, basis and start_function (w0 = M x' + q);
// the data slot is empty (the record is reached through the driver
// workspace). Sarn_Solve installs it with LCP_SetInterface.
LCP_Interface* LMCP_Interface();

// ---------------------------------------------------------------------------
// The slots. All read the driver workspace (a solver error without one);
// arrays are plain (element 1 at offset 0) with n entries.

// n and nnz of the driver workspace.
void LMCP_ProblemSize(void* data, int* n, int* nnz);

// start := x (x' under column scaling), lower/upper := the MCP's reduced
// bounds (divided by C where finite under column scaling).
void LMCP_Bounds(void* data, int n, double* start, double* lower, double* upper);

// M and q in the exchange form; *nnz holds the room on entry and the entry
// count on return. Every diagonal entry is written (D_j where J has none);
// off-diagonal entries of value 0.0 are dropped. More entries than the room:
// solver error "Too small.\n" (nothing is written beyond the room).
void LMCP_Matrix(void* data, int n, int* nnz, int* col_start, int* col_len, int* row,
                 double* value, double* q);

// Clears the flags, sets R = C = 1 and D = 0, then scales (linear_model_scale),
// perturbs (linear_model_perturb) and forms x'; marks the record started.
void LMCP_Start(void* data);

// z: Lemke's solution in scaled terms (n values). Sets the record's point to
// the unscaled z; when started, also the direction d = z - x and the model
// vector (normal-map point of z under the linear model).
void LMCP_Finish(void* data, const double* z);

// Names of reduced variable / row i through the MCP record.
int LMCP_VariableName(void* data, int i, char* buffer, int length);
int LMCP_ConstraintName(void* data, int i, char* buffer, int length);

// codes := the driver's n current basis codes.
void LMCP_Basis(void* data, int n, int* codes);

// w0 := R F (F when not row-scaled), which equals M x' + q.
void LMCP_Vector(void* data, int n, double* w0);

// ---------------------------------------------------------------------------
// Scaling and perturbation of the started record (called by LMCP_Start).

// Sets R and/or C by linear_scale_method from J and F at x and the bounds;
// a record already scaled warns "LMCP Already scaled.\n" and is left alone.
void LMCP_Scale(LMCP* lmcp);

// D_j := proximal_perturbation (times C_j under column scaling) when that is
// positive; a record already perturbed warns "LMCP already perturbed.\n".
void LMCP_Perturb(LMCP* lmcp);
