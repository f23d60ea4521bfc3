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
constexpr uint8_t kOpenAt = 4, kLockedAt = 5, kOtherLockedAt = 6;
const std::string kAdminPrompt = "Please Enter the current ADMIN Password:";

class SetupSessionLine : public TestLine {
protected:
    void SetUp() override {
        ResetSetupState();
        ASSERT_NO_FATAL_FAILURE(
            startLine({testline::ir(kOpenAt), testline::lockedIr(kLockedAt), testline::lockedIr(kOtherLockedAt)}));
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

// A read sets both copies; every failed opening leaves them as they were,
// and Shift takes the working copy from a whole file without asking.
TEST_F(SetupSessionLine, Opening) {
    ASSERT_NO_FATAL_FAILURE(openAt(kLockedAt, [](SetupState& s) { s.working.Delay = 7; }));
    const SetupState read = SetupNow();
    const SetupBytes reference = EncodeSetup(read.reference);
    EXPECT_EQ(Bytes(reference.begin(), reference.end()), stored(kLockedAt));
    EXPECT_EQ(std::tuple(read.previousLock, read.loaded, read.context.uvir), std::tuple(kLocked, true, false));

    SetupRecord fromFile;
    fromFile.Sensitivity = 5;
    const SetupBytes file = EncodeSetup(fromFile);
    using enum SetupOpened;
    // What is arranged, the outcome, its box and log line, the requests sent.
    const std::tuple<std::function<void()>, SetupOpened, std::string, std::string, long> cases[] = {
        {[&] { Wire().responded = false; }, NoDetector, "", "", 0},
        {[&] { Wire().responded = true, line->wrongAddressAnswers(1); }, WrongAddress,
         "Error: Invalid setup downloaded - reload...", "Invalid setup downloaded: buf[0] 6 != st.address 5", 1},
        {[&] { line->setSilent(true); }, NoAnswer, "", "ModbusGet(D_SETUP2HOST) returned -1 bytes instead of 89", 3},
        {[&] { ASSERT_TRUE(WriteWholeFile(kSetupFile, std::span(file).first(71))); }, FileError,
         "Error: 'current_ir4_setup.bin' holds 71 bytes instead of 72 - nothing loaded...", "", 0},
        {[&] { ASSERT_TRUE(WriteWholeFile(kSetupFile, file)); }, FromFile, "", "", 0},
    };
    for (const auto& [arrange, result, box, log, requests] : cases) {
        SCOPED_TRACE(static_cast<int>(result));
        arrange();
        logged.clear();
        FakePanel p;
        const bool shift = result == FileError || result == FromFile;
        EXPECT_EQ(OpenSetup(p, shift), result);
        EXPECT_EQ(p.questions, box.empty() ? Lines{} : Lines{box});
        EXPECT_TRUE(log.empty() || wasLogged(log)) << log;
        EXPECT_EQ(std::count(logged.begin(), logged.end(), "ModbusGet(119):"), requests);
        const SetupState now = SetupNow();
        EXPECT_EQ(std::tuple(now.reference, now.working, now.previousLock),
                  std::tuple(read.reference, result == FromFile ? fromFile : read.working, kLocked));
        EXPECT_EQ(std::tuple(p.timers.count(setupwin::kFillTimer), p.disabled.count(kApply)),
                  std::tuple(result == FromFile ? 1u : 0u, shift ? 0u : 1u));
    }
}

// Locked to Not Locked: the ADMIN password (a wrong one first), the burn,
// the read-back without payload, and every copy and the file after it.
TEST_F(SetupSessionLine, LockedDetectorBurnsAndVerifies) {
    corrupt(36, 0x55);  // past the compared settings (a password byte here): no effect
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
    Bytes file(burned.begin(), burned.end()), detector = stored(kLockedAt);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 34, detector.begin()));
    for (const Bytes& b : {detector, file})
        EXPECT_EQ(Bytes(b.begin() + 36, b.begin() + 70), Bytes(34, 0)) << "passwords cleared";

