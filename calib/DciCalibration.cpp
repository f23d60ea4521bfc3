#include "calib/DciCalibration.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dci {
namespace {
constexpr double kLimit = 1.50001, kDeadAverage = 0.001;

std::optional<double> Parse(const std::string& s) {
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}
}  // namespace

const char* VerdictName(Verdict v) {
    switch (v) {
    case Verdict::Advised: return "advised";
    case Verdict::Unnecessary: return "unnecessary";
    case Verdict::NotPermitted: break;
    }
    return "not-permitted";
}

const char* VerdictText(Verdict v) {
    switch (v) {
    case Verdict::Advised: return "You can now BURN";
    case Verdict::Unnecessary: return "Burn unnecessary.\r\n\r\nThis detector needs no DCI-amplification.";
    case Verdict::NotPermitted: break;
    }
    return "Burn not permitted.\r\n\r\nThis detector is unsuitable for DCI.";
}

std::string FactorText(std::optional<double> factor) {
    if (!factor) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", *factor);
    return buf;
}

Verdict Judge(const std::string& printedFactor) {
    const auto f = Parse(printedFactor);
    if (!f || *f >= kLimit) return Verdict::NotPermitted;
    return *f > 1.0 ? Verdict::Advised : Verdict::Unnecessary;
}

uint8_t Amplification(const std::string& printedFactor) {
    const auto f = Parse(printedFactor);
    // Only an advised factor (above 1) gets here from the window; anything
    // else keeps the neutral 100 rather than a byte out of range.
    if (!f || *f <= 1.0 || *f >= kLimit) return 100;
    return static_cast<uint8_t>(150.0 / *f + 0.5);
}

std::array<double, 4> Channels(const LiveRecord& r) {
    return {r.f32(live::Sum45), r.f32(live::Sum5), r.f32(live::Sum4), r.f32(live::Sum44)};
}

void Sums::add(const LiveRecord& r) {
    const auto c = Channels(r);
    ++n;
    for (size_t i = 0; i < 4; ++i) sum[i] += c[i];
}

std::array<double, 4> Sums::averages() const {
    std::array<double, 4> a{};
    if (n == 0) return a;
    for (size_t i = 0; i < 4; ++i) a[i] = sum[i] / static_cast<double>(n);
    return a;
}

std::optional<double> Sums::factor() const {
    const auto a = averages();
    if (n == 0 || !(a[0] > kDeadAverage) || !(a[3] > kDeadAverage)) return std::nullopt;
    return sum[3] / sum[0];
}

Run::Step Run::onRead(const std::optional<LiveRecord>& r, unsigned long long nowMs) {
    if (done_) return Step::Done;
    if (!r) {
        ++failed_;
        if (failed_ >= kFailedReadsToAbort) {
            done_ = true;
            averaging_ = false;
            return Step::Unresponsive;
        }
    } else {
        if (good_ < 255) ++good_;
        failed_ = 0;
        if (averaging_) sums_.add(*r);
    }
    if (averaging_ && elapsedSeconds(nowMs) >= seconds_) {
        averaging_ = false;
        done_ = true;
        return Step::Done;
    }
    return averaging_ ? Step::Averaging : Step::Reading;
}

void Run::start(unsigned long long nowMs) {
    startMs_ = nowMs;
    sums_ = {};
    averaging_ = true;
    done_ = false;
}

unsigned Run::elapsedSeconds(unsigned long long nowMs) const {
    if (nowMs < startMs_) return 0;
    return static_cast<unsigned>((nowMs - startMs_ + 500) / 1000);
}

}  // namespace dci
