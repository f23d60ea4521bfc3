// wexcon-cli calib ir-bit / uv-bit: the BIT calibration windows' run, for
// scripts: both sets, the ratio test, and with --burn the parameter view's
// verified write of the thresholds.
#include <algorithm>
#include <cstdio>

#include "calib/BitWire.h"
#include "cli/CliCommands.h"
#include "cli/StopSignals.h"
#include "config/ParamSession.h"
#include "protocol/Transport.h"
#include "util/PumpWait.h"

namespace {

constexpr unsigned kTickMs = 100;
constexpr unsigned kMaxDuration = 20;
const char* const kBitUsage = "calib ir-bit [--burn] | calib uv-bit --durations D1[,D2[,D3]] [--burn]";

struct BitArgs {
    bitcal::Kind kind = bitcal::Kind::Ir;
    std::array<unsigned, 3> durations{};
    bool burn = false;
};

// The window's duration fields: a refusal's text, or nothing when all fit.
std::optional<std::string> parseDurations(const std::string& text, std::array<unsigned, 3>& out) {
    size_t at = 0;
    for (size_t k = 0; at <= text.size(); ++k) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const auto d = parseDecimal(text.substr(at, comma - at));
        if (k >= 3 || !d) return "BIT durations are whole seconds, at most three: " + text;
        if (*d > kMaxDuration) return std::string("Duration may not exceed 20 sec...");
        out[k] = static_cast<unsigned>(*d);
        at = comma + 1;
    }
    if (out[0] == 0) return std::string("The first BIT duration must be above 0");
    return std::nullopt;
}

// Saturated, so that a threshold too large for any field reaches the view's
// range check instead of an undefined conversion.
unsigned long long cellValue(double v) { return static_cast<unsigned long long>(std::min(v + 0.5, 1e18)); }

}  // namespace

int CliSession::calibBitArgs(const std::vector<std::string>& args) {
    BitArgs a;
    if (args.size() < 2 || (args[1] != "ir-bit" && args[1] != "uv-bit")) return usageError(kBitUsage);
    a.kind = args[1] == "ir-bit" ? bitcal::Kind::Ir : bitcal::Kind::Uv;
    bool durationsGiven = false;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--burn") {
            a.burn = true;
        } else if (args[i] == "--durations" && a.kind == bitcal::Kind::Uv && i + 1 < args.size()) {
            if (const auto refused = parseDurations(args[++i], a.durations)) return usageError(*refused);
            durationsGiven = true;
        } else {
            return usageError(kBitUsage);
        }
    }
    if (a.kind == bitcal::Kind::Uv && !durationsGiven) return usageError(kBitUsage);
    std::lock_guard lock(LinkLock());
    return calibBit(a.kind, a.durations, a.burn);
}

int CliSession::calibBit(bitcal::Kind kind, const std::array<unsigned, 3>& durations, bool burn) {
    const bool uv = kind == bitcal::Kind::Uv;
    StopSignals signals;
    bitcal::WireBitLink link;
    const auto first = link.read();
    if (!first) {
        err_ << "calib: no live record from address " << Wire().slave << "\n";
        return kCliFailed;
    }
    if (!uv && first->uvirModel()) {
        err_ << "calib ir-bit: address " << Wire().slave << " is a UV/IR model; nothing sent\n";
        return kCliRefused;
    }

    bitcal::BitSet::Config config{kind, durations, 0};
    // The UV mode is left on every way out, the detector's BIT as it was.
    struct Leave {
        std::ostream& err;
        bool entered = false;
        ~Leave() {
            if (entered && !bitcal::SetUvBitCalibration(false)) err << "Exiting UV BIT Calibration Mode - FAILED\n";
        }
    } leave{err_};
    if (uv) {
        const auto post = bitcal::ReadPostManbit();
        if (!post) {
            err_ << "Failed geting SETUP\r\nExiting dialog\n";
            return kCliFailed;
        }
        config.postManbit = *post;
        if (!bitcal::SetUvBitCalibration(true)) {
            err_ << "Entering UV BIT Calibration Mode - FAILED\n";
            return kCliFailed;
        }
        leave.entered = true;
        err_ << "UV BIT Calibration Mode entered\n";
    }

    bitcal::BitSet set(panel_, link, config);
    std::optional<long> averages[2];
    for (const auto which : {bitcal::BitSet::Which::Dark, bitcal::BitSet::Which::Bright}) {
        const bool dark = which == bitcal::BitSet::Which::Dark;
        const char* name = dark ? "dark" : "bright";
        if (!dark) {
            err_ << "Uncover Lens\r\nBright BIT - GO\n" << std::flush;
            if (WaitForInput(panel_.input()) != InputWait::Ready || !panel_.answerLine()) {
                err_ << "calib: cancelled\n";
                return kCliFailed;
            }
        }
        set.start(which);
        for (bitcal::BitSet::Tick t = bitcal::BitSet::Tick::Running; t != bitcal::BitSet::Tick::Done;) {
            if (StopSignals::stopRequested()) {
                set.abort();
                err_ << "calib: aborted\n";
                return kCliFailed;
            }
            const unsigned long long t0 = TickMs();
            const int loop = set.counter();
            t = set.tick();
            if (set.counter() != loop)
                out_ << name << '_' << loop % 3 + 1 << '=' << set.readings()[size_t(loop % 3)] << std::endl;
            if (t == bitcal::BitSet::Tick::Failed || t == bitcal::BitSet::Tick::UvFault) {
                err_ << set.error() << "\n";
                return kCliFailed;
            }
            const unsigned long long spent = TickMs() - t0;
            if (t == bitcal::BitSet::Tick::Running && spent < kTickMs) PumpWait(unsigned(kTickMs - spent));
        }
        averages[dark ? 0 : 1] = set.average();
        out_ << name << "_avg=" << (set.average() ? std::to_string(*set.average()) : "") << std::endl;
    }

    const bitcal::Params params = bitcal::ReadParams(kind);
    const float darkAvg = float(averages[0].value_or(0)), brightAvg = float(averages[1].value_or(0));
    const bitcal::RatioResult ratio = bitcal::RatioTest(kind, brightAvg, darkAvg, params.p[0]);
    out_ << ratio.line << std::endl;
    if (!ratio.pass) {
        err_ << "Cannot proceed\r\nBad Bright/Dark ratio(s)...\n";
        return kCliRefused;
    }
    char q[32];
    std::snprintf(q, sizeof q, "%.1f", double(set.qtemp()));
    out_ << "qtemp=" << q << std::endl;

    // The values as the parameter view's cells take them, in the order printed.
    std::vector<std::pair<const char*, unsigned long long>> values;
    std::string error;
    if (uv) {
        const auto t = bitcal::UvThresholds(params, darkAvg, brightAvg, set.qtemp(), &error);
        if (t) values = {{"UV_BIT_Duration", t->duration}, {"UVBIT_Thr", t->threshold}};
    } else if (const auto v = bitcal::IrThreshold(params, darkAvg, set.qtemp(), &error)) {
        values = {{"manbit", cellValue(*v)}, {"autobit", cellValue(*v)}};
    }
    if (values.empty()) {
        err_ << error << "\n";
        return kCliRefused;
    }
    for (const auto& [key, v] : values) out_ << key << '=' << v << std::endl;
    if (!burn) return kCliOk;
    // The detector's values after a read-back that differs, the threshold first.
    static const std::vector<const char*> kNow[2] = {{"manbit", "autobit"}, {"UVBIT_Thr", "UV_BIT_Duration"}};
    return burnCalibration(uv ? ParamKind::Uvir : ParamKind::Ir, values, kNow[uv]);
}
