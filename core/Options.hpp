// Options registry: the common option table, the option groups that modules
// register, and the setters, lookups and listing over them.
//
// Options are addressed by (group number, option index): group 0 is the
// common table, group k >= 1 the k-th added group; indices count from 0.
// Modules read values straight from their tables.
#pragma once

#include <cstdint>

// Option types: 0 boolean, 1 integer, 2 double, 3 and up an enumeration of
// the group (an index into its printer and parser tables).
enum OptionType : std::int32_t {
  OPTION_BOOLEAN = 0,
  OPTION_INTEGER = 1,
  OPTION_DOUBLE = 2,
  OPTION_FIRST_ENUMERATION = 3,
};

// One named option; only the value field of its type is used.
struct Option {
  char name[128];             // lower-case words joined by "_"
  std::int32_t visible;       // 1: listed; otherwise listed only with output_hidden_options
  std::int32_t type;          // OptionType
  double double_value;
  std::int32_t int_value;     // integer value, or the code of an enumeration
  std::int32_t bool_value;    // 1 yes, 0 no
};

// Keywords of an enumeration are kept in 32-character slots, in code order.
constexpr int OPTION_KEYWORD_SLOT = 32;

// printer(mode, option index): writes "%s %s\n" with the name and keyword.
using OptionPrinter = void (*)(int mode, int index);
// parser(text, code): stores the index of the first keyword whose first three
// characters agree with the text and returns nonzero, or returns 0.
using OptionParser = int (*)(const char* text, int* code);

struct OptionGroup {
  std::int32_t option_count;
  std::int32_t type_count;          // 3 + number of enumerations
  Option* options;
  void (*set_defaults)();           // required
  void (*release)();                // may be empty
  OptionPrinter* printers;          // type_count entries; 0..2 empty
  OptionParser* parsers;            // type_count entries; 0..2 empty
  void (*on_change)(int index);     // after one of the group's options was set
  void (*on_common_change)(int index);  // after a common option was set
};

struct Options {
  OptionGroup** groups;
  std::int32_t capacity;     // 10 at creation, grown by 10
  std::int32_t group_count;
};

// ---------------------------------------------------------------------------
// The common option table (group 0).

enum CommonOptionIndex : int {
  COMMON_INFINITY = 0,
  COMMON_CONVERGENCE_TOLERANCE = 1,
  COMMON_MAJOR_ITERATION_LIMIT = 2,
  COMMON_MINOR_ITERATION_LIMIT = 3,
  COMMON_CRASH_ITERATION_LIMIT = 4,
  COMMON_CRASH_MINOR_ITERATION_LIMIT = 5,
  COMMON_CUMULATIVE_ITERATION_LIMIT = 6,
  COMMON_TIME_LIMIT = 7,
  COMMON_RESTART_LIMIT = 8,
  COMMON_INTERRUPT_LIMIT = 9,
  COMMON_RETURN_BEST_POINT = 10,
  COMMON_CHEN_LAMBDA = 11,
  COMMON_JACOBIAN_SMOOTHING = 12,
  COMMON_DECOMPOSITION_SIZE_LIMIT = 13,
  COMMON_GMRES_UPDATE_FREQUENCY = 14,
  COMMON_ILU_DROP_TOLERANCE = 15,
  COMMON_ILU_PERTURBATION = 16,
  COMMON_ILU_PERTURBATION_INITIAL_VALUE = 17,
  COMMON_ILU_PERTURBATION_SMALL_VALUE = 18,
  COMMON_ILU_PERTURBATION_INCREASE_FACTOR = 19,
  COMMON_ILU_PERTURBATION_DECREASE_FACTOR = 20,
  COMMON_OUTPUT = 21,
  COMMON_OUTPUT_ERRORS = 22,
  COMMON_OUTPUT_WARNINGS = 23,
  COMMON_OUTPUT_MAJOR_ITERATIONS = 24,
  COMMON_OUTPUT_MAJOR_ITERATIONS_FREQUENCY = 25,
  COMMON_OUTPUT_MINOR_ITERATIONS = 26,
  COMMON_OUTPUT_MINOR_ITERATIONS_FREQUENCY = 27,
  COMMON_OUTPUT_CRASH_ITERATIONS = 28,
  COMMON_OUTPUT_CRASH_ITERATIONS_FREQUENCY = 29,
  COMMON_OUTPUT_NMS_ITERATIONS = 30,
  COMMON_OUTPUT_NMS_ITERATIONS_FREQUENCY = 31,
  COMMON_OUTPUT_MODEL_STATISTICS = 32,
  COMMON_OUTPUT_INITIAL_POINT = 33,
  COMMON_OUTPUT_INITIAL_STATISTICS = 34,
  COMMON_OUTPUT_INITIAL_POINT_STATISTICS = 35,
  COMMON_OUTPUT_INITIAL_SCALING_STATISTICS = 36,
  COMMON_OUTPUT_FINAL_POINT = 37,
  COMMON_OUTPUT_FINAL_STATISTICS = 38,
  COMMON_OUTPUT_FINAL_POINT_STATISTICS = 39,
  COMMON_OUTPUT_FINAL_SCALING_STATISTICS = 40,
  COMMON_OUTPUT_FINAL_DEGENERACY_STATISTICS = 41,
  COMMON_OUTPUT_FINAL_SUMMARY = 42,
  COMMON_OUTPUT_MAXIMUM_ZERO_LOG = 43,
  COMMON_OUTPUT_MAXIMUM_ZERO_LISTING = 44,
  COMMON_OUTPUT_RESTART_LOG = 45,
  COMMON_OUTPUT_OPTIONS = 46,
  COMMON_OUTPUT_HIDDEN_OPTIONS = 47,
  COMMON_NONLINEAR_MODEL_USE_START = 48,
  COMMON_PROJECT_START = 49,
  COMMON_CHECK_SKEW_SYMMETRY = 50,
  COMMON_OPTION_COUNT = 51,
};

