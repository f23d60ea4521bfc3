#include "config/ParamSession.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/ParamViewIds.h"
#include "protocol/Elevation.h"
#include "protocol/Transport.h"
#include "protocol/records/ResponseHeader.h"
#include "shell/Catalogue.h"
#include "shell/ShellState.h"
#include "util/Log.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

constexpr unsigned kErrorBox = MB_OK | MB_ICONEXCLAMATION;
constexpr const char* kTooLate =
    "More than 2 minutes have elapsed.\r\nParameter update will be rejected...\r\n\r\nIn order not "
    "to lose your "
    "settings you may:\r\n  o  'Save Parameters to Ini'\r\n  o  Reload the dialog box\r\n  o  "
    "'Load Parameters "
    "from Ini' - and re-save";

double valueOf(const ParamRecord& r, const char* name) { return r.value(name).value_or(NAN); }

int cellOf(ParamKind kind, const char* name) {
    const ParamField* f = FindParamField(kind, name);
    return f ? f->cell : 0;
}

ParamCheck refused(std::string message, int cell, std::string caption = "Error") {
    return {false, std::move(message), std::move(caption), cell, {}};
}

std::string formatted(const char* format, unsigned value) {
    char text[160];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The four hardware lists must each have an entry the record's bytes select.
ParamCheck checkHardware(const ParamRecord& r) {
    const double month = valueOf(r, "dateHW_month"), year = valueOf(r, "dateHW_year");
    const auto version = static_cast<unsigned>(valueOf(r, "vHW"));
    int cell = 0;
    if (!(month >= 1 && month <= 12))
        cell = paramwin::kHwMonth;
    else if (!(year >= 0 && year <= 100))
        cell = paramwin::kHwYear;
    else if ((version & 0x0F) == 0)
        cell = paramwin::kHwCpu;
    else if ((version >> 4) == 0)
        cell = paramwin::kHwIo;
    return cell ? refused("HW date / version not set", cell) : ParamCheck{};
}

}  // namespace

const char* ParamFileName(ParamKind kind) {
    return kind == ParamKind::Ir ? "ir4_param.bin" : "uv_param.bin";
}

std::optional<ParamRecord> ReadParams(int* result) {
    std::vector<uint8_t> answer(kIrParamAnswerSize);
    int got = -1;
    for (int attempt = 0; attempt < 3 && got == -1; ++attempt)
        got = ModbusGet(0, D_PARAM2HOST, Wire().ctx, answer.data(), kIrParamAnswerSize, 100, 500);
    if (result) *result = got;
    const auto size = static_cast<size_t>(std::max(got, 0));
    const auto header = DecodeHeader(std::span(answer.data(), size));
    const bool uvir = header ? IsUvirModelByte(static_cast<uint8_t>(header->model))
                             : Shell().detector.uvirModel.load();
    const ParamKind kind = uvir ? ParamKind::Uvir : ParamKind::Ir;
    if (size != ParamAnswerSize(kind)) {
        DebugLog("ModbusGet(PARAM2HOST) returned %d bytes instead of %u", got,
                 static_cast<unsigned>(ParamAnswerSize(kind)));
        return std::nullopt;
    }
    return ParamRecord::FromAnswer(kind, std::span(answer.data(), size));
}

