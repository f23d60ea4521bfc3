#pragma once
// "Parameters" (template 131, IR) and "UVIR Parameters table" (template 249):
// one control set for both windows. A grid cell's id is in the record's field
// table (FindParamField(kind, name)->cell is element 0, element i is cell + i);
// the ids below are the ones code refers to by themselves.
//
// Cells: IR arrays at 1600 + 6 x (array's place in the record) + element;
// UV/IR arrays at 1900 + 3 x place + element; scalars the two windows share
// (same name) share their id in 1400..1499; UV/IR-only scalars 1920..1999.
namespace paramwin {
constexpr int kIrTemplate = 131, kUvirTemplate = 249;
// Buttons (accelerator table 182 gives F2..F5).
constexpr int kLoad = 1500, kSave = 1502, kWrite = 1503, kScreenshot = 4200, kEditFov = 4201, kSelectFields = 3403;
// Section numbers: F4 loads "..._%u" of field 1504, F5 saves to that of 1505.
constexpr int kLoadSection = 1504, kSaveSection = 1505;
// Sensitivity row labels "3m".."90m" ("%s ft" with US units), twelve of them.
constexpr int kRowLabel = 4100, kRowLabels = 12;
// The FOV group, also the three values field-selection mode takes.
constexpr int kFovEma = 4421, kFovFault = 4423, kFovNormal = 4424;
// Cells the checks and handed-in values name.
constexpr int kSumsize = 1402, kSerial = 1414, kSumArraySize = 1933;
// The hardware lists: year, month, CPU and I/O version (the version field's cell is kHwCpu).
constexpr int kHwCpu = 1423, kHwIo = 1424, kHwYear = 1425, kHwMonth = 1426;
// Grid cells lie in this range (FOV group aside).
constexpr int kFirstCell = 1400, kLastCell = 1999;
// Marks the benzene check's failing cells 5 ms after a refused write.
constexpr int kMarkTimer = 30403;
}  // namespace paramwin
