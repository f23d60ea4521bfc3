#pragma once
// The main() of the benchmarks that open windows: offscreen unless a platform
// is asked for, and the windows' PumpWait installed, as in the tool itself.
#include <QApplication>
#include <benchmark/benchmark.h>

#include "app/kit/QtPump.h"

inline int RunQtBenchmarks(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    InstallQtPumpWait();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
