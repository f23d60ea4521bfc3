#pragma once
// The "Upload FW" window: its controls.
namespace upload {
constexpr int kTemplate = 4362;
constexpr int kStart = 1001, kChooseFile = 1002, kBlockSize = 1003, kAllowOlder = 1004, kProgress = 1005,
              kStatusLine = 1006, kMessages = 1007, kFilePath = 1008, kFileProduct = 1009, kFileVersion = 1010,
              kDetectorProduct = 1011, kDetectorVersion = 1012;
}  // namespace upload
