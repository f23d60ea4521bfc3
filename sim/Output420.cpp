// DCI channels and the 4-20 mA output trim of a simulated detector.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/Control.h"
#include "sim/Detector.h"

namespace wsim {
namespace {
constexpr int kAdminLevel = 2;

bool parseReal(const std::string& s, float* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// "F" (0..10), "dead45" or "dead44".
bool parseDci(const std::string& s, DetectorConfig::Dci* kind, float* factor) {
    if (s == "dead45" || s == "dead44") {
        *kind = s == "dead45" ? DetectorConfig::Dci::Dead45 : DetectorConfig::Dci::Dead44;
        return true;
    }
    if (!parseReal(s, factor) || *factor < 0 || *factor > 10) return false;
    *kind = DetectorConfig::Dci::Factor;
    return true;
}

int pointIndex(unsigned point) { return point == 20 ? 1 : 0; }
}  // namespace

bool parseCalibOption(const std::string& key, const std::string& value, DetectorConfig* c) {
    if (key == "dci") return parseDci(value, &c->dci, &c->dciFactor);
    if (key != "err420") return false;
    const auto slash = value.find('/');
    float e4 = 0, e20 = 0;
    if (slash == std::string::npos || !parseReal(value.substr(0, slash), &e4) ||
        !parseReal(value.substr(slash + 1), &e20) || std::fabs(e4) > 2 || std::fabs(e20) > 2)
        return false;
    c->err4 = e4;
    c->err20 = e20;
    return true;
}

std::string calibControl(Detector& d, const std::vector<std::string>& w, int64_t now) {
    const std::string& c = w[0];
    if (c == "meter") {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", d.meter(now));
        return buf;
    }
    if (c == "refuse420") {
        unsigned long n = 0;
        char* end = nullptr;
        if (w.size() != 3 || (n = std::strtoul(w[2].c_str(), &end, 10), *end) || n > 1'000'000)
            return "error: refuse420 ADDR N";
        d.refuse420(static_cast<int>(n));
        return "";
    }
    DetectorConfig::Dci kind{};
    float factor = 1;
    if (w.size() != 3 || !parseDci(w[2], &kind, &factor)) return "error: dci ADDR F|dead45|dead44";
    d.setDci(kind, factor);
    return "";
}

// The 4.4 um channel follows the 4.5 um one while nothing else happens,
// whatever the amplification in the parameters: the host judges the raw pair.
void Detector::applyDci(LiveValues& v) const {
    if (dci_ == DetectorConfig::Dci::Off || v.mode != 'N') return;
    if (dci_ == DetectorConfig::Dci::Dead45) v.sums[0] = 0;
    else if (dci_ == DetectorConfig::Dci::Dead44) v.sums[3] = 0;
    else v.sums[3] = dciFactor_ * v.sums[0];
}

double Detector::error420(unsigned point) const {
    const int i = pointIndex(point);
    return double(err420_[i]) - double(trim_[i]);
}

double Detector::meter(int64_t now) {
    if (fixed420_) return fixed420_ + error420(fixed420_);
    const double level = live(now).analog / 10.0;
    return level + error420(4) + (error420(20) - error420(4)) * (level - 4.0) / 16.0;
}

void Detector::reset420() {
    fixed420_ = 0;
    applied_[0] = applied_[1] = false;
    trim_[0] = burnedTrim_[0];
    trim_[1] = burnedTrim_[1];
}

std::optional<RecordReply> Detector::calib420(const RecordRequest& req, int64_t now) {
    if (!req.isGet) return std::nullopt;
    const uint8_t* p = req.payload;
    const size_t n = req.payloadSize;
    auto ack = [&](bool ok, int latency = 3) { return std::optional<RecordReply>(status(ok ? 1 : 0, latency)); };
    if (n < 2) return ack(false);
    if (refuse420_ > 0) {
        --refuse420_;
        return ack(false);
    }
    const uint8_t t = p[1];
    if (t == 0) {  // stop: always accepted, no elevation needed
        fixed420_ = 0;
        return ack(true);
    }
    if (!permitted(kAdminLevel, now)) return ack(false);
    if (t == 4 || t == 20) {
        fixed420_ = t;
        applied_[pointIndex(t)] = false;
        return ack(true);
    }
    if (t == 104 || t == 120) {
        const unsigned point = t - 100u;
        if (n != 6 || fixed420_ != point) return ack(false);
        float reading = 0;
        std::memcpy(&reading, p + 2, 4);
        if (!std::isfinite(reading) || std::fabs(reading - point) > 5) return ack(false);
        const int i = pointIndex(point);
        trim_[i] += reading - static_cast<float>(point);
        applied_[i] = true;
        return ack(true);
    }
    if (t == 1) {
        if (!applied_[0] || !applied_[1]) return ack(false);
        burnedTrim_[0] = trim_[0];
        burnedTrim_[1] = trim_[1];
        return ack(true, 400);
    }
    return ack(false);
}

}  // namespace wsim
