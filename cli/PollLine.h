#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The line `poll` prints for a status answer ("address 1 serial 1234 model
// 0x0203 mode N state 0"); nullopt when the frame is no status answer.
std::optional<std::string> PollLine(std::span<const uint8_t> frame);
