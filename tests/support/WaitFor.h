#pragma once
#include <chrono>
#include <functional>
#include <thread>

// Polls `done` every millisecond until it holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
