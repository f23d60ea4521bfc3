#pragma once
// The header every detector answer starts with. An answer is the header, the
// record data and the two CRC bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "wire/Frame.h"


// Where each header field starts. A tagged request's tag comes back in the
// nonce's first byte.
namespace hdr {
constexpr size_t Address = 0, Function = 1, Length = 2, Model = 5, Serial = 7, Tag = 11, Nonce = 11;
}

struct ResponseHeader {
    uint8_t address;
    uint8_t function;  // 0xC8
    uint16_t length;   // record data + 11
    uint16_t model;
    uint32_t serial;
    uint8_t tag;
    uint32_t nonce;  // the key of the next authorised request
};

// nullopt when the frame is shorter than the header. Nothing else is checked:
// the transport has already accepted the frame.
std::optional<ResponseHeader> DecodeHeader(std::span<const uint8_t> frame);
// The status byte of a short answer (acknowledgements, refusals): the first
// data byte; nullopt for a frame too short to hold it.
std::optional<uint8_t> AnswerStatus(std::span<const uint8_t> frame);
