#pragma once
// "FOV Parameters" (template 260): the parameter record's three FOV
// thresholds on sliders, and behind ">" the "Initial State" panel with the
// X, Y and Z bytes the detector keeps (display only).
#include <array>
#include <cstdint>

// The three thresholds as the record holds them (FOV_EMA_Duration,
// FOV_Fault_Threshold, FOV_Normal_Threshold).
struct FovThresholds {
    uint8_t emaDuration = 0;
    uint8_t fault = 0;
    uint8_t normal = 0;
    bool operator==(const FovThresholds&) const = default;
};

// X, Y, Z: the first three bytes of the IR record's reserved area at 908.
using FovInitialState = std::array<uint8_t, 3>;

namespace fovwin {
constexpr int kTemplate = 260;
constexpr int kOk = 1, kCancel = 2;
constexpr int kEmaSlider = 4450, kFaultSlider = 4451, kNormalSlider = 4452;
constexpr int kEmaValue = 4453, kFaultValue = 4454, kNormalValue = 4455;  // beside their sliders
constexpr int kMore = 4456;                                              // ">"
constexpr int kInitialState = 4457;                                      // the panel
constexpr int kX = 4458, kY = 4459, kZ = 4460;

struct Slider {
    int slider, value;
    const char* label;
    int min, max;
    uint8_t FovThresholds::*field;
};
constexpr Slider kSliders[] = {
    {kEmaSlider, kEmaValue, "EMA Duration", 1, 180, &FovThresholds::emaDuration},
    {kFaultSlider, kFaultValue, "Fault Threshold", 10, 20, &FovThresholds::fault},
    {kNormalSlider, kNormalValue, "Normal Threshold", 2, 8, &FovThresholds::normal}};
}  // namespace fovwin
