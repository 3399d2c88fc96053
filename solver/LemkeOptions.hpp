// Lemke option group: limits of the pivoting method, its pivot rule with the
// tolerances of each rule, the ray rule, the best-point rule and the model
// dump switch. The pivoting method reads and writes the values straight in
// Lemke_OptionTable.
#pragma once

#include "core/Options.hpp"

// Positions in Lemke_OptionTable (from 0).
enum LemkeOptionIndex : int {
  LEMKE_MAXIMUM_ITERATION_LIMIT = 0,
  LEMKE_SIZE_FACTOR = 1,
  LEMKE_RETURN_BEST_POINT = 2,
  LEMKE_PIVOT_TYPE = 3,
  LEMKE_RAY_TYPE = 4,
  LEMKE_RAYTERM_MINIMUM = 5,
  LEMKE_ARTIFICIAL_MINIMUM = 6,
  LEMKE_ARTIFICIAL_MAXIMUM = 7,
  LEMKE_RANK_DEFICIENCY_ITERATIONS = 8,
  LEMKE_CYCLE_LIMIT = 9,
  LEMKE_SCALE_RESIDUAL = 10,
  TEXTBOOK_PIVOT_TOLERANCE = 11,
  TEXTBOOK_DELTA = 12,
  TEXTBOOK_EPSILON = 13,
  DEVEX_PIVOT_TOLERANCE = 14,
  DEVEX_DELTA = 15,
  DEVEX_EPSILON = 16,
  EXPAND_PIVOT_TOLERANCE = 17,
  EXPAND_DELTA = 18,
  EXPAND_DELTA_START = 19,
  EXPAND_DELTA_END = 20,
  EXPAND_DELTA_CURRENT = 21,
  EXPAND_TAU = 22,
  EXPAND_EPSILON = 23,
  EXPAND_MAXIMUM_ITERATIONS = 24,
  EXPAND_ITERATION = 25,
  ADAPTIVE_PIVOT_TOLERANCE = 26,
  ADAPTIVE_DELTA_HIGH = 27,
  ADAPTIVE_DELTA_LOW = 28,
  ADAPTIVE_DELTA_BREAK = 29,
  ADAPTIVE_DELTA_CURRENT = 30,
  ADAPTIVE_ITERATIONS_HIGH = 31,
  ADAPTIVE_ITERATIONS_LOW = 32,
  ADAPTIVE_TAU_HIGH = 33,
  ADAPTIVE_TAU_LOW = 34,
  ADAPTIVE_EPSILON = 35,
  ADAPTIVE_ITERATION = 36,
  OUTPUT_LINEAR_MODEL = 37,
  LEMKE_OPTION_COUNT = 38,
};

// Option types of the group's two enumerations.
constexpr int LEMKE_TYPE_PIVOT = 3;
constexpr int LEMKE_TYPE_RAY = 4;

// Codes of lemke_pivot_type.
enum LemkePivotType : int {
  PIVOT_TYPE_TEXTBOOK = 0,
  PIVOT_TYPE_DEVEX = 1,
  PIVOT_TYPE_EXPAND = 2,
  PIVOT_TYPE_ADAPTIVE = 3,
  PIVOT_TYPE_COUNT = 4,
};

// Codes of lemke_ray_type.
enum LemkeRayType : int {
  RAY_TYPE_STANDARD = 0,
  RAY_TYPE_UNIFORM = 1,
  RAY_TYPE_DECREASING = 2,
  RAY_TYPE_RANDOM = 3,
  RAY_TYPE_COUNT = 4,
};

// Keywords in code order.
extern const OptionKeyword Lemke_PivotTypeKeywords[PIVOT_TYPE_COUNT];
extern const OptionKeyword Lemke_RayTypeKeywords[RAY_TYPE_COUNT];

// The group's table (process-wide) and its record.
extern Option Lemke_OptionTable[LEMKE_OPTION_COUNT];
extern OptionGroup Lemke_OptionGroup;

inline bool Lemke_OptionBool(int index) { return Lemke_OptionTable[index].bool_value != 0; }
inline int Lemke_OptionInt(int index) { return Lemke_OptionTable[index].int_value; }
inline double Lemke_OptionDouble(int index) { return Lemke_OptionTable[index].double_value; }

// Adds the group to options with Options_Add.
void Lemke_AddOptions(Options* options);

// Writes every default of the group (the powers of 2^-52 computed with
// pow); expand_delta_current takes the value of expand_delta_start. Writes
// no option of another table.
void Lemke_Defaults();

// Printers (mode, index in the group's table): "%s %s\n" with the option's
// name and the keyword of its code.
void Lemke_DisplayPivotType(int mode, int index);
void Lemke_DisplayRayType(int mode, int index);

// Parsers: first-three-character comparison with the keywords in code
// order; a match stores the code in *value and returns 1; otherwise 0 and
// *value is left alone.
int Lemke_ParsePivotType(const char* text, int* value);
int Lemke_ParseRayType(const char* text, int* value);

// Called by the registry after a common option was set, with its index in
// the common table. output (21) now no: output_linear_model := no.
// cumulative_iteration_limit (6) below lemke_maximum_iteration_limit: the
// latter is lowered to it. Other indices change nothing.
void Lemke_CommonOptionChanged(int index);
