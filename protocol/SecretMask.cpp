#include "protocol/SecretMask.h"

#include <algorithm>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/records/ElevationRecord.h"
#include "protocol/records/SetupRecord.h"
#include "util/Log.h"
#include "wire/Frame.h"

namespace {

// Wire positions of a record request's fields, and of a write of holding registers.
constexpr size_t kFunction = 1, kCommand = 4, kPayload = 7;
constexpr size_t kWriteFirst = 2, kWriteData = 7;
constexpr unsigned kElevationRegister = 10002;  // 50,003
constexpr uint8_t kWriteMultiple = 16;

// Stars over the wire bytes [from, from + n) that were dumped.
void hide(std::span<uint8_t> bytes, size_t origin, size_t from, size_t n) {
    for (size_t at = from; at < from + n; ++at)
        if (at >= origin && at - origin < bytes.size()) bytes[at - origin] = '*';
}

void hideSetupPasswords(std::span<uint8_t> bytes, size_t origin, size_t record) {
    hide(bytes, origin, record + setupfield::MaintPassword, setupfield::PasswordSize);
    hide(bytes, origin, record + setupfield::AdminPassword, setupfield::PasswordSize);
}

// The wire byte at `at`, when it was dumped.
int wireByte(std::span<const uint8_t> bytes, size_t origin, size_t at) {
    return at >= origin && at - origin < bytes.size() ? bytes[at - origin] : -1;
}

void maskRequest(std::span<uint8_t> bytes, size_t origin) {
    const int function = wireByte(bytes, origin, kFunction);
    if (function == 0xC8 || function == 0xCA) {
        const int command = wireByte(bytes, origin, kCommand);
        if (command == D_ELEVATE)
            hide(bytes, origin, kPayload + elevation::Password, kPasswordField);
        if (command == D_SETUP2DET) hideSetupPasswords(bytes, origin, kPayload);
        return;
    }
    if (function != kWriteMultiple) return;
    const int high = wireByte(bytes, origin, kWriteFirst),
              low = wireByte(bytes, origin, kWriteFirst + 1);
    if (high < 0 || low < 0) return;
    // Where the elevation record's password would lie in this write's data,
    // for a write that starts at, before or inside the nine registers.
    const long first = high << 8 | low;
    const long start =
        static_cast<long>(kWriteData + elevation::Password) - 2 * (first - kElevationRegister);
    const long begin = std::max(start, static_cast<long>(kWriteData)),
               end = start + static_cast<long>(kPasswordField);
    if (end > begin)
        hide(bytes, origin, static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

}  // namespace

void MaskSecrets(std::span<uint8_t> bytes, DumpFrom from, Side side, unsigned answerTo) {
    const auto origin = static_cast<size_t>(from);
    if (side == Side::Request)
        maskRequest(bytes, origin);
    else if (answerTo == D_SETUP2HOST || answerTo == D_SETUP2DET)
        hideSetupPasswords(bytes, origin, kHeaderSize);
}

void HexDumpMasked(const uint8_t* bytes, size_t count, DumpFrom from, Side side,
                   unsigned answerTo) {
    if (!bytes || !count) return;
    std::vector<uint8_t> copy(bytes, bytes + count);
    MaskSecrets(copy, from, side, answerTo);
    HexDumpLog(copy.data(), copy.size());
}
