// Sparse matrix-vector products on a 5-point Laplacian of a 1000 x 1000 grid
// (n = 10^6, about 5 * 10^6 entries): the library's y := A x + z and
// y := A' x + z against plain compressed-row and compressed-column loops
// written here, and a streaming triad that shows the memory bandwidth the
// machine gives. Bytes processed count the arrays each product must read and
// write once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"

namespace {

constexpr int kGrid = 1000;
constexpr int kN = kGrid * kGrid;

// The Laplacian in 0-based compressed form (symmetric, so the column form of
// A is also the row form of A and of A').
struct Compressed {
  std::vector<std::int32_t> start;  // n + 1
  std::vector<std::int32_t> index;
  std::vector<double> value;
};

Compressed Laplacian() {
  Compressed c;
  c.start.reserve(kN + 1);
  c.index.reserve(5 * size_t(kN));
  c.value.reserve(5 * size_t(kN));
  c.start.push_back(0);
  for (int gy = 0; gy < kGrid; ++gy) {
    for (int gx = 0; gx < kGrid; ++gx) {
      const int j = gy * kGrid + gx;
      auto add = [&](int i, double v) {
        c.index.push_back(i);
        c.value.push_back(v);
      };
      if (gy > 0) add(j - kGrid, -1.0);
      if (gx > 0) add(j - 1, -1.0);
      add(j, 4.0);
      if (gx < kGrid - 1) add(j + 1, -1.0);
      if (gy < kGrid - 1) add(j + kGrid, -1.0);
      c.start.push_back(std::int32_t(c.index.size()));
    }
  }
  return c;
}

const Compressed& Plain() {
  static const Compressed c = Laplacian();
  return c;
}

// The same matrix as a library SparseMatrix (1-based, packed).
SparseMatrix* Library() {
  static SparseMatrix* A = [] {
    const Compressed& c = Plain();
    const int nnz = int(c.index.size());
    SparseMatrix* m = SparseMatrix_Create(kN, kN, nnz);
    SparseMatrix_SetSize(m, kN, kN, nnz);
    std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(m));
    std::int32_t* len = IDenseVector_Array(SparseMatrix_ColLen(m));
    std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(m));
    double* value = DenseVector_Array(SparseMatrix_Values(m));
    for (int j = 0; j < kN; ++j) {
      start[j] = c.start[j] + 1;
      len[j] = c.start[j + 1] - c.start[j];
    }
    for (int p = 0; p < nnz; ++p) {
      row[p] = c.index[p] + 1;
      value[p] = c.value[p];
    }
    SparseMatrix_SetFlags(m, SPARSE_DIAGONAL | SPARSE_PACKED);
    return m;
  }();
  return A;
}

DenseVector* Filled(double scale) {
  DenseVector* v = DenseVector_Create(kN);
  double* d = DenseVector_Array(v);
  for (int i = 0; i < kN; ++i) d[i] = scale * double(i % 97 + 1);
  DenseVector_SetLength(v, kN);
  return v;
}

// Bytes each product moves at least once: the matrix (values, indices, one
// start per column; the library also reads a length per column), x, z and y.
double ProductBytes(bool with_lengths) {
  const double nnz = double(Plain().index.size());
  return nnz * (8 + 4) + double(kN) * (4 + (with_lengths ? 4 : 0) + 8 + 8 + 8);
}

// Times product(y, A, x, z), a library product on the library's matrix.
void TimeLibrary(benchmark::State& state,
                 void (*product)(DenseVector*, const SparseMatrix*, const DenseVector*,
                                 const DenseVector*)) {
  SparseMatrix* A = Library();
  DenseVector* x = Filled(1.0);
  DenseVector* z = Filled(0.5);
  DenseVector* y = DenseVector_Create(kN);
  for (auto _ : state) {
    product(y, A, x, z);
    benchmark::DoNotOptimize(DenseVector_Array(y));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * ProductBytes(true)));
  DenseVector_Destroy(x);
  DenseVector_Destroy(z);
  DenseVector_Destroy(y);
}

void SarnMult(benchmark::State& state) { TimeLibrary(state, SparseMatrix_Mult); }
void SarnTransMult(benchmark::State& state) { TimeLibrary(state, SparseMatrix_TransMult); }

// Times kernel(start, index, value, x, z, y), a plain loop over the arrays of
// the matrix in its compressed form, with x and z filled as for the library.
template <class Kernel>
void TimePlain(benchmark::State& state, Kernel kernel) {
  const Compressed& c = Plain();
  std::vector<double> x(kN), z(kN), y(kN);
  for (int i = 0; i < kN; ++i) {
    x[i] = double(i % 97 + 1);
    z[i] = 0.5 * x[i];
  }
  for (auto _ : state) {
    kernel(c.start.data(), c.index.data(), c.value.data(), x.data(), z.data(), y.data());
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * ProductBytes(false)));
}

// y := A x + z with A in row form (or y := A' x + z with A in column form):
// one gather per row.
void Gather(const std::int32_t* start, const std::int32_t* index, const double* value,
            const double* x, const double* z, double* y) {
  for (int i = 0; i < kN; ++i) {
    double sum = 0.0;
    for (std::int32_t p = start[i]; p < start[i + 1]; ++p) sum += value[p] * x[index[p]];
    y[i] = z[i] + sum;
  }
}

// y := A x + z with A in column form: y := z, then one scatter per column.
void Scatter(const std::int32_t* start, const std::int32_t* index, const double* value,
             const double* x, const double* z, double* y) {
  for (int i = 0; i < kN; ++i) y[i] = z[i];
  for (int j = 0; j < kN; ++j) {
    const double t = x[j];
    for (std::int32_t p = start[j]; p < start[j + 1]; ++p) y[index[p]] += value[p] * t;
  }
}

// The Laplacian is symmetric, so its row form has the arrays of its column
// form: the row-form product and the column-form transposed product run the
// same loop, and are timed under both names for the comparison tables.
void PlainCsrMult(benchmark::State& state) { TimePlain(state, Gather); }
void PlainCscMult(benchmark::State& state) { TimePlain(state, Scatter); }
void PlainCscTransMult(benchmark::State& state) { TimePlain(state, Gather); }

// The bandwidth reference: a[i] = b[i] + s * c[i] over arrays as large as
// the matrix values.
void StreamTriad(benchmark::State& state) {
  const size_t m = Plain().value.size();
  std::vector<double> a(m), b(m, 1.0), c(m, 2.0);
  for (auto _ : state) {
    for (size_t i = 0; i < m; ++i) a[i] = b[i] + 3.0 * c[i];
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * double(m) * 24));
}

BENCHMARK(StreamTriad)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainCsrMult)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainCscMult)->Unit(benchmark::kMillisecond);
BENCHMARK(SarnMult)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainCscTransMult)->Unit(benchmark::kMillisecond);
BENCHMARK(SarnTransMult)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
