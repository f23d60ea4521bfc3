// setup read and setup burn: the setup dialog's read and burn for scripts,
// with the dialog's own form, checks and burn sequence.
#include <cerrno>
#include <cstring>

#include "cli/CliCommands.h"
#include "config/SetupSession.h"
#include "config/SetupText.h"
#include "protocol/Transport.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "util/WholeFile.h"

namespace {
// A setup text is a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxSetupFile = 64 * 1024;
}  // namespace

int CliSession::setup(const std::vector<std::string>& args) {
    if (Wire().slave < 1 || Wire().slave > 247) return usageError("setup needs a detector selected (--address 1..247)");
    if (args.size() == 2 && args[1] == "read") return setupRead("");
    if (args.size() == 4 && args[1] == "read" && args[2] == "--out") return setupRead(args[3]);
    if (args.size() == 3 && args[1] == "burn") return setupBurn(args[2]);
    return usageError("setup read [--out FILE] | setup burn FILE");
}

std::optional<SetupState> CliSession::openSetup() {
    // Units and text variant from Param.ini as the tool reads them; the
    // command line's --tags stays.
    const bool tags = Wire().useCmdTags;
    LoadHostSettings();
    Wire().useCmdTags = tags;
    // The dialog opens only once a detector has answered, as the main
    // window's status poll has made one do.
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    std::vector<uint8_t> status(info.responseSize);
    if (ModbusGet(0, D_DATA2HOST, Wire().ctx, status.data(), info.responseSize, info.waitMs, info.timeoutMs) !=
        static_cast<int>(info.responseSize)) {
        err_ << "setup: no answer from address " << Wire().slave << "\n";
        return std::nullopt;
    }
    panel_.newCommand();
    switch (OpenSetup(panel_, false)) {
    case SetupOpened::Read:
        return SetupNow();
    case SetupOpened::WrongAddress:
        break;  // the dialog's message is on standard error
    default:
        err_ << "setup: no setup record from address " << Wire().slave << "\n";
    }
    return std::nullopt;
}

int CliSession::setupRead(const std::string& outFile) {
    const auto state = openSetup();
    if (!state) return kCliFailed;
    out_ << PrintSetupText(state->working, state->context);
    if (!outFile.empty() && !WriteWholeFile(outFile, EncodeSetup(state->working), true))
        return usageError("cannot write " + outFile + ": " + std::strerror(errno));
    return kCliOk;
}

int CliSession::setupBurn(const std::string& file) {
    const auto bytes = ReadWholeFile(file, kMaxSetupFile);
    if (!bytes) return usageError("cannot read " + file + " (or it is over 64 KiB)");
    const auto state = openSetup();
    if (!state) return kCliFailed;
    const SetupRecord& current = state->working;
    const SetupContext& context = state->context;

    // 72 bytes are a record (as `setup read --out` writes it), anything else the text.
    const auto fromFile = DecodeSetup(*bytes);
    const SetupRecord base = fromFile ? KeepDetectorFields(*fromFile, current) : current;
    Form form = FillSetupForm(base, context);
    Levels420 levels = base.Param420;
    if (!fromFile) {
        const std::string wrong = ApplySetupText({reinterpret_cast<const char*>(bytes->data()), bytes->size()}, file,
                                                 current, context, form, levels);
        if (!wrong.empty()) return usageError(wrong);
    }
    SetupRecord working = current;
    const SetupRead read = ReadSetupEdit(form, levels, context, working);
    if (!read.ok) {
        panel_.ask(read.message, "Error", MB_OK | MB_ICONEXCLAMATION);
        return kCliUsage;
    }
    // The dialog shows some stored values as another (a list index past its
    // list, a Core detector's greyed checks): a record would burn what the
    // dialog made of it, so it must hold only what the dialog can show.
    if (fromFile) {
        const int differs = FirstSetupDifference(working, base);
        if (differs >= 0)
            return usageError(file + ": " + SetupFieldName(static_cast<size_t>(differs), context.uvir) +
                              " holds a value the setup dialog cannot show on this detector");
    }
    UpdateSetup([&](SetupState& s) { s.working = working; });

    const BurnOutcome outcome = BurnSetup(panel_, BurnRequest{});
    if (panel_.typed() == CliPanel::Typed::TooLong) return usageError("a password has at most 16 characters");
    switch (outcome.result) {
    case BurnResult::NoChanges:
        out_ << "No changes made\n";
        return kCliOk;
    case BurnResult::Verified:
        out_ << "verified\n";
        return kCliOk;
    case BurnResult::Mismatch:
        err_ << "setup burn: the detector stored another "
             << SetupFieldName(static_cast<size_t>(outcome.firstDifference), context.uvir) << "\n";
        return kCliFailed;
    default:
        return kCliFailed;  // BurnSetup has said why on standard error
    }
}
