#pragma once
// Detector time ten times as fast as wall time: a BIT of seconds lasts
// tenths, while the host keeps its own real-time ticks.
#include <chrono>

#include "sim/Clock.h"

class FastClock : public wsim::Clock {
public:
    int64_t nowMs() const override {
        return 1'000'000 + 10 * std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};
