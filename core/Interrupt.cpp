// Interrupt service. The SIGINT handler only counts: it sets the flag and the
// count and nothing else, since a handler may not print or leave by an
// exception. The next poll ends the solve once the limit is reached.
#include "core/Interrupt.hpp"

#include "core/Options.hpp"
#include "core/Error.hpp"

namespace {

using Handler = void (*)(int);

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t interrupt_count = 0;
Handler handler_before_start = SIG_DFL;
bool started = false;
Handler kept_by_ignore = SIG_DFL;
Interrupt_JumpPoint* jump_point = nullptr;

extern "C" void DefaultHandler(int) {
  std::signal(SIGINT, SIG_IGN);
  interrupted = 1;
  interrupt_count = interrupt_count + 1;
  std::signal(SIGINT, DefaultHandler);
}

void DefaultStart(void*) {
  interrupted = 0;
  interrupt_count = 0;
  handler_before_start = std::signal(SIGINT, DefaultHandler);
  if (handler_before_start == SIG_ERR) handler_before_start = SIG_DFL;
  started = true;
}

void DefaultRestore(void*) {
  if (!started) return;
  std::signal(SIGINT, handler_before_start);
  started = false;
}

int DefaultCheck(void*) {
  if (!interrupted) return 0;
  int limit = Options_CommonInt(COMMON_INTERRUPT_LIMIT);
  if (interrupt_count >= limit) {
    // Counting starts afresh so that the error is raised once.
    interrupted = 0;
    interrupt_count = 0;
    Error_SolverError("User termination.\n");
  }
  return 1;
}

Interrupt_Interface default_interface = {nullptr, DefaultStart, DefaultRestore, DefaultCheck};
Interrupt_Interface* current = &default_interface;

}  // namespace

void Interrupt_Start() { current->start(current->context); }
void Interrupt_Restore() { current->restore(current->context); }

int Interrupt_Check() {
  if (current->check(current->context) == 0) return 0;
  if (jump_point != nullptr) throw InterruptJump{jump_point};
  return 1;
}

void Interrupt_CheckFlag(int& result) { result = Interrupt_Check(); }

Interrupt_JumpPoint* Interrupt_GetJumpBuffer() { return jump_point; }
void Interrupt_SetJumpBuffer(Interrupt_JumpPoint* point) { jump_point = point; }

void Interrupt_IgnoreSignal() {
  Handler previous = std::signal(SIGINT, SIG_IGN);
  kept_by_ignore = previous == SIG_ERR ? SIG_DFL : previous;
}

void Interrupt_RestoreSignal() { std::signal(SIGINT, kept_by_ignore); }

void Interrupt_SetInterface(Interrupt_Interface* record) {
  if (record == nullptr || record->start == nullptr || record->restore == nullptr ||
      record->check == nullptr) {
    Error_FatalReport("Interrupt", __LINE__, "SetInterface", "null element");
  }
  current = record;
}

void Interrupt_Reset() { current = &default_interface; }

int Interrupt_Count() { return interrupt_count; }

void Interrupt_ForgetState() {
  jump_point = nullptr;
  DefaultRestore(nullptr);
  // A start or an ignore cut short leaves a saved handler behind.
  handler_before_start = SIG_DFL;
  kept_by_ignore = SIG_DFL;
  interrupted = 0;
  interrupt_count = 0;
}

bool Interrupt_StateAtRest() {
  return jump_point == nullptr && !started && handler_before_start == SIG_DFL &&
         kept_by_ignore == SIG_DFL && interrupted == 0 && interrupt_count == 0;
}
