#include "monitor/FailReason.h"

#include <array>
#include <cstdarg>
#include <cstdio>

#include "protocol/Commands.h"
#include "protocol/Transport.h"
#include "protocol/records/SetupRecord.h"
#include "config/ParamSession.h"
#include "util/Log.h"

namespace {

constexpr const char* kTestEnd = "\r\n----------------------------\r\n";

std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Text(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text) + kTestEnd;
}

// The parameter record's values by name, the live record's as carried.
struct Reading {
    const LiveRecord& r;
    const ParamRecord& p;
    unsigned i;  // senslvl and every index

    double live(size_t offset) const { return r.f32(offset); }
    double param(const char* name, bool indexed = true) const {
        const ParamField* f = FindParamField(ParamKind::Ir, name);
        return f ? p.value(*f, indexed ? i : 0) : 0;
    }
};

// The first test of a chain that holds, as its text; "" when none holds.
std::string Chain45(const Reading& x, bool benz) {
    const double sum = x.live(live::Sum45), r4 = x.live(live::Rat45to4), r5 = x.live(live::Rat45to5),
                 r4445 = x.live(live::Rat44to45);
    const double limit = benz ? x.param("sum45benz") : x.param("sum45") * x.param("warnfactor", false);
    if (sum <= limit)
        return Text(benz ? "vsum45(%.0f) <= param.sum45benz[senslvl(%u)](%.0f)"
                         : "vsum45(%.0f) <= param.sum45warn[senslvl(%u)](%.0f)",
                    sum, x.i, limit);
    const double p4 = x.param("ratio45to4"), p5 = x.param("ratio45to5");
    if (r4 <= p4) return Text("vratio45to4(%.1f) <= param.ratio45to4[idxsens(%u)](%.1f)", r4, x.i, p4);
    if (r5 <= p5) return Text("vratio45to5(%.1f) <= param.ratio45to5[idxsens(%u)](%.1f)", r5, x.i, p5);
    const double max4445 = x.param("MAXratio44to45Factor", false), egzoz = x.param("Rat5Per_EGZOZ", false);
    if (r4445 >= max4445 && r5 >= egzoz)
        return Text("vratio44to45(%.1f) >= iparam.MAXratio44to45(%.1f) && vratio45to5(%.1f) >= "
                    "iparam.MAXRat5_EGZOZ(%.1f)",
                    r4445, max4445, r5, egzoz);
    const double p4445 = x.param("ratio44to45"), fac = x.param("RatFac", false);
    if (r4445 <= p4445 && (r4 <= p4 * fac || r5 <= p5 * fac))
        return Text("vratio44to45(%.1f) <= param.ratio44to45[idxsens(%u)](%.1f) && \r\n"
                    "(vratio45to4(%.1f) <= param.ratio45to4[idxsens(%u)](%.1f) * param.RatFac(%u) \r\n || \r\n "
                    "vratio45to5(%.1f) <= param.ratio45to5[idxsens(%u)](%.1f) * param.RatFac(%u))",
                    r4445, x.i, p4445, r4, x.i, p4, static_cast<unsigned>(fac), r5, x.i, p5,
                    static_cast<unsigned>(fac));
    const double c4 = x.live(live::Cor45to4), c5 = x.live(live::Cor45to5), c4445 = x.live(live::Cor44to45);
    const double q4 = x.param("cor45to4"), q5 = x.param("cor45to5"), q4445 = x.param("cor44to45");
    if ((c4 <= q4 || c5 <= q5) && c4445 <= q4445)
        return Text("((vcor45to4(%.2f) <= param.cor45to4[idx45(%u)](%.2f) \r\n  || \r\n  vcor45to5(%.2f) <= "
                    "param.cor45to5[idx45(%u)](%.2f) \r\n ) \r\n&& \r\nvcor44to45(%.2f) <= "
                    "param.cor44to45[idx45(%u)](%.2f))",
                    c4, x.i, q4, c5, x.i, q5, c4445, x.i, q4445);
    return "";
}

