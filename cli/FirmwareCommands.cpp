// wexcon-cli firmware info, check and update: the "Upload FW" window's file
// check and update, with the window's messages on standard error.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "cli/CliCommands.h"
#include "firmware/FirmwareUpdate.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/BaudSwitch.h"
#include "util/PumpWait.h"

namespace {

struct FirmwareArgs {
    std::string file;
    unsigned blockSize = 4096;
    bool allowOlder = false, shortHeader = false;
    int verify = 3;
    unsigned giveUpS = 60;
    unsigned baud = 0;  // 0: the link's speed as it is
};

// The options of info, check (`detector`) or update; an error text, or empty.
std::string parseArgs(const std::vector<std::string>& args, bool update, bool detector, FirmwareArgs* a) {
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& o = args[i];
        const bool hasValue = i + 1 < args.size();
        std::optional<unsigned long> v;
        if (o == "--block" && hasValue && (v = parseDecimal(args[i + 1])) && (*v == 2048 || *v == 4096)) {
            a->blockSize = static_cast<unsigned>(*v);
            ++i;
        } else if (o == "--allow-same" && detector) {
            a->allowOlder = true;
        } else if (o == "--short-header" && update) {
            a->shortHeader = true;
        } else if (o == "--verify" && update && hasValue && (v = parseDecimal(args[i + 1])) && *v <= 100) {
            a->verify = static_cast<int>(*v);
            ++i;
        } else if (o == "--give-up" && update && hasValue && (v = parseDecimal(args[i + 1])) && *v >= 1 && *v <= 86400) {
            a->giveUpS = static_cast<unsigned>(*v);
            ++i;
        } else if (o == "--baud" && update && hasValue && (v = parseDecimal(args[i + 1])) &&
                   std::ranges::count(kBaudRates, *v)) {
            a->baud = static_cast<unsigned>(*v);
            ++i;
        } else if (o.rfind("--", 0) != 0 && a->file.empty()) {
            a->file = o;
        } else {
            return "bad option " + o;
        }
    }
    return a->file.empty() ? "no FILE" : "";
}

void printFile(std::ostream& out, const fw::FirmwareFile& f) {
    char flags[8], crc[12];
    std::snprintf(flags, sizeof flags, "0x%04X", f.header.flags);
    std::snprintf(crc, sizeof crc, "0x%08X", f.header.crc);
    out << "product " << f.productText() << "\nversion " << f.header.version.text() << "\nflags " << flags
        << "\ncrc " << crc << "\npayload " << f.payload.size() << "\nblock " << f.blockSize << "\nnblk "
        << f.blocks() << "\nremainder " << f.remainder() << "\n";
}

Panel* g_abortPanel = nullptr;
extern "C" void abortUpdate(int) {
    if (g_abortPanel) g_abortPanel->requestAbort();
}

}  // namespace

int CliSession::firmware(const std::vector<std::string>& args) {
    static const char* kUsage =
        "firmware info FILE [--block 2048|4096] | firmware check FILE [--block B] [--allow-same] | firmware update "
        "FILE [--block B] [--allow-same] [--short-header] [--baud RATE] [--verify N] [--give-up S]";
    const std::string what = args.size() > 1 ? args[1] : "";
    FirmwareArgs a;
    if (what != "info" && what != "check" && what != "update") return usageError(kUsage);
    if (const std::string why = parseArgs(args, what == "update", what != "info", &a); !why.empty())
        return usageError(why + "; " + kUsage);
    if (what == "info") {
        std::string error;
        const auto f = fw::ReadFirmware(a.file, a.blockSize, false, &error);
        if (!f) {
            err_ << error << "\n";
            return kCliRefused;
        }
        printFile(out_, *f);
        return kCliOk;
    }
    panel_.newCommand();
    FwUpdateOptions options;
    options.blockSize = a.blockSize;
    options.allowOlder = a.allowOlder;
    options.giveUpS = a.giveUpS;
    options.keys = {a.shortHeader, a.verify};
    // Printed at once: a run killed later still names the file holding the parameters.
    options.onBackup = [this](const std::string& path) { out_ << "backup " << path << std::endl; };
    options.restore9600 = ReturnTo9600;
    FirmwareUpdate update(panel_, options);
    if (what == "check") {
        const bool ok = update.check(a.file);
        if (update.file()) printFile(out_, *update.file());
        if (update.detectorVersion())
            out_ << "detector-product " << update.detectorProduct() << "\ndetector-version "
                 << update.detectorVersion()->text() << "\n";
        if (ok) return kCliOk;
        return update.file() && !update.detectorVersion() ? kCliFailed : kCliRefused;
    }
    panel_.clearAbort();
    g_abortPanel = &panel_;
    auto previousInt = std::signal(SIGINT, abortUpdate), previousTerm = std::signal(SIGTERM, abortUpdate);
    SetThreadAbortFlag(&panel_.abortFlag());
    if (a.baud && a.baud != Wire().port.baud && !SwitchBaudNow(a.baud))
        err_ << "Switching the baudrate to " << a.baud << " failed; the update runs at " << Wire().port.baud << "\n";
    // A stop during the switch is not lost to the run's fresh start.
    FwResult result = FwResult::Aborted;
    if (!panel_.aborted()) result = update.run(a.file);
    else if (LinkBaud() != 9600) options.restore9600();
    SetThreadAbortFlag(nullptr);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    g_abortPanel = nullptr;
    if (update.versionAfter()) out_ << "version " << update.versionAfter()->text() << "\n";
    static const char* const kParams[] = {"", "verified", "repaired", "differ"};
    if (update.params() != ParamsOutcome::NotAsked) out_ << "params " << kParams[static_cast<int>(update.params())] << "\n";
    if (!update.upmPath().empty()) out_ << "upm " << update.upmPath() << "\n";
    switch (result) {
    case FwResult::Updated: out_ << "result updated\n"; return kCliOk;
    case FwResult::ParamsNotRestored: out_ << "result updated\n"; return kCliUnverified;
    case FwResult::Failed: out_ << "result failed\n"; return kCliFailed;
    case FwResult::Aborted: out_ << "result aborted\n"; return kCliFailed;
    case FwResult::Refused: break;
    }
    out_ << "result refused\n";
    return kCliRefused;
}
