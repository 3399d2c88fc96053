// Solves with the kept LU factors: L by columns at the back of the storage
// (initial columns, then the entries appended by replacements), U by rows at
// the front. Values of magnitude at most drop_tolerance count as zero where
// a test is made, which lets sparse right-hand sides skip work.
#include <cmath>

#include "factorization/lu/LU_Library.hpp"

namespace {

struct LView {
  LU_Array<const double> val;
  LU_Array<const std::int32_t> ri, ci, clen;
  std::int32_t storage, columns, initial, length;
  double drop;
};

LView MakeLView(const LU_IntParams& ip, const LU_RealParams& rp, const LU_Factors& f) {
  return LView{LU_Array<const double>(f.lu_value),
               LU_Array<const std::int32_t>(f.lu_row_index),
               LU_Array<const std::int32_t>(f.lu_col_index),
               LU_Array<const std::int32_t>(f.col_len),
               f.storage_length,
               ip[LU_Int::l_column_count],
               ip[LU_Int::l_length_initial],
               ip[LU_Int::l_length],
               rp[LU_Real::drop_tolerance]};
}

// Forward pass over the initial columns of L, scaled as LU_PivotScale says.
void ForwardInitial(const LView& l, const LU_Factors& f, LU_Array<double> v, LU_PivotScale scale) {
  LU_Array<const double> val = l.val;
  LU_Array<const std::int32_t> rlen(f.row_len), rstart(f.row_start);
  std::int32_t top = l.storage;
  for (std::int32_t k = 1; k <= l.columns; ++k) {
    const std::int32_t len = l.clen[k];
    const std::int32_t p = l.ci[top];
    const double t = v[p];
    if (std::fabs(t) > l.drop) {
      for (std::int32_t q = top; q > top - len; --q) v[l.ri[q]] += val[q] * t;
      if (scale != LU_SCALE_NONE && rlen[p] > 0) {
        double pivot = val[rstart[p]];
        v[p] = t / (scale == LU_SCALE_MAGNITUDE ? std::fabs(pivot) : pivot);
      }
    }
    top -= len;
  }
}

}  // namespace

void LU_SolveL(const LU_IntParams& ip, const LU_RealParams& rp, const LU_Factors& f, double* v) {
  const LView l = MakeLView(ip, rp, f);
  LU_Array<double> x(v);
  ForwardInitial(l, f, x, LU_SCALE_NONE);
  // Replacement entries, oldest (highest) first.
  for (std::int32_t q = l.storage - l.initial; q > l.storage - l.length; --q) {
    double t = x[l.ci[q]];
    if (std::fabs(t) > l.drop) x[l.ri[q]] += l.val[q] * t;
  }
}

void LU_SolveLt(LU_IntParams& ip, const LU_RealParams& rp, const LU_Factors& f, double* v) {
  const LView l = MakeLView(ip, rp, f);
  LU_Array<double> x(v);
  // Replacement entries, newest (lowest) first.
  for (std::int32_t q = l.storage - l.length + 1; q <= l.storage - l.initial; ++q) {
    double t = x[l.ri[q]];
    if (std::fabs(t) > l.drop) x[l.ci[q]] += l.val[q] * t;
  }
  // Initial columns from the last to the first.
  std::int32_t bottom = l.storage - l.initial + 1;
  for (std::int32_t k = l.columns; k >= 1; --k) {
    const std::int32_t len = l.clen[k];
    double sum = 0.0;
    for (std::int32_t q = bottom; q < bottom + len; ++q) sum += l.val[q] * x[l.ri[q]];
    x[l.ci[bottom]] += sum;
    bottom += len;
  }
  ip[LU_Int::result_code] = LU_OK;
}

