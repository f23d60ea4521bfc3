#pragma once
// The patch editor's opening window (template 263).
namespace updateparamwin {
constexpr int kTemplate = 263;
constexpr int kFromDefaults = 4410, kFromDetector = 4411, kEditFile = 4412, kIr = 4413, kUvir = 4414;
}  // namespace updateparamwin
