#pragma once
// The host's link to a wexcon-sim process at `baud`: opened at 9600, every
// detector moved to `baud` by one broadcast, as the tool does.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"

inline bool OpenSimLink(const SimProcess& sim, unsigned baud) {
    ResetWire();
    if (!ParseDCB(sim.link() + ":9600,n,8,1", &Wire().port) || !OpenModbusContext()) return false;
    if (baud == 9600) return true;
    std::vector<uint8_t> p;
    le::append32(p, baud);
    SelectSlave(0);
    if (ModbusSet(4, p.data(), Wire().ctx, D_SWITCH_BAUD) != 0) return false;
    // The detectors reprogram their UARTs 100 ms after the request.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    Wire().port.baud = baud;
    return ReopenLink();
}

// Time on the wire of `bytes` at `baud`, 10 bits a byte.
inline double WireMs(size_t bytes, unsigned baud) { return static_cast<double>(bytes) * 10.0 * 1000.0 / baud; }

// Runs `once` every iteration and gives the mean wall time of a run in ms; a
// run that returns a reason (non-empty) marks the benchmark failed with it.
template <typename Once>
double MeanRunMs(benchmark::State& state, Once once) {
    using Clock = std::chrono::steady_clock;
    double totalMs = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const std::string failed = once();
        totalMs += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (!failed.empty()) state.SkipWithError(failed.c_str());
    }
    return totalMs / static_cast<double>(state.iterations());
}
