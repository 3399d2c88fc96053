// Timer service. The default timer measures elapsed wall-clock time with a
// steady clock in whole milliseconds (the processor-time clock would count
// neither elapsed time nor at a known rate).
#include "core/Timer.hpp"

#include <chrono>
#include <cstdint>

#include "core/Error.hpp"
#include "core/Memory.hpp"

namespace {

std::int64_t NowMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void* DefaultCreate(void*) {
  auto* stamp = static_cast<std::int64_t*>(Memory_Allocate(sizeof(std::int64_t)));
  *stamp = NowMilliseconds();
  return stamp;
}
void DefaultDestroy(void*, void* handle) { Memory_Free(handle); }
void DefaultStart(void*, void* handle) { *static_cast<std::int64_t*>(handle) = NowMilliseconds(); }
double DefaultQuery(void*, void* handle) {
  std::int64_t ticks = NowMilliseconds() - *static_cast<std::int64_t*>(handle);
  return static_cast<double>(ticks) / 1000.0;
}

Timer_Interface default_interface = {nullptr, DefaultCreate, DefaultDestroy, DefaultStart,
                                     DefaultQuery};
Timer_Interface* current = &default_interface;

}  // namespace

void* Timer_Create() { return current->create(current->context); }
void Timer_Destroy(void* handle) { current->destroy(current->context, handle); }
void Timer_Start(void* handle) { current->start(current->context, handle); }
double Timer_Query(void* handle) { return current->query(current->context, handle); }

void Timer_SetInterface(Timer_Interface* record) {
  if (record == nullptr || record->create == nullptr || record->destroy == nullptr ||
      record->start == nullptr || record->query == nullptr) {
    Error_FatalReport("Timer", __LINE__, "SetInterface", "null element");
  }
  current = record;
}

void Timer_Reset() { current = &default_interface; }