std::string Chain44(const Reading& x, bool benz) {
    const double sum = x.live(live::Sum44), r4 = x.live(live::Rat44to4), r5 = x.live(live::Rat44to5),
                 r4445 = x.live(live::Rat44to45), r455 = x.live(live::Rat45to5);
    const double limit = benz ? x.param("sum44benz") : x.param("sum44") * x.param("warnfactor", false);
    if (sum <= limit)
        return Text(benz ? "vsum44(%.0f) <= param.sum44benz[senslvl(%u)](%.0f)"
                         : "vsum44(%.0f) <= param.sum44warn[senslvl(%u)](%.0f)",
                    sum, x.i, limit);
    const double p4 = x.param("ratio44to4"), p5 = x.param("ratio44to5");
    if (r4 <= p4) return Text("vratio44to4(%.1f) <= param.ratio44to4[idxsens_hyd(%u)](%.1f)", r4, x.i, p4);
    if (r5 <= p5) return Text("vratio44to5(%.1f) <= param.ratio44to5[idxsens_hyd(%u)](%.1f)", r5, x.i, p5);
    const double max4445 = x.param("MAXratio44to45Factor", false), egzoz = x.param("Rat5Per_EGZOZ", false);
    if (r4445 >= max4445 && r455 >= egzoz)
        return Text("vratio44to45(%.1f) >= iparam.MAXratio44to45(%.1f) && vratio45to5(%.1f) >= "
                    "iparam.MAXRat5_EGZOZ(%.0f)",
                    r4445, max4445, r455, egzoz);
    const double hyd4445 = x.param("ratio44to45Hyd"), hyd455 = x.param("ratio4to5Hyd");
    if (r4445 <= hyd4445)
        return Text("vratio44to45(%.1f) <= param.ratio44to45Hyd[idxsens_hyd(%u)](%.1f)", r4445, x.i, hyd4445);
    if (r455 <= hyd455)
        return Text("vratio45to5(%.1f) <= param.ratio45to5Hyd[idxsens_hyd(%u)](%.1f)", r455, x.i, hyd455);
    const double c4 = x.live(live::Cor44to4), c5 = x.live(live::Cor44to5), c4445 = x.live(live::Cor44to45);
    const double q4 = x.param("cor44to4"), q5 = x.param("cor44to5"), q4445 = x.param("cor44to45Hyd");
    if ((c4 <= q4 || c5 <= q5) && c4445 <= q4445)
        return Text("((vcor44to4(%.2f) <= param.cor44to4[idx44(%u)](%.2f) \r\n  || \r\n  vcor44to5(%.2f) <= "
                    "param.cor44to5[idx44(%u)](%.2f) \r\n ) \r\n&& \r\nvcor44to45(%.2f) <= "
                    "param.cor44to45Hyd[idx44(%u)](%.2f))",
                    c4, x.i, q4, c5, x.i, q5, c4445, x.i, q4445);
    return "";
}

bool Analysed(char mode) { return mode == 'G' || mode == 'A'; }

}  // namespace

std::optional<std::string> FailReasonText(const LiveRecord& record, const FailInputs& inputs, bool gradAlarm) {
    if (inputs.params.kind() != ParamKind::Ir) {
        DebugLog("Fail reason: address %u has no IR parameter record", record.address());
        return std::nullopt;
    }
    if (inputs.sensitivity > 5) {
        DebugLog("Fail reason: sensitivity index %u out of range at address %u", inputs.sensitivity,
                 record.address());
        return std::nullopt;
    }
    const Reading reading{record, inputs.params, inputs.sensitivity};
    const bool benz = gradAlarm || record.mode() == 'A';
    char state[64];
    std::snprintf(state, sizeof state, "state: '%c'\r\n============================\r\n", record.mode());
    return Chain45(reading, benz) + Chain44(reading, benz) + state;
}

std::optional<FailInputs> ReadFailInputs(unsigned address) {
    if (!SelectSlave(address)) return std::nullopt;
    std::array<uint8_t, kSetupAnswerSize> answer{};
    std::optional<SetupRecord> setup;
    for (int attempt = 0; attempt < 3 && !setup; ++attempt) {
        const int got = ModbusGet(0, D_SETUP2HOST, Wire().ctx, answer.data(), kSetupAnswerSize, 100, 500);
        if (got >= static_cast<int>(kSetupAnswerSize)) setup = DecodeSetupAnswer(answer);
    }
    if (!setup) {
        DebugLog("Fail reason: no setup from address %u", address);
        return std::nullopt;
    }
    auto params = ReadParams();
    if (!params) return std::nullopt;
    return FailInputs{setup->Sensitivity, *params};
}

FailReasons::FailReasons(Options options) : options_(std::move(options)) {
    if (!options_.open) options_.open = OpenLineFile;
    if (!options_.read) options_.read = ReadFailInputs;
}

bool FailReasons::analyse(const LiveRecord& record, bool gradAlarm) {
    // A file that failed was reported once; the analysis stays off after it.
    if (!Analysed(record.mode()) || !errorFile_.empty()) return true;
    auto known = inputs_.find(record.address());
    if (known == inputs_.end()) {
        auto read = options_.read(record.address());
        if (!read) return true;
        known = inputs_.emplace(record.address(), std::move(*read)).first;
    }
    const auto text = FailReasonText(record, known->second, gradAlarm);
    if (!text) return true;
    if (!sink_) sink_ = options_.open(options_.path, false);
    if (sink_ && sink_->write(*text)) return true;
    errorFile_ = options_.path;
    sink_.reset();
    return false;
}
