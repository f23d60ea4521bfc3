#include "calib/BitCalibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "util/Profile.h"

namespace bitcal {
namespace {

std::string format(const char* f, auto... args) {
    char b[320];
    std::snprintf(b, sizeof b, f, args...);
    return b;
}

// 1 + param3 x qtemp at or below 0 would turn the thresholds infinite or negative.
std::optional<float> denominator(const Params& params, float qtemp, const char* key, std::string* error) {
    const float den = 1.0f + qtemp * params.p[2];
    if (std::isfinite(den) && den > 0) return den;
    if (error)
        *error = format("%s not computed:\r\n1.0 + param[3] %.2f * qtemp %.1f = %.2f is not above 0", key,
                        double(params.p[2]), double(qtemp), double(den));
    return std::nullopt;
}

}  // namespace

Params ReadParams(Kind kind, const std::string& iniPath) {
    Params out;
    const unsigned n = kind == Kind::Ir ? 3 : 4;
    const char* section = kind == Kind::Ir ? "IR3BitParam" : "UVBitParam";
    for (unsigned i = 0; i < n; ++i) {
        const std::string v = ProfileGetString(iniPath, section, "param" + std::to_string(i + 1), "1.0");
        float f = 0;  // "%f" on no number leaves 0
        std::sscanf(v.c_str(), "%f", &f);
        out.p[i] = f;
    }
    return out;
}

unsigned LoopsInUse(const std::array<unsigned, 3>& durations) {
    unsigned n = 0;
    while (n < 3 && durations[n] > 0) ++n;
    return n;
}

std::optional<long> SetAverage(Kind kind, const std::array<long, 3>& readings, const std::array<unsigned, 3>& durations) {
    if (kind == Kind::Ir) return (readings[0] + readings[1] + readings[2]) / 3;
    const unsigned n = LoopsInUse(durations);
    if (n == 0) return std::nullopt;
    long sum = 0;
    for (unsigned k = 0; k < n; ++k) {
        const long d = durations[k];
        sum += (readings[k] + d / 2) / d;
    }
    return sum / long(n);
}

RatioResult RatioTest(Kind kind, float bright, float dark, float param1) {
    RatioResult r;
    r.ratio = dark > 0 ? bright / dark : 0.0f;
    r.pass = dark > 0 && std::isfinite(r.ratio) && r.ratio >= param1;
    const char* name = kind == Kind::Ir ? "IR" : "UV";
    r.line = format("(%s bright %.0f) / (%s dark %.0f) = %.2f >= (param1 %.2f) ? %s", name, double(bright), name,
                    double(dark), double(r.ratio), double(param1), r.pass ? "YES" : "NO");
    return r;
}

std::optional<float> IrThreshold(const Params& params, float dark, float qtemp, std::string* error) {
    const auto den = denominator(params, qtemp, "manbit", error);
    if (!den) return std::nullopt;
    const float v = params.p[1] * dark / *den;
    if (std::isfinite(v) && v >= 0) return v;
    if (error) *error = format("manbit not computed:\r\nparam[2] %.2f * AvgDark %.0f gives %.2f", double(params.p[1]),
                               double(dark), double(v));
    return std::nullopt;
}

std::optional<UvThreshold> UvThresholds(const Params& params, float dark, float bright, float qtemp,
                                        std::string* error) {
    const auto den = denominator(params, qtemp, "UVBIT_Thr", error);
    if (!den) return std::nullopt;
    const float p2 = params.p[1], p3 = params.p[2], p4 = params.p[3];
    const double darkN = double(dark) / *den, brightN = double(bright) / *den;
    const double v = p4 / brightN;
    if (std::isnan(v)) {
        if (error) *error = format("UVBIT_Thr not computed:\r\nparam[4] %.2f / AvgBright %.0f is not a number",
                                   double(p4), double(bright));
        return std::nullopt;
    }
    UvThreshold out;
    out.duration = v < 2.0 ? 2 : v > 4.0 ? 4 : unsigned(std::floor(v + 0.5));
    const double t = out.duration * darkN * p2;
    const double chosen = t <= p4 ? t + 0.5 : p4 + 0.5;
    if (!std::isfinite(chosen) || chosen < 0) {
        if (error) *error = format("UVBIT_Thr not computed:\r\nmin(param[4] %.2f, %.2f) is not a threshold",
                                   double(p4), t);
        return std::nullopt;
    }
    // One byte: above 255 is 255, never the remainder.
    out.threshold = uint8_t(std::max(3.0, std::min(255.0, std::floor(chosen))));
    out.debugLine = format(
        "UVBIT_Thr: min(param[4] %.2f, (AvgDark %.0f) * (UV_BIT_Duration %u) * (param[2] %.2f) / (1.0f + "
        "(param[3] %.2f) * (qtemp %.0f)) = %u\r\n",
        double(p4), double(dark), out.duration, double(p2), double(p3), double(qtemp), unsigned(out.threshold));
    return out;
}

DurationCheck CheckDurations(const std::array<std::string, 3>& fields) {
    DurationCheck c;
    for (size_t k = 0; k < 3; ++k) {
        const std::string& f = fields[k];
        const bool digits =
            !f.empty() && std::all_of(f.begin(), f.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
        // Too many digits to read is too long a BIT.
        const unsigned long v = !digits ? 0 : f.size() > 9 ? 21 : std::stoul(f);
        if (k == 0 && v == 0) {
            c.refused = 0;
            c.fieldText = "?";
            return c;
        }
        if (v > 20) {
            c.refused = int(k);
            c.message = "Duration may not exceed 20 sec...";
            return c;
        }
        c.durations[k] = unsigned(v);
    }
    return c;
}

}  // namespace bitcal
