#pragma once
// SIGINT and SIGTERM end a long command between its exchanges while the
// guard lives; stopRequested() tells whether one came.
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <iostream>

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

// Waits for the technician's next line on `in` without blocking past a stop
// signal: every half second `keepWaiting` is asked (false gives up). Standard
// input is unbuffered in wexcon-cli, so what poll() sees is all there is; any
// other stream is read at once.
enum class InputWait { Ready, Stopped, GaveUp };
inline InputWait WaitForInput(std::istream& in, const std::function<bool()>& keepWaiting = {}) {
    if (&in != &std::cin) return InputWait::Ready;
    for (;;) {
        if (StopSignals::stopRequested()) return InputWait::Stopped;
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        // Readable, at end of input or in error: the read that follows tells which.
        if (::poll(&fd, 1, 500) > 0) return InputWait::Ready;
        if (StopSignals::stopRequested()) return InputWait::Stopped;
        if (keepWaiting && !keepWaiting()) return InputWait::GaveUp;
    }
}
