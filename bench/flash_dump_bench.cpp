// The flash dump against a wexcon-sim process paced at the line speed, set
// against what its six reads prescribe: each request's 10 ms wait and every
// frame's time on the wire (10 bits a byte). Target: ratio at most 1.05.
#include <benchmark/benchmark.h>

#include <vector>

#include "SimLink.h"
#include "firmware/FlashDump.h"
#include "protocol/Commands.h"
#include "shell/FakePanel.h"
#include "wire/Frame.h"

namespace {

constexpr double kWaitMs = 10;
constexpr size_t kRequest = 8 + 8;  // a record Get's header and CRC, with address and count


void BM_FlashDump(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    SimProcess sim({"--detector", "1:ir"});
    if (!sim.ready() || !OpenSimLink(sim, baud) || !SelectSlave(1)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    // The key of the first authorised read, as the poll leaves it.
    std::vector<uint8_t> status(commandInfo(D_DATA2HOST)->responseSize);
    ModbusGet(0, D_DATA2HOST, Wire().ctx, status.data(), static_cast<unsigned>(status.size()), 10, 1000);
    const double tookMs = MeanRunMs(state, [&]() -> std::string {
        FakePanel panel;
        const FlashDump dump = RunFlashDump(panel);
        return dump.failedArea >= 0 ? std::string("an area failed") : std::string();
    });
    ResetWire();

    double model = 0;
    for (const FlashArea& a : kFlashAreas) model += kWaitMs + WireMs(kRequest + kFrameOverhead + a.bytes, baud);
    state.counters["took_ms"] = tookMs;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = tookMs / model;
}
BENCHMARK(BM_FlashDump)->ArgName("baud")->Arg(9600)->Arg(115200)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
