#include "protocol/records/ParamRecord.h"

#include <bit>
#include <cmath>
#include <limits>

#include "protocol/records/ByteOrder.h"
#include "wire/Frame.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Where element `i` of `field` lies in a record of `size` bytes, or nullopt
// when the element or its bytes are not there.
std::optional<size_t> elementAt(const ParamField& field, size_t i, size_t size) {
    const size_t width = ParamTypeSize(field.type);
    const size_t at = field.offset + i * width;
    if (i >= field.count || at > size || size - at < width) return std::nullopt;
    return at;
}

std::optional<double> f64(std::span<const uint8_t> b, size_t at) {
    const auto lo = le::u32(b, at), hi = le::u32(b, at + 4);
    if (!lo || !hi) return std::nullopt;
    return std::bit_cast<double>(uint64_t{*hi} << 32 | *lo);
}

bool fitsType(ParamType type, double v) {
    switch (type) {
        case ParamType::F64: return std::isfinite(v);
        case ParamType::F32: return std::isfinite(v) && std::fabs(v) <= std::numeric_limits<float>::max();
        default: return v >= 0 && v <= ParamTypeMax(type) && v == std::floor(v);
    }
}

}  // namespace

std::optional<ParamRecord> ParamRecord::FromBytes(std::span<const uint8_t> bytes) {
    for (ParamKind kind : {ParamKind::Ir, ParamKind::Uvir})
        if (bytes.size() == ParamSize(kind)) return ParamRecord(kind, {bytes.begin(), bytes.end()});
    return std::nullopt;
}

std::optional<ParamRecord> ParamRecord::FromAnswer(ParamKind kind, std::span<const uint8_t> answer) {
    if (answer.size() < ParamAnswerSize(kind)) return std::nullopt;
    return FromBytes(answer.subspan(kHeaderSize, ParamSize(kind)));
}

double ParamRecord::value(const ParamField& field, size_t i) const {
    const auto at = elementAt(field, i, bytes_.size());
    if (!at) return kNaN;
    const std::span<const uint8_t> b(bytes_);
    switch (field.type) {
        case ParamType::U16: return *le::u16(b, *at);
        case ParamType::U32: return *le::u32(b, *at);
        case ParamType::F32: return *le::f32(b, *at);
        case ParamType::F64: return *f64(b, *at);
        default: return b[*at];
    }
}

bool ParamRecord::setValue(const ParamField& field, size_t i, double v) {
    const auto at = elementAt(field, i, bytes_.size());
    if (!at || !fitsType(field.type, v)) return false;
    const std::span<uint8_t> b(bytes_);
    switch (field.type) {
        case ParamType::U16: return le::put16(b, *at, static_cast<uint16_t>(v));
        case ParamType::U32: return le::put32(b, *at, static_cast<uint32_t>(v));
        case ParamType::F32: return le::putF32(b, *at, static_cast<float>(v));
        case ParamType::F64: {
            const uint64_t bits = std::bit_cast<uint64_t>(v);
            return le::put32(b, *at, static_cast<uint32_t>(bits)) && le::put32(b, *at + 4, bits >> 32);
        }
        default: b[*at] = static_cast<uint8_t>(v); return true;
    }
}

std::optional<double> ParamRecord::value(std::string_view name, size_t i) const {
    const ParamField* f = FindParamField(kind_, name);
    return f ? std::optional(value(*f, i)) : std::nullopt;
}

bool ParamRecord::setValue(std::string_view name, size_t i, double v) {
    const ParamField* f = FindParamField(kind_, name);
    return f && setValue(*f, i, v);
}

uint32_t ParamRecord::ordnum() const { return static_cast<uint32_t>(*value("ordnum")); }

std::optional<std::array<uint8_t, 3>> ParamRecord::fovInitialState() const {
    constexpr size_t kAt = 908;
    if (kind_ != ParamKind::Ir || bytes_.size() < kAt + 3) return std::nullopt;
    return std::array<uint8_t, 3>{bytes_[kAt], bytes_[kAt + 1], bytes_[kAt + 2]};
}