std::int32_t LU_SolveU(std::int32_t m, std::int32_t n, LU_IntParams& ip, LU_RealParams& rp,
                       const LU_Factors& f, const double* v, double* w) {
  LU_Array<const double> val(f.lu_value), b(v);
  LU_Array<double> x(w);
  LU_Array<const std::int32_t> ci(f.lu_col_index), rperm(f.row_perm), cperm(f.col_perm);
  LU_Array<const std::int32_t> rlen(f.row_len), rstart(f.row_start);
  const std::int32_t rank = ip[LU_Int::rank];
  const double drop = rp[LU_Real::drop_tolerance];
  std::int32_t last = rank;
  while (last > 0 && std::fabs(b[rperm[last]]) <= drop) --last;
  for (std::int32_t k = last + 1; k <= n; ++k) x[cperm[k]] = 0.0;
  for (std::int32_t k = last; k >= 1; --k) {
    const std::int32_t i = rperm[k], first = rstart[i];
    double t = b[i];
    for (std::int32_t q = first + 1; q < first + rlen[i]; ++q) t -= val[q] * x[ci[q]];
    x[cperm[k]] = std::fabs(t) > drop ? t / val[first] : 0.0;
  }
  double residual = 0.0;
  for (std::int32_t k = rank + 1; k <= m; ++k) residual += std::fabs(b[rperm[k]]);
  rp[LU_Real::solve_residual] = residual;
  return residual > 0.0 ? LU_SINGULAR : LU_OK;
}

std::int32_t LU_SolveUt(std::int32_t m, std::int32_t n, LU_IntParams& ip, LU_RealParams& rp,
                        const LU_Factors& f, double* v, double* w) {
  LU_Array<const double> val(f.lu_value);
  LU_Array<double> x(v), b(w);
  LU_Array<const std::int32_t> ci(f.lu_col_index), rperm(f.row_perm), cperm(f.col_perm);
  LU_Array<const std::int32_t> rlen(f.row_len), rstart(f.row_start);
  const std::int32_t rank = ip[LU_Int::rank];
  const double drop = rp[LU_Real::drop_tolerance];
  for (std::int32_t k = rank + 1; k <= m; ++k) x[rperm[k]] = 0.0;
  for (std::int32_t k = 1; k <= rank; ++k) {
    const std::int32_t i = rperm[k], first = rstart[i];
    double t = b[cperm[k]];
    if (!(std::fabs(t) > drop)) {
      x[i] = 0.0;
      continue;
    }
    t /= val[first];
    x[i] = t;
    for (std::int32_t q = first + 1; q < first + rlen[i]; ++q) b[ci[q]] -= val[q] * t;
  }
  double residual = 0.0;
  for (std::int32_t k = rank + 1; k <= n; ++k) residual += std::fabs(b[cperm[k]]);
  rp[LU_Real::solve_residual] = residual;
  return residual > 0.0 ? LU_SINGULAR : LU_OK;
}

void LU_SolveLD(LU_PivotScale scale, const LU_IntParams& ip, const LU_RealParams& rp,
                const LU_Factors& f, double* v) {
  ForwardInitial(MakeLView(ip, rp, f), f, LU_Array<double>(v), scale);
}

void LU_Solve(std::int32_t mode, std::int32_t m, std::int32_t n, double* v, double* w,
              LU_IntParams& ip, LU_RealParams& rp, LU_Factors& f, std::int32_t& result) {
  LU_Poll();
  std::int32_t code = LU_OK;
  switch (mode) {
    case LU_SOLVE_L:
      LU_SolveL(ip, rp, f, v);
      break;
    case LU_SOLVE_LT:
      LU_SolveLt(ip, rp, f, v);
      break;
    case LU_SOLVE_U:
      code = LU_SolveU(m, n, ip, rp, f, v, w);
      break;
    case LU_SOLVE_UT:
      code = LU_SolveUt(m, n, ip, rp, f, v, w);
      break;
    case LU_SOLVE_A:
      LU_SolveL(ip, rp, f, v);
      code = LU_SolveU(m, n, ip, rp, f, v, w);
      break;
    case LU_SOLVE_AT:
      LU_SolveUt(m, n, ip, rp, f, v, w);
      LU_SolveLt(ip, rp, f, v);
      break;
    case LU_SOLVE_LDLT:
    case LU_SOLVE_LDLT_ABS:
      LU_SolveLD(mode == LU_SOLVE_LDLT_ABS ? LU_SCALE_MAGNITUDE : LU_SCALE_PIVOT, ip, rp, f, v);
      LU_SolveLt(ip, rp, f, v);
      break;
    default:
      return;
  }
  ip[LU_Int::result_code] = code;
  result = code;
}
