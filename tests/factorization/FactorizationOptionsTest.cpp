// Factorization option group: defaults, the back-end choice through
// factorization_method, and the index names.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>

#include "core/Options.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "solver/SarnOptions.hpp"
#include "support/TestSupport.hpp"

namespace {

class FactorizationOptionsTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    options_ = Sarn_CreateOptions();
    Options_Default(options_);
  }
  void TearDown() override {
    Options_Destroy(options_);
    LibraryTest::TearDown();
  }
  Options* options_ = nullptr;
};

TEST_F(FactorizationOptionsTest, MethodLinesChooseTheBackEnd) {
  const struct {
    const char* line;
    int result;      // of Options_Set
    int backend;     // current afterwards
    int code;        // stored in factorization_method
  } cases[] = {
      {"factorization_method den", OPTIONS_APPLIED, FACTORIZATION_DENSE, FACTORIZATION_DENSE},
      {"factorization_method sparse", OPTIONS_APPLIED, FACTORIZATION_SPARSE, FACTORIZATION_SPARSE},
      {"fac_met dense", OPTIONS_APPLIED, FACTORIZATION_DENSE, FACTORIZATION_DENSE},
      // No match: nothing changes.
      {"factorization_method de", OPTIONS_LINE_FAILED, FACTORIZATION_DENSE, FACTORIZATION_DENSE},
      {"factorization_method spa", OPTIONS_APPLIED, FACTORIZATION_SPARSE, FACTORIZATION_SPARSE},
      {"factorization_method densest", OPTIONS_APPLIED, FACTORIZATION_DENSE, FACTORIZATION_DENSE},
      {"factorization_method lu", OPTIONS_LINE_FAILED, FACTORIZATION_DENSE, FACTORIZATION_DENSE},
      {"factorization_method", OPTIONS_LINE_FAILED, FACTORIZATION_DENSE, FACTORIZATION_DENSE},
  };
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_SPARSE);
  for (const auto& c : cases) {
    EXPECT_EQ(Options_Set(options_, c.line), c.result) << c.line;
    EXPECT_EQ(Factorization_SelectedBackend(), c.backend) << c.line;
    EXPECT_EQ(Factorization_OptionInt(FACTORIZATION_METHOD), c.code) << c.line;
  }
  // Resetting the options makes the sparse back-end current again.
  Options_Default(options_);
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_SPARSE);
  EXPECT_EQ(Factorization_OptionInt(FACTORIZATION_METHOD), FACTORIZATION_SPARSE);
}

// A host that sets the method by name gets the back-end it names, as an
// option line would: the back-end in use always agrees with the listing.
TEST_F(FactorizationOptionsTest, MethodSetByNameChoosesTheBackEnd) {
  for (int code : {FACTORIZATION_DENSE, FACTORIZATION_SPARSE, FACTORIZATION_DENSE}) {
    SCOPED_TRACE(Factorization_MethodKeywords[code]);
    ASSERT_EQ(Options_SetOther(options_, "factorization_method", code), OPTIONS_STORED);
    EXPECT_EQ(Factorization_SelectedBackend(), code);
  }
  // A refused code changes neither the option nor the back-end.
  EXPECT_EQ(Options_SetOther(options_, "factorization_method", FACTORIZATION_METHOD_COUNT),
            OPTIONS_WRONG_TYPE);
  EXPECT_EQ(Factorization_OptionInt(FACTORIZATION_METHOD), FACTORIZATION_DENSE);
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_DENSE);
  Options_Default(options_);
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_SPARSE);
}

TEST_F(FactorizationOptionsTest, ParserAndPrinter) {
  int code = 7;
  EXPECT_EQ(Factorization_ParseMethod("xyz", &code), 0);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_SPARSE);
  EXPECT_EQ(Factorization_ParseMethod("den", &code), 1);
  EXPECT_EQ(code, FACTORIZATION_DENSE);
  EXPECT_EQ(Factorization_SelectedBackend(), FACTORIZATION_DENSE);
  Factorization_PrintMethod(OUTPUT_LISTING, FACTORIZATION_METHOD);
  EXPECT_EQ(output()->listing(), "factorization_method sparse\n");  // the option, not the parse
}

