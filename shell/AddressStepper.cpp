#include "shell/AddressStepper.h"

#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

unsigned long long AddressStepper::now() const { return hooks_.nowMs ? hooks_.nowMs() : TickMs(); }

std::string AddressStepper::label(unsigned address) {
    return (address < 100 ? "Addr " : "Adr ") + std::to_string(address) + ":";
}

void AddressStepper::step(int delta) {
    if (hooks_.arrowsHidden && hooks_.arrowsHidden()) return;
    if (!series_) {
        pending_ = Wire().slave;
        series_ = true;
        if (hooks_.timer) hooks_.timer(true);
    }
    if (delta > 0 && pending_ < 247) ++pending_;
    if (delta < 0 && pending_ > 1) --pending_;
    clickMs_ = now();
    DebugLog(delta > 0 ? "Up ==> %u" : "Down ==> %u", pending_);
    if (hooks_.showPending) hooks_.showPending(label(pending_), pending_);
}

void AddressStepper::select(unsigned address, bool atOnce) {
    pending_ = address;
    if (hooks_.showPending) hooks_.showPending(label(address), address);
    series_ = true;
    if (atOnce) {
        clickMs_ = now() - 1501;
        onTimer();
    } else {
        clickMs_ = now();
        if (hooks_.timer) hooks_.timer(true);
    }
}

void AddressStepper::onTimer() {
    if (!series_ || now() - clickMs_ < 1500) return;
    if (hooks_.timer) hooks_.timer(false);
    series_ = false;
    if (hooks_.arrowsHidden && hooks_.arrowsHidden()) return;
    std::lock_guard lock(LinkLock());
    if (SelectSlave(pending_)) {
        DebugLog("modbus_set_slave(%u) success.", pending_);
        Wire().lastResponder = pending_;
        if (hooks_.switched) hooks_.switched(pending_);
    } else {
        DebugLog("modbus_set_slave(%u) failure...", pending_);
    }
}
