#pragma once
// The one-line prompt of every elevation (template 238).
namespace reqinputwin {
constexpr int kTemplate = 238;
constexpr int kPrompt = 3281, kEdit = 3282, kMaint = 4080, kAdmin = 4081, kHint = 4321;
constexpr int kHintTimer = 20202;  // every 100 ms until the hint is cleared
constexpr int kFocusTimer = 1;     // once, 50 ms after opening: the edit takes the focus
}  // namespace reqinputwin
