// The automatic calibration against a paced wexcon-sim process, set against
// its model: (1) a background-poll round of 3 and 9 detectors against
// n x (100 ms wait + wire time of request and live record + 100 ms pause);
// (2) the burn step, from the object read to the last row, against its
// prescribed waits (the transport's, 2 s after the broadcast, a second per
// row, 150 ms after each write) plus the wire time of every frame.
// Target: ratio at most 1.05 for both.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <mutex>

#include "SimLink.h"
#include "calib/AutoCalibWire.h"
#include "shell/FakePanel.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kGetBytes = 9, kLiveRequestBytes = 18;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// Notes when the master's row is shown (a poll round starts) and when the
// burn step starts and ends; ends the run once the background is learnt
// when only the rounds are wanted.
class TimingPanel : public FakePanel {
public:
    bool stopAfterBackground = false;
    std::vector<Clock::time_point> masterShown;
    Clock::time_point burnStart, burnEnd;
    bool learning = false, inBurn = false;

    void setText(int id, const std::string& t) override {
        if (id == autocal::kStatus && t.rfind("247 ", 0) == 0 && !learning) masterShown.push_back(Clock::now());
        FakePanel::setText(id, t);
    }
    void addLine(int id, const std::string& line) override {
        if (line == "Calibration: Started learning the background") learning = true;
        if (line == "Calibration: Learning the background concluded" && stopAfterBackground) requestAbort();
        if (line == "Calibration: Get 'calib' from master") burnStart = Clock::now(), inBurn = true;
        if (line == "Done." && inBurn) burnEnd = Clock::now();
        FakePanel::addLine(id, line);
    }
};

std::vector<std::string> Detectors(unsigned slaves) {
    std::vector<std::string> o{"--detector", "247:ir,bg=2"};
    o.push_back("--detectors");
    o.push_back("1-" + std::to_string(slaves) + ":ir,bg=2");
    return o;
}

void WriteSettings(unsigned learnSec) {
    std::ofstream("Param.ini") << "[Calibration]\nnum_iter=10\nLearnBGsec=" << learnSec
                               << "\n[Calibrate]\nWaitForSensorStabilization=0\nWaitForShutterCloseSec=0\n";
}

autocal::RunOptions Options(unsigned slaves) {
    autocal::RunOptions o;
    o.addresses = {247};
    for (unsigned a = 1; a <= slaves; ++a) o.addresses.push_back(a), o.serials.push_back(7000 + a);
    return o;
}

void BM_AutoCalibPollRound(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    const auto detectors = static_cast<unsigned>(state.range(1));
    TempFolder folder;
    WriteSettings(1);
    SimProcess sim(Detectors(detectors - 1));
    if (!sim.ready() || !OpenSimLink(sim, baud)) return state.SkipWithError("cannot start the simulator");
    double roundMs = 0;
    for (auto _ : state) {
        TimingPanel panel;
        panel.stopAfterBackground = true;
        autocal::WireCalibLink link;
        autocal::RunAutoCalibration(panel, link, Options(detectors - 1));
        if (panel.masterShown.size() < 3) return state.SkipWithError("fewer than three rounds");
        roundMs = Ms(panel.masterShown.front(), panel.masterShown.back()) / double(panel.masterShown.size() - 1);
    }
    ResetWire();
    const double model = detectors * (100 + WireMs(kLiveRequestBytes + live::kSize, baud) + 100);
    state.counters["round_ms"] = roundMs;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = roundMs / model;
}

void BM_AutoCalibBurn(benchmark::State& state) {
    const auto baud = static_cast<unsigned>(state.range(0));
    constexpr unsigned kSlaves = 2;
    TempFolder folder;
    WriteSettings(1);
    SimProcess sim(Detectors(kSlaves));
    if (!sim.ready() || !OpenSimLink(sim, baud)) return state.SkipWithError("cannot start the simulator");
    double burnMs = 0;
    for (auto _ : state) {
        TimingPanel panel;
        autocal::WireCalibLink link;
        const auto r = autocal::RunAutoCalibration(panel, link, Options(kSlaves));
        if (r.rows.size() != kSlaves + 1 || r.rows[1].state != autocal::State::Calibrated)
            return state.SkipWithError("the run did not calibrate");
        burnMs = Ms(panel.burnStart, panel.burnEnd);
    }
    ResetWire();
    auto get = [&](double answer) { return 100 + WireMs(kGetBytes, baud) + WireMs(answer, baud); };
    auto set = [&](double bytes) { return std::max(bytes, WireMs(bytes + 6.5, baud)); };
    const double params = kIrParamAnswerSize, record = kIrParamSize + kGetBytes;
    const double model = get(calrec::kObjectAnswerSize) + set(calrec::kObjectSize + kGetBytes) + 2000 +
                         (kSlaves + 1) * (1000 + get(97)) + kSlaves * (2 * get(params) + set(record) + 150);
    state.counters["burn_ms"] = burnMs;
    state.counters["model_ms"] = model;
    state.counters["ratio"] = burnMs / model;
}

BENCHMARK(BM_AutoCalibPollRound)
    ->Args({9600, 3})
    ->Args({9600, 9})
    ->Args({115200, 3})
    ->Args({115200, 9})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_AutoCalibBurn)->Arg(9600)->Arg(115200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
