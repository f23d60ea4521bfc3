#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

// Set by windows around their own exchanges so that no tick arrives meanwhile.
std::atomic<bool>& PollBusyFlag();

// The poll clock: a worker thread that paces the status poll and the windows
// that poll on their own, by delivering tick 10101 to the current tick target
// on the interface thread. It never touches the link itself.
//
// Windows hand it a new target or period through words it takes by atomic
// exchange, so a value set while a tick runs is never lost.
class PollClock {
public:
    using Target = intptr_t;                 // a window's identity; 0 = the main window
    static constexpr Target kMainWindow = -1;  // "back to the main window"

    struct Hooks {
        // Delivers tick 10101 to the target and returns once it has run.
        std::function<void(Target)> tick;
        // First character of the target's communication field (3032).
        std::function<char(Target)> commStateChar;
        // Set once a detector has answered (the status poll's link-established flag).
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
    void setBusy(bool on) { PollBusyFlag().store(on); }
    bool busy() const { return PollBusyFlag().load(); }
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