ParamCheck CheckParamsForWrite(const ParamRecord& r, bool uvirModelSelected) {
    const ParamKind kind = r.kind();
    const bool uvir = kind == ParamKind::Uvir;
    for (const char* flag : {"tier", "is_no_grad"})
        if (const double v = valueOf(r, flag); v != 0 && v != 1)
            return refused("Allowed values are '0' and '1'", cellOf(kind, flag));
    if (!WarnFactorInRange(kind, valueOf(r, "warnfactor")))
        return refused("'WarnFactor' must be in the range [30..90]", cellOf(kind, "warnfactor"));
    if (ParamCheck hw = checkHardware(r); !hw.ok) return hw;

    if (uvir) {
        const auto size = static_cast<unsigned>(valueOf(r, "sum_array_size"));
        if (uvirModelSelected && size != 251)
            return refused(
                formatted("Bad 'sum_array_size' %u.\r\n'sum_array_size' must be 251.", size),
                paramwin::kSumArraySize);
        if (!uvirModelSelected && size < 90)
            return refused(
                formatted("Bad 'sum_array_size' %u.\r\nRecommended 'sum_array_size' 121.\r\n"
                          "'sum_array_size' must be in the range [90,255]",
                          size),
                paramwin::kSumArraySize);
    } else if (const auto size = static_cast<unsigned>(valueOf(r, "sumsize")); size < 90) {
        return refused(
            formatted(
                "Bad 'sumsize' %u.\r\nRecommended 'sumsize' 121.\r\n'sumsize' must be in the range "
                "[90,255]",
                size),
            paramwin::kSumsize);
    }

    ParamCheck benzene;
    if (CheckSlave2Slave(r, kBenzeneFactor, &benzene.benzene) != 0) {
        benzene.ok = false;
        benzene.message = uvir ? "CheckSlave2SlaveUVIR" : "CompareSlaveToSlaveBenzine";
        benzene.caption = "Sanity Check Failure";
    }
    return benzene;
}

WriteOutcome WriteParams(Panel& panel, const ParamRecord& working, unsigned long long readAtMs,
                         const ParamWriteOptions& options) {
    using enum ParamWriteResult;
    WriteOutcome outcome;
    const unsigned long long now = options.nowMs ? options.nowMs() : TickMs();
    if (!options.script && now - readAtMs > kParamWriteWindowMs) {
        panel.ask(kTooLate, "Error", kErrorBox);
        return outcome;
    }
    outcome.check = CheckParamsForWrite(working);
    if (!outcome.check.ok) {
        panel.ask(outcome.check.message, outcome.check.caption, kErrorBox);
        outcome.result = CheckFailed;
        return outcome;
    }
    Shell().detector.lastSerial = working.ordnum();
    if (RequestElevation(2, options.caption, panel) != kElevationGranted) {
        outcome.result = NotElevated;
        return outcome;
    }

    const auto bytes = working.bytes();
    const char* file = ParamFileName(working.kind());
    if (ModbusSet(static_cast<unsigned>(bytes.size()), bytes.data(), Wire().ctx, D_PARAM2DET) !=
        0) {
        panel.ask("'SET' command failed...", "Warning", kErrorBox);
        outcome.result = SendFailed;
        return outcome;
    }
    if (WriteWholeFile(file, bytes))
        DebugLog("'%s' has been created...", file);
    else
        DebugLog("'%s' could not be written: %s", file, std::strerror(errno));

    // The detector ignores a write it does not accept without a word: only
    // the record it now holds tells whether it kept this one.
    const auto stored = ReadParams();
    if (stored && *stored == working) {
        outcome.result = Verified;
        return outcome;
    }
    if (stored && stored->kind() == working.kind()) {
        const auto back = stored->bytes();
        outcome.firstDifference = static_cast<int>(
            std::mismatch(bytes.begin(), bytes.end(), back.begin()).first - bytes.begin());
        DebugLog("Parameter verification: byte %d reads %u, %u was sent", outcome.firstDifference,
                 back[static_cast<size_t>(outcome.firstDifference)],
                 bytes[static_cast<size_t>(outcome.firstDifference)]);
    }
    panel.ask("Verification failed...", "Error", kErrorBox);
    outcome.result = VerifyFailed;
    return outcome;
}

bool WarnFactorInRange(ParamKind kind, double stored) {
    // Compared as the float it is, so that 0.30 and 0.90 typed as 30 and 90
    // pass; a float's last step (90 shown, 0.90000004 stored) passes too.
    const double percent = kind == ParamKind::Uvir ? stored : stored * 100;
    return percent >= 30 - 1e-4 && percent <= 90 + 1e-4;
}
