// MCP finish: the step that hands the solver's result back through an MCP
// record. It maps the reduced solution back to the caller's numbering and
// runs the postsolve of the presolve that the start ran, so it lives above
// the presolve, beside it.
#pragma once

struct DenseVector;
struct IDenseVector;
struct MCP;

// Maps the reduced solution x_r and basis_r (n_r values; basis_r may be
// nullptr for all codes BASIS_NONE) back to the full numbering, runs the
// postsolve when this start ran a presolve, evaluates F and the Jacobian at
// the full point, logs the postsolved residual when variables were removed,
// repairs the basis codes and calls the finish callbacks. After a start that
// left n = 0 only the finish callbacks run. code (the solve's termination
// code) is not used.
void MCP_Finish(MCP* mcp, int code, DenseVector* x_r, IDenseVector* basis_r);

// The residual (residual_code, two-norm) of the caller's problem at the
// point MCP_Finish delivered, with the F it evaluated there; 0 when the
// problem has no variables. NaN when F is not a number there.
double MCP_FinishedResidual(MCP* mcp, int residual_code);
