#pragma once
// "Calibrate IR BIT" and "Calibrate UV BIT" (CCalibrateBIT, CCalibrateBIT_UV on one class).
namespace bitwin {
constexpr int kAddress = 4801, kSerial = 4802, kModel = 4803, kModeState = 4804;
constexpr int kReading0 = 4810;  // "IR BIT # 1".."# 3" or "UV BIT # 1".."# 3"
constexpr int kDarkAvg = 4814, kBrightAvg = 4815;
constexpr int kProgress = 4820, kResult = 4821;  // the two status lines
constexpr int kDark = 4830, kBright = 4831, kCalculate = 4832, kBurn = 4833, kMode = 4834;
constexpr int kButton1 = 4835;  // the test aid
constexpr int kDuration0 = 4840;  // UV: the three BIT durations
constexpr int kTickTimer = 10401;
}  // namespace bitwin
