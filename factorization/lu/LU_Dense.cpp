// Dense phase of the LU factor core: once the active submatrix is dense and
// fits twice below the factors, it is copied into a column-major block,
// factored (partial pivoting blocked into panels whose pivots the later
// columns take at once, through the BLAS's matrix product or, for sparse
// panels, a kernel that adds four products per pass;
// complete pivoting, which must see every column up to date at each pivot,
// with level-1 BLAS), and its factors are appended to the factor area like
// those of sparse pivots.
#include <chrono>
#include <cmath>

#include "factorization/lu/Blas.hpp"
#include "factorization/lu/LU_Library.hpp"

namespace {

// Width of the panels of the blocked partial-pivoting kernel.
constexpr std::int32_t kPanel = 64;

double* Column(double* a, std::int32_t lda, std::int32_t j) {
  return a + static_cast<std::int64_t>(j - 1) * lda;
}

// Exchanges columns j and k of the block (m entries each) and of col_order.
void SwapColumns(std::int32_t m, double* a, std::int32_t lda, std::int32_t j, std::int32_t k,
                 LU_Array<std::int32_t> col_order) {
  if (j == k) return;
  double* x = Column(a, lda, j);
  double* y = Column(a, lda, k);
  for (std::int32_t i = 0; i < m; ++i) {
    double t = x[i];
    x[i] = y[i];
    y[i] = t;
  }
  std::int32_t t = col_order[j];
  col_order[j] = col_order[k];
  col_order[k] = t;
}

// A column j whose entries in rows k..m are negligible goes to the position
// `last` (the last remaining one), where those entries are zeroed; its
// entries in the rows of earlier pivots belong to U and stay. The remaining
// column count drops by one.
void RetireColumn(std::int32_t m, double* a, std::int32_t lda, std::int32_t k, std::int32_t j,
                  std::int32_t& last, LU_Array<std::int32_t> col_order) {
  SwapColumns(m, a, lda, j, last, col_order);
  double* x = Column(a, lda, last);
  for (std::int32_t i = k - 1; i < m; ++i) x[i] = 0.0;
  --last;
}

// Exchanges rows k and p over all n columns (multipliers included).
void SwapRows(double* a, std::int32_t lda, std::int32_t n, std::int32_t k, std::int32_t p) {
  if (p == k) return;
  for (std::int32_t j = 1; j <= n; ++j) {
    double* x = Column(a, lda, j);
    double t = x[k - 1];
    x[k - 1] = x[p - 1];
    x[p - 1] = t;
  }
}

// Row k takes the pivot row p, then the column below the pivot becomes the
// multipliers and updates the columns k+1..last.
void EliminateDense(std::int32_t m, double* a, std::int32_t lda, std::int32_t k, std::int32_t p,
                    std::int32_t n, std::int32_t last) {
  SwapRows(a, lda, n, k, p);
  double* pivot_column = Column(a, lda, k);
  LU_Scale(m - k, -1.0 / pivot_column[k - 1], pivot_column + k);
  for (std::int32_t j = k + 1; j <= last; ++j) {
    double* x = Column(a, lda, j);
    double u = x[k - 1];
    if (u != 0.0) LU_Axpy(m - k, u, pivot_column + k, x + k);
  }
}

// Pivots panel_first..k-1 applied to column x: each adds its multipliers
// (rows p+1..m) times the column's entry in its row.
void UpdateFromPanel(std::int32_t m, double* a, std::int32_t lda, std::int32_t panel_first,
                     std::int32_t k, double* x) {
  for (std::int32_t p = panel_first; p < k; ++p) {
    const double u = x[p - 1];
    if (u != 0.0) LU_Axpy(m - p, u, Column(a, lda, p) + p, x + p);
  }
}

// Negates the strictly lower part of the size by size block at d.
void NegateStrictlyLower(std::int32_t size, double* d, std::int32_t lda) {
  for (std::int32_t j = 0; j < size; ++j) {
    double* x = d + static_cast<std::int64_t>(j) * lda;
    for (std::int32_t i = j + 1; i < size; ++i) x[i] = -x[i];
  }
}

// Number of zeros in the rows x columns block at b.
std::int64_t CountZeros(std::int32_t rows, std::int32_t columns, const double* b,
                        std::int32_t ldb) {
  std::int64_t zeros = 0;
  for (std::int32_t j = 0; j < columns; ++j) {
    const double* x = b + static_cast<std::int64_t>(j) * ldb;
    for (std::int32_t i = 0; i < rows; ++i) zeros += x[i] == 0.0;
  }
  return zeros;
}

// The later columns of a panel add the multipliers times the U entries.
// Each column adds only those of its non-zero U entries, in pivot order,
// four at a time.
void AddColumnByColumn(std::int32_t rows, std::int32_t size, const double* multipliers,
                       std::int32_t lda, double* a, std::int32_t k, std::int32_t last,
                       std::int32_t panel_first) {
  double u[kPanel];
  const double* terms[kPanel];
  for (std::int32_t j = k; j <= last; ++j) {
    double* x = Column(a, lda, j);
    std::int32_t count = 0;
    for (std::int32_t p = 0; p < size; ++p) {
      const double value = x[panel_first - 1 + p];
      if (value == 0.0) continue;
      u[count] = value;
      terms[count] = multipliers + static_cast<std::int64_t>(p) * lda;
      ++count;
    }
    LU_AddProducts(rows, count, u, terms, x + (k - 1));
  }
}

// How a dense panel updates the later columns: the BLAS's matrix product
// or the column kernel above. Both add the same products; which is faster
// depends on the BLAS the engine is linked with (an optimised one far
// outruns the kernel, the reference one is slower than it), so the first
// dense panels large enough to time measure both, per product, and the
// faster one serves every dense panel after them. A measure of the
// machine, kept for the life of the process.
struct DenseUpdateChoice {
  LU_DenseUpdate choice = LU_DENSE_UPDATE_MEASURE;
  double product_rate = 0.0;  // seconds per product of the BLAS's product
  double kernel_rate = 0.0;   // seconds per product of the column kernel
};
DenseUpdateChoice choice;

// Products a panel must hold for its update to be timed.
constexpr double kTimedProducts = 4e6;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The update of a panel whose U entries are (nearly) all non-zero.
void UpdateDense(std::int32_t rows, std::int32_t size, std::int32_t columns,
                 const double* multipliers, const double* u_rows, std::int32_t lda, double* a,
                 std::int32_t k, std::int32_t last, std::int32_t panel_first) {
  const double products = static_cast<double>(rows) * size * columns;
  LU_DenseUpdate how = choice.choice;
  const bool timed = how == LU_DENSE_UPDATE_MEASURE && products >= kTimedProducts;
  if (how == LU_DENSE_UPDATE_MEASURE) {
    how = timed && choice.kernel_rate > 0.0 ? LU_DENSE_UPDATE_PRODUCT : LU_DENSE_UPDATE_KERNEL;
  }
  const double start = timed ? Now() : 0.0;
  if (how == LU_DENSE_UPDATE_PRODUCT) {
    Blas_DgemmAdd(rows, columns, size, 1.0, multipliers, lda, u_rows, lda,
                  Column(a, lda, k) + (k - 1), lda);
  } else {
    AddColumnByColumn(rows, size, multipliers, lda, a, k, last, panel_first);
  }
  if (!timed) return;
  const double rate = (Now() - start) / products;
  (how == LU_DENSE_UPDATE_PRODUCT ? choice.product_rate : choice.kernel_rate) = rate;
  if (choice.product_rate > 0.0 && choice.kernel_rate > 0.0) {
    choice.choice = choice.product_rate < choice.kernel_rate ? LU_DENSE_UPDATE_PRODUCT
                                                              : LU_DENSE_UPDATE_KERNEL;
  }
}

// Columns k..last take the pivots panel_first..k-1: their rows in the panel
// become rows of U (a solve with the panel's unit lower triangle), then the
// rows below add the panel's multipliers times those rows. The block holds
// the negated multipliers, so the triangle is negated around the solve.
// The dense remainder of a sparse matrix starts out partly sparse: a panel
// whose new U rows are more than a tenth zero updates column by column,
// skipping the zeros; a denser one as UpdateDense chooses.
void UpdateTrailing(std::int32_t m, double* a, std::int32_t lda, std::int32_t panel_first,
                    std::int32_t k, std::int32_t last) {
  const std::int32_t size = k - panel_first, columns = last - k + 1;
  if (size < 1 || columns < 1) return;
  double* triangle = Column(a, lda, panel_first) + (panel_first - 1);
  double* u_rows = Column(a, lda, k) + (panel_first - 1);
  NegateStrictlyLower(size, triangle, lda);
  Blas_DtrsmLowerUnit(size, columns, triangle, lda, u_rows, lda);
  NegateStrictlyLower(size, triangle, lda);
  const double* multipliers = Column(a, lda, panel_first) + (k - 1);
  const std::int32_t rows = m - k + 1;
  if (10 * CountZeros(size, columns, u_rows, lda) <= static_cast<std::int64_t>(size) * columns) {
    UpdateDense(rows, size, columns, multipliers, u_rows, lda, a, k, last, panel_first);
  } else {
    AddColumnByColumn(rows, size, multipliers, lda, a, k, last, panel_first);
  }
}

}  // namespace

