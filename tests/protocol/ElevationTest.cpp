// Elevation against simulated detectors, and the exact bytes it sends.
#include <gtest/gtest.h>

#include <mutex>

#include "WireFixture.h"
#include "protocol/Elevation.h"
#include "protocol/records/ElevationRecord.h"
#include "protocol/records/SetupRecord.h"
#include "shell/FakePanel.h"
#include "support/HostFrames.h"
#include "support/TestLineWire.h"
#include "util/Log.h"

namespace {

// Remembers the captions of the prompts as well.
struct PromptPanel : FakePanel {
    std::optional<std::string> askText(const std::string& prompt, const std::string& caption,
                                       bool secret) override {
        {
            std::lock_guard lock(m);
            captions.push_back(caption + (secret ? "" : " (plain)"));
        }
        return FakePanel::askText(prompt, caption, secret);
    }
    std::vector<std::string> captions;
};

struct DebugLines {
    std::mutex m;
    std::vector<std::string> lines;
    DebugLines() {
        logs::attachLists(
            [this](const std::string& l) {
                std::lock_guard lock(m);
                lines.push_back(l);
            },
            {});
    }
    ~DebugLines() { logs::detachLists(); }
};

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
        std::vector<std::string> prompts;
        uint64_t frames;  // the setup read and one D_ELEVATE for each password typed
        int detectorLevel;
    } cases[] = {
        {"unlocked: no prompt", kOpenAt, 2, {}, 2, {}, 1, 0},
        {"wrong, then right", kLockedAt, 2, {"mpass", "apass"}, 2, {admin, admin}, 3, 2},
        {"MAINT", 6, 1, {"mpass"}, 2, {maint}, 2, 1},
        {"case matters", 7, 1, {"MPASS"}, 0, {maint, maint}, 2, 0},
        {"cancel sends nothing", 8, 2, {}, 0, {admin}, 1, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SelectSlave(c.address));
        PromptPanel panel;
        panel.typed = c.typed;
        const uint64_t before = frames();
        EXPECT_EQ(RequestElevation(c.level, "Burn the detector setup", panel), c.result);
        EXPECT_EQ(panel.questions, c.prompts);
        EXPECT_EQ(frames() - before, c.frames);
        EXPECT_EQ(levelAt(c.address), c.detectorLevel);
        for (const auto& caption : panel.captions) EXPECT_EQ(caption, "Burn the detector");
    }
}

TEST_F(ElevationLine, NoSetupAnswer) {
    line->setSilent(true);
    PromptPanel panel;
    DebugLines log;
    EXPECT_EQ(RequestElevation(2, "x", panel), 0);
    EXPECT_EQ(panel.questions,
              std::vector<std::string>{"Error: RequestElevation failed - try again..."});
    EXPECT_EQ(log.lines.back(), "ModbusGet(D_SETUP2HOST) returned -1 bytes instead of 89");
}

TEST_F(ElevationLine, AdminHoldLastsThirtySeconds) {
    const std::string prompt = "Please Enter the current ADMIN Password:";
    const std::string note =
        "Please Note:: Admin privilege will hold for 30 seconds - or until dialog closed...";
    unsigned long long now = 1'000'000;
    AdminElevation hold(true, [&] { return now; });
    PromptPanel panel;
    panel.typed = {"apass", "apass"};
    const uint64_t before = frames();
    EXPECT_EQ(hold.ensure(panel), 1);
    now += 10'000;
    EXPECT_EQ(hold.ensure(panel), 1);  // presented again without asking
    now += 40'000;
    EXPECT_EQ(hold.ensure(panel), 1);
    EXPECT_EQ(panel.questions, (std::vector<std::string>{prompt, note, prompt}));
    EXPECT_EQ(panel.captions, std::vector<std::string>(2, "Write Holding Registers"));
    EXPECT_EQ(frames() - before, 3u);
    EXPECT_EQ(levelAt(kLockedAt), 2);

    AdminElevation open(false);
    EXPECT_EQ(open.ensure(panel), 1);
    EXPECT_EQ(panel.questions.size(), 3u);
    EXPECT_EQ(frames() - before, 3u);
}

TEST_F(ElevationLine, AdminHoldWrongPasswordThenCancel) {
    AdminElevation hold(true);
    PromptPanel panel;
    panel.typed = {"mpass"};
    DebugLines log;
    const uint64_t before = frames();
    EXPECT_EQ(hold.ensure(panel), 0);
    EXPECT_EQ(panel.questions.size(), 3u);
    EXPECT_EQ(panel.questions.back(),
              "Error: Current ADMIN Password not entered.\r\nWrite canceled...");
    EXPECT_EQ(log.lines.back(), "Current ADMIN Password not entered. Write canceled...");
    EXPECT_EQ(frames() - before, 1u);
}

// A scripted locked detector on a pseudo-terminal that keeps every request,
// so the bytes of each elevation can be checked.
class ElevationBytes : public WireFixture {
protected:
    void SetUp() override {
        WireFixture::SetUp();
        peer.serve([](const std::vector<uint8_t>& rq) -> std::vector<uint8_t> {
            if (rq.size() < 8) return {};
            if (rq[4] == D_SETUP2HOST) {
                std::vector<uint8_t> setup(kSetupRecordSize, 0);
                setup[setupfield::LockState] = kLocked;
                return recordAnswer(rq[0], setup, 0, rq[4]);
            }
            const bool granted =
                rq.size() == 27 && std::string(reinterpret_cast<const char*>(&rq[8])) == "ok";
            return recordAnswer(rq[0], {uint8_t(granted ? 1 : 0)}, 0, rq[4]);
        });
    }
};

TEST_F(ElevationBytes, ShortPasswordAfterLongOneCarriesNoTraceOfIt) {
    PromptPanel panel;
    panel.typed = {"sixteen-chars-pw-and-more", "ok"};
    ASSERT_EQ(RequestElevation(2, "Burn", panel), kElevationGranted);
    const auto sent = peer.requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1],
              hostframes::recordGet(1, D_ELEVATE, hostframes::elevation(2, "sixteen-chars-pw")));
    EXPECT_EQ(sent[2], hostframes::recordGet(1, D_ELEVATE, hostframes::elevation(2, "ok")));
}

TEST(ElevationRecord, Codec) {
    EXPECT_EQ(EncodeElevation(1, "")[0], 1);
    const auto answer = recordAnswer(1, {1});
    EXPECT_TRUE(ElevationGranted(answer));
    EXPECT_FALSE(ElevationGranted(std::span(answer).first(17)));
    EXPECT_FALSE(ElevationGranted(recordAnswer(1, {2})));
    std::vector<uint8_t> setup(kSetupRecordSize, 0);
    setup[setupfield::LockState] = kLocked;
    const auto locked = recordAnswer(1, setup);
    EXPECT_TRUE(SetupLocked(locked));
    EXPECT_FALSE(SetupLocked(std::span(locked).first(88)));
    setup[setupfield::LockState] = kLockNotSet;
    EXPECT_FALSE(SetupLocked(recordAnswer(1, setup)));
}

}  // namespace
