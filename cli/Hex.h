#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// "C8 05 00", "c80500" or "C8,05": pairs of hex digits, blanks and commas
// between them ignored. nullopt on anything else (odd digit count, other characters).
std::optional<std::vector<uint8_t>> parseHexBytes(const std::string& text);
// One 16-bit word in hex ("1234", "0x1234").
std::optional<uint16_t> parseHexWord(const std::string& text);
// Upper-case bytes separated by blanks.
std::string hexLine(const uint8_t* bytes, size_t n);
