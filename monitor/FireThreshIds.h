#pragma once
// Control and timer numbers of the live data windows: "Fire Thresholds" (IR,
// template 195, also the main window's Recording page), "UV/IR Fire
// Thresholds" (template 257, also its page) and the comment box (template
// 167). The value fields follow the log's columns: caption and value of
// column i are kCaption + i and kValue + i.
namespace firewin {
constexpr int kTemplate = 195, kUvirTemplate = 257, kCommentTemplate = 167;

// The four recording modes and the stop.
constexpr int kFast = 6001, kEvery1500 = 6002, kEveryMinute = 6003, kEvery15Minutes = 6004, kStop = 6005;
constexpr int kExtendedLog = 6010;  // "Extended Log" ("fExtendedLog", section "VantorD")
constexpr int kGradAlarm = 6011;    // "Gradalarm": the benz limits in the fail reasons
constexpr int kComment = 6012;      // "Insert Comment into Log"
// Replay of the last 50 records, shown once the ring has filled.
constexpr int kPlay = 6020, kPause = 6021, kStepOne = 6022, kLive = 6023;
constexpr int kStatusLine = 6030;  // the address asked and what came back
constexpr int kCaption = 6100, kValue = 6200;
constexpr int kMaxColumns = 64;

// The comment box: the edit field (259 characters at most) and "Insert" (IDOK).
constexpr int kCommentEdit = 6301;
constexpr int kCommentLimit = 259;

// Timers.
constexpr int kTickTimer = 10101;  // its own ticks when no poll clock runs
constexpr unsigned kTickPeriodMs = 50;
}  // namespace firewin
