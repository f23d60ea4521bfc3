#include "calib/DciPoll.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "calib/CDCICalibIds.h"
#include "monitor/Maint.h"
#include "protocol/ModbusRtu.h"
#include "protocol/Transport.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace dci {
namespace {
constexpr unsigned kReadTries = 3, kPeriodMs = 100;

std::string Fixed1(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}
}  // namespace

using namespace dciwin;

std::optional<LiveRecord> ReadWithTries() {
    for (unsigned i = 0; i < kReadTries; ++i) {
        if (i) PumpWait(1);
        std::lock_guard lock(LinkLock());
        if (auto r = maint::ReadLiveRecord()) return r;
        if (Wire().ctx) modbus_flush(Wire().ctx);
    }
    return std::nullopt;
}

Poll::Link PollWire() {
    Poll::Link l;
    l.read = [] {
        auto r = ReadWithTries();
        PumpWait(1);
        return r;
    };
    l.select = [](unsigned address) {
        std::lock_guard lock(LinkLock());
        return SelectSlave(address);
    };
    l.current = [] { return static_cast<unsigned>(Wire().slave); };
    return l;
}

Poll::Poll(std::shared_ptr<Panel> panel, Link link, std::function<unsigned long long()> nowMs)
    : panel_(std::move(panel)), link_(std::move(link)), now_(std::move(nowMs)) {
    for (int id : {kStart, kBurn, kView}) panel_->enable(id, false);
}

void Poll::showFields(int state) { panel_->setText(kFieldsState, std::to_string(state)); }

void Poll::tick() {
    queued_ = false;
    if (!running_) return;
    Panel& p = *panel_;
    const auto r = link_.read();
    if (r) {
        if (link_.current() == 0) {
            const unsigned a = r->address();
            const bool selected = link_.select(a);
            DebugLog(selected ? "modbus_set_slave(%u) success." : "modbus_set_slave(%u) failure...", a);
            // The tool names the detector it now talks to.
            if (selected) Shell().detector.address = a;
        }
        p.setText(kAddress, std::to_string(r->address()));
        p.setText(kMode, std::string(1, r->mode()));
        p.setText(kState, std::to_string(r->state()));
        p.setText(kModel, ModelName(r->header().model));
        p.setText(kSerial, std::to_string(r->serial()));
    }
    const Run::Step step = run_.onRead(r, now_());
    const bool summing = step == Run::Step::Averaging || step == Run::Step::Done;
    if (r) {
        const auto shown = summing ? run_.sums().averages() : Channels(*r);
        for (size_t i = 0; i < shown.size(); ++i) p.setText(kValue0 + static_cast<int>(i), Fixed1(shown[i]));
    }
    // The verdict is read from this field: it shows this run's factor, whether
    // the last read came or not.
    if (summing) p.setText(kFactor, FactorText(run_.sums().factor()));
    if (step == Run::Step::Unresponsive) {
        running_ = false;
        p.stopTimer(kPollTimer);
        showFields(kFieldsFailed);
        // Master / Reset starts over; Start has nothing left to abort.
        p.setText(kStart, "Start");
        p.enable(kStart, false);
        p.enable(kMaster, true);
        p.ask("Detector unresponsive - aborting calibration...", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    if (run_.canStart()) p.enable(kStart, true);
    if (run_.averaging() || step == Run::Step::Done) {
        const unsigned elapsed = run_.elapsedSeconds(now_());
        p.setProgress(kProgress, static_cast<int>(std::min(100ULL, elapsed * 100ULL / std::max(1U, run_.seconds()))));
    }
    if (step == Run::Step::Done) conclude();
}

void Poll::conclude() {
    Panel& p = *panel_;
    running_ = false;
    p.stopTimer(kPollTimer);
    p.enable(kStart, false);
    p.setText(kStart, "Done.");
    DebugLog("DCI Calibration: Accumulating sums concluded");
    // Judged as shown: the field holds the factor the technician reads.
    const Verdict v = Judge(p.text(kFactor));
    showFields(v == Verdict::Advised ? kFieldsAdvised : v == Verdict::NotPermitted ? kFieldsFailed : kFieldsNone);
    p.enable(kBurn, v == Verdict::Advised);
    p.enable(kMaster, true);
    p.ask(VerdictText(v), "Accumulating sums done:",
          MB_OK | (v == Verdict::Advised ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

void Poll::startOrAbort(const std::string& duration) {
    Panel& p = *panel_;
    if (run_.averaging()) {
        // The poll goes on, so Start can be pressed again.
        run_.abort();
        p.setProgress(kProgress, 0);
        p.setText(kStart, "Start");
        DebugLog("Calibration: Learning the background aborted");
        p.enable(kMaster, true);
        return;
    }
    if (!running_ || !run_.canStart()) return;
    p.enable(kMaster, false);
    p.setText(kStart, "Abort");
    p.setText(kSumsLabel, "Averaged Sums");
    p.setText(kFactor, "");
    char* end = nullptr;
    const unsigned long long asked = std::strtoull(duration.c_str(), &end, 10);
    unsigned seconds = ClampSeconds(asked);
    if (end == duration.c_str() || seconds == 0) seconds = kDefaultSeconds;
    if (asked != seconds) p.setText(kDuration, std::to_string(seconds));
    p.setProgress(kProgress, 0);
    p.ask("You can now start accumulating sums...\r\n\r\nExpose the IR sensors to IR simulator - and then click OK",
          "Learning Background - done.", MB_OK | MB_ICONINFORMATION);
    DebugLog("Calibration: Started learning the background");
    run_.start(now_(), seconds);
}

void Poll::master() {
    Panel& p = *panel_;
    run_ = Run(kDefaultSeconds);
    p.setCheck(kStart, 0);
    for (int id : {kStart, kBurn}) p.enable(id, false);
    for (const auto& [id, text] : {std::pair{kBurn, "Burn"}, {kMaster, "Master"}, {kStart, "Start"},
                                   {kSumsLabel, "Sums"}, {kFactor, ""}})
        p.setText(id, text);
    showFields(kFieldsNone);
    p.setProgress(kProgress, 0);
    DebugLog(link_.select(0) ? "modbus_set_slave(Master) success." : "modbus_set_slave(Master) failure...");
    running_ = true;
    p.setTimer(kPollTimer, kPeriodMs, false);
}

uint8_t Poll::burnValue() {
    Panel& p = *panel_;
    p.enable(kBurn, false);
    p.setText(kBurn, "Processing...");
    DebugLog("Calibration: Get 'param' from master/slave %u", link_.current());
    return Amplification(p.text(kFactor));
}

void Poll::burned(bool verified) {
    Panel& p = *panel_;
    if (verified) showFields(kFieldsBurned);
    p.setText(kBurn, "Done.");
    p.enable(kView, true);
    p.enable(kMaster, true);
}

}  // namespace dci
