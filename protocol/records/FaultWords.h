#pragma once
// The fault words: D_MISC_CONTROL sub-command 3 answers three words, bit n set
// while state code n is active.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/records/ResponseHeader.h"

constexpr uint8_t kFaultWordsSubCommand = 3;
constexpr size_t kFaultWordsFrameSize = kFrameOverhead + 3 * 4;

// nullopt unless the frame is exactly kFaultWordsFrameSize long.
std::optional<std::array<uint32_t, 3>> DecodeFaultWords(std::span<const uint8_t> frame);