void LU_SetDenseUpdate(LU_DenseUpdate how) { choice = DenseUpdateChoice{how, 0.0, 0.0}; }

LU_DenseUpdate LU_GetDenseUpdate() { return choice.choice; }

void LU_Scale(std::int32_t n, double alpha, double* x) { Blas_Dscal(n, alpha, x); }

void LU_Axpy(std::int32_t n, double alpha, const double* x, double* y) {
  Blas_Daxpy(n, alpha, x, y);
}

namespace {

// Where the compiler can build a function twice and the system picks the
// copy that suits the processor when the program is loaded, the column
// kernel is also built for 256-bit vectors: each element takes the same
// operations in the same order either way, so the sums are the same (a
// repeat factorization of the 200 x 200 obstacle basis ran 2 to 3% faster).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define LU_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define LU_WIDE_VECTORS
#endif

// x[0..rows-1] += u0 a0 + u1 a1 + u2 a2 + u3 a3, added one after another.
LU_WIDE_VECTORS
void AddFourProducts(std::int32_t rows, const double* u, const double* const* columns,
                     double* __restrict x) {
  const double* __restrict a0 = columns[0];
  const double* __restrict a1 = columns[1];
  const double* __restrict a2 = columns[2];
  const double* __restrict a3 = columns[3];
  const double u0 = u[0], u1 = u[1], u2 = u[2], u3 = u[3];
  for (std::int32_t i = 0; i < rows; ++i) {
    double v = x[i];
    v = v + u0 * a0[i];
    v = v + u1 * a1[i];
    v = v + u2 * a2[i];
    v = v + u3 * a3[i];
    x[i] = v;
  }
}

}  // namespace

