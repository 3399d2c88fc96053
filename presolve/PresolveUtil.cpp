// Presolve utilities: the record view, bound and value changes, the
// active-entry finders and the activity bounds of linear rows.
#include "presolve/PresolveUtil.hpp"

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/RecordStack.hpp"
#include "core/Workspace.hpp"
#include "presolve/PresolveDebug.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/Presolve_internal.hpp"
#include "problems/MCP.hpp"

namespace {

// Outputs of one finder entry.
struct FoundEntry {
  double* a;
  std::int32_t* index;
  double* l;
  double* u;
};

void Write(const FoundEntry& out, double a, std::int32_t index, double l, double u) {
  *out.a = a;
  *out.index = index;
  *out.l = l;
  *out.u = u;
}

// The first `count` active linear entries of row `index` (by_row) or of
// column `index`; see Presolve_RowOne / Presolve_ColOne.
int FindActive(MCP* mcp, bool by_row, std::int32_t index, int count, const FoundEntry* out) {
  const PresolveView v = Presolve_View(mcp);
  int found = 0;
  if (by_row) {
    for (std::int32_t k = v.RowBegin(index); k < v.RowEnd(index) && found < count; ++k) {
      const std::int32_t p = v.row_entry[k] - 1;
      const std::int32_t j = v.entry_column[p];
      if (v.entry_type[p] != 0 || v.Fixed(j) || !Presolve_NonZero(v.value[p])) continue;
      Write(out[found++], v.value[p], j, v.lower[j - 1], v.upper[j - 1]);
    }
  } else {
    for (std::int32_t p = v.ColBegin(index); p < v.ColEnd(index) && found < count; ++p) {
      const std::int32_t r = v.row[p];
      if (v.entry_type[p] != 0 || v.Fixed(r) || !Presolve_NonZero(v.value[p])) continue;
      Write(out[found++], v.value[p], r, v.lower[r - 1], v.upper[r - 1]);
    }
  }
  return found == count ? 1 : 0;
}

// One infinite contribution more to a bound whose marker is marker: the
// entry's list position when it is the first, -1 from the second on.
void MarkInfinite(std::int32_t* marker, std::int32_t position) {
  *marker = *marker == 0 ? position : -1;
}

}  // namespace

PresolveView Presolve_View(MCP* mcp) {
  PresolveView v{};
  v.n = mcp->n;
  v.lower = DenseVector_Array(mcp->lower);
  v.upper = DenseVector_Array(mcp->upper);
  v.x = DenseVector_Array(mcp->x);
  v.f = DenseVector_Array(FunctionJacobian_Function(mcp->evaluation));
  const SparseMatrix* J = FunctionJacobian_Jacobian(mcp->evaluation);
  v.col_start = IDenseVector_Array(SparseMatrix_ColStart(J));
  v.col_len = IDenseVector_Array(SparseMatrix_ColLen(J));
  v.row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  v.value = DenseVector_Array(SparseMatrix_Values(J));
  v.row_start = IDenseVector_Array(mcp->row_start);
  v.row_length = IDenseVector_Array(mcp->row_length);
  v.row_entry = IDenseVector_Array(mcp->row_entry);
  v.entry_column = IDenseVector_Array(mcp->entry_column);
  v.entry_type = IDenseVector_Array(mcp->entry_type);
  v.row_type = IDenseVector_Array(mcp->row_type);
  v.row_count = IDenseVector_Array(mcp->row_count);
  v.col_count = IDenseVector_Array(mcp->col_count);
  IDenseVector* marks = Workspace_IVector(3);
  IDenseVector_SetLength(marks, mcp->n);
  v.mark = IDenseVector_Array(marks);
  const DenseVector* evaluated = Workspace_Vector(14);
  v.x_evaluated = DenseVector_Length(evaluated) == mcp->n ? DenseVector_Array(evaluated) : nullptr;
  return v;
}

void Presolve_MarkEvaluated(MCP* mcp) {
  DenseVector_CloneFull(Workspace_Vector(14), mcp->x);
  PresolveDebug_Snapshot(mcp);
}

void Presolve_MoveColumn(const PresolveView& v, std::int32_t var, double dx) {
  if (dx == 0.0) return;
  for (std::int32_t p = v.ColBegin(var); p < v.ColEnd(var); ++p) {
    v.f[v.row[p] - 1] += v.value[p] * dx;
  }
}

