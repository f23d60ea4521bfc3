#pragma once
// A window's periodic timer without a window (the command line, benchmarks):
// ticks fall on the clock's slots, and slots that pass while a tick runs are
// skipped, not made up, as the windows' timers and the poll clock do.
#include <functional>

#include "util/PumpWait.h"

// Calls `tick` with the time on each slot of `periodMs`, the first one period
// after the call, until it returns false or `deadlineMs` (TickMs time, 0 none) passed.
inline void RunOnClock(unsigned periodMs, const std::function<bool(unsigned long long nowMs)>& tick,
                       unsigned long long deadlineMs = 0) {
    unsigned long long slot = TickMs();
    for (;;) {
        const unsigned long long now = TickMs();
        while (slot <= now) slot += periodMs;
        if (deadlineMs && slot >= deadlineMs) return;
        PumpWait(static_cast<unsigned>(slot - now));
        if (!tick(TickMs())) return;
    }
}
