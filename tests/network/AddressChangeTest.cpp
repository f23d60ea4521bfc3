// Finding detectors and moving them: locate, the Select page's and the
// address dialog's checked changes, and the manual BIT's elevation.
#include <gtest/gtest.h>

#include "shell/FakePanel.h"
#include "network/AddressBook.h"
#include "network/AddressChange.h"
#include "network/CSelectIds.h"
#include "network/CSetAddrIds.h"
#include "network/Probe.h"
#include "network/SelectPage.h"
#include "network/SetAddr.h"
#include "shell/ShellState.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "support/WaitFor.h"
#include "util/Profile.h"

namespace {

class NetworkLine : public TestLine {
protected:
    void SetUp() override {
        ResetShell();
        ResetBook();
    }
    void TearDown() override {
        ResetShell();
        TestLine::TearDown();
        ResetBook();
    }
    void start(std::vector<wsim::DetectorConfig> detectors, uint8_t current) {
        startLine(detectors);
        openWire(current);
        Shell().detector.address = current;
    }
    static bool idle() {
        return WaitFor([] { return Shell().link().idle(); }, 10000);
    }
    std::vector<uint8_t> addresses() { return line->addresses(); }
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
};

TEST_F(NetworkLine, LocateFindsALoneDetectorAndNothingInACollision) {
    start({testline::ir(9)}, 1);
    EXPECT_EQ(LocateDetector(), std::optional<unsigned>(9));
    TearDown();
    start({testline::ir(9), testline::ir(12)}, 1);
    EXPECT_EQ(LocateDetector(), std::nullopt);
}

TEST_F(NetworkLine, AnyAnswerAtTheNewAddressIsADetector) {
    start({testline::ir(5), testline::ir(9)}, 5);
    const auto version = ProbeNewAddress(9, 5);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->rfind("IR4 detector firmware", 0), 0u) << *version;
    EXPECT_EQ(Wire().slave, 5u);
    line->shortAnswers(1, 9);  // a reply cut short still says someone is there
    EXPECT_EQ(ProbeNewAddress(9, 5), std::optional<std::string>(""));
    EXPECT_EQ(ProbeNewAddress(10, 5), std::nullopt);
}

// The Select page's Set New, against a line with the connected detector at 5.
TEST_F(NetworkLine, SelectPageChangesAnAddressOnlyWhereNothingAnswers) {
    struct Case {
        const char* what;
        std::vector<wsim::DetectorConfig> line;
        std::deque<std::string> typed;  // passwords given at the prompt
        std::vector<uint8_t> after;     // addresses on the line afterwards
        std::string box;                // the message shown, if any
    };
    auto locked5 = testline::lockedIr(5);
    const Case cases[] = {
        {"unlocked, free", {testline::ir(5)}, {}, {9}, ""},
        {"occupied", {testline::ir(5), testline::ir(9)}, {}, {5, 9}, "Operation aborted:: A detector, version"},
        {"locked, cancelled", {locked5}, {}, {5}, ""},
        {"locked, granted", {locked5}, {"wrong", "apass"}, {9}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start(c.line, 5);
        Book().setName({505, "Tank farm", 5});
        panel = std::make_shared<FakePanel>();
        panel->typed = c.typed;
        panel->setCheck(selectpage::kNewRadio, 1);
        panel->setText(selectpage::kAddress, "9");
        SelectPage page(panel, {[](unsigned, bool) {}, [](unsigned) {}, [] { return 255u; }});
        page.onAction();
        ASSERT_TRUE(idle());
        EXPECT_EQ(addresses(), c.after);
        const bool moved = c.after == std::vector<uint8_t>{9};
        EXPECT_EQ(Shell().detector.address, moved ? 9u : 5u);
        EXPECT_EQ(Book().nameAt(moved ? 9 : 5).value_or(FriendlyName{}).name, "Tank farm");
        EXPECT_EQ(panel->text(selectpage::kAction), moved ? "Burning" : "");
        const std::string shown = panel->questions.empty() ? "" : panel->questions.back();
        EXPECT_EQ(shown.rfind(c.box, 0), 0u) << shown;
        EXPECT_EQ(panel->check(selectpage::kSwitchRadio), 1);
        TearDown();
    }
}

TEST_F(NetworkLine, OutOfRangeOrUnchangedAddressesSendNothing) {
    start({testline::ir(5)}, 5);
    for (const char* typed : {"5", "0", "248", "x"}) {
        panel->setCheck(selectpage::kNewRadio, 1);
        panel->setText(selectpage::kAddress, typed);
        SelectPage(panel, {[](unsigned, bool) {}, [](unsigned) {}, [] { return 255u; }}).onAction();
    }
    ASSERT_TRUE(idle());
    EXPECT_EQ(panel->questions, std::vector<std::string>(4, "Error: Address must be different and in the range [1..247]"));
    EXPECT_EQ(line->stats().frames, 0u);
}

TEST_F(NetworkLine, ManualBitAsksForMaintOnlyOnALockedDetector) {
    start({testline::ir(5), testline::lockedIr(6)}, 5);
    ManualBit(*panel);
    EXPECT_TRUE(panel->questions.empty());
    EXPECT_EQ(line->withDetector(5, [](wsim::Detector& d, int64_t now) { EXPECT_EQ(d.mode(now), 'M'); }), true);
    SelectSlave(6);
    ManualBit(*panel);  // no password typed: Cancel
    EXPECT_EQ(panel->questions.back(), "Error: Requesting MAINT elevation failed:\r\n\r\nBIT request aborted...");
}

TEST(SetAddrText, AddressesAreReadFromTheStartOfALine) {
    EXPECT_EQ(SetAddr::parseAddress("  12  4711   Pump house"), std::optional<unsigned>(12));
    EXPECT_EQ(SetAddr::parseAddress("248"), std::optional<unsigned>(248));
    EXPECT_EQ(SetAddr::parseAddress("  "), std::nullopt);
    EXPECT_EQ(SetAddr::parseAddress("N/A"), std::nullopt);
}

TEST(SetAddrSwitch, TheSameAddressSendsNothingButOffersTheStartUpAddress) {
    TempFolder folder;
    ResetShell();
    ResetBook();
    Shell().detector.address = 7;
    auto panel = std::make_shared<FakePanel>();
    std::vector<unsigned> switched;
    SetAddr dialog(panel, [&](unsigned a) { switched.push_back(a); }, {});
    dialog.open();
    EXPECT_EQ(panel->text(setaddr::kCombo), "  7");  // the names are hidden by default
    panel->setCheck(setaddr::kSwitchRadio, 1);
    panel->answers = {IDOK};
    dialog.onAction();
    EXPECT_TRUE(switched.empty());
    EXPECT_EQ(ProfileGetInt("Param.ini", "VantorD", "slave_addr", -1), 7);
    EXPECT_EQ(panel->closedWith, IDOK);

    panel->setText(setaddr::kCombo, "248");
    panel->closedWith = 0;
    dialog.onAction();  // only the two log lines
    EXPECT_EQ(panel->closedWith, 0);
    ResetShell();
}

}  // namespace
