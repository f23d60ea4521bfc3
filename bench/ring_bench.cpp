// Receive ring throughput as a multiple of a 921600-baud line (92,160
// bytes/s): the read thread puts whole 2048-byte reads, the application takes
// what it wants.
#include <benchmark/benchmark.h>

#include "LineRate.h"

#include <vector>

#include "link/RxRing.h"

namespace {

// One read's worth in, then taken out in pieces of range(0) bytes.
void BM_RingPutGet(benchmark::State& state) {
    RxRing ring;
    std::vector<uint8_t> in(2048), out(static_cast<size_t>(state.range(0)));
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i);
    for (auto _ : state) {
        ring.put(in.data(), in.size());
        size_t got = 0;
        while (got < in.size()) got += ring.get(out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    ReportLineRate(state, in.size());
}
BENCHMARK(BM_RingPutGet)->Arg(2048)->Arg(256)->Arg(64);

// The application has fallen behind: every put overwrites the oldest bytes.
void BM_RingPutOverrun(benchmark::State& state) {
    RxRing ring;
    std::vector<uint8_t> in(2048, 0x5A);
    for (size_t at = 0; at < ring.size(); at += in.size()) ring.put(in.data(), in.size());
    for (auto _ : state) {
        ring.put(in.data(), in.size());
        benchmark::DoNotOptimize(ring.count());
    }
    ReportLineRate(state, in.size());
}
BENCHMARK(BM_RingPutOverrun);

}  // namespace

BENCHMARK_MAIN();
