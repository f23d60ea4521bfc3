#include "protocol/records/MiscControl.h"

#include <algorithm>

#include "protocol/records/ByteOrder.h"


std::string DecodeMessageText(std::span<const uint8_t> frame, bool skipSerialLine) {
    const size_t from = kMessageTextAt + (skipSerialLine ? kSerialLineLength : 0);
    const size_t dataEnd = frame.size() >= 2 ? frame.size() - 2 : 0;
    if (from >= dataEnd) return {};
    const auto text = frame.subspan(from, dataEnd - from);
    const auto end = std::find(text.begin(), text.end(), uint8_t{0});
    return std::string(text.begin(), end);
}

std::optional<std::vector<uint8_t>> PlaybackRequest(std::span<const uint8_t> recording) {
    const size_t count = std::min(recording.size() / kPlaybackRecordSize, kMaxPlaybackRecords);
    if (count == 0) return std::nullopt;
    std::vector<uint8_t> request(kPlaybackRecordsAt + kPlaybackRecordSize * count, 0);
    request[0] = misc::Playback;
    le::put16(request, 1, static_cast<uint16_t>(count));
    le::put16(request, 3, 1);
    std::copy_n(recording.begin(), kPlaybackRecordSize * count, request.begin() + kPlaybackRecordsAt);
    return request;
}
