#pragma once
// The 72-byte setup record, as D_SETUP2HOST answers it (after the 15-byte
// header) and D_SETUP2DET carries it.
#include <cstddef>
#include <cstdint>
#include <span>

constexpr size_t kSetupRecordSize = 72;
// A whole answer: header, record, CRC.
constexpr size_t kSetupAnswerSize = 89;

// Where the fields start in the record.
namespace setupfield {
constexpr size_t LockState = 32, MaintPassword = 36, AdminPassword = 53, PasswordSize = 17;
}

// LockState values.
enum : uint8_t { kLockNotSet = 0xFF, kNotLocked = 0, kLocked = 1 };

// True when a whole D_SETUP2HOST answer (>= 89 bytes) says LockState == 1.
bool SetupLocked(std::span<const uint8_t> setupAnswer);
