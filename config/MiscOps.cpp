#include "config/MiscOps.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "config/ParamFiles.h"
#include "config/ParamSession.h"
#include "protocol/Commands.h"
#include "protocol/Elevation.h"
#include "protocol/Transport.h"
#include "protocol/records/MiscControl.h"
#include "protocol/records/ResponseHeader.h"
#include "protocol/records/SetupRecord.h"
#include "util/Log.h"
#include "util/WholeFile.h"

namespace {

constexpr unsigned kErrorBox = MB_OK | MB_ICONEXCLAMATION;
constexpr size_t kDevInfoAnswerSize = 125, kDevInfoRecordSize = 108;
constexpr const char* kAborted = "\r\nCollation of summary aborted";

// A record request with the page's timing: wait 100 ms, time-out 500 ms,
// asked again while nothing answers (3 tries). The answer, or nothing unless
// exactly `size` bytes came.
std::optional<std::vector<uint8_t>> getRecord(unsigned command, size_t size, size_t room = 0) {
    std::vector<uint8_t> answer(std::max(size, room));
    int got = -1;
    for (int attempt = 0; attempt < 3 && got == -1; ++attempt)
        got = ModbusGet(0, command, Wire().ctx, answer.data(), static_cast<unsigned>(answer.size()), 100, 500);
    if (got != static_cast<int>(size)) {
        DebugLog("ModbusGet(%u) returned %d bytes instead of %u", command, got, static_cast<unsigned>(size));
        return std::nullopt;
    }
    answer.resize(size);
    return answer;
}

// D_PARAM2HOST: the whole answer of the answering model's kind.
std::optional<std::vector<uint8_t>> getParamAnswer(ParamKind* kind) {
    std::vector<uint8_t> answer(kIrParamAnswerSize);
    int got = -1;
    for (int attempt = 0; attempt < 3 && got == -1; ++attempt)
        got = ModbusGet(0, D_PARAM2HOST, Wire().ctx, answer.data(), kIrParamAnswerSize, 100, 500);
    for (ParamKind k : {ParamKind::Ir, ParamKind::Uvir})
        if (got == static_cast<int>(ParamAnswerSize(k))) {
            *kind = k;
            answer.resize(ParamAnswerSize(k));
            return answer;
        }
    DebugLog("ModbusGet(PARAM2HOST) returned %d bytes", got);
    return std::nullopt;
}

std::string withPath(const char* format, const std::string& path) {
    std::vector<char> text(std::char_traits<char>::length(format) + path.size() + 1);
    std::snprintf(text.data(), text.size(), format, path.c_str());
    return text.data();
}

}  // namespace

bool RunElevationStep(Panel& panel, bool locked, const ElevationStep& step) {
    if (!locked) return true;
    for (;;) {
        bool admin = false;
        const std::optional<std::string> typed =
            step.chooseLevel ? panel.askPasswordLevel(step.prompt, step.title, &admin)
                             : panel.askText(step.prompt, step.title, true);
        if (!typed) break;
        const int level = step.chooseLevel ? (admin ? 2 : 1) : step.level;
        std::string text = *typed;
        const bool granted = ElevateOnce(level, text);
        std::fill(text.begin(), text.end(), '\0');
        if (granted) return true;
    }
    DebugLog("Current MAINT/ADMIN Password not entered. Write canceled...");
    panel.ask("Current MAINT/ADMIN Password not entered.\r\nWrite canceled...", "Error", kErrorBox);
    return false;
}

ElevationStep MiscStep(MiscCommand command, bool chooseLevel, int level) {
    return {command == MiscCommand::Hang ? "Making the detector hang requires elevation:"
                                         : "Reseting the detector requires elevation:",
            "Please Enter the current MAINT or ADMIN Password:", chooseLevel, level};
}

MiscOutcome RunMiscCommand(Panel& panel, bool locked, MiscCommand command, const ElevationStep& step) {
    MiscOutcome outcome;
    if (!RunElevationStep(panel, locked, step)) return outcome;
    outcome.elevated = true;
    std::array<uint8_t, kMiscAckFrameSize> frame{};
    const auto sub = static_cast<unsigned>(command);
    frame[0] = static_cast<uint8_t>(sub);
    {
        std::lock_guard lock(LinkLock());
        outcome.result = ModbusGet(1, D_MISC_CONTROL, Wire().ctx, frame.data(), kMiscAckFrameSize, 100, 500);
    }
    if (outcome.result == static_cast<int>(kMiscAckFrameSize)) {
        outcome.status = *AnswerStatus(frame);
        DebugLog("D_MISC_CONTROL(%u) returned %u", sub, static_cast<unsigned>(outcome.status));
    } else {
        DebugLog("D_MISC_CONTROL(%u) returned %u - not %u", sub, static_cast<unsigned>(outcome.result),
                 static_cast<unsigned>(kMiscAckFrameSize));
    }
    return outcome;
}

