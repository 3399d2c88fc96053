// Option files: echo, comments, invalid lines, missing files, long lines,
// files too long to be option files, files that would make the reader wait,
// and the cascades and hooks that file lines set off.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "core/OptionsFixture.hpp"

namespace {

class OptionsFileTest : public HostOptionsTest {
 protected:
  void TearDown() override {
    for (const std::string& path : files_) std::remove(path.c_str());
    HostOptionsTest::TearDown();
  }

  // Writes text into a fresh file and returns its path.
  std::string WriteFile(const std::string& text) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string path = ::testing::TempDir() + "sarn_" + info->name() + "_" +
                       std::to_string(files_.size()) + ".opt";
    std::ofstream(path, std::ios::binary) << text;
    files_.push_back(path);
    return path;
  }

  std::vector<std::string> files_;
};

TEST_F(OptionsFileTest, LinesAreEchoedCommentsSkippedAndBadLinesReported) {
  const std::string path = WriteFile(
      "  Major_Iteration_Limit   250\n"
      "* a comment line\n"
      "no_such_option 4\n"
      "\n"
      "   \t* an indented comment\n"
      "presolve=no\n"
      "crash_method None\n"
      "output_presolve_level 3 * not a comment\n"
      "time_limit\n"
      "cra_met pnewton");  // the last line has no newline
  EXPECT_EQ(Options_Read(options_, path.c_str()), OPTIONS_LINE_FAILED);
  EXPECT_EQ(output()->status(),
            "Reading options file " + path + "\n" +
                " > major_iteration_limit   250\n"
                "Options: Read: Line 3 invalid: no_such_option 4\n"
                "Options: Read: Line 6 invalid: presolve=no\n"
                " > crash_method none\n"
                " > output_presolve_level 3 * not a comment\n"
                "Options: Read: Line 9 invalid: time_limit\n"
                " > cra_met pnewton\n"
                "Read of options file complete.\n\n");
  EXPECT_EQ(output()->log(), output()->status());
  EXPECT_EQ(output()->listing(), output()->status());
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 250);
  EXPECT_TRUE(Presolve_OptionBool(PRESOLVE));
  EXPECT_EQ(Presolve_OptionInt(OUTPUT_PRESOLVE_LEVEL), 3);
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_METHOD), CRASH_METHOD_PNEWTON);
  EXPECT_EQ(Options_CommonDouble(COMMON_TIME_LIMIT), 3600.0);
}

TEST_F(OptionsFileTest, AFileOfGoodLinesReturnsZero) {
  const struct {
    const char* text;
    int result;
  } cases[] = {
      {"", 0},
      {"\n\n* only comments\n", 0},
      {"nms no\nlemke_pivot_type adaptive\nproximal_perturbation 1e-3\n", 0},
      {"nms no\nbogus\n", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Options_Read(options_, WriteFile(c.text).c_str()), c.result) << c.text;
  }
  EXPECT_FALSE(Sarn_OptionBool(SARN_NMS));
  EXPECT_EQ(Lemke_OptionInt(LEMKE_PIVOT_TYPE), PIVOT_TYPE_ADAPTIVE);
  EXPECT_EQ(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION), 1e-3);
}

TEST_F(OptionsFileTest, OutputNoSilencesTheEchoButNotTheErrors) {
  const std::string path = WriteFile(
      "major_iteration_limit 10\n"
      "output no\n"
      "minor_iteration_limit 20\n"
      "bogus line\n"
      "output yes\n"
      "crash_iteration_limit 5\n");
  EXPECT_EQ(Options_Read(options_, path.c_str()), OPTIONS_LINE_FAILED);
  EXPECT_EQ(output()->status(),
            "Reading options file " + path + "\n" +
                " > major_iteration_limit 10\n"
                "Options: Read: Line 4 invalid: bogus line\n"
                " > output yes\n"
                " > crash_iteration_limit 5\n"
                "Read of options file complete.\n\n");
  EXPECT_EQ(Options_CommonInt(COMMON_MINOR_ITERATION_LIMIT), 20);
  // output yes restores none of the switches that output no cleared.
  EXPECT_FALSE(Options_CommonBool(COMMON_OUTPUT_ERRORS));
  EXPECT_FALSE(Options_CommonBool(COMMON_OUTPUT_MAJOR_ITERATIONS));
  EXPECT_FALSE(Options_CommonBool(COMMON_OUTPUT_RESTART_LOG));
  EXPECT_EQ(Presolve_OptionInt(OUTPUT_PRESOLVE_LEVEL), 0);
  EXPECT_FALSE(Lemke_OptionBool(OUTPUT_LINEAR_MODEL));
}

