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

// A table entry with its name, visibility and type and every value 0; a
// constant expression, so static tables are filled before any code runs.
constexpr Option Options_MakeOption(const char* name, std::int32_t visible, std::int32_t type) {
  Option option{};
  int k = 0;
  for (; name[k] != '\0' && k < 127; ++k) option.name[k] = name[k];
  option.name[k] = '\0';
  option.visible = visible;
  option.type = type;
  return option;
}

// Keywords of an enumeration are kept in 32-character slots, in code order.
constexpr int OPTION_KEYWORD_SLOT = 32;
using OptionKeyword = char[OPTION_KEYWORD_SLOT];

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
  // type_count entries; entry t >= 3 is the number of keywords of type t,
  // so that a code set by name can be checked. May be empty for a group
  // without enumerations.
  const std::int32_t* keyword_counts;
};

struct Options {
  OptionGroup** groups;
  std::int32_t capacity;     // 10 at creation, grown by 10
  std::int32_t group_count;
};

// ---------------------------------------------------------------------------
// The common option table (group 0).

// The group number of the common table.
constexpr int OPTIONS_COMMON_GROUP = 0;

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

// Allocates the object with room for 10 groups and no group yet. The layers
// that own groups add them (Sarn_CreateOptions adds the factorization group,
// then the presolve group; hosts add the solver's groups afterwards with
// Sarn_AddOptions). A failed allocation is the solver error of Memory.
Options* Options_Create();
// Calls every group's release (in order of addition, where set) and frees
// the object; the static group records and tables are not touched, so the
// values stay until the next Options_Default. nullptr is ignored.
void Options_Destroy(Options* options);
// Appends group and returns the new group count; the room grows by 10 when
// full (order kept). Absent object or group: fatal "null argument"; group
// without set_defaults, or with options but no table: fatal "null element".
int Options_Add(Options* options, OptionGroup* group);
// Writes the common defaults, then calls every group's set_defaults in order
// of addition. Calls no hook. Absent object: fatal "null argument".
void Options_Default(Options* options);
// Prints the current values in table order, the common table first, then
// each group: mode 2, plus 1 when output_options is yes; options with
// visible 1 only, unless output_hidden_options is yes. A group option of a
// type without a printer is the solver error "invalid type" (report form).
void Options_Display(Options* options);
// 1 when the typed text names the stored option: the same number of
// "_"-separated words, each typed word agreeing with the first three letters
// of its stored word (the whole stored word when shorter). The typed name
// ends at white space, so a value may follow it. Case-sensitive.
int Options_MatchName(const char* stored, const char* typed);
// Finds an option by typed name. The text is prepared in place (leading
// white space skipped, lower-cased, ended at its newline). Stores (group,
// index) and returns 1; group 0 is the common table, then the groups from 1
// in order of addition; the first match wins. An empty text, a comment or
// no match prints "Options: Find: invalid options: %s\n" (mode 7) and
// returns 0. options may be null: only the common table is searched.
int Options_Find(Options* options, char* text, int* group, int* index);

// The option (group, index), or nullptr when either is out of range.
// Group 0 is the common table.
Option* Options_Lookup(Options* options, int group, int index);

// Results of the setters (by value text and by name).
enum OptionsSetResult : int {
  OPTIONS_STORED = 0,         // the value was stored and its side effects ran
  OPTIONS_INVALID_VALUE = 1,  // value setters: invalid text, no such option, or another type
  OPTIONS_NOT_FOUND = 2,      // by name: no option has that name
  OPTIONS_WRONG_TYPE = 3,     // by name: another type (SetOther: also a code out of range)
};

// Results of the option-line and option-file readers (Options_Set,
// Options_Read).
enum OptionsReadResult : int {
  OPTIONS_APPLIED = 0,      // every line applied, or ignored (blank, comment)
  OPTIONS_NO_FILE = 1,      // Options_Read: the file could not be opened
  OPTIONS_LINE_FAILED = 2,  // at least one line failed
  OPTIONS_STOPPED = 3,      // Options_Read: the file is longer than an option file may be
};

// Most of an option file that Options_Read takes: lines (chunks) and bytes.
constexpr int OPTIONS_FILE_LINE_LIMIT = 10000;
constexpr long OPTIONS_FILE_BYTE_LIMIT = 1L << 20;

