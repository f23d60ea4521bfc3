#include "app/kit/WindowTable.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <array>

#include "app/kit/Dialog.h"
#include "shell/WindowSlots.h"

namespace {
std::array<QPointer<Dialog>, slot::kMaxDialogs>& table() {
    static std::array<QPointer<Dialog>, slot::kMaxDialogs> t;
    return t;
}
bool inRange(int s) { return s >= 0 && s < slot::kMaxDialogs; }
}  // namespace

void SetWindowSlot(int s, Dialog* window) {
    if (inRange(s)) table()[static_cast<size_t>(s)] = window;
}

void ClearWindowSlot(int s, Dialog* window) {
    if (inRange(s) && table()[static_cast<size_t>(s)] == window) table()[static_cast<size_t>(s)] = nullptr;
}

Dialog* WindowAt(int s) { return inRange(s) ? table()[static_cast<size_t>(s)].data() : nullptr; }

QWidget* FindWindowByCaption(const QString& caption) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w) && w->isVisible() && w->windowTitle() == caption) return w;
    return nullptr;
}