bool Presolve_IsFixed(const MCP* mcp, std::int32_t j) {
  return DenseVector_Value(mcp->lower, j) == DenseVector_Value(mcp->upper, j);
}

void Presolve_SetBounds(MCP* mcp, std::int32_t level, std::int32_t second, std::int32_t kind,
                        std::int32_t var, double newlb, double newub) {
  const double inf = Presolve_Infinity();
  const double zerotol = Presolve_ZeroTolerance();
  // Bounds may cross by the row-level tolerance: the rules settle closer
  // crossings as a meeting, and report real ones as infeasibility before
  // they set any bound.
  const bool valid = newlb < inf && newub > -inf &&
                     (newlb <= -inf || newub >= inf || newlb - newub <= PRESOLVE_ROW_TOLERANCE);
  if (!valid) {
    Error_SolverError("Bound incorrect: %d: %d %5.4e %5.4e\n", second, var, newlb, newub);
  }
  const PresolveView v = Presolve_View(mcp);
  const double lb = v.lower[var - 1];
  const double ub = v.upper[var - 1];
  if (PRESOLVE_EQ(newlb, lb, zerotol) && PRESOLVE_EQ(newub, ub, zerotol)) return;
  if (PRESOLVE_EQ(newlb, lb, zerotol)) newlb = lb;
  if (PRESOLVE_EQ(newub, ub, zerotol)) newub = ub;

  if (PRESOLVE_EQ(newlb, newub, zerotol) || newlb > newub) {
    // The bounds meet (possibly crossed within zerotol): fix at their
    // midpoint, kept inside the variable's current bounds.
    const double mid = Presolve_Clip((newlb + newub) * 0.5, lb, ub);
    MCP_FixVariable(mcp, level, second, kind, var, mid);
    v.mark[var - 1] = 0;
    return;
  }
  const PresolveRecord record = {lb, ub, 0.0, second, var, level, kind};
  RecordStack_Push(mcp->stack, record);
  const double xold = v.x[var - 1];
  const double xnew = Presolve_Clip(xold, newlb, newub);
  v.lower[var - 1] = newlb;
  v.upper[var - 1] = newub;
  v.x[var - 1] = xnew;
  Presolve_MoveColumn(v, var, xnew - xold);
  PresolveDebug_AfterReduction(mcp);
}

void Presolve_SetValue(MCP* mcp, std::int32_t var, double value) {
  const PresolveView v = Presolve_View(mcp);
  const double zerotol = Presolve_ZeroTolerance();
  // Both tests on the value given: within zerotol of both, the upper wins.
  if (PRESOLVE_EQ(value, v.upper[var - 1], zerotol)) {
    value = v.upper[var - 1];
  } else if (PRESOLVE_EQ(value, v.lower[var - 1], zerotol)) {
    value = v.lower[var - 1];
  }
  const double xold = v.x[var - 1];
  v.x[var - 1] = value;
  Presolve_MoveColumn(v, var, value - xold);
}

double Presolve_RowDiagonal(MCP* mcp, std::int32_t row) {
  const PresolveView v = Presolve_View(mcp);
  for (std::int32_t k = v.RowBegin(row); k < v.RowEnd(row); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    if (v.entry_column[p] == row) return v.value[p];
  }
  return 0.0;
}

int Presolve_RowOne(MCP* mcp, std::int32_t row, double* a1, std::int32_t* c1, double* l1,
                    double* u1) {
  const FoundEntry out[] = {{a1, c1, l1, u1}};
  return FindActive(mcp, true, row, 1, out);
}

int Presolve_RowTwo(MCP* mcp, std::int32_t row, double* a1, std::int32_t* c1, double* l1,
                    double* u1, double* a2, std::int32_t* c2, double* l2, double* u2) {
  const FoundEntry out[] = {{a1, c1, l1, u1}, {a2, c2, l2, u2}};
  return FindActive(mcp, true, row, 2, out);
}

int Presolve_RowThree(MCP* mcp, std::int32_t row, double* a1, std::int32_t* c1, double* l1,
                      double* u1, double* a2, std::int32_t* c2, double* l2, double* u2,
                      double* a3, std::int32_t* c3, double* l3, double* u3) {
  const FoundEntry out[] = {{a1, c1, l1, u1}, {a2, c2, l2, u2}, {a3, c3, l3, u3}};
  return FindActive(mcp, true, row, 3, out);
}

