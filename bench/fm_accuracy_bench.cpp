// How far the FM approval test's frozen times lie from the true onsets:
// eight detectors of a paced wexcon-sim process go into alarm at chosen
// readings of their test timers (fm-fire), some at the same moment. A time
// may lie after its onset by at most A x P + 20 ms, A being the detectors not
// yet frozen when the onset came (the turns before the detector is asked
// again) and P the poll period; never before it. Reports the worst of eight.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "SimLink.h"
#include "monitor/FmTest.h"
#include "monitor/TickLoop.h"
#include "shell/FakePanel.h"

namespace {

constexpr uint32_t kOnsets[8] = {400, 400, 700, 1000, 1000, 1000, 1300, 1800};
constexpr unsigned long long kGiveUpMs = 20'000;

void BM_FmAccuracy(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    std::vector<std::string> options{"--detectors", "1-8:ir"};
    for (unsigned i = 0; i < 8; ++i) options.insert(options.end(), {"--fault", "fm-fire " + std::to_string(i + 1) + " " + std::to_string(kOnsets[i])});
    SimProcess sim(options);
    if (!sim.ready() || !OpenSimLink(sim, baud)) {
        state.SkipWithError("cannot start the simulator or set up the line");
        return;
    }
    fmtest::FmTest::Options o;
    o.addresses = [] { return std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}; };
    o.paramIni = "/nonexistent/Param.ini";  // no correction: the raw counters are compared
    fmtest::FmTest test(std::make_shared<FakePanel>(), o);
    // Per polling tick: its start (from the start broadcast) and the detectors still expected then.
    std::vector<std::pair<double, int>> ticks;
    unsigned long long started = 0;
    for (auto _ : state) {
        test.open();
        test.start();
        RunOnClock(
            50,
            [&](unsigned long long now) {
                if (!started) started = now;
                else ticks.emplace_back(static_cast<double>(now - started), test.expected());
                test.tick(now);
                return test.expected() != 0;
            },
            TickMs() + kGiveUpMs);
    }
    ResetWire();
    if (test.expected() != 0 || ticks.size() < 2) {
        state.SkipWithError("not every detector froze");
        return;
    }
    const double period = (ticks.back().first - ticks.front().first) / static_cast<double>(ticks.size() - 1);
    double worst = -1e9, worstBound = 0, earliest = 1e9;
    bool within = true;
    for (unsigned i = 0; i < 8; ++i) {
        const auto& row = test.row(i);
        const double late = static_cast<double>(row.timerMs.value_or(0)) - kOnsets[i];
        const auto at = std::find_if(ticks.begin(), ticks.end(), [&](const auto& t) { return t.first >= kOnsets[i]; });
        const int pending = at == ticks.end() ? 1 : std::max(at->second, 1);
        const double bound = pending * period + 20;
        state.counters["late" + std::to_string(i + 1)] = late;
        within = within && late >= 0 && late <= bound;
        earliest = std::min(earliest, late);
        if (late > worst) {
            worst = late;
            worstBound = bound;
        }
    }
    state.counters["worst_late_ms"] = worst;
    state.counters["its_bound_ms"] = worstBound;
    state.counters["earliest_late_ms"] = earliest;
    state.counters["period_ms"] = period;
    state.counters["within"] = within ? 1 : 0;
}
BENCHMARK(BM_FmAccuracy)->Arg(9600)->Arg(115200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
