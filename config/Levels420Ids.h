#pragma once
// "4-20 Settings": C420Settings (template 241, seven levels) and
// CUV420Settings (template 250, ten levels). Level i is edit 1905 + i.
namespace levels420win {
constexpr int kIrTemplate = 241, kUvirTemplate = 250;
constexpr int kOk = 1;
constexpr int kFirstEdit = 1905;
}  // namespace levels420win
