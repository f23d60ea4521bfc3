#include "app/kit/Keys.h"

#include <QGuiApplication>
#include <mutex>

namespace {
std::mutex g_mutex;
std::optional<KeyState> g_state;

KeyState current() {
    {
        std::lock_guard lock(g_mutex);
        if (g_state) return *g_state;
    }
    KeyState k;
    if (!QGuiApplication::instance()) return k;
    const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
    k.leftShift = k.rightShift = (m & Qt::ShiftModifier) != 0;
    k.ctrl = (m & Qt::ControlModifier) != 0;
    k.alt = (m & Qt::AltModifier) != 0;
    return k;
}
}  // namespace

bool Keys::shift() {
    const KeyState k = current();
    return k.leftShift || k.rightShift;
}
bool Keys::leftShift() { return current().leftShift; }
bool Keys::rightShift() { return current().rightShift; }
bool Keys::ctrl() { return current().ctrl; }
bool Keys::alt() { return current().alt; }

void Keys::set(std::optional<KeyState> state) {
    std::lock_guard lock(g_mutex);
    g_state = state;
}