void LU_AddProducts(std::int32_t rows, std::int32_t count, const double* u,
                    const double* const* columns, double* x) {
  // Four products per pass over x: a quarter of the loads and stores of x
  // that one pass per product would make.
  std::int32_t t = 0;
  for (; t + 4 <= count; t += 4) AddFourProducts(rows, u + t, columns + t, x);
  for (; t < count; ++t) {
    const double* __restrict a = columns[t];
    const double alpha = u[t];
    for (std::int32_t i = 0; i < rows; ++i) x[i] = x[i] + alpha * a[i];
  }
}

std::int32_t LU_DenseFactorPartial(std::int32_t m, std::int32_t n, double* a, std::int32_t lda,
                                   double tol, LU_Array<std::int32_t> row_order,
                                   LU_Array<std::int32_t> col_order) {
  // Right-looking blocked elimination: a panel of columns is factored one
  // column at a time (each brought up to date with the panel's earlier
  // pivots just before its pivot is chosen, so the choices are those of
  // pivot-by-pivot elimination), then the later columns take the panel's
  // pivots at once with level-3 kernels.
  std::int32_t last = n, k = 1;
  while (k <= m && k <= last) {
    const std::int32_t panel_first = k;
    while (k - panel_first < kPanel && k <= m && k <= last) {
      LU_Poll();
      double* x = Column(a, lda, k);
      UpdateFromPanel(m, a, lda, panel_first, k, x);
      const std::int32_t pivot_row = Blas_Idamax(m - k + 1, x + k - 1) + k - 1;
      if (std::fabs(x[pivot_row - 1]) <= tol) {
        RetireColumn(m, a, lda, k, k, last, col_order);
        continue;
      }
      row_order[k] = pivot_row;
      SwapRows(a, lda, n, k, pivot_row);
      LU_Scale(m - k, -1.0 / x[k - 1], x + k);
      ++k;
    }
    UpdateTrailing(m, a, lda, panel_first, k, last);
  }
  return k - 1;
}

std::int32_t LU_DenseFactorComplete(std::int32_t m, std::int32_t n, double* a, std::int32_t lda,
                                    double tol, LU_Array<std::int32_t> row_order,
                                    LU_Array<std::int32_t> col_order) {
  std::int32_t last = n, k = 1;
  while (k <= m && k <= last) {
    LU_Poll();
    std::int32_t best = 0, best_row = 0;
    double best_value = -1.0;
    std::int32_t j = k;
    while (j <= last) {
      double* x = Column(a, lda, j);
      std::int32_t p = Blas_Idamax(m - k + 1, x + k - 1) + k - 1;
      double amax = std::fabs(x[p - 1]);
      if (amax <= tol) {
        RetireColumn(m, a, lda, k, j, last, col_order);
        continue;
      }
      if (best == 0 || amax > best_value) {
        best = j;
        best_row = p;
        best_value = amax;
      }
      ++j;
    }
    if (best == 0) break;
    SwapColumns(m, a, lda, k, best, col_order);
    row_order[k] = best_row;
    EliminateDense(m, a, lda, k, best_row, n, last);
    ++k;
  }
  return k - 1;
}

