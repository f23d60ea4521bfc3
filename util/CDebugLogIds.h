#pragma once
// The console ("Log", dialog template 231).
namespace consolewin {
constexpr int kTemplate = 231;
constexpr int kGeneralList = 1000, kProtocolList = 1001;
constexpr int kPlaceTimer = 11111;  // stand beside the main window once it asks
}  // namespace consolewin
