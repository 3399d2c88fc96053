// Option lines and the option file: one option per line, its (possibly
// abbreviated) name, white space and its value.
#include <cstdio>
#include <cstring>

#include "core/Options.hpp"
#include "core/Options_internal.hpp"
#include "core/Output.hpp"

namespace {

constexpr int LINE_BUFFER = 1024;  // lines are taken in chunks of at most 1023 characters

// The value text of a line: after the first white space that follows the
// start of the name, and after the white space there. A name without white
// space behind it has an empty value.
const char* ValueText(const char* text) {
  const char* c = text;
  while (*c != '\0' && !Options_IsBlank(*c)) ++c;
  while (Options_IsBlank(*c)) ++c;
  return c;
}

// Converts and stores the value of option (group, index) with the setter of
// its type. Returns true when stored.
bool SetValue(Options* options, int group, int index, const char* value) {
  const Option* option = Options_Lookup(options, group, index);
  switch (option->type) {
    case OPTION_BOOLEAN:
      return Options_SetBooleanValue(options, group, value, index) == OPTIONS_STORED;
    case OPTION_INTEGER:
      return Options_SetIntValue(options, group, value, index) == OPTIONS_STORED;
    case OPTION_DOUBLE:
      return Options_SetDoubleValue(options, group, value, index) == OPTIONS_STORED;
    default:
      return group != OPTIONS_COMMON_GROUP &&
             Options_SetOtherValue(options, group, value, index) == OPTIONS_STORED;
  }
}

}  // namespace

int Options_SetLine(Options* options, const char* text, int line_number) {
  if (text == nullptr) text = "";
  int group = 0;
  int index = 0;
  if (Options_FirstMatch(options, text, &group, &index) &&
      SetValue(options, group, index, ValueText(text))) {
    if (Options_CommonBool(COMMON_OUTPUT)) Output_Printf(OUTPUT_ALL, " > %s\n", text);
    return 1;
  }
  if (line_number < 1) {
    Output_Printf(OUTPUT_ALL, "Options: Set: option invalid: %s\n", text);
  } else {
    Output_Printf(OUTPUT_ALL, "Options: Read: Line %d invalid: %s\n", line_number, text);
  }
  return 0;
}

int Options_Set(Options* options, const char* text) {
  char buffer[LINE_BUFFER];
  std::strncpy(buffer, text != nullptr ? text : "", LINE_BUFFER - 1);
  buffer[LINE_BUFFER - 1] = '\0';
  const char* line = Options_PrepareText(buffer);
  if (Options_IsIgnored(line)) return OPTIONS_APPLIED;
  return Options_SetLine(options, line, 0) ? OPTIONS_APPLIED : OPTIONS_LINE_FAILED;
}

int Options_Read(Options* options, const char* file_name) {
  std::FILE* file = file_name != nullptr ? std::fopen(file_name, "r") : nullptr;
  if (file == nullptr) {
    Output_Printf(OUTPUT_ALL, "Could not open options file: %s\nUsing defaults.\n",
                  file_name != nullptr ? file_name : "");
    return OPTIONS_NO_FILE;
  }
  Output_Printf(OUTPUT_ALL, "Reading options file %s\n", file_name);
  char buffer[LINE_BUFFER];
  int line_number = 0;
  bool failed = false;
  while (true) {
    ++line_number;
    if (std::fgets(buffer, LINE_BUFFER, file) == nullptr) break;
    const char* line = Options_PrepareText(buffer);
    if (Options_IsIgnored(line)) continue;
    if (!Options_SetLine(options, line, line_number)) failed = true;
  }
  std::fclose(file);
  Output_Printf(OUTPUT_ALL, "Read of options file complete.\n\n");
  return failed ? OPTIONS_LINE_FAILED : OPTIONS_APPLIED;
}
