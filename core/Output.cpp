// Output streams.
#include "core/Output.hpp"

#include <cstdarg>
#include <vector>

#include "core/Error.hpp"

namespace {

std::FILE* streams[3] = {nullptr, nullptr, nullptr};  // log, status, listing
Output_Interface default_interface = {nullptr, Output_DefaultPrint, Output_DefaultFlush};
Output_Interface* current = &default_interface;

}  // namespace

void Output_Printf(int mode, const char* format, ...) {
  if (format == nullptr) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(buffer, sizeof buffer, format, copy);
  va_end(copy);
  if (length >= 0 && static_cast<size_t>(length) >= sizeof buffer) {
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, args);
    va_end(args);
    current->print(current->context, mode, large.data());
    return;
  }
  va_end(args);
  if (length < 0) buffer[0] = '\0';
  current->print(current->context, mode, buffer);
}

void Output_Flush(int mode) {
  if (current->flush != nullptr) current->flush(current->context, mode);
}

void Output_SetLogFile(std::FILE* stream) { streams[0] = stream; }
void Output_SetStatusFile(std::FILE* stream) { streams[1] = stream; }
void Output_SetListingFile(std::FILE* stream) { streams[2] = stream; }

void Output_SetInterface(Output_Interface* record) {
  if (record == nullptr || record->print == nullptr) {
    Error_FatalReport("Output", __LINE__, "SetInterface", "null element");
  }
  current = record;
}

void Output_Reset() {
  Output_Flush(OUTPUT_ALL);
  current = &default_interface;
}

void Output_DefaultPrint(void*, int mode, const char* text) {
  if (text == nullptr) return;
  for (int k = 0; k < 3; ++k) {
    if ((mode & (1 << k)) && streams[k] != nullptr) std::fprintf(streams[k], "%s", text);
  }
}

void Output_DefaultFlush(void*, int mode) {
  for (int k = 0; k < 3; ++k) {
    if ((mode & (1 << k)) && streams[k] != nullptr) std::fflush(streams[k]);
  }
}
