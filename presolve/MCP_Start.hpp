// MCP start: the step that makes an MCP record ready for the solver. It
// reads the caller's problem through the record's callbacks, checks the
// bounds, evaluates at the start point, runs the presolve when it is on and
// the record allows it, and sets up the reduced problem. It drives the
// presolve, so it lives above it, beside it.
#pragma once

struct MCP;

// Reads sizes, bounds, start point and basis through the callbacks, checks
// the bounds, evaluates at the start point, runs the presolve when allowed
// (from a point nearer the origin when the start is so far out that the
// rows' constants would be lost to rounding; the start is kept for the
// solver), splits off the fixed variables and adds "eta" when the transform
// is on.
// Returns MCP_CONTINUE (reduced problem ready), MCP_SOLVED (nothing to
// solve), MCP_INTERRUPTED (n = n_r = 0), MCP_BOUND_ERROR (n = n_r = 0),
// MCP_UNDEFINED (undefined at the calculated start; n = n_r = 0) or a
// presolve status (n kept). The jump point registered before the call is in
// place again on every return.
int MCP_Start(MCP* mcp);
