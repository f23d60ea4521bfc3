#include "shell/BaudSwitch.h"

#include <cstdio>

#include "shell/StartUp.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

unsigned hostBaud() { return Wire().port.baud; }

}  // namespace

std::atomic<bool>& WaitingForResponse() {
    static std::atomic<bool> waiting{false};
    return waiting;
}

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

BaudSwitch::BaudSwitch(Ui ui, Env env, Options options)
    : ui_(std::move(ui)), env_(std::move(env)), options_(options) {}

unsigned long long BaudSwitch::now() const { return env_.nowMs ? env_.nowMs() : TickMs(); }

int BaudSwitch::initialSelection() const { return hostBaud() == 9600 ? options_.presetIndex : kBaudIndex9600; }

bool BaudSwitch::localButton() const { return options_.localOnly || (env_.shiftHeld && env_.shiftHeld()); }

void BaudSwitch::open() {
    selection_ = initialSelection();
    if (localButton() && ui_.buttonText) ui_.buttonText("Switch local baudrate only");
    if (options_.automatic) {
        startingBaud_ = hostBaud();
        // The local reapply goes to the other speed of the pair.
        if (options_.localOnly) selection_ = hostBaud() == 9600 ? kBaudIndex921600 : kBaudIndex9600;
        run(selection_);
    }
}

void BaudSwitch::run(int selection) {
    selection_ = selection;
    unsigned target;
    if (options_.force9600) {
        target = 9600;
    } else if (selection < 0 || selection >= static_cast<int>(std::size(kBaudRates))) {
        ui_.message("No baudrate selected...", "", MB_ICONEXCLAMATION);
        return;
    } else {
        target = kBaudRates[selection];
    }
    WireState& w = Wire();

    if (localButton()) {
        w.port.baud = target;
        if (!ReopenLink()) {
            ui_.buttonText("Local baudrate switch failed - the port did not reopen...");
            ui_.enableButton(false);
            result_ = Unchanged;
            return;
        }
        ui_.buttonText("Baudrate switched locally...");
        ui_.enableButton(false);
        ui_.updateTitles();
        result_ = Switched;
        if (options_.automatic) ui_.closeSoon();
        return;
    }

    env_.busy(true);
    bool sent = false;
    {
        std::lock_guard lock(LinkLock());
        if (target == w.port.baud) {
            env_.busy(false);
            ui_.message("Switching to the current baudrate.\r\nSelect a different baudrate...", "", MB_ICONINFORMATION);
            return;
        }
        env_.sleepMs(1500);
        uint8_t payload[4];
        for (int i = 0; i < 4; ++i) payload[i] = static_cast<uint8_t>(target >> (8 * i));
        for (int attempt = 0; attempt < 3 && !sent; ++attempt) {
            sent = ModbusSet(sizeof payload, payload, w.ctx, D_SWITCH_BAUD) != -1;
            if (!sent) PumpWait(300);
        }
        env_.sleepMs(500);
        if (sent) {
            w.port.baud = target;
            ReopenLink();
        }
    }
    if (sent) {
        WaitingForResponse() = true;
        waitStart_ = now();
        waiting_ = true;
        ui_.waitTimer(true);
        ui_.buttonText("Waiting 8 sec for responses");
    } else {
        ui_.buttonText("Submission of request to switch baudrate failed...");
    }
    ui_.enableButton(false);
    env_.busy(false);
}

void BaudSwitch::onTimer() {
    if (!waiting_) return;
    DebugLog("waiting_for_alldata_msg...");
    if (!WaitingForResponse().load()) {
        finishWaiting(Switched);
        ui_.buttonText("Baudrate switched successfully!");
        ui_.updateTitles();
        if (options_.automatic) ui_.closeSoon();
        return;
    }
    if (now() - waitStart_ <= 8000) return;
    if (env_.ctrlHeld && env_.ctrlHeld()) {
        finishWaiting(Unchanged);
        ui_.buttonText("Switch failed - baudrate remains unchanged...");
        ui_.updateTitles();
        return;
    }
    finishWaiting(Pending);
    WireState& w = Wire();
    w.port.baud = 9600;
    if (LinkModeWord().load() == LINK_MODBUS && options_.automatic > 1) w.port.baud = startingBaud_;
    ReopenLink();
    if (options_.automatic > 1) {
        --options_.automatic;
        char title[64];
        std::snprintf(title, sizeof title, "Switch Baudrate - retry %u of %u", 4u - options_.automatic, 3u);
        ui_.windowTitle(title);
        ui_.enableButton(true);
        run(selection_);
        return;
    }
    result_ = Reverted;
    ui_.buttonText("Switch failed - reverted to 9600 baud...");
    ui_.windowTitle(ProgramName() + "  (Baudrate 9600)");
    ui_.updateTitles();
    if (options_.automatic) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "Auto switching baudrate failed after %u retries.\r\nEither - power-down then up - to restart at "
                      "9600 baud.\r\rOr - wait 15 minutes - the detector will auto-revert to 9600 baud.",
                      3u);
        ui_.message(text, "Error", MB_ICONERROR);
    }
}

void BaudSwitch::finishWaiting(Result r) {
    waiting_ = false;
    WaitingForResponse() = false;
    ui_.waitTimer(false);
    if (r != Pending) result_ = r;
}
