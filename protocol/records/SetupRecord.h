#pragma once
// The 72-byte setup record, as D_SETUP2HOST answers it (after the 15-byte
// header) and D_SETUP2DET carries it. This is the one place that knows its
// byte layout; everybody else uses the named fields.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

constexpr size_t kSetupRecordSize = 72;
// A whole answer: header, record, CRC.
constexpr size_t kSetupAnswerSize = 89;

// Where the fields start in the record.
namespace setupfield {
constexpr size_t LockState = 32, MaintPassword = 36, AdminPassword = 53, PasswordSize = 17;
// The bytes from here on are the detector's (reserved words) or secret
// (passwords): a read-back is compared only below this offset.
constexpr size_t FirstUncompared = 34;
constexpr size_t Param420 = 22, Param420Count = 10;
}  // namespace setupfield

// LockState values.
enum : uint8_t { kLockNotSet = 0xFF, kNotLocked = 0, kLocked = 1 };

using SetupBytes = std::array<uint8_t, kSetupRecordSize>;

// The record with its fields named as the detector's register map names them.
struct SetupRecord {
    uint8_t address = 0;
    uint8_t Sensitivity = 0, Delay = 0, AlarmLatch = 0, HeaterMode = 0, HeaterOnTemp = 0, HeaterPower = 0;
    uint8_t AlarmOnBIT = 0, AccessoryOnBIT = 0, EnableAutoBIT = 0, BitFaultCount = 0, BitPeriod = 0;
    uint8_t EnableAccessory = 0, EOL = 0, AccessoryOnFOV = 0, EnableFOV = 0, Reserved = 0;
    uint8_t Explosion = 0, FastDetect = 0, IROnly = 0, UVOnly = 0, UVIR = 0;
    std::array<uint8_t, setupfield::Param420Count> Param420{};  // tenths of a milliampere
    uint8_t LockState = kLockNotSet;
    uint8_t post_manbit_duration = 0;
    std::array<uint8_t, 2> reserved34{};  // carried as read
    std::array<uint8_t, setupfield::PasswordSize> MaintPassword{}, AdminPassword{};
    std::array<uint8_t, 2> reserved70{};  // carried as read

    bool operator==(const SetupRecord&) const = default;
};

SetupBytes EncodeSetup(const SetupRecord& record);
// The record from its 72 bytes; nullopt for any other size.
std::optional<SetupRecord> DecodeSetup(std::span<const uint8_t> record);
// The record of a whole D_SETUP2HOST answer; nullopt when shorter than 89 bytes.
std::optional<SetupRecord> DecodeSetupAnswer(std::span<const uint8_t> answer);

// True when a whole D_SETUP2HOST answer (>= 89 bytes) says LockState == 1.
bool SetupLocked(std::span<const uint8_t> setupAnswer);

// The name of the field that holds record byte `offset`, as the register map
// names it: "BitPeriod", "MaintPassword", "Param420[Normal]" (the level names
// follow the model's own order of levels). Empty past the record.
std::string SetupFieldName(size_t offset, bool uvir);
// The offset of the first byte in which the two records differ, or -1.
int FirstSetupDifference(const SetupRecord& a, const SetupRecord& b);