    uint8_t last[128];
    const int n = modbus_last_request(Wire().ctx, last, sizeof last);
    EXPECT_EQ(Bytes(last, last + std::max(n, 0)), hostframes::recordGet(kLockedAt, D_SETUP2HOST));
    EXPECT_EQ(waits, (std::vector<unsigned>{3000, 1000}));
    file[setupfield::LockState] = kLockNotSet;
    EXPECT_EQ(ReadWholeFile(kSetupFile, 100), file);
    EXPECT_TRUE(wasLogged("'current_ir4_setup.bin' has been created..."));
    EXPECT_EQ(std::tuple(panel.closedWith, panel.disabled.count(kApply), panel.text(kApply)),
              std::tuple(IDOK, 1u, "Apply Settings"));
    for (const auto& l : logged)
        EXPECT_TRUE(l.find("apass") == std::string::npos && l.find("61 70 61 73 73") == std::string::npos) << l;
}

// Burns that end before the record is stored: nothing changes anywhere.
TEST_F(SetupSessionLine, NothingStoredWithoutConsent) {
    const std::string shortAnswer = "ModbusGet(D_SETUP2DET) returned 18 bytes instead of 89";
    const auto cancel = [](FakePanel& p) { p.answers = {IDCANCEL}; };
    using enum BurnResult;
    // The detector, the edit, the panel's answers; the outcome, the questions, the frames sent and a log line.
    const std::tuple<uint8_t, Change, std::function<void(FakePanel&)>, BurnResult, Lines, uint64_t, std::string>
        cases[] = {
        {kOpenAt, {}, {}, NoChanges, {"Note:: No changes made\r\n\r\nSetup not burned"}, 0, ""},
        {kOpenAt, [](SetupState& s) { s.working.LockState = kNotLocked; }, cancel, Cancelled,
         {"Warning:: The detector has been set as \"Not Locked\".\r\nBIT, Burn and Update functionality may become "
          "unavailable if some unauthorized user later sets the detector as \"Locked\"..."}, 0, ""},
        {kOpenAt, [](SetupState& s) { s.working.LockState = kLocked; }, {}, Cancelled,
         {"Error: Passwords not entered.\r\nBurn canceled..."}, 0, "Passwords not entered. Burn canceled..."},
        {kOtherLockedAt, [](SetupState& s) { s.working.Sensitivity = 4; }, [](FakePanel& p) { p.typed = {"mpass"}; },
         Cancelled, {kAdminPrompt, kAdminPrompt, "Error: Current ADMIN Password not entered.\r\nBurn canceled..."}, 1,
         "Current ADMIN Password not entered. Burn canceled..."},
        {kOpenAt, [](SetupState& s) { corrupt(16, 1), s.working.Delay = 0; },  // "Reserved" must be 0
         {}, CommProblem, {"Error: Comm. problem: Burn failed..."}, 1, shortAnswer},
        // Elevated, and still refused: the detector answers status 0.
        {kOtherLockedAt,
         [this](SetupState& s) {
             corrupt(-1, 0);
             line->refuseSetupWrites(kOtherLockedAt, 1);
             s.working.Sensitivity = 4;
         },
         [](FakePanel& p) { p.typed = {"apass"}; }, ElevationProblem,
         {kAdminPrompt, "Error: Elevation problem: Burn failed..."}, 2, shortAnswer},
    };
    for (const auto& [address, change, script, result, questions, frames, log] : cases) {
        SCOPED_TRACE(questions.back());
        ASSERT_NO_FATAL_FAILURE(openAt(address, change));
        const SetupState before = SetupNow();
        const Bytes detector = stored(address);
        FakePanel panel;
        if (script) script(panel);
        logged.clear();
        const uint64_t sent = line->stats().frames;
        EXPECT_EQ(BurnSetup(panel, {}).result, result);
        EXPECT_EQ(panel.questions, questions);
        EXPECT_EQ(line->stats().frames - sent, frames);
        EXPECT_TRUE(log.empty() || wasLogged(log)) << log;
        EXPECT_EQ(std::tuple(SetupNow().reference, SetupNow().previousLock, stored(address), panel.closedWith),
                  std::tuple(before.reference, before.previousLock, detector, 0));
        EXPECT_EQ(panel.disabled.count(kApply), result == NoChanges ? 1u : 0u);
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
