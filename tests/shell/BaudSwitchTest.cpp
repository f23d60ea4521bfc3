// Baud-rate switching against a simulated detector, with the status poll
// proving the new speed as it does in the window.
#include <gtest/gtest.h>

#include "FakePanel.h"
#include "shell/BaudSwitch.h"
#include "shell/CBaudrateIds.h"
#include "shell/ShellState.h"
#include "shell/StatusPoll.h"
#include "protocol/SwitchComm.h"
#include "support/TestLineWire.h"

namespace {

class BaudSwitching : public TestLine {
protected:
    void SetUp() override {
        ResetShell();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(3)}));
        ASSERT_NO_FATAL_FAILURE(openWire(3));
    }
    void TearDown() override {
        ResetShell();
        TestLine::TearDown();
    }

    BaudSwitch make(BaudSwitch::Options options) {
        return BaudSwitch(panel, options, {[this] { return now; }, [](unsigned) {}});
    }
    // Runs an automatic switch to its end: the window's timer every 100 ms of
    // test time and, while the detector can answer, a status poll on each, as
    // the poll clock would.
    BaudSwitch::Result runAutomatic(BaudSwitch::Options options, bool polls = true) {
        BaudSwitch sw = make(options);
        sw.open();
        for (int i = 0; i < 2000 && sw.result() == BaudSwitch::Pending; ++i) {
            now += 100;
            if (polls) poll->tick();
            sw.onTimer();
        }
        return sw.result();
    }
    const std::string& button() { return panel->texts[baudwin::kSwitch]; }

    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    std::shared_ptr<StatusPoll> poll = std::make_shared<StatusPoll>(std::make_shared<FakePanel>());
    unsigned long long now = 1000000;
};

TEST_F(BaudSwitching, ToTheFastLineAndBack) {
    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(9600)), BaudSwitch::Switched);
    EXPECT_EQ(Wire().port.baud, 921600u);
    EXPECT_EQ(line->hostBaud(), 921600u);
    EXPECT_EQ(button(), "Baudrate switched successfully!");
    EXPECT_EQ(panel->timers.count(baudwin::kWaitTimer), 0u);
    EXPECT_EQ(panel->closedWith, IDOK);

    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(921600)), BaudSwitch::Switched);
    EXPECT_EQ(Wire().port.baud, 9600u);
    EXPECT_TRUE(panel->questions.empty());
}

TEST_F(BaudSwitching, ADetectorThatNeverAnswersEndsAt9600) {
    line->setSilent(true);
    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(9600), false), BaudSwitch::Reverted);
    EXPECT_EQ(Wire().port.baud, 9600u);
    EXPECT_EQ(button(), "Switch failed - reverted to 9600 baud...");

    // From the fast line: the first try and three retries, then 9600.
    Wire().port.baud = 921600;
    ASSERT_TRUE(ReopenLink());
    panel = std::make_shared<FakePanel>();
    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(921600), false), BaudSwitch::Reverted);
    EXPECT_EQ(Wire().port.baud, 9600u);
    EXPECT_EQ(panel->titles[Panel::kThisWindow],
              (std::vector<std::string>{"Switch Baudrate - retry 1 of 3", "Switch Baudrate - retry 2 of 3",
                                        "Switch Baudrate - retry 3 of 3", "Harrow  (Baudrate 9600)"}));
    EXPECT_EQ(panel->titles[Panel::kMainWindow].back(), "Harrow  (Baudrate 9600)");
    ASSERT_EQ(panel->questions.size(), 1u);
    EXPECT_EQ(panel->questions[0].rfind("Error: Auto switching baudrate failed after 3 retries.", 0), 0u);
    EXPECT_EQ(panel->closedWith, IDCANCEL);
}

TEST_F(BaudSwitching, ARequestThatCannotBeSentEndsTheAutomaticWindow) {
    CloseModbusContext();  // every send fails
    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(9600), false), BaudSwitch::Unchanged);
    EXPECT_EQ(button(), "Submission of request to switch baudrate failed...");
    ASSERT_EQ(panel->questions.size(), 1u);
    EXPECT_EQ(panel->closedWith, IDCANCEL);
    EXPECT_FALSE(Shell().busy);
}

TEST_F(BaudSwitching, TheCurrentSpeedSendsNothing) {
    BaudSwitch sw = make({});
    const auto before = line->stats().frames;
    sw.run(kBaudIndex9600);
    EXPECT_EQ(panel->questions,
              std::vector<std::string>{": Switching to the current baudrate.\r\nSelect a different baudrate..."});
    sw.run(-1);
    EXPECT_EQ(panel->questions.back(), ": No baudrate selected...");
    EXPECT_EQ(line->stats().frames, before);
}

}  // namespace
