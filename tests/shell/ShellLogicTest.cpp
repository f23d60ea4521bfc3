// Address stepping, the poll clock's hand-over words, start-up pieces.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "FakePanel.h"
#include "shell/AddressStepper.h"
#include "shell/CTesselMainIds.h"
#include "shell/PagesIds.h"
#include "shell/ShellState.h"
#include "shell/PollClock.h"
#include "shell/StartUp.h"
#include "shell/TickTargets.h"
#include "protocol/SwitchComm.h"
#include "protocol/Transport.h"
#include "support/PtyPeer.h"
#include "util/Log.h"
#include "support/TempFolder.h"

namespace {

// The arrows on their own: the switch they ask for is recorded, not sent.
class Stepper : public ::testing::Test {
protected:
    void SetUp() override { ResetShell(); }
    void TearDown() override { ResetShell(); }
    // The 100 ms timer over `ms` of quiet.
    void wait(unsigned ms) {
        for (unsigned t = 0; t < ms; t += 100) {
            now += 100;
            stepper.onTimer();
        }
    }
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    unsigned long long now = 50000;
    std::vector<unsigned> switches;
    AddressStepper stepper{panel, [this](unsigned a) { switches.push_back(a); }, [this] { return now; }};
};

TEST_F(Stepper, QuickClicksSwitchOnceAfterTheQuietTime) {
    Shell().detector.address = 5;
    for (int i = 0; i < 10; ++i) {
        stepper.up();
        wait(200);
    }
    EXPECT_TRUE(switches.empty());
    EXPECT_EQ(panel->text(ctl::AddressLabel), "Addr 15:");
    EXPECT_EQ(panel->text(page::kAddressField), "15");
    wait(1200);
    EXPECT_TRUE(switches.empty());
    wait(100);
    EXPECT_EQ(switches, std::vector<unsigned>{15});
    EXPECT_EQ(panel->timers.count(mainwin::kStepTimer), 0u);
}

TEST_F(Stepper, Limits) {
    Shell().detector.address = 247;
    stepper.up();
    EXPECT_EQ(stepper.pending(), 247u);
    EXPECT_EQ(panel->text(ctl::AddressLabel), "Adr 247:");
    wait(1600);
    Shell().detector.address = 1;
    stepper.down();
    EXPECT_EQ(stepper.pending(), 1u);
    stepper.select(120, true);
    EXPECT_EQ(switches.back(), 120u);
}

TEST(PollClockWords, PendingValuesAreTakenOnceAndNeverLost) {
    std::vector<PollClock::Target> ticked;
    PollClock::Hooks h;
    h.tick = [&](PollClock::Target t) { ticked.push_back(t); };
    h.sleep = [](unsigned) {};
    PollClock clock(h);
    LinkModeWord() = LINK_MODBUS;
    clock.setTarget(42);
    clock.setPeriod(50);
    clock.step();
    EXPECT_EQ(clock.target(), 42);
    EXPECT_EQ(clock.period(), 50u);
    clock.setTarget(PollClock::kMainWindow);
    clock.step();
    EXPECT_EQ(ticked, (std::vector<PollClock::Target>{42, 0}));

    // Busy or a switch in progress: no tick.
    clock.setBusy(true);
    clock.step();
    clock.setBusy(false);
    LinkModeWord() = LINK_SWITCHING;
    clock.step();
    EXPECT_EQ(ticked.size(), 2u);

    // A switch request is acknowledged after the tick, exactly once.
    LinkModeWord() = LINK_REQUESTED;
    clock.step();
    EXPECT_EQ(LinkModeWord().load(), LINK_SWITCHING);
    LinkModeWord() = LINK_MODBUS;
}

// A window that polls, opened from another that polls (the page search from
// the console), hands the ticks back to that one and not to the main window.
TEST(PollClockWords, TicksGoBackToTheHolderBeneath) {
    PollClock::Hooks h;
    h.tick = [](PollClock::Target) {};
    h.sleep = [](unsigned) {};
    PollClock clock(h);
    LinkModeWord() = LINK_MODBUS;
    SetTickClock(&clock);
    const auto console = TakeTicks([] {}, 50);
    const auto search = TakeTicks([] {}, 40);
    clock.step();
    EXPECT_EQ(std::pair(clock.target(), clock.period()), std::pair(search, 40u));
    GiveTicksBack(search);
    clock.step();
    EXPECT_EQ(std::pair(clock.target(), clock.period()), std::pair(console, 50u));
    GiveTicksBack(console);
    clock.step();
    EXPECT_EQ(std::pair(clock.target(), clock.period()), std::pair(PollClock::Target{0}, 100u));
    SetTickClock(nullptr);
}

TEST(PollClockWords, TargetsSetFromAnotherThreadArrive) {
    std::atomic<PollClock::Target> last{0};
    PollClock::Hooks h;
    h.tick = [&](PollClock::Target t) { last = t; };
    h.sleep = [](unsigned) { std::this_thread::yield(); };
    PollClock clock(h);
    ASSERT_TRUE(clock.start());
    for (PollClock::Target t = 1; t <= 200; ++t) {
        clock.setTarget(t);
        while (last.load() != t) std::this_thread::yield();
    }
    clock.stop();
    EXPECT_EQ(last.load(), 200);
}

TEST(StartUp, KeysAtStartUp) {
    struct Case {
        const char* name;
        bool consoleOption, rawOption;
        KeyState keys;
        bool console, raw;
    } const cases[] = {
        {"nothing", false, false, {}, false, false},
        // One Shift, or a platform that cannot tell the sides apart: the console only.
        {"shift", false, false, {.shift = true}, true, false},
        {"left shift", false, false, {.shift = true, .leftShift = true}, true, false},
        {"both shifts", false, false, {.shift = true, .leftShift = true, .rightShift = true}, true, true},
        {"--console", true, false, {}, true, false},
        {"--raw-diagnostic", false, true, {}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StartModes m = ChooseStartModes(c.consoleOption, c.rawOption, c.keys);
        EXPECT_EQ(m.console, c.console);
        EXPECT_EQ(m.rawDiagnostic, c.raw);
    }
}

TEST(StartUp, WithoutParamIniTheSettingsDialogDecides) {
    TempFolder folder;
    ResetShell();
    ResetWire();
    std::vector<std::string> lines;
    logs::attachLists([&](const std::string& l) { lines.push_back(l); }, {});
    // OK twice with nothing changed, then Exit.
    int dialogs = 0;
    EXPECT_FALSE(OpenDetectorLink([&] { return ++dialogs < 3; }));
    EXPECT_EQ(dialogs, 3);
    logs::detachLists();
    EXPECT_EQ(lines, std::vector<std::string>(3, "ParseDCB(COM0:9600,n,8,1) failed..."));
    EXPECT_EQ(Wire().ctx, nullptr);
}

TEST(StartUp, SettingsFromParamIni) {
    TempFolder folder;
    PtyPeer peer;
    std::ofstream("Param.ini") << "[vantord]\niGood=0\nfUsUnits=1\nfUseCmdTags=1\n[DCB]\nszCom="
                               << peer.port(19200) << "\n";
    ResetShell();
    ResetWire();
    LoadHostSettings();
    EXPECT_EQ(Shell().host.textVariant, 0);
    EXPECT_TRUE(OpenDetectorLink([] { return false; }));
    EXPECT_EQ(Shell().host.usUnits, 1);
    EXPECT_TRUE(Wire().useCmdTags);
    EXPECT_EQ(BaudTitle(), "Harrow (Baudrate 19200)");
    EXPECT_EQ(LibraryVersionText(""), "3.1.2");
    EXPECT_EQ(LibraryVersionText("0123456789abcdefgh"), "0123456789abcde");
    ResetWire();
}

TEST(StartUp, AReopenThatFailsLeavesNothingToSendOn) {
    PtyPeer peer;
    ResetWire();
    ASSERT_TRUE(ParseDCB(peer.port(), &Wire().port));
    ASSERT_NE(OpenModbusContext(), nullptr);
    Wire().port.portName = "/dev/wexcon-no-such-port";
    EXPECT_FALSE(ReopenLink());
    EXPECT_EQ(LinkModeWord().load(), LINK_SWITCHING);
    uint8_t buffer[89];
    EXPECT_EQ(ModbusGet(0, D_SETUP2HOST, Wire().ctx, buffer, 89, 0, 50), -1);
    EXPECT_TRUE(peer.read(100).empty());
    ResetWire();
}

TEST(StartUp, OneCopyAtATime) {
    TempFolder folder;
    const std::string lock = folder.path() + "/lock";
    SingleCopyGuard first(lock), second(lock);
    ASSERT_TRUE(first.acquire());
    int waits = 0;
    EXPECT_FALSE(second.acquire(20, 300, [&](unsigned ms) {
        EXPECT_EQ(ms, 300u);
        ++waits;
    }));
    EXPECT_EQ(waits, 19);
    // The first copy goes while the second waits: the second gets in.
    EXPECT_TRUE(second.acquire(20, 300, [&](unsigned) { first.release(); }));
}

}  // namespace
