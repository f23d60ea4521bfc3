#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "shell/ShellState.h"

// The poll clock: a thread that paces the status poll and the windows that
// poll on their own, by having tick 10101 of the current tick target run on
// the link worker. It never touches the link itself.
//
// Windows hand it a new target or period through words it takes by atomic
// exchange, so a value set while a tick runs is never lost.
class PollClock {
public:
    using Target = intptr_t;                 // a window's identity; 0 = the main window
    static constexpr Target kMainWindow = -1;  // "back to the main window"

    struct Hooks {
        // Runs tick 10101 of the target and returns once it has run.
        std::function<void(Target)> tick;
        // The status poll's view: connected now, and answered since the last loss.
        std::function<bool()> connected;
        std::function<bool()> linkEstablished;
        std::function<void(unsigned ms)> sleep;
    };

    explicit PollClock(Hooks hooks);
    ~PollClock();
    bool start();
    void stop();
    bool running() const { return thread_.joinable(); }

    void setTarget(Target t) { pendingTarget_.store(t); }
    void setPeriod(unsigned ms) { pendingPeriod_.store(ms); }
    void setBusy(bool on) { Shell().busy.store(on); }
    bool busy() const { return Shell().busy.load(); }
    Target target() const { return target_.load(); }
    unsigned period() const { return period_.load(); }

    // One pass of the loop; the thread runs it until stopped (tests call it directly).
    void step();

private:
    Hooks hooks_;
    std::atomic<Target> pendingTarget_{0};
    std::atomic<unsigned> pendingPeriod_{0};
    std::atomic<Target> target_{0};
    std::atomic<unsigned> period_{100};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
