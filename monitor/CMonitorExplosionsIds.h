#pragma once
// "Monitor Explosions" (CMonitorExplosions).
namespace explosionwin {
constexpr int kErase = 5101, kGenerate = 5102, kRetrieve = 5103, kSummary = 5104, kClear = 5105, kCopy = 5106;
constexpr int kView = 5110;
// Legend labels: "PASS", "Fail", "FAIL".
constexpr int kLegendPass = 5121, kLegendFail = 5122, kLegendFatal = 5123;
// The result table: row r, column c (address, S/N, time, fail code).
constexpr int kCellBase = 5200, kColumns = 4;
constexpr int Cell(int row, int column) { return kCellBase + row * kColumns + column; }
enum Column { Address = 0, Serial = 1, Time = 2, Fail = 3 };
// The two steps' timers.
constexpr int kEraseTimer = 1, kRetrieveTimer = 2;
}  // namespace explosionwin
