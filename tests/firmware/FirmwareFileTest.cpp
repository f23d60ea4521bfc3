// The BIN file's checks, blocks and messages, without a detector.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/FirmwareFile.h"

namespace {

std::vector<uint8_t> Bin(size_t payload, uint16_t flags = fw::kFlagNoCrc, std::string product = "WX-IR40\0",
                         uint8_t major = 2, uint8_t sub = 5) {
    std::vector<uint8_t> b(product.begin(), product.end());
    b.resize(8);
    b.insert(b.end(), {sub, major, static_cast<uint8_t>(flags), static_cast<uint8_t>(flags >> 8), 0, 0, 0, 0});
    for (size_t i = 0; i < payload; ++i) b.push_back(static_cast<uint8_t>(i * 7));
    return b;
}

TEST(FirmwareFile, CrcOverWholeLittleEndianWords) {
    const std::vector<uint8_t> words = {'4', '3', '2', '1', '8', '7', '6', '5'};
    auto tail = words;
    tail.insert(tail.end(), {'x', 'y', 'z'});  // left out of the CRC
    EXPECT_EQ(fw::PayloadCrc(words), 0x49E3C2FBu);  // "12345678" as a byte stream
    EXPECT_EQ(fw::PayloadCrc(tail), 0x49E3C2FBu);
    EXPECT_EQ(fw::PayloadCrc({}), 0xFFFFFFFFu);

    auto bin = Bin(11, 0);
    bin[12] = 0xFB, bin[13] = 0xC2, bin[14] = 0xE3, bin[15] = 0x49;
    std::copy(tail.begin(), tail.end(), bin.begin() + 16);
    std::string error;
    EXPECT_TRUE(fw::ParseFirmware(bin, 4096, false, &error)) << error;
    bin[16] ^= 1;
    EXPECT_FALSE(fw::ParseFirmware(bin, 4096, false, &error));
    EXPECT_EQ(error, "CRC incorrect - file corrupted...");
    bin[11] = 0x01;  // the file waives its CRC
    EXPECT_TRUE(fw::ParseFirmware(bin, 4096, false, &error));
}

TEST(FirmwareFile, SizeRefusals) {
    const struct {
        size_t fileSize;
        std::string error;
    } cases[] = {
        {0, "Failed reading Header from BIN file..."},
        {15, "Failed reading Header from BIN file..."},
        {16, "Failed reading FW from BIN file..."},
        {16 + 243713, "FW size 243713 exceeds the limit of 243712 bytes..."},
        {16 + 243712, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fw::SizeRefusal(c.fileSize), c.error) << c.fileSize;
        std::string error;
        auto bin = Bin(c.fileSize > 16 ? c.fileSize - 16 : 0);
        bin.resize(c.fileSize);
        EXPECT_EQ(fw::ParseFirmware(bin, 4096, false, &error).has_value(), c.error.empty()) << c.fileSize;
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    EXPECT_FALSE(fw::ReadFirmware("/nonexistent/x.bin", 4096, false, &error));
    EXPECT_EQ(error, "Failed opening BIN file \"/nonexistent/x.bin\" for reading...");
}

TEST(FirmwareFile, BlocksAndPadding) {
    const struct {
        size_t payload;
        unsigned block, nblk, remainder;
        uint8_t lastType;
        unsigned lastLength;
    } cases[] = {
        {3 * 4096, 4096, 3, 0, 33, 4096},
        {2 * 2048 + 100, 2048, 3, 100, 44, 112},
        {4096 + 32, 4096, 2, 32, 44, 32},
        {243712, 4096, 60, 2048, 44, 2048},
        {5, 2048, 1, 5, 44, 16},
    };
    for (const auto& c : cases) {
        const auto f = fw::ParseFirmware(Bin(c.payload), c.block, false, nullptr);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->blocks(), c.nblk);
        EXPECT_EQ(f->remainder(), c.remainder);
        for (bool shortHeader : {false, true}) {
            const size_t head = shortHeader ? 4 : 5;
            const auto last = fw::BlockMessage(*f, c.nblk - 1, shortHeader);
            ASSERT_EQ(last.size(), head + c.lastLength);
            EXPECT_EQ(last[0], c.lastType);
            EXPECT_EQ(last[1] | last[2] << 8, static_cast<int>(c.lastLength));
            EXPECT_EQ(last[3], c.nblk - 1);
            const size_t data = c.payload - (c.nblk - 1) * c.block;
            EXPECT_EQ(last[head], f->payload[(c.nblk - 1) * c.block]);
            for (size_t i = head + data; i < last.size(); ++i) EXPECT_EQ(last[i], 0xFF);
            if (c.nblk > 1) {
                EXPECT_EQ(fw::BlockMessage(*f, 0, shortHeader)[0], 33);
            }
        }
        EXPECT_TRUE(fw::BlockMessage(*f, c.nblk, false).empty());
    }
}

TEST(FirmwareFile, StartMessageAndDetectorMatch) {
    auto f = fw::ParseFirmware(Bin(300, fw::kFlagNoCrc, "WX-IR40A", 2, 5), 2048, true, nullptr);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->productText(), "WX-IR40A");
    const std::vector<uint8_t> start = fw::StartMessage(*f);
    const std::vector<uint8_t> want = {22, 0x00, 0x08, 0x2C, 0x01, 0, 0, 'W', 'X', '-', 'I', 'R', '4', '0', 'A',
                                       2,  5,    0x00, 0x81, 0,    0,    0, 0};
    EXPECT_EQ(start, want);
    EXPECT_EQ(fw::EndMessage(), std::vector<uint8_t>{55});

    const struct {
        std::string detector;
        fw::Version version;
        bool allow;
        std::string why;
    } cases[] = {
        {"WX-IR40B", {2, 4}, false, ""},  // differs only after the seventh character
        {"WX-IR41A", {2, 4}, false, "Product # of update doesn't match product of unit..."},
        {"WX-IR40A", {2, 5}, false, "FW version is older or same as that of unit..."},
        {"WX-IR40A", {3, 0}, false, "FW version is older or same as that of unit..."},
        {"WX-IR40A", {1, 9}, false, ""},
        {"WX-IR40A", {2, 5}, true, ""},
    };
    for (const auto& c : cases) {
        fw::BinHeader h = f->header;
        h.flags = c.allow ? fw::kFlagAllowOlder : 0;
        const std::vector<uint8_t> product(c.detector.begin(), c.detector.end());
        EXPECT_EQ(fw::MatchDetector(h, product, c.version), c.why) << c.detector << " " << c.version.text();
    }
    EXPECT_STREQ(fw::StatusName(-7), "FW_WRONG_CRC32");
    EXPECT_STREQ(fw::StatusName(-11), "FW_BAD_STATE");
    EXPECT_STREQ(fw::StatusName(-12), "Unknown error number");
}

}  // namespace
