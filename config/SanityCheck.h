#pragma once
// A calibrated detector's parameter record against its master record: the
// fields calibration never touches must be equal, the calibrated thresholds
// must stay within a factor band of the master's, and every fire threshold
// must stay safely above its benzene counterpart. The checks are plain
// functions of records; DoSanityCheck and the per-detector check add the
// files and the detector around them.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "protocol/records/ParamRecord.h"
#include "util/Panel.h"

// The result of one check. `list` is the failure list: the check's prefix
// ("NonCalib: ", "CalibMasterToSlave: ", "CalibSlaveToSlave: ") and one entry
// per failing comparison while it fits kMaxFailureList characters;
// `failures` counts every failing comparison, also those left out of the text.
struct CheckResult {
    int failures = 0;
    std::string list;
    bool passed() const { return failures == 0; }
};
constexpr size_t kMaxFailureList = 1024;

// Equality of the non-calibrated fields; entries " %u" with the comparison
// number. IR compares (0..41) prnoisef, sumsize, Meta_Short_Count, warnfactor,
// autobit, tier, bitnoise, gradthresh, manbit, HtrOff_35_50, model_no,
// BB44_RatFact, BB_corDiff, BB_corr, BBSumFactor, BB45_RatFact, is_no_grad,
// delay_before_alarm, DeltaHeatOff, LowRat44to45Dly, minVoltage, Hydrogen,
// HiCorrNoise, LoCorrNoise, ChannelSelect, RatFac, isEnableBBdetection,
// f_ratio45to4_Thr, f_ratio45to5_Thr, f_ratio44to4_Thr, f_ratio44to5_Thr,
// f_ratio4to5_Thr, f_ratio45to44_Thr, IRFastAbsDly, FastIR_Hold_Time,
// DecisionBranch, LockPulseTime, IRFastAbsThr44, IRFastAbsThr45,
// FOV_EMA_Duration, FOV_Fault_Threshold, FOV_Normal_Threshold.
// UV/IR compares (0..29) first_fltr_size, hi_fltr_size, lo_fltr_size,
// lo_fltr_size1, lo_fltr_size2, FirstAvgFact, autobit, manbit, UVBIT_Thr,
// warnfactor, gradthresh, UVTubeVol, IRFastAbsThr, HtrOff_35_50,
// sum_array_size, saved_uv_bit_val, UV_BIT_Duration, tier,
// UV_Fast_Window_Width, UV_Fast_Det_Thr, UVIR_Fast_Hold_Time,
// UV_Slow_Window_Width, UV_Slow_Num_Windows, UV_Slow_Warn_Thr,
// UV_Slow_Alarm_Thr, Alarm_Hold_Time, gainFactor, FOV_EMA_Duration,
// FOV_Fault_Threshold, FOV_Normal_Threshold.
// Integers fail when different, floats unless they differ by less than 1e-8.
// Both records must be of one kind.
CheckResult EquateNonCalib(const ParamRecord& master, const ParamRecord& detector);

// The calibrated arrays within 0.5..2.0 of the master's (master / detector),
// per sensitivity element; entries " %u,%u" (element, array).
CheckResult CompareCalib(const ParamRecord& master, const ParamRecord& detector);

// A grid cell pair (fire field's control, benzene field's control) of a
// failing benzene comparison, for the parameter window to mark.
using CellPair = std::pair<int, int>;
constexpr size_t kMaxMarkedPairs = 400;

// Every fire threshold at least `factor` times its benzene threshold, for
// sensitivity elements 0 and 1 (the others only must not be negative ratios);
// entries " %u,%u" (element, pair). `cells` (when given) receives the
// controls of up to kMaxMarkedPairs failing pairs.
CheckResult CompareBenzine(const ParamRecord& detector, double factor, std::vector<CellPair>* cells = nullptr);
// The window's form of it: the count of failing pairs (non-zero: refuse the write).
int CheckSlave2Slave(const ParamRecord& detector, double factor, std::vector<CellPair>* cells = nullptr);

// The factor of the sanity check and of the windows' check before a write.
constexpr double kBenzeneFactor = 1.5;

struct SanityReport {
    CheckResult nonCalib, calib, benzine;
    int total() const { return nonCalib.failures + calib.failures + benzine.failures; }
    // The checks in order, named as their sections of SanityCheckOutput.ini.
    std::array<std::pair<const char*, const CheckResult*>, 3> sections() const {
        return {{{"EquateNonCalib", &nonCalib}, {"CompareCalib", &calib}, {"CompareBenzine", &benzine}}};
    }
};
// The three checks; the records must be of one kind.
SanityReport RunSanityChecks(const ParamRecord& master, const ParamRecord& detector);

enum class SanityOutcome {
    Passed,        // "Parameters OK!"
    Failed,        // "Sanity Check failure. ..."; the lists are in the output file
    InputProblem,  // no master named, it cannot be opened or is neither size
    NoAnswer,      // "Detector failed to respond...": S/N -1, nothing compared
    TypeMismatch,  // the detector's record is of the master's other kind: nothing compared
};
struct SanityRun {
    SanityOutcome outcome = SanityOutcome::InputProblem;
    long long serial = -1;  // the record's ordnum once the detector answered
    SanityReport report;
};

// The console's "Sanity Check", a procedure on the link worker. Removes the
// output's General, EquateNonCalib, CompareCalib and CompareBenzine sections
// first, so that no list outlives its run; takes the master file named by
// [SanityCheck] szMasterParamBinFile of `inputIni` (or `masterFile` when not
// empty), reads the selected detector's record (ReadParams: a record of the
// answering model's kind and size, else no answer), writes [General] S/N and the failed checks' lists
// (FailureIndices) into `outputIni`, and shows the result on `panel`.
SanityRun DoSanityCheck(Panel& panel, const std::string& inputIni = "SanityCheckInput.ini",
                        const std::string& outputIni = "SanityCheckOutput.ini", const std::string& masterFile = "");

// The per-detector check of the screenshot run, for detector `index` whose
// answers carry `typeByte` (header byte 5) and whose record is `detector`.
// The master is chosen by the type byte from `mastersFolder`
// (MasterParam_I.bin, _M, _LB, _L4B). Returns 0 when every check passed,
// -6 for a type byte of no master, -7 when the master cannot be opened, -8
// when it is a record of the other kind, -9 when it is neither 984 nor 224
// bytes, -10 when a check failed. Section "SanityCheck<index>" of
// `outputIni` is removed first and, once the checks ran, holds SerialNo, the
// three lists (a passed check's is its bare prefix) and TotalFailures.
int CheckDetectorByType(unsigned index, uint8_t typeByte, const ParamRecord& detector,
                        const std::string& mastersFolder = "Masters",
                        const std::string& outputIni = "ScreenshotOutput.ini");
