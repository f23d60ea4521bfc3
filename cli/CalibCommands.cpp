// calib dci and calib 420: the DCI and 4-20 mA calibrations for scripts and
// the bench, the technician's answers on standard input.
#include <algorithm>
#include <cstdio>
#include <mutex>

#include "calib/Calib420.h"
#include "calib/DciCalibration.h"
#include "calib/DciPoll.h"
#include "cli/CliCommands.h"
#include "cli/StopSignals.h"
#include "config/ParamSession.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/ParamRecord.h"
#include "util/Log.h"
#include "util/Profile.h"
#include "util/PumpWait.h"

namespace {

constexpr unsigned kDciPeriodMs = 100;
const char* const kIni = "Param.ini";

std::string Fixed1(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// The 4-20 window on the command line: its progress list on standard output,
// the restart question answered by the next line ("yes" restarts), other
// boxes shown on standard error.
class Calib420Panel : public CliPanel {
public:
    Calib420Panel(std::istream& in, std::ostream& out, std::ostream& err) : CliPanel(in, err), out_(out), err_(err) {
        askEveryLine(true);
    }
    void addLine(int, const std::string& line) override { out_ << line << std::endl; }
    int ask(const std::string& text, const std::string& caption, unsigned flags) override {
        CliPanel::ask(text, caption, MB_OK);
        if ((flags & 0xF) != MB_YESNO) return IDOK;
        std::string line;
        const bool yes = !timedOut && WaitForInput(input()) == InputWait::Ready && std::getline(input(), line) &&
                         (line == "yes" || line == "yes\r");
        if (!yes) err_ << "No\n";
        return yes ? IDYES : IDNO;
    }
    bool timedOut = false;  // the questions after the idle time-out or a stop signal are answered No

private:
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace

int CliSession::calib(const std::vector<std::string>& args) {
    if (inScript_) return usageError("calib cannot run inside run");
    if (args.size() >= 2 && args[1] == "dci") return calibDci(args);
    if (args.size() == 2 && args[1] == "420") return calib420();
    if (args.size() >= 2 && (args[1] == "ir-bit" || args[1] == "uv-bit")) return calibBitArgs(args);
    if (args.size() >= 2 && (args[1] == "run" || args[1] == "scale" || args[1] == "off")) return calibAuto(args);
    return usageError("calib ir-bit [--burn] | calib uv-bit --durations D1[,D2[,D3]] [--burn] | "
                      "calib dci [--seconds S] [--master] [--burn] | calib 420 | "
                      "calib run ir|uvir --serials LIST [--addresses A,B,..] [--retries N] | calib scale | calib off");
}

int CliSession::calibDci(const std::vector<std::string>& args) {
    bool master = false, burn = false;
    std::optional<unsigned long> seconds;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--master") master = true;
        else if (args[i] == "--burn") burn = true;
        else if (args[i] == "--seconds" && i + 1 < args.size() && (seconds = parseDecimal(args[++i])) && *seconds > 0)
            continue;
        else return usageError("calib dci [--seconds S] [--master] [--burn]");
    }
    if (!seconds) seconds = static_cast<unsigned long>(
        std::max(1, ProfileGetInt(kIni, "Calibration", "DCI_AveragingSec", static_cast<int>(dci::kDefaultSeconds))));
    const unsigned address = Wire().slave;
    if (!master && (address == 0 || address > 247)) {
        err_ << "Warning: The current address " << address << " is out of range; should be in the range [1 - 247]...\n";
        return kCliUsage;
    }
    dci::Run run(dci::ClampSeconds(*seconds));
    StopSignals signals;
    {
        std::lock_guard lock(LinkLock());
        if (master) DebugLog(SelectSlave(0) ? "modbus_set_slave(Master) success." : "modbus_set_slave(Master) failure...");
        bool told = false;
        for (;;) {
            if (StopSignals::stopRequested()) {
                DebugLog("Calibration: Learning the background aborted");
                err_ << "calib: aborted\n";
                return kCliFailed;
            }
            const unsigned long long t0 = TickMs();
            const auto r = dci::ReadWithTries();
            if (r && Wire().slave == 0) {
                const unsigned a = r->address();
                DebugLog(SelectSlave(a) ? "modbus_set_slave(%u) success." : "modbus_set_slave(%u) failure...", a);
            }
            if (r && !told) {
                out_ << "address=" << unsigned{r->address()} << std::endl;
                told = true;
            }
            const auto step = run.onRead(r, TickMs());
            if (step == dci::Run::Step::Unresponsive) {
                err_ << "Error: Detector unresponsive - aborting calibration...\n";
                return kCliFailed;
            }
            if (step == dci::Run::Step::Done) break;
            if (!run.averaging() && run.canStart()) {
                DebugLog("Calibration: Started learning the background");
                run.start(TickMs());
            }
            const unsigned long long spent = TickMs() - t0;
            if (spent < kDciPeriodMs) PumpWait(static_cast<unsigned>(kDciPeriodMs - spent));
        }
    }
    DebugLog("DCI Calibration: Accumulating sums concluded");
    const auto avg = run.sums().averages();
    out_ << "reads=" << run.sums().n << "\n"
         << "avg45=" << Fixed1(avg[0]) << "\navg5=" << Fixed1(avg[1]) << "\navg4=" << Fixed1(avg[2])
         << "\navg44=" << Fixed1(avg[3]) << std::endl;
    const std::string printed = dci::FactorText(run.sums().factor());
    out_ << "factor=" << (printed.empty() ? "-" : printed) << std::endl;
    const dci::Verdict verdict = dci::Judge(printed);
    out_ << "verdict=" << dci::VerdictName(verdict) << std::endl;
    err_ << "Accumulating sums done: " << dci::VerdictText(verdict) << "\n";
    if (verdict == dci::Verdict::NotPermitted) return kCliRefused;
    if (verdict == dci::Verdict::Unnecessary) return kCliOk;
    const uint8_t amplification = dci::Amplification(printed);
    out_ << "amplify44=" << unsigned{amplification} << std::endl;
    if (!burn) return kCliOk;

    DebugLog("Calibration: Get 'param' from master/slave %u", Wire().slave);
    return burnCalibration(ParamKind::Ir, {{"amplify44", amplification}}, {"amplify44"});
}

int CliSession::burnCalibration(ParamKind expected, const std::vector<std::pair<const char*, unsigned long long>>& values,
                                const std::vector<const char*>& nowKeys) {
    auto read = readParams();
    if (!read) return kCliFailed;
    const unsigned long long readAt = TickMs();
    if (read->kind() != expected) {
        err_ << "calib: the detector sent the record of another detector type; nothing sent\n";
        return kCliFailed;
    }
    ParamRecord working = *read;
    for (const auto& [key, v] : values)
        if (!working.setValue(key, 0, double(v))) {
            err_ << "calib: " << key << '=' << v << " does not fit its field; nothing sent\n";
            return kCliRefused;
        }
    panel_.newCommand();
    const WriteOutcome outcome = WriteParams(panel_, working, readAt);
    switch (outcome.result) {
        case ParamWriteResult::Verified:
            out_ << "Parameters verified" << std::endl;
            return kCliOk;
        case ParamWriteResult::TooLate:
        case ParamWriteResult::CheckFailed:
            return kCliRefused;
        case ParamWriteResult::NotElevated:
            err_ << "calib: not elevated to ADMIN; nothing sent\n";
            return kCliFailed;
        case ParamWriteResult::SendFailed:
            return kCliFailed;
        case ParamWriteResult::VerifyFailed:
            break;
    }
    const auto now = outcome.firstDifference >= 0 ? readParams() : std::nullopt;
    if (!now) {
        err_ << "calib: the record could not be read back\n";
        return kCliFailed;
    }
    out_ << "now";
    for (const char* key : nowKeys)
        out_ << ' ' << key << '=' << static_cast<unsigned long long>(std::min(now->value(key).value_or(0) + 0.5, 1e18));
    out_ << std::endl;
    return kCliUnverified;
}

int CliSession::calib420() {
    const auto setup = c420::ReadSetup();
    if (!setup) {
        err_ << "calib: the detector did not give its setup record\n";
        return kCliFailed;
    }
    c420::Session::Options options;
    options.check = ProfileGetInt(kIni, "VantorD", "fCheck", 1) != 0;
    options.idleSeconds = static_cast<unsigned>(
        std::max(1, ProfileGetInt(kIni, "VantorD", "420_calib_auto_exit_timeout_sec", c420::kDefaultIdleSeconds)));
    Calib420Panel panel(panel_.input(), out_, err_);
    c420::Session session(panel, c420::LinkWire(), setup->LockState == 1, options, [] { return TickMs(); });
    StopSignals signals;
    bool burned = false, stopped = false;
    std::optional<c420::Session::Result> lastBurn;
    std::string line;
    for (;;) {
        panel.newCommand();
        const InputWait waited = WaitForInput(panel.input(), [&] {
            session.tick();
            return !session.idleExpired();
        });
        if (waited == InputWait::Stopped) {
            stopped = panel.timedOut = true;
            session.close(false);
            break;
        }
        if (waited == InputWait::GaveUp || session.idleExpired()) {
            panel.timedOut = true;
            session.close(true);
            break;
        }
        if (!std::getline(panel.input(), line)) {
            session.close(false);
            break;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        session.touch();
        if (line == "set 4" || line == "set 20") {
            session.choose(line == "set 4" ? 4 : 20);
            session.set();
        } else if (line.rfind("apply ", 0) == 0) {
            session.apply(line.substr(6));
        } else if (line == "burn") {
            lastBurn = session.burn();
            if (*lastBurn == c420::Session::Result::Done) {
                burned = true;
                break;
            }
        } else if (line == "quit") {
            session.close(false);
            break;
        } else {
            err_ << "calib: unknown action '" << line << "' (set 4, set 20, apply READING, burn, quit)\n";
        }
    }
    if (burned) return session.stopAcknowledged() ? kCliOk : kCliFailed;
    if (stopped) return kCliFailed;
    const bool hostRefused = lastBurn && (*lastBurn == c420::Session::Result::Incomplete ||
                                          *lastBurn == c420::Session::Result::OutOfRange);
    return hostRefused ? kCliRefused : kCliFailed;
}
