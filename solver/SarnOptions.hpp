// Algorithm option group: the tunable values of the driver, the crash phase,
// the non-monotone stabilisation and its searches, the proximal
// perturbation, the merit functions, the scaling of the linearised problem
// and the start of the pivoting method. The solver reads and writes the
// values straight in Sarn_OptionTable.
#pragma once

#include "core/Options.hpp"

// Positions in Sarn_OptionTable (from 0): the option name in capitals after
// the prefix SARN_.
enum SarnOptionIndex : int {
  SARN_RESTART_STATIONARY_LIMIT = 0,
  SARN_RESTART_STATIONARY_TOLERANCE = 1,
  SARN_GRADIENT_STEP_LIMIT = 2,
  SARN_GRADIENT_SEARCHTYPE = 3,
  SARN_GRADIENT_SIGMA = 4,
  SARN_GRADIENT_SHRINK_FACTOR = 5,
  SARN_GRADIENT_REFINE_FREQUENCY = 6,
  SARN_GRADIENT_STEPSIZE_MINIMUM = 7,
  SARN_RESIDUAL_SIZE = 8,
  SARN_RESIDUAL_FACTOR = 9,
  SARN_CRASH_METHOD = 10,
  SARN_CRASH_PERTURB = 11,
  SARN_CRASH_SEARCHTYPE = 12,
  SARN_CRASH_MINIMUM_DIMENSION = 13,
  SARN_CRASH_SIGMA = 14,
  SARN_CRASH_SHRINK_FACTOR = 15,
  SARN_CRASH_REFINE_FREQUENCY = 16,
  SARN_CRASH_STEPSIZE_MINIMUM = 17,
  SARN_CRASH_CONVERGENCE_TOLERANCE = 18,
  SARN_CRASH_NBCHANGE_LIMIT = 19,
  SARN_CRASH_PROXIMAL_SHRINK_FACTOR = 20,
  SARN_CRASH_PROXIMAL_INCREASE_FACTOR = 21,
  SARN_CRASH_PROXIMAL_MERIT_FACTOR = 22,
  SARN_CRASH_PROXIMAL_MINIMUM = 23,
  SARN_CRASH_PROXIMAL_MAXIMUM = 24,
  SARN_CRASH_PROXIMAL_INITIAL_MAXIMUM = 25,
  SARN_RECOVERY_METHOD = 26,
  SARN_NMS = 27,
  SARN_NMS_INITIAL_MONOTONE_STEPS = 28,
  SARN_NMS_MEMORY_SIZE = 29,
  SARN_NMS_SIGMA = 30,
  SARN_NMS_MSTEP_FREQUENCY = 31,
  SARN_NMS_INITIAL_STEPSIZE_MINIMUM = 32,
  SARN_NMS_INITIAL_STEPSIZE_FACTOR = 33,
  SARN_NMS_INITIAL_REFERENCE_MINIMUM = 34,
  SARN_NMS_INITIAL_REFERENCE_FACTOR = 35,
  SARN_NMS_LARGE_REFERENCE_FACTOR = 36,
  SARN_NMS_SEARCHTYPE = 37,
  SARN_NMS_SARNSEARCH_INTERPOLATE = 38,
  SARN_NMS_SHRINK_FACTOR = 39,
  SARN_NMS_REFINE_FREQUENCY = 40,
  SARN_NMS_STEPSIZE_MINIMUM = 41,
  SARN_NMS_DELTA_SHRINK_FACTOR = 42,
  SARN_NMS_DELTA_MIN = 43,
  SARN_NMS_MAXIMUM_WATCHDOGS = 44,
  SARN_PROXIMAL_PERTURBATION = 45,
  SARN_PROXIMAL_INITIAL = 46,
  SARN_PROXIMAL_SHRINK_FACTOR = 47,
  SARN_PROXIMAL_INCREASE_FACTOR = 48,
  SARN_PROXIMAL_MERIT_FACTOR = 49,
  SARN_PROXIMAL_MINIMUM = 50,
  SARN_PROXIMAL_PRIMAL = 51,
  SARN_PROXIMAL_DUAL = 52,
  SARN_PROXIMAL_INITIAL_MAXIMUM = 53,
  SARN_MERIT_FUNCTION = 54,
  SARN_CRASH_MERIT_FUNCTION = 55,
  SARN_NONLINEAR_MODEL_PRESOLVE = 56,
  SARN_NONLINEAR_MODEL_SCALE = 57,
  SARN_NONLINEAR_MODEL_PERTURB = 58,
  SARN_LINEAR_MODEL_PRESOLVE = 59,
  SARN_LINEAR_MODEL_SCALE = 60,
  SARN_LINEAR_MODEL_PERTURB = 61,
  SARN_LINEAR_SCALE_METHOD = 62,
  SARN_LEMKE_START = 63,
  SARN_LEMKE_START_TYPE = 64,
  SARN_LEMKE_START_TOLERANCE = 65,
  SARN_OPTION_COUNT = 66,
};

// The group's option types: the three basic ones, then its enumerations.
enum SarnOptionType : int {
  SARN_TYPE_CRASH_METHOD = 3,
  SARN_TYPE_RECOVERY_METHOD = 4,
  SARN_TYPE_SEARCH_TYPE = 5,
  SARN_TYPE_MERIT_FUNCTION = 6,
  SARN_TYPE_SCALE_METHOD = 7,
  SARN_TYPE_LEMKE_START = 8,
  SARN_TYPE_LEMKE_START_TYPE = 9,
  SARN_TYPE_COUNT = 10,
};

