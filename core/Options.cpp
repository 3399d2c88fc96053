// Options registry: group registration, defaults, listing, abbreviated name
// matching, and the setters and getters with their side effects.
#include "core/Options.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Options_internal.hpp"
#include "core/Output.hpp"

namespace {

constexpr int INITIAL_CAPACITY = 10;
constexpr int CAPACITY_STEP = 10;
constexpr int NAME_BUFFER = 1024;  // names given by value: at most 1023 characters

// 1 while the hooks run for a common option set from value text, 0 otherwise.
int common_change_from_line = 0;

// ---------------------------------------------------------------------------
// Name matching helpers.

// End of a stored word: "_" or the end of the name.
bool StoredWordEnds(char c) { return c == '_' || c == '\0'; }

// End of a typed word: "_", white space or the end of the text.
bool TypedWordEnds(char c) { return c == '_' || c == '\0' || Options_IsBlank(c); }

// ---------------------------------------------------------------------------
// Group access.

OptionGroup* GroupOf(Options* options, int group) {
  if (options == nullptr || group < 1 || group > options->group_count) return nullptr;
  return options->groups[group - 1];
}

// Every group's on_common_change hook in order of addition; from_line tells
// the hooks which form set the option (Options_CommonChangeFromLine).
void CallCommonHooks(Options* options, int index, bool from_line) {
  if (options == nullptr) return;
  struct FormScope {
    explicit FormScope(bool line) { common_change_from_line = line ? 1 : 0; }
    ~FormScope() { common_change_from_line = 0; }
  } form(from_line);
  for (int k = 0; k < options->group_count; ++k) {
    OptionGroup* g = options->groups[k];
    if (g->on_common_change != nullptr) g->on_common_change(index);
  }
}

void CallGroupHook(Options* options, int group, int index) {
  OptionGroup* g = GroupOf(options, group);
  if (g != nullptr && g->on_change != nullptr) g->on_change(index);
}

// After a common or group option was set: the group's own hook, or every
// group's common hook. from_line: the option was set from value text.
void CallHooks(Options* options, int group, int index, bool from_line) {
  if (group == OPTIONS_COMMON_GROUP) {
    CallCommonHooks(options, index, from_line);
  } else {
    CallGroupHook(options, group, index);
  }
}

// ---------------------------------------------------------------------------
// Cascades of the common options.

void SetCommonBools(const int* indices, int count, int value) {
  for (int k = 0; k < count; ++k) Options_CommonTable[indices[k]].bool_value = value;
}

// The statistics switches that output_model_statistics sets as a block.
const int kStatisticsOptions[] = {
    COMMON_OUTPUT_INITIAL_STATISTICS,       COMMON_OUTPUT_INITIAL_POINT_STATISTICS,
    COMMON_OUTPUT_INITIAL_SCALING_STATISTICS, COMMON_OUTPUT_FINAL_STATISTICS,
    COMMON_OUTPUT_FINAL_POINT_STATISTICS,   COMMON_OUTPUT_FINAL_SCALING_STATISTICS,
    COMMON_OUTPUT_FINAL_DEGENERACY_STATISTICS,
};

// The common switches that output set to no clears (besides
// output_restart_log, which only the option lines clear).
const int kOutputOptions[] = {
    COMMON_OUTPUT_ERRORS,
    COMMON_OUTPUT_WARNINGS,
    COMMON_OUTPUT_MAJOR_ITERATIONS,
    COMMON_OUTPUT_MINOR_ITERATIONS,
    COMMON_OUTPUT_CRASH_ITERATIONS,
    COMMON_OUTPUT_NMS_ITERATIONS,
    COMMON_OUTPUT_INITIAL_POINT,
    COMMON_OUTPUT_INITIAL_STATISTICS,
    COMMON_OUTPUT_INITIAL_POINT_STATISTICS,
    COMMON_OUTPUT_INITIAL_SCALING_STATISTICS,
    COMMON_OUTPUT_FINAL_POINT,
    COMMON_OUTPUT_FINAL_STATISTICS,
    COMMON_OUTPUT_FINAL_POINT_STATISTICS,
    COMMON_OUTPUT_FINAL_SCALING_STATISTICS,
    COMMON_OUTPUT_FINAL_DEGENERACY_STATISTICS,
    COMMON_OUTPUT_FINAL_SUMMARY,
    COMMON_OUTPUT_OPTIONS,
    COMMON_OUTPUT_HIDDEN_OPTIONS,
};

// Applied after a common boolean was stored, to the common table; the
// groups follow in their on_common_change hooks. from_line: the option-line
// form, which also clears output_restart_log when output goes off; the
// by-name form leaves it alone.
void CascadeCommonBoolean(int index, bool from_line) {
  const int value = Options_CommonTable[index].bool_value;
  if (index == COMMON_OUTPUT && value == 0) {
    SetCommonBools(kOutputOptions, sizeof kOutputOptions / sizeof kOutputOptions[0], 0);
    if (from_line) Options_CommonTable[COMMON_OUTPUT_RESTART_LOG].bool_value = 0;
  } else if (index == COMMON_OUTPUT_MODEL_STATISTICS) {
    SetCommonBools(kStatisticsOptions, sizeof kStatisticsOptions / sizeof kStatisticsOptions[0],
                   value);
  }
}

// Applied after a common integer was stored, to the common table; the
// groups follow in their on_common_change hooks.
void CascadeCommonInteger(int index) {
  if (index != COMMON_CUMULATIVE_ITERATION_LIMIT) return;
  Option* t = Options_CommonTable;
  const int limit = t[COMMON_CUMULATIVE_ITERATION_LIMIT].int_value;
  if (limit == 0) {
    t[COMMON_MAJOR_ITERATION_LIMIT].int_value = 0;
    t[COMMON_MINOR_ITERATION_LIMIT].int_value = 0;
    t[COMMON_CRASH_ITERATION_LIMIT].int_value = 0;
    t[COMMON_CRASH_MINOR_ITERATION_LIMIT].int_value = 0;
  } else if (t[COMMON_MINOR_ITERATION_LIMIT].int_value > limit) {
    t[COMMON_MINOR_ITERATION_LIMIT].int_value = limit;
  }
}

// ---------------------------------------------------------------------------
// Value text conversion.

// Boolean: the first character decides. Returns false for anything else.
bool ParseBoolean(const char* text, int* value) {
  if (text == nullptr) return false;
  switch (text[0]) {
    case '1': case 'y': case 'Y': *value = 1; return true;
    case '0': case 'n': case 'N': *value = 0; return true;
    default: return false;
  }
}

// Decimal integer at the start of the text (leading white space and a sign
// allowed, trailing text ignored); values outside the 32-bit range are
// rejected.
bool ParseInteger(const char* text, int* value) {
  if (text == nullptr) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  *value = static_cast<int>(parsed);
  return true;
}

// Real number at the start of the text in any form the standard conversion
// accepts (trailing text ignored). An overflow and a NaN are rejected: no
// option of the library has a meaning for them.
bool ParseDouble(const char* text, double* value) {
  if (text == nullptr) return false;
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(text, &end);
  if (end == text || std::isnan(parsed)) return false;
  if (errno == ERANGE && std::isinf(parsed)) return false;
  *value = parsed;
  return true;
}

// Whether a double may be stored in option (group, index). A NaN has no
// meaning for any option (every comparison with it fails, so a tolerance or
// a limit of NaN silently changes what the solver does), and an infinity of
// zero or less would make every bound infinite, 0 included.
bool DoubleAccepted(int group, int index, double value) {
  if (std::isnan(value)) return false;
  return group != OPTIONS_COMMON_GROUP || index != COMMON_INFINITY || value > 0.0;
}

// The option (group, index) when its type is the one given.
Option* TypedOption(Options* options, int group, int index, int type) {
  Option* option = Options_Lookup(options, group, index);
  if (option == nullptr || option->type != type) return nullptr;
  return option;
}

// ---------------------------------------------------------------------------
// By-name helpers.

// Copies the name (at most 1023 characters) and looks it up. Returns the
// option, or nullptr after Options_Find's message.
Option* FindByName(Options* options, const char* name, int* group, int* index) {
  char buffer[NAME_BUFFER];
  std::strncpy(buffer, name != nullptr ? name : "", NAME_BUFFER - 1);
  buffer[NAME_BUFFER - 1] = '\0';
  if (!Options_Find(options, buffer, group, index)) return nullptr;
  return Options_Lookup(options, *group, *index);
}

// The enumeration of a group option: true with its keyword count when the
// option's type is one of the group's enumerations.
bool EnumerationOf(Options* options, int group, const Option& option, int* count) {
  OptionGroup* g = GroupOf(options, group);
  if (g == nullptr || option.type < OPTION_FIRST_ENUMERATION || option.type >= g->type_count) {
    return false;
  }
  *count = g->keyword_counts != nullptr ? g->keyword_counts[option.type] : 0;
  return true;
}

void PrintOption(Options* options, int group, int index, const Option& option, int mode) {
  switch (option.type) {
    case OPTION_BOOLEAN:
      Output_Printf(mode, "%s %s\n", option.name, option.bool_value == 1 ? "yes" : "no");
      return;
    case OPTION_INTEGER:
      Output_Printf(mode, "%s %d\n", option.name, option.int_value);
      return;
    case OPTION_DOUBLE:
      Output_Printf(mode, "%s %g\n", option.name, option.double_value);
      return;
    default:
      break;
  }
  OptionGroup* g = GroupOf(options, group);
  if (g == nullptr || option.type < OPTION_FIRST_ENUMERATION || option.type >= g->type_count ||
      g->printers == nullptr ||
      g->printers[option.type] == nullptr) {
    Error_Report("Options", __LINE__, "Display", "invalid type");
  }
  g->printers[option.type](mode, index);
}

void DisplayTable(Options* options, int group, const Option* table, int count, int mode,
                  bool hidden) {
  for (int k = 0; k < count; ++k) {
    if (table[k].visible == 1 || hidden) PrintOption(options, group, k, table[k], mode);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle and registration.

Options* Options_Create() {
  Options* options = static_cast<Options*>(Memory_Allocate(sizeof(Options)));
  try {
    options->groups = Memory_AllocateArray<OptionGroup*>(INITIAL_CAPACITY);
  } catch (...) {  // a solver error leaving through the host's callback
    Memory_Free(options);
    throw;
  }
  options->capacity = INITIAL_CAPACITY;
  options->group_count = 0;
  return options;
}

int Options_CommonChangeFromLine() { return common_change_from_line; }

void Options_ForgetState() { common_change_from_line = 0; }

bool Options_StateAtRest() { return common_change_from_line == 0; }

void Options_Destroy(Options* options) {
  if (options == nullptr) return;
  for (int k = 0; k < options->group_count; ++k) {
    if (options->groups[k]->release != nullptr) options->groups[k]->release();
  }
  Memory_Free(options->groups);
  Memory_Free(options);
}

int Options_Add(Options* options, OptionGroup* group) {
  if (options == nullptr || group == nullptr) {
    Error_FatalReport("Options", __LINE__, "Add", "null argument");
  }
  if (group->set_defaults == nullptr || (group->options == nullptr && group->option_count > 0)) {
    Error_FatalReport("Options", __LINE__, "Add", "null element");
  }
  if (options->group_count == options->capacity) {
    const int capacity = options->capacity + CAPACITY_STEP;
    OptionGroup** groups = Memory_AllocateArray<OptionGroup*>(capacity);
    for (int k = 0; k < options->group_count; ++k) groups[k] = options->groups[k];
    Memory_Free(options->groups);
    options->groups = groups;
    options->capacity = capacity;
  }
  options->groups[options->group_count] = group;
  options->group_count += 1;
  return options->group_count;
}

void Options_Default(Options* options) {
  if (options == nullptr) Error_FatalReport("Options", __LINE__, "Default", "null argument");
  Options_CommonDefaults();
  for (int k = 0; k < options->group_count; ++k) options->groups[k]->set_defaults();
}

void Options_Display(Options* options) {
  int mode = OUTPUT_STATUS;
  if (Options_CommonBool(COMMON_OUTPUT_OPTIONS)) mode |= OUTPUT_LOG;
  const bool hidden = Options_CommonBool(COMMON_OUTPUT_HIDDEN_OPTIONS);
  DisplayTable(options, OPTIONS_COMMON_GROUP, Options_CommonTable, COMMON_OPTION_COUNT, mode,
               hidden);
  if (options == nullptr) return;
  for (int k = 0; k < options->group_count; ++k) {
    const OptionGroup* g = options->groups[k];
    DisplayTable(options, k + 1, g->options, g->option_count, mode, hidden);
  }
}

// ---------------------------------------------------------------------------
// Lookup.

int Options_MatchName(const char* stored, const char* typed) {
  if (stored == nullptr || typed == nullptr) return 0;
  int i = 0;
  int j = 0;
  while (stored[i] != '\0') {
    // The typed name ended while the stored one has words left.
    if (typed[j] == '\0' || Options_IsBlank(typed[j])) return 0;
    // Up to three characters of the current words must agree.
    int k = 0;
    while (k < 3 && !StoredWordEnds(stored[i + k]) && !TypedWordEnds(typed[j + k]) &&
           stored[i + k] == typed[j + k]) {
      ++k;
    }
    if (k < 3 && !StoredWordEnds(stored[i + k])) return 0;
    // Skip the rest of both words and their "_".
    i += k;
    while (!StoredWordEnds(stored[i])) ++i;
    if (stored[i] == '_') ++i;
    j += k;
    while (!TypedWordEnds(typed[j])) ++j;
    if (typed[j] == '_') ++j;
  }
  // A typed name with more words than the stored one ends on "_".
  return (j > 0 && typed[j - 1] == '_') ? 0 : 1;
}

bool Options_IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

char* Options_PrepareText(char* text) {
  char* start = text;
  while (Options_IsBlank(*start)) ++start;
  for (char* c = start; *c != '\0'; ++c) {
    if (*c == '\n') {
      *c = '\0';
      break;
    }
    *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  }
  return start;
}

bool Options_IsIgnored(const char* prepared) { return prepared[0] == '\0' || prepared[0] == '*'; }

bool Options_FirstMatch(Options* options, const char* prepared, int* group, int* index) {
  for (int k = 0; k < COMMON_OPTION_COUNT; ++k) {
    if (Options_MatchName(Options_CommonTable[k].name, prepared)) {
      *group = OPTIONS_COMMON_GROUP;
      *index = k;
      return true;
    }
  }
  const int groups = options != nullptr ? options->group_count : 0;
  for (int g = 0; g < groups; ++g) {
    const OptionGroup* record = options->groups[g];
    for (int k = 0; k < record->option_count; ++k) {
      if (Options_MatchName(record->options[k].name, prepared)) {
        *group = g + 1;
        *index = k;
        return true;
      }
    }
  }
  return false;
}

int Options_Find(Options* options, char* text, int* group, int* index) {
  if (text == nullptr) return 0;
  const char* prepared = Options_PrepareText(text);
  if (!Options_IsIgnored(prepared) && Options_FirstMatch(options, prepared, group, index)) {
    return 1;
  }
  Output_Printf(OUTPUT_ALL, "Options: Find: invalid options: %s\n", prepared);
  return 0;
}

Option* Options_Lookup(Options* options, int group, int index) {
  if (group == OPTIONS_COMMON_GROUP) {
    if (index < 0 || index >= COMMON_OPTION_COUNT) return nullptr;
    return &Options_CommonTable[index];
  }
  OptionGroup* g = GroupOf(options, group);
  if (g == nullptr || index < 0 || index >= g->option_count) return nullptr;
  return &g->options[index];
}

// ---------------------------------------------------------------------------
// Setters from value text.

int Options_SetBooleanValue(Options* options, int group, const char* value, int index) {
  Option* option = TypedOption(options, group, index, OPTION_BOOLEAN);
  int parsed = 0;
  if (option == nullptr || !ParseBoolean(value, &parsed)) return OPTIONS_INVALID_VALUE;
  option->bool_value = parsed;
  if (group == OPTIONS_COMMON_GROUP) CascadeCommonBoolean(index, true);
  CallHooks(options, group, index, true);
  return OPTIONS_STORED;
}

int Options_SetIntValue(Options* options, int group, const char* value, int index) {
  Option* option = TypedOption(options, group, index, OPTION_INTEGER);
  int parsed = 0;
  if (option == nullptr || !ParseInteger(value, &parsed)) return OPTIONS_INVALID_VALUE;
  option->int_value = parsed;
  if (group == OPTIONS_COMMON_GROUP) CascadeCommonInteger(index);
  CallHooks(options, group, index, true);
  return OPTIONS_STORED;
}

int Options_SetDoubleValue(Options* options, int group, const char* value, int index) {
  Option* option = TypedOption(options, group, index, OPTION_DOUBLE);
  double parsed = 0.0;
  if (option == nullptr || !ParseDouble(value, &parsed) || !DoubleAccepted(group, index, parsed)) {
    return OPTIONS_INVALID_VALUE;
  }
  option->double_value = parsed;
  CallHooks(options, group, index, true);
  return OPTIONS_STORED;
}

int Options_SetOtherValue(Options* options, int group, const char* value, int index) {
  OptionGroup* g = GroupOf(options, group);
  Option* option = Options_Lookup(options, group, index);
  if (g == nullptr || option == nullptr || value == nullptr) return OPTIONS_INVALID_VALUE;
  const int type = option->type;
  if (type < OPTION_FIRST_ENUMERATION || type >= g->type_count || g->parsers == nullptr ||
      g->parsers[type] == nullptr) {
    return OPTIONS_INVALID_VALUE;
  }
  int code = 0;
  if (!g->parsers[type](value, &code)) return OPTIONS_INVALID_VALUE;
  option->int_value = code;
  CallGroupHook(options, group, index);
  return OPTIONS_STORED;
}

// ---------------------------------------------------------------------------
// Setters and getters by name.

int Options_SetBoolean(Options* options, const char* name, int value) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return OPTIONS_NOT_FOUND;
  if (option->type != OPTION_BOOLEAN) {
    Output_Printf(OUTPUT_ALL, "Options: SetBoolean: invalid type.\n");
    return OPTIONS_WRONG_TYPE;
  }
  option->bool_value = value != 0 ? 1 : 0;
  if (group == OPTIONS_COMMON_GROUP) CascadeCommonBoolean(index, false);
  CallHooks(options, group, index, false);
  return OPTIONS_STORED;
}

int Options_SetInt(Options* options, const char* name, int value) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return OPTIONS_NOT_FOUND;
  if (option->type != OPTION_INTEGER) {
    Output_Printf(OUTPUT_ALL, "Options: SetInt: invalid type.\n");
    return OPTIONS_WRONG_TYPE;
  }
  option->int_value = value;
  if (group == OPTIONS_COMMON_GROUP) CascadeCommonInteger(index);
  CallHooks(options, group, index, false);
  return OPTIONS_STORED;
}

int Options_SetDouble(Options* options, const char* name, double value) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return OPTIONS_NOT_FOUND;
  if (option->type != OPTION_DOUBLE) {
    Output_Printf(OUTPUT_ALL, "Options: SetDouble: invalid type.\n");
    return OPTIONS_WRONG_TYPE;
  }
  if (!DoubleAccepted(group, index, value)) {
    Output_Printf(OUTPUT_ALL, "Options: SetDouble: invalid value.\n");
    return OPTIONS_WRONG_TYPE;
  }
  option->double_value = value;
  CallHooks(options, group, index, false);
  return OPTIONS_STORED;
}

