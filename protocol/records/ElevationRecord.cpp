#include "protocol/records/ElevationRecord.h"

#include <algorithm>

#include "wire/Frame.h"

std::array<uint8_t, kElevationRecordSize> EncodeElevation(int level, std::string_view password) {
    std::array<uint8_t, kElevationRecordSize> record{};
    record[elevation::Level] = static_cast<uint8_t>(level);
    const std::string_view kept = password.substr(0, std::min(password.size(), kMaxPasswordChars));
    std::copy(kept.begin(), kept.end(), record.begin() + elevation::Password);
    return record;
}

bool ElevationGranted(std::span<const uint8_t> answer) {
    // The result is the answer's only data byte.
    return answer.size() == kElevationRecordSize && answer[kHeaderSize] == 1;
}
