#pragma once
// The window table `g_hdlg`: the script runner reaches the windows it drives
// by slot (shell/WindowSlots.h). Touched on the interface thread only.
#include <QString>

class Dialog;
class QWidget;

// Puts `window` into `slot` until it is destroyed or ClearWindowSlot is called.
void SetWindowSlot(int slot, Dialog* window);
// Empties `slot` when it still holds `window`.
void ClearWindowSlot(int slot, Dialog* window);
// The window in `slot`; null when empty or out of range.
Dialog* WindowAt(int slot);
// A visible dialog (message boxes included) whose caption is `caption`.
QWidget* FindWindowByCaption(const QString& caption);
