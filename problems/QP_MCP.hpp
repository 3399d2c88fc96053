// QP_MCP: presents a QP record to the solver as an MCP with bound
// multipliers.
//
// With n QP variables, of which k have a finite bound, the MCP has n + k
// variables: x_1..x_n with the QP's bounds and start point, and free
// multipliers y_1..y_k starting at 0.0. A variable i without a finite bound
// keeps its row F_i(x). A bounded variable i is paired with p = n + j: MCP
// row p is F_i(x) and MCP row i is -y_j; Jacobian column p holds the single
// entry -1.0 in row i.
//
// Use:
//   MCP* mcp = nullptr;
//   if (QP_MCP_Create(qp, &mcp) == 10) {
//     Sarn_Solve(mcp, &info);
//     QP_MCP_Destroy(qp, &mcp);    // final point back in the QP record
//   }
#pragma once

#include <cstdint>

#include "problems/MCP.hpp"
#include "problems/ProblemClasses.hpp"
#include "problems/QP.hpp"

// The adapter behind one MCP record (reached through the data word of the
// MCP's installed interface).
struct QP_MCP {
  MultiplierPairing pairing;  // map (length n + k), the MCP built, n, nnz, k
  QP* qp;                     // the problem served (not owned)
};

// Starts qp. When the start returns 10, builds the adapter and a new MCP
// record (reference count 1) with this module's callbacks installed, stores
// it in *out and returns 10. Any other start status (1 empty, 7 bound
// error, 8 undefined) is returned with *out = nullptr and nothing made; the
// QP stays with its caller, unfinished.
int QP_MCP_Create(QP* qp, MCP** out);

// Hands the first n entries of the MCP's full point to QP_Finish, destroys
// the MCP and the adapter and sets *mcp to nullptr. The QP record stays with
// its caller. A record not made by QP_MCP_Create for this qp is a solver
// error.
void QP_MCP_Destroy(QP* qp, MCP** mcp);

// The MCP_Interface callbacks. data is the adapter. The evaluation
// callbacks work on the MCP record's own storage and check on entry that x,
// f and the Jacobian arrays are that storage (solver error in the form
// "QP_MCP(line): <operation>: DenseVector_Array(xval) == x").
void QP_MCP_ProblemSize(void* data, int* n, int* nnz);
void QP_MCP_Bounds(void* data, int n, double* x, double* lower, double* upper);
// 0 when F is defined, 1 when the QP reported a domain error.
int QP_MCP_Function(void* data, int n, const double* x, double* f);
int QP_MCP_Jacobian(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                    int* col_start, int* col_len, int* row, double* value);
// i > n: "y(%d)" with i - n; else the QP name of variable i.
int QP_MCP_VariableName(void* data, int i, char* buffer, int length);
// m = map_i; m > n: "s(%d)" with m - n; else the QP name of row m.
int QP_MCP_ConstraintName(void* data, int i, char* buffer, int length);

// Clears the data word of the module's callback table, which refers to the
// adapter created last, without touching the adapter.
void QP_MCP_ForgetState();
// True while the data word is clear.
bool QP_MCP_StateAtRest();
