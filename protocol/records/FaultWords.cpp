#include "protocol/records/FaultWords.h"

#include "protocol/records/ByteOrder.h"

std::optional<std::array<uint32_t, 3>> DecodeFaultWords(std::span<const uint8_t> frame) {
    if (frame.size() != kFaultWordsFrameSize) return std::nullopt;
    std::array<uint32_t, 3> words{};
    for (size_t i = 0; i < words.size(); ++i) words[i] = *le::u32(frame, kHeaderSize + 4 * i);
    return words;
}
