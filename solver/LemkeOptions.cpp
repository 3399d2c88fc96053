// Lemke option group: table, defaults, printers, parsers and the hook that
// follows changes of the common options.
#include "solver/LemkeOptions.hpp"

#include <cmath>

namespace {

constexpr std::int32_t LISTED = 1;
constexpr std::int32_t HIDDEN = 0;

OptionPrinter printers[5] = {nullptr, nullptr, nullptr, Lemke_DisplayPivotType,
                             Lemke_DisplayRayType};
OptionParser parsers[5] = {nullptr, nullptr, nullptr, Lemke_ParsePivotType, Lemke_ParseRayType};
const std::int32_t keyword_counts[5] = {0, 0, 0, PIVOT_TYPE_COUNT, RAY_TYPE_COUNT};

void Display(int mode, int index, const OptionKeyword* keywords, int count) {
  if (index < 0 || index >= LEMKE_OPTION_COUNT) return;
  Options_PrintKeyword(mode, Lemke_OptionTable[index], keywords, count);
}

}  // namespace

const OptionKeyword Lemke_PivotTypeKeywords[PIVOT_TYPE_COUNT] = {"textbook", "devex", "expand",
                                                                 "adaptive"};
const OptionKeyword Lemke_RayTypeKeywords[RAY_TYPE_COUNT] = {"standard", "uniform", "decreasing",
                                                             "random"};

Option Lemke_OptionTable[] = {
    Options_MakeOption("lemke_maximum_iteration_limit", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("lemke_size_factor", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("lemke_return_best_point", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("lemke_pivot_type", HIDDEN, LEMKE_TYPE_PIVOT),
    Options_MakeOption("lemke_ray_type", HIDDEN, LEMKE_TYPE_RAY),
    Options_MakeOption("lemke_rayterm_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("lemke_artificial_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("lemke_artificial_maximum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("lemke_rank_deficiency_iterations", LISTED, OPTION_INTEGER),
    Options_MakeOption("lemke_cycle_limit", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("lemke_scale_residual", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("textbook_pivot_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("textbook_delta", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("textbook_epsilon", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("devex_pivot_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("devex_delta", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("devex_epsilon", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_pivot_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_delta", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_delta_start", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_delta_end", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_delta_current", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_tau", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_epsilon", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("expand_maximum_iterations", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("expand_iteration", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("adaptive_pivot_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_delta_high", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_delta_low", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_delta_break", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_delta_current", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_iterations_high", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("adaptive_iterations_low", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("adaptive_tau_high", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_tau_low", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_epsilon", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("adaptive_iteration", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("output_linear_model", LISTED, OPTION_BOOLEAN),
};

OptionGroup Lemke_OptionGroup = {LEMKE_OPTION_COUNT, 5,       Lemke_OptionTable,
                                 Lemke_Defaults,     nullptr, printers,
                                 parsers,            nullptr, Lemke_CommonOptionChanged,
                                 keyword_counts};

void Lemke_AddOptions(Options* options) { Options_Add(options, &Lemke_OptionGroup); }

void Lemke_Defaults() {
  const double eps = std::pow(2.0, -52.0);
  const double eps_two_thirds = std::pow(eps, 2.0 / 3.0);
  const double eps_three_quarters = std::pow(eps, 0.75);
  Option* t = Lemke_OptionTable;
  t[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = 10000;
  t[LEMKE_SIZE_FACTOR].int_value = 10;
  t[LEMKE_RETURN_BEST_POINT].bool_value = 1;
  t[LEMKE_PIVOT_TYPE].int_value = PIVOT_TYPE_EXPAND;
  t[LEMKE_RAY_TYPE].int_value = RAY_TYPE_STANDARD;
  t[LEMKE_RAYTERM_MINIMUM].double_value = 0.5;
  t[LEMKE_ARTIFICIAL_MINIMUM].double_value = 0.0;
  t[LEMKE_ARTIFICIAL_MAXIMUM].double_value = 0.0;
  t[LEMKE_RANK_DEFICIENCY_ITERATIONS].int_value = 10;
  t[LEMKE_CYCLE_LIMIT].int_value = 4;
  t[LEMKE_SCALE_RESIDUAL].bool_value = 1;
  t[TEXTBOOK_PIVOT_TOLERANCE].double_value = eps_two_thirds;
  t[TEXTBOOK_DELTA].double_value = 0.0;
  t[TEXTBOOK_EPSILON].double_value = eps_three_quarters;
  t[DEVEX_PIVOT_TOLERANCE].double_value = eps_two_thirds;
  t[DEVEX_DELTA].double_value = 1e-6;
  t[DEVEX_EPSILON].double_value = eps_three_quarters;
  t[EXPAND_PIVOT_TOLERANCE].double_value = eps_two_thirds;
  t[EXPAND_DELTA].double_value = 1e-6;
  t[EXPAND_DELTA_START].double_value = 5e-7;
  t[EXPAND_DELTA_END].double_value = 9.9e-7;
  t[EXPAND_DELTA_CURRENT].double_value = t[EXPAND_DELTA_START].double_value;
  t[EXPAND_TAU].double_value = 4.9e-11;
  t[EXPAND_EPSILON].double_value = eps_three_quarters;
  t[EXPAND_MAXIMUM_ITERATIONS].int_value = 10000;
  t[EXPAND_ITERATION].int_value = 0;
  t[ADAPTIVE_PIVOT_TOLERANCE].double_value = 1e-11;
  t[ADAPTIVE_DELTA_HIGH].double_value = 1e-8;
  t[ADAPTIVE_DELTA_LOW].double_value = 1e-6;
  t[ADAPTIVE_DELTA_BREAK].double_value = 5e-7;
  t[ADAPTIVE_DELTA_CURRENT].double_value = 1e-8;
  t[ADAPTIVE_ITERATIONS_HIGH].int_value = 50;
  t[ADAPTIVE_ITERATIONS_LOW].int_value = 10000;
  t[ADAPTIVE_TAU_HIGH].double_value = 9.8e-9;
  t[ADAPTIVE_TAU_LOW].double_value = 5e-11;
  t[ADAPTIVE_EPSILON].double_value = eps_three_quarters;
  t[ADAPTIVE_ITERATION].int_value = 0;
  t[OUTPUT_LINEAR_MODEL].bool_value = 0;
}

void Lemke_DisplayPivotType(int mode, int index) {
  Display(mode, index, Lemke_PivotTypeKeywords, PIVOT_TYPE_COUNT);
}

void Lemke_DisplayRayType(int mode, int index) {
  Display(mode, index, Lemke_RayTypeKeywords, RAY_TYPE_COUNT);
}

int Lemke_ParsePivotType(const char* text, int* value) {
  return Options_ParseKeyword(text, Lemke_PivotTypeKeywords, PIVOT_TYPE_COUNT, value);
}

int Lemke_ParseRayType(const char* text, int* value) {
  return Options_ParseKeyword(text, Lemke_RayTypeKeywords, RAY_TYPE_COUNT, value);
}

void Lemke_CommonOptionChanged(int index) {
  Option* t = Lemke_OptionTable;
  if (index == COMMON_OUTPUT) {
    if (!Options_CommonBool(COMMON_OUTPUT)) t[OUTPUT_LINEAR_MODEL].bool_value = 0;
  } else if (index == COMMON_CUMULATIVE_ITERATION_LIMIT) {
    const int cumulative = Options_CommonInt(COMMON_CUMULATIVE_ITERATION_LIMIT);
    if (cumulative < t[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value) {
      t[LEMKE_MAXIMUM_ITERATION_LIMIT].int_value = cumulative;
    }
  }
}