// A file saved with carriage returns before its newlines, a last line with
// no newline, duplicate names and mixed case read as the plain file would:
// every type of value is taken, the last of two lines for one option wins.
TEST_F(OptionsFileTest, CarriageReturnsAndAMissingLastNewlineChangeNothing) {
  const std::string path = WriteFile(
      "* saved elsewhere\r\n"
      "\r\n"
      "NMS No\r\n"
      "major_iteration_limit 40\r\n"
      "Major_Iteration_Limit 41\r\n"
      "proximal_perturbation 1e-3\r\n"
      "lemke_pivot_type Adaptive\r\n"
      "factorization_method dense\r\n"
      "presolve\r\n"
      "crash_method none");
  EXPECT_EQ(Options_Read(options_, path.c_str()), OPTIONS_LINE_FAILED);
  EXPECT_FALSE(Sarn_OptionBool(SARN_NMS));
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 41);
  EXPECT_EQ(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION), 1e-3);
  EXPECT_EQ(Lemke_OptionInt(LEMKE_PIVOT_TYPE), PIVOT_TYPE_ADAPTIVE);
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_DENSE);
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_METHOD), CRASH_METHOD_NONE);
  // A name with nothing but the carriage return behind it has no value.
  EXPECT_NE(output()->status().find("Options: Read: Line 9 invalid: presolve"), std::string::npos);
  EXPECT_TRUE(Presolve_OptionBool(PRESOLVE));
}

TEST_F(OptionsFileTest, AMissingFileKeepsEveryValue) {
  ASSERT_EQ(Options_Set(options_, "pre no"), OPTIONS_APPLIED);
  output()->Clear();
  const OptionsSnapshot before = TakeSnapshot();
  const std::string path = ::testing::TempDir() + "sarn_no_such_dir/sarn.opt";
  EXPECT_EQ(Options_Read(options_, path.c_str()), OPTIONS_NO_FILE);
  EXPECT_EQ(output()->status(), "Could not open options file: " + path + "\nUsing defaults.\n");
  EXPECT_EQ(output()->log(), output()->status());
  EXPECT_EQ(ChangedOptions(before, TakeSnapshot()), std::vector<std::string>{});
}

// A folder of the file's name (a "sarn.opt" folder in the working folder)
// cannot be read as an option file: it is reported as such, not read as an
// empty file that applied.
TEST_F(OptionsFileTest, AFolderIsNoOptionFile) {
  const std::string path = ::testing::TempDir() + "sarn_options_folder.opt";
  ::rmdir(path.c_str());
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  output()->Clear();
  const OptionsSnapshot before = TakeSnapshot();
  EXPECT_EQ(Options_Read(options_, path.c_str()), OPTIONS_NO_FILE);
  EXPECT_EQ(output()->status(), "Could not open options file: " + path + "\nUsing defaults.\n");
  EXPECT_EQ(ChangedOptions(before, TakeSnapshot()), std::vector<std::string>{});
  ::rmdir(path.c_str());
}

TEST_F(OptionsFileTest, TheFileOverridesTheForcedLines) {
  for (const char* line : {"pre no", "cra_met none", "cra_per no", "lem_sta first"}) {
    ASSERT_EQ(Options_Set(options_, line), OPTIONS_APPLIED);
  }
  EXPECT_EQ(Options_Read(options_, WriteFile("presolve yes\nlemke_start always\n").c_str()),
            OPTIONS_APPLIED);
  EXPECT_TRUE(Presolve_OptionBool(PRESOLVE));
  EXPECT_EQ(Sarn_OptionInt(SARN_LEMKE_START), LEMKE_START_ALWAYS);
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_METHOD), CRASH_METHOD_NONE);
  EXPECT_FALSE(Sarn_OptionBool(SARN_CRASH_PERTURB));
}

