#pragma once
#include <optional>
#include <string>

#include "app/kit/Dialog.h"
#include "config/Passwords.h"

// Asks for one line of text, masked or plain, optionally with a choice of the
// MAINT or ADMIN level: the prompt of every elevation.
class CReqInput : public Dialog {
public:
    CReqInput(const std::string& title, const std::string& prompt, bool masked, bool chooseLevel,
              QWidget* parent = nullptr);

    void onCommand(int id) override;
    void onTimer(int id) override;
    bool confirmed() const { return confirmed_; }
    // What was typed (at most 16 characters), once confirmed.
    const std::string& entered() const { return entered_; }
    // "Admin" was chosen (with the level choice shown).
    bool admin() const { return admin_; }

    // Opens the window and waits: the text, or nullopt on Cancel.
    static std::optional<std::string> Ask(const std::string& prompt, const std::string& title,
                                          bool masked, QWidget* parent);
    // With the level choice: the text and *admin, or nullopt on Cancel.
    static std::optional<std::string> AskLevel(const std::string& prompt, const std::string& title, bool* admin,
                                               QWidget* parent);
    // Makes every panel's askText and askPasswordLevel open this window.
    static void InstallAsPrompt();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FieldHint hint_;
    bool confirmed_ = false, admin_ = false;
    std::string entered_;
};
