#pragma once
// "Detector Setup" (template 243): the modal dialog and the main window's page.
namespace setupwin {
constexpr int kTemplate = 243;
constexpr int kApply = 1;  // "Apply Changes"
// Combos.
constexpr int kSensitivity = 1800, kDelay = 1801, kHeaterMode = 1805, kHeaterOnTemp = 1806, kHeaterPower = 1811;
// Check boxes.
constexpr int kAlarmLatch = 1802, kAutoBit = 1803, kAlarmOnBit = 1804, kAccessoryOnBit = 1809,
              kAccessoryOnWarning = 4400, kAccessoryEol = 4401, kAccessoryFov = 4402, kFov = 3373,
              kReserved = 3374, kExplosion = 3337, kFast = 3338;
// Edits.
constexpr int kFaultCount = 3301, kInterval = 3302, kPostManBit = 3304;
// Detection mode radios (UV/IR models).
constexpr int kIrOnly = 3339, kUvOnly = 3340, kUvir = 3341;
// Lock radios and "Reset Passwords".
constexpr int kNotSet = 4080, kNotLocked = 4081, kLocked = 4082, kResetPasswords = 4083;
constexpr int k420Settings = 3303;
// Unit labels.
constexpr int kDistanceUnit = 3313, kTemperatureUnit = 3311;
// F3 (accelerator table 182).
constexpr int kApplyKey = 32777;
// Fills the controls 150 ms after the record came.
constexpr int kFillTimer = 10000;
}  // namespace setupwin
