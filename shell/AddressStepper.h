#pragma once
#include <functional>
#include <memory>
#include <string>

#include "shell/CTesselMainIds.h"
#include "util/Panel.h"

// The address arrows: clicks step a pending address, and the detector is
// switched once, 1.5 s after the last click, so that a quick series of clicks
// costs one switch. Runs on the interface thread; the switch itself is the
// caller's (it goes to the link worker).
class AddressStepper {
public:
    using SwitchTo = std::function<void(unsigned address)>;

    // `timerId` is the window's 100 ms timer of the series.
    AddressStepper(std::shared_ptr<Panel> panel, SwitchTo switchTo,
                   std::function<unsigned long long()> nowMs = {}, int timerId = mainwin::kStepTimer);

    void up() { step(+1); }
    void down() { step(-1); }
    // The series' timer; while the arrows are hidden the series ends without a switch.
    void onTimer(bool arrowsHidden = false);
    // Another window chose an address; `atOnce` switches without the quiet time.
    void select(unsigned address, bool atOnce);

    unsigned pending() const { return pending_; }
    static std::string label(unsigned address);

private:
    void step(int delta);
    void show(unsigned address);
    unsigned long long now() const;

    std::shared_ptr<Panel> panel_;
    SwitchTo switchTo_;
    std::function<unsigned long long()> nowMs_;
    int timerId_;
    unsigned pending_ = 0;
    bool series_ = false;
    unsigned long long clickMs_ = 0;
};
