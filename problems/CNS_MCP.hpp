// CNS_MCP: presents a constrained nonlinear system (CNS) to the solver as a
// mixed complementarity problem.
//
// With n CNS variables, of which k have a finite bound, the MCP has n + k
// variables: x_1..x_n with the CNS bounds and start point, and free
// multipliers y_1..y_k starting at 0.0. A variable i without a finite bound
// keeps its row F_i(x). A bounded variable i is paired with p = n + j: MCP
// row p is F_i(x) and MCP row i is -y_j, so that at a solution F(x) = 0 and
// y_j is the multiplier of the bounds of x_i.
//
// Use:
//   MCP* mcp = nullptr;
//   if (CNS_MCP_Create(cns, &mcp, nullptr, nullptr) == 13) {
//     Sarn_Solve(mcp, &info);
//     CNS_MCP_Finish(cns, &mcp);   // solution back in the CNS record
//   }
#pragma once

#include <cstdint>

#include "problems/CNS.hpp"
#include "problems/MCP.hpp"
#include "problems/ProblemClasses.hpp"

// The adapter behind one MCP record (reached through the data word of the
// MCP's installed interface).
struct CNS_MCP {
  MultiplierPairing pairing;  // map (length n + k), the MCP built, n, nnz, k
  IDenseVector* types;        // Jacobian entry types, made on first use
  CNS* cns;                   // the problem served (not owned)
};

// Starts cns and builds the adapter and a new MCP record (reference count 1,
// presolve allowed as the CNS's presolve setting) with this module's
// callbacks installed. Returns 13 with *out the MCP and, where given,
// *out_n = n + k and *out_nnz = nnz + k. Any other start status (1, 7, 8)
// is returned after CNS_Finish on the caller's point, with *out = nullptr
// and nothing made.
int CNS_MCP_Create(CNS* cns, MCP** out, int* out_n, int* out_nnz);

// Hands the MCP's full point and basis (first n entries) to CNS_Finish,
// destroys the MCP and the adapter and sets *record to nullptr. A record
// not made by CNS_MCP_Create for this cns is a solver error.
void CNS_MCP_Finish(CNS* cns, MCP** record);

// The MCP_Interface callbacks. data is the adapter. The evaluation
// callbacks work on the MCP record's own storage (its full point and
// evaluation pair) and require that x, f and the Jacobian arrays are those
// (solver error otherwise), as the MCP record's evaluations pass them.
void CNS_MCP_ProblemSize(void* data, int* n, int* nnz);
void CNS_MCP_Bounds(void* data, int n, double* x, double* lower, double* upper);
// 0 when F is defined, 1 when the CNS reported a domain error.
int CNS_MCP_Function(void* data, int n, const double* x, double* f);
int CNS_MCP_Jacobian(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                     int* col_start, int* col_len, int* row, double* value);
// i > n: "y(%d)" with i - n; else the CNS name of variable i.
int CNS_MCP_VariableName(void* data, int i, char* buffer, int length);
// p = map_i; p > n: "s(%d)" with p - n; else the CNS name of row p.
int CNS_MCP_ConstraintName(void* data, int i, char* buffer, int length);
// CNS start codes for x, 1 for the multipliers.
void CNS_MCP_Basis(void* data, int n, int* status);
// The MCP_PresolveInterface's jacobian_types: one type per MCP Jacobian
// entry in entry order (the CNS's types, 0 for an added diagonal and for
// the -1.0 entries). A count other than nnz is the solver error
// "CNS_MCP(line): CNS_MCP_Jac_Typ: sizes do not match"; never writes past
// nnz types.
void CNS_MCP_Jac_Typ(void* data, int nnz, int* types);

// Clears the data word of the module's callback tables, which refers to
// the adapter created last, without touching the adapter.
void CNS_MCP_ForgetState();
// True while both data words are clear.
bool CNS_MCP_StateAtRest();
