// The two parameter layouts: the default records byte by byte where the
// layout is fixed, and what a field takes. (The defaults' benzene margin is
// checked with the sanity checks.)
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <tuple>
#include <vector>

#include "protocol/records/ParamRecord.h"
#include "support/RefCrc.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Golden {
    size_t offset;
    Bytes bytes;
};

void expectGolden(ParamKind kind, const std::vector<Golden>& golden) {
    const ParamRecord r = ParamRecord::Defaults(kind);
    const auto bytes = r.bytes();
    ASSERT_EQ(bytes.size(), ParamSize(kind));
    for (const Golden& g : golden)
        EXPECT_EQ(Bytes(bytes.begin() + g.offset, bytes.begin() + g.offset + g.bytes.size()), g.bytes) << g.offset;
}

TEST(ParamRecord, DefaultsHoldTheirBytes) {
    expectGolden(ParamKind::Ir,
                 {
                     {0, {0x28, 0x6b, 0x6e, 0x4e, 0x10, 0x70, 0x59, 0x4b}},  // sum45: 1e9, 14 250 000
                     {24, {0x00, 0xf2, 0xad, 0x48}},                         // sum45benz 356 240
                     {96, {0x9a, 0x99, 0x09, 0x41}},                         // ratio45to4 8.6
                     {480, {0x9a, 0x99, 0x19, 0x3f}},                        // cor45to4 0.6
                     {768, {106, 16, 8, 1}},                                 // FOV bytes, tier
                     {784, {0x66, 0x66, 0x66, 0x3f}},                        // warnfactor 0.9
                     {792, {50, 121, 0, 0, 5, 0, 3, 7, 10, 0, 0, 0, 0, 0, 0, 0}},
                     {836, {255, 0x01, 0x00, 0x33, 20, 2, 0}},        // reserved 837..838, version, date
                     {904, {0x00, 0x00, 0x34, 0x43, 0xE0, 0xFF, 0}},  // IRFastAbsThr44 180, reserved 908
                     {924, {255, 0, 255, 5, 10, 200, 160, 0}},
                     {940, {0, 10, 0, 0xFF, 0, 200, 0}},
                     {964, {0x6f, 0x12, 0x83, 0x3a}},                          // BB_corDiff 0.001
                     {972, {0x00, 0x00, 0x40, 0x40, 0, 0, 0, 0, 0, 0, 0, 0}},  // BBSumFactor 3, reserved to the end
                 });
    expectGolden(ParamKind::Uvir,
                 {
                     {0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x88, 0xf3, 0x40}},    // sum_first_pass 80 000
                     {40, {0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x55, 0x40}},   // sum_first_pass_benz[2] 85
                     {104, {0x00, 0x00, 0x00, 0x00, 0x00, 0xc0, 0x82, 0x40}},  // autobit 600
                     {120, {0x00, 0x00, 0xa0, 0x42}},                          // warnfactor 80
                     {128, {0x9a, 0x99, 0x59, 0x3f, 9, 0, 11, 0, 60, 0, 20, 2}},
                     {148, {0, 0, 0, 0, 255, 121, 3, 0x32}},
                     {160, {0, 0, 0, 0, 0, 0, 0, 1}},  // UV_BIT_Duration, reserved, tier
                     {200, {0, 255, 5, 10, 160, 0, 0, 3, 0, 5, 80, 0, 20, 6, 50, 200, 32, 3, 6, 3, 10, 106, 16, 8}},
                 });
}

TEST(ParamRecord, FieldsRefuseWhatTheyCannotHold) {
    constexpr auto Ir = ParamKind::Ir, Uvir = ParamKind::Uvir;
    const std::tuple<ParamKind, const char*, size_t, double, bool> cases[] = {
        {Ir, "sumsize", 0, 255, true},      {Ir, "sumsize", 0, 2.5, false},       {Ir, "vHW", 0, 0x43, true},
        {Ir, "warnfactor", 0, 1e39, false}, {Ir, "warnfactor", 0, NAN, false},    {Ir, "sum45", 5, -3.25, true},
        {Ir, "sum45", 6, 1, false},         {Uvir, "sum_first_pass", 2, 1e300, true}, {Uvir, "sumsize", 0, 1, false},
    };
    for (const auto& [kind, name, i, value, taken] : cases) {
        ParamRecord r = ParamRecord::Defaults(kind);
        const ParamRecord before = r;
        EXPECT_EQ(r.setValue(name, i, value), taken) << name << " " << value;
        EXPECT_TRUE(taken ? r.value(name, i) == value : r == before) << name << " " << value;
    }
}

TEST(ParamRecord, KnowsItsKindBySizeAndReadsAnswers) {
    for (size_t n : {0, 223, 225, 983, 985}) EXPECT_FALSE(ParamRecord::FromBytes(Bytes(n))) << n;
    Bytes record(kIrParamSize);
    std::iota(record.begin(), record.end(), uint8_t{0});
    EXPECT_EQ(ParamRecord::FromBytes(record)->ordnum(), 0x27262524u);  // bytes 804..807
    const Bytes answer = recordAnswer(3, record);
    EXPECT_FALSE(ParamRecord::FromAnswer(ParamKind::Ir, std::span(answer).first(1000)));
    EXPECT_EQ(ParamRecord::FromAnswer(ParamKind::Ir, answer), ParamRecord::FromBytes(record));
}

}  // namespace
