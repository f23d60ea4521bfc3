#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/records/StatusRecord.h"
#include "util/Panel.h"

// The three gauges of the Status page; 1001 each while the detector is lost.
struct Gauges {
    double volts = 0, temperature = 0, milliamps = 0;
};

// What one tick of the status poll found, for whoever listens (the main
// window's pages, the gauges, the trend).
struct PollOutcome {
    std::optional<StatusRecord> status;  // a whole status record came back
    bool connected = false;              // ... from an address in range
    unsigned lastResponder = 255;        // 1..247, 248 polling off, 255 none
    int failures = 0;                    // in a row, after this tick
    int failuresSinceGood = 0;
    bool failedBefore = false;    // an answer that ends a run of failures
    bool reachedPending = false;  // the detector the arrows chose has answered
    int picture = 0;              // picture resource chosen by this answer, 0 none
    std::optional<Gauges> gauges;
};

// The status poll of the main window: one status request per tick, the
// panel updated from the answer, failures counted with their back-off. Its
// ticks and switches run on the link worker; the panel and the listeners
// hand what they get to the interface thread.
class StatusPoll {
public:
    using Listener = std::function<void(const PollOutcome&)>;

    explicit StatusPoll(std::shared_ptr<Panel> panel);

    // A listener hears every tick from the next one on; any thread may add one.
    void subscribe(Listener listener);

    // One tick of the poll clock.
    void tick();
    // The transport's failure notice: the communication error line.
    void showCommError(int result);
    // The polling switch.
    void setPolling(bool on);
    // Makes `address` the current detector (the arrows, another window).
    void switchTo(unsigned address);

    // Safe from any thread.
    bool polling() const { return polling_; }
    bool connected() const { return connected_; }
    bool linkEstablished() const { return linkEstablished_; }
    int consecutiveFailures() const { return failures_; }
    int backOff() const { return backOff_; }
    int level() const { return level_; }
    int permission() const { return permission_; }

private:
    void answered(const StatusRecord& s, PollOutcome& out);
    void failed(PollOutcome& out);
    void display(const StatusRecord& s, PollOutcome& out);
    void blank();
    void setCommText(const std::string& text);
    void updatePermissionLine(const StatusRecord& s);

    std::shared_ptr<Panel> panel_;
    std::mutex listenersMutex_;
    std::vector<Listener> listeners_;
    std::atomic<bool> polling_{true};
    std::atomic<bool> connected_{false};
    std::atomic<bool> linkEstablished_{false};
    std::atomic<int> failures_{0};  // in a row
    std::atomic<int> backOff_{0};
    std::atomic<int> level_{0};
    std::atomic<int> permission_{255};
    // The link worker's alone.
    bool inTick_ = false;
    bool inErrorLine_ = false;
    int failuresSinceGood_ = 0;
    bool present_ = false;
    bool pictureChosen_ = false;
    unsigned pending_ = 0;
    bool following_ = false;  // polling an address that answered in place of the chosen one
    unsigned followed_ = 0;
    unsigned chosen_ = 0;
    int spinner_ = 0;
    std::string lastCommText_;
    unsigned long long lastCommWrite_ = 0;
};