// Codes of the enumerations (the stored int_value).
enum CrashMethod : int {
  CRASH_METHOD_NONE = 0,
  CRASH_METHOD_AUTOMATIC = 1,
  CRASH_METHOD_PNEWTON = 2,
  CRASH_METHOD_BDIFF = 3,
  CRASH_METHOD_SMOOTH = 4,
  CRASH_METHOD_COUNT = 5,
};
enum RecoveryMethod : int {
  RECOVERY_METHOD_NONE = 0,
  RECOVERY_METHOD_COUNT = 1,
};
enum SearchType : int {
  SEARCH_TYPE_ARC = 0,
  SEARCH_TYPE_LINE = 1,
  SEARCH_TYPE_PARC = 2,
  SEARCH_TYPE_PLINE = 3,
  SEARCH_TYPE_COUNT = 4,
};
enum MeritFunction : int {
  MERIT_FUNCTION_AUTOMATIC = 0,
  MERIT_FUNCTION_NORMAL = 1,
  MERIT_FUNCTION_FISCHER = 2,
  MERIT_FUNCTION_COUNT = 3,
};
enum ScaleMethod : int {
  SCALE_METHOD_NONE = 0,
  SCALE_METHOD_KELM = 1,
  SCALE_METHOD_CHEN = 2,
  SCALE_METHOD_DIAGONAL = 3,
  SCALE_METHOD_ROW = 4,
  SCALE_METHOD_COL = 5,
  SCALE_METHOD_BOTH = 6,
  SCALE_METHOD_SYMMETRIC = 7,
  SCALE_METHOD_RO1 = 8,
  SCALE_METHOD_RO2 = 9,
  SCALE_METHOD_RO3 = 10,
  SCALE_METHOD_RO4 = 11,
  SCALE_METHOD_COUNT = 12,
};
enum LemkeStart : int {
  LEMKE_START_AUTOMATIC = 0,
  LEMKE_START_FIRST = 1,
  LEMKE_START_ALWAYS = 2,
  LEMKE_START_COUNT = 3,
};
enum LemkeStartType : int {
  LEMKE_START_TYPE_SLACK = 0,
  LEMKE_START_TYPE_ADVANCED = 1,
  LEMKE_START_TYPE_COUNT = 2,
};

// Keywords in code order.
extern const OptionKeyword Sarn_CrashMethodKeywords[CRASH_METHOD_COUNT];
extern const OptionKeyword Sarn_RecoveryMethodKeywords[RECOVERY_METHOD_COUNT];
extern const OptionKeyword Sarn_SearchTypeKeywords[SEARCH_TYPE_COUNT];
extern const OptionKeyword Sarn_MeritFunctionKeywords[MERIT_FUNCTION_COUNT];
extern const OptionKeyword Sarn_ScaleMethodKeywords[SCALE_METHOD_COUNT];
extern const OptionKeyword Sarn_LemkeStartKeywords[LEMKE_START_COUNT];
extern const OptionKeyword Sarn_LemkeStartTypeKeywords[LEMKE_START_TYPE_COUNT];

// The group's table (process-wide) and its record.
extern Option Sarn_OptionTable[SARN_OPTION_COUNT];
extern OptionGroup Sarn_OptionGroup;

inline bool Sarn_OptionBool(int index) { return Sarn_OptionTable[index].bool_value != 0; }
inline int Sarn_OptionInt(int index) { return Sarn_OptionTable[index].int_value; }
inline double Sarn_OptionDouble(int index) { return Sarn_OptionTable[index].double_value; }

// Lengths of the two rings the driver and the stabilisation allocate from
// their options, at least 1 and never longer than the major iterations can
// fill (one entry per iteration, and one more than the limit allows), so
// that an extreme option value asks for no more memory than the solve can
// use and behaves as the value itself would:
//   residual_size: the residual history of the progress test;
//   nms_memory_size: the reference memory of the stabilisation.
std::int32_t Sarn_HistoryLength();
std::int32_t Sarn_MemoryLength();

// The options object every host starts from: Options_Create, then the
// factorization group (Factorization_AddOptions) and the presolve group
// (Presolve_AddOptions), numbered 1 and 2. A failed allocation is the
// solver error of Memory.
Options* Sarn_CreateOptions();

// Adds the algorithm group, then the Lemke group, with Options_Add. Hosts
// call it right after Sarn_CreateOptions, so the groups are numbered 3 and 4.
void Sarn_AddOptions(Options* options);

// Writes every default of the algorithm group and sets the common option
// decomposition_size_limit to 10000.0.
void Sarn_Defaults();

// Printers (mode, index in the group's table): "%s %s\n" with the option's
// name and the keyword of its code, through Output_Printf in mode.
void Sarn_DisplayCrashMethod(int mode, int index);
void Sarn_DisplayRecoveryMethod(int mode, int index);
void Sarn_DisplaySearchType(int mode, int index);
void Sarn_DisplayMeritFunction(int mode, int index);
void Sarn_DisplayScaleMethod(int mode, int index);
void Sarn_DisplayLemkeStart(int mode, int index);
void Sarn_DisplayLemkeStartType(int mode, int index);

// Parsers (text, &value): the first keyword whose first three characters
// agree with the text stores its code and gives 1; no match gives 0 and
// leaves *value alone.
int Sarn_ParseCrashMethod(const char* text, int* value);
int Sarn_ParseRecoveryMethod(const char* text, int* value);
int Sarn_ParseSearchType(const char* text, int* value);
int Sarn_ParseMeritFunction(const char* text, int* value);
int Sarn_ParseScaleMethod(const char* text, int* value);
int Sarn_ParseLemkeStart(const char* text, int* value);
int Sarn_ParseLemkeStartType(const char* text, int* value);
