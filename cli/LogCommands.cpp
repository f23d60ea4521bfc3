// wexcon-cli log info and log download: the Logfile page's information
// request and its Get / Get All, the list's rows on standard output.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/CliCommands.h"
#include "firmware/LogDownload.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/WholeFile.h"

namespace {

constexpr unsigned kDefaultCount = 20;

// The log lines of the download on standard error while it runs.
class LogToStderr {
public:
    explicit LogToStderr(std::ostream& err) {
        logs::attachLists([&err](const std::string& line) { err << line << (line.ends_with('\n') ? "" : "\n"); }, {});
    }
    ~LogToStderr() { logs::detachLists(); }
};

}  // namespace

int CliSession::logCommand(const std::vector<std::string>& args) {
    const char* usage = "log info | log download [FILE] [--count N] [--from P | --all] [--fahrenheit]";
    if (args.size() == 2 && args[1] == "info") {
        int error = 0;
        const auto ring = RequestLogRing(kDefaultCount, &error);
        if (!ring) {
            err_ << "log info: no ring information (" << TransportResultText(error, errno) << ")\n";
            return kCliFailed;
        }
        char flags[8];
        std::snprintf(flags, sizeof flags, "0x%02X", ring->flags);
        out_ << "current " << ring->current() << "\nsectors " << ring->sectors << "\nslots " << ring->slotsPerSector
             << "\ntotal " << ring->total() << "\nrecord-size " << ring->recordSize << "\nmax-records "
             << ring->maxGetRecs << "\ntime " << ring->time << "\nflags " << flags << "\n";
        return kCliOk;
    }
    if (args.size() < 2 || args[1] != "download") return usageError(usage);

    LogDownloadRequest rq;
    rq.count = kDefaultCount;
    bool fahrenheit = false, from = false;
    size_t files = 0;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "--count" || a == "--from";
        if (valued && i + 1 >= args.size()) return usageError(usage);
        const unsigned long v = valued ? parseDecimal(args[i + 1]).value_or(~0ul) : 0;
        if (valued && (v > 0xFFFF || (a == "--count" && v == 0))) return usageError(usage);
        if (a == "--count") rq.count = static_cast<unsigned>(v);
        else if (a == "--from") rq.from = static_cast<unsigned>(v), from = true;
        else if (a == "--all") rq.mode = LogMode::All;
        else if (a == "--fahrenheit") fahrenheit = true;
        else if (a.rfind("--", 0) != 0 && files++ == 0) rq.file = a;
        else return usageError(usage);
        i += valued;
    }
    if (from && rq.mode == LogMode::All) return usageError(usage);
    if (from) rq.mode = LogMode::FromPosition;
    // Found before the download, which can take minutes at 9600 baud.
    if (!CanWriteFile(rq.file)) {
        err_ << "log download: '" << rq.file << "' cannot be written: " << std::strerror(errno) << "\n";
        return kCliUsage;
    }
    if (!statusOnce()) return kCliFailed;
    rq.family = Shell().detector.uvirModel ? LogFamily::Uvir : LogFamily::Ir;

    const LogToStderr logging(err_);
    const auto result = RunLogDownload(panel_, rq, [&](std::span<const uint8_t> r, unsigned row, const LogRing& g) {
        const auto cells = LogListCells(r, rq.family, g.halfSums(), fahrenheit, row);
        for (size_t c = 0; c < cells.size(); ++c) out_ << (c ? "\t" : "") << cells[c];
        out_ << "\n";
    });
    if (!result.fileWritten && result.plan) return kCliUsage;
    return result.plan && result.failedPages == 0 ? kCliOk : kCliFailed;
}
