// Two-row block rules: the exact solutions of a two-variable block decide
// whether both variables are fixed, one is fixed and the other bounded, one
// is fixed alone, the block is reported infeasible, or it is left alone.
#include "presolve/rows/RowBlockTwo.hpp"

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "presolve/rows/RowBlockReduce.hpp"
#include "presolve/rows/RowBlockRefine.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowSolve.hpp"

namespace {

// The block as the rule reads it: F_x = a11*x + a12*y + b1 perp
// lx <= x <= ux, F_y = a21*x + a22*y + b2 perp ly <= y <= uy; x, y the
// variables (and rows), sx, sy their saved values; x_inside, y_inside: the
// column reaches no row outside the block.
struct TwoBlock {
  MCP* mcp;
  std::int32_t level;
  std::int32_t* counter;
  std::int32_t* wbd;
  std::int32_t x, y;
  double lx, ux, ly, uy;
  double a11, a12, b1, a21, a22, b2;
  double b1_scale, b2_scale;  // the magnitudes of the terms that formed b1, b2
  double sx, sy;
  bool x_inside, y_inside;
};

// The number of counting coefficients among a and b.
std::int32_t Counting(double a, double b, const RowTolerance& tol) {
  return (RowCompare_Ne(a, 0.0, tol.jactol, tol.infinity) ? 1 : 0) +
         (RowCompare_Ne(b, 0.0, tol.jactol, tol.infinity) ? 1 : 0);
}

TwoBlock Read(MCP* mcp, std::int32_t level, const std::int32_t* rows, const double* lower,
              const double* upper, double (*coef)[4], const double* constant,
              std::int32_t* counter, std::int32_t* wbd, const double* scale) {
  const RowTolerance tol = RowTolerance_Current();
  TwoBlock t{mcp, level, counter, wbd, rows[0], rows[1], lower[0], upper[0], lower[1], upper[1],
             coef[0][0], coef[0][1], constant[0], coef[1][0], coef[1][1], constant[1],
             0.0, 0.0, 0.0, 0.0, false, false};
  if (scale != nullptr) {
    t.b1_scale = scale[0];
    t.b2_scale = scale[1];
  }
  const DenseVector* saved = MCP_PresolveSavedX(mcp);
  t.sx = DenseVector_Value(saved, t.x);
  t.sy = DenseVector_Value(saved, t.y);
  const IDenseVector* columns = MCP_PresolveColCount(mcp);
  t.x_inside = Counting(t.a11, t.a21, tol) == IDenseVector_Value(columns, t.x);
  t.y_inside = Counting(t.a12, t.a22, tol) == IDenseVector_Value(columns, t.y);
  return t;
}

// A solution set's choice: its first listed point, or on a segment the
// point nearest to saved.
double Pick(std::int32_t count, const double* points, double saved) {
  return count < 0 ? RowCompare_Median(points[0], saved, points[1]) : points[0];
}

bool Finite(double v) { return RowCompare_Finite(v, RowTolerance_Current().infinity); }

// The block's two rows for the checks of RowBlockRefine.hpp.
RowBlockRows BlockRows(const TwoBlock& t) {
  return {2, {{t.a11, t.a12, 0.0}, {t.a21, t.a22, 0.0}, {0.0, 0.0, 0.0}},
          {t.b1, t.b2, 0.0}, {t.lx, t.ly, 0.0}, {t.ux, t.uy, 0.0}};
}

// Fixes both variables at (vx, vy), refined on the block's rows. A value
// that cannot be written down (a point of the solution line beyond an
// infinite end), or a point at which the rows miss their conditions, leaves
// the block alone.
int FixBoth(const TwoBlock& t, double vx, double vy, const char* label) {
  if (!Finite(vx) || !Finite(vy)) return ROW_CONTINUE;
  double values[3] = {vx, vy, 0.0};
  if (!Row_RefineBlockPoint(BlockRows(t), values)) return ROW_CONTINUE;
  const std::int32_t pair[2] = {t.x, t.y};
  return Row_BlockFix(t.mcp, t.level, pair, pair, values, 2, label, t.counter);
}

// Fixes variable v (its own row) at value.
int FixOne(const TwoBlock& t, std::int32_t v, double value, const char* label) {
  return Row_BlockFix(t.mcp, t.level, &v, &v, &value, 1, label, t.counter);
}

// Both columns inside the block: any solution may be chosen; the first
// non-empty set in the order XL, XU, YL, YU, EQ gives it.
int FixAnySolution(const TwoBlock& t, const TwoSolution& s) {
  const char* label = "TwoRowCol";
  if (s.nsol_xl != 0) return FixBoth(t, t.lx, Pick(s.nsol_xl, s.sol_xl, t.sy), label);
  if (s.nsol_xu != 0) return FixBoth(t, t.ux, Pick(s.nsol_xu, s.sol_xu, t.sy), label);
  if (s.nsol_yl != 0) return FixBoth(t, Pick(s.nsol_yl, s.sol_yl, t.sx), t.ly, label);
  if (s.nsol_yu != 0) return FixBoth(t, Pick(s.nsol_yu, s.sol_yu, t.sx), t.uy, label);
  switch (s.nsol_eq) {
    case 1:
      return FixBoth(t, s.sol_x[0], s.sol_y[0], label);
    case -5:
      return FixBoth(t, RowCompare_Median(t.lx, t.sx, t.ux), RowCompare_Median(t.ly, t.sy, t.uy),
                     label);
    case -3:
    case -4: {
      // y on the line, kept in its bounds: a steep line rounds it past them.
      const double vx = RowCompare_Median(s.sol_x[0], t.sx, s.sol_x[1]);
      const double vy = -(s.coeff[0] * vx + s.coeff[2]) / s.coeff[1];
      return FixBoth(t, vx, RowCompare_Median(t.ly, vy, t.uy), label);
    }
    case -2:
      return FixBoth(t, RowCompare_Median(s.sol_x[0], t.sx, s.sol_x[1]), s.sol_y[0], label);
    case -1:
      return FixBoth(t, s.sol_x[0], RowCompare_Median(s.sol_y[0], t.sy, s.sol_y[1]), label);
    default:
      return ROW_CONTINUE;
  }
}

// The solutions of one edge alone, for the edge variable e at its bound
// edge_value with the other variable o over the set (count, points).
struct Edge {
  std::int32_t count;
  const double* points;
  bool x_edge;  // the edge fixes x (XL, XU), else y (YL, YU)
  double bound;
  const char* col_label;    // both fixed, the other column inside
  const char* range_label;  // the other variable bounded to a segment
  const char* fix_label;    // the edge variable fixed alone
};

// Only one edge holds solutions. Returns ROW_CONTINUE with *settled false
// when the edge lists isolated points and the other column reaches out.
int FixEdge(const TwoBlock& t, const Edge& e, bool* settled) {
  *settled = true;
  const bool other_inside = e.x_edge ? t.y_inside : t.x_inside;
  const double other_saved = e.x_edge ? t.sy : t.sx;
  const std::int32_t edge_var = e.x_edge ? t.x : t.y;
  std::int32_t other_var = e.x_edge ? t.y : t.x;
  if (other_inside) {
    const double other = Pick(e.count, e.points, other_saved);
    return e.x_edge ? FixBoth(t, e.bound, other, e.col_label)
                    : FixBoth(t, other, e.bound, e.col_label);
  }
  if (e.count > 0) {
    *settled = false;
    return ROW_CONTINUE;
  }
  const int status = Row_BlockBound(t.mcp, t.level, &other_var, &other_var, &e.points[0],
                                    &e.points[1], 1, e.range_label, t.wbd);
  if (status != ROW_CONTINUE) return status;
  return FixOne(t, edge_var, e.bound, e.fix_label);
}

// The one non-empty edge set when all others (EQ included) are empty.
bool OnlyEdge(const TwoBlock& t, const TwoSolution& s, Edge* edge) {
  const std::int32_t counts[4] = {s.nsol_xl, s.nsol_xu, s.nsol_yl, s.nsol_yu};
  const Edge edges[4] = {
      {s.nsol_xl, s.sol_xl, true, t.lx, "TwoRowCol x Lower", "TwoRow y Range", "TwoRow x Lower"},
      {s.nsol_xu, s.sol_xu, true, t.ux, "TwoRowCol x Upper", "TwoRow y Range", "TwoRow x Upper"},
      {s.nsol_yl, s.sol_yl, false, t.ly, "TwoRowCol y Lower", "TwoRow x Range", "TwoRow y Lower"},
      {s.nsol_yu, s.sol_yu, false, t.uy, "TwoRowCol y Upper", "TwoRow x Range", "TwoRow y Upper"},
  };
  if (s.nsol_eq != 0) return false;
  int found = -1;
  for (int k = 0; k < 4; ++k) {
    if (counts[k] == 0) continue;
    if (found >= 0) return false;
    found = k;
  }
  if (found < 0) return false;
  *edge = edges[found];
  return true;
}

void ReportNames(const TwoBlock& t, const char* format, std::int32_t total) {
  if (Row_TraceLevel() < 3) return;
  char first[kRowNameLength];
  char second[kRowNameLength];
  Row_ConstraintName(t.mcp, t.x, first);
  Row_ConstraintName(t.mcp, t.y, second);
  Output_Printf(OUTPUT_LOG, format, first, second, total);
}

// Several sets, or isolated points with a column reaching out: only a
// single solution is fixed.
int FixSingleSolution(const TwoBlock& t, const TwoSolution& s) {
  if (s.nsol_xl < 0 || s.nsol_xu < 0 || s.nsol_yl < 0 || s.nsol_yu < 0 || s.nsol_eq < 0) {
    ReportNames(t, "TwoRow (%s, %s): Infinite solutions.\n", 0);
    return ROW_CONTINUE;
  }
  const std::int32_t total = s.nsol_xl + s.nsol_xu + s.nsol_yl + s.nsol_yu + s.nsol_eq;
  if (total != 1) {
    ReportNames(t, "TwoRow (%s, %s): %d solutions\n", total);
    return ROW_CONTINUE;
  }
  double point[3] = {s.sol_x[0], s.sol_y[0], 0.0};
  if (s.nsol_xl == 1) {
    point[0] = t.lx;
    point[1] = s.sol_xl[0];
  } else if (s.nsol_xu == 1) {
    point[0] = t.ux;
    point[1] = s.sol_xu[0];
  } else if (s.nsol_yl == 1) {
    point[0] = s.sol_yl[0];
    point[1] = t.ly;
  } else if (s.nsol_yu == 1) {
    point[0] = s.sol_yu[0];
    point[1] = t.uy;
  }
  const double saved[3] = {t.sx, t.sy, 0.0};
  if (Row_BlockHasOtherPoint(BlockRows(t), saved, point)) return ROW_CONTINUE;
  return FixBoth(t, point[0], point[1], "TwoRow Unique");
}

// The interior segment alone, y = sol_y[0] with x free (-2) or x =
// sol_x[0] with y free (-1): the fixed coordinate is fixed, the free one
// too when its column lies inside the block.
int FixInteriorLine(const TwoBlock& t, const TwoSolution& s) {
  if (s.nsol_eq == -2) {
    if (t.x_inside) {
      return FixBoth(t, RowCompare_Median(s.sol_x[0], t.sx, s.sol_x[1]), s.sol_y[0],
                     "TwoRowCol y Mid");
    }
    return FixOne(t, t.y, s.sol_y[0], "TwoRow y Mid");
  }
  if (t.y_inside) {
    return FixBoth(t, s.sol_x[0], RowCompare_Median(s.sol_y[0], t.sy, s.sol_y[1]),
                   "TwoRowCol x Mid");
  }
  return FixOne(t, t.x, s.sol_x[0], "TwoRow x Mid");
}

int TwoRow(const TwoBlock& t) {
  TwoSolution s;
  // Solutions beyond an infinite end cannot be written down: leave the
  // block to the solver.
  if (!Row_SolveTwoScaled(t.a11, t.a12, t.b1, t.a21, t.a22, t.b2, t.b1_scale, t.b2_scale, t.lx,
                          t.ux, t.ly, t.uy, &s)) {
    return ROW_CONTINUE;
  }
  const bool edges_empty = s.nsol_xl == 0 && s.nsol_xu == 0 && s.nsol_yl == 0 && s.nsol_yu == 0;
  if (edges_empty && s.nsol_eq == 0) {
    const double saved[3] = {t.sx, t.sy, 0.0};
    if (Row_BlockHasPoint(BlockRows(t), saved)) return ROW_CONTINUE;
    const std::int32_t pair[2] = {t.x, t.y};
    return Row_BlockInfeasible(t.mcp, pair, 2, "TwoRow", "Infeasible");
  }
  if (t.x_inside && t.y_inside) return FixAnySolution(t, s);
  Edge edge;
  if (OnlyEdge(t, s, &edge)) {
    bool settled = false;
    const int status = FixEdge(t, edge, &settled);
    if (settled) return status;
  }
  if (edges_empty && (s.nsol_eq == -1 || s.nsol_eq == -2)) return FixInteriorLine(t, s);
  return FixSingleSolution(t, s);
}

}  // namespace

int Row_TwoBlock(MCP* mcp, std::int32_t level, std::int32_t* rows, double* lower, double* upper,
                 double (*coef)[4], double* constant, std::int32_t* counter, std::int32_t* wbd,
                 const double* scale) {
  return TwoRow(Read(mcp, level, rows, lower, upper, coef, constant, counter, wbd, scale));
}
