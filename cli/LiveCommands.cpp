// wexcon-cli live: the live data window's poll, printed and recorded.
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>

#include "cli/CliCommands.h"
#include "cli/StopSignals.h"
#include "monitor/LivePoll.h"
#include "protocol/Transport.h"
#include "util/PumpWait.h"

namespace {

struct LiveArgs {
    std::vector<uint8_t> addresses;
    unsigned long count = 1, seconds = 0, period = 50;
    bool countGiven = false, csv = false, gradAlarm = false;
    LogOptions log;
    unsigned recordMs = 0;
    std::string comment;
};

std::optional<unsigned> RecordPeriod(const std::string& mode) {
    if (mode == "fast") return recperiod::Fast;
    if (mode == "1.5s") return recperiod::OnePointFive;
    if (mode == "minute") return recperiod::Minute;
    if (mode == "15min") return recperiod::Quarter;
    return std::nullopt;
}

// The error text or "" when the arguments hold.
std::string ParseLive(const std::vector<std::string>& args, LiveArgs& a) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--csv") a.csv = true;
        else if (name == "--extended") a.log.extended = true;
        else if (name == "--gradalarm") a.gradAlarm = true;
        else if (i + 1 >= args.size()) return "unknown option or missing value: " + name;
        else {
            const std::string& value = args[++i];
            const auto number = parseDecimal(value);
            if (name == "--addresses") {
                const auto list = parseAddressList(value);
                if (!list) return "bad address list '" + value + "' (1 to 247, comma separated)";
                a.addresses = *list;
            } else if (name == "--units") {
                if (value != "us" && value != "metric") return "bad units '" + value + "'";
                a.log.usUnits = value == "us";
            } else if (name == "--record") {
                const auto ms = RecordPeriod(value);
                if (!ms) return "bad recording mode '" + value + "' (fast, 1.5s, minute or 15min)";
                a.recordMs = *ms;
            } else if (name == "--comment") {
                a.comment = value.substr(0, 259);
            } else if (!number || (name != "--count" && name != "--seconds" && name != "--period")) {
                return "bad option " + name + " " + value;
            } else if (name == "--count") {
                a.count = *number;
                a.countGiven = true;
            } else {
                (name == "--seconds" ? a.seconds : a.period) = *number;
            }
        }
    }
    if (a.seconds && !a.countGiven) a.count = 0;
    return "";
}

}  // namespace

int CliSession::live(const std::vector<std::string>& args) {
    LiveArgs a;
    if (const std::string error = ParseLive(args, a); !error.empty())
        return usageError(error +
                          "\nlive [--addresses A,B,..] [--count N] [--seconds S] [--period MS] [--csv] [--extended] "
                          "[--gradalarm] [--units us] [--record fast|1.5s|minute|15min] [--comment TEXT]");
    if (a.addresses.empty()) a.addresses = {static_cast<uint8_t>(Wire().slave)};

    LivePoll::Options options;
    options.selection = [list = a.addresses] { return list; };
    LivePoll poll(options);
    poll.setGradAlarm(a.gradAlarm);
    std::shared_ptr<Recorder> recorder;
    if (a.recordMs) {
        RecorderOptions ro;
        ro.log = a.log;
        recorder = std::make_shared<Recorder>(ro);
        recorder->insertComment(a.comment, LogFamily::Ir);
    }
    if (a.log.extended) poll.attachFailReasons(std::make_shared<FailReasons>());

    StopSignals signals;
    const auto started = std::chrono::steady_clock::now();
    const auto timeUp = [&] {
        return a.seconds && std::chrono::steady_clock::now() - started >= std::chrono::seconds(a.seconds);
    };
    std::vector<std::string> shownColumns;
    std::string failedFile;
    bool answered = false;
    for (unsigned long i = 0; (a.count == 0 || i < a.count) && !StopSignals::stopRequested() && !timeUp(); ++i) {
        if (i) PumpWait(static_cast<unsigned>(a.period));
        if (StopSignals::stopRequested()) break;
        const LiveStep step = poll.tick();
        if (!step.record) {
            out_ << "Address=" << step.address << " Failed=" << step.result << std::endl;
            continue;
        }
        answered = true;
        const LiveRecord& r = *step.record;
        // The run's period starts with its first record, whose family names the first log.
        if (recorder && !recorder->on() && recorder->errorFile().empty()) {
            recorder->start(a.recordMs, FamilyOf(r), r.alternateSensor());
            poll.attachRecorder(recorder);
        }
        auto columns = LogColumns(FamilyOf(r), a.log, r.alternateSensor());
        auto values = LogValues(r, a.log, LocalNow(), 0);
        if (a.log.extended) {
            columns.erase(columns.begin());
            values.erase(values.begin());
        }
        for (auto& c : columns) c = ColumnName(c);
        const char* gap = a.csv ? "," : " ";
        if (a.csv && columns != shownColumns) {
            for (size_t c = 0; c < columns.size(); ++c) out_ << (c ? gap : "") << columns[c];
            out_ << "\n";
            shownColumns = columns;
        }
        for (size_t c = 0; c < values.size(); ++c)
            out_ << (c ? gap : "") << (a.csv ? "" : columns[c] + "=") << values[c];
        out_ << std::endl;
        failedFile = !step.errorFile.empty() ? step.errorFile : recorder ? recorder->errorFile() : "";
        if (!failedFile.empty()) break;
    }
    if (recorder && !recorder->stop() && failedFile.empty()) failedFile = recorder->errorFile();
    if (!failedFile.empty()) {
        err_ << "wexcon-cli: '" << failedFile << "' could not be created or written\n";
        return kCliRefused;
    }
    return answered ? kCliOk : kCliFailed;
}
