// What a detector's sensors and fire algorithm show in its live data: a dark
// background that drifts, a fire that its own parameter record must call a
// fire (or, weak, must not), BIT sums that build up while the lamp flashes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "sim/Detector.h"
#include "sim/ParamRecord.h"

namespace wsim {

namespace {
// Fire phases from the start, in ms: G, W, A, Z; a weak fire shows G only.
constexpr int64_t kGradientEnd = 1'000, kWarningEnd = 3'000, kAlarmEnd = 13'000, kPostAlarmEnd = 16'000;
constexpr int64_t kWeakEnd = 4'000;
// How far above (fire) or below (weak) every threshold the values lie.
constexpr float kStrong = 1.5f, kWeak = 0.5f;
// BIT sums a clean window reaches after 3 s of lamp, in the order of LiveValues::sums.
constexpr float kIrBitSums[4] = {2400, 1900, 2100, 2000}, kUvirBitSums[2] = {180, 900};
// What a manual BIT measures through the lens: IR BIT sum 4 outright, UV
// counts per second of BIT. A weak lamp leaves a bright/dark ratio of 1.2.
constexpr float kIrLamp[2] = {150, 600}, kUvRate[2] = {8, 40}, kWeakRatio = 1.2f;

float f32At(const Bytes& b, size_t at) {
    float f;
    const uint32_t u = getU32(&b[at]);
    std::memcpy(&f, &u, 4);
    return f;
}

double f64At(const Bytes& b, size_t at) {
    const uint64_t u = getU32(&b[at]) | (uint64_t{getU32(&b[at + 4])} << 32);
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

// Small repeatable unrest in [-1, 1], new every 100 ms and per channel.
float jitter(int64_t now, int channel) {
    uint32_t x = static_cast<uint32_t>(now / 100) * 2654435761u + static_cast<uint32_t>(channel) * 40503u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return float(x % 2001) / 1000.0f - 1.0f;
}

struct Signal {
    float sums[4] = {};  // 45, 5, 4, 44 (UV/IR: UV, IR)
    float cors[6] = {};  // record order
};

// Sums and correlations that put every test of both fire chains on the same
// side of the detector's thresholds at range `idx`: all above for a fire, all
// below (where a threshold above zero allows it) for a weak one. Ratios are
// not set here: they follow from the sums, so the reference channels are
// chosen to give the ratios their place.
Signal irFire(const Bytes& p, unsigned idx, bool weak) {
    using namespace param;
    auto at = [&](size_t base) { return f32At(p, base + 4 * idx); };
    const float k = weak ? kWeak : kStrong, warn = f32At(p, IrWarnFactor);
    auto pick = [&](float a, float b) { return weak ? std::min(a, b) : std::max(a, b); };
    Signal s;
    float& s45 = s.sums[0];
    float& s5 = s.sums[1];
    float& s4 = s.sums[2];
    float& s44 = s.sums[3];
    s45 = k * pick(at(IrSum45Benz), at(IrSum45) * warn);
    s44 = k * pick(at(IrSum44Benz), at(IrSum44) * warn);
    const float r4445 = std::max(at(IrRatio44to45), at(IrRatio44to45Hyd));
    if (r4445 > 0) s44 = pick(s44, s45 * 10 * k * r4445);
    // A reference channel low enough (fire) or high enough (weak) for each
    // ratio over it; with no threshold above zero a plain flame ratio of 3.
    auto reference = [&](std::initializer_list<std::pair<float, size_t>> over, float dark) {
        bool any = false;
        float r = 0;
        for (auto [num, base] : over)
            if (at(base) > 0) {
                const float c = num / (10 * k * at(base));
                r = any ? (weak ? std::max(r, c) : std::min(r, c)) : c;
                any = true;
            }
        return any ? r : weak ? dark : s45 / 30;
    };
    s4 = reference({{s45, IrRatio45to4}, {s44, IrRatio44to4}}, 5.0f);
    s5 = reference({{s45, IrRatio45to5}, {s44, IrRatio44to5}, {s45, IrRatio4to5Hyd}}, 6.0f);
    // The exhaust test calls a very high 4.5/5 ratio no fire.
    const float exhaust = p[IrRat5Exhaust];
    if (!weak && exhaust > 0) s5 = std::max(s5, s45 / (10 * exhaust / 2));
    const size_t corBase[5] = {IrCor45to4, IrCor45to5, IrCor44to4, IrCor44to5, IrCor44to45};
    for (int i = 0; i < 5; ++i) {
        float t = at(corBase[i]);
        if (i == 4) t = std::max(t, at(IrCor44to45Hyd));
        s.cors[i] = weak ? k * t : t + (1 - t) * 0.6f;
    }
    s.cors[5] = 0.5f;
    return s;
}

Signal uvirFire(const Bytes& p, unsigned idx, bool weak) {
    using namespace param;
    const double a = f64At(p, UvSumFirstPass + 8 * idx), b = f64At(p, UvSumFirstPassBenz + 8 * idx);
    Signal s;
    s.sums[0] = float(weak ? kWeak * std::min(a, b) : kStrong * std::max(a, b));
    s.sums[1] = weak ? 1200.0f : 4200.0f;
    return s;
}

Signal background(bool uvir, double t, int64_t now) {
    Signal s;
    if (uvir) {
        s.sums[0] = float(12.0 + 3.0 * std::sin(t / 7.0) + jitter(now, 0));
        s.sums[1] = float(840.0 + 25.0 * std::sin(t / 13.0) + 5 * jitter(now, 1));
        return s;
    }
    const float dark[4] = {4.0f, 6.0f, 5.0f, 3.5f};
    for (int i = 0; i < 4; ++i)
        s.sums[i] = float(dark[i] * (1.0 + 0.08 * std::sin(t / (11.0 + 2 * i)) + 0.03 * jitter(now, i)));
    for (int i = 0; i < 6; ++i) s.cors[i] = float(0.15 + 0.05 * i + 0.05 * jitter(now, 10 + i));
    return s;
}
}  // namespace

void Detector::startFire(int64_t now, bool weak) {
    update(now);
    if (bitStart_ >= 0) return;  // the lamp test has the channels
    fireStart_ = now;
    fireWeak_ = weak;
    alarmStart_ = -1;
    if (!weak) messages_ += "Detection Cond: flame\nDetection time: 3000 ms\n";
}

float Detector::lampReading(int64_t start, unsigned seconds) const {
    if (lamp_ == Lamp::Dead) return 0;
    const int open = lensCovered_ ? 0 : 1;
    float value = uvir() ? kUvRate[open] * float(seconds) : kIrLamp[open];
    if (lamp_ == Lamp::Weak && open) value = (uvir() ? kUvRate[0] * float(seconds) : kIrLamp[0]) * kWeakRatio;
    return value * (1.0f + 0.01f * jitter(start, 50));
}

void Detector::releaseValues() {
    for (auto& h : held_) h.reset();
}

char Detector::fireMode(int64_t now) const {
    if (fireStart_ < 0) return 0;
    const int64_t in = now - fireStart_;
    if (fireWeak_) return in < kWeakEnd ? 'G' : 0;
    return in < kGradientEnd ? 'G' : in < kWarningEnd ? 'W' : in < kAlarmEnd ? 'A' : in < kPostAlarmEnd ? 'Z' : 0;
}

void Detector::fillSignals(LiveValues& v, int64_t now) const {
    const double t = double(now - bootMs_) / 1000.0;
    const bool u = uvir();
    Signal s = background(u, t, now);
    if (const char fire = fireMode(now)) {
        const unsigned idx = std::min<unsigned>(flash_.setup[setup::Sensitivity], u ? 2 : 5);
        const Signal f = u ? uvirFire(flash_.params, idx, fireWeak_) : irFire(flash_.params, idx, fireWeak_);
        // One flicker for every channel keeps the ratios where the fire put them;
        // after the alarm the flame dies away into the background.
        const int64_t in = now - fireStart_;
        const float share = fire == 'Z' ? float(kPostAlarmEnd - in) / float(kPostAlarmEnd - kAlarmEnd) : 1.0f;
        const float flicker = fire == 'Z' ? 1.0f : float(1.0 + 0.1 * std::sin(t * 9.0));
        for (int i = 0; i < 4; ++i) s.sums[i] += share * (f.sums[i] * flicker - s.sums[i]);
        for (int i = 0; i < 6; ++i) s.cors[i] += share * (f.cors[i] - s.cors[i]);
    }
    std::copy(std::begin(s.sums), std::end(s.sums), v.sums);
    if (!u) applyDci(v);
    std::copy(std::begin(s.cors), std::end(s.cors), v.cors);
    if (!u) {
        const float s45 = s.sums[0], s5 = s.sums[1], s4 = s.sums[2], s44 = s.sums[3];
        const float r[6] = {s45 / s4, s45 / s5, s4 / s5, s44 / s4, s44 / s5, s44 / s45};
        for (int i = 0; i < 6; ++i) v.ratios[i] = r[i] / 10.0f;
    }

    // The lamp's answer builds up while it flashes and is held afterwards; a
    // UV BIT longer than 3 s collects more.
    double lit = 0;
    if (v.mode == 'M' || v.mode == 'E') lit = double(std::min(now, bitMEnd_) - bitStart_) / 3000.0;
    else if (v.mode == 'B') lit = double(std::min<int64_t>(now - autoBitStart_, 2'000)) / 3000.0;
    for (int i = 0; i < (u ? 2 : 4); ++i)
        v.bitSums[i] = float(lit * (u ? kUvirBitSums[i] : kIrBitSums[i]));
    // The lamp's channel builds up while 'M' lasts and keeps the result after it.
    if (lampHeld_ && (v.mode == 'M' || v.mode == 'E' || v.mode == 'N')) {
        const double span = double(std::max<int64_t>(bitMEnd_ - bitStart_, 1));
        const double share = v.mode == 'M' ? std::min(1.0, double(now - bitStart_) / span) : 1.0;
        v.bitSums[u ? 0 : 2] = float(share * lampSum_);
    }

    const bool flame = v.mode == 'G' || v.mode == 'W' || v.mode == 'A';
    for (int i = 0; i < 4; ++i) {
        v.noise[i] = float((3.0 + i * 0.5 + 0.4 * std::sin(t / (5.0 + i)) + 0.1 * jitter(now, 30 + i)) * (flame ? 3 : 1));
        v.samples[i] = static_cast<int32_t>((now - bootMs_) / 10);
    }
    v.temperature = held_[1] ? *held_[1] : float(24.5 + 1.5 * std::sin(t / 600.0) + 0.02 * jitter(now, 40));
    v.tempGradient = held_[1] ? 0.0f : float(1.5 * 60.0 / 600.0 * std::cos(t / 600.0));
    v.vin = held_[0] ? *held_[0] : float(24.0 + 0.15 * std::sin(t / 300.0) + 0.02 * jitter(now, 41));
}

void Detector::putChannels(Bytes& d, const LiveValues& v) const {
    if (uvir()) {
        const unsigned idx = std::min<unsigned>(flash_.setup[setup::Sensitivity], 2);
        putF32(&d[52], 1.0f);                                  // AdjUV
        putF32(&d[56], float(285.0 + 0.5 * v.noise[0] / 3));  // tube voltage, with the tube's unrest
        putF32(&d[84], float(f64At(flash_.params, param::UvSumFirstPass + 8 * idx)));
        putF32(&d[88], float(f64At(flash_.params, param::UvSumFirstPassBenz + 8 * idx)));
        return;
    }
    for (int i = 0; i < 6; ++i) putF32(&d[52 + 4 * i], v.ratios[i]);
    for (int i = 0; i < 6; ++i) putF32(&d[76 + 4 * i], v.cors[i]);
    putF32(&d[100], v.noise[0]);
    putF32(&d[104], v.noise[1]);
    putF32(&d[108], v.noise[2] / 100.0f);
    putF32(&d[112], v.noise[3] / 100.0f);
    const float s45 = v.sums[0], s5 = v.sums[1], s4 = v.sums[2], s44 = v.sums[3];
    const float minus[4] = {s45 - s4, s45 - s5, s44 - s4, s44 - s5};
    for (int i = 0; i < 4; ++i) putF32(&d[116 + 4 * i], minus[i]);
}

}  // namespace wsim
