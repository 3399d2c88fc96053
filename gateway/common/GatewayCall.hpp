// The call skeleton that both entry points share. A plug-in describes its
// own part of a call in a Gateway_Plugin record; Gateway_Main runs every
// call the same way:
//
//   inputs    argument counts, n, nnz, z, lb, ub, then the plug-in's own
//             inputs and the optional start vector, all checked before
//             anything is made;
//   set-up    error and memory services, the log, the options, the timer,
//             outputs 1 to 3 and the plug-in's output 4, the link line;
//   solve     unless the model ends early (n = 0: solved; too large): the
//             size line, the start vector, the plug-in's MCP record, the
//             solve, the solution, F and output 4;
//   release   status and time, then one release path for everything the
//             call made, on a normal end and an early one alike.
//
// A solver error or a failed check leaves through the abandon path of
// Gateway_RunCall instead, which forgets and never frees (the host reclaims
// what it allocated).
#pragma once

#include <cstdint>

#include "mex.h"

#include "gateway/common/GatewaySession.hpp"

struct MCP;

// The model of one call as the inputs describe it.
struct Gateway_Problem {
  std::int32_t n;
  std::int64_t bound;    // the Jacobian room min(nnz, n*n) (nnz read as a double)
  double* z;             // caller's start point; receives the solution (n entries)
  const double* lb;      // caller's bounds (n entries each)
  const double* ub;
  const double* start;   // the optional start vector, or nullptr
  // Set by the plug-in's read_inputs:
  std::int32_t room;     // entries an output Jacobian may hold (at least 1)
  std::int32_t entries;  // Jacobian entries of the MCP record (problem_size)
  bool too_large;        // the model does not fit the library's 32-bit counts
};

// A plug-in's part of the call. Every slot is required.
struct Gateway_Plugin {
  const char* name;  // for messages ("mcpgate")
  int inputs;        // required inputs; one more is the start vector
  // Checks the plug-in's own inputs (prhs[5] on), reads the start vector
  // with Gateway_ReadStart when given, and sets room, entries and too_large.
  // Makes nothing.
  void (*read_inputs)(int nrhs, const mxArray* prhs[], Gateway_Problem* problem);
  // Creates output 4 when nlhs > 3.
  void (*create_output)(int nlhs, mxArray* plhs[], const Gateway_Problem& problem);
  // Makes the MCP record with its callbacks and whatever they read for the
  // length of the call (n > 0, not too large).
  MCP* (*create_problem)(const mxArray* prhs[], const Gateway_Problem& problem);
  // Fills output 4 after the solve when nlhs > 3.
  void (*return_output)(MCP* mcp, int nlhs, mxArray* plhs[], const Gateway_Problem& problem);
  // Gives back what create_problem made besides the record (nothing when it
  // did not run).
  void (*release)();
  // Forgets the plug-in's own process-wide state without touching what it
  // points to.
  void (*forget_state)();
};

// The start vector, prhs[plugin inputs] when given ("startvec", n entries).
void Gateway_ReadStart(int nrhs, const mxArray* prhs[], int index, Gateway_Problem* problem);

// Runs one call of call's plug-in (the body of mexFunction).
void Gateway_Main(Gateway_Call* call, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
