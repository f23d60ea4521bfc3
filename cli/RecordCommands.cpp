// wexcon-cli record stream|pull: the two ADC recording windows from a shell.
#include <chrono>
#include <memory>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/StopSignals.h"
#include "monitor/AdcRecording.h"
#include "protocol/Transport.h"
#include "util/PumpWait.h"

namespace {

// The window's status line on standard error, a line per text; the
// counters each tick shows go to standard output once, at the end.
class RecordPanel : public CliPanel {
public:
    explicit RecordPanel(std::ostream& err) : CliPanel(std::cin, err), err_(err) {}
    void setText(int id, const std::string& text) override {
        CliPanel::setText(id, text);
        if (id != adcwin::kStatus || text.rfind("Current blk", 0) == 0) return;
        std::string line;
        for (char c : text)
            if (c != '\r') line += c == '\n' ? ' ' : c;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        err_ << line << "\n";
    }

private:
    std::ostream& err_;
};

struct RecordArgs {
    bool stream = true;
    std::string name, comment;
    unsigned rate = 1;
    unsigned long seconds = 0;  // 0: until SIGINT or SIGTERM
};

std::string ParseRecord(const std::vector<std::string>& args, RecordArgs& a) {
    if (args.size() < 3 || (args[1] != "stream" && args[1] != "pull"))
        return "record stream|pull NAME [--rate 2300|100] [--seconds S] [--comment TEXT]";
    a.stream = args[1] == "stream";
    a.name = args[2];
    if (a.name.empty() || a.name.find('/') != std::string::npos) return "bad recording name '" + a.name + "'";
    for (size_t i = 3; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return "missing value for " + args[i];
        const std::string& value = args[i + 1];
        const auto number = parseDecimal(value);
        if (args[i] == "--rate" && a.stream && number && (*number == 2300 || *number == 100))
            a.rate = *number == 100 ? 2 : 1;
        else if (args[i] == "--seconds" && number && *number > 0)
            a.seconds = *number;
        else if (args[i] == "--comment")
            a.comment = value;
        else
            return "bad option " + args[i] + " " + value;
    }
    return "";
}

}  // namespace

int CliSession::record(const std::vector<std::string>& args) {
    RecordArgs a;
    if (const std::string bad = ParseRecord(args, a); !bad.empty()) return usageError(bad);
    auto panel = std::make_shared<RecordPanel>(err_);
    RecordingOptions files;
    files.samplePath = a.stream ? RecordingPath(a.name, ".bin") : RecordingPath(a.name, ".100", true);
    files.comment = a.comment;
    std::unique_ptr<AdcRecording> rec;
    StreamRecording* stream = nullptr;
    // A signal cuts the start's looks short; the stop and the way back to
    // 9600 baud still run, and are not cut short: the detector must not be
    // left streaming or at a high speed.
    AdcHooks hooks;
    hooks.stopping = &StopSignals::stopRequested;
    if (a.stream) {
        auto s = std::make_unique<StreamRecording>(panel, files, a.rate, hooks);
        stream = s.get();
        rec = std::move(s);
    } else {
        rec = std::make_unique<PullRecording>(panel, files, hooks);
    }
    StopSignals signals;
    if (!rec->createFile()) return kCliUsage;
    const auto who = ReadRecordedDetector();
    if (!who) {
        err_ << "no live data answer from address " << Wire().slave << "\n";
        return kCliFailed;
    }
    rec->setDetector(*who);

    int status = kCliOk;
    if (StopSignals::stopRequested()) {
        // Stopped before anything was started: nothing more to do.
    } else if (!rec->start()) {
        if (!StopSignals::stopRequested()) status = kCliFailed;
    } else {
        // Ticks keep their period from the start; one that comes while the
        // last still runs is left out.
        const auto period = std::chrono::milliseconds(a.stream ? 100 : 490);
        auto next = std::chrono::steady_clock::now();
        const unsigned long long end = rec->startedMs() + a.seconds * 1000;
        while (!StopSignals::stopRequested() && (a.seconds == 0 || TickMs() < end)) {
            next += period;
            const auto now = std::chrono::steady_clock::now();
            if (next > now) std::this_thread::sleep_for(next - now);
            else while (next + period <= now) next += period;
            if (!rec->tick()) {
                status = kCliFailed;
                break;
            }
        }
    }
    const bool stopped = rec->stop();
    if (LinkBaud() != 9600 && !SwitchBaudProved(9600)) {
        err_ << "Switching back to 9600 baud failed\n";
        if (status == kCliOk) status = kCliFailed;
    }
    if (!stopped && status == kCliOk) status = kCliFailed;
    // A file not written (named on stderr by its "Error" text) outweighs the rest.
    if (!rec->files().errorFile().empty()) status = kCliUsage;

    const RecordingCounters& c = rec->files().counters();
    out_ << "file " << rec->files().samplePath() << "\nlog " << rec->files().logPath() << "\nblocks " << c.blocks
         << "\nskipped " << c.skipped << "\nbytes " << c.bytes << "\nretrain " << (stream ? stream->counts().retrain : 0)
         << "\nlost " << (stream ? stream->counts().lost : 0) << "\nstop " << (stopped ? "ok" : "failed") << "\n";
    return status;
}
