#pragma once
// The live data record: the whole answer to D_DATA2HOST as the live data,
// recording, maintenance and trend code read it. The status poll reads a few
// of the same bytes through StatusRecord.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/records/ResponseHeader.h"

// Frame offsets (data offset + 15). Where a UV/IR detector puts another
// quantity at the same place, it has a second name.
namespace live {
constexpr size_t kSize = 177;
constexpr size_t State = 15, Mode = 16, Outputs = 17, Level = 18;
constexpr size_t Samp5 = 19, Samp45 = 23, Samp4 = 27, Samp44 = 31;
constexpr size_t Sum45 = 35, Sum5 = 39, Sum4 = 43, Sum44 = 47;
constexpr size_t BitSum45 = 51, BitSum5 = 55, BitSum4 = 59, BitSum44 = 63;
constexpr size_t Rat45to4 = 67, Rat45to5 = 71, Rat4to5 = 75, Rat44to4 = 79, Rat44to5 = 83, Rat44to45 = 87;
constexpr size_t Cor45to4 = 91, Cor45to5 = 95, Cor44to4 = 99, Cor44to5 = 103, Cor44to45 = 107, Cor4to5 = 111;
constexpr size_t Noise45 = 115, Noise44 = 119, Noise4 = 123, Noise5 = 127;
constexpr size_t Temperature = 147, TempGradient = 151, Vin = 155, Analog = 159;
constexpr size_t Permission = 160, Picture = 161, Elevation = 162, Iterations = 167;
// UV/IR names of the same places.
constexpr size_t SumIr = 39, UvBitSum = 51, IrBitSum = 55, AdjUv = 67, HiVoltage = 71, UvSum = 123;
// The 35 maintenance channels: channel i is the 32-bit value at 19 + 4 i.
constexpr size_t kChannels = 35;
constexpr size_t ChannelOffset(size_t i) { return 19 + 4 * i; }
}  // namespace live

// The quantities a window shows or a log line writes, with the factor the
// record was divided by (ratios 10, correlations and Noise4/Noise5 100).
enum class LiveValue {
    Sum45, Sum5, Sum4, Sum44,
    Rat45to4, Rat45to5, Rat4to5, Rat44to4, Rat44to5, Rat44to45,
    Cor45to4, Cor45to5, Cor44to4, Cor44to5, Cor44to45,
    Noise45, Noise44, Noise4, Noise5,
};

class LiveRecord {
public:
    // nullopt unless the frame is exactly 177 bytes with a valid CRC.
    static std::optional<LiveRecord> Decode(std::span<const uint8_t> frame);

    const std::array<uint8_t, live::kSize>& frame() const { return frame_; }
    const ResponseHeader& header() const { return header_; }
    uint8_t address() const { return header_.address; }
    uint32_t serial() const { return header_.serial; }

    uint8_t byte(size_t offset) const { return offset < live::kSize ? frame_[offset] : 0; }
    int32_t i32(size_t offset) const;
    uint32_t u32(size_t offset) const;
    float f32(size_t offset) const;

    uint8_t state() const { return frame_[live::State]; }
    char mode() const { return static_cast<char>(frame_[live::Mode]); }
    uint8_t outputs() const { return frame_[live::Outputs]; }
    // Model low byte 0x82, 0x88, 0x92 or 0x98.
    bool uvirModel() const;
    bool alternateSensor() const { return outputs() & 0x08; }
    bool heaterOn() const { return outputs() & 0x80; }
    unsigned relays() const { return outputs() >> 4; }
    // Modes B, E and M: the BIT sums stand in for the sums.
    bool bitPhase() const;
    float temperature() const { return f32(live::Temperature); }
    float vin() const { return f32(live::Vin); }
    uint8_t analogTenths() const { return frame_[live::Analog]; }
    uint8_t permission() const { return frame_[live::Permission]; }

    // The value as shown and logged: the record's float times its factor,
    // the BIT sum in place of a sum during a BIT phase.
    double shown(LiveValue v) const;
    // Where `v` is carried (the sum's place, not the BIT sum's) and its factor.
    static size_t offsetOf(LiveValue v);
    static double factorOf(LiveValue v);

private:
    std::array<uint8_t, live::kSize> frame_{};
    ResponseHeader header_{};
};
