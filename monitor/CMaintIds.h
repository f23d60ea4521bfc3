#pragma once
// "Maintenance" (CMaint, and UVIRMaint on the same class).
namespace maintwin {
constexpr int kTemplate = 171;
constexpr int kAddress = 4701, kSerial = 4702, kModel = 4703, kModeState = 4704, kStateText = 4705;
// The five channel selectors and their value fields.
constexpr int kChannel0 = 4710, kValue0 = 4720;
constexpr int kChannels = 5;
constexpr int kBit = 4730, kRevert = 4731, kFold = 4732;
// The four BIT result fields: bit_vsum45, bit_vsum5, bit_vsum4, bit_vsum44.
constexpr int kBitResult0 = 4740;
// Timers: the focus move after opening, the window's own ticks without a
// poll clock, and the clearing of the BIT results.
constexpr int kFocusTimer = 10201, kTickTimer = 10101, kClearTimer = 10301;
}  // namespace maintwin
