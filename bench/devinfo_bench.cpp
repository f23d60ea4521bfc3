// The command line's devinfo burn against a wexcon-sim process paced at the
// line speed, set against what its exchanges prescribe: the status request,
// the 10 ms pause and the device-information read, the setup read for the
// lock state, the 3 s pause, the write (500 ms wait), the 500 ms and 1 s
// pauses after it, and every frame's time on the wire (10 bits a byte).
// Target: ratio at most 1.05.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "SimLink.h"
#include "cli/CliCommands.h"
#include "protocol/records/DevInfoRecord.h"
#include "protocol/records/SetupRecord.h"
#include "support/TempFolder.h"

namespace {

constexpr size_t kGetRequest = 8;  // a record Get without payload: header and CRC
constexpr size_t kAuthorised = 4;  // an authorised Get carries its code besides
constexpr size_t kStatusAnswer = 177;
constexpr double kGetWaitMs = 100, kWriteWaitMs = 500;
constexpr double kPausesMs = 10 + 3000 + 500 + 1000;


void BM_DevInfoBurn(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    TempFolder folder;
    SimProcess sim({"--detector", "1:ir"});
    if (!sim.ready() || !OpenSimLink(sim, baud) || !SelectSlave(1)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    std::ofstream("devinfo.txt") << "tag=BENCH\nmessage=BURNED BY THE BENCHMARK\n";
    std::istringstream in;
    std::ostringstream out, err;
    CliSession session(out, err, in);
    const double tookMs = MeanRunMs(state, [&]() -> std::string {
        const int status = session.run({"devinfo", "burn", "devinfo.txt"});
        return status != kCliOk ? std::string(err.str()) : std::string();
    });
    ResetWire();

    // Per exchange: request, wait, answer; `tight` lets the answer arrive
    // within the wait, as a paced line does, to show the host's own overhead.
    double prescribed = kPausesMs, tight = kPausesMs;
    const auto exchange = [&](size_t request, double waitMs, size_t answer) {
        prescribed += WireMs(request, baud) + waitMs + WireMs(answer, baud);
        tight += WireMs(request, baud) + std::max(waitMs, WireMs(answer, baud));
    };
    exchange(kGetRequest, kGetWaitMs, kStatusAnswer);
    exchange(kGetRequest, kGetWaitMs, kDevInfoAnswerSize);
    exchange(kGetRequest, kGetWaitMs, kSetupAnswerSize);
    exchange(kGetRequest + kAuthorised + kDevInfoSize, kWriteWaitMs, kDevInfoAnswerSize);
    state.counters["took_ms"] = tookMs;
    state.counters["model_ms"] = prescribed;
    state.counters["ratio"] = tookMs / prescribed;
    state.counters["ratio_to_wire"] = tookMs / tight;
}
BENCHMARK(BM_DevInfoBurn)
    ->ArgNames({"baud"})
    ->Arg(9600)
    ->Arg(115200)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
