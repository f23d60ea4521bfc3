#include "config/ParamGrid.h"

#include <array>
#include <charconv>
#include <cmath>
#include <set>

#include "config/ParamSession.h"
#include "config/ParamViewIds.h"

namespace w = paramwin;

namespace {

using List = std::vector<std::string>;

// A row that names channels: its caption with the template's 4.4 / 4 names
// and with the alternative channel set's.
struct Named {
    const char* caption;
    const char* alternative;
    const char* fire;
    const char* benzene;  // nullptr: a scalar row
};

constexpr Named kIrArrays[] = {
    {"Sum 4.5", nullptr, "sum45", "sum45benz"},
    {"Sum 4.4", "Sum 3", "sum44", "sum44benz"},
    {"Ratio 4.5/4", "Ratio 4.5/2.4", "ratio45to4", "ratio45to4benz"},
    {"Ratio 4.5/5", nullptr, "ratio45to5", "ratio45to5benz"},
    {"Ratio 4.4/4", "Ratio 3/2.4", "ratio44to4", "ratio44to4benz"},
    {"Ratio 4.4/5", "Ratio 3/5", "ratio44to5", "ratio44to5benz"},
    {"Ratio 4.4/4.5", "Ratio 3/4.5", "ratio44to45", "ratio44to45benz"},
    {"Ratio 4.4/4.5 H", "Ratio 3/4.5 H", "ratio44to45Hyd", "ratio44to45Hydbenz"},
    {"Ratio 4/5", "Ratio 2.4/5", "ratio4to5", "ratio4to5benz"},
    {"Ratio 4/5 H", "Ratio 2.4/5 H", "ratio4to5Hyd", "ratio4to5Hydbenz"},
    {"Cor 4.5/4", "Cor 4.5/2.4", "cor45to4", "cor45to4benz"},
    {"Cor 4.5/5", nullptr, "cor45to5", "cor45to5benz"},
    {"Cor 4.4/4", "Cor 3/2.4", "cor44to4", "cor44to4benz"},
    {"Cor 4.4/5", "Cor 3/5", "cor44to5", "cor44to5benz"},
    {"Cor 4.4/4.5", "Cor 3/4.5", "cor44to45", "cor44to45benz"},
    {"Cor 4.4/4.5 H", "Cor 3/4.5 H", "cor44to45Hyd", "cor44to45Hydbenz"},
};
constexpr Named kIrFast[] = {
    {"Rat45/4Fst", "Rat45/24Fst", "f_ratio45to4_Thr", nullptr},
    {"Rat45/5Fst", nullptr, "f_ratio45to5_Thr", nullptr},
    {"Rat44/4Fst", "Rat3/24Fst", "f_ratio44to4_Thr", nullptr},
    {"Rat44/5Fst", "Rat3/5Fst", "f_ratio44to5_Thr", nullptr},
    {"Rat4/5Fst", "Rat24/5Fst", "f_ratio4to5_Thr", nullptr},
    {"Rat45/44Fst", "Rat45/Fst", "f_ratio45to44_Thr", nullptr},
    {"IRFst45Thr", nullptr, "IRFastAbsThr45", nullptr},
    {"IRFst44Thr", "IRFst3Thr", "IRFastAbsThr44", nullptr},
    {"Noise 4", "Noise 2.4", "HiCorrNoise", nullptr},
    {"Noise 4.4", "Noise 3", "LoCorrNoise", nullptr},
};
constexpr Named kUvirArrays[] = {
    {"Sum First Pass", nullptr, "sum_first_pass", "sum_first_pass_benz"},
    {"Ratio Hi", nullptr, "ratio_hi", "ratiohi_benz"},
    {"Ratio Lo", nullptr, "ratio_lo", "ratiolo_benz"},
};
// Scalars grouped by what they tune; whatever no group names goes to "General".
struct Scalars {
    const char* caption;
    std::vector<const char*> names;
};
const std::vector<Scalars> kIrScalars = {
    {"Fast Detection", {"IRFastAbsDly", "FastIR_Hold_Time"}},
    {"BIT", {"autobit", "manbit", "bitnoise", "amplify44"}},
    {"Black Body", {"isEnableBBdetection", "RatFac", "BB45_RatFact", "BB44_RatFact", "BB_corDiff", "BB_corr",
                    "BBSumFactor"}},
};
const std::vector<Scalars> kUvirScalars = {
    {"BIT", {"autobit", "manbit", "saved_uv_bit_val", "UVBIT_Thr", "BITnoise", "UVTubeVol", "UV_BIT_Duration"}},
    {"Filters", {"first_fltr_size", "hi_fltr_size", "lo_fltr_size", "lo_fltr_size1", "lo_fltr_size2", "FirstAvgFact"}},
    {"UV Detection", {"UV_Fast_Window_Width", "UV_Fast_Det_Thr", "UVIR_Fast_Hold_Time", "UV_Slow_Window_Width",
                      "UV_Slow_Num_Windows", "UV_Slow_Warn_Thr", "UV_Slow_Alarm_Thr", "IRFastAbsDly", "IRFastAbsThr"}},
};
constexpr const char* kFov[] = {"FOV_EMA_Duration", "FOV_Fault_Threshold", "FOV_Normal_Threshold"};
constexpr int kHardware[] = {w::kHwMonth, w::kHwYear, w::kHwCpu, w::kHwIo};
constexpr const char* kHardwareCaptions[] = {"Month", "Year", "CPU Version", "I/O Version"};

const List kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kLastYear = 2100, kLastVersion = 15;

// The sensitivity lists in the setup dialog's order, metric and US.
List Sensitivities(ParamKind kind, bool us) {
    if (kind == ParamKind::Uvir) return us ? List{"10", "50", "93"} : List{"3", "15", "28"};
    return us ? List{"10", "50", "100", "150", "216", "300"} : List{"3", "15", "30", "45", "65", "90"};
}

const ParamField& Field(ParamKind kind, const char* name) { return *FindParamField(kind, name); }

bool IsHardware(const ParamField& f) {
    return f.type == ParamType::HwVersion || f.cell == w::kHwYear || f.cell == w::kHwMonth;
}
// The warn factor is typed as a percentage; the IR record keeps the fraction.
bool IsPercentFraction(ParamKind kind, const ParamField& f) {
    return kind == ParamKind::Ir && std::string_view(f.name) == "warnfactor";
}
bool IsFlag(const ParamField& f) {
    const std::string_view n = f.name;
    return n == "tier" || n == "is_no_grad";
}

template <class T>
std::string Shortest(T v) {
    std::array<char, 64> buf;
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed);
    if (ec != std::errc()) return std::to_string(v);
    return std::string(buf.data(), end);
}

