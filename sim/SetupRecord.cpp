#include "sim/SetupRecord.h"

#include "wire/Crc16.h"
#include "sim/Bytes.h"

namespace wsim {

const std::array<uint8_t, 31> kSetupRegisterByte = {
    3,  12, 9,  7,  8,  13, 1,  2,  4,  5,  6,          // AlarmLatch .. HeaterPower
    22, 23, 24, 25, 26, 27, 28, 29, 30, 31,             // Param420[0..9]
    11, 10, 33, 15, 16, 19, 20, 21, 18, 17};            // BitPeriod .. Explosion

SetupRecord factorySetup(uint8_t address, bool uvir) {
    using namespace setup;
    SetupRecord r{};
    r[Address] = address;
    r[Sensitivity] = 2;
    r[Delay] = 2;
    r[HeaterMode] = 1;
    r[HeaterOnTemp] = 5;
    r[HeaterPower] = 1;
    r[EnableAutoBIT] = 1;
    r[BitFaultCount] = 3;
    r[BitPeriod] = 15;
    r[EnableAccessory] = 1;
    r[EnableFOV] = 1;
    static constexpr uint8_t kIr[] = {0, 20, 30, 30, 40, 160, 200};
    static constexpr uint8_t kUv[] = {0, 20, 25, 30, 30, 40, 50, 60, 160, 200};
    if (uvir) {
        std::copy(std::begin(kUv), std::end(kUv), r.begin() + Param420);
        r[UVIR] = 1;
    } else {
        std::copy(std::begin(kIr), std::end(kIr), r.begin() + Param420);
    }
    r[LockState] = 0xFF;
    r[PostManBit] = 3;
    sealSetup(r, 0);
    return r;
}

void setPassword(SetupRecord& rec, size_t offset, const std::string& text) {
    for (size_t i = 0; i < setup::PasswordSize; ++i)
        rec[offset + i] = i < text.size() && i < setup::PasswordSize - 1
                              ? static_cast<uint8_t>(text[i])
                              : 0;
}

std::string passwordOf(const uint8_t* field) {
    std::string s;
    for (size_t i = 0; i < setup::PasswordSize && field[i]; ++i) s += static_cast<char>(field[i]);
    return s;
}

bool setupValid(const SetupRecord& r, bool uvir) {
    using namespace setup;
    auto flag = [&](size_t i) { return r[i] <= 1; };
    if (r[Sensitivity] >= (uvir ? 3 : 6) || r[Delay] > 7 || r[HeaterMode] > 2) return false;
    if (r[HeaterOnTemp] > 30 || r[HeaterOnTemp] % 5 != 0 || r[HeaterPower] > 1) return false;
    for (size_t i : {AlarmLatch, AlarmOnBIT, AccessoryOnBIT, EnableAutoBIT, EnableAccessory, EOL,
                     AccessoryOnFOV, EnableFOV, Explosion, FastDetect, IROnly, UVOnly, UVIR})
        if (!flag(i)) return false;
    if (r[BitFaultCount] > 10 || r[BitPeriod] < 1 || r[BitPeriod] > 60) return false;
    if (r[Reserved] != 0) return false;
    if (r[LockState] != 0 && r[LockState] != 1 && r[LockState] != 0xFF) return false;
    if (r[PostManBit] < 3 || r[PostManBit] > 60) return false;
    if (uvir && r[IROnly] + r[UVOnly] + r[UVIR] != 1) return false;
    const size_t levels = uvir ? 10 : 7;
    if (r[Param420 + Level420BitFault] != 20) return false;
    for (size_t i = 0; i < levels; ++i)
        if (r[Param420 + i] > 240) return false;
    return true;
}

void sealSetup(SetupRecord& rec, uint16_t writeCount) {
    putU16(&rec[setup::WriteCount], writeCount);
    appendCrc16(rec.data(), setup::Checksum);
}

}  // namespace wsim