std::int32_t LU_DenseFactor(LU_Core& s, std::int32_t done, bool partial) {
  LU_Poll();
  const std::int32_t md = s.m - done, nd = s.n - done;
  // 2 * md * nd < fp, so the block size fits the 32-bit range.
  const std::int32_t size = static_cast<std::int32_t>(static_cast<std::int64_t>(md) * nd);
  const std::int32_t area = s.fp - size;
  if (s.col_end >= area) {
    s.col_end = LU_Compress(s.n, s.val.base, s.ri, s.clen, s.cstart, s.col_end, s.compressions);
    s.last_compressed = s.col_end;
  }
  for (std::int32_t pos = 1; pos <= s.m; ++pos) s.rinv[s.rperm[pos]] = pos;

  double* block = &s.val[area];
  for (std::int32_t t = 0; t < size; ++t) block[t] = 0.0;
  for (std::int32_t kk = 1; kk <= nd; ++kk) {
    std::int32_t j = s.cperm[done + kk];
    double* x = Column(block, md, kk);
    for (std::int32_t p = s.cstart[j], e = s.cstart[j] + s.clen[j]; p < e; ++p) {
      x[s.rinv[s.ri[p]] - done - 1] = s.val[p];
    }
  }
  LU_Array<std::int32_t> row_order = s.rold;
  LU_Array<std::int32_t> col_order = s.cperm.Shifted(done);
  std::int32_t pivots = partial ? LU_DenseFactorPartial(md, nd, block, md, s.drop, row_order,
                                                        col_order)
                                : LU_DenseFactorComplete(md, nd, block, md, s.drop, row_order,
                                                         col_order);
  // The block moves to the front so that the factors can be appended below
  // the factor pointer, where the block was.
  double* front = &s.val[1];
  Blas_Dcopy(size, block, front);
  for (std::int32_t kk = 1; kk <= pivots; ++kk) {
    std::int32_t p = row_order[kk];
    std::int32_t t = s.rperm[done + kk];
    s.rperm[done + kk] = s.rperm[done + p];
    s.rperm[done + p] = t;
  }

  for (std::int32_t kk = 1; kk <= pivots; ++kk) {
    const std::int32_t prow = s.rperm[done + kk], pcol = s.cperm[done + kk];
    const double pivot = Column(front, md, kk)[kk - 1];
    std::int32_t ucount = 1, lcount = 0;
    for (std::int32_t jj = kk + 1; jj <= nd; ++jj) {
      if (std::fabs(Column(front, md, jj)[kk - 1]) > s.drop) ++ucount;
    }
    const double* lcol = Column(front, md, kk);
    for (std::int32_t ii = kk + 1; ii <= md; ++ii) {
      if (std::fabs(lcol[ii - 1]) > s.drop) ++lcount;
    }
    const double apivot = std::fabs(pivot);
    if (apivot > s.diag_max) s.diag_max = apivot;
    if (apivot < s.diag_min) s.diag_min = apivot;
    if (apivot > s.u_max) s.u_max = apivot;
    if (s.keep) {
      std::int32_t slot_low = s.fp - ucount - lcount;
      std::int32_t l = slot_low;
      s.val[l] = pivot;
      s.ci[l] = pcol;
      s.ri[l] = 0;
      for (std::int32_t jj = kk + 1; jj <= nd; ++jj) {
        double a = Column(front, md, jj)[kk - 1];
        if (!(std::fabs(a) > s.drop)) continue;
        ++l;
        s.val[l] = a;
        s.ci[l] = s.cperm[done + jj];
        s.ri[l] = 0;
        if (std::fabs(a) > s.u_max) s.u_max = std::fabs(a);
      }
      for (std::int32_t ii = kk + 1; ii <= md; ++ii) {
        double a = lcol[ii - 1];
        if (!(std::fabs(a) > s.drop)) continue;
        ++l;
        s.val[l] = a;
        s.ri[l] = s.rperm[done + ii];
        s.ci[l] = prow;
        if (std::fabs(a) > s.l_max) s.l_max = std::fabs(a);
      }
      s.fp = slot_low;
    } else {
      s.val[s.usable - s.n + pcol] = pivot;
    }
    s.rlen[prow] = -ucount;
    s.clen[pcol] = -(lcount + 1);
    s.l_length += lcount;
    s.u_length += ucount;
  }
  s.rank = done + pivots;
  for (std::int32_t pos = s.rank + 1; pos <= s.m; ++pos) s.rlen[s.rperm[pos]] = 0;
  for (std::int32_t pos = s.rank + 1; pos <= s.n; ++pos) s.clen[s.cperm[pos]] = 0;
  return LU_OK;
}
