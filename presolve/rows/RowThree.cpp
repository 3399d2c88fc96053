// Three-row blocks: the entry from the block phase and the classifier that
// hands a block to its rule or solves it whole.
#include "presolve/rows/RowThree.hpp"

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "presolve/PresolveSolve.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowThreeEquation.hpp"
#include "presolve/rows/RowThreeTwoEquations.hpp"

namespace {

constexpr int X = 0;
constexpr int Y = 1;
constexpr int Z = 2;

// Which rule a block goes to.
enum ThreeRule : int { RULE_EQN, RULE_EQN_TWO, RULE_EQN_ZER };

// A rule and the order (variables, rows) in which it takes the block.
struct Route {
  ThreeRule rule;
  int vars[3];
  int rows[3];
  std::int32_t skipPartial;
};

ThreeRowDecision Follow(const ThreeRowArgs& blk, const Route& route) {
  ThreeRowDecision d;
  d.block = ThreeRow_Order(blk, route.vars, route.rows);
  if (route.rule == RULE_EQN) {
    d.plan = ThrRowEqn(d.block, route.skipPartial);
  } else if (route.rule == RULE_EQN_TWO) {
    d.plan = ThrRowEqnTwo(d.block);
  } else {
    d.plan = ThrRowEqnZer(d.block);
  }
  return d;
}

// One free variable whose own coefficient counts: it goes last, its row
// (an equation) with it.
bool OneFree(const ThreeRowArgs& blk, const RowTolerance& tol, Route* route) {
  static const Route kRoutes[3] = {{RULE_EQN, {Y, Z, X}, {Y, Z, X}, 0},
                                   {RULE_EQN, {X, Z, Y}, {X, Z, Y}, 0},
                                   {RULE_EQN, {X, Y, Z}, {X, Y, Z}, 0}};
  for (int v = 0; v < 3; ++v) {
    if (ThreeRow_Free(blk, v, tol) && ThreeRow_Counts(blk.a[v][v], tol)) {
      *route = kRoutes[v];
      return true;
    }
  }
  return false;
}

// The free pairs in the order (x, y), (x, z), (y, z), with the third slot.
struct Pair {
  int p, q, third;
};
constexpr Pair kPairs[3] = {{X, Y, Z}, {X, Z, Y}, {Y, Z, X}};

// Two free variables each in the other's row: the bounded one goes first.
bool TwoCoupled(const ThreeRowArgs& blk, const RowTolerance& tol, Route* route) {
  static const Route kRoutes[3] = {{RULE_EQN_TWO, {Z, Y, X}, {Z, Y, X}, 0},
                                   {RULE_EQN_TWO, {Y, Z, X}, {Y, Z, X}, 0},
                                   {RULE_EQN_TWO, {X, Y, Z}, {X, Y, Z}, 0}};
  for (int k = 0; k < 3; ++k) {
    const Pair& pr = kPairs[k];
    if (ThreeRow_Free(blk, pr.p, tol) && ThreeRow_Free(blk, pr.q, tol) &&
        ThreeRow_Counts(blk.a[pr.p][pr.q], tol) && ThreeRow_Counts(blk.a[pr.q][pr.p], tol)) {
      *route = kRoutes[k];
      return true;
    }
  }
  return false;
}

// Two free variables coupled one way or not at all. In a ThrRowEqn route
// the free variable whose column holds the counting coefficient goes last,
// with the other free variable's row (the equation that holds it) last
// among the rows and its own row second.
bool TwoLoose(const ThreeRowArgs& blk, const RowTolerance& tol, Route* route) {
  static const Route kRoutes[3][3] = {
      {{RULE_EQN, {Z, X, Y}, {Z, Y, X}, 1},
       {RULE_EQN, {Z, Y, X}, {Z, X, Y}, 1},
       {RULE_EQN_ZER, {Z, Y, X}, {Z, Y, X}, 0}},
      {{RULE_EQN, {Y, X, Z}, {Y, Z, X}, 1},
       {RULE_EQN, {Y, Z, X}, {Y, X, Z}, 1},
       {RULE_EQN_ZER, {Y, Z, X}, {Y, Z, X}, 0}},
      {{RULE_EQN, {X, Y, Z}, {X, Z, Y}, 1},
       {RULE_EQN, {X, Z, Y}, {X, Y, Z}, 1},
       {RULE_EQN_ZER, {X, Y, Z}, {X, Y, Z}, 0}},
  };
  for (int k = 0; k < 3; ++k) {
    const Pair& pr = kPairs[k];
    if (!ThreeRow_Free(blk, pr.p, tol) || !ThreeRow_Free(blk, pr.q, tol)) continue;
    int test = -1;
    if (ThreeRow_Counts(blk.a[pr.p][pr.q], tol)) {
      test = 0;
    } else if (ThreeRow_Counts(blk.a[pr.q][pr.p], tol)) {
      test = 1;
    } else if (!ThreeRow_Free(blk, pr.third, tol)) {
      test = 2;
    }
    if (test >= 0) {
      *route = kRoutes[k][test];
      return true;
    }
  }
  return false;
}

// The whole block solved when its matrix is coherently oriented; left
// alone when it is not, or when no active set passes in floating point.
ThreeRowPlan SolveWhole(const ThreeRowArgs& blk) {
  const double(&m)[3][3] = blk.a;
  const double* l = blk.lower;
  const double* u = blk.upper;
  if (!Solve_TestThree(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1],
                       m[2][2], l[X], u[X], l[Y], u[Y], l[Z], u[Z])) {
    return ThreeRow_Leave();
  }
  double sx = 0.0;
  double sy = 0.0;
  double sz = 0.0;
  if (!Solve_Three(m[0][0], m[0][1], m[0][2], blk.b[0], m[1][0], m[1][1], m[1][2], blk.b[1],
                   m[2][0], m[2][1], m[2][2], blk.b[2], l[X], u[X], l[Y], u[Y], l[Z], u[Z], &sx,
                   &sy, &sz)) {
    return ThreeRow_Leave();
  }
  return ThreeRow_FixAll("ThrRow Coherent", sx, sy, sz);
}

}  // namespace