std::string_view Trimmed(std::string_view t) {
    const size_t first = t.find_first_not_of(' '), last = t.find_last_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : t.substr(first, last - first + 1);
}

// The whole text as a number of the field's type, or nullopt.
std::optional<double> Parse(const ParamField& f, std::string_view text) {
    text = Trimmed(text);
    const char *first = text.data(), *last = text.data() + text.size();
    if (f.type == ParamType::F32 || f.type == ParamType::F64) {
        double v = 0;
        const auto [p, ec] = std::from_chars(first, last, v);
        if (ec != std::errc() || p != last || !std::isfinite(v)) return std::nullopt;
        return v;
    }
    uint64_t v = 0;
    const auto [p, ec] = std::from_chars(first, last, v);
    if (text.empty() || ec != std::errc() || p != last || v > ParamTypeMax(f.type)) return std::nullopt;
    return double(v);
}

// A float has no range to name: text that is no number is told so.
std::string Refusal(const ParamField& f) {
    if (f.type == ParamType::F32 || f.type == ParamType::F64) return std::string("'") + f.name + "' must be a number";
    return ParamRangeMessage(f.name, ParamTypeMax(f.type));
}

int Selection(const Form& form, int id, size_t entries) {
    const auto it = form.find(id);
    if (it == form.end()) return -1;
    const int v = it->second.value;
    return v >= 0 && size_t(v) < entries ? v : -1;
}

