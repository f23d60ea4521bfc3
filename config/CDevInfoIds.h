#pragma once
// "Device Info" (template 233): the modal dialog and the main window's page.
namespace devinfowin {
constexpr int kTemplate = 233;
constexpr int kBurn = 3159;
// Edits.
constexpr int kPollAddress = 3286, kMessage = 1911, kTag = 3283, kDescriptor = 1910,
              kLongTag = 3284, kDay = 3291, kMonth = 3290, kYear = 3289, kModel = 3399,
              kPreambles = 1918;
// The manufacturer list.
constexpr int kManufacturer = 3285;
// Displays.
constexpr int kFinalAssy = 3287, kChangeCounter = 1919, kDeviceId = 3288, kModelNumber = 1916;
// The fixed revision displays: "Universal", "Software", "Hardware", device.
constexpr int kUniversalRev = 3292, kSoftwareRev = 3293, kHardwareRev = 3294, kDeviceRev = 3295;
// The hint line under the text fields, and its timer.
constexpr int kHint = 4321, kHintTimer = 20202;
// Fills the controls once the record has come.
constexpr int kFillTimer = 10000;
}  // namespace devinfowin