TEST_F(OptionsFileTest, CascadesAndTheLemkeHookFollowFileLines) {
  const struct {
    const char* file;
    int major, minor, crash, crash_minor, lemke_maximum;
    bool presolve;
  } limits[] = {
      {"cumulative_iteration_limit 0\n", 0, 0, 0, 0, 0, false},
      {"cumulative_iteration_limit 200\n", 500, 200, 50, 10, 200, true},
      {"cumulative_iteration_limit 500\n", 500, 500, 50, 10, 500, true},
      {"cumulative_iteration_limit 20000\n", 500, 1000, 50, 10, 10000, true},
      // A later minor limit is not checked against the cumulative one.
      {"cumulative_iteration_limit 200\nminor_iteration_limit 900\n", 500, 900, 50, 10, 200,
       true},
      {"lemke_maximum_iteration_limit 300\ncumulative_iteration_limit 400\n", 500, 400, 50, 10,
       300, true},
  };
  for (const auto& c : limits) {
    Options_Default(options_);
    ASSERT_EQ(Options_Read(options_, WriteFile(c.file).c_str()), OPTIONS_APPLIED) << c.file;
    EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), c.major) << c.file;
    EXPECT_EQ(Options_CommonInt(COMMON_MINOR_ITERATION_LIMIT), c.minor) << c.file;
    EXPECT_EQ(Options_CommonInt(COMMON_CRASH_ITERATION_LIMIT), c.crash) << c.file;
    EXPECT_EQ(Options_CommonInt(COMMON_CRASH_MINOR_ITERATION_LIMIT), c.crash_minor) << c.file;
    EXPECT_EQ(Lemke_OptionInt(LEMKE_MAXIMUM_ITERATION_LIMIT), c.lemke_maximum) << c.file;
    EXPECT_EQ(Presolve_OptionBool(PRESOLVE), c.presolve) << c.file;
  }

  const struct {
    const char* file;
    bool initial_point_statistics, final_statistics, final_degeneracy, singularities,
        linear_model;
  } switches[] = {
      {"output_model_statistics no\n", false, false, false, false, false},
      {"output_model_statistics no\noutput_model_statistics yes\n", true, true, true, true,
       false},
      {"output_linear_model yes\n", true, true, false, false, true},
      {"output_linear_model yes\noutput no\n", false, false, false, false, false},
      {"output_linear_model yes\noutput no\noutput yes\n", false, false, false, false, false},
      {"output_linear_model yes\noutput yes\n", true, true, false, false, true},
  };
  for (const auto& c : switches) {
    Options_Default(options_);
    ASSERT_EQ(Options_Read(options_, WriteFile(c.file).c_str()), OPTIONS_APPLIED) << c.file;
    EXPECT_EQ(Options_CommonBool(COMMON_OUTPUT_INITIAL_POINT_STATISTICS),
              c.initial_point_statistics)
        << c.file;
    EXPECT_EQ(Options_CommonBool(COMMON_OUTPUT_FINAL_STATISTICS), c.final_statistics) << c.file;
    EXPECT_EQ(Options_CommonBool(COMMON_OUTPUT_FINAL_DEGENERACY_STATISTICS), c.final_degeneracy)
        << c.file;
    EXPECT_EQ(Factorization_OptionBool(OUTPUT_FACTORIZATION_SINGULARITIES), c.singularities)
        << c.file;
    EXPECT_EQ(Lemke_OptionBool(OUTPUT_LINEAR_MODEL), c.linear_model) << c.file;
  }
}

