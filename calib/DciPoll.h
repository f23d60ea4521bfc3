#pragma once
// The DCI window's logic: the 100 ms poll of the current detector, the
// averaging run behind Start, the verdict, Master / Reset. Every call but
// claim() runs on the link worker, so the run is touched by one thread; the
// window sees it only through its panel.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "calib/DciCalibration.h"
#include "util/Panel.h"

namespace dci {

class Poll {
public:
    struct Link {
        // One live record with the window's tries, or nullopt.
        std::function<std::optional<LiveRecord>()> read;
        // Selects a detector address (0: whichever answers); false on failure.
        std::function<bool(unsigned)> select;
        std::function<unsigned()> current;
    };
    Poll(std::shared_ptr<Panel> panel, Link link, std::function<unsigned long long()> nowMs);

    // The 100 ms timer: true when a tick is to be queued. A tick that comes
    // while one is queued is dropped, one that comes while one runs waits, so
    // a read longer than the period is followed at once by the next.
    bool claim() { return !queued_.exchange(true); }
    void tick();
    // Start / Abort; `duration` is the Duration field's text.
    void startOrAbort(const std::string& duration);
    void master();
    // The Burn button, before the parameter view: the amplification of the
    // printed factor, and after it whether the view's write was verified.
    uint8_t burnValue();
    void burned(bool verified);

    bool running() const { return running_; }
    const Run& run() const { return run_; }

private:
    void showFields(int state);
    void conclude();
    std::shared_ptr<Panel> panel_;
    Link link_;
    std::function<unsigned long long()> now_;
    std::atomic<bool> queued_{false};
    Run run_{kDefaultSeconds};
    bool running_ = true;  // the poll timer runs
};

// The real link: D_DATA2HOST up to three tries, flushed after each, 1 ms
// apart, the link lock held for each exchange.
Poll::Link PollWire();
std::optional<LiveRecord> ReadWithTries();

}  // namespace dci
