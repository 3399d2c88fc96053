// The presolve's row queue: rows (or, for the column rules, columns) waiting
// for a short-row rule. A circular buffer of n indices in Workspace integer
// vector 1, a flag per index in Workspace integer vector 2 (1 while queued),
// and two process-wide integers, the head (1-based slot of the next index
// to take) and the count of queued indices. The driver fills it, the fix
// operations append to it, the dispatch takes from it; one presolve runs at
// a time.
#pragma once

#include <cstdint>

// Empties the queue for n indices: head 1, count 0, every flag 0.
void PresolveQueue_Reset(std::int32_t n);

// Appends index i (1..n) at slot head + count (wrapping past n) and sets
// its flag; an index already queued is not appended twice.
void PresolveQueue_Append(std::int32_t i);

// Takes the index at the head, clears its flag and moves the head on
// (back to 1 after n). Returns 0 when the queue is empty.
std::int32_t PresolveQueue_Take();

// 1 while i is queued.
int PresolveQueue_Queued(std::int32_t i);

std::int32_t PresolveQueue_Head();
std::int32_t PresolveQueue_Count();

// Forgets the head, count and size (process-state reset).
void PresolveQueue_Forget();
// True while head, count and size hold their values at load.
bool PresolveQueue_AtRest();
