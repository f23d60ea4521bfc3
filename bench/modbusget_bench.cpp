// Host overhead of one status request over a pseudo-terminal: the time a
// ModbusGet takes beyond its fixed wait and the answer's time on the wire.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "support/PtyPeer.h"
#include "support/RefCrc.h"

namespace {

void ModbusGetOverhead(benchmark::State& state) {
    const unsigned baud = static_cast<unsigned>(state.range(0));
    const unsigned waitMs = 10;
    PtyPeer peer;
    ResetWire();
    ParseDCB(peer.port(baud), &Wire().port);
    if (!OpenModbusContext()) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    const auto answer = recordAnswer(1, std::vector<uint8_t>(160, 0));
    std::atomic<bool> run{true};
    std::thread detector([&] {
        while (run) {
            // The answer starts after the host's fixed wait, so that wait and
            // wire time add up as they do for a detector that answers late.
            if (peer.read(50, 18).size() != 18) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            peer.write(answer, baud);
        }
    });
    const double answerWireMs = answer.size() * 10.0 * 1000.0 / baud;
    double overheadMs = 0;
    for (auto _ : state) {
        uint8_t buffer[177];
        const auto start = std::chrono::steady_clock::now();
        const int r = ModbusGet(0, D_DATA2HOST, Wire().ctx, buffer, 177, waitMs, 500);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (r != 177) state.SkipWithError("no answer");
        overheadMs += took.count() - waitMs - answerWireMs;
    }
    run = false;
    detector.join();
    ResetWire();
    state.counters["overhead_ms"] = overheadMs / static_cast<double>(state.iterations());
    state.counters["overhead_to_target"] = overheadMs / static_cast<double>(state.iterations()) / 2.0;
}
BENCHMARK(ModbusGetOverhead)->Arg(9600)->Arg(115200)->Arg(921600)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
