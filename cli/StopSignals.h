#pragma once
// SIGINT and SIGTERM end a long command between its exchanges while the
// guard lives; stopRequested() tells whether one came.
#include <csignal>

class StopSignals {
public:
    StopSignals() {
        flag() = 0;
        oldInt_ = std::signal(SIGINT, onSignal);
        oldTerm_ = std::signal(SIGTERM, onSignal);
    }
    ~StopSignals() {
        std::signal(SIGINT, oldInt_);
        std::signal(SIGTERM, oldTerm_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    static bool stopRequested() { return flag() != 0; }

private:
    static volatile std::sig_atomic_t& flag() {
        static volatile std::sig_atomic_t stop = 0;
        return stop;
    }
    static void onSignal(int) { flag() = 1; }
    void (*oldInt_)(int);
    void (*oldTerm_)(int);
};
