#pragma once
// The Status page (template 227): the gauges are page::kVoltage, kTemperature
// and kAnalog; these are its other controls.
namespace statuspage {
constexpr int kBit = 5004;   // "&Built In Test (BIT)"
constexpr int kMode = 5005;  // the mode field
}  // namespace statuspage
