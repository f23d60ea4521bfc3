#pragma once
// The Miscellaneous page (template 253).
namespace miscwin {
constexpr int kTemplate = 253;
constexpr int kCalibration420 = 4360, kModbus = 4361, kFirmware = 4362, kHang = 4363, kReset = 4364,
              kParamsUpdate = 4368, kParamsDownload = 4369;
}  // namespace miscwin
