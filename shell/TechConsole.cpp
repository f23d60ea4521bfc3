#include "shell/TechConsole.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "config/SanityCheck.h"
#include "network/AddressBook.h"
#include "protocol/Transport.h"
#include "protocol/records/MiscControl.h"
#include "shell/CTesselDlgIds.h"
#include "shell/CTesselMainIds.h"
#include "shell/Procedure.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/Profile.h"
#include "util/PumpWait.h"

using namespace techdlg;

namespace {

constexpr unsigned kBox = MB_OK | MB_ICONEXCLAMATION;
constexpr size_t kFillBlockSize = 4096;
constexpr size_t kMessageBoxChars = 1380;

bool flag(const char* key, int defaultValue) { return ProfileGetInt(kParamIni, kAppSection, key, defaultValue) != 0; }

// Sends a D_MISC_CONTROL request that the detector acknowledges, and logs the
// acknowledgement or what came instead. Nothing is retried.
void sendMisc(const std::vector<uint8_t>& request, unsigned waitMs, unsigned timeoutMs) {
    std::lock_guard lock(LinkLock());
    std::vector<uint8_t> frame(std::max(request.size(), kMiscAckFrameSize));
    std::copy(request.begin(), request.end(), frame.begin());
    const int r = ModbusGet(static_cast<unsigned>(request.size()), D_MISC_CONTROL, Wire().ctx, frame.data(),
                            kMiscAckFrameSize, waitMs, timeoutMs);
    const unsigned sub = request[0];
    if (r == static_cast<int>(kMiscAckFrameSize))
        DebugLog("D_MISC_CONTROL(%u) returned %u", sub, *AnswerStatus(std::span(frame.data(), kMiscAckFrameSize)));
    else
        DebugLog("D_MISC_CONTROL(%u) returned %u - not %u", sub, static_cast<unsigned>(r),
                 static_cast<unsigned>(kMiscAckFrameSize));
}

void sendDefault(const std::vector<uint8_t>& request) {
    const CommandInfo& info = *commandInfo(D_MISC_CONTROL);
    sendMisc(request, info.waitMs, info.timeoutMs);
}

int sendSet(unsigned command, const std::vector<uint8_t>& payload) {
    std::lock_guard lock(LinkLock());
    return ModbusSet(static_cast<unsigned>(payload.size()), payload.empty() ? nullptr : payload.data(), Wire().ctx,
                     command);
}

// The box shows line ends as CR LF and only the end of a long text.
std::string boxText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out.size() > kMessageBoxChars ? out.substr(out.size() - kMessageBoxChars) : out;
}

void appendToFile(const std::string& text) {
    std::ofstream(TechConsole::kMessageFile, std::ios::app | std::ios::binary) << text;
}

}  // namespace

ConsoleSettings LoadConsoleSettings() {
    ConsoleSettings s;
    s.disableButtons = flag("fDisableButtons", 1);
    s.hideFriendly = flag("fHideFriendly", 1);
    s.ignoreSnAddr = flag("fIgnore_SN_Addr", 0);
    s.outputSuspended = flag("fOutputSuspended", 0);
    s.showPulse = flag("fShowPulse", 0);
    return s;
}

TechConsole::TechConsole(std::shared_ptr<Panel> panel)
    : panel_(std::move(panel)), poll_(std::make_shared<StatusPoll>(panel_)) {}

std::string TechConsole::title() {
    char t[96];
    std::snprintf(t, sizeof t, "%s  (Baudrate %u)", ProgramName().c_str(), LinkBaud());
    return t;
}

void TechConsole::open() {
    settings_ = LoadConsoleSettings();
    panel_->setTitle(Panel::kThisWindow, title());
    panel_->setText(kSearch, "Sea&rch is Off");
    panel_->setCheck(kSuspend, settings_.outputSuspended ? 1 : 0);
    setOutputSuspended(settings_.outputSuspended);
    panel_->setCheck(kPulse, settings_.showPulse ? 1 : 0);
    setShowPulse(settings_.showPulse);
    // The buttons the search disabled come back once a detector has answered.
    std::weak_ptr<TechConsole> weak = weak_from_this();
    poll_->subscribe([weak](const PollOutcome& o) {
        auto self = weak.lock();
        if (self && o.connected && self->enableWhenLinked_.exchange(false)) self->enableMasterButtons(true);
    });
}

