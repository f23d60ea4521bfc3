// The parameter grid: what the cells, lists and captions show, the record
// read back bit for bit, and every rule a typed value meets, per record type.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "config/ParamGrid.h"
#include "config/ParamSession.h"
#include "config/ParamViewIds.h"

namespace {

namespace w = paramwin;
constexpr ParamKind kIr = ParamKind::Ir, kUvir = ParamKind::Uvir;

int Cell(ParamKind kind, const char* name, int i = 0) { return FindParamField(kind, name)->cell + i; }

TEST(ParamGrid, EveryValueHasOneCellAndTheLayoutShowsIt) {
    for (ParamKind kind : {kIr, kUvir}) {
        std::set<int> drawn;
        for (const ParamGridGroup& g : ParamGridLayout(kind))
            for (const ParamGridRow& row : g.rows) {
                if (row.list) {
                    EXPECT_TRUE(drawn.insert(row.list).second);
                }
                for (const ParamField* f : row.fields)
                    for (int i = 0; i < f->count; ++i) EXPECT_TRUE(drawn.insert(f->cell + i).second) << f->name;
            }
        const std::vector<int> controls = ParamGridControls(kind);
        EXPECT_EQ(drawn, std::set<int>(controls.begin(), controls.end()));
    }
}

TEST(ParamGrid, FillShowsUnitsAndChannels) {
    Form f = FillParamGrid(ParamRecord::Defaults(kIr), {kIr, true, true});
    EXPECT_EQ(std::tuple(f[Cell(kIr, "sum45")].text, f[Cell(kIr, "ratio45to4")].text, f[Cell(kIr, "warnfactor")].text),
              std::tuple("1000000000", "8.6", "90"));
    EXPECT_EQ(std::tuple(f[w::kRowLabel].text, f[w::kRowLabel + 11].text), std::tuple("10 ft", "300 ft"));
    EXPECT_EQ(std::tuple(f[w::kChannelCaption].text, f[w::kChannelCaption + 20].text), std::tuple("Sum 3", "Noise 3"));
    f = FillParamGrid(ParamRecord::Defaults(kIr), {kIr});
    EXPECT_EQ(std::tuple(f[w::kRowLabel + 5].text, f[w::kChannelCaption].text), std::tuple("90m", "Sum 4.4"));
    Form u = FillParamGrid(ParamRecord::Defaults(kUvir), {kUvir, true});
    EXPECT_EQ(std::tuple(u[Cell(kUvir, "warnfactor")].text, u[w::kRowLabel + 2].text, u[w::kRowLabel + 8].text),
              std::tuple("80", "93 ft", "93 ft"));
}

// Untouched cells give back the very bits, also of values no text shows
// exactly (a NaN, a float with more digits than a cell would show).
TEST(ParamGrid, UntouchedRecordReadsBackBitForBit) {
    for (ParamKind kind : {kIr, kUvir}) {
        ParamRecord r = ParamRecord::Defaults(kind);
        std::vector<uint8_t> bytes(r.bytes().begin(), r.bytes().end());
        const float nan = std::numeric_limits<float>::quiet_NaN(), odd = 0.1f + 1e-8f;
        std::memcpy(&bytes[kind == kIr ? 96 : 48], &nan, 4);
        std::memcpy(&bytes[kind == kIr ? 100 : 52], &odd, 4);
        const ParamRecord original = *ParamRecord::FromBytes(bytes);
        ParamRecord back = original;
        EXPECT_TRUE(ReadParamGrid(FillParamGrid(original, {kind}), back).ok);
        EXPECT_TRUE(back == original);
    }
    // A warn factor a float step above 0.9 shows as 90: the grid and the write
    // take it alike, so what the window passes is never refused at F3.
    ParamRecord r = ParamRecord::Defaults(kIr);
    ASSERT_TRUE(r.setValue("warnfactor", 0, std::nextafter(0.9f, 1.0f)));
    ParamRecord back = r;
    EXPECT_TRUE(ReadParamGrid(FillParamGrid(r, {kIr}), back).ok);
    EXPECT_TRUE(CheckParamsForWrite(back).ok);
}

// What a typed value may be, on otherwise untouched defaults: the message and
// the cell when refused. The write refuses what breaks the 0/1 and warn factor
// rules with the same message and cell (its table is in ParamSessionTest);
// here only the warn factor typed as a percentage.
TEST(ParamGrid, TypedValues) {
    // The field, element and typed text; the message (empty: accepted) and the value then stored.
    using Case = std::tuple<ParamKind, const char*, int, const char*, std::string, double>;
    const Case cases[] = {
        {kIr, "warnfactor", 0, "30", "", 0.3f},
        {kIr, "warnfactor", 0, "90", "", 0.9f},
        {kIr, "prnoisef", 0, "300", "'prnoisef' must be in the range [0..255]", 0},
        {kIr, "sumsize", 0, "12a", "'sumsize' must be in the range [0..255]", 0},
        {kIr, "sumsize", 0, " 89 ", "", 89},  // sumsize's own rule is the write's
        {kIr, "ordnum", 0, "4294967296", "'ordnum' must be in the range [0..4294967295]", 0},
        {kIr, "ordnum", 0, "-1", "'ordnum' must be in the range [0..4294967295]", 0},
        {kIr, "sum45", 3, "1e", "'sum45' must be a number", 0},
        {kIr, "sum45", 3, "1.25", "", 1.25},
        {kUvir, "warnfactor", 0, "80", "", 80},
        {kUvir, "hi_fltr_size", 0, "65536", "'hi_fltr_size' must be in the range [0..65535]", 0},
        {kUvir, "sum_first_pass", 2, "170.5", "", 170.5},
    };
    for (const auto& [kind, name, element, text, message, stored] : cases) {
        SCOPED_TRACE(std::string(name) + " " + text);
        const ParamRecord defaults = ParamRecord::Defaults(kind);
        ParamRecord r = defaults;
        Form f = FillParamGrid(r, {kind});
        const int cell = Cell(kind, name, element);
        f[cell].text = text;
        const ParamGridRead read = ReadParamGrid(f, r);
        EXPECT_EQ(std::tuple(read.ok, read.message, read.focus, *r.value(name, element)),
                  std::tuple(message.empty(), message, message.empty() ? 0 : cell,
                             message.empty() ? stored : *defaults.value(name, element)));
    }
}

// The lists by the record (version 0x33, February 2020; no I/O version in 0x05)
// and back: CPU index 2 and I/O index 3 make the version byte 0x43; every list
// must have a choice (the first is then chosen for the user).
TEST(ParamGrid, HardwareLists) {
    ParamRecord ir = ParamRecord::Defaults(kIr);
    const Form f = FillParamGrid(ir, {kIr});
    EXPECT_EQ(std::tuple(f.at(w::kHwCpu).value, f.at(w::kHwIo).value, f.at(w::kHwMonth).value, f.at(w::kHwYear).value),
              std::tuple(2, 2, 1, 20));
    EXPECT_EQ(std::tuple(f.at(w::kHwYear).items.size(), f.at(w::kHwYear).items.back(), f.at(w::kHwMonth).items[11],
                         f.at(w::kHwIo).items.size()),
              std::tuple(101u, "2100", "Dec", 15u));
    ASSERT_TRUE(ir.setValue("vHW", 0, 0x05));
    const Form noIo = FillParamGrid(ir, {kIr});
    EXPECT_EQ(std::tuple(noIo.at(w::kHwCpu).value, noIo.at(w::kHwIo).value), std::tuple(4, -1));

    ParamRecord r = ParamRecord::Defaults(kUvir);
    Form u = FillParamGrid(r, {kUvir});
    u[w::kHwCpu].value = 2, u[w::kHwIo].value = 3, u[w::kHwMonth].value = 11, u[w::kHwYear].value = 100;
    ASSERT_TRUE(ReadParamGrid(u, r).ok);
    EXPECT_EQ(std::tuple(*r.value("vHW"), *r.value("dateHW_month"), *r.value("dateHW_year")),
              std::tuple(0x43, 12, 100));
    u[w::kHwMonth].value = -1;
    const ParamGridRead read = ReadParamGrid(u, r);
    EXPECT_EQ(std::tuple(read.ok, read.message, read.focus, read.show.at(w::kHwMonth).value),
              std::tuple(false, "HW date / version not set", w::kHwMonth, 0));
}

}  // namespace
