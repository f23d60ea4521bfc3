#include "protocol/records/ResponseHeader.h"

#include "protocol/records/ByteOrder.h"

static_assert(hdr::Nonce + 4 == kHeaderSize);

std::optional<ResponseHeader> DecodeHeader(std::span<const uint8_t> frame) {
    if (frame.size() < kHeaderSize) return std::nullopt;
    return ResponseHeader{frame[hdr::Address],         frame[hdr::Function],        *le::u16(frame, hdr::Length),
                          *le::u16(frame, hdr::Model), *le::u32(frame, hdr::Serial), frame[hdr::Tag],
                          *le::u32(frame, hdr::Nonce)};
}

std::optional<uint8_t> AnswerStatus(std::span<const uint8_t> frame) {
    if (frame.size() <= kHeaderSize) return std::nullopt;
    return frame[kHeaderSize];
}
