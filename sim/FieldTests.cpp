// Field tests a rig sets off outside the tool: a test explosion the detector
// writes into its message text, and a fire that starts at a chosen reading of
// the test timer, so that a timing test has an onset to compare with.
#include <string>
#include <vector>

#include "sim/Control.h"
#include "sim/Detector.h"

namespace wsim {

namespace {
constexpr unsigned kTooLongMs = 50;
}

void Detector::explode(std::optional<unsigned> ms, bool falseExplosion) {
    std::string text = "Detection Cond: IR flash, UV burst\n";
    if (falseExplosion) text += "nNegative: 1\n";
    if (ms) text += "Detection time: " + std::to_string(*ms) + " ms" + (*ms > kTooLongMs ? " too long" : "") + "\n";
    messages_ += text;
}

void Detector::armFmFire(uint32_t ms, bool explosion, bool relay) {
    fmFire_ = {ms, explosion, relay, true, false, false};
}

void Detector::startTestTimer(int64_t now) {
    fmOrigin_ = now;
    fmFire_.running = fmFire_.armed;
    fmFire_.armed = false;
    fmFire_.told = false;
}

char Detector::fmFireMode(int64_t now) {
    if (!fmFire_.running || now - fmOrigin_ < fmFire_.atMs) return 0;
    if (!fmFire_.told) {
        fmFire_.told = true;
        notice_ = "onset " + std::to_string(flash_.address) + " " + std::to_string(fmFire_.atMs);
        ++noticeCount_;
    }
    return fmFire_.explosion ? 'X' : 'A';
}

std::string runFieldTestCommand(Line& line, const std::vector<std::string>& w, bool* ok) {
    auto fail = [&](const std::string& why) {
        if (ok) *ok = false;
        return "error: " + why;
    };
    auto number = [](const std::string& s, unsigned long max, unsigned long* out) {
        if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 10) return false;
        *out = std::stoul(s);
        return *out <= max;
    };
    unsigned long addr = 0, ms = 0;
    const bool explode = w[0] == "explode";
    const char* form = explode ? "explode ADDR MS [false] | explode ADDR none" : "fm-fire ADDR MS [x] [norelay]";
    if (w.size() < 3 || !number(w[1], 247, &addr) || addr < 1 || (!number(w[2], 0xFFFFFFFFul, &ms) && w[2] != "none") ||
        (!explode && w[2] == "none"))
        return fail(form);
    bool falseExplosion = false, x = false, relay = true;
    for (size_t i = 3; i < w.size(); ++i) {
        if (explode && w[i] == "false") falseExplosion = true;
        else if (!explode && w[i] == "x") x = true;
        else if (!explode && w[i] == "norelay") relay = false;
        else return fail(form);
    }
    const bool found = line.withDetector(static_cast<uint8_t>(addr), [&](Detector& d, int64_t) {
        if (!explode) return d.armFmFire(static_cast<uint32_t>(ms), x, relay);
        d.explode(w[2] == "none" ? std::nullopt : std::optional<unsigned>(static_cast<unsigned>(ms)), falseExplosion);
    });
    return found ? "ok" : fail("no detector " + w[1]);
}

}  // namespace wsim
