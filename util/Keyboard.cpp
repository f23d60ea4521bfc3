#include "util/Keyboard.h"

#include <mutex>

namespace {
std::mutex g_mutex;
std::function<KeyState()> g_source;
}  // namespace

KeyState CurrentKeys() {
    std::function<KeyState()> source;
    {
        std::lock_guard lock(g_mutex);
        source = g_source;
    }
    return source ? source() : KeyState{};
}

void SetKeySource(std::function<KeyState()> source) {
    std::lock_guard lock(g_mutex);
    g_source = std::move(source);
}
