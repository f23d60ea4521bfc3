#include "calib/Calib420.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/Elevation.h"
#include "protocol/ModbusRtu.h"
#include "protocol/Transport.h"
#include "protocol/records/MiscControl.h"
#include "protocol/records/ResponseHeader.h"
#include "protocol/records/SetupRecord.h"
#include "util/Log.h"
#include "util/PumpWait.h"

namespace c420 {

const char* const kRestartQuestion =
    "4-20 current will remain at the value fixed by this calibration - \r\n - until a state-change occurs - or "
    "the detector is reset.\r\n\r\n   Click 'Yes' to reset;\r\n   Click 'No' to leave the 4-20 current with an "
    "incorrect value...";

namespace {
constexpr double kMissing = 0.001, kBurnTolerance = 0.0501;

std::string Format(const char* format, double a, double b = 0, double c = 0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

// The whole field must be a number: "4,02" is no reading.
std::optional<float> ParseReading(const std::string& text) {
    size_t b = text.find_first_not_of(" \t"), e = text.find_last_not_of(" \t");
    if (b == std::string::npos) return std::nullopt;
    const std::string s = text.substr(b, e - b + 1);
    char* end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string OutOfBurnRange(unsigned target, float reading, bool lead) {
    const double lo = target - kBurnTolerance + 0.0002, hi = target + kBurnTolerance;  // 3.9499 .. 4.0501
    return Format(target == 4 ? (lead ? "  4 mA:   reported current %.3f not in range [%.2f, %.2f]"
                                      : "4 mA:   reported current %.3f not in range [%.2f, %.2f]")
                              : "20 mA:   reported current %.3f not in range [%.2f, %.2f]",
                  reading, lo, hi);
}
}  // namespace

std::optional<SetupRecord> ReadSetup() {
    const CommandInfo& info = *commandInfo(D_SETUP2HOST);
    std::vector<uint8_t> frame(info.responseSize);
    int r = 0;
    for (unsigned i = 0; i < 3; ++i) {
        std::lock_guard lock(LinkLock());
        r = ModbusGet(0, D_SETUP2HOST, ::Wire().ctx, frame.data(), info.responseSize, 100, 500);
        if (r == static_cast<int>(info.responseSize)) return DecodeSetupAnswer(frame);
    }
    DebugLog("ModbusGet(D_SETUP2HOST) returned %d bytes instead of %u", r, info.responseSize);
    return std::nullopt;
}

Link LinkWire() {
    Link w;
    w.send = [](std::span<const uint8_t> request, bool longWait) -> std::optional<uint8_t> {
        std::array<uint8_t, kMiscAckFrameSize> frame{};
        if (request.size() > frame.size()) return std::nullopt;
        std::copy(request.begin(), request.end(), frame.begin());
        std::lock_guard lock(LinkLock());
        const int r = ModbusGet(static_cast<unsigned>(request.size()), D_MISC_CONTROL, ::Wire().ctx, frame.data(),
                                kMiscAckFrameSize, longWait ? 20 : 100, longWait ? 3000 : 500);
        if (r != static_cast<int>(kMiscAckFrameSize)) return std::nullopt;
        return AnswerStatus(frame);
    };
    w.elevate = [](const std::string& password) {
        DebugLog("TesPassword()...");
        std::lock_guard lock(LinkLock());
        if (::Wire().ctx) modbus_flush(::Wire().ctx);
        return ElevateOnce(2, password);
    };
    w.pause = [](unsigned ms) { PumpWait(ms); };
    return w;
}

Session::Session(Panel& panel, Link wire, bool locked, Options options, std::function<unsigned long long()> nowMs)
    : panel_(panel), wire_(std::move(wire)), locked_(locked), options_(options), now_(std::move(nowMs)) {
    lastActivity_ = now();
    choose(4);
}

void Session::choose(unsigned target) {
    target_ = target == 20 ? 20 : 4;
    panel_.enable(kSet, true);
    panel_.enable(kApply, false);
    touch();
}

void Session::touch() { lastActivity_ = now(); }

bool Session::idleExpired() const { return now() - lastActivity_ >= options_.idleSeconds * 1000ULL; }

Session::Result Session::exchange(std::span<const uint8_t> request, const char* what, bool longWait) {
    const auto ack = wire_.send(request, longWait);
    // The trim has no read-back: only the acknowledgement 1 counts.
    if (ack && *ack == 1) return Result::Done;
    DebugLog("D_MISC_CONTROL(MISC_CALIB_420, %u) ack failure", static_cast<unsigned>(request[1]));
    const std::string text =
        ack ? std::string("'") + what + "' failed..." : std::string("No response to '") + what + "' request...";
    panel_.ask(text, "Error", MB_OK | MB_ICONERROR);
    return ack ? Result::Refused : Result::NoReply;
}

bool Session::test(const std::string& password) {
    if (!wire_.elevate(password)) return false;
    if (!noted_) {
        noted_ = true;
        panel_.ask("Admin privilege will hold for 30 seconds - and is extended by 30 sec upon each \"Apply\"",
                   "Please Note:", MB_OK | MB_ICONINFORMATION);
    }
    testedAt_ = now();
    return true;
}

bool Session::admin(bool extend) {
    if (!locked_) return true;
    const bool open = now() < holdUntil_;
    bool granted = open && now() < testedAt_ + kFreshMs;
    if (!granted && open) granted = test(password_);
    while (!granted) {
        auto pw = panel_.askText("Please Enter the current ADMIN Password:", "Calibrating 4-20 - Apply:", true);
        if (!pw) {
            DebugLog("Current ADMIN Password not entered. Write canceled...");
            panel_.ask("Current ADMIN Password not entered.\r\n'Apply' canceled...", "Error", MB_OK | MB_ICONERROR);
            holdUntil_ = 0;
            password_.clear();
            return false;
        }
        password_ = std::move(*pw);
        granted = test(password_);
    }
    if (extend) holdUntil_ = now() + kHoldMs;
    return true;
}

Session::Result Session::set() {
    touch();
    if (!admin(true)) return Result::NotElevated;
    const std::array<uint8_t, 2> req{kMiscCalib420, static_cast<uint8_t>(target_)};
    const Result r = exchange(req, "Set");
    // A Set without an answer may still have fixed the current: the closing stops it.
    fixedSet_ = true;
    point(target_).setAcked = r == Result::Done;
    point(target_).applied = false;
    // The current now stands at this point: the other one takes no reading.
    point(target_ == 20 ? 4 : 20).setAcked = false;
    panel_.enable(kSet, false);
    panel_.enable(kApply, point(target_).setAcked);
    state_ = 1;
    touch();
    return r;
}

Session::Result Session::apply(const std::string& text) {
    touch();
    Point& p = point(target_);
    if (!p.setAcked) {
        panel_.ask("'Apply' needs an acknowledged 'Set Fixed Current' of this point...", "Error", MB_OK | MB_ICONERROR);
        return Result::NotAllowed;
    }
    const double lo = target_ == 4 ? 0 : 15, hi = target_ == 4 ? 6 : 25;
    const auto reading = ParseReading(text);
    if (!reading || (options_.check && (*reading < lo || *reading > hi))) {
        panel_.ask(Format("%.0f mA < current < %.0f mA", lo, hi), "Reported current out of range",
                   MB_OK | MB_ICONEXCLAMATION);
        return Result::OutOfRange;
    }
    if (!admin(true)) return Result::NotElevated;
    std::array<uint8_t, 6> req{kMiscCalib420, static_cast<uint8_t>(target_ + kApplyOffset)};
    std::memcpy(&req[2], &*reading, 4);  // little-endian, as the detector reads it
    const Result r = exchange(req, "Apply");
    if (r != Result::Done) return r;
    p.applied = true;
    p.reading = *reading;
    char line[80];
    std::snprintf(line, sizeof line, "Target %u mA;    Reported %.3f", target_, static_cast<double>(*reading));
    panel_.addLine(kList, line);
    panel_.enable(kBurn, p4_.applied && p20_.applied);
    return r;
}

Session::Result Session::burn() {
    touch();
    // A point not applied (or applied as about 0) is named first, whatever the range check.
    if (!p4_.applied || !p20_.applied || std::fabs(p4_.reading) <= kMissing || std::fabs(p20_.reading) <= kMissing) {
        panel_.ask("Calibration incomplete...", "Error", MB_OK | MB_ICONERROR);
        touch();
        return Result::Incomplete;
    }
    if (options_.check) {
        const bool bad4 = std::fabs(p4_.reading - 4.0) > kBurnTolerance;
        const bool bad20 = std::fabs(p20_.reading - 20.0) > kBurnTolerance;
        if (bad4 || bad20) {
            std::string text = bad4 && bad20 ? OutOfBurnRange(4, p4_.reading, true) + "\r\n\r\n" +
                                                   OutOfBurnRange(20, p20_.reading, false)
                               : bad4 ? OutOfBurnRange(4, p4_.reading, false)
                                      : OutOfBurnRange(20, p20_.reading, false);
            panel_.ask(text, "Calibration active - but not saved to flash", MB_OK | MB_ICONEXCLAMATION);
            return Result::OutOfRange;
        }
    }
    panel_.setText(kBurn, "Burning...");
    const std::array<uint8_t, 2> req{kMiscCalib420, kBurnPoint};
    const Result r = exchange(req, "Burn", true);
    panel_.setText(kBurn, "Burn");
    if (r != Result::Done) return r;
    panel_.ask("'Burn' succeeded!", "'Burn'", MB_OK | MB_ICONINFORMATION);
    state_ = 0;
    close(false);
    return r;
}

void Session::close(bool timedOut) {
    if (timedOut) state_ = 2;
    if (state_ == 1) panel_.addLine(kList, "Calibration not burned ...");
    if (state_ == 2) panel_.addLine(kList, "Timed-out: Auto-exiting ...");
    state_ = -1;
    if (!fixedSet_) return;
    fixedSet_ = false;
    panel_.addLine(kList, "Stopping 'Fixed Current' ...");
    const std::array<uint8_t, 2> stop{kMiscCalib420, kStop};
    const auto ack = wire_.send(stop, false);
    stopAcked_ = ack && *ack == 1;
    if (stopAcked_) {
        panel_.addLine(kList, "Stopping 'Fixed Current' ... succeeded.");
        wire_.pause(2000);
    } else {
        DebugLog("D_MISC_CONTROL(MISC_CALIB_420, stop fixed current) ack failure...");
        panel_.ask(ack ? "'Stop Fixed Current' failed..." : "No response to 'Stop Fixed Current' request...", "Error",
                   MB_OK | MB_ICONERROR);
    }
    if (panel_.ask(kRestartQuestion, "Restart Detector?:", MB_YESNO | MB_ICONQUESTION) == IDYES) {
        const std::array<uint8_t, 1> restart{kRestart};
        wire_.send(restart, false);
    }
}

void Session::tick() {
    const unsigned long long t = now();
    if (locked_ && t < holdUntil_ && t >= testedAt_ + kFreshMs && !password_.empty()) test(password_);
    std::string text = "Apply";
    if (t < holdUntil_) text += " (" + std::to_string((holdUntil_ - t) / 1000) + ")";
    if (text != applyText_) {
        applyText_ = text;
        panel_.setText(kApply, text);
    }
}

}  // namespace c420
