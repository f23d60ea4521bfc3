#include "protocol/records/CalibRecords.h"

#include <algorithm>

#include "protocol/records/ByteOrder.h"

std::optional<CalibObject> CalibObject::FromAnswer(ParamKind kind, std::span<const uint8_t> answer) {
    if (answer.size() != calrec::kObjectAnswerSize) return std::nullopt;
    return FromBytes(kind, answer.subspan(calrec::kHeaderSize, calrec::kObjectSize));
}

std::optional<CalibObject> CalibObject::FromBytes(ParamKind kind, std::span<const uint8_t> bytes) {
    if (bytes.size() != calrec::kObjectSize) return std::nullopt;
    CalibObject o;
    o.kind_ = kind;
    std::copy(bytes.begin(), bytes.end(), o.bytes_.begin());
    return o;
}

uint32_t CalibObject::serial() const { return le::u32(bytes_, calrec::LayoutOf(kind_).serial).value_or(0); }

double CalibObject::reference(unsigned k) const {
    const auto layout = calrec::LayoutOf(kind_);
    if (k >= layout.quantities) return 0;
    return le::f64(bytes_, layout.references + 8 * k).value_or(0);
}

bool CalibObject::applyFlag() const { return le::u32(bytes_, calrec::LayoutOf(kind_).applyFlag).value_or(0) != 0; }

void CalibObject::setApplyFlag(bool on) { le::put32(bytes_, calrec::LayoutOf(kind_).applyFlag, on ? 1 : 0); }

std::optional<std::vector<double>> DecodeScaleAnswer(ParamKind kind, std::span<const uint8_t> answer) {
    const auto layout = calrec::LayoutOf(kind);
    if (answer.size() != layout.scaleAnswerSize) return std::nullopt;
    std::vector<double> scales(layout.quantities);
    for (unsigned k = 0; k < layout.quantities; ++k)
        scales[k] = *le::f64(answer, calrec::kHeaderSize + 8 * k);
    return scales;
}
