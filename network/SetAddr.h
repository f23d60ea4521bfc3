#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/Panel.h"

// The address dialog's logic: a list of the addresses with their serial
// numbers and friendly names, switching to one of them, or giving the
// connected detector a new address. Called on the interface thread; the
// address change runs as a procedure.
class SetAddr {
public:
    struct Options {
        int step = 0;             // -1 or +1: the line below or above the current one is chosen
        bool masterMode = false;  // the console's master switch
        unsigned windowId = 0;    // for the log line of the window table
    };
    // Makes an address current on the link (the main window's switch).
    using SwitchNow = std::function<void(unsigned address)>;

    SetAddr(std::shared_ptr<Panel> panel, SwitchNow switchNow, Options options);

    void open();
    void onNamedOnly(bool checked);
    void onRadio(int id);
    void onComboFocus();
    void onAction();

    // The combo's lines for the current settings.
    std::vector<std::string> lines() const;
    // A combo text's address: blanks skipped, cut at the next blank, decimal.
    static std::optional<unsigned> parseAddress(const std::string& text);

private:
    void fill();
    void newAddress(unsigned address);
    void switchTo(unsigned address);

    std::shared_ptr<Panel> panel_;
    SwitchNow switchNow_;
    Options options_;
    unsigned start_ = 1;
    bool hideFriendly_ = true;
    bool namedOnly_ = false;
};
