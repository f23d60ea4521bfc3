#include <gtest/gtest.h>

#include <string>

#include "wire/Crc16.h"
#include "support/RefCrc.h"

namespace {

// The one check of the reference CRC itself; the product's CRC is compared
// with it in every request frame the protocol tests read off the wire.
TEST(Crc16, CheckValueOfTheReferenceAndTheSwappedLibraryValue) {
    const std::string check = "123456789";
    const auto* b = reinterpret_cast<const uint8_t*>(check.data());
    EXPECT_EQ(refCrc(b, check.size()), 0x4B37);
    // The library value has its bytes swapped: >> 8 is the byte sent first.
    EXPECT_EQ(crc16(b, check.size()), 0x374B);
}

}  // namespace
