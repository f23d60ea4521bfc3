#pragma once
// "DCI Models: 4.4um vs 4.5um Calibration" (CDCICalib).
namespace dciwin {
constexpr int kAddress = 4901, kMode = 4902, kState = 4903, kModel = 4904, kSerial = 4905;
// The four channel values, then their averages while averaging: 45, 5, 4, 44.
constexpr int kValue0 = 4910;
constexpr int kSumsLabel = 4915, kFactor = 4916, kDuration = 4917, kProgress = 4918;
constexpr int kStart = 4920, kBurn = 4921, kView = 4922, kMaster = 4923;
// Hidden: the value fields' result state (dci::kFields*), which picks their colours.
constexpr int kFieldsState = 4930;
constexpr int kPollTimer = 10601, kDurationTimer = 10602;
}  // namespace dciwin
