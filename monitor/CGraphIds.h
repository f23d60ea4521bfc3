#pragma once
// Controls and timers of the trend page (template 235) and its two dialogs.
namespace graphwin {
// The page.
constexpr int kVin = 3401, kTemp = 3402, kMa = 3403, kTimeFrame = 3404, kPanLeft = 3405, kZoomOut = 3406,
              kPanRight = 3407, kLive = 3408, kExport = 3409, kSampleField = 3410, kDateField = 3411,
              kValueField = 3412, kPlot = 3413;
constexpr int kRedrawTimer = 10201, kReadOutTimer = 10000;

// "Time Frame Settings".
constexpr int kDuration = 3420, kDurationUnits = 3421, kFreq = 3422, kFreqUnits = 3423, kReset = 3424;

// "Zoom about -".
constexpr int kCentre = 3430, kRange = 3431;
}  // namespace graphwin