// What each hardware list selects for a record, and back.
std::array<int, 4> HardwareIndices(const ParamRecord& r) {
    const auto byName = [&](const char* name) { return int(*r.value(name)); };
    const int month = byName("dateHW_month"), year = byName("dateHW_year"), version = byName("vHW");
    const auto in = [](int index, int last) { return index >= 0 && index <= last ? index : -1; };
    return {in(month - 1, 11), in(year, kLastYear - 2000), in((version & 0x0F) - 1, kLastVersion - 1),
            in((version >> 4) - 1, kLastVersion - 1)};
}

}  // namespace

std::vector<std::string> HardwareList(int control) {
    List list;
    if (control == w::kHwMonth) return kMonths;
    if (control == w::kHwYear)
        for (int y = 2000; y <= kLastYear; ++y) list.push_back(std::to_string(y));
    else
        for (int v = 1; v <= kLastVersion; ++v) list.push_back(std::to_string(v));
    return list;
}

std::vector<ParamGridGroup> ParamGridLayout(ParamKind kind) {
    std::vector<ParamGridGroup> groups;
    std::set<const ParamField*> placed;
    int channelCaption = w::kChannelCaption;
    const auto row = [&](ParamGridGroup& g, const Named& n) {
        ParamGridRow r{n.alternative ? channelCaption++ : 0, n.caption, {&Field(kind, n.fire)}};
        if (n.benzene) r.fields.push_back(&Field(kind, n.benzene));
        placed.insert(r.fields.begin(), r.fields.end());
        g.rows.push_back(std::move(r));
    };
    const bool ir = kind == ParamKind::Ir;
    groups.push_back({"Thresholds (left: fire, right: benzene)", true, {}});
    for (const Named& n : ir ? std::span<const Named>(kIrArrays) : std::span<const Named>(kUvirArrays))
        row(groups.back(), n);
    for (const Scalars& s : ir ? kIrScalars : kUvirScalars) {
        groups.push_back({s.caption, false, {}});
        if (ir && std::string_view(s.caption) == "Fast Detection")
            for (const Named& n : kIrFast) row(groups.back(), n);
        for (const char* name : s.names) row(groups.back(), {name, nullptr, name, nullptr});
    }
    ParamGridGroup fov{"FOV", false, {}};
    for (const char* name : kFov) row(fov, {name, nullptr, name, nullptr});
    ParamGridGroup hardware{"Hardware", false, {}};
    for (size_t i = 0; i < std::size(kHardware); ++i) hardware.rows.push_back({0, kHardwareCaptions[i], {}, kHardware[i]});
    for (const ParamField& f : ParamFields(kind))
        if (IsHardware(f)) placed.insert(&f);
    ParamGridGroup general{"General", false, {}};
    for (const ParamField& f : ParamFields(kind))
        if (!placed.count(&f)) general.rows.push_back({0, std::string(f.name), {&f}});
    for (ParamGridGroup* g : {&general, &fov, &hardware}) groups.push_back(std::move(*g));
    return groups;
}

std::vector<int> ParamGridControls(ParamKind kind) {
    std::vector<int> ids;
    for (const ParamField& f : ParamFields(kind))
        if (!IsHardware(f))
            for (int i = 0; i < f.count; ++i) ids.push_back(f.cell + i);
    ids.insert(ids.end(), std::begin(kHardware), std::end(kHardware));
    return ids;
}

std::string ParamRangeMessage(std::string_view name, uint32_t maximum) {
    return "'" + std::string(name) + "' must be in the range [0.." + std::to_string(maximum) + "]";
}

