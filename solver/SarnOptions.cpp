// Algorithm option group: table, defaults, and the printers and parsers of
// its seven enumerations; the options object every host starts from.
#include "solver/SarnOptions.hpp"

#include "factorization/FactorizationOptions.hpp"
#include "presolve/PresolveOptions.hpp"
#include "solver/LemkeOptions.hpp"

namespace {

constexpr std::int32_t LISTED = 1;
constexpr std::int32_t HIDDEN = 0;

OptionPrinter printers[SARN_TYPE_COUNT] = {
    nullptr,
    nullptr,
    nullptr,
    Sarn_DisplayCrashMethod,
    Sarn_DisplayRecoveryMethod,
    Sarn_DisplaySearchType,
    Sarn_DisplayMeritFunction,
    Sarn_DisplayScaleMethod,
    Sarn_DisplayLemkeStart,
    Sarn_DisplayLemkeStartType,
};
OptionParser parsers[SARN_TYPE_COUNT] = {
    nullptr,
    nullptr,
    nullptr,
    Sarn_ParseCrashMethod,
    Sarn_ParseRecoveryMethod,
    Sarn_ParseSearchType,
    Sarn_ParseMeritFunction,
    Sarn_ParseScaleMethod,
    Sarn_ParseLemkeStart,
    Sarn_ParseLemkeStartType,
};
const std::int32_t keyword_counts[SARN_TYPE_COUNT] = {
    0, 0, 0, CRASH_METHOD_COUNT, RECOVERY_METHOD_COUNT, SEARCH_TYPE_COUNT, MERIT_FUNCTION_COUNT,
    SCALE_METHOD_COUNT, LEMKE_START_COUNT, LEMKE_START_TYPE_COUNT,
};

// The keyword table of each enumeration type.
const OptionKeyword* KeywordsOf(int type) {
  switch (type) {
    case SARN_TYPE_CRASH_METHOD: return Sarn_CrashMethodKeywords;
    case SARN_TYPE_RECOVERY_METHOD: return Sarn_RecoveryMethodKeywords;
    case SARN_TYPE_SEARCH_TYPE: return Sarn_SearchTypeKeywords;
    case SARN_TYPE_MERIT_FUNCTION: return Sarn_MeritFunctionKeywords;
    case SARN_TYPE_SCALE_METHOD: return Sarn_ScaleMethodKeywords;
    case SARN_TYPE_LEMKE_START: return Sarn_LemkeStartKeywords;
    default: return Sarn_LemkeStartTypeKeywords;
  }
}

void Display(int type, int mode, int index) {
  if (index < 0 || index >= SARN_OPTION_COUNT) return;
  Options_PrintKeyword(mode, Sarn_OptionTable[index], KeywordsOf(type), keyword_counts[type]);
}

int Parse(int type, const char* text, int* value) {
  return Options_ParseKeyword(text, KeywordsOf(type), keyword_counts[type], value);
}

}  // namespace

const OptionKeyword Sarn_CrashMethodKeywords[CRASH_METHOD_COUNT] = {
    "none", "automatic", "pnewton", "bdiff", "smooth"};
const OptionKeyword Sarn_RecoveryMethodKeywords[RECOVERY_METHOD_COUNT] = {"none"};
const OptionKeyword Sarn_SearchTypeKeywords[SEARCH_TYPE_COUNT] = {"arc", "line", "parc",
                                                                  "pline"};
const OptionKeyword Sarn_MeritFunctionKeywords[MERIT_FUNCTION_COUNT] = {"automatic", "normal",
                                                                        "fischer"};
const OptionKeyword Sarn_ScaleMethodKeywords[SCALE_METHOD_COUNT] = {
    "none", "kelm", "chen", "diagonal", "row", "col",
    "both", "symmetric", "ro1", "ro2", "ro3", "ro4"};
const OptionKeyword Sarn_LemkeStartKeywords[LEMKE_START_COUNT] = {"automatic", "first",
                                                                  "always"};
const OptionKeyword Sarn_LemkeStartTypeKeywords[LEMKE_START_TYPE_COUNT] = {"slack", "advanced"};

