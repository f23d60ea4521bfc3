#pragma once
#include <functional>

#include "shell/PollClock.h"

// A window that polls on its own (the search of an address range) takes the
// poll clock's ticks for a while; while it has them the main window's status
// poll is not asked. Its tick job runs on the link worker, like every tick.
using TickJob = std::function<void()>;

// The main window's clock, set while it runs (null when it goes).
void SetTickClock(PollClock* clock);

// Makes `job` the clock's target at `periodMs`. Returns its target id, or 0
// when no clock runs (the caller then drives the job itself).
PollClock::Target TakeTicks(TickJob job, unsigned periodMs);

// Hands the ticks back to the main window at 100 ms once no window holds them.
void GiveTicksBack(PollClock::Target target);

// The job of a target; empty for the main window and for a target given back.
TickJob TickJobOf(PollClock::Target target);
