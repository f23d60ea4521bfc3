// params read and params burn: the parameter window's read and F3 write for
// scripts, with the window's own checks, elevation and read-back.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "cli/CliCommands.h"
#include "config/ParamGrid.h"
#include "config/ParamProfile.h"
#include "config/ParamSession.h"
#include "protocol/Transport.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

// A profile or a record file is a few kilobytes; anything far larger is neither.
constexpr size_t kMaxParamFile = 1024 * 1024;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The section F5 writes and F4 reads by default.
std::string sectionOf(ParamKind kind) {
    return kind == ParamKind::Ir ? "ir4_param_0" : "uv_param_0";
}

// Whether the profile text has a "[name]" line; names compare without case,
// as the profile functions take them.
bool hasSection(const std::vector<uint8_t>& text, const std::string& name) {
    std::istringstream in(std::string(text.begin(), text.end()));
    const std::string want = "[" + lower(name) + "]";
    for (std::string line; std::getline(in, line);) {
        line.erase(0, line.find_first_not_of(" \t"));
        line.erase(line.find_last_not_of(" \t\r") + 1);
        if (lower(line) == want) return true;
    }
    return false;
}

}  // namespace

int CliSession::params(const std::vector<std::string>& args) {
    if (Wire().slave < 1 || Wire().slave > 247)
        return usageError("params needs a detector selected (--address 1..247)");
    if (args.size() <= 3 && args.size() >= 2 && args[1] == "read")
        return paramsRead(args.size() == 3 ? args[2] : "");
    if (args.size() == 3 && args[1] == "burn") return paramsBurn(args[2], "");
    if (args.size() == 5 && args[1] == "burn" && args[3] == "--section")
        return paramsBurn(args[2], args[4]);
    return usageError("params read [FILE] | params burn FILE [--section NAME]");
}

std::optional<ParamRecord> CliSession::readParams() {
    int result = 0;
    auto record = ReadParams(&result);
    if (!record)
        err_ << "params: no parameter record from address " << Wire().slave << " (" << result
             << " bytes)\n";
    return record;
}

int CliSession::paramsRead(const std::string& file) {
    const auto record = readParams();
    if (!record) return kCliFailed;
    out_ << ParamSectionText(sectionOf(record->kind()), *record);
    if (!file.empty() && !WriteWholeFile(file, record->bytes()))
        return usageError("cannot write " + file + ": " + std::strerror(errno));
    return kCliOk;
}

int CliSession::paramsBurn(const std::string& file, const std::string& section) {
    const auto bytes = ReadWholeFile(file, kMaxParamFile);
    if (!bytes) return usageError("cannot read " + file + " (or it is over 1 MiB)");
    const bool raw = file.size() > 4 && lower(file.substr(file.size() - 4)) == ".bin";
    if (raw && !section.empty())
        return usageError("--section applies to a profile, not to " + file);
    auto read = readParams();
    if (!read) return kCliFailed;
    const unsigned long long readAt = TickMs();
    ParamRecord working = *read;

    if (raw) {
        const size_t want = ParamSize(working.kind());
        if (bytes->size() != want)
            return usageError(file + " holds " + std::to_string(bytes->size()) +
                              " bytes; the detector's record has " + std::to_string(want));
        working = *ParamRecord::FromBytes(*bytes);
    } else {
        const std::string from = section.empty() ? sectionOf(working.kind()) : section;
        if (!hasSection(*bytes, from)) return usageError(file + " has no section [" + from + "]");
        const auto refused = LoadParamSection(file, from, working);
        if (!refused.empty()) {
            // As the window refuses a value too big for its cell: nothing is sent.
            const ParamRefusal& r = refused.front();
            panel_.ask(ParamRangeMessage(r.key, r.maximum), "Error", MB_OK | MB_ICONEXCLAMATION);
            return kCliRefused;
        }
    }

    panel_.newCommand();
    const WriteOutcome outcome = WriteParams(panel_, working, readAt);
    switch (outcome.result) {
        case ParamWriteResult::Verified:
            out_ << "Parameters verified\n";
            return kCliOk;
        case ParamWriteResult::TooLate:
        case ParamWriteResult::CheckFailed:
            return kCliRefused;  // the check's message is on standard error
        case ParamWriteResult::NotElevated:
            if (panel_.typed() == CliPanel::Typed::TooLong)
                return usageError("a password has at most 16 characters");
            err_ << "params burn: not elevated to ADMIN; nothing sent\n";
            return kCliFailed;
        case ParamWriteResult::SendFailed:
            return kCliFailed;
        case ParamWriteResult::VerifyFailed:
            if (outcome.firstDifference >= 0)
                err_ << "params burn: the detector holds another record (byte "
                     << outcome.firstDifference << " differs)\n";
            else {
                err_ << "params burn: the record could not be read back\n";
                return kCliFailed;  // written, but the detector did not answer as asked
            }
            return kCliUnverified;
    }
    return kCliFailed;
}
