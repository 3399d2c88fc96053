// The three-row argument list shared by the rules of three-row blocks, the
// plan a rule makes for a block, and the step that carries a plan out
// through the block reduction operations.
//
// The rules decide on plain values (the block, the saved point and the
// column counts of its three variables) and return a plan; only
// ThreeRow_Apply touches the problem. All variable indices are 1-based;
// block slots 0, 1, 2 are the variables x, y, z of the argument list.
#pragma once

#include <cstdint>

#include "presolve/rows/RowCompare.hpp"

struct MCP;

// A gathered 3 x 3 block passed by value.
//   var[j]:   variable of slot j (its own row has the same index);
//   lower[j], upper[j]: its current bounds (either may be infinite);
//   a[i][j], b[i]: row slot i reads F = a[i][0]*x + a[i][1]*y + a[i][2]*z + b[i];
//             row slot i is var[i]'s own row unless a rule says otherwise
//             (two free variables may come with their equations exchanged);
//   saved[j]: the working point savedX of var[j] when the block was taken;
//   colCount[j]: the active entries of var[j]'s column;
//   scale[i]: the magnitudes of the terms that formed b[i], which tell the
//             rounding it carries (0: nothing beyond |b[i]|).
struct ThreeRowArgs {
  std::int32_t var[3];
  double lower[3];
  double upper[3];
  double a[3][3];
  double b[3];
  double saved[3];
  std::int32_t colCount[3];
  double scale[3] = {0.0, 0.0, 0.0};
};

// The block with its variables in the order vars (slots of in) and its rows
// in the order rows (slots of in); coefficient columns follow the variables.
ThreeRowArgs ThreeRow_Order(const ThreeRowArgs& in, const int vars[3], const int rows[3]);

// What a rule decided for a block.
enum ThreeRowAction : int {
  THREE_LEAVE = 0,       // change nothing (and print the trace note, if any)
  THREE_INFEASIBLE = 1,  // report the three rows infeasible under label
  THREE_FIX = 2,         // fix the listed slots at their values under label
  THREE_BOUND_FIX = 3,   // tighten one slot's bounds under boundLabel, then fix
};

// Trace notes of a block left alone (output_presolve_level 3 and above).
enum ThreeRowNote : int {
  THREE_NOTE_NONE = 0,
  THREE_NOTE_INFINITE = 1,  // "ThrRowEqn (%s, %s, %s): Infinite solutions.\n"
  THREE_NOTE_COUNT = 2,     // "ThrRowEqn (%s, %s, %s): %d solutions\n"
};

struct ThreeRowPlan {
  ThreeRowAction action = THREE_LEAVE;
  const char* label = nullptr;  // label of the fix or of the infeasibility
  std::int32_t count = 0;       // items of the fix list
  std::int32_t slot[3] = {0, 0, 0};
  double value[3] = {0.0, 0.0, 0.0};
  std::int32_t boundSlot = 0;  // THREE_BOUND_FIX: the slot bounded first
  double boundLower = 0.0;
  double boundUpper = 0.0;
  const char* boundLabel = nullptr;
  // THREE_FIX of all three slots as the block's only solution: left alone
  // when another point meets the block's rows (Row_BlockHasOtherPoint).
  bool unique = false;
  ThreeRowNote note = THREE_NOTE_NONE;
  std::int32_t solutions = 0;  // THREE_NOTE_COUNT: the number printed
};

// Plans.
ThreeRowPlan ThreeRow_Leave();
ThreeRowPlan ThreeRow_Infeasible(const char* label);
// Fix of all three slots at (x, y, z).
ThreeRowPlan ThreeRow_FixAll(const char* label, double x, double y, double z);
// Fix of one slot, or of two slots in the order given.
ThreeRowPlan ThreeRow_FixOne(const char* label, int slot, double value);
ThreeRowPlan ThreeRow_FixTwo(const char* label, int slot1, double value1, int slot2, double value2);
// plan preceded by the bound step of slot to [lower, upper].
ThreeRowPlan ThreeRow_BoundFirst(ThreeRowPlan plan, const char* boundLabel, int slot, double lower,
                                 double upper);

// A coefficient counts when it differs from 0 by more than jactol (an
// infinite coefficient counts).
inline bool ThreeRow_Counts(double a, const RowTolerance& tol) {
  return RowCompare_Ne(a, 0.0, tol.jactol, tol.infinity);
}
// A variable is free when both its bounds are infinite.
inline bool ThreeRow_Free(const ThreeRowArgs& blk, int slot, const RowTolerance& tol) {
  return !RowCompare_Finite(blk.lower[slot], tol.infinity) &&
         !RowCompare_Finite(blk.upper[slot], tol.infinity);
}
// The column of slot j is inside the block: its counting coefficients in
// the three rows are all the active entries of its column.
bool ThreeRow_Inside(const ThreeRowArgs& blk, int j, const RowTolerance& tol);
// The columns of slots j and k together are inside the block.
bool ThreeRow_InsideTwo(const ThreeRowArgs& blk, int j, int k, const RowTolerance& tol);
// All three columns together are inside the block.
bool ThreeRow_Closed(const ThreeRowArgs& blk, const RowTolerance& tol);
// The median of s0, p and s1: p when it lies between the ends, else the
// nearer end (either order of the ends).
double ThreeRow_Nearest(double s0, double p, double s1);

// Carries plan out on the problem. Fixes and bound steps name each
// variable's own row; counters as in RowBlockReduce.hpp. A fix value that is
// not finite leaves the block alone (such a point lies outside every box, so
// the block cannot be settled here). A fix of all three slots is refined on
// the block's rows and made only when they meet their conditions there
// (Row_RefineBlockPoint). Returns ROW_CONTINUE, ROW_HANDLED or
// ROW_INFEASIBLE.
int ThreeRow_Apply(MCP* mcp, std::int32_t level, std::int32_t* fixCount, std::int32_t* boundCount,
                   const ThreeRowArgs& blk, const ThreeRowPlan& plan);
