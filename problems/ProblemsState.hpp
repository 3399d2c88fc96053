// The problem layer's process-wide state, listed and forgotten in one place:
// the current interfaces of the problem classes, the LCP live-record count
// and the data words of the adapters' callback tables.
#pragma once

// Puts every class's empty interface back and clears the adapters' data
// words, without touching the records they referred to.
void ProblemsState_Forget();
