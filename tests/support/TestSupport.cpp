// Helpers shared by the library tests: captured output, the library fixture,
// dense copies of sparse matrices.
#include "support/TestSupport.hpp"

#include "core/Options.hpp"
#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "solver/ProcessState.hpp"
#include "solver/SarnOptions.hpp"

OutputCapture::OutputCapture() {
  record_ = {this, &OutputCapture::Print, &OutputCapture::Flush};
  Output_SetInterface(&record_);
}

OutputCapture::~OutputCapture() { Output_Reset(); }

void OutputCapture::Clear() {
  for (auto& s : streams_) s.clear();
}

void OutputCapture::Print(void* context, int mode, const char* text) {
  auto* self = static_cast<OutputCapture*>(context);
  if (text == nullptr) return;
  for (int k = 0; k < 3; ++k) {
    if (mode & (1 << k)) self->streams_[k] += text;
  }
}

void OutputCapture::Flush(void* context, int) { ++static_cast<OutputCapture*>(context)->flushes_; }

void LibraryTest::SetUp() {
  Error_SetInterface(Error_ThrowingInterface());
  output_ = new OutputCapture();
  options_ = Sarn_CreateOptions();
  Sarn_AddOptions(options_);
  Options_Default(options_);
  output_->Clear();
}

void LibraryTest::TearDown() {
  Options_Destroy(options_);
  options_ = nullptr;
  delete output_;
  output_ = nullptr;
  ProcessState_Forget();
  Error_Reset();
}

std::vector<double> DenseOf(const SparseMatrix* A) {
  const int rows = SparseMatrix_Rows(A), cols = SparseMatrix_Cols(A);
  std::vector<double> dense(static_cast<size_t>(rows) * cols, 0.0);
  for (int j = 1; j <= cols; ++j) {
    const int first = IDenseVector_Value(SparseMatrix_ColStart(A), j);
    const int length = IDenseVector_Value(SparseMatrix_ColLen(A), j);
    for (int p = first; p < first + length; ++p) {
      const int i = IDenseVector_Value(SparseMatrix_RowIndex(A), p);
      const double value = DenseVector_Value(SparseMatrix_Values(A), p);
      dense[static_cast<size_t>(i - 1) * cols + (j - 1)] += value;
    }
  }
  return dense;
}
