#pragma once
#include <functional>

// Waits the given milliseconds while keeping the caller's event loop alive.
// The GUI installs a pump that dispatches its events; without one this sleeps.
void PumpWait(unsigned milliseconds);

// Replaces the pump; an empty function restores the plain sleep.
void SetPumpWait(std::function<void(unsigned)> pump);

// Milliseconds of a monotonic clock, the tick count every timeout is measured with.
unsigned long long TickMs();
