#pragma once
#include <cstdint>
#include <memory>
#include <span>

#include "app/kit/Dialog.h"
#include "config/Passwords.h"

// "Detector Permissions": the two passwords a locked detector keeps in its
// setup record, each typed twice. Both fields change only on a confirmed OK.
class C2Passwords : public Dialog {
public:
    C2Passwords(std::span<uint8_t> maint, std::span<uint8_t> admin, QWidget* parent = nullptr);

    void onCommand(int id) override;
    void onTimer(int id) override;
    bool confirmed() const { return confirmed_; }

    // Opens the window and waits: true once confirmed (the fields then hold
    // the new passwords).
    static bool Ask(std::span<uint8_t> maint, std::span<uint8_t> admin, QWidget* parent);
    // Makes every panel's askPasswords open this window.
    static void InstallAsPrompt();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::span<uint8_t> maint_, admin_;
    FieldHint hint_;
    bool confirmed_ = false;
};
