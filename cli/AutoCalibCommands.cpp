// calib run, calib scale, calib off: the automatic calibration of a group of
// detectors against the master at 247 for production lines and tests.
#include <cstdio>

#include "calib/AutoCalibExchanges.h"
#include "calib/AutoCalibWire.h"
#include "cli/CliCommands.h"
#include "cli/StopSignals.h"
#include "network/AddressBook.h"
#include "protocol/Transport.h"

namespace {

const char* const kIni = "Param.ini";

// Log lines and boxes on standard error as they happen; every box answered OK.
class AutoPanel : public CliPanel {
public:
    AutoPanel(std::istream& in, std::ostream& err) : CliPanel(in, err), err_(err) {}
    void addLine(int, const std::string& line) override { err_ << line << std::endl; }
    int ask(const std::string& text, const std::string& caption, unsigned flags) override {
        const int r = CliPanel::ask(text, caption, flags);
        err_.flush();
        return r;
    }

private:
    std::ostream& err_;
};

// A signal is the window's close: the procedure's next wait sees the abort.
class SignalledLink : public autocal::WireCalibLink {
public:
    explicit SignalledLink(Panel& panel) : panel_(panel) {}
    void sleep(unsigned ms) override {
        if (StopSignals::stopRequested()) panel_.requestAbort();
        WireCalibLink::sleep(ms);
    }

private:
    Panel& panel_;
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    size_t at = 0;
    for (;;) {
        const size_t comma = text.find(',', at);
        items.push_back(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos) return items;
        at = comma + 1;
    }
}

}  // namespace

int CliSession::calibAuto(const std::vector<std::string>& args) {
    const std::string& what = args[1];
    if (what == "scale" && args.size() == 2) {
        if (const auto scales = autocal::ReadScaleRecord()) {
            for (size_t k = 0; k < scales->size(); ++k) {
                char buf[40];
                std::snprintf(buf, sizeof buf, "%s%.9g", k ? "\t" : "", (*scales)[k]);
                out_ << buf;
            }
            out_ << std::endl;
            return kCliOk;
        }
        err_ << "calib scale: no scale record from address " << Wire().slave << "\n";
        return kCliFailed;
    }
    if (what == "off" && args.size() == 2) {
        const unsigned address = Wire().slave;
        autocal::WireCalibLink link;
        const bool sent = autocal::Exchanges(link, ParamKind::Ir).broadcastIterations(0);
        SelectSlave(address);
        if (!sent) err_ << "ModbusSet(mdbs, D_CALIBRATION Off...) failed...\n";
        return sent ? kCliOk : kCliFailed;
    }
    const char* usage = "calib run ir|uvir --serials LIST [--addresses A,B,..] [--retries N] | calib scale | calib off";
    if (what != "run" || args.size() < 3 || (args[2] != "ir" && args[2] != "uvir")) return usageError(usage);
    autocal::RunOptions options;
    options.kind = args[2] == "ir" ? ParamKind::Ir : ParamKind::Uvir;
    options.ini = kIni;
    std::optional<std::string> serials;
    for (size_t i = 3; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--serials" && hasValue) {
            serials = args[++i];
        } else if (args[i] == "--addresses" && hasValue) {
            for (const auto& a : SplitList(args[++i])) {
                const auto v = parseDecimal(a);
                if (!v || *v < 1 || *v > 247) return usageError("bad address '" + a + "'");
                options.addresses.push_back(static_cast<unsigned>(*v));
            }
        } else if (args[i] == "--retries" && hasValue) {
            const auto v = parseDecimal(args[++i]);
            if (!v || *v > 100) return usageError("bad retry count '" + args[i] + "' (0 to 100)");
            options.retries = static_cast<unsigned>(*v);
        } else {
            return usageError(usage);
        }
    }
    if (!serials) return usageError(usage);
    if (options.addresses.empty()) {
        Book().load(kIni);
        for (uint8_t a : Book().selected()) options.addresses.push_back(a);
    }
    if (options.addresses.empty()) options.addresses.push_back(Wire().slave);
    std::string error;
    if (const int code = autocal::PrepareRun(options, *serials, &error)) {
        err_ << (code == kCliRefused ? error : "calib run: " + error) << "\n";
        return code;
    }

    StopSignals signals;
    AutoPanel panel(panel_.input(), err_);
    SignalledLink link(panel);
    const auto result = autocal::RunAutoCalibration(panel, link, options);
    if (result.outcome == autocal::RunResult::Outcome::Refused) {
        err_ << result.refusal << "\n";
        return kCliRefused;
    }
    for (const auto& r : result.rows)
        out_ << r.address << '\t' << r.serial << '\t' << r.code << '\t' << autocal::StateName(r.state) << "\n";
    if (result.resultsWritten) out_ << "results " << options.resultsPath << std::endl;
    return autocal::RunExitCode(result);
}