std::string ParamCellText(const ParamField& f, double v) {
    switch (f.type) {
        case ParamType::F64: return Shortest(v);
        case ParamType::F32: return Shortest(float(v));
        default: return std::to_string(uint32_t(v));
    }
}

namespace {
std::string CellText(ParamKind kind, const ParamField& f, double v) {
    return ParamCellText(f, IsPercentFraction(kind, f) ? double(float(v)) * 100 : v);
}
}  // namespace

Form FillParamGrid(const ParamRecord& r, const ParamGridContext& c) {
    Form form;
    for (const ParamField& f : ParamFields(r.kind()))
        if (!IsHardware(f))
            for (int i = 0; i < f.count; ++i) form[f.cell + i].text = CellText(r.kind(), f, r.value(f, i));
    const std::array<int, 4> selected = HardwareIndices(r);
    for (size_t i = 0; i < selected.size(); ++i) {
        form[kHardware[i]].items = HardwareList(kHardware[i]);
        form[kHardware[i]].value = selected[i];
    }
    const List sensitivities = Sensitivities(c.kind, c.usUnits);
    for (int block = 0; block < 2; ++block)
        for (size_t e = 0; e < sensitivities.size(); ++e)
            form[w::kRowLabel + 6 * block + int(e)].text =
                c.usUnits ? sensitivities[e] + " ft" : sensitivities[e] + "m";
    const auto caption = [&](const Named& n, int& id) {
        if (n.alternative) form[id++].text = c.alternateSensor ? n.alternative : n.caption;
    };
    if (c.kind == ParamKind::Ir) {
        int id = w::kChannelCaption;
        for (const Named& n : kIrArrays) caption(n, id);
        for (const Named& n : kIrFast) caption(n, id);
    }
    return form;
}

ParamGridRead ReadParamGrid(const Form& form, ParamRecord& r) {
    ParamGridRead read;
    const auto fail = [&](int focus, std::string message) {
        if (!read.ok) return;
        read.ok = false;
        read.message = std::move(message);
        read.focus = focus;
    };
    const ParamKind kind = r.kind();
    for (const ParamField& f : ParamFields(kind)) {
        if (IsHardware(f)) continue;
        for (int i = 0; i < f.count; ++i) {
            const auto it = form.find(f.cell + i);
            if (it == form.end()) continue;
            const std::string& text = it->second.text;
            // What the record's value shows: its bits stay, whatever a parse would make of them.
            const bool untouched = text == CellText(kind, f, r.value(f, i));
            const auto v = Parse(f, text);
            if (!v) {
                if (!untouched) fail(f.cell + i, Refusal(f));
                continue;
            }
            const double stored = untouched ? r.value(f, i) : IsPercentFraction(kind, f) ? *v / 100 : *v;
            if (IsFlag(f) && *v != 0 && *v != 1)
                fail(f.cell, "Allowed values are '0' and '1'");
            // The rule the write applies, on the value that will be stored.
            else if (std::string_view(f.name) == "warnfactor" && !WarnFactorInRange(kind, stored))
                fail(f.cell, "'WarnFactor' must be in the range [30..90]");
            else if (!untouched && !r.setValue(f, i, stored))
                fail(f.cell + i, Refusal(f));
        }
    }
    std::array<int, 4> index{};
    for (size_t i = 0; i < index.size(); ++i) {
        index[i] = Selection(form, kHardware[i], HardwareList(kHardware[i]).size());
        if (index[i] >= 0) continue;
        index[i] = 0;
        read.show[kHardware[i]].value = 0;
        fail(kHardware[i], "HW date / version not set");
    }
    if (read.show.empty()) {
        r.setValue("dateHW_month", 0, index[0] + 1);
        r.setValue("dateHW_year", 0, index[1]);
        r.setValue("vHW", 0, ((index[3] + 1) << 4) | ((index[2] + 1) & 0x0F));
    }
    return read;
}
