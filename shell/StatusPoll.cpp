#include "shell/StatusPoll.h"

#include <cctype>
#include <cstdio>

#include "monitor/Gauges.h"
#include "network/AddressBook.h"
#include "protocol/Transport.h"
#include "shell/CTesselMainIds.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace {

std::string tenths(unsigned value) {
    char b[16];
    std::snprintf(b, sizeof b, "%.1f", value / 10.0);
    return b;
}

constexpr Gauges kOffScale{1001.0, 1001.0, 1001.0};

}  // namespace

StatusPoll::StatusPoll(std::shared_ptr<Panel> panel) : panel_(std::move(panel)) {}

void StatusPoll::subscribe(Listener listener) {
    std::lock_guard lock(listenersMutex_);
    listeners_.push_back(std::move(listener));
}

void StatusPoll::tick() {
    // A tick queued before a procedure took the line reaches the worker only
    // after it; the line may then be that procedure's (a stream at 921600
    // baud), so the flag counts as it stands now.
    if (inTick_ || !polling_ || Shell().busy || CurrentKeys().shift) return;
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
    const unsigned size = commandInfo(D_DATA2HOST)->responseSize;
    std::vector<uint8_t> frame(size);
    frame[0] = 255;
    const int r = ModbusGet(0, D_DATA2HOST, w.ctx, frame.data(), size, 100, 500);
    modbus_flush(w.ctx);
    PollOutcome out;
    // Only a whole status record is an answer: the transport has checked its
    // CRC, and nothing shorter holds the fields shown.
    if (const auto status = r == static_cast<int>(size) ? DecodeStatus(frame) : std::nullopt)
        answered(*status, out);
    else
        failed(out);
    out.failures = failures_;
    out.failuresSinceGood = failuresSinceGood_;
    out.lastResponder = w.lastResponder;
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(listenersMutex_);
        listeners = listeners_;
    }
    for (const Listener& l : listeners) l(out);
    inTick_ = false;
}

void StatusPoll::answered(const StatusRecord& s, PollOutcome& out) {
    WireState& w = Wire();
    const unsigned address = s.header.address;
    out.status = s;
    out.failedBefore = failuresSinceGood_ > 0;
    // Asked once per switch: the label is the interface thread's, and reading
    // it makes the worker wait for that thread.
    if (pending_ && address == pending_) {
        pending_ = 0;
        if (panel_->text(ctl::AddressLabel) != "Address:") {
            panel_->setText(ctl::AddressLabel, "Address:");
            out.reachedPending = true;
        }
    }
    if (!pictureChosen_) {
        const int code = s.pictureCode;
        out.picture = code == 0x26 ? 189 : code == 0x52 ? 190 : code == 0xDB ? 188 : 0;
        pictureChosen_ = out.picture != 0;
    }
    linkEstablished_ = present_ = true;
    // The transport passes answers from 1..247 only.
    Shell().detector.pictureCode = s.pictureCode;
    Book().noteAnswering(address);
    if (w.slave != address) {
        // The lone detector that answers a broadcast is the one chosen; one
        // that answers for another address is followed only while it answers.
        if (w.slave == 0) {
            following_ = false;
        } else if (!following_) {
            following_ = true;
            chosen_ = w.slave;
        }
        followed_ = address;
        SelectSlave(address);
        Shell().detector.address = address;
    }
    w.lastResponder = address;
    updatePermissionLine(s);
    permission_ = s.permission;

    panel_->setText(ctl::Address, std::to_string(address));
    setCommText(ConnectedText());
    connected_ = out.connected = true;
    // A baud-rate switch waits for exactly this: a whole answer at the new speed.
    Shell().waitingForResponse = false;
    failures_ = failuresSinceGood_ = 0;
    display(s, out);
}

void StatusPoll::failed(PollOutcome& out) {
    WireState& w = Wire();
    present_ = false;
    w.lastResponder = 255;
    panel_->setText(ctl::Address, "---");
    ++failures_;
    ++failuresSinceGood_;
    // One stray answer must not strand the tool at an address where nothing
    // answers: the followed address gives way to the chosen one, at once.
    following_ = following_ && w.slave == followed_;
    if (following_ && failures_ > 10) {
        DebugLog("Address %u failed %d times in a row; back to address %u", followed_, failures_.load(), chosen_);
        following_ = false;
        failures_ = 0;
        SelectSlave(chosen_);
        Shell().detector.address = chosen_;
        return;
    }
    if (failures_ >= 3) {
        setCommText(NotConnectedText());
        connected_ = false;
        linkEstablished_ = false;
        out.gauges = kOffScale;
    }
    if (failures_ > 3) blank();
}

