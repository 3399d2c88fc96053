// Interrupt service: notices user interrupts (SIGINT), lets long computations
// poll for them, and lets a caller register a jump point to which a poll
// returns non-locally.
//
// A jump point is an opaque token. A poll that finds an interrupt while a
// jump point is registered throws InterruptJump; the code that registered the
// point catches it (Interrupt_RunWithJumpPoint does both). Code between the
// registration and the poll must leave its records consistent when the
// exception passes.
#pragma once

#include <csignal>

struct Interrupt_Interface {
  void* context;
  void (*start)(void* context);
  void (*restore)(void* context);
  int (*check)(void* context);  // nonzero when an interrupt arrived
};

// Opaque jump point token.
struct Interrupt_JumpPoint {
  int unused;
};

// Thrown by a poll that finds an interrupt while a jump point is registered.
struct InterruptJump {
  Interrupt_JumpPoint* point;
};

// Begin and end a period in which interrupts are counted (the default
// installs its SIGINT handler at start and re-installs the previous one at
// restore).
void Interrupt_Start();
void Interrupt_Restore();

// 0 when no interrupt arrived. Otherwise throws InterruptJump when a jump
// point is registered, or returns 1. With the default record, a poll that
// finds interrupt_limit interrupts counted since the start raises the solver
// error "User termination.\n".
int Interrupt_Check();
void Interrupt_CheckFlag(int& result);

Interrupt_JumpPoint* Interrupt_GetJumpBuffer();
void Interrupt_SetJumpBuffer(Interrupt_JumpPoint* point);  // nullptr clears

// Ignore SIGINT, keeping the handler that was installed; re-install it.
void Interrupt_IgnoreSignal();
void Interrupt_RestoreSignal();

// Requires the record and its three function slots ("null element").
void Interrupt_SetInterface(Interrupt_Interface* record);
void Interrupt_Reset();

// Number of SIGINTs the default handler counted since the last start.
int Interrupt_Count();

// Forgets the jump point and re-installs the SIGINT disposition that was in
// place before an abandoned start; used when process-wide state is reset.
// Every object of the module but its service record is back at its value
// at load afterwards.
void Interrupt_ForgetState();
// True while those objects hold their values at load.
bool Interrupt_StateAtRest();

// Registers a jump point of its own (keeping the previous one), runs work,
// and puts the previous jump point back on every path. Returns true when a
// poll inside work found an interrupt and jumped back here. Jump point
// changes are made with SIGINT ignored.
template <class Work>
bool Interrupt_RunWithJumpPoint(Work&& work) {
  Interrupt_JumpPoint own{0};
  Interrupt_JumpPoint* previous = Interrupt_GetJumpBuffer();
  auto install = [](Interrupt_JumpPoint* point) {
    Interrupt_IgnoreSignal();
    Interrupt_SetJumpBuffer(point);
    Interrupt_RestoreSignal();
  };
  install(&own);
  try {
    work();
  } catch (const InterruptJump& jump) {
    install(previous);
    if (jump.point != &own) throw;
    return true;
  } catch (...) {
    install(previous);
    throw;
  }
  install(previous);
  return false;
}
