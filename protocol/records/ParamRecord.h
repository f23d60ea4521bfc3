#pragma once
// The detector's parameter record: 984 bytes on IR models, 224 on UV/IR
// models, told apart by their size alone. Each kind has one field table
// (name, offset, type, count, grid cell, default) that drives the window's
// grid, the profile keys, the checks and the patch masks; nobody else knows
// an offset. Values are read and written through the table.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class ParamKind { Ir, Uvir };

constexpr size_t kIrParamSize = 984, kUvirParamSize = 224;
// Whole D_PARAM2HOST answers: header, record, CRC.
constexpr size_t kIrParamAnswerSize = 1001, kUvirParamAnswerSize = 241;

constexpr size_t ParamSize(ParamKind k) { return k == ParamKind::Ir ? kIrParamSize : kUvirParamSize; }
constexpr size_t ParamAnswerSize(ParamKind k) { return k == ParamKind::Ir ? kIrParamAnswerSize : kUvirParamAnswerSize; }

enum class ParamType : uint8_t {
    U8,
    U16,
    U32,
    F32,
    F64,
    HwVersion,  // one byte: high nibble vHW_io, low nibble vHW_cpu
};

// Bytes of one element, and the largest value an integer type holds.
constexpr size_t ParamTypeSize(ParamType t) {
    switch (t) {
        case ParamType::U16: return 2;
        case ParamType::U32:
        case ParamType::F32: return 4;
        case ParamType::F64: return 8;
        default: return 1;
    }
}
constexpr uint32_t ParamTypeMax(ParamType t) {
    return t == ParamType::U16 ? 0xFFFF : t == ParamType::U32 ? 0xFFFFFFFF : 0xFF;
}

struct ParamField {
    const char* name;  // the record's own name, also its profile key
    uint16_t offset;
    ParamType type;
    uint8_t count;        // 1 for scalars, 6 (IR) or 3 (UV/IR) for per-sensitivity arrays
    int cell;             // the grid control of element 0 (elements follow: cell + i); 0 none
    double defaults[6];   // the default record's values (count of them)
};

// The table of a kind, in record order; reserved bytes are not fields.
std::span<const ParamField> ParamFields(ParamKind kind);
// nullptr when the kind has no field of that name.
const ParamField* FindParamField(ParamKind kind, std::string_view name);

// The record as bytes, with its kind. Reserved bytes are carried as read.
class ParamRecord {
public:
    // The default record of a kind (the "default parameters").
    static ParamRecord Defaults(ParamKind kind);
    // From exactly 984 or 224 bytes; nullopt for any other size.
    static std::optional<ParamRecord> FromBytes(std::span<const uint8_t> bytes);
    // From a whole D_PARAM2HOST answer of `kind` (at least its answer size).
    static std::optional<ParamRecord> FromAnswer(ParamKind kind, std::span<const uint8_t> answer);

    ParamKind kind() const { return kind_; }
    std::span<const uint8_t> bytes() const { return bytes_; }

    // Element `i` of a field (0 for scalars) as a double (HwVersion: the byte);
    // NaN when `i` or the field lies outside the record.
    double value(const ParamField& field, size_t i = 0) const;
    // Stores a value; false (nothing changed) when `i` is out of range or the
    // value does not fit the field's type (an integer type takes only whole
    // numbers 0..ParamTypeMax, a float type only finite values in its range).
    bool setValue(const ParamField& field, size_t i, double value);
    // By name; nullopt / false for an unknown name.
    std::optional<double> value(std::string_view name, size_t i = 0) const;
    bool setValue(std::string_view name, size_t i, double value);

    // The serial number the record carries.
    uint32_t ordnum() const;
    // IR records: the FOV monitor's initial state X, Y, Z, kept in the first
    // three reserved bytes after IRFastAbsThr44 (display only); UV/IR: none.
    std::optional<std::array<uint8_t, 3>> fovInitialState() const;

    bool operator==(const ParamRecord&) const = default;

private:
    ParamRecord(ParamKind kind, std::vector<uint8_t> bytes) : kind_(kind), bytes_(std::move(bytes)) {}
    ParamKind kind_;
    std::vector<uint8_t> bytes_;
};
