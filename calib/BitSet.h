#pragma once
// One dark or bright BIT set, three loops of: wait for 'N', start a manual
// BIT, wait for 'M' or 'E', wait for the BIT's end. Driven by 100 ms ticks
// on the link worker; IR and UV differ only where the Config says.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "calib/BitCalibration.h"
#include "protocol/records/LiveRecord.h"
#include "util/Panel.h"

namespace bitcal {

// The wire as the set needs it; tests script it.
class BitLink {
public:
    virtual ~BitLink() = default;
    virtual std::optional<LiveRecord> read() = 0;
    // IR: no payload, then a 50 ms pause; UV: the seconds, twice, 100 ms apart.
    virtual void manualBit(std::optional<uint8_t> seconds) = 0;
};

class BitSet {
public:
    enum class Which { Dark, Bright };
    enum class Tick { Running, Done, Failed, UvFault };
    static constexpr unsigned kWaitNTicks = 51, kIrBitTicks = 80, kRetries = 5;

    struct Config {
        Kind kind = Kind::Ir;
        std::array<unsigned, 3> durations{};  // UV
        uint8_t postManbit = 0;               // UV: setup byte 33, the BIT time-out
    };
    BitSet(Panel& panel, BitLink& link, Config config) : panel_(panel), link_(link), config_(config) {}

    void start(Which which);
    Tick tick();
    bool running() const { return running_; }
    void abort() { running_ = false; }

    // After Failed or UvFault: the box's text.
    const std::string& error() const { return error_; }
    const std::array<long, 3>& readings() const { return readings_; }
    std::optional<long> average() const { return average_; }
    float qtemp() const { return qtemp_; }
    int counter() const { return counter_; }

private:
    Tick fail(std::string text);
    Tick finish();
    // The record shown and its reading kept; UvFault when the UV tube reports a fault.
    bool take(const LiveRecord& r);
    void showLoop();
    bool loopRuns(int counter) const;

    Panel& panel_;
    BitLink& link_;
    Config config_;
    Which which_ = Which::Dark;
    bool running_ = false;
    int counter_ = 0, phase_ = -1;
    unsigned retries_ = 0, ticks_ = 0;
    std::array<long, 3> readings_{};
    std::optional<long> average_;
    float qtemp_ = 0;
    std::string error_;
};

// Closing the UV window while the calibration mode is entered: the box; on
// "exit anyway" the leave request goes out first, and its advice to restart
// the detector stands only when that fails.
enum class UvClose { Stay, Left, LeftInMode };
UvClose CloseInUvMode(Panel& panel, const std::function<bool()>& leave);

}  // namespace bitcal
