// Option lines and the option file: one option per line, its (possibly
// abbreviated) name, white space and its value.
#include <cstdio>
#include <cstring>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Opens the file for reading without ever waiting for data: a pipe or a
// device that has nothing to give reads as ended instead of blocking. A
// folder opens but cannot be read: it is no option file.
std::FILE* OpenNoWait(const char* file_name) {
#if defined(__unix__) || defined(__APPLE__)
  const int fd = open(file_name, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "r");
  if (file == nullptr) close(fd);
  return file;
#else
  return std::fopen(file_name, "r");
#endif
}

// The next chunk of the file as fgets reads it (at most LINE_BUFFER - 1
// bytes, up to and with a newline), zero bytes included; counts the bytes
// into *bytes. False at the end of the file (or a read that would wait).
bool ReadChunk(std::FILE* file, char* buffer, long* bytes) {
  int length = 0;
  while (length < LINE_BUFFER - 1) {
    const int c = std::getc(file);
    if (c == EOF) break;
    buffer[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[length] = '\0';
  *bytes += length;
  return length > 0;
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
  std::FILE* file = file_name != nullptr ? OpenNoWait(file_name) : nullptr;
  if (file == nullptr) {
    Output_Printf(OUTPUT_ALL, "Could not open options file: %s\nUsing defaults.\n",
                  file_name != nullptr ? file_name : "");
    return OPTIONS_NO_FILE;
  }
  Output_Printf(OUTPUT_ALL, "Reading options file %s\n", file_name);
  char buffer[LINE_BUFFER];
  int line_number = 0;
  long bytes = 0;
  bool failed = false;
  bool stopped = false;
  while (true) {
    if (line_number >= OPTIONS_FILE_LINE_LIMIT || bytes >= OPTIONS_FILE_BYTE_LIMIT) {
      stopped = std::getc(file) != EOF;
      break;
    }
    ++line_number;
    if (!ReadChunk(file, buffer, &bytes)) break;
    const char* line = Options_PrepareText(buffer);
    if (Options_IsIgnored(line)) continue;
    if (!Options_SetLine(options, line, line_number)) failed = true;
  }
  std::fclose(file);
  if (stopped) {
    Output_Printf(OUTPUT_ALL,
                  "Read of options file stopped early: more than %d lines or %ld bytes.\n\n",
                  OPTIONS_FILE_LINE_LIMIT, OPTIONS_FILE_BYTE_LIMIT);
    return OPTIONS_STOPPED;
  }
  Output_Printf(OUTPUT_ALL, "Read of options file complete.\n\n");
  return failed ? OPTIONS_LINE_FAILED : OPTIONS_APPLIED;
}
