// Calibration procedures against a paced wexcon-sim process. Counter `ratio`:
// the measured period or run set against its model; target at most 1.05.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "SimLink.h"
#include "calib/BitWire.h"
#include "calib/DciPoll.h"
#include "protocol/records/LiveRecord.h"
#include "shell/FakePanel.h"
#include "shell/ShellState.h"
#include "util/PumpWait.h"

namespace {

using Clock = std::chrono::steady_clock;

// ---- DCI: the window's poll period ----
// The window's 100 ms timer queues a tick on the link worker unless one is
// queued; the model of a period is max(100 ms, the read's 100 ms wait + the
// 1 ms pause + the wire time of the request (18 bytes) and the live record
// (177 bytes)). The pseudo-terminal does not pace the host's writes, so at
// 9600 baud the answer partly arrives during the wait and the ratio falls
// below 1.
void BM_DciPoll(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    SimProcess sim;
    if (!sim.ready() || !OpenSimLink(sim, baud) || !SelectSlave(1)) {
        state.SkipWithError("cannot start the simulator or set up the line");
        return;
    }
    std::mutex m;
    std::condition_variable read;
    std::vector<Clock::time_point> stamps;
    int failures = 0;
    dci::Poll::Link link = dci::PollWire();
    link.read = [&, wire = link.read] {
        auto r = wire();
        std::lock_guard lock(m);
        stamps.push_back(Clock::now());
        if (!r) ++failures;
        read.notify_all();
        return r;
    };
    auto poll = std::make_shared<dci::Poll>(std::make_shared<FakePanel>(), link, [] { return TickMs(); });
    std::atomic<bool> stop{false};
    std::thread timer([&] {
        for (auto next = Clock::now(); !stop; next += std::chrono::milliseconds(100)) {
            if (poll->claim()) Shell().link().post([poll] { poll->tick(); });
            std::this_thread::sleep_until(next + std::chrono::milliseconds(100));
        }
    });
    for (auto _ : state) {
        std::unique_lock lock(m);
        const size_t seen = stamps.size();
        read.wait(lock, [&] { return stamps.size() > seen; });
    }
    stop = true;
    timer.join();
    ResetShell();  // the worker ends here, with the jobs that hold this run's locals
    ResetWire();
    std::lock_guard lock(m);
    const double period = stamps.size() < 2 ? 0
        : std::chrono::duration<double, std::milli>(stamps.back() - stamps.front()).count() /
              static_cast<double>(stamps.size() - 1);
    const double model = std::max(100.0, 100.0 + 1.0 + WireMs(18 + live::kSize, baud));
    state.counters["period_ms"] = period;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = period / model;
    state.counters["failures"] = failures;
}
BENCHMARK(BM_DciPoll)->Arg(9600)->Arg(115200)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// --- BIT calibration -------------------------------------------------------
// One UV set of one-second loops at the UV/IR detector (address 2), driven as
// the window drives it: a tick, then the rest of its 100 ms. The model is the
// detector's BIT time (request to the first 'N': the loop's seconds and the
// setup's post-BIT time) of each loop, plus one poll period per state change,
// three a loop: max(100 ms, the read's 100 ms wait + the wire of 18 + 177 bytes).
constexpr unsigned kTickMs = 100;
constexpr unsigned kLoops = 1, kSeconds = 1;

void BM_BitSet(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    SimProcess sim;
    if (!sim.ready() || !OpenSimLink(sim, baud) || !SelectSlave(2)) {
        state.SkipWithError("cannot start the simulator or set up the line");
        return;
    }
    const auto postManbit = bitcal::ReadPostManbit();
    if (!postManbit) {
        state.SkipWithError("no setup record from the UV/IR detector");
        return;
    }
    FakePanel panel;
    bitcal::WireBitLink link;
    bitcal::BitSet set(panel, link, {bitcal::Kind::Uv, {kSeconds, 0, 0}, *postManbit});
    const double perPoll = std::max(double(kTickMs), 100.0 + WireMs(18 + live::kSize, baud));
    const double model = kLoops * (1000.0 * (kSeconds + *postManbit) + 3 * perPoll);
    const double ms = MeanRunMs(state, [&]() -> std::string {
        set.start(bitcal::BitSet::Which::Dark);
        for (;;) {
            const unsigned long long t0 = TickMs();
            const auto t = set.tick();
            if (t == bitcal::BitSet::Tick::Done) return {};
            if (t != bitcal::BitSet::Tick::Running) return set.error();
            if (const auto spent = TickMs() - t0; spent < kTickMs) PumpWait(unsigned(kTickMs - spent));
        }
    });
    ResetWire();
    state.counters["set_ms"] = ms;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = ms / model;
}
BENCHMARK(BM_BitSet)->Arg(9600)->Arg(115200)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
