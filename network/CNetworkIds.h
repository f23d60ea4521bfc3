#pragma once
// "Detector Network": template 226 as the main window's page, 176 as a modal dialog.
namespace netwin {
constexpr int kPageTemplate = 226, kModalTemplate = 176;
// The five page buttons, one per range of up to 50 addresses.
constexpr int kPageButton = 4080, kPages = 5;
// The address boxes of the page shown, and the separate box of address 247.
constexpr int kFirstBox = 3117, kBoxes = 50, kBox247 = 3167;
constexpr int kSave = 4200, kClearAllPages = 4201, kSetPage = 4202, kClearPage = 4203, kSaveAsStartup = 3080,
              kSearchPage = 3382, kRangeCaption = 3241;
}  // namespace netwin
