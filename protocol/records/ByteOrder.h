#pragma once
// Little-endian fields of detector frames. Every access is checked against the
// span: a field that does not fit gives nullopt or false and touches nothing.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace le {

namespace detail {

inline bool fits(size_t size, size_t at, size_t width) { return at <= size && size - at >= width; }

template <typename T>
std::optional<T> read(std::span<const uint8_t> b, size_t at) {
    if (!fits(b.size(), at, sizeof(T))) return std::nullopt;
    T v = 0;
    for (size_t i = sizeof(T); i-- > 0;) v = static_cast<T>(v << 8 | b[at + i]);
    return v;
}

template <typename T>
bool write(std::span<uint8_t> b, size_t at, T v) {
    if (!fits(b.size(), at, sizeof(T))) return false;
    for (size_t i = 0; i < sizeof(T); ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return true;
}

template <typename T>
void append(std::vector<uint8_t>& v, T x) {
    for (size_t i = 0; i < sizeof(T); ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

}  // namespace detail

// The detector sends IEEE single precision, the host's own float layout.
static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4);

inline std::optional<uint16_t> u16(std::span<const uint8_t> b, size_t at) { return detail::read<uint16_t>(b, at); }
inline std::optional<uint32_t> u32(std::span<const uint8_t> b, size_t at) { return detail::read<uint32_t>(b, at); }
inline std::optional<float> f32(std::span<const uint8_t> b, size_t at) {
    const auto bits = u32(b, at);
    return bits ? std::optional<float>(std::bit_cast<float>(*bits)) : std::nullopt;
}

inline std::optional<double> f64(std::span<const uint8_t> b, size_t at) {
    const auto bits = detail::read<uint64_t>(b, at);
    return bits ? std::optional<double>(std::bit_cast<double>(*bits)) : std::nullopt;
}

inline bool put16(std::span<uint8_t> b, size_t at, uint16_t v) { return detail::write(b, at, v); }
inline bool put32(std::span<uint8_t> b, size_t at, uint32_t v) { return detail::write(b, at, v); }
inline bool putF32(std::span<uint8_t> b, size_t at, float v) { return put32(b, at, std::bit_cast<uint32_t>(v)); }

inline bool putF64(std::span<uint8_t> b, size_t at, double v) {
    return detail::write(b, at, std::bit_cast<uint64_t>(v));
}

inline void append16(std::vector<uint8_t>& v, uint16_t x) { detail::append(v, x); }
inline void append32(std::vector<uint8_t>& v, uint32_t x) { detail::append(v, x); }

}  // namespace le
