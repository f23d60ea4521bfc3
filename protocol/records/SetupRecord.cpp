#include "protocol/records/SetupRecord.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "wire/Frame.h"

namespace {

// One named field of the record and where its bytes live in the struct.
struct Field {
    size_t offset;
    size_t width;
    const char* name;
    std::span<uint8_t> (*bytes)(SetupRecord&);
};

template <auto Member>
std::span<uint8_t> bytesOf(SetupRecord& r) {
    auto& m = r.*Member;
    if constexpr (std::is_same_v<std::remove_reference_t<decltype(m)>, uint8_t>)
        return {&m, 1};
    else
        return m;
}

template <auto Member>
constexpr Field field(size_t offset, const char* name) {
    return {offset, sizeof(std::declval<SetupRecord&>().*Member), name, &bytesOf<Member>};
}

using R = SetupRecord;
constexpr Field kFields[] = {
    field<&R::address>(0, "address"),
    field<&R::Sensitivity>(1, "Sensitivity"),
    field<&R::Delay>(2, "Delay"),
    field<&R::AlarmLatch>(3, "AlarmLatch"),
    field<&R::HeaterMode>(4, "HeaterMode"),
    field<&R::HeaterOnTemp>(5, "HeaterOnTemp"),
    field<&R::HeaterPower>(6, "HeaterPower"),
    field<&R::AlarmOnBIT>(7, "AlarmOnBIT"),
    field<&R::AccessoryOnBIT>(8, "AccessoryOnBIT"),
    field<&R::EnableAutoBIT>(9, "EnableAutoBIT"),
    field<&R::BitFaultCount>(10, "BitFaultCount"),
    field<&R::BitPeriod>(11, "BitPeriod"),
    field<&R::EnableAccessory>(12, "EnableAccessory"),
    field<&R::EOL>(13, "EOL"),
    field<&R::AccessoryOnFOV>(14, "AccessoryOnFOV"),
    field<&R::EnableFOV>(15, "EnableFOV"),
    field<&R::Reserved>(16, "Reserved"),
    field<&R::Explosion>(17, "Explosion"),
    field<&R::FastDetect>(18, "FastDetect"),
    field<&R::IROnly>(19, "IROnly"),
    field<&R::UVOnly>(20, "UVOnly"),
    field<&R::UVIR>(21, "UVIR"),
    field<&R::Param420>(setupfield::Param420, "Param420"),
    field<&R::LockState>(setupfield::LockState, "LockState"),
    field<&R::post_manbit_duration>(33, "post_manbit_duration"),
    field<&R::reserved34>(34, "Reserved34"),
    field<&R::MaintPassword>(setupfield::MaintPassword, "MaintPassword"),
    field<&R::AdminPassword>(setupfield::AdminPassword, "AdminPassword"),
    field<&R::reserved70>(70, "Reserved70"),
};

// The table covers the record byte by byte, in order, with nothing left over.
constexpr bool tiles() {
    size_t next = 0;
    for (const Field& f : kFields) {
        if (f.offset != next) return false;
        next += f.width;
    }
    return next == kSetupRecordSize;
}
static_assert(tiles());

// The 4-20 levels in each model's own order; IR models use the first seven bytes.
constexpr const char* kUvirLevels[] = {"Fault",   "BITFault", "UVBITFault", "FOVWarn", "ASCWarn",
                                       "Normal",  "AlarmIR",  "AlarmUV",    "Warning", "Alarm"};
constexpr const char* kIrLevels[] = {"Fault", "BITFault", "FOVWarn", "ASCWarn", "Normal", "Warning", "Alarm"};
static_assert(std::size(kUvirLevels) == setupfield::Param420Count);

}  // namespace

SetupBytes EncodeSetup(const SetupRecord& record) {
    SetupBytes out{};
    for (const Field& f : kFields) {
        // Only read: the table's accessors serve both directions.
        const std::span<const uint8_t> from = f.bytes(const_cast<SetupRecord&>(record));
        std::copy(from.begin(), from.end(), out.begin() + static_cast<std::ptrdiff_t>(f.offset));
    }
    return out;
}

std::optional<SetupRecord> DecodeSetup(std::span<const uint8_t> record) {
    if (record.size() != kSetupRecordSize) return std::nullopt;
    SetupRecord out;
    for (const Field& f : kFields) {
        const std::span<uint8_t> to = f.bytes(out);
        const auto from = record.subspan(f.offset, f.width);
        std::copy(from.begin(), from.end(), to.begin());
    }
    return out;
}

std::optional<SetupRecord> DecodeSetupAnswer(std::span<const uint8_t> answer) {
    if (answer.size() < kSetupAnswerSize) return std::nullopt;
    return DecodeSetup(answer.subspan(kHeaderSize, kSetupRecordSize));
}

bool SetupLocked(std::span<const uint8_t> setupAnswer) {
    return setupAnswer.size() >= kSetupAnswerSize &&
           setupAnswer[kHeaderSize + setupfield::LockState] == kLocked;
}

std::string SetupFieldName(size_t offset, bool uvir) {
    const auto* f = std::find_if(std::begin(kFields), std::end(kFields), [&](const Field& x) {
        return offset >= x.offset && offset - x.offset < x.width;
    });
    if (f == std::end(kFields)) return {};
    if (f->offset != setupfield::Param420) return f->name;
    const size_t level = offset - setupfield::Param420;
    const std::string name = uvir                          ? kUvirLevels[level]
                             : level < std::size(kIrLevels) ? kIrLevels[level]
                                                             : std::to_string(level);
    return std::string(f->name) + "[" + name + "]";
}

int FirstSetupDifference(const SetupRecord& a, const SetupRecord& b) {
    const SetupBytes x = EncodeSetup(a), y = EncodeSetup(b);
    const auto at = std::mismatch(x.begin(), x.end(), y.begin());
    return at.first == x.end() ? -1 : static_cast<int>(at.first - x.begin());
}
