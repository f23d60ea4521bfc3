#include "shell/StatusPoll.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "shell/BaudSwitch.h"
#include "shell/Catalogue.h"
#include "shell/HostSettings.h"
#include "protocol/Transport.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

float f32At(const uint8_t* b) {
    float v;
    std::memcpy(&v, b, sizeof v);
    return v;
}

std::string format(const char* fmt, double v) {
    char b[64];
    std::snprintf(b, sizeof b, fmt, v);
    return b;
}

}  // namespace

StatusPoll::StatusPoll(ControlPanel& panel, Hooks hooks) : panel_(panel), hooks_(std::move(hooks)) {}

unsigned long long StatusPoll::now() const { return hooks_.nowMs ? hooks_.nowMs() : TickMs(); }

void StatusPoll::tick() {
    if (inTick_ || !polling_ || (hooks_.shiftHeld && hooks_.shiftHeld())) return;
    inTick_ = true;
    std::lock_guard lock(LinkLock());
    WireState& w = Wire();
    if (failures_ > 10) {
        backOff_ = 20;
        failures_ = 0;
    }
    if (backOff_ > 0) {
        modbus_flush(w.ctx);
        --backOff_;
        inTick_ = false;
        return;
    }
    uint8_t frame[kStatusSize] = {};
    frame[0] = 255;
    const int r = ModbusGet(0, D_DATA2HOST, w.ctx, frame, kStatusSize, 100, 500);
    modbus_flush(w.ctx);
    // Only a whole status record is an answer: the transport has checked its
    // CRC, and nothing shorter holds the fields shown below.
    if (r == static_cast<int>(kStatusSize))
        answered(frame);
    else
        failed(false);
    inTick_ = false;
}

void StatusPoll::answered(const uint8_t* f) {
    WireState& w = Wire();
    const unsigned address = f[0];
    if (panel_.text(ctl::AddressLabel) != "Address:" && address == pending_) {
        panel_.setText(ctl::AddressLabel, "Address:");
        if (hooks_.refreshPageForNewDetector) hooks_.refreshPageForNewDetector();
    }
    if (!pictureChosen_) {
        const int code = f[161];
        const int picture = code == 0x26 ? 189 : code == 0x52 ? 190 : code == 0xDB ? 188 : 0;
        if (picture) {
            pictureChosen_ = true;
            if (hooks_.showPicture) hooks_.showPicture(picture);
        }
    }
    linkEstablished_ = present_ = true;
    std::string addressText = "---";
    if (address >= 1 && address <= 247) {
        addressText = std::to_string(address);
        Detector().pictureCode = f[161];
        if (w.slave != address) SelectSlave(address);
    }
    w.lastResponder = address;
    const double volts = f32At(f + 155), celsius = f32At(f + 147), milliamps = f[159] / 10.0;
    if (hooks_.trend) hooks_.trend(volts, celsius, milliamps);
    updatePermissionLine(f);
    permission_ = f[160];
    if (failuresSinceGood_ > 0 && hooks_.setupPageShown && hooks_.setupPageShown() && hooks_.reloadSetupPageLater)
        hooks_.reloadSetupPageLater();

    panel_.setText(ctl::Address, addressText);
    if (address <= 247) {
        setCommText(ConnectedText());
        connected_ = true;
        // A baud-rate switch waits for exactly this: a whole answer at the new speed.
        WaitingForResponse() = false;
        failures_ = failuresSinceGood_ = 0;
        setupCleared_ = false;
        display(f);
    } else {
        // An answer from beyond the address range is no answer.
        failed(true);
    }
}

void StatusPoll::failed(bool withAnswer) {
    if (!withAnswer) {
        if (failures_ >= 3 && hooks_.disableApply) hooks_.disableApply();
        present_ = false;
        Wire().lastResponder = 255;
        panel_.setText(ctl::Address, "---");
    }
    ++failures_;
    ++failuresSinceGood_;
    if (failures_ >= 3) {
        setCommText(NotConnectedText());
        connected_ = false;
        linkEstablished_ = false;
        if (hooks_.gauges) hooks_.gauges(1001.0, 1001.0, 1001.0);
        if (failuresSinceGood_ == 3 && !setupCleared_ && hooks_.setupPageShown && hooks_.setupPageShown() &&
            hooks_.clearSetupPage) {
            hooks_.clearSetupPage();
            setupCleared_ = true;
        }
    }
    if (failures_ > 3) blank();
}

