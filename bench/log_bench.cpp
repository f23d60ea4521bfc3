// Get All of the detector log against a wexcon-sim process paced at the line
// speed, set against what the download prescribes: the information request's
// 500 ms and each page's 1000 ms wait, the 10 ms between pages, and every frame
// on the wire (10 bits a byte). Pages of 50 records, as the page's automatic
// mode reads them. Target: ratio at most 1.05.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "SimLink.h"
#include "firmware/LogDownload.h"
#include "shell/FakePanel.h"
#include "support/TempFolder.h"
#include "wire/Frame.h"

namespace {

constexpr unsigned kSlots = 80, kPage = 50;
constexpr size_t kGetRequest = 8;  // a record Get without payload: header and CRC

void BM_LogGetAll(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    const auto sectors = static_cast<unsigned>(state.range(1));
    const unsigned total = sectors * kSlots;
    SimProcess sim({"--detector", "1:ir,log=" + std::to_string(total) + ",ring=" + std::to_string(sectors) + "x" +
                                      std::to_string(kSlots) + ",maxrecs=" + std::to_string(kPage)});
    if (!sim.ready() || !OpenSimLink(sim, baud) || !SelectSlave(1)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    TempFolder folder;
    LogDownloadRequest rq;
    rq.mode = LogMode::All;
    rq.pageLimit = kPage;
    const double tookMs = MeanRunMs(state, [&]() -> std::string {
        FakePanel panel;
        const auto r = RunLogDownload(panel, rq, {});
        return r.records == total && r.failedPages == 0 && r.fileWritten ? std::string() : "records missing";
    });
    ResetWire();

    // The target's model puts each wait and its answer in series; the host's wait is a
    // sleep the answer arrives during, so "tight" overlaps them as the line allows.
    double model = 0, tight = 0;
    auto exchange = [&](size_t request, size_t answer, double waitMs, double pauseMs) {
        model += waitMs + pauseMs + WireMs(request + answer, baud);
        tight += WireMs(request, baud) + std::max(waitMs, WireMs(answer, baud)) + pauseMs;
    };
    exchange(kGetRequest + 5, kFrameOverhead + kLogRingInfoSize, 500, 0);
    for (unsigned left = total; left > 0;) {
        const unsigned page = std::min(left, kPage);
        exchange(kGetRequest + 4, kFrameOverhead + 4 + page * kLogRecordSize, 1000, 10);
        left -= page;
    }
    state.counters["took_ms"] = tookMs;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = tookMs / model;
    state.counters["ratio_tight"] = tookMs / tight;
}
// The whole 32 x 80 ring at 921600; a quarter-size ring (4 x 80) at 9600, where one run would take three minutes.
BENCHMARK(BM_LogGetAll)
    ->ArgNames({"baud", "sectors"})
    ->Args({921600, 32})
    ->Args({9600, 4})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
