// Helpers shared by the library tests: captured output, the counting
// allocator, the library fixture, dense copies of sparse matrices.
#include "support/TestSupport.hpp"

#include <cstdlib>

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

CountingAllocator::CountingAllocator() {
  record_ = {this, &CountingAllocator::Allocate, &CountingAllocator::Allocate,
             &CountingAllocator::Free, &CountingAllocator::Free};
  Memory_SetInterface(&record_);
}

CountingAllocator::~CountingAllocator() { Memory_Reset(); }

void* CountingAllocator::Allocate(void* context, std::size_t size) {
  auto* self = static_cast<CountingAllocator*>(context);
  self->requests += 1;
  if (size > self->largest) self->largest = size;
  if (self->allowed == 0 || size > self->refuse_above) return nullptr;
  if (self->allowed > 0) self->allowed -= 1;
  void* block = std::malloc(size);
  if (block != nullptr) self->blocks.insert(block);
  return block;
}

void CountingAllocator::Free(void* context, void* block) {
  static_cast<CountingAllocator*>(context)->blocks.erase(block);
  std::free(block);
}

void SweepAllocationFailures(const std::function<void()>& build) {
  constexpr int kPlenty = 1000000;
  CountingAllocator counter;
  counter.allowed = kPlenty;
  build();
  ASSERT_TRUE(counter.blocks.empty()) << "build itself leaves blocks behind";
  const int count = kPlenty - counter.allowed;
  ASSERT_GT(count, 3);
  for (int allowed = 0; allowed < count; ++allowed) {
    SCOPED_TRACE(allowed);
    counter.allowed = allowed;
    EXPECT_SOLVER_ERROR(build(), "allocation failed");
    counter.allowed = -1;
    EXPECT_TRUE(counter.blocks.empty()) << counter.blocks.size() << " blocks left";
    if (!counter.blocks.empty()) return;
  }
}

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