ThreeRowDecision ThrRowChoose(const ThreeRowArgs& blk) {
  const RowTolerance tol = RowTolerance_Current();
  Route route;
  if (OneFree(blk, tol, &route) || TwoCoupled(blk, tol, &route) || TwoLoose(blk, tol, &route)) {
    return Follow(blk, route);
  }
  ThreeRowDecision d;
  d.block = blk;
  d.plan = SolveWhole(blk);
  return d;
}

int ThrRowCoherent(MCP* mcp, std::int32_t level, std::int32_t* fixCount, std::int32_t* boundCount,
                   const ThreeRowArgs& blk) {
  const ThreeRowDecision d = ThrRowChoose(blk);
  return ThreeRow_Apply(mcp, level, fixCount, boundCount, d.block, d.plan);
}

int Row_ThreeBlock(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower, double* upper,
                   double (*coef)[4], double* constant, std::int32_t* counter, std::int32_t* wbd,
                   const double* scale) {
  const DenseVector* saved = MCP_PresolveSavedX(mcp);
  const IDenseVector* colCount = MCP_PresolveColCount(mcp);
  ThreeRowArgs blk;
  for (int j = 0; j < 3; ++j) {
    blk.var[j] = rows[j];
    blk.lower[j] = lower[j];
    blk.upper[j] = upper[j];
    blk.b[j] = constant[j];
    blk.scale[j] = scale != nullptr ? scale[j] : 0.0;
    blk.saved[j] = DenseVector_Value(saved, rows[j]);
    blk.colCount[j] = IDenseVector_Value(colCount, rows[j]);
    for (int k = 0; k < 3; ++k) blk.a[j][k] = coef[j][k];
  }
  return ThrRowCoherent(mcp, level, counter, wbd, blk);
}
