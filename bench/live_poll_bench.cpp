// Period of the live data poll of one address against a paced wexcon-sim
// process, set against the model of one tick: the request's fixed wait
// (100 ms), the poll clock's 50 ms between ticks, and the wire time of the
// request (18 bytes) and the live record (177 bytes) at 10 bits a byte.
// Target: ratio at most 1.05.
//
// As in poll_period_bench, the pseudo-terminal does not pace the host's
// writes and the answer arrives while the host still waits, so the ratio
// falls well below 1 where the record's wire time is large.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "SimLink.h"
#include "monitor/LivePoll.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kWaitMs = 100, kTickMs = 50, kRequestBytes = 18;

void BM_LivePollPeriod(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    SimProcess sim;
    if (!sim.ready() || !OpenSimLink(sim, baud)) {
        state.SkipWithError("cannot start the simulator or set up the line");
        return;
    }
    LivePoll::Options options;
    options.selection = [] { return std::vector<uint8_t>{1}; };
    LivePoll poll(options);
    if (!poll.tick().record) {
        state.SkipWithError("the detector does not answer");
        return;
    }
    int failures = 0;
    auto last = Clock::now();
    double totalMs = 0;
    for (auto _ : state) {
        // The window's tick job, then the clock's interval before the next tick.
        if (!poll.tick().record) ++failures;
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(kTickMs)));
        const auto now = Clock::now();
        totalMs += std::chrono::duration<double, std::milli>(now - last).count();
        last = now;
    }
    ResetWire();
    const double period = totalMs / static_cast<double>(state.iterations());
    const double model = kWaitMs + kTickMs + (kRequestBytes + live::kSize) * 10.0 * 1000.0 / baud;
    state.counters["period_ms"] = period;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = period / model;
    state.counters["failures"] = failures;
}
BENCHMARK(BM_LivePollPeriod)
    ->Arg(9600)
    ->Arg(115200)
    ->Arg(921600)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
