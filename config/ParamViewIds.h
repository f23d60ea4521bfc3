#pragma once
// "Parameters" (template 131, IR) and "UVIR Parameters table" (template 249):
// one control set for both windows. A grid cell's id is in the record's field
// table (FindParamField(kind, name)->cell is element 0, element i is cell + i);
// the ids below are the ones code refers to by themselves.
#include "protocol/records/ParamCells.h"

namespace paramwin {
using namespace paramcell;  // the cells, which the record's field table holds
constexpr int kIrTemplate = 131, kUvirTemplate = 249;
// Buttons (accelerator table 182 gives F2..F5).
constexpr int kLoad = 1500, kSave = 1502, kWrite = 1503, kScreenshot = 4200, kEditFov = 4201, kSelectFields = 3403;
// Section numbers: F4 loads "..._%u" of field 1504, F5 saves to that of 1505.
constexpr int kLoadSection = 1504, kSaveSection = 1505;
static_assert(kLoad == kFirstButton && kSaveSection == kLastButton, "the cells keep clear of these");
// Sensitivity row labels "3m".."90m" ("%s ft" with US units), twelve of them.
constexpr int kRowLabel = 4100, kRowLabels = 12;
// Marks the benzene check's failing cells 5 ms after a refused write.
constexpr int kMarkTimer = 30403;
}  // namespace paramwin
