// The solver's two option groups: keywords of the seven algorithm
// enumerations and the two Lemke ones, defaults, the Lemke hook, and the
// index names other modules read the tables with.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "solver/LemkeOptions.hpp"
#include "solver/SarnOptions.hpp"
#include "support/TestSupport.hpp"

namespace {

class SarnOptionsTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    options_ = Sarn_CreateOptions();
    Sarn_AddOptions(options_);
    Options_Default(options_);
  }
  void TearDown() override {
    Options_Destroy(options_);
    LibraryTest::TearDown();
  }
  Options* options_ = nullptr;
};

using Parser = int (*)(const char*, int*);

TEST(SarnKeywordTest, ParsersCompareTheFirstThreeCharacters) {
  const struct {
    Parser parse;
    const char* text;
    int code;  // -1: no match
  } cases[] = {
      {Sarn_ParseCrashMethod, "none", CRASH_METHOD_NONE},
      {Sarn_ParseCrashMethod, "aut", CRASH_METHOD_AUTOMATIC},
      {Sarn_ParseCrashMethod, "pnewton", CRASH_METHOD_PNEWTON},
      {Sarn_ParseCrashMethod, "bdiffx", CRASH_METHOD_BDIFF},
      {Sarn_ParseCrashMethod, "smooth", CRASH_METHOD_SMOOTH},
      {Sarn_ParseCrashMethod, "newton", -1},
      {Sarn_ParseRecoveryMethod, "non", RECOVERY_METHOD_NONE},
      {Sarn_ParseRecoveryMethod, "some", -1},
      {Sarn_ParseSearchType, "arc", SEARCH_TYPE_ARC},
      {Sarn_ParseSearchType, "lin", SEARCH_TYPE_LINE},
      {Sarn_ParseSearchType, "par", SEARCH_TYPE_PARC},
      {Sarn_ParseSearchType, "pli", SEARCH_TYPE_PLINE},
      {Sarn_ParseSearchType, "pl", -1},
      {Sarn_ParseMeritFunction, "automatic", MERIT_FUNCTION_AUTOMATIC},
      {Sarn_ParseMeritFunction, "nor", MERIT_FUNCTION_NORMAL},
      {Sarn_ParseMeritFunction, "fischer-burmeister", MERIT_FUNCTION_FISCHER},
      {Sarn_ParseScaleMethod, "none", SCALE_METHOD_NONE},
      {Sarn_ParseScaleMethod, "kel", SCALE_METHOD_KELM},
      {Sarn_ParseScaleMethod, "che", SCALE_METHOD_CHEN},
      {Sarn_ParseScaleMethod, "dia", SCALE_METHOD_DIAGONAL},
      {Sarn_ParseScaleMethod, "row", SCALE_METHOD_ROW},
      {Sarn_ParseScaleMethod, "col", SCALE_METHOD_COL},
      {Sarn_ParseScaleMethod, "bot", SCALE_METHOD_BOTH},
      {Sarn_ParseScaleMethod, "sym", SCALE_METHOD_SYMMETRIC},
      {Sarn_ParseScaleMethod, "ro1", SCALE_METHOD_RO1},
      {Sarn_ParseScaleMethod, "ro2", 9},
      {Sarn_ParseScaleMethod, "ro3", SCALE_METHOD_RO3},
      {Sarn_ParseScaleMethod, "ro4", SCALE_METHOD_RO4},
      {Sarn_ParseScaleMethod, "ro5", -1},
      {Sarn_ParseLemkeStart, "fir", 1},
      {Sarn_ParseLemkeStart, "first", LEMKE_START_FIRST},
      {Sarn_ParseLemkeStart, "fi", -1},
      {Sarn_ParseLemkeStart, "always", LEMKE_START_ALWAYS},
      {Sarn_ParseLemkeStart, "automatic", LEMKE_START_AUTOMATIC},
      {Sarn_ParseLemkeStartType, "sla", LEMKE_START_TYPE_SLACK},
      {Sarn_ParseLemkeStartType, "adv", LEMKE_START_TYPE_ADVANCED},
      {Sarn_ParseLemkeStartType, "", -1},
      {Lemke_ParsePivotType, "tex", PIVOT_TYPE_TEXTBOOK},
      {Lemke_ParsePivotType, "dev", PIVOT_TYPE_DEVEX},
      {Lemke_ParsePivotType, "exp", PIVOT_TYPE_EXPAND},
      {Lemke_ParsePivotType, "ada", PIVOT_TYPE_ADAPTIVE},
      {Lemke_ParsePivotType, "Dev", -1},  // the reader lower-cases; parsers do not
      {Lemke_ParseRayType, "sta", RAY_TYPE_STANDARD},
      {Lemke_ParseRayType, "uni", RAY_TYPE_UNIFORM},
      {Lemke_ParseRayType, "dec", RAY_TYPE_DECREASING},
      {Lemke_ParseRayType, "ran", RAY_TYPE_RANDOM},
      {Lemke_ParseRayType, "rand0m", RAY_TYPE_RANDOM},
  };
  for (const auto& c : cases) {
    int code = 99;
    EXPECT_EQ(c.parse(c.text, &code), c.code >= 0 ? 1 : 0) << c.text;
    EXPECT_EQ(code, c.code >= 0 ? c.code : 99) << c.text;  // no match stores nothing
  }
}

