#include "shell/TickTargets.h"

#include <map>
#include <mutex>

namespace {
std::mutex gMutex;
PollClock* gClock = nullptr;
std::map<PollClock::Target, TickJob> gJobs;
PollClock::Target gNext = 0;
}  // namespace

void SetTickClock(PollClock* clock) {
    std::lock_guard lock(gMutex);
    gClock = clock;
    if (!clock) gJobs.clear();
}

PollClock::Target TakeTicks(TickJob job, unsigned periodMs) {
    std::lock_guard lock(gMutex);
    if (!gClock) return 0;
    const PollClock::Target t = ++gNext;
    gJobs[t] = std::move(job);
    gClock->setTarget(t);
    gClock->setPeriod(periodMs);
    return t;
}

void GiveTicksBack(PollClock::Target target) {
    std::lock_guard lock(gMutex);
    if (gJobs.erase(target) == 0 || !gClock) return;
    if (gJobs.empty()) {
        gClock->setTarget(PollClock::kMainWindow);
        gClock->setPeriod(100);
    }
}

TickJob TickJobOf(PollClock::Target target) {
    std::lock_guard lock(gMutex);
    auto it = gJobs.find(target);
    return it == gJobs.end() ? TickJob() : it->second;
}
