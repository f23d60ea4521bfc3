#pragma once
// "Search for Detectors in the RS485 LAN" (dialog template 258).
namespace searchwin {
constexpr int kTemplate = 258;
constexpr int kList = 3001;   // the progress lines
constexpr int kRange = 4321;  // "Searching for detectors in the address range: ..."
constexpr int kButton = 3320; // "Abort", then "Close"
// The window's own tick timer, when no poll clock runs.
constexpr int kTickTimer = 258;
}  // namespace searchwin
