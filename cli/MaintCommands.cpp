// maint and gauges: the maintenance window's channels and BIT, and the Status
// page's three gauges, for scripts.
#include <cstdio>

#include "cli/CliCommands.h"
#include "monitor/Gauges.h"
#include "monitor/Maint.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "util/PumpWait.h"

namespace {

constexpr unsigned kMaintPeriodMs = 50, kGaugePeriodMs = 100;
// A BIT that neither starts nor ends: the detector never reaches 'M' or 'N'.
constexpr unsigned long long kBitGiveUpMs = 20000;

struct Options {
    unsigned long count = 1;
    std::array<size_t, 5> channels = maint::kDefaultChannels;
    bool us = false, bit = false;
};

// Flags and "--name value" pairs; false on anything unknown or malformed.
bool parse(const std::vector<std::string>& args, bool maintOptions, Options& o) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (maintOptions && a == "--bit") {
            o.bit = true;
            continue;
        }
        if (i + 1 >= args.size()) return false;
        const std::string& v = args[++i];
        if (a == "--units" && v == "us") {
            o.us = true;
        } else if (a == "--count") {
            const auto n = parseDecimal(v);
            if (!n || *n == 0) return false;
            o.count = *n;
        } else if (maintOptions && a == "--channels") {
            size_t k = 0, at = 0;
            for (; k < 5 && at <= v.size(); ++k) {
                const size_t comma = std::min(v.find(',', at), v.size());
                const auto c = parseDecimal(v.substr(at, comma - at));
                if (!c || *c >= live::kChannels) return false;
                o.channels[k] = *c;
                at = comma + 1;
            }
            if (k != 5 || at != v.size() + 1) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::string unpadded(double value) {
    std::string t = maint::Shown(value);
    return t.substr(std::min(t.find_first_not_of(' '), t.size()));
}

}  // namespace

int CliSession::maint(const std::vector<std::string>& args) {
    Options o;
    if (!parse(args, true, o)) return usageError("maint [--count N] [--channels I,J,K,L,M] [--units us] [--bit]");
    std::lock_guard lock(LinkLock());
    maint::BitRun bit;
    const unsigned long long start = TickMs();
    if (o.bit) {
        bit.request(start);
        maint::SendManualBit();
        bit.sent();
    }
    bool lastGood = false;
    int failures = 0;
    for (unsigned long i = 0; o.bit ? bit.running() : i < o.count; ++i) {
        if (i) PumpWait(kMaintPeriodMs);
        const auto r = maint::ReadLiveRecord();
        lastGood = r.has_value();
        if (!r) {
            out_ << "address=" << Wire().slave << " failed" << std::endl;
            if (o.bit && ++failures >= 3) {
                bit.close();
                err_ << "maint: the detector stopped answering during the BIT\n";
                return kCliFailed;
            }
            continue;
        }
        failures = 0;
        const maint::Variant v = maint::VariantOf(*r);
        char mode = r->mode();
        if (mode >= 'a' && mode <= 'z') mode = static_cast<char>(mode - 'a' + 'A');
        out_ << "address=" << unsigned{r->address()} << " serial=" << r->serial() << " status=" << mode
             << unsigned{r->state()};
        for (size_t c : o.channels)
            out_ << ' ' << maint::ChannelNames(v)[c] << '=' << unpadded(maint::ChannelValue(*r, c, v, o.us));
        out_ << std::endl;
        if (!o.bit) continue;
        const auto step = bit.onRecord(*r, TickMs());
        if (step == maint::BitRun::Step::FileFailed) {
            err_ << "maint: " << bit.path() << " could not be created or written\n";
            return kCliRefused;
        }
        if (step == maint::BitRun::Step::NotStarted) {
            err_ << "maint: the BIT did not start within " << maint::BitRun::kStartLimitMs << " ms\n";
            return kCliFailed;
        }
        if (step == maint::BitRun::Step::Finished || step == maint::BitRun::Step::Cut) {
            for (const std::string& l : maint::SummaryLines(bit.resultSums())) out_ << l << "\n";
            out_.flush();
            if (step == maint::BitRun::Step::Finished) return kCliOk;
            err_ << "maint: the BIT log was cut at " << maint::BitRun::kMaxRecords << " records\n";
            return kCliFailed;
        }
        if (bit.state() == maint::BitRun::kWaiting && TickMs() - start > kBitGiveUpMs) {
            bit.close();
            err_ << "maint: the BIT did not start\n";
            return kCliFailed;
        }
    }
    return lastGood ? kCliOk : kCliFailed;
}

int CliSession::gauges(const std::vector<std::string>& args) {
    Options o;
    if (!parse(args, false, o)) return usageError("gauges [--count N] [--units us]");
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    bool lastGood = false;
    for (unsigned long i = 0; i < o.count; ++i) {
        if (i) PumpWait(kGaugePeriodMs);
        std::vector<uint8_t> frame(info.responseSize);
        const int r =
            ModbusGet(0, D_DATA2HOST, Wire().ctx, frame.data(), info.responseSize, info.waitMs, info.timeoutMs);
        const auto s = r == static_cast<int>(frame.size()) ? DecodeStatus(frame) : std::nullopt;
        lastGood = s.has_value();
        const double values[] = {s ? s->voltage : 0, s ? gauge::GaugeTemperature(s->temperature, o.us) : 0,
                                 s ? s->milliamps() : 0};
        const char* const names[] = {"vin", "temp", "ma"};
        for (int k = 0; k < 3; ++k) {
            const auto g = gauge::Classify(k, values[k], lastGood, o.us);
            out_ << (k ? " " : "") << names[k] << '=' << g.text << '/' << gauge::ColourName(g.colour);
        }
        out_ << std::endl;
    }
    return lastGood ? kCliOk : kCliFailed;
}
