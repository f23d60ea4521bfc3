#include <gtest/gtest.h>

#include <string>

#include "protocol/Crc16.h"
#include "protocol/Transport.h"
#include "support/RefCrc.h"

namespace {

TEST(Crc16, AgreesWithTheReferenceAndIsSwapped) {
    const std::string check = "123456789";
    const auto* b = reinterpret_cast<const uint8_t*>(check.data());
    EXPECT_EQ(refCrc(b, check.size()), 0x4B37);
    // The library value has its bytes swapped: >> 8 is the byte sent first.
    EXPECT_EQ(crc16(b, check.size()), 0x374B);

    uint8_t frame[64];
    for (size_t n = 1; n <= 62; n += 7) {
        for (size_t i = 0; i < n; ++i) frame[i] = static_cast<uint8_t>(i * 37 + n);
        appendCrc16(frame, n);
        const uint16_t ref = refCrc(frame, n);
        EXPECT_EQ(frame[n], ref & 0xFF);
        EXPECT_EQ(frame[n + 1], ref >> 8);
        EXPECT_TRUE(frameCrcOk(frame, n + 2));
        frame[n / 2] ^= 0x10;
        EXPECT_FALSE(frameCrcOk(frame, n + 2)) << n;
    }
}

TEST(Crc16, AuthorisationCodeFromTheNonce) {
    // F[4] is the low byte of the library value, F[5] its high byte.
    EXPECT_EQ(AuthorisationCode(0), 0xC5FF);
    EXPECT_EQ(AuthorisationCode(0x12345678), 0xAB82);
}

}  // namespace
