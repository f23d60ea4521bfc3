// The command line's search of addresses 1 to 50 against a wexcon-sim
// process, set against the model of the search page's probe: a silent address
// costs two tries of the status request (100 ms wait, 500 ms time-out) 100 ms
// apart, then the 100 ms pause and the 50 ms tick, 1.45 s in all; an answering
// one the wait or the answer's arrival, whichever is later, then the pause and
// the tick. Target: ratio at most 1.02.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "SimLink.h"
#include "cli/CliCommands.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kAddresses = 50;
constexpr double kSilentMs = 2 * (100 + 500) + 100 + 100 + 50;
constexpr double kAnswerLatencyMs = 3, kAfterProbeMs = 100 + 50;

void BM_Search(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    const bool three = state.range(1) != 0;
    // Without detectors in the range, one sits elsewhere on the line.
    const std::vector<std::string> options =
        three ? std::vector<std::string>{"--detector", "3:ir", "--detector", "17:uvir", "--detector", "40:ir"}
              : std::vector<std::string>{"--detector", "200:ir"};
    SimProcess sim(options);
    if (!sim.ready() || !OpenSimLink(sim, baud)) {
        state.SkipWithError("cannot set up the line");
        return;
    }
    std::istringstream in;
    std::ostringstream out, err;
    CliSession session(out, err, in);
    double totalMs = 0;
    for (auto _ : state) {
        out.str("");
        const auto t0 = Clock::now();
        session.run({"search", "1", std::to_string(kAddresses)});
        totalMs += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
    ResetWire();
    const std::string lines = out.str();
    const auto found = static_cast<unsigned>(std::count(lines.begin(), lines.end(), '\n'));
    if (found != (three ? 3u : 0u)) state.SkipWithError("the search did not find the detectors on the line");

    const unsigned answerBytes = commandInfo(D_DATA2HOST)->responseSize;
    const double answerMs = std::max(100.0, kAnswerLatencyMs + answerBytes * 10.0 * 1000.0 / baud);
    // The last address is followed by the pause but by no tick.
    const double modelMs = (kAddresses - found) * kSilentMs + found * (answerMs + kAfterProbeMs) - 50;
    const double searchMs = totalMs / static_cast<double>(state.iterations());
    state.counters["search_s"] = searchMs / 1000;
    state.counters["model_s"] = modelMs / 1000;
    state.counters["found"] = found;
    state.counters["ratio"] = searchMs / modelMs;
    state.counters["ratio_to_N_x_1.45s"] = searchMs / (kAddresses * kSilentMs);
}
BENCHMARK(BM_Search)
    ->ArgNames({"baud", "three_detectors"})
    ->Args({9600, 0})
    ->Args({115200, 0})
    ->Args({9600, 1})
    ->Args({115200, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
