// Common gateway glue: the problem-size and bounds callbacks that both
// plug-ins hand to the MCP record, and the error and memory callbacks that
// put the solver library on the host's error and allocation services.
//
// Both plug-ins fill the one Gateway_State for the length of a call; the
// callbacks read it and must run inside the call that set it.
#pragma once

#include <cstddef>
#include <cstdint>

// Problem data of the current call, shared with the callbacks.
struct Gateway_State {
  std::int32_t n;    // number of variables
  std::int32_t nnz;  // Jacobian room handed to MCP_Create (and reported by problem_size)
  const double* z;   // caller's start point (n entries, 0-based); receives the solution
  const double* lb;  // caller's bounds (n entries each, 0-based)
  const double* ub;
  // 1 when the last evaluation of this call that was asked for F defined it,
  // so the library's F holds F at that point; 0 before any evaluation and
  // after a domain error.
  std::int32_t f_defined;
};

// The state of the current call (one per plug-in).
Gateway_State* Gateway_GetState();

// Forgets the process-wide state of the library (ProcessState_Forget) and of
// the shared glue (the state above, whose pointers lead into the host's
// arrays) without touching what it points to.
void Gateway_ForgetState();

// MCP_Interface problem_size: n and nnz of the state.
void Gateway_ProblemSize(void* context, int* n, int* nnz);

// MCP_Interface bounds: copies n entries of the state's z, lb and ub into x,
// lower and upper (all 0-based). n must be the state's n (a solver error
// otherwise, nothing written).
void Gateway_Bounds(void* context, int n, double* x, double* lower, double* upper);

// Error_Interface on_error: leaves the library by throwing
// SolverErrorException with the message text; the entry point catches it,
// releases what the call held and raises the host error. Never returns.
[[noreturn]] void Gateway_Error(void* context, const char* text);

// Makes the gateway's error record current (Error_SetInterface).
void Gateway_SetErrorInterface();

// Memory_Interface allocate / allocate_factors: the host's allocator
// (mxMalloc). The host releases such memory by itself when a call is
// abandoned, so process-wide pointers into it must be forgotten then.
void* Gateway_Allocate(void* context, std::size_t size);

// Memory_Interface free / free_factors: mxFree; nullptr is ignored.
void Gateway_Free(void* context, void* block);

// Makes the gateway's memory record current (Memory_SetInterface).
void Gateway_SetMemoryInterface();
