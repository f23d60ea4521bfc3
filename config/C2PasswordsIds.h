#pragma once
// "Detector Permissions" (template 252).
namespace passwordswin {
constexpr int kTemplate = 252;
constexpr int kMaint = 4350, kMaintAgain = 4351, kAdmin = 4352, kAdminAgain = 4353;
constexpr int kShow = 3117, kHint = 4321;
constexpr int kHintTimer = 20202;  // every 100 ms until the hint is cleared
}  // namespace passwordswin
