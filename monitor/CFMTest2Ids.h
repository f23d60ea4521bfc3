#pragma once
// "FM Approval Test" (CFMTest2).
namespace fmwin {
constexpr int kStartClear = 5301, kManualBit = 5302, kSave = 5303, kShowPcTimer = 5304;
constexpr int kFuel = 5311, kFacing = 5312, kAngle = 5313, kDistance = 5314, kDate = 5315, kTime = 5316;
// The eight rows (addresses 1 to 8): row r, column c.
constexpr int kCellBase = 5400, kColumns = 8;
enum Column { Label = 0, Address, Serial, Model, ModeState, Relay, Timer, PcTimer };
constexpr int Cell(int row, int column) { return kCellBase + row * kColumns + column; }
// The poll clock's tick while this window holds it, and the per-address BIT timer.
constexpr int kPollTick = 10101, kBitTimer = 10201;
constexpr unsigned kPollPeriodMs = 50;
}  // namespace fmwin
