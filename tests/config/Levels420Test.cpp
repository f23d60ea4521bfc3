// The 4-20 levels: what a typed level becomes, and the checks of OK with
// their messages, in order.
#include <gtest/gtest.h>

#include "config/Levels420.h"

TEST(Levels420, TypedLevelsAndTheirText) {
    // Only the first 16 characters count.
    const std::pair<const char*, int> accepted[] = {
        {"4.5", 45}, {"0.1", 1}, {"16", 160}, {"2.3", 23}, {" 25.5 ", 255}, {"+4", 40}, {"-0", 0},
        {"00000000000000015", 10}, {"0000000000000001x", 10}};
    for (const auto& [typed, level] : accepted) EXPECT_EQ(ParseLevel(typed), level) << typed;
    // Nothing that would not fit a byte: no wrap of "-1" to 246.
    for (const char* typed : {"-1", "-0.05", "25.6", "1e3", "", "4,5", "abc", "0x10", "nan", "inf", "4.5mA"})
        EXPECT_EQ(ParseLevel(typed), std::nullopt) << typed;
    EXPECT_EQ(std::tuple(LevelText(45), LevelText(0), LevelText(255)), std::tuple("4.5", "0.0", "25.5"));
}

TEST(Levels420, ChecksInOrder) {
    const Levels420 ir{0, 20, 40, 0, 40, 150, 160};
    const Levels420 uvir{0, 20, 20, 40, 0, 40, 50, 50, 130, 200};
    const std::string preAlarm = " 16] and less than the Alarm 4-20 current";
    // The model, the level changed and its value, the level refused (-1: none) and its message (when given).
    using Case = std::tuple<bool, size_t, uint8_t, int, std::string>;
    const Case cases[] = {
        {false, 0, 11, 0, "The Fault 4-20 current may not be negative or greater than 1"},
        {false, 1, 21, 1, "The BIT Fault 4-20 current must be 2"},
        {false, 2, 51, 2, "The FOV Fault 4-20 current must be in the range [3, 5]"},
        {false, 2, 50, 2, "The FOV Fault 4-20 current must be less than or equal to the Normal 4-20 current"},
        {false, 4, 45, 4, "The Normal 4-20 current must be 4 or 5"},
        {false, 4, 30, 2, ""},  // the FOV level is checked against it first
        {false, 4, 50, -1, ""},
        {false, 5, 99, 5, "The Pre-Alarm 4-20 current must be in the range [10," + preAlarm},
        {false, 5, 160, 5, ""},  // not below the alarm level
        {false, 5, 159, -1, ""},
        {false, 6, 201, 6, "The Alarm 4-20 current must be in the range [15, 20]"},
        {true, 2, 31, 2, "The UV BIT Fault 4-20 current must be in the range [2, 3]"},
        {true, 3, 29, 3, "The FOV Fault 4-20 current must be in the range [3, 5]"},
        {true, 5, 50, -1, ""},
        {true, 5, 45, 5, "The Normal 4-20 current must be 4 or 5"},
        {true, 7, 39, 7,
         "The IR and UV Level 4-20 currents must be greater than or equal to the Normal 4-20 current and less than "
         "the Pre-Alarm 4-20 current"},
        {true, 6, 130, 6, ""},
        {true, 8, 129, 8, "The Pre-Alarm 4-20 current must be in the range [13," + preAlarm},
        {true, 8, 200, 8, ""},
        {true, 9, 151, -1, ""},
    };
    for (const auto& [model, index, value, failing, message] : cases) {
        Levels420 levels = model ? uvir : ir;
        levels[index] = value;
        const LevelCheck got = CheckLevels(levels, model, true, 1);
        EXPECT_EQ(std::tuple(got.ok, got.index), std::tuple(failing < 0, failing)) << model << " " << index;
        EXPECT_TRUE(message.empty() || got.message == message) << got.message;
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
    EXPECT_EQ(CheckLevels(levels, false, true, 0).message,
              "The FOV Fault 4-20 current must be a whole value within the range 3 \xE2\x80\x93 5.");
}

TEST(Levels420, BitFaultLevelIsFixedOnOpening) {
    Levels420 levels{0, 25, 40};
    EXPECT_EQ(FixBitFaultLevel(levels, false), "");
    EXPECT_EQ(levels[1], 25);
    EXPECT_EQ(FixBitFaultLevel(levels, true),
              "Due to an unexpected settings error, the BIT Fault current has an incorrect value of 2.5\r\nThe BIT "
              "Fault current in this dialog box has been reset to 2mA.\r\nTo 'Apply', 'OK' the 4-20 settings fix "
              "-\r\n - and then\"Apply Settings\"...");
    EXPECT_EQ(levels[1], 20);
    EXPECT_EQ(FixBitFaultLevel(levels, true), "");
}
