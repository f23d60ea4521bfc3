// Parameter records through the profile format: the exact key texts, the round
// trip, and what a loaded key may and may not change.
#include <gtest/gtest.h>

#include <fstream>
#include <ranges>
#include <tuple>

#include "config/ParamProfile.h"
#include "support/TempFolder.h"
#include "util/Profile.h"

namespace {

// Every field changed, so that a load which skips a key shows.
ParamRecord scrambled(ParamKind kind) {
    ParamRecord r = ParamRecord::Defaults(kind);
    for (const ParamField& f : ParamFields(kind))
        for (size_t i = 0; i < f.count; ++i) r.setValue(f, i, r.value(f, i) == 1 ? 2 : 1);
    return r;
}

TEST(ParamProfile, RoundTripWithExactKeys) {
    TempFolder dir;
    const std::pair<const char*, const char*> cases[] = {
        {"ir4_param_0",
         "[ir4_param_0]\nsum45_0=1000000000.00\n|\nsum45_5= 7.00\n|\nwarnfactor=0.900000\n|"
         "\nordnum=123456\n|\nHtrOff_35_50=255\nvHW_cpu=3\nvHW_io=3\ndateHW_year=20\n"},
        {"uv_param_0",
         "[uv_param_0]\nsum_first_pass_0=80000.00\n|\nautobit=600.000000\n|\nhi_fltr_size=9\n|"
         "\nvHW_cpu=2\nvHW_io=3\npowerupdur=30\n"},
    };
    for (const auto& [section, lines] : cases) {
        ParamRecord written = ParamRecord::Defaults(section[0] == 'i' ? ParamKind::Ir : ParamKind::Uvir);
        ASSERT_TRUE(written.setValue("ordnum", 0, 123456));
        const std::string text = ParamSectionText(section, written);
        for (const auto part : std::views::split(std::string_view(lines), '|')) {
            const std::string line(part.begin(), part.end());
            EXPECT_NE(text.find(line), std::string::npos) << line;
        }

        ASSERT_TRUE(WriteParamSection("Param.ini", section, written));
        ParamRecord loaded = scrambled(written.kind());
        EXPECT_TRUE(LoadParamSection("Param.ini", section, loaded).empty());
        EXPECT_EQ(loaded, written) << section;
    }
    // Arrays keep two decimals, other floats six.
    ParamRecord r = ParamRecord::Defaults(ParamKind::Ir);
    r.setValue("sum45", 1, 1.23456);
    r.setValue("bitnoise", 0, 1.23456);
    ASSERT_TRUE(WriteParamSection("Param.ini", "ir4_param_1", r));
    LoadParamSection("Param.ini", "ir4_param_1", r);
    EXPECT_EQ(r.value("sum45", 1), static_cast<float>(1.23));
    EXPECT_EQ(r.value("bitnoise"), static_cast<float>(1.234560));
    // A file that cannot be written says so.
    EXPECT_FALSE(WriteParamSection("missing/Param.ini", "ir4_param_0", r));
}

TEST(ParamProfile, LoadedKeysChangeOnlyWhatTheyMay) {
    TempFolder dir;
    constexpr auto Ir = ParamKind::Ir, Uvir = ParamKind::Uvir;
    // The key and its text (nullptr: missing); the field and element it sets, to what; the
    // maximum named by the refusal (0: taken, or left without a word).
    using Case = std::tuple<ParamKind, const char*, const char*, const char*, size_t, double, uint32_t>;
    const Case cases[] = {
        {Ir, "sumsize", nullptr, "sumsize", 0, 121, 0},
        {Ir, "sumsize", "N/A", "sumsize", 0, 121, 0},
        {Ir, "sumsize", "N/A 90", "sumsize", 0, 121, 0},
        {Ir, "sumsize", "abc", "sumsize", 0, 121, 0},
        {Ir, "sumsize", " 90", "sumsize", 0, 90, 0},
        {Ir, "sumsize", "300", "sumsize", 0, 121, 255},
        {Ir, "sumsize", "-1", "sumsize", 0, 121, 255},
        {Ir, "ordnum", "4294967295", "ordnum", 0, 4294967295.0, 0},
        {Ir, "ordnum", "99999999999999999999999", "ordnum", 0, 0, 4294967295},
        {Ir, "warnfactor", "0.5", "warnfactor", 0, static_cast<float>(0.5), 0},
        {Ir, "sum45_2", "-12.5e1", "sum45", 2, -125, 0},
        {Ir, "vHW_io", "4", "vHW", 0, 0x43, 0},  // CPU list index 2, I/O list index 3
        {Ir, "vHW_cpu", "16", "vHW", 0, 0x33, 15},
        {Uvir, "hi_fltr_size", "65536", "hi_fltr_size", 0, 9, 65535},
        {Uvir, "sumsize", "90", "sum_array_size", 0, 121, 0},  // an IR key
    };
    for (const auto& [kind, key, text, field, index, expected, maximum] : cases) {
        ASSERT_TRUE(!text || ProfileWriteString("load.ini", key, key, text));
        ParamRecord r = ParamRecord::Defaults(kind), changedOnlyThere = r;
        const auto refused = LoadParamSection("load.ini", key, r);
        changedOnlyThere.setValue(field, index, expected);
        EXPECT_EQ(r, changedOnlyThere) << key << "=" << (text ? text : "(missing)");
        ASSERT_EQ(refused.size(), maximum ? 1u : 0u) << key;
        if (maximum) {
            EXPECT_EQ(std::tuple(refused[0].key, refused[0].maximum), std::tuple(key, maximum));
        }
    }
}

TEST(ParamProfile, FindsTheFileInAnyCase) {
    TempFolder dir;
    std::ofstream("PARAM.Ini") << "";
    EXPECT_EQ(FindFileNoCase(dir.path(), "param.ini"), dir.path() + "/PARAM.Ini");
    EXPECT_EQ(FindFileNoCase(dir.path(), "param.bin"), "");
    EXPECT_EQ(FindFileNoCase(dir.path() + "/none", "param.ini"), "");
}

}  // namespace
