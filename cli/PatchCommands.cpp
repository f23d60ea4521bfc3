// patch make/show/apply, hang, reset and summary: the Miscellaneous page and
// the patch editor for scripts.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/CliCommands.h"
#include "config/MiscOps.h"
#include "config/ParamFiles.h"
#include "config/ParamGrid.h"
#include "config/ParamProfile.h"
#include "config/ParamSession.h"
#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "util/WholeFile.h"

namespace {

std::string valueText(const ParamRecord& r, const ParamElement& e) {
    const double v = r.value(*e.field, e.index);
    char text[40];
    if (e.field->type == ParamType::F32 || e.field->type == ParamType::F64)
        std::snprintf(text, sizeof text, "%.9g", v);
    else
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(v));
    return text;
}

const char* kindName(ParamKind k) { return k == ParamKind::Ir ? "IR3" : "UVIR"; }

}  // namespace

std::optional<StatusRecord> CliSession::statusOnce() {
    const CommandInfo& info = *commandInfo(D_DATA2HOST);
    std::vector<uint8_t> frame(info.responseSize);
    const int r = ModbusGet(0, D_DATA2HOST, Wire().ctx, frame.data(), info.responseSize, info.waitMs, info.timeoutMs);
    auto status = r == static_cast<int>(frame.size()) ? DecodeStatus(frame) : std::nullopt;
    if (!status) {
        err_ << "no status answer from address " << Wire().slave << "\n";
        return std::nullopt;
    }
    Shell().detector.uvirModel = IsUvirModelByte(static_cast<uint8_t>(status->header.model));
    return status;
}

int CliSession::patch(const std::vector<std::string>& args) {
    if (args.size() >= 2 && args[1] == "make") return patchMake(args);
    if (args.size() == 3 && args[1] == "show") {
        const FileRead<Patch> read = ReadPatchForEdit(args[2]);
        if (!read.value) return usageError(read.error);
        if (!read.value->crcGood) return usageError(PatchCrcMessage(args[2]));
        const Patch& p = *read.value;
        out_ << kindName(p.kind()) << " patch\n";
        for (const ParamElement& e : MarkedElements(p.kind(), p.mask))
            out_ << ElementName(e) << "=" << valueText(p.values, e) << "\n";
        return kCliOk;
    }
    if (args.size() == 3 && args[1] == "apply") {
        const std::string file = args[2];
        // A file no detector could take sends nothing; its type is checked against the detector's later.
        if (const FileRead<Patch> read = ReadPatchForUpdate(file); !read.value) {
            panel_.ask(read.error, "Error", MB_OK | MB_ICONEXCLAMATION);
            return kCliUsage;
        }
        const auto status = statusOnce();
        if (!status) return kCliFailed;
        panel_.newCommand();
        // A refused password is asked again: one try per line, end of input is Cancel.
        panel_.askEveryLine(true);
        const UpdateResult result = UpdateParameters(panel_, status->locked(), [&file] { return file; });
        panel_.askEveryLine(false);
        switch (result) {
            case UpdateResult::Updated: out_ << "Updated parameters compare.\nParameter update success!\n"; return kCliOk;
            case UpdateResult::FileRefused: return kCliUsage;
            case UpdateResult::Differs: return kCliUnverified;
            default: return kCliFailed;
        }
    }
    return usageError("patch make ... | patch show FILE | patch apply FILE");
}

int CliSession::patchMake(const std::vector<std::string>& args) {
    std::optional<Patch> patch;
    std::string out;
    std::vector<std::string> selects;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) return usageError(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--select") {
            selects.push_back(v);
        } else if (a == "--out") {
            out = v;
        } else if (patch) {
            return usageError("one of --default, --from, --edit");
        } else if (a == "--default" && (v == "ir" || v == "uvir")) {
            const ParamKind k = v == "ir" ? ParamKind::Ir : ParamKind::Uvir;
            patch = Patch{std::vector<uint8_t>(ParamSize(k)), ParamRecord::Defaults(k)};
        } else if (a == "--from") {
            const FileRead<ParamRecord> read = ReadParamBin(v);
            if (!read.value) return usageError(read.error);
            patch = Patch{std::vector<uint8_t>(read.value->bytes().size()), *read.value};
        } else if (a == "--edit") {
            FileRead<Patch> read = ReadPatchForEdit(v);
            if (!read.value) return usageError(read.error);
            // A damaged patch never leaves here with fresh CRCs.
            if (!read.value->crcGood) return usageError(PatchCrcMessage(v));
            patch = std::move(read.value);
        } else {
            return usageError("bad option " + a + " " + v);
        }
    }
    if (!patch || selects.empty())
        return usageError("patch make (--default ir|uvir | --from FILE.bin | --edit FILE.upm) --select NAME[=VALUE]... "
                          "[--out FILE]");
    const ParamKind kind = patch->kind();
    std::vector<ParamElement> marked = MarkedElements(kind, patch->mask);
    for (const std::string& s : selects) {
        const size_t eq = s.find('=');
        const auto e = FindElement(kind, s.substr(0, eq));
        if (!e) return usageError(std::string("no ") + kindName(kind) + " parameter '" + s.substr(0, eq) + "'");
        if (eq != std::string::npos) {
            const auto v = ParseParamValue(*e->field, s.substr(eq + 1));
            if (!v || !patch->values.setValue(*e->field, e->index, *v)) {
                panel_.ask(ParamRangeMessage(s.substr(0, eq), ParamTypeMax(e->field->type)), "Error",
                           MB_OK | MB_ICONEXCLAMATION);
                return kCliRefused;
            }
        }
        marked.push_back(*e);
    }
    if (const ParamCheck check = CheckParamsForWrite(patch->values, false); !check.ok) {
        panel_.ask(check.message, check.caption, MB_OK | MB_ICONEXCLAMATION);
        return kCliRefused;
    }
    patch->mask = PatchMask(kind, marked);
    const std::string name = out.empty() ? PatchFileName(kind) : out;
    if (!WriteWholeFile(name, EncodePatch(*patch)))
        return usageError("cannot write " + name + ": " + std::strerror(errno));
    out_ << "\"" << name << "\" has been created.\n";
    return kCliOk;
}

int CliSession::miscCommand(const std::vector<std::string>& args) {
    const bool admin = args.size() == 2 && args[1] == "--admin";
    if (args.size() > 2 || (args.size() == 2 && !admin)) return usageError(args[0] + " [--admin]");
    const auto status = statusOnce();
    if (!status) return kCliFailed;
    const MiscCommand command = args[0] == "hang" ? MiscCommand::Hang : MiscCommand::Reset;
    panel_.newCommand();
    panel_.askEveryLine(true);
    const MiscOutcome o = RunMiscCommand(panel_, status->locked(), command, MiscStep(command, false, admin ? 2 : 1));
    panel_.askEveryLine(false);
    if (!o.elevated) return kCliFailed;
    const unsigned sub = static_cast<unsigned>(command);
    if (o.result == 18)
        out_ << "D_MISC_CONTROL(" << sub << ") returned " << o.status << "\n";
    else
        err_ << "D_MISC_CONTROL(" << sub << ") returned " << static_cast<unsigned>(o.result) << " - not 18\n";
    return o.acknowledged() ? kCliOk : kCliFailed;
}

int CliSession::summary(const std::vector<std::string>& args) {
    if (args.size() > 2) return usageError("summary [DIR]");
    panel_.newCommand();
    const std::string folder = DownloadSummary(panel_, args.size() == 2 ? args[1] : ".");
    if (folder.empty()) return kCliFailed;
    out_ << folder << "\n";
    return kCliOk;
}
