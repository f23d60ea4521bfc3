// The flash dump and the version read against simulated detectors: what each
// field shows, where a failure stops, and which version text counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/CDumpFlash1Ids.h"
#include "firmware/FlashDump.h"
#include "protocol/Commands.h"
#include "shell/FakePanel.h"
#include "shell/ShellState.h"
#include "shell/VersionInfo.h"
#include "support/TestLineWire.h"
#include "util/PumpWait.h"

namespace {

using namespace dumpflash;
constexpr uint8_t kIr = 4, kUvir = 5;
const std::string kFF16 = [] {
    std::string s;
    for (int i = 0; i < 16; ++i) s += "FF ";
    return s;
}();

class FlashLine : public TestLine {
protected:
    void SetUp() override {
        auto ir = testline::ir(kIr);
        ir.serial = 12345;  // 39 30 00 00
        ASSERT_NO_FATAL_FAILURE(startLine({ir, testline::uvir(kUvir)}));
        ASSERT_NO_FATAL_FAILURE(openWire(kIr));
        SetPumpWait([this](unsigned ms) { waits.push_back(ms); });
    }
    void TearDown() override {
        SetPumpWait({});
        TestLine::TearDown();
    }
    // An answer first, as the poll has had one: it carries the key of the authorised reads.
    void greet(uint8_t address) {
        ASSERT_TRUE(SelectSlave(address));
        std::vector<uint8_t> status(commandInfo(D_DATA2HOST)->responseSize);
        ModbusGet(0, D_DATA2HOST, Wire().ctx, status.data(), static_cast<unsigned>(status.size()), 10, 500);
    }
    void control(const std::string& command) {
        bool ok = false;
        ASSERT_EQ(wsim::runControlCommand(*line, command, &ok), "ok") << command;
    }
    std::vector<unsigned> waits;
};

TEST(FlashTexts, AsTheWindowShowsThem) {
    std::vector<uint8_t> bytes32(32), bytes16(16, 0xAB);
    for (size_t i = 0; i < 32; ++i) bytes32[i] = static_cast<uint8_t>(i);
    const std::string first = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ";
    const std::string second = "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ";
    EXPECT_EQ(FlashHexText(bytes32), first + "\r\n" + second);
    EXPECT_EQ(FlashHexText(bytes16).size(), 48u);
    EXPECT_EQ(FlashHexText(bytes16).find('\n'), std::string::npos);

    const struct {
        std::vector<uint8_t> area;
        std::string product, printable;
    } products[] = {
        {{'A', 'B', 0, 'C', 'D', 'E', 'F', 'G', 'H'}, "AB", "AB"},
        {{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 0}, "ABCDEFGH", "ABCDEFGH"},
        {{'W', 0x01, 0x7F, 0xC3, '~', ' '}, "W\x01\x7F\xC3~ ", "W...~ "},
    };
    for (const auto& p : products) {
        EXPECT_EQ(ProductNumberText(p.area), p.product);
        EXPECT_EQ(PrintableText(ProductNumberText(p.area)), p.printable);
    }
    const std::vector<uint8_t> serial = {0x39, 0x30, 0x00, 0x00}, top = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(SerialNumberText(serial), "12345   0x00003039");
    EXPECT_EQ(SerialNumberText(top), "4294967295   0xFFFFFFFF");
}

TEST_F(FlashLine, EveryAreaFromTheDetector) {
    const struct {
        uint8_t address;
        std::string product, serial, appInfo;
    } cases[] = {
        {kIr, "WXIR-590", "12345   0x00003039", "11 04 90 05 FF "},
        {kUvir, "WXUV-592", "21030005   0x0140E475", "11 04 92 05 FF "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        greet(c.address);
        FakePanel panel;
        const FlashDump dump = RunFlashDump(panel);
        EXPECT_EQ(dump.failedArea, -1);
        EXPECT_EQ(dump.areas.size(), 6u);
        EXPECT_TRUE(panel.questions.empty());
        EXPECT_EQ(panel.text(kProductText), c.product);
        EXPECT_EQ(panel.text(kProductHex).substr(0, 12), c.address == kIr ? "57 58 49 52 " : "57 58 55 56 ");
        EXPECT_EQ(panel.text(kProductHex).substr(48, 2), "\r\n");
        EXPECT_EQ(panel.text(kSerial), c.serial);
        EXPECT_EQ(panel.text(kAppCode).substr(0, 12), "00 00 01 20 ");
        EXPECT_EQ(panel.text(kAppInfo).substr(0, 15), c.appInfo);
        EXPECT_EQ(panel.text(kAppInfo).size(), 48u);
        EXPECT_EQ(panel.text(kStoreCode), kFF16 + "\r\n" + kFF16);
        EXPECT_EQ(panel.text(kStoreInfo), kFF16);
    }
    EXPECT_TRUE(waits.empty());
}

TEST_F(FlashLine, TheFirstFailureEndsTheDump) {
    const struct {
        const char* control;
        int failed;
        std::vector<unsigned> pauses;  // the 80 ms between tries of the first two areas
    } cases[] = {
        {"flash-silent 4 8043FF0", 3, {}},
        {"silent 4", 0, {80, 80}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(kIr)}));
        ASSERT_NO_FATAL_FAILURE(openWire(kIr));
        greet(kIr);
        control(c.control);
        waits.clear();
        FakePanel panel;
        const FlashDump dump = RunFlashDump(panel);
        EXPECT_EQ(dump.failedArea, c.failed);
        EXPECT_EQ(dump.areas.size(), static_cast<size_t>(c.failed));
        EXPECT_EQ(panel.questions, std::vector<std::string>{std::string("Error: ") + kFlashAreas[c.failed].failure});
        EXPECT_EQ(waits, c.pauses);
        for (size_t f = 0; f < std::size(kFields); ++f) {
            const int area = f == 0 ? 0 : static_cast<int>(f) - 1;
            EXPECT_EQ(panel.text(kFields[f]).empty(), area >= c.failed) << "field " << f;
        }
    }
}

TEST(VersionText, OnlyAWholeAnswerCarriesIt) {
    auto answer = [](const std::string& text) {
        std::vector<uint8_t> a(273, 0);
        std::copy(text.begin(), text.end(), a.begin() + 15);
        return a;
    };
    const std::string full(256, 'v');
    const struct {
        std::vector<uint8_t> bytes;
        int got;
        std::string shown;
    } cases[] = {
        {answer("App 4.17\r\nBoot 1.05"), 273, "App 4.17\r\nBoot 1.05"},
        {answer(full), 273, full},
        {answer("abc"), 272, "N / A"},
        {answer("abc"), -1, "N / A"},
        {answer(""), 273, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(VersionTextFromAnswer(c.bytes, c.got), c.shown);
}

TEST_F(FlashLine, VersionFromTheDetector) {
    EXPECT_NE(ReadDetectorVersion().find("IR4 detector firmware 4.17 (model 0x0590)\r\n"), std::string::npos);
    control("version 4 " + std::string(256, 'x'));
    EXPECT_EQ(ReadDetectorVersion(), std::string(256, 'x'));
    control("silent 4");
    EXPECT_EQ(ReadDetectorVersion(), "N / A");
    EXPECT_FALSE(Shell().busy);
    EXPECT_NE(HostVersionText().find("\r\n\r\nModbus.Dll v3.1.2"), std::string::npos);
}

}  // namespace
