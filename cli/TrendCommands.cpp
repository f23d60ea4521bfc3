// trend: the trend page's history filled from status polls, then its exports,
// for scripts and for checking the page's files without a display.
#include <chrono>

#include "cli/CliCommands.h"
#include "monitor/TrendHistory.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/StartUp.h"
#include "util/Profile.h"
#include "util/PumpWait.h"

namespace {
constexpr unsigned kTrendPollMs = 100;
constexpr int kCliFileFailed = 3;
}  // namespace

int CliSession::trend(const std::vector<std::string>& args) {
    const char* const usageText = "trend --seconds S [--export FILE] [--csv FILE]";
    std::optional<unsigned long> seconds;
    std::string exportFile = "TrendLog.txt", csvFile;
    for (size_t i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return usageError(usageText);
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        if (name == "--seconds" && (seconds = parseDecimal(value)) && *seconds > 0) continue;
        if (name == "--export" && !value.empty()) exportFile = value;
        else if (name == "--csv" && !value.empty()) csvFile = value;
        else return usageError(usageText);
    }
    if (!seconds) return usageError(usageText);

    bool wroteBack = false;
    trend::TrendHistory history;
    history.apply(trend::LoadSettings(kParamIni, &wroteBack));
    int status = kCliOk;
    if (!wroteBack) {
        err_ << "trend: " << kParamIni << " not written\n";
        status = kCliFileFailed;
    }

    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(*seconds);
    unsigned long polls = 0, answered = 0, stored = 0;
    for (; polls == 0 || std::chrono::steady_clock::now() < end; ++polls) {
        if (polls) PumpWait(kTrendPollMs);
        std::vector<uint8_t> frame(info.responseSize);
        const int r = ModbusGet(0, D_DATA2HOST, Wire().ctx, frame.data(), info.responseSize, info.waitMs,
                                info.timeoutMs);
        const auto answer = r == static_cast<int>(frame.size()) ? DecodeStatus(frame) : std::nullopt;
        if (!answer) continue;
        ++answered;
        stored += history.add(answer->voltage, answer->temperature, static_cast<float>(answer->milliamps()));
    }
    out_ << "polls=" << polls << " answered=" << answered << " stored=" << stored << " samples=" << history.size()
         << " period=" << history.period() << std::endl;

    const bool fahrenheit = ProfileGetInt(kParamIni, kAppSection, "fUsUnits", 0) == 1;
    auto write = [&](const std::string& file, bool csv) {
        if (const auto error = trend::WriteExport(file, history.exportText(fahrenheit, csv))) {
            err_ << "trend: " << *error << "\n";
            status = kCliFileFailed;
        }
    };
    write(exportFile, false);
    if (!csvFile.empty()) write(csvFile, true);
    if (status == kCliOk && answered == 0) {
        err_ << "trend: no status answer\n";
        status = kCliFailed;
    }
    return status;
}
