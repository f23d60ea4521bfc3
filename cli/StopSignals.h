#pragma once
// SIGINT and SIGTERM end a running command between its steps while an
// instance lives; stopRequested() tells whether one came.
#include <csignal>

namespace clisignal {
inline volatile std::sig_atomic_t g_stop = 0;
inline void OnStop(int) { g_stop = 1; }
}  // namespace clisignal

struct StopSignals {
    StopSignals() {
        clisignal::g_stop = 0;
        oldInt = std::signal(SIGINT, clisignal::OnStop);
        oldTerm = std::signal(SIGTERM, clisignal::OnStop);
    }
    ~StopSignals() {
        std::signal(SIGINT, oldInt);
        std::signal(SIGTERM, oldTerm);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    static bool stopRequested() { return clisignal::g_stop != 0; }
    void (*oldInt)(int);
    void (*oldTerm)(int);
};
