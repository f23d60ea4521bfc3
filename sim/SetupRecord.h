#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace wsim {

// The 72-byte setup record as the detector stores it in flash.
constexpr size_t kSetupSize = 72;
using SetupRecord = std::array<uint8_t, kSetupSize>;

namespace setup {
constexpr size_t Address = 0, Sensitivity = 1, Delay = 2, AlarmLatch = 3, HeaterMode = 4,
                 HeaterOnTemp = 5, HeaterPower = 6, AlarmOnBIT = 7, AccessoryOnBIT = 8,
                 EnableAutoBIT = 9, BitFaultCount = 10, BitPeriod = 11, EnableAccessory = 12,
                 EOL = 13, AccessoryOnFOV = 14, EnableFOV = 15, Reserved = 16, Explosion = 17,
                 FastDetect = 18, IROnly = 19, UVOnly = 20, UVIR = 21, Param420 = 22,
                 LockState = 32, PostManBit = 33, WriteCount = 34, MaintPassword = 36,
                 AdminPassword = 53, PasswordSize = 17, Checksum = 70;
// Indices into Param420.
constexpr size_t IrNormal = 4, IrWarning = 5, IrAlarm = 6;
constexpr size_t UvNormal = 5, UvWarning = 8, UvAlarm = 9;
constexpr size_t Level420Fault = 0, Level420BitFault = 1;
}  // namespace setup

SetupRecord factorySetup(uint8_t address, bool uvir);

// Sets a password field; at most 16 characters are kept, the rest NUL.
void setPassword(SetupRecord& rec, size_t offset, const std::string& text);

// The password field as a C string (up to the first NUL within the field).
std::string passwordOf(const uint8_t* field);

// Range checks a detector applies before it burns a record.
bool setupValid(const SetupRecord& rec, bool uvir);

// Fills the bytes the detector owns (write counter, checksum) before storing.
void sealSetup(SetupRecord& rec, uint16_t writeCount);

// Holding register 40,002 + i (i = 0..30) to its setup byte.
extern const std::array<uint8_t, 31> kSetupRegisterByte;

}  // namespace wsim
