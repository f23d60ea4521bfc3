#include "protocol/records/StatusRecord.h"

#include "protocol/Commands.h"
#include "protocol/records/ByteOrder.h"

namespace {

namespace at {
constexpr size_t State = 15, Mode = 16, Outputs = 17, Level = 18, Temperature = 147, Voltage = 155, Analog = 159,
                 Permission = 160, Picture = 161, Elevation = 162;
// Every field lies before this, and the CRC after it.
constexpr size_t End = Elevation + 1;
}  // namespace at

}  // namespace

std::optional<StatusRecord> DecodeStatus(std::span<const uint8_t> frame) {
    const CommandInfo* info = commandInfo(D_DATA2HOST);
    if (!info || frame.size() != info->responseSize || frame.size() < at::End + 2) return std::nullopt;
    const uint8_t level = frame[at::Level] & 3;
    return StatusRecord{*DecodeHeader(frame),
                        frame[at::State],
                        static_cast<char>(frame[at::Mode]),
                        frame[at::Outputs],
                        static_cast<uint8_t>(level > 2 ? 2 : level),
                        *le::f32(frame, at::Temperature),
                        *le::f32(frame, at::Voltage),
                        frame[at::Analog],
                        frame[at::Permission],
                        frame[at::Picture],
                        frame[at::Elevation]};
}
