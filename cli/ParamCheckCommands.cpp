// params check and params check-by-type: the console's sanity check and the
// screenshot run's per-detector check, for scripts.
#include "cli/CliCommands.h"
#include "config/ParamSession.h"
#include "config/SanityCheck.h"
#include "protocol/Transport.h"
#include "protocol/records/ResponseHeader.h"

namespace {

// The type byte of the detector's answers (header byte 5), from a status
// request, as the screenshot run knows it from its poll.
std::optional<uint8_t> typeByte() {
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    std::vector<uint8_t> answer(info.responseSize);
    if (ModbusGet(0, D_DATA2HOST, Wire().ctx, answer.data(), info.responseSize, info.waitMs, info.timeoutMs) !=
        static_cast<int>(info.responseSize))
        return std::nullopt;
    return static_cast<uint8_t>(DecodeHeader(answer)->model);  // a whole answer holds it
}

int checkStatus(SanityOutcome outcome) {
    switch (outcome) {
        case SanityOutcome::Passed: return kCliOk;
        case SanityOutcome::Failed: return kCliRefused;
        case SanityOutcome::NoAnswer: return kCliFailed;
        default: return kCliUsage;  // the master file, or a master of the other kind
    }
}

}  // namespace

int CliSession::paramsCheck(const std::vector<std::string>& args) {
    if (Wire().slave < 1 || Wire().slave > 247)
        return usageError(args[1] + " needs a detector selected (--address 1..247)");
    if (args[1] == "check" && args.size() <= 3) {
        panel_.newCommand();
        const SanityRun run =
            DoSanityCheck(panel_, "SanityCheckInput.ini", "SanityCheckOutput.ini", args.size() == 3 ? args[2] : "");
        if (run.outcome != SanityOutcome::InputProblem) out_ << "S/N=" << run.serial << "\n";
        if (run.outcome == SanityOutcome::Passed || run.outcome == SanityOutcome::Failed) {
            for (const auto& [section, check] : run.report.sections())
                if (!check->passed()) out_ << section << "=" << check->list << "\n";
            out_ << (run.report.total() ? "Sanity Check failure." : "Parameters OK!") << "\n";
        }
        return checkStatus(run.outcome);
    }
    if (args[1] == "check-by-type" && args.size() <= 3) {
        const auto index = args.size() == 3 ? parseDecimal(args[2]) : 0ul;
        if (!index) return usageError("bad detector index '" + args[2] + "'");
        const auto type = typeByte();
        const auto record = type ? ReadParams() : std::nullopt;
        if (!record) {
            err_ << "params check-by-type: no parameter record from address " << Wire().slave << "\n";
            return kCliFailed;
        }
        const int result = CheckDetectorByType(static_cast<unsigned>(*index), *type, *record);
        out_ << "result=" << result << "\n";
        return result == 0 ? kCliOk : result == -10 ? kCliRefused : kCliUsage;
    }
    return usageError("params check [MASTER] | params check-by-type [INDEX]");
}
