#pragma once
#include <cstdint>
#include <span>
#include <string>

// What the version page shows when the detector gave no text.
constexpr const char* kNoVersion = "N / A";

// The firmware's text from a D_VERINFO2HOST answer of `got` bytes: only a
// whole 273-byte answer carries one; it ends at its first zero byte, or after
// its 256 bytes. kNoVersion otherwise.
std::string VersionTextFromAnswer(std::span<const uint8_t> answer, int got);

// Asks the current detector for its version text, with polling paused: up to
// three sends while the transport answers -1. kNoVersion when none came.
std::string ReadDetectorVersion();

// The program's own text: "%s, v%s\r\n\r\nModbus.Dll v%s" with the program's
// description, its version and the library version.
std::string HostVersionText();
