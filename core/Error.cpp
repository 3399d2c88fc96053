// Error reporting: fatal errors, solver errors and warnings.
#include "core/Error.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/Options.hpp"
#include "core/Output.hpp"

namespace {

Error_Interface default_interface = {nullptr, nullptr, nullptr};
Error_Interface* current = &default_interface;

// Formats into a 1024-character buffer; a longer text is formatted into a
// buffer of its own size so that nothing is cut.
std::string FormatMessage(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  char buffer[1024];
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(buffer, sizeof buffer, format, copy);
  va_end(copy);
  if (length < 0) return std::string();
  if (static_cast<size_t>(length) < sizeof buffer) return std::string(buffer, length);
  std::vector<char> large(static_cast<size_t>(length) + 1);
  std::vsnprintf(large.data(), large.size(), format, args);
  return std::string(large.data(), length);
}

void ThrowSolverError(void*, const char* text) { throw SolverErrorException(text); }

Error_Interface throwing_interface = {nullptr, ThrowSolverError, nullptr};

[[noreturn]] void RaiseSolverError(const std::string& text) {
  int mode = OUTPUT_STATUS | OUTPUT_LISTING;
  if (Options_CommonBool(COMMON_OUTPUT_ERRORS)) mode |= OUTPUT_LOG;
  Output_Printf(mode, "  ** SOLVER ERROR **\n");
  Output_Printf(mode, "%s", text.c_str());
  if (current != nullptr && current->on_error != nullptr) {
    current->on_error(current->context, text.c_str());
  }
  std::exit(-1);
}

[[noreturn]] void RaiseFatalError(const std::string& text) {
  std::fputs("  ** FATAL ERROR **\n", stderr);
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  std::exit(-1);
}

}  // namespace

void Error_FatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatMessage(format, args);
  va_end(args);
  RaiseFatalError(text);
}

void Error_SolverError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatMessage(format, args);
  va_end(args);
  RaiseSolverError(text);
}

void Error_Warning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatMessage(format, args);
  va_end(args);
  int mode = OUTPUT_STATUS;
  if (Options_CommonBool(COMMON_OUTPUT_WARNINGS)) mode |= OUTPUT_LOG;
  Output_Printf(mode, "  ** WARNING **\n");
  Output_Printf(mode, "%s", text.c_str());
  if (current != nullptr && current->on_warning != nullptr) {
    current->on_warning(current->context, text.c_str());
  }
}

void Error_SetInterface(Error_Interface* record) {
  if (record == nullptr) Error_FatalReport("Error", __LINE__, "SetInterface", "null argument");
  current = record;
}

void Error_Reset() { current = &default_interface; }

void Error_Report(const char* module, int line, const char* operation, const char* message) {
  Error_SolverError("%s(%d): %s: %s\n", module, line, operation, message);
}

void Error_FatalReport(const char* module, int line, const char* operation,
                       const char* message) {
  Error_FatalError("%s(%d): %s: %s\n", module, line, operation, message);
}

Error_Interface* Error_ThrowingInterface() { return &throwing_interface; }