int Presolve_ColOne(MCP* mcp, std::int32_t col, double* a1, std::int32_t* r1, double* l1,
                    double* u1) {
  const FoundEntry out[] = {{a1, r1, l1, u1}};
  return FindActive(mcp, false, col, 1, out);
}

int Presolve_ColTwo(MCP* mcp, std::int32_t col, double* a1, std::int32_t* r1, double* l1,
                    double* u1, double* a2, std::int32_t* r2, double* l2, double* u2) {
  const FoundEntry out[] = {{a1, r1, l1, u1}, {a2, r2, l2, u2}};
  return FindActive(mcp, false, col, 2, out);
}

int Presolve_ColThree(MCP* mcp, std::int32_t col, double* a1, std::int32_t* r1, double* l1,
                      double* u1, double* a2, std::int32_t* r2, double* l2, double* u2,
                      double* a3, std::int32_t* r3, double* l3, double* u3) {
  const FoundEntry out[] = {{a1, r1, l1, u1}, {a2, r2, l2, u2}, {a3, r3, l3, u3}};
  return FindActive(mcp, false, col, 3, out);
}

RowActivity Presolve_ActivityOf(const PresolveView& v, std::int32_t i, const double* lb,
                                const double* ub) {
  const double inf = Presolve_Infinity();
  RowActivity r = {0.0, 0.0, -v.f[i - 1], 0, 0, std::fabs(v.f[i - 1])};
  for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
    const std::int32_t p = v.row_entry[k] - 1;
    const std::int32_t j = v.entry_column[p];
    const double a = v.value[p];
    if (v.entry_type[p] != 0) continue;
    // F_i took the terms of the fixed columns when they were fixed.
    r.scale += std::fabs(a * v.x[j - 1]);
    if (v.x_evaluated != nullptr) r.scale += std::fabs(a * v.x_evaluated[j - 1]);
    if (v.Fixed(j)) continue;
    // A coefficient within jactol counts as zero: its term leaves the
    // constant as well as the activity (F_i holds it at the current x_j,
    // which may lie far from where the row is settled).
    r.c += a * v.x[j - 1];
    if (!Presolve_NonZero(a)) continue;
    const double low = a > 0 ? lb[j - 1] : ub[j - 1];
    const double high = a > 0 ? ub[j - 1] : lb[j - 1];
    if (std::fabs(low) < inf) {
      r.lo += a * low;
      r.scale += std::fabs(a * low);
    } else {
      MarkInfinite(&r.klo, k + 1);
    }
    if (std::fabs(high) < inf) {
      r.hi += a * high;
      r.scale += std::fabs(a * high);
    } else {
      MarkInfinite(&r.khi, k + 1);
    }
    if (r.klo < 0 && r.khi < 0) break;
  }
  if (!(std::fabs(r.lo) < inf)) {
    Error_Warning("Bad calculation of function lower bound.\n");
    r.lo = -inf;
  }
  if (!(std::fabs(r.hi) < inf)) {
    Error_Warning("Bad calculation of function upper bound.\n");
    r.hi = inf;
  }
  return r;
}

RowActivity Presolve_OneRowBounds(MCP* mcp, std::int32_t i, const double* lb, const double* ub) {
  return Presolve_ActivityOf(Presolve_View(mcp), i, lb, ub);
}

void Presolve_RowBounds(MCP* mcp, std::int32_t row_class, const DenseVector* lb,
                        const DenseVector* ub, DenseVector* lo, DenseVector* hi, DenseVector* c,
                        IDenseVector* klo, IDenseVector* khi) {
  const PresolveView v = Presolve_View(mcp);
  const std::int32_t n = v.n;
  DenseVector_SetLength(lo, n);
  DenseVector_SetLength(hi, n);
  DenseVector_SetLength(c, n);
  IDenseVector_SetLength(klo, n);
  IDenseVector_SetLength(khi, n);
  for (std::int32_t i = 1; i <= n; ++i) {
    if (v.mark[i - 1] == 0) continue;
    if (row_class != 0 && v.row_type[i - 1] != row_class) continue;
    const RowActivity r = Presolve_ActivityOf(v, i, DenseVector_Array(lb), DenseVector_Array(ub));
    DenseVector_SetValue(lo, i, r.lo);
    DenseVector_SetValue(hi, i, r.hi);
    DenseVector_SetValue(c, i, r.c);
    IDenseVector_SetValue(klo, i, r.klo);
    IDenseVector_SetValue(khi, i, r.khi);
  }
}