TEST_F(SarnOptionsTest, PrintersWriteNameAndKeyword) {
  const struct {
    void (*print)(int, int);
    Option* table;
    int index;
    int code;
    const char* line;
  } cases[] = {
      {Sarn_DisplayCrashMethod, Sarn_OptionTable, SARN_CRASH_METHOD, CRASH_METHOD_BDIFF,
       "crash_method bdiff\n"},
      {Sarn_DisplayRecoveryMethod, Sarn_OptionTable, SARN_RECOVERY_METHOD, RECOVERY_METHOD_NONE,
       "recovery_method none\n"},
      {Sarn_DisplaySearchType, Sarn_OptionTable, SARN_NMS_SEARCHTYPE, SEARCH_TYPE_PLINE,
       "nms_searchtype pline\n"},
      {Sarn_DisplayMeritFunction, Sarn_OptionTable, SARN_CRASH_MERIT_FUNCTION,
       MERIT_FUNCTION_NORMAL, "crash_merit_function normal\n"},
      {Sarn_DisplayScaleMethod, Sarn_OptionTable, SARN_LINEAR_SCALE_METHOD, SCALE_METHOD_RO2,
       "linear_scale_method ro2\n"},
      {Sarn_DisplayLemkeStart, Sarn_OptionTable, SARN_LEMKE_START, LEMKE_START_ALWAYS,
       "lemke_start always\n"},
      {Sarn_DisplayLemkeStartType, Sarn_OptionTable, SARN_LEMKE_START_TYPE,
       LEMKE_START_TYPE_ADVANCED, "lemke_start_type advanced\n"},
      {Lemke_DisplayPivotType, Lemke_OptionTable, LEMKE_PIVOT_TYPE, PIVOT_TYPE_TEXTBOOK,
       "lemke_pivot_type textbook\n"},
      {Lemke_DisplayRayType, Lemke_OptionTable, LEMKE_RAY_TYPE, RAY_TYPE_DECREASING,
       "lemke_ray_type decreasing\n"},
      // A code that no keyword has is shown as a number, never read past the table.
      {Lemke_DisplayRayType, Lemke_OptionTable, LEMKE_RAY_TYPE, 17, "lemke_ray_type 17\n"},
  };
  for (const auto& c : cases) {
    c.table[c.index].int_value = c.code;
    output()->Clear();
    c.print(OUTPUT_LOG, c.index);
    EXPECT_EQ(output()->log(), c.line);
    EXPECT_EQ(output()->status(), "");
  }
}

TEST_F(SarnOptionsTest, DefaultsThatComeFromPowersOfEpsilon) {
  const struct {
    int index;
    double value;
  } cases[] = {
      {TEXTBOOK_PIVOT_TOLERANCE, 3.666852862501036e-11}, {TEXTBOOK_EPSILON, 1.8189894035458565e-12},
      {DEVEX_PIVOT_TOLERANCE, 3.666852862501036e-11},    {DEVEX_EPSILON, 1.8189894035458565e-12},
      {EXPAND_PIVOT_TOLERANCE, 3.666852862501036e-11},   {EXPAND_EPSILON, 1.8189894035458565e-12},
      {ADAPTIVE_EPSILON, 1.8189894035458565e-12},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(Lemke_OptionDouble(c.index), c.value) << Lemke_OptionTable[c.index].name;
  }
  // The derived defaults equal their formulas.
  EXPECT_EQ(Lemke_OptionDouble(EXPAND_DELTA_START), 0.5 * Lemke_OptionDouble(EXPAND_DELTA));
  EXPECT_EQ(Lemke_OptionDouble(EXPAND_DELTA_CURRENT), Lemke_OptionDouble(EXPAND_DELTA_START));
  EXPECT_NEAR(Lemke_OptionDouble(EXPAND_TAU),
              (Lemke_OptionDouble(EXPAND_DELTA_END) - Lemke_OptionDouble(EXPAND_DELTA_START)) /
                  Lemke_OptionInt(EXPAND_MAXIMUM_ITERATIONS),
              1e-24);
  EXPECT_NEAR(Lemke_OptionDouble(ADAPTIVE_TAU_HIGH),
              (Lemke_OptionDouble(ADAPTIVE_DELTA_BREAK) - Lemke_OptionDouble(ADAPTIVE_DELTA_HIGH)) /
                  Lemke_OptionInt(ADAPTIVE_ITERATIONS_HIGH),
              1e-22);
  EXPECT_NEAR(Lemke_OptionDouble(ADAPTIVE_TAU_LOW),
              (Lemke_OptionDouble(ADAPTIVE_DELTA_LOW) - Lemke_OptionDouble(ADAPTIVE_DELTA_BREAK)) /
                  Lemke_OptionInt(ADAPTIVE_ITERATIONS_LOW),
              1e-24);
}