// The common table, process-wide; values persist until Options_Default.
extern Option Options_CommonTable[COMMON_OPTION_COUNT];

inline bool Options_CommonBool(int index) { return Options_CommonTable[index].bool_value != 0; }
inline int Options_CommonInt(int index) { return Options_CommonTable[index].int_value; }
inline double Options_CommonDouble(int index) { return Options_CommonTable[index].double_value; }

// Writes the defaults of the common table, in table order.
void Options_CommonDefaults();

// ---------------------------------------------------------------------------
// The registry.

// Allocates the object and adds the factorization and presolve groups.
Options* Options_Create();
// Calls every group's release (in order of addition) and frees the object.
void Options_Destroy(Options* options);
// Appends group; returns the new group count. Absent object or group: fatal
// "null argument"; group without set_defaults: fatal "null element".
int Options_Add(Options* options, OptionGroup* group);
// Common defaults, then every group's set_defaults in order of addition.
void Options_Default(Options* options);
// Prints the current values: mode 2, plus 1 when output_options is yes.
void Options_Display(Options* options);
// 1 when the typed text names the stored option (abbreviated word matching).
int Options_MatchName(const char* stored, const char* typed);
// Finds an option by typed name; the text is prepared in place. Returns 1
// with (group, index), or 0 after "Options: Find: invalid options: %s\n".
int Options_Find(Options* options, char* text, int* group, int* index);

// Parse value text for option (group, index) and store it with its side
// effects. 0 stored, 1 invalid value (nothing stored, no hook called).
int Options_SetBooleanValue(Options* options, int group, const char* value, int index);
int Options_SetIntValue(Options* options, int group, const char* value, int index);
int Options_SetDoubleValue(Options* options, int group, const char* value, int index);
int Options_SetOtherValue(Options* options, int group, const char* value, int index);

// By name and typed value: 0 stored, 2 not found, 3 wrong type (or, for
// Options_SetOther, a code outside the enumeration).
int Options_SetBoolean(Options* options, const char* name, int value);
int Options_SetInt(Options* options, const char* name, int value);
int Options_SetDouble(Options* options, const char* name, double value);
int Options_SetOther(Options* options, const char* name, int code);

// By name: the field asked for; 0 when not found; a type mismatch prints
// "Options: Get...: invalid type.\n" and still returns the field.
int Options_GetBoolean(Options* options, const char* name);
int Options_GetInt(Options* options, const char* name);
double Options_GetDouble(Options* options, const char* name);
int Options_GetOther(Options* options, const char* name);

// Option lines. SetLine applies one prepared line (line number 0 for forced
// lines): 1 stored, 0 otherwise. Set prepares and applies a forced line: 0
// applied or ignored, 2 failed. Read applies a file: 0 ok, 1 not opened,
// 2 some line failed.
int Options_SetLine(Options* options, char* text, int line_number);
int Options_Set(Options* options, const char* text);
int Options_Read(Options* options, const char* file_name);