UpdateResult UpdateParameters(Panel& panel, bool locked, const std::function<std::string()>& choosePatch) {
    using enum UpdateResult;
    if (!RunElevationStep(panel, locked,
                          {"Updating the detector's Parameters requires elevation:",
                           "Please Enter the current ADMIN Password:", false, 2}))
        return NotElevated;
    const auto current = ReadParams();
    if (!current) {
        panel.ask(std::string("Failed downloading parameters...") + kAborted, "Error", kErrorBox);
        return ReadFailed;
    }
    const std::string path = choosePatch();
    if (path.empty()) return NoFile;
    const FileRead<Patch> patch = ReadPatchForUpdate(path, current->kind());
    if (!patch.value) {
        panel.ask(patch.error, "Error", kErrorBox);
        return FileRefused;
    }
    const ParamRecord wanted = ApplyPatch(*current, *patch.value);
    const auto bytes = wanted.bytes();
    if (ModbusSet(static_cast<unsigned>(bytes.size()), bytes.data(), Wire().ctx, D_PARAM2DET) != 0) {
        panel.ask("'SET' command failed...", "Error", kErrorBox);
        return SendFailed;
    }
    const auto stored = ReadParams();
    if (!stored) {
        panel.ask("Failed downloading parameters for comparison...", "Error", kErrorBox);
        return ReadBackFailed;
    }
    if (!(*stored == wanted)) {
        panel.ask("Updated parameters don't compare.\r\nParameter update failed...", "Error", kErrorBox);
        return Differs;
    }
    panel.ask("Updated parameters compare.\r\nParameter update success!", "Parameters Update",
              MB_OK | MB_ICONINFORMATION);
    return Updated;
}

std::string DownloadSummary(Panel& panel, const std::string& base) {
    auto fail = [&panel](const std::string& text) {
        panel.ask(text, "Error", kErrorBox);
        return std::string();
    };
    ParamKind kind = ParamKind::Ir;
    const auto params = getParamAnswer(&kind);
    if (!params) return fail(std::string("Failed downloading parameters...") + kAborted);
    if (panel.aborted()) return {};
    const auto setup = getRecord(D_SETUP2HOST, kSetupAnswerSize);
    if (!setup) return fail(std::string("Failed downloading setup...") + kAborted);
    if (panel.aborted()) return {};
    const auto devInfo = getRecord(D_DEVINFO2HOST, kDevInfoAnswerSize);
    if (!devInfo) return fail(std::string("Failed downloading DevInfo...") + kAborted);

    namespace fs = std::filesystem;
    const fs::path folder = fs::path(base.empty() ? "." : base) / "Summary" / std::to_string(DecodeHeader(*params)->serial);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return fail(withPath("Failed creating \"%s\".", folder.string()) + kAborted);

    struct Out {
        const char* name;
        std::span<const uint8_t> bytes;
        bool secret;  // the setup record carries the passwords
    };
    const Out files[] = {{"param.bin", std::span(*params).subspan(kHeaderSize, ParamSize(kind)), false},
                         {"setup.bin", std::span(*setup).subspan(kHeaderSize, kSetupRecordSize), true},
                         {"DevInfo.bin", std::span(*devInfo).subspan(kHeaderSize, kDevInfoRecordSize), false}};
    // A summary is never half old, half new: what was there comes back when a
    // later file cannot be written.
    std::vector<std::optional<std::vector<uint8_t>>> before;
    for (const Out& f : files) before.push_back(ReadWholeFile((folder / f.name).string(), 1 << 16));
    for (size_t i = 0; i < std::size(files); ++i) {
        const std::string path = (folder / files[i].name).string();
        if (WriteWholeFile(path, files[i].bytes, files[i].secret)) continue;
        for (size_t j = 0; j < i; ++j) {
            const std::string earlier = (folder / files[j].name).string();
            if (before[j])
                WriteWholeFile(earlier, *before[j], files[j].secret);
            else
                fs::remove(earlier, ec);
        }
        return fail(withPath("Failed creating \"%s\".", path) + kAborted);
    }
    return folder.string();
}