TEST_F(FactorizationOptionsTest, DefaultsFromPowersOfEpsilon) {
  const double eps = 2.220446049250313e-16;
  EXPECT_EQ(Factorization_OptionDouble(FACTORIZATION_SMALL_TOLERANCE), std::pow(eps, 0.9));
  EXPECT_DOUBLE_EQ(Factorization_OptionDouble(FACTORIZATION_SMALL_TOLERANCE), 8.161992717227193e-15);
  EXPECT_DOUBLE_EQ(Factorization_OptionDouble(FACTORIZATION_PIVOT_TOLERANCE), 3.666852862501036e-11);
  EXPECT_EQ(Factorization_OptionDouble(FACTORIZATION_ZERO_TOLERANCE),
            Factorization_OptionDouble(FACTORIZATION_PIVOT_TOLERANCE));
}

TEST_F(FactorizationOptionsTest, ListingShowsTheGroupOnlyWithHiddenOptions) {
  Options_Display(options_);
  EXPECT_EQ(output()->status().find("factorization"), std::string::npos);
  ASSERT_EQ(Options_Set(options_, "output_hidden_options yes"), OPTIONS_APPLIED);
  output()->Clear();
  Options_Display(options_);
  EXPECT_NE(output()->status().find("\nfactorization_method sparse\n"), std::string::npos);
}

TEST_F(FactorizationOptionsTest, RaisedStorageFactorStaysUntilTheDefaults) {
  Factorization_OptionTable[FACTORIZATION_LUROOM].double_value += 0.1;  // as a retry does
  ASSERT_EQ(Options_Set(options_, "factorization_tolerance 0.5"), OPTIONS_APPLIED);
  EXPECT_DOUBLE_EQ(Factorization_OptionDouble(FACTORIZATION_LUROOM), 0.85);
  Options_Default(options_);
  EXPECT_EQ(Factorization_OptionDouble(FACTORIZATION_LUROOM), 0.75);
  EXPECT_EQ(Factorization_OptionDouble(FACTORIZATION_TOLERANCE), 0.1);
}

TEST(FactorizationOptionIndexTest, IndexNamesReadTheirOptions) {
  const struct {
    int index;
    const char* enumerator;
  } names[] = {
#define INDEX(e) {e, #e}
      INDEX(FACTORIZATION_ELBOWROOM),        INDEX(FACTORIZATION_VECTORROOM),
      INDEX(FACTORIZATION_LUROOM),           INDEX(FACTORIZATION_UPDATE_LIMIT),
      INDEX(FACTORIZATION_UPDATE_RATIO),     INDEX(FACTORIZATION_TOLERANCE),
      INDEX(FACTORIZATION_UPDATE_TOLERANCE), INDEX(FACTORIZATION_SMALL_TOLERANCE),
      INDEX(FACTORIZATION_PIVOT_TOLERANCE),  INDEX(FACTORIZATION_ZERO_TOLERANCE),
      INDEX(FACTORIZATION_PIVOT_TYPE),       INDEX(FACTORIZATION_METHOD),
      INDEX(OUTPUT_FACTORIZATION_UPDATES),   INDEX(OUTPUT_FACTORIZATION_UPDATES_FREQUENCY),
      INDEX(OUTPUT_FACTORIZATION_SINGULARITIES), INDEX(OUTPUT_FACTORIZATION_INFORMATION),
      INDEX(OUTPUT_FACTORIZATION_DEBUG_INFORMATION),
#undef INDEX
  };
  ASSERT_EQ(sizeof names / sizeof names[0], size_t{FACTORIZATION_OPTION_COUNT});
  for (size_t k = 0; k < sizeof names / sizeof names[0]; ++k) {
    std::string expected = names[k].enumerator;
    for (char& ch : expected) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(names[k].index, static_cast<int>(k));
    EXPECT_EQ(std::string(Factorization_OptionTable[k].name), expected);
  }
  EXPECT_EQ(Factorization_OptionTable[FACTORIZATION_METHOD].type, FACTORIZATION_TYPE_METHOD);
}

}  // namespace
