// Baud-rate switching against a simulated detector, with the status poll
// proving the new speed as it does in the window.
#include <gtest/gtest.h>

#include "FakePanel.h"
#include "OneDetectorLine.h"
#include "shell/BaudSwitch.h"
#include "shell/HostSettings.h"
#include "shell/StatusPoll.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "sim/Line.h"

namespace {

class BaudSwitching : public OneDetectorLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openLine(3));
        WaitingForResponse() = false;
        poll = std::make_unique<StatusPoll>(panel, StatusPoll::Hooks{});
    }

    // Runs an automatic switch to its end: the window's timer every 100 ms of
    // test time and, while the detector can answer, a status poll on each, as
    // the poll clock would.
    BaudSwitch::Result runAutomatic(BaudSwitch::Options options, bool polls = true) {
        BaudSwitch::Ui ui;
        ui.buttonText = [this](const std::string& t) { buttons.push_back(t); };
        ui.enableButton = [](bool) {};
        ui.windowTitle = [this](const std::string& t) { titles.push_back(t); };
        ui.updateTitles = [] {};
        ui.message = [this](const std::string& t, const std::string&, unsigned) { messages.push_back(t); };
        ui.waitTimer = [this](bool on) { timer = on; };
        ui.closeSoon = [] {};
        BaudSwitch::Env env;
        env.nowMs = [this] { return now; };
        env.sleepMs = [](unsigned) {};
        env.busy = [](bool) {};
        BaudSwitch sw(ui, env, options);
        sw.open();
        for (int i = 0; i < 2000 && sw.result() == BaudSwitch::Pending; ++i) {
            now += 100;
            if (polls) poll->tick();
            sw.onTimer();
        }
        return sw.result();
    }

    FakePanel panel;
    std::unique_ptr<StatusPoll> poll;
    unsigned long long now = 1000000;
    bool timer = false;
    std::vector<std::string> buttons, titles, messages;
};

TEST_F(BaudSwitching, ToTheFastLineAndBack) {
    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(9600)), BaudSwitch::Switched);
    EXPECT_EQ(Wire().port.baud, 921600u);
    EXPECT_EQ(line->hostBaud(), 921600u);
    EXPECT_EQ(buttons.back(), "Baudrate switched successfully!");
    EXPECT_FALSE(timer);

    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(921600)), BaudSwitch::Switched);
    EXPECT_EQ(Wire().port.baud, 9600u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(BaudSwitching, ADetectorThatNeverAnswersEndsAt9600) {
    line->setSilent(true);
    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(9600), false), BaudSwitch::Reverted);
    EXPECT_EQ(Wire().port.baud, 9600u);
    EXPECT_EQ(buttons.back(), "Switch failed - reverted to 9600 baud...");

    // From the fast line: the first try and three retries, then 9600.
    Wire().port.baud = 921600;
    ASSERT_TRUE(ReopenLink());
    titles.clear();
    messages.clear();
    EXPECT_EQ(runAutomatic(SwitchToFastOrBackOptions(921600), false), BaudSwitch::Reverted);
    EXPECT_EQ(Wire().port.baud, 9600u);
    EXPECT_EQ(titles, (std::vector<std::string>{"Switch Baudrate - retry 1 of 3", "Switch Baudrate - retry 2 of 3",
                                                "Switch Baudrate - retry 3 of 3", "Harrow  (Baudrate 9600)"}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Auto switching baudrate failed after 3 retries.", 0), 0u);
}

TEST_F(BaudSwitching, TheCurrentSpeedSendsNothing) {
    std::vector<std::string> shown;
    BaudSwitch::Ui ui;
    ui.message = [&](const std::string& t, const std::string&, unsigned) { shown.push_back(t); };
    BaudSwitch::Env env;
    env.busy = [](bool) {};
    env.sleepMs = [](unsigned) {};
    BaudSwitch sw(ui, env, {});
    const auto before = line->stats().frames;
    sw.run(kBaudIndex9600);
    EXPECT_EQ(shown, std::vector<std::string>{"Switching to the current baudrate.\r\nSelect a different baudrate..."});
    sw.run(-1);
    EXPECT_EQ(shown.back(), "No baudrate selected...");
    EXPECT_EQ(line->stats().frames, before);
}

}  // namespace