std::function<void()> TechConsole::tickJob() {
    return [weak = weak_from_this()] {
        if (auto self = weak.lock(); self && !self->suspended_) self->poll_->tick();
    };
}

void TechConsole::run(std::function<void(Panel&)> procedure) { RunProcedure(panel_, std::move(procedure)); }

void TechConsole::setSearch(bool on) {
    searching_ = on;
    panel_->setText(kSearch, on ? "Sea&rch is On" : "Sea&rch is Off");
    if (on && settings_.disableButtons) enableMasterButtons(false);
    enableWhenLinked_ = !on && settings_.disableButtons;
    Shell().link().post([poll = poll_, on] {
        unsigned address = 0;
        if (!on) {
            address = Wire().lastResponder;
            // Still the broadcast when nothing answered since the switch went on.
            if (address == 0 || address > 247) address = 1;
        }
        poll->switchTo(address);
    });
}

void TechConsole::enableMasterButtons(bool on) {
    for (int id : kMasterButtons)
        if (!on || std::find(unavailable_.begin(), unavailable_.end(), id) == unavailable_.end()) panel_->enable(id, on);
}

void TechConsole::clearStatusFields() {
    for (int id : {ctl::Address, ctl::Serial, ctl::Model, ctl::Mode, ctl::State, ctl::StatusText, ctl::Analog,
                   ctl::Heater, ctl::CommState})
        panel_->setText(id, "");
}

void TechConsole::setOutputSuspended(bool on) {
    suspended_ = on;
    panel_->setText(kSuspend, on ? "Output Suspended" : "Suspend Output");
    if (on) clearStatusFields();
}

void TechConsole::setShowPulse(bool on) {
    showPulse_ = on;
    panel_->setText(kPulse, on ? "Display Pulse On" : "Display Pulse Off");
}

bool TechConsole::masterRefuses() const {
    const unsigned address = Shell().detector.address;
    if (!settings_.disableButtons || (address != 0 && address <= 247)) return false;
    DebugLog("Not allowed when Master is On...");
    return true;
}

bool TechConsole::fmTestAllowed() {
    if (Shell().detector.address != 0 && !Book().selected().empty()) return true;
    panel_->ask("Must be in non-Master modes - and network selected...", "Error", kBox);
    return false;
}

void TechConsole::manualBit() {
    if (masterRefuses()) return;
    run([](Panel&) {
        std::lock_guard lock(LinkLock());
        sendSet(D_MANUAL_BIT, {});
        PumpWait(50);
        modbus_flush(Wire().ctx);
    });
}

void TechConsole::eraseLogfile(bool preserveWorktime) {
    run([preserveWorktime](Panel&) { sendDefault({misc::EraseLog, preserveWorktime ? uint8_t{1} : uint8_t{0}}); });
}

void TechConsole::eraseFlash() {
    run([](Panel&) {
        std::vector<uint8_t> request(kMiscAckFrameSize, 0);
        request[0] = misc::EraseFlash;
        if (sendSet(D_MISC_CONTROL, request) < 0) DebugLog("D_MISC_CONTROL(%u) not sent...", misc::EraseFlash);
    });
}

void TechConsole::sanityCheck() {
    run([](Panel& p) { DoSanityCheck(p); });
}

void TechConsole::hangDetector() {
    run([](Panel&) { sendDefault({misc::Hang}); });
}

void TechConsole::restartDetector() {
    run([](Panel&) { sendDefault({misc::Restart}); });
}

void TechConsole::playback(const std::string& path) {
    panel_->setText(kCommandMenu, "-");
    run([path](Panel& p) {
        std::vector<uint8_t> recording(kPlaybackRecordSize * kMaxPlaybackRecords);
        std::ifstream in(path, std::ios::binary);
        in.read(reinterpret_cast<char*>(recording.data()), static_cast<std::streamsize>(recording.size()));
        recording.resize(static_cast<size_t>(in.gcount()));
        if (const auto request = PlaybackRequest(recording))
            sendMisc(*request, 500, 8000);
        else
            DebugLog("Playback: no %u-byte record in \"%s\"...", static_cast<unsigned>(kPlaybackRecordSize),
                     path.c_str());
        p.setText(kCommandMenu, ">");
    });
}

