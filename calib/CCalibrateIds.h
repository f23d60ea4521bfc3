#pragma once
// "Calibration" (CCalibrate, and CUVIRCalibration on the same class): the IR
// and UV/IR calibration of a group of detectors against the master at 247.
namespace calwin {
constexpr int kLogList = 4901, kStatus = 4902, kProgress = 4903, kMonitorLabel = 4904, kRowTitle = 4905;
constexpr int kLearnStart = 4910, kDuration = 4911, kAccumStart = 4912, kIterations = 4913, kBurn = 4914;
constexpr int kVerifyText = 4915, kDefaults = 4916, kHelp = 4917, kUvSumThr = 4918;
// Per row (0 the master, up to 8 slaves): the radio button, the "iter / stat"
// (later "S/N") field, four channel values (UV/IR: three and the UV sum).
constexpr int kRadio0 = 4920, kIterStat0 = 4930, kValue0 = 4940;  // kValue0 + 4 * row + channel
// The scale fields and the bands' lo and hi fields, by quantity (0..9).
constexpr int kScale0 = 4980, kLo0 = 4990, kHi0 = 5000;
}  // namespace calwin
