// Parameters Update (patch apply) and the summary against a wexcon-sim
// process paced at the line speed, set against what their exchanges
// prescribe: each request's wait, the write's millisecond per byte, and
// every frame's time on the wire (10 bits a byte). An update is the status
// request, the parameter read, the write and the read-back; a summary the
// parameter, setup and device-information reads. Target: ratio at most 1.05.
#include <benchmark/benchmark.h>

#include <sstream>

#include "SimLink.h"
#include "cli/CliCommands.h"
#include "config/ParamFiles.h"
#include "protocol/Commands.h"
#include "protocol/records/SetupRecord.h"
#include "support/TempFolder.h"
#include "util/WholeFile.h"

namespace {

constexpr size_t kGetRequest = 8, kSetHeader = 6, kCrc = 2, kDevInfoAnswer = 125;


struct Model {
    double prescribed = 0;
    void get(size_t answer, unsigned baud, double waitMs = 100) { prescribed += waitMs + WireMs(kGetRequest + answer, baud); }
    void set(size_t payload, unsigned baud) {
        prescribed += static_cast<double>(kSetHeader + payload) + WireMs(kSetHeader + payload + kCrc, baud);
    }
};

void BM_ParamUpdate(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    const bool summary = state.range(1) != 0;
    TempFolder folder;
    SimProcess sim({"--detector", "1:ir"});
    if (!sim.ready() || !OpenSimLink(sim, baud) || !SelectSlave(1)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    Patch patch{PatchMask(ParamKind::Ir, std::vector{*FindElement(ParamKind::Ir, "sumsize")}),
                ParamRecord::Defaults(ParamKind::Ir)};
    WriteWholeFile("IR3.upm", EncodePatch(patch));
    std::istringstream in;
    std::ostringstream out, err;
    CliSession session(out, err, in);
    const std::vector<std::string> command = summary ? std::vector<std::string>{"summary"}
                                                     : std::vector<std::string>{"patch", "apply", "IR3.upm"};
    const double tookMs = MeanRunMs(state, [&]() -> std::string {
        const int status = session.run(command);
        return status != kCliOk ? std::string(err.str()) : std::string();
    });
    ResetWire();

    Model model;
    if (summary) {
        model.get(kIrParamAnswerSize, baud);
        model.get(kSetupAnswerSize, baud);
        model.get(kDevInfoAnswer, baud);
    } else {
        const CommandInfo& status = *commandInfo(D_DATA2HOST);
        model.get(status.responseSize, baud, status.waitMs);
        model.get(kIrParamAnswerSize, baud);
        model.set(kIrParamSize, baud);
        model.get(kIrParamAnswerSize, baud);
    }
    state.counters["took_ms"] = tookMs;
    state.counters["model_ms"] = model.prescribed;
    state.counters["ratio"] = tookMs / model.prescribed;
}
BENCHMARK(BM_ParamUpdate)
    ->ArgNames({"baud", "summary"})
    ->ArgsProduct({{9600, 115200}, {0, 1}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
