// Duplicate rows: rows whose linear parts are multiples of each other, found
// by hashing, and the merge that keeps one of each pair, undone in
// postsolve.
#pragma once

#include <cstdint>

#include "core/RecordStack.hpp"

struct MCP;

// Finds and merges duplicate linear rows. *dup counts the variables fixed,
// *dbd the bound changes. Returns ROW_CONTINUE, ROW_INFEASIBLE or
// ROW_CANNOT.
int Row_Duplicates(MCP* mcp, std::int32_t level, std::int32_t* dup, std::int32_t* dbd);

// Postsolve of a duplicate-row merge: first is the bound record pushed
// first, second the merge record on top of it.
void Row_PostsolveDuplicate(MCP* mcp, const PresolveRecord& first, const PresolveRecord& second);
