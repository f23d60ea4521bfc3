#pragma once
// D_MISC_CONTROL service sub-commands of the technician console: their
// requests and what is read from their answers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/records/ResponseHeader.h"

namespace misc {
constexpr uint8_t Hang = 1, Restart = 2, EraseFlash = 4, EraseLog = 5, Playback = 7, GetMessage = 8,
                  EraseMessages = 9;
}

// An acknowledgement: the header and one status byte.
constexpr size_t kMiscAckFrameSize = kFrameOverhead + 1;
constexpr size_t kMessageFrameSize = 1403;
// The text of a message answer starts here; 20 bytes later without the
// detector's line of serial number and address.
constexpr size_t kMessageTextAt = 16, kSerialLineLength = 20;
constexpr size_t kPlaybackRecordSize = 12, kMaxPlaybackRecords = 512, kPlaybackRecordsAt = 16;


// The message text of an answer, up to its NUL and never beyond the frame's
// data (the CRC is not text); empty when the data ends before the text starts.
std::string DecodeMessageText(std::span<const uint8_t> frame, bool skipSerialLine);

// The playback request for a recording: sub-command, record count, 1, and
// the whole 12-byte records (at most 512) from byte 16. nullopt when the
// recording holds no whole record.
std::optional<std::vector<uint8_t>> PlaybackRequest(std::span<const uint8_t> recording);
