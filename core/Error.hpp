// Error reporting: fatal errors, solver errors and warnings.
//
// A fatal error (an interface installed without its record or slots, an
// option group without its default function) bypasses every service, writes
// to stderr and ends the process. A solver error prints through Output,
// calls the host's on_error callback and never returns to its caller: a host
// that wants to survive it leaves by throwing from on_error. A warning prints
// and returns.
#pragma once

#include <stdexcept>
#include <string>

// Slots of the error service. Both callbacks may be empty.
struct Error_Interface {
  void* context;
  void (*on_error)(void* context, const char* text);
  void (*on_warning)(void* context, const char* text);
};

// Writes "  ** FATAL ERROR **\n" and the formatted text to stderr and ends the
// process with status -1. Uses no installed service.
[[noreturn]] void Error_FatalError(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

// Prints "  ** SOLVER ERROR **\n" and the text in mode 6 (+1 when the common
// option output_errors is yes), calls on_error, then ends the process unless
// on_error left by an exception.
[[noreturn]] void Error_SolverError(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

// Prints "  ** WARNING **\n" and the text in mode 2 (+1 when output_warnings
// is yes), calls on_warning and returns.
void Error_Warning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Makes record current (stored by pointer, not copied); an absent record is a
// fatal error "null argument".
void Error_SetInterface(Error_Interface* record);

// Makes the built-in default record (no callbacks) current.
void Error_Reset();

// Internal-fault reports in the form "%s(%d): %s: %s\n": module source name,
// source line, short operation name and message.
[[noreturn]] void Error_Report(const char* module, int line, const char* operation,
                               const char* message);
[[noreturn]] void Error_FatalReport(const char* module, int line, const char* operation,
                                    const char* message);

// The exception that the throwing error interface raises with the message of
// a solver error. Library callers that must survive a solver error (the
// plug-ins, the tests) install Error_ThrowingInterface() and catch it.
class SolverErrorException : public std::runtime_error {
 public:
  explicit SolverErrorException(const std::string& text) : std::runtime_error(text) {}
};

// A process-wide Error_Interface whose on_error throws SolverErrorException
// with the message text; on_warning is empty.
Error_Interface* Error_ThrowingInterface();
