#include "shell/PollClock.h"

#include <chrono>

#include "protocol/Transport.h"
#include "util/Log.h"


PollClock::PollClock(Hooks hooks) : hooks_(std::move(hooks)) {
    if (!hooks_.sleep)
        hooks_.sleep = [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

PollClock::~PollClock() { stop(); }

bool PollClock::start() {
    if (thread_.joinable()) return true;
    stop_ = false;
    try {
        thread_ = std::thread([this] {
            while (!stop_.load()) step();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void PollClock::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void PollClock::step() {
    if (const Target t = pendingTarget_.exchange(0)) target_ = t == kMainWindow ? 0 : t;
    if (const unsigned p = pendingPeriod_.exchange(0)) period_ = p;

    std::atomic<int>& link = LinkModeWord();
    if (Shell().busy.load() || link.load() == LINK_SWITCHING) {
        hooks_.sleep(100);
        return;
    }
    const Target t = target_.load();
    if (hooks_.tick) hooks_.tick(t);
    // A link switch asked for during the tick waits for this acknowledgement;
    // only the asked-for state may turn into the acknowledged one.
    int requested = LINK_REQUESTED;
    if (link.compare_exchange_strong(requested, LINK_SWITCHING)) DebugLog("Detected SwitchComm() event...");
    // A detector that was there and shows as lost is asked again at the
    // ordinary pace, whatever pace the target wants.
    const bool lost = hooks_.connected && !hooks_.connected();
    const bool established = hooks_.linkEstablished && hooks_.linkEstablished();
    hooks_.sleep(lost && established ? 100 : period_.load());
}
