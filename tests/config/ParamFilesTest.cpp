// Parameter files: the patch codec against an independent CRC, patch
// application element by element, and the file readers' refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "config/ParamFiles.h"
#include "support/RefCrc.h"
#include "support/TempFolder.h"
#include "util/WholeFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const ParamRecord& r) { return {r.bytes().begin(), r.bytes().end()}; }

// Every byte of the defaults turned, so that any byte taken from it shows.
ParamRecord turned(const ParamRecord& r) {
    Bytes b = bytesOf(r);
    for (auto& x : b) x ^= 0x5A;
    return *ParamRecord::FromBytes(b);
}

// The first byte of the IR record that belongs to no field.
size_t firstReservedByte() {
    Bytes used(kIrParamSize, 0);
    for (const ParamElement& e : ParamElements(ParamKind::Ir))
        for (size_t k = 0; k < ParamTypeSize(e.field->type); ++k)
            used[e.field->offset + e.index * ParamTypeSize(e.field->type) + k] = 1;
    return static_cast<size_t>(std::find(used.begin(), used.end(), 0) - used.begin());
}

}  // namespace

TEST(ParamFiles, PatchBytesAreMaskCrcValuesCrc) {
    for (ParamKind kind : {ParamKind::Ir, ParamKind::Uvir}) {
        const ParamRecord values = ParamRecord::Defaults(kind);
        const Patch p{PatchMask(kind, std::vector{ParamElements(kind)[2]}), values};
        Bytes want = withCrc(p.mask);
        const Bytes v = withCrc(bytesOf(values));
        want.insert(want.end(), v.begin(), v.end());
        const Bytes file = EncodePatch(p);
        ASSERT_EQ(file, want);
        ASSERT_EQ(file.size(), kind == ParamKind::Ir ? 1972u : 452u);

        const auto back = DecodePatch(file);
        ASSERT_TRUE(back);
        EXPECT_EQ(std::tuple(back->mask, back->values == values, back->crcGood), std::tuple(p.mask, true, true));
        // One flipped bit in either block is noticed; a byte more or less is no patch.
        for (size_t at : {size_t{7}, ParamSize(kind) + 9}) {
            Bytes bad = file;
            bad[at] ^= 0x10;
            EXPECT_FALSE(DecodePatch(bad)->crcGood) << at;
        }
        Bytes longer = file;
        longer.push_back(0);
        EXPECT_FALSE(DecodePatch(longer));
        EXPECT_FALSE(DecodePatch(std::span(file).first(file.size() - 1)));
    }
}