// Convert the value text for option (group, index) and store it, then run
// the side effects: for a common option its cascades within the common table
// (output, output_model_statistics, cumulative_iteration_limit) and every
// group's on_common_change hook in order of addition, through which the
// groups apply those cascades to their own options; for a group option that
// group's on_change hook. Return OPTIONS_STORED, or OPTIONS_INVALID_VALUE
// when the text is invalid, the option does not exist or is not of the
// setter's type (nothing stored, no hook called).
//   Boolean: first character 1/y/Y yes, 0/n/N no.
//   Integer: a decimal number at the start (trailing text ignored) within
//            the 32-bit range.
//   Double:  a number at the start in any standard form (trailing text
//            ignored); an overflow or a NaN is invalid, and so is an
//            infinity of zero or less.
//   Other:   a group enumeration; the group's parser for the option's type
//            decides (and may act, e.g. select a back-end).
int Options_SetBooleanValue(Options* options, int group, const char* value, int index);
int Options_SetIntValue(Options* options, int group, const char* value, int index);
int Options_SetDoubleValue(Options* options, int group, const char* value, int index);
int Options_SetOtherValue(Options* options, int group, const char* value, int index);

// By name (taken up to 1023 characters, looked up with Options_Find) and
// typed value, with the same side effects as the value setters, except that
// SetBoolean of output to no leaves output_restart_log and (through its
// group's hook, see Options_CommonChangeFromLine) output_presolve_level
// alone. A boolean is stored as 0 or 1. Return OPTIONS_STORED,
// OPTIONS_NOT_FOUND or OPTIONS_WRONG_TYPE ("Options: Set...: invalid
// type.\n", mode 7). SetOther also returns OPTIONS_WRONG_TYPE for a code
// outside the enumeration ("Options: SetOther: invalid value.\n") and
// stores nothing then; it does not run the parser's action (a group that
// acts on a code does so in its on_change hook). SetDouble refuses in the
// same way ("Options: SetDouble: invalid value.\n") the doubles that the
// option lines refuse: a NaN, and an infinity of zero or less.
int Options_SetBoolean(Options* options, const char* name, int value);
int Options_SetInt(Options* options, const char* name, int value);
int Options_SetDouble(Options* options, const char* name, double value);
int Options_SetOther(Options* options, const char* name, int code);

// By name: the field asked for (bool_value, int_value, double_value,
// int_value); 0 when not found; a type mismatch prints
// "Options: Get...: invalid type.\n" (mode 7) and still returns the field.
int Options_GetBoolean(Options* options, const char* name);
int Options_GetInt(Options* options, const char* name);
double Options_GetDouble(Options* options, const char* name);
int Options_GetOther(Options* options, const char* name);

// Option lines.
// SetLine applies one prepared line (lower-case, no leading white space, no
// newline; the text begins at the name, the value follows white space). The
// first option the name matches takes the value; when it refuses it no other
// option is tried. Stored: echoes " > %s\n" (mode 7) while output is yes and
// returns 1. Otherwise prints "Options: Set: option invalid: %s\n" (line
// number below 1) or "Options: Read: Line %d invalid: %s\n" (mode 7) and
// returns 0.
int Options_SetLine(Options* options, const char* text, int line_number);
// Copies text (at most 1023 characters), prepares it and applies it unless
// it is empty or a comment. OPTIONS_APPLIED (applied or ignored) or
// OPTIONS_LINE_FAILED.
int Options_Set(Options* options, const char* text);
// Applies every line of the named file, read in chunks of at most 1023
// characters (a longer line goes on as the next line); blank and comment
// lines count as lines. OPTIONS_APPLIED (every line applied or ignored),
// OPTIONS_NO_FILE ("Could not open options file: %s\nUsing defaults.\n") or
// OPTIONS_LINE_FAILED (at least one line failed; a failure does not stop
// it). The reading never waits for data (a pipe without a writer reads as
// empty) and stops after OPTIONS_FILE_LINE_LIMIT lines or
// OPTIONS_FILE_BYTE_LIMIT bytes, so that a link to an endless device ends:
// "Read of options file stopped early: more than %d lines or %ld bytes.\n",
// and OPTIONS_STOPPED (the lines before the limit stay applied).
int Options_Read(Options* options, const char* file_name);

// While the on_common_change hooks run: 1 when the common option was set
// from value text (the value setters, so option lines and the option file),
// 0 when it was set by name. A group whose cascade differs between the two
// forms reads it; outside the hooks it is 0.
int Options_CommonChangeFromLine();

// Clears the note of the setting in progress (process-state reset after an
// abandoned call).
void Options_ForgetState();
// True while no setting is in progress.
bool Options_StateAtRest();

// ---------------------------------------------------------------------------
// Keyword helpers shared by the groups' printers and parsers.

// Compares the first three characters of text with each of the count
// keywords in order (a shorter text must end where the keyword does). On the
// first agreement stores its index in *code and returns 1; otherwise returns
// 0 and leaves *code alone.
int Options_ParseKeyword(const char* text, const OptionKeyword* keywords, int count, int* code);
// Prints "%s %s\n" with the option's name and the keyword of its int_value
// in mode; a code outside 0..count-1 is printed as a number ("%s %d\n").
void Options_PrintKeyword(int mode, const Option& option, const OptionKeyword* keywords,
                          int count);
