// Invariant check of the presolve, for tests: after every reduction the
// active counts equal a recount from scratch, and F of every live row whose
// stored entries are all linear equals its value at the working point,
// extrapolated from the last evaluation along those entries. A violation is
// the solver error "PresolveDebug(...): ...". Off by default (it costs a
// pass over the Jacobian per reduction); the tests switch it on.
#pragma once

struct MCP;

// Switches the check on (non-zero) or off; process-wide.
void PresolveDebug_SetChecks(int on);
int PresolveDebug_Checks();

// Takes the current F, at the point Presolve_MarkEvaluated keeps, as the
// reference of the F check; called by Presolve_MarkEvaluated.
void PresolveDebug_Snapshot(MCP* mcp);

// Runs the check when it is on.
void PresolveDebug_AfterReduction(MCP* mcp);

