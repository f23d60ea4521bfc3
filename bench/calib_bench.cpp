// Calibration runs against a paced wexcon-sim process. Counter `ratio`, target
// at most 1.05.
#include <benchmark/benchmark.h>

#include "SimLink.h"
#include "calib/BitWire.h"
#include "protocol/records/LiveRecord.h"
#include "shell/FakePanel.h"
#include "util/PumpWait.h"

namespace {

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
