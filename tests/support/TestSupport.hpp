// Helpers shared by the library tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Error.hpp"
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

// Dense row-major copy of a sparse matrix, read column by column through
// its starts and lengths; entries that share a position are summed.
std::vector<double> DenseOf(const SparseMatrix* A);
