// devinfo read and devinfo burn against simulated detectors: the key=value
// text, and one burn for each exit status.
#include <gtest/gtest.h>

#include <fstream>

#include "CliLine.h"
#include "config/DevInfo.h"
#include "support/TempFolder.h"
#include "util/PumpWait.h"

namespace {

constexpr uint8_t kIr = 1, kLocked = 17;  // the demo line; 17's ADMIN password is admin17

class CliDevInfo : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
        openWire(kIr);
        ResetDevInfoState();
        SetPumpWait([](unsigned) {});  // the burn's pauses are the benchmark's concern
    }
    void TearDown() override {
        SetPumpWait({});
        CliLine::TearDown();
    }
    std::vector<uint8_t> stored(uint8_t address) {
        std::vector<uint8_t> r;
        line->withDetector(address, [&](wsim::Detector& d, int64_t) { r = d.devInfo(); });
        return r;
    }
    TempFolder folder;
};

TEST_F(CliDevInfo, ReadPrintsEveryKeyInOrder) {
    ASSERT_EQ(run(kIr, "devinfo read --bin d.bin"), kCliOk) << err.str();
    const uint32_t serial = 21'030'001;
    EXPECT_EQ(
        out.str(),
        "poll_address=0\ntag=FD-1\nlong_tag=Flame detector at address 1\ndescriptor=IR FLAME DET\n"
        "message=WEXCON FLAME DETECTOR\nday=15\nmonth=3\nyear=2024\nfinal_assy=71 E4 40\n"
        "config_change_counter=0\nmanufacturer=60\nmodel=0590\npreambles=5\ndevice_id=20 90 00 E4 "
        "71\n"
        "model_number=" +
            std::to_string(serial) + "\n");
    std::ifstream bin("d.bin", std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(bin), {}), stored(kIr));
}

TEST_F(CliDevInfo, BurnExitStatuses) {
    struct Case {
        const char* file;
        uint8_t address;
        const char* input;
        const char* control;  // a simulator fault first
        int status;
        const char* shown;  // in the output or on standard error
    } const cases[] = {
        {"# comment\ntag=abc\nmanufacturer=??\nfinal_assy=00 00 00\n", kIr, "", nullptr, kCliOk,
         "verified\n"},
        {"tag=abc\n", kLocked, "wrong\nadmin17\n", nullptr, kCliOk, "verified\n"},
        {"tag=abc\n", kLocked, "wrong\n", nullptr, kCliFailed, "ADMIN Password not entered."},
        {"tag=abc\nyear 2024\n", kIr, "", nullptr, kCliUsage, "f.txt:2: not a key=value line"},
        {"tag=ABCDEFGHI\n", kIr, "", nullptr, kCliRefused,
         "f.txt:1: tag is limited to 8 characters"},
        {"year=2156\n", kIr, "", nullptr, kCliRefused, "Range: 1900 .. 2155"},
        {"tag=abc\npoll_address=64\nmanufacturer=60\n", kIr, "", nullptr, kCliRefused,
         "f.txt:2: Poll Address must be in the range [0..63]\n"},
        {"tag=abc\n", kIr, "", "devinfo-corrupt 1 30 1", kCliUnverified, "Burn failed..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream("f.txt") << c.file;
        if (c.control) wsim::runControlCommand(*line, c.control);
        const auto before = stored(c.address);
        EXPECT_EQ(run(c.address, "devinfo burn f.txt", c.input), c.status) << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.shown), std::string::npos)
            << out.str() << err.str();
        const bool sent = c.status == kCliOk || c.status == kCliUnverified;
        EXPECT_EQ(stored(c.address) != before, sent);
    }
}

}  // namespace
