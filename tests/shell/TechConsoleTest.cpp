// The technician console's commands against the simulated line: the bytes
// they send, the lines they log, the message file and the playback file.
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <regex>

#include "FakePanel.h"
#include "config/ParamSession.h"
#include "protocol/records/MiscControl.h"
#include "shell/CTesselDlgIds.h"
#include "shell/CTesselMainIds.h"
#include "shell/ShellState.h"
#include "shell/StartUp.h"
#include "shell/TechConsole.h"
#include "support/TempFolder.h"
#include "support/TestLineWire.h"
#include "util/Keyboard.h"
#include "util/Log.h"
#include "util/WholeFile.h"

using namespace techdlg;

namespace {

using Lines = std::vector<std::string>;

class TechConsoleSim : public TestLine {
protected:
    void SetUp() override {
        ResetShell();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(5)}));
        ASSERT_NO_FATAL_FAILURE(openWire(5));
        Shell().detector.address = 5;
        const auto keep = [this](const std::string& l) {
            std::lock_guard lock(m);
            lines.push_back(l);
        };
        logs::attachLists(keep, keep);
    }
    void TearDown() override {
        logs::detachLists();
        SetKeySource({});
        ResetShell();
        TestLine::TearDown();
    }
    void openConsole(const std::string& ini = "") {
        std::ofstream("Param.ini") << ini;
        console->open();
    }
    // Waits for what the console queued on the link worker.
    void drain() { Shell().link().call([] {}); }
    bool logged(const std::string& line) {
        std::lock_guard lock(m);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool sent(const std::string& pattern) {
        std::lock_guard lock(m);
        const std::regex re(pattern);
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return std::regex_search(l, re); });
    }
    void clearLogs() {
        std::lock_guard lock(m);
        lines.clear();
    }

    TempFolder folder;
    std::mutex m;
    Lines lines;  // of both logs
    std::shared_ptr<FakePanel> panel = std::make_shared<FakePanel>();
    std::shared_ptr<TechConsole> console = std::make_shared<TechConsole>(panel);
};