TEST_F(OptionsFileTest, DecompositionSizeLimitKeepsAFileValue) {
  EXPECT_EQ(Options_CommonDouble(COMMON_DECOMPOSITION_SIZE_LIMIT), 10000.0);
  ASSERT_EQ(Options_Read(options_, WriteFile("decomposition_size_limit 12\n").c_str()),
            OPTIONS_APPLIED);
  EXPECT_EQ(Options_CommonDouble(COMMON_DECOMPOSITION_SIZE_LIMIT), 12.0);
  Options_Default(options_);
  EXPECT_EQ(Options_CommonDouble(COMMON_DECOMPOSITION_SIZE_LIMIT), 10000.0);
}

TEST_F(OptionsFileTest, LinesLongerThanTheBufferAreSplit) {
  // 1023 characters fill one chunk; the rest is read as line 2.
  const std::string first = "major_iteration_limit" + std::string(999, ' ') + "77";
  ASSERT_EQ(first.size(), 1022u);
  const std::string second = "minor_iteration_limit" + std::string(1010, ' ') + "88";
  const std::string path = WriteFile(first + "\n" + second + "\ncrash_iteration_limit 9\n");
  EXPECT_EQ(Options_Read(options_, path.c_str()), OPTIONS_LINE_FAILED);
  EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), 77);
  EXPECT_EQ(Options_CommonInt(COMMON_MINOR_ITERATION_LIMIT), 1000);  // value cut off
  EXPECT_EQ(Options_CommonInt(COMMON_CRASH_ITERATION_LIMIT), 9);
  // The cut chunk has no value; its tail "88" is line 3; the last line is 4.
  EXPECT_NE(output()->status().find("Options: Read: Line 2 invalid: minor_iteration_limit"),
            std::string::npos);
  EXPECT_NE(output()->status().find("Options: Read: Line 3 invalid: 88\n"), std::string::npos);
  EXPECT_NE(output()->status().find(" > crash_iteration_limit 9\n"), std::string::npos);
}

// A file longer than any option file (a link to an endless device, a huge
// file) is read up to the limits and no further; a pipe without a writer
// reads as empty instead of blocking. An alarm ends the test program should
// a read not end.
TEST_F(OptionsFileTest, ReadingStopsAtTheLimitsAndNeverWaits) {
  const std::string good = "major_iteration_limit 77\n";
  const std::string comment = "*" + std::string(1021, '-') + "\n";  // one 1023-byte chunk
  std::string many_lines;
  for (int k = 0; k < OPTIONS_FILE_LINE_LIMIT - 1; ++k) many_lines += "* comment\n";
  const std::string fifo = ::testing::TempDir() + "sarn_options_fifo.opt";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  files_.push_back(fifo);
  struct Case {
    const char* name;
    std::string path;
    int result;
    int major_limit;  // major_iteration_limit afterwards
  };
  std::string bytes_over;
  while (static_cast<long>(bytes_over.size()) <= OPTIONS_FILE_BYTE_LIMIT) bytes_over += comment;
  const Case cases[] = {
      {"endless device", "/dev/zero", OPTIONS_STOPPED, 500},
      {"pipe without a writer", fifo, OPTIONS_APPLIED, 500},
      {"lines at the limit", WriteFile(many_lines + good), OPTIONS_APPLIED, 77},
      {"one line more", WriteFile(many_lines + good + good), OPTIONS_STOPPED, 77},
      {"line beyond the limit", WriteFile(many_lines + "*\n" + good), OPTIONS_STOPPED, 500},
      {"bytes beyond the limit", WriteFile(good + bytes_over), OPTIONS_STOPPED, 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options_Default(options_);
    output()->Clear();
    alarm(60);
    EXPECT_EQ(Options_Read(options_, c.path.c_str()), c.result);
    alarm(0);
    EXPECT_EQ(Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT), c.major_limit);
    const bool stopped = output()->status().find(
                             "Read of options file stopped early: more than 10000 lines or "
                             "1048576 bytes.\n\n") != std::string::npos;
    EXPECT_EQ(stopped, c.result == OPTIONS_STOPPED) << output()->status().substr(0, 300);
  }
}

}  // namespace
