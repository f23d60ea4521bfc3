#include "util/PumpWait.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {
std::mutex g_mutex;
std::function<void(unsigned)> g_pump;
}  // namespace

void PumpWait(unsigned milliseconds) {
    std::function<void(unsigned)> pump;
    {
        std::lock_guard lock(g_mutex);
        pump = g_pump;
    }
    if (pump)
        pump(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetPumpWait(std::function<void(unsigned)> pump) {
    std::lock_guard lock(g_mutex);
    g_pump = std::move(pump);
}

unsigned long long TickMs() {
    using namespace std::chrono;
    return static_cast<unsigned long long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
