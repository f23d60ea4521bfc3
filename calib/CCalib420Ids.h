#pragma once
// "4-20 Scale Calibration" (CCalib420).
#include "util/Panel.h"

namespace c420 {
constexpr int kList = 1000, kSet = 1001, kApply = 1002, kBurn = IDOK;
constexpr int kRadio4 = 1003, kRadio20 = 1004, kReading = 1005;
// The 500 ms window timer and the idle time-out's check.
constexpr int kTickTimer = 10501, kIdleTimer = 10502;
}  // namespace c420
