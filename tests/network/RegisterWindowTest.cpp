// The "Modbus" window's logic against a simulated line: the register each
// choice addresses, the frame shown under "Command:", the special registers
// of the log and elevation block, and the opening read.
#include <gtest/gtest.h>

#include "network/CModbusIds.h"
#include "network/RegisterMap.h"
#include "network/RegisterWindow.h"
#include "protocol/SecretMask.h"
#include "shell/FakePanel.h"
#include "shell/ShellState.h"
#include "support/HostFrames.h"
#include "support/TestLineWire.h"
#include "util/PumpWait.h"

namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using namespace modbuswin;
using namespace hostframes;

const char* const kOrdnum = "40,257    Param.ordnum, 2 registers (W/O)";
const char* const kAlarmLatch = "40,002    Setup.AlarmLatch";
const char* const kLogRead = "50,002    Download 5 records, 108 registers (R/O)";
const char* const kElevate = "50,003    Elevate, 9 registers (W/O)";

TEST(RegisterMap, LabelsAndTheirAddresses) {
    struct Case {
        bool uvir, input;
        size_t row;
        const char* label;
        unsigned address;
    } const cases[] = {
        {false, true, 6, "30,007    SUM4[LSW]", 6},
        {true, true, 6, "30,007    SUMHiPass[LSW]", 6},
        {true, false, 14, "40,015    Setup.Reserved(UVIR)", 14},
        {false, false, 33, kOrdnum, 256},
        {false, false, 34, "50,001    Init Log File Record Download (R/W)", kLogInitAddress},
        {true, false, 36, kElevate, kElevateAddress},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Lines labels = c.input ? InputRegisterLabels(c.uvir) : HoldingRegisterLabels(c.uvir);
        ASSERT_EQ(labels.size(), c.input ? 32u : 37u);
        EXPECT_EQ(labels[c.row], c.label);
        EXPECT_EQ(RegisterAddress(c.label, c.input), c.address);
    }
    EXPECT_EQ(RegisterAddress("Reserved", false), std::nullopt);
    EXPECT_EQ(RegisterAddress("30,001    Detector Type", false), std::nullopt);  // not a holding register
}

TEST(RegisterWindowLines, WordsAsHexAndCharacters) {
    const uint16_t words[9] = {0x4241, 0x0A20, 0x00FF, 0x2221, 0, 0, 0, 0x7E7D, 0x3130};
    EXPECT_EQ(WordLines(words, 9), (Lines{"4241 0A20 00FF 2221 0000 0000 0000 7E7D   AB..\xC3\xBF.!\"......}~",
                                          "3130" + std::string(38, ' ') + "01"}));
}

std::string hex(const Bytes& frame) {
    std::string out;
    char t[4];
    for (uint8_t b : frame) out += std::string(t, std::snprintf(t, sizeof t, "%02X ", b));
    return out;
}

// An unlocked IR detector at 1 and a locked one (ADMIN "apass") at 2, with
// the waits between tries kept.
class RegisterWindowLine : public TestLine {
protected:
    void SetUp() override {
        ResetShell();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(1), testline::lockedIr(2)}));
        ASSERT_NO_FATAL_FAILURE(openWire(1));
        SetPumpWait([this](unsigned ms) { waits.push_back(ms); });
    }
    void TearDown() override {
        SetPumpWait({});
        ResetShell();
        TestLine::TearDown();
    }
    // Frames the line heard while f ran.
    template <class F>
    uint64_t framesDuring(F f) {
        const uint64_t before = line->stats().frames;
        f();
        return line->stats().frames - before;
    }
    // A new window (as each opening makes) on `address`, set for one operation.
    void openOn(unsigned address, int operation, const std::string& label, const std::string& count = "1") {
        panel = std::make_unique<FakePanel>();
        window = std::make_unique<RegisterWindow>();
        ASSERT_TRUE(SelectSlave(address));
        ASSERT_TRUE(window->open(*panel));
        panel->setCheck(operation, 1);
        panel->setText(kMap, label);
        panel->setText(kCount, count);
        waits.clear();
    }

    std::unique_ptr<FakePanel> panel = std::make_unique<FakePanel>();
    std::unique_ptr<RegisterWindow> window = std::make_unique<RegisterWindow>();
    std::vector<unsigned> waits;
};

