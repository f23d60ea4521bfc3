#include "util/PumpWait.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

namespace {
std::mutex g_mutex;
std::function<void(unsigned)> g_pump;
std::function<void(unsigned)> g_procedureWait;
thread_local const std::atomic<bool>* t_abort = nullptr;

void sleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace

void PumpWait(unsigned milliseconds) {
    if (t_abort) {
        std::function<void(unsigned)> replaced;
        {
            std::lock_guard lock(g_mutex);
            replaced = g_procedureWait;
        }
        if (replaced) return replaced(milliseconds);
        // Slices short enough that an abort is seen at once, long enough to cost nothing.
        const unsigned long long end = TickMs() + milliseconds;
        for (unsigned long long now = TickMs(); now < end && !t_abort->load(); now = TickMs())
            sleepMs(static_cast<unsigned>(std::min<unsigned long long>(end - now, 10)));
        return;
    }
    std::function<void(unsigned)> pump;
    {
        std::lock_guard lock(g_mutex);
        pump = g_pump;
    }
    if (pump)
        pump(milliseconds);
    else
        sleepMs(milliseconds);
}

void SetPumpWait(std::function<void(unsigned)> pump) {
    std::lock_guard lock(g_mutex);
    g_pump = std::move(pump);
}

void SetProcedureWait(std::function<void(unsigned)> wait) {
    std::lock_guard lock(g_mutex);
    g_procedureWait = std::move(wait);
}

const std::atomic<bool>* SetThreadAbortFlag(const std::atomic<bool>* flag) { return std::exchange(t_abort, flag); }

bool AbortRequested() { return t_abort && t_abort->load(); }

unsigned long long TickMs() {
    using namespace std::chrono;
    return static_cast<unsigned long long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
