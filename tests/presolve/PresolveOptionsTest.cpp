// Presolve option group: defaults, listing and index names.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/Options.hpp"
#include "presolve/PresolveOptions.hpp"
#include "solver/SarnOptions.hpp"
#include "support/TestSupport.hpp"

namespace {

TEST(PresolveOptionsTest, DefaultsAndIndexNames) {
  for (Option& option : Presolve_OptionTable) {  // a sentinel in every field
    option.bool_value = 7;
    option.int_value = 7;
    option.double_value = 7.0;
  }
  EXPECT_EQ(Presolve_Defaults(), 1);
  const struct {
    int index;
    const char* enumerator;
    double value;
  } cases[] = {
#define INDEX(e) e, #e
      {INDEX(PRESOLVE), 1},
      {INDEX(PRESOLVE_IMPLIED), 0},
      {INDEX(PRESOLVE_PROJECT_IMPLIED), 1},
      {INDEX(PRESOLVE_TIGHTEN), 0},
      {INDEX(PRESOLVE_RECURSIVE), 1},
      {INDEX(PRESOLVE_JACOBIAN_TOLERANCE), 1e-12},
      {INDEX(PRESOLVE_ZERO_TOLERANCE), 1e-12},
      {INDEX(OUTPUT_PRESOLVE_LEVEL), 1},
#undef INDEX
  };
  ASSERT_EQ(sizeof cases / sizeof cases[0], size_t{PRESOLVE_OPTION_COUNT});
  for (size_t k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
    const Option& option = Presolve_OptionTable[cases[k].index];
    std::string expected = cases[k].enumerator;
    for (char& ch : expected) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(cases[k].index, static_cast<int>(k));
    EXPECT_EQ(std::string(option.name), expected);
    const double value = option.type == OPTION_BOOLEAN  ? option.bool_value
                         : option.type == OPTION_DOUBLE ? option.double_value
                                                        : option.int_value;
    EXPECT_EQ(value, cases[k].value) << option.name;
  }
}

class PresolveListingTest : public LibraryTest {};

TEST_F(PresolveListingTest, OnlyTwoOptionsAreListedByDefault) {
  Options* options = Sarn_CreateOptions();
  Options_Default(options);
  Options_Display(options);
  const std::string& listing = output()->status();
  EXPECT_NE(listing.find("\npresolve yes\noutput_presolve_level 1\n"), std::string::npos);
  EXPECT_EQ(listing.find("\npresolve_"), std::string::npos);
  ASSERT_EQ(Options_Set(options, "pre no"), OPTIONS_APPLIED);
  EXPECT_FALSE(Presolve_OptionBool(PRESOLVE));
  Options_Destroy(options);
}

}  // namespace
