// Output streams: every text the library prints goes through Output_Printf
// with an OutputMode that selects the log, status and listing streams.
#pragma once

#include <cstdio>

// Bit set of output streams.
enum OutputMode : int {
  OUTPUT_LOG = 1,
  OUTPUT_STATUS = 2,
  OUTPUT_LISTING = 4,
  OUTPUT_ALL = 7,
};

// Slots of the output service; print is required, flush may be empty.
struct Output_Interface {
  void* context;
  void (*print)(void* context, int mode, const char* text);
  void (*flush)(void* context, int mode);
};

// Formats with printf rules and hands the text to the current print slot.
// An absent format prints nothing. Texts longer than 1023 characters are
// formatted whole, never cut or written past a buffer.
void Output_Printf(int mode, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Calls the current flush slot when it is set.
void Output_Flush(int mode);

// Stream handles of the default record (mode bits 1, 2, 4); nullptr switches
// the stream off. The module never opens or closes them.
void Output_SetLogFile(std::FILE* stream);
void Output_SetStatusFile(std::FILE* stream);
void Output_SetListingFile(std::FILE* stream);

// Makes record current; an absent record or print slot is a fatal error.
void Output_SetInterface(Output_Interface* record);

// Flushes all streams through the current record, then makes the default
// record current.
void Output_Reset();

// The default record's slots: write the text verbatim (log, status, listing
// in that order) to every selected stream that is set, and flush them.
void Output_DefaultPrint(void* context, int mode, const char* text);
void Output_DefaultFlush(void* context, int mode);
