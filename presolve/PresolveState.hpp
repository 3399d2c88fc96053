// The presolve layer's process-wide state, listed and forgotten in one
// place. The presolve keeps its reductions on the MCP record, so the list is
// empty; the option table holds values only and keeps them until the next
// defaults.
#pragma once

// Forgets what the presolve layer keeps across calls (nothing at present).
void PresolveState_Forget();
