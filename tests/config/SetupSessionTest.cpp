// Reading and burning the setup record against simulated detectors: what is
// asked, what reaches the detector, and which copies change.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/SetupIds.h"
#include "config/SetupSession.h"
#include "shell/FakePanel.h"
#include "support/HostFrames.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "util/Log.h"
#include "util/Profile.h"
#include "util/PumpWait.h"
#include "util/WholeFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using Change = std::function<void(SetupState&)>;
using setupwin::kApply;

// Open IR at 4; locked IR detectors (MAINT "mpass", ADMIN "apass") at 5 and 6.
constexpr uint8_t kOpenAt = 4, kLockedAt = 5, kRefusingAt = 6;
const std::string kAdminPrompt = "Please Enter the current ADMIN Password:";

class SetupSessionLine : public TestLine {
protected:
    void SetUp() override {
        ResetSetupState();
        ASSERT_NO_FATAL_FAILURE(
            startLine({testline::ir(kOpenAt), testline::lockedIr(kLockedAt), testline::lockedIr(kRefusingAt)}));
        ASSERT_NO_FATAL_FAILURE(openWire(kOpenAt));
        Wire().responded = true;  // as if the poll had found a detector
        SetPumpWait([this](unsigned ms) { waits.push_back(ms); });
        const auto keep = [this](const std::string& l) { logged.push_back(l); };
        logs::attachLists(keep, keep);
    }
    void TearDown() override {
        logs::detachLists();
        SetPumpWait({});
        ResetSetupState();
        TestLine::TearDown();
    }
    // Reads the record of the detector at `address`, then `change` edits the state.
    void openAt(uint8_t address, const Change& change = {}) {
        ASSERT_TRUE(SelectSlave(address));
        FakePanel panel;
        ASSERT_EQ(OpenSetup(panel, false), SetupOpened::Read);
        EXPECT_TRUE(panel.timers.count(setupwin::kFillTimer));
        if (change) UpdateSetup(change);
    }
    Bytes stored(uint8_t address) {
        Bytes b;
        line->withDetector(address, [&](wsim::Detector& d, int64_t) { b.assign(d.setup().begin(), d.setup().end()); });
        return b;
    }
    bool wasLogged(const std::string& text) const { return std::count(logged.begin(), logged.end(), text) > 0; }
    static void corrupt(int byte, int value) {
        ASSERT_TRUE(ProfileWriteStrings("Param.ini", "VCAST_CORRUPT_SETUP",
                                        {{"ByteNum", std::to_string(byte)}, {"ByteVal", std::to_string(value)}}));
    }

    TempFolder folder;  // Param.ini and the setup file
    std::vector<unsigned> waits;
    Lines logged;  // both logs
};

TEST_F(SetupSessionLine, Opening) {
    Wire().responded = false;
    FakePanel none;
    EXPECT_EQ(OpenSetup(none, false), SetupOpened::NoDetector);
    EXPECT_TRUE(none.disabled.count(kApply));
    Wire().responded = true;
    ASSERT_NO_FATAL_FAILURE(openAt(kLockedAt, [](SetupState& s) { s.working.Delay = 7; }));
    const SetupState read = SetupNow();
    const SetupBytes reference = EncodeSetup(read.reference);
    EXPECT_EQ(Bytes(reference.begin(), reference.end()), stored(kLockedAt));
    EXPECT_EQ(std::tuple(read.previousLock, read.loaded, read.context.uvir), std::tuple(kLocked, true, false));

    // None of these touches the copies.
    SetupRecord fromFile;
    fromFile.Sensitivity = 5;
    const SetupBytes file = EncodeSetup(fromFile);
    struct Case {
        std::function<void()> arrange;
        bool shift;
        SetupOpened result;
        std::string box, log;
        long requests;
    } cases[] = {
        {[&] { line->wrongAddressAnswers(1); }, false, SetupOpened::WrongAddress,
         "Error: Invalid setup downloaded - reload...", "Invalid setup downloaded: buf[0] 6 != st.address 5", 1},
        {[&] { line->setSilent(true); }, false, SetupOpened::NoAnswer, "",
         "ModbusGet(D_SETUP2HOST) returned -1 bytes instead of 89", 3},
        {[&] { ASSERT_TRUE(WriteWholeFile(kSetupFile, std::span(file).first(71))); }, true, SetupOpened::FileError,
         "Error: 'current_ir4_setup.bin' holds 71 bytes instead of 72 - nothing loaded...", "", 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.result));
        c.arrange();
        logged.clear();
        FakePanel p;
        EXPECT_EQ(OpenSetup(p, c.shift), c.result);
        EXPECT_EQ(p.questions, c.box.empty() ? Lines{} : Lines{c.box});
        EXPECT_TRUE(c.log.empty() || wasLogged(c.log)) << c.log;
        EXPECT_EQ(std::count(logged.begin(), logged.end(), "ModbusGet(119):"), c.requests);
        EXPECT_EQ(std::tuple(SetupNow().reference, SetupNow().working.Delay), std::tuple(read.reference, 7));
        EXPECT_TRUE(p.timers.empty());
    }

    // Shift: the working copy from a whole file, without asking the detector.
    ASSERT_TRUE(WriteWholeFile(kSetupFile, file));
    logged.clear();
    FakePanel shift;
    EXPECT_EQ(OpenSetup(shift, true), SetupOpened::FromFile);
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(std::tuple(SetupNow().working, SetupNow().reference, SetupNow().previousLock),
              std::tuple(fromFile, read.reference, kLocked));
    EXPECT_TRUE(shift.timers.count(setupwin::kFillTimer));
}

