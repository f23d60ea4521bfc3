#pragma once
// The parameter views' grid as logic sees it: which cell shows which value
// (from the record's field table), the captions by units and channel set,
// the hardware lists, filling the cells from a record and reading them back
// with every rule a typed value must pass. The windows only draw it.
#include <string>
#include <vector>

#include "protocol/records/ParamRecord.h"
#include "util/Form.h"

namespace paramwin {
// Row captions that name channels, numbered from here in layout order: the
// alternative channel set renames them.
constexpr int kChannelCaption = 4130;
}  // namespace paramwin

struct ParamGridContext {
    ParamKind kind = ParamKind::Ir;
    bool usUnits = false;          // sensitivity headers in feet
    bool alternateSensor = false;  // the detector reports the alternative channel set
};

// One line of the grid: a caption and the fields it shows side by side, each
// with its cells (an array's elements; the fire array, then its benzene array).
struct ParamGridRow {
    int label = 0;  // the caption's control; 0: a caption that never changes
    std::string caption;
    std::vector<const ParamField*> fields;
    int list = 0;  // a hardware list instead of fields
};
struct ParamGridGroup {
    std::string caption;
    // Arrays: headers of the sensitivities above each block of cells,
    // paramwin::kRowLabel + 6 x block + element.
    bool arrays = false;
    std::vector<ParamGridRow> rows;
};
// Every field of the kind appears once: the arrays in fire / benzene pairs,
// the scalars in groups, the hardware fields (shown as lists) in "Hardware",
// the FOV bytes in "FOV".
std::vector<ParamGridGroup> ParamGridLayout(ParamKind kind);

// The hardware lists' entries: month "Jan".."Dec", year "2000".."2100",
// CPU and I/O version "1".."15".
std::vector<std::string> HardwareList(int control);

// Every control the grid fills and reads: the cells and the four lists.
std::vector<int> ParamGridControls(ParamKind kind);

// The text a cell shows for a value (IR warnfactor as 100 x the fraction).
std::string ParamCellText(const ParamField& field, double value);

// "'%s' must be in the range [0..%u]": a value too big for its field, or
// text that is no number where a whole number belongs.
std::string ParamRangeMessage(std::string_view name, uint32_t maximum);

// Cells, lists (entries and selection), sensitivity headers and captions.
Form FillParamGrid(const ParamRecord& record, const ParamGridContext& context);

struct ParamGridRead {
    bool ok = true;
    std::string message;  // shown with caption "Error" when !ok
    int focus = 0;        // the control to select
    Form show;            // what the window shows besides (a list set to its first entry)
};
// Reads `form` into `record`: every cell's number, checked against its
// field, the 0/1 fields, the warn factor and the hardware lists. A cell
// whose text is what the record's value shows leaves the value's bits alone,
// so an untouched record reads back bit for bit. Reads on past a failure;
// the first one is returned.
ParamGridRead ReadParamGrid(const Form& form, ParamRecord& record);
