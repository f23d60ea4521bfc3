#pragma once
// The elevation record: the payload of D_ELEVATE and the content of the nine
// registers at 50,003. Level 0 drops an elevation, 1 asks for MAINT, 2 for ADMIN.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

constexpr size_t kElevationRecordSize = 18, kPasswordField = 17, kMaxPasswordChars = 16;

namespace elevation {
constexpr size_t Level = 0, Password = 1;
}

// Level byte then the password zero-padded to 17 bytes; never a trace of an
// earlier entry. At most 16 characters are taken, so the field always ends in
// a zero as the detector stores it.
std::array<uint8_t, kElevationRecordSize> EncodeElevation(int level, std::string_view password);

// True for a whole D_ELEVATE answer (18 bytes) whose result byte says granted.
bool ElevationGranted(std::span<const uint8_t> answer);
