#include "app/kit/Keys.h"

#include <QGuiApplication>
#include <QTimer>
#include <mutex>

// Xlib last: its macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

std::mutex g_mutex;
KeyState g_keyboard;                 // the copy the interface thread keeps
std::optional<KeyState> g_fixed;     // tests and start-up options
bool g_installed = false;

KeyState current() {
    std::lock_guard lock(g_mutex);
    return g_fixed ? *g_fixed : g_keyboard;
}

// Which Shift keys X11 reports held; false for both elsewhere.
void readShiftSides(KeyState& k) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return;
    char keys[32];
    XQueryKeymap(display, keys);
    auto held = [&](KeySym sym) {
        const KeyCode code = XKeysymToKeycode(display, sym);
        return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
    };
    k.leftShift = held(XK_Shift_L);
    k.rightShift = held(XK_Shift_R);
}

void refresh() {
    KeyState k;
    const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
    k.shift = (m & Qt::ShiftModifier) != 0;
    k.ctrl = (m & Qt::ControlModifier) != 0;
    k.alt = (m & Qt::AltModifier) != 0;
    if (k.shift) readShiftSides(k);
    std::lock_guard lock(g_mutex);
    g_keyboard = k;
}

}  // namespace

void Keys::install() {
    if (g_installed || !qGuiApp) return;
    g_installed = true;
    refresh();
    // Often enough for a held key, rare enough to cost nothing.
    auto* timer = new QTimer(qGuiApp);
    QObject::connect(timer, &QTimer::timeout, [] { refresh(); });
    timer->start(50);
    SetKeySource(current);
}

void Keys::set(std::optional<KeyState> state) {
    {
        std::lock_guard lock(g_mutex);
        g_fixed = state;
    }
    if (state || g_installed) SetKeySource(current);
    else SetKeySource({});
}
