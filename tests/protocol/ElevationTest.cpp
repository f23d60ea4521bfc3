// Elevation against simulated detectors, and the exact bytes it sends.
#include <gtest/gtest.h>

#include "protocol/Elevation.h"
#include "protocol/records/ElevationRecord.h"
#include "protocol/records/SetupRecord.h"
#include "shell/FakePanel.h"
#include "support/HostFrames.h"
#include "support/TestLineWire.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

// Locked ones use mpass and apass; each case starts with a detector of its own.
constexpr uint8_t kOpenAt = 4, kLockedAt = 5;

class ElevationLine : public TestLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(
            startLine({testline::ir(kOpenAt), testline::lockedIr(kLockedAt), testline::lockedIr(6),
                       testline::lockedIr(7), testline::lockedIr(8)}));
        ASSERT_NO_FATAL_FAILURE(openWire(kLockedAt));
    }
    int levelAt(uint8_t address) {
        int level = -1;
        line->withDetector(address,
                           [&](wsim::Detector& d, int64_t now) { level = d.elevationLevel(now); });
        return level;
    }
    uint64_t frames() { return line->stats().frames; }
};

TEST_F(ElevationLine, RequestElevation) {
    const std::string admin = "Please Enter the Admin Password:",
                      maint = "Please Enter the Maintenance Password:";
    struct Case {
        const char* name;
        uint8_t address;
        int level;
        std::deque<std::string> typed;
        int result;
        Lines prompts;
        uint64_t frames;  // the setup read and one D_ELEVATE for each password typed
        int detectorLevel;
    } cases[] = {
        {"unlocked: no prompt", kOpenAt, 2, {}, 2, {}, 1, 0},
        {"a long wrong one, then a short right one",
         kLockedAt, 2, {"sixteen-chars-pw-and-more", "apass"}, 2, {admin, admin}, 3, 2},
        {"MAINT", 6, 1, {"mpass"}, 2, {maint}, 2, 1},
        {"case matters", 7, 1, {"MPASS"}, 0, {maint, maint}, 2, 0},
        {"cancel sends nothing", 8, 2, {}, 0, {admin}, 1, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SelectSlave(c.address));
        FakePanel panel;
        panel.typed = c.typed;
        const uint64_t before = frames();
        EXPECT_EQ(RequestElevation(c.level, "Burn the detector setup", panel), c.result);
        EXPECT_EQ(panel.questions, c.prompts);
        EXPECT_EQ(panel.captions, Lines(c.prompts.size(), "Burn the detector"));
        EXPECT_EQ(frames() - before, c.frames);
        EXPECT_EQ(levelAt(c.address), c.detectorLevel);
        if (!c.result || c.typed.empty()) continue;
        // The granted request carries no trace of anything typed before it.
        uint8_t sent[64];
        const int n = modbus_last_request(Wire().ctx, sent, sizeof sent);
        EXPECT_EQ(Bytes(sent, sent + std::max(n, 0)),
                  hostframes::recordGet(c.address, D_ELEVATE,
                                        hostframes::elevation(uint8_t(c.level), c.typed.back())));
    }
}

TEST_F(ElevationLine, NoSetupAnswerAsksToTryAgain) {
    line->setSilent(true);
    FakePanel panel;
    EXPECT_EQ(RequestElevation(2, "x", panel), 0);
    EXPECT_EQ(panel.questions, Lines{"Error: RequestElevation failed - try again..."});
}

// The password is asked once and presented again while the 30 s last; a
// wrong one is asked again, and nothing typed cancels the write.
TEST_F(ElevationLine, AdminHoldLastsThirtySeconds) {
    const std::string prompt = "Please Enter the current ADMIN Password:";
    const std::string note =
        "Please Note:: Admin privilege will hold for 30 seconds - or until dialog closed...";
    const std::string cancelled = "Error: Current ADMIN Password not entered.\r\nWrite canceled...";
    unsigned long long now = 1'000'000;
    AdminElevation hold(true, [&] { return now; });
    FakePanel panel;
    panel.typed = {"mpass", "apass", "apass"};
    const uint64_t before = frames();
    EXPECT_EQ(hold.ensure(panel), 1);
    now += 10'000;
    EXPECT_EQ(hold.ensure(panel), 1);
    now += 40'000;
    EXPECT_EQ(hold.ensure(panel), 1);
    now += 40'000;
    EXPECT_EQ(hold.ensure(panel), 0);
    EXPECT_EQ(panel.questions, (Lines{prompt, prompt, note, prompt, prompt, cancelled}));
    EXPECT_EQ(panel.captions, Lines(4, "Write Holding Registers"));
    EXPECT_EQ(frames() - before, 4u);
    EXPECT_EQ(levelAt(kLockedAt), 2);

    AdminElevation open(false);
    EXPECT_EQ(open.ensure(panel), 1);
    EXPECT_EQ(panel.questions.size(), 6u);
    EXPECT_EQ(frames() - before, 4u);
}

// Only a whole answer counts; the sim tests above give the whole ones.
TEST(ElevationRecord, CutAnswersAndLongPasswords) {
    const auto cut = EncodeElevation(2, "0123456789abcdefXYZ");
    EXPECT_EQ(Bytes(cut.begin(), cut.end()), hostframes::elevation(2, "0123456789abcdef"));
    EXPECT_FALSE(ElevationGranted(std::span<const uint8_t>(recordAnswer(1, {1})).first(17)));
    EXPECT_FALSE(ElevationGranted(recordAnswer(1, {2})));
    Bytes setup(kSetupRecordSize, kLockNotSet);
    EXPECT_FALSE(SetupLocked(recordAnswer(1, setup)));
    setup[setupfield::LockState] = kLocked;
    EXPECT_FALSE(SetupLocked(std::span<const uint8_t>(recordAnswer(1, setup)).first(88)));
}

}  // namespace