// A field is taken whole when its mask says so; everything else, reserved
// bytes included, stays.
TEST(ParamFiles, ApplyTakesMarkedElementsOnly) {
    const ParamRecord current = ParamRecord::Defaults(ParamKind::Ir), values = turned(current);
    const size_t reserved = firstReservedByte();
    struct Case {
        const char* what;
        std::vector<std::pair<size_t, Bytes>> mask;  // offset, bytes
        std::vector<std::pair<size_t, size_t>> taken;  // offset, length
    };
    const Case cases[] = {
        {"one byte field", {{793, {0x01}}}, {{793, 1}}},
        {"array element sum45_2", {{8, {0xFF, 0xFF, 0xFF, 0xFF}}}, {{8, 4}}},
        {"not-a-number mask", {{12, {0x00, 0x00, 0xC0, 0x7F}}}, {{12, 4}}},
        {"negative zero is zero", {{12, {0x00, 0x00, 0x00, 0x80}}}, {}},
        {"one mask byte of a float", {{12, {0x01}}}, {{12, 4}}},
        {"one byte of a u32", {{807, {0x01}}}, {{804, 4}}},
        {"reserved byte", {{reserved, {0xFF}}}, {}},
        {"all zero", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Patch p{Bytes(kIrParamSize, 0), values};
        for (const auto& [at, b] : c.mask) std::copy(b.begin(), b.end(), p.mask.begin() + static_cast<long>(at));
        Bytes want = bytesOf(current);
        for (const auto& [at, n] : c.taken)
            std::copy_n(values.bytes().begin() + static_cast<long>(at), n, want.begin() + static_cast<long>(at));
        EXPECT_EQ(bytesOf(ApplyPatch(current, p)), want);
    }
    // The mask the editor builds marks whole elements, and reads back as them.
    const std::vector<ParamElement> marked{*FindElement(ParamKind::Ir, "sum45_2"), *FindElement(ParamKind::Ir, "sumsize")};
    EXPECT_EQ(MarkedElements(ParamKind::Ir, PatchMask(ParamKind::Ir, marked)), marked);
}

TEST(ParamFiles, ReadersRefuseWrongSizesAndDamage) {
    TempFolder folder;
    const Patch ir{PatchMask(ParamKind::Ir, std::vector{*FindElement(ParamKind::Ir, "sumsize")}),
                   ParamRecord::Defaults(ParamKind::Ir)};
    const Patch uvir{Bytes(kUvirParamSize, 0), ParamRecord::Defaults(ParamKind::Uvir)};
    auto file = [](const std::string& name, Bytes b) {
        EXPECT_TRUE(WriteWholeFile(name, b));
        return name;
    };
    auto flipped = [](Bytes b, size_t at) {
        b[at] ^= 1;
        return b;
    };
    const std::string neitherBin = "is neither an IR3 nor a UVIR parameter bin-file...";
    const std::string neitherUpm = "is neither an IR3 nor a UVIR parameter upm-file...";
    const std::string size = "has incorrect size...", crc = "has incorrect CRC16...";
    const Bytes irFile = EncodePatch(ir);
    // File, bin / edit / update-for-IR: the message's end ("" accepted).
    struct Case {
        std::string path, bin, edit, update;
    };
    const Case cases[] = {
        {file("a.bin", Bytes(984)), "", "Bad file name \"a.bin\"", size},
        {file("b.bin", Bytes(224)), "", "Bad file name \"b.bin\"", size},
        {file("c.bin", Bytes(985)), neitherBin, "Bad file name \"c.bin\"", size},
        {file("IR3.UPM", irFile), neitherBin, "", ""},
        {file("long.upm", flipped(Bytes(1973), 0)), neitherBin, neitherUpm, size},
        {file("short.upm", Bytes(irFile.begin(), irFile.end() - 1)), neitherBin, neitherUpm, size},
        {file("mask.upm", flipped(irFile, 793)), neitherBin, "", crc},
        {file("values.upm", flipped(irFile, 1000)), neitherBin, "", crc},
        {file("UVIR.upm", EncodePatch(uvir)), neitherBin, "", size},
        {"missing.upm", "Failed opening file \"missing.upm\"", "Failed opening file \"missing.upm\"",
         "Failed opening \"missing.upm\"..."},
    };
    auto ends = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto bin = ReadParamBin(c.path);
        const auto edit = ReadPatchForEdit(c.path);
        const auto update = ReadPatchForUpdate(c.path, ParamKind::Ir);
        EXPECT_EQ(std::tuple(bool(bin.value), bool(edit.value), bool(update.value)),
                  std::tuple(c.bin.empty(), c.edit.empty(), c.update.empty()));
        EXPECT_TRUE(ends(bin.error, c.bin)) << bin.error;
        EXPECT_TRUE(ends(edit.error, c.edit)) << edit.error;
        EXPECT_TRUE(ends(update.error, c.update)) << update.error;
        if (edit.value) {
            EXPECT_EQ(edit.value->crcGood, !ends(c.update, crc));
        }
    }
    EXPECT_EQ(ReadParamBin("c.bin").error, "File \"c.bin\" " + neitherBin);
    EXPECT_TRUE(IsParamBinName("/x/Summary/7/PaRaM.BIN"));
    EXPECT_FALSE(IsParamBinName("/x/param.bin/ir4_param.bin"));
}
