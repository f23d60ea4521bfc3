// The parameter grid: what the cells, lists and captions show, the record
// read back bit for bit, and every rule a typed value meets, per record type.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "config/ParamGrid.h"
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

TEST(ParamGrid, FillShowsUnitsChannelsAndHardware) {
    ParamRecord ir = ParamRecord::Defaults(kIr);
    Form f = FillParamGrid(ir, {kIr, true, true});
    EXPECT_EQ(f[Cell(kIr, "sum45")].text, "1000000000");
    EXPECT_EQ(f[Cell(kIr, "ratio45to4")].text, "8.6");
    EXPECT_EQ(f[Cell(kIr, "warnfactor")].text, "90");
    EXPECT_EQ(std::tuple(f[w::kRowLabel].text, f[w::kRowLabel + 11].text), std::tuple("10 ft", "300 ft"));
    EXPECT_EQ(std::tuple(f[w::kChannelCaption].text, f[w::kChannelCaption + 20].text), std::tuple("Sum 3", "Noise 3"));
    // Defaults: version 0x33, February 2020.
    EXPECT_EQ(std::tuple(f[w::kHwCpu].value, f[w::kHwIo].value, f[w::kHwMonth].value, f[w::kHwYear].value),
              std::tuple(2, 2, 1, 20));
    EXPECT_EQ(std::tuple(f[w::kHwYear].items.size(), f[w::kHwYear].items.back(), f[w::kHwMonth].items[11],
                         f[w::kHwIo].items.size()),
              std::tuple(101u, "2100", "Dec", 15u));
    ASSERT_TRUE(ir.setValue("vHW", 0, 0x05));  // no I/O version
    f = FillParamGrid(ir, {kIr});
    EXPECT_EQ(std::tuple(f[w::kHwCpu].value, f[w::kHwIo].value), std::tuple(4, -1));
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
}

// Each rule where a typed value meets it: the message and the cell, on
// otherwise untouched defaults.
TEST(ParamGrid, TypedValuesAndTheirRules) {
    const std::string wf = "'WarnFactor' must be in the range [30..90]", flag = "Allowed values are '0' and '1'";
    const struct {
        ParamKind kind;
        const char* name;
        int element;
        const char* text;
        std::string message;  // empty: accepted
        double stored = 0;
    } cases[] = {
        {kIr, "warnfactor", 0, "29", wf},
        {kIr, "warnfactor", 0, "30", "", 0.3f},
        {kIr, "warnfactor", 0, "80", "", 0.8f},
        {kIr, "warnfactor", 0, "90", "", 0.9f},
        {kIr, "warnfactor", 0, "91", wf},
        {kIr, "tier", 0, "2", flag},
        {kIr, "is_no_grad", 0, "1", "", 1},
        {kIr, "prnoisef", 0, "300", "'prnoisef' must be in the range [0..255]"},
        {kIr, "sumsize", 0, "12a", "'sumsize' must be in the range [0..255]"},
        {kIr, "sumsize", 0, " 89 ", "", 89},  // sumsize's own rule is the write's
        {kIr, "ordnum", 0, "4294967296", "'ordnum' must be in the range [0..4294967295]"},
        {kIr, "ordnum", 0, "-1", "'ordnum' must be in the range [0..4294967295]"},
        {kIr, "sum45", 3, "1e", "'sum45' must be a number"},
        {kIr, "sum45", 3, "1.25", "", 1.25},
        {kUvir, "warnfactor", 0, "29", wf},
        {kUvir, "warnfactor", 0, "80", "", 80},
        {kUvir, "warnfactor", 0, "91", wf},
        {kUvir, "tier", 0, "2", flag},
        {kUvir, "hi_fltr_size", 0, "65536", "'hi_fltr_size' must be in the range [0..65535]"},
        {kUvir, "UV_Slow_Warn_Thr", 0, "256", "'UV_Slow_Warn_Thr' must be in the range [0..255]"},
        {kUvir, "sum_first_pass", 2, "170.5", "", 170.5},
    };
    for (const auto& c : cases) {
        const ParamRecord defaults = ParamRecord::Defaults(c.kind);
        ParamRecord r = defaults;
        Form f = FillParamGrid(r, {c.kind});
        const int cell = Cell(c.kind, c.name, c.element);
        f[cell].text = c.text;
        const ParamGridRead read = ReadParamGrid(f, r);
        EXPECT_EQ(read.message, c.message) << c.name << " " << c.text;
        if (c.message.empty())
            EXPECT_EQ(*r.value(c.name, c.element), c.stored) << c.name << " " << c.text;
        else
            EXPECT_EQ(std::tuple(read.ok, read.focus, *r.value(c.name, c.element)),
                      std::tuple(false, cell, *defaults.value(c.name, c.element)))
                << c.name << " " << c.text;
    }
}

// The lists: every one must have a choice (the first is then chosen for the
// user); CPU index 2 and I/O index 3 make the version byte 0x43.
TEST(ParamGrid, HardwareLists) {
    ParamRecord r = ParamRecord::Defaults(kUvir);
    Form f = FillParamGrid(r, {kUvir});
    f[w::kHwCpu].value = 2, f[w::kHwIo].value = 3, f[w::kHwMonth].value = 11, f[w::kHwYear].value = 100;
    ASSERT_TRUE(ReadParamGrid(f, r).ok);
    EXPECT_EQ(std::tuple(*r.value("vHW"), *r.value("dateHW_month"), *r.value("dateHW_year")),
              std::tuple(0x43, 12, 100));
    f[w::kHwMonth].value = -1;
    const ParamGridRead read = ReadParamGrid(f, r);
    EXPECT_EQ(std::tuple(read.ok, read.message, read.focus, read.show.at(w::kHwMonth).value),
              std::tuple(false, "HW date / version not set", w::kHwMonth, 0));
}

}  // namespace
