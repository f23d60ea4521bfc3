// The 4-20 levels: what a typed level becomes, and the checks of OK with
// their messages, in order.
#include <gtest/gtest.h>

#include "config/Levels420.h"

TEST(Levels420, TypedLevelsAndTheirText) {
    const std::pair<const char*, std::optional<uint8_t>> cases[] = {
        {"4.5", 45},
        {"0.1", 1},
        {"16", 160},
        {"2.3", 23},
        {" 25.5 ", 255},
        {"+4", 40},
        {"-0", 0},
        // Only the first 16 characters count.
        {"00000000000000015", 10},
        {"0000000000000001x", 10},
        // Nothing that would not fit a byte: no wrap of "-1" to 246.
        {"-1", std::nullopt},
        {"-0.05", std::nullopt},
        {"25.6", std::nullopt},
        {"1e3", std::nullopt},
        {"", std::nullopt},
        {"4,5", std::nullopt},
        {"abc", std::nullopt},
        {"0x10", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"4.5mA", std::nullopt}};
    for (const auto& [typed, level] : cases) EXPECT_EQ(ParseLevel(typed), level) << typed;
    EXPECT_EQ(LevelText(45), "4.5");
    EXPECT_EQ(LevelText(0), "0.0");
    EXPECT_EQ(LevelText(255), "25.5");
}

TEST(Levels420, ChecksInOrder) {
    const Levels420 ir{0, 20, 40, 0, 40, 150, 200};
    const Levels420 uvir{0, 20, 20, 40, 0, 40, 50, 50, 130, 200};
    struct Case {
        bool uvir;
        size_t index;
        uint8_t value;
        int failing;  // -1: passes
        const char* message;
    };
    const Case cases[] = {
        {false, 0, 11, 0, "The Fault 4-20 current may not be negative or greater than 1"},
        {false, 1, 21, 1, "The BIT Fault 4-20 current must be 2"},
        {false, 2, 51, 2, "The FOV Fault 4-20 current must be in the range [3, 5]"},
        {false, 2, 50, 2,
         "The FOV Fault 4-20 current must be less than or equal to the Normal 4-20 current"},
        {false, 4, 45, 4, "The Normal 4-20 current must be 4 or 5"},
        {false, 4, 30, 2, nullptr},  // the FOV level is checked against it first
        {false, 4, 50, -1, nullptr},
        {false, 5, 99, 5,
         "The Pre-Alarm 4-20 current must be in the range [10, 16] and less than the Alarm 4-20 "
         "current"},
        {false, 6, 201, 6, "The Alarm 4-20 current must be in the range [15, 20]"},
        {true, 2, 31, 2, "The UV BIT Fault 4-20 current must be in the range [2, 3]"},
        {true, 3, 29, 3, "The FOV Fault 4-20 current must be in the range [3, 5]"},
        {true, 5, 50, -1, nullptr},
        {true, 5, 45, 5, "The Normal 4-20 current must be 4 or 5"},
        {true, 7, 39, 7,
         "The IR and UV Level 4-20 currents must be greater than or equal to the Normal 4-20 "
         "current "
         "and less than the Pre-Alarm 4-20 current"},
        {true, 6, 130, 6, nullptr},
        {true, 8, 129, 8,
         "The Pre-Alarm 4-20 current must be in the range [13, 16] and less than the Alarm 4-20 "
         "current"},
        {true, 8, 200, 8, nullptr},
        {true, 9, 151, -1, nullptr},
    };
    for (const Case& c : cases) {
        Levels420 levels = c.uvir ? uvir : ir;
        levels[c.index] = c.value;
        const LevelCheck got = CheckLevels(levels, c.uvir, true, 1);
        EXPECT_EQ(got.ok, c.failing < 0) << c.uvir << " " << c.index;
        EXPECT_EQ(got.index, c.failing) << c.uvir << " " << c.index;
        if (c.message) {
            EXPECT_EQ(got.message, c.message);
        }
    }

    // The pre-alarm level must stay below the alarm level.
    for (auto [preAlarm, ok] : {std::pair{160, false}, {159, true}}) {
        Levels420 levels{0, 20, 40, 0, 40, static_cast<uint8_t>(preAlarm), 160};
        EXPECT_EQ(CheckLevels(levels, false, true, 1).ok, ok) << preAlarm;
    }
    // The reserved level follows the FOV level, but only with checks on.
    Levels420 levels = uvir;
    levels[3] = 35;
    EXPECT_TRUE(CheckLevels(levels, true, true, 1).ok);
    EXPECT_EQ(levels[4], 35);
    levels = {250, 0, 0, 7, 0, 0, 0};
    EXPECT_TRUE(CheckLevels(levels, false, false, 1).ok);
    EXPECT_EQ(levels, (Levels420{250, 0, 0, 7, 0, 0, 0}));
    // Text variant 0 words the FOV range its own way (UTF-8 en dash).
    levels = ir;
    levels[2] = 20;
    EXPECT_EQ(
        CheckLevels(levels, false, true, 0).message,
        "The FOV Fault 4-20 current must be a whole value within the range 3 \xE2\x80\x93 5.");
}

TEST(Levels420, BitFaultLevelIsFixedOnOpening) {
    Levels420 levels{0, 25, 40};
    EXPECT_EQ(FixBitFaultLevel(levels, false), "");
    EXPECT_EQ(levels[1], 25);
    EXPECT_EQ(FixBitFaultLevel(levels, true),
              "Due to an unexpected settings error, the BIT Fault current has an incorrect value "
              "of 2.5\r\nThe BIT "
              "Fault current in this dialog box has been reset to 2mA.\r\nTo 'Apply', 'OK' the "
              "4-20 settings fix "
              "-\r\n - and then\"Apply Settings\"...");
    EXPECT_EQ(levels[1], 20);
    EXPECT_EQ(FixBitFaultLevel(levels, true), "");
}