void TechConsole::getMessageText(bool erase) { fetchMessage(erase, true); }

void TechConsole::fetchMessage(bool erase, bool showBox) {
    if (messageInFlight_.exchange(true)) return;
    run([self = shared_from_this(), erase, showBox](Panel& p) {
        std::vector<uint8_t> frame(kMessageFrameSize, 0);
        frame[0] = misc::GetMessage;
        frame[1] = erase ? 1 : 0;
        int r;
        {
            std::lock_guard lock(LinkLock());
            r = ModbusGet(2, D_MISC_CONTROL, Wire().ctx, frame.data(), kMessageFrameSize, 500, 2000);
        }
        self->messageInFlight_ = false;
        if (r != static_cast<int>(kMessageFrameSize))
            DebugLog("D_MISC_CONTROL(%u) returned %u - not %u", misc::GetMessage, static_cast<unsigned>(r),
                     static_cast<unsigned>(kMessageFrameSize));
        // No text without its first byte (a result of 2 is a raw answer that did not fit).
        if (r <= static_cast<int>(kMessageTextAt)) return;
        // Whatever arrived is kept, but nothing beyond it is read.
        const bool ignore = self->settings_.ignoreSnAddr;
        const std::string text = DecodeMessageText(std::span(frame.data(), static_cast<size_t>(r)), ignore);
        appendToFile((ignore ? "" : "---------------------------------------\n") + text);
        if (showBox) p.ask(boxText(text), "Message Text:", MB_OK);
    });
}

void TechConsole::startAutoMessages() {
    autoMessages_ = true;
    fetchMessage(true, false);
    panel_->setTimer(kAutoMessageTimer, 1000, false);
}

void TechConsole::onAutoMessageTimer() {
    if (!autoMessages_) return;
    const KeyState keys = CurrentKeys();
    if (keys.leftShift && keys.rightShift) {
        autoMessages_ = false;
        panel_->stopTimer(kAutoMessageTimer);
        appendToFile("GetMsg> Auto-mode exited...\n\n");
        return;
    }
    fetchMessage(true, false);
}

void TechConsole::eraseMessages() {
    run([](Panel&) {
        std::lock_guard lock(LinkLock());
        std::vector<uint8_t> frame(kMiscAckFrameSize, 0);
        frame[0] = misc::EraseMessages;
        const int r = ModbusGet(1, D_MISC_CONTROL, Wire().ctx, frame.data(), kMiscAckFrameSize, 100, 500);
        if (r == static_cast<int>(kMiscAckFrameSize))
            DebugLog("Message(s) erased");
        else
            DebugLog("D_MISC_CONTROL(%u) returned %u - not %u", misc::EraseMessages, static_cast<unsigned>(r),
                     static_cast<unsigned>(kMiscAckFrameSize));
    });
}

void TechConsole::simulateAlarm() {
    run([](Panel& p) {
        const int r = sendSet(D_SIMULATE_ALARM, {});
        DebugLog("Simulate Alarm!");
        if (r < 0) p.ask("'SET' command failed...", "Warning", kBox);
    });
}

void TechConsole::simulateCommError(int kind) {
    // The counters belong to the wire, which only the link worker touches.
    Shell().link().post([kind] {
        if (kind == 2)
            DebugLog("Simulation2 of %u Comm Errors pending...", static_cast<unsigned>(++Wire().simulatedErrors2));
        else
            DebugLog("Simulation of %u Comm Errors pending...", static_cast<unsigned>(++Wire().simulatedErrors1));
    });
}

void TechConsole::sendFillBlock() {
    const auto fill = static_cast<uint8_t>(ProfileGetInt(kParamIni, "General", "fill", 170));
    run([fill](Panel&) { sendSet(D_MANUAL_BIT, std::vector<uint8_t>(kFillBlockSize, fill)); });
}
