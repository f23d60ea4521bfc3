#pragma once
// The "Logfile" page of the main window: its controls and timers.
namespace flashwin {
constexpr int kTemplate = 161;
constexpr int kList = 1001, kGet = 1002, kCount = 1003, kMode = 1004, kPosition = 1005, kPageDown = 1006,
              kPageUp = 1007, kLineDown = 1008, kLineUp = 1009, kGetAll = 1010, kOpenLast = 1011, kWorkTime = 1012,
              kProgress = 1013, kStatus = 1014, kRemaining = 1015;
// Every control a download disables; "Get All Records" is the one left on while it runs (it aborts).
constexpr int kButtons[] = {kGet, kCount, kMode, kPosition, kPageDown, kPageUp, kLineDown, kLineUp, kGetAll, kOpenLast};
constexpr int kWorkTimer = 1, kProgressResetTimer = 2;
}  // namespace flashwin
