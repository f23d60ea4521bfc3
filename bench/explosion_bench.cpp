// The explosion monitor's erase and retrieval over sixteen detectors of a
// paced wexcon-sim process, against the sum of what each row prescribes:
// the step's 100 ms tick, the request's fixed wait (100 ms erase, 500 ms
// message) and the wire time of request and answer, plus the erase step's
// closing tick. Target: ratio at most 1.05. The answers overlap the waits,
// so at 9600 baud (a 1,403-byte message takes 1.46 s) the ratio lies well
// below 1.
#include <benchmark/benchmark.h>

#include "SimLink.h"
#include "monitor/ExplosionMonitor.h"
#include "monitor/TickLoop.h"
#include "shell/FakePanel.h"

namespace {

constexpr unsigned kRows = 16;
constexpr size_t kEraseRequest = 10, kEraseAnswer = 18, kMessageRequest = 11, kMessageAnswer = 1403;

void BM_ExplosionRun(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    SimProcess sim({"--detectors", "1-16:ir"});
    if (!sim.ready() || !OpenSimLink(sim, baud)) {
        state.SkipWithError("cannot start the simulator or set up the line");
        return;
    }
    explosion::ExplosionMonitor::Options o;
    o.addresses = [] {
        std::vector<uint8_t> a;
        for (uint8_t i = 1; i <= kRows; ++i) a.push_back(i);
        return a;
    };
    o.logPath = "/tmp/wexcon-bench-logX-" + std::to_string(::getpid()) + ".txt";
    explosion::ExplosionMonitor m(std::make_shared<FakePanel>(), o);
    const double run = MeanRunMs(state, [&]() -> std::string {
        m.startErase();
        RunOnClock(explosion::kTickMs, [&](unsigned long long) { return m.eraseTick(); });
        m.generated();
        if (!m.startRetrieve()) return "cannot open the log";
        RunOnClock(explosion::kTickMs, [&](unsigned long long) { return m.retrieveTick(); });
        return m.retriesRanOut() ? "a detector did not answer" : "";
    });
    ResetWire();
    std::remove(o.logPath.c_str());
    const double tick = explosion::kTickMs;
    const double model = kRows * (tick + 100 + WireMs(kEraseRequest + kEraseAnswer, baud)) + tick +
                         kRows * (tick + 500 + WireMs(kMessageRequest + kMessageAnswer, baud));
    state.counters["run_ms"] = run;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = run / model;
}
BENCHMARK(BM_ExplosionRun)->Arg(9600)->Arg(115200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
