// Factorization option group: table, defaults, and the printer and parser of
// factorization_method.
#include "factorization/FactorizationOptions.hpp"

#include <cmath>

#include "core/Output.hpp"

namespace {

constexpr std::int32_t HIDDEN = 0;

OptionPrinter printers[4] = {nullptr, nullptr, nullptr, Factorization_PrintMethod};
OptionParser parsers[4] = {nullptr, nullptr, nullptr, Factorization_ParseMethod};
const std::int32_t keyword_counts[4] = {0, 0, 0, FACTORIZATION_METHOD_COUNT};

}  // namespace

const OptionKeyword Factorization_MethodKeywords[FACTORIZATION_METHOD_COUNT] = {"dense",
                                                                                "sparse"};

Option Factorization_OptionTable[] = {
    Options_MakeOption("factorization_elbowroom", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_vectorroom", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_luroom", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_update_limit", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("factorization_update_ratio", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_update_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_small_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_pivot_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_zero_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("factorization_pivot_type", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("factorization_method", HIDDEN, FACTORIZATION_TYPE_METHOD),
    Options_MakeOption("output_factorization_updates", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("output_factorization_updates_frequency", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("output_factorization_singularities", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("output_factorization_information", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("output_factorization_debug_information", HIDDEN, OPTION_BOOLEAN),
};

OptionGroup Factorization_OptionGroup = {
    FACTORIZATION_OPTION_COUNT,       4,       Factorization_OptionTable, Factorization_Defaults,
    nullptr,                          printers, parsers,                  Factorization_OptionChanged,
    Factorization_CommonOptionChanged, keyword_counts};

void Factorization_AddOptions(Options* options) {
  Options_Add(options, &Factorization_OptionGroup);
}

void Factorization_Defaults() {
  const double eps = std::pow(2.0, -52.0);
  Option* t = Factorization_OptionTable;
  t[FACTORIZATION_ELBOWROOM].double_value = 1.5;
  t[FACTORIZATION_VECTORROOM].double_value = 5.0;
  t[FACTORIZATION_LUROOM].double_value = 0.75;
  t[FACTORIZATION_UPDATE_LIMIT].int_value = 50;
  t[FACTORIZATION_UPDATE_RATIO].double_value = 1.0;
  t[FACTORIZATION_TOLERANCE].double_value = 0.1;
  t[FACTORIZATION_UPDATE_TOLERANCE].double_value = 0.1;
  t[FACTORIZATION_SMALL_TOLERANCE].double_value = std::pow(eps, 0.9);
  t[FACTORIZATION_PIVOT_TOLERANCE].double_value = std::pow(eps, 2.0 / 3.0);
  t[FACTORIZATION_ZERO_TOLERANCE].double_value = std::pow(eps, 2.0 / 3.0);
  t[FACTORIZATION_PIVOT_TYPE].int_value = 0;
  t[FACTORIZATION_METHOD].int_value = FACTORIZATION_SPARSE;
  t[OUTPUT_FACTORIZATION_UPDATES].bool_value = 0;
  t[OUTPUT_FACTORIZATION_UPDATES_FREQUENCY].int_value = 20;
  t[OUTPUT_FACTORIZATION_SINGULARITIES].bool_value = 0;
  t[OUTPUT_FACTORIZATION_INFORMATION].bool_value = 0;
  t[OUTPUT_FACTORIZATION_DEBUG_INFORMATION].bool_value = 0;
  Factorization_Select();
}

void Factorization_CommonOptionChanged(int index) {
  Option* t = Factorization_OptionTable;
  if (index == COMMON_OUTPUT && !Options_CommonBool(COMMON_OUTPUT)) {
    t[OUTPUT_FACTORIZATION_UPDATES].bool_value = 0;
    t[OUTPUT_FACTORIZATION_SINGULARITIES].bool_value = 0;
  } else if (index == COMMON_OUTPUT_MODEL_STATISTICS &&
             Options_CommonBool(COMMON_OUTPUT_MODEL_STATISTICS)) {
    t[OUTPUT_FACTORIZATION_SINGULARITIES].bool_value = 1;
  }
}

namespace {

// Makes the back-end of a factorization_method code current.
void SelectBackend(int code) {
  if (code == FACTORIZATION_DENSE) {
    DenseBasis_Select();
  } else {
    Factorization_Select();
  }
}

}  // namespace

void Factorization_OptionChanged(int index) {
  if (index == FACTORIZATION_METHOD) {
    SelectBackend(Factorization_OptionTable[FACTORIZATION_METHOD].int_value);
  }
}

int Factorization_ParseMethod(const char* text, int* value) {
  int code = 0;
  if (!Options_ParseKeyword(text, Factorization_MethodKeywords, FACTORIZATION_METHOD_COUNT,
                            &code)) {
    return 0;
  }
  SelectBackend(code);
  *value = code;
  return 1;
}

void Factorization_PrintMethod(int mode, int index) {
  if (index < 0 || index >= FACTORIZATION_OPTION_COUNT) return;
  Options_PrintKeyword(mode, Factorization_OptionTable[index], Factorization_MethodKeywords,
                       FACTORIZATION_METHOD_COUNT);
}
