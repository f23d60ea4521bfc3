// wexcon-cli flash dump and version: the flash dump window's and the version
// page's reads, printed as the windows show them.
#include <cerrno>
#include <cstring>
#include <sstream>

#include "cli/CliCommands.h"
#include "firmware/FlashDump.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/VersionInfo.h"
#include "util/WholeFile.h"

namespace {

// A window's text as terminal lines: CR LF and LF break lines, blanks at a
// line's end go.
void putLines(std::ostream& out, const std::string& text) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        out << line << "\n";
    }
}

}  // namespace

void CliSession::learnNonce() {
    // Authorised reads need the key of an earlier answer, as the main
    // window's status poll has it; no answer here is the read's own failure.
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    std::vector<uint8_t> status(info.responseSize);
    ModbusGet(0, D_DATA2HOST, Wire().ctx, status.data(), info.responseSize, info.waitMs, info.timeoutMs);
}

int CliSession::flash(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3 || args[1] != "dump") return usageError("flash dump [FILE]");
    learnNonce();
    panel_.newCommand();
    const FlashDump dump = RunFlashDump(panel_);
    std::ostringstream text;
    for (size_t i = 0; i < dump.areas.size(); ++i) {
        text << kFlashAreas[i].label << "\n";
        auto shown = FlashAreaTexts(i, dump.areas[i]);
        if (i == 0) {
            // The product number's line stays when empty: its two hex lines follow it.
            shown[0] = PrintableText(shown[0]);
            if (shown[0].empty()) text << "\n";
        }
        for (const std::string& field : shown) putLines(text, field);
    }
    out_ << text.str();
    if (dump.failedArea >= 0) return kCliFailed;
    const std::string file = args.size() == 3 ? args[2] : "";
    const std::string all = text.str();
    if (!file.empty() && !WriteWholeFile(file, std::span(reinterpret_cast<const uint8_t*>(all.data()), all.size())))
        return usageError("cannot write " + file + ": " + std::strerror(errno));
    return kCliOk;
}

int CliSession::version(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("version");
    const std::string detector = ReadDetectorVersion();
    putLines(out_, detector);
    out_ << "\n";
    putLines(out_, HostVersionText());
    return detector == kNoVersion ? kCliFailed : kCliOk;
}
