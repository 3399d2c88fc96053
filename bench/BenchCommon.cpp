// What every benchmark program shares: clock, quiet library, library matrices.
#include "BenchCommon.hpp"

#include <chrono>
#include <cstdint>
#include <ctime>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"

double Bench_Now() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double Bench_ProcessorNow() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void Bench_QuietLibrary() {
  Error_SetInterface(Error_ThrowingInterface());
  Output_SetLogFile(nullptr);
  Output_SetStatusFile(nullptr);
  Output_SetListingFile(nullptr);
}

SparseMatrix* Bench_LibraryMatrix(const ColumnMatrix& a) {
  const std::int32_t nnz = a.nnz();
  SparseMatrix* A = SparseMatrix_Create(a.rows, a.cols, nnz);
  SparseMatrix_SetSize(A, a.rows, a.cols, nnz);
  std::int32_t* start = IDenseVector_Array(SparseMatrix_ColStart(A));
  std::int32_t* length = IDenseVector_Array(SparseMatrix_ColLen(A));
  std::int32_t* row = IDenseVector_Array(SparseMatrix_RowIndex(A));
  double* value = DenseVector_Array(SparseMatrix_Values(A));
  for (std::int32_t j = 0; j < a.cols; ++j) {
    length[j] = a.start[j + 1] - a.start[j];
    start[j] = length[j] > 0 ? a.start[j] + 1 : 1;  // an empty column points at entry 1
  }
  for (std::int32_t k = 0; k < nnz; ++k) {
    row[k] = a.index[k] + 1;
    value[k] = a.value[k];
  }
  SparseMatrix_SetFlags(A, SPARSE_PACKED);
  return A;
}
