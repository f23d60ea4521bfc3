// devinfo read and devinfo burn: the "Device Info" window's read and burn for
// scripts, through the window's own form, checks and burn.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#include "cli/CliCommands.h"
#include "config/CDevInfoIds.h"
#include "config/DevInfo.h"
#include "firmware/FlashDump.h"
#include "protocol/Transport.h"
#include "util/WholeFile.h"

namespace {

namespace w = devinfowin;

// A device-information text is a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxDevInfoFile = 64 * 1024;

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The keys a file may set, with their edit; the displays are ignored.
const std::map<std::string, int>& editKeys() {
    static const std::map<std::string, int> keys{{"poll_address", w::kPollAddress},
                                                 {"tag", w::kTag},
                                                 {"long_tag", w::kLongTag},
                                                 {"descriptor", w::kDescriptor},
                                                 {"message", w::kMessage},
                                                 {"day", w::kDay},
                                                 {"month", w::kMonth},
                                                 {"year", w::kYear},
                                                 {"model", w::kModel},
                                                 {"preambles", w::kPreambles},
                                                 {"manufacturer", w::kManufacturer}};
    return keys;
}
// The manufacturer as `devinfo read` prints it, so that its output burns back unchanged.
std::string manufacturerText(uint8_t code) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", code);
    return text;
}
bool ignoredKey(const std::string& key) {
    return key == "final_assy" || key == "config_change_counter" || key == "device_id" ||
           key == "model_number";
}

}  // namespace

int CliSession::devinfo(const std::vector<std::string>& args) {
    if (Wire().slave < 1 || Wire().slave > 247)
        return usageError("devinfo needs a detector selected (--address 1..247)");
    if (args.size() == 2 && args[1] == "read") return devinfoRead("");
    if (args.size() == 4 && args[1] == "read" && args[2] == "--bin") return devinfoRead(args[3]);
    if (args.size() == 3 && args[1] == "burn") return devinfoBurn(args[2]);
    return usageError("devinfo read [--bin FILE] | devinfo burn FILE");
}

bool CliSession::openDevInfo() {
    // The window opens only once a detector has answered, as the main
    // window's status poll has made one do.
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    std::vector<uint8_t> status(info.responseSize);
    if (ModbusGet(0, D_DATA2HOST, Wire().ctx, status.data(), info.responseSize, info.waitMs,
                  info.timeoutMs) != static_cast<int>(info.responseSize)) {
        err_ << "devinfo: no answer from address " << Wire().slave << "\n";
        return false;
    }
    panel_.newCommand();
    if (OpenDevInfo(panel_) == DevInfoOpened::Read) return true;
    err_ << "devinfo: no device information from address " << Wire().slave << "\n";
    return false;
}

int CliSession::devinfoRead(const std::string& binFile) {
    if (!openDevInfo()) return kCliFailed;
    const DevInfoState state = DevInfoNow();
    const Form form = FillDevInfoForm(state);
    // The long tag is raw bytes: a terminal gets none of its control bytes.
    const auto shown = [&form](int id) { return PrintableText(trimmed(form.at(id).text)); };
    const std::pair<const char*, std::string> lines[] = {
        {"poll_address", shown(w::kPollAddress)},
        {"tag", shown(w::kTag)},
        {"long_tag", shown(w::kLongTag)},
        {"descriptor", shown(w::kDescriptor)},
        {"message", shown(w::kMessage)},
        {"day", shown(w::kDay)},
        {"month", shown(w::kMonth)},
        {"year", shown(w::kYear)},
        {"final_assy", shown(w::kFinalAssy)},
        {"config_change_counter", shown(w::kChangeCounter)},
        {"manufacturer", manufacturerText(state.record[devinfo::Manufacturer])},
        {"model", shown(w::kModel)},
        {"preambles", shown(w::kPreambles)},
        {"device_id", shown(w::kDeviceId)},
        {"model_number", shown(w::kModelNumber)},
    };
    for (const auto& [key, value] : lines) out_ << key << "=" << value << "\n";
    if (!binFile.empty() && !WriteWholeFile(binFile, state.record, true))
        return usageError("cannot write " + binFile + ": " + std::strerror(errno));
    return kCliOk;
}

int CliSession::devinfoBurn(const std::string& file) {
    const auto bytes = ReadWholeFile(file, kMaxDevInfoFile);
    if (!bytes) return usageError("cannot read " + file + " (or it is over 64 KiB)");
    if (!openDevInfo()) return kCliFailed;
    const DevInfoState state = DevInfoNow();
    Form form = FillDevInfoForm(state);

    // Every line is checked before anything else is sent.
    const std::string text(bytes->begin(), bytes->end());
    std::map<int, size_t> lineOf;  // the control a line set: the window's checks name that line
    size_t lineNumber = 0;
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const std::string where = file + ":" + std::to_string(lineNumber) + ": ";
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return usageError(where + "not a key=value line");
        const std::string key = trimmed(line.substr(first, eq - first));
        const std::string value = line.substr(eq + 1);
        if (ignoredKey(key)) continue;
        const auto it = editKeys().find(key);
        if (it == editKeys().end()) return usageError(where + "unknown key '" + key + "'");
        ControlState& control = form[it->second];
        lineOf[it->second] = lineNumber;
        if (const unsigned limit = DevInfoTextLimit(it->second); limit && value.size() > limit) {
            err_ << "wexcon-cli: " << where << key << " is limited to " << limit << " characters\n";
            return kCliRefused;
        }
        if (it->second == w::kManufacturer) {
            // The code read, even one not in the list, is kept as "??" keeps it.
            const std::string wanted = value == manufacturerText(state.record[devinfo::Manufacturer])
                                            ? std::string(kUnknownManufacturer)
                                            : value;
            const auto entry = std::find(control.items.begin(), control.items.end(), wanted);
            if (entry == control.items.end())
                return usageError(where +
                                  "manufacturer is one of 60, 61, 62, the code read or ?? (keeps it)");
            control.value = static_cast<int>(entry - control.items.begin());
        } else {
            control.text = value;
        }
    }

    DevInfoBytes edited = state.record;
    const DevInfoRead read = ReadDevInfoForm(form, edited);
    if (!read.ok) {
        const auto line = lineOf.find(read.focus);
        if (line != lineOf.end()) err_ << file << ":" << line->second << ": ";
        if (!read.corrected.empty())
            err_ << "refused characters, shown as '?': " << read.corrected.begin()->second.text << "\n";
        else
            err_ << read.message << "\n";
        return kCliRefused;
    }

    panel_.askEveryLine(true);
    const DevInfoBurnResult result = BurnDevInfo(panel_, edited);
    panel_.askEveryLine(false);
    if (panel_.typed() == CliPanel::Typed::TooLong)
        return usageError("a password has at most 16 characters");
    switch (result) {
        case DevInfoBurnResult::Verified:
            out_ << "verified\n";
            return kCliOk;
        case DevInfoBurnResult::Mismatch:
            return kCliUnverified;
        default:
            return kCliFailed;  // BurnDevInfo has said why on standard error
    }
}
