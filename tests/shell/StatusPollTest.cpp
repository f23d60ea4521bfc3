// The status poll against a simulated line and against scripted answers.
#include <gtest/gtest.h>

#include <cstring>

#include "FakePanel.h"
#include "shell/ShellState.h"
#include "shell/CTesselMainIds.h"
#include "shell/StatusPoll.h"
#include "support/PtyPeer.h"
#include "support/RefCrc.h"
#include "support/TestLineWire.h"

namespace {

using Bytes = std::vector<uint8_t>;

class StatusPollSim : public TestLine {
protected:
    void SetUp() override {
        ResetShell();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(5)}));
        ASSERT_NO_FATAL_FAILURE(openWire(5));
        Shell().host.textVariant = 2;
        poll->subscribe([this](const PollOutcome& o) {
            if (o.gauges) lastGauge = o.gauges->volts;
        });
    }
    void TearDown() override {
        ResetShell();
        TestLine::TearDown();
    }
    void tick() { poll->tick(); }

    std::shared_ptr<FakePanel> panelPtr = std::make_shared<FakePanel>();
    FakePanel& panel = *panelPtr;
    std::shared_ptr<StatusPoll> poll = std::make_shared<StatusPoll>(panelPtr);
    double lastGauge = 0;
};

TEST_F(StatusPollSim, SilenceThenBackOffThenRecoveryThenPollingOff) {
    tick();
    EXPECT_EQ(panel.text(ctl::CommState), "COMM OK");
    EXPECT_EQ(panel.text(ctl::Address), "5");
    EXPECT_EQ(panel.text(ctl::Heater), "OFF");
    EXPECT_TRUE(poll->connected());

    line->setSilent(true);
    struct Step {
        int failures;
        const char* comm;
        const char* address;
        bool blank;
    } const steps[] = {
        {1, "COMM OK", "---", false}, {2, "COMM OK", "---", false}, {3, "NO COMM", "---", false},
        {4, "NO COMM", "- -", true},  {5, "NO COMM", "- -", true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.failures);
        tick();
        EXPECT_EQ(poll->consecutiveFailures(), s.failures);
        EXPECT_EQ(panel.text(ctl::CommState), s.comm);
        EXPECT_EQ(panel.text(ctl::Address), s.address);
        EXPECT_EQ(panel.text(ctl::Mode).empty(), s.blank);
        EXPECT_EQ(panel.disabled.count(ctl::Fault) == 1, s.blank);
        EXPECT_EQ(Wire().lastResponder, 255u);
    }
    EXPECT_EQ(lastGauge, 1001.0);  // off-scale since the third failure
    while (poll->consecutiveFailures() < 11) tick();

    // Eleven in a row: the next twenty ticks send nothing at all.
    const auto framesBefore = line->stats().frames;
    for (int i = 0; i < 20; ++i) tick();
    EXPECT_EQ(line->stats().frames, framesBefore);
    EXPECT_EQ(poll->backOff(), 0);

    line->setSilent(false);
    tick();
    EXPECT_EQ(line->stats().frames, framesBefore + 1);
    EXPECT_TRUE(poll->connected());
    EXPECT_EQ(panel.text(ctl::CommState), "COMM OK");
    EXPECT_EQ(panel.text(ctl::Address), "5");
    EXPECT_EQ(poll->consecutiveFailures(), 0);
    EXPECT_TRUE(panel.disabled.empty());

    poll->setPolling(false);
    tick();
    EXPECT_EQ(line->stats().frames, framesBefore + 1);
    EXPECT_EQ(panel.text(ctl::CommState), "---");
    EXPECT_EQ(Wire().lastResponder, 248u);
}

// Answers the poll cannot get from the simulator: addresses out of range and
// hand-made field values.
class StatusPollScripted : public ::testing::Test {
protected:
    void SetUp() override {
        ResetShell();
        ResetWire();
        ASSERT_TRUE(ParseDCB(peer.port(115200), &Wire().port));
        ASSERT_NE(OpenModbusContext(), nullptr);
        poll->subscribe([this](const PollOutcome& o) {
            if (o.gauges) gauges = {o.gauges->volts, o.gauges->temperature, o.gauges->milliamps};
            reachedPending = o.reachedPending;
        });
    }
    void TearDown() override {
        peer.stop();
        ResetShell();
        ResetWire();
    }
    void answerWith(const Bytes& data, uint8_t address) {
        peer.serve([=](const Bytes&) { return recordAnswer(address, data, 0, D_DATA2HOST); });
    }
    static Bytes status() {
        Bytes d(160, 0);
        d[0] = 99;   // state 99 reads as 0
        d[1] = 'w';  // shown upper-cased
        d[2] = 0x40 | 0x20 | 0x80;
        const float celsius = 25.0f, volts = 24.0f;
        std::memcpy(&d[147 - 15], &celsius, 4);
        std::memcpy(&d[155 - 15], &volts, 4);
        d[159 - 15] = 200;
        d[160 - 15] = 1;
        d[161 - 15] = 0xDB;
        d[162 - 15] = 0xC5;
        return d;
    }
    PtyPeer peer;
    std::shared_ptr<FakePanel> panelPtr = std::make_shared<FakePanel>();
    FakePanel& panel = *panelPtr;
    std::shared_ptr<StatusPoll> poll = std::make_shared<StatusPoll>(panelPtr);
    std::array<double, 3> gauges{};
    bool reachedPending = false;
};

