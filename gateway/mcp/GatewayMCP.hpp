// mcpgate's evaluation callbacks: F and its sparse Jacobian come from the
// user's function, called back in the host as
//
//   [f, J, domerr] = fname(x, flag)
//
// with x an n-by-1 real vector and flag 0 (F only) or 1 (F and J); f holds
// at least n reals, J is a real sparse n-by-n matrix and domerr counts the
// domain errors (0: F and J are defined at x). The callbacks read the common
// Gateway_State (n, the Jacobian room) and the function state below, both
// valid for the length of one mcpgate call.
#pragma once

#include <cstdint>

struct MCP;

// Function state of the current call.
struct Gateway_FunctionState {
  const char* name;             // the user's function (the caller keeps the text)
  std::int32_t jacobian_limit;  // the user's nnz bound, min(nnz, n*n): most entries a J may hold
  // 1 when the last Jacobian evaluation of the call succeeded, so the
  // library's Jacobian holds J at its point; 0 before any and after a
  // domain error.
  std::int32_t jacobian_defined;
};

// The function state of the current call.
Gateway_FunctionState* Gateway_GetFunctionState();

// Clears the function state without touching the name it points to (which
// lives in the host's memory); the plug-in's list of process-wide state.
void Gateway_ForgetFunctionState();

// MCP_Interface function_evaluation: calls fname(x, 0.0). Returns the
// domain-error count (domerr truncated toward zero; NaN counts as 1). With
// 0, copies n entries of the returned f into f; otherwise f is untouched.
// An error raised by fname, an f of fewer than n reals or a domerr that is
// not a real scalar raise Gateway_Failure.
int Gateway_FunctionEvaluation(void* context, int n, const double* x, double* f);

// MCP_Interface jacobian_evaluation: calls fname(x, 1.0). Domain-error
// count as above. With 0: f is copied when want_f is non-zero, then J is
// checked (real sparse n-by-n, valid structure) and written in the exchange
// form (column starts and rows from 1) with its entry count in *nnz. More
// entries than the user's bound or than *nnz on entry (the room of the
// arrays): Gateway_Failure "Jacobian has too many entries: update nnz in
// sarnmcp.m\n". With a domain error every column is empty (start 1, length
// 0) and *nnz is 0.
int Gateway_JacobianEvaluation(void* context, int n, const double* x, int want_f, double* f,
                               int* nnz, int* col_start, int* col_len, int* row, double* value);

// Installs the table of problem_size, bounds and the two evaluations above
// (MCP_SetInterface); the other slots stay empty.
void Gateway_SetInterface(MCP* mcp);
