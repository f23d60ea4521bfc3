#pragma once
// The Settings page (template 240) and the "Host Settings" form (template 269).
namespace settingswin {
constexpr int kPageTemplate = 240, kFormTemplate = 269;
constexpr int kPortCombo = 1900, kSetPort = 3300, kDeviceManager = 1702, kMetric = 4080, kUs = 4081, kSetUnits = 3301;
}  // namespace settingswin