TEST_F(TechConsoleSim, ServiceCommandsSendTheirRequestsAndLogTheAnswer) {
    openConsole("[General]\nfill=85\n");
    EXPECT_EQ(panel->titles[Panel::kThisWindow].back(), "Harrow  (Baudrate 9600)");
    struct Case {
        const char* name;
        std::function<void()> command;
        const char* request;  // the dump of the frame from its function byte
        const char* line;
    } const cases[] = {
        {"erase log, preserve", [&] { console->eraseLogfile(true); }, "^C8 07 00 9C .. .. 05 01 $",
         "D_MISC_CONTROL(5) returned 1"},
        {"erase log", [&] { console->eraseLogfile(false); }, "^C8 07 00 9C .. .. 05 00 $",
         "D_MISC_CONTROL(5) returned 1"},
        {"erase flash", [&] { console->eraseFlash(); }, "^C. 15 00 9C .. .. 04 00 00", nullptr},
        {"erase messages", [&] { console->eraseMessages(); }, "^C8 06 00 9C .. .. 09 $", "Message(s) erased"},
        {"BIT", [&] { console->manualBit(); }, "^C. 03 00 75 .. .. $", nullptr},
        {"fill block", [&] { console->sendFillBlock(); }, "^C. 03 10 75 .. .. 55 55 55", nullptr},
        {"alarm", [&] { console->simulateAlarm(); }, "^C. 03 00 82 .. .. $", "Simulate Alarm!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearLogs();
        c.command();
        drain();
        EXPECT_TRUE(sent(c.request));
        EXPECT_TRUE(!c.line || logged(c.line));
    }

    // Pending simulated errors are counted on the wire and spoil the next requests.
    console->simulateCommError(1);
    console->simulateCommError(1);
    console->simulateCommError(2);
    drain();
    EXPECT_TRUE(logged("Simulation of 2 Comm Errors pending..."));
    EXPECT_TRUE(logged("Simulation2 of 1 Comm Errors pending..."));
    EXPECT_EQ(Wire().simulatedErrors1, 2);
}

TEST_F(TechConsoleSim, SanityCheckOfTheDetectorAgainstItsOwnRecord) {
    const auto record = ReadParams();
    ASSERT_TRUE(record && WriteWholeFile("master.bin", record->bytes()));
    std::ofstream("SanityCheckInput.ini") << "[SanityCheck]\nszMasterParamBinFile=master.bin\n";
    openConsole();
    console->sanityCheck();
    drain();
    EXPECT_EQ(panel->questions, Lines{"DoSanityCheck:: Parameters OK!"});
}

TEST_F(TechConsoleSim, SearchSwitchAndMasterFlag) {
    openConsole();
    console->setSearch(true);
    drain();
    EXPECT_EQ(panel->text(kSearch), "Sea&rch is On");
    EXPECT_EQ(Wire().slave, 0u);
    EXPECT_TRUE(logged("modbus_set_slave(0) success."));
    for (int id : kMasterButtons) EXPECT_TRUE(panel->disabled.count(id)) << id;
    EXPECT_FALSE(console->fmTestAllowed());
    EXPECT_EQ(panel->questions, Lines{"Error: Must be in non-Master modes - and network selected..."});
    clearLogs();
    console->manualBit();
    drain();
    EXPECT_TRUE(logged("Not allowed when Master is On..."));
    EXPECT_FALSE(sent(" 75 "));

    // The lone detector answers the broadcast; off again, the buttons return
    // with the next answer.
    console->tickJob()();
    console->setSearch(false);
    drain();
    EXPECT_EQ(Wire().slave, 5u);
    EXPECT_TRUE(logged("modbus_set_slave(5) success."));
    EXPECT_TRUE(panel->disabled.count(kBit));
    console->tickJob()();
    EXPECT_TRUE(panel->disabled.empty());

    // Suspended output: no poll goes out and the fields are empty.
    console->setOutputSuspended(true);
    const auto frames = line->stats().frames;
    console->tickJob()();
    EXPECT_EQ(line->stats().frames, frames);
    EXPECT_EQ(panel->text(kSuspend), "Output Suspended");
    EXPECT_EQ(panel->text(ctl::Serial), "");
}

TEST_F(TechConsoleSim, MessageTextIsAppendedToTheFileAndShown) {
    openConsole();
    console->simulateAlarm();  // the detector notes the alarm in its message text
    const std::string alarm = "Detection Cond: simulated alarm\nDetection time: 0 ms\n";
    struct Case {
        const char* ini;
        std::string file, box;
    } const cases[] = {
        {"", "---------------------------------------\nSN:21030005 ADR:005\n" + alarm,
         "SN:21030005 ADR:005\r\nDetection Cond: simulated alarm\r\nDetection time: 0 ms\r\n"},
        {"[VantorD]\nfIgnore_SN_Addr=1\n", alarm,  // without the serial line
         "Detection Cond: simulated alarm\r\nDetection time: 0 ms\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        std::filesystem::remove(TechConsole::kMessageFile);
        panel->questions.clear();
        openConsole(c.ini);
        console->getMessageText(false);
        drain();
        EXPECT_TRUE(sent("^C8 07 00 9C .. .. 08 00 $"));
        EXPECT_EQ(slurp(TechConsole::kMessageFile), c.file);
        EXPECT_EQ(panel->questions, std::vector<std::string>{"Message Text:: " + c.box});
    }

    // Automatic mode: no box, every second, until both Shift keys are held.
    std::filesystem::remove(TechConsole::kMessageFile);
    panel->questions.clear();
    console->startAutoMessages();
    drain();
    EXPECT_TRUE(panel->timers.count(kAutoMessageTimer));
    EXPECT_TRUE(sent("^C8 07 00 9C .. .. 08 01 $"));
    SetKeySource([] { return KeyState{true, true, true, false, false}; });
    console->onAutoMessageTimer();
    EXPECT_FALSE(panel->timers.count(kAutoMessageTimer));
    EXPECT_TRUE(panel->questions.empty());
    EXPECT_EQ(slurp(TechConsole::kMessageFile), alarm + "GetMsg> Auto-mode exited...\n\n");
}

TEST_F(TechConsoleSim, PlaybackSendsTheWholeRecordsOfItsFile) {
    openConsole();
    struct Case {
        size_t bytes;
        const char* request;
        const char* line;
    } const cases[] = {
        {11, nullptr, "Playback: no 12-byte record in \"rec.bin\"..."},
        {25, "^C8 2D 00 9C .. .. 07 02 00 01 00 00", "D_MISC_CONTROL(7) returned 1"},
        {12 * 600, "^C8 15 18 9C .. .. 07 00 02 01 00 00", "D_MISC_CONTROL(7) returned 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        clearLogs();
        std::ofstream("rec.bin", std::ios::binary) << std::string(c.bytes, 'r');
        console->playback("rec.bin");  // the menu button reads "-" meanwhile: too brief to catch here
        drain();
        EXPECT_EQ(panel->text(kCommandMenu), ">");
        EXPECT_TRUE(!c.request || sent(c.request));
        EXPECT_TRUE(logged(c.line));
    }
}

// The text of a message answer never reaches beyond what arrived.
TEST(MessageText, IsCutAtItsEndAndAtTheFrameEnd) {
    auto frame = [](size_t size, const std::string& text) {
        std::vector<uint8_t> f(size, 0);
        for (size_t i = 0; i < text.size() && kMessageTextAt + i < size; ++i) f[kMessageTextAt + i] = text[i];
        return f;
    };
    const std::string serial = "SN:00000042 ADR:001\n";
    struct Case {
        std::vector<uint8_t> frame;
        bool skip;
        std::string text;
    } const cases[] = {
        {frame(kMessageFrameSize, serial + "fire\n"), false, serial + "fire\n"},
        {frame(kMessageFrameSize, serial + "fire\n"), true, "fire\n"},
        {frame(30, "ABCDEFGHIJKLMNOPQ"), false, "ABCDEFGHIJKL"},  // no NUL: up to the CRC
        {frame(30, "ABCDEFGHIJKLMNOPQ"), true, ""},
        {frame(17, "A"), false, ""},
        {frame(1, ""), false, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeMessageText(c.frame, c.skip), c.text) << c.frame.size();
}

}  // namespace
