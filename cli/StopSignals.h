#pragma once
// SIGINT and SIGTERM end a long command between its exchanges while it lasts.
#include <csignal>

namespace cli_stop {
inline volatile std::sig_atomic_t g_stop = 0;
inline void OnStopSignal(int) { g_stop = 1; }
}  // namespace cli_stop

struct StopSignals {
    StopSignals() {
        cli_stop::g_stop = 0;
        oldInt = std::signal(SIGINT, cli_stop::OnStopSignal);
        oldTerm = std::signal(SIGTERM, cli_stop::OnStopSignal);
    }
    ~StopSignals() {
        std::signal(SIGINT, oldInt);
        std::signal(SIGTERM, oldTerm);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    bool stopped() const { return cli_stop::g_stop != 0; }
    void (*oldInt)(int);
    void (*oldTerm)(int);
};
