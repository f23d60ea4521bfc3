// How fast the frame checker examines bytes, as a multiple of a 921600-baud
// line (92,160 bytes/s). The raw link needs it well above 1: the checker runs
// on the thread that also draws the recordings.
#include <benchmark/benchmark.h>

#include "LineRate.h"

#include "link/CommDriver.h"
#include "link/Comproc.h"
#include "support/PtyPeer.h"
#include "support/RefCrc.h"

namespace {

// The state machine alone, bytes handed in directly.
void BM_ComprocByte(benchmark::State& state) {
    const auto frame = recordAnswer(1, std::vector<uint8_t>(static_cast<size_t>(state.range(0)), 0x5A));
    ResetCommDriver();
    for (auto _ : state) {
        ResetComproc();
        int r = 0;
        for (uint8_t b : frame) r = comprocByte(b);
        if (r != 1) state.SkipWithError("frame not accepted");
        benchmark::DoNotOptimize(r);
    }
    ReportLineRate(state, frame.size());
}
BENCHMARK(BM_ComprocByte)->Arg(160)->Arg(6000);

// As the raw link uses it: one byte per call, taken from the port's ring.
void BM_ComprocFromRing(benchmark::State& state) {
    PtyPeer pty;
    ResetCommDriver();
    const int slot = StartComm(pty.port(921600).c_str());
    if (slot < 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    SetCurrentCommPort(slot);
    const auto frame = recordAnswer(1, std::vector<uint8_t>(static_cast<size_t>(state.range(0)), 0x5A));
    for (auto _ : state) {
        state.PauseTiming();
        ResetComproc();
        PutInRXQueue(slot, frame.data(), frame.size());
        state.ResumeTiming();
        int r = 0;
        while (r == 0) r = comproc();
        if (r != 1) state.SkipWithError("frame not accepted");
    }
    ReportLineRate(state, frame.size());
    ResetCommDriver();
}
BENCHMARK(BM_ComprocFromRing)->Arg(6000);

}  // namespace

BENCHMARK_MAIN();
