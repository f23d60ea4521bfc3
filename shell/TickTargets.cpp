#include "shell/TickTargets.h"

#include <map>
#include <mutex>

namespace {
std::mutex gMutex;
PollClock* gClock = nullptr;
struct Holder {
    TickJob job;
    unsigned periodMs;
};
// By target: the newest holder has the ticks, the older ones get them back in turn.
std::map<PollClock::Target, Holder> gJobs;
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
    gJobs[t] = Holder{std::move(job), periodMs};
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
    } else if (gJobs.rbegin()->first < target) {
        // A window opened from another that polls (a search from the console)
        // hands the ticks back to that one, not to the main window.
        const auto& [newest, holder] = *gJobs.rbegin();
        gClock->setTarget(newest);
        gClock->setPeriod(holder.periodMs);
    }
}

TickJob TickJobOf(PollClock::Target target) {
    std::lock_guard lock(gMutex);
    auto it = gJobs.find(target);
    return it == gJobs.end() ? TickJob() : it->second.job;
}
