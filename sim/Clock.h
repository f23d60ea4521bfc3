#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

namespace wsim {

// Time as the detectors see it. Every timer of a detector (elevation expiry,
// BIT phases, alarm, baud revert) reads this, so tests can step through
// minutes of detector life without waiting. Line pacing uses real time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowMs() const = 0;
};

class SteadyClock : public Clock {
public:
    int64_t nowMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

class ManualClock : public Clock {
public:
    explicit ManualClock(int64_t startMs = 1'000'000) : now_(startMs) {}
    int64_t nowMs() const override { return now_.load(); }
    void advance(int64_t ms) { now_ += ms; }
    void set(int64_t ms) { now_ = ms; }

private:
    std::atomic<int64_t> now_;
};

}  // namespace wsim
