// firmware info, check and update on the command line: the key lines, the
// messages on standard error and the exit status of each outcome.
#include <gtest/gtest.h>

#include "CliLine.h"
#include "firmware/FirmwareFile.h"
#include "protocol/records/ByteOrder.h"
#include "support/TempFolder.h"
#include "util/WholeFile.h"

namespace {

constexpr uint8_t kIr = 1, kLocked = 17;  // the demo line, both at 4.17

class CliFirmware : public CliLine {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo()));
        openWire(kIr);
        std::vector<uint8_t> b = {'W', 'X', 'I', 'R', '-', '5', '9', '0', 19, 4, 0, 0, 0, 0, 0, 0};
        for (int i = 0; i < 101; ++i) b.push_back(static_cast<uint8_t>(i * 13));
        le::put32(b, 12, fw::PayloadCrc(std::span(b).subspan(16)));
        ASSERT_TRUE(WriteWholeFile("fw.bin", b));
        b.resize(16);
        ASSERT_TRUE(WriteWholeFile("empty.bin", b));
    }
    TempFolder folder;
};

TEST_F(CliFirmware, InfoAndCheck) {
    const std::string info = "product WXIR-590\nversion 4.19\nflags 0x0000\ncrc 0x";
    ASSERT_EQ(run(kIr, "firmware info fw.bin --block 2048"), kCliOk) << err.str();
    EXPECT_EQ(out.str().substr(0, info.size()), info);
    EXPECT_EQ(out.str().substr(info.size() + 8), "\npayload 101\nblock 2048\nnblk 1\nremainder 101\n");

    const struct {
        const char* command;
        int status;
        const char* err;
    } cases[] = {
        {"firmware info empty.bin", kCliRefused, "Failed reading FW from BIN file...\n"},
        {"firmware info fw.bin --block 1024", kCliUsage, nullptr},
        {"firmware info", kCliUsage, nullptr},
        {"firmware info fw.bin --allow-same", kCliUsage, nullptr},
        {"firmware check fw.bin", kCliOk, "File OK!\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(kIr, c.command), c.status) << c.command;
        if (c.err) {
            EXPECT_EQ(err.str(), c.err) << c.command;
        }
    }
    EXPECT_NE(out.str().find("remainder 101\ndetector-product WXIR-590\ndetector-version 4.17\n"), std::string::npos);
    EXPECT_EQ(run(2, "firmware check fw.bin"), kCliRefused);  // the UV/IR detector
    EXPECT_NE(err.str().find("Product # of update doesn't match product of unit..."), std::string::npos);
}

TEST_F(CliFirmware, Update) {
    ASSERT_EQ(run(kIr, "firmware update fw.bin --verify 0"), kCliOk) << err.str();
    EXPECT_EQ(out.str(), "version 4.19\nresult updated\n");
    EXPECT_NE(err.str().find("Uploaded block 1 of 1 with 0 retransmits\n"), std::string::npos);
    EXPECT_EQ(run(kIr, "firmware update fw.bin"), kCliRefused);
    EXPECT_EQ(out.str(), "result refused\n");

    ASSERT_EQ(run(kLocked, "firmware update fw.bin --verify 1", "admin17\n"), kCliOk) << err.str();
    EXPECT_EQ(out.str().substr(out.str().find("\nversion")),
              "\nversion 4.19\nparams verified\nresult updated\n");
    EXPECT_EQ(out.str().rfind("backup ./param_addr17_sn21030017_", 0), 0u);
    EXPECT_EQ(err.str().find("admin17"), std::string::npos);
}

}  // namespace
