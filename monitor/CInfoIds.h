#pragma once
// Control and timer numbers of the two ADC recording windows: CInfo (the
// streamed recording) and CRec100Hz (the pulled one). The status line is 1906
// in both; the others are this tool's own.
namespace adcwin {
constexpr int kName = 1901, kComment = 1902, kStart = 1903, kStop = 1904, kConvert = 1905, kStatus = 1906,
              kPlot = 1907, kState = 1908, kElapsed = 1909, kDetector = 1910;
constexpr int kStreamTimer = 10106;  // 100 ms, the stream handler
constexpr int kPullTimer = 10107;    // 490 ms, one block pulled
}  // namespace adcwin
