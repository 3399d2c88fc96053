// Helpers shared by the library tests.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"

// Installs an Output_Interface that keeps what was printed per stream, and
// puts the default record back when it goes.
class OutputCapture {
 public:
  OutputCapture();
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  const std::string& log() const { return streams_[0]; }
  const std::string& status() const { return streams_[1]; }
  const std::string& listing() const { return streams_[2]; }
  int flushes() const { return flushes_; }
  void Clear();

 private:
  static void Print(void* context, int mode, const char* text);
  static void Flush(void* context, int mode);
  Output_Interface record_;
  std::string streams_[3];
  int flushes_ = 0;
};

// A Memory_Interface over malloc, installed for the allocator's lifetime:
// hands out blocks while `allowed` is not 0 (each one counts it down; -1
// never runs out), then fails every further request; a request above
// refuse_above bytes fails too (so that a test of a size limit cannot
// exhaust the machine). Keeps the blocks not yet freed (a block made before
// it was installed may be freed through it), the number of requests and the
// largest request in bytes.
class CountingAllocator {
 public:
  CountingAllocator();
  ~CountingAllocator();
  CountingAllocator(const CountingAllocator&) = delete;
  CountingAllocator& operator=(const CountingAllocator&) = delete;

  int allowed = -1;
  std::set<void*> blocks;
  std::size_t refuse_above = static_cast<std::size_t>(-1);
  int requests = 0;
  std::size_t largest = 0;

 private:
  static void* Allocate(void* context, std::size_t size);
  static void Free(void* context, void* block);
  Memory_Interface record_;
};

// Fixture for library tests: solver errors throw SolverErrorException, the
// output is captured, and the options are built as a host builds them
// (every group registered, every option at its default).
class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  OutputCapture* output() { return output_; }
  Options* options() { return options_; }

 private:
  OutputCapture* output_ = nullptr;
  Options* options_ = nullptr;
};

// Runs statement and returns the message of the solver error it raised
// (fails the test when it raised none).
#define EXPECT_SOLVER_ERROR(statement, substring)                                \
  do {                                                                           \
    bool sarn_raised_ = false;                                                   \
    try {                                                                        \
      statement;                                                                 \
    } catch (const SolverErrorException& sarn_error_) {                          \
      sarn_raised_ = true;                                                       \
      EXPECT_NE(std::string(sarn_error_.what()).find(substring), std::string::npos) \
          << "message: " << sarn_error_.what();                                  \
    }                                                                            \
    EXPECT_TRUE(sarn_raised_) << "no solver error raised by " #statement;        \
  } while (0)

// Runs build once under a CountingAllocator to count its allocations (a
// build that succeeds must give back every block), then once for each of
// them with that allocation failing: every such run must end in the solver
// error "allocation failed" with every block given back.
void SweepAllocationFailures(const std::function<void()>& build);

// Dense row-major copy of a sparse matrix, read column by column through
// its starts and lengths; entries that share a position are summed.
std::vector<double> DenseOf(const SparseMatrix* A);
