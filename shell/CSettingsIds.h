#pragma once
// The Settings page (template 240) and the "Host Settings" form (template 269).
namespace settingswin {
constexpr int kPageTemplate = 240, kFormTemplate = 269;
constexpr int kPortCombo = 1900, kSetPort = 3300, kDeviceManager = 1702, kMetric = 4080, kUs = 4081, kSetUnits = 3301;
// While the page or form is shown, the port list follows adapters plugged in and pulled out.
constexpr int kPortWatchTimer = 1, kPortWatchMs = 1000;
// Appended to the stored list line while its port is not present.
constexpr const char* kMissingMark = "  (missing)";
}  // namespace settingswin