int Options_SetOther(Options* options, const char* name, int code) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return OPTIONS_NOT_FOUND;
  int count = 0;
  if (group == OPTIONS_COMMON_GROUP || !EnumerationOf(options, group, *option, &count)) {
    Output_Printf(OUTPUT_ALL, "Options: SetOther: invalid type.\n");
    return OPTIONS_WRONG_TYPE;
  }
  // A code outside the enumeration would make the listing read past its
  // keywords.
  if (code < 0 || code >= count) {
    Output_Printf(OUTPUT_ALL, "Options: SetOther: invalid value.\n");
    return OPTIONS_WRONG_TYPE;
  }
  option->int_value = code;
  CallGroupHook(options, group, index);
  return OPTIONS_STORED;
}

int Options_GetBoolean(Options* options, const char* name) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return 0;
  if (option->type != OPTION_BOOLEAN) Output_Printf(OUTPUT_ALL, "Options: GetBoolean: invalid type.\n");
  return option->bool_value;
}

int Options_GetInt(Options* options, const char* name) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return 0;
  if (option->type != OPTION_INTEGER) Output_Printf(OUTPUT_ALL, "Options: GetInt: invalid type.\n");
  return option->int_value;
}

double Options_GetDouble(Options* options, const char* name) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return 0.0;
  if (option->type != OPTION_DOUBLE) Output_Printf(OUTPUT_ALL, "Options: GetDouble: invalid type.\n");
  return option->double_value;
}

int Options_GetOther(Options* options, const char* name) {
  int group = 0, index = 0;
  Option* option = FindByName(options, name, &group, &index);
  if (option == nullptr) return 0;
  if (option->type < OPTION_FIRST_ENUMERATION) {
    Output_Printf(OUTPUT_ALL, "Options: GetOther: invalid type.\n");
  }
  return option->int_value;
}

// ---------------------------------------------------------------------------
// Keyword helpers.

int Options_ParseKeyword(const char* text, const OptionKeyword* keywords, int count, int* code) {
  if (text == nullptr || keywords == nullptr) return 0;
  for (int k = 0; k < count; ++k) {
    if (std::strncmp(text, keywords[k], 3) == 0) {
      *code = k;
      return 1;
    }
  }
  return 0;
}

void Options_PrintKeyword(int mode, const Option& option, const OptionKeyword* keywords,
                          int count) {
  const int code = option.int_value;
  if (keywords != nullptr && code >= 0 && code < count) {
    Output_Printf(mode, "%s %s\n", option.name, keywords[code]);
  } else {
    Output_Printf(mode, "%s %d\n", option.name, code);
  }
}
