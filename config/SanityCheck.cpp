#include "config/SanityCheck.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "config/ParamSession.h"
#include "util/Log.h"
#include "util/Profile.h"

namespace {

constexpr double kTiny = 1e-8;
// A master file is read this far: one byte more than the larger record tells
// a longer file from a record.
constexpr size_t kMasterReadLimit = kIrParamSize + 1;
constexpr unsigned kErrorBox = MB_OK | MB_ICONEXCLAMATION;
constexpr const char* kErrorCaption = "DoSanityCheck() Error";

using Names = std::span<const std::string_view>;
using NamePairs = std::span<const std::pair<std::string_view, std::string_view>>;

constexpr std::string_view kIrEqual[] = {
    "prnoisef",          "sumsize",          "Meta_Short_Count",   "warnfactor",          "autobit",
    "tier",              "bitnoise",         "gradthresh",         "manbit",              "HtrOff_35_50",
    "model_no",          "BB44_RatFact",     "BB_corDiff",         "BB_corr",             "BBSumFactor",
    "BB45_RatFact",      "is_no_grad",       "delay_before_alarm", "DeltaHeatOff",        "LowRat44to45Dly",
    "minVoltage",        "Hydrogen",         "HiCorrNoise",        "LoCorrNoise",         "ChannelSelect",
    "RatFac",            "isEnableBBdetection", "f_ratio45to4_Thr", "f_ratio45to5_Thr",   "f_ratio44to4_Thr",
    "f_ratio44to5_Thr",  "f_ratio4to5_Thr",  "f_ratio45to44_Thr",  "IRFastAbsDly",        "FastIR_Hold_Time",
    "DecisionBranch",    "LockPulseTime",    "IRFastAbsThr44",     "IRFastAbsThr45",      "FOV_EMA_Duration",
    "FOV_Fault_Threshold", "FOV_Normal_Threshold"};
constexpr std::string_view kUvirEqual[] = {
    "first_fltr_size",      "hi_fltr_size",        "lo_fltr_size",         "lo_fltr_size1",
    "lo_fltr_size2",        "FirstAvgFact",        "autobit",              "manbit",
    "UVBIT_Thr",            "warnfactor",          "gradthresh",           "UVTubeVol",
    "IRFastAbsThr",         "HtrOff_35_50",        "sum_array_size",       "saved_uv_bit_val",
    "UV_BIT_Duration",      "tier",                "UV_Fast_Window_Width", "UV_Fast_Det_Thr",
    "UVIR_Fast_Hold_Time",  "UV_Slow_Window_Width", "UV_Slow_Num_Windows", "UV_Slow_Warn_Thr",
    "UV_Slow_Alarm_Thr",    "Alarm_Hold_Time",     "gainFactor",           "FOV_EMA_Duration",
    "FOV_Fault_Threshold",  "FOV_Normal_Threshold"};

constexpr std::string_view kIrBand[] = {
    "sum45",      "ratio45to4",     "ratio45to5",     "ratio44to45",        "ratio4to5",
    "sum45benz",  "ratio45to4benz", "ratio45to5benz", "ratio44to45benz",    "ratio4to5benz",
    "sum44",      "ratio44to4",     "ratio44to5",     "ratio44to45Hyd",     "ratio4to5Hyd",
    "sum44benz",  "ratio44to4benz", "ratio44to5benz", "ratio44to45Hydbenz", "ratio4to5Hydbenz"};
constexpr std::string_view kUvirBand[] = {"sum_first_pass", "sum_first_pass_benz", "ratio_hi",
                                          "ratiohi_benz",   "ratio_lo",            "ratiolo_benz"};

constexpr std::pair<std::string_view, std::string_view> kIrBenzene[] = {
    {"sum45", "sum45benz"},
    {"sum44", "sum44benz"},
    {"ratio45to4", "ratio45to4benz"},
    {"ratio45to5", "ratio45to5benz"},
    {"ratio44to45", "ratio44to45benz"},
    {"ratio4to5", "ratio4to5benz"},
    {"ratio44to4", "ratio44to4benz"},
    {"ratio44to5", "ratio44to5benz"},
    {"ratio44to45Hyd", "ratio44to45Hydbenz"},
    {"ratio4to5Hyd", "ratio4to5Hydbenz"},
    {"cor45to4", "cor45to4benz"},
    {"cor45to5", "cor45to5benz"},
    {"cor44to4", "cor44to4benz"},
    {"cor44to5", "cor44to5benz"},
    {"cor44to45", "cor44to45benz"},
    {"cor44to45Hyd", "cor44to45Hydbenz"}};
constexpr std::pair<std::string_view, std::string_view> kUvirBenzene[] = {{"sum_first_pass", "sum_first_pass_benz"}};

Names equalNames(ParamKind k) { return k == ParamKind::Ir ? Names(kIrEqual) : Names(kUvirEqual); }
Names bandNames(ParamKind k) { return k == ParamKind::Ir ? Names(kIrBand) : Names(kUvirBand); }
NamePairs benzenePairs(ParamKind k) { return k == ParamKind::Ir ? NamePairs(kIrBenzene) : NamePairs(kUvirBenzene); }
// Sensitivity elements of the calibrated arrays.
size_t elements(ParamKind k) { return k == ParamKind::Ir ? 6 : 3; }

// The tables above name fields of the record's own table; a name it lacks is
// a fault of this file, not of the data.
const ParamField& fieldOf(ParamKind kind, std::string_view name) {
    const ParamField* f = FindParamField(kind, name);
    if (!f) throw std::logic_error("no parameter field " + std::string(name));
    return *f;
}

void requireOneKind(const ParamRecord& a, const ParamRecord& b) {
    if (a.kind() != b.kind()) throw std::invalid_argument("sanity check of records of two kinds");
}

class Failures {
public:
    explicit Failures(const char* prefix) { result_.list = prefix; }
    void add(const std::string& entry) {
        ++result_.failures;
        if (result_.list.size() + entry.size() <= kMaxFailureList) result_.list += entry;
    }
    void add(size_t element, size_t k) { add(" " + std::to_string(element) + "," + std::to_string(k)); }
    CheckResult result() const { return result_; }

private:
    CheckResult result_;
};

bool sameValue(const ParamField& f, double m, double d) {
    if (f.type == ParamType::F32 || f.type == ParamType::F64) return std::fabs(m - d) < kTiny;  // NaN differs
    return m == d;
}

bool withinBand(double m, double d) {
    if (d < kTiny) {
        d = kTiny;
        if (m < kTiny) m = kTiny;
    }
    const double ratio = m / d;
    return ratio >= 0.5 && ratio <= 2.0;  // NaN is outside
}

bool aboveBenzene(double fire, double benzene, double factor) {
    if (benzene < kTiny) {
        if (fire < kTiny) return true;
        benzene = kTiny;
    }
    return fire / benzene >= factor;  // NaN is below
}

int cellOf(const ParamField& f, size_t element) { return f.cell ? f.cell + static_cast<int>(element) : 0; }

// Reads at most `limit` bytes of a file; nullopt when it cannot be opened.
std::optional<std::vector<uint8_t>> readHead(const std::string& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes(limit);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

void writeOrLog(const std::string& file, const std::string& section, const std::string& key, const std::string& v) {
    if (!ProfileWriteString(file, section, key, v))
        DebugLog("%s [%s] %s not written: %s", file.c_str(), section.c_str(), key.c_str(), std::strerror(errno));
}

// The master file of a type byte; nullptr when no master serves it.
struct MasterOfType {
    uint8_t types[2];
    const char* file;
    ParamKind kind;
};
constexpr MasterOfType kMasters[] = {{{128, 144}, "MasterParam_I.bin", ParamKind::Ir},
                                     {{133, 149}, "MasterParam_M.bin", ParamKind::Ir},
                                     {{130, 146}, "MasterParam_LB.bin", ParamKind::Uvir},
                                     {{136, 152}, "MasterParam_L4B.bin", ParamKind::Uvir}};
const MasterOfType* masterOfType(uint8_t type) {
    for (const auto& m : kMasters)
        if (m.types[0] == type || m.types[1] == type) return &m;
    return nullptr;
}

}  // namespace

CheckResult EquateNonCalib(const ParamRecord& master, const ParamRecord& detector) {
    requireOneKind(master, detector);
    Failures failures("NonCalib: ");
    const Names names = equalNames(master.kind());
    for (size_t n = 0; n < names.size(); ++n) {
        const ParamField& f = fieldOf(master.kind(), names[n]);
        bool same = true;
        for (size_t i = 0; i < f.count; ++i) same = same && sameValue(f, master.value(f, i), detector.value(f, i));
        if (!same) failures.add(" " + std::to_string(n));
    }
    return failures.result();
}

CheckResult CompareCalib(const ParamRecord& master, const ParamRecord& detector) {
    requireOneKind(master, detector);
    Failures failures("CalibMasterToSlave: ");
    const Names names = bandNames(master.kind());
    for (size_t e = 0; e < elements(master.kind()); ++e)
        for (size_t k = 0; k < names.size(); ++k) {
            const ParamField& f = fieldOf(master.kind(), names[k]);
            if (!withinBand(master.value(f, e), detector.value(f, e))) failures.add(e, k);
        }
    return failures.result();
}

CheckResult CompareBenzine(const ParamRecord& detector, double factor, std::vector<CellPair>* cells) {
    Failures failures("CalibSlaveToSlave: ");
    const NamePairs pairs = benzenePairs(detector.kind());
    for (size_t e = 0; e < elements(detector.kind()); ++e)
        for (size_t k = 0; k < pairs.size(); ++k) {
            const ParamField& fire = fieldOf(detector.kind(), pairs[k].first);
            const ParamField& benzene = fieldOf(detector.kind(), pairs[k].second);
            // Only the two most sensitive ranges carry a benzene margin.
            if (aboveBenzene(detector.value(fire, e), detector.value(benzene, e), e < 2 ? factor : 0.0)) continue;
            failures.add(e, k);
            if (cells && cells->size() < kMaxMarkedPairs) cells->emplace_back(cellOf(fire, e), cellOf(benzene, e));
        }
    return failures.result();
}

int CheckSlave2Slave(const ParamRecord& detector, double factor, std::vector<CellPair>* cells) {
    return CompareBenzine(detector, factor, cells).failures;
}

SanityReport RunSanityChecks(const ParamRecord& master, const ParamRecord& detector) {
    return {EquateNonCalib(master, detector), CompareCalib(master, detector),
            CompareBenzine(detector, kBenzeneFactor)};
}

SanityRun DoSanityCheck(Panel& panel, const std::string& inputIni, const std::string& outputIni,
                        const std::string& masterFile) {
    SanityRun run;
    ProfileDeleteSection(outputIni, "General");
    for (const auto& section : run.report.sections()) ProfileDeleteSection(outputIni, section.first);
    const auto stop = [&](SanityOutcome outcome, const std::string& text, const char* caption) {
        panel.ask(text, caption, kErrorBox);
        run.outcome = outcome;
        return run;
    };

    const std::string path =
        masterFile.empty() ? ProfileGetString(inputIni, "SanityCheck", "szMasterParamBinFile", "") : masterFile;
    if (path.empty())
        return stop(SanityOutcome::InputProblem,
                    "Section [SanityCheck] flag 'szMasterParamBinFile' empty or not found in \".\\" + inputIni + "\"",
                    kErrorCaption);
    const auto bytes = readHead(path, kMasterReadLimit);
    if (!bytes) return stop(SanityOutcome::InputProblem, "Failed opening \"" + path + "\" for reading", kErrorCaption);
    const auto master = ParamRecord::FromBytes(*bytes);
    if (!master)
        return stop(SanityOutcome::InputProblem,
                    "Master BIN-file size (" + std::to_string(bytes->size()) + ") not IR3 nor UVIR", kErrorCaption);

    const auto detector = ReadParams();
    if (!detector) {
        writeOrLog(outputIni, "General", "S/N", "-1");
        return stop(SanityOutcome::NoAnswer, "Detector failed to respond...", "Error");
    }
    run.serial = detector->ordnum();
    writeOrLog(outputIni, "General", "S/N", std::to_string(run.serial));
    if (detector->kind() != master->kind())
        return stop(SanityOutcome::TypeMismatch, "Master BIN-file type doesn't match the detector", kErrorCaption);

    run.report = RunSanityChecks(*master, *detector);
    for (const auto& [section, check] : run.report.sections())
        if (!check->passed()) writeOrLog(outputIni, section, "FailureIndices", check->list);
    if (run.report.total())
        return stop(SanityOutcome::Failed, "Sanity Check failure.\r\nSee \"SanityCheckOutput.ini\" for details.",
                    kErrorCaption);
    panel.ask("Parameters OK!", "DoSanityCheck:", MB_OK | MB_ICONINFORMATION);
    run.outcome = SanityOutcome::Passed;
    return run;
}

int CheckDetectorByType(unsigned index, uint8_t typeByte, const ParamRecord& detector,
                        const std::string& mastersFolder, const std::string& outputIni) {
    const std::string section = "SanityCheck" + std::to_string(index);
    // A check that cannot run must not leave an earlier run's pass behind.
    ProfileDeleteSection(outputIni, section);
    const MasterOfType* type = masterOfType(typeByte);
    if (!type) return -6;
    const auto bytes = readHead(mastersFolder + "/" + type->file, kMasterReadLimit);
    if (!bytes) return -7;
    const auto master = ParamRecord::FromBytes(*bytes);
    if (!master) return -9;
    if (master->kind() != type->kind || detector.kind() != type->kind) return -8;

    const SanityReport report = RunSanityChecks(*master, detector);
    if (!ProfileWriteStrings(outputIni, section,
                             {{"SerialNo", std::to_string(detector.ordnum())},
                              {"EquateNonCalibFailures", report.nonCalib.list},
                              {"CompareCalibFailures", report.calib.list},
                              {"CompareBenzineFailures", report.benzine.list},
                              {"TotalFailures", std::to_string(report.total())}}))
        DebugLog("%s [%s] not written: %s", outputIni.c_str(), section.c_str(), std::strerror(errno));
    return report.total() ? -10 : 0;
}
