#include "shell/AddressStepper.h"

#include "shell/CTesselMainIds.h"
#include "shell/PagesIds.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/PumpWait.h"

AddressStepper::AddressStepper(std::shared_ptr<Panel> panel, SwitchTo switchTo,
                               std::function<unsigned long long()> nowMs, int timerId)
    : panel_(std::move(panel)), switchTo_(std::move(switchTo)), nowMs_(std::move(nowMs)), timerId_(timerId) {}

unsigned long long AddressStepper::now() const { return nowMs_ ? nowMs_() : TickMs(); }

std::string AddressStepper::label(unsigned address) {
    return (address < 100 ? "Addr " : "Adr ") + std::to_string(address) + ":";
}

void AddressStepper::show(unsigned address) {
    panel_->setText(ctl::AddressLabel, label(address));
    panel_->setText(page::kAddressField, std::to_string(address));
}

void AddressStepper::step(int delta) {
    if (!series_) {
        pending_ = Shell().detector.address;
        series_ = true;
        panel_->setTimer(timerId_, 100, false);
    }
    if (delta > 0 && pending_ < 247) ++pending_;
    if (delta < 0 && pending_ > 1) --pending_;
    clickMs_ = now();
    DebugLog(delta > 0 ? "Up ==> %u" : "Down ==> %u", pending_);
    show(pending_);
}

void AddressStepper::select(unsigned address, bool atOnce) {
    pending_ = address;
    show(address);
    series_ = true;
    if (atOnce) {
        clickMs_ = now() - 1501;
        onTimer();
    } else {
        clickMs_ = now();
        panel_->setTimer(timerId_, 100, false);
    }
}

void AddressStepper::onTimer(bool arrowsHidden) {
    if (!series_ || now() - clickMs_ < 1500) return;
    panel_->stopTimer(timerId_);
    series_ = false;
    if (!arrowsHidden && switchTo_) switchTo_(pending_);
}
