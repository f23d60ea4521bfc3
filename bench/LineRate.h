#pragma once
// Throughput as a multiple of a 921600-baud line (92,160 bytes/s).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>

constexpr double kLineRate = 92160.0;

inline void ReportLineRate(benchmark::State& state, size_t bytesPerIteration) {
    const double bytes = static_cast<double>(bytesPerIteration) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["x_line_rate"] = benchmark::Counter(bytes / kLineRate, benchmark::Counter::kIsRate);
}
