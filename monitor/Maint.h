#pragma once
// The maintenance window's logic: five freely chosen channels of the live
// record, the detector's identity, and the manual BIT followed to its end
// with the BIT sums logged to bitout.txt.
#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/records/LiveRecord.h"
#include "util/Panel.h"

namespace maint {

// Which name table the detector's channels carry.
enum class Variant { Ir, Alternate, Uvir };
Variant VariantOf(const LiveRecord& r);
const std::array<const char*, live::kChannels>& ChannelNames(Variant v);
// 10 for the ratios, 100 for the correlations and two noises, 0 for the
// UV/IR table's unused channels, else 1.
double DisplayFactor(Variant v, size_t channel);
constexpr size_t kQtemp = 32;
// Channels 0..3 are integers scaled to volts, the others floats; times the
// display factor; Qtemp in Fahrenheit with US units.
double ChannelValue(const LiveRecord& r, size_t channel, Variant v, bool usUnits);
std::string Shown(double value);  // "%5.2f"
constexpr std::array<size_t, 5> kDefaultChannels{4, 5, 6, 7, 32};

// The BIT sums in the order of the result fields (45, 5, 4, 44).
std::array<double, 4> BitSums(const LiveRecord& r);
// The "Embedded BIT results:" block.
std::vector<std::string> SummaryLines(const std::array<double, 4>& sums);

// One manual BIT from the request to the detector's return to 'N'.
class BitRun {
public:
    static constexpr int kIdle = 0, kStartRequested = -2, kWaiting = -1;
    static constexpr unsigned kStartLimitMs = 1000, kMaxRecords = 100;
    enum class Step { None, Logged, Finished, NotStarted, Cut, FileFailed };

    explicit BitRun(std::string path = "bitout.txt") : path_(std::move(path)) {}

    void request(unsigned long long nowMs);
    // D_MANUAL_BIT has gone out: wait for 'M'.
    void sent() { state_ = kWaiting; }
    // A good record while a BIT runs; Finished, NotStarted, Cut and
    // FileFailed end the run (the file closed).
    Step onRecord(const LiveRecord& r, unsigned long long nowMs);
    void close();

    int state() const { return state_; }
    bool running() const { return state_ != kIdle; }
    // The sums of the last counted record, and of the last before 'N'.
    const std::array<double, 4>& shownSums() const { return shown_; }
    const std::array<double, 4>& resultSums() const { return result_; }
    const std::string& path() const { return path_; }

private:
    Step fail();
    std::string path_;
    int state_ = kIdle;
    unsigned long long requestMs_ = 0;
    std::ofstream file_;
    std::array<double, 4> shown_{}, result_{};
};

// The window's ticks: back-off, the BIT start, the record request, the
// fields. Every call runs on the link worker (the BIT run is its alone).
class MaintPoll {
public:
    struct Hooks {
        std::function<bool()> outputSuspended;  // the console's "Suspend Output"
        std::function<bool()> usUnits;
        // The selectors are to show this table (the window refills them, keeping positions).
        std::function<void(Variant)> refill;
    };
    MaintPoll(std::shared_ptr<Panel> panel, Hooks hooks, std::string bitPath = "bitout.txt");

    void tick(unsigned long long nowMs);
    // The BIT button.
    void requestBit(unsigned long long nowMs);
    // Timer 10301 (any thread).
    void clearResults();
    void close();

    const BitRun& bit() const { return bit_; }

private:
    void exchange(unsigned long long nowMs);  // the tick's part that holds the link
    void show(const LiveRecord& r, unsigned long long nowMs);
    void blank();
    std::shared_ptr<Panel> panel_;
    Hooks hooks_;
    BitRun bit_;
    bool inTick_ = false;
    bool logFailed_ = false;  // told once the link is free again
    int failures_ = 0, backOff_ = 0;
    std::optional<Variant> variant_;
};

// The choices persist for the process; the window sets them, the poll on the
// link worker reads them.
std::array<size_t, 5> RememberedChannels();
void RememberChannel(size_t selector, size_t channel);
void RememberDefaultChannels();

// The wire (link lock held): one live record from the current detector, and
// the BIT request between two 50 ms pauses.
std::optional<LiveRecord> ReadLiveRecord();
void SendManualBit();

}  // namespace maint
