#pragma once
// Dialog templates of the feature pages the main window hosts, and the
// controls of those pages that the shell writes.
namespace page {
constexpr int Select = 225, Network = 226, Status = 227, Recording = 195, UvirThresholds = 257, SetupTable = 130,
              Settings = 240, Misc = 253, Version = 261, DeviceInfo = 233, Logfile = 161, Trend = 235;

// The Select page.
constexpr int kAddressField = 3005, kBitButton = 1965;
// The Status page's gauges.
constexpr int kVoltage = 5001, kTemperature = 5002, kAnalog = 5003;
}  // namespace page
