// Moving detectors: the probe of a new address, the Select page's and the
// address dialog's checked changes, and the manual BIT's elevation.
#include <gtest/gtest.h>

#include "network/AddressBook.h"
#include "network/AddressChange.h"
#include "network/CSelectIds.h"
#include "network/CSetAddrIds.h"
#include "network/SelectPage.h"
#include "network/SetAddr.h"
#include "shell/FakePanel.h"
#include "shell/ShellState.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "support/WaitFor.h"
#include "util/Profile.h"

namespace {

using Addresses = std::vector<uint8_t>;

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
    void start(const std::vector<wsim::DetectorConfig>& detectors, uint8_t current) {
        startLine(detectors);
        openWire(current);
        Shell().detector.address = current;
    }
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
};

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
        const char* field;              // the new address as typed
        std::deque<std::string> typed;  // passwords given at the prompt
        Addresses after;                // addresses on the line afterwards
        std::string box;                // the start of the message shown, if any
    };
    const std::vector free5{testline::ir(5)}, locked5{testline::lockedIr(5)};
    const std::string range = "Error: Address must be different and in the range [1..247]";
    const Case cases[] = {
        {"unlocked, free", free5, "9", {}, {9}, ""},
        {"occupied", {testline::ir(5), testline::ir(9)}, "9", {}, {5, 9},
         "Operation aborted:: A detector, version"},
        {"locked, cancelled", locked5, "9", {}, {5}, ""},
        {"locked, granted", locked5, "9", {"wrong", "apass"}, {9}, ""},
        {"unchanged", free5, "5", {}, {5}, range},
        {"0", free5, "0", {}, {5}, range},
        {"248", free5, "248", {}, {5}, range},
        {"no number", free5, "x", {}, {5}, range},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start(c.line, 5);
        Book().setName({505, "Tank farm", 5});
        panel = std::make_shared<FakePanel>();
        panel->typed = c.typed;
        panel->setCheck(selectpage::kNewRadio, 1);
        panel->setText(selectpage::kAddress, c.field);
        SelectPage page(panel, {[](unsigned, bool) {}, [](unsigned) {}, [] { return 255u; }});
        page.onAction();
        ASSERT_TRUE(WaitFor([] { return Shell().link().idle(); }, 10000));
        EXPECT_EQ(line->addresses(), c.after);
        const bool moved = c.after == Addresses{9};
        EXPECT_EQ(Shell().detector.address, moved ? 9u : 5u);
        EXPECT_EQ(Book().nameAt(moved ? 9 : 5).value_or(FriendlyName{}).name, "Tank farm");
        EXPECT_EQ(panel->text(selectpage::kAction), moved ? "Burning" : "");
        const std::string shown = panel->questions.empty() ? "" : panel->questions.back();
        EXPECT_EQ(shown.rfind(c.box, 0), 0u) << shown;
        EXPECT_EQ(panel->check(selectpage::kSwitchRadio), 1);
        TearDown();
    }
}

TEST_F(NetworkLine, ManualBitAsksForMaintOnlyOnALockedDetector) {
    start({testline::ir(5), testline::lockedIr(6)}, 5);
    ManualBit(*panel);
    EXPECT_TRUE(panel->questions.empty());
    EXPECT_TRUE(line->withDetector(5, [](wsim::Detector& d, int64_t now) { EXPECT_EQ(d.mode(now), 'M'); }));
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
    dialog.onAction();  // IDOK: made the start-up address
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
