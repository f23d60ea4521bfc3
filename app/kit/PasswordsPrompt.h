#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>
#include <span>

// The window that asks for the two detector passwords (QtPanel::askPasswords).
// The kit has none; the application installs "Detector Permissions" at start.
// The fields change only when the user confirms (true).
using PasswordsPrompt =
    std::function<bool(std::span<uint8_t> maint, std::span<uint8_t> admin, QWidget* parent)>;
void SetPasswordsPrompt(PasswordsPrompt prompt);  // empty: every question answers false
bool AskPasswordsPrompt(std::span<uint8_t> maint, std::span<uint8_t> admin, QWidget* parent);
