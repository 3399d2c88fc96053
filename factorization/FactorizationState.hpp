// The basis layer's process-wide state, listed and forgotten in one place:
// the current back-end table. The sparse LU engine keeps nothing between
// calls; the option table holds values only and keeps them until the next
// defaults.
#pragma once

// Puts the empty back-end table back as the current one without touching
// the table that was current.
void FactorizationState_Forget();