void StatusPoll::blank() {
    panel_->setText(ctl::Address, "- -");
    for (int id : {ctl::Mode, ctl::State, ctl::StatusText, ctl::Serial, ctl::Model, ctl::Analog})
        panel_->setText(id, "");
    for (int id : {ctl::Accessory, ctl::Alarm, ctl::Fault, ctl::Heater}) panel_->enable(id, false);
}

void StatusPoll::display(const StatusRecord& s, PollOutcome& out) {
    DetectorView& d = Shell().detector;
    d.uvirModel = IsUvirModelByte(static_cast<uint8_t>(s.header.model));
    d.alternateSensor = s.alternateSensor();
    d.lastSerial = s.header.serial;
    level_ = s.level;

    Panel& p = *panel_;
    p.setText(ctl::Mode, std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(s.mode)))));
    p.setText(ctl::State, std::to_string(s.shownState()));
    p.setText(ctl::StatusText, StatusLine(s.mode, s.stateCode));
    p.setText(ctl::Serial, std::to_string(s.header.serial));
    p.setText(ctl::Model, ModelName(s.header.model));
    p.setText(ctl::Analog, tenths(s.analogTenths));

    p.setIndicator(ctl::Accessory, s.accessoryActive() ? 0 : 1);
    p.setIndicator(ctl::Alarm, s.alarmActive() ? 0 : 1);
    p.setIndicator(ctl::Fault, s.faultRelayEnergised() ? 1 : 0);
    for (int id : {ctl::Accessory, ctl::Alarm, ctl::Fault, ctl::Heater}) p.enable(id, true);
    p.setText(ctl::Heater, s.heaterOn() ? "ON" : "OFF");

    out.gauges = Gauges{s.voltage, gauge::GaugeTemperature(s.temperature, Shell().host.usUnits == 1), s.milliamps()};
}

void StatusPoll::updatePermissionLine(const StatusRecord& s) {
    const std::string line = panel_->text(ctl::Permission);
    if (s.permission == 255) {
        if (line.rfind("* * *", 0) != 0)
            panel_->setText(ctl::Permission, "* * * Click \"S E T U P / Detector Setup\" to set permissions * * *");
    } else if (s.permission == 1) {
        std::string text;
        if (s.elevation) {
            char b[64];
            std::snprintf(b, sizeof b, "Locked: Elevation %u, Left %u min.", s.elevationLevel(), s.minutesLeft());
            text = b;
        }
        if (text != line) panel_->setText(ctl::Permission, text);
    } else if (!line.empty() && line.rfind("FW", 0) != 0) {
        panel_->setText(ctl::Permission, "");
    }
}

void StatusPoll::setCommText(const std::string& text) {
    const unsigned long long t = TickMs();
    if (text == lastCommText_ && t - lastCommWrite_ < 2000) return;
    lastCommText_ = text;
    lastCommWrite_ = t;
    panel_->setText(ctl::CommState, text);
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
    panel_->setText(ctl::StatusText, line);
    DebugLog("%s", line);
    inErrorLine_ = false;
}

void StatusPoll::setPolling(bool on) {
    std::lock_guard lock(LinkLock());
    polling_ = on;
    WireState& w = Wire();
    if (on) {
        w.lastResponder = 1;
        modbus_flush(w.ctx);
    } else {
        panel_->setText(ctl::CommState, "---");
        lastCommText_ = "---";
        w.lastResponder = 248;
    }
}

void StatusPoll::switchTo(unsigned address) {
    std::lock_guard lock(LinkLock());
    if (!SelectSlave(address)) {
        DebugLog("modbus_set_slave(%u) failure...", address);
        return;
    }
    DebugLog("modbus_set_slave(%u) success.", address);
    Wire().lastResponder = address;
    Shell().detector.address = address;
    pending_ = address;
    following_ = false;
}
