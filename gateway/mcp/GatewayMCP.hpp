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

#include "mex.h"

struct MCP;

// Function state of the current call.
struct Gateway_FunctionState {
  const char* name;             // the user's function (the caller keeps the text)
  std::int32_t jacobian_limit;  // the user's nnz bound, min(nnz, n*n): most entries a J may hold
  // 1 when the last Jacobian evaluation of the call succeeded, so the
  // library's Jacobian holds J at its point; 0 before any and after a
  // domain error.
  std::int32_t jacobian_defined;
  // The host arrays every evaluation passes on (made by
  // Gateway_PrepareCalls): a handle of the user's function, the error
  // handler that hands back the error the function raised, and the option
  // names and value of the host's cellfun.
  mxArray* function;
  mxArray* error_handler;
  mxArray* uniform_name;
  mxArray* uniform_value;
  mxArray* handler_name;
};

// The function state of the current call.
Gateway_FunctionState* Gateway_GetFunctionState();

// Makes the host arrays of the function state for the function of the
// state's name. A host that cannot make them: Gateway_Failure.
void Gateway_PrepareCalls();

// Destroys the host arrays of the function state (those that exist).
void Gateway_ReleaseCalls();

// Clears the function state without touching the name and the host arrays
// it points to (which live in the host's memory); the plug-in's list of
// process-wide state.
void Gateway_ForgetFunctionState();

// MCP_Interface function_evaluation: calls fname(x, 0.0). Returns the
// domain-error count (domerr truncated toward zero; NaN counts as 1). With
// 0, copies n entries of the returned f into f; otherwise f is untouched.
// An error raised by fname (Gateway_Failure "Evaluation function <fname>
// raised an error: <its message>", with its identifier), an f of fewer than
// n reals or a domerr that is not a real scalar raise Gateway_Failure.
// While fname runs, SIGINT is the host's (Gateway_HostSignalScope): an
// interrupt of the host ends the call there.
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