TEST_F(StatusPollScripted, FieldsOfAnAnswerThenTheArrowsSwitch) {
    Shell().host.usUnits = 1;
    panel.setText(ctl::AddressLabel, "Addr 9:");  // the arrows' choice, not switched to yet
    answerWith(status(), 7);
    poll->tick();
    EXPECT_EQ(panel.text(ctl::Address), "7");
    EXPECT_EQ(Wire().slave, 7u);
    EXPECT_EQ(panel.text(ctl::Mode), "W");
    EXPECT_EQ(panel.text(ctl::State), "0");
    EXPECT_EQ(panel.text(ctl::Analog), "20.0");
    EXPECT_EQ(panel.text(ctl::Heater), "ON");
    EXPECT_EQ(panel.text(ctl::Permission), "Locked: Elevation 3, Left 5 min.");
    EXPECT_EQ(panel.indicators[ctl::Accessory], 1);
    EXPECT_EQ(panel.indicators[ctl::Alarm], 0);
    EXPECT_EQ(panel.indicators[ctl::Fault], 1);
    EXPECT_DOUBLE_EQ(gauges[1], 77.0);  // 25 degrees in US units, exactly
    EXPECT_DOUBLE_EQ(gauges[2], 20.0);
    EXPECT_FALSE(reachedPending);
    EXPECT_EQ(panel.text(ctl::AddressLabel), "Addr 9:");

    // The switch: the next poll asks 9, and 9's answer ends the arrows' choice.
    peer.stop();
    poll->switchTo(9);
    EXPECT_EQ(Wire().slave, 9u);
    answerWith(status(), 9);
    poll->tick();
    EXPECT_EQ(int(peer.requests().back().at(0)), 9);
    EXPECT_TRUE(reachedPending);
    EXPECT_EQ(panel.text(ctl::AddressLabel), "Address:");
}

// From beyond the address range or from 0, and too short to hold the fields: no answer.
TEST_F(StatusPollScripted, AnswersFromOddAddressesAndShortRecords) {
    struct Case {
        uint8_t address;
        size_t size;
        int failures;
        unsigned lastResponder;
    } const cases[] = {{250, 160, 1, 255}, {0, 160, 2, 255}, {9, 100, 3, 255}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.address) << ", " << c.size << " bytes");
        Bytes d = status();
        d.resize(c.size);
        answerWith(d, c.address);
        poll->tick();
        peer.stop();
        EXPECT_EQ(panel.text(ctl::Address), "---");
        EXPECT_EQ(poll->consecutiveFailures(), c.failures);
        EXPECT_EQ(Wire().lastResponder, c.lastResponder);
    }
}

// One stray answer from another address is followed, but where nothing then
// answers the poll goes back to the address chosen, without a back-off.
TEST_F(StatusPollScripted, AFollowedAddressThatFailsGivesWayToTheChosenOne) {
    poll->switchTo(9);
    answerWith(status(), 7);
    poll->tick();
    peer.stop();
    ASSERT_EQ(Wire().slave, 7u);
    peer.serve([](const Bytes&) { return Bytes{0x13, 0x37}; });  // fails fast
    for (int i = 0; i < 10; ++i) poll->tick();
    EXPECT_EQ(Wire().slave, 7u) << "ten failures are not enough";
    poll->tick();
    EXPECT_EQ(Wire().slave, 9u);
    EXPECT_EQ(Shell().detector.address, 9u);
    EXPECT_EQ(poll->consecutiveFailures(), 0);
    poll->tick();
    EXPECT_EQ(int(peer.requests().back().at(0)), 9) << "polled at once";
}

TEST(StatusPollErrorLine, SpinnerAndTexts) {
    auto panel = std::make_shared<FakePanel>();
    StatusPoll poll(panel);
    const std::pair<int, const char*> cases[] = {{-1, "- comm error..."},
                                                 {-5, "\\ Invalid response, 4 bytes..."},
                                                 {3, "| Invalid response from wrong address..."},
                                                 {-1, "/ comm error..."},
                                                 {-1, "- comm error..."}};
    for (const auto& [result, line] : cases) {
        poll.showCommError(result);
        EXPECT_EQ(panel->text(ctl::StatusText), line);
    }
}

}  // namespace
