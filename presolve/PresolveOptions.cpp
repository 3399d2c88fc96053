// Presolve option group: table and defaults.
#include "presolve/PresolveOptions.hpp"

namespace {

constexpr std::int32_t LISTED = 1;
constexpr std::int32_t HIDDEN = 0;

// The group record wants a default function without a result.
void WriteDefaults() { Presolve_Defaults(); }

OptionPrinter printers[3] = {nullptr, nullptr, nullptr};
OptionParser parsers[3] = {nullptr, nullptr, nullptr};

}  // namespace

Option Presolve_OptionTable[] = {
    Options_MakeOption("presolve", LISTED, OPTION_BOOLEAN),
    Options_MakeOption("presolve_implied", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("presolve_project_implied", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("presolve_tighten", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("presolve_recursive", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("presolve_jacobian_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("presolve_zero_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("output_presolve_level", LISTED, OPTION_INTEGER),
};

OptionGroup Presolve_OptionGroup = {
    PRESOLVE_OPTION_COUNT, 3,       Presolve_OptionTable,         WriteDefaults, nullptr, printers,
    parsers,               nullptr, Presolve_CommonOptionChanged, nullptr};

void Presolve_AddOptions(Options* options) { Options_Add(options, &Presolve_OptionGroup); }

int Presolve_Defaults() {
  Option* t = Presolve_OptionTable;
  t[PRESOLVE].bool_value = 1;
  t[PRESOLVE_IMPLIED].bool_value = 0;
  t[PRESOLVE_PROJECT_IMPLIED].bool_value = 1;
  t[PRESOLVE_TIGHTEN].bool_value = 0;
  t[PRESOLVE_RECURSIVE].bool_value = 1;
  t[PRESOLVE_JACOBIAN_TOLERANCE].double_value = 1e-12;
  t[PRESOLVE_ZERO_TOLERANCE].double_value = 1e-12;
  t[OUTPUT_PRESOLVE_LEVEL].int_value = 1;
  return 1;
}

void Presolve_CommonOptionChanged(int index) {
  Option* t = Presolve_OptionTable;
  if (index == COMMON_OUTPUT && !Options_CommonBool(COMMON_OUTPUT) &&
      Options_CommonChangeFromLine()) {
    t[OUTPUT_PRESOLVE_LEVEL].int_value = 0;
  } else if (index == COMMON_CUMULATIVE_ITERATION_LIMIT &&
             Options_CommonInt(COMMON_CUMULATIVE_ITERATION_LIMIT) == 0) {
    t[PRESOLVE].bool_value = 0;
  }
}
