// The presolve layer's process-wide state, listed and forgotten in one
// place: the head, count and size of the row queue (its slots live in the
// Workspace), the switch of the debug invariant check and the allowance of
// bound tightenings of the current presolve. The reductions
// themselves live on the MCP record; the option table holds values only
// and keeps them until the next defaults.
#pragma once

// Forgets what the presolve layer keeps across calls.
void PresolveState_Forget();
