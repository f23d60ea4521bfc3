#pragma once
// DCI models: the 4.4 um channel's factor against 4.5 um, averaged over a
// run of live records while the detector looks at an IR simulator, and the
// verdict on amplifying the 4.4 um channel. Plain logic with the clock handed
// in; the reads themselves are the caller's (monitor/Maint's ReadLiveRecord).
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/records/LiveRecord.h"

namespace dci {

constexpr unsigned kMaxSeconds = 60000, kDefaultSeconds = 60;
constexpr unsigned kGoodReadsBeforeStart = 5;  // Start opens on the sixth good read
constexpr unsigned kFailedReadsToAbort = 11;
// Result state of the value fields (it picks their colours).
constexpr int kFieldsNone = 0, kFieldsAdvised = 1, kFieldsBurned = 2, kFieldsFailed = 255;

inline unsigned ClampSeconds(unsigned long long s) { return s > kMaxSeconds ? kMaxSeconds : static_cast<unsigned>(s); }

enum class Verdict { Advised, Unnecessary, NotPermitted };
const char* VerdictName(Verdict v);  // "advised", "unnecessary", "not-permitted"
// The message box text for the verdict (title "Accumulating sums done:").
const char* VerdictText(Verdict v);

// The factor as its field shows it ("%.3f"), or "" when there is none.
std::string FactorText(std::optional<double> factor);
// Judged on the printed factor, as the window reads it back from its field;
// an empty or unparsable field is not permitted.
Verdict Judge(const std::string& printedFactor);
// The 4.4 um amplification for a printed factor: (150 / factor + 0.5)
// truncated, while the factor is below 1.50001; else 100.
uint8_t Amplification(const std::string& printedFactor);

// Sums of the four channels 45, 5, 4, 44 over n reads.
struct Sums {
    unsigned long long n = 0;
    std::array<double, 4> sum{};
    void add(const LiveRecord& r);
    std::array<double, 4> averages() const;
    // sum44 / sum45 only from at least one read with both averages above
    // 0.001: a dead channel gives no factor, never 0 or infinity.
    std::optional<double> factor() const;
};
// The four channel values of a live record in the order above.
std::array<double, 4> Channels(const LiveRecord& r);

// One averaging run: the read counters, the start after enough good reads,
// the end by the progress rule (elapsed = (now - start + 500) / 1000 s).
class Run {
public:
    enum class Step { Reading, Averaging, Done, Unresponsive };
    explicit Run(unsigned seconds) : seconds_(ClampSeconds(seconds)) {}

    // A read: the record, or nullopt for a failed one (after its tries).
    Step onRead(const std::optional<LiveRecord>& r, unsigned long long nowMs);
    // Start pressed (or, on the command line, at once once permitted).
    bool canStart() const { return good_ > kGoodReadsBeforeStart; }
    void start(unsigned long long nowMs);
    void start(unsigned long long nowMs, unsigned seconds) {
        seconds_ = ClampSeconds(seconds);
        start(nowMs);
    }
    // Abort: the sums are dropped, the read counters kept.
    void abort() {
        averaging_ = false;
        sums_ = {};
    }
    unsigned elapsedSeconds(unsigned long long nowMs) const;

    const Sums& sums() const { return sums_; }
    unsigned seconds() const { return seconds_; }
    unsigned goodReads() const { return good_; }
    unsigned failedInARow() const { return failed_; }
    bool averaging() const { return averaging_; }

private:
    unsigned seconds_;
    uint8_t good_ = 0, failed_ = 0;  // 8-bit counters, as the window keeps them
    bool averaging_ = false, done_ = false;
    unsigned long long startMs_ = 0;
    Sums sums_;
};

}  // namespace dci
