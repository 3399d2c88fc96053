// lcpgate's callbacks: F(x) = M x + q from the sparse M and the vector q
// that the host passed, the constant Jacobian M once per start, and the
// presolve hook that marks every Jacobian entry linear. They read the
// common Gateway_State (n, z, lb, ub) and the state below, both valid for
// the length of one lcpgate call.
#pragma once

#include <cstdint>

#include "mex.h"

struct MCP;

// M and q of the current call.
struct LCPGateway_State {
  std::int32_t jacobian_done;  // M was delivered since the last start
  const mwIndex* col_start;    // M's column starts (n + 1, from 0), the host's storage
  const mwIndex* row;          // M's row indices (from 0), checked to lie in 0..n-1
  const double* val;           // M's values
  std::int32_t* col_len;       // column lengths (n), allocated through Memory
  std::int32_t total_nnz;      // stored entries of M
  const double* q;             // n entries
};

// The state of the current call.
LCPGateway_State* LCPGateway_GetState();

// Clears the state without touching what it points to (the host's arrays
// and the column lengths); the plug-in's list of process-wide state.
void LCPGateway_ForgetState();

// MCP_Interface start: clears jacobian_done, so every start receives M once.
void LCPGateway_Start(void* context);

// MCP_Interface function_evaluation: f := q + M x (n entries, 0-based),
// adding the columns whose x entry is not 0 (a NaN entry adds NaN times its
// column). Returns 0: F is defined everywhere.
int LCPGateway_FunctionEvaluation(void* context, int n, const double* x, double* f);

// MCP_Interface jacobian_evaluation: f as above when want_f is non-zero;
// the first call after a start writes M in the exchange form (starts and
// rows from 1), later ones leave the arrays alone. *nnz := total_nnz
// always. A room *nnz below total_nnz is a solver error. Returns 0.
int LCPGateway_JacobianEvaluation(void* context, int n, const double* x, int want_f, double* f,
                                  int* nnz, int* col_start, int* col_len, int* row,
                                  double* value);

// MCP_PresolveInterface jacobian_types: type[0..count-1] := ENTRY_CONSTANT
// (every entry is constant).
void LCPGateway_JacobianTypes(void* context, int count, int* type);

// Installs the MCP table (problem_size, bounds, the two evaluations, start)
// and the presolve table (jacobian_types only).
void LCPGateway_SetInterfaces(MCP* mcp);
