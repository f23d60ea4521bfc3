#pragma once
// Files the tool writes are written whole or not at all: the bytes go to a
// temporary file beside the target, which replaces the target only once it
// is complete on disk.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// False (errno says why) when anything failed; the target is then as it was.
// `secret`: the file holds passwords, so only its owner may read it.
bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, bool secret = false);
// Whether WriteWholeFile could write `path` now (a temporary file is made
// beside it and removed); false with errno set when not.
bool CanWriteFile(const std::string& path);
// The file's bytes; nullopt when it cannot be read or is longer than `maxSize`.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path, size_t maxSize);
