#include "calib/AutoCalibSettings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "util/Profile.h"

namespace autocal {

namespace {
// Frame offsets of data 20, 28, 24 and 32.
constexpr size_t kData20 = 35, kData24 = 39, kData28 = 43, kData32 = 47;
const Family kIr{ParamKind::Ir, "ir", "Calibration", 10, 4, {kData20, kData28, kData24, kData32}};
const Family kUvir{ParamKind::Uvir, "uvir", "UVIR_Calibration", 3, 3, {kData20, kData28, kData24, 0}};

double ToleranceKey(const std::string& ini, const char* section, const std::string& key) {
    const std::string v = ProfileGetString(ini, section, key, "N/A");
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    return v == "N/A" || end == v.c_str() ? -1.0 : d;
}
}  // namespace

const Family& FamilyOf(ParamKind kind) { return kind == ParamKind::Ir ? kIr : kUvir; }

unsigned IterationsRule(long long value) { return value < 1 ? 20 : value > 1000 ? 1000 : static_cast<unsigned>(value); }

unsigned ShutterWaitMs(long long value) {
    if (value < 0) return 0;
    return value <= 60 ? static_cast<unsigned>(value) * 1000 : static_cast<unsigned>(std::min(value, 3'600'000LL));
}

Settings LoadSettings(const Family& f, const std::string& ini) {
    Settings s;
    s.stabilizationSec = static_cast<unsigned>(std::max(0, ProfileGetInt(ini, "Calibrate", "WaitForSensorStabilization", 4)));
    s.iterations = IterationsRule(ProfileGetInt(ini, f.section, "num_iter", 200));
    s.learnSec = std::min<unsigned>(kMaxLearnSec, static_cast<unsigned>(std::max(0, ProfileGetInt(ini, f.section, "LearnBGsec", 60))));
    s.bands.assign(f.quantities, Band{});
    for (unsigned k = 0; k < f.quantities; ++k) {
        if (!f.banded(k)) continue;
        const std::string hiKey = "tol" + std::to_string(k + 1), loKey = "tol_" + std::to_string(k + 1);
        Band& b = s.bands[k];
        b.hi = ToleranceKey(ini, f.section, hiKey);
        b.lo = ToleranceKey(ini, f.section, loKey);
        if (b.hi < 1.0 || b.hi > 9.9) {
            b.hi = 9.9;
            ProfileWriteString(ini, f.section, hiKey, "9.9");
        }
        if (b.lo < 0.0 || b.lo > 0.9) {
            b.lo = 0.0;
            ProfileWriteString(ini, f.section, loKey, "0.0");
        }
    }
    const std::string thresh = ProfileGetString(ini, f.section, "sum_thresh", "10.0");
    char* end = nullptr;
    const double t = std::strtod(thresh.c_str(), &end);
    s.sumThresh = end == thresh.c_str() ? 10.0 : t;
    s.autoShutter = ProfileGetInt(ini, "Calibrate", "fAutoShutter", 0) != 0;
    s.shutterOpen = ProfileGetString(ini, "Calibrate", "szShutterOpen", "");
    s.shutterClose = ProfileGetString(ini, "Calibrate", "szShutterClose", "");
    s.shutterWaitMs = ShutterWaitMs(ProfileGetInt(ini, "Calibrate", "WaitForShutterCloseSec", 5));
    if (f.kind == ParamKind::Uvir) {
        s.minUvSumIter0 = static_cast<unsigned>(std::max(0, ProfileGetInt(ini, f.section, "min_UV_Sum_Iter0", 50)));
        s.uvSumThr = static_cast<unsigned>(std::max(0, ProfileGetInt(ini, f.section, "UV_Sum_Thr", 25)));
    }
    return s;
}

void BurnBands(const Family& f, std::vector<Band>& bands) {
    for (unsigned k = 0; k < bands.size(); ++k) {
        if (!f.banded(k)) continue;
        if (bands[k].lo < 0.0 || bands[k].lo > 0.9) bands[k].lo = 0.0;
        if (bands[k].hi < 1.1 || bands[k].hi > 9.9) bands[k].hi = 2.0;
    }
}

std::string ScannedLabel(const std::string& text) {
    if (text.rfind("PN=", 0) != 0) return text;
    size_t at = text.find(';');
    std::string sn;
    for (const char* key : {"VENDOR=", "COO=", "SN="}) {
        const std::string k = key;
        if (at == std::string::npos || text.compare(at + 1, k.size(), k) != 0) return text;
        const size_t from = at + 1 + k.size();
        at = text.find(';', from);
        if (at == std::string::npos) return text;
        sn = text.substr(from, at - from);
    }
    std::string digits;
    for (char c : sn)
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
    return digits;
}

std::optional<uint32_t> SerialNumber(const std::string& field) {
    if (field.empty() || field.size() > 10) return std::nullopt;
    for (char c : field)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const unsigned long long v = std::strtoull(field.c_str(), nullptr, 10);
    if (v == 0 || v > 4294967294ULL) return std::nullopt;
    return static_cast<uint32_t>(v);
}

}  // namespace autocal
