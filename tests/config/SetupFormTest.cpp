// The setup page's controls: lists, filling, reading back with its checks.
#include <gtest/gtest.h>

#include <fstream>

#include "config/SetupForm.h"
#include "config/SetupIds.h"
#include "support/TempFolder.h"

namespace {

namespace w = setupwin;

SetupRecord Base() {
    SetupRecord r;
    r.Sensitivity = 2, r.Delay = 3, r.HeaterMode = 1, r.HeaterOnTemp = 15, r.HeaterPower = 1;
    r.EnableAutoBIT = r.AlarmLatch = r.EnableFOV = r.Explosion = r.UVOnly = 1;
    r.BitFaultCount = 3, r.BitPeriod = 15, r.post_manbit_duration = 3, r.LockState = kLocked;
    r.Param420[4] = 160, r.MaintPassword[0] = 'm', r.reserved70[1] = 9;
    return r;
}
const SetupContext kIr, kUvir{.uvir = true}, kCore{.core = true},
    kUs{.usUnits = true, .core = true}, kUvirCoreLb{.uvir = true, .core = true, .lb = true},
    kNoCheck{.core = true, .check = false};

TEST(SetupForm, ContextFromParamIniAndTypeByte) {
    TempFolder folder;
    // Param.ini text, type byte: core, LB, check, lock privilege.
    for (const auto& [ini, type, want] : {
             std::tuple{"", 0x82, std::tuple{true, true, true, false}},
             {"", -1, {false, false, true, false}},
             {"fCore=0\nfLB=1", 0x82, {false, true, true, false}},
             {"fCore=1\nfLB=1", -1, {true, true, true, false}},
             {"fCheck=0\nLockPrivilege=1", 0x80, {true, false, false, true}},
         }) {
        std::ofstream("Param.ini") << "[VantorD]\n" << ini << "\n";
        const SetupContext c = LoadSetupContext("Param.ini", true, type);
        EXPECT_EQ(std::tuple(c.core, c.lb, c.check, c.lockPrivilege), want) << ini << type;
    }
}

TEST(SetupForm, Fill) {
    const SetupContext privilege{.lockPrivilege = true};
    const struct {
        SetupRecord record;
        SetupContext context;
        int id, value;
        bool enabled, visible = true;
    } cases[] = {
        {{.HeaterOnTemp = 7}, kIr, w::kHeaterOnTemp, 2, false},  // heater OFF
        {{.HeaterOnTemp = 3}, kIr, w::kHeaterOnTemp, 1, false},
        {{.HeaterMode = 1, .HeaterOnTemp = 27}, kIr, w::kHeaterOnTemp, 6, true},
        {{.Sensitivity = 6}, kIr, w::kSensitivity, 0, true},
        {{.Sensitivity = 3}, kUvir, w::kSensitivity, 0, true},
        {{.Delay = 8}, kIr, w::kDelay, 0, true},
        {{.HeaterMode = 2, .HeaterPower = 5}, kIr, w::kHeaterPower, 0, true},
        {{.HeaterMode = 1}, kCore, w::kHeaterPower, 1, true},
        {{.EnableFOV = 1}, kCore, w::kFov, 0, false},
        {{.UVOnly = 1}, kIr, w::kUvOnly, 0, false},
        {{.UVOnly = 1}, kUvir, w::kUvOnly, 1, true},
        {{.UVOnly = 1}, kUvirCoreLb, w::kUvOnly, 0, false},
        {{.UVOnly = 1}, kUvirCoreLb, w::kUvir, 1, true},
        {{.LockState = kLockNotSet}, kIr, w::kNotSet, 1, true},
        {{.LockState = 5}, kIr, w::kNotSet, 0, true},
        {{.LockState = kLocked}, privilege, w::kLocked, 1, false},
        {{.LockState = kLocked}, privilege, w::kResetPasswords, 0, false, true},
        {{}, kIr, w::kApply, 0, false},
    };
    for (const auto& c : cases) {
        const ControlState got = FillSetupForm(c.record, c.context).at(c.id);
        EXPECT_EQ(std::tuple(got.value, got.enabled, got.visible), std::tuple(c.value, c.enabled, c.visible))
            << c.id << " case " << &c - cases;
    }
    // The lists by model, units and tier: last sensitivity, its refusal, last heater-on, unit.
    for (const auto& [context, want] :
         {std::pair{kIr, std::tuple{"90", -1, "30", "° C"}},
          {kUs, {"300", 5, "86", "° F"}},
          {SetupContext{.uvir = true, .core = true}, {"28", -1, "30", "° C"}},
          {kUvirCoreLb, {"28", 2, "30", "° C"}}}) {
        const Form f = FillSetupForm(Base(), context);
        EXPECT_EQ(std::tuple(f.at(w::kSensitivity).items.back(), f.at(w::kSensitivity).disabledItem,
                             f.at(w::kHeaterOnTemp).items.back(), f.at(w::kTemperatureUnit).text),
                  want);
        EXPECT_EQ(f.at(w::kHeaterPower).disabledItem, context.core ? 0 : -1);
    }
}

TEST(SetupForm, ReadChecksEachField) {
    const std::string core = " not supported in \"Core\" tier...", interval = "BIT interval may not be < 1 nor > 60",
                      post = "Post manBIT duration may not be less than 3 or greater than 60 seconds.";
    struct Case {
        int id;
        std::string text;  // for edits; a number for combos and radios
        SetupContext context;
        std::string message;
        uint8_t SetupRecord::*field = nullptr;
        int stored = 0;
    } const cases[] = {
        {w::kFaultCount, "0", kIr, "", &SetupRecord::BitFaultCount, 0},
        {w::kFaultCount, "11", kIr, "Consecutive BIT fault may not be > 10"},
        {w::kFaultCount, " 11 ", kNoCheck, "", &SetupRecord::BitFaultCount, 11},
        {w::kInterval, "60", kIr, "", &SetupRecord::BitPeriod, 60},
        {w::kInterval, "0", kIr, interval},
        {w::kInterval, "61", kIr, interval},
        {w::kInterval, "256", kNoCheck, "\"Interval\" must be a whole number from 0 to 255"},
        {w::kPostManBit, "3x", kNoCheck,
         "\"Post Manual BIT Indication Duration\" must be a whole number from 0 to 255"},
        {w::kPostManBit, "60", kIr, "", &SetupRecord::post_manbit_duration, 60},
        {w::kPostManBit, "2", kIr, post},
        {w::kPostManBit, "61", kIr, post},
        {w::kSensitivity, "5", kCore, "Sensitivity 90" + core},
        {w::kSensitivity, "2", kUvirCoreLb, "Sensitivity 28" + core},
        {w::kSensitivity, "5", kNoCheck, "", &SetupRecord::Sensitivity, 5},
        {w::kSensitivity, "-1", kNoCheck, "Please select a value for \"Sensitivity\""},
        {w::kDelay, "8", kNoCheck, "Please select a value for \"Alarm Delay\""},
        {w::kHeaterPower, "0", kCore, "'Low' power" + core},
        {w::kHeaterPower, "0", kNoCheck, "", &SetupRecord::HeaterPower, 0},
        {w::kHeaterOnTemp, "55", kNoCheck, "", &SetupRecord::HeaterOnTemp, 5 * 55 % 256},
        {w::kHeaterOnTemp, "55", kIr, "", &SetupRecord::HeaterOnTemp, 0},
    };
    for (const auto& c : cases) {
        Form f = FillSetupForm(Base(), c.context);
        if (c.id == w::kHeaterOnTemp) f[c.id].items.resize(60);  // a list longer than the one built
        if (f[c.id].items.empty())
            f[c.id].text = c.text;
        else
            f[c.id].value = std::stoi(c.text);
        SetupRecord r = Base();
        const SetupRead read = ReadSetupForm(f, c.context, r);
        EXPECT_EQ(std::tuple(read.ok, read.message, read.focus),
                  std::tuple(c.message.empty(), c.message, c.message.empty() ? 0 : c.id)) << c.id << " " << c.text;
        EXPECT_TRUE(!c.field || r.*c.field == c.stored) << c.id << " " << c.text;
    }
}

// What was filled reads back as the same record, passwords, levels and
// reserved bytes untouched; radios and lock choice go to their fields.
TEST(SetupForm, RoundTripAndRadios) {
    for (const SetupContext& context : {kIr, kUvir, SetupContext{.usUnits = true}}) {
        SetupRecord r = Base();
        ASSERT_TRUE(ReadSetupForm(FillSetupForm(Base(), context), context, r).ok);
        EXPECT_EQ(r, Base());
    }
    Form f = FillSetupForm(Base(), kUvir);
    f[w::kUvOnly].value = f[w::kLocked].value = 0;
    f[w::kIrOnly].value = f[w::kNotLocked].value = 1;
    SetupRecord r = Base();
    r.Reserved = 1;
    ASSERT_TRUE(ReadSetupForm(f, kUvir, r).ok);
    EXPECT_EQ(std::tuple(r.IROnly, r.UVOnly, r.UVIR, r.LockState, r.Reserved), std::tuple(1, 0, 0, kNotLocked, 0));
}

TEST(SetupForm, FollowNoteAndHelp) {
    const Form filled = FillSetupForm(Base(), kIr);
    EXPECT_TRUE(FollowSetupForm(filled).empty());
    Form f = filled;
    for (int id : {w::kAutoBit, w::kHeaterMode, w::kLocked}) f[id].value = 0;
    f[w::kNotSet].value = f[w::kResetPasswords].value = 1;
    const Form changed = FollowSetupForm(f);
    EXPECT_EQ(changed.size(), 5u);
    EXPECT_FALSE(changed.at(w::kFaultCount).enabled || changed.at(w::kInterval).enabled);
    EXPECT_FALSE(changed.at(w::kHeaterOnTemp).enabled || changed.at(w::kHeaterPower).enabled);
    EXPECT_TRUE(changed.at(w::kHeaterPower).items.empty());
    EXPECT_FALSE(changed.at(w::kResetPasswords).visible || changed.at(w::kResetPasswords).value);

    EXPECT_EQ(ExplosionDelayNote(filled, 0),
              "When “Explosion” is selected, the detector will consider 'Alarm Delay' as null if explosion detection "
              "conditions are met.\r\n");
    EXPECT_NE(ExplosionDelayNote(filled, 1), ExplosionDelayNote(filled, 0));
    f[w::kDelay].value = 0;
    EXPECT_EQ(ExplosionDelayNote(f, 0), "");

    for (const auto& [id, state] : filled)
        EXPECT_EQ(SetupHelpText(id, 0).empty(), id == w::kDistanceUnit || id == w::kTemperatureUnit) << id;
}

}  // namespace
