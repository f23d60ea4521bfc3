#pragma once
// The grid cells of the parameter record's fields, as the field table names
// them (element 0; element i is cell + i). The windows' other numbers are in
// config/ParamViewIds.h.
//
// IR arrays at 1600 + 6 x (array's place in the record) + element; UV/IR
// arrays at 1900 + 3 x place + element; scalars the two windows share (same
// name) share their id in 1400..1499; UV/IR-only scalars 1920..1999.
namespace paramcell {
// The FOV group, also the three values field-selection mode takes.
constexpr int kFovEma = 4421, kFovFault = 4423, kFovNormal = 4424;
// Cells the checks and handed-in values name.
constexpr int kSumsize = 1402, kSerial = 1414, kSumArraySize = 1933;
// The hardware lists: year, month, CPU and I/O version (the version field's cell is kHwCpu).
constexpr int kHwCpu = 1423, kHwIo = 1424, kHwYear = 1425, kHwMonth = 1426;
// Grid cells lie in this range (FOV group aside), clear of the windows'
// buttons and section fields at 1500..1505.
constexpr int kFirstCell = 1400, kLastCell = 1999, kFirstButton = 1500, kLastButton = 1505;
}  // namespace paramcell