TEST_F(SarnOptionsTest, LemkeDefaultsTouchOnlyTheLemkeTable) {
  Options_CommonTable[COMMON_DECOMPOSITION_SIZE_LIMIT].double_value = 1.0;
  Lemke_Defaults();
  EXPECT_EQ(Options_CommonDouble(COMMON_DECOMPOSITION_SIZE_LIMIT), 1.0);
  Sarn_Defaults();
  EXPECT_EQ(Options_CommonDouble(COMMON_DECOMPOSITION_SIZE_LIMIT), 10000.0);
}

TEST_F(SarnOptionsTest, LemkeHookFollowsOutputAndTheCumulativeLimit) {
  const struct {
    int index;
    bool output;
    int cumulative;
    int lemke_maximum;       // before the call
    int expected_maximum;
    bool expected_linear_model;
  } cases[] = {
      {COMMON_OUTPUT, false, 10000, 10000, 10000, false},
      {COMMON_OUTPUT, true, 10000, 10000, 10000, true},
      {COMMON_CUMULATIVE_ITERATION_LIMIT, true, 500, 10000, 500, true},
      {COMMON_CUMULATIVE_ITERATION_LIMIT, true, 20000, 10000, 10000, true},
      {COMMON_CUMULATIVE_ITERATION_LIMIT, true, 0, 10000, 0, true},
      {COMMON_CUMULATIVE_ITERATION_LIMIT, false, 500, 10000, 500, true},
      {COMMON_MINOR_ITERATION_LIMIT, false, 5, 10000, 10000, true},
      {COMMON_OUTPUT_ERRORS, false, 5, 10000, 10000, true},
  };
  for (const auto& c : cases) {
    Options_CommonTable[COMMON_OUTPUT].bool_value = c.output;
    Options_CommonTable[COMMON_CUMULATIVE_ITERATION_LIMIT].int_value = c.cumulative;
    Lemke_OptionTable[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = c.lemke_maximum;
    Lemke_OptionTable[OUTPUT_LINEAR_MODEL].bool_value = 1;
    Lemke_CommonOptionChanged(c.index);
    EXPECT_EQ(Lemke_OptionInt(LEMKE_MAXIMUM_ITERATION_LIMIT), c.expected_maximum) << c.index;
    EXPECT_EQ(Lemke_OptionBool(OUTPUT_LINEAR_MODEL), c.expected_linear_model) << c.index;
  }
}

// Every index name reads the option of that name: the enumerator in
// lower case, without the prefix the group's names do not carry.
struct IndexName {
  int index;
  const char* enumerator;
};
#define INDEX(e) IndexName{e, #e}

void ExpectIndexNames(const Option* table, int count, const char* prefix,
                      const std::vector<IndexName>& names) {
  ASSERT_EQ(static_cast<int>(names.size()), count);
  for (size_t k = 0; k < names.size(); ++k) {
    std::string expected = names[k].enumerator;
    ASSERT_EQ(expected.compare(0, std::string(prefix).size(), prefix), 0) << expected;
    expected.erase(0, std::string(prefix).size());
    for (char& ch : expected) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(names[k].index, static_cast<int>(k)) << names[k].enumerator;
    EXPECT_EQ(std::string(table[names[k].index].name), expected);
  }
}

TEST(SarnOptionIndexTest, IndexNamesReadTheirOptions) {
  ExpectIndexNames(
      Sarn_OptionTable, SARN_OPTION_COUNT, "SARN_",
      {INDEX(SARN_RESTART_STATIONARY_LIMIT), INDEX(SARN_RESTART_STATIONARY_TOLERANCE),
       INDEX(SARN_GRADIENT_STEP_LIMIT), INDEX(SARN_GRADIENT_SEARCHTYPE),
       INDEX(SARN_GRADIENT_SIGMA), INDEX(SARN_GRADIENT_SHRINK_FACTOR),
       INDEX(SARN_GRADIENT_REFINE_FREQUENCY), INDEX(SARN_GRADIENT_STEPSIZE_MINIMUM),
       INDEX(SARN_RESIDUAL_SIZE), INDEX(SARN_RESIDUAL_FACTOR), INDEX(SARN_CRASH_METHOD),
       INDEX(SARN_CRASH_PERTURB), INDEX(SARN_CRASH_SEARCHTYPE),
       INDEX(SARN_CRASH_MINIMUM_DIMENSION), INDEX(SARN_CRASH_SIGMA),
       INDEX(SARN_CRASH_SHRINK_FACTOR), INDEX(SARN_CRASH_REFINE_FREQUENCY),
       INDEX(SARN_CRASH_STEPSIZE_MINIMUM), INDEX(SARN_CRASH_CONVERGENCE_TOLERANCE),
       INDEX(SARN_CRASH_NBCHANGE_LIMIT), INDEX(SARN_CRASH_PROXIMAL_SHRINK_FACTOR),
       INDEX(SARN_CRASH_PROXIMAL_INCREASE_FACTOR), INDEX(SARN_CRASH_PROXIMAL_MERIT_FACTOR),
       INDEX(SARN_CRASH_PROXIMAL_MINIMUM), INDEX(SARN_CRASH_PROXIMAL_MAXIMUM),
       INDEX(SARN_CRASH_PROXIMAL_INITIAL_MAXIMUM), INDEX(SARN_RECOVERY_METHOD), INDEX(SARN_NMS),
       INDEX(SARN_NMS_INITIAL_MONOTONE_STEPS), INDEX(SARN_NMS_MEMORY_SIZE),
       INDEX(SARN_NMS_SIGMA), INDEX(SARN_NMS_MSTEP_FREQUENCY),
       INDEX(SARN_NMS_INITIAL_STEPSIZE_MINIMUM), INDEX(SARN_NMS_INITIAL_STEPSIZE_FACTOR),
       INDEX(SARN_NMS_INITIAL_REFERENCE_MINIMUM), INDEX(SARN_NMS_INITIAL_REFERENCE_FACTOR),
       INDEX(SARN_NMS_LARGE_REFERENCE_FACTOR), INDEX(SARN_NMS_SEARCHTYPE),
       INDEX(SARN_NMS_SARNSEARCH_INTERPOLATE), INDEX(SARN_NMS_SHRINK_FACTOR),
       INDEX(SARN_NMS_REFINE_FREQUENCY), INDEX(SARN_NMS_STEPSIZE_MINIMUM),
       INDEX(SARN_NMS_DELTA_SHRINK_FACTOR), INDEX(SARN_NMS_DELTA_MIN),
       INDEX(SARN_NMS_MAXIMUM_WATCHDOGS), INDEX(SARN_PROXIMAL_PERTURBATION),
       INDEX(SARN_PROXIMAL_INITIAL), INDEX(SARN_PROXIMAL_SHRINK_FACTOR),
       INDEX(SARN_PROXIMAL_INCREASE_FACTOR), INDEX(SARN_PROXIMAL_MERIT_FACTOR),
       INDEX(SARN_PROXIMAL_MINIMUM), INDEX(SARN_PROXIMAL_PRIMAL), INDEX(SARN_PROXIMAL_DUAL),
       INDEX(SARN_PROXIMAL_INITIAL_MAXIMUM), INDEX(SARN_MERIT_FUNCTION),
       INDEX(SARN_CRASH_MERIT_FUNCTION), INDEX(SARN_NONLINEAR_MODEL_PRESOLVE),
       INDEX(SARN_NONLINEAR_MODEL_SCALE), INDEX(SARN_NONLINEAR_MODEL_PERTURB),
       INDEX(SARN_LINEAR_MODEL_PRESOLVE), INDEX(SARN_LINEAR_MODEL_SCALE),
       INDEX(SARN_LINEAR_MODEL_PERTURB), INDEX(SARN_LINEAR_SCALE_METHOD),
       INDEX(SARN_LEMKE_START), INDEX(SARN_LEMKE_START_TYPE), INDEX(SARN_LEMKE_START_TOLERANCE)});
  ExpectIndexNames(
      Lemke_OptionTable, LEMKE_OPTION_COUNT, "",
      {INDEX(LEMKE_MAXIMUM_ITERATION_LIMIT), INDEX(LEMKE_SIZE_FACTOR),
       INDEX(LEMKE_RETURN_BEST_POINT), INDEX(LEMKE_PIVOT_TYPE), INDEX(LEMKE_RAY_TYPE),
       INDEX(LEMKE_RAYTERM_MINIMUM), INDEX(LEMKE_ARTIFICIAL_MINIMUM),
       INDEX(LEMKE_ARTIFICIAL_MAXIMUM), INDEX(LEMKE_RANK_DEFICIENCY_ITERATIONS),
       INDEX(LEMKE_CYCLE_LIMIT), INDEX(LEMKE_SCALE_RESIDUAL), INDEX(TEXTBOOK_PIVOT_TOLERANCE),
       INDEX(TEXTBOOK_DELTA), INDEX(TEXTBOOK_EPSILON), INDEX(DEVEX_PIVOT_TOLERANCE),
       INDEX(DEVEX_DELTA), INDEX(DEVEX_EPSILON), INDEX(EXPAND_PIVOT_TOLERANCE),
       INDEX(EXPAND_DELTA), INDEX(EXPAND_DELTA_START), INDEX(EXPAND_DELTA_END),
       INDEX(EXPAND_DELTA_CURRENT), INDEX(EXPAND_TAU), INDEX(EXPAND_EPSILON),
       INDEX(EXPAND_MAXIMUM_ITERATIONS), INDEX(EXPAND_ITERATION),
       INDEX(ADAPTIVE_PIVOT_TOLERANCE), INDEX(ADAPTIVE_DELTA_HIGH), INDEX(ADAPTIVE_DELTA_LOW),
       INDEX(ADAPTIVE_DELTA_BREAK), INDEX(ADAPTIVE_DELTA_CURRENT),
       INDEX(ADAPTIVE_ITERATIONS_HIGH), INDEX(ADAPTIVE_ITERATIONS_LOW), INDEX(ADAPTIVE_TAU_HIGH),
       INDEX(ADAPTIVE_TAU_LOW), INDEX(ADAPTIVE_EPSILON), INDEX(ADAPTIVE_ITERATION),
       INDEX(OUTPUT_LINEAR_MODEL)});
}

TEST_F(SarnOptionsTest, EnumeratedOptionsHaveTheirGroupTypes) {
  const struct {
    int index;
    int type;
  } cases[] = {{SARN_GRADIENT_SEARCHTYPE, SARN_TYPE_SEARCH_TYPE},
               {SARN_CRASH_METHOD, SARN_TYPE_CRASH_METHOD},
               {SARN_CRASH_SEARCHTYPE, SARN_TYPE_SEARCH_TYPE},
               {SARN_RECOVERY_METHOD, SARN_TYPE_RECOVERY_METHOD},
               {SARN_NMS_SEARCHTYPE, SARN_TYPE_SEARCH_TYPE},
               {SARN_MERIT_FUNCTION, SARN_TYPE_MERIT_FUNCTION},
               {SARN_CRASH_MERIT_FUNCTION, SARN_TYPE_MERIT_FUNCTION},
               {SARN_LINEAR_SCALE_METHOD, SARN_TYPE_SCALE_METHOD},
               {SARN_LEMKE_START, SARN_TYPE_LEMKE_START},
               {SARN_LEMKE_START_TYPE, SARN_TYPE_LEMKE_START_TYPE}};
  int enumerated = 0;
  for (const Option& option : Sarn_OptionTable) enumerated += option.type >= 3;
  EXPECT_EQ(enumerated, 10);
  for (const auto& c : cases) EXPECT_EQ(Sarn_OptionTable[c.index].type, c.type);
  EXPECT_EQ(Lemke_OptionTable[LEMKE_PIVOT_TYPE].type, LEMKE_TYPE_PIVOT);
  EXPECT_EQ(Lemke_OptionTable[LEMKE_RAY_TYPE].type, LEMKE_TYPE_RAY);
  // Through option lines, with the registry's lower-casing in front.
  ASSERT_EQ(Options_Set(options_, "crash_searchtype PLI"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options_, "lemke_ray_type ran"), OPTIONS_APPLIED);
  ASSERT_EQ(Options_Set(options_, "linear_scale_method ro2"), OPTIONS_APPLIED);
  EXPECT_EQ(Sarn_OptionInt(SARN_CRASH_SEARCHTYPE), SEARCH_TYPE_PLINE);
  EXPECT_EQ(Lemke_OptionInt(LEMKE_RAY_TYPE), RAY_TYPE_RANDOM);
  EXPECT_EQ(Sarn_OptionInt(SARN_LINEAR_SCALE_METHOD), 9);
}

}  // namespace
