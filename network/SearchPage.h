#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "protocol/records/StatusRecord.h"
#include "util/Panel.h"

// "Search for Detectors in the RS485 LAN", without the window: one address
// of a range probed per tick, a line for each, and at the end the question
// whether to add what answered to the network. Ticks run on the link worker;
// the button comes from the interface thread.
class SearchPage {
public:
    using Probe = std::function<std::optional<StatusRecord>(unsigned address)>;
    // Told of each address that answered (the calling page clears its box).
    using Found = std::function<void(unsigned address)>;

    // `probe` empty: ProbeStatus.
    SearchPage(std::shared_ptr<Panel> panel, unsigned first, unsigned last, Found found = {}, Probe probe = {});

    // Runs once when the search finishes (at once when it has finished
    // already): the window gives the ticks back.
    void onFinish(std::function<void()> release);
    // Refuses a range outside 1..247 or backwards with a message; otherwise
    // shows the range and "Abort", and the ticks start probing.
    bool begin();
    // One tick: probes the next address, or ends an aborted search.
    void tick();
    // The button: "Abort" stops at the next tick, "Close" closes the window.
    void pressButton();
    // Gives the ticks back and asks, once, whether to add what was found.
    // Also when the window is closed before the end.
    void finish();

    bool finished() const { return finished_; }
    bool addAll() const { return addAll_; }
    std::vector<unsigned> found() const;
    // The last address probed, 0 before the first.
    unsigned lastProbed() const { return lastProbed_; }

    static constexpr unsigned kPauseMs = 100;

private:
    std::shared_ptr<Panel> panel_;
    const unsigned first_, last_;
    Found foundHook_;
    Probe probe_;
    std::function<void()> release_;

    mutable std::mutex mutex_;  // next_, found_ and release_
    unsigned next_;
    std::vector<unsigned> found_;
    std::atomic<unsigned> lastProbed_{0};
    std::atomic<bool> started_{false}, inTick_{false}, finished_{false}, asked_{false}, addAll_{false};
};
