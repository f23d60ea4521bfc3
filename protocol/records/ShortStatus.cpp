#include "protocol/records/ShortStatus.h"

#include "protocol/records/ByteOrder.h"

namespace {
constexpr size_t kState = 15, kMode = 16, kOutputs = 17, kTimer = 18;
}

std::optional<ShortStatus> DecodeShortStatus(std::span<const uint8_t> frame) {
    if (frame.size() < kShortStatusFrameSize) return std::nullopt;
    return ShortStatus{*DecodeHeader(frame), frame[kState], static_cast<char>(frame[kMode]), frame[kOutputs],
                       *le::u32(frame, kTimer)};
}
