// The detector side of the automatic calibration: accumulation on the
// broadcast iteration count, the calibration object, the scales it leaves,
// and the scene in front of the sensors (flame on or off, per-channel gains).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "sim/Control.h"
#include "sim/Detector.h"
#include "sim/ParamRecord.h"

namespace wsim {

namespace {
constexpr int64_t kIterationMs = 100;
constexpr size_t kObjectSize = 1080;
constexpr size_t kCounter = 152;  // data offset of the iteration counter
// Data offsets of the family's channels: IR 45, 4, 5, 44; UV/IR first pass, ratio high, ratio low.
constexpr size_t kChannelAt[4] = {20, 28, 24, 32};
constexpr size_t kUvSum = 108;
// Where the object carries the totals and the apply flag: IR, UV/IR.
constexpr size_t kTotalsAt[2] = {984, 224}, kFlagAt[2] = {1072, 256};

// Repeatable unrest in [-1, 1], new every iteration and per channel.
float unrest(int64_t now, unsigned channel) {
    uint32_t x = static_cast<uint32_t>(now / kIterationMs) * 2246822519u + channel * 3266489917u + 374761393u;
    x ^= x >> 15;
    x *= 2654435761u;
    x ^= x >> 13;
    return float(x % 2001) / 1000.0f - 1.0f;
}

void putF64(uint8_t* p, double v) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    putU32(p, static_cast<uint32_t>(u));
    putU32(p + 4, static_cast<uint32_t>(u >> 32));
}

double getF64(const uint8_t* p) {
    const uint64_t u = getU32(p) | (uint64_t{getU32(p + 4)} << 32);
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

bool parseGains(const std::string& text, std::vector<float>* out) {
    std::vector<float> g;
    size_t at = 0;
    for (;;) {
        const size_t colon = text.find(':', at);
        const std::string part = text.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
        char* end = nullptr;
        const float v = std::strtof(part.c_str(), &end);
        if (part.empty() || *end || !std::isfinite(v) || v < 0 || v > 1000) return false;
        g.push_back(v);
        if (colon == std::string::npos) break;
        at = colon + 1;
    }
    if (g.size() != 1 && g.size() != 3 && g.size() != 4) return false;
    *out = g;
    return true;
}
}  // namespace

bool parseAutoCalibOption(const std::string& key, const std::string& value, DetectorConfig* c) {
    if (key == "gain") return parseGains(value, &c->gains);
    if (key != "bg") return false;
    char* end = nullptr;
    const float b = std::strtof(value.c_str(), &end);
    if (value.empty() || *end || !std::isfinite(b) || b < 0 || b > 1e6) return false;
    c->bg = b;
    return true;
}

void Detector::setFlame(bool on) {
    scene_ = true;
    flame_ = on;
}

bool Detector::setGains(const std::vector<float>& gains) {
    const size_t channels = uvir() ? 3 : 4;
    if (gains.size() != 1 && gains.size() != channels) return false;
    gains_.assign(channels, gains[0]);
    if (gains.size() == channels) gains_ = gains;
    scene_ = true;
    return true;
}

void Detector::setBackground(float bg) {
    bg_ = bg;
    scene_ = true;
}

void Detector::setUvSumDip(float value, uint32_t from, uint32_t to) {
    dipValue_ = value;
    dipFrom_ = from;
    dipTo_ = to;
}

void Detector::resetCalibration() {
    calibN_ = counted_ = 0;
    calibStart_ = -1;
    totals_.assign(uvir() ? 3 : 10, 0.0);
}

std::array<float, 4> Detector::calibChannels(int64_t now) const {
    std::array<float, 4> ch{};
    const unsigned n = uvir() ? 3 : 4;
    if (!scene_) {
        LiveValues v;
        fillSignals(v, now);
        // Record order 45, 5, 4, 44 to the channel order 45, 4, 5, 44.
        ch = uvir() ? std::array<float, 4>{0, 0, v.sums[1], 0} : std::array<float, 4>{v.sums[0], v.sums[2], v.sums[1], v.sums[3]};
        return ch;
    }
    for (unsigned c = 0; c < n; ++c) {
        const float gain = c < gains_.size() ? gains_[c] : 1.0f;
        const float u = unrest(now, c);
        ch[c] = flame_ ? bg_ + 100.0f * gain * (1.0f + 0.005f * (1.0f + u)) : bg_ * (1.0f + 0.018f * u);
    }
    return ch;
}

uint32_t Detector::iterationCounter(int64_t now) {
    accumulate(now);
    return counted_;
}

void Detector::accumulate(int64_t now) {
    if (calibStart_ < 0) return;
    const int64_t due = std::min<int64_t>(calibN_, (now - calibStart_) / kIterationMs);
    for (; counted_ < due; ++counted_) {
        const auto c = calibChannels(calibStart_ + (counted_ + 1) * kIterationMs);
        if (uvir()) {
            for (int k = 0; k < 3; ++k) totals_[k] += c[k];
            continue;
        }
        const double s45 = c[0], s4 = c[1], s5 = c[2], s44 = c[3];
        const double q[10] = {s45, s4, s5, s44, s45 / s4, s45 / s5, s44 / s4, s44 / s5, s44 / s45, s4 / s5};
        for (int k = 0; k < 10; ++k) totals_[k] += std::isfinite(q[k]) ? q[k] : 0;
    }
}

void Detector::putCalibration(Bytes& d, int64_t now) {
    accumulate(now);
    putU32(&d[kCounter], counted_);
    if (!scene_) return;
    const auto c = calibChannels(now);
    for (unsigned i = 0; i < (uvir() ? 3u : 4u); ++i) putF32(&d[kChannelAt[i]], c[i]);
    if (!uvir()) return;
    const char mode = static_cast<char>(d[1]);
    if (mode == 'B' || mode == 'E' || mode == 'M') return;
    const bool dip = counted_ >= dipFrom_ && counted_ < dipTo_;
    const float gain = gains_.empty() ? 1.0f : gains_[0];
    putF32(&d[kUvSum], dip ? dipValue_ : flame_ ? 100.0f * gain : 0.0f);
}

std::optional<RecordReply> Detector::autoCalib(const RecordRequest& req, int64_t now) {
    const int fam = uvir() ? 1 : 0;
    const size_t quantities = totals_.size();
    accumulate(now);
    if (req.id == cmd::Calibration) {
        if (req.isGet || req.payloadSize != 4) return std::nullopt;
        resetCalibration();
        calibN_ = getU32(req.payload);
        if (calibN_) calibStart_ = now;
        return std::nullopt;
    }
    if (req.id == cmd::CalibScale) {
        if (!req.isGet) return std::nullopt;
        Bytes d(8 * quantities);
        for (size_t k = 0; k < quantities; ++k) putF64(&d[8 * k], scales_[k]);
        return RecordReply{d};
    }
    if (req.isGet) {
        Bytes d(kObjectSize, 0);
        std::copy(flash_.params.begin(), flash_.params.end(), d.begin());
        for (size_t k = 0; k < quantities; ++k) putF64(&d[kTotalsAt[fam] + 8 * k], totals_[k]);
        return RecordReply{d};
    }
    // The broadcast: only with the apply flag, and only a whole object.
    if (req.payloadSize != kObjectSize || getU32(req.payload + kFlagAt[fam]) != 1) return std::nullopt;
    for (size_t k = 0; k < quantities; ++k) {
        const double ref = getF64(req.payload + kTotalsAt[fam] + 8 * k);
        scales_[k] = ref != 0 && std::isfinite(ref) ? totals_[k] / ref : 0.0;
    }
    flash_.params.assign(req.payload, req.payload + paramSize(uvir()));
    return std::nullopt;
}

std::string autoCalibControl(Line& line, uint8_t addr, const std::vector<std::string>& w, bool* found) {
    const std::string& c = w[0];
    if (c == "gain") {
        std::string joined;
        for (size_t i = 2; i < w.size(); ++i) joined += (i > 2 ? ":" : "") + w[i];
        std::vector<float> gains;
        bool fits = false;
        if (!parseGains(joined, &gains)) return "gain ADDR G[:G:G:G]";
        *found = line.withDetector(addr, [&](Detector& d, int64_t) { fits = d.setGains(gains); });
        return !*found || fits ? "" : "one gain or one per channel";
    }
    DetectorConfig cfg;
    if (c == "bg") {
        if (w.size() != 3 || !parseAutoCalibOption("bg", w[2], &cfg)) return "bg ADDR B";
        *found = line.withDetector(addr, [&](Detector& d, int64_t) { d.setBackground(cfg.bg); });
        return "";
    }
    char* end = nullptr;
    const float value = w.size() == 5 ? std::strtof(w[2].c_str(), &end) : 0;
    if (w.size() != 5 || *end || !std::isfinite(value)) return "uvsum ADDR VALUE FROM TO";
    const unsigned long from = std::strtoul(w[3].c_str(), &end, 10);
    if (*end) return "uvsum ADDR VALUE FROM TO";
    const unsigned long to = std::strtoul(w[4].c_str(), &end, 10);
    if (*end || to > 1'000'000 || from > to) return "uvsum ADDR VALUE FROM TO";
    *found = line.withDetector(addr, [&](Detector& d, int64_t) {
        d.setUvSumDip(value, static_cast<uint32_t>(from), static_cast<uint32_t>(to));
    });
    return "";
}

}  // namespace wsim
