// Period of back-to-back status polls against a paced simulated detector, set
// against the model of one poll: the transport's fixed wait (100 ms) plus the
// wire time of the request (18 bytes) and the answer (177 bytes) at 10 bits a
// byte. Target: ratio at most 1.05.
//
// The pseudo-terminal does not pace the host's writes, so the request costs no
// wire time here, and the simulator sends its answer (after ~3 ms) while the
// host still sleeps its fixed wait. The period therefore tends to
// max(wait, latency + answer wire time) plus the host's own overhead, and the
// ratio falls below 1 wherever the answer's wire time is large against the
// wait. `ratio_to_answer_bound` sets the period against that bound, measured:
// `answer_ms` is the time from request to complete answer with no wait at all.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "protocol/records/ByteOrder.h"
#include "support/TestLine.h"
#include "tests/sim/SimHost.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kWaitMs = 100, kTimeoutMs = 500;
constexpr double kRequestBytes = 18;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Moves the detector at address 1 from 9600 to `baud`, as the tool does.
bool switchDetector(unsigned baud) {
    if (baud == 9600) return true;
    std::vector<uint8_t> p;
    le::append32(p, baud);
    if (ModbusSet(static_cast<unsigned>(p.size()), p.data(), Wire().ctx, D_SWITCH_BAUD) != 0) return false;
    // The detector reprograms its UART 100 ms after the request.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    Wire().port.baud = baud;
    return ReopenLink();
}

// Time from request to complete answer, no fixed wait: the simulator's
// latency, its pacing and the pseudo-terminal together.
double answerMs(const std::string& path, unsigned baud, size_t answerSize) {
    simtest::Host host;
    if (!host.open(path, baud)) return -1;
    double total = 0;
    const int n = 10;
    for (int i = 0; i < n; ++i) {
        const auto t0 = Clock::now();
        if (host.exchange(simtest::dataRequest(1), answerSize).size() != answerSize) return -1;
        total += msSince(t0);
    }
    return total / n;
}

void BM_PollPeriod(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    std::string error;
    // Paced, with the detector's answer latency.
    const auto line = testline::start({testline::ir(1)}, {.fast = false}, &error);
    if (!line) {
        state.SkipWithError(error.c_str());
        return;
    }
    ResetWire();
    ParseDCB(line->slavePath() + ":9600,n,8,1", &Wire().port);
    if (!OpenModbusContext() || !switchDetector(baud)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    const unsigned answerSize = commandInfo(D_DATA2HOST)->responseSize;
    std::vector<uint8_t> frame(answerSize);
    const auto poll = [&] {
        return ModbusGet(0, D_DATA2HOST, Wire().ctx, frame.data(), answerSize, kWaitMs, kTimeoutMs) ==
               static_cast<int>(answerSize);
    };
    if (!poll()) {
        state.SkipWithError("the detector does not answer");
        return;
    }

    double totalMs = 0, worstMs = 0;
    int failures = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!poll()) ++failures;
        const double ms = msSince(t0);
        totalMs += ms;
        worstMs = std::max(worstMs, ms);
    }
    // The host side must let go of the port before the answer time is measured on it.
    ResetWire();
    const double answer = answerMs(line->slavePath(), baud, answerSize);
    line->stop();

    const double period = totalMs / static_cast<double>(state.iterations());
    const double model = kWaitMs + (kRequestBytes + answerSize) * 10.0 * 1000.0 / baud;
    state.counters["period_ms"] = period;
    state.counters["period_max_ms"] = worstMs;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = period / model;
    state.counters["answer_ms"] = answer;
    state.counters["ratio_to_answer_bound"] = period / std::max<double>(kWaitMs, answer);
    state.counters["failures"] = failures;
}
BENCHMARK(BM_PollPeriod)
    ->Arg(9600)
    ->Arg(115200)
    ->Arg(921600)
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
