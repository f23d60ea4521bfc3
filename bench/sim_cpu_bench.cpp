// CPU the simulator spends per second of a busy line at 921600 baud.
// Target: under 5% of one core. The host runs on the benchmark thread; the
// simulator's share is the process CPU time minus that thread's.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "protocol/Commands.h"
#include "protocol/records/ResponseHeader.h"
#include "support/TestLine.h"
#include "tests/sim/SimHost.h"

namespace {

double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// The status answer's size: back-to-back status polls; 1403: message reads, which keep
// the line transmitting most of the time.
void BM_SimCpuAt921600(benchmark::State& state) {
    using namespace simtest;
    const size_t answerSize = static_cast<size_t>(state.range(0));
    std::string error;
    const auto line = testline::start({testline::ir(1)}, {.fast = false}, &error);
    if (!line) {
        state.SkipWithError(error.c_str());
        return;
    }
    Host host;
    host.open(line->slavePath(), 9600);
    host.send(recordSet(1, 140, {0x00, 0x10, 0x0E, 0x00}));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    host.open(line->slavePath(), 921600);
    const size_t statusSize = commandInfo(D_DATA2HOST)->responseSize;
    const auto first = DecodeHeader(host.exchange(dataRequest(1), statusSize));
    if (!first) {
        state.SkipWithError("no answer");
        return;
    }
    uint32_t nonce = first->nonce;

    double simCpu = 0, wall = 0, bytes = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const double p0 = cpuSeconds(RUSAGE_SELF), h0 = cpuSeconds(RUSAGE_THREAD);
        for (;;) {
            const Bytes r = answerSize == statusSize ? host.exchange(dataRequest(1), statusSize)
                                                     : host.exchange(authorisedGet(1, 156, {8, 0}, nonce), 1403);
            if (r.size() != answerSize) {
                state.SkipWithError("answer lost");
                return;
            }
            nonce = DecodeHeader(r)->nonce;
            bytes += double(r.size());
            if (std::chrono::steady_clock::now() - t0 >= std::chrono::seconds(1)) break;
        }
        simCpu += (cpuSeconds(RUSAGE_SELF) - p0) - (cpuSeconds(RUSAGE_THREAD) - h0);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["sim_cpu_percent"] = 100.0 * simCpu / wall;
    state.counters["line_busy_percent"] = 100.0 * bytes * 10.0 / 921600.0 / wall;
    line->stop();
}
BENCHMARK(BM_SimCpuAt921600)
    ->Arg(commandInfo(D_DATA2HOST)->responseSize)
    ->Arg(1403)
    ->Iterations(3)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
