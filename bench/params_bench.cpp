// The command line's params read and params burn against a wexcon-sim
// process paced at the line speed, set against what their exchanges
// prescribe: each request's wait (100 ms), the write's millisecond per byte,
// and every frame's time on the wire (10 bits a byte). A burn is the read,
// the lock-state read of the elevation, the write and the read-back.
// Target: ratio at most 1.05. `ratio_to_wire` sets the time against the
// tighter bound of the slower of wait and wire for each exchange, to show
// the host's own overhead.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <sstream>

#include "SimLink.h"
#include "cli/CliCommands.h"
#include "protocol/records/ParamRecord.h"
#include "protocol/records/SetupRecord.h"
#include "support/TempFolder.h"

namespace {

constexpr double kGetWaitMs = 100;
constexpr size_t kGetRequest = 8;           // a record Get without payload: header and CRC
constexpr size_t kSetHeader = 6, kCrc = 2;  // a record Set: the payload between them


struct Model {
    double prescribed = 0;  // waits plus wire time
    double tight = 0;       // per exchange the longer of wait and wire time
    void get(size_t answer, unsigned baud) {
        const double wire = WireMs(kGetRequest + answer, baud);
        prescribed += kGetWaitMs + wire;
        tight += std::max(kGetWaitMs, wire);
    }
    void set(size_t payload, unsigned baud) {
        // The millisecond a byte counts the frame as it is handed over, before its CRC.
        const double waitMs = static_cast<double>(kSetHeader + payload);
        const double wire = WireMs(kSetHeader + payload + kCrc, baud);
        prescribed += waitMs + wire;
        tight += std::max(waitMs, wire);
    }
};

void BM_Params(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    const ParamKind kind = state.range(1) ? ParamKind::Uvir : ParamKind::Ir;
    const bool burn = state.range(2) != 0;
    TempFolder folder;  // the record file and the one every write leaves
    SimProcess sim({"--detector", "1:ir", "--detector", "2:uvir"});
    if (!sim.ready() || !OpenSimLink(sim, baud) || !SelectSlave(kind == ParamKind::Ir ? 1 : 2)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    std::istringstream in;
    std::ostringstream out, err;
    CliSession session(out, err, in);
    if (session.run({"params", "read", "record.bin"}) != kCliOk) {
        state.SkipWithError("no parameter record");
        return;
    }
    const std::vector<std::string> command =
        burn ? std::vector<std::string>{"params", "burn", "record.bin"}
             : std::vector<std::string>{"params", "read"};
    const double tookMs = MeanRunMs(state, [&]() -> std::string {
        const int status = session.run(command);
        return status != kCliOk ? std::string(err.str()) : std::string();
    });
    ResetWire();

    Model model;
    model.get(ParamAnswerSize(kind), baud);
    if (burn) {
        model.get(kSetupAnswerSize, baud);
        model.set(ParamSize(kind), baud);
        model.get(ParamAnswerSize(kind), baud);
    }
    state.counters["took_ms"] = tookMs;
    state.counters["model_ms"] = model.prescribed;
    state.counters["ratio"] = tookMs / model.prescribed;
    state.counters["ratio_to_wire"] = tookMs / model.tight;
}
BENCHMARK(BM_Params)
    ->ArgNames({"baud", "uvir", "burn"})
    ->ArgsProduct({{9600, 115200}, {0, 1}, {0, 1}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