TEST_F(RegisterWindowLine, WhatDoSendsAndShows) {
    const std::string ask = "Please Enter Password:", admin = "Please Enter the current ADMIN Password:";
    struct Case {
        const char* name;
        unsigned address;
        int operation;
        const char* label;  // empty: "Custom First Reg" 2710
        const char* count;
        Lines values;
        int level;
        Lines typed;
        Bytes frame;  // empty: no register frame
        uint64_t frames;
        const char* returnCode;
        size_t dataLines;
        Lines questions;
    };
    const Case cases[] = {
        {"40,257 is holding register 256", 1, kReadHolding, kOrdnum, "2", {}, 0, {}, stdRequest(1, 3, 256, 2),
         1, "Return code: -1", 0, {}},
        {"0x1234 to 40,002 goes low byte first", 1, kWriteSingle, kAlarmLatch, "1", {"1234"}, 0, {},
         writeRegister(1, 1, 0x1234), 1, "Return code: -1", 0, {}},
        {"at most 32 registers", 1, kReadInput, "30,001    Detector Type", "40", {}, 0, {},
         stdRequest(1, 4, 0, 32), 1, "Return code: 32", 4, {}},
        {"custom first register in hex: 50,001 reads one", 1, kReadHolding, "", "5", {}, 0, {},
         stdRequest(1, 3, 0x2710, 1), 1, "Return code: 1", 1, {}},
        {"write multiple stops at the first empty field", 1, kWriteMultiple, kAlarmLatch, "1",
         {"1", "0", "", "5"}, 0, {}, writeRegisters(1, 1, {1, 0, 0, 0}), 1, "Return code: 2", 0, {}},
        {"50,003 is not read", 1, kReadHolding, kElevate, "1", {}, 0, {}, {}, 0, nullptr, 0,
         {"Error: Reading holding registers other than 50,001 and 50,002 is not supported..."}},
        {"50,003 is not written alone", 1, kWriteSingle, kElevate, "1", {"1"}, 0, {}, {}, 0, nullptr, 0,
         {"Error: Must write-multiple for this register..."}},
        {"50,002 is not written", 1, kWriteSingle, kLogRead, "1", {"1"}, 0, {}, {}, 0, nullptr, 0, {}},
        {"elevation NONE: 18 zero bytes", 1, kWriteMultiple, kElevate, "1", {}, 0, {},
         writeRegisters(1, 10002, elevation(0, "")), 1, "Return code: 9", 0, {}},
        {"elevation ADMIN, its password masked", 2, kWriteMultiple, kElevate, "1", {}, 2, {"apass"},
         writeRegisters(2, 10002, elevation(2, "apass")), 1, "Return code: 9", 0, {ask}},
        {"elevation prompt cancelled", 2, kWriteMultiple, kElevate, "1", {}, 2, {}, {}, 0, nullptr, 0, {ask}},
        {"locked: a holding write elevates first", 2, kWriteSingle, kAlarmLatch, "1", {"1"}, 0, {"apass"},
         writeRegister(2, 1, 1), 2, "Return code: 1", 0,
         {admin, "Please Note:: Admin privilege will hold for 30 seconds - or until dialog closed..."}},
        {"locked: no password, no write", 2, kWriteMultiple, kAlarmLatch, "1", {"1"}, 0, {}, {}, 0, nullptr, 0,
         {admin, "Error: Current ADMIN Password not entered.\r\nWrite canceled..."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(openOn(c.address, c.operation, c.label, c.count));
        if (!*c.label) {
            panel->setCheck(kCustom, 1);
            panel->setText(kCustomFirst, "2710");
        }
        for (size_t i = 0; i < c.values.size(); ++i) panel->setText(kValues[i], c.values[i]);
        panel->typed.assign(c.typed.begin(), c.typed.end());
        EXPECT_EQ(framesDuring([&] { window->run(*panel, c.level); }), c.frames);
        EXPECT_EQ(panel->questions, c.questions);
        const Lines& shown = panel->lists[kResult];
        if (c.frame.empty()) {
            EXPECT_TRUE(shown.empty());
            continue;
        }
        ASSERT_EQ(shown.size(), 3 + c.dataLines);
        EXPECT_EQ(shown[0], "Command:");
        Bytes sent = c.frame;
        MaskSecrets(sent, DumpFrom::Address, Side::Request);  // the typed password is shown as stars
        EXPECT_EQ(shown[1], hex(sent));
        EXPECT_EQ(shown[2], c.returnCode);
    }
}

// 50,002 is read up to three times, 100 ms apart, until all 108 registers
// arrive; the five log records are then shown one line each.
TEST_F(RegisterWindowLine, LogRecordReadTriesThreeTimes) {
    std::string erased;
    for (unsigned i = 0; i < kLogRecordBytes; ++i) erased += "FF ";
    for (const int badAnswers : {2, 3}) {
        SCOPED_TRACE(badAnswers);
        const size_t records = badAnswers < 3 ? 5 : 0;
        ASSERT_NO_FATAL_FAILURE(openOn(1, kReadHolding, kLogRead));
        line->corruptAnswers(badAnswers);
        EXPECT_EQ(framesDuring([&] { window->run(*panel); }), 3u);
        // Each read waits its 200 ms after sending; the tries are 100 ms apart.
        EXPECT_EQ(waits, (std::vector<unsigned>{200, 100, 200, 100, 200}));
        const Lines& shown = panel->lists[kResult];
        ASSERT_EQ(shown.size(), 3 + records);
        EXPECT_EQ(shown[1], hex(stdRequest(1, 3, 0x2711, 108)));
        EXPECT_EQ(shown[2], records ? "Return code: 108" : "Return code: -1");
        for (size_t r = 0; r < records; ++r) EXPECT_EQ(shown[3 + r], erased);
    }
}

// The setup record is asked for up to three times while nothing answers;
// without it the window closes and nothing can be written.
TEST_F(RegisterWindowLine, OpeningReadsTheSetupRecord) {
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        panel = std::make_unique<FakePanel>();
        window = std::make_unique<RegisterWindow>();
        ASSERT_TRUE(line->setDetectorSilent(1, silent));
        line->corruptAnswers(silent ? 0 : 2);
        bool opened = false;
        EXPECT_EQ(framesDuring([&] { opened = window->open(*panel); }), 3u);
        EXPECT_EQ(opened, !silent);
        EXPECT_EQ(panel->closedWith, silent ? IDCANCEL : 0);
    }
    panel->setCheck(kWriteSingle, 1);
    panel->setText(kMap, kAlarmLatch);
    panel->setText(kValues[0], "1");
    EXPECT_EQ(framesDuring([&] { window->run(*panel); }), 0u);
}

}  // namespace
