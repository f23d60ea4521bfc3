#pragma once
#include <atomic>
#include <functional>

// Waits the given milliseconds. On the interface thread the GUI's pump keeps
// dispatching events meanwhile; on a thread that runs a procedure it is a
// sleep that ends early once the procedure is asked to abort; elsewhere it
// is a plain sleep.
void PumpWait(unsigned milliseconds);

// Replaces the pump; an empty function restores the plain sleep.
void SetPumpWait(std::function<void(unsigned)> pump);
// Tests: replaces the waits of procedures (threads with an abort flag), so
// that a soak runs its waits shorter without changing them; an empty
// function restores them.
void SetProcedureWait(std::function<void(unsigned)> wait);

// The abort flag that waits on this thread watch (null: none). Set by the
// procedure runner around each procedure; returns the one it replaces.
const std::atomic<bool>* SetThreadAbortFlag(const std::atomic<bool>* flag);
// True when the procedure running on this thread has been asked to abort.
bool AbortRequested();

// Milliseconds of a monotonic clock, the tick count every timeout is measured with.
unsigned long long TickMs();