void StatusPoll::blank() {
    panel_.setText(ctl::Address, "- -");
    for (int id : {ctl::Mode, ctl::State, ctl::StatusText, ctl::Serial, ctl::Model, ctl::Analog})
        panel_.setText(id, "");
    for (int id : {ctl::Accessory, ctl::Alarm, ctl::Fault, ctl::Heater}) panel_.enable(id, false);
}

void StatusPoll::display(const uint8_t* f) {
    const char mode = static_cast<char>(f[16]);
    const int state = f[15] == 99 ? 0 : f[15];
    const uint8_t bits = f[17];
    DetectorView& d = Detector();
    d.uvirModel = IsUvirModelByte(f[5]);
    d.alternateSensor = (bits & 0x08) != 0;
    d.lastSerial = f[7] | f[8] << 8 | f[9] << 16 | static_cast<unsigned>(f[10]) << 24;
    level_ = (f[18] & 3) > 2 ? 2 : (f[18] & 3);
    if (hooks_.selectPage) hooks_.selectPage(mode == 'A');

    panel_.setText(ctl::Mode, std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(mode)))));
    panel_.setText(ctl::State, std::to_string(state));
    panel_.setText(ctl::StatusText, StatusLine(mode, f[15]));
    panel_.setText(ctl::Serial, std::to_string(d.lastSerial));
    panel_.setText(ctl::Model, ModelName(static_cast<unsigned>(f[5] | f[6] << 8)));
    panel_.setText(ctl::Analog, format("%.1f", f[159] / 10.0));

    panel_.setIndicator(ctl::Accessory, (bits & 0x10) ? 0 : 1);
    panel_.setIndicator(ctl::Alarm, (bits & 0x20) ? 0 : 1);
    panel_.setIndicator(ctl::Fault, (bits & 0x40) ? 1 : 0);
    for (int id : {ctl::Accessory, ctl::Alarm, ctl::Fault, ctl::Heater}) panel_.enable(id, true);
    panel_.setText(ctl::Heater, (bits & 0x80) ? "ON" : "OFF");

    if (hooks_.gauges) {
        double t = f32At(f + 147);
        if (Host().usUnits == 1) t = t * 1.8 + 32 + 0.5;
        hooks_.gauges(f32At(f + 155), t, f[159] / 10.0);
    }
}

void StatusPoll::updatePermissionLine(const uint8_t* f) {
    const std::string line = panel_.text(ctl::Permission);
    if (f[160] == 255) {
        if (line.rfind("* * *", 0) != 0)
            panel_.setText(ctl::Permission, "* * * Click \"S E T U P / Detector Setup\" to set permissions * * *");
    } else if (f[160] == 1) {
        std::string text;
        if (f[162]) {
            char b[64];
            std::snprintf(b, sizeof b, "Locked: Elevation %u, Left %u min.", f[162] >> 6, f[162] & 0x3Fu);
            text = b;
        }
        if (text != line) panel_.setText(ctl::Permission, text);
    } else if (!line.empty() && line.rfind("FW", 0) != 0) {
        panel_.setText(ctl::Permission, "");
    }
}

void StatusPoll::setCommText(const std::string& text) {
    const unsigned long long t = now();
    if (text == lastCommText_ && t - lastCommWrite_ < 2000) return;
    lastCommText_ = text;
    lastCommWrite_ = t;
    panel_.setText(ctl::CommState, text);
}

void StatusPoll::showCommError(int result) {
    if (inErrorLine_) return;
    inErrorLine_ = true;
    static const char kSpin[] = "-\\|/";
    const char c = kSpin[spinner_];
    spinner_ = (spinner_ + 1) % 4;
    char line[96];
    if (result == -1)
        std::snprintf(line, sizeof line, "%c comm error...", c);
    else if (result < -1)
        std::snprintf(line, sizeof line, "%c Invalid response, %d bytes...", c, -1 - result);
    else
        std::snprintf(line, sizeof line, "%c Invalid response from wrong address...", c);
    panel_.setText(ctl::StatusText, line);
    DebugLog("%s", line);
    inErrorLine_ = false;
}

void StatusPoll::setPolling(bool on) {
    polling_ = on;
    WireState& w = Wire();
    if (on) {
        w.lastResponder = 1;
        modbus_flush(w.ctx);
    } else {
        panel_.setText(ctl::CommState, "---");
        lastCommText_ = "---";
        w.lastResponder = 248;
    }
}
