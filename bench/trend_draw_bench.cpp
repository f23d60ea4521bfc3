// The trend page's full redraw with a full history: decimated to the plot's
// 503 columns, it must stay under 50 ms even at a month of one-second samples.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "app/monitor/CGraph.h"

namespace {

// N samples: a month at one a second, a day at one a second, an hour at one a minute.
trend::Settings settingsFor(int64_t n) {
    if (n == 2678400) return {31, 2, 1, 0};
    if (n == 86400) return {1, 2, 1, 0};
    return {1, 1, 1, 1};
}

void BM_TrendDraw(benchmark::State& state) {
    std::time_t now = 1796479407;
    trend::TrendHistory history([&] { return now; });
    history.apply(settingsFor(state.range(0)));
    if (static_cast<int64_t>(history.size()) != state.range(0)) {
        state.SkipWithError("no settings for this N");
        return;
    }
    for (uint64_t i = 0; i < history.size(); ++i, now += static_cast<std::time_t>(history.period())) {
        const float x = static_cast<float>(i);
        history.add(24 + 2 * std::sin(x / 500), 25 + 10 * std::sin(x / 7000), 4 + static_cast<float>(i % 160) / 10);
    }
    QImage image(600, 320, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        DrawTrend(painter, QRect(56, 12, 503, 260), history, trend::Axis::Temp, false);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["samples"] = static_cast<double>(history.size());
}
BENCHMARK(BM_TrendDraw)->Arg(60)->Arg(86400)->Arg(2678400)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
