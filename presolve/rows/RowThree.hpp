// Three-row blocks: the rules that settle a square linear block of three
// rows in closed form, and the classifier that picks the rule for a block.
#pragma once

#include <cstdint>

#include "presolve/rows/RowThreeArgs.hpp"

struct MCP;

// The rule for a gathered block of three rows (see RowBlockRule in
// RowBlocks.hpp); counter counts the variables it fixed, wbd those whose
// bounds it tightened. rows, lower, upper, constant hold at least 3 items,
// coef 3 rows (slots beyond 3 are not read); scale, when given, the scales
// of the three constants (null: their magnitudes). Returns ROW_CONTINUE,
// ROW_HANDLED or ROW_INFEASIBLE.
int Row_ThreeBlock(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower, double* upper,
                   double (*coef)[4], double* constant, std::int32_t* counter, std::int32_t* wbd,
                   const double* scale = nullptr);

// The rule a block goes to and its plan. block is the block in the order
// the rule takes it (the plan's slots refer to it).
struct ThreeRowDecision {
  ThreeRowArgs block;
  ThreeRowPlan plan;
};

// Classifies blk by its free variables and the coefficients between them,
// first fit wins: one free variable with its own coefficient counting
// (ThrRowEqn); two free variables each in the other's row (ThrRowEqnTwo);
// two free variables coupled one way (ThrRowEqn with the partial
// reductions skipped) or not at all with a bounded third (ThrRowEqnZer);
// otherwise the whole block is solved when its matrix is coherently
// oriented (one solution for any constants), else left alone. Pure: reads
// blk and the options only.
ThreeRowDecision ThrRowChoose(const ThreeRowArgs& blk);

// ThrRowChoose carried out on the problem. Returns ROW_CONTINUE (nothing
// changed), ROW_HANDLED (variables fixed) or ROW_INFEASIBLE (reported).
int ThrRowCoherent(MCP* mcp, std::int32_t level, std::int32_t* fixCount, std::int32_t* boundCount,
                   const ThreeRowArgs& blk);
