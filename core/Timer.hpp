// Timer service: elapsed seconds for the time limit, the basis time and the
// plug-ins' elapsed-time output.
#pragma once

struct Timer_Interface {
  void* context;
  void* (*create)(void* context);
  void (*destroy)(void* context, void* handle);
  void (*start)(void* context, void* handle);
  double (*query)(void* context, void* handle);  // seconds since the last start
};

// Calls the current record's slot of the same role. The default timer reads
// a steady wall clock and reports whole milliseconds as seconds.
void* Timer_Create();
void Timer_Destroy(void* handle);
void Timer_Start(void* handle);
double Timer_Query(void* handle);

// Requires the record and its four function slots ("null element").
void Timer_SetInterface(Timer_Interface* record);
void Timer_Reset();
