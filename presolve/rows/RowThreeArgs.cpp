// The three-row argument list, the plans of the three-row rules and the
// step that carries a plan out.
#include "presolve/rows/RowThreeArgs.hpp"

#include "core/Output.hpp"
#include "presolve/rows/RowBlockReduce.hpp"
#include "presolve/rows/RowBlockRefine.hpp"
#include "presolve/rows/RowShared.hpp"

ThreeRowArgs ThreeRow_Order(const ThreeRowArgs& in, const int vars[3], const int rows[3]) {
  ThreeRowArgs out;
  for (int j = 0; j < 3; ++j) {
    out.var[j] = in.var[vars[j]];
    out.lower[j] = in.lower[vars[j]];
    out.upper[j] = in.upper[vars[j]];
    out.saved[j] = in.saved[vars[j]];
    out.colCount[j] = in.colCount[vars[j]];
  }
  for (int i = 0; i < 3; ++i) {
    out.b[i] = in.b[rows[i]];
    out.scale[i] = in.scale[rows[i]];
    for (int j = 0; j < 3; ++j) out.a[i][j] = in.a[rows[i]][vars[j]];
  }
  return out;
}

ThreeRowPlan ThreeRow_Leave() { return ThreeRowPlan{}; }

ThreeRowPlan ThreeRow_Infeasible(const char* label) {
  ThreeRowPlan plan;
  plan.action = THREE_INFEASIBLE;
  plan.label = label;
  return plan;
}

ThreeRowPlan ThreeRow_FixAll(const char* label, double x, double y, double z) {
  ThreeRowPlan plan;
  plan.action = THREE_FIX;
  plan.label = label;
  plan.count = 3;
  const double values[3] = {x, y, z};
  for (int j = 0; j < 3; ++j) {
    plan.slot[j] = j;
    plan.value[j] = values[j];
  }
  return plan;
}

ThreeRowPlan ThreeRow_FixOne(const char* label, int slot, double value) {
  ThreeRowPlan plan;
  plan.action = THREE_FIX;
  plan.label = label;
  plan.count = 1;
  plan.slot[0] = slot;
  plan.value[0] = value;
  return plan;
}

ThreeRowPlan ThreeRow_FixTwo(const char* label, int slot1, double value1, int slot2,
                             double value2) {
  ThreeRowPlan plan = ThreeRow_FixOne(label, slot1, value1);
  plan.count = 2;
  plan.slot[1] = slot2;
  plan.value[1] = value2;
  return plan;
}

ThreeRowPlan ThreeRow_BoundFirst(ThreeRowPlan plan, const char* boundLabel, int slot, double lower,
                                 double upper) {
  plan.action = THREE_BOUND_FIX;
  plan.boundLabel = boundLabel;
  plan.boundSlot = slot;
  plan.boundLower = lower;
  plan.boundUpper = upper;
  return plan;
}

namespace {

// Counting coefficients of the column of slot j.
int CountingInColumn(const ThreeRowArgs& blk, int j, const RowTolerance& tol) {
  int counted = 0;
  for (int i = 0; i < 3; ++i) counted += ThreeRow_Counts(blk.a[i][j], tol) ? 1 : 0;
  return counted;
}

// The trace note of a block left alone, with the names of the own rows.
void PrintNote(MCP* mcp, const ThreeRowArgs& blk, const ThreeRowPlan& plan) {
  if (plan.note == THREE_NOTE_NONE || Row_TraceLevel() < 3) return;
  char names[3][kRowNameLength];
  for (int j = 0; j < 3; ++j) Row_ConstraintName(mcp, blk.var[j], names[j]);
  if (plan.note == THREE_NOTE_INFINITE) {
    Output_Printf(OUTPUT_LOG, "ThrRowEqn (%s, %s, %s): Infinite solutions.\n", names[0], names[1],
                  names[2]);
  } else {
    Output_Printf(OUTPUT_LOG, "ThrRowEqn (%s, %s, %s): %d solutions\n", names[0], names[1],
                  names[2], plan.solutions);
  }
}

// The block's rows for the checks of RowBlockRefine.hpp.
RowBlockRows BlockRows(const ThreeRowArgs& blk) {
  RowBlockRows rows;
  rows.k = 3;
  for (int i = 0; i < 3; ++i) {
    rows.b[i] = blk.b[i];
    rows.lower[i] = blk.lower[i];
    rows.upper[i] = blk.upper[i];
    for (int j = 0; j < 3; ++j) rows.a[i][j] = blk.a[i][j];
  }
  return rows;
}

}  // namespace

bool ThreeRow_Inside(const ThreeRowArgs& blk, int j, const RowTolerance& tol) {
  return CountingInColumn(blk, j, tol) == blk.colCount[j];
}

bool ThreeRow_InsideTwo(const ThreeRowArgs& blk, int j, int k, const RowTolerance& tol) {
  return CountingInColumn(blk, j, tol) + CountingInColumn(blk, k, tol) ==
         blk.colCount[j] + blk.colCount[k];
}

bool ThreeRow_Closed(const ThreeRowArgs& blk, const RowTolerance& tol) {
  int counted = 0;
  int active = 0;
  for (int j = 0; j < 3; ++j) {
    counted += CountingInColumn(blk, j, tol);
    active += blk.colCount[j];
  }
  return counted == active;
}

double ThreeRow_Nearest(double s0, double p, double s1) {
  if (s0 < p) return p < s1 ? p : (s0 > s1 ? s0 : s1);
  return s1 < p ? p : (s0 < s1 ? s0 : s1);
}

int ThreeRow_Apply(MCP* mcp, std::int32_t level, std::int32_t* fixCount, std::int32_t* boundCount,
                   const ThreeRowArgs& blk, const ThreeRowPlan& plan) {
  if (plan.action == THREE_LEAVE) {
    PrintNote(mcp, blk, plan);
    return ROW_CONTINUE;
  }
  if (plan.action == THREE_INFEASIBLE) {
    if (Row_BlockHasPoint(BlockRows(blk), blk.saved)) return ROW_CONTINUE;
    return Row_BlockInfeasible(mcp, blk.var, 3, plan.label, "Infeasible");
  }
  // A value at or beyond infinity (or not a number) cannot be a fixed
  // value: the solution it stands for lies outside every box, so the block
  // is left as it is rather than reported infeasible.
  const double inf = RowTolerance_Current().infinity;
  std::int32_t vars[3];
  for (int k = 0; k < plan.count; ++k) {
    if (!RowCompare_Finite(plan.value[k], inf)) return ROW_CONTINUE;
    vars[k] = blk.var[plan.slot[k]];
  }
  double values[3] = {plan.value[0], plan.value[1], plan.value[2]};
  if (plan.unique && Row_BlockHasOtherPoint(BlockRows(blk), blk.saved, values)) {
    return ROW_CONTINUE;
  }
  if (plan.count == 3 && !Row_RefineBlockPoint(BlockRows(blk), values)) return ROW_CONTINUE;
  if (plan.action == THREE_BOUND_FIX) {
    const std::int32_t bounded = blk.var[plan.boundSlot];
    const int status = Row_BlockBound(mcp, level, &bounded, &bounded, &plan.boundLower,
                                      &plan.boundUpper, 1, plan.boundLabel, boundCount);
    if (status != ROW_CONTINUE) return status;
  }
  return Row_BlockFix(mcp, level, vars, vars, values, plan.count, plan.label, fixCount);
}
