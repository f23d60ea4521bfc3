#include "protocol/records/LiveRecord.h"

#include <algorithm>

#include "protocol/records/ByteOrder.h"
#include "wire/Crc16.h"

namespace {

struct Place {
    size_t offset;
    double factor;
};

constexpr Place kPlaces[] = {
    {live::Sum45, 1},     {live::Sum5, 1},      {live::Sum4, 1},      {live::Sum44, 1},
    {live::Rat45to4, 10}, {live::Rat45to5, 10}, {live::Rat4to5, 10},  {live::Rat44to4, 10},
    {live::Rat44to5, 10}, {live::Rat44to45, 10}, {live::Cor45to4, 100}, {live::Cor45to5, 100},
    {live::Cor44to4, 100}, {live::Cor44to5, 100}, {live::Cor44to45, 100}, {live::Noise45, 1},
    {live::Noise44, 1},   {live::Noise4, 100},  {live::Noise5, 100},
};
static_assert(std::size(kPlaces) == static_cast<size_t>(LiveValue::Noise5) + 1);

}  // namespace

std::optional<LiveRecord> LiveRecord::Decode(std::span<const uint8_t> frame) {
    if (frame.size() != live::kSize || !frameCrcOk(frame.data(), frame.size())) return std::nullopt;
    LiveRecord r;
    std::copy(frame.begin(), frame.end(), r.frame_.begin());
    r.header_ = *DecodeHeader(frame);
    return r;
}

uint32_t LiveRecord::u32(size_t offset) const { return le::u32(frame_, offset).value_or(0); }
int32_t LiveRecord::i32(size_t offset) const { return static_cast<int32_t>(u32(offset)); }
float LiveRecord::f32(size_t offset) const { return le::f32(frame_, offset).value_or(0.0f); }

bool LiveRecord::uvirModel() const {
    const uint8_t low = frame_[hdr::Model];
    return low == 0x82 || low == 0x88 || low == 0x92 || low == 0x98;
}

bool LiveRecord::bitPhase() const {
    const char m = mode();
    return m == 'B' || m == 'E' || m == 'M';
}

size_t LiveRecord::offsetOf(LiveValue v) { return kPlaces[static_cast<size_t>(v)].offset; }
double LiveRecord::factorOf(LiveValue v) { return kPlaces[static_cast<size_t>(v)].factor; }

double LiveRecord::shown(LiveValue v) const {
    size_t at = offsetOf(v);
    if (bitPhase() && at >= live::Sum45 && at <= live::Sum44) at += live::BitSum45 - live::Sum45;
    return static_cast<double>(f32(at)) * factorOf(v);
}
