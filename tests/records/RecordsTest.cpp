#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "protocol/records/ByteOrder.h"
#include "protocol/records/FaultWords.h"
#include "protocol/records/StatusRecord.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A status answer from the detector at address 7, written out byte by byte.
Bytes statusFrame() {
    Bytes f(177, 0);
    const std::pair<long, Bytes> fields[] = {
        {0, {7, 0xC8, 166, 0}},           // address, function, length
        {5, {0x90, 0x05}},                // model 0x0590
        {7, {0x01, 0x00, 0x41, 0x01}},    // serial
        {11, {0xDD, 0xCC, 0xBB, 0xAA}},   // nonce, its first byte the tag
        {15, {99, 'N', 0xA8, 3}},         // no state, mode, alternate sensor + alarm + heater, level 3
        {147, {0x00, 0x00, 0xC8, 0x41}},  // 25.0 °C
        {155, {0x00, 0x00, 0xC0, 0x41}},  // 24.0 V
        {159, {200, 1, 0x26, 0xC5}},      // 20.0 mA, locked, picture, elevation 3 with 5 minutes left
    };
    for (const auto& [at, bytes] : fields) std::copy(bytes.begin(), bytes.end(), f.begin() + at);
    return f;
}

TEST(StatusRecord, DecodesEveryField) {
    const auto s = DecodeStatus(statusFrame());
    ASSERT_TRUE(s);
    const ResponseHeader& h = s->header;
    EXPECT_EQ(std::tuple(h.address, h.function, h.length, h.model, h.serial, h.tag, h.nonce),
              std::tuple(7, 0xC8, 166, 0x0590, 0x01410001u, 0xDD, 0xAABBCCDDu));
    EXPECT_EQ(s->shownState(), 0u);
    EXPECT_EQ(s->mode, 'N');
    const std::array outputs{s->alternateSensor(), s->accessoryActive(), s->alarmActive(), s->faultRelayEnergised(),
                             s->heaterOn()};
    EXPECT_EQ(outputs, (std::array{true, false, true, false, true}));
    EXPECT_EQ(s->level, 2);
    EXPECT_EQ(s->temperature, 25.0f);
    EXPECT_EQ(s->voltage, 24.0f);
    EXPECT_DOUBLE_EQ(s->milliamps(), 20.0);
    EXPECT_TRUE(s->locked());
    EXPECT_FALSE(s->permissionNeverSet());
    EXPECT_EQ(s->pictureCode, 0x26);
    EXPECT_EQ(s->elevationLevel(), 3u);
    EXPECT_EQ(s->minutesLeft(), 5u);
}

TEST(Records, OnlyWholeAnswersAreDecoded) {
    for (size_t n : {0, 14, 176, 178}) {
        Bytes f = statusFrame();
        f.resize(n);
        EXPECT_FALSE(DecodeStatus(f)) << n;
    }
    EXPECT_FALSE(DecodeHeader(Bytes(14)));
    EXPECT_TRUE(DecodeHeader(Bytes(15)));
    Bytes faults(29);
    const Bytes words = {0x01, 0, 0, 0x80, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x3F};
    std::copy(words.begin(), words.end(), faults.begin() + 15);
    EXPECT_EQ(DecodeFaultWords(faults), (std::array<uint32_t, 3>{0x80000001u, 0, 0x3FFFFFFFu}));
    EXPECT_FALSE(DecodeFaultWords(Bytes(28)));
    EXPECT_FALSE(DecodeFaultWords(Bytes(30)));
}

TEST(ByteOrder, FieldsStayInsideTheSpan) {
    std::array<uint8_t, 8> buffer;
    buffer.fill(0xEE);
    const std::span<uint8_t> four(buffer.data(), 4);
    const struct {
        size_t at;
        bool fits16, fits32;
    } cases[] = {{0, true, true}, {2, true, false}, {3, false, false}, {4, false, false}, {SIZE_MAX, false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(le::u16(four, c.at).has_value(), c.fits16) << c.at;
        EXPECT_EQ(le::u32(four, c.at).has_value(), c.fits32) << c.at;
        EXPECT_EQ(le::f32(four, c.at).has_value(), c.fits32) << c.at;
        EXPECT_EQ(le::put16(four, c.at, 0xABCD), c.fits16) << c.at;
        EXPECT_EQ(le::put32(four, c.at, 0x12345678), c.fits32) << c.at;
        EXPECT_EQ(le::putF32(four, c.at, 1.0f), c.fits32) << c.at;
    }
    EXPECT_TRUE(std::all_of(buffer.begin() + 4, buffer.end(), [](uint8_t b) { return b == 0xEE; }));

    ASSERT_TRUE(le::put32(four, 0, 0x11223344));
    EXPECT_EQ(le::u16(four, 1), 0x2233);
    Bytes appended;
    le::append16(appended, 0x1234);
    le::append32(appended, 0x12345678);
    EXPECT_EQ(appended, (Bytes{0x34, 0x12, 0x78, 0x56, 0x34, 0x12}));
}

}  // namespace