// Locked to Not Locked: the ADMIN password (a wrong one first), the burn,
// the read-back without payload, and every copy and the file after it.
TEST_F(SetupSessionLine, LockedDetectorBurnsAndVerifies) {
    corrupt(36, 0x55);  // past the settings (a password byte here): no effect
    ASSERT_NO_FATAL_FAILURE(openAt(kLockedAt, [](SetupState& s) {
        s.working.Sensitivity = 4;
        s.working.LockState = kNotLocked;
    }));
    FakePanel panel;
    panel.typed = {"wrong", "apass"};
    EXPECT_EQ(BurnSetup(panel, {}).result, BurnResult::Verified);
    EXPECT_EQ(panel.questions, (Lines{kAdminPrompt, kAdminPrompt}));
    EXPECT_EQ(panel.captions, Lines(2, "BURN Setup to Detector"));

    const SetupState after = SetupNow();
    EXPECT_EQ(std::tuple(after.reference, after.previousLock), std::tuple(after.working, kNotLocked));
    const SetupBytes burned = EncodeSetup(after.working);
    const Bytes detector = stored(kLockedAt);
    EXPECT_TRUE(std::equal(burned.begin(), burned.begin() + 34, detector.begin()));
    EXPECT_EQ(Bytes(detector.begin() + 36, detector.begin() + 70), Bytes(34, 0)) << "passwords cleared";
    EXPECT_EQ(Bytes(burned.begin() + 36, burned.begin() + 70), Bytes(34, 0));

    uint8_t last[128];
    const int n = modbus_last_request(Wire().ctx, last, sizeof last);
    EXPECT_EQ(Bytes(last, last + std::max(n, 0)), hostframes::recordGet(kLockedAt, D_SETUP2HOST));
    EXPECT_EQ(waits, (std::vector<unsigned>{3000, 1000}));

    Bytes file(burned.begin(), burned.end());
    file[setupfield::LockState] = kLockNotSet;
    EXPECT_EQ(ReadWholeFile(kSetupFile, 100), file);
    EXPECT_TRUE(wasLogged("'current_ir4_setup.bin' has been created..."));
    EXPECT_EQ(panel.closedWith, IDOK);
    EXPECT_TRUE(panel.disabled.count(kApply));
    EXPECT_EQ(panel.text(kApply), "Apply Settings");
    for (const auto& l : logged)
        EXPECT_TRUE(l.find("apass") == std::string::npos && l.find("61 70 61 73 73") == std::string::npos) << l;
}

