#include "link/CommLog.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "util/Profile.h"

namespace {

enum State : int { kUndecided, kOff, kOn };

// The decision is taken under the lock so that threads logging their first
// lines at the same moment read Comm.ini once and agree on the outcome; once
// off, a line costs one atomic load.
std::atomic<int> gState{kUndecided};
std::mutex gLock;
std::FILE* gFile = nullptr;
std::chrono::steady_clock::time_point gStart;

void decideLocked() {
    if (gState.load() != kUndecided) return;
    const int on = ProfileGetInt("Comm.ini", "default", "comm_log", 0);
    if (on != 0) {
        gFile = std::fopen("comm.log", "w");
        gStart = std::chrono::steady_clock::now();
    }
    // A comm.log that cannot be created leaves the log silent, as when off.
    gState.store(gFile ? kOn : kOff);
}

}  // namespace

void CommLog(const char* text) {
    if (gState.load(std::memory_order_acquire) == kOff || !text) return;
    std::lock_guard<std::mutex> g(gLock);
    decideLocked();
    if (!gFile) return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - gStart)
                        .count();
    const unsigned long long t = ms < 0 ? 0 : static_cast<unsigned long long>(ms);
    std::fprintf(gFile, "%u:%02u:%03u  %s", static_cast<unsigned>(t / 60000),
                 static_cast<unsigned>(t / 1000 % 60), static_cast<unsigned>(t % 1000), text);
    std::fflush(gFile);
}

void CommLogf(const char* format, ...) {
    if (gState.load(std::memory_order_acquire) == kOff) return;
    char text[1024];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    CommLog(text);
}

void CommLogError(unsigned long code, const char* text) {
    if (gState.load(std::memory_order_acquire) == kOff) return;
    std::string what = text ? text : "";
    if (code != 0) {
        what += std::strerror(static_cast<int>(code));
        what += '\n';
    }
    CommLogf("Last error was %lu: %s", code, what.c_str());
}

bool CommLogEnabled() {
    std::lock_guard<std::mutex> g(gLock);
    decideLocked();
    return gFile != nullptr;
}

void CommLogResetForTest() {
    std::lock_guard<std::mutex> g(gLock);
    if (gFile) std::fclose(gFile);
    gFile = nullptr;
    gState.store(kUndecided);
}
