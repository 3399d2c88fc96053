// Error, Output, Memory, Timer and Interrupt services.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <regex>
#include <string>

#include "core/Error.hpp"
#include "core/Interrupt.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Timer.hpp"
#include "support/TestSupport.hpp"

namespace {

class ServicesTest : public LibraryTest {};

// --- Error ----------------------------------------------------------------

struct ErrorModeCase {
  bool output_errors;
  bool output_warnings;
  bool error;  // solver error (true) or warning (false)
  bool expect_log;
  bool expect_status;
  bool expect_listing;
};

TEST_F(ServicesTest, SolverErrorsAndWarningsReachTheirStreams) {
  const ErrorModeCase cases[] = {
      {false, false, true, false, true, true},  {true, false, true, true, true, true},
      {false, false, false, false, true, false}, {false, true, false, true, true, false},
  };
  std::string warned;
  Error_Interface record = {&warned, nullptr,
                            [](void* context, const char* text) {
                              *static_cast<std::string*>(context) += text;
                            }};
  for (const auto& c : cases) {
    output()->Clear();
    warned.clear();
    Options_CommonTable[COMMON_OUTPUT_ERRORS].bool_value = c.output_errors;
    Options_CommonTable[COMMON_OUTPUT_WARNINGS].bool_value = c.output_warnings;
    const char* banner;
    if (c.error) {
      banner = "  ** SOLVER ERROR **\n";
      EXPECT_SOLVER_ERROR(Error_SolverError("bad %d\n", 7), "bad 7\n");
    } else {
      banner = "  ** WARNING **\n";
      Error_SetInterface(&record);
      Error_Warning("bad %d\n", 7);
      Error_SetInterface(Error_ThrowingInterface());
      EXPECT_EQ(warned, "bad 7\n");
    }
    const std::string expected = std::string(banner) + "bad 7\n";
    EXPECT_EQ(output()->log(), c.expect_log ? expected : "");
    EXPECT_EQ(output()->status(), c.expect_status ? expected : "");
    EXPECT_EQ(output()->listing(), c.expect_listing ? expected : "");
  }
}

TEST_F(ServicesTest, AbsentFormatGivesTheBannerAndAnEmptyText) {
  const char* no_format = nullptr;
  EXPECT_SOLVER_ERROR(Error_SolverError(no_format), "");
  EXPECT_EQ(output()->status(), "  ** SOLVER ERROR **\n");
}

TEST_F(ServicesTest, LongMessagesAreNeverCut) {
  std::string long_text(3000, 'x');
  EXPECT_SOLVER_ERROR(Error_SolverError("%s\n", long_text.c_str()), long_text);
  output()->Clear();
  Output_Printf(OUTPUT_LOG, "%s", long_text.c_str());
  EXPECT_EQ(output()->log(), long_text);
}

TEST(ErrorDeathTest, SolverErrorWithoutCallbackEndsTheProcess) {
  EXPECT_EXIT(Error_SolverError("boom\n"), ::testing::ExitedWithCode(255), "");
}

TEST(ErrorDeathTest, SetInterfaceChecksItsRecord) {
  EXPECT_EXIT(Error_SetInterface(nullptr), ::testing::ExitedWithCode(255),
              "  \\*\\* FATAL ERROR \\*\\*\nError\\([0-9]+\\): SetInterface: null argument");
  Memory_Interface memory = {nullptr, nullptr, nullptr, nullptr, nullptr};
  EXPECT_EXIT(Memory_SetInterface(&memory), ::testing::ExitedWithCode(255),
              "Memory\\([0-9]+\\): SetInterface: null element");
  Output_Interface output = {nullptr, nullptr, nullptr};
  EXPECT_EXIT(Output_SetInterface(&output), ::testing::ExitedWithCode(255),
              "Output\\([0-9]+\\): SetInterface: null element");
  Timer_Interface timer = {nullptr, nullptr, nullptr, nullptr, nullptr};
  EXPECT_EXIT(Timer_SetInterface(&timer), ::testing::ExitedWithCode(255),
              "Timer\\([0-9]+\\): SetInterface: null element");
  Interrupt_Interface interrupt = {nullptr, nullptr, nullptr, nullptr};
  EXPECT_EXIT(Interrupt_SetInterface(&interrupt), ::testing::ExitedWithCode(255),
              "Interrupt\\([0-9]+\\): SetInterface: null element");
}

// --- Output ---------------------------------------------------------------

TEST(OutputTest, DefaultRecordWritesToTheSelectedFiles) {
  std::FILE* log = std::tmpfile();
  std::FILE* status = std::tmpfile();
  ASSERT_TRUE(log && status);
  Output_SetLogFile(log);
  Output_Printf(OUTPUT_ALL, "100%% %s\n", "done");  // only the log is set
  Output_Printf(0, "nothing\n");
  Output_SetStatusFile(status);
  Output_Printf(OUTPUT_STATUS, "%s", "50% literal\n");
  Output_SetLogFile(nullptr);
  Output_Printf(OUTPUT_LOG, "dropped\n");
  Output_SetStatusFile(nullptr);
  auto read = [](std::FILE* f) {
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
    std::fclose(f);
    return s;
  };
  EXPECT_EQ(read(log), "100% done\n");
  EXPECT_EQ(read(status), "50% literal\n");
}

TEST(OutputTest, AbsentFormatDoesNotCallPrintAndResetFlushesTheHost) {
  int calls = 0, flushed_mode = -1;
  struct Context {
    int* calls;
    int* flushed_mode;
  } context{&calls, &flushed_mode};
  Output_Interface record = {
      &context, [](void* c, int, const char*) { ++*static_cast<Context*>(c)->calls; },
      [](void* c, int mode) { *static_cast<Context*>(c)->flushed_mode = mode; }};
  Output_SetInterface(&record);
  const char* no_format = nullptr;
  Output_Printf(OUTPUT_ALL, no_format);
  EXPECT_EQ(calls, 0);
  Output_Printf(OUTPUT_ALL, "x");
  EXPECT_EQ(calls, 1);
  Output_Reset();
  EXPECT_EQ(flushed_mode, OUTPUT_ALL);
}

// --- Memory ---------------------------------------------------------------

TEST_F(ServicesTest, MemoryAllocatesThroughTheHostAndReportsFailure) {
  struct Counts {
    int allocations = 0;
    bool fail = false;
  } counts;
  Memory_Interface record = {
      &counts,
      [](void* c, std::size_t size) -> void* {
        auto* k = static_cast<Counts*>(c);
        ++k->allocations;
        return k->fail ? nullptr : std::malloc(size);
      },
      [](void* c, std::size_t size) -> void* {
        auto* k = static_cast<Counts*>(c);
        ++k->allocations;
        return k->fail ? nullptr : std::malloc(size);
      },
      [](void*, void* block) { std::free(block); }, [](void*, void* block) { std::free(block); }};
  Memory_SetInterface(&record);
  EXPECT_EQ(Memory_Allocate(0), nullptr);
  EXPECT_EQ(counts.allocations, 0);
  void* block = Memory_Allocate(16);
  EXPECT_NE(block, nullptr);
  Memory_Free(block);
  Memory_Free(nullptr);
  counts.fail = true;
  EXPECT_SOLVER_ERROR(Memory_Allocate(8), "): Allocate: allocation failed\n");
  EXPECT_SOLVER_ERROR(Memory_AllocateFactors(8), "): AllocateFactors: allocation failed\n");
  Memory_Reset();
  EXPECT_TRUE(std::regex_search(output()->status(),
                                std::regex("Memory\\([0-9]+\\): Allocate: allocation failed")));
}

TEST_F(ServicesTest, CountedAllocationsRejectSizesBeyondThirtyTwoBits) {
  EXPECT_SOLVER_ERROR(Memory_AllocateArray<double>(-1), "allocation failed");
  EXPECT_SOLVER_ERROR(Memory_AllocateArray<double>(std::int64_t{1} << 31), "allocation failed");
  EXPECT_EQ(Memory_AllocateArray<double>(0), nullptr);
  double* block = Memory_AllocateArray<double>(4);
  block[3] = 1.0;
  Memory_Free(block);
}

// A block no machine can back is refused before the allocator sees it: an
// allocator that overcommits would hand it out, and filling it would have
// the system end the process.
TEST_F(ServicesTest, BlocksBeyondTheMachinesMemoryNeverReachTheAllocator) {
  struct Case {
    const char* name;
    std::function<void*()> allocate;
  };
  constexpr std::int64_t kMostElements = (std::int64_t{1} << 31) - 1;
  const Case cases[] = {
      {"counted", [] { return Memory_AllocateCount(kMostElements, std::size_t{1} << 20); }},
      {"counted factors",
       [] { return Memory_AllocateFactorsCount(kMostElements, std::size_t{1} << 20); }},
      {"bytes", [] { return Memory_Allocate(std::size_t{1} << 60); }},
      {"factor bytes", [] { return Memory_AllocateFactors(std::size_t{1} << 60); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingAllocator counter;
    EXPECT_SOLVER_ERROR(c.allocate(), "allocation failed");
    EXPECT_EQ(counter.requests, 0);
  }
}

// --- Timer ----------------------------------------------------------------

TEST(TimerTest, DefaultTimerReportsWholeMillisecondsOfElapsedTime) {
  void* timer = Timer_Create();
  Timer_Start(timer);
  double first = Timer_Query(timer);
  EXPECT_GE(first, 0.0);
  EXPECT_LT(first, 0.5);
  // Busy for about 30 ms of wall-clock time.
  while (Timer_Query(timer) < 0.03) {
  }
  double t = Timer_Query(timer);
  EXPECT_GE(t, 0.03);
  EXPECT_LT(t, 1.0);
  EXPECT_DOUBLE_EQ(t * 1000.0, static_cast<double>(static_cast<long long>(t * 1000.0 + 0.5)));
  Timer_Destroy(timer);
}

// --- Interrupt ------------------------------------------------------------

class InterruptTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Interrupt_Start();
  }
  void TearDown() override {
    Interrupt_Restore();
    LibraryTest::TearDown();
  }
};

TEST_F(InterruptTest, AnInterruptStaysReportedUntilTheNextStart) {
  EXPECT_EQ(Interrupt_Check(), 0);
  std::raise(SIGINT);
  EXPECT_EQ(Interrupt_Check(), 1);
  int flag = 0;
  Interrupt_CheckFlag(flag);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(Interrupt_Count(), 1);
  Interrupt_Start();
  EXPECT_EQ(Interrupt_Check(), 0);
}

TEST_F(InterruptTest, APollJumpsBackToTheRegisteredPointWhichIsThenRestored) {
  Interrupt_JumpPoint outer{0};
  Interrupt_SetJumpBuffer(&outer);
  bool reached_after_poll = false;
  bool interrupted = Interrupt_RunWithJumpPoint([&] {
    EXPECT_NE(Interrupt_GetJumpBuffer(), &outer);
    std::raise(SIGINT);
    Interrupt_Check();
    reached_after_poll = true;
  });
  EXPECT_TRUE(interrupted);
  EXPECT_FALSE(reached_after_poll);
  EXPECT_EQ(Interrupt_GetJumpBuffer(), &outer);
  Interrupt_SetJumpBuffer(nullptr);
  EXPECT_FALSE(Interrupt_RunWithJumpPoint([] {}));
  EXPECT_EQ(Interrupt_GetJumpBuffer(), nullptr);
}

TEST_F(InterruptTest, TheLimitEndsTheSolveAtTheNextPoll) {
  Options_CommonTable[COMMON_INTERRUPT_LIMIT].int_value = 3;
  std::raise(SIGINT);
  std::raise(SIGINT);
  EXPECT_EQ(Interrupt_Check(), 1);
  std::raise(SIGINT);
  EXPECT_SOLVER_ERROR(Interrupt_Check(), "User termination.\n");
  // The solver error also passes through a registered jump point.
  for (int k = 0; k < 3; ++k) std::raise(SIGINT);
  EXPECT_SOLVER_ERROR(Interrupt_RunWithJumpPoint([] { Interrupt_Check(); }), "User termination.");
  EXPECT_EQ(Interrupt_GetJumpBuffer(), nullptr);
}

TEST(InterruptSignalTest, IgnoreTwiceThenRestoreLeavesSigintIgnored) {
  auto previous = std::signal(SIGINT, SIG_DFL);
  Interrupt_Start();  // installs the counting handler; SIG_DFL is kept
  Interrupt_IgnoreSignal();
  Interrupt_IgnoreSignal();
  Interrupt_RestoreSignal();
  auto now = std::signal(SIGINT, SIG_IGN);
  EXPECT_EQ(now, SIG_IGN);
  Interrupt_Restore();
  EXPECT_EQ(std::signal(SIGINT, previous), SIG_DFL);
}

}  // namespace
