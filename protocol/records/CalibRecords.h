#pragma once
// The two records of the automatic calibration: the calibration object a
// master hands out (D_CALIB_OBJECT, 1080 bytes, carried unchanged but for its
// apply flag) and a detector's scale record (D_CALIB_SCALE). Each family keeps
// the object's three fields the host reads at places of its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/records/ParamRecord.h"

namespace calrec {
constexpr size_t kObjectSize = 1080;
constexpr size_t kObjectAnswerSize = 1097;  // header, object, CRC
constexpr size_t kHeaderSize = 15;

struct Layout {
    size_t serial;      // the master's serial number (its parameter record's `ordnum`)
    size_t references;  // the reference values, one double per quantity
    size_t applyFlag;   // u32, 1 = the receivers rescale
    unsigned quantities;
    size_t scaleAnswerSize;  // D_CALIB_SCALE: header, quantities doubles, CRC
};

constexpr Layout LayoutOf(ParamKind kind) {
    return kind == ParamKind::Ir ? Layout{804, 984, 1072, 10, 97} : Layout{148, 224, 256, 3, 41};
}
}  // namespace calrec

class CalibObject {
public:
    // From a whole answer of exactly 1097 bytes; nullopt otherwise.
    static std::optional<CalibObject> FromAnswer(ParamKind kind, std::span<const uint8_t> answer);
    // From exactly 1080 record bytes.
    static std::optional<CalibObject> FromBytes(ParamKind kind, std::span<const uint8_t> bytes);

    ParamKind kind() const { return kind_; }
    std::span<const uint8_t> bytes() const { return bytes_; }
    uint32_t serial() const;
    // Quantity k (0-based, table order).
    double reference(unsigned k) const;
    bool applyFlag() const;
    void setApplyFlag(bool on);

private:
    ParamKind kind_ = ParamKind::Ir;
    std::array<uint8_t, calrec::kObjectSize> bytes_{};
};

// The scales of a D_CALIB_SCALE answer of exactly the family's size (97 or 41
// bytes), in table order; nullopt for any other size.
std::optional<std::vector<double>> DecodeScaleAnswer(ParamKind kind, std::span<const uint8_t> answer);