// Burns that end before the record is stored: nothing changes anywhere.
TEST_F(SetupSessionLine, NothingStoredWithoutConsent) {
    const std::string shortAnswer = "ModbusGet(D_SETUP2DET) returned 18 bytes instead of 89";
    struct Case {
        uint8_t address;
        Change change;
        std::function<void(FakePanel&)> script;
        BurnResult result;
        Lines questions;
        uint64_t frames;
        std::string log;
    } cases[] = {
        {kOpenAt, {}, {}, BurnResult::NoChanges, {"Note:: No changes made\r\n\r\nSetup not burned"}, 0, ""},
        {kOpenAt, [](SetupState& s) { s.working.LockState = kNotLocked; }, [](FakePanel& p) { p.answers = {IDCANCEL}; },
         BurnResult::Cancelled,
         {"Warning:: The detector has been set as \"Not Locked\".\r\nBIT, Burn and Update functionality may become "
          "unavailable if some unauthorized user later sets the detector as \"Locked\"..."}, 0, ""},
        {kOpenAt, [](SetupState& s) { s.working.LockState = kLocked; }, {}, BurnResult::Cancelled,
         {"Detector Permissions", "Error: Passwords not entered.\r\nBurn canceled..."}, 0,
         "Passwords not entered. Burn canceled..."},
        {kRefusingAt, [](SetupState& s) { s.working.Sensitivity = 4; }, [](FakePanel& p) { p.typed = {"mpass"}; },
         BurnResult::Cancelled,
         {kAdminPrompt, kAdminPrompt, "Error: Current ADMIN Password not entered.\r\nBurn canceled..."}, 1,
         "Current ADMIN Password not entered. Burn canceled..."},
        {kOpenAt, [](SetupState& s) { corrupt(16, 1); s.working.Delay = 0; },  // "Reserved" must be 0
         {}, BurnResult::CommProblem, {"Error: Comm. problem: Burn failed..."}, 1, shortAnswer},
        {kRefusingAt, [](SetupState& s) { corrupt(-1, 0); s.working.LockState = s.previousLock = kLockNotSet; },
         {}, BurnResult::ElevationProblem, {"Error: Elevation problem: Burn failed..."}, 1, shortAnswer},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        ASSERT_NO_FATAL_FAILURE(openAt(c.address, c.change));
        const SetupState before = SetupNow();
        const Bytes detector = stored(c.address);
        FakePanel panel;
        if (c.script) c.script(panel);
        logged.clear();
        const uint64_t sent = line->stats().frames;
        EXPECT_EQ(BurnSetup(panel, {}).result, c.result);
        EXPECT_EQ(panel.questions, c.questions);
        EXPECT_EQ(line->stats().frames - sent, c.frames);
        EXPECT_TRUE(c.log.empty() || wasLogged(c.log)) << c.log;
        EXPECT_EQ(std::tuple(SetupNow().reference, SetupNow().previousLock), std::tuple(before.reference, before.previousLock));
        EXPECT_EQ(stored(c.address), detector);
        EXPECT_EQ(std::tuple(panel.disabled.count(kApply), panel.closedWith),
                  std::tuple(c.result == BurnResult::NoChanges ? 1u : 0u, 0));
    }
    EXPECT_FALSE(ReadWholeFile(kSetupFile, 100));
    EXPECT_TRUE(waits.empty());
}

// The test hook sends another value than the one shown: the read-back
// catches it, the file is still written, and the dialog stays open.
TEST_F(SetupSessionLine, ReadBackMismatch) {
    corrupt(1, 0);
    ASSERT_NO_FATAL_FAILURE(openAt(kOpenAt, [](SetupState& s) { s.working.Sensitivity = 3; }));
    const SetupRecord reference = SetupNow().reference;
    FakePanel panel;
    const BurnOutcome out = BurnSetup(panel, {});
    EXPECT_EQ(std::tuple(out.result, out.firstDifference), std::tuple(BurnResult::Mismatch, 1));
    EXPECT_EQ(panel.questions, Lines{"Error: Verification failed..."});
    EXPECT_TRUE(wasLogged("Setup verification: Sensitivity reads 0, 3 was burned"));
    EXPECT_TRUE(wasLogged("ModbusGet(D_SETUP2HOST) returned 0 bytes instead of 89"));
    EXPECT_EQ(SetupNow().reference, reference);
    const auto file = ReadWholeFile(kSetupFile, 100);
    EXPECT_EQ(std::tuple(stored(kOpenAt)[1], file.value_or(Bytes(2))[1]), std::tuple(0, 3));
    EXPECT_EQ(std::tuple(panel.closedWith, panel.disabled.count(kApply)), std::tuple(0, 0u));
}

}  // namespace
