#include "shell/BaudSwitch.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "shell/CBaudrateIds.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/PumpWait.h"

using namespace baudwin;

namespace {

unsigned hostBaud() { return Wire().port.baud; }

constexpr const char* kAutoFailed =
    "Auto switching baudrate failed after %u retries.\r\nEither - power-down then up - to restart at "
    "9600 baud.\r\rOr - wait 15 minutes - the detector will auto-revert to 9600 baud.";

}  // namespace

BaudSwitch::Options SwitchToFastOrBackOptions(unsigned currentBaud) {
    BaudSwitch::Options o;
    if (currentBaud == 9600) {
        o.automatic = 1;
    } else {
        o.force9600 = true;
        o.automatic = 4;
    }
    return o;
}

BaudSwitch::Options ReapplyLocalBaudOptions() {
    BaudSwitch::Options o;
    o.localOnly = true;
    o.automatic = 1;
    return o;
}

BaudSwitch::BaudSwitch(std::shared_ptr<Panel> panel, Options options, Clock clock)
    : panel_(std::move(panel)), options_(options), clock_(std::move(clock)) {}

unsigned long long BaudSwitch::now() const { return clock_.nowMs ? clock_.nowMs() : TickMs(); }

void BaudSwitch::sleep(unsigned ms) const {
    if (clock_.sleepMs)
        clock_.sleepMs(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int BaudSwitch::initialSelection() const { return LinkBaud() == 9600 ? options_.presetIndex : kBaudIndex9600; }

bool BaudSwitch::localButton() const { return options_.localOnly || CurrentKeys().shift; }

void BaudSwitch::open() {
    selection_ = initialSelection();
    if (localButton()) panel_->setText(kSwitch, "Switch local baudrate only");
    if (options_.automatic) {
        startingBaud_ = hostBaud();
        // The local reapply goes to the other speed of the pair.
        if (options_.localOnly) selection_ = hostBaud() == 9600 ? kBaudIndex921600 : kBaudIndex9600;
        run(selection_);
    }
}

void BaudSwitch::run(int selection) {
    Panel& p = *panel_;
    selection_ = selection;
    unsigned target;
    if (options_.force9600) {
        target = 9600;
    } else if (selection < 0 || selection >= static_cast<int>(std::size(kBaudRates))) {
        p.ask("No baudrate selected...", "", MB_ICONEXCLAMATION);
        return;
    } else {
        target = kBaudRates[selection];
    }
    WireState& w = Wire();

    if (localButton()) {
        w.port.baud = target;
        if (!ReopenLink()) {
            p.setText(kSwitch, "Local baudrate switch failed - the port did not reopen...");
            p.enable(kSwitch, false);
            result_ = Unchanged;
            return;
        }
        p.setText(kSwitch, "Baudrate switched locally...");
        p.enable(kSwitch, false);
        p.setTitle(Panel::kMainWindow, BaudTitle());
        result_ = Switched;
        if (options_.automatic) p.close(IDOK, 1500);
        return;
    }

    Shell().busy = true;
    bool sent = false;
    {
        std::lock_guard lock(LinkLock());
        if (target == w.port.baud) {
            Shell().busy = false;
            p.ask("Switching to the current baudrate.\r\nSelect a different baudrate...", "", MB_ICONINFORMATION);
            return;
        }
        sleep(1500);
        uint8_t payload[4];
        for (int i = 0; i < 4; ++i) payload[i] = static_cast<uint8_t>(target >> (8 * i));
        for (int attempt = 0; attempt < 3 && !sent; ++attempt) {
            sent = ModbusSet(sizeof payload, payload, w.ctx, D_SWITCH_BAUD) != -1;
            if (!sent) PumpWait(300);
        }
        sleep(500);
        if (sent) {
            w.port.baud = target;
            ReopenLink();
        }
    }
    Shell().busy = false;
    p.enable(kSwitch, false);
    if (!sent) {
        // The detector never heard the request, so both sides are still at the
        // old speed; an automatic window must end rather than wait forever.
        giveUp(Unchanged, "Submission of request to switch baudrate failed...");
        return;
    }
    Shell().waitingForResponse = true;
    waitStart_ = now();
    waiting_ = true;
    p.setTimer(kWaitTimer, 100, false);
    p.setText(kSwitch, "Waiting 8 sec for responses");
}

void BaudSwitch::onTimer() {
    if (!waiting_) return;
    Panel& p = *panel_;
    DebugLog("waiting_for_alldata_msg...");
    if (!Shell().waitingForResponse.load()) {
        finishWaiting(Switched);
        p.setText(kSwitch, "Baudrate switched successfully!");
        p.setTitle(Panel::kMainWindow, BaudTitle());
        if (options_.automatic) p.close(IDOK, 1500);
        return;
    }
    if (now() - waitStart_ <= 8000) return;
    if (CurrentKeys().ctrl) {
        finishWaiting(Unchanged);
        p.setText(kSwitch, "Switch failed - baudrate remains unchanged...");
        p.setTitle(Panel::kMainWindow, BaudTitle());
        return;
    }
    finishWaiting(Pending);
    WireState& w = Wire();
    {
        std::lock_guard lock(LinkLock());
        w.port.baud = 9600;
        if (LinkModeWord().load() == LINK_MODBUS && options_.automatic > 1) w.port.baud = startingBaud_;
        ReopenLink();
    }
    if (options_.automatic > 1) {
        --options_.automatic;
        char title[64];
        std::snprintf(title, sizeof title, "Switch Baudrate - retry %u of %u", 4u - options_.automatic, 3u);
        p.setTitle(Panel::kThisWindow, title);
        p.enable(kSwitch, true);
        run(selection_);
        return;
    }
    const std::string reverted = ProgramName() + "  (Baudrate 9600)";
    p.setTitle(Panel::kThisWindow, reverted);
    p.setTitle(Panel::kMainWindow, reverted);
    giveUp(Reverted, "Switch failed - reverted to 9600 baud...");
}

void BaudSwitch::giveUp(Result r, const char* buttonText) {
    Panel& p = *panel_;
    result_ = r;
    p.setText(kSwitch, buttonText);
    if (!options_.automatic) return;
    char text[256];
    std::snprintf(text, sizeof text, kAutoFailed, 3u);
    p.ask(text, "Error", MB_ICONERROR);
    p.close(IDCANCEL, 0);
}

void BaudSwitch::finishWaiting(Result r) {
    waiting_ = false;
    Shell().waitingForResponse = false;
    panel_->stopTimer(kWaitTimer);
    if (r != Pending) result_ = r;
}

bool SwitchBaudNow(unsigned rate) {
    WireState& w = Wire();
    const unsigned before = w.port.baud;
    if (rate == before) return true;
    uint8_t payload[4];
    for (int i = 0; i < 4; ++i) payload[i] = static_cast<uint8_t>(rate >> (8 * i));
    if (ModbusSet(sizeof payload, payload, w.ctx, D_SWITCH_BAUD) == -1) return false;
    // Not cut short by an abort: the way back to 9600 runs after one too.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    w.port.baud = rate;
    if (ReopenLink()) {
        const CommandInfo& info = *commandInfo(D_DATA2HOST);
        std::vector<uint8_t> status(info.responseSize);
        for (int i = 0; i < 16; ++i)
            if (ModbusGet(0, D_DATA2HOST, w.ctx, status.data(), info.responseSize, info.waitMs, info.timeoutMs) ==
                static_cast<int>(info.responseSize))
                return true;
    }
    // The detector goes back by itself when it hears nothing at the new speed.
    w.port.baud = before;
    ReopenLink();
    return false;
}

void ReturnTo9600() {
    if (SwitchBaudNow(9600)) return;
    Wire().port.baud = 9600;
    ReopenLink();
}