Option Sarn_OptionTable[] = {
    Options_MakeOption("restart_stationary_limit", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("restart_stationary_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("gradient_step_limit", LISTED, OPTION_INTEGER),
    Options_MakeOption("gradient_searchtype", LISTED, SARN_TYPE_SEARCH_TYPE),
    Options_MakeOption("gradient_sigma", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("gradient_shrink_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("gradient_refine_frequency", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("gradient_stepsize_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("residual_size", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("residual_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_method", LISTED, SARN_TYPE_CRASH_METHOD),
    Options_MakeOption("crash_perturb", LISTED, OPTION_BOOLEAN),
    Options_MakeOption("crash_searchtype", LISTED, SARN_TYPE_SEARCH_TYPE),
    Options_MakeOption("crash_minimum_dimension", LISTED, OPTION_INTEGER),
    Options_MakeOption("crash_sigma", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_shrink_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_refine_frequency", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("crash_stepsize_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_convergence_tolerance", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_nbchange_limit", LISTED, OPTION_INTEGER),
    Options_MakeOption("crash_proximal_shrink_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_proximal_increase_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_proximal_merit_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_proximal_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_proximal_maximum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("crash_proximal_initial_maximum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("recovery_method", HIDDEN, SARN_TYPE_RECOVERY_METHOD),
    Options_MakeOption("nms", LISTED, OPTION_BOOLEAN),
    Options_MakeOption("nms_initial_monotone_steps", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("nms_memory_size", LISTED, OPTION_INTEGER),
    Options_MakeOption("nms_sigma", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_mstep_frequency", LISTED, OPTION_INTEGER),
    Options_MakeOption("nms_initial_stepsize_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_initial_stepsize_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_initial_reference_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_initial_reference_factor", LISTED, OPTION_DOUBLE),
    Options_MakeOption("nms_large_reference_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_searchtype", LISTED, SARN_TYPE_SEARCH_TYPE),
    Options_MakeOption("nms_sarnsearch_interpolate", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("nms_shrink_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_refine_frequency", HIDDEN, OPTION_INTEGER),
    Options_MakeOption("nms_stepsize_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_delta_shrink_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_delta_min", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("nms_maximum_watchdogs", LISTED, OPTION_INTEGER),
    Options_MakeOption("proximal_perturbation", LISTED, OPTION_DOUBLE),
    Options_MakeOption("proximal_initial", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("proximal_shrink_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("proximal_increase_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("proximal_merit_factor", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("proximal_minimum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("proximal_primal", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("proximal_dual", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("proximal_initial_maximum", HIDDEN, OPTION_DOUBLE),
    Options_MakeOption("merit_function", LISTED, SARN_TYPE_MERIT_FUNCTION),
    Options_MakeOption("crash_merit_function", LISTED, SARN_TYPE_MERIT_FUNCTION),
    Options_MakeOption("nonlinear_model_presolve", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("nonlinear_model_scale", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("nonlinear_model_perturb", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("linear_model_presolve", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("linear_model_scale", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("linear_model_perturb", HIDDEN, OPTION_BOOLEAN),
    Options_MakeOption("linear_scale_method", HIDDEN, SARN_TYPE_SCALE_METHOD),
    Options_MakeOption("lemke_start", LISTED, SARN_TYPE_LEMKE_START),
    Options_MakeOption("lemke_start_type", LISTED, SARN_TYPE_LEMKE_START_TYPE),
    Options_MakeOption("lemke_start_tolerance", HIDDEN, OPTION_INTEGER),
};

OptionGroup Sarn_OptionGroup = {SARN_OPTION_COUNT, SARN_TYPE_COUNT, Sarn_OptionTable,
                                Sarn_Defaults,     nullptr,         printers,
                                parsers,           nullptr,         nullptr,
                                keyword_counts};

Options* Sarn_CreateOptions() {
  Options* options = Options_Create();
  Factorization_AddOptions(options);
  Presolve_AddOptions(options);
  return options;
}

void Sarn_AddOptions(Options* options) {
  Options_Add(options, &Sarn_OptionGroup);
  Lemke_AddOptions(options);
}

namespace {

// size, at least 1 and at most major_iteration_limit + 2, in 64 bits.
std::int32_t FitToIterations(std::int32_t size) {
  const std::int64_t limit = Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT);
  const std::int64_t most = (limit > 0 ? limit : 0) + 2;
  const std::int64_t fitted = size < most ? size : most;
  return static_cast<std::int32_t>(fitted < 1 ? 1 : fitted);
}

}  // namespace

std::int32_t Sarn_HistoryLength() { return FitToIterations(Sarn_OptionInt(SARN_RESIDUAL_SIZE)); }

std::int32_t Sarn_MemoryLength() { return FitToIterations(Sarn_OptionInt(SARN_NMS_MEMORY_SIZE)); }

void Sarn_Defaults() {
  Option* t = Sarn_OptionTable;
  t[SARN_RESTART_STATIONARY_LIMIT].int_value = 10;
  t[SARN_RESTART_STATIONARY_TOLERANCE].double_value = 1e-10;
  t[SARN_GRADIENT_STEP_LIMIT].int_value = 5;
  t[SARN_GRADIENT_SEARCHTYPE].int_value = SEARCH_TYPE_ARC;
  t[SARN_GRADIENT_SIGMA].double_value = 0.0001;
  t[SARN_GRADIENT_SHRINK_FACTOR].double_value = 0.8;
  t[SARN_GRADIENT_REFINE_FREQUENCY].int_value = 3;
  t[SARN_GRADIENT_STEPSIZE_MINIMUM].double_value = 1e-15;
  t[SARN_RESIDUAL_SIZE].int_value = 100;
  t[SARN_RESIDUAL_FACTOR].double_value = 0.5;
  t[SARN_CRASH_METHOD].int_value = CRASH_METHOD_PNEWTON;
  t[SARN_CRASH_PERTURB].bool_value = 1;
  t[SARN_CRASH_SEARCHTYPE].int_value = SEARCH_TYPE_LINE;
  t[SARN_CRASH_MINIMUM_DIMENSION].int_value = 1;
  t[SARN_CRASH_SIGMA].double_value = 0.0001;
  t[SARN_CRASH_SHRINK_FACTOR].double_value = 0.8;
  t[SARN_CRASH_REFINE_FREQUENCY].int_value = 3;
  t[SARN_CRASH_STEPSIZE_MINIMUM].double_value = 1e-5;
  t[SARN_CRASH_CONVERGENCE_TOLERANCE].double_value = 1e-6;
  t[SARN_CRASH_NBCHANGE_LIMIT].int_value = 1;
  t[SARN_CRASH_PROXIMAL_SHRINK_FACTOR].double_value = 0.9;
  t[SARN_CRASH_PROXIMAL_INCREASE_FACTOR].double_value = 10.0;
  t[SARN_CRASH_PROXIMAL_MERIT_FACTOR].double_value = 0.01;
  t[SARN_CRASH_PROXIMAL_MINIMUM].double_value = 1e-15;
  t[SARN_CRASH_PROXIMAL_MAXIMUM].double_value = 1000000.0;
  t[SARN_CRASH_PROXIMAL_INITIAL_MAXIMUM].double_value = 10.0;
  t[SARN_RECOVERY_METHOD].int_value = RECOVERY_METHOD_NONE;
  t[SARN_NMS].bool_value = 1;
  t[SARN_NMS_INITIAL_MONOTONE_STEPS].int_value = 0;
  t[SARN_NMS_MEMORY_SIZE].int_value = 10;
  t[SARN_NMS_SIGMA].double_value = 0.0001;
  t[SARN_NMS_MSTEP_FREQUENCY].int_value = 10;
  t[SARN_NMS_INITIAL_STEPSIZE_MINIMUM].double_value = 20.0;
  t[SARN_NMS_INITIAL_STEPSIZE_FACTOR].double_value = 20.0;
  t[SARN_NMS_INITIAL_REFERENCE_MINIMUM].double_value = 0.0;
  t[SARN_NMS_INITIAL_REFERENCE_FACTOR].double_value = 20.0;
  t[SARN_NMS_LARGE_REFERENCE_FACTOR].double_value = 100.0;
  t[SARN_NMS_SEARCHTYPE].int_value = SEARCH_TYPE_LINE;
  t[SARN_NMS_SARNSEARCH_INTERPOLATE].bool_value = 1;
  t[SARN_NMS_SHRINK_FACTOR].double_value = 0.8;
  t[SARN_NMS_REFINE_FREQUENCY].int_value = 3;
  t[SARN_NMS_STEPSIZE_MINIMUM].double_value = 1e-8;
  t[SARN_NMS_DELTA_SHRINK_FACTOR].double_value = 0.9;
  t[SARN_NMS_DELTA_MIN].double_value = 1e-15;
  t[SARN_NMS_MAXIMUM_WATCHDOGS].int_value = 5;
  t[SARN_PROXIMAL_PERTURBATION].double_value = 0.0;
  t[SARN_PROXIMAL_INITIAL].double_value = 0.0;
  t[SARN_PROXIMAL_SHRINK_FACTOR].double_value = 0.4;
  t[SARN_PROXIMAL_INCREASE_FACTOR].double_value = 10.0;
  t[SARN_PROXIMAL_MERIT_FACTOR].double_value = 0.1;
  t[SARN_PROXIMAL_MINIMUM].double_value = 1e-15;
  t[SARN_PROXIMAL_PRIMAL].bool_value = 0;
  t[SARN_PROXIMAL_DUAL].bool_value = 0;
  t[SARN_PROXIMAL_INITIAL_MAXIMUM].double_value = 10.0;
  t[SARN_MERIT_FUNCTION].int_value = MERIT_FUNCTION_FISCHER;
  t[SARN_CRASH_MERIT_FUNCTION].int_value = MERIT_FUNCTION_FISCHER;
  t[SARN_NONLINEAR_MODEL_PRESOLVE].bool_value = 0;
  t[SARN_NONLINEAR_MODEL_SCALE].bool_value = 0;
  t[SARN_NONLINEAR_MODEL_PERTURB].bool_value = 0;
  t[SARN_LINEAR_MODEL_PRESOLVE].bool_value = 0;
  t[SARN_LINEAR_MODEL_SCALE].bool_value = 1;
  t[SARN_LINEAR_MODEL_PERTURB].bool_value = 1;
  t[SARN_LINEAR_SCALE_METHOD].int_value = SCALE_METHOD_DIAGONAL;
  t[SARN_LEMKE_START].int_value = LEMKE_START_AUTOMATIC;
  t[SARN_LEMKE_START_TYPE].int_value = LEMKE_START_TYPE_SLACK;
  t[SARN_LEMKE_START_TOLERANCE].int_value = 5;
  // The common default of decomposition_size_limit is 12.0; with the solver's
  // groups registered it is 10000.0.
  Options_CommonTable[COMMON_DECOMPOSITION_SIZE_LIMIT].double_value = 10000.0;
}

void Sarn_DisplayCrashMethod(int mode, int index) { Display(SARN_TYPE_CRASH_METHOD, mode, index); }
void Sarn_DisplayRecoveryMethod(int mode, int index) {
  Display(SARN_TYPE_RECOVERY_METHOD, mode, index);
}
void Sarn_DisplaySearchType(int mode, int index) { Display(SARN_TYPE_SEARCH_TYPE, mode, index); }
void Sarn_DisplayMeritFunction(int mode, int index) {
  Display(SARN_TYPE_MERIT_FUNCTION, mode, index);
}
void Sarn_DisplayScaleMethod(int mode, int index) { Display(SARN_TYPE_SCALE_METHOD, mode, index); }
void Sarn_DisplayLemkeStart(int mode, int index) { Display(SARN_TYPE_LEMKE_START, mode, index); }
void Sarn_DisplayLemkeStartType(int mode, int index) {
  Display(SARN_TYPE_LEMKE_START_TYPE, mode, index);
}

int Sarn_ParseCrashMethod(const char* text, int* value) {
  return Parse(SARN_TYPE_CRASH_METHOD, text, value);
}
int Sarn_ParseRecoveryMethod(const char* text, int* value) {
  return Parse(SARN_TYPE_RECOVERY_METHOD, text, value);
}
int Sarn_ParseSearchType(const char* text, int* value) {
  return Parse(SARN_TYPE_SEARCH_TYPE, text, value);
}
int Sarn_ParseMeritFunction(const char* text, int* value) {
  return Parse(SARN_TYPE_MERIT_FUNCTION, text, value);
}
int Sarn_ParseScaleMethod(const char* text, int* value) {
  return Parse(SARN_TYPE_SCALE_METHOD, text, value);
}
int Sarn_ParseLemkeStart(const char* text, int* value) {
  return Parse(SARN_TYPE_LEMKE_START, text, value);
}
int Sarn_ParseLemkeStartType(const char* text, int* value) {
  return Parse(SARN_TYPE_LEMKE_START_TYPE, text, value);
}
